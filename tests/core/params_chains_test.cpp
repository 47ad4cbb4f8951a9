// Every type of the value dispatcher and every chain of editors, walked with scripted answers:
// which windows open with what, what comes back, and where a cancel yields the cancel marker,
// the empty text, a partial value or the catalog value. Then the parameter form's opening, fill
// walk, "Editar" and run step over a scripted printer.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "engine/env.h"
#include "engine/util.h"
#include "params/core/command_form.h"
#include "params/core/editar_valor.h"
#include "tests/support/fake_clock.h"
#include "tests/support/paths.h"
#include "tests/support/scripted_transport.h"

namespace ordavo {
namespace {

const std::string kCancel(kMarcaAnulacao);

// The user, from a script with one entry per window: what is typed into the box ("=" leaves it
// as it opened), the number of the button pressed, "1"/"0" for Yes/No, "II,DD" for a percentage,
// "DD/MM/YYYY" for a date, "HH:MM:SS" (a trailing "+" ticks summer time) for a time, and "!" for
// Anular. Every window is logged as Kind(description|details).
class Scripted : public ValueEditors {
  public:
    Scripted(std::initializer_list<std::string> s = {}) : script(s) {}

    std::deque<std::string> script;
    std::vector<std::string> log;
    std::function<void(TaxRatePage&)> on_rates;  // what is done on the tax-rate page before OK
    ClicheInput cliche;

    std::string Log() const {
        std::string all;
        for (const std::string& l : log) all += (all.empty() ? "" : " ") + l;
        return all;
    }

    std::optional<std::string> GetString(const StringEditor& e) override {
        std::string a;
        if (!Next(Format("S(%s|%d%s%s|%s)", e.description.c_str(), e.limit, e.padded ? "" : " var",
                         e.hex ? " hex" : "", e.initial.c_str()),
                  a))
            return std::nullopt;
        return StringAnswer(a == "=" ? e.initial : a, e.limit, e.padded, e.hex);
    }
    std::optional<std::string> GetBigString(const BigStringEditor& e) override {
        std::string a;
        if (!Next(Format("B(%s|%d|%s)", e.description.c_str(), e.limit, e.initial.c_str()), a))
            return std::nullopt;
        return BigStringAnswer(a == "=" ? e.initial : a, e.limit);
    }
    std::optional<std::string> GetInteger(const IntegerEditor& e) override {
        std::string a;
        if (!Next(Format("I(%s|%d|%s)", e.description.c_str(), e.limit, e.initial.c_str()), a))
            return std::nullopt;
        return IntegerAnswer(a == "=" ? e.initial : a, e.limit);
    }
    std::optional<std::string> GetFinance(const FinanceEditor& e) override {
        std::string a;
        if (!Next(Format("F(%s|%d,%d|%s)", e.description.c_str(), e.integer_digits, e.decimal_digits,
                         e.initial.c_str()),
                  a))
            return std::nullopt;
        // "=": the box as it opened; otherwise the digits keyed one by one into an emptied box.
        FinanceBox box{"", 0};
        if (a == "=") {
            box = FinanceReformat(FinanceInitialText(e.initial, e.integer_digits, e.decimal_digits), 0,
                                  e.decimal_digits);
            a.clear();
        }
        for (char c : a) {
            std::string t = box.text;
            t.insert(static_cast<size_t>(box.caret), 1, c);
            box = FinanceReformat(t, box.caret + 1, e.decimal_digits);
        }
        return FinanceAnswer(box.text, e.integer_digits, e.decimal_digits);
    }
    std::optional<PercentAnswer> GetPercent(const PercentEditor& e) override {
        std::string a;
        if (!Next("P(" + e.description + ")", a)) return std::nullopt;
        size_t comma = a.find(',');
        return MakePercentAnswer(a.substr(0, comma), comma == std::string::npos ? "" : a.substr(comma + 1));
    }
    std::optional<Date> GetDate(const DateEditor& e) override {
        std::string a;
        if (!Next("D(" + e.description + ")", a)) return std::nullopt;
        Date d;
        EXPECT_EQ(std::sscanf(a.c_str(), "%d/%d/%d", &d.day, &d.month, &d.year), 3) << a;
        return d;
    }
    std::optional<HourAnswer> GetHour(const HourEditor& e) override {
        std::string a;
        if (!Next(Format("H(%s%s)", e.description.c_str(), e.date_and_time ? "|date and time" : ""), a))
            return std::nullopt;
        HourAnswer h;
        EXPECT_EQ(std::sscanf(a.c_str(), "%d:%d:%d", &h.hour, &h.minute, &h.second), 3) << a;
        h.summer_time = a.back() == '+' ? 1 : 0;
        return h;
    }
    std::optional<int> GetOption(const OptionEditor& e) override {
        std::string captions;
        size_t last = 0;
        for (size_t k = 0; k < e.captions.size(); ++k)
            if (!e.captions[k].empty()) last = k + 1;
        for (size_t k = 0; k < std::max<size_t>(last, 2); ++k) captions += (k ? "," : "") + e.captions[k];
        std::string a;
        if (!Next("O(" + e.description + "|" + captions + ")", a)) return std::nullopt;
        int k = std::atoi(a.c_str());
        EXPECT_TRUE(OptionButtonVisible(e, k)) << "button " << k << " is hidden";
        return k;
    }
    std::optional<std::string> GetCheque(const ChequeEditor& e) override {
        std::string preset;
        for (const std::string& b : e.initial) preset += b.empty() ? "." : b;
        std::string a;
        if (!Next("C(" + preset + ")", a)) return std::nullopt;
        return ChequeAnswer(e.initial);
    }
    std::optional<std::string> GetCliche() override {
        std::string a;
        if (!Next("L()", a)) return std::nullopt;
        return ComposeCliche(cliche);
    }
    bool AskYesNo(const std::string& text, MsgIcon icon) override {
        std::string a;
        std::string t = text;
        ReplaceAll(t, "\r\n", "/");
        return Next("Y(" + t + (icon == MsgIcon::Exclamation ? "|!" : "") + ")", a) && a == "1";
    }
    bool EditTaxRates(TaxRatePage& page) override {
        std::string rates;
        for (size_t k = 0; k < page.rates.size(); ++k) rates += (k ? "," : "") + page.rates[k];
        std::string iva;
        for (int v : page.iva) iva += static_cast<char>('0' + v);
        std::string a;
        if (!Next("T(" + rates + "|" + iva + (page.read_only_rates ? "|read-only" : "") +
                      (page.rates_only ? "|rates only" : "") + ")",
                  a))
            return false;
        if (on_rates) on_rates(page);
        return true;
    }

