#include "db/stored_text.h"

#include "platform/text/unicode.h"

namespace korvalis::schema {

std::string StoredText(std::string_view utf8) {
  std::string bytes = "\xFF\xFE";
  AppendUtf16Le(FromUtf8(utf8), bytes);
  return bytes;
}

}  // namespace korvalis::schema
