#include "cli/common.h"

namespace ordavo::cli {

void AddPdf417Commands(CLI::App& app, Dispatch& d) {}

}  // namespace ordavo::cli
