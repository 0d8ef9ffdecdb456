#include "foundation/data/sql_date.h"

#include <gtest/gtest.h>

#include "foundation/data/db_type.h"
#include "platform/text/unicode.h"

namespace korvalis {
namespace {

TEST(SqlDateTest, DateValuesAreTheDialectsLiteralWithQuotesDoubled) {
  const CDBOracle oracle;
  EXPECT_EQ(SqlDateValue(oracle, u"2026-11-01"), u"to_date('2026-11-01', 'YYYY-MM-DD HH24:MI:SS')");
  EXPECT_EQ(SqlDateValue(oracle, u"x') OR 1=1 --"),
            u"to_date('x'') OR 1=1 --', 'YYYY-MM-DD HH24:MI:SS')");
}

TEST(SqlDateTest, ADateIsWhatTheDefaultFormatReads) {
  for (const char16_t* date : {u"2026-11-01", u"2026-11-01 08:30:00", u"2026-1-5", u"2026-1-5 8:00",
                               u"2024-02-29 23:59:59", u" 2026-11-01"}) {
    EXPECT_TRUE(IsSqlDate(date)) << ToUtf8(date);
  }
  for (const char16_t* other :
       {u"", u" ", u"2026-11-01|", u"2026-11-01|2026-12-01", u"is null", u"null", u"2026-13-01",
        u"2025-02-29", u"2026-11-01 25:00:00", u"2026-11-01' OR '1'='1", u"2026-11-01 --",
        u"二〇二六年", u"SYSDATE"}) {
    EXPECT_FALSE(IsSqlDate(other)) << ToUtf8(other);
  }
}

TEST(SqlDateTest, ASpanBecomesAClosedRangeWithItsQuotesDoubled) {
  const CDBOracle oracle;
  std::u16string sql = u"X";
  // Separators at the start are skipped.
  AppendDateBetween(oracle, u"||2008-01-01 00:00:00|2008-01-31'", u"B.COMMIT_DATE", sql);
  EXPECT_EQ(sql,
            u"X AND B.COMMIT_DATE BETWEEN to_date('2008-01-01 00:00:00', 'YYYY-MM-DD HH24:MI:SS') "
            u"AND to_date('2008-01-31''', 'YYYY-MM-DD HH24:MI:SS')");
}

TEST(SqlDateTest, ASpanWithoutExactlyTwoPiecesAddsNothing) {
  const CDBOracle oracle;
  // An empty piece between two separators counts as a piece.
  for (const char16_t* span : {u"", u"2026-11-01", u"2026-11-01|", u"|2027-01-01", u"|", u"a|b|c",
                               u"2026-11-01||2027-01-01"}) {
    EXPECT_FALSE(TimeSpanEnds(span)) << ToUtf8(span);
    std::u16string sql = u"kept";
    AppendDateBetween(oracle, span, u"IN_TIME", sql);
    EXPECT_EQ(sql, u"kept");
  }
}

}  // namespace
}  // namespace korvalis
