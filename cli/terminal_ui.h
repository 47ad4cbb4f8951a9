// The engine's user interface on a terminal: progress goes nowhere, message boxes are written
// to standard error, and Ctrl-C works as the Cancel button of the progress window.
#pragma once

#include <string>

#include "engine/ui.h"

namespace ordavo::cli {

class TerminalUserInterface : public UserInterface {
public:
    std::unique_ptr<ProgressWindow> CreateProgress(const std::string& title, bool smooth) override;
    bool MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                    MsgIcon icon) override;
    // Questions (OK/Cancel, Yes/No): answered OK without asking when set; otherwise asked on
    // the terminal, and answered Cancel when nothing can be read.
    bool assume_yes = true;
};

// Installs the Ctrl-C handler: the first Ctrl-C cancels the running command, a second one
// ends the program at once.
void InstallInterruptHandler();
bool Interrupted();
void ClearInterrupted();

// Windows-1252 text to the terminal (UTF-8).
void PrintOut(const std::string& cp1252);
void PrintErr(const std::string& cp1252);

}  // namespace ordavo::cli
