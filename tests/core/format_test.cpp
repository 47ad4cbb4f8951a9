// Return formatting: status lines, every return type, lists, counters and bad answers.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/comando.h"
#include "engine/env.h"
#include "engine/strings.h"
#include "shell/core/settings.h"

namespace ordavo {
namespace {

using Bytes = std::vector<uint8_t>;

Retorno R(const std::string& formato, int32_t tamanho, const std::string& titulo = "Campo") {
    Retorno r;
    r.formato = formato;
    r.tamanho = tamanho;
    r.titulo = titulo;
    return r;
}

Bytes Answer(Bytes data, Bytes status = {0x00, 0x00}) {
    Bytes a{0x06};
    a.insert(a.end(), data.begin(), data.end());
    a.insert(a.end(), status.begin(), status.end());
    return a;
}

Bytes Repeat(uint8_t b, size_t n) { return Bytes(n, b); }

bool StartsWith(const std::string& s, const std::string& p) { return s.compare(0, p.size(), p) == 0; }
bool EndsWith(const std::string& s, const std::string& p) {
    return s.size() >= p.size() && s.compare(s.size() - p.size(), p.size(), p) == 0;
}

class FormatTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetEngineEnv();
        settings_.ExtendedReturn = 0;
        EngineEnv().settings = &settings_;
    }
    void TearDown() override { ResetEngineEnv(); }

    // Formats `answer` for the fields and returns the text after the status part.
    std::string Fields(std::vector<Retorno> fields, const Bytes& answer) {
        cmd_ = Comando();
        cmd_.retornos = std::move(fields);
        cmd_.resposta = answer;
        cmd_.FormatarRetorno();
        const std::string prefix = "\r\nCOMANDO OK";
        if (cmd_.retorno_formatado.compare(0, prefix.size(), prefix) == 0) return cmd_.retorno_formatado.substr(prefix.size());
        return cmd_.retorno_formatado;
    }
    const std::string& Value(size_t i) const { return cmd_.retornos.at(i).valor_formatado; }

    Settings settings_;
    Comando cmd_;
};

TEST_F(FormatTest, StatusLinesOpenTheResult) {
    Comando c;
    c.retorno_formatado = "HDR";
    c.resposta = {0x06, 0x00, 0x00};
    c.FormatarRetorno();
    EXPECT_EQ(c.retorno_formatado, "HDR\r\nCOMANDO OK");

    settings_.ExtendedReturn = 1;
    Comando e;
    e.resposta = {0x06, 0x40, 0x01, 0x0E, 0x00};
    e.FormatarRetorno();
    EXPECT_EQ(e.retorno_formatado, "\r\n\r\nPOCO PAPEL\r\nCOMANDO NO EJECUTADO\r\nTASA NO PROGRAMADA\r\n");

    // Status bytes are found after the data of all fields, known types or not.
    Comando d;
    d.retornos = {R("NOPE", 2), R("ASCII", 1)};
    d.resposta = {0x06, 'A', 'B', 'C', 0x80, 0x00, 0x00, 0x00};
    d.FormatarRetorno();
    EXPECT_EQ(d.retorno_formatado, "\r\n\r\nFIN DEL PAPEL\r\nCOMANDO OK\r\n\r\nCampo:\tA\r\n");

    settings_.ExtendedReturn = 0;
    Comando n;
    n.resposta = {0x15, 0x80, 0x80};
    n.FormatarRetorno();
    EXPECT_EQ(n.retorno_formatado, "\r\n") << "no status text without ACK";
}

