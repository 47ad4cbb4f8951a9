// Pieces shared by the command handlers.
#pragma once

#include <cstdint>
#include <string>

#include "sim/printer.h"

namespace ordavo::sim {

// A surcharge or discount written as "A" or "D", then "%" or "$", then digits: a percentage
// with two decimals or an amount in cents.
struct Adjustment {
    bool surcharge = false;
    bool percent = false;
    int64_t value = 0;
};
bool ParseAdjustment(const std::string& text, Adjustment& out);
// Signed amount in cents: positive for a surcharge, negative for a discount.
int64_t ApplyAdjustment(const Adjustment& adj, int64_t base, bool truncate);

// No document may be open, and the memory and the day must allow a new one; refuses otherwise.
bool CanOpenDocument(Printer& p, Answer& a);

// The fiscal memory between two dates (day numbers) or two reduction numbers: one block per
// reduction, or one line each in the simplified form (printer bytes).
std::string FiscalMemoryText(const Printer& p, bool by_date, int64_t from, int64_t to, bool complete);

// ---- Fiscal-memory downloads (cmd_download.cpp).
// The audit memory's address space: six initial sectors, then sixteen addresses per document.
int64_t AuditAddress(int64_t document_index);
// The YYYYMMDD key of a day number.
int DateKeyOfDay(int64_t day_number);
// The first and last journal documents dated within [lo, hi] (YYYYMMDD keys); false for none.
bool JournalDateSpan(const PrinterState& s, int lo, int hi, int64_t* first, int64_t* last);
// The lines of the Z-validation text printed at the end of a reduction (printer bytes).
std::string ZValidationLines(Printer& p, const ZRecord& z);
// Makes the keys and the software image of a printer that has none yet; true when it made one.
bool EnsureDownloadAssets(PrinterState& s, bool rsa);

}  // namespace ordavo::sim
