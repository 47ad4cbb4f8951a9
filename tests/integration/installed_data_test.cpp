// Start-up where the application directory holds no catalog: ordavo-cli takes the installed
// catalogs and sequence files (ORDAVO_DATA_DIR stands in for PREFIX/share/ordavo), says so on
// standard error, and still prefers the application directory's own files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/util.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

namespace ordavo {
namespace {

namespace fs = std::filesystem;

std::string Cli() { return test::ProgramPath("ordavo-cli"); }

struct Case {
    const char* name;
    std::vector<std::string> args;         // "@APP" is the application directory
    std::vector<std::string> app_files;    // files written into it: "name=contents"
    bool with_data;                        // the installed data directory holds the samples
    int status;
    std::string out_has;                   // part of standard output
    std::string installed_file;            // the installed file named on stderr, or "" for none
    bool own_sequences = false;            // the application directory holds a secuencia_rd.xml
};

class InstalledData : public ::testing::TestWithParam<Case> {};

TEST_P(InstalledData, UsesTheApplicationDirectoryFirstThenTheInstalledFiles) {
    const Case& c = GetParam();
    test::TempDir app, data;
    if (c.with_data) fs::copy(test::CatalogDir(), data.path(), fs::copy_options::recursive);
    for (const std::string& f : c.app_files) {
        size_t eq = f.find('=');
        fs::create_directories(fs::path(app.File(f.substr(0, eq))).parent_path());
        ASSERT_TRUE(WriteFileAtomically(app.File(f.substr(0, eq)), f.substr(eq + 1)));
    }
    if (c.own_sequences) {
        // The sample file with its first sequence renamed, to tell it from the installed one.
        std::string bytes;
        ASSERT_TRUE(ReadWholeFile(test::CatalogDir() + "/secuencia_rd.xml", bytes));
        ReplaceAll(bytes, "Venta completa", "Solo la del directorio");
        ASSERT_TRUE(WriteFileAtomically(app.File("secuencia_rd.xml"), bytes));
    }
    std::vector<std::string> args;
    for (const std::string& a : c.args) args.push_back(a == "@APP" ? app.path() : a);
    test::RunResult r = test::RunProgram(Cli(), args, 60000, "", {"ORDAVO_DATA_DIR=" + data.path()});
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    EXPECT_NE(r.out.find(c.out_has), std::string::npos) << r.out;
    if (c.installed_file.empty())
        EXPECT_EQ(r.err.find("archivo instalado"), std::string::npos) << r.err;
    else
        EXPECT_NE(r.err.find("se usa el archivo instalado " + data.path() + "/" + c.installed_file), std::string::npos)
            << r.err;
}

const std::string kPanama = "config_es.cfg=Pa\xEDs             : PANAMA\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, InstalledData,
    ::testing::Values(
        Case{"sequences_installed", {"sequence", "list", "--dir", "@APP"}, {}, true, 0, "Venta completa",
             "secuencia_rd.xml"},
        Case{"panama_sequences_installed", {"sequence", "list", "--dir", "@APP"}, {kPanama}, true, 0, "Factura completa",
             "XML/secuencia_pa.xml"},
        Case{"own_sequences_first", {"sequence", "list", "--dir", "@APP"}, {}, true, 0, "Solo la del directorio", "",
             true},
        Case{"no_sequences_anywhere", {"sequence", "list", "--dir", "@APP"}, {}, false, 66, "", ""},
        Case{"country_catalog_installed", {"catalog", "--dir", "@APP"}, {}, true, 0, "Leer Fecha y Hora",
             "comandos_vn.xml"},
        Case{"panama_catalog_installed", {"catalog", "--dir", "@APP"}, {kPanama}, true, 0, "",
             "XML/comandos_pa.xml"},
        Case{"no_catalog_anywhere", {"catalog", "--dir", "@APP"}, {}, false, 66, "", ""},
        // A relative name that the working directory lacks is the installed file of that name.
        Case{"named_catalog_installed", {"catalog", "comandos_cl.xml"}, {}, true, 0, "", "comandos_cl.xml"},
        Case{"named_frame_installed",
             {"frame", "comandos_vn.xml", "Leer Fecha y Hora"},
             {},
             true, 0, "02 ", "comandos_vn.xml"},
        Case{"named_file_missing_everywhere", {"catalog", "comandos_xx.xml"}, {}, true, 66, "", ""}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ordavo
