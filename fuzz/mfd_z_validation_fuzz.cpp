// The Z-validation text as a person types it: any characters, any length.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fiscalmemory/library/crypto.h"
#include "fiscalmemory/library/z_validation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ordavo::mfd;
    static const std::string pem = PublicKeyPem(GenerateEd25519Key());
    static PublicKeys keys = [] {
        PublicKeys k;
        ParsePublicKeys(pem, &k);
        return k;
    }();
    std::string_view text(reinterpret_cast<const char*>(data), size);
    ZValidation z;
    std::string digits, signature;
    if (ParseZValidation(text, &z, &digits, &signature)) {
        if (digits.size() != kZDataDigits || signature.size() != kZSignatureDigits / 2) __builtin_trap();
        // The figures read back into the same digits.
        if (ZValidationData(z) != digits.substr(0, kZDataDigits) && z.grand_total >= 0 &&
            digits.compare(57, 1, "8") < 0)
            __builtin_trap();
        (void)ZVerdict(z);
    }
    const int rc = CheckZValidation(text, keys.z.get(), &z);
    if (rc != 17 && rc != 255) __builtin_trap();  // nobody forges the signature
    return 0;
}