  private:
    bool Next(const std::string& entry, std::string& answer) {
        log.push_back(entry);
        if (script.empty()) {
            ADD_FAILURE() << "no scripted answer for " << entry;
            return false;
        }
        answer = script.front();
        script.pop_front();
        return answer != "!";
    }
};

Parametro Par(std::string formato, int tamanho, std::string titulo = "T", std::string valor = "",
              int obl = 1) {
    Parametro p;
    p.formato = std::move(formato);
    p.tamanho = tamanho;
    p.titulo = std::move(titulo);
    p.valor = std::move(valor);
    p.obrigatorio = obl;
    return p;
}

struct Case {
    Parametro p;
    std::vector<std::string> script;
    std::string value;
    std::string log;  // checked when not empty
};

class ParamsChains : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetEngineEnv();
        ResetTaxRateTable();
    }
    void TearDown() override {
        ResetEngineEnv();
        ResetTaxRateTable();
        SetCurrentEditors(nullptr);
    }
    void Check(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            std::string script;
            for (const std::string& s : c.script) script += "[" + s + "]";
            SCOPED_TRACE(c.p.formato + " " + script);
            Scripted ed;
            ed.script.assign(c.script.begin(), c.script.end());
            EXPECT_EQ(EditarValor(c.p, ed), c.value);
            EXPECT_TRUE(ed.script.empty()) << ed.script.size() << " answers left over";
            if (!c.log.empty()) {
                EXPECT_EQ(ed.Log(), c.log);
            }
        }
    }
};

