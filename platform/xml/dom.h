// korvalis::xml::Document and korvalis::xml::Node: the XML document object model that the
// system's document wrappers stand on, over libxml2.
//
// A document loads text the way the system's clients expect of their platform's DOM:
//   - the text is already decoded (UTF-8 here), so an encoding named in its declaration is
//     ignored, whatever it says;
//   - text nodes holding only white space are dropped on load (outside xml:space="preserve");
//   - no DTD or external entity is ever fetched, from the file system or the network; the
//     entities of an internal subset are expanded into the tree, in text and in attribute
//     values, as an XML reader reads them (entity_expansion.h), while a reference to an
//     external entity stays a leaf without text;
//   - libxml2's limits hold (elements nested deeper than 256 levels make the text fail to
//     load), and ours on entities on top of them: references to entities fail it when together
//     they cost more than 16 MB (their bytes, and 32 for each reference expanded) or open a chain
//     of more than 16 entities each referring to the next (entity_bound.h), whether libxml2
//     expands them (parser_entity_bound.h) or we do; a caller's text that libxml2's own measure
//     of entities refuses is read again without that measure but within ours; a text whose
//     start tags hold more attributes than libxml2 reads in time fails before it is parsed
//     (attribute_work.h);
//   - a text that does not parse leaves the document without any node.
// A Node is a shared handle: it keeps its whole document alive, and nodes that an edit takes
// out of the tree stay valid until the last handle of the document is gone, so a handle can
// never dangle.
//
// All texts are UTF-8.
//
// Thread-safety: a document and its nodes belong to one thread at a time; distinct documents
// may be used on distinct threads.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct _xmlDoc;
struct _xmlNode;
struct _xmlParserCtxt;

namespace korvalis::xml {

class ParserEntityBound;

struct DocumentData;

enum class NodeType {
  kNone,  // an empty handle
  kElement,
  kAttribute,
  kText,
  kCData,
  kEntityReference,
  kProcessingInstruction,
  kComment,
  kDocument,
  kOther,
};

class Node {
 public:
  Node() = default;

  bool IsNull() const { return node_ == nullptr; }
  NodeType Type() const;
  bool IsElement() const { return Type() == NodeType::kElement; }

  // The node's name as written, prefix included ("#text", "#comment", "#cdata-section" and
  // "#document" for those nodes). Empty for an empty handle.
  std::string Name() const;

  // The node's text: for an element or the document, the text and CDATA of all descendants
  // joined; for any other node its own value.
  std::string Text() const;

  // Replaces the node's content by the text: an element loses all its children and gets one
  // text node (none for an empty text); the document is left as it is; any other node gets
  // the text as its value.
  void SetText(std::string_view text);

  // The node's markup, without pretty printing; the escaped text for a text node.
  std::string Xml() const;

  // Attributes of an element, in document order (namespace declarations first).
  std::vector<std::pair<std::string, std::string>> Attributes() const;
  // Precondition: the name is not empty. Answers false when the node has no such attribute.
  bool GetAttribute(std::string_view name, std::string& value) const;
  // Sets an attribute of an element; answers false for any other node or an invalid name.
  bool SetAttribute(std::string_view name, std::string_view value);

  // Children exist for elements and the document only; other nodes have none.
  std::size_t ChildCount() const;
  // Any child of any type; an empty handle when the index is out of range.
  Node ChildAt(std::size_t index) const;
  std::vector<Node> Children() const;

  // The first child element whose name is exactly `name`.
  Node FirstChildElement(std::string_view name) const;
  // The first node (document order) that an XPath query, relative to this node, selects.
  // A plain name is looked up among the child elements directly. An invalid query selects
  // nothing.
  Node SelectSingleNode(std::string_view query) const;
  // All descendant elements named `tag` ("*" for all), in document order.
  std::vector<Node> ElementsByTagName(std::string_view tag) const;

