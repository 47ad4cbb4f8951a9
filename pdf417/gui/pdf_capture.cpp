#include "pdf417/gui/pdf_capture.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include "engine/strings.h"
#include "pdf417/gui/serial_config_dlg.h"
#include "shell/gui/gui_support.h"

namespace ordavo::gui {

PDFCapture::PDFCapture(QWidget* parent, pdf417::PDFScanner& scanner) : QDialog(parent), scanner_(scanner) {
    setObjectName("PDFCapture");
    setWindowTitle("pdf 417");
    expected_ = new QLineEdit(this);
    expected_->setObjectName("expected");
    received_ = new QLineEdit(this);
    received_->setObjectName("received");
    for (QLineEdit* e : {expected_, received_}) {
        e->setReadOnly(true);
        e->setMaximumWidth(90);
    }
    status_ = new QLabel(this);
    status_->setObjectName("status");
    status_->setMinimumWidth(300);
    dump_ = new QTextEdit(this);
    dump_->setObjectName("dump");
    dump_->setReadOnly(true);
    dump_->setLineWrapMode(QTextEdit::NoWrap);
    dump_->setFont(FixedPitchFont());
    dump_->setMinimumSize(380, 220);
    start_ = new QPushButton("&Iniciar", this);
    start_->setObjectName("start");
    stop_ = new QPushButton("&Parar", this);
    stop_->setObjectName("stop");
    configure_ = new QPushButton(QStr(IDS_CONFIGURAR), this);
    configure_->setObjectName("configure");

    auto* counts = new QGridLayout;
    counts->addWidget(new QLabel(QStr(IDS_TOTAL_SIMBOLOS), this), 0, 0);
    counts->addWidget(expected_, 0, 1);
    counts->addWidget(new QLabel(QStr(IDS_SIMBOLOS_LEIDOS), this), 1, 0);
    counts->addWidget(received_, 1, 1);
    auto* result = new QGroupBox(QStr(IDS_RESULTADO_LECTURA), this);
    (new QVBoxLayout(result))->addWidget(status_);
    auto* dump = new QGroupBox("Dump", this);
    (new QVBoxLayout(dump))->addWidget(dump_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(start_);
    buttons->addWidget(stop_);
    buttons->addStretch(1);
    buttons->addWidget(configure_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(counts);
    layout->addWidget(result);
    layout->addWidget(dump, 1);
    layout->addLayout(buttons);

    connect(start_, &QPushButton::clicked, this, &PDFCapture::OnStart);
    connect(stop_, &QPushButton::clicked, this, &PDFCapture::OnStop);
    connect(configure_, &QPushButton::clicked, this, &PDFCapture::OnConfigure);
    InstallHelpKey(this);
    // The window starts where the last capture left it: the port is closed, its texts kept.
    scanner_.SetUi(this);
    SetCapturing(scanner_.IsOpen());
    ShowTexts(scanner_.Texts());
}

PDFCapture::~PDFCapture() { CloseScanner(); }

void PDFCapture::CloseScanner() {
    // The monitor thread must not call into a window that goes away.
    scanner_.ClosePort();
    scanner_.SetUi(nullptr);
}

void PDFCapture::reject() {
    // Escape or closing the window: a captured series goes the way "&Parar" takes it, with
    // its questions; the window stays open when the series is kept.
    if (scanner_.Saving()) return;
    if (scanner_.Received() > 0 && !scanner_.SaveCapture()) return;
    CloseScanner();
    QDialog::reject();
}

void PDFCapture::SetCapturing(bool on) {
    start_->setEnabled(!on);
    stop_->setEnabled(on);
}

void PDFCapture::OnStart() {
    scanner_.SetUi(this);
    if (!scanner_.Start(profile_)) return;
    SetCapturing(true);
    ShowTexts(pdf417::CaptureTexts());
}

void PDFCapture::OnStop() {
    if (!stop_->isEnabled()) return;
    if (scanner_.SaveCapture()) SetCapturing(false);
}

void PDFCapture::OnConfigure() {
    SerialConfigDlg dialog(this, profile_);
    dialog.exec();
}

void PDFCapture::Post(std::function<void()> task) {
    // Queued to this window: dropped if the window is gone by then.
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

pdf417::Answer PDFCapture::Ask(const std::string& text, const std::string& caption, pdf417::Buttons buttons,
                               pdf417::Icon icon) {
    QMessageBox box(DialogParent(this));
    box.setWindowTitle(Q(caption));
    box.setText(Q(text));
    switch (icon) {
        case pdf417::Icon::kNone: box.setIcon(QMessageBox::NoIcon); break;
        case pdf417::Icon::kInformation: box.setIcon(QMessageBox::Information); break;
        case pdf417::Icon::kExclamation: box.setIcon(QMessageBox::Warning); break;
        case pdf417::Icon::kQuestion: box.setIcon(QMessageBox::Question); break;
        case pdf417::Icon::kStop: box.setIcon(QMessageBox::Critical); break;
    }
    std::vector<std::pair<QAbstractButton*, pdf417::Answer>> answers;
    auto add = [&](const QString& caption, QMessageBox::ButtonRole role, pdf417::Answer a) {
        QPushButton* b = box.addButton(caption, role);
        answers.emplace_back(b, a);
        return b;
    };
    switch (buttons) {
        case pdf417::Buttons::kOk:
            box.setDefaultButton(add("OK", QMessageBox::AcceptRole, pdf417::Answer::kOk));
            break;
        case pdf417::Buttons::kRetryCancel:
            box.setDefaultButton(add("Repetir", QMessageBox::AcceptRole, pdf417::Answer::kRetry));
            box.setEscapeButton(add("Cancelar", QMessageBox::RejectRole, pdf417::Answer::kCancel));
            break;
        case pdf417::Buttons::kYesNoCancel:
            box.setDefaultButton(add("Sim", QMessageBox::YesRole, pdf417::Answer::kYes));
            add(QString::fromUtf8("N\u00e3o"), QMessageBox::NoRole, pdf417::Answer::kNo);
            box.setEscapeButton(add("Cancelar", QMessageBox::RejectRole, pdf417::Answer::kCancel));
            break;
        case pdf417::Buttons::kYesNo:
            // Escape, and the default, keep what there is.
            add(QString::fromUtf8("S\u00ed"), QMessageBox::YesRole, pdf417::Answer::kYes);
            box.setDefaultButton(add("No", QMessageBox::NoRole, pdf417::Answer::kNo));
            box.setEscapeButton(box.defaultButton());
            break;
    }
    InstallHelpKey(&box);
    box.exec();
    for (const auto& [b, a] : answers)
        if (box.clickedButton() == b) return a;
    return buttons == pdf417::Buttons::kOk ? pdf417::Answer::kOk : pdf417::Answer::kCancel;
}

void PDFCapture::ShowTexts(const pdf417::CaptureTexts& t) {
    expected_->setText(Q(t.expected));
    received_->setText(Q(t.received));
    status_->setText(Q(t.status));
    dump_->setPlainText(Q(t.dump));
}

void PDFCapture::Beep() {
    // No tone of a chosen pitch on every desktop: its bell.
    QApplication::beep();
}

void PDFCapture::Stop() { OnStop(); }

bool PDFCapture::ChooseSaveFile(std::string& path) {
    return gui::ChooseSaveFile(this, "", "", pdf417::kCaptureDefaultExt, pdf417::kCaptureFilter, path);
}

}  // namespace ordavo::gui