TEST_F(ParamsChains, PlainTypes) {
    const std::string pad13(13, ' ');
    Check({
        {Par("STRING", 16, "Nombre", "X"), {"ABC"}, "ABC" + pad13, "S(Nombre|16|X)"},
        {Par("STRING", 16), {""}, "", ""},
        {Par("STRING", 4, "N", "ABCD"), {"="}, "ABCD", ""},
        {Par("STRING_VAR_SIZE", 40), {"ABC"}, "ABC", "S(T|40 var|)"},
        {Par("STRING_VAR_SIZE_LINE", 40), {"A "}, "A ", "S(T|40 var|)"},
        {Par("STRING_VAR_SIZE_WITHOUT_CR", 40), {"Q"}, "Q", "S(T|40 var|)"},
        {Par("DIG_HEX", 2), {"1bff"}, "1BFF", "S(T|4 hex|)"},
        {Par("DIG_HEX", 3), {"1B"}, "1B    ", ""},
        {Par("CUPOM_OU_BILHETE_CONV_156", 1), {"b"}, "b", "S(T|1|)"},
        {Par("INTEGER", 4, "N", "12"), {"7"}, "0007", "I(N|4|12)"},
        {Par("INTEGER", 4), {""}, "", ""},
        {Par("BCD_INTEGER", 2, "N", "5"), {"="}, "05", "I(N|2|5)"},
        {Par("BINARIO", 1, "B", "9"), {"25"}, "025", "I(B|3|9)"},
        {Par("DATA", 6), {"05/03/2024"}, "050324", "D(Selecione la fecha)"},
        {Par("DATA_2_2_4", 8), {"05/03/2024"}, "05032024", "D(Selecione la fecha)"},
        {Par("HORA", 6), {"07:05:09"}, "070509", "H(Selecione la hora)"},
        {Par("PERCENTAGE", 4, "Tasa"), {"10,5"}, "1005", "P(Tasa)"},
        {Par("BIG_STRING", 100, "Texto", "L1"), {"A\nB"}, "A\r\nB", "B(Texto|100|L1)"},
        {Par("BIG_STRING_VAR_SIZE", 10), {"="}, "", "B(T|10|)"},
        // Money: FINANCE of size 14 gives 14 digits, the last two decimals.
        {Par("FINANCE", 14, "Precio", "999"), {"12345"}, "00000000012345", "F(Precio|12,2|999)"},
        {Par("FINANCE", 8, "P", "1250"), {"="}, "00001250", ""},
        {Par("FINANCE", 8), {"="}, "00000000", "F(T|6,2|)"},
        {Par("FINANCE_3", 8, "Q", "125"), {"="}, "00000000", "F(Q|5,3|)"},  // used only when longer than 3
        {Par("FINANCE_3", 8, "Q", "1250"), {"="}, "00001250", "F(Q|5,3|1250)"},
        {Par("FINANCE", 1), {"5"}, "05", "F(T|0,2|)"},  // never a negative digit count
        // Cheque: a 26-character value presets the 13 boxes in answer order.
        {Par("CHEQUE_POS", 13, "C", "01020304050607080910111213"),
         {"="},
         "01020304050607080910111213",
         "C(01020304050607080910111213)"},
        {Par("CHEQUE_POS", 13, "C", "0102"), {"="}, std::string(26, '0'), "C(.............)"},
        {Par("CLICHE", 186), {"ok"}, "\r\n\r\n\r\n", "L()"},
    });
    // Whichever editor a plain type opens, its Cancel gives the marker.
    for (const char* t :
         {"STRING", "STRING_VAR_SIZE", "STRING_VAR_SIZE_LINE", "STRING_VAR_SIZE_WITHOUT_CR", "DIG_HEX",
          "CUPOM_OU_BILHETE_CONV_156", "INTEGER", "BCD_INTEGER", "BINARIO", "DATA", "DATA_2_2_4", "HORA",
          "FINANCE", "FINANCE_3", "PERCENTAGE", "BIG_STRING", "BIG_STRING_VAR_SIZE", "CHEQUE_POS", "CLICHE"})
        Check({{Par(t, 8), {"!"}, kCancel, ""}});
    // A type not in the table gives the empty text at once.
    for (const char* t :
         {"NOT_EDITABLE", "DIG_HEX_NOT_EDITABLE", "RANDOM_STRING", "RANDOM_NUMBER", "STRNG", "string", ""})
        Check({{Par(t, 4, "T", "catalog"), {}, "", ""}});
}

TEST_F(ParamsChains, OptionsAndDiscount) {
    const std::string normal = "Normal (0) ou Simplificada (1)";
    Check({
        {Par("OPTIONS", 1, normal), {"1"}, "0", "O(|Normal , Simplificada )"},
        {Par("OPTIONS", 1, normal), {"2"}, "1", ""},
        {Par("OPTIONS", 1, normal), {"!"}, "", ""},
        // Without an opening parenthesis: two blank buttons, the empty text for either.
        {Par("OPTIONS", 1, "Normal o simplificada"), {"1"}, "", "O(|,)"},
        {Par("OPTIONS", 1, "Normal o simplificada"), {"2"}, "", ""},
        {Par("DISCOUNT", 8, "Desc"), {"1", "10,50"}, "1050", "O(Desc|&Porcentual,&Valor) P()"},
        {Par("DISCOUNT", 8, "Desc"), {"2", "1000"}, "00001000", "O(Desc|&Porcentual,&Valor) F(|6,2|)"},
        {Par("DISCOUNT", 8), {"!"}, kCancel, ""},
        {Par("DISCOUNT", 8), {"1", "!"}, kCancel, ""},
        {Par("DISCOUNT", 8), {"2", "!"}, kCancel, ""},
    });
}

