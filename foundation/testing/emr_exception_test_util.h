// Test helper: the text of the CEMRException a call throws.
//
// Thread-safety: stateless; any thread may use it.
#pragma once

#include <string>

#include "foundation/calls/emr_exception.h"

namespace korvalis::testing {

// The text of the CEMRException that `call` throws; "" when it throws none. Any other
// exception passes through to the test.
template <class Call>
std::u16string FailureOf(Call&& call) {
  try {
    call();
  } catch (const CEMRException& e) {
    return e.GetText();
  }
  return u"";
}

}  // namespace korvalis::testing
