// The fiscal-memory window end to end: the real library (libTalvMFD2ES.so beside the
// programs) against the printer simulator on a pseudo-terminal. The user downloads the fiscal
// memory, the audit memory by COO and a signed MPK with its key, watching progress; the check
// says "Archivo Valido", and once the file is tampered with, "Archivo Invalido".
#include <unistd.h>

#include <QDateEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>

#include "engine/util.h"
#include "fiscalmemory/core/audit_file.h"
#include "fiscalmemory/core/mf_file.h"
#include "fiscalmemory/core/mfd_rules.h"
#include "fiscalmemory/gui/mfd_selection_dialogs.h"
#include "shell/core/settings.h"
#include "shell/gui/gui_support.h"
#include "tests/gui/mfd_driver.h"
#include "tests/integration/mfd_test_util.h"

using namespace ordavo;
using namespace ordavo::gui;
using namespace ordavo::mfdtest;

class MfdWindowSimTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir profile_;
    guitest::Watchdog watchdog_;
    std::unique_ptr<test::TempDir> dir_;
    std::unique_ptr<test::Simulator> sim_;
    QString out_;
    std::string old_cwd_;

    // The simulator on a pseudo-terminal with a printer that worked `days` days, and the
    // settings pointing at it.
    bool StartPrinter(int days, int per_day, std::vector<std::string> options = {}) {
        options.insert(options.end(), {"--state", test::SaveState(*dir_, test::DemoState(days, per_day))});
        sim_ = std::make_unique<test::Simulator>(options);
        if (!sim_->ok()) return false;
        GetSettings().Reset();
        GetSettings().PortName = sim_->path();
        GetSettings().Country = "VENEZUELA";
        return true;
    }

