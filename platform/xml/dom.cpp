#include "platform/xml/dom.h"

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xpath.h>

#include <iterator>
#include <mutex>
#include <new>
#include <utility>

#include "platform/text/ascii.h"
#include "platform/xml/attribute_work.h"
#include "platform/xml/entity_expansion.h"
#include "platform/xml/memory_budget.h"
#include "platform/xml/parser_entity_bound.h"
#include "platform/xml/quiet_messages.h"

namespace korvalis::xml {

// Owns the libxml2 document and every node that an edit took out of the tree: handles to
// such nodes may still exist, so they are freed only with the document.
struct DocumentData {
  xmlDocPtr doc = nullptr;
  std::vector<xmlNodePtr> detached;

  DocumentData() : doc(xmlNewDoc(BAD_CAST "1.0")) {
    if (doc == nullptr) throw std::bad_alloc();
  }
  explicit DocumentData(xmlDocPtr parsed) : doc(parsed) {}
  ~DocumentData() {
    for (xmlNodePtr node : detached) xmlFreeNode(node);
    xmlFreeDoc(doc);
  }
  DocumentData(const DocumentData&) = delete;
  DocumentData& operator=(const DocumentData&) = delete;
};

namespace {

const xmlChar* Chars(std::string_view text) {
  return reinterpret_cast<const xmlChar*>(text.data());
}

std::string ToString(const xmlChar* text) {
  return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
}

// Takes ownership of a string that libxml2 allocated.
std::string TakeString(xmlChar* text) {
  std::string result = ToString(text);
  xmlFree(text);
  return result;
}

void IgnoreError(void*, xmlErrorPtr) {}

bool HasElementChild(const xmlNode* node) {
  for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) return true;
  }
  return false;
}

bool IsBlankContent(const xmlChar* text) {
  return text == nullptr || korvalis::IsBlank(reinterpret_cast<const char*>(text));
}

// Drops the text nodes that hold only white space, except where xml:space="preserve" holds.
// Iterative, so that no document depth can exhaust the stack.
void DropBlankTextNodes(xmlNodePtr root) {
  std::vector<xmlNodePtr> pending{root};
  while (!pending.empty()) {
    xmlNodePtr parent = pending.back();
    pending.pop_back();
    if (xmlNodeGetSpacePreserve(parent) == 1) continue;
    for (xmlNodePtr child = parent->children; child != nullptr;) {
      xmlNodePtr next = child->next;
      if (child->type == XML_TEXT_NODE && IsBlankContent(child->content)) {
        xmlUnlinkNode(child);
        xmlFreeNode(child);
      } else if (child->type == XML_ELEMENT_NODE) {
        pending.push_back(child);
      }
      child = next;
    }
  }
}

// A plain element name: no character that would make an XPath query of it mean more.
bool IsPlainName(std::string_view query) {
  if (query.empty()) return false;
  for (char c : query) {
    if (c == '/' || c == '[' || c == ']' || c == '@' || c == '(' || c == ')' || c == '*' ||
        c == '|' || c == '=' || c == '\'' || c == '"' || c == ' ' || c == '$' || c == ',' ||
        c == '<' || c == '>' || c == '!') {
      return false;
    }
  }
  return query != "." && query != "..";
}

// Only elements and the document hold a child list of their own: an entity reference's
// children are the entity's shared declaration, and an attribute's are its value.
bool HasChildList(const xmlNode* node) {
  return node != nullptr && (node->type == XML_ELEMENT_NODE || node->type == XML_DOCUMENT_NODE);
}

// Replaces an attribute's value by the text taken literally ("&" is no entity here).
void SetAttributeValue(xmlAttrPtr attr, const std::string& value) {
  xmlNodePtr old_children = attr->children;
  xmlNodePtr text = xmlNewDocText(attr->doc, Chars(value));
  attr->children = attr->last = text;
  if (text != nullptr) text->parent = reinterpret_cast<xmlNodePtr>(attr);
  xmlFreeNodeList(old_children);
}

std::string QualifiedName(xmlNodePtr node) {
  std::string name = ToString(node->name);
  if (node->ns != nullptr && node->ns->prefix != nullptr) {
    name = ToString(node->ns->prefix) + ":" + name;
  }
  return name;
}

// Texts are loaded as already decoded, whatever their declaration names.
constexpr char kLoadEncoding[] = "UTF-8";

