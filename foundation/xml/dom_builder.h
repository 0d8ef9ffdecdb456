// DomDocumentBuilder: a small XML document built in memory with the XML library's DOM and
// written out by its DOM writer with the default settings: an XML declaration naming UTF-16,
// no added white space. Texts and attribute values are set as they are, so the writer
// escapes them ("&", "<", ">" in text; "&", "<", '"' in attributes).
//
//   korvalis::DomDocumentBuilder document(u"root");
//   xercesc::DOMElement* dept = document.Append(document.root(), u"dept", u"心血管内科");
//   document.SetAttribute(dept, u"id", u"0101");
//   std::u16string text = document.Write();
//
// Thread-safety: an object and the nodes it hands out belong to one thread; the nodes live as
// long as the object.
#pragma once

#include <string>
#include <string_view>
#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
class DOMElement;
XERCES_CPP_NAMESPACE_END

namespace korvalis {

// The message of a document that the writer cannot write: a text holding a character that
// XML cannot carry.
inline constexpr char16_t kUnwritableXmlMessage[] = u"XML文档含有不允许的字符.";

class DomDocumentBuilder {
 public:
  // A document whose document element is named `root_name`.
  explicit DomDocumentBuilder(std::u16string_view root_name);
  ~DomDocumentBuilder();
  DomDocumentBuilder(const DomDocumentBuilder&) = delete;
  DomDocumentBuilder& operator=(const DomDocumentBuilder&) = delete;

  xercesc::DOMDocument* document() const { return document_; }
  xercesc::DOMElement* root() const;

  // Appends a new element `name` to `parent` with `text` as its text (none when empty).
  xercesc::DOMElement* Append(xercesc::DOMElement* parent, std::u16string_view name,
                              std::u16string_view text = {});
  // Appends a copy of `element` of another document, with all its attributes and descendants.
  xercesc::DOMElement* AppendCopy(xercesc::DOMElement* parent, const xercesc::DOMElement* element);

  static void SetAttribute(xercesc::DOMElement* element, std::u16string_view name,
                           std::u16string_view value);
  // Replaces the element's content by `text`.
  static void SetText(xercesc::DOMElement* element, std::u16string_view text);

  // The document with its declaration. Throws CEMRException kUnwritableXmlMessage when a text
  // holds a character that XML cannot carry.
  std::u16string Write() const;

 private:
  xercesc::DOMDocument* document_;
};

// Pieces of a document written by concatenation exactly as DomDocumentBuilder::Write writes
// them, for lists too long to build as a DOM first: its declaration, element text ("&", "<",
// ">" and carriage return as references) and attribute values ("&", "<", '"', tab, line feed
// and carriage return as references). The appenders throw CEMRException
// kUnwritableXmlMessage for a character that XML cannot carry, as the writer fails.
inline constexpr char16_t kDomDeclaration[] =
    u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?>";
void AppendDomText(std::u16string& out, std::u16string_view text);
void AppendDomAttributeValue(std::u16string& out, std::u16string_view value);

// A parsed or built document written as DomDocumentBuilder::Write writes its own: with its
// declaration naming UTF-16, attributes in name order. Throws CEMRException
// kUnwritableXmlMessage when a text holds a character that XML cannot carry.
std::u16string WriteDomDocument(const xercesc::DOMDocument* document);

}  // namespace korvalis
