// Statements run through the provider, compared with the rows Oracle gives for them.
#include <gtest/gtest.h>

#include "platform/db/connection_pool.h"
#include "platform/db/database_clock.h"
#include "platform/db/testing/db_test_util.h"
#include "platform/db/script_runner.h"
#include "platform/db/testing/engine_database.h"

namespace korvalis::db {
namespace {

using testing::ColumnNames;
using testing::Query;
using testing::Rows;
using testing::Scalar;

class FixedClock : public DatabaseClock {
 public:
  DateTime Now() const override { return DateTime{2009, 3, 31, 14, 30, 5}; }
};

class ConformanceTest : public ::testing::TestWithParam<Engine> {
 protected:
  static void SetUpTestSuite() { SetDatabaseClock(std::make_shared<FixedClock>()); }
  static void TearDownTestSuite() { SetDatabaseClock(nullptr); }

  void SetUp() override {
    c_ = testing::OpenEmptyDatabase(GetParam());
    RunScript(*c_, R"(
CREATE TABLE T (ID NUMBER, NAME VARCHAR2(20), D DATE, GRP VARCHAR2(5), CODE VARCHAR2(10));
INSERT INTO T VALUES (1, 'b', '2008-01-01', 'x', '01');
INSERT INTO T VALUES (2, NULL, '2008-01-03', 'x', '2');
INSERT INTO T VALUES (3, 'a', NULL, 'y', NULL);
INSERT INTO T VALUES (4, 'C', '2008-01-02 12:00:00', 'y', '4');
)");
  }
  // The first column of each row, joined by ",".
  std::string Column(std::string_view sql) {
    std::string out;
    for (const auto& row : Query(*c_, sql)) {
      if (!out.empty()) out.push_back(',');
      out += row[0];
    }
    return out;
  }
  std::vector<std::string> Row(std::string_view sql) {
    Rows rows = Query(*c_, sql);
    return rows.empty() ? std::vector<std::string>{} : rows[0];
  }
  std::string Error(std::string_view sql) {
    try {
      Query(*c_, sql);
    } catch (const DbError& e) {
      return e.what();
    }
    return "no error";
  }
  std::unique_ptr<Connection> c_;
};

using V = std::vector<std::string>;

TEST_P(ConformanceTest, EmptyTextIsNull) {
  EXPECT_EQ(Column("SELECT CASE WHEN '' = '' THEN 'eq' ELSE 'ne' END FROM DUAL"), "ne");
  EXPECT_EQ(Column("SELECT CASE WHEN '' IS NULL THEN 'null' END FROM DUAL"), "null");
  EXPECT_EQ(Row("SELECT NVL2('', 1, 2), COALESCE(NULL, '', 'x'), NVL('', 'y') FROM DUAL"),
            (V{"2", "x", "y"}));
  // || ignores NULL and gives NULL for an empty result.
  EXPECT_EQ(Row("SELECT 'a' || NULL || 1.50, '' || '', NULL || 2 FROM DUAL"),
            (V{"a1.5", "<null>", "2"}));
  // Functions whose result is empty give NULL.
  EXPECT_EQ(Row("SELECT REPLACE('aa', 'a'), TRIM('  '), SUBSTR('abc', 5), LENGTH('') FROM DUAL"),
            (V{"<null>", "<null>", "<null>", "<null>"}));
  c_->Execute("UPDATE T SET NAME = '' WHERE ID = 1");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE NAME IS NULL ORDER BY ID"), "1,2");
  EXPECT_EQ(Column("SELECT COUNT(*) FROM T WHERE NAME = ''"), "0");
}

// A number turned into text without a mask reads as TO_CHAR writes it; in a result it stays a
// plain decimal.
TEST_P(ConformanceTest, NumbersTurnedIntoTextReadAsToCharWritesThem) {
  EXPECT_EQ(Row("SELECT 'x' || 0.5, TO_CHAR(0.5), TO_CHAR(-0.25), -0.25 || '', 10.5 || 'y', 0.5, "
                "LENGTH(0.5) FROM DUAL"),
            (V{"x.5", ".5", "-.25", "-.25", "10.5y", "0.5", "2"}));
  c_->Execute("UPDATE T SET NAME = 0.125 WHERE ID = 1");
  c_->Execute("UPDATE T SET NAME = ID / 4 WHERE ID = 2");
  EXPECT_EQ(Column("SELECT NAME FROM T WHERE ID IN (1, 2) ORDER BY ID"), ".125,.5");
  EXPECT_EQ(Column("SELECT SCORE FROM (SELECT 0.5 * ID SCORE FROM T WHERE ID = 1)"), "0.5");
}

TEST_P(ConformanceTest, NullsSortLastAscendingFirstDescendingAndTextSortsByCode) {
  EXPECT_EQ(Column("SELECT ID FROM T ORDER BY NAME"), "4,3,1,2");
  EXPECT_EQ(Column("SELECT ID FROM T ORDER BY NAME DESC"), "2,1,3,4");
  EXPECT_EQ(Column("SELECT ID FROM T ORDER BY D NULLS FIRST"), "3,1,4,2");
  EXPECT_EQ(Column("SELECT ID FROM T ORDER BY D DESC NULLS LAST"), "2,4,1,3");
  EXPECT_EQ(Column("SELECT ID FROM T ORDER BY GRP DESC, NAME"), "4,3,1,2");
}

TEST_P(ConformanceTest, LikeIsCaseSensitive) {
  EXPECT_EQ(Column("SELECT ID FROM T WHERE NAME LIKE 'c%'"), "");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE NAME LIKE 'C%'"), "4");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE NAME NOT LIKE '_' ORDER BY ID"), "");
  EXPECT_EQ(Column("SELECT COUNT(*) FROM DUAL WHERE 'a_b' LIKE 'a\\_b' ESCAPE '\\'"), "1");
}

