// ordavo-printer-sim: a fiscal printer on a pseudo-terminal, a TCP port or a pair of exchange
// files, for tests, demonstrations and users without the hardware.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <chrono>
#include <future>
#include <thread>

#include "engine/util.h"
#include "sim/catalog.h"
#include "sim/cmd_encrypted.h"
#include "sim/line.h"
#include "sim/options.h"
#include "sim/peers.h"
#include "sim/printer.h"
#include "sim/responder.h"
#include "sim/pdf417_bitmaps.h"
#include "sim/scanner_peer.h"
#include "sim/scanner_series.h"

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

    // The PDF-417 side sends the journal as it is now.
    const bool printer_line = !o.pty_path.empty() || !o.tcp.empty() || !o.file_dir.empty();
    const std::vector<std::string> symbols = ScannerSymbols(ScannerJournal(printer.state()));
    if (!o.bitmaps_dir.empty()) {
        std::vector<std::string> written;
        std::string error;
        if (!WritePdf417Pictures(o.bitmaps_dir, symbols, o.bitmaps_format, written, error)) {
            std::cerr << "ordavo-printer-sim: --pdf417-bitmaps: " << error << std::endl;
            return 73;
        }
        if (!printer_line && o.scanner_path.empty()) {
            for (const std::string& f : written) std::cout << f << "\n";
            return 0;
        }
    }
    std::vector<size_t> order;
    Pty scanner_pty;
    if (!o.scanner_path.empty()) {
        std::string error;
        if (!ScannerOrder(o.scanner_order, symbols.size(), order, error)) {
            std::cerr << "ordavo-printer-sim: --scanner-order: " << error << std::endl;
            return 64;
        }
        if (!scanner_pty.Open(o.scanner_path, &error)) {
            std::cerr << "ordavo-printer-sim: --scanner: " << error << std::endl;
            return 1;
        }
    }

    InstallStopSignals();
    if (!printer_line) return RunScanner(o, scanner_pty, symbols, order, true);
    std::promise<void> watched;  // outlives the thread that sets it
    std::thread scanner;
    if (!o.scanner_path.empty()) {
        scanner = std::thread([&] { RunScanner(o, scanner_pty, symbols, order, false, [&] { watched.set_value(); }); });
        // The printer's line announces itself only once the scanner's port is watched too.
        watched.get_future().wait_for(std::chrono::seconds(5));
    }
    Responder responder(o, printer);
    int rc;
    if (!o.tcp.empty()) rc = RunTcp(o, responder);
    else if (!o.file_dir.empty()) rc = RunFile(o, responder);
    else rc = RunPty(o, responder);
    if (scanner.joinable()) {
        g_stop = 1;
        scanner.join();
    }
    return rc;
}

}  // namespace
}  // namespace ordavo::sim

int main(int argc, char** argv) {
    return ordavo::sim::Main(argc, argv);
}
