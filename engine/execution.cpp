// Running one command against the printer: building and writing the frame, reading the answer
// in its layout (fixed, status first, GPRS, and the exchange-file variants), the ends of an
// execution, and the "TESTE" commands that are carried out inside the program.
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/codepage.h"
#include "engine/comando.h"
#include "engine/env.h"
#include "engine/failure_reason.h"
#include "engine/strings.h"
#include "engine/ui.h"
#include "engine/util.h"

namespace ordavo {
namespace {

constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kFs = 0x1C;

constexpr int kStatusEsc = 3;  // ACK, ST1, ST2
constexpr int kStatusFs = 5;   // ... and ST3 low, ST3 high

constexpr int kOpenSpeed = 9600;
constexpr int kOpenFileMode = 0;
constexpr int kWriteTagPort = 20000;
constexpr int kWriteTagTerminated = -1;

constexpr int kReadTimeoutMs = 2000;
constexpr int kDrainTimeoutMs = 10;
constexpr int kPauseAfterFailureMs = 300;
constexpr int kMaxConsecutiveFailures = 52;
constexpr int kMaxStatusFailures = 12;
constexpr int kFilePollMs = 300;
constexpr int kFileWritePollMs = 200;
constexpr int kFileEmptyPauseMs = 100;
constexpr int kMaxEmptyChunks = 12;
constexpr size_t kGprsBuffer = 1024;
constexpr int kProgressRange = 1000;

// A printer that keeps talking after Cancel would otherwise keep the drain (and the user
// interface with it) busy for ever; 8 KB is several seconds of line time at 9600 baud.
constexpr int kMaxDrainBytes = 8192;
constexpr int64_t kMaxDrainMs = 10000;
// The file peer may fail to take the request; give up after this many writes that moved
// nothing instead of spinning.
constexpr int kMaxStalledPuts = 10;
constexpr int kMaxPurgeRounds = 50;  // 10 s of 200 ms pauses
// Largest response-file chunk taken at once.
constexpr uint32_t kMaxFileChunk = 1u << 20;
// Longest catalog answer length accepted: the socket tag carries 16 bits, and no printer
// answer comes near it.
constexpr int32_t kMaxCatalogAnswer = 65535;

// A fiscal-memory reading (first escape byte 8) asks at this frame position for the answer
// to be printed ("I") or returned through the port ("R"/"r").
constexpr uint8_t kEscapeLeituraMf = 8;
constexpr int32_t kPosicaoDestinoMf = 17;

constexpr int kParallelDataPort = 888;  // 0x378, the first parallel port's data register

const char* const kTipoTeste = "TESTE";
const char* const kTipoGprs = "GPRS";

// Our own refusals, in the wording of the encoder's messages.
const char* const kMsgEscapeInvalido =
    "C\xF3" "digo de escape inv\xE1lido (m\xE1s de 10 n\xFAmeros o un n\xFAmero fuera de rango)";
const char* const kMsgQuadroLongo = "Comando demasiado largo: el cuadro pasa de 4096 bytes";
const char* const kMsgTamanhoRetorno = "Tama\xF1o de retorno inv\xE1lido en la definici\xF3n del comando";
const char* const kMsgCancelado = "Comando Cancelado!";
const char* const kMsgExecutado = "Executado";
const char* const kMsgNaoExecutado = "<N\xE3o> Executado";
const char* const kMsgGprsOcupado =
    "O M\xF3" "dulo GPRS est\xE1 ocupado, aguarde um (1) minuto e tente novamente.";
const char* const kMsgErroComunicacao = "ERRO DE COMUNICA\xC7\xC3O";

// Stored output bits of the parallel-port test commands; both start at 0.
uint8_t g_bits_paralela = 0;

void AppendDumpByte(std::string& dump, uint8_t byte) {
    char text[4];
    std::snprintf(text, sizeof text, " %02X", byte);
    dump += text;
}

// Catalog answer length: what tamanho_retorno held before Enviar added the status part.
int32_t TamanhoCatalogo(const Comando& c) { return c.tamanho_retorno - c.tamanho_status; }

bool LeituraMfPelaPorta(const Comando& c) {
    return c.n_bytes_escape > 0 && c.bytes_escape[0] == kEscapeLeituraMf &&
           c.quadro.length > kPosicaoDestinoMf &&
           (c.quadro.data[kPosicaoDestinoMf] == 'R' || c.quadro.data[kPosicaoDestinoMf] == 'r');
}

bool StatusPrimeiro(const Comando& c) {
    int32_t catalogo = TamanhoCatalogo(c);
    return catalogo == -1 || catalogo == -2 || LeituraMfPelaPorta(c);
}

uint8_t Terminador(const Comando& c) { return TamanhoCatalogo(c) == -2 ? 0x00 : kEtx; }

std::unique_ptr<ProgressWindow> AbrirProgresso(int upper, const std::string& text) {
    std::unique_ptr<ProgressWindow> p = EngineEnv().ui->CreateProgress(Str(IDS_PROGRESO), true);
    if (!p) p = std::make_unique<ProgressWindow>(Str(IDS_PROGRESO));
    p->SetText(text);
    p->SetRange(0, upper, 1);
    return p;
}

// The status lines that open a status-first or GPRS result.
std::string LinhasStatus(const Comando& c) {
    const std::vector<uint8_t>& r = c.resposta;
    uint8_t st1 = r.size() > 1 ? r[1] : 0;
    uint8_t st2 = r.size() > 2 ? r[2] : 0;
    std::string out = Comando::MensagemStatus(st1, st2) + "\r\n";
    // ST3 exists only after an FS prefix; a NUL-terminated answer has three status bytes even
    // with the extended return on.
    if (c.tamanho_status == kStatusFs && r.size() >= static_cast<size_t>(kStatusFs))
        out += Comando::MensagemRetorno(r[3], r[4]) + "\r\n";
    return out;
}

// Collected text of a status-first answer, without its terminator: LF becomes CR LF and NUL
// bytes are dropped.
std::string TextoColetado(std::string text) {
    if (!text.empty()) text.pop_back();
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char ch : text) {
        if (ch == '\0') continue;
        if (ch == '\n') out += '\r';
        out += ch;
    }
    return out;
}

// ----------------------------------------------------------------------------------- ends

// Every end after the transport was created.
int32_t Fim(Comando& c, int32_t result) {
    c.dump += "\r\n";
    c.transporte.reset();
    std::vector<uint8_t>().swap(c.resposta);
    c.GravarLog();
    return result;
}

void Fechar(Comando& c) {
    if (c.transporte) c.transporte->Close();
}

int32_t Recusado(Comando& c) {
    Fechar(c);
    c.retorno_formatado += Str(IDS_COMANDO_NO_RECIBIDO);
    return Fim(c, kExecSemResposta);
}

const std::string& PortaDoComando() { return EngineEnv().settings->PortName; }

// Unanswered: the system's message, then the line that says why.
int32_t SemResposta(Comando& c, const std::string& motivo) {
    Fechar(c);
    c.motivo = motivo;
    c.retorno_formatado += Str(IDS_ERROR_ENVIAR);
    if (!motivo.empty()) c.retorno_formatado += "\r\n" + motivo;
    return Fim(c, kExecSemResposta);
}

// The printer said nothing more: for how long since the frame went out, or since its last
// byte (`since_ms`, 0 for "since the frame").
int32_t Silencio(Comando& c, int32_t received, int32_t expected, int64_t since_ms = 0) {
    int64_t silent = EngineEnv().clock->MonotonicMs() - (since_ms > 0 ? since_ms : c.enviado_ms);
    return SemResposta(c, MotivoSilencio(PortaDoComando(), silent, received, expected));
}

int32_t ConexaoPerdida(Comando& c) {
    return SemResposta(c, MotivoConexaoPerdida(PortaDoComando(), c.transporte->LastError()));
}

// A read that failed at once, without waiting for its time-out (a port that reports an error
// immediately), still costs the time-out, so that a loop of reads never spins. The pause
// keeps the progress window alive and ends early when the user cancels.
void CustoDaLeitura(int64_t started_ms, ProgressWindow& progress) {
    Environment& env = EngineEnv();
    constexpr int kSliceMs = 100;
    if (env.clock->MonotonicMs() - started_ms >= kPauseAfterFailureMs) return;
    for (;;) {
        int64_t left = started_ms + kReadTimeoutMs - env.clock->MonotonicMs();
        if (left <= 0 || progress.IsCancelled()) return;
        env.clock->SleepMs(static_cast<int>(std::min<int64_t>(left, kSliceMs)));
        progress.PumpMessages();
    }
}

int32_t ErroProtocolo(Comando& c) {
    Fechar(c);
    return Fim(c, kExecSemResposta);
}

// Reads and drops what the printer still sends, so that the rest of this answer does not
// arrive in front of the next command's.
void Drenar(Comando& c) {
    Environment& env = EngineEnv();
    std::unique_ptr<WaitWindow> wait = env.ui->ShowWait(Str(IDS_AGUARDE));
    const int64_t start = env.clock->MonotonicMs();
    uint8_t scratch = 0;
    int drained = 0;
    while (c.transporte && c.transporte->Read(&scratch, 1, kDrainTimeoutMs)) {
        if (++drained >= kMaxDrainBytes || env.clock->MonotonicMs() - start >= kMaxDrainMs) break;
    }
}

int32_t Anulado(Comando& c, bool drenar, const std::string& text = Str(IDS_COMANDO_ANULADO)) {
    if (drenar) Drenar(c);
    Fechar(c);
    c.retorno_formatado += text;
    c.motivo = MotivoCancelado();
    return Fim(c, kExecCancelado);
}

// --------------------------------------------------------------------------- port layouts

int32_t ReceberFixo(Comando& c) {
    Environment& env = EngineEnv();
    const int32_t total = c.tamanho_retorno;
    c.resposta.assign(static_cast<size_t>(total), 0);
    std::unique_ptr<ProgressWindow> progress = AbrirProgresso(total, Str(IDS_RECIBIENDO_RETORNO));
    int32_t got = 0;
    int failures = 0;
    int64_t last_byte_ms = 0;
    while (got < total) {
        if (progress->IsCancelled()) {
            progress.reset();
            return Anulado(c, true);
        }
        if (c.transporte->Read(&c.resposta[static_cast<size_t>(got)], 1, kReadTimeoutMs)) {
            uint8_t byte = c.resposta[static_cast<size_t>(got)];
            if (got == 0 && byte == kNak) {
                progress.reset();
                return Recusado(c);
            }
            AppendDumpByte(c.dump, byte);
            last_byte_ms = env.clock->MonotonicMs();
            ++got;
            failures = 0;
            progress->Step();
        } else {
            if (c.transporte->LinkLost()) {
                progress.reset();
                return ConexaoPerdida(c);
            }
            env.clock->SleepMs(kPauseAfterFailureMs);
            if (++failures >= kMaxConsecutiveFailures) {
                // Cancel pressed during the last wait is still a cancel, not a silence.
                progress->PumpMessages();
                const bool cancelled = progress->IsCancelled();
                progress.reset();
                return cancelled ? Anulado(c, true) : Silencio(c, got, total, last_byte_ms);
            }
        }
        progress->PumpMessages();
    }
    progress.reset();
    Fechar(c);
    c.FormatarRetorno();
    return Fim(c, kExecOk);
}

int32_t ReceberStatusPrimeiro(Comando& c) {
    const bool nul = TamanhoCatalogo(c) == -2;
    const uint8_t terminator = Terminador(c);
    const int32_t status_len = c.tamanho_status;
    c.resposta.assign(static_cast<size_t>(status_len), 0);
    std::unique_ptr<ProgressWindow> progress =
        AbrirProgresso(kProgressRange, Str(IDS_RECIBIENDO_RETORNO));

    int32_t got = 0;
    int failures = 0;
    while (got < status_len) {
        if (progress->IsCancelled()) {
            progress.reset();
            return Anulado(c, true);
        }
        if (c.transporte->Read(&c.resposta[static_cast<size_t>(got)], 1, kReadTimeoutMs)) {
            AppendDumpByte(c.dump, c.resposta[static_cast<size_t>(got)]);
            ++got;
            progress->Step();
        } else if (c.transporte->LinkLost()) {
            progress.reset();
            return ConexaoPerdida(c);
        } else if (++failures >= kMaxStatusFailures) {
            progress->PumpMessages();
            const bool cancelled = progress->IsCancelled();
            progress.reset();
            return cancelled ? Anulado(c, true) : Silencio(c, got, -1);
        }
        progress->PumpMessages();
    }

    std::string text;
    bool first_read = true;
    for (;;) {
        if (progress->IsCancelled()) {
            progress.reset();
            Drenar(c);
            Fechar(c);
            c.retorno_formatado = LinhasStatus(c);
            c.dump += "\r\n";
            c.retorno_formatado += Str(IDS_COMANDO_ANULADO);
            c.motivo = MotivoCancelado();
            return Fim(c, kExecCancelado);
        }
        uint8_t byte = 0;
        const int64_t started = EngineEnv().clock->MonotonicMs();
        if (c.transporte->Read(&byte, 1, kReadTimeoutMs)) {
            text += static_cast<char>(TraduzirByteRetorno(byte));
            AppendDumpByte(c.dump, byte);
            progress->Step();
            progress->PumpMessages();
            if (byte == terminator) break;
        } else {
            // A NUL-terminated answer may have no text at all.
            if (nul && first_read) break;
            if (c.transporte->LinkLost()) {
                progress.reset();
                return ConexaoPerdida(c);
            }
            CustoDaLeitura(started, *progress);
            progress->PumpMessages();
        }
        first_read = false;
    }
    progress.reset();
    Fechar(c);
    c.retorno_formatado.clear();
    if (!nul) c.retorno_formatado += LinhasStatus(c);
    c.retorno_formatado += TextoColetado(std::move(text));
    return Fim(c, kExecOk);
}

// ------------------------------------------------------------------------ file-pair layouts

// Waits until the response file stops growing. False when the user cancelled.
bool EsperarArquivo(FilePairTransport& file, ProgressWindow& progress) {
    Environment& env = EngineEnv();
    uint32_t previous = file.PendingBytes();
    for (;;) {
        env.clock->SleepMs(kFilePollMs);
        uint32_t current = file.PendingBytes();
        progress.Step();
        progress.PumpMessages();
        if (progress.IsCancelled()) return false;
        if (current <= previous) return true;
        previous = current;
    }
}

int32_t ReceberFixoArquivo(Comando& c, FilePairTransport& file) {
    Environment& env = EngineEnv();
    const int32_t total = c.tamanho_retorno;
    c.resposta.assign(static_cast<size_t>(total), 0);
    std::unique_ptr<ProgressWindow> waiting = AbrirProgresso(total, Str(IDS_RECIBIENDO_RETORNO));
    if (!EsperarArquivo(file, *waiting)) {
        waiting.reset();
        return Anulado(c, false);
    }
    std::unique_ptr<ProgressWindow> progress = AbrirProgresso(total, Str(IDS_PROCESANDO_RETORNO));
    int32_t got = 0;
    int empties = 0;
    while (got < total) {
        if (progress->IsCancelled() || waiting->IsCancelled()) {
            progress.reset();
            waiting.reset();
            return Anulado(c, false);
        }
        uint32_t received = 0;
        const int32_t missing = total - got;
        file.TakeResponse(&c.resposta[static_cast<size_t>(got)], missing, &received);
        int32_t n = static_cast<int32_t>(std::min<uint32_t>(received, static_cast<uint32_t>(missing)));
        if (n == 0) {
            env.clock->SleepMs(kFileEmptyPauseMs);
            if (++empties >= kMaxEmptyChunks) {
                progress.reset();
                waiting.reset();
                return Silencio(c, got, total);
            }
        } else {
            if (got == 0 && c.resposta[0] == kNak) {
                progress.reset();
                waiting.reset();
                return Recusado(c);
            }
            for (int32_t i = 0; i < n; ++i) AppendDumpByte(c.dump, c.resposta[static_cast<size_t>(got + i)]);
            got += n;
            empties = 0;
            progress->OffsetPosition(n);
        }
        progress->PumpMessages();
    }
    progress.reset();
    waiting.reset();
    Fechar(c);
    c.FormatarRetorno();
    return Fim(c, kExecOk);
}

int32_t ReceberStatusPrimeiroArquivo(Comando& c, FilePairTransport& file) {
    Environment& env = EngineEnv();
    const bool nul = TamanhoCatalogo(c) == -2;
    const uint8_t terminator = Terminador(c);
    // The status part is as long as the prefix asked for, so that ST3 is read after an FS
    // and does not end up in the text.
    const size_t status_len = static_cast<size_t>(c.tamanho_status);
    c.resposta.assign(status_len, 0);
    std::unique_ptr<ProgressWindow> progress =
        AbrirProgresso(kProgressRange, Str(IDS_RECIBIENDO_RETORNO));
    if (!EsperarArquivo(file, *progress)) {
        progress.reset();
        return Anulado(c, false, kMsgCancelado);
    }

    std::string text;
    size_t index = 0;
    std::vector<uint8_t> chunk;
    bool done = false;
    while (!done) {
        if (progress->IsCancelled()) {
            progress.reset();
            return Anulado(c, false);
        }
        uint32_t pending = file.PendingBytes();
        if (pending == 0) {
            env.clock->SleepMs(kFilePollMs);
            progress->PumpMessages();
            continue;
        }
        uint32_t wanted = std::min(pending, kMaxFileChunk);
        chunk.assign(wanted, 0);
        uint32_t received = 0;
        file.TakeResponse(chunk.data(), static_cast<int>(wanted), &received);
        received = std::min(received, wanted);
        for (uint32_t i = 0; i < received; ++i, ++index) {
            uint8_t byte = chunk[i];
            AppendDumpByte(c.dump, byte);
            progress->Step();
            if (index < status_len) {
                c.resposta[index] = byte;
                continue;
            }
            text += static_cast<char>(TraduzirByteRetorno(byte));
            if (byte == terminator) {
                done = true;
                break;
            }
        }
        if (!done && received < pending) env.clock->SleepMs(kFilePollMs);
        progress->PumpMessages();
    }
    progress.reset();
    Fechar(c);
    c.retorno_formatado.clear();
    if (!nul) c.retorno_formatado += LinhasStatus(c);
    c.retorno_formatado += TextoColetado(std::move(text));
    return Fim(c, kExecOk);
}

// ----------------------------------------------------------------------- "TESTE" helpers

// The parallel-port library: beside the program first, then by name through the loader's
// search path.
void* CarregarBibliotecaParalela() {
    const std::string& name = EngineEnv().inpout_library;
    if (name.empty()) return nullptr;
    if (name.find('/') != std::string::npos) return ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (const std::string dir = ProgramDirectory(); !dir.empty()) {
        const std::string path = dir + "/" + name;
        if (void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
    }
    return ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
}

// Sets or clears one stored bit from the argument "1" or "0" and writes both bits to the
// parallel port; any other argument writes nothing.
void BitParalelo(uint8_t mask, const std::string& argument) {
    void* handle = CarregarBibliotecaParalela();
    if (!handle) {
        EngineEnv().ui->MessageBox(Str(IDS_DLL_NO_CARGADA));
        return;
    }
    using Out32Fn = void (*)(short, short);
    auto out32 = reinterpret_cast<Out32Fn>(::dlsym(handle, "Out32"));
    if (out32) {
        bool write = true;
        if (argument == "1")
            g_bits_paralela = static_cast<uint8_t>(g_bits_paralela | mask);
        else if (argument == "0")
            g_bits_paralela = static_cast<uint8_t>(g_bits_paralela & ~mask);
        else
            write = false;
        if (write) out32(static_cast<short>(kParallelDataPort), static_cast<short>(g_bits_paralela & 0x03));
    }
    ::dlclose(handle);
}

std::string Pedaco(const std::string& text, size_t pos, size_t len) {
    return pos < text.size() ? text.substr(pos, len) : std::string();
}

// Reads the printer's date, advances it by one day in the printer's own simplified way and
// sets it again, at eight in the morning.
void PassoData() {
    Comando ler;
    ler.SetTitulo("  ");
    ler.SetEscape("35 23");
    ler.SetTamanhoRetorno(6);
    Retorno data;
    data.tamanho = 3;
    data.formato = "BCD_DATA";
    Retorno hora;
    hora.tamanho = 3;
    hora.formato = "BCD_HORA";
    ler.AdicionarRetorno(data);
    ler.AdicionarRetorno(hora);
    if (ler.Executar() != kExecOk) return;

    const std::string& ddmmyy = ler.retornos[0].valor_formatado;
    int day = AtoiC(Pedaco(ddmmyy, 0, 2));
    int month = AtoiC(Pedaco(ddmmyy, 2, 2));
    int year = AtoiC(Pedaco(ddmmyy, 4, 2));
    if (day == 28) {
        day = 1;
        if (month == 12) {
            month = 1;
            // Two-digit years: 99 goes on to 00, which the printer reads as the next century.
            year = (year + 1) % 100;
        } else {
            ++month;
        }
    } else {
        ++day;
    }

    Comando acertar;
    acertar.SetTitulo("  ");
    acertar.SetEscape("02");
    acertar.SetTamanhoRetorno(0);
    Parametro p_data;
    p_data.formato = "DATA";
    p_data.tamanho = 6;
    p_data.valor = Format("%02d%02d%02d", day, month, year);
    Parametro p_hora;
    p_hora.formato = "HORA";
    p_hora.tamanho = 6;
    p_hora.valor = "080000";
    Parametro p_hex;
    p_hex.formato = "DIG_HEX";
    p_hex.tamanho = 1;
    p_hex.valor = "30";
    acertar.AdicionarParametro(p_data);
    acertar.AdicionarParametro(p_hora);
    acertar.AdicionarParametro(p_hex);
    if (acertar.Executar() != kExecOk) EngineEnv().ui->MessageBox(kMsgErroComunicacao);
}

}  // namespace

// ------------------------------------------------------------------------------ Comando

int32_t Comando::Executar() {
    if (tipo == kTipoTeste) return Enviar();
    int32_t result = Enviar();
    if (result == kExecOk) result = tipo == kTipoGprs ? ReceberGprs() : Receber();
    if (EngineEnv().executed) EngineEnv().executed(*this, result);
    return result;
}

int32_t Comando::MontarQuadro() {
    retorno_formatado += "\r\n";
    retorno_formatado += Str(IDS_COMANDO);
    retorno_formatado += ":\t";
    retorno_formatado += titulo;
    retorno_formatado += "\r\n";

    if (!escape_valido || n_bytes_escape < 0 || n_bytes_escape > kMaxEscape) {
        retorno_formatado += kMsgEscapeInvalido;
        return kExecTamanho;
    }
    if (tipo != kTipoGprs && (tamanho_retorno < -2 || tamanho_retorno > kMaxCatalogAnswer)) {
        retorno_formatado += kMsgTamanhoRetorno;
        return kExecTamanho;
    }

    quadro.Reset(3);
    if (EngineEnv().settings->ExtendedReturn && tamanho_retorno != -2) {
        quadro.Append(kFs);
        tamanho_status = kStatusFs;
    } else {
        quadro.Append(kEsc);
        tamanho_status = kStatusEsc;
    }
    tamanho_retorno += tamanho_status;
    quadro.Append(bytes_escape, n_bytes_escape);

    int32_t result = CodificarParametros();
    if (result != kExecOk) return result;

    // Two bytes of checksum must still fit.
    if (quadro.length > BufferComando::kCapacity - 2) {
        tamanho_retorno -= tamanho_status;
        retorno_formatado += kMsgQuadroLongo;
        return kExecTamanho;
    }

    const int32_t length = quadro.length;
    const int32_t nb = length - 1;  // from position 3 to the end, the checksum counted ahead
    quadro.data[0] = kStx;
    quadro.data[1] = static_cast<uint8_t>(nb & 0xFF);
    quadro.data[2] = static_cast<uint8_t>((nb >> 8) & 0xFF);
    uint32_t sum = 0;
    for (int32_t i = 3; i < length; ++i) sum += quadro.data[i];
    quadro.Append(static_cast<uint8_t>(sum & 0xFF));
    quadro.Append(static_cast<uint8_t>((sum >> 8) & 0xFF));
    return kExecOk;
}

int32_t Comando::Enviar() {
    if (tipo == kTipoTeste) return ExecutarTeste();

    int32_t result = MontarQuadro();
    if (result != kExecOk) return result;

    Environment& env = EngineEnv();
    const Settings& settings = *env.settings;
    motivo.clear();
    transporte = env.transport_factory ? env.transport_factory(settings.PortName, settings) : nullptr;
    if (!transporte) motivo = MotivoSemTransporte(settings.PortName);

    auto* file = dynamic_cast<FilePairTransport*>(transporte.get());
    if (transporte && !transporte->Open(file ? kOpenFileMode : kOpenSpeed)) {
        // A port that did not open cannot carry the frame nor bring an answer: the command
        // ends at once as unanswered, with the system's reason.
        motivo = MotivoAbertura(settings.PortName, transporte->LastError());
        transporte->Close();
        transporte.reset();
        file = nullptr;
    }
    if (file) {
        {
            std::unique_ptr<WaitWindow> wait = env.ui->ShowWait(Str(IDS_AGUARDE));
            // Stale answers of an earlier exchange are cleared before the frame goes out.
            // A stale answer is purged before the new frame goes out; an answer file that cannot
            // be emptied (the other side keeps writing, or it is read-only) is given up on after
            // a while rather than holding the program forever.
            for (int round = 0; file->PendingBytes() != 0 && round < kMaxPurgeRounds; ++round) {
                file->Purge();
                env.clock->SleepMs(kFileWritePollMs);
            }
            uint32_t sent = 0;
            int stalled = 0;
            const uint32_t length = static_cast<uint32_t>(quadro.length);
            while (sent < length && stalled < kMaxStalledPuts) {
                uint32_t written = 0;
                file->PutRequest(quadro.data + sent, static_cast<int>(length - sent), &written);
                written = std::min(written, length - sent);
                if (written == 0) {
                    ++stalled;
                    env.clock->SleepMs(kFileWritePollMs);
                } else {
                    sent += written;
                    stalled = 0;
                }
            }
        }
    } else if (transporte) {
        int tag = kWriteTagPort;
        if (transporte->SendsAnswerLength())
            tag = (tipo != kTipoGprs && StatusPrimeiro(*this)) ? kWriteTagTerminated : tamanho_retorno;
        transporte->Purge();
        transporte->Write(quadro.data, quadro.length, tag);
    }

    enviado_ms = env.clock->MonotonicMs();
    dump = "CMD: ";
    for (int32_t i = 0; i < quadro.length; ++i) AppendDumpByte(dump, quadro.data[i]);
    return kExecOk;
}

int32_t Comando::Receber() {
    dump += "\r\nRET: ";
    // No transport could be made for the port setting, or its port did not open: nothing was
    // sent, and no read can bring an answer.
    if (!transporte) return SemResposta(*this, motivo);
    auto* file = dynamic_cast<FilePairTransport*>(transporte.get());
    if (StatusPrimeiro(*this))
        return file ? ReceberStatusPrimeiroArquivo(*this, *file) : ReceberStatusPrimeiro(*this);
    return file ? ReceberFixoArquivo(*this, *file) : ReceberFixo(*this);
}

int32_t Comando::ReceberGprs() {
    dump += "\r\nRET: ";
    if (!transporte) return SemResposta(*this, motivo);
    Environment& env = EngineEnv();
    resposta.assign(kGprsBuffer, 0);
    std::unique_ptr<ProgressWindow> progress =
        AbrirProgresso(kProgressRange, Str(IDS_RECIBIENDO_RETORNO));
    std::string data = titulo + ":\r\n\r\n";

    enum class Estado { kAck, kKind, kHeader, kHeader2, kData, kSt1, kSt2, kSt3Low, kSt3High, kDone, kErro };
    Estado state = Estado::kAck;
    const bool extended = tamanho_status == kStatusFs;
    int kind = 0;
    int count = 0;
    int seen = 0;
    int low = 0;
    uint8_t terminator = 0;
    uint8_t st1 = 0, st2 = 0, st3_low = 0, st3_high = 0;
    bool busy = false;
    size_t got = 0;
    int failures = 0;
    const bool file_pair = dynamic_cast<FilePairTransport*>(transporte.get()) != nullptr;

    while (state != Estado::kDone) {
        if (progress->IsCancelled()) {
            progress.reset();
            return Anulado(*this, false);
        }
        if (got >= kGprsBuffer) {
            // Longer than any GPRS answer can be: it does not parse.
            progress.reset();
            return ErroProtocolo(*this);
        }
        // The exchange files have no byte reads: each byte is taken from the answer file, and
        // an empty take counts as a read that timed out.
        bool received;
        if (file_pair) {
            uint32_t taken = 0;
            received = transporte->TakeResponse(&resposta[got], 1, &taken) && taken == 1;
        } else {
            received = transporte->Read(&resposta[got], 1, kReadTimeoutMs) != 0;
        }
        if (!received) {
            if (!file_pair && transporte->LinkLost()) {
                progress.reset();
                return ConexaoPerdida(*this);
            }
            env.clock->SleepMs(kPauseAfterFailureMs);
            if (++failures >= kMaxConsecutiveFailures) {
                progress.reset();
                return Silencio(*this, static_cast<int32_t>(got), -1);
            }
            progress->PumpMessages();
            continue;
        }
        const uint8_t byte = resposta[got];
        AppendDumpByte(dump, byte);
        if (got == 0 && byte == kNak) {
            progress.reset();
            return Recusado(*this);
        }
        ++got;
        failures = 0;
        progress->Step();

        switch (state) {
            case Estado::kAck:
                state = byte == kAck ? Estado::kKind : Estado::kErro;
                break;
            case Estado::kKind:
                kind = byte;
                seen = 0;
                if (byte == 0) {
                    count = 1;
                    state = Estado::kData;
                } else if (byte == 1) {
                    count = 2;
                    state = Estado::kData;
                } else if (byte <= 4) {
                    state = Estado::kHeader;
                } else if (byte == 5) {
                    state = Estado::kSt1;
                } else {
                    state = Estado::kErro;
                }
                break;
            case Estado::kHeader:
                if (kind == 2) {
                    count = byte;
                    state = Estado::kData;
                } else if (kind == 3) {
                    terminator = byte;
                    count = 0;
                    state = Estado::kData;
                } else {
                    state = Estado::kHeader2;  // kind 4: a 16-bit value the answer does not use
                }
                break;
            case Estado::kHeader2:
                state = Estado::kData;
                break;
            case Estado::kData:
                ++seen;
                switch (kind) {
                    case 0:
                        if (byte == 0) data += kMsgExecutado;
                        else if (byte == 1) data += kMsgNaoExecutado;
                        state = Estado::kSt1;
                        break;
                    case 1:
                        if (seen == 1) {
                            low = byte;
                        } else {
                            data += Format("%d", low | (byte << 8));
                            state = Estado::kSt1;
                        }
                        break;
                    case 2:
                        // A count of 0 never completes: the answer ends by the failure count.
                        if (seen == count) state = Estado::kSt1;
                        break;
                    case 3:
                        if ((byte >= 0x20 && byte <= 0x7E) || (byte >= 0x09 && byte <= 0x0D))
                            data += static_cast<char>(byte);
                        if (byte == terminator) state = Estado::kSt1;
                        break;
                    case 4:
                        if (byte == 0x00) {
                            data += kMsgGprsOcupado;
                            busy = true;
                            state = Estado::kDone;
                        }
                        break;
                }
                break;
            case Estado::kSt1:
                st1 = byte;
                state = Estado::kSt2;
                break;
            case Estado::kSt2:
                st2 = byte;
                state = extended ? Estado::kSt3Low : Estado::kDone;
                break;
            case Estado::kSt3Low:
                st3_low = byte;
                state = Estado::kSt3High;
                break;
            case Estado::kSt3High:
                st3_high = byte;
                state = Estado::kDone;
                break;
            case Estado::kDone:
            case Estado::kErro:
                break;
        }
        if (state == Estado::kErro) {
            progress.reset();
            return ErroProtocolo(*this);
        }
        progress->PumpMessages();
    }

    progress.reset();
    Fechar(*this);
    retorno_formatado.clear();
    // A busy module answers without status bytes: there is no status to report.
    if (!busy) {
        retorno_formatado += MensagemStatus(st1, st2) + "\r\n";
        if (extended) retorno_formatado += MensagemRetorno(st3_low, st3_high) + "\r\n";
    }
    retorno_formatado += data;
    retorno_formatado += "\r\n";
    return Fim(*this, kExecOk);
}

int32_t Comando::ExecutarTeste() {
    Environment& env = EngineEnv();
    const std::string argument = parametros.empty() ? std::string() : parametros[0].valor;
    if (escape == "-1") {
        int ms = AtoiC(argument);
        env.clock->SleepMs(ms > 0 ? ms : 0);
    } else if (escape == "-2") {
        BitParalelo(0x01, argument);
    } else if (escape == "-3") {
        BitParalelo(0x02, argument);
    } else if (escape == "-4") {
        PassoData();
    } else if (escape == "-5") {
        if (argument == "USB ") {
            env.settings->PortName = "USB";
        } else if (argument.size() == 4 && argument.compare(0, 3, "COM") == 0 && argument[3] >= '1' &&
                   argument[3] <= '8') {
            env.settings->PortName = argument;
        }
    }
    return kExecOk;
}

}  // namespace ordavo
