// Inputs that are large or hostile must cost time in proportion to their size: each case runs
// at a size and at twice that size, and the ratio of the two times (printed at the end, and by
// Google Benchmark's complexity fit) should stay near 2, not 4.
//
//   - the command line's output of a long answer text (CR LF to LF over the whole text);
//   - "config_es.cfg" of several megabytes;
//   - a sequence file whose one sequence holds tens of thousands of commands;
//   - a catalog whose one element carries tens of thousands of attributes;
//   - a catalog whose internal DTD repeats a large entity (refused before it is expanded).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "engine/catalog.h"
#include "engine/util.h"
#include "sequences/core/sequencia.h"
#include "shell/core/settings.h"
#include "tests/support/paths.h"

namespace {

using namespace ordavo;

std::map<std::string, std::map<int64_t, double>> g_seconds;

void Record(benchmark::State& state, const std::string& name, double seconds) {
    g_seconds[name][state.range(0)] = seconds / static_cast<double>(state.iterations());
    state.SetComplexityN(state.range(0));
}

template <typename Fn>
void Timed(benchmark::State& state, const std::string& name, Fn fn) {
    double total = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        fn();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    Record(state, name, total);
}

void WriteOrDie(const std::string& path, const std::string& text) {
    if (!WriteFileAtomically(path, text)) std::abort();
}

// An answer text of `n` lines, as a status-first answer of a long report arrives.
void BM_AnswerTextLineEnds(benchmark::State& state) {
    std::string text;
    for (int64_t i = 0; i < state.range(0); ++i) text += "LINEA DE REPORTE 0123456789\r\n";
    Timed(state, "answer text CR LF -> LF", [&] {
        std::string copy = text;
        ReplaceAll(copy, "\r\n", "\n");
        benchmark::DoNotOptimize(copy.data());
    });
}
BENCHMARK(BM_AnswerTextLineEnds)->Arg(1 << 17)->Arg(1 << 18)->Unit(benchmark::kMillisecond)->Complexity();

void BM_ConfigurationFile(benchmark::State& state) {
    test::TempDir dir;
    std::string text;
    for (int64_t i = 0; i < state.range(0); ++i) text += "Puerto           : COM1:\r\n";
    WriteOrDie(dir.File("config_es.cfg"), text);
    Timed(state, "config_es.cfg", [&] {
        Settings s;
        LoadConfiguration(s, dir.File("config_es.cfg"));
        benchmark::DoNotOptimize(s.PortName.data());
    });
}
BENCHMARK(BM_ConfigurationFile)->Arg(1 << 17)->Arg(1 << 18)->Unit(benchmark::kMillisecond)->Complexity();

void BM_SequenceOfManyCommands(benchmark::State& state) {
    test::TempDir dir;
    std::string text = "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n<sequencias><sequencia>\n<titulo>LARGA</titulo>";
    for (int64_t i = 0; i < state.range(0); ++i)
        text += "\n<cmd><tipo>T</tipo><titulo>C</titulo><escape>35 23</escape><tamanho_retorno>0</tamanho_retorno></cmd>";
    text += "\n</sequencia></sequencias>\n";
    WriteOrDie(dir.File("s.xml"), text);
    Timed(state, "sequence file commands", [&] {
        ListaSequencias list;
        if (list.Carregar(dir.File("s.xml")) != 0 || list.sequencias[0].comandos.size() != size_t(state.range(0)))
            state.SkipWithError("the sequence file did not load");
    });
}
BENCHMARK(BM_SequenceOfManyCommands)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_ElementWithManyAttributes(benchmark::State& state) {
    test::TempDir dir;
    std::string text = "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n<comandos><cmd";
    for (int64_t i = 0; i < state.range(0); ++i) text += " a" + std::to_string(i) + "=\"1\"";
    text += "><tipo>T</tipo><titulo>C</titulo><escape>35 23</escape></cmd></comandos>\n";
    WriteOrDie(dir.File("c.xml"), text);
    Timed(state, "catalog element attributes", [&] {
        std::vector<Comando> list;
        CarregarArquivoCatalogo(dir.File("c.xml"), list);
        benchmark::DoNotOptimize(list.data());
    });
}
BENCHMARK(BM_ElementWithManyAttributes)->Arg(25000)->Arg(50000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_RepeatedEntity(benchmark::State& state) {
    test::TempDir dir;
    std::string text = "<?xml version=\"1.0\"?>\n<!DOCTYPE comandos [<!ENTITY e \"" + std::string(100000, 'X') +
                       "\">]>\n<comandos><cmd><tipo>T</tipo><titulo>";
    for (int64_t i = 0; i < state.range(0); ++i) text += "&e;";
    text += "</titulo></cmd></comandos>\n";
    WriteOrDie(dir.File("e.xml"), text);
    Timed(state, "catalog with a repeated entity", [&] {
        std::vector<Comando> list;
        std::string error;
        if (CarregarArquivoCatalogo(dir.File("e.xml"), list, &error) == 0) state.SkipWithError("loaded");
    });
}
BENCHMARK(BM_RepeatedEntity)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\n%-34s %12s %12s %7s\n", "input", "size n (s)", "size 2n (s)", "ratio");
    for (const auto& [name, by_size] : g_seconds) {
        if (by_size.size() != 2) continue;
        double a = by_size.begin()->second, b = by_size.rbegin()->second;
        std::printf("%-34s %12.4f %12.4f %7.2f\n", name.c_str(), a, b, a > 0 ? b / a : 0.0);
    }
    return 0;
}