TEST_F(ParamsChains, SurchargesAndDiscounts) {
    const std::string three = "O(|&Incremento,&Descuento,I&ncremento y descuento) O(|&Porcentual,&Valor)";
    const std::string two = "O(|&Incremento,&Descuento) O(|&Porcentual,&Valor)";
    Check({
        {Par("FECHA_CUPOM", 384), {"1", "1", "5,"}, "A0500", three + " P(&Incremento)"},
        {Par("FECHA_CUPOM", 384), {"1", "2", "150"}, "a00000000000150", three + " F(&Incremento|12,2|)"},
        {Par("FECHA_CUPOM", 384), {"2", "1", "12,25"}, "D1225", three + " P(&Descuento)"},
        {Par("FECHA_CUPOM", 384), {"2", "2", "99"}, "d00000000000099", three + " F(&Descuento|12,2|)"},
        {Par("FECHA_CUPOM", 384),
         {"3", "1", "1,0", "2,0"},
         "X01000200",
         three + " P(&Incremento) P(&Descuento)"},
        {Par("FECHA_CUPOM", 384),
         {"3", "2", "100", "200"},
         "x0000000000010000000000000200",
         three + " F(&Incremento|12,2|) F(&Descuento|12,2|)"},
        {Par("AC_OU_DESC_SUB", 384), {"1", "1", "10,00"}, "A1000", two + " P(&Incremento)"},
        {Par("AC_OU_DESC_SUB", 384), {"2", "2", "1"}, "d00000000000001", ""},
        // Every cancel point gives the marker.
        {Par("FECHA_CUPOM", 384), {"!"}, kCancel, ""},
        {Par("FECHA_CUPOM", 384), {"1", "!"}, kCancel, ""},
        {Par("FECHA_CUPOM", 384), {"1", "1", "!"}, kCancel, ""},
        {Par("FECHA_CUPOM", 384), {"2", "2", "!"}, kCancel, ""},
        {Par("FECHA_CUPOM", 384), {"3", "1", "!"}, kCancel, ""},
        {Par("FECHA_CUPOM", 384), {"3", "1", "1,0", "!"}, kCancel, ""},
        {Par("FECHA_CUPOM", 384), {"3", "2", "1", "!"}, kCancel, ""},
        {Par("AC_OU_DESC_SUB", 384), {"!"}, kCancel, ""},
        {Par("AC_OU_DESC_SUB", 384), {"2", "!"}, kCancel, ""},
        // On an item: letter, item number, amount or percentage.
        {Par("AC_OU_DESC_ITEM", 20),
         {"1", "5", "1", "1000"},
         "A00500001000",
         "O(|&Incremento,&Descuento) I(N\xFAmero del art\xED"
         "culo|3|) O(|&Valor,&Porcentual) F(|6,2|)"},
        {Par("AC_OU_DESC_ITEM", 20), {"2", "12", "2", "7,5"}, "D0120705", ""},
        {Par("AC_OU_DESC_ITEM", 20), {"!"}, kCancel, ""},
        {Par("AC_OU_DESC_ITEM", 20), {"1", "!"}, kCancel, ""},
        {Par("AC_OU_DESC_ITEM", 20), {"1", "1", "!"}, kCancel, ""},
        {Par("AC_OU_DESC_ITEM", 20), {"1", "1", "1", "!"}, kCancel, ""},
        {Par("AC_OU_DESC_ITEM", 20), {"2", "1", "2", "!"}, kCancel, ""},
    });
}

TEST_F(ParamsChains, PaymentDescriptions) {
    const std::string more =
        "Y(Desea a\xF1"
        "adir una descripci\xF3n de pago?)";
    Check({
        // Three descriptions with the TEF flag: 3 x 17 characters.
        {Par("DESCR_FORMA_PAGAMENTO", 80),
         {"Efectivo", "1", "1", "Tarjeta", "0", "1", "Cheque", "1", "0"},
         "Efectivo        1Tarjeta         0Cheque          1",
         "S(Descripci\xF3n de pagos 2|16|) Y(Permite TEF?) " + more +
             " S(Descripci\xF3n de pagos 3|16|) Y(Permite TEF?) " + more +
             " S(Descripci\xF3n de pagos 4|16|) Y(Permite TEF?) " + more},
        // Without TEF: 16 each; a cancelled description adds nothing and the loop goes on.
        {Par("DESCR_FORMA_PAGAMENTO_MP_20", 80),
         {"A", "1", "!", "1", "C", "0"},
         "A" + std::string(15, ' ') + "C" + std::string(15, ' '),
         ""},
        // Never the marker. An empty description has no 16 characters to give: it is left out
        // and asks no TEF question.
        {Par("DESCR_FORMA_PAGAMENTO", 80), {"!", "1", "", "0"}, "", ""},
    });
    // The loop stops by itself after the description numbered 20: 19 descriptions.
    Scripted ed;
    for (int n = 2; n <= 20; ++n) {
        ed.script.push_back("P" + std::to_string(n));
        if (n < 20) ed.script.push_back("1");
    }
    std::string v = EditarValor(Par("DESCR_FORMA_PAGAMENTO_MP_20", 400), ed);
    EXPECT_EQ(v.size(), 19u * 16);
    EXPECT_EQ(v.substr(18 * 16, 3), "P20");
    EXPECT_EQ(ed.log.back(), "S(Descripci\xF3n de pagos 20|16|)");
    EXPECT_TRUE(ed.script.empty());
}

