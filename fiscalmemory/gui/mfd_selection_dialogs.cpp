#include "fiscalmemory/gui/mfd_selection_dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

#include "engine/strings.h"
#include "engine/util.h"
#include "shell/gui/gui_support.h"
#include "shell/gui/qt_user_interface.h"

namespace ordavo::gui {
namespace {

constexpr long kMaxNumber = 999999;
constexpr long kMaxUser = 255;
// A Z-validation text is a few hundred digits; a file far beyond that is not one.
constexpr size_t kMaxZFile = 1 << 20;
constexpr char kZFilter[] = "Validati\xF3n Lectura Z (*.vlz)|*.vlz|Todos os Archivos (*.*)|*.*||";

void Say(QWidget* parent, const std::string& text, MsgIcon icon = MsgIcon::Exclamation) {
    QtUserInterface(parent).MessageBox(text, "", MsgButtons::Ok, icon);
}

QRadioButton* Radio(QWidget* parent, const char* name, const std::string& text) {
    auto* r = new QRadioButton(Q(text), parent);
    r->setObjectName(name);
    return r;
}

QCheckBox* Check(QWidget* parent, const char* name, const std::string& text) {
    auto* c = new QCheckBox(Q(text), parent);
    c->setObjectName(name);
    return c;
}

}  // namespace

// ------------------------------------------------------------------------- common

MfdSelectionDialog::MfdSelectionDialog(QWidget* parent) : QDialog(parent) {
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("ok");
    ok_->setDefault(true);
    cancel_ = new QPushButton(this);
    cancel_->setObjectName("cancel");
    CaptionAnular(cancel_);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    InstallHelpKey(this);
}

void MfdSelectionDialog::LayOut(const std::vector<QRadioButton*>& kinds,
                                const std::vector<std::pair<QString, QWidget*>>& rows,
                                const std::vector<QCheckBox*>& checks) {
    auto* outer = new QVBoxLayout(this);
    if (!kinds.empty()) {
        auto* row = new QHBoxLayout;
        auto* group = new QButtonGroup(this);
        int id = 0;
        for (QRadioButton* r : kinds) {
            row->addWidget(r);
            group->addButton(r, id++);
        }
        connect(group, &QButtonGroup::idClicked, this, [this](int k) { KindChosen(k); });
        outer->addLayout(row);
    }
    auto* form = new QFormLayout;
    for (const auto& [label, field] : rows) form->addRow(label, field);
    outer->addLayout(form);
    for (QCheckBox* c : checks) outer->addWidget(c);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    outer->addSpacing(6);
    outer->addLayout(buttons);
    if (!kinds.empty()) {
        kinds.front()->setChecked(true);
        KindChosen(0);
    }
}

void MfdSelectionDialog::accept() {
    if (CheckNumbers()) QDialog::accept();
}

QLineEdit* MfdSelectionDialog::NumberField(const char* name, long low, long high, long initial) {
    auto* edit = new QLineEdit(QString::number(initial), this);
    edit->setObjectName(name);
    edit->setMaxLength(static_cast<int>(QString::number(high).size()));
    numbers_.push_back({edit, low, high});
    return edit;
}

QDateEdit* MfdSelectionDialog::DateField(const char* name) {
    auto* picker = new QDateEdit(QDate::currentDate(), this);
    picker->setObjectName(name);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat("dd/MM/yyyy");
    return picker;
}

bool MfdSelectionDialog::CheckNumbers() {
    for (const Field& f : numbers_) {
        long v = 0;
        if (ParseRangeField(Cp(f.edit->text()), f.low, f.high, v)) continue;
        Say(this, RangeFieldMessage(f.low, f.high));
        FocusAndSelect(f.edit);
        return false;
    }
    return true;
}

long MfdSelectionDialog::Number(const QLineEdit* edit) {
    long v = 0;
    ParseRangeField(Cp(edit->text()), 0, kMaxNumber, v);
    return v;
}

DayDate MfdSelectionDialog::DateOf(const QDateEdit* picker) {
    QDate d = picker->date();
    return {d.day(), d.month(), d.year()};
}

void MfdSelectionDialog::FocusAndSelect(QLineEdit* edit) {
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

// ------------------------------------------------------------------------- MA

SelDownloadMFDDlg::SelDownloadMFDDlg(QWidget* parent) : MfdSelectionDialog(parent) {
    setObjectName("SelDownloadMFDDlg");
    setWindowTitle("MA");
    kinds_[0] = Radio(this, "radioCoo", "C&OO");
    kinds_[1] = Radio(this, "radioFecha", "&Fecha");
    kinds_[2] = Radio(this, "radioTotal", "Total &L\xF3gico");
    first_ = NumberField("edit1042", 0, kMaxNumber, 0);
    last_ = NumberField("edit1046", 0, kMaxNumber, 0);
    user_ = NumberField("edit1048", 0, kMaxUser, 1);
    first_date_ = DateField("date1044");
    last_date_ = DateField("date1045");
    public_key_ = Check(this, "check1311", "Download de la Clave Publica");

    LayOut({kinds_[0], kinds_[1], kinds_[2]},
           {{"COO inicial:", first_},
            {"COO final:", last_},
            {Q("Usu\xE1rio:"), user_},
            {"Fecha inicial:", first_date_},
            {"Fecha final:", last_date_}},
           {public_key_});
}

void SelDownloadMFDDlg::SetPublicKeyOffered(bool offered) {
    public_key_->setEnabled(offered);
    if (!offered) public_key_->setChecked(false);
}

void SelDownloadMFDDlg::KindChosen(int kind) {
    for (QLineEdit* e : {first_, last_, user_}) e->setEnabled(kind == 0);
    for (QDateEdit* d : {first_date_, last_date_}) d->setEnabled(kind == 1);
    if (kind == 0) FocusAndSelect(first_);
}

AuditSelection SelDownloadMFDDlg::Selection() const {
    AuditSelection s;
    for (int k = 0; k < 3; ++k)
        if (kinds_[k]->isChecked()) s.kind = k;
    s.first_coo = Number(first_);
    s.last_coo = Number(last_);
    s.user = static_cast<int>(Number(user_));
    s.first_date = DateOf(first_date_);
    s.last_date = DateOf(last_date_);
    s.public_key = public_key_->isEnabled() && public_key_->isChecked();
    return s;
}

// ------------------------------------------------------------------------- by number or date

NumberOrDateDlg::NumberOrDateDlg(QWidget* parent, const NumberOrDateLayout& l) : MfdSelectionDialog(parent) {
    setWindowTitle(Q(l.title));
    kinds_[0] = Radio(this, l.number_radio_name, l.number_radio);
    kinds_[1] = Radio(this, "radioFecha", l.date_radio);
    first_ = NumberField(l.first_name, 0, kMaxNumber, 0);
    last_ = NumberField(l.last_name, 0, kMaxNumber, 0);
    first_date_ = DateField(l.first_date_name);
    last_date_ = DateField(l.last_date_name);
    simplified_ = Check(this, "check1234", l.simplified);
    if (l.with_public_key) public_key_ = Check(this, "check1311", "Download de la Clave Publica");

    std::vector<QCheckBox*> checks{simplified_};
    if (public_key_) checks.push_back(public_key_);
    LayOut({kinds_[0], kinds_[1]},
           {{Q(l.first_label), first_}, {Q(l.last_label), last_}, {"Fecha inicial:", first_date_}, {"Fecha final:", last_date_}},
           checks);
}

void NumberOrDateDlg::KindChosen(int kind) {
    first_->setEnabled(kind == 0);
    last_->setEnabled(kind == 0);
    first_date_->setEnabled(kind == 1);
    last_date_->setEnabled(kind == 1);
    if (kind == 0)
        FocusAndSelect(first_);
    else
        first_date_->setFocus(Qt::OtherFocusReason);
}

TxtSelection NumberOrDateDlg::Selection() const {
    TxtSelection s;
    s.kind = kinds_[1]->isChecked() ? 1 : 0;
    s.first = Number(first_);
    s.last = Number(last_);
    s.first_date = DateOf(first_date_);
    s.last_date = DateOf(last_date_);
    s.simplified = simplified_->isChecked();
    s.public_key = public_key_ && public_key_->isChecked();
    return s;
}

SelDownloadMFDlg::SelDownloadMFDlg(QWidget* parent)
    : NumberOrDateDlg(parent, {"Download MF", "LMF por CRZ", "radioCrz", "LMF por Fecha", "edit1230", "edit1231", "date1232", "date1233",
                               "CRZ inicial:", "CRZ final:", "LMF simplificada", false}) {
    setObjectName("SelDownloadMFDlg");
}

SelDownloadTxt::SelDownloadTxt(int mode, QWidget* parent)
    : NumberOrDateDlg(parent, {mode == 0 ? "Lectura Memoria Fiscal TXT" : "Informe de Transaciones",
                               mode == 0 ? "CRZ" : "COO", "radio1041", "Fecha", "edit1042", "edit1046", "date1044", "date1045",
                               mode == 0 ? "CRZ inicial:" : "COO inicial:", mode == 0 ? "CRZ final:" : "COO final:",
                               "Simplificada", true}) {
    setObjectName("SelDownloadTxt");
}

// ------------------------------------------------------------------------- public key

DlgSelDownloadPublicKey::DlgSelDownloadPublicKey(QWidget* parent) : MfdSelectionDialog(parent) {
    setObjectName("DlgSelDownloadPublicKey");
    setWindowTitle("Download Clave Publica");
    public_key_ = Check(this, "check1311", "Desea hacer el download de la Clave Publica");
    LayOut({}, {}, {public_key_});
}

bool DlgSelDownloadPublicKey::PublicKeyWanted() const { return public_key_->isChecked(); }

// ------------------------------------------------------------------------- Z validation

DlgValidateRZ::DlgValidateRZ(QWidget* parent) : QDialog(parent) {
    setObjectName("DlgValidateRZ");
    setWindowTitle(QStr(IDS_VALIDACION_Z));
    edit_ = new QPlainTextEdit(this);
    edit_->setObjectName("edit1312");
    edit_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    edit_->setMinimumSize(460, 200);
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("ok");
    cancel_ = new QPushButton(QStr(IDS_ANULAR), this);
    cancel_->setObjectName("cancel");
    save_ = new QPushButton(QStr(IDS_GRABAR), this);
    save_->setObjectName("button1313");
    read_ = new QPushButton(QStr(IDS_LEER), this);
    read_->setObjectName("button1314");
    for (QPushButton* b : {ok_, cancel_, save_, read_}) b->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(save_);
    buttons->addWidget(read_);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit_, 1);
    layout->addLayout(buttons);

    connect(edit_, &QPlainTextEdit::textChanged, this, [this] { FilterText(); });
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(save_, &QPushButton::clicked, this, [this] { Save(); });
    connect(read_, &QPushButton::clicked, this, [this] { Read(); });
    InstallHelpKey(this);
    edit_->setFocus();
}

void DlgValidateRZ::FilterText() {
    if (filtering_) return;
    // Characters by document position; a character outside the basic plane is two positions.
    const QString text = edit_->toPlainText();
    std::vector<std::pair<int, int>> bad;  // position, length
    for (int i = 0; i < text.size();) {
        char32_t c = text.at(i).unicode();
        int length = 1;
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            length = 2;
        }
        if (!ZTextCharAllowed(c)) bad.emplace_back(i, length);
        i += length;
    }
    if (bad.empty()) return;
    filtering_ = true;
    QTextCursor cursor(edit_->document());
    cursor.beginEditBlock();
    for (auto it = bad.rbegin(); it != bad.rend(); ++it) {
        cursor.setPosition(it->first);
        cursor.setPosition(it->first + it->second, QTextCursor::KeepAnchor);
        cursor.insertText(" ");
    }
    cursor.endEditBlock();
    // The first character replaced is left selected, as a sign of what was refused.
    QTextCursor shown(edit_->document());
    shown.setPosition(bad.front().first);
    shown.setPosition(bad.front().first + 1, QTextCursor::KeepAnchor);
    edit_->setTextCursor(shown);
    filtering_ = false;
}