private slots:
    void initTestCase() {
        guitest::IsolateProfile(profile_.path());
        qunsetenv("ORDAVO_LIBRARY_DIR");  // the library beside the programs, as the program finds it
    }
    void init() {
        if (!QFile::exists(QString::fromStdString(test::ProgramPath("ordavo-printer-sim"))) ||
            !QFile::exists(QString::fromStdString(test::BinaryDir() + "/bin/" + kFiscalLibraryES)))
            QSKIP("the simulator or the fiscal-memory library is not built");
        dir_ = std::make_unique<test::TempDir>();
        out_ = QPath(dir_->path());
        old_cwd_ = CurrentDirectory();
        QVERIFY(::chdir(dir_->path().c_str()) == 0);
        watchdog_.Arm(60000);
    }
    void cleanup() {
        guitest::CancelPendingModalActions();
        QString unanswered = watchdog_.Disarm();
        (void)::chdir(old_cwd_.c_str());
        sim_.reset();
        dir_.reset();
        QVERIFY2(unanswered.isEmpty(), qPrintable("unanswered windows: " + unanswered));
    }

    void downloadsAndSignatureAgainstTheSimulator() {
        QVERIFY(StartPrinter(3, 4));
        const QString& out = out_;
        MFDDialog w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.LibraryResident());

        // The fiscal memory, under the name proposed.
        QString mf_name;
        Script mf;
        mf.Then("QFileDialog", AcceptIn(out, &mf_name));
        Run(w, ID_MFD_DOWNLOAD_MF, mf, 20000);
        QVERIFY(mf.messages.isEmpty());
        QVERIFY(mf_name.startsWith("MF_VE0100000001_"));
        fm::FiscalMemory memory;
        std::string error;
        QVERIFY2(fm::DecodeFiscalMemory(test::Slurp(NativePath(out + "/" + mf_name + ".mf")), memory, &error), error.c_str());
        QCOMPARE(memory.reductions.size(), size_t(3));

        // The audit memory from COO 2 to 6, user 1.
        QString ma_name;
        Script ma;
        ma.Then("SelDownloadMFDDlg", Range<SelDownloadMFDDlg>("2", "6"))
            .Then("QFileDialog", AcceptIn(out, &ma_name));
        Run(w, ID_MFD_DOWNLOAD_MA, ma, 20000);
        QCOMPARE(ma_name, QString("MRA_VE0100000001_COO_I2_F6_U1"));
        QVERIFY(ma.messages.isEmpty());
        QVERIFY(fm::CheckAuditHead(test::Slurp(NativePath(out + "/" + ma_name + ".mra"))));

        // The signed audit memory, all of it, with the public key kept: progress, then the check.
        QString mpk_name, key_name;
        WindowsShown windows;
        Script mpk;
        mpk.Then("SelDownloadMFDDlg", [](QWidget* d) {
               auto* s = static_cast<SelDownloadMFDDlg*>(d);
               QTest::mouseClick(s->KindButton(2), Qt::LeftButton);
               Tick(s->PublicKey());
               QTest::mouseClick(s->OkButton(), Qt::LeftButton);
           })
            .Then("QFileDialog", AcceptIn(out, &mpk_name))
            .Then("QFileDialog", AcceptIn(out, &key_name))
            .Then("QMessageBox", Ok());
        Run(w, ID_MFD_DOWNLOAD_MPK, mpk, 30000);
        QCOMPARE(mpk.messages, QStringList{"Archivo Valido"});
        QCOMPARE(key_name, QString("VE0100000001"));
        QVERIFY(windows.shown.contains("ProgressWnd:Por favor aguarde. Download MPK."));
        const QString mpk_path = out + "/" + mpk_name + ".mpk", key_path = out + "/" + key_name + ".pub";
        QVERIFY(QFile::exists(key_path));

        // The same file with one byte changed no longer passes.
        std::string bytes = test::Slurp(NativePath(mpk_path));
        QVERIFY(bytes.size() > 300);
        bytes[bytes.size() / 3] ^= 0x01;
        QVERIFY(WriteFileAtomically(NativePath(out + "/tampered.mpk"), bytes));
        for (const auto& [file, verdict] : {std::pair{mpk_path, QString("Archivo Valido")},
                                            std::pair{out + "/tampered.mpk", QString("Archivo Invalido")}}) {
            Script check;
            check.Then("QFileDialog", AcceptIn(out, nullptr, file))
                .Then("QFileDialog", AcceptIn(out, nullptr, key_path))
                .Then("QMessageBox", Ok());
            Run(w, ID_MFD_VERIFICAR_FIRMADO, check, 20000);
            QCOMPARE(check.messages, QStringList{verdict});
        }

        // What the printer answered last.
        Script status;
        status.Then("QMessageBox", Ok());
        Run(w, ID_MFD_STATUS_ULTIMA, status);
        QCOMPARE(status.captions, QStringList{"Retorno del Comando"});
    }

    void cancelledDownloadLeavesNoFile() {
        // A printer sending at a real line's speed: the download takes long enough to cancel.
        QVERIFY(StartPrinter(8, 12, {"--pace"}));
        const QString& out = out_;
        MFDDialog w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        QString name;
        int bar_seen = 0;
        QString cancel_caption;
        Script s;
        s.Then("SelDownloadMFDDlg", [](QWidget* d) {
             auto* sel = static_cast<SelDownloadMFDDlg*>(d);
             QTest::mouseClick(sel->KindButton(2), Qt::LeftButton);
             QTest::mouseClick(sel->OkButton(), Qt::LeftButton);
         })
            .Then("QFileDialog", AcceptIn(out, &name))
            .Then("ProgressWnd", CancelOnceMoved(&bar_seen, &cancel_caption))
            .Then("QMessageBox", Ok());
        Run(w, ID_MFD_DOWNLOAD_MA, s, 30000);
        QCOMPARE(s.messages, QStringList{"Download Anulado"});
        QCOMPARE(cancel_caption, QString(" Cancelar "));
        QVERIFY(bar_seen > 0 && bar_seen < 1000);
        QVERIFY(!name.isEmpty());
        QCOMPARE(QDir(out).entryList({"*.mra*"}, QDir::Files), QStringList());
        // The printer still answers afterwards.
        QString key;
        Script again;
        again.Then("QFileDialog", AcceptIn(out, &key));
        Run(w, ID_MFD_CLAVE_PUBLICA, again, 30000);
        QVERIFY(again.messages.isEmpty());
        QVERIFY(QFile::exists(out + "/" + key + ".pub"));
    }
};

QTEST_MAIN(MfdWindowSimTest)
#include "mfd_window_sim_test.moc"
