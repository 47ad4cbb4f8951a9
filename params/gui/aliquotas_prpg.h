// The tax-rate page ("Alícuotas"): sixteen rates of four digits (the digits of XX,XX %) and, per
// rate, IVA (0) or no IVA (1). The programming wizard shows it as one of its pages; the value
// dispatcher shows it alone in a property sheet, with the rates read-only or the IVA columns
// hidden.
#pragma once

#include <QDialog>
#include <QWidget>
#include <array>
#include <string>

#include "params/core/value_editors.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTabWidget;

namespace ordavo::gui {

class CAliquotasPrPg : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kRates = TaxRatePage::kRates;

    explicit CAliquotasPrPg(QWidget* parent = nullptr);

    // k counts from 1.
    void SetRate(int k, const std::string& rate);
    std::string Rate(int k) const;
    void SetIva(int k, int choice);  // 0 IVA, anything else no IVA
    int Iva(int k) const;
    // The rate boxes disabled.
    void SetReadOnlyRates(bool on);
    // The IVA / no IVA columns and their headings hidden.
    void SetRatesOnly(bool on);

    void Load(const TaxRatePage& page);
    void Store(TaxRatePage& page) const;

    QLineEdit* RateEdit(int k) const { return rates_[static_cast<size_t>(k - 1)]; }
    QRadioButton* IvaButton(int k) const { return iva_[static_cast<size_t>(k - 1)]; }
    QRadioButton* NoIvaButton(int k) const { return no_iva_[static_cast<size_t>(k - 1)]; }
    bool HeadingsVisible() const;

  private:
    std::array<QLineEdit*, kRates> rates_{};
    std::array<QRadioButton*, kRates> iva_{};
    std::array<QRadioButton*, kRates> no_iva_{};
    std::array<QButtonGroup*, kRates> groups_{};
    std::array<QLabel*, 4> headings_{};
};

// The page alone in a property sheet, with OK and "Anular".
class TaxRateSheet : public QDialog {
    Q_OBJECT
  public:
    explicit TaxRateSheet(QWidget* parent = nullptr);
    CAliquotasPrPg* Page() const { return page_; }
    QTabWidget* Tabs() const { return tabs_; }

  private:
    QTabWidget* tabs_ = nullptr;
    CAliquotasPrPg* page_ = nullptr;
};

}  // namespace ordavo::gui
