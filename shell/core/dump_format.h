// Texts of the result window: the offset/hex/character dump of a command's traffic record and
// what "Salvar" writes.
#pragma once

#include <string>

namespace ordavo {

// Turns a traffic record ("CMD:  02 05 ...\r\nRET:  06 ...\r\n", possibly several pairs, as a
// sequence joins them) into lines of 16 bytes: "%.4x  ", the 48 columns of hexadecimal bytes
// (padded with spaces), then the bytes themselves as characters, a zero byte as ".". Each pair
// gives "CMD:\r\n", its lines, "RET:\r\n", its lines and an empty line.
// Pairs are found by their "CMD:" line, so blank lines between pairs are skipped; a command
// line without a "RET:" line after it (a command that was never sent) gets an empty answer.
// With `printable` set, the character column shows control bytes other than zero as a middle
// dot (0xB7), so that a text box keeps the columns, and bytes from 0x80 as the code page 850
// characters the printer means (0x82 is "Ã©"); saved files get the bytes themselves.
std::string FormatDump(const std::string& record, bool printable = false);

// What "Salvar" writes for the option chosen in its option dialog.
enum class SaveContent { Message = 1, Dump = 2, MessageAndDump = 3 };
std::string ResultFileText(SaveContent what, const std::string& message, const std::string& record);

// Line ends of a text to be saved: every LF that is not already preceded by a CR gets one.
// Lone CRs (a 0x0D byte in a dump's character column) are kept.
std::string WithCrLf(const std::string& text);

// A result text as a text box shows it: CR LF and lone CRs become LF, tabs stay, and every
// other control byte becomes a middle dot (0xB7). Windows-1252 in, Windows-1252 out.
std::string TextForDisplay(const std::string& text);

}  // namespace ordavo
