// Hierarchical queries: SELECT ... FROM t [WHERE w] START WITH s CONNECT BY [NOCYCLE] c,
// printed as a recursive common table expression over the single FROM item.
//
// The rows of the item get a row identity (the rowid of a table, a row number for a view or
// an inline view). The tree starts with the rows that satisfy START WITH (every row when it
// is absent) and adds, level by level, the rows that satisfy CONNECT BY with the columns
// under PRIOR read from the parent row. Each row carries its LEVEL, the identities of its
// ancestors (a child found among them is Oracle's "CONNECT BY loop in user data", or, with
// NOCYCLE, is left out) and a sort path of fixed-width identities, so that ordering by the
// path gives Oracle's depth-first pre-order with siblings in the order they are stored.
// WHERE filters the rows of the tree afterwards, as Oracle does for a single FROM item.
#include <string>

#include "platform/db/rewrite_passes.h"
#include "platform/db/sql_error.h"
#include "platform/db/sql_translator_internal.h"

namespace korvalis::db::detail {
namespace {

constexpr const char* kPrior = "H$PRIOR";

// Points the columns of the hierarchy's item at the parent row (under PRIOR) or at the child
// row (elsewhere), so that neither is ambiguous in the recursive step. Nested queries keep
// their own names.
void Requalify(sql::ExprPtr& e, bool under_prior, const Source& source, const Name& alias) {
  if (!e) return;
  if (e->kind == ExprKind::kUnary && e->text == "PRIOR") {
    if (under_prior) throw SqlError("ORA-00936: missing expression (PRIOR within PRIOR)");
    sql::ExprPtr operand = std::move(e->args[0]);
    Requalify(operand, true, source, alias);
    e = std::move(operand);
    return;
  }
  if (e->kind == ExprKind::kColumn) {
    auto& parts = e->parts;
    const bool here = parts.size() == 1 ||
                      (parts.size() == 2 && EqualsIgnoringAsciiCase(parts[0].text, alias.text));
    if (here && source.Find(parts.back().text)) {
      Name column = parts.back();
      parts.clear();
      parts.push_back(under_prior ? Name{kPrior, true} : alias);
      parts.push_back(std::move(column));
    }
    return;
  }
  for (auto& a : e->args) Requalify(a, under_prior, source, alias);
}

bool HasPrior(const Expr& e) {
  if (e.kind == ExprKind::kUnary && e.text == "PRIOR") return true;
  for (const auto& a : e.args) {
    if (a && HasPrior(*a)) return true;
  }
  return false;
}

bool IsGrouped(const SelectCore& core) {
  if (core.distinct || !core.group_by.empty() || core.having) return true;
  for (const auto& item : core.items) {
    if (ContainsAggregate(*item.expr)) return true;
  }
  return false;
}

}  // namespace

namespace {

// * lists the item's own columns, never the bookkeeping of the tree.
void ExpandStar(SelectCore& core, const Source& source, const Name& alias) {
  std::vector<sql::SelectItem> items;
  for (sql::SelectItem& item : core.items) {
    const Expr& e = *item.expr;
    if (e.kind != ExprKind::kStar ||
        (!e.parts.empty() && !EqualsIgnoringAsciiCase(e.parts.back().text, alias.text))) {
      items.push_back(std::move(item));
      continue;
    }
    const auto& columns = source.table ? source.table->columns : source.derived;
    for (const ColumnInfo& c : columns) {
      sql::SelectItem column;
      column.expr = std::make_unique<Expr>(ExprKind::kColumn);
      column.expr->parts.push_back(alias);
      column.expr->parts.push_back(Name{c.name, true});
      items.push_back(std::move(column));
    }
  }
  core.items = std::move(items);
}

// What the recursive query of a hierarchy is made of, printed.
struct TreeParts {
  std::string rows;     // the rows of the item, each with its identity "H$RID"
  std::string alias;    // the item's name, quoted
  std::string start;    // START WITH, or empty
  std::string connect;  // CONNECT BY, the parent's columns read from "H$PRIOR"
  bool stored_table = false;
  bool nocycle = false;
};

void AppendTree(const TreeParts& p, std::string* out) {
  const std::string prior = std::string("\"") + kPrior + "\"";
  const std::string id = p.alias + ".\"H$RID\"";
  const std::string found_above = "instr(" + prior + ".\"H$IDS\", '/' || " + id + " || '/') > 0";
  const std::string ancestors = prior + ".\"H$IDS\" || " + id + " || '/'";
  out->append("(WITH RECURSIVE \"H$ROWS\" AS ");
  // Rows of a table are read through its indexes; computed row numbers are kept once.
  out->append(p.stored_table ? "NOT MATERIALIZED (" : "MATERIALIZED (");
  out->append(p.rows);
  out->append("), \"H$TREE\" AS (SELECT ").append(p.alias);
  out->append(".*, 1 AS \"H$LEVEL\", printf('%020d', ").append(id);
  out->append(") AS \"H$PATH\", '/' || ").append(id);
  out->append(" || '/' AS \"H$IDS\" FROM \"H$ROWS\" AS ").append(p.alias);
  if (!p.start.empty()) out->append(" WHERE ").append(p.start);
  out->append(" UNION ALL SELECT ").append(p.alias).append(".*, ");
  out->append(prior).append(".\"H$LEVEL\" + 1, ");
  out->append(prior).append(".\"H$PATH\" || printf('%020d', ").append(id).append("), ");
  if (p.nocycle) {
    out->append(ancestors);
  } else {
    out->append("CASE WHEN ").append(found_above);
    out->append(" THEN ora_raise('ORA-01436: CONNECT BY loop in user data') ELSE ");
    out->append(ancestors).append(" END");
  }
  out->append(" FROM \"H$TREE\" AS ").append(prior);
  out->append(" JOIN \"H$ROWS\" AS ").append(p.alias).append(" ON ").append(p.connect);
  if (p.nocycle) out->append(" WHERE NOT ").append(found_above);
  out->append(") SELECT * FROM \"H$TREE\") AS ").append(p.alias);
}

// PostgreSQL's form: identities are row numbers, the ancestors and the sort path arrays of
// them (arrays compare element by element, which is the depth-first pre-order).
void AppendPostgresTree(const TreeParts& p, std::string* out) {
  const std::string prior = std::string("\"") + kPrior + "\"";
  const std::string id = p.alias + ".\"H$RID\"";
  const std::string found_above = id + " = ANY(" + prior + ".\"H$IDS\")";
  const std::string ancestors = prior + ".\"H$IDS\" || " + id;
  out->append("(WITH RECURSIVE \"H$ROWS\" AS MATERIALIZED (");
  out->append(p.rows);
  out->append("), \"H$TREE\" AS (SELECT ").append(p.alias);
  out->append(".*, 1 AS \"H$LEVEL\", ARRAY[").append(id);
  out->append("] AS \"H$PATH\", ARRAY[").append(id);
  out->append("] AS \"H$IDS\" FROM \"H$ROWS\" AS ").append(p.alias);
  if (!p.start.empty()) out->append(" WHERE ").append(p.start);
  out->append(" UNION ALL SELECT ").append(p.alias).append(".*, ");
  out->append(prior).append(".\"H$LEVEL\" + 1, ");
  out->append(prior).append(".\"H$PATH\" || ").append(id).append(", ");
  if (p.nocycle) {
    out->append(ancestors);
  } else {
    out->append("CASE WHEN ").append(found_above);
    out->append(" THEN ora_raise('ORA-01436: CONNECT BY loop in user data', ");
    out->append(ancestors).append(") ELSE ");
    out->append(ancestors).append(" END");
  }
  out->append(" FROM \"H$TREE\" AS ").append(prior);
  out->append(" JOIN \"H$ROWS\" AS ").append(p.alias).append(" ON ").append(p.connect);
  if (p.nocycle) out->append(" WHERE NOT ").append(found_above);
  out->append(") SELECT * FROM \"H$TREE\") AS ").append(p.alias);
}

}  // namespace

// The rows of the single FROM item of a hierarchy, each with its identity: the rowid of a
// table, a row number for a view or an inline view.
std::string Translator::EmitHierarchyRows(TableRef& ref, const Scope* scope, Source* source,
                                          bool* stored_table) {
  std::string rows;
  if (ref.kind == TableRef::kTable) {
    const TableInfo* table = RequireTable(ref.table);
    source->table = table;
    *stored_table = !table->is_view;
    UseTable(table);
    rows = *stored_table && !pg_ ? "SELECT *, rowid AS \"H$RID\" FROM "
                                 : "SELECT *, row_number() OVER () AS \"H$RID\" FROM ";
    AppendQuotedName(table->name, &rows);
  } else {
    source->is_derived = true;
    rows = "SELECT *, row_number() OVER () AS \"H$RID\" FROM (";
    source->derived = EmitSelect(*ref.subquery, scope->parent, &rows);
    rows.append(pg_ ? ") AS \"H$VIEW\"" : ")");
  }
  return rows;
}

void Translator::EmitHierarchy(SelectCore& core, Scope* scope, std::string* out) {
  TableRef& ref = core.from[0];
  Source source;
  TreeParts parts;
  parts.nocycle = core.nocycle;
  parts.rows = EmitHierarchyRows(ref, scope, &source, &parts.stored_table);
  const Name alias = !ref.alias.empty()             ? ref.alias
                     : ref.kind == TableRef::kTable ? Name{AsciiUpper(ref.table.text), false}
                                                    : Name{"H$VIEW", true};
  source.alias = AsciiUpper(alias.text);
  AppendQuotedName(alias.text, &parts.alias);
  ExpandStar(core, source, alias);

  Scope start_scope;
  start_scope.parent = scope->parent;
  start_scope.sources.push_back(source);
  if (core.start_with) Emit(*core.start_with, &start_scope, &parts.start);

  Requalify(core.connect_by, false, source, alias);
  Scope connect_scope;
  connect_scope.parent = scope->parent;
  connect_scope.sources.push_back(source);
  Source prior = source;
  prior.alias = kPrior;
  connect_scope.sources.push_back(std::move(prior));
  connect_scope.level_sql = std::string("(\"") + kPrior + "\".\"H$LEVEL\" + 1)";
  Emit(*core.connect_by, &connect_scope, &parts.connect);

  if (pg_) {
    AppendPostgresTree(parts, out);
  } else {
    AppendTree(parts, out);
  }
  scope->sources.push_back(std::move(source));
  scope->level_sql = parts.alias + ".\"H$LEVEL\"";
  if (!IsGrouped(core)) scope->hierarchy_order_sql = parts.alias + ".\"H$PATH\"";
}

void Translator::EmitHierarchyOrder(const Scope& scope, std::string* out) {
  if (scope.hierarchy_order_sql.empty()) return;
  out->append(" ORDER BY ");
  out->append(scope.hierarchy_order_sql);
}

}  // namespace korvalis::db::detail

namespace korvalis::db {

void CheckHierarchy(const sql::SelectCore& core) {
  using detail::Refuse;
  if (!core.connect_by && !core.start_with) return;
  if (!core.connect_by) {
    throw SqlError("ORA-01788: CONNECT BY clause required in this query block");
  }
  if (core.from.size() != 1 || core.from[0].kind == sql::TableRef::kJoin) {
    Refuse("CONNECT BY over several tables");
  }
  bool rownum = detail::ContainsRownum(*core.connect_by) ||
                (core.start_with && detail::ContainsRownum(*core.start_with)) ||
                (core.where && detail::ContainsRownum(*core.where));
  for (const auto& item : core.items) rownum = rownum || detail::ContainsRownum(*item.expr);
  if (rownum) Refuse("ROWNUM in a hierarchical query");
  // Without PRIOR every row is the child of every row: loops cannot be told from rows.
  if (!detail::HasPrior(*core.connect_by)) Refuse("CONNECT BY without PRIOR");
}

}  // namespace korvalis::db
