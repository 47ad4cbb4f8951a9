#include "shell/core/config_model.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "engine/strings.h"
#include "engine/util.h"

namespace ordavo {
namespace {

namespace fs = std::filesystem;

// Case folding of Windows-1252 letters, enough for model, port and country names.
unsigned char Fold(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 'a' + 'A');
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
    return c;
}

bool StartsWithIgnoringCase(const std::string& entry, const std::string& text) {
    if (text.size() > entry.size()) return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (Fold(static_cast<unsigned char>(entry[i])) != Fold(static_cast<unsigned char>(text[i]))) return false;
    return true;
}

// "ttyUSB10" after "ttyUSB2": names compare by their text before the trailing digits, then by
// the number.
bool NaturalLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& s) {
        size_t d = s.size();
        while (d > 0 && s[d - 1] >= '0' && s[d - 1] <= '9') --d;
        long n = d < s.size() && s.size() - d < 10 ? std::stol(s.substr(d)) : -1;
        return std::make_pair(s.substr(0, d), n);
    };
    auto [pa, na] = split(a);
    auto [pb, nb] = split(b);
    if (pa != pb) return pa < pb;
    if (na != nb) return na < nb;
    return a < b;
}

// A ttyS node exists for every possible 8250 port; only those with a UART behind them (a
// port type other than 0) are worth offering.
bool SerialPortHasUart(const std::string& sys_tty_dir, const std::string& name) {
    std::ifstream in(sys_tty_dir + "/" + name + "/type");
    if (!in) return true;  // no sysfs to ask: offer it
    int type = 0;
    in >> type;
    return !in.fail() && type != 0;
}

}  // namespace

const char* const kUdevRulesPath = "/etc/udev/rules.d/60-ordavo-printers.rules";

std::vector<std::string> PortEntries() {
    return {"USB", "FILE", "COM1:", "COM2:", "COM3:", "COM4:", "COM5:", "COM6:", "COM7:", "COM8:"};
}

std::vector<std::string> ModelEntries() {
    return {"Kestrel 2           ", "Heron 2 TH          ", "Heron 4 TH RD       "};
}

std::vector<std::string> CountryEntries() {
    std::vector<std::string> list = {"CHILE", "VENEZUELA", "LOTERIAS", "REP DOMINICANA", "PANAMA", Str(IDS_OTRO_PAIS)};
    std::sort(list.begin(), list.end());
    return list;
}

std::vector<std::string> SpeedEntries() { return {"9600", "19200", "57600", "115200"}; }

std::vector<std::string> ListSerialDevices(const std::string& dev_dir, const std::string& sys_tty_dir) {
    std::vector<std::string> uarts, usb, acm, by_id;
    std::error_code ec;
    for (fs::directory_iterator it(dev_dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.rfind("ttyS", 0) == 0 && name.size() > 4 && std::isdigit(static_cast<unsigned char>(name[4]))) {
            if (SerialPortHasUart(sys_tty_dir, name)) uarts.push_back(name);
        } else if (name.rfind("ttyUSB", 0) == 0) {
            usb.push_back(name);
        } else if (name.rfind("ttyACM", 0) == 0) {
            acm.push_back(name);
        }
    }
    for (fs::directory_iterator it(dev_dir + "/serial/by-id", ec), end; !ec && it != end; it.increment(ec))
        by_id.push_back("serial/by-id/" + it->path().filename().string());

    std::vector<std::string> out;
    for (auto* group : {&uarts, &usb, &acm, &by_id}) {
        std::sort(group->begin(), group->end(), NaturalLess);
        for (const std::string& name : *group) out.push_back(dev_dir + "/" + name);
    }
    return out;
}

