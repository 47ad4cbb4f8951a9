// The fiscal-memory download commands (escape 3E 60 nn): the printer's identity, the speed
// switch, the preparation of a download (fiscal memory, audit memory, software image, public
// key, signed texts, audit sectors by address), its numbered blocks with their CRC-32, its
// signature, and its end. docs/fiscal-memory-protocol.md describes them; this is the printer's
// side, written from that description.
#include <zlib.h>

#include <algorithm>

#include "engine/util.h"
#include "fiscalmemory/core/audit_file.h"
#include "fiscalmemory/core/mf_file.h"
#include "fiscalmemory/library/crypto.h"
#include "fiscalmemory/library/z_validation.h"
#include "sim/commands.h"
#include "sim/cp850.h"
#include "sim/journal.h"
#include "sim/reports.h"

namespace ordavo::sim {

namespace {

constexpr uint32_t kBlockSize = 4096;
constexpr size_t kSoftwareSize = 32 * 1024;
constexpr uint32_t kSignatureNumber = 0xFFFFFFFFu;

// Reasons of a refused preparation.
enum Reason : uint8_t { kOk = 0, kContent = 1, kRangeKind = 2, kFirst = 3, kLast = 4, kOrder = 5, kUser = 6, kEmpty = 7 };

void Le32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>((v >> (8 * i)) & 0xFF));
}
uint32_t GetLe32(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(s[at + static_cast<size_t>(i)]);
    return v;
}

// What the journal record's header says (fiscalmemory/core/journal.h layout).
int RecordUser(const std::string& r) { return static_cast<uint8_t>(r[3]); }
uint32_t RecordCoo(const std::string& r) { return GetLe32(r, 4); }
int RecordDate(const std::string& r) {
    const int year = static_cast<uint8_t>(r[12]) | (static_cast<uint8_t>(r[13]) << 8);
    return year * 10000 + static_cast<uint8_t>(r[14]) * 100 + static_cast<uint8_t>(r[15]);
}

std::string Windows(const std::string& printer_text) {
    std::string t = FromPrinter(printer_text);
    ReplaceAll(t, "\n", "\r\n");
    return t;
}

// 32 KiB of program as a real printer's flash would hold, the same for the same firmware.
std::string SoftwareImage(const PrinterState& s) {
    std::string image(kSoftwareSize, '\0');
    uint32_t x = crc32(0L, reinterpret_cast<const Bytef*>(s.firmware.data()), static_cast<uInt>(s.firmware.size()));
    for (char& c : image) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    return image;
}

// The ".bin" file: header, image, SHA-256 of the image.
std::string BasicSoftwareFile(const PrinterState& s) {
    std::string h(64, '\0');
    h.replace(0, 8, "ORDAVOSB");
    h[8] = 1;
    const uint32_t n = static_cast<uint32_t>(s.basic_software.size());
    for (int i = 0; i < 4; ++i) h[12 + i] = static_cast<char>((n >> (8 * i)) & 0xFF);
    h.replace(16, std::min<size_t>(s.model.size(), 20), s.model.substr(0, 20));
    h.replace(36, std::min<size_t>(s.firmware.size(), 8), s.firmware.substr(0, 8));
    const uint32_t crc = crc32(0L, reinterpret_cast<const Bytef*>(h.data()), 60);
    for (int i = 0; i < 4; ++i) h[60 + i] = static_cast<char>((crc >> (8 * i)) & 0xFF);
    return h + s.basic_software + mfd::Sha256(s.basic_software);
}

std::string PublicKeyFile(const PrinterState& s) {
    return mfd::PublicKeyPem(s.rsa_key) + mfd::PublicKeyPem(s.z_key);
}

