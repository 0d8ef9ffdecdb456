// Numbers as Oracle computes them and turns them into text, on both engines: each case is a
// statement and the row Oracle answers.
#include <gtest/gtest.h>

#include "platform/db/testing/db_test_util.h"
#include "platform/db/script_runner.h"
#include "platform/db/testing/engine_database.h"

namespace korvalis::db {
namespace {

struct Case {
  const char* sql;
  std::vector<std::string> row;
};

class OracleNumbersTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    c_ = testing::OpenEmptyDatabase(GetParam());
    RunScript(*c_, R"(
CREATE TABLE N (ID NUMBER, X NUMBER, S VARCHAR2(40));
INSERT INTO N VALUES (1, 0.5, '.5');
INSERT INTO N VALUES (2, -0.25, '-.25');
INSERT INTO N VALUES (3, 12, '12');
INSERT INTO N VALUES (12345678901234567, 1234567890.125, '1234567890.125');
)");
  }
  void Expect(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.sql);
      testing::Rows rows = testing::Query(*c_, c.sql);
      ASSERT_EQ(rows.size(), 1u);
      EXPECT_EQ(rows[0], c.row);
    }
  }
  // Each statement fails with the Oracle error `code`.
  void ExpectError(const std::vector<std::string>& statements, const char* code) {
    for (const std::string& sql : statements) {
      SCOPED_TRACE(sql);
      try {
        testing::Query(*c_, sql);
        ADD_FAILURE() << "answered";
      } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find(code), std::string::npos) << e.what();
      }
    }
  }
  void ExpectZeroDivisor(const std::vector<const char*>& statements) {
    ExpectError({statements.begin(), statements.end()}, "ORA-01476");
  }
  // TO_CHAR by each model fails as an invalid number format model.
  void ExpectInvalidModels(const std::vector<const char*>& models) {
    std::vector<std::string> statements;
    for (const char* model : models) {
      statements.push_back(std::string("SELECT TO_CHAR(1, '") + model + "') FROM DUAL");
    }
    ExpectError(statements, "ORA-01481");
  }
  // The first column of the rows, joined by commas.
  std::string Column(const char* sql) {
    std::string out;
    for (const auto& row : testing::Query(*c_, sql)) out += (out.empty() ? "" : ",") + row[0];
    return out;
  }
  std::unique_ptr<Connection> c_;
};

// Arithmetic gives the digits of Oracle's NUMBER: exact decimals, each result rounded to 20
// base-100 digits (40 significant digits, 39 when the leading base-100 digit is one digit).
TEST_P(OracleNumbersTest, ArithmeticKeepsTheDigitsOfANumber) {
  Expect({
      {"SELECT 1/3, 2/3, 10/3, 1/19 FROM DUAL",
       {"0.3333333333333333333333333333333333333333", "0.6666666666666666666666666666666666666667",
        "3.33333333333333333333333333333333333333", "0.0526315789473684210526315789473684210526"}},
      {"SELECT 1/3*3, 1/19*19, -7/3, 100/7 FROM DUAL",
       {"0.9999999999999999999999999999999999999999", "0.9999999999999999999999999999999999999994",
        "-2.33333333333333333333333333333333333333", "14.28571428571428571428571428571428571429"}},
      {"SELECT -1/3, 1E-10/3, 123456789012345/0.000001, 5/0.5, 0.000007/7, -2/-3 FROM DUAL",
       {"-0.3333333333333333333333333333333333333333",
        "0.00000000003333333333333333333333333333333333333333", "123456789012345000000", "10",
        "0.000001", "0.6666666666666666666666666666666666666667"}},
      {"SELECT 1E-30/3, 2/3E20, 1E30/7 FROM DUAL",
       {"0.0000000000000000000000000000003333333333333333333333333333333333333333",
        "0.000000000000000000006666666666666666666666666666666666666667",
        "142857142857142857142857142857.1428571429"}},
      {"SELECT 0.1 + 0.2, 123456789012.345 + 0.0001, 0.1 * 0.1, 1.10 * 3, 7/2 FROM DUAL",
       {"0.3", "123456789012.3451", "0.01", "3.3", "3.5"}},
      {"SELECT 99999999999999999 * 99999999999999999, 0.12345678901234567890 + 0, "
       "9223372036854775807 + 1 FROM DUAL",
       {"9999999999999999800000000000000001", "0.1234567890123456789", "9223372036854775808"}},
      {"SELECT ID * 1.5, ID + 0.5, X * 3, X / 1000, ID - 1 FROM N WHERE ID > 1000",
       {"18518518351851850.5", "12345678901234567.5", "3703703670.375", "1234567.890125",
        "12345678901234566"}},
      {"SELECT SUM(X) / COUNT(*), SUM(ID) * 2 FROM N WHERE ID < 10",
       {"4.08333333333333333333333333333333333333", "12"}},
      {"SELECT '2' * 3, NULL + 1, 1 - '0.5' FROM DUAL", {"6", "<null>", "0.5"}},
  });
  ExpectZeroDivisor({"SELECT 1/0 FROM DUAL", "SELECT X / (ID - 1) FROM N"});
}

