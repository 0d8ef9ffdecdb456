// Exact NUMBER arithmetic on the embedded engine, where numbers are 64-bit integers and
// doubles. Arithmetic prints as the exact functions, which compute in decimal to a NUMBER's
// digits (number_functions.cpp, exact_number_functions.cpp, number_aggregates.cpp):
// - a query's own result columns: + - * / as ora_result_add ... (their operands as
//   ora_exact_add ...), SUM and AVG as ora_result_sum and ora_result_avg, the functions of
//   numbers (ROUND, TRUNC, MOD ...) as ora_result_round ..., MIN and MAX of computed values as
//   ora_exact_min and ora_exact_max, NVL, COALESCE, NULLIF, GREATEST, LEAST, CASE and DECODE
//   of them giving back the exact value chosen, TO_CHAR of them and a concatenation of them as ora_exact_text;
//   a difference of two dates, its seconds over 86400, as ora_result_date_diff (as an operand
//   ora_exact_date_diff), except under TRUNC alone: the whole days, an integer already;
//   a result that a double cannot show is its text, which nothing but the caller reads;
// - a comparison with a computed side: ora_compare of the exact values, which answers for any
//   length, as the engine would order a long value's text after every number;
// - BETWEEN: two such comparisons; an IN list, one for each value;
// - a computed sort key: ora_sort_key, bytes that sort as the exact values do;
// - the argument of SUM and AVG: exact, the aggregates reading a long value's text;
// - a computed GROUP BY or PARTITION BY item: its exact value, one text or number for each
//   decimal;
// - a computed column of an inline view, a scalar subquery or a set operation's branch: an
//   exact operand (ora_exact_add ...), which the query around it reads as computed above, and
//   elsewhere through ora_num, the number nearest it; a set operation ordered by such a column
//   is read as a view whose sort keys name it.
#include <algorithm>

#include "platform/db/ora_decimal.h"
#include "platform/db/ora_number.h"
#include "platform/db/sql_error.h"
#include "platform/db/sql_translator_internal.h"

