#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/strings.h"
#include "shell/core/file_filter.h"
#include "shell/core/menu_model.h"

namespace ordavo {
namespace {

Comando Cmd(const std::string& tipo, const std::string& titulo, int hab) {
    Comando c;
    c.tipo = tipo;
    c.titulo = titulo;
    c.equipamentos_hab = hab;
    return c;
}

std::vector<int> Ids(const MenuPopup& p) {
    std::vector<int> ids;
    for (const MenuEntry& e : p.entries) ids.push_back(e.id);
    return ids;
}

TEST(MenuModel, GroupsInOrderOfFirstAppearanceWithCatalogIds) {
    std::vector<Comando> list = {Cmd("Fiscal", "Abrir", 1), Cmd("Informes", "X", 1), Cmd("Fiscal", "Cerrar", 1),
                                 Cmd("fiscal", "minusculas", 1), Cmd("", "sin grupo", 1)};
    MenuBarModel bar = BuildMenuModel(list, 255, 0);
    ASSERT_EQ(bar.popups.size(), 6u);
    EXPECT_EQ(bar.GroupCount(), 4u);
    EXPECT_EQ(bar.popups[0].caption, "Operaciones");
    EXPECT_EQ(Ids(bar.popups[0]), (std::vector<int>{108, 112, 111, 109, 0, 119, 121, 2}));
    EXPECT_TRUE(bar.popups[0].entries[4].IsSeparator());
    EXPECT_EQ(bar.popups[0].entries[1].text, "Secu\xE9ncia de Comandos");
    // Two commands of one group separated by another group share one pop-up; case counts.
    EXPECT_EQ(bar.popups[1].caption, "Fiscal");
    EXPECT_EQ(Ids(bar.popups[1]), (std::vector<int>{1083, 1085}));
    EXPECT_EQ(bar.popups[1].entries[1].text, "Cerrar");
    EXPECT_EQ(bar.popups[2].caption, "Informes");
    EXPECT_EQ(bar.popups[3].caption, "fiscal");
    EXPECT_EQ(bar.popups[4].caption, "");
    EXPECT_EQ(Ids(bar.popups[4]), (std::vector<int>{1087}));
    EXPECT_EQ(bar.popups[5].caption, "Ayuda");
    EXPECT_EQ(Ids(bar.popups[5]), (std::vector<int>{113, 110, 120}));

    // No catalog commands: only the two fixed menus.
    EXPECT_EQ(BuildMenuModel({}, 255, 1).popups.size(), 2u);

    // More than a hundred groups are all kept.
    std::vector<Comando> many;
    for (int i = 0; i < 150; ++i) many.push_back(Cmd("G" + std::to_string(i), "c", 1));
    MenuBarModel big = BuildMenuModel(many, 255, 0);
    EXPECT_EQ(big.GroupCount(), 150u);
    EXPECT_EQ(big.popups[150].entries[0].id, 1083 + 149);

    EXPECT_EQ(CommandIndexForMenuId(1083, 3), 0);
    EXPECT_EQ(CommandIndexForMenuId(1085, 3), 2);
    EXPECT_EQ(CommandIndexForMenuId(1086, 3), -1);
    EXPECT_EQ(CommandIndexForMenuId(119, 3), -1);
}

TEST(MenuModel, GreysByModelMaskOnlyWhenFiltering) {
    std::vector<Comando> list = {Cmd("A", "first", 256), Cmd("A", "both", 257), Cmd("A", "none", 0),
                                 Cmd("B", "kestrel2", 4), Cmd("B", "negative", -1)};
    auto enabled = [&](int mask, int filter) {
        MenuBarModel bar = BuildMenuModel(list, mask, filter);
        std::vector<bool> out;
        for (size_t g = 1; g <= bar.GroupCount(); ++g)
            for (const MenuEntry& e : bar.popups[g].entries) out.push_back(e.enabled);
        return out;
    };
    // Start-up mask 255 with the filter: bits from 256 up and a zero mask are greyed, the
    // first command of a group included.
    EXPECT_EQ(enabled(255, 1), (std::vector<bool>{false, true, false, true, true}));
    // Without the filter every command is enabled.
    EXPECT_EQ(enabled(255, 0), (std::vector<bool>{true, true, true, true, true}));
    // An unknown model's mask 65535 greys only the commands without any bit.
    EXPECT_EQ(enabled(65535, 1), (std::vector<bool>{true, true, false, true, true}));
    EXPECT_EQ(enabled(4, 1), (std::vector<bool>{false, false, false, true, true}));
}

TEST(MenuModel, ReferenceAndHelpPaths) {
    Settings s;
    s.AppDirectory = "/opt/o";
    s.Country = "CHILE";
    EXPECT_EQ(CommandReferencePath(s), "/opt/o/comandos_cl.xml");
    s.Country = "VENEZUELA";
    EXPECT_EQ(CommandReferencePath(s), "/opt/o/comandos_vn.xml");
    s.Country = "LOTERIAS";
    s.CatalogPath = "/x/y.xml";
    EXPECT_EQ(CommandReferencePath(s), "/opt/o/comandos_lot.xml");
    s.Country = "PANAMA";
    EXPECT_EQ(CommandReferencePath(s), "/x/y.xml");
    s.CatalogPath.clear();
    s.Country = "chile";
    EXPECT_EQ(CommandReferencePath(s), "/opt/o/comandos.xml");

    std::vector<std::string> help = HelpFileCandidates("/app", "/bin/o", "/usr/share/ordavo");
    EXPECT_EQ(help, (std::vector<std::string>{"/app/../help/Ordavo_Help.chm", "/app/../help/Ordavo_Help.html",
                                              "/bin/o/help/Ordavo_Help.html", "/bin/o/../help/Ordavo_Help.html",
                                              "/usr/share/ordavo/help/Ordavo_Help.html"}));
    // The same place reached twice is tried once.
    EXPECT_EQ(HelpFileCandidates("/a", "/a/..", "").size(), 3u);
}

TEST(FileFilter, TurnsPipeFiltersIntoQtFilters) {
    EXPECT_EQ(QtFileFilter("Texto (*.txt)|*.txt|Todos (*.*)|*.*||"), "Texto (*.txt *.TXT);;Todos (*)");
    // The patterns come from the pattern part, not from the name's parentheses.
    EXPECT_EQ(QtFileFilter("Archivos Ayuda(*.CHM)|*.chm|Todos los Archivos (*.*)|*.*||"),
              "Archivos Ayuda (*.chm *.CHM);;Todos los Archivos (*)");
    EXPECT_EQ(QtFileFilter("Comandos (*.xml)|*.xml;*.XML|x|*.a; *.b||"),
              "Comandos (*.xml *.XML);;x (*.a *.A *.b *.B)");
    // Everything after "||" is ignored, a missing pattern part and an empty text do no harm.
    EXPECT_EQ(QtFileFilter("A (*.a)|*.a||B|*.b|"), "A (*.a *.A)");
    EXPECT_EQ(QtFileFilter("Solo nombre"), "");
    EXPECT_EQ(QtFileFilter("Vac\xEDo|"), "Vac\xEDo (*)");
    EXPECT_EQ(QtFileFilter(""), "");

    EXPECT_EQ(DefaultSuffix("*.xml"), "xml");
    EXPECT_EQ(DefaultSuffix(".txt"), "txt");
    EXPECT_EQ(DefaultSuffix("chm"), "chm");
    EXPECT_EQ(DefaultSuffix("*"), "");
}

}  // namespace
}  // namespace ordavo