TEST_P(ConformanceTest, ArithmeticAndNumbers) {
  EXPECT_EQ(Row("SELECT 7/2, 1/3, 2.0 * 1, -0.5, 0.25, 1e20, 1/8, 6/2 FROM DUAL"),
            (V{"3.5", "0.3333333333333333333333333333333333333333",
               "2", "-0.5", "0.25", "100000000000000000000", "0.125", "3"}));
  EXPECT_NE(Error("SELECT 1/0 FROM DUAL").find("ORA-01476"), std::string::npos);
  EXPECT_NE(Error("SELECT ID / (ID - 1) FROM T").find("ORA-01476"), std::string::npos);
  // Numbers compared with numeric texts compare as numbers.
  EXPECT_EQ(Column("SELECT ID FROM T WHERE CODE = 1"), "1");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE ID = '2'"), "2");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE ID IN ('3', '4') ORDER BY ID"), "3,4");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE CODE IN (1, 4) ORDER BY ID"), "1,4");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE CODE BETWEEN 1 AND 2 ORDER BY ID"), "1,2");
  EXPECT_EQ(Row("SELECT TO_NUMBER('12.5') + 1, TO_NUMBER(' 3 '), '2' * 3 FROM DUAL"),
            (V{"13.5", "3", "6"}));
  EXPECT_NE(Error("SELECT TO_NUMBER('1x') FROM DUAL").find("ORA-01722"), std::string::npos);
  EXPECT_NE(Error("SELECT ID FROM T WHERE NAME = 1").find("ORA-01722"), std::string::npos);
}

