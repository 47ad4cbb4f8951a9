#include "shell/gui/program_windows.h"

#include "params/gui/command_dialog.h"
#include "sequences/gui/sequences_control.h"
#include "shell/core/menu_model.h"
#include "shell/gui/main_window.h"

namespace ordavo::gui {

void RegisterProgramWindows(MainWindow& window) {
    RegisterParameterWindows();
    SetMenuWindowOpener(ID_SECUENCIA, [&window](QWidget* parent) { OpenSequencesControl(parent, window.Commands()); });
}

void UnregisterProgramWindows() {
    SetCommandFormOpener(nullptr);
    SetMenuWindowOpener(ID_CLICHE_GRAFICO, nullptr);
    SetMenuWindowOpener(ID_SECUENCIA, nullptr);
}

}  // namespace ordavo::gui
