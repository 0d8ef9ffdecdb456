// BSTR, the automation string: a pointer to UTF-16 characters preceded by a 4-byte byte count
// and followed by a 2-byte zero. Clients rely on this layout; byte lengths may be odd, because
// compressed and encrypted bytes travel in BSTRs. A null BSTR reads as the empty text;
// SysAllocString(u"") is not null.
//
// Every length is checked: a request whose size does not fit the 32-bit byte count fails with
// a null result instead of wrapping.
//
// Thread-safety: the functions are thread-safe; one BSTR must not be freed or reallocated
// while another thread reads it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "platform/com/types.h"

using BSTR = OLECHAR*;

// Returns a copy of the zero-terminated text, or null when `psz` is null or memory runs out.
BSTR SysAllocString(const OLECHAR* psz);
// Returns a string of `len` characters copied from `str`; a null `str` gives `len` zero
// characters. Null when the length is too large or memory runs out.
BSTR SysAllocStringLen(const OLECHAR* str, UINT len);
// Returns a string of `len` bytes copied from `psz` (zeros when `psz` is null), followed by
// the 2-byte zero. The byte count may be odd.
BSTR SysAllocStringByteLen(const char* psz, UINT len);
// Replaces *pbstr by a copy of `psz` (which may point into *pbstr). Returns 1 on success and
// 0 (leaving *pbstr untouched) on failure or when `pbstr` is null.
INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
// As SysReAllocString with `len` characters; a null `psz` gives `len` zero characters.
INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len);
// Number of characters (byte count / 2, rounded down); 0 for null.
UINT SysStringLen(BSTR bstr);
// Number of bytes before the terminator; 0 for null.
UINT SysStringByteLen(BSTR bstr);
// Frees the string; null is allowed.
void SysFreeString(BSTR bstr);

namespace korvalis {

// The most bytes one BSTR can hold: its byte count is stored in 32 bits, which must also
// cover the count itself and the terminator.
inline constexpr std::uint64_t kMaxBstrBytes =
    std::numeric_limits<std::uint32_t>::max() - sizeof(std::uint32_t) - sizeof(OLECHAR);

// The characters of a BSTR (empty for null), valid while the BSTR lives.
inline std::u16string_view BstrView(const OLECHAR* bstr) {
  return bstr == nullptr ? std::u16string_view()
                         : std::u16string_view(bstr, SysStringLen(const_cast<BSTR>(bstr)));
}

// A new BSTR holding `text` (never null for an empty text); null only when memory runs out.
BSTR AllocBstr(std::u16string_view text);

// A BSTR's block before its characters (the byte count) and after them (the terminator), for a
// writer that builds the characters in place in a block of its own.
inline constexpr std::size_t kBstrPrefixBytes = sizeof(std::uint32_t);
inline constexpr std::size_t kBstrTerminatorBytes = sizeof(OLECHAR);

// Turns `block`, from malloc or realloc, into a BSTR of the `length` characters written at
// kBstrPrefixBytes into it, without copying them: writes the byte count and the terminator and
// hands the block over, to be freed by SysFreeString. Null (the block freed) when the length is
// too large. Precondition: the block holds kBstrPrefixBytes + 2 * length + kBstrTerminatorBytes
// bytes.
BSTR BstrOfBlock(void* block, std::size_t length);

}  // namespace korvalis
