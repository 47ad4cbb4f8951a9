#include "sim/options.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace ordavo::sim {
namespace {

bool ToInt(const std::string& s, int lo, int hi, int& out) {
    int v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size() || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool ToFlag(const std::string& s, bool& out) {
    if (s == "1" || s == "on" || s == "yes") return out = true, true;
    if (s == "0" || s == "off" || s == "no") return out = false, true;
    return false;
}

// Applies one misbehaviour setting; false when the name or value is not understood.
bool Apply(Misbehaviour& m, const std::string& name, const std::string& value) {
    if (name == "pace") return ToFlag(value, m.pace);
    if (name == "nak") return ToFlag(value, m.nak);
    if (name == "garbage") return ToFlag(value, m.garbage);
    if (name == "no-etx") return ToFlag(value, m.no_etx);
    if (name == "silent-after")
        return value == "off" ? (m.silent_after = -1, true) : ToInt(value, 0, 1 << 20, m.silent_after);
    if (name == "slow") return ToInt(value, 0, 60000, m.slow_ms);
    if (name == "gprs-kind")
        return value == "off" ? (m.gprs_kind = -1, true) : ToInt(value, 0, 255, m.gprs_kind);
    if (name == "corrupt-download")
        return value == "off" ? (m.corrupt_download = -1, true) : ToInt(value, 0, 1 << 30, m.corrupt_download);
    if (name == "line-error-block")
        return value == "off" ? (m.line_error_block = -1, true) : ToInt(value, 0, 1 << 30, m.line_error_block);
    return false;
}

}  // namespace

bool ParseTcpAddress(const std::string& text, std::string& host, int& port, std::string& error) {
    const size_t colon = text.rfind(':');
    std::string port_text = colon == std::string::npos ? text : text.substr(colon + 1);
    host = colon == std::string::npos ? std::string("127.0.0.1") : text.substr(0, colon);
    if (host.empty() || host.find_first_of(" \t/:") != std::string::npos) {
        error = "\"" + host + "\" is not a host name or IPv4 address";
        return false;
    }
    if (port_text.empty() || port_text.size() > 5 || !ToInt(port_text, 0, 65535, port)) {
        error = "\"" + port_text + "\" is not a TCP port (0 to 65535)";
        return false;
    }
    return true;
}

std::string Usage() {
    return "usage: ordavo-printer-sim --pty PATH [options]\n"
           "       ordavo-printer-sim --tcp [HOST:]PORT [options]\n"
           "       ordavo-printer-sim --file DIR [options]\n"
           "       ordavo-printer-sim --check-catalogs [--catalog FILE]...\n"
           "\n"
           "Simulates a fiscal printer on a pseudo-terminal whose slave end is linked at PATH, on a\n"
           "TCP port (one connection per command: the frame, a two-byte tag, the answer; HOST is\n"
           "127.0.0.1 unless given, PORT 0 takes any free port), or as the answering side of the\n"
           "exchange files \"comando.dat\" and \"retorno.dat\" in DIR. The first line of output is\n"
           "PATH, HOST:PORT (the port actually taken) or DIR, once the printer is ready.\n"
           "\n"
           "  --catalog FILE     learn commands from this catalog (repeatable; default: the sample "
           "catalogs)\n"
           "  --state FILE       load the printer's memory from FILE and save it after every command\n"
           "  --serial TEXT      the printer's serial number\n"
           "  --intervention     start in technical intervention\n"
           "  --control FILE     read misbehaviour and conditions from FILE before each answer\n"
           "  --encrypted-xml FILE  write the audit memory as encrypted XML into FILE and exit\n"
           "  --verbose          log every frame and answer in hexadecimal on stderr\n"
           "  --check-catalogs   compare the catalogs with the printer's commands and exit\n"
           "PDF-417 (with or without a printer line):\n"
           "  --scanner PATH     act as a serial PDF-417 scanner on a second pseudo-terminal linked at\n"
           "                     PATH: each time the port is opened, send the journal's symbols\n"
           "  --scanner-order L  \"all\" (default), \"reverse\", or symbol numbers from 0 separated by\n"
           "                     commas (repeat one to send it twice, leave one out to omit it)\n"
           "  --scanner-baud N   pace of the scanner's line (default 115200, 10 bits a byte)\n"
           "  --scanner-gap MS   pause between two symbols (default 2000)\n"
           "  --scanner-delay MS pause after the port is opened (default 300)\n"
           "  --pdf417-bitmaps DIR  write the journal's symbols as pictures DIR/symbol_NNN.bmp\n"
           "  --pdf417-format F  bmp (default) or png\n"
           "misbehaviour:\n"
           "  --pace             send at the speed of a 9600 baud line (8N2)\n"
           "  --nak              refuse every frame with NAK\n"
           "  --silent-after N   send only the first N bytes of each answer\n"
           "  --garbage          send random bytes instead of answers\n"
           "  --slow MS          wait MS milliseconds before each answer byte\n"
           "  --no-etx           never end a status-first answer\n"
           "  --gprs-kind K      answer GPRS commands with kind K (0 to 5; 7 for a wrong kind)\n"
           "  --corrupt-download N  change byte N of every fiscal-memory download after signing it\n"
           "  --line-error-block N  damage block N of a download on the line, the first time\n"
           "control file lines: \"nak 1\", \"silent-after 3\", \"slow 20\", \"garbage 1\", \"no-etx 1\",\n"
           "  \"pace 1\", \"gprs-kind 2\", \"corrupt-download 100\", \"line-error-block 0\",\n"
           "  \"normal\", and the conditions \"paper-out\", \"paper-low\",\n"
           "  \"clock-error\", \"head-up\", \"intervention\" with 0 or 1.\n";
}

int ParseOptions(int argc, char** argv, Options& out, std::string& message) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i], value;
        bool inline_value = false;
        if (const size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            inline_value = true;
        }
        auto need = [&]() -> bool {
            if (inline_value) return true;
            if (i + 1 >= args.size()) {
                message = "ordavo-printer-sim: " + name + " needs a value\n" + Usage();
                return false;
            }
            value = args[++i];
            return true;
        };
        auto bad = [&](const char* what) {
            message = "ordavo-printer-sim: " + name + ": " + what + " (got \"" + value + "\")\n";
            return 64;
        };
        if (name == "--help" || name == "-h") {
            message = Usage();
            return -1;
        } else if (name == "--pty") {
            if (!need()) return 64;
            out.pty_path = value;
        } else if (name == "--tcp") {
            if (!need()) return 64;
            std::string error;
            if (!ParseTcpAddress(value, out.tcp_host, out.tcp_port, error)) return bad(error.c_str());
            out.tcp = value;
        } else if (name == "--file") {
            if (!need()) return 64;
            if (value.empty()) return bad("a directory");
            out.file_dir = value;
        } else if (name == "--catalog") {
            if (!need()) return 64;
            out.catalogs.push_back(value);
        } else if (name == "--state") {
            if (!need()) return 64;
            out.state_file = value;
        } else if (name == "--serial") {
            if (!need()) return 64;
            if (value.empty() || value.size() > 20) return bad("1 to 20 characters");
            out.serial = value;
        } else if (name == "--control") {
            if (!need()) return 64;
            out.control_file = value;
        } else if (name == "--encrypted-xml") {
            if (!need()) return 64;
            out.encrypted_xml = value;
        } else if (name == "--verbose") {
            out.verbose = true;
        } else if (name == "--check-catalogs") {
            out.check_catalogs = true;
        } else if (name == "--intervention") {
            out.intervention = true;
        } else if (name == "--pace" || name == "--nak" || name == "--garbage" || name == "--no-etx") {
            Apply(out.misbehaviour, name.substr(2), "1");
        } else if (name == "--silent-after" || name == "--slow" || name == "--gprs-kind" ||
                   name == "--corrupt-download" || name == "--line-error-block") {
            if (!need()) return 64;
            if (!Apply(out.misbehaviour, name.substr(2), value))
                return bad(name == "--slow" ? "milliseconds from 0 to 60000" : "a number in range");
        } else if (name == "--scanner") {
            if (!need()) return 64;
            if (value.empty()) return bad("a path");
            out.scanner_path = value;
        } else if (name == "--scanner-order") {
            if (!need()) return 64;
            out.scanner_order = value;
        } else if (name == "--scanner-baud") {
            if (!need()) return 64;
            if (!ToInt(value, 50, 4000000, out.scanner_baud)) return bad("a line speed from 50 to 4000000");
        } else if (name == "--scanner-gap" || name == "--scanner-delay") {
            if (!need()) return 64;
            if (!ToInt(value, 0, 600000, name == "--scanner-gap" ? out.scanner_gap_ms : out.scanner_delay_ms))
                return bad("milliseconds from 0 to 600000");
        } else if (name == "--pdf417-bitmaps") {
            if (!need()) return 64;
            if (value.empty()) return bad("a directory");
            out.bitmaps_dir = value;
        } else if (name == "--pdf417-format") {
            if (!need()) return 64;
            if (value != "bmp" && value != "png") return bad("bmp or png");
            out.bitmaps_format = value;
        } else {
            message = "ordavo-printer-sim: unknown option " + args[i] + "\n" + Usage();
            return 64;
        }
    }
    const int lines = !out.pty_path.empty() + !out.tcp.empty() + !out.file_dir.empty();
    if (lines == 0 && !out.check_catalogs && out.scanner_path.empty() && out.bitmaps_dir.empty() &&
        out.encrypted_xml.empty()) {
        message = "ordavo-printer-sim: one of --pty PATH, --tcp [HOST:]PORT, --file DIR, --scanner PATH or "
                  "--pdf417-bitmaps DIR is required\n" + Usage();
        return 64;
    }
    if (lines > 1) {
        message = "ordavo-printer-sim: give only one of --pty, --tcp and --file\n";
        return 64;
    }
    return 0;
}

ControlFile ReadControlFile(const std::string& path, const Misbehaviour& base) {
    ControlFile c;
    c.misbehaviour = base;
    std::ifstream in(path);
    if (!in) return c;
    std::string line;
    int number = 0;
    while (std::getline(in, line) && number < 1000) {
        ++number;
        if (const size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
        std::istringstream words(line);
        std::string name, value, extra;
        if (!(words >> name)) continue;
        words >> value >> extra;
        bool flag = false;
        if (name == "normal" && value.empty()) {
            c.misbehaviour = Misbehaviour();
        } else if ((name == "paper-out" || name == "paper-low" || name == "clock-error" ||
                    name == "head-up" || name == "intervention") &&
                   extra.empty() && ToFlag(value, flag)) {
            c.conditions.emplace_back(name, flag);
        } else if (!extra.empty() || !Apply(c.misbehaviour, name, value)) {
            c.errors.push_back(path + ":" + std::to_string(number) + ": not understood: " + line);
        }
    }
    return c;
}

}  // namespace ordavo::sim
