// The Oracle built-ins as SQL sees them: NULL in, NULL out; edge values; arity errors.
#include <gtest/gtest.h>

#include "platform/db/connection_pool.h"
#include "platform/db/testing/db_test_util.h"

namespace korvalis::db {
namespace {

using testing::Scalar;

class OracleFunctionsTest : public ::testing::Test {
 protected:
  void SetUp() override { c_ = OpenConnection("Provider=SQLite;Data Source=:memory:"); }
  std::string Value(const std::string& expression) {
    return Scalar(*c_, "SELECT " + expression + " FROM DUAL");
  }
  std::string Error(const std::string& expression) {
    try {
      Value(expression);
    } catch (const DbError& e) {
      return e.what();
    }
    return "no error";
  }
  std::unique_ptr<Connection> c_;
};

TEST_F(OracleFunctionsTest, NullInNullOut) {
  const char* expressions[] = {
      "SUBSTR(NULL, 1)", "SUBSTR('abc', NULL)", "INSTR(NULL, 'a')", "INSTR('abc', NULL)",
      "LENGTH(NULL)", "TRIM(NULL)", "LTRIM(NULL)", "RTRIM('a', NULL)", "LPAD(NULL, 3)",
      "RPAD('a', NULL)", "UPPER(NULL)", "LOWER(NULL)", "REPLACE(NULL, 'a')", "TRANSLATE('a', NULL, 'b')",
      "TO_CHAR(NULL)", "TO_CHAR(NULL, 'YYYY')", "TO_DATE(NULL, 'YYYY')", "TO_NUMBER(NULL)",
      "SIGN(NULL)", "ABS(NULL)", "ROUND(NULL)", "ROUND(1.5, NULL)", "TRUNC(NULL)", "FLOOR(NULL)",
      "CEIL(NULL)", "MOD(NULL, 2)", "MOD(2, NULL)", "ADD_MONTHS(NULL, 1)", "LAST_DAY(NULL)",
      "MONTHS_BETWEEN(SYSDATE, NULL)", "GREATEST(1, NULL, 3)", "LEAST(NULL, 'a')", "NVL(NULL, NULL)",
      "NVL2(1, NULL, 2)", "DECODE(1, 2, 3)", "CAST(NULL AS NUMBER(3))", "CAST('' AS DATE)",
      "1 + NULL", "SYSDATE + NULL", "NULL / 2", "2 / NULL", "-NULL", "CHR(NULL)", "INITCAP(NULL)",
      "TRUNC(SYSDATE, NULL)"};
  for (const char* e : expressions) EXPECT_EQ(Value(e), "<null>") << e;
}

TEST_F(OracleFunctionsTest, EdgeValues) {
  EXPECT_EQ(Value("SUBSTR('abc', -5)"), "<null>");
  EXPECT_EQ(Value("SUBSTR('abc', 2, 100)"), "bc");
  EXPECT_EQ(Value("SUBSTR('abc', 1.9, 1.9)"), "a");
  EXPECT_EQ(Value("SUBSTR(12345, 2, 3)"), "234");
  EXPECT_EQ(Value("INSTR('aaa', 'aa', 1, 2)"), "2");
  EXPECT_EQ(Value("INSTR('abc', 'c', 10)"), "0");
  EXPECT_NE(Error("INSTR('abc', 'c', 1, 0)").find("ORA-01428"), std::string::npos);
  EXPECT_EQ(Value("LPAD('中文', 3, '*')"), "*中文");
  EXPECT_EQ(Value("LPAD('abc', 0)"), "<null>");
  EXPECT_EQ(Value("RPAD('a', 5, 'xy')"), "axyxy");
  EXPECT_EQ(Value("LTRIM('  x  ')"), "x  ");
  EXPECT_EQ(Value("RTRIM('xyxzyyy', 'xy')"), "xyxz");
  EXPECT_NE(Error("TRIM(BOTH 'ab' FROM 'abc')").find("ORA-30001"), std::string::npos);
  EXPECT_EQ(Value("TRIM(TRAILING 'x' FROM 'axx')"), "a");
  EXPECT_EQ(Value("TRANSLATE('a-b-c', '-', ' ')"), "a b c");
  EXPECT_EQ(Value("TRANSLATE('2008年', '0123456789年', '0123456789')"), "2008");
  EXPECT_EQ(Value("REPLACE('a.b.c', '.', '')"), "abc");
  EXPECT_EQ(Value("LENGTH(12.50)"), "4");
  EXPECT_EQ(Value("CHR(65) || CHR(20013)"), "A中");
  EXPECT_EQ(Value("ROUND(-0.5)"), "-1");
  EXPECT_EQ(Value("ROUND(123.456, -1)"), "120");
  EXPECT_EQ(Value("TRUNC(-0.9)"), "0");
  EXPECT_EQ(Value("CEIL(-0.5)"), "0");
  EXPECT_EQ(Value("MOD(7.5, 2)"), "1.5");
  EXPECT_EQ(Value("POWER(2, 10)"), "1024");
  EXPECT_EQ(Value("SQRT(2.25)"), "1.5");
  EXPECT_EQ(Value("ABS('-3')"), "3");
  EXPECT_EQ(Value("GREATEST('10', '9')"), "9");  // text compares as text
  EXPECT_EQ(Value("GREATEST(10, '9')"), "10");   // the first argument decides
  EXPECT_EQ(Value("ROUND(TO_DATE('2008-05-17 12:00', 'YYYY-MM-DD HH24:MI'))"), "2008-05-18 00:00:00");
  EXPECT_EQ(Value("ROUND(TO_DATE('2008-05-16', 'YYYY-MM-DD'), 'MM')"), "2008-06-01 00:00:00");
  EXPECT_EQ(Value("TRUNC(TO_DATE('2008-05-17 23:59:59', 'YYYY-MM-DD HH24:MI:SS') + 1/86400)"), "2008-05-18 00:00:00");
  EXPECT_EQ(Value("TO_CHAR(7, 'FM00')"), "07");
  EXPECT_EQ(Value("CAST(2.345 AS NUMBER(4,2))"), "2.35");
  EXPECT_NE(Error("CAST(123.4 AS NUMBER(3,1))").find("ORA-01438"), std::string::npos);
  EXPECT_NE(Error("CAST('x' AS NUMBER)").find("ORA-01722"), std::string::npos);
  EXPECT_NE(Error("CAST('2008-02-30' AS DATE)").find("ORA-01861"), std::string::npos);
  EXPECT_NE(Error("ADD_MONTHS('bad', 1)").find("ORA-01861"), std::string::npos);
  // A text argument where a date stands is read in the default format, as Oracle reads it.
  EXPECT_EQ(Value("ADD_MONTHS('2008-1-31', 1)"), "2008-02-29 00:00:00");
  EXPECT_EQ(Value("LAST_DAY(' 2008-2-3 8:00')"), "2008-02-29 08:00:00");
  EXPECT_NE(Error("SQRT(-1)").find("ORA-01428"), std::string::npos);
  EXPECT_NE(Error("TO_DATE('2008', 'YYYY-Q')").find("ORA-01"), std::string::npos);
}

TEST_F(OracleFunctionsTest, ArityAndUnknownNames) {
  for (const char* e : {"NVL(1)", "SUBSTR('a')", "INSTR('a', 'b', 1, 1, 1)", "DECODE(1, 2)",
                        "TO_CHAR(1, 2, 3)", "ADD_MONTHS(SYSDATE)", "LPAD('a')"}) {
    EXPECT_NE(Error(e).find("ORA-00909"), std::string::npos) << e;
  }
  EXPECT_NE(Error("NO_SUCH_FUNCTION(1)").find("ORA-00904"), std::string::npos);
  EXPECT_NE(Error("MYPKG.DOIT(1)").find("package function"), std::string::npos);
  EXPECT_NE(Error("SUM(*)").find("ORA-00936"), std::string::npos);
}

TEST_F(OracleFunctionsTest, RandomValuesStayInRange) {
  for (int i = 0; i < 20; ++i) {
    double v = std::stod(Value("DBMS_RANDOM.VALUE"));
    EXPECT_GE(v, 0);
    EXPECT_LT(v, 1);
    double w = std::stod(Value("DBMS_RANDOM.VALUE(5, 10)"));
    EXPECT_GE(w, 5);
    EXPECT_LT(w, 10);
  }
  EXPECT_EQ(Value("LENGTH(SYS_GUID())"), "32");
}

}  // namespace
}  // namespace korvalis::db
