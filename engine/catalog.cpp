#include "engine/catalog.h"

#include <cctype>

#include "engine/codepage.h"
#include "engine/env.h"
#include "engine/strings.h"
#include "engine/util.h"
#include "engine/data_directory.h"

namespace ordavo {
namespace {

// Text of the first child element of that name, if there is one.
bool ChildText(const BNodeList& children, const char* name, std::string& out) {
    int index = BDOM::FindChild(children, name, 0);
    if (index < 0) return false;
    out = BDOM::Text(BDOM::Item(children, index));
    return true;
}

const char* const kCatalogDialogTitle = "Lista de comandos (XML)";
const char* const kCatalogDialogExt = "*.xml";
const char* const kCatalogDialogFilter = "Comandos (*.xml)|*.xml|Todos los Archivos (*.*)|*.*||";

}  // namespace

std::string AvisoEscapeInvalido(const std::string& file, int line, const std::string& titulo,
                                const std::string& escape) {
    return Format("%s:%d: el comando \"%s\" tiene un escape inv\xE1lido (\"%s\": m\xE1s de %d "
                  "n\xFAmeros o un n\xFAmero demasiado largo) y no se enviar\xE1",
                  file.c_str(), line, titulo.c_str(), escape.c_str(), Comando::kMaxEscape);
}

Comando LerCmd(BNode cmd, const CmdReadOptions& options, const std::string& file,
               std::vector<std::string>* warnings) {
    Comando c;
    const BNodeList children = BDOM::ChildNodes(cmd);
    std::string text;
    if (ChildText(children, "tipo", text)) c.tipo = text;
    if (options.read_equipamentos && ChildText(children, "equipamentos_hab", text))
        c.equipamentos_hab = AtoiC(text);
    if (ChildText(children, "titulo", text)) c.titulo = text;
    if (ChildText(children, "escape", text) && !c.SetEscape(text) && warnings)
        warnings->push_back(AvisoEscapeInvalido(file, BDOM::Line(cmd), c.titulo, text));
    if (ChildText(children, "tamanho_retorno", text)) c.tamanho_retorno = AtoiC(text);
    if (ChildText(children, "tipo_retorno", text)) c.tipo_retorno = text;

    // Members missing from an element are carried over from the element before it, so one
    // working record walks through the list. The walk also stops at an element that is the
    // very first child node: the files have always been written with indentation, and a
    // list element standing first is read as no list at all.
    Parametro p;
    for (int n = 0;; ++n) {
        int index = BDOM::FindChild(children, "parametro", n);
        if (index <= 0) break;
        const BNodeList pc = BDOM::ChildNodes(BDOM::Item(children, index));
        if (ChildText(pc, "titulo", text)) p.titulo = text;
        if (ChildText(pc, "tamanho", text)) p.tamanho = AtoiC(text);
        if (ChildText(pc, "formato", text)) p.formato = text;
        if (ChildText(pc, "obrigatorio", text)) p.obrigatorio = text == "S" ? 1 : 0;
        if (ChildText(pc, "valor", text))
            p.valor = text;
        else if (!options.inherit_valor)
            p.valor.clear();
        c.AdicionarParametro(p);
    }
    Retorno r;
    for (int n = 0;; ++n) {
        int index = BDOM::FindChild(children, "retorno", n);
        if (index <= 0) break;
        const BNodeList rc = BDOM::ChildNodes(BDOM::Item(children, index));
        if (ChildText(rc, "titulo", text)) r.titulo = text;
        if (ChildText(rc, "tamanho", text)) r.tamanho = AtoiC(text);
        if (ChildText(rc, "formato", text)) r.formato = text;
        c.AdicionarRetorno(r);
    }
    return c;
}

namespace {

// True when the text can be read as UTF-8 as it stands: no declaration, or one naming UTF-8.
bool DeclaresUtf8OrNothing(const std::string& contents) {
    if (contents.compare(0, 5, "<?xml") != 0) return contents.compare(0, 3, "\xEF\xBB\xBF") != 0;
    size_t end = contents.find("?>");
    if (end == std::string::npos || end > 200) return false;
    std::string decl = contents.substr(0, end);
    for (char& ch : decl) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    size_t enc = decl.find("encoding");
    return enc == std::string::npos || decl.find("utf-8", enc) != std::string::npos;
}

}  // namespace

int CarregarArquivoCatalogo(const std::string& path, std::vector<Comando>& out, std::string* error,
                            std::vector<std::string>* warnings) {
    // The usual files go through the one-pass reader; anything unusual (a document type
    // declaration with its entities, another character set, a text that does not parse) through
    // the document tree, which also gives the precise error.
    std::string contents;
    if (ReadWholeFile(path, contents) && contents.find("<!DOCTYPE") == std::string::npos &&
        MostAttributesInOneTag(contents) <= kMaxXmlAttributes) {
        std::vector<std::string> found;
        std::vector<Comando> list;
        bool read = false;
        if (DeclaresWindows1252(contents))
            read = LerCatalogoTexto(Cp1252ToUtf8(contents), path, list, &found) == 0;
        else if (DeclaresUtf8OrNothing(contents))
            read = LerCatalogoTexto(contents, path, list, &found) == 0;
        if (read) {
            out = std::move(list);
            if (warnings) warnings->insert(warnings->end(), found.begin(), found.end());
            return 0;
        }
    }
    BDOM dom;
    if (dom.Load(path) != 0) {
        if (error) *error = dom.LastError().empty() ? path + ": cannot be read" : dom.LastError();
        return -1;
    }
    const BNodeList cmds = dom.SelectNodes("//cmd");
    std::vector<Comando> list;
    list.reserve(cmds.size());
    CmdReadOptions options;
    for (BNode cmd : cmds) list.push_back(LerCmd(cmd, options, path, warnings));
    out = std::move(list);
    return 0;
}

namespace {

// The one table of the countries' catalog files, with the uses each file serves.
struct CountryCatalog {
    const char* country;
    const char* file;
    bool main_reference;
    bool sequence_reference;
};
constexpr CountryCatalog kCountryCatalogs[] = {
    {"CHILE", "comandos_cl.xml", true, true},
    {"VENEZUELA", "comandos_vn.xml", true, true},
    {"LOTERIAS", "comandos_lot.xml", true, false},
    {"REP DOMINICANA", "comandos_rd.xml", false, false},
    {"PANAMA", "XML/comandos_pa.xml", false, false},
};

}  // namespace

std::string CatalogFileForCountry(const Settings& s, CatalogUse use) {
    for (const CountryCatalog& row : kCountryCatalogs) {
        if (s.Country != row.country) continue;
        bool serves = use == CatalogUse::Load || (use == CatalogUse::MainReference && row.main_reference) ||
                      (use == CatalogUse::SequenceReference && row.sequence_reference);
        if (serves) return ApplicationFile(s.AppDirectory, row.file);
        break;
    }
    if (use != CatalogUse::Load && !s.CatalogPath.empty()) return s.CatalogPath;
    return ApplicationFile(s.AppDirectory, "comandos.xml");
}

int CarregarCatalogo(Settings& s, std::vector<Comando>& list, std::string* error,
                     std::vector<std::string>* warnings) {
    UserInterface* ui = EngineEnv().ui;
    std::string path;
    if (s.Country == Str(IDS_OTRO_PAIS)) {
        std::string chosen;
        if (ui->ChooseOpenFile(kCatalogDialogTitle, kCatalogDialogExt, kCatalogDialogFilter, "", chosen))
            path = chosen;
        else
            path = s.AppDirectory + "/comandos.xml";
    } else {
        path = CatalogFileForCountry(s);
    }
    s.CatalogPath = path;

    std::vector<std::string> load_warnings;
    if (CarregarArquivoCatalogo(path, list, error, &load_warnings) == 0) {
        if (warnings) *warnings = std::move(load_warnings);
        return 0;
    }
    // The file of the country is missing or broken: let the user point at another one, once.
    std::string chosen;
    if (!ui->ChooseOpenFile(kCatalogDialogTitle, kCatalogDialogExt, kCatalogDialogFilter, "", chosen)) return -1;
    load_warnings.clear();
    if (CarregarArquivoCatalogo(chosen, list, error, &load_warnings) != 0) return -1;
    s.CatalogPath = chosen;
    if (warnings) *warnings = std::move(load_warnings);
    return 0;
}

}  // namespace ordavo
