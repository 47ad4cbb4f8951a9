// The configuration store "equipamentos.xml" and the browse window's rules: the file's layout,
// reading with missing and odd elements, adding and replacing, an unreadable file kept aside,
// and what the browse window lists, describes and removes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/util.h"
#include "programming/core/browse.h"
#include "programming/core/equipment.h"
#include "tests/support/paths.h"

namespace ordavo {
namespace {

Equipment Full(const std::string& serial, const std::string& client = "Cliente A") {
    Equipment e;
    e.numero_de_serie = serial;
    e.cliente = client;
    e.CNPJ = "J-30123456-7";
    e.IE = "IE 1";
    e.IM = "0123456789";
    e.UF = "SP";
    e.senha = "C3C3C3C3C3C3C3C3C3C3";
    e.numero_da_loja = "0002";
    e.numero_do_caixa = "003";
    e.data = "150309";
    e.hora = "235958";
    e.horario_de_verao = true;
    e.cliche = "CLICHE_ENF_INI_XMLPanader\xED" "a & Caf\xE9 <1>CLICHE_ENF_END_XML\r\nCaracas";
    e.cupom_adicional = true;
    e.RZ_automatica = true;
    e.aliquota[0] = "1600";
    e.aliquota[1] = "0800";
    e.vinc = "0100000000000001";
    e.Restaurante_Loja = "1";
    e.Parametriza_Cupom_Conferencia = "2";
    e.tot_nao_suj[0] = "Propinas";
    e.tot_nao_suj[49] = "Ultimo";
    return e;
}

std::string Read(const std::string& path) {
    std::string s;
    ReadWholeFile(path, s);
    return s;
}

void Write(const std::string& path, const std::string& contents) { std::ofstream(path, std::ios::binary) << contents; }

TEST(EquipmentStore, EightySevenFieldsInFileOrder) {
    const auto& f = EquipmentFields();
    ASSERT_EQ(f.size(), 87u);
    EXPECT_EQ(f[0].element, "numero_de_serie");
    EXPECT_EQ(f[10].element, "horario_de_verao");
    EXPECT_EQ(f[11].element, "cliche");
    EXPECT_EQ(f[17].element, "Bilhete_passagem");
    EXPECT_EQ(f[18].element, "aliquota1");
    EXPECT_EQ(f[33].element, "aliquota16");
    EXPECT_EQ(f[34].element, "vinc");
    EXPECT_EQ(f[36].element, "Parametriza_Cupom_Conferencia");
    EXPECT_EQ(f[37].element, "tot_nao_suj1");
    EXPECT_EQ(f[86].element, "tot_nao_suj50");
    EXPECT_EQ(FindEquipmentField("senha"), nullptr);  // never stored
}

TEST(EquipmentStore, RoundTripKeepsEveryFieldButThePassword) {
    test::TempDir dir;
    ConfigurationsControl out(dir.File("equipamentos.xml"));
    out.records = {Full("A1"), Full("B2", "Otro"), Equipment()};
    ASSERT_EQ(out.WriteEquipments(), 0);

    ConfigurationsControl in(dir.File("equipamentos.xml"));
    ASSERT_EQ(in.ReadEquipments(), 0);
    ASSERT_EQ(in.count, 3);
    ASSERT_EQ(in.records.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        Equipment expected = out.records[i];
        expected.senha.clear();
        EXPECT_EQ(in.records[i], expected) << "record " << i;
    }
    EXPECT_EQ(in.records[0].cliche.find("\r\nCaracas") != std::string::npos, true);
    EXPECT_EQ(Read(dir.File("equipamentos.xml")).find("C3C3"), std::string::npos);
}

TEST(EquipmentStore, FileLayout) {
    const std::string xml = ConfigurationsControl::Serialize({Full("A1"), Full("B2")});
    EXPECT_EQ(xml.find("<?xml version"), 0u) << xml.substr(0, 80);
    EXPECT_NE(xml.find("Windows-1252"), std::string::npos);
    EXPECT_NE(xml.find("<?xml-stylesheet type='text/xml' href='style.xsl'?>"), std::string::npos);
    EXPECT_NE(xml.find("<equipos xml:space=\"preserve\">\n\t<equipamento>\n\t\t<numero_de_serie>A1</numero_de_serie>"
                       "\n\t\t<cliente>"),
              std::string::npos);
    EXPECT_NE(xml.find("<tot_nao_suj50>Ultimo</tot_nao_suj50>\n\t</equipamento>\n\t<equipamento>"), std::string::npos);
    EXPECT_NE(xml.find("</equipamento>\n</equipos>"), std::string::npos);
    // Every element, in order, inside every record.
    size_t at = xml.find("<equipamento>");
    for (const EquipmentField& f : EquipmentFields()) {
        size_t next = xml.find("<" + f.element + ">", at);
        if (next == std::string::npos) next = xml.find("<" + f.element + "/>", at);
        ASSERT_NE(next, std::string::npos) << f.element;
        at = next;
    }
    EXPECT_LT(at, xml.find("<equipamento>", xml.find("<equipamento>") + 1));
}

TEST(EquipmentStore, ReadingOddRecords) {
    std::string body =
        "<?xml version='1.0' encoding='Windows-1252'?>\n<equipos xml:space=\"preserve\">"
        "<equipamento><numero_de_serie>S1</numero_de_serie><cliente>Uno</cliente>"
        "<horario_de_verao>x</horario_de_verao><cupom_adicional>0</cupom_adicional>"
        "<desc_ISS></desc_ISS><vinc_CNF>1</vinc_CNF><RV_na_conferencia>yes</RV_na_conferencia>"
        "<tot_nao_suj6>seis</tot_nao_suj6><tot_nao_suj8>ocho</tot_nao_suj8>"
        "<cliche>linea 1\nlinea 2</cliche></equipamento>"
        "<otro><equipamento><numero_de_serie>S1</numero_de_serie><cliente>Dos</cliente></equipamento></otro>"
        "</equipos>";
    std::vector<Equipment> r;
    ASSERT_TRUE(ConfigurationsControl::Parse(body, r));
    ASSERT_EQ(r.size(), 2u);  // the same serial twice, and a record deeper down: both load
    EXPECT_EQ(r[1].cliente, "Dos");
    const Equipment& e = r[0];
    struct {
        const char* what;
        bool got, expected;
    } flags[] = {{"x", e.horario_de_verao, true},     {"0", e.cupom_adicional, false},
                 {"empty", e.desc_ISS, true},         {"1", e.vinc_CNF, true},
                 {"yes", e.RV_na_conferencia, true},  {"missing", e.RZ_automatica, false}};
    for (const auto& f : flags) EXPECT_EQ(f.got, f.expected) << f.what;
    EXPECT_EQ(e.cliche, "linea 1\r\nlinea 2");
    EXPECT_EQ(e.tot_nao_suj[5], "seis");
    EXPECT_EQ(e.tot_nao_suj[6], "");  // the seventh is missing
    EXPECT_EQ(e.tot_nao_suj[7], "ocho");
    EXPECT_EQ(e.aliquota[3], "0000");
    EXPECT_EQ(e.vinc, "0000000000000000");
    // Written back, the flags are plain "1" and "0".
    const std::string xml = ConfigurationsControl::Serialize(r);
    EXPECT_NE(xml.find("<horario_de_verao>1</horario_de_verao>"), std::string::npos);
    EXPECT_NE(xml.find("<cupom_adicional>0</cupom_adicional>"), std::string::npos);
    EXPECT_NE(xml.find("<desc_ISS>1</desc_ISS>"), std::string::npos);
}

TEST(EquipmentStore, AddAndReplace) {
    struct Case {
        const char* name;
        std::string serial;
        bool replace;
        int result;
        std::vector<std::string> order;
        int count;
    } cases[] = {
        {"new serial appended", "C3", false, 0, {"A1", "B2", "A1", "C3"}, 4},
        {"existing serial refused", "A1", false, 1, {"A1", "B2", "A1"}, 3},
        {"existing serial moved to the end", "A1", true, 0, {"B2", "A1", "A1"}, 3},
        {"case counts", "a1", false, 0, {"A1", "B2", "A1", "a1"}, 4},
    };
    for (const Case& c : cases) {
        ConfigurationsControl s("unused");
        s.records = {Full("A1", "first"), Full("B2"), Full("A1", "second")};
        s.count = 3;
        Equipment add = Full(c.serial, "added");
        EXPECT_EQ(s.AddEquipment(add, c.replace), c.result) << c.name;
        std::vector<std::string> order;
        for (const Equipment& e : s.records) order.push_back(e.numero_de_serie);
        EXPECT_EQ(order, c.order) << c.name;
        EXPECT_EQ(s.count, c.count) << c.name;
        if (c.replace) {
            EXPECT_EQ(s.records.back().cliente, "added") << c.name;
            EXPECT_EQ(s.records[1].cliente, "second") << c.name;
        }
    }
}

TEST(EquipmentStore, UnreadableFileIsKeptBeforeTheFirstWrite) {
    test::TempDir dir;
    const std::string file = dir.File("equipamentos.xml");
    const std::string damaged = "<equipos><equipamento><numero_de_serie>X</numero_de";
    Write(file, damaged);
    Write(file + ".bak", "older backup");

    ConfigurationsControl s(file);
    EXPECT_EQ(s.ReadEquipments(), -1);
    EXPECT_TRUE(s.records.empty());
    EXPECT_FALSE(s.LastError().empty());
    s.AddEquipment(Full("N1"), false);
    ASSERT_EQ(s.WriteEquipments(), 0) << s.LastError();
    EXPECT_EQ(s.Backup(), file + ".bak2");
    EXPECT_EQ(Read(file + ".bak2"), damaged);
    EXPECT_EQ(Read(file + ".bak"), "older backup");
    // The second write has nothing left to keep.
    ASSERT_EQ(s.WriteEquipments(), 0);
    EXPECT_FALSE(std::filesystem::exists(file + ".bak3"));

    ConfigurationsControl again(file);
    ASSERT_EQ(again.ReadEquipments(), 0);
    ASSERT_EQ(again.records.size(), 1u);
    EXPECT_EQ(again.records[0].numero_de_serie, "N1");
}

TEST(EquipmentStore, MissingFileGivesAnEmptyStoreAndNoBackup) {
    test::TempDir dir;
    const std::string file = dir.File("equipamentos.xml");
    ConfigurationsControl s(file);
    EXPECT_EQ(s.ReadEquipments(), -1);
    EXPECT_EQ(s.WriteEquipments(), 0);
    EXPECT_TRUE(s.Backup().empty());
    EXPECT_FALSE(std::filesystem::exists(file + ".bak"));
}

TEST(EquipmentStore, FailedWriteLeavesTheOldFileWhole) {
    test::TempDir dir;
    const std::string file = dir.File("equipamentos.xml");
    ConfigurationsControl s(file);
    s.records = {Full("A1")};
    ASSERT_EQ(s.WriteEquipments(), 0);
    const std::string before = Read(file);
    // The temporary file cannot be made beside a path inside a missing folder; a save into a
    // file that is a folder cannot replace it.
    ConfigurationsControl nowhere(dir.File("missing/equipamentos.xml"));
    nowhere.records = {Full("B2")};
    EXPECT_NE(nowhere.WriteEquipments(), 0);
    std::filesystem::create_directory(dir.File("folder.xml"));
    ConfigurationsControl folder(dir.File("folder.xml"));
    EXPECT_NE(folder.WriteEquipments(), 0);
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("folder.xml")));
    EXPECT_EQ(Read(file), before);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_TRUE(entry.path().filename() == "equipamentos.xml" || entry.path().filename() == "folder.xml")
            << entry.path();
}

