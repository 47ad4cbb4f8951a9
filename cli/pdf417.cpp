// ordavo-cli pdf417: the PDF-417 capture from a serial scanner, and the decoding of symbol
// pictures through the fiscal-memory library.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>

#include "cli/common.h"
#include "cli/terminal_ui.h"
#include "engine/strings.h"
#include "fiscalmemory/core/library_loader.h"
#include "fiscalmemory/core/result_messages.h"
#include "fiscalmemory/library/talvmfd.h"
#include "pdf417/core/pdf_scanner.h"

namespace ordavo::cli {
namespace {

constexpr int kExitIncomplete = 1;
constexpr int kExitCantCreate = 73;

// The library's result codes as the fiscal-memory window tells them; codes 0 and 1, which the
// window does not tell, only come here as failures of a call.
std::string ResultText(int code) {
    const char* text = LibraryResultText(code);
    return text ? text : Str(IDS_ERROR_OPERACION);
}

// The capture window on a terminal: status texts as they come, questions answered from the
// options, the monitor's calls run by the main thread's loop.
class TerminalCapture : public pdf417::ScannerUi {
public:
    TerminalCapture(bool partial, bool json, std::string out) : partial_(partial), json_(json), out_(std::move(out)) {}

    void Post(std::function<void()> task) override {
        std::lock_guard<std::mutex> lock(mu_);
        tasks_.push_back(std::move(task));
        cv_.notify_all();
    }
    pdf417::Answer Ask(const std::string& text, const std::string& caption, pdf417::Buttons buttons,
                       pdf417::Icon icon) override {
        last_caption_ = caption;
        switch (buttons) {
            case pdf417::Buttons::kYesNoCancel:
                // Symbols missing: --partial is the "Yes".
                return partial_ ? pdf417::Answer::kYes : pdf417::Answer::kNo;
            case pdf417::Buttons::kRetryCancel:
                return pdf417::Answer::kCancel;
            case pdf417::Buttons::kYesNo:
                // No file was written: the command ends, and its exit status says so.
                return pdf417::Answer::kYes;
            default:
                if (caption == "Erro") error_ = text;
                Say(caption + ": " + text, icon == pdf417::Icon::kExclamation || icon == pdf417::Icon::kStop);
                return pdf417::Answer::kOk;
        }
    }
    void ShowTexts(const pdf417::CaptureTexts& t) override {
        Say(t.status + (t.expected.empty() ? "" : "  (" + t.received + "/" + t.expected + ")"));
    }
    void Beep() override {}
    void Stop() override { complete_ = true; }
    bool ChooseSaveFile(std::string& path) override {
        path = out_;
        asked_for_file_ = true;
        return true;
    }

