// Signed files (".mpk", ".mfk", ".txk"): the content, then the signature block:
//   signature (RSA-2048 over SHA-256 of the content, 256 bytes), then 12 bytes:
//   content length (u32 LE), signature length (u32 LE), "OSIG".
// The signing and checking themselves are done with OpenSSL by whoever holds the keys.
#pragma once

#include <string>
#include <string_view>

namespace ordavo::fm {

constexpr size_t kSignatureTrailerSize = 12;
constexpr char kSignatureMagic[] = "OSIG";

std::string AppendSignature(std::string_view content, std::string_view signature);
// Splits a signed file; false when it has no signature block that fits its size.
bool SplitSignedFile(std::string_view file, std::string_view& content, std::string_view& signature);

}  // namespace ordavo::fm
