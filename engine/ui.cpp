#include "engine/ui.h"

namespace ordavo {

ProgressWindow::ProgressWindow(std::string title) : title_(std::move(title)), window_title_(title_) {}

ProgressWindow::~ProgressWindow() = default;

void ProgressWindow::SetRange(int lower, int upper, int step) {
    lower_ = lower;
    upper_ = upper;
    step_ = step;
    SetPosition(lower);
}

int ProgressWindow::Percentage(int pos, int lower, int upper) {
    if (upper <= lower) return 0;
    long long num = (static_cast<long long>(pos) - lower) * 100;
    long long den = static_cast<long long>(upper) - lower;
    // Nearest integer, halves upward (floor of x + 1/2, also below zero).
    long long twice = 2 * num + den;
    long long q = twice / (2 * den);
    if (twice % (2 * den) != 0 && twice < 0) --q;
    return static_cast<int>(q);
}

void ProgressWindow::SetPosition(int pos) {
    position_ = pos;
    int percent = Percentage(pos, lower_, upper_);
    if (percent != last_percent_) {
        last_percent_ = percent;
        window_title_ = title_ + " [" + std::to_string(percent) + "%]";
        TitleChanged();
    }
    PositionChanged();
}

void ProgressWindow::StepWrapped() {
    // Activity without a known total: the bar runs round and the title stays as it is.
    position_ = upper_ > 0 ? (position_ + step_) % upper_ : position_ + step_;
    PositionChanged();
}

std::unique_ptr<ProgressWindow> UserInterface::CreateProgress(const std::string& title, bool) {
    return std::make_unique<ProgressWindow>(title);
}

std::unique_ptr<WaitWindow> UserInterface::ShowWait(const std::string&) {
    return std::make_unique<WaitWindow>();
}

bool UserInterface::MessageBox(const std::string&, const std::string&, MsgButtons, MsgIcon) {
    return true;
}

std::unique_ptr<ResultWindow> UserInterface::CreateResultWindow() {
    return std::make_unique<ResultWindow>();
}

bool UserInterface::ChooseOpenFile(const std::string&, const std::string&, const std::string&,
                                   const std::string&, std::string&) {
    return false;
}

bool SilentUserInterface::MessageBox(const std::string& text, const std::string&, MsgButtons, MsgIcon) {
    messages.push_back(text);
    return answer;
}

}  // namespace ordavo
