// Hierarchical queries compared with the rows Oracle gives for them.
#include <gtest/gtest.h>

#include "platform/db/oracle_test_fixture.h"

namespace korvalis::db {
namespace {

class HierarchyTest : public testing::OracleFixture {
 protected:
  void SetUp() override {
    // Stored out of order: siblings come in the order they are stored.
    Open(R"(
CREATE TABLE CAT (ID NUMBER, PARENT_ID NUMBER, NAME VARCHAR2(20), STATUS NUMBER);
INSERT INTO CAT VALUES (1, NULL, 'root', 1);
INSERT INTO CAT VALUES (3, 1, 'b', 1);
INSERT INTO CAT VALUES (2, 1, 'a', 0);
INSERT INTO CAT VALUES (5, 3, 'b1', 1);
INSERT INTO CAT VALUES (4, 2, 'a1', 1);
INSERT INTO CAT VALUES (6, 4, 'a11', 1);
INSERT INTO CAT VALUES (9, NULL, 'other', 1);
CREATE TABLE LOOPED (ID NUMBER, PARENT_ID NUMBER);
INSERT INTO LOOPED VALUES (7, 8);
INSERT INTO LOOPED VALUES (8, 7);
INSERT INTO LOOPED VALUES (10, 8);
CREATE VIEW LIVE_CAT AS SELECT ID, PARENT_ID, NAME FROM CAT WHERE STATUS = 1;
)");
  }
};

TEST_F(HierarchyTest, DepthFirstPreOrderWithLevelInEitherClauseOrder) {
  EXPECT_EQ(Rows("SELECT ID, LEVEL FROM CAT START WITH ID = 1 CONNECT BY PRIOR ID = PARENT_ID"),
            "1|1,3|2,5|3,2|2,4|3,6|4");
  EXPECT_EQ(Rows("SELECT A.ID, A.NAME FROM CAT A CONNECT BY PRIOR ID = A.PARENT_ID START WITH 1=1 AND A.ID = 2"),
            "2|a,4|a1,6|a11");
  // Without START WITH every row is a root: each row once per ancestor and itself.
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM CAT CONNECT BY PRIOR ID = PARENT_ID"), "16");
  // Several roots, each followed by its subtree.
  EXPECT_EQ(Rows("SELECT ID FROM CAT START WITH PARENT_ID IS NULL CONNECT BY PRIOR ID = PARENT_ID"),
            "1,3,5,2,4,6,9");
  // LEVEL in CONNECT BY limits the depth; ORDER BY replaces the tree's order.
  EXPECT_EQ(Rows("SELECT ID FROM CAT START WITH ID = 1 CONNECT BY PRIOR ID = PARENT_ID AND LEVEL <= 2"),
            "1,3,2");
  EXPECT_EQ(Rows("SELECT ID FROM CAT START WITH ID = 1 CONNECT BY PRIOR ID = PARENT_ID ORDER BY ID DESC"),
            "6,5,4,3,2,1");
  // Walking up: PRIOR on the other side.
  EXPECT_EQ(Rows("SELECT NAME FROM CAT START WITH ID = 6 CONNECT BY ID = PRIOR PARENT_ID"),
            "a11,a1,a,root");
}

TEST_F(HierarchyTest, WhereFiltersTheTreeWithoutCuttingItsBranches) {
  EXPECT_EQ(Rows("SELECT ID FROM CAT WHERE STATUS = 1 START WITH ID = 1 CONNECT BY PRIOR ID = PARENT_ID"),
            "1,3,5,4,6");
  // A condition in CONNECT BY cuts the branch.
  EXPECT_EQ(Rows("SELECT ID FROM CAT START WITH ID = 1 CONNECT BY PRIOR ID = PARENT_ID AND STATUS = 1"),
            "1,3,5");
}

TEST_F(HierarchyTest, SubqueriesViewsAndStar) {
  c_->Execute("UPDATE CAT SET NAME = 'x' WHERE ID IN (SELECT ID FROM CAT CONNECT BY PRIOR ID = PARENT_ID START WITH ID = 2)");
  EXPECT_EQ(Rows("SELECT ID FROM CAT WHERE NAME = 'x' ORDER BY ID"), "2,4,6");
  EXPECT_EQ(Rows("SELECT B.NAME FROM CAT B WHERE B.ID IN (SELECT A.ID FROM LIVE_CAT A CONNECT BY PRIOR A.ID = A.PARENT_ID START WITH A.ID = 1) ORDER BY 1"),
            "b,b1,root");
  EXPECT_EQ(Rows("SELECT V.ID, LEVEL FROM (SELECT ID, PARENT_ID FROM CAT WHERE ID <> 5) V START WITH V.ID = 3 CONNECT BY PRIOR V.ID = V.PARENT_ID"),
            "3|1");
  // A walk from each row of the enclosing query.
  EXPECT_EQ(Rows("SELECT A.ID, (SELECT COUNT(*) FROM CAT X WHERE X.ID IN (SELECT B.ID FROM CAT B "
                 "START WITH B.ID = A.ID CONNECT BY PRIOR B.ID = B.PARENT_ID)) FROM CAT A ORDER BY A.ID"),
            "1|6,2|3,3|2,4|2,5|1,6|1,9|1");
  EXPECT_EQ(testing::ColumnNames(*c_, "SELECT * FROM CAT START WITH ID = 9 CONNECT BY PRIOR ID = PARENT_ID"),
            (std::vector<std::string>{"ID", "PARENT_ID", "NAME", "STATUS"}));
}

TEST_F(HierarchyTest, ALoopFailsInsteadOfRunningForever) {
  EXPECT_NE(Error("SELECT ID FROM LOOPED START WITH ID = 7 CONNECT BY PRIOR ID = PARENT_ID").find("ORA-01436"),
            std::string::npos);
  EXPECT_NE(Error("SELECT ID FROM CAT START WITH ID = 1 CONNECT BY PRIOR ID = ID").find("ORA-01436"),
            std::string::npos);
  // NOCYCLE leaves the row that closes the loop out.
  EXPECT_EQ(Rows("SELECT ID, LEVEL FROM LOOPED START WITH ID = 7 CONNECT BY NOCYCLE PRIOR ID = PARENT_ID"),
            "7|1,8|2,10|3");
}

TEST_F(HierarchyTest, RefusesWhatCannotBeTranslatedExactly) {
  EXPECT_NE(Error("SELECT ID FROM CAT START WITH ID = 1").find("ORA-01788"), std::string::npos);
  EXPECT_NE(Error("SELECT LEVEL FROM CAT").find("ORA-01788"), std::string::npos);
  EXPECT_NE(Error("SELECT A.ID FROM CAT A, CAT B START WITH A.ID = 1 CONNECT BY PRIOR A.ID = A.PARENT_ID")
                .find("not supported"), std::string::npos);
}

}  // namespace
}  // namespace korvalis::db
