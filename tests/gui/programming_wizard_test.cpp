// "Programar Equipo" driven as a person would: the browse window of the store, the sheet and
// its pages, cancelling, and a whole cycle against the printer simulator: read the printer,
// change the header, two rates and a totalizer name, save, program, and read again.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest>
#include <filesystem>
#include <fstream>

#include "engine/env.h"
#include "params/gui/aliquotas_prpg.h"
#include "params/gui/value_dialogs.h"
#include "programming/core/programming.h"
#include "programming/gui/configurations_control.h"
#include "programming/gui/program_machine_dlg.h"
#include "programming/gui/programming_pages.h"
#include "shell/core/settings.h"
#include "shell/gui/gui_support.h"
#include "shell/gui/message_return_dlg.h"
#include "shell/gui/qt_user_interface.h"
#include "tests/gui/gui_test_util.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

using namespace ordavo;
using namespace ordavo::gui;
using guitest::WhenModal;

namespace {

const QString kYes = QString::fromUtf8("S\u00ed"), kNo = "No", kOk = "OK";

void Click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
// Check boxes and radio buttons answer a click on their mark or caption, not on the empty
// rest of a wide box.
void Tick(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2)); }

// Presses the button with that caption in the next message box, noting its text.
void AnswerBox(const QString& caption, QStringList* texts, std::function<void()> then = {}) {
    WhenModal<QMessageBox>([caption, texts, then](QMessageBox* box) {
        if (texts) *texts << box->text();
        if (then) then();
        for (QAbstractButton* b : box->buttons())
            if (b->text() == caption) return Click(b);
        box->reject();
    });
}

void Retype(QLineEdit* e, const QString& text) {
    e->setFocus();
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Delete);
    QTest::keyClicks(e, text);
}

Equipment Record(const std::string& serial, const std::string& client) {
    Equipment e;
    e.numero_de_serie = serial;
    e.cliente = client;
    e.CNPJ = "J-" + serial;
    e.IM = "NIT " + serial;
    return e;
}

}  // namespace

class ProgrammingWizardTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempDir> dir_;
    std::unique_ptr<QTemporaryDir> profile_;
    QtUserInterface ui_;
    guitest::Watchdog watchdog_;

    std::string Store() const { return dir_->File("equipamentos.xml"); }
    void Seed(const std::vector<Equipment>& records) {
        ordavo::ConfigurationsControl s(Store());
        s.records = records;
        QCOMPARE(s.WriteEquipments(), 0);
    }
    std::vector<Equipment> Stored() {
        ordavo::ConfigurationsControl s(Store());
        s.ReadEquipments();
        return s.records;
    }
    static QStringList Items(QListWidget* l) {
        QStringList out;
        for (int i = 0; i < l->count(); ++i) out << l->item(i)->text();
        return out;
    }

