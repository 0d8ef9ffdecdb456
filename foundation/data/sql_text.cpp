#include "foundation/data/sql_text.h"

#include "foundation/calls/emr_exception.h"
#include "platform/text/ascii.h"

namespace korvalis {

std::u16string SqlEscaped(TextRef value) {
  std::u16string_view text = value;
  std::u16string out;
  out.reserve(text.size() + 2);
  for (char16_t c : text) {
    out.push_back(c);
    if (c == u'\'') out.push_back(u'\'');
  }
  return out;
}

std::u16string SqlQuoted(TextRef value) {
  std::u16string out = u"'";
  out += SqlEscaped(value);
  out.push_back(u'\'');
  return out;
}

std::string SqlQuoted(std::string_view value) {
  std::string out = "'";
  out.reserve(value.size() + 2);
  for (char c : value) {
    out.push_back(c);
    if (c == '\'') out.push_back('\'');
  }
  out.push_back('\'');
  return out;
}

bool IsSqlNumber(TextRef value) {
  std::u16string_view text = value;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) ++i;
  bool digits = false;
  bool point = false;
  for (; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c >= u'0' && c <= u'9') {
      digits = true;
    } else if (c == u'.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digits;
}

namespace {

[[noreturn]] void ThrowNotANumber(TextRef value, std::u16string_view what) {
  std::u16string message = u"不是有效的数字: '";
  message += value.view();
  message += u"'";
  if (!what.empty()) {
    message += u" (";
    message += what;
    message += u")";
  }
  throw CEMRException(message);
}

}  // namespace

std::u16string SqlNumber(TextRef value, std::u16string_view what) {
  if (!IsSqlNumber(value)) ThrowNotANumber(value, what);
  return std::u16string(value.view());
}

std::u16string SqlBareNumber(TextRef value, std::u16string_view what) {
  return SqlNumber(TrimAsciiSpaces(value.view()), what);
}

std::int32_t SqlIdNumber(TextRef value, std::u16string_view what) {
  const std::u16string_view text = value;
  std::size_t i = text.empty() || (text[0] != u'-' && text[0] != u'+') ? 0 : 1;
  const bool negative = i == 1 && text[0] == u'-';
  if (i == text.size()) ThrowNotANumber(value, what);
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9') ThrowNotANumber(value, what);
    magnitude = magnitude * 10 + (text[i] - u'0');
    if (magnitude > std::int64_t{INT32_MAX} + 1) ThrowNotANumber(value, what);
  }
  const std::int64_t number = negative ? -magnitude : magnitude;
  if (number > INT32_MAX) ThrowNotANumber(value, what);
  return static_cast<std::int32_t>(number);
}

std::u16string SqlNumberList(TextRef value, std::u16string_view what) {
  const std::u16string_view text = value;
  std::u16string list;
  list.reserve(text.size());
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(u',', start);
    const std::size_t length = comma == std::u16string_view::npos ? comma : comma - start;
    const std::u16string_view piece = TrimAsciiBlanks(text.substr(start, length));
    if (!IsSqlNumber(piece)) ThrowNotANumber(value, what);
    if (!list.empty()) list.push_back(u',');
    list.append(piece);
    if (comma == std::u16string_view::npos) return list;
    start = comma + 1;
  }
}

}  // namespace korvalis
