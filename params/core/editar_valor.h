// The parameter value dispatcher: a parameter's type name chooses the editor, or the chain of
// choice windows and editors, that asks the user for its value, and the answers are joined into
// the text the command encoder expects for that type.
#pragma once

#include <array>
#include <string>

#include "engine/comando.h"
#include "params/core/value_editors.h"

namespace ordavo {

// Opens the editors of one parameter and returns its value text, or kMarcaAnulacao ("ERROR")
// where a cancel means "leave this parameter alone". A type without an editor gives the empty
// text without asking anything. The parameter itself is not changed.
std::string EditarValor(const Parametro& parametro, ValueEditors& editors);

// The editors of the running front end (the desktop program's windows, the terminal's
// prompts). EditarValor without editors uses them; with none installed it answers
// kMarcaAnulacao, since nobody can be asked.
void SetCurrentEditors(ValueEditors* editors);
ValueEditors* CurrentEditors();
std::string EditarValor(const Parametro& parametro);

// The process-wide tax-rate table: written when a "TROCA_SIT_TRIB" value is edited, read when a
// "VINC_ISS" value is edited. Empty at start and never saved.
using TabelaAliquotas = std::array<std::string, TaxRatePage::kRates>;
TabelaAliquotas& TaxRateTable();
void ResetTaxRateTable();

// The two types whose slot the parameter form hides and whose catalog value is sent as it is.
bool IsHiddenType(const std::string& formato);

}  // namespace ordavo
