#include "cli/common.h"

namespace ordavo::cli {

void AddFiscalReportCommands(CLI::App& app, Dispatch& d) {}

}  // namespace ordavo::cli
