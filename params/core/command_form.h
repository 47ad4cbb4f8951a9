// What the parameter form does, without its window: the rows, which of them are hidden and how
// long they may be, the opening (automatic run, the date-and-time command, the fill walk),
// "Editar" and the run step. The desktop window only shows the rows and forwards the buttons.
#pragma once

#include <string>
#include <vector>

#include "engine/comando.h"
#include "engine/ui.h"
#include "params/core/value_editors.h"

namespace ordavo {

class CommandForm {
  public:
    // Rows the window shows at once; further rows scroll.
    static constexpr int kSlots = 12;
    // Limit of an edit box whose parameter gives no usable size.
    static constexpr int kNoLimit = 32767;

    explicit CommandForm(Comando command);

    const Comando& Command() const { return command_; }
    int RowCount() const { return static_cast<int>(rows_.size()); }

    // Row k counts from 0.
    bool Hidden(int k) const;
    // The label: the title, then " *" for a mandatory parameter.
    std::string Label(int k) const;
    // Characters the edit box accepts: 3 for "BINARIO", 2 x size for "DIG_HEX", the size for
    // the others (kNoLimit when that is 0 or less).
    int MaxLength(int k) const;
    const std::string& Row(int k) const { return rows_[static_cast<size_t>(k)]; }
    // What the user typed into row k.
    void SetRow(int k, const std::string& text) { rows_[static_cast<size_t>(k)] = text; }

    // The opening, up to the point where the window shows: the date-and-time command's question
    // (escape "2") and, when the command needs no input, the answer that it must run at once.
    // Otherwise the fill walk has been done when it returns false.
    bool Open(ValueEditors& editors);
    // For each visible row in order, its editor; stops at the first cancel. Returns the number
    // of rows filled.
    int FillWalk(ValueEditors& editors);
    // "Editar" of row k: true when the row took a new text.
    bool Edit(int k, ValueEditors& editors);

    // The run step: the visible rows become the parameters' values, the command runs under the
    // wait window, and the result window shows when it failed or when results are always
    // shown. Returns Executar's result.
    int Run(UserInterface& ui);
    bool Ran() const { return ran_; }

  private:
    bool DateAndTime(ValueEditors& editors);

    Comando command_;
    std::vector<std::string> rows_;
    bool ran_ = false;
};

}  // namespace ordavo
