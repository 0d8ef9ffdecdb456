#include "platform/com/bstr.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr std::size_t kPrefixBytes = korvalis::kBstrPrefixBytes;
constexpr std::size_t kTerminatorBytes = korvalis::kBstrTerminatorBytes;

std::uint32_t* Header(BSTR bstr) {
  return reinterpret_cast<std::uint32_t*>(reinterpret_cast<char*>(bstr) - kPrefixBytes);
}

// Allocates a BSTR of `bytes` bytes, copying from `data` (or zero-filling when null).
BSTR AllocateBytes(const void* data, std::uint64_t bytes) {
  if (bytes > korvalis::kMaxBstrBytes) return nullptr;
  char* block = static_cast<char*>(std::malloc(kPrefixBytes + bytes + kTerminatorBytes));
  if (block == nullptr) return nullptr;
  const std::uint32_t count = static_cast<std::uint32_t>(bytes);
  std::memcpy(block, &count, kPrefixBytes);
  char* chars = block + kPrefixBytes;
  if (data != nullptr) {
    std::memmove(chars, data, bytes);
  } else {
    std::memset(chars, 0, bytes);
  }
  std::memset(chars + bytes, 0, kTerminatorBytes);
  return reinterpret_cast<BSTR>(chars);
}

std::size_t Length(const OLECHAR* psz) {
  std::size_t n = 0;
  while (psz[n] != 0) ++n;
  return n;
}

}  // namespace

BSTR SysAllocString(const OLECHAR* psz) {
  if (psz == nullptr) return nullptr;
  return AllocateBytes(psz, std::uint64_t{Length(psz)} * sizeof(OLECHAR));
}

BSTR SysAllocStringLen(const OLECHAR* str, UINT len) {
  return AllocateBytes(str, std::uint64_t{len} * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(const char* psz, UINT len) { return AllocateBytes(psz, len); }

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  if (pbstr == nullptr) return 0;
  if (psz == nullptr) {
    SysFreeString(*pbstr);
    *pbstr = nullptr;
    return 1;
  }
  return SysReAllocStringLen(
      pbstr, psz,
      static_cast<UINT>(std::min<std::size_t>(Length(psz), std::numeric_limits<UINT>::max())));
}

INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
  if (pbstr == nullptr) return 0;
  // The source may lie inside the old string, so the old one is freed only after copying.
  BSTR fresh = AllocateBytes(psz, std::uint64_t{len} * sizeof(OLECHAR));
  if (fresh == nullptr) return 0;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return 1;
}

UINT SysStringLen(BSTR bstr) { return bstr == nullptr ? 0 : *Header(bstr) / sizeof(OLECHAR); }

UINT SysStringByteLen(BSTR bstr) { return bstr == nullptr ? 0 : *Header(bstr); }

void SysFreeString(BSTR bstr) {
  if (bstr != nullptr) std::free(Header(bstr));
}

namespace korvalis {

BSTR AllocBstr(std::u16string_view text) {
  if (text.size() > std::numeric_limits<UINT>::max()) return nullptr;
  if (text.empty()) return SysAllocStringLen(u"", 0);
  return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

BSTR BstrOfBlock(void* block, std::size_t length) {
  if (length > kMaxBstrBytes / sizeof(OLECHAR)) {
    std::free(block);
    return nullptr;
  }
  const std::uint32_t count = static_cast<std::uint32_t>(length * sizeof(OLECHAR));
  char* bytes = static_cast<char*>(block);
  std::memcpy(bytes, &count, kPrefixBytes);
  std::memset(bytes + kPrefixBytes + count, 0, kTerminatorBytes);
  return reinterpret_cast<BSTR>(bytes + kPrefixBytes);
}

}  // namespace korvalis