TEST_P(ConformanceTest, NumberFunctions) {
  EXPECT_EQ(
      Row("SELECT TRUNC(15.79, 1), TRUNC(15.79), TRUNC(-15.79), ROUND(15.75, 1), ROUND(-2.5), "
          "ROUND(1234, -2), ROUND(2.675, 2) FROM DUAL"),
      (V{"15.7", "15", "-15", "15.8", "-3", "1200", "2.68"}));
  EXPECT_EQ(Row("SELECT FLOOR(2.7), CEIL(2.1), FLOOR(-2.5), CEIL(-2.5), MOD(11, 4), MOD(-11, 4), "
                "MOD(5, 0), "
                "SIGN(-3), SIGN(0), ABS(-2.5) FROM DUAL"),
            (V{"2", "3", "-3", "-2", "3", "-3", "5", "-1", "0", "2.5"}));
  // Decimal results that binary arithmetic misses by a hair are whole numbers, as in Oracle.
  EXPECT_EQ(Row("SELECT CEIL(0.1 * 3 * 10), FLOOR(4.35 * 100), CEIL(1.1 * 3 * 10), FLOOR(-0.1 * 3 "
                "* 10) FROM DUAL"),
            (V{"3", "435", "33", "-3"}));
  EXPECT_EQ(Row("SELECT MOD(0.3, 0.1), MOD(4.35 * 100, 5), MOD(10.5, 3), MOD(-7.25, 2), MOD(-11, "
                "4) FROM DUAL"),
            (V{"0", "0", "1.5", "-1.25", "-3"}));
  EXPECT_EQ(
      Column("SELECT ID FROM T WHERE ID * 0.1 + 0.2 = 0.3 OR 4.35 * 100 = ID + 431 ORDER BY ID"),
      "1,4");
  // A second is 1/86400 of a day rounded to a NUMBER's digits: times 86400 it is not 1.
  EXPECT_EQ(Column("SELECT COUNT(*) FROM T WHERE (D - TO_DATE('2007-12-31 23:59:59','YYYY-MM-DD "
                   "HH24:MI:SS')) * 86400 = 1"),
            "0");
  EXPECT_EQ(Row("SELECT GREATEST(1, 3, 2), LEAST('b', 'a'), GREATEST(1, NULL) FROM DUAL"),
            (V{"3", "a", "<null>"}));
  EXPECT_EQ(Row("SELECT CAST(1 / 3 AS NUMBER(5,2)), CAST(7 AS VARCHAR2(10)), CAST('2008-01-01' AS "
                "DATE) FROM DUAL"),
            (V{"0.33", "7", "2008-01-01 00:00:00"}));
}

TEST_P(ConformanceTest, ToCharOfNumbers) {
  EXPECT_EQ(Row("SELECT TO_CHAR(12.345, 'FM999990.99'), TO_CHAR(0.5, 'FM990.99'), TO_CHAR(12, "
                "'FM999990.99'), "
                "TO_CHAR(123456, 'fm999999'), TO_CHAR(1234567, 'fm999999'), TO_CHAR(2.675, "
                "'FM990.99') FROM DUAL"),
            (V{"12.35", "0.5", "12.", "123456", "#######", "2.68"}));
  EXPECT_EQ(Row("SELECT TO_CHAR(-0.005, 'FM990.99'), TO_CHAR(1.5, '990.99'), TO_CHAR(99.999, "
                "'FM990.99'), "
                "TO_CHAR(0.04, 'fm9999990.9'), TO_CHAR(3), TO_CHAR(2.50) FROM DUAL"),
            (V{"-0.01", "   1.50", "100.", "0.", "3", "2.5"}));
  EXPECT_NE(Error("SELECT TO_CHAR(1, 'X9') FROM DUAL").find("ORA-01481"), std::string::npos);
}

TEST_P(ConformanceTest, TextFunctions) {
  EXPECT_EQ(Row("SELECT SUBSTR('abcdef', 0, 2), SUBSTR('abcdef', -3), SUBSTR('abcdef', 2), "
                "SUBSTR('中文字符', 2, 2), "
                "SUBSTR('abc', 2, 0) FROM DUAL"),
            (V{"ab", "def", "bcdef", "文字", "<null>"}));
  EXPECT_EQ(
      Row("SELECT INSTR('abcabc', 'b'), INSTR('abcabc', 'b', 3), INSTR('abcabc', 'b', 1, 2), "
          "INSTR('abcabc', 'b', -1), INSTR('abcabc', 'z'), INSTR('中文中', '中', 2) FROM DUAL"),
      (V{"2", "5", "5", "5", "0", "3"}));
  EXPECT_EQ(Row("SELECT LPAD('7', 3, '0'), RPAD('ab', 4, '*'), LPAD('abc', 2), LTRIM('xxab', 'x'), "
                "RTRIM('ab  '), "
                "TRIM('  ab  '), TRIM(LEADING '0' FROM '007'), RTRIM('a,b,,', ',') FROM DUAL"),
            (V{"007", "ab**", "ab", "ab", "ab", "ab", "7", "a,b"}));
  EXPECT_EQ(Row("SELECT UPPER('aB'), LOWER('Ab'), REPLACE('abcabc', 'b', 'x'), TRANSLATE('abc', "
                "'ab', 'x'), "
                "LENGTH('中文'), INITCAP('hello world') FROM DUAL"),
            (V{"AB", "ab", "axcaxc", "xc", "2", "Hello World"}));
}