  // Creates an element of this node's document; an empty handle when the name is not a
  // valid element name.
  Node CreateElement(std::string_view name) const;
  // Appends a node created for this document (CreateElement) and not yet in the tree as the
  // last child of this element, or as the document element of a document that has none;
  // nothing for any other node or child.
  void AppendChild(const Node& child);
  // Appends an exact deep copy of `source` (from any document) as the last child of this
  // element and answers it: element, attributes, namespaces and all content, nested and
  // mixed. A text appended after text merges with it; the merged node is answered.
  Node AppendCopy(const Node& source);

 private:
  friend class Document;
  Node(std::shared_ptr<DocumentData> doc, _xmlNode* node) : doc_(std::move(doc)), node_(node) {}

  std::shared_ptr<DocumentData> doc_;
  _xmlNode* node_ = nullptr;
};

class Document {
 public:
  // An empty document, without any node. Throws std::bad_alloc when none can be made.
  Document();
  ~Document();
  Document(Document&&) noexcept;
  Document& operator=(Document&&) noexcept;
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // Who wrote a text to load. XML from callers keeps all of libxml2's limits, among them 10 MB
  // for one text node and for the parser's lookahead; a document the system wrote itself from
  // the rows of its database loads whatever the size of its texts (the system's own bounds
  // hold its size).
  enum class Writer { kCaller, kSystem };

  // Replaces the document by the parsed text, its internal entities expanded into its tree
  // (entity_expansion.h). On failure the document is left empty (no node at all) and false is
  // answered. Parsing is bounded: no network, no external DTD or entity, libxml2's limits on
  // depth and entity expansion and ours on the entities it expands and on expansion into the
  // tree, and for a caller's text on sizes.
  bool LoadXml(std::string_view text, Writer writer = Writer::kCaller);

  // Why the last load failed, as a refusal names it (the bound its entities passed, or the
  // parser's own message); empty after a load that succeeded.
  const std::string& LoadFailure() const { return load_failure_; }

  bool HasDocumentElement() const;
  Node DocumentElement() const;

  // The libxml2 document, for the XSLT processor; null before a successful load.
  _xmlDoc* Native() const;

 private:
  friend class DocumentLoader;
  // Takes the parsed document (null when the text did not parse, or refused for `failure`):
  // false, leaving the document empty, without a document element, and the cause in
  // load_failure_.
  bool Adopt(_xmlDoc* parsed, std::string failure = {});

  std::shared_ptr<DocumentData> data_;
  std::string load_failure_;
};

// A document that the system writes itself, loaded as it is written: each piece of the text is
// parsed when it comes, so that the text is never held whole, and the document is the one that
// Document::LoadXml(pieces joined, Writer::kSystem) loads: same parser, options and clean-up.
//
//   DocumentLoader loader;
//   loader.Append("<?xml version=\"1.0\"?><root>");
//   loader.Append("<row/></root>");
//   Document document;
//   bool loaded = loader.Finish(document);
class DocumentLoader {
 public:
  // Throws std::bad_alloc when no parser can be made.
  DocumentLoader();
  ~DocumentLoader();
  DocumentLoader(const DocumentLoader&) = delete;
  DocumentLoader& operator=(const DocumentLoader&) = delete;

  // Parses the next piece of the text (UTF-8). Once the text is known not to parse, the pieces
  // are passed over. Precondition: the piece ends after a whole character; Finish was not called.
  void Append(std::string_view piece);
  // Ends the text and moves the document into `document`: false, leaving it without any node,
  // when the text does not parse. Precondition: called once.
  bool Finish(Document& document);

 private:
  void Parse(std::string_view piece, bool last);

  _xmlParserCtxt* parser_;
  std::unique_ptr<ParserEntityBound> entities_;
};

// Starts libxml2 once per process, its allocation counted (memory_budget.h); every entry point of
// this folder calls it.
void EnsureLibraryStarted();

}  // namespace korvalis::xml

