#include "programming/gui/programming_pages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QVBoxLayout>

#include "engine/util.h"
#include "params/core/editar_valor.h"
#include "params/core/value_editors.h"
#include "params/gui/aliquotas_prpg.h"
#include "params/gui/qt_value_editors.h"
#include "shell/gui/gui_support.h"

namespace ordavo::gui {
namespace {

constexpr int kHeaderLimit = 186;

const char* const kFlagCaptions[7] = {
    "Hor\xE1rio de verano", "Cup\xF3n Adicional",        "Descuento ISS (Brasil)", "Vinculado a CNF",
    "RV en la Conf\xE9ncia",  "Z Autom\xE1tica", "Billete de pasaje"};
bool Equipment::*const kFlagFields[7] = {&Equipment::horario_de_verao,  &Equipment::cupom_adicional,
                                         &Equipment::desc_ISS,          &Equipment::vinc_CNF,
                                         &Equipment::RV_na_conferencia, &Equipment::RZ_automatica,
                                         &Equipment::Bilhete_passagem};

// The header's length as the file counts it: a line break is CR LF.
int HeaderLength(const QString& text) { return static_cast<int>(BigStringAnswer(Cp(text), 0).size()); }

QLineEdit* Edit(QWidget* parent, const char* name, int limit) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMaxLength(limit);
    return e;
}

}  // namespace

// ----------------------------------------------------------------------------- general

CGeneralInformationPrPg::CGeneralInformationPrPg(QWidget* parent) : QWidget(parent) {
    setObjectName("CGeneralInformationPrPg");
    cliente_ = Edit(this, "cliente", 20);
    serial_ = Edit(this, "serial", 20);
    rif_ = Edit(this, "rif", 20);
    ie_ = Edit(this, "ie", 20);
    nit_ = Edit(this, "nit", 20);
    uf_ = Edit(this, "uf", 2);
    clave_ = Edit(this, "clave", 20);
    clave_->setEchoMode(QLineEdit::Password);
    // The password is hexadecimal, and the encoder reads only upper-case letters right.
    clave_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9A-Fa-f]*"), clave_));
    connect(clave_, &QLineEdit::textEdited, this, [this](const QString& t) {
        if (t != t.toUpper()) {
            const int caret = clave_->cursorPosition();
            clave_->setText(t.toUpper());
            clave_->setCursorPosition(caret);
        }
    });
    tienda_ = Edit(this, "tienda", 4);
    caja_ = Edit(this, "caja", 3);
    fecha_ = Edit(this, "fecha", 6);
    hora_ = Edit(this, "hora", 6);
    cliche_ = new QPlainTextEdit(this);
    cliche_->setObjectName("cliche");
    cliche_->setTabChangesFocus(true);
    cliche_->setMinimumHeight(cliche_->fontMetrics().lineSpacing() * 5 + 12);
    connect(cliche_, &QPlainTextEdit::textChanged, this, [this] {
        const QString now = cliche_->toPlainText();
        if (HeaderLength(now) <= kHeaderLimit) {
            accepted_header_ = now;
            return;
        }
        // Typing beyond the limit is refused; the caret stays where the typing was.
        const int caret = std::min(cliche_->textCursor().position(), static_cast<int>(accepted_header_.size()));
        QSignalBlocker block(cliche_);
        cliche_->setPlainText(accepted_header_);
        QTextCursor c = cliche_->textCursor();
        c.setPosition(std::max(0, caret - 1));
        cliche_->setTextCursor(c);
    });

    auto* grid = new QGridLayout();
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);
    struct Row {
        const char* label;
        QLineEdit* edit;
    };
    const Row left[] = {{"Cliente", cliente_}, {"N\xFAmero serial", serial_}, {"RIF", rif_},
                        {"IE (BRASIL)", ie_},  {"NIT", nit_},                {"UF", uf_},
                        {"Clave", clave_}};
    const Row right[] = {{"N\xFAmero de la tienda", tienda_}, {"N\xFAmero del Caja", caja_},
                         {"Fecha", fecha_}, {"Hora", hora_}};
    int row = 0;
    for (const Row& r : left) {
        auto* label = new QLabel(Q(r.label), this);
        label->setBuddy(r.edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(r.edit, row, 1);
        // Fields of another country's printers: kept, not shown.
        if (r.edit == ie_ || r.edit == uf_) {
            label->hide();
            r.edit->hide();
        } else {
            ++row;
        }
    }
    row = 0;
    for (const Row& r : right) {
        auto* label = new QLabel(Q(r.label), this);
        label->setBuddy(r.edit);
        r.edit->setFixedWidth(r.edit->fontMetrics().horizontalAdvance("0000000") + 16);
        grid->addWidget(label, row, 3);
        grid->addWidget(r.edit, row, 4);
        ++row;
    }
    load_time_ = new QPushButton(Q(textos::kCargarDoOrdenador), this);
    load_time_->setObjectName("loadTime");
    load_time_->setAutoDefault(false);
    grid->addWidget(load_time_, row, 3, 1, 2);
    grid->setColumnMinimumWidth(2, 18);
    grid->setColumnStretch(1, 1);

    auto* header_label = new QLabel(Q(textos::kClichePropietario), this);
    header_label->setBuddy(cliche_);
    edit_header_ = new QPushButton(Q(textos::kEditar), this);
    edit_header_->setObjectName("editHeader");
    edit_header_->setAutoDefault(false);
    auto* header_row = new QHBoxLayout();
    header_row->addWidget(header_label);
    header_row->addStretch(1);
    header_row->addWidget(edit_header_);

    auto* checks = new QGridLayout();
    for (int i = 0; i < 7; ++i) {
        auto* box = new QCheckBox(Q(kFlagCaptions[i]), this);
        box->setObjectName(QString("flag%1").arg(i));
        flags_[static_cast<size_t>(i)] = box;
        checks->addWidget(box, i / 3, i % 3);
    }
    flags_[2]->setEnabled(false);  // a Brazilian option

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addLayout(header_row);
    layout->addWidget(cliche_, 1);
    layout->addSpacing(4);
    layout->addLayout(checks);

    connect(load_time_, &QPushButton::clicked, this, [this] {
        std::string data, hora;
        ComputerDateTime(data, hora);
        fecha_->setText(Q(data));
        hora_->setText(Q(hora));
    });
    connect(edit_header_, &QPushButton::clicked, this, [this] { OnEditHeader(); });
}

