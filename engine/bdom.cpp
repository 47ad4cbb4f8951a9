#include "engine/bdom.h"

#include <libxml/hash.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/codepage.h"
#include "engine/util.h"

namespace ordavo {
namespace {

const xmlChar* X(const std::string& s) { return reinterpret_cast<const xmlChar*>(s.c_str()); }

// libxml2 keeps texts as UTF-8; the program keeps them as Windows-1252.
std::string FromXml(const xmlChar* text) {
    if (!text) return {};
    return Utf8ToCp1252(reinterpret_cast<const char*>(text));
}

std::string ToXml(const std::string& cp1252) { return Cp1252ToUtf8(cp1252); }

// White-space text nodes are kept (no XML_PARSE_NOBLANKS); no network and no external
// entities, so a hostile file cannot make the program fetch or read anything else.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR | XML_PARSE_COMPACT;

void CollectByName(xmlNode* node, const std::string& name, BNodeList& out) {
    // Iterative walk in document order: a deeply nested file must not exhaust the stack.
    xmlNode* current = node;
    while (current) {
        if (current->type == XML_ELEMENT_NODE && name == reinterpret_cast<const char*>(current->name))
            out.push_back(current);
        if (current->children && current->type != XML_ENTITY_REF_NODE) {
            current = current->children;
            continue;
        }
        while (current && !current->next && current != node) current = current->parent;
        if (!current || current == node) break;
        current = current->next;
    }
}

std::string DescribeError(const std::string& where) {
    const xmlError* err = xmlGetLastError();
    if (!err || !err->message) return where + ": not a well-formed XML document";
    std::string message = err->message;
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
    if (err->line > 0) return Format("%s:%d: %s", where.c_str(), err->line, message.c_str());
    return where + ": " + message;
}

// Our files never declare entities. A declared entity that is referenced many times expands
// to gigabytes when its text is read, so a file that declares any is refused whole.
bool DeclaresEntities(const xmlDoc* doc) {
    for (const xmlDtd* dtd : {doc->intSubset, doc->extSubset}) {
        if (!dtd) continue;
        for (void* table : {dtd->entities, dtd->pentities})
            if (table && xmlHashSize(static_cast<xmlHashTablePtr>(table)) > 0) return true;
    }
    return false;
}

const char* const kEntitiesRefused = ": entity declarations (<!ENTITY ...>) are not allowed in this file";

}  // namespace

BDOM::BDOM() { xmlInitParser(); }

BDOM::~BDOM() {
    if (doc_) xmlFreeDoc(doc_);
}

int BDOM::Load(const std::string& path) {
    if (doc_) {
        xmlFreeDoc(doc_);
        doc_ = nullptr;
    }
    last_error_.clear();
    xmlResetLastError();
    std::string contents;
    if (!ReadRegularFile(path, contents, &last_error_)) {
        doc_ = nullptr;  // last_error_ says why: missing, a directory, not a regular file
    } else if (contents.size() > static_cast<size_t>(INT32_MAX)) {
        last_error_ = path + ": file too large";
    } else if (MostAttributesInOneTag(contents) > kMaxXmlAttributes) {
        last_error_ = path + ": an element has more than " + std::to_string(kMaxXmlAttributes) + " attributes";
    } else if (DeclaresWindows1252(contents)) {
        // Our files are Windows-1252. Decoding them here is several times faster than
        // through the parser's character-set converter, which matters for large catalogs.
        std::string utf8 = Cp1252ToUtf8(contents);
        doc_ = xmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), path.c_str(), "UTF-8",
                             kParseOptions | XML_PARSE_IGNORE_ENC);
        if (!doc_) last_error_ = DescribeError(path);
    } else {
        doc_ = xmlReadMemory(contents.data(), static_cast<int>(contents.size()), path.c_str(), nullptr,
                             kParseOptions);
        if (!doc_) {
            last_error_ = DescribeError(path);
            // A file without an encoding declaration that holds Windows-1252 bytes is what a
            // person writes by hand with an old editor: read it as Windows-1252.
            if (contents.find("encoding") == std::string::npos) {
                xmlResetLastError();
                std::string utf8 = Cp1252ToUtf8(contents);
                doc_ = xmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), path.c_str(), "UTF-8",
                                     kParseOptions);
                if (doc_) last_error_.clear();
            }
        }
    }
    if (doc_ && DeclaresEntities(doc_)) {
        xmlFreeDoc(doc_);
        doc_ = nullptr;
        last_error_ = path + kEntitiesRefused;
    }
    if (!doc_) {
        // A message for the person, never mixed into what a program reads from standard output.
        std::fputs("Failed to instantiate an XML DOM.\n", stderr);
        return -1;
    }
    return 0;
}

int BDOM::LoadMemory(const std::string& xml) {
    if (doc_) {
        xmlFreeDoc(doc_);
        doc_ = nullptr;
    }
    last_error_.clear();
    xmlResetLastError();
    if (xml.size() > static_cast<size_t>(INT32_MAX)) {
        last_error_ = "document too large";
        return -1;
    }
    if (MostAttributesInOneTag(xml) > kMaxXmlAttributes) {
        last_error_ = "memory.xml: an element has more than " + std::to_string(kMaxXmlAttributes) + " attributes";
        return -1;
    }
    doc_ = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "memory.xml", nullptr, kParseOptions);
    if (doc_ && DeclaresEntities(doc_)) {
        xmlFreeDoc(doc_);
        doc_ = nullptr;
        last_error_ = std::string("memory.xml") + kEntitiesRefused;
        return -1;
    }
    if (!doc_) {
        last_error_ = DescribeError("memory.xml");
        return -1;
    }
    return 0;
}

