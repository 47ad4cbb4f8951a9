// Parameter encoding: every type's bytes, the stored changes, the failures and the frame limit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/comando.h"
#include "engine/env.h"
#include "engine/strings.h"
#include "engine/util.h"

namespace ordavo {
namespace {

class FixedClock : public Clock {
public:
    int UtcMillisecond() override { return ms; }
    int ms = 0;
};

Parametro P(const std::string& formato, int32_t tamanho, const std::string& valor, int32_t obrigatorio = 1) {
    Parametro p;
    p.formato = formato;
    p.tamanho = tamanho;
    p.valor = valor;
    p.obrigatorio = obrigatorio;
    return p;
}

struct Encoded {
    int32_t rc = 0;
    std::string bytes;  // what the parameters added after the prefix and escape
    Comando cmd;
};

// Prepares the command as the sender does (header room, prefix, two escape bytes, status
// length added to the expected answer) and encodes it.
Encoded Encode(std::vector<Parametro> params, int32_t prefill = 0) {
    Encoded e;
    Comando& c = e.cmd;
    c.parametros = std::move(params);
    c.retorno_formatado = "HDR";
    c.quadro.Reset(3);
    c.quadro.Append(uint8_t{0x1B});
    c.quadro.Append(uint8_t{0x23});
    c.quadro.Append(uint8_t{0x17});
    if (prefill > 0) {
        std::string fill(static_cast<size_t>(prefill), 'x');
        c.quadro.Append(fill.data(), prefill);
    }
    c.tamanho_status = 3;
    c.tamanho_retorno = 10 + 3;
    const int32_t start = c.quadro.length;
    e.rc = c.CodificarParametros();
    e.bytes.assign(reinterpret_cast<const char*>(c.quadro.data) + start, c.quadro.length - start);
    return e;
}

std::string Hex(const std::string& s) { return HexBytes(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }

class EncodeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetEngineEnv();
        EngineEnv().clock = &clock_;
    }
    void TearDown() override { ResetEngineEnv(); }
    FixedClock clock_;
};

void ExpectFailure(const Encoded& e, int32_t rc, int message) {
    EXPECT_EQ(e.rc, rc);
    EXPECT_EQ(e.cmd.retorno_formatado, "HDR" + Str(message));
    EXPECT_EQ(e.cmd.tamanho_retorno, 10) << "the status length must be taken back";
}

TEST_F(EncodeTest, DigitTypesArePaddedWithZerosAndStored) {
    EXPECT_EQ(Encode({P("INTEGER", 4, "1234", 0)}).bytes, "1234");
    EXPECT_EQ(Encode({P("INTEGER", 4, "", 0), P("INTEGER", 2, "7", 0)}).bytes, "07") << "an empty optional adds nothing";

    Encoded f = Encode({P("FINANCE", 8, "12,50")});
    EXPECT_EQ(f.rc, 0);
    EXPECT_EQ(f.bytes, "00001250");
    EXPECT_EQ(f.cmd.parametros[0].valor, "00001250");
    EXPECT_EQ(f.cmd.tamanho_retorno, 13);
    EXPECT_EQ(f.cmd.retorno_formatado, "HDR");

    ExpectFailure(Encode({P("FINANCE", 8, "123456789")}), -3, IDS_PARAM_TAMANO);
    EXPECT_EQ(Encode({P("FINANCE_3", 6, "1,5"), P("PERCENTAGE", 4, "12,5")}).bytes, "000015" "0125");

    Encoded opt = Encode({P("INTEGER", 2, "123", 0), P("INTEGER", 1, "9")});
    EXPECT_EQ(opt.rc, 0) << "an optional value of the wrong size is left out silently";
    EXPECT_EQ(opt.bytes, "9");
    EXPECT_EQ(opt.cmd.retorno_formatado, "HDR");
}

TEST_F(EncodeTest, MandatoryCheckAndItsExemptions) {
    Encoded e = Encode({P("INTEGER", 2, "5"), P("STRING", 3, ""), P("INTEGER", 2, "6")});
    ExpectFailure(e, -2, IDS_PARAM_OBLIGATORIO);
    EXPECT_EQ(e.bytes, "05") << "bytes before the failing parameter stay, nothing after it";
    EXPECT_EQ(e.cmd.parametros[2].valor, "6") << "encoding stops at the first failure";
    EXPECT_EQ(Str(IDS_PARAM_OBLIGATORIO), "Par\xE1metro obligat\xF3rio no llenado");

    EXPECT_EQ(Encode({P("NOT_EDITABLE", 3, "")}).bytes, "   ");
    EXPECT_EQ(Encode({P("NOT_EDITABLE", 3, "ABC")}).bytes, "ABC");
    EXPECT_EQ(Encode({P("NOT_EDITABLE", 3, "ABCD")}).bytes, "   ") << "a mandatory one of the wrong size sends spaces";
    Encoded ne = Encode({P("NOT_EDITABLE", 3, "AB", 0)});
    EXPECT_EQ(ne.rc, 0);
    EXPECT_EQ(ne.bytes, "");

    // Exempt from the mandatory check, but the size rule still holds.
    ExpectFailure(Encode({P("DIG_HEX_NOT_EDITABLE", 1, "")}), -3, IDS_PARAM_TAMANO);
    EXPECT_EQ(Encode({P("RANDOM_STRING", 4, "")}).bytes.size(), 4u);
    EXPECT_EQ(Encode({P("RANDOM_NUMBER", 6, "")}).bytes.size(), 6u);
    // Types that send nothing are still checked for a missing mandatory value.
    ExpectFailure(Encode({P("INFORME_TRANSACIONES", 3, "")}), -2, IDS_PARAM_OBLIGATORIO);
}

TEST_F(EncodeTest, FixedTextsArePaddedAndConverted) {
    EXPECT_EQ(Hex(Encode({P("STRING", 5, "A\xF1o")}).bytes), "41 A4 6F 20 20");
    Encoded opt = Encode({P("STRING", 3, "ABCD", 0)});
    EXPECT_EQ(opt.rc, 0);
    EXPECT_EQ(opt.bytes, "");
    ExpectFailure(Encode({P("STRING", 3, "ABCD")}), -3, IDS_PARAM_TAMANO);

    Encoded big = Encode({P("BIG_STRING", 6, "A\r\nB\r\n")});
    EXPECT_EQ(Hex(big.bytes), "41 0A 42 0A 20 20");
    EXPECT_EQ(big.cmd.parametros[0].valor, "A\r\nB\r\n") << "conversions work on a copy";
    EXPECT_EQ(Hex(Encode({P("STRING", 4, "A\r\nB")}).bytes), "41 0D 0A 42") << "only BIG_STRING drops the CR";

    // The 47 letters of the two code pages, and characters that are sent as they are.
    EXPECT_EQ(Hex(Encode({P("STRING", 8, "\xAA\xBA\xC7\xE9\xFF\xCB\xCE\xD6")}).bytes),
              "A6 A7 80 82 98 CB CE D6");
}

TEST_F(EncodeTest, RandomValuesComeFromTheClockSeed) {
    clock_.ms = 300;  // seed 300 % 256 = 44
    Encoded s = Encode({P("RANDOM_STRING", 8, "old")});
    std::srand(44);
    std::string expected;
    for (int i = 0; i < 8; ++i) expected.push_back(static_cast<char>(std::rand() % 94 + 32));
    EXPECT_EQ(s.cmd.parametros[0].valor, expected) << "the random text replaces the value and is kept";
    EXPECT_EQ(s.bytes, expected);
    for (char ch : s.bytes) {
        EXPECT_GE(static_cast<uint8_t>(ch), 0x20);
        EXPECT_LE(static_cast<uint8_t>(ch), 0x7D);
    }

    Encoded n = Encode({P("RANDOM_NUMBER", 6, "")});
    ASSERT_EQ(n.bytes.size(), 6u);
    EXPECT_EQ(n.cmd.parametros[0].valor, n.bytes);
    EXPECT_NE(n.bytes, "000000");
    for (char ch : n.bytes) EXPECT_TRUE(ch >= '0' && ch <= '9');

    // A one-digit random number is never 0: seeds whose first draw is 0 give "1".
    int zero_seeds = 0;
    for (int ms = 0; ms < 256; ++ms) {
        clock_.ms = ms;
        std::srand(static_cast<unsigned>(ms));
        const int first = std::rand() % 10;
        const std::string got = Encode({P("RANDOM_NUMBER", 1, "")}).bytes;
        if (first == 0) {
            ++zero_seeds;
            EXPECT_EQ(got, "1") << "seed " << ms;
        } else {
            EXPECT_EQ(got, std::string(1, static_cast<char>('0' + first))) << "seed " << ms;
        }
    }
    EXPECT_GT(zero_seeds, 0) << "no seed exercised the never-zero rule";
    // An optional random parameter without a value is left out like any other.
    EXPECT_EQ(Encode({P("RANDOM_NUMBER", 4, "", 0)}).bytes, "");
}

TEST_F(EncodeTest, VariableTextsEndInLineFeed) {
    EXPECT_EQ(Hex(Encode({P("BIG_STRING_VAR_SIZE", 10, "AB\r\nC")}).bytes), "41 42 0A 43 0A");
    EXPECT_EQ(Encode({P("BIG_STRING_VAR_SIZE", 10, "ABCDEFGHIJKL")}).bytes, "ABCDEFGHIJK\n");
    EXPECT_EQ(Encode({P("STRING_VAR_SIZE", 12, "ABCDEFGHIJKL")}).bytes, "ABCDEFGHIJK\n");
    EXPECT_EQ(Encode({P("STRING_VAR_SIZE", 4, "ABCDEFGH")}).bytes, "ABCDEFG\n") << "longer texts never fail";
    EXPECT_EQ(Encode({P("STRING_VAR_SIZE", 10, "AB\n")}).bytes, "AB\n");
    EXPECT_EQ(Encode({P("STRING_VAR_SIZE_WITHOUT_CR", 10, "A\r\nB")}).bytes, "A\r\nB");
    EXPECT_EQ(Hex(Encode({P("DISCOUNT", 2, "\xE9\xE9\xE9")}).bytes), "82 82 82");
    EXPECT_EQ(Encode({P("BILHETE_PASSAGEM", 1, "XYZ"), P("LEIT_DADOS_MEM_FISCAL", 1, "Q")}).bytes, "XYZQ");

    EXPECT_EQ(Hex(Encode({P("CLICHE", 40, "CLICHE_ENF_INI_XMLHolaCLICHE_ENF_END_XML")}).bytes),
              "1B 45 48 6F 6C 61 1B 46 0A");
    EXPECT_EQ(Hex(Encode({P("CLICHE", 100,
                            "CLICHE_SUB_INI_XMLCLICHE_SUB_END_XMLCLICHE_IT_INI_XMLCLICHE_IT_END_XML"
                            "CLICHE_EXP_INI_XMLCLICHE_EXP_END_XML\xE7")})
                      .bytes),
              "1B 2D 01 1B 2D 30 1B 34 1B 35 1B 57 01 1B 57 02 87 0A");
    EXPECT_EQ(Encode({P("CLICHE", 3, "a\r\nb\r\n")}).bytes, "a\nb\n");
    EXPECT_EQ(Encode({P("CLICHE", 3, "A", 0), P("CLICHE", 3, "", 0)}).bytes, "A\n");
}

TEST_F(EncodeTest, DatesAndBoundedTexts) {
    Encoded d = Encode({P("DATA", 6, "15/03/09"), P("DATA_2_2_4", 8, "15/03/2009"), P("HORA", 6, "080000")});
    EXPECT_EQ(d.bytes, "150309" "15032009" "080000");
    EXPECT_EQ(d.cmd.parametros[0].valor, "150309");
    ExpectFailure(Encode({P("HORA", 6, "08:00:00")}), -3, IDS_PARAM_TAMANO);

    EXPECT_EQ(Encode({P("FECHA_CUPOM", 10, "ABC"), P("LEIT_MEM_FISCAL", 3, "XYZ")}).bytes, "ABCXYZ");
    ExpectFailure(Encode({P("AC_OU_DESC_ITEM", 2, "ABC")}), -3, IDS_PARAM_TAMANO);
    EXPECT_EQ(Hex(Encode({P("DESCR_FORMA_PAGAMENTO", 16, "Tarjeta D\xE9" "bito")}).bytes),
              "54 61 72 6A 65 74 61 20 44 82 62 69 74 6F");
    EXPECT_EQ(Hex(Encode({P("IMPR_FITA_DETALHE", 16, "\xE9")}).bytes), "E9") << "sent without conversion";
}

TEST_F(EncodeTest, DigitPairsBecomeBytes) {
    EXPECT_EQ(Hex(Encode({P("DIG_HEX", 2, "1BFF")}).bytes), "1B FF");
    ExpectFailure(Encode({P("DIG_HEX", 2, "1B")}), -3, IDS_PARAM_TAMANO);
    EXPECT_EQ(Hex(Encode({P("DIG_HEX", 2, "1bff")}).bytes), "12 66") << "lower-case letters count as 1 to 6";
    EXPECT_EQ(Hex(Encode({P("CAR_GRAF_AUTENTICACAO", 3, "00A9C3"), P("DIG_HEX_NOT_EDITABLE", 1, "30")}).bytes),
              "00 A9 C3 30");
    EXPECT_EQ(Hex(Encode({P("CHEQUE_POS", 2, "0512")}).bytes), "05 0C");
    EXPECT_EQ(Hex(Encode({P("CHEQUE_POS", 3, "99-1 7")}).bytes), "63 FF 07");
    ExpectFailure(Encode({P("CHEQUE_POS", 2, "051")}), -3, IDS_PARAM_TAMANO);
}

TEST_F(EncodeTest, SingleByteAndBcdTypes) {
    EXPECT_EQ(Hex(Encode({P("BINARIO", 1, "65"), P("BINARIO", 1, "300"), P("BINARIO", 1, "-1"),
                          P("BINARIO", 1, "abc"), P("BINARIO", 1, "256")})
                      .bytes),
              "41 FF FF 00 FF");
    EXPECT_EQ(Hex(Encode({P("CUPOM_OU_BILHETE_CONV_156", 1, "c"), P("CUPOM_OU_BILHETE_CONV_156", 1, "b"),
                          P("CUPOM_OU_BILHETE_CONV_156", 1, "B"), P("CUPOM_OU_BILHETE_CONV_156", 1, "bb")})
                      .bytes),
              "00 FF FF 00");

    Encoded b = Encode({P("BCD_INTEGER", 2, "5"), P("BCD_INTEGER", 1, "7"), P("BCD_INTEGER", 3, "300")});
    EXPECT_EQ(Hex(b.bytes), "05 00 07 2C 00 00") << "size 3 keeps the declared length, zero-filled";
    EXPECT_EQ(b.cmd.parametros[0].valor, "05");
    ExpectFailure(Encode({P("BCD_INTEGER", 1, "12")}), -3, IDS_PARAM_TAMANO);
}

TEST_F(EncodeTest, TaxSituationChange) {
    const std::string rates64 = std::string(32, '1') + std::string(32, '2');
    EXPECT_EQ(Hex(Encode({P("TROCA_SIT_TRIB", 64, "12" + rates64.substr(2))}).bytes.substr(0, 2)), "0C 31");

    Encoded small = Encode({P("TROCA_SIT_TRIB", 8, "0512345678")});
    EXPECT_EQ(Hex(small.bytes.substr(0, 1)), "05");
    EXPECT_EQ(small.bytes.substr(1), "0512345678") << "64 characters or fewer: the whole value";

    const std::string v70 = "03" + std::string(4, 'x') + rates64;
    Encoded big = Encode({P("TROCA_SIT_TRIB", 68, v70)});
    EXPECT_EQ(big.rc, 0);
    EXPECT_EQ(big.bytes, "\x03" + rates64);

    Encoded bad = Encode({P("TROCA_SIT_TRIB", 7, "0512345678")});
    ExpectFailure(bad, -3, IDS_PARAM_TAMANO);
    EXPECT_EQ(Hex(bad.bytes), "05") << "the position byte is in before the size check";
    Encoded opt = Encode({P("TROCA_SIT_TRIB", 7, "0512345678", 0), P("OPTIONS", 1, "D")});
    EXPECT_EQ(opt.rc, 0);
    EXPECT_EQ(Hex(opt.bytes), "05 44");
}

TEST_F(EncodeTest, ExactTypesAndTypesWithoutBytes) {
    EXPECT_EQ(Encode({P("VINC_ISS", 4, "0101"), P("OPTIONS", 1, "D")}).bytes, "0101D");
    ExpectFailure(Encode({P("VINC_ISS", 16, "01")}), -3, IDS_PARAM_TAMANO);
    Encoded none = Encode({P("STRING_VAR_SIZE_LINE", 5, "abc"), P("INFORME_TRANSACIONES", 5, "abc"),
                           P("INFORME_TRANSACIONES_SERIAL", 5, "abc"), P("string", 5, "abc"), P("", 5, "abc")});
    EXPECT_EQ(none.rc, 0);
    EXPECT_EQ(none.bytes, "");
}

TEST_F(EncodeTest, FrameNeverPassesTheBufferWithItsChecksum) {
    // Three header bytes and ESC 23 17 are in; the checksum needs the last two bytes.
    const int32_t room = BufferComando::kCapacity - 2 - 6;
    Encoded fits = Encode({P("STRING_VAR_SIZE_WITHOUT_CR", 1, std::string(room, 'A'))});
    EXPECT_EQ(fits.rc, 0);
    EXPECT_EQ(fits.cmd.quadro.length, BufferComando::kCapacity - 2);

    Encoded over = Encode({P("INTEGER", 2, "12"), P("STRING_VAR_SIZE_WITHOUT_CR", 1, std::string(room - 1, 'A'))});
    ExpectFailure(over, -3, IDS_PARAM_TAMANO);
    EXPECT_EQ(over.bytes, "12") << "nothing of the parameter that does not fit is appended";

    ExpectFailure(Encode({P("STRING_VAR_SIZE_WITHOUT_CR", 1, std::string(5000, 'A'), 0)}), -3, IDS_PARAM_TAMANO);
    ExpectFailure(Encode({P("BINARIO", 1, "1")}, room), -3, IDS_PARAM_TAMANO);
    EXPECT_EQ(Encode({P("BINARIO", 1, "1")}, room - 1).rc, 0);

    // Absurd declared sizes are refused before anything that large is built.
    ExpectFailure(Encode({P("NOT_EDITABLE", 2000000000, "")}), -3, IDS_PARAM_TAMANO);
    ExpectFailure(Encode({P("RANDOM_STRING", 2000000000, "")}), -3, IDS_PARAM_TAMANO);
    ExpectFailure(Encode({P("RANDOM_NUMBER", 2000000000, "")}), -3, IDS_PARAM_TAMANO);
    Encoded pad = Encode({P("INTEGER", 2000000000, "1")});
    ExpectFailure(pad, -3, IDS_PARAM_TAMANO);
    EXPECT_EQ(pad.cmd.parametros[0].valor, "1");
    ExpectFailure(Encode({P("STRING", 2000000000, "x")}), -3, IDS_PARAM_TAMANO);
    ExpectFailure(Encode({P("BCD_INTEGER", 2000000000, "1")}), -3, IDS_PARAM_TAMANO);
    ExpectFailure(Encode({P("DIG_HEX", 2000000000, "1B")}), -3, IDS_PARAM_TAMANO);
    // Negative sizes are simply wrong sizes.
    ExpectFailure(Encode({P("STRING", -5, "x")}), -3, IDS_PARAM_TAMANO);
    EXPECT_EQ(Encode({P("NOT_EDITABLE", -5, "")}).rc, 0);
}

}  // namespace
}  // namespace ordavo
