#include "pdf417/core/scanner_settings.h"

#include <algorithm>

#include "engine/util.h"

namespace ordavo::pdf417 {
namespace {

ScannerSettings Read(ScannerProfile& p, int byte_length_default, int handshake_default) {
    ScannerSettings s;
    s.port_name = p.ReadString(kKeyPortName, "COM1:");
    s.baud_index = p.ReadInt(kKeyBaudRate, 7);
    s.byte_length_index = p.ReadInt(kKeyByteLength, byte_length_default);
    s.parity_index = p.ReadInt(kKeyParity, 0);
    s.stop_bits_index = p.ReadInt(kKeyStopBits, 0);
    s.handshake_index = p.ReadInt(kKeyHandshake, handshake_default);
    return s;
}

bool IsComName(const std::string& name) {
    return name.size() >= 4 && name.compare(0, 3, "COM") == 0 && name[3] >= '1' && name[3] <= '9';
}

}  // namespace

std::string MemoryScannerProfile::ReadString(const std::string& key, const std::string& fallback) {
    for (const auto& [k, v] : values_)
        if (k == key) return v;
    return fallback;
}

int MemoryScannerProfile::ReadInt(const std::string& key, int fallback) {
    for (const auto& [k, v] : values_)
        if (k == key) {
            if (v.empty() || v.find_first_not_of("-0123456789") != std::string::npos) return fallback;
            return AtoiC(v);
        }
    return fallback;
}

void MemoryScannerProfile::WriteString(const std::string& key, const std::string& value) {
    for (auto& [k, v] : values_)
        if (k == key) {
            v = value;
            return;
        }
    values_.emplace_back(key, value);
}

void MemoryScannerProfile::WriteInt(const std::string& key, int value) { WriteString(key, std::to_string(value)); }

bool MemoryScannerProfile::Has(const std::string& key) const {
    return std::any_of(values_.begin(), values_.end(), [&](const auto& kv) { return kv.first == key; });
}

ScannerSettings ScannerSettings::ForCapture(ScannerProfile& profile) { return Read(profile, 3, 0); }
ScannerSettings ScannerSettings::ForDialog(ScannerProfile& profile) {
    // The dialog shows what a capture would use: a value that is no entry of a list selects the
    // entry the capture reads it as, so that OK with no change stores what is used.
    ScannerSettings s = ForCapture(profile);
    auto entry = [](int index, int entries, int otherwise) { return index >= 0 && index < entries ? index : otherwise; };
    s.baud_index = entry(s.baud_index, 8, 0);
    s.byte_length_index = entry(s.byte_length_index, 3, 3);
    s.parity_index = entry(s.parity_index, 3, 0);
    s.stop_bits_index = entry(s.stop_bits_index, 3, 0);
    s.handshake_index = s.handshake_index == 1 ? 1 : 0;
    return s;
}

void ScannerSettings::Write(ScannerProfile& p) const {
    p.WriteString(kKeyPortName, port_name);
    p.WriteInt(kKeyBaudRate, baud_index);
    p.WriteInt(kKeyByteLength, byte_length_index);
    p.WriteInt(kKeyParity, parity_index);
    p.WriteInt(kKeyStopBits, stop_bits_index);
    p.WriteInt(kKeyHandshake, handshake_index);
}

LineSettings LineSettings::From(const ScannerSettings& s) {
    static const int kBauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    LineSettings l;
    l.port_name = s.port_name;
    l.baud = s.baud_index >= 0 && s.baud_index < 8 ? kBauds[s.baud_index] : 1200;
    l.data_bits = s.byte_length_index >= 0 && s.byte_length_index < 3 ? 5 + s.byte_length_index : 8;
    l.parity = s.parity_index == 1 ? Parity::kEven : s.parity_index == 2 ? Parity::kOdd : Parity::kNone;
    l.stop_bits = s.stop_bits_index == 1   ? StopBits::kOneAndHalf
                  : s.stop_bits_index == 2 ? StopBits::kTwo
                                           : StopBits::kOne;
    l.hardware_handshake = s.handshake_index == 1;
    return l;
}

const std::vector<std::string>& PortEntries() {
    static const std::vector<std::string> v = {"COM1:", "COM2:", "COM3:", "COM4:"};
    return v;
}
const std::vector<std::string>& BaudEntries() {
    static const std::vector<std::string> v = {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};
    return v;
}
const std::vector<std::string>& ByteLengthEntries() {
    static const std::vector<std::string> v = {"5", "6", "7", "8"};
    return v;
}
const std::vector<std::string>& ParityEntries() {
    static const std::vector<std::string> v = {"Nenhuma", "Par", "\xCDmpar"};
    return v;
}
const std::vector<std::string>& StopBitsEntries() {
    static const std::vector<std::string> v = {"1", "1,5", "2"};
    return v;
}
const std::vector<std::string>& HandshakeEntries() {
    static const std::vector<std::string> v = {"Ning\xFAn", "Hardware"};
    return v;
}

int PortIndexOf(const std::string& name) {
    if (name.size() < 4) return -1;
    const int index = name[3] - '1';
    return index >= 0 && index < static_cast<int>(PortEntries().size()) ? index : -1;
}

std::string PortNameFor(const std::string& old_name, int index, const std::string& typed) {
    const auto& entries = PortEntries();
    if (index >= 0 && index < static_cast<int>(entries.size()) && (typed.empty() || typed == entries[index])) {
        if (!IsComName(old_name)) return entries[index];
        std::string name = old_name;
        name[3] = static_cast<char>('1' + index);
        return name;
    }
    if (!typed.empty()) return typed;
    return old_name;
}

}  // namespace ordavo::pdf417
