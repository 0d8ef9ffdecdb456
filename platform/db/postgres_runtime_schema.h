// The runtime's script bound to the schema it is installed into. A SQL or PL/pgSQL function's
// body is parsed by the search path of the statement that runs it, not of the one that made
// it: an index expression, a generated column or a check that calls a runtime function runs
// its body under whatever path the caller has (pg_restore sets an empty one). Every name of
// the script's own functions, aggregates and domains is therefore written after its schema,
// in the bodies too. No function carries a SET search_path clause, which would stop the
// server from inlining the SQL functions into the statements that call them.
//
// Thread-safety: pure functions.
#pragma once

#include <string>
#include <string_view>

namespace korvalis::db {

// `schema` as an identifier of PostgreSQL's whatever characters it holds, fit to stand in a
// dollar-quoted body too: a name holding '$' is written with Unicode escapes, so that no part
// of it can end the body it is written into.
std::string PostgresQuotedIdentifier(std::string_view schema);

// `script` with each name that it creates as a function, an aggregate or a domain written
// after `schema` wherever it stands outside comments and string constants and is not qualified
// already. An empty `schema` leaves the script as it is.
std::string QualifyRuntimeNames(std::string_view script, std::string_view schema);

}  // namespace korvalis::db
