// Feeds arbitrary bytes to the audit-report diagnosis as a report: it must walk any report to
// its end, read it the same from a file as from memory, count no more lines than the report
// has, and always close its text with a block's stars or "Ningún erro encontrado!".
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fiscalmemory/core/diagnosis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ordavo;
    const std::string_view report(reinterpret_cast<const char*>(data), size);
    const std::string_view nothing = "\r\nNing\xFAn erro encontrado!\r\n";
    const std::string closing = std::string(76, '*') + "\r\n\r\n";

    long long line_ends = 0;
    for (char c : report) line_ends += c == '\n';

    for (int mask : {255, kModelMaskHeron2}) {
        Diagnosis d = DiagnoseAuditReport(report, mask);
        const std::string_view text = d.text;
        if (d.lines > line_ends + 1) std::abort();
        if (d.found) {
            // The last block is a finding's or a user change's: stars and an empty line.
            if (text.find(closing) == std::string_view::npos || !text.ends_with("*\r\n\r\n")) std::abort();
        } else if (text.size() < nothing.size() || text.substr(text.size() - nothing.size()) != nothing) {
            std::abort();
        }

        if (size == 0) continue;
        std::FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
        if (!f) continue;
        ReportLines lines(f);
        Diagnosis from_file = DiagnoseAuditReport(lines, mask);
        std::fclose(f);
        if (from_file.text != d.text || from_file.lines != d.lines) std::abort();
    }
    return 0;
}
