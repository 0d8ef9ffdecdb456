#include "platform/db/nested_aggregate_rewrite.h"

#include <memory>
#include <string>
#include <utility>

#include "platform/db/sql_error.h"
#include "platform/db/sql_translator_internal.h"

namespace korvalis::db {
namespace {

using sql::Expr;
using sql::ExprKind;
using sql::ExprPtr;

bool IsAggregate(const Expr& e) {
  return e.kind == ExprKind::kFunction && !e.over && detail::IsAggregateName(e.text);
}

bool NestsAggregates(const Expr& e) {
  if (IsAggregate(e)) {
    for (const ExprPtr& a : e.args) {
      if (a && detail::ContainsAggregate(*a)) return true;
    }
    return false;
  }
  for (const ExprPtr& a : e.args) {
    if (a && NestsAggregates(*a)) return true;
  }
  return false;
}

// Moves the argument of each outer aggregate of `e` into `view` as a column, which the
// aggregate reads instead. Outside outer aggregates only constants may stand, and in ORDER BY
// (`items`: the level's select list) the names of select items: the level gives one row.
void ReadViewColumns(Expr& e, sql::SelectCore* view, const sql::SelectCore* items = nullptr) {
  if (items && detail::NamesSelectItem(e, *items)) return;
  if (IsAggregate(e)) {
    if (e.args.size() != 1 || !e.args[0] || !detail::ContainsAggregate(*e.args[0])) {
      throw SqlError("ORA-00937: not a single-group group function");
    }
    if (NestsAggregates(*e.args[0]))
      throw SqlError("ORA-00935: group function is nested too deeply");
    const sql::Name column{"AGG$" + std::to_string(view->items.size() + 1), true};
    sql::SelectItem item;
    item.expr = std::move(e.args[0]);
    item.alias = column;
    view->items.push_back(std::move(item));
    e.args[0] = std::make_unique<Expr>(ExprKind::kColumn);
    e.args[0]->parts.push_back(column);
    return;
  }
  if (e.kind == ExprKind::kColumn || e.kind == ExprKind::kRownum || e.kind == ExprKind::kStar ||
      e.subquery || e.over) {
    throw SqlError("ORA-00937: not a single-group group function");
  }
  for (ExprPtr& a : e.args) {
    if (a) ReadViewColumns(*a, view, items);
  }
}

}  // namespace

void MoveNestedAggregatesIntoView(sql::SelectCore& core, std::vector<sql::OrderItem>* order_by) {
  if (core.group_by.empty()) return;
  bool nested = false;
  for (const sql::SelectItem& item : core.items) nested = nested || NestsAggregates(*item.expr);
  if (!nested) return;
  if (core.having && NestsAggregates(*core.having)) {
    throw SqlError("ORA-00935: group function is nested too deeply");
  }
  sql::SelectCore view;
  for (sql::SelectItem& item : core.items) ReadViewColumns(*item.expr, &view);
  if (order_by) {
    for (sql::OrderItem& key : *order_by) ReadViewColumns(*key.expr, &view, &core);
  }
  view.from = std::move(core.from);
  view.where = std::move(core.where);
  view.group_by = std::move(core.group_by);
  view.having = std::move(core.having);
  view.connect_by = std::move(core.connect_by);
  view.start_with = std::move(core.start_with);
  view.nocycle = core.nocycle;
  core.from.clear();
  core.group_by.clear();
  core.nocycle = false;

  sql::TableRef groups;
  groups.kind = sql::TableRef::kSubquery;
  groups.subquery = std::make_unique<sql::Select>();
  groups.subquery->cores.push_back(std::move(view));
  groups.alias = sql::Name{"AGG$GROUPS", true};
  core.from.push_back(std::move(groups));
}

}  // namespace korvalis::db