std::string FiscalMemoryFile(const PrinterState& s) {
    fm::FiscalMemory mf;
    mf.serial = s.serial.substr(0, 24);
    mf.model = s.model.substr(0, 20);
    for (const ZRecord& z : s.fiscal_memory) {
        fm::ZReduction r;
        r.crz = static_cast<uint32_t>(z.crz);
        r.coo = static_cast<uint32_t>(z.coo);
        const Clock c = Split(z.when);
        r.year = c.year, r.month = c.month, r.day = c.day, r.hour = c.hour, r.minute = c.minute, r.second = c.second;
        r.grand_total = z.grand_total;
        r.day_total = z.day_total;
        r.cancellations = z.cancellations;
        r.discounts = z.discounts;
        r.surcharges = z.surcharges;
        r.exempt = z.exempt;
        r.rate_totals = z.rate_totals;
        mf.reductions.push_back(r);
    }
    return fm::EncodeFiscalMemory(mf);
}

// Sectors first..last-1 of the audit memory's address space.
std::string AddressSectors(const PrinterState& s, uint64_t first, uint64_t last) {
    std::string out;
    for (uint64_t a = first; a < last && a < 6; ++a) {
        if (a < 4) out.append(fm::kAuditBlankSize / 4, '\xFF');
        const std::string block = fm::AuditBlock(a == 4 ? 0 : 1);
        if (a >= 4)
            for (int i = 0; i < 3; ++i) out += block;
        if (a == 5) out += IdentityRecord(s);
    }
    const uint64_t n = s.journal.size();
    uint64_t k = first <= 6 ? 0 : (first - 6 + 15) / 16;
    for (; k < n && 6 + 16 * k < last; ++k) out += s.journal[k];
    return out;
}

bool DateKey8(const std::string& v, int* key) {
    int d, m, y;
    if (!ValidDate(v, true, &d, &m, &y)) return false;
    *key = y * 10000 + m * 100 + d;
    return true;
}

struct Range {
    char kind = '0';
    int64_t lo = 0, hi = 0;  // numbers, or YYYYMMDD keys
};

uint8_t ReadRange(const std::string& v, Range* r) {
    r->kind = v[1];
    const std::string first = v.substr(2, 8), last = v.substr(10, 8);
    if (r->kind == '0') return kOk;
    if (r->kind == '1') {
        int a, b;
        if (!DateKey8(first, &a)) return kFirst;
        if (!DateKey8(last, &b)) return kLast;
        r->lo = a, r->hi = b;
    } else if (r->kind == '2' || r->kind == '3') {
        if (!AllDigits(first)) return kFirst;
        if (!AllDigits(last)) return kLast;
        r->lo = std::stoll(first), r->hi = std::stoll(last);
    } else {
        return kRangeKind;
    }
    return r->lo > r->hi ? kOrder : kOk;
}

std::string AuditContent(const PrinterState& s, const Range& r, int user, bool* empty) {
    std::string out = IdentityRecord(s);
    size_t n = 0;
    for (const std::string& rec : s.journal) {
        if (r.kind == '1' && (RecordDate(rec) < r.lo || RecordDate(rec) > r.hi)) continue;
        if (r.kind == '2' && (RecordCoo(rec) < r.lo || RecordCoo(rec) > r.hi || RecordUser(rec) != user)) continue;
        out += rec;
        ++n;
    }
    *empty = n == 0;
    return out;
}

std::string TransactionsText(const Printer& p, const Range& r, bool complete) {
    const PrinterState& s = p.state();
    std::string out = DocumentHead(p, complete ? "INFORME DE TRANSACCIONES" : "INFORME DE TRANSACCIONES SIMPL.");
    out += Columns("SERIAL", s.serial);
    out += r.kind == '1' ? Columns(Format("DESDE %02d/%02d/%04d", int(r.lo % 100), int(r.lo / 100 % 100), int(r.lo / 10000)),
                                   Format("HASTA %02d/%02d/%04d", int(r.hi % 100), int(r.hi / 100 % 100), int(r.hi / 10000)))
                         : Columns(Format("DESDE COO %06lld", static_cast<long long>(r.lo)),
                                   Format("HASTA COO %06lld", static_cast<long long>(r.hi)));
    out += Rule();
    int n = 0;
    int64_t sum = 0;
    for (const AuditRecord& a : s.audit_memory) {
        const Clock c = Split(a.when);
        const int64_t key = r.kind == '1' ? c.year * 10000 + c.month * 100 + c.day : a.coo;
        if (key < r.lo || key > r.hi) continue;
        ++n;
        sum += a.total;
        out += Columns(Format("%06d %s", a.coo, a.kind.c_str()), Money(a.total));
        if (complete)
            out += Format("  %02d/%02d/%04d %02d:%02d:%02d\n", c.day, c.month, c.year, c.hour, c.minute, c.second);
    }
    if (n == 0) out += Centred("SIN TRANSACCIONES EN EL RANGO");
    out += Rule();
    out += Columns(Format("TRANSACCIONES: %d", n), Money(sum));
    return out;
}

