#include "cli/common.h"

namespace ordavo::cli {

void AddFiscalDiagnoseCommands(CLI::App& app, Dispatch& d) {}

}  // namespace ordavo::cli
