// The typed value editors on a terminal: questions on one stream (standard error), answers read
// line by line from another (standard input), UTF-8 on the terminal and Windows-1252 inside.
// Choice windows become numbered lists. End of input is the Cancel button ("Anular"); a
// terminal user can also press Ctrl-D and go on answering the next question.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "params/core/value_editors.h"

namespace ordavo {

class TerminalEditors : public ValueEditors {
  public:
    explicit TerminalEditors(std::FILE* in = stdin, std::FILE* out = stderr) : in_(in), out_(out) {}

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

    // Parsers of the answers typed (exposed for the tests). Each gives nothing for a text it
    // cannot take, and then the question is asked again.
    // Money: digits, optionally a "," or "." and at most D decimals ("12,5" is 12.50).
    static std::optional<std::string> ParseMoney(const std::string& text, int integer_digits,
                                                 int decimal_digits);
    // Percentage "II,DD" with the same reading; "" is 00,00.
    static std::optional<PercentAnswer> ParsePercent(const std::string& text);
    // DD/MM/YYYY, DD/MM/YY (20YY), DDMMYY or DDMMYYYY.
    static std::optional<Date> ParseDate(const std::string& text);
    // HH:MM:SS, HH:MM or HHMMSS.
    static std::optional<HourAnswer> ParseTime(const std::string& text);

  private:
    std::optional<std::string> ReadLine();
    void Say(const std::string& cp1252);
    void Describe(const std::string& description);
    // A line for a box that starts with `preset`: Enter alone keeps the preset, "-" empties it.
    std::optional<std::string> ReadWithPreset(const std::string& prompt, const std::string& preset);
    std::optional<bool> ReadYesNo(const std::string& question);

    std::FILE* in_;
    std::FILE* out_;
};

}  // namespace ordavo
