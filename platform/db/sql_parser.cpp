#include "platform/db/sql_parser.h"

#include <algorithm>
#include <initializer_list>

#include "platform/db/sql_error.h"
#include "platform/db/sql_token.h"

namespace korvalis::db::sql {
namespace {

bool IsComparisonOperator(std::string_view op) {
  return op == "=" || op == "<>" || op == "<" || op == "<=" || op == ">" || op == ">=";
}

class Parser {
 public:
  // `tokens` is scratch space, reused from one statement to the next.
  Parser(std::string_view sql, std::vector<Token>* tokens, std::string* storage)
      : sql_(sql), tokens_(*tokens) {
    Tokenize(sql, &tokens_, storage);
  }

  std::unique_ptr<Statement> ParseStatement() {
    std::unique_ptr<Statement> stmt;
    const Token& t = Peek();
    if (t.IsWord("SELECT") || t.IsOp("(") || t.IsWord("WITH")) {
      if (t.IsWord("WITH")) Fail("the WITH clause is not supported");
      stmt = std::make_unique<Statement>(StatementKind::kSelect);
      stmt->select = ParseSelect();
    } else if (t.IsWord("INSERT")) {
      stmt = ParseInsert();
    } else if (t.IsWord("UPDATE")) {
      stmt = ParseUpdate();
    } else if (t.IsWord("DELETE")) {
      stmt = ParseDelete();
    } else if (t.IsWord("CREATE")) {
      stmt = ParseCreate();
    } else if (t.IsWord("COMMENT")) {
      stmt = ParseComment();
    } else if (t.IsWord("DROP")) {
      stmt = ParseDrop();
    } else if (t.IsWord("TRUNCATE")) {
      Next();
      ExpectWord("TABLE");
      stmt = std::make_unique<Statement>(StatementKind::kTruncate);
      stmt->table = ParseObjectName();
    } else if (t.IsWord("COMMIT")) {
      Next();
      AcceptWord("WORK");
      stmt = std::make_unique<Statement>(StatementKind::kCommit);
    } else if (t.IsWord("ROLLBACK")) {
      Next();
      AcceptWord("WORK");
      if (Peek().IsWord("TO")) Fail("ROLLBACK TO SAVEPOINT is not supported");
      if (AcceptWord("FORCE")) {
        if (Peek().kind != TokenKind::kString)
          Fail("ORA-02234: ROLLBACK FORCE needs a transaction identifier");
        stmt = std::make_unique<Statement>(StatementKind::kRollbackForce);
        stmt->comment = Next().text;
      } else {
        stmt = std::make_unique<Statement>(StatementKind::kRollback);
      }
    } else if (t.kind == TokenKind::kEnd) {
      Fail("ORA-00900: empty statement");
    } else {
      Fail("ORA-00900: invalid SQL statement");
    }
    AcceptOp(";");
    if (Peek().kind != TokenKind::kEnd) Fail("ORA-00933: SQL command not properly ended");
    return stmt;
  }

 private:
  // Nesting (parentheses, subqueries, NOT and signs) is limited so that no statement can
  // exhaust the stack of the parser or of the translator that walks the tree.
  static constexpr int kMaxDepth = 128;
  class DepthGuard {
   public:
    explicit DepthGuard(Parser* p) : p_(p) {
      if (++p_->depth_ > kMaxDepth) p_->FailTooComplex("nested more than 128 levels deep");
    }
    ~DepthGuard() { --p_->depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

   private:
    Parser* p_;
  };

