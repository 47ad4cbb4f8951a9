// The editors' answers, byte for byte: padding, the money box while it is typed into, the
// percentage parts, the cheque positions, the header composition, the option title, the date
// and time texts, and the terminal's readings of typed amounts, dates and times.
#include <gtest/gtest.h>

#include <string>

#include "params/core/terminal_editors.h"
#include "params/core/value_editors.h"

namespace ordavo {
namespace {

// A key typed into the money box at the caret, and the box's reaction.
FinanceBox Type(const FinanceBox& box, char c, int decimals) {
    std::string text = box.text;
    text.insert(static_cast<size_t>(box.caret), 1, c);
    return FinanceReformat(text, box.caret + 1, decimals);
}

FinanceBox Backspace(const FinanceBox& box, int decimals) {
    if (box.caret == 0) return box;
    std::string text = box.text;
    text.erase(static_cast<size_t>(box.caret - 1), 1);
    return FinanceReformat(text, box.caret - 1, decimals);
}

TEST(ParamsAnswers, TextAndNumberPadding) {
    EXPECT_EQ(StringAnswer("ABC", 16, true), "ABC" + std::string(13, ' '));
    EXPECT_EQ(StringAnswer("", 16, true), "");
    EXPECT_EQ(StringAnswer("ABC", 16, false), "ABC");
    EXPECT_EQ(StringAnswer("ABCDEFGH", 5, true), "ABCDE");  // the box holds no more
    EXPECT_EQ(StringAnswer("A\xF1o", 5, true), "A\xF1o  ");
    EXPECT_EQ(StringAnswer("anything", 0, true), "anything");  // no size: no limit, no padding
    EXPECT_EQ(StringAnswer("1bff", 4, true, true), "1BFF");
    EXPECT_EQ(StringAnswer("1b", 4, true, true), "1B  ");
    EXPECT_TRUE(IsHexDigit('f'));
    EXPECT_FALSE(IsHexDigit('g'));

    EXPECT_EQ(IntegerAnswer("7", 4), "0007");
    EXPECT_EQ(IntegerAnswer("", 4), "");
    EXPECT_EQ(IntegerAnswer("1234", 4), "1234");
    EXPECT_EQ(IntegerAnswer("12", 0), "12");

    EXPECT_EQ(BigStringAnswer("AB\nC", 100), "AB\r\nC");
    EXPECT_EQ(BigStringAnswer("AB\r\nC\rD", 100), "AB\r\nC\r\nD");
    EXPECT_EQ(BigStringAnswer("AB\nCD", 3), "AB");  // half a line break is none
    EXPECT_EQ(BigStringAnswer("AB\nCD", 4), "AB\r\n");
}

TEST(ParamsAnswers, MoneyBoxWhileTyping) {
    // Starting from an emptied box, the digits 1 to 5 with I = 12, D = 2.
    FinanceBox box{"", 0};
    const char* shown[] = {"1", "12", "1,23", "12,34", "123,45"};
    for (int i = 0; i < 5; ++i) {
        box = Type(box, static_cast<char>('1' + i), 2);
        EXPECT_EQ(box.text, shown[i]);
        EXPECT_EQ(box.caret, static_cast<int>(box.text.size()))
            << "caret stays at the end after " << shown[i];
    }
    EXPECT_EQ(FinanceAnswer(box.text, 12, 2), "00000000012345");
    EXPECT_EQ(FinanceAnswer(box.text, 12, 2).size(), 14u);

    // Back again: the comma goes when two digits are left, the caret keeps to the digits.
    box = Backspace(box, 2);
    EXPECT_EQ(box.text, "12,34");
    EXPECT_EQ(box.caret, 5);
    box = Backspace(box, 2);
    EXPECT_EQ(box.text, "1,23");
    box = Backspace(box, 2);
    EXPECT_EQ(box.text, "12");
    EXPECT_EQ(box.caret, 2);

    // A digit typed in front: the comma is newly inserted, the caret at 1 stays after the digit.
    box = Type(FinanceBox{"12", 0}, '9', 2);
    EXPECT_EQ(box.text, "9,12");
    EXPECT_EQ(box.caret, 1);
    // The comma itself cannot be deleted: it comes back, and the caret stays in front of it.
    box = Backspace(FinanceBox{"1,23", 2}, 2);
    EXPECT_EQ(box.text, "1,23");
    EXPECT_EQ(box.caret, 1);
    // Comma removed and one inserted: the caret stays.
    box = Type(FinanceBox{"12,34", 0}, '5', 2);
    EXPECT_EQ(box.text, "512,34");
    EXPECT_EQ(box.caret, 1);
    // Comma removed, none inserted, caret at 0 or 1: it does not move.
    EXPECT_EQ(FinanceReformat(",12", 0, 2).caret, 0);
    EXPECT_EQ(FinanceReformat("1,2", 1, 2).caret, 1);
    EXPECT_EQ(FinanceReformat("1,2", 3, 2).caret, 2);
    // Three decimals.
    EXPECT_EQ(FinanceReformat("12345", 5, 3).text, "12,345");
    EXPECT_EQ(FinanceAnswer("12,345", 5, 3), "00012345");
}

TEST(ParamsAnswers, MoneyBoxStart) {
    EXPECT_EQ(FinanceInitialText("", 12, 2), "000");
    EXPECT_EQ(FinanceReformat(FinanceInitialText("", 12, 2), 0, 2).text, "0,00");
    // Longer than I + D: starts at D + 1 zeros, then the comma.
    EXPECT_EQ(FinanceInitialText("123456789", 6, 2), "000");
    EXPECT_EQ(FinanceReformat(FinanceInitialText("123456789", 6, 2), 0, 2).text, "0,00");
    EXPECT_EQ(FinanceInitialText("1250", 6, 2), "1250");
    EXPECT_EQ(FinanceInitialText("12,50", 6, 2), "1250");
    EXPECT_EQ(FinanceInitialText("", 5, 3), "0000");
    EXPECT_EQ(FinanceAnswer("0,00", 12, 2), "00000000000000");
    EXPECT_EQ(FinanceBoxLimit(12, 2), 15);
    EXPECT_EQ(FinanceBoxLimit(6, 2), 9);
}

TEST(ParamsAnswers, PercentAndCheque) {
    EXPECT_EQ(PercentPart("5"), "05");
    EXPECT_EQ(PercentPart(""), "00");
    EXPECT_EQ(MakePercentAnswer("10", "5").Joined(), "1005");
    EXPECT_EQ(MakePercentAnswer("10", "50").Joined(), "1050");

    std::array<std::string, 13> boxes;
    EXPECT_EQ(ChequeAnswer(boxes), std::string(26, '0'));
    boxes[0] = "5";
    boxes[7] = "12";
    boxes[12] = "9";
    EXPECT_EQ(ChequeAnswer(boxes), "05000000000000120000000009");
    auto preset = ChequePreset("0102030405060708091011121314");
    EXPECT_EQ(preset[0], "");  // 28 characters: no preset
    preset = ChequePreset("01020304050607080910111213");
    EXPECT_EQ(preset[0], "01");
    EXPECT_EQ(preset[12], "13");
    EXPECT_EQ(ChequeAnswer(preset), "01020304050607080910111213");
}

TEST(ParamsAnswers, HeaderComposition) {
    ClicheInput empty;
    EXPECT_EQ(ComposeCliche(empty), "\r\n\r\n\r\n");

    ClicheInput c;
    c.lines[0].text = "ABC";
    c.centered = true;
    std::string out = ComposeCliche(c);
    EXPECT_EQ(out.substr(0, 27), std::string(22, ' ') + "ABC\r\n");
    // The empty lines are centred too: (47 - 0) / 2.
    EXPECT_EQ(out.substr(27), std::string(23, ' ') + "\r\n" + std::string(23, ' ') + "\r\n");

    // Underline and expanded: cost 6, 47 - 12 = 35 characters kept, markers in their order.
    ClicheInput u;
    u.lines[1].text = std::string(40, 'x');
    u.lines[1].underline = true;
    u.lines[1].expanded = true;
    EXPECT_EQ(ComposeCliche(u), "\r\nCLICHE_SUB_INI_XMLCLICHE_EXP_INI_XML" + std::string(35, 'x') +
                                    "CLICHE_SUB_END_XMLCLICHE_EXP_END_XML\r\n\r\n");

    // All four: the order underline, italic, emphasized, expanded; 47 - 20 = 27 characters.
    ClicheInput all;
    all.lines[0] = ClicheLine{std::string(30, 'y'), true, true, true, true};
    EXPECT_EQ(ComposeCliche(all),
              "CLICHE_SUB_INI_XMLCLICHE_IT_INI_XMLCLICHE_ENF_INI_XMLCLICHE_EXP_INI_XML" +
                  std::string(27, 'y') +
                  "CLICHE_SUB_END_XMLCLICHE_IT_END_XMLCLICHE_ENF_END_XMLCLICHE_EXP_END_XML\r\n\r\n\r\n");

    // Centred and expanded: (47 - (2 * 3 + 1)) / 2 = 20 spaces, in front of the markers.
    ClicheInput e;
    e.centered = true;
    e.lines[0] = ClicheLine{"ABC", false, false, false, true};
    EXPECT_EQ(ComposeCliche(e).substr(0, 20 + 18 + 3 + 18 + 2),
              std::string(20, ' ') + "CLICHE_EXP_INI_XMLABCCLICHE_EXP_END_XML\r\n");
    // Too long to centre: no spaces.
    ClicheInput wide;
    wide.centered = true;
    wide.lines[0] = ClicheLine{std::string(30, 'w'), false, false, false, true};
    EXPECT_EQ(ComposeCliche(wide).substr(0, 18), "CLICHE_EXP_INI_XML");
    wide.lines[0] = ClicheLine{std::string(47, 'w'), false, false, false, false};
    EXPECT_EQ(ComposeCliche(wide).substr(0, 49), std::string(47, 'w') + "\r\n");

    // Third text: centred by the characters before its first line feed, capped by the whole.
    ClicheInput t;
    t.centered = true;
    t.lines[0].text = std::string(47, 'a');
    t.lines[1].text = std::string(47, 'b');
    t.lines[2].text = "AB\r\nCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";  // 38 characters, LF at 3
    // (47 - 3) / 2 = 22, capped at (79 - 38) / 2 = 20.
    std::string third = ComposeCliche(t).substr(2 * 49);
    EXPECT_EQ(third, std::string(20, ' ') + t.lines[2].text + "\r\n");
    // Without a line break it is centred as a line.
    t.lines[2].text = "ABC";
    EXPECT_EQ(ComposeCliche(t).substr(2 * 49), std::string(22, ' ') + "ABC\r\n");
    // With a start marker in front the line feed lies further on, at 18 + 3, so the first 21
    // characters of the cut text count: (47 - 21) / 2 = 13, cap (79 - 25) / 2 = 27.
    t.lines[2] = ClicheLine{"AB\r\n" + std::string(21, 'z'), true, false, false, false};
    EXPECT_EQ(ComposeCliche(t).substr(2 * 49, 14), std::string(13, ' ') + "C");
    // Text 3 is cut to the line width like the others.
    ClicheInput long3;
    long3.lines[2].text = std::string(94, 'q');
    EXPECT_EQ(ComposeCliche(long3), "\r\n\r\n" + std::string(47, 'q') + "\r\n");
}

TEST(ParamsAnswers, OptionWindowAndTitle) {
    OptionEditor e;
    e.captions[0] = "A";
    e.captions[1] = "B";
    std::vector<int> visible;
    for (int k = 1; k <= 12; ++k)
        if (OptionButtonVisible(e, k)) visible.push_back(k);
    EXPECT_EQ(visible, (std::vector<int>{1, 2}));
    e.captions[0] = "";
    EXPECT_TRUE(OptionButtonVisible(e, 1));
    e.captions[6] = "G";
    EXPECT_TRUE(OptionButtonVisible(e, 7));
    EXPECT_FALSE(OptionButtonVisible(e, 0));
    EXPECT_FALSE(OptionButtonVisible(e, 13));
    EXPECT_EQ(WithoutMnemonic("I&ncremento y descuento"), "Incremento y descuento");
    EXPECT_EQ(WithoutMnemonic("A && B"), "A & B");

    OptionsList l = ParseOptionsTitle("Normal (0) ou Simplificada (1)");
    EXPECT_EQ(l.names[0], "Normal ");
    EXPECT_EQ(l.codes[0], "0");
    EXPECT_EQ(l.names[1], " Simplificada ");
    EXPECT_EQ(l.codes[1], "1");
    for (int k = 2; k < 12; ++k) EXPECT_EQ(l.names[static_cast<size_t>(k)], "") << k;

    l = ParseOptionsTitle("Sin parentesis");
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(l.names[static_cast<size_t>(k)], "");
        EXPECT_EQ(l.codes[static_cast<size_t>(k)], "");
    }
    // "(" first: that pass and every later one find nothing.
    l = ParseOptionsTitle("(0) ou B(1)");
    EXPECT_EQ(l.names[0], "");
    EXPECT_EQ(l.names[1], "");
    // ")" first: the name is taken, the code is empty, and the rest goes on after the "ou".
    l = ParseOptionsTitle("A()ou B(1)");
    EXPECT_EQ(l.names[0], "A");
    EXPECT_EQ(l.codes[0], "");
    EXPECT_EQ(l.names[1], " B");
    EXPECT_EQ(l.codes[1], "1");
    // Twelve entries at most.
    std::string many;
    for (int k = 0; k < 14; ++k)
        many += (k ? " ou N" : "N") + std::to_string(k) + "(" + std::to_string(k) + ")";
    l = ParseOptionsTitle(many);
    EXPECT_EQ(l.names[11], " N11");
    EXPECT_EQ(l.codes[11], "11");
}

TEST(ParamsAnswers, DatesAndTimes) {
    Date d{5, 3, 2024};
    EXPECT_EQ(DateDDMMYY(d), "050324");
    EXPECT_EQ(DateDDMMYYYY(d), "05032024");
    EXPECT_EQ(TimeHHMMSS(HourAnswer{7, 5, 9, 0}), "070509");
    EXPECT_EQ(DateConfirmationText(d),
              "\xBF"
              "La fecha est\xE1 correcta?\r\n05/03/24");
    EXPECT_EQ(DateTimeModeDescription(d),
              "\xBF"
              "Acceptar fecha y hora de la computadora?\r\n\r\nFecha: 05/03/2024");
    EXPECT_TRUE(IsValidDate(Date{29, 2, 2024}));
    EXPECT_FALSE(IsValidDate(Date{29, 2, 2023}));
    EXPECT_FALSE(IsValidDate(Date{31, 4, 2023}));
    EXPECT_FALSE(IsValidDate(Date{0, 1, 2023}));
}

TEST(ParamsAnswers, TerminalReadings) {
    EXPECT_EQ(TerminalEditors::ParseMoney("12,5", 12, 2), "00000000001250");
    EXPECT_EQ(TerminalEditors::ParseMoney("12.50", 6, 2), "00001250");
    EXPECT_EQ(TerminalEditors::ParseMoney("100", 6, 2), "00010000");
    EXPECT_EQ(TerminalEditors::ParseMoney("0,01", 6, 2), "00000001");
    EXPECT_EQ(TerminalEditors::ParseMoney("1,234", 6, 3), "000001234");
    EXPECT_FALSE(TerminalEditors::ParseMoney("1,234", 6, 2));
    EXPECT_FALSE(TerminalEditors::ParseMoney("1234567", 6, 2));
    EXPECT_EQ(TerminalEditors::ParseMoney("0001234", 6, 2), "00123400");  // leading zeros do not count
    EXPECT_FALSE(TerminalEditors::ParseMoney("12a", 6, 2));
    EXPECT_FALSE(TerminalEditors::ParseMoney("1,2,3", 6, 2));
    EXPECT_FALSE(TerminalEditors::ParseMoney("", 6, 2));

    EXPECT_EQ(TerminalEditors::ParsePercent("10,5")->Joined(), "1050");
    EXPECT_EQ(TerminalEditors::ParsePercent("5")->Joined(), "0500");
    EXPECT_EQ(TerminalEditors::ParsePercent("")->Joined(), "0000");
    EXPECT_FALSE(TerminalEditors::ParsePercent("100"));
    EXPECT_FALSE(TerminalEditors::ParsePercent("1,234"));

    auto d = TerminalEditors::ParseDate("05/03/2024");
    ASSERT_TRUE(d);
    EXPECT_EQ(DateDDMMYYYY(*d), "05032024");
    EXPECT_EQ(DateDDMMYYYY(*TerminalEditors::ParseDate("5/3/24")), "05032024");
    EXPECT_EQ(DateDDMMYYYY(*TerminalEditors::ParseDate("311299")), "31122099");
    EXPECT_EQ(DateDDMMYYYY(*TerminalEditors::ParseDate("01012000")), "01012000");
    EXPECT_FALSE(TerminalEditors::ParseDate("31/02/2024"));
    EXPECT_FALSE(TerminalEditors::ParseDate("2024-03-05"));
    EXPECT_FALSE(TerminalEditors::ParseDate("1/1/123"));

    EXPECT_EQ(TimeHHMMSS(*TerminalEditors::ParseTime("23:59:58")), "235958");
    EXPECT_EQ(TimeHHMMSS(*TerminalEditors::ParseTime("7:05")), "070500");
    EXPECT_EQ(TimeHHMMSS(*TerminalEditors::ParseTime("120000")), "120000");
    EXPECT_FALSE(TerminalEditors::ParseTime("24:00:00"));
    EXPECT_FALSE(TerminalEditors::ParseTime("12:60"));
    EXPECT_FALSE(TerminalEditors::ParseTime("noon"));
}

}  // namespace
}  // namespace ordavo
