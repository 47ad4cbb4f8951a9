// Round trips through the printer simulator: documents printed with ordavo-cli, the audit and
// fiscal memories downloaded by the library, every report made of them checked against what
// the printer printed (the journal it keeps in its state file); the readings of the menus
// "PA 0421-06" and "Panamá" against the printer; its encrypted XML opened.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <sqlite3.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "engine/codepage.h"
#include "engine/util.h"
#include "fiscalmemory/core/journal.h"
#include "fiscalmemory/core/library_loader.h"
#include "fiscalmemory/library/talvmfd.h"
#include "sim/state.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

namespace ordavo::reportstest {
namespace {

std::string Read(const std::string& path) {
    std::string s;
    ReadWholeFile(path, s);
    return s;
}

std::string Scalar(const std::string& db, const std::string& sql) {
    sqlite3* h = nullptr;
    std::string v = "error";
    if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) {
            const unsigned char* t = sqlite3_column_text(st, 0);
            v = t ? reinterpret_cast<const char*>(t) : "NULL";
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(h);
    return v;
}

int CountElements(const std::string& xml, const char* name) {
    xmlDoc* doc = xmlReadFile(xml.c_str(), nullptr, XML_PARSE_NONET);
    if (!doc) return -1;
    int n = 0;
    for (xmlNode* c = xmlDocGetRootElement(doc)->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && std::string(reinterpret_cast<const char*>(c->name)) == name) ++n;
    xmlFreeDoc(doc);
    return n;
}

class ReportsSim : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ORDAVO_LIBRARY_DIR", (test::BinaryDir() + "/bin").c_str(), 1);
        state_ = dir_.File("printer.state");
        sim_ = std::make_unique<test::Simulator>(std::vector<std::string>{"--state", state_});
        ASSERT_TRUE(sim_->ok());
        ASSERT_TRUE(lib_.Load(kFiscalLibraryES)) << lib_.error();
    }
    // One catalog command through ordavo-cli against the simulator.
    void Run(const std::string& command, std::vector<std::string> sets = {}) {
        std::vector<std::string> args = {"run", test::CatalogDir() + "/comandos_vn.xml", command, "--port", sim_->path(),
                                         "--dir", dir_.path(), "--json"};
        for (const std::string& s : sets) args.insert(args.end(), {"--set", s});
        test::RunResult r = test::RunProgram(test::ProgramPath("ordavo-cli"), args, 60000);
        ASSERT_EQ(r.status, 0) << command << r.out << r.err;
        EXPECT_EQ(nlohmann::json::parse(r.out)["result"], 0) << command;
    }
    // A receipt of `items` items of the catalog's example article, paid in cash.
    void PrintReceipt(int items) {
        Run("Abrir Cup\xC3\xB3n Fiscal");
        for (int i = 0; i < items; ++i) Run("Vender Art\xC3\xAD" "culo");
        Run("Iniciar Cierre del Cup\xC3\xB3n (Totalizar)");
        Run("Efectuar Pago", {"2=99999900"});
        Run("Cerrar Cup\xC3\xB3n Fiscal");
    }
    // What the printer printed: the journal it keeps.
    std::vector<fm::JournalDocument> Printed() {
        sim::PrinterState s;
        std::string error;
        EXPECT_TRUE(sim::PrinterState::Parse(Read(state_), s, &error)) << error;
        std::vector<fm::JournalDocument> docs;
        for (const std::string& r : s.journal) {
            fm::JournalDocument d;
            size_t used = 0;
            EXPECT_TRUE(fm::DecodeDocument(r, d, &used));
            docs.push_back(d);
        }
        return docs;
    }
    template <class F>
    F Fn(const char* name) {
        F f = lib_.Find<F>(name);
        EXPECT_NE(f, nullptr) << name;
        return f;
    }

    test::TempDir dir_;
    std::string state_;
    std::unique_ptr<test::Simulator> sim_;
    FiscalLibrary lib_;
};

