#include "fiscalmemory/gui/mfd_dialog.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/strings.h"
#include "engine/util.h"
#include "fiscalmemory/core/mfd_rules.h"
#include "fiscalmemory/library/talvmfd.h"
#include "shell/core/settings.h"
#include "shell/gui/gui_support.h"
#include "shell/gui/progress_wnd.h"
#include "shell/gui/qt_user_interface.h"
#include "shell/gui/wait_dlg.h"

namespace ordavo::gui {
namespace {

constexpr char kCancelar[] = " Cancelar ";
// The progress window is redrawn and the user's clicks looked at this often while a download
// reports progress; the library may report far more often.
constexpr int kPumpEveryMs = 25;

QString MenuText(const std::string& cp1252) { return Q(cp1252).replace('&', "&&"); }

// What the library's progress callback works on during one call.
struct DownloadProgress {
    ProgressWnd* window;
    std::string message;
    QElapsedTimer since_pump;
};

int OnProgress(long long done, long long expected, void* context) {
    auto* p = static_cast<DownloadProgress*>(context);
    if (!p || !p->window) return 0;
    bool finished = expected > 0 && done >= expected;
    if (p->window->IsCancelled()) return 1;
    if (!finished && p->since_pump.isValid() && p->since_pump.elapsed() < kPumpEveryMs) return 0;
    if (expected > 0) {
        long long clamped = std::clamp(done, 0LL, expected);
        p->window->SetPosition(static_cast<int>(static_cast<double>(clamped) * 1000.0 / static_cast<double>(expected)));
        p->window->SetText(p->message + Format("\n%lld de %lld bytes", clamped, expected));
    } else {
        p->window->StepWrapped();
        p->window->SetText(p->message + Format("\n%lld bytes", std::max(done, 0LL)));
    }
    p->window->PumpMessages(true);
    p->since_pump.restart();
    return p->window->IsCancelled() ? 1 : 0;
}

void AddMenuNodes(QMenu* menu, const std::vector<MfdMenuNode>& nodes, QObject* receiver,
                  const std::function<void(int)>& run) {
    for (const MfdMenuNode& node : nodes) {
        if (node.IsSeparator()) {
            menu->addSeparator();
        } else if (node.IsPopup()) {
            QMenu* sub = menu->addMenu(MenuText(node.text));
            AddMenuNodes(sub, node.children, receiver, run);
        } else {
            QAction* action = menu->addAction(MenuText(node.text));
            action->setData(node.id);
            int id = node.id;
            // The command runs once the menu has closed.
            QObject::connect(action, &QAction::triggered, receiver, [receiver, run, id] {
                QMetaObject::invokeMethod(receiver, [run, id] { run(id); }, Qt::QueuedConnection);
            });
        }
    }
}

QAction* FindAction(QMenu* menu, int id) {
    for (QAction* a : menu->actions()) {
        if (a->menu()) {
            if (QAction* found = FindAction(a->menu(), id)) return found;
        } else if (!a->isSeparator() && a->data().toInt() == id) {
            return a;
        }
    }
    return nullptr;
}

}  // namespace

MFDDialog::MFDDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("MFDDialog");
    AddDownloadCommands(commands_);
    AddReportCommands(commands_);
    AddDiagnosisCommands(commands_);
    AddPdf417Commands(commands_);

    // Nothing is said when the library is missing: the commands say it when they need it.
    if (resident_.Load(LibraryName())) {
        if (auto set_baud = resident_.Find<decltype(&TalvSetBaudrate)>("TalvSetBaudrate"))
            set_baud(GetSettings().BaudRate);
    }

    setWindowTitle(QStr(IDS_OPERACIONES_CON_ARCHIVOS));
    auto* layout = new QVBoxLayout(this);
    bar_ = new QMenuBar(this);
    bar_->setObjectName("menuBar");
    layout->setMenuBar(bar_);
    BuildMenu();
    // Wide enough for the whole menu bar: no popup hidden behind the overflow arrow.
    resize(std::max(560, bar_->sizeHint().width() + 24), 320);
    InstallHelpKey(this);
}

MFDDialog::~MFDDialog() = default;

void MFDDialog::BuildMenu() {
    const std::vector<int> greyed = GreyedMfdPopups(GetSettings().Country);
    int position = 0;
    for (const MfdMenuNode& popup : MfdMenu()) {
        QMenu* menu = bar_->addMenu(MenuText(popup.text));
        AddMenuNodes(menu, popup.children, this, [this](int id) { OnCommand(id); });
        if (std::find(greyed.begin(), greyed.end(), position) != greyed.end()) menu->menuAction()->setEnabled(false);
        ++position;
    }
}

QMenu* MFDDialog::Popup(int position) const {
    QList<QAction*> tops = bar_->actions();
    return position >= 0 && position < tops.size() ? tops[position]->menu() : nullptr;
}

QAction* MFDDialog::Action(int id) const {
    for (QAction* top : bar_->actions())
        if (QAction* a = FindAction(top->menu(), id)) return a;
    return nullptr;
}

void MFDDialog::OnCommand(int id) {
    if (id == ID_MFD_SALIR) {
        reject();
        return;
    }
    auto it = commands_.find(id);
    if (it == commands_.end() || !it->second) {
        ShowNotAvailable(id);
        return;
    }
    it->second(*this);
}

