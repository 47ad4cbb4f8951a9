#include "fiscalmemory/gui/download_parts_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateEdit>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include "engine/env.h"
#include "engine/strings.h"
#include "engine/util.h"
#include "shell/gui/gui_support.h"

namespace ordavo::gui {
namespace {

constexpr const char* kCaption = "Download in packets";
constexpr const char* kOutputFilter = "Arquivos de MFD (*.mfd)|*.mfd|Todos os Arquivos (*.*)|*.*||";

// Waits by running the window's events, so that it repaints and "Anular" can be pressed.
class EventLoopClock : public Clock {
public:
    void SleepMs(int ms) override {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
};

CalendarDate FromQDate(const QDate& d) { return {d.day(), d.month(), d.year()}; }

}  // namespace

// The download's view of the window.
class DialogDownloadInParts::View : public DownloadPartsView {
public:
    explicit View(DialogDownloadInParts& dlg) : dlg_(dlg) {}

    void ShowStatus(const std::string& status) override {
        std::string shown = status;
        ReplaceAll(shown, "\r\n", "\n");
        dlg_.status_->setPlainText(Q(shown));
        QScrollBar* bar = dlg_.status_->verticalScrollBar();
        bar->setValue(bar->maximum());
        // Painted now: the library calls that follow hold the window for a while.
        dlg_.status_->viewport()->repaint();
    }
    bool ChooseOutputFile(std::string& path) override {
        return ChooseSaveFile(&dlg_, "", "", "*.mfd", kOutputFilter, path);
    }
    void Message(const std::string& text) override {
        QMessageBox box(QMessageBox::NoIcon, QStr(IDS_ORDAVO), Q(text), QMessageBox::Ok, &dlg_);
        box.exec();
    }
    bool CancelRequested() override {
        QApplication::processEvents();
        return dlg_.stop_requested_;
    }

private:
    DialogDownloadInParts& dlg_;
};

DialogDownloadInParts::DialogDownloadInParts(QWidget* parent, Services services)
    : QDialog(parent), services_(services) {
    setObjectName("DialogDownloadInParts");
    setWindowTitle(kCaption);
    setModal(false);
    if (!services_.library) services_.library = (own_library_ = std::make_unique<FiscalAddressLibrary>()).get();
    if (!services_.runner) services_.runner = (own_runner_ = std::make_unique<CommandRunner>()).get();
    if (!services_.clock) services_.clock = (own_clock_ = std::make_unique<EventLoopClock>()).get();

    auto date_edit = [this](const char* name) {
        auto* edit = new QDateEdit(QDate::currentDate(), this);
        edit->setObjectName(name);
        edit->setCalendarPopup(true);
        edit->setDisplayFormat("dd/MM/yyyy");
        return edit;
    };
    first_ = date_edit("firstDate");  // control 1327, above
    last_ = date_edit("lastDate");    // control 1328, below
    status_ = new QPlainTextEdit(this);  // control 1329
    status_->setObjectName("status");
    status_->setReadOnly(true);
    status_->setMinimumHeight(160);

    {
        OkAnularButtons pair = MakeOkAnularButtons(this);
        ok_ = pair.ok;
        cancel_ = pair.cancel;
    }
    connect(ok_, &QPushButton::clicked, this, &DialogDownloadInParts::RunDownload);
    connect(cancel_, &QPushButton::clicked, this, &DialogDownloadInParts::reject);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Fecha Inicial:", this), 0, 0);
    grid->addWidget(first_, 0, 1);
    grid->addWidget(new QLabel("Fecha Final:", this), 1, 0);
    grid->addWidget(last_, 1, 1);
    grid->setColumnStretch(2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(new QLabel("Status:", this));
    layout->addWidget(status_, 1);
    layout->addLayout(buttons);
    resize(440, 360);
    InstallHelpKey(this);
}

DialogDownloadInParts::~DialogDownloadInParts() = default;

void DialogDownloadInParts::RunDownload() {
    if (running_) return;
    running_ = true;
    stop_requested_ = false;
    ok_->setEnabled(false);
    View view(*this);
    DownloadInParts download(view, *services_.library, *services_.runner, *services_.clock,
                             EngineEnv().settings->PortName);
    // The printer takes the first day of the range first: the date under "Fecha Inicial:".
    outcome_ = download.Run(FromQDate(first_->date()), FromQDate(last_->date()));
    ok_->setEnabled(true);
    running_ = false;
    if (close_after_run_) {
        close_after_run_ = false;
        QTimer::singleShot(0, this, &DialogDownloadInParts::close);
    }
}

void DialogDownloadInParts::reject() {
    // "Anular" during a download stops it; the window stays to show where it stopped.
    if (running_) {
        stop_requested_ = true;
        return;
    }
    QDialog::reject();
}

void DialogDownloadInParts::closeEvent(QCloseEvent* event) {
    if (running_) {
        // Closed while the download runs: stop it, and close once it has stopped.
        stop_requested_ = true;
        close_after_run_ = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace ordavo::gui
