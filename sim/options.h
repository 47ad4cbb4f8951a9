// Command line and control file of the simulator.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ordavo::sim {

// Ways to misbehave on the line, for tests of the program's failure handling.
struct Misbehaviour {
    bool pace = false;      // 9600 baud, 8N2: 11 bits a byte
    bool nak = false;       // answer every frame with NAK
    int silent_after = -1;  // send only this many bytes of each answer
    bool garbage = false;   // random bytes instead of the answer
    int slow_ms = 0;        // pause before each answer byte
    bool no_etx = false;    // status-first answers never end
    int gprs_kind = -1;     // GPRS answers of this kind (0..5; 7 is a kind that does not exist)
    // Fiscal-memory downloads: byte N of every download's content is changed after the printer
    // signed it (the signature checks must then fail), and block N of a download is damaged on
    // the line the first time it is sent (the program must ask for it again).
    int corrupt_download = -1;
    int line_error_block = -1;
};

struct Options {
    // Exactly one line: a pseudo-terminal, a TCP port or a directory of exchange files.
    std::string pty_path;
    std::string tcp;  // "[HOST:]PORT" as given
    std::string tcp_host = "127.0.0.1";
    int tcp_port = -1;  // 0: any free port
    std::string file_dir;
    std::vector<std::string> catalogs;
    std::string state_file;
    std::string serial;
    std::string control_file;
    bool verbose = false;
    bool check_catalogs = false;
    bool intervention = false;
    std::string encrypted_xml;  // write the audit memory as encrypted XML there and exit
    Misbehaviour misbehaviour;

    // The PDF-417 scanner: a second pseudo-terminal that sends the journal's symbols.
    std::string scanner_path;
    std::string scanner_order = "all";
    int scanner_baud = 115200;
    int scanner_gap_ms = 2000;    // between two symbols
    int scanner_delay_ms = 300;   // after the port is opened, before the first symbol
    // The journal as PDF-417 pictures in this directory.
    std::string bitmaps_dir;
    std::string bitmaps_format = "bmp";
};

// 0 on success; otherwise the exit status (64 for a usage error) with `message` set. `message`
// also carries the help text for --help (exit status 0 then reported as -1).
int ParseOptions(int argc, char** argv, Options& out, std::string& message);
std::string Usage();

// "[HOST:]PORT": HOST defaults to 127.0.0.1, PORT is 0 (any free port) to 65535. False, with
// the reason in `error`, for anything else.
bool ParseTcpAddress(const std::string& text, std::string& host, int& port, std::string& error);

// Printer conditions a control file can set ("paper-out 1", "intervention 0", ...).
struct ControlFile {
    Misbehaviour misbehaviour;
    std::vector<std::pair<std::string, bool>> conditions;
    std::vector<std::string> errors;  // lines that were not understood
};

// Reads the control file over the command-line settings: one option per line, "name value", '#'
// starts a comment, "normal" clears every misbehaviour. A missing file leaves the base as it is.
ControlFile ReadControlFile(const std::string& path, const Misbehaviour& base);

}  // namespace ordavo::sim
