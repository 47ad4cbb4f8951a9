// The catalog read in one pass over the text, without building a document tree: a catalog of
// thousands of commands loads several times faster this way. The rules are those of LerCmd over
// a tree (first occurrence wins, members carried from one list element to the next, a list
// element standing as the very first child node is no list at all, cmd at any depth); the
// catalog fuzzer checks that both readings agree.
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <cstring>

#include "engine/catalog.h"
#include "engine/codepage.h"
#include "engine/util.h"

namespace ordavo {
namespace {

// Single-valued children of cmd, in the order LerCmd applies them.
enum CmdField { kTipo, kEquipamentos, kTitulo, kEscape, kTamanhoRetorno, kTipoRetorno, kCmdFields };
const char* const kCmdFieldNames[kCmdFields] = {"tipo", "equipamentos_hab", "titulo", "escape", "tamanho_retorno",
                                                "tipo_retorno"};
// Children of parametro (all five) and retorno (the first three).
enum ListField { kLTitulo, kLTamanho, kLFormato, kLObrigatorio, kLValor, kListFields };
const char* const kListFieldNames[kListFields] = {"titulo", "tamanho", "formato", "obrigatorio", "valor"};

int IndexOf(const char* const* names, int count, const char* name) {
    for (int i = 0; i < count; ++i)
        if (std::strcmp(names[i], name) == 0) return i;
    return -1;
}

struct OpenCmd {
    int depth = 0;
    size_t slot = 0;
    int line = 0;
    Comando c;
    int children = 0;
    bool last_child_was_text = false;
    bool first_is_parametro = false;
    bool first_is_retorno = false;
    bool seen[kCmdFields] = {};
    std::string values[kCmdFields];

    // The direct child element being read, if any.
    bool in_child = false;
    int child_field = -1;  // a CmdField, or -1
    int list_kind = 0;     // 1 parametro, 2 retorno, 0 other
    std::string child_text;
    // Inside a parametro or retorno: its field being read and the first values of each.
    bool list_seen[kListFields] = {};
    std::string list_values[kListFields];
    int sub_field = -1;
    bool in_sub = false;
    std::string sub_text;

