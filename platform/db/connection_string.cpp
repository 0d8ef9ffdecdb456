#include "platform/db/connection_string.h"

#include <charconv>
#include <system_error>

#include "platform/db/sql_error.h"
#include "platform/text/ascii.h"

namespace korvalis::db {
ConnectionString ConnectionString::Parse(std::string_view text) {
  ConnectionString cs;
  size_t i = 0;
  while (i < text.size()) {
    size_t eq = text.find('=', i);
    size_t semi = text.find(';', i);
    if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
      std::string_view rest = TrimAsciiSpaces(
          text.substr(i, semi == std::string_view::npos ? std::string_view::npos : semi - i));
      if (!rest.empty()) {
        throw DbError(kCannotConnect,
                      "invalid initialisation string item '" + std::string(rest) + "'");
      }
      if (semi == std::string_view::npos) break;
      i = semi + 1;
      continue;
    }
    std::string key = AsciiLower(TrimAsciiSpaces(text.substr(i, eq - i)));
    size_t v = eq + 1;
    while (v < text.size() && text[v] == ' ') ++v;
    std::string value;
    if (v < text.size() && (text[v] == '"' || text[v] == '\'')) {
      char q = text[v];
      size_t close = text.find(q, v + 1);
      if (close == std::string_view::npos) {
        throw DbError(kCannotConnect, "unterminated quote in the initialisation string");
      }
      value = std::string(text.substr(v + 1, close - v - 1));
      size_t next = text.find(';', close);
      i = next == std::string_view::npos ? text.size() : next + 1;
    } else {
      size_t end = text.find(';', v);
      value = std::string(TrimAsciiSpaces(
          text.substr(v, end == std::string_view::npos ? std::string_view::npos : end - v)));
      i = end == std::string_view::npos ? text.size() : end + 1;
    }
    if (key.empty()) throw DbError(kCannotConnect, "empty key in the initialisation string");
    cs.items_[key] = value;
  }
  return cs;
}

std::optional<std::string> ConnectionString::Get(std::string_view key) const {
  auto it = items_.find(AsciiLower(key));
  if (it == items_.end()) return std::nullopt;
  return it->second;
}

std::chrono::seconds ConnectionString::Seconds(std::string_view key,
                                               std::chrono::seconds fallback) const {
  const std::optional<std::string> text = Get(key);
  if (!text || text->empty()) return fallback;
  int seconds = -1;
  const char* end = text->data() + text->size();
  const auto [stop, error] = std::from_chars(text->data(), end, seconds);
  if (error != std::errc() || stop != end || seconds < 0 || seconds > kLongestSeconds) {
    throw DbError(kCannotConnect, std::string(key) + " '" + *text +
                                      "' is not a number of seconds from 0 to " +
                                      std::to_string(kLongestSeconds));
  }
  return std::chrono::seconds(seconds);
}

}  // namespace korvalis::db
