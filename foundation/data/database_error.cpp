#include "foundation/data/database_error.h"

#include <vector>

#include "foundation/log/event_log_entry.h"
#include "platform/text/ascii.h"
#include "platform/text/unicode.h"

namespace korvalis::datasource {
namespace {

constexpr char16_t kMaskedPassword[] = u"******";

bool IsQuote(char16_t c) { return c == u'"' || c == u'\''; }

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c < 0xDC00; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c < 0xE000; }

// Whether the key that ends just before `equals` names a password: its last word, blanks
// before the "=" aside, is "Password" or "Pwd" in any case ("Password", "PWD", "Jet OLEDB:Database
// Password").
bool EndsWithPasswordKey(std::u16string_view text, std::size_t equals) {
  std::size_t end = equals;
  while (end > 0 && IsAsciiBlank(text[end - 1])) --end;
  std::size_t begin = end;
  while (begin > 0 && IsAsciiAlpha(text[begin - 1])) --begin;
  const std::u16string_view word = text.substr(begin, end - begin);
  return EqualsIgnoringAsciiCase(word, u"password") || EqualsIgnoringAsciiCase(word, u"pwd");
}

}  // namespace

std::u16string QuotedStatement(std::u16string_view sql) {
  if (sql.size() <= kQuotedStatementUnits) return std::u16string(sql);
  std::size_t cut = kQuotedStatementUnits;
  // A high surrogate whose low one would be left out goes with it.
  if (IsHighSurrogate(sql[cut - 1])) --cut;
  std::size_t characters = sql.size();
  for (std::size_t i = 0; i + 1 < sql.size(); ++i) {
    if (IsHighSurrogate(sql[i]) && IsLowSurrogate(sql[i + 1])) --characters;
  }
  std::u16string quoted(sql.substr(0, cut));
  quoted.append(u"...(共").append(FromUtf8(std::to_string(characters))).append(u"个字符)");
  return quoted;
}

std::u16string SqlErrorText(std::int32_t code, std::string_view description,
                            std::u16string_view sql) {
  return u"执行SQL语句错误：\n错误代码: " + FromUtf8(std::to_string(code)) + u"\n错误原因: " +
         (description.empty() ? std::u16string(u".") : FromUtf8(description)) + u"\n错误语句:" +
         QuotedStatement(sql);
}

void ReportDatabaseError(const std::u16string& text, std::int32_t code) {
  CEventLogEntry entry(text, CEventLogEntry::kError);
  entry.SetData(&code, sizeof(code));
  entry.Report();
}

std::u16string MaskPassword(std::u16string_view text) {
  std::u16string masked;
  masked.reserve(text.size());
  // The quotes of the values being read, innermost last: a value such as Extended
  // Properties="DSN=emr;PWD=secret" holds items of its own.
  std::vector<char16_t> open_quotes;
  std::size_t i = 0;
  while (i < text.size()) {
    const char16_t c = text[i];
    if (!open_quotes.empty() && c == open_quotes.back()) open_quotes.pop_back();
    masked.push_back(c);
    ++i;
    if (c != u'=') continue;
    std::size_t value = i;
    while (value < text.size() && IsAsciiBlank(text[value])) ++value;
    const bool quoted = value < text.size() && IsQuote(text[value]);
    if (!EndsWithPasswordKey(text, i - 1)) {
      if (quoted) {
        masked.append(text.substr(i, value + 1 - i));
        open_quotes.push_back(text[value]);
        i = value + 1;
      }
      continue;
    }
    // A password runs to its closing quote, or else to the next ";" or to the end of the
    // value that holds it.
    std::size_t end = value;
    if (quoted) {
      const std::size_t close = text.find(text[value], value + 1);
      end = close == std::u16string_view::npos ? text.size() : close + 1;
    } else {
      while (end < text.size() && text[end] != u';' &&
             (open_quotes.empty() || text[end] != open_quotes.back())) {
        ++end;
      }
    }
    masked.append(kMaskedPassword);
    i = end;
  }
  return masked;
}

}  // namespace korvalis::datasource
