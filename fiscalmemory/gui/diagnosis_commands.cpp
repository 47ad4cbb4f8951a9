// The fiscal-memory window's commands of the audit-report diagnosis (32788) and the download
// in parts (32834).
#include <new>

#include "engine/env.h"
#include "engine/strings.h"
#include "fiscalmemory/core/diagnosis.h"
#include "fiscalmemory/gui/download_parts_dlg.h"
#include "fiscalmemory/gui/mfd_commands.h"
#include "shell/gui/gui_support.h"

namespace ordavo::gui {
namespace {

constexpr int kDiagnosisCommand = 32788;
constexpr int kDownloadInPartsCommand = 32834;
constexpr int kNoTxtFile = 33001;  // "No fue posible abrir el archivo .txt"

void Warn(MfdContext& ctx, const std::string& text) { ctx.Message(text, "", MsgButtons::Ok, MsgIcon::Exclamation); }

void DiagnoseAuditReport(MfdContext& ctx) {
    // The serial number, when the printer gives it, only names the report proposed.
    std::string serial;
    ctx.FetchSerialNumber(serial);
    std::string report;
    if (!ChooseOpenFile(ctx.Window(), "Relacion de la MA", "*.txt",
                        "Archivos de texto (*.txt)|*.txt|Todos os Archivos (*.*)|*.*||", serial, report))
        return;
    const Settings& s = *EngineEnv().settings;
    DiagnosisRun run = RunAuditDiagnosis(report, s.AppDirectory, s.ModelMask, EngineEnv().ui);
    switch (run.status) {
        case DiagnosisRun::Status::Written:
            ctx.OfferToOpen(run.output_path);
            break;
        case DiagnosisRun::Status::ReportUnreadable:
            Warn(ctx, Str(kNoTxtFile) + "\n" + report + ": " + run.error);
            break;
        case DiagnosisRun::Status::OutputNotWritten:
            Warn(ctx, Str(IDS_NO_CREAR_ARCHIVO) + "\n" + run.output_path + ": " + run.error);
            break;
    }
}

void OpenDownloadInParts(MfdContext& ctx) {
    DialogDownloadInParts* dlg = nullptr;
    try {
        dlg = new DialogDownloadInParts(ctx.Window());
    } catch (const std::bad_alloc&) {
        Warn(ctx, "Error Creating Dialog Object");
        return;
    }
    // Modeless, over the fiscal-memory window; gone when closed.
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->show();
}

}  // namespace

void AddDiagnosisCommands(MfdCommandTable& table) {
    table[kDiagnosisCommand] = DiagnoseAuditReport;
    table[kDownloadInPartsCommand] = OpenDownloadInParts;
}

}  // namespace ordavo::gui