std::string DlgValidateRZ::Text() const {
    std::string text = Cp(edit_->toPlainText());
    ReplaceAll(text, "\n", "\r\n");
    return text;
}

void DlgValidateRZ::Save() {
    std::string path;
    if (!ChooseSaveFile(this, "Grabar Validati\xF3n del Lectura Z", "", "*.vlz", kZFilter, path))
        return;
    if (!WriteFileAtomically(path, Text())) Say(this, Str(IDS_NO_CREAR_ARCHIVO));
}

void DlgValidateRZ::Read() {
    std::string path;
    if (!ChooseOpenFile(this, "Abrir", "*.vlz", kZFilter, "", path))
        return;
    std::string contents;
    if (!ReadWholeFile(path, contents)) {
        Say(this, Str(IDS_NO_CREAR_ARCHIVO));
        return;
    }
    if (contents.size() > kMaxZFile) {
        Say(this, Str(33026));
        return;
    }
    ReplaceAll(contents, "\r\n", "\n");
    ReplaceAll(contents, "\r", "\n");
    edit_->setPlainText(Q(contents));  // the check runs on the new text
}

DlgRZVal::DlgRZVal(const std::string& verdict, QWidget* parent) : QDialog(parent) {
    setObjectName("DlgRZVal");
    setWindowTitle(QStr(IDS_VALIDACION_Z));
    verdict_ = new QLabel(Q(verdict), this);
    verdict_->setObjectName("static1315");
    verdict_->setTextFormat(Qt::PlainText);
    verdict_->setWordWrap(true);
    verdict_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    verdict_->setMinimumWidth(380);
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("ok");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 12);
    layout->addWidget(verdict_, 1);
    layout->addWidget(ok, 0, Qt::AlignRight);
    InstallHelpKey(this);
}

}  // namespace ordavo::gui
