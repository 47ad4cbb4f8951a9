// The fiscal-memory window driven as a person would, over a stand-in library that logs every
// call and answers what the test says (tests/support/fake_talvmfd.cpp): the menu and its
// greying, default file names, the texts handed to the library, result messages, the signed
// downloads' tail, the Z validation and the progress window.
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <deque>
#include <fstream>

#include "engine/util.h"
#include "fiscalmemory/core/mfd_rules.h"
#include "fiscalmemory/gui/download_parts_dlg.h"
#include "fiscalmemory/gui/mfd_dialog.h"
#include "fiscalmemory/gui/mfd_selection_dialogs.h"
#include "shell/core/settings.h"
#include "shell/gui/gui_support.h"
#include "shell/gui/progress_wnd.h"
#include "shell/gui/wait_dlg.h"
#include "tests/gui/gui_test_util.h"
#include "tests/gui/mfd_driver.h"
#include "tests/support/paths.h"

using namespace ordavo;
using namespace ordavo::gui;
using namespace ordavo::mfdtest;

namespace {

const QString kSerial = "TA0000000001";

std::string ReadText(const QString& path) {
    std::string out;
    ReadWholeFile(NativePath(path), out);
    return out;
}

QString Screenshot(QWidget* w, const QString& name) { return guitest::Screenshot(w, name); }

}  // namespace

class MfdWindowTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir profile_;
    std::unique_ptr<test::TempDir> dir_;
    std::string old_cwd_;
    QString cwd_;
    QString log_, control_;
    QStringList opened_;
    guitest::Watchdog watchdog_;

    void Control(const std::string& lines) { std::ofstream(NativePath(control_), std::ios::trunc) << lines; }
    // The calls the library saw since the last ClearLog, each as function and arguments (the
    // library's file name first).
    QList<QStringList> Calls() const {
        QList<QStringList> out;
        for (const QString& line : QString::fromStdString(ReadText(log_)).split('\n', Qt::SkipEmptyParts))
            out << line.split('\t');
        return out;
    }
    QStringList Functions() const {
        QStringList out;
        for (const QStringList& c : Calls()) out << c.value(1);
        return out;
    }
    QStringList Call(const QString& function) const {
        for (const QStringList& c : Calls())
            if (c.value(1) == function) return c.mid(2);
        return {};
    }
    void ClearLog() { QFile::remove(log_); }
    void UseLibraryDir(const char* dir) { qputenv("ORDAVO_LIBRARY_DIR", dir); }


