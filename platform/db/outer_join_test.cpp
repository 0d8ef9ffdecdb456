// (+) outer joins compared with the rows Oracle gives for them.
#include <gtest/gtest.h>

#include "platform/db/oracle_test_fixture.h"

namespace korvalis::db {
namespace {

class OuterJoinTest : public testing::OracleFixture {
 protected:
  void SetUp() override {
    Open(R"(
CREATE TABLE VISIT (PATIENT_ID VARCHAR2(10), EVENT_NO VARCHAR2(10), DEPT VARCHAR2(10));
CREATE TABLE GRADE (PATIENT_ID VARCHAR2(10), EVENT_NO VARCHAR2(10), SCORE NUMBER, STATUS NUMBER, ITEM_ID NUMBER);
CREATE TABLE ITEM (ID NUMBER, NAME VARCHAR2(20), KIND_ID NUMBER);
CREATE TABLE KIND (KIND_NO NUMBER, LABEL VARCHAR2(20));
INSERT INTO VISIT VALUES ('P1', '1', 'D1');
INSERT INTO VISIT VALUES ('P1', '2', 'D1');
INSERT INTO VISIT VALUES ('P2', '1', 'D2');
INSERT INTO GRADE VALUES ('P1', '1', 90, 1, 10);
INSERT INTO GRADE VALUES ('P1', '1', 80, 0, 11);
INSERT INTO GRADE VALUES ('P2', '2', 70, 1, 10);
INSERT INTO ITEM VALUES (10, 'ten', 5);
INSERT INTO ITEM VALUES (11, 'eleven', NULL);
INSERT INTO KIND VALUES (5, 'five');
)");
  }
};

TEST_F(OuterJoinTest, KeepsRowsWithoutMatchOnSeveralColumnsWithOrWithoutBlank) {
  EXPECT_EQ(Rows("SELECT V.PATIENT_ID, V.EVENT_NO, G.SCORE FROM VISIT V, GRADE G "
                 "WHERE V.PATIENT_ID = G.PATIENT_ID(+) AND V.EVENT_NO = G.EVENT_NO (+) "
                 "ORDER BY V.PATIENT_ID, V.EVENT_NO, G.SCORE"),
            "P1|1|80,P1|1|90,P1|2|<null>,P2|1|<null>");
  // The marker on the left-hand side, and the preserved table written after the joined one.
  EXPECT_EQ(Rows("SELECT V.PATIENT_ID, V.EVENT_NO, G.SCORE FROM GRADE G, VISIT V "
                 "WHERE G.PATIENT_ID(+) = V.PATIENT_ID AND G.EVENT_NO(+) = V.EVENT_NO "
                 "ORDER BY 1, 2, 3"),
            "P1|1|80,P1|1|90,P1|2|<null>,P2|1|<null>");
}

TEST_F(OuterJoinTest, ConditionsOnTheJoinedTableWithoutMarkerFilterAfterTheJoin) {
  // The trap: without (+), the condition removes the rows the join kept.
  EXPECT_EQ(Rows("SELECT V.PATIENT_ID, V.EVENT_NO, G.SCORE FROM VISIT V, GRADE G "
                 "WHERE V.PATIENT_ID = G.PATIENT_ID(+) AND V.EVENT_NO = G.EVENT_NO(+) "
                 "AND G.STATUS = 1 ORDER BY 1, 2"),
            "P1|1|90");
  // With (+), the condition belongs to the join.
  EXPECT_EQ(Rows("SELECT V.PATIENT_ID, V.EVENT_NO, G.SCORE FROM VISIT V, GRADE G "
                 "WHERE V.PATIENT_ID = G.PATIENT_ID(+) AND V.EVENT_NO = G.EVENT_NO(+) "
                 "AND G.STATUS(+) = 1 ORDER BY 1, 2"),
            "P1|1|90,P1|2|<null>,P2|1|<null>");
  // IS NULL on the joined table finds the rows without a match.
  EXPECT_EQ(Rows("SELECT V.PATIENT_ID, V.EVENT_NO FROM VISIT V, GRADE G "
                 "WHERE V.PATIENT_ID = G.PATIENT_ID(+) AND V.EVENT_NO = G.EVENT_NO(+) "
                 "AND G.SCORE IS NULL ORDER BY 1, 2"),
            "P1|2,P2|1");
  // Joined to nothing, a marked condition is a plain filter.
  EXPECT_EQ(Rows("SELECT SCORE FROM GRADE G WHERE G.STATUS(+) = 1 ORDER BY 1"), "70,90");
}

TEST_F(OuterJoinTest, ChainsAndSeveralJoinedTablesFromOne) {
  // VISIT to GRADE to ITEM to KIND: each link keeps the rows of the one before.
  EXPECT_EQ(Rows("SELECT V.PATIENT_ID, V.EVENT_NO, I.NAME, K.LABEL FROM KIND K, ITEM I, GRADE G, VISIT V "
                 "WHERE V.PATIENT_ID = G.PATIENT_ID(+) AND V.EVENT_NO = G.EVENT_NO(+) "
                 "AND G.ITEM_ID = I.ID(+) AND I.KIND_ID = K.KIND_NO(+) ORDER BY 1, 2, 3"),
            "P1|1|eleven|<null>,P1|1|ten|five,P1|2|<null>|<null>,P2|1|<null>|<null>");
  // Two tables joined to one: unqualified marked columns are found through the schema.
  EXPECT_EQ(Rows("SELECT G.SCORE, I.NAME, K.LABEL FROM GRADE G, ITEM I, KIND K "
                 "WHERE G.ITEM_ID = ID(+) AND G.STATUS = KIND_NO(+) ORDER BY 1"),
            "70|ten|<null>,80|eleven|<null>,90|ten|<null>");
}

TEST_F(OuterJoinTest, InlineViewsOnEitherSideAndAnsiJoinsInTheSameFrom) {
  EXPECT_EQ(Rows("SELECT A.PATIENT_ID, A.EVENT_NO, B.TOTAL FROM "
                 "(SELECT PATIENT_ID, EVENT_NO FROM VISIT WHERE DEPT = 'D1') A, "
                 "(SELECT PATIENT_ID, EVENT_NO, SUM(SCORE) TOTAL FROM GRADE GROUP BY PATIENT_ID, EVENT_NO) B "
                 "WHERE A.PATIENT_ID = B.PATIENT_ID(+) AND A.EVENT_NO = B.EVENT_NO(+) ORDER BY 1, 2"),
            "P1|1|170,P1|2|<null>");
  EXPECT_EQ(Rows("SELECT V.EVENT_NO, G.SCORE, I.NAME FROM VISIT V JOIN GRADE G "
                 "ON G.PATIENT_ID = V.PATIENT_ID AND G.EVENT_NO = V.EVENT_NO, ITEM I "
                 "WHERE G.ITEM_ID = I.ID(+) AND I.KIND_ID(+) = 5 ORDER BY 2"),
            "1|80|<null>,1|90|ten");
  EXPECT_NE(Error("SELECT 1 FROM VISIT V LEFT JOIN GRADE G ON G.PATIENT_ID = V.PATIENT_ID, ITEM I "
                  "WHERE I.ID = G.ITEM_ID(+)").find("ORA-25156"), std::string::npos);
}

TEST_F(OuterJoinTest, StarKeepsTheWrittenOrderOfTheTables) {
  EXPECT_EQ(testing::ColumnNames(*c_, "SELECT * FROM KIND K, ITEM I WHERE K.KIND_NO(+) = I.KIND_ID"),
            (std::vector<std::string>{"KIND_NO", "LABEL", "ID", "NAME", "KIND_ID"}));
  EXPECT_EQ(Rows("SELECT * FROM KIND K, ITEM I WHERE K.KIND_NO(+) = I.KIND_ID ORDER BY I.ID"),
            "5|five|10|ten|5,<null>|<null>|11|eleven|<null>");
}

TEST_F(OuterJoinTest, RefusesWhatOracleForbids) {
  EXPECT_NE(Error("SELECT 1 FROM VISIT V, GRADE G WHERE V.PATIENT_ID = G.PATIENT_ID(+) OR V.DEPT = 'D1'")
                .find("ORA-01719"), std::string::npos);
  EXPECT_NE(Error("SELECT 1 FROM VISIT V, GRADE G WHERE V.PATIENT_ID = G.PATIENT_ID(+) AND G.STATUS(+) IN (1, 2)")
                .find("ORA-01719"), std::string::npos);
  EXPECT_NE(Error("SELECT 1 FROM VISIT V, GRADE G WHERE G.PATIENT_ID(+) = (SELECT MAX(PATIENT_ID) FROM VISIT)")
                .find("ORA-01799"), std::string::npos);
  EXPECT_NE(Error("SELECT 1 FROM VISIT V, GRADE G WHERE V.PATIENT_ID(+) = G.PATIENT_ID(+)")
                .find("ORA-01468"), std::string::npos);
  EXPECT_NE(Error("SELECT 1 FROM VISIT V, GRADE G WHERE V.PATIENT_ID(+) = G.PATIENT_ID "
                  "AND G.EVENT_NO(+) = V.EVENT_NO").find("ORA-01416"), std::string::npos);
  // A marker where no FROM list can take it.
  EXPECT_NE(Error("UPDATE GRADE G SET SCORE = 1 WHERE G.STATUS(+) = 1").find("(+)"), std::string::npos);
}

}  // namespace
}  // namespace korvalis::db
