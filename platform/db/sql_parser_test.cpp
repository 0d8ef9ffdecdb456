#include <gtest/gtest.h>

#include "platform/db/sql_error.h"
#include "platform/db/sql_parser.h"
#include "platform/db/sql_token.h"

namespace korvalis::db::sql {
namespace {

std::string storage;  // the token texts of the last Tokens() call

std::vector<Token> Tokens(std::string_view sql) {
  std::vector<Token> tokens;
  Tokenize(sql, &tokens, &storage);
  return tokens;
}

std::string Kinds(std::string_view sql) {
  std::string out;
  for (const Token& t : Tokens(sql)) {
    switch (t.kind) {
      case TokenKind::kWord: out += "w:" + std::string(t.text); break;
      case TokenKind::kQuotedName: out += "q:" + std::string(t.text); break;
      case TokenKind::kString: out += "s:" + std::string(t.text); break;
      case TokenKind::kNumber: out += "n:" + std::string(t.text); break;
      case TokenKind::kOperator: out += "o:" + std::string(t.text); break;
      case TokenKind::kOuterJoinMarker: out += "(+)"; break;
      case TokenKind::kEnd: out += "$"; break;
    }
    out += ' ';
  }
  return out;
}

TEST(TokenizerTest, ReadsTheOracleLexicon) {
  EXPECT_EQ(Kinds("select 'it''s', \"Mixed Name\", n'x' from dual"),
            "w:SELECT s:it's o:, q:Mixed Name o:, s:x w:FROM w:DUAL $ ");
  EXPECT_EQ(Kinds("a=1AND b=.5 OR c=1e3 OR d=2ELSE"),
            "w:A o:= n:1 w:AND w:B o:= n:.5 w:OR w:C o:= n:1e3 w:OR w:D o:= n:2 w:ELSE $ ");
  EXPECT_EQ(Kinds("SELECT/*+rule*/ x -- note\n FROM t /* c */"), "w:SELECT w:X w:FROM w:T $ ");
  EXPECT_EQ(Kinds("a.b(+) = c.d (+) and e( + )"), "w:A o:. w:B (+) o:= w:C o:. w:D (+) w:AND w:E (+) $ ");
  EXPECT_EQ(Kinds("a != b ^= c <> d <= e >= f || g"),
            "w:A o:<> w:B o:<> w:C o:<> w:D o:<= w:E o:>= w:F o:|| w:G $ ");
  EXPECT_EQ(Kinds("名称 = '中文'"), "w:名称 o:= s:中文 $ ");
  EXPECT_THROW(Tokens("select 'open"), SqlError);
  EXPECT_THROW(Tokens("select \"open"), SqlError);
  EXPECT_THROW(Tokens("select /* open"), SqlError);
  EXPECT_THROW(Tokens("select \"\" from t"), SqlError);
  EXPECT_THROW(Tokens("select :bind from t"), SqlError);
}

TEST(TokenizerTest, ReadsDelimitedLiterals) {
  EXPECT_EQ(Kinds("q'[a]'||Q'{b'}'||nq'<]>'||q'§x'§'||q'(()'||seq'c'"),
            "s:a o:|| s:b' o:|| s:] o:|| s:x' o:|| s:( o:|| w:SEQ s:c $ ");
  const std::vector<Token> tokens = Tokens("x = q'!it's!' AND");
  EXPECT_EQ(tokens[2].begin, 4u);
  EXPECT_EQ(tokens[2].end, 13u);
  for (const char* refused : {"select q' a ' from t", "select q'''x''' from t", "select q'",
                              "select q'[open] from t"}) {
    EXPECT_THROW(Tokens(refused), SqlError) << refused;
  }
}

TEST(ParserTest, TellsQueriesFromStatementsThatWriteOrControl) {
  for (const char* query : {"SELECT 1 FROM DUAL", "(SELECT A FROM T) UNION SELECT B FROM U",
                            "WITH W AS (SELECT A FROM T) SELECT A FROM W;", "SELEKT broken"}) {
    EXPECT_FALSE(IsOtherThanQuery(query)) << query;
  }
  for (const char* other :
       {"DELETE FROM T", "update T set A = 1", "INSERT INTO T (A) SELECT 1 FROM DUAL",
        "TRUNCATE TABLE T", "DROP TABLE T", "CREATE TABLE T (A NUMBER)", "COMMIT", "ROLLBACK",
        "COMMENT ON TABLE T IS 'x'"}) {
    EXPECT_TRUE(IsOtherThanQuery(other)) << other;
  }
}

TEST(ParserTest, StatementForms) {
  auto s = Parse("DELETE TELV_X t WHERE t.A = 1;");
  EXPECT_EQ(s->kind, StatementKind::kDelete);
  EXPECT_EQ(s->table.text, "TELV_X");
  EXPECT_EQ(s->alias.text, "T");
  s = Parse("INSERT INTO T a (a.X, Y) SELECT 1, 2 FROM DUAL");
  EXPECT_EQ(s->columns.size(), 2u);
  EXPECT_EQ(s->columns[0].text, "X");
  EXPECT_TRUE(s->select != nullptr);
  s = Parse("UPDATE T SET (A, B) = (SELECT 1, 2 FROM DUAL) WHERE C IN (1, 2)");
  ASSERT_EQ(s->assignments.size(), 1u);
  EXPECT_EQ(s->assignments[0].columns.size(), 2u);
  s = Parse("SELECT A FROM T UNION ALL (SELECT B FROM U) MINUS SELECT C FROM V ORDER BY 1");
  EXPECT_EQ(s->select->cores.size(), 3u);
  EXPECT_EQ(s->select->order_by.size(), 1u);
  s = Parse("SELECT TRIM(LEADING '0' FROM X), CAST(A AS NUMBER(5,2)) FROM T");
  EXPECT_EQ(s->select->cores[0].items[0].expr->args.size(), 3u);
  EXPECT_EQ(s->select->cores[0].items[1].expr->type.scale, 2);
  s = Parse("CREATE TABLE T (A VARCHAR2(10 BYTE) DEFAULT 'x' NOT NULL, B NUMBER(5,2), "
            "CONSTRAINT PK_T PRIMARY KEY (A)) TABLESPACE USERS");
  EXPECT_EQ(s->column_defs.size(), 2u);
  EXPECT_EQ(s->column_defs[0].type.length, 10);
  EXPECT_EQ(s->column_defs[0].default_text, "'x'");
  EXPECT_EQ(s->constraints[0].name.text, "PK_T");
  s = Parse("COMMENT ON COLUMN T.A IS '说明'");
  EXPECT_TRUE(s->comment_on_column);
  EXPECT_EQ(s->comment, "说明");
}

TEST(ParserTest, MistakesAreNamed) {
  auto message = [](std::string_view sql) {
    try {
      Parse(sql);
    } catch (const SqlError& e) {
      return std::string(e.what());
    }
    return std::string("parsed");
  };
  EXPECT_NE(message("SELECT A FROM T WHERE A IN ()").find("ORA-00936"), std::string::npos);
  EXPECT_NE(message("SELECT A B C FROM T").find("ORA-00923"), std::string::npos);
  EXPECT_NE(message("SELECT (A FROM T").find("ORA-00907"), std::string::npos);
  EXPECT_NE(message("SELECT A FROM T; SELECT B FROM T").find("ORA-00933"), std::string::npos);
  EXPECT_NE(message("").find("ORA-00900"), std::string::npos);
  EXPECT_NE(message("GRANT ALL ON T TO U").find("ORA-00900"), std::string::npos);
  EXPECT_NE(message("WITH Q AS (SELECT * FROM Q) SELECT * FROM Q").find("WITH"), std::string::npos);
  EXPECT_NE(message("SELECT A FROM T WHERE (A, B) = ANY (SELECT 1, 2 FROM DUAL)").find("ANY"), std::string::npos);
}

// FOR UPDATE ends a query statement, never a query inside another statement, and says how it
// waits: a wait beyond what the engines count waits as long as they count.
TEST(ParserTest, ForUpdateEndsAQueryStatementAndSaysHowItWaits) {
  auto lock = [](std::string_view sql) { return Parse(sql)->select->for_update; };
  EXPECT_FALSE(lock("SELECT A FROM T WHERE ID = 3"));
  const struct {
    const char* sql;
    RowLock::Wait wait;
    int seconds;
  } locks[] = {
      {"SELECT VAL FROM T WHERE ID = 3 FOR UPDATE", RowLock::Wait::kAsWrites, 0},
      {"select a.VAL from T a for update of a.VAL, B nowait;", RowLock::Wait::kNoWait, 0},
      {"WITH W AS (SELECT A FROM T) SELECT A FROM W ORDER BY A FOR UPDATE WAIT 5",
       RowLock::Wait::kSeconds, 5},
      {"SELECT A FROM T FOR UPDATE WAIT 0", RowLock::Wait::kSeconds, 0},
      {"SELECT A FROM T FOR UPDATE WAIT 2147483", RowLock::Wait::kSeconds, 2147483},
      {"SELECT A FROM T FOR UPDATE WAIT 2147484", RowLock::Wait::kSeconds, 2147483},
      {"SELECT A FROM T FOR UPDATE WAIT 000000000000000000000000000007", RowLock::Wait::kSeconds, 7},
      {"SELECT A FROM T FOR UPDATE WAIT 99999999999999999999999999999", RowLock::Wait::kSeconds,
       2147483},
  };
  for (const auto& expected : locks) {
    const std::optional<RowLock> found = lock(expected.sql);
    ASSERT_TRUE(found) << expected.sql;
    EXPECT_EQ(found->wait, expected.wait) << expected.sql;
    EXPECT_EQ(found->seconds, expected.seconds) << expected.sql;
  }
  // A report's query FOR UPDATE is a query.
  EXPECT_FALSE(IsOtherThanQuery("SELECT A FROM T FOR UPDATE NOWAIT"));

  auto failure = [](std::string_view sql) {
    try {
      Parse(sql);
    } catch (const SqlError& e) {
      return std::to_string(e.code()) + " " + e.what();
    }
    return std::string("parsed");
  };
  for (const char* wait : {"WAIT", "WAIT -1", "WAIT 1.5", "WAIT 1e3", "WAIT X", "WAIT '5'"}) {
    EXPECT_NE(failure(std::string("SELECT A FROM T FOR UPDATE ") + wait).find("ORA-30005"),
              std::string::npos)
        << wait;
  }
  EXPECT_NE(failure("SELECT * FROM (SELECT A FROM T FOR UPDATE)").find("ORA-00907"),
            std::string::npos);
  EXPECT_NE(failure("SELECT A FROM T WHERE A IN (SELECT B FROM U FOR UPDATE)").find("ORA-00907"),
            std::string::npos);
  EXPECT_NE(failure("INSERT INTO U SELECT A FROM T FOR UPDATE").find("ORA-00933"),
            std::string::npos);
  EXPECT_NE(failure("SELECT A FROM T FOR UPDATE NOWAIT WAIT 3").find("ORA-00933"),
            std::string::npos);
  EXPECT_EQ(failure("SELECT A FROM T FOR UPDATE SKIP LOCKED"),
            std::to_string(kNotSupported) +
                " FOR UPDATE SKIP LOCKED is not supported by the database layer");
}

TEST(ParserTest, NestingIsBoundedInsteadOfExhaustingTheStack) {
  std::string deep = "SELECT " + std::string(5000, '(') + "1" + std::string(5000, ')') + " FROM DUAL";
  EXPECT_THROW(Parse(deep), SqlError);
  std::string nots = "SELECT 1 FROM DUAL WHERE ";
  for (int i = 0; i < 5000; ++i) nots += "NOT ";
  EXPECT_THROW(Parse(nots + "1 = 1"), SqlError);
  std::string chain = "SELECT 1";
  for (int i = 0; i < 5000; ++i) chain += " + 1";
  EXPECT_THROW(Parse(chain + " FROM DUAL"), SqlError);
  std::string subqueries = "SELECT 1 FROM DUAL";
  for (int i = 0; i < 300; ++i) subqueries = "SELECT * FROM (" + subqueries + ")";
  EXPECT_THROW(Parse(subqueries), SqlError);
  // Each reference to a named query is a copy of it: a chain reading each link twice is bounded.
  std::string doubling = "WITH Q0 AS (SELECT 1 X FROM DUAL)";
  for (int i = 1; i <= 12; ++i) {
    doubling += ", Q" + std::to_string(i) + " AS (SELECT A.X FROM Q" + std::to_string(i - 1) +
                " A, Q" + std::to_string(i - 1) + " B)";
  }
  EXPECT_THROW(Parse(doubling + " SELECT * FROM Q12"), SqlError);
  // Ordinary depths pass.
  std::string fine = "SELECT " + std::string(40, '(') + "1" + std::string(40, ')') + " FROM DUAL";
  EXPECT_NO_THROW(Parse(fine));
}

}  // namespace
}  // namespace korvalis::db::sql
