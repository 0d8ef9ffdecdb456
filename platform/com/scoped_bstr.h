// ScopedBstr: a BSTR owned for one scope and freed when the scope ends, also when it is left
// by an exception. It holds a text made for a call, or receives an out-parameter.
//
// Thread-safety: one object belongs to one thread.
#pragma once

#include <new>
#include <string>
#include <string_view>

#include "platform/com/bstr.h"

namespace korvalis::com {

class ScopedBstr {
 public:
  // Holds nothing (the null text) until it receives an out-parameter.
  ScopedBstr() = default;
  // Throws std::bad_alloc when the string cannot be allocated.
  explicit ScopedBstr(std::u16string_view text) : bstr_(AllocBstr(text)) {
    if (bstr_ == nullptr) throw std::bad_alloc();
  }
  ~ScopedBstr() { SysFreeString(bstr_); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;

  BSTR get() const { return bstr_; }
  // The place for a callee to store its out-parameter.
  // Precondition: holds nothing, so no string is lost when it is overwritten.
  BSTR* out() { return &bstr_; }
  std::u16string text() const { return std::u16string(BstrView(bstr_)); }
  // Hands the string (null when it holds nothing) over to the caller; holds nothing afterwards.
  BSTR release() {
    BSTR bstr = bstr_;
    bstr_ = nullptr;
    return bstr;
  }

 private:
  BSTR bstr_ = nullptr;
};

}  // namespace korvalis::com
