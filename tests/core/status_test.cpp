// Status byte texts (ST1, ST2) and the extended return code tables (ST3).
#include <gtest/gtest.h>

#include <string>

#include "engine/comando.h"

namespace ordavo {
namespace {

TEST(StatusTest, FlagTextsInBitOrder) {
    EXPECT_EQ(Comando::MensagemStatus(0, 0), "COMANDO OK");
    EXPECT_EQ(Comando::MensagemStatus(0x0F, 0),
              "\r\nPRIMERO DATO DEL CMD NO FOE ESC ( 1BH)\r\nCOMANDO INEXISTENTE\r\nCUPOM ABIERTO"
              "\r\nN\xDAMERO DE PAR\xC2METROS DEL CMD INV\xC1LIDO");
    EXPECT_EQ(Comando::MensagemStatus(0x40, 0x01), "\r\nPOCO PAPEL\r\nCOMANDO NO EJECUTADO");
    EXPECT_EQ(Comando::MensagemStatus(0xF0, 0),
              "\r\nFIN DEL PAPEL\r\nPOCO PAPEL\r\nERROR EN EL RELOJ\r\nIMPRESORA EN ERROR");
    EXPECT_EQ(Comando::MensagemStatus(0, 0xFF),
              "\r\nTIPO DE PAR\xC2METRO DEL CMD INV\xC1LIDO\r\nMEMORIA FISCAL AGOTADA"
              "\r\nERROR EN LA MEM\xD3RIA RAM CMOS NO VOL\xC1TIL\r\nTASA NO PROGRAMADA"
              "\r\nCAPACIDADE DE TASAS PROGRAMABLES AGOTADA\r\nANULACI\xD3N NO PERMITIDA"
              "\r\nRIF/NIT DEL USUARIO NO PROGRAMADOS\r\nCOMANDO NO EJECUTADO");
    // ST1 always comes before ST2, whichever bits are set.
    EXPECT_EQ(Comando::MensagemStatus(0x01, 0x80),
              "\r\nN\xDAMERO DE PAR\xC2METROS DEL CMD INV\xC1LIDO\r\nTIPO DE PAR\xC2METRO DEL CMD INV\xC1LIDO");
    // Only the byte counts: a value widened with sign bits reads as its low byte.
    EXPECT_EQ(Comando::MensagemStatus(-256, 0x100), "COMANDO OK");
    EXPECT_EQ(Comando::MensagemStatus(-128, 0), "\r\nFIN DEL PAPEL");
}

TEST(StatusTest, ReturnCodeTables) {
    EXPECT_EQ(Comando::MensagemRetorno(0, 0), "\r\nCOMANDO OK\r\n");
    EXPECT_EQ(Comando::MensagemRetorno(0x0E, 0x00), "\r\nTASA NO PROGRAMADA\r\n");
    EXPECT_EQ(Comando::MensagemRetorno(0x01, 0x10), "\r\nRETORNO ANULADA A GENERACI\xD3N DE LAS CLAVES\r\n");
    EXPECT_EQ(Comando::MensagemRetorno(0x00, 0x10), "\r\nRETORNO ERROR EN LA GENERACI\xD3N DE LAS CLAVES\r\n");
    EXPECT_EQ(Comando::MensagemRetorno(0x10, 0x10), "\r\nRETORNO_RIF_NAO_CADASTRADO\r\n");
    EXPECT_EQ(Comando::MensagemRetorno(1, 0), "\r\nCOMANDO INV\xC1LIDO\r\n");
    EXPECT_EQ(Comando::MensagemRetorno(62, 0), "\r\nYA HECHO MOV EN EL D\xCD" "A\r\n");
    EXPECT_EQ(Comando::MensagemRetorno(158, 0), "\r\nSE\xD1" "A RUT INVALIDA\r\n");
    EXPECT_EQ(Comando::MensagemRetorno(202, 0),
              "\r\nRETORNO IDENTIFICACI\xD3N DEL CONSUMIDOR NO PERMITIDO PARA RETIRADA O FONDO\r\n");
    EXPECT_EQ(Comando::MensagemRetorno(215, 0), "\r\nRETORNO USU\xC1RIO YA PROGRAMADO\r\n");

    int with_text = 0;
    for (int code = 0; code < 65536; ++code) {
        const std::string t = Comando::MensagemRetorno(code & 0xFF, code >> 8);
        const bool expected = code <= 215 || (code >= 4096 && code <= 4112);
        ASSERT_EQ(!t.empty(), expected) << "code " << code;
        if (t.empty()) continue;
        ++with_text;
        EXPECT_EQ(t.substr(0, 2), "\r\n");
        EXPECT_EQ(t.substr(t.size() - 2), "\r\n");
        EXPECT_LT(t.size() - 2, 80u) << "an entry is an 80-byte field, code " << code;
        EXPECT_EQ(t.find('\0'), std::string::npos);
    }
    EXPECT_EQ(with_text, 216 + 17);
}

}  // namespace
}  // namespace ordavo
