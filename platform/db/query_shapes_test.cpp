// Query shapes the bodies combine: set operators with limits, inline views, correlated
// subqueries, INSERT ... SELECT and multi-column UPDATE with conversions, analytic functions.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>

#include "platform/db/catalog.h"
#include "platform/db/connection_pool.h"
#include "platform/db/oracle_functions.h"
#include "platform/db/testing/db_test_util.h"
#include "platform/db/script_runner.h"
#include "platform/db/sql_translator.h"

namespace korvalis::db {
namespace {

using testing::Query;
using testing::Rows;
using testing::Scalar;

class QueryShapesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    c_ = OpenConnection("Provider=SQLite;Data Source=:memory:");
    RunScript(*c_, R"(
CREATE TABLE DEPT (ID VARCHAR2(4) PRIMARY KEY, NAME VARCHAR2(20));
CREATE TABLE VISIT (ID NUMBER PRIMARY KEY, DEPT_ID VARCHAR2(4), IN_TIME DATE, SCORE NUMBER(5,1), NOTE VARCHAR2(40));
INSERT INTO DEPT VALUES ('01', '内科');
INSERT INTO DEPT VALUES ('02', '外科');
INSERT INTO DEPT VALUES ('03', '儿科');
INSERT INTO VISIT VALUES (1, '01', '2008-01-01 08:00:00', 90.5, NULL);
INSERT INTO VISIT VALUES (2, '01', '2008-01-05', 70, 'b');
INSERT INTO VISIT VALUES (3, '02', '2008-02-01', NULL, 'c');
INSERT INTO VISIT VALUES (4, '02', '2008-03-01', 85, 'd');
INSERT INTO VISIT VALUES (5, '03', NULL, 60, 'e');
)");
  }
  std::string Column(std::string_view sql) {
    std::string out;
    for (const auto& row : Query(*c_, sql)) out += (out.empty() ? "" : ",") + row[0];
    return out;
  }
  std::unique_ptr<Connection> c_;
};

TEST_F(QueryShapesTest, LimitsInsideSetOperatorsApplyToTheirOwnMember) {
  EXPECT_EQ(Column("SELECT ID FROM VISIT WHERE ROWNUM <= 1 UNION ALL SELECT ID FROM VISIT WHERE DEPT_ID = '02' AND ROWNUM < 2"),
            "1,3");
  EXPECT_EQ(Column("SELECT ID FROM VISIT WHERE DEPT_ID = '01' UNION SELECT ID + 10 FROM VISIT WHERE ROWNUM = 1 ORDER BY 1 DESC"),
            "11,2,1");
  EXPECT_EQ(Column("SELECT * FROM (SELECT ID FROM VISIT ORDER BY SCORE DESC) WHERE ROWNUM < 3"), "3,1");
  EXPECT_EQ(Column("SELECT * FROM (SELECT ID, SCORE FROM VISIT ORDER BY SCORE) A WHERE ROWNUM <= 2 AND A.SCORE > 60"),
            "2,4");
}

TEST_F(QueryShapesTest, InlineViewsAndCorrelatedSubqueries) {
  EXPECT_EQ(Query(*c_, "SELECT D.NAME, (SELECT COUNT(*) FROM VISIT V WHERE V.DEPT_ID = D.ID) N FROM DEPT D ORDER BY D.ID"),
            (Rows{{"内科", "2"}, {"外科", "2"}, {"儿科", "1"}}));
  EXPECT_EQ(Column("SELECT NAME FROM DEPT D WHERE EXISTS (SELECT 1 FROM VISIT V WHERE V.DEPT_ID = D.ID AND V.SCORE > 80) ORDER BY ID"),
            "内科,外科");
  EXPECT_EQ(Column("SELECT NAME FROM DEPT WHERE ID NOT IN (SELECT DEPT_ID FROM VISIT WHERE SCORE < 65) ORDER BY ID"),
            "内科,外科");
  EXPECT_EQ(Column("SELECT MAX(S) FROM (SELECT DEPT_ID, SUM(SCORE) S FROM VISIT GROUP BY DEPT_ID)"), "160.5");
  EXPECT_EQ(Column("SELECT X.ID FROM (SELECT * FROM VISIT WHERE NOTE IS NOT NULL) X, DEPT WHERE DEPT.ID = X.DEPT_ID AND DEPT.ID = '02' ORDER BY 1"),
            "3,4");
  EXPECT_EQ(Column("SELECT ID FROM VISIT WHERE SCORE = (SELECT MAX(SCORE) FROM VISIT)"), "1");
  EXPECT_EQ(Column("SELECT ID FROM VISIT WHERE IN_TIME > (SELECT IN_TIME FROM VISIT WHERE ID = 2) ORDER BY 1"), "3,4");
  // A scalar subquery finding no row is NULL.
  EXPECT_EQ(Column("SELECT NVL((SELECT NOTE FROM VISIT WHERE ID = 99), '-') FROM DUAL"), "-");
}

