// ordavo-cli's catalog, frame and decode commands, run as a user runs them.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <set>

#include "engine/catalog.h"
#include "engine/util.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

namespace ordavo {
namespace {

using nlohmann::json;

test::RunResult Cli(const std::vector<std::string>& args) {
    return test::RunProgram(test::ProgramPath("ordavo-cli"), args, 30000);
}

// A small catalog with accents (Windows-1252 bytes in the file).
std::string WriteCatalog(const test::TempDir& dir) {
    std::string path = dir.File("c.xml");
    EXPECT_TRUE(WriteFileAtomically(path, "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n"
                                          "<comandos>\n"
                                          "  <cmd>\n"
                                          "    <tipo>Lecturas</tipo>\n"
                                          "    <titulo>Leer Fecha y Hora</titulo>\n"
                                          "    <escape>35 23</escape>\n"
                                          "    <equipamentos_hab>255</equipamentos_hab>\n"
                                          "    <tamanho_retorno>6</tamanho_retorno>\n"
                                          "    <retorno><titulo>Fecha</titulo><tamanho>3</tamanho><formato>BCD_DATA</formato></retorno>\n"
                                          "    <retorno><titulo>Hora</titulo><tamanho>3</tamanho><formato>BCD_HORA</formato></retorno>\n"
                                          "  </cmd>\n"
                                          "  <cmd>\n"
                                          "    <tipo>Cup\xF3n</tipo>\n"
                                          "    <titulo>Vender \xCDtem</titulo>\n"
                                          "    <escape>9</escape>\n"
                                          "    <parametro><titulo>C\xF3" "digo</titulo><tamanho>4</tamanho><formato>INTEGER</formato><obrigatorio>S</obrigatorio></parametro>\n"
                                          "    <parametro><titulo>Descripci\xF3n</titulo><tamanho>5</tamanho><formato>STRING</formato><valor>A\xF1o</valor></parametro>\n"
                                          "  </cmd>\n"
                                          "</comandos>\n"));
    return path;
}

TEST(Cli, CatalogListing) {
    test::TempDir dir;
    std::string file = WriteCatalog(dir);
    test::RunResult r = Cli({"catalog", file, "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    json j = json::parse(r.out);
    ASSERT_EQ(j.size(), 2u);
    EXPECT_EQ(j[0]["titulo"], "Leer Fecha y Hora");
    EXPECT_EQ(j[0]["bytes_escape"], json::array({35, 23}));
    EXPECT_EQ(j[0]["equipamentos_hab"], 255);
    EXPECT_EQ(j[0]["tamanho_retorno"], 6);
    EXPECT_EQ(j[0]["retornos"][1]["formato"], "BCD_HORA");
    EXPECT_EQ(j[1]["tipo"], "Cup\u00f3n");
    EXPECT_EQ(j[1]["titulo"], "Vender \u00cdtem");
    EXPECT_EQ(j[1]["parametros"][0]["obrigatorio"], 1);
    EXPECT_EQ(j[1]["parametros"][1]["obrigatorio"], 1);  // inherited
    EXPECT_EQ(j[1]["parametros"][1]["valor"], "A\u00f1o");
    EXPECT_EQ(j[1]["parametros"][0]["valor"], "");

    r = Cli({"catalog", file});
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Vender \xC3\x8Dtem"), std::string::npos) << r.out;  // UTF-8 on the terminal

    EXPECT_EQ(Cli({"catalog", dir.File("none.xml")}).status, 66);
    ASSERT_TRUE(WriteFileAtomically(dir.File("bad.xml"), "not xml"));
    r = Cli({"catalog", dir.File("bad.xml")});
    EXPECT_EQ(r.status, 66);
    EXPECT_NE(r.err.find("bad.xml"), std::string::npos) << r.err;
    // Without a file, the country's catalog: none here, and none in the build tree's data directory.
    EXPECT_EQ(Cli({"catalog", "--dir", dir.path()}).status, 66);
    EXPECT_EQ(Cli({"bogus"}).status, 64);
    EXPECT_EQ(Cli({"--help"}).status, 0);
}

TEST(Cli, Frames) {
    test::TempDir dir;
    std::string file = WriteCatalog(dir);
    test::RunResult r = Cli({"frame", file, "0", "--extended", "0"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "02 05 00 1B 23 17 55 00\n");
    r = Cli({"frame", file, "Leer Fecha y Hora"});  // extended by default
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "02 05 00 1C 23 17 56 00\n");

    // 1C 09 "0012" 41 A4 6F 20 20: the value padded, the n with tilde in code page 850.
    r = Cli({"frame", file, "1", "--set", "1=12"});
    ASSERT_EQ(r.status, 0) << r.err;
    int sum = 0x1C + 0x09 + '0' + '0' + '1' + '2' + 0x41 + 0xA4 + 0x6F + 0x20 + 0x20;
    EXPECT_EQ(r.out, Format("02 0D 00 1C 09 30 30 31 32 41 A4 6F 20 20 %02X %02X\n", sum & 0xFF, sum >> 8));
    r = Cli({"frame", file, "Vender \xC3\x8Dtem", "--set", "2=\xC3\x91u"});  // typed in UTF-8
    ASSERT_EQ(r.status, 2) << r.out;  // parameter 1 is mandatory and empty
    EXPECT_NE(r.err.find("obligat"), std::string::npos) << r.err;
    r = Cli({"frame", file, "1", "--set", "1=123456"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(Cli({"frame", file, "7"}).status, 64);
    EXPECT_EQ(Cli({"frame", file, "1", "--set", "3=x"}).status, 64);
    EXPECT_EQ(Cli({"frame", file, "1", "--set", "nonsense"}).status, 64);
    EXPECT_EQ(Cli({"frame", file, "0", "--extended", "2"}).status, 64);
}

TEST(Cli, Decoding) {
    test::TempDir dir;
    std::string file = WriteCatalog(dir);
    test::RunResult r = Cli({"decode", file, "0", "--answer", "06 15 03 09 10 20 30 00 00 00 00", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    json j = json::parse(r.out);
    std::string text = j["retorno_formatado"];
    EXPECT_NE(text.find("COMANDO OK"), std::string::npos) << text;
    EXPECT_NE(text.find("Fecha: 15/03/09"), std::string::npos) << text;
    EXPECT_EQ(j["retornos"][0]["valor_formatado"], "150309");
    EXPECT_EQ(j["retornos"][1]["valor_formatado"], "102030");

    r = Cli({"decode", file, "0", "--extended", "0", "--answer", "06 15 03 09 10 20 30 40 01"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("POCO PAPEL\nCOMANDO NO EJECUTADO"), std::string::npos) << r.out;
    // A short or garbled answer is shown as far as it goes, never a crash.
    EXPECT_EQ(Cli({"decode", file, "0", "--answer", "15"}).status, 0);
    EXPECT_EQ(Cli({"decode", file, "0", "--answer", "zz"}).status, 64);
}

// The sample catalogs together use every parameter and return type and hold the commands that
// the program sends in code.
TEST(Cli, SampleCatalogsCoverTheVocabulary) {
    const std::vector<std::string> files = {"comandos_vn.xml", "comandos_cl.xml", "comandos_lot.xml",
                                            "comandos_rd.xml", "XML/comandos_pa.xml", "comandos.xml"};
    std::set<std::string> params, returns, groups, escapes;
    std::set<int> lengths;
    for (const std::string& f : files) {
        std::vector<Comando> list;
        std::string error;
        std::vector<std::string> warnings;
        ASSERT_EQ(CarregarArquivoCatalogo(test::CatalogDir() + "/" + f, list, &error, &warnings), 0) << error;
        EXPECT_TRUE(warnings.empty()) << f << ": " << warnings[0];
        EXPECT_GT(list.size(), 5u) << f;
        for (const Comando& c : list) {
            groups.insert(c.tipo);
            escapes.insert(c.escape);
            lengths.insert(c.tamanho_retorno);
            for (const Parametro& p : c.parametros) params.insert(p.formato);
            for (const Retorno& r : c.retornos) returns.insert(r.formato);
        }
        test::RunResult r = Cli({"catalog", test::CatalogDir() + "/" + f, "--json"});
        ASSERT_EQ(r.status, 0) << f << r.err;
        EXPECT_EQ(json::parse(r.out).size(), list.size());
    }
    for (const char* t :
         {"STRING", "BIG_STRING", "RANDOM_STRING", "STRING_VAR_SIZE", "BIG_STRING_VAR_SIZE",
          "STRING_VAR_SIZE_WITHOUT_CR", "BILHETE_PASSAGEM", "LEIT_DADOS_MEM_FISCAL", "DISCOUNT", "CLICHE", "INTEGER",
          "FINANCE", "FINANCE_3", "PERCENTAGE", "RANDOM_NUMBER", "BCD_INTEGER", "BINARIO", "DATA", "DATA_2_2_4",
          "HORA", "FECHA_CUPOM", "AC_OU_DESC_ITEM", "AC_OU_DESC_SUB", "DESCR_FORMA_PAGAMENTO",
          "DESCR_FORMA_PAGAMENTO_MP_20", "IMPR_FITA_DETALHE", "LEIT_MEM_FISCAL", "CHEQUE_POS", "DIG_HEX",
          "DIG_HEX_NOT_EDITABLE", "CAR_GRAF_AUTENTICACAO", "NOT_EDITABLE", "TROCA_SIT_TRIB",
          "CUPOM_OU_BILHETE_CONV_156", "VINC_ISS", "OPTIONS", "STRING_VAR_SIZE_LINE", "INFORME_TRANSACIONES",
          "INFORME_TRANSACIONES_SERIAL"})
        EXPECT_TRUE(params.count(t)) << "no parameter of type " << t;
    for (const char* t :
         {"ASCII", "INTEGER", "BCD_INTEGER", "BCD_PERCENTAGE", "BCD_FINANCE", "BCD_DATA", "BCD_HORA",
          "BCD_FLAG_PAYMENT_MODE", "STATUS_PAPEL", "ASCII_FLAGS_FISCAIS", "ASCII_FLAGS_FISCAIS_II",
          "ASCII_FLAGS_FISCAIS_III", "FLAG_SENSORES", "FLAG_CHEQUE", "ASCII_FLAG_VINC_ISS", "BCD_FLAG_INT_TEC",
          "BCD_FLAG_EPROM_CONECT", "FLAG_TRUNCAMENTO", "FLAG_CORTE", "FLAG_ALINHAMENTO", "FLAG_BP_CF",
          "FLAG_PRESENTER_GAVETA", "FLAG_CUTTER_AUTENTIC", "FLAG_RED_AUT_COM", "FLAG_GAVETA", "OPER_NO_FISCAL",
          "FORMAS_DE_PAGAMENTO", "DEPARTAMENTOS", "TOT_NAO_SUJ_ICMS", "RELAT_GER", "VER_INT_MEM_FISCAL",
          "VER_INT_MEM_FISCAL_COMP", "VER_INT_MEM_FISCAL_COMP_RD", "ALIQUOTAS", "TOT_PARCIAIS", "TIPO_DOC_ABERTO"})
        EXPECT_TRUE(returns.count(t)) << "no return field of type " << t;
    EXPECT_TRUE(groups.count("TESTE"));
    EXPECT_TRUE(groups.count("GPRS"));
    EXPECT_TRUE(lengths.count(-1));
    EXPECT_TRUE(lengths.count(-2));
    for (const char* e : {"35 23", "2", "35 0", "35 2", "26", "35 29", "35 13", "-1", "-2", "-3", "-4", "-5"})
        EXPECT_TRUE(escapes.count(e)) << "no command with escape " << e;
    bool fiscal_memory_reading = false;
    for (const std::string& e : escapes) fiscal_memory_reading |= e == "8" || e.rfind("8 ", 0) == 0;
    EXPECT_TRUE(fiscal_memory_reading);
}

}  // namespace
}  // namespace ordavo
