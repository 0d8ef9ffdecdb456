// The Oracle Text and XML functions of a PostgreSQL database, part of the runtime of
// postgres_runtime.h:
//
//   ora_text_units(text, kind)      the unit string of a text (text_units.h UnitString;
//                                   kind 0: plain text, 1: XML read by its character content)
//   ora_text_sections(xml, path)    the unit strings of the nodes an XPath selects (INPATH)
//   ora_extractvalue(xml, path)     the text of the one node the XPath selects
//   ora_extract(xml, path)          the markup of the nodes the XPath selects
//
// A text index there is a trigram index (pg_trgm) over ora_text_units of its column, kept by
// the server in the transaction of each write; CONTAINS becomes regular expressions over the
// same expression (TextQuery::ServerCondition), which the index serves. The character classes
// and the folding of letters are written into the functions from text_units.h, so both
// engines split a text alike.
//
// Thread-safety: the script is built once, then constant.
#pragma once

#include <string>

namespace korvalis::db {

const std::string& PostgresTextSearchSql();

}  // namespace korvalis::db
