#include "params/gui/value_dialogs.h"

#include <QAbstractSpinBox>

#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "engine/env.h"
#include "engine/util.h"
#include "shell/gui/gui_support.h"

namespace ordavo::gui {

QString DescriptionText(const std::string& cp1252) {
    std::string text = WithoutMnemonic(cp1252);
    ReplaceAll(text, "\r\n", "\n");
    return Q(text);
}

namespace {

constexpr int kAnyLength = 32767;

QValidator* Digits(QObject* parent) {
    return new QRegularExpressionValidator(QRegularExpression("[0-9]*"), parent);
}

QLineEdit* NumberBox(QWidget* parent, int max_length) {
    auto* e = new QLineEdit(parent);
    e->setValidator(Digits(e));
    e->setMaxLength(max_length);
    return e;
}

// Characters as the program counts them: a line break is CR LF.
int Cp1252Length(const QString& text) {
    return static_cast<int>(text.size() + text.count('\n'));
}

QString FromCrLf(const std::string& cp1252) {
    std::string text = cp1252;
    ReplaceAll(text, "\r\n", "\n");
    return Q(text);
}

}  // namespace

// A multi-line box with the limit of a Windows edit control: a change that would go beyond it is
// refused as a whole, the text and the caret stay as they were.
class LimitedTextEdit : public QPlainTextEdit {
  public:
    explicit LimitedTextEdit(QWidget* parent) : QPlainTextEdit(parent) {
        setTabChangesFocus(true);
        connect(this, &QPlainTextEdit::textChanged, this, [this] { Check(); });
    }
    void SetLimit(int n) {
        limit_ = n > 0 ? n : kAnyLength;
        Check();
    }
    void SetText(const std::string& cp1252) {
        setPlainText(FromCrLf(cp1252));
        Check();
    }
    // The text with CR LF line breaks, in Windows-1252.
    std::string Text() const { return BigStringAnswer(Cp(toPlainText()), 0); }

  private:
    void Check() {
        if (busy_) return;
        QString now = toPlainText();
        if (Cp1252Length(now) <= limit_) {
            accepted_ = now;
            accepted_caret_ = textCursor().position();
            return;
        }
        busy_ = true;
        QString keep = accepted_;
        // A text set from outside may be longer than the box allows: it is cut, not refused.
        if (Cp1252Length(keep) > limit_ || keep.isEmpty()) {
            keep = now;
            while (Cp1252Length(keep) > limit_) keep.chop(1);
        }
        setPlainText(keep);
        QTextCursor c = textCursor();
        c.setPosition(std::min<int>(accepted_caret_, static_cast<int>(keep.size())));
        setTextCursor(c);
        accepted_ = keep;
        busy_ = false;
    }

    int limit_ = kAnyLength;
    QString accepted_;
    int accepted_caret_ = 0;
    bool busy_ = false;
};

// ----------------------------------------------------------------------------- base

EditorDialog::EditorDialog(QWidget* parent, bool with_ok) : QDialog(parent) {
    setWindowTitle(QString());
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(16, 14, 16, 12);
    outer->setSpacing(10);
    description_ = new QLabel(this);
    description_->setObjectName("description");
    description_->setTextFormat(Qt::PlainText);
    description_->setWordWrap(true);
    description_->setMinimumWidth(260);
    description_->hide();
    outer->addWidget(description_);
    body_ = new QVBoxLayout();
    body_->setSpacing(8);
    outer->addLayout(body_);
    outer->addStretch(1);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    if (with_ok) {
        ok_ = new QPushButton("OK", this);
        ok_->setObjectName("ok");
        ok_->setDefault(true);
        connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
        buttons->addWidget(ok_);
    }
    cancel_ = new QPushButton(this);
    cancel_->setObjectName("cancel");
    CaptionAnular(cancel_);
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(cancel_);
    outer->addLayout(buttons);
    InstallHelpKey(this);
}

QWidget* EditorDialog::FirstField() const {
    auto usable = [](QWidget* w) { return w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus); };
    QPushButton* first_button = nullptr;
    QWidget* w = const_cast<EditorDialog*>(this);
    for (int guard = 0; guard < 1000; ++guard) {
        w = w->nextInFocusChain();
        if (!w || w == this) break;
        if (!usable(w)) continue;
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w))
            return w;
        auto* button = qobject_cast<QPushButton*>(w);
        if (button && !first_button && button != ok_ && button != cancel_) first_button = button;
    }
    return first_button;
}

