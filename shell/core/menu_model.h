// What the main window's menu bar holds, worked out without any toolkit: the fixed menus,
// one pop-up per command group with one item per catalog command, and which items are greyed.
// The window only turns this model into widgets.
#pragma once

#include <string>
#include <vector>

#include "engine/comando.h"
#include "shell/core/settings.h"

namespace ordavo {

// Menu identifiers of the main window.
enum MenuId : int {
    ID_SALIR = 2,
    ID_PROGRAMAR_EQUIPO = 108,
    ID_OPERACIONES_ARCHIVOS = 109,
    ID_AYUDA_TOPICOS = 110,
    ID_CLICHE_GRAFICO = 111,
    ID_SECUENCIA = 112,
    ID_ACERCA_DE = 113,
    ID_CONFIGURACIONES = 119,
    ID_REFERENCIA_COMANDOS = 120,
    ID_CARGAR_COMANDOS = 121,
    ID_PRIMER_COMANDO = 1083,  // command i of the catalog is 1083 + i
};

// String numbers of the menu texts.
enum MenuStringId : int {
    IDS_MENU_OPERACIONES = 32891,
    IDS_MENU_AYUDA = 32866,
    IDS_MENU_PROGRAMAR_EQUIPO = 32908,
    IDS_MENU_SECUENCIA = 32927,
    IDS_MENU_CLICHE_GRAFICO = 32909,
    IDS_MENU_OPERACIONES_ARCHIVOS = 32882,
    IDS_MENU_CONFIGURACIONES = 32968,
    IDS_MENU_CARGAR_COMANDOS = 33130,
    IDS_MENU_SALIR = 32858,
    IDS_MENU_ACERCA_DE = 32867,
    IDS_MENU_AYUDA_TOPICOS = 32868,
    IDS_MENU_REFERENCIA = 32966,
};

struct MenuEntry {
    int id = 0;             // 0 marks a separator
    std::string text;       // Windows-1252
    bool enabled = true;
    bool IsSeparator() const { return id == 0; }
};

struct MenuPopup {
    std::string caption;  // Windows-1252
    std::vector<MenuEntry> entries;
};

// The whole menu bar: "Operaciones", the command groups in order of first appearance, "Ayuda".
struct MenuBarModel {
    std::vector<MenuPopup> popups;
    // Index of the first command group in `popups` (1) and the number of groups.
    size_t FirstGroup() const { return 1; }
    size_t GroupCount() const { return popups.size() < 2 ? 0 : popups.size() - 2; }
};

// A command's item is enabled when its equipamentos_hab shares a bit with the model mask;
// otherwise it is greyed only when commands are filtered.
bool CommandEnabled(const Comando& command, int model_mask, int filter_commands);

// Builds the menu bar from the command list. Group captions are compared exactly
// (case-sensitive); there is no limit on the number of groups.
MenuBarModel BuildMenuModel(const std::vector<Comando>& commands, int model_mask, int filter_commands);

// The command index of a menu identifier, or -1 when the identifier is not a command's or lies
// beyond the list.
int CommandIndexForMenuId(int id, size_t command_count);

// The file that "Referéncia de los comandos" opens: the country's catalog for CHILE, VENEZUELA
// and LOTERIAS, else the last loaded catalog, else "comandos.xml" in the application directory.
std::string CommandReferencePath(const Settings& s);

// Where the help document is looked for, in order: "<app>/../help/Ordavo_Help.chm", the same
// name with ".html", then "help/Ordavo_Help.html" beside the program, one level above it and in
// the installed data directory. Empty directories are skipped.
std::vector<std::string> HelpFileCandidates(const std::string& app_directory, const std::string& program_directory,
                                            const std::string& data_directory);

}  // namespace ordavo
