// Expressions, lowest precedence first: conditions, predicates, arithmetic, function calls,
// CASE, CAST and type names.
#include <algorithm>
#include <initializer_list>

#include "platform/db/ora_number.h"
#include "platform/db/sql_parser_internal.h"

namespace korvalis::db::sql::detail {

namespace {

bool IsComparisonOperator(std::string_view op) {
  return op == "=" || op == "<>" || op == "<" || op == "<=" || op == ">" || op == ">=";
}

ExprPtr Node(ExprKind kind, std::string text = {}) {
  auto e = std::make_unique<Expr>(kind);
  e->text = std::move(text);
  return e;
}

// The view and column that a query compared by ANY, SOME or ALL is read through.
const Name& kAnyView = *new Name{"Q$ANY", false};
const Name& kAnyColumn = *new Name{"C$ANY", false};

// The query's one value, as the view reads it.
ExprPtr AnyValue() {
  auto e = Node(ExprKind::kColumn);
  e->parts = {kAnyView, kAnyColumn};
  return e;
}

ExprPtr IsNullOf(ExprPtr operand) {
  auto e = Node(ExprKind::kIsNull);
  e->args.push_back(std::move(operand));
  return e;
}

// EXISTS (SELECT 1 FROM (q) Q$ANY WHERE condition), q's one column named C$ANY.
ExprPtr ExistsInAnyView(SelectPtr q, ExprPtr condition) {
  q->cores[0].items[0].alias = kAnyColumn;
  SelectCore core;
  SelectItem one;
  one.expr = Node(ExprKind::kNumber, "1");
  one.alias = kAnyColumn;
  core.items.push_back(std::move(one));
  TableRef ref;
  ref.kind = TableRef::kSubquery;
  ref.subquery = std::move(q);
  ref.alias = kAnyView;
  core.from.push_back(std::move(ref));
  core.where = std::move(condition);
  auto e = Node(ExprKind::kExists);
  e->subquery = std::make_unique<Select>();
  e->subquery->cores.push_back(std::move(core));
  return e;
}

}  // namespace

ExprPtr Parser::MakeBinary(std::string_view op, ExprPtr l, ExprPtr r) {
  auto e = std::make_unique<Expr>(ExprKind::kBinary);
  e->text = op;
  e->begin = l->begin;
  e->end = r->end;
  e->args.push_back(std::move(l));
  e->args.push_back(std::move(r));
  return e;
}

void Parser::CheckChain(int length) const {
  if (length >= kMaxChain) FailTooComplex("more than 500 operators in a row");
}

ExprPtr Parser::ParseOr() {
  ExprPtr left = ParseAnd();
  for (int n = 0; AcceptWord("OR"); ++n) {
    CheckChain(n);
    left = MakeBinary("OR", std::move(left), ParseAnd());
  }
  return left;
}

ExprPtr Parser::ParseAnd() {
  ExprPtr left = ParseNot();
  for (int n = 0; AcceptWord("AND"); ++n) {
    CheckChain(n);
    left = MakeBinary("AND", std::move(left), ParseNot());
  }
  return left;
}

ExprPtr Parser::ParseNot() {
  if (Peek().IsWord("NOT")) {
    DepthGuard guard(this);
    size_t begin = Next().begin;
    auto e = std::make_unique<Expr>(ExprKind::kUnary);
    e->text = "NOT";
    e->args.push_back(ParseNot());
    e->begin = begin;
    e->end = e->args[0]->end;
    return e;
  }
  return ParseComparison();
}

ExprPtr Parser::ParseComparison() {
  if (Peek().IsWord("EXISTS")) {
    size_t begin = Next().begin;
    ExpectOp("(");
    auto e = std::make_unique<Expr>(ExprKind::kExists);
    e->subquery = ParseSelect();
    ExpectOp(")");
    e->begin = begin;
    e->end = PrevEnd();
    return e;
  }
  const size_t left_at = pos_;
  ExprPtr left = ParseAdditive();
  for (int n = 0;; ++n) {
    CheckChain(n);
    const Token& t = Peek();
    if (t.kind == TokenKind::kOperator && IsComparisonOperator(t.text)) {
      std::string_view op = Next().text;
      if (Peek().IsWord("ANY") || Peek().IsWord("SOME") || Peek().IsWord("ALL")) {
        const bool all = Next().IsWord("ALL");
        if (n > 0 || left->kind == ExprKind::kRow) {
          Fail("comparisons of a row or a comparison with ANY, SOME or ALL are not supported");
        }
        left = ParseQuantified(op, all, std::move(left), left_at);
        continue;
      }
      left = MakeBinary(op, std::move(left), ParseAdditive());
      continue;
    }
    // NOT, IS, LIKE, BETWEEN and IN are reserved words: anything else ends the comparison.
    if (t.kind != TokenKind::kWord || !t.reserved) break;
    ExprPtr predicate = ParsePredicate(&left);
    if (!predicate) break;
    left = std::move(predicate);
  }
  return left;
}

ExprPtr Parser::ParseQuantified(std::string_view op, bool all, ExprPtr left, size_t left_at) {
  const size_t begin = left->begin;
  // Another copy of the left operand, read again from its text.
  auto left_again = [&] {
    const size_t resume = pos_;
    pos_ = left_at;
    ExprPtr copy = ParseAdditive();
    pos_ = resume;
    return copy;
  };
  auto spanned = [&](ExprPtr e) {
    e->begin = begin;
    e->end = PrevEnd();
    return e;
  };
  ExpectOp("(");
  if (!StartsQuery() && !(Peek().IsOp("(") && LooksLikeQuery())) {
    // x > ANY (a, b): x > a OR x > b; x > ALL (a, b): x > a AND x > b.
    ExprPtr result;
    do {
      ExprPtr compared = MakeBinary(op, result ? left_again() : std::move(left), ParseExpr());
      result = result ? MakeBinary(all ? "AND" : "OR", std::move(result), std::move(compared))
                      : std::move(compared);
    } while (AcceptOp(","));
    ExpectOp(")");
    return spanned(std::move(result));
  }
  // x op ANY (query) is true where one value of the query compares true, else unknown where
  // the query gives a row and x or one of its values is NULL, else false; x op ALL (query) is
  // false where one compares false, else unknown likewise, else true:
  // CASE WHEN EXISTS (SELECT 1 FROM (query) Q WHERE [NOT] x op Q.C) THEN 1 | 0
  //      WHEN EXISTS (SELECT 1 FROM (query) Q WHERE x IS NULL OR Q.C IS NULL) THEN NULL
  //      ELSE 0 | 1 END = 1
  const size_t query_at = pos_;
  SelectPtr query = ParseSelect();
  ExpectOp(")");
  const std::vector<SelectItem>& items = query->cores[0].items;
  if (items.size() != 1) Fail("ORA-00913: too many values");
  if (items[0].expr->kind == ExprKind::kStar) Fail("ANY, SOME or ALL of a query of * is not supported");
  const size_t resume = pos_;
  pos_ = query_at;
  SelectPtr query_again = ParseSelect();
  pos_ = resume;
  ExprPtr decided = MakeBinary(op, std::move(left), AnyValue());
  if (all) {
    auto negated = Node(ExprKind::kUnary, "NOT");
    negated->args.push_back(std::move(decided));
    decided = std::move(negated);
  }
  auto result = Node(ExprKind::kCase);
  result->has_else = true;
  result->args.push_back(ExistsInAnyView(std::move(query), std::move(decided)));
  result->args.push_back(Node(ExprKind::kNumber, all ? "0" : "1"));
  result->args.push_back(ExistsInAnyView(
      std::move(query_again), MakeBinary("OR", IsNullOf(left_again()), IsNullOf(AnyValue()))));
  result->args.push_back(Node(ExprKind::kNull));
  result->args.push_back(Node(ExprKind::kNumber, all ? "1" : "0"));
  return spanned(MakeBinary("=", spanned(std::move(result)), Node(ExprKind::kNumber, "1")));
}

ExprPtr Parser::ParsePredicate(ExprPtr* left) {
  const size_t save = pos_;
  const bool negated = AcceptWord("NOT");
  ExprKind kind;
  if (AcceptWord("IS")) {
    if (negated) Fail("ORA-00920: invalid relational operator");
    kind = ExprKind::kIsNull;
  } else if (AcceptWord("LIKE")) {
    kind = ExprKind::kLike;
  } else if (AcceptWord("BETWEEN")) {
    kind = ExprKind::kBetween;
  } else if (AcceptWord("IN")) {
    ExpectOp("(");
    const bool query = StartsQuery() || (Peek().IsOp("(") && LooksLikeQuery());
    if (!query && Peek().IsOp(")")) {
      Fail("ORA-00936: missing expression: an IN list must not be empty");
    }
    kind = query ? ExprKind::kInSubquery : ExprKind::kInList;
  } else {
    pos_ = save;
    return nullptr;
  }
  auto e = std::make_unique<Expr>(kind);
  e->negated = negated;
  e->begin = (*left)->begin;
  e->args.push_back(std::move(*left));
  switch (kind) {
    case ExprKind::kIsNull:
      e->negated = AcceptWord("NOT");
      ExpectWord("NULL");
      break;
    case ExprKind::kLike:
      e->args.push_back(ParseAdditive());
      if (AcceptWord("ESCAPE")) e->args.push_back(ParseAdditive());
      break;
    case ExprKind::kBetween:
      e->args.push_back(ParseAdditive());
      ExpectWord("AND");
      e->args.push_back(ParseAdditive());
      break;
    case ExprKind::kInSubquery:
      e->subquery = ParseSelect();
      ExpectOp(")");
      break;
    default:
      do {
        e->args.push_back(ParseAdditive());
      } while (AcceptOp(","));
      ExpectOp(")");
      break;
  }
  e->end = PrevEnd();
  return e;
}

bool Parser::LooksLikeQuery() const {
  size_t i = 0;
  while (Peek(i).IsOp("(")) ++i;
  return Peek(i).IsWord("SELECT") || Peek(i).IsWord("WITH");
}

ExprPtr Parser::ParseAdditive() {
  ExprPtr left = ParseMultiplicative();
  for (int n = 0;; ++n) {
    const Token& t = Peek();
    if (t.IsOp("+") || t.IsOp("-") || t.IsOp("||")) {
      CheckChain(n);
      std::string_view op = Next().text;
      left = MakeBinary(op, std::move(left), ParseMultiplicative());
    } else {
      return left;
    }
  }
}

ExprPtr Parser::ParseMultiplicative() {
  ExprPtr left = ParseUnary();
  for (int n = 0;; ++n) {
    const Token& t = Peek();
    if (t.IsOp("*") || t.IsOp("/")) {
      CheckChain(n);
      std::string_view op = Next().text;
      left = MakeBinary(op, std::move(left), ParseUnary());
    } else {
      return left;
    }
  }
}

ExprPtr Parser::ParseUnary() {
  // CONNECT_BY_ROOT is an operator only before its operand.
  const bool root = Peek().IsWord("CONNECT_BY_ROOT") &&
                    (Peek(1).kind == TokenKind::kWord || Peek(1).kind == TokenKind::kQuotedName ||
                     Peek(1).IsOp("("));
  if (Peek().IsOp("-") || Peek().IsOp("+") || Peek().IsWord("PRIOR") || root) {
    DepthGuard guard(this);
    const Token& t = Next();
    auto e = std::make_unique<Expr>(ExprKind::kUnary);
    e->text = t.text;
    e->begin = t.begin;
    e->args.push_back(ParseUnary());
    e->end = e->args[0]->end;
    return e;
  }
  return ParsePrimary();
}

ExprPtr Parser::ParsePrimary() {
  const Token& t = Peek();
  const size_t begin = t.begin;
  ExprPtr e;
  switch (t.kind) {
    case TokenKind::kNumber:
      e = std::make_unique<Expr>(ExprKind::kNumber);
      e->text = Next().text;
      // A literal is a NUMBER: one past its range fails as a result past it fails.
      if (!WithinNumberRange(e->text)) {
        throw SqlError("ORA-01426: numeric overflow", kProviderFailed);
      }
      // One below the least NUMBER is zero.
      if (BelowLeastNumber(e->text)) e->text = "0";
      break;
    case TokenKind::kString:
      // The empty text is NULL.
      e = std::make_unique<Expr>(t.text.empty() ? ExprKind::kNull : ExprKind::kString);
      e->text = Next().text;
      break;
    case TokenKind::kOperator:
      if (t.text == "(") {
        DepthGuard guard(this);
        Next();
        if (StartsQuery() || (Peek().IsOp("(") && LooksLikeQuery())) {
          e = std::make_unique<Expr>(ExprKind::kSubquery);
          e->subquery = ParseSelect();
          ExpectOp(")");
          break;
        }
        e = ParseExpr();
        if (Peek().IsOp(",")) {
          auto row = std::make_unique<Expr>(ExprKind::kRow);
          row->args.push_back(std::move(e));
          while (AcceptOp(",")) row->args.push_back(ParseExpr());
          e = std::move(row);
        }
        ExpectOp(")");
        e->begin = begin;
        e->end = PrevEnd();
        return e;
      }
      Fail("ORA-00936: missing expression");
    case TokenKind::kQuotedName:
    case TokenKind::kWord:
      e = ParseWordExpr();
      break;
    default:
      Fail("ORA-00936: missing expression");
  }
  e->begin = begin;
  e->end = PrevEnd();
  return e;
}

ExprPtr Parser::ParseWordExpr() {
  const Token& t = Peek();
  if (t.kind == TokenKind::kWord) {
    const std::string_view w = t.text;
    if (w == "NULL") {
      Next();
      return std::make_unique<Expr>(ExprKind::kNull);
    }
    if (w == "CASE") return ParseCase();
    if (w == "CAST" && Peek(1).IsOp("(")) return ParseCast();
    if (w == "ROWNUM") {
      Next();
      return std::make_unique<Expr>(ExprKind::kRownum);
    }
    if (w == "SYSDATE") {
      Next();
      return std::make_unique<Expr>(ExprKind::kSysdate);
    }
    if ((w == "LEVEL" || w == "CONNECT_BY_ISLEAF" || w == "CONNECT_BY_ISCYCLE") &&
        !Peek(1).IsOp(".") && !Peek(1).IsOp("(")) {
      auto e = std::make_unique<Expr>(ExprKind::kLevel);
      e->text = Next().text;
      return e;
    }
    if ((w == "DATE" || w == "TIMESTAMP") && Peek(1).kind == TokenKind::kString) {
      // ANSI date literal: DATE '2008-01-01'
      Next();
      auto f = std::make_unique<Expr>(ExprKind::kFunction);
      f->text = "TO_DATE";
      auto s = std::make_unique<Expr>(ExprKind::kString);
      s->text = Next().text;
      f->args.push_back(std::move(s));
      auto fmt = std::make_unique<Expr>(ExprKind::kString);
      fmt->text = s_ansi_date_format;
      f->args.push_back(std::move(fmt));
      if (w == "DATE") return f;
      // A TIMESTAMP literal is a date whose time EXTRACT reads.
      auto cast = std::make_unique<Expr>(ExprKind::kCast);
      cast->type.name = "TIMESTAMP";
      cast->args.push_back(std::move(f));
      return cast;
    }
    if (t.reserved) Fail("ORA-00936: missing expression");
  }
  // name[.name[.name]] possibly followed by ( args ) for a function, or (+).
  std::vector<Name> parts;
  parts.reserve(2);
  parts.push_back(ParseName("name"));
  while (Peek().IsOp(".") &&
         (Peek(1).kind == TokenKind::kWord || Peek(1).kind == TokenKind::kQuotedName)) {
    Next();
    parts.push_back(ParseName("name"));
  }
  if (Peek().IsOp("(") && !parts.back().quoted) {
    return ParseFunction(parts);
  }
  auto e = std::make_unique<Expr>(ExprKind::kColumn);
  if (parts.size() > 3) Fail("ORA-00904: invalid identifier");
  // DBMS_RANDOM.VALUE without parentheses is a call.
  if (parts.size() == 2 && !parts[0].quoted && !parts[1].quoted &&
      parts[0].text == "DBMS_RANDOM" && parts[1].text == "VALUE") {
    auto f = std::make_unique<Expr>(ExprKind::kFunction);
    f->text = "DBMS_RANDOM.VALUE";
    return f;
  }
  e->parts = std::move(parts);
  if (Peek().kind == TokenKind::kOuterJoinMarker) {
    Next();
    e->outer_join = true;
  }
  return e;
}

ExprPtr Parser::ParseFunction(const std::vector<Name>& parts) {
  DepthGuard guard(this);
  auto f = std::make_unique<Expr>(ExprKind::kFunction);
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) f->text += ".";
    f->text += parts[i].text;
  }
  ExpectOp("(");
  if (f->text == "TRIM") return ParseTrim(std::move(f));
  if (f->text == "VARIANCE" || f->text == "VAR_POP" || f->text == "VAR_SAMP") {
    return ParseVariance(f->text, f->text);
  }
  // STDDEV, STDDEV_POP and STDDEV_SAMP: the square root of VARIANCE, VAR_POP and VAR_SAMP.
  if (f->text == "STDDEV" || f->text == "STDDEV_POP" || f->text == "STDDEV_SAMP") {
    ExprPtr root = Node(ExprKind::kFunction, "SQRT");
    root->args.push_back(ParseVariance(f->text == "STDDEV"       ? "VARIANCE"
                                       : f->text == "STDDEV_POP" ? "VAR_POP"
                                                                 : "VAR_SAMP",
                                       f->text));
    return root;
  }
  if (f->text == "EXTRACT" && Peek().kind == TokenKind::kWord && Peek(1).IsWord("FROM")) {
    return ParseExtractField(std::move(f));
  }
  if (!Peek().IsOp(")")) {
    if (AcceptWord("DISTINCT")) {
      f->distinct = true;
    } else {
      AcceptWord("ALL");
    }
    do {
      if (Peek().IsOp("*")) {
        size_t b = Next().begin;
        auto star = std::make_unique<Expr>(ExprKind::kStar);
        star->begin = b;
        star->end = b + 1;
        f->args.push_back(std::move(star));
      } else {
        f->args.push_back(ParseExpr());
      }
    } while (AcceptOp(","));
  }
  ExpectOp(")");
  if (Peek().IsWord("OVER")) {
    Next();
    ExpectOp("(");
    f->over = std::make_unique<Window>();
    if (Peek().IsWord("PARTITION")) {
      Next();
      ExpectWord("BY");
      do {
        f->over->partition_by.push_back(ParseExpr());
      } while (AcceptOp(","));
    }
    if (Peek().IsWord("ORDER")) {
      Next();
      ExpectWord("BY");
      f->over->order_by = ParseOrderList();
    }
    // A frame follows an ORDER BY only.
    if (!f->over->order_by.empty() && (Peek().IsWord("ROWS") || Peek().IsWord("RANGE"))) {
      f->over->frame = ParseWindowFrame();
    }
    ExpectOp(")");
  } else if (f->text == "LISTAGG") {
    ParseListaggOrder(f.get());
  } else if (Peek().IsWord("KEEP") || Peek().IsWord("WITHIN")) {
    Fail(std::string(Peek().text) + " clauses of aggregate functions are not supported");
  }
  return f;
}

