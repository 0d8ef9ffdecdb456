// ROWNUM paging with a total, and ROWNUM in aggregates and correlated subqueries, compared
// with the rows Oracle gives for them.
#include <gtest/gtest.h>

#include <string>

#include "platform/db/oracle_test_fixture.h"

namespace korvalis::db {
namespace {

class PagingTest : public testing::OracleFixture {
 protected:
  void SetUp() override {
    std::string script =
        "CREATE TABLE DOC (ID NUMBER, TITLE VARCHAR2(20), KIND NUMBER, MADE DATE);\n"
        "CREATE TABLE VISIT (ID NUMBER, NAME VARCHAR2(20));\n"
        "INSERT INTO VISIT VALUES (1, 'one');\nINSERT INTO VISIT VALUES (2, 'two');\n";
    // 35 documents of kind 1, 7 of kind 2.
    for (int i = 1; i <= 42; ++i) {
      script += "INSERT INTO DOC VALUES (" + std::to_string(i) + ", 'doc" + std::to_string(i) +
                "', " + (i <= 35 ? "1" : "2") + ", '2009-01-01');\n";
    }
    Open(script);
  }
  // The paged statement of the record searches: a page of Q and, on the first page, the
  // sentinel row whose number is the total.
  static std::string Page(const std::string& q, int start, int end) {
    const std::string d = "to_date('2007-07-07', 'YYYY-MM-DD HH24:MI:SS')";
    std::string s = "SELECT * FROM (SELECT A.*, ROWNUM RN FROM (" + q + ") A WHERE ROWNUM <= " +
                    std::to_string(end);
    if (start == 1) {
      s += " UNION SELECT 0 ID, '0' TITLE, " + d + " MADE, MAX(ROWNUM) RN FROM (" + q + ") A ";
    }
    return s + ") WHERE RN >= " + std::to_string(start) + " ORDER BY RN";
  }
  // "id:rn" of each row of a page.
  std::string Hits(const std::string& sql) {
    std::string out;
    for (const auto& row : testing::Query(*c_, sql)) {
      if (!out.empty()) out.push_back(',');
      out += row[0] + ":" + row[3];
    }
    return out;
  }
  static std::string Numbered(int from, int to) {
    std::string out;
    for (int i = from; i <= to; ++i) out += (out.empty() ? "" : ",") + std::to_string(i) + ":" + std::to_string(i);
    return out;
  }
};

TEST_F(PagingTest, PagesOfTwentyWithTheSentinelCount) {
  const std::string q = "SELECT ID, TITLE, MADE FROM DOC WHERE KIND = 1";
  EXPECT_EQ(Hits(Page(q, 1, 20)), Numbered(1, 20) + ",0:35");
  EXPECT_EQ(Hits(Page(q, 21, 40)), Numbered(21, 35));
  // Fewer hits than the page: the sentinel shares the number of the last hit.
  const std::string seven = "SELECT ID - 35 ID, TITLE, MADE FROM DOC WHERE KIND = 2";
  const std::string page = Hits(Page(seven, 1, 20));
  EXPECT_TRUE(page == Numbered(1, 7) + ",0:7" || page == Numbered(1, 6) + ",0:7,7:7") << page;
  // No hit: no sentinel either; end row 0: the sentinel alone counts.
  EXPECT_EQ(Hits(Page("SELECT ID, TITLE, MADE FROM DOC WHERE KIND = 3", 1, 20)), "");
  EXPECT_EQ(Hits(Page(q, 1, 0)), "0:35");
  // The sentinel's date column is a date.
  EXPECT_EQ(Rows("SELECT MADE FROM (" + Page(q, 1, 1) + ") WHERE ID = 0"), "2007-07-07 00:00:00");
}

TEST_F(PagingTest, RownumInAggregatesCountsTheRowsThatPassWhere) {
  EXPECT_EQ(Rows("SELECT MAX(ROWNUM), MIN(ROWNUM), COUNT(ROWNUM) FROM DOC WHERE KIND = 2"), "7|1|7");
  EXPECT_EQ(Rows("SELECT MAX(ROWNUM) FROM DOC D WHERE D.KIND = 3"), "<null>");
  EXPECT_EQ(Rows("SELECT KIND, MAX(ROWNUM) FROM DOC WHERE ID > 30 GROUP BY KIND ORDER BY KIND"), "1|5,2|12");
  // Over several tables the joined rows are numbered.
  EXPECT_EQ(Rows("SELECT MAX(ROWNUM) FROM DOC, VISIT WHERE DOC.KIND = 2"), "14");
}

TEST_F(PagingTest, RownumInCorrelatedScalarSubqueries) {
  EXPECT_EQ(Rows("SELECT V.NAME, (SELECT 1 FROM DOC D WHERE D.ID = V.ID AND ROWNUM = 1) AS HAS_DOC, "
                 "(SELECT COUNT(*) FROM DOC D WHERE D.ID <= V.ID) AS N FROM VISIT V ORDER BY V.ID"),
            "one|1|1,two|1|2");
  // The last document of a kind: ROWNUM after the inner ORDER BY.
  EXPECT_EQ(Rows("SELECT V.NAME, (SELECT TITLE FROM (SELECT TITLE, KIND FROM DOC ORDER BY ID DESC) X "
                 "WHERE X.KIND = V.ID AND ROWNUM = 1) AS LAST_DOC FROM VISIT V ORDER BY V.ID"),
            "one|doc35,two|doc42");
  EXPECT_EQ(Rows("SELECT V.NAME FROM VISIT V WHERE (SELECT D.TITLE FROM DOC D WHERE D.ID > V.ID AND ROWNUM < 2) = 'doc2'"),
            "one");
}

}  // namespace
}  // namespace korvalis::db
