#include "platform/db/stored_names.h"

namespace korvalis::db {
namespace {

bool IsLower(char c) { return c >= 'a' && c <= 'z'; }

}  // namespace

bool IsMarkedWhenStored(std::string_view name) {
  for (char c : name) {
    if (IsLower(c)) return true;
  }
  return false;
}

void AppendStoredName(std::string_view name, std::string* out) {
  out->append(name);
  size_t end = name.size();
  while (end > 0 && !IsLower(name[end - 1])) --end;
  if (end == 0) return;
  out->push_back('"');
  for (size_t i = 0; i < end; ++i) out->push_back(IsLower(name[i]) ? '1' : '0');
}

std::string_view OracleNameOf(std::string_view stored) {
  const size_t quote = stored.rfind('"');
  if (quote == std::string_view::npos) return stored;
  const std::string_view name = stored.substr(0, quote);
  const std::string_view mark = stored.substr(quote + 1);
  // Only the mark AppendStoredName writes: one digit a character up to the last lower-case
  // letter, 1 where a lower-case letter stands.
  if (mark.empty() || mark.size() > name.size() || mark.back() != '1') return stored;
  for (size_t i = 0; i < mark.size(); ++i) {
    if (mark[i] != (IsLower(name[i]) ? '1' : '0')) return stored;
  }
  for (size_t i = mark.size(); i < name.size(); ++i) {
    if (IsLower(name[i])) return stored;
  }
  return name;
}

}  // namespace korvalis::db
