#include "fiscalmemory/core/diagnosis.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/stat.h>

#include "engine/strings.h"
#include "engine/util.h"

namespace ordavo {
namespace {

constexpr std::string_view kCoo = "COO:";
constexpr std::string_view kMakerHeader = "TALVERON        Heron 2 TH           ECF-IF";
constexpr std::string_view kFab = "FAB:";
constexpr std::string_view kReductionZ = "       REDUCCI\xD3N Z        ";
constexpr std::string_view kSecondCopy = "2\xAAVIA";

// A header or "FAB:" line carries "DD/MM/YYYY HH:MM:SS" at 28 characters past its marker.
constexpr size_t kHeaderMinLength = 46;  // what the header line itself must reach
constexpr size_t kDateTimeEnd = 47;      // one past the last character of the time
constexpr size_t kDatePositions[] = {28, 29, 31, 32, 34, 35, 36, 37};
constexpr size_t kTimePositions[] = {39, 40, 42, 43, 45, 46};

constexpr int kProgressUpper = 10000;

const std::string& Stars() {
    static const std::string stars(76, '*');
    return stars;
}

class Walker {
public:
    Walker(ReportLines& report, int model_mask, ProgressWindow* progress)
        : report_(report), model_mask_(model_mask), progress_(progress) {}

    Diagnosis Run() {
        Diagnosis d;
        for (;;) {
            if (progress_ && progress_->IsCancelled()) {
                d.cancelled = true;
                break;
            }
            if (!report_.Next(line_)) break;
            ++line_number_;
            Examine();
            if (progress_) {
                progress_->StepWrapped();
                progress_->PumpMessages(true);
            }
        }
        if (z_pending_) {
            found_ = true;
            WriteZBlock("\r\nlinha:");
        }
        if (!found_) out_ += "\r\nNing\xFAn erro encontrado!\r\n";
        d.text = std::move(out_);
        d.found = found_;
        d.lines = line_number_;
        return d;
    }

private:
    // A look-ahead: the next line becomes the current one and counts.
    bool ReadAhead() {
        if (!report_.Next(line_)) return false;
        ++line_number_;
        return true;
    }
    int ReadAhead(int n) {
        int got = 0;
        while (got < n && ReadAhead()) ++got;
        return got;
    }

    // True when `what` first occurs in the current line after its first character.
    bool ContainsPastStart(std::string_view what) const {
        size_t p = line_.find(what);
        return p != std::string::npos && p > 0;
    }

    void Examine() {
        if (line_.find(Str(IDS_ALTERACION_USUARIO)) != std::string::npos) {
            out_ += "**************** ALTERACI\xD3N DE USUARIO EN LA L\xCDNEA:" + std::to_string(line_number_) +
                    "**************************\r\n\r\n";
            coo_ = 0;
            last_coo_ = 0;
        }

        size_t p = line_.find(kCoo);
        if (p != std::string::npos && p > 15) ExamineCoo(p);

        p = line_.find(kMakerHeader);
        if (p != std::string::npos && line_.size() >= p + kHeaderMinLength) {
            // The date and time stand two lines below the header.
            if (ReadAhead(2) == 2) TakeDateTime(p);
        }

        p = line_.find(kFab);
        if (p != std::string::npos && model_mask_ != kModelMaskHeron2) TakeDateTime(p);

        if (z_pending_ && line_.find(kReductionZ) != std::string::npos) {
            found_ = true;
            WriteZBlock("\r\nl\xEDnea de reducci\xF3n z posterior:");
            z_pending_ = false;
        }
    }

    void ExamineCoo(size_t p) {
        // The six characters after "COO:", as far as the line goes.
        coo_ = AtoiC(std::string_view(line_).substr(p + kCoo.size(), 6));
        const long long coo_line = line_number_;
        if (coo_ != last_coo_ + 1 && last_coo_ != -1) {
            bool explained = false;
            // A second copy of a credit or debit note takes a COO of its own that the report
            // does not list: its title stands four lines on, "2ªVIA" two lines further.
            if (ReadAhead(4) == 4 && ContainsPastStart(Str(IDS_BOLETA_CREDITO_DEBITO)))
                explained = ReadAhead(2) == 2 && ContainsPastStart(kSecondCopy);
            if (!explained) {
                found_ = true;
                out_ += "**************** ERRO - PERDA DE DOCUMENTO NA L\xCDNEA:" + std::to_string(coo_line) +
                        "*******************\r\n";
                out_ += "Perda de " + std::to_string(coo_ - last_coo_ - 1) + " documento(s)\r\n";
                out_ += "Perda de documento(s): " + std::to_string(last_coo_ + 1) + " a " +
                        std::to_string(coo_ - 1);
                out_ += "\r\n" + Stars() + "\r\n\r\n";
                if (coo_ <= last_coo_) {
                    // The counter started again: the Z reduction of the old count is missing.
                    z_pending_ = true;
                    saved_date_ = date_;
                    saved_time_ = time_;
                }
            }
        }
        last_coo_ = coo_;
    }

