// Engine throughput on a large generated catalog: 5,000 commands with 6 parameters and 6 return
// fields each. Goals: loading under 150 ms; encoding plus formatting under 20 us per command.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/catalog.h"
#include "engine/comando.h"
#include "engine/env.h"

namespace {

using namespace ordavo;

constexpr int kCommands = 5000;

struct ParamModel {
    const char* formato;
    int tamanho;
    const char* valor;
};
struct FieldModel {
    const char* formato;
    int tamanho;
};

// A mix of the common parameter and return types, cycled through the commands.
constexpr ParamModel kParams[] = {
    {"INTEGER", 4, "1234"},     {"STRING", 20, "Descripci\xF3n art\xED" "culo"}, {"FINANCE", 11, "12,50"},
    {"DATA", 6, "15/03/09"},    {"DIG_HEX", 2, "1BFF"},                        {"STRING_VAR_SIZE", 40, "Linea de texto"},
    {"HORA", 6, "080000"},      {"BIG_STRING", 30, "Uno\r\nDos"},              {"BINARIO", 1, "7"},
    {"CHEQUE_POS", 2, "0512"},  {"FECHA_CUPOM", 10, "ABC"},                    {"CLICHE", 48, "CLICHE_ENF_INI_XMLTiendaCLICHE_ENF_END_XML"},
};
constexpr FieldModel kFields[] = {
    {"ASCII", 15},       {"BCD_INTEGER", 2},         {"BCD_FINANCE", 7},  {"BCD_DATA", 3},
    {"BCD_HORA", 3},     {"ASCII_FLAGS_FISCAIS", 1}, {"STATUS_PAPEL", 2}, {"BCD_PERCENTAGE", 2},
    {"FLAG_CORTE", 1},   {"ASCII_FLAG_VINC_ISS", 2}, {"INTEGER", 1},      {"BCD_FLAG_INT_TEC", 1},
};

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '\r': out += "&#13;"; break;
            default: out.push_back(c);
        }
    }
    return out;
}

std::string GenerateCatalog() {
    std::string xml = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<comandos>\r\n";
    char buf[64];
    for (int i = 0; i < kCommands; ++i) {
        int data = 0;
        std::string fields;
        for (int f = 0; f < 6; ++f) {
            const FieldModel& s = kFields[(i + f * 5) % std::size(kFields)];
            data += s.tamanho;
            std::snprintf(buf, sizeof buf, "%d", s.tamanho);
            fields += "    <retorno>\r\n      <titulo>Campo " + std::to_string(f + 1) + "</titulo>\r\n      <tamanho>" +
                      buf + "</tamanho>\r\n      <formato>" + s.formato + "</formato>\r\n    </retorno>\r\n";
        }
        xml += "  <cmd>\r\n    <tipo>Grupo " + std::to_string(i % 40) + "</tipo>\r\n";
        xml += "    <equipamentos_hab>255</equipamentos_hab>\r\n";
        xml += "    <titulo>Comando de prueba " + std::to_string(i) + "</titulo>\r\n";
        xml += "    <escape>" + std::to_string(35 + i % 20) + " " + std::to_string(i % 256) + "</escape>\r\n";
        xml += "    <tamanho_retorno>" + std::to_string(data) + "</tamanho_retorno>\r\n";
        for (int p = 0; p < 6; ++p) {
            const ParamModel& s = kParams[(i + p * 7) % std::size(kParams)];
            xml += "    <parametro>\r\n      <titulo>Par\xE1metro " + std::to_string(p + 1) + "</titulo>\r\n";
            xml += "      <tamanho>" + std::to_string(s.tamanho) + "</tamanho>\r\n";
            xml += std::string("      <formato>") + s.formato + "</formato>\r\n";
            xml += "      <obrigatorio>S</obrigatorio>\r\n";
            xml += "      <valor>" + Escape(s.valor) + "</valor>\r\n    </parametro>\r\n";
        }
        xml += fields;
        xml += "  </cmd>\r\n";
    }
    xml += "</comandos>\r\n";
    return xml;
}

