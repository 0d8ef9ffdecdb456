// Hierarchical queries: SELECT ... FROM t [WHERE w] START WITH s CONNECT BY [NOCYCLE] c,
// printed as a recursive common table expression over the single FROM item.
//
// The rows of the item get a row identity (the rowid of a table, a row number for a view or
// an inline view). The tree starts with the rows that satisfy START WITH (every row when it
// is absent) and adds, level by level, the rows that satisfy CONNECT BY with the columns
// under PRIOR read from the parent row. Each row carries its LEVEL, the identities of its
// ancestors (a child found among them is Oracle's "CONNECT BY loop in user data", or, with
// NOCYCLE, is left out) and a sort path of fixed-width identities, so that ordering by the
// path gives Oracle's depth-first pre-order with siblings in the order they are stored. ORDER
// SIBLINGS BY ranks the rows by its keys, and the path is made of the ranks instead: the rank
// of all rows orders every set of siblings alike.
// CONNECT BY without PRIOR joins every row to every row while its condition holds (LEVEL <= n
// ends it); DUAL's one row then makes a chain ordered by LEVEL, the row generator.
// CONNECT_BY_ROOT x and SYS_CONNECT_BY_PATH(x, separator) are columns carried down the tree;
// CONNECT_BY_ISLEAF tells whether the row after it in the tree's order is no child of it, and
// CONNECT_BY_ISCYCLE whether CONNECT BY finds one of its ancestors as its child. WHERE filters the rows of the tree afterwards, as Oracle does for
// a single FROM item, and ROWNUM numbers the rows that pass it in the tree's order (under OR,
// NOT and the like, as they pass WHERE).
#include <string>

#include "platform/db/rewrite_passes.h"
#include "platform/db/rownum_rewrite.h"
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
                      (parts.size() == 2 && parts[0].text == NameOf(alias));
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

