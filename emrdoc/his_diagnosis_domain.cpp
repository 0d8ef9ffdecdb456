#include "emrdoc/his_diagnosis_domain.h"

#include <initializer_list>
#include <xercesc/dom/DOMElement.hpp>

#include "emrdoc/his_answer.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/sibling_component.h"
#include "foundation/text/string_util.h"
#include "foundation/suite/suite_interfaces.h"
#include "platform/com/scoped_bstr.h"

using xercesc::DOMElement;

void CBHISDiagnosisDomain::Load(CSingleDataSource*) {
  korvalis::Sibling<IHISPatientInfo> his(*DIDUFactory::Instance(), IID_IHISPatientInfo);
  korvalis::com::ScopedBstr reply;
  if (FAILED(his->GetDiagnosisInfo(patient_id(), event_no(), reply.out()))) return;

  const CHISAnswer diagnoses(reply.get());
  const DOMElement* clinic = diagnoses.FindFirst(u"clinic");
  const DOMElement* residence = diagnoses.FindFirst(u"residence");
  const DOMElement* finish = diagnoses.FindFirst(u"finish");
  if (clinic == nullptr || residence == nullptr || finish == nullptr) return;

  // Stores the part's attributes `part_attributes` and, per child, its name, its `icd` and
  // its attributes `child_attributes`.
  auto store_part = [this](const DOMElement* part, const std::u16string& prefix,
                           std::initializer_list<const char16_t*> part_attributes,
                           std::initializer_list<const char16_t*> child_attributes) {
    for (const char16_t* attribute : part_attributes) {
      Store(prefix + attribute, ElementAttribute(part, attribute));
    }
    int n = 0;
    for (const DOMElement* child : ElementChildren(part)) {
      const std::u16string child_prefix = prefix + IntToString(++n) + u".";
      Store(child_prefix + u"name", TextContent(child));
      for (const char16_t* attribute : child_attributes) {
        Store(child_prefix + attribute, ElementAttribute(child, attribute));
      }
    }
  };
  store_part(clinic, u"his.diag.clinic.", {u"doctor"}, {u"icd"});
  store_part(residence, u"his.diag.residence.", {u"doctor", u"issue", u"confirm"}, {u"icd"});
  store_part(finish, u"his.diag.finish.", {u"doctor"}, {u"icd", u"issue"});
}
