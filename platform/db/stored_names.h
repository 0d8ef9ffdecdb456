// The names under which the embedded database keeps Oracle's names of tables, views, columns,
// indexes and constraints.
//
// SQLite tells such names apart without regard to ASCII case, while Oracle's quoted names keep
// it: "abc" and ABC are two columns. A name holding ASCII lower-case letters is therefore kept
// with a mark of where they stand, after a double quote: "abc" as abc"111, "aBc" as aBc"101.
// A name without them (every unquoted name, all of the system's schema) is kept as it is. No
// Oracle name holds a double quote, so a marked name is never another name.
//
// Thread-safety: plain functions of their arguments.
#pragma once

#include <string>
#include <string_view>

namespace korvalis::db {

// Whether `name` is stored under another name (it holds an ASCII lower-case letter).
bool IsMarkedWhenStored(std::string_view name);
// Appends the name `name` is stored under.
void AppendStoredName(std::string_view name, std::string* out);
// The Oracle name of a name the embedded database reports (a table's, a column's, a result
// column's): the part before the mark where `stored` is a marked name, otherwise `stored`.
std::string_view OracleNameOf(std::string_view stored);

}  // namespace korvalis::db
