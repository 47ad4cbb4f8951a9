// The fiscal-memory library, loaded as the program loads it, against the printer simulator over
// a pseudo-terminal and over TCP: every download, every range kind, the signatures, silence,
// cancelling, the speed switch and the download in parts.
#include <dirent.h>
#include <fcntl.h>
#include <pty.h>
#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "fiscalmemory/core/mf_file.h"
#include "fiscalmemory/core/signed_file.h"
#include "fiscalmemory/library/crypto.h"
#include "fiscalmemory/library/protocol.h"
#include "tests/integration/mfd_test_util.h"

namespace ordavo::test {
namespace {

bool ByCoo(const fm::JournalDocument& d, int a, int b) { return d.coo >= uint32_t(a) && d.coo <= uint32_t(b) && d.user == 1; }
bool ByDay(const fm::JournalDocument& d, int a, int b) { return d.day >= a && d.day <= b; }
bool All(const fm::JournalDocument&, int, int) { return true; }

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Downloads : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);  // this test's own last answer
        state_ = DemoState(3, 4);  // COO 1..15: days 1, 2, 3 of five documents each
        Start({});
    }
    // A new simulator; `keep` restarts it on the state file the last one left (same keys).
    void Start(std::vector<std::string> options, bool keep = false) {
        line_.reset();
        options.insert(options.end(), {"--state", keep ? dir_.File("printer.state") : SaveState(dir_, state_)});
        line_ = std::make_unique<SimLine>(GetParam(), options);
        ASSERT_TRUE(line_->ok());
    }
    const char* port() { return line_->port().c_str(); }
    std::string Out(const std::string& name) { return dir_.File(name); }

    TempDir dir_, runtime_;
    sim::PrinterState state_;
    std::unique_ptr<SimLine> line_;
    Library lib_;
};

TEST_P(Downloads, SerialNumberAndLastAck) {
    ASSERT_TRUE(lib_.lib.Loaded()) << lib_.lib.error();
    char serial[TALV_SERIAL_SIZE] = {};
    ASSERT_EQ(lib_.TalvGetSerialNumber(port(), serial), 0);
    EXPECT_STREQ(serial, "VE0100000001");
    unsigned char ack = 0, st1 = 1, st2 = 1;
    ASSERT_EQ(lib_.TalvGetLastAck(&ack, &st1, &st2), 0);
    EXPECT_EQ(ack, 0x06);
    EXPECT_EQ(st1 & 0x02, 0);  // no receipt open
    EXPECT_EQ(st2, 0);
}

TEST_P(Downloads, FiscalMemoryPlainAndSigned) {
    ASSERT_EQ(lib_.TalvDownloadMF(port(), Out("a.mf").c_str()), 0);
    fm::FiscalMemory mf;
    std::string error;
    ASSERT_TRUE(fm::DecodeFiscalMemory(Slurp(Out("a.mf")), mf, &error)) << error;
    EXPECT_EQ(mf.serial, "VE0100000001");
    ASSERT_EQ(mf.reductions.size(), 3u);
    EXPECT_EQ(mf.reductions[2].crz, 3u);
    EXPECT_EQ(mf.reductions[2].grand_total, state_.fiscal_memory[2].grand_total);
    EXPECT_EQ(mf.reductions[1].day, 2);

    ASSERT_EQ(lib_.TalvDownloadMFK(port(), Out("a.mfk").c_str()), 0);
    ASSERT_EQ(lib_.TalvDownloadPublicKey(port(), Out("k.pub").c_str()), 0);
    const std::string signed_file = Slurp(Out("a.mfk"));
    std::string_view content, sig;
    ASSERT_TRUE(fm::SplitSignedFile(signed_file, content, sig));
    EXPECT_EQ(content, Slurp(Out("a.mf")));
    EXPECT_EQ(sig.size(), 256u);
    EXPECT_EQ(lib_.TalvValidate(Out("a.mfk").c_str(), Out("k.pub").c_str()), 0);
    // One changed byte anywhere: in the content, in the signature, in the trailer.
    for (size_t at : {size_t{10}, content.size() + 5, signed_file.size() - 10}) {
        std::string bad = signed_file;
        bad[at] ^= 1;
        WriteFileAtomically(Out("bad.mfk"), bad);
        EXPECT_EQ(lib_.TalvValidate(Out("bad.mfk").c_str(), Out("k.pub").c_str()), 255) << "byte " << at;
    }
}

