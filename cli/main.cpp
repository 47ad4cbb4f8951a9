// ordavo-cli: the command-line front end. Texts on the terminal are UTF-8; inside, as in the
// catalogs and the printer's answers, they are Windows-1252.
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/ask_editors.h"
#include "cli/common.h"
#include "cli/terminal_ui.h"
#include "engine/catalog.h"
#include "engine/codepage.h"
#include "engine/comando.h"
#include "engine/env.h"
#include "engine/strings.h"
#include "engine/util.h"
#include "sequences/core/sequencia.h"
#include "shell/core/settings.h"

namespace ordavo::cli {
namespace {


std::vector<Comando> LoadCatalogFile(const std::string& given) {
    const std::string file = DataFile(given);
    struct stat st;
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(file.c_str(), R_OK) != 0)
        throw Failure{kExitNoInput, "cannot read " + file + ": " + std::strerror(errno ? errno : ENOENT)};
    std::vector<Comando> list;
    std::string error;
    std::vector<std::string> warnings;
    if (CarregarArquivoCatalogo(file, list, &error, &warnings) != 0)
        throw Failure{kExitNoInput, "not a command catalog: " + U(error)};
    for (const std::string& w : warnings) PrintErr("warning: " + w + "\n");
    return list;
}

// COMMAND is a 0-based position or the exact title of a command.
Comando FindCommand(const std::vector<Comando>& list, const std::string& wanted_utf8) {
    std::string wanted = Utf8ToCp1252(wanted_utf8);
    bool digits = !wanted.empty() && wanted.find_first_not_of("0123456789") == std::string::npos;
    if (digits && wanted.size() < 10) {
        size_t index = std::stoul(wanted);
        if (index < list.size()) return list[index];
    }
    for (const Comando& c : list)
        if (c.titulo == wanted) return c;
    throw Failure{kExitUsage, "no command \"" + wanted_utf8 + "\" in the catalog (" + std::to_string(list.size()) +
                                  " commands; give a position from 0 or the exact title)"};
}

void ApplySets(Comando& c, const std::vector<std::string>& sets) {
    for (const std::string& s : sets) {
        size_t eq = s.find('=');
        std::string number = s.substr(0, eq);
        bool ok = eq != std::string::npos && !number.empty() &&
                  number.find_first_not_of("0123456789") == std::string::npos && number.size() < 6;
        size_t n = ok ? std::stoul(number) : 0;
        if (!ok || n < 1 || n > c.parametros.size())
            throw Failure{kExitUsage, "--set " + s + ": expected N=VALUE with N from 1 to " +
                                          std::to_string(c.parametros.size())};
        c.parametros[n - 1].valor = Utf8ToCp1252(s.substr(eq + 1));
    }
}

json CommandJson(const Comando& c) {
    json bytes = json::array();
    for (int i = 0; i < c.n_bytes_escape; ++i) bytes.push_back(c.bytes_escape[i]);
    json params = json::array();
    for (const Parametro& p : c.parametros)
        params.push_back({{"titulo", U(p.titulo)},
                          {"tamanho", p.tamanho},
                          {"formato", U(p.formato)},
                          {"obrigatorio", p.obrigatorio ? 1 : 0},
                          {"valor", U(p.valor)}});
    json rets = json::array();
    for (const Retorno& r : c.retornos)
        rets.push_back({{"titulo", U(r.titulo)}, {"tamanho", r.tamanho}, {"formato", U(r.formato)}});
    return {{"tipo", U(c.tipo)},
            {"titulo", U(c.titulo)},
            {"escape", U(c.escape)},
            {"bytes_escape", bytes},
            {"equipamentos_hab", c.equipamentos_hab},
            {"tamanho_retorno", c.tamanho_retorno},
            {"tipo_retorno", U(c.tipo_retorno)},
            {"parametros", params},
            {"retornos", rets}};
}


std::string Listing(const std::vector<Comando>& list) {
    std::string out;
    for (size_t i = 0; i < list.size(); ++i) {
        const Comando& c = list[i];
        out += Format("%4zu  [%s] %s  (escape \"%s\", answer %d", i, c.tipo.c_str(), c.titulo.c_str(),
                      c.escape.c_str(), c.tamanho_retorno);
        out += c.escape_valido ? ")\n" : ", escape not sendable)\n";
        for (size_t k = 0; k < c.parametros.size(); ++k) {
            const Parametro& p = c.parametros[k];
            out += Format("        %2zu. %-30s %-26s %4d %s", k + 1, p.titulo.c_str(), p.formato.c_str(), p.tamanho,
                          p.obrigatorio ? "obligatorio" : "opcional");
            if (!p.valor.empty()) out += "  = \"" + p.valor + "\"";
            out += "\n";
        }
        for (const Retorno& r : c.retornos)
            out += Format("         <- %-30s %-26s %4d\n", r.titulo.c_str(), r.formato.c_str(), r.tamanho);
    }
    return out;
}

int RunCatalog(const std::string& file, bool as_json) {
    std::vector<Comando> list = LoadCatalogFile(file);
    if (as_json) {
        json all = json::array();
        for (const Comando& c : list) all.push_back(CommandJson(c));
        PrintJson(all);
    } else {
        PrintOut(Listing(list));
    }
    return 0;
}

int RunFrame(const std::string& file, const std::string& command, const std::vector<std::string>& sets) {
    Comando c = FindCommand(LoadCatalogFile(file), command);
    ApplySets(c, sets);
    int32_t result = c.MontarQuadro();
    if (result != 0) {
        PrintErr(Lines(c.retorno_formatado) + "\n");
        return -result;
    }
    PrintOut(HexBytes(c.quadro.data, static_cast<size_t>(c.quadro.length)) + "\n");
    return 0;
}

int RunDecode(const std::string& file, const std::string& command, const std::string& answer, bool as_json) {
    Comando c = FindCommand(LoadCatalogFile(file), command);
    std::vector<uint8_t> bytes;
    if (!ParseHexBytes(answer, bytes)) throw Failure{kExitUsage, "--answer: expected hexadecimal bytes, e.g. \"06 00 00\""};
    c.resposta = bytes;
    c.FormatarRetorno();
    if (as_json) {
        json rets = json::array();
        for (const Retorno& r : c.retornos) rets.push_back({{"titulo", U(r.titulo)}, {"valor_formatado", U(r.valor_formatado)}});
        PrintJson({{"retorno_formatado", U(c.retorno_formatado)}, {"retornos", rets}});
    } else {
        PrintOut(Lines(c.retorno_formatado) + "\n");
    }
    return 0;
}


int RunRun(const std::string& file, const std::string& command, const std::vector<std::string>& sets,
           const RunOptions& o) {
    Comando c = FindCommand(LoadCatalogFile(file), command);
    ApplySets(c, sets);
    Settings& s = *EngineEnv().settings;
    int extended = s.ExtendedReturn;
    LoadDirectorySettings(s, o);
    s.ExtendedReturn = extended;
    // Parameters without a --set value are asked for through the same editors as in the
    // parameter form; running out of input cancels before anything is sent.
    if (o.ask && AskParameters(c, sets) != 0) {
        PrintErr(Str(IDS_COMANDO_ANULADO) + "\n");
        return -kExecCancelado;
    }
    int32_t result = c.Executar();
    if (o.json) {
        json params = json::array();
        for (const Parametro& p : c.parametros) params.push_back({{"titulo", U(p.titulo)}, {"valor", U(p.valor)}});
        json rets = json::array();
        for (const Retorno& r : c.retornos) rets.push_back({{"titulo", U(r.titulo)}, {"valor_formatado", U(r.valor_formatado)}});
        PrintJson({{"result", result},
                   {"retorno_formatado", U(c.retorno_formatado)},
                   {"reason", U(c.motivo)},
                   {"dump", U(c.dump)},
                   {"parametros", params},
                   {"retornos", rets}});
    } else {
        PrintOut(Lines(c.retorno_formatado) + "\n");
        if (o.dump) PrintOut(Lines(c.dump) + "\n");
    }
    return -result;
}

ListaSequencias LoadSequenceFile(const std::string& given) {
    const std::string file = DataFile(given);
    struct stat st;
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(file.c_str(), R_OK) != 0)
        throw Failure{kExitNoInput, "cannot read " + file + ": " + std::strerror(errno ? errno : ENOENT)};
    ListaSequencias list;
    std::string error;
    if (list.Carregar(file, &error) != 0) throw Failure{kExitNoInput, "not a sequence file: " + U(error)};
    return list;
}