// LISTAGG(value [, delimiter]) WITHIN GROUP (ORDER BY ...): the delimiter (NULL when not
// given) becomes the second argument, the keys the arguments after it.
void Parser::ParseListaggOrder(Expr* f) {
  if (f->distinct) Fail("DISTINCT in LISTAGG is not supported");
  if (f->args.empty() || f->args.size() > 2) Fail("ORA-00909: invalid number of arguments");
  if (!AcceptWord("WITHIN")) Fail("ORA-02000: missing WITHIN keyword");
  ExpectWord("GROUP");
  ExpectOp("(");
  ExpectWord("ORDER");
  ExpectWord("BY");
  std::vector<OrderItem> order = ParseOrderList();
  ExpectOp(")");
  if (Peek().IsWord("OVER")) Fail("LISTAGG as an analytic function is not supported");
  if (f->args.size() == 1) f->args.push_back(std::make_unique<Expr>(ExprKind::kNull));
  for (OrderItem& item : order) {
    f->args.push_back(std::move(item.expr));
    f->within_group.push_back(std::move(item));
  }
}

// VARIANCE, VAR_POP and VAR_SAMP of x, read as NUMBER arithmetic on COUNT(x), SUM(x) and
// SUM(x * x): (n * SUM(x * x) - SUM(x) * SUM(x)) / (n * (n - 1)), or over n * n for VAR_POP,
// exact until that quotient, which is rounded as every NUMBER quotient is. No rows give NULL;
// one row gives 0 (VAR_SAMP: NULL). The argument is read again from its text for each use.
// `written` is the function's name as the statement gives it.
ExprPtr Parser::ParseVariance(const std::string& name, const std::string& written) {
  if (Peek().IsWord("DISTINCT")) Fail("DISTINCT in " + written + " is not supported");
  AcceptWord("ALL");
  const size_t argument_at = pos_;
  ExprPtr argument = ParseExpr();
  ExpectOp(")");
  if (Peek().IsWord("OVER")) Fail(written + " as an analytic function is not supported");
  const size_t resume = pos_;
  auto again = [&] {
    pos_ = argument_at;
    ExprPtr copy = ParseExpr();
    pos_ = resume;
    return copy;
  };
  auto call = [](const char* function, ExprPtr x) {
    ExprPtr e = Node(ExprKind::kFunction, function);
    e->args.push_back(std::move(x));
    return e;
  };
  auto number = [](const char* digits) { return Node(ExprKind::kNumber, digits); };
  auto count = [&] { return call("COUNT", again()); };
  // x + 0 reads a text argument as a number, as Oracle converts it, on both engines.
  auto sum = [&] { return call("SUM", MakeBinary("+", again(), number("0"))); };
  ExprPtr squares = call("SUM", MakeBinary("*", std::move(argument), again()));
  ExprPtr spread = MakeBinary("-", MakeBinary("*", count(), std::move(squares)),
                              MakeBinary("*", sum(), sum()));
  const bool population = name == "VAR_POP";
  ExprPtr pairs = MakeBinary("*", count(),
                             population ? count() : MakeBinary("-", count(), number("1")));
  ExprPtr e = Node(ExprKind::kCase);
  e->args.push_back(MakeBinary("<", count(), number(population ? "1" : "2")));
  e->args.push_back(name == "VARIANCE" ? MakeBinary("*", sum(), number("0"))
                                       : Node(ExprKind::kNull));
  e->args.push_back(MakeBinary("/", std::move(spread), std::move(pairs)));
  e->has_else = true;
  return e;
}

