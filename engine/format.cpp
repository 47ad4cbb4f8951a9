// Formatting of a fixed-layout answer: the status lines, then one block of text per return
// field, decoded by the field's return type.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/codepage.h"
#include "engine/comando.h"
#include "engine/env.h"
#include "engine/strings.h"
#include "engine/util.h"

namespace ordavo {
namespace {

constexpr uint8_t kAck = 0x06;

// Reading the answer. Every byte is read through Byte(), and a position outside the answer
// reads as 0x00, so a short or garbled answer decodes to zeros instead of reading past its
// end. Types that take all the bytes of a field (texts, BCD numbers, the rate list) take at
// most the bytes that remain in the answer, so an absurd field size never builds a huge text.
// Fixed layouts (dates, flags, counters, lists) read their own bytes only; the rest of a field
// declared larger is skipped, since the next field always starts after the declared size.
class Leitor {
public:
    explicit Leitor(const std::vector<uint8_t>& r) : r_(r), n_(static_cast<int64_t>(r.size())) {}

    bool Presente(int64_t pos) const { return pos >= 0 && pos < n_; }
    uint8_t Byte(int64_t pos) const { return Presente(pos) ? r_[static_cast<size_t>(pos)] : 0; }

    int64_t Disponivel(int64_t inicio, int64_t tamanho) const {
        if (tamanho <= 0 || !Presente(inicio)) return 0;
        return tamanho < n_ - inicio ? tamanho : n_ - inicio;
    }

    // Packed BCD: high nibble, then low nibble, each as "0" + nibble (":" to "?" above 9).
    void Digitos(std::string& out, int64_t pos, int64_t n) const {
        for (int64_t i = 0; i < n; ++i) {
            const uint8_t b = Byte(pos + i);
            out.push_back(static_cast<char>('0' + (b >> 4)));
            out.push_back(static_cast<char>('0' + (b & 0x0F)));
        }
    }
    std::string Digitos(int64_t pos, int64_t n) const {
        std::string s;
        Digitos(s, pos, n);
        return s;
    }
    // n + 1 bytes written "n,1": the digits of n bytes, a comma, the digits of the last one.
    std::string Valor(int64_t pos, int64_t n) const {
        std::string s;
        Digitos(s, pos, n);
        s.push_back(',');
        Digitos(s, pos + n, 1);
        return s;
    }

    // Field text: LF becomes CR LF, 0x00 ends it (or is a space in fixed-width lists), and the
    // printer's code page 850 letters become Windows-1252.
    std::string Texto(int64_t pos, int64_t n, bool zero_como_espaco = false) const {
        std::string s;
        for (int64_t i = 0; i < n; ++i) {
            const uint8_t b = Byte(pos + i);
            if (b == 0x00) {
                if (!zero_como_espaco) break;
                s.push_back(' ');
            } else if (b == '\n') {
                s += "\r\n";
            } else {
                s.push_back(static_cast<char>(b));
            }
        }
        DaImpressora(s);
        return s;
    }

