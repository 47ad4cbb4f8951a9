#include "pdf417/core/symbol_series.h"

#include <algorithm>

#include "engine/util.h"
#include "fiscalmemory/core/audit_file.h"

namespace ordavo::pdf417 {
namespace {

uint32_t Le32(std::string_view b, size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

void Say(std::string* status, std::string text) {
    if (status) *status = std::move(text);
}

}  // namespace

bool ReadSymbolHeader(std::string_view symbol, SymbolHeader& header) {
    if (symbol.size() < kSymbolHeaderSize) return false;
    header.total = Le32(symbol, 0);
    header.position = Le32(symbol, 4);
    return true;
}

uint32_t SymbolsInSeries(uint32_t total) {
    return static_cast<uint32_t>((uint64_t{total} + kSymbolDataSize - 1) / kSymbolDataSize);
}

std::vector<std::string_view> SplitBurst(std::string_view burst) {
    std::vector<std::string_view> pieces;
    while (!burst.empty()) {
        SymbolHeader h;
        size_t length = burst.size();
        if (ReadSymbolHeader(burst, h) && h.total != 0 && h.total <= kMaxSeriesTotal && h.position < h.total &&
            h.position % kSymbolDataSize == 0)
            length = std::min(length, kSymbolMinSize + std::min<size_t>(kSymbolDataSize, h.total - h.position));
        pieces.push_back(burst.substr(0, length));
        burst.remove_prefix(length);
    }
    return pieces;
}

std::string SymbolDump(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 3 + bytes.size() / 8 * 9 + 16);
    for (size_t line = 0; line < bytes.size(); line += 8) {
        out += Format("%06X  ", static_cast<unsigned>(line));
        for (size_t i = line; i < std::min(bytes.size(), line + 8); ++i)
            out += Format("%02X ", static_cast<unsigned char>(bytes[i]));
        out += "\n";
    }
    return out;
}

SymbolSeries::Outcome SymbolSeries::Add(std::string_view symbol, std::string* status) {
    if (symbol.size() < kSymbolMinSize) {
        Say(status, Format("S\xEDmbolo inv\xE1lido: %zu bytes", symbol.size()));
        return Outcome::kRefused;
    }
    SymbolHeader h;
    ReadSymbolHeader(symbol, h);
    if (h.total == 0 || h.total > kMaxSeriesTotal) {
        Say(status, Format("S\xEDmbolo inv\xE1lido: total %u", h.total));
        return Outcome::kRefused;
    }
    if (h.position % kSymbolDataSize != 0) {
        Say(status, Format("S\xEDmbolo inv\xE1lido: posi\xE7\xE3o %u", h.position));
        return Outcome::kRefused;
    }
    // The first symbol fixes the series; a symbol of another series would mix two journals.
    if (expected_ != 0 && h.total != total_) {
        Say(status, Format("S\xEDmbolo de outra s\xE9rie (total %u, n\xE3o %u)", h.total, total_));
        return Outcome::kRefused;
    }
    const uint32_t series = expected_ != 0 ? expected_ : SymbolsInSeries(h.total);
    const uint32_t number = h.position / kSymbolDataSize;
    if (number >= series) {
        Say(status, Format("S\xEDmbolo fora da s\xE9rie: %u/%u", number + 1, series));
        return Outcome::kRefused;
    }
    if (positions_.count(h.position)) {
        Say(status, "S\xEDmbolo j\xE1 foi lido");
        return Outcome::kDuplicate;
    }
    // A symbol cut short (or run into the next one) would put a hole or foreign bytes into the
    // journal: its data must be exactly what its place in the series holds.
    const size_t data = symbol.size() - kSymbolMinSize;
    const size_t want = std::min<size_t>(kSymbolDataSize, h.total - h.position);
    if (data != want) {
        Say(status, Format("S\xEDmbolo incompleto: %zu de %zu bytes", data, want));
        return Outcome::kRefused;
    }
    if (expected_ == 0) {
        expected_ = series;
        total_ = h.total;
        slots_.assign(series, std::string());
    }
    positions_.insert(h.position);
    slots_[number].assign(symbol.data(), symbol.size());
    ++received_;
    Say(status, Format("S\xEDmbolo lido: %u/%u", number + 1, expected_));
    return Outcome::kAdded;
}

void SymbolSeries::Clear() {
    expected_ = received_ = total_ = 0;
    slots_.clear();
    positions_.clear();
}

std::vector<uint32_t> SymbolSeries::Numbers() const {
    std::vector<uint32_t> out;
    for (uint32_t i = 0; i < slots_.size(); ++i)
        if (!slots_[i].empty()) out.push_back(i);
    return out;
}

std::string SymbolSeries::Journal() const {
    // The slots are indexed by number, so their order is the order of position.
    std::string out;
    for (const std::string& s : slots_)
        if (!s.empty()) out.append(s, kSymbolHeaderSize, s.size() - kSymbolMinSize);
    return out;
}

std::string SymbolSeries::AuditFile() const { return fm::BuildAuditFile(Journal()); }

bool SymbolSeries::Save(const std::string& path, std::string* error) const {
    return fm::WriteAuditFile(path, Journal(), error);
}

}  // namespace ordavo::pdf417