void MFDDialog::ShowNotAvailable(int id) {
    QAction* action = Action(id);
    QString feature = action ? action->text().replace("&&", "&") : QString::number(id);
    QtUserInterface(this).MessageBox(Cp(feature + "\n\nEsta funci\u00f3n todav\u00eda no est\u00e1 disponible en esta versi\u00f3n."),
                                     Cp(feature), MsgButtons::Ok, MsgIcon::Information);
}

std::string MFDDialog::LibraryName() const { return FiscalLibraryName(GetSettings().Country); }

bool MFDDialog::Message(const std::string& text, const std::string& caption, MsgButtons buttons, MsgIcon icon) {
    return QtUserInterface(this).MessageBox(text, caption, buttons, icon);
}

bool MFDDialog::LoadFiscalLibrary(FiscalLibrary& library, bool complain) {
    if (library.Load(LibraryName())) return true;
    if (complain) Message(Str(IDS_DLL_NO_CARGADA), "", MsgButtons::Ok, MsgIcon::None);
    return false;
}

bool MFDDialog::FetchSerialNumber(std::string& serial) {
    FiscalLibrary library;
    if (!library.Load(LibraryName())) return false;
    auto get_serial = library.Find<decltype(&TalvGetSerialNumber)>("TalvGetSerialNumber");
    if (!get_serial) return false;
    // One byte more than the library may fill, so that the text always ends.
    char buffer[TALV_SERIAL_SIZE + 1] = {};
    int result;
    {
        WaitDlg wait(Str(IDS_AGUARDE), this);
        result = get_serial(GetSettings().PortName.c_str(), buffer);
    }
    if (result != 0) return false;
    serial = SerialFromBuffer(buffer, TALV_SERIAL_SIZE);
    return true;
}

void MFDDialog::ShowLibraryResult(int code) {
    if (const char* text = LibraryResultText(code)) Message(text, "", MsgButtons::Ok, MsgIcon::Exclamation);
}

void MFDDialog::OfferToOpen(const std::string& path) {
    if (Message(SuccessPromptText(path), "", MsgButtons::YesNo, MsgIcon::Question)) OpenDocument(path);
}

int MFDDialog::RunLibraryCall(FiscalLibrary& library, const std::string& message, const std::function<int()>& call) {
    const std::string text = message.empty() ? Str(IDS_AGUARDE) : message;
    auto set_progress = library.Find<decltype(&TalvSetProgressCallback)>("TalvSetProgressCallback");
    if (!set_progress) {
        WaitDlg wait(text, this);
        return call();
    }
    ProgressWnd window(this, Str(IDS_PROGRESO), true);
    window.CancelButton()->setText(kCancelar);
    window.SetRange(0, 1000);
    window.SetText(text);
    window.BeginModal();
    // Painted with its text now: the library may not report before it is done.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    DownloadProgress progress{&window, text, {}};
    set_progress(&OnProgress, &progress);
    int result = call();
    set_progress(nullptr, nullptr);
    return result;
}

std::string MFDDialog::FetchPublicKey(const std::string& serial, FiscalLibrary& library, const std::string& file,
                                      bool ask) {
    auto download = library.Find<decltype(&TalvDownloadPublicKey)>("TalvDownloadPublicKey");
    if (!download) return kNoKey;
    std::string key;
    if (ask) {
        if (!ChooseSaveFile(this, "Guardar como", FileNameSafe(serial), "*.pub",
                            "Archivos de Clave P\xFA" "blica (*.pub)|*.pub|Todos los Archivos (*.*)|*.*||", key))
            return kNoKey;
    } else {
        key = KeyPathBeside(file, serial);
    }
    const std::string port = GetSettings().PortName;
    int result = RunLibraryCall(library, Str(IDS_AGUARDE_CLAVE), [&] { return download(port.c_str(), key.c_str()); });
    ShowLibraryResult(result);
    if (result != 0) {
        library.Release();
        return kNoKey;
    }
    return key;
}

void MFDDialog::ValidateSignedFile(const std::string& file, const std::string& key_in) {
    std::string key = key_in;
    if (!FileReadable(file)) {
        Message(Str(IDS_ARCHIVO_NO_ENCONTRADO), "", MsgButtons::Ok, MsgIcon::None);
        return;
    }
    if (key == kNoKey || !FileReadable(key)) {
        std::string serial;
        if (!FetchSerialNumber(serial)) {
            ShowLibraryResult(8);
            return;
        }
        if (!ChooseOpenFile(this, "Selecione Archivo de Clave Publica", "*.pub",
                            "Archivos de Clave Publica (*.pub)|*.pub|Todos los Archivos (*.*)|*.*||", FileNameSafe(serial), key))
            return;
    }
    FiscalLibrary library;
    if (!LoadFiscalLibrary(library, true)) return;
    auto validate = library.Find<decltype(&TalvValidate)>("TalvValidate");
    if (!validate) return;
    int result = validate(file.c_str(), key.c_str());
    ShowLibraryResult(result);
    Message(Str(result != 0 ? IDS_ARCHIVO_INVALIDO : IDS_ARCHIVO_VALIDO), "", MsgButtons::Ok, MsgIcon::None);
}

void MFDDialog::SignedDownloadTail(const std::string& serial, FiscalLibrary& library, const std::string& file,
                                   bool public_key_wanted) {
    std::string key = FetchPublicKey(serial, library, file, public_key_wanted);
    library.Release();
    ValidateSignedFile(file, key);
    // The key was fetched only for the check.
    if (!public_key_wanted && key != kNoKey) QFile::remove(QPath(key));
}

}  // namespace ordavo::gui
