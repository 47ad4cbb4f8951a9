// The editors on a terminal: typed lines in, questions out, the same answers as the windows
// give, and end of input as Cancel.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine/codepage.h"
#include "engine/env.h"
#include "params/core/editar_valor.h"
#include "params/core/terminal_editors.h"
#include "tests/support/fake_clock.h"

namespace ordavo {
namespace {

// A terminal session: `typed` is what the user enters (UTF-8), Questions() what was shown.
class Session {
  public:
    explicit Session(const std::string& typed) : input_(typed) {
        in_ = fmemopen(input_.data(), input_.size(), "r");
        if (input_.empty()) in_ = fopen("/dev/null", "r");
        out_ = open_memstream(&out_buffer_, &out_size_);
        editors_ = std::make_unique<TerminalEditors>(in_, out_);
    }
    ~Session() {
        editors_.reset();
        std::fclose(in_);
        std::fclose(out_);
        std::free(out_buffer_);
    }
    TerminalEditors& editors() { return *editors_; }
    std::string Questions() {
        std::fflush(out_);
        return std::string(out_buffer_, out_size_);
    }
    std::string Edit(const std::string& formato, int tamanho, const std::string& titulo = "T",
                     const std::string& valor = "") {
        Parametro p;
        p.formato = formato;
        p.tamanho = tamanho;
        p.titulo = titulo;
        p.valor = valor;
        return EditarValor(p, *editors_);
    }

  private:
    std::string input_;
    std::FILE* in_ = nullptr;
    std::FILE* out_ = nullptr;
    char* out_buffer_ = nullptr;
    size_t out_size_ = 0;
    std::unique_ptr<TerminalEditors> editors_;
};

const std::string kCancel(kMarcaAnulacao);

class ParamsTerminal : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetEngineEnv();
        ResetTaxRateTable();
        EngineEnv().clock = &clock;
    }
    void TearDown() override {
        ResetEngineEnv();
        ResetTaxRateTable();
    }
    test::FakeClock clock{test::LocalTime(2024, 3, 5, 9, 8, 7)};
};

TEST_F(ParamsTerminal, PlainTypes) {
    struct Case {
        const char* formato;
        int tamanho;
        std::string valor, typed, value;
    };
    const Case cases[] = {
        {"STRING", 16, "", "ABC\n", "ABC" + std::string(13, ' ')},
        {"STRING_VAR_SIZE", 4, "", "ABCDEF\nABC\n", "ABC"},  // too long: asked again
        {"STRING", 5, "A\xF1o", "\n", "A\xF1o  "},           // Enter keeps the preset
        {"STRING", 5, "X", "-\n", ""},                       // "-" empties it
        {"STRING", 3, "", "A\xC3\xB1o\n", "A\xF1o"},         // UTF-8 typed, Windows-1252 inside
        {"DIG_HEX", 2, "", "1g\n1bff\n", "1BFF"},
        {"INTEGER", 4, "", "12a\n12345\n7\n", "0007"},
        {"FINANCE", 14, "", "12,5\n", "00000000001250"},
        {"FINANCE", 8, "1250", "\n", "00001250"},  // Enter: the box as it opened
        {"PERCENTAGE", 4, "", "10,5\n", "1050"},
        {"DATA", 6, "", "31/02/2024\n29/02/2024\n", "290224"},
        {"DATA_2_2_4", 8, "", "\n", "05032024"},  // today, from the clock
        {"HORA", 6, "", "25:00\n23:59:01\n", "235901"},
        {"HORA", 6, "", "\n", "090807"},
        {"BIG_STRING", 100, "", "L1\nL2\n.\n", "L1\r\nL2"},
        {"CHEQUE_POS", 13, "01020304050607080910111213", "5\n\n\n\n\n\n\n\n\n\n\n\n99\n",
         "05020304050607080910111299"},
        {"CLICHE", 186, "", "ABC\nse\n\n\n\n\nn\n",
         "CLICHE_SUB_INI_XMLCLICHE_EXP_INI_XMLABCCLICHE_SUB_END_XMLCLICHE_EXP_END_XML\r\n\r\n\r\n"},
        {"CLICHE", 186, "", "ABC\n\nx\n\n\n\nsi\n",
         std::string(22, ' ') + "ABC\r\n" + std::string(23, ' ') + "x\r\n" + std::string(23, ' ') + "\r\n"},
    };
    for (const Case& c : cases) {
        Session s(c.typed);
        EXPECT_EQ(s.Edit(c.formato, c.tamanho, "Pregunta", c.valor), c.value) << c.formato << " " << c.typed;
    }
    Session preset("\n");
    EXPECT_EQ(preset.Edit("FINANCE", 8, "P", "1250"), "00001250");
    EXPECT_NE(preset.Questions().find("\nP\n"), std::string::npos);  // the description
    EXPECT_NE(preset.Questions().find("[12,50]"), std::string::npos);
}

