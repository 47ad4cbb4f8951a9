// The audit-report diagnosis on hand-written reports: gaps and their explanation, restarts of
// the counter with the Z block, user changes, the dates of the maker's header and the "FAB:"
// line, and lines that are binary, too short or too long.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fiscalmemory/core/diagnosis.h"

namespace ordavo {
namespace {

const std::string kNothing = "\r\nNing\xFAn erro encontrado!\r\n";
const std::string kStars(76, '*');

// Report lines as the library writes them: CR LF, "COO:" at column 20.
struct Report {
    std::vector<std::string> lines;
    Report& Line(const std::string& text) {
        lines.push_back(text);
        return *this;
    }
    Report& Coo(int n) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%-20sCOO:%06d", "CUPON FISCAL", n);
        return Line(buf);
    }
    Report& Filler(int n) {
        for (int i = 0; i < n; ++i) Line("  ARTICULO " + std::to_string(i) + "        1,00");
        return *this;
    }
    // The maker's header; the date line two below it.
    Report& Header(const std::string& date, const std::string& time) {
        Line("TALVERON        Heron 2 TH           ECF-IF   ");
        Line("  RUT 76.123.456-7");
        return Line(std::string(28, ' ') + date + " " + time);
    }
    Report& Fab(const std::string& date, const std::string& time) {
        return Line("FAB:TV0102030405060708091011" + date + " " + time);
    }
    Report& Z() { return Line("       REDUCCI\xD3N Z        "); }
    Report& UserChange() { return Line("   ALTERACI\xD3N DE USUARIO"); }
    // The second copy of a credit note: its title four lines after the COO line and "2ªVIA"
    // two lines further.
    Report& CreditNoteCopy(int coo) {
        Coo(coo).Filler(3).Line("   BOLETA DE CR\xC9" "DITO O D\xC9" "BITO");
        return Filler(1).Line("        2\xAAVIA");
    }
    std::string Text(const char* eol = "\r\n") const {
        std::string out;
        for (const std::string& l : lines) out += l + eol;
        return out;
    }
};

std::string LossBlock(long long line, long long count, long long first, long long last) {
    return "**************** ERRO - PERDA DE DOCUMENTO NA L\xCDNEA:" + std::to_string(line) +
           "*******************\r\nPerda de " + std::to_string(count) + " documento(s)\r\nPerda de documento(s): " +
           std::to_string(first) + " a " + std::to_string(last) + "\r\n" + kStars + "\r\n\r\n";
}

std::string ZBlock(const std::string& label, long long line, long long coo, const std::string& date,
                   const std::string& time) {
    return "\r\n**************** ERRO - LLAMAR DLL PARA CREAR RZ ***************************" + label +
           std::to_string(line) + "\r\nCOO del \xFAltimo documento a ser considerado:" + std::to_string(coo) +
           "\r\nData:" + date + "\r\nHora:" + time + "\r\n" + kStars + "\r\n\r\n";
}
const std::string kZLine = "\r\nl\xEDnea de reducci\xF3n z posterior:";
const std::string kZEnd = "\r\nlinha:";

std::string UserBlock(long long line) {
    return "**************** ALTERACI\xD3N DE USUARIO EN LA L\xCDNEA:" + std::to_string(line) +
           "**************************\r\n\r\n";
}

struct Case {
    const char* name;
    std::string report;
    int model_mask;
    std::string expected;
    bool found;
};

std::vector<Case> Cases() {
    std::vector<Case> cases;
    cases.push_back({"consecutive documents", Report().Coo(1).Filler(5).Coo(2).Coo(3).Text(), 255, kNothing, false});
    cases.push_back({"empty report", "", 255, kNothing, false});
    // 120 at line 1, fillers 2..3, 123 at line 4; the four look-ahead lines are 5..8.
    cases.push_back({"two documents lost", Report().Coo(120).Filler(2).Coo(123).Filler(6).Text(), 255,
                     LossBlock(4, 2, 121, 122), true});
    cases.push_back({"gap explained by a second copy of a credit note",
                     Report().Coo(120).Filler(2).CreditNoteCopy(122).Coo(123).Text(), 255, kNothing, false});
    {
        Report r;
        r.Coo(120).Coo(122).Filler(3).Line("   BOLETA DE CR\xC9" "DITO O D\xC9" "BITO").Filler(1).Line("   ORIGINAL");
        cases.push_back({"credit note without 2\xAAVIA", r.Text(), 255, LossBlock(2, 1, 121, 121), true});
    }
    {
        Report r;
        r.Coo(120).Coo(122).Filler(3).Line("BOLETA DE CR\xC9" "DITO O D\xC9" "BITO").Filler(1).Line("  2\xAAVIA");
        cases.push_back({"credit note title at the start of its line", r.Text(), 255, LossBlock(2, 1, 121, 121), true});
    }
    cases.push_back({"user change restarts the count",
                     Report().Coo(57).UserChange().Coo(1).Coo(2).Text(), 255, UserBlock(2) + kNothing, false});
    cases.push_back({"first COO of the report is no gap", Report().Coo(4711).Coo(4712).Text(), 255, kNothing, false});
    {
        // "COO:" within the first 16 characters is not a document number.
        Report r;
        r.Coo(10).Line("COO:000500").Line("     TOTAL  COO:000600").Coo(11);
        cases.push_back({"COO: at position 15 or less", r.Text(), 255, kNothing, false});
    }
    {
        // The counter starts again: 900 then 5. Lines: header 1-3, 900 at 4, 5 at 5, the four
        // look-aheads 6-9, the Z line at 10.
        Report r;
        r.Header("15/03/2009", "10:20:30").Coo(900).Coo(5).Filler(4).Z().Coo(6);
        cases.push_back({"counter restart, then a Z reduction", r.Text(), 4096,
                         LossBlock(5, -896, 901, 4) + ZBlock(kZLine, 10, 5, "15032009", "102030"), true});
    }
    {
        Report r;
        r.Header("15/03/2009", "10:20:30").Coo(900).Coo(5).Filler(4).Coo(6).Coo(7);
        cases.push_back({"counter restart without a Z reduction", r.Text(), 4096,
                         LossBlock(5, -896, 901, 4) + ZBlock(kZEnd, 11, 7, "15032009", "102030"), true});
    }
    {
        // The "FAB:" line dates the report for every model but the Heron 2 TH.
        Report r;
        r.Fab("01/02/2010", "23:59:58").Coo(30).Coo(2).Filler(4).Z();
        cases.push_back({"FAB date for other models", r.Text(), 255,
                         LossBlock(3, -29, 31, 1) + ZBlock(kZLine, 8, 2, "01022010", "235958"), true});
        cases.push_back({"FAB ignored for the Heron 2 TH", r.Text(), 4096,
                         LossBlock(3, -29, 31, 1) + ZBlock(kZLine, 8, 2, "", ""), true});
    }
    {
        // The date in force when the counter started again is the one kept.
        Report r;
        r.Fab("01/02/2010", "08:00:00").Coo(30).Coo(2).Filler(4).Fab("02/02/2010", "09:00:00").Z();
        cases.push_back({"saved date is the one at the restart", r.Text(), 255,
                         LossBlock(3, -29, 31, 1) + ZBlock(kZLine, 9, 2, "01022010", "080000"), true});
    }
    {
        // A "FAB:" line one character short of its time is not read.
        Report r;
        r.Fab("01/02/2010", "08:00:00").Line("FAB:TV0102030405060708091011" "03/03/2011 07:07:0").Coo(30).Coo(2);
        r.Filler(4);
        cases.push_back({"short FAB line keeps the older date", r.Text(), 255,
                         LossBlock(4, -29, 31, 1) + ZBlock(kZEnd, 8, 2, "01022010", "080000"), true});
    }
    {
        // The header's date line too short: nothing taken; a header line shorter than p + 46
        // reads no look-ahead at all (the COO two lines below is then examined).
        Report r;
        r.Line("TALVERON        Heron 2 TH           ECF-IF   ").Line("x").Line("  15/03/2009").Coo(30).Coo(2);
        r.Filler(4);
        cases.push_back({"short date line below the header", r.Text(), 4096,
                         LossBlock(5, -29, 31, 1) + ZBlock(kZEnd, 9, 2, "", ""), true});
    }
    {
        // The report ends inside the look-ahead: the lines there are counted, the gap is a loss.
        Report r;
        r.Coo(1).Coo(5).Filler(2);
        cases.push_back({"end of report inside the look-ahead", r.Text(), 255, LossBlock(2, 3, 2, 4), true});
        Report s;
        s.Coo(1).Coo(5).Filler(3).Line("   BOLETA DE CR\xC9" "DITO O D\xC9" "BITO").Filler(1);
        cases.push_back({"end of report before 2\xAAVIA", s.Text(), 255, LossBlock(2, 3, 2, 4), true});
    }
    {
        // Digits cut by the end of the line: what is there is the number.
        cases.push_back({"COO cut short by the line end",
                         std::string(20, ' ') + "COO:000010\n" + std::string(20, ' ') + "COO:12\n" + "x\nx\nx\nx\n",
                         255, LossBlock(2, 1, 11, 11), true});
        cases.push_back({"COO: at the very end of a line",
                         std::string(20, ' ') + "COO:000010\n" + std::string(20, ' ') + "COO:\nx\nx\nx\nx\n", 255,
                         LossBlock(2, -11, 11, -1) + ZBlock(kZEnd, 6, 0, "", ""), true});
    }
    {
        // Only the first 499 bytes of a line count; a long line is still one line.
        std::string long_line = std::string(100000, 'A');
        std::string past_limit = std::string(497, ' ') + "COO:000777";
        Report r;
        r.Coo(1).Line(long_line).Line(past_limit).Coo(2).Line(long_line + "COO:000999").Coo(3);
        cases.push_back({"long lines", r.Text(), 255, kNothing, false});
        Report s;
        s.Coo(1).Line(long_line).Coo(4).Filler(4);
        cases.push_back({"line numbers after a long line", s.Text(), 255, LossBlock(3, 2, 2, 3), true});
    }
    {
        // Line ends: LF alone, CR LF, and a lone CR that does not end a line.
        Report r;
        r.Coo(1).Coo(3).Filler(4);
        cases.push_back({"LF line ends", r.Text("\n"), 255, LossBlock(2, 1, 2, 2), true});
        cases.push_back({"lone CR", std::string(20, ' ') + "COO:000001\r" + std::string(20, ' ') + "COO:000003\r\n",
                         255, kNothing, false});
    }
    {
        // NUL bytes are ordinary bytes: they hide nothing that follows them.
        std::string nul_line = std::string(10, ' ') + std::string(1, '\0') + std::string(9, ' ') + "COO:000007";
        cases.push_back({"NUL before COO:", Report().Coo(5).Line(nul_line).Filler(4).Text(), 255,
                         LossBlock(2, 1, 6, 6), true});
    }
    return cases;
}

TEST(DiagnosisReport, WalksReportsAsWritten) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        Diagnosis d = DiagnoseAuditReport(c.report, c.model_mask);
        EXPECT_EQ(d.text, c.expected);
        EXPECT_EQ(d.found, c.found);
        EXPECT_FALSE(d.cancelled);
    }
}

