#include "shell/core/dump_format.h"

#include <gtest/gtest.h>

#include <string>

namespace ordavo {
namespace {

std::string Pad48(const std::string& hex) { return hex + std::string(48 - hex.size(), ' '); }

TEST(FormatDump, LaysOutOffsetsHexAndCharacters) {
    // The record of one exchange as the engine writes it: a space before every byte.
    std::string record = "CMD:  1B 20 41\r\nRET:  06 00\r\n";
    std::string want = "CMD:\r\n0000  " + Pad48("1B 20 41") + "\x1B\x20\x41\r\n" +  //
                       "RET:\r\n0000  " + Pad48("06 00") + "\x06.\r\n" + "\r\n";
    EXPECT_EQ(FormatDump(record), want);
    // The characters start at column 54 of their line.
    std::string out = FormatDump(record);
    size_t line = out.find("0000  ");
    EXPECT_EQ(out.substr(line + 54, 3), "\x1B\x20\x41");

    // Sixteen bytes fill the 48 hex columns exactly; seventeen spill into a line at 0010.
    std::string sixteen, seventeen_chars;
    for (int i = 0; i < 16; ++i) sixteen += " 41";
    std::string out16 = FormatDump("CMD: " + sixteen + "\r\nRET: \r\n");
    EXPECT_EQ(out16, "CMD:\r\n0000  " + sixteen.substr(1) + " " + std::string(16, 'A') + "\r\nRET:\r\n\r\n");
    std::string out17 = FormatDump("CMD: " + sixteen + " 42\r\nRET:  06\r\n");
    EXPECT_NE(out17.find("0000  " + sixteen.substr(1) + " " + std::string(16, 'A') + "\r\n0010  " + Pad48("42") +
                         "B\r\n"),
              std::string::npos);

    // A CR byte goes into the character column as it is; a zero byte as a full stop.
    std::string cr = FormatDump("CMD:  0D 00\r\nRET:  06\r\n");
    EXPECT_NE(cr.find("0000  " + Pad48("0D 00") + "\r.\r\n"), std::string::npos);
    // For the screen, control bytes become middle dots so the columns stay.
    std::string shown = FormatDump("CMD:  0D 0A 00\r\nRET:  06\r\n", true);
    EXPECT_NE(shown.find("0000  " + Pad48("0D 0A 00") + "\xB7\xB7.\r\n"), std::string::npos);
    EXPECT_NE(shown.find("0000  " + Pad48("06") + "\xB7\r\n"), std::string::npos);
}

TEST(FormatDump, ShownCharactersAreThePrintersCodePage) {
    // 0x82 is an e with acute accent in code page 850, 0xA4 an n with tilde; NUL and the other
    // control bytes look different.
    const std::string shown = FormatDump("CMD:  82 A4 00 01 41\r\nRET:  06\r\n", true);
    const std::string line = shown.substr(shown.find("0000  "), shown.find("\r\n", 6) - shown.find("0000  "));
    EXPECT_EQ(line.substr(54), "\xE9\xF1.\xB7" "A");
    // A saved dump keeps the bytes as they were.
    const std::string saved = FormatDump("CMD:  82 A4 00 01 41\r\nRET:  06\r\n");
    EXPECT_NE(saved.find("\x82\xA4.\x01" "A"), std::string::npos);
}

TEST(FormatDump, FindsEveryPairAndSurvivesDamagedRecords) {
    EXPECT_EQ(FormatDump(""), "");
    EXPECT_EQ(FormatDump("nothing to see\r\n"), "");

    // Two pairs, as a sequence joins them, with the blank line a cancelled command leaves.
    std::string two = FormatDump("CMD:  01\r\nRET:  02\r\n\r\nCMD:  03\r\nRET:  04\r\n");
    EXPECT_EQ(two, "CMD:\r\n0000  " + Pad48("01") + "\x01\r\nRET:\r\n0000  " + Pad48("02") + "\x02\r\n\r\n" +
                       "CMD:\r\n0000  " + Pad48("03") + "\x03\r\nRET:\r\n0000  " + Pad48("04") + "\x04\r\n\r\n");

    // A command that was never sent has no answer line.
    EXPECT_EQ(FormatDump("CMD:  01 02"), "CMD:\r\n0000  " + Pad48("01 02") + "\x01\x02\r\nRET:\r\n\r\n");
    // An answer line of a later pair is not taken for this one's.
    EXPECT_EQ(FormatDump("CMD:  01\r\nCMD:  02\r\nRET:  03\r\n"),
              "CMD:\r\n0000  " + Pad48("01") + "\x01\r\nRET:\r\n\r\n" + "CMD:\r\n0000  " + Pad48("02") +
                  "\x02\r\nRET:\r\n0000  " + Pad48("03") + "\x03\r\n\r\n");
    // Pairs that are not hexadecimal show as zero bytes; short lines do not read past the end.
    EXPECT_EQ(FormatDump("CMD:  ZZ 4\r\nRET:\r\n"), "CMD:\r\n0000  " + Pad48("ZZ 4") + "..\r\nRET:\r\n\r\n");

    // A long answer keeps counting offsets in lower-case hexadecimal.
    std::string many;
    for (int i = 0; i < 300; ++i) many += " 55";
    std::string big = FormatDump("CMD:  01\r\nRET: " + many + "\r\n");
    EXPECT_NE(big.find("\r\n00a0  "), std::string::npos);
    EXPECT_NE(big.find("\r\n0120  " + Pad48("55 55 55 55 55 55 55 55 55 55 55 55") + std::string(12, 'U') + "\r\n\r\n"),
              std::string::npos);
}

TEST(ResultFile, WritesTheChosenTextsWithCrLf) {
    std::string message = "\r\nComando:\tLeer\r\nOK\n";
    std::string record = "CMD:  01\r\nRET:  06\r\n";
    std::string dump = FormatDump(record);
    EXPECT_EQ(ResultFileText(SaveContent::Message, message, record), "\r\nComando:\tLeer\r\nOK\r\n");
    EXPECT_EQ(ResultFileText(SaveContent::Dump, message, record), dump);
    EXPECT_EQ(ResultFileText(SaveContent::MessageAndDump, message, record), "\r\nComando:\tLeer\r\nOK\r\n" + dump);
    // A lone CR stays; every bare LF gets its CR, also the first character.
    EXPECT_EQ(WithCrLf("\na\rb\r\nc\n"), "\r\na\rb\r\nc\r\n");
}

TEST(ResultFile, DisplayTextKeepsTabsAndLines) {
    EXPECT_EQ(TextForDisplay("a\r\nb\tc\rd\ne\x01\x7F\xE9"), "a\nb\tc\nd\ne\xB7\xB7\xE9");
    EXPECT_EQ(TextForDisplay(""), "");
}

}  // namespace
}  // namespace ordavo