// NAME is the exact title (trailing spaces included) or a 0-based position.
const SequenciaComandos& FindSequence(const ListaSequencias& list, const std::string& wanted_utf8) {
    std::string wanted = Utf8ToCp1252(wanted_utf8);
    for (const SequenciaComandos& s : list.sequencias)
        if (s.titulo == wanted) return s;
    bool digits = !wanted.empty() && wanted.find_first_not_of("0123456789") == std::string::npos;
    if (digits && wanted.size() < 10) {
        size_t index = std::stoul(wanted);
        if (index < list.sequencias.size()) return list.sequencias[index];
    }
    throw Failure{kExitUsage, "no sequence \"" + wanted_utf8 + "\" in the file (" +
                                  std::to_string(list.sequencias.size()) + " sequences)"};
}

struct SequenceOptions {
    std::string name;
    std::string file;
    int runs = -1, delay = -1, stop_on_error = -1, pause_on_error = -1;
    bool step = false, yes = false, dump = false, json = false;
};

std::string SequenceFile(const SequenceOptions& so, const RunOptions& o) {
    if (!so.file.empty()) return so.file;
    LoadDirectorySettings(*EngineEnv().settings, o);
    return SequenceFileForCountry(*EngineEnv().settings);
}

int RunSequenceList(const SequenceOptions& so, const RunOptions& o) {
    ListaSequencias list = LoadSequenceFile(SequenceFile(so, o));
    if (so.json) {
        json titles = json::array();
        for (const SequenciaComandos& s : list.sequencias) titles.push_back(U(s.titulo));
        PrintJson(titles);
    } else {
        for (const SequenciaComandos& s : list.sequencias) PrintOut(s.titulo + "\n");
    }
    return 0;
}

