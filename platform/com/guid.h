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

#include <cstddef>
#include <cstdint>
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
// The same parser for texts of any character type, usable at compile time.
template <class Char>
constexpr bool ParseGuidText(std::basic_string_view<Char> text, GUID* guid) {
  if (guid == nullptr || text.size() != 36) return false;
  for (std::size_t dash : {8u, 13u, 18u, 23u}) {
    if (text[dash] != Char('-')) return false;
  }
  bool valid = true;
  auto hex = [&text, &valid](std::size_t pos, std::size_t digits) {
    std::uint32_t value = 0;
    for (std::size_t i = pos; i < pos + digits; ++i) {
      const auto c = text[i];
      std::uint32_t digit = 0;
      if (c >= Char('0') && c <= Char('9')) {
        digit = static_cast<std::uint32_t>(c - Char('0'));
      } else if (c >= Char('a') && c <= Char('f')) {
        digit = static_cast<std::uint32_t>(c - Char('a') + 10);
      } else if (c >= Char('A') && c <= Char('F')) {
        digit = static_cast<std::uint32_t>(c - Char('A') + 10);
      } else {
        valid = false;
      }
      value = value << 4 | digit;
    }
    return value;
  };
  GUID parsed{};
  parsed.Data1 = hex(0, 8);
  parsed.Data2 = static_cast<std::uint16_t>(hex(9, 4));
  parsed.Data3 = static_cast<std::uint16_t>(hex(14, 4));
  parsed.Data4[0] = static_cast<std::uint8_t>(hex(19, 2));
  parsed.Data4[1] = static_cast<std::uint8_t>(hex(21, 2));
  for (std::size_t i = 0; i < 6; ++i) {
    parsed.Data4[2 + i] = static_cast<std::uint8_t>(hex(24 + 2 * i, 2));
  }
  if (!valid) return false;
  *guid = parsed;
  return true;
}
// Parses the registry form; false (and *guid untouched) for anything else.
bool GuidFromRegistryString(std::u16string_view text, GUID* guid);
// A new identifier in the plain form.
std::u16string NewGuidString();

}  // namespace korvalis
