// The engine's user interface with real windows: the progress window, the wait window,
// message boxes, the live result window and the file-open dialog.
#pragma once

#include <QPointer>
#include <QWidget>

#include "engine/ui.h"

namespace ordavo::gui {

class QtUserInterface : public UserInterface {
public:
    // `main_window` is where windows go when no other window is active.
    explicit QtUserInterface(QWidget* main_window = nullptr) : main_window_(main_window) {}
    void SetMainWindow(QWidget* w) { main_window_ = w; }

    std::unique_ptr<ProgressWindow> CreateProgress(const std::string& title, bool smooth) override;
    std::unique_ptr<WaitWindow> ShowWait(const std::string& message) override;
    bool MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                    MsgIcon icon) override;
    std::unique_ptr<ResultWindow> CreateResultWindow() override;
    bool ChooseOpenFile(const std::string& title, const std::string& default_ext, const std::string& filter,
                        const std::string& initial_name, std::string& chosen) override;

private:
    QWidget* Parent() const;
    QPointer<QWidget> main_window_;
};

}  // namespace ordavo::gui