    void TakeDateTime(size_t p) {
        if (line_.size() < p + kDateTimeEnd) return;
        date_.clear();
        for (size_t k : kDatePositions) date_ += line_[p + k];
        time_.clear();
        for (size_t k : kTimePositions) time_ += line_[p + k];
    }

    void WriteZBlock(const char* line_label) {
        out_ += "\r\n**************** ERRO - LLAMAR DLL PARA CREAR RZ ***************************";
        out_ += line_label + std::to_string(line_number_);
        out_ += "\r\nCOO del \xFAltimo documento a ser considerado:" + std::to_string(coo_);
        out_ += "\r\nData:" + saved_date_;
        out_ += "\r\nHora:" + saved_time_;
        out_ += "\r\n" + Stars() + "\r\n\r\n";
    }

    ReportLines& report_;
    const int model_mask_;
    ProgressWindow* progress_;

    std::string line_;
    std::string out_;
    long long line_number_ = 0;
    long long coo_ = -1;
    long long last_coo_ = -1;
    std::string date_, time_, saved_date_, saved_time_;
    bool z_pending_ = false;
    bool found_ = false;
};

}  // namespace

int ReportLines::Get() {
    if (file_) return std::getc(file_);
    if (pos_ >= bytes_.size()) return EOF;
    return static_cast<unsigned char>(bytes_[pos_++]);
}

bool ReportLines::Next(std::string& line) {
    line.clear();
    int c = Get();
    if (c == EOF) return false;
    // One byte more than is kept, so that a carriage return right after the 499th byte is
    // still recognised as the line end.
    constexpr size_t kKeep = kReportLineMax + 1;
    for (; c != EOF && c != '\n'; c = Get())
        if (line.size() < kKeep) line += static_cast<char>(c);
    if (c == '\n' && !line.empty() && line.back() == '\r' && line.size() <= kKeep) line.pop_back();
    if (line.size() > static_cast<size_t>(kReportLineMax)) line.resize(kReportLineMax);
    return true;
}

Diagnosis DiagnoseAuditReport(ReportLines& report, int model_mask, ProgressWindow* progress) {
    return Walker(report, model_mask, progress).Run();
}

Diagnosis DiagnoseAuditReport(std::string_view report, int model_mask) {
    ReportLines lines(report);
    return DiagnoseAuditReport(lines, model_mask);
}

std::string DiagnosisOutputPath(const std::string& app_dir) {
    if (app_dir.empty()) return kDiagnosisFileName;
    if (app_dir.back() == '/') return app_dir + kDiagnosisFileName;
    return app_dir + "/" + kDiagnosisFileName;
}

DiagnosisRun RunAuditDiagnosis(const std::string& report_path, const std::string& app_dir, int model_mask,
                               UserInterface* ui) {
    DiagnosisRun run;
    run.output_path = DiagnosisOutputPath(app_dir);

    struct stat st {};
    if (::stat(report_path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        run.status = DiagnosisRun::Status::ReportUnreadable;
        run.error = S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : std::strerror(errno);
        return run;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(report_path.c_str(), "rb"), &std::fclose);
    if (!file) {
        run.status = DiagnosisRun::Status::ReportUnreadable;
        run.error = std::strerror(errno);
        return run;
    }

    std::unique_ptr<ProgressWindow> progress;
    if (ui) progress = ui->CreateProgress(Str(IDS_PROGRESO), true);
    if (!progress) progress = std::make_unique<ProgressWindow>(Str(IDS_PROGRESO));
    progress->SetRange(0, kProgressUpper, 1);
    progress->SetText(Str(IDS_RECIBIENDO_RETORNO));

    ReportLines lines(file.get());
    run.diagnosis = DiagnoseAuditReport(lines, model_mask, progress.get());
    progress.reset();
    if (lines.Failed()) {
        run.status = DiagnosisRun::Status::ReportUnreadable;
        run.error = std::strerror(errno ? errno : EIO);
        return run;
    }
    if (!WriteFileAtomically(run.output_path, run.diagnosis.text, &run.error))
        run.status = DiagnosisRun::Status::OutputNotWritten;
    return run;
}

}  // namespace ordavo