int RunSequenceShow(const SequenceOptions& so, const RunOptions& o) {
    ListaSequencias list = LoadSequenceFile(SequenceFile(so, o));
    const SequenciaComandos& s = FindSequence(list, so.name);
    if (so.json) {
        json all = json::array();
        for (const Comando& c : s.comandos) all.push_back(CommandJson(c));
        PrintJson(all);
    } else {
        PrintOut(Listing(s.comandos));
    }
    return 0;
}

int RunSequenceRun(const SequenceOptions& so, const RunOptions& o, TerminalUserInterface& ui) {
    std::string file = SequenceFile(so, o);
    Settings& s = *EngineEnv().settings;
    int extended = s.ExtendedReturn;
    LoadDirectorySettings(s, o);
    s.ExtendedReturn = extended;
    ListaSequencias list = LoadSequenceFile(file);
    const SequenciaComandos& seq = FindSequence(list, so.name);
    ExecucaoRepetida options;
    options.runs = so.runs >= 0 ? so.runs : s.LoopSequences;
    options.delay_seconds = so.delay >= 0 ? so.delay : s.DelayBetweenCommands;
    options.stop_on_error = so.stop_on_error >= 0 ? so.stop_on_error : s.StopOnError;
    options.pause_on_error = so.pause_on_error >= 0 ? so.pause_on_error : s.PauseOnError;
    options.step_by_step = so.step ? 1 : 0;
    ui.assume_yes = so.yes;
    // Each command's result is printed by the live result window as it ends.
    ui.live_results = true;
    std::string collected, dumps;
    int32_t result = ExecutarRepetido(seq, options, collected, dumps);
    ui.live_results = false;
    PrintOut((result != 0 ? TextoErroSequencia(result) : std::string()) + "\n");
    if (so.dump) PrintOut(Lines(dumps) + "\n");
    if (result == -1) {
        PrintErr("ordavo-cli: the sequence has no commands\n");
        return kExitDataError;
    }
    // A sequence ended by Ctrl-C between commands is cancelled like a command.
    if (result == -6) return -kExecCancelado;
    return -result;
}

