// ordavo-cli fiscal: the fiscal-memory library's downloads and signature checks without windows.
// The library is loaded the way the fiscal-memory window loads it (FiscalLibrary, by the
// country's file name), and its result codes are told with the window's messages.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "cli/common.h"
#include "cli/terminal_ui.h"
#include "engine/strings.h"
#include "engine/util.h"
#include "fiscalmemory/core/library_loader.h"
#include "fiscalmemory/core/result_messages.h"
#include "fiscalmemory/library/talvmfd.h"

namespace ordavo::cli {

namespace {

constexpr int kExitCancelled = 5;

struct FiscalOptions {
    RunOptions run;
    std::string what;  // mf, sb, key, mfk, lx, ma, mpk, lmf, it
    std::string out, public_key, signed_file, file, key;
    std::vector<std::string> coo, date, crz;
    int user = 1;
    bool all = false, simplified = false;
    int baud = 0;
};

// A library result as the program tells it: the window's message, the code.
struct Outcome {
    int code = 0;
    std::string message;  // Windows-1252
    json extra = json::object();
};

// "Archivo criado con éxito: " and the path, on one line.
std::string Created(const std::string& path) {
    std::string text = Str(32862);
    ReplaceAll(text, "\r\n", "");
    return Format(text.c_str(), path.c_str());
}

std::string ResultMessage(int code) {
    const char* text = LibraryResultText(code);
    return text ? text : "";
}

// The progress bar on standard error, when it is a terminal; Ctrl-C cancels.
struct ProgressBar {
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    bool tty = isatty(2) != 0;
    bool drawn = false;

