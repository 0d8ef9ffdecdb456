// Inline views nested many levels deep, on both engines: plain, with a subquery or a window
// function innermost, chained named queries, views that read a column of an enclosing query,
// ROWNUM, (+) outer joins and CONNECT BY over them, and changes of rows that read them.
#include <gtest/gtest.h>

#include <string>

#include "platform/db/oracle_test_fixture.h"

namespace korvalis::db {
namespace {

// `query` read through `levels` inline views, each selecting every column of the one inside.
std::string Nested(int levels, const std::string& query) {
  std::string sql = query;
  for (int i = 1; i <= levels; ++i) sql = "SELECT * FROM (" + sql + ") V" + std::to_string(i);
  return sql;
}

class NestedViewsTest : public testing::OracleFixture,
                        public ::testing::WithParamInterface<Engine> {
 protected:
  void SetUp() override {
    Open(R"(
CREATE TABLE WARD (ID NUMBER, NAME VARCHAR2(10), PARENT_ID NUMBER);
INSERT INTO WARD VALUES (1, 'A', NULL);
INSERT INTO WARD VALUES (2, 'B', 1);
INSERT INTO WARD VALUES (3, 'C', 2);
INSERT INTO WARD VALUES (4, NULL, 2);
CREATE TABLE COPY (ID NUMBER, NAME VARCHAR2(10));
)",
         GetParam());
  }
};

TEST_P(NestedViewsTest, DeepViewsAnswerWhateverStandsInnermost) {
  for (int levels : {15, 16, 18, 40}) {
    SCOPED_TRACE(levels);
    EXPECT_EQ(Rows(Nested(levels, "SELECT ID, NAME FROM WARD WHERE ID < 3") + " ORDER BY ID"),
              "1|A,2|B");
    EXPECT_EQ(Rows(Nested(levels, "SELECT ID FROM WARD WHERE ID IN (SELECT PARENT_ID FROM WARD)") +
                   " ORDER BY ID"),
              "1,2");
    EXPECT_EQ(Rows(Nested(levels, "SELECT ID, ROW_NUMBER() OVER (ORDER BY ID DESC) AS R FROM WARD") +
                   " ORDER BY ID"),
              "1|4,2|3,3|2,4|1");
    // Two deep views side by side, joined.
    EXPECT_EQ(Rows("SELECT L.ID, R.NAME FROM (" + Nested(levels, "SELECT ID FROM WARD") + ") L, (" +
                   Nested(levels, "SELECT ID, NAME FROM WARD") +
                   ") R WHERE L.ID = R.ID AND L.ID > 2 ORDER BY 1"),
              "3|C,4|<null>");
  }
}

TEST_P(NestedViewsTest, ChainedNamedQueriesAnswer) {
  std::string sql = "WITH Q0 AS (SELECT ID, NAME FROM WARD)";
  for (int i = 1; i <= 20; ++i) {
    sql += ", Q" + std::to_string(i) + " AS (SELECT ID + 1 AS ID, NAME FROM Q" +
           std::to_string(i - 1) + ")";
  }
  EXPECT_EQ(Rows(sql + " SELECT ID, NAME FROM Q20 WHERE ID <= 22 ORDER BY ID"), "21|A,22|B");
}

// A view reading a column of the query around it stays where it stands; the views inside it
// that read none are read apart.
TEST_P(NestedViewsTest, ViewsReadingAnEnclosingQueryAnswerForEachOfItsRows) {
  const std::string deep = Nested(15, "SELECT ID FROM WARD");
  EXPECT_EQ(Rows("SELECT W.ID, (SELECT SUM(V.S) FROM (SELECT W.ID * 10 + D.ID AS S FROM (" + deep +
                 ") D) V) AS T FROM WARD W ORDER BY W.ID"),
            "1|50,2|90,3|130,4|170");
  EXPECT_EQ(Rows("SELECT W.ID FROM WARD W WHERE EXISTS (SELECT 1 FROM (SELECT D.ID FROM (" + deep +
                 ") D WHERE D.ID = W.PARENT_ID) V) ORDER BY W.ID"),
            "2,3,4");
}

TEST_P(NestedViewsTest, RownumOuterJoinsAndHierarchiesReadDeepViews) {
  EXPECT_EQ(Rows("SELECT ID FROM (" + Nested(15, "SELECT ID FROM WARD ORDER BY ID DESC") +
                 ") WHERE ROWNUM <= 2"),
            "4,3");
  EXPECT_EQ(Rows("SELECT ROWNUM, ID FROM (" + Nested(15, "SELECT ID FROM WARD ORDER BY ID") +
                 ") WHERE ROWNUM < 3"),
            "1|1,2|2");
  EXPECT_EQ(Rows("SELECT W.ID, V.NAME FROM WARD W, (" +
                 Nested(15, "SELECT ID, NAME FROM WARD WHERE ID > 2") +
                 ") V WHERE W.ID = V.ID(+) ORDER BY W.ID"),
            "1|<null>,2|<null>,3|C,4|<null>");
  EXPECT_EQ(Rows(Nested(15, "SELECT ID, LEVEL AS L FROM WARD START WITH PARENT_ID IS NULL "
                            "CONNECT BY PRIOR ID = PARENT_ID") +
                 " ORDER BY ID"),
            "1|1,2|2,3|3,4|3");
  EXPECT_EQ(Rows("SELECT ID, LEVEL FROM (" + Nested(15, "SELECT ID, PARENT_ID FROM WARD") +
                 ") START WITH ID = 2 CONNECT BY PRIOR ID = PARENT_ID ORDER BY ID"),
            "2|1,3|2,4|2");
}

TEST_P(NestedViewsTest, ChangesOfRowsReadDeepViews) {
  const std::string deep = Nested(16, "SELECT ID, NAME FROM WARD WHERE ID IN (SELECT ID FROM WARD)");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM (" + deep + ")"), "4");
  testing::Query(*c_, "INSERT INTO COPY SELECT ID, NAME FROM (" + deep + ") WHERE ID > 1");
  testing::Query(*c_, "UPDATE COPY SET NAME = 'X' WHERE ID IN (SELECT ID FROM (" + deep + ") WHERE ID > 3)");
  testing::Query(*c_, "DELETE FROM COPY WHERE ID = (SELECT MIN(ID) FROM (" + deep + ") WHERE ID > 1)");
  EXPECT_EQ(Rows("SELECT ID, NAME FROM COPY ORDER BY ID"), "3|C,4|X");
}

TEST_P(NestedViewsTest, AViewDefinedOverDeepViewsAnswers) {
  testing::Query(*c_, "CREATE VIEW DEEP_WARD AS " +
                          Nested(16, "SELECT ID, NAME FROM WARD WHERE ID IN (SELECT ID FROM WARD)"));
  EXPECT_EQ(Rows("SELECT ID, NAME FROM DEEP_WARD WHERE ID < 3 ORDER BY ID"), "1|A,2|B");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM (" + Nested(15, "SELECT ID FROM DEEP_WARD") + ")"), "4");
}

INSTANTIATE_TEST_SUITE_P(Engines, NestedViewsTest, testing::kBothEngines, testing::EngineName);

}  // namespace
}  // namespace korvalis::db
