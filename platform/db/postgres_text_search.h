// The Oracle Text and XML functions of a PostgreSQL database, part of the runtime of
// postgres_runtime.h:
//
//   ora_text_units(text, kind)      the unit string of a text (text_units.h UnitString;
//                                   kind 0: plain text, 1: XML read by its character content)
//   ora_text_sections(xml, path)    the unit strings of the nodes an XPath selects (INPATH)
//   ora_extractvalue(xml, path)     the text of the one node the XPath selects
//   ora_extract(xml, path)          the markup of the nodes the XPath selects
//   ora_blob_text(bytea)            a BLOB's bytes read as UTF-8 (ill-formed bytes separate)
//   ora_text_program(query)         a CONTAINS query compiled when the statement runs
//   ora_text_matches(text, kind, program)  CONTAINS with such a query: 100 or 0
//
// A text index there is a trigram index (pg_trgm) over ora_text_units of its column, kept by
// the server in the transaction of each write; CONTAINS with a literal query becomes regular
// expressions over the same expression (TextQuery::ServerCondition), which the index serves.
// A query known only when the statement runs (a bound or computed text) is compiled by the
// server into the same regular expressions, with the parser's failures, and matched row by
// row. The character classes
// and the folding of letters are written into the functions from text_units.h, so both
// engines split a text alike.
//
// Thread-safety: the script is built once, then constant.
#pragma once

#include <string>

namespace korvalis::db {

const std::string& PostgresTextSearchSql();

}  // namespace korvalis::db
