// The value editors of the desktop program: each request opens its window modally over the
// active window.
#pragma once

#include <QPointer>
#include <QWidget>

#include "params/core/value_editors.h"

namespace ordavo::gui {

class QtValueEditors : public ValueEditors {
  public:
    // Windows open over the active modal window, else over `parent`.
    explicit QtValueEditors(QWidget* parent = nullptr) : parent_(parent) {}

    std::optional<std::string> GetString(const StringEditor& e) override;
    std::optional<std::string> GetBigString(const BigStringEditor& e) override;
    std::optional<std::string> GetInteger(const IntegerEditor& e) override;
    std::optional<std::string> GetFinance(const FinanceEditor& e) override;
    std::optional<PercentAnswer> GetPercent(const PercentEditor& e) override;
    std::optional<Date> GetDate(const DateEditor& e) override;
    std::optional<HourAnswer> GetHour(const HourEditor& e) override;
    std::optional<int> GetOption(const OptionEditor& e) override;
    std::optional<std::string> GetCheque(const ChequeEditor& e) override;
    std::optional<std::string> GetCliche() override;
    bool AskYesNo(const std::string& text, MsgIcon icon) override;
    bool EditTaxRates(TaxRatePage& page) override;

  private:
    QWidget* Parent() const;
    QPointer<QWidget> parent_;
};

}  // namespace ordavo::gui