    static int Callback(long long done, long long expected, void* context) {
        auto* self = static_cast<ProgressBar*>(context);
        if (self->tty) self->Draw(done, expected);
        return Interrupted() ? 1 : 0;
    }
    void Draw(long long done, long long expected) {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double rate = seconds > 0.05 ? static_cast<double>(done) / seconds : 0;
        std::string bar;
        const int width = 30;
        const int filled = expected > 0 ? static_cast<int>(width * std::min(1.0, double(done) / double(expected))) : 0;
        bar.append(static_cast<size_t>(filled), '#');
        bar.append(static_cast<size_t>(width - filled), '.');
        std::string left = "--:--";
        if (rate > 0 && expected > done) {
            const long long s = static_cast<long long>(double(expected - done) / rate);
            left = Format("%02lld:%02lld", s / 60, s % 60);
        }
        std::fprintf(stderr, "\r[%s] %3d%% %8.1f KiB/s %s left ", bar.c_str(),
                     expected > 0 ? static_cast<int>(100.0 * double(done) / double(expected)) : 0, rate / 1024.0,
                     left.c_str());
        std::fflush(stderr);
        drawn = true;
    }
    ~ProgressBar() {
        if (drawn) std::fputc('\n', stderr);
    }
};

// The library of the directory's country, set up as the window sets it up.
class Session {
public:
    explicit Session(const FiscalOptions& o) {
        LoadDirectorySettings(settings_, o.run);
        // The library reads config_es.cfg of the application directory; the command line wins.
        setenv("ORDAVO_CONFIG_DIR", settings_.AppDirectory.c_str(), 1);
        if (!settings_.SocketPeer.empty()) setenv("ORDAVO_SOCKET_PEER", settings_.SocketPeer.c_str(), 1);
        if (!settings_.ExchangeDirectory.empty()) setenv("ORDAVO_EXCHANGE_DIR", settings_.ExchangeDirectory.c_str(), 1);
        if (!lib_.Load(FiscalLibraryName(settings_.Country)))
            throw Failure{1, U(Str(IDS_DLL_NO_CARGADA)) + " (" + lib_.error() + ")"};
        if (auto set_baud = Fn<decltype(&TalvSetBaudrate)>("TalvSetBaudrate"))
            set_baud(o.baud > 0 ? o.baud : settings_.BaudRate);
        if (auto set_progress = Fn<decltype(&TalvSetProgressCallback)>("TalvSetProgressCallback"))
            set_progress(&ProgressBar::Callback, &bar_);
    }
    ~Session() {
        if (auto set_progress = Fn<decltype(&TalvSetProgressCallback)>("TalvSetProgressCallback"))
            set_progress(nullptr, nullptr);
    }
    template <class F>
    F Fn(const char* name) {
        return lib_.Find<F>(name);
    }
    template <class F>
    F Need(const char* name) {
        F f = Fn<F>(name);
        if (!f) throw Failure{1, U(Str(IDS_DLL_NO_CARGADA)) + ": " + name};
        return f;
    }
    const char* port() const { return settings_.PortName.c_str(); }

private:
    Settings settings_;
    FiscalLibrary lib_;
    ProgressBar bar_;
};

std::string Six(const std::string& number, const char* what) {
    if (number.empty() || number.size() > 6 || number.find_first_not_of("0123456789") != std::string::npos)
        throw Failure{kExitUsage, std::string(what) + ": expected a number of 1 to 6 digits, got \"" + number + "\""};
    return Format("%06ld", std::strtol(number.c_str(), nullptr, 10));
}

// Fetches the key beside a download and, for a signed one, checks the file with it.
void PublicKeyTail(Session& s, const FiscalOptions& o, bool signed_download, Outcome& r) {
    if (o.public_key.empty() || r.code != 0) return;
    const int rc = s.Need<decltype(&TalvDownloadPublicKey)>("TalvDownloadPublicKey")(s.port(), o.public_key.c_str());
    r.extra["public_key"] = o.public_key;
    if (rc != 0) {
        r.code = rc;
        r.message = ResultMessage(rc);
        return;
    }
    if (!signed_download) return;
    const int valid = s.Need<decltype(&TalvValidate)>("TalvValidate")(o.out.c_str(), o.public_key.c_str());
    r.extra["valid"] = valid == 0;
    r.message += "\r\n" + Str(valid == 0 ? 33035 : 33036);
    if (valid != 0) r.code = valid;
}

Outcome Download(const FiscalOptions& o) {
    Session s(o);
    Outcome r;
    const std::string& w = o.what;
    const char* out = o.out.c_str();
    bool signed_download = w == "mfk" || w == "lx" || w == "mpk" || w == "lmf" || w == "it";
    if (w == "mf" || w == "sb" || w == "key" || w == "mfk" || w == "lx") {
        const char* name = w == "mf"    ? "TalvDownloadMF"
                           : w == "sb"  ? "TalvDownloadSB"
                           : w == "key" ? "TalvDownloadPublicKey"
                           : w == "mfk" ? "TalvDownloadMFK"
                                        : "TalvDownloadLecturaX";
        r.code = s.Need<decltype(&TalvDownloadMF)>(name)(s.port(), out);
    } else if (w == "ma" || w == "mpk") {
        const int ranges = !o.coo.empty() + !o.date.empty() + o.all;
        if (ranges != 1) throw Failure{kExitUsage, "download " + w + ": give one of --coo FIRST LAST, --date D1 D2, --all"};
        std::string kind = "0", first, last, user;
        if (!o.coo.empty()) {
            kind = "2", first = Six(o.coo[0], "--coo"), last = Six(o.coo[1], "--coo"), user = Format("%03d", o.user);
        } else if (!o.date.empty()) {
            kind = "1", first = o.date[0], last = o.date[1];
        }
        r.code = s.Need<decltype(&TalvDownloadMFD)>(w == "ma" ? "TalvDownloadMFD" : "TalvDownloadMPK")(
            s.port(), out, kind.c_str(), first.c_str(), last.c_str(), user.c_str());
    } else if (w == "lmf" || w == "it") {
        const std::vector<std::string>& numbers = o.crz.empty() ? o.coo : o.crz;
        const int ranges = !numbers.empty() + !o.date.empty();
        if (ranges != 1) throw Failure{kExitUsage, "download " + w + ": give one of --crz FIRST LAST, --date D1 D2"};
        std::string kind = "1", first, last;
        if (!numbers.empty())
            kind = "2", first = Six(numbers[0], "--crz"), last = Six(numbers[1], "--crz");
        else
            first = o.date[0], last = o.date[1];
        r.code = s.Need<decltype(&TalvDownloadLecturaMF)>(w == "lmf" ? "TalvDownloadLecturaMF"
                                                                      : "TalvDownloadRelTransacciones")(
            s.port(), out, kind.c_str(), first.c_str(), last.c_str(), o.simplified ? "r" : "R");
    } else {
        throw Failure{kExitUsage, "download: unknown kind \"" + w + "\" (mf, sb, key, mfk, lx, ma, mpk, lmf, it)"};
    }
    r.message = r.code == 0 ? Created(o.out) : ResultMessage(r.code);
    r.extra["file"] = o.out;
    PublicKeyTail(s, o, signed_download, r);
    return r;
}

int Report(const Outcome& r, bool as_json, bool valid_check = false) {
    const bool cancelled = r.code == 20 && Interrupted();
    if (as_json) {
        json j = {{"code", r.code}, {"message", U(Lines(r.message))}};
        for (auto& [k, v] : r.extra.items()) j[k] = v;
        PrintJson(j);
    } else if (r.code == 0 || (valid_check && r.code == 255)) {
        PrintOut(Lines(r.message) + "\n");
    } else {
        PrintErr(Lines(r.message) + Format(" (%d)\n", r.code));
    }
    if (cancelled) return kExitCancelled;
    return r.code == 0 ? 0 : 1;
}

}  // namespace

void AddFiscalDownloadCommands(CLI::App& app, Dispatch& d) {
    CLI::App* fiscal = FiscalGroup(app);
    static FiscalOptions o;
    auto common = [&](CLI::App* sub) {
        AddPortOptions(sub, o.run);
        sub->add_option("--baud", o.baud, "Download speed (default: Serial Baudrate of config_es.cfg)")
            ->check(CLI::IsMember({9600, 19200, 38400, 57600, 115200}));
        sub->add_flag("--json", o.run.json, "Print {\"code\": N, \"message\": \"...\"}");
    };

    CLI::App* serial = fiscal->add_subcommand("serial", "The printer's serial number");
    common(serial);
    d.On(serial, [serial] {
        MarkPortGiven(serial, o.run);
        Session s(o);
        char buf[TALV_SERIAL_SIZE] = {};
        Outcome r;
        r.code = s.Need<decltype(&TalvGetSerialNumber)>("TalvGetSerialNumber")(s.port(), buf);
        r.message = r.code == 0 ? std::string(buf) : ResultMessage(r.code);
        if (r.code == 0) r.extra["serial"] = U(buf);
        return Report(r, o.run.json);
    });

    CLI::App* download = fiscal->add_subcommand("download", "Download from the printer into a file");
    download->add_option("WHAT", o.what, "mf, sb, key, mfk, lx, ma, mpk, lmf or it")
        ->required()
        ->check(CLI::IsMember({"mf", "sb", "key", "mfk", "lx", "ma", "mpk", "lmf", "it"}));
    download->add_option("--out", o.out, "Output file")->required();
    download->add_option("--coo", o.coo, "ma, mpk (and it): FIRST LAST COO numbers")->expected(2);
    download->add_option("--user", o.user, "ma, mpk by COO: the user (default 1)")->check(CLI::Range(1, 255));
    download->add_option("--date", o.date, "ma, mpk, lmf, it: FIRST LAST dates DDMMYY")->expected(2);
    download->add_flag("--all", o.all, "ma, mpk: the whole audit memory");
    download->add_option("--crz", o.crz, "lmf, it: FIRST LAST numbers (Z numbers, COO for it)")->expected(2);
    download->add_flag("--simplified", o.simplified, "lmf, it: the simplified form");
    download->add_option("--public-key", o.public_key, "Also fetch the printer's public key into this file "
                                                       "(and check a signed download with it)");
    common(download);
    d.On(download, [download] {
        MarkPortGiven(download, o.run);
        return Report(Download(o), o.run.json);
    });

    CLI::App* validate = fiscal->add_subcommand("validate", "Check a signed file (.mpk, .mfk, .txk) with a public key");
    validate->add_option("FILE", o.file, "Signed file")->required();
    validate->add_option("KEY", o.key, "Public key (.pub)")->required();
    validate->add_flag("--json", o.run.json, "Print JSON");
    d.On(validate, [] {
        Session s(o);
        Outcome r;
        r.code = s.Need<decltype(&TalvValidate)>("TalvValidate")(o.file.c_str(), o.key.c_str());
        r.message = r.code == 0 ? Str(33035) : r.code == 255 ? Str(33036) : ResultMessage(r.code);
        r.extra["valid"] = r.code == 0;
        return Report(r, o.run.json, true);
    });

    CLI::App* validate_z = fiscal->add_subcommand("validate-z", "Check the Z-validation text of a reduction");
    validate_z->add_option("TEXTFILE", o.file, "The text as printed (hexadecimal digits; spaces and lines ignored)")
        ->required();
    validate_z->add_option("KEY", o.key, "Public key (.pub)")->required();
    validate_z->add_flag("--json", o.run.json, "Print JSON");
    d.On(validate_z, [] {
        Session s(o);
        char verdict[TALV_VERDICT_SIZE] = {};
        Outcome r;
        r.code = s.Need<decltype(&TalvValidateRZ)>("TalvValidateRZ")(o.file.c_str(), o.key.c_str(), verdict);
        r.message = verdict[0] ? std::string(verdict) : ResultMessage(r.code);
        r.extra["valid"] = r.code == 0;
        return Report(r, o.run.json, true);
    });

    CLI::App* last_ack = fiscal->add_subcommand("last-ack", "The acknowledge and status bytes of the last answer");
    last_ack->add_flag("--json", o.run.json, "Print JSON");
    last_ack->add_option("--dir", o.run.dir, "Application directory (default: here)");
    d.On(last_ack, [] {
        Session s(o);
        unsigned char ack = 0, st1 = 0, st2 = 0;
        Outcome r;
        r.code = s.Need<decltype(&TalvGetLastAck)>("TalvGetLastAck")(&ack, &st1, &st2);
        if (r.code != 0) {
            r.message = "Retorno no Almacenado\r\n" + ResultMessage(r.code);
            return Report(r, o.run.json);
        }
        r.extra["ack"] = ack;
        r.extra["st1"] = st1;
        r.extra["st2"] = st2;
        if (ack != 0x06) {
            r.message = "NAK";
        } else if (st1 == 0 && st2 == 0) {
            r.message = "RETORNO OK";
        } else {
            for (int bit = 7; bit >= 0; --bit)
                if (st1 & (1 << bit)) r.message += "\n" + Str(33076 + (7 - bit));
            for (int bit = 7; bit >= 0; --bit)
                if (st2 & (1 << bit)) r.message += "\n" + Str(33084 + (7 - bit));
            r.message.erase(0, 1);
        }
        return Report(r, o.run.json);
    });

    CLI::App* diagnose = fiscal->add_subcommand("diagnose-mf", "Diagnose the printer's fiscal memory into a text file");
    diagnose->add_option("--out", o.out, "Output text file")->required();
    diagnose->add_option("--signed", o.signed_file, "A signed fiscal-memory file (.mfk) to compare");
    common(diagnose);
    d.On(diagnose, [diagnose] {
        MarkPortGiven(diagnose, o.run);
        Session s(o);
        Outcome r;
        r.code = s.Need<decltype(&TalvDiagnoseMF)>("TalvDiagnoseMF")(
            s.port(), o.signed_file.empty() ? nullptr : o.signed_file.c_str(), o.out.c_str());
        r.extra["file"] = o.out;
        if (r.code != 0) {
            r.message = ResultMessage(r.code);
        } else {
            std::string report;
            ReadWholeFile(o.out, report);
            r.message = report + "\r\n" + Created(o.out);
        }
        return Report(r, o.run.json);
    });
}

}  // namespace ordavo::cli