TEST_F(FormatTest, TextAndNumberFields) {
    EXPECT_EQ(Fields({R("ASCII", 5, "Nombre")}, Answer({'A', 'B', 0x0A, 'C', 0x00})), "\r\nNombre:\tAB\r\nC\r\n");
    EXPECT_EQ(Value(0), "AB\r\nC");
    EXPECT_EQ(Fields({R("ASCII", 4)}, Answer({'A', 0xA4, 0x82, 'o'})), "\r\nCampo:\tA\xF1\xE9o\r\n");

    EXPECT_EQ(Fields({R("BCD_FINANCE", 7, "Total")}, Answer({0x00, 0x00, 0x00, 0x01, 0x23, 0x45, 0x67})),
              "\r\nTotal:\t000000012345,67\r\n");
    EXPECT_EQ(Value(0), "00000001234567");
    EXPECT_EQ(Fields({R("BCD_INTEGER", 2, "Tienda")}, Answer({0x12, 0x3A})), "\r\nTienda:\t123:\r\n")
        << "a nibble above 9 becomes a character after 9";
    EXPECT_EQ(Value(0), "123:");
    EXPECT_EQ(Fields({R("BCD_PERCENTAGE", 2, "Tasa")}, Answer({0x12, 0x34})), "\r\nTasa:\t12,34%\r\n");
    EXPECT_EQ(Value(0), "1234");

    EXPECT_EQ(Fields({R("BCD_DATA", 3), R("BCD_HORA", 3)}, Answer({0x15, 0x03, 0x09, 0x23, 0x59, 0x01})),
              "\r\nFecha: 15/03/09\r\n\r\nHora: 23:59:01\r\n");
    EXPECT_EQ(Value(0), "150309");
    EXPECT_EQ(Value(1), "235901");

    EXPECT_EQ(Fields({R("STATUS_PAPEL", 2, "Papel")}, Answer({0x01, 0x02})), "\r\nPapel\t\t513\r\n");
    EXPECT_EQ(Value(0), "513");
    EXPECT_EQ(Fields({R("INTEGER", 1, "Tasas")}, Answer({0xC8})), "\r\nTasas\t\t200\r\n");
    EXPECT_EQ(Value(0), "");
    EXPECT_EQ(Fields({R("INTEGER", 3, "N"), R("ASCII", 1)}, Answer({0x07, 0x08, 0x09, 'Z'})),
              "\r\nN\t\t7\r\n\r\nCampo:\tZ\r\n")
        << "a wider integer is one line of its first byte";

    EXPECT_EQ(Fields({R("BCD_FLAG_PAYMENT_MODE", 3)}, Answer({'2', '5', '5'})),
              "\r\nNo foi possible inserir esta forma de pago.\r\n");
    EXPECT_EQ(Fields({R("BCD_FLAG_PAYMENT_MODE", 2)}, Answer({'0', '3'})), "\r\nForma del pago n\xBA 3 programada\r\n");
}

TEST_F(FormatTest, FlagTemplates) {
    EXPECT_EQ(Fields({R("ASCII_FLAGS_FISCAIS", 1)}, Answer({0x01})),
              "\r\nFlags Fiscais:\r\nAtivado?\t\tDescripci\xF3n\r\n"
              "si\t\tCup\xF3n fiscal abierto\r\n"
              "no\t\tFechamento de formas de pago empezado\r\n"
              "no\t\tHor\xE1rio de verano\r\n"
              "no\t\t-----bit no utilizado----\r\n"
              "no\t\t\xDAltima RZ foe autom\xE1tica\r\n"
              "no\t\tPermite anular cup\xF3n fiscal\r\n"
              "no\t\t-----bit no utilizado----\r\n"
              "no\t\tMemoria fiscal sin espacio");
    EXPECT_EQ(Value(0), "10000000");
    Fields({R("ASCII_FLAGS_FISCAIS", 1)}, Answer({0x04}));
    EXPECT_EQ(Value(0).substr(2, 1), "1") << "the third character is bit 2 (summer time)";

    const std::string iii = Fields({R("ASCII_FLAGS_FISCAIS_III", 1)}, Answer({0x14}));
    EXPECT_TRUE(StartsWith(iii, "\r\nFlags Fiscais III:\r\nAtivado?\t\tDescripci\xF3n\r\n\r\nno\t\tImpresora com"));
    EXPECT_NE(iii.find("si\t\tAnulaci\xF3n autom\xE1tico del cup\xF3n \xE0s XX horas activada\r\n"), std::string::npos);
    EXPECT_NE(iii.find("si\t\tZ autom\xE1tica activada\r\n"), std::string::npos);

    EXPECT_NE(Fields({R("ASCII_FLAGS_FISCAIS_II", 1)}, Answer({0x02}))
                  .find("\r\nsi\t\tComprobante de d\xE9" "bito o cr\xE9" "dito abierto\r\n"),
              std::string::npos);
    EXPECT_NE(Fields({R("FLAG_SENSORES", 1)}, Answer({0x80})).find("si\t\tJumper na posici\xF3n intervenci\xF3n tecnica"),
              std::string::npos);
    const std::string cheque = Fields({R("FLAG_CHEQUE", 1)}, Answer({0xFF}));
    EXPECT_TRUE(StartsWith(cheque, "\r\nFlags do cheque:\r\nAtivado?\t\tDescripci\xF3n\r\nsi\t\tDocumento"));
    EXPECT_TRUE(EndsWith(cheque, "\r\nsi\t\tBuffer vazio\r\nsi\t\tBuffer cheio"));

    EXPECT_EQ(Fields({R("ASCII_FLAG_VINC_ISS", 2)}, Answer({0x80, 0x01})),
              "\r\nFlags de vinculaci\xF3n ao ISS:\r\nN\xFAmero\t\tVinculado ao ISS?\r\n"
              "\r\n 1\t\tsi\r\n 2\t\tno\r\n 3\t\tno\r\n 4\t\tno\r\n 5\t\tno\r\n 6\t\tno\r\n 7\t\tno\r\n 8\t\tno"
              "\r\n 9\t\tno\r\n10\t\tno\r\n11\t\tno\r\n12\t\tno\r\n13\t\tno\r\n14\t\tno\r\n15\t\tno\r\n16\t\tsi");
    EXPECT_EQ(Value(0), "1000000000000001");
}

