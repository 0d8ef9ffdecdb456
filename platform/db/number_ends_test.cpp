// NUMBERs at the ends of their range on both engines, with the answers Oracle gives: values just
// below 1E126 in magnitude are held, computed with and read back as themselves; a result that
// rounds to 1E126 fails with ORA-01426; a value below 1E-130 in magnitude is 0. And a literal
// that is no number fails only where it is evaluated: in an arm of CASE that no row reaches it
// is never read.
#include <gtest/gtest.h>

#include <string>

#include "platform/db/oracle_test_fixture.h"

namespace korvalis::db {
namespace {

class NumberEndsTest : public testing::OracleFixture, public ::testing::WithParamInterface<Engine> {
 protected:
  void SetUp() override {
    Open("CREATE TABLE NEAR (NO NUMBER, N NUMBER);\n"
         "INSERT INTO NEAR VALUES (1, -9.999999999999999E125);\n"
         "INSERT INTO NEAR VALUES (2, 9.99999999999999999999999999999999999999E125);\n",
         GetParam());
  }
};

// 9999999999999999 and then 110 zeros.
const std::string kSixteenNines = std::string(16, '9') + std::string(110, '0');
// 39 nines and then 87 zeros.
const std::string kThirtyNineNines = std::string(39, '9') + std::string(87, '0');

TEST_P(NumberEndsTest, ValuesJustBelowTheEndAreHeld) {
  const std::string negative = "-" + kSixteenNines;
  const std::string sixteen = "TO_NUMBER('9.999999999999999E125')";
  const std::string thirty_nine = "TO_NUMBER('9.99999999999999999999999999999999999999E125')";
  Check({
      {"SELECT FLOOR(-9.999999999999999E125), CEIL(-9.999999999999999E125) FROM DUAL",
       (negative + "|" + negative).c_str()},
      {"SELECT ABS(-9.999999999999999E125), -9.999999999999999E125 FROM DUAL",
       (kSixteenNines + "|" + negative).c_str()},
      {"SELECT 9.99999999999999999999999999999999999999E125 FROM DUAL", kThirtyNineNines.c_str()},
      {("SELECT " + sixteen + ", -" + sixteen + " FROM DUAL").c_str(),
       (kSixteenNines + "|" + negative).c_str()},
      {("SELECT CASE WHEN " + thirty_nine + " > 9.99E125 THEN 'held' END FROM DUAL").c_str(),
       "held"},
      // What is stored reads back, and sums, as itself.
      {"SELECT N FROM NEAR WHERE NO = 1", negative.c_str()},
      {"SELECT FLOOR(N), ABS(N), CEIL(N), N + 0 FROM NEAR WHERE NO = 1",
       (negative + "|" + kSixteenNines + "|" + negative + "|" + negative).c_str()},
      {"SELECT SUM(N), AVG(N) FROM NEAR WHERE NO = 1", (negative + "|" + negative).c_str()},
      {"SELECT LENGTH(N), CASE WHEN N > 9.99E125 THEN 'held' END FROM NEAR WHERE NO = 2",
       "126|held"},
      {"SELECT TO_NUMBER('1e126') FROM DUAL", "ORA-01426"},
  });
}

TEST_P(NumberEndsTest, RoundingToTheEndFails) {
  Check({
      {"SELECT ROUND(9.4E125, -126) FROM DUAL", "ORA-01426"},
      {"SELECT ROUND(9.99999E125, -125) FROM DUAL", "ORA-01426"},
      {"SELECT ROUND(-9.5E125, -125) FROM DUAL", "ORA-01426"},
      {"SELECT ROUND(N, -125) FROM NEAR WHERE NO = 1", "ORA-01426"},
      {"SELECT ROUND(9.4E125, -125), ROUND(4.9E125, -126), TRUNC(-9.9E125, -125) FROM DUAL",
       ("9" + std::string(125, '0') + "|0|-9" + std::string(125, '0')).c_str()},
  });
}

TEST_P(NumberEndsTest, ValuesBelowTheLeastNumberAreZero) {
  const std::string least = "0." + std::string(129, '0') + "1";
  Check({
      {"SELECT 1E-130 / 10, 1E-130 * 1E-130, TO_NUMBER('1E-131') FROM DUAL", "0|0|0"},
      {"SELECT -1E-130 / 3, 1.5E-130 - 1E-130, 1E-131, 1E-130 + 9E-131 FROM DUAL",
       ("0|0|0|" + least).c_str()},
      {"SELECT POWER(10, -131), EXP(-300) FROM DUAL", "0|0"},
      {"SELECT 1E-130, 1E-129 / 10, TO_NUMBER('1E-130') FROM DUAL",
       (least + "|" + least + "|" + least).c_str()},
      {"SELECT COUNT(*) FROM DUAL WHERE 1E-130 / 10 = 0", "1"},
  });
}

TEST_P(NumberEndsTest, ALiteralInAnArmNotTakenIsNotRead) {
  Check({
      {"SELECT CASE WHEN 1 = 0 THEN TO_NUMBER('abc') ELSE 0 END FROM DUAL", "0"},
      {"SELECT CASE WHEN NO = 1 THEN 5 ELSE TO_NUMBER('abc') + 1 END FROM NEAR WHERE NO = 1",
       "5"},
      {"SELECT CASE NO WHEN 1 THEN 1 WHEN 'x' + 0 THEN 2 END FROM NEAR WHERE NO = 1", "1"},
      {"SELECT CASE WHEN NO = 1 THEN 1 ELSE CAST('abc' AS NUMBER) END FROM NEAR WHERE NO = 1",
       "1"},
      {"SELECT CASE WHEN NO = 1 THEN 1 WHEN N < 'abc' THEN 2 END FROM NEAR WHERE NO = 1", "1"},
      {"SELECT CASE WHEN NO = 1 THEN 5 ELSE TO_NUMBER('abc') END FROM NEAR WHERE NO = 1", "5"},
      // Taken, it fails as it fails elsewhere.
      {"SELECT CASE WHEN NO = 1 THEN TO_NUMBER('abc') END FROM NEAR WHERE NO = 1", "ORA-01722"},
      {"SELECT CASE WHEN TO_NUMBER('abc') = 1 THEN 1 END FROM DUAL", "ORA-01722"},
  });
}

INSTANTIATE_TEST_SUITE_P(Engines, NumberEndsTest, testing::kBothEngines, testing::EngineName);

}  // namespace
}  // namespace korvalis::db
