// The parameter form as a real window: its slots, the fill walk through the real editors,
// "Editar", Enter doing nothing, the automatic runs, more than twelve parameters, and runs
// against the printer simulator whose received frame carries the values entered.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

#include "engine/env.h"
#include "engine/util.h"
#include "params/core/editar_valor.h"
#include "params/gui/command_dialog.h"
#include "params/gui/value_dialogs.h"
#include "tests/gui/params_driver.h"
#include "tests/support/fake_clock.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"
#include "tests/support/scripted_transport.h"

using namespace ordavo;
using namespace ordavo::gui;
using ordavo::paramstest::ModalDriver;
using ordavo::paramstest::Screenshot;
using ordavo::paramstest::ScriptedUi;

namespace {

Parametro Par(const std::string& formato, int tamanho, const std::string& titulo,
              const std::string& valor = "", int obrigatorio = 1) {
    Parametro p;
    p.formato = formato;
    p.tamanho = tamanho;
    p.titulo = titulo;
    p.valor = valor;
    p.obrigatorio = obrigatorio;
    return p;
}

Comando Command(const std::string& titulo, const std::string& escape, std::vector<Parametro> params) {
    Comando c;
    c.SetTitulo(titulo);
    c.SetEscape(escape);
    for (const Parametro& p : params) c.AdicionarParametro(p);
    return c;
}

void TypeAndOk(QWidget* w, const QString& text) {
    auto* d = static_cast<GetStringDlg*>(w);
    d->Edit()->setFocus();
    QTest::keyClicks(d->Edit(), text);
    QTest::mouseClick(d->OkButton(), Qt::LeftButton);
}

void Escape(QWidget* w) {
    QTest::keyClick(w, Qt::Key_Escape);
}

// The bytes after STX, length and ESC, without the checksum, as text for comparisons.
QString Payload(const std::vector<uint8_t>& frame) {
    if (frame.size() < 6) return "(short frame)";
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(frame.data()) + 4, int(frame.size()) - 6).toHex(' '));
}
QString Hex(const std::string& bytes) {
    return QString::fromLatin1(QByteArray::fromStdString(bytes).toHex(' '));
}

QString Missed(const ModalDriver& d) {
    return d.Missed().empty() ? QString() : d.Missed()[0];
}

}  // namespace

class ParamsFormTest : public QObject {
    Q_OBJECT

  private:
    test::FakeClock clock_{test::LocalTime(2024, 3, 5, 9, 8, 7)};
    ScriptedUi ui_;
    Settings settings_;
    std::unique_ptr<test::TempDir> dir_;
    std::unique_ptr<test::ScriptedFactory> factory_;

  private slots:
    void init() {
        ResetEngineEnv();
        ui_ = ScriptedUi();
        dir_ = std::make_unique<test::TempDir>();
        factory_ = std::make_unique<test::ScriptedFactory>(&clock_);
        settings_ = Settings();
        settings_.PortName = "COM1:";
        settings_.ExtendedReturn = 0;
        settings_.ShowResults = 0;
        settings_.AppDirectory = dir_->path();
        clock_.SetWallTime(test::LocalTime(2024, 3, 5, 9, 8, 7));
        Environment& env = EngineEnv();
        env.clock = &clock_;
        env.ui = &ui_;
        env.settings = &settings_;
        env.transport_factory = factory_->AsFactory();
    }
    void cleanup() { ResetEngineEnv(); }

    void slotsLabelsAndLimits() {
        Comando c =
            Command("Programar tienda", "17",
                    {Par("STRING", 3, "Caja"), Par("BINARIO", 1, "Byte", "", 0), Par("DIG_HEX", 4, "Clave")});
        CommandDialog d(c);
        QCOMPARE(d.windowTitle(), QString("Programar tienda"));
        QCOMPARE(d.Group()->title(), QString::fromUtf8("Par\xC3\xA1metros"));
        QCOMPARE(d.OkButton()->text(), QString("Ok"));
        QCOMPARE(d.CancelButton()->text(), QString("Anular"));
        QCOMPARE(d.SlotCount(), 12);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        for (int k = 0; k < 12; ++k) {
            QCOMPARE(d.Edit(k)->isVisible(), k < 3);
            QCOMPARE(d.EditButton(k)->isVisible(), k < 3);
            QCOMPARE(d.Label(k)->isVisible(), k < 3);
        }
        QCOMPARE(d.Label(0)->text(), QString("Caja *"));
        QCOMPARE(d.Label(1)->text(), QString("Byte"));
        QCOMPARE(d.EditButton(2)->text(), QString("Editar"));
        QCOMPARE(d.Edit(0)->maxLength(), 3);
        QCOMPARE(d.Edit(1)->maxLength(), 3);  // BINARIO
        QCOMPARE(d.Edit(2)->maxLength(), 8);  // 2 x size
        QVERIFY(!d.OkButton()->isDefault());
        QVERIFY(!d.OkButton()->autoDefault());
        // The rows start empty, whatever the catalog holds.
        QCOMPARE(d.Edit(0)->text(), QString());
    }