void CGeneralInformationPrPg::OnEditHeader() {
    ValueEditors* editors = CurrentEditors();
    QtValueEditors own(this);
    if (!editors) editors = &own;
    std::optional<std::string> header = editors->GetCliche();
    if (header) SetHeaderText(*header);
}

std::string CGeneralInformationPrPg::HeaderText() const { return BigStringAnswer(Cp(cliche_->toPlainText()), 0); }

void CGeneralInformationPrPg::SetHeaderText(const std::string& text) {
    std::string plain = text;
    ReplaceAll(plain, "\r\n", "\n");
    // A header longer than the box holds is cut to the limit, as the box would.
    QString q = Q(plain);
    while (HeaderLength(q) > kHeaderLimit) q.chop(1);
    accepted_header_ = q;
    QSignalBlocker block(cliche_);
    cliche_->setPlainText(q);
}

void CGeneralInformationPrPg::Load(const Equipment& e) {
    cliente_->setText(Q(e.cliente));
    serial_->setText(Q(e.numero_de_serie));
    rif_->setText(Q(e.CNPJ));
    ie_->setText(Q(e.IE));
    nit_->setText(Q(e.IM));
    uf_->setText(Q(e.UF));
    clave_->setText(kDefaultPassword);
    tienda_->setText(Q(e.numero_da_loja));
    caja_->setText(Q(e.numero_do_caixa));
    fecha_->setText(Q(e.data));
    hora_->setText(Q(e.hora));
    SetHeaderText(e.cliche);
    for (size_t i = 0; i < flags_.size(); ++i) flags_[i]->setChecked(e.*kFlagFields[i]);
}

void CGeneralInformationPrPg::Store(Equipment& e) const {
    e.cliente = Cp(cliente_->text());
    e.numero_de_serie = Cp(serial_->text());
    e.CNPJ = Cp(rif_->text());
    e.IE = Cp(ie_->text());
    e.IM = Cp(nit_->text());
    e.UF = Cp(uf_->text());
    e.senha = Cp(clave_->text());
    e.numero_da_loja = Cp(tienda_->text());
    e.numero_do_caixa = Cp(caja_->text());
    e.data = Cp(fecha_->text());
    e.hora = Cp(hora_->text());
    e.cliche = HeaderText();
    for (size_t i = 0; i < flags_.size(); ++i) e.*kFlagFields[i] = flags_[i]->isChecked();
}

// ----------------------------------------------------------------------------- totalizers

CTotNaoSujPrPg::CTotNaoSujPrPg(QWidget* parent) : QWidget(parent) {
    setObjectName("CTotNaoSujPrPg");
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(14, 12, 14, 12);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(3);
    constexpr int kRows = 17;
    for (int n = 1; n <= Equipment::kTotalizers; ++n) {
        const int column = (n - 1) / kRows, row = (n - 1) % kRows;
        auto* label = new QLabel(QString("%1").arg(n, 2, 10, QChar('0')), this);
        auto* edit = Edit(this, "", 19);
        edit->setObjectName(QString("name%1").arg(n));
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QString(19, 'M')) * 2 / 3);
        label->setBuddy(edit);
        grid->addWidget(label, row, column * 2);
        grid->addWidget(edit, row, column * 2 + 1);
        names_[static_cast<size_t>(n - 1)] = edit;
    }
    grid->setRowStretch(kRows, 1);
}

