// The scanner's serial settings, kept in the application profile, section "Scanner Port": the
// port name and five list indices. The profile itself is the desktop program's (QSettings);
// the core sees it through ScannerProfile.
#pragma once

#include <string>
#include <vector>

namespace ordavo::pdf417 {

constexpr const char* kProfileSection = "Scanner Port";
constexpr const char* kKeyPortName = "Port name";
constexpr const char* kKeyBaudRate = "Baud rate";
constexpr const char* kKeyByteLength = "Byte length";
constexpr const char* kKeyParity = "Parity";
constexpr const char* kKeyStopBits = "Stop bits";
constexpr const char* kKeyHandshake = "Handshake";

class ScannerProfile {
public:
    virtual ~ScannerProfile() = default;
    // Values of section "Scanner Port"; the default when the key is missing or unreadable.
    virtual std::string ReadString(const std::string& key, const std::string& fallback) = 0;
    virtual int ReadInt(const std::string& key, int fallback) = 0;
    virtual void WriteString(const std::string& key, const std::string& value) = 0;
    virtual void WriteInt(const std::string& key, int value) = 0;
};

// A profile in memory (the command line, the tests).
class MemoryScannerProfile : public ScannerProfile {
public:
    std::string ReadString(const std::string& key, const std::string& fallback) override;
    int ReadInt(const std::string& key, int fallback) override;
    void WriteString(const std::string& key, const std::string& value) override;
    void WriteInt(const std::string& key, int value) override;
    bool Has(const std::string& key) const;

private:
    std::vector<std::pair<std::string, std::string>> values_;
};

// The six settings as stored: the port name and the list indices.
struct ScannerSettings {
    std::string port_name = "COM1:";
    int baud_index = 7;
    int byte_length_index = 3;
    int parity_index = 0;
    int stop_bits_index = 0;
    int handshake_index = 0;

    // Read with the defaults of a capture (115200, 8 data bits, no parity, 1 stop, none).
    static ScannerSettings ForCapture(ScannerProfile& profile);
    // Read for the settings dialog: the same values, each index made the entry of its list
    // that stands for what the capture uses (byte length 8 is the entry "8", any handshake but
    // 1 is "Ningún").
    static ScannerSettings ForDialog(ScannerProfile& profile);
    void Write(ScannerProfile& profile) const;
};

enum class Parity { kNone, kEven, kOdd };
enum class StopBits { kOne, kOneAndHalf, kTwo };

// What the indices stand for on the line.
struct LineSettings {
    std::string port_name;
    int baud = 115200;
    int data_bits = 8;
    Parity parity = Parity::kNone;
    StopBits stop_bits = StopBits::kOne;
    bool hardware_handshake = false;

    static LineSettings From(const ScannerSettings& s);
};

// The entries of the dialog's lists.
const std::vector<std::string>& PortEntries();      // "COM1:" .. "COM4:"
const std::vector<std::string>& BaudEntries();      // "1200" .. "115200"
const std::vector<std::string>& ByteLengthEntries();
const std::vector<std::string>& ParityEntries();    // "Nenhuma", "Par", "Ímpar"
const std::vector<std::string>& StopBitsEntries();  // "1", "1,5", "2"
const std::vector<std::string>& HandshakeEntries(); // "Ningún", "Hardware"

// The port index of a stored name: its fourth character minus "1" ("COM3:" gives 2); -1 when
// that is not one of the list's entries (a device path, an empty name).
int PortIndexOf(const std::string& port_name);
// The name to store for a choice: the old name with its fourth character replaced by "1" +
// index when it is a "COMn" name, else the entry itself. A name typed by hand that is not an
// entry (a device path) is stored as typed; an empty text keeps the old name.
std::string PortNameFor(const std::string& old_name, int index, const std::string& typed);

}  // namespace ordavo::pdf417
