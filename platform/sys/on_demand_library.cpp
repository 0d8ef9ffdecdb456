#include "platform/sys/on_demand_library.h"

#include <dlfcn.h>

namespace korvalis::sys {

void* OnDemandLibrary::Symbol(const char* name) {
  std::call_once(opened_, [this] {
    for (size_t i = 0; i < candidates_.size() && handle_ == nullptr; ++i) {
      // Local: the library's symbols do not take the place of anyone else's.
      handle_ = ::dlopen(candidates_[i].c_str(), RTLD_NOW | RTLD_LOCAL);
      if (handle_ != nullptr) {
        opened_as_ = i;
      } else {
        const char* reason = ::dlerror();
        if (!open_error_.empty()) open_error_ += "; ";
        open_error_ += candidates_[i] + " cannot be loaded: " +
                       (reason != nullptr ? reason : "the dynamic loader gave no reason");
      }
    }
  });
  if (handle_ == nullptr) throw LibraryUnavailable(open_error_);
  void* address = ::dlsym(handle_, name);
  if (address == nullptr) {
    throw LibraryUnavailable(candidates_[opened_as_] + " has no function " + name);
  }
  return address;
}

}  // namespace korvalis::sys
