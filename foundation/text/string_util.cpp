#include "foundation/text/string_util.h"

#include <cctype>
#include <charconv>

#include "platform/text/ascii.h"

namespace {

// Skips white space; answers the rest of the text as ASCII up to the first character that
// cannot belong to a number. *read_anything is set as the scan's "not end of input".
std::string NumberPrefix(std::u16string_view text, bool* read_anything) {
  std::size_t i = 0;
  while (i < text.size() && korvalis::IsAsciiSpace(text[i])) ++i;
  if (read_anything != nullptr) *read_anything = i < text.size();
  std::string prefix;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool candidate = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') ||
                           (c >= u'A' && c <= u'Z') || c == u'+' || c == u'-' || c == u'.';
    if (!candidate) break;
    prefix.push_back(static_cast<char>(c));
  }
  return prefix;
}

// Parses the leading number of `prefix`: an optional sign followed by what from_chars reads.
template <typename T>
bool ParseLeading(const std::string& prefix, T* value) {
  const char* begin = prefix.data();
  const char* end = begin + prefix.size();
  if (begin != end && *begin == '+') {
    ++begin;
    if (begin != end && *begin == '-') return false;
  }
  T parsed{};
  std::from_chars_result result;
  if constexpr (std::is_floating_point_v<T>) {
    // "%f" also reads hexadecimal numbers ("0x1Ap-1"); "0x" without a digit reads nothing.
    const bool negative = begin != end && *begin == '-';
    const char* digits = begin + (negative ? 1 : 0);
    if (end - digits >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
      const char* hex = digits + 2;
      const char* first_digit = hex != end && *hex == '.' ? hex + 1 : hex;
      if (first_digit == end || !std::isxdigit(static_cast<unsigned char>(*first_digit))) {
        return false;
      }
      result = std::from_chars(hex, end, parsed, std::chars_format::hex);
      if (negative) parsed = -parsed;
    } else {
      result = std::from_chars(begin, end, parsed, std::chars_format::general);
    }
  } else {
    result = std::from_chars(begin, end, parsed, 10);
  }
  if (result.ec != std::errc()) return false;
  *value = parsed;
  return true;
}

template <typename T>
T StringToNumber(std::u16string_view text, bool* read_anything, T fallback) {
  T value = fallback;
  ParseLeading(NumberPrefix(text, read_anything), &value);
  return value;
}

std::u16string Formatted(const char16_t* format, auto value) {
  char16_t buffer[50];
  const int n = FormatString(buffer, 50, format, value);
  return n < 0 ? std::u16string() : std::u16string(buffer, static_cast<std::size_t>(n));
}

}  // namespace

void ReplaceAll(std::u16string& text, korvalis::TextRef pattern_ref,
                korvalis::TextRef replacement_ref) {
  const std::u16string_view pattern = pattern_ref;
  const std::u16string_view replacement = replacement_ref;
  if (pattern.empty()) return;
  std::size_t found = text.find(pattern);
  if (found == std::u16string::npos) return;
  std::u16string result;
  result.reserve(text.size());
  std::size_t from = 0;
  while (found != std::u16string::npos) {
    result.append(text, from, found - from);
    result.append(replacement);
    from = found + pattern.size();
    found = text.find(pattern, from);
  }
  result.append(text, from, std::u16string::npos);
  text.swap(result);
}

std::u16string ToUpperAscii(korvalis::TextRef text_ref) {
  return korvalis::AsciiUpper(text_ref.view());
}

double StringToDouble(korvalis::TextRef text_ref, bool* read_anything, double fallback) {
  return StringToNumber(text_ref.view(), read_anything, fallback);
}

int StringToInt(korvalis::TextRef text_ref, bool* read_anything, int fallback) {
  return StringToNumber(text_ref.view(), read_anything, fallback);
}

long StringToLong(korvalis::TextRef text_ref, bool* read_anything, long fallback) {
  return StringToNumber(text_ref.view(), read_anything, fallback);
}

std::u16string DoubleToString(float value) { return Formatted(u"%f", static_cast<double>(value)); }

std::u16string IntToString(int value) { return Formatted(u"%d", value); }

std::u16string LongToString(long value, const char16_t* format) {
  return Formatted(format != nullptr ? format : u"%ld", value);
}

std::u16string LeftString(korvalis::TextRef text_ref, unsigned count) {
  return std::u16string(text_ref.view().substr(0, count));
}

void SplitString(korvalis::TextRef text_ref, korvalis::TextRef separator_ref,
                 std::vector<std::u16string>& pieces) {
  const std::u16string_view text = text_ref;
  const std::u16string_view separator = separator_ref;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return;
  }
  std::size_t position = text.find_first_not_of(separator);
  while (position != std::u16string_view::npos && position < text.size()) {
    const std::size_t found = text.find(separator, position);
    if (found == std::u16string_view::npos) {
      pieces.emplace_back(text.substr(position));
      return;
    }
    pieces.emplace_back(text.substr(position, found - position));
    position = found + separator.size();
  }
}

void SplitByChars(korvalis::TextRef text_ref, korvalis::TextRef separators_ref,
                  std::vector<std::u16string>& pieces) {
  const std::u16string_view text = text_ref;
  const std::u16string_view separators = separators_ref;
  if (separators.empty()) {
    if (!text.empty()) pieces.emplace_back(text);
    return;
  }
  std::size_t position = text.find_first_not_of(separators);
  while (position != std::u16string_view::npos && position < text.size()) {
    const std::size_t found = text.find_first_of(separators, position);
    if (found == std::u16string_view::npos) {
      pieces.emplace_back(text.substr(position));
      return;
    }
    pieces.emplace_back(text.substr(position, found - position));
    position = found + 1;
  }
}
