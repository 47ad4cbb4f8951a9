// The sequence window's rules, without a display: naming, the number fields, and which
// catalog file each use of a country finds (one table for loading, the main window's and the
// sequence window's command reference).
#include <gtest/gtest.h>

#include <vector>

#include "engine/catalog.h"
#include "engine/util.h"
#include "sequences/core/sequence_window_rules.h"
#include "shell/core/menu_model.h"
#include "shell/core/settings.h"
#include "tests/support/paths.h"

namespace ordavo {
namespace {

TEST(SequenceRules, NamesAndNumberFields) {
    std::string name;
    EXPECT_EQ(NormalizarNomeSequencia("abc", name), NomeSequencia::Valido);
    EXPECT_EQ(name, "ABC");
    EXPECT_EQ(NormalizarNomeSequencia("caf\xE9", name), NomeSequencia::Invalido);
    int value = 0;
    EXPECT_EQ(LerCampoInteiro(" 42 ", 1, 999999, value), CampoNumerico::Ok);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(LerCampoInteiro("100", 0, 99, value), CampoNumerico::ForaDaFaixa);
    EXPECT_EQ(MensagemCampoInteiro(CampoNumerico::ForaDaFaixa, 0, 99), "Please enter an integer between 0 and 99.");
}

TEST(SequenceRules, EachUseOfACountryFindsItsCatalogFile) {
    struct Case {
        std::string country, load, main_reference, sequence_reference;
    };
    const std::vector<Case> cases = {
        {"CHILE", "comandos_cl.xml", "comandos_cl.xml", "comandos_cl.xml"},
        {"VENEZUELA", "comandos_vn.xml", "comandos_vn.xml", "comandos_vn.xml"},
        {"LOTERIAS", "comandos_lot.xml", "comandos_lot.xml", "last"},
        {"REP DOMINICANA", "comandos_rd.xml", "last", "last"},
        {"PANAMA", "XML/comandos_pa.xml", "last", "last"},
        {"-- Otro --", "comandos.xml", "last", "last"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.country);
        Settings s;
        s.AppDirectory = "/app";
        s.Country = k.country;
        s.CatalogPath = "/elsewhere/last.xml";
        auto path = [](const std::string& file) { return file == "last" ? std::string("/elsewhere/last.xml") : "/app/" + file; };
        EXPECT_EQ(CatalogFileForCountry(s), path(k.load));
        EXPECT_EQ(CommandReferencePath(s), path(k.main_reference));
        EXPECT_EQ(ReferenciaComandosSequencias(s), path(k.sequence_reference));
        s.CatalogPath.clear();
        if (k.sequence_reference == "last") {
            EXPECT_EQ(ReferenciaComandosSequencias(s), "/app/comandos.xml");
        }
    }
}

TEST(SequenceRules, SettingsStartTheSameWayEverywhere) {
    test::TempDir dir;
    ASSERT_TRUE(WriteFileAtomically(dir.File("config_es.cfg"), std::string(kKeyPuerto) + "COM4:\r\n"));
    Settings s;
    EXPECT_EQ(StartSettings(s, dir.path() + "/"), 1);
    EXPECT_EQ(s.AppDirectory, dir.path());
    EXPECT_EQ(s.PortName, "COM4:");
}

}  // namespace
}  // namespace ordavo
