// The result, wait, progress, about and settings windows, driven with real clicks and keys.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/codepage.h"
#include "engine/strings.h"
#include "engine/util.h"
#include "shell/core/dump_format.h"
#include "shell/core/settings.h"
#include "shell/gui/config_dlg.h"
#include "shell/gui/gui_support.h"
#include "shell/gui/help_window.h"
#include "shell/gui/message_return_dlg.h"
#include "shell/gui/progress_wnd.h"
#include "shell/gui/qt_user_interface.h"
#include "shell/gui/wait_dlg.h"
#include "tests/gui/gui_test_util.h"

using namespace ordavo;
using namespace ordavo::gui;
using ordavo::guitest::Screenshot;
using ordavo::guitest::WhenModal;

namespace {

const std::string kMessage = "\r\nComando:\tLeer estado\r\nImpresora en l\xEDnea\r\nOK\r\n";
const std::string kRecord = "CMD:  02 05 00 1B 23 17 55 00\r\nRET:  06 0D 00 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50\r\n";

std::string ReadFile(const QString& path) {
    std::string out;
    ReadWholeFile(NativePath(path), out);
    return out;
}

// Answers the save dialog with `path`, then the option dialog with `option` (0 = Anular).
void AnswerSave(const QString& path, int option, bool* missed) {
    WhenModal<QFileDialog>(
        [path, option, missed](QFileDialog* d) {
            if (option >= 0)
                WhenModal<OptionChoiceDlg>(
                    [option](OptionChoiceDlg* o) {
                        QString name = option == 0 ? "cancel" : QString("option%1").arg(option);
                        o->findChild<QPushButton*>(name)->click();
                    },
                    missed);
            guitest::AcceptPath(d, path);
        },
        missed);
}

}  // namespace

class SharedWindowsTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir profile_;
    QTemporaryDir work_;
    QStringList opened_;
    guitest::Watchdog watchdog_;

