#include "params/gui/qt_value_editors.h"

#include "engine/env.h"
#include "params/gui/aliquotas_prpg.h"
#include "params/gui/value_dialogs.h"
#include "shell/gui/gui_support.h"

namespace ordavo::gui {

QWidget* QtValueEditors::Parent() const {
    return DialogParent(parent_.data());
}

std::optional<std::string> QtValueEditors::GetString(const StringEditor& e) {
    GetStringDlg d(Parent());
    d.SetDescription(e.description);
    d.SetLimit(e.limit);
    d.SetPadded(e.padded);
    d.SetHex(e.hex);
    d.SetInitial(e.initial);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return d.Answer();
}

std::optional<std::string> QtValueEditors::GetBigString(const BigStringEditor& e) {
    GetBigStringDlg d(Parent());
    d.SetDescription(e.description);
    d.SetLimit(e.limit);
    d.SetInitial(e.initial);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return d.Answer();
}

std::optional<std::string> QtValueEditors::GetInteger(const IntegerEditor& e) {
    GetIntegerDlg d(Parent());
    d.SetDescription(e.description);
    d.SetLimit(e.limit);
    d.SetInitial(e.initial);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return d.Answer();
}

std::optional<std::string> QtValueEditors::GetFinance(const FinanceEditor& e) {
    GetFinanceDlg d(Parent());
    d.SetDescription(e.description);
    d.SetLimits(e.integer_digits, e.decimal_digits);
    d.SetInitial(e.initial);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return d.Answer();
}

std::optional<PercentAnswer> QtValueEditors::GetPercent(const PercentEditor& e) {
    DlgGetPercent d(Parent());
    d.SetDescription(e.description);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return d.Answer();
}

std::optional<Date> QtValueEditors::GetDate(const DateEditor& e) {
    gui::GetDate d(Parent());
    d.SetDescription(e.description);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return d.Answer();
}

std::optional<HourAnswer> QtValueEditors::GetHour(const HourEditor& e) {
    GetHourDlg d(Parent());
    d.SetDescription(e.description);
    d.SetDateAndTimeMode(e.date_and_time);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return d.Answer();
}

std::optional<int> QtValueEditors::GetOption(const OptionEditor& e) {
    GetOptionDlg d(Parent());
    d.SetDescription(e.description);
    d.SetCaptions(e.captions);
    if (d.exec() != QDialog::Accepted || d.Choice() == 0) return std::nullopt;
    return d.Choice();
}

std::optional<std::string> QtValueEditors::GetCheque(const ChequeEditor& e) {
    GetChequeDlg d(Parent());
    d.SetInitial(e.initial);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return d.Answer();
}

std::optional<std::string> QtValueEditors::GetCliche() {
    GetClicheDlg d(Parent());
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return d.Answer();
}

bool QtValueEditors::AskYesNo(const std::string& text, MsgIcon icon) {
    return EngineEnv().ui->MessageBox(text, "", MsgButtons::YesNo, icon);
}

bool QtValueEditors::EditTaxRates(TaxRatePage& page) {
    TaxRateSheet sheet(Parent());
    sheet.Page()->Load(page);
    if (sheet.exec() != QDialog::Accepted) return false;
    sheet.Page()->Store(page);
    return true;
}

}  // namespace ordavo::gui
