// The printer's journal: what its audit memory holds, one record per printed document, with the
// document's text as printed and its figures. Downloads of the audit memory, the PDF-417
// capture and the bitmap decoding all carry these bytes; the conversions read them.
// docs/file-formats.md gives the byte layout.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace ordavo::fm {

constexpr int kJournalRates = 16;
constexpr unsigned char kRecordMark = 0x1E;
constexpr size_t kRecordHeaderSize = 24;
constexpr size_t kRecordTrailerSize = 4;          // CRC-32
constexpr uint32_t kMaxRecordBody = 1u << 20;     // a document's body never reaches 1 MiB

enum class DocumentKind : char {
    kIdentity = 'I',       // the printer's serial number and model, first record of a journal
    kReceipt = 'F',        // fiscal receipt
    kCancelled = 'A',      // cancellation of the last receipt
    kCreditNote = 'C',     // "BOLETA DE CRÉDITO O DÉBITO"
    kNonFiscal = 'N',      // non-fiscal receipt
    kManagement = 'G',     // management report
    kLinked = 'V',         // linked credit or debit voucher
    kReadingX = 'X',
    kReductionZ = 'Z',
    kUserChange = 'U',     // "ALTERACIÓN DE USUARIO"
    kFiscalReading = 'M',  // reading of the fiscal memory
    kOther = 'O',
};

struct JournalItem {
    std::string code, description;  // Windows-1252
    int rate = 0;                   // 1..16, 0 exempt
    int64_t quantity = 0;           // thousandths
    int64_t unit_price = 0;         // cents
    int64_t total = 0;              // cents, after its discount or surcharge
    bool cancelled = false;
};

struct JournalPayment {
    int method = 0;           // 1..20
    std::string description;  // Windows-1252
    int64_t value = 0;        // cents
};

struct JournalDocument {
    DocumentKind kind = DocumentKind::kOther;
    uint32_t coo = 0;  // document counter
    uint32_t crz = 0;  // reduction counter when printed (the reduction's own number for a Z)
    int user = 1;      // 1..255
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    std::string text;  // as printed: Windows-1252, CR LF after every line

    // Identity record.
    std::string serial, model;

    std::vector<JournalItem> items;
    std::vector<JournalPayment> payments;
    bool has_totals = false;
    std::array<int64_t, kJournalRates> rate_totals{};  // cents, by rate
    int64_t exempt = 0, discount = 0, surcharge = 0, total = 0;
    int64_t grand_total = 0;  // reductions and readings: the printer's grand total

    // DDMMYY and YYYYMMDD of its date, for ranges.
    std::string Ddmmyy() const;
    int DateKey() const { return year * 10000 + month * 100 + day; }
};

// One record's bytes.
std::string EncodeDocument(const JournalDocument& doc);

// Reads records from a journal. A damaged or missing stretch (a bad CRC, a lost symbol of a
// capture, garbage) is skipped up to the next record that checks; erased memory (0xFF) where a
// record would start ends the journal.
class JournalReader {
public:
    // Over bytes in memory (not copied: they must outlive the reader).
    explicit JournalReader(std::string_view bytes);
    explicit JournalReader(std::string&& temporary) = delete;  // the bytes would be gone at once
    // Over an open file, from its current position, up to `limit` bytes (all when negative),
    // through a buffer of bounded size.
    JournalReader(std::FILE* file, long long limit);

    bool Next(JournalDocument& doc);
    // Bytes skipped because they did not form a record that checks.
    uint64_t skipped() const { return skipped_; }
    uint64_t records() const { return records_; }

private:
    bool Fill(size_t wanted);  // at least `wanted` bytes from pos_, when the input has them
    std::string_view memory_;
    std::FILE* file_ = nullptr;
    long long left_ = 0;
    std::string buffer_;
    size_t pos_ = 0;
    bool eof_ = false;
    uint64_t skipped_ = 0, records_ = 0;
};

// Decodes one record at the start of `bytes`; the record's size in `used`. False when the
// bytes there are not a whole record that checks.
bool DecodeDocument(std::string_view bytes, JournalDocument& doc, size_t* used);

// Date texts: "DDMMYY" (years 00..99 are 2000..2099) and "DDMMYYYY" to a YYYYMMDD key; 0 when
// not a valid date.
int DateKeyFromText(std::string_view ddmmyy_or_ddmmyyyy);

}  // namespace ordavo::fm
