#include "foundation/data/db_type.h"

#include <climits>

#include <gtest/gtest.h>

namespace {

class DBTypeTest : public ::testing::Test {
 protected:
  const CDBType& oracle() const { return oracle_; }
  const CDBType& sqlserver() const { return sqlserver_; }

 private:
  CDBOracle oracle_;
  CDBSQLServer sqlserver_;
};

TEST_F(DBTypeTest, ServerTimeAndConcatenation) {
  EXPECT_EQ(oracle().GetSysDateSql(),
            u"SELECT TO_CHAR(SYSDATE, 'YYYY-MM-DD HH24:MI:SS') FROM DUAL");
  EXPECT_EQ(sqlserver().GetSysDateSql(), u"SELECT CONVERT(CHAR(19), GETDATE(), 20)");
  EXPECT_EQ(oracle().GetConcatOperator(), u"||");
  EXPECT_EQ(sqlserver().GetConcatOperator(), u"+");
}

TEST_F(DBTypeTest, DateConversionsQuoteValuesOnly) {
  EXPECT_EQ(oracle().ToDate(u"t.IN_TIME", true), u"to_date(t.IN_TIME, 'YYYY-MM-DD HH24:MI:SS')");
  EXPECT_EQ(oracle().ToDate(u"2008-01-01 08:00:00", false),
            u"to_date('2008-01-01 08:00:00', 'YYYY-MM-DD HH24:MI:SS')");
  EXPECT_EQ(sqlserver().ToDate(u"t.IN_TIME", true), u"CONVERT(DATETIME, t.IN_TIME, 20)");
  EXPECT_EQ(sqlserver().ToDate(u"2008-01-01", false), u"CONVERT(DATETIME, '2008-01-01', 20)");

  EXPECT_EQ(oracle().DateToChar(u"SYSDATE", true),
            u"to_char(SYSDATE, 'YYYY-MM-DD HH24:MI:SS')");
  EXPECT_EQ(oracle().DateToChar(u"d", false), u"to_char('d', 'YYYY-MM-DD HH24:MI:SS')");
  EXPECT_EQ(sqlserver().DateToChar(u"d", true), u"CONVERT(CHAR(19), d, 20)");
  EXPECT_EQ(sqlserver().DateToChar(u"d", false), u"CONVERT(CHAR(19), 'd', 20)");
}

TEST_F(DBTypeTest, ToCharTakesOnlyTheFormatLengthOnSqlServer) {
  EXPECT_EQ(oracle().ToChar(u"d", u"YYYY-MM-DD", true), u"to_char(d, 'YYYY-MM-DD')");
  EXPECT_EQ(oracle().ToChar(u"d", u"YYYY-MM-DD", false), u"to_char('d', 'YYYY-MM-DD')");
  EXPECT_EQ(sqlserver().ToChar(u"d", u"YYYY-MM-DD", true), u"CONVERT(CHAR(10), d, 20)");
  EXPECT_EQ(sqlserver().ToChar(u"d", u"YYYY-MM-DD", false), u"CONVERT(CHAR(10), 'd', 20)");
  EXPECT_EQ(sqlserver().ToChar(u"d", u"YYYY-MM-DD HH24:MI:SS", true),
            u"CONVERT(CHAR(21), d, 20)");
  EXPECT_EQ(sqlserver().ToChar(u"d", u"", true), u"CONVERT(CHAR(0), d, 20)");
}

TEST_F(DBTypeTest, RowLimits) {
  EXPECT_EQ(oracle().GetTopClause(5), u"");
  EXPECT_EQ(sqlserver().GetTopClause(5), u" TOP  5");
  EXPECT_EQ(sqlserver().GetTopClause(0), u" TOP  0");
  EXPECT_EQ(sqlserver().GetTopClause(UINT_MAX), u" TOP  4294967295");
  EXPECT_EQ(oracle().GetRowLimitCondition(5), u" ROWNUM < 5");
  EXPECT_EQ(oracle().GetRowLimitCondition(1000), u" ROWNUM < 1000");
  EXPECT_EQ(oracle().GetRowLimitCondition(UINT_MAX), u" ROWNUM < 4294967295");
  EXPECT_EQ(sqlserver().GetRowLimitCondition(5), u" 1 = 1 ");
}

TEST_F(DBTypeTest, StringFunctions) {
  EXPECT_EQ(oracle().Length(u"NAME"), u"LENGTH(NAME)");
  EXPECT_EQ(sqlserver().Length(u"NAME"), u"LEN(NAME)");
  EXPECT_EQ(oracle().Substring(u"NAME", u"1", u"4", true), u"SUBSTR(NAME, 1, 4)");
  EXPECT_EQ(oracle().Substring(u"abc", u"2", u"1", false), u"SUBSTR('abc', 2, 1)");
  EXPECT_EQ(sqlserver().Substring(u"NAME", u"1", u"4", true), u"SUBSTRING(NAME, 1, 4)");
  EXPECT_EQ(sqlserver().Substring(u"abc", u"2", u"1", false), u"SUBSTRING('abc', 2, 1)");
  EXPECT_EQ(oracle().Translate(u"a", u"b", u"c"), u" TRANSLATE(a, b, c) ");
  EXPECT_EQ(sqlserver().Translate(u"a", u"b", u"c"), u" REPLACE(a, b, c) ");
}

TEST_F(DBTypeTest, InDoubtTransactionCleanUp) {
  EXPECT_EQ(oracle().GetPendingTransactionSql(), u"SELECT LOCAL_TRAN_ID FROM DBA_2PC_PENDING");
  EXPECT_EQ(sqlserver().GetPendingTransactionSql(), u"");
  EXPECT_EQ(oracle().GetRollbackForceSql(u"1.2.3"), u"ROLLBACK FORCE '1.2.3'");
  EXPECT_EQ(sqlserver().GetRollbackForceSql(u"1.2.3"), u"");
}

TEST_F(DBTypeTest, ConditionalExpression) {
  EXPECT_EQ(oracle().Decode(u"a", u"b", u"c", u"d"), u"DECODE(a, b, c, d)");
  EXPECT_EQ(sqlserver().Decode(u"a", u"b", u"c", u"d"), u"CASE a WHEN b THEN c ELSE d END ");
}

TEST_F(DBTypeTest, ValuesAreInsertedUnchanged) {
  // Quoting is the caller's business: a quote inside a value stays single, and wide
  // characters pass through untouched.
  EXPECT_EQ(oracle().ToDate(u"O'Brien", false), u"to_date('O'Brien', 'YYYY-MM-DD HH24:MI:SS')");
  EXPECT_EQ(sqlserver().Substring(u"O'B", u"1", u"2", false), u"SUBSTRING('O'B', 1, 2)");
  EXPECT_EQ(oracle().ToChar(u"", u"YYYY", false), u"to_char('', 'YYYY')");
  EXPECT_EQ(oracle().GetRollbackForceSql(u"病历"), u"ROLLBACK FORCE '病历'");
}

}  // namespace
