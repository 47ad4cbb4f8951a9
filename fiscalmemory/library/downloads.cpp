#include "fiscalmemory/library/downloads.h"

#include <algorithm>

#include "fiscalmemory/core/audit_file.h"
#include "fiscalmemory/core/journal.h"
#include "fiscalmemory/library/library.h"
#include "fiscalmemory/library/output_file.h"
#include "fiscalmemory/library/protocol.h"

namespace ordavo::mfd {

namespace {

bool Digits(const std::string& s, size_t min, size_t max) {
    return s.size() >= min && s.size() <= max &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

long long Number(const std::string& s) {
    long long v = 0;
    for (char c : s) v = v * 10 + (c - '0');
    return v;
}

// Checks a range of the C interface and fills the request. 0 or the code of the fault.
int ParseRange(const std::string& kind, const std::string& first, const std::string& last, DownloadRequest* r) {
    if (kind == "0") {
        r->range = RangeKind::kWhole;
        return 0;
    }
    if (kind == "1") {
        const int a = fm::DateKeyFromText(first), b = fm::DateKeyFromText(last);
        if (first.size() != 6 || last.size() != 6 || a == 0 || b == 0) return 3;
        if (a > b) return 12;
        r->range = RangeKind::kDate;
    } else if (kind == "2") {
        if (!Digits(first, 1, 6) || !Digits(last, 1, 6)) return 13;
        if (Number(first) > Number(last)) return 15;
        r->range = RangeKind::kNumber;
    } else {
        return 11;
    }
    r->first = first;
    r->last = last;
    return 0;
}

void AppendSignatureBlock(OutputFile& out, unsigned long long content_size, const std::string& signature) {
    std::string trailer = signature;
    auto put32 = [&trailer](uint32_t v) {
        for (int i = 0; i < 4; ++i) trailer.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    put32(static_cast<uint32_t>(content_size));
    put32(static_cast<uint32_t>(signature.size()));
    trailer += "OSIG";
    out.Write(trailer.data(), trailer.size());
}

struct Job {
    DownloadRequest request;
    bool audit_frame = false;  // the journal goes inside the audit-file frame
    int timeout_ms = kAnswerTimeoutMs;
};

// Runs one download into `file`: the checks of the output and the port, the session, the
// frame of audit files and the signature block of signed ones.
int Run(const std::string& port, const std::string& file, const Job& job) {
    if (file.empty()) return 19;
    OutputFile out;
    if (!out.Create(file)) return 19;
    if (job.audit_frame) {
        const std::string head = fm::AuditFileHead();
        if (!out.Write(head.data(), head.size())) return 19;
    }
    Session s(port);
    int rc = s.Open();
    if (rc != 0) return rc;
    s.SetSpeed(DownloadSpeed());
    s.SetProgress(CurrentProgress());
    s.SetAnswerTimeoutMs(job.timeout_ms);
    std::string signature;
    rc = s.Download(job.request, [&out](const uint8_t* d, size_t n) { return out.Write(d, n); },
                    job.request.sign ? &signature : nullptr);
    s.Close();
    if (rc != 0) return rc;
    if (job.audit_frame) out.Fill(0xFF, fm::kAuditTailSize);
    if (job.request.sign) AppendSignatureBlock(out, out.size(), signature);
    return out.Commit() ? 0 : 19;
}

}  // namespace

int GetSerialNumber(const std::string& port, std::string* serial) {
    Session s(port);
    int rc = s.Open();
    if (rc != 0) return rc;
    PrinterIdentity id;
    rc = s.Identity(&id);
    if (rc == 0 && serial) *serial = id.serial.substr(0, TALV_SERIAL_SIZE - 1);
    return rc;
}

int DownloadFile(const std::string& port, const std::string& file, FileKind kind) {
    if (port.empty()) return 10;
    Job job;
    switch (kind) {
        case FileKind::kFiscalMemory: job.request.content = Content::kFiscalMemory; break;
        case FileKind::kSignedFiscalMemory:
            job.request.content = Content::kFiscalMemory;
            job.request.sign = true;
            break;
        case FileKind::kBasicSoftware: job.request.content = Content::kBasicSoftware; break;
        case FileKind::kPublicKey: job.request.content = Content::kPublicKey; break;
        case FileKind::kReadingX:
            job.request.content = Content::kReadingX;
            job.request.sign = true;
            break;
    }
    return Run(port, file, job);
}

int DownloadAudit(const std::string& port, const std::string& file, const std::string& kind,
                  const std::string& first, const std::string& last, const std::string& user, bool sign) {
    Job job;
    job.request.content = Content::kAuditJournal;
    job.request.sign = sign;
    job.audit_frame = true;
    if (int rc = ParseRange(kind, first, last, &job.request); rc != 0) return rc;
    if (kind == "2") {
        if (!Digits(user, 1, 3) || Number(user) < 1 || Number(user) > 255) return 14;
        job.request.user = static_cast<int>(Number(user));
    }
    if (port.empty()) return 10;
    return Run(port, file, job);
}

int DownloadReading(const std::string& port, const std::string& file, const std::string& kind,
                    const std::string& first, const std::string& last, const std::string& variant,
                    bool transactions) {
    Job job;
    job.request.content = transactions ? Content::kTransactions : Content::kFiscalReading;
    job.request.sign = true;
    if (kind != "1" && kind != "2") return 11;
    if (int rc = ParseRange(kind, first, last, &job.request); rc != 0) return rc;
    if (variant != "r" && variant != "R") return 9;
    job.request.simplified = variant == "r";
    if (port.empty()) return 10;
    return Run(port, file, job);
}

int DownloadByAddress(const std::string& port, const std::string& file, const std::string& kind,
                      const std::string& first, const std::string& last, const std::string& wait, int mode) {
    Job job;
    if (kind == "1" && mode == 1)
        job.request.content = Content::kAuditAddresses;
    else if (kind == "0" && mode == 2)
        job.request.content = Content::kAuditClosing;
    else
        return 11;
    if (!Digits(first, 1, 8) || !Digits(last, 1, 8)) return 13;
    if (Number(first) > Number(last)) return 15;
    if (!Digits(wait, 1, 4) || Number(wait) == 0) return 9;
    job.request.range = RangeKind::kAddress;
    job.request.first = first;
    job.request.last = last;
    job.timeout_ms = static_cast<int>(Number(wait)) * 100;
    if (port.empty()) return 10;
    const int rc = Run(port, file, job);
    if (rc != 0) return rc;
    return kind == "1" ? 1 : 0;
}

}  // namespace ordavo::mfd