TEST_F(QueryShapesTest, AnalyticFunctionsSortNullsAsOracle) {
  EXPECT_EQ(Query(*c_, "SELECT ID, ROW_NUMBER() OVER (ORDER BY SCORE DESC) R FROM VISIT ORDER BY ID"),
            (Rows{{"1", "2"}, {"2", "4"}, {"3", "1"}, {"4", "3"}, {"5", "5"}}));
  EXPECT_EQ(Column("SELECT DISTINCT FIRST_VALUE(ID) OVER (PARTITION BY DEPT_ID ORDER BY IN_TIME DESC) FROM VISIT ORDER BY 1"),
            "2,4,5");
  EXPECT_EQ(Column("SELECT COUNT(*) OVER (PARTITION BY DEPT_ID) FROM VISIT WHERE ID = 3"), "1");
}

TEST_F(QueryShapesTest, InsertSelectAndRowUpdatesConvertForTheirColumns) {
  c_->Execute("CREATE TABLE COPY (ID NUMBER(4), WHEN_IN DATE, SCORE NUMBER(4), TXT VARCHAR2(10))");
  c_->Execute("INSERT INTO COPY SELECT ID, TO_CHAR(IN_TIME, 'YYYY-MM-DD'), SCORE, SCORE / 2 FROM VISIT WHERE ID <= 2 "
              "UNION ALL SELECT 9, '2009-09-09', 7.6, NULL FROM DUAL");
  EXPECT_EQ(Query(*c_, "SELECT ID, WHEN_IN, SCORE, TXT FROM COPY ORDER BY ID"),
            (Rows{{"1", "2008-01-01 00:00:00", "91", "45.25"},
                  {"2", "2008-01-05 00:00:00", "70", "35"},
                  {"9", "2009-09-09 00:00:00", "8", "<null>"}}));
  c_->Execute("UPDATE COPY C SET (C.WHEN_IN, C.TXT) = (SELECT '2010-01-01', ID * 2 FROM VISIT V WHERE V.ID = C.ID) WHERE C.ID = 2");
  EXPECT_EQ(Query(*c_, "SELECT WHEN_IN, TXT FROM COPY WHERE ID = 2"), (Rows{{"2010-01-01 00:00:00", "4"}}));
  EXPECT_THROW(c_->Execute("INSERT INTO COPY (ID, WHEN_IN) SELECT ID FROM VISIT"), DbError);
  EXPECT_THROW(c_->Execute("INSERT INTO COPY (ID, WHEN_IN) SELECT ID, NOTE FROM VISIT WHERE ID = 2"), DbError);
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM COPY"), "3");
}

TEST_F(QueryShapesTest, JoinsWrittenTheAnsiWay) {
  EXPECT_EQ(Query(*c_, "SELECT D.NAME, V.ID FROM DEPT D LEFT OUTER JOIN VISIT V ON V.DEPT_ID = D.ID AND V.SCORE > 80 ORDER BY D.ID, V.ID"),
            (Rows{{"内科", "1"}, {"外科", "4"}, {"儿科", "<null>"}}));
  EXPECT_EQ(Column("SELECT COUNT(*) FROM DEPT D INNER JOIN VISIT V ON V.DEPT_ID = D.ID"), "5");
  EXPECT_EQ(Column("SELECT COUNT(*) FROM DEPT CROSS JOIN DEPT B"), "9");
}

