// The download protocol at the level of its commands, through the library's Session against the
// simulator: what the printer refuses and why, the blocks, the progress, the text answers, and
// the library built for the Dominican Republic doing the same.
#include "fiscalmemory/library/protocol.h"
#include "tests/integration/mfd_test_util.h"
#include "tests/support/usb_sim_backend.h"
#include "transport/usb/talvusbprinter.h"
#include "transport/usb_interface.h"

namespace ordavo::test {
namespace {

using mfd::Bytes;
using mfd::Content;
using mfd::DownloadInfo;
using mfd::DownloadRequest;
using mfd::RangeKind;

class Protocol : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);  // this test's own last answer
        state_ = DemoState(2, 3);
        sim_ = std::make_unique<Simulator>(std::vector<std::string>{"--state", SaveState(dir_, state_)});
        ASSERT_TRUE(sim_->ok());
        session_ = std::make_unique<mfd::Session>(sim_->path());
        ASSERT_EQ(session_->Open(), 0);
    }
    Bytes Command(mfd::Cmd c, const std::string& params = {}) {
        Bytes p{mfd::kEscape0, mfd::kEscape1, static_cast<uint8_t>(c)};
        p.insert(p.end(), params.begin(), params.end());
        return p;
    }
    TempDir dir_, runtime_;
    sim::PrinterState state_;
    std::unique_ptr<Simulator> sim_;
    std::unique_ptr<mfd::Session> session_;
};

TEST_F(Protocol, ThePrinterRefusesWhatItCannotPrepare) {
    struct Case {
        Content content;
        RangeKind range;
        const char *first, *last;
        int user;
        int code;
    } cases[] = {
        {Content::kFiscalMemory, RangeKind::kDate, "011226", "021226", 0, 11},  // only whole
        {Content::kAuditJournal, RangeKind::kAddress, "6", "22", 0, 11},
        {Content::kAuditJournal, RangeKind::kNumber, "1", "5", 0, 14},  // no user
        {Content::kAuditJournal, RangeKind::kNumber, "9", "5", 1, 15},
        {Content::kAuditJournal, RangeKind::kDate, "021226", "011226", 0, 12},
        {Content::kAuditJournal, RangeKind::kDate, "301126", "291126", 0, 12},
        {Content::kAuditJournal, RangeKind::kDate, "311126", "011226", 0, 3},  // 31 November
        {Content::kAuditJournal, RangeKind::kDate, "321226", "011226", 0, 3},
        {Content::kAuditJournal, RangeKind::kDate, "010127", "020127", 0, 6},
        {Content::kFiscalReading, RangeKind::kWhole, "", "", 0, 11},
        {Content::kTransactions, RangeKind::kAddress, "1", "2", 0, 11},
        {Content::kAuditAddresses, RangeKind::kDate, "011226", "011226", 0, 11},
        {static_cast<Content>('Z'), RangeKind::kWhole, "", "", 0, 11},
    };
    for (const Case& c : cases) {
        DownloadRequest r = mfd::RequestOf(c.content, c.range, c.first, c.last);
        r.user = c.user;
        DownloadInfo info;
        EXPECT_EQ(session_->OpenDownload(r, &info), c.code) << static_cast<char>(c.content) << " " << c.first;
        EXPECT_EQ(session_->LastStatus().st2 & 1, 1);  // COMANDO NO EJECUTADO
    }
}

TEST_F(Protocol, BlocksOutsideADownloadAreRefused) {
    Bytes data;
    // A block answer is variable: read its header and what it announces.
    ASSERT_EQ(session_->Exchange(Command(mfd::Cmd::kBlock, "00000000"), 6 + 4, &data), 0);
    EXPECT_EQ(session_->LastStatus().st2 & 1, 1);
    EXPECT_EQ(data[4] | (data[5] << 8), 0);  // no bytes
    EXPECT_TRUE(mfd::ParseBlock(data.data(), data.size(), 0, 0, nullptr));

    DownloadRequest r;  // the fiscal memory: 64 + 2 × 200 bytes, one block
    DownloadInfo info;
    ASSERT_EQ(session_->OpenDownload(r, &info), 0);
    EXPECT_EQ(info.size, 464u);
    EXPECT_EQ(info.blocks, 1u);
    EXPECT_FALSE(info.signed_content);
    ASSERT_EQ(session_->Exchange(Command(mfd::Cmd::kBlock, "00000001"), 6 + 4, &data), 0);
    EXPECT_EQ(session_->LastStatus().st2 & 1, 1);  // beyond the content
    ASSERT_EQ(session_->Exchange(Command(mfd::Cmd::kSignature), 6 + 4, &data), 0);
    EXPECT_EQ(session_->LastStatus().st2 & 1, 1);  // not signed
    ASSERT_EQ(session_->CloseDownload(), 0);
    ASSERT_EQ(session_->Exchange(Command(mfd::Cmd::kSetSpeed, "012345"), 0, nullptr), 0);
    EXPECT_EQ(session_->LastStatus().st2 & 1, 1);  // a speed it cannot take
}

