// Encoding of the parameter values into the command frame, by parameter type.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/codepage.h"
#include "engine/comando.h"
#include "engine/env.h"
#include "engine/strings.h"
#include "engine/util.h"

namespace ordavo {
namespace {

// The sender appends the two checksum bytes after the last parameter, so the parameters may
// fill the buffer only up to two bytes before its end. A frame that would pass that point is
// refused like a parameter of the wrong size: -3 with the size message, nothing is sent. This
// holds for optional parameters too, since leaving one out would send a different command.
constexpr int32_t kReservaChecksum = 2;

enum class Tipo {
    NaoEditavel,    // the value, or spaces when it has not the exact size
    Binario,        // one byte from a decimal number, 0xFF above 255
    Inteiro,        // zero-padded digits
    BcdInteiro,     // a byte from a decimal number
    Texto,          // space-padded text of a fixed size
    TextoVariavel,  // text of any length
    Data,           // date or time without slashes
    Limitado,       // text up to a maximum, unpadded
    ChequePos,      // decimal digit pairs as bytes
    Hex,            // hexadecimal digit pairs as bytes
    TrocaSitTrib,   // one byte and the rate texts
    CupomBilhete,   // 0xFF for a ticket, 0x00 for a receipt
    Exato,          // the value, exactly of its size
    Nada,           // contributes no bytes
};

enum Opcao : unsigned {
    kIsento = 1u << 0,     // an empty mandatory value is not an error
    kAleatorio = 1u << 1,  // a fresh random value replaces the value
    kCp850 = 1u << 2,      // the copy is converted to the printer's code page
    kSoLf = 1u << 3,       // CR LF pairs become LF
    kLfFinal = 1u << 4,    // the text ends in LF
    kCliche = 1u << 5,     // header markup words become printer sequences
};

struct Regra {
    Tipo tipo = Tipo::Nada;
    unsigned opcoes = 0;
};

const Regra& RegraDe(const std::string& formato) {
    static const std::unordered_map<std::string_view, Regra> regras = {
        {"NOT_EDITABLE", {Tipo::NaoEditavel, kIsento}},
        {"BINARIO", {Tipo::Binario, 0}},
        {"INTEGER", {Tipo::Inteiro, 0}},
        {"FINANCE", {Tipo::Inteiro, 0}},
        {"FINANCE_3", {Tipo::Inteiro, 0}},
        {"PERCENTAGE", {Tipo::Inteiro, 0}},
        {"RANDOM_NUMBER", {Tipo::Inteiro, kIsento | kAleatorio}},
        {"BCD_INTEGER", {Tipo::BcdInteiro, 0}},
        {"STRING", {Tipo::Texto, kCp850}},
        {"BIG_STRING", {Tipo::Texto, kCp850 | kSoLf}},
        {"RANDOM_STRING", {Tipo::Texto, kIsento | kAleatorio | kCp850}},
        {"STRING_VAR_SIZE", {Tipo::TextoVariavel, kCp850 | kSoLf | kLfFinal}},
        {"BIG_STRING_VAR_SIZE", {Tipo::TextoVariavel, kCp850 | kSoLf | kLfFinal}},
        {"STRING_VAR_SIZE_WITHOUT_CR", {Tipo::TextoVariavel, kCp850}},
        {"BILHETE_PASSAGEM", {Tipo::TextoVariavel, kCp850}},
        {"LEIT_DADOS_MEM_FISCAL", {Tipo::TextoVariavel, kCp850}},
        {"DISCOUNT", {Tipo::TextoVariavel, kCp850}},
        {"CLICHE", {Tipo::TextoVariavel, kCliche | kCp850 | kSoLf | kLfFinal}},
        {"DATA", {Tipo::Data, 0}},
        {"DATA_2_2_4", {Tipo::Data, 0}},
        {"HORA", {Tipo::Data, 0}},
        {"FECHA_CUPOM", {Tipo::Limitado, 0}},
        {"AC_OU_DESC_ITEM", {Tipo::Limitado, 0}},
        {"AC_OU_DESC_SUB", {Tipo::Limitado, 0}},
        {"DESCR_FORMA_PAGAMENTO", {Tipo::Limitado, kCp850}},
        {"DESCR_FORMA_PAGAMENTO_MP_20", {Tipo::Limitado, kCp850}},
        {"IMPR_FITA_DETALHE", {Tipo::Limitado, 0}},
        {"LEIT_MEM_FISCAL", {Tipo::Limitado, 0}},
        {"CHEQUE_POS", {Tipo::ChequePos, 0}},
        {"DIG_HEX", {Tipo::Hex, 0}},
        {"DIG_HEX_NOT_EDITABLE", {Tipo::Hex, kIsento}},
        {"CAR_GRAF_AUTENTICACAO", {Tipo::Hex, 0}},
        {"TROCA_SIT_TRIB", {Tipo::TrocaSitTrib, 0}},
        {"CUPOM_OU_BILHETE_CONV_156", {Tipo::CupomBilhete, 0}},
        {"VINC_ISS", {Tipo::Exato, 0}},
        {"OPTIONS", {Tipo::Exato, 0}},
    };
    static const Regra nenhuma;
    auto it = regras.find(formato);
    return it == regras.end() ? nenhuma : it->second;
}

// Header markup words and the printer sequences that replace them, in replacement order.
struct Marcador {
    std::string_view palavra;
    std::string_view bytes;
};
constexpr Marcador kMarcadores[] = {
    {"CLICHE_SUB_INI_XML", std::string_view("\x1B\x2D\x01", 3)},
    {"CLICHE_SUB_END_XML", std::string_view("\x1B\x2D\x30", 3)},
    {"CLICHE_IT_INI_XML", std::string_view("\x1B\x34", 2)},
    {"CLICHE_IT_END_XML", std::string_view("\x1B\x35", 2)},
    {"CLICHE_ENF_INI_XML", std::string_view("\x1B\x45", 2)},
    {"CLICHE_ENF_END_XML", std::string_view("\x1B\x46", 2)},
    {"CLICHE_EXP_INI_XML", std::string_view("\x1B\x57\x01", 3)},
    {"CLICHE_EXP_END_XML", std::string_view("\x1B\x57\x02", 3)},
};

// Every generation reseeds the C library generator, as the printer tools always did, so that
// tests can fix the values through the clock.
void Semear() { std::srand(static_cast<unsigned>(EngineEnv().clock->UtcMillisecond() % 256)); }

std::string TextoAleatorio(int32_t n) {
    Semear();
    std::string s;
    for (int32_t i = 0; i < n; ++i) s.push_back(static_cast<char>(std::rand() % 94 + 32));
    return s;
}

std::string NumeroAleatorio(int32_t n) {
    Semear();
    std::string s;
    bool zero = true;
    for (int32_t i = 0; i < n; ++i) {
        int d = std::rand() % 10;
        if (d) zero = false;
        s.push_back(static_cast<char>('0' + d));
    }
    // A random number is never zero.
    if (zero && !s.empty()) s.back() = '1';
    return s;
}

void Remover(std::string& s, char c) {
    std::string::size_type out = 0;
    for (char ch : s) {
        if (ch != c) s[out++] = ch;
    }
    s.resize(out);
}

bool EhLetraHex(uint8_t c) { return c > '9' && c < 'G'; }

// Only the low four bits of each digit count; "A" to "F" then get their missing 9. A lower-case
// letter is read as 1 to 6, the editors never produce one.
uint8_t ParHex(uint8_t alto, uint8_t baixo) {
    unsigned v = (alto & 0x0Fu) << 4;
    if (EhLetraHex(alto)) v += 0x90;
    v += baixo & 0x0Fu;
    if (EhLetraHex(baixo)) v += 9;
    return static_cast<uint8_t>(v & 0xFF);
}

enum class Resultado { Ok, SemValor, Tamanho, Estouro };

class Codificador {
public:
    explicit Codificador(BufferComando& quadro) : quadro_(quadro) {}

