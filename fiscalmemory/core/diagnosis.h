// The audit-report diagnosis: reads the text report of an audit memory line by line and lists
// the documents lost between two COO numbers, the changes of user, and the Z reductions that
// the library has to create after the document counter started again. The result goes to
// "diagnostico_mfd.txt" in the application directory, Windows-1252 with CR LF line ends.
//
// Any bytes are accepted. How lines are cut:
// - a line ends at a line feed; a carriage return just before it is dropped (the text-mode
//   reading of the report); every other byte, NUL and Ctrl-Z included, is an ordinary byte;
// - only the first 499 bytes of a line are examined; the rest of a longer line is skipped and
//   the line still counts as one, so line numbers are those of a text editor;
// - every position read is checked against the line's end: six digits after "COO:" are taken
//   as far as the line goes (an atoi of what is there), and a date and time are taken from the
//   line two below the maker's header only when that line reaches the last character read;
// - a look-ahead that meets the end of the report stops there: the lines that exist are read
//   and counted, and a gap that could not be explained by them is a loss.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "engine/ui.h"

namespace ordavo {

constexpr int kReportLineMax = 499;
constexpr const char* kDiagnosisFileName = "diagnostico_mfd.txt";
// ModelMask of the "Heron 2 TH" printer, whose reports date themselves in the maker's header
// rather than on the "FAB:" line.
constexpr int kModelMaskHeron2 = 0x1000;

// The report's lines, from a file or from bytes in memory.
class ReportLines {
public:
    explicit ReportLines(std::string_view bytes) : bytes_(bytes) {}
    explicit ReportLines(std::FILE* file) : file_(file) {}  // not owned

    // The next line without its line end, at most kReportLineMax bytes; false at the end.
    bool Next(std::string& line);
    // True when reading the file failed (as opposed to reaching its end).
    bool Failed() const { return file_ && std::ferror(file_); }

private:
    int Get();

    std::FILE* file_ = nullptr;
    std::string_view bytes_;
    size_t pos_ = 0;
};

struct Diagnosis {
    std::string text;      // the analysis, Windows-1252, CR LF
    bool found = false;    // something was listed
    bool cancelled = false;
    long long lines = 0;   // lines read, look-aheads included
};

// Walks the report. With a progress window, the bar moves on every line and a Cancel (or
// Escape) ends the walk; the text then ends with the closing blocks as after the last line.
Diagnosis DiagnoseAuditReport(ReportLines& report, int model_mask, ProgressWindow* progress = nullptr);
Diagnosis DiagnoseAuditReport(std::string_view report, int model_mask);

// The output file of an application directory.
std::string DiagnosisOutputPath(const std::string& app_dir);

struct DiagnosisRun {
    enum class Status { Written, ReportUnreadable, OutputNotWritten };
    Status status = Status::Written;
    Diagnosis diagnosis;
    std::string output_path;
    std::string error;  // why the report could not be read or the output not written
};

// The whole job: reads `report_path` under a progress window titled "Progreso" (range 0 to
// 10000, "Recibiendo Retorno..."), and replaces DiagnosisOutputPath(app_dir) atomically with
// the analysis. A report that cannot be read writes nothing: its "analysis" would be a
// "Ningún erro encontrado!" about a file nobody read.
DiagnosisRun RunAuditDiagnosis(const std::string& report_path, const std::string& app_dir, int model_mask,
                               UserInterface* ui);

}  // namespace ordavo
