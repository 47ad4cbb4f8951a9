// The encrypted XML container (".enc") that printers hand their audit memory out in: AES-256-GCM
// with a key derived by HKDF-SHA256 from the maker's container secret, a random salt and the
// printer's serial number. docs/file-formats.md, "Encrypted XML".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ordavo::mfd {

constexpr char kAesMagic[] = "ORDAVOX1";
constexpr size_t kAesSaltSize = 16, kAesIvSize = 12, kAesTagSize = 16, kAesMaxSerial = 24;

// The whole container of `plain` (for tests and tools; printers make their own).
std::string EncryptXmlContainer(std::string_view plain, const std::string& serial);

// Decrypts a container file into `output`, which appears only when the whole content checked
// (its tag). 0; kBadFile (missing, not a container, cut short, damaged, another key);
// kOutputError.
int DecryptXmlContainer(const std::string& encrypted, const std::string& output);

}  // namespace ordavo::mfd
