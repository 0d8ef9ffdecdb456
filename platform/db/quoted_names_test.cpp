// Names in double quotes that differ only in case are different names, as in Oracle, on both
// engines: tables, views, columns, indexes and constraints side by side, in statements, in
// the names of result columns and in the dictionary views.
#include <gtest/gtest.h>

#include "platform/db/oracle_test_fixture.h"
#include "platform/db/stored_names.h"

namespace korvalis::db {
namespace {

class QuotedNamesTest : public testing::OracleFixture,
                        public ::testing::WithParamInterface<Engine> {
 protected:
  void SetUp() override {
    Open(R"(
CREATE TABLE EMP (ID NUMBER, NAME VARCHAR2(10));
CREATE TABLE "emp" (ID NUMBER PRIMARY KEY, "name" VARCHAR2(10), NAME VARCHAR2(10), "Name" NUMBER,
                    CONSTRAINT "u" UNIQUE ("name"), CONSTRAINT U UNIQUE (NAME));
CREATE INDEX "emp_i" ON "emp" ("Name");
CREATE INDEX EMP_I ON "emp" (NAME, "Name");
INSERT INTO EMP VALUES (1, 'upper');
INSERT INTO "emp" VALUES (2, 'lower', 'UPPER', 3);
INSERT INTO "emp" (ID, "name", NAME, "Name") VALUES (3, 'child', 'CHILD', 2);
CREATE VIEW "v" AS SELECT "name", NAME FROM "emp";
CREATE VIEW V AS SELECT NAME FROM EMP;
)",
         GetParam());
  }
  // The rows of `sql` (OracleFixture::Rows), or the error it fails with.
  std::string Answer(const std::string& sql) {
    const std::string error = Error(sql);
    return error == "no error" ? Rows(sql) : error.substr(0, 9);
  }
};

TEST_P(QuotedNamesTest, NamesDifferingInCaseNameDifferentObjects) {
  const struct {
    const char* sql;
    const char* answer;  // the rows, or the Oracle error code
  } kCases[] = {
      {"SELECT ID, NAME FROM EMP", "1|upper"},
      {"SELECT ID, \"name\", NAME, \"Name\", \"NAME\" FROM \"emp\" ORDER BY ID",
       "2|lower|UPPER|3|UPPER,3|child|CHILD|2|CHILD"},
      {"SELECT * FROM \"emp\" WHERE \"Name\" = 3", "2|lower|UPPER|3"},
      {"SELECT e.\"name\", E.NAME FROM \"emp\" e WHERE e.\"name\" > 'd'", "lower|UPPER"},
      {"SELECT \"emp\".\"name\" FROM \"emp\" WHERE ID = 2", "lower"},
      {"SELECT \"name\" FROM \"emp\" WHERE \"name\" IN (SELECT LOWER(NAME) FROM EMP WHERE ID = 1) "
       "OR NAME = 'UPPER'",
       "lower"},
      {"SELECT \"name\", NAME FROM \"v\" ORDER BY 1", "child|CHILD,lower|UPPER"},
      {"SELECT * FROM V", "upper"},
      {"SELECT X.\"name\" FROM (SELECT \"name\", NAME FROM \"emp\") X WHERE X.NAME = 'CHILD'",
       "child"},
      {"SELECT \"n\", N FROM (SELECT \"name\" \"n\", NAME N FROM \"emp\" ORDER BY ID DESC) "
       "WHERE ROWNUM = 1",
       "child|CHILD"},
      {"SELECT X.NAME, T.ID FROM (SELECT \"name\", NAME FROM \"emp\") X, EMP T "
       "WHERE ROWNUM = 1 OR T.ID = 0",
       "UPPER|1"},
      {"SELECT \"name\" FROM \"emp\" WHERE ROWNUM <= 1 AND \"Name\" = 3 ORDER BY \"name\"",
       "lower"},
      {"SELECT COUNT(*), MAX(\"name\") FROM \"emp\" GROUP BY NAME HAVING NAME = 'UPPER'",
       "1|lower"},
      {"SELECT A.NAME, B.\"name\" FROM EMP A JOIN \"emp\" B ON B.ID = A.ID + 1", "upper|lower"},
      {"SELECT \"name\", LEVEL FROM \"emp\" START WITH ID = 3 "
       "CONNECT BY PRIOR ID = \"Name\" AND LEVEL <= 2",
       "child|1,lower|2"},
      {"SELECT \"name\" FROM \"emp\" UNION ALL SELECT NAME FROM EMP ORDER BY 1",
       "child,lower,upper"},
      {"SELECT \"nAme\" FROM \"emp\"", "ORA-00904"},
      {"SELECT * FROM \"Emp\"", "ORA-00942"},
      {"INSERT INTO \"emp\" (ID, \"name\") VALUES (4, 'lower')", "ORA-00001"},
      {"INSERT INTO \"emp\" (ID, NAME) VALUES (2, 'x')", "ORA-00001"},
      {"CREATE TABLE \"emp\" (A NUMBER)", "ORA-00955"},
      {"CREATE TABLE Q (\"a\" NUMBER, \"a\" NUMBER)", "ORA-00957"},
  };
  for (const auto& k : kCases) EXPECT_EQ(Answer(k.sql), k.answer) << k.sql;
}

TEST_P(QuotedNamesTest, ChangesReachTheTableOfTheirName) {
  c_->Execute("UPDATE \"emp\" SET \"name\" = 'changed', NAME = 'CHANGED' WHERE \"Name\" = 3");
  c_->Execute("UPDATE \"emp\" e SET e.\"Name\" = e.\"Name\" * 10 WHERE e.ID = 3");
  c_->Execute("DELETE FROM EMP WHERE NAME = 'upper'");
  EXPECT_EQ(Rows("SELECT ID, \"name\", NAME, \"Name\" FROM \"emp\" ORDER BY ID"),
            "2|changed|CHANGED|3,3|child|CHILD|20");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM EMP"), "0");
  c_->Execute("INSERT INTO EMP SELECT ID, \"name\" FROM \"emp\" WHERE ID = 3");
  EXPECT_EQ(Rows("SELECT * FROM EMP"), "3|child");
  c_->Execute("DROP VIEW \"v\"");
  c_->Execute("DROP TABLE \"emp\"");
  EXPECT_EQ(Answer("SELECT * FROM \"emp\""), "ORA-00942");
  EXPECT_EQ(Rows("SELECT ID, NAME FROM EMP"), "3|child");
  EXPECT_EQ(Rows("SELECT * FROM V"), "child");
}

TEST_P(QuotedNamesTest, ResultColumnsAndTheDictionaryKeepTheNames) {
  EXPECT_EQ(testing::ColumnNames(*c_, "SELECT * FROM \"emp\""),
            (std::vector<std::string>{"ID", "name", "NAME", "Name"}));
  EXPECT_EQ(testing::ColumnNames(*c_, "SELECT * FROM \"v\""),
            (std::vector<std::string>{"name", "NAME"}));
  EXPECT_EQ(
      testing::ColumnNames(*c_, "SELECT \"name\" \"a\", NAME A, \"name\" || 'x' FROM \"emp\""),
      (std::vector<std::string>{"a", "A", "\"name\"||'x'"}));
  EXPECT_EQ(testing::ColumnNames(*c_, "SELECT X.* FROM (SELECT \"Name\", NAME FROM \"emp\") X"),
            (std::vector<std::string>{"Name", "NAME"}));
  EXPECT_EQ(Rows("SELECT TABLE_NAME, COLUMN_NAME FROM USER_TAB_COLUMNS "
                 "WHERE UPPER(TABLE_NAME) IN ('EMP', 'V') ORDER BY TABLE_NAME, COLUMN_ID"),
            "EMP|ID,EMP|NAME,V|NAME,emp|ID,emp|name,emp|NAME,emp|Name,v|name,v|NAME");
  EXPECT_EQ(Rows("SELECT CONSTRAINT_NAME, COLUMN_NAME FROM USER_CONS_COLUMNS "
                 "WHERE TABLE_NAME = 'emp' AND CONSTRAINT_NAME IN ('u', 'U') ORDER BY 1"),
            "U|NAME,u|name");
}

// The embedded database keeps a name with lower-case letters under a marked name that no
// other Oracle name can be, and reads the Oracle name back from it.
TEST(StoredNamesTest, MarkedNamesReadBackAsTheirNames) {
  const struct {
    const char* name;
    const char* stored;
  } kCases[] = {
      {"ABC", "ABC"},
      {"abc", "abc\"111"},
      {"aBc", "aBc\"101"},
      {"Ab_1", "Ab_1\"01"},
      {"中文", "中文"},
      {"中a", "中a\"0001"},
      {"", ""},
  };
  for (const auto& k : kCases) {
    std::string stored;
    AppendStoredName(k.name, &stored);
    EXPECT_EQ(stored, k.stored) << k.name;
    EXPECT_EQ(OracleNameOf(stored), k.name) << k.name;
  }
  // Texts that only look marked stay as they are (a result column named by its expression).
  for (const char* text : {"\"name\"||'x'", "a\"1x", "a\"0", "ab\"1", "A\"1", "a\"11"}) {
    EXPECT_EQ(OracleNameOf(text), text) << text;
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, QuotedNamesTest, testing::kBothEngines, testing::EngineName);

}  // namespace
}  // namespace korvalis::db