// The parser's message of why the text it last read on this thread did not load.
std::string ParserFailure() {
  const xmlError* error = xmlGetLastError();
  std::string message = error == nullptr || error->message == nullptr
                            ? std::string("the text is not a document")
                            : std::string(error->message);
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  return message;
}

int LoadOptions(Document::Writer writer) {
  int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
  if (writer == Document::Writer::kSystem) options |= XML_PARSE_HUGE;
  return options;
}

// A parse's document, or null and why our bound on entities refused it.
struct Parsed {
  xmlDocPtr doc = nullptr;
  std::string_view refused;
};

// Precondition: the text is not empty and its length fits an int.
Parsed Read(std::string_view text, int options) {
  xmlParserCtxtPtr parser = xmlNewParserCtxt();
  if (parser == nullptr) throw std::bad_alloc();
  Parsed parsed;
  {
    ParserEntityBound entities(parser);
    ParserEntityBound::Parsing parsing(entities);
    parsed.doc = xmlCtxtReadMemory(parser, text.data(), static_cast<int>(text.size()), nullptr,
                                   kLoadEncoding, options);
    parsed.refused = entities.Refused();
  }
  xmlFreeParserCtxt(parser);
  if (!parsed.refused.empty()) {
    xmlFreeDoc(parsed.doc);
    parsed.doc = nullptr;
  }
  return parsed;
}

// The limits the parser holds a caller's text to, beside its measure of entities: elements
// nested 257 deep at most, texts under 10,000,000 bytes. Answers the one `doc` passes, as the
// parser names it, or nothing.
std::string CallerLimitPassed(xmlDocPtr doc) {
  constexpr std::size_t kMaxDepth = 257;
  constexpr std::size_t kMaxText = 10'000'000;
  std::vector<std::pair<xmlNodePtr, std::size_t>> pending{{xmlDocGetRootElement(doc), 1}};
  while (!pending.empty()) {
    auto [element, depth] = pending.back();
    pending.pop_back();
    if (depth > kMaxDepth) return "Excessive depth in document: 256 use XML_PARSE_HUGE option";
    for (xmlNodePtr child = element->children; child != nullptr; child = child->next) {
      if (child->type == XML_ELEMENT_NODE) pending.emplace_back(child, depth + 1);
      if (child->content != nullptr &&
          static_cast<std::size_t>(xmlStrlen(child->content)) >= kMaxText) {
        return "a text is longer than 10,000,000 bytes";
      }
    }
  }
  return {};
}

}  // namespace

void EnsureLibraryStarted() {
  static std::once_flag started;
  std::call_once(started, [] {
    InstallCountingAllocator();
    xmlInitParser();
  });
}

// ---- Node ----

NodeType Node::Type() const {
  if (node_ == nullptr) return NodeType::kNone;
  switch (node_->type) {
    case XML_ELEMENT_NODE: return NodeType::kElement;
    case XML_ATTRIBUTE_NODE: return NodeType::kAttribute;
    case XML_TEXT_NODE: return NodeType::kText;
    case XML_CDATA_SECTION_NODE: return NodeType::kCData;
    case XML_ENTITY_REF_NODE: return NodeType::kEntityReference;
    case XML_PI_NODE: return NodeType::kProcessingInstruction;
    case XML_COMMENT_NODE: return NodeType::kComment;
    case XML_DOCUMENT_NODE: return NodeType::kDocument;
    default: return NodeType::kOther;
  }
}

std::string Node::Name() const {
  switch (Type()) {
    case NodeType::kNone: return std::string();
    case NodeType::kElement:
    case NodeType::kAttribute: return QualifiedName(node_);
    case NodeType::kText: return "#text";
    case NodeType::kCData: return "#cdata-section";
    case NodeType::kComment: return "#comment";
    case NodeType::kDocument: return "#document";
    default: return ToString(node_->name);
  }
}

std::string Node::Text() const {
  if (node_ == nullptr) return std::string();
  return TakeString(xmlNodeGetContent(node_));
}

