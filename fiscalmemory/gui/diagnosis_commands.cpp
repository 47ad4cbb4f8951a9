#include "fiscalmemory/gui/mfd_commands.h"

namespace ordavo::gui {

void AddDiagnosisCommands(MfdCommandTable& table) {}

}  // namespace ordavo::gui
