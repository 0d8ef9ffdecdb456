// SecurityUserNames: the display names of users as the suite's security component knows them,
// for the lists of the QC collector that show a name beside each user id.
//
// The component is created once, through DIDUFactory, when the object is made, and released when
// it goes out of scope (also when the scope is left by an exception). Each NameOf asks it once.
//
// Thread-safety: an object belongs to one thread (one call).
#pragma once

#include <string>
#include <string_view>

#include "foundation/suite/sibling_component.h"
#include "foundation/suite/suite_interfaces.h"

class SecurityUserNames {
 public:
  // Throws the factory's CEMRException when the component cannot be created.
  SecurityUserNames();

  // The `name` of the user's property document. A call that fails, or answers no text, gives
  // the empty name (the component's error information is discarded). An answer that is not a
  // property document fails with "解析属性信息错误.".
  std::u16string NameOf(std::u16string_view user_id);

 private:
  korvalis::Sibling<ISecurityService> security_;
};
