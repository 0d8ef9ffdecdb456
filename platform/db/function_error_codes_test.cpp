// The result codes of failures raised inside the SQL functions travel with the failure to the
// provider's DbError; none is read back from the text of a message.
#include <gtest/gtest.h>

#include <string>

#include "platform/db/oracle_test_fixture.h"

namespace korvalis::db {
namespace {

class FunctionErrorCodesTest : public testing::OracleFixture {
 protected:
  void SetUp() override {
    Open(
        "CREATE TABLE T_CODE (N NUMBER(3), D DATE, S VARCHAR2(10));\n"
        "INSERT INTO T_CODE VALUES (1, TO_DATE('2026-01-01', 'YYYY-MM-DD'), 'x');\n"
        "INSERT INTO T_CODE VALUES (2, NULL, 'y');\n");
  }
};

TEST_F(FunctionErrorCodesTest, EachFunctionFailureCarriesItsCode) {
  struct Case {
    const char* sql;
    const char* ora;
    int32_t code;
  };
  const Case cases[] = {
      {"SELECT TO_NUMBER(S) FROM T_CODE", "ORA-01722", kConversionFailed},
      {"SELECT TO_DATE('2026-13-01', 'YYYY-MM-DD') FROM DUAL", "ORA-01843", kConversionFailed},
      {"SELECT TO_DATE('x', 'YYYY') FROM DUAL", "ORA-01858", kConversionFailed},
      {"SELECT TO_DATE('2026-01-01 10', 'YYYY-MM-DD') FROM DUAL", "ORA-01830", kConversionFailed},
      {"INSERT INTO T_CODE (D) VALUES ('not a date')", "ORA-01861", kConversionFailed},
      {"INSERT INTO T_CODE (D) VALUES (5)", "ORA-00932", kConversionFailed},
      {"INSERT INTO T_CODE (N) VALUES (1000)", "ORA-01438", kDataOverflow},
      {"SELECT N / 0 FROM T_CODE", "ORA-01476", kProviderFailed},
      {"SELECT (SELECT N FROM T_CODE) FROM DUAL", "ORA-01427", kProviderFailed},
      {"SELECT TO_CHAR(D, 'YYYY-DL') FROM T_CODE", "ORA-01821", kErrorsInCommand},
      {"SELECT TO_CHAR(D, 'SSTH') FROM T_CODE", "ORA-01877", kProviderFailed},
      {"SELECT NTILE(0) OVER (ORDER BY N) FROM T_CODE", "ORA-01428", kProviderFailed},
  };
  for (const Case& c : cases) {
    auto [code, message] = Failure(c.sql);
    EXPECT_EQ(message.rfind(c.ora, 0), 0u) << c.sql << ": " << message;
    EXPECT_EQ(code, c.code) << c.sql << ": " << message;
  }
}

TEST_F(FunctionErrorCodesTest, ACodeBelongsToItsOwnFailureOnly) {
  EXPECT_EQ(Failure("SELECT TO_NUMBER(S) FROM T_CODE").first, kConversionFailed);
  // The next failure is the engine's own, whatever its text says.
  auto [code, message] = Failure("SELECT NOPE FROM T_CODE");
  EXPECT_NE(code, kConversionFailed) << message;
  // Text that looks like a function's message but is a value changes nothing.
  EXPECT_EQ(Rows("SELECT 'ORA-01722: invalid number' FROM DUAL"), "ORA-01722: invalid number");
  EXPECT_EQ(Failure("SELECT N / 0 FROM T_CODE").first, kProviderFailed);
}

}  // namespace
}  // namespace korvalis::db
