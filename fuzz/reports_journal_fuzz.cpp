// The conversions take any journal bytes: a damaged capture, a hostile file. Every report kind
// either writes its whole output or refuses with a code, and the text report holds exactly the
// text of the records that read.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/util.h"
#include "fiscalmemory/core/audit_file.h"
#include "fiscalmemory/core/journal.h"
#include "fiscalmemory/library/report_convert.h"

using namespace ordavo;

namespace {

std::string Dir() {
    static std::string dir = [] {
        char tmpl[] = "/tmp/reports_fuzz_XXXXXX";
        const char* d = mkdtemp(tmpl);
        return std::string(d ? d : "/tmp");
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string audit = Dir() + "/in.mra", out = Dir() + "/out";
    // Half the inputs behind a well-formed head, so that the journal itself is reached.
    std::string file = size > 0 && (data[0] & 1) ? fm::BuildAuditFile(bytes.substr(1)) : std::string(bytes);
    if (!WriteFileAtomically(audit, file)) return 0;

    int rc = mfd::ConvertAudit(audit, out, mfd::ReportKind::kText, mfd::Selection{});
    if (rc == 0 && (data[0] & 1)) {
        std::string text, expected;
        ReadWholeFile(out, text);
        fm::JournalReader reader(std::string_view(file).substr(fm::kAuditHeadSize));
        fm::JournalDocument doc;
        reader.Next(doc);  // the identity
        while (reader.Next(doc)) {
            if (doc.text.empty()) continue;
            expected += doc.text;
            if (doc.text.size() < 2 || doc.text.compare(doc.text.size() - 2, 2, "\r\n") != 0) expected += "\r\n";
        }
        if (text != expected) __builtin_trap();
    }
    for (mfd::ReportKind kind : {mfd::ReportKind::kXml, mfd::ReportKind::kDatabase, mfd::ReportKind::kSalesBook,
                                 mfd::ReportKind::kSalesBookRD}) {
        mfd::Selection by_coo;
        mfd::SelectByCoo(1, 0, 999999, by_coo);
        mfd::ConvertAudit(audit, out, kind, kind == mfd::ReportKind::kXml ? mfd::Selection{} : by_coo);
    }
    mfd::IdentifyAuditFile(audit, out);
    mfd::TypeERecords(audit, out, "1", "", "", "");
    mfd::MonthlySalesBook(audit + "|" + audit + "|", out);
    // The same bytes as a fiscal memory.
    mfd::FiscalMemoryReport(audit, out, "D", "010100", "311299");
    mfd::TypeERecords(audit, out, "0", "1", "000000", "999999");
    return 0;
}