TEST_F(ParamsChains, TaxRateTableAndIvaLinks) {
    std::string valor66 = "03";
    for (int k = 1; k <= 16; ++k) valor66 += Format("%02d00", k);
    {
        // The count, then the page, rates only, preset from a 66-character value.
        Scripted ed{"3", "ok"};
        ed.on_rates = [](TaxRatePage& p) {
            p.rates[0] = "1800";
            p.rates[1] = "5";
        };
        EXPECT_EQ(EditarValor(Par("TROCA_SIT_TRIB", 64, "A", valor66), ed),
                  "03"
                  "1800"
                  "0005" +
                      valor66.substr(10));
        EXPECT_EQ(ed.log[0],
                  "I(Digite el n\xFAmero de al\xED"
                  "cuotas: (0 - 16)|2|)");
        EXPECT_EQ(ed.log[1].substr(0, 12), "T(0100,0200,");
        EXPECT_NE(ed.log[1].find("|rates only)"), std::string::npos);
        EXPECT_EQ(TaxRateTable()[0], "1800");
        EXPECT_EQ(TaxRateTable()[1], "0005");
        EXPECT_EQ(TaxRateTable()[15], "1600");
    }
    {
        // The IVA links: rates from the table, read-only, every choice at IVA to begin with.
        Scripted ed{"ok"};
        ed.on_rates = [](TaxRatePage& p) { p.iva[1] = p.iva[15] = 1; };
        EXPECT_EQ(EditarValor(Par("VINC_ISS", 16), ed), "0100000000000001");
        EXPECT_EQ(ed.log[0].substr(0, 12), "T(1800,0005,");
        EXPECT_NE(ed.log[0].find("|0000000000000000|read-only)"), std::string::npos);
    }
    std::string zeros = "0000";
    for (int k = 1; k < 16; ++k) zeros += ",0000";
    Check({
        {Par("VINC_ISS", 16), {"!"}, "", ""},
        // 60 characters preset every rate to 0000; the sheet's own result is not looked at.
        {Par("TROCA_SIT_TRIB", 64, "A", std::string(60, '7')),
         {"16", "!"},
         "16" + std::string(64, '0'),
         "I(Digite el n\xFAmero de al\xED"
         "cuotas: (0 - 16)|2|) T(" +
             zeros + "|0000000000000000|rates only)"},
        // An empty count is sent as 00, never leaving the first rate's digits in its place.
        {Par("TROCA_SIT_TRIB", 64), {"", "ok"}, "00" + std::string(64, '0'), ""},
    });
    // Cancelled at the count: the catalog value, and the table is left alone.
    TaxRateTable()[0] = "1234";
    Check({{Par("TROCA_SIT_TRIB", 64, "A", "catalogo"), {"!"}, "catalogo", ""}});
    EXPECT_EQ(TaxRateTable()[0], "1234");
    // At start the table is empty.
    ResetTaxRateTable();
    Check({{Par("VINC_ISS", 16),
            {"ok"},
            std::string(16, '0'),
            "T(,,,,,,,,,,,,,,,|0000000000000000|read-only)"}});
}

