#include "fiscalmemory/library/keys_dll.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <sys/stat.h>

#include <memory>

#include "engine/util.h"
#include "fiscalmemory/core/signed_file.h"
#include "fiscalmemory/library/report_io.h"

namespace ordavo::mfd {

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct CtxFree {
    void operator()(EVP_PKEY_CTX* c) const { EVP_PKEY_CTX_free(c); }
};
struct BioFree {
    void operator()(BIO* b) const { BIO_free(b); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Ctx = std::unique_ptr<EVP_PKEY_CTX, CtxFree>;
using Bio = std::unique_ptr<BIO, BioFree>;

constexpr off_t kMaxKeyFile = 64 * 1024;
constexpr off_t kMaxText = 256 << 20;

bool ReadLimited(const std::string& path, off_t limit, std::string& out) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > limit) return false;
    return ReadWholeFile(path, out);
}

Key LoadKey(const std::string& path, bool is_private) {
    std::string pem;
    if (!ReadLimited(path, kMaxKeyFile, pem)) return nullptr;
    Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    if (!bio) return nullptr;
    EVP_PKEY* k = is_private ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr)
                             : PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr);
    Key key(k);
    if (key && EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA) return nullptr;
    return key;
}

std::string BioText(BIO* bio) {
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    return n > 0 ? std::string(data, static_cast<size_t>(n)) : std::string();
}

bool Sha256(std::string_view bytes, unsigned char out[32]) {
    unsigned int n = 0;
    return EVP_Digest(bytes.data(), bytes.size(), out, &n, EVP_sha256(), nullptr) == 1 && n == 32;
}

bool SetOaep(EVP_PKEY_CTX* ctx) {
    return EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_OAEP_PADDING) > 0 &&
           EVP_PKEY_CTX_set_rsa_oaep_md(ctx, EVP_sha256()) > 0 && EVP_PKEY_CTX_set_rsa_mgf1_md(ctx, EVP_sha256()) > 0;
}

}  // namespace

int GenerateKeys(const std::string& public_key, const std::string& private_key) {
    Key key(EVP_RSA_gen(2048));
    if (!key) return kNotExecuted;
    Bio pub(BIO_new(BIO_s_mem())), prv(BIO_new(BIO_s_mem()));
    if (!pub || !prv || PEM_write_bio_PUBKEY(pub.get(), key.get()) != 1 ||
        PEM_write_bio_PrivateKey(prv.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1)
        return kNotExecuted;
    // The private key is the owner's alone.
    if (!WriteFileAtomically(private_key, BioText(prv.get()))) return kOutputError;
    ::chmod(private_key.c_str(), 0600);
    if (!WriteFileAtomically(public_key, BioText(pub.get()))) return kOutputError;
    return kOk;
}

int AuthenticateText(const std::string& text, const std::string& signed_text, const std::string& public_key) {
    std::string content;
    if (!ReadLimited(text, kMaxText, content)) return kTextFileError;
    Key key = LoadKey(public_key, false);
    if (!key) return kBadKey;
    unsigned char digest[32];
    if (!Sha256(content, digest)) return kNotExecuted;
    Ctx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
    size_t n = 0;
    if (!ctx || EVP_PKEY_encrypt_init(ctx.get()) != 1 || !SetOaep(ctx.get()) ||
        EVP_PKEY_encrypt(ctx.get(), nullptr, &n, digest, sizeof digest) != 1)
        return kBadKey;
    std::string sealed(n, '\0');
    if (EVP_PKEY_encrypt(ctx.get(), reinterpret_cast<unsigned char*>(sealed.data()), &n, digest, sizeof digest) != 1)
        return kBadKey;
    sealed.resize(n);
    return WriteFileAtomically(signed_text, fm::AppendSignature(content, sealed)) ? kOk : kOutputError;
}

int ValidateText(const std::string& signed_text, const std::string& private_key) {
    std::string file;
    if (!ReadLimited(signed_text, kMaxText, file)) return kBadFile;
    Key key = LoadKey(private_key, true);
    if (!key) return kBadKey;
    std::string_view content, sealed;
    if (!fm::SplitSignedFile(file, content, sealed)) return kInvalid;
    Ctx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
    unsigned char digest[512];
    size_t n = sizeof digest;
    if (!ctx || EVP_PKEY_decrypt_init(ctx.get()) != 1 || !SetOaep(ctx.get())) return kBadKey;
    if (EVP_PKEY_decrypt(ctx.get(), digest, &n, reinterpret_cast<const unsigned char*>(sealed.data()),
                         sealed.size()) != 1 || n != 32)
        return kInvalid;
    unsigned char actual[32];
    if (!Sha256(content, actual)) return kNotExecuted;
    return CRYPTO_memcmp(actual, digest, 32) == 0 ? kOk : kInvalid;
}

}  // namespace ordavo::mfd
