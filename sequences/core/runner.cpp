#include <locale.h>
#include <time.h>

#include <ctime>

#include "engine/env.h"
#include "engine/strings.h"
#include "sequences/core/sequencia.h"

namespace ordavo {
namespace {

const char* const kInicio = "***In\xED" "cio de la ejecuci\xF3n de la secu\xE9ncia de comandos***";
const char* const kFim = "***Fin de la ejecuci\xF3n de la secu\xE9ncia de comandos***";
const char* const kFalha = "*** Comando no ejecutado - impresora no responde ***";
const char* const kContinuar = "\xBF CONTINUAR ?";
const char* const kProseguir = "Pinche OK para proseguir con la ejecuci\xF3n de la secu\xE9ncia";
const char* const kTituloProgresso = "Ejecutando secu\xE9ncia";

std::string Line(const char* text) { return std::string("\r\n") + text + "\r\n"; }

// The date line of a run reads the same in the desktop program (whose toolkit adopts the
// user's locale) and on the command line: always in the "C" locale's "%c" form.
std::string DateTimeNow() {
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    std::time_t now = EngineEnv().clock->Now();
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[128];
    size_t n = c_locale ? strftime_l(buffer, sizeof buffer, "%c", &local, c_locale)
                        : std::strftime(buffer, sizeof buffer, "%c", &local);
    return std::string(buffer, n);
}

}  // namespace

int32_t SequenciaComandos::ExecutarSequencia(int stop_on_error, int pause_on_error) {
    Environment& env = EngineEnv();
    UserInterface* ui = env.ui;
    std::unique_ptr<ResultWindow> live = ui->CreateResultWindow();
    live->ShowModeless();
    resultado.clear();
    dump_total.clear();
    resultado += Line(kInicio);

    std::unique_ptr<ProgressWindow> progress = ui->CreateProgress(kTituloProgresso, false);
    progress->BeginModal();
    progress->SetRange(0, NumeroComandos(), 1);
    if (comandos.empty()) {
        live->SetMessage(resultado);
        return -1;
    }

    const bool stop = stop_on_error == 1;
    const bool pause = pause_on_error == 1;
    for (const Comando& original : comandos) {
        resultado += DateTimeNow() + "\r\n";
        progress->PumpMessages(true);
        if (progress->IsCancelled()) {
            progress->Step();
            live->SetMessage(resultado);
            return -6;
        }
        progress->Step();

        // Each run sends a fresh copy: a command object is executed once.
        Comando c = original;
        int32_t r = c.Executar();
        if (r == 0) {
            resultado += c.retorno_formatado;
            dump_total += c.dump;
        } else if (stop || r == kExecCancelado) {
            resultado += c.retorno_formatado + "\r\n" + Line(kFim);
            dump_total += c.dump;
            live->SetMessage(resultado);
            return r;
        } else {
            resultado += c.retorno_formatado + "\r\n" + Line(kFalha);
            dump_total += c.dump;
            if (pause) {
                live->SetMessage(resultado);
                if (!ui->MessageBox(kContinuar, "", MsgButtons::OkCancel, MsgIcon::Question)) {
                    resultado += "\r\n" + Line(kFim);
                    live->SetMessage(resultado);
                    return r;
                }
            }
        }
        live->SetMessage(resultado);
        env.clock->SleepMs(espera_ms);
        if (passo_a_passo == 1 && !ui->MessageBox(kProseguir, "", MsgButtons::OkCancel, MsgIcon::Question))
            return r;
    }
    resultado += "\r\n" + Line(kFim);
    live->SetMessage(resultado);
    return 0;
}

std::string TextoErroSequencia(int32_t code) {
    switch (code) {
        case -6:
            return "Secu\xE9ncia anulada";
        case kExecCancelado:
            return Str(IDS_COMANDO_ANULADO);
        case kExecSemResposta:
            return Str(IDS_ERROR_ENVIAR);
        case kExecTamanho:
            return Str(IDS_PARAM_TAMANO);
        case kExecSemValor:
            return Str(IDS_PARAM_OBLIGATORIO);
        default:
            return "ERROR";
    }
}

int32_t ExecutarRepetido(const SequenciaComandos& working, const ExecucaoRepetida& options, std::string& collected,
                         std::string& dumps, int32_t* runs_made) {
    int32_t runs = options.runs < 1 ? 1 : options.runs;
    int32_t result = 0;
    int32_t made = 0;
    for (int32_t i = 0; i < runs; ++i) {
        SequenciaComandos copy = working;
        copy.passo_a_passo = options.step_by_step ? 1 : 0;
        copy.espera_ms = options.delay_seconds * 1000;
        result = copy.ExecutarSequencia(options.stop_on_error, options.pause_on_error);
        ++made;
        collected += copy.resultado;
        if (result != 0) collected += TextoErroSequencia(result);
        dumps += copy.dump_total;
        if (result != 0) break;
    }
    if (runs_made) *runs_made = made;
    return result;
}

}  // namespace ordavo
