#include "foundation/calls/not_available.h"

#include "foundation/calls/emr_exception.h"

namespace korvalis {

std::string NotAvailableText(std::string_view method) {
  std::string text = "函数:'";
  text += method;
  text += "' 尚不可用.";
  return text;
}

void ThrowNotAvailable(std::string_view method) { throw CEMRException(NotAvailableText(method)); }

}  // namespace korvalis
