// The fiscal-memory window: an empty dialog whose whole interface is its menu. Each menu
// command is one job that asks for its inputs, calls the fiscal-memory library and tells the
// outcome; the window gives every command the steps they share (MfdContext).
#pragma once

#include <QDialog>
#include <string>

#include "fiscalmemory/core/library_loader.h"
#include "fiscalmemory/gui/mfd_commands.h"

class QAction;
class QMenu;
class QMenuBar;

namespace ordavo::gui {

class MFDDialog : public QDialog, public MfdContext {
    Q_OBJECT
public:
    // Loads the library of the settings' country and hands it Settings.BaudRate; the library
    // stays loaded while the window lives, so that the speed holds for every command.
    explicit MFDDialog(QWidget* parent = nullptr);
    ~MFDDialog() override;

    // Runs a menu command: the window's own, one of the table, or "not available yet".
    void OnCommand(int id);

    QMenuBar* MenuBar() const { return bar_; }
    // The top-level popup at a position of the menu.
    QMenu* Popup(int position) const;
    // The item of that identifier (the first, for identifiers in two popups).
    QAction* Action(int id) const;
    bool LibraryResident() const { return resident_.Loaded(); }

    // MfdContext
    QWidget* Window() override { return this; }
    std::string LibraryName() const override;
    bool FetchSerialNumber(std::string& serial) override;
    void ShowLibraryResult(int code) override;
    void OfferToOpen(const std::string& path) override;
    std::string& Brand() override { return brand_; }
    std::string& Model() override { return model_; }
    bool LoadFiscalLibrary(FiscalLibrary& library, bool complain) override;
    int RunLibraryCall(FiscalLibrary& library, const std::string& message, const std::function<int()>& call) override;
    std::string FetchPublicKey(const std::string& serial, FiscalLibrary& library, const std::string& file,
                               bool ask) override;
    void ValidateSignedFile(const std::string& file, const std::string& key) override;
    void SignedDownloadTail(const std::string& serial, FiscalLibrary& library, const std::string& file,
                            bool public_key_wanted) override;
    bool Message(const std::string& text, const std::string& caption, MsgButtons buttons, MsgIcon icon) override;

private:
    void BuildMenu();
    void ShowNotAvailable(int id);

    QMenuBar* bar_ = nullptr;
    MfdCommandTable commands_;
    FiscalLibrary resident_;
    std::string brand_, model_;
};

}  // namespace ordavo::gui
