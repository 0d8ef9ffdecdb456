#include "emrdoc/his_fee_domain.h"

#include <xercesc/dom/DOMElement.hpp>

#include "emrdoc/his_answer.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/sibling_component.h"
#include "foundation/suite/suite_interfaces.h"
#include "platform/com/scoped_bstr.h"

using korvalis::com::ScopedBstr;
using xercesc::DOMElement;

namespace {

constexpr char16_t kKeyPrefix[] = u"his.fee.";

}  // namespace

void CBHISFeeDomain::Load(CSingleDataSource*) {
  korvalis::Sibling<IHISPatientInfo> his(*DIDUFactory::Instance(), IID_IHISPatientInfo);
  ScopedBstr summary_reply;
  if (FAILED(his->GetFeeInfo(patient_id(), event_no(), summary_reply.out()))) return;
  const CHISAnswer summary(summary_reply.get());
  for (const DOMElement* figure : ElementChildren(summary.GetRoot())) {
    Store(kKeyPrefix + ElementName(figure), TextContent(figure));
  }

  ScopedBstr items_reply;
  if (FAILED(his->GetFeeList(patient_id(), event_no(), items_reply.out()))) return;
  const CHISAnswer items(items_reply.get());
  for (const DOMElement* item : items.FindAll(u"fee")) {
    Store(kKeyPrefix + ElementAttribute(item, u"code"), TextContent(item));
  }
}