// SUM and AVG add the exact decimals and round only their result to a NUMBER's digits, over
// a query's rows and over windows, whatever reads them.
TEST_P(OracleNumbersTest, SumAndAvgAreExact) {
  Expect({
      {"SELECT SUM(ID), AVG(ID), AVG(X), SUM(X * ID), AVG(X * ID) FROM N",
       {"12345678901234573", "3086419725308643.25", "308641975.59375",
        "15241578753257887638907986.875", "3810394688314471909726996.71875"}},
      {"SELECT AVG(X), TO_CHAR(AVG(X)), 'a' || AVG(X), AVG(DISTINCT ID) * 3, SUM(X) / 7 FROM N "
       "WHERE ID < 10",
       {"4.08333333333333333333333333333333333333", "4.08333333333333333333333333333333333333",
        "a4.08333333333333333333333333333333333333", "6", "1.75"}},
      {"SELECT SUM(X), AVG(X), COUNT(X) FROM N WHERE ID < 0", {"<null>", "<null>", "0"}},
      {"SELECT COUNT(*) FROM N A, N B HAVING SUM(0.1) = 1.6 AND AVG(0.1) * 3 = 0.3", {"16"}},
  });
  const testing::Rows windows = testing::Query(
      *c_, "SELECT AVG(X) OVER (ORDER BY ID), SUM(X) OVER (ORDER BY ID) FROM N ORDER BY ID");
  ASSERT_EQ(windows.size(), 4u);
  EXPECT_EQ(windows[2], (std::vector<std::string>{"4.08333333333333333333333333333333333333",
                                                  "12.25"}));
  EXPECT_EQ(windows[3], (std::vector<std::string>{"308641975.59375", "1234567902.375"}));
}

// Computed numbers inside a query (a condition, a sort key, an inline view) compare and sort
// as numbers, whatever their digits.
TEST_P(OracleNumbersTest, ComputedNumbersSortAndCompareAsNumbers) {
  const char* kByQuotient = "2,12345678901234567,1,3";
  EXPECT_EQ(Column("SELECT ID, X / ID R FROM N ORDER BY R"), kByQuotient);
  EXPECT_EQ(Column("SELECT ID, X / ID FROM N ORDER BY 2"), kByQuotient);
  EXPECT_EQ(Column("SELECT ID FROM N ORDER BY X / ID"), kByQuotient);
  EXPECT_EQ(Column("SELECT ID FROM (SELECT ID, X / ID R FROM N) ORDER BY R"), kByQuotient);
  EXPECT_EQ(Column("SELECT ID FROM N WHERE X / ID > 1 / 3 ORDER BY ID"), "1,3");
  EXPECT_EQ(Column("SELECT MAX(X / ID) FROM N"), "4");
}

// A condition or a sort key over computed numbers compares the exact values, however many
// digits tell them apart; a column beside a computed value compares exactly too.
TEST_P(OracleNumbersTest, ComputedNumbersCompareAndSortExactly) {
  RunScript(*c_, R"(
CREATE TABLE T (ID NUMBER, A NUMBER, B NUMBER, C NUMBER);
CREATE INDEX T_A ON T (A);
INSERT INTO T VALUES (1, 1, 3, 0);
INSERT INTO T VALUES (2, 1, 3, 1E-30);
INSERT INTO T VALUES (3, 1, 3, -1E-30);
)");
  EXPECT_EQ(Column("SELECT ID FROM T ORDER BY A / B + C"), "3,1,2");
  EXPECT_EQ(Column("SELECT ID FROM T ORDER BY A / B + C DESC, ID"), "2,1,3");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE A / B + C > 1 / 3"), "2");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE A / B + C = 1 / 3"), "1");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE 1 / 3 * 3 < 1 AND 1 / 3 <> 0.333333333333333 ORDER BY ID"),
            "1,2,3");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE A = 3 * (1 / 3) OR A < C + 1 ORDER BY ID"), "2");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE A = 0.5 + 0.5 AND C * 1E30 >= -1 ORDER BY ID"), "1,2,3");
  EXPECT_EQ(Column("SELECT ID FROM N WHERE ID > 123456789012345669 / 10"), "12345678901234567");
  EXPECT_EQ(Column("SELECT ID FROM N WHERE ID = 123456789012345670 / 10"), "12345678901234567");
  EXPECT_EQ(Column("SELECT COUNT(*) FROM N WHERE ID < 123456789012345671 / 10"), "4");
  EXPECT_EQ(Column("SELECT COUNT(*) FROM N WHERE ID * 1.5 = 18518518351851850.5"), "1");
  EXPECT_EQ(Column("SELECT COUNT(*) FROM T HAVING SUM(A / B) < 1"), "3");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE A / B + C BETWEEN 1 / 3 AND 0.34 ORDER BY ID"), "1,2");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE A / B + C NOT BETWEEN 0.3 AND 1 / 3 ORDER BY ID"), "2");
  EXPECT_EQ(Column("SELECT ID FROM T WHERE A BETWEEN 3 * (1 / 3) AND C + 1 ORDER BY ID"), "1,2");
  EXPECT_EQ(Column("SELECT SUM(A / B) FROM T"), "0.9999999999999999999999999999999999999999");
}

