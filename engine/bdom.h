// The XML document class every XML file of the program goes through, on libxml2.
// White-space-only text between elements is kept as text nodes and counts among the child
// nodes; texts cross this class as Windows-1252.
#pragma once

#include <string>
#include <vector>

struct _xmlDoc;
struct _xmlNode;

namespace ordavo {

using BNode = _xmlNode*;
using BNodeList = std::vector<BNode>;

class BDOM {
public:
    BDOM();
    ~BDOM();
    BDOM(const BDOM&) = delete;
    BDOM& operator=(const BDOM&) = delete;

    // 0 when the file loaded and parsed, -1 otherwise (missing, unreadable, not well-formed).
    int Load(const std::string& path);
    // Parses a document held in memory; same results as Load.
    int LoadMemory(const std::string& xml);
    // Why the last Load failed, with the file and line ("catalog.xml:12: ...").
    const std::string& LastError() const { return last_error_; }

    // Every element of the name in `path` ("//name") at any depth, in document order.
    BNodeList SelectNodes(const std::string& path) const;

    static BNodeList ChildNodes(BNode node);
    static int Length(const BNodeList& list) { return static_cast<int>(list.size()); }
    static BNode Item(const BNodeList& list, int index);
    // Element tag name; "#text" for text nodes, "#comment", "#cdata-section".
    static std::string NodeName(BNode node);
    // Concatenated text of the node and its descendants, in Windows-1252.
    static std::string Text(BNode node);
    // Line of the node in the file it was loaded from (0 when unknown).
    static int Line(BNode node);
    // Index in `list` of the occurrence-th node (from 0) named `name`, exact and
    // case-sensitive; -1 when there is none.
    static int FindChild(const BNodeList& list, const std::string& name, int occurrence);

    // Building: starts an empty document (the XML declaration carries Windows-1252).
    void NewDocument();
    BNode CreateProcessingInstruction(const std::string& target, const std::string& data);
    BNode CreateElement(const std::string& name);
    BNode CreateTextNode(const std::string& text);
    void SetAttribute(BNode element, const std::string& name, const std::string& value);
    void SetText(BNode node, const std::string& text);
    // Appends `child` to `parent`; a null parent appends to the document itself.
    BNode AppendChild(BNode parent, BNode child);
    BNode DocumentElement() const;
    // The document as Windows-1252 bytes.
    std::string Serialize() const;
    // Replaces the file atomically; 0 on success, -1 on failure (the old file stays whole).
    int Save(const std::string& path);

private:
    _xmlDoc* doc_ = nullptr;
    std::string last_error_;
};

}  // namespace ordavo
