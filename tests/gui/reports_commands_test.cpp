// The fiscal-memory window's conversions, key tools and country menus, driven as a person does:
// menu items clicked, the file and selection dialogs answered, the messages read. Over the real
// library beside the programs; the country menus against the printer simulator.
#include <unistd.h>

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/env.h"
#include "engine/util.h"
#include "fiscalmemory/core/audit_file.h"
#include "fiscalmemory/core/mf_file.h"
#include "fiscalmemory/core/mfd_rules.h"
#include "fiscalmemory/gui/mfd_selection_dialogs.h"
#include "fiscalmemory/gui/report_dialogs.h"
#include "params/gui/value_dialogs.h"
#include "shell/core/settings.h"
#include "shell/gui/gui_support.h"
#include "shell/gui/qt_user_interface.h"
#include "tests/gui/mfd_driver.h"
#include "tests/integration/mfd_test_util.h"
#include "tests/integration/reports_journal.h"

using namespace ordavo;
using namespace ordavo::gui;
using namespace ordavo::mfdtest;

namespace {

std::string Slurp(const QString& path) { return test::Slurp(NativePath(path)); }

// Chooses the range kind of the audit selection dialog and fills it, then OK.
Script::Action AuditRange(int kind, QString first = {}, QString last = {}, QString user = {}, bool* key_offered = nullptr) {
    return [=](QWidget* d) {
        auto* s = static_cast<SelDownloadMFDDlg*>(d);
        if (key_offered) *key_offered = s->PublicKey()->isEnabled();
        QTest::mouseClick(s->KindButton(kind), Qt::LeftButton);
        if (kind == 0) {
            Type(s->First(), first);
            Type(s->Last(), last);
            if (!user.isEmpty()) Type(s->User(), user);
        } else if (kind == 1) {
            s->FirstDate()->setDate(QDate::fromString(first, "dd/MM/yyyy"));
            s->LastDate()->setDate(QDate::fromString(last, "dd/MM/yyyy"));
        }
        QTest::mouseClick(s->OkButton(), Qt::LeftButton);
    };
}

// The date editor: the description it shows, then the date, OK and "Sí" to its question.
Script::Action PickDate(QDate date, QString* description) {
    return [=](QWidget* w) {
        auto* e = static_cast<GetDate*>(w);
        if (description) *description = e->DescriptionLabel()->text();
        e->Picker()->setDate(date);
        QTest::mouseClick(e->OkButton(), Qt::LeftButton);
    };
}

// Answers an open dialog that takes several files with the names of `files` in `dir`.
Script::Action AcceptSeveral(const QString& dir, const QStringList& files) {
    return [=](QWidget* w) {
        auto* d = static_cast<QFileDialog*>(w);
        d->setDirectory(dir);
        QStringList quoted;
        for (const QString& f : files) quoted << "\"" + f + "\"";
        d->findChild<QLineEdit*>("fileNameEdit")->setText(quoted.join(' '));
        static_cast<QDialog*>(d)->accept();
    };
}

}  // namespace

class ReportsCommandsTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir profile_;
    guitest::Watchdog watchdog_;
    std::unique_ptr<test::TempDir> dir_;
    QString out_;
    QString audit_;
    QtUserInterface ui_;
    std::vector<fm::JournalDocument> docs_ = reportstest::SampleDay();
    std::string old_cwd_;

    QString File(const QString& name) const { return out_ + "/" + name; }

