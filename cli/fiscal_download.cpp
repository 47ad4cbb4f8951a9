#include "cli/common.h"

namespace ordavo::cli {

void AddFiscalDownloadCommands(CLI::App& app, Dispatch& d) {}

}  // namespace ordavo::cli
