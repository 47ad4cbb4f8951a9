// Executing commands over scripted transports on a fake clock: frames, every answer layout,
// every end of an execution, the GPRS state machine, the file-pair variants and the "TESTE"
// commands.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/comando.h"
#include "engine/env.h"
#include "engine/ui.h"
#include "tests/support/fake_clock.h"
#include "tests/support/paths.h"
#include "tests/support/scripted_transport.h"

namespace ordavo {
namespace {

using test::FakeClock;
using test::HexToBytes;
using test::LocalTime;
using test::Script;
using test::ScriptedFactory;
using test::TempDir;

// ------------------------------------------------------------------------ a recording UI

class RecordingUi;

struct ProgressInfo {
    std::string title, text;
    int lower = 0, upper = 0, position = 0;
    bool cancelled = false;
};

class RecordingProgress : public ProgressWindow {
public:
    RecordingProgress(RecordingUi* ui, std::string title);
    ~RecordingProgress() override;
    void PumpMessages(bool escape_cancels) override;

private:
    RecordingUi* ui_;
};

class RecordingWait : public WaitWindow {
public:
    explicit RecordingWait(RecordingUi* ui);
    ~RecordingWait() override;

private:
    RecordingUi* ui_;
};

class RecordingUi : public UserInterface {
public:
    std::unique_ptr<ProgressWindow> CreateProgress(const std::string& title, bool) override {
        return std::make_unique<RecordingProgress>(this, title);
    }
    std::unique_ptr<WaitWindow> ShowWait(const std::string& message) override {
        waits.push_back(message);
        return std::make_unique<RecordingWait>(this);
    }
    bool MessageBox(const std::string& text, const std::string&, MsgButtons, MsgIcon) override {
        messages.push_back(text);
        return true;
    }
    // Presses Cancel in the newest progress window.
    void CancelNewest() {
        ASSERT_FALSE(live.empty()) << "no progress window to cancel";
        live.back()->Cancel();
    }

    int cancel_at_pump = 0;  // presses Cancel during this pump (counted from 1)
    int pumps = 0;
    bool wait_open = false;
    std::vector<RecordingProgress*> live;
    std::vector<ProgressInfo> closed;  // every progress window, as it was when removed
    std::vector<std::string> waits;
    std::vector<std::string> messages;
};

RecordingProgress::RecordingProgress(RecordingUi* ui, std::string title)
    : ProgressWindow(std::move(title)), ui_(ui) {
    ui_->live.push_back(this);
}

RecordingProgress::~RecordingProgress() {
    ui_->closed.push_back({title_, text_, lower_, upper_, position_, cancelled_});
    std::erase(ui_->live, this);
}

void RecordingProgress::PumpMessages(bool) {
    if (++ui_->pumps == ui_->cancel_at_pump) Cancel();
}

RecordingWait::RecordingWait(RecordingUi* ui) : ui_(ui) { ui_->wait_open = true; }
RecordingWait::~RecordingWait() { ui_->wait_open = false; }

// ------------------------------------------------------------------------------- helpers

Retorno Ret(const std::string& titulo, int tamanho, const std::string& formato) {
    Retorno r;
    r.titulo = titulo;
    r.tamanho = tamanho;
    r.formato = formato;
    return r;
}

Parametro Par(const std::string& titulo, const std::string& formato, int tamanho,
              const std::string& valor, int obrigatorio = 1) {
    Parametro p;
    p.titulo = titulo;
    p.formato = formato;
    p.tamanho = tamanho;
    p.valor = valor;
    p.obrigatorio = obrigatorio;
    return p;
}

Comando Cmd(const std::string& titulo, const std::string& escape, int tamanho_retorno,
            std::vector<Retorno> retornos = {}, std::vector<Parametro> parametros = {}) {
    Comando c;
    c.SetTitulo(titulo);
    c.SetEscape(escape);
    c.SetTamanhoRetorno(tamanho_retorno);
    for (auto& r : retornos) c.AdicionarRetorno(r);
    for (auto& p : parametros) c.AdicionarParametro(p);
    return c;
}

// The frame as the printer expects it, computed here independently of the engine.
std::vector<uint8_t> Frame(uint8_t prefix, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> f;
    f.reserve(body.size() + 6);
    for (uint8_t b : {uint8_t{0x02}, uint8_t{0}, uint8_t{0}, prefix}) f.push_back(b);
    for (uint8_t b : body) f.push_back(b);
    unsigned nb = static_cast<unsigned>(f.size() - 3 + 2);
    f[1] = nb & 0xFF;
    f[2] = (nb >> 8) & 0xFF;
    unsigned sum = 0;
    for (size_t i = 3; i < f.size(); ++i) sum += f[i];
    f.push_back(sum & 0xFF);
    f.push_back((sum >> 8) & 0xFF);
    return f;
}

std::string Header(const std::string& titulo) { return "\r\nComando:\t" + titulo + "\r\n"; }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

int CountLogRecords(const std::string& dir) {
    std::string log = dir + "/log/Log_2009_03_15.txt";
    std::string text = ReadFile(log);
    int n = 0;
    for (size_t pos = text.find("T\xEDtulo do Comando"); pos != std::string::npos;
         pos = text.find("T\xEDtulo do Comando", pos + 1))
        ++n;
    return n;
}

class ExecucaoTest : public ::testing::Test {
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

    int LogRecords() { return CountLogRecords(dir.path()); }

