// The two PDF-417 commands of the fiscal-memory window: 32783 "Leitura via scanner (PDF - 417)"
// opens the capture window; 32776 "Descodificar Bitmaps PDF-417 Distintos" decodes pictures of
// the symbols through the library into an audit file.
#include <QFileDialog>
#include <QMessageBox>
#include <memory>

#include "engine/strings.h"
#include "fiscalmemory/core/library_loader.h"
#include "fiscalmemory/core/result_messages.h"
#include "fiscalmemory/library/talvmfd.h"
#include "fiscalmemory/gui/mfd_commands.h"
#include "pdf417/gui/pdf_capture.h"
#include "shell/core/file_filter.h"
#include "shell/gui/gui_support.h"
#include "shell/gui/wait_dlg.h"

namespace ordavo::gui {
namespace {

constexpr int kMenuScanner = 32783;
constexpr int kMenuBitmaps = 32776;
constexpr int kIncompleteSeries = 23;  // TalvClosePdf417ToMfd: symbols missing, nothing written
const char kSavePart[] = ".\n\n\xBFGuardar igualmente los s\xEDmbolos le\xED" "dos?";

// An open dialog that takes several files; false when cancelled.
bool ChooseOpenFiles(QWidget* parent, const std::string& title, const std::string& default_ext,
                     const std::string& filter, const std::string& initial_name, std::vector<std::string>& chosen) {
    QFileDialog dialog(DialogParent(parent));
    dialog.setWindowTitle(Q(title));
    dialog.setNameFilter(Q(QtFileFilter(filter)));
    dialog.setDefaultSuffix(Q(DefaultSuffix(default_ext)));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (!initial_name.empty()) dialog.selectFile(QPath(initial_name));
    InstallHelpKey(&dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    chosen.clear();
    for (const QString& f : dialog.selectedFiles()) chosen.push_back(NativePath(f));
    return true;
}

void DecodeBitmaps(MfdContext& ctx) {
    std::string serial;
    if (!ctx.FetchSerialNumber(serial)) serial.clear();  // only a default name
    std::vector<std::string> pictures;
    if (!ChooseOpenFiles(ctx.Window(), "Seleccione los Archivos", "*.bmp",
                         "Archivos Bitmap (*.bmp)|*.bmp|Todos los Archivos (*.*)|*.*||", serial, pictures))
        return;
    std::string output;
    if (!ChooseSaveFile(ctx.Window(), "", serial, "*.mra",
                        "Archivos de MRA (*.mra)|*.mra|Todos los Archivos (*.*)|*.*||", output))
        return;
    FiscalLibrary library(ctx.LibraryName());
    if (!library.Loaded()) {
        QMessageBox::information(DialogParent(ctx.Window()), QStr(IDS_ORDAVO), QStr(IDS_DLL_NO_CARGADA));
        return;
    }
    auto open = library.Find<int (*)(const char*)>("TalvOpenPdf417ToMfd");
    auto add = library.Find<int (*)(const char*)>("TalvAddBmpFile");
    auto close = library.Find<int (*)()>("TalvClosePdf417ToMfd");
    if (!open || !add || !close) return;

    auto status = library.Find<int (*)(char*)>("TalvGetPdf417Status");  // an older library lacks it
    auto why = [&]() -> std::string {
        char text[TALV_VERDICT_SIZE] = {};
        return status && status(text) == 0 ? std::string(text) : std::string();
    };

    auto wait = std::make_unique<WaitDlg>(Str(IDS_AGUARDE), ctx.Window());
    // Every call's result is told as it comes, a refused picture with its name and why; the
    // first failure ends the command.
    auto told = [&](int rc) {
        if (rc != 0) wait.reset();
        ctx.ShowLibraryResult(rc);
        if (rc != 0 && rc != kIncompleteSeries)
            if (const std::string reason = why(); !reason.empty())
                ctx.Message(reason, "", MsgButtons::Ok, MsgIcon::Exclamation);
        return rc == 0;
    };
    if (!told(open(output.c_str()))) return;
    for (const std::string& p : pictures)
        if (!told(add(p.c_str()))) return;
    int rc = close();
    if (rc == kIncompleteSeries) {
        // Symbols missing: nothing is written unless the user agrees.
        wait.reset();
        const std::string missing = why();
        if (!ctx.Message((missing.empty() ? LibraryResultText(rc) : missing) + std::string(kSavePart), "",
                         MsgButtons::YesNo, MsgIcon::Question))
            return;
        rc = close();
    }
    if (!told(rc)) return;
    wait.reset();
    ctx.OfferToOpen(output);
}

}  // namespace

void AddPdf417Commands(MfdCommandTable& table) {
    table[kMenuScanner] = [](MfdContext& ctx) {
        PDFCapture window(ctx.Window(), pdf417::TheScanner());
        window.exec();
    };
    table[kMenuBitmaps] = DecodeBitmaps;
}

}  // namespace ordavo::gui
