// The engine's user interface on a terminal: progress goes nowhere, message boxes are written
// to standard error, and Ctrl-C works as the Cancel button of the progress window.
#pragma once

#include <string>

#include "engine/env.h"
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
    // When set, the live result window of a sequence run prints to standard output what each
    // command added, as it ends.
    bool live_results = false;
    std::unique_ptr<ResultWindow> CreateResultWindow() override;
};

// The engine's clock on the terminal: its pauses (the delay between commands, the pauses
// after a failed read) end at once on Ctrl-C.
class InterruptibleClock : public Clock {
public:
    void SleepMs(int ms) override;
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
