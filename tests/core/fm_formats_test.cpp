// The journal, audit-file, signed-file and fiscal-memory layouts that downloads, captures and
// conversions share.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fiscalmemory/core/audit_file.h"
#include "fiscalmemory/core/journal.h"
#include "fiscalmemory/core/mf_file.h"
#include "fiscalmemory/core/signed_file.h"

namespace ordavo::fm {
namespace {

JournalDocument Receipt(uint32_t coo, int day) {
    JournalDocument d;
    d.kind = DocumentKind::kReceipt;
    d.coo = coo;
    d.crz = 7;
    d.user = 2;
    d.year = 2026;
    d.month = 12;
    d.day = day;
    d.hour = 9;
    d.minute = 30;
    d.second = 5;
    d.text = "COO:" + std::to_string(coo) + "\r\nCAF\xC9 1 x 2,50\r\n";
    d.items.push_back({"0001", "CAF\xC9", 1, 1000, 250, 250, false});
    d.items.push_back({"0002", "PAN", 0, 2500, 100, 250, true});
    d.payments.push_back({1, "Efectivo", 500});
    d.has_totals = true;
    d.rate_totals[0] = 250;
    d.exempt = 0;
    d.total = 250;
    return d;
}

std::vector<JournalDocument> ReadAll(std::string_view bytes, uint64_t* skipped = nullptr) {
    JournalReader reader(bytes);
    std::vector<JournalDocument> docs;
    JournalDocument d;
    while (reader.Next(d)) docs.push_back(d);
    if (skipped) *skipped = reader.skipped();
    return docs;
}

TEST(Journal, RecordsRoundTripWithEveryField) {
    JournalDocument id;
    id.kind = DocumentKind::kIdentity;
    id.serial = "VE0100000001";
    id.model = "Kestrel 2";
    JournalDocument big = Receipt(2, 11);
    big.text.assign(200000, 'x');  // longer than one field
    std::string journal = EncodeDocument(id) + EncodeDocument(Receipt(1, 10)) + EncodeDocument(big);
    std::vector<JournalDocument> docs = ReadAll(journal);
    ASSERT_EQ(docs.size(), 3u);
    EXPECT_EQ(docs[0].serial, "VE0100000001");
    EXPECT_EQ(docs[0].model, "Kestrel 2");
    const JournalDocument& r = docs[1];
    EXPECT_EQ(r.kind, DocumentKind::kReceipt);
    EXPECT_EQ(r.coo, 1u);
    EXPECT_EQ(r.crz, 7u);
    EXPECT_EQ(r.user, 2);
    EXPECT_EQ(r.Ddmmyy(), "101226");
    EXPECT_EQ(r.DateKey(), 20261210);
    EXPECT_EQ(r.text, Receipt(1, 10).text);
    ASSERT_EQ(r.items.size(), 2u);
    EXPECT_EQ(r.items[0].description, "CAF\xC9");
    EXPECT_EQ(r.items[1].cancelled, true);
    EXPECT_EQ(r.items[1].quantity, 2500);
    ASSERT_EQ(r.payments.size(), 1u);
    EXPECT_EQ(r.payments[0].value, 500);
    EXPECT_TRUE(r.has_totals);
    EXPECT_EQ(r.rate_totals[0], 250);
    EXPECT_EQ(docs[2].text.size(), 200000u);
}

TEST(Journal, DamageIsSkippedToTheNextRecordThatChecks) {
    std::string a = EncodeDocument(Receipt(1, 10)), b = EncodeDocument(Receipt(2, 10)),
                c = EncodeDocument(Receipt(3, 10));
    struct Case {
        const char* what;
        std::string journal;
        std::vector<uint32_t> coos;
    };
    std::string flipped = b;
    flipped[30] ^= 0x40;
    std::string cut = b.substr(0, b.size() / 2);
    std::vector<Case> cases = {
        {"a byte changed", a + flipped + c, {1, 3}},
        {"a record cut short", a + cut + c, {1, 3}},
        {"garbage between", a + std::string("\x1E\x1E\x00garbage\x1E", 11) + c, {1, 3}},
        {"erased memory ends it", a + std::string(256, '\xFF') + c, {1}},
        {"a lone 0xFF does not", a + "\xFF" + c, {1, 3}},
        {"the last record cut", a + c.substr(0, c.size() - 1), {1}},
        {"empty", "", {}},
    };
    for (const Case& k : cases) {
        std::vector<uint32_t> got;
        for (const JournalDocument& d : ReadAll(k.journal)) got.push_back(d.coo);
        EXPECT_EQ(got, k.coos) << k.what;
    }
}

TEST(Journal, FileReaderReadsWhatTheMemoryReaderReads) {
    std::string journal;
    for (uint32_t i = 1; i <= 300; ++i) journal += EncodeDocument(Receipt(i, 1 + i % 28));
    journal += "junk";
    journal += EncodeDocument(Receipt(301, 1));
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    std::string prefix = "HEAD";
    std::fwrite(prefix.data(), 1, prefix.size(), f);
    std::fwrite(journal.data(), 1, journal.size(), f);
    std::fwrite("\x1E tail past the limit", 1, 21, f);
    std::fseek(f, static_cast<long>(prefix.size()), SEEK_SET);
    JournalReader reader(f, static_cast<long long>(journal.size()));
    JournalDocument d;
    std::vector<uint32_t> coos;
    while (reader.Next(d)) coos.push_back(d.coo);
    std::fclose(f);
    ASSERT_EQ(coos.size(), 301u);
    EXPECT_EQ(coos.back(), 301u);
    EXPECT_EQ(reader.skipped(), 4u);
}

TEST(Journal, DateTexts) {
    struct Case {
        const char* text;
        int key;
    } cases[] = {{"101226", 20261210}, {"10122026", 20261210}, {"290224", 20240229}, {"290223", 0},
                 {"320126", 0},        {"011326", 0},          {"1012", 0},           {"10a226", 0}};
    for (const Case& c : cases) EXPECT_EQ(DateKeyFromText(c.text), c.key) << c.text;
}

TEST(AuditFile, LayoutAroundTheJournal) {
    std::string journal = EncodeDocument(Receipt(1, 10));
    std::string file = BuildAuditFile(journal);
    ASSERT_EQ(file.size(), 524288u + 1536u + journal.size() + 256u);
    EXPECT_EQ(file.find_first_not_of('\xFF'), 524288u);
    std::string a = file.substr(524288, 256);
    EXPECT_EQ(a[0], '\x00');
    EXPECT_EQ(a.substr(1, 7), "PDF-417");
    EXPECT_EQ(a.substr(8, 246), std::string(246, '\0'));
    EXPECT_EQ(a.substr(254), "\x42\x55");
    EXPECT_EQ(file.substr(524288 + 256, 256), a);
    std::string b = file.substr(524288 + 768, 256);
    EXPECT_EQ(b[0], '\x01');
    EXPECT_EQ(b.substr(254), "\x3C\x40");
    EXPECT_EQ(file.substr(kAuditHeadSize, journal.size()), journal);
    EXPECT_EQ(file.substr(file.size() - 256), std::string(256, '\xFF'));
    EXPECT_TRUE(CheckAuditHead(file));
    EXPECT_FALSE(CheckAuditHead(file.substr(0, 1000)));
    std::string damaged = file;
    for (int i = 0; i < 3; ++i) damaged[524288 + 1 + 256 * i] = 'X';
    EXPECT_FALSE(CheckAuditHead(damaged));
    damaged[524288 + 1 + 256] = 'P';  // one good copy of block A is enough
    EXPECT_TRUE(CheckAuditHead(damaged));
    // The tail of erased memory ends the journal.
    ASSERT_EQ(ReadAll(std::string_view(file).substr(kAuditHeadSize)).size(), 1u);
}

TEST(SignedFile, SplitsWhatWasAppendedAndRefusesTheRest) {
    std::string sig(256, 's');
    std::string file = AppendSignature("content", sig);
    std::string_view content, signature;
    ASSERT_TRUE(SplitSignedFile(file, content, signature));
    EXPECT_EQ(content, "content");
    EXPECT_EQ(signature, sig);
    for (std::string bad : {std::string("short"), file.substr(1), file + "x", std::string("content") + sig}) {
        EXPECT_FALSE(SplitSignedFile(bad, content, signature)) << bad.size();
    }
}

TEST(FiscalMemoryFile, RoundTripAndDamage) {
    FiscalMemory mf;
    mf.serial = "VE0100000001";
    mf.model = "Kestrel 2";
    for (uint32_t i = 1; i <= 3; ++i) {
        ZReduction z;
        z.crz = i;
        z.coo = 10 * i;
        z.year = 2026;
        z.month = 12;
        z.day = static_cast<int>(i);
        z.grand_total = 100000 * i;
        z.day_total = 1000 * i;
        z.rate_totals[15] = static_cast<int64_t>(i);
        mf.reductions.push_back(z);
    }
    std::string bytes = EncodeFiscalMemory(mf);
    ASSERT_EQ(bytes.size(), kMfHeaderSize + 3 * kMfRecordSize);
    FiscalMemory back;
    ASSERT_TRUE(DecodeFiscalMemory(bytes, back));
    EXPECT_EQ(back.serial, mf.serial);
    EXPECT_EQ(back.model, mf.model);
    ASSERT_EQ(back.reductions.size(), 3u);
    EXPECT_EQ(back.reductions[2].crz, 3u);
    EXPECT_EQ(back.reductions[2].grand_total, 300000);
    EXPECT_EQ(back.reductions[2].rate_totals[15], 3);
    EXPECT_EQ(back.reductions[1].DateKey(), 20261202);

    std::string flipped = bytes;
    flipped[kMfHeaderSize + kMfRecordSize + 20] ^= 1;
    std::string head = bytes;
    head[20] ^= 1;
    for (std::string bad : {bytes.substr(0, bytes.size() - 1), flipped, head, std::string("ORDAVOMF"),
                            std::string(100, 'x')}) {
        std::string error;
        EXPECT_FALSE(DecodeFiscalMemory(bad, back, &error));
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace ordavo::fm