TEST_F(Protocol, ProgressGrowsToWhatWasExpected) {
    sim_.reset();
    state_ = DemoState(30, 15);
    sim_ = std::make_unique<Simulator>(std::vector<std::string>{"--state", SaveState(dir_, state_)});
    mfd::Session s(sim_->path());
    ASSERT_EQ(s.Open(), 0);
    std::vector<std::pair<long long, long long>> seen;
    s.SetProgress([&](long long done, long long expected) {
        seen.emplace_back(done, expected);
        return false;
    });
    DownloadRequest r;
    r.content = Content::kAuditJournal;
    r.sign = true;
    std::string journal, signature;
    ASSERT_EQ(s.Download(r, mfd::MemorySink(journal), &signature), 0);
    EXPECT_EQ(journal, sim::AuditJournal(state_));
    EXPECT_EQ(signature.size(), 256u);
    ASSERT_GE(seen.size(), 3u);
    const long long expected = static_cast<long long>(journal.size()) + 256;
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].second, expected);
        if (i) {
            EXPECT_GT(seen[i].first, seen[i - 1].first);
        }
    }
    EXPECT_EQ(seen.front().first, 0);
    EXPECT_EQ(seen.back().first, expected);
}

TEST_F(Protocol, ErasedSectorsTravelAsFilledBlocks) {
    const DownloadRequest r = mfd::RequestOf(Content::kAuditAddresses, RangeKind::kAddress, "0", "6");
    std::string sectors;
    const uint64_t before = session_->BytesMoved();
    ASSERT_EQ(session_->Download(r, mfd::MemorySink(sectors)), 0);
    EXPECT_EQ(sectors, fm::AuditFileHead() + sim::IdentityRecord(state_));
    EXPECT_LT(session_->BytesMoved() - before, 12000u);  // 129 blocks, the 128 erased ones of 17 bytes
}

TEST_F(Protocol, TextAnswersOfTheCommandSet) {
    // The audit memory through the port, "62 95 98": status first, text up to ETX.
    std::string text;
    ASSERT_EQ(session_->ExchangeText({62, 95, 98, '0', '1', '1', '2', '2', '6', '0', '2', '1', '2', '2', '6'}, &text), 0);
    EXPECT_NE(text.find("000001 CF"), std::string::npos) << text;
    EXPECT_NE(text.find("DOCUMENTOS"), std::string::npos);
    unsigned char ack = 0, st1 = 9, st2 = 9;
    session_->Close();  // the last answer is kept when the call ends
    Library lib;
    ASSERT_EQ(lib.TalvGetLastAck(&ack, &st1, &st2), 0);
    EXPECT_EQ(ack, 0x06);
    EXPECT_EQ(st2, 0);
}

TEST_F(Protocol, TheDominicanLibraryIsTheSame) {
    FiscalLibrary rd(kFiscalLibraryRD);
    ASSERT_TRUE(rd.Loaded()) << rd.error();
    auto serial = rd.Find<decltype(&TalvGetSerialNumber)>("TalvGetSerialNumber");
    auto mfd_download = rd.Find<decltype(&TalvDownloadMFD)>("TalvDownloadMFD");
    ASSERT_TRUE(serial && mfd_download);
    session_->Close();
    char buf[TALV_SERIAL_SIZE] = {};
    EXPECT_EQ(serial(sim_->path().c_str(), buf), 0);
    EXPECT_STREQ(buf, "VE0100000001");
    ASSERT_EQ(mfd_download(sim_->path().c_str(), dir_.File("a.mra").c_str(), "1", "011226", "011226", ""), 0);
    EXPECT_EQ(Slurp(dir_.File("a.mra")),
              fm::BuildAuditFile(JournalOf(state_, [](const fm::JournalDocument& d, int, int) { return d.day == 1; }, 0, 0)));
}

}  // namespace
}  // namespace ordavo::test

namespace ordavo::test {
namespace {

// Over USB: the device object polling the simulated printer inside this process.
TEST(ProtocolOverUsb, DownloadsThroughTheUsbPrinterObject) {
    TempDir runtime;
    setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    auto backend = std::make_unique<UsbSimBackend>();
    UsbSimBackend* device = backend.get();
    device->printer().state() = DemoState(3, 5);
    TalvUsbPrinter usb(std::move(backend));
    mfd::Session s("USB", std::make_unique<UsbInterface>(usb));
    ASSERT_EQ(s.Open(), 0);
    mfd::PrinterIdentity id;
    ASSERT_EQ(s.Identity(&id), 0);
    EXPECT_EQ(id.serial, "VE0100000001");
    EXPECT_EQ(s.SwitchSpeed(115200), 0);  // no line speed on USB: nothing is sent
    mfd::DownloadRequest r;
    r.content = mfd::Content::kAuditJournal;
    r.sign = true;
    std::string journal, signature;
    ASSERT_EQ(s.Download(r, mfd::MemorySink(journal), &signature), 0);
    EXPECT_EQ(journal, sim::AuditJournal(device->printer().state()));
    EXPECT_EQ(signature.size(), 256u);
    EXPECT_EQ(device->printer().line_baud, 9600);
    s.Close();
    ASSERT_EQ(s.Open(), 0);  // the same device object again
    EXPECT_EQ(s.Identity(&id), 0);
}

}  // namespace
}  // namespace ordavo::test
