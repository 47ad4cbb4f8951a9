// Command sequences: a named, ordered list of filled commands, the file that holds a list of
// them, and the runner that sends one sequence to the printer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/comando.h"
#include "shell/core/settings.h"

namespace ordavo {

class SequenciaComandos {
public:
    int32_t passo_a_passo = 0;  // 1: ask for confirmation after every command of a run
    int32_t espera_ms = 0;      // pause after every command of a run
    std::string titulo;
    std::string dump_total;  // dumps of the commands of the last run, joined
    std::string resultado;   // result text of the last run
    std::vector<Comando> comandos;

    int32_t NumeroComandos() const { return static_cast<int32_t>(comandos.size()); }

    // Inserts a copy of `c` before `position` (0..count) and answers 0, or appends it for -1
    // and answers -1; any other position is refused with -1 and nothing changes.
    int32_t InserirComando(const Comando& c, int32_t position);
    // Removes the entry at `index` and answers 0; -1 (nothing changed) for an index out of range.
    int32_t RemoverComando(int32_t index);

    // Runs the sequence once: 0; -1 for a sequence without commands; -6 when the user cancelled
    // in the progress window; otherwise the result of the command at which the run ended.
    int32_t ExecutarSequencia(int stop_on_error, int pause_on_error);
};

// The contents of one sequence file.
class ListaSequencias {
public:
    std::vector<SequenciaComandos> sequencias;

    int32_t Count() const { return static_cast<int32_t>(sequencias.size()); }
    // Writes the whole list to `path`, replacing the file only once the new one is complete:
    // 0, or -1 (the old file untouched).
    int32_t Salvar(const std::string& path) const;
    // Reads `path` into the (emptied) list: 0, or -1 with an empty list when it cannot be parsed.
    int32_t Carregar(const std::string& path, std::string* error = nullptr);
};

// "<AppDirectory>/XML/secuencia_pa.xml" for PANAMA, "<AppDirectory>/secuencia_rd.xml" otherwise;
// the installed file of that name when the application directory has none.
std::string SequenceFileForCountry(const Settings& s);

// The error text that the sequence window appends for a run's non-zero result.
std::string TextoErroSequencia(int32_t code);

// The sequence window's "Ejecutar": runs a copy of `working` up to `runs` times (at least once),
// stopping after the first run that returns non-zero. The collected result texts (with the error
// text of a failing run) go to `collected`, the joined dumps to `dumps`. Returns the result of
// the last run made.
struct ExecucaoRepetida {
    int32_t runs = 1;
    int32_t delay_seconds = 0;
    int step_by_step = 0;
    int stop_on_error = 1;
    int pause_on_error = 0;
};
int32_t ExecutarRepetido(const SequenciaComandos& working, const ExecucaoRepetida& options, std::string& collected,
                         std::string& dumps, int32_t* runs_made = nullptr);

}  // namespace ordavo