std::vector<std::string> ExtraPortEntries(const std::string& dev_dir, const std::string& sys_tty_dir) {
    std::vector<std::string> out = {"SOCKET"};
    std::vector<std::string> devices = ListSerialDevices(dev_dir, sys_tty_dir);
    const std::string by_id = dev_dir + "/serial/by-id/";
    std::vector<std::string> named;  // the devices the links stand for
    for (const std::string& d : devices) {
        if (d.rfind(by_id, 0) != 0) continue;
        out.push_back(d);
        std::error_code ec;
        fs::path target = fs::canonical(d, ec);
        if (!ec) named.push_back(target.string());
    }
    for (const std::string& d : devices) {
        if (d.rfind(by_id, 0) == 0) continue;
        const std::string name = fs::path(d).filename().string();
        // ttyS0..ttyS7 are what COM1: to COM8: open.
        if (name.size() == 5 && name.rfind("ttyS", 0) == 0 && name[4] >= '0' && name[4] <= '7') continue;
        std::error_code ec;
        fs::path real = fs::canonical(d, ec);
        if (!ec && std::find(named.begin(), named.end(), real.string()) != named.end()) continue;
        out.push_back(d);
    }
    return out;
}

int FindListEntry(const std::vector<std::string>& entries, const std::string& text) {
    if (text.empty()) return -1;
    for (size_t i = 0; i < entries.size(); ++i)
        if (StartsWithIgnoringCase(entries[i], text)) return static_cast<int>(i);
    return -1;
}

int BaudRateFromText(const std::string& text) {
    for (int rate : {9600, 19200, 57600, 115200})
        if (text == std::to_string(rate)) return rate;
    return 9600;
}

ConfigFields ConfigFieldsFrom(const Settings& s) {
    ConfigFields f;
    f.speed = std::to_string(s.BaudRate);
    f.show_results = s.ShowResults;
    f.extended_return = s.ExtendedReturn;
    f.filter = s.FilterCommands;
    f.country = s.Country;
    f.model = s.ModelName.empty() ? "Heron 2 TH          " : s.ModelName;
    f.port = s.PortName;
    f.socket_peer = s.SocketPeer;
    return f;
}

void ApplyConfigOk(ConfigFields& fields, Settings& s) {
    s.Country = fields.country;
    s.PortName = fields.port;
    s.BaudRate = BaudRateFromText(fields.speed);
    s.SocketPeer = fields.socket_peer;
    // That model never runs with the extended answer frame.
    if (fields.model == "Kestrel 2           ") {
        s.ExtendedReturn = 0;
        fields.extended_return = 0;
    }
}

void ApplyConfigToMainWindow(const ConfigFields& fields, Settings& s) {
    s.ModelName = fields.model;
    s.ShowResults = fields.show_results;
    s.FilterCommands = fields.filter;
    s.ExtendedReturn = fields.extended_return;
    s.ModelMask = ModelMaskFor(s.ModelName);
}

std::vector<std::string> UsbHardwareIds() {
    return {"USB\\VID_6C0D&PID_0000&REV_0001", "USB\\VID_7A1F&PID_0101&REV_0001", "USB\\VID_7A1F&PID_0102&REV_0001",
            "USB\\VID_7A1F&PID_0103&REV_0001", "USB\\VID_7A1F&PID_0104&REV_0001"};
}

std::string UdevRulesText() {
    std::string out =
        "# Fiscal printers used by Ordavo: access for the user at the seat and the plugdev group,\n"
        "# and ModemManager must not probe them.\n";
    for (const std::string& id : UsbHardwareIds()) {
        size_t v = id.find("VID_"), p = id.find("PID_");
        if (v == std::string::npos || p == std::string::npos) continue;
        std::string vid = id.substr(v + 4, 4), pid = id.substr(p + 4, 4);
        for (char& c : vid) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (char& c : pid) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::string match = "ATTRS{idVendor}==\"" + vid + "\", ATTRS{idProduct}==\"" + pid + "\"";
        std::string access = ", TAG+=\"uaccess\", GROUP=\"plugdev\", MODE=\"0660\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n";
        out += "SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", " + match + access;
        out += "SUBSYSTEM==\"tty\", " + match + access;
    }
    return out;
}

std::string UdevInstallScript() {
    return std::string("install -m 0644 -o root -g root \"$1\" ") + kUdevRulesPath +
           " && udevadm control --reload-rules && udevadm trigger --subsystem-match=usb --subsystem-match=tty";
}

}  // namespace ordavo
