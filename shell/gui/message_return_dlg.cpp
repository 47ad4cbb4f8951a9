#include "shell/gui/message_return_dlg.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/strings.h"
#include "engine/util.h"
#include "shell/core/dump_format.h"
#include "shell/gui/gui_support.h"

namespace ordavo::gui {

MessageReturnDlg::MessageReturnDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("MessageReturnDlg");
    setWindowTitle(QStr(IDS_RESULTADO));

    view_ = new QPlainTextEdit(this);
    view_->setObjectName("text");
    view_->setReadOnly(true);
    view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    const QFont fixed = FixedPitchFont();
    view_->setFont(fixed);
    view_->setTabStopDistance(QFontMetricsF(fixed).horizontalAdvance(' ') * 8);

    view_button_ = new QPushButton(QStr(IDS_DUMP), this);
    view_button_->setObjectName("view");
    save_button_ = new QPushButton("Salvar", this);
    save_button_->setObjectName("save");
    close_button_ = new QPushButton(QStr(IDS_SALIR), this);
    close_button_->setObjectName("close");
    for (QPushButton* b : {view_button_, save_button_}) b->setAutoDefault(false);
    close_button_->setDefault(true);
    connect(view_button_, &QPushButton::clicked, this, &MessageReturnDlg::ToggleView);
    connect(save_button_, &QPushButton::clicked, this, &MessageReturnDlg::Save);
    connect(close_button_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(view_button_);
    buttons->addWidget(save_button_);
    buttons->addStretch(1);
    buttons->addWidget(close_button_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addLayout(buttons);

    // Wide enough for a dump line: offset, 48 hex columns and 16 characters.
    int columns = QFontMetrics(fixed).horizontalAdvance(QString(6 + 48 + 16 + 4, 'M'));
    resize(std::max(640, columns + 60), 460);
    InstallHelpKey(this);
}

void MessageReturnDlg::SetMessage(const std::string& message) {
    message_ = message;
    Refresh();
}

void MessageReturnDlg::SetDump(const std::string& record) {
    record_ = record;
    Refresh();
}

void MessageReturnDlg::Refresh() {
    std::string shown = showing_dump_ ? FormatDump(record_, true) : message_;
    view_->setPlainText(Q(TextForDisplay(shown)));
    view_button_->setText(showing_dump_ ? QStr(IDS_MENSAJE) : QStr(IDS_DUMP));
}

void MessageReturnDlg::ToggleView() {
    showing_dump_ = !showing_dump_;
    Refresh();
}

void MessageReturnDlg::Save() {
    std::string path;
    if (!ChooseSaveFile(this, "Salvar", "Msg_Ret", "*.txt", "Arquivos de Texto (*.txt)|*.txt|Todos os Arquivos (*.*)|*.*||",
                        path))
        return;
    OptionChoiceDlg option({QStr(IDS_MENSAJE), QStr(IDS_DUMP), QStr(IDS_MENSAJE) + " + " + QStr(IDS_DUMP)}, this);
    int choice = option.Run();
    if (choice == 0) return;
    std::string contents = ResultFileText(static_cast<SaveContent>(choice), message_, record_);
    std::string error;
    if (!WriteFileAtomically(path, contents, &error)) {
        QMessageBox::warning(this, QStr(IDS_RESULTADO),
                             QString("No fue posible grabar el archivo\n%1\n\n%2").arg(QPath(path), Q(error)));
        return;
    }
    OpenDocument(path);
}

OptionChoiceDlg::OptionChoiceDlg(const QStringList& captions, QWidget* parent) : QDialog(parent) {
    setObjectName("OptionChoiceDlg");
    setWindowTitle(" ");
    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i < captions.size(); ++i) {
        auto* button = new QPushButton(captions[i], this);
        button->setObjectName(QString("option%1").arg(i + 1));
        button->setAutoDefault(false);
        button->setMinimumWidth(220);
        connect(button, &QPushButton::clicked, this, [this, i] {
            choice_ = i + 1;
            accept();
        });
        layout->addWidget(button);
    }
    auto* cancel = new QPushButton(this);
    cancel->setObjectName("cancel");
    CaptionAnular(cancel);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    layout->addSpacing(8);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    InstallHelpKey(this);
}

int OptionChoiceDlg::Run() {
    choice_ = 0;
    return exec() == QDialog::Accepted ? choice_ : 0;
}

QString AboutBoxDlg::AboutText() {
    return QString("Proyecto Ordavo\n\nOrdavoes %1\nUtilidad de prueba y mantenimiento de impresoras fiscales")
        .arg(ORDAVO_VERSION);
}

AboutBoxDlg::AboutBoxDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutBoxDlg");
    InitResources();
    setWindowTitle(QStr(32867));
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(":/ordavo/ordavo.png").pixmap(64, 64));
    auto* empty = new QLabel(this);  // the product's second text stays empty
    empty->setObjectName("static1263");
    auto* text = new QLabel(AboutText(), this);
    text->setObjectName("static1316");
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* ok = new QPushButton("OK", this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(18, 18, 18, 18);
    grid->setHorizontalSpacing(18);
    grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(empty, 0, 1);
    grid->addWidget(text, 1, 1);
    grid->addWidget(ok, 0, 2, Qt::AlignTop);
    InstallHelpKey(this);
}

}  // namespace ordavo::gui
