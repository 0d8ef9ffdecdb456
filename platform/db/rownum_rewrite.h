// Rewrites ROWNUM read inside aggregates (MAX(ROWNUM) counts the rows of a query, as the
// paged searches do for their total) on the syntax tree.
//
// ROWNUM numbers the rows that pass WHERE, before grouping. So the single FROM item and
// WHERE move into an inline view that numbers its rows under the item's own name, and the
// aggregates read that number:
//   SELECT MAX(ROWNUM) FROM (Q) A WHERE w
//   -> SELECT MAX(A."ROWNUM$") FROM (SELECT A.*, ROWNUM "ROWNUM$" FROM (Q) A WHERE w) A
//
// Thread-safety: a pure function of its argument.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/db/sql_ast.h"

namespace korvalis::db {

// Precondition: `core` is one query level as parsed. Over several FROM items the level's rows
// are numbered as they pass WHERE instead (core.rownum_runs, as ExtractRownumLimit sets it).
// Leaves `core` unchanged when no aggregate reads ROWNUM.
void MoveRownumOutOfAggregates(sql::SelectCore& core);

// Precondition: MoveRownumOutOfAggregates ran on `core`. When every condition of the
// top-level AND chain of WHERE that reads ROWNUM bounds it (ROWNUM < n, <= n, = 1,
// n > ROWNUM ...), they become TRUE and set core.rownum_limit to the rows they keep.
// Otherwise, where WHERE compares ROWNUM with numbers under AND, OR and NOT (ROWNUM <= 2 OR
// X = 1, ROWNUM <> 3, ROWNUM BETWEEN 2 AND 4, ROWNUM IN (1, 3)), WHERE stays and
// core.rownum_runs receives the runs of ROWNUM over which it reads alike: a row passes when
// WHERE holds for it with ROWNUM one more than the rows passed before it, as Oracle numbers
// them (a hierarchical query's in the tree's order). Throws SqlError (kNotSupported) for
// ROWNUM in any other condition.
void ExtractRownumLimit(sql::SelectCore& core);

// The first ROWNUM of each run of ROWNUMs over which `condition` reads alike (as
// core.rownum_runs holds them for WHERE). Throws SqlError (kNotSupported) for ROWNUM in any
// condition but compared with numbers under AND, OR and NOT.
std::vector<int64_t> RownumRuns(const sql::Expr& condition);

}  // namespace korvalis::db
