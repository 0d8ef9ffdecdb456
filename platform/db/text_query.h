// The Oracle Text query language of CONTAINS over stored texts (split into units as
// text_units.h says).
//
// A query is a boolean expression of terms: a term is one or more words, a phrase that must
// stand in the text unit after unit (a Chinese run in a phrase ends or starts a run of the
// text where it touches a neighbour, and stands inside one when it is alone); `%` stands for
// any characters and `_` for one in a Latin word; `&`/AND binds tighter than `|`/OR, and
// `~`/NOT (a NOT b: a and not b) tighter than both; parentheses group; `q INPATH(path)`
// restricts q to the text of the XML elements the path selects. An empty or malformed query
// fails with Oracle Text's syntax error; operators the embedded database does not implement
// (NEAR, WITHIN, ABOUT, MINUS, ACCUM, fuzzy, stem, soundex ...) are refused by name.
//
// Thread-safety: a parsed TextQuery is immutable and may be shared between threads.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/text_units.h"

namespace korvalis::db::text {

class TextQuery {
 public:
  struct Node;

  // Parses a query. Throws SqlError: Oracle Text's syntax error for an empty or malformed
  // query, kNotSupported for an operator that is not implemented.
  static std::shared_ptr<const TextQuery> Parse(std::string_view query);
  ~TextQuery();

  // Whether the text matches the query. For a query with INPATH, `text` is XML; a text that
  // is not well-formed XML throws SqlError.
  bool Matches(std::string_view text, TextKind kind) const;

  // A query of the full-text index (SQLite FTS5 syntax) whose hits include every matching
  // text; empty when the index cannot narrow the search. `exact` tells whether its hits are
  // exactly the matching texts, so that they need no second look.
  std::string IndexQuery(bool* exact) const;

  bool HasPath() const;

  // The query as a condition of PostgreSQL's SQL over unit strings (UnitString): `units` is
  // the SQL of the searched text's unit string; `sections(path)` the SQL of the set of unit
  // strings of the XML nodes an INPATH path selects, as a FROM item named `section` with the
  // column `units`.
  std::string ServerCondition(const std::string& units,
                              const std::function<std::string(const std::string&)>& sections) const;

 private:
  TextQuery();
  std::unique_ptr<Node> root_;
};

}  // namespace korvalis::db::text
