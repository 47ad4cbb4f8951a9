// The library's functions in C++: each returns the result code its C entry point returns
// (docs/fiscal-memory-library.md).
#pragma once

#include <string>

namespace ordavo::mfd {

int GetSerialNumber(const std::string& port, std::string* serial);

// What a plain download fetches and how the file is made of it.
enum class FileKind {
    kFiscalMemory,        // ".mf"
    kSignedFiscalMemory,  // ".mfk"
    kBasicSoftware,       // ".bin"
    kPublicKey,           // ".pub"
    kReadingX,            // ".txk"
};
int DownloadFile(const std::string& port, const std::string& file, FileKind kind);

// The audit memory: kind "2" by COO (with the user), "1" by date, "0" whole.
int DownloadAudit(const std::string& port, const std::string& file, const std::string& kind,
                  const std::string& first, const std::string& last, const std::string& user, bool sign);
// The signed texts of the fiscal reading (transactions = false) or the transaction report.
int DownloadReading(const std::string& port, const std::string& file, const std::string& kind,
                    const std::string& first, const std::string& last, const std::string& variant,
                    bool transactions);
// The download in parts: 1 for a part fetched (kind "1"), 0 for the signature (kind "0").
int DownloadByAddress(const std::string& port, const std::string& file, const std::string& kind,
                      const std::string& first, const std::string& last, const std::string& wait, int mode);
int DiagnoseFiscalMemory(const std::string& port, const char* signed_file, const std::string& output);

int ValidateSignedFile(const std::string& file, const std::string& key);
int ValidateZText(const std::string& file, const std::string& key, char* verdict, size_t verdict_size);

}  // namespace ordavo::mfd