TEST_F(ReportsSim, PrintedDocumentsComeBackInEveryReport) {
    for (int items : {1, 2, 3}) PrintReceipt(items);
    Run("Reducci\xC3\xB3n Z");
    std::vector<fm::JournalDocument> printed = Printed();
    ASSERT_EQ(printed.size(), 4u);
    int64_t sales = 0;
    std::string text;
    for (const fm::JournalDocument& d : printed) {
        text += d.text;
        if (d.kind == fm::DocumentKind::kReceipt) sales += d.total;
    }
    ASSERT_GT(sales, 0);

    std::string mra = dir_.File("MRA.mra");
    ASSERT_EQ(Fn<decltype(&TalvDownloadMFD)>("TalvDownloadMFD")(sim_->path().c_str(), mra.c_str(), "0", "", "", ""), 0);

    // The text, line for line as printed; "COO:" on each document's head past column 15.
    std::string txt = dir_.File("MRA.txt");
    ASSERT_EQ(Fn<decltype(&TalvGeraTxtTotal)>("TalvGeraTxtTotal")(mra.c_str(), txt.c_str()), 0);
    std::string report = Read(txt);
    EXPECT_EQ(report, text);
    size_t coo_lines = 0;
    for (size_t p = report.find("COO:"); p != std::string::npos; p = report.find("COO:", p + 1), ++coo_lines) {
        size_t line_start = report.rfind('\n', p);
        EXPECT_GT(p - (line_start == std::string::npos ? 0 : line_start + 1), 15u);
    }
    EXPECT_GE(coo_lines, printed.size());
    EXPECT_NE(report.find("REDUCCI\xD3N Z"), std::string::npos);

    // XML and database: the documents with their items and figures.
    std::string xml = dir_.File("MRA.xml"), db = dir_.File("MRA.mdb");
    ASSERT_EQ(Fn<decltype(&TalvGeraXmlTotal)>("TalvGeraXmlTotal")(mra.c_str(), xml.c_str()), 0);
    EXPECT_EQ(CountElements(xml, "documento"), 4);
    EXPECT_NE(Read(xml).find("codigo=\"7591234000017\""), std::string::npos);
    ASSERT_EQ(Fn<decltype(&TalvGeraMdbTotal)>("TalvGeraMdbTotal")(mra.c_str(), db.c_str()), 0);
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM documentos WHERE tipo = 'F'"), "3");
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM items"), "6");
    EXPECT_EQ(Scalar(db, "SELECT count(DISTINCT descripcion) || descripcion FROM items"), "1" + Cp1252ToUtf8(printed[0].items[0].description));
    EXPECT_EQ(Scalar(db, "SELECT sum(total) FROM documentos WHERE tipo = 'F'"), std::to_string(sales));
    EXPECT_EQ(Scalar(db, "SELECT sum(valor) FROM pagos"), std::to_string(3 * 99999900LL));
    EXPECT_EQ(Scalar(db, "SELECT crz || ' ' || gran_total FROM reducciones_z"), "1 " + std::to_string(sales));
    EXPECT_EQ(Scalar(db, "SELECT texto FROM documentos WHERE tipo = 'Z'"), Cp1252ToUtf8(printed[3].text));

    // By COO of the user who printed them, and the sales book of that range.
    uint32_t second = printed[1].coo;
    ASSERT_EQ(Fn<decltype(&TalvGeraTxtPorCOO)>("TalvGeraTxtPorCOO")(mra.c_str(), txt.c_str(), printed[1].user,
                                                                     static_cast<int>(second), static_cast<int>(second + 1)),
              0);
    EXPECT_EQ(Read(txt), printed[1].text + printed[2].text);
    std::string book = dir_.File("sb.txt");
    ASSERT_EQ(Fn<decltype(&TalvGeraLibroDeVentasTotalRD)>("TalvGeraLibroDeVentasTotalRD")(mra.c_str(), book.c_str()), 0);
    EXPECT_NE(Read(book).find("Total de ventas:" + std::string(35 - 16 - Format("%lld.%02lld", static_cast<long long>(sales / 100), static_cast<long long>(sales % 100)).size(), ' ') +
                              Format("%lld.%02lld", static_cast<long long>(sales / 100), static_cast<long long>(sales % 100))),
              std::string::npos)
        << Read(book);
}

