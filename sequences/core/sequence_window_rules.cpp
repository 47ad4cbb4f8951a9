#include "sequences/core/sequence_window_rules.h"

#include <climits>

#include "engine/catalog.h"
#include "engine/util.h"

namespace ordavo {

NomeSequencia NormalizarNomeSequencia(const std::string& typed, std::string& name) {
    // Every byte above 127 changes when converted to the OEM code page.
    for (unsigned char c : typed)
        if (c > 0x7F) return NomeSequencia::Invalido;
    std::string out;
    out.reserve(typed.size());
    for (char c : typed) {
        switch (c) {
            case '<': case '>': case '\\': case '\'': case '"': case '/':
            case '!': case '?': case ';': case '.':
                continue;
            default:
                out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        }
    }
    if (typed.empty()) return NomeSequencia::Vazio;
    name = out;
    return NomeSequencia::Valido;
}

CampoNumerico LerCampoInteiro(const std::string& text, int lower, int upper, int& out) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    size_t i = 0, end = text.size();
    while (i < end && blank(text[i])) ++i;
    while (end > i && blank(text[end - 1])) --end;
    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == end) return CampoNumerico::NaoNumero;
    long long value = 0;
    for (; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9') return CampoNumerico::NaoNumero;
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) return CampoNumerico::NaoNumero;
    }
    if (negative) value = -value;
    if (value < INT_MIN || value > INT_MAX) return CampoNumerico::NaoNumero;
    if (value < lower || value > upper) return CampoNumerico::ForaDaFaixa;
    out = static_cast<int>(value);
    return CampoNumerico::Ok;
}

std::string MensagemCampoInteiro(CampoNumerico result, int lower, int upper) {
    if (result == CampoNumerico::ForaDaFaixa)
        return Format("Please enter an integer between %d and %d.", lower, upper);
    if (result == CampoNumerico::NaoNumero) return "Please enter an integer.";
    return {};
}

bool ComandoDisponivel(const Comando& c, const Settings& s) {
    return (c.equipamentos_hab & s.ModelMask) != 0 || s.FilterCommands == 0;
}

std::string ReferenciaComandosSequencias(const Settings& s) {
    return CatalogFileForCountry(s, CatalogUse::SequenceReference);
}

}  // namespace ordavo
