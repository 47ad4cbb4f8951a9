// The program's main window: the catalog's commands in a menu bar built at run time, and the
// entry to every other window.
#pragma once

#include <QMainWindow>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/comando.h"
#include "shell/gui/qt_user_interface.h"

class QLabel;
class QMenu;

namespace ordavo {
class UserInterface;
}

namespace ordavo::gui {

// Windows that other parts of the program provide. Until one is registered, its menu item
// opens a window saying the feature is not available yet.
using MenuWindowOpener = std::function<void(QWidget* parent)>;
void SetMenuWindowOpener(int menu_id, MenuWindowOpener opener);
// The parameter form: receives a copy of the chosen catalog command. Until one is
// registered, the command runs with its catalog values and the result window shows.
using CommandFormOpener = std::function<void(QWidget* parent, Comando command)>;
void SetCommandFormOpener(CommandFormOpener opener);

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Gives the settings their defaults and puts the Qt user interface under the engine.
    explicit MainWindow(QWidget* parent = nullptr);
    // Saves "config_es.cfg" when Start() ran.
    ~MainWindow() override;

    // A port for this run only (the command line's --port): applied over the configuration
    // file and not saved unless the user picks another port in the settings dialog.
    void SetPortOverride(const std::string& port) { port_override_ = port; }

    // The start-up: caption, maximised, application directory, configuration, catalog under
    // the wait window, menu bar. Returns false when no catalog could be loaded.
    bool Start();

    // Rebuilds the menu bar from the command list.
    void BuildMenu();
    // Loads the catalog of the current country under the wait window; shows the catalog error
    // message on failure. True on success.
    bool LoadCatalogWithWait();

    // Runs a menu identifier: fixed items and commands (1083 + i).
    void OnCommand(int id);

    const std::vector<Comando>& Commands() const { return commands_; }
    bool HasCommandMenus() const { return has_menu_; }
    QtUserInterface& Ui() { return ui_; }

    void OpenSettings();
    void ReloadCatalog();
    void OpenCommandReference();
    void RunCommand(int index);

    // The status bar: port, speed, model, country, catalog file, and the last command's
    // outcome ("OK", or the printer's error in red).
    void UpdateStatusBar();
    QLabel* StatusField(const char* name) const;

private:
    QMenu* AddPopup(const std::string& caption);
    void ShowOutcome(const Comando& command, int32_t result);

    QtUserInterface ui_;
    UserInterface* previous_ui_ = nullptr;
    std::vector<Comando> commands_;
    bool started_ = false;
    bool has_menu_ = false;
    std::optional<std::string> port_override_;
    std::string configured_port_;  // the port of the configuration file, saved in place of the override
};

}  // namespace ordavo::gui