TEST_P(Downloads, AuditMemoryByEveryRangeKind) {
    struct Case {
        const char *kind, *first, *last, *user;
        bool (*keep)(const fm::JournalDocument&, int, int);
        int a, b;
    } cases[] = {
        {"2", "000003", "000012", "001", ByCoo, 3, 12},
        {"1", "021226", "031226", "", ByDay, 2, 3},
        {"0", "", "", "", All, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        ASSERT_EQ(lib_.TalvDownloadMFD(port(), Out("a.mra").c_str(), c.kind, c.first, c.last, c.user), 0);
        EXPECT_EQ(Slurp(Out("a.mra")), fm::BuildAuditFile(JournalOf(state_, c.keep, c.a, c.b)));
    }
    // User 2 printed one document a day.
    ASSERT_EQ(lib_.TalvDownloadMFD(port(), Out("u2.mra").c_str(), "2", "000001", "000015", "002"), 0);
    const std::string journal = Slurp(Out("u2.mra")).substr(fm::kAuditHeadSize);
    fm::JournalReader reader(journal);
    fm::JournalDocument doc;
    int documents = 0;
    while (reader.Next(doc)) documents += doc.kind == fm::DocumentKind::kIdentity ? 0 : 1;
    EXPECT_EQ(documents, 3);
}

TEST_P(Downloads, SignedAuditMemoryValidAndCorruptedInvalid) {
    ASSERT_EQ(lib_.TalvDownloadMPK(port(), Out("a.mpk").c_str(), "1", "011226", "021226", ""), 0);
    ASSERT_EQ(lib_.TalvDownloadPublicKey(port(), Out("k.pub").c_str()), 0);
    EXPECT_EQ(lib_.TalvValidate(Out("a.mpk").c_str(), Out("k.pub").c_str()), 0);
    std::string_view content, sig;
    const std::string mpk = Slurp(Out("a.mpk"));
    ASSERT_TRUE(fm::SplitSignedFile(mpk, content, sig));
    EXPECT_EQ(content, fm::BuildAuditFile(JournalOf(state_, ByDay, 1, 2)));

    // The printer changes one byte of what it sends after signing it.
    std::ofstream(dir_.File("control")) << "corrupt-download 40\n";
    Start({"--control", dir_.File("control")}, true);
    ASSERT_EQ(lib_.TalvDownloadMPK(port(), Out("b.mpk").c_str(), "1", "011226", "021226", ""), 0);
    EXPECT_NE(Slurp(Out("b.mpk")), mpk);
    EXPECT_EQ(lib_.TalvValidate(Out("b.mpk").c_str(), Out("k.pub").c_str()), 255);
}

TEST_P(Downloads, SoftwareKeyAndSignedTexts) {
    ASSERT_EQ(lib_.TalvDownloadSB(port(), Out("sb.bin").c_str()), 0);
    const std::string bin = Slurp(Out("sb.bin"));
    ASSERT_GT(bin.size(), 96u);
    EXPECT_EQ(bin.substr(0, 8), "ORDAVOSB");
    EXPECT_EQ(bin.substr(bin.size() - 32), mfd::Sha256(bin.substr(64, bin.size() - 96)));

    ASSERT_EQ(lib_.TalvDownloadPublicKey(port(), Out("k.pub").c_str()), 0);
    mfd::PublicKeys keys;
    ASSERT_TRUE(mfd::ParsePublicKeys(Slurp(Out("k.pub")), &keys));
    EXPECT_TRUE(keys.rsa && keys.z);

    struct Case {
        const char* name;
        std::function<int(const char*)> call;
        const char* expect;
    } cases[] = {
        {"lx.txk", [&](const char* f) { return lib_.TalvDownloadLecturaX(port(), f); }, "LECTURA X"},
        {"lmf.txk", [&](const char* f) { return lib_.TalvDownloadLecturaMF(port(), f, "2", "000001", "000002", "R"); },
         "Z 0002"},
        {"lmfs.txk", [&](const char* f) { return lib_.TalvDownloadLecturaMF(port(), f, "1", "011226", "021226", "r"); },
         "LECTURA DE MF SIMPLIFICADA"},
        {"it.txk",
         [&](const char* f) { return lib_.TalvDownloadRelTransacciones(port(), f, "2", "000002", "000004", "R"); },
         "TRANSACCIONES: 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.call(Out(c.name).c_str()), 0);
        std::string_view content, sig;
        const std::string file = Slurp(Out(c.name));
        ASSERT_TRUE(fm::SplitSignedFile(file, content, sig));
        EXPECT_NE(content.find(c.expect), std::string_view::npos) << content;
        EXPECT_NE(content.find("\r\n"), std::string_view::npos);
        EXPECT_EQ(lib_.TalvValidate(Out(c.name).c_str(), Out("k.pub").c_str()), 0);
    }
}

TEST_P(Downloads, RangeFaultsAreReportedBeforeThePrinterIsAsked) {
    struct Case {
        const char *kind, *first, *last, *user;
        int mfd, mpk;
    } cases[] = {
        {"2", "000025", "000010", "001", 15, 15},
        {"2", "00A010", "000025", "001", 13, 13},
        {"2", "000010", "000025", "", 14, 14},
        {"2", "000010", "000025", "256", 14, 14},
        {"1", "311226", "011226", "", 12, 12},
        {"1", "320126", "011226", "", 3, 3},
        {"7", "", "", "", 11, 11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + c.first + " " + c.last + " " + c.user);
        EXPECT_EQ(lib_.TalvDownloadMFD("/nonexistent/port", Out("x").c_str(), c.kind, c.first, c.last, c.user), c.mfd);
        EXPECT_EQ(lib_.TalvDownloadMPK("/nonexistent/port", Out("x").c_str(), c.kind, c.first, c.last, c.user), c.mpk);
    }
    EXPECT_EQ(lib_.TalvDownloadLecturaMF(port(), Out("x").c_str(), "1", "021226", "011226", "R"), 12);
    EXPECT_EQ(lib_.TalvDownloadRelTransacciones(port(), Out("x").c_str(), "2", "9", "8", "r"), 15);
    EXPECT_EQ(lib_.TalvDownloadLecturaMF(port(), Out("x").c_str(), "2", "1", "2", "x"), 9);
    // A range the printer has nothing in.
    EXPECT_EQ(lib_.TalvDownloadMFD(port(), Out("x").c_str(), "1", "010127", "020127", ""), 6);
    EXPECT_EQ(lib_.TalvDownloadMF("", Out("x").c_str()), 10);
    EXPECT_EQ(lib_.TalvDownloadMF("/nonexistent/port", Out("x").c_str()), 18);
    EXPECT_EQ(lib_.TalvDownloadMF(port(), dir_.File("no/such/dir/a.mf").c_str()), 19);
    EXPECT_EQ(FilesIn(dir_.path()), (std::vector<std::string>{"printer.state"}));
}

int CancelAfterFirstBlock(long long done, long long expected, void* context) {
    auto* calls = static_cast<std::vector<std::pair<long long, long long>>*>(context);
    calls->emplace_back(done, expected);
    return done > 0 ? 1 : 0;
}

TEST_P(Downloads, CancelledDownloadLeavesNoFile) {
    state_ = DemoState(40, 20);  // more than one block of journal
    Start({});
    std::vector<std::pair<long long, long long>> calls;
    ASSERT_EQ(lib_.TalvSetProgressCallback(CancelAfterFirstBlock, &calls), 0);
    WriteFileAtomically(Out("old.mra"), "an older download");
    EXPECT_EQ(lib_.TalvDownloadMFD(port(), Out("old.mra").c_str(), "0", "", "", ""), 20);
    EXPECT_EQ(lib_.TalvDownloadMFD(port(), Out("new.mra").c_str(), "0", "", "", ""), 20);
    lib_.TalvSetProgressCallback(nullptr, nullptr);
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0].first, 0);
    EXPECT_EQ(calls[1].first, 4096);
    EXPECT_EQ(calls[1].second, static_cast<long long>(sim::AuditJournal(state_).size()));
    EXPECT_EQ(Slurp(Out("old.mra")), "an older download");
    EXPECT_EQ(FilesIn(dir_.path()), (std::vector<std::string>{"old.mra", "printer.state"}));
    // The printer is not left in the middle of a download.
    ASSERT_EQ(lib_.TalvDownloadMFD(port(), Out("new.mra").c_str(), "0", "", "", ""), 0);
    EXPECT_EQ(Slurp(Out("new.mra")), fm::BuildAuditFile(sim::AuditJournal(state_)));
}