// The functions of numbers compute on the exact value of their argument, computed or held,
// and give a NUMBER's digits: ROUND half away from zero, TRUNC towards zero, MOD with the sign
// of the dividend (the dividend itself for a zero divisor), REMAINDER by the nearest quotient,
// the even one of two as near.
TEST_P(OracleNumbersTest, FunctionsOfNumbersKeepTheDigitsOfANumber) {
  Expect({
      {"SELECT ROUND(1/3, 20), TRUNC(2/3, 25), ROUND(ID, -1), TRUNC(ID, -2), TRUNC(-7/3), "
       "ROUND(-2.5), ROUND(ID * 1.5) FROM N WHERE ID > 1000",
       {"0.33333333333333333333", "0.6666666666666666666666666", "12345678901234570",
        "12345678901234500", "-2", "-3", "18518518351851851"}},
      {"SELECT CEIL(1/3), FLOOR(-1/3), CEIL(ID + 0.1), FLOOR(ID * 1.5), ABS(-1/3), SIGN(-1/3), "
       "SIGN(1E-30 * 1E-5) FROM N WHERE ID > 1000",
       {"1", "-1", "12345678901234568", "18518518351851850",
        "0.3333333333333333333333333333333333333333", "-1", "1"}},
      {"SELECT MOD(ID, 10), MOD(-7, 3), MOD(7, -3), MOD(11, 0), MOD(1/3, 0.1), MOD(34.5, 3) "
       "FROM N WHERE ID > 1000",
       {"7", "-1", "1", "11", "0.0333333333333333333333333333333333333333", "1.5"}},
      {"SELECT REMAINDER(18, 7), REMAINDER(11, 4), REMAINDER(-11, 4), REMAINDER(3.5, 2), "
       "REMAINDER(5, 2), REMAINDER(7, 2), REMAINDER(34.5, 3), REMAINDER(ID, 10) FROM N "
       "WHERE ID > 1000",
       {"-3", "-1", "1", "-0.5", "1", "-1", "-1.5", "-3"}},
      {"SELECT POWER(2, 100), POWER(1.5, 3), POWER(3, -1), POWER(10, -3), POWER(-2, 3), "
       "POWER(ID, 2) FROM N WHERE ID > 1000",
       {"1267650600228229401496703205376", "3.375", "0.3333333333333333333333333333333333333333",
        "0.001", "-8", "152415787532388345526596755677489"}},
      {"SELECT POWER(1.1, 50), POWER(1/3, 2) FROM DUAL",
       {"117.390852879695316506666495990358319939", "0.1111111111111111111111111111111111111111"}},
      {"SELECT GREATEST(1/3, 0.3333333333333333), LEAST(2/3, 1/3 + 1/3), NVL(NULL + 1, 2/3), "
       "COALESCE(NULL, NULL, 1/3), NULLIF(1/3, 2/6), NULLIF(1/3, 0.3333333333333333) FROM DUAL",
       {"0.3333333333333333333333333333333333333333", "0.6666666666666666666666666666666666666666",
        "0.6666666666666666666666666666666666666667", "0.3333333333333333333333333333333333333333",
        "<null>", "0.3333333333333333333333333333333333333333"}},
      {"SELECT CASE WHEN ID > 5 THEN ID / 3 ELSE 1/3 END, DECODE(ID, 1, 2/3, 2, 0), "
       "CASE ID WHEN 1 THEN X / 7 END * 7 FROM N WHERE ID = 1",
       {"0.3333333333333333333333333333333333333333", "0.6666666666666666666666666666666666666667",
        "0.4999999999999999999999999999999999999998"}},
      {"SELECT COUNT(*) FROM N WHERE DECODE(ID, 1, 1/3, 0) = 1/3 OR "
       "CASE WHEN ID = 3 THEN ID / 7 END > 0.4285714285714285714285714285714285714",
       {"2"}},
      {"SELECT -(1/3), -ABS(-2/3), +(1/3) * 3 FROM DUAL",
       {"-0.3333333333333333333333333333333333333333", "-0.6666666666666666666666666666666666666667",
        "0.9999999999999999999999999999999999999999"}},
      {"SELECT TO_CHAR(ROUND(2/3, 30)), ROUND(1/3, 30) * 3, MOD(ROUND(ID / 3), 10) FROM N "
       "WHERE ID > 1000",
       {".666666666666666666666666666667", "0.999999999999999999999999999999", "2"}},
      {"SELECT COUNT(*) FROM N WHERE ROUND(X / 3, 20) = 0.16666666666666666667 OR "
       "ABS(X / 3) > GREATEST(ID / 3, 1E10)",
       {"1"}},
      // A product is rounded to a NUMBER's digits before a function reads it: 2/3 * 3 is 2.
      {"SELECT CEIL(2/3 * 3), FLOOR(ID / 3 * 3), CEIL(X * (2/3) * 3), FLOOR(1 + 2/3 * 3 - 1) "
       "FROM N WHERE ID = 1",
       {"2", "0", "1", "2"}},
  });
  ExpectZeroDivisor({"SELECT REMAINDER(1, 0) FROM DUAL", "SELECT REMAINDER(1/3, ID - ID) FROM N"});
  EXPECT_EQ(Column("SELECT ID FROM N ORDER BY MOD(ID / 3, 1), ID"), "3,12345678901234567,1,2");
}

