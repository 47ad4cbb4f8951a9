// The capture window against the simulated scanner, its settings dialog, and the fiscal-memory
// window's bitmap decoding, driven with real clicks offscreen.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontInfo>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include "engine/util.h"
#include "fiscalmemory/core/audit_file.h"
#include "fiscalmemory/core/journal.h"
#include "fiscalmemory/core/library_loader.h"
#include "fiscalmemory/gui/mfd_commands.h"
#include "pdf417/gui/pdf_capture.h"
#include "pdf417/gui/serial_config_dlg.h"
#include "shell/gui/gui_support.h"
#include "sim/pdf417_bitmaps.h"
#include "sim/scanner_series.h"
#include "tests/gui/gui_test_util.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

using namespace ordavo;
using namespace ordavo::gui;
using ordavo::guitest::WhenModal;

namespace {

// A printer whose journal makes three symbols.
sim::PrinterState SmallPrinter() { return sim::PrinterWithSymbols(3); }

// Presses the button of the open message box whose caption is `caption`, and records its text.
void Answer(const QString& caption, QStringList* texts, bool* missed, std::function<void()> then = {}) {
    WhenModal<QMessageBox>(
        [=](QMessageBox* box) {
            if (texts) *texts << box->windowTitle() + "|" + box->text();
            for (QAbstractButton* b : box->buttons())
                if (b->text() == caption) {
                    if (then) then();
                    b->click();
                    return;
                }
            box->reject();
        },
        missed);
}

// Presses `caption` in the open message box titled `title` as soon as `ready` holds; records
// every box it answers.
void AnswerBox(const QString& title, const QString& caption, QStringList* texts, bool* missed,
               std::function<bool()> ready = {}, std::function<void()> then = {}, int timeout_ms = 15000) {
    auto* timer = new QTimer(&guitest::PendingActions());
    auto elapsed = std::make_shared<int>(0);
    timer->setInterval(15);
    QObject::connect(timer, &QTimer::timeout, [=] {
        *elapsed += timer->interval();
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && box->isVisible() && box->windowTitle() == title && (!ready || ready())) {
            timer->stop();
            timer->deleteLater();
            if (texts) *texts << box->windowTitle() + "|" + box->text();
            for (QAbstractButton* b : box->buttons())
                if (b->text() == caption) {
                    if (then) then();
                    b->click();
                    return;
                }
            if (missed) *missed = true;
            box->reject();
            return;
        }
        if (*elapsed > timeout_ms) {
            timer->stop();
            timer->deleteLater();
            if (missed) *missed = true;
        }
    });
    timer->start();
}

class FakeContext : public MfdContext {
public:
    QWidget* Window() override { return window; }
    std::string LibraryName() const override { return "libTalvMFD2ES.so"; }
    bool FetchSerialNumber(std::string& serial) override {
        serial = "VE0100000001";
        return false;  // the printer is off: only a default name
    }
    void ShowLibraryResult(int code) override { results.push_back(code); }
    void OfferToOpen(const std::string& path) override { offered.push_back(path); }
    std::string& Brand() override { return brand; }
    std::string& Model() override { return model; }
    bool LoadFiscalLibrary(FiscalLibrary& library, bool complain) override { return library.Load(LibraryName()); }
    int RunLibraryCall(FiscalLibrary&, const std::string&, const std::function<int()>& call) override { return call(); }
    std::string FetchPublicKey(const std::string&, FiscalLibrary&, const std::string&, bool) override { return "Error!"; }
    void ValidateSignedFile(const std::string&, const std::string&) override {}
    void SignedDownloadTail(const std::string&, FiscalLibrary& library, const std::string&, bool) override {
        library.Release();
    }
    bool Message(const std::string& text, const std::string&, MsgButtons, MsgIcon) override {
        messages.push_back(text);
        return answer;
    }
    bool answer = true;

    QWidget* window = nullptr;
    std::vector<std::string> messages;
    std::vector<int> results;
    std::vector<std::string> offered;
    std::string brand, model;
};

}  // namespace

