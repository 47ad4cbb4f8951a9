// The typed value editors as windows. Each is constructed, given its description and limits
// through its setters, shown modally, and read after OK. The answers are built by the shared
// rules of params/core/value_editors.h, so they match the other front ends byte for byte.
// Texts given and returned are Windows-1252.
#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "params/core/value_editors.h"

class QCheckBox;
class QDateEdit;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimeEdit;
class QTimer;
class QVBoxLayout;

namespace ordavo::gui {

// A description on a label: CR LF as line breaks, "&" markers not shown.
QString DescriptionText(const std::string& cp1252);

// What every editor shares: no caption of its own, the description on top, "Anular" as the
// cancel button, F1 for help.
class EditorDialog : public QDialog {
    Q_OBJECT
  public:
    explicit EditorDialog(QWidget* parent, bool with_ok = true);
    void SetDescription(const std::string& description);
    QLabel* DescriptionLabel() const { return description_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    // The field that has the keyboard when the editor opens: the first text, number, date or
    // time box in tab order, or else the first choice button.
    QWidget* FirstField() const;

  protected:
    QVBoxLayout* Body() const { return body_; }
    // Puts the cursor into the first field with its text selected, so that typing replaces
    // the value and Enter confirms it.
    void showEvent(QShowEvent* event) override;
    void FocusFirstField();

  private:
    QLabel* description_ = nullptr;
    QVBoxLayout* body_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// A multi-line box that refuses text beyond its limit, counting a line break as two
// characters (CR LF), and hands its text back with CR LF line breaks.
class LimitedTextEdit;

class GetStringDlg : public EditorDialog {
    Q_OBJECT
  public:
    explicit GetStringDlg(QWidget* parent = nullptr);
    void SetLimit(int n);
    void SetPadded(bool padded) { padded_ = padded; }
    void SetHex(bool hex);
    void SetInitial(const std::string& text);
    const std::string& Answer() const { return answer_; }
    QLineEdit* Edit() const { return edit_; }
    void accept() override;

  private:
    QLineEdit* edit_ = nullptr;
    int limit_ = 0;
    bool padded_ = true;
    bool hex_ = false;
    std::string answer_;
};

class GetBigStringDlg : public EditorDialog {
    Q_OBJECT
  public:
    explicit GetBigStringDlg(QWidget* parent = nullptr);
    void SetLimit(int n);
    void SetInitial(const std::string& text);
    const std::string& Answer() const { return answer_; }
    QPlainTextEdit* Edit() const;
    void accept() override;

  private:
    LimitedTextEdit* edit_ = nullptr;
    int limit_ = 100;
    std::string answer_;
};

class GetIntegerDlg : public EditorDialog {
    Q_OBJECT
  public:
    explicit GetIntegerDlg(QWidget* parent = nullptr);
    void SetLimit(int n);
    void SetInitial(const std::string& text);
    const std::string& Answer() const { return answer_; }
    int Value() const { return value_; }
    QLineEdit* Edit() const { return edit_; }
    void accept() override;

  private:
    QLineEdit* edit_ = nullptr;
    int limit_ = 0;
    std::string answer_;
    int value_ = 0;
};

class GetFinanceDlg : public EditorDialog {
    Q_OBJECT
  public:
    explicit GetFinanceDlg(QWidget* parent = nullptr);
    void SetLimits(int integer_digits, int decimal_digits);
    void SetInitial(const std::string& value);
    const std::string& Answer() const { return answer_; }
    QLineEdit* Edit() const { return edit_; }
    void accept() override;

  private:
    void Restart();
    void Reformat();

    QLineEdit* edit_ = nullptr;
    QLabel* label_ = nullptr;
    int integer_ = 12, decimals_ = 2;
    std::string initial_;
    std::string answer_;
    bool reformatting_ = false;
};

class DlgGetPercent : public EditorDialog {
    Q_OBJECT
  public:
    explicit DlgGetPercent(QWidget* parent = nullptr);
    const PercentAnswer& Answer() const { return answer_; }
    QLineEdit* IntegerEdit() const { return integer_; }
    QLineEdit* DecimalEdit() const { return decimal_; }
    void accept() override;

  private:
    QLineEdit* integer_ = nullptr;
    QLineEdit* decimal_ = nullptr;
    PercentAnswer answer_;
};

class GetDate : public EditorDialog {
    Q_OBJECT
  public:
    explicit GetDate(QWidget* parent = nullptr);
    const Date& Answer() const { return answer_; }
    QDateEdit* Picker() const { return picker_; }
    QPushButton* TodayButton() const { return today_; }
    // Asks "¿La fecha está correcta?"; No keeps the window open.
    void accept() override;

  private:
    QDateEdit* picker_ = nullptr;
    QPushButton* today_ = nullptr;
    Date answer_;
};

class GetHourDlg : public EditorDialog {
    Q_OBJECT
  public:
    explicit GetHourDlg(QWidget* parent = nullptr);
    void SetDateAndTimeMode(bool on);
    const HourAnswer& Answer() const { return answer_; }
    QTimeEdit* Picker() const { return picker_; }
    QPushButton* NowButton() const { return now_; }
    QCheckBox* SummerTime() const { return summer_; }
    bool ClockRunning() const;
    void accept() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void LoadClock();

    QTimeEdit* picker_ = nullptr;
    QPushButton* now_ = nullptr;
    QCheckBox* summer_ = nullptr;
    QTimer* clock_ = nullptr;
    bool date_and_time_ = false;
    HourAnswer answer_;
};

class GetOptionDlg : public EditorDialog {
    Q_OBJECT
  public:
    explicit GetOptionDlg(QWidget* parent = nullptr);
    void SetCaptions(const std::array<std::string, OptionEditor::kButtons>& captions);
    // 1 to 12, or 0 until a button was pressed.
    int Choice() const { return choice_; }
    QPushButton* Button(int k) const { return buttons_[static_cast<size_t>(k - 1)]; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    std::array<QPushButton*, OptionEditor::kButtons> buttons_{};
    std::array<std::string, OptionEditor::kButtons> captions_;
    int choice_ = 0;
};

class GetChequeDlg : public EditorDialog {
    Q_OBJECT
  public:
    explicit GetChequeDlg(QWidget* parent = nullptr);
    // In answer order: the X boxes of the eight rows, then the Y boxes of the first five.
    void SetInitial(const std::array<std::string, ChequeEditor::kBoxes>& boxes);
    const std::string& Answer() const { return answer_; }
    QLineEdit* Box(int k) const { return boxes_[static_cast<size_t>(k)]; }
    void accept() override;

  private:
    std::array<QLineEdit*, ChequeEditor::kBoxes> boxes_{};
    std::string answer_;
};

class GetClicheDlg : public EditorDialog {
    Q_OBJECT
  public:
    explicit GetClicheDlg(QWidget* parent = nullptr);
    const std::string& Answer() const { return answer_; }
    QLineEdit* Line(int i) const { return lines_[static_cast<size_t>(i)]; }
    QPlainTextEdit* Third() const;
    // attribute: 0 underline, 1 italic, 2 emphasized, 3 expanded.
    QCheckBox* Attribute(int line, int attribute) const {
        return attributes_[static_cast<size_t>(line)][static_cast<size_t>(attribute)];
    }
    QCheckBox* Centered() const { return centered_; }
    ClicheInput Input() const;
    void accept() override;

  private:
    std::array<QLineEdit*, 2> lines_{};
    LimitedTextEdit* third_ = nullptr;
    std::array<std::array<QCheckBox*, 4>, 3> attributes_{};
    QCheckBox* centered_ = nullptr;
    std::string answer_;
};

// The graphic header: the control that loads and sends the bitmap is not part of the program;
// this window stands in its place and shows the port it would use.
class GraphicClicheDlg : public QDialog {
    Q_OBJECT
  public:
    explicit GraphicClicheDlg(QWidget* parent = nullptr);
    QString PortText() const;
    QPushButton* CloseButton() const { return close_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* port_ = nullptr;
    QPushButton* close_ = nullptr;
    bool warned_ = false;
};

}  // namespace ordavo::gui
