#include "platform/sys/on_demand_library.h"

#include <dlfcn.h>

#include <string_view>

namespace korvalis::sys {

void* OnDemandLibrary::Symbol(const char* name) {
  std::call_once(opened_, [this] {
    for (size_t i = 0; i < candidates_.size() && handle_ == nullptr; ++i) {
      // Local: the library's symbols do not take the place of anyone else's.
      handle_ = ::dlopen(candidates_[i].c_str(), RTLD_NOW | RTLD_LOCAL);
      if (handle_ != nullptr) {
        opened_as_ = i;
      } else {
        const char* given = ::dlerror();
        std::string_view reason = given != nullptr ? given : "the dynamic loader gave no reason";
        // The loader's reason starts with the path already named.
        if (reason.starts_with(candidates_[i] + ": ")) {
          reason.remove_prefix(candidates_[i].size() + 2);
        }
        if (!open_error_.empty()) open_error_ += "; ";
        open_error_ += candidates_[i] + " cannot be loaded: ";
        open_error_ += reason;
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
