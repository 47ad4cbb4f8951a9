// What the subcommands of ordavo-cli share: exit statuses, the failure that ends the program
// with a message, the application directory's settings, and the dispatch of subcommands that
// live in files of their own.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "shell/core/settings.h"

namespace ordavo::cli {

constexpr int kExitUsage = 64;
constexpr int kExitDataError = 65;
constexpr int kExitNoInput = 66;

using json = nlohmann::json;

// Thrown for errors that end the program with a message and an exit status.
struct Failure {
    int status;
    std::string message;  // UTF-8
};

// Windows-1252 to UTF-8, for the terminal and JSON.
std::string U(const std::string& cp1252);

// Plain output shows the result texts with the line ends of this system.
std::string Lines(std::string text);

void PrintJson(const json& j);

// Where a command that talks to the printer finds its settings.
struct RunOptions {
    std::string port;
    bool port_given = false;
    std::string dir;
    std::string host;
    std::string exchange_dir;
    bool dump = false;
    bool json = false;
    bool ask = false;
};

// The settings of an application directory: its "config_es.cfg" over the defaults, then the
// port, host and exchange directory given on the command line.
void LoadDirectorySettings(Settings& s, const RunOptions& o);

// A catalog or sequence file named on the command line or chosen by the settings: as given when
// it exists; a relative name that the working directory does not hold is taken from the
// installed data directory when that has it. Says on standard error when the installed file is
// the one used.
std::string DataFile(const std::string& file);

// Adds --dir, --port, --host and --exchange-dir to a subcommand; port_given is set when the
// subcommand was parsed with --port (call MarkPortGiven after parsing).
void AddPortOptions(CLI::App* sub, RunOptions& o);
void MarkPortGiven(CLI::App* sub, RunOptions& o);

// Subcommands registered by the files of the other subsystems: after parsing, Run calls the
// handler of the one that was chosen and returns its exit status.
class Dispatch {
public:
    void On(CLI::App* sub, std::function<int()> handler) { handlers_.emplace_back(sub, std::move(handler)); }
    std::optional<int> Run() const {
        for (const auto& [sub, handler] : handlers_)
            if (*sub) return handler();
        return std::nullopt;
    }

private:
    std::vector<std::pair<CLI::App*, std::function<int()>>> handlers_;
};

// The "fiscal" subcommand, created by whichever file asks first; its jobs are in several files.
CLI::App* FiscalGroup(CLI::App& app);

// Each in its own file.
void AddEquipmentCommands(CLI::App& app, Dispatch& d);        // cli/equipment.cpp
void AddFiscalDownloadCommands(CLI::App& app, Dispatch& d);   // cli/fiscal_download.cpp
void AddFiscalReportCommands(CLI::App& app, Dispatch& d);     // cli/fiscal_reports.cpp
void AddFiscalDiagnoseCommands(CLI::App& app, Dispatch& d);   // cli/fiscal_diagnose.cpp
void AddPdf417Commands(CLI::App& app, Dispatch& d);           // cli/pdf417.cpp

}  // namespace ordavo::cli
