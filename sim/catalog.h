// The command catalogs, as far as the simulator needs them: escape codes, parameter layouts and
// answer layouts. Read with the catalog rules (the first child of a name counts, parameters and
// return fields inherit what they leave out from the one before).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/params.h"

namespace ordavo::sim {

struct CatalogCommand {
    std::string file;
    int line = 0;
    std::string tipo;
    std::string titulo;
    std::string escape_text;
    std::vector<uint8_t> escape;
    int32_t equipamentos_hab = 0;
    int32_t tamanho_retorno = 0;
    std::vector<ParamDef> params;
    std::vector<FieldDef> returns;
};

class Catalog {
  public:
    // Adds the commands of one file. False (and `error` says why) when it cannot be parsed;
    // commands whose escape cannot be sent are skipped with a note in `warnings`.
    bool Load(const std::string& path, std::string* error, std::vector<std::string>* warnings);

    const std::vector<CatalogCommand>& commands() const { return commands_; }
    // The first command of all loaded files whose escape is the longest prefix of `payload`.
    const CatalogCommand* Find(const uint8_t* payload, size_t size) const;
    const std::vector<std::string>& files() const { return files_; }

  private:
    std::vector<CatalogCommand> commands_;
    std::vector<std::string> files_;
};

// Escape text to bytes: pieces between single spaces, each read as a decimal integer, low 8 bits.
// False when there are more than 10 pieces or a piece is too long to be a byte value.
bool ParseEscape(const std::string& text, std::vector<uint8_t>& out);

// The sample catalogs: beside the program, else in the source tree.
std::vector<std::string> DefaultCatalogs();

}  // namespace ordavo::sim
