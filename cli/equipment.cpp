#include "cli/common.h"

namespace ordavo::cli {

void AddEquipmentCommands(CLI::App& app, Dispatch& d) {}

}  // namespace ordavo::cli
