// The engine's records: one printer command with its parameters and return fields, and the
// frame buffer. All texts are Windows-1252 bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "transport/printer_interface.h"

namespace ordavo {

// Fixed-capacity frame buffer: one frame never exceeds 4096 bytes.
struct BufferComando {
    static constexpr int32_t kCapacity = 4096;

    uint8_t data[kCapacity] = {};
    int32_t length = 0;

    // Sets the length (the engine resets to 3, keeping room for STX and NB).
    void Reset(int32_t new_length);
    // Appends n bytes; false (and nothing appended) when they would not fit.
    bool Append(const void* bytes, int32_t n);
    bool Append(uint8_t byte) { return Append(&byte, 1); }
    int32_t Room() const { return kCapacity - length; }
};

class Parametro {
public:
    virtual ~Parametro() = default;

    int32_t tamanho = 0;
    int32_t obrigatorio = 1;
    std::string titulo;
    std::string auxiliar;  // a further text, not used by the engine
    std::string formato;
    std::string valor;
};

class Retorno {
public:
    virtual ~Retorno() = default;

    int32_t tamanho = 0;
    std::string titulo;
    std::string auxiliar;  // a further text, not used by the engine
    std::string formato;
    std::string valor_formatado;
};

// Result codes of Executar.
enum ResultadoExecucao : int32_t {
    kExecOk = 0,
    kExecSemValor = -2,     // a mandatory parameter is empty
    kExecTamanho = -3,      // a parameter (or the whole frame) has the wrong size
    kExecSemResposta = -4,  // no answer, NAK, or an answer that does not parse
    kExecCancelado = -5,    // the user cancelled
};

class Comando {
public:
    static constexpr int kMaxEscape = 10;
    // Longest piece of an escape text that is still read as a number ("-128", "00035").
    static constexpr int kMaxEscapePiece = 5;

    Comando() = default;
    virtual ~Comando();
    // Copies every member except what belongs to a running execution (the transport and
    // the answer buffer), which a copy starts without.
    Comando(const Comando& other);
    Comando& operator=(const Comando& other);
    Comando(Comando&&) noexcept = default;
    Comando& operator=(Comando&&) noexcept = default;

    int32_t equipamentos_hab = 0;
    int32_t tamanho_status = 0;
    BufferComando quadro;
    std::unique_ptr<PrinterInterface> transporte;
    std::vector<uint8_t> resposta;
    std::string dump;
    std::string tipo;
    std::string titulo;
    std::string escape;
    std::string tipo_retorno;
    std::string retorno_formatado;
    // Why the last execution got no answer or ended early ("" when it was answered): the port
    // that could not be opened, the printer's silence, a lost link, a cancel. An unanswered
    // end also has it as the last line of retorno_formatado.
    std::string motivo;
    // Monotonic time at which the frame went out (the printer's silence counts from here).
    int64_t enviado_ms = 0;
    int32_t n_bytes_escape = 0;
    uint8_t bytes_escape[kMaxEscape] = {};
    std::vector<Parametro> parametros;
    std::vector<Retorno> retornos;
    int32_t tamanho_retorno = 0;
    // False when the escape text had more than 10 numbers or a piece too long to be a byte;
    // such a command is never sent.
    bool escape_valido = true;

    void SetTipo(const std::string& t) { tipo = t; }
    void SetTitulo(const std::string& t) { titulo = t; }
    // Assigns `escape` and parses it into bytes_escape; returns escape_valido.
    bool SetEscape(const std::string& text);
    void SetTamanhoRetorno(int32_t n) { tamanho_retorno = n; }
    void AdicionarParametro(const Parametro& p) { parametros.push_back(p); }
    void AdicionarRetorno(const Retorno& r) { retornos.push_back(r); }

    // Runs the command once (see execution.cpp): 0, -2, -3, -4 or -5.
    int32_t Executar();
    int32_t Enviar();
    int32_t Receber();
    int32_t ReceberGprs();
    int32_t ExecutarTeste();

    // Steps of Enviar up to the finished frame, without creating a transport: appends the
    // command header to retorno_formatado, writes prefix, escape and parameters into quadro
    // and adds NB and the checksum. Returns 0, -2 or -3.
    int32_t MontarQuadro();

    // Appends the encoded parameters to quadro: 0, -2 or -3 (message in retorno_formatado).
    int32_t CodificarParametros();

    // Turns resposta (ACK, data, status bytes) into retorno_formatado and valor_formatado.
    void FormatarRetorno();

    // Appends one record to the day's log file under the application directory.
    int32_t GravarLog();

    static std::string MensagemStatus(int32_t st1, int32_t st2);
    static std::string MensagemRetorno(int32_t st3_low, int32_t st3_high);

    // Sum of the sizes of the return fields.
    int32_t TamanhoDados() const;
};

}  // namespace ordavo
