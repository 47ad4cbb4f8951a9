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

// Prints what the run added to its result since the last time; a CR at the very end is held
// back until its LF comes, so that line ends print as this system's.
class TerminalLiveResult : public ResultWindow {
public:
    void SetMessage(const std::string& message) override {
        const std::string previous = message_;
        ResultWindow::SetMessage(message);
        if (message.size() < printed_ || message.compare(0, printed_, previous, 0, printed_) != 0) printed_ = 0;
        size_t end = message.size();
        if (end > printed_ && message[end - 1] == '\r') --end;
        std::string piece = message.substr(printed_, end - printed_);
        printed_ = end;
        std::string out;
        out.reserve(piece.size());
        for (size_t i = 0; i < piece.size(); ++i)
            if (!(piece[i] == '\r' && i + 1 < piece.size() && piece[i + 1] == '\n')) out += piece[i];
        PrintOut(out);
        std::fflush(stdout);
    }

private:
    size_t printed_ = 0;
};

}  // namespace

std::unique_ptr<ResultWindow> TerminalUserInterface::CreateResultWindow() {
    if (live_results) return std::make_unique<TerminalLiveResult>();
    return UserInterface::CreateResultWindow();
}

void InterruptibleClock::SleepMs(int ms) {
    constexpr int kSliceMs = 20;
    while (ms > 0 && !Interrupted()) {
        int slice = ms < kSliceMs ? ms : kSliceMs;
        Clock::SleepMs(slice);
        ms -= slice;
    }
}

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