// SQRT, EXP, LN, LOG and POWER to a fraction are correctly rounded to a NUMBER's digits.
TEST_P(OracleNumbersTest, TranscendentalFunctionsKeepTheDigitsOfANumber) {
  Expect({
      {"SELECT SQRT(2), SQRT(.25), SQRT(1E-10), SQRT(X / 2), SQRT(S) FROM N WHERE ID = 1",
       {"1.41421356237309504880168872420969807857", "0.5", "0.00001", "0.5", "0.7071067811865475244008443621048490392848"}},
      {"SELECT EXP(1), EXP(0), LN(10), LN(2), LN(1.0000000001) FROM DUAL",
       {"2.71828182845904523536028747135266249776", "1", "2.3025850929940456840179914546843642076",
        "0.6931471805599453094172321214581765680755",
        "0.00000000009999999999500000000033333333330833333334"}},
      {"SELECT LOG(10, 100), LOG(2, 8), POWER(2, .5), POWER(8, 1/3), POWER(10, 1.5) FROM DUAL",
       {"2", "3", "1.41421356237309504880168872420969807857", "2",
        "31.6227766016837933199889354443271853372"}},
      {"SELECT POWER(-1.0001, 9999), POWER(1.5, 200), POWER(.99, 5000), POWER(2, .1), "
       "POWER(0, .5), POWER(.1, 200) FROM DUAL",
       {"-2.71787413941128373566409826508663787233", "165291991078820803015600259355571011.1875",
        "0.000000000000000000000149959156099802130212035032205742415495",
        "1.07177346253629316421300632502334202291", "0", "0"}},
      // Near the ends of a NUMBER's range.
      {"SELECT SQRT(1E-130), SQRT(9.99E125), EXP(290), EXP(-290), LN(1E-130), EXP(-400) FROM DUAL",
       {"0.00000000000000000000000000000000000000000000000000000000000000001",
        "999499874937460910135726061115789668650000000000000000000000000",
        "8818602191274965898609482242773346935903" + std::string(86, '0'),
        "0.0000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
        "000000000000000000000000000000000000000011339665610377455187729027711035648394",
        "-299.336062089225938922338889108967346988", "0"}},
      {"SELECT COUNT(*) FROM N WHERE SQRT(ID) BETWEEN 1.41421356237309504880168872420969807856 "
       "AND 1.41421356237309504880168872420969807858",
       {"1"}},
  });
  ExpectError({"SELECT SQRT(-1) FROM DUAL", "SELECT LN(0) FROM DUAL", "SELECT LOG(1, 8) FROM DUAL",
               "SELECT LOG(0, 8) FROM DUAL", "SELECT LOG(10, -1) FROM DUAL",
               "SELECT POWER(-8, 1/3) FROM DUAL"},
              "ORA-01428");
  ExpectError({"SELECT EXP(300) FROM DUAL", "SELECT POWER(10, 126.5) FROM DUAL",
               "SELECT POWER(10, 200) FROM DUAL", "SELECT POWER(-2, 5001) FROM DUAL"},
              "ORA-01426");
}

// MONTHS_BETWEEN is a whole number for the same day or two last days of months, else its
// fraction counts 31-day months, the time of day included.
TEST_P(OracleNumbersTest, MonthsBetweenKeepsTheDigitsOfANumber) {
  RunScript(*c_, R"(
CREATE TABLE D (A DATE, B DATE);
INSERT INTO D VALUES (TO_DATE('1995-02-02', 'YYYY-MM-DD'), TO_DATE('1995-01-01', 'YYYY-MM-DD'));
INSERT INTO D VALUES (TO_DATE('2026-12-07 09:30:00', 'YYYY-MM-DD HH24:MI:SS'),
                      TO_DATE('2026-10-01 04:30:00', 'YYYY-MM-DD HH24:MI:SS'));
INSERT INTO D VALUES (TO_DATE('2026-04-30 10:00:00', 'YYYY-MM-DD HH24:MI:SS'),
                      TO_DATE('2026-03-31', 'YYYY-MM-DD'));
)");
  EXPECT_EQ(Column("SELECT MONTHS_BETWEEN(A, B) FROM D ORDER BY A"),
            "1.03225806451612903225806451612903225806,1,2.20026881720430107526881720430107526882");
  EXPECT_EQ(Column("SELECT -MONTHS_BETWEEN(B, A) * 31 FROM D ORDER BY A"),
            "31.99999999999999999999999999999999999986,31,68.20833333333333333333333333333333333342");
  EXPECT_EQ(Column("SELECT COUNT(*) FROM D WHERE MONTHS_BETWEEN(A, B) > 1.0322580645161290322580645"),
            "2");
}

// MIN and MAX, GROUP BY, DISTINCT and IN lists over computed numbers tell apart values that
// differ in any digit.
TEST_P(OracleNumbersTest, AggregatesAndGroupsOfComputedNumbersAreExact) {
  RunScript(*c_, R"(
CREATE TABLE T (ID NUMBER, A NUMBER, B NUMBER, C NUMBER);
INSERT INTO T VALUES (1, 1, 3, 0);
INSERT INTO T VALUES (2, 1, 3, 1E-30);
INSERT INTO T VALUES (3, 1, 3, -1E-30);
INSERT INTO T VALUES (4, 2, 6, 0);
)");
  Expect({
      {"SELECT MIN(A / B + C), MAX(A / B + C), MAX(ROUND(A / B + C, 30)), MIN(ID) FROM T",
       {"0.3333333333333333333333333333323333333333", "0.3333333333333333333333333333343333333333",
        "0.333333333333333333333333333334", "1"}},
  });
  Expect({
      {"SELECT COUNT(*) FROM T WHERE A / B + C IN (1 / 3, 0.5)", {"2"}},
      {"SELECT COUNT(DISTINCT A / B + C), COUNT(DISTINCT ROUND(A / B + C, 29)) FROM T", {"3", "1"}},
      {"SELECT COUNT(*) FROM T WHERE ROUND(A / B, 20) IN (0.33333333333333333333, NULL)", {"4"}},
      {"SELECT COUNT(*) FROM T WHERE A / B NOT IN (0.5, NULL)", {"0"}},
  });
  EXPECT_EQ(Column("SELECT ID FROM T WHERE A / B + C NOT IN (1 / 3) ORDER BY ID"), "2,3");
  EXPECT_EQ(Column("SELECT COUNT(*) FROM T GROUP BY A / B + C ORDER BY 1"), "1,1,2");
  EXPECT_EQ(Column("SELECT MIN(ID) FROM T GROUP BY ROUND(A / B + C, 35) ORDER BY 1"), "1,2,3");
  EXPECT_EQ(Column("SELECT DISTINCT A / B + C FROM T ORDER BY 1"),
            "0.3333333333333333333333333333323333333333,0.3333333333333333333333333333333333333333,"
            "0.3333333333333333333333333333343333333333");
}

