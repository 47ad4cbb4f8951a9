// The wait window: a small box asking the user to wait while the program is busy. It is shown
// as soon as it is created and disappears when it is destroyed.
#pragma once

#include <QDialog>
#include <string>

class QLabel;

namespace ordavo::gui {

class WaitDlg : public QDialog {
    Q_OBJECT
public:
    // An empty message shows "Aguarde......".
    WaitDlg(const std::string& message, QWidget* parent);
    QString Message() const;

protected:
    // Escape must not dismiss a box whose creator decides when it goes.
    void reject() override {}

private:
    QLabel* text_ = nullptr;
};

}  // namespace ordavo::gui
