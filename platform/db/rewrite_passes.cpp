#include "platform/db/rewrite_passes.h"

#include "platform/db/nested_aggregate_rewrite.h"
#include "platform/db/outer_join_rewrite.h"
#include "platform/db/rownum_rewrite.h"

namespace korvalis::db {
namespace {

using sql::Expr;
using sql::Select;
using sql::SelectCore;
using sql::TableRef;
using Ordering = std::vector<sql::OrderItem>;

constexpr RewritePass kPasses[] = {
    {"hierarchy_check", [](SelectCore& core, Ordering*, const Catalog&) { CheckHierarchy(core); }},
    {"nested_aggregate_rewrite",
     [](SelectCore& core, Ordering* order_by, const Catalog&) {
       MoveNestedAggregatesIntoView(core, order_by);
     }},
    {"outer_join_rewrite",
     [](SelectCore& core, Ordering*, const Catalog& catalog) { RewriteOuterJoins(core, catalog); }},
    {"rownum_rewrite",
     [](SelectCore& core, Ordering*, const Catalog&) { MoveRownumOutOfAggregates(core); }},
    {"rownum_limit", [](SelectCore& core, Ordering*, const Catalog&) { ExtractRownumLimit(core); }},
};

// Visits the query levels under the nodes of a statement, each after the level holding it.
class LevelWalker {
 public:
  explicit LevelWalker(const Catalog& catalog) : catalog_(catalog) {}

  void Walk(Select& select) {
    // The ORDER BY of a compound query orders its result, not the rows of one of its levels.
    Ordering* own_order = select.cores.size() == 1 ? &select.order_by : nullptr;
    for (SelectCore& core : select.cores) Walk(core, own_order);
    for (sql::OrderItem& item : select.order_by) Walk(item.expr);
  }

  void Walk(sql::ExprPtr& e) {
    if (!e) return;
    if (e->subquery) Walk(*e->subquery);
    for (sql::ExprPtr& a : e->args) Walk(a);
    if (e->over) {
      for (sql::ExprPtr& p : e->over->partition_by) Walk(p);
      for (sql::OrderItem& item : e->over->order_by) Walk(item.expr);
    }
  }

 private:
  void Walk(SelectCore& core, Ordering* order_by) {
    for (const RewritePass& pass : kPasses) pass.run(core, order_by, catalog_);
    for (sql::SelectItem& item : core.items) Walk(item.expr);
    for (TableRef& ref : core.from) Walk(ref);
    Walk(core.where);
    for (sql::ExprPtr& g : core.group_by) Walk(g);
    Walk(core.having);
    Walk(core.connect_by);
    Walk(core.start_with);
  }

  void Walk(TableRef& ref) {
    if (ref.subquery) Walk(*ref.subquery);
    if (ref.left) Walk(*ref.left);
    if (ref.right) Walk(*ref.right);
    Walk(ref.on);
  }

  const Catalog& catalog_;
};

}  // namespace

std::span<const RewritePass> RewritePasses() { return kPasses; }

void RunRewritePasses(sql::Statement& stmt, const Catalog& catalog) {
  LevelWalker walker(catalog);
  if (stmt.select) walker.Walk(*stmt.select);
  for (sql::ExprPtr& v : stmt.values) walker.Walk(v);
  for (sql::Assignment& a : stmt.assignments) walker.Walk(a.value);
  walker.Walk(stmt.where);
}

}  // namespace korvalis::db