    void fillWalkEditAndRun() {
        Comando c = Command("Tres", "10",
                            {Par("STRING", 4, "Uno"), Par("NOT_EDITABLE", 2, "Fijo", "XY"),
                             Par("STRING", 4, "Dos"), Par("STRING", 4, "Tres")});
        factory_->Add(test::Script().Hex("06 00 00"));
        CommandDialog d(c);
        ModalDriver driver;
        driver.Then("GetStringDlg", [](QWidget* w) { TypeAndOk(w, "ab"); });
        // The second editor cancelled: the walk stops, the form shows.
        driver.Then("GetStringDlg", Escape);
        driver.Then("CommandDialog", [&](QWidget*) {
            QCOMPARE(d.Edit(0)->text(), QString("ab  "));
            QVERIFY(!d.Edit(1)->isVisible());  // the hidden slot keeps its place
            QCOMPARE(d.Edit(2)->text(), QString());
            QCOMPARE(d.Edit(3)->text(), QString());
            QVERIFY(d.Edit(3)->isVisible());
            QVERIFY(d.OkButton()->hasFocus());
            // Typing straight into a row.
            d.Edit(3)->setFocus();
            QTest::keyClicks(d.Edit(3), "zz");
            // Enter in an edit box does not run the command.
            QTest::keyClick(d.Edit(3), Qt::Key_Return);
            QTest::keyClick(d.OkButton(), Qt::Key_Return);
            QVERIFY(d.isVisible());
            QCOMPARE(factory_->Created(), 0);
            Screenshot(&d, "command_form");
            // "Editar", cancelled: the row keeps what it showed.
            QTest::mouseClick(d.EditButton(3), Qt::LeftButton);
        });
        driver.Then("GetStringDlg", [](QWidget* w) {
            // The editor starts from the catalog value (empty), not from the row.
            QCOMPARE(static_cast<GetStringDlg*>(w)->Edit()->text(), QString());
            Escape(w);
        });
        driver.Then(
            "CommandDialog",
            [&](QWidget*) {
                QCOMPARE(d.Edit(3)->text(), QString("zz"));
                QTest::mouseClick(d.EditButton(2), Qt::LeftButton);
            },
            true);
        driver.Then("GetStringDlg", [](QWidget* w) { TypeAndOk(w, "cd"); });
        driver.Then(
            "CommandDialog",
            [&](QWidget*) {
                QCOMPARE(d.Edit(2)->text(), QString("cd  "));
                QTest::mouseClick(d.OkButton(), Qt::LeftButton);
            },
            true);
        int result = d.exec();
        QVERIFY2(driver.Missed().empty(), qPrintable(Missed(driver)));
        QVERIFY(driver.Done());
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(!d.OkButton()->isEnabled());
        QCOMPARE(factory_->Created(), 1);
        QCOMPARE(Payload(factory_->Last().written), Hex(std::string("\x0A"
                                                                    "ab  "
                                                                    "XY"
                                                                    "cd  "
                                                                    "zz  ")));
        QCOMPARE(ui_.wait_message, std::string("Por favor, aguarde....."));
        QCOMPARE(ui_.events, (std::vector<std::string>{"wait+", "wait-"}));  // success, results off
    }

    void cancelRunsNothing() {
        CommandDialog d(Command("Uno", "10", {Par("INTEGER", 4, "N")}));
        ModalDriver driver;
        driver.Then("GetIntegerDlg", [](QWidget* w) {
            auto* e = static_cast<GetIntegerDlg*>(w);
            QTest::keyClicks(e->Edit(), "7");
            QTest::mouseClick(e->OkButton(), Qt::LeftButton);
        });
        driver.Then("CommandDialog", [&](QWidget*) {
            QCOMPARE(d.Edit(0)->text(), QString("0007"));
            QTest::mouseClick(d.CancelButton(), Qt::LeftButton);
        });
        QCOMPARE(d.exec(), int(QDialog::Rejected));
        QVERIFY(driver.Missed().empty());
        QCOMPARE(factory_->Created(), 0);
        QVERIFY(ui_.events.empty());
    }

