// Rewrites an aggregate of aggregates (MAX(COUNT(*)) ... GROUP BY) on the syntax tree.
//
// The inner aggregates are computed per group, the outer ones over the groups. So the level
// with its FROM, WHERE, GROUP BY and HAVING moves into an inline view giving the argument of
// each outer aggregate per group, and the level aggregates the view's rows:
//   SELECT MAX(COUNT(*)) FROM T WHERE w GROUP BY G HAVING h
//   -> SELECT MAX("AGG$1") FROM (SELECT COUNT(*) "AGG$1" FROM T WHERE w GROUP BY G HAVING h)
// The level's ORDER BY orders its one row: it reads what the select list may read, and the view
// gives the arguments of its outer aggregates too.
//
// Thread-safety: a pure function of its argument.
#pragma once

#include <vector>

#include "platform/db/sql_ast.h"

namespace korvalis::db {

// Precondition: `core` is one query level as parsed; `order_by` is the ORDER BY of the query it
// is alone in, or null. Leaves both unchanged unless the level has GROUP BY and an aggregate of
// aggregates in its select list. Throws SqlError: ORA-00937 where an item reads anything but
// constants and aggregates of aggregates, or an ORDER BY key anything but those and the select
// items' aliases; ORA-00935 where aggregates nest deeper or HAVING nests them.
void MoveNestedAggregatesIntoView(sql::SelectCore& core, std::vector<sql::OrderItem>* order_by);

}  // namespace korvalis::db
