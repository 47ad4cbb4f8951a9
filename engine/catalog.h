// Reading command records from XML: the catalog file, and the `cmd` element shape that the
// sequence file shares.
#pragma once

#include <string>
#include <vector>

#include "engine/bdom.h"
#include "engine/comando.h"
#include "shell/core/settings.h"

namespace ordavo {

struct CmdReadOptions {
    // Catalog: a missing "valor" gives an empty value. Sequence file: it keeps the previous
    // parameter's value.
    bool inherit_valor = false;
    bool read_equipamentos = true;
};

// The warning for a command whose escape text cannot be sent ("file:line: ...").
std::string AvisoEscapeInvalido(const std::string& file, int line, const std::string& titulo,
                                const std::string& escape);

// Builds one Comando from a `cmd` element. Problems that do not stop loading (an escape text
// that cannot be sent) are added to `warnings` as "file:line: text".
Comando LerCmd(BNode cmd, const CmdReadOptions& options, const std::string& file,
               std::vector<std::string>* warnings);

// Loads every `cmd` of the file, at any depth and in document order, into `out` (replacing
// its content only on success). 0 on success, -1 when the file cannot be parsed; `error`
// then says why.
int CarregarArquivoCatalogo(const std::string& path, std::vector<Comando>& out, std::string* error = nullptr,
                            std::vector<std::string>* warnings = nullptr);

// Reads every cmd of a catalog held as UTF-8 text in one pass, by the same rules as LerCmd over
// a document tree, into `out` (replaced only on success). 0, or -1 when the text is not a
// well-formed document. Texts are converted to Windows-1252.
int LerCatalogoTexto(const std::string& utf8, const std::string& file, std::vector<Comando>& out,
                     std::vector<std::string>* warnings = nullptr);

// What a country's catalog file is looked up for: loading it, or opening it as the command
// reference from the main window or from the sequence window (which know fewer countries).
enum class CatalogUse { Load, MainReference, SequenceReference };

// The catalog file of a country below the application directory ("comandos_vn.xml", ...,
// "XML/comandos_pa.xml"; the installed one when the application directory has none). For loading, another country gives "comandos.xml" ("-- Otro --" is
// handled by CarregarCatalogo); for a reference, a country without its own file for that use
// gives the last loaded catalog, else "comandos.xml".
std::string CatalogFileForCountry(const Settings& s, CatalogUse use = CatalogUse::Load);

// The main window's catalog load: chooses the file by the country (asking through the engine's
// user interface for "-- Otro --" and again when the file does not parse), stores the path in
// s.CatalogPath and replaces `list`. 0 on success, -1 when no catalog could be loaded (the list
// is then untouched).
int CarregarCatalogo(Settings& s, std::vector<Comando>& list, std::string* error = nullptr,
                     std::vector<std::string>* warnings = nullptr);

}  // namespace ordavo
