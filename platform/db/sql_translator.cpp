#include "platform/db/sql_translator.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "platform/db/ora_date.h"
#include "platform/db/ora_number.h"
#include "platform/db/rewrite_passes.h"
#include "platform/db/sql_error.h"
#include "platform/db/sql_parser.h"
#include "platform/db/sql_translator_internal.h"

namespace korvalis::db {
namespace detail {

uint64_t NextScopeSerial() {
  static std::atomic<uint64_t> last{0};
  return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

[[noreturn]] void Refuse(const std::string& construct) {
  throw SqlError(construct + " is not supported by the database layer", kNotSupported);
}

void AppendQuotedName(std::string_view name, std::string* out) {
  out->push_back('"');
  if (name.find('"') == std::string_view::npos) {
    out->append(name);
  } else {
    for (char c : name) {
      if (c == '"') out->push_back('"');
      out->push_back(c);
    }
  }
  out->push_back('"');
}

void AppendStringLiteral(std::string_view value, std::string* out) {
  out->push_back('\'');
  for (size_t quote = value.find('\''); quote != std::string_view::npos; quote = value.find('\'')) {
    out->append(value.substr(0, quote + 1));
    out->push_back('\'');
    value.remove_prefix(quote + 1);
  }
  out->append(value);
  out->push_back('\'');
}

bool IsAggregateName(std::string_view f) {
  return f == "COUNT" || f == "SUM" || f == "AVG" || f == "MIN" || f == "MAX" || f == "LISTAGG";
}

bool ContainsAggregate(const Expr& e) {
  if (e.kind == ExprKind::kFunction && IsAggregateName(e.text) && !e.over) return true;
  for (const auto& a : e.args) {
    if (a && ContainsAggregate(*a)) return true;
  }
  return false;
}
bool ContainsWindow(const Expr& e) {
  if (e.kind == ExprKind::kFunction && e.over) return true;
  for (const auto& a : e.args) {
    if (a && ContainsWindow(*a)) return true;
  }
  return false;
}
bool ContainsRownum(const Expr& e) {
  if (e.kind == ExprKind::kRownum) return true;
  for (const auto& a : e.args) {
    if (a && ContainsRownum(*a)) return true;
  }
  return false;
}

// A literal number (or numeric text) as a double.
bool LiteralNumber(const Expr& e, double* value) {
  if (e.kind == ExprKind::kUnary && e.text == "-" && e.args[0]->kind == ExprKind::kNumber) {
    auto v = ParseNumber(e.args[0]->text);
    if (!v) return false;
    *value = -*v;
    return true;
  }
  if (e.kind != ExprKind::kNumber && e.kind != ExprKind::kString) return false;
  auto v = ParseNumber(e.text);
  if (!v) return false;
  *value = *v;
  return true;
}


bool IsArithmeticOfLiterals(const Expr& e) {
  if (e.kind == ExprKind::kNumber) return true;
  if (e.kind != ExprKind::kUnary && e.kind != ExprKind::kBinary) return false;
  if (e.text != "+" && e.text != "-" && e.text != "*" && e.text != "/") return false;
  for (const sql::ExprPtr& arg : e.args) {
    if (!IsArithmeticOfLiterals(*arg)) return false;
  }
  return true;
}

std::optional<DateTime> ReadDateLiteral(const Expr& e) {
  if (e.kind != ExprKind::kString || e.text.empty()) return std::nullopt;
  std::optional<DateTime> date = ParseDefaultDate(e.text);
  if (!date) {
    throw SqlError("ORA-01861: literal does not match format string: " + QuotedValue(e.text),
                   kConversionFailed);
  }
  if (!IsWithinDateRange(*date)) {
    throw SqlError(std::string(kDateRangeMessage) + ": " + QuotedValue(e.text), kConversionFailed);
  }
  return date;
}

// ============================================================================ queries

namespace {

bool SelectsWindow(const SelectCore& core) {
  for (const sql::SelectItem& item : core.items) {
    if (ContainsWindow(*item.expr)) return true;
  }
  return false;
}

// Whether an ORDER BY item is neither a position nor a name.
bool OrdersByExpression(const std::vector<sql::OrderItem>& items) {
  for (const sql::OrderItem& item : items) {
    double position;
    if (item.expr->kind != ExprKind::kColumn && !LiteralNumber(*item.expr, &position)) return true;
  }
  return false;
}

// An ORDER BY position names one of the `columns` result columns.
void CheckOrderPositions(const std::vector<sql::OrderItem>& items, size_t columns) {
  for (const sql::OrderItem& item : items) {
    double position;
    if (!LiteralNumber(*item.expr, &position) || item.expr->kind == ExprKind::kString) continue;
    if (position == std::floor(position) &&
        (position < 1 || position > static_cast<double>(columns))) {
      throw SqlError("ORA-01785: ORDER BY item must be the number of a SELECT-list expression");
    }
  }
}

// Whether a BLOB stands beside a value of another type: a BLOB stands beside BLOBs, NULL and
// values of unknown type alone.
bool BlobBesideOther(SqlType a, SqlType b) {
  auto typed = [](SqlType t) { return t != SqlType::kNull && t != SqlType::kUnknown; };
  return (a == SqlType::kBlob || b == SqlType::kBlob) && a != b && typed(a) && typed(b);
}

// The LIMIT of a level cut by ROWNUM. OFFSET 0 keeps SQLite from merging the level into a query
// that reads it as a view, which would drop the order of the view it limits (a random sample
// cut by ROWNUM) or move the limit after the outer sort.
void AppendRownumLimit(int64_t limit, std::string* out) {
  out->append(" LIMIT ");
  AppendInteger(limit, out);
  out->append(" OFFSET 0");
}

// "1, 2, ..., count".
void AppendPositions(size_t count, std::string* out) {
  for (size_t i = 0; i < count; ++i) {
    if (i) out->append(", ");
    AppendInteger(static_cast<int64_t>(i + 1), out);
  }
}

const char* SetOperatorText(sql::SetOp op) {
  switch (op) {
    case sql::SetOp::kUnion: return " UNION ";
    case sql::SetOp::kUnionAll: return " UNION ALL ";
    case sql::SetOp::kMinus: return " EXCEPT ";
    case sql::SetOp::kIntersect: break;
  }
  return " INTERSECT ";
}

// Takes the result columns of a compound query's next branch, joined by `op`, into `columns`
// (those of the branches before it): each of the same type group, a type first known here
// taken. Throws SqlError for a branch of other columns.
void MergeBranchColumns(const std::vector<ColumnInfo>& branch, sql::SetOp op,
                        std::vector<ColumnInfo>* columns) {
  if (branch.size() != columns->size() && !columns->empty() && !branch.empty()) {
    throw SqlError("ORA-01789: query block has incorrect number of result columns");
  }
  for (size_t c = 0; c < columns->size() && c < branch.size(); ++c) {
    ColumnInfo& column = (*columns)[c];
    if (!SameTypeGroup(column.type, branch[c].type) ||
        BlobBesideOther(column.type, branch[c].type)) {
      throw SqlError("ORA-01790: expression must have same datatype as corresponding expression");
    }
    // UNION, INTERSECT and MINUS compare the rows, which a BLOB cannot be.
    if (op != sql::SetOp::kUnionAll &&
        (column.type == SqlType::kBlob || branch[c].type == SqlType::kBlob)) {
      throw SqlError("ORA-00932: inconsistent datatypes: expected - got BLOB");
    }
    if (column.type == SqlType::kNull || column.type == SqlType::kUnknown) {
      column.type = branch[c].type;
    }
    // A long decimal of any branch is text in the column.
    column.exact_number = column.exact_number || branch[c].exact_number;
  }
}

// Whether `e` reads DUAL's column DUMMY, which a query of DUAL alone computes without it.
bool ReadsDummy(const Expr& e) {
  if (e.kind == ExprKind::kColumn && !e.parts.empty() && !e.parts.back().quoted &&
      e.parts.back().text == "DUMMY") {
    return true;
  }
  for (const auto& a : e.args) {
    if (a && ReadsDummy(*a)) return true;
  }
  return false;
}

bool CoreReadsDummy(const SelectCore& core, const Select* owner) {
  for (const auto& item : core.items) {
    if (ReadsDummy(*item.expr)) return true;
  }
  for (const auto& e : core.group_by) {
    if (ReadsDummy(*e)) return true;
  }
  if (owner) {
    for (const auto& item : owner->order_by) {
      if (ReadsDummy(*item.expr)) return true;
    }
  }
  return (core.where && ReadsDummy(*core.where)) || (core.having && ReadsDummy(*core.having));
}

}  // namespace

// The empty text literal '' is NULL, but a text literal still: beside a number or a date in a
// compound query it is refused as any text is. The column of a select item written '' is text.
void Translator::TypeEmptyTextLiterals(const SelectCore& core,
                                       std::vector<ColumnInfo>* columns) const {
  if (core.items.size() != columns->size()) return;  // * stands for several
  for (size_t c = 0; c < columns->size(); ++c) {
    const Expr& e = *core.items[c].expr;
    if (e.kind == ExprKind::kNull && e.begin < statement_.size() && statement_[e.begin] == '\'') {
      (*columns)[c].type = SqlType::kText;
    }
  }
}

// FOR UPDATE prints nothing: the provider takes the writers' turn before the query runs
// (Translation::row_lock), which holds every row.
std::vector<ColumnInfo> Translator::EmitSelect(Select& select, const Scope* parent,
                                               std::string* out,
                                               const std::vector<std::string>* forced_names) {
  const bool compound = select.cores.size() > 1;
  const size_t start = out->size();
  std::vector<ColumnInfo> columns;
  deepest_query_ = std::max(deepest_query_, ++query_depth_);
  for (size_t i = 0; i < select.cores.size(); ++i) {
    if (i > 1 && pg_ && select.ops[i - 1] == sql::SetOp::kIntersect) {
      // Oracle's set operators are of one precedence and run left to right; PostgreSQL's
      // INTERSECT binds tighter, so what stands before it is one operand.
      out->insert(start, 1, '(');
      out->push_back(')');
    }
    if (i > 0) out->append(SetOperatorText(select.ops[i - 1]));
    auto cols =
        EmitCore(select.cores[i], parent, out, !compound, &select, i == 0 ? forced_names : nullptr);
    if (compound) TypeEmptyTextLiterals(select.cores[i], &cols);
    if (i == 0) {
      columns = std::move(cols);
    } else {
      MergeBranchColumns(cols, select.ops[i - 1], &columns);
    }
  }
  if (compound && !select.order_by.empty()) {
    EmitCompoundOrder(select, columns, parent, start, out);
  }
  // A column that is only ever NULL is text, as Oracle types it (VARCHAR2) and the server
  // does: the query around it reads it so on both engines, converting it where it meets a
  // number or a date.
  for (ColumnInfo& c : columns) {
    if (c.type == SqlType::kNull) c.type = SqlType::kText;
  }
  --query_depth_;
  return columns;
}

void Translator::EmitCompoundOrder(Select& select, const std::vector<ColumnInfo>& columns,
                                   const Scope* parent, size_t start, std::string* out) {
  CheckOrderPositions(select.order_by, columns.size());
  // The ORDER BY of a compound query names result columns.
  Scope scope;
  Source s;
  s.is_derived = true;
  s.derived = columns;
  // Oracle orders a compound query by positions and the names of its result columns alone.
  for (const sql::OrderItem& item : select.order_by) {
    double position;
    if (LiteralNumber(*item.expr, &position) && item.expr->kind != ExprKind::kString) continue;
    if (item.expr->kind != ExprKind::kColumn) {
      throw SqlError("ORA-01785: ORDER BY item must be the number of a SELECT-list expression");
    }
    if (item.expr->parts.size() == 1 && !s.Find(item.expr->parts[0].text)) {
      throw SqlError("ORA-00904: \"" + item.expr->parts[0].text + "\": invalid identifier");
    }
  }
  scope.sources.push_back(std::move(s));
  scope.parent = parent;
  if (!EmitExactCompoundOrder(select, columns, scope, start, out)) {
    EmitOrderBy(select.order_by, &scope, out);
  }
}

// The engine orders a set operation only by its result columns as they are, where a long
// decimal's text would sort after every number: the operation is read as a view instead,
// whose columns the exact sort keys read by name.
bool Translator::EmitExactCompoundOrder(Select& select, const std::vector<ColumnInfo>& columns,
                                        const Scope& scope, size_t start, std::string* out) {
  if (pg_) return false;
  // The result column an item names by position, or -1.
  const auto position = [&](const Expr& e) {
    double p;
    if (e.kind != ExprKind::kNumber || !LiteralNumber(e, &p) || p != std::floor(p)) return -1;
    return static_cast<int>(p) - 1;
  };
  const auto unique_name = [&](size_t c) {
    for (size_t other = 0; other < columns.size(); ++other) {
      if (other != c && EqualsIgnoringAsciiCase(columns[other].name, columns[c].name)) {
        return false;
      }
    }
    return true;
  };
  bool exact = false;
  for (const sql::OrderItem& item : select.order_by) {
    const int p = position(*item.expr);
    exact = exact || (p >= 0 ? columns[static_cast<size_t>(p)].exact_number &&
                                   unique_name(static_cast<size_t>(p))
                             : ExactLeaf(*item.expr, &scope));
  }
  if (!exact) return false;
  out->insert(start, "SELECT * FROM (");
  out->append(") ORDER BY ");
  for (size_t i = 0; i < select.order_by.size(); ++i) {
    if (i) out->append(", ");
    sql::OrderItem& item = select.order_by[i];
    const int p = position(*item.expr);
    const bool ordering = ordering_;
    ordering_ = true;
    if (p >= 0 && columns[static_cast<size_t>(p)].exact_number &&
        unique_name(static_cast<size_t>(p))) {
      out->append("ora_sort_key(");
      AppendName(columns[static_cast<size_t>(p)].name, out);
      out->push_back(')');
    } else if (p >= 0 || !EmitExactSortKey(*item.expr, nullptr, &scope, out)) {
      Emit(*item.expr, &scope, out);
    }
    ordering_ = ordering;
    AppendOrderDirection(item, out);
  }
  return true;
}

bool Translator::EmitCoreFrom(SelectCore& core, const Scope* parent, Select* tree_owner,
                              Select* owner, std::optional<int64_t> limit_in_view, Scope* scope,
                              std::string* from_sql) {
  const bool hierarchical = core.connect_by || core.start_with;
  const bool only_dual = !hierarchical && core.rownum_runs.empty() && core.from.size() == 1 &&
                         core.from[0].kind == TableRef::kTable &&
                         core.from[0].table.text == "DUAL" && core.from[0].alias.empty() &&
                         !CoreReadsDummy(core, owner);
  if (only_dual) return true;
  if (limit_in_view) {
    EmitLimitedFrom(core, parent, *limit_in_view, scope, from_sql);
  } else if (!core.rownum_runs.empty() && !hierarchical) {
    EmitNumberedFrom(core, parent, scope, from_sql);
  } else {
    from_sql->append(" FROM ");
    if (hierarchical) {
      EmitHierarchy(core, tree_owner, scope, from_sql);
      if (!core.rownum_runs.empty()) NumberTreeRows(core, scope, from_sql);
    } else {
      EmitFrom(core.from, scope, from_sql);
    }
  }
  return false;
}

std::vector<ColumnInfo> Translator::EmitCore(SelectCore& core, const Scope* parent,
                                             std::string* out, bool alone, Select* owner,
                                             const std::vector<std::string>* forced_names) {
  const bool hierarchical = core.connect_by || core.start_with;
  const bool limited = core.rownum_limit.has_value();
  const int64_t limit = core.rownum_limit.value_or(0);

  bool grouped = core.distinct || !core.group_by.empty() || core.having != nullptr;
  for (const auto& item : core.items) {
    if (ContainsAggregate(*item.expr) || ContainsWindow(*item.expr)) grouped = true;
  }
  // ORDER SIBLINGS BY keeps the tree's order, ordering each set of siblings.
  const bool has_order = alone && owner && !owner->order_by.empty() && !owner->order_siblings;

  // Where the limit cannot close this level (it must apply before grouping, sorting or a set
  // operator), the rows are limited in an inline view of the single FROM item.
  bool wrap_from = false;
  bool wrap_core = false;
  if (limited && hierarchical && (grouped || has_order || !alone)) {
    Refuse("ROWNUM in WHERE of a hierarchical query with grouping, ORDER BY or a set operator");
  }
  if (limited && (grouped || has_order)) {
    wrap_from = true;
  } else if (limited && !alone) {
    wrap_core = true;
  }

  if (wrap_core) out->append("SELECT * FROM (");

  Scope scope;
  scope.parent = parent;
  scope.rownum_in_select_list = true;
  std::string from_sql;
  const bool only_dual = EmitCoreFrom(core, parent, alone ? owner : nullptr, owner,
                                      wrap_from ? std::optional<int64_t>(limit) : std::nullopt,
                                      &scope, &from_sql);

  // PostgreSQL orders DISTINCT rows by the selected expressions themselves alone, where Oracle
  // also orders them by expressions of those: grouping by every selected column gives the same
  // rows and lets ORDER BY compute from them.
  const bool distinct_as_groups = pg_ && core.distinct && has_order && !GroupsRows(core) &&
                                  !SelectsWindow(core) && OrdersByExpression(owner->order_by);
  out->append("SELECT ");
  if (core.distinct && !distinct_as_groups) out->append("DISTINCT ");
  if (GroupsRows(core)) scope.grouping = &core;
  std::vector<ColumnInfo> columns = EmitSelectList(core, &scope, only_dual, forced_names, out);
  scope.grouping = nullptr;
  out->append(from_sql);
  scope.rownum_in_select_list = false;
  EmitFilters(core, &scope, out);
  if (distinct_as_groups) {
    out->append(" GROUP BY ");
    AppendPositions(columns.size(), out);
  }
  // After the select list and HAVING are written, so that a function the front end does not
  // know is refused as such rather than as a column outside GROUP BY.
  CheckGrouping(core, scope, has_order ? &owner->order_by : nullptr);
  if (has_order) {
    CheckOrderPositions(owner->order_by, columns.size());
    CheckDistinctOrder(core, scope, owner->order_by);
    EmitOrderBy(owner->order_by, &scope, out, true, &core);
  } else if (alone && hierarchical) {
    EmitHierarchyOrder(scope, out);
  }
  if (limited && !wrap_from) AppendRownumLimit(limit, out);
  if (wrap_core) {
    out->push_back(')');
    if (pg_) {
      out->append(" AS ");
      AppendQuotedName("V$" + std::to_string(++pg_view_number_), out);
    }
  }
  return columns;
}

// WHERE, GROUP BY and HAVING.
void Translator::EmitFilters(SelectCore& core, Scope* scope, std::string* out) {
  bool aggregate_outside_having = core.where && ContainsAggregate(*core.where);
  for (const auto& g : core.group_by) aggregate_outside_having |= ContainsAggregate(*g);
  if (aggregate_outside_having) throw SqlError("ORA-00934: group function is not allowed here");
  const bool having_keeps_rows = HavingKeepsRows(core);
  if (core.where && having_keeps_rows) {
    out->append(" WHERE (");
    Emit(*core.where, scope, out);
    out->append(") AND (");
    Emit(*core.having, scope, out);
    out->push_back(')');
  } else if (core.where || having_keeps_rows) {
    out->append(" WHERE ");
    Emit(core.where ? *core.where : *core.having, scope, out);
  }
  if (!core.group_by.empty()) {
    out->append(" GROUP BY ");
    EmitGroupingKeys(core.group_by, scope, out);
  }
  if (core.having && !having_keeps_rows) {
    out->append(" HAVING ");
    scope->grouping = &core;
    Emit(*core.having, scope, out);
    scope->grouping = nullptr;
  }
}

void Translator::EmitOrderBy(std::vector<sql::OrderItem>& items, const Scope* scope,
                             std::string* out, bool exact_keys, const sql::SelectCore* core) {
  // Items may name the select items of a query whose computed columns are exact.
  const SelectCore* named_core = core != nullptr && ExactOwner(*core) != nullptr ? core : nullptr;
  out->append(" ORDER BY ");
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out->append(", ");
    sql::OrderItem& item = items[i];
    if (ContainsRownum(*item.expr)) Refuse("ROWNUM in ORDER BY");
    const bool ordering = ordering_;
    ordering_ = true;
    const SelectCore* aliases = order_aliases_;
    if (item.expr->kind != ExprKind::kColumn) order_aliases_ = core;
    if (!exact_keys || !EmitExactSortKey(*item.expr, named_core, scope, out)) {
      Emit(*item.expr, scope, out);
    }
    order_aliases_ = aliases;
    ordering_ = ordering;
    AppendOrderDirection(item, out, core && NamesColumnNeverNull(*item.expr, *scope, *core));
  }
}

namespace {

bool ExtendsWithNulls(const sql::TableRef& ref) {
  if (ref.kind != sql::TableRef::kJoin) return false;
  return ref.join == sql::JoinKind::kLeft || ref.join == sql::JoinKind::kRight ||
         ref.join == sql::JoinKind::kFull || ExtendsWithNulls(*ref.left) ||
         ExtendsWithNulls(*ref.right);
}

}  // namespace

bool Translator::NamesColumnNeverNull(const Expr& e, const Scope& scope,
                                      const sql::SelectCore& core) {
  // A qualified name, which no select item's alias can stand for.
  if (pg_ || e.kind != ExprKind::kColumn || e.parts.size() != 2 || GroupsRows(core) ||
      core.connect_by) {
    return false;
  }
  for (const sql::TableRef& ref : core.from) {
    if (ExtendsWithNulls(ref)) return false;
  }
  for (const Source& source : scope.sources) {
    if (!source.table || source.numbered || !source.renamed_in.empty() ||
        source.alias != e.parts[0].text) {
      continue;
    }
    const ColumnInfo* column = source.Find(e.parts[1].text);
    return column && column->not_null;
  }
  return false;
}

void Translator::AppendOrderDirection(const sql::OrderItem& item, std::string* out,
                                      bool never_null) {
  if (item.descending) out->append(" DESC");
  if (never_null) return;
  // Oracle sorts NULL as the largest value.
  bool nulls_first = item.nulls == sql::OrderItem::kDefault ? item.descending
                                                           : item.nulls == sql::OrderItem::kFirst;
  out->append(nulls_first ? " NULLS FIRST" : " NULLS LAST");
}

Translation Translator::Run(Statement& stmt) {
  Translation tr = RunStatement(stmt);
  tr.reads_sysdate = reads_sysdate_;
  return tr;
}

std::optional<Translation> Translator::RunWithNamedViews(Statement& stmt) {
  views_named_ = true;
  Translation tr = Run(stmt);
  if (!PrefixNamedViews(&tr)) return std::nullopt;
  return tr;
}

Translation Translator::RunStatement(Statement& stmt) {
  switch (stmt.kind) {
    case StatementKind::kSelect: {
      Translation tr{StatementKind::kSelect, {}, false};
      std::string out;
      out.reserve(statement_.size() + statement_.size() / 2);
      // A set operation's branches print exact operands, which its duplicates compare by.
      if (!pg_ && stmt.select->cores.size() == 1) exact_select_ = stmt.select.get();
      if (stmt.select->cores.size() > 1) MarkExactColumns(*stmt.select);
      for (ColumnInfo& c : EmitSelect(*stmt.select, nullptr, &out)) {
        tr.column_names.push_back(std::move(c.name));
      }
      tr.statements.push_back(std::move(out));
      return tr;
    }
    case StatementKind::kInsert:
      return Insert(stmt);
    case StatementKind::kUpdate:
      return Update(stmt);
    case StatementKind::kDelete:
      return Delete(stmt);
    case StatementKind::kCreateTable:
      return CreateTable(stmt);
    case StatementKind::kCreateIndex:
      return CreateIndex(stmt);
    case StatementKind::kCreateView:
      return CreateView(stmt);
    case StatementKind::kComment:
      return Comment(stmt);
    case StatementKind::kDropTable:
    case StatementKind::kDropView:
    case StatementKind::kDropIndex:
      return Drop(stmt);
    case StatementKind::kTruncate: {
      const TableInfo* table = RequireTable(stmt.table);
      Translation tr{StatementKind::kTruncate, {}, false};
      std::string out = "DELETE FROM ";
      AppendName(table->name, &out);
      tr.statements.push_back(std::move(out));
      return tr;
    }
    case StatementKind::kCommit:
    case StatementKind::kRollback:
      return Translation{stmt.kind, {}, false};
    case StatementKind::kRollbackForce:
      // The embedded database has no distributed transactions, so none is ever in doubt
      // (DBA_2PC_PENDING is empty): there is nothing to roll back.
      return Translation{stmt.kind, {}, false};
  }
  Refuse("this statement");
}

}  // namespace detail

namespace {

// Whether `stmt` selects the database clock's time alone (see Translation::reads_clock_only).
bool ReadsClockOnly(const sql::Statement& stmt) {
  if (stmt.kind != sql::StatementKind::kSelect || !stmt.select) return false;
  const sql::Select& select = *stmt.select;
  if (select.cores.size() != 1 || !select.order_by.empty() || select.for_update) return false;
  const sql::SelectCore& core = select.cores[0];
  if (core.distinct || core.items.size() != 1 || core.from.size() != 1 || core.where ||
      !core.group_by.empty() || core.having || core.connect_by || core.start_with) {
    return false;
  }
  const sql::TableRef& from = core.from[0];
  if (from.kind != sql::TableRef::kTable || !from.schema.empty() || from.table.quoted ||
      from.table.text != "DUAL") {
    return false;
  }
  const sql::Expr& value = *core.items[0].expr;
  if (value.kind == sql::ExprKind::kSysdate) return true;
  return value.kind == sql::ExprKind::kFunction && value.text == "TO_CHAR" && !value.over &&
         value.args.size() == 2 && value.args[0]->kind == sql::ExprKind::kSysdate &&
         value.args[1]->kind == sql::ExprKind::kString &&
         value.args[1]->text == "YYYY-MM-DD HH24:MI:SS";
}

// The lock of a query FOR UPDATE (read before the rewriter reshapes the query).
std::optional<RowLock> RowLockOf(const sql::Statement& stmt) {
  return stmt.select ? stmt.select->for_update : std::nullopt;
}

}  // namespace

// Queries nested deeper than this print their inline views as common table expressions on the
// embedded engine, whose parser takes about fifteen nested views, fewer with subqueries or
// window functions innermost.
constexpr int kDeepestNestedQuery = 8;

Translation Translate(std::string_view oracle_sql, const Catalog& catalog, Engine engine) {
  auto stmt = sql::Parse(oracle_sql);
  const bool reads_clock_only = ReadsClockOnly(*stmt);
  const std::optional<RowLock> row_lock = RowLockOf(*stmt);
  RunRewritePasses(*stmt, catalog);
  detail::Translator t(catalog, oracle_sql, engine);
  Translation translation = t.Run(*stmt);
  if (engine == Engine::kSqlite && t.deepest_query() > kDeepestNestedQuery) {
    // The engine's parser holds few nested queries: printed again, from the statement's text
    // (printing rewrites the tree), with its inline views named. Where that cannot be, the
    // nested form stands, and the engine refuses it if it is too deep.
    auto again = sql::Parse(oracle_sql);
    RunRewritePasses(*again, catalog);
    detail::Translator flat(catalog, oracle_sql, engine);
    if (std::optional<Translation> named = flat.RunWithNamedViews(*again)) {
      translation = std::move(*named);
    }
  }
  translation.reads_clock_only = reads_clock_only;
  translation.row_lock = row_lock;
  return translation;
}

BlobStatement TranslateBlobSelect(std::string_view oracle_sql, const Catalog& catalog,
                                  Engine engine) {
  auto stmt = sql::Parse(oracle_sql);
  const std::optional<RowLock> row_lock = RowLockOf(*stmt);
  RunRewritePasses(*stmt, catalog);
  detail::Translator t(catalog, oracle_sql, engine);
  BlobStatement blob = t.Blob(*stmt);
  blob.row_lock = row_lock;
  return blob;
}

}  // namespace korvalis::db
