#include "platform/db/rownum_rewrite.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "platform/db/sql_error.h"
#include "platform/db/sql_translator_internal.h"

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
    throw SqlError(
        "ROWNUM in an aggregate over several tables is not supported by the database layer",
        kNotSupported);
  }
  TableRef& item = core.from[0];
  const sql::Name view = !item.alias.empty()             ? item.alias
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

// The conditions of the top-level AND chain of WHERE that bound ROWNUM become TRUE (1 = 1),
// and the level keeps the rows the tightest of them allows.
void ExtractRownumLimit(sql::SelectCore& core) {
  sql::ExprPtr* where = &core.where;
  if (!*where) return;
  bool found = false;
  // Walk the top-level AND chain.
  std::vector<sql::ExprPtr*> conjuncts;
  std::vector<sql::ExprPtr*> stack{where};
  while (!stack.empty()) {
    sql::ExprPtr* p = stack.back();
    stack.pop_back();
    if ((*p)->kind == ExprKind::kBinary && (*p)->text == "AND") {
      stack.push_back(&(*p)->args[1]);
      stack.push_back(&(*p)->args[0]);
    } else {
      conjuncts.push_back(p);
    }
  }
  int64_t result = INT64_MAX;
  for (sql::ExprPtr* p : conjuncts) {
    Expr& e = **p;
    if (!detail::ContainsRownum(e)) continue;
    if (e.kind != ExprKind::kBinary || e.args.size() != 2)
      detail::Refuse("ROWNUM in this condition");
    std::string op = e.text;
    const Expr* bound = nullptr;
    if (e.args[0]->kind == ExprKind::kRownum) {
      bound = e.args[1].get();
    } else if (e.args[1]->kind == ExprKind::kRownum) {
      bound = e.args[0].get();
      // n > ROWNUM is ROWNUM < n
      if (op == "<")
        op = ">";
      else if (op == ">")
        op = "<";
      else if (op == "<=")
        op = ">=";
      else if (op == ">=")
        op = "<=";
    } else {
      detail::Refuse("ROWNUM in this condition");
    }
    double n;
    if (!detail::LiteralNumber(*bound, &n))
      detail::Refuse("ROWNUM compared with anything but a number");
    int64_t rows;
    if (op == "<") {
      rows = n <= 1 ? 0 : static_cast<int64_t>(std::ceil(n)) - 1;
    } else if (op == "<=") {
      rows = n < 1 ? 0 : static_cast<int64_t>(std::floor(n));
    } else if (op == "=") {
      rows = n == 1 ? 1 : 0;  // ROWNUM = n for n > 1 finds no row, as in Oracle
    } else if (op == ">") {
      rows = n < 1 ? INT64_MAX : 0;
    } else if (op == ">=") {
      rows = n <= 1 ? INT64_MAX : 0;
    } else {
      detail::Refuse("ROWNUM with the operator " + op);
    }
    result = std::min(result, rows);
    found = true;
    // The condition is replaced by TRUE: 1 = 1.
    auto one = std::make_unique<Expr>(ExprKind::kNumber);
    one->text = "1";
    auto one2 = std::make_unique<Expr>(ExprKind::kNumber);
    one2->text = "1";
    auto eq = std::make_unique<Expr>(ExprKind::kBinary);
    eq->text = "=";
    eq->args.push_back(std::move(one));
    eq->args.push_back(std::move(one2));
    *p = std::move(eq);
  }
  if (found) core.rownum_limit = result;
}

}  // namespace korvalis::db
