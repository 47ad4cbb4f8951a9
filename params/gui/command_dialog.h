// The parameter form: one row per parameter of a catalog command, filled through the typed
// editors, and "Ok" to run the command and see its result.
#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "engine/comando.h"
#include "params/core/command_form.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;

namespace ordavo::gui {

class CommandDialog : public QDialog {
    Q_OBJECT
  public:
    // `editors` asks for the values (the desktop's windows when null).
    explicit CommandDialog(const Comando& command, QWidget* parent = nullptr,
                           ValueEditors* editors = nullptr);
    ~CommandDialog() override;

    // The opening: a command that needs no input (none, or the confirmed date and time) runs
    // at once and the form never shows; otherwise the fill walk, then the form.
    int exec() override;

    const CommandForm& Form() const { return form_; }
    int SlotCount() const { return static_cast<int>(slots_.size()); }
    // Slot k counts from 0.
    QLabel* Label(int k) const { return slots_[static_cast<size_t>(k)].label; }
    QLineEdit* Edit(int k) const { return slots_[static_cast<size_t>(k)].edit; }
    QPushButton* EditButton(int k) const { return slots_[static_cast<size_t>(k)].button; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QGroupBox* Group() const { return group_; }
    QScrollArea* Rows() const { return scroll_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    struct Slot {
        QWidget* row = nullptr;
        QLabel* label = nullptr;
        QLineEdit* edit = nullptr;
        QPushButton* button = nullptr;
    };
    void ShowRows();
    void EditRow(int k);
    void RunStep();

    CommandForm form_;
    std::unique_ptr<ValueEditors> own_editors_;
    ValueEditors* editors_ = nullptr;
    std::vector<Slot> slots_;
    QGroupBox* group_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// Opens the form for a copy of a catalog command and runs it there; returns the dialog's
// result (QDialog::Accepted when the command ran).
int RunCommandDialog(QWidget* parent, const Comando& command);

// Puts the parameter entry under the main window: its command menus open the form, the
// "Cliché gráfico" item opens GraphicClicheDlg, and the editors of the desktop become the
// current editors of the value dispatcher (for the sequence and programming windows).
void RegisterParameterWindows();

}  // namespace ordavo::gui
