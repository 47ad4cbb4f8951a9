#include "params/core/value_editors.h"

#include <algorithm>
#include <ctime>

#include "engine/env.h"
#include "engine/util.h"

namespace ordavo {

const std::array<const char*, 8> kChequeRotulos = {
    "&Valor",
    "Extenso 1",
    "Extenso 2",
    "Benefici\xE1rio",
    "Sitio",
    "D\xED"
    "a",
    "Mes",
    "A\xF1o",
};

namespace {

std::string PadLeft(std::string text, size_t width, char fill) {
    if (text.size() < width) text.insert(0, width - text.size(), fill);
    return text;
}

std::string WithoutCommas(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != ',') out += c;
    return out;
}

int Limit(int n) {
    return n < 0 ? 0 : n;
}

}  // namespace

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

std::string StringAnswer(std::string text, int limit, bool padded, bool hex) {
    // A limit of 0 is no limit, as for the edit box that holds the text.
    size_t n = static_cast<size_t>(Limit(limit));
    if (n > 0 && text.size() > n) text.resize(n);
    if (hex)
        for (char& c : text)
            if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    if (padded && !text.empty() && text.size() < n) text.append(n - text.size(), ' ');
    return text;
}

std::string BigStringAnswer(const std::string& text, int limit) {
    std::string out;
    out.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\r\n";
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    size_t n = static_cast<size_t>(Limit(limit));
    if (n > 0 && out.size() > n) {
        out.resize(n);
        // A line break counts two characters; half of one is no line break.
        if (!out.empty() && out.back() == '\r') out.pop_back();
    }
    return out;
}

std::string IntegerAnswer(const std::string& text, int limit) {
    if (text.empty()) return text;
    return PadLeft(text, static_cast<size_t>(Limit(limit)), '0');
}

std::string FinanceInitialText(const std::string& initial, int integer_digits, int decimal_digits) {
    int total = Limit(integer_digits) + Limit(decimal_digits);
    std::string zeros(static_cast<size_t>(Limit(decimal_digits)) + 1, '0');
    if (initial.empty() || initial.size() > static_cast<size_t>(total)) return zeros;
    // The box takes digits only; a catalog value such as "12,50" keeps its digits.
    std::string digits;
    for (char c : initial)
        if (c >= '0' && c <= '9') digits += c;
    return digits.empty() ? zeros : digits;
}

FinanceBox FinanceReformat(const std::string& text, int caret, int decimal_digits) {
    std::string digits = WithoutCommas(text);
    bool removed = digits.size() != text.size();
    size_t d = static_cast<size_t>(Limit(decimal_digits));
    bool inserted = d > 0 && digits.size() > d;
    FinanceBox box;
    box.text = digits;
    if (inserted) box.text.insert(digits.size() - d, 1, ',');
    box.caret = caret;
    if (inserted && !removed) {
        if (caret != 1) ++box.caret;
    } else if (removed && !inserted) {
        if (caret > 1) --box.caret;
    }
    box.caret = std::clamp(box.caret, 0, static_cast<int>(box.text.size()));
    return box;
}

std::string FinanceAnswer(const std::string& text, int integer_digits, int decimal_digits) {
    return PadLeft(WithoutCommas(text), static_cast<size_t>(Limit(integer_digits) + Limit(decimal_digits)),
                   '0');
}

int FinanceBoxLimit(int integer_digits, int decimal_digits) {
    return Limit(integer_digits) + Limit(decimal_digits) + 1;
}

std::string PercentPart(const std::string& text) {
    return PadLeft(text, 2, '0');
}

PercentAnswer MakePercentAnswer(const std::string& integer_text, const std::string& decimal_text) {
    return PercentAnswer{PercentPart(integer_text), PercentPart(decimal_text)};
}

std::string ChequeAnswer(const std::array<std::string, ChequeEditor::kBoxes>& boxes) {
    std::string out;
    for (const std::string& b : boxes) out += PadLeft(b, 2, '0');
    return out;
}

std::array<std::string, ChequeEditor::kBoxes> ChequePreset(const std::string& valor) {
    std::array<std::string, ChequeEditor::kBoxes> boxes;
    if (valor.size() == 2 * ChequeEditor::kBoxes)
        for (size_t k = 0; k < boxes.size(); ++k) boxes[k] = valor.substr(2 * k, 2);
    return boxes;
}

