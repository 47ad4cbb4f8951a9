// The reader of public-key files (".pub"): any bytes, a key of any kind and size, several keys.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fiscalmemory/library/crypto.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ordavo::mfd;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    PublicKeys keys;
    if (ParsePublicKeys(text, &keys)) {
        // A key that was taken can be used, and refuses a signature that is not its own.
        if (keys.rsa && Verify(keys.rsa.get(), "content", std::string(256, '\0'))) __builtin_trap();
        if (keys.z && Verify(keys.z.get(), "content", std::string(64, '\0'))) __builtin_trap();
    }
    return 0;
}
