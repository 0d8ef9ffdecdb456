#include "foundation/xml/xml_list.h"

#include <xercesc/dom/DOM.hpp>

#include "foundation/xml/dom_elements.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/xml/xml_parser.h"

namespace korvalis {

namespace {

std::u16string TextOf(const XMLCh* text) {
  return text == nullptr ? std::u16string() : std::u16string(text);
}

}  // namespace

std::vector<ListElement> ReadListElements(const xercesc::DOMNode* scope, std::u16string_view tag,
                                          std::initializer_list<std::u16string_view> attributes) {
  std::vector<ListElement> elements;
  if (scope == nullptr) return elements;
  const std::vector<const xercesc::DOMElement*> found = DescendantElementsNamed(scope, tag);
  elements.reserve(found.size());
  std::vector<std::u16string> attribute_names(attributes.begin(), attributes.end());
  for (const xercesc::DOMElement* element : found) {
    ListElement& read = elements.emplace_back();
    read.attributes.reserve(attribute_names.size());
    for (const std::u16string& attribute : attribute_names) {
      read.attributes.push_back(TextOf(element->getAttribute(attribute.c_str())));
    }
    read.text = TextOf(element->getTextContent());
  }
  return elements;
}

std::vector<ListElement> ReadListElements(BSTR list, std::u16string_view tag,
                                          std::initializer_list<std::u16string_view> attributes) {
  CXmlStringParser parser(list);
  const xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr) throw CEMRException(std::u16string(u"无效XML!"));
  return ReadListElements(document, tag, attributes);
}

}  // namespace korvalis