TEST_P(Downloads, BlockDamagedOnTheLineIsAskedForAgain) {
    state_ = DemoState(40, 20);
    Start({"--line-error-block", "1"});
    ASSERT_EQ(lib_.TalvDownloadMFD(port(), Out("a.mra").c_str(), "0", "", "", ""), 0);
    EXPECT_EQ(Slurp(Out("a.mra")), fm::BuildAuditFile(sim::AuditJournal(state_)));
}

TEST_P(Downloads, SilentPrinterGivesEight) {
    std::ofstream(dir_.File("control")) << "silent-after 0\n";
    Start({"--control", dir_.File("control")});
    char serial[TALV_SERIAL_SIZE] = {};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(lib_.TalvGetSerialNumber(port(), serial), 8);
    EXPECT_EQ(lib_.TalvDownloadMF(port(), Out("a.mf").c_str()), 8);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(40));
    EXPECT_FALSE(std::filesystem::exists(Out("a.mf")));
}

// The download in parts: the initial sectors, the parts of 16 addresses, the closing with the
// signature make the plain download of the same dates, signed.
TEST_P(Downloads, PartsMakeThePlainDownloadOfTheSameDates) {
    const int64_t start = 6 + 16 * 5, end = 6 + 16 * 10;  // the documents of 2 December
    std::string whole;
    ASSERT_EQ(lib_.TalvDownloadMFDByAddress(port(), Out("p").c_str(), "1", "00000000", "00000006", "100", 1), 1);
    whole += Slurp(Out("p"));
    for (int64_t a = start; a < end; a += 16) {
        ASSERT_EQ(lib_.TalvDownloadMFDByAddress(port(), Out("p").c_str(), "1", Format("%08lld", (long long)a).c_str(),
                                                Format("%08lld", (long long)std::min(a + 16, end)).c_str(), "100", 1),
                  1);
        whole += Slurp(Out("p"));
    }
    ASSERT_EQ(lib_.TalvDownloadMFDByAddress(port(), Out("s").c_str(), "0", Format("%08lld", (long long)start).c_str(),
                                            Format("%08lld", (long long)end).c_str(), "10", 2),
              0);
    whole += Slurp(Out("s"));
    ASSERT_EQ(lib_.TalvDownloadMFD(port(), Out("plain.mra").c_str(), "1", "021226", "021226", ""), 0);
    ASSERT_GT(whole.size(), fm::kSignatureTrailerSize + 256);
    EXPECT_EQ(whole.substr(0, whole.size() - 268), Slurp(Out("plain.mra")));
    WriteFileAtomically(Out("parts.mfd"), whole);
    ASSERT_EQ(lib_.TalvDownloadPublicKey(port(), Out("k.pub").c_str()), 0);
    EXPECT_EQ(lib_.TalvValidate(Out("parts.mfd").c_str(), Out("k.pub").c_str()), 0);
    EXPECT_EQ(lib_.TalvDownloadMFDByAddress(port(), Out("p").c_str(), "1", "00000009", "00000008", "100", 1), 15);
    EXPECT_EQ(lib_.TalvDownloadMFDByAddress(port(), Out("p").c_str(), "0", "00000001", "00000008", "100", 1), 11);
}

