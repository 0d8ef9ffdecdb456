// The rewrites of Oracle's constructs on the syntax tree, run as one ordered list of passes
// over every query level of a statement before any printer reads it, so that a printer only
// resolves names and types and prints, and every printer gets the same tree:
//
//   hierarchy_check     refuses the hierarchical queries that no printer gives exactly
//   nested_aggregate_rewrite  aggregates of aggregates read a view of the groups
//                             (nested_aggregate_rewrite.h)
//   outer_join_rewrite  (+) conditions become LEFT JOINs            (outer_join_rewrite.h)
//   rownum_rewrite      ROWNUM read in aggregates moves into a view  (rownum_rewrite.h)
//   rownum_limit        ROWNUM bounds in WHERE become the level's row limit (rownum_rewrite.h)
//
// The passes see a query level before the levels nested in it (subqueries, inline views,
// the view a pass makes itself), each level once.
//
// Thread-safety: pure functions of their arguments.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "platform/db/catalog.h"
#include "platform/db/sql_ast.h"

namespace korvalis::db {

struct RewritePass {
  std::string_view name;
  // Rewrites or checks one query level; `order_by` is the ORDER BY of the query the level is
  // alone in (it orders the level's own rows), or null. Throws SqlError.
  void (*run)(sql::SelectCore& core, std::vector<sql::OrderItem>* order_by,
              const Catalog& catalog);
};

// The passes in the order they run.
std::span<const RewritePass> RewritePasses();

// Runs every pass over every query level of `stmt`. Throws SqlError.
void RunRewritePasses(sql::Statement& stmt, const Catalog& catalog);

// The hierarchy check: a hierarchical query needs CONNECT BY over a single FROM item, no
// hierarchical operator in START WITH or CONNECT BY, and NOCYCLE to read CONNECT_BY_ISCYCLE;
// ROWNUM stands only in the select list and WHERE of an ungrouped one (and in the CONNECT BY of
// DUAL's chain without WHERE). Levels without CONNECT BY or START WITH pass.
void CheckHierarchy(const sql::SelectCore& core);

}  // namespace korvalis::db