private slots:
    void initTestCase() {
        profile_ = std::make_unique<QTemporaryDir>();
        guitest::IsolateProfile(profile_->path());
    }

    void init() {
        dir_ = std::make_unique<test::TempDir>();
        ResetEngineEnv();
        EngineEnv().ui = &ui_;
        Settings& s = GetSettings();
        s.Reset();
        s.AppDirectory = dir_->path();
        watchdog_.Arm();
    }

    void cleanup() {
        guitest::CancelPendingModalActions();
        QString closed = watchdog_.Disarm();
        ResetEngineEnv();
        QVERIFY2(closed.isEmpty(), qPrintable("windows left open: " + closed));
    }

    void browseFindsDescribesAndDeletes() {
        Seed({Record("S1", "Ana"), Record("S2", "Beto"), Record("S3", "Ana"), Record("S1", "Carla")});
        gui::ConfigurationsControl w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.windowTitle(), QString("Cargar configuraciones existentes"));
        QCOMPARE(w.Clients()->count(), 3);
        QCOMPARE(w.Serials()->count(), 4);

        // A client typed, the box left: only that client's serial numbers are offered.
        w.Clients()->setFocus();
        QTest::keyClicks(w.Clients(), "Ana");
        QTest::keyClick(w.Clients(), Qt::Key_Tab);
        QCOMPARE(w.Serials()->count(), 2);
        Click(w.SearchButton());
        QCOMPARE(Items(w.Found()), (QStringList{"S1", "S3"}));
        QCOMPARE(w.Clients()->currentText(), QString());
        QCOMPARE(w.Serials()->count(), 4);
        QVERIFY(!w.selected);

        // A serial number searched: listed twice, the second record described.
        w.Serials()->setFocus();
        QTest::keyClicks(w.Serials(), "S1");
        Click(w.SearchButton());
        QCOMPARE(Items(w.Found()), (QStringList{"S1", "S1"}));
        QTest::mouseClick(w.Found()->viewport(), Qt::LeftButton, {},
                          w.Found()->visualItemRect(w.Found()->item(0)).center());
        QVERIFY(w.selected);
        QCOMPARE(w.selected_record.cliente, std::string("Carla"));
        QCOMPARE(w.Description()->toPlainText(),
                 QString::fromUtf8("N\u00famero serial: S1\nCliente: Carla\nRIF: J-S1\nIE (BRASIL): \nNIT: NIT S1"));
        guitest::Screenshot(&w, "programming_browse");

        // "Excluir" removes both, and asks before saving.
        QStringList texts;
        AnswerBox(kYes, &texts);
        Click(w.DeleteButton());
        QTRY_COMPARE(texts, QStringList{"Desea grabar las modificaciones?"});
        QVERIFY(w.dirty);
        QVERIFY(!w.selected);
        QCOMPARE(w.Found()->count(), 0);
        QCOMPARE(Stored().size(), 2u);
        QCOMPARE(w.Serials()->count(), 2);

        // Nothing picked: "Cargar configuración" asks again (the deletion stays unsaved on No)
        // and then asks for a record.
        AnswerBox(kNo, &texts, [&] { AnswerBox(kOk, &texts); });
        Click(w.LoadButton());
        QTRY_COMPARE(texts.size(), 3);
        QCOMPARE(texts[2], QString("Por favor, elija un registro."));
        QVERIFY(w.isVisible());
        Click(w.CancelButton());
        QVERIFY(!w.isVisible());
    }

    void anUnreadableStoreIsKeptWhenTheBrowserSaves() {
        std::ofstream(Store()) << "<equipos><equipamento>";
        gui::ConfigurationsControl w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.Serials()->count(), 0);
        QCOMPARE(w.WriteEquipments(), 0);
        QVERIFY(std::filesystem::exists(Store() + ".bak"));
        w.reject();
    }

    void sheetFollowsTheModel() {
        Equipment e = Record("VE 0100 01", "Ana");
        e.aliquota[1] = "0800";
        e.vinc = "01";  // short: the missing rates read as IVA
        e.tot_nao_suj[29] = "treinta";
        e.tot_nao_suj[30] = "treinta y uno";
        e.Restaurante_Loja = "1";
        e.Parametriza_Cupom_Conferencia = "2";
        e.cliche = "CLICHE_ENF_INI_XMLLa Tienda\r\nCaracas";
        e.senha = "not shown";
        struct {
            int mask;
            const char* model;
            int tabs;
            bool name31;
        } cases[] = {{255, "Kestrel 2 R         ", 4, true}, {256, "Kestrel 3           ", 3, false}};
        for (const auto& c : cases) {
            ProgrammingSheet sheet(e, c.mask, c.model);
            sheet.resize(760, 560);
            sheet.show();
            QVERIFY(QTest::qWaitForWindowExposed(&sheet));
            QCOMPARE(sheet.Tabs()->count(), c.tabs);
            QCOMPARE(sheet.Tabs()->tabText(0), QString("Informaciones Generales"));
            QCOMPARE(sheet.Tabs()->tabText(1), QString::fromUtf8("Al\u00edcuotas"));
            QCOMPARE(sheet.Tabs()->tabText(2), QString("Totalizadores Parciales no fiscales"));
            CGeneralInformationPrPg* g = sheet.General();
            QCOMPARE(g->Clave()->text(), QString(kDefaultPassword));
            QCOMPARE(g->Clave()->echoMode(), QLineEdit::Password);
            QVERIFY(g->Ie()->isHidden());
            QVERIFY(g->Uf()->isHidden());
            QVERIFY(!g->Flag(2)->isEnabled());
            QCOMPARE(g->Cliche()->toPlainText(), QString("CLICHE_ENF_INI_XMLLa Tienda\nCaracas"));
            QVERIFY(sheet.Rates()->NoIvaButton(2)->isChecked());
            QVERIFY(sheet.Rates()->IvaButton(3)->isChecked());
            QCOMPARE(sheet.Totalizers()->Name(30)->isEnabled(), true);
            QCOMPARE(sheet.Totalizers()->Name(31)->isEnabled(), c.name31);
            if (c.tabs == 4) {
                QCOMPARE(sheet.Tabs()->tabText(3), QString("Restaurante"));
                QVERIFY(sheet.Restaurant()->Store()->isChecked());
                QVERIFY(sheet.Restaurant()->CheckCoupon()->isChecked());
                QVERIFY(sheet.Restaurant()->Parameter(2)->isChecked());
                const char* names[] = {"programming_general", "programming_rates", "programming_totalizers",
                                       "programming_restaurant"};
                for (int t = 0; t < 4; ++t) {
                    sheet.Tabs()->setCurrentIndex(t);
                    QTest::qWait(20);
                    guitest::Screenshot(&sheet, names[t]);
                }
                // The page's choices go back into the record.
                Tick(sheet.Restaurant()->Restaurant());
                Tick(sheet.Restaurant()->CheckCoupon());
            }
            // Typed: lower-case password letters become upper case; the serial loses its spaces.
            sheet.Tabs()->setCurrentIndex(0);
            Retype(g->Clave(), "c3c3c3c3c3c3c3c3zzc3");
            QCOMPARE(g->Clave()->text(), QString("C3C3C3C3C3C3C3C3C3"));
            QTest::keyClicks(g->Clave(), "c3");
            Retype(g->Tienda(), "123456");
            Click(g->LoadComputerTime());
            QCOMPARE(g->Fecha()->text().size(), 6);
            Equipment back = e;
            sheet.Store(back);
            QCOMPARE(back.numero_de_serie, std::string("VE010001"));
            QCOMPARE(back.senha, std::string(kDefaultPassword));
            QCOMPARE(back.numero_da_loja, std::string("1234"));
            QCOMPARE(back.vinc, std::string("0100000000000000"));
            QCOMPARE(back.tot_nao_suj[30], std::string("treinta y uno"));  // disabled, kept
            QCOMPARE(back.cliche, std::string("CLICHE_ENF_INI_XMLLa Tienda\r\nCaracas"));
            QCOMPARE(back.Restaurante_Loja, std::string(c.tabs == 4 ? "0" : "1"));
            QCOMPARE(back.Parametriza_Cupom_Conferencia, std::string(c.tabs == 4 ? "-1" : "2"));
        }
    }

    void headerEditorAndLimit() {
        ProgrammingSheet sheet(Equipment(), 255, "");
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        CGeneralInformationPrPg* g = sheet.General();
        // A cancelled editor leaves the header; a confirmed one replaces it.
        g->SetHeaderText("antes");
        WhenModal<GetClicheDlg>([](GetClicheDlg* d) { d->reject(); });
        Click(g->EditHeader());
        QCOMPARE(g->HeaderText(), std::string("antes"));
        WhenModal<GetClicheDlg>([](GetClicheDlg* d) {
            QTest::keyClicks(d->Line(0), "Nueva");
            Tick(d->Attribute(0, 2));
            Click(d->OkButton());
        });
        Click(g->EditHeader());
        QVERIFY2(g->HeaderText().find("CLICHE_ENF_INI_XMLNueva") != std::string::npos, g->HeaderText().c_str());
        // The box holds 186 characters, a line break counting as two.
        g->SetHeaderText("");
        g->Cliche()->setFocus();
        QTest::keyClicks(g->Cliche(), QString(90, 'a'));
        QTest::keyClick(g->Cliche(), Qt::Key_Return);
        QTest::keyClicks(g->Cliche(), QString(100, 'b'));
        QCOMPARE(static_cast<int>(g->HeaderText().size()), 186);
    }

    void cancellingTheSheetClosesTheWizard() {
        ProgramMachineDlg w;
        w.current.cliente = "kept";
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        bool missed = false;
        WhenModal<ProgrammingSheet>([](ProgrammingSheet* s) { Click(s->CancelButton()); }, &missed);
        Click(w.NewButton());
        QVERIFY(!missed);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QVERIFY(!std::filesystem::exists(Store()));
    }

    void aRecordPickedAndAnuladoStillStartsTheSheet() {
        Seed({Record("S7", "Ana")});
        ProgramMachineDlg w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        guitest::Screenshot(&w, "programming_start");
        std::string serial_on_sheet;
        WhenModal<gui::ConfigurationsControl>([&](gui::ConfigurationsControl* b) {
            b->Serials()->setFocus();
            QTest::keyClicks(b->Serials(), "S7");
            Click(b->SearchButton());
            QTest::mouseClick(b->Found()->viewport(), Qt::LeftButton, {},
                              b->Found()->visualItemRect(b->Found()->item(0)).center());
            WhenModal<ProgrammingSheet>([&](ProgrammingSheet* s) {
                serial_on_sheet = Cp(s->General()->Serial()->text());
                Click(s->CancelButton());
            });
            Click(b->CancelButton());
        });
        Click(w.ExistingButton());
        QTRY_COMPARE(serial_on_sheet, std::string("S7"));
        QTRY_VERIFY(!w.isVisible());
    }

    void answeringNoStillPrograms() {
        if (!QFile::exists(QString::fromStdString(test::ProgramPath("ordavo-printer-sim"))))
            QSKIP("ordavo-printer-sim is not built");
        test::Simulator sim;  // in normal operation: it refuses the programming
        QVERIFY2(sim.ok(), sim.process().Errors().c_str());
        GetSettings().PortName = sim.path();
        ProgramMachineDlg w;
        w.current.numero_de_serie = "S1";
        w.current.tot_nao_suj[0] = "Uno";
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QStringList texts;
        std::string result;
        WhenModal<ProgrammingSheet>([&](ProgrammingSheet* sheet) {
            AnswerBox(kNo, &texts, [&] {
                WhenModal<MessageReturnDlg>([&](MessageReturnDlg* d) {
                    result = d->Message();
                    d->reject();
                });
            });
            Click(sheet->OkButton());
        });
        Click(w.NewButton());
        QTRY_VERIFY(!result.empty());
        QCOMPARE(texts, QStringList{"Desea grabar las modificaciones?"});
        QVERIFY(!std::filesystem::exists(Store()));
        // Every command of the run was sent; the printer refused them.
        QVERIFY(result.find("Programa CNPJ/IE/IM") != std::string::npos);
        QVERIFY(result.find("NO EN INTERVENCI\xD3N") != std::string::npos);
        QVERIFY(result.find("Nomeia tot.") != std::string::npos);
        QVERIFY(result.find("Activa/Deactiva Z Autom\xE1tica") != std::string::npos);
        QVERIFY(w.isVisible());
        // The configuration survives for the next button.
        QCOMPARE(w.current.tot_nao_suj[0], std::string("Uno"));
        w.reject();
    }

    void fullCycleAgainstTheSimulator() {
        if (!QFile::exists(QString::fromStdString(test::ProgramPath("ordavo-printer-sim"))))
            QSKIP("ordavo-printer-sim is not built");
        test::Simulator sim({"--intervention"});
        QVERIFY2(sim.ok(), sim.process().Errors().c_str());
        Settings& s = GetSettings();
        s.PortName = sim.path();
        s.ExtendedReturn = 1;

        ProgramMachineDlg w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        std::string serial, result_text;
        QStringList texts;
        bool missed = false;
        WhenModal<ProgrammingSheet>(
            [&](ProgrammingSheet* sheet) {
                CGeneralInformationPrPg* g = sheet->General();
                serial = Cp(g->Serial()->text());
                g->Cliche()->setFocus();
                g->Cliche()->selectAll();
                QTest::keyClick(g->Cliche(), Qt::Key_Delete);
                QTest::keyClicks(g->Cliche(), "Farmacia Nueva");
                QTest::keyClick(g->Cliche(), Qt::Key_Return);
                QTest::keyClicks(g->Cliche(), "Maracay");
                sheet->Tabs()->setCurrentIndex(1);
                Retype(sheet->Rates()->RateEdit(1), "1250");
                Retype(sheet->Rates()->RateEdit(3), "0700");
                sheet->Tabs()->setCurrentIndex(2);
                Retype(sheet->Totalizers()->Name(4), "Donaciones");
                AnswerBox(kYes, &texts, [&] {
                    WhenModal<MessageReturnDlg>([&](MessageReturnDlg* d) {
                        result_text = d->Message();
                        Click(d->CloseButton());
                    });
                });
                Click(sheet->OkButton());
            },
            &missed, 30000);
        Click(w.FromPrinterButton());
        QVERIFY(!missed);
        QTRY_VERIFY_WITH_TIMEOUT(!result_text.empty(), 30000);
        QVERIFY(w.isVisible());  // after programming the wizard stays open
        QCOMPARE(texts, QStringList{"Desea grabar las modificaciones?"});
        // The identity was sent back unchanged: the printer says so, and that is the only refusal.
        QVERIFY2(result_text.find("COMANDO NO EJECUTADO") == result_text.rfind("COMANDO NO EJECUTADO"),
                 result_text.c_str());
        QVERIFY(result_text.find("DATOS DEL USU\xC1RIO IGUALES AL ACTUAL") != std::string::npos);
        QVERIFY(!serial.empty());

        // Saved under the serial number read.
        std::vector<Equipment> stored = Stored();
        QCOMPARE(stored.size(), 1u);
        QCOMPARE(stored[0].numero_de_serie, serial);
        QCOMPARE(stored[0].aliquota[0], std::string("1250"));
        QCOMPARE(stored[0].tot_nao_suj[3], std::string("Donaciones"));

        // Read again: the printer holds the changes.
        Equipment again;
        QCOMPARE(ReadPrinterConfiguration(again, s.ModelMask), 0);
        QCOMPARE(again.cliche, std::string("Farmacia Nueva\r\nMaracay\r\n"));
        QCOMPARE(again.aliquota[0], std::string("1250"));
        QCOMPARE(again.aliquota[2], std::string("0700"));
        QCOMPARE(again.tot_nao_suj[3], std::string("Donaciones"));
        w.reject();
    }
};

QTEST_MAIN(ProgrammingWizardTest)
#include "programming_wizard_test.moc"
