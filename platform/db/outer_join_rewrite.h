// Rewrites Oracle's (+) outer joins of one query level into LEFT JOINs, on the syntax tree.
//
// In a comma-separated FROM list, a WHERE condition in which the columns of one item T carry
// the (+) marker joins T to the items its other columns name, keeping their rows when T has
// no match. All such conditions of T become the ON condition of `... LEFT JOIN T ON ...`;
// T is placed after every item it is joined to (chains A to B to C), and the other items
// keep their order. Conditions on T without the marker stay in WHERE, so they filter after
// the join as in Oracle. A condition whose only other references are constants or outer
// query levels is a plain filter when T is joined to nothing. What Oracle forbids is refused
// with Oracle's message: (+) under OR or IN, (+) compared with a subquery, (+) on two items
// in one condition, two items joined to each other, (+) on an item of an ANSI join.
//
// Thread-safety: a pure function of its arguments.
#pragma once

#include "platform/db/catalog.h"
#include "platform/db/sql_ast.h"

namespace korvalis::db {

// Precondition: `core` is one query level as parsed; the nested ones are rewritten on their
// own (a pass of rewrite_passes.h). Throws SqlError. Leaves `core` unchanged when its WHERE has no (+) marker.
void RewriteOuterJoins(sql::SelectCore& core, const Catalog& catalog);

// Whether `e` has a column with the (+) marker on this query level (nested queries are not
// searched).
bool HasOuterJoinMarker(const sql::Expr& e);

}  // namespace korvalis::db
