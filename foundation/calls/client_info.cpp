#include "foundation/calls/client_info.h"

#include <xercesc/dom/DOM.hpp>

#include "foundation/xml/dom_elements.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/xml/xml_parser.h"

using namespace xercesc;

CClientInfo::CClientInfo(const std::u16string& xml) : xml_(xml) { Parse(xml_); }

CClientInfo::~CClientInfo() = default;

void CClientInfo::Parse(const std::u16string& xml) {
  CXmlStringParser parser(xml);
  const DOMDocument* document = parser.GetDocument();
  if (document == nullptr) {
    throw CEMRException(WithEntitiesCause(u"解析属性信息错误.", parser.EntityRefusal()));
  }
  const DOMElement* root = document->getDocumentElement();
  if (root == nullptr) return;
  for (const DOMElement* element : ElementChildren(root)) {
    const std::u16string name = ElementName(element);
    if (name == u"user") {
      user_id_ = ElementAttribute(element, u"id");
      user_code_ = ElementAttribute(element, u"code");
      tech_title_ = ElementAttribute(element, u"techtitle");
      user_name_ = TextContent(element);
    } else if (name == u"dept") {
      dept_id_ = ElementAttribute(element, u"id");
      dept_name_ = TextContent(element);
    } else if (name == u"computer") {
      computer_ip_ = ElementAttribute(element, u"ip");
      computer_name_ = TextContent(element);
    }
  }
}
