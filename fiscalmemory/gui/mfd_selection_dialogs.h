// The small selection dialogs of the fiscal-memory window's downloads and of the Z-validation
// check. Each is modal with OK and "Anular"; the caller reads the choices after OK. Controls
// carry object names after their resource numbers ("edit1042", "date1044", "check1311").
#pragma once

#include <QDialog>
#include <string>
#include <utility>
#include <vector>

#include "fiscalmemory/core/mfd_rules.h"

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace ordavo::gui {

// What the selection dialogs share: OK and "Anular" at the bottom, F1 for help, and the
// checks of their number fields on OK.
class MfdSelectionDialog : public QDialog {
    Q_OBJECT
public:
    explicit MfdSelectionDialog(QWidget* parent);
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

    // Closes only when every number field holds a number of its range.
    void accept() override;

protected:
    // Lays the dialog out (call last in the constructor): the kind buttons in a row, the
    // labelled fields, the check boxes, OK and "Anular"; the first kind is chosen.
    void LayOut(const std::vector<QRadioButton*>& kinds, const std::vector<std::pair<QString, QWidget*>>& rows,
                const std::vector<QCheckBox*>& checks);
    // A kind button was chosen: enable its fields.
    virtual void KindChosen(int kind) {}
    // A number field of [low, high] with its default; its text is checked on OK.
    QLineEdit* NumberField(const char* name, long low, long high, long initial);
    QDateEdit* DateField(const char* name);
    // True when every number field holds a number of its range; otherwise says which and
    // puts the focus there.
    bool CheckNumbers();
    static long Number(const QLineEdit* edit);
    static DayDate DateOf(const QDateEdit* picker);
    static void FocusAndSelect(QLineEdit* edit);

private:
    struct Field {
        QLineEdit* edit;
        long low, high;
    };
    std::vector<Field> numbers_;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// "MA": the audit memory by COO, by date or whole ("Total Lógico").
class SelDownloadMFDDlg : public MfdSelectionDialog {
    Q_OBJECT
public:
    explicit SelDownloadMFDDlg(QWidget* parent = nullptr);
    // Set before showing: when false the public-key check is disabled.
    void SetPublicKeyOffered(bool offered);
    AuditSelection Selection() const;

    QRadioButton* KindButton(int kind) const { return kinds_[kind]; }
    QLineEdit* First() const { return first_; }
    QLineEdit* Last() const { return last_; }
    QLineEdit* User() const { return user_; }
    QDateEdit* FirstDate() const { return first_date_; }
    QDateEdit* LastDate() const { return last_date_; }
    QCheckBox* PublicKey() const { return public_key_; }

private:
    void KindChosen(int kind) override;
    QRadioButton* kinds_[3] = {};
    QLineEdit *first_ = nullptr, *last_ = nullptr, *user_ = nullptr;
    QDateEdit *first_date_ = nullptr, *last_date_ = nullptr;
    QCheckBox* public_key_ = nullptr;
};

// What the fiscal-memory dialogs by number or by date share: the two kinds, the first and
// last number, the first and last date, "simplified" and, for some, the public key.
struct NumberOrDateLayout {
    const char* title;
    const char *number_radio, *number_radio_name, *date_radio;
    const char *first_name, *last_name, *first_date_name, *last_date_name;
    const char *first_label, *last_label;
    const char* simplified;
    bool with_public_key;
};

class NumberOrDateDlg : public MfdSelectionDialog {
    Q_OBJECT
public:
    // public_key is false when the dialog does not ask for it.
    TxtSelection Selection() const;

    QRadioButton* KindButton(int kind) const { return kinds_[kind]; }
    QLineEdit* First() const { return first_; }
    QLineEdit* Last() const { return last_; }
    QDateEdit* FirstDate() const { return first_date_; }
    QDateEdit* LastDate() const { return last_date_; }
    QCheckBox* Simplified() const { return simplified_; }
    QCheckBox* PublicKey() const { return public_key_; }  // null when not asked

protected:
    NumberOrDateDlg(QWidget* parent, const NumberOrDateLayout& layout);

private:
    void KindChosen(int kind) override;
    QRadioButton* kinds_[2] = {};
    QLineEdit *first_ = nullptr, *last_ = nullptr;
    QDateEdit *first_date_ = nullptr, *last_date_ = nullptr;
    QCheckBox *simplified_ = nullptr, *public_key_ = nullptr;
};

// "Download MF": the fiscal memory by Z number (kind 0) or by date, simplified or not.
class SelDownloadMFDlg : public NumberOrDateDlg {
    Q_OBJECT
public:
    explicit SelDownloadMFDlg(QWidget* parent = nullptr);
};

// The fiscal-memory reading (mode 0, numbers are CRZ) and the transaction report (mode 1,
// numbers are COO).
class SelDownloadTxt : public NumberOrDateDlg {
    Q_OBJECT
public:
    explicit SelDownloadTxt(int mode, QWidget* parent = nullptr);
};

// "Download Clave Publica": whether the public key is wanted too.
class DlgSelDownloadPublicKey : public MfdSelectionDialog {
    Q_OBJECT
public:
    explicit DlgSelDownloadPublicKey(QWidget* parent = nullptr);
    bool PublicKeyWanted() const;
    QCheckBox* PublicKey() const { return public_key_; }

private:
    QCheckBox* public_key_ = nullptr;
};

// "Validatión Z": the Z-validation text, typed or read from a file, and saved with "Grabar".
class DlgValidateRZ : public QDialog {
    Q_OBJECT
public:
    explicit DlgValidateRZ(QWidget* parent = nullptr);
    // The text as it stands (only hexadecimal digits, spaces and line breaks; CR LF breaks).
    std::string Text() const;
    QPlainTextEdit* Edit() const { return edit_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QPushButton* SaveButton() const { return save_; }
    QPushButton* ReadButton() const { return read_; }

private:
    void FilterText();
    void Save();
    void Read();
    QPlainTextEdit* edit_ = nullptr;
    QPushButton *ok_ = nullptr, *cancel_ = nullptr, *save_ = nullptr, *read_ = nullptr;
    bool filtering_ = false;
};

// The verdict of the Z validation.
class DlgRZVal : public QDialog {
    Q_OBJECT
public:
    explicit DlgRZVal(const std::string& verdict, QWidget* parent = nullptr);
    QLabel* Verdict() const { return verdict_; }

private:
    QLabel* verdict_ = nullptr;
};

}  // namespace ordavo::gui
