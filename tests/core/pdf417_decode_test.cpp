// Decoding pictures of PDF-417 symbols into the audit file: the simulator's pictures of its
// journal, the BMP forms, and pictures that are not what they should be.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/util.h"
#include "fiscalmemory/core/audit_file.h"
#include "fiscalmemory/core/journal.h"
#include "fiscalmemory/library/pdf417_decoder.h"
#include "sim/pdf417_bitmaps.h"
#include "sim/scanner_series.h"
#include "tests/support/degraded_picture.h"
#include "tests/support/paths.h"

namespace ordavo::mfd {
namespace {

std::string JournalOf(int documents) {
    sim::PrinterState state;
    sim::PrintSampleDocuments(state, documents);
    return sim::ScannerJournal(state);
}

void Put16(std::string& s, uint32_t v) { s.push_back(char(v)), s.push_back(char(v >> 8)); }
void Put32(std::string& s, uint32_t v) { Put16(s, v & 0xFFFF), Put16(s, v >> 16); }

// A BMP of a grey picture in `bpp` bits a pixel, bottom-up unless `top_down`.
std::string Bmp(const GreyPicture& g, int bpp, bool top_down) {
    const size_t stride = (bpp * g.width + 31) / 32 * 4;
    const uint32_t colours = bpp <= 8 ? 1u << bpp : 0;
    const uint32_t offset = 54 + colours * 4;
    std::string s = "BM";
    Put32(s, offset + stride * g.height), Put32(s, 0), Put32(s, offset);
    Put32(s, 40), Put32(s, g.width), Put32(s, top_down ? -g.height : g.height);
    Put16(s, 1), Put16(s, bpp), Put32(s, 0), Put32(s, stride * g.height), Put32(s, 2835), Put32(s, 2835);
    Put32(s, colours), Put32(s, 0);
    for (uint32_t i = 0; i < colours; ++i) {
        const char v = char(bpp == 1 ? i * 255 : i);
        s += std::string{v, v, v, 0};
    }
    for (int r = 0; r < g.height; ++r) {
        const int y = top_down ? r : g.height - 1 - r;
        std::string row(stride, '\0');
        for (int x = 0; x < g.width; ++x) {
            const uint8_t p = g.pixels[y * g.width + x];
            if (bpp == 1)
                row[x / 8] |= char((p > 127 ? 1 : 0) << (7 - x % 8));
            else if (bpp == 8)
                row[x] = char(p);
            else
                for (int c = 0; c < bpp / 8; ++c) row[x * (bpp / 8) + c] = char(p);
        }
        s += row;
    }
    return s;
}

TEST(Pdf417Decoding, PicturesOfTheJournalGiveTheCapturesFile) {
    const std::string journal = JournalOf(25);
    const std::vector<std::string> symbols = sim::ScannerSymbols(journal);
    ASSERT_GE(symbols.size(), 4u);
    for (const std::string ext : {"bmp", "png"}) {
        test::TempDir dir;
        std::vector<std::string> files;
        std::string error;
        ASSERT_TRUE(sim::WritePdf417Pictures(dir.path(), symbols, ext, files, error)) << error;
        // Any order, one picture twice: the symbols land in position order.
        std::reverse(files.begin(), files.end());
        files.push_back(files.front());
        Pdf417ToMfd d;
        ASSERT_EQ(d.Open(dir.File("out.mfd").c_str()), 0);
        for (const std::string& f : files) EXPECT_EQ(d.Add(f.c_str()), 0) << f << ": " << d.status();
        EXPECT_EQ(d.status(), files.back() + ": S\xEDmbolo j\xE1 foi lido");
        EXPECT_TRUE(d.series().Complete());
        ASSERT_EQ(d.Close(), 0) << d.status();
        std::string bytes;
        ASSERT_TRUE(ReadWholeFile(dir.File("out.mfd"), bytes));
        EXPECT_EQ(bytes, fm::BuildAuditFile(journal)) << ext;
        ASSERT_TRUE(fm::CheckAuditHead(bytes));
        fm::JournalReader reader(std::string_view(bytes).substr(fm::kAuditHeadSize));
        fm::JournalDocument doc;
        int n = 0;
        while (reader.Next(doc)) ++n;
        EXPECT_EQ(n, 26) << "the identity and the 25 documents";
    }
}

TEST(Pdf417Decoding, RawBytesInEveryBmpForm) {
    // Every byte value, CR, LF and NUL included: the decoder's bytes, not a text.
    std::string data;
    for (int i = 0; i < 668; ++i) data.push_back(char((i * 7) & 0xFF));
    data.replace(0, 3, std::string("\r\n\0", 3));
    const std::vector<std::string> symbols = sim::ScannerSymbols(data);
    ASSERT_EQ(symbols.size(), 1u);
    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(sim::WritePdf417Picture(dir.File("s.png"), symbols[0], error)) << error;
    GreyPicture grey;
    ASSERT_TRUE(LoadPicture(dir.File("s.png"), grey, &error)) << error;
    std::string bytes;
    ASSERT_TRUE(DecodePdf417(grey, bytes));
    EXPECT_EQ(bytes, symbols[0]);
    struct Case {
        int bpp;
        bool top_down;
    } cases[] = {{1, false}, {8, false}, {24, false}, {32, true}, {24, true}};
    for (const Case& c : cases) {
        const std::string bmp = Bmp(grey, c.bpp, c.top_down);
        GreyPicture back;
        ASSERT_TRUE(ParseBmp(reinterpret_cast<const uint8_t*>(bmp.data()), bmp.size(), back, &error))
            << c.bpp << ": " << error;
        EXPECT_EQ(back.width, grey.width);
        EXPECT_EQ(back.height, grey.height);
        bytes.clear();
        EXPECT_TRUE(DecodePdf417(back, bytes)) << c.bpp;
        EXPECT_EQ(bytes, symbols[0]) << c.bpp << (c.top_down ? " top-down" : "");
    }
}

TEST(Pdf417Decoding, BadPicturesAndCallsAreRefused) {
    test::TempDir dir;
    const std::vector<std::string> symbols = sim::ScannerSymbols(JournalOf(3));
    std::string error;
    ASSERT_TRUE(sim::WritePdf417Picture(dir.File("good.bmp"), symbols[0], error)) << error;
    std::string good;
    ASSERT_TRUE(ReadWholeFile(dir.File("good.bmp"), good));
    GreyPicture white;
    white.width = 200, white.height = 100;
    white.pixels.assign(200 * 100, 255);
    std::string huge = good;
    huge[18] = huge[19] = huge[20] = '\x7F';  // a width of some two billion pixels
    // A picture whose symbol is not one of a series: "ABC" has no header.
    ASSERT_TRUE(sim::WritePdf417Picture(dir.File("short.png"), "ABC", error)) << error;
    struct Case {
        const char* name;
        std::string bytes;
        int code;
    } cases[] = {
        {"text.bmp", "hello", 17},
        {"cut.bmp", good.substr(0, good.size() / 2), 17},
        {"head.bmp", good.substr(0, 30), 17},
        {"huge.bmp", huge, 17},
        {"white.bmp", Bmp(white, 8, false), 6},
        {"fake.png", "\x89PNG\r\n\x1A\n garbage", 17},
        {"short.png", "", 6},
    };
    Pdf417ToMfd d;
    EXPECT_EQ(d.Add(dir.File("good.bmp").c_str()), 7) << "not open";
    EXPECT_EQ(d.Close(), 7);
    EXPECT_EQ(d.Open(nullptr), 9);
    ASSERT_EQ(d.Open(dir.File("x.mfd").c_str()), 0);
    for (const Case& c : cases) {
        if (!c.bytes.empty()) {
            ASSERT_TRUE(WriteFileAtomically(dir.File(c.name), c.bytes));
        }
        EXPECT_EQ(d.Add(dir.File(c.name).c_str()), c.code) << c.name << ": " << d.status();
        EXPECT_FALSE(d.status().empty()) << c.name;
    }
    EXPECT_EQ(d.Add(dir.File("missing.bmp").c_str()), 17);
    EXPECT_EQ(d.Add(""), 9);
    EXPECT_EQ(d.series().received(), 0u);
    EXPECT_EQ(d.Close(), 6) << "no symbol: nothing written";
    EXPECT_FALSE(ReadWholeFile(dir.File("x.mfd"), error));

    ASSERT_EQ(d.Open(dir.File("missing/x.mfd").c_str()), 0);
    EXPECT_EQ(d.Add(dir.File("good.bmp").c_str()), 0);
    EXPECT_EQ(d.Close(), symbols.size() > 1 ? Pdf417ToMfd::kIncompleteSeries : 19);
    if (symbols.size() > 1) {
        EXPECT_EQ(d.Close(), 19);
    }
}

TEST(Pdf417Decoding, ARefusedPictureIsNamedWithTheReason) {
    test::TempDir dir;
    std::string error;
    const std::vector<std::string> symbols = sim::ScannerSymbols(JournalOf(3));
    ASSERT_TRUE(sim::WritePdf417Picture(dir.File("good.bmp"), symbols[0], error)) << error;
    std::string good;
    ASSERT_TRUE(ReadWholeFile(dir.File("good.bmp"), good));
    std::string huge = good;
    huge[18] = '\x60', huge[19] = '\xEA', huge[20] = huge[21] = 0;  // 60000 wide
    huge[22] = '\x60', huge[23] = '\xEA', huge[24] = huge[25] = 0;  // 60000 high
    ASSERT_TRUE(WriteFileAtomically(dir.File("huge.bmp"), huge));
    // 600 MiB that begin "BM", sparse: refused by its size before it is read.
    {
        FILE* f = std::fopen(dir.File("big.bmp").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("BM", f);
        std::fclose(f);
        ASSERT_EQ(truncate(dir.File("big.bmp").c_str(), 600ll << 20), 0);
    }
    ASSERT_EQ(mkfifo(dir.File("fifo.bmp").c_str(), 0600), 0);
    ASSERT_TRUE(WriteFileAtomically(dir.File("text.jpg"), "\xFF\xD8\xFF\xE0 not a JPEG"));
    ASSERT_TRUE(WriteFileAtomically(dir.File("notes.txt"), "hello"));
    struct Case {
        const char* name;
        int code;
        std::string reason;
    } cases[] = {
        {"huge.bmp", 17, "BMP of 60000 x 60000 pixels"},
        {"big.bmp", 17, "mayor que el l\xEDmite de 128 MiB"},
        {"fifo.bmp", 17, "no es un archivo regular"},
        {"text.jpg", 17, "JPEG da\xF1" "ado"},
        {"notes.txt", 17, "no es una imagen BMP, PNG ni JPEG"},
        {"missing.png", 17, "No such file or directory"},
    };
    Pdf417ToMfd d;
    ASSERT_EQ(d.Open(dir.File("x.mfd").c_str()), 0);
    for (const Case& c : cases) {
        EXPECT_EQ(d.Add(dir.File(c.name).c_str()), c.code) << c.name;
        EXPECT_EQ(d.status().rfind(dir.File(c.name) + ": ", 0), 0u) << d.status();
        EXPECT_NE(d.status().find(c.reason), std::string::npos) << d.status();
    }
}

TEST(Pdf417Decoding, APartialSetIsNeverWrittenUnasked) {
    test::TempDir dir;
    const std::vector<std::string> symbols = sim::ScannerSymbols(sim::ScannerJournal(sim::PrinterWithSymbols(3)));
    ASSERT_EQ(symbols.size(), 3u);
    std::vector<std::string> files;
    std::string error;
    ASSERT_TRUE(sim::WritePdf417Pictures(dir.path(), symbols, "png", files, error)) << error;
    const std::string out = dir.File("x.mfd");
    Pdf417ToMfd d;
    // Symbols 1 and 3 of 3: nothing written, and which one is missing.
    ASSERT_EQ(d.Open(out.c_str()), 0);
    ASSERT_EQ(d.Add(files[2].c_str()), 0) << d.status();
    ASSERT_EQ(d.Add(files[0].c_str()), 0) << d.status();
    EXPECT_EQ(d.Close(), Pdf417ToMfd::kIncompleteSeries);
    EXPECT_EQ(d.status(), "Faltan 1 de 3 s\xEDmbolos: 2");
    EXPECT_FALSE(ReadWholeFile(out, error));
    // The missing picture after all: the whole series.
    ASSERT_EQ(d.Add(files[1].c_str()), 0) << d.status();
    EXPECT_EQ(d.Close(), 0);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(out, bytes));
    EXPECT_EQ(bytes, fm::BuildAuditFile(sim::ScannerJournal(sim::PrinterWithSymbols(3))));
    // Agreed to: a second close writes the part there is.
    ASSERT_EQ(d.Open(out.c_str()), 0);
    ASSERT_EQ(d.Add(files[1].c_str()), 0);
    EXPECT_EQ(d.Close(), Pdf417ToMfd::kIncompleteSeries);
    EXPECT_EQ(d.status(), "Faltan 2 de 3 s\xEDmbolos: 1, 3");
    EXPECT_EQ(d.Close(), 0);
    ASSERT_TRUE(ReadWholeFile(out, bytes));
    EXPECT_EQ(bytes, fm::BuildAuditFile(symbols[1].substr(8, symbols[1].size() - 10)));
    EXPECT_EQ(d.Close(), 7) << "closed";
}

TEST(Pdf417Decoding, PicturesAsAPhoneOrAScannerGivesThem) {
    test::TempDir dir;
    const std::vector<std::string> symbols = sim::ScannerSymbols(JournalOf(3));
    std::string error;
    ASSERT_TRUE(sim::WritePdf417Picture(dir.File("clean.png"), symbols[0], error)) << error;
    GreyPicture clean;
    ASSERT_TRUE(LoadPicture(dir.File("clean.png"), clean, &error)) << error;
    struct Case {
        const char* name;
        test::Degradation how;
        const char* format;
    } cases[] = {
        {"scaled up", {2200, 900, 0, 0, 0, 1}, "bmp"},
        {"scaled down", {700, 300, 0, 0, 0, 1}, "bmp"},
        {"turned 1", {2200, 900, 1, 0, 0, 1}, "bmp"},
        {"turned -3", {2200, 900, -3, 0, 0, 1}, "bmp"},
        {"turned 5", {2200, 900, 5, 0, 0, 1}, "bmp"},
        {"turned -5", {2200, 900, -5, 0, 0, 1}, "bmp"},
        {"blurred", {2200, 900, 0, 1.0, 0, 1}, "bmp"},
        {"noisy", {2200, 900, 0, 0, 40, 7}, "bmp"},
        {"all at once", {2200, 900, 4, 1.0, 25, 3}, "bmp"},
        {"a JPEG turned 3", {2200, 900, 3, 0, 0, 1}, "jpg"},
        {"a blurred, noisy JPEG", {2200, 900, -2, 1.0, 20, 5}, "jpg"},
    };
    for (const Case& c : cases) {
        const GreyPicture picture = test::Degrade(clean, c.how);
        const std::string path = dir.File(std::string("p.") + c.format);
        ASSERT_TRUE(c.format == std::string("jpg") ? test::WriteGreyJpeg(path, picture, 85)
                                                   : test::WriteGreyBmp(path, picture));
        GreyPicture back;
        ASSERT_TRUE(LoadPicture(path, back, &error)) << c.name << ": " << error;
        std::string bytes;
        EXPECT_TRUE(DecodePdf417(back, bytes)) << c.name;
        EXPECT_EQ(bytes, symbols[0]) << c.name;
    }
}

}  // namespace
}  // namespace ordavo::mfd
