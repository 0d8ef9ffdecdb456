#include "platform/text/unicode.h"

#include "platform/text/utf8.h"

namespace korvalis {

void AppendUtf16Le(std::u16string_view text, std::string& out) {
  const std::size_t start = out.size();
  out.resize(start + 2 * text.size());
  char* at = out.data() + start;
  for (char16_t unit : text) {
    *at++ = static_cast<char>(unit & 0xFF);
    *at++ = static_cast<char>(unit >> 8);
  }
}

bool IsWellFormedUtf16(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit < 0xD800 || unit > 0xDFFF) continue;
    if (unit >= 0xDC00 || i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
      return false;
    }
    ++i;
  }
  return true;
}

std::size_t FirstIllFormedUtf8(std::string_view text) {
  constexpr std::string_view kEncodedReplacement = "\xEF\xBF\xBD";
  for (std::size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    if (DecodeUtf8(text, &i) == kReplacementCharacter &&
        text.substr(start, i - start) != kEncodedReplacement) {
      return start;
    }
  }
  return std::string_view::npos;
}

std::string ToUtf8(std::u16string_view text) {
  // Measured first: one allocation of the exact size.
  std::size_t length = 0;
  for (std::size_t i = 0; i < text.size();) {
    const char32_t cp = DecodeUtf16(text, &i);
    length += cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
  }
  std::string out;
  out.reserve(length);
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] < 0x80) {
      out.push_back(static_cast<char>(text[i++]));
    } else {
      AppendUtf8(DecodeUtf16(text, &i), &out);
    }
  }
  return out;
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
    } else {
      AppendUtf16(DecodeUtf8(text, &i), &out);
    }
  }
  return out;
}

}  // namespace korvalis
