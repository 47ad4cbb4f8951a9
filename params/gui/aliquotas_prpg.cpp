#include "params/gui/aliquotas_prpg.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QVBoxLayout>

#include "engine/util.h"
#include "shell/gui/gui_support.h"

namespace ordavo::gui {

CAliquotasPrPg::CAliquotasPrPg(QWidget* parent) : QWidget(parent) {
    setObjectName("CAliquotasPrPg");
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(14, 12, 14, 12);
    outer->setSpacing(28);
    // Two blocks of eight rates side by side, each with its own IVA / no IVA headings.
    for (int block = 0; block < 2; ++block) {
        auto* grid = new QGridLayout();
        grid->setHorizontalSpacing(12);
        grid->setVerticalSpacing(5);
        for (int h = 0; h < 2; ++h) {
            auto* heading = new QLabel(Q(h == 0 ? textos::kIva : textos::kNoIva), this);
            heading->setObjectName(QString("heading%1").arg(block * 2 + h));
            grid->addWidget(heading, 0, 2 + h, Qt::AlignHCenter);
            headings_[static_cast<size_t>(block * 2 + h)] = heading;
        }
        for (int row = 0; row < 8; ++row) {
            int k = block * 8 + row + 1;
            auto* label = new QLabel(Q(Format("%s %02d", textos::kAlicuota, k)), this);
            auto* rate = new QLineEdit(this);
            rate->setObjectName(QString("rate%1").arg(k));
            rate->setMaxLength(4);
            rate->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), rate));
            rate->setAlignment(Qt::AlignRight);
            rate->setFixedWidth(rate->fontMetrics().horizontalAdvance("00000") + 16);
            label->setBuddy(rate);
            auto* iva = new QRadioButton(this);
            iva->setObjectName(QString("iva%1").arg(k));
            auto* no_iva = new QRadioButton(this);
            no_iva->setObjectName(QString("noiva%1").arg(k));
            auto* group = new QButtonGroup(this);
            group->addButton(iva, 0);
            group->addButton(no_iva, 1);
            iva->setChecked(true);
            grid->addWidget(label, row + 1, 0);
            grid->addWidget(rate, row + 1, 1);
            grid->addWidget(iva, row + 1, 2, Qt::AlignHCenter);
            grid->addWidget(no_iva, row + 1, 3, Qt::AlignHCenter);
            size_t i = static_cast<size_t>(k - 1);
            rates_[i] = rate;
            iva_[i] = iva;
            no_iva_[i] = no_iva;
            groups_[i] = group;
        }
        grid->setRowStretch(9, 1);
        outer->addLayout(grid);
    }
    outer->addStretch(1);
}

void CAliquotasPrPg::SetRate(int k, const std::string& rate) {
    RateEdit(k)->setText(Q(rate));
}

std::string CAliquotasPrPg::Rate(int k) const {
    return Cp(RateEdit(k)->text());
}

void CAliquotasPrPg::SetIva(int k, int choice) {
    (choice == 0 ? IvaButton(k) : NoIvaButton(k))->setChecked(true);
}

int CAliquotasPrPg::Iva(int k) const {
    return NoIvaButton(k)->isChecked() ? 1 : 0;
}

void CAliquotasPrPg::SetReadOnlyRates(bool on) {
    for (QLineEdit* e : rates_) e->setEnabled(!on);
}

void CAliquotasPrPg::SetRatesOnly(bool on) {
    for (QLabel* h : headings_) h->setVisible(!on);
    for (size_t i = 0; i < rates_.size(); ++i) {
        iva_[i]->setVisible(!on);
        no_iva_[i]->setVisible(!on);
    }
}

bool CAliquotasPrPg::HeadingsVisible() const {
    return !headings_[0]->isHidden();
}

void CAliquotasPrPg::Load(const TaxRatePage& page) {
    for (int k = 1; k <= kRates; ++k) {
        SetRate(k, page.rates[static_cast<size_t>(k - 1)]);
        SetIva(k, page.iva[static_cast<size_t>(k - 1)]);
    }
    SetReadOnlyRates(page.read_only_rates);
    SetRatesOnly(page.rates_only);
}

void CAliquotasPrPg::Store(TaxRatePage& page) const {
    for (int k = 1; k <= kRates; ++k) {
        page.rates[static_cast<size_t>(k - 1)] = Rate(k);
        page.iva[static_cast<size_t>(k - 1)] = Iva(k);
    }
}

TaxRateSheet::TaxRateSheet(QWidget* parent) : QDialog(parent) {
    setObjectName("TaxRateSheet");
    setWindowTitle(QString());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    tabs_ = new QTabWidget(this);
    page_ = new CAliquotasPrPg(tabs_);
    tabs_->addTab(page_, Q(textos::kAlicuotas));
    layout->addWidget(tabs_);
    auto* row = new QHBoxLayout();
    row->addStretch(1);
    auto [ok, cancel] = MakeOkAnularButtons(this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
    InstallHelpKey(this);
}

}  // namespace ordavo::gui
