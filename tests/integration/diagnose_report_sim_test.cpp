// The diagnosis of an audit memory as a person gets it: documents printed by the simulator,
// the audit memory downloaded and turned into its text report, then ordavo-cli fiscal
// diagnose on the report, whole and with a document taken out or the counter started again.
#include "fiscalmemory/core/audit_file.h"
#include "tests/integration/mfd_test_util.h"

namespace ordavo::test {
namespace {

struct Document {
    uint32_t coo;
    std::string text;
};

// The documents of an audit file, in journal order, the identity record left out.
std::vector<Document> DocumentsOf(const std::string& audit) {
    std::vector<Document> docs;
    if (audit.size() < fm::kAuditHeadSize + fm::kAuditTailSize) return docs;
    fm::JournalReader reader(
        std::string_view(audit).substr(fm::kAuditHeadSize, audit.size() - fm::kAuditHeadSize - fm::kAuditTailSize));
    fm::JournalDocument doc;
    while (reader.Next(doc))
        if (doc.kind != fm::DocumentKind::kIdentity) docs.push_back({doc.coo, doc.text});
    return docs;
}

RunResult Diagnose(const TempDir& dir, const std::string& report) {
    WriteFileAtomically(dir.File("relacion.txt"), report);
    return RunProgram(ProgramPath("ordavo-cli"), {"fiscal", "diagnose", dir.File("relacion.txt"), "--dir", dir.path()});
}

TEST(DiagnoseReportSim, LostDocumentsAndARestartedCounter) {
    TempDir dir;
    SimLine line(false, {});
    ASSERT_TRUE(line.ok());
    const std::string catalog = SourceDir() + "/catalogs/comandos_vn.xml";
    for (int i = 0; i < 6; ++i) {
        RunResult r = RunProgram(ProgramPath("ordavo-cli"),
                                 {"run", catalog, "Lectura X", "--port", line.port(), "--dir", dir.path()});
        ASSERT_EQ(r.status, 0) << r.err << r.out;
    }
    Library lib;
    ASSERT_EQ(lib.TalvDownloadMFD(line.port().c_str(), dir.File("a.mra").c_str(), "0", "", "", ""), 0);
    const std::vector<Document> docs = DocumentsOf(Slurp(dir.File("a.mra")));
    ASSERT_GE(docs.size(), 6u);
    // The library's text report: every document's text as printed, one after the other.
    auto to_text = lib.lib.Find<decltype(&::TalvGeraTxtTotal)>("TalvGeraTxtTotal");
    ASSERT_NE(to_text, nullptr);
    ASSERT_EQ(to_text(dir.File("a.mra").c_str(), dir.File("a.txt").c_str()), 0);
    const std::string report = Slurp(dir.File("a.txt"));
    std::string joined;
    for (const Document& d : docs) joined += d.text;
    ASSERT_EQ(report, joined);

    RunResult r = Diagnose(dir, report);
    EXPECT_EQ(r.status, 0) << r.out << report;
    EXPECT_EQ(r.out, "\nNing\xC3\xBAn erro encontrado!\n");

    // The fourth document taken out: its COO is named.
    std::string gap;
    for (size_t i = 0; i < docs.size(); ++i)
        if (i != 3) gap += docs[i].text;
    r = Diagnose(dir, gap);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Perda de 1 documento(s)\nPerda de documento(s): " + std::to_string(docs[3].coo) + " a " +
                         std::to_string(docs[3].coo) + "\n"),
              std::string::npos)
        << r.out;

    // The first documents again after the last: the counter started again, and the reduction
    // Z that should close the old count is asked for at the end.
    r = Diagnose(dir, report + docs[0].text + docs[1].text);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Perda de documento(s): " + std::to_string(docs.back().coo + 1) + " a " +
                         std::to_string(docs[0].coo - 1)),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("LLAMAR DLL PARA CREAR RZ"), std::string::npos);
    EXPECT_NE(r.out.find("\nlinha:"), std::string::npos);
}

}  // namespace
}  // namespace ordavo::test
