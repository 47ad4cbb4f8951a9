// The diagnosis as a job: "diagnostico_mfd.txt" in the application directory, replaced on
// every run, the progress window, and reports or directories that cannot be used.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "engine/strings.h"
#include "engine/util.h"
#include "fiscalmemory/core/diagnosis.h"
#include "tests/support/paths.h"

namespace ordavo {
namespace {

using test::TempDir;

const std::string kNothing = "\r\nNing\xFAn erro encontrado!\r\n";

std::string CooLine(int n) { return "                    COO:" + Format("%06d", n) + "\r\n"; }

// Records the progress windows the job opens.
class RecordingUi : public UserInterface {
public:
    struct Progress : ProgressWindow {
        explicit Progress(RecordingUi& ui, const std::string& title) : ProgressWindow(title), ui(ui) {}
        ~Progress() override { ui.closed = true; }
        void PumpMessages(bool escape) override {
            ++ui.pumps;
            if (ui.cancel_at && ui.pumps == ui.cancel_at) Cancel();
        }
        RecordingUi& ui;
    };
    std::unique_ptr<ProgressWindow> CreateProgress(const std::string& title, bool) override {
        auto p = std::make_unique<Progress>(*this, title);
        last = p.get();
        return p;
    }
    Progress* last = nullptr;
    int pumps = 0;
    int cancel_at = 0;
    bool closed = false;
};

TEST(DiagnosisRun, WritesTheAnalysisIntoTheApplicationDirectory) {
    TempDir dir;
    std::string report = dir.File("relacion.txt");
    ASSERT_TRUE(WriteFileAtomically(report, CooLine(1) + CooLine(2) + CooLine(4) + "a\r\nb\r\nc\r\nd\r\n"));
    RecordingUi ui;
    DiagnosisRun run = RunAuditDiagnosis(report, dir.path(), 255, &ui);
    ASSERT_EQ(run.status, DiagnosisRun::Status::Written) << run.error;
    EXPECT_EQ(run.output_path, dir.File("diagnostico_mfd.txt"));
    EXPECT_TRUE(run.diagnosis.found);
    std::string written;
    ASSERT_TRUE(ReadWholeFile(run.output_path, written));
    EXPECT_EQ(written, run.diagnosis.text);
    EXPECT_NE(written.find("Perda de documento(s): 3 a 3\r\n"), std::string::npos);
    // The progress window: "Progreso", 0 to 10000, "Recibiendo Retorno...", one pump a line of
    // the walk, closed at the end.
    ASSERT_NE(ui.last, nullptr);
    EXPECT_TRUE(ui.closed);
    EXPECT_EQ(ui.pumps, 3);

    // The next run replaces the file, whatever it held.
    ASSERT_TRUE(WriteFileAtomically(report, CooLine(7) + CooLine(8)));
    run = RunAuditDiagnosis(report, dir.path(), 255, &ui);
    ASSERT_EQ(run.status, DiagnosisRun::Status::Written);
    ASSERT_TRUE(ReadWholeFile(run.output_path, written));
    EXPECT_EQ(written, kNothing);
    EXPECT_FALSE(run.diagnosis.found);
}

TEST(DiagnosisRun, ProgressWindowAsTheUserSeesIt) {
    TempDir dir;
    std::string report = dir.File("r.txt");
    std::string text;
    for (int i = 1; i <= 20; ++i) text += CooLine(i);
    ASSERT_TRUE(WriteFileAtomically(report, text));
    struct Seen : UserInterface {
        std::unique_ptr<ProgressWindow> CreateProgress(const std::string& title, bool) override {
            struct P : ProgressWindow {
                P(Seen& s, const std::string& t) : ProgressWindow(t), s(s) {}
                void PumpMessages(bool escape) override {
                    s.title = Title();
                    s.text = Text();
                    s.lower = Lower();
                    s.upper = Upper();
                    s.escape = escape;
                    s.position = Position();
                }
                Seen& s;
            };
            return std::make_unique<P>(*this, title);
        }
        std::string title, text;
        int lower = -1, upper = -1, position = -1;
        bool escape = false;
    } ui;
    ASSERT_EQ(RunAuditDiagnosis(report, dir.path(), 255, &ui).status, DiagnosisRun::Status::Written);
    EXPECT_EQ(ui.title, Str(IDS_PROGRESO));
    EXPECT_EQ(ui.text, Str(IDS_RECIBIENDO_RETORNO));
    EXPECT_EQ(ui.lower, 0);
    EXPECT_EQ(ui.upper, 10000);
    EXPECT_EQ(ui.position, 20);
    EXPECT_TRUE(ui.escape);
}

TEST(DiagnosisRun, CancelledRunKeepsWhatWasFoundAndItsClosingText) {
    TempDir dir;
    std::string report = dir.File("r.txt");
    ASSERT_TRUE(WriteFileAtomically(report, CooLine(1) + CooLine(3) + "a\r\nb\r\nc\r\nd\r\n" + CooLine(9) +
                                                "e\r\nf\r\ng\r\nh\r\n"));
    RecordingUi ui;
    ui.cancel_at = 2;  // after the walk of line 2 with its look-ahead
    DiagnosisRun run = RunAuditDiagnosis(report, dir.path(), 255, &ui);
    ASSERT_EQ(run.status, DiagnosisRun::Status::Written);
    EXPECT_TRUE(run.diagnosis.cancelled);
    std::string written;
    ASSERT_TRUE(ReadWholeFile(run.output_path, written));
    EXPECT_NE(written.find("Perda de documento(s): 2 a 2"), std::string::npos);
    EXPECT_EQ(written.find("Perda de documento(s): 4 a 8"), std::string::npos);  // never reached
    EXPECT_EQ(written.find("Ning\xFAn"), std::string::npos);
}

TEST(DiagnosisRun, UnusableReportOrDirectoryWritesNothing) {
    TempDir dir;
    const std::string out = dir.File("diagnostico_mfd.txt");
    ASSERT_TRUE(WriteFileAtomically(out, "older analysis"));
    struct Case {
        const char* name;
        std::string report;
    } cases[] = {{"missing report", dir.File("missing.txt")}, {"a directory", dir.path()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DiagnosisRun run = RunAuditDiagnosis(c.report, dir.path(), 255, nullptr);
        EXPECT_EQ(run.status, DiagnosisRun::Status::ReportUnreadable);
        EXPECT_FALSE(run.error.empty());
        std::string kept;
        ASSERT_TRUE(ReadWholeFile(out, kept));
        EXPECT_EQ(kept, "older analysis");
    }

    // An application directory that does not exist: the report is read, the output refused.
    std::string report = dir.File("r.txt");
    ASSERT_TRUE(WriteFileAtomically(report, CooLine(1)));
    DiagnosisRun run = RunAuditDiagnosis(report, dir.File("no/such/dir"), 255, nullptr);
    EXPECT_EQ(run.status, DiagnosisRun::Status::OutputNotWritten);
    EXPECT_EQ(run.diagnosis.text, kNothing);
    EXPECT_FALSE(run.error.empty());
}

TEST(DiagnosisRun, OutputPathOfTheApplicationDirectory) {
    EXPECT_EQ(DiagnosisOutputPath("/opt/ordavo"), "/opt/ordavo/diagnostico_mfd.txt");
    EXPECT_EQ(DiagnosisOutputPath("/opt/ordavo/"), "/opt/ordavo/diagnostico_mfd.txt");
    EXPECT_EQ(DiagnosisOutputPath(""), "diagnostico_mfd.txt");
}

}  // namespace
}  // namespace ordavo
