// The command reference of the loaded catalog as a readable HTML page: its groups in catalog
// order, each command with its escape code and answer length, its parameters with type, size
// and mandatory flag, and its return fields. Windows-1252 in and out.
#pragma once

#include <string>
#include <vector>

#include "engine/comando.h"

namespace ordavo {

std::string CatalogReferenceHtml(const std::vector<Comando>& commands, const std::string& source_file);

}  // namespace ordavo
