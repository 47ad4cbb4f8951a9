#include "fiscalmemory/core/journal.h"

#include <cstring>

#include "fiscalmemory/core/le_bytes.h"

namespace ordavo::fm {

using namespace le;

namespace {

enum Tag : unsigned char {
    kTagText = 0x01,
    kTagSerial = 0x02,
    kTagModel = 0x03,
    kTagItem = 0x10,
    kTagPayment = 0x11,
    kTagTotals = 0x20,
    kTagGrandTotal = 0x21,
};

constexpr size_t kFieldMax = 0xFFFF;
constexpr size_t kChunk = 64 * 1024;

void PutField(std::string& body, Tag tag, std::string_view value) {
    body.push_back(static_cast<char>(tag));
    PutU16(body, static_cast<uint32_t>(value.size()));
    body.append(value);
}

// Texts longer than one field go in several fields of the same tag, read back joined.
void PutLongText(std::string& body, Tag tag, std::string_view text) {
    do {
        std::string_view piece = text.substr(0, kFieldMax);
        PutField(body, tag, piece);
        text.remove_prefix(piece.size());
    } while (!text.empty());
}

uint32_t Crc(std::string_view bytes) { return le::Crc32(bytes); }

bool ValidKind(unsigned char k) {
    switch (k) {
        case 'I': case 'F': case 'A': case 'C': case 'N': case 'G': case 'V':
        case 'X': case 'Z': case 'U': case 'M': case 'O':
            return true;
        default:
            return false;
    }
}

bool ParseBody(const unsigned char* p, size_t n, JournalDocument& doc) {
    size_t i = 0;
    while (i < n) {
        if (n - i < 3) return false;
        unsigned char tag = p[i];
        size_t len = GetU16(p + i + 1);
        i += 3;
        if (len > n - i) return false;
        const unsigned char* v = p + i;
        const char* cv = reinterpret_cast<const char*>(v);
        switch (tag) {
            case kTagText: doc.text.append(cv, len); break;
            case kTagSerial: doc.serial.append(cv, len); break;
            case kTagModel: doc.model.append(cv, len); break;
            case kTagItem: {
                if (len < 27) return false;
                JournalItem item;
                item.rate = v[0];
                item.cancelled = (v[1] & 1) != 0;
                item.quantity = GetI64(v + 2);
                item.unit_price = GetI64(v + 10);
                item.total = GetI64(v + 18);
                size_t code_len = v[26];
                if (code_len > len - 27) return false;
                item.code.assign(cv + 27, code_len);
                item.description.assign(cv + 27 + code_len, len - 27 - code_len);
                doc.items.push_back(std::move(item));
                break;
            }
            case kTagPayment: {
                if (len < 9) return false;
                JournalPayment pay;
                pay.method = v[0];
                pay.value = GetI64(v + 1);
                pay.description.assign(cv + 9, len - 9);
                doc.payments.push_back(std::move(pay));
                break;
            }
            case kTagTotals: {
                if (len != 8 * (kJournalRates + 4)) return false;
                doc.has_totals = true;
                for (int r = 0; r < kJournalRates; ++r) doc.rate_totals[r] = GetI64(v + 8 * r);
                doc.exempt = GetI64(v + 8 * kJournalRates);
                doc.discount = GetI64(v + 8 * (kJournalRates + 1));
                doc.surcharge = GetI64(v + 8 * (kJournalRates + 2));
                doc.total = GetI64(v + 8 * (kJournalRates + 3));
                break;
            }
            case kTagGrandTotal:
                if (len != 8) return false;
                doc.grand_total = GetI64(v);
                break;
            default:
                break;  // a field of a later version: skipped
        }
        i += len;
    }
    return true;
}

}  // namespace

std::string JournalDocument::Ddmmyy() const {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d%02d%02d", day % 100, month % 100, year % 100);
    return buf;
}

std::string EncodeDocument(const JournalDocument& doc) {
    std::string body;
    if (!doc.serial.empty()) PutField(body, kTagSerial, std::string_view(doc.serial).substr(0, kFieldMax));
    if (!doc.model.empty()) PutField(body, kTagModel, std::string_view(doc.model).substr(0, kFieldMax));
    if (!doc.text.empty()) PutLongText(body, kTagText, doc.text);
    for (const JournalItem& item : doc.items) {
        std::string v;
        v.push_back(static_cast<char>(item.rate & 0xFF));
        v.push_back(item.cancelled ? 1 : 0);
        PutI64(v, item.quantity);
        PutI64(v, item.unit_price);
        PutI64(v, item.total);
        std::string_view code = std::string_view(item.code).substr(0, 255);
        v.push_back(static_cast<char>(code.size()));
        v.append(code);
        v.append(std::string_view(item.description).substr(0, kFieldMax - v.size()));
        PutField(body, kTagItem, v);
    }
    for (const JournalPayment& pay : doc.payments) {
        std::string v;
        v.push_back(static_cast<char>(pay.method & 0xFF));
        PutI64(v, pay.value);
        v.append(std::string_view(pay.description).substr(0, kFieldMax - v.size()));
        PutField(body, kTagPayment, v);
    }
    if (doc.has_totals) {
        std::string v;
        for (int64_t t : doc.rate_totals) PutI64(v, t);
        PutI64(v, doc.exempt);
        PutI64(v, doc.discount);
        PutI64(v, doc.surcharge);
        PutI64(v, doc.total);
        PutField(body, kTagTotals, v);
    }
    if (doc.grand_total != 0) {
        std::string v;
        PutI64(v, doc.grand_total);
        PutField(body, kTagGrandTotal, v);
    }

    std::string out;
    out.reserve(kRecordHeaderSize + body.size() + kRecordTrailerSize);
    out.push_back(static_cast<char>(kRecordMark));
    out.push_back(static_cast<char>(doc.kind));
    out.push_back(1);  // version
    out.push_back(static_cast<char>(doc.user & 0xFF));
    PutU32(out, doc.coo);
    PutU32(out, doc.crz);
    PutU16(out, static_cast<uint32_t>(doc.year));
    out.push_back(static_cast<char>(doc.month));
    out.push_back(static_cast<char>(doc.day));
    out.push_back(static_cast<char>(doc.hour));
    out.push_back(static_cast<char>(doc.minute));
    out.push_back(static_cast<char>(doc.second));
    out.push_back(static_cast<char>(Crc(out) & 0xFF));  // header check: garbage is passed over cheaply
    PutU32(out, static_cast<uint32_t>(body.size()));
    out += body;
    PutU32(out, Crc(out));
    return out;
}

bool DecodeDocument(std::string_view bytes, JournalDocument& doc, size_t* used) {
    if (bytes.size() < kRecordHeaderSize + kRecordTrailerSize) return false;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
    if (p[0] != kRecordMark || !ValidKind(p[1]) || p[2] != 1) return false;
    if ((Crc(bytes.substr(0, 19)) & 0xFF) != p[19]) return false;
    uint32_t body = GetU32(p + 20);
    if (body > kMaxRecordBody) return false;
    size_t total = kRecordHeaderSize + body + kRecordTrailerSize;
    if (bytes.size() < total) return false;
    int month = p[14], day = p[15], hour = p[16], minute = p[17], second = p[18];
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) return false;
    if (Crc(bytes.substr(0, kRecordHeaderSize + body)) != GetU32(p + kRecordHeaderSize + body)) return false;
    JournalDocument d;
    d.kind = static_cast<DocumentKind>(p[1]);
    d.user = p[3];
    d.coo = GetU32(p + 4);
    d.crz = GetU32(p + 8);
    d.year = static_cast<int>(GetU16(p + 12));
    d.month = month;
    d.day = day;
    d.hour = hour;
    d.minute = minute;
    d.second = second;
    if (!ParseBody(p + kRecordHeaderSize, body, d)) return false;
    doc = std::move(d);
    if (used) *used = total;
    return true;
}