// The block answer: number, length, bytes, CRC-32 of the three. A block of one byte repeated
// (erased memory) goes as its length with bit 15 set and that byte once.
Bytes BlockData(uint32_t number, std::string_view bytes) {
    Bytes d;
    Le32(d, number);
    const bool fill = bytes.size() > 16 && bytes.find_first_not_of(bytes[0]) == std::string_view::npos;
    AppendLe16(d, static_cast<int>(bytes.size() | (fill ? 0x8000 : 0)));
    if (fill)
        d.push_back(static_cast<uint8_t>(bytes[0]));
    else
        d.insert(d.end(), bytes.begin(), bytes.end());
    const uint32_t crc = crc32(0L, d.data(), static_cast<uInt>(d.size()));
    Le32(d, crc);
    return d;
}

void Identity(Printer& p, const Request&, Answer& a) {
    const PrinterState& s = p.state();
    a.data = FixedText(s.serial, 24);
    Append(a.data, FixedText(s.model, 20));
    Append(a.data, FixedText("0100", 4));
    a.read_only = true;
}

void SetSpeed(Printer& p, const Request& r, Answer& a) {
    const int64_t baud = r.Number(0);
    if (baud != 9600 && baud != 19200 && baud != 38400 && baud != 57600 && baud != 115200)
        return Printer::Fail(a, rc::kNotDone, "speeds: 9600, 19200, 38400, 57600, 115200");
    p.next_baud = static_cast<int>(baud);
    a.note = "the line goes to " + std::to_string(baud) + " baud after this answer";
    a.read_only = true;
}

