// The typed value editors as real windows, driven with keys and clicks: what they show, what
// they refuse, and their answers byte for byte; and one chain of editors through the desktop's
// editors from start to end.
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimeEdit>
#include <QtTest>

#include "engine/env.h"
#include "params/core/editar_valor.h"
#include "params/gui/aliquotas_prpg.h"
#include "params/gui/qt_value_editors.h"
#include "params/gui/value_dialogs.h"
#include "shell/gui/gui_support.h"
#include "tests/gui/params_driver.h"
#include "tests/support/fake_clock.h"

using namespace ordavo;
using namespace ordavo::gui;
using ordavo::paramstest::ModalDriver;
using ordavo::paramstest::Screenshot;
using ordavo::paramstest::ScriptedUi;

class ParamsEditorsTest : public QObject {
    Q_OBJECT

  private:
    test::FakeClock clock_{test::LocalTime(2024, 3, 5, 9, 8, 7)};
    ScriptedUi ui_;
    Settings settings_;

    // Types into a line edit as a user would: focus, then key by key.
    static void Type(QLineEdit* e, const QString& text) {
        e->setFocus();
        for (QChar c : text) {
            if (c.unicode() < 128) {
                QTest::keyClick(e, static_cast<char>(c.unicode()));
            } else {
                // A letter the keyboard sends as text only (as a compose key does).
                QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
                QApplication::sendEvent(e, &press);
            }
        }
    }
    static void Clear(QLineEdit* e) {
        e->setFocus();
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Backspace);
    }
    // A check box is hit on its box and caption, not across its whole width.
    static void Tick(QCheckBox* c) { QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(6, c->height() / 2)); }
    static void Ok(EditorDialog& d) { QTest::mouseClick(d.OkButton(), Qt::LeftButton); }

  private slots:
    void init() {
        ResetEngineEnv();
        ResetTaxRateTable();
        ui_ = ScriptedUi();
        settings_ = Settings();
        settings_.PortName = "COM1:";
        clock_.SetWallTime(test::LocalTime(2024, 3, 5, 9, 8, 7));
        EngineEnv().clock = &clock_;
        EngineEnv().ui = &ui_;
        EngineEnv().settings = &settings_;
    }
    void cleanup() {
        ResetEngineEnv();
        ResetTaxRateTable();
    }

    // Every typed editor opens with the cursor in its field and the value selected: typing
    // replaces it and Enter confirms, as a person expects.
    void editorsOpenWithTheCursorInTheirField() {
        auto drive = [](EditorDialog& d, QWidget* expected, const QString& typed, bool enter) {
            QWidget* focused = nullptr;
            QString selected;
            QTimer::singleShot(0, &d, [&] {
                (void)QTest::qWaitForWindowActive(&d, 2000);
                focused = QApplication::focusWidget();
                if (auto* line = qobject_cast<QLineEdit*>(focused)) selected = line->selectedText();
                if (auto* text = qobject_cast<QPlainTextEdit*>(focused)) selected = text->textCursor().selectedText();
                if (focused) {
                    if (!typed.isEmpty()) QTest::keyClicks(focused, typed);
                    if (enter) QTest::keyClick(focused, Qt::Key_Return);
                }
                if (d.isVisible()) d.reject();
            });
            int result = d.exec();
            if (focused != expected)
                qWarning() << "focus on" << (focused ? focused->metaObject()->className() : "nothing");
            return std::make_tuple(focused == expected, selected, result);
        };
        {
            GetStringDlg d;
            d.SetLimit(10);
            d.SetPadded(false);
            d.SetInitial("ABC");
            auto [focus, selected, result] = drive(d, d.Edit(), "XY", true);
            QVERIFY(focus);
            QCOMPARE(selected, QString("ABC"));
            QCOMPARE(result, int(QDialog::Accepted));
            QCOMPARE(d.Answer(), std::string("XY"));
        }
        {
            GetIntegerDlg d;
            d.SetLimit(4);
            d.SetInitial("12");
            auto [focus, selected, result] = drive(d, d.Edit(), "7", true);
            QVERIFY(focus);
            QCOMPARE(selected, QString("12"));
            QCOMPARE(d.Answer(), std::string("0007"));
        }
        {
            GetFinanceDlg d;
            d.SetLimits(12, 2);
            d.SetInitial("12345");
            auto [focus, selected, result] = drive(d, d.Edit(), "9", true);
            QVERIFY(focus);
            QCOMPARE(selected, QString("123,45"));
            QCOMPARE(d.Answer(), std::string("00000000000009"));
        }
        {
            DlgGetPercent d;
            auto [focus, selected, result] = drive(d, d.IntegerEdit(), "5", true);
            QVERIFY(focus);
            QCOMPARE(d.Answer().integer_part, std::string("05"));
        }
        {
            GetBigStringDlg d;
            d.SetInitial("uno");
            auto [focus, selected, result] = drive(d, d.Edit(), "", false);
            QVERIFY(focus);
            QCOMPARE(selected, QString("uno"));
        }
        {
            GetHourDlg d;
            auto [focus, selected, result] = drive(d, d.Picker(), "", true);
            QVERIFY(focus);
            QCOMPARE(result, int(QDialog::Accepted));
        }
        {
            GetDate d;
            auto [focus, selected, result] = drive(d, d.Picker(), "", false);
            QVERIFY(focus);
        }
        {
            GetOptionDlg d;
            std::array<std::string, OptionEditor::kButtons> captions{};
            captions[0] = "Uno";
            captions[1] = "Dos";
            d.SetCaptions(captions);
            auto [focus, selected, result] = drive(d, d.Button(1), "", true);
            QVERIFY(focus);
            QCOMPARE(d.Choice(), 1);
        }
        {
            GetChequeDlg d;
            auto [focus, selected, result] = drive(d, d.Box(0), "12", true);
            QVERIFY(focus);
            QCOMPARE(d.Answer().substr(0, 2), std::string("12"));
        }
        {
            GetClicheDlg d;
            auto [focus, selected, result] = drive(d, d.Line(0), "ABC", true);
            QVERIFY(focus);
            QCOMPARE(result, int(QDialog::Accepted));
            QCOMPARE(d.Answer().substr(0, 3), std::string("ABC"));
        }
    }

    void commonLook() {
        GetStringDlg d;
        QCOMPARE(d.windowTitle(), QString());
        QCOMPARE(d.CancelButton()->text(), QString("Anular"));
        d.SetDescription("&Incremento\r\nsegunda");
        QCOMPARE(d.DescriptionLabel()->text(), QString("Incremento\nsegunda"));
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QTest::mouseClick(d.CancelButton(), Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Rejected));
    }

    void textEditor() {
        {
            GetStringDlg d;
            d.SetLimit(16);
            d.show();
            Type(d.Edit(), "ABC");
            Ok(d);
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QCOMPARE(QString::fromStdString(d.Answer()), QString("ABC") + QString(13, ' '));
        }
        {
            GetStringDlg d;
            d.SetLimit(16);
            d.show();
            Ok(d);
            QCOMPARE(d.Answer(), std::string());  // not 16 spaces
        }
        {
            // The limit holds the typing; variable size is not padded; Windows-1252 answer.
            GetStringDlg d;
            d.SetLimit(4);
            d.SetPadded(false);
            d.show();
            Type(d.Edit(), QString::fromUtf8("A\xC3\xB1oXYZ"));
            QCOMPARE(d.Edit()->text(), QString::fromUtf8("A\xC3\xB1oX"));
            Ok(d);
            QCOMPARE(d.Answer(), std::string("A\xF1oX"));
        }
        {
            // Hexadecimal: other letters refused, answer upper case, padded.
            GetStringDlg d;
            d.SetLimit(4);
            d.SetHex(true);
            d.show();
            Type(d.Edit(), "1g2b");
            QCOMPARE(d.Edit()->text(), QString("12b"));
            Ok(d);
            QCOMPARE(d.Answer(), std::string("12B "));
        }
        {
            // Multi-line: Enter starts a new line, the answer has CR LF, the limit counts it.
            GetBigStringDlg d;
            d.SetLimit(8);
            d.SetInitial("A\r\nB");
            d.show();
            QCOMPARE(d.Edit()->toPlainText(), QString("A\nB"));
            d.Edit()->setFocus();
            d.Edit()->moveCursor(QTextCursor::End);
            QTest::keyClick(d.Edit(), Qt::Key_Return);
            QTest::keyClicks(d.Edit(), "CDEFG");
            QVERIFY(d.isVisible());                                  // Enter did not close it
            QCOMPARE(d.Edit()->toPlainText(), QString("A\nB\nCD"));  // 8 with two CR LF
            Ok(d);
            QCOMPARE(d.Answer(), std::string("A\r\nB\r\nCD"));
        }
    }

    void numberEditors() {
        {
            GetIntegerDlg d;
            QCOMPARE(d.DescriptionLabel()->text(), QString("Digite o valor"));
            d.SetLimit(4);
            d.show();
            Type(d.Edit(), "7a");
            QCOMPARE(d.Edit()->text(), QString("7"));
            Ok(d);
            QCOMPARE(d.Answer(), std::string("0007"));
            QCOMPARE(d.Value(), 7);
        }
        {
            GetIntegerDlg d;
            d.SetLimit(4);
            d.show();
            Ok(d);
            QCOMPARE(d.Answer(), std::string());
        }
        {
            DlgGetPercent d;
            d.show();
            QCOMPARE(d.IntegerEdit()->text(), QString("00"));
            QCOMPARE(d.DecimalEdit()->text(), QString("00"));
            Clear(d.IntegerEdit());
            Type(d.IntegerEdit(), "5");
            Clear(d.DecimalEdit());
            Ok(d);
            QCOMPARE(d.Answer().integer_part, std::string("05"));
            QCOMPARE(d.Answer().decimal_part, std::string("00"));
            QCOMPARE(d.Answer().Joined(), std::string("0500"));
        }
        {
            GetChequeDlg d;
            d.show();
            Ok(d);
            QCOMPARE(d.Answer(), std::string(26, '0'));
        }
        {
            GetChequeDlg d;
            std::array<std::string, 13> preset;
            preset[12] = "13";
            d.SetInitial(preset);
            d.show();
            Type(d.Box(0), "5");
            Type(d.Box(7), "123");  // "Año" X, at most two digits
            Type(d.Box(8), "9");    // "&Valor" Y
            Ok(d);
            QCOMPARE(d.Answer(), std::string("05"
                                             "00"
                                             "00"
                                             "00"
                                             "00"
                                             "00"
                                             "00"
                                             "12"
                                             "09"
                                             "00"
                                             "00"
                                             "00"
                                             "13"));
        }
    }

    void moneyEditorTypedDigitByDigit() {
        GetFinanceDlg d;
        d.SetDescription("Precio");
        d.SetLimits(12, 2);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QCOMPARE(d.Edit()->text(), QString("0,00"));
        QCOMPARE(d.Edit()->alignment() & Qt::AlignRight, Qt::AlignRight);
        QCOMPARE(d.Edit()->maxLength(), 15);
        Clear(d.Edit());
        QCOMPARE(d.Edit()->text(), QString());
        const char* shown[] = {"1", "12", "1,23", "12,34", "123,45"};
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(d.Edit(), static_cast<char>('1' + i));
            QCOMPARE(d.Edit()->text(), QString(shown[i]));
            QCOMPARE(d.Edit()->cursorPosition(), int(d.Edit()->text().size()));
        }
        Screenshot(&d, "money_editor");
        // A typed comma changes nothing: the comma stays before the last two digits.
        QTest::keyClick(d.Edit(), ',');
        QCOMPARE(d.Edit()->text(), QString("123,45"));
        // Backspace over the comma: it comes back, and the caret keeps its place after it.
        QTest::keyClick(d.Edit(), Qt::Key_Left);
        QTest::keyClick(d.Edit(), Qt::Key_Left);
        QTest::keyClick(d.Edit(), Qt::Key_Backspace);
        QCOMPARE(d.Edit()->text(), QString("123,45"));
        QCOMPARE(d.Edit()->cursorPosition(), 4);
        // A digit typed in the middle: the comma moves, the caret stays after the new digit.
        QTest::keyClick(d.Edit(), Qt::Key_Home);
        QTest::keyClick(d.Edit(), Qt::Key_Right);
        QTest::keyClick(d.Edit(), '9');
        QCOMPARE(d.Edit()->text(), QString("1923,45"));
        QCOMPARE(d.Edit()->cursorPosition(), 2);
        QTest::keyClick(d.Edit(), Qt::Key_Backspace);
        QCOMPARE(d.Edit()->text(), QString("123,45"));
        QCOMPARE(d.Edit()->cursorPosition(), 1);
        QTest::keyClick(d.Edit(), Qt::Key_End);
        Ok(d);
        QCOMPARE(d.Answer(), std::string("00000000012345"));

        // Digits only.
        GetFinanceDlg letters;
        letters.SetLimits(6, 2);
        letters.show();
        Clear(letters.Edit());
        Type(letters.Edit(), "1x2");
        QCOMPARE(letters.Edit()->text(), QString("12"));

        // An initial value longer than I + D starts at 0,00; a fitting one is shown with its comma.
        GetFinanceDlg longer;
        longer.SetLimits(6, 2);
        longer.SetInitial("123456789");
        QCOMPARE(longer.Edit()->text(), QString("0,00"));
        GetFinanceDlg fitting;
        fitting.SetLimits(6, 2);
        fitting.SetInitial("1250");
        QCOMPARE(fitting.Edit()->text(), QString("12,50"));
        fitting.show();
        Ok(fitting);
        QCOMPARE(fitting.Answer(), std::string("00001250"));

        // No integer digits: the box is hidden.
        GetFinanceDlg none;
        none.SetLimits(0, 2);
        none.show();
        QVERIFY(!none.Edit()->isVisible());
    }

    void dateEditorAsksForConfirmation() {
        GetDate d;
        QCOMPARE(d.DescriptionLabel()->text(), QString("Digite a data"));
        QCOMPARE(d.Picker()->date(), QDate(2024, 3, 5));  // today, from the clock
        d.Picker()->setDate(QDate(2023, 12, 31));
        QTest::mouseClick(d.TodayButton(), Qt::LeftButton);
        QCOMPARE(d.Picker()->date(), QDate(2024, 3, 5));
        d.Picker()->setDate(QDate(2001, 2, 3));
        d.show();
        ui_.answers = {false, true};
        Ok(d);
        QVERIFY(d.isVisible());  // No: back to the picker
        QCOMPARE(QString::fromStdString(ui_.questions.at(0)),
                 QString::fromStdString(std::string("\xBF"
                                                    "La fecha est\xE1 correcta?\r\n03/02/01")));
        QCOMPARE(ui_.icons.at(0), MsgIcon::Exclamation);
        QCOMPARE(ui_.captions.at(0), std::string());
        Ok(d);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(DateDDMMYYYY(d.Answer()), std::string("03022001"));
    }

    void hourEditorBothModes() {
        {
            GetHourDlg d;
            QCOMPARE(d.DescriptionLabel()->text(), QString("Selecione a hora"));
            d.show();
            QVERIFY(!d.SummerTime()->isVisible());
            QVERIFY(!d.SummerTime()->isEnabled());
            QVERIFY(d.NowButton()->isVisible());
            QVERIFY(!d.ClockRunning());
            QCOMPARE(d.Picker()->time(), QTime(9, 8, 7));
            d.Picker()->setTime(QTime(1, 2, 3));
            clock_.Advance(5000);
            QTest::mouseClick(d.NowButton(), Qt::LeftButton);
            QCOMPARE(d.Picker()->time(), QTime(9, 8, 12));
            d.Picker()->setTime(QTime(23, 59, 58));
            Ok(d);
            QCOMPARE(TimeHHMMSS(d.Answer()), std::string("235958"));
            QCOMPARE(d.Answer().summer_time, 0);
        }
        clock_.SetWallTime(test::LocalTime(2024, 3, 5, 9, 8, 7));
        {
            GetHourDlg d;
            d.SetDateAndTimeMode(true);
            QCOMPARE(d.DescriptionLabel()->text(),
                     QString::fromUtf8("\xC2\xBF"
                                       "Acceptar fecha y hora de la computadora?\n\nFecha: 05/03/2024"));
            d.show();
            QVERIFY(QTest::qWaitForWindowExposed(&d));
            QVERIFY(d.SummerTime()->isVisible());
            QVERIFY(d.SummerTime()->isEnabled());
            QCOMPARE(d.SummerTime()->text(), QString::fromUtf8("Hor\xC3\xA1rio de verano"));
            QVERIFY(!d.NowButton()->isVisible());
            QVERIFY(!d.NowButton()->isEnabled());
            QVERIFY(d.ClockRunning());
            // The picker follows the PC clock while the window is open.
            clock_.Advance(3000);
            QTRY_COMPARE(d.Picker()->time(), QTime(9, 8, 10));
            clock_.Advance(60000);
            QTRY_COMPARE(d.Picker()->time(), QTime(9, 9, 10));
            Tick(d.SummerTime());
            Ok(d);
            QCOMPARE(d.Answer().summer_time, 1);
            QVERIFY(!d.ClockRunning());
        }
    }

    void optionWindow() {
        GetOptionDlg d;
        std::array<std::string, 12> captions;
        captions[0] = "A";
        captions[1] = "B";
        d.SetCaptions(captions);
        d.show();
        for (int k = 1; k <= 12; ++k) QCOMPARE(d.Button(k)->isVisible(), k <= 2);
        QCOMPARE(d.Choice(), 0);
        QCOMPARE(d.CancelButton()->text(), QString("Anular"));
        QVERIFY(!d.OkButton());
        // Buttons 1 to 6 on the left, 7 to 12 on the right.
        captions[6] = "G";
        captions[0] = "";
        d.SetCaptions(captions);
        QVERIFY(d.Button(1)->isVisible());  // blank, still shown
        QVERIFY(d.Button(7)->isVisible());
        QVERIFY(d.Button(7)->x() > d.Button(1)->x());
        QCOMPARE(d.Button(2)->x(), d.Button(1)->x());
        QVERIFY(d.Button(2)->y() > d.Button(1)->y());
        QTest::mouseClick(d.Button(7), Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.Choice(), 7);

        GetOptionDlg shot;
        shot.SetDescription(
            "\xBF"
            "Normal o simplificada?");
        std::array<std::string, 12> many;
        const char* names[] = {"&Incremento",
                               "&Descuento",
                               "I&ncremento y descuento",
                               "Intervalo de fecha",
                               "Intervalo de COO",
                               "",
                               "32 KB",
                               "512 KB"};
        for (size_t k = 0; k < std::size(names); ++k) many[k] = names[k];
        shot.SetCaptions(many);
        shot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&shot));
        QVERIFY(!shot.Button(6)->isVisible());
        Screenshot(&shot, "option_window");
    }

    void headerEditor() {
        {
            GetClicheDlg d;
            QCOMPARE(d.windowTitle(), QString::fromUtf8("Clich\xC3\xA9 del propiet\xC3\xA1rio"));
            d.show();
            Ok(d);
            QCOMPARE(d.Answer(), std::string("\r\n\r\n\r\n"));
        }
        {
            GetClicheDlg d;
            d.show();
            Type(d.Line(0), "ABC");
            Tick(d.Centered());
            Ok(d);
            QCOMPARE(QString::fromStdString(d.Answer().substr(0, 27)), QString(22, ' ') + "ABC\r\n");
        }
        {
            // Underline and expanded on line 2; a third text over two lines.
            GetClicheDlg d;
            d.show();
            Type(d.Line(0), QString(50, 'x'));
            QCOMPARE(d.Line(0)->text().size(), 47);
            Type(d.Line(1), QString(40, 'y'));
            QTest::mouseClick(d.Attribute(1, 0), Qt::LeftButton);
            QTest::mouseClick(d.Attribute(1, 3), Qt::LeftButton);
            d.Third()->setFocus();
            QTest::keyClicks(d.Third(), "AB");
            QTest::keyClick(d.Third(), Qt::Key_Return);
            QTest::keyClicks(d.Third(), "CD");
            QTest::mouseClick(d.Attribute(2, 2), Qt::LeftButton);
            QVERIFY(d.isVisible());
            Screenshot(&d, "cliche_editor");
            Ok(d);
            QCOMPARE(d.Answer(), std::string(47, 'x') + "\r\n" + "CLICHE_SUB_INI_XMLCLICHE_EXP_INI_XML" +
                                     std::string(35, 'y') + "CLICHE_SUB_END_XMLCLICHE_EXP_END_XML\r\n" +
                                     "CLICHE_ENF_INI_XMLAB\r\nCDCLICHE_ENF_END_XML\r\n");
        }
        {
            // The third text holds at most 94 characters, a line break counting two.
            GetClicheDlg d;
            d.show();
            d.Third()->setFocus();
            QTest::keyClicks(d.Third(), QString(100, 'z'));
            QCOMPARE(d.Third()->toPlainText().size(), 94);
        }
    }

    void graphicHeaderWindow() {
        {
            GraphicClicheDlg d;
            QCOMPARE(d.windowTitle(), QString::fromUtf8("Clich\xC3\xA9 Gr\xC3\xA1"
                                                        "fico"));
            QVERIFY(d.PortText().contains("COM1:"));
            QCOMPARE(d.CloseButton()->text(), QString("Salir"));
            d.show();
            QTest::qWait(50);
            QVERIFY(ui_.questions.empty());
            QTest::mouseClick(d.CloseButton(), Qt::LeftButton);
            QVERIFY(!d.isVisible());
        }
        settings_.PortName = "USB";
        GraphicClicheDlg usb;
        QVERIFY(usb.PortText().contains("USB"));
        usb.show();
        QTRY_COMPARE(ui_.questions.size(), size_t(1));
        QCOMPARE(ui_.questions[0], std::string("Este comando no suporta interfaz USB"));
        QCOMPARE(ui_.icons[0], MsgIcon::None);
    }

    void taxRatePage() {
        TaxRateSheet sheet;
        QCOMPARE(sheet.Tabs()->tabText(0), QString::fromUtf8("Al\xC3\xAD"
                                                             "cuotas"));
        CAliquotasPrPg* page = sheet.Page();
        TaxRatePage data;
        for (int k = 0; k < 16; ++k)
            data.rates[static_cast<size_t>(k)] = QString("%1").arg(k * 100, 4, 10, QChar('0')).toStdString();
        data.iva[3] = 1;
        page->Load(data);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        QVERIFY(page->HeadingsVisible());
        QVERIFY(page->IvaButton(1)->isVisible());
        QVERIFY(page->NoIvaButton(4)->isChecked());
        QVERIFY(page->RateEdit(16)->isEnabled());
        QVERIFY(page->findChild<QLabel*>() != nullptr);
        Screenshot(&sheet, "tax_rate_page");

        // Rates only: the IVA columns and their headings go.
        page->SetRatesOnly(true);
        QVERIFY(!page->HeadingsVisible());
        QVERIFY(!page->IvaButton(1)->isVisible());
        QVERIFY(!page->NoIvaButton(16)->isVisible());
        Screenshot(&sheet, "tax_rate_page_rates_only");
        page->SetRatesOnly(false);
        // Read-only rates.
        page->SetReadOnlyRates(true);
        for (int k = 1; k <= 16; ++k) QVERIFY(!page->RateEdit(k)->isEnabled());
        page->SetReadOnlyRates(false);

        // Typing: four digits at most, digits only.
        page->RateEdit(2)->clear();
        page->RateEdit(2)->setFocus();
        QTest::keyClicks(page->RateEdit(2), "12a345");
        QCOMPARE(page->Rate(2), std::string("1234"));
        QTest::mouseClick(page->NoIvaButton(1), Qt::LeftButton);
        QTest::mouseClick(page->IvaButton(4), Qt::LeftButton);
        TaxRatePage out;
        page->Store(out);
        QCOMPARE(out.rates[1], std::string("1234"));
        QCOMPARE(out.iva[0], 1);
        QCOMPARE(out.iva[3], 0);
        QCOMPARE(out.rates[15], std::string("1500"));
    }

    void chainThroughTheDesktopEditors() {
        // "FECHA_CUPOM" both ways by percentage: four windows, one after another.
        QtValueEditors editors;
        ModalDriver driver;
        driver.Then<GetOptionDlg>("GetOptionDlg", [](GetOptionDlg* d) {
            QVERIFY(d->Button(3)->isVisible());
            QVERIFY(!d->Button(4)->isVisible());
            QTest::mouseClick(d->Button(3), Qt::LeftButton);
        });
        driver.Then<GetOptionDlg>("GetOptionDlg", [](GetOptionDlg* d) {
            QCOMPARE(d->Button(1)->text(), QString("&Porcentual"));
            QTest::mouseClick(d->Button(1), Qt::LeftButton);
        });
        for (const char* digits : {"1", "2"}) {
            driver.Then<DlgGetPercent>("DlgGetPercent", [digits](DlgGetPercent* d) {
                d->IntegerEdit()->selectAll();
                QTest::keyClicks(d->IntegerEdit(), digits);
                QTest::mouseClick(d->OkButton(), Qt::LeftButton);
            });
        }
        Parametro p;
        p.formato = "FECHA_CUPOM";
        p.tamanho = 384;
        std::string value = EditarValor(p, editors);
        QVERIFY2(driver.Missed().empty(),
                 qPrintable(driver.Missed().empty() ? QString() : driver.Missed()[0]));
        QCOMPARE(value, std::string("X01000200"));

        // Cancelled half-way: the marker.
        ModalDriver cancel;
        cancel.Then<GetOptionDlg>("GetOptionDlg",
                                  [](GetOptionDlg* d) { QTest::mouseClick(d->Button(1), Qt::LeftButton); });
        cancel.Then<GetOptionDlg>("GetOptionDlg",
                                  [](GetOptionDlg* d) { QTest::mouseClick(d->Button(2), Qt::LeftButton); });
        cancel.Then<GetFinanceDlg>("GetFinanceDlg",
                                   [](GetFinanceDlg* d) { QTest::keyClick(d, Qt::Key_Escape); });
        QCOMPARE(EditarValor(p, editors), std::string(kMarcaAnulacao));
        QVERIFY(cancel.Missed().empty());

        // The tax-rate sheet through the dispatcher: OK takes the IVA choices.
        TaxRateTable()[0] = "1800";
        ModalDriver rates;
        rates.Then<TaxRateSheet>("TaxRateSheet", [](TaxRateSheet* s) {
            QVERIFY(!s->Page()->RateEdit(1)->isEnabled());
            QCOMPARE(s->Page()->Rate(1), std::string("1800"));
            QTest::mouseClick(s->Page()->NoIvaButton(2), Qt::LeftButton);
            QTest::mouseClick(s->findChild<QPushButton*>("ok"), Qt::LeftButton);
        });
        Parametro vinc;
        vinc.formato = "VINC_ISS";
        vinc.tamanho = 16;
        QCOMPARE(EditarValor(vinc, editors), std::string("0100000000000000"));
        QVERIFY(rates.Missed().empty());
    }
};

QTEST_MAIN(ParamsEditorsTest)
#include "params_editors_test.moc"