std::unique_ptr<WindowFrame> Parser::ParseWindowFrame() {
  auto frame = std::make_unique<WindowFrame>();
  frame->range = Next().IsWord("RANGE");
  // UNBOUNDED PRECEDING | CURRENT ROW | n PRECEDING, and with `between` UNBOUNDED FOLLOWING
  // and n FOLLOWING too.
  const auto bound = [&](bool between) {
    FrameBound b;
    if (AcceptWord("UNBOUNDED")) {
      b.kind = between && AcceptWord("FOLLOWING") ? FrameBound::kUnboundedFollowing
                                                   : FrameBound::kUnboundedPreceding;
      if (b.kind == FrameBound::kUnboundedPreceding) ExpectWord("PRECEDING");
    } else if (AcceptWord("CURRENT")) {
      ExpectWord("ROW");
    } else {
      b.offset = ParseAdditive();
      b.kind = between && AcceptWord("FOLLOWING") ? FrameBound::kFollowing
                                                  : FrameBound::kPreceding;
      if (b.kind == FrameBound::kPreceding) ExpectWord("PRECEDING");
    }
    return b;
  };
  if (AcceptWord("BETWEEN")) {
    frame->start = bound(true);
    ExpectWord("AND");
    frame->end = bound(true);
  } else {
    frame->start = bound(false);
  }
  return frame;
}

