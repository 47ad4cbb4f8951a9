#include "sim/catalog.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <unistd.h>

#include <filesystem>

#include "engine/codepage.h"
#include "engine/util.h"
#include "engine/data_directory.h"

namespace ordavo::sim {
namespace {

constexpr int kMaxAnswer = 65535;

std::string NodeText(xmlNode* node) {
    xmlChar* c = xmlNodeGetContent(node);
    if (!c) return {};
    std::string utf8(reinterpret_cast<const char*>(c));
    xmlFree(c);
    return Utf8ToCp1252(utf8);
}

std::string Name(xmlNode* node) {
    if (node->type != XML_ELEMENT_NODE) return "#other";
    return reinterpret_cast<const char*>(node->name);
}

// The first child element of `parent` with the name, or null.
xmlNode* First(xmlNode* parent, const char* name) {
    for (xmlNode* c = parent->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && Name(c) == name) return c;
    return nullptr;
}

// The n-th occurrence of a child named `name`, following the loader's rule: the search stops
// when the occurrence found is the very first child node of the command.
std::vector<xmlNode*> Occurrences(xmlNode* cmd, const char* name) {
    std::vector<xmlNode*> out;
    int position = 0;
    for (xmlNode* c = cmd->children; c; c = c->next, ++position) {
        if (c->type == XML_ELEMENT_NODE && Name(c) == name) {
            if (position == 0) break;
            out.push_back(c);
        }
    }
    return out;
}

void CollectCmds(xmlNode* node, std::vector<xmlNode*>& out) {
    for (xmlNode* n = node; n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE) continue;
        if (Name(n) == "cmd") out.push_back(n);
        CollectCmds(n->children, out);
    }
}

}  // namespace

bool ParseEscape(const std::string& text, std::vector<uint8_t>& out) {
    out.clear();
    size_t start = 0;
    while (true) {
        const size_t space = text.find(' ', start);
        const std::string piece =
            text.substr(start, space == std::string::npos ? std::string::npos : space - start);
        if (piece.size() > 5 || out.size() >= 10) return false;
        out.push_back(static_cast<uint8_t>(AtoiC(piece) & 0xFF));
        if (space == std::string::npos) break;
        start = space + 1;
    }
    return true;
}

bool Catalog::Load(const std::string& path, std::string* error, std::vector<std::string>* warnings) {
    xmlDoc* doc =
        xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!doc) {
        if (error) {
            const xmlError* e = xmlGetLastError();
            *error =
                path + ": " + (e && e->message ? std::string(e->message) : std::string("cannot be read"));
            while (!error->empty() && error->back() == '\n') error->pop_back();
        }
        return false;
    }
    std::vector<xmlNode*> cmds;
    CollectCmds(xmlDocGetRootElement(doc), cmds);
    for (xmlNode* cmd : cmds) {
        CatalogCommand c;
        c.file = path;
        c.line = static_cast<int>(xmlGetLineNo(cmd));
        if (xmlNode* n = First(cmd, "tipo")) c.tipo = NodeText(n);
        if (xmlNode* n = First(cmd, "titulo")) c.titulo = NodeText(n);
        if (xmlNode* n = First(cmd, "equipamentos_hab")) c.equipamentos_hab = AtoiC(NodeText(n));
        if (xmlNode* n = First(cmd, "tamanho_retorno")) c.tamanho_retorno = AtoiC(NodeText(n));
        if (xmlNode* n = First(cmd, "escape")) {
            c.escape_text = NodeText(n);
            if (!ParseEscape(c.escape_text, c.escape)) {
                if (warnings)
                    warnings->push_back(path + ":" + std::to_string(c.line) + ": escape \"" + c.escape_text +
                                        "\" cannot be sent; command left out");
                continue;
            }
        }
        ParamDef p;  // carries what the next parameter leaves out
        for (xmlNode* e : Occurrences(cmd, "parametro")) {
            if (xmlNode* n = First(e, "titulo")) p.titulo = NodeText(n);
            if (xmlNode* n = First(e, "tamanho")) p.tamanho = AtoiC(NodeText(n));
            if (xmlNode* n = First(e, "formato")) p.formato = NodeText(n);
            if (xmlNode* n = First(e, "obrigatorio")) p.obrigatorio = NodeText(n) == "S";
            c.params.push_back(p);
        }
        FieldDef f;
        for (xmlNode* e : Occurrences(cmd, "retorno")) {
            if (xmlNode* n = First(e, "titulo")) f.titulo = NodeText(n);
            if (xmlNode* n = First(e, "tamanho")) f.tamanho = AtoiC(NodeText(n));
            if (xmlNode* n = First(e, "formato")) f.formato = NodeText(n);
            c.returns.push_back(f);
        }
        // No printer answers more than a few kilobytes; an absurd size would only make the
        // simulator allocate for an answer nobody can read.
        bool sane = c.tamanho_retorno >= -2 && c.tamanho_retorno <= kMaxAnswer;
        for (const FieldDef& r : c.returns) sane = sane && r.tamanho >= 0 && r.tamanho <= kMaxAnswer;
        for (const ParamDef& q : c.params) sane = sane && q.tamanho >= 0 && q.tamanho <= kMaxAnswer;
        if (!sane) {
            if (warnings)
                warnings->push_back(path + ":" + std::to_string(c.line) + ": \"" + c.escape_text +
                                    "\": sizes outside 0 to " + std::to_string(kMaxAnswer) +
                                    " bytes; command left out");
            continue;
        }
        commands_.push_back(std::move(c));
    }
    xmlFreeDoc(doc);
    files_.push_back(path);
    return true;
}

const CatalogCommand* Catalog::Find(const uint8_t* payload, size_t size) const {
    const CatalogCommand* best = nullptr;
    for (const CatalogCommand& c : commands_) {
        if (c.tipo == "TESTE" || c.escape.empty() || c.escape.size() > size) continue;
        if (!std::equal(c.escape.begin(), c.escape.end(), payload)) continue;
        if (!best || c.escape.size() > best->escape.size()) best = &c;
    }
    return best;
}

std::vector<std::string> DefaultCatalogs() {
    static const char* kNames[] = {"comandos_vn.xml", "comandos_cl.xml",     "comandos_lot.xml",
                                   "comandos_rd.xml", "XML/comandos_pa.xml", "comandos.xml"};
    // Beside the program (the build tree links the sample catalogs there), then the installed
    // data directory.
    std::vector<std::string> dirs;
    std::error_code ec;
    if (const std::string program = ProgramDirectory(); !program.empty()) {
        dirs.push_back(program);
        dirs.push_back(program + "/catalogs");
    }
    if (const std::string data = InstalledDataDirectory(); !data.empty()) dirs.push_back(data);
    for (const std::string& dir : dirs) {
        if (!std::filesystem::exists(dir + "/comandos_vn.xml", ec)) continue;
        std::vector<std::string> out;
        for (const char* n : kNames)
            if (std::filesystem::exists(dir + "/" + n, ec)) out.push_back(dir + "/" + n);
        return out;
    }
    return {};
}

}  // namespace ordavo::sim