void Node::SetText(std::string_view text) {
  if (node_ == nullptr) return;
  const std::string value(text);
  switch (node_->type) {
    case XML_ELEMENT_NODE:
      break;
    case XML_DOCUMENT_NODE:  // a document holds markup, never text: its content stays
      return;
    case XML_ATTRIBUTE_NODE:
      SetAttributeValue(reinterpret_cast<xmlAttrPtr>(node_), value);
      return;
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
      xmlNodeSetContent(node_, Chars(value));
      return;
    default:  // an entity reference stands for its declaration and is not changed
      return;
  }
  for (xmlNodePtr child = node_->children; child != nullptr;) {
    xmlNodePtr next = child->next;
    xmlUnlinkNode(child);
    doc_->detached.push_back(child);
    child = next;
  }
  if (!value.empty()) {
    xmlAddChild(node_, xmlNewDocTextLen(doc_->doc, Chars(value), static_cast<int>(value.size())));
  }
}

std::string Node::Xml() const {
  if (node_ == nullptr) return std::string();
  xmlBufferPtr buffer = xmlBufferCreate();
  if (buffer == nullptr) return std::string();
  std::string result;
  if (node_->type == XML_DOCUMENT_NODE) {
    for (xmlNodePtr child = node_->children; child != nullptr; child = child->next) {
      xmlNodeDump(buffer, doc_->doc, child, 0, 0);
      xmlBufferAdd(buffer, BAD_CAST "\r\n", 2);
    }
  } else {
    xmlNodeDump(buffer, doc_->doc, node_, 0, 0);
  }
  result = ToString(xmlBufferContent(buffer));
  xmlBufferFree(buffer);
  return result;
}

std::vector<std::pair<std::string, std::string>> Node::Attributes() const {
  std::vector<std::pair<std::string, std::string>> result;
  if (node_ == nullptr || node_->type != XML_ELEMENT_NODE) return result;
  for (xmlNsPtr ns = node_->nsDef; ns != nullptr; ns = ns->next) {
    std::string name = ns->prefix == nullptr ? "xmlns" : "xmlns:" + ToString(ns->prefix);
    result.emplace_back(std::move(name), ToString(ns->href));
  }
  for (xmlAttrPtr attr = node_->properties; attr != nullptr; attr = attr->next) {
    result.emplace_back(QualifiedName(reinterpret_cast<xmlNodePtr>(attr)),
                        TakeString(xmlNodeListGetString(doc_->doc, attr->children, 1)));
  }
  return result;
}

bool Node::GetAttribute(std::string_view name, std::string& value) const {
  if (node_ == nullptr || node_->type != XML_ELEMENT_NODE || name.empty()) return false;
  for (xmlAttrPtr attr = node_->properties; attr != nullptr; attr = attr->next) {
    if (QualifiedName(reinterpret_cast<xmlNodePtr>(attr)) == name) {
      value = TakeString(xmlNodeListGetString(doc_->doc, attr->children, 1));
      return true;
    }
  }
  return false;
}

bool Node::SetAttribute(std::string_view name, std::string_view value) {
  if (node_ == nullptr || node_->type != XML_ELEMENT_NODE) return false;
  const std::string attr_name(name);
  if (xmlValidateName(Chars(attr_name), 0) != 0) return false;
  const std::string attr_value(value);
  for (xmlAttrPtr attr = node_->properties; attr != nullptr; attr = attr->next) {
    if (QualifiedName(reinterpret_cast<xmlNodePtr>(attr)) == attr_name) {
      SetAttributeValue(attr, attr_value);
      return true;
    }
  }
  // xmlNewProp keeps a prefixed name as written: no namespace is bound to it.
  return xmlNewProp(node_, Chars(attr_name), Chars(attr_value)) != nullptr;
}

std::size_t Node::ChildCount() const {
  std::size_t count = 0;
  if (!HasChildList(node_)) return 0;
  for (xmlNodePtr child = node_->children; child != nullptr; child = child->next) ++count;
  return count;
}

Node Node::ChildAt(std::size_t index) const {
  if (!HasChildList(node_)) return Node();
  for (xmlNodePtr child = node_->children; child != nullptr; child = child->next) {
    if (index-- == 0) return Node(doc_, child);
  }
  return Node();
}

std::vector<Node> Node::Children() const {
  std::vector<Node> result;
  if (!HasChildList(node_)) return result;
  for (xmlNodePtr child = node_->children; child != nullptr; child = child->next) {
    result.push_back(Node(doc_, child));
  }
  return result;
}

Node Node::FirstChildElement(std::string_view name) const {
  if (!HasChildList(node_)) return Node();
  for (xmlNodePtr child = node_->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && QualifiedName(child) == name) return Node(doc_, child);
  }
  return Node();
}

