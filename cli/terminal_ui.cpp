#include "cli/terminal_ui.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cctype>
#include <iostream>

#include "engine/codepage.h"

namespace ordavo::cli {
namespace {

volatile sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
    g_interrupted = 1;
    // A second Ctrl-C is not caught: it ends the program.
    signal(SIGINT, SIG_DFL);
}

class TerminalProgress : public ProgressWindow {
public:
    using ProgressWindow::ProgressWindow;
    void PumpMessages(bool) override {
        if (g_interrupted && !IsCancelled()) Cancel();
    }
};

}  // namespace

void InstallInterruptHandler() {
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a read waiting on the port returns early
    sigaction(SIGINT, &sa, nullptr);
}

bool Interrupted() { return g_interrupted != 0; }

void ClearInterrupted() {
    g_interrupted = 0;
    InstallInterruptHandler();
}

std::unique_ptr<ProgressWindow> TerminalUserInterface::CreateProgress(const std::string& title, bool) {
    return std::make_unique<TerminalProgress>(title);
}

bool TerminalUserInterface::MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                                       MsgIcon) {
    std::string line = caption.empty() ? text : caption + ": " + text;
    if (buttons == MsgButtons::Ok) {
        PrintErr(line + "\n");
        return true;
    }
    if (assume_yes) {
        PrintErr(line + " -> OK\n");
        return true;
    }
    PrintErr(line + (buttons == MsgButtons::YesNo ? " [S/n] " : " [OK/anular] "));
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        PrintErr("\n");
        return false;
    }
    if (answer.empty()) return true;
    char c = static_cast<char>(std::tolower(static_cast<unsigned char>(answer[0])));
    return c == 'o' || c == 's' || c == 'y';
}

void PrintOut(const std::string& cp1252) {
    std::string utf8 = Cp1252ToUtf8(cp1252);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

void PrintErr(const std::string& cp1252) {
    std::string utf8 = Cp1252ToUtf8(cp1252);
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
}

}  // namespace ordavo::cli
