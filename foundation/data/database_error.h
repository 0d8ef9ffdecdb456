// The texts and records of database failures: what the event log keeps of a failing statement
// (result code, description, SQL), and the connection string as a log may show it.
//
// Thread-safety: stateless functions; the event log is thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvalis::datasource {

// "执行SQL语句错误：\n错误代码: <code>\n错误原因: <description, or '.'>\n错误语句:<sql>".
std::u16string SqlErrorText(std::int32_t code, std::string_view description,
                            const std::u16string& sql);

// Writes an error record with `text` and the 4 bytes of `code` as raw data.
void ReportDatabaseError(const std::u16string& text, std::int32_t code);

// `text` with the value of every password item replaced by "******", wherever the item
// stands: in a connection string, inside a quoted value of one (nested ones included), or in a
// message that quotes one. A password item's key ends in the word "Password" or "Pwd" (any
// case); its value runs to its closing quote when quoted, else to the next ";" or the end of
// the value that holds it.
std::u16string MaskPassword(std::u16string_view text);

}  // namespace korvalis::datasource