TEST_F(ReportsSim, CountryMenusReadThePrinter) {
    PrintReceipt(2);
    Run("Reducci\xC3\xB3n Z");
    std::vector<fm::JournalDocument> printed = Printed();
    ASSERT_EQ(printed.size(), 2u);
    const fm::JournalDocument& z = printed[1];
    std::string d8 = Format("%02d%02d%04d", z.day, z.month, z.year), d6 = z.Ddmmyy();
    std::string port = sim_->path();

    // "PA 0421-06": the check names the port, the readings that follow do not.
    auto check = Fn<decltype(&verificarConexion)>("verificarConexion");
    EXPECT_EQ(check("/dev/null/none", "Heron 2 TH", nullptr), 0);  // nobody there
    EXPECT_NE(check("TALVERON", "Heron 2 TH", port.c_str()), 0);
    std::string head = dir_.File("enc.txt"), mf = dir_.File("mf.txt"), ma = dir_.File("ma.txt"), id = dir_.File("id.txt");
    EXPECT_NE(Fn<decltype(&leerEncabezadoMemoriaFiscal)>("leerEncabezadoMemoriaFiscal")("TALVERON", "Heron 2 TH",
                                                                                        head.c_str()),
              0);
    EXPECT_NE(Read(head).find("Serial:           VE0100000001"), std::string::npos) << Read(head);
    EXPECT_NE(Fn<decltype(&leerMemoriaFiscalFecha)>("leerMemoriaFiscalFecha")("TALVERON", "Heron 2 TH", d8.c_str(),
                                                                              d8.c_str(), mf.c_str()),
              0);
    EXPECT_NE(Read(mf).find("CRZ: 000001"), std::string::npos) << Read(mf);
    EXPECT_EQ(Fn<decltype(&leerEncabezadoMemoriaAuditoria)>("leerEncabezadoMemoriaAuditoria")("TALVERON", "Heron 2 TH",
                                                                                             id.c_str()),
              0);
    EXPECT_NE(Read(id).find("Documentos:            2\r\n"), std::string::npos) << Read(id);
    EXPECT_NE(Fn<decltype(&leerMemoriaAuditoriaFecha)>("leerMemoriaAuditoriaFecha")("TALVERON", "Heron 2 TH", d8.c_str(),
                                                                                    d8.c_str(), ma.c_str()),
              0);
    EXPECT_EQ(Read(ma), printed[0].text + printed[1].text);

    // "Panamá": port and model, six-digit dates, XML.
    EXPECT_NE(check(port.c_str(), "Heron 4 TH", nullptr), 0);
    std::string xml_ma = dir_.File("ma.xml"), xml_mf = dir_.File("mf.xml");
    int r = Fn<decltype(&leerMemoriaAuditoria)>("leerMemoriaAuditoria")(port.c_str(), "Heron 4 TH", d6.c_str(),
                                                                         d6.c_str(), xml_ma.c_str());
    EXPECT_NE(r & 0xFF, 0);
    EXPECT_EQ(CountElements(xml_ma, "documento"), 2);
    r = Fn<decltype(&leerMemoriaFiscal)>("leerMemoriaFiscal")(port.c_str(), "Heron 4 TH", d6.c_str(), d6.c_str(),
                                                              xml_mf.c_str());
    EXPECT_NE(r & 0xFF, 0);
    EXPECT_EQ(CountElements(xml_mf, "reduccion"), 1);
    // Each menu its own date form: eight digits for "PA 0421-06", six for "Panamá".
    std::string other = dir_.File("other.txt");
    EXPECT_EQ(Fn<decltype(&leerMemoriaFiscalFecha)>("leerMemoriaFiscalFecha")("TALVERON", "Heron 2 TH", d6.c_str(),
                                                                              d6.c_str(), other.c_str()),
              0);
    EXPECT_EQ(Fn<decltype(&leerMemoriaFiscal)>("leerMemoriaFiscal")(port.c_str(), "Heron 4 TH", d8.c_str(), d8.c_str(),
                                                                    other.c_str()) & 0xFF,
              0);
    EXPECT_FALSE(std::filesystem::exists(other));
    // A range without documents is no file.
    std::string none = dir_.File("none.xml");
    EXPECT_EQ(Fn<decltype(&leerMemoriaAuditoria)>("leerMemoriaAuditoria")(port.c_str(), "Heron 4 TH", "010199",
                                                                          "020199", none.c_str()) & 0xFF,
              0);
}

TEST_F(ReportsSim, EncryptedXmlOfThePrinterOpens) {
    PrintReceipt(1);
    std::string enc = dir_.File("MA.enc"), xml = dir_.File("MA.xml");
    test::RunResult r =
        test::RunProgram(test::ProgramPath("ordavo-printer-sim"), {"--state", state_, "--encrypted-xml", enc}, 30000);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(Fn<decltype(&TalvDescriptografaXmlAES)>("TalvDescriptografaXmlAES")(enc.c_str(), xml.c_str()), 0);
    EXPECT_EQ(CountElements(xml, "documento"), 1);
    EXPECT_NE(Read(xml).find(Format("coo=\"%u\"", Printed()[0].coo)), std::string::npos);
    EXPECT_NE(Read(xml).find("serial=\"VE0100000001\""), std::string::npos);
}

}  // namespace
}  // namespace ordavo::reportstest
