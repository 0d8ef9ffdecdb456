#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/db/ora_number.h"
#include "platform/db/oracle_functions.h"
#include "platform/db/sql_error.h"

namespace korvalis::db {
namespace {

TEST(OraNumberTest, RendersPlainDecimals) {
  EXPECT_EQ(FormatNumber(3), "3");
  EXPECT_EQ(FormatNumber(2.5), "2.5");
  EXPECT_EQ(FormatNumber(-0.5), "-0.5");
  EXPECT_EQ(FormatNumber(0.25), "0.25");
  EXPECT_EQ(FormatNumber(2.0), "2");
  EXPECT_EQ(FormatNumber(-0.0), "0");
  EXPECT_EQ(FormatNumber(0.1 + 0.2), "0.3");
  EXPECT_EQ(FormatNumber(1e-7), "0.0000001");
  EXPECT_EQ(FormatNumber(1.5e-10), "0.00000000015");
  EXPECT_EQ(FormatNumber(1e20), "100000000000000000000");
  EXPECT_EQ(FormatNumber(123456789.123), "123456789.123");
  EXPECT_EQ(FormatNumber(-1234.5678), "-1234.5678");
  EXPECT_EQ(FormatNumber(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(FormatNumber(9007199254740993.0), "9007199254740992");
  // Near 1E126 a double is written below it, as the shortest decimal that reads back as it.
  EXPECT_EQ(FormatNumber(-9.999999999999999e125), "-9999999999999999" + std::string(110, '0'));
  EXPECT_EQ(FormatNumber(9.999999999999998e125), "9999999999999998" + std::string(110, '0'));
  EXPECT_EQ(FormatNumber(9.99999999999994e125), "999999999999994" + std::string(111, '0'));
}

TEST(OraNumberTest, ReadsNumericTextStrictly) {
  EXPECT_EQ(ParseNumber(" 12.5 "), 12.5);
  EXPECT_EQ(ParseNumber("-.5"), -0.5);
  EXPECT_EQ(ParseNumber("+3"), 3);
  EXPECT_EQ(ParseNumber("1e3"), 1000);
  EXPECT_EQ(ParseNumber("5."), 5);
  for (const char* bad : {"", " ", "1x", "1 2", "--1", ".", "e5", "1e", "0x10", "1,000", "NaN", "inf"}) {
    EXPECT_FALSE(ParseNumber(bad).has_value()) << bad;
  }
}

// Below 1E126 once rounded to 40 significant digits; an exponent of any length is read.
TEST(OraNumberTest, TellsTheValuesWithinANumbersRange) {
  const std::string nines(39, '9');
  const std::string held[] = {
      "9.9e125",        "0.00099e128",          "99" + std::string(124, '0') + ".5",
      "1e-99999999999", "9." + nines + "4e125", std::string(129, '0'),
      "0e999"};
  for (const std::string& value : held) EXPECT_TRUE(WithinNumberRange(value)) << value;
  const std::string past[] = {"1e126",
                              "1E+126",
                              "10e125",
                              "0.01e128",
                              "1" + std::string(126, '0'),
                              "1e99999999999",
                              "9." + nines + "5e125",
                              "." + nines + "99e126"};
  for (const std::string& value : past) EXPECT_FALSE(WithinNumberRange(value)) << value;
  const std::string zeros(130, '0');
  for (const std::string& value :
       std::vector<std::string>{"1e-131", "-9.9e-131", "0." + zeros + "5", "1e-99999999999"}) {
    EXPECT_TRUE(BelowLeastNumber(value)) << value;
  }
  for (const std::string& value :
       std::vector<std::string>{"1e-130", "0", "0e-999", "0." + zeros.substr(1) + "1",
                                "9." + nines + "5e-131", "." + zeros + "5e1"}) {
    EXPECT_FALSE(BelowLeastNumber(value)) << value;
  }
}

TEST(OraNumberTest, RoundsHalfAwayFromZeroLikeDecimals) {
  EXPECT_EQ(RoundHalfAway(2.675, 2), 2.68);
  EXPECT_EQ(RoundHalfAway(1.005, 2), 1.01);
  EXPECT_EQ(RoundHalfAway(-2.5, 0), -3);
  EXPECT_EQ(RoundHalfAway(2.5, 0), 3);
  EXPECT_EQ(RoundHalfAway(1250, -2), 1300);
  EXPECT_EQ(RoundHalfAway(-0.004, 2), 0);
  EXPECT_FALSE(std::signbit(RoundHalfAway(-0.004, 2)));
  EXPECT_EQ(TruncateTo(15.79, 1), 15.7);
  EXPECT_EQ(TruncateTo(-15.79, 0), -15);
  EXPECT_EQ(TruncateTo(1299, -2), 1200);
  EXPECT_EQ(TruncateTo(0.29 * 100, 0), 29);  // 28.999999999999996 is 29 as a decimal
  EXPECT_FALSE(std::signbit(TruncateTo(-0.5, 0)));
}

// Whole numbers are cut as the number's 15 significant digits are, near a whole number or not.
TEST(OraNumberTest, TruncatesToWholeNumbersAsFifteenDigitDecimals) {
  std::mt19937_64 random(56);
  const auto as_decimal = [](double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", value);
    const double whole = std::trunc(std::strtod(text, nullptr));
    return whole == 0 ? 0.0 : whole;
  };
  for (int i = 0; i < 20000; ++i) {
    const double whole = static_cast<double>(static_cast<int64_t>(random() % 200000000) - 100000000);
    const double step = std::ldexp(1.0, -static_cast<int>(random() % 52));
    for (double value : {whole + step, whole - step, whole + 1 - step, whole + 0.5, whole}) {
      ASSERT_EQ(TruncateTo(value, 0), as_decimal(value)) << value;
    }
  }
}

TEST(NumberFormatModelTest, OracleMasks) {
  struct Case {
    double value;
    const char* mask;
    const char* expected;
  } cases[] = {
      {12.345, "FM999990.99", "12.35"}, {0.5, "FM990.99", "0.5"},   {12, "FM999990.99", "12."},
      {0, "FM990.99", "0."},            {0.004, "FM990.99", "0."},  {99.999, "FM990.99", "100."},
      {-3.456, "FM990.99", "-3.46"},    {1234567, "fm999999", "#######"},
      {1.5, "990.99", "   1.50"},       {-1.5, "990.99", "  -1.50"}, {0.5, "999.99", "    .50"},
      {1234.5, "9,999.00", " 1,234.50"}, {12, "FM9,999", "12"},     {7, "000", " 007"},
      {12.5, "FM00.000", "12.500"},     {1e10, "FM9999990.9", "##########"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatNumberModel(c.value, c.mask), c.expected) << c.value << " " << c.mask;
  }
  EXPECT_THROW(FormatNumberModel(1, "99.9.9"), SqlError);
  EXPECT_THROW(FormatNumberModel(1, "9$9$"), SqlError);
}

}  // namespace
}  // namespace korvalis::db