void OpenDownload(Printer& p, const Request& req, Answer& a) {
    const std::string v = req.Raw(0);
    PrinterState& s = p.state();
    Printer::Download& d = p.download;
    d = Printer::Download();
    Range range;
    uint8_t reason = ReadRange(v, &range);
    const char content = v[0];
    const int user = AllDigits(v.substr(18, 3)) ? std::stoi(v.substr(18, 3)) : -1;
    const bool simplified = v[21] == 'r';
    const bool sign = v[22] == '1';
    bool signable = false, made = false;
    auto whole_only = [&] {
        if (reason == kOk && range.kind != '0') reason = kRangeKind;
    };
    if (reason == kOk || content == 'F' || content == 'S' || content == 'K' || content == 'X') {
        switch (content) {
            case 'F':
                reason = kOk;
                whole_only();
                d.content = FiscalMemoryFile(s);
                signable = true;
                break;
            case 'S':
                reason = kOk;
                whole_only();
                made = EnsureDownloadAssets(s, false);
                d.content = BasicSoftwareFile(s);
                break;
            case 'K':
                reason = kOk;
                whole_only();
                made = EnsureDownloadAssets(s, true);
                d.content = PublicKeyFile(s);
                break;
            case 'X':
                reason = kOk;
                whole_only();
                d.content = Windows(DayReport(p, false));
                signable = true;
                break;
            case 'A': {
                if (range.kind == '3') {
                    reason = kRangeKind;
                    break;
                }
                if (range.kind == '2' && (user < 1 || user > 255)) {
                    reason = kUser;
                    break;
                }
                bool empty = false;
                d.content = AuditContent(s, range, user, &empty);
                if (empty && range.kind != '0') reason = kEmpty;
                signable = true;
                break;
            }
            case 'L':
                if (range.kind != '1' && range.kind != '2') {
                    reason = kRangeKind;
                    break;
                }
                d.content = Windows(FiscalMemoryText(
                    p, range.kind == '1',
                    range.kind == '1' ? DayNumber(Join({int(range.lo / 10000), int(range.lo / 100 % 100), int(range.lo % 100), 0, 0, 0}))
                                      : range.lo,
                    range.kind == '1' ? DayNumber(Join({int(range.hi / 10000), int(range.hi / 100 % 100), int(range.hi % 100), 0, 0, 0}))
                                      : range.hi,
                    !simplified));
                signable = true;
                break;
            case 'T':
                if (range.kind != '1' && range.kind != '2') {
                    reason = kRangeKind;
                    break;
                }
                d.content = Windows(TransactionsText(p, range, !simplified));
                signable = true;
                break;
            case 'P':
            case 'Q': {
                if (range.kind != '3') {
                    reason = kRangeKind;
                    break;
                }
                const uint64_t lo = static_cast<uint64_t>(range.lo), hi = static_cast<uint64_t>(range.hi);
                if (content == 'P') {
                    d.content = AddressSectors(s, lo, hi);
                } else {
                    // The end of the range: the erased tail, then the signature block over the
                    // whole file the parts make (initial sectors, the range, the tail).
                    made = EnsureDownloadAssets(s, true);
                    std::string whole = AddressSectors(s, 0, 6) + AddressSectors(s, std::max<uint64_t>(lo, 6), hi);
                    whole.append(fm::kAuditTailSize, '\xFF');
                    mfd::Pkey key = mfd::ReadPrivateKey(s.rsa_key);
                    const std::string sig = mfd::Sign(key.get(), whole);
                    Bytes trailer;
                    Le32(trailer, static_cast<uint32_t>(whole.size()));
                    Le32(trailer, static_cast<uint32_t>(sig.size()));
                    d.content.assign(fm::kAuditTailSize, '\xFF');
                    d.content += sig;
                    d.content.append(trailer.begin(), trailer.end());
                    d.content += "OSIG";
                }
                break;
            }
            default:
                reason = kContent;
        }
    }
    if (reason == kOk && sign && signable) {
        made = EnsureDownloadAssets(s, true) || made;
        mfd::Pkey key = mfd::ReadPrivateKey(s.rsa_key);
        // The printer signs the file as it is kept: audit journals inside their frame.
        d.signature = mfd::Sign(key.get(), content == 'A' ? fm::BuildAuditFile(d.content) : d.content);
    }
    if (reason == kOk && p.corrupt_download >= 0 && static_cast<size_t>(p.corrupt_download) < d.content.size()) {
        d.content[static_cast<size_t>(p.corrupt_download)] ^= 0x5A;
        a.note = "byte " + std::to_string(p.corrupt_download) + " of the download changed after signing";
    }
    d.open = reason == kOk;
    const uint32_t size = reason == kOk ? static_cast<uint32_t>(d.content.size()) : 0;
    a.data = {reason, static_cast<uint8_t>(d.signature.empty() ? 0 : 1)};
    AppendLe16(a.data, static_cast<int>(d.block_size));
    Le32(a.data, size);
    Le32(a.data, (size + d.block_size - 1) / d.block_size);
    AppendLe16(a.data, static_cast<int>(d.signature.size()));
    AppendLe16(a.data, 0);
    if (reason != kOk) {
        a.st2 |= 0x01;
        a.note = "download refused, reason " + std::to_string(reason);
        d.content.clear();
    }
    a.read_only = !made;
}

void ReadBlock(Printer& p, const Request& r, Answer& a) {
    const Printer::Download& d = p.download;
    const uint32_t number = static_cast<uint32_t>(r.Number(0));
    const uint64_t at = uint64_t{number} * d.block_size;
    a.read_only = true;
    if (!d.open || at >= d.content.size()) {
        Printer::Fail(a, rc::kNotDone, d.open ? "no such block" : "no download prepared");
        a.data = BlockData(number, {});
        return;
    }
    a.data = BlockData(number, std::string_view(d.content).substr(static_cast<size_t>(at), d.block_size));
}

