// The texts and records of database failures: what the event log keeps of a failing statement
// (result code, description, SQL), a statement as records and messages quote it, and the
// connection string as a log may show it.
//
// Thread-safety: stateless functions; the event log is thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvalis::datasource {

// The most UTF-16 units of a statement that a record or message quotes.
inline constexpr std::size_t kQuotedStatementUnits = 4000;

// `sql` as a record or message quotes it: whole when it holds at most kQuotedStatementUnits
// units, otherwise its start (that many units at most, no character cut in two) and
// "...(共<n>个字符)" with the number of its characters, so that no record or message carries a
// long statement whole.
std::u16string QuotedStatement(std::u16string_view sql);

// "执行SQL语句错误：\n错误代码: <code>\n错误原因: <description, or '.'>\n错误语句:<sql quoted>".
std::u16string SqlErrorText(std::int32_t code, std::string_view description,
                            std::u16string_view sql);

// Writes an error record with `text` and the 4 bytes of `code` as raw data.
void ReportDatabaseError(const std::u16string& text, std::int32_t code);

// `text` with the value of every password item replaced by "******", wherever the item
// stands: in a connection string, inside a quoted value of one (nested ones included), or in a
// message that quotes one. A password item's key ends in the word "Password" or "Pwd" (any
// case); its value runs to its closing quote when quoted, else to the next ";" or the end of
// the value that holds it.
std::u16string MaskPassword(std::u16string_view text);

}  // namespace korvalis::datasource
