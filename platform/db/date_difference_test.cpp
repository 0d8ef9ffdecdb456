// A difference of two dates is a NUMBER: the seconds between over 86400, rounded to a NUMBER's
// digits, and what is computed from it rounds as Oracle's NUMBERs do, on both engines. TRUNC of
// a difference, one call on the file that reads stored dates by position, answers as TRUNC
// over the general difference, value, type and error alike.
#include <sqlite3.h>

#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "platform/db/oracle_functions.h"
#include "platform/db/script_runner.h"
#include "platform/db/testing/db_test_util.h"
#include "platform/db/testing/engine_database.h"

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
    const std::string fast = Answer("SELECT ora_trunc_date_diff(?1, ?2)", a, b);
    SCOPED_TRACE((std::holds_alternative<std::string>(a) ? std::get<std::string>(a) : "?") +
                 " - " + (std::holds_alternative<std::string>(b) ? std::get<std::string>(b) : "?"));
    EXPECT_EQ(fast, Answer("SELECT ora_trunc(ora_date_diff(?1, ?2))", a, b));
    EXPECT_EQ(fast, Answer("SELECT ora_result_trunc(ora_exact_date_diff(?1, ?2))", a, b));
  }
}

class DateDifferenceNumbersTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    c_ = testing::OpenEmptyDatabase(GetParam());
    RunScript(*c_, R"(
CREATE TABLE D (ID NUMBER, A DATE, B DATE);
INSERT INTO D VALUES (1, TO_DATE('2026-12-07 13:00:00', 'YYYY-MM-DD HH24:MI:SS'), TO_DATE('2026-12-07 08:00:00', 'YYYY-MM-DD HH24:MI:SS'));
INSERT INTO D VALUES (2, TO_DATE('2029-09-02 13:00:00', 'YYYY-MM-DD HH24:MI:SS'), TO_DATE('2026-12-07 08:00:00', 'YYYY-MM-DD HH24:MI:SS'));
INSERT INTO D VALUES (3, TO_DATE('2026-12-10 13:00:00', 'YYYY-MM-DD HH24:MI:SS'), TO_DATE('2026-12-07 08:00:00', 'YYYY-MM-DD HH24:MI:SS'));
INSERT INTO D VALUES (4, TO_DATE('2026-12-07 12:59:59', 'YYYY-MM-DD HH24:MI:SS'), TO_DATE('2026-12-07 08:00:00', 'YYYY-MM-DD HH24:MI:SS'));
INSERT INTO D VALUES (5, TO_DATE('2026-12-07 13:00:01', 'YYYY-MM-DD HH24:MI:SS'), TO_DATE('2026-12-07 08:00:00', 'YYYY-MM-DD HH24:MI:SS'));
INSERT INTO D VALUES (6, TO_DATE('2026-12-07 08:00:00', 'YYYY-MM-DD HH24:MI:SS'), TO_DATE('2026-12-07 13:00:00', 'YYYY-MM-DD HH24:MI:SS'));
INSERT INTO D VALUES (7, TO_DATE('1969-12-31 23:00:00', 'YYYY-MM-DD HH24:MI:SS'), TO_DATE('1900-01-01', 'YYYY-MM-DD'));
INSERT INTO D VALUES (8, TO_DATE('9999-12-31 23:59:59', 'YYYY-MM-DD HH24:MI:SS'), TO_DATE('0001-01-01', 'YYYY-MM-DD'));
INSERT INTO D VALUES (9, TO_DATE('2020-09-05 00:08:00', 'YYYY-MM-DD HH24:MI:SS'), TO_DATE('2020-09-04', 'YYYY-MM-DD'));
INSERT INTO D VALUES (10, TO_DATE('2025-05-07 22:46:00', 'YYYY-MM-DD HH24:MI:SS'), TO_DATE('2025-05-07 22:07:00', 'YYYY-MM-DD HH24:MI:SS'));
INSERT INTO D VALUES (11, TO_DATE('2026-01-01', 'YYYY-MM-DD'), TO_DATE('2025-12-31 19:00:00', 'YYYY-MM-DD HH24:MI:SS'));
)");
  }
  // The rows of `sql`, columns joined by "|", rows by ",".
  std::string Rows(const char* sql) {
    std::string out;
    for (const auto& row : testing::Query(*c_, sql)) {
      if (!out.empty()) out.push_back(',');
      for (size_t i = 0; i < row.size(); ++i) out += (i ? "|" : "") + row[i];
    }
    return out;
  }
  std::unique_ptr<Connection> c_;
};

