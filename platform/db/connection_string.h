// The OLE DB style initialisation string: "key=value;key=value". Keys are case-insensitive
// and trimmed; values are trimmed and may be quoted with ' or " (to hold a ';').
//
// Thread-safety: immutable after parsing.
#pragma once

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

 private:
  std::map<std::string, std::string> items_;  // keys in lower case
};

}  // namespace korvalis::db
