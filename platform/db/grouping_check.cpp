// Oracle's rule for a query level that groups its rows: outside aggregates, the select list and
// HAVING, the subqueries written there and ORDER BY read only GROUP BY's expressions, constants and the
// columns of enclosing queries.
// SQLite would answer with the columns of an arbitrary row of each group instead of refusing.
// A level without GROUP BY and without aggregates does not group: its HAVING keeps rows as
// WHERE does. The ORDER BY of a DISTINCT level reads its select list's expressions alone.
#include "platform/db/sql_error.h"
#include "platform/db/sql_translator_internal.h"

namespace korvalis::db::detail {
namespace {

// The column `e` names among the sources of this query level alone, or nullptr.
const ColumnInfo* ColumnOfLevel(const Expr& e, const Scope& scope) {
  const std::string_view column = e.parts.back().text;
  std::string_view qualifier;
  if (e.parts.size() >= 2) qualifier = e.parts[e.parts.size() - 2].text;
  for (const Source& src : scope.sources) {
    if (!qualifier.empty() && src.alias != qualifier) continue;
    if (const ColumnInfo* c = src.Find(column)) return c;
  }
  return nullptr;
}

// Throws where `e` reads a column of this level outside an aggregate and GROUP BY's
// expressions.
void CheckGroupedExpression(const Expr& e, const SelectCore& core, const Scope& scope) {
  for (const sql::ExprPtr& g : core.group_by) {
    if (g && SameExpression(e, *g, scope)) return;
  }
  if (e.subquery || e.kind == ExprKind::kStar) return;
  if (e.kind == ExprKind::kFunction && e.over) return;
  if (e.kind == ExprKind::kFunction && IsAggregateName(e.text)) {
    for (const sql::ExprPtr& a : e.args) {
      if (!a || !ContainsAggregate(*a)) continue;
      if (core.group_by.empty()) throw SqlError("ORA-00978: nested group function without GROUP BY");
      throw SqlError("ORA-00935: group function is nested too deeply");
    }
    return;
  }
  // ROWNUM numbers the rows before they are grouped, as a column of this level does.
  if (e.kind == ExprKind::kRownum || e.kind == ExprKind::kColumn) {
    if (e.kind == ExprKind::kColumn && !ColumnOfLevel(e, scope)) return;  // an enclosing query's
    throw SqlError(core.group_by.empty() ? "ORA-00937: not a single-group group function"
                                         : "ORA-00979: not a GROUP BY expression");
  }
  for (const sql::ExprPtr& a : e.args) {
    if (a) CheckGroupedExpression(*a, core, scope);
  }
}

// Throws where `e` reads a column of this level other than through a select item's expression
// (the ORDER BY of a DISTINCT level).
void CheckSelectedExpression(const Expr& e, const SelectCore& core, const Scope& scope) {
  for (const sql::SelectItem& item : core.items) {
    if (SameExpression(e, *item.expr, scope)) return;
  }
  if (e.subquery) return;
  if (e.kind == ExprKind::kRownum ||
      (e.kind == ExprKind::kColumn && ColumnOfLevel(e, scope))) {
    throw SqlError("ORA-01791: not a SELECTed expression");
  }
  for (const sql::ExprPtr& a : e.args) {
    if (a) CheckSelectedExpression(*a, core, scope);
  }
}

}  // namespace

bool SameExpression(const Expr& a, const Expr& b, const Scope& scope) {
  if (a.kind != b.kind || a.text != b.text || a.args.size() != b.args.size() ||
      a.negated != b.negated || a.distinct != b.distinct || a.subquery || b.subquery || a.over ||
      b.over) {
    return false;
  }
  if (a.kind == ExprKind::kColumn) {
    const ColumnInfo* ca = ColumnOfLevel(a, scope);
    const ColumnInfo* cb = ColumnOfLevel(b, scope);
    if (ca || cb) return ca == cb;
    if (a.parts.size() != b.parts.size()) return false;
    for (size_t i = 0; i < a.parts.size(); ++i) {
      if (a.parts[i].text != b.parts[i].text) return false;
    }
    return true;
  }
  if (a.kind == ExprKind::kCast && a.type.name != b.type.name) return false;
  for (size_t i = 0; i < a.args.size(); ++i) {
    if (!a.args[i] != !b.args[i]) return false;
    if (a.args[i] && !SameExpression(*a.args[i], *b.args[i], scope)) return false;
  }
  return true;
}

void CheckDistinctOrder(const SelectCore& core, const Scope& scope,
                        const std::vector<sql::OrderItem>& order_by) {
  if (!core.distinct) return;
  for (const sql::SelectItem& item : core.items) {
    if (item.expr->kind == ExprKind::kStar) return;
  }
  for (const sql::OrderItem& order : order_by) {
    double position;
    if (NamesSelectItem(*order.expr, core) || LiteralNumber(*order.expr, &position)) continue;
    CheckSelectedExpression(*order.expr, core, scope);
  }
}

bool NamesSelectItem(const Expr& e, const SelectCore& core) {
  if (e.kind != ExprKind::kColumn || e.parts.size() != 1) return false;
  for (const sql::SelectItem& item : core.items) {
    if (!item.alias.empty() && item.alias.text == e.parts[0].text) return true;
  }
  return false;
}

bool GroupsRows(const SelectCore& core) {
  if (!core.group_by.empty() || (core.having && ContainsAggregate(*core.having))) return true;
  for (const sql::SelectItem& item : core.items) {
    if (ContainsAggregate(*item.expr)) return true;
  }
  return false;
}

bool HavingKeepsRows(const SelectCore& core) {
  if (!core.having || !core.group_by.empty() || ContainsAggregate(*core.having)) return false;
  for (const sql::SelectItem& item : core.items) {
    if (ContainsAggregate(*item.expr)) return false;
  }
  return true;
}

void Translator::CheckGrouping(const SelectCore& core, const Scope& scope,
                               const std::vector<sql::OrderItem>* order_by) const {
  if (!GroupsRows(core)) return;
  for (const sql::SelectItem& item : core.items) CheckGroupedExpression(*item.expr, core, scope);
  if (core.having) CheckGroupedExpression(*core.having, core, scope);
  if (!order_by) return;
  for (const sql::OrderItem& order : *order_by) {
    if (NamesSelectItem(*order.expr, core)) continue;
    CheckGroupedExpression(*order.expr, core, scope);
  }
}

void Translator::CheckReadOfGroupingLevel(const ColumnInfo& column, const Scope& level) {
  if (aggregates_open_ > 0) return;
  const SelectCore& core = *level.grouping;
  for (const sql::ExprPtr& g : core.group_by) {
    if (g && g->kind == ExprKind::kColumn && ResolveColumn(*g, &level) == &column) return;
  }
  throw SqlError(core.group_by.empty() ? "ORA-00937: not a single-group group function"
                                       : "ORA-00979: not a GROUP BY expression");
}

}  // namespace korvalis::db::detail