TEST_F(ParamsChains, ReportIntervals) {
    const std::string tipo = "O(Elija el tipo de intervalo|Intervalo de fecha,";
    const std::string out =
        "O(Impresi\xF3n o recibimiento por el puerto de comunicaci\xF3n|Impresi\xF3n,Puerto de "
        "Comunicaci\xF3n)";
    const std::string how = "O(\xBFNormal o simplificada?|normal,simplificada)";
    Check({
        {Par("IMPR_FITA_DETALHE", 20),
         {"1", "01/02/2024", "28/02/2024"},
         "D010224280224",
         "O(|Intervalo de fecha,Intervalo de COO) D(Digite la fecha inicial) D(Digite la fecha final)"},
        {Par("IMPR_FITA_DETALHE", 20),
         {"2", "12", "345", "7"},
         "X000012000345007",
         "O(|Intervalo de fecha,Intervalo de COO) I(COO Inicial|6|) I(COO Final|6|) I(N\xFAmero del "
         "Usu\xE1rio|3|)"},
        {Par("IMPR_FITA_DETALHE", 20), {"!"}, "", ""},
        {Par("IMPR_FITA_DETALHE", 20), {"1", "!"}, kCancel, ""},
        {Par("IMPR_FITA_DETALHE", 20), {"1", "01/01/2024", "!"}, kCancel, ""},
        {Par("IMPR_FITA_DETALHE", 20), {"2", "!"}, kCancel, ""},
        {Par("IMPR_FITA_DETALHE", 20), {"2", "1", "2", "!"}, kCancel, ""},

        {Par("LEIT_MEM_FISCAL", 13),
         {"1", "01/01/2024", "31/01/2024", "1", "1"},
         "010124310124I",
         tipo + "Intervalo de Z) D(Digite la fecha inicial) D(Digite la fecha final) " + out + " " + how},
        {Par("LEIT_MEM_FISCAL", 13),
         {"2", "1", "25", "1", "2"},
         "000001000025i",
         tipo + "Intervalo de Z) I(Digite el Informe inicial|4|) I(Digite el Z final|4|) " + out + " " + how},
        {Par("LEIT_MEM_FISCAL", 13), {"2", "1", "2", "2", "1"}, "000001000002R", ""},
        {Par("LEIT_MEM_FISCAL", 13), {"2", "1", "2", "2", "2"}, "000001000002r", ""},
        // The interval window cancelled: no interval, the rest still asked.
        {Par("LEIT_MEM_FISCAL", 13), {"!", "1", "1"}, "I", ""},
        // Either output window cancelled: no letter.
        {Par("LEIT_MEM_FISCAL", 13), {"2", "1", "2", "!"}, "000001000002", ""},
        {Par("LEIT_MEM_FISCAL", 13), {"2", "1", "2", "1", "!"}, "000001000002", ""},
        // A cancelled date or number: the marker.
        {Par("LEIT_MEM_FISCAL", 13), {"1", "!"}, kCancel, ""},
        {Par("LEIT_MEM_FISCAL", 13), {"1", "01/01/2024", "!"}, kCancel, ""},
        {Par("LEIT_MEM_FISCAL", 13), {"2", "!"}, kCancel, ""},
        {Par("LEIT_MEM_FISCAL", 13), {"2", "1", "!"}, kCancel, ""},

        {Par("INFORME_TRANSACIONES", 13),
         {"2", "10", "20", "1"},
         "000010000020I",
         tipo + "Intervalo de COO) I(COO Inicial|4|) I(COO Final|4|) " + how},
        {Par("INFORME_TRANSACIONES", 13), {"1", "02/03/2024", "04/03/2024", "2"}, "020324040324i", ""},
        {Par("INFORME_TRANSACIONES_SERIAL", 13), {"2", "1", "9", "1"}, "000001000009R", ""},
        {Par("INFORME_TRANSACIONES_SERIAL", 13), {"!", "2"}, "r", ""},
        {Par("INFORME_TRANSACIONES", 13), {"!", "!"}, "", ""},
        {Par("INFORME_TRANSACIONES", 13), {"2", "1", "!"}, kCancel, ""},
        {Par("INFORME_TRANSACIONES_SERIAL", 13), {"1", "!"}, kCancel, ""},

        {Par("LEIT_DADOS_MEM_FISCAL", 3), {"1"}, "MF", "O(Elija la cantidad de datos|32 KB,512 KB)"},
        {Par("LEIT_DADOS_MEM_FISCAL", 3), {"2"}, "MF2", ""},
        {Par("LEIT_DADOS_MEM_FISCAL", 3), {"!"}, "", ""},
    });
}

TEST_F(ParamsChains, PassengerTicketAndAuthentication) {
    Check({
        {Par("BILHETE_PASSAGEM", 200),
         {"5", "SP", "J-123", "Ana", "Calle 1\nPiso 2"},
         "4SPJ-123" + std::string(25, ' ') + "Ana" + std::string(27, ' ') + "Calle 1\r\nPiso 2",
         "O(|Rodovi\xE1rio Intermunicipal,Ferrovi\xE1rio Intermunicipal,Aquavi\xE1rio Intermunicipal,"
         "Rodovi\xE1rio Interestadual,Ferrovi\xE1rio Interestadual,Aquavi\xE1rio Interestadual,"
         "Rodovi\xE1rio Internacional,Ferrovi\xE1rio Internacional,Aquavi\xE1rio Internacional) "
         "S(UF Destino|2|) S(RIF comprador|30|) S(Nombre|30|) B(Direcci\xF3n|80|)"},
        // Cancelled at "Nombre": the digit, "UF Destino" and "RIF comprador" only.
        {Par("BILHETE_PASSAGEM", 200), {"9", "RJ", "X", "!"}, "8RJX" + std::string(29, ' '), ""},
        {Par("BILHETE_PASSAGEM", 200), {"1", "", "", "", "!"}, "0", ""},
        {Par("BILHETE_PASSAGEM", 200), {"!"}, "", ""},
        // Only two buttons are visible; the empty captions of 3 to 5 keep theirs hidden.
        {Par("CAR_GRAF_AUTENTICACAO", 18),
         {"1"},
         "804020100804020102040810204080808080",
         "O(|Car\xE1"
         "cter de autenticaci\xF3n 1,Car\xE1"
         "cter de autenticaci\xF3n 2)"},
        {Par("CAR_GRAF_AUTENTICACAO", 18), {"2"}, "208020100820020101020408102040808080", ""},
        {Par("CAR_GRAF_AUTENTICACAO", 18), {"!"}, "", ""},
    });
}

TEST_F(ParamsChains, CurrentEditors) {
    EXPECT_EQ(EditarValor(Par("STRING", 4)), kCancel);  // nobody to ask
    Scripted ed{"AB"};
    SetCurrentEditors(&ed);
    EXPECT_EQ(CurrentEditors(), &ed);
    EXPECT_EQ(EditarValor(Par("STRING", 4)), "AB  ");
}

