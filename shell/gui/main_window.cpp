#include "shell/gui/main_window.h"

#include "shell/gui/help_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QLabel>
#include <QStatusBar>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/catalog.h"
#include "engine/env.h"
#include "engine/strings.h"
#include "fiscalmemory/gui/mfd_dialog.h"
#include "programming/gui/program_machine_dlg.h"
#include "engine/data_directory.h"
#include "shell/core/config_model.h"
#include "shell/core/menu_model.h"
#include "shell/core/catalog_reference.h"
#include "shell/core/command_outcome.h"
#include "shell/core/settings.h"
#include "shell/gui/config_dlg.h"
#include "shell/gui/gui_support.h"
#include "shell/gui/message_return_dlg.h"

namespace ordavo::gui {
namespace {

std::map<int, MenuWindowOpener>& WindowOpeners() {
    static std::map<int, MenuWindowOpener> openers;
    return openers;
}

CommandFormOpener& FormOpener() {
    static CommandFormOpener opener;
    return opener;
}

// A menu text shows "&" as it is; Qt would take it for a mnemonic.
QString MenuText(const std::string& cp1252) { return Q(cp1252).replace('&', "&&"); }

void ShowNotAvailable(QWidget* parent, const QString& feature) {
    QDialog dialog(parent);
    dialog.setObjectName("NotAvailableDlg");
    dialog.setWindowTitle(feature);
    auto* text = new QLabel(QString("%1\n\nEsta funci\u00f3n todav\u00eda no est\u00e1 disponible en esta versi\u00f3n.")
                                .arg(feature),
                            &dialog);
    text->setObjectName("text");
    auto* ok = new QPushButton("OK", &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->addWidget(text);
    layout->addWidget(ok, 0, Qt::AlignRight);
    InstallHelpKey(&dialog);
    dialog.exec();
}

}  // namespace

void SetMenuWindowOpener(int menu_id, MenuWindowOpener opener) {
    if (opener)
        WindowOpeners()[menu_id] = std::move(opener);
    else
        WindowOpeners().erase(menu_id);
}

void SetCommandFormOpener(CommandFormOpener opener) { FormOpener() = std::move(opener); }

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui_(this) {
    setObjectName("MainWindow");
    InitResources();
    GetSettings().Reset();
    setWindowIcon(QIcon(":/ordavo/ordavo.png"));

    // The window and its controls are painted on white, the logo in the middle.
    auto* central = new QWidget(this);
    central->setObjectName("central");
    central->setAutoFillBackground(true);
    QPalette white = central->palette();
    white.setColor(QPalette::Window, Qt::white);
    central->setPalette(white);
    auto* logo = new QLabel(central);
    logo->setObjectName("logo");
    logo->setPixmap(QPixmap(":/ordavo/logo.png"));
    logo->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(logo, 1);
    setCentralWidget(central);

    previous_ui_ = EngineEnv().ui;
    EngineEnv().ui = &ui_;
    InstallHelpKey(this);
}

MainWindow::~MainWindow() {
    if (EngineEnv().ui == &ui_) EngineEnv().ui = previous_ui_;
    EngineEnv().executed = nullptr;
    if (!started_) return;
    Settings to_save = GetSettings();
    if (port_override_ && to_save.PortName == *port_override_) to_save.PortName = configured_port_;
    SaveConfiguration(to_save);
}

bool MainWindow::Start() {
    setWindowTitle(QStr(IDS_ORDAVO));
    showMaximized();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    Settings& s = GetSettings();
    StartSettings(s);
    configured_port_ = s.PortName;
    if (port_override_) s.PortName = *port_override_;
    started_ = true;

    bool loaded = LoadCatalogWithWait();
    if (loaded) BuildMenu();
    // Every command run from here on, by whichever window, shows its outcome below.
    EngineEnv().executed = [this](const Comando& command, int32_t result) { ShowOutcome(command, result); };
    UpdateStatusBar();
    update();
    return loaded;
}

QLabel* MainWindow::StatusField(const char* name) const { return statusBar()->findChild<QLabel*>(name); }

void MainWindow::UpdateStatusBar() {
    static const char* const kFields[] = {"port", "speed", "model", "country", "catalog", "outcome"};
    if (!StatusField("port")) {
        for (const char* name : kFields) {
            auto* label = new QLabel(statusBar());
            label->setObjectName(name);
            if (std::string(name) == "outcome")
                statusBar()->addWidget(label, 1);
            else
                statusBar()->addPermanentWidget(label);
        }
        StatusField("outcome")->setTextFormat(Qt::PlainText);
    }
    const Settings& s = GetSettings();
    std::string model = s.ModelName;
    while (!model.empty() && model.back() == ' ') model.pop_back();
    StatusField("port")->setText(QString::fromUtf8("Puerto: ") + Q(s.PortName));
    StatusField("speed")->setText(QString::number(s.BaudRate));
    StatusField("model")->setText(Q(model));
    StatusField("country")->setText(Q(s.Country));
    const std::string catalog = s.CatalogPath;
    // The catalog's name when it is the application directory's; the whole path when it is the
    // installed one (the application directory has none).
    StatusField("catalog")->setText(
        IsInstalledFile(catalog) ? Q(catalog)
                                 : Q(catalog.substr(catalog.rfind('/') == std::string::npos ? 0 : catalog.rfind('/') + 1)));
    StatusField("catalog")->setToolTip(Q(catalog));
}

void MainWindow::ShowOutcome(const Comando& command, int32_t result) {
    if (!StatusField("outcome")) UpdateStatusBar();
    CommandOutcome outcome = OutcomeOf(command, result);
    QLabel* label = StatusField("outcome");
    label->setText(Q(outcome.text));
    label->setToolTip(Q(command.retorno_formatado));
    label->setStyleSheet(outcome.ok ? QString() : QString("color: #c00000; font-weight: bold;"));
}

bool MainWindow::LoadCatalogWithWait() {
    int result;
    {
        auto wait = ui_.ShowWait(Str(IDS_CARGANDO_CATALOGO));
        result = CarregarCatalogo(GetSettings(), commands_);
    }
    if (result != 0) {
        ui_.MessageBox(Str(IDS_CATALOGO_NO_CARGADO), "", MsgButtons::Ok, MsgIcon::None);
        return false;
    }
    return true;
}

QMenu* MainWindow::AddPopup(const std::string& caption) {
    auto* menu = new QMenu(MenuText(caption), menuBar());
    menuBar()->addMenu(menu);
    connect(menu, &QMenu::triggered, this, [this](QAction* action) {
        int id = action->data().toInt();
        // Menus may be rebuilt by the command: let the menu finish its signal first.
        QMetaObject::invokeMethod(this, [this, id] { OnCommand(id); }, Qt::QueuedConnection);
    });
    return menu;
}

void MainWindow::BuildMenu() {
    const Settings& s = GetSettings();
    MenuBarModel model = BuildMenuModel(commands_, s.ModelMask, s.FilterCommands);

    auto* bar = new QMenuBar(this);
    bar->setObjectName("menuBar");
    setMenuBar(bar);  // the old bar goes, with its pop-ups
    for (const MenuPopup& popup : model.popups) {
        QMenu* menu = AddPopup(popup.caption);
        for (const MenuEntry& entry : popup.entries) {
            if (entry.IsSeparator()) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(MenuText(entry.text));
            action->setData(entry.id);
            action->setEnabled(entry.enabled);
        }
    }
    has_menu_ = true;
}

void MainWindow::OnCommand(int id) {
    switch (id) {
        case ID_OPERACIONES_ARCHIVOS: {
            MFDDialog dialog(this);
            dialog.exec();
            return;
        }
        case ID_PROGRAMAR_EQUIPO:
            OpenProgramMachine(this);
            return;
        case ID_SECUENCIA:
        case ID_CLICHE_GRAFICO: {
            auto it = WindowOpeners().find(id);
            if (it != WindowOpeners().end()) {
                it->second(this);
            } else {
                static const std::map<int, int> kTextOf = {{ID_SECUENCIA, IDS_MENU_SECUENCIA},
                                                           {ID_CLICHE_GRAFICO, IDS_MENU_CLICHE_GRAFICO}};
                ShowNotAvailable(this, QStr(kTextOf.at(id)));
            }
            return;
        }
        case ID_CONFIGURACIONES:
            OpenSettings();
            return;
        case ID_CARGAR_COMANDOS:
            ReloadCatalog();
            return;
        case ID_SALIR:
            close();
            return;
        case ID_ACERCA_DE: {
            AboutBoxDlg about(this);
            about.exec();
            return;
        }
        case ID_AYUDA_TOPICOS:
            OpenHelp(this);
            return;
        case ID_REFERENCIA_COMANDOS:
            OpenCommandReference();
            return;
        default:
            break;
    }
    int index = CommandIndexForMenuId(id, commands_.size());
    if (index >= 0) RunCommand(index);
}

void MainWindow::OpenSettings() {
    Settings& s = GetSettings();
    const std::string old_country = s.Country;
    ConfigDlg dialog(this);
    if (dialog.exec() != QDialog::Accepted) return;
    if (s.Country != old_country) LoadCatalogWithWait();
    ApplyConfigToMainWindow(dialog.Fields(), s);
    // A port chosen in the dialog is the user's own: from now on it is saved.
    if (port_override_ && s.PortName != *port_override_) port_override_.reset();
    BuildMenu();
    UpdateStatusBar();
}

void MainWindow::ReloadCatalog() {
    Settings& s = GetSettings();
    s.Country = Str(IDS_OTRO_PAIS);
    if (LoadCatalogWithWait()) BuildMenu();
    UpdateStatusBar();
}

void MainWindow::OpenCommandReference() {
    // A readable page made from the loaded catalog, not the catalog's XML.
    HelpWindow window(this);
    window.setObjectName("CommandReference");
    window.ShowHtml(Q(CatalogReferenceHtml(commands_, CommandReferencePath(GetSettings()))),
                    Q("Refer\xE9ncia de los comandos"));
    window.exec();
}

void MainWindow::RunCommand(int index) {
    if (index < 0 || static_cast<size_t>(index) >= commands_.size()) return;
    Comando command = commands_[static_cast<size_t>(index)];
    if (FormOpener()) {
        FormOpener()(this, std::move(command));
        return;
    }
    int result;
    {
        auto wait = ui_.ShowWait(Str(IDS_AGUARDE));
        result = command.Executar();
    }
    if (result != 0 || GetSettings().ShowResults) {
        MessageReturnDlg dialog(this);
        dialog.SetMessage(command.retorno_formatado);
        dialog.SetDump(command.dump);
        dialog.exec();
    }
}

}  // namespace ordavo::gui
