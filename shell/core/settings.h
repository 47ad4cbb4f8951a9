// The process-wide settings record and its file "config_es.cfg".
#pragma once

#include <cstdint>
#include <string>

namespace ordavo {

struct Settings {
    std::string PortName;                         // transport selector / serial port name
    int BaudRate = 9600;                          // handed to the fiscal-memory library
    std::string ModelName = "Heron 2 TH          ";  // 20 characters, trailing spaces kept
    int ModelMask = 255;                          // not saved
    std::string Country = "VENEZUELA";
    int FilterCommands = 0;
    int ShowResults = 1;     // not saved
    int ExtendedReturn = 1;  // not saved
    int LoopSequences = 1;
    int StopOnError = 1;
    int PauseOnError = 0;
    int DelayBetweenCommands = 0;  // seconds
    int DefaultSequence = 0;
    int RunSequenceAtEntry = 0;
    std::string CatalogPath;   // not saved
    std::string AppDirectory;  // not saved: the working directory at start
    uint32_t SocketHost = 0;   // IPv4 address in host byte order, not saved

    // Our own additions, saved after the eleven standard lines under keys of our own:
    // the socket peer as typed ("host", "host:port", "1.2.3.4:2121"; empty = SocketHost:21)
    // and the directory of the exchange-file pair (empty = AppDirectory).
    std::string SocketPeer;
    std::string ExchangeDirectory;

    // Restores every default (PortName empty, as at start).
    void Reset() { *this = Settings(); }
};

// The one settings record of the process.
Settings& GetSettings();

// Keys of the configuration file, 19 bytes each (Windows-1252).
extern const char* const kKeyModelo;
extern const char* const kKeyPuerto;
extern const char* const kKeyBaudrate;
extern const char* const kKeyFiltre;
extern const char* const kKeyPais;
extern const char* const kKeyLoop;
extern const char* const kKeyPare;
extern const char* const kKeyPausa;
extern const char* const kKeyDelay;
extern const char* const kKeySecuencia;
extern const char* const kKeyEjec;
extern const char* const kKeySocket;    // ours
extern const char* const kKeyExchange;  // ours

// Reads the file over `s`; 0 when it cannot be opened (nothing changed), 1 when read.
int LoadConfiguration(Settings& s, const std::string& path = "config_es.cfg");
// Writes the file (atomically); 0 when it cannot be written, 1 when written.
int SaveConfiguration(const Settings& s, const std::string& path = "config_es.cfg");

// The process's current directory, whatever its length.
std::string CurrentDirectory();

// The start-up of the settings, the same for the desktop program and the command line: the
// application directory is `directory` (the current directory when empty) made absolute,
// and its "config_es.cfg" is read over what `s` holds. Returns what LoadConfiguration does.
int StartSettings(Settings& s, const std::string& directory = std::string());

// ModelMask of a model name, by the model table (65535 for unknown names).
int ModelMaskFor(const std::string& model_name);

}  // namespace ordavo
