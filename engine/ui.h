// What the engine needs from the user: progress with Cancel, a wait window, message boxes and
// a live result window. The GUI implements it with real windows; the command line and the
// tests implement it without them.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace ordavo {

// Progress of a long operation. The base class keeps the numbers (range, position, the
// percentage shown in the title, the cancelled flag); a window subclass draws them.
class ProgressWindow {
public:
    ProgressWindow(std::string title = "Progresso");
    virtual ~ProgressWindow();

    virtual void BeginModal() {}
    virtual void SetRange(int lower, int upper, int step = 1);
    virtual void SetText(const std::string& text) { text_ = text; }
    virtual void SetPosition(int pos);
    void OffsetPosition(int delta) { SetPosition(position_ + delta); }
    void Step() { SetPosition(position_ + step_); }
    virtual void StepWrapped();
    bool IsCancelled() const { return cancelled_; }
    // Lets the user interface run; an Escape key (when escape_cancels) or the Cancel button
    // calls Cancel().
    virtual void PumpMessages(bool escape_cancels = false) {}
    virtual void Cancel() { cancelled_ = true; }

    int Lower() const { return lower_; }
    int Upper() const { return upper_; }
    int Position() const { return position_; }
    int StepSize() const { return step_; }
    const std::string& Title() const { return title_; }
    const std::string& Text() const { return text_; }
    // "Title [NN%]" once a percentage was shown, else the plain title.
    const std::string& WindowTitle() const { return window_title_; }
    // (pos - lower) * 100 / (upper - lower), rounded half up; 0 for an empty range.
    static int Percentage(int pos, int lower, int upper);

protected:
    // Called when the window title changes; windows repaint here.
    virtual void TitleChanged() {}
    virtual void PositionChanged() {}

    std::string title_;
    std::string text_;
    std::string window_title_;
    int lower_ = 0, upper_ = 100, step_ = 1, position_ = 0, last_percent_ = 0;
    bool cancelled_ = false;
};

// Shown while it exists.
class WaitWindow {
public:
    virtual ~WaitWindow() = default;
};

// The result window shown while a sequence runs, and after it.
class ResultWindow {
public:
    virtual ~ResultWindow() = default;
    virtual void SetMessage(const std::string& message) { message_ = message; }
    virtual void SetDump(const std::string& dump) { dump_ = dump; }
    virtual void ShowModeless() {}
    virtual void ShowModal() {}
    const std::string& Message() const { return message_; }
    const std::string& Dump() const { return dump_; }

protected:
    std::string message_, dump_;
};

enum class MsgButtons { Ok, OkCancel, YesNo };
enum class MsgIcon { None, Information, Exclamation, Error, Question };

class UserInterface {
public:
    virtual ~UserInterface() = default;
    virtual std::unique_ptr<ProgressWindow> CreateProgress(const std::string& title, bool smooth);
    // An empty message shows "Aguarde......".
    virtual std::unique_ptr<WaitWindow> ShowWait(const std::string& message);
    // True for OK / Yes, false for Cancel / No.
    virtual bool MessageBox(const std::string& text, const std::string& caption = "",
                            MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None);
    virtual std::unique_ptr<ResultWindow> CreateResultWindow();
    // A file-open dialog. `filter` is in the "Name (*.x)|*.x|...||" form. True with the chosen
    // path in `chosen`; false when cancelled (the default without windows).
    virtual bool ChooseOpenFile(const std::string& title, const std::string& default_ext,
                                const std::string& filter, const std::string& initial_name,
                                std::string& chosen);
};

// Without windows: progress and wait do nothing visible, message boxes answer `answer`
// and are recorded, so tests can read what would have been shown.
class SilentUserInterface : public UserInterface {
public:
    bool MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                    MsgIcon icon) override;
    bool answer = true;
    std::vector<std::string> messages;
};

}  // namespace ordavo
