// The download-in-parts window and the diagnosis command of the fiscal-memory window, driven
// with real clicks and keys, over a fake printer, a fake library and a fake clock.
#include <QDateEdit>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/env.h"
#include "engine/strings.h"
#include "engine/util.h"
#include "fiscalmemory/gui/download_parts_dlg.h"
#include "fiscalmemory/gui/mfd_commands.h"
#include "shell/core/settings.h"
#include "shell/gui/gui_support.h"
#include "shell/gui/progress_wnd.h"
#include "shell/gui/qt_user_interface.h"
#include "tests/gui/gui_test_util.h"
#include "tests/support/fake_clock.h"

using namespace ordavo;
using namespace ordavo::gui;
using ordavo::guitest::Screenshot;
using ordavo::guitest::WhenModal;

namespace {

// The printer: status "04" at the given attempt (0: never), the addresses 100 to 150.
class FakePrinter : public CommandRunner {
public:
    int found_at = 1;
    int searches = 0;
    std::vector<std::string> dates;
    int32_t Run(Comando& c) override {
        if (c.escape != "62 95 97") return 0;
        ++searches;
        dates = {c.parametros[1].valor, c.parametros[2].valor};
        bool found = found_at && searches >= found_at;
        c.retornos[0].valor_formatado = found ? "04" : "01";
        c.retornos[1].valor_formatado = "00000100";
        c.retornos[2].valor_formatado = "00000150";
        return 0;
    }
};

// Counts the paintings of a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// The library; sees what the window shows at each call.
class FakeLibrary : public AddressLibrary {
public:
    struct Seen {
        std::string first, last;
        QString status;
        int paints;
    };
    DialogDownloadInParts* dlg = nullptr;
    PaintCounter* counter = nullptr;
    std::vector<Seen> seen;
    std::function<void(int)> on_call;

    Load Open() override { return Load::Ok; }
    void Close() override {}
    int DownloadByAddress(const std::string&, const std::string& file, const std::string& kind,
                          const std::string& first, const std::string& last, const std::string&, int) override {
        seen.push_back({first, last, dlg->StatusView()->toPlainText(), counter->paints});
        if (on_call) on_call(static_cast<int>(seen.size()));
        WriteFileAtomically(file, (kind == "0" ? "SIG" : "") + first + "-" + last + ";");
        return kind == "0" ? 0 : 1;
    }
};

class Context : public MfdContext {
public:
    explicit Context(QWidget* w) : window(w) {}
    QWidget* Window() override { return window; }
    std::string LibraryName() const override { return kFiscalLibraryES; }
    bool FetchSerialNumber(std::string& s) override {
        ++serial_asked;
        s = serial;
        return true;
    }
    void ShowLibraryResult(int) override {}
    void OfferToOpen(const std::string& path) override { offered.push_back(path); }
    std::string& Brand() override { return brand; }
    std::string& Model() override { return model; }
    bool LoadFiscalLibrary(FiscalLibrary&, bool) override { return false; }
    int RunLibraryCall(FiscalLibrary&, const std::string&, const std::function<int()>& call) override { return call(); }
    std::string FetchPublicKey(const std::string&, FiscalLibrary&, const std::string&, bool) override { return ""; }
    void ValidateSignedFile(const std::string&, const std::string&) override {}
    void SignedDownloadTail(const std::string&, FiscalLibrary&, const std::string&, bool) override {}
    bool Message(const std::string& text, const std::string&, MsgButtons, MsgIcon) override {
        messages.push_back(text);
        return true;
    }
    std::vector<std::string> messages;

    QWidget* window;
    std::string serial = "TV0000000042";
    int serial_asked = 0;
    std::vector<std::string> offered;
    std::string brand, model;
};

// Types a date into a date edit, as a user would: each section selected, then its digits.
void TypeDate(QDateEdit* edit, const QString& day, const QString& month, const QString& year) {
    edit->setFocus();
    const std::pair<QDateTimeEdit::Section, QString> parts[] = {
        {QDateTimeEdit::DaySection, day}, {QDateTimeEdit::MonthSection, month}, {QDateTimeEdit::YearSection, year}};
    for (const auto& [section, digits] : parts) {
        edit->setSelectedSection(section);
        QTest::keyClicks(edit, digits);
    }
}

}  // namespace

class DownloadPartsWindowTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir profile_;
    QTemporaryDir work_;
    guitest::Watchdog watchdog_;
    QtUserInterface ui_;
    test::FakeClock clock_;
    FakePrinter printer_;
    FakeLibrary library_;
    PaintCounter counter_;

    DialogDownloadInParts* NewWindow(QWidget* parent = nullptr) {
        printer_ = FakePrinter();
        library_.seen.clear();
        library_.on_call = nullptr;
        clock_.ClearSleeps();
        auto* dlg = new DialogDownloadInParts(parent, {&library_, &printer_, &clock_});
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        library_.dlg = dlg;
        counter_.paints = 0;
        dlg->StatusView()->viewport()->installEventFilter(&counter_);
        library_.counter = &counter_;
        dlg->show();
        return dlg;
    }

private slots:
    void initTestCase() {
        guitest::IsolateProfile(profile_.path());
        GetSettings().Reset();
        GetSettings().AppDirectory = NativePath(work_.path());
        GetSettings().PortName = "/dev/ttyFAKE";
        EngineEnv().ui = &ui_;
    }
    void init() { watchdog_.Arm(); }
    void cleanup() {
        guitest::CancelPendingModalActions();
        QString unanswered = watchdog_.Disarm();
        QVERIFY2(unanswered.isEmpty(), qPrintable("unanswered windows: " + unanswered));
    }

    void downloadShowsItsStatusAsItGrows() {
        QPointer<DialogDownloadInParts> dlg = NewWindow();
        QVERIFY(QTest::qWaitForWindowExposed(dlg));
        QCOMPARE(dlg->windowTitle(), QString("Download in packets"));
        QCOMPARE(dlg->FirstDate()->date(), QDate::currentDate());
        QCOMPARE(dlg->LastDate()->date(), QDate::currentDate());
        QCOMPARE(dlg->CancelButton()->text(), QString("Anular"));
        QStringList labels;
        for (QLabel* l : dlg->findChildren<QLabel*>()) labels << l->text();
        QCOMPARE(labels, (QStringList{"Fecha Inicial:", "Fecha Final:", "Status:"}));
        TypeDate(dlg->FirstDate(), "01", "03", "2009");
        TypeDate(dlg->LastDate(), "31", "03", "2009");
        QCOMPARE(dlg->FirstDate()->date(), QDate(2009, 3, 1));
        QCOMPARE(dlg->LastDate()->date(), QDate(2009, 3, 31));

        const QString out = work_.path() + "/mra.mfd";
        bool missed = false;
        WhenModal<QFileDialog>([out](QFileDialog* d) { guitest::AcceptPath(d, out); }, &missed);
        QTest::mouseClick(dlg->OkButton(), Qt::LeftButton);
        QVERIFY(!missed);
        QCOMPARE(dlg->LastOutcome(), DownloadInParts::Outcome::Complete);
        // The first day of the range, then the last.
        QCOMPARE(printer_.dates, (std::vector<std::string>{"01/03/09", "31/03/09"}));
        QCOMPARE(clock_.Sleeps(), std::vector<int>{4000});

        // Each part's line is on the screen, freshly painted, when its call starts.
        QCOMPARE(library_.seen.size(), size_t(6));
        for (size_t i = 1; i + 1 < library_.seen.size(); ++i) {
            const FakeLibrary::Seen& s = library_.seen[i];
            QVERIFY2(s.status.endsWith(QString::fromStdString("End ini:" + s.first + " End final:" + s.last)),
                     qPrintable(s.status));
            QVERIFY(s.paints > library_.seen[i - 1].paints);
        }
        QVERIFY(library_.seen[0].status.endsWith("Fazendo download dos 6 setoreres iniciais da MFD.."));
        QVERIFY(QFileInfo::exists(out + "RSA"));
        // The window stays open for another download.
        QVERIFY(dlg->isVisible());
        QVERIFY(dlg->OkButton()->isEnabled());
        Screenshot(dlg, "download_in_parts");
        dlg->close();
        QTRY_VERIFY(dlg.isNull());
    }

    void addressesNeverFound() {
        QPointer<DialogDownloadInParts> dlg = NewWindow();
        printer_.found_at = 0;
        QVERIFY(QTest::qWaitForWindowExposed(dlg));
        QString message;
        WhenModal<QMessageBox>([&message](QMessageBox* box) {
            message = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        QTest::mouseClick(dlg->OkButton(), Qt::LeftButton);
        QCOMPARE(message, QString("N\u00e3o achou!!"));
        QCOMPARE(printer_.searches, 100);
        QVERIFY(library_.seen.empty());
        dlg->close();
        QTRY_VERIFY(dlg.isNull());
    }

    void anularStopsBetweenPartsAndThenCloses() {
        QPointer<DialogDownloadInParts> dlg = NewWindow();
        QVERIFY(QTest::qWaitForWindowExposed(dlg));
        // The user presses "Anular" while the second part is fetched.
        library_.on_call = [this](int n) {
            if (n == 2) QTest::mouseClick(library_.dlg->CancelButton(), Qt::LeftButton);
        };
        const QString out = work_.path() + "/stopped.mfd";
        WhenModal<QFileDialog>([out](QFileDialog* d) { guitest::AcceptPath(d, out); });
        QTest::mouseClick(dlg->OkButton(), Qt::LeftButton);
        QCOMPARE(dlg->LastOutcome(), DownloadInParts::Outcome::Cancelled);
        QCOMPARE(library_.seen.size(), size_t(2));  // the initial sectors and one part
        QVERIFY(dlg->StatusView()->toPlainText().endsWith("\nDownload Anulado"));
        QVERIFY(dlg->isVisible());
        QVERIFY(!QFileInfo::exists(out + "RSA"));
        Screenshot(dlg, "download_in_parts_cancelled");
        QTest::mouseClick(dlg->CancelButton(), Qt::LeftButton);
        QTRY_VERIFY(dlg.isNull());
    }

    void menuCommandsOfTheFiscalMemoryWindow() {
        QWidget window;
        window.show();
        Context ctx(&window);
        MfdCommandTable table;
        AddDiagnosisCommands(table);
        QVERIFY(table.count(32788));
        QVERIFY(table.count(32834));

        // 32834: a modeless download window over the fiscal-memory window.
        table[32834](ctx);
        auto windows = window.findChildren<DialogDownloadInParts*>();
        QCOMPARE(windows.size(), qsizetype(1));
        QPointer<DialogDownloadInParts> dlg = windows.front();
        QVERIFY(QTest::qWaitForWindowExposed(dlg));
        QVERIFY(!dlg->isModal());
        QTest::keyClick(dlg, Qt::Key_Escape);
        QTRY_VERIFY(dlg.isNull());

        // 32788: the serial names the report proposed; the analysis goes to the application
        // directory and is offered for opening.
        const QString report = work_.path() + "/relacion.txt";
        QVERIFY(WriteFileAtomically(NativePath(report), "                    COO:000120\r\n"
                                                        "                    COO:000123\r\na\r\nb\r\nc\r\nd\r\n"));
        QString proposed, title;
        bool missed = false;
        WhenModal<QFileDialog>(
            [&, report](QFileDialog* d) {
                title = d->windowTitle();
                proposed = d->selectedFiles().value(0);
                guitest::AcceptPath(d, report);
            },
            &missed);
        table[32788](ctx);
        QVERIFY(!missed);
        QCOMPARE(ctx.serial_asked, 1);
        QCOMPARE(title, QString("Relacion de la MA"));
        QVERIFY2(QFileInfo(proposed).fileName().startsWith("TV0000000042"), qPrintable(proposed));
        const std::string out = GetSettings().AppDirectory + "/diagnostico_mfd.txt";
        QCOMPARE(ctx.offered, std::vector<std::string>{out});
        std::string text;
        QVERIFY(ReadWholeFile(out, text));
        QVERIFY(text.find("Perda de documento(s): 121 a 122\r\n") != std::string::npos);
    }
};

QTEST_MAIN(DownloadPartsWindowTest)
#include "download_parts_window_test.moc"