    void automaticRuns() {
        {
            // No parameters: runs at once; a failure shows the result window even with results off.
            CommandDialog d(Command("Estado", "19", {}));
            QCOMPARE(d.exec(), int(QDialog::Accepted));
            QVERIFY(!d.isVisible());
            QCOMPARE(factory_->Created(), 1);  // no answer from the scripted port
            QCOMPARE(ui_.events, (std::vector<std::string>{"wait+", "wait-", "result"}));
            QVERIFY(!ui_.result_message.empty());
        }
        {
            // Only hidden parameters: the form shows with no visible row; Ok sends the catalog values.
            ui_.events.clear();
            factory_->Add(test::Script().Hex("06 00 00"));
            CommandDialog d(Command("Oculto", "80 66", {Par("DIG_HEX_NOT_EDITABLE", 2, "Clave", "1BFF")}));
            ModalDriver driver;
            driver.Then("CommandDialog", [&](QWidget*) {
                QVERIFY(!d.Edit(0)->isVisible());
                QTest::mouseClick(d.OkButton(), Qt::LeftButton);
            });
            QCOMPARE(d.exec(), int(QDialog::Accepted));
            QVERIFY(driver.Missed().empty());
            QCOMPARE(Payload(factory_->Last().written), Hex(std::string("\x50\x42\x1B\xFF")));
        }
        {
            // The date-and-time command, confirmed: rows 1 to 3 from the clock, run at once.
            clock_.SetWallTime(test::LocalTime(2024, 3, 5, 9, 8, 7));
            ui_ = ScriptedUi();
            ui_.answers = {true};
            factory_->Add(test::Script().Hex("06 00 00"));
            CommandDialog d(
                Command("Fecha y hora", "2",
                        {Par("DATA", 6, "Fecha"), Par("HORA", 6, "Hora"), Par("BINARIO", 1, "Verano")}));
            ModalDriver driver;
            driver.Then("GetHourDlg", [](QWidget* w) {
                auto* h = static_cast<GetHourDlg*>(w);
                QVERIFY(h->SummerTime()->isVisible());
                h->SummerTime()->setChecked(true);
                QTest::mouseClick(h->OkButton(), Qt::LeftButton);
            });
            QCOMPARE(d.exec(), int(QDialog::Accepted));
            QVERIFY(driver.Missed().empty());
            QCOMPARE(ui_.questions.at(0), std::string("\xBF"
                                                      "La fecha est\xE1 correcta?\r\n05/03/24"));
            QCOMPARE(ui_.icons.at(0), MsgIcon::Exclamation);
            QCOMPARE(Payload(factory_->Last().written), Hex(std::string("\x02"
                                                                        "050324"
                                                                        "090807"
                                                                        "\x01")));
        }
        {
            // Answered No: the fill walk for all its parameters.
            ui_ = ScriptedUi();
            ui_.answers = {false, true};
            CommandDialog d(
                Command("Fecha y hora", "2",
                        {Par("DATA", 6, "Fecha"), Par("HORA", 6, "Hora"), Par("BINARIO", 1, "Verano")}));
            ModalDriver driver;
            driver.Then("GetHourDlg", [](QWidget* w) {
                QTest::mouseClick(static_cast<GetHourDlg*>(w)->OkButton(), Qt::LeftButton);
            });
            driver.Then("GetDate", [](QWidget* w) {
                QTest::mouseClick(static_cast<GetDate*>(w)->OkButton(), Qt::LeftButton);
            });
            driver.Then("GetHourDlg", Escape);
            driver.Then("CommandDialog", [&](QWidget*) {
                QCOMPARE(d.Edit(0)->text(), QString("050324"));
                QCOMPARE(d.Edit(1)->text(), QString());
                d.reject();
            });
            QCOMPARE(d.exec(), int(QDialog::Rejected));
            QVERIFY2(driver.Missed().empty(), qPrintable(Missed(driver)));
        }
    }

    void moreThanTwelveParametersScroll() {
        std::vector<Parametro> params;
        for (int k = 1; k <= 15; ++k) params.push_back(Par("STRING", 2, "P" + std::to_string(k), "", 0));
        factory_->Add(test::Script().Hex("06 00 00"));
        CommandDialog d(Command("Muchos", "10", params));
        ModalDriver driver;
        driver.Then("GetStringDlg", Escape);
        driver.Then("CommandDialog", [&](QWidget*) {
            QCOMPARE(d.SlotCount(), 15);
            for (int k = 0; k < 15; ++k) QVERIFY(!d.Edit(k)->isHidden());
            QVERIFY(d.Rows()->verticalScrollBar()->maximum() > 0);
            Screenshot(&d, "command_form_scrolling");
            d.Rows()->ensureWidgetVisible(d.Edit(14));
            d.Edit(14)->setFocus();
            QTest::keyClicks(d.Edit(14), "ZZ");
            d.Edit(0)->setFocus();
            QTest::keyClicks(d.Edit(0), "AA");
            QTest::mouseClick(d.OkButton(), Qt::LeftButton);
        });
        QCOMPARE(d.exec(), int(QDialog::Accepted));
        QVERIFY(driver.Missed().empty());
        QCOMPARE(Payload(factory_->Last().written), Hex(std::string("\x0A"
                                                                    "AA"
                                                                    "ZZ")));
    }