// A computed column of an inline view, a view, a scalar subquery or a set operation keeps its
// digits for the query around it: its arithmetic, comparisons, sums, groups, sorts and pages.
TEST_P(OracleNumbersTest, ComputedColumnsOfSubqueriesKeepTheirDigits) {
  RunScript(*c_, "CREATE VIEW THIRDS AS SELECT ID, ID / 3 X FROM N;");
  // X: 12345678901234567891.5, ...892.5, ...893.5 and 12358024580135802457.5, by ID.
  const std::string kLong = "(SELECT ID, ID + 12345678901234567890.5 X FROM N)";
  // 1/3 twice and 0.333333333333333, which a double of 15 digits would not tell apart.
  const std::string kThirds = "(SELECT 1/3 X FROM DUAL UNION ALL SELECT 3/9 FROM DUAL UNION ALL "
                              "SELECT 0.333333333333333 FROM DUAL)";
  const std::string sum = "SELECT SUM(X), MAX(X), COUNT(DISTINCT X) FROM (SELECT X FROM " + kLong +
                          " UNION ALL SELECT 12345678901234567891.5 FROM DUAL)";
  const std::string compare = "SELECT COUNT(*) FROM " + kLong +
                              " WHERE X > 12345678901234567892 AND X < 12345678901234567894 AND "
                              "X BETWEEN 12345678901234567892.5 AND 12345678901234567893.5";
  Expect({
      {"SELECT X * 3, X FROM (SELECT 1/3 AS X FROM DUAL)",
       {"0.9999999999999999999999999999999999999999", "0.3333333333333333333333333333333333333333"}},
      {"SELECT (SELECT 10/3 FROM DUAL) * 3, (SELECT 2/3 FROM DUAL) FROM DUAL",
       {"9.99999999999999999999999999999999999999", "0.6666666666666666666666666666666666666667"}},
      {sum.c_str(), {"61740740185074074026.5", "12358024580135802457.5", "4"}},
      {compare.c_str(), {"2"}},
      {"SELECT COUNT(*) FROM (SELECT 1/3 X FROM DUAL) WHERE X = "
       "0.3333333333333333333333333333333333333333 AND X <> 0.333333333333333 AND "
       "(SELECT 1/3 FROM DUAL) > 0.333333333333333",
       {"1"}},
      {"SELECT COUNT(*) FROM (SELECT 1/3 FROM DUAL UNION SELECT 0.3333333333333333333333333333333333333333 "
       "FROM DUAL UNION SELECT 0.333333333333333 FROM DUAL)",
       {"2"}},
      {"SELECT X * 3, X FROM THIRDS WHERE ID = 1",
       {"0.9999999999999999999999999999999999999999", "0.3333333333333333333333333333333333333333"}},
      {"SELECT COUNT(*) FROM THIRDS WHERE X > 0.333333333333333 AND "
       "X < 0.3333333333333333333333333333333333333334",
       {"1"}},
      {"SELECT TO_CHAR(X), ROUND(X, 30), NVL(X, 0) FROM (SELECT 1/3 X FROM DUAL)",
       {".3333333333333333333333333333333333333333", "0.333333333333333333333333333333",
        "0.3333333333333333333333333333333333333333"}},
  });
  EXPECT_EQ(Column(("SELECT COUNT(*) FROM " + kThirds + " GROUP BY X ORDER BY X").c_str()), "1,2");
  EXPECT_EQ(Column(("SELECT DISTINCT X FROM " + kThirds + " ORDER BY X DESC").c_str()),
            "0.3333333333333333333333333333333333333333,0.333333333333333");
  EXPECT_EQ(Column(("SELECT COUNT(*) OVER (PARTITION BY X) FROM " + kThirds + " ORDER BY 1").c_str()),
            "1,2,2");
  EXPECT_EQ(Column(("SELECT ID FROM (SELECT ID, X FROM " + kLong +
                    " ORDER BY X DESC) WHERE ROWNUM <= 2").c_str()),
            "12345678901234567,3");
  EXPECT_EQ(Column(("SELECT R FROM (SELECT ID, ROW_NUMBER() OVER (ORDER BY X DESC) R FROM " +
                    kLong + ") ORDER BY ID").c_str()),
            "4,3,2,1");
  EXPECT_EQ(Column("SELECT ID + 12345678901234567890.5 X FROM N WHERE ID < 3 UNION ALL "
                   "SELECT 12345678901234567890 FROM DUAL ORDER BY 1 DESC"),
            "12345678901234567892.5,12345678901234567891.5,12345678901234567890");
  EXPECT_EQ(Column("SELECT X FROM (SELECT 1/3 X FROM DUAL UNION ALL SELECT 2/3 FROM DUAL) "
                   "ORDER BY X DESC"),
            "0.6666666666666666666666666666666666666667,0.3333333333333333333333333333333333333333");
}