TEST_P(ConformanceTest, DecodeAndCase) {
  EXPECT_EQ(Row("SELECT DECODE(1, '1', 'num'), DECODE('1', 1, 'text-num'), DECODE(NULL, NULL, "
                "'nn', 'x'), "
                "DECODE(2, 1, 'a', 'other'), DECODE(3, 1, 'a') FROM DUAL"),
            (V{"num", "text-num", "nn", "other", "<null>"}));
  EXPECT_EQ(Column("SELECT DECODE(NAME, NULL, '-', NAME) FROM T ORDER BY ID"), "b,-,a,C");
  EXPECT_EQ(Column("SELECT DECODE(CODE, 1, 'one', 2, 'two', 'other') FROM T WHERE CODE IS NOT NULL "
                   "ORDER BY ID"),
            "one,two,other");
  EXPECT_EQ(Column("SELECT CASE GRP WHEN 'x' THEN 1 ELSE 0 END FROM T ORDER BY ID"), "1,1,0,0");
}

TEST_P(ConformanceTest, DatesAndTheirArithmetic) {
  EXPECT_EQ(Row("SELECT TO_DATE('2008-01-02','yyyy-MM-dd') - TO_DATE('2008-01-01 "
                "18:00:00','YYYY-MM-DD HH24:MI:SS'), "
                "(TO_DATE('2008-01-02','yyyy-MM-dd') - TO_DATE('2008-01-01 18:00:00','YYYY-MM-DD "
                "HH24:MI:SS')) * 24 FROM DUAL"),
            (V{"0.25", "6"}));
  // Differences that are no binary fraction of a day are NUMBER quotients of the seconds by
  // 86400, so minutes and seconds computed from them are whole only where the rounding of the
  // quotient to a NUMBER's digits leaves them so.
  EXPECT_EQ(Row("SELECT TO_DATE('2024-01-01 10:00:00','YYYY-MM-DD HH24:MI:SS') - "
                "TO_DATE('2024-01-02','YYYY-MM-DD'), "
                "(TO_DATE('2024-01-01 00:00:01','YYYY-MM-DD HH24:MI:SS') - "
                "TO_DATE('2024-01-01','YYYY-MM-DD')) * 86400, "
                "(TO_DATE('2026-12-07 10:17:00','YYYY-MM-DD HH24:MI:SS') - TO_DATE('2026-12-07 "
                "08:00:00','YYYY-MM-DD HH24:MI:SS')) * 1440, "
                "(TO_DATE('2026-12-07 10:00:00','YYYY-MM-DD HH24:MI:SS') - TO_DATE('2026-12-04 "
                "22:00:00','YYYY-MM-DD HH24:MI:SS')) * 24 "
                "FROM DUAL"),
            (V{"-0.5833333333333333333333333333333333333333",
               "0.9999999999999999999999999999999999999996", "137", "60"}));
  EXPECT_EQ(Column("SELECT COUNT(*) FROM DUAL WHERE (TO_DATE('2026-12-07 10:17:00','YYYY-MM-DD "
                   "HH24:MI:SS') - "
                   "TO_DATE('2026-12-07 08:00:00','YYYY-MM-DD HH24:MI:SS')) * 1440 >= 137"),
            "1");
  EXPECT_EQ(Row("SELECT D + 1.5, D - 1, 1 + D, D + 1/24 FROM T WHERE ID = 1"),
            (V{"2008-01-02 12:00:00", "2007-12-31 00:00:00", "2008-01-02 00:00:00",
               "2008-01-01 01:00:00"}));
  EXPECT_EQ(Column("SELECT ID FROM T WHERE D > TO_DATE('2008-01-01','yyyy-mm-dd') ORDER BY D"),
            "4,2");
  // Text literals compared with dates are read in the default date format.
  EXPECT_EQ(Column("SELECT ID FROM T WHERE D = '2008-01-01'"), "1");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE '2008-01-02 12:00' <= D ORDER BY ID"), "2,4");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE D BETWEEN '2008-01-02' AND '2008-01-03' ORDER BY ID"),
            "2,4");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE D IN ('2008-01-03', '2008-01-01') ORDER BY ID"), "1,2");
  // Fields without leading zeros and leading blanks are read as Oracle reads them, never
  // compared as text; a text that is no date fails.
  EXPECT_EQ(Column("SELECT ID FROM T WHERE D >= '2008-1-2' ORDER BY ID"), "2,4");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE D = '2008-1-3'"), "2");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE D = ' 2008-01-02 12:00'"), "4");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE D BETWEEN '2008-1-1' AND '2008-1-2 12:0:0' ORDER BY ID"),
            "1,4");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE D IN ('2008-1-3', '2008-1-1') ORDER BY ID"), "1,2");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE D = ''"), "");
  EXPECT_EQ(Column("SELECT NVL(D, '2008-1-5') FROM T ORDER BY ID"),
            "2008-01-01 00:00:00,2008-01-03 00:00:00,2008-01-05 00:00:00,2008-01-02 12:00:00");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE NVL(D, '2008-1-5') > '2008-01-04'"), "3");
  EXPECT_EQ(Row("SELECT GREATEST(D, '2008-1-10'), LEAST(D, '2007-12-9 8:00') FROM T WHERE ID = 1"),
            (V{"2008-01-10 00:00:00", "2007-12-09 08:00:00"}));
  EXPECT_NE(Error("SELECT ID FROM T WHERE D >= 'yesterday'").find("ORA-01861"), std::string::npos);
  EXPECT_NE(Error("SELECT ID FROM T WHERE D < '2008-02-30'").find("ORA-01861"), std::string::npos);
  Query(*c_, "INSERT INTO T (ID, D) VALUES (5, '2008-2-3 4:05:06')");
  EXPECT_EQ(Column("SELECT D FROM T WHERE ID = 5"), "2008-02-03 04:05:06");
  EXPECT_NE(Error("INSERT INTO T (ID, D) VALUES (6, '2008-02-30')").find("ORA-01861"),
            std::string::npos);
  Query(*c_, "DELETE FROM T WHERE ID = 5");
  EXPECT_EQ(Column("SELECT TRUNC(SYSDATE - D) FROM T WHERE ID = 4"), "454");
  EXPECT_EQ(Column("SELECT sysdate FROM dual"), "2009-03-31 14:30:05");
  EXPECT_EQ(Row("SELECT ADD_MONTHS(TO_DATE('2008-01-31','YYYY-MM-DD'), 1), "
                "ADD_MONTHS(TO_DATE('2008-02-29','YYYY-MM-DD'), 12), "
                "ADD_MONTHS(TO_DATE('2008-02-28','YYYY-MM-DD'), 1), "
                "ADD_MONTHS(TO_DATE('2008-04-30','YYYY-MM-DD'), -2), "
                "ADD_MONTHS(SYSDATE, -1) FROM DUAL"),
            (V{"2008-02-29 00:00:00", "2009-02-28 00:00:00", "2008-03-28 00:00:00",
               "2008-02-29 00:00:00", "2009-02-28 14:30:05"}));
  EXPECT_EQ(
      Row("SELECT MONTHS_BETWEEN(TO_DATE('2008-03-15','YYYY-MM-DD'), "
          "TO_DATE('2008-01-01','YYYY-MM-DD')), "
          "MONTHS_BETWEEN(TO_DATE('2008-02-29','YYYY-MM-DD'), TO_DATE('2008-01-31','YYYY-MM-DD')), "
          "MONTHS_BETWEEN(TO_DATE('2008-01-01 12:00','YYYY-MM-DD HH24:MI'), "
          "TO_DATE('2008-01-02','YYYY-MM-DD')) FROM DUAL"),
      (V{"2.4516129032258064516129032258064516129", "1",
         "-0.0161290322580645161290322580645161290323"}));
  EXPECT_EQ(Row("SELECT TRUNC(TO_DATE('2008-05-17 13:14:15','YYYY-MM-DD HH24:MI:SS')), "
                "TRUNC(TO_DATE('2008-05-17 13:14:15','YYYY-MM-DD HH24:MI:SS'), 'MM'), "
                "TRUNC(TO_DATE('2008-05-17','YYYY-MM-DD'), 'yyyy'), "
                "LAST_DAY(TO_DATE('2008-02-10','YYYY-MM-DD')) FROM DUAL"),
            (V{"2008-05-17 00:00:00", "2008-05-01 00:00:00", "2008-01-01 00:00:00",
               "2008-02-29 00:00:00"}));
}

