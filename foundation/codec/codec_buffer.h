// Output hand-over shared by the codecs: every codec builds its result in a buffer of its
// own and hands it to the caller's output pointer only once it succeeded, so a failure
// leaves the caller's pointer as it was.
//
// Thread-safety: free functions without shared state.
#pragma once

#include <cstring>
#include <memory>

#include "platform/com/types.h"

namespace korvalis::codec {

// A byte array allocated with array new, as the codecs' callers release it.
using ByteArray = std::unique_ptr<BYTE[]>;

// Allocates `size` bytes without clearing them.
inline ByteArray NewBytes(size_t size) { return ByteArray(new BYTE[size]); }

// Stores `result` in the caller's output: the array that `pbOut` held before, when it is
// another one, is released with array delete; the caller owns the new array.
inline void HandOver(ByteArray result, ULONG cbResult, BYTE*& pbOut, ULONG& cbOut) {
  BYTE* previous = pbOut;
  pbOut = result.release();
  cbOut = cbResult;
  if (previous != nullptr && previous != pbOut) delete[] previous;
}

// Hands the caller a copy of the input.
inline void CopyBytes(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) {
  ByteArray copy = NewBytes(cbIn);
  if (cbIn != 0) std::memcpy(copy.get(), pbIn, cbIn);
  HandOver(std::move(copy), cbIn, pbOut, cbOut);
}

}  // namespace korvalis::codec
