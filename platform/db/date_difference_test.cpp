// TRUNC of a difference of two dates: the one call that reads stored dates by position answers
// as TRUNC over the general difference, value, type and error alike.
#include <sqlite3.h>

#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "platform/db/oracle_functions.h"

namespace korvalis::db {
namespace {

using Value = std::variant<std::nullptr_t, int64_t, std::string>;

class DateDifferenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
    ASSERT_EQ(RegisterOracleFunctions(db_), SQLITE_OK);
  }
  void TearDown() override { sqlite3_close(db_); }

  // The answer of `sql` over the two values: "<type>:<text>", or the error.
  std::string Answer(const char* sql, const Value& a, const Value& b) {
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr), SQLITE_OK);
    int index = 1;
    for (const Value* v : {&a, &b}) {
      if (const auto* text = std::get_if<std::string>(v)) {
        sqlite3_bind_text(stmt, index, text->c_str(), -1, SQLITE_TRANSIENT);
      } else if (const auto* number = std::get_if<int64_t>(v)) {
        sqlite3_bind_int64(stmt, index, *number);
      }
      ++index;
    }
    std::string answer;
    if (sqlite3_step(stmt) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(stmt, 0);
      answer = std::to_string(sqlite3_column_type(stmt, 0)) + ":" +
               (text ? reinterpret_cast<const char*>(text) : "");
    } else {
      answer = std::string("error: ") + sqlite3_errmsg(db_);
    }
    sqlite3_finalize(stmt);
    return answer;
  }

  sqlite3* db_ = nullptr;
};

TEST_F(DateDifferenceTest, AnswersAsTruncOfTheGeneralDifference) {
  const Value cases[][2] = {
      {"2026-12-08 01:38:03", "2026-11-30 23:59:59"},
      {"2026-11-30 23:59:59", "2026-12-08 01:38:03"},  // negative: toward zero
      {"2026-12-08 00:00:00", "2026-12-07 00:00:01"},  // just under a day
      {"2026-12-08 00:00:00", "2026-12-07 00:00:00"},
      {"2026-12-08 12:00:00", "2026-12-08 12:00:00"},
      {"2024-03-01 00:00:00", "2024-02-28 00:00:00"},  // leap year
      {"2023-03-01 00:00:00", "2023-02-28 00:00:00"},
      {"2000-02-29 10:00:00", "1900-02-28 11:00:00"},  // 2000 leaps, 1900 does not
      {"1899-12-31 23:59:59", "0001-01-01 00:00:00"},  // before 1900, the first year
      {"9999-12-31 23:59:59", "0001-01-01 00:00:00"},
      {"2026-12-08", "2026-01-01"},  // dates without a time
      {"2026-12-08", "2026-01-01 13:00:00"},
      {"2026-12-08 08:30", "2026-01-01"},  // the stored form without seconds
      {"2026-1-5 8:00", "2026-01-01"},     // read by the default format
      {" 2026-12-08 00:00:00", "2026-01-01"},
      {"2026/12/08", "2026-01-01"},
      {"20261208", "2026-01-01"},
      {"2023-02-29 00:00:00", "2023-01-01"},  // invalid dates
      {"2026-13-01 00:00:00", "2026-01-01"},
      {"2026-12-08 24:00:00", "2026-01-01"},
      {"2026-12-08 23:60:00", "2026-01-01"},
      {"0000-01-01 00:00:00", "2026-01-01"},
      {"2026-01-01", "2026-12-08 00:00:0x"},
      {"2026-01-01", "2026-12-08T00:00:00"},
      {"abc", "2026-01-01"},
      {"", "2026-01-01"},
      {"2026-01-01", int64_t{5}},  // a number is not a date
      {int64_t{5}, "2026-01-01"},
      {nullptr, "2026-01-01"},
      {"2026-01-01", nullptr},
  };
  EXPECT_EQ(Answer("SELECT ora_trunc_date_diff(?1, ?2)", cases[0][0], cases[0][1]), "1:7");
  for (const auto& [a, b] : cases) {
    const std::string general = Answer("SELECT ora_trunc(ora_date_diff(?1, ?2))", a, b);
    EXPECT_EQ(Answer("SELECT ora_trunc_date_diff(?1, ?2)", a, b), general)
        << (std::holds_alternative<std::string>(a) ? std::get<std::string>(a) : "?") << " - "
        << (std::holds_alternative<std::string>(b) ? std::get<std::string>(b) : "?");
  }
}

}  // namespace
}  // namespace korvalis::db
