// What a PostgreSQL database needs before the front end's statements run there: the metadata
// tables of the catalog (declared Oracle types, constraints, comments), the one-row DUAL, and
// the functions that give Oracle's results (conversions, NULL-aware concatenation, exact
// division, date arithmetic, the Oracle built-ins of postgres_functions.h, the text search of
// postgres_text_search.h), named as the embedded engine's are and overloaded by PostgreSQL's
// types where SQLite decides by value.
//
// A function's failure carries Oracle's message; its SQLSTATE tells the result code:
// KV000 any failure, KV001 a conversion, KV002 a value too large, KV003 an error in the
// command.
//
// Thread-safety: constants.
#pragma once

namespace korvalis::db {

// The script that creates or replaces the objects; it can run again on a database that has
// them.
const char* PostgresRuntimeSql();

// The version the script installs, as korvalis_runtime_version() answers it.
inline constexpr int kPostgresRuntimeVersion = 43;

}  // namespace korvalis::db