TEST_F(ParamsTerminal, EndOfInputCancels) {
    for (const char* t : {"STRING", "INTEGER", "FINANCE", "PERCENTAGE", "DATA", "HORA", "BIG_STRING",
                          "CHEQUE_POS", "CLICHE", "DISCOUNT", "FECHA_CUPOM"}) {
        Session s("");
        EXPECT_EQ(s.Edit(t, 8), kCancel) << t;
    }
    {
        // Half-way through a multi-line text.
        Session s("L1\n");
        EXPECT_EQ(s.Edit("BIG_STRING", 100), kCancel);
    }
    {
        Session s("");
        EXPECT_EQ(s.Edit("OPTIONS", 1, "A(1) ou B(2)"), "");
    }
}

TEST_F(ParamsTerminal, ChoicesAreNumberedLists) {
    {
        Session s("3\n2\n");
        EXPECT_EQ(s.Edit("OPTIONS", 1, "Normal (0) ou Simplificada (1)"), "1");
        std::string q = s.Questions();
        EXPECT_NE(q.find(" 1) Normal "), std::string::npos) << q;
        EXPECT_NE(q.find(" 2)  Simplificada "), std::string::npos) << q;
        EXPECT_EQ(q.find(" 3)"), std::string::npos) << "hidden buttons are not offered";
        EXPECT_NE(q.find(" 0) Anular"), std::string::npos);
        EXPECT_NE(q.find("Give the number"), std::string::npos);
    }
    {
        // Blank captions of buttons 1 and 2 are still offered.
        Session s("1\n");
        EXPECT_EQ(s.Edit("OPTIONS", 1, "sin lista"), "");
        EXPECT_NE(s.Questions().find(" 1) (blank)"), std::string::npos);
    }
    {
        // 0 is Anular.
        Session s("0\n");
        EXPECT_EQ(s.Edit("DISCOUNT", 8), kCancel);
    }
    {
        // Mnemonics are not shown; both kinds of one chain.
        Session s("3\n1\n10,5\n2\n");
        EXPECT_EQ(s.Edit("FECHA_CUPOM", 384), "X10500200");
        EXPECT_NE(s.Questions().find(" 3) Incremento y descuento"), std::string::npos);
        EXPECT_EQ(s.Questions().find("&"), std::string::npos);
    }
    {
        Session s("3\n2\n1,5\n2,25\n");
        EXPECT_EQ(s.Edit("FECHA_CUPOM", 384), "x0000000000015000000000000225");
    }
    {
        // The output window cancelled by end of input: the interval without a letter.
        Session s("2\n1\n7\n");
        EXPECT_EQ(s.Edit("LEIT_MEM_FISCAL", 13), "000001000007");
    }
    {
        Session s("1\n");
        EXPECT_EQ(s.Edit("CAR_GRAF_AUTENTICACAO", 18), "804020100804020102040810204080808080");
        EXPECT_EQ(s.Questions().find(" 3)"), std::string::npos);
    }
}

TEST_F(ParamsTerminal, QuestionsAndTaxRates) {
    {
        // Two descriptions with TEF, answered with s/n.
        Session s("Efectivo\ns\nsi\nTarjeta\nmaybe\nn\nn\n");
        EXPECT_EQ(s.Edit("DESCR_FORMA_PAGAMENTO", 80), "Efectivo        1Tarjeta         0");
        EXPECT_NE(s.Questions().find("Permite TEF? (s/n)"), std::string::npos);
        EXPECT_NE(s.Questions().find("Answer s (yes) or n (no)"), std::string::npos);
    }
    {
        // Rates: Enter keeps the preset; the IVA line is not asked for rates only.
        std::string typed = "2\n1800\n5\n";
        for (int k = 2; k < 16; ++k) typed += "\n";
        Session s(typed);
        std::string v = s.Edit("TROCA_SIT_TRIB", 64);
        EXPECT_EQ(v,
                  "02"
                  "1800"
                  "0005" +
                      std::string(56, '0'));
        EXPECT_EQ(TaxRateTable()[1], "0005");
        EXPECT_EQ(s.Questions().find("no IVA"), std::string::npos);
    }
    {
        // IVA links: rates shown, not asked; one line of 16 choices.
        TaxRateTable()[0] = "1800";
        Session s("01\n0100000000000001\n");
        EXPECT_EQ(s.Edit("VINC_ISS", 16), "0100000000000001");
        EXPECT_NE(s.Questions().find("Al\xC3\xAD"
                                     "cuota 01: 1800"),
                  std::string::npos);
        EXPECT_NE(s.Questions().find("Sixteen characters"), std::string::npos);
    }
    {
        Session s("");
        EXPECT_EQ(s.Edit("VINC_ISS", 16), "");
    }
    {
        // The date-and-time question of the form: the clock, and the summer-time answer.
        Session s("s\n");
        HourEditor e;
        e.date_and_time = true;
        auto a = s.editors().GetHour(e);
        ASSERT_TRUE(a);
        EXPECT_EQ(a->summer_time, 1);
        EXPECT_EQ(TimeHHMMSS(*a), "090807");
        EXPECT_NE(s.Questions().find("Fecha: 05/03/2024"), std::string::npos);
    }
}

}  // namespace
}  // namespace ordavo
