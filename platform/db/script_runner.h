// SQL scripts: statements ended by ";" at the end of a line or by "/" alone on a line, as an
// operator writes them for a SQL shell. Used for the schema files and for `korvalis sql`.
//
// Thread-safety: pure functions, apart from the connection they run statements on.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/provider.h"

namespace korvalis::db {

struct ScriptStatement {
  std::string text;  // without the ending ";" or "/"
  int line = 0;      // 1-based line where the statement starts
};

// Splits a script. Quoted text and comments may hold ";" and "/" freely. A last statement
// without an end is kept. Throws SqlError for a quote left open at the end.
std::vector<ScriptStatement> SplitScript(std::string_view script);

// Runs every statement of `script` in order on `connection`; `on_rows`, when given, sees each
// statement's rowset. Stops at the first failure with a DbError whose description names the
// statement's line.
void RunScript(Connection& connection, std::string_view script,
               const std::function<void(const ScriptStatement&, Rowset&)>& on_rows = nullptr);

}  // namespace korvalis::db
