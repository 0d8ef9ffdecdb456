#include "platform/db/sql_translator.h"

#include "platform/db/sql_translator_internal.h"

#include <cmath>
#include <unordered_map>

#include "platform/db/ora_number.h"
#include "platform/db/outer_join_rewrite.h"
#include "platform/db/rownum_rewrite.h"
#include "platform/db/sql_error.h"
#include "platform/db/sql_parser.h"

namespace korvalis::db {

using sql::ExprKind;
using sql::Expr;
using sql::Name;
using sql::Select;
using sql::SelectCore;
using sql::Statement;
using sql::StatementKind;
using sql::TableRef;

namespace detail {

[[noreturn]] void Refuse(const std::string& construct) {
  throw SqlError(construct + " is not supported by the embedded database", kNotSupported);
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
  for (char c : value) {
    if (c == '\'') out->push_back('\'');
    out->push_back(c);
  }
  out->push_back('\'');
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

// The column name Oracle reports for a select item without alias: the expression as written,
// upper case outside quoted text, without blanks.
std::string OracleColumnName(const sql::SelectItem& item, std::string_view statement) {
  if (!item.alias.empty()) return item.alias.text;
  if (item.expr->kind == ExprKind::kColumn) return item.expr->parts.back().text;
  std::string out;
  char quote = 0;
  for (char c : statement.substr(item.begin, item.end - item.begin)) {
    if (quote) {
      out.push_back(c);
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
      out.push_back(c);
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    out.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c);
  }
  return out;
}

bool IsAggregateName(std::string_view f) {
  return f == "COUNT" || f == "SUM" || f == "AVG" || f == "MIN" || f == "MAX" ||
         f == "STDDEV" || f == "VARIANCE";
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


// ============================================================================ queries

std::vector<ColumnInfo> Translator::EmitSelect(Select& select, const Scope* parent,
                                               std::string* out,
                                               const std::vector<std::string>* forced_names) {
  if (select.for_update) {
    // The embedded database locks the whole database for a writer: FOR UPDATE needs nothing.
  }
  const bool compound = select.cores.size() > 1;
  std::vector<ColumnInfo> columns;
  for (size_t i = 0; i < select.cores.size(); ++i) {
    if (i > 0) {
      switch (select.ops[i - 1]) {
        case sql::SetOp::kUnion: out->append(" UNION "); break;
        case sql::SetOp::kUnionAll: out->append(" UNION ALL "); break;
        case sql::SetOp::kMinus: out->append(" EXCEPT "); break;
        case sql::SetOp::kIntersect: out->append(" INTERSECT "); break;
      }
    }
    auto cols = EmitCore(select.cores[i], parent, out, !compound, &select,
                         i == 0 ? forced_names : nullptr);
    if (i == 0) {
      columns = std::move(cols);
    } else {
      if (cols.size() != columns.size() && !columns.empty() && !cols.empty()) {
        throw SqlError("ORA-01789: query block has incorrect number of result columns");
      }
      for (size_t c = 0; c < columns.size() && c < cols.size(); ++c) {
        if (columns[c].type == SqlType::kNull || columns[c].type == SqlType::kUnknown) {
          columns[c].type = cols[c].type;
        }
      }
    }
  }
  if (compound && !select.order_by.empty()) {
    // The ORDER BY of a compound query names result columns.
    Scope scope;
    Source s;
    s.is_derived = true;
    s.derived = columns;
    scope.sources.push_back(std::move(s));
    scope.parent = parent;
    EmitOrderBy(select.order_by, &scope, out);
  }
  return columns;
}

bool Translator::ExtractRownumLimit(sql::ExprPtr* where, int64_t* limit) {
  if (!*where) return false;
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
    if (!ContainsRownum(e)) continue;
    if (e.kind != ExprKind::kBinary || e.args.size() != 2) Refuse("ROWNUM in this condition");
    std::string op = e.text;
    const Expr* bound = nullptr;
    if (e.args[0]->kind == ExprKind::kRownum) {
      bound = e.args[1].get();
    } else if (e.args[1]->kind == ExprKind::kRownum) {
      bound = e.args[0].get();
      // n > ROWNUM is ROWNUM < n
      if (op == "<") op = ">";
      else if (op == ">") op = "<";
      else if (op == "<=") op = ">=";
      else if (op == ">=") op = "<=";
    } else {
      Refuse("ROWNUM in this condition");
    }
    double n;
    if (!LiteralNumber(*bound, &n)) Refuse("ROWNUM compared with anything but a number");
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
      Refuse("ROWNUM with the operator " + op);
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
  *limit = result;
  return found;
}

std::vector<ColumnInfo> Translator::EmitCore(SelectCore& core, const Scope* parent,
                                             std::string* out, bool alone, Select* owner,
                                             const std::vector<std::string>* forced_names) {
  const bool hierarchical = core.connect_by || core.start_with;
  if (hierarchical) CheckHierarchy(core);
  RewriteOuterJoins(core, catalog_);
  MoveRownumOutOfAggregates(core);
  int64_t limit = 0;
  bool limited = ExtractRownumLimit(&core.where, &limit);

  bool grouped = core.distinct || !core.group_by.empty() || core.having != nullptr;
  for (const auto& item : core.items) {
    if (ContainsAggregate(*item.expr) || ContainsWindow(*item.expr)) grouped = true;
  }
  const bool has_order = alone && owner && !owner->order_by.empty();

  // Where the limit cannot close this level (it must apply before grouping, sorting or a set
  // operator), the rows are limited in an inline view of the single FROM item.
  bool wrap_from = false;
  bool wrap_core = false;
  if (limited && (grouped || has_order)) {
    if (core.from.size() != 1 || core.from[0].kind == TableRef::kJoin) {
      Refuse("ROWNUM with grouping or ORDER BY over several tables at one level");
    }
    wrap_from = true;
  } else if (limited && !alone) {
    wrap_core = true;
  }

  if (wrap_core) out->append("SELECT * FROM (");

  Scope scope;
  scope.parent = parent;
  scope.rownum_in_select_list = true;
  std::string from_sql;
  const bool only_dual = core.from.size() == 1 && core.from[0].kind == TableRef::kTable &&
                         core.from[0].table.text == "DUAL" && core.from[0].alias.empty();
  if (!only_dual) {
    if (wrap_from) {
      TableRef& ref = core.from[0];
      std::string inner;
      Scope inner_scope;
      inner_scope.parent = parent;
      TableRef moved = std::move(ref);
      Name alias = moved.alias;
      std::string alias_text =
          alias.empty() ? (moved.kind == TableRef::kTable ? moved.table.text : std::string("V"))
                        : alias.text;
      moved.alias = Name{};
      inner.append("SELECT * FROM ");
      EmitTableRef(moved, &inner_scope, &inner);
      // The inner view takes the alias so that qualified names outside still resolve.
      if (core.where) {
        inner.append(" AS ");
        AppendQuotedName(alias_text, &inner);
        inner_scope.sources.back().alias = UpperAscii(alias_text);
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
      s.alias = UpperAscii(alias_text);
      scope.sources.push_back(std::move(s));
      from_sql.append(" FROM (");
      from_sql.append(inner);
      from_sql.append(") AS ");
      AppendQuotedName(alias_text, &from_sql);
    } else {
      from_sql.append(" FROM ");
      if (hierarchical) {
        EmitHierarchy(core, &scope, &from_sql);
      } else {
        EmitFrom(core.from, &scope, &from_sql);
      }
    }
  }

  out->append("SELECT ");
  if (core.distinct) out->append("DISTINCT ");
  std::vector<ColumnInfo> columns;
  for (size_t i = 0; i < core.items.size(); ++i) {
    if (i) out->append(", ");
    sql::SelectItem& item = core.items[i];
    if (item.expr->kind == ExprKind::kStar) {
      if (item.expr->parts.empty()) {
        if (only_dual) {
          out->append("'X' AS \"DUMMY\"");
          columns.push_back(ColumnInfo{"DUMMY", SqlType::kText, -1});
          continue;
        }
        out->push_back('*');
        for (const Source& s : scope.sources) {
          const auto& cols = s.table ? s.table->columns : s.derived;
          columns.insert(columns.end(), cols.begin(), cols.end());
        }
      } else {
        std::string q = UpperAscii(item.expr->parts.back().text);
        if (item.expr->parts.back().quoted) q = item.expr->parts.back().text;
        AppendQuotedName(q, out);
        out->append(".*");
        for (const Source& s : scope.sources) {
          if (s.alias != UpperAscii(q)) continue;
          const auto& cols = s.table ? s.table->columns : s.derived;
          columns.insert(columns.end(), cols.begin(), cols.end());
        }
      }
      continue;
    }
    SqlType type = Emit(*item.expr, &scope, out);
    std::string name = forced_names && i < forced_names->size() ? (*forced_names)[i]
                                                                 : OracleColumnName(item, statement_);
    out->append(" AS ");
    AppendQuotedName(name, out);
    columns.push_back(ColumnInfo{name, type, -1});
  }
  out->append(from_sql);
  scope.rownum_in_select_list = false;
  if (core.where) {
    out->append(" WHERE ");
    Emit(*core.where, &scope, out);
  }
  if (!core.group_by.empty()) {
    out->append(" GROUP BY ");
    for (size_t i = 0; i < core.group_by.size(); ++i) {
      if (i) out->append(", ");
      Emit(*core.group_by[i], &scope, out);
    }
  }
  if (core.having) {
    out->append(" HAVING ");
    Emit(*core.having, &scope, out);
  }
  if (alone && owner && !owner->order_by.empty()) {
    EmitOrderBy(owner->order_by, &scope, out);
  } else if (alone && hierarchical) {
    EmitHierarchyOrder(scope, out);
  }
  if (limited && !wrap_from) {
    out->append(" LIMIT ");
    AppendInteger(limit, out);
    if (wrap_core) out->append(" OFFSET 0");
  }
  if (wrap_core) out->append(")");
  return columns;
}

void Translator::EmitOrderBy(std::vector<sql::OrderItem>& items, const Scope* scope,
                             std::string* out) {
  out->append(" ORDER BY ");
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out->append(", ");
    sql::OrderItem& item = items[i];
    if (ContainsRownum(*item.expr)) Refuse("ROWNUM in ORDER BY");
    Emit(*item.expr, scope, out);
    if (item.descending) out->append(" DESC");
    // Oracle sorts NULL as the largest value.
    bool nulls_first = item.nulls == sql::OrderItem::kDefault ? item.descending
                                                              : item.nulls == sql::OrderItem::kFirst;
    out->append(nulls_first ? " NULLS FIRST" : " NULLS LAST");
  }
}

void Translator::EmitFrom(std::vector<TableRef>& from, Scope* scope, std::string* out) {
  for (size_t i = 0; i < from.size(); ++i) {
    if (i) out->append(", ");
    EmitTableRef(from[i], scope, out);
  }
}

void Translator::EmitTableRef(TableRef& ref, Scope* scope, std::string* out) {
  switch (ref.kind) {
    case TableRef::kTable: {
      if (EmitDictionaryView(ref, scope, out)) return;
      const TableInfo* table = RequireTable(ref.table);
      AppendQuotedName(table ? table->name : ref.table.text, out);
      Source s;
      s.table = table;
      s.alias = ref.alias.empty() ? UpperAscii(ref.table.text) : UpperAscii(ref.alias.text);
      if (!ref.alias.empty()) {
        out->append(" AS ");
        AppendQuotedName(ref.alias.text, out);
      }
      scope->sources.push_back(std::move(s));
      return;
    }
    case TableRef::kSubquery: {
      out->push_back('(');
      // An inline view sees the enclosing query's outer scopes, not its FROM siblings.
      Source s;
      s.is_derived = true;
      s.derived = EmitSelect(*ref.subquery, scope->parent, out);
      out->push_back(')');
      if (!ref.alias.empty()) {
        out->append(" AS ");
        AppendQuotedName(ref.alias.text, out);
        s.alias = UpperAscii(ref.alias.text);
      }
      scope->sources.push_back(std::move(s));
      return;
    }
    case TableRef::kJoin: {
      EmitTableRef(*ref.left, scope, out);
      switch (ref.join) {
        case sql::JoinKind::kInner: out->append(" JOIN "); break;
        case sql::JoinKind::kLeft: out->append(" LEFT JOIN "); break;
        case sql::JoinKind::kRight: Refuse("RIGHT OUTER JOIN");
        case sql::JoinKind::kFull: Refuse("FULL OUTER JOIN");
        case sql::JoinKind::kCross: out->append(" CROSS JOIN "); break;
        case sql::JoinKind::kNone: break;
      }
      EmitTableRef(*ref.right, scope, out);
      if (ref.on) {
        out->append(" ON ");
        Emit(*ref.on, scope, out);
      } else if (!ref.using_columns.empty()) {
        out->append(" USING (");
        for (size_t i = 0; i < ref.using_columns.size(); ++i) {
          if (i) out->append(", ");
          AppendQuotedName(ref.using_columns[i].text, out);
        }
        out->push_back(')');
      }
      return;
    }
  }
}

const TableInfo* Translator::RequireTable(const Name& name) {
  const TableInfo* table = catalog_.FindTable(UpperAscii(name.text));
  if (!table) {
    if (name.text.rfind("USER_", 0) == 0 || name.text.rfind("DBA_", 0) == 0 ||
        name.text.rfind("ALL_", 0) == 0 || name.text.rfind("V$", 0) == 0) {
      Refuse("the dictionary view " + name.text);
    }
    throw SqlError("ORA-00942: table or view does not exist: " + name.text, kNoSuchTable);
  }
  return table;
}

// ============================================================================ expressions

SqlType Translator::ResolveColumnType(const Expr& e, const Scope* scope) {
  const std::string_view column = e.parts.back().text;
  std::string_view qualifier;
  if (e.parts.size() >= 2) qualifier = e.parts[e.parts.size() - 2].text;
  for (const Scope* s = scope; s; s = s->parent) {
    for (const Source& src : s->sources) {
      if (!qualifier.empty() && !EqualsIgnoringCase(src.alias, qualifier)) continue;
      if (const ColumnInfo* c = src.Find(column)) return c->type;
    }
  }
  return SqlType::kUnknown;
}

SqlType Translator::EmitColumn(const Expr& e, const Scope* scope, std::string* out) {
  if (e.outer_join) Refuse("the (+) outer join");
  if (e.parts.size() == 1 && !e.parts[0].quoted) {
    const std::string_view w = e.parts[0].text;
    if (w == "ROWID") Refuse("ROWID");
    if (w == "USER" || w == "UID") Refuse(e.parts[0].text);
  }
  size_t first = e.parts.size() > 2 ? e.parts.size() - 2 : 0;  // a schema qualifier is dropped
  for (size_t i = first; i < e.parts.size(); ++i) {
    if (i > first) out->push_back('.');
    AppendQuotedName(e.parts[i].quoted ? e.parts[i].text : e.parts[i].text, out);
  }
  return ResolveColumnType(e, scope);
}

bool ContainsQuery(const Expr& e) {
  if (e.subquery) return true;
  for (const auto& a : e.args) {
    if (a && ContainsQuery(*a)) return true;
  }
  return false;
}

// The type of an expression without printing it where it stands. Queries are never printed
// twice (printing rewrites them), so an expression holding one has no known type here.
SqlType Translator::TypeOf(const Expr& e, const Scope* scope) {
  if (ContainsQuery(e)) return SqlType::kUnknown;
  std::string scratch;
  return Emit(e, scope, &scratch);
}

void Translator::EmitArgs(const Expr& e, size_t first, const Scope* scope, std::string* out,
                          std::vector<SqlType>* types) {
  for (size_t i = first; i < e.args.size(); ++i) {
    if (i > first) out->append(", ");
    SqlType t = Emit(*e.args[i], scope, out);
    if (types) types->push_back(t);
  }
}

// Emits an operand of arithmetic: numbers stay as they are, anything else is converted as
// Oracle converts text to a number (failing on invalid text).
void Translator::EmitNumberOperand(const Expr& e, const Scope* scope, std::string* out) {
  const size_t start = out->size();
  SqlType t = Emit(e, scope, out);
  if (t == SqlType::kNumber || t == SqlType::kNull) return;
  double v;
  if (e.kind == ExprKind::kString && LiteralNumber(e, &v)) {
    out->resize(start);
    AppendNumber(v, out);
    return;
  }
  out->insert(start, "ora_num(");
  out->push_back(')');
}

SqlType Translator::Emit(const Expr& e, const Scope* scope, std::string* out) {
  switch (e.kind) {
    case ExprKind::kNull:
      out->append("NULL");
      return SqlType::kNull;
    case ExprKind::kNumber: {
      // Keep integers exact; other literals pass as written (SQLite reads them as reals).
      const std::string& t = e.text;
      if (t.find_first_of(".eE") == std::string::npos && t.size() > 18) {
        out->append(t);
        out->append(".0");
      } else if (t.back() == '.') {
        out->append(t);
        out->push_back('0');
      } else {
        out->append(t);
      }
      return SqlType::kNumber;
    }
    case ExprKind::kString:
      AppendStringLiteral(e.text, out);
      return SqlType::kText;
    case ExprKind::kColumn:
      return EmitColumn(e, scope, out);
    case ExprKind::kStar:
      out->push_back('*');
      return SqlType::kUnknown;
    case ExprKind::kUnary: {
      if (e.text == "PRIOR") Refuse("PRIOR (hierarchical query)");
      if (e.text == "NOT") {
        out->append("NOT (");
        Emit(*e.args[0], scope, out);
        out->push_back(')');
        return SqlType::kNumber;
      }
      out->append(e.text == "-" ? "-(" : "+(");
      EmitNumberOperand(*e.args[0], scope, out);
      out->push_back(')');
      return SqlType::kNumber;
    }
    case ExprKind::kBinary:
      return EmitBinary(e, scope, out);
    case ExprKind::kFunction:
      return EmitFunction(e, scope, out);
    case ExprKind::kCase: {
      out->append("CASE");
      size_t i = 0;
      SqlType result = SqlType::kNull;
      if (e.has_operand) {
        out->push_back(' ');
        Emit(*e.args[0], scope, out);
        i = 1;
      }
      size_t pairs_end = e.args.size() - (e.has_else ? 1 : 0);
      for (; i + 1 < pairs_end + 1 && i < pairs_end; i += 2) {
        out->append(" WHEN ");
        Emit(*e.args[i], scope, out);
        out->append(" THEN ");
        SqlType t = Emit(*e.args[i + 1], scope, out);
        if (result == SqlType::kNull) result = t;
      }
      if (e.has_else) {
        out->append(" ELSE ");
        SqlType t = Emit(*e.args.back(), scope, out);
        if (result == SqlType::kNull) result = t;
      }
      out->append(" END");
      return result;
    }
    case ExprKind::kSubquery:
      return EmitSubquery(e, scope, out);
    case ExprKind::kExists: {
      if (e.negated) out->append("NOT ");
      out->append("EXISTS (");
      EmitSelect(*e.subquery, scope, out);
      out->push_back(')');
      return SqlType::kNumber;
    }
    case ExprKind::kInList: {
      const size_t mark = out->size();
      SqlType left = Emit(*e.args[0], scope, out);
      double v;
      if (left == SqlType::kText) {
        // Text compared with numbers is read as a number (Oracle's rule).
        for (size_t i = 1; i < e.args.size(); ++i) {
          if (e.args[i]->kind == ExprKind::kNumber ||
              (e.args[i]->kind == ExprKind::kUnary && LiteralNumber(*e.args[i], &v))) {
            out->insert(mark, "ora_num(");
            out->push_back(')');
            left = SqlType::kNumber;
            break;
          }
        }
      }
      out->append(e.negated ? " NOT IN (" : " IN (");
      for (size_t i = 1; i < e.args.size(); ++i) {
        if (i > 1) out->append(", ");
        // A number compared with numeric texts compares as numbers.
        if (left == SqlType::kNumber && e.args[i]->kind == ExprKind::kString &&
            LiteralNumber(*e.args[i], &v)) {
          AppendNumber(v, out);
        } else {
          Emit(*e.args[i], scope, out);
        }
      }
      out->push_back(')');
      return SqlType::kNumber;
    }
    case ExprKind::kInSubquery: {
      Emit(*e.args[0], scope, out);
      out->append(e.negated ? " NOT IN (" : " IN (");
      EmitSelect(*e.subquery, scope, out);
      out->push_back(')');
      return SqlType::kNumber;
    }
    case ExprKind::kBetween: {
      const size_t mark = out->size();
      SqlType t = Emit(*e.args[0], scope, out);
      double v;
      if (t == SqlType::kText && (e.args[1]->kind == ExprKind::kNumber ||
                                  e.args[2]->kind == ExprKind::kNumber)) {
        out->insert(mark, "ora_num(");
        out->push_back(')');
        t = SqlType::kNumber;
      }
      out->append(e.negated ? " NOT BETWEEN " : " BETWEEN ");
      for (int i = 1; i <= 2; ++i) {
        if (i == 2) out->append(" AND ");
        if (t == SqlType::kNumber && e.args[i]->kind == ExprKind::kString &&
            LiteralNumber(*e.args[i], &v)) {
          AppendNumber(v, out);
        } else {
          Emit(*e.args[i], scope, out);
        }
      }
      return SqlType::kNumber;
    }
    case ExprKind::kLike: {
      Emit(*e.args[0], scope, out);
      out->append(e.negated ? " NOT LIKE " : " LIKE ");
      Emit(*e.args[1], scope, out);
      if (e.args.size() > 2) {
        out->append(" ESCAPE ");
        Emit(*e.args[2], scope, out);
      }
      return SqlType::kNumber;
    }
    case ExprKind::kIsNull: {
      Emit(*e.args[0], scope, out);
      out->append(e.negated ? " IS NOT NULL" : " IS NULL");
      return SqlType::kNumber;
    }
    case ExprKind::kCast: {
      const sql::TypeName& t = e.type;
      SqlType target = TypeOfDeclared(t);
      if (target == SqlType::kNumber) {
        out->append("ora_number_in(");
        Emit(*e.args[0], scope, out);
        out->append(", ");
        AppendInteger(t.name == "INTEGER" || t.name == "INT" || t.name == "SMALLINT"
                          ? 0
                          : (t.precision >= 0 && t.scale < 0 ? 0 : t.scale),
                      out);
        out->append(", ");
        AppendInteger(t.precision, out);
        out->push_back(')');
        return SqlType::kNumber;
      }
      if (target == SqlType::kDate) {
        out->append("ora_date_in(");
        Emit(*e.args[0], scope, out);
        out->push_back(')');
        return SqlType::kDate;
      }
      if (target == SqlType::kText) {
        out->append("ora_text_in(");
        Emit(*e.args[0], scope, out);
        out->append(", ");
        AppendInteger(t.length, out);
        out->push_back(')');
        return SqlType::kText;
      }
      Refuse("CAST to " + t.name);
    }
    case ExprKind::kRownum:
      if (!scope || !scope->rownum_in_select_list) Refuse("ROWNUM in this position");
      out->append("row_number() OVER ()");
      return SqlType::kNumber;
    case ExprKind::kSysdate:
      out->append("ora_sysdate()");
      return SqlType::kDate;
    case ExprKind::kLevel:
      if (!scope || scope->level_sql.empty()) {
        throw SqlError("ORA-01788: CONNECT BY clause required in this query block (LEVEL)");
      }
      out->append(scope->level_sql);
      return SqlType::kNumber;
    case ExprKind::kRow: {
      out->push_back('(');
      EmitArgs(e, 0, scope, out);
      out->push_back(')');
      return SqlType::kUnknown;
    }
  }
  return SqlType::kUnknown;
}

SqlType Translator::EmitBinary(const Expr& e, const Scope* scope, std::string* out) {
  const std::string_view op = e.text;
  if (op == "AND" || op == "OR") {
    out->push_back('(');
    Emit(*e.args[0], scope, out);
    out->append(op == "AND" ? " AND " : " OR ");
    Emit(*e.args[1], scope, out);
    out->push_back(')');
    return SqlType::kNumber;
  }
  if (op == "||") {
    // Flatten a || b || c into one call.
    std::vector<const Expr*> parts;
    std::vector<const Expr*> stack{&e};
    while (!stack.empty()) {
      const Expr* p = stack.back();
      stack.pop_back();
      if (p->kind == ExprKind::kBinary && p->text == "||") {
        stack.push_back(p->args[1].get());
        stack.push_back(p->args[0].get());
      } else {
        parts.push_back(p);
      }
    }
    out->append("ora_concat(");
    for (size_t i = 0; i < parts.size(); ++i) {
      if (i) out->append(", ");
      Emit(*parts[i], scope, out);
    }
    out->push_back(')');
    return SqlType::kText;
  }
  if (op == ">" && EmitContainsCondition(e, scope, out)) return SqlType::kNumber;
  if (op == "=" || op == "<>" || op == "<" || op == "<=" || op == ">" || op == ">=") {
    // Printed in place; rebuilt only in the rare case that an operand must be converted.
    out->push_back('(');
    const size_t l0 = out->size();
    SqlType lt = Emit(*e.args[0], scope, out);
    const size_t l1 = out->size();
    out->push_back(' ');
    out->append(op);
    out->push_back(' ');
    const size_t r0 = out->size();
    SqlType rt = Emit(*e.args[1], scope, out);
    // A number compared with text compares as numbers, converting the text (Oracle's rule).
    const bool convert_right = lt == SqlType::kNumber && rt == SqlType::kText;
    const bool convert_left = rt == SqlType::kNumber && lt == SqlType::kText;
    if (convert_left || convert_right) {
      std::string left = out->substr(l0, l1 - l0);
      std::string right = out->substr(r0);
      const Expr& text_side = convert_right ? *e.args[1] : *e.args[0];
      std::string& text_sql = convert_right ? right : left;
      double v;
      if (text_side.kind == ExprKind::kString && LiteralNumber(text_side, &v)) {
        text_sql.clear();
        AppendNumber(v, &text_sql);
      } else {
        text_sql = "ora_num(" + text_sql + ")";
      }
      out->resize(l0);
      out->append(left);
      out->push_back(' ');
      out->append(op);
      out->push_back(' ');
      out->append(right);
    }
    out->push_back(')');
    return SqlType::kNumber;
  }
  if (op == "+" || op == "-") {
    const size_t start = out->size();
    out->push_back('(');
    const size_t l0 = out->size();
    SqlType lt = Emit(*e.args[0], scope, out);
    const size_t l1 = out->size();
    out->append(op == "+" ? " + " : " - ");
    const size_t r0 = out->size();
    SqlType rt = Emit(*e.args[1], scope, out);
    const bool numeric_l = lt == SqlType::kNumber || lt == SqlType::kNull;
    const bool numeric_r = rt == SqlType::kNumber || rt == SqlType::kNull;
    if (numeric_l && numeric_r) {
      out->push_back(')');
      return SqlType::kNumber;
    }
    // Dates, text or values of unknown type: rebuilt around the function that decides.
    std::string left = out->substr(l0, l1 - l0);
    std::string right = out->substr(r0);
    out->resize(start);
    auto call = [&](const char* fn, const std::string& a, const std::string& b) {
      out->append(fn);
      out->push_back('(');
      out->append(a);
      out->append(", ");
      out->append(b);
      out->push_back(')');
    };
    if (lt == SqlType::kDate && numeric_r) {
      call(op == "+" ? "ora_date_add" : "ora_date_sub", left, right);
      return SqlType::kDate;
    }
    if (op == "+" && rt == SqlType::kDate && numeric_l) {
      call("ora_date_add", right, left);
      return SqlType::kDate;
    }
    if (op == "-" && lt == SqlType::kDate && rt == SqlType::kDate) {
      call("ora_date_diff", left, right);
      return SqlType::kNumber;
    }
    if (lt == SqlType::kDate || rt == SqlType::kDate || lt == SqlType::kUnknown ||
        rt == SqlType::kUnknown) {
      // Decided when the values are known: a date and a number, two dates, or two numbers.
      call(op == "+" ? "ora_add" : "ora_sub", left, right);
      return lt == SqlType::kDate && rt != SqlType::kDate ? SqlType::kDate : SqlType::kUnknown;
    }
    // Text operands are read as numbers, failing on invalid text.
    out->push_back('(');
    out->append(numeric_l ? left : "ora_num(" + left + ")");
    out->append(op == "+" ? " + " : " - ");
    out->append(numeric_r ? right : "ora_num(" + right + ")");
    out->push_back(')');
    return SqlType::kNumber;
  }
  if (op == "*") {
    out->push_back('(');
    EmitNumberOperand(*e.args[0], scope, out);
    out->append(" * ");
    EmitNumberOperand(*e.args[1], scope, out);
    out->push_back(')');
    return SqlType::kNumber;
  }
  if (op == "/") {
    out->append("ora_div(");
    EmitNumberOperand(*e.args[0], scope, out);
    out->append(", ");
    EmitNumberOperand(*e.args[1], scope, out);
    out->push_back(')');
    return SqlType::kNumber;
  }
  throw SqlError("ORA-00920: invalid relational operator " + e.text);
}

SqlType Translator::EmitSubquery(const Expr& e, const Scope* scope, std::string* out) {
  Select& select = *e.subquery;
  // A scalar subquery must give at most one row. The check is left out where one row is
  // certain: an aggregate without GROUP BY, or a ROWNUM limit of one.
  bool single = false;
  bool checkable = select.cores.size() == 1 && !select.cores[0].distinct &&
                   select.cores[0].items.size() == 1;
  if (select.cores.size() == 1) {
    SelectCore& core = select.cores[0];
    bool aggregate = core.group_by.empty() && !core.items.empty() &&
                     ContainsAggregate(*core.items[0].expr) && !ContainsWindow(*core.items[0].expr);
    int64_t limit = 0;
    if (ExtractRownumLimit(&core.where, &limit)) {
      if (limit <= 1) {
        single = true;
        // Put the limit back as a plain LIMIT through a fresh condition.
      }
      // Re-add the limit: the extraction replaced the condition.
      auto rn = std::make_unique<Expr>(ExprKind::kRownum);
      auto n = std::make_unique<Expr>(ExprKind::kNumber);
      n->text = std::to_string(limit);
      auto le = std::make_unique<Expr>(ExprKind::kBinary);
      le->text = "<=";
      le->args.push_back(std::move(rn));
      le->args.push_back(std::move(n));
      if (core.where) {
        auto both = std::make_unique<Expr>(ExprKind::kBinary);
        both->text = "AND";
        both->args.push_back(std::move(core.where));
        both->args.push_back(std::move(le));
        core.where = std::move(both);
      } else {
        core.where = std::move(le);
      }
    }
    if (aggregate) single = true;
  }
  if (single || !checkable || !select.order_by.empty()) {
    out->push_back('(');
    auto cols = EmitSelect(select, scope, out);
    out->push_back(')');
    return cols.empty() ? SqlType::kUnknown : cols[0].type;
  }
  // (SELECT CASE WHEN COUNT(*) OVER () > 1 THEN <error> ELSE <value> END FROM ... LIMIT 1)
  auto value = std::move(select.cores[0].items[0].expr);
  auto check = std::make_unique<Expr>(ExprKind::kCase);
  auto count = std::make_unique<Expr>(ExprKind::kFunction);
  count->text = "COUNT";
  count->args.push_back(std::make_unique<Expr>(ExprKind::kStar));
  count->over = std::make_unique<sql::Window>();
  auto one = std::make_unique<Expr>(ExprKind::kNumber);
  one->text = "1";
  auto gt = std::make_unique<Expr>(ExprKind::kBinary);
  gt->text = ">";
  gt->args.push_back(std::move(count));
  gt->args.push_back(std::move(one));
  auto raise = std::make_unique<Expr>(ExprKind::kFunction);
  raise->text = "ORA$TOO_MANY_ROWS";
  check->args.push_back(std::move(gt));
  check->args.push_back(std::move(raise));
  check->args.push_back(std::move(value));
  check->has_else = true;
  select.cores[0].items[0].expr = std::move(check);
  out->push_back('(');
  auto cols = EmitSelect(select, scope, out);
  out->append(" LIMIT 1)");
  return cols.empty() ? SqlType::kUnknown : cols[0].type;
}

void Translator::EmitWindow(const sql::Window& w, const Scope* scope, std::string* out) {
  out->append(" OVER (");
  if (!w.partition_by.empty()) {
    out->append("PARTITION BY ");
    for (size_t i = 0; i < w.partition_by.size(); ++i) {
      if (i) out->append(", ");
      Emit(*w.partition_by[i], scope, out);
    }
  }
  if (!w.order_by.empty()) {
    if (!w.partition_by.empty()) out->push_back(' ');
    out->append("ORDER BY ");
    for (size_t i = 0; i < w.order_by.size(); ++i) {
      if (i) out->append(", ");
      const sql::OrderItem& item = w.order_by[i];
      Emit(*item.expr, scope, out);
      if (item.descending) out->append(" DESC");
      bool nulls_first = item.nulls == sql::OrderItem::kDefault ? item.descending
                                                                : item.nulls == sql::OrderItem::kFirst;
      out->append(nulls_first ? " NULLS FIRST" : " NULLS LAST");
    }
  }
  out->push_back(')');
}

SqlType Translator::EmitFunction(const Expr& e, const Scope* scope, std::string* out) {
  const std::string_view f = e.text;  // compared often: a view checks lengths first
  const size_t n = e.args.size();
  auto arity = [&](size_t lo, size_t hi) {
    if (n < lo || n > hi) throw SqlError("ORA-00909: invalid number of arguments for " + e.text);
  };
  auto call = [&](const char* name, SqlType result) {
    out->append(name);
    out->push_back('(');
    EmitArgs(e, 0, scope, out);
    out->push_back(')');
    return result;
  };

  if (f == "ORA$TOO_MANY_ROWS") {
    out->append("ora_raise('ORA-01427: single-row subquery returns more than one row')");
    return SqlType::kNull;
  }
  if (e.over) {
    static const std::unordered_map<std::string, const char*> kWindow = {
        {"ROW_NUMBER", "row_number"}, {"RANK", "rank"},   {"DENSE_RANK", "dense_rank"},
        {"FIRST_VALUE", "first_value"}, {"LAST_VALUE", "last_value"}, {"LAG", "lag"},
        {"LEAD", "lead"}, {"COUNT", "count"}, {"SUM", "sum"}, {"AVG", "avg"}, {"MIN", "min"},
        {"MAX", "max"}};
    auto it = kWindow.find(e.text);
    if (it == kWindow.end()) Refuse("the analytic function " + e.text);
    out->append(it->second);
    out->push_back('(');
    if (e.distinct) Refuse("DISTINCT in an analytic function");
    std::vector<SqlType> types;
    EmitArgs(e, 0, scope, out, &types);
    out->push_back(')');
    EmitWindow(*e.over, scope, out);
    if (f == "FIRST_VALUE" || f == "LAST_VALUE" || f == "LAG" || f == "LEAD" || f == "MIN" ||
        f == "MAX") {
      return types.empty() ? SqlType::kUnknown : types[0];
    }
    return SqlType::kNumber;
  }
  if (IsAggregateName(f)) {
    arity(1, 1);
    if (f == "STDDEV" || f == "VARIANCE") Refuse(e.text);
    out->append(f == "COUNT" ? "count" : f == "SUM" ? "sum" : f == "AVG" ? "avg" : f == "MIN" ? "min" : "max");
    out->push_back('(');
    if (e.distinct) out->append("DISTINCT ");
    SqlType t;
    if (e.args[0]->kind == ExprKind::kStar) {
      if (f != "COUNT") throw SqlError("ORA-00936: missing expression");
      t = SqlType::kNumber;
    } else {
      t = Emit(*e.args[0], scope, out);
    }
    out->push_back(')');
    return (f == "MIN" || f == "MAX") ? t : SqlType::kNumber;
  }
  for (const auto& a : e.args) {
    if (a->kind == ExprKind::kStar) throw SqlError("ORA-00936: missing expression in " + e.text);
  }

  if (f == "NVL") {
    arity(2, 2);
    out->append("coalesce(");
    std::vector<SqlType> types;
    EmitArgs(e, 0, scope, out, &types);
    out->push_back(')');
    return types[0] == SqlType::kNull ? types[1] : types[0];
  }
  if (f == "COALESCE") {
    if (n < 1) arity(1, 1);
    out->append(n == 1 ? "coalesce(" : "coalesce(");
    std::vector<SqlType> types;
    EmitArgs(e, 0, scope, out, &types);
    if (n == 1) out->append(", NULL");
    out->push_back(')');
    for (SqlType t : types) {
      if (t != SqlType::kNull) return t;
    }
    return SqlType::kNull;
  }
  if (f == "NVL2") {
    arity(3, 3);
    out->append("CASE WHEN ");
    Emit(*e.args[0], scope, out);
    out->append(" IS NOT NULL THEN ");
    SqlType t = Emit(*e.args[1], scope, out);
    out->append(" ELSE ");
    SqlType t2 = Emit(*e.args[2], scope, out);
    out->append(" END");
    return t == SqlType::kNull ? t2 : t;
  }
  if (f == "NULLIF") {
    arity(2, 2);
    return call("nullif", TypeOf(*e.args[0], scope));
  }
  if (f == "DECODE") {
    if (n < 3) arity(3, 3);
    // The first search value decides how values compare: as numbers when it is a number,
    // otherwise as text. NULL matches NULL.
    SqlType first_search = TypeOf(*e.args[1], scope);
    bool numeric = first_search == SqlType::kNumber;
    const char* key = numeric ? "ora_decode_num(" : "ora_decode_text(";
    out->append("CASE ");
    out->append(key);
    Emit(*e.args[0], scope, out);
    out->push_back(')');
    SqlType result = SqlType::kNull;
    size_t i = 1;
    for (; i + 1 < n; i += 2) {
      out->append(" WHEN ");
      const Expr& s = *e.args[i];
      double v;
      if (s.kind == ExprKind::kNull) {
        out->append("X'00'");
      } else if (numeric && LiteralNumber(s, &v)) {
        AppendNumber(v, out);
      } else if (!numeric && s.kind == ExprKind::kString) {
        AppendStringLiteral(s.text, out);
      } else {
        out->append(key);
        Emit(s, scope, out);
        out->push_back(')');
      }
      out->append(" THEN ");
      SqlType t = Emit(*e.args[i + 1], scope, out);
      if (result == SqlType::kNull) result = t;
    }
    if (i < n) {
      out->append(" ELSE ");
      SqlType t = Emit(*e.args[i], scope, out);
      if (result == SqlType::kNull) result = t;
    }
    out->append(" END");
    return result;
  }
  if (f == "TO_CHAR") {
    arity(1, 2);
    std::string value;
    SqlType t = Emit(*e.args[0], scope, &value);
    if (n == 1) {
      if (t == SqlType::kText || t == SqlType::kDate) {
        out->append(value);
      } else {
        out->append("ora_to_char(");
        out->append(value);
        out->push_back(')');
      }
      return SqlType::kText;
    }
    out->append(t == SqlType::kDate     ? "ora_to_char_date("
                : t == SqlType::kNumber ? "ora_to_char_number("
                                        : "ora_to_char(");
    out->append(value);
    out->append(", ");
    Emit(*e.args[1], scope, out);
    out->push_back(')');
    return SqlType::kText;
  }
  if (f == "TO_DATE") {
    arity(1, 2);
    if (n == 1) {
      out->append("ora_date_in(");
      Emit(*e.args[0], scope, out);
      out->push_back(')');
      return SqlType::kDate;
    }
    return call("ora_to_date", SqlType::kDate);
  }
  if (f == "TO_NUMBER") {
    arity(1, 1);
    return call("ora_num", SqlType::kNumber);
  }
  if (f == "TO_CLOB" || f == "TO_NCHAR" || f == "TO_NCLOB") {
    arity(1, 1);
    return call("ora_to_char", SqlType::kText);
  }
  if (f == "SUBSTR" || f == "SUBSTRB") {
    arity(2, 3);
    return call("ora_substr", SqlType::kText);
  }
  if (f == "INSTR") {
    arity(2, 4);
    return call("ora_instr", SqlType::kNumber);
  }
  if (f == "LENGTH" || f == "LENGTHB") {
    arity(1, 1);
    return call(f == "LENGTH" ? "ora_length" : "ora_lengthb", SqlType::kNumber);
  }
  if (f == "TRIM") {
    arity(1, 3);
    return call("ora_trim", SqlType::kText);
  }
  if (f == "LTRIM" || f == "RTRIM") {
    arity(1, 2);
    return call(f == "LTRIM" ? "ora_ltrim" : "ora_rtrim", SqlType::kText);
  }
  if (f == "LPAD" || f == "RPAD") {
    arity(2, 3);
    return call(f == "LPAD" ? "ora_lpad" : "ora_rpad", SqlType::kText);
  }
  if (f == "UPPER" || f == "LOWER") {
    arity(1, 1);
    return call(f == "UPPER" ? "ora_upper" : "ora_lower", SqlType::kText);
  }
  if (f == "INITCAP") {
    arity(1, 1);
    return call("ora_initcap", SqlType::kText);
  }
  if (f == "REPLACE") {
    arity(2, 3);
    return call("ora_replace", SqlType::kText);
  }
  if (f == "TRANSLATE") {
    arity(3, 3);
    return call("ora_translate", SqlType::kText);
  }
  if (f == "CONCAT") {
    arity(2, 2);
    return call("ora_concat", SqlType::kText);
  }
  if (f == "CHR") {
    arity(1, 1);
    return call("ora_chr", SqlType::kText);
  }
  if (f == "ASCII") {
    arity(1, 1);
    return call("unicode", SqlType::kNumber);
  }
  if (f == "SIGN" || f == "ABS" || f == "FLOOR" || f == "CEIL" || f == "SQRT" || f == "EXP" ||
      f == "LN" || f == "POWER" || f == "MOD") {
    if (f == "POWER" || f == "MOD") {
      arity(2, 2);
    } else {
      arity(1, 1);
    }
    std::string name = "ora_" + UpperAscii(e.text);
    for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    out->append(name);
    out->push_back('(');
    for (size_t i = 0; i < n; ++i) {
      if (i) out->append(", ");
      EmitNumberOperand(*e.args[i], scope, out);
    }
    out->push_back(')');
    return SqlType::kNumber;
  }
  if (f == "ROUND" || f == "TRUNC") {
    arity(1, 2);
    std::string value;
    SqlType t = Emit(*e.args[0], scope, &value);
    const char* name;
    SqlType result;
    if (t == SqlType::kDate) {
      name = f == "ROUND" ? "ora_round_date(" : "ora_trunc_date(";
      result = SqlType::kDate;
    } else if (t == SqlType::kNumber || t == SqlType::kNull) {
      name = f == "ROUND" ? "ora_round(" : "ora_trunc(";
      result = SqlType::kNumber;
    } else {
      name = f == "ROUND" ? "ora_round_any(" : "ora_trunc_any(";
      result = SqlType::kUnknown;
    }
    out->append(name);
    out->append(value);
    if (n == 2) {
      out->append(", ");
      Emit(*e.args[1], scope, out);
    }
    out->push_back(')');
    return result;
  }
  if (f == "ADD_MONTHS") {
    arity(2, 2);
    return call("ora_add_months", SqlType::kDate);
  }
  if (f == "LAST_DAY") {
    arity(1, 1);
    return call("ora_last_day", SqlType::kDate);
  }
  if (f == "MONTHS_BETWEEN") {
    arity(2, 2);
    return call("ora_months_between", SqlType::kNumber);
  }
  if (f == "NEXT_DAY") Refuse("NEXT_DAY");
  if (f == "GREATEST" || f == "LEAST") {
    if (n < 1) arity(1, 1);
    std::vector<SqlType> types;
    out->append(f == "GREATEST" ? "ora_greatest(" : "ora_least(");
    EmitArgs(e, 0, scope, out, &types);
    out->push_back(')');
    return types[0];
  }
  if (f == "DBMS_RANDOM.VALUE") {
    arity(0, 2);
    if (n == 1) arity(0, 0);
    return call("ora_random", SqlType::kNumber);
  }
  if (f == "SYS_GUID") {
    arity(0, 0);
    return call("ora_sys_guid", SqlType::kText);
  }
  if (f == "EMPTY_BLOB") {
    arity(0, 0);
    out->append("X''");
    return SqlType::kBlob;
  }
  if (f == "EMPTY_CLOB") {
    arity(0, 0);
    out->append("NULL");
    return SqlType::kText;
  }
  if (f == "CONTAINS" || f == "EXTRACTVALUE" || f == "EXTRACT") {
    return EmitTextFunction(e, scope, out);
  }
  if (f == "EXISTSNODE" || f == "XMLTYPE" || f == "SCORE") Refuse(e.text);
  if (f.find('.') != std::string_view::npos) Refuse("the package function " + e.text);
  throw SqlError("ORA-00904: \"" + e.text + "\": invalid identifier");
}

// ============================================================================ DML

// How a value is converted on its way into a column of the declared type.
void Translator::ConvertFor(const ColumnInfo* column, SqlType value_type, std::string* value_sql,
                            const Expr* literal) {
  if (!column || value_type == SqlType::kNull) return;
  switch (column->type) {
    case SqlType::kDate:
      if (value_type != SqlType::kDate) *value_sql = "ora_date_in(" + *value_sql + ")";
      return;
    case SqlType::kNumber: {
      if (value_type == SqlType::kNumber) {
        // Numbers pass unchanged where the column neither rounds nor limits them.
        bool integral_literal = literal && literal->kind == ExprKind::kNumber &&
                                literal->text.find_first_of(".eE") == std::string::npos;
        if (column->precision < 0 && (column->scale < 0 || integral_literal)) return;
      }
      std::string s = "ora_number_in(" + *value_sql + ", ";
      AppendInteger(column->scale, &s);
      s.append(", ");
      AppendInteger(column->precision, &s);
      s.push_back(')');
      *value_sql = std::move(s);
      return;
    }
    case SqlType::kText:
      if (value_type == SqlType::kText || value_type == SqlType::kDate) return;
      *value_sql = "ora_text_in(" + *value_sql + ", -1)";
      return;
    default:
      return;
  }
}

void Translator::EmitValueFor(const ColumnInfo* column, const Expr& value, const Scope* scope,
                              std::string* out) {
  std::string v;
  SqlType t = Emit(value, scope, &v);
  ConvertFor(column, t, &v, &value);
  out->append(v);
}

Translation Translator::Insert(Statement& stmt) {
  const TableInfo* table = RequireTable(stmt.table);
  Translation tr{StatementKind::kInsert, {}, false};
  std::string out = "INSERT INTO ";
  AppendQuotedName(table->name, &out);
  std::vector<const ColumnInfo*> targets;
  if (stmt.columns.empty()) {
    for (const ColumnInfo& c : table->columns) targets.push_back(&c);
  } else {
    for (const Name& n : stmt.columns) {
      const ColumnInfo* c = table->Find(UpperAscii(n.text));
      if (!c && !table->columns.empty()) {
        throw SqlError("ORA-00904: \"" + n.text + "\": invalid identifier");
      }
      targets.push_back(c);
    }
  }
  out.append(" (");
  if (stmt.columns.empty()) {
    for (size_t i = 0; i < table->columns.size(); ++i) {
      if (i) out.append(", ");
      AppendQuotedName(table->columns[i].name, &out);
    }
  } else {
    for (size_t i = 0; i < stmt.columns.size(); ++i) {
      if (i) out.append(", ");
      AppendQuotedName(targets[i] ? targets[i]->name : UpperAscii(stmt.columns[i].text), &out);
    }
  }
  out.append(")");
  Scope scope;
  if (!stmt.select) {
    if (stmt.values.size() != targets.size()) {
      throw SqlError(stmt.values.size() < targets.size() ? "ORA-00947: not enough values"
                                                         : "ORA-00913: too many values");
    }
    out.append(" VALUES (");
    for (size_t i = 0; i < stmt.values.size(); ++i) {
      if (i) out.append(", ");
      EmitValueFor(targets[i], *stmt.values[i], &scope, &out);
    }
    out.push_back(')');
  } else {
    // INSERT ... SELECT: the query's columns get plain names so that each can be converted
    // for its target column.
    std::vector<std::string> names;
    for (size_t i = 0; i < targets.size(); ++i) names.push_back("C" + std::to_string(i + 1));
    bool has_star = false;
    for (const auto& core : stmt.select->cores) {
      for (const auto& item : core.items) has_star = has_star || item.expr->kind == ExprKind::kStar;
    }
    std::string inner;
    auto cols = EmitSelect(*stmt.select, nullptr, &inner, has_star ? nullptr : &names);
    if (!has_star && cols.size() != targets.size()) {
      throw SqlError(cols.size() < targets.size() ? "ORA-00947: not enough values"
                                                  : "ORA-00913: too many values");
    }
    if (has_star) {
      out.push_back(' ');
      out.append(inner);
    } else {
      out.append(" SELECT ");
      for (size_t i = 0; i < targets.size(); ++i) {
        if (i) out.append(", ");
        std::string v;
        AppendQuotedName(names[i], &v);
        ConvertFor(targets[i], cols[i].type, &v, nullptr);
        out.append(v);
      }
      out.append(" FROM (");
      out.append(inner);
      out.push_back(')');
    }
  }
  tr.statements.push_back(std::move(out));
  return tr;
}

Translation Translator::Update(Statement& stmt) {
  const TableInfo* table = RequireTable(stmt.table);
  Translation tr{StatementKind::kUpdate, {}, false};
  std::string out = "UPDATE ";
  AppendQuotedName(table->name, &out);
  Scope scope;
  Source s;
  s.table = table;
  s.alias = stmt.alias.empty() ? table->name : UpperAscii(stmt.alias.text);
  scope.sources.push_back(s);
  if (!stmt.alias.empty()) {
    out.append(" AS ");
    AppendQuotedName(stmt.alias.text, &out);
  }
  out.append(" SET ");
  for (size_t i = 0; i < stmt.assignments.size(); ++i) {
    if (i) out.append(", ");
    sql::Assignment& a = stmt.assignments[i];
    std::vector<const ColumnInfo*> targets;
    for (const Name& n : a.columns) {
      const ColumnInfo* c = table->Find(UpperAscii(n.text));
      if (!c && !table->columns.empty()) {
        throw SqlError("ORA-00904: \"" + n.text + "\": invalid identifier");
      }
      targets.push_back(c);
    }
    if (a.columns.size() == 1) {
      AppendQuotedName(targets[0] ? targets[0]->name : UpperAscii(a.columns[0].text), &out);
      out.append(" = ");
      EmitValueFor(targets[0], *a.value, &scope, &out);
    } else {
      out.push_back('(');
      for (size_t c = 0; c < a.columns.size(); ++c) {
        if (c) out.append(", ");
        AppendQuotedName(targets[c] ? targets[c]->name : UpperAscii(a.columns[c].text), &out);
      }
      out.append(") = (");
      // (a, b) = (SELECT x, y ...): each value converted for its column.
      std::vector<std::string> names;
      for (size_t c = 0; c < a.columns.size(); ++c) names.push_back("C" + std::to_string(c + 1));
      std::string inner;
      auto cols = EmitSelect(*a.value->subquery, &scope, &inner, &names);
      if (cols.size() != a.columns.size()) {
        throw SqlError(cols.size() < a.columns.size() ? "ORA-00947: not enough values"
                                                      : "ORA-00913: too many values");
      }
      out.append("SELECT ");
      for (size_t c = 0; c < a.columns.size(); ++c) {
        if (c) out.append(", ");
        std::string v;
        AppendQuotedName(names[c], &v);
        ConvertFor(targets[c], cols[c].type, &v, nullptr);
        out.append(v);
      }
      out.append(" FROM (");
      out.append(inner);
      out.append("))");
    }
  }
  if (stmt.where) {
    if (ContainsRownum(*stmt.where)) Refuse("ROWNUM in UPDATE");
    out.append(" WHERE ");
    Emit(*stmt.where, &scope, &out);
  }
  tr.statements.push_back(std::move(out));
  return tr;
}

Translation Translator::Delete(Statement& stmt) {
  const TableInfo* table = RequireTable(stmt.table);
  Translation tr{StatementKind::kDelete, {}, false};
  std::string out = "DELETE FROM ";
  AppendQuotedName(table->name, &out);
  Scope scope;
  Source s;
  s.table = table;
  s.alias = stmt.alias.empty() ? table->name : UpperAscii(stmt.alias.text);
  scope.sources.push_back(s);
  if (!stmt.alias.empty()) {
    out.append(" AS ");
    AppendQuotedName(stmt.alias.text, &out);
  }
  if (stmt.where) {
    if (ContainsRownum(*stmt.where)) Refuse("ROWNUM in DELETE");
    out.append(" WHERE ");
    Emit(*stmt.where, &scope, &out);
  }
  tr.statements.push_back(std::move(out));
  return tr;
}

// ============================================================================ DDL

std::string NameOf(const Name& n) { return n.quoted ? n.text : UpperAscii(n.text); }

std::string SqlText(const std::string& s) {
  std::string out;
  AppendStringLiteral(s, &out);
  return out;
}
std::string SqlIntOrNull(int v) { return v < 0 ? "NULL" : std::to_string(v); }

Translation Translator::CreateTable(Statement& stmt) {
  Translation tr{StatementKind::kCreateTable, {}, true};
  const std::string table = NameOf(stmt.table);
  if (catalog_.FindTable(UpperAscii(table))) {
    throw SqlError("ORA-00955: name is already used by an existing object: " + table);
  }
  std::string out = "CREATE TABLE ";
  AppendQuotedName(table, &out);
  out.append(" (");
  Scope scope;
  int constraint_number = 0;
  auto constraint_name = [&](const Name& given) {
    if (!given.empty()) return NameOf(given);
    // Oracle names unnamed constraints SYS_C<n>; the table name keeps them unique here.
    return "SYS_C_" + table + "_" + std::to_string(++constraint_number);
  };
  std::vector<std::string> metadata;
  metadata.push_back("INSERT INTO KORVALIS_TABLES (TABLE_NAME, TABLE_TYPE) VALUES (" +
                     SqlText(table) + ", 'TABLE')");
  struct Key {
    std::string name;
    char type;
    std::vector<std::string> columns;
    std::string r_table;
    std::vector<std::string> r_columns;
    bool cascade = false;
    std::string check;
  };
  std::vector<Key> keys;
  for (size_t i = 0; i < stmt.column_defs.size(); ++i) {
    sql::ColumnDef& col = stmt.column_defs[i];
    const std::string name = NameOf(col.name);
    for (size_t j = 0; j < i; ++j) {
      if (NameOf(stmt.column_defs[j].name) == name) {
        throw SqlError("ORA-00957: duplicate column name " + name);
      }
    }
    if (i) out.append(", ");
    AppendQuotedName(name, &out);
    SqlType type = TypeOfDeclared(col.type);
    const std::string& tn = col.type.name;
    out.append(type == SqlType::kNumber ? " NUMERIC"
               : type == SqlType::kBlob ? " BLOB"
                                        : " TEXT");
    if (col.not_null) out.append(" NOT NULL");
    if (col.default_value) {
      std::string v;
      SqlType vt = Emit(*col.default_value, &scope, &v);
      ColumnInfo info{name, type, col.type.scale, col.type.precision};
      ConvertFor(&info, vt, &v, col.default_value.get());
      out.append(" DEFAULT (");
      out.append(v);
      out.push_back(')');
    }
    if (col.generated) {
      // Computed from the other columns of the row, as Oracle's virtual columns are.
      std::string v;
      Scope row_scope;
      Source s;
      for (const auto& cd : stmt.column_defs) {
        s.derived.push_back(ColumnInfo{NameOf(cd.name), TypeOfDeclared(cd.type), cd.type.scale});
      }
      row_scope.sources.push_back(s);
      Emit(*col.generated, &row_scope, &v);
      out.append(" GENERATED ALWAYS AS (");
      out.append(v);
      out.append(") VIRTUAL");
    }
    if (col.check) {
      std::string v;
      Scope check_scope;
      Source s;
      TableInfo self;  // the new table's columns, for typing the condition
      for (const auto& cd : stmt.column_defs) {
        self.columns.push_back(ColumnInfo{NameOf(cd.name), TypeOfDeclared(cd.type), cd.type.scale});
      }
      s.derived = self.columns;
      check_scope.sources.push_back(s);
      Emit(*col.check, &check_scope, &v);
      // Kept as a table constraint, so that the dictionary lists it like any other.
      keys.push_back({constraint_name(Name{}), 'C', {name}, "", {}, false, v});
    }
    if (col.primary_key) keys.push_back({constraint_name(col.constraint_name), 'P', {name}, "", {}, false, ""});
    if (col.unique) keys.push_back({constraint_name(col.primary_key ? Name{} : col.constraint_name), 'U', {name}, "", {}, false, ""});
    if (!col.references_table.empty()) {
      std::vector<std::string> rc;
      for (const Name& n : col.references_columns) rc.push_back(NameOf(n));
      keys.push_back({constraint_name(Name{}), 'R', {name}, NameOf(col.references_table), rc, false, ""});
    }
    // Oracle's dictionary: type name, byte length, precision, scale.
    std::string data_type = tn;
    int length = col.type.length, precision = col.type.precision, scale = col.type.scale;
    int char_length = 0;
    if (tn == "INTEGER" || tn == "INT" || tn == "SMALLINT") {
      data_type = "NUMBER";
      precision = -1;
      scale = 0;
    } else if (tn == "DECIMAL" || tn == "NUMERIC") {
      data_type = "NUMBER";
      if (precision >= 0 && scale < 0) scale = 0;
    } else if (tn == "NUMBER" && precision >= 0 && scale < 0) {
      scale = 0;
    }
    if (type == SqlType::kNumber) {
      length = 22;
    } else if (type == SqlType::kDate) {
      length = 7;
    } else if (tn == "BLOB" || tn == "CLOB" || tn == "NCLOB") {
      length = 4000;
    } else if (tn == "VARCHAR2" || tn == "CHAR" || tn == "NCHAR" || tn == "NVARCHAR2" ||
               tn == "RAW") {
      if (length < 0) {
        if (tn == "VARCHAR2" || tn == "NVARCHAR2" || tn == "RAW") {
          throw SqlError("ORA-00906: missing left parenthesis: " + tn + " needs a length");
        }
        length = 1;
      }
      char_length = length;
      if (tn == "NVARCHAR2" || tn == "NCHAR") length *= 2;
    }
    metadata.push_back(
        "INSERT INTO KORVALIS_COLUMNS (TABLE_NAME, COLUMN_NAME, COLUMN_ID, DATA_TYPE, "
        "DATA_LENGTH, DATA_PRECISION, DATA_SCALE, CHAR_LENGTH, NULLABLE, DATA_DEFAULT) VALUES (" +
        SqlText(table) + ", " + SqlText(name) + ", " + std::to_string(i + 1) + ", " +
        SqlText(data_type) + ", " + SqlIntOrNull(length) + ", " +
        SqlIntOrNull(type == SqlType::kNumber ? precision : -1) + ", " +
        SqlIntOrNull(type == SqlType::kNumber ? scale : -1) + ", " + std::to_string(char_length) +
        ", " + (col.not_null || col.primary_key ? "'N'" : "'Y'") + ", " +
        (col.default_value ? SqlText(col.default_text) : std::string("NULL")) + ")");
  }
  for (sql::TableConstraint& c : stmt.constraints) {
    Key k{constraint_name(c.name), ' ', {}, "", {}, c.on_delete_cascade, ""};
    for (const Name& n : c.columns) {
      std::string cn = NameOf(n);
      bool known = false;
      for (const auto& cd : stmt.column_defs) known = known || NameOf(cd.name) == cn;
      if (!known) throw SqlError("ORA-00904: \"" + cn + "\": invalid identifier");
      k.columns.push_back(cn);
    }
    switch (c.kind) {
      case sql::TableConstraint::kPrimaryKey: k.type = 'P'; break;
      case sql::TableConstraint::kUnique: k.type = 'U'; break;
      case sql::TableConstraint::kForeignKey:
        k.type = 'R';
        k.r_table = NameOf(c.references_table);
        for (const Name& n : c.references_columns) k.r_columns.push_back(NameOf(n));
        break;
      case sql::TableConstraint::kCheck: {
        k.type = 'C';
        Scope check_scope;
        Source s;
        for (const auto& cd : stmt.column_defs) {
          s.derived.push_back(ColumnInfo{NameOf(cd.name), TypeOfDeclared(cd.type), cd.type.scale});
        }
        check_scope.sources.push_back(s);
        Emit(*c.check, &check_scope, &k.check);
        break;
      }
    }
    keys.push_back(std::move(k));
  }
  int primary_keys = 0;
  for (const Key& k : keys) {
    if (k.type == 'P') ++primary_keys;
  }
  if (primary_keys > 1) throw SqlError("ORA-02260: table can have only one primary key");
  for (const Key& k : keys) {
    out.append(", CONSTRAINT ");
    AppendQuotedName(k.name, &out);
    if (k.type == 'C') {
      out.append(" CHECK (");
      out.append(k.check);
      out.push_back(')');
    } else {
      out.append(k.type == 'P' ? " PRIMARY KEY (" : k.type == 'U' ? " UNIQUE (" : " FOREIGN KEY (");
      for (size_t i = 0; i < k.columns.size(); ++i) {
        if (i) out.append(", ");
        AppendQuotedName(k.columns[i], &out);
      }
      out.push_back(')');
      if (k.type == 'R') {
        out.append(" REFERENCES ");
        AppendQuotedName(k.r_table, &out);
        if (!k.r_columns.empty()) {
          out.append(" (");
          for (size_t i = 0; i < k.r_columns.size(); ++i) {
            if (i) out.append(", ");
            AppendQuotedName(k.r_columns[i], &out);
          }
          out.push_back(')');
        }
        if (k.cascade) out.append(" ON DELETE CASCADE");
      }
    }
    metadata.push_back(
        "INSERT INTO KORVALIS_CONSTRAINTS (CONSTRAINT_NAME, TABLE_NAME, CONSTRAINT_TYPE, "
        "R_TABLE_NAME, DELETE_RULE, SEARCH_CONDITION) VALUES (" +
        SqlText(k.name) + ", " + SqlText(table) + ", '" + std::string(1, k.type) + "', " +
        (k.type == 'R' ? SqlText(k.r_table) : std::string("NULL")) + ", " +
        (k.type == 'R' ? (k.cascade ? std::string("'CASCADE'") : std::string("'NO ACTION'"))
                       : std::string("NULL")) +
        ", " + (k.type == 'C' ? SqlText(k.check) : std::string("NULL")) + ")");
    for (size_t i = 0; i < k.columns.size(); ++i) {
      metadata.push_back(
          "INSERT INTO KORVALIS_CONS_COLUMNS (CONSTRAINT_NAME, TABLE_NAME, COLUMN_NAME, "
          "POSITION) VALUES (" +
          SqlText(k.name) + ", " + SqlText(table) + ", " + SqlText(k.columns[i]) + ", " +
          std::to_string(i + 1) + ")");
    }
  }
  out.push_back(')');
  tr.statements.push_back(std::move(out));
  for (auto& m : metadata) tr.statements.push_back(std::move(m));
  return tr;
}

Translation Translator::CreateIndex(Statement& stmt) {
  if (stmt.text_index) return CreateTextIndex(stmt);
  Translation tr{StatementKind::kCreateIndex, {}, true};
  const TableInfo* table = RequireTable(stmt.table);
  std::string out = stmt.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ";
  AppendQuotedName(NameOf(stmt.index), &out);
  out.append(" ON ");
  AppendQuotedName(table->name, &out);
  out.append(" (");
  for (size_t i = 0; i < stmt.columns.size(); ++i) {
    if (i) out.append(", ");
    std::string cn = NameOf(stmt.columns[i]);
    if (!table->Find(cn) && !table->columns.empty()) {
      throw SqlError("ORA-00904: \"" + cn + "\": invalid identifier");
    }
    AppendQuotedName(cn, &out);
    if (stmt.descending[i]) out.append(" DESC");
  }
  out.push_back(')');
  tr.statements.push_back(std::move(out));
  return tr;
}

Translation Translator::CreateView(Statement& stmt) {
  Translation tr{StatementKind::kCreateView, {}, true};
  const std::string view = NameOf(stmt.table);
  if (const TableInfo* existing = catalog_.FindTable(UpperAscii(view))) {
    if (!stmt.or_replace || !existing->is_view) {
      throw SqlError("ORA-00955: name is already used by an existing object: " + view);
    }
    std::string drop = "DROP VIEW ";
    AppendQuotedName(view, &drop);
    tr.statements.push_back(std::move(drop));
    tr.statements.push_back("DELETE FROM KORVALIS_COLUMNS WHERE TABLE_NAME = " + SqlText(view));
    tr.statements.push_back("DELETE FROM KORVALIS_TABLES WHERE TABLE_NAME = " + SqlText(view));
  }
  std::vector<std::string> names;
  for (const Name& n : stmt.columns) names.push_back(NameOf(n));
  std::string select;
  auto cols = EmitSelect(*stmt.select, nullptr, &select, names.empty() ? nullptr : &names);
  if (!names.empty() && names.size() != cols.size()) {
    throw SqlError(names.size() < cols.size() ? "ORA-01730: invalid number of column names specified"
                                              : "ORA-01730: invalid number of column names specified");
  }
  std::string out = "CREATE VIEW ";
  AppendQuotedName(view, &out);
  out.append(" AS ");
  out.append(select);
  tr.statements.push_back(std::move(out));
  tr.statements.push_back("INSERT INTO KORVALIS_TABLES (TABLE_NAME, TABLE_TYPE) VALUES (" +
                          SqlText(view) + ", 'VIEW')");
  for (size_t i = 0; i < cols.size(); ++i) {
    const char* type = cols[i].type == SqlType::kNumber ? "NUMBER"
                       : cols[i].type == SqlType::kDate ? "DATE"
                       : cols[i].type == SqlType::kBlob ? "BLOB"
                                                        : "VARCHAR2";
    tr.statements.push_back(
        "INSERT INTO KORVALIS_COLUMNS (TABLE_NAME, COLUMN_NAME, COLUMN_ID, DATA_TYPE, "
        "DATA_LENGTH, NULLABLE) VALUES (" +
        SqlText(view) + ", " + SqlText(cols[i].name) + ", " + std::to_string(i + 1) + ", '" +
        type + "', " + (cols[i].type == SqlType::kNumber ? "22" : cols[i].type == SqlType::kDate ? "7" : "4000") +
        ", 'Y')");
  }
  return tr;
}

Translation Translator::Comment(Statement& stmt) {
  Translation tr{StatementKind::kComment, {}, false};
  const TableInfo* table = RequireTable(stmt.table);
  const std::string text = stmt.comment.empty() ? "NULL" : SqlText(stmt.comment);
  if (stmt.comment_on_column) {
    std::string column = NameOf(stmt.comment_column);
    const ColumnInfo* c = table->Find(column);
    if (!c) throw SqlError("ORA-00904: \"" + column + "\": invalid identifier");
    tr.statements.push_back("UPDATE KORVALIS_COLUMNS SET COMMENTS = " + text +
                            " WHERE TABLE_NAME = " + SqlText(table->name) +
                            " AND COLUMN_NAME = " + SqlText(c->name));
  } else {
    tr.statements.push_back("INSERT INTO KORVALIS_TABLES (TABLE_NAME, TABLE_TYPE, COMMENTS) "
                            "VALUES (" + SqlText(table->name) + ", " +
                            (table->is_view ? "'VIEW'" : "'TABLE'") + ", " + text +
                            ") ON CONFLICT (TABLE_NAME) DO UPDATE SET COMMENTS = excluded.COMMENTS");
  }
  return tr;
}

Translation Translator::Drop(Statement& stmt) {
  Translation tr{stmt.kind, {}, true};
  if (stmt.kind == StatementKind::kDropIndex) {
    std::string out = "DROP INDEX ";
    AppendQuotedName(NameOf(stmt.index), &out);
    tr.statements.push_back(std::move(out));
    return tr;
  }
  const TableInfo* table = RequireTable(stmt.table);
  bool view = stmt.kind == StatementKind::kDropView;
  if (table->is_view != view) {
    throw SqlError(view ? "ORA-00942: " + table->name + " is not a view"
                        : "ORA-00942: " + table->name + " is not a table",
                   kNoSuchTable);
  }
  std::string out = view ? "DROP VIEW " : "DROP TABLE ";
  AppendQuotedName(table->name, &out);
  tr.statements.push_back(std::move(out));
  const std::string t = SqlText(table->name);
  tr.statements.push_back("DELETE FROM KORVALIS_COLUMNS WHERE TABLE_NAME = " + t);
  tr.statements.push_back("DELETE FROM KORVALIS_TABLES WHERE TABLE_NAME = " + t);
  tr.statements.push_back("DELETE FROM KORVALIS_CONS_COLUMNS WHERE TABLE_NAME = " + t);
  tr.statements.push_back("DELETE FROM KORVALIS_CONSTRAINTS WHERE TABLE_NAME = " + t);
  DropTextIndexes(*table, &tr);
  return tr;
}

Translation Translator::Run(Statement& stmt) {
  switch (stmt.kind) {
    case StatementKind::kSelect: {
      Translation tr{StatementKind::kSelect, {}, false};
      std::string out;
      out.reserve(statement_.size() * 2);
      EmitSelect(*stmt.select, nullptr, &out);
      tr.statements.push_back(std::move(out));
      return tr;
    }
    case StatementKind::kInsert: return Insert(stmt);
    case StatementKind::kUpdate: return Update(stmt);
    case StatementKind::kDelete: return Delete(stmt);
    case StatementKind::kCreateTable: return CreateTable(stmt);
    case StatementKind::kCreateIndex: return CreateIndex(stmt);
    case StatementKind::kCreateView: return CreateView(stmt);
    case StatementKind::kComment: return Comment(stmt);
    case StatementKind::kDropTable:
    case StatementKind::kDropView:
    case StatementKind::kDropIndex:
      return Drop(stmt);
    case StatementKind::kTruncate: {
      const TableInfo* table = RequireTable(stmt.table);
      Translation tr{StatementKind::kTruncate, {}, false};
      std::string out = "DELETE FROM ";
      AppendQuotedName(table->name, &out);
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

BlobStatement Translator::Blob(Statement& stmt) {
  if (stmt.kind != StatementKind::kSelect || stmt.select->cores.size() != 1) {
    Refuse("a BLOB statement that is not a query of one table");
  }
  SelectCore& core = stmt.select->cores[0];
  if (core.from.size() != 1 || core.from[0].kind != TableRef::kTable || core.items.empty() ||
      core.items[0].expr->kind != ExprKind::kColumn || !core.group_by.empty() || core.distinct) {
    Refuse("a BLOB statement that does not select a column of one table");
  }
  const TableInfo* table = RequireTable(core.from[0].table);
  if (table->is_view) Refuse("a BLOB statement on a view");
  const Expr& column = *core.items[0].expr;
  const std::string column_name = UpperAscii(column.parts.back().text);
  if (!table->Find(column_name) && !table->columns.empty()) {
    throw SqlError("ORA-00904: \"" + column_name + "\": invalid identifier");
  }
  Scope scope;
  std::string from;
  EmitTableRef(core.from[0], &scope, &from);
  std::string where;
  int64_t limit = 0;
  bool limited = ExtractRownumLimit(&core.where, &limit);
  if (core.where) {
    where.append(" WHERE ");
    Emit(*core.where, &scope, &where);
  }
  std::string order;
  if (!stmt.select->order_by.empty()) EmitOrderBy(stmt.select->order_by, &scope, &order);
  const std::string tail = order + " LIMIT " + std::to_string(limited ? std::min<int64_t>(limit, 1) : 1);
  BlobStatement b;
  std::string col_sql;
  Emit(column, &scope, &col_sql);
  b.read_sql = "SELECT " + col_sql + " FROM " + from + where + tail;
  std::string alias = scope.sources[0].alias;
  std::string rowid;
  AppendQuotedName(alias, &rowid);
  b.rowid_sql = "SELECT " + rowid + ".rowid FROM " + from + where + tail;
  b.update_sql = "UPDATE ";
  AppendQuotedName(table->name, &b.update_sql);
  b.update_sql.append(" SET ");
  AppendQuotedName(column_name, &b.update_sql);
  b.update_sql.append(" = ?1 WHERE rowid = ?2");
  return b;
}

}  // namespace detail

Translation Translate(std::string_view oracle_sql, const Catalog& catalog) {
  auto stmt = sql::Parse(oracle_sql);
  detail::Translator t(catalog, oracle_sql);
  return t.Run(*stmt);
}

BlobStatement TranslateBlobSelect(std::string_view oracle_sql, const Catalog& catalog) {
  auto stmt = sql::Parse(oracle_sql);
  detail::Translator t(catalog, oracle_sql);
  return t.Blob(*stmt);
}

}  // namespace korvalis::db
