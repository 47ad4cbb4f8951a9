// The commands of the fiscal-memory window's menu. The window implements its own; the commands
// of the other subsystems (conversions and country menus, the audit-report diagnosis and the
// download in parts, the PDF-417 capture and bitmap decoding) live in their own files and are
// added to the window's table when it is created.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "engine/ui.h"

class QWidget;

namespace ordavo {
class FiscalLibrary;
}

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

    // Loads the library LibraryName() names into `library`. When it does not load: false,
    // after "No fué posible carregar la DLL" when `complain`.
    virtual bool LoadFiscalLibrary(FiscalLibrary& library, bool complain) = 0;
    // Runs one call into the library while the user waits: under the progress window with its
    // " Cancelar " button when the library reports progress (TalvSetProgressCallback; Cancel
    // makes the library stop with 20), else under the wait window. `message` is the wait text
    // (empty: "Por favor, aguarde.....").
    virtual int RunLibraryCall(FiscalLibrary& library, const std::string& message, const std::function<int()>& call) = 0;
    // Downloads the printer's public key (asking where when `ask`, else beside `file`, named
    // after the serial): the key's path, or kNoKey ("Error!") when there is none.
    virtual std::string FetchPublicKey(const std::string& serial, FiscalLibrary& library, const std::string& file,
                                       bool ask) = 0;
    // Checks a signed file against a key (asking for another key when that one cannot be read)
    // and says "Archivo Valido" or "Archivo Invalido".
    virtual void ValidateSignedFile(const std::string& file, const std::string& key) = 0;
    // After a signed download: the public key, the check, and the key removed again when the
    // user did not want it. Releases `library`.
    virtual void SignedDownloadTail(const std::string& serial, FiscalLibrary& library, const std::string& file,
                                    bool public_key_wanted) = 0;
    // A message box over the window; true for OK / Yes.
    virtual bool Message(const std::string& text, const std::string& caption = "", MsgButtons buttons = MsgButtons::Ok,
                         MsgIcon icon = MsgIcon::None) = 0;
};

using MfdCommand = std::function<void(MfdContext&)>;
using MfdCommandTable = std::map<int, MfdCommand>;

// Each adds its commands by menu identifier; a file of its own defines each.
void AddReportCommands(MfdCommandTable& table);     // fiscalmemory/gui/report_commands.cpp
void AddDiagnosisCommands(MfdCommandTable& table);  // fiscalmemory/gui/diagnosis_commands.cpp
void AddPdf417Commands(MfdCommandTable& table);     // pdf417/gui/pdf417_commands.cpp
// The window's own downloads, signature checks and status (fiscalmemory/gui/mfd_download_commands.cpp).
void AddDownloadCommands(MfdCommandTable& table);

}  // namespace ordavo::gui
