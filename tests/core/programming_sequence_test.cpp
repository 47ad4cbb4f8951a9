// Programming a printer: the commands built from a configuration, reading a configuration
// back from the simulated printer, the sheet's rules, the save question, and a whole cycle
// of read, edit, program and read again against the simulated printer.
#include <gtest/gtest.h>

#include <deque>
#include <memory>

#include "engine/codepage.h"
#include "engine/env.h"
#include "engine/strings.h"
#include "engine/util.h"
#include "programming/core/programming.h"
#include "sim/frame.h"
#include "sim/options.h"
#include "sim/printer.h"
#include "sim/responder.h"
#include "tests/support/fake_clock.h"
#include "tests/support/paths.h"

namespace ordavo {
namespace {

// Message boxes answered from a list (Yes/OK when it runs out), and recorded.
class ScriptedUi : public UserInterface {
public:
    bool MessageBox(const std::string& text, const std::string&, MsgButtons, MsgIcon) override {
        messages.push_back(text);
        if (answers.empty()) return true;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    std::deque<bool> answers;
    std::vector<std::string> messages;
};

// The simulated printer on a line inside the test: every frame written is answered at once.
class SimLine : public PrinterInterface {
public:
    SimLine(sim::Responder& r, bool* silent) : responder_(r), silent_(silent) {}
    int Open(int) override { return 1; }
    void Close() override {}
    int Write(const uint8_t* b, int n, int) override {
        for (int i = 0; i < n; ++i)
            if (parser_.Feed(b[i]) == sim::FrameParser::Event::kFrame && !*silent_) {
                sim::Reply r = responder_.Answer(parser_.frame());
                answer_.insert(answer_.end(), r.bytes.begin(), r.bytes.end());
            }
        return 1;
    }
    int Read(uint8_t* b, int n, int) override {
        if (answer_.size() < static_cast<size_t>(n)) return 0;
        for (int i = 0; i < n; ++i) b[i] = answer_[static_cast<size_t>(i)];
        answer_.erase(answer_.begin(), answer_.begin() + n);
        return 1;
    }
    int Purge() override {
        answer_.clear();
        return 1;
    }

private:
    sim::Responder& responder_;
    bool* silent_;
    sim::FrameParser parser_;
    std::deque<uint8_t> answer_;
};

struct Rig {
    test::TempDir dir;
    test::FakeClock clock{test::LocalTime(2026, 3, 15, 10, 20, 30)};
    Settings settings;
    ScriptedUi ui;
    sim::Options options;
    sim::Catalog catalog;
    std::unique_ptr<sim::Printer> printer;
    std::unique_ptr<sim::Responder> responder;
    bool silent = false;

