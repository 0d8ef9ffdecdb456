// Statements whose answers the two engines once gave apart, with the answer Oracle gives, on
// both engines: sums of texts, text functions of numbers, aggregates of NULL, dates compared
// with numbers, texts of a query compared with dates and numbers, DUAL's column, quoted
// literals, paths of a hierarchy, a star inserted into a table's columns, messages quoting a
// long value, texts read as numbers past a NUMBER's digits and range, and dates and numbers
// computed past their range.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/db/oracle_test_fixture.h"

namespace korvalis::db {
namespace {

class EngineAgreementTest : public testing::OracleFixture,
                            public ::testing::WithParamInterface<Engine> {
 protected:
  void SetUp() override {
    Open(R"(
CREATE TABLE PATIENT (ID VARCHAR2(10), BIRTHDAY DATE, SCORE VARCHAR2(30), NO NUMBER);
INSERT INTO PATIENT VALUES ('P0001', '1958-03-12', '9007199254740993', 1);
INSERT INTO PATIENT VALUES ('P0002', NULL, '0.1', 2);
INSERT INTO PATIENT VALUES ('P0003', '1960-01-01', NULL, 3);
CREATE TABLE TREE (ID NUMBER, PARENT_ID NUMBER, NAME VARCHAR2(10));
INSERT INTO TREE VALUES (1, NULL, 'r');
INSERT INTO TREE VALUES (2, 1, 'a');
INSERT INTO TREE VALUES (3, 2, NULL);
CREATE TABLE CODES (C VARCHAR2(5));
INSERT INTO CODES VALUES ('01');
INSERT INTO CODES VALUES (' 3');
)",
         GetParam());
  }
};

TEST_P(EngineAgreementTest, SumsOfTextsAreExact) {
  Check({
      {"SELECT SUM('9007199254740993') FROM DUAL", "9007199254740993"},
      {"SELECT AVG('9007199254740993') FROM DUAL", "9007199254740993"},
      {"SELECT SUM(SCORE), SUM(SCORE + 0) FROM PATIENT", "9007199254740993.1|9007199254740993.1"},
      {"SELECT SUM(SCORE) OVER (ORDER BY NO) FROM PATIENT ORDER BY NO",
       "9007199254740993,9007199254740993.1,9007199254740993.1"},
      {"SELECT SUM(SCORE) * 10 FROM PATIENT", "90071992547409931"},
      {"SELECT SUM(ID) FROM PATIENT", "ORA-01722"},
      // Distinct texts are told apart as numbers.
      {"SELECT SUM(DISTINCT C), AVG(DISTINCT C), COUNT(DISTINCT C) FROM (SELECT '1' C FROM DUAL "
       "UNION ALL SELECT '1.0' FROM DUAL UNION ALL SELECT '9007199254740993' FROM DUAL "
       "UNION ALL SELECT ' 9007199254740993.0' FROM DUAL)",
       "9007199254740994|4503599627370497|4"},
  });
}

TEST_P(EngineAgreementTest, TextFunctionsReadNumberArgumentsAsText) {
  Check({
      {"SELECT LPAD(12, 6, 0), RPAD(5, 3, 0), LPAD('x', '3', 0.5) FROM DUAL", "000012|500|.5x"},
      {"SELECT REPLACE(12345, 3, 0), INSTR(12345, 4), TRANSLATE(123, 1, 9) FROM DUAL",
       "12045|4|923"},
      {"SELECT LTRIM(1001, 1), RTRIM(1001, 1), LPAD(ID, NO + 5, NO) FROM PATIENT WHERE NO = 1",
       "001|100|1P0001"},
  });
}

TEST_P(EngineAgreementTest, AggregatesOfNullAreNull) {
  Check({
      {"SELECT SUM(NULL), AVG(NULL), COUNT(NULL) FROM DUAL", "<null>|<null>|0"},
      {"SELECT SUM(CASE WHEN NO > 5 THEN NULL END), AVG(CASE WHEN NO > 5 THEN NULL END) "
       "FROM PATIENT",
       "<null>|<null>"},
      {"SELECT SUM(NULL) OVER (ORDER BY NO) FROM PATIENT ORDER BY NO", "<null>,<null>,<null>"},
  });
}

TEST_P(EngineAgreementTest, DatesAreNotComparedWithNumbers) {
  Check({
      {"SELECT ID FROM PATIENT WHERE (BIRTHDAY, ID) = ((19580312, 'P0001'))", "ORA-00932"},
      {"SELECT ID FROM PATIENT WHERE (BIRTHDAY, ID) IN ((19580312, 'P0001'), (1, 'P0002'))",
       "ORA-00932"},
      {"SELECT ID FROM PATIENT WHERE (NO, ID) IN ((SYSDATE, 'P0001'))", "ORA-00932"},
      {"SELECT DECODE(BIRTHDAY, 19580312, 'y', 'n') FROM PATIENT", "ORA-00932"},
      {"SELECT DECODE(NO, 1, 'y', SYSDATE, 'n') FROM PATIENT", "ORA-00932"},
      {"SELECT NVL(BIRTHDAY, 0) FROM PATIENT", "ORA-00932"},
      {"SELECT NVL2(NO, SYSDATE, 1) FROM PATIENT", "ORA-00932"},
      {"SELECT GREATEST(BIRTHDAY, 1) FROM PATIENT", "ORA-00932"},
      {"SELECT LEAST(NO, BIRTHDAY) FROM PATIENT", "ORA-00932"},
      {"SELECT LAG(BIRTHDAY, 1, 0) OVER (ORDER BY NO) FROM PATIENT", "ORA-00932"},
      // What Oracle converts still answers.
      {"SELECT ID FROM PATIENT WHERE (BIRTHDAY, ID) = (('1958-03-12', 'P0001'))", "P0001"},
      {"SELECT GREATEST(BIRTHDAY, '1959-01-01') FROM PATIENT WHERE NO = 1",
       "1959-01-01 00:00:00"},
  });
}

TEST_P(EngineAgreementTest, TextsOfAQueryAreConvertedToTheValueComparedWithThem) {
  Check({
      {"SELECT ID FROM PATIENT WHERE BIRTHDAY IN (SELECT '1958-03-12 00:00:00' FROM DUAL)",
       "P0001"},
      {"SELECT ID FROM PATIENT WHERE BIRTHDAY NOT IN (SELECT '1958-03-12' FROM DUAL)", "P0003"},
      {"SELECT ID FROM PATIENT WHERE NO IN (SELECT C FROM CODES) ORDER BY NO", "P0001,P0003"},
      {"SELECT ID FROM PATIENT WHERE NO NOT IN (SELECT C FROM CODES)", "P0002"},
      {"SELECT ID FROM PATIENT WHERE NO IN (SELECT * FROM CODES) AND NO IN "
       "(SELECT C FROM (SELECT C FROM CODES ORDER BY C) WHERE ROWNUM = 1)",
       "P0003"},
      {"SELECT ID FROM PATIENT WHERE NO IN (SELECT '01' FROM DUAL UNION ALL SELECT ' 3' FROM DUAL)"
       " ORDER BY NO",
       "P0001,P0003"},
      {"SELECT ID FROM PATIENT P WHERE NO IN (SELECT C FROM CODES WHERE C <> P.ID) ORDER BY NO",
       "P0001,P0003"},
      {"SELECT ID FROM PATIENT WHERE (NO, ID) IN (SELECT C, 'P0001' FROM CODES)", "P0001"},
      {"SELECT C FROM CODES WHERE C IN (SELECT NO FROM PATIENT) ORDER BY C", " 3,01"},
      {"SELECT ID FROM PATIENT WHERE NO IN (SELECT ID FROM PATIENT)", "ORA-01722"},
      {"SELECT ID FROM PATIENT WHERE BIRTHDAY IN (SELECT 'x' FROM DUAL)", "ORA-018"},
  });
}

TEST_P(EngineAgreementTest, APathOfComputedNumbersWritesEveryDigit) {
  Check({
      {"SELECT SYS_CONNECT_BY_PATH(1 / 3, '/') FROM DUAL WHERE LEVEL = 2 CONNECT BY LEVEL <= 2",
       "/.3333333333333333333333333333333333333333/.3333333333333333333333333333333333333333"},
      {"SELECT SYS_CONNECT_BY_PATH(NO / 3, '/') FROM PATIENT WHERE NO = 1 "
       "START WITH NO = 1 CONNECT BY PRIOR NO = NO - 9",
       "/.3333333333333333333333333333333333333333"},
  });
}

TEST_P(EngineAgreementTest, TextFunctionsReadEveryDigitOfAComputedNumberAndPadToOneBound) {
  Check({
      {"SELECT LPAD(1 / 3, 42, 0), LENGTH(NO / 3), SUBSTR(NO / 3, 30) FROM PATIENT WHERE NO = 1",
       "0.3333333333333333333333333333333333333333|41|333333333333"},
      {"SELECT LENGTH(LPAD(12, 40000, 0)), LENGTH(RPAD('a', 3000000000, 'b')), "
       "LPAD('a', -3000000000) FROM DUAL",
       "32767|32767|<null>"},
  });
}

TEST_P(EngineAgreementTest, DateFunctionsReadTextsOfAQueryAsDates) {
  Check({
      {"SELECT ADD_MONTHS(S, 1), LAST_DAY(S), NEXT_DAY(S, 'MONDAY'), "
       "ROUND(MONTHS_BETWEEN(S, BIRTHDAY), 6) FROM PATIENT, (SELECT '1958-04-30' S FROM DUAL) "
       "WHERE NO = 1",
       "1958-05-31 00:00:00|1958-04-30 00:00:00|1958-05-05 00:00:00|1.580645"},
      {"SELECT ADD_MONTHS(ID, 1) FROM PATIENT WHERE NO = 1", "ORA-01861"},
      {"SELECT ADD_MONTHS(NO, 1) FROM PATIENT WHERE NO = 1",
       "ORA-00932: inconsistent datatypes: expected DATE got NUMBER"},
      {"SELECT ID - BIRTHDAY FROM PATIENT WHERE NO = 1",
       "ORA-00932: inconsistent datatypes: expected DATE got NUMBER"},
      {"SELECT ADD_MONTHS(X, 1), X - SYSDATE FROM (SELECT NULL X FROM DUAL)", "<null>|<null>"},
  });
}

TEST_P(EngineAgreementTest, AStarInsertedIsConvertedForItsColumns) {
  RunScript(*c_,
            "CREATE TABLE COPY (NO NUMBER, D DATE, S VARCHAR2(30));\n"
            "INSERT INTO COPY SELECT * FROM (SELECT '7' A, '1958-03-12' B, NULL C FROM DUAL);\n"
            "INSERT INTO COPY SELECT * FROM (SELECT 8, NULL, NULL FROM DUAL);\n");
  Check({
      {"SELECT NO + 1, D FROM COPY WHERE D = TO_DATE('1958-03-12', 'YYYY-MM-DD')",
       "8|1958-03-12 00:00:00"},
      {"SELECT COUNT(*) FROM COPY WHERE D IS NULL AND NO = 8", "1"},
      {"INSERT INTO COPY SELECT * FROM PATIENT", "ORA-00913"},
      {"INSERT INTO COPY SELECT * FROM CODES", "ORA-00947"},
  });
}

TEST_P(EngineAgreementTest, AColumnOfNullsMeetsNumbersAndDates) {
  Check({
      {"SELECT COUNT(*) FROM PATIENT WHERE NO IN (SELECT NULL FROM DUAL) OR (NO, ID) IN "
       "(SELECT NULL, 'P0001' FROM DUAL) OR NO = ANY (SELECT MAX(NULL) FROM DUAL)",
       "0"},
      {"SELECT COUNT(*) FROM PATIENT WHERE BIRTHDAY IN (SELECT NULL FROM DUAL) OR NO = "
       "(SELECT CASE WHEN 1 = 0 THEN NULL END FROM DUAL)",
       "0"},
      {"SELECT X + 1, NVL((SELECT NULL FROM DUAL), 3) FROM (SELECT NULL X FROM DUAL)",
       "<null>|3"},
      // It is text, as Oracle types it.
      {"SELECT 5 FROM DUAL UNION ALL SELECT X FROM (SELECT NULL X FROM DUAL)", "ORA-01790"},
      {"SELECT COALESCE(X, 0) FROM (SELECT NULL X FROM DUAL)", "ORA-00932"},
  });
}

TEST_P(EngineAgreementTest, DualHasItsColumn) {
  Check({
      {"SELECT DUMMY FROM DUAL", "X"},
      {"SELECT D.DUMMY, COUNT(*) FROM DUAL D GROUP BY D.DUMMY", "X|1"},
      {"SELECT LOWER(DUAL.DUMMY) FROM DUAL WHERE DUMMY = 'X' ORDER BY DUMMY", "x"},
  });
}

TEST_P(EngineAgreementTest, QuotedLiteralsKeepTheirText) {
  Check({
      {"SELECT q'[it's]', Q'{a}b}', q'(x)', q'<'y'>', q'!a'b!', q'#[#' FROM DUAL",
       "it's|a}b|x|'y'|a'b|["},
      {"SELECT ID FROM PATIENT WHERE ID = q'[P0001]'", "P0001"},
      {"SELECT nq'[z]' FROM DUAL", "z"},
      {"SELECT q'[never closed FROM DUAL", "ORA-01756"},
      {"SELECT q' x ' FROM DUAL", "ORA-00911"},
  });
}

TEST_P(EngineAgreementTest, PathsOfAHierarchyTakeAnyExpression) {
  Check({
      {"SELECT SYS_CONNECT_BY_PATH(LEVEL, '/') FROM TREE START WITH PARENT_ID IS NULL "
       "CONNECT BY PRIOR ID = PARENT_ID ORDER BY ID",
       "/1,/1/2,/1/2/3"},
      {"SELECT SYS_CONNECT_BY_PATH(ID * 10, '-'), SYS_CONNECT_BY_PATH(NVL(NAME, '?'), '/') "
       "FROM TREE START WITH ID = 1 CONNECT BY PRIOR ID = PARENT_ID ORDER BY ID",
       "-10|/r,-10-20|/r/a,-10-20-30|/r/a/?"},
      {"SELECT SYS_CONNECT_BY_PATH(LEVEL, ',') FROM DUAL CONNECT BY LEVEL <= 3", ",1,,1,2,,1,2,3"},
  });
}

// A query grouped by CONNECT_BY_ROOT or SYS_CONNECT_BY_PATH selects the value it groups by.
TEST_P(EngineAgreementTest, AHierarchyGroupsByItsOperators) {
  const std::string tree =
      " FROM TREE START WITH PARENT_ID IS NULL CONNECT BY PRIOR ID = PARENT_ID ";
  Check({
      {("SELECT CONNECT_BY_ROOT NAME, COUNT(*)" + tree + "GROUP BY CONNECT_BY_ROOT NAME").c_str(),
       "r|3"},
      {("SELECT SYS_CONNECT_BY_PATH(ID, '/'), COUNT(*)" + tree +
        "GROUP BY SYS_CONNECT_BY_PATH(ID, '/') ORDER BY 1").c_str(),
       "/1|1,/1/2|1,/1/2/3|1"},
      {("SELECT CONNECT_BY_ROOT T.ID || 'x', MAX(LEVEL) FROM TREE T START WITH PARENT_ID IS NULL "
        "CONNECT BY PRIOR ID = PARENT_ID GROUP BY CONNECT_BY_ROOT ID || 'x' "
        "HAVING CONNECT_BY_ROOT ID || 'x' <> 'y'"),
       "1x|3"},
      {("SELECT CONNECT_BY_ROOT ID, COUNT(*)" + tree + "GROUP BY CONNECT_BY_ROOT NAME").c_str(),
       "ORA-00979"},
  });
}

// Number models with no digit before the point, or none after it, and FM dropping every
// decimal of a value that rounds to zero.
TEST_P(EngineAgreementTest, NumberModelsAroundThePoint) {
  Check({
      {"SELECT TO_CHAR(0.75, 'FM.99'), TO_CHAR(0.75, '.99'), TO_CHAR(-0.75, 'D99'), "
       "TO_CHAR(0.005, 'FM.00'), TO_CHAR(0, '.99'), TO_CHAR(0, 'FM.99') FROM DUAL",
       ".75| .75|-.75|.01| .00|."},
      {"SELECT TO_CHAR(1.5, '.99'), TO_CHAR(0.995, 'FM.9'), TO_CHAR(1, '9.'), "
       "TO_CHAR(1.5, 'FM0.'), TO_CHAR(0, '9.') FROM DUAL",
       "####|###| 1.|2.| 0."},
      {"SELECT TO_CHAR(0, 'FM9.99'), TO_CHAR(-0.004, 'FM9,999.99'), TO_CHAR(0.5, 'FM9.99'), "
       "TO_CHAR(0, 'FM9.90'), TO_CHAR(0, 'FMS9.99') FROM DUAL",
       "0.|0.|.5|.00|+0."},
      {"SELECT TO_CHAR(-0.75, 'S.99'), TO_CHAR(0.75, '.99MI'), TO_CHAR(-0.75, 'FM.99PR'), "
       "TO_CHAR(12, '99.S') FROM DUAL",
       "-.75|.75 |<.75>|12.+"},
  });
}

// A value quoted in a conversion's message is shortened to its start when it is long; the
// whole value is never written into the message and the event log.
TEST_P(EngineAgreementTest, ConversionMessagesShortenALongValue) {
  const std::string long_value(100000, '7');
  for (const std::string& sql :
       {"SELECT TO_NUMBER('x" + long_value + "') FROM DUAL",
        "SELECT NO FROM PATIENT WHERE NO = 'x" + long_value + "'",
        "SELECT TO_NUMBER(ID || '" + long_value + "') FROM PATIENT",
        "SELECT TO_DATE('" + long_value + "', 'YYYY-MM-DD') FROM DUAL",
        "SELECT ID FROM PATIENT WHERE BIRTHDAY = '" + long_value + "'",
        "SELECT CAST(ID || '" + long_value + "' AS NUMBER) FROM PATIENT",
        "SELECT TO_NUMBER(ID || '" + long_value + "', '999') FROM PATIENT",
        "SELECT NO FROM PATIENT WHERE NO = ID || '" + long_value + "'",
        "SELECT TO_DATE(ID || '" + long_value + "') FROM PATIENT",
        "UPDATE PATIENT SET NO = ID || '" + long_value + "'"}) {
    const std::string message = Error(sql);
    EXPECT_EQ(message.rfind("ORA-01", 0), 0u) << message.substr(0, 200);
    EXPECT_LT(message.size(), 300u) << message.substr(0, 200);
    EXPECT_NE(message.find("777..."), std::string::npos) << message.substr(0, 200);
  }
  // A short value is quoted whole; a long one by its first 64 characters, whole characters.
  EXPECT_EQ(Error("SELECT TO_NUMBER('12x') FROM DUAL"), "ORA-01722: invalid number: '12x'");
  std::string characters;
  for (int i = 0; i < 64; ++i) characters += "丁";
  const std::string expected = "ORA-01722: invalid number: '" + characters + "...'";
  for (const std::string& value :
       {"'" + characters + "丁'", "SUBSTR(ID, 1, 0) || '" + characters + "丁'"}) {
    const std::string message = Error("SELECT TO_NUMBER(" + value + ") FROM PATIENT WHERE NO = 1");
    EXPECT_EQ(message.substr(0, message.find(" [SQLSTATE")), expected);
  }
}

// A text read as a number is held as a NUMBER holds it: 40 significant digits, below 1E126 in
// magnitude.
TEST_P(EngineAgreementTest, ATextReadAsANumberIsANumbersValue) {
  const std::string nines(125, '9');
  const std::string differences =
      "SELECT TO_NUMBER('" + nines + "') - 1E125, TO_NUMBER('-" + nines + "') + 1E125 FROM DUAL";
  const std::string equal =
      "SELECT CASE WHEN TO_NUMBER('" + nines + "') = 1E125 THEN 'held' END FROM DUAL";
  const std::string tenth = "1" + std::string(125, '0');
  Check({
      {differences.c_str(), "0|0"},
      {equal.c_str(), "held"},
      {"SELECT TO_NUMBER('0.' || RPAD('9', 60, '9')), TO_NUMBER('1e125') FROM DUAL",
       ("1|" + tenth).c_str()},
      {"SELECT TO_NUMBER('1e200') FROM DUAL", "ORA-01426"},
      {"SELECT TO_NUMBER('-1e126') FROM DUAL", "ORA-01426"},
      {"SELECT TO_NUMBER(RPAD('9', 126, '9')) FROM DUAL", "ORA-01426"},
      {"SELECT TO_NUMBER(SCORE || 'e200') FROM PATIENT WHERE NO = 2", "ORA-01426"},
  });
}

// A date is of the years -4712 to 9999: whatever takes a date past them fails with ORA-01841,
// however far past.
TEST_P(EngineAgreementTest, DatesStayWithinTheirYears) {
  const std::string last = "TO_DATE('9999-12-31 23:59:59', 'YYYY-MM-DD HH24:MI:SS')";
  std::vector<std::string> past = {"SYSDATE + 9e125",
                                   "SYSDATE - 1e19",
                                   "SYSDATE - -1e19",
                                   "1e125 + SYSDATE",
                                   "SYSDATE + 3000000",
                                   "SYSDATE - 3000000",
                                   last + " + 1 / 86400",
                                   "ADD_MONTHS(" + last + ", 1)",
                                   "ADD_MONTHS(SYSDATE, 100000)",
                                   "ADD_MONTHS(SYSDATE, 1e20)",
                                   "ADD_MONTHS(SYSDATE, -1e20)",
                                   "NEXT_DAY(" + last + ", 'MONDAY')"};
  for (const char* unit : {"DD", "YYYY", "MM", "CC", "Q", "HH", "MI", "DAY"}) {
    past.push_back("ROUND(" + last + ", '" + unit + "')");
  }
  for (const std::string& date : past) {
    const std::string sql = "SELECT " + date + " FROM DUAL";
    EXPECT_EQ(Error(sql).rfind("ORA-01841", 0), 0u) << sql << " -> " << Error(sql);
  }
  const std::string within = "SELECT " + last + " + 0, " + last + " - 1, ADD_MONTHS(" + last +
                             ", -1), LAST_DAY(" + last + "), TRUNC(" + last + ", 'YYYY') FROM DUAL";
  Check({
      {within.c_str(),
       "9999-12-31 23:59:59|9999-12-30 23:59:59|9999-11-30 23:59:59|9999-12-31 23:59:59|"
       "9999-01-01 00:00:00"},
  });
}

// A NUMBER is below 1E126 in magnitude: a literal, a result, a conversion or a value stored
// beyond fails with ORA-01426.
TEST_P(EngineAgreementTest, NumbersStayBelowTheirRange) {
  RunScript(*c_, "CREATE TABLE AMOUNT (N NUMBER);\nINSERT INTO AMOUNT VALUES (9.9e125);\n");
  const std::string twice = "(SELECT N FROM AMOUNT UNION ALL SELECT N FROM AMOUNT)";
  const std::string past[] = {"SELECT 1e126 + 0 FROM DUAL",
                              "SELECT 5e125 + 5e125 FROM DUAL",
                              "SELECT 1e126 * 1 FROM DUAL",
                              "SELECT 1e200, 1 FROM DUAL",
                              "SELECT -1E126 FROM DUAL",
                              "SELECT 1" + std::string(126, '0') + " FROM DUAL",
                              "SELECT SYSDATE + 1e300 FROM DUAL",
                              "SELECT N * 10 FROM AMOUNT",
                              "SELECT N + 1e124 FROM AMOUNT",
                              "SELECT -N - N FROM AMOUNT",
                              "SELECT N / 0.1 FROM AMOUNT",
                              "SELECT SUM(N) FROM " + twice,
                              "SELECT SUM(N) OVER () FROM " + twice,
                              "SELECT '1e126' + 0 FROM DUAL",
                              "SELECT CAST('1e126' AS NUMBER) FROM DUAL",
                              "SELECT TO_NUMBER('1e126') FROM DUAL",
                              "INSERT INTO AMOUNT VALUES (1e126)",
                              "INSERT INTO AMOUNT VALUES ('1e126')",
                              "INSERT INTO AMOUNT SELECT N * 2 FROM AMOUNT",
                              "UPDATE AMOUNT SET N = N * 2"};
  for (const std::string& sql : past) {
    EXPECT_EQ(Error(sql).rfind("ORA-01426", 0), 0u) << sql << " -> " << Error(sql);
  }
  const std::string largest = "99" + std::string(124, '0');
  Check({
      {"SELECT N, N + 0, 9.9e125, -9.9e125 + 0, 5e125 + 4.9e125 FROM AMOUNT",
       (largest + "|" + largest + "|" + largest + "|-" + largest + "|" + largest).c_str()},
      {"SELECT COUNT(*), SUM(N) FROM AMOUNT WHERE N = 9.9e125", ("1|" + largest).c_str()},
  });
}

INSTANTIATE_TEST_SUITE_P(Engines, EngineAgreementTest, testing::kBothEngines,
                         testing::EngineName);

}  // namespace
}  // namespace korvalis::db
