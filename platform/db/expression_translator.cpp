// Expressions of the Oracle dialect printed for SQLite: column types resolved from the
// catalog decide between native operators and the functions that give Oracle's results.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "platform/db/ora_number.h"
#include "platform/db/sql_error.h"
#include "platform/db/sql_translator_internal.h"

namespace korvalis::db {
namespace detail {

const ColumnInfo* Translator::ResolveColumn(const Expr& e, const Scope* scope) {
  const std::string_view column = e.parts.back().text;
  std::string_view qualifier;
  if (e.parts.size() >= 2) qualifier = e.parts[e.parts.size() - 2].text;
  for (const Scope* s = scope; s; s = s->parent) {
    for (const Source& src : s->sources) {
      if (!qualifier.empty() && src.alias != qualifier) continue;
      if (const ColumnInfo* c = src.Find(column)) return c;
    }
  }
  return nullptr;
}

namespace {

// Whether `qualifier` names a FROM item of `scope` or of an enclosing one.
bool NamesSource(std::string_view qualifier, const Scope* scope) {
  for (const Scope* s = scope; s; s = s->parent) {
    for (const Source& src : s->sources) {
      if (src.alias == qualifier) return true;
    }
  }
  return false;
}

}  // namespace

// A name that matches a table's column only when case is ignored names no column ("abc" is not
// ABC), which the embedded database would not tell.
void Translator::RefuseColumnOfAnotherCase(const Expr& e, const Scope* scope) {
  const std::string& column = e.parts.back().text;
  std::string_view qualifier;
  if (e.parts.size() >= 2) qualifier = e.parts[e.parts.size() - 2].text;
  for (const Scope* s = scope; s; s = s->parent) {
    for (const Source& src : s->sources) {
      if (!qualifier.empty() && src.alias != qualifier) continue;
      if (src.table && src.table->FindIgnoringCase(column)) {
        throw SqlError("ORA-00904: \"" + column + "\": invalid identifier");
      }
    }
  }
}

SqlType Translator::ResolveColumnType(const Expr& e, const Scope* scope) {
  const ColumnInfo* c = ResolveColumn(e, scope);
  return c ? c->type : SqlType::kUnknown;
}

// A column of exact operands read where no exact function stands is the number nearest its
// value, as the engine computes and compares it (an ORDER BY item may name a select item
// instead, and is read as written).
void Translator::ReadNearestNumber(const ColumnInfo* column, bool exact_read, size_t start,
                                   std::string* out) const {
  if (column == nullptr || !column->exact_number || exact_read || ordering_) return;
  out->insert(start, "ora_num(");
  out->push_back(')');
}

SqlType Translator::EmitColumn(const Expr& e, const Scope* scope, std::string* out,
                               bool exact_read) {
  if (e.outer_join) Refuse("the (+) outer join");
  const size_t start = out->size();
  if (e.parts.size() == 1 && !e.parts[0].quoted) {
    const std::string_view w = e.parts[0].text;
    if (w == "ROWID") Refuse("ROWID");
    if (w == "USER" || w == "UID") Refuse(e.parts[0].text);
  }
  if (order_aliases_ && e.parts.size() == 1 && !ResolveColumn(e, scope)) {
    for (const sql::SelectItem& item : order_aliases_->items) {
      if (item.alias.empty() || item.alias.text != e.parts[0].text) continue;
      // ORDER BY S + 1 of SELECT SAL S: the item's expression, read where the alias stands.
      const SelectCore* aliases = std::exchange(order_aliases_, nullptr);
      out->push_back('(');
      const SqlType type = Emit(*item.expr, scope, out);
      out->push_back(')');
      order_aliases_ = aliases;
      return type;
    }
  }
  // A column of FROM items numbered together is read from their numbering view.
  const std::string_view column = e.parts.back().text;
  std::string_view qualifier;
  if (e.parts.size() >= 2) qualifier = e.parts[e.parts.size() - 2].text;
  for (const Scope* s = scope; s; s = s->parent) {
    const auto& merged = s->using_columns;
    if (qualifier.empty() && !s->sources.empty() && !s->sources[0].renamed_in.empty() &&
        std::find(merged.begin(), merged.end(), column) != merged.end()) {
      // A column merged by a join with USING, read from the view of the renamed items.
      NoteLevelRead(s->serial);
      out->append(s->sources[0].renamed_in).push_back('.');
      AppendName("$" + std::string(column), out);
      const ColumnInfo* merged_column = ResolveColumn(e, scope);
      ReadNearestNumber(merged_column, exact_read, start, out);
      return merged_column ? merged_column->type : SqlType::kUnknown;
    }
    const Source* found = nullptr;
    const ColumnInfo* info = nullptr;
    for (const Source& src : s->sources) {
      if (!qualifier.empty() && src.alias != qualifier) continue;
      const ColumnInfo* c = src.Find(column);
      if (!c) continue;
      if (found) throw SqlError("ORA-00918: column ambiguously defined: " + std::string(column));
      found = &src;
      info = c;
      if (src.renamed_in.empty()) break;
    }
    if (!found) continue;
    NoteLevelRead(s->serial);
    if (!qualifier.empty() && found->Merges(column)) {
      throw SqlError("ORA-25154: column part of USING clause cannot have qualifier");
    }
    if (s != scope && s->grouping) CheckReadOfGroupingLevel(*info, *s);
    if (found->renamed_in.empty()) break;
    out->append(found->renamed_in).push_back('.');
    AppendAlias(found->alias + "$" + info->name, out);
    ReadNearestNumber(info, exact_read, start, out);
    return info->type;
  }
  size_t first = e.parts.size() > 2 ? e.parts.size() - 2 : 0;  // a schema qualifier is dropped
  for (size_t i = first; i < e.parts.size(); ++i) {
    if (i > first) out->push_back('.');
    if (i + 1 < e.parts.size()) {
      AppendAlias(e.parts[i].text, out);  // a qualifier: a table's alias or name
    } else {
      AppendName(e.parts[i].text, out);
    }
  }
  const ColumnInfo* resolved = ResolveColumn(e, scope);
  // A name no level describes is the engine's to find, maybe in an enclosing query (in an
  // ORDER BY, a select item's alias of the level itself).
  if (!resolved && !ordering_) NoteLevelRead(0);
  if (!resolved && !qualifier.empty() && !NamesSource(qualifier, scope)) {
    throw SqlError("ORA-00904: \"" + std::string(qualifier) + "\".\"" + std::string(column) +
                   "\": invalid identifier");
  }
  if (!resolved && !ordering_) RefuseColumnOfAnotherCase(e, scope);
  ReadNearestNumber(resolved, exact_read, start, out);
  return resolved ? resolved->type : SqlType::kUnknown;
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
  // Typing evaluates nothing: a literal is refused where the expression is written.
  const LazyArms typing(this);
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
// PostgreSQL takes an integer literal for an integer of 32 or 64 bits, whose arithmetic fails
// where it overflows; as an operand it is a NUMBER, computed exactly like any other.
void Translator::MarkPgIntegerLiteral(const Expr& e, std::string* out) const {
  if (pg_ && e.kind == ExprKind::kNumber && e.text.find_first_of(".eE") == std::string::npos) {
    out->append("::numeric");
  }
}

void Translator::EmitNumberOperand(const Expr& e, const Scope* scope, std::string* out) {
  const size_t start = out->size();
  SqlType t = Emit(e, scope, out);
  MarkPgIntegerLiteral(e, out);
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
    case ExprKind::kNumber:
      return EmitNumberLiteral(e, out);
    case ExprKind::kString:
      AppendStringLiteral(e.text, out);
      return SqlType::kText;
    case ExprKind::kColumn:
      return EmitColumn(e, scope, out);
    case ExprKind::kStar:
      out->push_back('*');
      return SqlType::kUnknown;
    case ExprKind::kUnary:
      return EmitUnary(e, scope, out);
    case ExprKind::kBinary:
      return EmitBinary(e, scope, out);
    case ExprKind::kFunction:
      return EmitFunction(e, scope, out);
    case ExprKind::kCase:
      return EmitCase(e, scope, out);
    case ExprKind::kSubquery:
      return EmitSubquery(e, scope, out);
    case ExprKind::kExists:
    case ExprKind::kInSubquery:
      return EmitSubqueryCondition(e, scope, out);
    case ExprKind::kInList:
      return EmitInList(e, scope, out);
    case ExprKind::kBetween:
      return EmitBetween(e, scope, out);
    case ExprKind::kLike:
    case ExprKind::kIsNull:
      return EmitPattern(e, scope, out);
    case ExprKind::kCast:
      return EmitCast(e, scope, out);
    case ExprKind::kRownum:
    case ExprKind::kSysdate:
    case ExprKind::kLevel:
      return EmitPseudoColumn(e, scope, out);
    case ExprKind::kRow:
      out->push_back('(');
      EmitArgs(e, 0, scope, out);
      out->push_back(')');
      return SqlType::kUnknown;
  }
  return SqlType::kUnknown;
}

// Keeps integers of 64 bits exact; other literals pass as written (SQLite reads them as
// reals), longer integers marked as reals.
SqlType Translator::EmitNumberLiteral(const Expr& e, std::string* out) {
  const std::string& t = e.text;
  out->append(t);
  int64_t value = 0;
  if (t.find_first_of(".eE") == std::string::npos && t.size() > 18 &&
      std::from_chars(t.data(), t.data() + t.size(), value).ec != std::errc()) {
    out->append(".0");
  } else if (t.back() == '.') {
    out->push_back('0');
  }
  return SqlType::kNumber;
}

SqlType Translator::EmitUnary(const Expr& e, const Scope* scope, std::string* out) {
  if (e.text == "PRIOR") Refuse("PRIOR (hierarchical query)");
  if (e.text == "CONNECT_BY_ROOT") return EmitHierarchyValue(e, scope, out);
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

bool SameTypeGroup(SqlType a, SqlType b) {
  auto grouped = [](SqlType t) {
    return t == SqlType::kNumber || t == SqlType::kText || t == SqlType::kDate;
  };
  return a == b || !grouped(a) || !grouped(b);
}

void JoinTypeGroup(SqlType t, std::string_view what, SqlType* group) {
  if (!SameTypeGroup(*group, t)) {
    auto name = [](SqlType type) {
      return type == SqlType::kNumber ? "NUMBER" : type == SqlType::kDate ? "DATE" : "CHAR";
    };
    throw SqlError(std::string("ORA-00932: inconsistent datatypes: expected ") + name(*group) +
                   " got " + name(t) + " in " + std::string(what));
  }
  if (*group == SqlType::kNull || *group == SqlType::kUnknown) *group = t;
}

// A simple CASE whose operand is blank-padded compares it with each blank-padded value
// without trailing blanks: it is printed as a searched CASE of those comparisons.
SqlType Translator::EmitCase(const Expr& e, const Scope* scope, std::string* out) {
  out->append("CASE");
  size_t i = 0;
  SqlType result = SqlType::kNull;
  const size_t pairs_end = e.args.size() - (e.has_else ? 1 : 0);
  std::string operand;
  bool padded_operand = false;
  SqlType compared = SqlType::kNull;  // a simple CASE's operand and values, compared as one type
  std::optional<LazyArms> lazy;
  if (e.has_operand) {
    const SqlType t = Emit(*e.args[0], scope, &operand);
    JoinTypeGroup(t, "CASE", &compared);
    padded_operand = t == SqlType::kText && IsBlankPadded(*e.args[0], scope);
    bool any_padded = false;
    for (size_t j = 1; padded_operand && j < pairs_end; j += 2) {
      any_padded = any_padded || IsBlankPadded(*e.args[j], scope);
    }
    padded_operand = any_padded;
    if (!padded_operand) out->append(" ").append(operand);
    i = 1;
  }
  for (; i + 1 < pairs_end + 1 && i < pairs_end; i += 2) {
    out->append(" WHEN ");
    if (padded_operand) {
      std::string value;
      JoinTypeGroup(Emit(*e.args[i], scope, &value), "CASE", &compared);
      if (IsBlankPadded(*e.args[i], scope)) {
        out->append(WithoutTrailingBlanks(operand)).append(" = ").append(
            WithoutTrailingBlanks(value));
      } else {
        out->append(operand).append(" = ").append(value);
      }
    } else {
      const SqlType t = Emit(*e.args[i], scope, out);
      if (e.has_operand) JoinTypeGroup(t, "CASE", &compared);
    }
    out->append(" THEN ");
    if (!lazy) lazy.emplace(this);
    JoinTypeGroup(Emit(*e.args[i + 1], scope, out), "CASE", &result);
  }
  if (e.has_else) {
    out->append(" ELSE ");
    JoinTypeGroup(Emit(*e.args.back(), scope, out), "CASE", &result);
  }
  out->append(" END");
  return result;
}

void Translator::CheckNumberLiteral(const Expr& e) const {
  double v;
  if (lazy_arms_ == 0 && e.kind == ExprKind::kString && !e.text.empty() &&
      !LiteralNumber(e, &v)) {
    throw SqlError(InvalidNumberMessage(e.text), kConversionFailed);
  }
}

SqlType Translator::EmitCast(const Expr& e, const Scope* scope, std::string* out) {
  const sql::TypeName& t = e.type;
  const SqlType target = TypeOfDeclared(t);
  // A literal is read now: one that is no number or no date is refused whatever the rows.
  if (target == SqlType::kNumber) {
    CheckNumberLiteral(*e.args[0]);
    out->append("ora_number_in(");
    Emit(*e.args[0], scope, out);
    out->append(", ");
    const bool integer = t.name == "INTEGER" || t.name == "INT" || t.name == "SMALLINT";
    AppendInteger(integer || (t.precision >= 0 && t.scale < 0) ? 0 : t.scale, out);
    out->append(", ");
    AppendInteger(t.precision, out);
    out->push_back(')');
    return SqlType::kNumber;
  }
  if (target == SqlType::kDate) {
    ReadDateLiteral(*e.args[0]);
    out->append("ora_date_in(");
    Emit(*e.args[0], scope, out);
    out->push_back(')');
    return SqlType::kDate;
  }
  if (target == SqlType::kText) {
    out->append("ora_text_in(");
    if (!EmitLongLiteralText(*e.args[0], out)) Emit(*e.args[0], scope, out);
    out->append(", ");
    AppendInteger(t.length, out);
    out->push_back(')');
    return SqlType::kText;
  }
  Refuse("CAST to " + t.name);
}

// ROWNUM where it is a select item, SYSDATE, and LEVEL in a hierarchical query.
SqlType Translator::EmitPseudoColumn(const Expr& e, const Scope* scope, std::string* out) {
  switch (e.kind) {
    case ExprKind::kRownum:
      if (scope && !scope->rownum_sql.empty()) {
        out->append(scope->rownum_sql);
        return SqlType::kNumber;
      }
      if (!scope || !scope->rownum_in_select_list) Refuse("ROWNUM in this position");
      out->append("row_number() OVER ()");
      return SqlType::kNumber;
    case ExprKind::kLevel: {
      const std::string* sql = !scope                     ? nullptr
                               : e.text == "LEVEL"        ? &scope->level_sql
                               : e.text == "CONNECT_BY_ISLEAF" ? &scope->is_leaf_sql
                                                          : &scope->is_cycle_sql;
      if (!sql || sql->empty()) {
        throw SqlError("ORA-01788: CONNECT BY clause required in this query block (" + e.text +
                       ")");
      }
      out->append(*sql);
      return SqlType::kNumber;
    }
    default:
      reads_sysdate_ = true;
      out->append("ora_sysdate()");
      return SqlType::kDate;
  }
}

void CollectChain(const Expr& e, std::initializer_list<std::string_view> ops, bool associative,
                  std::vector<const Expr*>* operands, std::vector<std::string_view>* chain_ops) {
  auto in_chain = [&](const Expr* p) {
    if (p->kind != ExprKind::kBinary) return false;
    for (std::string_view op : ops) {
      if (p->text == op) return true;
    }
    return false;
  };
  // Walked with a stack of its own: chains are as long as the front end allows.
  std::vector<std::pair<const Expr*, std::string_view>> stack{{&e, {}}};
  while (!stack.empty()) {
    auto [p, before] = stack.back();
    stack.pop_back();
    if (in_chain(p) && (associative || before.empty() || p == &e)) {
      stack.emplace_back(p->args[1].get(), p->text);
      stack.emplace_back(p->args[0].get(), before);
      continue;
    }
    if (!operands->empty()) chain_ops->push_back(before);
    operands->push_back(p);
  }
}

// Chains of one operator are printed flat, a op b op c, never as nested parentheses: the
// engine's parser takes a chain as long as the front end allows, but only a few dozen
// nested parentheses.
SqlType Translator::EmitBinary(const Expr& e, const Scope* scope, std::string* out) {
  const std::string_view op = e.text;
  if (op == "AND" || op == "OR") return EmitLogical(e, scope, out);
  if (op == "||") {
    std::vector<const Expr*> parts;
    std::vector<std::string_view> ops;
    CollectChain(e, {"||"}, true, &parts, &ops);
    EmitConcat(parts, scope, out);
    return SqlType::kText;
  }
  if (op == ">" && EmitContainsCondition(e, scope, out)) return SqlType::kNumber;
  if (op == "=" || op == "<>" || op == "<" || op == "<=" || op == ">" || op == ">=") {
    return EmitComparison(e, scope, out);
  }
  if (op == "+" || op == "-") return EmitAdditive(e, scope, out);
  if (op == "*") {
    if (pg_ && EmitServerProduct(e, scope, out)) return SqlType::kNumber;
    std::vector<const Expr*> factors;
    std::vector<std::string_view> ops;
    CollectChain(e, {"*"}, false, &factors, &ops);
    out->push_back('(');
    for (size_t i = 0; i < factors.size(); ++i) {
      if (i) out->append(" * ");
      EmitNumberOperand(*factors[i], scope, out);
    }
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

SqlType Translator::EmitLogical(const Expr& e, const Scope* scope, std::string* out) {
  std::vector<const Expr*> operands;
  std::vector<std::string_view> ops;
  CollectChain(e, {e.text}, true, &operands, &ops);
  const char* op = e.text == "AND" ? " AND " : " OR ";
  out->push_back('(');
  for (size_t i = 0; i < operands.size(); ++i) {
    if (i) out->append(op);
    Emit(*operands[i], scope, out);
  }
  out->push_back(')');
  return SqlType::kNumber;
}

// A chain of + and -. Numbers and texts read as numbers print as one flat chain; dates and
// values of unknown type take the functions that decide, operator by operator.
SqlType Translator::EmitAdditive(const Expr& e, const Scope* scope, std::string* out) {
  if (SqlType type; pg_ && EmitServerSum(e, scope, out, &type)) return type;
  std::vector<const Expr*> terms;
  std::vector<std::string_view> ops;
  CollectChain(e, {"+", "-"}, false, &terms, &ops);
  const size_t start = out->size();
  out->push_back('(');
  std::vector<std::pair<size_t, size_t>> spans(terms.size());
  std::vector<SqlType> types(terms.size());
  bool plain = true, has_text = false;
  for (size_t i = 0; i < terms.size(); ++i) {
    if (i) out->append(ops[i - 1] == "+" ? " + " : " - ");
    spans[i].first = out->size();
    types[i] = Emit(*terms[i], scope, out);
    MarkPgIntegerLiteral(*terms[i], out);
    spans[i].second = out->size();
    plain = plain && types[i] != SqlType::kDate && types[i] != SqlType::kUnknown;
    has_text = has_text || types[i] == SqlType::kText;
  }
  // A sum of stored values of undeclared digits is not rounded on the server
  // (server_number_rounding.cpp), only bounded by a NUMBER's range.
  const bool bounded =
      !pg_ || in_generated_column_ || ServerDigits(e, scope, 0).kind != NumberSpan::Kind::kStored;
  if (plain && !has_text) {
    out->push_back(')');
    if (!bounded) out->insert(start, "ora_finite");
    return SqlType::kNumber;
  }
  std::vector<std::string> sql(terms.size());
  for (size_t i = 0; i < terms.size(); ++i) {
    sql[i] = out->substr(spans[i].first, spans[i].second - spans[i].first);
  }
  out->resize(start);
  // The days a date is moved by keep every digit of a NUMBER computed from literals (0.5 / 86400
  // is a little over half a second), where the embedded engine's double would lose the last
  // ones; computed once for the statement, they cost no row anything.
  for (size_t i = 0; i < terms.size() && !plain; ++i) {
    if (types[i] == SqlType::kNumber && IsArithmeticOfLiterals(*terms[i]) &&
        WritesExactDigits(*terms[i], scope)) {
      sql[i].clear();
      EmitExact(*terms[i], scope, false, &sql[i]);
    }
  }
  if (plain) {
    // Text operands are read as numbers, failing on invalid text.
    out->append(bounded ? "(" : "ora_finite(");
    for (size_t i = 0; i < terms.size(); ++i) {
      if (i) out->append(ops[i - 1] == "+" ? " + " : " - ");
      if (types[i] == SqlType::kText) {
        out->append("ora_num(").append(sql[i]).push_back(')');
      } else {
        out->append(sql[i]);
      }
    }
    out->push_back(')');
    return SqlType::kNumber;
  }
  std::string left = std::move(sql[0]);
  SqlType lt = types[0];
  for (size_t i = 1; i < terms.size(); ++i) {
    std::string combined;
    lt = CombineAdditive(ops[i - 1], left, lt, i == 1 && IsArithmeticOfLiterals(*terms[0]),
                         sql[i], types[i], IsArithmeticOfLiterals(*terms[i]), &combined);
    left = std::move(combined);
  }
  out->append(left);
  return lt;
}

// left op right where one side is a date, or of a type known only when the values are.
SqlType Translator::CombineAdditive(std::string_view op, const std::string& left, SqlType lt,
                                    bool literal_l, const std::string& right, SqlType rt,
                                    bool literal_r, std::string* out) {
  const bool numeric_l = lt == SqlType::kNumber || lt == SqlType::kNull;
  const bool numeric_r = rt == SqlType::kNumber || rt == SqlType::kNull;
  auto call = [&](const char* fn, const std::string& a, const std::string& b) {
    out->append(fn);
    out->push_back('(');
    out->append(a);
    out->append(", ");
    out->append(b);
    out->push_back(')');
  };
  // Days computed from literals alone move a date by the seconds of their exact digits, which
  // the file computes once for the statement; days computed from a row's values round alike on
  // both engines (date_functions.cpp, ora_date_add).
  auto move = [&](const std::string& date, const std::string& days, bool literal, int direction) {
    if (!literal) {
      call(direction > 0 ? "ora_date_add" : "ora_date_sub", date, days);
    } else if (pg_) {
      call(direction > 0 ? "ora_date_add_exact" : "ora_date_sub_exact", date, days);
    } else {
      call("ora_date_add_seconds", date,
           "ora_days_seconds(" + days + (direction > 0 ? ", 1)" : ", -1)"));
    }
    return SqlType::kDate;
  };
  if (lt == SqlType::kDate && numeric_r) return move(left, right, literal_r, op == "+" ? 1 : -1);
  if (op == "+" && rt == SqlType::kDate && numeric_l) return move(right, left, literal_l, 1);
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
  out->push_back('(');
  out->append(numeric_l ? left : "ora_num(" + left + ")");
  out->append(op == "+" ? " + " : " - ");
  out->append(numeric_r ? right : "ora_num(" + right + ")");
  out->push_back(')');
  return SqlType::kNumber;
}

// A value as the text a concatenation joins: a computed number, or a literal, writes every
// digit of its exact value; on the server every other value becomes the text Oracle writes.
void Translator::EmitConcatenated(const Expr& e, const Scope* scope, std::string* out) {
  if (WritesExactDigits(e, scope)) {
    out->append("ora_exact_text(");
    EmitExact(e, scope, false, out);
    out->push_back(')');
    return;
  }
  if (!pg_) {
    Emit(e, scope, out);
    return;
  }
  std::string part;
  PgAsText(Emit(e, scope, &part), &part);
  out->append(part);
}

// ora_concat of the parts; more parts than one call of the engine takes are concatenated in
// groups, whose results are concatenated again. The server joins most concatenations in place
// (PgConcatInPlace).
void Translator::EmitConcat(const std::vector<const Expr*>& parts, const Scope* scope,
                            std::string* out) {
  if (pg_ && PgConcatInPlace(parts, scope, out)) return;
  if (parts.size() <= kMaxCallArguments) {
    out->append("ora_concat(");
    for (size_t i = 0; i < parts.size(); ++i) {
      if (i) out->append(", ");
      EmitConcatenated(*parts[i], scope, out);
    }
    out->push_back(')');
    return;
  }
  out->append("ora_concat(");
  for (size_t group = 0; group < parts.size(); group += kMaxCallArguments) {
    if (group) out->append(", ");
    const size_t end = std::min(parts.size(), group + kMaxCallArguments);
    EmitConcat({parts.begin() + static_cast<std::ptrdiff_t>(group),
                parts.begin() + static_cast<std::ptrdiff_t>(end)},
               scope, out);
  }
  out->push_back(')');
}

size_t SelectWidth(const Select& select) {
  for (const sql::SelectItem& item : select.cores[0].items) {
    if (item.expr->kind == ExprKind::kStar) return 0;
  }
  return select.cores[0].items.size();
}

void CheckSelectWidth(const Select& select, size_t width) {
  const size_t given = SelectWidth(select);
  if (given > width) throw SqlError("ORA-00913: too many values");
  if (given && given < width) throw SqlError("ORA-00947: not enough values");
}

SqlType Translator::EmitSubquery(const Expr& e, const Scope* scope, std::string* out,
                                 size_t row_width) {
  if (pg_ || row_width != 1) {
    PrintedSubquery printed = PrintScalarSubquery(e, scope, row_width);
    out->append(printed.sql);
    return printed.type;
  }
  const PrintedSubquery& printed = ScalarSubquery(e, scope);
  out->append(printed.sql);
  return printed.type;
}

// On the embedded engine the computed column of a subquery that stands for one value is an
// exact operand.
Translator::PrintedSubquery Translator::PrintScalarSubquery(const Expr& e, const Scope* scope,
                                                            size_t row_width) {
  Select& select = *e.subquery;
  CheckSelectWidth(select, row_width);
  if (row_width == 1) MarkExactColumns(select);
  PrintedSubquery printed;
  std::string* out = &printed.sql;
  // A scalar subquery must give at most one row. The check is left out where one row is
  // certain: an aggregate without GROUP BY, or a ROWNUM limit of one.
  bool single = false;
  if (select.cores.size() == 1) {
    const SelectCore& core = select.cores[0];
    const bool aggregate = core.group_by.empty() && !core.items.empty() &&
                           ContainsAggregate(*core.items[0].expr) &&
                           !ContainsWindow(*core.items[0].expr);
    single = aggregate || (core.rownum_limit && *core.rownum_limit <= 1);
  }
  const size_t width = SelectWidth(select);
  const auto take = [&printed](const std::vector<ColumnInfo>& cols) {
    if (cols.empty()) return std::move(printed);
    printed.type = cols[0].type;
    printed.exact = cols.size() == 1 && cols[0].exact_number;
    return std::move(printed);
  };
  if (single || width == 0) {
    out->push_back('(');
    auto cols = EmitSelect(select, scope, out);
    out->push_back(')');
    return take(cols);
  }
  // The query becomes a view whose rows are counted, its first value failing on a second row:
  // (SELECT CASE WHEN COUNT(*) OVER () > 1 THEN <error> ELSE "V1" END, "V2"... FROM (query)
  // LIMIT 1)
  std::vector<std::string> names;
  for (size_t i = 1; i <= width; ++i) names.push_back("V" + std::to_string(i));
  out->append("(SELECT ");
  AppendSingleRowCheck("\"V1\"", out);
  for (size_t i = 1; i < width; ++i) out->append(", \"" + names[i] + "\"");
  out->append(" FROM (");
  auto cols = EmitSelect(select, scope, out, &names);
  out->append(pg_ ? ") AS \"V$\" LIMIT 1)" : ") LIMIT 1)");
  return take(cols);
}

void Translator::AppendSingleRowCheck(const std::string& value, std::string* out) const {
  out->append(
      "CASE WHEN count(*) OVER () > 1 THEN ora_raise('ORA-01427: single-row subquery returns "
      "more than one row'");
  // PostgreSQL's function answers with the type of its second argument, as the CASE needs.
  if (pg_) out->append(", " + value);
  out->append(") ELSE " + value + " END");
}

}  // namespace detail
}  // namespace korvalis::db