std::string ComposeCliche(const ClicheInput& input) {
    struct Attr {
        bool ClicheLine::*flag;
        const char* start;
        const char* end;
        int cost;
    };
    static const Attr kAttrs[] = {
        {&ClicheLine::underline, "CLICHE_SUB_INI_XML", "CLICHE_SUB_END_XML", 3},
        {&ClicheLine::italic, "CLICHE_IT_INI_XML", "CLICHE_IT_END_XML", 2},
        {&ClicheLine::emphasized, "CLICHE_ENF_INI_XML", "CLICHE_ENF_END_XML", 2},
        {&ClicheLine::expanded, "CLICHE_EXP_INI_XML", "CLICHE_EXP_END_XML", 3},
    };
    const int w = ClicheInput::kWidth;
    std::string answer;
    for (size_t i = 0; i < input.lines.size(); ++i) {
        const ClicheLine& l = input.lines[i];
        std::string line;
        int cost = 0;
        for (const Attr& a : kAttrs)
            if (l.*a.flag) {
                line += a.start;
                cost += a.cost;
            }
        // Every attribute's codes take printer columns; the text keeps what is left.
        int keep = std::max(0, w - 2 * cost);
        std::string cut = l.text.substr(0, std::min(l.text.size(), static_cast<size_t>(keep)));
        line += cut;
        for (const Attr& a : kAttrs)
            if (l.*a.flag) line += a.end;
        if (input.centered) {
            int length = static_cast<int>(cut.size());
            int spaces;
            if (i < 2) {
                spaces = l.expanded ? (w - (2 * length + 1)) / 2 : (w - length) / 2;
            } else {
                // The third text may run over two printed lines; it is centred by its first
                // line, and never pushed beyond what the whole text leaves free.
                std::string composed = line + "\r\n";
                int lf = static_cast<int>(composed.find('\n'));
                int first = std::min({lf, w, length});
                spaces = l.expanded ? (w - (2 * first + 1)) / 2 : (w - first) / 2;
                int cap = l.expanded ? (80 - (2 * length + 1)) / 2 : (79 - length) / 2;
                spaces = std::min(spaces, cap);
            }
            if (spaces > 0) line.insert(0, static_cast<size_t>(spaces), ' ');
        }
        line += "\r\n";
        answer += line;
    }
    return answer;
}

bool OptionButtonVisible(const OptionEditor& e, int button) {
    if (button < 1 || button > OptionEditor::kButtons) return false;
    return button <= 2 || !e.captions[static_cast<size_t>(button - 1)].empty();
}

std::string WithoutMnemonic(const std::string& caption) {
    std::string out;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += caption[i];
    }
    return out;
}

OptionsList ParseOptionsTitle(const std::string& titulo) {
    OptionsList list;
    std::string rest = titulo;
    for (size_t k = 0; k < list.names.size(); ++k) {
        size_t open = rest.find('(');
        if (open == std::string::npos || open == 0) continue;
        list.names[k] = rest.substr(0, open);
        rest.erase(0, open + 1);
        size_t close = rest.find(')');
        if (close != std::string::npos && close != 0) {
            list.codes[k] = rest.substr(0, close);
            rest.erase(0, close + 1);
        }
        size_t ou = rest.find("ou");
        // Without a further "ou" the first character goes, which ends any list in practice.
        rest.erase(0, ou == std::string::npos ? 1 : ou + 2);
    }
    return list;
}

std::string DateDDMMYY(const Date& d) {
    return Format("%02d%02d%02d", d.day, d.month, ((d.year % 100) + 100) % 100);
}

std::string DateDDMMYYYY(const Date& d) {
    return Format("%02d%02d%04d", d.day, d.month, d.year);
}

std::string TimeHHMMSS(const HourAnswer& t) {
    return Format("%02d%02d%02d", t.hour, t.minute, t.second);
}

bool IsValidDate(const Date& d) {
    if (d.year < 1 || d.year > 9999 || d.month < 1 || d.month > 12 || d.day < 1) return false;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int days = kDays[d.month - 1];
    bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
    if (d.month == 2 && leap) days = 29;
    return d.day <= days;
}

std::string DateConfirmationText(const Date& d) {
    return std::string(textos::kFechaCorrecta) + "\r\n" +
           Format("%02d/%02d/%02d", d.day, d.month, ((d.year % 100) + 100) % 100);
}

std::string DateTimeModeDescription(const Date& today) {
    return std::string(textos::kAceptarFechaHora) + "\r\n\r\n" + textos::kFecha + ": " +
           Format("%02d/%02d/%04d", today.day, today.month, today.year);
}

namespace {
std::tm LocalNow() {
    std::time_t t = EngineEnv().clock->Now();
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}
}  // namespace

Date Today() {
    std::tm tm = LocalNow();
    return Date{tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900};
}

HourAnswer Now() {
    std::tm tm = LocalNow();
    return HourAnswer{tm.tm_hour, tm.tm_min, tm.tm_sec, 0};
}

}  // namespace ordavo
