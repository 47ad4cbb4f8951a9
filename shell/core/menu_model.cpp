#include "shell/core/menu_model.h"

#include "engine/catalog.h"

#include <unordered_map>

#include "engine/strings.h"

namespace ordavo {

bool CommandEnabled(const Comando& command, int model_mask, int filter_commands) {
    if ((command.equipamentos_hab & model_mask) != 0) return true;
    return filter_commands == 0;
}

MenuBarModel BuildMenuModel(const std::vector<Comando>& commands, int model_mask, int filter_commands) {
    MenuBarModel bar;

    MenuPopup operaciones;
    operaciones.caption = Str(IDS_MENU_OPERACIONES);
    operaciones.entries = {
        {ID_PROGRAMAR_EQUIPO, Str(IDS_MENU_PROGRAMAR_EQUIPO), true},
        {ID_SECUENCIA, Str(IDS_MENU_SECUENCIA), true},
        {ID_CLICHE_GRAFICO, Str(IDS_MENU_CLICHE_GRAFICO), true},
        {ID_OPERACIONES_ARCHIVOS, Str(IDS_MENU_OPERACIONES_ARCHIVOS), true},
        {0, "", true},
        {ID_CONFIGURACIONES, Str(IDS_MENU_CONFIGURACIONES), true},
        {ID_CARGAR_COMANDOS, Str(IDS_MENU_CARGAR_COMANDOS), true},
        {ID_SALIR, Str(IDS_MENU_SALIR), true},
    };
    bar.popups.push_back(std::move(operaciones));

    // Catalogs hold thousands of commands in a few dozen groups: a hash lookup keeps building
    // linear in the catalog size.
    std::unordered_map<std::string, size_t> group_of;
    for (size_t i = 0; i < commands.size(); ++i) {
        const Comando& c = commands[i];
        auto [it, inserted] = group_of.try_emplace(c.tipo, bar.popups.size());
        if (inserted) bar.popups.push_back(MenuPopup{c.tipo, {}});
        bar.popups[it->second].entries.push_back(
            {ID_PRIMER_COMANDO + static_cast<int>(i), c.titulo, CommandEnabled(c, model_mask, filter_commands)});
    }

    MenuPopup ayuda;
    ayuda.caption = Str(IDS_MENU_AYUDA);
    ayuda.entries = {
        {ID_ACERCA_DE, Str(IDS_MENU_ACERCA_DE), true},
        {ID_AYUDA_TOPICOS, Str(IDS_MENU_AYUDA_TOPICOS), true},
        {ID_REFERENCIA_COMANDOS, Str(IDS_MENU_REFERENCIA), true},
    };
    bar.popups.push_back(std::move(ayuda));
    return bar;
}

int CommandIndexForMenuId(int id, size_t command_count) {
    if (id < ID_PRIMER_COMANDO) return -1;
    size_t index = static_cast<size_t>(id - ID_PRIMER_COMANDO);
    return index < command_count ? static_cast<int>(index) : -1;
}

std::string CommandReferencePath(const Settings& s) { return CatalogFileForCountry(s, CatalogUse::MainReference); }

std::vector<std::string> HelpFileCandidates(const std::string& app_directory, const std::string& program_directory,
                                            const std::string& data_directory) {
    std::vector<std::string> out;
    auto add = [&out](const std::string& dir, const std::string& rest) {
        if (dir.empty()) return;
        std::string path = dir + rest;
        for (const std::string& p : out)
            if (p == path) return;
        out.push_back(std::move(path));
    };
    add(app_directory, "/../help/Ordavo_Help.chm");
    add(app_directory, "/../help/Ordavo_Help.html");
    add(program_directory, "/help/Ordavo_Help.html");
    add(program_directory, "/../help/Ordavo_Help.html");
    add(data_directory, "/help/Ordavo_Help.html");
    return out;
}

}  // namespace ordavo
