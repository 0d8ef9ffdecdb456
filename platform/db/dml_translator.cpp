// INSERT, UPDATE, DELETE and the BLOB statements: values converted for the declared types
// of their columns, table aliases and alias-qualified columns as Oracle allows them.
#include <cmath>

#include "platform/db/ora_number.h"
#include "platform/db/sql_error.h"
#include "platform/db/sql_translator_internal.h"

namespace korvalis::db {
namespace detail {
namespace {

// The scope in which the SET and WHERE clauses of an UPDATE or DELETE name the columns of the
// table it changes (by the alias when it has one).
Scope TargetScope(const Statement& stmt, const TableInfo* table) {
  Scope scope;
  Source s;
  s.table = table;
  s.alias = stmt.alias.empty() ? table->name : NameOf(stmt.alias);
  scope.sources.push_back(std::move(s));
  return scope;
}

// Refuses a value longer than its text column's declared length (ORA-12899) and pads the
// values of a CHAR column with blanks to it; a literal that already fits passes unchanged.
void FitToLength(const ColumnInfo& column, const Expr* literal, std::string* value_sql) {
  if (column.max_length < 0) return;
  if (literal && literal->kind == ExprKind::kString) {
    size_t length = literal->text.size();
    if (column.length_in_chars) {
      length = 0;
      for (unsigned char c : literal->text) length += (c & 0xC0) != 0x80;
    }
    const size_t max = static_cast<size_t>(column.max_length);
    if (length == max || (length < max && !column.blank_padded)) return;
  }
  std::string name = "\"";
  name.append(kSchemaOwner).append("\".\"");
  if (column.origin_table) name.append(column.origin_table->name).append("\".\"");
  name.append(column.name).push_back('"');
  std::string s = "ora_text_fit(" + *value_sql + ", ";
  AppendInteger(column.max_length, &s);
  s.append(column.length_in_chars ? ", TRUE, " : ", FALSE, ");
  s.append(column.blank_padded ? "TRUE, " : "FALSE, ");
  AppendStringLiteral(name, &s);
  s.push_back(')');
  *value_sql = std::move(s);
}

// Whether the engine computes the value (an operator, a call, CASE or a query) rather than
// taking it as written or stored.
bool Computed(const Expr& e) {
  switch (e.kind) {
    case ExprKind::kUnary:
    case ExprKind::kBinary:
    case ExprKind::kFunction:
    case ExprKind::kCase:
    case ExprKind::kSubquery:
      return true;
    default:
      return false;
  }
}

// Whether the `i`th column of a query may be computed by the engine: each but an item of a
// single query block that takes a value as written or stored.
bool ComputedColumn(const Select& select, size_t i) {
  if (select.cores.size() != 1) return true;
  const auto& items = select.cores[0].items;
  for (const sql::SelectItem& item : items) {
    if (item.expr->kind == ExprKind::kStar) return true;
  }
  return i >= items.size() || Computed(*items[i].expr);
}

}  // namespace

// How a value is converted on its way into a column of the declared type. `computed`: the
// engine computes the value of a row written.
void Translator::ConvertFor(const ColumnInfo* column, SqlType value_type, std::string* value_sql,
                            const Expr* literal, bool computed) {
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
        if (column->precision < 0 && (column->scale < 0 || integral_literal)) {
          // The file's own arithmetic is not bounded by a NUMBER's range; the server's is.
          if (!pg_ && computed) {
            *value_sql = "ora_number_range(" + *value_sql + ")";
          }
          return;
        }
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
      if (value_type != SqlType::kText && value_type != SqlType::kDate) {
        *value_sql = "ora_text_in(" + *value_sql + ", -1)";
      }
      FitToLength(*column, literal, value_sql);
      return;
    default:
      return;
  }
}

void Translator::EmitValueFor(const ColumnInfo* column, const Expr& value, const Scope* scope,
                              std::string* out) {
  std::string v;
  // A text column takes every digit of a long number literal.
  const SqlType t = column != nullptr && column->type == SqlType::kText &&
                            EmitLongLiteralText(value, &v)
                        ? SqlType::kText
                        : Emit(value, scope, &v);
  ConvertFor(column, t, &v, &value, Computed(value));
  out->append(v);
}

// INSERT ... SELECT: the query's columns get plain names so that each can be converted for
// its target column.
void Translator::EmitInsertSelect(Select& select, const std::vector<const ColumnInfo*>& targets,
                                  std::string* out) {
  std::vector<std::string> names;
  for (size_t i = 0; i < targets.size(); ++i) names.push_back("C" + std::to_string(i + 1));
  bool has_star = false;
  for (const auto& core : select.cores) {
    for (const auto& item : core.items) has_star = has_star || item.expr->kind == ExprKind::kStar;
  }
  std::string inner;
  auto cols = EmitSelect(select, nullptr, &inner, has_star ? nullptr : &names);
  // A star's columns are known where its tables are.
  const bool counted = !has_star || !cols.empty();
  if (counted && cols.size() != targets.size()) {
    throw SqlError(cols.size() < targets.size() ? "ORA-00947: not enough values"
                                                : "ORA-00913: too many values");
  }
  if (has_star && counted) {
    // The star's columns are named by a common table expression's column list.
    std::string named = "WITH \"V$STAR\"(";
    for (size_t i = 0; i < names.size(); ++i) {
      if (i) named.append(", ");
      AppendName(names[i], &named);
    }
    inner = named + ") AS (" + inner + ") SELECT * FROM \"V$STAR\"";
  }
  if (!counted) {
    out->push_back(' ');
    out->append(inner);
  } else {
    out->append(" SELECT ");
    for (size_t i = 0; i < targets.size(); ++i) {
      if (i) out->append(", ");
      std::string v;
      AppendName(names[i], &v);
      ConvertFor(targets[i], cols[i].type, &v, nullptr, ComputedColumn(select, i));
      out->append(v);
    }
    out->append(" FROM (");
    out->append(inner);
    out->append(pg_ ? ") AS \"V$\"" : ")");
  }
}

Translation Translator::Insert(Statement& stmt) {
  const TableInfo* table = RequireTable(stmt.table);
  Translation tr{StatementKind::kInsert, {}, false};
  std::string out = "INSERT INTO ";
  AppendName(table->name, &out);
  std::vector<const ColumnInfo*> targets;
  if (stmt.columns.empty()) {
    for (const ColumnInfo& c : table->columns) targets.push_back(&c);
  } else {
    for (const Name& n : stmt.columns) {
      const ColumnInfo* c = table->Find(n.text);
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
      AppendName(table->columns[i].name, &out);
    }
  } else {
    for (size_t i = 0; i < stmt.columns.size(); ++i) {
      if (i) out.append(", ");
      AppendName(targets[i] ? targets[i]->name : stmt.columns[i].text, &out);
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
    EmitInsertSelect(*stmt.select, targets, &out);
  }
  tr.statements.push_back(std::move(out));
  return tr;
}

Translation Translator::Update(Statement& stmt) {
  const TableInfo* table = RequireTable(stmt.table);
  Translation tr{StatementKind::kUpdate, {}, false};
  std::string out = "UPDATE ";
  AppendTable(*table, stmt.alias, &out);
  const Scope scope = TargetScope(stmt, table);
  out.append(" SET ");
  for (size_t i = 0; i < stmt.assignments.size(); ++i) {
    if (i) out.append(", ");
    sql::Assignment& a = stmt.assignments[i];
    std::vector<const ColumnInfo*> targets;
    for (const Name& n : a.columns) {
      const ColumnInfo* c = table->Find(n.text);
      if (!c && !table->columns.empty()) {
        throw SqlError("ORA-00904: \"" + n.text + "\": invalid identifier");
      }
      targets.push_back(c);
    }
    if (a.columns.size() == 1) {
      AppendName(targets[0] ? targets[0]->name : a.columns[0].text, &out);
      out.append(" = ");
      EmitValueFor(targets[0], *a.value, &scope, &out);
    } else {
      out.push_back('(');
      for (size_t c = 0; c < a.columns.size(); ++c) {
        if (c) out.append(", ");
        AppendName(targets[c] ? targets[c]->name : a.columns[c].text, &out);
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
      // The query gives one row at most (ORA-01427), as a scalar subquery does.
      out.append("SELECT ");
      for (size_t c = 0; c < a.columns.size(); ++c) {
        if (c) out.append(", ");
        std::string v;
        AppendName(names[c], &v);
        ConvertFor(targets[c], cols[c].type, &v, nullptr, ComputedColumn(*a.value->subquery, c));
        if (c == 0) {
          AppendSingleRowCheck(v, &out);
        } else {
          out.append(v);
        }
      }
      out.append(" FROM (");
      out.append(inner);
      out.append(pg_ ? ") AS \"V$\" LIMIT 1)" : ") LIMIT 1)");
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
  AppendTable(*table, stmt.alias, &out);
  const Scope scope = TargetScope(stmt, table);
  if (stmt.where) {
    if (ContainsRownum(*stmt.where)) Refuse("ROWNUM in DELETE");
    out.append(" WHERE ");
    Emit(*stmt.where, &scope, &out);
  }
  tr.statements.push_back(std::move(out));
  return tr;
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
  const std::string column_name = column.parts.back().text;
  if (!table->Find(column_name) && !table->columns.empty()) {
    throw SqlError("ORA-00904: \"" + column_name + "\": invalid identifier");
  }
  Scope scope;
  std::string from;
  EmitTableRef(core.from[0], &scope, &from);
  std::string where;
  const bool limited = core.rownum_limit.has_value();
  const int64_t limit = core.rownum_limit.value_or(0);
  if (core.where) {
    where.append(" WHERE ");
    Emit(*core.where, &scope, &where);
  }
  std::string order;
  if (!stmt.select->order_by.empty()) EmitOrderBy(stmt.select->order_by, &scope, &order);
  const std::string tail =
      order + " LIMIT " + std::to_string(limited ? std::min<int64_t>(limit, 1) : 1);
  BlobStatement b;
  std::string alias = scope.sources[0].alias;
  std::string rowid;
  AppendAlias(alias, &rowid);
  // PostgreSQL's row address (ctid) stays while the writing transaction holds the writers' turn.
  const char* address = pg_ ? ".ctid" : ".rowid";
  b.rowid_sql = "SELECT " + rowid + address + " FROM " + from + where + tail;
  b.update_sql = "UPDATE ";
  AppendName(table->name, &b.update_sql);
  b.update_sql.append(" SET ");
  AppendName(column_name, &b.update_sql);
  b.update_sql.append(pg_ ? " = $1 WHERE ctid = $2::tid" : " = ?1 WHERE rowid = ?2");
  return b;
}

}  // namespace detail
}  // namespace korvalis::db
