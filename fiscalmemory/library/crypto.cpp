#include "fiscalmemory/library/crypto.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

namespace ordavo::mfd {

void PkeyFree::operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }

namespace {

struct BioFree {
    void operator()(BIO* b) const { BIO_free(b); }
};
using Bio = std::unique_ptr<BIO, BioFree>;

std::string PemOf(EVP_PKEY* key, bool is_private) {
    Bio out(BIO_new(BIO_s_mem()));
    if (!out) return {};
    const int ok = is_private ? PEM_write_bio_PrivateKey(out.get(), key, nullptr, nullptr, 0, nullptr, nullptr)
                              : PEM_write_bio_PUBKEY(out.get(), key);
    if (!ok) return {};
    char* data = nullptr;
    const long n = BIO_get_mem_data(out.get(), &data);
    return n > 0 ? std::string(data, static_cast<size_t>(n)) : std::string();
}

std::string Generate(const char* algorithm, int bits) {
    EVP_PKEY* key = bits > 0 ? EVP_RSA_gen(static_cast<unsigned>(bits))
                             : EVP_PKEY_Q_keygen(nullptr, nullptr, algorithm);
    if (!key) return {};
    Pkey owned(key);
    return PemOf(key, true);
}

}  // namespace

std::string GenerateRsaKey(int bits) { return Generate("RSA", bits); }
std::string GenerateEd25519Key() { return Generate("ED25519", 0); }

Pkey ReadPrivateKey(const std::string& pem) {
    Bio in(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    if (!in) return nullptr;
    return Pkey(PEM_read_bio_PrivateKey(in.get(), nullptr, nullptr, nullptr));
}

std::string PublicKeyPem(const std::string& private_pem) {
    Pkey key = ReadPrivateKey(private_pem);
    return key ? PemOf(key.get(), false) : std::string();
}

bool ParsePublicKeys(std::string_view pem_text, PublicKeys* keys) {
    if (pem_text.size() > kMaxKeyFile) return false;
    Bio in(BIO_new_mem_buf(pem_text.data(), static_cast<int>(pem_text.size())));
    if (!in) return false;
    // Every key of the file in turn; anything that is not a public key ends the reading.
    for (int i = 0; i < 8; ++i) {
        EVP_PKEY* k = PEM_read_bio_PUBKEY(in.get(), nullptr, nullptr, nullptr);
        if (!k) break;
        Pkey key(k);
        if (EVP_PKEY_is_a(k, "RSA") && !keys->rsa) {
            const int bits = EVP_PKEY_get_bits(k);
            if (bits >= 2048 && bits <= 4096) keys->rsa = std::move(key);
        } else if (EVP_PKEY_is_a(k, "ED25519") && !keys->z) {
            keys->z = std::move(key);
        }
    }
    return keys->rsa || keys->z;
}

std::string Sign(EVP_PKEY* key, std::string_view data) {
    if (!key) return {};
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    if (!ctx) return {};
    const bool rsa = EVP_PKEY_is_a(key, "RSA");
    std::string sig;
    size_t n = 0;
    EVP_PKEY_CTX* pctx = nullptr;
    if (EVP_DigestSignInit(ctx, &pctx, rsa ? EVP_sha256() : nullptr, nullptr, key) == 1 &&
        (!rsa || EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_PKCS1_PADDING) == 1) &&
        EVP_DigestSign(ctx, nullptr, &n, reinterpret_cast<const unsigned char*>(data.data()), data.size()) == 1) {
        sig.resize(n);
        if (EVP_DigestSign(ctx, reinterpret_cast<unsigned char*>(sig.data()), &n,
                           reinterpret_cast<const unsigned char*>(data.data()), data.size()) == 1)
            sig.resize(n);
        else
            sig.clear();
    }
    EVP_MD_CTX_free(ctx);
    return sig;
}

bool Verify(EVP_PKEY* key, std::string_view data, std::string_view signature) {
    if (!key) return false;
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    if (!ctx) return false;
    const bool rsa = EVP_PKEY_is_a(key, "RSA");
    EVP_PKEY_CTX* pctx = nullptr;
    bool ok = EVP_DigestVerifyInit(ctx, &pctx, rsa ? EVP_sha256() : nullptr, nullptr, key) == 1 &&
              (!rsa || EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_PKCS1_PADDING) == 1) &&
              EVP_DigestVerify(ctx, reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                               reinterpret_cast<const unsigned char*>(data.data()), data.size()) == 1;
    EVP_MD_CTX_free(ctx);
    return ok;
}

Sha256Verifier::Sha256Verifier(EVP_PKEY* key) : ctx_(EVP_MD_CTX_new()) {
    EVP_PKEY_CTX* pctx = nullptr;
    ok_ = ctx_ && key && EVP_PKEY_is_a(key, "RSA") &&
          EVP_DigestVerifyInit(ctx_, &pctx, EVP_sha256(), nullptr, key) == 1 &&
          EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_PKCS1_PADDING) == 1;
}

Sha256Verifier::~Sha256Verifier() { EVP_MD_CTX_free(ctx_); }

bool Sha256Verifier::Update(const void* data, size_t size) {
    ok_ = ok_ && EVP_DigestVerifyUpdate(ctx_, data, size) == 1;
    return ok_;
}

bool Sha256Verifier::Final(std::string_view signature) {
    return ok_ && EVP_DigestVerifyFinal(ctx_, reinterpret_cast<const unsigned char*>(signature.data()),
                                        signature.size()) == 1;
}

std::string Sha256(std::string_view data) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (EVP_Digest(data.data(), data.size(), md, &n, EVP_sha256(), nullptr) != 1) return {};
    return std::string(reinterpret_cast<char*>(md), n);
}

std::string HexUpper(std::string_view bytes) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    return out;
}

}  // namespace ordavo::mfd
