#include "platform/db/connection_string.h"

#include "platform/db/sql_error.h"

namespace korvalis::db {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  return s;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

}  // namespace

ConnectionString ConnectionString::Parse(std::string_view text) {
  ConnectionString cs;
  size_t i = 0;
  while (i < text.size()) {
    size_t eq = text.find('=', i);
    size_t semi = text.find(';', i);
    if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
      std::string_view rest = Trim(text.substr(i, semi == std::string_view::npos ? std::string_view::npos : semi - i));
      if (!rest.empty()) {
        throw DbError(kCannotConnect, "invalid initialisation string item '" + std::string(rest) + "'");
      }
      if (semi == std::string_view::npos) break;
      i = semi + 1;
      continue;
    }
    std::string key = Lower(Trim(text.substr(i, eq - i)));
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
      value = std::string(Trim(text.substr(v, end == std::string_view::npos ? std::string_view::npos : end - v)));
      i = end == std::string_view::npos ? text.size() : end + 1;
    }
    if (key.empty()) throw DbError(kCannotConnect, "empty key in the initialisation string");
    cs.items_[key] = value;
  }
  return cs;
}

std::optional<std::string> ConnectionString::Get(std::string_view key) const {
  auto it = items_.find(Lower(key));
  if (it == items_.end()) return std::nullopt;
  return it->second;
}

}  // namespace korvalis::db
