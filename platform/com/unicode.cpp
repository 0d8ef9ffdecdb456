#include "platform/com/unicode.h"

namespace korvalis {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Writes `cp` (not ASCII) as UTF-8 at `at`; returns the end.
char* EncodeUtf8(char32_t cp, char* at) {
  if (cp < 0x800) {
    *at++ = static_cast<char>(0xC0 | (cp >> 6));
    *at++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *at++ = static_cast<char>(0xE0 | (cp >> 12));
    *at++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *at++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *at++ = static_cast<char>(0xF0 | (cp >> 18));
    *at++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *at++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *at++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return at;
}

// The code point of the unit at `i` (with the next one for a surrogate pair, advancing `i`);
// a lone surrogate gives U+FFFD.
char32_t CodePointAt(std::u16string_view text, std::size_t& i) {
  const char16_t unit = text[i];
  if (unit < 0xD800 || unit > 0xDFFF) return unit;
  if (unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
    ++i;
    return 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (text[i] - 0xDC00);
  }
  return kReplacement;
}

}  // namespace

void AppendUtf16(char32_t code_point, std::u16string& out) {
  if (code_point < 0x10000) {
    out.push_back(static_cast<char16_t>(code_point));
  } else {
    code_point -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (code_point >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (code_point & 0x3FF)));
  }
}

void AppendUtf16Le(std::u16string_view text, std::string& out) {
  const std::size_t start = out.size();
  out.resize(start + 2 * text.size());
  char* at = out.data() + start;
  for (char16_t unit : text) {
    *at++ = static_cast<char>(unit & 0xFF);
    *at++ = static_cast<char>(unit >> 8);
  }
}

std::string ToUtf8(std::u16string_view text) {
  // Measured first, then written through a pointer: one allocation of the exact size.
  std::size_t length = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t cp = text[i] < 0x80 ? text[i] : CodePointAt(text, i);
    length += cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
  }
  std::string out(length, '\0');
  char* at = out.data();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] < 0x80) {
      *at++ = static_cast<char>(text[i]);
    } else {
      at = EncodeUtf8(CodePointAt(text, i), at);
    }
  }
  return out;
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char lead = bytes[i];
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    // Number of continuation bytes and the allowed range of the first of them, which rules
    // out overlong forms, surrogates and code points above U+10FFFF.
    int follow = 0;
    unsigned char low = 0x80, high = 0xBF;
    char32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      follow = 1;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      follow = 2;
      cp = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      follow = 3;
      cp = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool valid = true;
    for (int k = 0; k < follow; ++k, ++j) {
      if (j >= n || bytes[j] < low || bytes[j] > high) {
        valid = false;
        break;
      }
      cp = (cp << 6) | (bytes[j] & 0x3F);
      low = 0x80;
      high = 0xBF;
    }
    if (valid) {
      AppendUtf16(cp, out);
    } else {
      out.push_back(kReplacement);
    }
    i = j;
  }
  return out;
}

}  // namespace korvalis
