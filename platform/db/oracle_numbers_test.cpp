// Numbers as Oracle computes them and turns them into text, on both engines: each case is a
// statement and the row Oracle answers.
#include <gtest/gtest.h>

#include "platform/db/db_test_util.h"
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
  std::unique_ptr<Connection> c_;
};

// A number converted to text without a format model is written as TO_CHAR writes it: no zero
// before the point, no trailing zeros; in a result it stays a plain decimal.
TEST_P(OracleNumbersTest, NumbersTurnedIntoTextHaveNoZeroBeforeThePoint) {
  Expect({
      {"SELECT 0.5 || '', -0.5 || '', 'x' || 1.50, CONCAT(-0.25, 'y') FROM DUAL",
       {".5", "-.5", "x1.5", "-.25y"}},
      {"SELECT TO_CHAR(0.5), TO_CHAR(-0.5), TO_CHAR(100), TO_CHAR(1e20), TO_CHAR(-12.50) FROM DUAL",
       {".5", "-.5", "100", "100000000000000000000", "-12.5"}},
      {"SELECT TO_CHAR(ID), ID || '' FROM N WHERE ID > 1000", {"12345678901234567", "12345678901234567"}},
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
  for (const char* model : {"99.9.9", "9D9D9", "9.9,9", "99X"}) {
    SCOPED_TRACE(model);
    try {
      testing::Query(*c_, std::string("SELECT TO_CHAR(1, '") + model + "') FROM DUAL");
      ADD_FAILURE() << "accepted";
    } catch (const DbError& e) {
      EXPECT_NE(std::string(e.what()).find("ORA-01481"), std::string::npos) << e.what();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, OracleNumbersTest, testing::kBothEngines, testing::EngineName);

}  // namespace
}  // namespace korvalis::db
