// The signed-file check (TalvValidate) on any bytes: truncated files, lying trailers, huge
// lengths. The bytes go through an in-memory file, as the check reads a path.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fiscalmemory/library/crypto.h"
#include "fiscalmemory/library/downloads.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The key in an in-memory file too, open for the life of the fuzzer.
    static const std::string key_path = [] {
        const std::string pem = ordavo::mfd::PublicKeyPem(ordavo::mfd::GenerateRsaKey(2048));
        const int key = memfd_create("key", MFD_CLOEXEC);
        if (key < 0 || write(key, pem.data(), pem.size()) != static_cast<ssize_t>(pem.size())) __builtin_trap();
        return "/proc/self/fd/" + std::to_string(key);
    }();
    const int fd = memfd_create("signed", MFD_CLOEXEC);
    if (fd < 0) return 0;
    if (size && write(fd, data, size) != static_cast<ssize_t>(size)) {
        close(fd);
        return 0;
    }
    const int rc = ordavo::mfd::ValidateSignedFile("/proc/self/fd/" + std::to_string(fd), key_path);
    close(fd);
    if (rc != 17 && rc != 255) __builtin_trap();  // without the private key nothing checks
    return 0;
}
