// Long chains and deep nesting: what the front end accepts runs on the engine, and what is
// beyond its limits (or the engine's) is refused with a message of its own.
#include <gtest/gtest.h>

#include <string>

#include "platform/db/oracle_test_fixture.h"

namespace korvalis::db {
namespace {

std::string Joined(const std::string& term, const std::string& separator, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    if (i) out += separator;
    out += term;
  }
  return out;
}

class LongStatementsTest : public testing::OracleFixture {
 protected:
  void SetUp() override {
    Open(
        "CREATE TABLE T_VALUE (N NUMBER, S VARCHAR2(10), D DATE);\n"
        "INSERT INTO T_VALUE VALUES (2, 'x', TO_DATE('2026-01-01', 'YYYY-MM-DD'));");
  }
};

TEST_F(LongStatementsTest, ChainsOfOneOperatorRunUpToTheFrontEndsLimit) {
  for (int terms : {95, 500}) {
    const std::string n = std::to_string(terms);
    EXPECT_EQ(Rows("SELECT " + Joined("N", " + ", terms) + " FROM T_VALUE"),
              std::to_string(2 * terms));
    EXPECT_EQ(Rows("SELECT " + Joined("1", " - ", terms) + " FROM DUAL"),
              std::to_string(2 - terms));
    EXPECT_EQ(Rows("SELECT " + Joined("'1'", " + ", terms) + " FROM DUAL"), n);
    EXPECT_EQ(Rows("SELECT 1 FROM T_VALUE WHERE " + Joined("N = 2", " AND ", terms)), "1");
    EXPECT_EQ(Rows("SELECT 1 FROM T_VALUE WHERE " + Joined("N = 3", " OR ", terms) + " OR S = 'x'"),
              "1");
    EXPECT_EQ(Rows("SELECT " + Joined("1", " * ", terms) + " * N FROM T_VALUE"), "2");
    EXPECT_EQ(Rows("SELECT LENGTH(" + Joined("S", " || ", terms) + ") FROM T_VALUE"), n);
  }
  // The order of a chain is kept: 10 - 2 - 3 is 5, and a date chain adds day by day.
  EXPECT_EQ(Rows("SELECT 10 - 2 - 3, 10 - (2 - 3), 2 * 3 * 4 FROM DUAL"), "5|11|24");
  EXPECT_EQ(Rows("SELECT D + " + Joined("1", " + ", 20) + " - 1 FROM T_VALUE"),
            "2026-01-20 00:00:00");
  EXPECT_EQ(Rows("SELECT " + Joined("NULL", " || ", 200) + " || 'end' FROM DUAL"), "end");
}

TEST_F(LongStatementsTest, NestedNvlRunsInEitherForm) {
  for (int depth : {40, 120}) {
    std::string left = "NULL", right = "'last'";
    for (int i = 0; i < depth; ++i) {
      left = "NVL(" + left + ", NULL)";
      right = "NVL(NULL, " + right + ")";
    }
    EXPECT_EQ(Rows("SELECT NVL(" + left + ", 'last') FROM DUAL"), "last") << depth;
    EXPECT_EQ(Rows("SELECT " + right + " FROM DUAL"), "last") << depth;
  }
  // A text after a date is read as a date however the NVLs nest.
  EXPECT_EQ(Rows("SELECT NVL(NVL(NULL, D), '2000-01-01') + 1, NVL(NULL, NVL(NULL, '2000-01-01')) "
                 "FROM T_VALUE"),
            "2026-01-02 00:00:00|2000-01-01");
}

TEST_F(LongStatementsTest, BeyondTheLimitsTheStatementIsRefusedWithAMessageOfItsOwn) {
  for (const std::string& sql :
       {"SELECT " + Joined("1", " + ", 502) + " FROM DUAL",
        "SELECT 1 FROM DUAL WHERE " + Joined("1 = 1", " AND ", 502),
        "SELECT " + std::string(130, '(') + "1" + std::string(130, ')') + " FROM DUAL",
        // Nesting the front end takes but the engine's parser does not.
        "SELECT " + Joined("ABS(", "", 60) + "1" + std::string(60, ')') + " FROM DUAL",
        "SELECT " + Joined("(SELECT ", "", 30) + "1" + Joined(" FROM DUAL)", "", 30) +
            " FROM DUAL"}) {
    auto [code, message] = Failure(sql);
    EXPECT_EQ(code, kStatementTooComplex) << message;
    EXPECT_EQ(message.rfind(kTooComplexMessage, 0), 0u) << message;
  }
}

}  // namespace
}  // namespace korvalis::db
