#include "shell/gui/qt_user_interface.h"

#include <QMessageBox>
#include <QPushButton>

#include "engine/strings.h"
#include "shell/gui/gui_support.h"
#include "shell/gui/message_return_dlg.h"
#include "shell/gui/progress_wnd.h"
#include "shell/gui/wait_dlg.h"

namespace ordavo::gui {
namespace {

// The wait window belongs to the engine's object; the Qt parent may go first at exit.
class QtWaitWindow : public WaitWindow {
public:
    QtWaitWindow(const std::string& message, QWidget* parent) : dialog_(new WaitDlg(message, parent)) {}
    ~QtWaitWindow() override { delete dialog_.data(); }

private:
    QPointer<WaitDlg> dialog_;
};

class QtResultWindow : public ResultWindow {
public:
    explicit QtResultWindow(QWidget* parent) : dialog_(new MessageReturnDlg(parent)) {}
    ~QtResultWindow() override { delete dialog_.data(); }

    void SetMessage(const std::string& message) override {
        ResultWindow::SetMessage(message);
        if (dialog_) dialog_->SetMessage(message);
    }
    void SetDump(const std::string& dump) override {
        ResultWindow::SetDump(dump);
        if (dialog_) dialog_->SetDump(dump);
    }
    void ShowModeless() override {
        if (!dialog_) return;
        dialog_->setModal(false);
        dialog_->show();
        dialog_->raise();
    }
    void ShowModal() override {
        if (!dialog_) return;
        dialog_->hide();
        dialog_->exec();
    }

private:
    QPointer<MessageReturnDlg> dialog_;
};

}  // namespace

QWidget* QtUserInterface::Parent() const { return DialogParent(main_window_.data()); }

std::unique_ptr<ProgressWindow> QtUserInterface::CreateProgress(const std::string& title, bool smooth) {
    return std::make_unique<ProgressWnd>(Parent(), title, smooth);
}

std::unique_ptr<WaitWindow> QtUserInterface::ShowWait(const std::string& message) {
    return std::make_unique<QtWaitWindow>(message, Parent());
}

bool QtUserInterface::MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                                 MsgIcon icon) {
    QMessageBox box(Parent());
    box.setWindowTitle(caption.empty() ? QStr(IDS_ORDAVO) : Q(caption));
    box.setText(Q(text));
    switch (icon) {
        case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
        case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
        case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
        case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
        case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    QAbstractButton* yes = nullptr;
    switch (buttons) {
        case MsgButtons::Ok:
            yes = box.addButton("OK", QMessageBox::AcceptRole);
            break;
        case MsgButtons::OkCancel:
            yes = box.addButton("OK", QMessageBox::AcceptRole);
            box.addButton(QStr(IDS_ANULAR), QMessageBox::RejectRole);
            break;
        case MsgButtons::YesNo:
            yes = box.addButton(QString("S\u00ed"), QMessageBox::YesRole);
            box.setEscapeButton(box.addButton(QString("No"), QMessageBox::NoRole));
            break;
    }
    box.setDefaultButton(qobject_cast<QPushButton*>(yes));
    InstallHelpKey(&box);
    box.exec();
    return box.clickedButton() == yes;
}

std::unique_ptr<ResultWindow> QtUserInterface::CreateResultWindow() {
    return std::make_unique<QtResultWindow>(Parent());
}

bool QtUserInterface::ChooseOpenFile(const std::string& title, const std::string& default_ext,
                                     const std::string& filter, const std::string& initial_name,
                                     std::string& chosen) {
    return gui::ChooseOpenFile(Parent(), title, default_ext, filter, initial_name, chosen);
}

}  // namespace ordavo::gui