TEST_F(FormatTest, SingleFlags) {
    struct Case {
        const char* type;
        uint8_t equal;
        const char* when_equal;
        const char* when_different;
    };
    const Case cases[] = {
        {"BCD_FLAG_INT_TEC", 0x55, "Equipo en modo de operaci\xF3n normal", "Equipo en intervenci\xF3n t\xE9" "cnica"},
        {"BCD_FLAG_EPROM_CONECT", 0x55, "EPROM conectada", "EPROM desconectada"},
        {"FLAG_TRUNCAMENTO", 0x00, "Truncamento activado", "Redondeamento activado"},
        {"FLAG_CORTE", 0x30, "Corte del pr\xF3ximo documento activado", "Corte del pr\xF3ximo documento desactivado"},
        {"FLAG_ALINHAMENTO", 0x30, "Ali\xF1" "amento a la izquierda activado", "Ali\xF1" "amento a la izquierda deactivado"},
        {"FLAG_BP_CF", 0x00, "Billete de pasaje", "Comprobante de Venta"},
        {"FLAG_PRESENTER_GAVETA", 0x00, "Presenter", "Gaveta"},
        {"FLAG_CUTTER_AUTENTIC", 0x00, "Cutter", "Autenticaci\xF3n"},
        {"FLAG_RED_AUT_COM", 0x00, "Z Por comando", "Z Autom\xE1tica"},
        {"FLAG_GAVETA", 0x00, "Sensor de gaveta n\xEDvel 0.", "Sensor de gaveta n\xEDvel 1."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Fields({R(c.type, 1)}, Answer({c.equal})), std::string("\r\n") + c.when_equal + "\r\n") << c.type;
        EXPECT_EQ(Fields({R(c.type, 1)}, Answer({static_cast<uint8_t>(c.equal + 1)})),
                  std::string("\r\n") + c.when_different + "\r\n")
            << c.type;
    }
}

