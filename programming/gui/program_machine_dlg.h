// "Programar Equipo": where the configuration to program comes from (the store, the printer,
// or the one already on hand), the sheet to edit it on, the save question, and the
// programming run with its result window.
#pragma once

#include <QDialog>
#include <string>

#include "programming/core/equipment.h"

class QPushButton;

namespace ordavo::gui {

class ProgramMachineDlg : public QDialog {
    Q_OBJECT
  public:
    explicit ProgramMachineDlg(QWidget* parent = nullptr);

    // The configuration being worked on; it outlives every button press.
    Equipment current;

    QPushButton* ExistingButton() const { return existing_; }
    QPushButton* FromPrinterButton() const { return from_printer_; }
    QPushButton* NewButton() const { return new_; }
    QPushButton* CancelButton() const { return cancel_; }

    // The sheet, the save question and the programming run.
    void ProgramPrinter();

  private:
    void OnExisting();
    void OnFromPrinter();

    QPushButton* existing_ = nullptr;
    QPushButton* from_printer_ = nullptr;
    QPushButton* new_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// Opens the wizard over `parent` (the main window's "Programar Equipo").
void OpenProgramMachine(QWidget* parent);

}  // namespace ordavo::gui