// A database file made by `script`, opened on its own with the Oracle functions: what the
// front end writes for a statement, and the plan the embedded database makes of it.
class TranslatedOn {
 public:
  explicit TranslatedOn(const char* script)
      : path_(::testing::TempDir() + "query_plan_test.db") {
    std::remove(path_.c_str());
    RunScript(*CreateDatabase("Provider=SQLite;Data Source=" + path_), script);
    EXPECT_EQ(sqlite3_open(path_.c_str(), &db_), SQLITE_OK);
    EXPECT_EQ(RegisterOracleFunctions(db_), SQLITE_OK);
  }
  ~TranslatedOn() {
    sqlite3_close(db_);
    ConnectionPools::Close("Provider=SQLite;Data Source=" + path_);
    std::remove(path_.c_str());
  }

  std::string Sql(const char* oracle_sql, Engine engine = Engine::kSqlite) {
    return Translate(oracle_sql, *Catalog::Load(db_), engine).statements.back();
  }
  std::string Plan(const char* oracle_sql) {
    sqlite3_stmt* stmt = nullptr;
    std::string steps;
    EXPECT_EQ(sqlite3_prepare_v2(db_, ("EXPLAIN QUERY PLAN " + Sql(oracle_sql)).c_str(), -1,
                                 &stmt, nullptr),
              SQLITE_OK);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      steps += reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3));
    }
    sqlite3_finalize(stmt);
    return steps;
  }

 private:
  std::string path_;
  sqlite3* db_ = nullptr;
};

// A column's IS NOT NULL filters without choosing the column's index (the table is read in
// its order), while IS NULL and comparisons still search it.
TEST(QueryPlanTest, IsNotNullOfAColumnLeavesItsIndexAlone) {
  TranslatedOn db(
      "CREATE TABLE VISIT (ID VARCHAR2(8) PRIMARY KEY, OUT_TIME DATE);\n"
      "CREATE INDEX IX_VISIT_OUT_TIME ON VISIT (OUT_TIME);\n");
  EXPECT_EQ(db.Plan("SELECT ID FROM VISIT V WHERE V.OUT_TIME IS NOT NULL"), "SCAN V");
  EXPECT_EQ(db.Plan("SELECT ID FROM VISIT WHERE OUT_TIME IS NULL"),
            "SEARCH VISIT USING INDEX IX_VISIT_OUT_TIME (OUT_TIME=?)");
  EXPECT_EQ(db.Plan("SELECT ID FROM VISIT WHERE OUT_TIME IS NOT NULL AND OUT_TIME > SYSDATE - 1"),
            "SEARCH VISIT USING INDEX IX_VISIT_OUT_TIME (OUT_TIME>?)");
}

// A pattern that starts with characters of its own searches the column's index between them,
// as the engine's own LIKE would, wherever the column stands in the index; one that starts with
// a wildcard reads the table, and so does one of a column that no index holds, without comparing
// its rows with a range.
TEST(QueryPlanTest, ALikeOfAPrefixSearchesTheColumnsIndex) {
  TranslatedOn db(
      "CREATE TABLE PATIENT (ID VARCHAR2(8) PRIMARY KEY, NAME VARCHAR2(20), DEPT VARCHAR2(8), "
      "WARD VARCHAR2(8));\n"
      "CREATE INDEX IX_PATIENT_WARD ON PATIENT (DEPT, WARD);\n");
  EXPECT_EQ(db.Plan("SELECT NAME FROM PATIENT WHERE ID LIKE 'RS%'"),
            "SEARCH PATIENT USING INDEX sqlite_autoindex_PATIENT_1 (ID>? AND ID<?)");
  EXPECT_EQ(db.Plan("SELECT NAME FROM PATIENT WHERE ID LIKE 'R_S%'"),
            "SEARCH PATIENT USING INDEX sqlite_autoindex_PATIENT_1 (ID>? AND ID<?)");
  EXPECT_EQ(db.Plan("SELECT NAME FROM PATIENT WHERE DEPT = 'A' AND WARD LIKE 'R_S%'"),
            "SEARCH PATIENT USING INDEX IX_PATIENT_WARD (DEPT=? AND WARD>? AND WARD<?)");
  EXPECT_EQ(db.Plan("SELECT ID FROM PATIENT WHERE NAME LIKE 'R_S%'"), "SCAN PATIENT");
  EXPECT_EQ(db.Sql("SELECT ID FROM PATIENT WHERE NAME LIKE 'R_S%'").find(">="), std::string::npos);
  EXPECT_EQ(db.Plan("SELECT NAME FROM PATIENT WHERE ID LIKE '%RS'"), "SCAN PATIENT");
  EXPECT_EQ(db.Plan("SELECT NAME FROM PATIENT WHERE ID NOT LIKE 'RS%'"), "SCAN PATIENT");
}

