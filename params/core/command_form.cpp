#include "params/core/command_form.h"

#include <ctime>

#include "engine/env.h"
#include "engine/strings.h"
#include "params/core/editar_valor.h"

namespace ordavo {

CommandForm::CommandForm(Comando command) : command_(std::move(command)), rows_(command_.parametros.size()) {}

bool CommandForm::Hidden(int k) const {
    return IsHiddenType(command_.parametros[static_cast<size_t>(k)].formato);
}

std::string CommandForm::Label(int k) const {
    const Parametro& p = command_.parametros[static_cast<size_t>(k)];
    return p.obrigatorio ? p.titulo + " *" : p.titulo;
}

int CommandForm::MaxLength(int k) const {
    const Parametro& p = command_.parametros[static_cast<size_t>(k)];
    int n = p.formato == "BINARIO" ? 3 : p.formato == "DIG_HEX" ? 2 * p.tamanho : p.tamanho;
    // A size of 0 would make the box refuse every character: such a box takes any length.
    return n > 0 && n < kNoLimit ? n : kNoLimit;
}

bool CommandForm::DateAndTime(ValueEditors& editors) {
    HourEditor hour;
    hour.date_and_time = true;
    hour.description = DateTimeModeDescription(Today());
    auto answer = editors.GetHour(hour);
    if (!answer) return false;
    if (!editors.AskYesNo(DateConfirmationText(Today()), MsgIcon::Exclamation)) return false;
    // The clock is read again after the question: the printer gets the time of the answer.
    std::time_t t = EngineEnv().clock->Now();
    std::tm tm{};
    localtime_r(&t, &tm);
    const std::string values[] = {
        DateDDMMYY(Date{tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900}),
        TimeHHMMSS(HourAnswer{tm.tm_hour, tm.tm_min, tm.tm_sec, 0}),
        answer->summer_time ? "1" : "0",
    };
    for (size_t k = 0; k < std::size(values) && k < rows_.size(); ++k) rows_[k] = values[k];
    return true;
}

bool CommandForm::Open(ValueEditors& editors) {
    bool run_at_once = command_.parametros.empty();
    if (command_.escape == "2" && DateAndTime(editors)) run_at_once = true;
    if (run_at_once) return true;
    FillWalk(editors);
    return false;
}

int CommandForm::FillWalk(ValueEditors& editors) {
    int filled = 0;
    for (int k = 0; k < RowCount(); ++k) {
        if (Hidden(k)) continue;
        std::string answer = EditarValor(command_.parametros[static_cast<size_t>(k)], editors);
        if (answer == kMarcaAnulacao) break;
        rows_[static_cast<size_t>(k)] = answer;
        ++filled;
    }
    return filled;
}

bool CommandForm::Edit(int k, ValueEditors& editors) {
    if (k < 0 || k >= RowCount()) return false;
    // The editor starts from the catalog's value, not from the row.
    std::string answer = EditarValor(command_.parametros[static_cast<size_t>(k)], editors);
    if (answer == kMarcaAnulacao) return false;
    rows_[static_cast<size_t>(k)] = answer;
    return true;
}

int CommandForm::Run(UserInterface& ui) {
    ran_ = true;
    for (int k = 0; k < RowCount(); ++k)
        if (!Hidden(k)) command_.parametros[static_cast<size_t>(k)].valor = rows_[static_cast<size_t>(k)];
    int result;
    {
        auto wait = ui.ShowWait(Str(IDS_AGUARDE));
        result = command_.Executar();
    }
    if (result != 0 || EngineEnv().settings->ShowResults) {
        auto window = ui.CreateResultWindow();
        window->SetMessage(command_.retorno_formatado);
        window->SetDump(command_.dump);
        window->ShowModal();
    }
    return result;
}

}  // namespace ordavo
