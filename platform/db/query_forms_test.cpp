// Query forms a report author writes (set operators, ROWNUM in any condition, hierarchical
// queries), with the rows Oracle gives for them, on both engines.
#include <gtest/gtest.h>

#include "platform/db/oracle_test_fixture.h"

namespace korvalis::db {
namespace {

class QueryFormsTest : public testing::OracleFixture, public ::testing::WithParamInterface<Engine> {
 protected:
  void SetUp() override {
    Open(R"(
CREATE TABLE T (ID NUMBER, GRP VARCHAR2(5));
INSERT INTO T VALUES (1, 'x');
INSERT INTO T VALUES (2, 'y');
INSERT INTO T VALUES (3, 'x');
INSERT INTO T VALUES (4, 'y');
INSERT INTO T VALUES (5, 'x');
CREATE TABLE TREE (ID NUMBER, PARENT_ID NUMBER, NAME VARCHAR2(10));
INSERT INTO TREE VALUES (1, NULL, 'r');
INSERT INTO TREE VALUES (2, 1, 'a');
INSERT INTO TREE VALUES (3, 1, 'b');
INSERT INTO TREE VALUES (4, 2, 'a1');
INSERT INTO TREE VALUES (5, 3, NULL);
CREATE TABLE LOOPED (ID NUMBER, PARENT_ID NUMBER);
INSERT INTO LOOPED VALUES (7, 8);
INSERT INTO LOOPED VALUES (8, 7);
INSERT INTO LOOPED VALUES (10, 8);
)",
         GetParam());
  }
};

// UNION, UNION ALL, INTERSECT and MINUS are of one precedence and run left to right;
// parentheses group.
TEST_P(QueryFormsTest, SetOperatorsRunLeftToRight) {
  Check({
      {"SELECT ID FROM T WHERE ID <= 2 UNION SELECT ID FROM T WHERE ID = 4 "
       "INTERSECT SELECT ID FROM T WHERE ID >= 2 ORDER BY 1",
       "2,4"},
      {"SELECT ID FROM T WHERE ID <= 2 UNION (SELECT ID FROM T WHERE ID = 4 "
       "INTERSECT SELECT ID FROM T WHERE ID >= 2) ORDER BY 1",
       "1,2,4"},
      {"SELECT ID FROM T MINUS SELECT ID FROM T WHERE ID > 1 UNION ALL SELECT 1 FROM DUAL "
       "INTERSECT SELECT ID FROM T WHERE ID < 3",
       "1"},
      {"SELECT GRP FROM T UNION ALL SELECT GRP FROM T INTERSECT SELECT 'y' FROM DUAL", "y"},
      {"SELECT ID FROM T WHERE ID = 1 INTERSECT SELECT ID FROM T UNION SELECT 5 FROM DUAL "
       "ORDER BY 1 DESC",
       "5,1"},
      {"SELECT COUNT(*) FROM (SELECT ID FROM T UNION ALL SELECT ID FROM T "
       "INTERSECT SELECT ID FROM T WHERE ID > 3)",
       "2"},
  });
}

// ROWNUM is given to a row as it passes WHERE: a row is read with ROWNUM one more than the
// rows passed before it, whatever the condition around ROWNUM.
TEST_P(QueryFormsTest, RownumNumbersRowsAsTheyPassWhere) {
  Check({
      {"SELECT ID FROM T WHERE ROWNUM <= 2 OR ID = 4", "1,2,4"},
      {"SELECT ID, ROWNUM FROM T WHERE ROWNUM <= 2 OR GRP = 'x'", "1|1,2|2,3|3,5|4"},
      {"SELECT ID FROM T WHERE ROWNUM > 1 OR ID = 2", "2,3,4,5"},
      {"SELECT ID FROM T WHERE ROWNUM <> 3", "1,2"},
      {"SELECT ID FROM T WHERE NOT ROWNUM > 2", "1,2"},
      {"SELECT ID FROM T WHERE ROWNUM BETWEEN 1 AND 3", "1,2,3"},
      {"SELECT ID FROM T WHERE ROWNUM BETWEEN 2 AND 3", ""},
      {"SELECT ID FROM T WHERE ROWNUM IN (1, 2)", "1,2"},
      {"SELECT ID FROM T WHERE ROWNUM NOT IN (2) AND ID > 1", "2"},
      {"SELECT ID FROM T WHERE (ROWNUM = 1 AND GRP = 'y') OR ID = 5", "2,5"},
      {"SELECT ID FROM T WHERE ROWNUM < 2.5 OR ROWNUM = 4", "1,2"},
      {"SELECT * FROM T WHERE ROWNUM = 1 OR ID = 3", "1|x,3|x"},
      {"SELECT A.ID FROM T A WHERE ROWNUM = 1 OR A.GRP = 'y'", "1,2,4"},
      {"SELECT ID FROM T WHERE ROWNUM <= 2 OR ID = 5 ORDER BY ID DESC", "5,2,1"},
      {"SELECT ID FROM (SELECT ID FROM T ORDER BY ID DESC) WHERE ROWNUM <= 2 OR ID = 1", "5,4,1"},
      {"SELECT COUNT(*) FROM T WHERE ROWNUM <= 2 OR ID = 5", "3"},
      {"SELECT GRP, COUNT(*) FROM T WHERE ROWNUM <= 2 OR ID = 5 GROUP BY GRP ORDER BY GRP",
       "x|2,y|1"},
      {"SELECT MAX(ROWNUM) FROM T WHERE ROWNUM < 3 OR GRP = 'y'", "3"},
      {"SELECT DUMMY, ROWNUM FROM DUAL WHERE ROWNUM = 2 OR DUMMY = 'X'", "X|1"},
      {"SELECT ID FROM T WHERE GRP = 'y' AND (ROWNUM = 1 OR ID = 4)", "2,4"},
      {"SELECT * FROM (SELECT LEVEL N FROM DUAL CONNECT BY LEVEL <= 5) WHERE ROWNUM <= 2 OR N = 5",
       "1,2,5"},
      {"SELECT A.ID FROM T A WHERE A.ID IN (SELECT B.ID FROM T B WHERE B.GRP = A.GRP "
       "AND (ROWNUM = 1 OR B.ID = 5)) ORDER BY 1",
       "1,2,5"},
      {"SELECT ID FROM T WHERE ROWNUM <= ID OR ID = 1", "not supported"},
      {"SELECT ID FROM T WHERE ROWNUM + 1 > 2 OR ID = 1", "not supported"},
      // Over several tables the rows are numbered in the order the join gives them.
      {"SELECT COUNT(*) FROM T A, T B WHERE A.ID = B.ID AND (ROWNUM <= 2 OR A.GRP = 'z')", "2"},
      {"SELECT A.ID, B.NAME, ROWNUM FROM T A JOIN TREE B ON B.ID = A.ID "
       "WHERE ROWNUM < 2 OR ROWNUM > 1 ORDER BY A.ID DESC",
       "5|<null>|5,4|a1|4,3|b|3,2|a|2,1|r|1"},
      {"SELECT * FROM T A, TREE WHERE A.ID = TREE.ID AND (ROWNUM <= 9 OR GRP = 'z') AND NAME > 'a'"
       " ORDER BY 1",
       "1|x|1|<null>|r,3|x|3|1|b,4|y|4|2|a1"},
      {"SELECT TREE.*, GRP FROM T A, TREE WHERE A.ID = TREE.ID AND (ROWNUM <> 0) AND A.ID = 2",
       "2|1|a|y"},
      {"SELECT A.ID, (SELECT COUNT(*) FROM T X WHERE X.ID < A.ID), B.PARENT_ID FROM T A, TREE B "
       "WHERE A.ID = B.PARENT_ID(+) AND (ROWNUM <= 9 OR A.ID = 0) ORDER BY 1, 3",
       "1|0|1,1|0|1,2|1|2,3|2|3,4|3|<null>,5|4|<null>"},
      {"SELECT ID FROM T A, TREE B WHERE A.ID = B.ID AND (ROWNUM = 1 OR A.ID = 0)", "ORA-00918"},
      {"SELECT A.ID FROM T A JOIN T B USING (ID) WHERE ROWNUM = 1 OR A.ID = 0", "ORA-25154"},
  });
}

// Over several tables, aggregates read ROWNUM and a bound on it limits the joined rows before
// grouping and sorting.
TEST_P(QueryFormsTest, RownumOverSeveralTablesBeforeGroupingAndSorting) {
  Check({
      {"SELECT MAX(ROWNUM), COUNT(*) FROM T A, TREE B WHERE A.ID = B.ID", "5|5"},
      {"SELECT MAX(ROWNUM) FROM T A, TREE B WHERE A.ID = B.ID AND B.PARENT_ID = 1", "2"},
      {"SELECT MAX(ROWNUM), MIN(ROWNUM) FROM T A, TREE B", "25|1"},
      {"SELECT COUNT(ROWNUM) FROM T A JOIN TREE B ON A.ID = B.ID HAVING MAX(ROWNUM) > 4", "5"},
      {"SELECT COUNT(*) FROM T A, TREE B WHERE A.ID = B.ID AND ROWNUM <= 3", "3"},
      {"SELECT COUNT(*), MAX(ROWNUM) FROM T A, TREE B WHERE A.ID = B.ID AND ROWNUM <= 3", "3|3"},
      {"SELECT A.GRP, COUNT(*) FROM T A, TREE B WHERE A.ID = B.ID AND ROWNUM < 3 GROUP BY A.GRP "
       "ORDER BY A.GRP",
       "x|1,y|1"},
      {"SELECT A.ID, B.NAME FROM T A, TREE B WHERE A.ID = B.ID AND ROWNUM <= 2 ORDER BY A.ID DESC",
       "2|a,1|r"},
      {"SELECT ID FROM T A, TREE B WHERE A.ID = B.ID AND ROWNUM <= 2 ORDER BY 1", "ORA-00918"},
      {"SELECT COUNT(*) FROM T A JOIN TREE B USING (ID) WHERE ROWNUM <= 2", "2"},
  });
}

// A join with USING gives each column it joins by once, read without a qualifier, and * lists
// those columns first; ROWNUM numbers its rows as those of any join.
TEST_P(QueryFormsTest, JoinsWithUsingMergeTheirColumns) {
  Check({
      {"SELECT * FROM TREE JOIN T USING (ID) WHERE ID <= 2 ORDER BY ID", "1|<null>|r|x,2|1|a|y"},
      {"SELECT * FROM T A JOIN TREE B USING (ID) WHERE ROWNUM <= 2 ORDER BY ID DESC",
       "2|y|1|a,1|x|<null>|r"},
      {"SELECT * FROM T JOIN TREE USING (ID) WHERE ROWNUM = 1 OR NAME = 'b'",
       "1|x|<null>|r,3|x|1|b"},
      {"SELECT ID, ROWNUM FROM T JOIN TREE USING (ID) WHERE ROWNUM <= 2 OR ID = 5",
       "1|1,2|2,5|3"},
      {"SELECT GRP, COUNT(*), MAX(ID) FROM T JOIN TREE USING (ID) WHERE ROWNUM <= 3 GROUP BY GRP "
       "ORDER BY GRP",
       "x|2|3,y|1|2"},
      {"SELECT B.NAME, ID FROM T A JOIN TREE B USING (ID) WHERE ROWNUM <= 2 ORDER BY B.NAME DESC",
       "r|1,a|2"},
      {"SELECT A.*, B.NAME FROM T A JOIN TREE B USING (ID) WHERE ROWNUM < 2 ORDER BY 1", "1|x|r"},
      {"SELECT T.ID FROM T JOIN TREE USING (ID)", "ORA-25154"},
      {"SELECT ID FROM T JOIN TREE USING (ID) WHERE TREE.ID = 1", "ORA-25154"},
  });
  EXPECT_EQ(testing::ColumnNames(*c_, "SELECT * FROM TREE JOIN T USING (ID)"),
            (std::vector<std::string>{"ID", "PARENT_ID", "NAME", "GRP"}));
  EXPECT_EQ(testing::ColumnNames(*c_, "SELECT * FROM TREE JOIN T USING (ID) WHERE ROWNUM <= 1 "
                                      "ORDER BY NAME"),
            (std::vector<std::string>{"ID", "PARENT_ID", "NAME", "GRP"}));
}

// A WITH clause names queries that the queries after it and its own query read as inline
// views, each name hiding a table of that name; a query may not read itself.
TEST_P(QueryFormsTest, WithClauseNamesQueries) {
  Check({
      {"WITH G AS (SELECT GRP, COUNT(*) C FROM T GROUP BY GRP) "
       "SELECT GRP FROM G WHERE C > (SELECT MIN(C) FROM G)",
       "x"},
      {"WITH A AS (SELECT MAX(ID) M FROM T), B AS (SELECT M + 1 N FROM A) "
       "SELECT A.M, N FROM A, B",
       "5|6"},
      {"WITH P (K, V) AS (SELECT ID, NAME FROM TREE WHERE PARENT_ID = 1) "
       "SELECT X.K, Y.V FROM P X, P Y WHERE X.K = Y.K ORDER BY X.K",
       "2|a,3|b"},
      {"WITH T AS (SELECT 9 ID FROM DUAL) SELECT ID FROM T", "9"},
      {"SELECT COUNT(*) FROM T WHERE ID IN (WITH Q AS (SELECT ID FROM TREE) SELECT ID FROM Q)",
       "5"},
      {"WITH Q AS (SELECT ID FROM T ORDER BY ID DESC) SELECT ID FROM Q WHERE ROWNUM <= 2", "5,4"},
      {"WITH Q (A) AS (SELECT ID, GRP FROM T) SELECT * FROM Q", "ORA-32038"},
      {"WITH Q AS (SELECT * FROM Q) SELECT * FROM Q", "not supported"},
  });
  c_->Execute("INSERT INTO T (ID, GRP) WITH Q AS (SELECT ID + 10 ID FROM TREE WHERE ID < 3) "
              "SELECT ID, 'z' FROM Q");
  Check({{"SELECT ID FROM T WHERE GRP = 'z' ORDER BY ID", "11,12"}});
}

// x op ANY compares true where one value compares true, x op ALL where none compares false;
// otherwise NULL among the values (or x NULL) leaves them unknown. An empty query makes ANY
// false and ALL true.
TEST_P(QueryFormsTest, ComparisonsWithAnySomeAndAll) {
  Check({
      {"SELECT ID FROM TREE WHERE PARENT_ID > ANY (SELECT PARENT_ID FROM TREE) ORDER BY 1", "4,5"},
      {"SELECT ID FROM TREE WHERE PARENT_ID = SOME (SELECT ID FROM T WHERE GRP = 'y')", "4"},
      {"SELECT COUNT(*) FROM TREE WHERE ID > ALL (SELECT PARENT_ID FROM TREE)", "0"},
      {"SELECT COUNT(*) FROM TREE WHERE NOT ID > ALL (SELECT PARENT_ID FROM TREE)", "3"},
      {"SELECT COUNT(*) FROM TREE WHERE ID < ALL (SELECT ID FROM T WHERE ID > 9)", "5"},
      {"SELECT COUNT(*) FROM TREE WHERE NOT ID = ANY (SELECT ID FROM T WHERE ID > 9)", "5"},
      {"SELECT ID FROM T A WHERE ID >= ALL (SELECT ID FROM T B WHERE B.GRP = A.GRP) ORDER BY 1",
       "4,5"},
      {"SELECT ID FROM T WHERE ID > ALL (1, 2) AND ID < ANY (4, 0) ORDER BY 1", "3"},
      {"SELECT COUNT(*) FROM T WHERE ID <> ALL (1, NULL)", "0"},
      {"SELECT ID FROM T WHERE ID = ANY (SELECT ID, GRP FROM T)", "ORA-00913"},
  });
}

// CONNECT BY without PRIOR joins every row to every row while the condition holds: the row
// generator. The roots are not subject to CONNECT BY.
TEST_P(QueryFormsTest, ConnectByWithoutPriorGeneratesRows) {
  Check({
      {"SELECT LEVEL FROM DUAL CONNECT BY LEVEL <= 4", "1,2,3,4"},
      {"SELECT LEVEL FROM DUAL CONNECT BY LEVEL < 1", "1"},
      {"SELECT SUM(LEVEL), COUNT(*) FROM DUAL CONNECT BY LEVEL <= 1000", "500500|1000"},
      {"SELECT LEVEL || '.' || DUMMY FROM DUAL CONNECT BY LEVEL <= 2", "1.X,2.X"},
      {"SELECT LEVEL FROM DUAL START WITH 1 = 0 CONNECT BY LEVEL <= 3", ""},
      {"SELECT * FROM (SELECT LEVEL N FROM DUAL CONNECT BY LEVEL <= 5) WHERE MOD(N, 2) = 0",
       "2,4"},
      {"SELECT D.N, T.GRP FROM (SELECT LEVEL N FROM DUAL CONNECT BY LEVEL <= 3) D, T "
       "WHERE T.ID = D.N ORDER BY D.N",
       "1|x,2|y,3|x"},
      {"SELECT COUNT(*) FROM T CONNECT BY LEVEL <= 2", "30"},
      {"SELECT ID, LEVEL FROM T WHERE ID <= 2 START WITH ID = 1 CONNECT BY LEVEL <= 2",
       "1|1,1|2,2|2"},
      {"SELECT ID, LEVEL FROM T START WITH ID = 1 CONNECT BY ID = LEVEL", "1|1,2|2,3|3,4|4,5|5"},
  });
}

TEST_P(QueryFormsTest, HierarchicalOperators) {
  const char* kTree = " FROM TREE START WITH PARENT_ID IS NULL CONNECT BY PRIOR ID = PARENT_ID";
  auto tree = [&](const std::string& select) { return select + kTree; };
  const std::string path = tree("SELECT SYS_CONNECT_BY_PATH(NAME, '/')");
  const std::string numbers = tree("SELECT SYS_CONNECT_BY_PATH(ID, ' > ')");
  const std::string filtered = tree("SELECT ID") + " AND NAME IS NOT NULL";
  const std::string leaves = tree("SELECT ID, CONNECT_BY_ISLEAF");
  const std::string cut = leaves + " AND LEVEL <= 2";
  const std::string where = "SELECT ID FROM TREE WHERE SYS_CONNECT_BY_PATH(NAME, '/') LIKE '/r/a%' "
                            "START WITH ID = 1 CONNECT BY PRIOR ID = PARENT_ID";
  const std::string in_order =
      tree("SELECT NAME") + " ORDER BY SYS_CONNECT_BY_PATH(NAME, '/') DESC NULLS LAST";
  Check({
      // The path of a NULL value holds nothing between its separators.
      {path.c_str(), "/r,/r/a,/r/a/a1,/r/b,/r/b/"},
      {numbers.c_str(), " > 1, > 1 > 2, > 1 > 2 > 4, > 1 > 3, > 1 > 3 > 5"},
      {where.c_str(), "2,4"},
      {in_order.c_str(), "<null>,b,a1,a,r"},
      {"SELECT ID, CONNECT_BY_ROOT NAME, CONNECT_BY_ROOT ID R FROM TREE "
       "START WITH PARENT_ID = 1 CONNECT BY PRIOR ID = PARENT_ID",
       "2|a|2,4|a|2,3|b|3,5|b|3"},
      {"SELECT CONNECT_BY_ROOT ID FROM TREE WHERE ID = 4 CONNECT BY PRIOR ID = PARENT_ID "
       "ORDER BY 1",
       "1,2,4"},
      {leaves.c_str(), "1|0,2|0,4|1,3|0,5|1"},
      {cut.c_str(), "1|0,2|1,3|1"},
      {filtered.c_str(), "1,2,4,3"},
      {"SELECT LEVEL, CONNECT_BY_ISLEAF FROM DUAL CONNECT BY LEVEL <= 3", "1|0,2|0,3|1"},
      {"SELECT ID FROM TREE WHERE CONNECT_BY_ISLEAF = 1 START WITH ID = 1 "
       "CONNECT BY PRIOR ID = PARENT_ID",
       "4,5"},
      // ROWNUM numbers the rows of the tree in its order as they pass WHERE.
      {"SELECT ROWNUM, LEVEL FROM DUAL CONNECT BY ROWNUM <= 3", "1|1,2|2,3|3"},
      {"SELECT ROWNUM, NAME FROM TREE START WITH ID = 1 CONNECT BY PRIOR ID = PARENT_ID",
       "1|r,2|a,3|a1,4|b,5|<null>"},
      {"SELECT ROWNUM, ID FROM TREE WHERE ID > 1 START WITH ID = 1 "
       "CONNECT BY PRIOR ID = PARENT_ID ORDER BY ID DESC",
       "4|5,2|4,3|3,1|2"},
      {"SELECT ID FROM TREE WHERE ROWNUM <= 3 START WITH ID = 1 CONNECT BY PRIOR ID = PARENT_ID",
       "1,2,4"},
      // NOCYCLE leaves out the child that closes a loop; CONNECT_BY_ISCYCLE marks its parent.
      {"SELECT ID, CONNECT_BY_ISCYCLE, CONNECT_BY_ISLEAF FROM LOOPED START WITH ID = 7 "
       "CONNECT BY NOCYCLE PRIOR ID = PARENT_ID",
       "7|0|0,8|1|0,10|0|1"},
  });
}

// A hierarchical query numbers its rows as they pass WHERE in the tree's order.
TEST_P(QueryFormsTest, RownumUnderOrInAHierarchicalQuery) {
  const std::string tree = " START WITH ID = 1 CONNECT BY PRIOR ID = PARENT_ID";
  Check({
      {("SELECT ID FROM TREE WHERE ROWNUM <= 2 OR ID = 4" + tree).c_str(), "1,2,4"},
      {("SELECT ID, ROWNUM FROM TREE WHERE ROWNUM <= 2 OR ID = 4" + tree).c_str(), "1|1,2|2,4|3"},
      {("SELECT ID, LEVEL FROM TREE WHERE ROWNUM = 1 OR LEVEL = 3" + tree).c_str(),
       "1|1,4|3,5|3"},
      {("SELECT ID FROM TREE WHERE ROWNUM <= 2 OR ID = 4" + tree + " ORDER SIBLINGS BY NAME DESC")
           .c_str(),
       "1,3,4"},
      {("SELECT ID FROM TREE WHERE ROWNUM <= 2 OR ID = 5" + tree + " ORDER BY ID DESC").c_str(),
       "5,2,1"},
      {("SELECT SYS_CONNECT_BY_PATH(NAME, '/') FROM TREE WHERE NOT ROWNUM BETWEEN 2 AND 3" + tree)
           .c_str(),
       "/r"},
      {("SELECT SYS_CONNECT_BY_PATH(NAME, '/') FROM TREE WHERE ROWNUM = 1 OR NAME IS NULL" + tree)
           .c_str(),
       "/r,/r/b/"},
      {"SELECT LEVEL FROM DUAL WHERE ROWNUM <= 2 OR LEVEL = 5 CONNECT BY LEVEL <= 6", "1,2,5"},
  });
}

// ORDER SIBLINGS BY orders the children of each row (and the roots) by its keys and keeps the
// tree's depth-first order.
TEST_P(QueryFormsTest, OrderSiblingsByOrdersEachSetOfSiblings) {
  const std::string tree = " FROM TREE START WITH ID = 1 CONNECT BY PRIOR ID = PARENT_ID ";
  Check({
      {("SELECT ID" + tree + "ORDER SIBLINGS BY NAME DESC").c_str(), "1,3,5,2,4"},
      {("SELECT ID" + tree + "ORDER SIBLINGS BY NAME").c_str(), "1,2,4,3,5"},
      {"SELECT ID FROM TREE START WITH ID IN (2, 3) CONNECT BY PRIOR ID = PARENT_ID "
       "ORDER SIBLINGS BY NAME DESC",
       "3,5,2,4"},
      {("SELECT NAME N, ID" + tree + "ORDER SIBLINGS BY N DESC").c_str(),
       "r|1,b|3,<null>|5,a|2,a1|4"},
      {("SELECT NAME, ID" + tree + "ORDER SIBLINGS BY 2 DESC").c_str(),
       "r|1,b|3,<null>|5,a|2,a1|4"},
      {("SELECT ROWNUM, ID, LEVEL, CONNECT_BY_ISLEAF" + tree + "ORDER SIBLINGS BY NAME DESC")
           .c_str(),
       "1|1|1|0,2|3|2|0,3|5|3|1,4|2|2|0,5|4|3|1"},
      {"SELECT V.ID FROM (SELECT * FROM TREE) V START WITH V.ID = 1 "
       "CONNECT BY PRIOR V.ID = V.PARENT_ID ORDER SIBLINGS BY V.NAME DESC",
       "1,3,5,2,4"},
      {"SELECT ID FROM T ORDER SIBLINGS BY ID", "ORA-30929"},
      {("SELECT ID" + tree + "UNION SELECT ID FROM T ORDER SIBLINGS BY ID").c_str(), "ORA-30929"},
      {("SELECT ID" + tree + "ORDER SIBLINGS BY 2").c_str(), "ORA-01785"},
      {("SELECT ID" + tree + "ORDER SIBLINGS BY LEVEL").c_str(), "not supported"},
      {("SELECT COUNT(*)" + tree + "ORDER SIBLINGS BY NAME").c_str(), "not supported"},
  });
}

// ROWNUM in CONNECT BY is the number the row would come with: the tree gives its rows depth
// first (siblings in ORDER SIBLINGS BY's order, or as stored), roots whatever CONNECT BY reads,
// and a child CONNECT BY does not join leaves its own children out with it.
TEST_P(QueryFormsTest, RownumInConnectByNumbersTheRowsAsTheyCome) {
  const std::string tree = " FROM TREE START WITH ID = 1 CONNECT BY PRIOR ID = PARENT_ID AND ";
  Check({
      {("SELECT ID, ROWNUM, LEVEL" + tree + "ROWNUM <= 3").c_str(), "1|1|1,2|2|2,4|3|3"},
      {("SELECT ID" + tree + "ROWNUM <= 2").c_str(), "1,2"},
      {("SELECT ID" + tree + "ROWNUM > 2").c_str(), "1"},
      {("SELECT ID, ROWNUM" + tree + "(ROWNUM <= 2 OR NAME = 'b')").c_str(), "1|1,2|2,3|3"},
      {("SELECT ID" + tree + "ROWNUM < 4 ORDER SIBLINGS BY NAME DESC").c_str(), "1,3,5"},
      {("SELECT ID" + tree + "ROWNUM <= 3 ORDER BY ID DESC").c_str(), "4,2,1"},
      {("SELECT COUNT(*), MAX(LEVEL)" + tree + "ROWNUM <= 4").c_str(), "4|3"},
      {("SELECT ID, CONNECT_BY_ISLEAF" + tree + "ROWNUM <= 2").c_str(), "1|0,2|1"},
      {("SELECT SYS_CONNECT_BY_PATH(NAME, '/')" + tree + "ROWNUM <= 3").c_str(),
       "/r,/r/a,/r/a/a1"},
      {"SELECT ID FROM TREE START WITH ID IN (2, 3) CONNECT BY PRIOR ID = PARENT_ID AND ROWNUM = 1",
       "2,3"},
      {"SELECT ID FROM LOOPED START WITH ID = 7 CONNECT BY NOCYCLE PRIOR ID = PARENT_ID "
       "AND ROWNUM <= 2",
       "7,8"},
      {("SELECT ID" + tree + "ROWNUM <= ID").c_str(), "not supported"},
      {"SELECT ID FROM TREE WHERE ID > 1 START WITH ID = 1 CONNECT BY PRIOR ID = PARENT_ID "
       "AND ROWNUM <= 3",
       "not supported"},
      {"SELECT ID FROM T CONNECT BY ROWNUM <= 3", "not supported"},
      {"SELECT ID, CONNECT_BY_ISCYCLE FROM LOOPED START WITH ID = 7 "
       "CONNECT BY NOCYCLE PRIOR ID = PARENT_ID AND ROWNUM <= 2",
       "not supported"},
  });
}

TEST_P(QueryFormsTest, HierarchicalOperatorsFailWhereOracleFails) {
  Check({
      {"SELECT SYS_CONNECT_BY_PATH(NAME, 'a') FROM TREE START WITH ID = 1 "
       "CONNECT BY PRIOR ID = PARENT_ID",
       "ORA-30004"},
      {"SELECT ID FROM TREE START WITH SYS_CONNECT_BY_PATH(NAME, '/') = '/r' "
       "CONNECT BY PRIOR ID = PARENT_ID",
       "ORA-30002"},
      {"SELECT ID FROM TREE START WITH ID = 1 CONNECT BY PRIOR ID = PARENT_ID "
       "AND CONNECT_BY_ROOT ID = 1",
       "ORA-30007"},
      {"SELECT SYS_CONNECT_BY_PATH(GRP, '/') FROM T", "ORA-30002"},
      {"SELECT CONNECT_BY_ISLEAF FROM T", "ORA-01788"},
      {"SELECT CONNECT_BY_ROOT ID FROM T", "ORA-01788"},
      {"SELECT ID, CONNECT_BY_ISCYCLE FROM LOOPED START WITH ID = 7 "
       "CONNECT BY PRIOR ID = PARENT_ID",
       "ORA-30930"},
      {"SELECT ID FROM LOOPED START WITH ID = 7 CONNECT BY PRIOR ID = PARENT_ID", "ORA-01436"},
      {"SELECT ID FROM TREE WHERE ROWNUM <= 2 START WITH ID = 1 "
       "CONNECT BY PRIOR ID = PARENT_ID ORDER BY ID",
       "not supported"},
  });
}

INSTANTIATE_TEST_SUITE_P(Engines, QueryFormsTest, testing::kBothEngines, testing::EngineName);

}  // namespace
}  // namespace korvalis::db