Node Node::SelectSingleNode(std::string_view query) const {
  if (node_ == nullptr) return Node();
  if (IsPlainName(query)) return FirstChildElement(query);
  const std::string expression(query);
  xmlXPathContextPtr context = xmlXPathNewContext(doc_->doc);
  if (context == nullptr) return Node();
  context->error = IgnoreError;
  QuietMessages quiet;
  Node found;
  if (xmlXPathObjectPtr result = xmlXPathNodeEval(node_, Chars(expression), context)) {
    // A namespace node of a result is a copy that dies with the result: never handed out.
    if (result->type == XPATH_NODESET && result->nodesetval != nullptr &&
        result->nodesetval->nodeNr > 0 &&
        result->nodesetval->nodeTab[0]->type != XML_NAMESPACE_DECL) {
      found = Node(doc_, result->nodesetval->nodeTab[0]);
    }
    xmlXPathFreeObject(result);
  }
  xmlXPathFreeContext(context);
  return found;
}

std::vector<Node> Node::ElementsByTagName(std::string_view tag) const {
  std::vector<Node> result;
  if (!HasChildList(node_)) return result;
  const bool all = tag == "*";
  // Depth-first, document order, without recursion.
  xmlNodePtr current = node_->children;
  while (current != nullptr) {
    if (current->type == XML_ELEMENT_NODE) {
      if (all || QualifiedName(current) == tag) result.push_back(Node(doc_, current));
      if (current->children != nullptr) {
        current = current->children;
        continue;
      }
    }
    while (current != nullptr && current->next == nullptr) {
      current = current->parent;
      if (current == node_) current = nullptr;
    }
    if (current != nullptr) current = current->next;
  }
  return result;
}

Node Node::CreateElement(std::string_view name) const {
  if (doc_ == nullptr) return Node();
  const std::string element_name(name);
  if (element_name.empty() || xmlValidateName(Chars(element_name), 0) != 0) return Node();
  xmlNodePtr element = xmlNewDocNode(doc_->doc, nullptr, Chars(element_name), nullptr);
  if (element == nullptr) return Node();
  doc_->detached.push_back(element);
  return Node(doc_, element);
}

void Node::AppendChild(const Node& child) {
  if (!HasChildList(node_) || child.node_ == nullptr || child.doc_ != doc_) return;
  // A document has one document element at most.
  if (node_->type == XML_DOCUMENT_NODE && HasElementChild(node_)) return;
  // A fresh element is usually the last one created, so the search starts at the back.
  auto& detached = doc_->detached;
  for (auto it = detached.rbegin(); it != detached.rend(); ++it) {
    if (*it == child.node_) {
      detached.erase(std::next(it).base());
      xmlAddChild(node_, child.node_);
      return;
    }
  }
}

Node Node::AppendCopy(const Node& source) {
  if (node_ == nullptr || source.node_ == nullptr || node_->type != XML_ELEMENT_NODE) {
    return Node();
  }
  xmlNodePtr copy = xmlDocCopyNode(source.node_, doc_->doc, 1);
  if (copy == nullptr) return Node();
  // Text nodes appended next to text are merged by libxml2; the merged node is the answer.
  xmlNodePtr added = xmlAddChild(node_, copy);
  if (added == nullptr) {
    xmlFreeNode(copy);
    return Node();
  }
  if (added->type == XML_ELEMENT_NODE) xmlReconciliateNs(doc_->doc, added);
  return Node(doc_, added);
}

// ---- Document ----

Document::Document() : data_(std::make_shared<DocumentData>()) { EnsureLibraryStarted(); }
Document::~Document() = default;
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;

