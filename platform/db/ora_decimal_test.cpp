// The fast paths of exact NUMBER arithmetic agree with the decimal type they stand in for, and
// the digit form of a NUMBER compares and sorts as the numbers do.
#include "platform/db/ora_decimal.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <random>
#include <thread>
#include <vector>

#include "platform/db/decimal_functions.h"
#include "platform/sys/testing/sanitizer.h"

namespace korvalis::db {
namespace {

ShortDecimal RandomShort(std::mt19937_64& rng) {
  std::uniform_int_distribution<int> digits(1, 15), exponent(-20, 20), sign(0, 1);
  int64_t m = 0;
  for (int i = digits(rng); i > 0; --i) m = m * 10 + static_cast<int64_t>(rng() % 10);
  if (m == 0) m = 7;
  return ShortDecimal{sign(rng) ? -m : m, exponent(rng)};
}

std::string TextOf(const NumberValue& v) {
  return v.kind == NumberValue::Kind::kText ? v.text : std::to_string(v.integer);
}

TEST(OraDecimalTest, FastPathsAgreeWithTheDecimalType) {
  std::mt19937_64 rng(55);
  for (int i = 0; i < 20000; ++i) {
    const ShortDecimal a = RandomShort(rng), b = RandomShort(rng);
    SCOPED_TRACE(std::to_string(a.mantissa) + "e" + std::to_string(a.exponent) + " " +
                 std::to_string(b.mantissa) + "e" + std::to_string(b.exponent));
    const Decimal x = ToDecimal(a), y = ToDecimal(b);
    ASSERT_EQ(TextOf(ShortQuotient(a, b, ResultForm::kText)),
              TextOf(ToNumberValue(x / y, ResultForm::kText)));
    if (std::optional<NumberValue> sum = ShortResult(Operation::kAdd, a, b, ResultForm::kText)) {
      ASSERT_EQ(TextOf(*sum), TextOf(ToNumberValue(x + y, ResultForm::kText)));
    }
    DecimalSum running;
    running.Add(a);
    running.Add(b);
    running.Subtract(a);
    ASSERT_EQ(TextOf(running.Total(ResultForm::kText)),
              TextOf(ToNumberValue(y, ResultForm::kText)));
  }
}

TEST(OraDecimalTest, DigitsCompareAndSortAsTheNumbers) {
  const std::vector<std::string> ascending = {"-1E20",
                                              "-12.5",
                                              "-12.25",
                                              "-12",
                                              "-0.3333333333333333333333333333333333333334",
                                              "-0.0001",
                                              "0",
                                              "1E-30",
                                              "0.3333333333333333333333333333333333333333",
                                              "0.5",
                                              "1",
                                              "1.0000000000000000000000000000000000000001",
                                              "12",
                                              "12.25",
                                              "100",
                                              "1E125"};
  std::vector<DecimalDigits> values;
  for (const std::string& text : ascending) values.push_back(*ParseDigits(text));
  for (size_t i = 0; i < values.size(); ++i) {
    for (size_t j = 0; j < values.size(); ++j) {
      SCOPED_TRACE(ascending[i] + " " + ascending[j]);
      const int expected = i < j ? -1 : i > j ? 1 : 0;
      EXPECT_EQ(Compare(values[i], values[j]), expected);
      const int bytes = SortKey(values[i]).compare(SortKey(values[j]));
      EXPECT_EQ(bytes < 0 ? -1 : bytes > 0 ? 1 : 0, expected);
    }
  }
  EXPECT_EQ(Compare(*ParseDigits(" +012.50 "), DigitsOf(12.5)), 0);
  EXPECT_EQ(Compare(*ParseDigits("-0.000"), DigitsOf(int64_t{0})), 0);
  EXPECT_EQ(
      Compare(DigitsOf(int64_t{-9223372036854775807}), *ParseDigits("-9.223372036854775807e18")),
      0);
  for (const char* bad : {"", " ", ".", "1e", "1..2", "--1", "1 2", "x"}) {
    EXPECT_FALSE(ParseDigits(bad).has_value()) << bad;
  }
}

TEST(OraDecimalTest, ShortRoundingAgreesWithTheDigits) {
  std::mt19937_64 rng(56);
  std::uniform_int_distribution<int> places(-25, 25), rounding(0, 3);
  for (int i = 0; i < 20000; ++i) {
    const ShortDecimal a = RandomShort(rng);
    const int p = places(rng);
    const auto r = static_cast<Rounding>(rounding(rng));
    SCOPED_TRACE(std::to_string(a.mantissa) + "e" + std::to_string(a.exponent) + " " +
                 std::to_string(p) + " " + std::to_string(static_cast<int>(r)));
    if (std::optional<NumberValue> fast = ShortRounded(a, p, r, ResultForm::kText)) {
      ASSERT_EQ(TextOf(*fast),
                TextOf(ToNumberValue(RoundDigits(*ParseDigits(std::to_string(a.mantissa) + "e" +
                                                              std::to_string(a.exponent)),
                                                 p, r),
                                     ResultForm::kText)));
    }
  }
}

// Rounding at a place beyond the digits, before them, or far before them.
TEST(OraDecimalTest, DigitsRoundAtAnyPlace) {
  struct Case {
    const char* value;
    int places;
    Rounding rounding;
    const char* rounded;
  };
  const Case cases[] = {
      {"0.05", 0, Rounding::kHalfAwayFromZero, "0"},
      {"0.5", 0, Rounding::kHalfAwayFromZero, "1"},
      {"-0.5", 0, Rounding::kHalfAwayFromZero, "-1"},
      {"-0.0001", 0, Rounding::kFloor, "-1"},
      {"0.0001", 0, Rounding::kCeiling, "1"},
      {"-0.0001", 0, Rounding::kCeiling, "0"},
      {"9.99", 1, Rounding::kHalfAwayFromZero, "10"},
      {"1234.5", -2, Rounding::kTowardZero, "1200"},
      {"1234.5", -7, Rounding::kHalfAwayFromZero, "0"},
      {"1.25", 5, Rounding::kTowardZero, "1.25"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.value) + " " + std::to_string(c.places));
    EXPECT_EQ(
        Compare(RoundDigits(*ParseDigits(c.value), c.places, c.rounding), *ParseDigits(c.rounded)),
        0);
  }
}

// A host's threads come and go: one that took a logarithm, a power or a root leaves nothing of
// MPFR's behind when it ends.
TEST(OraDecimalTest, AThreadThatComputedKeepsNothingAfterItsEnd) {
  if (sys::testing::kSanitizerHoldsMemory) GTEST_SKIP() << "the sanitizer's own leak check sees it";
  const DecimalDigits x = DigitsOf(int64_t{7}), n = DigitsOf(2.5);
  const auto compute = [&] {
    EXPECT_EQ(NaturalLogarithm(x, ResultForm::kText).text.substr(0, 8), "1.945910");
    (void)Exponential(x, ResultForm::kText);
    (void)RealPower(x, n, ResultForm::kText);
    (void)Logarithm(n, x, ResultForm::kText);
    (void)SquareRoot(x, ResultForm::kText);
  };
  std::thread(compute).join();  // the libraries' first use keeps what it keeps once
  const size_t before = mallinfo2().uordblks;
  for (int i = 0; i < 200; ++i) std::thread(compute).join();
  EXPECT_LT(mallinfo2().uordblks - std::min(before, mallinfo2().uordblks), size_t{16} << 10);
}

}  // namespace
}  // namespace korvalis::db
