#include "emrdoc/his_operation_domain.h"

#include <vector>
#include <xercesc/dom/DOMElement.hpp>

#include "emrdoc/his_answer.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/sibling_component.h"
#include "foundation/text/string_util.h"
#include "foundation/suite/suite_interfaces.h"
#include "platform/com/scoped_bstr.h"

using xercesc::DOMElement;

namespace {

constexpr const char16_t* kOperationAttributes[] = {u"icd",        u"date",       u"operator",
                                                    u"assistant1", u"assistant2", u"anaes",
                                                    u"open",       u"close",      u"anaesdoctor"};

}  // namespace

void CBHISOperationDomain::Load(CSingleDataSource*) {
  korvalis::Sibling<IHISPatientInfo> his(*DIDUFactory::Instance(), IID_IHISPatientInfo);
  korvalis::com::ScopedBstr reply;
  if (FAILED(his->GetOperationInfo(patient_id(), event_no(), reply.out()))) return;

  const CHISAnswer operations(reply.get());
  const std::vector<const DOMElement*> children = ElementChildren(operations.GetRoot());
  auto store_operation = [this](const DOMElement* operation, const std::u16string& prefix) {
    Store(prefix + u"name", TextContent(operation));
    for (const char16_t* attribute : kOperationAttributes) {
      Store(prefix + attribute, ElementAttribute(operation, attribute));
    }
  };
  int n = 0;
  for (const DOMElement* operation : children) {
    store_operation(operation, u"his.operation." + IntToString(++n) + u".");
  }
  if (children.empty()) return;
  const DOMElement* last = children.back();
  store_operation(last, u"his.operation.");
  Store(u"his.operation.open_close",
        ElementAttribute(last, u"open") + u"/" + ElementAttribute(last, u"close"));
}
