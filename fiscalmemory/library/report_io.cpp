#include "fiscalmemory/library/report_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "fiscalmemory/core/audit_file.h"
#include "fiscalmemory/core/signed_file.h"
#include "engine/util.h"

namespace ordavo::mfd {

// ------------------------------------------------------------------------------ selection

bool Selection::Matches(const fm::JournalDocument& doc) const {
    switch (kind) {
        case kAll: return true;
        case kCoo: return doc.user == user && doc.coo >= first && doc.coo <= last;
        case kDate: {
            int key = doc.DateKey();
            return key >= first_date && key <= last_date;
        }
    }
    return false;
}

std::string Selection::Describe() const {
    switch (kind) {
        case kCoo: return Format("COO %06ld a %06ld usuario %03d", first, last, user);
        case kDate: return "fecha " + DateKeyText(first_date) + " a " + DateKeyText(last_date);
        case kAll: break;
    }
    return "todo";
}

int SelectByCoo(int user, long first, long last, Selection& out) {
    if (user < 1 || user > 255) return kBadUser;
    if (first < 0 || last < 0 || first > 999999 || last > 999999) return kBadCoo;
    if (first > last) return kCooOrder;
    out = Selection{};
    out.kind = Selection::kCoo;
    out.user = user;
    out.first = first;
    out.last = last;
    return kOk;
}

int SelectByDate(const char* first, const char* last, Selection& out) {
    if (!first || !last) return kSyntax;
    int a = fm::DateKeyFromText(first), b = fm::DateKeyFromText(last);
    if (a == 0 || b == 0) return kBadDate;
    if (a > b) return kDateOrder;
    out = Selection{};
    out.kind = Selection::kDate;
    out.first_date = a;
    out.last_date = b;
    return kOk;
}

// ------------------------------------------------------------------------------ audit source

AuditSource::~AuditSource() {
    reader_.reset();
    if (file_) std::fclose(file_);
}

int AuditSource::Open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) return kBadFile;
    std::string head(fm::kAuditHeadSize, '\0');
    if (std::fread(head.data(), 1, head.size(), file_) != head.size() || !fm::CheckAuditHead(head))
        return kBadFile;
    if (std::fseek(file_, 0, SEEK_END) != 0) return kBadFile;
    long long size = std::ftell(file_);
    if (size < static_cast<long long>(fm::kAuditHeadSize)) return kBadFile;
    long long content = size;
    // A signed file: the signature block is not journal.
    if (size >= static_cast<long long>(fm::kAuditHeadSize + fm::kSignatureTrailerSize)) {
        char trailer[fm::kSignatureTrailerSize];
        if (std::fseek(file_, static_cast<long>(size - fm::kSignatureTrailerSize), SEEK_SET) == 0 &&
            std::fread(trailer, 1, sizeof trailer, file_) == sizeof trailer &&
            std::memcmp(trailer + 8, fm::kSignatureMagic, 4) == 0) {
            auto u32 = [&](int at) {
                const unsigned char* p = reinterpret_cast<const unsigned char*>(trailer + at);
                return static_cast<long long>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
            };
            long long c = u32(0), s = u32(4);
            if (s > 0 && c + s + static_cast<long long>(fm::kSignatureTrailerSize) == size &&
                c >= static_cast<long long>(fm::kAuditHeadSize)) {
                signed_ = true;
                content = c;
            }
        }
    }
    if (std::fseek(file_, static_cast<long>(fm::kAuditHeadSize), SEEK_SET) != 0) return kBadFile;
    journal_size_ = content - static_cast<long long>(fm::kAuditHeadSize);
    reader_ = std::make_unique<fm::JournalReader>(file_, journal_size_);
    // The identity record opens the journal; a capture that lost it has no serial number.
    if (!reader_->Next(first_)) return kNoSerial;
    if (first_.kind != fm::DocumentKind::kIdentity) {
        pending_ = true;
        return kNoSerial;
    }
    serial_ = first_.serial;
    model_ = first_.model;
    return serial_.empty() ? kNoSerial : kOk;
}

bool AuditSource::Next(fm::JournalDocument& doc) {
    if (!reader_) return false;
    if (pending_) {
        pending_ = false;
        doc = std::move(first_);
        return true;
    }
    return reader_->Next(doc);
}

