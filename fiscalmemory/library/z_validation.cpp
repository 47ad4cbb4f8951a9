#include "fiscalmemory/library/z_validation.h"

#include <cctype>

#include "engine/util.h"
#include "fiscalmemory/library/crypto.h"

namespace ordavo::mfd {

namespace {

std::string Hex(uint64_t v, int digits) {
    static const char* hex = "0123456789ABCDEF";
    std::string out(static_cast<size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, v >>= 4) out[static_cast<size_t>(i)] = hex[v & 15];
    return out;
}

uint64_t Cap(int64_t v, int digits) {
    const uint64_t max = digits >= 16 ? ~0ull : (1ull << (4 * digits)) - 1;
    if (v < 0) return 0;
    return static_cast<uint64_t>(v) > max ? max : static_cast<uint64_t>(v);
}

bool HexValue(std::string_view s, uint64_t* v) {
    uint64_t r = 0;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        r = (r << 4) | static_cast<uint64_t>(d);
    }
    *v = r;
    return true;
}

int Dec(std::string_view s) {
    int v = 0;
    for (char c : s) v = v * 10 + (c - '0');
    return v;
}

std::string Money(int64_t cents) {
    const bool neg = cents < 0;
    uint64_t u = neg ? 0 - static_cast<uint64_t>(cents) : static_cast<uint64_t>(cents);
    std::string whole = std::to_string(u / 100);
    std::string grouped;
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i && (whole.size() - i) % 3 == 0) grouped += '.';
        grouped += whole[i];
    }
    return (neg ? "-" : "") + grouped + Format(",%02d", static_cast<int>(u % 100));
}

}  // namespace

std::string ZValidationData(const ZValidation& z) {
    std::string out = "1";
    out += Hex(Cap(z.crz, 4), 4);
    out += Hex(Cap(z.coo, 6), 6);
    out += Format("%02d%02d%02d%02d%02d", z.year % 100, z.month % 100, z.day % 100, z.hour % 100, z.minute % 100);
    out += Hex(Cap(z.day_total, 12), 12);
    out += Hex(Cap(z.cancellations, 12), 12);
    out += Hex(Cap(z.discounts, 12), 12);
    out += Hex(Cap(z.grand_total, 16), 16);
    return out;
}

std::string ZValidationText(const ZValidation& z, EVP_PKEY* key) {
    const std::string data = ZValidationData(z);
    const std::string sig = Sign(key, data);
    if (sig.size() != kZSignatureDigits / 2) return {};
    return data + HexUpper(sig);
}

bool ParseZValidation(std::string_view text, ZValidation* z, std::string* data, std::string* signature) {
    std::string digits;
    for (char c : text) {
        if (c == ' ' || c == '\r' || c == '\n' || c == '\t') continue;
        if (digits.size() >= kZTextDigits) return false;
        digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (digits.size() != kZTextDigits || digits[0] != '1') return false;
    uint64_t v[8];
    static constexpr size_t kAt[] = {1, 5, 11, 21, 33, 45, 57, 73};
    for (int i = 0; i < 7; ++i) {
        if (i == 2) continue;  // the date, read below
        if (!HexValue(std::string_view(digits).substr(kAt[i], kAt[i + 1] - kAt[i]), &v[i])) return false;
    }
    const std::string_view when = std::string_view(digits).substr(11, 10);
    for (char c : when)
        if (c < '0' || c > '9') return false;
    ZValidation r;
    r.crz = static_cast<int>(v[0]);
    r.coo = static_cast<int>(v[1]);
    r.year = 2000 + Dec(when.substr(0, 2));
    r.month = Dec(when.substr(2, 2));
    r.day = Dec(when.substr(4, 2));
    r.hour = Dec(when.substr(6, 2));
    r.minute = Dec(when.substr(8, 2));
    if (r.month < 1 || r.month > 12 || r.day < 1 || r.day > 31 || r.hour > 23 || r.minute > 59) return false;
    r.day_total = static_cast<int64_t>(v[3]);
    r.cancellations = static_cast<int64_t>(v[4]);
    r.discounts = static_cast<int64_t>(v[5]);
    uint64_t grand = 0;
    if (!HexValue(std::string_view(digits).substr(57, 16), &grand)) return false;
    r.grand_total = static_cast<int64_t>(grand & 0x7FFFFFFFFFFFFFFFull);
    std::string sig;
    for (size_t i = kZDataDigits; i < kZTextDigits; i += 2) {
        uint64_t b = 0;
        if (!HexValue(std::string_view(digits).substr(i, 2), &b)) return false;
        sig += static_cast<char>(b);
    }
    if (z) *z = r;
    if (data) *data = digits.substr(0, kZDataDigits);
    if (signature) *signature = std::move(sig);
    return true;
}

int CheckZValidation(std::string_view text, EVP_PKEY* key, ZValidation* z) {
    std::string data, sig;
    if (!ParseZValidation(text, z, &data, &sig)) return 17;
    return Verify(key, data, sig) ? 0 : 255;
}

std::string ZVerdict(const ZValidation& z) {
    return Format("Reducci\xF3n Z N\xBA %04d v\xE1lida\r\n", z.crz) +
           Format("Fecha: %02d/%02d/%04d %02d:%02d\r\n", z.day, z.month, z.year, z.hour, z.minute) +
           Format("COO: %06d\r\n", z.coo) + "Venta del d\xED" "a: " + Money(z.day_total) + "\r\n" +
           "Anulaciones: " + Money(z.cancellations) + "\r\n" + "Descuentos: " + Money(z.discounts) + "\r\n" +
           "Gran total: " + Money(z.grand_total) + "\r\n" +
           "Firmada por la impresora de esta clave p\xFA" "blica.";
}

}  // namespace ordavo::mfd
