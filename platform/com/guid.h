// GUID, the 128-bit identifier of classes, interfaces and new text identifiers, with the
// field layout of the platform (Data1 to Data3 in native order, Data4 as bytes), generation
// and the two text forms the system uses:
//   - the plain form, 36 lower-case characters without braces
//     ("6b29fc40-ca47-1067-b31d-00dd010662da"), used for new identifiers;
//   - the registry form, 38 upper-case characters within braces
//     ("{6B29FC40-CA47-1067-B31D-00DD010662DA}"), used for class and interface keys.
// Each parser accepts exactly its own form (hex digits of either case) and refuses the other.
//
// Thread-safety: all functions are thread-safe.
#pragma once

#include <string>
#include <string_view>

#include "platform/com/hresult.h"
#include "platform/com/types.h"

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];

  friend bool operator==(const GUID&, const GUID&) = default;
};

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// Fills *pguid with a new random GUID. E_POINTER when pguid is null.
HRESULT CoCreateGuid(GUID* pguid);

namespace korvalis {

// The plain form: 36 lower-case characters, no braces.
std::u16string GuidToString(const GUID& guid);
// The registry form: 38 upper-case characters within braces.
std::u16string GuidToRegistryString(const GUID& guid);
// Parses the plain form; false (and *guid untouched) for anything else, braces included.
bool GuidFromString(std::u16string_view text, GUID* guid);
// Parses the registry form; false (and *guid untouched) for anything else.
bool GuidFromRegistryString(std::u16string_view text, GUID* guid);
// A new identifier in the plain form.
std::u16string NewGuidString();

}  // namespace korvalis