TEST_F(FormatTest, ListLayouts) {
    // Non-fiscal operations: 50 entries of 31 bytes.
    Bytes oper = Repeat(0x00, 50 * 31);
    const Bytes e1 = {0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x12, 0x34, 0x56, 0x78};
    std::copy(e1.begin(), e1.end(), oper.begin() + 31);
    const std::string desc = "Sangr\x82" "a";
    std::copy(desc.begin(), desc.end(), oper.begin() + 31 + 12);
    oper[49 * 31] = 0x01;
    oper[49 * 31 + 1] = 0x02;
    const std::string o = Fields({R("OPER_NO_FISCAL", 50 * 31)}, Answer(oper));
    EXPECT_TRUE(StartsWith(o, "\r\nDescripci\xF3n        \tGONF\t\tValor\r\n" + std::string(19, ' ') +
                                  "\t0000\t\t0000000000000000,0000\r\nSangr\xE9" "a" + std::string(12, ' ') +
                                  "\t0007\t\t0000000000001234,5678\r\n"));
    EXPECT_NE(o.find("\t0258\t\t"), std::string::npos) << "the counter is two bytes, high byte first";

    // Payment forms: 20 descriptions, then values, last-receipt values and TEF flags.
    Bytes pay = Repeat(0x00, 620);
    const std::string d0 = "Dinero";
    std::copy(d0.begin(), d0.end(), pay.begin());
    pay[320 + 5] = 0x12;
    pay[320 + 6] = 0x34;
    pay[460 + 6] = 0x99;
    pay[600] = 0x55;
    const std::string f = Fields({R("FORMAS_DE_PAGAMENTO", 620)}, Answer(pay));
    const std::string head = "\r\nDescripci\xF3n:\t\tValor\t\t\tValor en el \xFAltimo cup\xF3n\tPermite emisi\xF3n del TEF\r\n";
    EXPECT_TRUE(StartsWith(f, head + "Dinero          \t000000000012,34\t\t000000000000,99\t\tsi\r\n"));
    EXPECT_NE(f.find(std::string(16, ' ') + "\t000000000000,00\t\t000000000000,00\t\tno\r\n"), std::string::npos);

    // Departments: value and description in 20 bytes each, quantities from 400.
    Bytes dep = Repeat(0x00, 600);
    dep[9] = 0x50;
    const std::string dn = "Bebidas";
    std::copy(dn.begin(), dn.end(), dep.begin() + 10);
    dep[400 + 9] = 0x03;
    const std::string dt = Fields({R("DEPARTAMENTOS", 600)}, Answer(dep));
    EXPECT_TRUE(StartsWith(dt, "\r\nDescripci\xF3n:\t\tCantidad\t\t\tValor\r\n"
                               "Bebidas\t\t000000000000000000,03\t\t000000000000000000,50\r\n"
                               "\t\t000000000000000000,00\t\t000000000000000000,00\r\n"));

    // Totalizers not subject to tax: 30 names of 19 bytes, then 30 values.
    Bytes tot = Repeat(0x00, 780);
    tot[19] = 'B';
    tot[570 + 7 + 6] = 0x42;
    const std::string t = Fields({R("TOT_NAO_SUJ_ICMS", 780)}, Answer(tot));
    EXPECT_TRUE(StartsWith(t, "\r\n:\t000000000000,00\r\n\r\nB:\t000000000000,42\r\n\r\n:\t"));

    // Management reports: 30 BCD counters, then 30 names of 17 bytes.
    Bytes rel = Repeat(0x00, 570);
    rel[2] = 0x12;
    rel[3] = 0x34;
    const std::string rn = "Caja";
    std::copy(rn.begin(), rn.end(), rel.begin() + 60 + 17);
    const std::string r = Fields({R("RELAT_GER", 570)}, Answer(rel));
    EXPECT_TRUE(StartsWith(r, "\r\n0000:\t\r\n\r\n1234:\tCaja\r\n\r\n0000:\t\r\n"));
}

