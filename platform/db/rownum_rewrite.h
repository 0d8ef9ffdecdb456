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

#include "platform/db/sql_ast.h"

namespace korvalis::db {

// Precondition: `core` is one query level as parsed. Throws SqlError (kNotSupported) when
// the aggregates read ROWNUM over several FROM items. Leaves `core` unchanged when no
// aggregate reads ROWNUM.
void MoveRownumOutOfAggregates(sql::SelectCore& core);

// Precondition: MoveRownumOutOfAggregates ran on `core`. The ROWNUM bounds of the top-level
// AND chain of WHERE (ROWNUM < n, <= n, = 1, n > ROWNUM ...) become TRUE and set
// core.rownum_limit to the rows they keep; left unset without such bounds. Throws SqlError
// (kNotSupported) for ROWNUM in any other condition.
void ExtractRownumLimit(sql::SelectCore& core);

}  // namespace korvalis::db
