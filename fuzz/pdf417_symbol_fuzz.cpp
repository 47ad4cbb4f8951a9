// The symbol series takes whatever a scanner sends: the input is cut into symbols at every
// "\r\n" (the scanner's final bytes) and each is added to one series.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "pdf417/core/symbol_series.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using ordavo::pdf417::SymbolSeries;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    SymbolSeries series;
    uint64_t added = 0, data_bytes = 0;
    while (!bytes.empty()) {
        size_t end = bytes.find("\r\n");
        end = end == std::string_view::npos ? bytes.size() : end + 2;
        std::string_view symbol = bytes.substr(0, end);
        bytes.remove_prefix(end);
        std::string status;
        const SymbolSeries::Outcome o = series.Add(symbol, &status);
        if (status.empty()) __builtin_trap();  // every symbol gets its text
        if (o == SymbolSeries::Outcome::kAdded) {
            ++added;
            data_bytes += symbol.size() - ordavo::pdf417::kSymbolMinSize;
        }
        // Never more symbols than the series has, never a slot outside it.
        if (series.received() != added || series.received() > series.expected()) __builtin_trap();
        (void)ordavo::pdf417::SymbolDump(symbol.substr(0, 64));
    }
    const std::string journal = series.Journal();
    if (journal.size() != data_bytes || journal.size() > series.total()) __builtin_trap();
    for (uint32_t n : series.Numbers())
        if (n >= series.expected()) __builtin_trap();
    return 0;
}