  // ---- token access ----
  // The current token: the position never passes the closing kEnd token.
  const Token& Peek() const { return tokens_[pos_]; }
  const Token& Peek(size_t ahead) const {
    size_t i = pos_ + ahead;
    return i < tokens_.size() ? tokens_[i] : tokens_.back();
  }
  const Token& Next() {
    const Token& t = tokens_[pos_];
    if (pos_ + 1 < tokens_.size()) ++pos_;
    return t;
  }
  bool AcceptWord(std::string_view w) {
    if (Peek().IsWord(w)) {
      Next();
      return true;
    }
    return false;
  }
  bool AcceptOp(std::string_view o) {
    if (Peek().IsOp(o)) {
      Next();
      return true;
    }
    return false;
  }
  void ExpectWord(std::string_view w) {
    if (!AcceptWord(w)) Fail("missing keyword " + std::string(w));
  }
  void ExpectOp(std::string_view o) {
    if (!AcceptOp(o)) {
      if (o == ")") Fail("ORA-00907: missing right parenthesis");
      if (o == "(") Fail("ORA-00906: missing left parenthesis");
      if (o == ",") Fail("ORA-00917: missing comma");
      Fail("missing \"" + std::string(o) + "\"");
    }
  }
  [[noreturn]] void FailTooComplex(const std::string& what) const {
    try {
      Fail(std::string(kTooComplexMessage) + ": " + what);
    } catch (const SqlError& e) {
      throw SqlError(e.what(), kStatementTooComplex);
    }
  }
  [[noreturn]] void Fail(const std::string& what) const {
    const Token& t = Peek();
    std::string near = t.kind == TokenKind::kEnd
                           ? std::string("at the end of the statement")
                           : "at offset " + std::to_string(t.begin) + " near \"" +
                                 std::string(sql_.substr(t.begin, 30)) + "\"";
    throw SqlError(what + " (" + near + ")");
  }
  std::string SourceText(size_t begin, size_t end) const {
    return std::string(sql_.substr(begin, end - begin));
  }
  size_t PrevEnd() const { return pos_ > 0 ? tokens_[pos_ - 1].end : 0; }

  // ---- names ----
  bool PeekName() const {
    const Token& t = Peek();
    return t.kind == TokenKind::kQuotedName || (t.kind == TokenKind::kWord && !t.reserved);
  }
  Name ParseName(const char* what) {
    const Token& t = Peek();
    if (t.kind == TokenKind::kQuotedName) {
      Next();
      return Name{std::string(t.text), true};
    }
    if (t.kind == TokenKind::kWord && !t.reserved) {
      Next();
      return Name{std::string(t.text), false};
    }
    Fail(std::string("ORA-00904: invalid identifier: ") + what + " expected");
  }
  // [schema.]name; the schema is dropped: the embedded database has one.
  Name ParseObjectName() {
    Name n = ParseName("object name");
    if (AcceptOp(".")) n = ParseName("object name");
    return n;
  }
  std::vector<Name> ParseNameList() {
    std::vector<Name> names;
    ExpectOp("(");
    do {
      names.push_back(ParseName("column name"));
    } while (AcceptOp(","));
    ExpectOp(")");
    return names;
  }

  // ---- queries ----
  SelectPtr ParseSelect() {
    DepthGuard guard(this);
    auto select = std::make_unique<Select>();
    select->cores.push_back(ParseSelectCore(*select));
    for (;;) {
      SetOp op;
      if (AcceptWord("UNION")) {
        op = AcceptWord("ALL") ? SetOp::kUnionAll : SetOp::kUnion;
      } else if (AcceptWord("MINUS")) {
        op = SetOp::kMinus;
      } else if (AcceptWord("INTERSECT")) {
        op = SetOp::kIntersect;
      } else {
        break;
      }
      select->ops.push_back(op);
      select->cores.push_back(ParseSelectCore(*select));
    }
    if (Peek().IsWord("ORDER")) {
      Next();
      // Siblings are ordered only in a hierarchical query.
      select->order_siblings = AcceptWord("SIBLINGS");
      if (select->order_siblings &&
          (select->cores.size() != 1 || !select->cores[0].connect_by)) {
        throw SqlError("ORA-30929: ORDER SIBLINGS BY clause not allowed here");
      }
      ExpectWord("BY");
      select->order_by = ParseOrderList();
    }
    if (AcceptWord("FOR")) {
      ExpectWord("UPDATE");
      select->for_update = true;
      if (AcceptWord("OF")) {
        do {
          ParseName("column");
          if (AcceptOp(".")) ParseName("column");
        } while (AcceptOp(","));
      }
      if (AcceptWord("NOWAIT")) {
      } else if (AcceptWord("WAIT")) {
        if (Peek().kind == TokenKind::kNumber) Next();
      }
    }
    return select;
  }

