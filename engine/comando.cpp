#include "engine/comando.h"

#include <cstring>

#include "engine/util.h"

namespace ordavo {

void BufferComando::Reset(int32_t new_length) {
    if (new_length < 0) new_length = 0;
    if (new_length > kCapacity) new_length = kCapacity;
    length = new_length;
}

bool BufferComando::Append(const void* bytes, int32_t n) {
    if (n < 0 || n > Room()) return false;
    if (n > 0) std::memcpy(data + length, bytes, static_cast<size_t>(n));
    length += n;
    return true;
}

Comando::~Comando() = default;

Comando::Comando(const Comando& other) { *this = other; }

Comando& Comando::operator=(const Comando& other) {
    if (this == &other) return *this;
    equipamentos_hab = other.equipamentos_hab;
    tamanho_status = other.tamanho_status;
    quadro = other.quadro;
    // The transport and the answer buffer belong to one running execution.
    transporte.reset();
    resposta.clear();
    dump = other.dump;
    tipo = other.tipo;
    titulo = other.titulo;
    escape = other.escape;
    tipo_retorno = other.tipo_retorno;
    retorno_formatado = other.retorno_formatado;
    motivo = other.motivo;
    enviado_ms = other.enviado_ms;
    n_bytes_escape = other.n_bytes_escape;
    std::memcpy(bytes_escape, other.bytes_escape, sizeof bytes_escape);
    parametros = other.parametros;
    retornos = other.retornos;
    tamanho_retorno = other.tamanho_retorno;
    escape_valido = other.escape_valido;
    return *this;
}

bool Comando::SetEscape(const std::string& text) {
    escape = text;
    n_bytes_escape = 0;
    std::memset(bytes_escape, 0, sizeof bytes_escape);
    escape_valido = true;

    // Every single space cuts a piece, so two spaces in a row make an empty piece (a 0x00
    // byte) and a trailing space adds one.
    uint8_t parsed[kMaxEscape];
    int count = 0;
    size_t start = 0;
    for (;;) {
        size_t space = text.find(' ', start);
        std::string_view piece =
            std::string_view(text).substr(start, space == std::string::npos ? std::string::npos : space - start);
        if (count == kMaxEscape || piece.size() > static_cast<size_t>(kMaxEscapePiece)) {
            // No printer command has more than ten escape bytes or a number that long: the
            // text is a mistake in the catalog and the command is never sent.
            escape_valido = false;
            return false;
        }
        parsed[count++] = static_cast<uint8_t>(AtoiC(piece) & 0xFF);
        if (space == std::string::npos) break;
        start = space + 1;
    }
    std::memcpy(bytes_escape, parsed, static_cast<size_t>(count));
    n_bytes_escape = count;
    return true;
}

int32_t Comando::TamanhoDados() const {
    int64_t total = 0;
    for (const Retorno& r : retornos) total += r.tamanho;
    if (total > INT32_MAX) return INT32_MAX;
    if (total < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(total);
}

}  // namespace ordavo
