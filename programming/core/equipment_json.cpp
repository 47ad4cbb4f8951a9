#include "programming/core/equipment_json.h"

#include <algorithm>

#include "engine/codepage.h"
#include "params/core/value_editors.h"
#include "programming/core/programming.h"

namespace ordavo {
namespace {

bool Digits(const std::string& s) { return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }); }

// The values the sheet can give a field that has no text box of its own.
bool AllowedChoice(const std::string& element, const std::string& v) {
    if (element == "vinc") return v.size() <= 16 && v.find_first_not_of("01") == std::string::npos;
    if (element == "Restaurante_Loja") return v.empty() || v == "0" || v == "1";
    if (element == "Parametriza_Cupom_Conferencia") return v.empty() || v == "-1" || (v.size() == 1 && v[0] >= '0' && v[0] <= '3');
    return true;
}

}  // namespace

int EquipmentFieldLimit(const EquipmentField& f) {
    if (f.rate >= 0) return 4;
    if (f.totalizer >= 0) return 19;
    const std::string& n = f.element;
    if (n == "UF") return 2;
    if (n == "numero_da_loja") return 4;
    if (n == "numero_do_caixa") return 3;
    if (n == "data" || n == "hora") return 6;
    if (n == "cliche") return 186;
    if (n == "vinc") return 16;
    if (n == "Restaurante_Loja" || n == "Parametriza_Cupom_Conferencia") return 2;
    return 20;
}

bool IsHexPassword(const std::string& text) {
    return text.size() <= 20 && std::all_of(text.begin(), text.end(), [](char c) { return IsHexDigit(c); });
}

nlohmann::ordered_json EquipmentToJson(const Equipment& e) {
    nlohmann::ordered_json j = nlohmann::ordered_json::object();
    for (const EquipmentField& f : EquipmentFields()) {
        if (f.flag)
            j[f.element] = f.GetFlag(e);
        else
            j[f.element] = Cp1252ToUtf8(f.Get(e));
    }
    return j;
}

bool EquipmentFromJson(const std::string& utf8, Equipment& out, std::string& error) {
    nlohmann::json j = nlohmann::json::parse(utf8, nullptr, false);
    if (j.is_discarded()) {
        error = "not a JSON document";
        return false;
    }
    if (!j.is_object()) {
        error = "expected one JSON object with the record's fields";
        return false;
    }
    Equipment e;
    for (const auto& [key, value] : j.items()) {
        const EquipmentField* f = FindEquipmentField(key);
        if (!f && key != "senha") {
            error = "unknown key \"" + key + "\"";
            return false;
        }
        if (f && f->flag) {
            if (!value.is_boolean()) {
                error = "\"" + key + "\": expected true or false";
                return false;
            }
            f->SetFlag(e, value.get<bool>());
            continue;
        }
        if (!value.is_string()) {
            error = "\"" + key + "\": expected a text";
            return false;
        }
        const std::string text = value.get<std::string>();
        std::string cp = Utf8ToCp1252(text);
        if (Cp1252ToUtf8(cp) != text) {
            error = "\"" + key + "\": has characters that Windows-1252 cannot hold";
            return false;
        }
        if (!f) {
            if (!IsHexPassword(cp)) {
                error = "\"senha\": expected up to 20 hexadecimal digits";
                return false;
            }
            e.senha = cp;
            continue;
        }
        // The header box keeps its line breaks as CR LF, and counts them as two characters.
        if (f->text == &Equipment::cliche) cp = BigStringAnswer(cp, 0);
        const int limit = EquipmentFieldLimit(*f);
        if (static_cast<int>(cp.size()) > limit) {
            error = "\"" + key + "\": longer than " + std::to_string(limit) + " characters";
            return false;
        }
        if (f->rate >= 0 && !Digits(cp)) {
            error = "\"" + key + "\": expected up to 4 digits";
            return false;
        }
        if (!AllowedChoice(key, cp)) {
            error = "\"" + key + "\": not a value the sheet offers";
            return false;
        }
        f->Set(e, cp);
    }
    e.numero_de_serie = WithoutSpaces(e.numero_de_serie);
    out = std::move(e);
    return true;
}

}  // namespace ordavo