  // One SELECT ... [WHERE] [CONNECT BY] [GROUP BY] [HAVING], or a parenthesised query,
  // whose ORDER BY then belongs to it.
  SelectCore ParseSelectCore(Select& owner) {
    if (Peek().IsOp("(")) {
      // A parenthesised query as a member of a compound query: kept as an inline view.
      Next();
      SelectPtr inner = ParseSelect();
      ExpectOp(")");
      SelectCore core;
      SelectItem star;
      star.expr = std::make_unique<Expr>(ExprKind::kStar);
      core.items.push_back(std::move(star));
      TableRef ref;
      ref.kind = TableRef::kSubquery;
      ref.subquery = std::move(inner);
      core.from.push_back(std::move(ref));
      (void)owner;
      return core;
    }
    if (!AcceptWord("SELECT")) Fail("ORA-00928: missing SELECT keyword");
    SelectCore core;
    if (AcceptWord("DISTINCT") || AcceptWord("UNIQUE")) {
      core.distinct = true;
    } else {
      AcceptWord("ALL");
    }
    core.items.reserve(8);
    do {
      core.items.push_back(ParseSelectItem());
    } while (AcceptOp(","));
    if (!AcceptWord("FROM")) Fail("ORA-00923: FROM keyword not found where expected");
    do {
      core.from.push_back(ParseTableRef());
    } while (AcceptOp(","));
    for (;;) {
      if (AcceptWord("WHERE")) {
        if (core.where) Fail("ORA-00933: SQL command not properly ended");
        core.where = ParseExpr();
      } else if (Peek().IsWord("CONNECT") && Peek(1).IsWord("BY")) {
        Next();
        Next();
        core.nocycle = AcceptWord("NOCYCLE");
        core.connect_by = ParseExpr();
      } else if (Peek().IsWord("START") && Peek(1).IsWord("WITH")) {
        Next();
        Next();
        core.start_with = ParseExpr();
      } else if (Peek().IsWord("GROUP") && Peek(1).IsWord("BY")) {
        Next();
        Next();
        do {
          core.group_by.push_back(ParseExpr());
        } while (AcceptOp(","));
      } else if (AcceptWord("HAVING")) {
        core.having = ParseExpr();
      } else {
        break;
      }
    }
    return core;
  }

  SelectItem ParseSelectItem() {
    SelectItem item;
    const size_t begin = Peek().begin;
    if (Peek().IsOp("*")) {
      Next();
      item.expr = std::make_unique<Expr>(ExprKind::kStar);
      return item;
    }
    // t.* and schema.t.*
    if (PeekName() && Peek(1).IsOp(".") && Peek(2).IsOp("*")) {
      item.expr = std::make_unique<Expr>(ExprKind::kStar);
      item.expr->parts.push_back(ParseName("table"));
      Next();
      Next();
      return item;
    }
    item.expr = ParseExpr();
    item.begin = begin;
    item.end = PrevEnd();
    if (AcceptWord("AS")) {
      item.alias = ParseAliasName();
    } else if (PeekName()) {
      item.alias = ParseAliasName();
    }
    return item;
  }
  Name ParseAliasName() {
    const Token& t = Peek();
    if (t.kind == TokenKind::kQuotedName) {
      Next();
      return Name{std::string(t.text), true};
    }
    if (t.kind == TokenKind::kWord && !t.reserved) {
      Next();
      return Name{std::string(t.text), false};
    }
    Fail("ORA-00923: FROM keyword not found where expected");
  }

  std::vector<OrderItem> ParseOrderList() {
    std::vector<OrderItem> items;
    do {
      OrderItem item;
      item.expr = ParseExpr();
      if (AcceptWord("DESC")) {
        item.descending = true;
      } else {
        AcceptWord("ASC");
      }
      if (AcceptWord("NULLS")) {
        if (AcceptWord("FIRST")) {
          item.nulls = OrderItem::kFirst;
        } else if (AcceptWord("LAST")) {
          item.nulls = OrderItem::kLast;
        } else {
          Fail("FIRST or LAST expected after NULLS");
        }
      }
      items.push_back(std::move(item));
    } while (AcceptOp(","));
    return items;
  }

