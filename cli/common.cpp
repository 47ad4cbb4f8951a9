#include "cli/common.h"

#include <cstdio>
#include <filesystem>

#include "engine/codepage.h"
#include "engine/env.h"
#include "engine/util.h"
#include "engine/data_directory.h"

namespace ordavo::cli {

std::string U(const std::string& cp1252) { return Cp1252ToUtf8(cp1252); }

std::string Lines(std::string text) {
    ReplaceAll(text, "\r\n", "\n");
    return text;
}

void PrintJson(const json& j) {
    std::string text = j.dump(2, ' ', false, json::error_handler_t::replace);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
}

void LoadDirectorySettings(Settings& s, const RunOptions& o) {
    s.Reset();
    StartSettings(s, o.dir);
    if (o.port_given) s.PortName = Utf8ToCp1252(o.port);
    if (!o.host.empty()) s.SocketPeer = o.host;
    if (!o.exchange_dir.empty()) s.ExchangeDirectory = o.exchange_dir;
}

std::string DataFile(const std::string& file) {
    std::error_code ec;
    std::string used = file;
    if (!file.empty() && file.front() != '/' && !std::filesystem::exists(file, ec)) {
        std::string data = InstalledDataDirectory();
        if (!data.empty() && std::filesystem::is_regular_file(data + "/" + file, ec)) used = data + "/" + file;
    }
    if (IsInstalledFile(used)) std::fprintf(stderr, "ordavo-cli: se usa el archivo instalado %s\n", used.c_str());
    return used;
}

void AddPortOptions(CLI::App* sub, RunOptions& o) {
    sub->add_option("--port", o.port, "Port: a serial device or COM1: to COM8:, USB, SOCKET or FILE "
                                      "(default: the port of config_es.cfg in DIR)");
    sub->add_option("--dir", o.dir, "Application directory (default: here)");
    sub->add_option("--host", o.host, "Peer of the SOCKET port: HOST or HOST:PORT");
    sub->add_option("--exchange-dir", o.exchange_dir, "Directory of the FILE port's exchange files");
}

void MarkPortGiven(CLI::App* sub, RunOptions& o) {
    if (sub->count("--port") > 0) o.port_given = true;
}

CLI::App* FiscalGroup(CLI::App& app) {
    for (CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; }))
        if (sub->get_name() == "fiscal") return sub;
    CLI::App* fiscal = app.add_subcommand("fiscal", "Fiscal and audit memories: downloads, reports, signatures");
    fiscal->require_subcommand(1);
    return fiscal;
}

}  // namespace ordavo::cli