private slots:
    void initTestCase() {
        guitest::IsolateProfile(profile_.path());
        SetDocumentOpener([this](const QString& path) {
            opened_ << path;
            return true;
        });
        GetSettings().Reset();
        GetSettings().AppDirectory = NativePath(work_.path() + "/app");
    }
    void init() {
        opened_.clear();
        watchdog_.Arm();
    }
    void cleanup() {
        guitest::CancelPendingModalActions();
        QString unanswered = watchdog_.Disarm();
        QVERIFY2(unanswered.isEmpty(), qPrintable("unanswered windows: " + unanswered));
    }

    void resultWindowSwitchesBetweenMessageAndDump() {
        MessageReturnDlg dlg;
        dlg.SetMessage(kMessage);
        dlg.SetDump(kRecord);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.windowTitle(), QString("Resultado"));
        QCOMPARE(dlg.CloseButton()->text(), QString("Salir"));
        QCOMPARE(dlg.ViewButton()->text(), QString("Dump"));
        QCOMPARE(dlg.View()->toPlainText(), QString("\nComando:\tLeer estado\nImpresora en l\u00ednea\nOK\n"));
        QVERIFY(dlg.View()->isReadOnly());
        QVERIFY(QFontInfo(dlg.View()->font()).fixedPitch());
        Screenshot(&dlg, "result_message");

        QTest::mouseClick(dlg.ViewButton(), Qt::LeftButton);
        QVERIFY(dlg.ShowingDump());
        QCOMPARE(dlg.ViewButton()->text(), QString("Mensaje"));
        QString dump = dlg.View()->toPlainText();
        QCOMPARE(dump, Q(TextForDisplay(FormatDump(kRecord, true))));
        QStringList lines = dump.split('\n');
        QCOMPARE(lines.value(0), QString("CMD:"));
        QCOMPARE(lines.value(1), QString("0000  02 05 00 1B 23 17 55 00") + QString(25, ' ') + QString("\u00b7\u00b7.\u00b7#\u00b7U."));
        QCOMPARE(lines.value(3), QString("0000  06 0D 00 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D ") +
                                     QString("\u00b7\u00b7.ABCDEFGHIJKLM"));
        QCOMPARE(lines.value(4), QString("0010  4E 4F 50") + QString(40, ' ') + "NOP");
        // The character column lines up, whatever the bytes were.
        QCOMPARE(lines.value(1).indexOf("\u00b7"), 54);
        Screenshot(&dlg, "result_dump");

        QTest::mouseClick(dlg.ViewButton(), Qt::LeftButton);
        QVERIFY(!dlg.ShowingDump());
        QCOMPARE(dlg.ViewButton()->text(), QString("Dump"));
        QVERIFY(dlg.View()->toPlainText().startsWith("\nComando:"));

        QSignalSpy rejected(&dlg, &QDialog::rejected);
        QTest::mouseClick(dlg.CloseButton(), Qt::LeftButton);
        QCOMPARE(rejected.count(), 1);
    }

    void resultWindowSavesTheChosenTexts() {
        MessageReturnDlg dlg;
        dlg.SetMessage(kMessage);
        dlg.SetDump(kRecord);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        bool missed = false;

        struct Case {
            int option;
            std::string want;
        } cases[] = {{1, kMessage}, {2, FormatDump(kRecord)}, {3, kMessage + FormatDump(kRecord)}};
        for (const Case& c : cases) {
            QString path = work_.filePath(QString("saved%1.txt").arg(c.option));
            opened_.clear();
            AnswerSave(path, c.option, &missed);
            QTest::mouseClick(dlg.SaveButton(), Qt::LeftButton);
            QVERIFY(!missed);
            QCOMPARE(Q(ReadFile(path)), Q(c.want));
            QCOMPARE(opened_, QStringList{path});  // opened after saving
        }

        // The default name and extension: "Msg_Ret.txt" in the dialog's folder.
        WhenModal<QFileDialog>(
            [this](QFileDialog* d) {
                QCOMPARE(d->defaultSuffix(), QString("txt"));
                QVERIFY(d->nameFilters().value(0).startsWith("Arquivos de Texto ("));
                QCOMPARE(d->acceptMode(), QFileDialog::AcceptSave);
                auto* name = d->findChild<QLineEdit*>("fileNameEdit");
                QVERIFY(name);
                QCOMPARE(name->text(), QString("Msg_Ret"));
                WhenModal<OptionChoiceDlg>([](OptionChoiceDlg* o) {
                    QCOMPARE(o->findChild<QPushButton*>("option3")->text(), QString("Mensaje + Dump"));
                    QCOMPARE(o->findChild<QPushButton*>("cancel")->text(), QString("Anular"));
                    o->findChild<QPushButton*>("option1")->click();
                });
                // The extension comes from the dialog's default.
                guitest::AcceptPath(d, work_.filePath("Msg_Ret"));
            },
            &missed);
        QTest::mouseClick(dlg.SaveButton(), Qt::LeftButton);
        QVERIFY(!missed);
        QCOMPARE(ReadFile(work_.filePath("Msg_Ret.txt")), kMessage);

        // Cancelling either dialog writes nothing.
        opened_.clear();
        WhenModal<QFileDialog>([](QFileDialog* d) { d->reject(); }, &missed);
        QTest::mouseClick(dlg.SaveButton(), Qt::LeftButton);
        AnswerSave(work_.filePath("never.txt"), 0, &missed);
        QTest::mouseClick(dlg.SaveButton(), Qt::LeftButton);
        QVERIFY(!missed);
        QVERIFY(!QFile::exists(work_.filePath("never.txt")));
        QVERIFY(opened_.isEmpty());

        // A file that exists is replaced only after the question is answered.
        QString existing = work_.filePath("saved1.txt");
        WhenModal<QFileDialog>(
            [&](QFileDialog* d) {
                WhenModal<QMessageBox>(
                    [&](QMessageBox* box) {
                        WhenModal<OptionChoiceDlg>(
                            [](OptionChoiceDlg* o) {
                                o->findChild<QPushButton*>("option2")->click();
                            },
                            &missed);
                        box->button(QMessageBox::Yes)->click();
                    },
                    &missed);
                guitest::AcceptPath(d, existing);
            },
            &missed);
        QTest::mouseClick(dlg.SaveButton(), Qt::LeftButton);
        QVERIFY(!missed);
        QCOMPARE(ReadFile(existing), FormatDump(kRecord));

        // A target that cannot be written says so, leaves nothing behind and opens nothing.
        opened_.clear();
        // Not even root creates files in /proc.
        QString blocked = "/proc/ordavo-result.txt";
        QString warning;
        WhenModal<QFileDialog>(
            [&](QFileDialog* d) {
                WhenModal<OptionChoiceDlg>(
                    [&](OptionChoiceDlg* o) {
                        WhenModal<QMessageBox>(
                            [&](QMessageBox* box) {
                                warning = box->text();
                                box->accept();
                            },
                            &missed);
                        o->findChild<QPushButton*>("option1")->click();
                    },
                    &missed);
                guitest::AcceptPath(d, blocked);
            },
            &missed);
        QTest::mouseClick(dlg.SaveButton(), Qt::LeftButton);
        QVERIFY(!missed);
        QVERIFY(!QFile::exists(blocked));
        QVERIFY(opened_.isEmpty());
        QVERIFY(warning.contains(blocked));
    }

    void qtsOwnDialogsSpeakSpanish() {
        QVERIFY(InstallSpanishTranslations());
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Cancel | QMessageBox::Yes);
        QCOMPARE(box.button(QMessageBox::Cancel)->text().remove('&'), QString("Cancelar"));
        QFileDialog dialog(nullptr, "Abrir");
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.show();
        QStringList texts;
        for (QLabel* l : dialog.findChildren<QLabel*>()) texts << l->text();
        QVERIFY2(texts.contains(QString("&Nombre de fichero:")), qPrintable(texts.join('|')));
        Screenshot(&dialog, "file_dialog_spanish");
        dialog.reject();
    }

    void progressWindowShowsPercentAndCancels() {
        QWidget owner;
        owner.resize(800, 600);
        owner.show();
        auto progress = std::make_unique<ProgressWnd>(&owner, "Progreso", true);
        QVERIFY(QTest::qWaitForWindowExposed(progress.get()));
        QCOMPARE(progress->CancelButton()->text(), QString(" Cancelar "));
        QCOMPARE(progress->windowTitle(), QString("Progreso"));
        progress->SetText("Recibiendo Retorno...");
        QCOMPARE(progress->TextLabel()->text(), QString("Recibiendo Retorno..."));
        progress->SetRange(0, 1000, 1);
        progress->SetPosition(500);
        QCOMPARE(progress->windowTitle(), QString("Progreso [50%]"));
        QCOMPARE(progress->Bar()->value(), 500);
        progress->SetPosition(504);  // 50.4% stays 50
        QCOMPARE(progress->windowTitle(), QString("Progreso [50%]"));
        progress->SetPosition(505);  // halves go up
        QCOMPARE(progress->windowTitle(), QString("Progreso [51%]"));
        progress->Step();
        QCOMPARE(progress->Position(), 506);
        progress->OffsetPosition(-6);
        QCOMPARE(progress->windowTitle(), QString("Progreso [50%]"));
        progress->SetRange(0, 100, 30);
        for (int i = 0; i < 4; ++i) progress->StepWrapped();
        QCOMPARE(progress->Position(), 20);  // 120 wraps to 20 without touching the title
        // A text beyond 511 characters is cut.
        progress->SetText(std::string(600, 'x'));
        QCOMPARE(progress->TextLabel()->text().size(), 511);
        progress->SetText("Recibiendo Retorno...");
        progress->SetRange(0, 1000, 1);
        progress->SetPosition(250);
        // An empty range shows an empty bar, not a busy one.
        progress->SetRange(5, 5, 1);
        QVERIFY(progress->Bar()->maximum() > progress->Bar()->minimum());
        progress->SetRange(0, 1000, 1);
        progress->SetPosition(250);
        Screenshot(progress.get(), "progress");

        // The window keeps other windows from taking input while it is up.
        QCOMPARE(QApplication::activeModalWidget(), progress.get());

        // Escape cancels only where the caller allows it: flag set, window hidden, position
        // remembered.
        progress->move(40, 30);
        progress->activateWindow();
        progress->PumpMessages(false);
        QTest::keyClick(progress.get(), Qt::Key_Escape);
        QVERIFY(!progress->IsCancelled());
        QVERIFY(progress->isVisible());
        progress->PumpMessages(true);
        QTest::keyClick(progress.get(), Qt::Key_Escape);
        QVERIFY(progress->IsCancelled());
        QVERIFY(!progress->isVisible());
        QPoint saved;
        QVERIFY(ProgressWnd::SavedPosition(saved));
        QCOMPARE(saved, progress->pos());
        // A later position shows it again; the flag stays until it is destroyed.
        progress->SetPosition(300);
        QVERIFY(progress->isVisible());
        QVERIFY(progress->IsCancelled());
        QPoint where = progress->pos();
        progress.reset();

        // The next window opens where the last one was left.
        auto again = std::make_unique<ProgressWnd>(&owner, "Otra", false);
        QCOMPARE(again->pos(), where);
        QVERIFY(!again->IsCancelled());
        // The cancel button, clicked while the engine pumps messages.
        again->BeginModal();
        QVERIFY(again->IsModal());
        QTimer::singleShot(30, again->CancelButton(), [&] { QTest::mouseClick(again->CancelButton(), Qt::LeftButton); });
        for (int i = 0; i < 200 && !again->IsCancelled(); ++i) {
            again->PumpMessages();
            QTest::qWait(5);
        }
        QVERIFY(again->IsCancelled());
        again.reset();

        // A position off every screen is not used: the window opens centred over its owner.
        ProgressWnd::SavePosition(QPoint(50000, 50000));
        auto centred = std::make_unique<ProgressWnd>(&owner, "Centrada", false);
        QPoint c = centred->frameGeometry().center();
        QVERIFY2((c - owner.frameGeometry().center()).manhattanLength() < 40,
                 qPrintable(QString("%1,%2").arg(c.x()).arg(c.y())));
        // The close box cancels too.
        centred->close();
        QVERIFY(centred->IsCancelled());
    }

    void waitWindowLivesAsLongAsItsObject() {
        QtUserInterface ui;
        QPointer<WaitDlg> shown;
        {
            auto wait = ui.ShowWait("");
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<WaitDlg*>(w); d && d->isVisible()) shown = d;
            QVERIFY(shown);
            QCOMPARE(shown->Message(), QString("Aguarde......"));
            QCOMPARE(shown->windowTitle(), QString("Ordavoes"));
            // Escape does not take it away from its owner.
            QTest::keyClick(shown, Qt::Key_Escape);
            QVERIFY(shown->isVisible());
        }
        QVERIFY(!shown);
        auto wait = ui.ShowWait(Str(IDS_CARGANDO_CATALOGO));
        bool found = false;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<WaitDlg*>(w); d && d->isVisible())
                found = d->Message() == QString("Cargando el arquivo \".xml\" de definici\u00f3n de los comandos...");
        QVERIFY(found);
    }

    void messageBoxesAnswerAndUseSpanishButtons() {
        QtUserInterface ui;
        QString caption, text;
        QStringList buttons;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        auto answer = [&](const QString& press) {
            WhenModal<QMessageBox>([&, press](QMessageBox* box) {
                caption = box->windowTitle();
                text = box->text();
                icon = box->icon();
                buttons.clear();
                for (QAbstractButton* b : box->buttons()) buttons << b->text();
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == press) b->click();
            });
        };
        answer("No");
        QVERIFY(!ui.MessageBox("\xBF" "Continuar?", "", MsgButtons::YesNo, MsgIcon::Question));
        QCOMPARE(caption, QString("Ordavo"));
        QCOMPARE(text, QString("\u00bfContinuar?"));
        QCOMPARE(icon, QMessageBox::Question);
        QVERIFY(buttons.contains("S\u00ed"));
        answer("S\u00ed");
        QVERIFY(ui.MessageBox("x", "", MsgButtons::YesNo, MsgIcon::None));
        answer("OK");
        QVERIFY(ui.MessageBox("x", "Cap", MsgButtons::OkCancel, MsgIcon::Exclamation));
        QCOMPARE(caption, QString("Cap"));
        QCOMPARE(icon, QMessageBox::Warning);
        QVERIFY(buttons.contains("Anular"));
        answer("Anular");
        QVERIFY(!ui.MessageBox("x", "Cap", MsgButtons::OkCancel, MsgIcon::Error));
        QCOMPARE(icon, QMessageBox::Critical);
    }

    void helpKeyOpensTheHelpDocumentOrAsks() {
        // The application's own help folder comes first, .chm before .html.
        QDir(work_.path()).mkpath("help");
        QDir(work_.path()).mkpath("app");
        GetSettings().AppDirectory = NativePath(work_.path() + "/app");
        QString html = work_.filePath("help/Ordavo_Help.html");
        QFile f(html);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<html></html>");
        f.close();
        MessageReturnDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::keyClick(&dlg, Qt::Key_F1);
        QCOMPARE(opened_.size(), 1);
        QCOMPARE(QFileInfo(opened_.front()).canonicalFilePath(), QFileInfo(html).canonicalFilePath());

        // When the desktop cannot open it, the program's own help window shows the document
        // that is there; "not found" is not said.
        SetDocumentOpener([](const QString&) { return false; });
        f.open(QIODevice::WriteOnly);
        f.write("<html><head><title>Ayuda local</title></head><body><a href=\"#x\">x</a></body></html>");
        f.close();
        bool message_box = false;
        WhenModal<QMessageBox>([&](QMessageBox* box) {
            message_box = true;
            box->accept();
        });
        QString shown;
        WhenModal<HelpWindow>([&](HelpWindow* h) {
            shown = h->windowTitle();
            h->reject();
        });
        QTest::keyClick(&dlg, Qt::Key_F1);
        QTRY_COMPARE(shown, QString("Ayuda local"));
        QVERIFY(!message_box);
        SetDocumentOpener([this](const QString& path) {
            opened_ << path;
            return true;
        });
    }

    void aboutBoxShowsProductAndVersion() {
        AboutBoxDlg about;
        QStringList lines = about.findChild<QLabel*>("static1316")->text().split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[1], QString());
        QCOMPARE(lines[2], QString("Ordavoes 3.0.4"));
        QCOMPARE(about.findChild<QLabel*>("static1263")->text(), QString());
    }

    void settingsDialogConfirmAndCancel() {
        Settings& s = GetSettings();
        s.Reset();
        s.PortName = "com2";
        s.Country = "chile";
        s.BaudRate = 19200;
        s.FilterCommands = 1;
        s.ShowResults = 0;
        {
            ConfigDlg dlg;
            dlg.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dlg));
            QCOMPARE(dlg.windowTitle(), QString("Configuraciones"));
            QCOMPARE(dlg.CancelButton()->text(), QString("Anular"));
            QCOMPARE(dlg.UsbButton()->text(), QString("Instalar Driver USB"));
            QCOMPARE(dlg.PortList()->itemText(0), QString("USB"));
            QCOMPARE(dlg.PortList()->itemText(9), QString("COM8:"));
            // Then the socket and the serial devices present.
            QCOMPARE(dlg.PortList()->itemText(10), QString("SOCKET"));
            for (int i = 11; i < dlg.PortList()->count(); ++i)
                QVERIFY(dlg.PortList()->itemText(i).startsWith("/dev/"));
            QCOMPARE(dlg.CountryList()->itemText(0), QString("-- Otro --"));
            // Stored texts pick the entry they begin, ignoring case.
            QCOMPARE(dlg.PortList()->currentText(), QString("COM2:"));
            QCOMPARE(dlg.CountryList()->currentText(), QString("CHILE"));
            QCOMPARE(dlg.SpeedList()->currentText(), QString("19200"));
            QCOMPARE(dlg.ModelList()->currentText(), QString("Heron 2 TH          "));
            QVERIFY(dlg.FilterBox()->isChecked());
            QVERIFY(!dlg.ShowResultsBox()->isChecked());
            QVERIFY(dlg.ExtendedReturnBox()->isChecked());
            QVERIFY(!dlg.HostField()->isVisible());
            Screenshot(&dlg, "settings");

            // Cancel leaves everything as it was.
            dlg.PortList()->setEditText("USB");
            dlg.SpeedList()->setCurrentIndex(3);
            QTest::mouseClick(dlg.CancelButton(), Qt::LeftButton);
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            QCOMPARE(s.PortName, std::string("com2"));
            QCOMPARE(s.BaudRate, 19200);
            QCOMPARE(s.Country, std::string("chile"));
        }
        {
            ConfigDlg dlg;
            dlg.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dlg));
            // Typing SOCKET brings the host field, bound to the socket peer.
            dlg.PortList()->setFocus();
            dlg.PortList()->lineEdit()->selectAll();
            QTest::keyClicks(dlg.PortList()->lineEdit(), "SOCKET");
            QVERIFY(dlg.HostField()->isVisible());
            QTest::keyClicks(dlg.HostField(), "10.1.2.3:2121");
            dlg.SpeedList()->setEditText("38400");  // not a listed speed
            dlg.CountryList()->setCurrentText("PANAMA");
            dlg.ModelList()->setCurrentIndex(0);  // "Kestrel 2           "
            dlg.ExtendedReturnBox()->setChecked(true);
            QTest::mouseClick(dlg.ShowResultsBox(), Qt::LeftButton);
            QTest::mouseClick(dlg.OkButton(), Qt::LeftButton);
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            QCOMPARE(s.PortName, std::string("SOCKET"));
            QCOMPARE(s.SocketPeer, std::string("10.1.2.3:2121"));
            QCOMPARE(s.BaudRate, 9600);
            QCOMPARE(s.Country, std::string("PANAMA"));
            // The Kestrel 2 rule clears the extended return at once, box ticked or not.
            QCOMPARE(s.ExtendedReturn, 0);
            QCOMPARE(dlg.Fields().extended_return, 0);
            QVERIFY(!dlg.ExtendedReturnBox()->isChecked());
            // The rest is the caller's to take.
            QCOMPARE(dlg.Fields().model, std::string("Kestrel 2           "));
            QCOMPARE(dlg.Fields().show_results, 1);
            QCOMPARE(s.ModelName, std::string("Heron 2 TH          "));
            QCOMPARE(s.ShowResults, 0);
        }
        {
            // The sequence window's locks.
            ConfigDlg dlg(nullptr, true, true);
            QVERIFY(!dlg.FilterBox()->isEnabled());
            QVERIFY(!dlg.ModelList()->isEnabled());
            QVERIFY(dlg.ExtendedReturnBox()->isEnabled());
            // An empty port shows empty instead of selecting "USB".
            s.PortName.clear();
            ConfigDlg empty_port;
            QCOMPARE(empty_port.PortList()->currentText(), QString());
        }
    }

    void usbDriverInstallationReportsFailures() {
        ConfigDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QString text;
        bool missed = false;
        auto expect_message = [&] {
            text.clear();
            WhenModal<QMessageBox>(
                [&](QMessageBox* box) {
                    text = box->text();
                    box->accept();
                },
                &missed);
        };

        ConfigDlg::SetPrivilegeProgram(work_.filePath("no-such-pkexec"));
        expect_message();
        QTest::mouseClick(dlg.UsbButton(), Qt::LeftButton);
        QVERIFY(!missed);
        QCOMPARE(text, QString("Error en la instalaci\u00f3n del driver USB") + "The specified file was not found.");

        // A stand-in for pkexec that keeps the rules it was asked to install.
        QString copy = work_.filePath("installed.rules");
        QString fake = work_.filePath("fake-pkexec");
        QFile script(fake);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QString("#!/bin/sh\ncp \"$5\" '%1'\necho \"$3\" > '%1.cmd'\nexit \"${FAKE_EXIT:-0}\"\n")
                         .arg(copy)
                         .toUtf8());
        script.close();
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        ConfigDlg::SetPrivilegeProgram(fake);
        QTest::mouseClick(dlg.UsbButton(), Qt::LeftButton);
        QVERIFY(dlg.isEnabled());
        std::string rules = ReadFile(copy);
        QVERIFY(rules.find("ATTRS{idVendor}==\"7a1f\", ATTRS{idProduct}==\"0104\"") != std::string::npos);
        QVERIFY(rules.find("TAG+=\"uaccess\"") != std::string::npos);
        QVERIFY(ReadFile(copy + ".cmd").find("/etc/udev/rules.d/60-ordavo-printers.rules") != std::string::npos);

        // Refused authentication (pkexec ends with 126) is reported, not taken for success.
        qputenv("FAKE_EXIT", "126");
        expect_message();
        QTest::mouseClick(dlg.UsbButton(), Qt::LeftButton);
        qunsetenv("FAKE_EXIT");
        QVERIFY(!missed);
        QVERIFY(text.startsWith(QString("Error en la instalaci\u00f3n del driver USB")));
        QVERIFY(text.contains("126"));
        ConfigDlg::SetPrivilegeProgram("pkexec");
    }
};

QTEST_MAIN(SharedWindowsTest)
#include "shared_windows_test.moc"
