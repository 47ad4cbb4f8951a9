// The fiscal-memory library and the simulator: the speed switch and the printer's return to
// 9600 baud, documents printed through the printer's own commands in its journal, the
// Z-validation text of a reduction, and the exchange files.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "fiscalmemory/library/protocol.h"
#include "tests/integration/mfd_test_util.h"

namespace ordavo::test {
namespace {

using namespace std::chrono_literals;

class Speed : public ::testing::Test {
protected:
    void Start(std::vector<std::string> options) {
        options.insert(options.end(), {"--state", SaveState(dir_, DemoState(4, 6)), "--verbose"});
        sim_ = std::make_unique<Simulator>(options);
        ASSERT_TRUE(sim_->ok());
    }
    void TearDown() override { lib_.TalvSetBaudrate(9600); }
    int Serial() {
        char serial[TALV_SERIAL_SIZE] = {};
        return lib_.TalvGetSerialNumber(sim_->path().c_str(), serial);
    }
    TempDir dir_;
    std::unique_ptr<Simulator> sim_;
    Library lib_;
};

TEST_F(Speed, DownloadSwitchesTheLineAndComesBackTo9600) {
    Start({"--pace"});
    ASSERT_EQ(lib_.TalvSetBaudrate(115200), 0);
    EXPECT_EQ(lib_.TalvSetBaudrate(12345), 9);  // refused; 115200 stays
    ASSERT_EQ(lib_.TalvDownloadMFD(sim_->path().c_str(), dir_.File("a.mra").c_str(), "0", "", "", ""), 0);
    EXPECT_EQ(Slurp(dir_.File("a.mra")), fm::BuildAuditFile(sim::AuditJournal(DemoState(4, 6))));
    EXPECT_EQ(Serial(), 0);  // at 9600 again, at once
    const std::string log = sim_->process().Errors();
    EXPECT_NE(log.find("line speed 9600 -> 115200"), std::string::npos) << log;
    EXPECT_NE(log.find("line speed 115200 -> 9600"), std::string::npos) << log;
    EXPECT_EQ(log.find("not understood"), std::string::npos) << log;
}

int CancelAtOnce(long long done, long long, void*) { return done > 0; }

TEST_F(Speed, PrinterIsBackAt9600AfterAFailedDownload) {
    Start({});
    ASSERT_EQ(lib_.TalvSetBaudrate(57600), 0);
    // Cancelled: the library ends the download, so the printer goes back at once.
    lib_.TalvSetProgressCallback(CancelAtOnce, nullptr);
    EXPECT_EQ(lib_.TalvDownloadMFD(sim_->path().c_str(), dir_.File("a.mra").c_str(), "0", "", "", ""), 20);
    lib_.TalvSetProgressCallback(nullptr, nullptr);
    EXPECT_EQ(Serial(), 0);

    // A program that switched the printer and went away without ending: the printer does not
    // understand 9600 any more, until the line has been quiet for a while.
    {
        mfd::Session s(sim_->path());
        ASSERT_EQ(s.Open(), 0);
        ASSERT_EQ(s.SwitchSpeed(115200), 0);
        mfd::PrinterIdentity id;
        ASSERT_EQ(s.Identity(&id), 0);  // understood at the new speed
    }
    EXPECT_EQ(Serial(), 8);
    std::this_thread::sleep_for(3500ms);
    EXPECT_EQ(Serial(), 0);
    EXPECT_NE(sim_->process().Errors().find("back to 9600 baud"), std::string::npos);
}

std::vector<long long> g_seen;
int CancelInTheFirstBlock(long long done, long long, void*) {
    g_seen.push_back(done);
    return done >= 512 ? 1 : 0;
}

// At 9600 baud a block takes seconds: the caller hears of the bytes coming in while it flows,
// and can cancel in the middle of it.
TEST_F(Speed, ProgressWhileABlockFlowsAndCancelInside) {
    Start({"--pace"});
    lib_.TalvSetProgressCallback(CancelInTheFirstBlock, nullptr);
    g_seen.clear();
    EXPECT_EQ(lib_.TalvDownloadMFD(sim_->path().c_str(), dir_.File("a.mra").c_str(), "0", "", "", ""), 20);
    lib_.TalvSetProgressCallback(nullptr, nullptr);
    ASSERT_GE(g_seen.size(), 3u);
    EXPECT_EQ(g_seen.front(), 0);
    EXPECT_GE(g_seen.back(), 512);
    EXPECT_LT(g_seen.back(), 4096);  // before the first block was whole
    EXPECT_FALSE(std::filesystem::exists(dir_.File("a.mra")));
    EXPECT_EQ(Serial(), 0) << sim_->process().Errors();  // the download was ended: the printer answers at once
}

// Exchange() sends any command; the printed documents land in the journal with their text.
TEST_F(Speed, PrintedDocumentsAndTheZValidationText) {
    Start({});
    {
        mfd::Session s(sim_->path());
        ASSERT_EQ(s.Open(), 0);
        ASSERT_EQ(s.Exchange({6}, 0, nullptr), 0);  // reading X
        ASSERT_EQ(s.LastStatus().st2 & 1, 0);
        ASSERT_EQ(s.Exchange({5}, 0, nullptr), 0);  // reduction Z
        ASSERT_EQ(s.LastStatus().st2 & 1, 0);
    }
    ASSERT_EQ(lib_.TalvDownloadMFD(sim_->path().c_str(), dir_.File("a.mra").c_str(), "0", "", "", ""), 0);
    ASSERT_EQ(lib_.TalvDownloadPublicKey(sim_->path().c_str(), dir_.File("k.pub").c_str()), 0);
    const std::string journal = Slurp(dir_.File("a.mra")).substr(fm::kAuditHeadSize);
    fm::JournalReader reader(journal);
    fm::JournalDocument doc, x, z;
    while (reader.Next(doc)) {
        if (doc.kind == fm::DocumentKind::kReadingX) x = doc;
        if (doc.kind == fm::DocumentKind::kReductionZ) z = doc;
    }
    EXPECT_NE(x.text.find("LECTURA X"), std::string::npos) << x.text;
    ASSERT_NE(z.text.find("REDUCCI\xD3N Z"), std::string::npos) << z.text;
    EXPECT_EQ(z.crz, 5u);  // four reductions before it
    EXPECT_TRUE(z.has_totals);
    const size_t at = z.text.find("VALIDACI\xD3N Z");
    ASSERT_NE(at, std::string::npos) << z.text;
    // What a person types from the paper: six lines of digits.
    std::string lines = z.text.substr(z.text.find('\n', at) + 1);
    lines = lines.substr(0, lines.find("\r\n\r\n") == std::string::npos ? lines.size() : lines.find("\r\n\r\n"));
    std::string digits;
    for (char c : lines)
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    ASSERT_EQ(digits.size(), 201u) << lines;

    struct Case {
        std::string text;
        int code;
        const char* verdict;
    } cases[] = {
        {lines, 0, "Reducci\xF3n Z N\xBA 0005 v\xE1lida"},
        {digits.substr(0, 30) + (digits[30] == '0' ? "1" : "0") + digits.substr(31), 255, "NO corresponde"},
        {digits.substr(0, 200) + "G", 17, "no es una validaci\xF3n Z"},
        {digits.substr(0, 150), 17, "no es una validaci\xF3n Z"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        WriteFileAtomically(dir_.File("rsa_rz.tmp"), c.text);
        char verdict[TALV_VERDICT_SIZE] = {};
        EXPECT_EQ(lib_.TalvValidateRZ(dir_.File("rsa_rz.tmp").c_str(), dir_.File("k.pub").c_str(), verdict), c.code);
        EXPECT_NE(std::string(verdict).find(c.verdict), std::string::npos) << verdict;
    }
    char verdict[TALV_VERDICT_SIZE] = {};
    EXPECT_EQ(lib_.TalvValidateRZ(dir_.File("missing").c_str(), dir_.File("k.pub").c_str(), verdict), 4);
    const std::string pub = Slurp(dir_.File("k.pub"));
    WriteFileAtomically(dir_.File("rsa_only.pub"), pub.substr(0, pub.find("-----END PUBLIC KEY-----") + 25));
    WriteFileAtomically(dir_.File("rsa_rz.tmp"), lines);
    EXPECT_EQ(lib_.TalvValidateRZ(dir_.File("rsa_rz.tmp").c_str(), dir_.File("rsa_only.pub").c_str(), verdict), 22);
}

TEST(ExchangeFiles, DownloadOverTheFilePair) {
    TempDir dir;
    const sim::PrinterState state = DemoState(2, 3);
    BackgroundProcess sim(ProgramPath("ordavo-printer-sim"), {"--file", dir.path(), "--state", SaveState(dir, state)});
    ASSERT_FALSE(sim.FirstLine(10000).empty());
    setenv("ORDAVO_EXCHANGE_DIR", dir.path().c_str(), 1);
    Library lib;
    ASSERT_EQ(lib.TalvDownloadMFD("FILE", dir.File("a.mra").c_str(), "2", "000001", "000008", "001"), 0);
    unsetenv("ORDAVO_EXCHANGE_DIR");
    EXPECT_EQ(Slurp(dir.File("a.mra")),
              fm::BuildAuditFile(JournalOf(
                  state, [](const fm::JournalDocument& d, int a, int b) { return d.coo >= 1u && d.coo <= 8u && d.user == 1; },
                  0, 0)));
}

}  // namespace
}  // namespace ordavo::test
