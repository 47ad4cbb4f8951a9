// Little-endian integers and the CRC-32 of the file layouts (journal, fiscal memory, signed
// files).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace ordavo::fm::le {

inline void PutU16(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void PutU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
inline void PutI64(std::string& out, int64_t v) {
    uint64_t u = static_cast<uint64_t>(v);
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}
inline uint32_t GetU16(const unsigned char* p) { return p[0] | (p[1] << 8); }
inline uint32_t GetU32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
inline uint32_t GetU32(const char* p) { return GetU32(reinterpret_cast<const unsigned char*>(p)); }
inline int64_t GetI64(const unsigned char* p) {
    uint64_t u = 0;
    for (int i = 7; i >= 0; --i) u = (u << 8) | p[i];
    return static_cast<int64_t>(u);
}

// zlib's CRC-32 (that of PNG and ZIP), over any length.
inline uint32_t Crc32(std::string_view bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (!bytes.empty()) {
        size_t n = bytes.size() > (1u << 30) ? (1u << 30) : bytes.size();
        crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(n));
        bytes.remove_prefix(n);
    }
    return static_cast<uint32_t>(crc);
}

}  // namespace ordavo::fm::le
