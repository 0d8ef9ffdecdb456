// ScopedBstr: a BSTR that a wrapper makes for one call and frees when the call's scope ends,
// also when the body throws.
//
// Thread-safety: one object belongs to one call.
#pragma once

#include <new>
#include <string_view>

#include "platform/com/bstr.h"

namespace korvalis::com {

class ScopedBstr {
 public:
  // Throws std::bad_alloc when the string cannot be allocated.
  explicit ScopedBstr(std::u16string_view text) : bstr_(AllocBstr(text)) {
    if (bstr_ == nullptr) throw std::bad_alloc();
  }
  ~ScopedBstr() { SysFreeString(bstr_); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;

  BSTR get() const { return bstr_; }

 private:
  BSTR bstr_;
};

}  // namespace korvalis::com