void EditorDialog::FocusFirstField() {
    QWidget* field = FirstField();
    if (!field) return;
    field->setFocus(Qt::OtherFocusReason);
    if (auto* line = qobject_cast<QLineEdit*>(field))
        line->selectAll();
    else if (auto* text = qobject_cast<QPlainTextEdit*>(field))
        text->selectAll();
    else if (auto* spin = qobject_cast<QAbstractSpinBox*>(field))
        spin->selectAll();
}

void EditorDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    activateWindow();
    FocusFirstField();
    // Once more when the window system has made the window active (the focus of a window that
    // is not active yet is only remembered).
    QTimer::singleShot(0, this, [this] {
        QWidget* field = FirstField();
        if (field && !field->hasFocus()) FocusFirstField();
    });
}

void EditorDialog::SetDescription(const std::string& description) {
    description_->setText(DescriptionText(description));
    description_->setVisible(!description.empty());
}

// ----------------------------------------------------------------------------- text

GetStringDlg::GetStringDlg(QWidget* parent) : EditorDialog(parent) {
    setObjectName("GetStringDlg");
    edit_ = new QLineEdit(this);
    edit_->setObjectName("text");
    edit_->setMinimumWidth(320);
    Body()->addWidget(edit_);
    SetLimit(0);
}

void GetStringDlg::SetLimit(int n) {
    limit_ = n;
    edit_->setMaxLength(n > 0 ? n : kAnyLength);
}

void GetStringDlg::SetHex(bool hex) {
    hex_ = hex;
    edit_->setValidator(hex ? new QRegularExpressionValidator(QRegularExpression("[0-9A-Fa-f]*"), edit_)
                            : nullptr);
}

void GetStringDlg::SetInitial(const std::string& text) {
    edit_->setText(Q(text));
}

void GetStringDlg::accept() {
    answer_ = StringAnswer(Cp(edit_->text()), limit_, padded_, hex_);
    QDialog::accept();
}

GetBigStringDlg::GetBigStringDlg(QWidget* parent) : EditorDialog(parent) {
    setObjectName("GetBigStringDlg");
    edit_ = new LimitedTextEdit(this);
    edit_->setObjectName("text");
    edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit_->setMinimumSize(360, 120);
    Body()->addWidget(edit_);
    // Enter starts a new line in the box; only the button closes the window.
    OkButton()->setDefault(false);
    OkButton()->setAutoDefault(false);
    SetLimit(100);
}

QPlainTextEdit* GetBigStringDlg::Edit() const {
    return edit_;
}

void GetBigStringDlg::SetLimit(int n) {
    limit_ = n;
    edit_->SetLimit(n);
}

void GetBigStringDlg::SetInitial(const std::string& text) {
    edit_->SetText(text);
}

void GetBigStringDlg::accept() {
    answer_ = BigStringAnswer(edit_->Text(), limit_);
    QDialog::accept();
}

// ----------------------------------------------------------------------------- number

GetIntegerDlg::GetIntegerDlg(QWidget* parent) : EditorDialog(parent) {
    setObjectName("GetIntegerDlg");
    SetDescription(textos::kDigiteValor);
    edit_ = NumberBox(this, kAnyLength);
    edit_->setObjectName("number");
    Body()->addWidget(edit_);
}

void GetIntegerDlg::SetLimit(int n) {
    limit_ = n;
    edit_->setMaxLength(n > 0 ? n : kAnyLength);
}

