// The library's cryptography, all of it through OpenSSL 3: SHA-256, the printer's RSA-2048
// signatures (PKCS #1 v1.5 over SHA-256) of signed files, the Ed25519 signatures of the
// Z-validation texts, the keys in PEM. The simulator signs with the same calls.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

typedef struct evp_pkey_st EVP_PKEY;
typedef struct evp_md_ctx_st EVP_MD_CTX;

namespace ordavo::mfd {

struct PkeyFree {
    void operator()(EVP_PKEY* k) const;
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;

// A new private key as PEM (PKCS #8): RSA of `bits`, or Ed25519. Empty on failure.
std::string GenerateRsaKey(int bits = 2048);
std::string GenerateEd25519Key();
// The public key of a private key, PEM (SubjectPublicKeyInfo). Empty on failure.
std::string PublicKeyPem(const std::string& private_pem);
Pkey ReadPrivateKey(const std::string& pem);

// The printer's public-key file (".pub"): its RSA key for signed files, then the Ed25519 key
// of the Z-validation texts. Reads at most kMaxKeyFile bytes; either key may be missing.
constexpr size_t kMaxKeyFile = 64 * 1024;
struct PublicKeys {
    Pkey rsa;  // RSA of 2048 to 4096 bits
    Pkey z;    // Ed25519
};
bool ParsePublicKeys(std::string_view pem_text, PublicKeys* keys);

// Signature of `data`: RSA keys sign its SHA-256 (PKCS #1 v1.5), Ed25519 keys the bytes. Empty on
// failure.
std::string Sign(EVP_PKEY* key, std::string_view data);
bool Verify(EVP_PKEY* key, std::string_view data, std::string_view signature);

// RSA PKCS #1 v1.5 over SHA-256, fed piece by piece (signed files of any size).
class Sha256Verifier {
public:
    explicit Sha256Verifier(EVP_PKEY* key);
    ~Sha256Verifier();
    Sha256Verifier(const Sha256Verifier&) = delete;
    Sha256Verifier& operator=(const Sha256Verifier&) = delete;
    bool Update(const void* data, size_t size);
    bool Final(std::string_view signature);

private:
    EVP_MD_CTX* ctx_ = nullptr;
    bool ok_ = false;
};

std::string Sha256(std::string_view data);
std::string HexUpper(std::string_view bytes);

}  // namespace ordavo::mfd
