#include "platform/db/rownum_rewrite.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>
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

void NumberRowsAsTheyPass(sql::SelectCore& core);

// TRUE as a condition: 1 = 1.
ExprPtr AlwaysTrue() {
  auto eq = std::make_unique<Expr>(ExprKind::kBinary);
  eq->text = "=";
  for (int side = 0; side < 2; ++side) {
    eq->args.push_back(std::make_unique<Expr>(ExprKind::kNumber));
    eq->args.back()->text = "1";
  }
  return eq;
}

}  // namespace

void MoveRownumOutOfAggregates(sql::SelectCore& core) {
  bool reads = core.having && AggregateReadsRownum(*core.having);
  for (const auto& item : core.items) reads = reads || AggregateReadsRownum(*item.expr);
  if (!reads) return;
  if (core.from.size() != 1 || core.from[0].kind == TableRef::kJoin) {
    // Several tables are numbered together as their rows pass WHERE, where the aggregates
    // read the number.
    if (!core.where) core.where = AlwaysTrue();
    NumberRowsAsTheyPass(core);
    return;
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

namespace {

// The rows a bound `ROWNUM op n` keeps; nullopt when the condition is no such bound.
std::optional<int64_t> BoundRows(const Expr& e) {
  if (e.kind != ExprKind::kBinary || e.args.size() != 2) return std::nullopt;
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
    return std::nullopt;
  }
  double n;
  if (!detail::LiteralNumber(*bound, &n)) return std::nullopt;
  if (op == "<") return n <= 1 ? 0 : static_cast<int64_t>(std::ceil(n)) - 1;
  if (op == "<=") return n < 1 ? 0 : static_cast<int64_t>(std::floor(n));
  if (op == "=") return n == 1 ? 1 : 0;  // ROWNUM = n for n > 1 finds no row, as in Oracle
  if (op == ">") return n < 1 ? INT64_MAX : 0;
  if (op == ">=") return n <= 1 ? INT64_MAX : 0;
  return std::nullopt;
}

// ROWNUMs beyond this are never reached: a comparison with a larger number reads alike for
// every row.
constexpr double kLargestRownum = 1e15;

// Adds the ROWNUMs at which comparing with `n` may read otherwise than with the ROWNUM before.
void AddRunStarts(double n, std::vector<int64_t>* starts) {
  if (!(std::fabs(n) < kLargestRownum)) return;
  for (double start : {std::ceil(n), std::floor(n) + 1}) {
    if (start > 1) starts->push_back(static_cast<int64_t>(start));
  }
}

bool IsComparison(const std::string& op) {
  return op == "=" || op == "<>" || op == "<" || op == "<=" || op == ">" || op == ">=";
}

// Collects the run starts of the ROWNUM comparisons under `e`; refuses ROWNUM anywhere but
// compared with a number under AND, OR and NOT.
void CollectRunStarts(const Expr& e, std::vector<int64_t>* starts) {
  if (!detail::ContainsRownum(e)) return;
  const auto number = [](const Expr& x, double* n) {
    if (!detail::LiteralNumber(x, n)) detail::Refuse("ROWNUM compared with anything but a number");
  };
  double n;
  if (e.kind == ExprKind::kBinary && (e.text == "AND" || e.text == "OR")) {
    CollectRunStarts(*e.args[0], starts);
    CollectRunStarts(*e.args[1], starts);
  } else if (e.kind == ExprKind::kUnary && e.text == "NOT") {
    CollectRunStarts(*e.args[0], starts);
  } else if (e.kind == ExprKind::kBinary && IsComparison(e.text) &&
             (e.args[0]->kind == ExprKind::kRownum) != (e.args[1]->kind == ExprKind::kRownum)) {
    number(e.args[0]->kind == ExprKind::kRownum ? *e.args[1] : *e.args[0], &n);
    AddRunStarts(n, starts);
  } else if ((e.kind == ExprKind::kBetween || e.kind == ExprKind::kInList) &&
             e.args[0]->kind == ExprKind::kRownum) {
    for (size_t i = 1; i < e.args.size(); ++i) {
      number(*e.args[i], &n);
      AddRunStarts(n, starts);
    }
  } else if (e.kind == ExprKind::kIsNull && e.args[0]->kind == ExprKind::kRownum) {
    // ROWNUM is never NULL.
  } else {
    detail::Refuse("ROWNUM in this condition");
  }
}

// The most runs a numbered level tells apart (the bits of a 64-bit mask).
constexpr size_t kMaxRownumRuns = 62;

void NumberRowsAsTheyPass(sql::SelectCore& core) { core.rownum_runs = RownumRuns(*core.where); }

}  // namespace

std::vector<int64_t> RownumRuns(const sql::Expr& condition) {
  std::vector<int64_t> starts{1};
  CollectRunStarts(condition, &starts);
  std::sort(starts.begin(), starts.end());
  starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
  if (starts.size() > kMaxRownumRuns) detail::Refuse("ROWNUM compared with this many numbers");
  return starts;
}

// The conditions of the top-level AND chain of WHERE that bound ROWNUM become TRUE (1 = 1),
// and the level keeps the rows the tightest of them allows.
void ExtractRownumLimit(sql::SelectCore& core) {
  if (!core.rownum_runs.empty() || !core.where || !detail::ContainsRownum(*core.where)) return;
  std::vector<sql::ExprPtr*> conjuncts;
  std::vector<sql::ExprPtr*> stack{&core.where};
  while (!stack.empty()) {
    sql::ExprPtr* p = stack.back();
    stack.pop_back();
    if ((*p)->kind == ExprKind::kBinary && (*p)->text == "AND") {
      stack.push_back(&(*p)->args[1]);
      stack.push_back(&(*p)->args[0]);
    } else if (detail::ContainsRownum(**p)) {
      conjuncts.push_back(p);
    }
  }
  int64_t result = INT64_MAX;
  for (sql::ExprPtr* p : conjuncts) {
    const std::optional<int64_t> rows = BoundRows(**p);
    if (!rows) {
      NumberRowsAsTheyPass(core);
      return;
    }
    result = std::min(result, *rows);
  }
  for (sql::ExprPtr* p : conjuncts) *p = AlwaysTrue();
  core.rownum_limit = result;
}

}  // namespace korvalis::db