// A number converted to text without a format model is written as TO_CHAR writes it: no zero
// before the point, no trailing zeros; in a result it stays a plain decimal.
TEST_P(OracleNumbersTest, NumbersTurnedIntoTextHaveNoZeroBeforeThePoint) {
  Expect({
      {"SELECT 0.5 || '', -0.5 || '', 'x' || 1.50, CONCAT(-0.25, 'y') FROM DUAL",
       {".5", "-.5", "x1.5", "-.25y"}},
      {"SELECT TO_CHAR(0.5), TO_CHAR(-0.5), TO_CHAR(100), TO_CHAR(1e20), TO_CHAR(-12.50) FROM DUAL",
       {".5", "-.5", "100", "100000000000000000000", "-12.5"}},
      {"SELECT TO_CHAR(ID), ID || '' FROM N WHERE ID > 1000", {"12345678901234567", "12345678901234567"}},
      {"SELECT TO_CHAR(1/3), TO_CHAR(-2/3), TO_CHAR(ID * 1.5), TO_CHAR(X / 2) FROM N WHERE ID > 1000",
       {".3333333333333333333333333333333333333333", "-.6666666666666666666666666666666666666667",
        "18518518351851850.5", "617283945.0625"}},
      {"SELECT 'r' || 1/3 || '%', ID * 1.5 || '', 'x' || X / 2 FROM N WHERE ID > 1000",
       {"r.3333333333333333333333333333333333333333%", "18518518351851850.5", "x617283945.0625"}},
      {"SELECT COUNT(*) FROM N WHERE X LIKE '.%'", {"1"}},
      {"SELECT COUNT(*) FROM N WHERE X LIKE '-.%'", {"1"}},
      {"SELECT COUNT(*) FROM N WHERE X NOT LIKE '%.%'", {"1"}},
      {"SELECT COUNT(*) FROM N WHERE X LIKE '0%'", {"0"}},
      {"SELECT MAX(ID) FROM N WHERE ID LIKE '1234%'", {"12345678901234567"}},
      // Text compared with a number is read as a number.
      {"SELECT COUNT(*) FROM N WHERE S = X", {"4"}},
      {"SELECT COUNT(*) FROM N WHERE '0.50' = X", {"1"}},
      {"SELECT X FROM N WHERE ID = 1", {"0.5"}},
  });
}

// A computed number turned into text (TO_CHAR with or without a model, a concatenation) writes
// the digits of its exact value wherever it stands, as does a result column a sort reads.
TEST_P(OracleNumbersTest, ComputedNumbersWriteTheirExactDigits) {
  Expect({
      {"SELECT TO_CHAR(1/3, 'FM0.99999999999999999999'), TO_CHAR(2/3, '0.999999999999999999'), "
       "TO_CHAR(0.1 + 0, 'FM0.0000000000000000000000') FROM DUAL",
       {"0.33333333333333333333", " 0.666666666666666667", "0.1000000000000000000000"}},
      {"SELECT TO_CHAR(ID * 1.5, 'FM99999999999999999999.99'), TO_CHAR(ID * 10, '9999') FROM N "
       "WHERE ID > 1000",
       {"18518518351851850.5", "#####"}},
      {"SELECT T, C, L FROM (SELECT TO_CHAR(1/3, 'FM0.99999999999999999999') T, 'r' || 1/3 C, "
       "TO_CHAR(2/3) L FROM DUAL)",
       {"0.33333333333333333333", "r.3333333333333333333333333333333333333333",
        ".6666666666666666666666666666666666666667"}},
      {"SELECT COUNT(*) FROM N WHERE TO_CHAR(X / 3) = '.1666666666666666666666666666666666666667'",
       {"1"}},
      {"SELECT X / 3 R FROM N WHERE ID = 1 ORDER BY R", {"0.1666666666666666666666666666666666666667"}},
  });
  EXPECT_EQ(Column("SELECT X / ID R FROM N WHERE ID < 10 ORDER BY R DESC"),
            "4,0.5,-0.125");
  EXPECT_EQ(Column("SELECT ID, ID / 3 FROM N WHERE ID < 10 ORDER BY 2"), "1,2,3");
  EXPECT_EQ(Column("SELECT ID / 3 FROM N WHERE ID < 10 ORDER BY 1 DESC"),
            "1,0.6666666666666666666666666666666666666667,0.3333333333333333333333333333333333333333");
}

// A number literal of more digits than a double holds keeps every digit wherever it is read as
// text: TO_CHAR, functions of text, concatenations and a text column it is written into.
TEST_P(OracleNumbersTest, LongLiteralsReadAsTextKeepTheirDigits) {
  c_->Execute("CREATE TABLE W (T VARCHAR2(30))");
  c_->Execute("INSERT INTO W VALUES (12345678901234567890)");
  c_->Execute("INSERT INTO W (T) SELECT -0.12345678901234567891 FROM DUAL");
  c_->Execute("UPDATE W SET T = 1234567890123456789.5 WHERE T LIKE '-%'");
  Expect({
      {"SELECT 12345678901234567890, TO_CHAR(12345678901234567890), "
       "TO_CHAR(-12345678901234567890, 'FM99999999999999999999'), "
       "SUBSTR(12345678901234567890, 15), LENGTH(1234567890123456789012) FROM DUAL",
       {"12345678901234567890", "12345678901234567890", "-12345678901234567890", "567890", "22"}},
      {"SELECT 12345678901234567890 || '', 'x' || 0.12345678901234567891, "
       "CONCAT(12345678901234567890, 'y'), CONCAT('z', -12345678901234567890) FROM DUAL",
       {"12345678901234567890", "x.12345678901234567891", "12345678901234567890y",
        "z-12345678901234567890"}},
      {"SELECT MIN(T), MAX(T), COUNT(*) FROM W",
       {"1234567890123456789.5", "12345678901234567890", "2"}},
  });
}

