#include "params/core/editar_valor.h"

#include <algorithm>

#include "engine/util.h"

namespace ordavo {
namespace {

// Texts of the chains.
constexpr char kIncremento[] = "&Incremento";
constexpr char kDescuento[] = "&Descuento";
constexpr char kIncrementoYDescuento[] = "I&ncremento y descuento";
constexpr char kNumeroArticulo[] =
    "N\xFAmero del art\xED"
    "culo";
constexpr char kDescripcionPagos[] = "Descripci\xF3n de pagos";
constexpr char kPermiteTef[] = "Permite TEF?";
constexpr char kAnadirDescripcion[] =
    "Desea a\xF1"
    "adir una descripci\xF3n de pago?";
constexpr char kNumeroAlicuotas[] =
    "Digite el n\xFAmero de al\xED"
    "cuotas: (0 - 16)";
constexpr char kIntervaloFecha[] = "Intervalo de fecha";
constexpr char kIntervaloCoo[] = "Intervalo de COO";
constexpr char kIntervaloZ[] = "Intervalo de Z";
constexpr char kFechaInicial[] = "Digite la fecha inicial";
constexpr char kFechaFinal[] = "Digite la fecha final";
constexpr char kCooInicial[] = "COO Inicial";
constexpr char kCooFinal[] = "COO Final";
constexpr char kNumeroUsuario[] = "N\xFAmero del Usu\xE1rio";
constexpr char kTipoIntervalo[] = "Elija el tipo de intervalo";
constexpr char kInformeInicial[] = "Digite el Informe inicial";
constexpr char kZFinal[] = "Digite el Z final";
constexpr char kImpresionOPuerto[] = "Impresi\xF3n o recibimiento por el puerto de comunicaci\xF3n";
constexpr char kImpresion[] = "Impresi\xF3n";
constexpr char kPuerto[] = "Puerto de Comunicaci\xF3n";
constexpr char kNormalOSimplificada[] =
    "\xBF"
    "Normal o simplificada?";
constexpr char kNormal[] = "normal";
constexpr char kSimplificada[] = "simplificada";
constexpr char kCantidadDatos[] = "Elija la cantidad de datos";
constexpr char kUfDestino[] = "UF Destino";
constexpr char kRifComprador[] = "RIF comprador";
constexpr char kNombre[] = "Nombre";
constexpr char kDireccion[] = "Direcci\xF3n";

const char* const kTransportes[] = {
    "Rodovi\xE1rio Intermunicipal", "Ferrovi\xE1rio Intermunicipal", "Aquavi\xE1rio Intermunicipal",
    "Rodovi\xE1rio Interestadual",  "Ferrovi\xE1rio Interestadual",  "Aquavi\xE1rio Interestadual",
    "Rodovi\xE1rio Internacional",  "Ferrovi\xE1rio Internacional",  "Aquavi\xE1rio Internacional",
};

const char* const kAutenticacao[] = {
    "804020100804020102040810204080808080", "208020100820020101020408102040808080",
    "040801100804020102040810204080808080", "400204100804020102040810204080808080",
    "204004800804020102040810204080808080",
};

const std::string& Cancel() {
    static const std::string marker(kMarcaAnulacao);
    return marker;
}

OptionEditor Options(std::string description, std::initializer_list<const char*> captions) {
    OptionEditor e;
    e.description = std::move(description);
    size_t k = 0;
    for (const char* c : captions) e.captions[k++] = c;
    return e;
}

std::optional<std::string> Percent(ValueEditors& ed, const std::string& description) {
    auto a = ed.GetPercent(PercentEditor{description});
    if (!a) return std::nullopt;
    return a->Joined();
}

std::optional<std::string> Money(ValueEditors& ed, const std::string& description, int integer_digits) {
    FinanceEditor e;
    e.description = description;
    e.integer_digits = integer_digits;
    e.decimal_digits = 2;
    return ed.GetFinance(e);
}

std::optional<std::string> Integer(ValueEditors& ed, const std::string& description, int limit,
                                   const std::string& initial = "") {
    IntegerEditor e;
    e.description = description;
    e.limit = limit;
    e.initial = initial;
    return ed.GetInteger(e);
}

std::optional<std::string> DateShort(ValueEditors& ed, const std::string& description) {
    DateEditor e;
    e.description = description;
    auto d = ed.GetDate(e);
    if (!d) return std::nullopt;
    return DateDDMMYY(*d);
}

std::optional<std::string> Text(ValueEditors& ed, const std::string& description, int limit, bool padded,
                                const std::string& initial = "", bool hex = false) {
    StringEditor e;
    e.description = description;
    e.limit = limit;
    e.padded = padded;
    e.initial = initial;
    e.hex = hex;
    return ed.GetString(e);
}

// "FECHA_CUPOM" and "AC_OU_DESC_SUB".
std::string SubtotalAdjustment(ValueEditors& ed, bool both) {
    OptionEditor first = Options("", {kIncremento, kDescuento});
    if (both) first.captions[2] = kIncrementoYDescuento;
    auto kind = ed.GetOption(first);
    if (!kind || *kind > (both ? 3 : 2)) return Cancel();
    auto how = ed.GetOption(Options("", {textos::kPorcentual, textos::kValor}));
    if (!how || *how > 2) return Cancel();
    bool percent = *how == 1;
    std::string value;
    if (*kind == 3) {
        value = percent ? "X" : "x";
        for (const char* d : {kIncremento, kDescuento}) {
            auto part = percent ? Percent(ed, d) : Money(ed, d, 12);
            if (!part) return Cancel();
            value += *part;
        }
        return value;
    }
    const char* d = *kind == 1 ? kIncremento : kDescuento;
    value = *kind == 1 ? (percent ? "A" : "a") : (percent ? "D" : "d");
    auto part = percent ? Percent(ed, d) : Money(ed, d, 12);
    if (!part) return Cancel();
    return value + *part;
}

std::string ItemAdjustment(ValueEditors& ed) {
    auto kind = ed.GetOption(Options("", {kIncremento, kDescuento}));
    if (!kind || *kind > 2) return Cancel();
    std::string value = *kind == 1 ? "A" : "D";
    auto item = Integer(ed, kNumeroArticulo, 3);
    if (!item) return Cancel();
    value += *item;
    auto how = ed.GetOption(Options("", {textos::kValor, textos::kPorcentual}));
    if (!how || *how > 2) return Cancel();
    auto amount = *how == 1 ? Money(ed, "", 6) : Percent(ed, "");
    if (!amount) return Cancel();
    return value + *amount;
}

std::string PaymentDescriptions(ValueEditors& ed, bool with_tef) {
    std::string value;
    for (int n = 2;; ++n) {
        auto text = Text(ed, Format("%s %d", kDescripcionPagos, n), 16, true);
        // An empty description has no 16 characters to give; leaving it out keeps the
        // descriptions after it in their places.
        if (text && !text->empty()) {
            value += *text;
            if (with_tef) value += ed.AskYesNo(kPermiteTef) ? "1" : "0";
        }
        if (n >= 20) break;
        if (!ed.AskYesNo(kAnadirDescripcion)) break;
    }
    return value;
}

std::string Rate4(std::string rate) {
    if (rate.size() > 4) rate.resize(4);
    if (rate.size() < 4) rate.insert(0, 4 - rate.size(), '0');
    return rate;
}

std::string TaxRates(const Parametro& p, ValueEditors& ed) {
    auto count = Integer(ed, kNumeroAlicuotas, 2);
    if (!count) return p.valor;
    // The count is the first byte of the frame's table; an empty box would let the first rate's
    // digits stand in for it.
    std::string value = count->empty() ? "00" : *count;
    TaxRatePage page;
    page.rates_only = true;
    for (size_t k = 0; k < page.rates.size(); ++k)
        page.rates[k] = p.valor.size() == 66 ? p.valor.substr(2 + 4 * k, 4) : "0000";
    ed.EditTaxRates(page);
    for (size_t k = 0; k < page.rates.size(); ++k) {
        std::string rate = Rate4(page.rates[k]);
        value += rate;
        TaxRateTable()[k] = rate;
    }
    return value;
}

std::string IvaLinks(ValueEditors& ed) {
    TaxRatePage page;
    page.read_only_rates = true;
    page.rates = TaxRateTable();
    if (!ed.EditTaxRates(page)) return "";
    std::string value;
    for (int iva : page.iva) value += iva == 0 ? '0' : '1';
    return value;
}

std::string DetailTape(ValueEditors& ed) {
    auto kind = ed.GetOption(Options("", {kIntervaloFecha, kIntervaloCoo}));
    if (!kind || *kind > 2) return "";
    if (*kind == 1) {
        std::string value = "D";
        for (const char* d : {kFechaInicial, kFechaFinal}) {
            auto date = DateShort(ed, d);
            if (!date) return Cancel();
            value += *date;
        }
        return value;
    }
    std::string value = "X";
    for (auto [d, limit] :
         {std::pair{kCooInicial, 6}, std::pair{kCooFinal, 6}, std::pair{kNumeroUsuario, 3}}) {
        auto n = Integer(ed, d, limit);
        if (!n) return Cancel();
        value += *n;
    }
    return value;
}

// Step 1 of the fiscal-memory reading and of the transaction report: the interval. False when
// an editor inside it was cancelled.
bool Interval(ValueEditors& ed, const char* second_option, const char* first_number,
              const char* second_number, std::string& value) {
    auto kind = ed.GetOption(Options(kTipoIntervalo, {kIntervaloFecha, second_option}));
    if (!kind || *kind > 2) return true;
    if (*kind == 1) {
        for (const char* d : {kFechaInicial, kFechaFinal}) {
            auto date = DateShort(ed, d);
            if (!date) return false;
            value += *date;
        }
        return true;
    }
    for (const char* d : {first_number, second_number}) {
        auto n = Integer(ed, d, 4);
        if (!n) return false;
        value += "00" + *n;
    }
    return true;
}

std::string FiscalMemoryReading(ValueEditors& ed) {
    std::string value;
    if (!Interval(ed, kIntervaloZ, kInformeInicial, kZFinal, value)) return Cancel();
    auto where = ed.GetOption(Options(kImpresionOPuerto, {kImpresion, kPuerto}));
    if (!where || *where > 2) return value;
    auto how = ed.GetOption(Options(kNormalOSimplificada, {kNormal, kSimplificada}));
    if (!how || *how > 2) return value;
    if (*where == 1)
        value += *how == 1 ? "I" : "i";
    else
        value += *how == 1 ? "R" : "r";
    return value;
}

std::string TransactionReport(ValueEditors& ed, bool serial) {
    std::string value;
    if (!Interval(ed, kIntervaloCoo, kCooInicial, kCooFinal, value)) return Cancel();
    auto how = ed.GetOption(Options(kNormalOSimplificada, {kNormal, kSimplificada}));
    if (!how || *how > 2) return value;
    if (serial)
        value += *how == 1 ? "R" : "r";
    else
        value += *how == 1 ? "I" : "i";
    return value;
}

std::string PassengerTicket(ValueEditors& ed) {
    OptionEditor kinds;
    for (size_t k = 0; k < std::size(kTransportes); ++k) kinds.captions[k] = kTransportes[k];
    auto kind = ed.GetOption(kinds);
    if (!kind || *kind < 1 || *kind > static_cast<int>(std::size(kTransportes))) return "";
    std::string value(1, static_cast<char>('0' + *kind - 1));
    for (auto [d, limit] : {std::pair{kUfDestino, 2}, std::pair{kRifComprador, 30}, std::pair{kNombre, 30}}) {
        auto text = Text(ed, d, limit, true);
        if (!text) return value;
        value += *text;
    }
    BigStringEditor address;
    address.description = kDireccion;
    address.limit = 80;
    auto text = ed.GetBigString(address);
    if (text) value += *text;
    return value;
}

std::string AuthenticationCharacter(ValueEditors& ed) {
    OptionEditor e;
    e.captions[0] =
        "Car\xE1"
        "cter de autenticaci\xF3n 1";
    e.captions[1] =
        "Car\xE1"
        "cter de autenticaci\xF3n 2";
    auto k = ed.GetOption(e);
    if (!k || *k < 1 || *k > static_cast<int>(std::size(kAutenticacao))) return "";
    return kAutenticacao[*k - 1];
}

ValueEditors*& Current() {
    static ValueEditors* editors = nullptr;
    return editors;
}

}  // namespace

std::string EditarValor(const Parametro& p, ValueEditors& ed) {
    const std::string& f = p.formato;
    auto or_cancel = [](const std::optional<std::string>& v) { return v ? *v : Cancel(); };

    if (f == "STRING" || f == "CUPOM_OU_BILHETE_CONV_156")
        return or_cancel(Text(ed, p.titulo, p.tamanho, true, p.valor));
    if (f == "STRING_VAR_SIZE" || f == "STRING_VAR_SIZE_LINE" || f == "STRING_VAR_SIZE_WITHOUT_CR")
        return or_cancel(Text(ed, p.titulo, p.tamanho, false, p.valor));
    if (f == "DIG_HEX") return or_cancel(Text(ed, p.titulo, 2 * p.tamanho, true, p.valor, true));
    if (f == "INTEGER" || f == "BCD_INTEGER") return or_cancel(Integer(ed, p.titulo, p.tamanho, p.valor));
    if (f == "BINARIO") return or_cancel(Integer(ed, p.titulo, 3, p.valor));
    if (f == "DATA" || f == "DATA_2_2_4") {
        DateEditor e;
        e.description = textos::kSelecioneFecha;
        auto d = ed.GetDate(e);
        if (!d) return Cancel();
        return f == "DATA" ? DateDDMMYY(*d) : DateDDMMYYYY(*d);
    }
    if (f == "HORA") {
        HourEditor e;
        e.description = textos::kSelecioneLaHora;
        auto t = ed.GetHour(e);
        if (!t) return Cancel();
        return TimeHHMMSS(*t);
    }
    if (f == "FINANCE" || f == "FINANCE_3") {
        int d = f == "FINANCE" ? 2 : 3;
        FinanceEditor e;
        e.description = p.titulo;
        e.integer_digits = std::max(0, p.tamanho - d);
        e.decimal_digits = d;
        if (f == "FINANCE" ? !p.valor.empty() : p.valor.size() > 3) e.initial = p.valor;
        return or_cancel(ed.GetFinance(e));
    }
    if (f == "PERCENTAGE") return or_cancel(Percent(ed, p.titulo));
    if (f == "BIG_STRING" || f == "BIG_STRING_VAR_SIZE") {
        BigStringEditor e;
        e.description = p.titulo;
        e.limit = p.tamanho;
        e.initial = p.valor;
        return or_cancel(ed.GetBigString(e));
    }
    if (f == "CHEQUE_POS") return or_cancel(ed.GetCheque(ChequeEditor{ChequePreset(p.valor)}));
    if (f == "CLICHE") return or_cancel(ed.GetCliche());
    if (f == "OPTIONS") {
        OptionsList list = ParseOptionsTitle(p.titulo);
        OptionEditor e;
        e.captions = list.names;
        auto k = ed.GetOption(e);
        if (!k || *k < 1 || *k > OptionEditor::kButtons) return "";
        return list.codes[static_cast<size_t>(*k - 1)];
    }
    if (f == "DISCOUNT") {
        auto how = ed.GetOption(Options(p.titulo, {textos::kPorcentual, textos::kValor}));
        if (!how || *how > 2) return Cancel();
        return or_cancel(*how == 1 ? Percent(ed, "") : Money(ed, "", 6));
    }
    if (f == "FECHA_CUPOM") return SubtotalAdjustment(ed, true);
    if (f == "AC_OU_DESC_SUB") return SubtotalAdjustment(ed, false);
    if (f == "AC_OU_DESC_ITEM") return ItemAdjustment(ed);
    if (f == "DESCR_FORMA_PAGAMENTO") return PaymentDescriptions(ed, true);
    if (f == "DESCR_FORMA_PAGAMENTO_MP_20") return PaymentDescriptions(ed, false);
    if (f == "TROCA_SIT_TRIB") return TaxRates(p, ed);
    if (f == "VINC_ISS") return IvaLinks(ed);
    if (f == "IMPR_FITA_DETALHE") return DetailTape(ed);
    if (f == "LEIT_MEM_FISCAL") return FiscalMemoryReading(ed);
    if (f == "INFORME_TRANSACIONES") return TransactionReport(ed, false);
    if (f == "INFORME_TRANSACIONES_SERIAL") return TransactionReport(ed, true);
    if (f == "LEIT_DADOS_MEM_FISCAL") {
        auto k = ed.GetOption(Options(kCantidadDatos, {"32 KB", "512 KB"}));
        if (!k || *k > 2) return "";
        return *k == 1 ? "MF" : "MF2";
    }
    if (f == "BILHETE_PASSAGEM") return PassengerTicket(ed);
    if (f == "CAR_GRAF_AUTENTICACAO") return AuthenticationCharacter(ed);
    return "";
}

void SetCurrentEditors(ValueEditors* editors) {
    Current() = editors;
}

ValueEditors* CurrentEditors() {
    return Current();
}

std::string EditarValor(const Parametro& parametro) {
    if (!Current()) return Cancel();
    return EditarValor(parametro, *Current());
}

TabelaAliquotas& TaxRateTable() {
    static TabelaAliquotas table;
    return table;
}

void ResetTaxRateTable() {
    TaxRateTable() = TabelaAliquotas{};
}

bool IsHiddenType(const std::string& formato) {
    return formato == "NOT_EDITABLE" || formato == "DIG_HEX_NOT_EDITABLE";
}

}  // namespace ordavo