// ------------------------------------------------------------------------------ output

std::string TempPathBeside(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    return dir + "." + base + ".part" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
}

bool PublishTemp(const std::string& temp, const std::string& path) {
    int fd = ::open(temp.c_str(), O_RDONLY | O_CLOEXEC);
    bool ok = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

// ------------------------------------------------------------------------------ texts

void AppendMoney(std::string& out, int64_t cents) {
    uint64_t v = cents < 0 ? 0 - static_cast<uint64_t>(cents) : static_cast<uint64_t>(cents);
    char buf[32];
    int n = 0;
    uint64_t units = v / 100;
    unsigned frac = static_cast<unsigned>(v % 100);
    buf[n++] = static_cast<char>('0' + frac % 10);
    buf[n++] = static_cast<char>('0' + frac / 10);
    buf[n++] = '.';
    do {
        buf[n++] = static_cast<char>('0' + units % 10);
        units /= 10;
    } while (units);
    if (cents < 0) buf[n++] = '-';
    while (n) out.push_back(buf[--n]);
}

// Text for an XML attribute or element in Windows-1252: markup characters escaped, bytes that
// XML 1.0 cannot carry (controls other than tab, CR, LF) and the five code points that
// Windows-1252 leaves undefined become "?".
void AppendXmlEscaped(std::string& out, std::string_view text) {
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\r': out += "&#13;"; break;
            case 0x81: case 0x8D: case 0x8F: case 0x90: case 0x9D: out.push_back('?'); break;
            default:
                if (c < 0x20 && c != '\t' && c != '\n')
                    out.push_back('?');
                else
                    out.push_back(ch);
        }
    }
}

std::string XmlEscaped(std::string_view text) {
    std::string s;
    AppendXmlEscaped(s, text);
    return s;
}

std::string Money(int64_t cents) {
    std::string s;
    AppendMoney(s, cents);
    return s;
}

std::string DateText(int year, int month, int day) { return Format("%02d/%02d/%04d", day, month, year); }
std::string TimeText(int hour, int minute, int second) { return Format("%02d:%02d:%02d", hour, minute, second); }
std::string DateKeyText(int key) { return DateText(key / 10000, key / 100 % 100, key % 100); }

const char* KindName(fm::DocumentKind kind) {
    using K = fm::DocumentKind;
    switch (kind) {
        case K::kIdentity: return "IDENTIFICACION";
        case K::kReceipt: return "CUPON FISCAL";
        case K::kCancelled: return "ANULACION";
        case K::kCreditNote: return "BOLETA DE CR\xC9" "DITO O D\xC9" "BITO";
        case K::kNonFiscal: return "NO FISCAL";
        case K::kManagement: return "INFORME GERENCIAL";
        case K::kLinked: return "COMPROBANTE VINCULADO";
        case K::kReadingX: return "LECTURA X";
        case K::kReductionZ: return "REDUCCI\xD3N Z";
        case K::kUserChange: return "ALTERACI\xD3N DE USUARIO";
        case K::kFiscalReading: return "LECTURA MEMORIA FISCAL";
        case K::kOther: break;
    }
    return "OTRO";
}

std::string PadRight(std::string_view text, size_t width) {
    std::string s(text.substr(0, width));
    s.resize(width, ' ');
    return s;
}

std::string PadLeft(std::string_view text, size_t width) {
    if (text.size() >= width) return std::string(text.substr(text.size() - width));
    return std::string(width - text.size(), ' ') + std::string(text);
}

int LoadFiscalMemory(const std::string& path, fm::FiscalMemory& mf) {
    struct stat st;
    // Far beyond any fiscal memory: a file this big is not one, and is not read into memory.
    constexpr off_t kMaxSize = 64 << 20;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxSize) return kBadFile;
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return kBadFile;
    std::string_view content = bytes, signature;
    if (!fm::DecodeFiscalMemory(content, mf)) {
        if (!fm::SplitSignedFile(bytes, content, signature) || !fm::DecodeFiscalMemory(content, mf)) return kBadFile;
    }
    return kOk;
}

long ParseDigits(std::string_view text, size_t max_digits) {
    if (text.empty() || text.size() > max_digits) return -1;
    long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

}  // namespace ordavo::mfd