ExprPtr Parser::ParseExtractField(ExprPtr f) {
  static constexpr std::string_view kFields[] = {
      "YEAR",          "MONTH",           "DAY",           "HOUR",           "MINUTE",
      "SECOND",        "TIMEZONE_HOUR",   "TIMEZONE_MINUTE", "TIMEZONE_REGION", "TIMEZONE_ABBR",
      "TIMEZONE_OFFSET"};
  const Token& field_token = Next();
  if (std::find(std::begin(kFields), std::end(kFields), field_token.text) == std::end(kFields)) {
    Fail("ORA-00907: missing right parenthesis");
  }
  f->text = kExtractField;
  auto field = std::make_unique<Expr>(ExprKind::kString);
  field->text = std::string(field_token.text);
  f->args.push_back(std::move(field));
  ExpectWord("FROM");
  f->args.push_back(ParseExpr());
  ExpectOp(")");
  return f;
}

ExprPtr Parser::ParseTrim(ExprPtr f) {
  std::string mode = "B";
  if (AcceptWord("LEADING")) {
    mode = "L";
  } else if (AcceptWord("TRAILING")) {
    mode = "T";
  } else {
    AcceptWord("BOTH");
  }
  ExprPtr set;
  ExprPtr text;
  if (AcceptWord("FROM")) {
    text = ParseExpr();
  } else {
    ExprPtr first = ParseExpr();
    if (AcceptWord("FROM")) {
      set = std::move(first);
      text = ParseExpr();
    } else {
      text = std::move(first);
    }
  }
  ExpectOp(")");
  f->args.push_back(std::move(text));
  if (!set) {
    set = std::make_unique<Expr>(ExprKind::kString);
    set->text = " ";
  }
  f->args.push_back(std::move(set));
  auto m = std::make_unique<Expr>(ExprKind::kString);
  m->text = mode;
  f->args.push_back(std::move(m));
  return f;
}

