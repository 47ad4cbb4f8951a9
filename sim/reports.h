// What the printer prints: the heading of every document and the texts of receipts and
// reports. Built in printer bytes (code page 850), lines ended by LF, 40 columns.
#pragma once

#include <string>

#include "sim/printer.h"

namespace ordavo::sim {

constexpr int kColumns = 40;

// Windows-1252 text to printer bytes.
std::string T(const std::string& cp1252);
// One line with `left` at the start and `right` at the end.
std::string Columns(const std::string& left, const std::string& right);
std::string Centred(const std::string& text);
std::string Rule();
// The owner's header, the identity and the title with date, time and COO.
std::string DocumentHead(const Printer& p, const std::string& title);
// Reading X (false) or reduction Z (true) of the day's totals.
std::string DayReport(const Printer& p, bool reduction);

}  // namespace ordavo::sim