void Signature(Printer& p, const Request&, Answer& a) {
    a.read_only = true;
    if (!p.download.open || p.download.signature.empty()) {
        Printer::Fail(a, rc::kNotDone, "no signed download prepared");
        a.data = BlockData(kSignatureNumber, {});
        return;
    }
    a.data = BlockData(kSignatureNumber, p.download.signature);
}

void CloseDownload(Printer& p, const Request&, Answer& a) {
    p.download = Printer::Download();
    if (p.line_baud != 9600) p.next_baud = 9600;
    a.read_only = true;
}

}  // namespace

int64_t AuditAddress(int64_t index) { return 6 + 16 * index; }

int DateKeyOfDay(int64_t day) {
    const Clock c = Split(day * 86400);
    return c.year * 10000 + c.month * 100 + c.day;
}

bool JournalDateSpan(const PrinterState& s, int lo, int hi, int64_t* first, int64_t* last) {
    *first = *last = -1;
    for (size_t i = 0; i < s.journal.size(); ++i) {
        const int key = RecordDate(s.journal[i]);
        if (key < lo || key > hi) continue;
        if (*first < 0) *first = static_cast<int64_t>(i);
        *last = static_cast<int64_t>(i);
    }
    return *first >= 0;
}

bool EnsureDownloadAssets(PrinterState& s, bool rsa) {
    bool made = false;
    if (s.basic_software.empty()) s.basic_software = SoftwareImage(s), made = true;
    if (s.z_key.empty()) s.z_key = mfd::GenerateEd25519Key(), made = true;
    if (rsa && s.rsa_key.empty()) s.rsa_key = mfd::GenerateRsaKey(2048), made = true;
    return made;
}

std::string ZValidationLines(Printer& p, const ZRecord& z) {
    PrinterState& s = p.state();
    EnsureDownloadAssets(s, false);
    mfd::ZValidation v;
    v.crz = z.crz;
    v.coo = z.coo;
    const Clock c = Split(z.when);
    v.year = c.year, v.month = c.month, v.day = c.day, v.hour = c.hour, v.minute = c.minute;
    v.day_total = z.day_total;
    v.cancellations = z.cancellations;
    v.discounts = z.discounts;
    v.grand_total = z.grand_total;
    mfd::Pkey key = mfd::ReadPrivateKey(s.z_key);
    const std::string text = mfd::ZValidationText(v, key.get());
    if (text.empty()) return {};
    std::string out = Centred("VALIDACI\xD3N Z");  // printer bytes already
    for (size_t i = 0; i < text.size(); i += kColumns) out += text.substr(i, kColumns) + "\n";
    return out;
}

void AddDownloadCommands(std::vector<CommandDef>& t) {
    t.push_back({E({0x3E, 0x60, 0x01}), "download identity", {}, Shape::kFixed,
                 {F("ASCII", 24), F("ASCII", 20), F("ASCII", 4)}, 0, Identity});
    t.push_back({E({0x3E, 0x60, 0x02}), "download speed", {{P("INTEGER", 6)}}, Shape::kFixed, {}, 0, SetSpeed});
    t.push_back({E({0x3E, 0x60, 0x03}), "prepare a download", {{P("STRING", 23)}}, Shape::kFixed,
                 {F("BINARIO", 16)}, 0, OpenDownload});
    t.push_back({E({0x3E, 0x60, 0x04}), "download block", {{P("INTEGER", 8)}}, Shape::kFixed, {}, kVariableAnswer,
                 ReadBlock});
    t.push_back({E({0x3E, 0x60, 0x05}), "download signature", {}, Shape::kFixed, {}, kVariableAnswer, Signature});
    t.push_back({E({0x3E, 0x60, 0x06}), "end of download", {}, Shape::kFixed, {}, 0, CloseDownload});
}

}  // namespace ordavo::sim
