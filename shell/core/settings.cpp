#include "shell/core/settings.h"

#include <filesystem>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "engine/util.h"

namespace ordavo {

Settings& GetSettings() {
    static Settings settings;
    return settings;
}

// Every key is 19 bytes: the name padded to 17 characters, a colon and a space. The accented
// letters are Windows-1252 bytes, as the file has always been written.
const char* const kKeyModelo = "Modelo Equipo    : ";
const char* const kKeyPuerto = "Puerto Serial    : ";
const char* const kKeyBaudrate = "Serial Baudrate  : ";
const char* const kKeyFiltre = "Filtre cmds      : ";
const char* const kKeyPais = "Pa\xEDs             : ";
const char* const kKeyLoop = "Loop Secu\xE9ncias  : ";
const char* const kKeyPare = "Pare caso error  : ";
const char* const kKeyPausa = "Pausa caso error : ";
const char* const kKeyDelay = "Delay entre cmds : ";
const char* const kKeySecuencia = "Secu\xE9ncia default: ";
const char* const kKeyEjec = "Ejec Sec. Entra  : ";
// Ours, written after the eleven lines above; older readers skip lines they do not know.
const char* const kKeySocket = "Socket Host      : ";
const char* const kKeyExchange = "Dir. Intercambio : ";

namespace {

// A line is read in pieces of at most this many characters, each piece treated as a line.
constexpr size_t kMaxLinePiece = 98;

enum class Kind { Text, Number };

struct KeyBinding {
    const char* const* key;
    Kind kind;
    std::string Settings::*text;
    int Settings::*number;
};

const KeyBinding kBindings[] = {
    {&kKeyModelo, Kind::Text, &Settings::ModelName, nullptr},
    {&kKeyPuerto, Kind::Text, &Settings::PortName, nullptr},
    {&kKeyBaudrate, Kind::Number, nullptr, &Settings::BaudRate},
    {&kKeyFiltre, Kind::Number, nullptr, &Settings::FilterCommands},
    {&kKeyPais, Kind::Text, &Settings::Country, nullptr},
    {&kKeyLoop, Kind::Number, nullptr, &Settings::LoopSequences},
    {&kKeyPare, Kind::Number, nullptr, &Settings::StopOnError},
    {&kKeyPausa, Kind::Number, nullptr, &Settings::PauseOnError},
    {&kKeyDelay, Kind::Number, nullptr, &Settings::DelayBetweenCommands},
    {&kKeySecuencia, Kind::Number, nullptr, &Settings::DefaultSequence},
    {&kKeyEjec, Kind::Number, nullptr, &Settings::RunSequenceAtEntry},
    {&kKeySocket, Kind::Text, &Settings::SocketPeer, nullptr},
    {&kKeyExchange, Kind::Text, &Settings::ExchangeDirectory, nullptr},
};

void ApplyLine(Settings& s, std::string_view line) {
    for (const KeyBinding& b : kBindings) {
        if (line.find(*b.key) == std::string_view::npos) continue;
        // The value starts at byte 19 of the line, wherever the key stood in it.
        std::string value = line.size() > 19 ? std::string(line.substr(19)) : std::string();
        std::erase(value, '\r');
        std::erase(value, '\n');
        if (b.kind == Kind::Number) {
            s.*(b.number) = AtoiC(value);
        } else if (b.text == &Settings::PortName && value.empty()) {
            // A port line with nothing behind it means the exchange-file pair.
            s.PortName = "FILE";
        } else {
            s.*(b.text) = value;
        }
        return;  // the first key found in the line wins
    }
}

}  // namespace

int LoadConfiguration(Settings& s, const std::string& path) {
    std::string contents;
    if (!ReadWholeFile(path, contents)) return 0;
    // Text mode: a CR LF pair is one line end.
    ReplaceAll(contents, "\r\n", "\n");
    // Split into lines the way a fixed-size line reader does: at every LF, and every 98
    // characters within a longer line.
    size_t pos = 0;
    while (pos < contents.size()) {
        size_t eol = contents.find('\n', pos);
        size_t end = eol == std::string::npos ? contents.size() : eol + 1;
        while (pos < end) {
            size_t piece = std::min(kMaxLinePiece, end - pos);
            ApplyLine(s, std::string_view(contents).substr(pos, piece));
            pos += piece;
        }
    }
    return 1;
}

int SaveConfiguration(const Settings& s, const std::string& path) {
    std::string out;
    auto line = [&](const char* key, const std::string& value) {
        out += key;
        out += value;
        out += "\r\n";
    };
    line(kKeyModelo, s.ModelName);
    line(kKeyPuerto, s.PortName);
    line(kKeyBaudrate, std::to_string(s.BaudRate));
    line(kKeyFiltre, std::to_string(s.FilterCommands));
    line(kKeyPais, s.Country);
    line(kKeyLoop, std::to_string(s.LoopSequences));
    line(kKeyPare, std::to_string(s.StopOnError));
    line(kKeyPausa, std::to_string(s.PauseOnError));
    line(kKeyDelay, std::to_string(s.DelayBetweenCommands));
    line(kKeySecuencia, std::to_string(s.DefaultSequence));
    line(kKeyEjec, std::to_string(s.RunSequenceAtEntry));
    // Our own keys only when they hold something, so a file of a plain installation stays
    // exactly the eleven lines every reader knows.
    if (!s.SocketPeer.empty()) line(kKeySocket, s.SocketPeer);
    if (!s.ExchangeDirectory.empty()) line(kKeyExchange, s.ExchangeDirectory);
    return WriteFileAtomically(path, out) ? 1 : 0;
}

std::string CurrentDirectory() {
    std::vector<char> buffer(256);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size())) return std::string(buffer.data());
        if (errno != ERANGE || buffer.size() > (1u << 20)) return ".";
        buffer.resize(buffer.size() * 2);
    }
}

int StartSettings(Settings& s, const std::string& directory) {
    std::string dir = directory.empty() ? CurrentDirectory() : directory;
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(dir, ec);
    s.AppDirectory = ec ? dir : abs.lexically_normal().string();
    if (s.AppDirectory.size() > 1 && s.AppDirectory.back() == '/') s.AppDirectory.pop_back();
    return LoadConfiguration(s, s.AppDirectory + "/config_es.cfg");
}

int ModelMaskFor(const std::string& model_name) {
    struct Model {
        const char* name;
        int mask;
    };
    static const Model kModels[] = {
        {"Kestrel 1           ", 1},    {"Kestrel 1 R         ", 2},    {"Kestrel 2           ", 4},
        {"Kestrel 2 R         ", 8},    {"Kestrel 4           ", 16},   {"Kestrel 3           ", 256},
        {"Kestrel 5           ", 512},  {"Heron 1 TH          ", 1024}, {"Heron 6 TH          ", 2048},
        {"Heron 7 TH          ", 2048}, {"Heron 2 TH          ", 4096}, {"Egret 1             ", 8192},
        {"Heron 3 TH          ", 16384},
    };
    for (const Model& m : kModels)
        if (model_name == m.name) return m.mask;
    return 65535;
}

}  // namespace ordavo
