// ordavo-cli equipment: the store of an application directory (list, show, import, delete),
// refused records, an unreadable store, and read / edit / import / program / read again
// against the simulator, in and outside technical intervention.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "engine/util.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

namespace ordavo {
namespace {

using nlohmann::json;

std::string Cli() { return test::ProgramPath("ordavo-cli"); }

test::RunResult Equipment(const test::TempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), "equipment");
    args.push_back("--dir");
    args.push_back(dir.path());
    return test::RunProgram(Cli(), args, 60000);
}

std::string Bytes(const std::string& path) {
    std::string s;
    ReadWholeFile(path, s);
    return s;
}

void WriteJson(const std::string& path, const json& j) { ASSERT_TRUE(WriteFileAtomically(path, j.dump())); }

TEST(EquipmentCli, StoreCommands) {
    test::TempDir dir;
    test::RunResult r = Equipment(dir, {"list", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(json::parse(r.out), json::array());
    EXPECT_EQ(r.err, "");  // no store yet is not an error

    WriteJson(dir.File("a.json"), {{"numero_de_serie", "VE 01 02"}, {"cliente", "Panader\u00eda"},
                                   {"cliche", "L\u00ednea 1\nL\u00ednea 2"}, {"RZ_automatica", true},
                                   {"aliquota2", "0800"}});
    WriteJson(dir.File("b.json"), {{"numero_de_serie", "B2"}, {"cliente", "Beto"}});
    ASSERT_EQ(Equipment(dir, {"import", dir.File("a.json")}).status, 0);
    ASSERT_EQ(Equipment(dir, {"import", dir.File("b.json")}).status, 0);

    r = Equipment(dir, {"list", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(json::parse(r.out),
              json::parse(R"([{"numero_de_serie":"VE0102","cliente":"Panader\u00eda"},
                              {"numero_de_serie":"B2","cliente":"Beto"}])"));
    r = Equipment(dir, {"list"});
    EXPECT_EQ(r.out, "VE0102\tPanader\u00eda\nB2\tBeto\n");

    r = Equipment(dir, {"show", "VE0102", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    json shown = json::parse(r.out);
    EXPECT_EQ(shown.size(), 87u);
    // In the file's order.
    EXPECT_EQ(nlohmann::ordered_json::parse(r.out).begin().key(), "numero_de_serie");
    EXPECT_LT(r.out.find("\"aliquota16\""), r.out.find("\"vinc\""));
    EXPECT_EQ(shown["cliche"], "L\u00ednea 1\r\nL\u00ednea 2");
    EXPECT_EQ(shown["RZ_automatica"], true);
    EXPECT_EQ(shown["cupom_adicional"], false);
    EXPECT_EQ(shown["aliquota1"], "0000");
    EXPECT_EQ(shown["aliquota2"], "0800");
    EXPECT_EQ(shown["vinc"], "0000000000000000");
    EXPECT_EQ(shown["tot_nao_suj50"], "");
    EXPECT_EQ(shown.count("senha"), 0u);
    // What show prints imports back as the same record.
    WriteJson(dir.File("again.json"), shown);

    // The same serial without --replace: refused, nothing written.
    const std::string before = Bytes(dir.File("equipamentos.xml"));
    r = Equipment(dir, {"import", dir.File("again.json")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Registro no salvo"), std::string::npos) << r.err;
    EXPECT_EQ(Bytes(dir.File("equipamentos.xml")), before);
    // With --replace the record moves to the end.
    ASSERT_EQ(Equipment(dir, {"import", dir.File("again.json"), "--replace"}).status, 0);
    EXPECT_EQ(Equipment(dir, {"list"}).out, "B2\tBeto\nVE0102\tPanader\u00eda\n");
    EXPECT_EQ(json::parse(Equipment(dir, {"show", "VE0102", "--json"}).out), shown);

    EXPECT_EQ(Equipment(dir, {"show", "NONE"}).status, 1);
    EXPECT_EQ(Equipment(dir, {"delete", "NONE"}).status, 1);
    ASSERT_EQ(Equipment(dir, {"delete", "B2"}).status, 0);
    EXPECT_EQ(Equipment(dir, {"list"}).out, "VE0102\tPanader\u00eda\n");
}

TEST(EquipmentCli, RefusedRecordsChangeNothing) {
    test::TempDir dir;
    WriteJson(dir.File("ok.json"), {{"numero_de_serie", "S1"}});
    ASSERT_EQ(Equipment(dir, {"import", dir.File("ok.json")}).status, 0);
    const std::string before = Bytes(dir.File("equipamentos.xml"));
    struct {
        std::string body;
        std::string message;  // names the key
    } cases[] = {
        {R"({"numero_de_serie":"S2","colour":"red"})", "\"colour\""},
        {R"({"numero_de_serie":"S2","cliente":"123456789012345678901"})", "\"cliente\""},
        {R"({"numero_de_serie":"S2","UF":"SPX"})", "\"UF\""},
        {R"({"numero_de_serie":"S2","aliquota3":"12345"})", "\"aliquota3\""},
        {R"({"numero_de_serie":"S2","aliquota3":"12,5"})", "\"aliquota3\""},
        {R"({"numero_de_serie":"S2","tot_nao_suj7":"12345678901234567890"})", "\"tot_nao_suj7\""},
        {R"({"numero_de_serie":"S2","senha":"C3C3C3C3C3C3C3C3C3XY"})", "\"senha\""},
        {R"({"numero_de_serie":"S2","horario_de_verao":"1"})", "\"horario_de_verao\""},
        {R"({"numero_de_serie":"S2","numero_da_loja":12})", "\"numero_da_loja\""},
        {R"({"numero_de_serie":"S2","vinc":"0102"})", "\"vinc\""},
        {R"({"numero_de_serie":"S2","cliente":"\u4e2d"})", "\"cliente\""},
        {R"({"numero_de_serie":"S2","cliche":")" + std::string(93, 'a') + R"(\n)" + std::string(93, 'b') + R"("})",
         "\"cliche\""},
        {R"({"cliente":"no serial"})", "\"numero_de_serie\""},
        {R"([{"numero_de_serie":"S2"}])", "JSON object"},
        {R"({"numero_de_serie":"S2")", "not a JSON"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteFileAtomically(dir.File("bad.json"), c.body));
        test::RunResult r = Equipment(dir, {"import", dir.File("bad.json")});
        EXPECT_EQ(r.status, 65) << c.body;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.body << " -> " << r.err;
        EXPECT_EQ(Bytes(dir.File("equipamentos.xml")), before) << c.body;
    }
    EXPECT_EQ(Equipment(dir, {"import", dir.File("missing.json")}).status, 66);
    EXPECT_EQ(Equipment(dir, {"program", "S1", "--password", "not hexadecimal!", "--port", dir.File("no-port")}).status,
              65);
}

TEST(EquipmentCli, AnUnreadableStoreIsKeptAsBak) {
    test::TempDir dir;
    const std::string damaged = "<equipos><equipamento><numero_de_serie>OLD";
    ASSERT_TRUE(WriteFileAtomically(dir.File("equipamentos.xml"), damaged));
    test::RunResult r = Equipment(dir, {"list", "--json"});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(json::parse(r.out), json::array());  // only JSON on standard output
    EXPECT_NE(r.err.find("warning"), std::string::npos);
    WriteJson(dir.File("n.json"), {{"numero_de_serie", "NEW"}});
    ASSERT_EQ(Equipment(dir, {"import", dir.File("n.json")}).status, 0);
    EXPECT_EQ(Bytes(dir.File("equipamentos.xml.bak")), damaged);
    EXPECT_EQ(Equipment(dir, {"list"}).out, "NEW\t\n");
}

struct PrinterRun {
    json read;
    std::string program_out;
};

TEST(EquipmentCli, ReadEditProgramReadAgain) {
    if (!std::filesystem::exists(test::ProgramPath("ordavo-printer-sim"))) GTEST_SKIP() << "no simulator";
    test::Simulator sim({"--intervention"});
    ASSERT_TRUE(sim.ok());
    test::TempDir dir;

    test::RunResult r = Equipment(dir, {"read", "--json", "--port", sim.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    json e = json::parse(r.out);
    const std::string serial = e["numero_de_serie"];
    ASSERT_FALSE(serial.empty());
    e["cliche"] = "CLICHE_ENF_INI_XMLFarmacia NuevaCLICHE_ENF_END_XML\nMaracay";
    e["aliquota1"] = "1250";
    e["aliquota3"] = "0700";
    e["tot_nao_suj4"] = "Donaciones";
    e["CNPJ"] = "J-99999999-9";
    WriteJson(dir.File("edit.json"), e);
    ASSERT_EQ(Equipment(dir, {"import", dir.File("edit.json")}).status, 0);

    r = Equipment(dir, {"program", serial, "--port", sim.path(), "--dump"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("COMANDO NO EJECUTADO"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Programa CNPJ/IE/IM"), std::string::npos);
    EXPECT_NE(r.out.find("CMD:  02"), std::string::npos);  // the dump
    EXPECT_EQ(r.out.find("Parametriza para Restaurante ou Loja"), std::string::npos);

    r = Equipment(dir, {"read", "--json", "--port", sim.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    json again = json::parse(r.out);
    EXPECT_EQ(again["cliche"], "CLICHE_ENF_INI_XMLFarmacia NuevaCLICHE_ENF_END_XML\r\nMaracay\r\n");
    EXPECT_EQ(again["aliquota1"], "1250");
    EXPECT_EQ(again["aliquota2"], e["aliquota2"]);
    EXPECT_EQ(again["aliquota3"], "0700");
    EXPECT_EQ(again["tot_nao_suj4"], "Donaciones");
    EXPECT_EQ(again["CNPJ"], "J-99999999-9");

    // A restaurant model also gets its two commands; a short password is shown and refused.
    r = Equipment(dir, {"program", serial, "--port", sim.path(), "--model", "Kestrel 1 R", "--password", "C3C3"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Parametriza para Restaurante ou Loja"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Programa CGC/IE/IM"), std::string::npos);  // mask 2: the older layout
    r = Equipment(dir, {"program", serial, "--port", sim.path(), "--password", "C3C3"});
    EXPECT_NE(r.err.find("tamanho errado"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("Par\xC3\xA1metro obligat\xC3\xB3rio no llenado"), std::string::npos) << r.out;
}

TEST(EquipmentCli, OutsideInterventionThePrinterRefuses) {
    if (!std::filesystem::exists(test::ProgramPath("ordavo-printer-sim"))) GTEST_SKIP() << "no simulator";
    test::Simulator sim;
    ASSERT_TRUE(sim.ok());
    test::TempDir dir;
    test::RunResult r = Equipment(dir, {"read", "--json", "--port", sim.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    json e = json::parse(r.out);
    e["aliquota1"] = "1250";
    e["tot_nao_suj4"] = "Donaciones";
    WriteJson(dir.File("edit.json"), e);
    ASSERT_EQ(Equipment(dir, {"import", dir.File("edit.json")}).status, 0);
    r = Equipment(dir, {"program", e["numero_de_serie"], "--port", sim.path()});
    EXPECT_EQ(r.status, 0);  // the run went through; the refusals are in its text
    EXPECT_NE(r.out.find("NO EN INTERVENCI\xC3\x93N"), std::string::npos) << r.out;
    json again = json::parse(Equipment(dir, {"read", "--json", "--port", sim.path()}).out);
    EXPECT_NE(again["aliquota1"], "1250");
    EXPECT_EQ(again["tot_nao_suj4"], "");

    // No printer at all: one message, and the exit status of a command without an answer.
    r = Equipment(dir, {"read", "--port", dir.File("no-such-port")});
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.err.find("Error al enviar comando"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace ordavo