// A format model too narrow for a value's digits gives a row of # as wide as the model and
// one more for the sign, whatever the sign; D and G are the point and the group separator.
TEST_P(OracleNumbersTest, FormatModelsTooNarrowGivePoundSigns) {
  Expect({
      {"SELECT TO_CHAR(12345, '999'), TO_CHAR(-12345, '999'), TO_CHAR(12345, 'FM999') FROM DUAL",
       {"####", "####", "####"}},
      {"SELECT TO_CHAR(12345678, '9,999'), TO_CHAR(999.96, '999.9'), TO_CHAR(-1000, '999') FROM DUAL",
       {"######", "######", "####"}},
      {"SELECT TO_CHAR(999, '999'), TO_CHAR(-999, '999'), TO_CHAR(999.94, '999.9') FROM DUAL",
       {" 999", "-999", " 999.9"}},
      {"SELECT TO_CHAR(12.5, '99D99'), TO_CHAR(1234, '9G999'), TO_CHAR(1234.5, 'FM9G999D00') FROM DUAL",
       {" 12.50", " 1,234", "1,234.50"}},
      {"SELECT TO_CHAR(123456, '9G999'), TO_CHAR(-5, '9'), TO_CHAR(-10, '9') FROM DUAL",
       {"######", "-5", "##"}},
  });
  ExpectInvalidModels({"99.9.9", "9D9D9", "9.9,9", "99X"});
}

// The sign elements of a number model: S first or last writes + or -, MI last a minus or a
// blank, PR angle brackets or blanks; each takes the place the sign would (PR two), FM drops the
// blanks, and a value too wide is a row of # as wide as the answer would be.
TEST_P(OracleNumbersTest, SignElementsPlaceTheSign) {
  Expect({
      {"SELECT TO_CHAR(-123, '999MI'), TO_CHAR(123, '999MI'), TO_CHAR(0, '999MI'), "
       "TO_CHAR(-1, 'FM999MI'), TO_CHAR(1, 'FM999MI') FROM DUAL",
       {"123-", "123 ", "  0 ", "1-", "1"}},
      {"SELECT TO_CHAR(123, 'S999'), TO_CHAR(-123, 'S999'), TO_CHAR(1, 'S999'), TO_CHAR(0, 'S999'), "
       "TO_CHAR(5, 'FMS999') FROM DUAL",
       {"+123", "-123", "  +1", "  +0", "+5"}},
      {"SELECT TO_CHAR(-1, '999S'), TO_CHAR(1, '999s'), TO_CHAR(-0.5, 'S0.9'), TO_CHAR(0.5, '9.9S') "
       "FROM DUAL",
       {"  1-", "  1+", "-0.5", " .5+"}},
      {"SELECT TO_CHAR(-123, '999PR'), TO_CHAR(123, '999PR'), TO_CHAR(-1, '999PR'), "
       "TO_CHAR(0, '999PR'), TO_CHAR(1, 'FM999PR'), TO_CHAR(-1, 'fm999pr') FROM DUAL",
       {"<123>", " 123 ", "  <1>", "   0 ", "1", "<1>"}},
      {"SELECT TO_CHAR(1234, 'S999'), TO_CHAR(-1234, '999MI'), TO_CHAR(1234, '999PR'), "
       "TO_CHAR(-1234, 'FMS999') FROM DUAL",
       {"####", "####", "#####", "####"}},
      {"SELECT TO_CHAR(-1234.5, '9G999D99MI'), TO_CHAR(1234.5, 'S9,999.00'), "
       "TO_CHAR(-1234.567, 'FM9G999D00PR'), TO_CHAR(-7, 'S009') FROM DUAL",
       {"1,234.50-", "+1,234.50", "<1,234.57>", "-007"}},
      {"SELECT TO_CHAR(X, 'S9999999999.999') FROM N WHERE ID = 2", {"          -.250"}},
  });
  // One sign element, first (S) or last; MI and PR only last.
  ExpectInvalidModels({"S999S", "9S99", "MI999", "S999MI", "999PRMI", "99MI9", "S999PR"});
}