    void longAnswersAreShownWhole() {
        // Two payment descriptions with TEF (34 characters) in a row limited to 16.
        ui_.answers = {true, true, false, false};
        CommandDialog d(Command("Pago", "72", {Par("DESCR_FORMA_PAGAMENTO", 16, "Formas")}));
        ModalDriver driver;
        driver.Then("GetStringDlg", [](QWidget* w) { TypeAndOk(w, "Efectivo"); });
        driver.Then("GetStringDlg", [](QWidget* w) { TypeAndOk(w, "Tarjeta"); });
        driver.Then("CommandDialog", [&](QWidget*) {
            QCOMPARE(d.Edit(0)->text(), QString("Efectivo        1Tarjeta         0"));
            d.reject();
        });
        d.exec();
        QVERIFY2(driver.Missed().empty(), qPrintable(Missed(driver)));
        QCOMPARE(d.Form().Row(0), std::string("Efectivo        1Tarjeta         0"));
    }

    void runsAgainstTheSimulator() {
        test::Simulator sim({"--intervention", "--verbose"});
        QVERIFY2(sim.ok(), "the printer simulator did not start");
        ResetEngineEnv();
        settings_.PortName = sim.path();
        settings_.ShowResults = 1;
        EngineEnv().clock = &clock_;
        EngineEnv().ui = &ui_;
        EngineEnv().settings = &settings_;

        // The header through the header editor: centred, emphasized first line.
        CommandDialog header(Command("Programar cliche", "3", {Par("CLICHE", 186, "Clich\xE9")}));
        ModalDriver driver;
        driver.Then("GetClicheDlg", [](QWidget* w) {
            auto* c = static_cast<GetClicheDlg*>(w);
            c->Line(0)->setFocus();
            QTest::keyClicks(c->Line(0), "ORDAVO");
            c->Attribute(0, 2)->setChecked(true);
            c->Centered()->setChecked(true);
            QTest::mouseClick(c->OkButton(), Qt::LeftButton);
        });
        driver.Then("CommandDialog", [&](QWidget*) { QTest::mouseClick(header.OkButton(), Qt::LeftButton); });
        QCOMPARE(header.exec(), int(QDialog::Accepted));
        QVERIFY2(driver.Missed().empty(), qPrintable(Missed(driver)));
        QCOMPARE(ui_.events.back(), std::string("result"));
        QVERIFY2(ui_.result_message.find("COMANDO OK") != std::string::npos, ui_.result_message.c_str());
        // 20 spaces, ESC E, the text, ESC F, LF, then two centred empty lines.
        std::string line1 = std::string(20, ' ') +
                            "\x1B"
                            "E"
                            "ORDAVO"
                            "\x1B"
                            "F"
                            "\n";
        std::string empty = std::string(23, ' ') + "\n";
        std::string payload = "\x03" + line1 + empty + empty;
        std::string expected = HexBytes(reinterpret_cast<const uint8_t*>(payload.data()), payload.size());
        QTRY_VERIFY2(sim.process().Errors().find(expected) != std::string::npos,
                     qPrintable(QString::fromStdString(sim.process().Errors())));

        // The date and time, confirmed: run at once with the computer's clock.
        clock_.SetWallTime(test::LocalTime(2024, 3, 5, 9, 8, 7));
        ui_ = ScriptedUi();
        ui_.answers = {true};
        CommandDialog clock(
            Command("Fecha y hora", "2",
                    {Par("DATA", 6, "Fecha"), Par("HORA", 6, "Hora"), Par("BINARIO", 1, "Verano")}));
        ModalDriver confirm;
        confirm.Then("GetHourDlg", [](QWidget* w) {
            auto* h = static_cast<GetHourDlg*>(w);
            h->SummerTime()->setChecked(true);
            QTest::mouseClick(h->OkButton(), Qt::LeftButton);
        });
        QCOMPARE(clock.exec(), int(QDialog::Accepted));
        QVERIFY(confirm.Missed().empty());
        QVERIFY2(ui_.result_message.find("COMANDO OK") != std::string::npos, ui_.result_message.c_str());
        QTRY_VERIFY2(
            sim.process().Errors().find("1B 02 30 35 30 33 32 34 30 39 30 38 30 37 01") != std::string::npos,
            qPrintable(QString::fromStdString(sim.process().Errors())));
    }
};

QTEST_MAIN(ParamsFormTest)
#include "params_form_test.moc"
