// Oracle's documented answers for the SQL a report author writes (NULL logic, text, dates,
// queries and changes of rows), each with the answer the SQL Language Reference gives, on both
// engines.
#include <gtest/gtest.h>

#include "platform/db/oracle_test_fixture.h"

namespace korvalis::db {
namespace {

class OracleRulesTest : public testing::OracleFixture,
                        public ::testing::WithParamInterface<Engine> {
 protected:
  void SetUp() override {
    Open(R"(
CREATE TABLE T (ID NUMBER, GRP VARCHAR2(5), N NUMBER);
INSERT INTO T VALUES (1, 'x', 10);
INSERT INTO T VALUES (2, 'y', NULL);
INSERT INTO T VALUES (3, 'x', 30);
INSERT INTO T VALUES (4, NULL, 40);
)",
         GetParam());
  }
};

TEST_P(OracleRulesTest, NullLogic) {
  Check({
      {"SELECT NVL2(NULL, 1, 2), NVL2('', 1, 2), NVL2('a', 1, 2) FROM DUAL", "2|2|1"},
      {"SELECT CASE WHEN NULL = NULL THEN 1 ELSE 0 END FROM DUAL", "0"},
      {"SELECT COUNT(*) FROM DUAL WHERE NULL IN (1, NULL)", "0"},
      {"SELECT COUNT(*) FROM T WHERE ID NOT IN (1, NULL)", "0"},
      {"SELECT COUNT(*) FROM T WHERE ID NOT IN (SELECT N FROM T)", "0"},
      {"SELECT COUNT(*) FROM T WHERE NOT (N > 20)", "1"},
      {"SELECT DECODE(NULL, NULL, 'eq', 'ne'), DECODE('', NULL, 'eq', 'ne') FROM DUAL", "eq|eq"},
      {"SELECT '' || NULL, LENGTH(''), NULLIF(1, 1), COALESCE(NULL, '', 'a') FROM DUAL",
       "<null>|<null>|<null>|a"},
      {"SELECT GREATEST(1, NULL), LEAST('a', NULL) FROM DUAL", "<null>|<null>"},
      {"SELECT SUM(N), COUNT(N), COUNT(*) FROM T", "80|3|4"},
      {"SELECT SUM(N), COUNT(N), MAX(N) FROM T WHERE ID > 9", "<null>|0|<null>"},
      {"SELECT COUNT(*) FROM T WHERE GRP = ''", "0"},
      {"SELECT COUNT(*) FROM T WHERE GRP IS NULL", "1"},
      {"SELECT ID FROM T WHERE N IS NULL OR N < 20 ORDER BY ID", "1,2"},
      // LNNVL is true where its condition is false or unknown.
      {"SELECT ID FROM T WHERE LNNVL(N > 20) ORDER BY ID", "1,2"},
      {"SELECT ID FROM T WHERE LNNVL(GRP IN ('x')) AND ID > 1 ORDER BY ID", "2,4"},
      {"SELECT CASE WHEN LNNVL(N <= 20) THEN 'y' END FROM T WHERE ID < 3 ORDER BY ID", "<null>,y"},
      {"SELECT COUNT(*) FROM T WHERE LNNVL(N > 1 AND ID > 1)", "ORA-00907"},
      {"SELECT COUNT(*) FROM T WHERE LNNVL(N)", "ORA-00920"},
      // A condition is no value.
      {"SELECT LNNVL(1 = 1) FROM DUAL", "ORA-00904"},
      {"SELECT 1 = 1 FROM DUAL", "ORA-00923"},
      {"SELECT ID IS NULL FROM T", "ORA-00923"},
      {"SELECT NVL(ID > 1, 0) FROM T", "ORA-00907"},
  });
}

TEST_P(OracleRulesTest, Text) {
  Check({
      {"SELECT INSTR('CORPORATE FLOOR', 'OR', 3, 2), INSTR('CORPORATE FLOOR', 'OR', -3, 2) "
       "FROM DUAL",
       "14|2"},
      {"SELECT SUBSTR('ABCDEFG', 3, 4), SUBSTR('ABCDEFG', -5, 4), SUBSTR('abc', 0, 1) FROM DUAL",
       "CDEF|CDEF|a"},
      {"SELECT SUBSTR('abc', 2, 0), SUBSTR('abc', 5), SUBSTR('abc', 2, -1) FROM DUAL",
       "<null>|<null>|<null>"},
      {"SELECT LPAD('Page 1', 15, '*.'), RPAD('abc', 2), LPAD('abc', 0) FROM DUAL",
       "*.*.*.*.*Page 1|ab|<null>"},
      {"SELECT LTRIM('<=====>BROWNING<=====>', '<>='), RTRIM('xay  '), TRIM(BOTH 'x' FROM 'xxaxx') "
       "FROM DUAL",
       "BROWNING<=====>|xay|a"},
      {"SELECT TRIM(LEADING '0' FROM '0090'), TRIM('  a b  ') FROM DUAL", "90|a b"},
      {"SELECT REPLACE('JACK and JUE', 'J', 'BL'), REPLACE('abc', 'b'), REPLACE('abc', '', 'x') "
       "FROM DUAL",
       "BLACK and BLUE|ac|abc"},
      {"SELECT TRANSLATE('SQL*Plus User''s Guide', ' */''', '___') FROM DUAL",
       "SQL_Plus_Users_Guide"},
      {"SELECT INITCAP('the soap'), INITCAP('o''neil mc-kay') FROM DUAL", "The Soap|O'Neil Mc-Kay"},
      {"SELECT CONCAT('a', NULL), 'a' || 1.50, CHR(65) || ASCII('a') FROM DUAL", "a|a1.5|A97"},
      {"SELECT CONCAT(1, 2), CONCAT('x', 0.5), CONCAT(DATE '2024-01-01', 'x') FROM DUAL",
       "12|x.5|2024-01-01 00:00:00x"},
      {"SELECT SUBSTR('ABC', 1, NULL), TRIM(NULL FROM 'a'), LTRIM('a', NULL) FROM DUAL",
       "<null>|<null>|<null>"},
      {"SELECT LENGTH('中文'), LENGTHB('中文') FROM DUAL", "2|6"},
      {"SELECT COUNT(*) FROM DUAL WHERE 'a ' = 'a'", "1"},
      {"SELECT COUNT(*) FROM T WHERE GRP = 'x '", "0"},
      {"SELECT COUNT(*) FROM DUAL WHERE 'a_b' LIKE 'a\\_b' ESCAPE '\\'", "1"},
      {"SELECT COUNT(*) FROM DUAL WHERE 'axb' LIKE 'a\\_b' ESCAPE '\\'", "0"},
      {"SELECT COUNT(*) FROM DUAL WHERE 'ab' LIKE 'a%b%'", "1"},
  });
}

TEST_P(OracleRulesTest, Dates) {
  Check({
      {"SELECT ADD_MONTHS(DATE '2024-01-31', 1), ADD_MONTHS(DATE '2024-02-29', 12), "
       "ADD_MONTHS(DATE '2023-02-28', 1) FROM DUAL",
       "2024-02-29 00:00:00|2025-02-28 00:00:00|2023-03-31 00:00:00"},
      {"SELECT MONTHS_BETWEEN(DATE '2024-03-31', DATE '2024-02-29'), "
       "MONTHS_BETWEEN(DATE '2024-03-15', DATE '2024-01-15') FROM DUAL",
       "1|2"},
      {"SELECT LAST_DAY(DATE '2024-02-10'), DATE '2024-03-01' - DATE '2024-02-01' FROM DUAL",
       "2024-02-29 00:00:00|29"},
      {"SELECT TRUNC(DATE '2024-05-15', 'Q'), ROUND(DATE '2024-05-16', 'Q'), "
       "ROUND(DATE '2024-05-15', 'Q') FROM DUAL",
       "2024-04-01 00:00:00|2024-07-01 00:00:00|2024-04-01 00:00:00"},
      {"SELECT ROUND(DATE '2024-07-01', 'YYYY'), TRUNC(DATE '2024-05-15', 'IW') FROM DUAL",
       "2025-01-01 00:00:00|2024-05-13 00:00:00"},
      {"SELECT TO_CHAR(DATE '2024-01-01', 'IW IYYY'), TO_CHAR(DATE '2021-01-01', 'IW IYYY'), "
       "TO_CHAR(DATE '2024-03-05', 'DDD') FROM DUAL",
       "01 2024|53 2020|065"},
      {"SELECT TO_CHAR(DATE '2024-03-05', 'fmMonth DD, YYYY'), TO_CHAR(DATE '2024-03-05', 'Day'), "
       "TO_CHAR(DATE '2024-03-05', 'DY') FROM DUAL",
       "March 5, 2024|Tuesday  |TUE"},
      {"SELECT TO_CHAR(TO_DATE('2024-03-05 13:07:09', 'YYYY-MM-DD HH24:MI:SS'), "
       "'HH:MI:SS AM') FROM DUAL",
       "01:07:09 PM"},
      {"SELECT DATE '2024-03-05' + 1.5 FROM DUAL", "2024-03-06 12:00:00"},
      // NEXT_DAY: the first such day after the date, at its time; the abbreviation suffices.
      {"SELECT NEXT_DAY(DATE '2009-10-15', 'TUESDAY'), NEXT_DAY(DATE '2024-03-05', 'tue'), "
       "NEXT_DAY(TO_DATE('1960-03-05 10:30', 'YYYY-MM-DD HH24:MI'), 'Fridays') FROM DUAL",
       "2009-10-20 00:00:00|2024-03-12 00:00:00|1960-03-11 10:30:00"},
      {"SELECT NEXT_DAY(DATE '2024-03-05', 'MO') FROM DUAL", "ORA-01846"},
      {"SELECT TO_CHAR(DATE '2024-03-05', 'DD-MON-RR'), TO_CHAR(DATE '2024-03-05', 'RRRR.RR'), "
       "TO_CHAR(DATE '2024-03-05', 'SYYYY'), TO_CHAR(DATE '2024-03-05', 'SCC') FROM DUAL",
       "05-MAR-24|2024.24| 2024| 21"},
      {"SELECT TO_CHAR(DATE '2024-03-05', 'DDTH'), TO_CHAR(DATE '2024-03-05', 'Year') FROM DUAL",
       "05TH|Twenty Twenty-Four"},
      // Elements the front end does not write are refused alike on both engines.
      {"SELECT TO_CHAR(DATE '2024-03-05', 'DL TS') FROM DUAL", "ORA-01821"},
      {"SELECT TO_DATE('2024-02-30', 'YYYY-MM-DD') FROM DUAL", "ORA-01839"},
      {"SELECT TO_DATE('2024-13-01', 'YYYY-MM-DD') FROM DUAL", "ORA-01843"},
  });
}

TEST_P(OracleRulesTest, Queries) {
  Check({
      {"SELECT COUNT(DISTINCT GRP), COUNT(GRP) FROM T", "2|3"},
      {"SELECT GRP, COUNT(*) FROM T GROUP BY GRP HAVING COUNT(*) > 1", "x|2"},
      {"SELECT GRP FROM T GROUP BY GRP ORDER BY GRP", "x,y,<null>"},
      {"SELECT GRP FROM T GROUP BY GRP ORDER BY GRP DESC", "<null>,y,x"},
      {"SELECT * FROM (SELECT ID FROM T ORDER BY ID DESC) WHERE ROWNUM <= 2", "4,3"},
      {"SELECT 1 FROM DUAL UNION ALL SELECT 1 FROM DUAL MINUS SELECT 2 FROM DUAL", "1"},
      {"SELECT GRP FROM T INTERSECT SELECT GRP FROM T ORDER BY 1", "x,y,<null>"},
      {"SELECT ID FROM T WHERE ID = (SELECT MAX(ID) FROM T)", "4"},
      {"SELECT (SELECT ID FROM T) FROM DUAL", "ORA-01427"},
      // A row of values compares with one row of as many values.
      {"SELECT ID FROM T WHERE (GRP, ID) = (SELECT GRP, ID FROM T WHERE N = 30)", "3"},
      {"SELECT ID FROM T WHERE (GRP, ID) = (SELECT GRP, ID FROM T WHERE N > 20)", "ORA-01427"},
      {"SELECT ID FROM T WHERE ID = (SELECT ID, N FROM T WHERE ID = 1)", "ORA-00913"},
      {"SELECT ID FROM T WHERE ID IN (SELECT ID, N FROM T)", "ORA-00913"},
      {"SELECT ID FROM T WHERE (ID, N) IN (SELECT ID FROM T)", "ORA-00947"},
      {"SELECT (SELECT ID, N FROM T WHERE ID = 1) FROM DUAL", "ORA-00913"},
      {"SELECT 1 / 0 FROM DUAL", "ORA-01476"},
      {"SELECT TO_NUMBER('abc') FROM DUAL", "ORA-01722"},
      {"SELECT ID FROM T WHERE GRP = 1", "ORA-01722"},
      {"SELECT A.ID, B.ID FROM T A, T B WHERE A.ID = B.ID(+) AND B.N(+) > 20 ORDER BY 1",
       "1|<null>,2|<null>,3|3,4|4"},
      {"SELECT ID FROM T A WHERE EXISTS (SELECT 1 FROM T B WHERE B.GRP = A.GRP AND B.ID <> A.ID) "
       "ORDER BY 1",
       "1,3"},
  });
}

TEST_P(OracleRulesTest, ChangesOfRows) {
  Check({
      {"INSERT INTO T VALUES (5)", "ORA-00947"},
      {"INSERT INTO T (ID, GRP) VALUES (5, 'abcdef')", "ORA-12899"},
      {"INSERT INTO T (ID, GRP, N) VALUES (5, 'z', 'x')", "ORA-01722"},
      {"UPDATE T SET ID = 'a' WHERE ID = 1", "ORA-01722"},
      {"UPDATE T A SET (GRP, N) = (SELECT GRP, N FROM T B WHERE B.ID >= A.ID)", "ORA-01427"},
  });
  c_->Execute("INSERT INTO T (ID, N) VALUES ('5', '5.50')");
  c_->Execute("UPDATE T SET GRP = '' WHERE ID = 1");
  c_->Execute("DELETE T WHERE ID = 2");
  c_->Execute("UPDATE T SET (GRP, N) = (SELECT 'z', 9 FROM DUAL) WHERE ID = 3");
  c_->Execute("INSERT INTO T (ID, GRP) SELECT ID + 10, GRP FROM T WHERE ID = 3");
  Check({
      {"SELECT ID, GRP, N FROM T ORDER BY ID",
       "1|<null>|10,3|z|9,4|<null>|40,5|<null>|5.5,13|z|<null>"},
  });
}

// Each constraint refuses a row with its own error, and a statement refused on one row leaves
// none of its rows.
TEST_P(OracleRulesTest, ConstraintsRefuseRowsWithTheirOwnErrors) {
  c_->Execute("CREATE TABLE P (ID NUMBER CONSTRAINT P_PK PRIMARY KEY, NAME VARCHAR2(5) NOT NULL)");
  c_->Execute("CREATE TABLE C (ID NUMBER, P_ID NUMBER REFERENCES P (ID), "
              "V NUMBER CONSTRAINT C_V CHECK (V > 0))");
  c_->Execute(
      "CREATE TABLE U (ID NUMBER, A VARCHAR2(1), B VARCHAR2(1), CONSTRAINT U_AB UNIQUE (B, A))");
  c_->Execute("INSERT INTO P VALUES (1, 'a')");
  c_->Execute("INSERT INTO U VALUES (0, 'a', 'b')");
  c_->Execute("INSERT INTO C VALUES (1, 1, 1)");
  Check({
      {"INSERT INTO P VALUES (1, 'b')", "ORA-00001: unique constraint (KORVALIS.P_PK) violated"},
      {"INSERT INTO U VALUES (1, 'a', 'b')", "ORA-00001: unique constraint (KORVALIS.U_AB)"},
      {"INSERT INTO P VALUES (2, '')",
       "ORA-01400: cannot insert NULL into (\"KORVALIS\".\"P\".\"NAME\")"},
      {"UPDATE P SET NAME = NULL", "ORA-01400"},
      {"INSERT INTO C VALUES (2, 9, 1)", "ORA-02291"},
      {"INSERT INTO C VALUES (2, 1, 0)", "ORA-02290: check constraint (KORVALIS.C_V) violated"},
      {"DELETE FROM P WHERE ID = 1", "ORA-02292"},
      {"INSERT INTO P (ID, NAME) SELECT LEVEL + 1, DECODE(LEVEL, 3, NULL, 'x') FROM DUAL "
       "CONNECT BY LEVEL <= 3",
       "ORA-01400"},
      {"SELECT COUNT(*) FROM P", "1"},
  });
}

// A compound query converts nothing between numbers, texts, dates and BLOBs in one column, and
// only UNION ALL takes a BLOB, which the others would compare; NULL stands beside any of them
// ('' is a text literal, though NULL), and a column of a view or an inline view keeps its type.
TEST_P(OracleRulesTest, SetOperatorsKeepEachColumnInOneTypeGroup) {
  c_->Execute("CREATE VIEW V AS SELECT ID, GRP FROM T");
  c_->Execute("CREATE TABLE C3 (C CHAR(3))");
  c_->Execute("INSERT INTO C3 VALUES ('ab')");
  c_->Execute("CREATE TABLE LOBS (C BLOB)");
  Check({
      {"SELECT C FROM LOBS UNION ALL SELECT C FROM LOBS", ""},
      {"SELECT C FROM LOBS UNION ALL SELECT 'a' FROM DUAL", "ORA-01790"},
      {"SELECT C FROM LOBS MINUS SELECT C FROM LOBS", "ORA-00932"},
      {"SELECT NULL FROM DUAL UNION SELECT C FROM LOBS", "ORA-00932"},
      {"SELECT 1 FROM DUAL UNION SELECT 'a' FROM DUAL", "ORA-01790"},
      {"SELECT GRP FROM T UNION ALL SELECT ID FROM T", "ORA-01790"},
      {"SELECT N FROM T INTERSECT SELECT '10' FROM DUAL", "ORA-01790"},
      {"SELECT ID FROM T MINUS SELECT SYSDATE FROM DUAL", "ORA-01790"},
      {"SELECT DATE '2024-03-05' FROM DUAL UNION SELECT '2024-03-05' FROM DUAL", "ORA-01790"},
      {"SELECT NULL FROM DUAL UNION SELECT 1 FROM DUAL UNION SELECT 'a' FROM DUAL", "ORA-01790"},
      {"SELECT TO_NUMBER(NULL) FROM DUAL UNION SELECT 'a' FROM DUAL", "ORA-01790"},
      {"SELECT 1 FROM DUAL UNION ALL SELECT '' FROM DUAL", "ORA-01790"},
      {"SELECT '' FROM DUAL UNION ALL SELECT NULL FROM DUAL UNION ALL SELECT 'a' FROM DUAL "
       "ORDER BY 1",
       "a,<null>,<null>"},
      {"SELECT X FROM (SELECT ID X FROM T) UNION SELECT 'a' FROM DUAL", "ORA-01790"},
      {"SELECT ID FROM V UNION SELECT GRP FROM V", "ORA-01790"},
      {"SELECT COUNT(*) FROM T WHERE GRP IN (SELECT 'x' FROM DUAL UNION SELECT 1 FROM DUAL)",
       "ORA-01790"},
      {"INSERT INTO T (ID, GRP) SELECT 5, 'a' FROM DUAL UNION SELECT 6, 7 FROM DUAL", "ORA-01790"},
      {"SELECT NULL, 'a', NULL FROM DUAL UNION ALL SELECT 2, NULL, DATE '2024-03-05' FROM DUAL "
       "ORDER BY 1",
       "2|<null>|2024-03-05 00:00:00,<null>|a|<null>"},
      {"SELECT 1 FROM DUAL UNION SELECT 2.5 FROM DUAL UNION SELECT ID FROM V WHERE ID = 4 "
       "ORDER BY 1",
       "1,2.5,4"},
      {"SELECT TO_CHAR(X) FROM (SELECT ID X FROM T WHERE ID < 3) UNION SELECT 'a' FROM DUAL "
       "ORDER BY 1",
       "1,2,a"},
      {"SELECT GRP FROM T WHERE ID = 1 UNION SELECT C FROM C3 ORDER BY 1", "ab ,x"},
  });
}

// A table's name or alias qualifies its columns under the rules of names: quoted exactly as
// written, unquoted in upper case, so "emp".X and EMP.X name two tables.
TEST_P(OracleRulesTest, QualifiersKeepTheCaseRulesOfNames) {
  c_->Execute("CREATE TABLE \"emp\" (\"name\" VARCHAR2(10), X NUMBER)");
  c_->Execute("CREATE TABLE EMP (NAME VARCHAR2(10), X NUMBER)");
  c_->Execute("INSERT INTO \"emp\" VALUES ('low', 1)");
  c_->Execute("INSERT INTO EMP VALUES ('UP', 2)");
  Check({
      {"SELECT \"emp\".X, EMP.X, emp.X, \"EMP\".X FROM \"emp\", EMP", "1|2|2|2"},
      {"SELECT \"emp\".*, EMP.* FROM \"emp\", EMP", "low|1|UP|2"},
      {"SELECT \"x\".X, x.X FROM \"emp\" \"x\", EMP x", "1|2"},
      {"SELECT \"emp\".\"name\", EMP.NAME FROM \"emp\" JOIN EMP ON EMP.X = \"emp\".X + 1",
       "low|UP"},
      {"SELECT \"emp\".\"name\", EMP.NAME FROM \"emp\", EMP WHERE EMP.X(+) = \"emp\".X",
       "low|<null>"},
      {"SELECT X FROM \"emp\" WHERE EXISTS (SELECT 1 FROM EMP WHERE \"emp\".X < EMP.X)", "1"},
      {"SELECT \"emp\".X, EMP.X FROM \"emp\", EMP WHERE ROWNUM = 1 OR EMP.X = 3", "1|2"},
      {"SELECT \"name\" FROM \"emp\" START WITH \"emp\".X = 1 "
       "CONNECT BY PRIOR \"emp\".X = \"emp\".X - 1",
       "low"},
      {"SELECT \"Emp\".X FROM \"emp\", EMP", "ORA-00904"},
      {"SELECT \"a\".X FROM \"emp\" a", "ORA-00904"},
  });
  c_->Execute("UPDATE \"emp\" SET X = 5 WHERE \"emp\".X = 1");
  c_->Execute("DELETE FROM EMP WHERE EXISTS (SELECT 1 FROM \"emp\" WHERE \"emp\".X > EMP.X)");
  Check({{"SELECT (SELECT COUNT(*) FROM EMP), X FROM \"emp\"", "0|5"}});
}

TEST_P(OracleRulesTest, NumbersAsText) {
  Check({
      {"SELECT TO_CHAR(123.456, '999.9'), TO_CHAR(0.05, 'FM0.00'), TO_CHAR(12, '000') FROM DUAL",
       " 123.5|0.05| 012"},
      {"SELECT TO_CHAR(-12.3, 'FM999.00'), LPAD(5, 3, '0'), SUBSTR(12345, 2, 2) FROM DUAL",
       "-12.30|005|23"},
      {"SELECT 10 || '', LENGTH(1.50), INSTR('abc', '') FROM DUAL", "10|3|<null>"},
      {"SELECT TRUNC(123.456, -1), ROUND(123.456, 2), TRUNC(-1.5), ROUND(-2.5) FROM DUAL",
       "120|123.46|-1|-3"},
      {"SELECT MOD(10, 0), MOD(-7, 3), MOD(7, -3), 5 / 2 FROM DUAL", "10|-1|1|2.5"},
      {"SELECT POWER(2, 10), SQRT(16), ABS(-2), CEIL(-1.5), FLOOR(-1.5), SIGN(-3) FROM DUAL",
       "1024|4|2|-1|-2|-1"},
      {"SELECT SQRT(-1) FROM DUAL", "ORA-01428"},
      {"SELECT LN(0) FROM DUAL", "ORA-01428"},
      {"SELECT POWER(-8, 0.5) FROM DUAL", "ORA-01428"},
      {"SELECT CHR(-1) FROM DUAL", "ORA-01428"},
      {"SELECT DATE '2024-03-05' - TO_DATE('2024-03-04 12:00', 'YYYY-MM-DD HH24:MI') FROM DUAL",
       "0.5"},
      {"SELECT TO_CHAR(DATE '2024-03-05', 'Q WW W'), EXTRACT(MONTH FROM DATE '2024-03-05') "
       "FROM DUAL",
       "1 10 1|3"},
      {"SELECT TO_DATE('05-MAR-2024', 'DD-MON-YYYY'), ADD_MONTHS(DATE '2024-01-15', -1) FROM DUAL",
       "2024-03-05 00:00:00|2023-12-15 00:00:00"},
  });
  // A lone surrogate is one character of a text on the file, as it always was; the server's text
  // cannot hold one, and says so.
  if (GetParam() == Engine::kSqlite) {
    Check({{"SELECT LENGTH('x' || CHR(55296)) FROM DUAL", "2"}});
  } else {
    Check({{"SELECT CHR(55296) FROM DUAL", "ORA-01428: argument '55296' is out of range (a UTF-16 "
                                           "surrogate is not a character)"}});
  }
}

TEST_P(OracleRulesTest, OrderAndGroups) {
  Check({
      {"SELECT ID FROM T ORDER BY GRP NULLS FIRST, ID", "4,1,3,2"},
      {"SELECT ID FROM T ORDER BY N DESC", "2,4,3,1"},
      {"SELECT ID FROM T ORDER BY N", "1,3,4,2"},
      {"SELECT COUNT(*) FROM (SELECT GRP FROM T GROUP BY GRP)", "3"},
      {"SELECT ID FROM T WHERE ROWNUM = 2", ""},
      {"SELECT ID FROM T WHERE ID BETWEEN 3 AND 1", ""},
      {"SELECT COUNT(*) FROM T WHERE GRP LIKE NULL", "0"},
      {"SELECT ID, ROW_NUMBER() OVER (PARTITION BY GRP ORDER BY ID DESC) FROM T ORDER BY ID",
       "1|2,2|1,3|1,4|1"},
      {"SELECT ID, SUM(N) OVER (ORDER BY ID) FROM T ORDER BY ID", "1|10,2|10,3|40,4|80"},
      // LAG and LEAD: a truncated offset of at least 0, a default of the value's type.
      {"SELECT ID, LAG(N, 0) OVER (ORDER BY ID), LEAD(N, 1.9, -1) OVER (ORDER BY ID), "
       "LAG(GRP, ID - 1, 0) OVER (ORDER BY ID) FROM T ORDER BY ID",
       "1|10|<null>|x,2|<null>|30|x,3|30|40|x,4|40|-1|x"},
      {"SELECT LAG(N, -1) OVER (ORDER BY ID) FROM T", "ORA-01428"},
      {"SELECT LAG(N, 1, 'none') OVER (ORDER BY ID) FROM T", "ORA-01722"},
      {"SELECT ID, RANK() OVER (ORDER BY GRP) FROM T ORDER BY ID", "1|1,2|3,3|1,4|4"},
      {"SELECT GRP, MIN(ID), MAX(N) FROM T GROUP BY GRP ORDER BY 1",
       "x|1|30,y|2|<null>,<null>|4|40"},
      // An alias stands for its item's expression in an ORDER BY expression.
      {"SELECT ID, N X FROM T ORDER BY NVL(X, 0) DESC, ID", "4|40,3|30,1|10,2|<null>"},
      // DISTINCT rows are ordered by what the select list gives alone.
      {"SELECT DISTINCT GRP FROM T ORDER BY ID", "ORA-01791"},
      {"SELECT DISTINCT GRP G FROM T ORDER BY G DESC", "<null>,y,x"},
      {"SELECT DISTINCT GRP, N FROM T WHERE N > 10 ORDER BY N", "x|30,<null>|40"},
      // or by an expression of them.
      {"SELECT DISTINCT GRP FROM T ORDER BY LENGTH(GRP) + ASCII(GRP) DESC NULLS LAST",
       "y,x,<null>"},
      {"SELECT DISTINCT ID - MOD(ID, 2) K FROM T ORDER BY -K", "4,2,0"},
      {"SELECT DISTINCT GRP FROM T ORDER BY NVL(GRP, 'z') || 'a', 1", "x,y,<null>"},
      {"SELECT DISTINCT GRP, N FROM T ORDER BY N + 1, GRP", "x|10,x|30,<null>|40,y|<null>"},
      {"SELECT DISTINCT GRP FROM T ORDER BY ID + 1", "ORA-01791"},
      // A compound query is ordered by positions and the names of its first query's columns.
      {"SELECT ID FROM T UNION SELECT N FROM T ORDER BY N", "ORA-00904"},
      {"SELECT ID A FROM T UNION SELECT N FROM T ORDER BY A DESC", "<null>,40,30,10,4,3,2,1"},
      {"SELECT ID FROM T UNION SELECT N FROM T ORDER BY ID + 1", "ORA-01785"},
  });
}

// LISTAGG joins the values' texts in the WITHIN GROUP order, NULLs skipped, ties in the order
// of the texts; all NULL is NULL, and more than 4000 bytes is ORA-01489.
TEST_P(OracleRulesTest, ListaggJoinsValuesInOrder) {
  Check({
      {"SELECT LISTAGG(ID, ',') WITHIN GROUP (ORDER BY ID DESC) FROM T", "4,3,2,1"},
      {"SELECT GRP, LISTAGG(N, '; ') WITHIN GROUP (ORDER BY N DESC) FROM T GROUP BY GRP "
       "ORDER BY GRP",
       "x|30; 10,y|<null>,<null>|40"},
      {"SELECT LISTAGG(GRP, '-') WITHIN GROUP (ORDER BY N NULLS FIRST) FROM T", "y-x-x"},
      {"SELECT LISTAGG(ID, ',') WITHIN GROUP (ORDER BY GRP DESC, ID DESC) FROM T", "4,2,3,1"},
      {"SELECT LISTAGG(GRP) WITHIN GROUP (ORDER BY GRP) FROM T", "xxy"},
      {"SELECT LISTAGG(10 - ID, ',') WITHIN GROUP (ORDER BY 1) FROM T", "6,7,8,9"},
      {"SELECT LISTAGG(ID / 4, ' ') WITHIN GROUP (ORDER BY ID) FROM T", ".25 .5 .75 1"},
      {"SELECT LISTAGG(N, ',') WITHIN GROUP (ORDER BY ID) FROM T WHERE N IS NULL", "<null>"},
      {"SELECT LISTAGG(N, ',') WITHIN GROUP (ORDER BY ID) FROM T WHERE ID > 9", "<null>"},
      {"SELECT LENGTH(LISTAGG(RPAD('a', 1000, 'a')) WITHIN GROUP (ORDER BY ID)) FROM T", "4000"},
      {"SELECT LISTAGG(RPAD('a', 1000, 'a'), ',') WITHIN GROUP (ORDER BY ID) FROM T",
       "ORA-01489"},
      {"SELECT LISTAGG(ID, GRP) WITHIN GROUP (ORDER BY ID) FROM T", "ORA-30496"},
      {"SELECT LISTAGG(ID, ',') FROM T", "ORA-02000"},
      {"SELECT GRP, LISTAGG(ID, ',') WITHIN GROUP (ORDER BY ID) FROM T", "ORA-00937"},
  });
}

// VARIANCE is VAR_SAMP but 0 for one row, VAR_POP divides by n; NUMBER digits on both engines.
// STDDEV and its forms are their square roots.
TEST_P(OracleRulesTest, VariancesOfNumbers) {
  Check({
      {"SELECT VARIANCE(N), VAR_SAMP(N), VAR_POP(N) FROM T",
       "233.333333333333333333333333333333333333|233.333333333333333333333333333333333333|"
       "155.555555555555555555555555555555555556"},
      {"SELECT GRP, VARIANCE(N), VAR_SAMP(N), VAR_POP(N) FROM T GROUP BY GRP ORDER BY GRP",
       "x|200|200|100,y|<null>|<null>|<null>,<null>|0|<null>|0"},
      {"SELECT VARIANCE(ID / 10), VAR_POP(ALL ID / 10) FROM T",
       "0.0166666666666666666666666666666666666667|0.0125"},
      {"SELECT VARIANCE(TO_CHAR(N)) FROM T WHERE ID = 1", "0"},
      {"SELECT VARIANCE(N) FROM T WHERE ID > 9", "<null>"},
      {"SELECT VARIANCE(GRP) FROM T", "ORA-01722"},
      {"SELECT VARIANCE(DISTINCT N) FROM T", "not supported"},
      {"SELECT STDDEV(N), STDDEV_SAMP(N), STDDEV_POP(N) FROM T",
       "15.27525231651946668862682397909336162994|15.27525231651946668862682397909336162994|"
       "12.4721912892464712852791624410551643392"},
      {"SELECT GRP, STDDEV(N), STDDEV_SAMP(N), STDDEV_POP(N) FROM T GROUP BY GRP ORDER BY GRP",
       "x|14.1421356237309504880168872420969807857|14.1421356237309504880168872420969807857|10,"
       "y|<null>|<null>|<null>,<null>|0|<null>|0"},
  });
}

// A frame of rows counted from the current one, or of ORDER BY values within an offset of its
// value (a DATE's in days); without a frame, an ordered window ends at the current row's last
// peer.
TEST_P(OracleRulesTest, WindowFrames) {
  RunScript(*c_, R"(
CREATE TABLE W (ID NUMBER, G NUMBER, D DATE, V NUMBER);
INSERT INTO W VALUES (1, 1, DATE '2024-01-01', 10);
INSERT INTO W VALUES (2, 2, DATE '2024-01-02', 20);
INSERT INTO W VALUES (3, 2, DATE '2024-01-02', 30);
INSERT INTO W VALUES (4, 5, DATE '2024-01-05', 40);
INSERT INTO W VALUES (5, 6, TO_DATE('2024-01-06 12:00', 'YYYY-MM-DD HH24:MI'), 50);
)");
  const auto over = [](const char* window) {
    return "SELECT ID, " + std::string(window) + " FROM W ORDER BY ID";
  };
  const std::vector<std::pair<std::string, const char*>> cases = {
      {over("SUM(V) OVER (ORDER BY ID ROWS UNBOUNDED PRECEDING)"), "1|10,2|30,3|60,4|100,5|150"},
      {over("SUM(V) OVER (ORDER BY G)"), "1|10,2|60,3|60,4|100,5|150"},
      {over("SUM(V) OVER (ORDER BY G, ID ROWS BETWEEN UNBOUNDED PRECEDING AND CURRENT ROW)"),
       "1|10,2|30,3|60,4|100,5|150"},
      {over("AVG(V) OVER (ORDER BY ID ROWS 2 PRECEDING)"), "1|10,2|15,3|20,4|30,5|40"},
      {over("AVG(V) OVER (ORDER BY ID ROWS BETWEEN 1 PRECEDING AND 1 FOLLOWING)"),
       "1|15,2|20,3|30,4|40,5|45"},
      {over("SUM(V) OVER (ORDER BY ID DESC ROWS BETWEEN CURRENT ROW AND UNBOUNDED FOLLOWING)"),
       "1|10,2|30,3|60,4|100,5|150"},
      {over("LAST_VALUE(V) OVER (ORDER BY ID ROWS BETWEEN CURRENT ROW AND 1 FOLLOWING)"),
       "1|20,2|30,3|40,4|50,5|50"},
      {over("COUNT(*) OVER (ORDER BY ID ROWS BETWEEN 1 FOLLOWING AND 3 FOLLOWING)"),
       "1|3,2|3,3|2,4|1,5|0"},
      {over("SUM(V / 3) OVER (ORDER BY ID ROWS 1 PRECEDING)"),
       "1|3.33333333333333333333333333333333333333,2|10,"
       "3|16.66666666666666666666666666666666666667,"
       "4|23.33333333333333333333333333333333333333,5|30"},
      // RANGE: the rows whose value lies within the offsets, ties alike.
      {over("SUM(V) OVER (ORDER BY G RANGE BETWEEN 1 PRECEDING AND CURRENT ROW)"),
       "1|10,2|60,3|60,4|40,5|90"},
      {over("SUM(V) OVER (ORDER BY G / 3 RANGE BETWEEN 0.34 PRECEDING AND CURRENT ROW)"),
       "1|10,2|60,3|60,4|40,5|90"},
      {over("MAX(ID) OVER (ORDER BY G DESC RANGE BETWEEN 3 PRECEDING AND 0.5 FOLLOWING)"),
       "1|3,2|4,3|4,4|5,5|5"},
      {over("COUNT(*) OVER (ORDER BY D RANGE BETWEEN 1 PRECEDING AND 1 FOLLOWING)"),
       "1|3,2|3,3|3,4|1,5|1"},
      {over("SUM(V) OVER (ORDER BY D RANGE 1.5 PRECEDING)"), "1|10,2|60,3|60,4|40,5|90"},
      // Refused as Oracle refuses them.
      {over("SUM(V) OVER (ROWS UNBOUNDED PRECEDING)"), "ORA-00907"},
      {over("SUM(V) OVER (ORDER BY G, ID RANGE 1 PRECEDING)"), "ORA-30486"},
      {over("SUM(V) OVER (ORDER BY TO_CHAR(G) RANGE 1 PRECEDING)"), "ORA-00902"},
      {over("SUM(V) OVER (ORDER BY ID ROWS BETWEEN CURRENT ROW AND 1 PRECEDING)"), "ORA-30486"},
      {over("SUM(V) OVER (ORDER BY ID ROWS BETWEEN 1 FOLLOWING AND CURRENT ROW)"), "ORA-30486"},
      {over("SUM(V) OVER (ORDER BY ID ROWS BETWEEN UNBOUNDED FOLLOWING AND CURRENT ROW)"),
       "ORA-30486"},
      {over("ROW_NUMBER() OVER (ORDER BY ID ROWS UNBOUNDED PRECEDING)"), "ORA-00907"},
      {over("SUM(V) OVER (ORDER BY ID ROWS G PRECEDING)"), "not supported"},
  };
  for (const auto& [sql, rows] : cases) Check({{sql.c_str(), rows}});
}

// NTILE(n) numbers n buckets in the window's order, the first ones one row larger while rows
// remain, one row each when n exceeds the rows; n is truncated and must be at least 1.
TEST_P(OracleRulesTest, NtileSharesRowsOutInBuckets) {
  const std::string ten = " FROM (SELECT LEVEL ID FROM DUAL CONNECT BY LEVEL <= 10) ORDER BY ID";
  const std::string three = "SELECT NTILE(3) OVER (ORDER BY ID)" + ten;
  const std::string four = "SELECT NTILE(4) OVER (ORDER BY ID)" + ten;
  const std::string twelve = "SELECT NTILE(12) OVER (ORDER BY ID DESC)" + ten;
  const std::string truncated = "SELECT NTILE(2.9) OVER (ORDER BY ID)" + ten;
  const std::string groups =
      "SELECT NTILE(4) OVER (PARTITION BY CASE WHEN ID <= 6 THEN 'a' END ORDER BY ID)" + ten;
  const std::string zero = "SELECT NTILE(0) OVER (ORDER BY ID)" + ten;
  const std::string negative = "SELECT NTILE(-1) OVER (ORDER BY ID)" + ten;
  const std::string null = "SELECT NTILE(NULL) OVER (ORDER BY ID)" + ten;
  const std::string unordered = "SELECT NTILE(2) OVER (PARTITION BY ID)" + ten;
  Check({
      {three.c_str(), "1,1,1,1,2,2,2,3,3,3"},
      {four.c_str(), "1,1,1,2,2,2,3,3,4,4"},
      {twelve.c_str(), "10,9,8,7,6,5,4,3,2,1"},
      {truncated.c_str(), "1,1,1,1,1,2,2,2,2,2"},
      {groups.c_str(), "1,1,2,2,3,4,1,2,3,4"},
      {zero.c_str(), "ORA-01428"},
      {negative.c_str(), "ORA-01428"},
      {null.c_str(), "ORA-01428"},
      {unordered.c_str(), "ORA-30485"},
  });
}

TEST_P(OracleRulesTest, ConversionsBetweenTextAndNumbers) {
  Check({
      {"SELECT COUNT(*) FROM T WHERE GRP > 'X'", "3"},
      {"SELECT 'a' || NULL || 'b', MAX(GRP) FROM T", "ab|y"},
      {"SELECT NVL(GRP, 0) FROM T ORDER BY ID", "x,y,x,0"},
      {"SELECT NVL(N, '5') FROM T WHERE ID = 2", "5"},
      {"SELECT DECODE(GRP, 'x', 1, 'y', 2, 3) FROM T ORDER BY ID", "1,2,1,3"},
      {"SELECT DECODE(N, 10, 'ten', NULL, 'none', 'other') FROM T ORDER BY ID",
       "ten,none,other,other"},
      {"SELECT CASE WHEN N > 20 THEN 'big' WHEN N IS NULL THEN 'none' END FROM T ORDER BY ID",
       "<null>,none,big,big"},
      {"SELECT SUBSTR(GRP, 1, 1) || ID FROM T ORDER BY ID", "x1,y2,x3,4"},
      {"SELECT COUNT(*) FROM T WHERE ID = '1.0'", "1"},
      {"SELECT COUNT(*) FROM T WHERE ID > '10'", "0"},
      {"SELECT GREATEST('2', 10), LEAST('10', 9), GREATEST(2, '10'), LEAST(N, '15') FROM T "
       "WHERE ID = 1",
       "2|10|10|10"},
      {"SELECT ID FROM T WHERE ID IN (SELECT ID FROM T WHERE ROWNUM <= 2) ORDER BY 1", "1,2"},
  });
}

// CASE, COALESCE and NULLIF take their values in one type group (numbers, texts or dates);
// NVL2 converts its third value to the type of its second, as NVL does.
TEST_P(OracleRulesTest, ConditionalValuesKeepOneType) {
  Check({
      {"SELECT CASE WHEN ID > 1 THEN N ELSE '0' END FROM T", "ORA-00932"},
      {"SELECT CASE 1 WHEN 1 THEN 'a' ELSE 2 END FROM DUAL", "ORA-00932"},
      {"SELECT CASE 1 WHEN '1' THEN 'a' END FROM DUAL", "ORA-00932"},
      {"SELECT COALESCE(NULL, 1, 'a') FROM DUAL", "ORA-00932"},
      {"SELECT NULLIF(1, '1') FROM DUAL", "ORA-00932"},
      {"SELECT NULLIF(DATE '2024-01-01', '2024-01-01') FROM DUAL", "ORA-00932"},
      {"SELECT NULLIF(NULL, 1) FROM DUAL", "ORA-00932"},
      {"SELECT NVL2('x', 1, 'b') FROM DUAL", "ORA-01722"},
      {"SELECT CASE WHEN N > 10 THEN N * 1.5 ELSE ID END, COALESCE(N, ID, 0), NULLIF(N, 30) "
       "FROM T WHERE ID < 4 ORDER BY ID",
       "1|10|10,2|2|<null>,45|30|<null>"},
      {"SELECT NVL2(NULL, 'a', 2) || '|', NVL2(1, 'a', 2), NVL2(NULL, 1, '2') + 1 FROM DUAL",
       "2||a|3"},
  });
}

TEST_P(OracleRulesTest, DeclaredTypesOfColumns) {
  c_->Execute("CREATE TABLE Q (V NUMBER(5,2), C CHAR(3), I NUMBER(3))");
  Check({
      {"INSERT INTO Q (V) VALUES (12345)", "ORA-01438"},
      {"INSERT INTO Q (V) VALUES (999.995)", "ORA-01438"},
      {"INSERT INTO Q (I) VALUES (1000)", "ORA-01438"},
  });
  c_->Execute("INSERT INTO Q (V, C, I) VALUES (1.239, 'a', 12.5)");
  Check({
      {"SELECT V, C || '|', LENGTH(C), I FROM Q", "1.24|a  ||3|13"},
      {"SELECT COUNT(*) FROM Q WHERE C = 'a'", "1"},
  });
}

// A computed column's expression may round: ROUND answers from its arguments alone.
TEST_P(OracleRulesTest, AComputedColumnRounds) {
  c_->Execute("CREATE TABLE R (X NUMBER, Y NUMBER GENERATED ALWAYS AS (ROUND(X, 2)) VIRTUAL)");
  c_->Execute("INSERT INTO R (X) VALUES (1.235)");
  c_->Execute("INSERT INTO R (X) VALUES (-2.5)");
  EXPECT_EQ(Rows("SELECT X, Y, ROUND(X) FROM R ORDER BY X"), "-2.5|-2.5|-3,1.235|1.24|1");
}

TEST_P(OracleRulesTest, ConditionsAndErrors) {
  Check({
      {"SELECT ID FROM T WHERE (ID, GRP) IN ((1, 'x'), (2, 'x'))", "1"},
      {"SELECT ID FROM T WHERE GRP NOT LIKE 'x%'", "2"},
      {"SELECT ID FROM T WHERE GRP IN ('x', NULL) ORDER BY 1", "1,3"},
      {"SELECT ID FROM T WHERE N = NULL", ""},
      {"SELECT (SELECT ID FROM T WHERE ID = 9), NVL(TRIM(' '), 'e'), RPAD('a', 3) || '|' FROM DUAL",
       "<null>|e|a  |"},
      {"SELECT ID FROM T WHERE ROWNUM < 3 ORDER BY ID DESC", "2,1"},
      {"SELECT COUNT(*) FROM T T1 JOIN T T2 ON T1.GRP = T2.GRP", "5"},
      {"SELECT LENGTH(N) FROM T WHERE ID = 1", "2"},
      {"SELECT ID FROM T WHERE COUNT(*) > 1", "ORA-00934"},
      {"SELECT ID, COUNT(*) FROM T", "ORA-00937"},
      {"SELECT ID FROM T GROUP BY GRP", "ORA-00979"},
      {"SELECT GRP, NOPE(N) FROM T GROUP BY GRP", "ORA-00904"},
      {"SELECT GRP FROM T GROUP BY GRP ORDER BY ID", "ORA-00979"},
      {"SELECT GRP, COUNT(*) C FROM T GROUP BY GRP ORDER BY C DESC, 1", "x|2,y|1,<null>|1"},
      {"SELECT GRP, COUNT(*) FROM T GROUP BY GRP HAVING NOPE(N) > 1", "ORA-00904"},
      {"SELECT ID FROM T ORDER BY 2", "ORA-01785"},
      {"SELECT ID FROM T ORDER BY -1", "ORA-01785"},
      {"SELECT COUNT(*), ROWNUM FROM T", "ORA-00937"},
      {"SELECT GRP, ROWNUM FROM T GROUP BY GRP", "ORA-00979"},
      {"SELECT MAX(COUNT(*)) FROM T", "ORA-00978"},
      {"SELECT MAX(COUNT(*)), 7, SUM(MIN(ID) + 1) FROM T WHERE ID < 4 GROUP BY GRP", "2|7|5"},
      {"SELECT COUNT(SUM(N)) FROM T GROUP BY GRP HAVING COUNT(*) < 2", "1"},
      {"SELECT GRP, MAX(COUNT(*)) FROM T GROUP BY GRP", "ORA-00937"},
      {"SELECT MAX(MIN(COUNT(*))) FROM T GROUP BY GRP", "ORA-00935"},
      // ORDER BY orders the one row of an aggregate of aggregates: it reads what the select
      // list may read; HAVING keeps groups before the outer aggregate reads them.
      {"SELECT MAX(COUNT(*)) M, MIN(SUM(N)) FROM T GROUP BY GRP ORDER BY M, MAX(SUM(N)), 2",
       "2|40"},
      {"SELECT MAX(COUNT(*)) M FROM T GROUP BY GRP ORDER BY -M", "2"},
      {"SELECT MAX(COUNT(*)) FROM T GROUP BY GRP HAVING GRP IS NOT NULL ORDER BY MAX(COUNT(*))",
       "2"},
      {"SELECT MAX(COUNT(*)) FROM T GROUP BY GRP ORDER BY GRP", "ORA-00937"},
      {"SELECT MAX(COUNT(*)) FROM T A GROUP BY GRP ORDER BY A.GRP", "ORA-00937"},
      {"SELECT MAX(COUNT(*)) FROM T GROUP BY GRP ORDER BY COUNT(*)", "ORA-00937"},
      {"SELECT MAX(COUNT(*)) FROM T GROUP BY GRP HAVING MAX(COUNT(*)) > 1", "ORA-00935"},
      // A subquery of a grouping select reads its columns as the select list does.
      {"SELECT GRP, (SELECT COUNT(*) FROM T B WHERE B.ID = A.ID) FROM T A GROUP BY GRP",
       "ORA-00979"},
      {"SELECT COUNT(*) FROM T A HAVING EXISTS (SELECT 1 FROM DUAL WHERE A.N > 0)", "ORA-00937"},
      {"SELECT GRP, (SELECT COUNT(*) FROM T B WHERE B.GRP = A.GRP) FROM T A GROUP BY GRP "
       "ORDER BY 1",
       "x|2,y|1,<null>|0"},
      // Without GROUP BY or aggregates HAVING keeps rows as WHERE does.
      {"SELECT 1 FROM T HAVING 1 = 1", "1,1,1,1"},
      {"SELECT ID FROM T WHERE ID > 1 HAVING N > 20 ORDER BY ID", "3,4"},
      {"SELECT COUNT(*) FROM T WHERE ID > 9 HAVING 1 = 1", "0"},
      {"SELECT ID FROM T A, T B", "ORA-00918"},
      {"SELECT NOPE FROM T", "ORA-00904"},
  });
}

// TO_CHAR of a date without a model is text in the default date format, wherever that text
// is read further.
TEST_P(OracleRulesTest, DatesWrittenAsTextWithoutAModel) {
  RunScript(*c_, R"(
CREATE TABLE P (ID VARCHAR2(5), BIRTHDAY DATE, OUT_TIME DATE);
INSERT INTO P VALUES ('P0001', DATE '1958-03-12', NULL);
INSERT INTO P VALUES ('P0002', DATE '1971-11-02', TO_DATE('2008-01-05 10:30:00', 'YYYY-MM-DD HH24:MI:SS'));
)");
  Check({
      {"SELECT TO_CHAR(BIRTHDAY) || '|' FROM P WHERE ID = 'P0001'", "1958-03-12 00:00:00|"},
      {"SELECT TO_CHAR(OUT_TIME) FROM P ORDER BY ID", "<null>,2008-01-05 10:30:00"},
      {"SELECT NVL(TO_CHAR(OUT_TIME), 'none') FROM P ORDER BY ID", "none,2008-01-05 10:30:00"},
      {"SELECT COALESCE(TO_CHAR(OUT_TIME), 'none') FROM P ORDER BY ID",
       "none,2008-01-05 10:30:00"},
      {"SELECT NVL2(OUT_TIME, TO_CHAR(OUT_TIME), 'none') FROM P ORDER BY ID",
       "none,2008-01-05 10:30:00"},
      {"SELECT DECODE(ID, 'P0001', TO_CHAR(BIRTHDAY), 'other') FROM P ORDER BY ID",
       "1958-03-12 00:00:00,other"},
      {"SELECT DECODE(TO_CHAR(BIRTHDAY), '1958-03-12 00:00:00', 'found', 'other') FROM P "
       "ORDER BY ID",
       "found,other"},
      {"SELECT CASE WHEN OUT_TIME IS NULL THEN 'none' ELSE TO_CHAR(OUT_TIME) END FROM P "
       "ORDER BY ID",
       "none,2008-01-05 10:30:00"},
      {"SELECT CASE TO_CHAR(BIRTHDAY) WHEN '1958-03-12 00:00:00' THEN 'found' END FROM P "
       "ORDER BY ID",
       "found,<null>"},
      {"SELECT SUBSTR(TO_CHAR(BIRTHDAY), 1, 7), LENGTH(TO_CHAR(BIRTHDAY)), "
       "INSTR(TO_CHAR(BIRTHDAY), ':'), REPLACE(TO_CHAR(BIRTHDAY), '-', '/') FROM P "
       "WHERE ID = 'P0001'",
       "1958-03|19|14|1958/03/12 00:00:00"},
      {"SELECT LPAD(TO_CHAR(BIRTHDAY), 21, '*'), CONCAT(TO_CHAR(BIRTHDAY), '!'), "
       "TRIM(TO_CHAR(BIRTHDAY)), TO_CHAR(TO_CHAR(BIRTHDAY)) FROM P WHERE ID = 'P0001'",
       "**1958-03-12 00:00:00|1958-03-12 00:00:00!|1958-03-12 00:00:00|1958-03-12 00:00:00"},
      {"SELECT ID FROM P WHERE TO_CHAR(BIRTHDAY) LIKE '1958%'", "P0001"},
      {"SELECT ID FROM P WHERE TO_CHAR(BIRTHDAY) = '1971-11-02 00:00:00'", "P0002"},
      {"SELECT MAX(TO_CHAR(BIRTHDAY)) FROM P", "1971-11-02 00:00:00"},
  });
}

// SUM and AVG read a text as a number, and refuse one that is none, or a date.
TEST_P(OracleRulesTest, NumericAggregatesOfText) {
  RunScript(*c_, R"(
CREATE TABLE S (ID NUMBER, V VARCHAR2(10), D DATE);
INSERT INTO S VALUES (1, '1', DATE '2008-01-01');
INSERT INTO S VALUES (2, ' 2.5', NULL);
INSERT INTO S VALUES (3, NULL, NULL);
INSERT INTO S VALUES (4, '0.1', NULL);
)");
  Check({
      {"SELECT SUM('1') FROM T", "4"},
      {"SELECT SUM('1'), AVG('2.5'), SUM(DISTINCT '1'), AVG(-'1') FROM T", "4|2.5|1|-1"},
      {"SELECT SUM(V), AVG(V), COUNT(V) FROM S", "3.6|1.2|3"},
      {"SELECT ID, SUM(V) OVER (ORDER BY ID) FROM S ORDER BY ID", "1|1,2|3.5,3|3.5,4|3.6"},
      {"SELECT SUM(V) FROM S WHERE ID > 9", "<null>"},
      {"SELECT SUM('x7') FROM T", "ORA-01722: invalid number: 'x7'"},
      {"SELECT AVG('x7') FROM DUAL", "ORA-01722: invalid number: 'x7'"},
      {"SELECT SUM(GRP) FROM T WHERE ID = 1", "ORA-01722: invalid number: 'x'"},
      {"SELECT AVG(GRP) OVER () FROM T WHERE ID = 1", "ORA-01722: invalid number: 'x'"},
      {"SELECT SUM(D) FROM S", "ORA-00932"},
      {"SELECT AVG(D) FROM S WHERE ID > 9", "ORA-00932"},
  });
}

// A date compares with dates and with text that holds one, never with a number.
TEST_P(OracleRulesTest, DatesCompareWithNoNumber) {
  RunScript(*c_, R"(
CREATE TABLE P (ID VARCHAR2(5), BIRTHDAY DATE);
INSERT INTO P VALUES ('P0001', DATE '1958-03-12');
INSERT INTO P VALUES ('P0002', DATE '1971-11-02');
)");
  constexpr const char* kDateGotNumber =
      "ORA-00932: inconsistent datatypes: expected DATE got NUMBER";
  constexpr const char* kNumberGotDate =
      "ORA-00932: inconsistent datatypes: expected NUMBER got DATE";
  Check({
      {"SELECT COUNT(*) FROM P WHERE BIRTHDAY = 19580312", kDateGotNumber},
      {"SELECT COUNT(*) FROM P WHERE BIRTHDAY <> 19580312", kDateGotNumber},
      {"SELECT COUNT(*) FROM P WHERE BIRTHDAY < 19580312", kDateGotNumber},
      {"SELECT COUNT(*) FROM P WHERE BIRTHDAY >= -1", kDateGotNumber},
      {"SELECT COUNT(*) FROM P WHERE BIRTHDAY IN ('1958-03-12', 19580312)", kDateGotNumber},
      {"SELECT COUNT(*) FROM P WHERE BIRTHDAY NOT IN (19580312)", kDateGotNumber},
      {"SELECT COUNT(*) FROM P WHERE BIRTHDAY BETWEEN 19580101 AND 19581231", kDateGotNumber},
      {"SELECT COUNT(*) FROM P WHERE BIRTHDAY = LENGTH(ID)", kDateGotNumber},
      {"SELECT COUNT(*) FROM P WHERE 19580312 = BIRTHDAY", kNumberGotDate},
      {"SELECT COUNT(*) FROM P WHERE 19580312 IN (BIRTHDAY)", kNumberGotDate},
      {"SELECT COUNT(*) FROM P WHERE 5 BETWEEN BIRTHDAY AND BIRTHDAY", kNumberGotDate},
      {"SELECT COUNT(*) FROM P WHERE BIRTHDAY IN (SELECT 19580312 FROM DUAL)", kDateGotNumber},
      {"SELECT COUNT(*) FROM P WHERE BIRTHDAY = (SELECT 19580312 FROM DUAL)", kDateGotNumber},
      {"SELECT COUNT(*) FROM P WHERE LENGTH(ID) NOT IN (SELECT BIRTHDAY FROM P)", kNumberGotDate},
      {"SELECT COUNT(*) FROM P WHERE (ID, BIRTHDAY) IN (SELECT 'P0001', 19580312 FROM DUAL)",
       kDateGotNumber},
      {"SELECT CASE WHEN BIRTHDAY = 1 THEN 'y' END FROM P", kDateGotNumber},
      // Whatever the rows.
      {"SELECT COUNT(*) FROM P WHERE ID = 'none' AND BIRTHDAY = 19580312", kDateGotNumber},
      {"SELECT COUNT(*) FROM P WHERE 1 = 0 AND BIRTHDAY = 19580312", kDateGotNumber},
      // Dates, text holding a date and date arithmetic compare as before.
      {"SELECT ID FROM P WHERE BIRTHDAY = DATE '1958-03-12'", "P0001"},
      {"SELECT ID FROM P WHERE BIRTHDAY = '1958-03-12'", "P0001"},
      {"SELECT ID FROM P WHERE BIRTHDAY IN ('1971-11-02', DATE '1958-03-12') ORDER BY ID",
       "P0001,P0002"},
      {"SELECT ID FROM P WHERE BIRTHDAY BETWEEN '1958-01-01' AND '1958-12-31'", "P0001"},
      {"SELECT ID FROM P WHERE BIRTHDAY IN (SELECT MIN(BIRTHDAY) FROM P)", "P0001"},
      {"SELECT ID FROM P WHERE (ID, BIRTHDAY) IN (SELECT ID, BIRTHDAY FROM P) ORDER BY ID",
       "P0001,P0002"},
      {"SELECT ID FROM P WHERE BIRTHDAY + 1 > DATE '1971-11-02'", "P0002"},
      {"SELECT ID FROM P WHERE DATE '1971-11-02' - BIRTHDAY > 1", "P0001"},
      {"SELECT ID FROM P WHERE TRUNC(BIRTHDAY) = DATE '1958-03-12' AND "
       "ROUND(BIRTHDAY) = TO_DATE('19580312', 'YYYYMMDD') AND LAST_DAY(BIRTHDAY) > BIRTHDAY AND "
       "ADD_MONTHS(BIRTHDAY, 1) > BIRTHDAY AND NVL(BIRTHDAY, SYSDATE) = BIRTHDAY",
       "P0001"},
      {"SELECT ID FROM P WHERE BIRTHDAY = (SELECT MIN(BIRTHDAY) FROM P) AND "
       "GREATEST(BIRTHDAY, DATE '1960-01-01') = DATE '1960-01-01' AND "
       "DECODE(ID, 'P0001', BIRTHDAY) = BIRTHDAY AND "
       "CASE WHEN ID > 'P' THEN BIRTHDAY END IN (BIRTHDAY) AND BIRTHDAY < SYSDATE",
       "P0001"},
      {"SELECT ID FROM P WHERE EXTRACT(YEAR FROM BIRTHDAY) = 1958 AND "
       "TO_NUMBER(TO_CHAR(BIRTHDAY, 'YYYY')) = 1958 AND MONTHS_BETWEEN(SYSDATE, BIRTHDAY) > 12 "
       "AND BIRTHDAY - BIRTHDAY = 0",
       "P0001"},
      {"SELECT COUNT(*) FROM P WHERE BIRTHDAY = 'x'", "ORA-01861"},
  });
  // The result code is that of a number read as a date.
  EXPECT_EQ(Failure("SELECT COUNT(*) FROM P WHERE BIRTHDAY = 19580312").first, kConversionFailed);
}

// A text that is no number is named in the failure wherever it is known.
TEST_P(OracleRulesTest, InvalidNumberNamesTheText) {
  Check({
      {"SELECT TO_NUMBER('x7') FROM DUAL", "ORA-01722: invalid number: 'x7'"},
      {"SELECT CAST('x7' AS NUMBER) FROM DUAL", "ORA-01722: invalid number: 'x7'"},
      {"SELECT ID FROM T WHERE N = 'x7'", "ORA-01722: invalid number: 'x7'"},
      {"SELECT NVL(N, 'none') FROM T", "ORA-01722: invalid number: 'none'"},
      {"SELECT TO_NUMBER(GRP) FROM T WHERE ID = 1", "ORA-01722: invalid number: 'x'"},
      {"SELECT ID FROM T WHERE ID = 1 AND TO_NUMBER(GRP) > 0", "ORA-01722: invalid number: 'x'"},
      {"SELECT N + GRP FROM T WHERE ID = 1", "ORA-01722: invalid number: 'x'"},
      {"INSERT INTO T (ID, N) VALUES (5, 'x7')", "ORA-01722: invalid number: 'x7'"},
      {"UPDATE T SET N = GRP WHERE ID = 1", "ORA-01722: invalid number: 'x'"},
  });
}

INSTANTIATE_TEST_SUITE_P(Engines, OracleRulesTest, testing::kBothEngines, testing::EngineName);

}  // namespace
}  // namespace korvalis::db
