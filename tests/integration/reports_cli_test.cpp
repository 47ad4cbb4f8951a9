// ordavo-cli fiscal's conversions and key tools, run as a user runs them.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/util.h"
#include "fiscalmemory/core/mf_file.h"
#include "fiscalmemory/library/aes_container.h"
#include "tests/integration/reports_journal.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

namespace ordavo::reportstest {
namespace {

using test::RunResult;

class ReportsCli : public ::testing::Test {
protected:
    void SetUp() override {
        audit_ = dir_.File("MRA.mra");
        ASSERT_TRUE(fm::WriteAuditFile(audit_, Journal(docs_)));
    }
    RunResult Cli(std::vector<std::string> args) {
        args.insert(args.begin(), "fiscal");
        args.insert(args.end(), {"--dir", dir_.path()});
        return test::RunProgram(test::ProgramPath("ordavo-cli"), args, 60000, "",
                                {"ORDAVO_LIBRARY_DIR=" + test::BinaryDir() + "/bin"});
    }
    std::string Read(const std::string& name) {
        std::string s;
        ReadWholeFile(dir_.File(name), s);
        return s;
    }
    test::TempDir dir_;
    std::vector<JournalDocument> docs_ = SampleDay();
    std::string audit_;
};

TEST_F(ReportsCli, ConversionsWriteTheirFilesAndRefusalsExitWithTheLibraryCode) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string file, starts;
    } cases[] = {
        {{"report", audit_, "--out", dir_.File("all.txt"), "--all"}, 0, "all.txt", docs_[1].text},
        {{"report", audit_, "--out", dir_.File("coo.txt"), "--coo", "3", "4", "--user", "1"}, 0, "coo.txt", docs_[3].text},
        {{"xml", audit_, "--out", dir_.File("d.xml"), "--date", "011226", "021226"}, 0, "d.xml", "<?xml"},
        {{"db", audit_, "--out", dir_.File("a.db"), "--all"}, 0, "a.db", "SQLite format 3"},
        {{"sales-book", audit_, "--out", dir_.File("sb.txt"), "--all"}, 0, "sb.txt", "LIBRO DE VENTAS\r\n"},
        {{"sales-book-rd", audit_, "--out", dir_.File("rd.txt"), "--coo", "1", "2"}, 0, "rd.txt", "LIBRO DE VENTAS RD\r\n"},
        {{"monthly-sales-book", audit_, audit_, "--out", dir_.File("m.txt")}, 0, "m.txt", "LIBRO MENSUAL DE VENTAS\r\n"},
        {{"identify", audit_, "--out", dir_.File("id.txt")}, 0, "id.txt", "IDENTIFICACION DE LA MEMORIA DE AUDITORIA\r\n"},
        {{"type-e", audit_, "--out", dir_.File("e.txt"), "--coo", "1", "2"}, 0, "e.txt", "E00VE0100000001"},
        {{"report", audit_, "--out", dir_.File("bad.txt"), "--coo", "4", "3"}, 15, "", ""},
        {{"xml", audit_, "--out", dir_.File("bad.xml"), "--date", "311126", "011226"}, 3, "", ""},
        {{"db", dir_.File("none.mra"), "--out", dir_.File("bad.db"), "--all"}, 17, "", ""},
        {{"report", audit_, "--out", dir_.File("bad.txt")}, 64, "", ""},
        {{"report", audit_, "--out", dir_.File("bad.txt"), "--all", "--date", "011226", "021226"}, 64, "", ""},
        {{"mf-report", audit_, "--out", dir_.File("bad.txt"), "--crz", "1", "2"}, 17, "", ""},
    };
    for (const Case& c : cases) {
        RunResult r = Cli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << " " << c.args.back() << "\n" << r.err;
        if (c.file.empty()) {
            EXPECT_FALSE(std::filesystem::exists(dir_.File("bad.txt")));
            continue;
        }
        EXPECT_EQ(Read(c.file).rfind(c.starts, 0), 0u) << c.file;
    }
    RunResult r = Cli({"report", audit_, "--out", dir_.File("x.txt"), "--coo", "4", "3", "--json"});
    EXPECT_EQ(r.status, 15);
    EXPECT_NE(r.out.find("\"message\": \"COO inicial posterior a final\""), std::string::npos) << r.out;
}

TEST_F(ReportsCli, FiscalMemoryReportNormalAndSimplified) {
    fm::FiscalMemory mf;
    mf.serial = "VE0100000001";
    for (uint32_t i = 1; i <= 3; ++i) {
        fm::ZReduction z;
        z.crz = i;
        z.year = 2026;
        z.month = 12;
        z.day = static_cast<int>(i);
        mf.reductions.push_back(z);
    }
    ASSERT_TRUE(WriteFileAtomically(dir_.File("MF.mf"), fm::EncodeFiscalMemory(mf)));
    EXPECT_EQ(Cli({"mf-report", dir_.File("MF.mf"), "--out", dir_.File("n.txt"), "--crz", "2", "3"}).status, 0);
    EXPECT_NE(Read("n.txt").find("CRZ: 000002"), std::string::npos);
    EXPECT_EQ(Read("n.txt").find("CRZ: 000001"), std::string::npos);
    EXPECT_EQ(Cli({"mf-report", dir_.File("MF.mf"), "--out", dir_.File("s.txt"), "--date", "011226", "011226",
                   "--simplified"}).status,
              0);
    EXPECT_EQ(Read("s.txt").rfind("LECTURA DE LA MEMORIA FISCAL SIMPLIFICADA\r\n", 0), 0u);
    EXPECT_EQ(Cli({"type-e", dir_.File("MF.mf"), "--source", "mf", "--out", dir_.File("e.txt"), "--all"}).status, 0);
    EXPECT_NE(Read("e.txt").find("E99VE0100000001        000000003"), std::string::npos) << Read("e.txt");
}

TEST_F(ReportsCli, KeysSignCheckAndDecrypt) {
    std::string pub = dir_.File("k.pub"), prv = dir_.File("k.prv"), txk = dir_.File("t.txk");
    ASSERT_EQ(Cli({"keys", "--public", pub, "--private", prv}).status, 0);
    ASSERT_TRUE(WriteFileAtomically(dir_.File("t.txt"), "Lectura Z 0001\r\n"));
    ASSERT_EQ(Cli({"sign", dir_.File("t.txt"), "--out", txk, "--public", pub}).status, 0);
    RunResult ok = Cli({"check", txk, "--private", prv});
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out, "Archivo Valido\n");
    std::string bytes = Read("t.txk");
    bytes[3] = 'X';
    ASSERT_TRUE(WriteFileAtomically(txk, bytes));
    RunResult bad = Cli({"check", txk, "--private", prv});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, "Archivo Invalido\n");

    ASSERT_TRUE(WriteFileAtomically(dir_.File("m.enc"), mfd::EncryptXmlContainer("<a/>", "VE0100000001")));
    EXPECT_EQ(Cli({"decrypt", dir_.File("m.enc"), "--out", dir_.File("m.xml")}).status, 0);
    EXPECT_EQ(Read("m.xml"), "<a/>");
    EXPECT_EQ(Cli({"decrypt", dir_.File("t.txt"), "--out", dir_.File("n.xml")}).status, 17);
}

}  // namespace
}  // namespace ordavo::reportstest
