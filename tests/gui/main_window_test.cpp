// The main window on a scratch application directory: start-up, the catalog menus, the
// settings, running commands against the printer simulator, and what is saved on exit.
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>
#include <filesystem>
#include <fstream>

#include "engine/env.h"
#include "engine/util.h"
#include "shell/core/settings.h"
#include "shell/gui/config_dlg.h"
#include "shell/gui/gui_support.h"
#include "shell/gui/main_window.h"
#include "shell/gui/message_return_dlg.h"
#include "shell/gui/help_window.h"
#include "shell/gui/progress_wnd.h"
#include "shell/gui/program_windows.h"
#include "tests/gui/gui_test_util.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

using namespace ordavo;
using namespace ordavo::gui;
using ordavo::guitest::WhenModal;

namespace {

// Groups come back in a different order than their first commands would sort them, one
// title holds "&", and the model masks cover every enable rule.
const char* const kCatalog =
    "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n"
    "<comandos>\n"
    "  <cmd>\n    <tipo>Lecturas</tipo>\n    <titulo>Leer Estado de la Impresora</titulo>\n"
    "    <escape>19</escape>\n    <equipamentos_hab>65535</equipamentos_hab>\n"
    "    <tamanho_retorno>0</tamanho_retorno>\n  </cmd>\n"
    "  <cmd>\n    <tipo>Cup\xF3n Fiscal</tipo>\n    <titulo>Abrir Cup\xF3n &amp; Cerrar</titulo>\n"
    "    <escape>0</escape>\n    <equipamentos_hab>4096</equipamentos_hab>\n  </cmd>\n"
    "  <cmd>\n    <tipo>Lecturas</tipo>\n    <titulo>Lectura X por el Puerto Serial</titulo>\n"
    "    <escape>69</escape>\n    <equipamentos_hab>256</equipamentos_hab>\n"
    "    <tamanho_retorno>-1</tamanho_retorno>\n  </cmd>\n"
    "  <cmd>\n    <tipo>Informes</tipo>\n    <titulo>Informe sin modelo</titulo>\n"
    "    <escape>14</escape>\n    <equipamentos_hab>0</equipamentos_hab>\n  </cmd>\n"
    "  <cmd>\n    <tipo>Cup\xF3n Fiscal</tipo>\n    <titulo>Anular Cup\xF3n</titulo>\n"
    "    <escape>7</escape>\n    <equipamentos_hab>4</equipamentos_hab>\n  </cmd>\n"
    "</comandos>\n";

const char* const kOtherCatalog =
    "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n"
    "<comandos>\n  <cmd>\n    <tipo>Otros</tipo>\n    <titulo>Solo uno</titulo>\n"
    "    <escape>19</escape>\n    <equipamentos_hab>65535</equipamentos_hab>\n  </cmd>\n</comandos>\n";

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ConfigLine(const char* key, const std::string& value) { return std::string(key) + value + "\r\n"; }

std::string ReadBytes(const std::string& path) {
    std::string out;
    ReadWholeFile(path, out);
    return out;
}

// A scratch application directory, made the current directory for the window's lifetime.
class AppDir {
public:
    AppDir() : old_(CurrentDirectory()) { ::chdir(dir_.path().c_str()); }
    ~AppDir() { (void)::chdir(old_.c_str()); }
    std::string File(const std::string& name) const { return dir_.File(name); }
    const std::string& path() const { return dir_.path(); }

private:
    test::TempDir dir_;
    std::string old_;
};

QAction* ActionById(QMainWindow& w, int id) {
    if (!w.menuWidget()) return nullptr;
    for (QAction* top : w.menuBar()->actions())
        if (top->menu())
            for (QAction* a : top->menu()->actions())
                if (!a->isSeparator() && a->data().toInt() == id) return a;
    return nullptr;
}

QStringList MenuTitles(QMainWindow& w) {
    QStringList out;
    if (!w.menuWidget()) return out;
    for (QAction* top : w.menuBar()->actions()) out << top->text();
    return out;
}

QList<int> MenuIds(QMainWindow& w, const QString& title) {
    QList<int> out;
    for (QAction* top : w.menuBar()->actions())
        if (top->text() == title)
            for (QAction* a : top->menu()->actions()) out << (a->isSeparator() ? 0 : a->data().toInt());
    return out;
}

// Chooses a menu item as the user does; the window acts once the menu has closed.
bool Choose(MainWindow& w, int id) {
    QAction* a = ActionById(w, id);
    if (!a || !a->isEnabled()) return false;
    a->trigger();
    QTest::qWait(30);
    return true;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir profile_;
    QStringList opened_;
    guitest::Watchdog watchdog_;

private slots:
    void initTestCase() {
        guitest::IsolateProfile(profile_.path());
        SetDocumentOpener([this](const QString& path) {
            opened_ << path;
            return true;
        });
    }
    void init() {
        opened_.clear();
        watchdog_.Arm(30000);
    }
    void cleanup() {
        guitest::CancelPendingModalActions();
        QString unanswered = watchdog_.Disarm();
        QVERIFY2(unanswered.isEmpty(), qPrintable("unanswered windows: " + unanswered));
    }

    // An application directory without catalogs: the installed ones are loaded (no file dialog
    // asks), the status bar names the installed file, and the settings are saved where the
    // program runs, not in the installed directory. A catalog of its own still comes first.
    void startupFromAnEmptyDirectoryUsesTheInstalledCatalogs() {
        test::TempDir data;
        WriteBytes(data.File("comandos_vn.xml"), kCatalog);
        WriteBytes(data.File("XML/comandos_pa.xml"), kOtherCatalog);
        qputenv("ORDAVO_DATA_DIR", QByteArray::fromStdString(data.path()));
        bool file_dialog = false;
        WhenModal<QFileDialog>([&](QFileDialog* d) {
            file_dialog = true;
            d->reject();
        });
        struct Row {
            std::string config;
            std::string own;  // a catalog of the application directory's own, or ""
            std::string loaded;
            QString shown;
            int first_menu_items;
        };
        const Row rows[] = {
            {"", "", data.File("comandos_vn.xml"), QString::fromStdString(data.File("comandos_vn.xml")), 2},
            {ConfigLine(kKeyPais, "PANAMA"), "", data.File("XML/comandos_pa.xml"),
             QString::fromStdString(data.File("XML/comandos_pa.xml")), 1},
            {"", "comandos_vn.xml", "@own", "comandos_vn.xml", 1},
        };
        for (const Row& row : rows) {
            AppDir app;
            if (!row.config.empty()) WriteBytes(app.File("config_es.cfg"), row.config);
            if (!row.own.empty()) WriteBytes(app.File(row.own), kOtherCatalog);
            {
                MainWindow w;
                QVERIFY(w.Start());
                QCOMPARE(GetSettings().CatalogPath, row.loaded == "@own" ? app.File(row.own) : row.loaded);
                QCOMPARE(w.StatusField("catalog")->text(), row.shown);
                QVERIFY(w.HasCommandMenus());
                QCOMPARE(w.menuBar()->actions().at(1)->menu()->actions().size(), row.first_menu_items);
                if (row.own.empty() && row.config.empty()) guitest::Screenshot(&w, "main_window_installed_catalog");
            }
            QVERIFY(QFile::exists(QString::fromStdString(app.File("config_es.cfg"))));
        }
        qunsetenv("ORDAVO_DATA_DIR");
        guitest::CancelPendingModalActions();
        QVERIFY(!file_dialog);
        QVERIFY(!QFile::exists(QString::fromStdString(data.File("config_es.cfg"))));
    }

    void startupBuildsTheCatalogMenus() {
        AppDir app;
        WriteBytes(app.File("comandos_vn.xml"), kCatalog);
        WriteBytes(app.File("config_es.cfg"), ConfigLine(kKeyFiltre, "1") + ConfigLine(kKeyModelo, "Kestrel 2           ") +
                                                   ConfigLine(kKeyPuerto, "COM2:"));
        {
            MainWindow w;
            QVERIFY(w.Start());
            QCOMPARE(w.windowTitle(), QString("Ordavo"));
            QVERIFY(w.isMaximized());
            QCOMPARE(GetSettings().AppDirectory, CurrentDirectory());
            QCOMPARE(GetSettings().CatalogPath, app.File("comandos_vn.xml"));
            QCOMPARE(EngineEnv().ui, static_cast<UserInterface*>(&w.Ui()));

            QCOMPARE(MenuTitles(w), (QStringList{"Operaciones", "Lecturas", "Cup\u00f3n Fiscal", "Informes", "Ayuda"}));
            QCOMPARE(MenuIds(w, "Operaciones"), (QList<int>{108, 112, 111, 109, 0, 119, 121, 2}));
            QCOMPARE(MenuIds(w, "Lecturas"), (QList<int>{1083, 1085}));
            QCOMPARE(MenuIds(w, "Cup\u00f3n Fiscal"), (QList<int>{1084, 1087}));
            QCOMPARE(MenuIds(w, "Informes"), (QList<int>{1086}));
            QCOMPARE(MenuIds(w, "Ayuda"), (QList<int>{113, 110, 120}));
            QCOMPARE(ActionById(w, 121)->text(), QString("Cargar comandos"));
            QCOMPARE(ActionById(w, 1084)->text(), QString("Abrir Cup\u00f3n && Cerrar"));
            // The mask is 255 at start whatever model was saved: with the filter on, commands
            // of bits 256 and up and commands without any model are greyed.
            QCOMPARE(GetSettings().ModelMask, 255);
            QVERIFY(ActionById(w, 1083)->isEnabled());
            QVERIFY(!ActionById(w, 1084)->isEnabled());
            QVERIFY(!ActionById(w, 1085)->isEnabled());
            QVERIFY(!ActionById(w, 1086)->isEnabled());
            QVERIFY(ActionById(w, 1087)->isEnabled());

            // A picture of the window with a group menu open.
            QMenu* menu = ActionById(w, 1083)->menu() ? nullptr : qobject_cast<QMenu*>(ActionById(w, 1083)->parent());
            QVERIFY(menu);
            QPoint under = w.menuBar()->actionGeometry(menu->menuAction()).bottomLeft();
            menu->popup(w.menuBar()->mapToGlobal(under));
            QVERIFY(QTest::qWaitForWindowExposed(menu));
            QPixmap shot = w.grab();
            {
                QPainter painter(&shot);
                painter.drawPixmap(menu->pos() - w.mapToGlobal(QPoint(0, 0)), menu->grab());
            }
            QString dir = qEnvironmentVariable("ORDAVO_SCREENSHOTS");
            if (!dir.isEmpty()) {
                QDir().mkpath(dir);
                QVERIFY(shot.save(dir + "/main_window_menu.png"));
            }
            menu->hide();
        }
        // Saved on the way out, in the file's key order, model with its trailing spaces.
        std::string saved = ReadBytes(app.File("config_es.cfg"));
        QVERIFY(saved.rfind(ConfigLine(kKeyModelo, "Kestrel 2           ") + ConfigLine(kKeyPuerto, "COM2:") +
                                ConfigLine(kKeyBaudrate, "9600") + ConfigLine(kKeyFiltre, "1") +
                                ConfigLine(kKeyPais, "VENEZUELA"),
                            0) == 0);
    }

    void settingsChangeModelPortAndCountry() {
        AppDir app;
        WriteBytes(app.File("comandos_vn.xml"), kCatalog);
        WriteBytes(app.File("comandos_cl.xml"), kOtherCatalog);
        WriteBytes(app.File("config_es.cfg"), ConfigLine(kKeyFiltre, "1"));
        {
            MainWindow w;
            QVERIFY(w.Start());
            Settings& s = GetSettings();

            // Anular changes nothing.
            WhenModal<ConfigDlg>([](ConfigDlg* d) {
                d->PortList()->setEditText("COM7:");
                d->ModelList()->setEditText("Heron 4 TH RD       ");
                QTest::mouseClick(d->CancelButton(), Qt::LeftButton);
            });
            QVERIFY(Choose(w, 119));
            QCOMPARE(s.PortName, std::string());
            QCOMPARE(s.ModelMask, 255);

            // A model outside the table gives mask 65535: nothing with a model bit is greyed.
            WhenModal<ConfigDlg>([](ConfigDlg* d) {
                d->PortList()->setCurrentText("COM3:");
                d->ModelList()->setCurrentIndex(2);
                QTest::mouseClick(d->OkButton(), Qt::LeftButton);
            });
            QVERIFY(Choose(w, 119));
            QCOMPARE(s.PortName, std::string("COM3:"));
            QCOMPARE(s.ModelName, std::string("Heron 4 TH RD       "));
            QCOMPARE(s.ModelMask, 65535);
            QVERIFY(ActionById(w, 1084)->isEnabled());
            QVERIFY(ActionById(w, 1085)->isEnabled());
            QVERIFY(!ActionById(w, 1086)->isEnabled());  // no model bit at all

            // Kestrel 2: mask 4 and never the extended return.
            WhenModal<ConfigDlg>([](ConfigDlg* d) {
                d->ModelList()->setCurrentIndex(0);
                d->ExtendedReturnBox()->setChecked(true);
                QTest::mouseClick(d->OkButton(), Qt::LeftButton);
            });
            QVERIFY(Choose(w, 119));
            QCOMPARE(s.ModelMask, 4);
            QCOMPARE(s.ExtendedReturn, 0);
            QVERIFY(!ActionById(w, 1084)->isEnabled());
            QVERIFY(ActionById(w, 1087)->isEnabled());

            // Another country loads its catalog and rebuilds the menus.
            WhenModal<ConfigDlg>([](ConfigDlg* d) {
                d->CountryList()->setCurrentText("CHILE");
                QTest::mouseClick(d->OkButton(), Qt::LeftButton);
            });
            QVERIFY(Choose(w, 119));
            QCOMPARE(s.CatalogPath, app.File("comandos_cl.xml"));
            QCOMPARE(MenuTitles(w), (QStringList{"Operaciones", "Otros", "Ayuda"}));
            QCOMPARE(w.Commands().size(), size_t(1));

            // "Referéncia de los comandos" shows the country's catalog as a readable page.
            QString reference;
            WhenModal<HelpWindow>([&](HelpWindow* h) {
                reference = h->Browser()->toPlainText();
                h->reject();
            });
            QVERIFY(Choose(w, 120));
            QVERIFY2(reference.contains(QPath(app.File("comandos_cl.xml"))), qPrintable(reference));
            QVERIFY2(reference.contains("Solo uno"), qPrintable(reference));
            QVERIFY(opened_.isEmpty());
        }
        std::string saved = ReadBytes(app.File("config_es.cfg"));
        QVERIFY(saved.find(ConfigLine(kKeyModelo, "Kestrel 2           ")) != std::string::npos);
        QVERIFY(saved.find(ConfigLine(kKeyPuerto, "COM3:")) != std::string::npos);
        QVERIFY(saved.find(ConfigLine(kKeyPais, "CHILE")) != std::string::npos);
    }

    void catalogThatCannotBeLoaded() {
        AppDir app;
        WriteBytes(app.File("comandos_vn.xml"), "<comandos><cmd>broken");
        QString title, message;
        QStringList filters;
        QFileDialog::FileMode mode = QFileDialog::AnyFile;
        WhenModal<QFileDialog>([&](QFileDialog* d) {
            title = d->windowTitle();
            filters = d->nameFilters();
            mode = d->fileMode();
            WhenModal<QMessageBox>([&](QMessageBox* box) {
                message = box->text();
                box->accept();
            });
            d->reject();
        });
        {
            MainWindow w;
            QVERIFY(!w.Start());
            QCOMPARE(title, QString("Lista de comandos (XML)"));
            QCOMPARE(filters, (QStringList{"Comandos (*.xml *.XML)", "Todos los Archivos (*)"}));
            QCOMPARE(mode, QFileDialog::ExistingFile);
            QCOMPARE(message, QString("No fu\u00e9 posible cargar el archivo \".xml\" con la definici\u00f3n de los comandos"));
            // Only closing the window is left.
            QVERIFY(!w.menuWidget());
            QVERIFY(!w.HasCommandMenus());
            QVERIFY(w.isVisible());
        }
        // The settings of the run are kept all the same.
        QVERIFY(ReadBytes(app.File("config_es.cfg")).find(ConfigLine(kKeyPais, "VENEZUELA")) != std::string::npos);
    }

    void loadAnotherCatalog() {
        AppDir app;
        WriteBytes(app.File("comandos_vn.xml"), kCatalog);
        WriteBytes(app.File("otro/mios.xml"), kOtherCatalog);
        {
            MainWindow w;
            QVERIFY(w.Start());
            // Picking a file loads it and rebuilds the menus.
            WhenModal<QFileDialog>([&](QFileDialog* d) { guitest::AcceptPath(d, QPath(app.File("otro/mios.xml"))); });
            QVERIFY(Choose(w, 121));
            QCOMPARE(MenuTitles(w), (QStringList{"Operaciones", "Otros", "Ayuda"}));
            QCOMPARE(GetSettings().Country, std::string("-- Otro --"));
            QCOMPARE(GetSettings().CatalogPath, app.File("otro/mios.xml"));
            // Any other country shows the last loaded catalog as the reference.
            QString reference;
            WhenModal<HelpWindow>([&](HelpWindow* h) {
                reference = h->Browser()->toPlainText();
                h->reject();
            });
            QVERIFY(Choose(w, 120));
            QVERIFY2(reference.contains(QPath(app.File("otro/mios.xml"))), qPrintable(reference));

            // Cancelled: "comandos.xml" of the application directory.
            WriteBytes(app.File("comandos.xml"), kCatalog);
            WhenModal<QFileDialog>([](QFileDialog* d) { d->reject(); });
            QVERIFY(Choose(w, 121));
            QCOMPARE(GetSettings().CatalogPath, app.File("comandos.xml"));
            QCOMPARE(MenuTitles(w).size(), 5);
            std::filesystem::remove(app.File("comandos.xml"));

            // Cancelled with no "comandos.xml" to fall back on, and the second dialog cancelled
            // too: the message, and the menus stay.
            int dialogs = 0;
            QString message;
            std::function<void(QFileDialog*)> cancel = [&](QFileDialog* d) {
                if (++dialogs == 1)
                    WhenModal<QFileDialog>(cancel);
                else
                    WhenModal<QMessageBox>([&](QMessageBox* box) {
                        message = box->text();
                        box->accept();
                    });
                d->reject();
            };
            WhenModal<QFileDialog>(cancel);
            QVERIFY(Choose(w, 121));
            QCOMPARE(dialogs, 2);
            QVERIFY(message.startsWith("No fu\u00e9 posible cargar"));
            QCOMPARE(MenuTitles(w).size(), 5);
        }
        // "-- Otro --" is saved, so the next start asks again.
        QVERIFY(ReadBytes(app.File("config_es.cfg")).find(ConfigLine(kKeyPais, "-- Otro --")) != std::string::npos);
    }

    void fixedMenuItems() {
        AppDir app;
        WriteBytes(app.File("comandos_vn.xml"), kCatalog);
        MainWindow w;
        QVERIFY(w.Start());
        // "Programar Equipo" opens the programming wizard.
        QString wizard;
        WhenModal<QDialog>([&](QDialog* d) {
            wizard = d->objectName() + " " + d->windowTitle();
            d->reject();
        });
        QVERIFY(Choose(w, 108));
        QCOMPARE(wizard, QString("ProgramMachineDlg Programar Equipo"));
        // "Operaciones con Archivos" opens the fiscal-memory window, modally.
        bool fiscal_window = false;
        WhenModal<QDialog>([&](QDialog* d) {
            fiscal_window = d->objectName() == "MFDDialog" && d->windowTitle() == "Operaciones con Archivos";
            d->reject();
        });
        QVERIFY(Choose(w, 109));
        QVERIFY(fiscal_window);
        // 111 and 112 open their windows once registered: see programWindowsAreWiredToTheirMenuItems.
        QString about;
        WhenModal<AboutBoxDlg>([&](AboutBoxDlg* d) {
            about = d->findChild<QLabel*>("static1316")->text();
            d->accept();
        });
        QVERIFY(Choose(w, 113));
        QVERIFY(about.contains("Ordavoes 3.0.4"));
        // Help: the document of the source tree at the latest.
        QVERIFY(Choose(w, 110));
        QCOMPARE(opened_.size(), 1);
        QVERIFY(opened_.front().endsWith("Ordavo_Help.html"));
        QVERIFY(QFile::exists(opened_.front()));
        // Salir closes the window.
        QVERIFY(w.isVisible());
        QVERIFY(Choose(w, 2));
        QVERIFY(!w.isVisible());
    }

    void commandRunsAgainstTheSimulator() {
        if (!QFile::exists(QString::fromStdString(test::ProgramPath("ordavo-printer-sim"))))
            QSKIP("ordavo-printer-sim is not built");
        test::Simulator sim;
        QVERIFY2(sim.ok(), sim.process().Errors().c_str());
        AppDir app;
        WriteBytes(app.File("comandos_vn.xml"), kCatalog);
        WriteBytes(app.File("config_es.cfg"), ConfigLine(kKeyPuerto, "COM1:"));
        {
            MainWindow w;
            w.SetPortOverride(sim.path());
            QVERIFY(w.Start());
            QCOMPARE(GetSettings().PortName, sim.path());

            QString message, dump, back;
            WhenModal<MessageReturnDlg>([&](MessageReturnDlg* d) {
                message = d->View()->toPlainText();
                guitest::Screenshot(d, "result_from_simulator");
                QTest::mouseClick(d->ViewButton(), Qt::LeftButton);
                dump = d->View()->toPlainText();
                QTest::mouseClick(d->ViewButton(), Qt::LeftButton);
                back = d->View()->toPlainText();
                QTest::mouseClick(d->CloseButton(), Qt::LeftButton);
            });
            QVERIFY(Choose(w, 1083));
            QVERIFY2(message.contains("Comando:\tLeer Estado de la Impresora"), qPrintable(message));
            QVERIFY2(!message.contains("COMANDO NO RECIBIDO"), qPrintable(message));
            QVERIFY(dump.startsWith("CMD:\n0000  02 "));
            QVERIFY(dump.contains("RET:\n0000  06 "));
            QCOMPARE(back, message);
            // The catalog's command is a copy's source, never changed by a run.
            QVERIFY(w.Commands()[0].retorno_formatado.empty());
            QVERIFY(w.Commands()[0].dump.empty());
        }
        // The port of the command line was for that run only.
        std::string saved = ReadBytes(app.File("config_es.cfg"));
        QVERIFY(saved.find(ConfigLine(kKeyPuerto, "COM1:")) != std::string::npos);
        QVERIFY(saved.find(sim.path()) == std::string::npos);
    }

    // The program's own windows behind their menu items, and one command from its menu item
    // through the parameter form to the simulator.
    void programWindowsAreWiredToTheirMenuItems() {
        if (!QFile::exists(QString::fromStdString(test::ProgramPath("ordavo-printer-sim"))))
            QSKIP("ordavo-printer-sim is not built");
        test::Simulator sim;
        QVERIFY2(sim.ok(), sim.process().Errors().c_str());
        AppDir app;
        WriteBytes(app.File("comandos_vn.xml"), kCatalog);
        MainWindow w;
        w.SetPortOverride(sim.path());
        RegisterProgramWindows(w);
        QVERIFY(w.Start());
        GetSettings().ShowResults = 1;

        QString shown;
        WhenModal<QDialog>([&](QDialog* d) {
            shown = d->metaObject()->className();
            d->reject();
        });
        QVERIFY(Choose(w, 112));
        QCOMPARE(shown, QString("ordavo::gui::SequencesControl"));
        shown.clear();
        WhenModal<QDialog>([&](QDialog* d) {
            shown = d->metaObject()->className();
            d->reject();
        });
        QVERIFY(Choose(w, 111));
        QCOMPARE(shown, QString("ordavo::gui::GraphicClicheDlg"));

        // The status command has no parameters: the form runs it at once and shows the result.
        QString message;
        WhenModal<MessageReturnDlg>([&](MessageReturnDlg* d) {
            message = d->View()->toPlainText();
            d->reject();
        });
        QVERIFY(Choose(w, 1083));
        QVERIFY2(message.contains("Comando:\tLeer Estado de la Impresora"), qPrintable(message));
        QVERIFY2(!message.contains("Error al enviar comando"), qPrintable(message));
        QCOMPARE(w.StatusField("outcome")->text(), QString("Leer Estado de la Impresora: OK"));
        UnregisterProgramWindows();
    }

    // F1 where no viewer opens the help document: the program's own help window shows it, with
    // its links and a search box; "not found" is never said for a file that is there.
    void helpAndCommandReferenceInTheProgramsOwnWindow() {
        AppDir app;
        WriteBytes(app.File("comandos_vn.xml"), kCatalog);
        SetDocumentOpener([this](const QString& path) {
            opened_ << path;
            return false;
        });
        MainWindow w;
        QVERIFY(w.Start());
        QString text, title;
        int links = 0;
        bool found = false, absent = true;
        bool message_box = false;
        WhenModal<QMessageBox>([&](QMessageBox* b) {
            message_box = true;
            b->accept();
        });
        WhenModal<HelpWindow>([&](HelpWindow* h) {
            title = h->windowTitle();
            text = h->Browser()->toPlainText();
            links = h->Browser()->toHtml().count("href=");
            QTest::keyClicks(h->SearchBox(), "simulador");
            QTest::keyClick(h->SearchBox(), Qt::Key_Return);
            found = h->Browser()->textCursor().selectedText().compare("simulador", Qt::CaseInsensitive) == 0;
            h->SearchBox()->setText("palabra que no aparece");
            absent = h->FindNext();
            guitest::Screenshot(h, "help_window");
            h->reject();
        });
        QVERIFY(Choose(w, 110));
        QCOMPARE(opened_.size(), 1);  // the viewer was tried first
        QVERIFY(!message_box);
        QCOMPARE(title, QString("Ordavo - Ayuda"));
        QVERIFY(text.contains("Conectar una impresora"));
        QVERIFY(links > 5);
        QVERIFY(found);
        QVERIFY(!absent);

        // The command reference: groups, commands, escape codes, parameters and return fields.
        QString reference;
        WhenModal<HelpWindow>([&](HelpWindow* h) {
            reference = h->Browser()->toPlainText();
            guitest::Screenshot(h, "command_reference");
            h->reject();
        });
        QVERIFY(Choose(w, 120));
        for (const char* piece : {"Lecturas", "Cup\u00f3n Fiscal", "Leer Estado de la Impresora", "Escape: 19",
                                  "texto terminado en ETX", "5 comandos"})
            QVERIFY2(reference.contains(QString::fromUtf8(piece)), piece);
        SetDocumentOpener([this](const QString& path) {
            opened_ << path;
            return true;
        });
    }

    void statusBarShowsTheSettingsAndTheLastOutcome() {
        if (!QFile::exists(QString::fromStdString(test::ProgramPath("ordavo-printer-sim"))))
            QSKIP("ordavo-printer-sim is not built");
        AppDir app;
        WriteBytes(app.File("comandos_vn.xml"), kCatalog);
        for (bool refusing : {false, true}) {
            test::Simulator sim(refusing ? std::vector<std::string>{"--nak"} : std::vector<std::string>{});
            QVERIFY2(sim.ok(), sim.process().Errors().c_str());
            MainWindow w;
            w.SetPortOverride(sim.path());
            QVERIFY(w.Start());
            QVERIFY(w.StatusField("port")->text().contains(QString::fromStdString(sim.path())));
            QCOMPARE(w.StatusField("speed")->text(), QString("9600"));
            QCOMPARE(w.StatusField("model")->text(), QString("Heron 2 TH"));
            QCOMPARE(w.StatusField("country")->text(), QString("VENEZUELA"));
            QCOMPARE(w.StatusField("catalog")->text(), QString("comandos_vn.xml"));
            QVERIFY(w.StatusField("outcome")->text().isEmpty());
            WhenModal<MessageReturnDlg>([](MessageReturnDlg* d) { d->reject(); });
            QVERIFY(Choose(w, 1083));
            QLabel* outcome = w.StatusField("outcome");
            if (!refusing) {
                QCOMPARE(outcome->text(), QString("Leer Estado de la Impresora: OK"));
                QVERIFY(outcome->styleSheet().isEmpty());
                guitest::Screenshot(&w, "main_window_status_bar");
            } else {
                QVERIFY2(outcome->text().contains("COMANDO NO RECIBIDO"), qPrintable(outcome->text()));
                QVERIFY(outcome->styleSheet().contains("color: #c00000"));
            }
            QApplication::processEvents();
        }
    }

    // A printer that never answers: the user presses the progress window's button while the
    // engine waits for the first byte, and is told the command was cancelled.
    void cancelWhileThePrinterIsSilent() {
        if (!QFile::exists(QString::fromStdString(test::ProgramPath("ordavo-printer-sim"))))
            QSKIP("ordavo-printer-sim is not built");
        test::Simulator sim({"--silent-after", "0"});
        QVERIFY2(sim.ok(), sim.process().Errors().c_str());
        AppDir app;
        WriteBytes(app.File("comandos_vn.xml"), kCatalog);
        MainWindow w;
        w.SetPortOverride(sim.path());
        QVERIFY(w.Start());

        QString message, caption;
        QElapsedTimer timer;
        WhenModal<ProgressWnd>([&](ProgressWnd* p) {
            caption = p->CancelButton()->text();
            QTimer::singleShot(200, p, [&, p] {
                WhenModal<MessageReturnDlg>([&](MessageReturnDlg* d) {
                    message = d->View()->toPlainText();
                    d->reject();
                });
                timer.start();
                QTest::mouseClick(p->CancelButton(), Qt::LeftButton);
            });
        });
        QVERIFY(Choose(w, 1083));
        QVERIFY2(message.contains("Comando Anulado"), qPrintable(message));
        QVERIFY2(!message.contains("Error al enviar comando"), qPrintable(message));
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(caption, QString(" Cancelar "));
    }

    void cancelDuringANeverEndingAnswer() {
        if (!QFile::exists(QString::fromStdString(test::ProgramPath("ordavo-printer-sim"))))
            QSKIP("ordavo-printer-sim is not built");
        test::Simulator sim({"--no-etx"});
        QVERIFY2(sim.ok(), sim.process().Errors().c_str());
        AppDir app;
        WriteBytes(app.File("comandos_vn.xml"), kCatalog);
        MainWindow w;
        w.SetPortOverride(sim.path());
        QVERIFY(w.Start());

        QString title, text, message;
        bool was_modal = false;
        WhenModal<ProgressWnd>([&](ProgressWnd* p) {
            title = p->windowTitle();
            text = p->TextLabel()->text();
            was_modal = QApplication::activeModalWidget() == p;
            // Let some of the endless answer arrive first.
            QTimer::singleShot(300, p, [&, p] {
                guitest::Screenshot(p, "progress_receiving");
                WhenModal<MessageReturnDlg>([&](MessageReturnDlg* d) {
                    message = d->View()->toPlainText();
                    d->reject();
                });
                QTest::mouseClick(p->CancelButton(), Qt::LeftButton);
            });
        });
        QVERIFY(Choose(w, 1085));
        QVERIFY(title.startsWith("Progreso"));
        QCOMPARE(text, QString("Recibiendo Retorno..."));
        QVERIFY(was_modal);
        QVERIFY2(message.contains("Comando Anulado"), qPrintable(message));
        // The window is usable again.
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
