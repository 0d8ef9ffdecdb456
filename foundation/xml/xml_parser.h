// The XML library (Xerces-C) of the system: its start-up, the parse of an XML text held in
// memory (CXmlStringParser), and the helpers of the property bag (EscapeXmlText,
// UnescapeXmlText, GetInnerXml).
//
// Every parse is bounded: no DTD or entity is fetched from outside, the internal entities'
// expansion is held to its bound (xerces_entity_bound.h; a document refused for it is recorded in
// the event log with its cause), and a document nested deeper than kMaxXmlDepth is refused like
// a text that is not well formed, so that no text can exhaust the stack of the code that walks
// the tree.
//
// Thread-safety: StartXmlLibrary and GetDomImplementation may be called from any thread; the
// first call starts the library once. A CXmlStringParser belongs to one thread.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include <xercesc/util/XercesDefs.hpp>

#include "platform/com/bstr.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
class DOMImplementation;
class DOMLSParser;
class DOMLSSerializer;
class DOMNode;
XERCES_CPP_NAMESPACE_END

class XercesEntityBound;

// Starts Xerces once for the process; it is stopped when the process (or the library that
// holds this code) unloads. Code that calls Xerces functions other than through
// GetDomImplementation (Base64, XMLString) calls this first.
void StartXmlLibrary();

// The DOM implementation with the feature "LS" (load and save), after StartXmlLibrary.
// Parsers, documents and serialisers are created from it.
xercesc::DOMImplementation* GetDomImplementation();

// `message`, followed by `cause` when a parse was refused for its entities (cause not empty).
std::u16string WithEntitiesCause(std::u16string_view message, std::string_view cause);

// Deepest element nesting that a parsed document may have.
inline constexpr std::size_t kMaxXmlDepth = 1024;

// Parses an XML text held in memory into a DOM document, once, on the first GetDocument.
// The source is borrowed: it must outlive the object, which is why temporaries are refused.
// The parser owns the document: it is freed with the parser (or by Release), and nothing
// taken from it may be used after that.
class CXmlStringParser {
 public:
  // The UTF-16 code units of a wide text; an encoding named by its declaration is ignored.
  explicit CXmlStringParser(const std::u16string& text);
  explicit CXmlStringParser(std::u16string&&) = delete;
  // The characters of a BSTR (a null BSTR is the empty text).
  explicit CXmlStringParser(BSTR text);
  // The bytes of a narrow text; the encoding is detected from the bytes and the declaration.
  explicit CXmlStringParser(const std::string& text);
  explicit CXmlStringParser(std::string&&) = delete;
  ~CXmlStringParser();
  CXmlStringParser(const CXmlStringParser&) = delete;
  CXmlStringParser& operator=(const CXmlStringParser&) = delete;

  // The parsed document, or null when the text is not well formed (or nests too deep).
  // An empty text, or one of white space only, gives a document without document element.
  xercesc::DOMDocument* GetDocument();

  // Why the last parse was refused for its document's entities (entity_bound.h), empty when it
  // was not: a caller that refuses the text names it.
  std::string_view EntityRefusal() const;

  // Frees the builder and its document now; GetDocument would parse again.
  void Release();

 private:
  const void* source_;
  std::size_t byte_count_;
  bool wide_;
  // The memory of builder_ and its document: freed after them.
  std::unique_ptr<XercesEntityBound> bound_;
  xercesc::DOMLSParser* builder_ = nullptr;
  xercesc::DOMDocument* blank_document_ = nullptr;  // made, not parsed, for a blank text
  xercesc::DOMDocument* document_ = nullptr;
};

// A DOM writer (serialiser) that is released when the object goes out of scope.
class XmlWriter {
 public:
  explicit XmlWriter(xercesc::DOMLSSerializer* serializer);
  ~XmlWriter();
  XmlWriter(const XmlWriter&) = delete;
  XmlWriter& operator=(const XmlWriter&) = delete;

  // The node serialised with the writer's settings (an XML declaration only for a document).
  std::u16string Write(const xercesc::DOMNode* node);

 private:
  xercesc::DOMLSSerializer* serializer_;
};

// "<", ">" and "\"" to "#lt;", "#gt;" and "#quot;", in place, in this order.
void EscapeXmlText(std::u16string& text);
// "#lt;", "#gt;" and "#quot;" back to "<", ">" and "\"", in place, in this order.
void UnescapeXmlText(std::u16string& text);

// The content of an element as text: empty without children; the text content when no
// child is an element; otherwise the markup of its element children, one after the other,
// with any other child between or around them dropped.
std::u16string GetInnerXml(const xercesc::DOMNode* element);
