// ROWNUM in a query: the rows of a level numbered as they pass its WHERE (ora_rownum_walk over
// the FROM items, rownum_walk.h), and a level that keeps only its first rows read through an
// inline view that keeps them.
#include <string>

#include "platform/db/ora_number.h"
#include "platform/db/sql_translator_internal.h"

namespace korvalis::db {
namespace detail {

namespace {

// The sources of `inner`, read from the view `view` of their renamed columns, into `scope`.
void TakeRenamedSources(const std::string& view, Scope* inner, Scope* scope) {
  for (Source& s : inner->sources) {
    s.renamed_in = view;
    scope->sources.push_back(std::move(s));
  }
  scope->using_columns = std::move(inner->using_columns);
  scope->joined_columns = std::move(inner->joined_columns);
}

}  // namespace

// The FROM items with WHERE in an inline view that keeps the first `limit` rows: a single item
// under its name, so that qualified names outside still resolve; several items as one view
// "ROWNUM$ROWS" whose columns are named "<alias>$<column>", where the level's column
// references read them.
void Translator::EmitLimitedFrom(SelectCore& core, const Scope* parent, int64_t limit, Scope* scope,
                                 std::string* from_sql) {
  std::string inner;
  Scope inner_scope;
  inner_scope.parent = parent;
  if (core.from.size() != 1 || core.from[0].kind == TableRef::kJoin) {
    const std::string view = "\"ROWNUM$ROWS\"";
    std::string items;
    const std::string columns = EmitRenamedItems(core, &inner_scope, &items);
    from_sql->append(" FROM (SELECT ").append(columns).append(" FROM ").append(items);
    if (core.where) {
      from_sql->append(" WHERE ");
      Emit(*core.where, &inner_scope, from_sql);
      core.where.reset();
    }
    from_sql->append(" LIMIT ");
    AppendInteger(limit, from_sql);
    from_sql->append(" OFFSET 0) AS ").append(view);
    TakeRenamedSources(view, &inner_scope, scope);
    return;
  }
  TableRef moved = std::move(core.from[0]);
  const Name alias = moved.alias;
  const std::string alias_text =
      alias.empty() ? (moved.kind == TableRef::kTable ? moved.table.text : std::string("V"))
                    : alias.text;
  // WHERE reads the item by its name; without WHERE the item needs none.
  moved.alias = core.where ? Name{alias_text, true} : Name{};
  inner.append("SELECT * FROM ");
  EmitTableRef(moved, &inner_scope, &inner);
  if (core.where) {
    inner.append(" WHERE ");
    Emit(*core.where, &inner_scope, &inner);
    core.where.reset();
  }
  // OFFSET 0 keeps SQLite from merging the view into the outer query, which would move the
  // limit after the outer sort.
  inner.append(" LIMIT ");
  AppendInteger(limit, &inner);
  inner.append(" OFFSET 0");
  Source s = inner_scope.sources.back();
  s.alias = alias_text;
  scope->sources.push_back(std::move(s));
  from_sql->append(" FROM (").append(inner).append(") AS ");
  AppendAlias(alias_text, from_sql);
}

void Translator::EmitRuns(const Expr& condition, const std::vector<int64_t>& runs,
                          Scope* inner_scope, std::string* mask, std::string* any) {
  // The condition is printed once (printing a query rewrites it) with a mark for ROWNUM, which
  // each run's copy replaces by the run's first ROWNUM.
  constexpr std::string_view kMark = "\x02ROWNUM\x02";
  if (statement_.find('\x02') != std::string_view::npos) Refuse("this character in a statement");
  inner_scope->rownum_sql = kMark;
  std::string where;
  Emit(condition, inner_scope, &where);
  for (size_t run = 0; run < runs.size(); ++run) {
    const std::string number = std::to_string(runs[run]);
    std::string run_condition;
    size_t copied = 0;
    for (size_t at = where.find(kMark); at != std::string::npos; at = where.find(kMark, copied)) {
      run_condition.append(where, copied, at - copied).append(number);
      copied = at + kMark.size();
    }
    run_condition.append(where, copied, std::string::npos);
    if (run) {
      mask->append(" + ");
      any->append(" OR ");
    }
    mask->append("CASE WHEN ").append(run_condition).append(" THEN ");
    AppendInteger(int64_t{1} << run, mask);
    mask->append(" ELSE 0 END");
    any->append(run_condition);
  }
}

// Prints the FROM items of `core` into `from` and returns the select list that names each of
// their columns "<alias>$<column>" in a view of them.
std::string Translator::EmitRenamedItems(SelectCore& core, Scope* inner_scope, std::string* from) {
  EmitFrom(core.from, inner_scope, from);
  std::string columns;
  // A column a join with USING merges is read unqualified, as "$<column>".
  for (const std::string& merged : inner_scope->using_columns) {
    if (!columns.empty()) columns.append(", ");
    AppendName(merged, &columns);
    columns.append(" AS ");
    AppendName("$" + merged, &columns);
  }
  for (Source& s : inner_scope->sources) {
    for (const ColumnInfo& c : s.table ? s.table->columns : s.derived) {
      if (!columns.empty()) columns.append(", ");
      AppendAlias(s.alias, &columns);
      columns.push_back('.');
      AppendName(c.name, &columns);
      columns.append(" AS ");
      AppendAlias(s.alias + "$" + c.name, &columns);
    }
  }
  return columns;
}

// The FROM items in an inline view that numbers its rows as they pass WHERE
// (sql_ast.h SelectCore::rownum_runs); the level keeps the rows that passed:
//   FROM (SELECT a.*, ora_rownum_walk(<mask>, '<runs>') OVER (ROWS ...) AS "ROWNUM$WALK"
//         FROM item a WHERE <any run's WHERE>) a WHERE a."ROWNUM$WALK" IS NOT NULL
// Bit k of the mask tells whether the row meets WHERE with the ROWNUMs of run k; the walk
// counts the rows passed and gives each row that meets WHERE with the next number that number.
// A single item keeps its name; several items are one view "ROWNUM$ROWS" whose columns are
// named "<alias>$<column>", where the level's column references read them.
void Translator::EmitNumberedFrom(SelectCore& core, const Scope* parent, Scope* scope,
                                  std::string* from_sql) {
  const bool single = core.from.size() == 1 && core.from[0].kind != TableRef::kJoin;
  std::string view = "\"ROWNUM$ROWS\"";
  Scope inner_scope;
  inner_scope.parent = parent;
  std::string inner_from;
  std::string columns;
  if (single) {
    TableRef& item = core.from[0];
    const std::string alias_text =
        !item.alias.empty() ? item.alias.text
                            : (item.kind == TableRef::kTable ? item.table.text : std::string("V"));
    item.alias = Name{alias_text, true};
    view.clear();
    AppendAlias(alias_text, &view);
    EmitTableRef(item, &inner_scope, &inner_from);
    inner_scope.sources.back().alias = alias_text;
    columns = view + ".*";
  } else {
    columns = EmitRenamedItems(core, &inner_scope, &inner_from);
  }
  std::string mask, any;
  EmitRuns(*core.where, core.rownum_runs, &inner_scope, &mask, &any);
  from_sql->append(" FROM (SELECT ").append(columns).append(", ");
  AppendRownumWalk(core, mask, "", from_sql);
  from_sql->append(" FROM ");
  from_sql->append(inner_from).append(" WHERE ").append(any).append(") AS ").append(view);
  from_sql->append(" WHERE ").append(view).append(".\"ROWNUM$WALK\" IS NOT NULL");
  core.where.reset();
  for (Source& s : inner_scope.sources) s.numbered = true;
  if (single) {
    for (Source& s : inner_scope.sources) scope->sources.push_back(std::move(s));
  } else {
    TakeRenamedSources(view, &inner_scope, scope);
  }
  scope->rownum_sql = view + ".\"ROWNUM$WALK\"";
}

// ora_rownum_walk(<mask>, '<runs>') OVER (...) AS "ROWNUM$WALK", over the rows in `order`
// (empty: in the order the FROM items give them).
void Translator::AppendRownumWalk(const SelectCore& core, const std::string& mask,
                                  const std::string& order, std::string* out) {
  out->append("ora_rownum_walk(").append(mask).append(", '");
  for (size_t i = 0; i < core.rownum_runs.size(); ++i) {
    if (i) out->push_back(',');
    AppendInteger(core.rownum_runs[i], out);
  }
  out->append("') OVER (");
  if (!order.empty()) out->append("ORDER BY ").append(order).push_back(' ');
  out->append("ROWS BETWEEN UNBOUNDED PRECEDING AND CURRENT ROW) AS \"ROWNUM$WALK\"");
}

// The rows of a hierarchy numbered as they pass WHERE in the tree's order, as
// EmitNumberedFrom numbers a level's rows, under the tree's name:
//   FROM (SELECT t.*, ora_rownum_walk(...) OVER (ORDER BY <tree order> ROWS ...)
//         FROM <tree> t WHERE <any run's WHERE>) t WHERE t."ROWNUM$WALK" IS NOT NULL
void Translator::NumberTreeRows(SelectCore& core, Scope* scope, std::string* from_sql) {
  const std::string tree = from_sql->substr(std::string_view(" FROM ").size());
  const std::string& alias = scope->tree_alias;
  std::string mask, any;
  EmitRuns(*core.where, core.rownum_runs, scope, &mask, &any);
  *from_sql = " FROM (SELECT " + alias + ".*, ";
  AppendRownumWalk(core, mask, scope->hierarchy_order_sql, from_sql);
  from_sql->append(" FROM ").append(tree).append(" WHERE ").append(any).append(") AS ");
  from_sql->append(alias).append(" WHERE ").append(alias).append(".\"ROWNUM$WALK\" IS NOT NULL");
  core.where.reset();
  scope->rownum_sql = alias + ".\"ROWNUM$WALK\"";
}

}  // namespace detail
}  // namespace korvalis::db
