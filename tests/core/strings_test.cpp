// The string table: numbered texts in Windows-1252, looked up by number.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/strings.h"

namespace ordavo {
namespace {

TEST(StringsTest, TextsByNumber) {
    EXPECT_EQ(Str(IDS_COMANDO_OK), "COMANDO OK");
    EXPECT_EQ(Str(IDS_PARAM_TAMANO), "Par\xE1metro con tama\xF1o equivocado");
    EXPECT_EQ(Str(IDS_CATALOGO_NO_CARGADO),
              "No fu\xE9 posible cargar el archivo \".xml\" con la definici\xF3n de los comandos");
    EXPECT_EQ(Str(IDS_CARGANDO_CATALOGO), "Cargando el arquivo \".xml\" de definici\xF3n de los comandos...");
    EXPECT_EQ(Str(IDS_ARCHIVO_CRIADO), "Archivo criado con \xE9xito: \r\n%s");
    EXPECT_EQ(Str(IDS_COMENZAR_DOCUMENTO), "\xBF" "Comienzar el documento ahora?");
    EXPECT_EQ(Str(IDS_CELULAS_NOK), "\xA1" "Atenci\xF3n: Detectada C\xE9lulas no OK!");
    EXPECT_EQ(Str(IDS_OTRO_PAIS), "-- Otro --");
    EXPECT_EQ(Str(IDS_AGUARDE), "Por favor, aguarde.....");
    EXPECT_EQ(Str(IDS_AGUARDE_CORTO), "Aguarde......");
    EXPECT_EQ(Str(IDS_SI), "si");
    EXPECT_EQ(Str(IDS_NO), "no");
    EXPECT_EQ(Str(33019), "Puerta Comunicac\xEDon inv\xE1lida");
    EXPECT_EQ(Str(33029), "Error en el Archivo de Sal\xED" "da");
    EXPECT_EQ(Str(IDS_DOC_NOTA_CREDITO), "Nota Cr\xE9" "dito para Cr\xE9" "dito Fiscal");

    // The second wording of the status flags: ST1 bit b is 33076 + (7 - b), ST2 33084 + (7 - b).
    EXPECT_EQ(Str(IDS_ST1_BIT7 + 7), "N\xDAMERO DE PAR\xC1METROS DE CMD INV\xC1LIDO");
    EXPECT_EQ(Str(IDS_ST1_BIT7 + 6), "TICKET ABIERTO");
    EXPECT_EQ(Str(IDS_ST2_BIT7), "TIPO DE PAR\xC1METRO DE CMD INV\xC1LIDO");
    EXPECT_EQ(Str(IDS_ST2_BIT7 + 6), "IDENTIFICACI\xD3N FISCAL NO PROGRAMADA");

    // Menu command numbers of the fiscal-memory window are not strings; unknown numbers are empty.
    for (int id : {0, -1, 32773, 32775, 32999 + 1000000}) {
        EXPECT_FALSE(HasStr(id)) << id;
        EXPECT_EQ(Str(id), "") << id;
    }
    EXPECT_TRUE(HasStr(IDS_ANULAR));
    EXPECT_EQ(&Str(IDS_SALIR), &Str(IDS_SALIR)) << "each text is stored once";

    const auto ids = StrIds();
    EXPECT_EQ(std::set<int>(ids.begin(), ids.end()).size(), ids.size());
    for (int id : ids) {
        EXPECT_GE(id, 32776);
        EXPECT_FALSE(Str(id).empty()) << id;
    }
}

}  // namespace
}  // namespace ordavo
