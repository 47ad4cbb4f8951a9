// ordavo-cli fiscal diagnose: the audit-report diagnosis; ordavo-cli fiscal download-parts: the
// audit-memory download in parts.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/common.h"
#include "cli/terminal_ui.h"
#include "engine/codepage.h"
#include "engine/env.h"
#include "engine/util.h"
#include "fiscalmemory/core/diagnosis.h"
#include "fiscalmemory/core/download_parts.h"

namespace ordavo::cli {
namespace {

constexpr int kExitFindings = 1;
constexpr int kExitCancelled = 5;  // as a cancelled "run"
constexpr int kExitUnavailable = 69;
constexpr int kExitCantCreate = 73;

struct DiagnoseOptions {
    std::string report;
    std::string dir;
    std::string model;
    bool json = false;
};

// A model name as the settings hold it: 20 characters, padded with spaces.
std::string ModelName(const std::string& utf8) {
    std::string name = Utf8ToCp1252(utf8);
    if (name.size() < 20) name.resize(20, ' ');
    return name;
}

int RunDiagnose(const DiagnoseOptions& o, CLI::App* sub) {
    Settings& s = *EngineEnv().settings;
    RunOptions dir;
    dir.dir = o.dir;
    LoadDirectorySettings(s, dir);
    // As at start: no model chosen means the mask of every model of the first byte.
    s.ModelMask = 255;
    if (sub->count("--model") > 0) {
        s.ModelName = ModelName(o.model);
        s.ModelMask = ModelMaskFor(s.ModelName);
    }
    DiagnosisRun run = RunAuditDiagnosis(o.report, s.AppDirectory, s.ModelMask, EngineEnv().ui);
    if (run.status == DiagnosisRun::Status::ReportUnreadable)
        throw Failure{kExitNoInput, "cannot read " + o.report + ": " + run.error};
    if (run.status == DiagnosisRun::Status::OutputNotWritten)
        throw Failure{kExitCantCreate, "cannot write " + run.output_path + ": " + run.error};
    const Diagnosis& d = run.diagnosis;
    if (o.json) {
        PrintJson({{"output", run.output_path},
                   {"found", d.found},
                   {"cancelled", d.cancelled},
                   {"lines", d.lines},
                   {"model_mask", s.ModelMask},
                   {"text", U(d.text)}});
    } else {
        PrintOut(Lines(d.text));
    }
    if (d.cancelled) return kExitCancelled;
    return d.found ? kExitFindings : 0;
}

// --------------------------------------------------------------- download in parts

struct PartsOptions {
    RunOptions run;
    std::string from, to, out;
};

bool ParseDate(const std::string& text, CalendarDate& date) {
    if (text.size() != 6 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    date.day = std::stoi(text.substr(0, 2));
    date.month = std::stoi(text.substr(2, 2));
    date.year = 2000 + std::stoi(text.substr(4, 2));
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return date.month >= 1 && date.month <= 12 && date.day >= 1 && date.day <= kDays[date.month - 1];
}

// The status on the terminal: what was added since the last time, or the whole text when it
// was replaced (every attempt of the address search replaces it).
class TerminalPartsView : public DownloadPartsView {
public:
    TerminalPartsView(std::string out, bool quiet) : out_(std::move(out)), quiet_(quiet) {}
    void ShowStatus(const std::string& status) override {
        if (status == shown_) return;
        std::string added = status.compare(0, shown_.size(), shown_) == 0 ? status.substr(shown_.size()) : status;
        shown_ = status;
        if (quiet_) return;
        PrintOut(Lines(added));
        std::fflush(stdout);
    }
    bool ChooseOutputFile(std::string& path) override {
        path = out_;
        return true;
    }
    void Message(const std::string& text) override {
        messages.push_back(text);
        PrintErr(text + "\n");
    }
    bool CancelRequested() override { return Interrupted(); }

    std::vector<std::string> messages;

private:
    std::string out_, shown_;
    bool quiet_;
};

const char* OutcomeName(DownloadInParts::Outcome o) {
    switch (o) {
        case DownloadInParts::Outcome::Complete: return "complete";
        case DownloadInParts::Outcome::NotFound: return "not-found";
        case DownloadInParts::Outcome::Cancelled: return "cancelled";
        case DownloadInParts::Outcome::NoLibrary: return "no-library";
        case DownloadInParts::Outcome::NoOutput: return "no-output";
        case DownloadInParts::Outcome::PartFailed: return "part-failed";
        case DownloadInParts::Outcome::SignatureFailed: return "signature-failed";
    }
    return "";
}

int ExitStatus(DownloadInParts::Outcome o) {
    switch (o) {
        case DownloadInParts::Outcome::Complete: return 0;
        case DownloadInParts::Outcome::NotFound: return 1;
        case DownloadInParts::Outcome::PartFailed: return 2;
        case DownloadInParts::Outcome::SignatureFailed: return 3;
        case DownloadInParts::Outcome::Cancelled: return kExitCancelled;
        case DownloadInParts::Outcome::NoLibrary: return kExitUnavailable;
        case DownloadInParts::Outcome::NoOutput: return kExitCantCreate;
    }
    return 1;
}

int RunDownloadParts(PartsOptions& o, CLI::App* sub) {
    CalendarDate from, to;
    if (!ParseDate(o.from, from)) throw Failure{kExitUsage, "--from " + o.from + ": expected a date DDMMYY"};
    if (!ParseDate(o.to, to)) throw Failure{kExitUsage, "--to " + o.to + ": expected a date DDMMYY"};
    MarkPortGiven(sub, o.run);
    Settings& s = *EngineEnv().settings;
    const int extended = s.ExtendedReturn;
    LoadDirectorySettings(s, o.run);
    s.ExtendedReturn = extended;

    TerminalPartsView view(o.out, o.run.json);
    FiscalAddressLibrary library;
    CommandRunner runner;
    DownloadInParts download(view, library, runner, *EngineEnv().clock, s.PortName);
    DownloadInParts::Outcome outcome = download.Run(from, to);
    if (o.run.json) {
        json messages = json::array();
        for (const std::string& m : view.messages) messages.push_back(U(m));
        PrintJson({{"outcome", OutcomeName(outcome)},
                   {"output", download.OutputFile()},
                   {"signature", download.OutputFile().empty() ? "" : SignatureFileName(download.OutputFile())},
                   {"start_address", U(download.StartAddress())},
                   {"end_address", U(download.EndAddress())},
                   {"status", U(download.Status())},
                   {"messages", messages}});
    } else {
        PrintOut("\n");
    }
    return ExitStatus(outcome);
}

}  // namespace

void AddFiscalDiagnoseCommands(CLI::App& app, Dispatch& d) {
    CLI::App* fiscal = FiscalGroup(app);

    static DiagnoseOptions diag;
    CLI::App* diagnose = fiscal->add_subcommand(
        "diagnose", "Look for lost documents, user changes and missing Z reductions in an audit-memory text report");
    diagnose->add_option("REPORT", diag.report, "The text report of the audit memory")->required();
    diagnose->add_option("--dir", diag.dir, "Application directory, where diagnostico_mfd.txt goes (default: here)");
    diagnose->add_option("--model", diag.model, "Printer model, e.g. \"Heron 2 TH\" (default: none, mask 255)");
    diagnose->add_flag("--json", diag.json, "Print JSON");
    diagnose->footer("Exit status: 0 no error found, 1 errors listed, 5 cancelled, 66 report unreadable, "
                     "73 output not written.");
    d.On(diagnose, [diagnose] { return RunDiagnose(diag, diagnose); });

    static PartsOptions parts;
    CLI::App* download = fiscal->add_subcommand(
        "download-parts", "Download the audit memory of a date range by address, in parts, with its signature");
    download->add_option("--from", parts.from, "First date, DDMMYY")->required();
    download->add_option("--to", parts.to, "Last date, DDMMYY")->required();
    download->add_option("--out", parts.out, "Output audit file (.mfd); FILE.part and FILERSA are left beside it")
        ->required();
    AddPortOptions(download, parts.run);
    download->add_flag("--json", parts.run.json, "Print JSON at the end instead of the status lines");
    download->footer("Exit status: 0 complete, 1 addresses not found, 2 a part failed, 3 no signature, "
                     "5 cancelled, 69 library missing, 73 output not created.");
    d.On(download, [download] { return RunDownloadParts(parts, download); });
}

}  // namespace ordavo::cli