TEST_F(FormatTest, IntegrityCountersAndRates) {
    EXPECT_EQ(Fields({R("VER_INT_MEM_FISCAL", 6)}, Answer({0x10, 0x01, 0x10, 0x01, 0x00, 0x00})),
              "\r\nN\xFAmero de c\xE9lulas grabadas:\t272 \r\n N\xFAmero de c\xE9lulas ok:\t272 \r\n"
              " N\xFAmero de c\xE9lulas nok:\t0 \r\n");
    EXPECT_EQ(Fields({R("VER_INT_MEM_FISCAL", 6)}, Answer({0x03, 0x00, 0x02, 0x00, 0x01, 0x00})),
              "\r\nN\xFAmero de c\xE9lulas grabadas:\t3 \r\n N\xFAmero de c\xE9lulas ok:\t2 \r\n"
              " N\xFAmero de c\xE9lulas nok:\t1 \r\n\r\n\xA1" "Atenci\xF3n: Detectada C\xE9lulas no OK!\r\n");

    Bytes comp = Repeat(0x00, 30);
    comp[0] = 5;
    comp[24] = 9;
    comp[26] = 8;
    const std::string c = Fields({R("VER_INT_MEM_FISCAL_COMP", 30)}, Answer(comp));
    EXPECT_EQ(c,
              "\r\nC\xE9lulas iniciais:\r\n C\xE9lulas grabadas:\t 5\r\n C\xE9lulas OK:\t 0\r\n C\xE9lulas no OK:\t 0\r\n"
              "\r\nC\xE9lulas de n\xFAmero serial de la MA:\r\n C\xE9lulas grabadas:\t 0\r\n C\xE9lulas OK:\t 0\r\n C\xE9lulas no OK:\t 0\r\n"
              "\r\nC\xE9lulas de Reducc\xEDon:\r\n C\xE9lulas grabadas:\t 0\r\n C\xE9lulas OK:\t 0\r\n C\xE9lulas no OK:\t 0\r\n"
              "\r\nC\xE9lulas de leitura de la MA:\r\n C\xE9lulas grabadas:\t 0\r\n C\xE9lulas OK:\t 0\r\n C\xE9lulas no OK:\t 0\r\n"
              "\r\nC\xE9lulas de versi\xF3n del software b\xE1sico:\r\n C\xE9lulas grabadas:\t 9\r\n C\xE9lulas OK:\t8\r\n C\xE9lulas no OK:\t0\r\n");

    Bytes rd = Repeat(0x00, 36);
    rd[18 + 4] = 1;
    const std::string d = Fields({R("VER_INT_MEM_FISCAL_COMP_RD", 36)}, Answer(rd));
    EXPECT_NE(d.find("\r\nC\xE9lulas de status de la MA:\r\n C\xE9lulas grabadas:\t 0\r\n C\xE9lulas OK:\t 0\r\n C\xE9lulas no OK:\t 1\r\n"
                     "\r\nC\xE9lulas de leitura de la MA:"),
              std::string::npos);
    EXPECT_TRUE(EndsWith(d, "\r\n C\xE9lulas OK:\t0\r\n C\xE9lulas no OK:\t0\r\n"
                            "\r\n\xA1" "Atenci\xF3n: Detectada C\xE9lulas no OK!\r\n"));

    Bytes rates = Repeat(0x00, 33);
    rates[0] = 2;
    rates[1] = 0x12;
    rates[2] = 0x00;
    rates[31] = 0x05;
    rates[32] = 0x50;
    const std::string a = Fields({R("ALIQUOTAS", 33)}, Answer(rates));
    EXPECT_TRUE(StartsWith(a, "\r\nN\xFAmero de tasas:\t2\r\nTasa\tValor\r\n\r\n1\t\t12,00\r\n\r\n2\t\t00,00\r\n"));
    EXPECT_TRUE(EndsWith(a, "\r\n15\t\t00,00\r\n\r\n16\t\t05,50\r\n")) << "16 rates whatever the count byte says";
}

TEST_F(FormatTest, PartialTotalsAndOpenDocument) {
    Bytes tp = Repeat(0x00, 219);
    tp[6] = 0x01;         // rate totalizer 1
    tp[112 + 6] = 0x02;   // reserved 1
    tp[119 + 6] = 0x03;   // exempt
    tp[133 + 6] = 0x04;   // not subject 1
    tp[196 + 6] = 0x05;   // withdrawals
    tp[218] = 0x99;       // grand total, last byte
    const std::string z = "000000000000,00";
    std::string expected = "\r\nTotalizadores parciales tributados:\r\nTotalizador\tValor\r\n\r\n1\t\t000000000000,01\r\n";
    for (int i = 2; i <= 16; ++i) expected += "\r\n" + std::to_string(i) + "\t\t" + z + "\r\n";
    expected += "\r\nReservado 1:\t000000000000,02\r\nExentos:\t000000000000,03\r\nReservado 2:\t" + z + "\r\n";
    expected += "\r\nTotalizadores parciales no sujeitos ao IVA:\r\nTotalizador\tValor\r\n\r\n1\t\t000000000000,04\r\n";
    for (int i = 2; i <= 9; ++i) expected += "\r\n" + std::to_string(i) + "\t\t" + z + "\r\n";
    expected += "\r\nRetiradas:\t000000000000,05\r\nDotaci\xF3n:\t" + z + "\r\nGran Total:\t0000000000000000,99\r\n";
    EXPECT_EQ(Fields({R("TOT_PARCIAIS", 219)}, Answer(tp)), expected);

    EXPECT_EQ(Fields({R("TIPO_DOC_ABERTO", 1)}, Answer({1})), "\r\nTipo ult. documento impresso:\tFactura para Cr\xE9" "dito Fiscal");
    EXPECT_EQ(Value(0), "1");
    EXPECT_EQ(Fields({R("TIPO_DOC_ABERTO", 1)}, Answer({3})),
              "\r\nTipo ult. documento impresso:\tNota Cr\xE9" "dito para Cr\xE9" "dito Fiscal");
    EXPECT_EQ(Fields({R("TIPO_DOC_ABERTO", 1)}, Answer({4})), "\r\nTipo ult. documento impresso:\t");
    EXPECT_EQ(Fields({R("ASCII", 1), R("TIPO_DOC_ABERTO", 1)}, Answer({'X', 2})),
              "\r\nCampo:\tX\r\n\r\nTipo ult. documento impresso:\tNota Cr\xE9" "dito Consumidor Final");
}