// ------------------------------------------------------------------------- the form

Comando Command(std::string escape, std::vector<Parametro> params) {
    Comando c;
    c.SetTitulo("Comando");
    c.SetEscape(escape);
    for (const Parametro& p : params) c.AdicionarParametro(p);
    return c;
}

class RecordingUi : public UserInterface {
  public:
    struct Wait : WaitWindow {
        RecordingUi* ui;
        explicit Wait(RecordingUi* u) : ui(u) { ui->events += "wait+ "; }
        ~Wait() override { ui->events += "wait- "; }
    };
    struct Result : ResultWindow {
        RecordingUi* ui;
        explicit Result(RecordingUi* u) : ui(u) {}
        void ShowModal() override {
            ui->events += "result ";
            ui->shown = message_;
            ui->dump = dump_;
        }
    };
    std::unique_ptr<WaitWindow> ShowWait(const std::string& message) override {
        wait_message = message;
        return std::make_unique<Wait>(this);
    }
    std::unique_ptr<ResultWindow> CreateResultWindow() override { return std::make_unique<Result>(this); }
    std::string events, wait_message, shown, dump;
};

class ParamsForm : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetEngineEnv();
        settings.PortName = "COM1:";
        settings.ExtendedReturn = 0;
        settings.AppDirectory = dir.path();
        Environment& env = EngineEnv();
        env.clock = &clock;
        env.settings = &settings;
        env.ui = &ui;
        env.transport_factory = factory.AsFactory();
    }
    void TearDown() override { ResetEngineEnv(); }
    std::string Payload() {
        const auto& w = factory.Last().written;
        return std::string(w.begin() + 4, w.end() - 2);  // after STX, length and ESC; no checksum
    }

    test::TempDir dir;
    Settings settings;
    test::FakeClock clock{test::LocalTime(2024, 3, 5, 9, 8, 7)};
    RecordingUi ui;
    test::ScriptedFactory factory{&clock};
};

TEST_F(ParamsForm, RowsOpeningFillWalkAndEdit) {
    CommandForm rows(Command("10", {Par("STRING", 10, "Nombre"), Par("BINARIO", 1, "Byte", "", 0),
                                    Par("DIG_HEX", 4), Par("NOT_EDITABLE", 3, "F", "ABC"),
                                    Par("DIG_HEX_NOT_EDITABLE", 1, "O", "1B"), Par("STRING_VAR_SIZE", 0)}));
    ASSERT_EQ(rows.RowCount(), 6);
    EXPECT_EQ(rows.Label(0), "Nombre *");
    EXPECT_EQ(rows.Label(1), "Byte");
    EXPECT_EQ(rows.MaxLength(0), 10);
    EXPECT_EQ(rows.MaxLength(1), 3);
    EXPECT_EQ(rows.MaxLength(2), 8);
    EXPECT_EQ(rows.MaxLength(5), CommandForm::kNoLimit);  // a box that takes nothing would be useless
    EXPECT_FALSE(rows.Hidden(2));
    EXPECT_TRUE(rows.Hidden(3));
    EXPECT_TRUE(rows.Hidden(4));
    EXPECT_EQ(rows.Row(3), "");  // rows start empty, whatever the catalog says

    struct Opening {
        std::vector<Parametro> params;
        std::vector<std::string> script;
        bool runs;
        std::vector<std::string> rows;
    };
    const std::vector<Parametro> clock3 = {Par("DATA", 6), Par("HORA", 6), Par("INTEGER", 1)};
    std::vector<Opening> openings = {
        {{}, {}, true, {}},                                      // no parameters: runs at once
        {{Par("NOT_EDITABLE", 2, "F", "AB")}, {}, false, {""}},  // hidden only: the form shows
        // A hidden parameter between two is skipped; rows keep their numbers.
        {{Par("STRING", 4), Par("NOT_EDITABLE", 2, "F", "XY"), Par("INTEGER", 3)},
         {"ab", "7"},
         false,
         {"ab  ", "", "007"}},
        // The second editor cancelled: row 1 filled, the rest empty.
        {{Par("STRING", 2), Par("STRING", 2), Par("STRING", 2)}, {"a", "!"}, false, {"a ", "", ""}},
        // An empty answer (not the marker) does not stop the walk.
        {{Par("OPTIONS", 1, "A(1) ou B(2)"), Par("STRING", 2)}, {"!", "b"}, false, {"", "b "}},
    };
    for (const Opening& o : openings) {
        CommandForm form(Command("3", o.params));
        Scripted ed;
        ed.script.assign(o.script.begin(), o.script.end());
        EXPECT_EQ(form.Open(ed), o.runs);
        EXPECT_TRUE(ed.script.empty());
        for (size_t k = 0; k < o.rows.size(); ++k) EXPECT_EQ(form.Row(static_cast<int>(k)), o.rows[k]) << k;
    }

    // "Editar": cancelled keeps the row, confirmed replaces it; the editor starts from the
    // catalog value, not from the row.
    CommandForm form(Command("3", {Par("STRING", 2, "A", "c"), Par("STRING", 2)}));
    form.SetRow(0, "typed");
    Scripted ed{"!", "z"};
    EXPECT_FALSE(form.Edit(0, ed));
    EXPECT_EQ(form.Row(0), "typed");
    EXPECT_TRUE(form.Edit(1, ed));
    EXPECT_EQ(form.Row(1), "z ");
    EXPECT_FALSE(form.Edit(7, ed));
    EXPECT_EQ(ed.Log(), "S(A|2|c) S(T|2|)");
}