// ORDER BY of columns declared NOT NULL reads them in an index's order without a sort; a
// column that may hold NULL, or one an outer join may set to NULL, keeps where NULL sorts.
TEST(QueryPlanTest, OrderOfColumnsNeverNullTakesTheIndexOrder) {
  TranslatedOn db(
      "CREATE TABLE VISIT (PATIENT_ID VARCHAR2(8) NOT NULL, EVENT_NO VARCHAR2(8) NOT NULL, "
      "NOTE VARCHAR2(8), PRIMARY KEY (PATIENT_ID, EVENT_NO));\n");
  EXPECT_EQ(db.Plan("SELECT V.NOTE FROM VISIT V ORDER BY V.PATIENT_ID, V.EVENT_NO"),
            "SCAN V USING INDEX sqlite_autoindex_VISIT_1");
  EXPECT_EQ(db.Plan("SELECT V.NOTE FROM VISIT V ORDER BY V.PATIENT_ID DESC, V.EVENT_NO DESC"),
            "SCAN V USING INDEX sqlite_autoindex_VISIT_1");
  for (const char* keeps_nulls :
       {"SELECT V.NOTE FROM VISIT V ORDER BY V.NOTE", "SELECT NOTE FROM VISIT ORDER BY PATIENT_ID",
        "SELECT V.NOTE FROM VISIT V LEFT JOIN VISIT W ON W.NOTE = V.NOTE ORDER BY W.PATIENT_ID",
        "SELECT V.NOTE FROM VISIT V, VISIT W WHERE W.NOTE(+) = V.NOTE ORDER BY W.PATIENT_ID"}) {
    EXPECT_NE(db.Sql(keeps_nulls).find(" NULLS "), std::string::npos) << keeps_nulls;
  }
}

// TRUNC of a difference of two dates is one call (its answers: date_difference_test.cpp).
TEST(QueryPlanTest, OnlyTruncOfADifferenceOfDatesTakesTheOneCall) {
  TranslatedOn db("CREATE TABLE VISIT (IN_TIME DATE, OUT_TIME DATE, DAYS NUMBER);\n");
  EXPECT_NE(db.Sql("SELECT TRUNC(OUT_TIME - IN_TIME) FROM VISIT").find("ora_trunc_date_diff("),
            std::string::npos);
  for (const char* other :
       {"SELECT TRUNC(OUT_TIME - 1) FROM VISIT", "SELECT ROUND(OUT_TIME - IN_TIME) FROM VISIT",
        "SELECT TRUNC(OUT_TIME - IN_TIME, 1) FROM VISIT",
        "SELECT TRUNC(OUT_TIME - IN_TIME - DAYS) FROM VISIT",
        "SELECT TRUNC(DAYS - DAYS) FROM VISIT"}) {
    EXPECT_EQ(db.Sql(other).find("ora_trunc_date_diff("), std::string::npos) << other;
  }
}

// The server rounds a product, and a sum of a computed value, to a NUMBER's digits, except where
// the declared digits of its operands show the exact result short enough.
TEST(QueryPlanTest, TheServerRoundsOnlyWhatCanCarryMoreDigitsThanANumber) {
  TranslatedOn db("CREATE TABLE T (P NUMBER(5,2), Q NUMBER(3), I INTEGER, X NUMBER, D DATE);\n");
  const struct {
    const char* sql;
    bool rounded;
  } cases[] = {
      {"SELECT P * Q * 100 FROM T", false},   {"SELECT Q * I FROM T", true},
      {"SELECT P + X - 1 FROM T", false},     {"SELECT P * 1E-40 FROM T", false},
      {"SELECT X * 2 FROM T", true},          {"SELECT P - I FROM T", true},
      {"SELECT (SYSDATE - D) * 24 FROM T", true}, {"SELECT SYSDATE - D - P FROM T", true},
      {"SELECT P + 1 / 3 FROM T", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(db.Sql(c.sql, Engine::kPostgres).find("ora_shown(") != std::string::npos, c.rounded)
        << c.sql;
  }
}

}  // namespace
}  // namespace korvalis::db