void GetIntegerDlg::SetInitial(const std::string& text) {
    edit_->setText(Q(text));
}

void GetIntegerDlg::accept() {
    std::string text = Cp(edit_->text());
    answer_ = IntegerAnswer(text, limit_);
    value_ = AtoiC(text);
    QDialog::accept();
}

// ----------------------------------------------------------------------------- money

GetFinanceDlg::GetFinanceDlg(QWidget* parent) : EditorDialog(parent) {
    setObjectName("GetFinanceDlg");
    auto* row = new QHBoxLayout();
    label_ = new QLabel(Q(textos::kValor), this);
    edit_ = new QLineEdit(this);
    edit_->setObjectName("amount");
    edit_->setAlignment(Qt::AlignRight);
    edit_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9,]*"), edit_));
    edit_->setMinimumWidth(200);
    label_->setBuddy(edit_);
    row->addWidget(label_);
    row->addWidget(edit_, 1);
    Body()->addLayout(row);
    connect(edit_, &QLineEdit::textChanged, this, [this] { Reformat(); });
    Restart();
}

void GetFinanceDlg::SetLimits(int integer_digits, int decimal_digits) {
    integer_ = std::max(0, integer_digits);
    decimals_ = std::max(0, decimal_digits);
    Restart();
}

void GetFinanceDlg::SetInitial(const std::string& value) {
    initial_ = value;
    Restart();
}

void GetFinanceDlg::Restart() {
    edit_->setMaxLength(FinanceBoxLimit(integer_, decimals_));
    bool usable = integer_ > 0 && decimals_ > 0;
    edit_->setVisible(usable);
    label_->setVisible(usable);
    edit_->setText(Q(FinanceInitialText(initial_, integer_, decimals_)));
    Reformat();
    edit_->setCursorPosition(static_cast<int>(edit_->text().size()));
}

void GetFinanceDlg::Reformat() {
    if (reformatting_) return;
    reformatting_ = true;
    FinanceBox box = FinanceReformat(Cp(edit_->text()), edit_->cursorPosition(), decimals_);
    QString shown = Q(box.text);
    if (shown != edit_->text()) edit_->setText(shown);
    edit_->setCursorPosition(box.caret);
    reformatting_ = false;
}

void GetFinanceDlg::accept() {
    answer_ = FinanceAnswer(Cp(edit_->text()), integer_, decimals_);
    QDialog::accept();
}

// ----------------------------------------------------------------------------- percentage

DlgGetPercent::DlgGetPercent(QWidget* parent) : EditorDialog(parent) {
    setObjectName("DlgGetPercent");
    auto* row = new QHBoxLayout();
    auto* label = new QLabel(Q(textos::kPorcentual), this);
    integer_ = NumberBox(this, 2);
    integer_->setObjectName("integer");
    decimal_ = NumberBox(this, 2);
    decimal_->setObjectName("decimal");
    for (QLineEdit* e : {integer_, decimal_}) {
        e->setText("00");
        e->setAlignment(Qt::AlignRight);
        e->setFixedWidth(e->fontMetrics().horizontalAdvance("000") + 16);
    }
    label->setBuddy(integer_);
    row->addWidget(label);
    row->addWidget(integer_);
    row->addWidget(new QLabel(",", this));
    row->addWidget(decimal_);
    row->addWidget(new QLabel("%", this));
    row->addStretch(1);
    Body()->addLayout(row);
}

void DlgGetPercent::accept() {
    answer_ = MakePercentAnswer(Cp(integer_->text()), Cp(decimal_->text()));
    QDialog::accept();
}

// ----------------------------------------------------------------------------- date

namespace {
QDate ToQDate(const Date& d) {
    return QDate(d.year, d.month, d.day);
}
QTime ToQTime(const HourAnswer& t) {
    return QTime(t.hour, t.minute, t.second);
}
}  // namespace