    TempDir dir;
    Settings settings;
    FakeClock clock{LocalTime(2009, 3, 15, 10, 0, 0)};
    RecordingUi ui;
    ScriptedFactory factory{&clock};
};

// ------------------------------------------------------------------------------- frames

TEST_F(ExecucaoTest, FramesAreBuiltWithLengthPrefixAndChecksum) {
    {
        Comando c = Cmd("Leer fecha", "35 23", 0);
        ASSERT_EQ(c.MontarQuadro(), 0);
        EXPECT_EQ(std::vector<uint8_t>(c.quadro.data, c.quadro.data + c.quadro.length),
                  HexToBytes("02 05 00 1B 23 17 55 00"));
        EXPECT_EQ(c.tamanho_status, 3);
        EXPECT_EQ(c.tamanho_retorno, 3);
        EXPECT_EQ(c.retorno_formatado, Header("Leer fecha"));
    }
    settings.ExtendedReturn = 1;
    {
        Comando c = Cmd("Leer fecha", "35 23", 6);
        ASSERT_EQ(c.MontarQuadro(), 0);
        EXPECT_EQ(std::vector<uint8_t>(c.quadro.data, c.quadro.data + c.quadro.length),
                  HexToBytes("02 05 00 1C 23 17 56 00"));
        EXPECT_EQ(c.tamanho_status, 5);
        EXPECT_EQ(c.tamanho_retorno, 11);  // two bytes longer than with ESC
    }
    {
        // Catalog length -2 always goes out with ESC and a three-byte status part.
        Comando c = Cmd("Texto", "35 23", -2);
        ASSERT_EQ(c.MontarQuadro(), 0);
        EXPECT_EQ(c.quadro.data[3], 0x1B);
        EXPECT_EQ(c.tamanho_status, 3);
        EXPECT_EQ(c.tamanho_retorno, 1);
    }
    {
        // Parameters sit between the escape and the checksum; a checksum above 255 carries
        // into its high byte.
        Comando c = Cmd("Param", "10", 0, {}, {Par("Texto", "STRING", 4, "\xF1\xF1\xF1\xF1")});
        ASSERT_EQ(c.MontarQuadro(), 0);
        EXPECT_EQ(std::vector<uint8_t>(c.quadro.data, c.quadro.data + c.quadro.length),
                  Frame(0x1C, {0x0A, 0xA4, 0xA4, 0xA4, 0xA4}));
    }
}

TEST_F(ExecucaoTest, RefusedBeforeSendingLeavesNoTransportNoLogAndKeepsLength) {
    struct Case {
        const char* name;
        Comando cmd;
        int32_t result;
        std::string message;
    };
    Comando escape_longo = Cmd("Escape", "1 2 3 4 5 6 7 8 9 10 11", 0);
    ASSERT_FALSE(escape_longo.escape_valido);
    Comando escape_absurdo = Cmd("Escape", "35 1234567", 0);
    ASSERT_FALSE(escape_absurdo.escape_valido);
    std::vector<Case> cases;
    cases.push_back({"more than ten escape numbers", escape_longo, -3, ""});
    cases.push_back({"absurd escape piece", escape_absurdo, -3, ""});
    cases.push_back({"empty mandatory parameter", Cmd("P", "1", 0, {}, {Par("A", "INTEGER", 4, "")}), -2,
                     "Par\xE1metro obligat\xF3rio no llenado"});
    cases.push_back({"wrong size", Cmd("P", "1", 0, {}, {Par("A", "INTEGER", 2, "123")}), -3,
                     "Par\xE1metro con tama\xF1o equivocado"});
    cases.push_back({"frame past 4096 bytes",
                     Cmd("P", "1", 0, {}, {Par("A", "STRING_VAR_SIZE", 5000, std::string(5000, 'x'))}),
                     -3, ""});
    cases.push_back({"negative answer length", Cmd("P", "1", -3), -3, ""});
    cases.push_back({"absurd answer length", Cmd("P", "1", 70000), -3, ""});
    settings.ExtendedReturn = 1;
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int32_t before = c.cmd.tamanho_retorno;
        EXPECT_EQ(c.cmd.Executar(), c.result);
        EXPECT_EQ(c.cmd.tamanho_retorno, before);
        ASSERT_EQ(c.cmd.retorno_formatado.rfind(Header(c.cmd.titulo), 0), 0u);
        std::string message = c.cmd.retorno_formatado.substr(Header(c.cmd.titulo).size());
        EXPECT_FALSE(message.empty());
        if (!c.message.empty()) {
            EXPECT_EQ(message, c.message);
        }
        EXPECT_FALSE(c.cmd.transporte);
    }
    EXPECT_EQ(factory.Created(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("log")));
}

// ----------------------------------------------------------------------- fixed layout

TEST_F(ExecucaoTest, FixedAnswerRunsTheWholeExchange) {
    factory.Add(Script().Hex("06").Text("AB").Hex("00 00"));
    Comando c = Cmd("Leer", "35 23", 2, {Ret("Nombre", 2, "ASCII")});
    EXPECT_EQ(c.Executar(), 0);

    auto& t = factory.Last();
    EXPECT_EQ(t.port_name, "COM1:");
    EXPECT_EQ(t.Sequence(), "Open Purge Write Read Close");
    EXPECT_EQ(t.open_arg, 9600);
    EXPECT_EQ(t.write_tags, std::vector<int>{20000});
    EXPECT_EQ(t.written, Frame(0x1B, {0x23, 0x17}));
    EXPECT_EQ(t.reads, 5);
    EXPECT_EQ(t.read_timeouts, std::vector<int>(5, 2000));
    EXPECT_TRUE(t.destroyed);
    EXPECT_EQ(t.closes, 1);

    EXPECT_EQ(c.dump, "CMD:  02 05 00 1B 23 17 55 00\r\nRET:  06 41 42 00 00\r\n");
    EXPECT_EQ(c.retorno_formatado.rfind(Header("Leer") + "\r\nCOMANDO OK", 0), 0u) << c.retorno_formatado;
    EXPECT_NE(c.retorno_formatado.find("AB"), std::string::npos);
    EXPECT_EQ(c.retornos[0].valor_formatado, "AB");
    EXPECT_EQ(c.tamanho_retorno, 5);  // the catalog length plus the status part
    EXPECT_FALSE(c.transporte);
    EXPECT_TRUE(c.resposta.empty());

    ASSERT_EQ(ui.closed.size(), 1u);
    EXPECT_EQ(ui.closed[0].title, "Progreso");
    EXPECT_EQ(ui.closed[0].text, "Recibiendo Retorno...");
    EXPECT_EQ(ui.closed[0].lower, 0);
    EXPECT_EQ(ui.closed[0].upper, 5);
    EXPECT_EQ(ui.closed[0].position, 5);
    EXPECT_EQ(ui.pumps, 5);  // after every byte
    EXPECT_EQ(clock.TotalSleptMs(), 0);
    EXPECT_EQ(LogRecords(), 1);

    // With the extended return the answer carries ST3 too, and its line follows the status.
    settings.ExtendedReturn = 1;
    factory.Add(Script().Hex("06 00 00 0E 00"));
    Comando e = Cmd("Ext", "35 23", 0);
    EXPECT_EQ(e.Executar(), 0);
    EXPECT_EQ(factory.Last().reads, 5);
    EXPECT_EQ(e.retorno_formatado, Header("Ext") + "\r\nCOMANDO OK\r\nTASA NO PROGRAMADA\r\n");
}

TEST_F(ExecucaoTest, FixedAnswerEnds) {
    {
        SCOPED_TRACE("NAK as the first byte is refused at once");
        factory.Add(Script().Nak().Hex("00 00"));
        Comando c = Cmd("Nak", "35 23", 0);
        EXPECT_EQ(c.Executar(), -4);
        EXPECT_EQ(c.retorno_formatado, Header("Nak") + "COMANDO NO RECIBIDO");
        EXPECT_EQ(factory.Last().reads, 1);
        EXPECT_EQ(factory.Last().Sequence(), "Open Purge Write Read Close");
        EXPECT_TRUE(factory.Last().destroyed);
        EXPECT_EQ(c.dump, "CMD:  02 05 00 1B 23 17 55 00\r\nRET: \r\n");
        EXPECT_EQ(LogRecords(), 1);
    }
    {
        SCOPED_TRACE("a NAK later in the answer is data");
        factory.Add(Script().Hex("06 15 00 00"));
        Comando c = Cmd("Dato", "35 23", 1, {Ret("X", 1, "INTEGER")});
        EXPECT_EQ(c.Executar(), 0);
    }
    {
        SCOPED_TRACE("a silent printer: 52 reads of 2000 ms, each followed by 300 ms");
        const int64_t start = clock.MonotonicMs();
        clock.ClearSleeps();
        factory.Add(Script());
        Comando c = Cmd("Mudo", "35 23", 0);
        EXPECT_EQ(c.Executar(), -4);
        EXPECT_EQ(c.retorno_formatado, Header("Mudo") + "Error al enviar comando\r\n"
                                       "Motivo: la impresora no respondi\xF3 durante 120 s despu\xE9s de enviado el "
                                       "comando por COM1:.");
        EXPECT_EQ(factory.Last().reads, 52);
        EXPECT_EQ(clock.MonotonicMs() - start, 52 * 2300);
        EXPECT_EQ(clock.Sleeps(), std::vector<int>(52, 300));
        EXPECT_EQ(factory.Last().Sequence(), "Open Purge Write Read Close");
        EXPECT_EQ(LogRecords(), 3);
    }
    {
        SCOPED_TRACE("every received byte resets the failure count");
        factory.Add(Script().Fail(51).Hex("06").Fail(51).Hex("00").Fail(51).Hex("00"));
        Comando c = Cmd("Lento", "35 23", 0);
        EXPECT_EQ(c.Executar(), 0);
        EXPECT_EQ(factory.Last().reads, 3 * 52);
    }
    {
        SCOPED_TRACE("a printer that stops in the middle");
        factory.Add(Script().Hex("06 41"));
        Comando c = Cmd("Corte", "35 23", 4, {Ret("X", 4, "ASCII")});
        EXPECT_EQ(c.Executar(), -4);
        EXPECT_EQ(factory.Last().reads, 2 + 52);
        EXPECT_EQ(c.dump.substr(c.dump.find("RET:")), "RET:  06 41\r\n");
    }
}

TEST_F(ExecucaoTest, CancelDrainsThePortUnderAWaitWindow) {
    bool wait_shown_while_draining = false;
    factory.Add(Script()
                    .Hex("06")
                    .Do([&] { ui.CancelNewest(); })
                    .Hex("41 42 43")
                    .Do([&] { wait_shown_while_draining = ui.wait_open; }));
    Comando c = Cmd("Anular", "35 23", 4, {Ret("X", 4, "ASCII")});
    EXPECT_EQ(c.Executar(), -5);
    EXPECT_EQ(c.retorno_formatado, Header("Anular") + "Comando Anulado");
    auto& t = factory.Last();
    // Two reads of the answer, then the drain: 42, 43 and the read that finds nothing.
    EXPECT_EQ(t.read_timeouts, (std::vector<int>{2000, 2000, 10, 10, 10}));
    EXPECT_EQ(t.Sequence(), "Open Purge Write Read Close");
    EXPECT_TRUE(wait_shown_while_draining);
    EXPECT_FALSE(ui.wait_open);
    EXPECT_EQ(ui.waits, std::vector<std::string>{"Por favor, aguarde....."});
    EXPECT_EQ(c.dump.substr(c.dump.find("RET:")), "RET:  06 41\r\n");
    EXPECT_EQ(LogRecords(), 1);  // written before Executar returned

    // A printer that never stops talking does not hold the drain for ever.
    factory.Add(Script().Hex("06").Do([&] { ui.CancelNewest(); }).Forever(0x55));
    Comando f = Cmd("Eterno", "35 23", 4, {Ret("X", 4, "ASCII")});
    EXPECT_EQ(f.Executar(), -5);
    EXPECT_LE(factory.Last().reads, 2 + 8192);
    EXPECT_GT(factory.Last().reads, 100);

    // Cancel pressed while the printer is silent is seen at the next read.
    ui.pumps = 0;
    ui.cancel_at_pump = 3;
    factory.Add(Script());
    Comando s = Cmd("Mudo", "35 23", 0);
    EXPECT_EQ(s.Executar(), -5);
    EXPECT_EQ(factory.Last().reads, 3 + 1);  // three answer reads, one drain read
}

TEST_F(ExecucaoTest, APortThatDoesNotOpenIsNeitherWrittenNorRead) {
    for (bool file_pair : {false, true}) {
        SCOPED_TRACE(file_pair ? "file pair" : "port");
        settings.PortName = file_pair ? "FILE" : "COM1:";
        const int64_t start = clock.MonotonicMs();
        if (file_pair)
            factory.AddFile(Script().OpenResult(0));
        else
            factory.Add(Script().OpenResult(0));
        Comando c = Cmd("Cerrado", "35 23", 0);
        EXPECT_EQ(c.Executar(), -4);
        EXPECT_EQ(factory.Last().Sequence(), "Open Close");
        EXPECT_TRUE(factory.Last().written.empty());
        EXPECT_EQ(clock.MonotonicMs(), start);  // no waiting for an answer that cannot come
        EXPECT_EQ(c.retorno_formatado.rfind(Header("Cerrado") + "Error al enviar comando\r\nMotivo: no se pudo ", 0), 0u)
            << c.retorno_formatado;
        EXPECT_EQ(c.motivo, c.retorno_formatado.substr(c.retorno_formatado.find("Motivo: ")));
    }
    // A cancel keeps the system's text and tells why in the reason.
    factory.Add(Script().Hex("06").Do([&] { ui.CancelNewest(); }));
    Comando x = Cmd("Anular", "35 23", 4, {Ret("X", 4, "ASCII")});
    EXPECT_EQ(x.Executar(), -5);
    EXPECT_EQ(x.motivo, "Motivo: cancelado por el usuario.");
}

// ----------------------------------------------------------------- status-first layouts

TEST_F(ExecucaoTest, StatusFirstEtxAnswer) {
    settings.ExtendedReturn = 1;
    // Text bytes are translated as they arrive: 0x82 is e-acute on the printer, 0x60 a space,
    // LF gets a CR in front and NUL bytes are dropped.
    factory.Add(Script().Hex("06 40 00 00 00").Text("Ol").Hex("82 60 0A 00").Text("Fin").Hex("03"));
    Comando c = Cmd("Texto", "35 50", -1);
    EXPECT_EQ(c.Executar(), 0);
    EXPECT_EQ(c.retorno_formatado,
              "\r\nPOCO PAPEL\r\n\r\nCOMANDO OK\r\n\r\nOl\xE9 \r\nFin");
    EXPECT_EQ(factory.Last().write_tags, std::vector<int>{20000});
    ASSERT_EQ(ui.closed.size(), 1u);
    EXPECT_EQ(ui.closed[0].upper, 1000);
    EXPECT_EQ(c.dump.substr(c.dump.find("RET:")),
              "RET:  06 40 00 00 00 4F 6C 82 60 0A 00 46 69 6E 03\r\n");

    // Failed reads in the text part are retried without a limit and without a pause.
    clock.ClearSleeps();
    factory.Add(Script().Hex("06 00 00 00 00").Text("A").Fail(200).Text("B").Hex("03"));
    Comando r = Cmd("Lento", "35 50", -1);
    EXPECT_EQ(r.Executar(), 0);
    EXPECT_EQ(r.retorno_formatado, "COMANDO OK\r\n\r\nCOMANDO OK\r\n\r\nAB");
    EXPECT_TRUE(clock.Sleeps().empty());

    // The status part allows 12 failed reads in all, not reset by received bytes.
    const int64_t start = clock.MonotonicMs();
    factory.Add(Script().Hex("06").Fail(6).Hex("00").Fail(6).Hex("00 00 00").Text("x").Hex("03"));
    Comando s = Cmd("Status", "35 50", -1);
    EXPECT_EQ(s.Executar(), -4);
    EXPECT_EQ(s.retorno_formatado, Header("Status") + "Error al enviar comando\r\nMotivo: la impresora dej\xF3 de "
                                                      "responder despu\xE9s de 2 bytes (24 s en silencio, puerto COM1:).");
    EXPECT_EQ(factory.Last().reads, 14);
    EXPECT_EQ(clock.MonotonicMs() - start, 12 * 2000);

    // A NAK is not special here: it is the first status byte.
    factory.Add(Script().Hex("15 00 00 00 00 03"));
    Comando n = Cmd("Nak", "35 50", -1);
    EXPECT_EQ(n.Executar(), 0);
}

TEST_F(ExecucaoTest, StatusFirstCancelReplacesTheTextByTheStatusLines) {
    settings.ExtendedReturn = 1;
    factory.Add(Script().Hex("06 00 01 0E 00").Text("AB").Do([&] { ui.CancelNewest(); }).Text("C").Hex("03"));
    Comando c = Cmd("Texto", "35 50", -1);
    EXPECT_EQ(c.Executar(), -5);
    EXPECT_EQ(c.retorno_formatado,
              "\r\nCOMANDO NO EJECUTADO\r\n\r\nTASA NO PROGRAMADA\r\n\r\nComando Anulado");
    // The cancelled text part ends its dump line twice.
    EXPECT_EQ(c.dump.substr(c.dump.find("RET:")), "RET:  06 00 01 0E 00 41 42 43\r\n\r\n");
    EXPECT_EQ(factory.Last().read_timeouts.back(), 10);
    EXPECT_EQ(LogRecords(), 1);

    // A printer that never sends ETX is read until Cancel.
    ui.pumps = 0;
    ui.cancel_at_pump = 5000;
    factory.Add(Script().Hex("06 00 00 00 00").Forever('x'));
    Comando e = Cmd("Eterno", "35 50", -1);
    EXPECT_EQ(e.Executar(), -5);
    EXPECT_EQ(e.retorno_formatado, "COMANDO OK\r\n\r\nCOMANDO OK\r\n\r\nComando Anulado");
    EXPECT_GE(factory.Last().reads, 5000);

    // Cancel during the status part keeps the header, like any other cancel.
    ui.pumps = 0;
    ui.cancel_at_pump = 2;
    factory.Add(Script().Hex("06 00"));
    Comando s = Cmd("Status", "35 50", -1);
    EXPECT_EQ(s.Executar(), -5);
    EXPECT_EQ(s.retorno_formatado, Header("Status") + "Comando Anulado");
}

TEST_F(ExecucaoTest, StatusFirstNulAnswer) {
    settings.ExtendedReturn = 1;
    factory.Add(Script().Hex("06 04 00").Text("Linea 1\nLinea 2").Hex("00"));
    Comando c = Cmd("Nul", "35 51", -2);
    EXPECT_EQ(c.Executar(), 0);
    EXPECT_EQ(factory.Last().written[3], 0x1B);
    EXPECT_EQ(c.retorno_formatado, "Linea 1\r\nLinea 2");  // the status is not shown
    EXPECT_EQ(factory.Last().reads, 3 + 16);

    // No text at all: the first read of the text part fails and the answer is complete.
    factory.Add(Script().Hex("06 00 00"));
    Comando v = Cmd("Vacio", "35 51", -2);
    EXPECT_EQ(v.Executar(), 0);
    EXPECT_EQ(v.retorno_formatado, "");
    EXPECT_EQ(factory.Last().reads, 4);

    // A later failure is retried.
    factory.Add(Script().Hex("06 00 00").Text("A").Fail(3).Text("B").Hex("00"));
    Comando r = Cmd("Lento", "35 51", -2);
    EXPECT_EQ(r.Executar(), 0);
    EXPECT_EQ(r.retorno_formatado, "AB");

    // Cancel shows the status lines here too; there is no ST3 after an ESC prefix.
    factory.Add(Script().Hex("06 00 01").Text("A").Do([&] { ui.CancelNewest(); }).Text("B"));
    Comando x = Cmd("Anular", "35 51", -2);
    EXPECT_EQ(x.Executar(), -5);
    EXPECT_EQ(x.retorno_formatado, "\r\nCOMANDO NO EJECUTADO\r\nComando Anulado");
}

TEST_F(ExecucaoTest, FiscalMemoryReadingChoosesItsLayoutByFramePosition17) {
    // Escape byte 8 at position 4; the 13-character parameter puts its last letter at 17.
    struct Case {
        const char* destino;
        bool status_first;
    };
    for (Case k : {Case{"I", false}, Case{"R", true}, Case{"r", true}}) {
        SCOPED_TRACE(k.destino);
        Comando c = Cmd("Leitura MF", "8", 0, {}, {Par("Rango", "STRING", 13, std::string("123456789012") + k.destino)});
        if (k.status_first)
            factory.Add(Script().Hex("06 00 00").Text("MF").Hex("03"));
        else
            factory.Add(Script().Hex("06 00 00"));
        EXPECT_EQ(c.Executar(), 0);
        ASSERT_GT(factory.Last().written.size(), 17u);
        EXPECT_EQ(factory.Last().written[17], k.destino[0]);
        const std::string expected =
            k.status_first ? std::string("COMANDO OK\r\nMF") : Header("Leitura MF") + "\r\nCOMANDO OK";
        EXPECT_EQ(c.retorno_formatado, expected);
    }
    // A short frame has no position 17: fixed layout.
    factory.Add(Script().Hex("06 00 00"));
    Comando s = Cmd("Corto", "8", 0);
    EXPECT_EQ(s.Executar(), 0);
    EXPECT_EQ(s.retorno_formatado, Header("Corto") + "\r\nCOMANDO OK");
}

// ------------------------------------------------------------------------------- GPRS

TEST_F(ExecucaoTest, GprsAnswers) {
    struct Case {
        const char* name;
        int extended;
        const char* answer;
        int32_t result;
        std::string text;
        const char* dumped = nullptr;  // the bytes read, when not the whole answer
    };
    const std::string t = "Modulo:\r\n\r\n";
    std::vector<Case> cases = {
        {"kind 0, executed", 0, "06 00 00 00 00", 0, "COMANDO OK\r\n" + t + "Executado\r\n"},
        {"kind 0, not executed", 0, "06 00 01 00 00", 0, "COMANDO OK\r\n" + t + "<N\xE3o> Executado\r\n"},
        {"kind 0, other flag", 0, "06 00 07 00 00", 0, "COMANDO OK\r\n" + t + "\r\n"},
        {"kind 1, 16-bit value", 0, "06 01 34 12 00 00", 0, "COMANDO OK\r\n" + t + "4660\r\n"},
        {"kind 1, high value", 0, "06 01 FF FF 00 00", 0, "COMANDO OK\r\n" + t + "65535\r\n"},
        {"kind 2, skipped bytes", 0, "06 02 03 41 42 43 40 01", 0,
         "\r\nPOCO PAPEL\r\nCOMANDO NO EJECUTADO\r\n" + t + "\r\n"},
        {"kind 3, up to the terminator", 0, "06 03 2A 41 42 2A 00 00", 0, "COMANDO OK\r\n" + t + "AB*\r\n"},
        {"kind 3, only printable and white space", 0, "06 03 2A 41 01 09 C8 42 2A 00 00", 0,
         "COMANDO OK\r\n" + t + "A\tB*\r\n"},
        {"kind 4, busy, no status bytes", 0, "06 04 10 00 41 42 00", 0,
         t + "O M\xF3" "dulo GPRS est\xE1 ocupado, aguarde um (1) minuto e tente novamente.\r\n"},
        {"kind 5, status only", 0, "06 05 00 00", 0, "COMANDO OK\r\n" + t + "\r\n"},
        {"kind 0 with ST3", 1, "06 00 00 00 00 0E 00", 0,
         "COMANDO OK\r\n\r\nTASA NO PROGRAMADA\r\n\r\n" + t + "Executado\r\n"},
        {"wrong kind 7", 0, "06 07 00 00", -4, "", "06 07"},
        {"no ACK", 0, "41 00 00 00 00", -4, "", "41"},
        {"NAK", 0, "15 00 00", -4, "COMANDO NO RECIBIDO", "15"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        settings.ExtendedReturn = k.extended;
        factory.Add(Script().Hex(k.answer));
        Comando c = Cmd("Modulo", "80 1", 0);
        c.SetTipo("GPRS");
        EXPECT_EQ(c.Executar(), k.result);
        if (k.result == 0) {
            EXPECT_EQ(c.retorno_formatado, k.text);
        } else {
            EXPECT_EQ(c.retorno_formatado, Header("Modulo") + k.text);
        }
        EXPECT_TRUE(factory.Last().destroyed);
        EXPECT_EQ(factory.Last().closes, 1);
        // Every byte read is dumped, the NAK too; a failing answer is not read further.
        EXPECT_EQ(c.dump.substr(c.dump.find("RET:")),
                  std::string("RET:  ") + (k.dumped ? k.dumped : k.answer) + "\r\n");
    }
    EXPECT_EQ(ui.closed.back().upper, 1000);
}

TEST_F(ExecucaoTest, GprsEndsByFailureCountBufferAndCancel) {
    {
        SCOPED_TRACE("kind 2 with a count of 0 never completes");
        factory.Add(Script().Hex("06 02 00 41 42 00 00"));
        Comando c = Cmd("Modulo", "80 1", 0);
        c.SetTipo("GPRS");
        clock.ClearSleeps();
        EXPECT_EQ(c.Executar(), -4);
        EXPECT_EQ(c.retorno_formatado.rfind(Header("Modulo") + "Error al enviar comando\r\nMotivo: la impresora dej\xF3 "
                                                                "de responder despu\xE9s de 7 bytes",
                                              0),
                  0u)
            << c.retorno_formatado;
        EXPECT_EQ(factory.Last().reads, 7 + 52);
        EXPECT_EQ(clock.Sleeps(), std::vector<int>(52, 300));
    }
    {
        SCOPED_TRACE("an answer longer than the 1024-byte buffer");
        factory.Add(Script().Hex("06 02 00").Forever(0x41));
        Comando c = Cmd("Modulo", "80 1", 0);
        c.SetTipo("GPRS");
        EXPECT_EQ(c.Executar(), -4);
        EXPECT_EQ(c.retorno_formatado, Header("Modulo"));
        EXPECT_EQ(factory.Last().reads, 1024);
        EXPECT_TRUE(c.resposta.empty());
    }
    {
        SCOPED_TRACE("cancel: no draining");
        factory.Add(Script().Hex("06 03 2A").Do([&] { ui.CancelNewest(); }).Text("AB"));
        Comando c = Cmd("Modulo", "80 1", 0);
        c.SetTipo("GPRS");
        EXPECT_EQ(c.Executar(), -5);
        EXPECT_EQ(c.retorno_formatado, Header("Modulo") + "Comando Anulado");
        EXPECT_EQ(factory.Last().reads, 4);
        EXPECT_TRUE(ui.waits.empty());
    }
    EXPECT_EQ(LogRecords(), 3);
}

// -------------------------------------------------------------------------- file pair

TEST_F(ExecucaoTest, FilePairFixedAnswer) {
    settings.PortName = "FILE";
    factory.AddFile(Script().Stale(HexToBytes("06 99 99")).ArriveHex(250, "06 41").ArriveHex(450, "42 00 00"));
    Comando c = Cmd("Archivo", "35 23", 2, {Ret("X", 2, "ASCII")});
    EXPECT_EQ(c.Executar(), 0);
    auto& t = factory.Last();
    EXPECT_EQ(t.open_arg, 0);
    EXPECT_EQ(t.written, Frame(0x1B, {0x23, 0x17}));  // the stale answer was purged first
    EXPECT_EQ(t.Count("Read"), 0);
    EXPECT_EQ(t.Count("Write"), 0);
    EXPECT_EQ(t.closes, 1);
    EXPECT_TRUE(t.destroyed);
    EXPECT_EQ(c.retornos[0].valor_formatado, "AB");
    EXPECT_EQ(c.dump.substr(c.dump.find("RET:")), "RET:  06 41 42 00 00\r\n");
    EXPECT_EQ(ui.waits, std::vector<std::string>{"Por favor, aguarde....."});
    ASSERT_EQ(ui.closed.size(), 2u);
    EXPECT_EQ(ui.closed[0].text, "Procesando retorno");
    EXPECT_EQ(ui.closed[1].text, "Recibiendo Retorno...");

    // Nothing arrives: one poll, then twelve empty takes 100 ms apart.
    clock.ClearSleeps();
    factory.AddFile(Script());
    Comando m = Cmd("Mudo", "35 23", 0);
    EXPECT_EQ(m.Executar(), -4);
    EXPECT_EQ(m.retorno_formatado, Header("Mudo") + "Error al enviar comando\r\nMotivo: la impresora no respondi\xF3 "
                                                    "durante 2 s despu\xE9s de enviado el comando por FILE.");
    std::vector<int> expected = {300};
    expected.insert(expected.end(), 12, 100);
    EXPECT_EQ(clock.Sleeps(), expected);

    // A refusal through the files.
    factory.AddFile(Script().ArriveHex(1, "15"));
    Comando n = Cmd("Nak", "35 23", 0);
    EXPECT_EQ(n.Executar(), -4);
    EXPECT_EQ(n.retorno_formatado, Header("Nak") + "COMANDO NO RECIBIDO");

    // Cancel while waiting for the file: no draining.
    ui.pumps = 0;
    ui.cancel_at_pump = 1;
    factory.AddFile(Script().ArriveHex(0, "06"));
    Comando x = Cmd("Anular", "35 23", 0);
    EXPECT_EQ(x.Executar(), -5);
    EXPECT_EQ(x.retorno_formatado, Header("Anular") + "Comando Anulado");
    EXPECT_EQ(factory.Last().closes, 1);
    EXPECT_EQ(LogRecords(), 4);
}

TEST_F(ExecucaoTest, FilePairWritesTheFrameOnceWhateverTheRequestFileTakes) {
    settings.PortName = "FILE";
    factory.AddFile(Script().PutLimit(3).ArriveHex(1, "06 00 00"));
    Comando c = Cmd("Partes", "35 23", 0);
    EXPECT_EQ(c.Executar(), 0);
    EXPECT_EQ(factory.Last().written, Frame(0x1B, {0x23, 0x17}));
    EXPECT_EQ(factory.Last().Count("PutRequest"), 3);

    // A request file that takes nothing does not hang the program.
    factory.AddFile(Script().PutLimit(0));
    Comando d = Cmd("Cerrado", "35 23", 0);
    EXPECT_EQ(d.Executar(), -4);
    EXPECT_EQ(factory.Last().Count("PutRequest"), 10);
}

// An answer file that can never be emptied: the command ends instead of waiting forever.
TEST_F(ExecucaoTest, FilePairWithAnAnswerFileThatCannotBeEmptied) {
    struct StuckFile : FilePairTransport {
        int Open(int) override { return 1; }
        void Close() override {}
        int Write(const uint8_t*, int, int) override { return 0; }
        int Read(uint8_t*, int, int) override { return 0; }
        int Purge() override {
            ++*purges;
            return 1;
        }
        int PutRequest(const uint8_t*, int count, uint32_t* written) override {
            *written = static_cast<uint32_t>(count);
            return 1;
        }
        int TakeResponse(uint8_t*, int, uint32_t* received) override {
            *received = 0;
            return 1;
        }
        uint32_t PendingBytes() override { return 5; }
        int* purges = nullptr;
    };
    int purges = 0;
    settings.PortName = "FILE";
    EngineEnv().transport_factory = [&](const std::string&, const Settings&) {
        auto t = std::make_unique<StuckFile>();
        t->purges = &purges;
        return std::unique_ptr<PrinterInterface>(std::move(t));
    };
    Comando c = Cmd("Atascado", "35 23", 0);
    EXPECT_EQ(c.Executar(), -4);
    EXPECT_EQ(purges, 50);
    EXPECT_LT(clock.MonotonicMs(), 60000);
}

TEST_F(ExecucaoTest, FilePairStatusFirstAnswer) {
    settings.PortName = "FILE";
    settings.ExtendedReturn = 1;
    factory.AddFile(Script().ArriveHex(100, "06 00 00 0E 00 41").ArriveHex(700, "0A 42 03 43"));
    Comando c = Cmd("Texto", "35 50", -1);
    EXPECT_EQ(c.Executar(), 0);
    // ST3 is read from the answer and not taken for text.
    EXPECT_EQ(c.retorno_formatado, "COMANDO OK\r\n\r\nTASA NO PROGRAMADA\r\n\r\nA\r\nB");
    EXPECT_EQ(c.dump.substr(c.dump.find("RET:")), "RET:  06 00 00 0E 00 41 0A 42 03\r\n");

    // Cancel while the response file is still growing.
    ui.pumps = 0;
    ui.cancel_at_pump = 1;
    factory.AddFile(Script().ArriveHex(0, "06"));
    Comando x = Cmd("Anular", "35 50", -1);
    EXPECT_EQ(x.Executar(), -5);
    EXPECT_EQ(x.retorno_formatado, Header("Anular") + "Comando Cancelado!");

    // Cancel later, while the text is awaited.
    ui.pumps = 0;
    ui.cancel_at_pump = 4;
    factory.AddFile(Script().ArriveHex(1, "06 00 00 00 00 41"));
    Comando y = Cmd("Anular", "35 50", -1);
    EXPECT_EQ(y.Executar(), -5);
    EXPECT_EQ(y.retorno_formatado, Header("Anular") + "Comando Anulado");
}

// ---------------------------------------------------------------------- transports

TEST_F(ExecucaoTest, TransportChoiceAndWriteTag) {
    settings.ExtendedReturn = 1;
    settings.PortName = "SOCKET";
    factory.Add(Script().Hex("06 41 42 00 00 00 00"));
    Comando c = Cmd("Sock", "35 23", 2, {Ret("X", 2, "ASCII")});
    EXPECT_EQ(c.Executar(), 0);
    EXPECT_EQ(factory.Last().port_name, "SOCKET");
    EXPECT_EQ(factory.Last().write_tags, std::vector<int>{7});  // the whole expected answer

    factory.Add(Script().Hex("06 00 00 00 00 03"));
    Comando e = Cmd("Sock", "35 50", -1);
    EXPECT_EQ(e.Executar(), 0);
    EXPECT_EQ(factory.Last().write_tags, std::vector<int>{-1});  // ends with its terminator

    settings.PortName = "USB";
    factory.Add(Script().Hex("06 00 00 00 00"));
    Comando u = Cmd("Usb", "35 23", 0);
    EXPECT_EQ(u.Executar(), 0);
    EXPECT_EQ(factory.Last().write_tags, std::vector<int>{20000});

    // A port setting for which no transport can be made: unanswered, without a crash.
    EngineEnv().transport_factory = [](const std::string&, const Settings&) {
        return std::unique_ptr<PrinterInterface>();
    };
    Comando n = Cmd("Nada", "35 23", 0);
    EXPECT_EQ(n.Executar(), -4);
    EXPECT_EQ(n.retorno_formatado,
              Header("Nada") + "Error al enviar comando\r\nMotivo: no hay transporte para el puerto USB.");
    EXPECT_EQ(LogRecords(), 4);
}

// --------------------------------------------------------------------------- "TESTE"

TEST_F(ExecucaoTest, TesteCommandsPauseAndSwitchThePort) {
    Comando pausa = Cmd("Pausa", "-1", 0, {}, {Par("ms", "INTEGER", 4, "1500")});
    pausa.SetTipo("TESTE");
    EXPECT_EQ(pausa.Executar(), 0);
    EXPECT_EQ(clock.Sleeps(), std::vector<int>{1500});
    EXPECT_EQ(factory.Created(), 0);
    EXPECT_EQ(pausa.retorno_formatado, "");
    EXPECT_EQ(pausa.tamanho_retorno, 0);

    struct Case {
        const char* argument;
        const char* before;
        const char* after;
    };
    for (Case k : {Case{"USB ", "COM1:", "USB"}, Case{"COM3", "USB", "COM3"}, Case{"COM8", "COM3", "COM8"},
                   Case{"COM9", "COM8", "COM8"}, Case{"USB", "COM8", "COM8"}, Case{"com1", "COM8", "COM8"},
                   Case{"COM1:", "COM8", "COM8"}}) {
        SCOPED_TRACE(k.argument);
        settings.PortName = k.before;
        Comando c = Cmd("Puerto", "-5", 0, {}, {Par("Puerto", "STRING", 4, k.argument)});
        c.SetTipo("TESTE");
        EXPECT_EQ(c.Executar(), 0);
        EXPECT_EQ(settings.PortName, k.after);
    }
    // Unknown escapes and a missing argument do nothing.
    Comando otro = Cmd("Otro", "-9", 0);
    otro.SetTipo("TESTE");
    EXPECT_EQ(otro.Executar(), 0);
    Comando sin = Cmd("Sin", "-1", 0);
    sin.SetTipo("TESTE");
    EXPECT_EQ(sin.Executar(), 0);
    EXPECT_EQ(factory.Created(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("log")));  // no record for "TESTE"
}

TEST_F(ExecucaoTest, TesteDateStep) {
    struct Case {
        const char* read;
        const char* written;
    };
    for (Case k : {Case{"28 12 09", "010110"}, Case{"15 02 09", "160209"}, Case{"30 04 09", "310409"},
                   Case{"28 05 09", "010609"}, Case{"28 12 99", "010100"}}) {
        SCOPED_TRACE(k.read);
        factory.Add(Script().Hex(std::string("06 ") + k.read + " 08 30 00 00 00"));
        factory.Add(Script().Hex("06 00 00"));
        const int before = factory.Created();
        Comando c = Cmd("Dia", "-4", 0);
        c.SetTipo("TESTE");
        EXPECT_EQ(c.Executar(), 0);
        ASSERT_EQ(factory.Created(), before + 2);
        EXPECT_EQ(factory.Records()[before]->written, Frame(0x1B, {0x23, 0x17}));
        std::vector<uint8_t> body = {0x02};
        for (char ch : std::string(k.written) + "080000") body.push_back(static_cast<uint8_t>(ch));
        body.push_back(0x30);
        EXPECT_EQ(factory.Records()[before + 1]->written, Frame(0x1B, body));
    }
    EXPECT_TRUE(ui.messages.empty());

    // The reading fails: nothing else happens.
    factory.Add(Script().Nak());
    Comando f = Cmd("Dia", "-4", 0);
    f.SetTipo("TESTE");
    const int before = factory.Created();
    EXPECT_EQ(f.Executar(), 0);
    EXPECT_EQ(factory.Created(), before + 1);
    EXPECT_TRUE(ui.messages.empty());

    // The setting fails: a message.
    factory.Add(Script().Hex("06 15 03 09 08 30 00 00 00"));
    factory.Add(Script().Nak());
    Comando g = Cmd("Dia", "-4", 0);
    g.SetTipo("TESTE");
    EXPECT_EQ(g.Executar(), 0);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"ERRO DE COMUNICA\xC7\xC3O"});
}

