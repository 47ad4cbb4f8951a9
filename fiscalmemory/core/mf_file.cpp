#include "fiscalmemory/core/mf_file.h"

#include <cstring>

#include "fiscalmemory/core/le_bytes.h"

namespace ordavo::fm {

using namespace le;

namespace {
uint32_t Crc(const char* p, size_t n) { return le::Crc32(std::string_view(p, n)); }
void PutFixed(std::string& out, const std::string& text, size_t n) {
    std::string v = text.substr(0, n);
    v.resize(n, '\0');
    out += v;
}
std::string GetFixed(const unsigned char* p, size_t n) {
    const char* c = reinterpret_cast<const char*>(p);
    return std::string(c, strnlen(c, n));
}
}  // namespace

std::string EncodeFiscalMemory(const FiscalMemory& mf) {
    std::string out(kMfMagic, 8);
    PutU16(out, 1);                     // version
    PutU16(out, kMfRecordSize);         // record size
    PutU32(out, static_cast<uint32_t>(mf.reductions.size()));
    PutFixed(out, mf.serial, 24);
    PutFixed(out, mf.model, 20);
    PutU32(out, Crc(out.data(), out.size()));  // header check
    for (const ZReduction& z : mf.reductions) {
        size_t start = out.size();
        PutU32(out, z.crz);
        PutU32(out, z.coo);
        PutU16(out, static_cast<uint32_t>(z.year));
        out.push_back(static_cast<char>(z.month));
        out.push_back(static_cast<char>(z.day));
        out.push_back(static_cast<char>(z.hour));
        out.push_back(static_cast<char>(z.minute));
        out.push_back(static_cast<char>(z.second));
        out.push_back(0);
        for (int64_t v : {z.grand_total, z.day_total, z.cancellations, z.discounts, z.surcharges, z.exempt})
            PutI64(out, v);
        for (int64_t v : z.rate_totals) PutI64(out, v);
        PutU32(out, 0);
        PutU32(out, Crc(out.data() + start, out.size() - start));
    }
    return out;
}

bool DecodeFiscalMemory(std::string_view bytes, FiscalMemory& mf, std::string* error) {
    auto fail = [&](const char* why) {
        if (error) *error = why;
        return false;
    };
    if (bytes.size() < kMfHeaderSize || bytes.substr(0, 8) != std::string_view(kMfMagic, 8))
        return fail("not a fiscal-memory file");
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
    if (GetU16(p + 8) != 1 || GetU16(p + 10) != kMfRecordSize) return fail("fiscal-memory file of an unknown version");
    if (Crc(bytes.data(), 60) != GetU32(p + 60)) return fail("fiscal-memory header damaged");
    uint64_t count = GetU32(p + 12);
    if (count > (bytes.size() - kMfHeaderSize) / kMfRecordSize) return fail("fiscal-memory file cut short");
    FiscalMemory out;
    out.serial = GetFixed(p + 16, 24);
    out.model = GetFixed(p + 40, 20);
    out.reductions.reserve(static_cast<size_t>(count));
    for (uint64_t i = 0; i < count; ++i) {
        const unsigned char* r = p + kMfHeaderSize + i * kMfRecordSize;
        if (Crc(reinterpret_cast<const char*>(r), kMfRecordSize - 4) != GetU32(r + kMfRecordSize - 4))
            return fail("fiscal-memory record damaged");
        ZReduction z;
        z.crz = GetU32(r);
        z.coo = GetU32(r + 4);
        z.year = static_cast<int>(GetU16(r + 8));
        z.month = r[10];
        z.day = r[11];
        z.hour = r[12];
        z.minute = r[13];
        z.second = r[14];
        int64_t* fields[] = {&z.grand_total, &z.day_total, &z.cancellations, &z.discounts, &z.surcharges, &z.exempt};
        for (int k = 0; k < 6; ++k) *fields[k] = GetI64(r + 16 + 8 * k);
        for (int k = 0; k < 16; ++k) z.rate_totals[k] = GetI64(r + 64 + 8 * k);
        out.reductions.push_back(z);
    }
    mf = std::move(out);
    return true;
}

}  // namespace ordavo::fm
