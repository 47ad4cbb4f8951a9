// ordavo-cli fiscal report|xml|db|sales-book|sales-book-rd|monthly-sales-book|mf-report|type-e|
// identify|keys|sign|check|decrypt: the fiscal-memory window's conversions and key tools,
// without windows, through the fiscal-memory library.
//
// Exit status: 0 done; the library's result code (2..22) when it refused, with its message;
// 1 for "Archivo Invalido" of check; 69 when the library or its function is missing; 64 usage.
#include <cstdio>

#include "cli/common.h"
#include "engine/env.h"
#include "engine/strings.h"
#include "fiscalmemory/core/result_messages.h"
#include "fiscalmemory/core/library_loader.h"

namespace ordavo::cli {

namespace {

constexpr int kExitUnavailable = 69;

// The message of a library result code, as the fiscal-memory window shows it.
std::string CodeMessage(int code) {
    const char* text = LibraryResultText(code);
    return text ? text : "";
}

struct Range {
    std::vector<std::string> coo, date;
    int user = 1;
    bool all = false;
};

struct Job {
    RunOptions run;
    std::string input, out, pub, prv, source = "ma";
    std::vector<std::string> inputs, crz;
    Range range;
    bool simplified = false;
};

// Loads the library the settings' country names, finds `name` or ends with 69.
template <class F>
F Function(FiscalLibrary& lib, const Job& job, const char* name) {
    Settings s;
    LoadDirectorySettings(s, job.run);
    std::string file = FiscalLibraryName(s.Country);
    if (!lib.Load(file)) throw Failure{kExitUnavailable, U(Str(IDS_DLL_NO_CARGADA)) + ": " + lib.error()};
    F f = lib.Find<F>(name);
    if (!f) throw Failure{kExitUnavailable, file + " has no " + name};
    return f;
}

// Tells the outcome: the output written, or the library's message; the exit status.
int Outcome(const Job& job, int code, const std::string& written) {
    bool ok = code == 0;
    if (job.run.json) {
        json j = {{"result", code}, {"ok", ok}};
        if (ok && !written.empty()) j["output"] = written;
        if (!ok) j["message"] = U(CodeMessage(code));
        PrintJson(j);
    } else if (ok) {
        if (!written.empty()) std::printf("%s\n", written.c_str());
    } else {
        std::fprintf(stderr, "ordavo-cli: %s (%d)\n", U(CodeMessage(code)).c_str(), code);
    }
    return ok ? 0 : (code > 0 && code < 64 ? code : 1);
}

void AddRange(CLI::App* sub, Range& r) {
    auto* coo = sub->add_option("--coo", r.coo, "First and last COO")->expected(2);
    sub->add_option("--user", r.user, "User of the COO numbers (1..255)")->needs(coo);
    auto* date = sub->add_option("--date", r.date, "First and last date, DDMMYY")->expected(2);
    auto* all = sub->add_flag("--all", r.all, "The whole memory");
    coo->excludes(date)->excludes(all);
    date->excludes(all);
}

void CheckRange(const Range& r) {
    if (r.coo.empty() && r.date.empty() && !r.all) throw Failure{kExitUsage, "give --coo FIRST LAST, --date D1 D2 or --all"};
}

long Number(const std::string& text, const char* what) {
    try {
        size_t used = 0;
        long v = std::stol(text, &used);
        if (used == text.size()) return v;
    } catch (const std::exception&) {
    }
    throw Failure{kExitUsage, std::string(what) + ": not a number: " + text};
}

// The conversion functions are named TalvGera + stem + PorCOO/PorData/Total + suffix ("RD" for
// the Dominican books).
int RunConversion(Job& job, const std::string& stem, const std::string& suffix) {
    CheckRange(job.range);
    FiscalLibrary lib;
    auto name = [&](const char* range) { return "TalvGera" + stem + range + suffix; };
    int code;
    if (!job.range.coo.empty()) {
        auto f = Function<int (*)(const char*, const char*, int, int, int)>(lib, job, name("PorCOO").c_str());
        code = f(job.input.c_str(), job.out.c_str(), job.range.user, static_cast<int>(Number(job.range.coo[0], "--coo")),
                 static_cast<int>(Number(job.range.coo[1], "--coo")));
    } else if (!job.range.date.empty()) {
        auto f = Function<int (*)(const char*, const char*, const char*, const char*)>(lib, job, name("PorData").c_str());
        code = f(job.input.c_str(), job.out.c_str(), job.range.date[0].c_str(), job.range.date[1].c_str());
    } else {
        auto f = Function<int (*)(const char*, const char*)>(lib, job, name("Total").c_str());
        code = f(job.input.c_str(), job.out.c_str());
    }
    return Outcome(job, code, job.out);
}

CLI::App* Sub(CLI::App* fiscal, const char* name, const char* help, Job& job) {
    CLI::App* sub = fiscal->add_subcommand(name, help);
    sub->add_option("--dir", job.run.dir, "Application directory, whose config_es.cfg names the country (default: here)");
    sub->add_flag("--json", job.run.json, "Answer in JSON");
    return sub;
}

}  // namespace

void AddFiscalReportCommands(CLI::App& app, Dispatch& d) {
    CLI::App* fiscal = FiscalGroup(app);
    auto job = std::make_shared<Job>();

    struct Conversion {
        const char* name;
        const char* help;
        const char* stem;
        const char* suffix;
    };
    static const Conversion kConversions[] = {
        {"report", "Audit file (.mra, .mpk, .mfd) into its text, line for line as printed", "Txt", ""},
        {"xml", "Audit file into XML", "Xml", ""},
        {"db", "Audit file into an SQLite database", "Mdb", ""},
        {"sales-book", "Audit file into a sales book", "LibroDeVentas", ""},
        {"sales-book-rd", "Audit file into a Dominican sales book", "LibroDeVentas", "RD"},
    };
    for (const Conversion& c : kConversions) {
        CLI::App* sub = Sub(fiscal, c.name, c.help, *job);
        sub->add_option("AUDITFILE", job->input, "Audit file")->required();
        sub->add_option("--out", job->out, "Output file")->required();
        AddRange(sub, job->range);
        std::string stem = c.stem, suffix = c.suffix;
        d.On(sub, [job, stem, suffix] { return RunConversion(*job, stem, suffix); });
    }

    CLI::App* monthly = Sub(fiscal, "monthly-sales-book", "Several audit files into one monthly sales book", *job);
    monthly->add_option("FILE", job->inputs, "Audit files")->required();
    monthly->add_option("--out", job->out, "Output file")->required();
    d.On(monthly, [job] {
        std::string list;
        for (const std::string& f : job->inputs) list += f + "|";
        FiscalLibrary lib;
        auto f = Function<int (*)(const char*, const char*)>(lib, *job, "TalvGeraLibroMensualDeVentas");
        return Outcome(*job, f(list.c_str(), job->out.c_str()), job->out);
    });

    CLI::App* mf = Sub(fiscal, "mf-report", "Fiscal-memory file (.mf, .mfk) into its report", *job);
    mf->add_option("MFFILE", job->input, "Fiscal-memory file")->required();
    mf->add_option("--out", job->out, "Output file")->required();
    auto* crz = mf->add_option("--crz", job->crz, "First and last Z number")->expected(2);
    mf->add_option("--date", job->range.date, "First and last date, DDMMYY")->expected(2)->excludes(crz);
    mf->add_flag("--simplified", job->simplified, "The simplified report");
    d.On(mf, [job] {
        std::string kind, first, last;
        if (!job->crz.empty()) {
            kind = job->simplified ? "c" : "C";
            char a[16], b[16];
            std::snprintf(a, sizeof a, "%06ld", Number(job->crz[0], "--crz"));
            std::snprintf(b, sizeof b, "%06ld", Number(job->crz[1], "--crz"));
            first = a;
            last = b;
        } else if (!job->range.date.empty()) {
            kind = job->simplified ? "d" : "D";
            first = job->range.date[0];
            last = job->range.date[1];
        } else {
            throw Failure{kExitUsage, "give --crz A B or --date D1 D2"};
        }
        FiscalLibrary lib;
        auto f = Function<int (*)(const char*, const char*, const char*, const char*, const char*)>(lib, *job,
                                                                                                  "TalvRelatorioMFTxt");
        return Outcome(*job, f(job->input.c_str(), job->out.c_str(), kind.c_str(), first.c_str(), last.c_str()), job->out);
    });

    CLI::App* typee = Sub(fiscal, "type-e", "Fiscal (--source mf, .mfk) or audit memory (--source ma, .mpk) into type E records", *job);
    typee->add_option("INPUT", job->input, "Input file")->required();
    typee->add_option("--out", job->out, "Output file")->required();
    typee->add_option("--source", job->source, "mf or ma")->check(CLI::IsMember({"mf", "ma"}));
    auto* ecoo = typee->add_option("--coo", job->range.coo, "First and last COO")->expected(2);
    auto* edate = typee->add_option("--date", job->range.date, "First and last date, DDMMYY")->expected(2);
    auto* eall = typee->add_flag("--all", job->range.all, "The whole memory");
    ecoo->excludes(edate)->excludes(eall);
    edate->excludes(eall);
    d.On(typee, [job] {
        CheckRange(job->range);
        std::string source = job->source == "mf" ? "0" : "1";
        FiscalLibrary lib;
        int code;
        if (job->range.all) {
            auto f = Function<int (*)(const char*, const char*, const char*, const char*)>(lib, *job, "TalvGeraRegistrosTipoE");
            code = f(job->input.c_str(), job->out.c_str(), source.c_str(), "1");
        } else {
            using Partial = int (*)(const char*, const char*, const char*, const char*, const char*, const char*,
                                    const char*, const char*, const char*, const char*, const char*, const char*,
                                    const char*, const char*, const char*, const char*, const char*, const char*,
                                    const char*, const char*, const char*, const char*);
            auto f = Function<Partial>(lib, *job, "TalvGeraRegistrosParciaisTipoE");
            std::string sel = job->range.coo.empty() ? "0" : "1", first, last;
            if (sel == "1") {
                char a[16], b[16];
                std::snprintf(a, sizeof a, "%06ld", Number(job->range.coo[0], "--coo"));
                std::snprintf(b, sizeof b, "%06ld", Number(job->range.coo[1], "--coo"));
                first = a;
                last = b;
            } else {
                first = job->range.date[0];
                last = job->range.date[1];
            }
            code = f(job->input.c_str(), job->out.c_str(), sel.c_str(), first.c_str(), last.c_str(), "", "", "",
                     source.c_str(), "", "", "", "", "", "", "", "", "", "", "", "", "");
        }
        return Outcome(*job, code, job->out);
    });

    CLI::App* identify = Sub(fiscal, "identify", "What an audit file holds", *job);
    identify->add_option("AUDITFILE", job->input, "Audit file")->required();
    identify->add_option("--out", job->out, "Output text file")->required();
    d.On(identify, [job] {
        FiscalLibrary lib;
        auto f = Function<int (*)(const char*, const char*)>(lib, *job, "TalvIdentificaMAArchivo");
        return Outcome(*job, f(job->input.c_str(), job->out.c_str()), job->out);
    });

    CLI::App* keys = Sub(fiscal, "keys", "A new key pair", *job);
    keys->add_option("--public", job->pub, "Public-key file (.pub)")->required();
    keys->add_option("--private", job->prv, "Private-key file (.prv)")->required();
    d.On(keys, [job] {
        FiscalLibrary lib;
        auto f = Function<int (*)(const char*, const char*)>(lib, *job, "TalvGenerateKeys");
        return Outcome(*job, f(job->pub.c_str(), job->prv.c_str()), job->pub);
    });

    CLI::App* sign = Sub(fiscal, "sign", "Authenticate a text file with a public key", *job);
    sign->add_option("TEXT", job->input, "Text file")->required();
    sign->add_option("--out", job->out, "Authenticated file (.txk)")->required();
    sign->add_option("--public", job->pub, "Public-key file")->required();
    d.On(sign, [job] {
        FiscalLibrary lib;
        auto f = Function<int (*)(const char*, const char*, const char*)>(lib, *job, "TalvAutentificationDLLKeys");
        return Outcome(*job, f(job->input.c_str(), job->out.c_str(), job->pub.c_str()), job->out);
    });

    CLI::App* check = Sub(fiscal, "check", "Validate an authenticated text file with the private key", *job);
    check->add_option("TXK", job->input, "Authenticated file")->required();
    check->add_option("--private", job->prv, "Private-key file")->required();
    d.On(check, [job] {
        FiscalLibrary lib;
        auto f = Function<int (*)(const char*, const char*)>(lib, *job, "TalvValidationDLLKeys");
        int code = f(job->input.c_str(), job->prv.c_str());
        std::string verdict = U(Str(code == 0 ? IDS_ARCHIVO_VALIDO : IDS_ARCHIVO_INVALIDO));
        if (job->run.json)
            PrintJson({{"result", code}, {"valid", code == 0}, {"message", verdict}});
        else
            std::printf("%s\n", verdict.c_str());
        return code == 0 ? 0 : 1;
    });

    CLI::App* decrypt = Sub(fiscal, "decrypt", "Open an encrypted XML (.enc)", *job);
    decrypt->add_option("ENC", job->input, "Encrypted file")->required();
    decrypt->add_option("--out", job->out, "XML file")->required();
    d.On(decrypt, [job] {
        FiscalLibrary lib;
        // The Panamá menu's library, whatever the country.
        if (!lib.Load(kFiscalLibraryES)) throw Failure{kExitUnavailable, U(Str(IDS_DLL_NO_CARGADA)) + ": " + lib.error()};
        auto f = lib.Find<int (*)(const char*, const char*)>("TalvDescriptografaXmlAES");
        if (!f) throw Failure{kExitUnavailable, std::string(kFiscalLibraryES) + " has no TalvDescriptografaXmlAES"};
        return Outcome(*job, f(job->input.c_str(), job->out.c_str()), job->out);
    });
}

}  // namespace ordavo::cli