    Resultado Codificar(Parametro& p);

private:
    int64_t Espaco() const {
        return static_cast<int64_t>(BufferComando::kCapacity) - kReservaChecksum - quadro_.length;
    }
    bool Anexar(const void* bytes, int64_t n) {
        if (n <= 0) return true;
        if (n > Espaco()) return false;
        return quadro_.Append(bytes, static_cast<int32_t>(n));
    }
    Resultado Anexar(const std::string& s) {
        return Anexar(s.data(), static_cast<int64_t>(s.size())) ? Resultado::Ok : Resultado::Estouro;
    }
    Resultado AnexarByte(uint8_t b) { return Anexar(&b, 1) ? Resultado::Ok : Resultado::Estouro; }

    BufferComando& quadro_;
};

Resultado Codificador::Codificar(Parametro& p) {
    const Regra& regra = RegraDe(p.formato);
    if (p.valor.empty()) {
        if (p.obrigatorio && !(regra.opcoes & kIsento)) return Resultado::SemValor;
        if (!p.obrigatorio) return Resultado::Ok;
    }
    const int64_t tamanho = p.tamanho;
    const auto comprimento = [&](const std::string& s) { return static_cast<int64_t>(s.size()); };

    switch (regra.tipo) {
        case Tipo::NaoEditavel:
            if (comprimento(p.valor) == tamanho) return Anexar(p.valor);
            if (!p.obrigatorio || tamanho <= 0) return Resultado::Ok;
            if (tamanho > Espaco()) return Resultado::Estouro;
            return Anexar(std::string(static_cast<size_t>(tamanho), ' '));

        case Tipo::Binario: {
            const int32_t v = AtoiC(p.valor);
            return AnexarByte(v > 255 ? 0xFF : static_cast<uint8_t>(v & 0xFF));
        }

        case Tipo::Inteiro:
            if (regra.opcoes & kAleatorio) {
                if (tamanho > Espaco()) return Resultado::Estouro;
                p.valor = NumeroAleatorio(static_cast<int32_t>(tamanho));
            }
            Remover(p.valor, ',');
            if (comprimento(p.valor) < tamanho) {
                if (tamanho > Espaco()) return Resultado::Estouro;
                p.valor.insert(0, static_cast<size_t>(tamanho - comprimento(p.valor)), '0');
            }
            if (comprimento(p.valor) != tamanho) return Resultado::Tamanho;
            return Anexar(p.valor);

        case Tipo::BcdInteiro: {
            if (comprimento(p.valor) < tamanho) {
                if (tamanho > Espaco()) return Resultado::Estouro;
                p.valor.insert(0, static_cast<size_t>(tamanho - comprimento(p.valor)), '0');
            }
            if (comprimento(p.valor) != tamanho) return Resultado::Tamanho;
            if (tamanho > Espaco()) return Resultado::Estouro;
            // The value byte, then zero bytes up to the declared size, so the printer always
            // receives as many bytes as the command declares (value and 0x00 for size 2).
            std::string bytes(static_cast<size_t>(tamanho), '\0');
            bytes[0] = static_cast<char>(AtoiC(p.valor) & 0xFF);
            return Anexar(bytes);
        }

        case Tipo::Texto: {
            if (regra.opcoes & kAleatorio) {
                if (tamanho > Espaco()) return Resultado::Estouro;
                p.valor = TextoAleatorio(static_cast<int32_t>(tamanho));
            }
            std::string copia = p.valor;
            ParaImpressora(copia);
            if (regra.opcoes & kSoLf) ReplaceAll(copia, "\r\n", "\n");
            if (comprimento(copia) < tamanho) {
                if (tamanho > Espaco()) return Resultado::Estouro;
                copia.append(static_cast<size_t>(tamanho - comprimento(copia)), ' ');
            }
            if (comprimento(copia) != tamanho) return Resultado::Tamanho;
            return Anexar(copia);
        }

        case Tipo::TextoVariavel: {
            std::string copia = p.valor;
            if (regra.opcoes & kCliche) {
                for (const Marcador& m : kMarcadores) ReplaceAll(copia, m.palavra, m.bytes);
            }
            ParaImpressora(copia);
            if (regra.opcoes & kSoLf) ReplaceAll(copia, "\r\n", "\n");
            if ((regra.opcoes & kLfFinal) && !copia.empty() && copia.back() != '\n') {
                if (comprimento(copia) < tamanho) {
                    copia.push_back('\n');
                } else {
                    copia.back() = '\n';
                }
            }
            return Anexar(copia);
        }

        case Tipo::Data:
            Remover(p.valor, '/');
            if (comprimento(p.valor) != tamanho) return Resultado::Tamanho;
            return Anexar(p.valor);

        case Tipo::Limitado: {
            if (comprimento(p.valor) > tamanho) return Resultado::Tamanho;
            if (!(regra.opcoes & kCp850)) return Anexar(p.valor);
            std::string copia = p.valor;
            ParaImpressora(copia);
            return Anexar(copia);
        }

        case Tipo::ChequePos:
        case Tipo::Hex: {
            if (comprimento(p.valor) != 2 * tamanho) return Resultado::Tamanho;
            std::string bytes(p.valor.size() / 2, '\0');
            for (size_t i = 0; i < bytes.size(); ++i) {
                const uint8_t a = static_cast<uint8_t>(p.valor[2 * i]);
                const uint8_t b = static_cast<uint8_t>(p.valor[2 * i + 1]);
                if (regra.tipo == Tipo::Hex) {
                    bytes[i] = static_cast<char>(ParHex(a, b));
                } else {
                    bytes[i] = static_cast<char>(AtoiC(std::string_view(p.valor).substr(2 * i, 2)) & 0xFF);
                }
            }
            return Anexar(bytes);
        }

        case Tipo::TrocaSitTrib: {
            // The position byte is in the frame before the size is checked: an optional value
            // of the wrong size leaves that byte alone, a mandatory one fails with it in place.
            Resultado r = AnexarByte(static_cast<uint8_t>(AtoiC(std::string_view(p.valor).substr(0, 2)) & 0xFF));
            if (r != Resultado::Ok) return r;
            if (comprimento(p.valor) - 2 > tamanho) return Resultado::Tamanho;
            if (p.valor.size() <= 64) return Anexar(p.valor);
            return Anexar(p.valor.substr(p.valor.size() - 64));
        }

        case Tipo::CupomBilhete:
            return AnexarByte(p.valor == "b" || p.valor == "B" ? 0xFF : 0x00);

        case Tipo::Exato:
            if (comprimento(p.valor) != tamanho) return Resultado::Tamanho;
            return Anexar(p.valor);

        case Tipo::Nada:
            return Resultado::Ok;
    }
    return Resultado::Ok;
}

}  // namespace

int32_t Comando::CodificarParametros() {
    Codificador codificador(quadro);
    for (Parametro& p : parametros) {
        int32_t codigo = kExecOk;
        int mensagem = 0;
        switch (codificador.Codificar(p)) {
            case Resultado::Ok:
                continue;
            case Resultado::SemValor:
                codigo = kExecSemValor;
                mensagem = IDS_PARAM_OBLIGATORIO;
                break;
            case Resultado::Tamanho:
                // An optional parameter of the wrong size is simply left out.
                if (!p.obrigatorio) continue;
                codigo = kExecTamanho;
                mensagem = IDS_PARAM_TAMANO;
                break;
            case Resultado::Estouro:
                codigo = kExecTamanho;
                mensagem = IDS_PARAM_TAMANO;
                break;
        }
        retorno_formatado += Str(mensagem);
        // Enviar added the status length to the expected answer; nothing will be sent now.
        tamanho_retorno -= tamanho_status;
        return codigo;
    }
    return kExecOk;
}

}  // namespace ordavo
