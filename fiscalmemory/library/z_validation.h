// The Z-validation text: a line of hexadecimal digits that the printer prints on every
// reduction Z, so that anyone holding the printer's public key can check the reduction's figures
// later from the paper alone. docs/file-formats.md gives the digits:
//   version "1", CRZ (4), COO (6), YYMMDDHHMM (10), day total (12), cancellations (12),
//   discounts (12), grand total (16), then the Ed25519 signature of those 73 digits (128).
// 201 digits in all: an RSA-2048 signature alone would take 512 and the text is cut at 257.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

typedef struct evp_pkey_st EVP_PKEY;

namespace ordavo::mfd {

constexpr size_t kZDataDigits = 73;
constexpr size_t kZSignatureDigits = 128;
constexpr size_t kZTextDigits = kZDataDigits + kZSignatureDigits;

struct ZValidation {
    int crz = 0, coo = 0;
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0;
    int64_t day_total = 0, cancellations = 0, discounts = 0, grand_total = 0;  // cents
};

// The 73 data digits.
std::string ZValidationData(const ZValidation& z);
// The whole text, signed with the printer's Ed25519 key; empty when it cannot sign.
std::string ZValidationText(const ZValidation& z, EVP_PKEY* key);

// Reads a text (white space allowed anywhere and ignored; upper or lower case): false when it
// is not 201 hexadecimal digits of a version-1 text with a valid date. `data` gets the 73 data
// digits as written (upper case) and `signature` the 64 signature bytes.
bool ParseZValidation(std::string_view text, ZValidation* z, std::string* data, std::string* signature);
// Parse and check against the Ed25519 key. 0 valid, 255 the signature does not match, 17 not a
// Z-validation text.
int CheckZValidation(std::string_view text, EVP_PKEY* key, ZValidation* z);

// The verdict text (Windows-1252, CR LF between lines) for a valid text.
std::string ZVerdict(const ZValidation& z);

}  // namespace ordavo::mfd
