#include "engine/catalog.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/codepage.h"
#include "engine/env.h"
#include "engine/util.h"
#include "tests/support/paths.h"

namespace ordavo {
namespace {

std::vector<Comando> LoadText(const test::TempDir& dir, const std::string& xml, int* result = nullptr) {
    EXPECT_TRUE(WriteFileAtomically(dir.File("c.xml"), xml));
    std::vector<Comando> list;
    int r = CarregarArquivoCatalogo(dir.File("c.xml"), list);
    if (result) *result = r;
    return list;
}

TEST(Catalog, ReadsEveryCommandWithItsRules) {
    test::TempDir dir;
    std::vector<Comando> list = LoadText(dir, R"(<?xml version="1.0" encoding="Windows-1252"?>
<catalogo>
  <cmd>
    <tipo>Lecturas</tipo>
    <titulo>Primero</titulo>
    <titulo>Segundo</titulo>
    <escape>35 23</escape>
    <equipamentos_hab>  4096xyz</equipamentos_hab>
    <tamanho_retorno>-1</tamanho_retorno>
    <tipo_retorno>ASCII</tipo_retorno>
    <parametro>
      <titulo>Valor</titulo><formato>INTEGER</formato><tamanho>4</tamanho><valor>12</valor>
    </parametro>
    <parametro>
      <obrigatorio>s</obrigatorio>
    </parametro>
    <parametro>
      <titulo>Otro</titulo><valor>9</valor>
    </parametro>
    <retorno><titulo>Fecha</titulo><tamanho>3</tamanho><formato>BCD_DATA</formato></retorno>
    <retorno><titulo>Hora</titulo></retorno>
  </cmd>
  <grupo>
    <sub>
      <cmd>
        <titulo>Anidado</titulo>
        <tamanho_retorno>-2</tamanho_retorno>
        <escape>35  23 </escape>
        <parametro><obrigatorio>N</obrigatorio><tamanho>abc</tamanho></parametro>
      </cmd>
    </sub>
  </grupo>
  <cmd><parametro><titulo>primero</titulo></parametro><retorno><titulo>r</titulo></retorno></cmd>
  <cmd><retorno><titulo>r</titulo></retorno>
    <parametro><titulo>p</titulo></parametro></cmd>
  <cmd/>
</catalogo>
)");
    ASSERT_EQ(list.size(), 5u);

    const Comando& a = list[0];
    EXPECT_EQ(a.tipo, "Lecturas");
    EXPECT_EQ(a.titulo, "Primero");  // the first of two
    EXPECT_EQ(a.escape, "35 23");
    ASSERT_EQ(a.n_bytes_escape, 2);
    EXPECT_EQ(a.bytes_escape[0], 0x23);
    EXPECT_EQ(a.bytes_escape[1], 0x17);
    EXPECT_EQ(a.equipamentos_hab, 4096);
    EXPECT_EQ(a.tamanho_retorno, -1);
    EXPECT_EQ(a.tipo_retorno, "ASCII");
    ASSERT_EQ(a.parametros.size(), 3u);
    // Missing members are inherited from the previous parameter; "valor" never is.
    EXPECT_EQ(a.parametros[0].obrigatorio, 1);
    EXPECT_EQ(a.parametros[0].valor, "12");
    EXPECT_EQ(a.parametros[1].titulo, "Valor");
    EXPECT_EQ(a.parametros[1].formato, "INTEGER");
    EXPECT_EQ(a.parametros[1].tamanho, 4);
    EXPECT_EQ(a.parametros[1].obrigatorio, 0);  // lower-case "s" is not "S"
    EXPECT_EQ(a.parametros[1].valor, "");
    EXPECT_EQ(a.parametros[2].titulo, "Otro");
    EXPECT_EQ(a.parametros[2].obrigatorio, 0);  // inherited
    EXPECT_EQ(a.parametros[2].formato, "INTEGER");
    EXPECT_EQ(a.parametros[2].valor, "9");
    ASSERT_EQ(a.retornos.size(), 2u);
    EXPECT_EQ(a.retornos[1].titulo, "Hora");
    EXPECT_EQ(a.retornos[1].tamanho, 3);
    EXPECT_EQ(a.retornos[1].formato, "BCD_DATA");

    const Comando& b = list[1];
    EXPECT_EQ(b.titulo, "Anidado");
    EXPECT_EQ(b.tamanho_retorno, -2);
    // Two spaces make an empty piece, a trailing space one more.
    ASSERT_EQ(b.n_bytes_escape, 4);
    EXPECT_EQ(b.bytes_escape[0], 0x23);
    EXPECT_EQ(b.bytes_escape[1], 0x00);
    EXPECT_EQ(b.bytes_escape[2], 0x17);
    EXPECT_EQ(b.bytes_escape[3], 0x00);
    ASSERT_EQ(b.parametros.size(), 1u);
    EXPECT_EQ(b.parametros[0].tamanho, 0);  // not a number
    EXPECT_EQ(b.parametros[0].obrigatorio, 0);
    EXPECT_EQ(b.equipamentos_hab, 0);
    EXPECT_EQ(b.tipo, "");

    // A list element that is the very first child node is no list at all.
    EXPECT_EQ(list[2].parametros.size(), 0u);
    EXPECT_EQ(list[2].retornos.size(), 1u);
    EXPECT_EQ(list[3].retornos.size(), 0u);
    EXPECT_EQ(list[3].parametros.size(), 1u);
    EXPECT_EQ(list[4].n_bytes_escape, 0);
    EXPECT_EQ(list[4].tamanho_retorno, 0);
}

// The one-pass reader that loads catalog files reads exactly what the document-tree reader
// (the one the sequence files use) reads, on the sample catalogs and on unusual shapes.
TEST(Catalog, BothReadersAgree) {
    std::vector<std::string> texts, originals;
    for (const char* f : {"comandos_vn.xml", "comandos_cl.xml", "comandos_lot.xml", "comandos_rd.xml",
                          "XML/comandos_pa.xml", "comandos.xml"}) {
        std::string bytes;
        ASSERT_TRUE(ReadWholeFile(test::CatalogDir() + "/" + f, bytes)) << f;
        texts.push_back(Cp1252ToUtf8(bytes));
        originals.push_back(bytes);
    }
    texts.push_back("<c><cmd><!-- first --><parametro><titulo>a</titulo></parametro><parametro/></cmd>"
                    "<cmd><![CDATA[x]]><retorno><titulo>r<b>s</b>t</titulo></retorno><retorno/></cmd>"
                    "<cmd>text<parametro><valor>1</valor><valor>2</valor><cmd><titulo>in</titulo></cmd></parametro>"
                    "<titulo>A<x/>B</titulo><titulo>C</titulo><tipo><![CDATA[T]]>U</tipo></cmd>"
                    "<cmd><?pi x?><retorno><titulo>q</titulo></retorno></cmd>"
                    "<cmd>\n<titulo>&lt;&amp;&#233;</titulo></cmd></c>");
    originals.push_back(texts.back());
    for (size_t t = 0; t < texts.size(); ++t) {
        const std::string& text = texts[t];
        std::vector<Comando> fast;
        ASSERT_EQ(LerCatalogoTexto(text, "t.xml", fast), 0);
        BDOM dom;
        ASSERT_EQ(dom.LoadMemory(originals[t]), 0);
        BNodeList cmds = dom.SelectNodes("//cmd");
        ASSERT_EQ(fast.size(), cmds.size());
        for (size_t i = 0; i < cmds.size(); ++i) {
            Comando tree = LerCmd(cmds[i], CmdReadOptions(), "t.xml", nullptr);
            const Comando& f = fast[i];
            SCOPED_TRACE(tree.titulo);
            EXPECT_EQ(f.titulo, tree.titulo);
            EXPECT_EQ(f.tipo, tree.tipo);
            EXPECT_EQ(f.escape, tree.escape);
            EXPECT_EQ(f.equipamentos_hab, tree.equipamentos_hab);
            EXPECT_EQ(f.tamanho_retorno, tree.tamanho_retorno);
            ASSERT_EQ(f.parametros.size(), tree.parametros.size());
            for (size_t k = 0; k < f.parametros.size(); ++k) {
                EXPECT_EQ(f.parametros[k].titulo, tree.parametros[k].titulo);
                EXPECT_EQ(f.parametros[k].valor, tree.parametros[k].valor);
                EXPECT_EQ(f.parametros[k].formato, tree.parametros[k].formato);
                EXPECT_EQ(f.parametros[k].tamanho, tree.parametros[k].tamanho);
                EXPECT_EQ(f.parametros[k].obrigatorio, tree.parametros[k].obrigatorio);
            }
            ASSERT_EQ(f.retornos.size(), tree.retornos.size());
            for (size_t k = 0; k < f.retornos.size(); ++k) {
                EXPECT_EQ(f.retornos[k].titulo, tree.retornos[k].titulo);
                EXPECT_EQ(f.retornos[k].formato, tree.retornos[k].formato);
            }
        }
    }
    std::vector<Comando> none;
    EXPECT_EQ(LerCatalogoTexto("<c><cmd></c>", "t.xml", none), -1);
}

TEST(Catalog, EscapeTexts) {
    Comando c;
    EXPECT_TRUE(c.SetEscape("-1"));
    ASSERT_EQ(c.n_bytes_escape, 1);
    EXPECT_EQ(c.bytes_escape[0], 0xFF);
    EXPECT_TRUE(c.SetEscape("62 95 97"));
    EXPECT_EQ(c.n_bytes_escape, 3);
    EXPECT_TRUE(c.SetEscape("256 257 x"));
    EXPECT_EQ(c.bytes_escape[0], 0x00);
    EXPECT_EQ(c.bytes_escape[1], 0x01);
    EXPECT_EQ(c.bytes_escape[2], 0x00);
    EXPECT_TRUE(c.SetEscape("1 2 3 4 5 6 7 8 9 10"));
    EXPECT_EQ(c.n_bytes_escape, 10);

    // Beyond what a printer command can be: refused, nothing half-parsed is kept.
    EXPECT_FALSE(c.SetEscape("1 2 3 4 5 6 7 8 9 10 11"));
    EXPECT_FALSE(c.escape_valido);
    EXPECT_EQ(c.n_bytes_escape, 0);
    EXPECT_FALSE(c.SetEscape("35 99999999999999999999"));
    EXPECT_EQ(c.n_bytes_escape, 0);
    EXPECT_FALSE(c.SetEscape(std::string(100000, ' ')));
    EXPECT_TRUE(c.SetEscape("35 0"));
    EXPECT_TRUE(c.escape_valido);

    // Copies carry the escape and the lists, never a running execution's state.
    c.resposta = {6, 0, 0};
    c.AdicionarParametro(Parametro());
    Comando copy = c;
    EXPECT_EQ(copy.n_bytes_escape, 2);
    EXPECT_EQ(copy.parametros.size(), 1u);
    EXPECT_TRUE(copy.resposta.empty());
    EXPECT_EQ(copy.transporte, nullptr);
}

TEST(Catalog, BadFilesLeaveTheListAlone) {
    test::TempDir dir;
    std::vector<Comando> list(3);
    std::string error;
    EXPECT_EQ(CarregarArquivoCatalogo(dir.File("none.xml"), list, &error), -1);
    EXPECT_EQ(list.size(), 3u);
    EXPECT_FALSE(error.empty());
    ASSERT_TRUE(WriteFileAtomically(dir.File("bad.xml"), "this is not xml <cmd>"));
    EXPECT_EQ(CarregarArquivoCatalogo(dir.File("bad.xml"), list, &error), -1);
    EXPECT_EQ(list.size(), 3u);
    EXPECT_NE(error.find("bad.xml"), std::string::npos);

    std::vector<std::string> warnings;
    ASSERT_TRUE(WriteFileAtomically(dir.File("w.xml"), "<c>\n<cmd>\n<titulo>X</titulo>\n"
                                                       "<escape>1 2 3 4 5 6 7 8 9 10 11 12</escape>\n</cmd>\n</c>"));
    ASSERT_EQ(CarregarArquivoCatalogo(dir.File("w.xml"), list, &error, &warnings), 0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_FALSE(list[0].escape_valido);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind(dir.File("w.xml") + ":2:", 0), 0u) << warnings[0];
}

class ChoosingUi : public SilentUserInterface {
public:
    bool ChooseOpenFile(const std::string& title, const std::string& ext, const std::string& filter,
                        const std::string&, std::string& chosen) override {
        asked.push_back(title + "|" + ext + "|" + filter);
        if (answers.empty()) return false;
        chosen = answers.front();
        answers.erase(answers.begin());
        return !chosen.empty();
    }
    std::vector<std::string> answers;
    std::vector<std::string> asked;
};

TEST(Catalog, ChoiceOfTheCountryFile) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.File("XML"));
    auto put = [&](const std::string& name, const std::string& title) {
        ASSERT_TRUE(WriteFileAtomically(dir.File(name), "<c>\n<cmd><titulo>" + title + "</titulo></cmd>\n</c>"));
    };
    put("comandos_vn.xml", "vn");
    put("comandos_cl.xml", "cl");
    put("XML/comandos_pa.xml", "pa");
    put("comandos.xml", "generic");
    put("otro.xml", "otro");

