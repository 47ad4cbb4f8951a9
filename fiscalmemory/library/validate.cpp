// Signature checks: signed files against the printer's RSA key, Z-validation texts against its
// Ed25519 key. Files of any size are read in pieces; nothing is allocated by what a file says.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "engine/util.h"
#include "fiscalmemory/library/crypto.h"
#include "fiscalmemory/library/downloads.h"
#include "fiscalmemory/library/z_validation.h"

namespace ordavo::mfd {

namespace {

constexpr size_t kTrailer = 12;
constexpr size_t kMaxSignature = 1024;
constexpr size_t kMaxZFile = 4096;

class Fd {
public:
    explicit Fd(const std::string& path) : fd_(path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    bool ReadAt(void* buf, size_t n, off_t at) const {
        size_t done = 0;
        while (done < n) {
            const ssize_t r = pread(fd_, static_cast<char*>(buf) + done, n - done, at + static_cast<off_t>(done));
            if (r <= 0) return false;
            done += static_cast<size_t>(r);
        }
        return true;
    }

private:
    int fd_;
};

// At most `limit` bytes of a regular file; false when it cannot be read or is larger.
bool ReadSmallFile(const std::string& path, size_t limit, std::string* out) {
    Fd f(path);
    struct stat st;
    if (f.get() < 0 || fstat(f.get(), &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > limit)
        return false;
    out->resize(static_cast<size_t>(st.st_size));
    return out->empty() || f.ReadAt(out->data(), out->size(), 0);
}

uint32_t Le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void PutVerdict(char* verdict, size_t size, const std::string& text) {
    if (!verdict || size == 0) return;
    const size_t n = std::min(text.size(), size - 1);
    std::memcpy(verdict, text.data(), n);
    verdict[n] = '\0';
}

}  // namespace

int ValidateSignedFile(const std::string& file, const std::string& key) {
    std::string pem;
    PublicKeys keys;
    if (!ReadSmallFile(key, kMaxKeyFile, &pem) || !ParsePublicKeys(pem, &keys) || !keys.rsa) return 22;
    Fd f(file);
    struct stat st;
    if (f.get() < 0 || fstat(f.get(), &st) != 0 || !S_ISREG(st.st_mode)) return 17;
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    unsigned char trailer[kTrailer];
    if (size < kTrailer || !f.ReadAt(trailer, kTrailer, static_cast<off_t>(size - kTrailer))) return 17;
    if (std::memcmp(trailer + 8, "OSIG", 4) != 0) return 17;  // not a signed file at all
    const uint64_t content = Le32(trailer), sig_size = Le32(trailer + 4);
    // A signature block whose lengths do not add up was changed: the file is not as signed.
    if (sig_size == 0 || sig_size > kMaxSignature || content + sig_size + kTrailer != size) return 255;
    std::string signature(static_cast<size_t>(sig_size), '\0');
    if (!f.ReadAt(signature.data(), signature.size(), static_cast<off_t>(content))) return 17;
    Sha256Verifier v(keys.rsa.get());
    std::vector<char> buf(1 << 16);
    for (uint64_t at = 0; at < content;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), content - at));
        if (!f.ReadAt(buf.data(), n, static_cast<off_t>(at))) return 17;
        v.Update(buf.data(), n);
        at += n;
    }
    return v.Final(signature) ? 0 : 255;
}

int ValidateZText(const std::string& file, const std::string& key, char* verdict, size_t verdict_size) {
    std::string text, pem;
    Fd probe(file);
    if (probe.get() < 0) {
        PutVerdict(verdict, verdict_size, "No fue posible abrir el archivo de la validaci\xF3n Z.");
        return 4;
    }
    if (!ReadSmallFile(file, kMaxZFile, &text)) text.assign(kZTextDigits + 1, 'X');  // too long to be one
    PublicKeys keys;
    if (!ReadSmallFile(key, kMaxKeyFile, &pem) || !ParsePublicKeys(pem, &keys) || !keys.z) {
        PutVerdict(verdict, verdict_size, "La clave p\xFA" "blica no tiene la clave de las validaciones Z.");
        return 22;
    }
    ZValidation z;
    const int rc = CheckZValidation(text, keys.z.get(), &z);
    if (rc == 0) {
        PutVerdict(verdict, verdict_size, ZVerdict(z));
    } else if (rc == 255) {
        PutVerdict(verdict, verdict_size,
                   Format("La validaci\xF3n de la Reducci\xF3n Z N\xBA %04d NO corresponde a esta clave "
                          "p\xFA" "blica: el texto fue alterado o es de otra impresora.",
                          z.crz));
    } else {
        PutVerdict(verdict, verdict_size,
                   Format("El texto no es una validaci\xF3n Z: se esperan %zu d\xEDgitos hexadecimales.",
                          kZTextDigits));
    }
    return rc;
}

}  // namespace ordavo::mfd