int Main(int argc, char** argv, TerminalUserInterface& ui) {
    CLI::App app{"ordavo-cli: send fiscal printer commands from a command catalog, from the command line."};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("ordavo-cli ") + ORDAVO_VERSION);
    app.footer(
        "Texts are read and written as UTF-8 on the terminal and as Windows-1252 in files.\n"
        "Exit status: 0 success; 2, 3 parameter not filled / wrong size; 4 no answer or refused;\n"
        "5 cancelled (Ctrl-C); 64 usage error; 65 unusable content (a sequence without commands);\n"
        "66 file that cannot be read.");

    std::string file, command, answer;
    std::vector<std::string> sets;
    int extended = 1;
    bool as_json = false;
    RunOptions run;

    CLI::App* catalog = app.add_subcommand("catalog", "List the commands of a catalog file");
    catalog->add_option("FILE", file, "Catalog file (XML; default: the country's catalog in DIR)");
    catalog->add_option("--dir", run.dir, "Application directory (default: here)");
    catalog->add_flag("--json", as_json, "Print a JSON array, one object per command");

    auto add_command_args = [&](CLI::App* sub) {
        sub->add_option("FILE", file, "Catalog file (XML)")->required();
        sub->add_option("COMMAND", command, "0-based position in the catalog, or the exact title")->required();
        sub->add_option("--extended", extended, "1: ask for the extended answer (FS, return code); 0: plain (ESC)")
            ->check(CLI::Range(0, 1));
    };
    CLI::App* frame = app.add_subcommand("frame", "Print the frame a command would send, in hexadecimal");
    add_command_args(frame);
    frame->add_option("--set", sets, "N=VALUE: the value of parameter N (from 1)");

    CLI::App* decode = app.add_subcommand("decode", "Format a printer answer the way a command run shows it");
    add_command_args(decode);
    decode->add_option("--answer", answer, "The answer bytes in hexadecimal: ACK, data, status bytes")->required();
    decode->add_flag("--json", as_json, "Print JSON");

    CLI::App* runcmd = app.add_subcommand("run", "Send one command to the printer and print its answer");
    add_command_args(runcmd);
    runcmd->add_option("--set", sets, "N=VALUE: the value of parameter N (from 1)");
    runcmd->add_option("--port", run.port, "Port: a serial device or COM1: to COM8:, USB, SOCKET or FILE "
                                           "(default: the port of config_es.cfg in DIR)");
    runcmd->add_option("--dir", run.dir, "Application directory: config_es.cfg and the log folder (default: here)");
    runcmd->add_option("--host", run.host, "Peer of the SOCKET port: HOST or HOST:PORT");
    runcmd->add_option("--exchange-dir", run.exchange_dir, "Directory of the FILE port's exchange files");
    runcmd->add_flag("--ask", run.ask, "Ask on the terminal for the parameters without a --set value");
    runcmd->add_flag("--dump", run.dump, "Also print the bytes sent and received");
    runcmd->add_flag("--json", run.json, "Print JSON");

    SequenceOptions seq;
    CLI::App* sequence = app.add_subcommand("sequence", "List, show and run the sequences of a sequence file");
    sequence->require_subcommand(1);
    auto add_sequence_file = [&](CLI::App* sub) {
        sub->add_option("FILE", seq.file, "Sequence file (default: the country's file in DIR)");
        sub->add_option("--dir", run.dir, "Application directory (default: here)");
    };
    CLI::App* seq_list = sequence->add_subcommand("list", "One sequence title a line, in file order");
    add_sequence_file(seq_list);
    seq_list->add_flag("--json", seq.json, "Print a JSON array of titles");
    CLI::App* seq_show = sequence->add_subcommand("show", "The commands of one sequence");
    seq_show->add_option("NAME", seq.name, "Exact title, or 0-based position")->required();
    add_sequence_file(seq_show);
    seq_show->add_flag("--json", seq.json, "Print JSON, as catalog --json");
    CLI::App* seq_run = sequence->add_subcommand("run", "Run one sequence against the printer");
    seq_run->add_option("NAME", seq.name, "Exact title, or 0-based position")->required();
    add_sequence_file(seq_run);
    seq_run->add_option("--port", run.port, "Port (default: the port of config_es.cfg in DIR)");
    seq_run->add_option("--host", run.host, "Peer of the SOCKET port: HOST or HOST:PORT");
    seq_run->add_option("--exchange-dir", run.exchange_dir, "Directory of the FILE port's exchange files");
    seq_run->add_option("--runs", seq.runs, "Number of runs (default: the setting)")->check(CLI::Range(1, 999999));
    seq_run->add_option("--delay", seq.delay, "Seconds between commands (default: the setting)")
        ->check(CLI::Range(0, 99));
    seq_run->add_option("--stop-on-error", seq.stop_on_error, "1: stop at the first failing command")
        ->check(CLI::Range(0, 1));
    seq_run->add_option("--pause-on-error", seq.pause_on_error, "1: ask whether to go on after a failure")
        ->check(CLI::Range(0, 1));
    seq_run->add_flag("--step", seq.step, "Ask for confirmation after every command");
    seq_run->add_flag("--yes", seq.yes, "Answer OK to every question");
    seq_run->add_flag("--dump", seq.dump, "Also print the bytes sent and received");
    seq_run->add_option("--extended", extended, "1: extended answers (FS); 0: plain (ESC)")->check(CLI::Range(0, 1));

    // The jobs of the other subsystems, each in a file of its own.
    Dispatch modules;
    AddEquipmentCommands(app, modules);
    AddFiscalDownloadCommands(app, modules);
    AddFiscalReportCommands(app, modules);
    AddFiscalDiagnoseCommands(app, modules);
    AddPdf417Commands(app, modules);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? 0 : kExitUsage;
    }
    run.port_given = runcmd->count("--port") > 0 || seq_run->count("--port") > 0;
    EngineEnv().settings->ExtendedReturn = extended;

    try {
        if (*catalog) {
            // Without a file, the catalog the program loads at start for the country.
            if (file.empty()) {
                LoadDirectorySettings(*EngineEnv().settings, run);
                file = CatalogFileForCountry(*EngineEnv().settings);
            }
            return RunCatalog(file, as_json);
        }
        if (*frame) return RunFrame(file, command, sets);
        if (*decode) return RunDecode(file, command, answer, as_json);
        if (*runcmd) return RunRun(file, command, sets, run);
        if (*seq_list) return RunSequenceList(seq, run);
        if (*seq_show) return RunSequenceShow(seq, run);
        if (*seq_run) return RunSequenceRun(seq, run, ui);
        if (std::optional<int> status = modules.Run()) return *status;
    } catch (const Failure& f) {
        std::fprintf(stderr, "ordavo-cli: %s\n", f.message.c_str());
        return f.status;
    }
    return kExitUsage;
}

}  // namespace
}  // namespace ordavo::cli

int main(int argc, char** argv) {
    static ordavo::cli::TerminalUserInterface ui;
    static ordavo::cli::InterruptibleClock clock;
    ordavo::EngineEnv().ui = &ui;
    ordavo::EngineEnv().clock = &clock;
    ordavo::cli::InstallInterruptHandler();
    return ordavo::cli::Main(argc, argv, ui);
}