BNodeList BDOM::SelectNodes(const std::string& path) const {
    BNodeList out;
    if (!doc_) return out;
    std::string name = path;
    if (name.rfind("//", 0) == 0) name = name.substr(2);
    CollectByName(reinterpret_cast<xmlNode*>(doc_), name, out);
    return out;
}

BNodeList BDOM::ChildNodes(BNode node) {
    BNodeList out;
    if (!node) return out;
    for (xmlNode* c = node->children; c; c = c->next) out.push_back(c);
    return out;
}

BNode BDOM::Item(const BNodeList& list, int index) {
    if (index < 0 || index >= static_cast<int>(list.size())) return nullptr;
    return list[static_cast<size_t>(index)];
}

std::string BDOM::NodeName(BNode node) {
    if (!node) return {};
    switch (node->type) {
        case XML_TEXT_NODE:
            return "#text";
        case XML_COMMENT_NODE:
            return "#comment";
        case XML_CDATA_SECTION_NODE:
            return "#cdata-section";
        default:
            return node->name ? FromXml(node->name) : std::string();
    }
}

std::string BDOM::Text(BNode node) {
    if (!node) return {};
    // The common case, an element holding one text node, without building a copy first.
    xmlNode* only = node->children;
    if (node->type == XML_ELEMENT_NODE && only && !only->next && only->type == XML_TEXT_NODE)
        return FromXml(only->content);
    if (node->type == XML_ELEMENT_NODE && !only) return {};
    xmlChar* content = xmlNodeGetContent(node);
    std::string out = FromXml(content);
    xmlFree(content);
    return out;
}

int BDOM::Line(BNode node) { return node ? static_cast<int>(xmlGetLineNo(node)) : 0; }

int BDOM::FindChild(const BNodeList& list, const std::string& name, int occurrence) {
    // Element names are compared as libxml2 holds them (UTF-8), without building a text per
    // node: catalogs of thousands of commands go through here many times per command.
    const bool special = !name.empty() && name[0] == '#';
    bool ascii = true;
    for (unsigned char c : name) ascii &= c < 0x80;
    const std::string converted = ascii ? std::string() : ToXml(name);
    const char* wanted = ascii ? name.c_str() : converted.c_str();
    int seen = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        xmlNode* node = list[i];
        bool match;
        if (special)
            match = NodeName(node) == name;
        else
            match = node && node->type == XML_ELEMENT_NODE && node->name &&
                    std::strcmp(reinterpret_cast<const char*>(node->name), wanted) == 0;
        if (!match) continue;
        if (seen == occurrence) return static_cast<int>(i);
        ++seen;
    }
    return -1;
}

void BDOM::NewDocument() {
    if (doc_) xmlFreeDoc(doc_);
    doc_ = xmlNewDoc(BAD_CAST "1.0");
    last_error_.clear();
}

BNode BDOM::CreateProcessingInstruction(const std::string& target, const std::string& data) {
    if (!doc_) NewDocument();
    // The XML declaration is written by the serializer itself (always naming Windows-1252);
    // a node for it would be a second declaration inside the document.
    if (target == "xml") return nullptr;
    return xmlNewDocPI(doc_, X(ToXml(target)), X(ToXml(data)));
}

BNode BDOM::CreateElement(const std::string& name) {
    if (!doc_) NewDocument();
    return xmlNewDocNode(doc_, nullptr, X(ToXml(name)), nullptr);
}

BNode BDOM::CreateTextNode(const std::string& text) {
    if (!doc_) NewDocument();
    std::string utf8 = ToXml(text);
    return xmlNewDocTextLen(doc_, X(utf8), static_cast<int>(utf8.size()));
}

void BDOM::SetAttribute(BNode element, const std::string& name, const std::string& value) {
    if (!element) return;
    std::string n = ToXml(name);
    // "xml:space" lives in the XML namespace, which every document has bound.
    if (n.rfind("xml:", 0) == 0) {
        xmlNsPtr ns = xmlSearchNs(doc_, element, BAD_CAST "xml");
        if (ns) {
            xmlSetNsProp(element, ns, X(n.substr(4)), X(ToXml(value)));
            return;
        }
    }
    xmlSetProp(element, X(n), X(ToXml(value)));
}

void BDOM::SetText(BNode node, const std::string& text) {
    if (!node) return;
    // Plain text, never markup: characters such as < and & are escaped by the writer.
    xmlChar* escaped = xmlEncodeSpecialChars(doc_, X(ToXml(text)));
    xmlNodeSetContent(node, escaped);
    xmlFree(escaped);
}

BNode BDOM::AppendChild(BNode parent, BNode child) {
    if (!child) return nullptr;
    if (!doc_) NewDocument();
    if (!parent) {
        if (child->type == XML_ELEMENT_NODE) {
            xmlNode* old = xmlDocSetRootElement(doc_, child);
            if (old) xmlFreeNode(old);
            return child;
        }
        return xmlAddChild(reinterpret_cast<xmlNode*>(doc_), child);
    }
    return xmlAddChild(parent, child);
}

BNode BDOM::DocumentElement() const { return doc_ ? xmlDocGetRootElement(doc_) : nullptr; }

std::string BDOM::Serialize() const {
    if (!doc_) return {};
    xmlChar* buffer = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc_, &buffer, &size, "Windows-1252", 0);
    std::string out = buffer ? std::string(reinterpret_cast<char*>(buffer), static_cast<size_t>(size)) : "";
    xmlFree(buffer);
    return out;
}

int BDOM::Save(const std::string& path) {
    if (!doc_) return -1;
    std::string bytes = Serialize();
    if (bytes.empty()) return -1;
    std::string error;
    if (!WriteFileAtomically(path, bytes, &error)) {
        last_error_ = path + ": " + error;
        return -1;
    }
    return 0;
}

}  // namespace ordavo
