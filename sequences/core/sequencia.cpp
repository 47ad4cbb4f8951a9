#include "sequences/core/sequencia.h"

#include "engine/bdom.h"
#include "engine/catalog.h"
#include "engine/data_directory.h"

namespace ordavo {

int32_t SequenciaComandos::InserirComando(const Comando& c, int32_t position) {
    if (position == -1) {
        comandos.push_back(c);
        return -1;
    }
    if (position < 0 || position > NumeroComandos()) return -1;
    comandos.insert(comandos.begin() + position, c);
    return 0;
}

int32_t SequenciaComandos::RemoverComando(int32_t index) {
    if (index < 0 || index >= NumeroComandos()) return -1;
    comandos.erase(comandos.begin() + index);
    return 0;
}

std::string SequenceFileForCountry(const Settings& s) {
    return ApplicationFile(s.AppDirectory, s.Country == "PANAMA" ? "XML/secuencia_pa.xml" : "secuencia_rd.xml");
}

namespace {

// Appends `text` as a text node and then an element with the given text.
void AddTextElement(BDOM& dom, BNode parent, const char* indent, const char* name, const std::string& text) {
    dom.AppendChild(parent, dom.CreateTextNode(indent));
    BNode e = dom.CreateElement(name);
    if (!text.empty()) dom.SetText(e, text);
    dom.AppendChild(parent, e);
}

void WriteCmd(BDOM& dom, BNode cmd, const Comando& c) {
    const char* const kItem = "\n\t\t\t";
    const char* const kField = "\n\t\t\t\t";
    AddTextElement(dom, cmd, kItem, "tipo", c.tipo);
    AddTextElement(dom, cmd, kItem, "titulo", c.titulo);
    AddTextElement(dom, cmd, kItem, "escape", c.escape);
    AddTextElement(dom, cmd, kItem, "tamanho_retorno", std::to_string(c.tamanho_retorno));
    AddTextElement(dom, cmd, kItem, "tipo_retorno", c.tipo_retorno);
    for (const Parametro& p : c.parametros) {
        dom.AppendChild(cmd, dom.CreateTextNode(kItem));
        BNode e = dom.AppendChild(cmd, dom.CreateElement("parametro"));
        AddTextElement(dom, e, kField, "titulo", p.titulo);
        AddTextElement(dom, e, kField, "valor", p.valor);
        AddTextElement(dom, e, kField, "tamanho", std::to_string(p.tamanho));
        AddTextElement(dom, e, kField, "formato", p.formato);
        AddTextElement(dom, e, kField, "obrigatorio", p.obrigatorio ? "S" : "N");
        dom.AppendChild(e, dom.CreateTextNode(kItem));
    }
    for (const Retorno& r : c.retornos) {
        dom.AppendChild(cmd, dom.CreateTextNode(kItem));
        BNode e = dom.AppendChild(cmd, dom.CreateElement("retorno"));
        AddTextElement(dom, e, kField, "titulo", r.titulo);
        AddTextElement(dom, e, kField, "tamanho", std::to_string(r.tamanho));
        AddTextElement(dom, e, kField, "formato", r.formato);
        dom.AppendChild(e, dom.CreateTextNode(kItem));
    }
    dom.AppendChild(cmd, dom.CreateTextNode("\n\t"));
}

}  // namespace

int32_t ListaSequencias::Salvar(const std::string& path) const {
    BDOM dom;
    dom.NewDocument();
    dom.CreateProcessingInstruction("xml", "version='1.0' encoding='Windows-1252'");
    dom.AppendChild(nullptr, dom.CreateProcessingInstruction("xml-stylesheet", "type='text/xml' href='style.xsl'"));
    BNode root = dom.CreateElement("sequencias");
    dom.SetAttribute(root, "xml:space", "preserve");
    dom.AppendChild(nullptr, root);
    for (const SequenciaComandos& s : sequencias) {
        dom.AppendChild(root, dom.CreateTextNode("\n\t\t"));
        BNode seq = dom.AppendChild(root, dom.CreateElement("sequencia"));
        AddTextElement(dom, seq, "\n\t", "titulo", s.titulo);
        for (const Comando& c : s.comandos) {
            dom.AppendChild(seq, dom.CreateTextNode("\n\t"));
            BNode cmd = dom.AppendChild(seq, dom.CreateElement("cmd"));
            WriteCmd(dom, cmd, c);
        }
        dom.AppendChild(seq, dom.CreateTextNode("\n\t\t"));
    }
    dom.AppendChild(root, dom.CreateTextNode("\n"));
    return dom.Save(path) >= 0 ? 0 : -1;
}

int32_t ListaSequencias::Carregar(const std::string& path, std::string* error) {
    sequencias.clear();
    BDOM dom;
    if (dom.Load(path) != 0) {
        if (error) *error = dom.LastError();
        return -1;
    }
    CmdReadOptions options;
    options.inherit_valor = true;
    options.read_equipamentos = false;
    for (BNode node : dom.SelectNodes("//sequencia")) {
        SequenciaComandos s;
        const BNodeList children = BDOM::ChildNodes(node);
        int t = BDOM::FindChild(children, "titulo", 0);
        if (t >= 0) s.titulo = BDOM::Text(BDOM::Item(children, t));
        // One walk over the children: looking each "cmd" up by its occurrence would start
        // again from the first child every time. As with that lookup, a "cmd" that is the very
        // first child ends the list.
        for (int index = 0; index < static_cast<int>(children.size()); ++index) {
            BNode child = BDOM::Item(children, index);
            if (BDOM::NodeName(child) != "cmd") continue;
            if (index <= 0) break;
            s.comandos.push_back(LerCmd(child, options, path, nullptr));
        }
        sequencias.push_back(std::move(s));
    }
    return 0;
}

}  // namespace ordavo
