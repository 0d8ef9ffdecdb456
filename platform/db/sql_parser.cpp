// Oracle SQL statements: which statement a text is, and INSERT, UPDATE and DELETE.
#include "platform/db/sql_parser.h"

#include "platform/db/sql_parser_internal.h"

namespace korvalis::db::sql::detail {

std::unique_ptr<Statement> Parser::ParseStatement() {
  std::unique_ptr<Statement> stmt;
  const Token& t = Peek();
  if (t.IsWord("SELECT") || t.IsOp("(") || t.IsWord("WITH")) {
    stmt = std::make_unique<Statement>(StatementKind::kSelect);
    stmt->select = ParseSelect();
    if (AcceptWord("FOR")) stmt->select->for_update = ParseForUpdate();
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

std::unique_ptr<Statement> Parser::ParseInsert() {
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
  } else if (StartsQuery() || Peek().IsOp("(")) {
    stmt->select = ParseSelect();
  } else {
    Fail("ORA-00926: missing VALUES keyword");
  }
  return stmt;
}

std::unique_ptr<Statement> Parser::ParseUpdate() {
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

std::unique_ptr<Statement> Parser::ParseDelete() {
  Next();  // DELETE
  AcceptWord("FROM");
  auto stmt = std::make_unique<Statement>(StatementKind::kDelete);
  stmt->table = ParseObjectName();
  if (PeekName()) stmt->alias = ParseName("alias");
  if (AcceptWord("WHERE")) stmt->where = ParseExpr();
  return stmt;
}

}  // namespace korvalis::db::sql::detail

namespace korvalis::db::sql {

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
  detail::Parser parser(sql, &tokens, &storage);
  return parser.ParseStatement();
}

bool IsOtherThanQuery(std::string_view sql) {
  try {
    return Parse(sql)->kind != StatementKind::kSelect;
  } catch (const DbError&) {
    return false;
  }
}

}  // namespace korvalis::db::sql