// B, the currency elements ($ before the digits; L, C and U first or last in ten places with
// the AMERICAN_AMERICA symbols), V, EEEE, RN, TM and X, from a model written in the statement
// or computed when it runs.
TEST_P(OracleNumbersTest, CurrencyScaleAndNotationElements) {
  Expect({
      {"SELECT TO_CHAR(0, 'B9999'), TO_CHAR(1, 'B9999'), TO_CHAR(0, 'B90.99'), "
       "TO_CHAR(0.5, 'B90.99') FROM DUAL",
       {"     ", "    1", "      ", "   .50"}},
      {"SELECT TO_CHAR(123.456, '9.9EEEE'), TO_CHAR(1E+123, '9.9EEEE'), "
       "TO_CHAR(123.456, 'FM9.9EEEE'), TO_CHAR(-0.00012345, '99.99EEEE'), TO_CHAR(0, '9.9EEEE') "
       "FROM DUAL",
       {"  1.2E+02", " 1.0E+123", "1.2E+02", "  -1.23E-04", "  0.0E+00"}},
      {"SELECT TO_CHAR(123.45, 'L999.99'), TO_CHAR(123.45, 'FML999.99'), "
       "TO_CHAR(-10000, 'L99G999D99MI'), TO_CHAR(-1, '$9'), TO_CHAR(123, '$9999') FROM DUAL",
       {"          $123.45", "$123.45", "         $10,000.00-", "-$1", "  $123"}},
      {"SELECT TO_CHAR(1234, 'FMC9999'), TO_CHAR(1234, 'FM9999C'), TO_CHAR(1234, 'FMU9,999'), "
       "TO_CHAR(-5, 'FM$0999'), TO_CHAR(7, 'FM9,9$99.00') FROM DUAL",
       {"USD1234", "1234USD", "$1,234", "-$0005", "$7.00"}},
      {"SELECT TO_CHAR(123, '99999V99'), TO_CHAR(1.235, '9V99'), TO_CHAR(-12.5, 'FM99V9'), "
       "TO_CHAR(10, '9V9') FROM DUAL",
       {"   12300", " 124", "-125", "###"}},
      {"SELECT TO_CHAR(1999, 'RN'), TO_CHAR(2026, 'FMrn'), TO_CHAR(3888, 'FMRN'), TO_CHAR(0, 'RN'), "
       "TO_CHAR(4000, 'rn'), TO_CHAR(2.5, 'FMRN') FROM DUAL",
       {"        MCMXCIX", "mmxxvi", "MMMDCCCLXXXVIII", "###############", "###############", "III"}},
      {"SELECT TO_CHAR(0.5, 'TM'), TO_CHAR(-1234.5, 'TM9'), TO_CHAR(1234, 'TME'), "
       "TO_CHAR(-0.00012, 'tme'), TO_CHAR(1E+70, 'TM'), TO_CHAR(0, 'TME') FROM DUAL",
       {".5", "-1234.5", "1.234E+03", "-1.2E-04", "1E+70", "0E+00"}},
      {"SELECT TO_CHAR(255, 'XX'), TO_CHAR(255, 'xx'), TO_CHAR(10, '0XXX'), TO_CHAR(255, 'FMXXXX'), "
       "TO_CHAR(256, 'XX'), TO_CHAR(-1, 'XX'), TO_CHAR(10.5, 'XX') FROM DUAL",
       {" FF", " ff", "000A", "FF", "###", "###", "  B"}},
      {"SELECT TO_CHAR(X * 4, M), TO_CHAR(1/3, M) FROM N, (SELECT 'FMRN' M FROM DUAL) WHERE ID = 3",
       {"XLVIII", "###############"}},
  });
  ExpectInvalidModels({"TM9E", "FMTM", "X9", "9X", "XXS", "99V9.9", "9.9V9", "9V9EEEE", "9G9EEEE",
                       "9L9", "$9$9", "L9C", "BB9", "RN9", "EEEE"});
}

// TO_NUMBER reads a text written by a model: its sign and currency symbol where the model puts
// them, its digits within the model's places, V's decimals without a point, X's hexadecimal.
TEST_P(OracleNumbersTest, ToNumberReadsTextByTheModel) {
  Expect({
      {"SELECT TO_NUMBER('100.00', '9G999D99'), TO_NUMBER('$1,234.50', '$9,999.99'), "
       "TO_NUMBER(' -12 ', '999'), TO_NUMBER('1234', '9G999') FROM DUAL",
       {"100", "1234.5", "-12", "1234"}},
      {"SELECT TO_NUMBER('-$10,000.00', 'L99G999D99'), TO_NUMBER('10,000.00-', '99G999D99MI'), "
       "TO_NUMBER('<5>', '999PR'), TO_NUMBER('+7', 'S9'), TO_NUMBER('7-', '9S') FROM DUAL",
       {"-10000", "-10000", "-5", "7", "-7"}},
      {"SELECT TO_NUMBER('4687', 'XXXX'), TO_NUMBER('ff', 'xx'), TO_NUMBER('00FF', '0XXX'), "
       "TO_NUMBER('12345', '999V99'), TO_NUMBER('1.2E+02', '9.9EEEE'), TO_NUMBER('USD12', 'C99'), "
       "TO_NUMBER('-1.5', 'TM') FROM DUAL",
       {"18055", "255", "255", "123.45", "120", "12", "-1.5"}},
      {"SELECT TO_NUMBER(X, 'S9.99') FROM N WHERE ID = 2", {"-0.25"}},
  });
  ExpectError({"SELECT TO_NUMBER('1234', '999') FROM DUAL",
               "SELECT TO_NUMBER('1.234', '9.99') FROM DUAL",
               "SELECT TO_NUMBER('1,234', '9999') FROM DUAL",
               "SELECT TO_NUMBER('12', '$99') FROM DUAL",
               "SELECT TO_NUMBER('12', 'S99') FROM DUAL",
               "SELECT TO_NUMBER('FFF', 'XX') FROM DUAL",
               "SELECT TO_NUMBER('1G', 'XX') FROM DUAL",
               "SELECT TO_NUMBER('abc', '999') FROM DUAL"},
              "ORA-01722");
  ExpectError({"SELECT TO_NUMBER('XII', 'RN') FROM DUAL", "SELECT TO_NUMBER('12', '9X') FROM DUAL"},
              "ORA-01481");
}

INSTANTIATE_TEST_SUITE_P(Engines, OracleNumbersTest, testing::kBothEngines, testing::EngineName);

}  // namespace
}  // namespace korvalis::db
