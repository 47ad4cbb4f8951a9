#include "params/gui/command_dialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "engine/env.h"
#include "params/core/editar_valor.h"
#include "params/gui/qt_value_editors.h"
#include "params/gui/value_dialogs.h"
#include "shell/core/menu_model.h"
#include "shell/gui/gui_support.h"
#include "shell/gui/main_window.h"

namespace ordavo::gui {

CommandDialog::CommandDialog(const Comando& command, QWidget* parent, ValueEditors* editors)
    : QDialog(parent), form_(command) {
    setObjectName("CommandDialog");
    if (!editors) {
        own_editors_ = std::make_unique<QtValueEditors>(this);
        editors = own_editors_.get();
    }
    editors_ = editors;

    // The opening steps 1 to 4: captions, the slots, their labels and limits.
    setWindowTitle(Q(command.titulo));
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(12, 10, 12, 12);
    outer->setSpacing(12);

    group_ = new QGroupBox(Q(textos::kParametros), this);
    group_->setObjectName("parameters");
    auto* group_layout = new QVBoxLayout(group_);
    group_layout->setContentsMargins(6, 8, 6, 6);
    scroll_ = new QScrollArea(group_);
    scroll_->setObjectName("rows");
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* rows = new QWidget(scroll_);
    auto* rows_layout = new QVBoxLayout(rows);
    rows_layout->setContentsMargins(4, 4, 4, 4);
    rows_layout->setSpacing(4);

    // Twelve slots; a command with more parameters gets a slot for each, and the rows scroll.
    const int count = std::max(CommandForm::kSlots, form_.RowCount());
    int label_width = 0;
    for (int k = 0; k < form_.RowCount(); ++k)
        label_width = std::max(label_width, fontMetrics().horizontalAdvance(Q(form_.Label(k))));
    label_width = std::clamp(label_width + 8, 140, 320);
    for (int k = 0; k < count; ++k) {
        Slot s;
        s.row = new QWidget(rows);
        auto* h = new QHBoxLayout(s.row);
        h->setContentsMargins(0, 0, 0, 0);
        h->setSpacing(8);
        s.label = new QLabel(s.row);
        s.label->setObjectName(QString("label%1").arg(k + 1));
        s.label->setTextFormat(Qt::PlainText);
        s.label->setFixedWidth(label_width);
        s.edit = new QLineEdit(s.row);
        s.edit->setObjectName(QString("edit%1").arg(k + 1));
        s.edit->setMinimumWidth(260);
        s.button = new QPushButton(Q(textos::kEditar), s.row);
        s.button->setObjectName(QString("editar%1").arg(k + 1));
        s.button->setAutoDefault(false);
        h->addWidget(s.label);
        h->addWidget(s.edit, 1);
        h->addWidget(s.button);
        rows_layout->addWidget(s.row);
        slots_.push_back(s);
        if (k >= form_.RowCount()) {
            s.row->hide();
            continue;
        }
        s.label->setText(Q(form_.Label(k)));
        s.edit->setMaxLength(form_.MaxLength(k));
        // What the user types is the row's text; programmatic changes keep the full text.
        connect(s.edit, &QLineEdit::textEdited, this,
                [this, k](const QString& text) { form_.SetRow(k, Cp(text)); });
        connect(s.button, &QPushButton::clicked, this, [this, k] { EditRow(k); });
        if (form_.Hidden(k)) s.row->hide();
    }
    rows_layout->addStretch(1);
    scroll_->setWidget(rows);
    group_layout->addWidget(scroll_);
    outer->addWidget(group_, 1);

    // Twelve rows fit; further ones scroll.
    int visible = 0;
    for (int k = 0; k < form_.RowCount(); ++k) visible += form_.Hidden(k) ? 0 : 1;
    int row_height = slots_.empty() ? 28 : slots_[0].row->sizeHint().height();
    int shown = std::clamp(visible, 1, CommandForm::kSlots);
    scroll_->setMinimumHeight(shown * (row_height + rows_layout->spacing()) + 8);
    scroll_->setMinimumWidth(label_width + 260 + 90 + 40);

    auto* buttons = new QVBoxLayout();
    ok_ = new QPushButton(Q(textos::kOk), this);
    ok_->setObjectName("ok");
    // An ordinary button: Enter does not run the command.
    ok_->setAutoDefault(false);
    ok_->setDefault(false);
    connect(ok_, &QPushButton::clicked, this, [this] { RunStep(); });
    cancel_ = new QPushButton(this);
    cancel_->setObjectName("cancel");
    CaptionAnular(cancel_);
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addStretch(1);
    outer->addLayout(buttons);
    InstallHelpKey(this);
}

CommandDialog::~CommandDialog() = default;

int CommandDialog::exec() {
    if (form_.Open(*editors_)) {
        RunStep();
        return result();
    }
    ShowRows();
    return QDialog::exec();
}

void CommandDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ok_->setFocus();
}

void CommandDialog::ShowRows() {
    for (int k = 0; k < form_.RowCount(); ++k) {
        QLineEdit* e = slots_[static_cast<size_t>(k)].edit;
        QString text = Q(form_.Row(k));
        // An editor's answer may be longer than the box lets the user type: it is shown whole.
        if (text.size() > e->maxLength()) e->setMaxLength(static_cast<int>(text.size()));
        if (e->text() != text) e->setText(text);
    }
}

void CommandDialog::EditRow(int k) {
    if (form_.Edit(k, *editors_)) ShowRows();
}

void CommandDialog::RunStep() {
    if (form_.Ran()) return;
    ok_->setEnabled(false);
    form_.Run(*EngineEnv().ui);
    done(QDialog::Accepted);
}

void CommandDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

int RunCommandDialog(QWidget* parent, const Comando& command) {
    CommandDialog dialog(command, parent);
    return dialog.exec();
}

void RegisterParameterWindows() {
    static QtValueEditors editors;
    SetCurrentEditors(&editors);
    SetCommandFormOpener([](QWidget* parent, Comando command) { RunCommandDialog(parent, command); });
    SetMenuWindowOpener(ID_CLICHE_GRAFICO, [](QWidget* parent) {
        GraphicClicheDlg dialog(parent);
        dialog.exec();
    });
}

}  // namespace ordavo::gui