TEST_F(FormatTest, UnknownTypesAndLayoutSizes) {
    EXPECT_EQ(Fields({R("ASCII", 2, "A"), R("MYSTERY", 3), R("ASCII", 3, "B")},
                     Answer({'a', 'b', 'X', 'Y', 'Z', 'p', 'q', 'r'})),
              "\r\nA:\tab\r\n\r\nB:\tXYZ\r\n")
        << "an unknown type does not move the position";
    EXPECT_EQ(Value(1), "");

    // Layouts read their own bytes; the rest of an oversized field is skipped over.
    EXPECT_EQ(Fields({R("BCD_DATA", 5), R("ASCII", 1)}, Answer({0x01, 0x02, 0x03, 0x04, 0x05, 'K'})),
              "\r\nFecha: 01/02/03\r\n\r\nCampo:\tK\r\n");
    const std::string flags = Fields({R("FLAG_SENSORES", 3), R("ASCII", 1)}, Answer({0x01, 0xFF, 0x80, 'K'}));
    EXPECT_EQ(Value(0), "100000001111111100000001") << "the value keeps every byte of the field";
    EXPECT_TRUE(EndsWith(flags, "no\t\tJumper na posici\xF3n intervenci\xF3n tecnica\r\nCampo:\tK\r\n"));
    EXPECT_NE(flags.find("si\t\tCabeza levantada\r\nno\t\tTampa abierta"), std::string::npos);
    EXPECT_TRUE(EndsWith(Fields({R("ASCII_FLAG_VINC_ISS", 4), R("ASCII", 1)}, Answer({0, 0, 0xFF, 0xFF, 'K'})),
                         "\r\n16\t\tno\r\nCampo:\tK\r\n"));
    EXPECT_EQ(Value(0), "0000000000000000");
}

TEST_F(FormatTest, ShortAndAbsurdAnswersNeverReadPastTheEnd) {
    // The answer stops inside the data: no status text, the missing bytes read as zero, and
    // texts end with the answer.
    Comando c;
    c.retornos = {R("ASCII", 4), R("BCD_DATA", 3), R("BCD_FINANCE", 7)};
    c.resposta = {0x06, 'A', 'B'};
    c.FormatarRetorno();
    EXPECT_EQ(c.retorno_formatado, "\r\n\r\nCampo:\tAB\r\n\r\nFecha: 00/00/00\r\n\r\nCampo:\t\r\n");

    Comando e;
    e.retornos = {R("TOT_PARCIAIS", 219), R("OPER_NO_FISCAL", 1550), R("VER_INT_MEM_FISCAL_COMP_RD", 36)};
    e.FormatarRetorno();  // no answer at all
    EXPECT_EQ(e.retorno_formatado.substr(0, 4), "\r\n\r\n");

    // Declared sizes far beyond any answer build nothing huge.
    Comando h;
    h.retornos = {R("ASCII", 2000000000), R("BCD_INTEGER", 2000000000), R("BCD_FINANCE", 2000000000),
                  R("ALIQUOTAS", 2000000000), R("FLAG_CHEQUE", 2000000000), R("BCD_FLAG_PAYMENT_MODE", 2000000000)};
    h.resposta = Answer({'1', '2', '3'});
    h.FormatarRetorno();
    EXPECT_LT(h.retorno_formatado.size(), 1000u);
    EXPECT_EQ(h.retornos[0].valor_formatado, "123");  // the status bytes are part of the answer too
    EXPECT_EQ(h.retornos[1].valor_formatado, "");

    // Negative sizes move the position back but never out of the answer.
    Comando n;
    n.retornos = {R("ASCII", 1), R("BCD_DATA", -4), R("ASCII", 2)};
    n.resposta = Answer({'Q', 'R', 'S'});
    n.FormatarRetorno();
    EXPECT_EQ(n.retorno_formatado, "\r\n" + Comando::MensagemStatus(0x06, 'Q') +
                                       "\r\nCampo:\tQ\r\n\r\nFecha: 52/53/00\r\n\r\nCampo:\t\r\n");
}

}  // namespace
}  // namespace ordavo
