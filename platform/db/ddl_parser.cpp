// The DDL of the schema: CREATE TABLE, VIEW and INDEX (a text index too), COMMENT and DROP.
#include "platform/db/sql_parser_internal.h"

namespace korvalis::db::sql::detail {

bool Parser::LooksLikeQueryAfterParen() const {
  size_t i = 0;
  while (Peek(i).IsOp("(")) ++i;
  return i > 0 && (Peek(i).IsWord("SELECT") || Peek(i).IsWord("WITH"));
}

std::unique_ptr<Statement> Parser::ParseCreate() {
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

void Parser::SkipStorageClauses() {
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

void Parser::SkipParenthesised() {
  ExpectOp("(");
  int depth = 1;
  while (depth > 0) {
    const Token& t = Next();
    if (t.kind == TokenKind::kEnd) Fail("ORA-00907: missing right parenthesis");
    if (t.IsOp("(")) ++depth;
    if (t.IsOp(")")) --depth;
  }
}

std::unique_ptr<Statement> Parser::ParseCreateTable() {
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

ColumnDef Parser::ParseColumnDef() {
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
      col.check_name = constraint_name;
      ExpectOp(")");
    } else if (AcceptWord("REFERENCES")) {
      col.references_table = ParseObjectName();
      col.references_name = constraint_name;
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

TableConstraint Parser::ParseTableConstraint() {
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

std::unique_ptr<Statement> Parser::ParseComment() {
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

std::unique_ptr<Statement> Parser::ParseDrop() {
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

}  // namespace korvalis::db::sql::detail