// Builds a stand-in parallel-port library that records its calls, with the compiler that
// built the tests. Empty when no compiler is at hand.
std::string BuildRecordingLibrary(const TempDir& dir, bool with_out32) {
    const std::string src = dir.File(with_out32 ? "rec.cpp" : "none.cpp");
    const std::string lib = dir.File(with_out32 ? "librec.so" : "libnone.so");
    std::ofstream(src) << (with_out32 ? "#include <cstdio>\n#include <cstdlib>\n"
                                        "extern \"C\" void Out32(short port, short value) {\n"
                                        "  if (FILE* f = std::fopen(std::getenv(\"ORDAVO_OUT32_LOG\"), \"a\")) {\n"
                                        "    std::fprintf(f, \"%d %d\\n\", port, value); std::fclose(f); }\n}\n"
                                      : "extern \"C\" void Nothing() {}\n");
    const std::string cmd = "c++ -shared -fPIC -o '" + lib + "' '" + src + "' 2>/dev/null";
    return std::system(cmd.c_str()) == 0 ? lib : std::string();
}

TEST_F(ExecucaoTest, TesteParallelPortBits) {
    auto run = [&](const char* escape, const char* argument) {
        Comando c = Cmd("Bit", escape, 0, {}, {Par("Valor", "STRING", 1, argument)});
        c.SetTipo("TESTE");
        EXPECT_EQ(c.Executar(), 0);
    };

    // A library that cannot be found.
    EngineEnv().inpout_library = "ordavo-no-such-library.so";
    run("-2", "1");
    EXPECT_EQ(ui.messages, std::vector<std::string>{"No fu\xE9 posible carregar la DLL"});
    ui.messages.clear();

    const std::string recording = BuildRecordingLibrary(dir, true);
    const std::string without = BuildRecordingLibrary(dir, false);
    if (recording.empty() || without.empty()) GTEST_SKIP() << "no C++ compiler to build a stand-in library";
    const std::string out = dir.File("out32.log");
    setenv("ORDAVO_OUT32_LOG", out.c_str(), 1);

    EngineEnv().inpout_library = recording;
    run("-2", "0");
    run("-3", "0");
    std::remove(out.c_str());
    run("-2", "1");  // bit 0 set: 1
    run("-3", "1");  // bit 1 set: 3
    run("-2", "0");  // bit 0 cleared, bit 1 kept: 2
    run("-2", "x");  // writes nothing
    run("-3", "");   // writes nothing
    run("-3", "0");  // 0
    EXPECT_EQ(ReadFile(out), "888 1\n888 3\n888 2\n888 0\n");
    EXPECT_TRUE(ui.messages.empty());

    // A library without Out32: nothing happens, no message.
    EngineEnv().inpout_library = without;
    run("-2", "1");
    EXPECT_EQ(ReadFile(out), "888 1\n888 3\n888 2\n888 0\n");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(factory.Created(), 0);

    // The stand-in of the build loads and exports Out32 (without a parallel port it writes
    // nothing and says nothing).
    std::string built = test::BinaryDir() + "/bin/inpout32.so";
    if (!std::filesystem::exists(built)) built = test::BinaryDir() + "/inpout32.so";
    if (std::filesystem::exists(built)) {
        EngineEnv().inpout_library = built;
        run("-2", "1");
        EXPECT_TRUE(ui.messages.empty());
    }
    unsetenv("ORDAVO_OUT32_LOG");
}

}  // namespace
}  // namespace ordavo
