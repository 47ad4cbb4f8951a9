// `ordavo-cli run` against the printer simulator over a pseudo-terminal: every sample command,
// and the ways an exchange can end (refused, silent, cancelled, never-ending).
#include <gtest/gtest.h>
#include <signal.h>

#include <ctime>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "engine/catalog.h"
#include "engine/codepage.h"
#include "engine/util.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

namespace ordavo {
namespace {

using nlohmann::json;

std::string Cli() { return test::ProgramPath("ordavo-cli"); }
std::string Vn() { return test::CatalogDir() + "/comandos_vn.xml"; }

// A value that the encoder accepts for a parameter of this type and size, as a person would
// type it (UTF-8 on the command line).
std::string SampleValue(const Parametro& p) {
    const std::string& f = p.formato;
    int n = p.tamanho > 0 ? p.tamanho : 1;
    auto digits = [&](int count) { return std::string(static_cast<size_t>(std::max(count - 1, 0)), '0') + "1"; };
    if (f == "INTEGER" || f == "FINANCE" || f == "FINANCE_3" || f == "PERCENTAGE" || f == "BCD_INTEGER")
        return digits(std::min(n, 4));
    if (f == "BINARIO") return "1";
    if (f == "STRING" || f == "BIG_STRING") return std::string("PRUEBA").substr(0, static_cast<size_t>(n));
    if (f == "DATA") return "150309";
    if (f == "DATA_2_2_4") return "15032009";
    if (f == "HORA") return "102030";
    if (f == "FECHA_CUPOM" || f == "AC_OU_DESC_SUB") return std::string("D1000").substr(0, static_cast<size_t>(n));
    if (f == "AC_OU_DESC_ITEM") return std::string("D00100001000").substr(0, static_cast<size_t>(n));
    if (f == "DESCR_FORMA_PAGAMENTO") return std::string("Efectivo        1").substr(0, static_cast<size_t>(n));
    if (f == "DESCR_FORMA_PAGAMENTO_MP_20") return std::string("Efectivo        ").substr(0, static_cast<size_t>(n));
    if (f == "IMPR_FITA_DETALHE") return std::string("D150309160309").substr(0, static_cast<size_t>(n));
    if (f == "LEIT_MEM_FISCAL") return std::string("150309160309I").substr(0, static_cast<size_t>(n));
    if (f == "LEIT_DADOS_MEM_FISCAL") return "MF";
    if (f == "CHEQUE_POS") {
        std::string v;
        for (int i = 0; i < n; ++i) v += "01";
        return v;
    }
    if (f == "DIG_HEX") {
        std::string v;
        for (int i = 0; i < n; ++i) v += "30";
        return v;
    }
    if (f == "CAR_GRAF_AUTENTICACAO") return "804020100804020102040810204080808080";
    if (f == "TROCA_SIT_TRIB") return "02" "1600" "0800" + std::string(56, '0');
    if (f == "CUPOM_OU_BILHETE_CONV_156") return "c";
    if (f == "VINC_ISS") return std::string(static_cast<size_t>(n), '0');
    if (f == "OPTIONS") {
        size_t open = p.titulo.find('('), close = p.titulo.find(')');
        if (open != std::string::npos && close != std::string::npos && close > open + 1)
            return p.titulo.substr(open + 1, close - open - 1);
        return std::string(static_cast<size_t>(n), '0');
    }
    return "PRUEBA";  // the variable-size texts, discounts, clichés, tickets
}

test::RunResult RunCli(const test::Simulator& sim, const std::string& dir, const std::string& command,
                    std::vector<std::string> extra = {}, int timeout_ms = 120000) {
    std::vector<std::string> args = {"run", Vn(), command, "--port", sim.path(), "--dir", dir, "--json"};
    args.insert(args.end(), extra.begin(), extra.end());
    return test::RunProgram(Cli(), args, timeout_ms);
}

TEST(Run, EveryVenezuelanCommandIsAnswered) {
    test::Simulator sim;
    ASSERT_TRUE(sim.ok()) << sim.process().Errors();
    test::TempDir dir;
    std::vector<Comando> list;
    ASSERT_EQ(CarregarArquivoCatalogo(Vn(), list), 0);
    ASSERT_GT(list.size(), 20u);
    for (size_t i = 0; i < list.size(); ++i) {
        const Comando& c = list[i];
        if (c.tipo == "TESTE" && c.escape == "-5") continue;  // switches the port away
        std::vector<std::string> sets;
        for (size_t k = 0; k < c.parametros.size(); ++k) {
            if (!c.parametros[k].valor.empty()) continue;
            sets.push_back("--set");
            sets.push_back(std::to_string(k + 1) + "=" + SampleValue(c.parametros[k]));
        }
        test::RunResult r = RunCli(sim, dir.path(), std::to_string(i), sets);
        SCOPED_TRACE(Cp1252ToUtf8(c.titulo) + " (" + c.escape + ")");
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        json j = json::parse(r.out);
        EXPECT_EQ(j["result"], 0);
        std::string text = j["retorno_formatado"];
        EXPECT_EQ(text.find("Error al enviar comando"), std::string::npos) << text;
        EXPECT_EQ(text.find("COMANDO NO RECIBIDO"), std::string::npos) << text;
        EXPECT_EQ(text.find("COMANDO INEXISTENTE"), std::string::npos) << text;
        if (c.tipo != "TESTE") {
            EXPECT_NE(std::string(j["dump"]).find("RET:"), std::string::npos);
        }
    }
    // Every exchange left a record in the day's log.
    char name[64];
    std::time_t now = std::time(nullptr);
    std::strftime(name, sizeof name, "/log/Log_%Y_%m_%d.txt", std::localtime(&now));
    std::string log;
    ASSERT_TRUE(ReadWholeFile(dir.path() + name, log)) << dir.path() + name;
    EXPECT_NE(log.find("Retorno formatado:"), std::string::npos);
}

TEST(Run, ReadsTheClockThroughThePortOfTheSettingsFile) {
    test::Simulator sim;
    ASSERT_TRUE(sim.ok());
    test::TempDir dir;
    ASSERT_TRUE(WriteFileAtomically(dir.File("config_es.cfg"), "Puerto Serial    : " + sim.path() + "\r\n"));
    std::vector<Comando> list;
    ASSERT_EQ(CarregarArquivoCatalogo(Vn(), list), 0);
    int clock = -1;
    for (size_t i = 0; i < list.size() && clock < 0; ++i)
        if (list[i].escape == "35 23") clock = static_cast<int>(i);
    ASSERT_GE(clock, 0);
    test::RunResult r = test::RunProgram(Cli(), {"run", Vn(), std::to_string(clock), "--dir", dir.path(), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    json j = json::parse(r.out);
    EXPECT_EQ(std::string(j["dump"]).rfind("CMD:  02 05 00 1C 23 17 56 00\r\nRET:  06", 0), 0u) << j["dump"];
    std::string text = j["retorno_formatado"];
    EXPECT_NE(text.find("Fecha: "), std::string::npos) << text;
    EXPECT_NE(text.find("Hora: "), std::string::npos) << text;
    EXPECT_EQ(std::string(j["retornos"][0]["valor_formatado"]).size(), 6u);

    // Plain answers (ESC) when asked.
    r = test::RunProgram(Cli(), {"run", Vn(), std::to_string(clock), "--dir", dir.path(), "--extended", "0",
                                 "--dump"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("CMD:  02 05 00 1B 23 17 55 00"), std::string::npos) << r.out;
}

// The index of the first command of the Venezuelan catalog with this answer length.
int CommandWithLength(int length) {
    std::vector<Comando> list;
    EXPECT_EQ(CarregarArquivoCatalogo(Vn(), list), 0);
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].tamanho_retorno == length && list[i].tipo != "TESTE" && list[i].tipo != "GPRS") {
            bool filled = true;
            for (const Parametro& p : list[i].parametros) filled &= !(p.obrigatorio && p.valor.empty());
            if (filled) return static_cast<int>(i);
        }
    return -1;
}

TEST(Run, RefusedAndCancelled) {
    test::TempDir dir;
    int fixed = CommandWithLength(0);
    ASSERT_GE(fixed, 0);
    {
        test::Simulator sim({"--nak"});
        ASSERT_TRUE(sim.ok());
        test::RunResult r = RunCli(sim, dir.path(), std::to_string(fixed));
        EXPECT_EQ(r.status, 4) << r.err;
        EXPECT_NE(std::string(json::parse(r.out)["retorno_formatado"]).find("COMANDO NO RECIBIDO"), std::string::npos);
    }
    {
        // A slow printer: Ctrl-C cancels, drains the port and ends with 5.
        test::Simulator sim({"--slow", "400"});
        ASSERT_TRUE(sim.ok());
        test::BackgroundProcess cli(Cli(), {"run", Vn(), std::to_string(fixed), "--port", sim.path(), "--dir",
                                            dir.path()});
        usleep(700 * 1000);
        cli.Signal(SIGINT);
        EXPECT_EQ(cli.Wait(20000), 5);
    }
    int status_first = CommandWithLength(-1);
    ASSERT_GE(status_first, 0);
    {
        // An answer that never ends keeps reading until the user cancels.
        test::Simulator sim({"--no-etx"});
        ASSERT_TRUE(sim.ok());
        test::BackgroundProcess cli(Cli(), {"run", Vn(), std::to_string(status_first), "--port", sim.path(),
                                            "--dir", dir.path()});
        EXPECT_EQ(cli.Wait(3000), -1);  // still reading
        cli.Signal(SIGINT);
        EXPECT_EQ(cli.Wait(20000), 5);
    }
}

TEST(Run, AsksForTheMissingParametersOnTheTerminal) {
    test::Simulator sim;
    ASSERT_TRUE(sim.ok());
    test::TempDir dir;
    ASSERT_TRUE(WriteFileAtomically(dir.File("c.xml"), R"(<comandos>
  <cmd>
    <titulo>Pedir</titulo>
    <escape>19</escape>
    <parametro><titulo>Cantidad</titulo><tamanho>4</tamanho><formato>INTEGER</formato></parametro>
    <parametro><titulo>Normal (0) ou Simplificada (1)</titulo><tamanho>1</tamanho><formato>OPTIONS</formato></parametro>
    <parametro><titulo>Dado</titulo><tamanho>2</tamanho><formato>INTEGER</formato></parametro>
  </cmd>
</comandos>
)"));
    // The first answer is typed, the second chosen by number, the third given with --set.
    test::RunResult r = test::RunProgram(Cli(), {"run", dir.File("c.xml"), "Pedir", "--port", sim.path(), "--dir",
                                                 dir.path(), "--ask", "--set", "3=7", "--json"},
                                         60000, "12\n2\n");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    json j = json::parse(r.out);
    EXPECT_EQ(j["parametros"][0]["valor"], "0012");
    EXPECT_EQ(j["parametros"][1]["valor"], "1");
    EXPECT_EQ(j["parametros"][2]["valor"], "07");
    // 1C 13, then "0012", "1", "07".
    EXPECT_NE(std::string(j["dump"]).find("CMD:  02 0B 00 1C 13 30 30 31 32 31 30 37"), std::string::npos) << j["dump"];
    EXPECT_NE(r.err.find("Simplificada"), std::string::npos) << r.err;

    // Input that ends before every question is answered sends nothing.
    r = test::RunProgram(Cli(), {"run", dir.File("c.xml"), "Pedir", "--port", sim.path(), "--dir", dir.path(),
                                 "--ask"},
                         60000, "12\n");
    EXPECT_EQ(r.status, 5) << r.out << r.err;
    EXPECT_EQ(r.out.find("CMD:"), std::string::npos);
}

TEST(Run, SilentPrinterAndMissingPortEndUnanswered) {
    test::TempDir dir;
    int fixed = CommandWithLength(0);
    ASSERT_GE(fixed, 0);
    // No port configured: a serial port without a name, which never opens.
    test::RunResult r = test::RunProgram(Cli(), {"run", Vn(), std::to_string(fixed), "--dir", dir.path()}, 120000);
    EXPECT_EQ(r.status, 4) << r.out << r.err;
    EXPECT_NE(r.out.find("Error al enviar comando"), std::string::npos) << r.out;

    // A printer that stops after two bytes: 52 failed reads end the command.
    test::Simulator sim({"--silent-after", "2"});
    ASSERT_TRUE(sim.ok());
    r = RunCli(sim, dir.path(), std::to_string(fixed), {}, 180000);
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_NE(std::string(json::parse(r.out)["retorno_formatado"]).find("Error al enviar comando"), std::string::npos);
}

}  // namespace
}  // namespace ordavo