    // Runs the monitor's calls until the series is complete, `deadline` passes, Ctrl-C, or the
    // monitor has ended (the scanner hung up) and has nothing more to say.
    void RunUntil(const pdf417::PDFScanner& scanner, std::chrono::steady_clock::time_point deadline,
                  bool has_deadline) {
        while (!complete_ && !Interrupted() && (!has_deadline || std::chrono::steady_clock::now() < deadline)) {
            std::function<void()> task;
            {
                std::unique_lock<std::mutex> lock(mu_);
                if (!cv_.wait_for(lock, std::chrono::milliseconds(100), [&] { return !tasks_.empty(); })) {
                    if (!scanner.Monitoring() && tasks_.empty()) break;
                    continue;
                }
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }

    bool complete() const { return complete_; }
    bool asked_for_file() const { return asked_for_file_; }
    const std::string& last_caption() const { return last_caption_; }
    const std::string& error() const { return error_; }

private:
    void Say(const std::string& cp1252, bool error = false) {
        if (json_ || error)
            PrintErr(cp1252 + "\n");
        else
            PrintOut(cp1252 + "\n");
        std::fflush(stdout);
    }

    bool partial_, json_;
    std::string out_;
    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> tasks_;
    bool complete_ = false, asked_for_file_ = false;
    std::string last_caption_, error_;
};

struct CaptureOptions {
    std::string port, out;
    int baud = 115200;
    bool partial = false;
    double timeout = 0;
    bool json = false;
};

int RunCapture(const CaptureOptions& o) {
    pdf417::LineSettings line;
    line.port_name = o.port;  // a device path: a name in the system's encoding
    line.baud = o.baud;
    TerminalCapture ui(o.partial, o.json, o.out);
    pdf417::PDFScanner& scanner = pdf417::TheScanner();
    scanner.SetUi(&ui);
    struct Unset {
        pdf417::PDFScanner& s;
        ~Unset() {
            s.ClosePort();
            s.SetUi(nullptr);
        }
    } unset{scanner};
    if (!scanner.OpenPort(line)) throw Failure{kExitNoInput, "the scanner's port " + o.port + " cannot be opened"};
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<long long>(o.timeout * 1000));
    ui.RunUntil(scanner, deadline, o.timeout > 0);

    const pdf417::SymbolSeries series = scanner.Series();
    const bool complete = series.Complete();
    if (!complete && !o.partial) scanner.ClosePort();
    else scanner.SaveCapture();
    const bool written = ui.asked_for_file() && ui.error().empty();
    ClearInterrupted();

    if (o.json) {
        json numbers = json::array();
        for (uint32_t n : series.Numbers()) numbers.push_back(n);
        PrintJson({{"file", written ? json(o.out) : json(nullptr)},
                   {"expected", series.expected()},
                   {"received", series.received()},
                   {"symbols", numbers},
                   {"complete", complete},
                   {"written", written}});
    }
    if (ui.asked_for_file() && !written) throw Failure{kExitCantCreate, U(ui.error())};
    if (written) return 0;
    if (series.received() == 0) throw Failure{kExitIncomplete, "no symbol was received; nothing written"};
    throw Failure{kExitIncomplete, std::to_string(series.received()) + " of " + std::to_string(series.expected()) +
                                       " symbols received; nothing written (--partial writes what was received)"};
}

struct DecodeOptions {
    std::vector<std::string> pictures;
    std::string out, dir;
    bool partial = false;
    bool json = false;
};

constexpr int kIncompleteSeries = 23;  // TalvClosePdf417ToMfd: symbols missing, nothing written

int RunDecode(const DecodeOptions& o) {
    for (const std::string& p : o.pictures)
        if (!std::filesystem::is_regular_file(p)) throw Failure{kExitNoInput, "cannot read " + p};
    Settings s;
    RunOptions ro;
    ro.dir = o.dir;
    LoadDirectorySettings(s, ro);
    FiscalLibrary library(FiscalLibraryName(s.Country));
    if (!library.Loaded()) throw Failure{kExitNoInput, U(Str(IDS_DLL_NO_CARGADA)) + ": " + library.error()};
    auto open = library.Find<int (*)(const char*)>("TalvOpenPdf417ToMfd");
    auto add = library.Find<int (*)(const char*)>("TalvAddBmpFile");
    auto close = library.Find<int (*)()>("TalvClosePdf417ToMfd");
    auto status = library.Find<int (*)(char*)>("TalvGetPdf417Status");  // an older library lacks it
    if (!open || !add || !close) throw Failure{kExitNoInput, "the fiscal-memory library cannot decode pictures"};
    auto why = [&]() -> std::string {
        char text[TALV_VERDICT_SIZE] = {};
        return status && status(text) == 0 ? std::string(text) : std::string();
    };

    json calls = json::array();
    auto told = [&](const std::string& call, int rc) {
        json c = {{"call", call}, {"result", rc}};
        if (rc != 0 && rc != 1) {
            const std::string reason = why();
            if (!reason.empty()) c["reason"] = U(reason);
        }
        calls.push_back(c);
        return c;
    };
    auto check = [&](const std::string& call, int rc) {
        const json c = told(call, rc);
        if (rc == 0 || rc == 1) return;
        if (o.json) PrintJson({{"file", nullptr}, {"calls", calls}, {"written", false}});
        throw Failure{rc == 19 ? kExitCantCreate : kExitDataError,
                      call + ": " + U(ResultText(rc)) + (c.contains("reason") ? ": " + c["reason"].get<std::string>() : "")};
    };
    check("TalvOpenPdf417ToMfd " + o.out, open(o.out.c_str()));
    for (const std::string& p : o.pictures) check("TalvAddBmpFile " + p, add(p.c_str()));
    int rc = close();
    bool complete = true;
    if (rc == kIncompleteSeries) {
        const json c = told("TalvClosePdf417ToMfd", rc);
        complete = false;
        const std::string missing = c.contains("reason") ? c["reason"].get<std::string>() : U(ResultText(rc));
        if (!o.partial) {
            if (o.json) PrintJson({{"file", nullptr}, {"calls", calls}, {"complete", false}, {"written", false}});
            throw Failure{kExitIncomplete, missing + "; nothing written (--partial writes the symbols read)"};
        }
        PrintErr(why() + "\n");
        rc = close();  // agreed: the symbols there are
    }
    check("TalvClosePdf417ToMfd", rc);
    if (o.json)
        PrintJson({{"file", o.out}, {"calls", calls}, {"complete", complete}, {"written", true}});
    else
        PrintOut("Archivo criado: " + o.out + "\n");
    return 0;
}

}  // namespace

void AddPdf417Commands(CLI::App& app, Dispatch& d) {
    CLI::App* pdf = app.add_subcommand("pdf417", "PDF-417 symbols of the audit memory: scanner capture, pictures");
    pdf->require_subcommand(1);

    static CaptureOptions capture;
    CLI::App* c = pdf->add_subcommand("capture", "Capture a series of symbols from a serial scanner into an audit file");
    c->add_option("--port", capture.port, "The scanner's port: COM1: to COM4: or a device path")->required();
    c->add_option("--out", capture.out, "The audit file to write (.mfd)")->required();
    c->add_option("--baud", capture.baud, "Line speed (default 115200; 8 data bits, no parity, 1 stop bit)")
        ->check(CLI::IsMember({1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}));
    c->add_flag("--partial", capture.partial,
                "When the time-out, Ctrl-C or the scanner's hang-up ends the capture with symbols missing, "
                "write what was received");
    c->add_option("--timeout", capture.timeout, "Give up after S seconds (default: wait for the whole series)")
        ->check(CLI::Range(0.0, 1e6));
    c->add_flag("--json", capture.json, "Print the outcome as JSON (status texts go to standard error)");
    d.On(c, [] { return RunCapture(capture); });

    static DecodeOptions decode;
    CLI::App* x = pdf->add_subcommand("decode", "Decode pictures of symbols (BMP, PNG, JPEG) into an audit file");
    x->add_option("PICTURE", decode.pictures, "The pictures, one symbol each, in any order")->required();
    x->add_option("--out", decode.out, "The audit file to write")->required();
    x->add_option("--dir", decode.dir, "Application directory: its country chooses the library (default: here)");
    x->add_flag("--partial", decode.partial, "With symbols of the series missing, write the symbols read");
    x->add_flag("--json", decode.json, "Print the library's results as JSON");
    d.On(x, [] { return RunDecode(decode); });
}

}  // namespace ordavo::cli
