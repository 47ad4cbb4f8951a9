#include "sim/scanner_series.h"

#include <charconv>

#include "engine/util.h"
#include "fiscalmemory/core/journal.h"
#include "sim/fields.h"
#include "sim/journal.h"

namespace ordavo::sim {
namespace {

constexpr size_t kDataPerSymbol = 668;

void PutLe32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

std::string ScannerJournal(const PrinterState& s) { return AuditJournal(s); }

void PrintSampleDocuments(PrinterState& s, int count) {
    for (int k = 0; k < count; ++k) {
        const int i = static_cast<int>(s.audit_memory.size());
        const bool z = i % 10 == 9;
        const int64_t when = s.audit_memory.empty() ? 1765000000 : s.audit_memory.back().when + 240;
        const int64_t total = z ? 0 : 1000 + (i * 371) % 9000;
        s.coo = s.coo >= 999999 ? 1 : s.coo + 1;
        std::string text = s.header + Format("COO:%06d  %s\n", s.coo, z ? "REDUCCION Z" : "FACTURA");
        fm::JournalDocument figures;
        if (!z) {
            text += Format("CAFE %d x 1,00\nTOTAL %s\nEfectivo %s\n", i + 1, Money(total).c_str(), Money(total).c_str());
            figures.items.push_back({"0001", "CAFE", 1, 1000, total, total, false});
            figures.payments.push_back({1, std::string(), total});
            figures.has_totals = true;
            figures.rate_totals[0] = total;
            figures.total = total;
            s.grand_total += total;
        }
        s.audit_memory.push_back({s.coo, z ? "Z" : "CF", when, total});
        s.journal.push_back(JournalRecord(s, z ? "Z" : "CF", when, text, figures));
        if (z) ++s.crz;
    }
}

PrinterState PrinterWithSymbols(size_t symbols) {
    PrinterState s;
    // A document adds less than a symbol's worth of bytes, so the count is met exactly.
    while (ScannerSymbols(ScannerJournal(s)).size() < symbols) PrintSampleDocuments(s, 1);
    return s;
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
