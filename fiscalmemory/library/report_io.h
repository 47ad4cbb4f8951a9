// What every conversion of the fiscal-memory library shares: reading an audit file (".mra",
// ".mpk", ".mfd") record by record in bounded memory, choosing the documents of a range, writing
// an output file that appears whole or not at all, and the number and date texts of reports.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "fiscalmemory/core/journal.h"
#include "fiscalmemory/core/mf_file.h"
#include "fiscalmemory/library/output_file.h"

namespace ordavo::mfd {

// Result codes of the library (talvmfd.h).
enum Code : int {
    kOk = 0,
    kNoSerial = 2,
    kBadDate = 3,
    kTextFileError = 4,
    kDatabaseError = 5,
    kNoValidData = 6,
    kNotExecuted = 7,
    kNoAnswer = 8,
    kSyntax = 9,
    kBadPort = 10,
    kBadKind = 11,
    kDateOrder = 12,
    kBadCoo = 13,
    kBadUser = 14,
    kCooOrder = 15,
    kNoMemory = 16,
    kBadFile = 17,
    kSerialPortError = 18,
    kOutputError = 19,
    kCancelled = 20,
    kDownloadError = 21,
    kBadKey = 22,
    kInvalid = 255,
};

// The documents a conversion takes.
struct Selection {
    enum Kind { kAll, kCoo, kDate } kind = kAll;
    int user = 0;  // by COO: the user whose counter the numbers are
    long first = 0, last = 0;  // by COO
    int first_date = 0, last_date = 0;  // by date: YYYYMMDD keys
    bool Matches(const fm::JournalDocument& doc) const;
    // "todo", "COO 000010 a 000025 usuario 001", "fecha 01/12/2026 a 31/12/2026".
    std::string Describe() const;
};

// Range checks of the library's arguments; 0 or the code that refuses them.
int SelectByCoo(int user, long first, long last, Selection& out);
int SelectByDate(const char* first, const char* last, Selection& out);  // DDMMYY or DDMMYYYY

// An audit file opened for reading: the identity it names and its records, through a buffer of
// bounded size whatever the file's size. A signed file's signature block is not read as
// journal.
class AuditSource {
public:
    AuditSource() = default;
    ~AuditSource();
    AuditSource(const AuditSource&) = delete;
    AuditSource& operator=(const AuditSource&) = delete;

    // 0, kBadFile (missing, unreadable, not an audit file) or kNoSerial (no identity record).
    int Open(const std::string& path);
    // The next record (the identity record is taken by Open and not given again).
    bool Next(fm::JournalDocument& doc);

    const std::string& serial() const { return serial_; }
    const std::string& model() const { return model_; }
    bool is_signed() const { return signed_; }
    long long journal_size() const { return journal_size_; }
    uint64_t skipped() const { return reader_ ? reader_->skipped() : 0; }

private:
    std::FILE* file_ = nullptr;
    std::unique_ptr<fm::JournalReader> reader_;
    std::string serial_, model_;
    bool signed_ = false;
    long long journal_size_ = 0;
    bool pending_ = false;  // the first record, read by Open, was not an identity
    fm::JournalDocument first_;
};

// A report's output: written through a buffer into an OutputFile (a temporary beside the final
// name, renamed over it by Commit), so that a failed conversion leaves no half-written file and
// an old file stays whole.
class ReportOutput {
public:
    bool Create(const std::string& path) {
        buffer_.clear();
        return file_.Create(path);
    }
    void Write(std::string_view bytes) {
        buffer_.append(bytes);
        if (buffer_.size() >= kFlushAt) Flush();
    }
    // Flushes, syncs and renames; false (and nothing left behind) when any write failed.
    bool Commit() {
        Flush();
        return !failed_ && file_.Commit();
    }

private:
    static constexpr size_t kFlushAt = 256 * 1024;
    void Flush() {
        if (!buffer_.empty() && !file_.Write(buffer_.data(), buffer_.size())) failed_ = true;
        buffer_.clear();
    }
    OutputFile file_;
    std::string buffer_;
    bool failed_ = false;
};

// For writers that create their file themselves (SQLite): a temporary name beside `path`, and
// the step that syncs it and renames it over `path` (removing it on failure).
std::string TempPathBeside(const std::string& path);
bool PublishTemp(const std::string& temp, const std::string& path);

// Report texts.
// Text for an XML attribute or element in Windows-1252: markup characters escaped, CR as
// "&#13;", and the bytes XML 1.0 cannot carry (controls other than tab and LF, and the five
// codes Windows-1252 leaves undefined) as "?".
void AppendXmlEscaped(std::string& out, std::string_view text);
std::string XmlEscaped(std::string_view text);
void AppendMoney(std::string& out, int64_t cents);  // "-1234.56"
std::string Money(int64_t cents);
std::string DateText(int year, int month, int day);  // "DD/MM/YYYY"
std::string TimeText(int hour, int minute, int second);  // "HH:MM:SS"
std::string DateKeyText(int key);  // YYYYMMDD as "DD/MM/YYYY"
// "CUPON FISCAL", "REDUCCION Z", ... for a record kind (Windows-1252).
const char* KindName(fm::DocumentKind kind);
// Left or right aligned in a field of `width` (cut when longer).
std::string PadRight(std::string_view text, size_t width);
std::string PadLeft(std::string_view text, size_t width);

// A fiscal-memory file (".mf", or ".mfk" with its signature block), read whole: such files are
// small (a record per day for five years is 365 kB). 0 or kBadFile.
int LoadFiscalMemory(const std::string& path, fm::FiscalMemory& mf);

// Strict decimal: only digits, at most `max_digits`; -1 when not.
long ParseDigits(std::string_view text, size_t max_digits);

}  // namespace ordavo::mfd