// The generated file, written once per process and removed at exit.
struct CatalogFile {
    std::string path;
    std::vector<Comando> commands;
    std::vector<std::vector<uint8_t>> answers;

    CatalogFile() {
        char tmpl[] = "/tmp/ordavo-bench-XXXXXX.xml";
        int fd = mkstemps(tmpl, 4);
        if (fd < 0) throw std::runtime_error("cannot create the catalog file");
        close(fd);
        path = tmpl;
        std::ofstream(path, std::ios::binary) << GenerateCatalog();
        std::string error;
        if (CarregarArquivoCatalogo(path, commands, &error) != 0 || commands.size() != kCommands) {
            throw std::runtime_error("generated catalog did not load: " + error);
        }
        // ACK, the data bytes of the fields (BCD-looking values), ST1, ST2, ST3 low and high.
        for (const Comando& c : commands) {
            std::vector<uint8_t> a{0x06};
            for (int32_t i = 0; i < c.TamanhoDados(); ++i) a.push_back(static_cast<uint8_t>(0x10 + i % 0x60));
            a.insert(a.end(), {0x00, 0x00, 0x00, 0x00});
            answers.push_back(std::move(a));
        }
    }
    ~CatalogFile() { std::remove(path.c_str()); }
};

CatalogFile& Catalog() {
    static CatalogFile file;
    return file;
}

// What the sender writes before the parameters: header room, prefix, escape bytes.
void WriteHeader(Comando& c) {
    c.quadro.Reset(3);
    c.quadro.Append(uint8_t{0x1C});
    c.tamanho_status = 5;
    c.tamanho_retorno += c.tamanho_status;
    c.quadro.Append(c.bytes_escape, c.n_bytes_escape);
}

void BM_LoadCatalog(benchmark::State& state) {
    const std::string& path = Catalog().path;
    for (auto _ : state) {
        std::vector<Comando> list;
        if (CarregarArquivoCatalogo(path, list) != 0) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(list.data());
    }
}
BENCHMARK(BM_LoadCatalog)->Unit(benchmark::kMillisecond);

void BM_Encode(benchmark::State& state) {
    const auto& commands = Catalog().commands;
    for (auto _ : state) {
        for (const Comando& original : commands) {
            Comando c = original;
            WriteHeader(c);
            if (c.CodificarParametros() != 0) state.SkipWithError("encoding failed");
            benchmark::DoNotOptimize(c.quadro.length);
        }
    }
    state.SetItemsProcessed(state.iterations() * commands.size());
}
BENCHMARK(BM_Encode)->Unit(benchmark::kMillisecond);

void BM_Format(benchmark::State& state) {
    EngineEnv().settings->ExtendedReturn = 1;
    const auto& commands = Catalog().commands;
    const auto& answers = Catalog().answers;
    for (auto _ : state) {
        for (size_t i = 0; i < commands.size(); ++i) {
            Comando c = commands[i];
            c.resposta = answers[i];
            c.FormatarRetorno();
            benchmark::DoNotOptimize(c.retorno_formatado.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * commands.size());
}
BENCHMARK(BM_Format)->Unit(benchmark::kMillisecond);

// One command as Executar handles it, without the transport: a copy, its frame, its answer.
void BM_EncodeAndFormatPerCommand(benchmark::State& state) {
    EngineEnv().settings->ExtendedReturn = 1;
    const auto& commands = Catalog().commands;
    const auto& answers = Catalog().answers;
    for (auto _ : state) {
        for (size_t i = 0; i < commands.size(); ++i) {
            Comando c = commands[i];
            WriteHeader(c);
            if (c.CodificarParametros() != 0) state.SkipWithError("encoding failed");
            c.resposta = answers[i];
            c.FormatarRetorno();
            benchmark::DoNotOptimize(c.retorno_formatado.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * commands.size());
    state.counters["time_per_command"] = benchmark::Counter(
        static_cast<double>(state.iterations() * commands.size()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::OneK::kIs1000);
}
BENCHMARK(BM_EncodeAndFormatPerCommand)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
