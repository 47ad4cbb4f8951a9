#include "params/core/terminal_editors.h"

#include <cstdlib>
#include <cstring>

#include "engine/codepage.h"
#include "engine/util.h"

namespace ordavo {
namespace {

bool AllDigits(const std::string& s) {
    return s.find_first_not_of("0123456789") == std::string::npos;
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

std::string Quoted(const std::string& s) {
    return "\"" + s + "\"";
}

// Digits before and after one "," or ".".
bool SplitDecimal(const std::string& text, std::string& whole, std::string& decimals) {
    size_t sep = text.find_first_of(",.");
    whole = text.substr(0, sep);
    decimals = sep == std::string::npos ? "" : text.substr(sep + 1);
    return AllDigits(whole) && AllDigits(decimals);
}

}  // namespace

std::optional<std::string> TerminalEditors::ReadLine() {
    char* line = nullptr;
    size_t cap = 0;
    ssize_t n = ::getline(&line, &cap, in_);
    if (n < 0) {
        std::free(line);
        // Ctrl-D on a terminal cancels this question only; the next one can still be answered.
        std::clearerr(in_);
        Say("\n");
        return std::nullopt;
    }
    std::string text(line, static_cast<size_t>(n));
    std::free(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return Utf8ToCp1252(text);
}

void TerminalEditors::Say(const std::string& cp1252) {
    std::string text = Cp1252ToUtf8(cp1252);
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fflush(out_);
}

void TerminalEditors::Describe(const std::string& description) {
    std::string text = description;
    ReplaceAll(text, "\r\n", "\n");
    text = WithoutMnemonic(text);
    if (!text.empty()) Say("\n" + text + "\n");
}

std::optional<std::string> TerminalEditors::ReadWithPreset(const std::string& prompt,
                                                           const std::string& preset) {
    if (preset.empty())
        Say(prompt + ": ");
    else
        Say(prompt + " [" + preset + "; Enter keeps it, - empties it]: ");
    auto line = ReadLine();
    if (!line) return std::nullopt;
    if (!preset.empty()) {
        if (line->empty()) return preset;
        if (*line == "-") return std::string();
    }
    return line;
}

std::optional<bool> TerminalEditors::ReadYesNo(const std::string& question) {
    for (;;) {
        Say(question + " (s/n): ");
        auto line = ReadLine();
        if (!line) return std::nullopt;
        std::string a = Lower(Trim(*line));
        if (a == "s" || a == "si" || a == "y" || a == "yes") return true;
        if (a == "n" || a == "no") return false;
        Say("Answer s (yes) or n (no).\n");
    }
}

std::optional<std::string> TerminalEditors::GetString(const StringEditor& e) {
    Describe(e.description);
    std::string prompt = e.limit > 0 ? Format("Text, at most %d characters", e.limit) : std::string("Text");
    if (e.hex) prompt = Format("Hexadecimal digits, at most %d", e.limit);
    std::string preset = StringAnswer(e.initial, e.limit, false, e.hex);
    for (;;) {
        auto line = ReadWithPreset(prompt, preset);
        if (!line) return std::nullopt;
        if (e.limit > 0 && static_cast<int>(line->size()) > e.limit) {
            Say(Format("Too long: at most %d characters.\n", e.limit));
            continue;
        }
        if (e.hex && line->find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos) {
            Say("Only the digits 0-9 and A-F.\n");
            continue;
        }
        return StringAnswer(*line, e.limit, e.padded, e.hex);
    }
}

std::optional<std::string> TerminalEditors::GetBigString(const BigStringEditor& e) {
    Describe(e.description);
    for (;;) {
        Say(
            Format("Text of at most %d characters (a line break counts two); end it with a line holding "
                   "only \".\"",
                   e.limit));
        if (!e.initial.empty()) Say(", or \".\" at once to keep " + Quoted(e.initial));
        Say(":\n");
        std::string text;
        bool first = true;
        for (;;) {
            auto line = ReadLine();
            if (!line) return std::nullopt;
            if (*line == ".") break;
            if (!first) text += "\r\n";
            text += *line;
            first = false;
        }
        if (first) text = e.initial;
        if (e.limit > 0 && static_cast<int>(BigStringAnswer(text, 0).size()) > e.limit) {
            Say(Format("Too long: at most %d characters.\n", e.limit));
            continue;
        }
        return BigStringAnswer(text, e.limit);
    }
}

std::optional<std::string> TerminalEditors::GetInteger(const IntegerEditor& e) {
    Describe(e.description);
    std::string prompt = e.limit > 0 ? Format("Number, at most %d digits", e.limit) : std::string("Number");
    for (;;) {
        auto line = ReadWithPreset(prompt, e.initial);
        if (!line) return std::nullopt;
        std::string text = Trim(*line);
        if (!AllDigits(text) || (e.limit > 0 && static_cast<int>(text.size()) > e.limit)) {
            Say(e.limit > 0 ? Format("Digits only, at most %d.\n", e.limit) : std::string("Digits only.\n"));
            continue;
        }
        return IntegerAnswer(text, e.limit);
    }
}

std::optional<std::string> TerminalEditors::ParseMoney(const std::string& text, int integer_digits,
                                                       int decimal_digits) {
    std::string whole, decimals;
    std::string t = Trim(text);
    if (t.empty() || !SplitDecimal(t, whole, decimals)) return std::nullopt;
    if (static_cast<int>(decimals.size()) > decimal_digits) return std::nullopt;
    size_t nz = whole.find_first_not_of('0');
    whole = nz == std::string::npos ? "" : whole.substr(nz);
    if (static_cast<int>(whole.size()) > integer_digits) return std::nullopt;
    decimals.append(static_cast<size_t>(decimal_digits) - decimals.size(), '0');
    return FinanceAnswer(whole + decimals, integer_digits, decimal_digits);
}

std::optional<std::string> TerminalEditors::GetFinance(const FinanceEditor& e) {
    Describe(e.description);
    int i = e.integer_digits < 0 ? 0 : e.integer_digits;
    int d = e.decimal_digits < 0 ? 0 : e.decimal_digits;
    std::string start = FinanceReformat(FinanceInitialText(e.initial, i, d), 0, d).text;
    for (;;) {
        Say(Format("Amount, at most %d digits before the comma and %d after it (e.g. 12,50) [%s]: ", i, d,
                   start.c_str()));
        auto line = ReadLine();
        if (!line) return std::nullopt;
        if (Trim(*line).empty()) return FinanceAnswer(start, i, d);
        auto answer = ParseMoney(*line, i, d);
        if (answer) return answer;
        Say("Not an amount that fits.\n");
    }
}

std::optional<PercentAnswer> TerminalEditors::ParsePercent(const std::string& text) {
    std::string whole, decimals;
    std::string t = Trim(text);
    if (!SplitDecimal(t, whole, decimals) || whole.size() > 2 || decimals.size() > 2) return std::nullopt;
    decimals.append(2 - decimals.size(), '0');
    return MakePercentAnswer(whole, decimals);
}

std::optional<PercentAnswer> TerminalEditors::GetPercent(const PercentEditor& e) {
    Describe(e.description);
    for (;;) {
        Say("Porcentual, NN,NN % (e.g. 10,50) [00,00]: ");
        auto line = ReadLine();
        if (!line) return std::nullopt;
        auto answer = ParsePercent(*line);
        if (answer) return answer;
        Say("At most two digits before the comma and two after it.\n");
    }
}

std::optional<Date> TerminalEditors::ParseDate(const std::string& text) {
    std::string t = Trim(text);
    std::string dd, mm, yy;
    if (AllDigits(t) && (t.size() == 6 || t.size() == 8)) {
        dd = t.substr(0, 2);
        mm = t.substr(2, 2);
        yy = t.substr(4);
    } else {
        size_t a = t.find('/');
        size_t b = a == std::string::npos ? a : t.find('/', a + 1);
        if (b == std::string::npos) return std::nullopt;
        dd = t.substr(0, a);
        mm = t.substr(a + 1, b - a - 1);
        yy = t.substr(b + 1);
    }
    if (dd.empty() || mm.empty() || dd.size() > 2 || mm.size() > 2 || !AllDigits(dd) || !AllDigits(mm) ||
        !AllDigits(yy) || (yy.size() != 2 && yy.size() != 4))
        return std::nullopt;
    Date d{std::atoi(dd.c_str()), std::atoi(mm.c_str()), std::atoi(yy.c_str())};
    if (yy.size() == 2) d.year += 2000;
    if (!IsValidDate(d)) return std::nullopt;
    return d;
}

std::optional<Date> TerminalEditors::GetDate(const DateEditor& e) {
    Describe(e.description);
    Date today = Today();
    for (;;) {
        Say(Format("%s (DD/MM/YYYY) [%02d/%02d/%04d]: ", textos::kFecha, today.day, today.month, today.year));
        auto line = ReadLine();
        if (!line) return std::nullopt;
        if (Trim(*line).empty()) return today;
        auto d = ParseDate(*line);
        if (d) return d;
        Say("Not a date.\n");
    }
}

std::optional<HourAnswer> TerminalEditors::ParseTime(const std::string& text) {
    std::string t = Trim(text);
    HourAnswer h;
    auto two = [](const std::string& s, int max, int& out) {
        if (s.empty() || s.size() > 2 || !AllDigits(s)) return false;
        out = std::atoi(s.c_str());
        return out <= max;
    };
    if (AllDigits(t) && t.size() == 6) {
        if (two(t.substr(0, 2), 23, h.hour) && two(t.substr(2, 2), 59, h.minute) &&
            two(t.substr(4, 2), 59, h.second))
            return h;
        return std::nullopt;
    }
    size_t a = t.find(':');
    if (a == std::string::npos) return std::nullopt;
    size_t b = t.find(':', a + 1);
    std::string hh = t.substr(0, a);
    std::string mm = t.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
    std::string ss = b == std::string::npos ? "0" : t.substr(b + 1);
    if (two(hh, 23, h.hour) && two(mm, 59, h.minute) && two(ss, 59, h.second)) return h;
    return std::nullopt;
}

std::optional<HourAnswer> TerminalEditors::GetHour(const HourEditor& e) {
    if (e.date_and_time) {
        // The printer takes the computer's clock; only the summer-time box is the user's.
        Describe(DateTimeModeDescription(Today()));
        auto summer = ReadYesNo(textos::kHorarioVerano + std::string("?"));
        if (!summer) return std::nullopt;
        HourAnswer now = Now();
        now.summer_time = *summer ? 1 : 0;
        return now;
    }
    Describe(e.description);
    HourAnswer now = Now();
    for (;;) {
        Say(Format("%s (HH:MM:SS) [%02d:%02d:%02d]: ", textos::kHora, now.hour, now.minute, now.second));
        auto line = ReadLine();
        if (!line) return std::nullopt;
        if (Trim(*line).empty()) return now;
        auto t = ParseTime(*line);
        if (t) return t;
        Say("Not a time of day.\n");
    }
}

std::optional<int> TerminalEditors::GetOption(const OptionEditor& e) {
    Describe(e.description);
    if (e.description.empty()) Say("\n");
    for (int k = 1; k <= OptionEditor::kButtons; ++k) {
        if (!OptionButtonVisible(e, k)) continue;
        std::string caption = WithoutMnemonic(e.captions[static_cast<size_t>(k - 1)]);
        Say(Format("  %2d) ", k) + (caption.empty() ? std::string("(blank)") : caption) + "\n");
    }
    Say(Format("   0) %s\n", textos::kAnular));
    for (;;) {
        Say("Choice: ");
        auto line = ReadLine();
        if (!line) return std::nullopt;
        std::string t = Trim(*line);
        if (!t.empty() && t.size() <= 2 && AllDigits(t)) {
            int k = std::atoi(t.c_str());
            if (k == 0) return std::nullopt;
            if (OptionButtonVisible(e, k)) return k;
        }
        Say("Give the number of one of the choices listed.\n");
    }
}

std::optional<std::string> TerminalEditors::GetCheque(const ChequeEditor& e) {
    Say("\nCheque positions (two digits each)\n");
    std::array<std::string, ChequeEditor::kBoxes> boxes;
    for (size_t k = 0; k < boxes.size(); ++k) {
        std::string prompt =
            std::string(k < 8 ? "X " : "Y ") + WithoutMnemonic(kChequeRotulos[k < 8 ? k : k - 8]);
        for (;;) {
            auto line = ReadWithPreset(prompt, e.initial[k]);
            if (!line) return std::nullopt;
            std::string t = Trim(*line);
            if (t.size() <= 2 && AllDigits(t)) {
                boxes[k] = t;
                break;
            }
            Say("At most two digits.\n");
        }
    }
    return ChequeAnswer(boxes);
}

std::optional<std::string> TerminalEditors::GetCliche() {
    Say("\n" + std::string(textos::kClichePropietario) + "\n");
    ClicheInput input;
    const char* names[] = {"Line 1", "Line 2", "Text 3"};
    for (size_t i = 0; i < input.lines.size(); ++i) {
        ClicheLine& l = input.lines[i];
        int limit = i < 2 ? ClicheInput::kLineLimit : ClicheInput::kThirdLimit;
        for (;;) {
            Say(Format("%s, at most %d characters: ", names[i], limit));
            auto line = ReadLine();
            if (!line) return std::nullopt;
            if (static_cast<int>(line->size()) <= limit) {
                l.text = *line;
                break;
            }
            Say("Too long.\n");
        }
        for (;;) {
            Say(std::string("  Attributes: s ") + textos::kSubrayado + ", i " + textos::kItalico + ", r " +
                textos::kRealzado + ", e " + textos::kExpandido + " (e.g. \"se\"; Enter for none): ");
            auto line = ReadLine();
            if (!line) return std::nullopt;
            std::string a = Lower(Trim(*line));
            if (a.find_first_not_of("sire") != std::string::npos) {
                Say("Only the letters s, i, r and e.\n");
                continue;
            }
            l.underline = a.find('s') != std::string::npos;
            l.italic = a.find('i') != std::string::npos;
            l.emphasized = a.find('r') != std::string::npos;
            l.expanded = a.find('e') != std::string::npos;
            break;
        }
    }
    auto centered = ReadYesNo(textos::kCentralizado + std::string("?"));
    if (!centered) return std::nullopt;
    input.centered = *centered;
    return ComposeCliche(input);
}

bool TerminalEditors::AskYesNo(const std::string& text, MsgIcon) {
    std::string question = text;
    ReplaceAll(question, "\r\n", "\n");
    Say("\n");
    return ReadYesNo(question).value_or(false);
}

bool TerminalEditors::EditTaxRates(TaxRatePage& page) {
    Say("\n" + std::string(textos::kAlicuotas) + "\n");
    TaxRatePage edited = page;
    for (size_t k = 0; k < edited.rates.size(); ++k) {
        std::string prompt = Format("%s %02zu (XX,XX %%: four digits)", textos::kAlicuota, k + 1);
        if (edited.read_only_rates) {
            Say(Format("%s %02zu: ", textos::kAlicuota, k + 1) + edited.rates[k] + "\n");
            continue;
        }
        for (;;) {
            auto line = ReadWithPreset(prompt, edited.rates[k]);
            if (!line) return false;
            std::string t = Trim(*line);
            if (t.size() <= 4 && AllDigits(t)) {
                edited.rates[k] = t;
                break;
            }
            Say("At most four digits.\n");
        }
    }
    if (!edited.rates_only) {
        std::string current;
        for (int v : edited.iva) current += v == 0 ? '0' : '1';
        for (;;) {
            Say(Format("%s (0) or %s (1) for the 16 rates, in order [%s]: ", textos::kIva, textos::kNoIva,
                       current.c_str()));
            auto line = ReadLine();
            if (!line) return false;
            std::string t = Trim(*line);
            if (t.empty()) break;
            if (t.size() == 16 && t.find_first_not_of("01") == std::string::npos) {
                for (size_t k = 0; k < 16; ++k) edited.iva[k] = t[k] - '0';
                break;
            }
            Say("Sixteen characters, each 0 or 1.\n");
        }
    }
    page = edited;
    return true;
}

}  // namespace ordavo
