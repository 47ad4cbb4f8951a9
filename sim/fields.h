// Byte layouts of answer fields: packed BCD, fixed texts in the printer's code page, 16-bit
// counters, and the whole-field layouts of the lists and flag bytes, filled from the printer's
// state by the field's return type.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/state.h"

namespace ordavo::sim {

using Bytes = std::vector<uint8_t>;

// `value` as 2 × nbytes decimal digits, two per byte, most significant first. Digits that do not
// fit are cut off at the left.
Bytes Bcd(uint64_t value, int nbytes);
// A text of digits packed two per byte; an odd count gets a leading 0.
Bytes BcdDigits(const std::string& digits);
// Windows-1252 text converted to the printer's page, cut or padded with `pad` to `size`.
Bytes FixedText(const std::string& cp1252, int size, char pad = ' ');
void Append(Bytes& to, const Bytes& more);
void AppendLe16(Bytes& to, int value);

// Money in cents as the printer prints it: "1.234,56", negative with a leading "-".
std::string Money(int64_t cents);
// Rate text "1600" as "16,00".
std::string RateText(const std::string& four_digits);

// Printer clock helpers: seconds of the printer's own calendar (no time zone).
struct Clock {
    int year, month, day, hour, minute, second;
};
Clock Split(int64_t printer_seconds);
int64_t Join(const Clock& c);
int64_t DayNumber(int64_t printer_seconds);

// Flag bytes as the readings report them.
uint8_t FiscalFlags(const PrinterState& s);
uint8_t FiscalFlags2(const PrinterState& s);
uint8_t FiscalFlags3(const PrinterState& s);
uint8_t SensorFlags(const PrinterState& s);

// The data bytes of one answer field of the given return type and size, from the state, for
// fields whose content the type alone decides (flags, dates, lists, totals). Types whose content
// depends on the command ("ASCII", "BCD_INTEGER", ...) get neutral filler: the title for texts,
// zeros for numbers.
Bytes FillField(const PrinterState& s, int64_t now, const std::string& formato, int size,
                const std::string& titulo);

}  // namespace ordavo::sim
