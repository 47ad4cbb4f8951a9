// The daily communication log: record layout byte for byte, one file per day, and the
// records that executions leave.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/comando.h"
#include "engine/env.h"
#include "engine/ui.h"
#include "tests/support/fake_clock.h"
#include "tests/support/paths.h"
#include "tests/support/scripted_transport.h"

namespace ordavo {
namespace {

using test::FakeClock;
using test::LocalTime;
using test::Script;
using test::ScriptedFactory;
using test::TempDir;

const std::string kStars(62, '*');

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetEngineEnv();
        settings.ExtendedReturn = 0;
        settings.PortName = "COM1:";
        settings.AppDirectory = dir.path();
        Environment& env = EngineEnv();
        env.ui = &ui;
        env.clock = &clock;
        env.settings = &settings;
        env.transport_factory = factory.AsFactory();
    }
    void TearDown() override { ResetEngineEnv(); }

    std::string LogFile(const char* day) { return dir.path() + "/log/Log_" + day + ".txt"; }

    TempDir dir;
    Settings settings;
    FakeClock clock{LocalTime(2009, 3, 15, 14, 5, 9)};
    SilentUserInterface ui;
    ScriptedFactory factory{&clock};
};

Comando LeerFecha() {
    Comando c;
    c.SetTitulo("Leer fecha y hora");
    c.SetEscape("35 23");
    Parametro p;
    p.titulo = "Formato";
    p.valor = "01";
    c.AdicionarParametro(p);
    p.titulo = "Descripci\xF3n";
    p.valor = "Caf\xE9";
    c.AdicionarParametro(p);
    Retorno r;
    r.titulo = "Fecha";
    r.valor_formatado = "150309";
    c.AdicionarRetorno(r);
    r.titulo = "Hora";
    r.valor_formatado = "140509";
    c.AdicionarRetorno(r);
    c.retorno_formatado = "\r\nComando:\tLeer fecha y hora\r\n\r\nCOMANDO OK\nFin";
    return c;
}

TEST_F(LogTest, RecordLayoutByteForByte) {
    Comando c = LeerFecha();
    EXPECT_EQ(c.GravarLog(), 0);
    // Every LF reaches the file as CR LF, so a CR LF in a text becomes CR CR LF.
    const std::string expected =
        "\r\n" + kStars + "\r\n"
        "15/03/2009 \t 14:05:09\r\n"
        "T\xEDtulo do Comando\tEscape\r\n"
        "Leer fecha y hora\t35 23"
        "\r\nPar\xE2metros:\r\n"
        "\r\nFormato\t01"
        "\r\nDescripci\xF3n\tCaf\xE9"
        "\r\nRetornos:\r\n"
        "\r\nFecha\t150309\r\n"
        "\r\nHora\t140509\r\n"
        "\r\nRetorno formatado:\r\n"
        "\r\r\nComando:\tLeer fecha y hora\r\r\n\r\r\nCOMANDO OK\r\nFin"
        "\r\n" + kStars;
    EXPECT_EQ(ReadFile(LogFile("2009_03_15")), expected);

    // A command without parameters or return fields.
    std::filesystem::remove_all(dir.File("log"));
    Comando vazio;
    vazio.SetTitulo("Abrir");
    vazio.SetEscape("1");
    EXPECT_EQ(vazio.GravarLog(), 0);
    EXPECT_EQ(ReadFile(LogFile("2009_03_15")),
              "\r\n" + kStars + "\r\n15/03/2009 \t 14:05:09\r\nT\xEDtulo do Comando\tEscape\r\nAbrir\t1"
              "\r\nPar\xE2metros:\r\n\r\nRetornos:\r\n\r\nRetorno formatado:\r\n\r\n" + kStars);
}

