// The fiscal memory (".mf"): a header with the printer's identity, then one record per Z
// reduction. docs/file-formats.md gives the bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ordavo::fm {

constexpr size_t kMfHeaderSize = 64;
constexpr size_t kMfRecordSize = 200;
constexpr char kMfMagic[] = "ORDAVOMF";

struct ZReduction {
    uint32_t crz = 0;  // reduction number
    uint32_t coo = 0;  // document counter of the reduction
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    int64_t grand_total = 0, day_total = 0, cancellations = 0, discounts = 0, surcharges = 0, exempt = 0;
    std::array<int64_t, 16> rate_totals{};  // cents
    int DateKey() const { return year * 10000 + month * 100 + day; }
};

struct FiscalMemory {
    std::string serial;  // at most 24 characters
    std::string model;   // at most 20 characters
    std::vector<ZReduction> reductions;
};

std::string EncodeFiscalMemory(const FiscalMemory& mf);
// False with a reason when the bytes are not a fiscal memory, are cut short or do not check;
// a record that does not check is reported, never half read.
bool DecodeFiscalMemory(std::string_view bytes, FiscalMemory& mf, std::string* error = nullptr);

}  // namespace ordavo::fm
