#include "fiscalmemory/gui/mfd_commands.h"

namespace ordavo::gui {

void AddPdf417Commands(MfdCommandTable& table) {}

}  // namespace ordavo::gui