  TableRef ParseTableRef() {
    TableRef left = ParseTablePrimary();
    for (;;) {
      JoinKind kind;
      if (AcceptWord("JOIN")) {
        kind = JoinKind::kInner;
      } else if (Peek().IsWord("INNER") && Peek(1).IsWord("JOIN")) {
        Next();
        Next();
        kind = JoinKind::kInner;
      } else if (Peek().IsWord("LEFT") || Peek().IsWord("RIGHT") || Peek().IsWord("FULL")) {
        const std::string_view w = Next().text;
        AcceptWord("OUTER");
        ExpectWord("JOIN");
        kind = w == "LEFT" ? JoinKind::kLeft : w == "RIGHT" ? JoinKind::kRight : JoinKind::kFull;
      } else if (Peek().IsWord("CROSS") && Peek(1).IsWord("JOIN")) {
        Next();
        Next();
        kind = JoinKind::kCross;
      } else if (Peek().IsWord("NATURAL")) {
        Fail("NATURAL JOIN is not supported");
      } else {
        break;
      }
      TableRef join;
      join.kind = TableRef::kJoin;
      join.join = kind;
      join.left = std::make_unique<TableRef>(std::move(left));
      join.right = std::make_unique<TableRef>(ParseTablePrimary());
      if (kind != JoinKind::kCross) {
        if (AcceptWord("ON")) {
          join.on = ParseExpr();
        } else if (AcceptWord("USING")) {
          join.using_columns = ParseNameList();
        } else {
          Fail("ORA-00905: missing keyword ON");
        }
      }
      left = std::move(join);
    }
    return left;
  }

  TableRef ParseTablePrimary() {
    DepthGuard guard(this);
    TableRef ref;
    if (AcceptOp("(")) {
      if (Peek().IsWord("SELECT") || Peek().IsOp("(")) {
        ref.kind = TableRef::kSubquery;
        ref.subquery = ParseSelect();
        ExpectOp(")");
      } else {
        ref = ParseTableRef();
        ExpectOp(")");
        return ref;
      }
    } else {
      ref.kind = TableRef::kTable;
      Name first = ParseName("table name");
      if (AcceptOp(".")) {
        ref.schema = first;
        ref.table = ParseName("table name");
      } else {
        ref.table = first;
      }
      if (Peek().IsOp("@")) Fail("database links are not supported");
    }
    if (Peek().kind == TokenKind::kQuotedName ||
        (Peek().kind == TokenKind::kWord && !Peek().reserved && !Peek().IsWord("LEFT") &&
         !Peek().IsWord("RIGHT") && !Peek().IsWord("FULL") && !Peek().IsWord("INNER") &&
         !Peek().IsWord("CROSS") && !Peek().IsWord("JOIN"))) {
      ref.alias = ParseName("alias");
    }
    return ref;
  }

  // ---- expressions, lowest precedence first ----
  ExprPtr ParseExpr() { return ParseOr(); }

  ExprPtr MakeBinary(std::string_view op, ExprPtr l, ExprPtr r) {
    auto e = std::make_unique<Expr>(ExprKind::kBinary);
    e->text = op;
    e->begin = l->begin;
    e->end = r->end;
    e->args.push_back(std::move(l));
    e->args.push_back(std::move(r));
    return e;
  }

  // A chain of one operator builds a tree as deep as the chain is long.
  static constexpr int kMaxChain = 500;
  void CheckChain(int length) const {
    if (length >= kMaxChain) FailTooComplex("more than 500 operators in a row");
  }