TEST_P(ConformanceTest, ToCharAndToDateOfDates) {
  EXPECT_EQ(Row("SELECT TO_CHAR(D, 'yyyy-MM-dd HH24:MI'), TO_CHAR(D, 'YYYY'), TO_CHAR(D, 'mm'), "
                "TO_CHAR(D, 'dd'), "
                "TO_CHAR(D, 'hh:mi:ss') FROM T WHERE ID = 4"),
            (V{"2008-01-02 12:00", "2008", "01", "02", "12:00:00"}));
  EXPECT_EQ(Column("SELECT TO_CHAR(TO_DATE('2008-05-07 15:04:05','YYYY-MM-DD HH24:MI:SS'), "
                   "'YYYY\"年\"FMMM\"月\"DD\"日\" HH:MI:SS') FROM DUAL"),
            "2008年5月7日 3:4:5");
  EXPECT_EQ(
      Row("SELECT TO_DATE(' 2008-05-07', 'YYYY-MM-DD HH24:MI:SS'), TO_DATE('', 'YYYY-MM-DD'), "
          "TO_DATE('2008-5-7 8:05', 'yyyy-mm-dd hh24:mi') FROM DUAL"),
      (V{"2008-05-07 00:00:00", "<null>", "2008-05-07 08:05:00"}));
  EXPECT_NE(Error("SELECT TO_DATE('2008-13-07', 'YYYY-MM-DD') FROM DUAL").find("ORA-01843"),
            std::string::npos);
  EXPECT_NE(Error("SELECT TO_DATE('yesterday', 'YYYY-MM-DD') FROM DUAL").find("ORA-01"),
            std::string::npos);
  EXPECT_NE(Error("SELECT TO_DATE('2008-02-30', 'YYYY-MM-DD') FROM DUAL").find("ORA-01839"),
            std::string::npos);
  EXPECT_NE(Error("SELECT TO_DATE('2008-01-01 10:00', 'YYYY-MM-DD') FROM DUAL").find("ORA-01830"),
            std::string::npos);
}