void CTotNaoSujPrPg::Load(const Equipment& e, int totalizer_count) {
    for (size_t i = 0; i < names_.size(); ++i) {
        names_[i]->setText(Q(e.tot_nao_suj[i]));
        names_[i]->setEnabled(static_cast<int>(i) < totalizer_count);
    }
}

void CTotNaoSujPrPg::Store(Equipment& e) const {
    for (size_t i = 0; i < names_.size(); ++i) e.tot_nao_suj[i] = Cp(names_[i]->text());
}

// ----------------------------------------------------------------------------- restaurant

CRestaurantPrPg::CRestaurantPrPg(QWidget* parent) : QWidget(parent) {
    setObjectName("CRestaurantPrPg");
    auto* kind = new QGroupBox(this);
    restaurant_ = new QRadioButton(Q("Parametriza para restaurante"), kind);
    restaurant_->setObjectName("restaurant");
    store_ = new QRadioButton(Q("Parametriza para tienda"), kind);
    store_->setObjectName("store");
    auto* kind_layout = new QVBoxLayout(kind);
    kind_layout->addWidget(restaurant_);
    kind_layout->addWidget(store_);
    auto* kind_group = new QButtonGroup(this);
    kind_group->addButton(restaurant_, 0);
    kind_group->addButton(store_, 1);

    check_ = new QCheckBox(Q("Parametriza cupom de conferencia"), this);
    check_->setObjectName("checkCoupon");
    auto* params = new QGroupBox(this);
    auto* params_layout = new QVBoxLayout(params);
    auto* params_group = new QButtonGroup(this);
    for (int p = 0; p < 4; ++p) {
        auto* b = new QRadioButton(Q(Format("Par\xE1metro %d", p)), params);
        b->setObjectName(QString("parameter%1").arg(p));
        params_layout->addWidget(b);
        params_group->addButton(b, p);
        parameters_[static_cast<size_t>(p)] = b;
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->addWidget(kind);
    layout->addSpacing(8);
    layout->addWidget(check_);
    layout->addWidget(params);
    layout->addStretch(1);
}

void CRestaurantPrPg::Load(const RestaurantChoice& c) {
    (c.restaurant == 1 ? store_ : restaurant_)->setChecked(true);
    check_->setChecked(c.check_coupon);
    parameters_[static_cast<size_t>(std::clamp(c.parameter, 0, 3))]->setChecked(true);
}

RestaurantChoice CRestaurantPrPg::Choice() const {
    RestaurantChoice c;
    c.restaurant = store_->isChecked() ? 1 : 0;
    c.check_coupon = check_->isChecked();
    for (int p = 0; p < 4; ++p)
        if (parameters_[static_cast<size_t>(p)]->isChecked()) c.parameter = p;
    return c;
}

// ----------------------------------------------------------------------------- sheet

ProgrammingSheet::ProgrammingSheet(const Equipment& current, int model_mask, const std::string& model_name,
                                   QWidget* parent)
    : QDialog(parent) {
    setObjectName("ProgrammingSheet");
    setWindowTitle(QString());
    tabs_ = new QTabWidget(this);
    general_ = new CGeneralInformationPrPg(tabs_);
    rates_ = new CAliquotasPrPg(tabs_);
    totalizers_ = new CTotNaoSujPrPg(tabs_);
    tabs_->addTab(general_, Q(textos::kInformacionesGenerales));
    tabs_->addTab(rates_, Q(textos::kAlicuotas));
    tabs_->addTab(totalizers_, Q(textos::kTotalizadoresParciales));
    if (IsRestaurantModel(model_name)) {
        restaurant_ = new CRestaurantPrPg(tabs_);
        tabs_->addTab(restaurant_, Q(textos::kRestaurante));
        restaurant_->Load(RestaurantChoiceFrom(current));
    }

    general_->Load(current);
    for (int k = 1; k <= Equipment::kRates; ++k) {
        rates_->SetRate(k, current.aliquota[static_cast<size_t>(k - 1)]);
        rates_->SetIva(k, VincRadio(current.vinc, k));
    }
    totalizers_->Load(current, TotalizerCount(model_mask));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(tabs_);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    {
        OkAnularButtons pair = MakeOkAnularButtons(this);
        ok_ = pair.ok;
        cancel_ = pair.cancel;
    }
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    InstallHelpKey(this);
}

void ProgrammingSheet::Store(Equipment& e) const {
    general_->Store(e);
    e.numero_de_serie = WithoutSpaces(e.numero_de_serie);
    std::array<int, Equipment::kRates> radios{};
    for (int k = 1; k <= Equipment::kRates; ++k) {
        e.aliquota[static_cast<size_t>(k - 1)] = rates_->Rate(k);
        radios[static_cast<size_t>(k - 1)] = rates_->Iva(k);
    }
    e.vinc = VincFromRadios(radios);
    totalizers_->Store(e);
    if (restaurant_) ApplyRestaurantChoice(e, restaurant_->Choice());
}

}  // namespace ordavo::gui
