// "ordavo-cli run --ask": the parameters that no --set gave a value are asked for on the
// terminal, through the same editors and chains as in the desktop program's parameter form.
#pragma once

#include <string>
#include <vector>

#include "engine/comando.h"

namespace ordavo::cli {

// Asks, in order, for every parameter of `command` that `sets` (the "N=VALUE" texts of --set,
// already applied) leaves without a value; the two hidden types keep their catalog value.
// Questions go to standard error, answers come from standard input. Returns 0 when every
// parameter was answered, or -5 (cancelled by the user, as Executar counts it) at the first
// editor cancelled with end of input: the command must then not be sent.
int AskParameters(Comando& command, const std::vector<std::string>& sets);

}  // namespace ordavo::cli