// The rows hold 5 hours; 1000 days and 5 hours; 3 days and 5 hours; a second less and more than
// 5 hours; minus 5 hours; spans before 1970 and of the whole calendar; a day and 8 minutes; 39
// minutes; 5 hours across a new year.
TEST_P(DateDifferenceNumbersTest, DifferencesAreNumbersRoundedAsOracleRoundsThem) {
  const struct {
    const char* sql;
    const char* rows;
  } cases[] = {
      {"SELECT A - B FROM D ORDER BY ID",
       "0.2083333333333333333333333333333333333333,1000.208333333333333333333333333333333333,"
       "3.20833333333333333333333333333333333333,0.2083217592592592592592592592592592592593,"
       "0.2083449074074074074074074074074074074074,-0.2083333333333333333333333333333333333333,"
       "25566.9583333333333333333333333333333333,3652058.99998842592592592592592592592593,"
       "1.00555555555555555555555555555555555556,0.0270833333333333333333333333333333333333,"
       "0.2083333333333333333333333333333333333333"},
      // The hours of an age: 5 hours alone are 5, after whole days 4.99...
      {"SELECT FLOOR((A - B - FLOOR(A - B)) * 24) FROM D ORDER BY ID", "5,4,4,4,5,19,22,23,0,0,5"},
      {"SELECT (A - B) * 24 FROM D WHERE ID IN (1, 2, 3, 7, 9, 10) ORDER BY ID",
       "5,24005,76.99999999999999999999999999999999999992,613606.9999999999999999999999999999999992,"
       "24.13333333333333333333333333333333333344,0.6499999999999999999999999999999999999992"},
      {"SELECT (A - B) * 24 * 60, (A - B) * (24 * 60) FROM D WHERE ID IN (1, 3, 4, 9) ORDER BY ID",
       "300|300,4619.999999999999999999999999999999999995|4619.999999999999999999999999999999999995,"
       "299.983333333333333333333333333333333333|299.983333333333333333333333333333333333,"
       "1448.000000000000000000000000000000000006|1448.000000000000000000000000000000000006"},
      {"SELECT TRUNC(A - B), ROUND(A - B), FLOOR(A - B), CEIL(A - B) FROM D WHERE ID IN (2, 6, 7, 8) "
       "ORDER BY ID",
       "1000|1000|1000|1001,0|0|-1|0,25566|25567|25566|25567,3652058|3652059|3652058|3652059"},
      {"SELECT MOD((A - B) * 24, 24), ROUND((A - B) * 24, 1), CEIL((A - B) * 1440) FROM D "
       "WHERE ID IN (3, 6, 7, 9, 10) ORDER BY ID",
       "4.99999999999999999999999999999999999992|77|4620,-5|-5|-300,"
       "22.9999999999999999999999999999999992|613607|36816420,"
       "0.13333333333333333333333333333333333344|24.1|1449,"
       "0.6499999999999999999999999999999999999992|0.6|39"},
      {"SELECT ID FROM D WHERE (A - B) * 24 = 5 ORDER BY ID", "1,11"},
      {"SELECT ID FROM D WHERE (A - B) * 86400 = TRUNC((A - B) * 86400) ORDER BY ID", "1,4,5,6,11"},
      {"SELECT ID FROM D WHERE A - B BETWEEN 5 / 24 AND 1 ORDER BY ID", "1,5,11"},
      {"SELECT ID FROM D ORDER BY A - B, ID", "6,10,4,1,11,5,9,3,2,7,8"},
      {"SELECT (A - B) * 24 H, COUNT(*) FROM D WHERE ID IN (1, 4, 5, 11) GROUP BY (A - B) * 24 "
       "ORDER BY H",
       "4.99972222222222222222222222222222222222|1,5|2,5.00027777777777777777777777777777777778|1"},
      {"SELECT COUNT(DISTINCT A - B), MAX(A - B) * 24 FROM D WHERE ID IN (1, 4, 5, 11)",
       "3|5.00027777777777777777777777777777777778"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sql);
    EXPECT_EQ(Rows(c.sql), c.rows);
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, DateDifferenceNumbersTest, testing::kBothEngines,
                         testing::EngineName);

}  // namespace
}  // namespace korvalis::db
