// Expressions of the Oracle dialect printed for SQLite: column types resolved from the
// catalog decide between native operators and the functions that give Oracle's results.
#include <charconv>
#include <cmath>
#include <optional>

#include "platform/db/ora_date.h"
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
      if (!qualifier.empty() && !EqualsIgnoringAsciiCase(src.alias, qualifier)) continue;
      if (const ColumnInfo* c = src.Find(column)) return c;
    }
  }
  return nullptr;
}

// A name that matches a table's column only when case is ignored names no column ("abc" is not
// ABC), which the embedded database would not tell.
void Translator::RefuseColumnOfAnotherCase(const Expr& e, const Scope* scope) {
  const std::string& column = e.parts.back().text;
  std::string_view qualifier;
  if (e.parts.size() >= 2) qualifier = e.parts[e.parts.size() - 2].text;
  for (const Scope* s = scope; s; s = s->parent) {
    for (const Source& src : s->sources) {
      if (!qualifier.empty() && !EqualsIgnoringAsciiCase(src.alias, qualifier)) continue;
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

SqlType Translator::EmitColumn(const Expr& e, const Scope* scope, std::string* out) {
  if (e.outer_join) Refuse("the (+) outer join");
  if (e.parts.size() == 1 && !e.parts[0].quoted) {
    const std::string_view w = e.parts[0].text;
    if (w == "ROWID") Refuse("ROWID");
    if (w == "USER" || w == "UID") Refuse(e.parts[0].text);
  }
  // A column of FROM items numbered together is read from their numbering view.
  const std::string_view column = e.parts.back().text;
  std::string_view qualifier;
  if (e.parts.size() >= 2) qualifier = e.parts[e.parts.size() - 2].text;
  for (const Scope* s = scope; s; s = s->parent) {
    const Source* found = nullptr;
    const ColumnInfo* info = nullptr;
    for (const Source& src : s->sources) {
      if (!qualifier.empty() && !EqualsIgnoringAsciiCase(src.alias, qualifier)) continue;
      const ColumnInfo* c = src.Find(column);
      if (!c) continue;
      if (found) throw SqlError("ORA-00918: column ambiguously defined: " + std::string(column));
      found = &src;
      info = c;
      if (src.renamed_in.empty()) break;
    }
    if (!found) continue;
    if (found->renamed_in.empty()) break;
    out->append(found->renamed_in).push_back('.');
    AppendQuotedName(found->alias + "$" + info->name, out);
    return info->type;
  }
  size_t first = e.parts.size() > 2 ? e.parts.size() - 2 : 0;  // a schema qualifier is dropped
  for (size_t i = first; i < e.parts.size(); ++i) {
    if (i > first) out->push_back('.');
    AppendQuotedName(e.parts[i].quoted ? e.parts[i].text : e.parts[i].text, out);
  }
  const ColumnInfo* resolved = ResolveColumn(e, scope);
  if (!resolved && !ordering_) RefuseColumnOfAnotherCase(e, scope);
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

namespace {

// A text literal compared with a date is read in the default date format ('2008-01-01' is
// that day at midnight, '2008-1-2 8:00' is read as well); false when `value` is no text
// literal compared with a date. A text that is no date is converted when the statement runs,
// which fails as Oracle does, instead of being compared as text.
bool AppendDateLiteral(SqlType compared_with, const Expr& value, std::string* out) {
  if (compared_with != SqlType::kDate || value.kind != ExprKind::kString || value.text.empty()) {
    return false;
  }
  if (std::optional<DateTime> d = ParseDefaultDate(value.text)) {
    AppendStringLiteral(FormatDate(*d), out);
  } else {
    out->append("ora_date_in(");
    AppendStringLiteral(value.text, out);
    out->push_back(')');
  }
  return true;
}

}  // namespace

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

// A simple CASE whose operand is blank-padded compares it with each blank-padded value
// without trailing blanks: it is printed as a searched CASE of those comparisons.
SqlType Translator::EmitCase(const Expr& e, const Scope* scope, std::string* out) {
  out->append("CASE");
  size_t i = 0;
  SqlType result = SqlType::kNull;
  const size_t pairs_end = e.args.size() - (e.has_else ? 1 : 0);
  std::string operand;
  bool padded_operand = false;
  if (e.has_operand) {
    const SqlType t = Emit(*e.args[0], scope, &operand);
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
      Emit(*e.args[i], scope, &value);
      if (IsBlankPadded(*e.args[i], scope)) {
        out->append(WithoutTrailingBlanks(operand)).append(" = ").append(
            WithoutTrailingBlanks(value));
      } else {
        out->append(operand).append(" = ").append(value);
      }
    } else {
      Emit(*e.args[i], scope, out);
    }
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

// EXISTS (query) and value IN (query).
SqlType Translator::EmitSubqueryCondition(const Expr& e, const Scope* scope, std::string* out) {
  if (e.kind == ExprKind::kExists) {
    if (e.negated) out->append("NOT ");
    out->append("EXISTS (");
  } else {
    Emit(*e.args[0], scope, out);
    out->append(e.negated ? " NOT IN (" : " IN (");
  }
  EmitSelect(*e.subquery, scope, out);
  out->push_back(')');
  return SqlType::kNumber;
}

SqlType Translator::EmitInList(const Expr& e, const Scope* scope, std::string* out) {
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
  // A blank-padded value among blank-padded ones compares without trailing blanks.
  bool padded = left == SqlType::kText;
  for (size_t i = 0; padded && i < e.args.size(); ++i) padded = IsBlankPadded(*e.args[i], scope);
  if (padded) out->replace(mark, std::string::npos, WithoutTrailingBlanks(out->substr(mark)));
  out->append(e.negated ? " NOT IN (" : " IN (");
  for (size_t i = 1; i < e.args.size(); ++i) {
    if (i > 1) out->append(", ");
    const size_t start = out->size();
    EmitComparedValue(left, *e.args[i], scope, out);
    if (padded) {
      out->replace(start, std::string::npos, WithoutTrailingBlanks(out->substr(start)));
    }
  }
  out->push_back(')');
  return SqlType::kNumber;
}

// A value compared with one of type `compared_with`: a numeric text beside a number is the
// number, a date text beside a date is the date.
void Translator::EmitComparedValue(SqlType compared_with, const Expr& value, const Scope* scope,
                                   std::string* out) {
  double v;
  if (compared_with == SqlType::kNumber && value.kind == ExprKind::kString &&
      LiteralNumber(value, &v)) {
    AppendNumber(v, out);
  } else if (!AppendDateLiteral(compared_with, value, out)) {
    const size_t start = out->size();
    const SqlType t = Emit(value, scope, out);
    if (pg_ && compared_with == SqlType::kDate && (t == SqlType::kNumber || t == SqlType::kText)) {
      // PostgreSQL compares no date with another type: the value is read as a date (a number
      // fails as Oracle fails, when it is compared).
      out->insert(start, "ora_date_in(");
      out->push_back(')');
    }
  }
}

// A blank-padded value compares with each blank-padded bound without trailing blanks; with
// one bound padded and the other not, the range is printed as its two comparisons.
SqlType Translator::EmitBetween(const Expr& e, const Scope* scope, std::string* out) {
  if (EmitExactBetween(e, scope, out)) return SqlType::kNumber;
  const size_t mark = out->size();
  SqlType t = Emit(*e.args[0], scope, out);
  if (t == SqlType::kText &&
      (e.args[1]->kind == ExprKind::kNumber || e.args[2]->kind == ExprKind::kNumber)) {
    out->insert(mark, "ora_num(");
    out->push_back(')');
    t = SqlType::kNumber;
  }
  const bool padded = t == SqlType::kText && IsBlankPadded(*e.args[0], scope);
  const bool padded_low = padded && IsBlankPadded(*e.args[1], scope);
  const bool padded_high = padded && IsBlankPadded(*e.args[2], scope);
  if (!padded_low && !padded_high) {
    out->append(e.negated ? " NOT BETWEEN " : " BETWEEN ");
    EmitComparedValue(t, *e.args[1], scope, out);
    out->append(" AND ");
    EmitComparedValue(t, *e.args[2], scope, out);
    return SqlType::kNumber;
  }
  const std::string value = out->substr(mark);
  out->resize(mark);
  std::string low, high;
  EmitComparedValue(t, *e.args[1], scope, &low);
  EmitComparedValue(t, *e.args[2], scope, &high);
  if (padded_low) low = WithoutTrailingBlanks(low);
  if (padded_high) high = WithoutTrailingBlanks(high);
  if (padded_low && padded_high) {
    out->append(WithoutTrailingBlanks(value));
    out->append(e.negated ? " NOT BETWEEN " : " BETWEEN ").append(low).append(" AND ");
    out->append(high);
    return SqlType::kNumber;
  }
  out->append(e.negated ? "NOT (" : "(");
  out->append(padded_low ? WithoutTrailingBlanks(value) : value).append(" >= ").append(low);
  out->append(" AND ");
  out->append(padded_high ? WithoutTrailingBlanks(value) : value).append(" <= ").append(high);
  out->push_back(')');
  return SqlType::kNumber;
}

// LIKE (with its ESCAPE) and IS [NOT] NULL.
SqlType Translator::EmitPattern(const Expr& e, const Scope* scope, std::string* out) {
  const size_t start = out->size();
  const SqlType t = Emit(*e.args[0], scope, out);
  if (e.kind == ExprKind::kLike && t != SqlType::kText) {
    // A number or a date matched against a pattern is matched as its text, written as
    // TO_CHAR writes it without a mask (.5, not 0.5).
    std::string value = out->substr(start);
    if (pg_) {
      PgAsText(t, &value);
    } else {
      value = "ora_to_char(" + value + ")";
    }
    out->resize(start);
    out->append(value);
  }
  if (e.kind == ExprKind::kIsNull) {
    // SQLite, without statistics, takes a column's IS NOT NULL for a selective range of its
    // index, while the columns tested so (a discharge, a finish, a grading) are set on most
    // rows: reading the table through the index then costs twice its scan. The unary plus
    // keeps the test off the index and changes nothing else.
    if (!pg_ && e.negated && e.args[0]->kind == ExprKind::kColumn) out->insert(start, "+");
    out->append(e.negated ? " IS NOT NULL" : " IS NULL");
    return SqlType::kNumber;
  }
  out->append(e.negated ? " NOT LIKE " : " LIKE ");
  Emit(*e.args[1], scope, out);
  if (e.args.size() > 2) {
    out->append(" ESCAPE ");
    Emit(*e.args[2], scope, out);
  } else if (pg_) {
    // Oracle's LIKE has no escape character unless one is named; PostgreSQL's has '\'.
    out->append(" ESCAPE ''");
  }
  return SqlType::kNumber;
}

SqlType Translator::EmitCast(const Expr& e, const Scope* scope, std::string* out) {
  const sql::TypeName& t = e.type;
  const SqlType target = TypeOfDeclared(t);
  if (target == SqlType::kNumber) {
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

namespace {

}  // namespace

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

// Printed in place; rebuilt only in the rare case that an operand must be converted.
SqlType Translator::EmitComparison(const Expr& e, const Scope* scope, std::string* out) {
  out->push_back('(');
  ComparisonSpans spans;
  spans.l0 = out->size();
  spans.lt = Emit(*e.args[0], scope, out);
  spans.l1 = out->size();
  out->push_back(' ');
  out->append(e.text);
  out->push_back(' ');
  spans.r0 = out->size();
  spans.rt = Emit(*e.args[1], scope, out);
  ConvertComparedText(e, &spans, out);
  ConvertComparedDate(e, &spans, out);
  PadComparedText(e, scope, &spans, out);
  auto number_or_text = [](SqlType t) { return t == SqlType::kText || t == SqlType::kNumber; };
  if (pg_ && (spans.lt == SqlType::kDate) != (spans.rt == SqlType::kDate) &&
      (number_or_text(spans.lt) || number_or_text(spans.rt))) {
    // PostgreSQL compares no date with another type: the other value is read as a date (a
    // number fails as Oracle fails, when it is compared).
    const bool left_text = spans.lt != SqlType::kDate;
    std::string left = out->substr(spans.l0, spans.l1 - spans.l0);
    std::string right = out->substr(spans.r0);
    std::string& text_side = left_text ? left : right;
    text_side = "ora_date_in(" + text_side + ")";
    RewriteComparison(e, &spans, left, right, out);
  }
  // Computed numbers compare exactly where they can, else as they are shown (15 significant
  // digits here, Oracle's 38 on PostgreSQL), so that 0.1 + 0.2 equals 0.3 and a date
  // difference times 86400 is whole.
  if (spans.lt == SqlType::kNumber && spans.rt == SqlType::kNumber &&
      !EmitExactComparison(e, scope, spans, out)) {
    auto computed = [](const Expr& operand) {
      return operand.kind == ExprKind::kBinary && (operand.text == "+" || operand.text == "-" ||
                                                   operand.text == "*" || operand.text == "/");
    };
    if (computed(*e.args[1])) {
      out->insert(spans.r0, "ora_shown(");
      out->push_back(')');
    }
    if (computed(*e.args[0])) {
      out->insert(spans.l1, ")");
      out->insert(spans.l0, "ora_shown(");
    }
  }
  out->push_back(')');
  return SqlType::kNumber;
}

// Replaces the printed comparison from spans.l0 with left op right.
void Translator::RewriteComparison(const Expr& e, ComparisonSpans* spans, const std::string& left,
                                   const std::string& right, std::string* out) {
  out->resize(spans->l0);
  out->append(left);
  spans->l1 = out->size();
  out->push_back(' ');
  out->append(e.text);
  out->push_back(' ');
  spans->r0 = out->size();
  out->append(right);
}

// A number compared with text compares as numbers, converting the text (Oracle's rule).
bool Translator::IsBlankPadded(const Expr& e, const Scope* scope) {
  switch (e.kind) {
    case ExprKind::kString:
      return true;
    case ExprKind::kColumn: {
      const ColumnInfo* column = ResolveColumn(e, scope);
      return column && column->blank_padded;
    }
    case ExprKind::kCast:
      return e.type.name == "CHAR" || e.type.name == "NCHAR";
    default:
      return false;
  }
}

// Literals are trimmed when the statement runs too: a query's shape binds their values.
std::string Translator::WithoutTrailingBlanks(const std::string& printed) {
  return "rtrim(" + printed + ", ' ')";
}

void Translator::PadComparedText(const Expr& e, const Scope* scope, ComparisonSpans* spans,
                                 std::string* out) {
  if (spans->lt != SqlType::kText || spans->rt != SqlType::kText ||
      !IsBlankPadded(*e.args[0], scope) || !IsBlankPadded(*e.args[1], scope)) {
    return;
  }
  const std::string left =
      WithoutTrailingBlanks(out->substr(spans->l0, spans->l1 - spans->l0));
  const std::string right = WithoutTrailingBlanks(out->substr(spans->r0));
  RewriteComparison(e, spans, left, right, out);
}

void Translator::ConvertComparedText(const Expr& e, ComparisonSpans* spans, std::string* out) {
  const bool convert_right = spans->lt == SqlType::kNumber && spans->rt == SqlType::kText;
  const bool convert_left = spans->rt == SqlType::kNumber && spans->lt == SqlType::kText;
  if (!convert_left && !convert_right) return;
  std::string left = out->substr(spans->l0, spans->l1 - spans->l0);
  std::string right = out->substr(spans->r0);
  const Expr& text_side = convert_right ? *e.args[1] : *e.args[0];
  std::string& text_sql = convert_right ? right : left;
  double v;
  if (text_side.kind == ExprKind::kString && LiteralNumber(text_side, &v)) {
    text_sql.clear();
    AppendNumber(v, &text_sql);
  } else {
    text_sql = "ora_num(" + text_sql + ")";
  }
  RewriteComparison(e, spans, left, right, out);
}

// A date compared with a text literal reads the text in the default date format, so that
// '2008-01-01' is the date at midnight and compares as dates do.
void Translator::ConvertComparedDate(const Expr& e, ComparisonSpans* spans, std::string* out) {
  const bool date_right = spans->lt == SqlType::kDate && e.args[1]->kind == ExprKind::kString;
  const bool date_left = spans->rt == SqlType::kDate && e.args[0]->kind == ExprKind::kString;
  if (!date_left && !date_right) return;
  std::string literal;
  if (!AppendDateLiteral(SqlType::kDate, date_right ? *e.args[1] : *e.args[0], &literal)) return;
  std::string left = date_left ? literal : out->substr(spans->l0, spans->l1 - spans->l0);
  std::string right = date_right ? literal : out->substr(spans->r0);
  RewriteComparison(e, spans, left, right, out);
}

// A chain of + and -. Numbers and texts read as numbers print as one flat chain; dates and
// values of unknown type take the functions that decide, operator by operator.
SqlType Translator::EmitAdditive(const Expr& e, const Scope* scope, std::string* out) {
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
  if (plain && !has_text) {
    out->push_back(')');
    return SqlType::kNumber;
  }
  std::vector<std::string> sql(terms.size());
  for (size_t i = 0; i < terms.size(); ++i) {
    sql[i] = out->substr(spans[i].first, spans[i].second - spans[i].first);
  }
  out->resize(start);
  if (plain) {
    // Text operands are read as numbers, failing on invalid text.
    out->push_back('(');
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
    lt = CombineAdditive(ops[i - 1], left, lt, sql[i], types[i], &combined);
    left = std::move(combined);
  }
  out->append(left);
  return lt;
}

// left op right where one side is a date, or of a type known only when the values are.
SqlType Translator::CombineAdditive(std::string_view op, const std::string& left, SqlType lt,
                                    const std::string& right, SqlType rt, std::string* out) {
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
  out->push_back('(');
  out->append(numeric_l ? left : "ora_num(" + left + ")");
  out->append(op == "+" ? " + " : " - ");
  out->append(numeric_r ? right : "ora_num(" + right + ")");
  out->push_back(')');
  return SqlType::kNumber;
}

// ora_concat of the parts; more parts than one call of the engine takes are concatenated in
// groups, whose results are concatenated again.
void Translator::EmitConcat(const std::vector<const Expr*>& parts, const Scope* scope,
                            std::string* out) {
  if (parts.size() <= kMaxCallArguments) {
    out->append("ora_concat(");
    for (size_t i = 0; i < parts.size(); ++i) {
      if (i) out->append(", ");
      if (ComputedExactly(*parts[i], scope)) {
        // A computed number writes every digit of its exact value.
        out->append("ora_exact_text(");
        EmitExact(*parts[i], scope, false, out);
        out->push_back(')');
        continue;
      }
      if (!pg_) {
        Emit(*parts[i], scope, out);
        continue;
      }
      // PostgreSQL concatenates texts: every other value becomes the text Oracle writes.
      std::string part;
      PgAsText(Emit(*parts[i], scope, &part), &part);
      out->append(part);
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

SqlType Translator::EmitSubquery(const Expr& e, const Scope* scope, std::string* out) {
  Select& select = *e.subquery;
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
  const bool one_column =
      select.cores[0].items.size() == 1 && select.cores[0].items[0].expr->kind != ExprKind::kStar;
  if (single || !one_column) {
    out->push_back('(');
    auto cols = EmitSelect(select, scope, out);
    out->push_back(')');
    return cols.empty() ? SqlType::kUnknown : cols[0].type;
  }
  // The query becomes a view whose rows are counted:
  // (SELECT CASE WHEN COUNT(*) OVER () > 1 THEN <error> ELSE "V" END FROM (query) LIMIT 1)
  out->append(
      "(SELECT CASE WHEN count(*) OVER () > 1 THEN ora_raise('ORA-01427: single-row "
      "subquery returns more than one row'");
  // PostgreSQL's function answers with the type of its second argument, as the CASE needs.
  out->append(pg_ ? ", \"V\")" : ")");
  out->append(" ELSE \"V\" END FROM (");
  const std::vector<std::string> names{"V"};
  auto cols = EmitSelect(select, scope, out, &names);
  out->append(pg_ ? ") AS \"V$\" LIMIT 1)" : ") LIMIT 1)");
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
      bool nulls_first = item.nulls == sql::OrderItem::kDefault
                             ? item.descending
                             : item.nulls == sql::OrderItem::kFirst;
      out->append(nulls_first ? " NULLS FIRST" : " NULLS LAST");
    }
  }
  out->push_back(')');
}

}  // namespace detail
}  // namespace korvalis::db
