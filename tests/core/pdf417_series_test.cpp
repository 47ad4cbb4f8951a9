// The series of PDF-417 symbols, the audit file it makes, and the scanner's settings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/util.h"
#include "fiscalmemory/core/audit_file.h"
#include "fiscalmemory/core/journal.h"
#include "pdf417/core/scanner_settings.h"
#include "pdf417/core/symbol_series.h"
#include "sim/scanner_series.h"
#include "tests/support/paths.h"

namespace ordavo::pdf417 {
namespace {

std::string Le32(uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
    return s;
}

// A symbol of a series of `total` bytes at `position`, its data filled with `fill`.
std::string Symbol(uint32_t total, uint32_t position, size_t data, char fill) {
    return Le32(total) + Le32(position) + std::string(data, fill) + "\r\n";
}

TEST(SymbolSeries, FirstSymbolFixesTheSeriesAndTheStatus) {
    struct Case {
        uint32_t position;
        size_t data;
        std::string status;
    } cases[] = {
        {0, 668, "S\xEDmbolo lido: 1/3"},
        {668, 668, "S\xEDmbolo lido: 2/3"},
        {1336, 664, "S\xEDmbolo lido: 3/3"},
    };
    for (const Case& c : cases) {
        SymbolSeries s;
        std::string status;
        EXPECT_EQ(s.Add(Symbol(2000, c.position, c.data, 'a'), &status), SymbolSeries::Outcome::kAdded);
        EXPECT_EQ(status, c.status) << c.position;
        EXPECT_EQ(s.expected(), 3u);
        EXPECT_EQ(s.received(), 1u);
    }
}

TEST(SymbolSeries, SymbolsThatAreNotOfTheSeriesAreRefused) {
    struct Case {
        const char* what;
        std::string symbol;
        SymbolSeries::Outcome outcome;
        std::string status;
    } cases[] = {
        {"empty", "", SymbolSeries::Outcome::kRefused, "S\xEDmbolo inv\xE1lido: 0 bytes"},
        {"nine bytes", std::string(9, '\0'), SymbolSeries::Outcome::kRefused, "S\xEDmbolo inv\xE1lido: 9 bytes"},
        {"beyond the series", Symbol(2000, 2004, 0, 'x'), SymbolSeries::Outcome::kRefused,
         "S\xEDmbolo fora da s\xE9rie: 4/3"},
        {"far beyond", Symbol(2000, 668u * 100000, 10, 'x'), SymbolSeries::Outcome::kRefused,
         "S\xEDmbolo fora da s\xE9rie: 100001/3"},
        {"not on a symbol boundary", Symbol(2000, 700, 668, 'x'), SymbolSeries::Outcome::kRefused,
         "S\xEDmbolo inv\xE1lido: posi\xE7\xE3o 700"},
        {"empty series", Symbol(0, 0, 0, 'x'), SymbolSeries::Outcome::kRefused, "S\xEDmbolo inv\xE1lido: total 0"},
        {"absurd total", Symbol(0xFFFFFFFFu, 0, 668, 'x'), SymbolSeries::Outcome::kRefused,
         "S\xEDmbolo inv\xE1lido: total 4294967295"},
        {"cut short", Symbol(2000, 668, 600, 'x'), SymbolSeries::Outcome::kRefused,
         "S\xEDmbolo incompleto: 600 de 668 bytes"},
        {"too long", Symbol(2000, 1336, 700, 'x'), SymbolSeries::Outcome::kRefused,
         "S\xEDmbolo incompleto: 700 de 664 bytes"},
        {"2 KiB burst", Symbol(2000, 668, 2038, 'x'), SymbolSeries::Outcome::kRefused,
         "S\xEDmbolo incompleto: 2038 de 668 bytes"},
        {"another series", Symbol(1000, 668, 332, 'x'), SymbolSeries::Outcome::kRefused,
         "S\xEDmbolo de outra s\xE9rie (total 1000, n\xE3o 2000)"},
        {"read before", Symbol(2000, 0, 668, 'b'), SymbolSeries::Outcome::kDuplicate, "S\xEDmbolo j\xE1 foi lido"},
    };
    for (const Case& c : cases) {
        SymbolSeries s;
        ASSERT_EQ(s.Add(Symbol(2000, 0, 668, 'a')), SymbolSeries::Outcome::kAdded);
        std::string status;
        EXPECT_EQ(s.Add(c.symbol, &status), c.outcome) << c.what;
        EXPECT_EQ(status, c.status) << c.what;
        EXPECT_EQ(s.received(), 1u) << c.what;
        EXPECT_EQ(s.Journal(), std::string(668, 'a')) << c.what << ": the first symbol is kept as it was";
    }
}

TEST(SymbolSeries, FileLayoutOrderAndPartialSeries) {
    const std::string a = Symbol(2000, 0, 668, 'a'), b = Symbol(2000, 668, 668, 'b'),
                      c = Symbol(2000, 1336, 664, 'c');
    struct Case {
        std::vector<std::string> received;
        std::string journal;
    } cases[] = {
        {{a, b, c}, std::string(668, 'a') + std::string(668, 'b') + std::string(664, 'c')},
        {{c, a, b}, std::string(668, 'a') + std::string(668, 'b') + std::string(664, 'c')},
        {{c, a}, std::string(668, 'a') + std::string(664, 'c')},
        {{b}, std::string(668, 'b')},
    };
    for (const Case& k : cases) {
        SymbolSeries s;
        for (const std::string& sym : k.received) ASSERT_EQ(s.Add(sym), SymbolSeries::Outcome::kAdded);
        EXPECT_EQ(s.Complete(), k.received.size() == 3);
        const std::string file = s.AuditFile();
        EXPECT_EQ(file.size(), 524288u + 1536u + k.journal.size() + 256u);
        EXPECT_EQ(file.substr(0, fm::kAuditHeadSize), fm::AuditFileHead());
        EXPECT_EQ(file.substr(fm::kAuditHeadSize, k.journal.size()), k.journal);
        EXPECT_EQ(file.substr(file.size() - 256), std::string(256, '\xFF'));
    }
    // 678, 678 and 674 bytes received.
    SymbolSeries s;
    for (const std::string& sym : {a, b, c}) s.Add(sym);
    EXPECT_EQ(a.size() + b.size() + c.size(), 678u + 678u + 674u);
    EXPECT_EQ(s.AuditFile().size(), 524288u + 1536u + 668u + 668u + 664u + 256u);
}

TEST(SymbolSeries, TheSimulatorsSymbolsRebuildItsJournalInAnyOrder) {
    sim::PrinterState state;
    sim::PrintSampleDocuments(state, 30);
    const std::string journal = sim::ScannerJournal(state);
    const std::vector<std::string> symbols = sim::ScannerSymbols(journal);
    ASSERT_GE(symbols.size(), 3u);
    std::vector<size_t> order;
    std::string error;
    ASSERT_TRUE(sim::ScannerOrder("reverse", symbols.size(), order, error));
    SymbolSeries s;
    for (size_t n : order) s.Add(symbols[n]);
    ASSERT_TRUE(s.Complete());
    EXPECT_EQ(s.Journal(), journal);
    const std::string rebuilt = s.Journal();
    fm::JournalReader reader(rebuilt);
    fm::JournalDocument d;
    int documents = 0;
    while (reader.Next(d)) ++documents;
    EXPECT_EQ(documents, 31);
    EXPECT_EQ(reader.skipped(), 0u);

    EXPECT_FALSE(sim::ScannerOrder("0,1,99", symbols.size(), order, error));
    EXPECT_FALSE(sim::ScannerOrder("0,,1", symbols.size(), order, error));
    ASSERT_TRUE(sim::ScannerOrder("2,0,0", symbols.size(), order, error));
    EXPECT_EQ(order, (std::vector<size_t>{2, 0, 0}));
}

TEST(SymbolSeries, SavedAtomically) {
    test::TempDir dir;
    SymbolSeries s;
    s.Add(Symbol(10, 0, 10, 'z'));
    std::string error;
    ASSERT_TRUE(s.Save(dir.File("a.mfd"), &error)) << error;
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(dir.File("a.mfd"), bytes));
    EXPECT_EQ(bytes, s.AuditFile());
    EXPECT_FALSE(s.Save(dir.File("missing/a.mfd"), &error));
    EXPECT_FALSE(error.empty());
}

TEST(SplitBurst, CutsAtTheEndsOfTheSymbolsItHolds) {
    const std::string a = Symbol(2000, 0, 668, 'a'), b = Symbol(2000, 668, 668, 'b'), c = Symbol(2000, 1336, 664, 'c');
    struct Case {
        const char* what;
        std::string burst;
        std::vector<std::string> pieces;
    } cases[] = {
        {"one symbol", a, {a}},
        {"three symbols", a + b + c, {a, b, c}},
        {"any order", c + a, {c, a}},
        {"a short remainder is a piece of its own", a + b.substr(0, 300), {a, b.substr(0, 300)}},
        {"a few bytes after a symbol", c + "xyz", {c, "xyz"}},
        {"no sensible header: all in one", std::string(2048, '\x55'), {std::string(2048, '\x55')}},
        {"a header past the end of its series", Symbol(100, 668, 20, 'z') + a, {Symbol(100, 668, 20, 'z') + a}},
        {"a small series", Symbol(5, 0, 5, 'q') + Symbol(5, 0, 5, 'q'), {Symbol(5, 0, 5, 'q'), Symbol(5, 0, 5, 'q')}},
        {"nothing", "", {}},
    };
    for (const Case& t : cases) {
        std::vector<std::string> got;
        for (std::string_view p : SplitBurst(t.burst)) got.emplace_back(p);
        EXPECT_EQ(got, t.pieces) << t.what;
    }
}

TEST(SymbolDump, EightBytesALine) {
    EXPECT_EQ(SymbolDump(""), "");
    EXPECT_EQ(SymbolDump(std::string("\x00\x01\xFF", 3)), "000000  00 01 FF \n");
    std::string nine = "ABCDEFGHI";
    EXPECT_EQ(SymbolDump(nine), "000000  41 42 43 44 45 46 47 48 \n000008  49 \n");
    EXPECT_EQ(SymbolDump(std::string(1024, 'a')).substr(127 * 33), "0003F8  61 61 61 61 61 61 61 61 \n");
}

TEST(ScannerSettings, DefaultsAndIndices) {
    MemoryScannerProfile empty;
    LineSettings l = LineSettings::From(ScannerSettings::ForCapture(empty));
    EXPECT_EQ(l.port_name, "COM1:");
    EXPECT_EQ(l.baud, 115200);
    EXPECT_EQ(l.data_bits, 8);
    EXPECT_EQ(l.parity, Parity::kNone);
    EXPECT_EQ(l.stop_bits, StopBits::kOne);
    EXPECT_FALSE(l.hardware_handshake);
    ScannerSettings d = ScannerSettings::ForDialog(empty);
    EXPECT_EQ(d.byte_length_index, 3);
    EXPECT_EQ(d.handshake_index, 0);
    EXPECT_EQ(LineSettings::From(d).data_bits, 8);

    struct Case {
        int baud, bytes, parity, stop, handshake;
        int want_baud, want_bits;
        Parity want_parity;
        StopBits want_stop;
        bool want_handshake;
    } cases[] = {
        {0, 0, 1, 1, 1, 1200, 5, Parity::kEven, StopBits::kOneAndHalf, true},
        {3, 2, 2, 2, 0, 9600, 7, Parity::kOdd, StopBits::kTwo, false},
        {6, 1, 0, 0, 2, 57600, 6, Parity::kNone, StopBits::kOne, false},
        {8, 3, 3, 3, 1, 1200, 8, Parity::kNone, StopBits::kOne, true},
        {-1, -1, -1, -1, -1, 1200, 8, Parity::kNone, StopBits::kOne, false},
    };
    for (const Case& c : cases) {
        ScannerSettings s;
        s.baud_index = c.baud, s.byte_length_index = c.bytes, s.parity_index = c.parity;
        s.stop_bits_index = c.stop, s.handshake_index = c.handshake;
        LineSettings x = LineSettings::From(s);
        EXPECT_EQ(x.baud, c.want_baud) << c.baud;
        EXPECT_EQ(x.data_bits, c.want_bits) << c.bytes;
        EXPECT_EQ(x.parity, c.want_parity) << c.parity;
        EXPECT_EQ(x.stop_bits, c.want_stop) << c.stop;
        EXPECT_EQ(x.hardware_handshake, c.want_handshake) << c.handshake;
    }
}

TEST(ScannerSettings, TheDialogShowsWhatTheCaptureUses) {
    // Stored values, and the entries the dialog selects for them; OK unchanged then stores
    // indices that the capture reads as it read the old ones.
    struct Case {
        int baud, bytes, parity, stop, handshake;
        int d_baud, d_bytes, d_parity, d_stop, d_handshake;
    } cases[] = {
        {3, 2, 2, 1, 1, 3, 2, 2, 1, 1},
        {8, 8, 3, -1, 2, 0, 3, 0, 0, 0},
        {-1, -1, 7, 9, -1, 0, 3, 0, 0, 0},
    };
    for (const Case& c : cases) {
        MemoryScannerProfile p;
        p.WriteInt(kKeyBaudRate, c.baud);
        p.WriteInt(kKeyByteLength, c.bytes);
        p.WriteInt(kKeyParity, c.parity);
        p.WriteInt(kKeyStopBits, c.stop);
        p.WriteInt(kKeyHandshake, c.handshake);
        const ScannerSettings d = ScannerSettings::ForDialog(p);
        EXPECT_EQ(std::vector<int>({d.baud_index, d.byte_length_index, d.parity_index, d.stop_bits_index,
                                    d.handshake_index}),
                  std::vector<int>({c.d_baud, c.d_bytes, c.d_parity, c.d_stop, c.d_handshake}))
            << c.baud << " " << c.bytes;
        const LineSettings used = LineSettings::From(ScannerSettings::ForCapture(p));
        d.Write(p);
        const LineSettings after = LineSettings::From(ScannerSettings::ForCapture(p));
        EXPECT_EQ(after.baud, used.baud);
        EXPECT_EQ(after.data_bits, used.data_bits);
        EXPECT_EQ(after.parity, used.parity);
        EXPECT_EQ(after.stop_bits, used.stop_bits);
        EXPECT_EQ(after.hardware_handshake, used.hardware_handshake);
    }
}

TEST(ScannerSettings, PortIndexRule) {
    struct Case {
        std::string stored;
        int index;
        int chosen;
        std::string typed, saved;
    } cases[] = {
        {"COM3:", 2, 3, "COM4:", "COM4:"},
        {"COM1:", 0, 1, "", "COM2:"},
        {"COM2", 1, 0, "COM1:", "COM1"},  // the rule keeps the rest of the name
        {"COM9:", -1, 2, "COM3:", "COM3:"},
        {"/dev/pts/7", -1, 0, "COM1:", "COM1:"},  // a path is never patched
        {"/dev/pts/7", -1, -1, "/dev/ttyUSB1", "/dev/ttyUSB1"},
        {"", -1, -1, "", ""},
        {"COM4:", 3, -1, "", "COM4:"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PortIndexOf(c.stored), c.index) << c.stored;
        EXPECT_EQ(PortNameFor(c.stored, c.chosen, c.typed), c.saved) << c.stored;
    }
    MemoryScannerProfile p;
    ScannerSettings s;
    s.port_name = "COM4:";
    s.baud_index = 3;
    s.Write(p);
    ScannerSettings back = ScannerSettings::ForCapture(p);
    EXPECT_EQ(back.port_name, "COM4:");
    EXPECT_EQ(back.baud_index, 3);
}

}  // namespace
}  // namespace ordavo::pdf417
