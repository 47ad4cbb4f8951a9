#include "fiscalmemory/core/signed_file.h"

#include <cstdint>
#include <cstring>

namespace ordavo::fm {

namespace {
void PutU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
uint32_t GetU32(const char* c) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(c);
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
}  // namespace

std::string AppendSignature(std::string_view content, std::string_view signature) {
    std::string out;
    out.reserve(content.size() + signature.size() + kSignatureTrailerSize);
    out.append(content);
    out.append(signature);
    PutU32(out, static_cast<uint32_t>(content.size()));
    PutU32(out, static_cast<uint32_t>(signature.size()));
    out.append(kSignatureMagic, 4);
    return out;
}

bool SplitSignedFile(std::string_view file, std::string_view& content, std::string_view& signature) {
    if (file.size() < kSignatureTrailerSize) return false;
    const char* t = file.data() + file.size() - kSignatureTrailerSize;
    if (std::memcmp(t + 8, kSignatureMagic, 4) != 0) return false;
    uint64_t content_len = GetU32(t), sig_len = GetU32(t + 4);
    if (sig_len == 0 || content_len + sig_len + kSignatureTrailerSize != file.size()) return false;
    content = file.substr(0, content_len);
    signature = file.substr(content_len, sig_len);
    return true;
}

}  // namespace ordavo::fm
