// StoreBstrResult: how a body hands out a text result: a new BSTR stored through the caller's
// result pointer, and nothing at all when that pointer is null.
//
// Thread-safety: stateless.
#pragma once

#include <new>
#include <string_view>

#include "platform/com/bstr.h"

namespace korvalis {

// Stores a new BSTR holding `text` through `result` (not null for an empty text); does nothing
// when `result` is null. Whatever *result held is overwritten, not freed (an out-parameter).
// Throws std::bad_alloc when the string cannot be allocated, leaving *result untouched.
inline void StoreBstrResult(BSTR* result, std::u16string_view text) {
  if (result == nullptr) return;
  BSTR copy = AllocBstr(text);
  if (copy == nullptr) throw std::bad_alloc();
  *result = copy;
}

}  // namespace korvalis
