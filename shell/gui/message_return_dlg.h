// The result window: the formatted answer of a command, its traffic as a hexadecimal dump,
// and "Salvar" to keep either or both in a text file.
#pragma once

#include <QDialog>
#include <string>

class QPlainTextEdit;
class QPushButton;

namespace ordavo::gui {

class MessageReturnDlg : public QDialog {
    Q_OBJECT
public:
    explicit MessageReturnDlg(QWidget* parent = nullptr);

    // Windows-1252 texts; the window shows the message first.
    void SetMessage(const std::string& message);
    void SetDump(const std::string& record);
    const std::string& Message() const { return message_; }
    const std::string& Dump() const { return record_; }

    bool ShowingDump() const { return showing_dump_; }
    QPlainTextEdit* View() const { return view_; }
    QPushButton* ViewButton() const { return view_button_; }
    QPushButton* SaveButton() const { return save_button_; }
    QPushButton* CloseButton() const { return close_button_; }

public slots:
    void ToggleView();
    void Save();

private:
    void Refresh();

    std::string message_, record_;
    bool showing_dump_ = false;
    QPlainTextEdit* view_ = nullptr;
    QPushButton* view_button_ = nullptr;
    QPushButton* save_button_ = nullptr;
    QPushButton* close_button_ = nullptr;
};

// A choice among a few captions, one push button each, and "Anular". Exec returns the number
// (1 upward) of the button pressed, or 0 when cancelled.
class OptionChoiceDlg : public QDialog {
    Q_OBJECT
public:
    OptionChoiceDlg(const QStringList& captions, QWidget* parent = nullptr);
    int Choice() const { return choice_; }
    int Run();

private:
    int choice_ = 0;
};

// The about box.
class AboutBoxDlg : public QDialog {
    Q_OBJECT
public:
    explicit AboutBoxDlg(QWidget* parent = nullptr);
    static QString AboutText();
};

}  // namespace ordavo::gui
