// Puts the program's windows under the main window's menu items: the parameter form for the
// command menus, the graphic-cliché window (111) and the sequence window (112), which works on
// the catalog the main window has loaded at the moment it opens.
#pragma once

namespace ordavo::gui {

class MainWindow;

void RegisterProgramWindows(MainWindow& window);
// Takes them away again (the tests run several main windows in one process).
void UnregisterProgramWindows();

}  // namespace ordavo::gui
