// The OLE DB style initialisation string: "key=value;key=value". Keys are case-insensitive
// and trimmed; values are trimmed and may be quoted with ' or " (to hold a ';').
//
// Thread-safety: immutable after parsing.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace korvalis::db {

class ConnectionString {
 public:
  // Throws DbError (kCannotConnect) for an item without '=' or an unterminated quote.
  static ConnectionString Parse(std::string_view text);

  // The value of `key` (any case), if present.
  std::optional<std::string> Get(std::string_view key) const;

  // The item `key` as a whole number of seconds from 0 to kLongestSeconds; `fallback` when it
  // is absent or empty. Throws DbError (kCannotConnect) naming the item and what it holds.
  std::chrono::seconds Seconds(std::string_view key, std::chrono::seconds fallback) const;
  // The server's time settings hold milliseconds in a 32-bit integer.
  static constexpr int kLongestSeconds = 2147483;

 private:
  std::map<std::string, std::string> items_;  // keys in lower case
};

}  // namespace korvalis::db