GetDate::GetDate(QWidget* parent) : EditorDialog(parent) {
    setObjectName("GetDate");
    SetDescription(textos::kDigiteData);
    auto* row = new QHBoxLayout();
    auto* label = new QLabel(Q(textos::kFecha), this);
    picker_ = new QDateEdit(this);
    picker_->setObjectName("date");
    picker_->setCalendarPopup(true);
    picker_->setDisplayFormat("dd/MM/yyyy");
    picker_->setDate(ToQDate(Today()));
    label->setBuddy(picker_);
    today_ = new QPushButton(Q(textos::kCargarFecha), this);
    today_->setObjectName("today");
    today_->setAutoDefault(false);
    connect(today_, &QPushButton::clicked, this, [this] { picker_->setDate(ToQDate(Today())); });
    row->addWidget(label);
    row->addWidget(picker_, 1);
    row->addWidget(today_);
    Body()->addLayout(row);
}

void GetDate::accept() {
    QDate q = picker_->date();
    Date d{q.day(), q.month(), q.year()};
    if (!EngineEnv().ui->MessageBox(DateConfirmationText(d), "", MsgButtons::YesNo, MsgIcon::Exclamation))
        return;
    answer_ = d;
    QDialog::accept();
}

// ----------------------------------------------------------------------------- time

GetHourDlg::GetHourDlg(QWidget* parent) : EditorDialog(parent) {
    setObjectName("GetHourDlg");
    SetDescription(textos::kSelecioneHora);
    auto* row = new QHBoxLayout();
    auto* label = new QLabel(Q(textos::kHora), this);
    picker_ = new QTimeEdit(this);
    picker_->setObjectName("time");
    picker_->setDisplayFormat("HH:mm:ss");
    label->setBuddy(picker_);
    now_ = new QPushButton(Q(textos::kCargarHora), this);
    now_->setObjectName("now");
    now_->setAutoDefault(false);
    connect(now_, &QPushButton::clicked, this, [this] { LoadClock(); });
    row->addWidget(label);
    row->addWidget(picker_, 1);
    row->addWidget(now_);
    Body()->addLayout(row);
    summer_ = new QCheckBox(Q(textos::kHorarioVerano), this);
    summer_->setObjectName("summer");
    Body()->addWidget(summer_);
    clock_ = new QTimer(this);
    clock_->setInterval(200);
    connect(clock_, &QTimer::timeout, this, [this] { LoadClock(); });
    LoadClock();
    SetDateAndTimeMode(false);
}

void GetHourDlg::LoadClock() {
    picker_->setTime(ToQTime(Now()));
}

void GetHourDlg::SetDateAndTimeMode(bool on) {
    date_and_time_ = on;
    summer_->setVisible(on);
    summer_->setEnabled(on);
    now_->setVisible(!on);
    now_->setEnabled(!on);
    if (on) SetDescription(DateTimeModeDescription(Today()));
}

bool GetHourDlg::ClockRunning() const {
    return clock_->isActive();
}

void GetHourDlg::showEvent(QShowEvent* event) {
    EditorDialog::showEvent(event);
    // The running clock exists only in date-and-time mode and while the window is open.
    if (date_and_time_) {
        LoadClock();
        clock_->start();
    }
}

void GetHourDlg::hideEvent(QHideEvent* event) {
    clock_->stop();
    EditorDialog::hideEvent(event);
}

void GetHourDlg::accept() {
    QTime t = picker_->time();
    answer_ = HourAnswer{t.hour(), t.minute(), t.second(), summer_->isChecked() ? 1 : 0};
    clock_->stop();
    QDialog::accept();
}

// ----------------------------------------------------------------------------- choice