TEST_P(ConformanceTest, Rownum) {
  EXPECT_EQ(Column("SELECT ID FROM (SELECT ID FROM T ORDER BY ID DESC) WHERE ROWNUM <= 2"), "4,3");
  EXPECT_EQ(
      Column("SELECT ID FROM (SELECT ID FROM T ORDER BY ID DESC) WHERE ROWNUM < 3 AND ID < 4"),
      "3,2");
  // A top-n view read by a sorting query keeps the order that it cut.
  EXPECT_EQ(Column("SELECT * FROM (SELECT ID FROM (SELECT ID FROM T ORDER BY ID DESC) WHERE "
                   "ROWNUM <= 2) ORDER BY ID"),
            "3,4");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE ROWNUM = 1"), "1");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE ROWNUM < 1"), "");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE ROWNUM = 2"), "");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE 3 > ROWNUM AND GRP = 'y'"), "3,4");
  // The limit applies before the sort and the count of its own level.
  EXPECT_EQ(Column("SELECT ID FROM T WHERE ROWNUM <= 2 ORDER BY ID DESC"), "2,1");
  EXPECT_EQ(Column("SELECT COUNT(*) FROM T WHERE ROWNUM <= 2"), "2");
  EXPECT_EQ(Column("SELECT t.GRP FROM T t WHERE ROWNUM <= 3 GROUP BY t.GRP ORDER BY 1"), "x,y");
  // In a select list: the number before sorting.
  EXPECT_EQ(Query(*c_, "SELECT ROWNUM, ID FROM T ORDER BY ID DESC"),
            (Rows{{"4", "4"}, {"3", "3"}, {"2", "2"}, {"1", "1"}}));
  EXPECT_EQ(
      Column("SELECT (SELECT 1 FROM T B WHERE B.GRP = A.GRP AND ROWNUM = 1) FROM T A WHERE ID = 1"),
      "1");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE ROWNUM > 0 OR ID = 1"), "1,2,3,4");
}

