#include "sim/scanner_series.h"

#include <charconv>

#include "engine/util.h"
#include "fiscalmemory/core/journal.h"
#include "sim/fields.h"

namespace ordavo::sim {
namespace {

constexpr size_t kDataPerSymbol = 668;

void PutLe32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

fm::DocumentKind KindOf(const std::string& kind) {
    if (kind == "CF") return fm::DocumentKind::kReceipt;
    if (kind == "CF-ANULADO") return fm::DocumentKind::kCancelled;
    if (kind == "X") return fm::DocumentKind::kReadingX;
    if (kind == "Z") return fm::DocumentKind::kReductionZ;
    if (kind == "CNF") return fm::DocumentKind::kNonFiscal;
    if (kind == "RG") return fm::DocumentKind::kManagement;
    if (kind == "CDC") return fm::DocumentKind::kLinked;
    if (kind == "MF") return fm::DocumentKind::kFiscalReading;
    return fm::DocumentKind::kOther;
}

void SetDate(fm::JournalDocument& d, int64_t when) {
    const Clock c = Split(when);
    d.year = c.year, d.month = c.month, d.day = c.day, d.hour = c.hour, d.minute = c.minute, d.second = c.second;
}

}  // namespace

// Until the printer keeps the printed text of its documents, each record carries the lines
// the audit memory can rebuild: the header, the document's counter, kind, date and total.
std::string ScannerJournal(const PrinterState& s) {
    std::string header = s.header;
    ReplaceAll(header, "\n", "\r\n");
    fm::JournalDocument id;
    id.kind = fm::DocumentKind::kIdentity;
    id.serial = s.serial;
    id.model = "ORDAVO SIM";
    id.text = header + "SERIAL: " + s.serial + "\r\n";
    std::string out = fm::EncodeDocument(id);
    int crz = 1;
    for (const AuditRecord& a : s.audit_memory) {
        fm::JournalDocument d;
        d.kind = KindOf(a.kind);
        d.coo = static_cast<uint32_t>(a.coo);
        d.crz = static_cast<uint32_t>(crz);
        SetDate(d, a.when);
        d.text = header + "RIF: " + s.rif + "\r\n" + Format("COO: %06d  %s\r\n", a.coo, a.kind.c_str()) +
                 Format("%02d/%02d/%04d %02d:%02d:%02d\r\n", d.day, d.month, d.year, d.hour, d.minute, d.second) +
                 "TOTAL " + Money(a.total) + "\r\n";
        d.has_totals = true;
        d.total = a.total;
        d.rate_totals[0] = a.total;
        if (a.kind == "Z") ++crz;
        out += fm::EncodeDocument(d);
    }
    return out;
}

std::vector<std::string> ScannerSymbols(std::string_view journal) {
    std::vector<std::string> out;
    const uint32_t total = static_cast<uint32_t>(journal.size());
    for (size_t at = 0; at < journal.size(); at += kDataPerSymbol) {
        std::string symbol;
        PutLe32(symbol, total);
        PutLe32(symbol, static_cast<uint32_t>(at));
        symbol.append(journal.substr(at, kDataPerSymbol));
        symbol += "\r\n";
        out.push_back(std::move(symbol));
    }
    return out;
}

bool ScannerOrder(const std::string& text, size_t count, std::vector<size_t>& order, std::string& error) {
    order.clear();
    if (text.empty() || text == "all" || text == "reverse") {
        for (size_t i = 0; i < count; ++i) order.push_back(text == "reverse" ? count - 1 - i : i);
        return true;
    }
    size_t at = 0;
    while (at <= text.size()) {
        const size_t comma = std::min(text.find(',', at), text.size());
        const std::string_view item(text.data() + at, comma - at);
        size_t n = 0;
        auto [p, ec] = std::from_chars(item.data(), item.data() + item.size(), n);
        if (item.empty() || ec != std::errc() || p != item.data() + item.size()) {
            error = "\"" + std::string(item) + "\" is not a symbol number";
            return false;
        }
        if (n >= count) {
            error = "symbol " + std::to_string(n) + " is not in the series (" + std::to_string(count) + " symbols)";
            return false;
        }
        order.push_back(n);
        at = comma + 1;
    }
    return true;
}

}  // namespace ordavo::sim
