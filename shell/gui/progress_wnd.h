// The progress window: a text, a bar and a cancel button, shown while an answer is read or a
// download runs. The engine drives it through ProgressWindow and calls PumpMessages after
// every byte, which is when the window reacts to the user.
#pragma once

#include <QWidget>
#include <string>

#include "engine/ui.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace ordavo::gui {

class ProgressWnd : public QWidget, public ProgressWindow {
    Q_OBJECT
public:
    // `parent` only places the window: it is a window of its own, owned by whoever created it.
    ProgressWnd(QWidget* parent, const std::string& title, bool smooth);
    ~ProgressWnd() override;

    void BeginModal() override;
    void SetRange(int lower, int upper, int step = 1) override;
    void SetText(const std::string& text) override;
    void PumpMessages(bool escape_cancels = false) override;
    void Cancel() override;

    bool IsModal() const { return modal_; }
    QPushButton* CancelButton() const { return cancel_; }
    QProgressBar* Bar() const { return bar_; }
    QLabel* TextLabel() const { return text_; }

    // Where the window was last left (profile section "Settings", keys "X" and "Y").
    static void SavePosition(const QPoint& top_left);
    static bool SavedPosition(QPoint& top_left);

protected:
    void TitleChanged() override;
    void PositionChanged() override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void PlaceWindow();
    void RememberPosition();

    QWidget* placement_parent_ = nullptr;
    QLabel* text_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool modal_ = false;
    bool escape_cancels_ = false;  // as the last PumpMessages asked
};

}  // namespace ordavo::gui