TEST_P(Downloads, DiagnosisComparesASignedCopy) {
    ASSERT_EQ(lib_.TalvDownloadMFK(port(), Out("a.mfk").c_str()), 0);
    ASSERT_EQ(lib_.TalvDiagnoseMF(port(), nullptr, Out("d1.txt").c_str()), 0);
    EXPECT_NE(Slurp(Out("d1.txt")).find("Resultado: sin errores"), std::string::npos) << Slurp(Out("d1.txt"));
    ASSERT_EQ(lib_.TalvDiagnoseMF(port(), Out("a.mfk").c_str(), Out("d2.txt").c_str()), 0);
    const std::string ok = Slurp(Out("d2.txt"));
    EXPECT_NE(ok.find("Firma: v\xE1lida"), std::string::npos) << ok;
    EXPECT_NE(ok.find("iguales a las de la impresora: 3"), std::string::npos) << ok;
    std::string bad = Slurp(Out("a.mfk"));
    bad[64 + 16] ^= 1;  // the grand total of the first reduction
    WriteFileAtomically(Out("b.mfk"), bad);
    EXPECT_EQ(lib_.TalvDiagnoseMF(port(), Out("b.mfk").c_str(), Out("d3.txt").c_str()), 17);  // its record no longer checks
    WriteFileAtomically(Out("c.mfk"), "not a signed file");
    EXPECT_EQ(lib_.TalvDiagnoseMF(port(), Out("c.mfk").c_str(), Out("d3.txt").c_str()), 17);
    EXPECT_FALSE(std::filesystem::exists(Out("d3.txt")));
}

INSTANTIATE_TEST_SUITE_P(Lines, Downloads, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Tcp" : "Pty"; });

}  // namespace
}  // namespace ordavo::test