GetOptionDlg::GetOptionDlg(QWidget* parent) : EditorDialog(parent, false) {
    setObjectName("GetOptionDlg");
    auto* grid = new QGridLayout();
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);
    for (int k = 1; k <= OptionEditor::kButtons; ++k) {
        auto* b = new QPushButton(this);
        b->setObjectName(QString("option%1").arg(k));
        // Enter presses the choice that has the keyboard.
        b->setAutoDefault(true);
        b->setMinimumWidth(180);
        connect(b, &QPushButton::clicked, this, [this, k] {
            choice_ = k;
            QDialog::accept();
        });
        // Buttons 1 to 6 on the left, 7 to 12 on the right.
        grid->addWidget(b, (k - 1) % 6, (k - 1) / 6);
        buttons_[static_cast<size_t>(k - 1)] = b;
    }
    Body()->addLayout(grid);
    SetCaptions({});
}

void GetOptionDlg::SetCaptions(const std::array<std::string, OptionEditor::kButtons>& captions) {
    captions_ = captions;
    OptionEditor e;
    e.captions = captions;
    for (int k = 1; k <= OptionEditor::kButtons; ++k) {
        QPushButton* b = Button(k);
        b->setText(Q(captions[static_cast<size_t>(k - 1)]));
        b->setVisible(OptionButtonVisible(e, k));
    }
    adjustSize();
}

void GetOptionDlg::showEvent(QShowEvent* event) {
    // The same window may be shown again with new captions: no choice until a button is pressed.
    choice_ = 0;
    EditorDialog::showEvent(event);
}

// ----------------------------------------------------------------------------- cheque

GetChequeDlg::GetChequeDlg(QWidget* parent) : EditorDialog(parent) {
    setObjectName("GetChequeDlg");
    auto* grid = new QGridLayout();
    grid->addWidget(new QLabel("X", this), 0, 1, Qt::AlignHCenter);
    grid->addWidget(new QLabel("Y", this), 0, 2, Qt::AlignHCenter);
    for (size_t row = 0; row < kChequeRotulos.size(); ++row) {
        auto* label = new QLabel(Q(kChequeRotulos[row]), this);
        grid->addWidget(label, static_cast<int>(row) + 1, 0);
        auto* x = NumberBox(this, 2);
        x->setObjectName(QString("x%1").arg(row + 1));
        x->setFixedWidth(x->fontMetrics().horizontalAdvance("000") + 16);
        grid->addWidget(x, static_cast<int>(row) + 1, 1);
        label->setBuddy(x);
        boxes_[row] = x;
        if (row < 5) {
            auto* y = NumberBox(this, 2);
            y->setObjectName(QString("y%1").arg(row + 1));
            y->setFixedWidth(x->width());
            grid->addWidget(y, static_cast<int>(row) + 1, 2);
            boxes_[8 + row] = y;
        }
    }
    Body()->addLayout(grid);
}

void GetChequeDlg::SetInitial(const std::array<std::string, ChequeEditor::kBoxes>& boxes) {
    for (size_t k = 0; k < boxes.size(); ++k) boxes_[k]->setText(Q(boxes[k]));
}

void GetChequeDlg::accept() {
    std::array<std::string, ChequeEditor::kBoxes> texts;
    for (size_t k = 0; k < texts.size(); ++k) texts[k] = Cp(boxes_[k]->text());
    answer_ = ChequeAnswer(texts);
    QDialog::accept();
}

// ----------------------------------------------------------------------------- header