bool Document::LoadXml(std::string_view text, Writer writer) {
  EnsureLibraryStarted();
  xmlResetLastError();
  if (text.empty() || text.size() > static_cast<std::size_t>(INT32_MAX)) return Adopt(nullptr);
  if (AttributesPassParserBound(text)) return Adopt(nullptr, kAttributesRefused);
  Parsed parsed = Read(text, LoadOptions(writer));
  // The parser refuses a caller's entities by its own measure of what they copy, which refuses
  // pages (a 1 KB entity referenced a hundred times, a chain of 16) that the bound of
  // entity_bound.h admits: such a text is read again without that measure, within the parser's
  // other limits and within our bound, which counts every entity the parser expands itself.
  if (parsed.doc == nullptr && parsed.refused.empty() && writer == Writer::kCaller &&
      xmlGetLastError() != nullptr && xmlGetLastError()->code == XML_ERR_ENTITY_LOOP) {
    xmlResetLastError();
    parsed = Read(text, LoadOptions(Writer::kSystem));
    if (parsed.doc != nullptr) {
      if (std::string passed = CallerLimitPassed(parsed.doc); !passed.empty()) {
        xmlFreeDoc(parsed.doc);
        return Adopt(nullptr, std::move(passed));
      }
    }
  }
  return Adopt(parsed.doc, std::string(parsed.refused));
}

bool Document::Adopt(_xmlDoc* parsed, std::string failure) {
  load_failure_ = std::move(failure);
  if (!load_failure_.empty()) {
  } else if (parsed == nullptr || xmlDocGetRootElement(parsed) == nullptr) {
    load_failure_ = ParserFailure();
  } else {
    load_failure_ = ExpandInternalEntities(parsed);
  }
  if (!load_failure_.empty()) {
    xmlFreeDoc(parsed);
    data_ = std::make_shared<DocumentData>();
    return false;
  }
  DropBlankTextNodes(xmlDocGetRootElement(parsed));
  data_ = std::make_shared<DocumentData>(parsed);
  return true;
}

// ---- DocumentLoader ----

DocumentLoader::DocumentLoader() {
  EnsureLibraryStarted();
  parser_ = xmlCreatePushParserCtxt(nullptr, nullptr, nullptr, 0, nullptr);
  if (parser_ == nullptr) throw std::bad_alloc();
  entities_ = std::make_unique<ParserEntityBound>(parser_);
  // As xmlReadMemory with an encoding: the encoding is named to the parser and the input
  // decoded by it, whatever the declaration says.
  xmlResetLastError();
  xmlCtxtUseOptions(parser_, LoadOptions(Document::Writer::kSystem));
  parser_->encoding = xmlStrdup(BAD_CAST kLoadEncoding);
  xmlCharEncodingHandlerPtr utf8 = xmlFindCharEncodingHandler(kLoadEncoding);
  if (parser_->encoding == nullptr || utf8 == nullptr || xmlSwitchToEncoding(parser_, utf8) != 0) {
    xmlFreeParserCtxt(parser_);
    throw std::bad_alloc();
  }
}

DocumentLoader::~DocumentLoader() {
  if (parser_->myDoc != nullptr) xmlFreeDoc(parser_->myDoc);
  xmlFreeParserCtxt(parser_);
}

void DocumentLoader::Append(std::string_view piece) {
  // libxml2 takes a piece's length as an int: a longer one goes in parts, each ending before
  // a character's first byte.
  constexpr std::size_t kMaxPart = std::size_t{1} << 30;
  while (piece.size() > kMaxPart) {
    std::size_t cut = kMaxPart;
    while ((static_cast<unsigned char>(piece[cut]) & 0xC0) == 0x80) --cut;
    Parse(piece.substr(0, cut), false);
    piece.remove_prefix(cut);
  }
  Parse(piece, false);
}

void DocumentLoader::Parse(std::string_view piece, bool last) {
  if (!parser_->wellFormed || parser_->disableSAX) return;
  ParserEntityBound::Parsing parsing(*entities_);
  xmlParseChunk(parser_, piece.data(), static_cast<int>(piece.size()), last ? 1 : 0);
}

bool DocumentLoader::Finish(Document& document) {
  Parse({}, true);
  xmlDocPtr parsed = parser_->myDoc;
  parser_->myDoc = nullptr;
  // As xmlReadMemory: a text that is not well formed gives no document.
  if (!parser_->wellFormed || !entities_->Refused().empty()) {
    xmlFreeDoc(parsed);
    parsed = nullptr;
  }
  return document.Adopt(parsed, std::string(entities_->Refused()));
}

bool Document::HasDocumentElement() const { return xmlDocGetRootElement(data_->doc) != nullptr; }

Node Document::DocumentElement() const {
  xmlNodePtr root = xmlDocGetRootElement(data_->doc);
  return root == nullptr ? Node() : Node(data_, root);
}

_xmlDoc* Document::Native() const { return data_->doc; }

}  // namespace korvalis::xml