    Rig() {
        ResetEngineEnv();
        printer = std::make_unique<sim::Printer>(sim::PrinterState(), &catalog);
        responder = std::make_unique<sim::Responder>(options, *printer);
        settings.AppDirectory = dir.path();
        settings.PortName = "LINE";
        settings.ExtendedReturn = 1;
        Environment& env = EngineEnv();
        env.settings = &settings;
        env.clock = &clock;
        env.ui = &ui;
        env.transport_factory = [this](const std::string&, const Settings&) -> std::unique_ptr<PrinterInterface> {
            return std::make_unique<SimLine>(*responder, &silent);
        };
    }
    ~Rig() { ResetEngineEnv(); }
    sim::PrinterState& state() { return printer->state(); }
};

const Comando* Find(const SequenciaComandos& s, const std::string& escape, int nth = 0) {
    for (const Comando& c : s.comandos)
        if (c.escape == escape && nth-- == 0) return &c;
    return nullptr;
}

// The header command of a sequence built around `header`.
Comando Command3(const std::string& header) {
    Equipment e;
    e.cliche = header;
    for (const Comando& c : BuildProgrammingSequence(e, 1, "").comandos)
        if (c.escape == "3") return c;
    return Comando();
}

Equipment Sample() {
    Equipment e;
    e.numero_de_serie = "VE0100000001";
    e.CNPJ = "J-11111111-1";
    e.IE = "IE2";
    e.IM = "NIT3";
    e.UF = "SP";
    e.senha = kDefaultPassword;
    e.numero_da_loja = "0007";
    e.numero_do_caixa = "012";
    e.data = "150326";
    e.hora = "111213";
    e.cliche = "CLICHE_ENF_INI_XMLCasa Pe\xF1" "aCLICHE_ENF_END_XML\r\nCaracas";
    e.aliquota[0] = "1600";
    e.aliquota[1] = "0800";
    e.vinc = "0100000000000000";
    e.tot_nao_suj[0] = "Propinas";
    return e;
}

// ---------------------------------------------------------------- the sequence

TEST(ProgrammingSequence, IdentityLayoutByModelMask) {
    Rig rig;
    struct {
        int mask;
        size_t params;
        std::string titulo, tipo;
    } cases[] = {
        {1, 4, "Programa CGC/IE/IM", "Intervenci\xF3n Tecnica"},
        {254, 4, "Programa CGC/IE/IM", "Intervenci\xF3n Tecnica"},
        {255, 7, "Programa CNPJ/IE/IM", "Intervencao tecnica"},  // the start-up mask
        {65535, 7, "Programa CNPJ/IE/IM", "Intervencao tecnica"},
    };
    for (const auto& c : cases) {
        Equipment e = Sample();
        e.IM.clear();
        e.UF.clear();
        SequenciaComandos s = BuildProgrammingSequence(e, c.mask, "Heron 2 TH          ");
        EXPECT_EQ(s.titulo, "Programa maquina");
        const Comando* id = Find(s, "4");
        ASSERT_NE(id, nullptr) << c.mask;
        EXPECT_EQ(id->titulo, c.titulo) << c.mask;
        EXPECT_EQ(id->tipo, c.tipo) << c.mask;
        ASSERT_EQ(id->parametros.size(), c.params) << c.mask;
        EXPECT_EQ(id->parametros[c.params == 4 ? 2 : 4].valor, "X") << c.mask;
        for (const Comando& cmd : s.comandos) EXPECT_EQ(cmd.tamanho_retorno, 0) << cmd.titulo;
        // Blank registrations go out as blank fields, not as missing parameters.
        EXPECT_EQ(Comando(*id).MontarQuadro(), kExecOk) << c.mask;
    }
    EXPECT_TRUE(rig.ui.messages.empty());
}

TEST(ProgrammingSequence, PasswordOfTheWrongLengthIsShownAndNotSent) {
    Rig rig;
    struct {
        std::string password;
        bool message;
    } cases[] = {{kDefaultPassword, false}, {"C3C3", true}, {"", true}, {std::string(21, 'A'), true}};
    for (const auto& c : cases) {
        rig.ui.messages.clear();
        Equipment e = Sample();
        e.senha = c.password;
        SequenciaComandos s = BuildProgrammingSequence(e, 65535, "Heron 2 TH          ");
        Comando id = *Find(s, "4");
        EXPECT_EQ(rig.ui.messages.size(), c.message ? 1u : 0u) << c.password;
        if (c.message) {
            EXPECT_EQ(rig.ui.messages[0], "Se\xF1" "a com tamanho errado");
        }
        EXPECT_EQ(id.parametros[6].titulo, "SENHA");
        EXPECT_EQ(id.parametros[6].valor, c.message ? "" : c.password);
        // Without its password the command is refused before anything is sent.
        EXPECT_EQ(id.MontarQuadro(), c.message ? kExecSemValor : kExecOk) << c.password;
    }
}

TEST(ProgrammingSequence, EveryCommandEncodes) {
    Rig rig;
    Equipment e = Sample();
    for (int i = 0; i < Equipment::kTotalizers; ++i) e.tot_nao_suj[static_cast<size_t>(i)] = "Nombre " + std::to_string(i);
    e.Parametriza_Cupom_Conferencia = "3";
    for (int mask : {16, 255, 65535}) {
        SequenciaComandos s = BuildProgrammingSequence(e, mask, "Kestrel 2 R         ");
        for (Comando c : s.comandos) EXPECT_EQ(c.MontarQuadro(), kExecOk) << mask << " " << c.titulo << c.retorno_formatado;
    }
}

TEST(ProgrammingSequence, RateValue) {
    struct {
        std::vector<std::string> first;
        std::string expected;
    } cases[] = {
        {{"1700", "0000", "850", "1200"}, "02" "1700" "1200" + std::string(56, '0')},
        {{}, "00" + std::string(64, '0')},
        {{"0001", "99999", "1A00"}, "02" "0001" "1A00" + std::string(56, '0')},
    };
    for (const auto& c : cases) {
        Equipment e;
        for (size_t i = 0; i < c.first.size(); ++i) e.aliquota[i] = c.first[i];
        EXPECT_EQ(RateSequenceValue(e.aliquota), c.expected);
        EXPECT_EQ(RateSequenceValue(e.aliquota).size(), 66u);
    }
}

TEST(ProgrammingSequence, TotalizerNames) {
    Rig rig;
    Equipment e;
    e.tot_nao_suj[2] = "tres";
    e.tot_nao_suj[27] = "veintiocho";
    e.tot_nao_suj[28] = "veintinueve";
    e.tot_nao_suj[48] = "cuarenta y nueve";
    struct {
        int mask;
        std::vector<std::string> numbers;
    } cases[] = {{255, {"03", "28", "29"}}, {256, {"03", "28"}}};
    for (const auto& c : cases) {
        SequenciaComandos s = BuildProgrammingSequence(e, c.mask, "");
        std::vector<std::string> numbers;
        for (const Comando& cmd : s.comandos)
            if (cmd.escape == "40") numbers.push_back(cmd.parametros[0].valor);
        EXPECT_EQ(numbers, c.numbers) << c.mask;  // 49 of 50 and 29 of 30 are never sent
    }
    EXPECT_EQ(Find(BuildProgrammingSequence(e, 255, ""), "40")->parametros[1].valor, "tres");
}

TEST(ProgrammingSequence, SwitchesAndRestaurantCommands) {
    Rig rig;
    Equipment e;
    e.cupom_adicional = false;
    e.RZ_automatica = true;
    e.desc_ISS = true;
    e.vinc_CNF = true;
    e.RV_na_conferencia = false;
    e.Restaurante_Loja = "1";
    e.Parametriza_Cupom_Conferencia = "2";
    SequenciaComandos s = BuildProgrammingSequence(e, 255, "Kestrel 1 R         ");
    struct {
        const char* escape;
        const char* value;
    } expected[] = {{"68", "0"}, {"123", "1"}, {"80 64", "0"}, {"80 65", "1"}, {"84", "0"}, {"80 63", "1"}, {"80 57", "2"}};
    for (const auto& x : expected) {
        const Comando* c = Find(s, x.escape);
        ASSERT_NE(c, nullptr) << x.escape;
        EXPECT_EQ(c->parametros.at(0).valor, x.value) << x.escape;
    }
    e.Parametriza_Cupom_Conferencia = "-1";
    s = BuildProgrammingSequence(e, 255, "Kestrel 1 R         ");
    EXPECT_NE(Find(s, "80 63"), nullptr);
    EXPECT_EQ(Find(s, "80 57"), nullptr);
    for (const char* other : {"Kestrel 1           ", "Kestrel 1 R", "Heron 2 TH          "}) {
        s = BuildProgrammingSequence(Sample(), 255, other);
        EXPECT_EQ(Find(s, "80 63"), nullptr) << other;
        EXPECT_EQ(Find(s, "80 57"), nullptr) << other;
    }
}

TEST(ProgrammingSequence, HeaderSequencesReadBackAsMarkers) {
    const std::string header =
        "CLICHE_SUB_INI_XMLuCLICHE_SUB_END_XML CLICHE_IT_INI_XMLiCLICHE_IT_END_XML\r\n"
        "CLICHE_ENF_INI_XMLeCLICHE_ENF_END_XML CLICHE_EXP_INI_XMLxCLICHE_EXP_END_XML 4-W0";
    Comando c = Command3(header);
    c.quadro.Reset(0);
    ASSERT_EQ(c.CodificarParametros(), kExecOk);
    std::string bytes(reinterpret_cast<const char*>(c.quadro.data), static_cast<size_t>(c.quadro.length));
    EXPECT_EQ(bytes.find("CLICHE"), std::string::npos);
    ReplaceAll(bytes, "\n", "\r\n");  // as the answer's text shows line breaks
    EXPECT_EQ(HeaderWithMarkers(bytes), header + "\r\n");
}

// ---------------------------------------------------------------- the sheet's rules

TEST(ProgrammingSheet, Rules) {
    EXPECT_EQ(VincRadio("0100000000000001", 2), 1);
    EXPECT_EQ(VincRadio("0100000000000001", 16), 1);
    EXPECT_EQ(VincRadio("01", 3), 0);  // a short vinc: "0" for the missing rates
    EXPECT_EQ(VincRadio("0x", 2), 1);
    std::array<int, 16> radios{};
    radios[1] = 1;
    radios[15] = 2;
    EXPECT_EQ(VincFromRadios(radios), "0100000000000001");
    EXPECT_EQ(WithoutSpaces(" VE 0100 0000 01 "), "VE0100000001");

    struct {
        std::string restaurante, parametro;
        RestaurantChoice choice;
        std::string back_restaurante, back_parametro;
    } cases[] = {
        {"", "", {0, true, 0}, "0", "0"},  // no digits read as 0
        {"1", "-1", {1, false, 0}, "1", "-1"},
        {"0", "3", {0, true, 3}, "0", "3"},
        {"1x", "2abc", {1, true, 2}, "1", "2"},
    };
    for (const auto& c : cases) {
        Equipment e;
        e.Restaurante_Loja = c.restaurante;
        e.Parametriza_Cupom_Conferencia = c.parametro;
        RestaurantChoice got = RestaurantChoiceFrom(e);
        EXPECT_EQ(got.restaurant, c.choice.restaurant) << c.restaurante;
        EXPECT_EQ(got.check_coupon, c.choice.check_coupon) << c.parametro;
        EXPECT_EQ(got.parameter, c.choice.parameter) << c.parametro;
        ApplyRestaurantChoice(e, got);
        EXPECT_EQ(e.Restaurante_Loja, c.back_restaurante);
        EXPECT_EQ(e.Parametriza_Cupom_Conferencia, c.back_parametro);
    }

    Rig rig;
    std::string data, hora;
    ComputerDateTime(data, hora);
    EXPECT_EQ(data, "150326");
    EXPECT_EQ(hora, "102030");
}

TEST(ProgrammingSheet, SaveQuestion) {
    const std::string ask = "Desea grabar las modificaciones?";
    const std::string replace = "Deseas substituir el registro ya existente?";
    const std::string not_saved = "Registro no salvo";
    const std::string no_serial = "Para grabar el registro es necesario informar un n\xFAmero serial.";
    struct Case {
        const char* name;
        std::string serial;
        std::deque<bool> answers;
        bool saved;
        std::vector<std::string> messages;
        std::vector<std::string> clients;  // of the serial "S1" in the file afterwards
    } cases[] = {
        {"declined", "S2", {false}, false, {ask}, {"old"}},
        {"no serial", "", {true}, false, {ask, no_serial}, {"old"}},
        {"new serial", "S2", {true}, true, {ask}, {"old"}},
        {"replacement declined", "S1", {true, false}, false, {ask, replace, not_saved}, {"old"}},
        {"replaced", "S1", {true, true}, true, {ask, replace}, {"new"}},
    };
    for (Case& c : cases) {
        Rig rig;
        const std::string file = rig.dir.File("equipamentos.xml");
        ConfigurationsControl seed(file);
        Equipment old;
        old.numero_de_serie = "S1";
        old.cliente = "old";
        seed.records = {old};
        ASSERT_EQ(seed.WriteEquipments(), 0);

        Equipment e;
        e.numero_de_serie = c.serial;
        e.cliente = "new";
        rig.ui.answers = c.answers;
        EXPECT_EQ(OfferToSave(e, file, rig.ui), c.saved) << c.name;
        EXPECT_EQ(rig.ui.messages, c.messages) << c.name;
        ConfigurationsControl after(file);
        ASSERT_EQ(after.ReadEquipments(), 0);
        std::vector<std::string> clients;
        for (const Equipment& r : after.records)
            if (r.numero_de_serie == "S1") clients.push_back(r.cliente);
        EXPECT_EQ(clients, c.clients) << c.name;
        EXPECT_EQ(after.records.size(), c.saved && c.serial == "S2" ? 2u : 1u) << c.name;
    }

    // A store that cannot be written.
    Rig rig;
    Equipment e;
    e.numero_de_serie = "S9";
    EXPECT_FALSE(OfferToSave(e, rig.dir.File("missing/equipamentos.xml"), rig.ui));
    EXPECT_EQ(rig.ui.messages.back(), not_saved);
}

// ---------------------------------------------------------------- against the printer

TEST(ProgrammingPrinter, ReadsTheConfigurationByModelMask) {
    Rig rig;
    sim::PrinterState& s = rig.state();
    s.serial = "VE0100000123";
    s.rif = "J-1";
    s.nit = "N-2";
    s.im = "M-3";
    s.uf = "RJ";
    s.store = 12;
    s.till = 34;
    s.summer_time = true;
    s.header = "\x1B" "EBold\x1B" "F\nline 2\n";
    s.rates = {"1600", "0800"};
    for (int i = 2; i < 16; ++i) s.rates[static_cast<size_t>(i)] = "0000";
    s.rate_count = 2;
    s.vinc = {};
    s.vinc[1] = true;
    s.totalizers[0] = "Uno";
    s.totalizers[8] = "Nueve";
    s.totalizers[29] = "Treinta";
    s.ticket_mode = true;

    struct {
        int mask;
        std::string serial, im, uf, last_name;
    } cases[] = {{255, "VE0100000123", "", "", ""}, {65535, "VE0100000123", "M-3", "RJ", "Treinta"}};
    for (const auto& c : cases) {
        Equipment e;
        e.IM = "kept?";
        e.UF = "kept?";
        e.cliente = "Cliente";
        e.cupom_adicional = true;
        ASSERT_EQ(ReadPrinterConfiguration(e, c.mask), 0) << c.mask;
        EXPECT_EQ(e.numero_de_serie, c.serial);
        EXPECT_EQ(e.CNPJ, "J-1");
        EXPECT_EQ(e.IE, "N-2");
        EXPECT_EQ(e.IM, c.im);
        EXPECT_EQ(e.UF, c.uf);
        EXPECT_EQ(e.numero_da_loja, "0012");
        EXPECT_EQ(e.numero_do_caixa, "034");
        EXPECT_EQ(e.data.size(), 6u);
        EXPECT_EQ(e.hora.size(), 6u);
        EXPECT_TRUE(e.horario_de_verao);
        EXPECT_EQ(e.cliche, "CLICHE_ENF_INI_XMLBoldCLICHE_ENF_END_XML\r\nline 2\r\n");
        EXPECT_EQ(e.aliquota[0], "1600");
        EXPECT_EQ(e.aliquota[1], "0800");
        EXPECT_EQ(e.aliquota[2], "0000");
        EXPECT_EQ(e.vinc, "0100000000000000");
        EXPECT_EQ(e.tot_nao_suj[0], "Uno");
        EXPECT_EQ(e.tot_nao_suj[8], "Nueve");
        EXPECT_EQ(e.tot_nao_suj[29], c.last_name);
        EXPECT_TRUE(e.Bilhete_passagem);
        EXPECT_EQ(e.cliente, "Cliente");  // nothing reads these
        EXPECT_TRUE(e.cupom_adicional);
    }
    s.ticket_mode = false;
    Equipment e;
    e.Bilhete_passagem = true;
    ASSERT_EQ(ReadPrinterConfiguration(e, 255), 0);
    EXPECT_FALSE(e.Bilhete_passagem);
    EXPECT_TRUE(rig.ui.messages.empty());
}

TEST(ProgrammingPrinter, ASilentPrinterGivesOneMessage) {
    Rig rig;
    rig.silent = true;
    Equipment e;
    e.numero_de_serie = "before";
    EXPECT_EQ(ReadPrinterConfiguration(e, 255), kExecSemResposta);
    EXPECT_EQ(rig.ui.messages, std::vector<std::string>{Str(IDS_ERROR_ENVIAR)});
    EXPECT_EQ(e.numero_de_serie, "before");
}

TEST(ProgrammingPrinter, ReadEditProgramReadAgain) {
    for (int mask : {255, 2}) {
        Rig rig;
        rig.state().intervention = true;
        const std::string model = mask == 2 ? "Kestrel 1 R         " : "Heron 2 TH          ";
        Equipment e;
        ASSERT_EQ(ReadPrinterConfiguration(e, mask), 0);
        e.cliche = "CLICHE_SUB_INI_XMLNuevo Clich\xE9" "CLICHE_SUB_END_XML\r\nSegunda l\xEDnea";
        e.aliquota[0] = "1250";
        e.aliquota[2] = "0700";
        e.vinc = "0010000000000000";
        e.tot_nao_suj[3] = "Donaciones";
        e.CNPJ = "J-99999999-9";
        e.senha = kDefaultPassword;
        e.numero_da_loja = "0009";
        e.numero_do_caixa = "005";
        e.RZ_automatica = true;
        e.cupom_adicional = true;
        e.Bilhete_passagem = true;
        e.Restaurante_Loja = "0";
        e.Parametriza_Cupom_Conferencia = "2";
        e.data = "010426";
        e.hora = "080910";
        SequenciaComandos s = BuildProgrammingSequence(e, mask, model);
        EXPECT_EQ(RunProgramming(s), 0) << Cp1252ToUtf8(s.resultado);
        EXPECT_EQ(s.resultado.find("COMANDO NO EJECUTADO"), std::string::npos) << Cp1252ToUtf8(s.resultado);
        EXPECT_NE(s.dump_total.find("CMD:"), std::string::npos);

        Equipment again;
        ASSERT_EQ(ReadPrinterConfiguration(again, mask), 0);
        EXPECT_EQ(again.cliche, e.cliche + "\r\n");  // the printer ends its header with a line feed
        EXPECT_EQ(again.aliquota[0], "1250");
        EXPECT_EQ(again.aliquota[1], "0800");  // the printer's second rate stays
        EXPECT_EQ(again.aliquota[2], "0700");
        EXPECT_EQ(again.vinc, "0010000000000000");
        EXPECT_EQ(again.tot_nao_suj[3], "Donaciones");
        EXPECT_EQ(again.CNPJ, "J-99999999-9");
        EXPECT_EQ(again.numero_da_loja, "0009");
        EXPECT_EQ(again.numero_do_caixa, "005");
        EXPECT_EQ(again.data, "010426");
        EXPECT_TRUE(again.Bilhete_passagem);
        EXPECT_TRUE(rig.state().z_automatica);
        EXPECT_TRUE(rig.state().cupon_adicional);
        EXPECT_EQ(rig.state().restaurant, mask == 2 ? 0 : 1);
        EXPECT_EQ(rig.state().cupom_conferencia, mask == 2 ? 2 : -1);
    }
}

TEST(ProgrammingPrinter, OutsideInterventionNothingChanges) {
    Rig rig;
    const sim::PrinterState before = rig.state();
    Equipment e;
    ASSERT_EQ(ReadPrinterConfiguration(e, 255), 0);  // readings answer in any mode
    e.cliche = "Otro";
    e.aliquota[0] = "1250";
    e.tot_nao_suj[3] = "Donaciones";
    e.senha = kDefaultPassword;
    SequenciaComandos s = BuildProgrammingSequence(e, 255, "Heron 2 TH          ");
    RunProgramming(s);
    // Every command but the clock is refused with the printer's own return code.
    size_t refused = 0;
    for (size_t at = 0; (at = s.resultado.find("NO EN INTERVENCI\xD3N", at)) != std::string::npos; ++at) ++refused;
    EXPECT_EQ(refused, s.comandos.size() - 1) << Cp1252ToUtf8(s.resultado);
    EXPECT_EQ(rig.state().header, before.header);
    EXPECT_EQ(rig.state().rates, before.rates);
    EXPECT_EQ(rig.state().totalizers, before.totalizers);
    EXPECT_EQ(rig.state().rif, before.rif);
}

}  // namespace
}  // namespace ordavo
