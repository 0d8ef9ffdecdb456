// NUMBER arithmetic on the server. PostgreSQL's numeric keeps every digit of a product or a sum,
// where Oracle rounds each result to a NUMBER's digits (ora_shown: 40 significant digits, 39
// when the leading base-100 digit is one digit): a floor or a comparison of the unrounded
// product can then answer otherwise (a fifth of a day as a NUMBER, times 24, is 5 in Oracle,
// 4.99... unrounded). Quotients (ora_div) and date differences (ora_date_diff) round
// themselves; a product is printed inside ora_shown, and so is a sum of which an operand is
// computed (a product, a quotient, a date difference or such a sum), unless the digits of its
// operands show that the exact result fits a NUMBER: literals, and columns of declared
// precision. A sum of stored values is left as it is.
#include <algorithm>

#include "platform/db/ora_decimal.h"
#include "platform/db/sql_translator_internal.h"

namespace korvalis::db::detail {

namespace {

// Digits a NUMBER keeps whatever its exponent.
constexpr int kNumberDigits = 39;
// Digits before the point of the largest NUMBER.
constexpr int kNumberRangeDigits = 126;
// The decimal exponent of the least NUMBER.
constexpr int kLeastNumberExponent = -130;
// The analysis looks this deep; a longer chain of sums or products is printed as written.
constexpr int kMaxServerDepth = 64;

using Span = NumberSpan;

Span Bounded(int high, int low) {
  if (high - low > kNumberDigits) return Span{Span::Kind::kComputed};
  return Span{Span::Kind::kBounded, high, low};
}

}  // namespace

NumberSpan Translator::ServerDigits(const Expr& e, const Scope* scope, int depth) {
  if (depth > kMaxServerDepth) return Span{};
  switch (e.kind) {
    case ExprKind::kNumber: {
      const std::optional<DecimalDigits> d = ParseDigits(e.text);
      if (!d) return Span{};
      if (d->sign == 0) return Span{Span::Kind::kBounded, 1, 0};
      return Bounded(d->exponent + 1, d->exponent - static_cast<int>(d->digits.size()) + 1);
    }
    case ExprKind::kColumn: {
      const ColumnInfo* c = ResolveColumn(e, scope);
      if (c == nullptr || c->type != SqlType::kNumber) return Span{};
      if (c->precision > 0 && c->scale >= 0) return Bounded(c->precision - c->scale, -c->scale);
      if (c->precision < 0 && c->scale == 0) return Bounded(38, 0);  // INTEGER
      return Span{};
    }
    case ExprKind::kUnary:
      if (e.text == "-" || e.text == "+") return ServerDigits(*e.args[0], scope, depth + 1);
      return Span{};
    case ExprKind::kBinary:
      break;
    default:
      return Span{};
  }
  if (e.args.size() != 2) return Span{};
  if (e.text == "/") return Span{Span::Kind::kComputed};
  const bool product = e.text == "*";
  if (!product && e.text != "+" && e.text != "-") return Span{};
  if (e.text == "-" && IsDaysBetween(e, scope)) return Span{Span::Kind::kComputed};
  const Span a = ServerDigits(*e.args[0], scope, depth + 1);
  const Span b = ServerDigits(*e.args[1], scope, depth + 1);
  if (a.kind == Span::Kind::kBounded && b.kind == Span::Kind::kBounded) {
    return product ? Bounded(a.high + b.high, a.low + b.low)
                   : Bounded(std::max(a.high, b.high) + 1, std::min(a.low, b.low));
  }
  if (product || a.kind == Span::Kind::kComputed || b.kind == Span::Kind::kComputed) {
    return Span{Span::Kind::kComputed};
  }
  return Span{};
}

bool Translator::ServerRounds(const Expr& e, const Scope* scope) {
  if (e.kind != ExprKind::kBinary || e.args.size() != 2) return false;
  if (e.text != "*" && e.text != "+" && e.text != "-") return false;
  if (e.text == "-" && IsDaysBetween(e, scope)) return false;  // ora_date_diff rounds it
  // ora_shown also refuses a result past a NUMBER's range, which one of declared digits can
  // reach only from its 126th digit before the point, and makes zero one below the least
  // NUMBER, which has digits below 1E-130.
  const Span span = ServerDigits(e, scope, 0);
  return span.kind == Span::Kind::kComputed ||
         (span.kind == Span::Kind::kBounded &&
          (span.high > kNumberRangeDigits || span.low < kLeastNumberExponent));
}

bool Translator::EmitServerProduct(const Expr& e, const Scope* scope, std::string* out) {
  if (!ServerRounds(e, scope)) return false;
  out->append("ora_shown(");
  EmitNumberOperand(*e.args[0], scope, out);
  out->append(" * ");
  EmitNumberOperand(*e.args[1], scope, out);
  out->push_back(')');
  return true;
}

// Each sum of the chain printed on its own, rounded where it needs, from the innermost out.
bool Translator::EmitServerSum(const Expr& e, const Scope* scope, std::string* out,
                               SqlType* type) {
  int chain = 0;
  for (const Expr* p = &e; p->kind == ExprKind::kBinary && (p->text == "+" || p->text == "-");
       p = p->args[0].get()) {
    if (++chain > kMaxServerDepth) return false;
  }
  if (!ServerRounds(e, scope)) return false;
  std::string left, right;
  const SqlType lt = Emit(*e.args[0], scope, &left);
  MarkPgIntegerLiteral(*e.args[0], &left);
  const SqlType rt = Emit(*e.args[1], scope, &right);
  MarkPgIntegerLiteral(*e.args[1], &right);
  const auto numeric = [](SqlType t) {
    return t == SqlType::kNumber || t == SqlType::kNull || t == SqlType::kText;
  };
  if (!numeric(lt) || !numeric(rt)) {
    *type = CombineAdditive(e.text, left, lt, IsArithmeticOfLiterals(*e.args[0]), right, rt,
                            IsArithmeticOfLiterals(*e.args[1]), out);
    return true;
  }
  const auto operand = [](SqlType t, const std::string& sql) {
    return t == SqlType::kText ? "ora_num(" + sql + ")" : sql;
  };
  out->append("ora_shown(").append(operand(lt, left));
  out->append(e.text == "+" ? " + " : " - ").append(operand(rt, right)).push_back(')');
  *type = SqlType::kNumber;
  return true;
}

}  // namespace korvalis::db::detail
