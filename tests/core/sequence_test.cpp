#include "sequences/core/sequencia.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>

#include "engine/env.h"
#include "engine/util.h"
#include "tests/support/fake_clock.h"
#include "tests/support/paths.h"
#include "tests/support/scripted_transport.h"

namespace ordavo {
namespace {

Comando MakeCommand(const std::string& titulo, const std::string& escape, int tamanho_retorno = 0) {
    Comando c;
    c.SetTipo("Lecturas");
    c.SetTitulo(titulo);
    c.SetEscape(escape);
    c.SetTamanhoRetorno(tamanho_retorno);
    return c;
}

TEST(Sequence, InsertAndRemove) {
    SequenciaComandos s;
    EXPECT_EQ(s.InserirComando(MakeCommand("a", "1"), -1), -1);
    EXPECT_EQ(s.InserirComando(MakeCommand("c", "3"), -1), -1);
    EXPECT_EQ(s.InserirComando(MakeCommand("b", "2"), 1), 0);
    EXPECT_EQ(s.InserirComando(MakeCommand("z", "9"), 4), -1);  // beyond the end: refused
    EXPECT_EQ(s.InserirComando(MakeCommand("d", "4"), 3), 0);   // at the end
    ASSERT_EQ(s.NumeroComandos(), 4);
    EXPECT_EQ(s.comandos[0].titulo + s.comandos[1].titulo + s.comandos[2].titulo + s.comandos[3].titulo, "abcd");
    EXPECT_EQ(s.RemoverComando(4), -1);
    EXPECT_EQ(s.RemoverComando(-1), -1);
    EXPECT_EQ(s.RemoverComando(0), 0);
    EXPECT_EQ(s.NumeroComandos(), 3);
    EXPECT_EQ(s.comandos[0].titulo, "b");
}

TEST(Sequence, FileRoundTripAndLayout) {
    test::TempDir dir;
    ListaSequencias empty;
    ASSERT_EQ(empty.Salvar(dir.File("e.xml")), 0);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(dir.File("e.xml"), bytes));
    EXPECT_NE(bytes.find("<?xml version=\"1.0\" encoding=\"Windows-1252\"?>"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("<?xml-stylesheet type='text/xml' href='style.xsl'?>"), std::string::npos);
    EXPECT_NE(bytes.find("<sequencias xml:space=\"preserve\">\n</sequencias>"), std::string::npos) << bytes;

    ListaSequencias list;
    SequenciaComandos s1;
    s1.titulo = "Venta r\xE1pida ";
    Comando c = MakeCommand("Abrir Cup\xF3n", "0", -1);
    c.equipamentos_hab = 4096;
    c.tipo_retorno = "ASCII";
    Parametro p;
    p.titulo = "RIF";
    p.tamanho = 12;
    p.formato = "STRING";
    p.valor = "J-1234 <&>";
    c.AdicionarParametro(p);
    p.titulo = "Nota";
    p.valor = "";
    p.obrigatorio = 0;
    c.AdicionarParametro(p);
    Retorno r;
    r.titulo = "Fecha";
    r.tamanho = 3;
    r.formato = "BCD_DATA";
    c.AdicionarRetorno(r);
    s1.comandos.push_back(c);
    s1.comandos.push_back(MakeCommand("Leer", "35 23", -2));
    SequenciaComandos s2;
    s2.titulo = "Vac\xED" "a";
    list.sequencias = {s1, s2};
    ASSERT_EQ(list.Salvar(dir.File("s.xml")), 0);
    ASSERT_TRUE(ReadWholeFile(dir.File("s.xml"), bytes));
    EXPECT_NE(bytes.find("\n\t\t<sequencia>\n\t<titulo>Vac\xED" "a</titulo>\n\t\t</sequencia>\n</sequencias>"),
              std::string::npos)
        << bytes;
    EXPECT_NE(bytes.find("<tamanho_retorno>-1</tamanho_retorno>"), std::string::npos);
    EXPECT_EQ(bytes.find("equipamentos_hab"), std::string::npos);
    EXPECT_NE(bytes.find("\n\t\t\t\t<obrigatorio>N</obrigatorio>\n\t\t\t</parametro>"), std::string::npos);

    ListaSequencias back;
    ASSERT_EQ(back.Carregar(dir.File("s.xml")), 0);
    ASSERT_EQ(back.Count(), 2);
    const SequenciaComandos& b1 = back.sequencias[0];
    EXPECT_EQ(b1.titulo, "Venta r\xE1pida ");
    ASSERT_EQ(b1.NumeroComandos(), 2);
    EXPECT_EQ(b1.comandos[0].titulo, "Abrir Cup\xF3n");
    EXPECT_EQ(b1.comandos[0].equipamentos_hab, 0);
    EXPECT_EQ(b1.comandos[0].tamanho_retorno, -1);
    EXPECT_EQ(b1.comandos[0].tipo_retorno, "ASCII");
    ASSERT_EQ(b1.comandos[0].parametros.size(), 2u);
    EXPECT_EQ(b1.comandos[0].parametros[0].valor, "J-1234 <&>");
    EXPECT_EQ(b1.comandos[0].parametros[1].valor, "");  // an empty element is empty, not inherited
    EXPECT_EQ(b1.comandos[0].parametros[1].obrigatorio, 0);
    EXPECT_EQ(b1.comandos[0].parametros[1].tamanho, 12);
    ASSERT_EQ(b1.comandos[0].retornos.size(), 1u);
    EXPECT_EQ(b1.comandos[0].retornos[0].formato, "BCD_DATA");
    EXPECT_EQ(b1.comandos[1].tamanho_retorno, -2);
    EXPECT_EQ(b1.comandos[1].n_bytes_escape, 2);
    EXPECT_EQ(back.sequencias[1].NumeroComandos(), 0);

    // What is written reads back to the same bytes when written again.
    ASSERT_EQ(back.Salvar(dir.File("again.xml")), 0);
    std::string again;
    ASSERT_TRUE(ReadWholeFile(dir.File("again.xml"), again));
    EXPECT_EQ(again, bytes);

    // A failed save keeps the old file; a broken file loads as an empty list.
    ASSERT_EQ(list.Salvar(dir.File("no/such/dir.xml")), -1);
    ASSERT_TRUE(WriteFileAtomically(dir.File("bad.xml"), "<sequencias><sequencia>"));
    back.sequencias = {s1};
    EXPECT_EQ(back.Carregar(dir.File("bad.xml")), -1);
    EXPECT_EQ(back.Count(), 0);
}

TEST(Sequence, HandWrittenFiles) {
    test::TempDir dir;
    ASSERT_TRUE(WriteFileAtomically(dir.File("h.xml"), R"(<raiz>
  <sequencia>
    <titulo>Uno</titulo>
    <cmd>
      <titulo>A</titulo>
      <equipamentos_hab>8</equipamentos_hab>
      <parametro><titulo>p1</titulo><valor>111</valor><formato>INTEGER</formato></parametro>
      <parametro><titulo>p2</titulo></parametro>
    </cmd>
    <cmd><parametro><valor>x</valor></parametro><retorno><titulo>r</titulo></retorno></cmd>
  </sequencia>
  <otro><sequencia><cmd><titulo>primero</titulo></cmd></sequencia></otro>
</raiz>)"));
    ListaSequencias list;
    ASSERT_EQ(list.Carregar(dir.File("h.xml")), 0);
    ASSERT_EQ(list.Count(), 2);
    const SequenciaComandos& s = list.sequencias[0];
    ASSERT_EQ(s.NumeroComandos(), 2);
    EXPECT_EQ(s.comandos[0].equipamentos_hab, 0);  // never read from a sequence file
    ASSERT_EQ(s.comandos[0].parametros.size(), 2u);
    EXPECT_EQ(s.comandos[0].parametros[1].valor, "111");  // inherited, unlike the catalog
    EXPECT_EQ(s.comandos[0].parametros[1].formato, "INTEGER");
    EXPECT_EQ(s.comandos[1].parametros.size(), 0u);  // first child node: no parameters
    EXPECT_EQ(s.comandos[1].retornos.size(), 1u);
    EXPECT_EQ(list.sequencias[1].titulo, "");
    EXPECT_EQ(list.sequencias[1].NumeroComandos(), 0);  // its cmd is the first child node

    Settings st;
    st.AppDirectory = "/app";
    st.Country = "PANAMA";
    EXPECT_EQ(SequenceFileForCountry(st), "/app/XML/secuencia_pa.xml");
    st.Country = "CHILE";
    EXPECT_EQ(SequenceFileForCountry(st), "/app/secuencia_rd.xml");
}

// A program killed at any moment of a save leaves either the old file or the new one, whole.
TEST(Sequence, KilledDuringSaveLeavesAWholeFile) {
    test::TempDir dir;
    const std::string path = dir.File("secuencia_rd.xml");
    auto make = [](int sequences) {
        ListaSequencias list;
        for (int s = 0; s < sequences; ++s) {
            SequenciaComandos seq;
            seq.titulo = "SEQ " + std::to_string(s);
            for (int k = 0; k < 40; ++k) seq.comandos.push_back(MakeCommand("Leer " + std::to_string(k), "35 23"));
            list.sequencias.push_back(seq);
        }
        return list;
    };
    ASSERT_EQ(make(3).Salvar(path), 0);
    for (int round = 0; round < 6; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ListaSequencias big = make(60 + round);
            for (;;) big.Salvar(path);  // killed somewhere in here
        }
        usleep(static_cast<useconds_t>(20000 + round * 37000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ListaSequencias back;
        ASSERT_EQ(back.Carregar(path), 0) << "round " << round;
        EXPECT_TRUE(back.Count() == 3 || back.Count() == 60 + round || (round > 0 && back.Count() == 59 + round))
            << back.Count();
        for (const SequenciaComandos& seq : back.sequencias) EXPECT_EQ(seq.NumeroComandos(), 40);
    }
}

// A user interface that answers questions from a list and can press Escape in the progress
// window before the n-th command.
class ScriptedUi : public SilentUserInterface {
public:
    class Progress : public ProgressWindow {
    public:
        Progress(const std::string& title, ScriptedUi* ui) : ProgressWindow(title), ui_(ui) {}
        void PumpMessages(bool escape_cancels) override {
            // Only the runner's own pumps count: the engine pumps after every byte too.
            if (!escape_cancels) return;
            ++ui_->pumps;
            if (ui_->escape_at_pump == ui_->pumps) Cancel();
        }

    private:
        ScriptedUi* ui_;
    };
    std::unique_ptr<ProgressWindow> CreateProgress(const std::string& title, bool) override {
        titles.push_back(title);
        return std::make_unique<Progress>(title, this);
    }
    bool MessageBox(const std::string& text, const std::string& caption, MsgButtons b, MsgIcon i) override {
        messages.push_back(text);
        if (answers.empty()) return true;
        bool a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    std::vector<bool> answers;
    std::vector<std::string> titles;
    int pumps = 0;
    int escape_at_pump = -1;
};

class Runner : public ::testing::Test {
protected:
    void SetUp() override {
        ResetEngineEnv();
        EngineEnv().clock = &clock;
        EngineEnv().ui = &ui;
        EngineEnv().transport_factory = factory.AsFactory();
        settings.AppDirectory = dir.path();
        settings.ExtendedReturn = 0;
        EngineEnv().settings = &settings;
        for (const char* t : {"Uno", "Dos", "Tres"}) seq.comandos.push_back(MakeCommand(t, "35 23"));
    }
    void TearDown() override { ResetEngineEnv(); }
    int Ok() {
        factory.Add(test::Script().Hex("06 00 00"));
        return 0;
    }
    int Nak() {
        factory.Add(test::Script().Nak());
        return 0;
    }
    size_t Count(const std::string& text, const std::string& what) {
        size_t n = 0;
        for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
        return n;
    }

    test::TempDir dir;
    test::FakeClock clock{1700000000};
    ScriptedUi ui;
    test::ScriptedFactory factory{&clock};
    Settings settings;
    SequenciaComandos seq;
    const std::string kStart = "\r\n***In\xED" "cio de la ejecuci\xF3n de la secu\xE9ncia de comandos***\r\n";
    const std::string kEnd = "\r\n***Fin de la ejecuci\xF3n de la secu\xE9ncia de comandos***\r\n";
    const std::string kFail = "\r\n*** Comando no ejecutado - impresora no responde ***\r\n";
};

TEST_F(Runner, AllSucceed) {
    Ok(), Ok(), Ok();
    seq.espera_ms = 2000;
    EXPECT_EQ(seq.ExecutarSequencia(0, 0), 0);
    EXPECT_EQ(factory.Created(), 3);
    EXPECT_EQ(seq.resultado.rfind(kStart, 0), 0u);
    EXPECT_EQ(seq.resultado.substr(seq.resultado.size() - kEnd.size() - 2), "\r\n" + kEnd);
    EXPECT_EQ(Count(seq.resultado, "COMANDO OK"), 3u);
    EXPECT_EQ(Count(seq.dump_total, "CMD:"), 3u);
    EXPECT_EQ(clock.TotalSleptMs(), 6000);  // the pause follows every command, the last one too
    ASSERT_FALSE(ui.titles.empty());
    EXPECT_EQ(ui.titles[0], "Ejecutando secu\xE9ncia");
    // The commands of the sequence stay unsent: the runner executes copies.
    EXPECT_TRUE(seq.comandos[0].retorno_formatado.empty());
}

TEST_F(Runner, TheDateLineReadsTheSameInEveryLocale) {
    // A Spanish locale built for the test, as the desktop's toolkit would adopt it.
    const std::string where = dir.File("locales");
    std::filesystem::create_directories(where);
    const std::string build = "localedef -i es_ES -f UTF-8 " + where + "/es_ES.UTF-8 >/dev/null 2>&1";
    if (std::system(build.c_str()) != 0) GTEST_SKIP() << "cannot build a Spanish locale here";
    setenv("LOCPATH", where.c_str(), 1);
    const std::string before = setlocale(LC_ALL, nullptr);
    if (!setlocale(LC_ALL, "es_ES.UTF-8")) {
        unsetenv("LOCPATH");
        GTEST_SKIP() << "the Spanish locale does not load";
    }
    clock.SetWallTime(test::LocalTime(2009, 3, 15, 10, 0, 0));
    Ok(), Ok(), Ok();
    EXPECT_EQ(seq.ExecutarSequencia(0, 0), 0);
    setlocale(LC_ALL, before.c_str());
    unsetenv("LOCPATH");
    EXPECT_EQ(seq.resultado.substr(kStart.size(), 26), "Sun Mar 15 10:00:00 2009\r\n") << seq.resultado;
}

TEST_F(Runner, StopPauseAndGoOn) {
    Ok(), Nak(), Ok();
    EXPECT_EQ(seq.ExecutarSequencia(1, 0), kExecSemResposta);
    EXPECT_EQ(factory.Created(), 2);  // the third command is not sent
    EXPECT_NE(seq.resultado.find("COMANDO NO RECIBIDO\r\n" + kEnd), std::string::npos) << seq.resultado;

    Ok(), Nak(), Ok();
    EXPECT_EQ(seq.ExecutarSequencia(0, 0), 0);
    EXPECT_EQ(factory.Created(), 5);
    EXPECT_NE(seq.resultado.find("COMANDO NO RECIBIDO\r\n" + kFail), std::string::npos);
    EXPECT_EQ(Count(seq.resultado, kEnd), 1u);

    // Pause on error, answered Cancel.
    factory = test::ScriptedFactory(&clock);
    EngineEnv().transport_factory = factory.AsFactory();
    Ok(), Nak(), Ok();
    ui.answers = {false};
    EXPECT_EQ(seq.ExecutarSequencia(0, 1), kExecSemResposta);
    EXPECT_EQ(factory.Created(), 2);
    EXPECT_EQ(ui.messages.back(), "\xBF CONTINUAR ?");
    EXPECT_EQ(seq.resultado.substr(seq.resultado.size() - kFail.size() - 2 - kEnd.size()), kFail + "\r\n" + kEnd);

    // Pause on error, answered OK: the run goes on.
    Ok(), Nak(), Ok();
    ui.answers = {true};
    EXPECT_EQ(seq.ExecutarSequencia(0, 1), 0);
    EXPECT_EQ(factory.Created(), 5);
}

TEST_F(Runner, StepByStepEscapeAndEmpty) {
    Ok(), Ok(), Ok();
    seq.passo_a_passo = 1;
    ui.answers = {false};
    EXPECT_EQ(seq.ExecutarSequencia(1, 0), 0);
    EXPECT_EQ(factory.Created(), 1);
    EXPECT_EQ(ui.messages.back(), "Pinche OK para proseguir con la ejecuci\xF3n de la secu\xE9ncia");
    EXPECT_EQ(seq.resultado.find(kEnd), std::string::npos);

    seq.passo_a_passo = 0;
    ui.pumps = 0;
    ui.escape_at_pump = 2;  // Escape before the second command
    Ok(), Ok(), Ok();
    EXPECT_EQ(seq.ExecutarSequencia(1, 0), -6);
    EXPECT_EQ(factory.Created(), 2);

    SequenciaComandos none;
    EXPECT_EQ(none.ExecutarSequencia(1, 0), -1);
    EXPECT_EQ(none.resultado, kStart);
    EXPECT_EQ(TextoErroSequencia(-1), "ERROR");
    EXPECT_EQ(TextoErroSequencia(-6), "Secu\xE9ncia anulada");
    EXPECT_EQ(TextoErroSequencia(-2), "Par\xE1metro obligat\xF3rio no llenado");
}

TEST_F(Runner, RepeatedRunsStopAtTheFirstFailure) {
    Ok(), Ok(), Ok();  // first run
    Ok(), Nak();       // second run fails at its second command
    std::string collected, dumps;
    int32_t made = 0;
    ExecucaoRepetida options;
    options.runs = 3;
    options.stop_on_error = 1;
    EXPECT_EQ(ExecutarRepetido(seq, options, collected, dumps, &made), kExecSemResposta);
    EXPECT_EQ(made, 2);
    EXPECT_EQ(Count(collected, kStart), 2u);
    EXPECT_EQ(collected.substr(collected.size() - 23), "Error al enviar comando");
    EXPECT_EQ(Count(dumps, "CMD:"), 5u);
}

}  // namespace
}  // namespace ordavo