  ExprPtr ParseOr() {
    ExprPtr left = ParseAnd();
    for (int n = 0; AcceptWord("OR"); ++n) {
      CheckChain(n);
      left = MakeBinary("OR", std::move(left), ParseAnd());
    }
    return left;
  }
  ExprPtr ParseAnd() {
    ExprPtr left = ParseNot();
    for (int n = 0; AcceptWord("AND"); ++n) {
      CheckChain(n);
      left = MakeBinary("AND", std::move(left), ParseNot());
    }
    return left;
  }
  ExprPtr ParseNot() {
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

  ExprPtr ParseComparison() {
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
    ExprPtr left = ParseAdditive();
    for (int n = 0;; ++n) {
      CheckChain(n);
      const Token& t = Peek();
      if (t.kind == TokenKind::kOperator && IsComparisonOperator(t.text)) {
        std::string_view op = Next().text;
        if (Peek().IsWord("ANY") || Peek().IsWord("SOME") || Peek().IsWord("ALL")) {
          Fail("comparisons with ANY, SOME or ALL are not supported");
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

  // [NOT] IS NULL, LIKE, BETWEEN or IN after `*left`, which it takes; null (with `*left` and
  // the position unchanged) when none follows.
  ExprPtr ParsePredicate(ExprPtr* left) {
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
      const bool query = Peek().IsWord("SELECT") || (Peek().IsOp("(") && LooksLikeQuery());
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

  // After "(" : does a query start here, possibly behind more parentheses?
  bool LooksLikeQuery() const {
    size_t i = 0;
    while (Peek(i).IsOp("(")) ++i;
    return Peek(i).IsWord("SELECT");
  }

  ExprPtr ParseAdditive() {
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
  ExprPtr ParseMultiplicative() {
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
  ExprPtr ParseUnary() {
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

  ExprPtr ParsePrimary() {
    const Token& t = Peek();
    const size_t begin = t.begin;
    ExprPtr e;
    switch (t.kind) {
      case TokenKind::kNumber:
        e = std::make_unique<Expr>(ExprKind::kNumber);
        e->text = Next().text;
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
          if (Peek().IsWord("SELECT") || (Peek().IsOp("(") && LooksLikeQuery())) {
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

  ExprPtr ParseWordExpr() {
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

  ExprPtr ParseFunction(const std::vector<Name>& parts) {
    DepthGuard guard(this);
    auto f = std::make_unique<Expr>(ExprKind::kFunction);
    for (size_t i = 0; i < parts.size(); ++i) {
      if (i) f->text += ".";
      f->text += parts[i].text;
    }
    ExpectOp("(");
    if (f->text == "TRIM") return ParseTrim(std::move(f));
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
      if (Peek().IsWord("ROWS") || Peek().IsWord("RANGE")) {
        Fail("window frames (ROWS/RANGE) are not supported");
      }
      ExpectOp(")");
    } else if (Peek().IsWord("KEEP") || Peek().IsWord("WITHIN")) {
      Fail(std::string(Peek().text) + " clauses of aggregate functions are not supported");
    }
    return f;
  }

  // EXTRACT(field FROM value) becomes the call kExtractField(field, value), the field as a
  // text; EXTRACT(xml, path) stays a call of EXTRACT.
  ExprPtr ParseExtractField(ExprPtr f) {
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

  // TRIM([LEADING|TRAILING|BOTH] [set FROM] text) becomes TRIM(text, set, 'L'|'T'|'B').
  ExprPtr ParseTrim(ExprPtr f) {
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

  ExprPtr ParseCase() {
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

  ExprPtr ParseCast() {
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

  TypeName ParseTypeName() {
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

  // ---- DML ----
  std::unique_ptr<Statement> ParseInsert() {
    Next();  // INSERT
    ExpectWord("INTO");
    auto stmt = std::make_unique<Statement>(StatementKind::kInsert);
    stmt->table = ParseObjectName();
    if (PeekName() && !Peek().IsWord("VALUES")) stmt->alias = ParseName("alias");
    if (Peek().IsOp("(") && !LooksLikeQueryAfterParen()) {
      Next();
      do {
        Name n = ParseName("column name");
        // alias-qualified column: t.COL
        if (AcceptOp(".")) n = ParseName("column name");
        stmt->columns.push_back(n);
      } while (AcceptOp(","));
      ExpectOp(")");
    }
    if (AcceptWord("VALUES")) {
      ExpectOp("(");
      do {
        stmt->values.push_back(ParseExpr());
      } while (AcceptOp(","));
      ExpectOp(")");
    } else if (Peek().IsWord("SELECT") || Peek().IsOp("(")) {
      stmt->select = ParseSelect();
    } else {
      Fail("ORA-00926: missing VALUES keyword");
    }
    return stmt;
  }
  bool LooksLikeQueryAfterParen() const {
    size_t i = 0;
    while (Peek(i).IsOp("(")) ++i;
    return i > 0 && Peek(i).IsWord("SELECT");
  }

  std::unique_ptr<Statement> ParseUpdate() {
    Next();  // UPDATE
    auto stmt = std::make_unique<Statement>(StatementKind::kUpdate);
    stmt->table = ParseObjectName();
    if (PeekName()) stmt->alias = ParseName("alias");
    ExpectWord("SET");
    do {
      Assignment a;
      if (AcceptOp("(")) {
        do {
          Name n = ParseName("column name");
          if (AcceptOp(".")) n = ParseName("column name");
          a.columns.push_back(n);
        } while (AcceptOp(","));
        ExpectOp(")");
      } else {
        Name n = ParseName("column name");
        if (AcceptOp(".")) n = ParseName("column name");
        a.columns.push_back(n);
      }
      if (!AcceptOp("=")) Fail("ORA-00927: missing equal sign");
      a.value = ParseExpr();
      if (a.columns.size() > 1 && a.value->kind != ExprKind::kSubquery)
        Fail("ORA-01767: UPDATE ... SET expression must be a subquery");
      stmt->assignments.push_back(std::move(a));
    } while (AcceptOp(","));
    if (AcceptWord("WHERE")) stmt->where = ParseExpr();
    return stmt;
  }

  std::unique_ptr<Statement> ParseDelete() {
    Next();  // DELETE
    AcceptWord("FROM");
    auto stmt = std::make_unique<Statement>(StatementKind::kDelete);
    stmt->table = ParseObjectName();
    if (PeekName()) stmt->alias = ParseName("alias");
    if (AcceptWord("WHERE")) stmt->where = ParseExpr();
    return stmt;
  }

  // ---- DDL ----
  std::unique_ptr<Statement> ParseCreate() {
    Next();  // CREATE
    bool or_replace = false;
    if (AcceptWord("OR")) {
      ExpectWord("REPLACE");
      or_replace = true;
    }
    AcceptWord("FORCE");
    if (AcceptWord("GLOBAL")) Fail("temporary tables are not supported");
    if (AcceptWord("TABLE")) return ParseCreateTable();
    if (AcceptWord("VIEW")) {
      auto stmt = std::make_unique<Statement>(StatementKind::kCreateView);
      stmt->or_replace = or_replace;
      stmt->table = ParseObjectName();
      if (Peek().IsOp("(")) stmt->columns = ParseNameList();
      ExpectWord("AS");
      stmt->select = ParseSelect();
      if (AcceptWord("WITH")) {
        if (AcceptWord("READ")) {
          ExpectWord("ONLY");
        } else {
          ExpectWord("CHECK");
          ExpectWord("OPTION");
        }
      }
      return stmt;
    }
    bool unique = AcceptWord("UNIQUE");
    if (AcceptWord("INDEX")) {
      auto stmt = std::make_unique<Statement>(StatementKind::kCreateIndex);
      stmt->unique = unique;
      stmt->index = ParseObjectName();
      ExpectWord("ON");
      stmt->table = ParseObjectName();
      ExpectOp("(");
      do {
        if (Peek().kind != TokenKind::kQuotedName &&
            !(Peek().kind == TokenKind::kWord && !Peek().reserved))
          Fail("only column names can be indexed");
        stmt->columns.push_back(ParseName("column name"));
        if (Peek().IsOp("(")) Fail("function-based indexes are not supported");
        bool desc = AcceptWord("DESC");
        if (!desc) AcceptWord("ASC");
        stmt->descending.push_back(desc);
      } while (AcceptOp(","));
      ExpectOp(")");
      if (AcceptWord("INDEXTYPE")) {
        // A text index: INDEXTYPE IS CTXSYS.CONTEXT [PARAMETERS ('...')].
        ExpectWord("IS");
        Name type = ParseObjectName();
        if (type.text != "CONTEXT") Fail("the index type " + type.text + " is not supported");
        stmt->text_index = true;
        if (AcceptWord("PARAMETERS")) {
          ExpectOp("(");
          if (Peek().kind != TokenKind::kString) Fail("PARAMETERS needs a text");
          stmt->index_parameters = Next().text;
          ExpectOp(")");
        }
      }
      SkipStorageClauses();
      return stmt;
    }
    Fail("ORA-00901: invalid CREATE command");
  }

  // TABLESPACE x, PCTFREE n, STORAGE (...), LOGGING ...: physical attributes with no meaning
  // for the embedded database.
  void SkipStorageClauses() {
    for (;;) {
      const Token& t = Peek();
      if (t.IsWord("TABLESPACE")) {
        Next();
        ParseName("tablespace");
      } else if (t.IsWord("PCTFREE") || t.IsWord("PCTUSED") || t.IsWord("INITRANS") ||
                 t.IsWord("MAXTRANS")) {
        Next();
        if (Peek().kind == TokenKind::kNumber) Next();
      } else if (t.IsWord("STORAGE")) {
        Next();
        SkipParenthesised();
      } else if (t.IsWord("LOGGING") || t.IsWord("NOLOGGING") || t.IsWord("COMPRESS") ||
                 t.IsWord("NOCOMPRESS") || t.IsWord("CACHE") || t.IsWord("NOCACHE") ||
                 t.IsWord("MONITORING") || t.IsWord("NOMONITORING") || t.IsWord("ENABLE") ||
                 t.IsWord("NOPARALLEL")) {
        Next();
      } else {
        return;
      }
    }
  }
  void SkipParenthesised() {
    ExpectOp("(");
    int depth = 1;
    while (depth > 0) {
      const Token& t = Next();
      if (t.kind == TokenKind::kEnd) Fail("ORA-00907: missing right parenthesis");
      if (t.IsOp("(")) ++depth;
      if (t.IsOp(")")) --depth;
    }
  }

  std::unique_ptr<Statement> ParseCreateTable() {
    auto stmt = std::make_unique<Statement>(StatementKind::kCreateTable);
    stmt->table = ParseObjectName();
    if (Peek().IsWord("AS")) Fail("CREATE TABLE ... AS SELECT is not supported");
    ExpectOp("(");
    do {
      if (Peek().IsWord("CONSTRAINT") || Peek().IsWord("PRIMARY") || Peek().IsWord("UNIQUE") ||
          Peek().IsWord("FOREIGN") || Peek().IsWord("CHECK")) {
        stmt->constraints.push_back(ParseTableConstraint());
      } else {
        stmt->column_defs.push_back(ParseColumnDef());
      }
    } while (AcceptOp(","));
    ExpectOp(")");
    SkipStorageClauses();
    return stmt;
  }

  ColumnDef ParseColumnDef() {
    ColumnDef col;
    col.name = ParseName("column name");
    col.type = ParseTypeName();
    for (;;) {
      if (AcceptWord("DEFAULT")) {
        size_t begin = Peek().begin;
        col.default_value = ParseAdditive();
        col.default_text = SourceText(begin, PrevEnd());
        continue;
      }
      if (AcceptWord("GENERATED")) {
        ExpectWord("ALWAYS");
        ExpectWord("AS");
        ExpectOp("(");
        col.generated = ParseExpr();
        ExpectOp(")");
        AcceptWord("VIRTUAL");
        continue;
      }
      Name constraint_name;
      if (AcceptWord("CONSTRAINT")) constraint_name = ParseName("constraint name");
      if (AcceptWord("NOT")) {
        ExpectWord("NULL");
        col.not_null = true;
      } else if (AcceptWord("NULL")) {
      } else if (AcceptWord("PRIMARY")) {
        ExpectWord("KEY");
        col.primary_key = true;
        col.constraint_name = constraint_name;
      } else if (AcceptWord("UNIQUE")) {
        col.unique = true;
        if (col.constraint_name.empty()) col.constraint_name = constraint_name;
      } else if (AcceptWord("CHECK")) {
        ExpectOp("(");
        col.check = ParseExpr();
        ExpectOp(")");
      } else if (AcceptWord("REFERENCES")) {
        col.references_table = ParseObjectName();
        if (Peek().IsOp("(")) col.references_columns = ParseNameList();
        if (AcceptWord("ON")) {
          ExpectWord("DELETE");
          Fail("ON DELETE in a column definition is not supported; use a table constraint");
        }
      } else if (!constraint_name.empty()) {
        Fail("ORA-02253: constraint specification not allowed here");
      } else {
        break;
      }
      AcceptWord("ENABLE");
    }
    return col;
  }

  TableConstraint ParseTableConstraint() {
    TableConstraint c{};
    if (AcceptWord("CONSTRAINT")) c.name = ParseName("constraint name");
    if (AcceptWord("PRIMARY")) {
      ExpectWord("KEY");
      c.kind = TableConstraint::kPrimaryKey;
      c.columns = ParseNameList();
    } else if (AcceptWord("UNIQUE")) {
      c.kind = TableConstraint::kUnique;
      c.columns = ParseNameList();
    } else if (AcceptWord("FOREIGN")) {
      ExpectWord("KEY");
      c.kind = TableConstraint::kForeignKey;
      c.columns = ParseNameList();
      ExpectWord("REFERENCES");
      c.references_table = ParseObjectName();
      if (Peek().IsOp("(")) c.references_columns = ParseNameList();
      if (AcceptWord("ON")) {
        ExpectWord("DELETE");
        if (AcceptWord("CASCADE")) {
          c.on_delete_cascade = true;
        } else {
          Fail("only ON DELETE CASCADE is supported");
        }
      }
    } else if (AcceptWord("CHECK")) {
      c.kind = TableConstraint::kCheck;
      ExpectOp("(");
      c.check = ParseExpr();
      ExpectOp(")");
    } else {
      Fail("ORA-00902: constraint expected");
    }
    if (AcceptWord("USING")) {
      ExpectWord("INDEX");
      SkipStorageClauses();
    }
    AcceptWord("ENABLE");
    return c;
  }

  std::unique_ptr<Statement> ParseComment() {
    Next();  // COMMENT
    ExpectWord("ON");
    auto stmt = std::make_unique<Statement>(StatementKind::kComment);
    if (AcceptWord("TABLE")) {
      stmt->table = ParseObjectName();
    } else if (AcceptWord("COLUMN")) {
      stmt->comment_on_column = true;
      Name a = ParseName("table name");
      ExpectOp(".");
      Name b = ParseName("column name");
      if (AcceptOp(".")) {
        a = b;
        b = ParseName("column name");
      }
      stmt->table = a;
      stmt->comment_column = b;
    } else {
      Fail("TABLE or COLUMN expected after COMMENT ON");
    }
    ExpectWord("IS");
    if (Peek().kind != TokenKind::kString) Fail("ORA-01780: string literal required");
    stmt->comment = Next().text;
    return stmt;
  }

  std::unique_ptr<Statement> ParseDrop() {
    Next();  // DROP
    if (AcceptWord("TABLE")) {
      auto stmt = std::make_unique<Statement>(StatementKind::kDropTable);
      stmt->table = ParseObjectName();
      if (AcceptWord("CASCADE")) ExpectWord("CONSTRAINTS");
      AcceptWord("PURGE");
      return stmt;
    }
    if (AcceptWord("VIEW")) {
      auto stmt = std::make_unique<Statement>(StatementKind::kDropView);
      stmt->table = ParseObjectName();
      return stmt;
    }
    if (AcceptWord("INDEX")) {
      auto stmt = std::make_unique<Statement>(StatementKind::kDropIndex);
      stmt->index = ParseObjectName();
      return stmt;
    }
    Fail("ORA-00950: invalid DROP option");
  }

  static constexpr const char* s_ansi_date_format = "YYYY-MM-DD HH24:MI:SS";

  std::string_view sql_;
  std::vector<Token>& tokens_;
  size_t pos_ = 0;
  int depth_ = 0;
};

}  // namespace

std::unique_ptr<Statement> Parse(std::string_view sql) {
  // Scratch space kept per thread from one statement to the next, but not after an unusually
  // large one.
  thread_local std::vector<Token> tokens;
  thread_local std::string storage;
  struct Trim {
    ~Trim() {
      if (tokens.capacity() > 8192) std::vector<Token>().swap(tokens);
      if (storage.capacity() > 65536) std::string().swap(storage);
    }
  } trim;
  Parser parser(sql, &tokens, &storage);
  return parser.ParseStatement();
}

}  // namespace korvalis::db::sql
