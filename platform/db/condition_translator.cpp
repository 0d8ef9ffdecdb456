// Conditions of the Oracle dialect printed for SQLite and PostgreSQL: comparisons (with
// Oracle's conversions of text to numbers and dates and its blank-padded comparison of CHAR
// values), IN lists, BETWEEN, LIKE, IS NULL, EXISTS and IN with a query.
#include <optional>

#include "platform/db/like_pattern.h"
#include "platform/db/ora_date.h"
#include "platform/db/ora_number.h"
#include "platform/db/sql_error.h"
#include "platform/db/sql_translator_internal.h"

namespace korvalis::db::detail {

namespace {

// The longest pattern the engine's GLOB takes well under its own limit (50,000 bytes).
constexpr size_t kLongestGlobPattern = 1000;

// A condition: true, false or unknown, which Oracle reads only where it expects a truth value.
bool IsCondition(const Expr& e) {
  switch (e.kind) {
    case ExprKind::kExists:
    case ExprKind::kInList:
    case ExprKind::kInSubquery:
    case ExprKind::kBetween:
    case ExprKind::kLike:
    case ExprKind::kIsNull:
      return true;
    case ExprKind::kUnary:
      return e.text == "NOT";
    case ExprKind::kBinary:
      return e.text == "AND" || e.text == "OR" || e.text == "=" || e.text == "<>" ||
             e.text == "<" || e.text == "<=" || e.text == ">" || e.text == ">=";
    case ExprKind::kFunction:
      return (e.text == "REGEXP_LIKE" || e.text == "LNNVL") && !e.over;
    default:
      return false;
  }
}

void RefuseConditionsAsValues(const Expr& e, bool truth_value, bool nested) {
  if (!truth_value && IsCondition(e)) {
    // REGEXP_LIKE is no function name where Oracle reads a value; another condition ends the
    // expression where the parser of Oracle expects a value.
    if (e.kind == ExprKind::kFunction) {
      throw SqlError("ORA-00904: \"" + e.text + "\": invalid identifier");
    }
    throw SqlError(nested ? "ORA-00907: missing right parenthesis (a condition read as a value)"
                          : "ORA-00923: FROM keyword not found where expected (a condition read "
                            "as a value)");
  }
  const bool logical = (e.kind == ExprKind::kBinary && (e.text == "AND" || e.text == "OR")) ||
                       (e.kind == ExprKind::kUnary && e.text == "NOT") ||
                       (e.kind == ExprKind::kFunction && e.text == "LNNVL");
  const size_t first_when = e.has_operand ? 1 : 0;
  const size_t last_when = e.args.size() - (e.has_else ? 1 : 0);
  for (size_t i = 0; i < e.args.size(); ++i) {
    // A searched CASE reads its WHEN operands as truth values.
    const bool when = e.kind == ExprKind::kCase && !e.has_operand && i >= first_when &&
                      i < last_when && (i - first_when) % 2 == 0;
    RefuseConditionsAsValues(*e.args[i], logical || when, true);
  }
}

}  // namespace

// A date compares with no number, neither way round: Oracle refuses the statement whatever
// its rows. `expected` is the type of the value compared first. The result code is the one a
// number read as a date fails with.
void RefuseDateComparedWithNumber(SqlType expected, SqlType got) {
  const bool date_number = expected == SqlType::kDate && got == SqlType::kNumber;
  const bool number_date = expected == SqlType::kNumber && got == SqlType::kDate;
  if (!date_number && !number_date) return;
  throw SqlError(date_number ? "ORA-00932: inconsistent datatypes: expected DATE got NUMBER"
                             : "ORA-00932: inconsistent datatypes: expected NUMBER got DATE",
                 kConversionFailed);
}

void RefuseConditionAsValue(const Expr& e) { RefuseConditionsAsValues(e, false, false); }

// LNNVL(condition): true where the condition is false or unknown, false where it is true. It
// takes one simple condition: no AND, OR or BETWEEN.
SqlType Translator::EmitLnnvl(const Expr& e, const Scope* scope, std::string* out) {
  if (e.args.size() != 1) throw SqlError("ORA-00909: invalid number of arguments for LNNVL");
  const Expr& c = *e.args[0];
  if (!IsCondition(c)) throw SqlError("ORA-00920: invalid relational operator in LNNVL");
  if ((c.kind == ExprKind::kBinary && (c.text == "AND" || c.text == "OR")) ||
      c.kind == ExprKind::kBetween) {
    throw SqlError("ORA-00907: missing right parenthesis (LNNVL takes no AND, OR or BETWEEN)");
  }
  out->append("(CASE WHEN ");
  Emit(c, scope, out);
  out->append(pg_ ? " THEN false ELSE true END)" : " THEN 0 ELSE 1 END)");
  return SqlType::kNumber;
}

namespace {

// A text literal compared with a date is read in the default date format ('2008-01-01' is
// that day at midnight, '2008-1-2 8:00' is read as well); false when `value` is no text
// literal compared with a date. A text that is no date is refused here, whatever the rows, as
// Oracle refuses it (a shape's value passes through unread: its text is refused as written).
bool AppendDateLiteral(SqlType compared_with, const Expr& value, std::string* out) {
  if (compared_with != SqlType::kDate || value.kind != ExprKind::kString || value.text.empty()) {
    return false;
  }
  AppendStringLiteral(FormatDate(*ReadDateLiteral(value)), out);
  return true;
}

// The conversion that reads a text compared with a value of type `compared_with`: a number's
// or a date's; none for other types.
const char* TextConversion(SqlType compared_with) {
  return compared_with == SqlType::kNumber ? "ora_num("
         : compared_with == SqlType::kDate ? "ora_date_in("
                                           : nullptr;
}

}  // namespace

// EXISTS (query), value IN (query) and (value, ...) IN (query). A text beside a number or a
// date is read as one, on either side: the query's column through an outer query over it.
SqlType Translator::EmitSubqueryCondition(const Expr& e, const Scope* scope, std::string* out) {
  if (e.kind == ExprKind::kExists) {
    if (e.negated) out->append("NOT ");
    out->append("EXISTS (");
    EmitSelect(*e.subquery, scope, out);
    out->push_back(')');
    return SqlType::kNumber;
  }
  std::vector<const Expr*> compared;
  if (e.args[0]->kind == ExprKind::kRow) {
    for (const auto& value : e.args[0]->args) compared.push_back(value.get());
  } else {
    compared.push_back(e.args[0].get());
  }
  CheckSelectWidth(*e.subquery, compared.size());
  std::vector<SqlType> values;  // the type of each value compared with a column of the query
  std::vector<std::pair<size_t, size_t>> spans;  // where each value is printed
  const bool row = e.args[0]->kind == ExprKind::kRow;
  if (row) out->push_back('(');
  for (const Expr* value : compared) {
    if (!spans.empty()) out->append(", ");
    const size_t start = out->size();
    values.push_back(Emit(*value, scope, out));
    spans.emplace_back(start, out->size());
  }
  if (row) out->push_back(')');
  out->append(e.negated ? " NOT IN (" : " IN (");
  // The query's columns are named so that an outer query can read them as numbers or dates.
  std::vector<std::string> names;
  for (SqlType value : values) {
    if (TextConversion(value) == nullptr) continue;
    for (size_t i = 0; i < values.size(); ++i) names.push_back("H$IN" + std::to_string(i + 1));
    break;
  }
  const size_t query = out->size();
  const std::vector<ColumnInfo> columns =
      EmitSelect(*e.subquery, scope, out, names.empty() ? nullptr : &names);
  std::string outer;
  bool converts = false;
  for (size_t i = 0; i < values.size() && i < columns.size(); ++i) {
    RefuseDateComparedWithNumber(values[i], columns[i].type);
    std::string column;
    AppendName(columns[i].name, &column);
    const char* conversion =
        columns[i].type == SqlType::kText ? TextConversion(values[i]) : nullptr;
    outer.append(i ? ", " : "SELECT ");
    if (conversion) {
      outer.append(conversion).append(column).push_back(')');
      converts = true;
    } else {
      outer.append(column);
    }
  }
  if (converts) {
    out->replace(query, std::string::npos,
                 outer + " FROM (" + out->substr(query) + ") AS \"H$IN\"");
  }
  out->push_back(')');
  // The values that are texts, read as the query's numbers or dates; the last first, so that
  // the places of the others stay where they were printed.
  for (size_t i = std::min(values.size(), columns.size()); i-- > 0;) {
    if (values[i] != SqlType::kText) continue;
    if (const char* conversion = TextConversion(columns[i].type)) {
      out->insert(spans[i].second, ")");
      out->insert(spans[i].first, conversion);
    }
  }
  return SqlType::kNumber;
}

SqlType Translator::EmitInList(const Expr& e, const Scope* scope, std::string* out) {
  if (e.args[0]->kind == ExprKind::kRow) {
    // (a, b) IN ((x, y), ...): each value of a row compares with the value beside it.
    std::vector<SqlType> types;
    EmitRowOfValues(*e.args[0], nullptr, scope, out, &types);
    out->append(e.negated ? " NOT IN (" : " IN (");
    for (size_t i = 1; i < e.args.size(); ++i) {
      if (i > 1) out->append(", ");
      EmitRowOfValues(*e.args[i], &types, scope, out, nullptr);
    }
    out->push_back(')');
    return SqlType::kNumber;
  }
  if (EmitExactInList(e, scope, out)) return SqlType::kNumber;
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

// A row of values: compared with the values of the row whose types `compared_with` holds,
// value by value (a row of another width is printed as it stands, for the engine to refuse);
// the types of its own values added to `types` when it is given.
void Translator::EmitRowOfValues(const Expr& row, const std::vector<SqlType>* compared_with,
                                 const Scope* scope, std::string* out,
                                 std::vector<SqlType>* types) {
  if (row.kind != ExprKind::kRow || (compared_with && compared_with->size() != row.args.size())) {
    Emit(row, scope, out);
    return;
  }
  out->push_back('(');
  for (size_t i = 0; i < row.args.size(); ++i) {
    if (i) out->append(", ");
    if (compared_with) {
      EmitComparedValue((*compared_with)[i], *row.args[i], scope, out);
    } else {
      types->push_back(Emit(*row.args[i], scope, out));
    }
  }
  out->push_back(')');
}

// A value compared with one of type `compared_with`: a numeric text beside a number is the
// number, a date text beside a date is the date.
void Translator::EmitComparedValue(SqlType compared_with, const Expr& value, const Scope* scope,
                                   std::string* out) {
  double v;
  if (compared_with == SqlType::kNumber) CheckNumberLiteral(value);
  if (compared_with == SqlType::kNumber && value.kind == ExprKind::kString &&
      LiteralNumber(value, &v)) {
    AppendNumber(v, out);
  } else if (!AppendDateLiteral(compared_with, value, out)) {
    const size_t start = out->size();
    const SqlType t = Emit(value, scope, out);
    RefuseDateComparedWithNumber(compared_with, t);
    if (compared_with == SqlType::kNumber && value.kind == ExprKind::kString) {
      // A text that is no number, left to fail where a row evaluates it.
      out->insert(start, "ora_num(");
      out->push_back(')');
    }
    if (compared_with == SqlType::kDate && t == SqlType::kText) {
      // A text compared with a date is read as one, failing where it holds no date.
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

// A column matched against a pattern that starts with characters of its own lies between them
// and the text just past every text they start: the range, beside the match printed at
// out[start..], lets the engine search the column's index, as it would for its own LIKE (the
// matching is ours, like_pattern.h, which the engine does not know). The range compares bytes,
// NULs and every other character as they are, so that it admits every row the match admits.
void Translator::BoundLikePrefix(std::string_view pattern, char escape, const std::string& column,
                                 size_t start, std::string* out) const {
  const std::string prefix = functions::LiteralPrefix(pattern, escape);
  if (prefix.empty() || prefix.find('\0') != std::string::npos) return;
  std::string past(prefix);
  while (!past.empty() && static_cast<unsigned char>(past.back()) == 0xFF) past.pop_back();
  // The range first: a row outside it is not matched at all.
  std::string range = "(" + column + " >= ";
  AppendStringLiteral(prefix, &range);
  if (!past.empty()) {
    past.back() = static_cast<char>(static_cast<unsigned char>(past.back()) + 1);
    range.append(" AND ").append(column).append(" < ");
    AppendStringLiteral(past, &range);
  }
  out->insert(start, range + " AND ");
  out->push_back(')');
}

// Whether the column `e` names is a table's that no index holds, where a range of its values
// would only add two comparisons to each row of the table's scan.
bool Translator::InNoIndex(const Expr& e, const Scope* scope) {
  const ColumnInfo* column = ResolveColumn(e, scope);
  return column != nullptr && column->origin_table != nullptr &&
         column->origin_column != nullptr &&
         catalog_.InNoIndex(*column->origin_table, *column->origin_column);
}

// A pattern written in the statement of ASCII characters then '%', matched on the file by the
// engine's own GLOB, which reads such a pattern exactly as ours (like_pattern.h) does whatever
// the text: its match reads the pattern once, and a column's index is searched between the
// pattern's first characters, with no comparison on a scan. Other patterns, and one past the
// engine's length for them, are matched by ours.
bool Translator::EmitAnchoredLike(const Expr& e, std::string* out) {
  const Expr& pattern = *e.args[1];
  const Expr* escape = e.args.size() > 2 ? e.args[2].get() : nullptr;
  if (pattern.kind != ExprKind::kString || pattern.text.size() > kLongestGlobPattern) return false;
  if (escape != nullptr && (escape->kind != ExprKind::kString || escape->text.size() != 1 ||
                            !functions::EscapesValid(pattern.text, escape->text[0]))) {
    return false;
  }
  const char escape_char = escape != nullptr ? escape->text[0] : '\0';
  if (!functions::GlobMatchesAlike(pattern.text, escape_char)) return false;
  out->append(e.negated ? " NOT GLOB " : " GLOB ");
  AppendStringLiteral(functions::GlobOfLike(pattern.text, escape_char), out);
  return true;
}

// LIKE (with its ESCAPE) and IS [NOT] NULL.
SqlType Translator::EmitPattern(const Expr& e, const Scope* scope, std::string* out) {
  const size_t start = out->size();
  const SqlType t = e.kind == ExprKind::kLike && EmitLongLiteralText(*e.args[0], out)
                        ? SqlType::kText
                        : Emit(*e.args[0], scope, out);
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
  if (pg_) {
    const std::string value = out->substr(start);
    out->resize(start);
    PgLike(e, scope, value, out);
    return SqlType::kNumber;
  }
  const Expr& pattern = *e.args[1];
  if (EmitAnchoredLike(e, out)) return SqlType::kNumber;
  const size_t value_end = out->size();
  out->append(e.negated ? " NOT LIKE " : " LIKE ");
  Emit(pattern, scope, out);
  if (e.args.size() > 2) {
    out->append(" ESCAPE ");
    Emit(*e.args[2], scope, out);
  }
  // With an escape, only one the pattern reads without error: a pattern that fails must fail
  // whatever rows the range admits.
  const Expr* escape = e.args.size() > 2 ? e.args[2].get() : nullptr;
  const bool sound_escape = escape == nullptr ||
                            (escape->kind == ExprKind::kString && escape->text.size() == 1 &&
                             functions::EscapesValid(pattern.text, escape->text[0]));
  if (!e.negated && sound_escape && t == SqlType::kText && e.args[0]->kind == ExprKind::kColumn &&
      pattern.kind == ExprKind::kString && !InNoIndex(*e.args[0], scope)) {
    BoundLikePrefix(pattern.text, escape != nullptr ? escape->text[0] : '\0',
                    out->substr(start, value_end - start), start, out);
  }
  return SqlType::kNumber;
}

// Printed in place; rebuilt only in the rare case that an operand must be converted.
SqlType Translator::EmitComparison(const Expr& e, const Scope* scope, std::string* out) {
  if (e.args[0]->kind == ExprKind::kRow && e.args[1]->kind == ExprKind::kRow) {
    // (a, b) = (x, y): each value of a row compares with the value beside it.
    std::vector<SqlType> types;
    out->push_back('(');
    EmitRowOfValues(*e.args[0], nullptr, scope, out, &types);
    out->append(" ").append(e.text).append(" ");
    EmitRowOfValues(*e.args[1], &types, scope, out, nullptr);
    out->push_back(')');
    return SqlType::kNumber;
  }
  out->push_back('(');
  ComparisonSpans spans;
  // A row of values compares with a query of as many values: (a, b) = (SELECT x, y ...).
  auto operand = [&](const Expr& side, const Expr& other) {
    if (side.kind == ExprKind::kSubquery && other.kind == ExprKind::kRow) {
      return EmitSubquery(side, scope, out, other.args.size());
    }
    return Emit(side, scope, out);
  };
  spans.l0 = out->size();
  spans.lt = operand(*e.args[0], *e.args[1]);
  spans.l1 = out->size();
  out->push_back(' ');
  out->append(e.text);
  out->push_back(' ');
  spans.r0 = out->size();
  spans.rt = operand(*e.args[1], *e.args[0]);
  RefuseDateComparedWithNumber(spans.lt, spans.rt);
  ConvertComparedText(e, &spans, out);
  ConvertComparedDate(e, &spans, out);
  PadComparedText(e, scope, &spans, out);
  if ((spans.lt == SqlType::kDate) != (spans.rt == SqlType::kDate) &&
      (spans.lt == SqlType::kText || spans.rt == SqlType::kText)) {
    // A text compared with a date is read as one, failing where it holds no date (the file
    // reads a text literal when the statement is translated).
    const bool left_text = spans.lt != SqlType::kDate;
    if (pg_ || (left_text ? *e.args[0] : *e.args[1]).kind != ExprKind::kString) {
      std::string left = out->substr(spans.l0, spans.l1 - spans.l0);
      std::string right = out->substr(spans.r0);
      std::string& text_side = left_text ? left : right;
      text_side = "ora_date_in(" + text_side + ")";
      RewriteComparison(e, &spans, left, right, out);
    }
  }
  // Computed numbers compare exactly where they can, else as they are shown (15 significant
  // digits on the file, a NUMBER's 39 or 40 on PostgreSQL), so that 0.1 + 0.2 equals 0.3.
  if (spans.lt == SqlType::kNumber && spans.rt == SqlType::kNumber &&
      !EmitExactComparison(e, scope, spans, out)) {
    // On the server a quotient, a date difference and a product or sum printed inside ora_shown
    // are rounded already.
    auto computed = [&](const Expr& operand) {
      if (operand.kind != ExprKind::kBinary) return false;
      if (pg_ && (operand.text == "/" || ServerRounds(operand, scope) ||
                  (operand.text == "-" && IsDaysBetween(operand, scope)))) {
        return false;
      }
      return operand.text == "+" || operand.text == "-" || operand.text == "*" ||
             operand.text == "/";
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
  const std::string left = WithoutTrailingBlanks(out->substr(spans->l0, spans->l1 - spans->l0));
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
  CheckNumberLiteral(text_side);
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

}  // namespace korvalis::db::detail