private slots:
    void initTestCase() {
        guitest::IsolateProfile(profile_.path());
        SetDocumentOpener([this](const QString& path) {
            opened_ << path;
            return true;
        });
    }
    void init() {
        dir_ = std::make_unique<test::TempDir>();
        old_cwd_ = CurrentDirectory();
        QVERIFY(::chdir(dir_->path().c_str()) == 0);
        cwd_ = QPath(dir_->path());
        log_ = cwd_ + "/calls.log";
        control_ = cwd_ + "/control.txt";
        qputenv("ORDAVO_FAKE_MFD_LOG", log_.toUtf8());
        qputenv("ORDAVO_FAKE_MFD_CONTROL", control_.toUtf8());
        UseLibraryDir(ORDAVO_FAKE_MFD_DIR);
        GetSettings().Reset();
        GetSettings().PortName = "COM3:";
        GetSettings().BaudRate = 115200;
        opened_.clear();
        watchdog_.Arm(30000);
    }
    void cleanup() {
        guitest::CancelPendingModalActions();
        QString unanswered = watchdog_.Disarm();
        (void)::chdir(old_cwd_.c_str());
        dir_.reset();
        QVERIFY2(unanswered.isEmpty(), qPrintable("unanswered windows: " + unanswered));
    }

    void menuGreyingAndLibraryByCountry() {
        struct Case {
            const char* country;
            QList<bool> enabled;  // the seven popups
            const char* library;
        };
        const Case cases[] = {
            {"CHILE", {true, true, false, false, true, true, true}, "TalvMFD2ES"},
            {"VENEZUELA", {true, true, true, false, true, true, true}, "TalvMFD2ES"},
            {"PANAMA", {true, true, true, false, true, true, true}, "TalvMFD2ES"},
            {"REP DOMINICANA", {true, true, false, true, true, true, true}, "TalvMFD2RD"},
            {"-- Otro --", {true, true, true, true, true, true, true}, "TalvMFD2ES"},
        };
        for (const Case& c : cases) {
            ClearLog();
            GetSettings().Country = c.country;
            MFDDialog w;
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QCOMPARE(w.windowTitle(), QString("Operaciones con Archivos"));
            QList<bool> enabled;
            QStringList titles;
            for (QAction* top : w.MenuBar()->actions()) {
                enabled << top->isEnabled();
                titles << top->text();
            }
            QCOMPARE(enabled, c.enabled);
            QCOMPARE(titles, (QStringList{"Archivo", QString::fromUtf8("Comunicaci\u00f3n"),
                                          QString::fromUtf8("Emisi\u00f3n de Documento(s) VE"),
                                          QString::fromUtf8("Emisi\u00f3n de Documento(s) RD"), "PA 0421-06", "DLL Clave",
                                          QString::fromUtf8("Panam\u00e1")}));
            // Loaded once at creation with the configured speed, from the country's library.
            QCOMPARE(Calls(), (QList<QStringList>{{c.library, "TalvSetBaudrate", "115200"}}));
            QVERIFY(w.LibraryResident());
            // A greyed popup's items cannot be reached.
            if (!c.enabled[kPopupEmisionRD]) QVERIFY(!Choose(w, ID_MFD_LIBRO_VENTAS_RD));
        }
        GetSettings().Country = "VENEZUELA";
        MFDDialog w;
        QCOMPARE(w.Action(ID_MFD_STATUS_ULTIMA)->text(), QString::fromUtf8("Status \u00daltima Comunicaci\u00f3n"));

        // A picture with "Comunicación" and its "Download" popup open.
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QMenu* comm = w.Popup(kPopupComunicacion);
        QMenu* download = qobject_cast<QMenu*>(w.Action(ID_MFD_DOWNLOAD_MF)->parent());
        QVERIFY(download);
        QTest::mouseClick(w.MenuBar(), Qt::LeftButton, {}, w.MenuBar()->actionGeometry(comm->menuAction()).center());
        QVERIFY(QTest::qWaitForWindowExposed(comm));
        QRect sub = comm->actionGeometry(download->menuAction());
        QTest::mouseMove(comm, sub.center());
        QTest::mouseClick(comm, Qt::LeftButton, {}, sub.center());
        QVERIFY(QTest::qWaitForWindowExposed(download));
        // The whole bar fits: no popup behind the overflow arrow.
        for (QAction* top : w.MenuBar()->actions()) QVERIFY(w.MenuBar()->actionGeometry(top).right() < w.MenuBar()->width());
        QPixmap shot(w.size().expandedTo(QSize(0, download->height() + 60)));
        shot.fill(Qt::darkGray);
        {
            QPainter painter(&shot);
            QPoint origin = w.mapToGlobal(QPoint(0, 0));
            painter.drawPixmap(0, 0, w.grab());
            painter.drawPixmap(comm->pos() - origin, comm->grab());
            painter.drawPixmap(download->pos() - origin, download->grab());
        }
        QString dir = qEnvironmentVariable("ORDAVO_SCREENSHOTS");
        if (!dir.isEmpty()) {
            QDir().mkpath(dir);
            QVERIFY(shot.save(dir + "/mfd_window_menu.png"));
        }
        comm->hide();
        download->hide();
    }

    void plainDownloadsProposeTheirNames() {
        GetSettings().Country = "VENEZUELA";
        MFDDialog w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        // Fiscal memory: "MF_" + serial + "_" + time stamp, saved where the user says.
        ClearLog();
        QString proposed;
        Script mf;
        mf.Then("QFileDialog", AcceptIn(cwd_, &proposed));
        Run(w, ID_MFD_DOWNLOAD_MF, mf);
        QVERIFY2(QRegularExpression("^MF_TA0000000001_\\d\\d_\\d\\d_\\d\\d_\\d\\d_\\d\\d$").match(proposed).hasMatch(),
                 qPrintable(proposed));
        QCOMPARE(Functions(), (QStringList{"TalvGetSerialNumber", "TalvSetProgressCallback", "TalvDownloadMF",
                                           "TalvSetProgressCallback"}));
        QCOMPARE(Call("TalvDownloadMF"), (QStringList{"COM3:", cwd_ + "/" + proposed + ".mf"}));
        QVERIFY(mf.messages.isEmpty());  // 0 says nothing

        // Basic software: "SB_" + serial, no time stamp.
        ClearLog();
        Script sb;
        sb.Then("QFileDialog", AcceptIn(cwd_, &proposed));
        Run(w, ID_MFD_DOWNLOAD_SB, sb);
        QCOMPARE(proposed, "SB_" + kSerial);
        QCOMPARE(Call("TalvDownloadSB"), (QStringList{"COM3:", cwd_ + "/SB_" + kSerial + ".bin"}));

        // The audit memory by COO 10 to 25, user 1.
        ClearLog();
        Script ma;
        ma.Then("SelDownloadMFDDlg", [](QWidget* d) {
              auto* s = static_cast<SelDownloadMFDDlg*>(d);
              QTest::keyClicks(s->First(), "10");  // the whole "0" is selected at opening
              Type(s->Last(), "25");
              QTest::mouseClick(s->OkButton(), Qt::LeftButton);
          })
            .Then("QFileDialog", AcceptIn(cwd_, &proposed));
        Run(w, ID_MFD_DOWNLOAD_MA, ma);
        QCOMPARE(proposed, "MRA_" + kSerial + "_COO_I10_F25_U1");
        QCOMPARE(Call("TalvDownloadMFD"),
                 (QStringList{"COM3:", cwd_ + "/" + proposed + ".mra", "2", "000010", "000025", "001"}));
        QVERIFY(!Functions().contains("TalvDownloadPublicKey"));
        QVERIFY(ma.messages.isEmpty());

        // The same range reversed goes to the library as it is; by date has no user; the whole
        // memory no range at all.
        ClearLog();
        Script reversed;
        reversed
            .Then("SelDownloadMFDDlg", Range<SelDownloadMFDDlg>("25", "10"))
            .Then("QFileDialog", AcceptIn(cwd_));
        Run(w, ID_MFD_DOWNLOAD_MA, reversed);
        QCOMPARE(Call("TalvDownloadMFD").mid(2), (QStringList{"2", "000025", "000010", "001"}));

        ClearLog();
        Script by_date;
        by_date
            .Then("SelDownloadMFDDlg", [](QWidget* d) {
                auto* s = static_cast<SelDownloadMFDDlg*>(d);
                QTest::mouseClick(s->KindButton(1), Qt::LeftButton);
                QVERIFY(!s->First()->isEnabled() && !s->User()->isEnabled() && s->FirstDate()->isEnabled());
                s->FirstDate()->setDate(QDate(2026, 3, 4));
                s->LastDate()->setDate(QDate(2026, 12, 10));
                QTest::mouseClick(s->OkButton(), Qt::LeftButton);
            })
            .Then("QFileDialog", AcceptIn(cwd_, &proposed));
        Run(w, ID_MFD_DOWNLOAD_MA, by_date);
        QCOMPARE(proposed, "MRA_" + kSerial + "_040326_101226");
        QCOMPARE(Call("TalvDownloadMFD").mid(2), (QStringList{"1", "040326", "101226", ""}));

        ClearLog();
        Script whole;
        whole
            .Then("SelDownloadMFDDlg", [](QWidget* d) {
                auto* s = static_cast<SelDownloadMFDDlg*>(d);
                QTest::mouseClick(s->KindButton(2), Qt::LeftButton);
                QVERIFY(!s->First()->isEnabled() && !s->FirstDate()->isEnabled());
                QTest::mouseClick(s->OkButton(), Qt::LeftButton);
            })
            .Then("QFileDialog", AcceptIn(cwd_, &proposed));
        Run(w, ID_MFD_DOWNLOAD_MA, whole);
        QVERIFY2(QRegularExpression("^MRA_TA0000000001_\\d\\d_\\d\\d_\\d\\d_\\d\\d_\\d\\d$").match(proposed).hasMatch(),
                 qPrintable(proposed));
        QCOMPARE(Call("TalvDownloadMFD").mid(2), (QStringList{"0", "", "", ""}));

        // A user beyond 255 is refused in the dialog, which stays open.
        ClearLog();
        Script bad_user;
        bad_user
            .Then("SelDownloadMFDDlg", [](QWidget* d) {
                auto* s = static_cast<SelDownloadMFDDlg*>(d);
                Type(s->User(), "300");
                QTest::mouseClick(s->OkButton(), Qt::LeftButton);
            })
            .Then("QMessageBox", Ok())
            .Then("SelDownloadMFDDlg", Reject());
        Run(w, ID_MFD_DOWNLOAD_MA, bad_user);
        QCOMPARE(bad_user.messages, QStringList{QString::fromUtf8("Introduzca un n\u00famero entero entre 0 y 255.")});
        QCOMPARE(Functions(), QStringList{"TalvGetSerialNumber"});
    }

    void resultCodesAndSilentPrinter() {
        GetSettings().Country = "VENEZUELA";
        MFDDialog w;
        w.show();
        struct Case {
            int code;
            QString message;  // empty: nothing shown
        };
        const Case cases[] = {
            {0, ""},
            {1, ""},
            {8, "Impresora no responde"},
            {19, QString::fromUtf8("Error en el Archivo de Sal\u00edda")},
            {20, "Download Anulado"},
            {24, QString::fromUtf8("Error en la operaci\u00f3n")},
            {-1, QString::fromUtf8("Error en la operaci\u00f3n")},
        };
        for (const Case& c : cases) {
            Control("result TalvDownloadMF " + std::to_string(c.code) + "\n");
            Script s;
            s.Then("QFileDialog", AcceptIn(cwd_));
            if (!c.message.isEmpty()) s.Then("QMessageBox", Ok());
            Run(w, ID_MFD_DOWNLOAD_MF, s);
            QCOMPARE(s.messages, c.message.isEmpty() ? QStringList() : QStringList{c.message});
            if (!c.message.isEmpty()) QCOMPARE(s.icons.front(), QMessageBox::Warning);
        }

        // The printer silent when its serial is asked: "Impresora no responde" and no file
        // dialog, for every download that needs the serial.
        Control("result TalvGetSerialNumber 8\n");
        for (int id : {ID_MFD_DOWNLOAD_MF, ID_MFD_DOWNLOAD_SB, ID_MFD_DOWNLOAD_MA, ID_MFD_DOWNLOAD_MPK,
                       ID_MFD_DOWNLOAD_MFK, ID_MFD_LECTURA_X, ID_MFD_LECTURA_MF_TXT, ID_MFD_CLAVE_PUBLICA}) {
            ClearLog();
            Script s;
            s.Then("QMessageBox", Ok());
            Run(w, id, s);
            QCOMPARE(s.messages, QStringList{"Impresora no responde"});
            QCOMPARE(Functions(), QStringList{"TalvGetSerialNumber"});
        }

        // A library file that does not load: the serial cannot be asked either; the status
        // says it plainly.
        QDir().mkpath(cwd_ + "/broken");
        std::ofstream(NativePath(cwd_ + "/broken/libTalvMFD2ES.so")) << "not a library";
        UseLibraryDir(NativePath(cwd_ + "/broken").c_str());
        MFDDialog bare;
        bare.show();
        QVERIFY(!bare.LibraryResident());
        Script none;
        Run(bare, ID_MFD_DOWNLOAD_MF, none);  // a missing library ends it without a word
        Script status;
        status.Then("QMessageBox", Ok());
        Run(bare, ID_MFD_STATUS_ULTIMA, status);
        QCOMPARE(status.messages, QStringList{QString::fromUtf8("No fu\u00e9 posible carregar la DLL")});
    }

    void signedAuditChecksItsRangeFirst() {
        GetSettings().Country = "VENEZUELA";
        MFDDialog w;
        w.show();
        // MPK from COO 25 to 10: refused before the library is loaded for the download.
        ClearLog();
        Script reversed;
        reversed
            .Then("SelDownloadMFDDlg", Range<SelDownloadMFDDlg>("25", "10"))
            .Then("QMessageBox", Ok());
        Run(w, ID_MFD_DOWNLOAD_MPK, reversed);
        QCOMPARE(reversed.messages, QStringList{"COO inicial posterior a final"});
        QCOMPARE(Functions(), QStringList{"TalvGetSerialNumber"});

        // The library's 12 is "Fecha inicial posterior a final" and nothing follows.
        ClearLog();
        Control("result TalvDownloadMPK 12\n");
        Script late;
        late.Then("SelDownloadMFDDlg", Click("ok")).Then("QFileDialog", AcceptIn(cwd_)).Then("QMessageBox", Ok());
        Run(w, ID_MFD_DOWNLOAD_MPK, late);
        QCOMPARE(late.messages, QStringList{"Fecha inicial posterior a final"});
        QVERIFY(!Functions().contains("TalvValidate"));

        // A good MPK: the wait text, the key beside the file for the check, the verdict, and the
        // key removed again because the user did not ask for it.
        ClearLog();
        Control("");
        QString proposed;
        WindowsShown windows;
        Script good;
        good.Then("SelDownloadMFDDlg", Click("ok")).Then("QFileDialog", AcceptIn(cwd_, &proposed)).Then("QMessageBox", Ok());
        Run(w, ID_MFD_DOWNLOAD_MPK, good);
        QCOMPARE(proposed, "MPK_" + kSerial + "_COO_I0_F0_U1");
        QString file = cwd_ + "/" + proposed + ".mpk";
        QCOMPARE(Call("TalvDownloadMPK"), (QStringList{"COM3:", file, "2", "000000", "000000", "001"}));
        QCOMPARE(Call("TalvDownloadPublicKey"), (QStringList{"COM3:", cwd_ + "/" + kSerial}));
        QCOMPARE(Call("TalvValidate"), (QStringList{file, cwd_ + "/" + kSerial}));
        QCOMPARE(good.messages, QStringList{"Archivo Valido"});
        QVERIFY(QFile::exists(file));
        QVERIFY(!QFile::exists(cwd_ + "/" + kSerial));
        QVERIFY(windows.shown.contains("ProgressWnd:Por favor aguarde. Download MPK."));
        QVERIFY(windows.shown.contains("ProgressWnd:Por favor aguarde. Download Clave."));
    }

    void plainAuditWithKeyAndSaveCancelled() {
        GetSettings().Country = "VENEZUELA";
        MFDDialog w;
        w.show();
        ClearLog();
        QString key_name;
        Script s;
        s.Then("SelDownloadMFDDlg", [](QWidget* d) {
             auto* sel = static_cast<SelDownloadMFDDlg*>(d);
             QVERIFY(sel->PublicKey()->isEnabled());
             Tick(sel->PublicKey());
             QTest::mouseClick(sel->OkButton(), Qt::LeftButton);
         })
            .Then("QFileDialog", Reject())                   // the audit memory's file: cancelled
            .Then("QFileDialog", AcceptIn(cwd_, &key_name));  // the key's own dialog still comes
        Run(w, ID_MFD_DOWNLOAD_MA, s);
        QCOMPARE(key_name, kSerial);
        QCOMPARE(Functions(), (QStringList{"TalvGetSerialNumber", "TalvSetProgressCallback", "TalvDownloadPublicKey",
                                           "TalvSetProgressCallback"}));
        QCOMPARE(Call("TalvDownloadPublicKey"), (QStringList{"COM3:", cwd_ + "/" + kSerial + ".pub"}));
        QVERIFY(QFile::exists(cwd_ + "/" + kSerial + ".pub"));
        QVERIFY(s.messages.isEmpty());
    }

    void signedWholeDownloadsAndTheirTail() {
        GetSettings().Country = "VENEZUELA";
        MFDDialog w;
        w.show();
        // MFK with the key wanted: its own save dialog, and the key stays.
        ClearLog();
        QString proposed, key_name;
        Script mfk;
        mfk.Then("QFileDialog", AcceptIn(cwd_, &proposed))
            .Then("DlgSelDownloadPublicKey", [](QWidget* d) {
                auto* k = static_cast<DlgSelDownloadPublicKey*>(d);
                QCOMPARE(k->PublicKey()->text(), QString("Desea hacer el download de la Clave Publica"));
                Tick(k->PublicKey());
                QTest::mouseClick(k->OkButton(), Qt::LeftButton);
            })
            .Then("QFileDialog", AcceptIn(cwd_, &key_name))
            .Then("QMessageBox", Ok());
        Run(w, ID_MFD_DOWNLOAD_MFK, mfk);
        QVERIFY2(QRegularExpression("^MFK_TA0000000001_(\\d\\d_){4}\\d\\d$").match(proposed).hasMatch(), qPrintable(proposed));
        QCOMPARE(key_name, kSerial);
        QCOMPARE(Call("TalvValidate"), (QStringList{cwd_ + "/" + proposed + ".mfk", cwd_ + "/" + kSerial + ".pub"}));
        QCOMPARE(mfk.messages, QStringList{"Archivo Valido"});
        QVERIFY(QFile::exists(cwd_ + "/" + kSerial + ".pub"));

        // Lectura X, a tampered file: the library's 255 goes through the result table, then the
        // verdict.
        ClearLog();
        Control("result TalvValidate 255\n");
        Script lx;
        lx.Then("QFileDialog", AcceptIn(cwd_, &proposed))
            .Then("DlgSelDownloadPublicKey", Click("ok"))
            .Then("QMessageBox", Ok())
            .Then("QMessageBox", Ok());
        Run(w, ID_MFD_LECTURA_X, lx);
        QVERIFY(proposed.startsWith("LX_" + kSerial + "_"));
        QCOMPARE(lx.messages, (QStringList{QString::fromUtf8("Error en la operaci\u00f3n"), "Archivo Invalido"}));
        QVERIFY(!QFile::exists(cwd_ + "/" + kSerial));

        // The key cannot be fetched: the check asks for one by hand.
        ClearLog();
        Control("result TalvDownloadPublicKey 22\n");
        QString hand_key = cwd_ + "/mine.pub";
        std::ofstream(NativePath(hand_key)) << "key";
        Script ask;
        ask.Then("QFileDialog", AcceptIn(cwd_))
            .Then("DlgSelDownloadPublicKey", Click("ok"))
            .Then("QMessageBox", Ok())  // "Llave Pública con error"
            .Then("QFileDialog", AcceptIn(cwd_, nullptr, hand_key))
            .Then("QMessageBox", Ok());
        Run(w, ID_MFD_DOWNLOAD_MFK, ask);
        QCOMPARE(ask.messages, (QStringList{QString::fromUtf8("Llave P\u00fablica con error"), "Archivo Valido"}));
        QCOMPARE(Call("TalvValidate").value(1), hand_key);
        QVERIFY(QFile::exists(hand_key));

        // A library that says 0 without writing the file: the check says the file is missing.
        ClearLog();
        Control("nofile TalvDownloadMFK 1\n");
        Script nofile;
        nofile.Then("QFileDialog", AcceptIn(cwd_)).Then("DlgSelDownloadPublicKey", Click("ok")).Then("QMessageBox", Ok());
        Run(w, ID_MFD_DOWNLOAD_MFK, nofile);
        QCOMPARE(nofile.messages, QStringList{"Archivo no encontrado."});
        QVERIFY(!Functions().contains("TalvValidate"));
        QVERIFY(!QFile::exists(cwd_ + "/" + kSerial));

        // Without the Lectura X function (an older library) the command says the library is
        // not usable; its downloads run under the wait window.
        UseLibraryDir(ORDAVO_FAKE_MFD_BASIC_DIR);
        Control("");
        MFDDialog old;
        old.show();
        Script missing;
        missing.Then("QMessageBox", Ok());
        Run(old, ID_MFD_LECTURA_X, missing);
        QCOMPARE(missing.messages, QStringList{QString::fromUtf8("No fu\u00e9 posible carregar la DLL")});
        WindowsShown windows;
        Script mfk_wait;
        mfk_wait.Then("QFileDialog", AcceptIn(cwd_)).Then("DlgSelDownloadPublicKey", Click("ok")).Then("QMessageBox", Ok());
        Run(old, ID_MFD_DOWNLOAD_MFK, mfk_wait);
        QVERIFY2(windows.shown.contains("WaitDlg:Por favor aguarde. Download MFK."), qPrintable(windows.shown.join("|")));
        QVERIFY(windows.shown.filter("ProgressWnd").isEmpty());
    }

    void fiscalReadingAndTransactionReport() {
        GetSettings().Country = "VENEZUELA";
        MFDDialog w;
        w.show();
        // By date, simplified: "_S" and the variant "r".
        ClearLog();
        QString proposed;
        Script lmf;
        lmf.Then("SelDownloadTxt", [](QWidget* d) {
               auto* s = static_cast<SelDownloadTxt*>(d);
               QCOMPARE(s->KindButton(0)->text(), QString("CRZ"));
               QTest::mouseClick(s->KindButton(1), Qt::LeftButton);
               QVERIFY(!s->First()->isEnabled() && s->FirstDate()->isEnabled());
               s->FirstDate()->setDate(QDate(2026, 12, 1));
               s->LastDate()->setDate(QDate(2026, 12, 9));
               Tick(s->Simplified());
               QTest::mouseClick(s->OkButton(), Qt::LeftButton);
           })
            .Then("QFileDialog", AcceptIn(cwd_, &proposed))
            .Then("QMessageBox", Ok());
        Run(w, ID_MFD_LECTURA_MF_TXT, lmf);
        QCOMPARE(proposed, "LMF_" + kSerial + "_011226_091226_S");
        QCOMPARE(Call("TalvDownloadLecturaMF"),
                 (QStringList{"COM3:", cwd_ + "/" + proposed + ".txk", "1", "011226", "091226", "r"}));
        QCOMPARE(lmf.messages, QStringList{"Archivo Valido"});

        // Transaction report by number, reversed: refused before the library.
        ClearLog();
        Script reversed;
        reversed
            .Then("SelDownloadTxt", [](QWidget* d) {
                auto* s = static_cast<SelDownloadTxt*>(d);
                QCOMPARE(s->KindButton(0)->text(), QString("COO"));
                Type(s->First(), "9");
                Type(s->Last(), "3");
                QTest::mouseClick(s->OkButton(), Qt::LeftButton);
            })
            .Then("QMessageBox", Ok());
        Run(w, ID_MFD_INFORME_TRANSACCIONES, reversed);
        QCOMPARE(reversed.messages, QStringList{"COO inicial posterior a final"});
        QCOMPARE(Functions(), QStringList{"TalvGetSerialNumber"});

        ClearLog();
        Script it;
        it.Then("SelDownloadTxt", Range<SelDownloadTxt>("3", "9"))
            .Then("QFileDialog", AcceptIn(cwd_, &proposed))
            .Then("QMessageBox", Ok());
        Run(w, ID_MFD_INFORME_TRANSACCIONES, it);
        QCOMPARE(proposed, "IT_" + kSerial + "_COO_I3_F9_N");
        QCOMPARE(Call("TalvDownloadRelTransacciones").mid(2), (QStringList{"2", "000003", "000009", "R"}));
    }

    void lastAnswerStatus() {
        GetSettings().Country = "VENEZUELA";
        MFDDialog w;
        w.show();
        struct Case {
            std::string control;
            QStringList messages;
            QMessageBox::Icon icon;
        };
        const QString kNumParam = QString::fromUtf8("N\u00daMERO DE PAR\u00c1METROS DE CMD INV\u00c1LIDO");
        const Case cases[] = {
            {"lastack 6 129 0\n", {"\nFIN DE PAPEL\n" + kNumParam}, QMessageBox::NoIcon},
            {"lastack 6 0 0\n", {"RETORNO OK"}, QMessageBox::NoIcon},
            {"lastack 21 0 0\n", {"NAK"}, QMessageBox::Warning},
            {"result TalvGetLastAck 7\n", {"Retorno no Almacenado", "Comando no ejecutado"}, QMessageBox::Warning},
        };
        for (const Case& c : cases) {
            Control(c.control);
            Script s;
            for (int i = 0; i < c.messages.size(); ++i) s.Then("QMessageBox", Ok());
            Run(w, ID_MFD_STATUS_ULTIMA, s);
            QCOMPARE(s.messages, c.messages);
            QCOMPARE(s.icons.front(), c.icon);
            QCOMPARE(s.captions.front(), QString("Retorno del Comando"));
        }
    }

    void verifySignedFile() {
        GetSettings().Country = "VENEZUELA";
        MFDDialog w;
        w.show();
        QString signed_file = cwd_ + "/a.mpk", key = cwd_ + "/k.pub";
        std::ofstream(NativePath(signed_file)) << "x";
        std::ofstream(NativePath(key)) << "k";
        struct Case {
            int code;
            QString message;
        };
        const Case cases[] = {
            {0, "Archivo Valido"},
            {255, "Archivo Invalido"},
            {17, QString::fromUtf8("Archivo inv\u00e1lido")},
        };
        for (const Case& c : cases) {
            ClearLog();
            Control("result TalvValidate " + std::to_string(c.code) + "\n");
            QString key_proposed;
            Script s;
            s.Then("QFileDialog", AcceptIn(cwd_, nullptr, signed_file))
                .Then("QFileDialog", [&](QWidget* d) {
                    key_proposed = d->findChild<QLineEdit*>("fileNameEdit")->text();
                    guitest::AcceptPath(static_cast<QFileDialog*>(d), key);
                })
                .Then("QMessageBox", Ok());
            Run(w, ID_MFD_VERIFICAR_FIRMADO, s);
            QCOMPARE(key_proposed, kSerial);
            QCOMPARE(s.messages, QStringList{c.message});
            QCOMPARE(Call("TalvValidate"), (QStringList{signed_file, key}));
        }
    }

    void zValidation() {
        GetSettings().Country = "VENEZUELA";
        MFDDialog w;
        w.show();
        // 300 digits typed in lines, one "g" among them that turns into a space at once.
        QString digits;
        for (int i = 0; i < 300; ++i) digits += QString("0123456789ABCDEF").at(i % 16);
        QString key = cwd_ + "/k.pub";
        std::ofstream(NativePath(key)) << "k";
        Control("verdict Z 0042 del 09/12/26 vale: total 1.234,56\n");
        ClearLog();
        QString verdict;
        Script s;
        s.Then("DlgValidateRZ", [&](QWidget* d) {
             auto* z = static_cast<DlgValidateRZ*>(d);
             QTest::keyClicks(z->Edit(), "12g");
             QCOMPARE(z->Edit()->toPlainText(), QString("12 "));
             QCOMPARE(z->Edit()->textCursor().selectedText(), QString(" "));
             z->Edit()->clear();
             for (int i = 0; i < 300; i += 60) {
                 QTest::keyClicks(z->Edit(), digits.mid(i, 60));
                 QTest::keyClick(z->Edit(), Qt::Key_Return);
             }
             Screenshot(z, "mfd_validate_z");
             QTest::mouseClick(z->OkButton(), Qt::LeftButton);
         })
            .Then("QFileDialog", AcceptIn(cwd_, nullptr, key))
            .Then("DlgRZVal", [&](QWidget* d) {
                verdict = d->findChild<QLabel*>("static1315")->text();
                Screenshot(d, "mfd_z_verdict");
                QTest::mouseClick(d->findChild<QPushButton*>("ok"), Qt::LeftButton);
            });
        Run(w, ID_MFD_VERIFICAR_Z, s);
        QCOMPARE(QString::fromStdString(ReadText(cwd_ + "/rsa_rz.tmp")), digits.left(257));
        QCOMPARE(Call("TalvValidateRZ"), (QStringList{cwd_ + "/rsa_rz.tmp", key}));
        QCOMPARE(verdict, QString("Z 0042 del 09/12/26 vale: total 1.234,56"));

        // "Grabar" writes the text, "Leer" reads a file back through the same check.
        QString saved = cwd_ + "/z.vlz";
        std::ofstream(NativePath(cwd_ + "/dirty.vlz")) << "AB zz\r\n0F";
        QString reread;
        Script files;
        files
            .Then("DlgValidateRZ", [&](QWidget* d) {
                auto* z = static_cast<DlgValidateRZ*>(d);
                QTest::keyClicks(z->Edit(), "0A1B");
                QTest::keyClick(z->Edit(), Qt::Key_Return);
                QTest::keyClicks(z->Edit(), "FF");
                QTest::mouseClick(z->SaveButton(), Qt::LeftButton);
            })
            .Then("QFileDialog", AcceptIn(cwd_, nullptr, saved))
            .Then("DlgValidateRZ", [&](QWidget* d) {
                auto* z = static_cast<DlgValidateRZ*>(d);
                QTest::mouseClick(z->ReadButton(), Qt::LeftButton);
            })
            .Then("QFileDialog", AcceptIn(cwd_, nullptr, cwd_ + "/dirty.vlz"))
            .Then("DlgValidateRZ", [&](QWidget* d) {
                auto* z = static_cast<DlgValidateRZ*>(d);
                reread = z->Edit()->toPlainText();
                z->reject();
            });
        // The dialog stays the active window between steps: let the script see it anew.
        Run(w, ID_MFD_VERIFICAR_Z, files);
        QCOMPARE(ReadText(saved), std::string("0A1B\r\nFF"));
        QCOMPARE(reread, QString("AB   \n0F"));
    }

    void progressWindowCancels() {
        GetSettings().Country = "VENEZUELA";
        MFDDialog w;
        w.show();
        Control("progress 200 20\n");
        ClearLog();
        WindowsShown windows;
        QString proposed;
        int bar_seen = -1;
        QString cancel_caption;
        Script s;
        s.Then("QFileDialog", AcceptIn(cwd_, &proposed))
            .Then("ProgressWnd", CancelOnceMoved(&bar_seen, &cancel_caption,
                                                 [](ProgressWnd* p) { Screenshot(p, "mfd_progress"); }))
            .Then("QMessageBox", Ok());
        Run(w, ID_MFD_DOWNLOAD_MF, s);
        QCOMPARE(cancel_caption, QString(" Cancelar "));
        QCOMPARE(windows.cancel_caption, QString(" Cancelar "));
        QVERIFY(bar_seen > 0);
        QCOMPARE(s.messages, QStringList{"Download Anulado"});
        QVERIFY(Functions().contains("cancelled"));
        QVERIFY(!QFile::exists(cwd_ + "/" + proposed + ".mf"));
        // The callback is taken back after the call.
        QCOMPARE(Calls().last(), (QStringList{"TalvMFD2ES", "TalvSetProgressCallback", "(null)"}));
    }

    void diagnosisAndPublicKeyAndOtherSubsystems() {
        GetSettings().Country = "VENEZUELA";
        MFDDialog w;
        w.show();
        // MF Diagnóstico without a signed file: a null pointer, then the offer to open.
        ClearLog();
        Script diag;
        diag.Then("QFileDialog", AcceptIn(cwd_, nullptr, cwd_ + "/diag.txt"))
            .Then("QFileDialog", Reject())
            .Then("QMessageBox", Press(kYes));
        Run(w, ID_MFD_MF_DIAGNOSTICO, diag);
        QCOMPARE(Call("TalvDiagnoseMF"), (QStringList{"COM3:", "(null)", cwd_ + "/diag.txt"}));
        QVERIFY(diag.messages.front().startsWith(QString::fromUtf8("Archivo criado con \u00e9xito: \r\n") + cwd_ + "/diag.txt\r\n"));
        QCOMPARE(opened_, QStringList{cwd_ + "/diag.txt"});

        // Clave Pública: the serial as the name, the key's wait text, no prompt afterwards.
        ClearLog();
        QString proposed;
        WindowsShown windows;
        Script key;
        key.Then("QFileDialog", AcceptIn(cwd_, &proposed));
        Run(w, ID_MFD_CLAVE_PUBLICA, key);
        QCOMPARE(proposed, kSerial);
        QCOMPARE(Call("TalvDownloadPublicKey"), (QStringList{"COM3:", cwd_ + "/" + kSerial + ".pub"}));
        QVERIFY(windows.shown.contains("ProgressWnd:Por favor aguarde. Download Clave."));

        // The other subsystems' items have their commands: the download in parts opens its own
        // window over this one, which stays; "Salir" closes.
        QVERIFY(Choose(w, ID_MFD_MA_EN_PARTES));
        QTRY_VERIFY(w.findChild<DialogDownloadInParts*>() != nullptr);
        DialogDownloadInParts* parts = w.findChild<DialogDownloadInParts*>();
        QTRY_VERIFY(parts->isVisible());
        parts->close();
        QVERIFY(w.isVisible());
        QVERIFY(Choose(w, ID_MFD_SALIR));
        QVERIFY(!w.isVisible());
    }

    void selectionDialogsPictures() {
        SelDownloadMFDDlg ma;
        ma.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ma));
        QCOMPARE(ma.windowTitle(), QString("MA"));
        QVERIFY(ma.First()->hasFocus());
        QCOMPARE(ma.First()->selectedText(), QString("0"));
        QCOMPARE(ma.User()->text(), QString("1"));
        QVERIFY(!ma.FirstDate()->isEnabled());
        QCOMPARE(ma.CancelButton()->text(), QString("Anular"));
        ma.SetPublicKeyOffered(false);
        QVERIFY(!ma.PublicKey()->isEnabled());
        ma.SetPublicKeyOffered(true);
        Screenshot(&ma, "mfd_sel_download_ma");

        SelDownloadMFDlg mf;
        mf.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mf));
        QCOMPARE(mf.windowTitle(), QString("Download MF"));
        QVERIFY(mf.First()->hasFocus());
        QTest::mouseClick(mf.KindButton(1), Qt::LeftButton);
        QVERIFY(mf.FirstDate()->hasFocus() && !mf.First()->isEnabled());
        QTest::mouseClick(mf.KindButton(0), Qt::LeftButton);
        Type(mf.First(), "12");
        Type(mf.Last(), "40");
        Tick(mf.Simplified());
        TxtSelection sel = mf.Selection();
        QCOMPARE(sel.first, 12L);
        QCOMPARE(sel.last, 40L);
        QVERIFY(sel.simplified);
        Screenshot(&mf, "mfd_sel_download_mf");

        SelDownloadTxt txt(1);
        txt.show();
        QVERIFY(QTest::qWaitForWindowExposed(&txt));
        Screenshot(&txt, "mfd_sel_download_txt");
        DlgSelDownloadPublicKey key;
        key.show();
        QVERIFY(QTest::qWaitForWindowExposed(&key));
        QCOMPARE(key.windowTitle(), QString("Download Clave Publica"));
        QVERIFY(!key.PublicKeyWanted());
        Screenshot(&key, "mfd_sel_public_key");
    }
};

QTEST_MAIN(MfdWindowTest)
#include "mfd_window_test.moc"
