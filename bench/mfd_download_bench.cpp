// The audit-memory download: a simulator holding 512 KiB of journal, on a pseudo-terminal.
//   paced at 115200 baud: download time ÷ the wire time of the payload (goal ≤ 1.05), and the
//     bytes moved on the line ÷ the payload bytes;
//   unpaced: the library's time per MiB (through its C interface, file written).
// A plain main: the paced run alone takes the payload's wire time (about 50 s); --unpaced-only
// leaves it out.
#include <chrono>
#include <cstdio>
#include <string>

#include "engine/util.h"
#include "fiscalmemory/core/journal.h"
#include "fiscalmemory/core/library_loader.h"
#include "fiscalmemory/library/protocol.h"
#include "fiscalmemory/library/talvmfd.h"
#include "sim/journal.h"
#include "sim/state.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBaud = 115200;

// Receipts of forty lines until the journal holds `bytes`.
ordavo::sim::PrinterState StateWithJournal(size_t bytes) {
    ordavo::sim::PrinterState s;
    size_t size = 0;
    while (size < bytes) {
        ordavo::fm::JournalDocument d;
        d.kind = ordavo::fm::DocumentKind::kReceipt;
        d.coo = static_cast<uint32_t>(++s.coo);
        d.year = 2026, d.month = 12, d.day = 1 + (s.coo / 100) % 28, d.hour = 10;
        for (int line = 0; line < 40; ++line)
            d.text += ordavo::Format("%-4d CAFE CON LECHE            1 x 12,50 %06d\r\n", line, s.coo);
        ordavo::fm::JournalItem item;
        item.description = "CAFE CON LECHE";
        item.rate = 1;
        item.quantity = 1000;
        item.unit_price = item.total = 1250;
        d.items.push_back(item);
        d.payments.push_back({1, "Efectivo", 1250});
        s.journal.push_back(ordavo::fm::EncodeDocument(d));
        size += s.journal.back().size();
    }
    return s;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
    using namespace ordavo;
    const bool unpaced_only = argc > 1 && std::string(argv[1]) == "--unpaced-only";
    test::TempDir dir;
    const sim::PrinterState state = StateWithJournal(512 * 1024);
    const std::string journal = sim::AuditJournal(state);
    WriteFileAtomically(dir.File("printer.state"), state.Serialize());
    const double payload = static_cast<double>(journal.size());
    std::printf("journal: %zu bytes (%.1f KiB), %zu documents\n", journal.size(), payload / 1024, state.journal.size());

    if (!unpaced_only) {
        test::Simulator sim({"--state", dir.File("printer.state"), "--pace"});
        if (!sim.ok()) return std::fprintf(stderr, "simulator did not start\n"), 1;
        mfd::Session s(sim.path());
        if (s.Open() != 0) return std::fprintf(stderr, "port did not open\n"), 1;
        s.SetSpeed(kBaud);
        mfd::DownloadRequest r;
        r.content = mfd::Content::kAuditJournal;
        std::string got;
        const auto start = Clock::now();
        const int rc = s.Download(r, mfd::MemorySink(got));
        const double took = Seconds(Clock::now() - start);
        if (rc != 0 || got != journal) return std::fprintf(stderr, "paced download failed: %d\n", rc), 1;
        const double wire = payload * 11 / kBaud;  // start bit, 8 data bits, 2 stop bits
        std::printf("paced at %d baud: download %.2f s, payload wire time %.2f s, ratio %.4f (goal <= 1.05)\n", kBaud,
                    took, wire, took / wire);
        std::printf("bytes moved / payload: %llu / %.0f = %.4f\n", static_cast<unsigned long long>(s.BytesMoved()),
                    payload, static_cast<double>(s.BytesMoved()) / payload);
    }
    {
        test::Simulator sim({"--state", dir.File("printer.state")});
        if (!sim.ok()) return 1;
        FiscalLibrary lib(kFiscalLibraryES);
        auto download = lib.Find<decltype(&TalvDownloadMFD)>("TalvDownloadMFD");
        if (!download) return std::fprintf(stderr, "library: %s\n", lib.error().c_str()), 1;
        const int runs = 3;
        double best = 1e9;
        for (int i = 0; i < runs; ++i) {
            const auto start = Clock::now();
            const int rc = download(sim.path().c_str(), dir.File("a.mra").c_str(), "0", "", "", "");
            best = std::min(best, Seconds(Clock::now() - start));
            if (rc != 0) return std::fprintf(stderr, "unpaced download failed: %d\n", rc), 1;
        }
        std::printf("unpaced (TalvDownloadMFD, best of %d): %.3f s, %.3f s per MiB of journal\n", runs, best,
                    best / (payload / (1024 * 1024)));
    }
    return 0;
}
