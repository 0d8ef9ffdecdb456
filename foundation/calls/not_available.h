// The one failure of a method body that its subsystem has not built yet. Every such body calls
// ThrowNotAvailable, so a client learns which method is missing from the call's error
// description, and a test lists the missing bodies so that the list can only shrink.
//
// Thread-safety: stateless.
#pragma once

#include <string>
#include <string_view>

namespace korvalis {

// The description of a body that is not yet available: "函数:'<method>' 尚不可用.".
std::string NotAvailableText(std::string_view method);

// Throws CEMRException with NotAvailableText(method). `method` names a body as
// "CBClass::Method", a shared function by its name.
[[noreturn]] void ThrowNotAvailable(std::string_view method);

}  // namespace korvalis
