// The printer's audit memory handed out as XML in the encrypted container that the program's
// "Abrir XML Criptografado" opens (docs/file-formats.md, "Encrypted XML").
//
//     ordavo-printer-sim --state printer.state --encrypted-xml MA.enc
#pragma once

#include <string>

#include "sim/state.h"

namespace ordavo::sim {

// The XML of the audit memory: one "documento" per journal record with its figures and text.
std::string AuditXml(const PrinterState& s);
// That XML in the encrypted container, keyed to the printer's serial number.
std::string EncryptedAuditXml(const PrinterState& s);
// Writes it (atomically); 0, or 73 with the reason on standard error.
int WriteEncryptedAuditXml(const PrinterState& s, const std::string& path);

}  // namespace ordavo::sim
