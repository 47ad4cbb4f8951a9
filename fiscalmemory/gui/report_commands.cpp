#include "fiscalmemory/gui/mfd_commands.h"

namespace ordavo::gui {

void AddReportCommands(MfdCommandTable& table) {}

}  // namespace ordavo::gui