    Parametro p;
    Retorno r;
};

struct State {
    xmlParserCtxtPtr ctxt = nullptr;
    int depth = 0;
    std::vector<OpenCmd> open;
    std::vector<Comando>* out = nullptr;
    std::vector<std::pair<size_t, std::pair<int, std::string>>> escape_texts;  // for warnings
    const std::string* file = nullptr;
    std::vector<std::string>* warnings = nullptr;
};

std::string Cp(const std::string& utf8) { return Utf8ToCp1252(utf8); }

// A node that is not an element (text, CDATA, comment, instruction) directly inside a cmd.
void ChildNode(State& st, bool is_text) {
    for (OpenCmd& o : st.open) {
        if (st.depth != o.depth) continue;
        // Adjacent character chunks are one text node.
        if (is_text && o.last_child_was_text) continue;
        ++o.children;
        o.last_child_was_text = is_text;
    }
}

// Character data (text or CDATA) goes into the field being read, if it is one that counts.
void AppendText(State& st, const xmlChar* ch, int len) {
    for (OpenCmd& o : st.open) {
        if (o.in_child && o.list_kind == 0 && o.child_field >= 0 && !o.seen[o.child_field])
            o.child_text.append(reinterpret_cast<const char*>(ch), static_cast<size_t>(len));
        if (o.in_sub) o.sub_text.append(reinterpret_cast<const char*>(ch), static_cast<size_t>(len));
    }
}

void OnText(void* ctx, const xmlChar* ch, int len) {
    State& st = *static_cast<State*>(static_cast<xmlParserCtxtPtr>(ctx)->_private);
    AppendText(st, ch, len);
    ChildNode(st, true);
}

void OnCdata(void* ctx, const xmlChar* ch, int len) {
    State& st = *static_cast<State*>(static_cast<xmlParserCtxtPtr>(ctx)->_private);
    AppendText(st, ch, len);
    ChildNode(st, false);  // a CDATA section is a node of its own, never merged with text
}

void OnComment(void* ctx, const xmlChar*) {
    ChildNode(*static_cast<State*>(static_cast<xmlParserCtxtPtr>(ctx)->_private), false);
}

void OnInstruction(void* ctx, const xmlChar*, const xmlChar*) {
    ChildNode(*static_cast<State*>(static_cast<xmlParserCtxtPtr>(ctx)->_private), false);
}

void OnStart(void* ctx, const xmlChar* localname, const xmlChar*, const xmlChar*, int, const xmlChar**, int, int,
             const xmlChar**) {
    xmlParserCtxtPtr parser = static_cast<xmlParserCtxtPtr>(ctx);
    State& st = *static_cast<State*>(parser->_private);
    const char* name = reinterpret_cast<const char*>(localname);
    ++st.depth;
    for (OpenCmd& o : st.open) {
        if (st.depth == o.depth + 1) {
            ++o.children;
            o.last_child_was_text = false;
            if (o.children == 1) {
                o.first_is_parametro = std::strcmp(name, "parametro") == 0;
                o.first_is_retorno = std::strcmp(name, "retorno") == 0;
            }
            o.in_child = true;
            o.child_text.clear();
            o.child_field = IndexOf(kCmdFieldNames, kCmdFields, name);
            o.list_kind = std::strcmp(name, "parametro") == 0 ? 1 : std::strcmp(name, "retorno") == 0 ? 2 : 0;
            if (o.list_kind) {
                for (bool& s : o.list_seen) s = false;
            }
        } else if (st.depth == o.depth + 2 && o.in_child && o.list_kind) {
            o.sub_field = IndexOf(kListFieldNames, o.list_kind == 1 ? kListFields : 3, name);
            o.in_sub = o.sub_field >= 0 && !o.list_seen[o.sub_field];
            o.sub_text.clear();
        }
    }
    if (std::strcmp(name, "cmd") == 0) {
        OpenCmd o;
        o.depth = st.depth;
        o.slot = st.out->size();
        o.line = xmlSAX2GetLineNumber(parser);
        st.out->emplace_back();
        st.open.push_back(std::move(o));
    }
}

void FinishCmd(State& st, OpenCmd& o) {
    Comando& c = o.c;
    if (o.seen[kTipo]) c.tipo = Cp(o.values[kTipo]);
    if (o.seen[kEquipamentos]) c.equipamentos_hab = AtoiC(o.values[kEquipamentos]);
    if (o.seen[kTitulo]) c.titulo = Cp(o.values[kTitulo]);
    if (o.seen[kEscape]) {
        std::string text = Cp(o.values[kEscape]);
        if (!c.SetEscape(text) && st.warnings)
            st.warnings->push_back(AvisoEscapeInvalido(*st.file, o.line, c.titulo, text));
    }
    if (o.seen[kTamanhoRetorno]) c.tamanho_retorno = AtoiC(o.values[kTamanhoRetorno]);
    if (o.seen[kTipoRetorno]) c.tipo_retorno = Cp(o.values[kTipoRetorno]);
    if (o.first_is_parametro) c.parametros.clear();
    if (o.first_is_retorno) c.retornos.clear();
    (*st.out)[o.slot] = std::move(c);
}

void FinishListElement(OpenCmd& o) {
    if (o.list_kind == 1) {
        Parametro& p = o.p;
        if (o.list_seen[kLTitulo]) p.titulo = Cp(o.list_values[kLTitulo]);
        if (o.list_seen[kLTamanho]) p.tamanho = AtoiC(o.list_values[kLTamanho]);
        if (o.list_seen[kLFormato]) p.formato = Cp(o.list_values[kLFormato]);
        if (o.list_seen[kLObrigatorio]) p.obrigatorio = o.list_values[kLObrigatorio] == "S" ? 1 : 0;
        p.valor = o.list_seen[kLValor] ? Cp(o.list_values[kLValor]) : std::string();
        o.c.AdicionarParametro(p);
    } else {
        Retorno& r = o.r;
        if (o.list_seen[kLTitulo]) r.titulo = Cp(o.list_values[kLTitulo]);
        if (o.list_seen[kLTamanho]) r.tamanho = AtoiC(o.list_values[kLTamanho]);
        if (o.list_seen[kLFormato]) r.formato = Cp(o.list_values[kLFormato]);
        o.c.AdicionarRetorno(r);
    }
}

void OnEnd(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
    State& st = *static_cast<State*>(static_cast<xmlParserCtxtPtr>(ctx)->_private);
    // A cmd ends before the element that holds it.
    if (!st.open.empty() && st.open.back().depth == st.depth) {
        FinishCmd(st, st.open.back());
        st.open.pop_back();
    }
    for (OpenCmd& o : st.open) {
        if (o.in_sub && st.depth == o.depth + 2) {
            o.list_seen[o.sub_field] = true;
            o.list_values[o.sub_field] = std::move(o.sub_text);
            o.in_sub = false;
        } else if (o.in_child && st.depth == o.depth + 1) {
            if (o.list_kind) {
                FinishListElement(o);
            } else if (o.child_field >= 0 && !o.seen[o.child_field]) {
                o.seen[o.child_field] = true;
                o.values[o.child_field] = std::move(o.child_text);
            }
            o.in_child = false;
            o.list_kind = 0;
        }
    }
    --st.depth;
}

}  // namespace

int LerCatalogoTexto(const std::string& utf8, const std::string& file, std::vector<Comando>& out,
                     std::vector<std::string>* warnings) {
    if (utf8.size() > static_cast<size_t>(INT32_MAX)) return -1;
    xmlSAXHandler handler{};
    xmlSAXVersion(&handler, 2);
    handler.startElementNs = OnStart;
    handler.endElementNs = OnEnd;
    handler.characters = OnText;
    handler.ignorableWhitespace = OnText;
    handler.cdataBlock = OnCdata;
    handler.comment = OnComment;
    handler.processingInstruction = OnInstruction;
    handler.startElement = nullptr;
    handler.endElement = nullptr;
    handler.reference = nullptr;
    handler.warning = nullptr;
    handler.error = nullptr;
    handler.serror = nullptr;

    xmlParserCtxtPtr ctxt = xmlCreateMemoryParserCtxt(utf8.data(), static_cast<int>(utf8.size()));
    if (!ctxt) return -1;
    xmlSAXHandlerPtr original = ctxt->sax;
    ctxt->sax = &handler;
    std::vector<Comando> list;
    std::vector<std::string> found;
    State st;
    st.ctxt = ctxt;
    st.out = &list;
    st.file = &file;
    st.warnings = &found;
    ctxt->_private = &st;
    xmlCtxtUseOptions(ctxt, XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR | XML_PARSE_IGNORE_ENC);
    xmlSwitchEncoding(ctxt, XML_CHAR_ENCODING_UTF8);
    int rc = xmlParseDocument(ctxt);
    bool ok = rc == 0 && ctxt->wellFormed && st.open.empty();
    ctxt->sax = original;
    if (ctxt->myDoc) {
        xmlFreeDoc(ctxt->myDoc);
        ctxt->myDoc = nullptr;
    }
    xmlFreeParserCtxt(ctxt);
    if (!ok) return -1;
    out = std::move(list);
    if (warnings) warnings->insert(warnings->end(), found.begin(), found.end());
    return 0;
}

}  // namespace ordavo
