// The diagnosis as a job: "diagnostico_mfd.txt" in the application directory, replaced on
// every run, under its progress window; reports or directories that cannot be used.
#include <gtest/gtest.h>

#include <string>

#include "engine/strings.h"
#include "engine/util.h"
#include "fiscalmemory/core/diagnosis.h"
#include "tests/support/paths.h"

namespace ordavo {
namespace {

using test::TempDir;

std::string CooLine(int n) { return "                    COO:" + Format("%06d", n) + "\r\n"; }

// Remembers what the progress window showed when the walk last let the user interface run.
struct SeenUi : UserInterface {
    struct Progress : ProgressWindow {
        Progress(SeenUi& ui, const std::string& t) : ProgressWindow(t), ui(ui) {}
        void PumpMessages(bool escape) override {
            ui.seen = Title() + "|" + Text() + "|" + std::to_string(Lower()) + ".." + std::to_string(Upper()) + "|" +
                      std::to_string(Position()) + (escape ? "|escape" : "");
        }
        SeenUi& ui;
    };
    std::unique_ptr<ProgressWindow> CreateProgress(const std::string& title, bool) override {
        return std::make_unique<Progress>(*this, title);
    }
    std::string seen;
};

TEST(DiagnosisRun, WritesAndReplacesTheAnalysis) {
    TempDir dir;
    const std::string report = dir.File("relacion.txt");
    ASSERT_TRUE(WriteFileAtomically(report, CooLine(1) + CooLine(2) + CooLine(4) + "a\r\nb\r\nc\r\nd\r\n"));
    SeenUi ui;
    DiagnosisRun run = RunAuditDiagnosis(report, dir.path(), 255, &ui);
    ASSERT_EQ(run.status, DiagnosisRun::Status::Written) << run.error;
    EXPECT_EQ(run.output_path, dir.File("diagnostico_mfd.txt"));
    EXPECT_TRUE(run.diagnosis.found);
    std::string written;
    ASSERT_TRUE(ReadWholeFile(run.output_path, written));
    EXPECT_EQ(written, run.diagnosis.text);
    EXPECT_NE(written.find("Perda de documento(s): 3 a 3\r\n"), std::string::npos);
    // Three walks of the loop (the third with its look-ahead), Escape cancels.
    EXPECT_EQ(ui.seen, Str(IDS_PROGRESO) + "|" + Str(IDS_RECIBIENDO_RETORNO) + "|0..10000|3|escape");

    ASSERT_TRUE(WriteFileAtomically(report, CooLine(7) + CooLine(8)));
    run = RunAuditDiagnosis(report, dir.path(), 255, &ui);
    ASSERT_EQ(run.status, DiagnosisRun::Status::Written);
    ASSERT_TRUE(ReadWholeFile(run.output_path, written));
    EXPECT_EQ(written, "\r\nNing\xFAn erro encontrado!\r\n");
}

TEST(DiagnosisRun, UnusableReportOrDirectory) {
    TempDir dir;
    const std::string out = dir.File("diagnostico_mfd.txt");
    ASSERT_TRUE(WriteFileAtomically(out, "older analysis"));
    ASSERT_TRUE(WriteFileAtomically(dir.File("r.txt"), CooLine(1)));
    struct Case {
        std::string report, app_dir;
        DiagnosisRun::Status status;
    } cases[] = {
        // Nothing read: no "Ningún erro encontrado!" about it, and the older file stays.
        {dir.File("missing.txt"), dir.path(), DiagnosisRun::Status::ReportUnreadable},
        {dir.path(), dir.path(), DiagnosisRun::Status::ReportUnreadable},
        {dir.File("r.txt"), dir.File("no/such/dir"), DiagnosisRun::Status::OutputNotWritten},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.report + " " + c.app_dir);
        DiagnosisRun run = RunAuditDiagnosis(c.report, c.app_dir, 255, nullptr);
        EXPECT_EQ(run.status, c.status);
        EXPECT_FALSE(run.error.empty());
        std::string kept;
        ASSERT_TRUE(ReadWholeFile(out, kept));
        EXPECT_EQ(kept, "older analysis");
    }
}

}  // namespace
}  // namespace ordavo
