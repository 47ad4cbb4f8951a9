#include "fiscalmemory/core/signed_file.h"

#include <cstdint>
#include <cstring>

#include "fiscalmemory/core/le_bytes.h"

namespace ordavo::fm {

using le::GetU32;
using le::PutU32;

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
