// The printer's audit memory as a journal (fiscalmemory/core/journal.h): the identity record
// first, then one record per printed document with its text as printed (Windows-1252, CR LF)
// and its figures. The downloads of the audit memory, the download in parts and the PDF-417
// symbols of the simulated scanner all carry these bytes.
#pragma once

#include <string>

#include "fiscalmemory/core/journal.h"
#include "sim/state.h"

namespace ordavo::sim {

// The journal bytes of the audit memory, identity record first.
std::string AuditJournal(const PrinterState& s);
// The identity record alone: the serial number and the model.
std::string IdentityRecord(const PrinterState& s);

// The kind letter of a document the printer keeps under its short name ("CF", "Z", ...).
fm::DocumentKind JournalKind(const std::string& kind);

// The journal record of a document that has just been printed: `text` in printer bytes (code
// page 850, LF), `figures` its items, payments and totals (kind, counters, date and text are
// filled in here), `when` the printer clock.
std::string JournalRecord(const PrinterState& s, const std::string& kind, int64_t when, const std::string& text,
                          fm::JournalDocument figures);

// The figures of a receipt (items, payments, totals by rate) before it leaves the printer.
fm::JournalDocument ReceiptFigures(const OpenDocument& doc, int64_t total);

}  // namespace ordavo::sim
