// What the fiscal-memory library's tests share: a printer state with a known journal and
// fiscal memory, the simulator on a chosen line, and the library loaded the way the program
// loads it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/util.h"
#include "fiscalmemory/core/audit_file.h"
#include "fiscalmemory/core/journal.h"
#include "fiscalmemory/core/library_loader.h"
#include "fiscalmemory/library/talvmfd.h"
#include "sim/fields.h"
#include "sim/journal.h"
#include "sim/state.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

namespace ordavo::test {

// A printer that worked `days` days from 1 December 2026, `per_day` receipts a day (user 1,
// then user 2 for the last one of each day) and a reduction Z at the end of each day.
inline sim::PrinterState DemoState(int days, int per_day) {
    sim::PrinterState s;
    for (int d = 0; d < days; ++d) {
        int64_t day_total = 0;
        for (int i = 0; i < per_day + 1; ++i) {
            const bool z = i == per_day;
            ++s.coo;
            if (z) ++s.crz;
            fm::JournalDocument doc;
            doc.kind = z ? fm::DocumentKind::kReductionZ : fm::DocumentKind::kReceipt;
            doc.coo = static_cast<uint32_t>(s.coo);
            doc.crz = static_cast<uint32_t>(s.crz);
            doc.user = !z && i == per_day - 1 ? 2 : 1;
            doc.year = 2026, doc.month = 12, doc.day = 1 + d, doc.hour = 9 + i % 10, doc.minute = i % 60;
            doc.text = Format("       ORDAVO DEMO, C.A.\r\nCOO:%06d  %s\r\n", s.coo, z ? "REDUCCION Z" : "FACTURA");
            if (!z) {
                fm::JournalItem item;
                item.code = "0001";
                item.description = "CAFE";
                item.rate = 1;
                item.quantity = 1000;
                item.unit_price = item.total = 1000 + i;
                doc.items.push_back(item);
                doc.payments.push_back({1, "Efectivo", item.total});
                doc.has_totals = true;
                doc.rate_totals[0] = doc.total = item.total;
                day_total += item.total;
                s.grand_total += item.total;
            }
            s.journal.push_back(fm::EncodeDocument(doc));
            s.audit_memory.push_back({s.coo, z ? "Z" : "CF", sim::Join({2026, 12, 1 + d, doc.hour, doc.minute, 0}),
                                      z ? day_total : doc.total});
            if (z) {
                sim::ZRecord r;
                r.crz = s.crz;
                r.coo = s.coo;
                r.when = sim::Join({2026, 12, 1 + d, 22, 0, 0});
                r.grand_total = s.grand_total;
                r.day_total = day_total;
                r.rate_totals[0] = day_total;
                s.fiscal_memory.push_back(r);
            }
        }
    }
    return s;
}

inline std::string SaveState(const TempDir& dir, const sim::PrinterState& s, const std::string& name = "printer.state") {
    const std::string path = dir.File(name);
    WriteFileAtomically(path, s.Serialize());
    return path;
}

inline std::string Slurp(const std::string& path) {
    std::string s;
    ReadWholeFile(path, s);
    return s;
}

// The simulator on a pseudo-terminal or TCP; `port` is what the library gets as port.
class SimLine {
public:
    SimLine(bool tcp, std::vector<std::string> options) {
        if (!tcp) {
            pty_ = std::make_unique<Simulator>(options);
            port_ = pty_->path();
            return;
        }
        std::vector<std::string> args{"--tcp", "0"};
        args.insert(args.end(), options.begin(), options.end());
        process_ = std::make_unique<BackgroundProcess>(ProgramPath("ordavo-printer-sim"), args);
        const std::string peer = process_->FirstLine(10000);
        if (peer.empty()) return;
        setenv("ORDAVO_SOCKET_PEER", peer.c_str(), 1);
        port_ = "SOCKET";
    }
    const std::string& port() const { return port_; }
    bool ok() const { return !port_.empty(); }
    BackgroundProcess& process() { return pty_ ? pty_->process() : *process_; }

private:
    std::unique_ptr<Simulator> pty_;
    std::unique_ptr<BackgroundProcess> process_;
    std::string port_;
};

// The library's functions, looked up by name in the loaded library.
struct Library {
    FiscalLibrary lib{kFiscalLibraryES};
#define ORDAVO_MFD_FN(name) decltype(&::name) name = lib.Find<decltype(&::name)>(#name)
    ORDAVO_MFD_FN(TalvSetBaudrate);
    ORDAVO_MFD_FN(TalvGetSerialNumber);
    ORDAVO_MFD_FN(TalvGetLastAck);
    ORDAVO_MFD_FN(TalvSetProgressCallback);
    ORDAVO_MFD_FN(TalvDownloadMF);
    ORDAVO_MFD_FN(TalvDownloadMFK);
    ORDAVO_MFD_FN(TalvDownloadSB);
    ORDAVO_MFD_FN(TalvDownloadLecturaX);
    ORDAVO_MFD_FN(TalvDownloadPublicKey);
    ORDAVO_MFD_FN(TalvDownloadMFD);
    ORDAVO_MFD_FN(TalvDownloadMPK);
    ORDAVO_MFD_FN(TalvDownloadLecturaMF);
    ORDAVO_MFD_FN(TalvDownloadRelTransacciones);
    ORDAVO_MFD_FN(TalvDownloadMFDByAddress);
    ORDAVO_MFD_FN(TalvDiagnoseMF);
    ORDAVO_MFD_FN(TalvValidate);
    ORDAVO_MFD_FN(TalvValidateRZ);
#undef ORDAVO_MFD_FN
};

// The journal records of a printer state with a COO from `first` to `last` (identity first).
inline std::string JournalOf(const sim::PrinterState& s, bool (*keep)(const fm::JournalDocument&, int, int), int a,
                             int b) {
    std::string out = sim::IdentityRecord(s);
    for (const std::string& r : s.journal) {
        fm::JournalDocument doc;
        size_t used = 0;
        if (fm::DecodeDocument(r, doc, &used) && keep(doc, a, b)) out += r;
    }
    return out;
}

}  // namespace ordavo::test
