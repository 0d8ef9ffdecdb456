#include "platform/db/rownum_rewrite.h"

#include <string>

#include "platform/db/sql_error.h"

namespace korvalis::db {
namespace {

using sql::Expr;
using sql::ExprKind;
using sql::ExprPtr;
using sql::TableRef;

constexpr const char* kNumberColumn = "ROWNUM$";

bool IsAggregate(const Expr& e) {
  if (e.kind != ExprKind::kFunction || e.over) return false;
  const std::string& f = e.text;
  return f == "COUNT" || f == "SUM" || f == "AVG" || f == "MIN" || f == "MAX";
}

bool HasRownum(const Expr& e) {
  if (e.kind == ExprKind::kRownum) return true;
  for (const auto& a : e.args) {
    if (a && HasRownum(*a)) return true;
  }
  return false;
}

bool AggregateReadsRownum(const Expr& e) {
  if (IsAggregate(e)) return HasRownum(e);
  for (const auto& a : e.args) {
    if (a && AggregateReadsRownum(*a)) return true;
  }
  return false;
}

// Replaces ROWNUM under aggregates by the numbering column of the view.
void ReadNumberColumn(ExprPtr& e, bool in_aggregate, const sql::Name& view) {
  if (!e) return;
  if (e->kind == ExprKind::kRownum && in_aggregate) {
    e = std::make_unique<Expr>(ExprKind::kColumn);
    e->parts.push_back(view);
    e->parts.push_back(sql::Name{kNumberColumn, true});
    return;
  }
  const bool inside = in_aggregate || IsAggregate(*e);
  for (auto& a : e->args) ReadNumberColumn(a, inside, view);
}

}  // namespace

void MoveRownumOutOfAggregates(sql::SelectCore& core) {
  bool reads = core.having && AggregateReadsRownum(*core.having);
  for (const auto& item : core.items) reads = reads || AggregateReadsRownum(*item.expr);
  if (!reads) return;
  if (core.from.size() != 1 || core.from[0].kind == TableRef::kJoin) {
    throw SqlError("ROWNUM in an aggregate over several tables is not supported by the embedded database",
                   kNotSupported);
  }
  TableRef& item = core.from[0];
  const sql::Name view = !item.alias.empty()              ? item.alias
                         : item.kind == TableRef::kTable ? item.table
                                                         : sql::Name{"ROWNUM$VIEW", true};

  auto numbered = std::make_unique<sql::Select>();
  sql::SelectCore inner;
  sql::SelectItem all;
  all.expr = std::make_unique<Expr>(ExprKind::kStar);
  all.expr->parts.push_back(view);
  inner.items.push_back(std::move(all));
  sql::SelectItem number;
  number.expr = std::make_unique<Expr>(ExprKind::kRownum);
  number.alias = sql::Name{kNumberColumn, true};
  inner.items.push_back(std::move(number));
  if (item.kind == TableRef::kSubquery && item.alias.empty()) item.alias = view;
  inner.from.push_back(std::move(item));
  inner.where = std::move(core.where);
  numbered->cores.push_back(std::move(inner));

  TableRef replacement;
  replacement.kind = TableRef::kSubquery;
  replacement.subquery = std::move(numbered);
  replacement.alias = view;
  core.from.clear();
  core.from.push_back(std::move(replacement));

  for (auto& i : core.items) ReadNumberColumn(i.expr, false, view);
  ReadNumberColumn(core.having, false, view);
}

}  // namespace korvalis::db
