// Oracle Text and XML functions of the embedded database: the full-text index's tokenizers
// and the SQL functions through which translated statements search and read stored texts.
//
//   ora_contains(text, query, kind)   100 when the text matches the Oracle Text query, else 0
//                                      (kind 0: plain text, 1: XML)
//   ora_extractvalue(xml, path)        the text of the one node the XPath selects
//   ora_extract(xml, path)             the markup of the nodes the XPath selects
//
// A text index is an FTS5 table over one column, kept by triggers in the same transaction as
// the column's rows, so new rows are searchable at once. Its tokenizer ("korvalis", or
// "korvalis_xml" for XML texts) indexes the units of text_query.h: each Latin word, and each
// Chinese character with the pair it starts, so that any Chinese substring is a phrase of
// pairs.
//
// Thread-safety: registration is per connection; the functions keep no shared state.
#pragma once

#include <string>
#include <string_view>

struct sqlite3;

namespace korvalis::db {

// Registers the tokenizers and functions on `db`; returns an SQLite result code.
int RegisterTextSearch(sqlite3* db);

// The name of the FTS5 table of the text index on table.column: for plain text, or for XML
// read by its character content and searchable by path (an index with the path section
// group).
std::string TextIndexTable(std::string_view table, std::string_view column, bool xml);

}  // namespace korvalis::db
