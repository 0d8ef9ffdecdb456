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
  std::string out;
  AssignUtf8(text, out);
  return out;
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  AssignUtf16(text, out);
  return out;
}

void AssignUtf8(std::u16string_view text, std::string& out) {
  // Measured first: sized once, then written in place.
  std::size_t length = 0;
  for (std::size_t i = 0; i < text.size();) {
    const char16_t unit = text[i];
    if (unit < 0x80) {
      ++length;
      ++i;
    } else if (unit < 0x800) {
      length += 2;
      ++i;
    } else {
      length += DecodeUtf16(text, &i) < 0x10000 ? 3 : 4;
    }
  }
  out.resize(length);
  char* at = out.data();
  for (std::size_t i = 0; i < text.size();) {
    const char16_t unit = text[i];
    if (unit < 0x80) {
      *at++ = static_cast<char>(unit);
      ++i;
      continue;
    }
    const char32_t cp = unit < 0x800 ? (++i, unit) : DecodeUtf16(text, &i);
    if (cp < 0x800) {
      *at++ = static_cast<char>(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
      *at++ = static_cast<char>(0xE0 | (cp >> 12));
      *at++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    } else {
      *at++ = static_cast<char>(0xF0 | (cp >> 18));
      *at++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *at++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    *at++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void AssignUtf16(std::string_view text, std::u16string& out) {
  // A UTF-8 text never has fewer bytes than its UTF-16 form has units.
  out.resize(text.size());
  char16_t* at = out.data();
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      *at++ = lead;
      ++i;
      continue;
    }
    const char32_t cp = DecodeUtf8(text, &i);
    if (cp < 0x10000) {
      *at++ = static_cast<char16_t>(cp);
    } else {
      *at++ = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      *at++ = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  out.resize(static_cast<std::size_t>(at - out.data()));
}

}  // namespace korvalis