    unsigned U16(int64_t pos) const { return Byte(pos) + 256u * Byte(pos + 1); }

private:
    const std::vector<uint8_t>& r_;
    int64_t n_;
};

enum class TipoRetorno {
    Ascii,
    PagamentoBcd,
    Inteiro,
    BcdInteiro,
    BcdPercentagem,
    BcdFinanceiro,
    BcdData,
    BcdHora,
    StatusPapel,
    Flags,
    FlagsVincIss,
    FlagUnico,
    OperNaoFiscal,
    FormasPagamento,
    Departamentos,
    TotNaoSujeitos,
    RelatGer,
    Integridade,
    Aliquotas,
    TotParciais,
    TipoDocAberto,
};

constexpr const char* kBitLivre = "-----bit no utilizado----";

struct ModeloFlags {
    const char* cabecalho;
    const char* bits[8];  // nullptr: a spare bit
};

constexpr ModeloFlags kFlagsFiscais = {
    "\r\nFlags Fiscais:\r\nAtivado?\t\tDescripci\xF3n\r\n",
    {"Cup\xF3n fiscal abierto", "Fechamento de formas de pago empezado", "Hor\xE1rio de verano", nullptr,
     "\xDAltima RZ foe autom\xE1tica", "Permite anular cup\xF3n fiscal", nullptr, "Memoria fiscal sin espacio"},
};
constexpr ModeloFlags kFlagsFiscaisII = {
    "\r\nFlags Fiscais II:\r\nAtivado?\t\tDescripci\xF3n\r\n",
    {"Comprobante no fiscal abierto", "Comprobante de d\xE9" "bito o cr\xE9" "dito abierto",
     "Relat\xF3rio Gerencial Abierto", nullptr, "Tratamiento del OFFLINE", "Permite anulaci\xF3n del CNF",
     "Estorno de CDC permitido", nullptr},
};
constexpr ModeloFlags kFlagsFiscaisIII = {
    "\r\nFlags Fiscais III:\r\nAtivado?\t\tDescripci\xF3n\r\n\r\n",
    {"Impresora com poco papel", "Sensor de poco papel activado",
     "Anulaci\xF3n autom\xE1tico del cup\xF3n \xE0s XX horas activada", nullptr, "Z autom\xE1tica activada", nullptr,
     nullptr, nullptr},
};
constexpr ModeloFlags kFlagsSensores = {
    "\r\nFlags Sensores:\r\nAtivado?\t\tDescripci\xF3n\r\n",
    {"Cabeza levantada", "Tampa abierta", "Sin papel", "Poco papel", "Status do sensor da gaveta", nullptr,
     "Tecla PAPER presionada", "Jumper na posici\xF3n intervenci\xF3n tecnica"},
};
constexpr ModeloFlags kFlagsCheque = {
    "\r\nFlags do cheque:\r\nAtivado?\t\tDescripci\xF3n\r\n",
    {"Documento no posicionado", "Sin papel", "Sin papel", nullptr,
     "Status do buffer de impresi\xF3n ( no liberado?)", "Cabeza de impresi\xF3n en posici\xF3n abierta",
     "Buffer vazio", "Buffer cheio"},
};

struct FlagUnico {
    uint8_t referencia;
    int igual;
    int diferente;
};

struct Tipo {
    TipoRetorno tipo;
    const ModeloFlags* flags = nullptr;
    FlagUnico unico = {0, 0, 0};
    int grupos = 0;  // integrity counters: 1 (plain), 5 or 6 groups
};

const Tipo* TipoDe(const std::string& formato) {
    static const std::unordered_map<std::string_view, Tipo> tipos = {
        {"ASCII", {TipoRetorno::Ascii}},
        {"BCD_FLAG_PAYMENT_MODE", {TipoRetorno::PagamentoBcd}},
        {"INTEGER", {TipoRetorno::Inteiro}},
        {"BCD_INTEGER", {TipoRetorno::BcdInteiro}},
        {"BCD_PERCENTAGE", {TipoRetorno::BcdPercentagem}},
        {"BCD_FINANCE", {TipoRetorno::BcdFinanceiro}},
        {"BCD_DATA", {TipoRetorno::BcdData}},
        {"BCD_HORA", {TipoRetorno::BcdHora}},
        {"STATUS_PAPEL", {TipoRetorno::StatusPapel}},
        {"ASCII_FLAGS_FISCAIS", {TipoRetorno::Flags, &kFlagsFiscais}},
        {"ASCII_FLAGS_FISCAIS_II", {TipoRetorno::Flags, &kFlagsFiscaisII}},
        {"ASCII_FLAGS_FISCAIS_III", {TipoRetorno::Flags, &kFlagsFiscaisIII}},
        {"FLAG_SENSORES", {TipoRetorno::Flags, &kFlagsSensores}},
        {"FLAG_CHEQUE", {TipoRetorno::Flags, &kFlagsCheque}},
        {"ASCII_FLAG_VINC_ISS", {TipoRetorno::FlagsVincIss}},
        {"BCD_FLAG_INT_TEC", {TipoRetorno::FlagUnico, nullptr, {0x55, IDS_MODO_NORMAL, IDS_INTERVENCION_TECNICA}}},
        {"BCD_FLAG_EPROM_CONECT",
         {TipoRetorno::FlagUnico, nullptr, {0x55, IDS_EPROM_CONECTADA, IDS_EPROM_DESCONECTADA}}},
        {"FLAG_TRUNCAMENTO", {TipoRetorno::FlagUnico, nullptr, {0x00, IDS_TRUNCAMENTO, IDS_REDONDEAMENTO}}},
        {"FLAG_CORTE", {TipoRetorno::FlagUnico, nullptr, {0x30, IDS_CORTE_ACTIVADO, IDS_CORTE_DESACTIVADO}}},
        {"FLAG_ALINHAMENTO",
         {TipoRetorno::FlagUnico, nullptr, {0x30, IDS_ALINHAMENTO_ACTIVADO, IDS_ALINHAMENTO_DESACTIVADO}}},
        {"FLAG_BP_CF", {TipoRetorno::FlagUnico, nullptr, {0x00, IDS_BILLETE_PASAJE, IDS_COMPROBANTE_VENTA}}},
        {"FLAG_PRESENTER_GAVETA", {TipoRetorno::FlagUnico, nullptr, {0x00, IDS_PRESENTER, IDS_GAVETA}}},
        {"FLAG_CUTTER_AUTENTIC", {TipoRetorno::FlagUnico, nullptr, {0x00, IDS_CUTTER, IDS_AUTENTICACION}}},
        {"FLAG_RED_AUT_COM", {TipoRetorno::FlagUnico, nullptr, {0x00, IDS_Z_POR_COMANDO, IDS_Z_AUTOMATICA}}},
        {"FLAG_GAVETA", {TipoRetorno::FlagUnico, nullptr, {0x00, IDS_GAVETA_NIVEL_0, IDS_GAVETA_NIVEL_1}}},
        {"OPER_NO_FISCAL", {TipoRetorno::OperNaoFiscal}},
        {"FORMAS_DE_PAGAMENTO", {TipoRetorno::FormasPagamento}},
        {"DEPARTAMENTOS", {TipoRetorno::Departamentos}},
        {"TOT_NAO_SUJ_ICMS", {TipoRetorno::TotNaoSujeitos}},
        {"RELAT_GER", {TipoRetorno::RelatGer}},
        {"VER_INT_MEM_FISCAL", {TipoRetorno::Integridade, nullptr, {}, 1}},
        {"VER_INT_MEM_FISCAL_COMP", {TipoRetorno::Integridade, nullptr, {}, 5}},
        {"VER_INT_MEM_FISCAL_COMP_RD", {TipoRetorno::Integridade, nullptr, {}, 6}},
        {"ALIQUOTAS", {TipoRetorno::Aliquotas}},
        {"TOT_PARCIAIS", {TipoRetorno::TotParciais}},
        {"TIPO_DOC_ABERTO", {TipoRetorno::TipoDocAberto}},
    };
    auto it = tipos.find(formato);
    return it == tipos.end() ? nullptr : &it->second;
}

const std::string& SiNo(bool v) { return Str(v ? IDS_SI : IDS_NO); }

// "\r\n<title>:\t<value>\r\n", the most common line.
void LinhaTitulo(std::string& out, const std::string& titulo, const std::string& valor) {
    out += "\r\n";
    out += titulo;
    out += ":\t";
    out += valor;
    out += "\r\n";
}

// "\r\n<title>\t\t<number>\r\n".
void LinhaNumero(std::string& out, const std::string& titulo, unsigned v) {
    out += "\r\n";
    out += titulo;
    out += "\t\t";
    out += std::to_string(v);
    out += "\r\n";
}

void Flags(std::string& out, std::string& valor, const Leitor& l, int64_t pos, int64_t tamanho,
           const ModeloFlags& modelo) {
    const uint8_t b = l.Byte(pos);
    out += modelo.cabecalho;
    for (int bit = 0; bit < 8; ++bit) {
        if (bit) out += "\r\n";
        out += SiNo(b & (1u << bit));
        out += "\t\t";
        out += modelo.bits[bit] ? modelo.bits[bit] : kBitLivre;
    }
    // The template describes the first byte only; the value keeps every byte of the field.
    valor.clear();
    const int64_t n = l.Disponivel(pos, tamanho);
    for (int64_t i = 0; i < n; ++i) {
        const uint8_t v = l.Byte(pos + i);
        for (int bit = 0; bit < 8; ++bit) valor.push_back(v & (1u << bit) ? '1' : '0');
    }
}

void FlagsVincIss(std::string& out, std::string& valor, const Leitor& l, int64_t pos) {
    const uint8_t b0 = l.Byte(pos);
    const uint8_t b1 = l.Byte(pos + 1);
    out += "\r\nFlags de vinculaci\xF3n ao ISS:\r\nN\xFAmero\t\tVinculado ao ISS?\r\n";
    char numero[8];
    for (int n = 1; n <= 16; ++n) {
        const bool ligado = n <= 8 ? (b0 >> (8 - n)) & 1 : (b1 >> (16 - n)) & 1;
        std::snprintf(numero, sizeof numero, "%2d", n);
        out += "\r\n";
        out += numero;
        out += "\t\t";
        out += SiNo(ligado);
    }
    valor.clear();
    for (int bit = 7; bit >= 0; --bit) valor.push_back((b0 >> bit) & 1 ? '1' : '0');
    for (int bit = 7; bit >= 0; --bit) valor.push_back((b1 >> bit) & 1 ? '1' : '0');
}

void OperNaoFiscal(std::string& out, const Leitor& l, int64_t pos) {
    out += "\r\nDescripci\xF3n        \tGONF\t\tValor\r\n";
    char contador[16];
    for (int n = 0; n < 50; ++n) {
        const int64_t e = pos + 31 * n;
        // The counter is two bytes, high byte first: below 256 it is the second byte alone.
        std::snprintf(contador, sizeof contador, "%04u", 256u * l.Byte(e) + l.Byte(e + 1));
        out += l.Texto(e + 12, 19, true);
        out += "\t";
        out += contador;
        out += "\t\t";
        l.Digitos(out, e + 2, 8);
        out += ",";
        l.Digitos(out, e + 10, 2);
        out += "\r\n";
    }
}

void FormasPagamento(std::string& out, const Leitor& l, int64_t pos) {
    out += "\r\nDescripci\xF3n:\t\tValor\t\t\tValor en el \xFAltimo cup\xF3n\tPermite emisi\xF3n del TEF\r\n";
    for (int n = 0; n < 20; ++n) {
        out += l.Texto(pos + 16 * n, 16, true);
        out += "\t";
        out += l.Valor(pos + 320 + 7 * n, 6);
        out += "\t\t";
        out += l.Valor(pos + 460 + 7 * n, 6);
        out += "\t\t";
        out += SiNo(l.Byte(pos + 600 + n) == 0x55);
        out += "\r\n";
    }
}

void Departamentos(std::string& out, const Leitor& l, int64_t pos) {
    out += "\r\nDescripci\xF3n:\t\tCantidad\t\t\tValor\r\n";
    for (int n = 0; n < 20; ++n) {
        // Each department has 20 bytes: its value, then its description.
        const int64_t e = pos + 20 * n;
        out += l.Texto(e + 10, 10);
        out += "\t\t";
        out += l.Valor(pos + 400 + 10 * n, 9);
        out += "\t\t";
        out += l.Valor(e, 9);
        out += "\r\n";
    }
}

void TotNaoSujeitos(std::string& out, const Leitor& l, int64_t pos) {
    for (int n = 0; n < 30; ++n) LinhaTitulo(out, l.Texto(pos + 19 * n, 19), l.Valor(pos + 570 + 7 * n, 6));
}

void RelatGer(std::string& out, const Leitor& l, int64_t pos) {
    for (int n = 0; n < 30; ++n) LinhaTitulo(out, l.Digitos(pos + 2 * n, 2), l.Texto(pos + 60 + 17 * n, 17));
}

void Integridade(std::string& out, const Leitor& l, int64_t pos, int grupos) {
    bool nok = false;
    if (grupos == 1) {
        const unsigned gravadas = l.U16(pos), ok = l.U16(pos + 2), nao_ok = l.U16(pos + 4);
        out += "\r\nN\xFAmero de c\xE9lulas grabadas:\t";
        out += std::to_string(gravadas);
        out += " \r\n N\xFAmero de c\xE9lulas ok:\t";
        out += std::to_string(ok);
        out += " \r\n N\xFAmero de c\xE9lulas nok:\t";
        out += std::to_string(nao_ok);
        out += " \r\n";
        nok = nao_ok > 0;
    } else {
        static constexpr const char* kCabecalhos[6] = {
            "C\xE9lulas iniciais:",
            "C\xE9lulas de n\xFAmero serial de la MA:",
            "C\xE9lulas de Reducc\xEDon:",
            "C\xE9lulas de status de la MA:",
            "C\xE9lulas de leitura de la MA:",
            "C\xE9lulas de versi\xF3n del software b\xE1sico:",
        };
        for (int g = 0; g < grupos; ++g) {
            // Five groups leave out the status group.
            const char* cabecalho = kCabecalhos[grupos == 5 && g >= 3 ? g + 1 : g];
            const bool ultimo = g == grupos - 1;
            const int64_t c = pos + 6 * g;
            const unsigned nao_ok = l.U16(c + 4);
            out += "\r\n";
            out += cabecalho;
            out += "\r\n C\xE9lulas grabadas:\t ";
            out += std::to_string(l.U16(c));
            out += ultimo ? "\r\n C\xE9lulas OK:\t" : "\r\n C\xE9lulas OK:\t ";
            out += std::to_string(l.U16(c + 2));
            out += ultimo ? "\r\n C\xE9lulas no OK:\t" : "\r\n C\xE9lulas no OK:\t ";
            out += std::to_string(nao_ok);
            out += "\r\n";
            if (nao_ok > 0) nok = true;
        }
    }
    if (nok) {
        out += "\r\n";
        out += Str(IDS_CELULAS_NOK);
        out += "\r\n";
    }
}

void Aliquotas(std::string& out, const Leitor& l, int64_t pos, int64_t tamanho) {
    out += "\r\nN\xFAmero de tasas:\t";
    out += std::to_string(l.Byte(pos));
    out += "\r\nTasa\tValor\r\n";
    // The list follows the field's size, not the count byte; it ends with the answer.
    const int64_t n = l.Disponivel(pos, tamanho);
    for (int64_t k = 1; 2 * k - 1 < n; ++k) {
        out += "\r\n";
        out += std::to_string(k);
        out += "\t\t";
        out += l.Valor(pos + 2 * k - 1, 1);
        out += "\r\n";
    }
}

void TotParciais(std::string& out, const Leitor& l, int64_t pos) {
    int64_t p = pos;
    auto proximo = [&](int64_t inteiros) {
        std::string v = l.Valor(p, inteiros);
        p += inteiros + 1;
        return v;
    };
    auto lista = [&](const char* cabecalho, int quantos) {
        out += cabecalho;
        for (int i = 1; i <= quantos; ++i) {
            out += "\r\n";
            out += std::to_string(i);
            out += "\t\t";
            out += proximo(6);
            out += "\r\n";
        }
    };
    lista("\r\nTotalizadores parciales tributados:\r\nTotalizador\tValor\r\n", 16);
    out += "\r\nReservado 1:\t";
    out += proximo(6);
    out += "\r\nExentos:\t";
    out += proximo(6);
    out += "\r\nReservado 2:\t";
    out += proximo(6);
    out += "\r\n";
    lista("\r\nTotalizadores parciales no sujeitos ao IVA:\r\nTotalizador\tValor\r\n", 9);
    out += "\r\nRetiradas:\t";
    out += proximo(6);
    out += "\r\nDotaci\xF3n:\t";
    out += proximo(6);
    out += "\r\nGran Total:\t";
    out += proximo(8);
    out += "\r\n";
}

// Decodes one field at `pos`; false for a type name outside the vocabulary, which produces
// nothing and does not move the position.
bool FormatarCampo(std::string& out, Retorno& r, const Leitor& l, int64_t pos) {
    const Tipo* tipo = TipoDe(r.formato);
    if (!tipo) return false;
    const int64_t tamanho = r.tamanho;

    switch (tipo->tipo) {
        case TipoRetorno::Ascii:
            r.valor_formatado = l.Texto(pos, l.Disponivel(pos, tamanho));
            LinhaTitulo(out, r.titulo, r.valor_formatado);
            break;

        case TipoRetorno::PagamentoBcd: {
            const int32_t n = AtoiC(l.Texto(pos, l.Disponivel(pos, tamanho)));
            if (n == 255) {
                out += "\r\nNo foi possible inserir esta forma de pago.\r\n";
            } else {
                out += "\r\nForma del pago n\xBA ";
                out += std::to_string(n);
                out += " programada\r\n";
            }
            break;
        }

        case TipoRetorno::Inteiro:
            // One line with the value of the first byte, whatever the field's size.
            LinhaNumero(out, r.titulo, l.Byte(pos));
            r.valor_formatado.clear();
            break;

        case TipoRetorno::BcdInteiro:
            r.valor_formatado = l.Digitos(pos, l.Disponivel(pos, tamanho));
            LinhaTitulo(out, r.titulo, r.valor_formatado);
            break;

        case TipoRetorno::BcdPercentagem:
            LinhaTitulo(out, r.titulo, l.Valor(pos, 1) + "%");
            r.valor_formatado = l.Digitos(pos, 2);
            break;

        case TipoRetorno::BcdFinanceiro: {
            const int64_t n = l.Disponivel(pos, tamanho);
            LinhaTitulo(out, r.titulo, n > 0 ? l.Valor(pos, n - 1) : std::string());
            r.valor_formatado = l.Digitos(pos, n);
            break;
        }

        case TipoRetorno::BcdData:
        case TipoRetorno::BcdHora: {
            const std::string a = l.Digitos(pos, 1), b = l.Digitos(pos + 1, 1), c = l.Digitos(pos + 2, 1);
            const bool data = tipo->tipo == TipoRetorno::BcdData;
            out += data ? "\r\nFecha: " : "\r\nHora: ";
            out += a;
            out += data ? "/" : ":";
            out += b;
            out += data ? "/" : ":";
            out += c;
            out += "\r\n";
            r.valor_formatado = a + b + c;
            break;
        }

        case TipoRetorno::StatusPapel: {
            const unsigned v = l.U16(pos);
            LinhaNumero(out, r.titulo, v);
            r.valor_formatado = std::to_string(v);
            break;
        }

        case TipoRetorno::Flags:
            Flags(out, r.valor_formatado, l, pos, tamanho, *tipo->flags);
            break;

        case TipoRetorno::FlagsVincIss:
            FlagsVincIss(out, r.valor_formatado, l, pos);
            break;

        case TipoRetorno::FlagUnico:
            out += "\r\n";
            out += Str(l.Byte(pos) == tipo->unico.referencia ? tipo->unico.igual : tipo->unico.diferente);
            out += "\r\n";
            break;

        case TipoRetorno::OperNaoFiscal:
            OperNaoFiscal(out, l, pos);
            break;

        case TipoRetorno::FormasPagamento:
            FormasPagamento(out, l, pos);
            break;

        case TipoRetorno::Departamentos:
            Departamentos(out, l, pos);
            break;

        case TipoRetorno::TotNaoSujeitos:
            TotNaoSujeitos(out, l, pos);
            break;

        case TipoRetorno::RelatGer:
            RelatGer(out, l, pos);
            break;

        case TipoRetorno::Integridade:
            Integridade(out, l, pos, tipo->grupos);
            break;

        case TipoRetorno::Aliquotas:
            Aliquotas(out, l, pos, tamanho);
            break;

        case TipoRetorno::TotParciais:
            TotParciais(out, l, pos);
            break;

        case TipoRetorno::TipoDocAberto: {
            // The document kind is the field's own byte (the first data byte when, as in every
            // catalog, it is the only field); its value is the kind as a number.
            const uint8_t b = l.Byte(pos);
            out += "\r\nTipo ult. documento impresso:\t";
            if (b <= 3) out += Str(IDS_DOC_FACTURA_CONSUMIDOR + b);
            r.valor_formatado = std::to_string(b);
            break;
        }
    }
    return true;
}

}  // namespace

void Comando::FormatarRetorno() {
    const Leitor leitor(resposta);
    retorno_formatado += "\r\n";

    int64_t dados = 0;
    for (const Retorno& r : retornos) dados += r.tamanho;

    // The status bytes follow the data. When the answer is too short to hold them, no status
    // text is shown rather than a "COMANDO OK" that the printer never sent.
    if (leitor.Presente(0) && leitor.Byte(0) == kAck) {
        if (leitor.Presente(1 + dados) && leitor.Presente(2 + dados)) {
            retorno_formatado += MensagemStatus(leitor.Byte(1 + dados), leitor.Byte(2 + dados));
            if (EngineEnv().settings->ExtendedReturn && leitor.Presente(3 + dados) && leitor.Presente(4 + dados)) {
                retorno_formatado += MensagemRetorno(leitor.Byte(3 + dados), leitor.Byte(4 + dados));
            }
        }
    }

    int64_t pos = 1;
    for (Retorno& r : retornos) {
        if (FormatarCampo(retorno_formatado, r, leitor, pos)) pos += r.tamanho;
    }
}

}  // namespace ordavo
