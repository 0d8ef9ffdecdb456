// The recursive-descent parser of one Oracle SQL statement behind sql_parser.h: token access
// and names here; queries (query_parser.cpp), expressions (expression_parser.cpp), DML
// (sql_parser.cpp) and DDL (ddl_parser.cpp) in their own files.
//
// Thread-safety: an instance parses one statement on one thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/sql_ast.h"
#include "platform/db/sql_error.h"
#include "platform/db/sql_token.h"

namespace korvalis::db::sql::detail {

class Parser {
 public:
  // `tokens` is scratch space, reused from one statement to the next.
  Parser(std::string_view sql, std::vector<Token>* tokens, std::string* storage)
      : sql_(sql), tokens_(*tokens) {
    Tokenize(sql, &tokens_, storage);
  }

  std::unique_ptr<Statement> ParseStatement();

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
  // A query, with its WITH clause when it has one.
  SelectPtr ParseSelect();
  // Whether a query starts at the current token.
  bool StartsQuery() const { return Peek().IsWord("SELECT") || Peek().IsWord("WITH"); }
  // After FOR: UPDATE [OF column, ...] [NOWAIT | WAIT n], which ends a query statement alone.
  RowLock ParseForUpdate();

  // WITH name [(columns)] AS (query), ...: each name is visible to the queries after it and to
  // the query the clause belongs to, where each reference reads the query's text again as an
  // inline view of its own.
  struct NamedQuery {
    Name name;
    std::vector<Name> columns;
    size_t body = 0;  // the token that starts the query
  };
  void ParseNamedQueries();
  // The named query `index` of named_queries_, read again from its text.
  SelectPtr ExpandNamedQuery(size_t index);
  // The index in named_queries_ of the query a table name names, or -1.
  int FindNamedQuery(const Name& table) const;

  // One SELECT ... [WHERE] [CONNECT BY] [GROUP BY] [HAVING], or a parenthesised query,
  // whose ORDER BY then belongs to it.
  SelectCore ParseSelectCore(Select& owner);

  SelectItem ParseSelectItem();
  Name ParseAliasName();

  std::vector<OrderItem> ParseOrderList();

  TableRef ParseTableRef();

  TableRef ParseTablePrimary();

  // ---- expressions, lowest precedence first ----
  ExprPtr ParseExpr() { return ParseOr(); }

  ExprPtr MakeBinary(std::string_view op, ExprPtr l, ExprPtr r);

  // A chain of one operator builds a tree as deep as the chain is long.
  static constexpr int kMaxChain = 500;
  void CheckChain(int length) const;

  ExprPtr ParseOr();
  ExprPtr ParseAnd();
  ExprPtr ParseNot();

  ExprPtr ParseComparison();

  // [NOT] IS NULL, LIKE, BETWEEN or IN after `*left`, which it takes; null (with `*left` and
  // the position unchanged) when none follows.
  ExprPtr ParsePredicate(ExprPtr* left);

  // `left` op ANY | SOME | ALL (list or query), after the word: the comparisons it stands for,
  // written with OR and AND or, for a query, with EXISTS; `left_at` is where `left` starts,
  // read again for each further copy.
  ExprPtr ParseQuantified(std::string_view op, bool all, ExprPtr left, size_t left_at);

  // After "(" : does a query start here, possibly behind more parentheses?
  bool LooksLikeQuery() const;

  ExprPtr ParseAdditive();
  ExprPtr ParseMultiplicative();
  ExprPtr ParseUnary();

  ExprPtr ParsePrimary();

  ExprPtr ParseWordExpr();

  ExprPtr ParseFunction(const std::vector<Name>& parts);

  // EXTRACT(field FROM value) becomes the call kExtractField(field, value), the field as a
  // text; EXTRACT(xml, path) stays a call of EXTRACT.
  ExprPtr ParseExtractField(ExprPtr f);
  // ROWS | RANGE and its bounds, after a window's ORDER BY.
  std::unique_ptr<WindowFrame> ParseWindowFrame();

  // TRIM([LEADING|TRAILING|BOTH] [set FROM] text) becomes TRIM(text, set, 'L'|'T'|'B').
  ExprPtr ParseTrim(ExprPtr f);
  void ParseListaggOrder(Expr* f);
  ExprPtr ParseVariance(const std::string& name, const std::string& written);

  ExprPtr ParseCase();

  ExprPtr ParseCast();

  TypeName ParseTypeName();

  // ---- DML ----
  std::unique_ptr<Statement> ParseInsert();
  bool LooksLikeQueryAfterParen() const;

  std::unique_ptr<Statement> ParseUpdate();

  std::unique_ptr<Statement> ParseDelete();

  // ---- DDL ----
  std::unique_ptr<Statement> ParseCreate();

  // TABLESPACE x, PCTFREE n, STORAGE (...), LOGGING ...: physical attributes with no meaning
  // for the embedded database.
  void SkipStorageClauses();
  void SkipParenthesised();

  std::unique_ptr<Statement> ParseCreateTable();

  ColumnDef ParseColumnDef();

  TableConstraint ParseTableConstraint();

  std::unique_ptr<Statement> ParseComment();

  std::unique_ptr<Statement> ParseDrop();

  static constexpr const char* s_ansi_date_format = "YYYY-MM-DD HH24:MI:SS";

  std::string_view sql_;
  std::vector<Token>& tokens_;
  size_t pos_ = 0;
  int depth_ = 0;
  std::vector<NamedQuery> named_queries_;  // the visible ones, outermost first
  std::vector<Name> defining_;             // named queries whose text is being read
  int expansions_ = 0;                     // references read so far, each a copy of its query
};

}  // namespace korvalis::db::sql::detail
