// What the readings of the menus "PA 0421-06" and "Panamá" make of a downloaded fiscal memory;
// the downloads themselves are the library's own (TalvDownloadMF, TalvDownloadMFD).
#pragma once

#include <string>

namespace ordavo::mfd {

// The printer's identity and the extent of its fiscal memory, as text.
int FiscalMemoryHeader(const std::string& fiscal_memory, const std::string& output);
// The reductions of a date range (DDMMYY or DDMMYYYY) as XML.
int FiscalMemoryXml(const std::string& fiscal_memory, const std::string& output, const std::string& first,
                    const std::string& last);
// DDMMYYYY or DDMMYY to DDMMYY; empty when not a date.
std::string ShortDate(const std::string& date);

// A temporary file for a download, removed when it goes.
class TempDownload {
public:
    explicit TempDownload(const std::string& beside, const char* extension);
    ~TempDownload();
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace ordavo::mfd
