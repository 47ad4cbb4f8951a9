#include "sim/params.h"

#include <algorithm>
#include <bit>

namespace ordavo::sim {
namespace {

bool IsOneOf(const std::string& s, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (s == n) return true;
    return false;
}

bool IsDigitsType(const std::string& f) {
    return IsOneOf(f, {"INTEGER", "FINANCE", "FINANCE_3", "PERCENTAGE", "RANDOM_NUMBER"});
}

std::string Describe(const ParamDef& p, size_t index) {
    return "parameter " + std::to_string(index + 1) + " (" + p.formato + " " + std::to_string(p.tamanho) +
           ")";
}

}  // namespace

int WireSize(const std::string& f, int tamanho) {
    if (tamanho < 0) tamanho = 0;
    if (IsOneOf(f, {"NOT_EDITABLE", "INTEGER", "FINANCE", "FINANCE_3", "PERCENTAGE", "RANDOM_NUMBER",
                    "BCD_INTEGER", "STRING", "BIG_STRING", "RANDOM_STRING", "DATA", "DATA_2_2_4", "HORA",
                    "VINC_ISS", "OPTIONS"}))
        return tamanho;
    if (IsOneOf(f, {"BINARIO", "CUPOM_OU_BILHETE_CONV_156"})) return 1;
    if (IsOneOf(f, {"CHEQUE_POS", "DIG_HEX", "DIG_HEX_NOT_EDITABLE", "CAR_GRAF_AUTENTICACAO"}))
        return tamanho;
    // One byte for the count of rates, then the 64 characters of the 16 rates.
    if (f == "TROCA_SIT_TRIB") return 65;
    if (IsOneOf(f, {"STRING_VAR_SIZE", "BIG_STRING_VAR_SIZE", "STRING_VAR_SIZE_WITHOUT_CR",
                    "BILHETE_PASSAGEM", "LEIT_DADOS_MEM_FISCAL", "DISCOUNT", "CLICHE", "FECHA_CUPOM",
                    "AC_OU_DESC_ITEM", "AC_OU_DESC_SUB", "DESCR_FORMA_PAGAMENTO",
                    "DESCR_FORMA_PAGAMENTO_MP_20", "IMPR_FITA_DETALHE", "LEIT_MEM_FISCAL"}))
        return kVariable;
    return 0;  // STRING_VAR_SIZE_LINE, INFORME_TRANSACIONES, INFORME_TRANSACIONES_SERIAL, unknown names
}

bool AllDigits(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

static int Num(const std::string& s, size_t pos, size_t n) {
    return std::stoi(s.substr(pos, n));
}

bool ValidDate(const std::string& s, bool four_digit_year, int* day, int* month, int* year) {
    if (s.size() != (four_digit_year ? 8u : 6u) || !AllDigits(s)) return false;
    const int d = Num(s, 0, 2), m = Num(s, 2, 2);
    const int y = four_digit_year ? Num(s, 4, 4) : 2000 + Num(s, 4, 2);
    if (m < 1 || m > 12 || d < 1) return false;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    const int days = kDays[m - 1] + (m == 2 && leap ? 1 : 0);
    if (d > days) return false;
    if (day) *day = d;
    if (month) *month = m;
    if (year) *year = y;
    return true;
}

bool ValidTime(const std::string& s, int* hour, int* minute, int* second) {
    if (s.size() != 6 || !AllDigits(s)) return false;
    const int h = Num(s, 0, 2), mi = Num(s, 2, 2), se = Num(s, 4, 2);
    if (h > 23 || mi > 59 || se > 59) return false;
    if (hour) *hour = h;
    if (minute) *minute = mi;
    if (second) *second = se;
    return true;
}

SplitResult SplitParams(const std::vector<ParamDef>& layout, const uint8_t* bytes, size_t size) {
    SplitResult r;
    const size_t n = layout.size();
    std::vector<int> wire(n);
    std::vector<size_t> optional_index;
    for (size_t i = 0; i < n; ++i) {
        wire[i] = WireSize(layout[i].formato, layout[i].tamanho);
        if (!layout[i].obrigatorio && wire[i] != 0) optional_index.push_back(i);
    }
    // More than a handful of optional parameters does not occur; past 16 only the first 16 may
    // be left out.
    const size_t k = std::min<size_t>(optional_index.size(), 16);
    std::vector<uint32_t> masks(size_t{1} << k);
    for (uint32_t m = 0; m < masks.size(); ++m) masks[m] = m;
    // Bit set = the optional parameter is present. Most present first; among equals, the ones
    // that keep the earlier parameters.
    std::stable_sort(masks.begin(), masks.end(), [&](uint32_t a, uint32_t b) {
        const int pa = std::popcount(a), pb = std::popcount(b);
        if (pa != pb) return pa > pb;
        for (size_t bit = 0; bit < k; ++bit) {
            const bool ia = a & (1u << bit), ib = b & (1u << bit);
            if (ia != ib) return ia;
        }
        return false;
    });

    std::vector<bool> present(n);
    for (uint32_t mask : masks) {
        for (size_t i = 0; i < n; ++i) present[i] = wire[i] != 0;
        for (size_t bit = 0; bit < optional_index.size(); ++bit)
            if (bit >= k || !(mask & (1u << bit))) present[optional_index[bit]] = bit >= k;
        size_t fixed = 0;
        int variables = 0;
        for (size_t i = 0; i < n; ++i) {
            if (!present[i]) continue;
            if (wire[i] == kVariable)
                ++variables;
            else
                fixed += static_cast<size_t>(wire[i]);
        }
        const bool fits = variables == 0 ? fixed == size : (variables == 1 && fixed < size);
        if (!fits) continue;
        r.values.assign(n, std::nullopt);
        size_t pos = 0;
        for (size_t i = 0; i < n; ++i) {
            if (!present[i]) continue;
            const size_t len = wire[i] == kVariable ? size - fixed : static_cast<size_t>(wire[i]);
            r.values[i] = std::string(reinterpret_cast<const char*>(bytes) + pos, len);
            pos += len;
        }
        // Type checks of the fields as cut.
        for (size_t i = 0; i < n; ++i) {
            if (!r.values[i]) continue;
            const std::string& v = *r.values[i];
            const std::string& f = layout[i].formato;
            bool ok = true;
            if (IsDigitsType(f))
                ok = AllDigits(v);
            else if (f == "DATA")
                ok = AllDigits(v);  // the range is the handler's business (its own return code)
            else if (f == "DATA_2_2_4")
                ok = AllDigits(v);
            else if (f == "HORA")
                ok = AllDigits(v);
            if (!ok) {
                r.error = ParamError::kType;
                r.why = Describe(layout[i], i) + " is not all digits";
                return r;
            }
        }
        return r;
    }
    r.error = ParamError::kCount;
    r.values.clear();
    r.why = std::to_string(size) + " parameter bytes do not fit the layout " + WireShapeText(layout);
    return r;
}

static std::vector<std::pair<int, bool>> Shape(const std::vector<ParamDef>& layout) {
    std::vector<std::pair<int, bool>> s;
    for (const ParamDef& p : layout) {
        const int w = WireSize(p.formato, p.tamanho);
        if (w != 0) s.emplace_back(w, p.obrigatorio);
    }
    return s;
}

bool SameWireShape(const std::vector<ParamDef>& a, const std::vector<ParamDef>& b) {
    return Shape(a) == Shape(b);
}

std::string WireShapeText(const std::vector<ParamDef>& layout) {
    std::string out = "[";
    for (const auto& [w, mandatory] : Shape(layout)) {
        if (out.size() > 1) out += ' ';
        out += w == kVariable ? std::string("var") : std::to_string(w);
        if (!mandatory) out += '?';
    }
    return out + "]";
}

}  // namespace ordavo::sim
