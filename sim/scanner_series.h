// The printer's audit journal as the series of PDF-417 symbols it prints, for the simulated
// scanner and the symbol pictures: each symbol is the series' total (4 bytes), the position of
// its data (4 bytes), up to 668 data bytes, and the two final bytes a scanner adds (CR LF).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim/state.h"

namespace ordavo::sim {

// The journal the symbols carry: what the printer's audit memory holds.
std::string ScannerJournal(const PrinterState& state);

// Adds `count` documents to the printer's memories as if it had printed them, receipts with a
// reduction Z every tenth, four minutes apart after the last document: a printer with a
// journal worth scanning.
void PrintSampleDocuments(PrinterState& state, int count);
// A printer whose journal makes exactly `symbols` symbols (at least one).
PrinterState PrinterWithSymbols(size_t symbols);

// The symbols of a journal, in series order.
std::vector<std::string> ScannerSymbols(std::string_view journal);

// Which symbols to send, and in what order: "all" (every symbol, in order), "reverse", or a
// comma-separated list of symbol numbers from 0 (repeat a number to send it twice, leave one
// out to omit it). False, with the reason, when the text is not understood or names a symbol
// the series does not have.
bool ScannerOrder(const std::string& text, size_t count, std::vector<size_t>& order, std::string& error);

}  // namespace ordavo::sim
