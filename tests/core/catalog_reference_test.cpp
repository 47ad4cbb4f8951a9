// The command reference page made from a catalog: every group, command, parameter and return
// field is on it, with texts made safe for HTML.
#include <gtest/gtest.h>

#include "shell/core/catalog_reference.h"

namespace ordavo {
namespace {

TEST(CatalogReference, ListsGroupsCommandsParametersAndReturnFields) {
    Comando c;
    c.SetTipo("Cup\xF3n Fiscal");
    c.SetTitulo("Vender <art\xED" "culo>");
    c.SetEscape("35 23");
    c.SetTamanhoRetorno(4);
    Parametro p;
    p.titulo = "Precio";
    p.formato = "DINERO";
    p.tamanho = 10;
    p.obrigatorio = 0;
    c.AdicionarParametro(p);
    Retorno r;
    r.titulo = "Total";
    r.formato = "BCD";
    r.tamanho = 4;
    c.AdicionarRetorno(r);
    Comando d = c;
    d.SetTipo("Lecturas");
    d.SetTamanhoRetorno(-1);
    const std::string html = CatalogReferenceHtml({c, d, c}, "/app/comandos_vn.xml");
    for (const char* piece : {"Cup\xF3n Fiscal", "Lecturas", "Vender &lt;art\xED" "culo&gt;", "35 23", "Precio", "DINERO",
                              "<td>10</td><td>no</td>", "Total", "BCD", "4 bytes de datos", "texto terminado en ETX",
                              "/app/comandos_vn.xml", "3 comandos"})
        EXPECT_NE(html.find(piece), std::string::npos) << piece;
    // Groups in the order of their first command, each once.
    EXPECT_LT(html.find("<h2><a name=\"g0\"></a>Cup"), html.find("<h2><a name=\"g1\"></a>Lecturas"));
    EXPECT_EQ(html.find("name=\"g2\""), std::string::npos);
}

}  // namespace
}  // namespace ordavo