TEST(DiagnosisReport, ReportLinesCutAtTheLimit) {
    std::string text = std::string(499, 'a') + "\r\n" + std::string(500, 'b') + "\r\n" + "c\r" + "\n" + "d";
    ReportLines lines(text);
    std::string line;
    ASSERT_TRUE(lines.Next(line));
    EXPECT_EQ(line, std::string(499, 'a'));
    ASSERT_TRUE(lines.Next(line));
    EXPECT_EQ(line, std::string(499, 'b'));
    ASSERT_TRUE(lines.Next(line));
    EXPECT_EQ(line, "c");
    ASSERT_TRUE(lines.Next(line));
    EXPECT_EQ(line, "d");
    EXPECT_FALSE(lines.Next(line));
}

// A progress window whose user presses Cancel after `after` lines.
class CancellingProgress : public ProgressWindow {
public:
    explicit CancellingProgress(int after) : after_(after) {}
    void PumpMessages(bool escape_cancels) override {
        escape_ = escape_cancels;
        if (++pumps_ == after_) Cancel();
    }
    int pumps_ = 0;
    bool escape_ = false;

private:
    int after_;
};

TEST(DiagnosisReport, CancelKeepsWhatWasFoundAndCloses) {
    Report r;
    r.Header("15/03/2009", "10:20:30").Coo(900).Coo(5).Filler(4).Filler(100).Z();
    std::string text = r.Text();
    ReportLines lines(text);
    // Pumps once a line of the walk: the header (lines 1-3), COO 900 (4), COO 5 with its
    // look-ahead (5-9); Cancel there ends the walk before the Z line.
    CancellingProgress progress(3);
    Diagnosis d = DiagnoseAuditReport(lines, 4096, &progress);
    EXPECT_TRUE(d.cancelled);
    EXPECT_TRUE(progress.escape_);
    EXPECT_EQ(progress.Position(), 3);
    EXPECT_EQ(d.lines, 9);
    EXPECT_EQ(d.text, LossBlock(5, -896, 901, 4) + ZBlock(kZEnd, 9, 5, "15032009", "102030"));

}

}  // namespace
}  // namespace ordavo
