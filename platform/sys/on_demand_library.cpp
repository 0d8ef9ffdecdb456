#include "platform/sys/on_demand_library.h"

#include <dlfcn.h>

namespace korvalis::sys {

void* OnDemandLibrary::Symbol(const char* name) {
  std::call_once(opened_, [this] {
    // Local: the library's symbols do not take the place of anyone else's.
    handle_ = ::dlopen(soname_, RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
      const char* reason = ::dlerror();
      open_error_ = std::string(soname_) + " cannot be loaded: " +
                    (reason != nullptr ? reason : "the dynamic loader gave no reason");
    }
  });
  if (handle_ == nullptr) throw LibraryUnavailable(open_error_);
  ::dlerror();
  void* address = ::dlsym(handle_, name);
  if (address == nullptr) {
    throw LibraryUnavailable(std::string(soname_) + " has no function " + name);
  }
  return address;
}

}  // namespace korvalis::sys