TEST_P(ConformanceTest, QueriesSetsGroupsAndWindows) {
  EXPECT_EQ(
      Query(*c_,
            "SELECT GRP, COUNT(*), MAX(D) FROM T GROUP BY GRP HAVING COUNT(*) > 1 ORDER BY GRP"),
      (Rows{{"x", "2", "2008-01-03 00:00:00"}, {"y", "2", "2008-01-02 12:00:00"}}));
  EXPECT_EQ(Query(*c_,
                  "SELECT ID, ROW_NUMBER() OVER (PARTITION BY GRP ORDER BY ID DESC) RN, "
                  "FIRST_VALUE(NAME) OVER (PARTITION BY GRP ORDER BY ID) FV FROM T ORDER BY ID"),
            (Rows{{"1", "2", "b"}, {"2", "1", "b"}, {"3", "2", "a"}, {"4", "1", "a"}}));
  EXPECT_EQ(Column("SELECT ID FROM T WHERE ID IN (SELECT ID FROM T WHERE GRP = 'x') UNION SELECT "
                   "10 FROM DUAL "
                   "MINUS SELECT 1 FROM DUAL ORDER BY 1"),
            "2,10");
  EXPECT_EQ(Column("SELECT ID FROM T INTERSECT SELECT ID + 2 FROM T ORDER BY ID"), "3,4");
  EXPECT_EQ(Column("SELECT COUNT(*) FROM (SELECT GRP FROM T UNION ALL SELECT GRP FROM T)"), "8");
  EXPECT_EQ(Column("SELECT X.N FROM (SELECT COUNT(DISTINCT GRP) N FROM T) X"), "2");
  EXPECT_EQ(Column("SELECT ID FROM T A WHERE EXISTS (SELECT 1 FROM T B WHERE B.ID = A.ID + 1) AND "
                   "NOT A.ID = 2 ORDER BY 1"),
            "1,3");
  EXPECT_EQ(
      Column(
          "SELECT /*+rule*/ ID FROM T WHERE ID BETWEEN '2' AND 3 AND (ID=2 OR ID = 3)ORDER BY ID"),
      "2,3");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE ID = 1AND GRP = 'x'"), "1");
  EXPECT_EQ(Column("SELECT DBMS_RANDOM.VALUE * 0 FROM DUAL"), "0");
  EXPECT_EQ(Column("SELECT COUNT(*) FROM DUAL"), "1");
}

TEST_P(ConformanceTest, ResultColumnNames) {
  EXPECT_EQ(ColumnNames(*c_, "select id, name \"Mixed\", grp g, count(*) over () from t"),
            (V{"ID", "Mixed", "G", "COUNT(*)OVER()"}));
  EXPECT_EQ(ColumnNames(*c_, "select t.*, 'a' || id from t where rownum = 1"),
            (V{"ID", "NAME", "D", "GRP", "CODE", "'a'||ID"}));
  EXPECT_EQ(ColumnNames(*c_, "select * from (select id x from t) v"), (V{"X"}));
  // A literal keeps its text as written, a delimited one too; the rest is upper case.
  EXPECT_EQ(ColumnNames(*c_, "select q'[it's a]', Nq'{Ab}' || id, 'q''[x]', xq.id || q'(y)' "
                             "from t xq where rownum = 1"),
            (V{"Q'[it's a]'", "NQ'{Ab}'||ID", "'q''[x]'", "XQ.ID||Q'(y)'"}));
}