    ChoosingUi ui;
    ResetEngineEnv();
    EngineEnv().ui = &ui;
    Settings s;
    s.AppDirectory = dir.path();
    std::vector<Comando> list;

    s.Country = "PANAMA";
    ASSERT_EQ(CarregarCatalogo(s, list), 0);
    EXPECT_EQ(list[0].titulo, "pa");
    EXPECT_EQ(s.CatalogPath, dir.File("XML/comandos_pa.xml"));

    s.Country = "chile";  // compared exactly
    ASSERT_EQ(CarregarCatalogo(s, list), 0);
    EXPECT_EQ(list[0].titulo, "generic");

    s.Country = "-- Otro --";
    ui.answers = {dir.File("otro.xml")};
    ASSERT_EQ(CarregarCatalogo(s, list), 0);
    EXPECT_EQ(list[0].titulo, "otro");
    EXPECT_EQ(s.CatalogPath, dir.File("otro.xml"));
    ASSERT_EQ(ui.asked.size(), 1u);
    EXPECT_EQ(ui.asked[0], "Lista de comandos (XML)|*.xml|Comandos (*.xml)|*.xml|Todos los Archivos (*.*)|*.*||");

    ui.answers = {};  // cancelled: the generic file
    ASSERT_EQ(CarregarCatalogo(s, list), 0);
    EXPECT_EQ(list[0].titulo, "generic");

    // The country's file is missing: one dialog; cancelled or broken gives -1 and keeps the list.
    s.Country = "LOTERIAS";
    ui.asked.clear();
    EXPECT_EQ(CarregarCatalogo(s, list), -1);
    EXPECT_EQ(ui.asked.size(), 1u);
    EXPECT_EQ(list[0].titulo, "generic");
    ASSERT_TRUE(WriteFileAtomically(dir.File("roto.xml"), "<c>"));
    ui.answers = {dir.File("roto.xml")};
    EXPECT_EQ(CarregarCatalogo(s, list), -1);
    EXPECT_EQ(list[0].titulo, "generic");
    ui.answers = {dir.File("comandos_cl.xml")};
    ASSERT_EQ(CarregarCatalogo(s, list), 0);
    EXPECT_EQ(list[0].titulo, "cl");
    EXPECT_EQ(s.CatalogPath, dir.File("comandos_cl.xml"));
    ResetEngineEnv();
}

}  // namespace
}  // namespace ordavo
