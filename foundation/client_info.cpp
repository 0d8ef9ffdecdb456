#include "foundation/client_info.h"

#include <xercesc/dom/DOM.hpp>

#include "foundation/emr_exception.h"
#include "foundation/xml_parser.h"

using namespace xercesc;

namespace {

std::u16string Attribute(const DOMElement* element, const char16_t* name) {
  const XMLCh* value = element->getAttribute(name);
  return value == nullptr ? std::u16string() : std::u16string(value);
}

std::u16string TextContent(const DOMElement* element) {
  const XMLCh* text = element->getTextContent();
  return text == nullptr ? std::u16string() : std::u16string(text);
}

}  // namespace

CClientInfo::CClientInfo(const std::u16string& xml) : xml_(xml) { Parse(xml_); }

CClientInfo::~CClientInfo() = default;

void CClientInfo::Parse(const std::u16string& xml) {
  CXmlStringParser parser(xml);
  const DOMDocument* document = parser.GetDocument();
  if (document == nullptr) throw CEMRException(std::u16string(u"解析属性信息错误."));
  const DOMElement* root = document->getDocumentElement();
  if (root == nullptr) return;
  for (const DOMNode* node = root->getFirstChild(); node != nullptr;
       node = node->getNextSibling()) {
    if (node->getNodeType() != DOMNode::ELEMENT_NODE) continue;
    const auto* element = static_cast<const DOMElement*>(node);
    const std::u16string_view name = element->getNodeName();
    if (name == u"user") {
      user_id_ = Attribute(element, u"id");
      user_code_ = Attribute(element, u"code");
      tech_title_ = Attribute(element, u"techtitle");
      user_name_ = TextContent(element);
    } else if (name == u"dept") {
      dept_id_ = Attribute(element, u"id");
      dept_name_ = TextContent(element);
    } else if (name == u"computer") {
      computer_ip_ = Attribute(element, u"ip");
      computer_name_ = TextContent(element);
    }
  }
}
