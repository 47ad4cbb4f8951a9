// Conversions of a whole 16 MiB audit file into the text report, the XML and the SQLite
// database: MiB/s of each and the peak memory of each conversion (the resident set of a
// process that does nothing else). Run it by hand: build/bin/reports_bench [MiB].
//
// Goals: text >= 50 MiB/s, SQLite >= 10 MiB/s (one transaction), peak memory <= 64 MiB for
// any size.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fiscalmemory/core/audit_file.h"
#include "fiscalmemory/core/journal.h"
#include "fiscalmemory/library/report_convert.h"
#include "tests/support/paths.h"

using namespace ordavo;

namespace {

// A day of a busy shop: receipts of 3 to 12 items with their printed text, a reduction every
// 400 documents.
fm::JournalDocument Document(uint32_t coo) {
    fm::JournalDocument d;
    d.coo = coo;
    d.crz = coo / 400 + 1;
    d.year = 2026;
    d.month = 1 + (coo / 12000) % 12;
    d.day = 1 + (coo / 400) % 28;
    d.hour = 8 + (coo % 400) / 40;
    d.minute = coo % 60;
    d.second = (coo * 7) % 60;
    char head[160];
    std::snprintf(head, sizeof head,
                  "TALVERON        Heron 2 TH           ECF-IF\r\nRIF: J-30123456-7        NIT: 0123456789\r\n"
                  "%02d/%02d/%04d %02d:%02d:%02d                COO:%06u\r\n",
                  d.day, d.month, d.year, d.hour, d.minute, d.second, coo);
    d.text = head;
    if (coo % 400 == 399) {
        d.kind = fm::DocumentKind::kReductionZ;
        d.text += "       REDUCCI\xD3N Z        \r\nGRAN TOTAL                       123456,78\r\n";
        d.grand_total = 12345678;
        d.has_totals = true;
        d.total = 400000;
        return d;
    }
    d.kind = fm::DocumentKind::kReceipt;
    d.text += "                    FACTURA\r\n------------------------------------------------\r\n";
    int n = 3 + static_cast<int>(coo % 10);
    int64_t total = 0;
    for (int i = 0; i < n; ++i) {
        fm::JournalItem it{"7750" + std::to_string(100000 + i), "ARTICULO DE PRUEBA " + std::to_string(i), 1 + i % 3,
                           1000, 150 + i, 150 + i, false};
        char line[128];
        std::snprintf(line, sizeof line, "%03d %s %s\r\n  1,000 x %d,%02d (T%02d)                   %d,%02d\r\n", i + 1,
                      it.code.c_str(), it.description.c_str(), 1 + i / 100, i % 100, it.rate, 1 + i / 100, i % 100);
        d.text += line;
        d.rate_totals[it.rate - 1] += it.total;
        total += it.total;
        d.items.push_back(std::move(it));
    }
    d.text += "------------------------------------------------\r\nTOTAL Bs                                 12,34\r\n"
              "EFECTIVO                                 12,34\r\n                 MF VE0100000001\r\n";
    d.payments.push_back({1, "EFECTIVO", total});
    d.has_totals = true;
    d.total = total;
    return d;
}

// Writes the audit file record by record; its size in bytes.
long long MakeAuditFile(const std::string& path, long long journal_bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return -1;
    std::string head = fm::AuditFileHead();
    std::fwrite(head.data(), 1, head.size(), f);
    fm::JournalDocument id;
    id.kind = fm::DocumentKind::kIdentity;
    id.serial = "VE0100000001";
    id.model = "Heron 2 TH";
    std::string r = fm::EncodeDocument(id);
    long long written = 0;
    for (uint32_t coo = 1; written < journal_bytes; ++coo) {
        std::fwrite(r.data(), 1, r.size(), f);
        written += static_cast<long long>(r.size());
        r = fm::EncodeDocument(Document(coo));
    }
    std::string tail(fm::kAuditTailSize, '\xFF');
    std::fwrite(tail.data(), 1, tail.size(), f);
    std::fclose(f);
    return written;
}

struct Run {
    double seconds = 0;
    long peak_kib = 0;
    int code = -1;
};

// The conversion in a child process of its own, so that its peak memory is its alone.
Run Convert(const std::string& audit, const std::string& out, mfd::ReportKind kind) {
    Run r;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) _exit(mfd::ConvertAudit(audit, out, kind, mfd::Selection{}));
    int status = 0;
    struct rusage use {};
    if (pid < 0 || wait4(pid, &status, 0, &use) != pid) return r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.peak_kib = use.ru_maxrss;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    long long mib = argc > 1 ? std::atoll(argv[1]) : 16;
    test::TempDir dir;
    std::string audit = dir.File("MRA_bench.mra");
    long long journal = MakeAuditFile(audit, mib << 20);
    if (journal <= 0) {
        std::fprintf(stderr, "cannot write %s\n", audit.c_str());
        return 1;
    }
    double size_mib = static_cast<double>(journal) / (1 << 20);
    std::printf("audit file: %.1f MiB of journal\n", size_mib);
    struct Goal {
        const char* name;
        mfd::ReportKind kind;
        const char* file;
        double min_mib_s;
    } goals[] = {{"text", mfd::ReportKind::kText, "r.txt", 50},
                 {"xml", mfd::ReportKind::kXml, "r.xml", 0},
                 {"sqlite", mfd::ReportKind::kDatabase, "r.db", 10}};
    bool all_met = true;
    for (const Goal& g : goals) {
        Run r = Convert(audit, dir.File(g.file), g.kind);
        double rate = r.seconds > 0 ? size_mib / r.seconds : 0;
        bool met = r.code == 0 && rate >= g.min_mib_s && r.peak_kib <= 64 * 1024;
        all_met = all_met && met;
        std::printf("%-6s %7.1f MiB/s  %6.2f s  peak %6.1f MiB  result %d%s\n", g.name, rate, r.seconds,
                    r.peak_kib / 1024.0, r.code, met ? "" : "  (goal missed)");
    }
    return all_met ? 0 : 1;
}