class Pdf417CaptureTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir profile_;
    guitest::Watchdog watchdog_;
    test::TempDir work_;

    // The simulated scanner, sending `order` of the small printer's symbols.
    std::unique_ptr<test::BackgroundProcess> Scanner(const std::string& order) {
        const std::string state = work_.File("state.txt");
        WriteFileAtomically(state, SmallPrinter().Serialize());
        auto p = std::make_unique<test::BackgroundProcess>(
            test::ProgramPath("ordavo-printer-sim"),
            std::vector<std::string>{"--scanner", work_.File("scanner"), "--state", state, "--scanner-order", order,
                                     "--scanner-gap", "1700"});
        const std::string first = p->FirstLine(10000);
        if (first != work_.File("scanner")) qWarning() << "simulator:" << first.c_str() << p->Errors().c_str();
        QSettings().setValue("Scanner Port/Port name", QString::fromStdString(work_.File("scanner")));
        return p;
    }

    static std::string Journal() { return sim::ScannerJournal(SmallPrinter()); }

    // The save dialog that follows: the file typed in, and the "OK" of the box that reports it.
    static std::function<void()> SaveAs(const QString& out, QStringList* texts, bool* missed) {
        return [=] {
            WhenModal<QFileDialog>([=](QFileDialog* d) {
                Answer("OK", texts, missed);
                guitest::AcceptPath(d, out);
            }, missed);
        };
    }

    // "&Iniciar", then waits until `received` symbols are in.
    static void StartUntil(PDFCapture& window, const QString& received) {
        QTest::mouseClick(window.StartButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window.Received()->text(), received, 10000);
    }

