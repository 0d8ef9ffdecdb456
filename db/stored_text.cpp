#include "db/stored_text.h"

#include "platform/com/unicode.h"

namespace korvalis::schema {

std::string StoredText(std::string_view utf8) {
  std::u16string text = FromUtf8(utf8);
  std::string bytes = "\xFF\xFE";
  bytes.reserve(2 + text.size() * 2);
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

}  // namespace korvalis::schema