namespace korvalis::db::detail {
namespace {

// The engine's parser takes calls nested a few dozen deep; deeper arithmetic prints as usual.
constexpr int kMaxExactDepth = 24;

bool IsArithmetic(const Expr& e) {
  return e.kind == ExprKind::kBinary && e.args.size() == 2 &&
         (e.text == "+" || e.text == "-" || e.text == "*" || e.text == "/");
}

// SUM or AVG of a query block's rows or of a window.
bool IsNumberAggregate(const Expr& e) {
  return e.kind == ExprKind::kFunction && (!e.over || !e.distinct) && e.args.size() == 1 &&
         e.args[0]->kind != ExprKind::kStar && (e.text == "SUM" || e.text == "AVG");
}

// A function of numbers printed as one of the exact functions, as an operand and as a result.
struct ExactNumberFunction {
  std::string_view name;
  size_t min_args, max_args;
  const char* operand;
  const char* result;
  // Gives back one of its arguments unchanged: computed only where an argument is, and every
  // argument a number.
  bool passes_through;
  // Its arguments are dates, printed as they are.
  bool dates = false;
};

constexpr ExactNumberFunction kExactFunctions[] = {
    {"ROUND", 1, 2, "ora_exact_round(", "ora_result_round(", false},
    {"TRUNC", 1, 2, "ora_exact_trunc(", "ora_result_trunc(", false},
    {"CEIL", 1, 1, "ora_exact_ceil(", "ora_result_ceil(", false},
    {"FLOOR", 1, 1, "ora_exact_floor(", "ora_result_floor(", false},
    {"ABS", 1, 1, "ora_exact_abs(", "ora_result_abs(", false},
    {"SIGN", 1, 1, "ora_exact_sign(", "ora_exact_sign(", false},
    {"MOD", 2, 2, "ora_exact_mod(", "ora_result_mod(", false},
    {"REMAINDER", 2, 2, "ora_exact_remainder(", "ora_result_remainder(", false},
    {"POWER", 2, 2, "ora_exact_power(", "ora_result_power(", false},
    {"SQRT", 1, 1, "ora_exact_sqrt(", "ora_result_sqrt(", false},
    {"EXP", 1, 1, "ora_exact_exp(", "ora_result_exp(", false},
    {"LN", 1, 1, "ora_exact_ln(", "ora_result_ln(", false},
    {"LOG", 2, 2, "ora_exact_log(", "ora_result_log(", false},
    {"GREATEST", 1, kMaxCallArguments, "ora_exact_greatest(", "ora_exact_greatest(", true},
    {"LEAST", 1, kMaxCallArguments, "ora_exact_least(", "ora_exact_least(", true},
    {"NVL", 2, 2, "coalesce(", "coalesce(", true},
    {"COALESCE", 2, kMaxCallArguments, "coalesce(", "coalesce(", true},
    {"NULLIF", 2, 2, "ora_exact_nullif(", "ora_exact_nullif(", true},
    {"MONTHS_BETWEEN", 2, 2, "ora_exact_months_between(", "ora_result_months_between(", false,
     true},
};

const ExactNumberFunction* FindExactFunction(const Expr& e) {
  if (e.kind != ExprKind::kFunction || e.over || e.distinct) return nullptr;
  for (const ExactNumberFunction& f : kExactFunctions) {
    if (f.name != e.text) continue;
    if (e.args.size() < f.min_args || e.args.size() > f.max_args) return nullptr;
    for (const auto& a : e.args) {
      if (a->kind == ExprKind::kStar) return nullptr;
    }
    return &f;
  }
  return nullptr;
}

// MIN or MAX of a query block's rows.
bool IsExtremeAggregate(const Expr& e) {
  return e.kind == ExprKind::kFunction && !e.over && e.args.size() == 1 &&
         e.args[0]->kind != ExprKind::kStar && (e.text == "MIN" || e.text == "MAX");
}

// -x or +x of a number.
bool IsSigned(const Expr& e) {
  return e.kind == ExprKind::kUnary && e.args.size() == 1 && (e.text == "-" || e.text == "+");
}

// DECODE(key, search, result, ..., default).
bool IsDecode(const Expr& e) {
  return e.kind == ExprKind::kFunction && e.text == "DECODE" && !e.over && e.args.size() >= 3;
}

// The results of CASE or DECODE; none for other expressions.
std::vector<const Expr*> ResultArms(const Expr& e) {
  std::vector<const Expr*> arms;
  if (IsDecode(e)) {
    size_t i = 1;
    for (; i + 1 < e.args.size(); i += 2) arms.push_back(e.args[i + 1].get());
    if (i < e.args.size()) arms.push_back(e.args[i].get());
  } else if (e.kind == ExprKind::kCase) {
    const size_t pairs_end = e.args.size() - (e.has_else ? 1 : 0);
    for (size_t i = e.has_operand ? 1 : 0; i + 1 < pairs_end + 1 && i < pairs_end; i += 2) {
      arms.push_back(e.args[i + 1].get());
    }
    if (e.has_else) arms.push_back(e.args.back().get());
  }
  return arms;
}

// The function of `op`: of the column's value itself (`result`) or of an operand of it.
const char* ExactFunction(std::string_view op, bool result) {
  if (op == "+") return result ? "ora_result_add(" : "ora_exact_add(";
  if (op == "-") return result ? "ora_result_sub(" : "ora_exact_sub(";
  if (op == "*") return result ? "ora_result_mul(" : "ora_exact_mul(";
  return result ? "ora_result_div(" : "ora_exact_div(";
}

bool HasStar(const SelectCore& core) {
  for (const sql::SelectItem& item : core.items) {
    if (item.expr->kind == ExprKind::kStar) return true;
  }
  return false;
}

// The index of the select item an ORDER BY item names by its alias or its position; -1 for
// none.
int NamedItem(const SelectCore& core, const Expr& e) {
  for (size_t i = 0; i < core.items.size(); ++i) {
    const std::string& alias = core.items[i].alias.text;
    if (e.kind == ExprKind::kColumn && e.parts.size() == 1 && !alias.empty() &&
        EqualsIgnoringAsciiCase(e.parts[0].text, alias)) {
      return static_cast<int>(i);
    }
    if (e.kind == ExprKind::kNumber && e.text == std::to_string(i + 1)) return static_cast<int>(i);
  }
  return -1;
}

size_t SignificantDigits(std::string_view literal) {
  size_t digits = 0;
  bool leading = true;
  for (char c : literal) {
    if (c == 'e' || c == 'E') break;
    if (c < '0' || c > '9') continue;
    if (leading && c == '0') continue;
    leading = false;
    ++digits;
  }
  return digits;
}

// A literal written as a decimal without exponent is: without leading zeros, or trailing zeros
// after the point ("0.50" is 0.5, ".5" 0.5, "1.5E3" 1500).
std::string PlainDecimal(std::string_view literal) {
  if (literal.find_first_of("eE") != std::string_view::npos) {
    const std::optional<DecimalDigits> d = ParseDigits(literal);
    if (!d || d->sign == 0) return "0";
    std::string plain;
    AppendDecimalDigits(false, d->digits, d->exponent, &plain);
    return plain;
  }
  if (literal.find('.') != std::string_view::npos) {
    literal.remove_suffix(literal.size() - 1 - literal.find_last_not_of('0'));
    if (literal.ends_with('.')) literal.remove_suffix(1);
  }
  const size_t first = literal.find_first_not_of('0');
  literal.remove_prefix(first == std::string_view::npos ? literal.size() : first);
  if (literal.empty()) return "0";
  return literal.starts_with('.') ? "0" + std::string(literal) : std::string(literal);
}

// A literal of more significant digits than a double shows, or its negation: a select item
// keeps its digits.
bool IsLongLiteral(const Expr& e) {
  if (e.kind == ExprKind::kUnary && e.text == "-" && e.args.size() == 1) {
    return e.args[0]->kind == ExprKind::kNumber && IsLongLiteral(*e.args[0]);
  }
  if (e.kind != ExprKind::kNumber) return false;
  if (e.text.find_first_of("eE") == std::string::npos) {
    return SignificantDigits(PlainDecimal(e.text)) > 15;
  }
  // With an exponent, the zeros that end its digits are no digits of its own.
  const std::optional<DecimalDigits> d = ParseDigits(e.text);
  return d && d->digits.size() > 15;
}

}  // namespace

bool Translator::IsComputed(const Expr& e, const Scope* scope) {
  if (IsArithmetic(e) || IsNumberAggregate(e)) return true;
  if (IsExtremeAggregate(e) || IsSigned(e)) return IsComputed(*e.args[0], scope);
  if (IsDecode(e) || e.kind == ExprKind::kCase) {
    const std::vector<const Expr*> arms = ResultArms(e);
    return std::any_of(arms.begin(), arms.end(),
                       [&](const Expr* a) { return IsComputed(*a, scope); });
  }
  if (const ExactNumberFunction* f = FindExactFunction(e)) {
    return !f->passes_through || std::any_of(e.args.begin(), e.args.end(), [&](const auto& a) {
      return IsComputed(*a, scope);
    });
  }
  return ExactLeaf(e, scope);
}

bool Translator::ExactLeaf(const Expr& e, const Scope* scope) {
  if (pg_) return false;
  if (e.kind == ExprKind::kColumn) {
    const ColumnInfo* c = ResolveColumn(e, scope);
    return c != nullptr && c->exact_number;
  }
  return e.kind == ExprKind::kSubquery && SelectWidth(*e.subquery) == 1 &&
         ScalarSubquery(e, scope).exact;
}

const Translator::PrintedSubquery& Translator::ScalarSubquery(const Expr& e, const Scope* scope) {
  const std::pair<const Expr*, uint64_t> key{&e, scope ? scope->serial : 0};
  auto it = printed_subqueries_.find(key);
  if (it == printed_subqueries_.end()) {
    PrintedSubquery printed = PrintScalarSubquery(e, scope);
    it = printed_subqueries_.emplace(key, std::move(printed)).first;
  }
  return it->second;
}

const Select* Translator::ExactOwner(const SelectCore& core) const {
  if (exact_select_ != nullptr && &core == &exact_select_->cores[0]) return exact_select_;
  const auto it = exact_cores_.find(&core);
  return it == exact_cores_.end() ? nullptr : it->second;
}

void Translator::MarkExactColumns(const Select& select) {
  if (pg_) return;
  for (const SelectCore& core : select.cores) exact_cores_.emplace(&core, &select);
}

bool Translator::PrintsExactly(const SelectCore& core, size_t index, const Scope* scope) {
  const Select* owner = ExactOwner(core);
  if (owner == nullptr) return false;
  const Expr& computed = *core.items[index].expr;
  if (IsLongLiteral(computed)) return true;
  // The whole days between two dates are an integer the engine compares and sorts itself.
  if (!IsComputed(computed, scope) || IsWholeDaysBetween(computed, scope)) return false;
  if (HasStar(core)) {
    // Positions count the columns a star stands for: no sort may read the column's text.
    for (const sql::OrderItem& item : owner->order_by) {
      if (NamedItem(core, *item.expr) == static_cast<int>(index)) return false;
    }
  }
  return ExactOperands(computed, scope, 0);
}

// Every operand, however deep, is a number or a text read as one (never a date); the value
// a function of numbers rounds, and the arguments of one that gives back one of them, are
// numbers.
bool Translator::ExactOperands(const Expr& e, const Scope* scope, int depth) {
  if (IsDaysBetween(e, scope)) return true;
  if (IsArithmetic(e)) {
    return depth < kMaxExactDepth && ExactOperands(*e.args[0], scope, depth + 1) &&
           ExactOperands(*e.args[1], scope, depth + 1);
  }
  if (IsSigned(e) && IsComputed(e, scope)) {
    return depth < kMaxExactDepth && ExactOperands(*e.args[0], scope, depth + 1);
  }
  if ((IsDecode(e) || e.kind == ExprKind::kCase) && IsComputed(e, scope)) {
    return ExactArms(e, scope, depth);
  }
  const ExactNumberFunction* f = FindExactFunction(e);
  if (f != nullptr || (IsExtremeAggregate(e) && IsComputed(e, scope))) {
    if (depth >= kMaxExactDepth) return false;
    if (f != nullptr && f->dates) {
      return std::all_of(e.args.begin(), e.args.end(),
                         [&](const auto& a) { return TypeOf(*a, scope) == SqlType::kDate; });
    }
    for (size_t i = 0; i < e.args.size(); ++i) {
      const Expr& argument = *e.args[i];
      const bool number = f == nullptr || f->passes_through ||
                          (i == 0 && (f->name == "ROUND" || f->name == "TRUNC"));
      if (number) {
        const SqlType t = TypeOf(argument, scope);
        if (t != SqlType::kNumber && t != SqlType::kNull) return false;
      }
      if (!ExactOperands(argument, scope, depth + 1)) return false;
    }
    return true;
  }
  // A scalar subquery is an operand only where it gives exact values (never a date's
  // difference, which stays binary).
  if (e.kind == ExprKind::kSubquery) return ExactLeaf(e, scope);
  const SqlType t = TypeOf(e, scope);
  return t == SqlType::kNumber || t == SqlType::kText || t == SqlType::kNull;
}

// The results of CASE or DECODE are numbers, the first of them not NULL, and exact; DECODE
// compares its key as a number, CASE its operand, if any, with numbers.
bool Translator::ExactArms(const Expr& e, const Scope* scope, int depth) {
  if (depth >= kMaxExactDepth || ContainsQuery(e)) return false;
  if (IsDecode(e) && (TypeOf(*e.args[1], scope) != SqlType::kNumber ||
                      TypeOf(*e.args[2], scope) != SqlType::kNumber)) {
    return false;
  }
  if (e.kind == ExprKind::kCase && e.has_operand &&
      TypeOf(*e.args[0], scope) != SqlType::kNumber) {
    return false;
  }
  for (const Expr* arm : ResultArms(e)) {
    const SqlType t = TypeOf(*arm, scope);
    if ((t != SqlType::kNumber && t != SqlType::kNull) || !ExactOperands(*arm, scope, depth + 1)) {
      return false;
    }
  }
  return true;
}

// CASE as its printer prints it, the results exact.
void Translator::EmitExactCase(const Expr& e, const Scope* scope, std::string* out) {
  out->append("CASE");
  size_t i = 0;
  const size_t pairs_end = e.args.size() - (e.has_else ? 1 : 0);
  if (e.has_operand) {
    out->push_back(' ');
    Emit(*e.args[0], scope, out);
    i = 1;
  }
  std::optional<LazyArms> lazy;
  for (; i < pairs_end; i += 2) {
    out->append(" WHEN ");
    Emit(*e.args[i], scope, out);
    out->append(" THEN ");
    if (!lazy) lazy.emplace(this);
    EmitExact(*e.args[i + 1], scope, false, out);
  }
  if (e.has_else) {
    out->append(" ELSE ");
    EmitExact(*e.args.back(), scope, false, out);
  }
  out->append(" END");
}

bool Translator::IsDaysBetween(const Expr& e, const Scope* scope) {
  return e.kind == ExprKind::kBinary && e.text == "-" && e.args.size() == 2 &&
         TypeOf(*e.args[0], scope) == SqlType::kDate && TypeOf(*e.args[1], scope) == SqlType::kDate;
}

bool Translator::IsWholeDaysBetween(const Expr& e, const Scope* scope) {
  return e.kind == ExprKind::kFunction && e.text == "TRUNC" && !e.over && e.args.size() == 1 &&
         IsDaysBetween(*e.args[0], scope);
}

void Translator::EmitGroupingKeys(const std::vector<sql::ExprPtr>& keys, const Scope* scope,
                                  std::string* out) {
  for (size_t i = 0; i < keys.size(); ++i) {
    if (i) out->append(", ");
    if (ComputedExactly(*keys[i], scope)) {
      EmitExact(*keys[i], scope, false, out);
    } else {
      Emit(*keys[i], scope, out);
    }
  }
}

SqlType Translator::EmitExact(const Expr& e, const Scope* scope, bool result, std::string* out) {
  if (IsWholeDaysBetween(e, scope)) return Emit(e, scope, out);
  if (IsDaysBetween(e, scope)) {
    out->append(result ? "ora_result_date_diff(" : "ora_exact_date_diff(");
    Emit(*e.args[0], scope, out);
    out->append(", ");
    Emit(*e.args[1], scope, out);
    out->push_back(')');
    return SqlType::kNumber;
  }
  if ((IsDecode(e) || e.kind == ExprKind::kCase) && IsComputed(e, scope)) {
    if (e.kind == ExprKind::kCase) {
      EmitExactCase(e, scope, out);
    } else {
      exact_decode_results_ = true;
      EmitDecode(e, scope, out);
    }
    return SqlType::kNumber;
  }
  if (IsLongLiteral(e)) {
    // Its digits as text, which the exact functions read and a result shows.
    const bool negative = e.kind == ExprKind::kUnary;
    AppendStringLiteral((negative ? "-" : "") + PlainDecimal((negative ? *e.args[0] : e).text), out);
    return SqlType::kNumber;
  }
  if (IsSigned(e) && IsComputed(e, scope)) {
    if (e.text == "+") return EmitExact(*e.args[0], scope, result, out);
    out->append(result ? "ora_result_sub(0, " : "ora_exact_sub(0, ");
    EmitExact(*e.args[0], scope, false, out);
    out->push_back(')');
    return SqlType::kNumber;
  }
  const ExactNumberFunction* f = FindExactFunction(e);
  if (f != nullptr || (IsExtremeAggregate(e) && IsComputed(e, scope))) {
    if (f == nullptr) {
      out->append(e.text == "MIN" ? "ora_exact_min(" : "ora_exact_max(");
    } else {
      out->append(result ? f->result : f->operand);
    }
    for (size_t i = 0; i < e.args.size(); ++i) {
      if (i) out->append(", ");
      if (f != nullptr && f->dates) {
        Emit(*e.args[i], scope, out);
      } else {
        EmitExact(*e.args[i], scope, false, out);
      }
    }
    out->push_back(')');
    return SqlType::kNumber;
  }
  if (!IsArithmetic(e)) {
    if (e.kind == ExprKind::kNumber && SignificantDigits(e.text) > 15) {
      // A literal longer than a double keeps its digits as text, which the functions read.
      AppendStringLiteral(e.text, out);
      return SqlType::kNumber;
    }
    if (IsNumberAggregate(e)) {
      std::string argument;
      const SqlType t = EmitAggregateArgument(e, scope, &argument);
      out->append(NumberAggregate(e.text, t, result ? ExactForm::kResult : ExactForm::kOperand));
      out->append("(").append(argument).push_back(')');
      if (e.over) EmitWindow(*e.over, scope, out);
      return SqlType::kNumber;
    }
    // A column of exact operands is read as it is held.
    if (e.kind == ExprKind::kColumn) return EmitColumn(e, scope, out, true);
    return Emit(e, scope, out);
  }
  out->append(ExactFunction(e.text, result));
  EmitExact(*e.args[0], scope, false, out);
  out->append(", ");
  EmitExact(*e.args[1], scope, false, out);
  out->push_back(')');
  return SqlType::kNumber;
}

// The argument of SUM or AVG, its arithmetic exact on the embedded engine. A text is read as a
// number (one that is none fails with ORA-01722): the embedded aggregates read its digits
// exactly themselves, the server's reads it through ora_num. A date is refused, as Oracle
// refuses it; NULL sums to NULL.
SqlType Translator::EmitAggregateArgument(const Expr& e, const Scope* scope, std::string* out) {
  if (e.distinct) out->append("DISTINCT ");
  const Expr& argument = *e.args[0];
  ++aggregates_open_;
  const size_t start = out->size();
  SqlType type = !pg_ && (IsArithmetic(argument) || ExactLeaf(argument, scope)) &&
                         ExactOperands(argument, scope, 0)
                     ? EmitExact(argument, scope, false, out)
                     : Emit(argument, scope, out);
  --aggregates_open_;
  if (type == SqlType::kDate) {
    throw SqlError("ORA-00932: inconsistent datatypes: expected NUMBER got DATE");
  }
  if (type == SqlType::kText) {
    CheckNumberLiteral(argument);
    if (pg_) {
      out->insert(start, "ora_num(");
      out->push_back(')');
    } else if (e.distinct) {
      // Distinct values are told apart as the numbers they are ('1' and '1.0' are one): the
      // exact sum with 0 gives each number one form.
      out->insert(start, "ora_exact_add(");
      out->append(", 0)");
    }
    type = SqlType::kNumber;
  } else if (pg_ && type == SqlType::kNull) {
    // The server types a bare NULL by what reads it; SUM(NULL) is a NUMBER's NULL.
    out->insert(start, "CAST(");
    out->append(" AS numeric)");
    type = SqlType::kNumber;
  }
  return type;
}

// A side of a comparison or a sort key computed exactly; not the whole days between two dates,
// an integer the engine compares and sorts itself.
bool Translator::ComputedExactly(const Expr& e, const Scope* scope) {
  return !pg_ && IsComputed(e, scope) && !IsWholeDaysBetween(e, scope) &&
         ExactOperands(e, scope, 0);
}

// A comparison of numbers of which a side is computed: ora_compare of the exact values. A
// column compared with a computed value is first compared with a number at or beyond it
// (ora_number_bound), a condition the exact one implies and an index on the column can serve.
bool Translator::EmitExactComparison(const Expr& e, const Scope* scope,
                                     const ComparisonSpans& spans, std::string* out) {
  const Expr& l = *e.args[0];
  const Expr& r = *e.args[1];
  const bool exact_l = ComputedExactly(l, scope), exact_r = ComputedExactly(r, scope);
  if (!exact_l && !exact_r) return false;
  // The other side as printed; a long literal keeps its digits, and other computed values
  // (arithmetic of values whose type only the rows tell) compare as they are shown.
  const auto side = [&](const Expr& operand, bool exact, std::string printed, std::string* sql) {
    if (exact || operand.kind == ExprKind::kNumber) {
      EmitExact(operand, scope, false, sql);
    } else if (IsComputed(operand, scope)) {
      *sql = "ora_shown(" + printed + ")";
    } else {
      *sql = std::move(printed);
    }
  };
  std::string left, right;
  side(l, exact_l, out->substr(spans.l0, spans.l1 - spans.l0), &left);
  side(r, exact_r, out->substr(spans.r0), &right);
  out->resize(spans.l0);
  const std::string_view op = e.text;
  // (A column of exact operands may hold text, which no bound of numbers holds.)
  const bool column_l = l.kind == ExprKind::kColumn && !exact_l && exact_r;
  const bool column_r = r.kind == ExprKind::kColumn && !exact_r && exact_l;
  if (op != "<>" && (column_l || column_r)) {
    // column op value, the value bounded on the side the operator looks to.
    const std::string& column = column_l ? left : right;
    const std::string& value = column_l ? right : left;
    const bool column_below = column_l ? (op[0] == '<') : (op[0] == '>');
    const auto bound = [&](int direction) {
      return "ora_number_bound(" + value + ", " + std::to_string(direction) + ")";
    };
    out->append(column);
    if (op == "=") {
      out->append(" BETWEEN ").append(bound(-1)).append(" AND ").append(bound(1));
    } else {
      out->append(column_below ? " <= " : " >= ").append(bound(column_below ? 1 : -1));
    }
    out->append(" AND ");
  }
  out->append("ora_compare(").append(left).append(", ").append(right).append(") ");
  out->append(op).append(" 0");
  return true;
}

// BETWEEN of numbers of which one is computed: two exact comparisons, a column first bounded
// as in a comparison.
bool Translator::EmitExactBetween(const Expr& e, const Scope* scope, std::string* out) {
  if (pg_) return false;
  bool computed = false;
  for (const auto& operand : e.args) {
    if (TypeOf(*operand, scope) != SqlType::kNumber) return false;
    computed = computed || ComputedExactly(*operand, scope);
  }
  if (!computed) return false;
  std::string value, low, high;
  EmitExact(*e.args[0], scope, false, &value);
  EmitExact(*e.args[1], scope, false, &low);
  EmitExact(*e.args[2], scope, false, &high);
  out->append(e.negated ? "NOT (" : "(");
  if (!e.negated && e.args[0]->kind == ExprKind::kColumn && !ExactLeaf(*e.args[0], scope)) {
    out->append(value).append(" BETWEEN ora_number_bound(").append(low).append(", -1) AND ");
    out->append("ora_number_bound(").append(high).append(", 1) AND ");
  }
  out->append("ora_compare(").append(value).append(", ").append(low).append(") >= 0 AND ");
  out->append("ora_compare(").append(value).append(", ").append(high).append(") <= 0)");
  return true;
}

// An IN list of numbers of which one is computed: an exact comparison with each, joined as
// Oracle joins them (OR for IN, AND for NOT IN), so that a NULL among them keeps its meaning.
bool Translator::EmitExactInList(const Expr& e, const Scope* scope, std::string* out) {
  if (pg_) return false;
  bool computed = false;
  for (const auto& operand : e.args) {
    const SqlType t = TypeOf(*operand, scope);
    if (t != SqlType::kNumber && t != SqlType::kNull) return false;
    computed = computed || ComputedExactly(*operand, scope);
  }
  if (!computed || TypeOf(*e.args[0], scope) != SqlType::kNumber) return false;
  std::string value;
  EmitExact(*e.args[0], scope, false, &value);
  out->append(e.negated ? "NOT (" : "(");
  for (size_t i = 1; i < e.args.size(); ++i) {
    if (i > 1) out->append(" OR ");
    out->append("ora_compare(").append(value).append(", ");
    EmitExact(*e.args[i], scope, false, out);
    out->append(") = 0");
  }
  out->push_back(')');
  return true;
}

// ORDER BY a computed number, or a column printed exactly that the key names: the bytes of its
// exact value, which sort as the numbers do.
bool Translator::EmitExactSortKey(const Expr& e, const SelectCore* named_core, const Scope* scope,
                                  std::string* out) {
  const Expr* sorted = &e;
  if (named_core != nullptr) {
    const SelectCore& core = *named_core;
    const int named = NamedItem(core, e);
    if (named >= 0 && !HasStar(core)) {
      if (!PrintsExactly(core, static_cast<size_t>(named), scope)) return false;
      sorted = core.items[static_cast<size_t>(named)].expr.get();
    }
  }
  if (!ComputedExactly(*sorted, scope)) return false;
  out->append("ora_sort_key(");
  EmitExact(*sorted, scope, false, out);
  out->push_back(')');
  return true;
}

bool Translator::WritesExactDigits(const Expr& e, const Scope* scope) {
  return !pg_ && (IsLongLiteral(e) || ComputedExactly(e, scope));
}

bool Translator::EmitLongLiteralText(const Expr& e, std::string* out) {
  if (pg_ || !IsLongLiteral(e)) return false;
  out->append("ora_exact_text(");
  EmitExact(e, nullptr, false, out);
  out->push_back(')');
  return true;
}

}  // namespace korvalis::db::detail