GetClicheDlg::GetClicheDlg(QWidget* parent) : EditorDialog(parent) {
    setObjectName("GetClicheDlg");
    setWindowTitle(Q(textos::kClichePropietario));
    auto* grid = new QGridLayout();
    grid->setHorizontalSpacing(10);
    const char* headings[] = {textos::kSubrayado, textos::kItalico, textos::kRealzado, textos::kExpandido};
    for (int a = 0; a < 4; ++a) grid->addWidget(new QLabel(Q(headings[a]), this), 0, 2 + a, Qt::AlignHCenter);
    const char* names[] = {
        "L\xED"
        "nea 1",
        "L\xED"
        "nea 2",
        "Texto 3"};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(Q(names[i]), this);
        grid->addWidget(label, 1 + i, 0, i == 2 ? Qt::AlignTop : Qt::AlignVCenter);
        QWidget* box;
        if (i < 2) {
            auto* e = new QLineEdit(this);
            e->setObjectName(QString("line%1").arg(i + 1));
            e->setMaxLength(ClicheInput::kLineLimit);
            e->setMinimumWidth(
                e->fontMetrics().horizontalAdvance(QString(ClicheInput::kLineLimit, QChar('0'))) + 16);
            lines_[static_cast<size_t>(i)] = e;
            box = e;
        } else {
            third_ = new LimitedTextEdit(this);
            third_->setObjectName("text3");
            third_->SetLimit(ClicheInput::kThirdLimit);
            third_->setFixedHeight(third_->fontMetrics().lineSpacing() * 3 + 14);
            box = third_;
        }
        label->setBuddy(box);
        grid->addWidget(box, 1 + i, 1);
        for (int a = 0; a < 4; ++a) {
            auto* c = new QCheckBox(this);
            c->setObjectName(QString("attr%1_%2").arg(i + 1).arg(a));
            c->setToolTip(Q(headings[a]));
            grid->addWidget(c, 1 + i, 2 + a, (i == 2 ? Qt::AlignTop : Qt::AlignVCenter) | Qt::AlignHCenter);
            attributes_[static_cast<size_t>(i)][static_cast<size_t>(a)] = c;
        }
    }
    grid->setColumnStretch(1, 1);
    Body()->addLayout(grid);
    centered_ = new QCheckBox(Q(textos::kCentralizado), this);
    centered_->setObjectName("centered");
    Body()->addWidget(centered_);
    // The multi-line box takes Enter as a new line; OK is pressed, not defaulted. In the two
    // single-line boxes Enter confirms, as in every other editor.
    OkButton()->setDefault(false);
    OkButton()->setAutoDefault(false);
    for (QLineEdit* line : lines_) connect(line, &QLineEdit::returnPressed, this, &QDialog::accept);
}

QPlainTextEdit* GetClicheDlg::Third() const {
    return third_;
}

ClicheInput GetClicheDlg::Input() const {
    ClicheInput in;
    for (int i = 0; i < 3; ++i) {
        ClicheLine& l = in.lines[static_cast<size_t>(i)];
        l.text = i < 2 ? Cp(lines_[static_cast<size_t>(i)]->text()) : third_->Text();
        l.underline = Attribute(i, 0)->isChecked();
        l.italic = Attribute(i, 1)->isChecked();
        l.emphasized = Attribute(i, 2)->isChecked();
        l.expanded = Attribute(i, 3)->isChecked();
    }
    in.centered = centered_->isChecked();
    return in;
}

void GetClicheDlg::accept() {
    answer_ = ComposeCliche(Input());
    QDialog::accept();
}

// ----------------------------------------------------------------------------- graphic header

GraphicClicheDlg::GraphicClicheDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("GraphicClicheDlg");
    setWindowTitle(Q(textos::kClicheGrafico));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 16, 18, 12);
    port_ = new QLabel(this);
    port_->setObjectName("port");
    port_->setTextFormat(Qt::PlainText);
    port_->setText(Q("Puerto: " + EngineEnv().settings->PortName));
    layout->addWidget(port_);
    auto* row = new QHBoxLayout();
    row->addStretch(1);
    close_ = new QPushButton(Q(textos::kSalir), this);
    close_->setObjectName("close");
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    row->addWidget(close_);
    layout->addLayout(row);
    setMinimumWidth(320);
    InstallHelpKey(this);
}

QString GraphicClicheDlg::PortText() const {
    return port_->text();
}

void GraphicClicheDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (warned_) return;
    warned_ = true;
    if (EngineEnv().settings->PortName == "USB") {
        // After the window is up, so the message sits on it.
        QTimer::singleShot(
            0, this, [] { EngineEnv().ui->MessageBox(textos::kSinUsb, "", MsgButtons::Ok, MsgIcon::None); });
    }
}

}  // namespace ordavo::gui
