#include "programming/core/programming.h"

#include <algorithm>

#include "engine/env.h"
#include "engine/strings.h"
#include "engine/util.h"
#include "params/core/value_editors.h"

namespace ordavo {
namespace {

constexpr char kTipoIntervencao[] = "Intervencao tecnica";
constexpr char kTipoIntervencion[] = "Intervenci\xF3n Tecnica";
constexpr char kTituloSequencia[] = "Programa maquina";

// The header's marker words, in the order their sequences are replaced.
constexpr const char* kHeaderMarkers[] = {"CLICHE_SUB_INI_XML", "CLICHE_SUB_END_XML", "CLICHE_IT_INI_XML",
                                          "CLICHE_IT_END_XML",  "CLICHE_ENF_INI_XML", "CLICHE_ENF_END_XML",
                                          "CLICHE_EXP_INI_XML", "CLICHE_EXP_END_XML"};

// Each marker word with the printer sequence that the header's encoding puts in its place, as
// the encoder itself writes it (without the line feed that ends every header).
const std::vector<std::pair<std::string, std::string>>& HeaderSequences() {
    static const std::vector<std::pair<std::string, std::string>> table = [] {
        std::vector<std::pair<std::string, std::string>> t;
        for (const char* word : kHeaderMarkers) {
            Comando c;
            Parametro p;
            p.formato = "CLICHE";
            p.tamanho = 186;
            p.valor = word;
            c.AdicionarParametro(p);
            c.quadro.Reset(0);
            c.CodificarParametros();
            std::string bytes(reinterpret_cast<const char*>(c.quadro.data), static_cast<size_t>(c.quadro.length));
            if (!bytes.empty() && bytes.back() == '\n') bytes.pop_back();
            t.emplace_back(std::move(bytes), word);
        }
        return t;
    }();
    return table;
}

// Fixed-width texts come padded with spaces; the pad is not part of the value.
std::string WithoutPad(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

Retorno Field(const char* formato, int tamanho) {
    Retorno r;
    r.formato = formato;
    r.tamanho = tamanho;
    return r;
}

// One reading of the configuration.
struct Reading {
    Comando command;
    int32_t result = 0;
    const std::string& Value(size_t field) const { return command.retornos.at(field).valor_formatado; }
};

Reading Read(const char* escape, int answer_size, std::vector<Retorno> fields) {
    Reading r;
    r.command.SetEscape(escape);
    r.command.SetTamanhoRetorno(answer_size);
    for (Retorno& f : fields) r.command.AdicionarRetorno(f);
    r.result = r.command.Executar();
    return r;
}

Parametro Param(const char* titulo, int tamanho, const char* formato, std::string valor) {
    Parametro p;
    p.titulo = titulo;
    p.tamanho = tamanho;
    p.formato = formato;
    p.valor = std::move(valor);
    p.obrigatorio = 1;
    return p;
}

Comando Command(const char* tipo, const char* titulo, const char* escape, std::vector<Parametro> params) {
    Comando c;
    c.SetTipo(tipo);
    c.SetTitulo(titulo);
    c.SetEscape(escape);
    c.SetTamanhoRetorno(0);
    for (Parametro& p : params) c.AdicionarParametro(p);
    return c;
}

}  // namespace

bool IsRestaurantModel(const std::string& model_name) {
    return model_name == "Kestrel 1 R         " || model_name == "Kestrel 2 R         ";
}

int TotalizerCount(int model_mask) { return model_mask > 255 ? 30 : 50; }

std::string PaddedModelName(const std::string& name) {
    std::string padded = name.substr(0, 20);
    padded.resize(20, ' ');
    return padded;
}

bool TicketModeByte(uint8_t value) { return value == 0x00; }

bool AnswerBytesFromDump(const std::string& dump, std::vector<uint8_t>& out) {
    out.clear();
    const size_t at = dump.rfind("RET:");
    if (at == std::string::npos) return false;
    size_t end = dump.find("\r\n", at);
    std::string hex = dump.substr(at + 4, end == std::string::npos ? std::string::npos : end - at - 4);
    while (!hex.empty() && hex.front() == ' ') hex.erase(0, 1);
    while (!hex.empty() && hex.back() == ' ') hex.pop_back();
    return !hex.empty() && ParseHexBytes(hex, out);
}

std::string HeaderWithMarkers(std::string printer_text) {
    for (const auto& [bytes, word] : HeaderSequences())
        if (!bytes.empty()) ReplaceAll(printer_text, bytes, word);
    return printer_text;
}

int ReadPrinterConfiguration(Equipment& current, int model_mask) {
    const bool wide = model_mask > 255;
    // 0 copies, -4 ends the reading with the message, anything else leaves the item as it was.
    auto failed = [](const Reading& r) {
        if (r.result != kExecSemResposta) return false;
        EngineEnv().ui->MessageBox(Str(IDS_ERROR_ENVIAR), "", MsgButtons::Ok, MsgIcon::None);
        return true;
    };

    if (wide) {
        Reading r = Read("35 40", 20, {Field("ASCII", 20)});
        if (failed(r)) return kExecSemResposta;
        if (r.result == 0) current.numero_de_serie = WithoutPad(r.Value(0));
        struct {
            const char* escape;
            int size;
            std::string Equipment::*field;
        } const identity[] = {{"35 42", 20, &Equipment::CNPJ},
                              {"35 43", 20, &Equipment::IE},
                              {"35 44", 20, &Equipment::IM},
                              {"35 70", 2, &Equipment::UF}};
        for (const auto& item : identity) {
            Reading i = Read(item.escape, item.size, {Field("ASCII", item.size)});
            if (failed(i)) return kExecSemResposta;
            if (i.result == 0) current.*item.field = WithoutPad(i.Value(0));
        }
    } else {
        Reading r = Read("35 0", 15, {Field("ASCII", 15)});
        if (failed(r)) return kExecSemResposta;
        if (r.result == 0) current.numero_de_serie = WithoutPad(r.Value(0));
        Reading i = Read("35 2", 33, {Field("ASCII", 33)});
        if (failed(i)) return kExecSemResposta;
        if (i.result == 0) {
            const std::string& v = i.Value(0);
            current.CNPJ = WithoutPad(v.substr(0, 18));
            current.IE = WithoutPad(v.size() > 18 ? v.substr(18, 15) : std::string());
        }
        // These printers hold neither.
        current.IM.clear();
        current.UF.clear();
    }

    Reading store = Read("35 15", 2, {Field("BCD_INTEGER", 2)});
    if (failed(store)) return kExecSemResposta;
    if (store.result == 0) current.numero_da_loja = store.Value(0);

    Reading till = Read("35 14", 2, {Field("BCD_INTEGER", 2)});
    if (failed(till)) return kExecSemResposta;
    if (till.result == 0) current.numero_do_caixa = till.Value(0).size() >= 4 ? till.Value(0).substr(1, 3) : till.Value(0);

    Reading clock = Read("35 23", 6, {Field("BCD_DATA", 3), Field("BCD_HORA", 3)});
    if (failed(clock)) return kExecSemResposta;
    if (clock.result == 0) {
        current.data = clock.Value(0);
        current.hora = clock.Value(1);
    }

    Reading flags = Read("35 17", 1, {Field("ASCII_FLAGS_FISCAIS", 1)});
    if (failed(flags)) return kExecSemResposta;
    if (flags.result == 0) current.horario_de_verao = flags.Value(0).size() > 2 && flags.Value(0)[2] != '0';

    Reading header = Read("35 13", 186, {Field("ASCII", 186)});
    if (failed(header)) return kExecSemResposta;
    if (header.result == 0) current.cliche = HeaderWithMarkers(header.Value(0));

    std::vector<Retorno> rate_fields{Field("INTEGER", 1)};
    for (int k = 0; k < Equipment::kRates; ++k) rate_fields.push_back(Field("BCD_PERCENTAGE", 2));
    Reading rates = Read("26", 33, rate_fields);
    if (failed(rates)) return kExecSemResposta;
    if (rates.result == 0)
        for (size_t k = 0; k < Equipment::kRates; ++k) current.aliquota[k] = rates.Value(k + 1);

    Reading links = Read("35 29", 2, {Field("ASCII_FLAG_VINC_ISS", 2)});
    if (failed(links)) return kExecSemResposta;
    if (links.result == 0) current.vinc = links.Value(0);

    const int names = wide ? 30 : 9;
    Reading totalizers = Read(wide ? "35 48" : "35 25", 19 * names,
                              std::vector<Retorno>(static_cast<size_t>(names), Field("ASCII", 19)));
    if (failed(totalizers)) return kExecSemResposta;
    if (totalizers.result == 0)
        for (size_t n = 0; n < static_cast<size_t>(names); ++n) current.tot_nao_suj[n] = WithoutPad(totalizers.Value(n));

    // The answer bytes are gone once the command has run; the dump still holds them.
    Reading options =
        Read("35 253", 3, {Field("FLAG_BP_CF", 1), Field("FLAG_PRESENTER_GAVETA", 1), Field("FLAG_CUTTER_AUTENTIC", 1)});
    if (failed(options)) return kExecSemResposta;
    std::vector<uint8_t> answer;
    if (options.result == 0 && AnswerBytesFromDump(options.command.dump, answer) && answer.size() > 1)
        current.Bilhete_passagem = TicketModeByte(answer[1]);
    return 0;
}

// ---------------------------------------------------------------- the sheet's rules

int VincRadio(const std::string& vinc, int n) {
    const size_t i = static_cast<size_t>(n - 1);
    return i < vinc.size() && vinc[i] != '0' ? 1 : 0;
}

std::string VincFromRadios(const std::array<int, Equipment::kRates>& radios) {
    std::string v;
    for (int r : radios) v += r != 0 ? '1' : '0';
    return v;
}

std::string WithoutSpaces(std::string text) {
    std::erase(text, ' ');
    return text;
}

RestaurantChoice RestaurantChoiceFrom(const Equipment& e) {
    RestaurantChoice c;
    const int p = AtoiC(e.Parametriza_Cupom_Conferencia);
    c.check_coupon = p >= 0;
    c.parameter = p >= 0 && p <= 3 ? p : 0;
    c.restaurant = AtoiC(e.Restaurante_Loja) == 1 ? 1 : 0;
    return c;
}

void ApplyRestaurantChoice(Equipment& e, const RestaurantChoice& c) {
    e.Restaurante_Loja = std::to_string(c.restaurant);
    e.Parametriza_Cupom_Conferencia = c.check_coupon ? std::to_string(c.parameter) : "-1";
}

void ComputerDateTime(std::string& data, std::string& hora) {
    data = DateDDMMYY(Today());
    hora = TimeHHMMSS(Now());
}

bool OfferToSave(const Equipment& current, const std::string& store_file, UserInterface& ui) {
    if (!ui.MessageBox(textos::kDeseaGrabarModificaciones, "", MsgButtons::YesNo, MsgIcon::Question)) return false;
    if (current.numero_de_serie.empty()) {
        ui.MessageBox(textos::kInformarSerial, "", MsgButtons::Ok, MsgIcon::Exclamation);
        return false;
    }
    ConfigurationsControl store(store_file);
    store.ReadEquipments();
    if (store.AddEquipment(current, false) == 1) {
        if (!ui.MessageBox(textos::kSubstituirRegistro, "", MsgButtons::YesNo, MsgIcon::Question) ||
            store.AddEquipment(current, true) != 0) {
            ui.MessageBox(textos::kRegistroNoSalvo, "", MsgButtons::Ok, MsgIcon::None);
            return false;
        }
    }
    if (store.WriteEquipments() != 0) {
        ui.MessageBox(textos::kRegistroNoSalvo, "", MsgButtons::Ok, MsgIcon::Exclamation);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- the programming sequence

std::string RateSequenceValue(const std::array<std::string, Equipment::kRates>& rates) {
    std::string counting;
    int n = 0;
    for (const std::string& r : rates) {
        if (r.size() == 4 && r != "0000") {
            counting += r;
            ++n;
        }
    }
    std::string value = Format("%.2d", n) + counting;
    for (int i = n; i < Equipment::kRates; ++i) value += "0000";
    return value;
}

SequenciaComandos BuildProgrammingSequence(const Equipment& e, int model_mask, const std::string& model_name) {
    SequenciaComandos s;
    s.titulo = kTituloSequencia;
    const std::string bp = e.Bilhete_passagem ? "B" : "X";
    const auto add = [&s](Comando c) { s.comandos.push_back(std::move(c)); };

    // An identity text left empty (the municipal registration and the state are often blank,
    // and the readings of the older models clear them) goes out as its blank field: an empty
    // mandatory parameter would keep the whole identity from being sent.
    const auto blank = [](const std::string& text) { return text.empty() ? std::string(" ") : text; };
    if (model_mask < 255) {
        add(Command(kTipoIntervencion, "Programa CGC/IE/IM", "4",
                    {Param("CGC", 18, "STRING", blank(e.CNPJ)), Param("IE", 15, "STRING", blank(e.IE)),
                     Param("BP, B para bilhete de passagem", 1, "STRING", bp),
                     Param("IM", 15, "STRING", blank(e.IM))}));
    } else {
        std::string password;
        if (e.senha.size() == 20)
            password = e.senha;
        else
            EngineEnv().ui->MessageBox(textos::kSenaTamanho, "", MsgButtons::Ok, MsgIcon::Exclamation);
        add(Command(kTipoIntervencao, "Programa CNPJ/IE/IM", "4",
                    {Param("CNPJ", 20, "STRING", blank(e.CNPJ)), Param("IE", 20, "STRING", blank(e.IE)),
                     Param("IM", 20, "STRING", blank(e.IM)), Param("GT", 10, "STRING", std::string(10, ' ')),
                     Param("BP, B para bilhete de passagem", 1, "STRING", bp),
                     Param("UF", 2, "STRING", blank(e.UF)),
                     Param("SENHA", 10, "DIG_HEX", password)}));
    }

    add(Command(kTipoIntervencao, "Programacao Data e Hora", "2",
                {Param("Data", 6, "DATA", e.data), Param("Hora", 6, "HORA", e.hora),
                 Param("Horario de verao (0=n/1=s)", 1, "BINARIO", e.horario_de_verao ? "1" : "0")}));
    add(Command(kTipoIntervencao, textos::kClichePropietario, "3", {Param("Cliche", 186, "CLICHE", e.cliche)}));
    add(Command(kTipoIntervencao, "Programacao de ECF e Loja", "17",
                {Param("ECF", 3, "STRING", e.numero_do_caixa), Param("Loja", 4, "STRING", e.numero_da_loja)}));
    add(Command(kTipoIntervencao, "Troca de Situacoes Tributarias", "36",
                {Param("Sequencia de parametros", 65, "TROCA_SIT_TRIB", RateSequenceValue(e.aliquota))}));
    // The same reading of the links as the rates page: sixteen "0"/"1", "0" for a missing one.
    std::array<int, Equipment::kRates> radios{};
    for (int n = 1; n <= Equipment::kRates; ++n) radios[static_cast<size_t>(n - 1)] = VincRadio(e.vinc, n);
    add(Command(kTipoIntervencao, "Vinculacao ao ISS", "38", {Param("Vinc", 16, "STRING", VincFromRadios(radios))}));

    const int names = TotalizerCount(model_mask) - 2;
    for (int i = 1; i <= names; ++i) {
        const std::string& name = e.tot_nao_suj[static_cast<size_t>(i - 1)];
        if (name.empty()) continue;
        add(Command(kTipoIntervencao, "Nomeia tot. para Compr. n\xE3o Fiscais n\xE3o Vinculados", "40",
                    {Param("Numero do totalizador", 2, "INTEGER", Format("%02d", i)),
                     Param("Nome do totalizador", 19, "STRING", name)}));
    }

    const auto sw = [&](const char* escape, const char* titulo, const char* param, bool odd) {
        add(Command(kTipoIntervencao, titulo, escape, {Param(param, 1, "INTEGER", odd ? "1" : "0")}));
    };
    sw("68", "Activa/Deactiva Cup\xF3n adicional", "Par desabilita impar habilita", e.cupom_adicional);
    sw("123", "Activa/Deactiva Descuento en ISS", "Par desabilita impar habilita", e.desc_ISS);
    sw("80 64", "Activa/Deactiva Vinculado a CNF", "Par Habilita impar desabilita", !e.vinc_CNF);
    sw("80 65", "Activa/Deactiva RV na conferencia", "Par habilita impar desabilita", !e.RV_na_conferencia);
    sw("84", "Activa/Deactiva Z Autom\xE1tica", "Par habilita impar desabilita", !e.RZ_automatica);

    if (IsRestaurantModel(model_name)) {
        const RestaurantChoice c = RestaurantChoiceFrom(e);
        add(Command(kTipoIntervencao, "Parametriza para Restaurante ou Loja", "80 63",
                    {Param("Restaurante ou loja", 1, "STRING", std::to_string(c.restaurant))}));
        if (c.check_coupon)
            add(Command(kTipoIntervencao, "Parametriza Cupom de Conferencia", "80 57",
                        {Param("Parametro", 1, "STRING", std::to_string(c.parameter))}));
    }
    return s;
}

int32_t RunProgramming(SequenciaComandos& sequence) {
    sequence.passo_a_passo = 0;
    sequence.espera_ms = 0;
    return sequence.ExecutarSequencia(0, 0);
}

}  // namespace ordavo