JournalReader::JournalReader(std::string_view bytes) : memory_(bytes) {}

JournalReader::JournalReader(std::FILE* file, long long limit) : file_(file), left_(limit) {}

bool JournalReader::Fill(size_t wanted) {
    if (!file_) return memory_.size() - pos_ >= wanted;
    while (buffer_.size() - pos_ < wanted && !eof_) {
        if (pos_ > 0 && pos_ >= buffer_.size() / 2) {
            buffer_.erase(0, pos_);
            pos_ = 0;
        }
        size_t want = kChunk;
        if (wanted > buffer_.size() - pos_) want = std::max(want, wanted - (buffer_.size() - pos_));
        if (left_ >= 0 && static_cast<unsigned long long>(left_) < want) want = static_cast<size_t>(left_);
        if (want == 0) {
            eof_ = true;
            break;
        }
        size_t old = buffer_.size();
        buffer_.resize(old + want);
        size_t got = std::fread(buffer_.data() + old, 1, want, file_);
        buffer_.resize(old + got);
        if (left_ >= 0) left_ -= static_cast<long long>(got);
        if (got == 0) eof_ = true;
    }
    return buffer_.size() - pos_ >= wanted;
}

bool JournalReader::Next(JournalDocument& doc) {
    for (;;) {
        if (!Fill(1)) return false;
        std::string_view data = file_ ? std::string_view(buffer_) : memory_;
        unsigned char c = static_cast<unsigned char>(data[pos_]);
        if (c == 0xFF) {
            // Erased memory ends the journal; a lone 0xFF in a damaged stretch does not.
            if (!Fill(2)) return false;
            data = file_ ? std::string_view(buffer_) : memory_;
            if (static_cast<unsigned char>(data[pos_ + 1]) == 0xFF) return false;
        }
        if (c == kRecordMark) {
            Fill(kRecordHeaderSize);
            data = file_ ? std::string_view(buffer_) : memory_;
            if (data.size() - pos_ >= kRecordHeaderSize) {
                const unsigned char* p = reinterpret_cast<const unsigned char*>(data.data() + pos_);
                uint32_t body = GetU32(p + 20);
                bool header_checks = (Crc(data.substr(pos_, 19)) & 0xFF) == p[19];
                if (header_checks && body <= kMaxRecordBody) {
                    Fill(kRecordHeaderSize + body + kRecordTrailerSize);
                    data = file_ ? std::string_view(buffer_) : memory_;
                    size_t used = 0;
                    if (DecodeDocument(data.substr(pos_), doc, &used)) {
                        pos_ += used;
                        ++records_;
                        return true;
                    }
                }
            }
        }
        // Not a record here: skip to the next record mark.
        data = file_ ? std::string_view(buffer_) : memory_;
        size_t next = data.find(static_cast<char>(kRecordMark), pos_ + 1);
        size_t stop = next == std::string_view::npos ? data.size() : next;
        // Erased memory inside the skipped stretch ends the journal there.
        size_t ff = data.find("\xFF\xFF", pos_ + 1);
        if (ff != std::string_view::npos && ff < stop) {
            skipped_ += ff - pos_;
            pos_ = ff;
            continue;
        }
        skipped_ += stop - pos_;
        pos_ = stop;
    }
}

int DateKeyFromText(std::string_view t) {
    if (t.size() != 6 && t.size() != 8) return 0;
    for (char ch : t)
        if (ch < '0' || ch > '9') return 0;
    auto num = [&](size_t at, size_t n) {
        int v = 0;
        for (size_t i = 0; i < n; ++i) v = v * 10 + (t[at + i] - '0');
        return v;
    };
    int day = num(0, 2), month = num(2, 2);
    int year = t.size() == 6 ? 2000 + num(4, 2) : num(4, 4);
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return 0;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap) return 0;
    return year * 10000 + month * 100 + day;
}

}  // namespace ordavo::fm
