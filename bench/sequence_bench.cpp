// Command sequences: the runner's own cost per command beyond Comando::Executar (a sequence of
// 1,000 commands against the unpaced printer simulator, against the same commands run one by
// one), and saving and loading a sequence file of 200 sequences of 50 commands.
//
// Goals: runner overhead under 1 ms per command; save and load under 200 ms each.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>

#include "engine/catalog.h"
#include "engine/env.h"
#include "sequences/core/sequencia.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

namespace {

using namespace ordavo;
using Steady = std::chrono::steady_clock;

std::vector<Comando> ReadingCommands() {
    std::vector<Comando> list;
    CarregarArquivoCatalogo(test::CatalogDir() + "/comandos_vn.xml", list);
    std::vector<Comando> readings;
    for (const Comando& c : list)
        if (c.tipo == "Lecturas" && c.tamanho_retorno >= 0 && c.tamanho_retorno <= 40) readings.push_back(c);
    return readings;
}

void BM_RunnerOverheadPerCommand(benchmark::State& state) {
    test::Simulator sim;
    if (!sim.ok()) {
        state.SkipWithError("the printer simulator did not start");
        return;
    }
    ResetEngineEnv();
    test::TempDir app;  // the daily log of the run goes here and is removed afterwards
    Settings settings;
    settings.PortName = sim.path();
    settings.AppDirectory = app.path();
    EngineEnv().settings = &settings;
    std::vector<Comando> readings = ReadingCommands();
    SequenciaComandos seq;
    for (int i = 0; i < 1000; ++i) seq.comandos.push_back(readings[static_cast<size_t>(i) % readings.size()]);

    double overhead_ms = 0, per_command_ms = 0;
    for (auto _ : state) {
        Steady::time_point t0 = Steady::now();
        int32_t r = seq.ExecutarSequencia(1, 0);
        double sequence_ms = std::chrono::duration<double, std::milli>(Steady::now() - t0).count();
        if (r != 0) state.SkipWithError("the sequence failed");
        t0 = Steady::now();
        for (const Comando& original : seq.comandos) {
            Comando c = original;
            if (c.Executar() != 0) state.SkipWithError("a command failed");
        }
        double plain_ms = std::chrono::duration<double, std::milli>(Steady::now() - t0).count();
        overhead_ms = (sequence_ms - plain_ms) / 1000.0;
        per_command_ms = plain_ms / 1000.0;
    }
    state.counters["runner_overhead_ms_per_command"] = overhead_ms;
    state.counters["executar_ms_per_command"] = per_command_ms;
    ResetEngineEnv();
}
BENCHMARK(BM_RunnerOverheadPerCommand)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

ListaSequencias LargeList() {
    std::vector<Comando> readings = ReadingCommands();
    std::vector<Comando> all;
    CarregarArquivoCatalogo(test::CatalogDir() + "/comandos_vn.xml", all);
    ListaSequencias list;
    for (int s = 0; s < 200; ++s) {
        SequenciaComandos seq;
        seq.titulo = "SECUENCIA " + std::to_string(s);
        for (int k = 0; k < 50; ++k) seq.comandos.push_back(all[static_cast<size_t>(s * 7 + k) % all.size()]);
        list.sequencias.push_back(std::move(seq));
    }
    return list;
}

void BM_SaveSequenceFile(benchmark::State& state) {
    ListaSequencias list = LargeList();
    test::TempDir dir;
    for (auto _ : state)
        if (list.Salvar(dir.File("secuencia_rd.xml")) != 0) state.SkipWithError("save failed");
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(dir.File("secuencia_rd.xml")));
}
BENCHMARK(BM_SaveSequenceFile)->Unit(benchmark::kMillisecond);

void BM_LoadSequenceFile(benchmark::State& state) {
    test::TempDir dir;
    LargeList().Salvar(dir.File("secuencia_rd.xml"));
    for (auto _ : state) {
        ListaSequencias list;
        if (list.Carregar(dir.File("secuencia_rd.xml")) != 0 || list.Count() != 200) state.SkipWithError("load failed");
    }
}
BENCHMARK(BM_LoadSequenceFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