// ---------------------------------------------------------------- the browse window's rules

TEST(EquipmentBrowse, Search) {
    std::vector<Equipment> r = {Full("S1", "Ana"), Full("S2", "ana"), Full("S3", "Ana"), Full("S1", "Beto")};
    struct {
        std::string client, serial;
        std::vector<std::string> found;
    } cases[] = {
        {"Ana", "", {"S1", "S3"}},          // every record of that client, exact case
        {"", "S1", {"S1", "S1"}},           // a serial twice is listed twice
        {"Ana", "S3", {"S3"}},              // both must match
        {"Beto", "S3", {}},
        {"", "", {}},                       // nothing given, nothing listed
        {"ANA", "", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SearchRecords(r, c.client, c.serial), c.found) << c.client << "/" << c.serial;
}

TEST(EquipmentBrowse, BoxesDescriptionAndDelete) {
    std::vector<Equipment> r = {Full("S2", "beto"), Full("S1", "Ana"), Full("S3", "ANA"), Full("S4", ""),
                                Full("S1", "Carla")};
    EXPECT_EQ(ClientEntries(r, false), (std::vector<std::string>{"Ana", "beto", "Carla"}));
    EXPECT_EQ(ClientEntries(r, true), (std::vector<std::string>{"", "Ana", "beto", "Carla"}));
    EXPECT_EQ(SerialEntries(r), (std::vector<std::string>{"S1", "S1", "S2", "S3", "S4"}));
    EXPECT_EQ(SerialsOfClient(r, "Ana"), (std::vector<std::string>{"S1"}));

    const Equipment* last = LastOfSerial(r, "S1");
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->cliente, "Carla");  // with several of one serial the last one wins
    EXPECT_EQ(RecordDescription(*last),
              "N\xFAmero serial: S1\r\nCliente: Carla\r\nRIF: J-30123456-7\r\nIE (BRASIL): IE 1\r\nNIT: 0123456789");

    EXPECT_EQ(RemoveSerial(r, "S1"), 2);
    EXPECT_EQ(RemoveSerial(r, "S1"), 0);
    EXPECT_EQ(r.size(), 3u);
}

}  // namespace
}  // namespace ordavo
