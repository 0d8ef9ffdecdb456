#include "foundation/database_error.h"

#include "foundation/event_log_entry.h"
#include "platform/com/ascii.h"
#include "platform/com/unicode.h"

namespace korvalis::datasource {
namespace {

bool IsPasswordKey(std::u16string_view key) {
  const std::u16string lower = AsciiLower(TrimAsciiBlanks(key));
  return lower == u"password" || lower == u"pwd";
}

}  // namespace

std::u16string SqlErrorText(std::int32_t code, std::string_view description,
                            const std::u16string& sql) {
  return u"执行SQL语句错误：\n错误代码: " + FromUtf8(std::to_string(code)) + u"\n错误原因: " +
         (description.empty() ? std::u16string(u".") : FromUtf8(description)) + u"\n错误语句:" +
         sql;
}

void ReportDatabaseError(const std::u16string& text, std::int32_t code) {
  CEventLogEntry entry(text, CEventLogEntry::kError);
  entry.SetData(&code, sizeof(code));
  entry.Report();
}

std::u16string MaskPassword(std::u16string_view text) {
  std::u16string masked;
  masked.reserve(text.size());
  std::size_t item = 0;
  while (item < text.size()) {
    const std::size_t equals = text.find(u'=', item);
    const std::size_t next_separator = text.find(u';', item);
    if (equals == std::u16string_view::npos ||
        (next_separator != std::u16string_view::npos && next_separator < equals)) {
      // An item without a value: kept as it stands.
      const std::size_t end =
          next_separator == std::u16string_view::npos ? text.size() : next_separator + 1;
      masked.append(text.substr(item, end - item));
      item = end;
      continue;
    }
    // The value runs to the next ";", or past a quoted part that may hold one.
    std::size_t value_start = equals + 1;
    while (value_start < text.size() && IsAsciiBlank(text[value_start])) ++value_start;
    std::size_t end = value_start;
    if (end < text.size() && (text[end] == u'\'' || text[end] == u'"')) {
      const std::size_t close = text.find(text[end], end + 1);
      end = close == std::u16string_view::npos ? text.size() : close + 1;
    }
    end = text.find(u';', end);
    if (end == std::u16string_view::npos) end = text.size();
    masked.append(text.substr(item, equals + 1 - item));
    if (IsPasswordKey(text.substr(item, equals - item))) {
      masked.append(u"******");
    } else {
      masked.append(text.substr(equals + 1, end - equals - 1));
    }
    if (end < text.size()) masked.push_back(u';');
    item = end + 1;
  }
  return masked;
}

}  // namespace korvalis::datasource