TEST_F(ParamsForm, DateAndTimeCommand) {
    const std::vector<Parametro> params = {Par("DATA", 6), Par("HORA", 6), Par("INTEGER", 1)};
    {
        CommandForm form(Command("2", params));
        Scripted ed{"01:02:03+", "1"};
        EXPECT_TRUE(form.Open(ed));
        EXPECT_EQ(ed.Log(),
                  "H(\xBF"
                  "Acceptar fecha y hora de la computadora?\r\n\r\nFecha: 05/03/2024|date and time) "
                  "Y(\xBF"
                  "La fecha est\xE1 correcta?/05/03/24|!)");
        EXPECT_EQ(form.Row(0), "050324");
        EXPECT_EQ(form.Row(1), "090807");  // the PC clock, not the picker
        EXPECT_EQ(form.Row(2), "1");
    }
    {
        // No, or Cancel in the hour window: the fill walk for all its parameters.
        CommandForm no(Command("2", params));
        Scripted ed{"01:02:03", "0", "01/01/2024", "10:00:00", "0"};
        EXPECT_FALSE(no.Open(ed));
        EXPECT_TRUE(ed.script.empty());
        EXPECT_EQ(no.Row(0), "010124");
        EXPECT_EQ(no.Row(2), "0");
        CommandForm cancel(Command("2", params));
        Scripted again{"!", "!"};
        EXPECT_FALSE(cancel.Open(again));
        EXPECT_EQ(cancel.Row(0), "");
    }
    {
        // Fewer rows than values: only the rows that exist; the escape must be exactly "2".
        CommandForm two(Command("2", {params[0], params[1]}));
        Scripted ed{"01:02:03", "1"};
        EXPECT_TRUE(two.Open(ed));
        CommandForm other(Command("2 0", {params[0]}));
        Scripted date{"02/02/2022"};
        EXPECT_FALSE(other.Open(date));
        EXPECT_EQ(date.Log(), "D(Selecione la fecha)");
    }
}

TEST_F(ParamsForm, RunStepSendsTheRowsAndShowsTheResult) {
    // The rows on the wire, the hidden parameter with its catalog value; success with results
    // off shows only the wait window.
    factory.Add(test::Script().Hex("06 00 00"));
    CommandForm form(Command("10", {Par("STRING", 3), Par("NOT_EDITABLE", 2, "F", "XY"), Par("INTEGER", 2)}));
    form.SetRow(0, "ab ");
    form.SetRow(1, "ignored");
    form.SetRow(2, "07");
    settings.ShowResults = 0;
    EXPECT_EQ(form.Run(ui), 0);
    EXPECT_TRUE(form.Ran());
    EXPECT_EQ(Payload(),
              "\x0A"
              "ab XY07");
    EXPECT_EQ(form.Command().parametros[1].valor, "XY");
    EXPECT_EQ(ui.wait_message, "Por favor, aguarde.....");
    EXPECT_EQ(ui.events, "wait+ wait- ");

    // Results on: the result window with the answer text and the dump.
    ui.events.clear();
    settings.ShowResults = 1;
    factory.Add(test::Script().Hex("06 00 00"));
    CommandForm shown(Command("10", {}));
    EXPECT_EQ(shown.Run(ui), 0);
    EXPECT_EQ(ui.events, "wait+ wait- result ");
    EXPECT_EQ(ui.shown, shown.Command().retorno_formatado);
    EXPECT_EQ(ui.dump, shown.Command().dump);

    // A failure always shows it, with the engine's message; an empty mandatory row goes to the
    // engine as it is and nothing is sent.
    ui.events.clear();
    settings.ShowResults = 0;
    CommandForm refused(Command("10", {Par("STRING", 3)}));
    EXPECT_EQ(refused.Run(ui), -2);
    EXPECT_EQ(ui.events, "wait+ wait- result ");
    EXPECT_NE(ui.shown.find("Par\xE1metro obligat\xF3rio no llenado"), std::string::npos);
    EXPECT_EQ(factory.Created(), 2);
}

}  // namespace
}  // namespace ordavo