ExprPtr Parser::ParseCase() {
  DepthGuard guard(this);
  Next();  // CASE
  auto e = std::make_unique<Expr>(ExprKind::kCase);
  if (!Peek().IsWord("WHEN")) {
    e->has_operand = true;
    e->args.push_back(ParseExpr());
  }
  if (!Peek().IsWord("WHEN")) Fail("ORA-00905: missing keyword WHEN");
  while (AcceptWord("WHEN")) {
    e->args.push_back(ParseExpr());
    ExpectWord("THEN");
    e->args.push_back(ParseExpr());
  }
  if (AcceptWord("ELSE")) {
    e->has_else = true;
    e->args.push_back(ParseExpr());
  }
  ExpectWord("END");
  return e;
}

ExprPtr Parser::ParseCast() {
  DepthGuard guard(this);
  Next();  // CAST
  ExpectOp("(");
  auto e = std::make_unique<Expr>(ExprKind::kCast);
  e->args.push_back(ParseExpr());
  ExpectWord("AS");
  e->type = ParseTypeName();
  ExpectOp(")");
  return e;
}

TypeName Parser::ParseTypeName() {
  TypeName type;
  const Token& t = Peek();
  if (t.kind != TokenKind::kWord) Fail("ORA-00902: invalid datatype");
  type.name = Next().text;
  if (type.name == "VARCHAR") type.name = "VARCHAR2";
  if (type.name == "DOUBLE" && AcceptWord("PRECISION")) type.name = "NUMBER";
  if (type.name == "LONG" && AcceptWord("RAW")) type.name = "BLOB";
  static constexpr std::string_view kKnown[] = {
      "VARCHAR2", "NVARCHAR2", "CHAR",    "NCHAR",   "NUMBER", "INTEGER", "INT",
      "SMALLINT", "FLOAT",     "DECIMAL", "NUMERIC", "REAL",   "DATE",    "TIMESTAMP",
      "BLOB",     "CLOB",      "NCLOB",   "LONG",    "RAW"};
  bool known = false;
  for (std::string_view k : kKnown) known = known || k == type.name;
  if (!known) Fail("ORA-00902: invalid datatype " + type.name);
  if (AcceptOp("(")) {
    auto read_int = [&]() {
      if (Peek().IsOp("*")) {
        Next();
        return -1;
      }
      if (Peek().kind != TokenKind::kNumber) Fail("ORA-00910: invalid length or precision");
      const std::string_view s = Next().text;
      if (s.find_first_not_of("0123456789") != std::string::npos || s.size() > 6)
        Fail("ORA-00910: invalid length or precision");
      return std::stoi(std::string(s));
    };
    int first = read_int();
    if (!AcceptWord("BYTE")) type.length_in_chars = AcceptWord("CHAR");
    if (type.name == "NUMBER" || type.name == "DECIMAL" || type.name == "NUMERIC" ||
        type.name == "FLOAT") {
      type.precision = first;
      if (AcceptOp(",")) {
        if (AcceptOp("-")) {
          type.scale = -read_int();
        } else {
          type.scale = read_int();
        }
      }
    } else {
      type.length = first;
    }
    ExpectOp(")");
  }
  return type;
}

}  // namespace korvalis::db::sql::detail