private slots:
    void initTestCase() { guitest::IsolateProfile(profile_.path()); }
    void init() {
        QSettings().clear();
        watchdog_.Arm(30000);
    }
    void cleanup() {
        guitest::CancelPendingModalActions();
        QCOMPARE(watchdog_.Disarm(), QString());
    }

    void capturesAWholeSeriesFromTheScanner() {
        auto sim = Scanner("2,0,0,1");
        PDFCapture window(nullptr, pdf417::TheScanner());
        window.show();
        QCOMPARE(window.windowTitle(), QString("pdf 417"));
        QVERIFY(window.StartButton()->isEnabled());
        QTest::mouseClick(window.StartButton(), Qt::LeftButton);
        QVERIFY(!window.StartButton()->isEnabled());
        QVERIFY(window.StopButton()->isEnabled());

        QTRY_COMPARE_WITH_TIMEOUT(window.Received()->text(), QString("1"), 8000);
        QCOMPARE(window.Expected()->text(), QString("3"));
        QCOMPARE(window.Status()->text(), QString::fromUtf8("Símbolo lido: 3/3"));
        QVERIFY(window.Dump()->toPlainText().startsWith("000000  "));
        QTRY_COMPARE_WITH_TIMEOUT(window.Status()->text(), QString::fromUtf8("Símbolo já foi lido"), 8000);
        QCOMPARE(window.Received()->text(), QString("2"));
        guitest::Screenshot(&window, "pdf417_capture");

        // The last symbol: the complete-series message, then the posted "&Parar" saves.
        QStringList texts;
        bool missed = false;
        const QString out = QString::fromStdString(work_.File("serie.mfd"));
        Answer("OK", &texts, &missed, SaveAs(out, &texts, &missed));
        QTRY_VERIFY_WITH_TIMEOUT(window.StartButton()->isEnabled(), 10000);
        QVERIFY(!missed);
        QCOMPARE(window.Received()->text(), QString("3"));
        QVERIFY(!window.StopButton()->isEnabled());
        QCOMPARE(texts.size(), 2);
        QCOMPARE(texts[0], QString::fromUtf8("Fim de la Captura|Todos los símbolos foram leydos.\nPresione OK para continuar"));
        QVERIFY2(texts[1].startsWith(QString::fromUtf8("Concluído|FORAM DECODIFICADOS (3) SÍMBOLOS PDF-417.")),
                 qPrintable(texts[1]));
        std::string bytes;
        QVERIFY(ReadWholeFile(out.toStdString(), bytes));
        QVERIFY(bytes == fm::BuildAuditFile(Journal()));
        fm::JournalReader reader(std::string_view(bytes).substr(fm::kAuditHeadSize));
        fm::JournalDocument d;
        int documents = 0;
        while (reader.Next(d)) ++documents;
        QCOMPARE(documents, static_cast<int>(SmallPrinter().journal.size()) + 1);
        QVERIFY(!pdf417::TheScanner().IsOpen());
    }

    void stoppingWithASymbolMissing() {
        auto sim = Scanner("0,2");
        PDFCapture window(nullptr, pdf417::TheScanner());
        window.show();
        StartUntil(window, "2");
        // Cancelar: the capture goes on.
        QStringList texts;
        bool missed = false;
        Answer("Cancelar", &texts, &missed);
        QTest::mouseClick(window.StopButton(), Qt::LeftButton);
        QVERIFY(!missed);
        QVERIFY(window.StopButton()->isEnabled());
        QVERIFY(pdf417::TheScanner().Monitoring());
        QVERIFY(texts.value(0).startsWith(QString::fromUtf8("Atenção|Alguns símbolos impressos não foram capturados.")));
        // Sim: both received symbols are written.
        const QString out = QString::fromStdString(work_.File("parcial.mfd"));
        Answer("Sim", &texts, &missed, SaveAs(out, &texts, &missed));
        QTest::mouseClick(window.StopButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(window.StartButton()->isEnabled(), 5000);
        QVERIFY(!missed);
        QVERIFY(texts.last().contains("FORAM DECODIFICADOS (2)"));
        std::vector<std::string> symbols = sim::ScannerSymbols(Journal());
        std::string bytes;
        QVERIFY(ReadWholeFile(out.toStdString(), bytes));
        QVERIFY(bytes == fm::BuildAuditFile(symbols[0].substr(8, symbols[0].size() - 10) +
                                            symbols[2].substr(8, symbols[2].size() - 10)));
    }

    void aSymbolThatCompletesTheSeriesDuringTheQuestion() {
        auto sim = Scanner("0,1,2");
        PDFCapture window(nullptr, pdf417::TheScanner());
        window.show();
        StartUntil(window, "2");
        // "&Parar" at 2 of 3; the last symbol comes in while "Atenção" is open, and its
        // end-of-series box and posted stop come and go inside it. Only then "Sim".
        QStringList texts;
        bool missed = false;
        QElapsedTimer since_end;
        AnswerBox("Fim de la Captura", "OK", &texts, &missed, {}, [&] { since_end.start(); });
        const QString out = QString::fromStdString(work_.File("tarde.mfd"));
        AnswerBox(QString::fromUtf8("Atenção"), "Sim", &texts, &missed,
                  [&] { return since_end.isValid() && since_end.elapsed() > 500; },
                  SaveAs(out, &texts, &missed));
        QTest::mouseClick(window.StopButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(window.StartButton()->isEnabled(), 20000);
        QVERIFY2(!missed, qPrintable(texts.join("\n")));
        QCOMPARE(window.Received()->text(), QString("3"));
        QCOMPARE(texts.filter(QString::fromUtf8("Concluído|")).size(), 1);
        QVERIFY2(texts.last().contains("FORAM DECODIFICADOS (3)"), qPrintable(texts.join("\n")));
        std::string bytes;
        QVERIFY(ReadWholeFile(out.toStdString(), bytes));
        QVERIFY(bytes == fm::BuildAuditFile(Journal()));
        QVERIFY(!pdf417::TheScanner().IsOpen());
    }

    void aSeriesIsNeverDroppedWithoutAsking() {
        auto sim = Scanner("0,2");
        auto window = std::make_unique<PDFCapture>(nullptr, pdf417::TheScanner());
        window->show();
        StartUntil(*window, "2");
        const QString kept = QString::fromUtf8("Atenção|Los símbolos capturados no fueron guardados");
        struct Case {
            const char* what;
            std::function<void(PDFCapture&)> act;  // what the user does to the window
            QString path;                          // typed into the save dialog; empty: cancelled
        } cases[] = {
            {"Parar, file dialog cancelled", [](PDFCapture& w) { QTest::mouseClick(w.StopButton(), Qt::LeftButton); },
             QString()},
            {"Escape, a file that cannot be created", [](PDFCapture& w) { QTest::keyClick(&w, Qt::Key_Escape); },
             QString::fromStdString(work_.File("no/such/dir.mfd"))},
            {"closing the window, file dialog cancelled", [](PDFCapture& w) { w.close(); }, QString()},
        };
        for (const Case& c : cases) {
            QStringList texts;
            bool missed = false;
            AnswerBox(QString::fromUtf8("Atenção"), "Sim", &texts, &missed, {}, [&] {
                WhenModal<QFileDialog>([&](QFileDialog* d) {
                    if (c.path.isEmpty()) {
                        d->reject();
                    } else {
                        Answer("OK", &texts, &missed);  // "Erro"
                        guitest::AcceptPath(d, c.path);
                    }
                    AnswerBox(QString::fromUtf8("Atenção"), "No", &texts, &missed);
                }, &missed);
            });
            c.act(*window);
            QTRY_VERIFY_WITH_TIMEOUT(texts.size() >= (c.path.isEmpty() ? 2 : 3), 10000);
            QVERIFY2(!missed, c.what);
            QVERIFY2(texts.last().startsWith(kept), qPrintable(texts.join("\n")));
            QVERIFY2(window->isVisible(), c.what);
            QVERIFY2(window->StopButton()->isEnabled(), c.what);
            QCOMPARE(pdf417::TheScanner().Received(), 2u);
        }
        // Answering "Sí" drops the symbols, and only then.
        QStringList texts;
        bool missed = false;
        AnswerBox(QString::fromUtf8("Atenção"), "Sim", &texts, &missed, {}, [&] {
            WhenModal<QFileDialog>([&](QFileDialog* d) {
                d->reject();
                AnswerBox(QString::fromUtf8("Atenção"), QString::fromUtf8("Sí"), &texts, &missed);
            }, &missed);
        });
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 10000);
        QVERIFY(!missed);
        QVERIFY(!pdf417::TheScanner().IsOpen());
        QCOMPARE(pdf417::TheScanner().Received(), 0u);
    }

    void aPortThatDoesNotOpen() {
        QSettings().setValue("Scanner Port/Port name", QString::fromStdString(work_.File("none")));
        PDFCapture window(nullptr, pdf417::TheScanner());
        window.show();
        QStringList texts;
        bool missed = false;
        Answer("OK", &texts, &missed, [&] { Answer("Cancelar", &texts, &missed); });
        QTest::mouseClick(window.StartButton(), Qt::LeftButton);
        QVERIFY(!missed);
        QCOMPARE(texts.size(), 2);
        QVERIFY2(texts[0].startsWith(QString::fromStdString("Erro na porta " + work_.File("none") + "|")),
                 qPrintable(texts[0]));
        QVERIFY(texts[1].endsWith(QString::fromUtf8("pode não ter\nsido corretamente inicializada.")));
        QVERIFY(window.StartButton()->isEnabled());
        QVERIFY(!window.StopButton()->isEnabled());
    }

    void settingsDialogKeepsTheProfile() {
        PDFCapture window(nullptr, pdf417::TheScanner());
        window.show();
        // The dump in the fixed-pitch font the other windows use.
        QCOMPARE(window.Dump()->font().family(), FixedPitchFont().family());
        QVERIFY(QFontInfo(window.Dump()->font()).fixedPitch());
        // Nothing stored: what the capture uses; "Aceptar" unchanged stores just that.
        bool missed = false;
        WhenModal<SerialConfigDlg>([&](SerialConfigDlg* d) {
            QCOMPARE(d->Port()->currentText(), QString("COM1:"));
            QCOMPARE(d->Speed()->currentText(), QString("115200"));
            QCOMPARE(d->ByteLength()->currentText(), QString("8"));
            QCOMPARE(d->Parity()->currentText(), QString("Nenhuma"));
            QCOMPARE(d->StopBits()->currentText(), QString("1"));
            QCOMPARE(d->Handshake()->currentText(), QString::fromUtf8("Ningún"));
            guitest::Screenshot(d, "pdf417_serial_config");
            QTest::mouseClick(d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        }, &missed);
        QTest::mouseClick(window.ConfigureButton(), Qt::LeftButton);
        QVERIFY(!missed);
        QCOMPARE(QSettings().value("Scanner Port/Byte length").toInt(), 3);
        QCOMPARE(QSettings().value("Scanner Port/Handshake").toInt(), 0);

        QSettings().setValue("Scanner Port/Port name", "COM3:");
        WhenModal<SerialConfigDlg>([&](SerialConfigDlg* d) {
            QCOMPARE(d->Port()->currentIndex(), 2);
            d->Port()->setFocus();
            QTest::keyClick(d->Port(), Qt::Key_Down);
            QCOMPARE(d->Port()->currentText(), QString("COM4:"));
            d->Parity()->setCurrentIndex(2);
            QTest::keyClick(d, Qt::Key_Return);
        }, &missed);
        QTest::mouseClick(window.ConfigureButton(), Qt::LeftButton);
        QVERIFY(!missed);
        QSettings p;
        QCOMPARE(p.value("Scanner Port/Port name").toString(), QString("COM4:"));
        QCOMPARE(p.value("Scanner Port/Parity").toInt(), 2);
        QCOMPARE(p.value("Scanner Port/Baud rate").toInt(), 7);
        QCOMPARE(p.value("Scanner Port/Byte length").toInt(), 3);

        // A device path typed by hand is kept as it is.
        WhenModal<SerialConfigDlg>([&](SerialConfigDlg* d) {
            d->Port()->lineEdit()->selectAll();
            QTest::keyClicks(d->Port()->lineEdit(), "/dev/ttyACM0");
            d->accept();
        }, &missed);
        QTest::mouseClick(window.ConfigureButton(), Qt::LeftButton);
        QCOMPARE(QSettings().value("Scanner Port/Port name").toString(), QString("/dev/ttyACM0"));
    }

    void decodesBitmapsThroughTheLibrary() {
        const std::vector<std::string> symbols = sim::ScannerSymbols(Journal());
        std::vector<std::string> files;
        std::string error;
        QVERIFY2(sim::WritePdf417Pictures(work_.path(), symbols, "bmp", files, error), error.c_str());
        MfdCommandTable table;
        AddPdf417Commands(table);
        QVERIFY(table.count(32783) && table.count(32776));
        QWidget parent;
        parent.show();
        FakeContext ctx;
        ctx.window = &parent;
        const QString out = QString::fromStdString(work_.File("bitmaps.mra"));
        bool missed = false;
        WhenModal<QFileDialog>([&](QFileDialog* d) {
            QCOMPARE(d->windowTitle(), QString("Seleccione los Archivos"));
            d->setDirectory(QString::fromStdString(work_.path()));
            WhenModal<QFileDialog>([&](QFileDialog* s) { guitest::AcceptPath(s, out); }, &missed);
            guitest::SelectPath(d, "");
            d->findChild<QLineEdit*>("fileNameEdit")->setText("\"symbol_002.bmp\" \"symbol_000.bmp\" \"symbol_001.bmp\"");
            static_cast<QDialog*>(d)->accept();
        }, &missed);
        table[32776](ctx);
        QVERIFY(!missed);
        QCOMPARE(ctx.results, (std::vector<int>{0, 0, 0, 0, 0}));
        QCOMPARE(ctx.offered, (std::vector<std::string>{out.toStdString()}));
        std::string bytes;
        QVERIFY(ReadWholeFile(out.toStdString(), bytes));
        QVERIFY(bytes == fm::BuildAuditFile(Journal()));

        // A file that is no picture: its code, and the command ends there.
        WriteFileAtomically(work_.File("nota.bmp"), "no picture");
        FakeContext bad;
        bad.window = &parent;
        WhenModal<QFileDialog>([&](QFileDialog* d) {
            WhenModal<QFileDialog>([&](QFileDialog* s) { guitest::AcceptPath(s, QString::fromStdString(work_.File("bad.mra"))); }, &missed);
            guitest::AcceptPath(d, QString::fromStdString(work_.File("nota.bmp")));
        }, &missed);
        table[32776](bad);
        QCOMPARE(bad.results, (std::vector<int>{0, 17}));
        QVERIFY(bad.offered.empty());
        QVERIFY2(!bad.messages.empty() && bad.messages.back().find("nota.bmp: ") != std::string::npos,
                 "the refused picture is named");

        // Two of three pictures: which symbol is missing, and a file only when the user agrees.
        for (bool agree : {false, true}) {
            FakeContext part;
            part.window = &parent;
            part.answer = agree;
            const QString partial = QString::fromStdString(work_.File(agree ? "part_yes.mra" : "part_no.mra"));
            WhenModal<QFileDialog>([&](QFileDialog* d) {
                d->setDirectory(QString::fromStdString(work_.path()));
                WhenModal<QFileDialog>([&](QFileDialog* s) { guitest::AcceptPath(s, partial); }, &missed);
                guitest::SelectPath(d, "");
                d->findChild<QLineEdit*>("fileNameEdit")->setText("\"symbol_002.bmp\" \"symbol_000.bmp\"");
                static_cast<QDialog*>(d)->accept();
            }, &missed);
            table[32776](part);
            QVERIFY(!missed);
            QVERIFY(!part.messages.empty());
            QVERIFY2(part.messages.back().rfind("Faltan 1 de 3 s\xEDmbolos: 2", 0) == 0, part.messages.back().c_str());
            std::string written;
            QCOMPARE(ReadWholeFile(partial.toStdString(), written), agree);
            QCOMPARE(part.offered.size(), agree ? size_t{1} : size_t{0});
            if (agree)
                QVERIFY(written == fm::BuildAuditFile(symbols[0].substr(8, symbols[0].size() - 10) +
                                                      symbols[2].substr(8, symbols[2].size() - 10)));
        }
    }
};

QTEST_MAIN(Pdf417CaptureTest)
#include "pdf417_capture_test.moc"
