// ordavo-printer-sim: a fiscal printer on a pseudo-terminal, a TCP port or a pair of exchange
// files, for tests, demonstrations and users without the hardware.
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "engine/util.h"
#include "sim/catalog.h"
#include "sim/cmd_encrypted.h"
#include "sim/line.h"
#include "sim/options.h"
#include "sim/peers.h"
#include "sim/printer.h"
#include "sim/responder.h"

namespace ordavo::sim {
namespace {

int Main(int argc, char** argv) {
    Options o;
    std::string message;
    if (const int rc = ParseOptions(argc, argv, o, message); rc != 0) {
        (rc < 0 ? std::cout : std::cerr) << message;
        return rc < 0 ? 0 : rc;
    }

    Catalog catalog;
    std::vector<std::string> files = o.catalogs;
    if (files.empty()) {
        files = DefaultCatalogs();
        if (files.empty())
            std::cerr << "ordavo-printer-sim: no sample catalogs found; only built-in commands" << std::endl;
    }
    std::vector<std::string> warnings;
    for (const std::string& f : files) {
        std::string error;
        if (!catalog.Load(f, &error, &warnings)) {
            std::cerr << "ordavo-printer-sim: cannot load catalog " << error << std::endl;
            return 66;
        }
    }
    for (const std::string& w : warnings) std::cerr << "ordavo-printer-sim: " << w << std::endl;

    PrinterState state;
    if (!o.state_file.empty() && std::filesystem::exists(o.state_file)) {
        std::string text, error;
        if (!ReadWholeFile(o.state_file, text) || !PrinterState::Parse(text, state, &error)) {
            std::cerr << "ordavo-printer-sim: " << o.state_file << ": "
                      << (error.empty() ? std::string("cannot be read") : error)
                      << "; the file is left as it is" << std::endl;
            return 65;
        }
    }
    if (!o.serial.empty()) state.serial = o.serial;
    if (o.intervention) state.intervention = true;
    Printer printer(std::move(state), &catalog);

    if (!o.encrypted_xml.empty()) return WriteEncryptedAuditXml(printer.state(), o.encrypted_xml);

    if (o.check_catalogs) {
        const std::vector<std::string> problems = printer.Check(catalog);
        for (const std::string& p : problems) std::cout << p << "\n";
        std::cout << catalog.commands().size() << " commands in " << catalog.files().size() << " catalogs, "
                  << problems.size() << " problems" << std::endl;
        return problems.empty() && warnings.empty() ? 0 : 1;
    }

    InstallStopSignals();
    Responder responder(o, printer);
    if (!o.tcp.empty()) return RunTcp(o, responder);
    if (!o.file_dir.empty()) return RunFile(o, responder);
    return RunPty(o, responder);
}

}  // namespace
}  // namespace ordavo::sim

int main(int argc, char** argv) {
    return ordavo::sim::Main(argc, argv);
}
