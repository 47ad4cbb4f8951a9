#include "fiscalmemory/library/aes_container.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/rand.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "fiscalmemory/library/report_io.h"

namespace ordavo::mfd {

namespace {

// The maker's container secret, which every printer and this library hold.
constexpr unsigned char kSecret[32] = {0x4f, 0x72, 0x64, 0x61, 0x76, 0x6f, 0x2d, 0x58, 0x4d, 0x4c, 0x2d,
                                       0x41, 0x45, 0x53, 0x2d, 0x32, 0x35, 0x36, 0x2d, 0x47, 0x43, 0x4d,
                                       0x9a, 0x3c, 0x51, 0xe7, 0x08, 0xb2, 0x6d, 0xf4, 0x13, 0xc5};
constexpr char kInfo[] = "ORDAVO XML AES-256-GCM ";
constexpr size_t kFixedHead = 8 + 1 + 1;  // magic, version, serial length

bool DeriveKey(const unsigned char* salt, const std::string& serial, unsigned char key[32]) {
    std::unique_ptr<EVP_KDF, decltype(&EVP_KDF_free)> kdf(EVP_KDF_fetch(nullptr, "HKDF", nullptr), EVP_KDF_free);
    if (!kdf) return false;
    std::unique_ptr<EVP_KDF_CTX, decltype(&EVP_KDF_CTX_free)> ctx(EVP_KDF_CTX_new(kdf.get()), EVP_KDF_CTX_free);
    if (!ctx) return false;
    std::string info = kInfo + serial;
    char digest[] = "SHA256";
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY, const_cast<unsigned char*>(kSecret), sizeof kSecret),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, const_cast<unsigned char*>(salt), kAesSaltSize),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_INFO, info.data(), info.size()),
        OSSL_PARAM_construct_end()};
    return EVP_KDF_derive(ctx.get(), key, 32, params) == 1;
}

void PutU64(std::string& out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

}  // namespace

std::string EncryptXmlContainer(std::string_view plain, const std::string& serial_in) {
    std::string serial = serial_in.substr(0, kAesMaxSerial);
    std::string head(kAesMagic, 8);
    head.push_back(1);
    head.push_back(static_cast<char>(serial.size()));
    head += serial;
    unsigned char salt[kAesSaltSize], iv[kAesIvSize], key[32];
    if (RAND_bytes(salt, sizeof salt) != 1 || RAND_bytes(iv, sizeof iv) != 1 || !DeriveKey(salt, serial, key)) return {};
    head.append(reinterpret_cast<char*>(salt), sizeof salt);
    head.append(reinterpret_cast<char*>(iv), sizeof iv);
    PutU64(head, plain.size());
    CipherCtx ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    int n = 0;
    std::string out = head;
    out.resize(head.size() + plain.size() + kAesTagSize);
    unsigned char* o = reinterpret_cast<unsigned char*>(out.data()) + head.size();
    if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key, iv) != 1 ||
        EVP_EncryptUpdate(ctx.get(), nullptr, &n, reinterpret_cast<const unsigned char*>(head.data()),
                          static_cast<int>(head.size())) != 1)
        return {};
    size_t done = 0;
    while (done < plain.size()) {
        int piece = static_cast<int>(std::min<size_t>(plain.size() - done, 1 << 20));
        if (EVP_EncryptUpdate(ctx.get(), o + done, &n, reinterpret_cast<const unsigned char*>(plain.data()) + done,
                              piece) != 1)
            return {};
        done += static_cast<size_t>(n);
    }
    if (EVP_EncryptFinal_ex(ctx.get(), o + done, &n) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kAesTagSize, o + plain.size()) != 1)
        return {};
    return out;
}

int DecryptXmlContainer(const std::string& encrypted, const std::string& output) {
    std::unique_ptr<std::FILE, decltype(&std::fclose)> in(std::fopen(encrypted.c_str(), "rb"), std::fclose);
    if (!in) return kBadFile;
    unsigned char fixed[kFixedHead];
    if (std::fread(fixed, 1, sizeof fixed, in.get()) != sizeof fixed || std::memcmp(fixed, kAesMagic, 8) != 0 ||
        fixed[8] != 1 || fixed[9] > kAesMaxSerial)
        return kBadFile;
    size_t serial_len = fixed[9];
    size_t rest = serial_len + kAesSaltSize + kAesIvSize + 8;
    unsigned char var[kAesMaxSerial + kAesSaltSize + kAesIvSize + 8];
    if (std::fread(var, 1, rest, in.get()) != rest) return kBadFile;
    std::string serial(reinterpret_cast<char*>(var), serial_len);
    const unsigned char* salt = var + serial_len;
    const unsigned char* iv = salt + kAesSaltSize;
    uint64_t length = 0;
    for (int i = 7; i >= 0; --i) length = (length << 8) | iv[kAesIvSize + i];
    // The file must hold exactly the header, the announced content and the tag.
    if (std::fseek(in.get(), 0, SEEK_END) != 0) return kBadFile;
    long long size = std::ftell(in.get());
    long long head_size = static_cast<long long>(kFixedHead + rest);
    if (size < head_size + static_cast<long long>(kAesTagSize) ||
        static_cast<uint64_t>(size - head_size - static_cast<long long>(kAesTagSize)) != length)
        return kBadFile;
    unsigned char tag[kAesTagSize];
    if (std::fseek(in.get(), static_cast<long>(size - static_cast<long long>(kAesTagSize)), SEEK_SET) != 0 ||
        std::fread(tag, 1, sizeof tag, in.get()) != sizeof tag ||
        std::fseek(in.get(), static_cast<long>(head_size), SEEK_SET) != 0)
        return kBadFile;

    unsigned char key[32];
    if (!DeriveKey(salt, serial, key)) return kNotExecuted;
    CipherCtx ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    int n = 0;
    std::string aad(reinterpret_cast<char*>(fixed), sizeof fixed);
    aad.append(reinterpret_cast<char*>(var), rest);
    if (!ctx || EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key, iv) != 1 ||
        EVP_DecryptUpdate(ctx.get(), nullptr, &n, reinterpret_cast<const unsigned char*>(aad.data()),
                          static_cast<int>(aad.size())) != 1)
        return kNotExecuted;
    ReportOutput out;
    if (!out.Create(output)) return kOutputError;
    std::string chunk(64 * 1024, '\0'), plain(64 * 1024 + 32, '\0');
    uint64_t left = length;
    while (left > 0) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
        if (std::fread(chunk.data(), 1, want, in.get()) != want) return kBadFile;
        if (EVP_DecryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(plain.data()), &n,
                              reinterpret_cast<unsigned char*>(chunk.data()), static_cast<int>(want)) != 1)
            return kBadFile;
        out.Write(std::string_view(plain.data(), static_cast<size_t>(n)));
        left -= want;
    }
    // Nothing is kept unless the tag says the whole content is as the printer made it.
    if (EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kAesTagSize, tag) != 1 ||
        EVP_DecryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(plain.data()), &n) != 1)
        return kBadFile;
    return out.Commit() ? kOk : kOutputError;
}

}  // namespace ordavo::mfd
