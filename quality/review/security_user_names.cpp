#include "quality/review/security_user_names.h"

#include "foundation/calls/emr_error.h"
#include "foundation/suite/factory.h"
#include "foundation/xml/xml_property.h"
#include "platform/com/scoped_bstr.h"

SecurityUserNames::SecurityUserNames()
    : security_(*DIDUFactory::Instance(), IID_ISecurityService) {}

std::u16string SecurityUserNames::NameOf(std::u16string_view user_id) {
  korvalis::com::ScopedBstr id(user_id);
  korvalis::com::ScopedBstr answer;
  if (FAILED(security_->GetUserProperty(id.get(), answer.out()))) {
    // The failure stays the component's: the list goes on without this name.
    CEMRRemoteError().GetError();
    return std::u16string();
  }
  const std::u16string property = answer.text();
  if (property.empty()) return std::u16string();
  return CXmlProperty(property).GetValue(u"name");
}