private slots:
    void initTestCase() {
        guitest::IsolateProfile(profile_.path());
        qunsetenv("ORDAVO_LIBRARY_DIR");
        EngineEnv().ui = &ui_;
        old_cwd_ = CurrentDirectory();
    }
    void cleanupTestCase() {
        ResetEngineEnv();
        (void)::chdir(old_cwd_.c_str());
    }
    void init() {
        watchdog_.Arm(60000);
        dir_ = std::make_unique<test::TempDir>();
        out_ = QPath(dir_->path());
        QVERIFY(::chdir(dir_->path().c_str()) == 0);
        audit_ = File("MRA_VE0100000001.mra");
        QVERIFY(fm::WriteAuditFile(NativePath(audit_), reportstest::Journal(docs_)));
        GetSettings().Reset();
        GetSettings().Country = "VENEZUELA";
    }
    void cleanup() {
        guitest::CancelPendingModalActions();
        QString unanswered = watchdog_.Disarm();
        QVERIFY2(unanswered.isEmpty(), qPrintable("unanswered windows: " + unanswered));
    }

    void conversionsOfAnAuditFile() {
        MFDDialog w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        // The text report of COO 2 to 3 of user 1, under the name proposed.
        QString proposed;
        bool key_offered = true;
        Script txt;
        txt.Then("QFileDialog", AcceptIn(out_, nullptr, audit_))
            .Then("SelDownloadMFDDlg", AuditRange(0, "2", "3", "1", &key_offered))
            .Then("QFileDialog", AcceptIn(out_, &proposed))
            .Then("QMessageBox", Press(kNo));
        Run(w, ID_MFD_INFORME_MA, txt, 10000);
        QCOMPARE(proposed, QString("MRA_VE0100000001.txt"));
        QVERIFY(!key_offered);
        QVERIFY(txt.messages.value(0).startsWith(QString::fromUtf8("Archivo criado con éxito: \r\n") + File(proposed)));
        QCOMPARE(Slurp(File(proposed)), docs_[2].text + docs_[3].text);

        // The XML of the days 4 and 5, proposed beside the audit file.
        Script xml;
        xml.Then("QFileDialog", AcceptIn(out_, nullptr, audit_))
            .Then("SelDownloadMFDDlg", AuditRange(1, "04/12/2026", "05/12/2026"))
            .Then("QFileDialog", AcceptIn(out_, &proposed))
            .Then("QMessageBox", Press(kNo));
        Run(w, ID_MFD_GENERACION_XML, xml, 10000);
        QCOMPARE(proposed, QString("MRA_VE0100000001.xml"));
        std::string x = Slurp(File(proposed));
        QVERIFY(x.find("coo=\"4\"") != std::string::npos && x.find("coo=\"3\"") == std::string::npos);

        // The database and both sales books of the whole memory: no name proposed.
        struct Whole {
            int id;
            QString file;
            std::string starts;
        } wholes[] = {{ID_MFD_BANCO_DATOS, "r.mdb", "SQLite format 3"},
                      {ID_MFD_LIBRO_VENTAS_TXT, "sb.txt", "LIBRO DE VENTAS\r\n"},
                      {ID_MFD_LIBRO_VENTAS_RD, "rd.txt", "LIBRO DE VENTAS RD\r\n"}};
        for (const Whole& c : wholes) {
            if (c.id == ID_MFD_LIBRO_VENTAS_RD) continue;  // greyed for Venezuela; below
            Script s;
            s.Then("QFileDialog", AcceptIn(out_, nullptr, audit_))
                .Then("SelDownloadMFDDlg", AuditRange(2))
                .Then("QFileDialog", AcceptIn(out_, &proposed, File(c.file)))
                .Then("QMessageBox", Press(kNo));
            Run(w, c.id, s, 10000);
            QCOMPARE(proposed, QString());
            QCOMPARE(Slurp(File(c.file)).substr(0, c.starts.size()), c.starts);
        }

        // A range the library refuses: its message, no file, no offer.
        Script bad;
        bad.Then("QFileDialog", AcceptIn(out_, nullptr, audit_))
            .Then("SelDownloadMFDDlg", AuditRange(0, "5", "2", "1"))
            .Then("QFileDialog", AcceptIn(out_, nullptr, File("bad.txt")))
            .Then("QMessageBox", Ok());
        Run(w, ID_MFD_INFORME_MA, bad, 10000);
        QCOMPARE(bad.messages, QStringList{"COO inicial posterior a final"});
        QVERIFY(!QFile::exists(File("bad.txt")));

        // A date range is refused too when the file is not an audit file (the result is looked at).
        QVERIFY(WriteFileAtomically(NativePath(File("junk.mra")), "not an audit file"));
        Script junk;
        junk.Then("QFileDialog", AcceptIn(out_, nullptr, File("junk.mra")))
            .Then("SelDownloadMFDDlg", AuditRange(1, "01/12/2026", "02/12/2026"))
            .Then("QFileDialog", AcceptIn(out_, nullptr, File("junk.xml")))
            .Then("QMessageBox", Ok());
        Run(w, ID_MFD_GENERACION_XML, junk, 10000);
        QCOMPARE(junk.messages, QStringList{QString::fromUtf8("Archivo inválido")});
    }

    void dominicanBooksAndTheMonthlyList() {
        GetSettings().Country = "REP DOMINICANA";
        QString second = File("second.mra");
        QVERIFY(fm::WriteAuditFile(NativePath(second),
                                   reportstest::Journal({reportstest::Identity("VE0100000002"), reportstest::Receipt(7, 20, 1, 10)})));
        MFDDialog w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        Script rd;
        rd.Then("QFileDialog", AcceptIn(out_, nullptr, audit_))
            .Then("SelDownloadMFDDlg", AuditRange(0, "1", "2", "1"))
            .Then("QFileDialog", AcceptIn(out_, nullptr, File("rd.txt")))
            .Then("QMessageBox", Press(kNo));
        Run(w, ID_MFD_LIBRO_VENTAS_RD, rd, 10000);
        QVERIFY(Slurp(File("rd.txt")).rfind("LIBRO DE VENTAS RD\r\n", 0) == 0);

        // Two files chosen: both, in the dialog's order, each followed by "|"; no success prompt.
        Script month;
        month.Then("QFileDialog", AcceptSeveral(out_, {"MRA_VE0100000001.mra", "second.mra"}))
            .Then("QFileDialog", AcceptIn(out_, nullptr, File("month.txt")));
        Run(w, ID_MFD_LIBRO_MENSUAL_RD, month, 10000);
        QVERIFY(month.messages.isEmpty());
        std::string book = Slurp(File("month.txt"));
        size_t a = book.find("Archivo: " + NativePath(audit_) + "\r\n"), b = book.find("Archivo: " + NativePath(second) + "\r\n");
        QVERIFY2(a != std::string::npos && b != std::string::npos && a < b, book.c_str());
    }

    void fiscalMemoryReportAndTypeERecordsOfTheChosenDates() {
        fm::FiscalMemory mf;
        mf.serial = "VE0100000001";
        for (uint32_t i = 1; i <= 4; ++i) {
            fm::ZReduction z;
            z.crz = i;
            z.coo = 10 * i;
            z.year = 2026, z.month = 11, z.day = static_cast<int>(i);
            z.day_total = 100 * i;
            mf.reductions.push_back(z);
        }
        QVERIFY(WriteFileAtomically(NativePath(File("MFK_X.mfk")), fm::EncodeFiscalMemory(mf)));
        MFDDialog w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        QString proposed;
        Script report;
        report.Then("QFileDialog", AcceptIn(out_, nullptr, File("MFK_X.mfk")))
            .Then("SelDownloadMFDlg", [](QWidget* d) {
                auto* s = static_cast<SelDownloadMFDlg*>(d);
                Type(s->First(), "2");
                Type(s->Last(), "3");
                Tick(s->Simplified());
                QTest::mouseClick(s->OkButton(), Qt::LeftButton);
            })
            .Then("QFileDialog", AcceptIn(out_, &proposed))
            .Then("QMessageBox", Press(kNo));
        Run(w, ID_MFD_INFORME_MF, report, 10000);
        QCOMPARE(proposed, QString("MFK_X.txt"));
        std::string text = Slurp(File(proposed));
        QVERIFY2(text.rfind("LECTURA DE LA MEMORIA FISCAL SIMPLIFICADA\r\n", 0) == 0, text.c_str());
        QVERIFY(text.find("000002 000020 02/11/2026") != std::string::npos);
        QVERIFY(text.find("000004 000040") == std::string::npos);

        // The type E records by date take the dates chosen in the dialog.
        Script e;
        e.Then("QFileDialog", AcceptIn(out_, nullptr, File("MFK_X.mfk")))
            .Then("SelDownloadMFDDlg", AuditRange(1, "03/11/2026", "04/11/2026"))
            .Then("QFileDialog", AcceptIn(out_, &proposed))
            .Then("QMessageBox", Press(kNo));
        Run(w, ID_MFD_REGISTRO_FISCAL_MF, e, 10000);
        QCOMPARE(proposed, QString("MFK_X_rf.txt"));
        std::string records = Slurp(File(proposed));
        QVERIFY2(records.find("D2026110320261104\r\n") != std::string::npos, records.c_str());
        QCOMPARE(int(std::count(records.begin(), records.end(), '\n')), 2 + 2);

        // The audit memory's records by COO.
        QVERIFY(QFile::copy(audit_, File("MPK_X.mpk")));
        Script ma;
        ma.Then("QFileDialog", AcceptIn(out_, nullptr, File("MPK_X.mpk")))
            .Then("SelDownloadMFDDlg", AuditRange(0, "3", "4", "1"))
            .Then("QFileDialog", AcceptIn(out_, &proposed))
            .Then("QMessageBox", Press(kNo));
        Run(w, ID_MFD_REGISTRO_FISCAL_MA, ma, 10000);
        QCOMPARE(proposed, QString("MPK_X_rf.txt"));
        QVERIFY(Slurp(File(proposed)).find("E02VE0100000001        F000003") != std::string::npos);
    }

    void keysAuthenticateAndValidate() {
        MFDDialog w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        Script gen;
        gen.Then("QFileDialog", AcceptIn(out_, nullptr, File("k.prv"))).Then("QFileDialog", AcceptIn(out_, nullptr, File("k.pub")));
        Run(w, ID_MFD_GENERA_CLAVES, gen, 20000);
        QVERIFY(gen.messages.isEmpty());
        QVERIFY(Slurp(File("k.pub")).find("BEGIN PUBLIC KEY") != std::string::npos);

        QVERIFY(WriteFileAtomically(NativePath(File("lectura.txt")), "LECTURA X\r\n"));
        QString proposed;
        Script auth;
        auth.Then("QFileDialog", AcceptIn(out_, nullptr, File("lectura.txt")))
            .Then("QFileDialog", AcceptIn(out_, &proposed))
            .Then("QFileDialog", AcceptIn(out_, nullptr, File("k.pub")))
            .Then("QMessageBox", Ok());
        Run(w, ID_MFD_AUTENTICACION, auth, 10000);
        QCOMPARE(proposed, QString("lectura"));
        QCOMPARE(auth.messages, QStringList{QString::fromUtf8("¡ Autenticación OK !")});

        for (bool tampered : {false, true}) {
            if (tampered) {
                std::string bytes = Slurp(File("lectura.txk"));
                bytes[2] ^= 0x20;
                QVERIFY(WriteFileAtomically(NativePath(File("lectura.txk")), bytes));
            }
            Script check;
            check.Then("QFileDialog", AcceptIn(out_, nullptr, File("lectura.txk")))
                .Then("QFileDialog", AcceptIn(out_, nullptr, File("k.prv")))
                .Then("QMessageBox", Ok());
            Run(w, ID_MFD_VALIDATION, check, 10000);
            QCOMPARE(check.messages, QStringList{tampered ? "Archivo Invalido" : "Archivo Valido"});
        }
    }

    void countryMenusAgainstThePrinter() {
        if (!QFile::exists(QString::fromStdString(test::ProgramPath("ordavo-printer-sim"))))
            QSKIP("the simulator is not built");
        sim::PrinterState state = test::DemoState(3, 2);  // reductions on 1, 2 and 3 December 2026
        std::string state_file = test::SaveState(*dir_, state);
        test::Simulator sim({"--state", state_file});
        QVERIFY(sim.ok());
        GetSettings().PortName = sim.path();
        MFDDialog w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        auto connection = [](QWidget* d) {
            auto* v = static_cast<VerConex*>(d);
            Type(v->BrandEdit(), "TALVERON");
            Type(v->ModelEdit(), "Heron 2 TH");
            guitest::Screenshot(v, "verconex");
            QTest::mouseClick(v->OkButton(), Qt::LeftButton);
        };
        Script check;
        check.Then("VerConex", connection).Then("QMessageBox", Ok());
        Run(w, ID_MFD_PA_VERIFICAR_CONEXION, check, 10000);
        QCOMPARE(check.messages, QStringList{QString::fromUtf8("¡Conexión OK!")});
        QCOMPARE(check.icons, QList<QMessageBox::Icon>{QMessageBox::Warning});
        QCOMPARE(w.Brand(), std::string("TALVERON"));

        // "Leer MF" from the first to the last day of the month: eight-digit dates.
        QString first_desc, last_desc;
        Script mf;
        mf.Then("VerConex", connection)
            .Then("QMessageBox", Ok())
            .Then("QFileDialog", AcceptIn(out_, nullptr, File("pa_mf.txt")))
            .Then("GetDate", PickDate(QDate(2026, 12, 1), &first_desc))
            .Then("QMessageBox", Press(kYes))
            .Then("GetDate", PickDate(QDate(2026, 12, 31), &last_desc))
            .Then("QMessageBox", Press(kYes))
            .Then("QMessageBox", Press(kNo));
        Run(w, ID_MFD_PA_LEER_MF, mf, 20000);
        QCOMPARE(first_desc, QString("Selecione la fecha Inicial"));
        QCOMPARE(last_desc, QString("Selecione la fecha Final"));
        QVERIFY2(mf.messages.last().startsWith(QString::fromUtf8("Archivo criado con éxito")), qPrintable(mf.messages.join("|")));
        std::string text = Slurp(File("pa_mf.txt"));
        QVERIFY(text.find("fecha 01/12/2026 a 31/12/2026") != std::string::npos);
        QVERIFY(text.find("CRZ: 000003") != std::string::npos);

        // "Identificar MA", of a file.
        Script id;
        id.Then("VerConex", connection)
            .Then("QMessageBox", Ok())
            .Then("QFileDialog", AcceptIn(out_, nullptr, audit_))
            .Then("QFileDialog", AcceptIn(out_, nullptr, File("id.txt")))
            .Then("QMessageBox", Ok())
            .Then("QMessageBox", Press(kNo));
        Run(w, ID_MFD_IDENTIFICAR_MA_ARCHIVO, id, 20000);
        QCOMPARE(id.messages.value(1), QString::fromUtf8("¡Archivo Generado!"));
        QVERIFY(Slurp(File("id.txt")).find("Serial:                VE0100000001") != std::string::npos);

        // "Panamá": the model from its list, then the fiscal memory of two days as XML.
        Script pan;
        pan.Then("VerConexPanama", [](QWidget* d) {
               auto* v = static_cast<VerConexPanama*>(d);
               guitest::Screenshot(v, "verconexpanama");
               QTest::mouseClick(v->OkButton(), Qt::LeftButton);
           })
            .Then("QMessageBox", Ok());
        Run(w, ID_MFD_PANAMA_VERIFICAR_CONEXION, pan, 10000);
        QCOMPARE(pan.messages, QStringList{QString::fromUtf8("¡Conexión OK!")});
        QCOMPARE(w.Model(), std::string("Heron 4 TH"));

        Script xml;
        xml.Then("QFileDialog", AcceptIn(out_, nullptr, File("pan_mf.xml")))
            .Then("GeraXMLPanama", [](QWidget* d) {
                auto* g = static_cast<GeraXMLPanama*>(d);
                QCOMPARE(g->FirstDate()->date(), QDate::currentDate());
                g->FirstDate()->setDate(QDate(2026, 12, 2));
                g->LastDate()->setDate(QDate(2026, 12, 3));
                guitest::Screenshot(g, "geraxmlpanama");
                QTest::mouseClick(g->OkButton(), Qt::LeftButton);
            })
            .Then("QMessageBox", Ok());
        Run(w, ID_MFD_PANAMA_LEER_MF, xml, 20000);
        QCOMPARE(xml.messages, QStringList{QString::fromUtf8("Archivo generado con éxito.")});
        std::string x = Slurp(File("pan_mf.xml"));
        QVERIFY(x.find("crz=\"2\"") != std::string::npos && x.find("crz=\"3\"") != std::string::npos);
        QVERIFY(x.find("crz=\"1\"") == std::string::npos);

        // The printer's encrypted XML, opened under the name proposed.
        test::RunResult r = test::RunProgram(test::ProgramPath("ordavo-printer-sim"),
                                             {"--state", state_file, "--encrypted-xml", NativePath(File("MA_VE.enc"))});
        QCOMPARE(r.status, 0);
        QString proposed;
        Script enc;
        enc.Then("QFileDialog", AcceptIn(out_, nullptr, File("MA_VE.enc")))
            .Then("QFileDialog", AcceptIn(out_, &proposed))
            .Then("QMessageBox", Press(kNo));
        Run(w, ID_MFD_PANAMA_ABRIR_XML, enc, 10000);
        QCOMPARE(proposed, QString("MA_VE.xml"));
        QVERIFY(Slurp(File(proposed)).find("<memoria_auditoria") != std::string::npos);
    }
};

QTEST_MAIN(ReportsCommandsTest)
#include "reports_commands_test.moc"
