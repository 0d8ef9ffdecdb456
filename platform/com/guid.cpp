#include "platform/com/guid.h"

#include <uuid/uuid.h>

#include "platform/text/unicode.h"

namespace {

// libuuid keeps the 16 bytes in text order, that is with Data1 to Data3 big-endian.
GUID FromUuid(const uuid_t u) {
  GUID g;
  g.Data1 = (std::uint32_t{u[0]} << 24) | (std::uint32_t{u[1]} << 16) |
            (std::uint32_t{u[2]} << 8) | std::uint32_t{u[3]};
  g.Data2 = static_cast<std::uint16_t>((u[4] << 8) | u[5]);
  g.Data3 = static_cast<std::uint16_t>((u[6] << 8) | u[7]);
  for (int i = 0; i < 8; ++i) g.Data4[i] = u[8 + i];
  return g;
}

void ToUuid(const GUID& g, uuid_t u) {
  u[0] = static_cast<unsigned char>(g.Data1 >> 24);
  u[1] = static_cast<unsigned char>(g.Data1 >> 16);
  u[2] = static_cast<unsigned char>(g.Data1 >> 8);
  u[3] = static_cast<unsigned char>(g.Data1);
  u[4] = static_cast<unsigned char>(g.Data2 >> 8);
  u[5] = static_cast<unsigned char>(g.Data2);
  u[6] = static_cast<unsigned char>(g.Data3 >> 8);
  u[7] = static_cast<unsigned char>(g.Data3);
  for (int i = 0; i < 8; ++i) u[8 + i] = g.Data4[i];
}

}  // namespace

HRESULT CoCreateGuid(GUID* pguid) {
  if (pguid == nullptr) return E_POINTER;
  uuid_t u;
  uuid_generate(u);
  *pguid = FromUuid(u);
  return S_OK;
}

namespace korvalis {

std::u16string GuidToString(const GUID& guid) {
  uuid_t u;
  ToUuid(guid, u);
  char text[37];
  uuid_unparse_lower(u, text);
  return FromUtf8(text);
}

std::u16string GuidToRegistryString(const GUID& guid) {
  uuid_t u;
  ToUuid(guid, u);
  char text[37];
  uuid_unparse_upper(u, text);
  return u"{" + FromUtf8(text) + u"}";
}

bool GuidFromString(std::u16string_view text, GUID* guid) { return ParseGuidText(text, guid); }

bool GuidFromRegistryString(std::u16string_view text, GUID* guid) {
  if (text.size() != 38 || text.front() != u'{' || text.back() != u'}') return false;
  return ParseGuidText(text.substr(1, 36), guid);
}

std::u16string NewGuidString() {
  GUID guid;
  CoCreateGuid(&guid);
  return GuidToString(guid);
}

}  // namespace korvalis
