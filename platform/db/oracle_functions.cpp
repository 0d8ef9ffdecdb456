#include "platform/db/oracle_functions.h"

#include <sqlite3.h>

#include "platform/db/exact_number_values.h"
#include "platform/db/rownum_walk.h"
#include "platform/db/sql_function_support.h"
#include "platform/db/text_search.h"

namespace korvalis::db {

// What a translated statement asks of the engine's own code, beside the functions registered
// here, as the translator prints it (function_translator.cpp, aggregate_translator.cpp,
// condition_translator.cpp, hierarchy.cpp, window_translator.cpp, dictionary_views.cpp), and
// why each is bounded within one step of the engine, where neither the progress check nor a
// function's own account reaches:
// - LIKE (the operator calls like(pattern, text[, escape])): its backtracking costs the product
//   of the lengths and refuses long patterns in the engine's own words, so the engine's is
//   replaced by ours (like_pattern.h), charged to the call's account. A pattern of at most 1000
//   bytes written in the statement, ASCII characters followed by '%' alone, is printed as the
//   engine's GLOB, whose match then reads the pattern once, whatever the text, and answers as
//   ours (condition_translator.cpp).
//   REGEXP is never printed.
// - MATCH of a text index (text_index_sql.cpp), for CONTAINS whose query the statement holds:
//   the index reads the documents of the query's words a row at a time, each row a step; its
//   tokenizer (text_search.cpp) reads a row's text once as the row is written.
// - instr(path, '/' || id || '/') of CONNECT BY ... NOCYCLE: one search of a short key through a
//   row's path of ancestors' keys, linear in the path, which the row itself holds.
// - printf('%020d', n) of a sibling order; rtrim(text, ' ') of a blank-padded comparison;
//   length(default text) of the dictionary; unicode (ASCII); typeof, coalesce and nullif of NVL,
//   DECODE and NULLIF; unixepoch of a date as a window's range key: each reads its arguments
//   once, with a fixed format or a set of one character.
// - count, sum, avg, min and max of values the engine keeps as they are (a number's are ours),
//   and row_number, rank, dense_rank, ntile, first_value, last_value, lag and lead: constant work
//   a row, a comparison of two values at most.
// - comparisons, ||, CASE, CAST, IN and BETWEEN: each reads its operands once.
// Substr, replace, upper, lower, trim, round, group_concat, json and date functions of the
// engine are never printed: the translator prints ours in their place or refuses the name.
int RegisterOracleFunctions(sqlite3* db) {
  using functions::FunctionEntry;
  for (auto family : {functions::ConversionFunctions(), functions::TextFunctions(),
                      functions::NumberFunctions(), functions::DateFunctions(),
                      functions::NumberOrderFunctions(), functions::ExactNumberFunctions(),
                      functions::RegexpFunctions(), functions::LikeFunctions()}) {
    for (const FunctionEntry& f : family) {
      const int rc = functions::RegisterFunction(db, f);
      if (rc != SQLITE_OK) return rc;
    }
  }
  int rc = functions::RegisterLikeOfTexts(db);
  if (rc == SQLITE_OK) rc = functions::RegisterNumberAggregates(db);
  if (rc == SQLITE_OK) rc = functions::RegisterListagg(db);
  return rc != SQLITE_OK ? rc : RegisterRownumWalk(db);
}

int RegisterEmbeddedFunctions(sqlite3* db) {
  const int rc = RegisterOracleFunctions(db);
  return rc != SQLITE_OK ? rc : RegisterTextSearch(db);
}

}  // namespace korvalis::db
