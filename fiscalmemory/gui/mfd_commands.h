// The commands of the fiscal-memory window's menu. The window implements its own; the commands
// of the other subsystems (conversions and country menus, the audit-report diagnosis and the
// download in parts, the PDF-417 capture and bitmap decoding) live in their own files and are
// added to the window's table when it is created.
#pragma once

#include <functional>
#include <map>
#include <string>

class QWidget;

namespace ordavo::gui {

// What a command of the fiscal-memory window uses: the window (parent of its dialogs), the
// library choice and the steps every command shares.
class MfdContext {
public:
    virtual ~MfdContext() = default;
    virtual QWidget* Window() = 0;
    // The library file the settings' country chooses ("libTalvMFD2ES.so" / "libTalvMFD2RD.so").
    virtual std::string LibraryName() const = 0;
    // Loads the library, shows the wait window, asks the printer's serial number, releases the
    // library: true with the serial when the library answered 0.
    virtual bool FetchSerialNumber(std::string& serial) = 0;
    // Codes 0 and 1 show nothing; every other code its message.
    virtual void ShowLibraryResult(int code) = 0;
    // "Archivo criado con éxito: ..." with the question whether to open it; Yes opens it.
    virtual void OfferToOpen(const std::string& path) = 0;
    // The brand and model typed in the connection checks, kept for the life of the window.
    virtual std::string& Brand() = 0;
    virtual std::string& Model() = 0;
};

using MfdCommand = std::function<void(MfdContext&)>;
using MfdCommandTable = std::map<int, MfdCommand>;

// Each adds its commands by menu identifier; a file of its own defines each.
void AddReportCommands(MfdCommandTable& table);     // fiscalmemory/gui/report_commands.cpp
void AddDiagnosisCommands(MfdCommandTable& table);  // fiscalmemory/gui/diagnosis_commands.cpp
void AddPdf417Commands(MfdCommandTable& table);     // pdf417/gui/pdf417_commands.cpp

}  // namespace ordavo::gui
