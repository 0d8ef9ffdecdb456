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

// The connection string with the value of every password item ("Password", "Pwd", any case,
// a quoted value included) replaced by "******".
std::u16string MaskPassword(std::u16string_view connection_string);

}  // namespace korvalis::datasource