// Whether `e` reads the tree (LEVEL, ROWNUM, PRIOR, the hierarchical operators) or groups.
bool ReadsTheTree(const Expr& e) {
  if (e.kind == ExprKind::kLevel || e.kind == ExprKind::kRownum ||
      (e.kind == ExprKind::kUnary && (e.text == "PRIOR" || e.text == "CONNECT_BY_ROOT")) ||
      (e.kind == ExprKind::kFunction && e.text == "SYS_CONNECT_BY_PATH")) {
    return true;
  }
  if (ContainsAggregate(e)) return true;
  for (const auto& a : e.args) {
    if (a && ReadsTheTree(*a)) return true;
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

// What the recursive query of a hierarchy is made of, printed.
struct TreeParts {
  std::string rows;     // the rows of the item, each with its identity "H$RID"
  std::string alias;    // the item's name, quoted
  std::string start;    // START WITH, or empty
  std::string sibling_order;  // ORDER SIBLINGS BY's keys, or empty
  std::string connect;  // CONNECT BY, the parent's columns read from "H$PRIOR"
  bool stored_table = false;
  bool nocycle = false;
  // Loops are found by the rows' identities only where CONNECT BY reads the parent (PRIOR);
  // without PRIOR the condition must end the tree itself (LEVEL <= n).
  bool check_loops = true;
  // DUAL's one row: the tree is a chain, ordered by its level.
  bool chain = false;
  // The carried values: each column's value at a root and below a parent row.
  struct Carried {
    std::string root, below;
  };
  std::vector<Carried> carried;
  bool is_leaf = false;   // the level reads CONNECT_BY_ISLEAF
  bool is_cycle = false;  // the level reads CONNECT_BY_ISCYCLE
  // ROWNUM in CONNECT BY: `connect` joins a child for some run of ROWNUMs, and each row
  // carries the mask of the runs for which it does (rownum_walk.h).
  std::string rownum_mask;
};

namespace {

// LEVEL of a row below its parent, as the tree's step reads the parent.
std::string LevelBelowParent() { return std::string("(\"") + kPrior + "\".\"H$LEVEL\" + 1)"; }

// * lists the item's own columns, never the bookkeeping of the tree.
void ExpandStar(SelectCore& core, const Source& source, const Name& alias) {
  std::vector<sql::SelectItem> items;
  for (sql::SelectItem& item : core.items) {
    const Expr& e = *item.expr;
    if (e.kind != ExprKind::kStar ||
        (!e.parts.empty() && e.parts.back().text != NameOf(alias))) {
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

// The deepest level a tree without PRIOR may reach: beyond it the condition is taken not to
// end the tree, as Oracle runs out of memory for it.
constexpr const char* kMaxLevelWithoutPrior = "1000000";

// The select over the tree that adds what CONNECT_BY_ISLEAF and CONNECT_BY_ISCYCLE read.
void AppendTreeSelect(const TreeParts& p, const std::string& found_above, std::string* out) {
  const std::string prior = std::string("\"") + kPrior + "\"";
  out->append(") SELECT ").append(prior).append(".*");
  if (p.is_leaf) {
    // In depth-first pre-order a row's first child comes right after it.
    const std::string order = prior + (p.chain ? ".\"H$LEVEL\"" : ".\"H$PATH\"");
    out->append(", CASE WHEN lead(").append(prior).append(".\"H$LEVEL\") OVER (ORDER BY ");
    out->append(order).append(") > ").append(prior).append(".\"H$LEVEL\" THEN 0 ELSE 1 END");
    out->append(" AS \"H$ISLEAF\"");
  }
  if (p.is_cycle && !p.check_loops) {
    out->append(", 0 AS \"H$ISCYCLE\"");
  } else if (p.is_cycle) {
    // A child CONNECT BY finds among the row's ancestors, which NOCYCLE left out.
    out->append(", CASE WHEN EXISTS (SELECT 1 FROM \"H$ROWS\" AS ").append(p.alias);
    out->append(" WHERE ").append(p.connect).append(" AND ").append(found_above);
    out->append(") THEN 1 ELSE 0 END AS \"H$ISCYCLE\"");
  }
  out->append(" FROM \"H$TREE\" AS ").append(prior).append(") AS ").append(p.alias);
}

// The tree as a recursive query over the item's rows. On PostgreSQL identities are row
// numbers, the ancestors and the sort path arrays of them (arrays compare element by element,
// which is the depth-first pre-order); on SQLite strings of fixed-width identities.
void AppendTree(const TreeParts& p, bool pg, std::string* out) {
  const std::string prior = std::string("\"") + kPrior + "\"";
  const std::string id = p.alias + ".\"H$RID\"";
  const std::string found_above =
      pg ? id + " = ANY(" + prior + ".\"H$IDS\")"
         : "instr(" + prior + ".\"H$IDS\", '/' || " + id + " || '/') > 0";
  const std::string ancestors = pg ? prior + ".\"H$IDS\" || " + id
                                   : prior + ".\"H$IDS\" || " + id + " || '/'";
  auto raise = [pg](const std::string& message, const std::string& value) {
    return pg ? "ora_raise('" + message + "', " + value + ")" : "ora_raise('" + message + "')";
  };
  // A row's place among its siblings: its rank by ORDER SIBLINGS BY, or its identity.
  const std::string place = p.sibling_order.empty() ? id : p.alias + ".\"H$SIB\"";
  out->append("(WITH RECURSIVE \"H$ROWS\" AS ");
  // Rows of a table are read through its indexes; computed row numbers are kept once.
  out->append(p.stored_table && !pg && p.sibling_order.empty() ? "NOT MATERIALIZED ("
                                                                : "MATERIALIZED (");
  if (p.sibling_order.empty()) {
    out->append(p.rows);
  } else {
    out->append("SELECT ").append(p.alias).append(".*, row_number() OVER (ORDER BY ");
    out->append(p.sibling_order).append(") AS \"H$SIB\" FROM (").append(p.rows);
    out->append(") AS ").append(p.alias);
  }
  out->append("), \"H$TREE\" AS (SELECT ").append(p.alias).append(".*, 1 AS \"H$LEVEL\"");
  if (!p.chain) {
    out->append(pg ? ", ARRAY[" + place + "]" : ", printf('%020d', " + place + ")");
    out->append(" AS \"H$PATH\"");
  }
  if (p.check_loops) {
    out->append(pg ? ", ARRAY[" + id + "]" : ", '/' || " + id + " || '/'");
    out->append(" AS \"H$IDS\"");
  }
  for (size_t k = 0; k < p.carried.size(); ++k) {
    out->append(", ").append(p.carried[k].root).append(" AS \"H$V").append(std::to_string(k + 1));
    out->push_back('"');
  }
  if (!p.rownum_mask.empty()) out->append(pg ? ", 0::bigint AS \"H$MASK\"" : ", 0 AS \"H$MASK\"");
  out->append(" FROM \"H$ROWS\" AS ").append(p.alias);
  if (!p.start.empty()) out->append(" WHERE ").append(p.start);
  out->append(" UNION ALL SELECT ").append(p.alias).append(".*, ");
  if (p.check_loops) {
    out->append(prior).append(".\"H$LEVEL\" + 1");
  } else {
    out->append("CASE WHEN ").append(prior).append(".\"H$LEVEL\" >= ");
    out->append(kMaxLevelWithoutPrior).append(" THEN ");
    out->append(raise("ORA-30009: Not enough memory for CONNECT BY operation", "0"));
    out->append(" ELSE ").append(prior).append(".\"H$LEVEL\" + 1 END");
  }
  if (!p.chain) {
    out->append(", ").append(prior).append(".\"H$PATH\" || ");
    out->append(pg ? place : "printf('%020d', " + place + ")");
  }
  if (p.check_loops) {
    out->append(", ");
    if (p.nocycle) {
      out->append(ancestors);
    } else {
      out->append("CASE WHEN ").append(found_above).append(" THEN ");
      out->append(raise("ORA-01436: CONNECT BY loop in user data", ancestors));
      out->append(" ELSE ").append(ancestors).append(" END");
    }
  }
  for (const TreeParts::Carried& c : p.carried) out->append(", ").append(c.below);
  if (!p.rownum_mask.empty()) {
    out->append(", (").append(p.rownum_mask).append(pg ? ")::bigint" : ")");
  }
  out->append(" FROM \"H$TREE\" AS ").append(prior);
  out->append(" JOIN \"H$ROWS\" AS ").append(p.alias).append(" ON ").append(p.connect);
  const bool skip_loops = p.nocycle && p.check_loops;
  if (skip_loops) out->append(" WHERE NOT ").append(found_above);
  AppendTreeSelect(p, found_above, out);
}

// The tree of a CONNECT BY that reads ROWNUM: the tree of the rows it joins for some ROWNUM,
// walked in its depth-first order (rownum_walk.h) to keep the rows that come, each with the
// ROWNUM it comes with ("H$WALK") and whether it is a leaf of the rows that come:
//   (SELECT w.*, <leaf> AS "H$WALKLEAF" FROM (SELECT t.*, ora_rownum_tree_walk(...) OVER
//    (ORDER BY <path> ...) AS "H$WALK" FROM <tree> t) w WHERE w."H$WALK" IS NOT NULL) AS t
void AppendWalkedTree(const TreeParts& p, const std::vector<int64_t>& runs, bool pg,
                      std::string* out) {
  const std::string walked = "\"H$WALKED\"";
  const std::string path = walked + ".\"H$PATH\"";
  const std::string level = walked + ".\"H$LEVEL\"";
  out->append("(SELECT ").append(walked).append(".*, CASE WHEN lead(").append(level);
  out->append(") OVER (ORDER BY ").append(path).append(") > ").append(level);
  out->append(" THEN 0 ELSE 1 END AS \"H$WALKLEAF\" FROM (SELECT ").append(p.alias);
  out->append(".*, ora_rownum_tree_walk(").append(p.alias).append(".\"H$MASK\", '");
  for (size_t i = 0; i < runs.size(); ++i) {
    if (i) out->push_back(',');
    out->append(std::to_string(runs[i]));
  }
  out->append("', ").append(p.alias).append(".\"H$LEVEL\") OVER (ORDER BY ").append(p.alias);
  out->append(".\"H$PATH\" ROWS BETWEEN UNBOUNDED PRECEDING AND CURRENT ROW) AS \"H$WALK\" FROM ");
  AppendTree(p, pg, out);
  out->append(") AS ").append(walked).append(" WHERE ").append(walked);
  out->append(".\"H$WALK\" IS NOT NULL) AS ").append(p.alias);
}

// The hierarchical operators a query level reads outside its START WITH and CONNECT BY.
void CollectHierarchyNodes(Expr& e, std::vector<Expr*>* nodes, bool* is_leaf, bool* is_cycle) {
  if ((e.kind == ExprKind::kUnary && e.text == "CONNECT_BY_ROOT") ||
      (e.kind == ExprKind::kFunction && e.text == "SYS_CONNECT_BY_PATH" && !e.over)) {
    nodes->push_back(&e);
    return;
  }
  if (e.kind == ExprKind::kLevel) {
    *is_leaf = *is_leaf || e.text == "CONNECT_BY_ISLEAF";
    *is_cycle = *is_cycle || e.text == "CONNECT_BY_ISCYCLE";
  }
  for (auto& a : e.args) {
    if (a) CollectHierarchyNodes(*a, nodes, is_leaf, is_cycle);
  }
}

// The value carried for a node of this level, from `first` on, that is one expression with
// `node`, or nullptr.
const HierarchyValue* SameHierarchyValue(const Expr& node, const Scope& scope, size_t first,
                                         const Scope& row_scope) {
  for (size_t i = first; i < scope.hierarchy_values.size(); ++i) {
    const HierarchyValue& value = scope.hierarchy_values[i];
    if (SameExpression(node, *value.node, row_scope)) return &value;
  }
  return nullptr;
}

// The hierarchical operators of a whole query level: its select list, WHERE, GROUP BY,
// HAVING and ORDER BY.
std::vector<Expr*> HierarchyNodesOf(const SelectCore& core,
                                    const std::vector<sql::OrderItem>* order_by, TreeParts* parts) {
  std::vector<Expr*> nodes;
  auto collect = [&](const sql::ExprPtr& e) {
    if (e) CollectHierarchyNodes(*e, &nodes, &parts->is_leaf, &parts->is_cycle);
  };
  for (const sql::SelectItem& item : core.items) collect(item.expr);
  collect(core.where);
  for (const sql::ExprPtr& g : core.group_by) collect(g);
  collect(core.having);
  if (order_by) {
    for (const sql::OrderItem& item : *order_by) collect(item.expr);
  }
  return nodes;
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
    rows = *stored_table && !pg_ ? "SELECT *, rowid AS \"H$RID\" FROM "
                                 : "SELECT *, row_number() OVER () AS \"H$RID\" FROM ";
    AppendName(table->name, &rows);
  } else {
    source->is_derived = true;
    rows = "SELECT *, row_number() OVER () AS \"H$RID\" FROM (";
    source->derived = EmitSelect(*ref.subquery, scope->parent, &rows);
    rows.append(pg_ ? ") AS \"H$VIEW\"" : ")");
  }
  return rows;
}

// A key of ORDER SIBLINGS BY is an expression of the item's columns, or names a select
// list's column by its position or its alias.
std::string Translator::EmitSiblingOrder(const SelectCore& core,
                                         const std::vector<sql::OrderItem>& keys,
                                         const Scope& row_scope) {
  std::string order;
  for (const sql::OrderItem& item : keys) {
    const Expr* key = item.expr.get();
    if (key->kind == ExprKind::kNumber) {
      const double position = std::strtod(key->text.c_str(), nullptr);
      if (position < 1 || position > static_cast<double>(core.items.size()) ||
          position != static_cast<double>(static_cast<size_t>(position))) {
        throw SqlError("ORA-01785: ORDER BY item must be the number of a SELECT-list expression");
      }
      key = core.items[static_cast<size_t>(position) - 1].expr.get();
    } else if (key->kind == ExprKind::kColumn && key->parts.size() == 1 &&
               !row_scope.sources[0].Find(key->parts[0].text)) {
      for (const sql::SelectItem& selected : core.items) {
        if (!selected.alias.empty() && NameOf(selected.alias) == NameOf(key->parts[0])) {
          key = selected.expr.get();
          break;
        }
      }
    }
    if (ReadsTheTree(*key)) {
      Refuse("LEVEL, ROWNUM, PRIOR, an aggregate or a hierarchical operator in ORDER SIBLINGS BY");
    }
    if (!order.empty()) order.append(", ");
    // Computed numbers sort by their exact values, as in ORDER BY.
    if (!EmitExactSortKey(*key, nullptr, &row_scope, &order)) Emit(*key, &row_scope, &order);
    AppendOrderDirection(item, &order);
  }
  return order;
}

void Translator::EmitCarriedValues(const std::vector<Expr*>& nodes, const Source& source,
                                   const Name& alias, const Scope& row_scope, Scope* scope,
                                   TreeParts* parts) {
  const std::string prior_name = std::string("\"") + kPrior + "\"";
  // LEVEL in a carried value is 1 at a root and one more than its parent's below it.
  Scope root_scope = row_scope;
  root_scope.level_sql = "1";
  Scope below_scope = row_scope;
  below_scope.level_sql = LevelBelowParent();
  const size_t first_value = scope->hierarchy_values.size();
  for (Expr* node : nodes) {
    // Read from the row itself, also where the tree's step joins it to its parent.
    for (sql::ExprPtr& operand : node->args) Requalify(operand, false, source, alias);
    // One value written twice (in the select list and GROUP BY) is one column of the tree, so
    // that the server finds the selected value among the grouped ones.
    if (const HierarchyValue* same = SameHierarchyValue(*node, *scope, first_value, row_scope)) {
      scope->hierarchy_values.push_back(HierarchyValue{node, same->sql, same->type});
      continue;
    }
    const std::string column = "\"H$V" + std::to_string(parts->carried.size() + 1) + "\"";
    TreeParts::Carried carried;
    carried.below = prior_name + "." + column;
    SqlType type = SqlType::kText;
    if (node->kind == ExprKind::kUnary) {
      type = Emit(*node->args[0], &root_scope, &carried.root);
    } else {
      std::string separator;
      const std::string root = EmitPathValue(*node, &root_scope, &separator);
      carried.root = "ora_concat(" + separator + ", " + root + ")";
      separator.clear();
      const std::string below = EmitPathValue(*node, &below_scope, &separator);
      carried.below = "ora_concat(" + carried.below + ", " + separator + ", " + below + ")";
    }
    scope->hierarchy_values.push_back(HierarchyValue{node, parts->alias + "." + column, type});
    parts->carried.push_back(std::move(carried));
  }
}

std::vector<int64_t> Translator::EmitConnectBy(SelectCore& core, const Source& source,
                                               const Name& alias, const Scope* scope,
                                               TreeParts* parts) {
  Requalify(core.connect_by, false, source, alias);
  Scope connect_scope;
  connect_scope.parent = scope->parent;
  connect_scope.sources.push_back(source);
  Source prior = source;
  prior.alias = kPrior;
  connect_scope.sources.push_back(std::move(prior));
  connect_scope.level_sql = LevelBelowParent();
  std::vector<int64_t> rownum_runs;
  if (parts->chain) {
    connect_scope.rownum_sql = connect_scope.level_sql;
    Emit(*core.connect_by, &connect_scope, &parts->connect);
  } else if (ContainsRownum(*core.connect_by)) {
    rownum_runs = RownumRuns(*core.connect_by);
    EmitRuns(*core.connect_by, rownum_runs, &connect_scope, &parts->rownum_mask, &parts->connect);
  } else {
    Emit(*core.connect_by, &connect_scope, &parts->connect);
  }
  return rownum_runs;
}

void Translator::EmitHierarchy(SelectCore& core, sql::Select* owner, Scope* scope,
                               std::string* out) {
  const bool siblings = owner && owner->order_siblings;
  std::vector<sql::OrderItem>* order_by = owner && !siblings ? &owner->order_by : nullptr;
  TableRef& ref = core.from[0];
  Source source;
  TreeParts parts;
  parts.nocycle = core.nocycle;
  parts.check_loops = HasPrior(*core.connect_by);
  parts.chain = ref.kind == TableRef::kTable && AsciiUpper(ref.table.text) == "DUAL";
  parts.rows = EmitHierarchyRows(ref, scope, &source, &parts.stored_table);
  const Name alias = !ref.alias.empty()             ? ref.alias
                     : ref.kind == TableRef::kTable ? ref.table
                                                    : Name{"H$VIEW", true};
  source.alias = NameOf(alias);
  AppendAlias(source.alias, &parts.alias);
  ExpandStar(core, source, alias);

  // START WITH and the carried values read the row itself.
  Scope row_scope;
  row_scope.parent = scope->parent;
  row_scope.sources.push_back(source);
  if (core.start_with) Emit(*core.start_with, &row_scope, &parts.start);
  if (siblings && IsGrouped(core)) Refuse("ORDER SIBLINGS BY in a grouped hierarchical query");
  // DUAL's chain has one row at each level: no siblings to order.
  if (siblings && !parts.chain) {
    parts.sibling_order = EmitSiblingOrder(core, owner->order_by, row_scope);
  }

  EmitCarriedValues(HierarchyNodesOf(core, order_by, &parts), source, alias, row_scope, scope,
                    &parts);

  const std::vector<int64_t> rownum_runs = EmitConnectBy(core, source, alias, scope, &parts);

  if (rownum_runs.empty()) {
    AppendTree(parts, pg_, out);
  } else {
    AppendWalkedTree(parts, rownum_runs, pg_, out);
  }
  scope->sources.push_back(std::move(source));
  scope->level_sql = parts.alias + ".\"H$LEVEL\"";
  scope->tree_alias = parts.alias;
  if (parts.is_leaf) {
    scope->is_leaf_sql = parts.alias + (rownum_runs.empty() ? ".\"H$ISLEAF\"" : ".\"H$WALKLEAF\"");
  }
  if (parts.is_cycle) scope->is_cycle_sql = parts.alias + ".\"H$ISCYCLE\"";
  if (!IsGrouped(core)) {
    scope->hierarchy_order_sql = parts.alias + (parts.chain ? ".\"H$LEVEL\"" : ".\"H$PATH\"");
    scope->rownum_sql = "row_number() OVER (ORDER BY " + scope->hierarchy_order_sql + ")";
  }
}

std::string Translator::EmitPathValue(const Expr& path, const Scope* row_scope,
                                      std::string* separator) {
  if (path.args.size() != 2) {
    throw SqlError("ORA-00909: invalid number of arguments for SYS_CONNECT_BY_PATH");
  }
  std::string value = "ora_concat(";
  EmitConcatenated(*path.args[0], row_scope, &value);
  value.push_back(')');
  const SqlType separator_type = Emit(*path.args[1], row_scope, separator);
  if (pg_) PgAsText(separator_type, separator);
  std::string checked = "CASE WHEN " + std::string(pg_ ? "strpos(" : "instr(") + value + ", " +
                        *separator + ") > 0 THEN ";
  checked += pg_ ? "ora_raise('ORA-30004: when using SYS_CONNECT_BY_PATH function, cannot "
                   "have separator as part of column value', NULL::text)"
                 : "ora_raise('ORA-30004: when using SYS_CONNECT_BY_PATH function, cannot "
                   "have separator as part of column value')";
  checked += " ELSE " + value + " END";
  return checked;
}

SqlType Translator::EmitHierarchyValue(const Expr& e, const Scope* scope, std::string* out) {
  if (scope) {
    for (const HierarchyValue& v : scope->hierarchy_values) {
      if (v.node != &e) continue;
      out->append(v.sql);
      return v.type;
    }
  }
  if (e.kind == ExprKind::kUnary) {
    throw SqlError("ORA-01788: CONNECT BY clause required in this query block (CONNECT_BY_ROOT)");
  }
  throw SqlError("ORA-30002: SYS_CONNECT_BY_PATH function is not allowed here");
}

void Translator::EmitHierarchyOrder(const Scope& scope, std::string* out) {
  if (scope.hierarchy_order_sql.empty()) return;
  out->append(" ORDER BY ");
  out->append(scope.hierarchy_order_sql);
}

}  // namespace korvalis::db::detail

namespace korvalis::db {

namespace {

// The hierarchical operator `e` holds, or nullptr.
const sql::Expr* FindHierarchicalOperator(const sql::Expr& e) {
  if ((e.kind == sql::ExprKind::kUnary && e.text == "CONNECT_BY_ROOT") ||
      (e.kind == sql::ExprKind::kFunction && e.text == "SYS_CONNECT_BY_PATH") ||
      (e.kind == sql::ExprKind::kLevel && e.text != "LEVEL")) {
    return &e;
  }
  for (const auto& a : e.args) {
    if (!a) continue;
    if (const sql::Expr* found = FindHierarchicalOperator(*a)) return found;
  }
  return nullptr;
}

bool ReadsIsCycle(const sql::Expr& e) {
  if (e.kind == sql::ExprKind::kLevel && e.text == "CONNECT_BY_ISCYCLE") return true;
  for (const auto& a : e.args) {
    if (a && ReadsIsCycle(*a)) return true;
  }
  return false;
}

}  // namespace

void CheckHierarchy(const sql::SelectCore& core) {
  using detail::Refuse;
  if (!core.connect_by && !core.start_with) return;
  if (!core.connect_by) {
    throw SqlError("ORA-01788: CONNECT BY clause required in this query block");
  }
  if (core.from.size() != 1 || core.from[0].kind == sql::TableRef::kJoin) {
    Refuse("CONNECT BY over several tables");
  }
  // ROWNUM numbers the rows of the tree in its order, where they pass WHERE: in the select
  // list, and bounded in WHERE (the rownum_limit pass). In CONNECT BY it is the number the row
  // would come with, as the tree gives its rows depth first (in DUAL's chain its LEVEL).
  bool rownum = core.where && detail::ContainsRownum(*core.where);
  for (const auto& item : core.items) rownum = rownum || detail::ContainsRownum(*item.expr);
  if (rownum && detail::IsGrouped(core)) Refuse("ROWNUM in a grouped hierarchical query");
  if (core.start_with && detail::ContainsRownum(*core.start_with)) Refuse("ROWNUM in START WITH");
  const sql::TableRef& item = core.from[0];
  const bool chain = item.kind == sql::TableRef::kTable && AsciiUpper(item.table.text) == "DUAL";
  if (detail::ContainsRownum(*core.connect_by)) {
    // WHERE takes rows out of the tree once it is built, while ROWNUM counts only the rows
    // that pass WHERE: no order of the two gives the number a row comes with.
    if (core.where) Refuse("ROWNUM in CONNECT BY of a query with WHERE");
    // Without PRIOR the tree joins every row to every row: it ends only as ROWNUM grows.
    if (!chain && !detail::HasPrior(*core.connect_by)) {
      Refuse("ROWNUM in a CONNECT BY without PRIOR but over DUAL");
    }
    bool is_cycle = false;
    for (const auto& item : core.items) is_cycle = is_cycle || ReadsIsCycle(*item.expr);
    if (!chain && is_cycle) Refuse("CONNECT_BY_ISCYCLE with ROWNUM in CONNECT BY");
  }
  for (const sql::Expr* condition : {core.connect_by.get(), core.start_with.get()}) {
    const sql::Expr* op = condition ? FindHierarchicalOperator(*condition) : nullptr;
    if (!op) continue;
    if (op->kind == sql::ExprKind::kUnary) {
      throw SqlError(
          "ORA-30007: CONNECT BY ROOT operator is not supported in the START WITH or in the "
          "CONNECT BY condition");
    }
    if (op->kind == sql::ExprKind::kFunction) {
      throw SqlError("ORA-30002: SYS_CONNECT_BY_PATH function is not allowed here");
    }
    Refuse(op->text + " in START WITH or CONNECT BY");
  }
  if (!core.nocycle) {
    bool is_cycle = core.where && ReadsIsCycle(*core.where);
    for (const auto& item : core.items) is_cycle = is_cycle || ReadsIsCycle(*item.expr);
    if (is_cycle) {
      throw SqlError("ORA-30930: NOCYCLE keyword is required with CONNECT_BY_ISCYCLE pseudocolumn");
    }
  }
}

}  // namespace korvalis::db
