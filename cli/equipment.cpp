// ordavo-cli equipment: the configuration store "equipamentos.xml" of an application directory
// (list, show, import, delete), reading a printer's configuration, and programming a saved one.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <fstream>
#include <memory>
#include <sstream>

#include "cli/common.h"
#include "cli/terminal_ui.h"
#include "engine/codepage.h"
#include "engine/env.h"
#include "engine/util.h"
#include "params/core/value_editors.h"
#include "programming/core/browse.h"
#include "programming/core/equipment.h"
#include "programming/core/equipment_json.h"
#include "programming/core/programming.h"

namespace ordavo::cli {
namespace {

struct EquipmentOptions {
    std::string serial;
    std::string file;
    std::string password = kDefaultPassword;
    std::string model;
    bool replace = false;
};

void PrintOrdered(const nlohmann::ordered_json& j) {
    std::string text = j.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
}

// The document class reports a file it cannot parse on standard output; what it says goes to
// standard error here, so that the output stays what was asked for.
class StdoutToStderr {
public:
    StdoutToStderr() {
        std::fflush(stdout);
        saved_ = ::dup(STDOUT_FILENO);
        if (saved_ >= 0) ::dup2(STDERR_FILENO, STDOUT_FILENO);
    }
    ~StdoutToStderr() {
        std::fflush(stdout);
        if (saved_ >= 0) {
            ::dup2(saved_, STDOUT_FILENO);
            ::close(saved_);
        }
    }

private:
    int saved_ = -1;
};

// The store of the directory, read; an unreadable file is reported and read as empty.
std::unique_ptr<ConfigurationsControl> OpenStore(const RunOptions& o) {
    LoadDirectorySettings(*EngineEnv().settings, o);
    auto store = std::make_unique<ConfigurationsControl>(EquipmentStorePath(EngineEnv().settings->AppDirectory));
    int read;
    {
        StdoutToStderr quiet;
        read = store->ReadEquipments();
    }
    if (read != 0 && ::access(store->File().c_str(), F_OK) == 0)
        PrintErr("warning: " + store->LastError() + " (read as an empty store; it is kept as .bak on the next write)\n");
    return store;
}

void Save(ConfigurationsControl& store) {
    if (store.WriteEquipments() != 0) throw Failure{1, U(textos::kRegistroNoSalvo) + ": " + U(store.LastError())};
    if (!store.Backup().empty()) PrintErr("the unreadable store was kept as " + store.Backup() + "\n");
}

const Equipment& FindRecord(const ConfigurationsControl& store, const std::string& serial_utf8) {
    const Equipment* e = LastOfSerial(store.records, Utf8ToCp1252(serial_utf8));
    if (!e) throw Failure{1, "no record with the serial number \"" + serial_utf8 + "\" in " + store.File()};
    return *e;
}

void PrintRecord(const Equipment& e, bool as_json) {
    if (as_json) return PrintOrdered(EquipmentToJson(e));
    for (const EquipmentField& f : EquipmentFields()) {
        std::string v = f.Get(e);
        ReplaceAll(v, "\r\n", "\\n");
        PrintOut(f.element + ": " + v + "\n");
    }
}

// ModelName and ModelMask as the settings dialog leaves them, or as the program starts.
void ApplyModel(const EquipmentOptions& eo) {
    Settings& s = *EngineEnv().settings;
    if (eo.model.empty()) {
        s.ModelMask = 255;
        return;
    }
    s.ModelName = PaddedModelName(Utf8ToCp1252(eo.model));
    s.ModelMask = ModelMaskFor(s.ModelName);
}

int RunList(const RunOptions& o) {
    auto opened = OpenStore(o);
    ConfigurationsControl& store = *opened;
    if (o.json) {
        json all = json::array();
        for (const Equipment& e : store.records)
            all.push_back({{"numero_de_serie", U(e.numero_de_serie)}, {"cliente", U(e.cliente)}});
        PrintJson(all);
    } else {
        for (const Equipment& e : store.records) PrintOut(e.numero_de_serie + "\t" + e.cliente + "\n");
    }
    return 0;
}

int RunShow(const EquipmentOptions& eo, const RunOptions& o) {
    auto opened = OpenStore(o);
    ConfigurationsControl& store = *opened;
    PrintRecord(FindRecord(store, eo.serial), o.json);
    return 0;
}

int RunImport(const EquipmentOptions& eo, const RunOptions& o) {
    std::string text;
    if (eo.file == "-") {
        std::stringstream in;
        in << std::cin.rdbuf();
        text = in.str();
    } else if (!ReadWholeFile(eo.file, text)) {
        throw Failure{kExitNoInput, "cannot read " + eo.file};
    }
    Equipment e;
    std::string error;
    if (!EquipmentFromJson(text, e, error)) throw Failure{kExitDataError, eo.file + ": " + error};
    if (e.numero_de_serie.empty())
        throw Failure{kExitDataError, eo.file + ": \"numero_de_serie\": a record is saved under its serial number"};
    auto opened = OpenStore(o);
    ConfigurationsControl& store = *opened;
    if (store.AddEquipment(e, eo.replace) == 1)
        throw Failure{1, U(textos::kRegistroNoSalvo) + ": the serial number " + U(e.numero_de_serie) +
                             " is already stored (--replace replaces it)"};
    Save(store);
    return 0;
}

int RunDelete(const EquipmentOptions& eo, const RunOptions& o) {
    auto opened = OpenStore(o);
    ConfigurationsControl& store = *opened;
    if (RemoveSerial(store.records, Utf8ToCp1252(eo.serial)) == 0)
        throw Failure{1, "no record with the serial number \"" + eo.serial + "\" in " + store.File()};
    store.count = static_cast<int>(store.records.size());
    Save(store);
    return 0;
}

int RunRead(const EquipmentOptions& eo, const RunOptions& o) {
    LoadDirectorySettings(*EngineEnv().settings, o);
    ApplyModel(eo);
    Equipment e;
    const int result = ReadPrinterConfiguration(e, EngineEnv().settings->ModelMask);
    PrintRecord(e, o.json);
    return -result;
}

int RunProgram(const EquipmentOptions& eo, const RunOptions& o) {
    std::string password = eo.password;
    for (char& c : password) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    // Hexadecimal digits only; a length other than 20 is the printer's business (the run says so).
    if (!std::all_of(password.begin(), password.end(), IsHexDigit))
        throw Failure{kExitDataError, "--password: expected 20 hexadecimal digits"};
    auto opened = OpenStore(o);
    ConfigurationsControl& store = *opened;
    Equipment e = FindRecord(store, eo.serial);
    ApplyModel(eo);
    e.senha = password;
    const Settings& s = *EngineEnv().settings;
    SequenciaComandos sequence = BuildProgrammingSequence(e, s.ModelMask, s.ModelName);
    const int32_t result = RunProgramming(sequence);
    PrintOut(Lines(sequence.resultado) + "\n");
    if (o.dump) PrintOut(Lines(sequence.dump_total) + "\n");
    return -result;
}

}  // namespace

void AddEquipmentCommands(CLI::App& app, Dispatch& d) {
    static EquipmentOptions eo;
    static RunOptions o;

    CLI::App* equipment = app.add_subcommand(
        "equipment", "Saved printer configurations (equipamentos.xml): list, show, import, delete; read a "
                     "printer's configuration; program a saved one");
    equipment->require_subcommand(1);
    auto add_dir = [](CLI::App* sub) {
        sub->add_option("--dir", o.dir, "Application directory: equipamentos.xml and config_es.cfg (default: here)");
    };
    auto add_model = [](CLI::App* sub) {
        sub->add_option("--model", eo.model,
                        "Printer model (as in the settings dialog); without it the model of config_es.cfg with "
                        "the start-up mask 255");
    };

    CLI::App* list = equipment->add_subcommand("list", "The saved records in file order: serial number and client");
    add_dir(list);
    list->add_flag("--json", o.json, "Print a JSON array");
    d.On(list, [] { return RunList(o); });

    CLI::App* show = equipment->add_subcommand("show", "One saved record (the last of that serial number)");
    show->add_option("SERIAL", eo.serial, "Serial number")->required();
    add_dir(show);
    show->add_flag("--json", o.json, "Print a JSON object whose keys are the file's element names");
    d.On(show, [] { return RunShow(eo, o); });

    CLI::App* import = equipment->add_subcommand("import", "Add a record given as a JSON object (as show --json)");
    import->add_option("FILE", eo.file, "JSON file, or - for standard input")->required();
    add_dir(import);
    import->add_flag("--replace", eo.replace, "Replace a record of the same serial number (it moves to the end)");
    d.On(import, [] { return RunImport(eo, o); });

    CLI::App* del = equipment->add_subcommand("delete", "Remove every record of a serial number");
    del->add_option("SERIAL", eo.serial, "Serial number")->required();
    add_dir(del);
    d.On(del, [] { return RunDelete(eo, o); });

    CLI::App* read = equipment->add_subcommand("read", "Read the configuration the printer holds");
    AddPortOptions(read, o);
    add_model(read);
    read->add_flag("--json", o.json, "Print a JSON object, as show --json");
    d.On(read, [read] {
        MarkPortGiven(read, o);
        return RunRead(eo, o);
    });

    CLI::App* program = equipment->add_subcommand(
        "program", "Program a saved record into the printer (technical intervention); prints the run's result");
    program->add_option("SERIAL", eo.serial, "Serial number of the saved record")->required();
    program->add_option("--password", eo.password, "The printer's password, 20 hexadecimal digits (default: " +
                                                       std::string(kDefaultPassword) + ")");
    AddPortOptions(program, o);
    add_model(program);
    program->add_flag("--dump", o.dump, "Also print the bytes sent and received");
    d.On(program, [program] {
        MarkPortGiven(program, o);
        return RunProgram(eo, o);
    });
}

}  // namespace ordavo::cli