TEST_P(ConformanceTest, ErrorsWhereOracleErrors) {
  EXPECT_NE(Error("SELECT (SELECT ID FROM T) FROM DUAL").find("ORA-01427"), std::string::npos);
  EXPECT_NE(Error("SELECT (SELECT DISTINCT GRP FROM T) FROM DUAL").find("ORA-01427"),
            std::string::npos);
  EXPECT_NE(Error("SELECT (SELECT ID FROM T WHERE ROWNUM <= 2) FROM DUAL").find("ORA-01427"),
            std::string::npos);
  EXPECT_NE(
      Error("SELECT (SELECT 1 FROM DUAL UNION SELECT 2 FROM DUAL) FROM DUAL").find("ORA-01427"),
      std::string::npos);
  EXPECT_EQ(
      Column("SELECT (SELECT DISTINCT GRP FROM T B WHERE B.ID = A.ID) FROM T A ORDER BY A.ID"),
      "x,x,y,y");
  EXPECT_EQ(Column("SELECT (SELECT ID FROM T WHERE ROWNUM <= 2 AND ID = 3) FROM DUAL"), "3");
  EXPECT_EQ(Column("SELECT (SELECT 1 FROM DUAL UNION SELECT 1 FROM DUAL) FROM DUAL"), "1");
  EXPECT_EQ(Column("SELECT (SELECT MAX(ID) FROM T) FROM DUAL"), "4");
  EXPECT_EQ(Column("SELECT (SELECT NAME FROM T B WHERE B.ID = A.ID) FROM T A ORDER BY A.ID"),
            "b,<null>,a,C");
  EXPECT_NE(Error("SELECT ID FROM T A, T B").find("ORA-00918"), std::string::npos);
  EXPECT_NE(Error("SELECT ID FROM T WHERE ID IN ()").find("ORA-00936"), std::string::npos);
  EXPECT_NE(Error("SELECT FOO(1) FROM DUAL").find("ORA-00904"), std::string::npos);
  EXPECT_NE(Error("SELECT NOPE FROM T").find("ORA-00904"), std::string::npos);
  EXPECT_NE(Error("SELECT ID FROM T WHERE").find("ORA-00936"), std::string::npos);
  EXPECT_NE(Error("SELECT 'abc FROM DUAL").find("ORA-01756"), std::string::npos);
}

TEST_P(ConformanceTest, WhatCannotBeTranslatedExactlyIsRefusedByName) {
  struct Case {
    const char* sql;
    const char* named;
  } cases[] = {
      {"SELECT A.ID FROM T A RIGHT JOIN T B ON A.ID = B.ID", "RIGHT OUTER JOIN"},
      {"SELECT A.ID FROM T A FULL OUTER JOIN T B ON A.ID = B.ID", "FULL OUTER JOIN"},
      {"SELECT ID FROM T NATURAL JOIN T", "NATURAL JOIN"},
      {"WITH Q AS (SELECT X FROM Q) SELECT X FROM Q", "WITH query reading itself"},
      {"SELECT SUM(ID) OVER (ORDER BY ID ROWS ID PRECEDING) FROM T", "window frame offset"},
      {"SELECT MAX(ID) KEEP (DENSE_RANK FIRST ORDER BY D) FROM T", "KEEP"},
      {"SELECT ID FROM T WHERE (ID, ID) = ALL (SELECT 1, 1 FROM DUAL)", "ALL"},
      {"SELECT STDDEV(ID) OVER (ORDER BY ID) FROM T", "STDDEV"},
      {"SELECT ID FROM T ORDER BY ROWNUM", "ROWNUM"},
      {"UPDATE T SET ID = 1 WHERE ROWNUM = 1", "ROWNUM"},
      {"CREATE GLOBAL TEMPORARY TABLE X (A NUMBER)", "temporary"},
      {"CREATE TABLE X AS SELECT * FROM T", "AS SELECT"},
      {"CREATE INDEX IX ON T (UPPER(NAME))", "function-based"},
      {"SELECT ROWID FROM T", "ROWID"},
      {"SELECT USER FROM DUAL", "USER"},
      {"SELECT PKG.F(1) FROM DUAL", "package function"},
      {"ROLLBACK TO SAVEPOINT A", "SAVEPOINT"},
  };
  for (const Case& c : cases) {
    std::string message = Error(c.sql);
    EXPECT_NE(message.find(c.named), std::string::npos) << c.sql << " -> " << message;
  }
  // Nothing of a refused statement ran.
  EXPECT_EQ(Column("SELECT COUNT(*) FROM T WHERE ID = 1"), "1");
}

INSTANTIATE_TEST_SUITE_P(Engines, ConformanceTest, testing::kBothEngines, testing::EngineName);

}  // namespace
}  // namespace korvalis::db