TEST_F(LogTest, OneFilePerDayAppended) {
    clock.SetWallTime(LocalTime(2009, 3, 15, 23, 59, 58));
    Comando a = LeerFecha();
    a.GravarLog();
    clock.SleepMs(1000);
    Comando b = LeerFecha();
    b.SetTitulo("Segundo");
    b.GravarLog();
    const std::string day1 = ReadFile(LogFile("2009_03_15"));
    const size_t first = day1.find("Leer fecha y hora\t35 23");
    const size_t second = day1.find("Segundo\t35 23");
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(second, std::string::npos);
    EXPECT_LT(first, second);
    EXPECT_NE(day1.find("15/03/2009 \t 23:59:59\r\n"), std::string::npos);
    // The first record ends with its asterisks and the second starts on a new line.
    EXPECT_NE(day1.find(kStars + "\r\n" + kStars + "\r\n"), std::string::npos);

    clock.SleepMs(1000);  // midnight
    Comando c = LeerFecha();
    c.SetTitulo("Tercero");
    c.GravarLog();
    const std::string day2 = ReadFile(LogFile("2009_03_16"));
    EXPECT_NE(day2.find("16/03/2009 \t 00:00:00\r\n"), std::string::npos);
    EXPECT_NE(day2.find("Tercero"), std::string::npos);
    EXPECT_EQ(ReadFile(LogFile("2009_03_15")), day1);
}

TEST_F(LogTest, FailuresAreSilent) {
    // The application directory does not exist: no directory, no file, no error.
    settings.AppDirectory = dir.File("missing/deeper");
    Comando c = LeerFecha();
    EXPECT_EQ(c.GravarLog(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));

    // "log" is a file, not a directory.
    settings.AppDirectory = dir.path();
    std::ofstream(dir.File("log")) << "x";
    EXPECT_EQ(c.GravarLog(), 0);
    EXPECT_EQ(ReadFile(dir.File("log")), "x");
}

TEST_F(LogTest, ExecutionsLeaveTheirRecords) {
    // Refused: the header and the refusal, return fields still empty.
    factory.Add(Script().Nak());
    Comando c;
    c.SetTitulo("Leer fecha");
    c.SetEscape("35 23");
    c.SetTamanhoRetorno(3);
    Retorno r;
    r.titulo = "Fecha";
    r.tamanho = 3;
    r.formato = "BCD_DATA";
    c.AdicionarRetorno(r);
    EXPECT_EQ(c.Executar(), -4);
    std::string log = ReadFile(LogFile("2009_03_15"));
    EXPECT_NE(log.find("\r\nRetornos:\r\n\r\nFecha\t\r\n\r\nRetorno formatado:\r\n"
                       "\r\r\nComando:\tLeer fecha\r\r\nCOMANDO NO RECIBIDO\r\n" + kStars),
              std::string::npos)
        << log;

    // Encoded values are logged as they were changed for the frame.
    factory.Add(Script().Hex("06 00 00"));
    Comando v;
    v.SetTitulo("Pago");
    v.SetEscape("2");
    Parametro p;
    p.titulo = "Valor";
    p.formato = "FINANCE";
    p.tamanho = 8;
    p.valor = "12,50";
    v.AdicionarParametro(p);
    EXPECT_EQ(v.Executar(), 0);
    log = ReadFile(LogFile("2009_03_15"));
    EXPECT_NE(log.find("\r\nValor\t00001250\r\nRetornos:"), std::string::npos);

    // Cancelled: the record is there when Executar returns.
    factory.Add(Script().Hex("06").Do([] {}).Fail(1));
    settings.PortName = "COM2:";
    struct CancellingUi : SilentUserInterface {
        struct P : ProgressWindow {
            using ProgressWindow::ProgressWindow;
            void PumpMessages(bool) override { Cancel(); }
        };
        std::unique_ptr<ProgressWindow> CreateProgress(const std::string& t, bool) override {
            return std::make_unique<P>(t);
        }
    } cancelling;
    EngineEnv().ui = &cancelling;
    Comando x;
    x.SetTitulo("Anulado");
    x.SetEscape("35 23");
    EXPECT_EQ(x.Executar(), -5);
    log = ReadFile(LogFile("2009_03_15"));
    EXPECT_NE(log.find("Anulado\t35 23"), std::string::npos);
    EXPECT_NE(log.find("Comando Anulado\r\n" + kStars), std::string::npos);

    // Refused by the encoder and "TESTE": no record.
    const std::string before = ReadFile(LogFile("2009_03_15"));
    Comando e;
    e.SetTitulo("Sin valor");
    e.SetEscape("2");
    p.valor = "";
    e.AdicionarParametro(p);
    EXPECT_EQ(e.Executar(), -2);
    Comando t;
    t.SetTipo("TESTE");
    t.SetEscape("-1");
    EXPECT_EQ(t.Executar(), 0);
    EXPECT_EQ(ReadFile(LogFile("2009_03_15")), before);
}

}  // namespace
}  // namespace ordavo
