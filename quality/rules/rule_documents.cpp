#include "quality/rules/rule_documents.h"

#include <xercesc/dom/DOM.hpp>

#include "foundation/xml/dom_elements.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/xml/xml_parser.h"

namespace korvalis::rules {

RuleEvent::RuleEvent(TextRef xml)
    : document_(std::u16string(xml.view()), false, false), root_(document_.GetDocumentElement()) {}

std::u16string RuleEvent::Child(const char16_t* name) { return root_.GetChild(name).GetText(); }

std::u16string RuleEvent::Extend(const char16_t* name) {
  return root_.GetChild(u"extend").GetChild(name).GetText();
}

void RuleEvent::SetChild(const char16_t* name, const std::u16string& text) {
  root_.GetChild(name).SetText(text);
}

std::u16string RuleEvent::Xml() { return document_.GetXml(); }

namespace {

// `read` of every element named `tag` in the list document, in document order.
template <class Read>
std::vector<std::u16string> ReadListElements(BSTR list, const char16_t* tag, Read read) {
  CXmlStringParser parser(list);
  xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr) throw CEMRException(std::u16string(u"无效XML!"));
  std::vector<std::u16string> values;
  for (const xercesc::DOMElement* element : DescendantElementsNamed(document, tag)) {
    values.push_back(read(element));
  }
  return values;
}

}  // namespace

std::vector<std::u16string> ListElementTexts(BSTR list, const char16_t* tag) {
  return ReadListElements(list, tag,
                          [](const xercesc::DOMElement* element) { return TextContent(element); });
}

std::vector<std::u16string> ListElementAttributes(BSTR list, const char16_t* tag,
                                                  const char16_t* attribute) {
  return ReadListElements(list, tag, [attribute](const xercesc::DOMElement* element) {
    return ElementAttribute(element, attribute);
  });
}

}  // namespace korvalis::rules
