#include "foundation/data/sql_conditions.h"

#include <gtest/gtest.h>

#include <vector>

#include "foundation/calls/emr_exception.h"
#include "foundation/data/db_type.h"
#include "foundation/data/sql_date.h"
#include "foundation/data/sql_key.h"
#include "foundation/xml/xml_property.h"

namespace korvalis {
namespace {

TEST(SqlConditionsTest, EachConditionAppliesOnlyWhenItsValueIsGiven) {
  const CXmlProperty bag(
      u"<root><dept>0101</dept><name>O'Brien</name><status>2</status><types>1, 3</types>"
      u"<begin>2026-12-01</begin><end>2026-12-07</end><at>2026-12-07 08:00:00</at>"
      u"<empty></empty><out>1</out><month>2026-02</month></root>");
  const std::u16string sql =
      SqlConditions(bag)
          .Equals(u"dept", u"A.DEPT_ID")
          .Contains(u"name", u"A.NAME")
          .Number(u"status", u"A.STATUS")
          .NumberIn(u"types", u"A.TYPE")
          .DateFrom(u"begin", u"A.IN_TIME")
          .DateUntil(u"end", u"A.IN_TIME")
          .DateTo(u"at", u"A.OUT_TIME", u"yyyy-MM-dd HH24:MI:SS")
          .Chosen(u"out", {{u"1", u"A.OUT_TIME IS NULL"}, {u"2", u"A.OUT_TIME IS NOT NULL"}})
          .MonthUntil(u"month", u"A.DAY")
          .Exists(u"dept", u"SELECT 1 FROM T WHERE T.ID = A.ID", u"T.DEPT_ID")
          .Equals(u"empty", u"A.EMPTY")
          .Number(u"missing", u"A.MISSING")
          .Chosen(u"missing", {{u"1", u"A.NEVER IS NULL"}})
          .And(u"A.VALID = 1")
          .Sql();
  EXPECT_EQ(sql,
            u" AND A.DEPT_ID = '0101'  AND A.NAME LIKE '%O''Brien%'  AND A.STATUS = 2 "
            u" AND A.TYPE IN (1,3)  AND A.IN_TIME >= TO_DATE('2026-12-01', 'yyyy-MM-dd') "
            u" AND A.IN_TIME <= TO_DATE('2026-12-07 23:59:59', 'yyyy-MM-dd HH24:MI:SS') "
            u" AND A.OUT_TIME <= TO_DATE('2026-12-07 08:00:00', 'yyyy-MM-dd HH24:MI:SS') "
            u" AND A.OUT_TIME IS NULL "
            u" AND A.DAY < TO_DATE('2026-02', 'YYYY-MM') + "
            u"TO_NUMBER(TO_CHAR(LAST_DAY(TO_DATE('2026-02','YYYY-MM')),'DD')) "
            u" AND EXISTS (SELECT 1 FROM T WHERE T.ID = A.ID AND T.DEPT_ID = '0101')  AND A.VALID = 1 ");
}

TEST(SqlConditionsTest, DaysThroughNeedsBothEnds) {
  const SqlConditions::Values days = {{u"from", u"2026-12-01"}, {u"to", u"O'2026"}};
  EXPECT_EQ(SqlConditions(days)
                .DaysThrough(u"from", u"to", u"A.T")
                .DaysThrough(u"from", u"missing", u"A.T")
                .DaysThrough(u"missing", u"to", u"A.T")
                .Sql(),
            u" AND (A.T >= TO_DATE('2026-12-01', 'yyyy-MM-dd') AND "
            u"A.T <= TO_DATE('O''2026', 'yyyy-MM-dd') + 1) ");
}

TEST(SqlConditionsTest, ANumberThatIsNotOneIsRefusedNamingItsKey) {
  for (const auto& [key, value] : {std::pair{u"status", u"1 OR 1=1"}, {u"types", u"1,,2"}}) {
    SqlConditions conditions(SqlConditions::Values{{key, value}});
    try {
      conditions.Number(u"status", u"A.STATUS").NumberIn(u"types", u"A.TYPE");
      ADD_FAILURE() << "a non-number passed";
    } catch (const CEMRException& e) {
      EXPECT_NE(e.GetText().find(key), std::u16string::npos);
    }
  }
}

TEST(SqlConditionsTest, DatesTakeTheDialectsLiteralsAndASpanOnlyWhenItHasTwoEnds) {
  const CDBOracle oracle;
  const auto date = [&oracle](std::u16string_view value) { return SqlDateValue(oracle, value); };
  const SqlConditions::Values values = {{u"span", u"2026-12-01|2026-12-07"},
                                        {u"three", u"2026-12-01|2026-12-07|2026-12-09"},
                                        {u"half", u"2026-12-01|"},
                                        {u"from", u"2026-12-01 08:00:00"}};
  EXPECT_EQ(SqlConditions(values)
                .SpanBetween(u"span", u"A.T", oracle)
                .DaySpan(u"span", u"A.T", oracle)
                .SpanBetween(u"three", u"A.T", oracle)
                .DaySpan(u"half", u"A.T", oracle)
                .DatesBetween(u"from", u"from", u"A.T", oracle)
                .DatesBetween(u"from", u"missing", u"A.T", oracle)
                .DateFrom(u"from", u"A.T", oracle)
                .DateBefore(u"missing", u"A.T", oracle)
                .HalfOpenSpan(u"span", u"A.T", oracle)
                .HalfOpenSpan(u"half", u"A.T", oracle)
                .Sql(),
            u" AND A.T BETWEEN " + date(u"2026-12-01") + u" AND " + date(u"2026-12-07") + u" " +
                u" AND A.T BETWEEN " + date(u"2026-12-01") + u" AND " +
                date(u"2026-12-08") + u" " + u" AND A.T BETWEEN " +
                date(u"2026-12-01 08:00:00") + u" AND " + date(u"2026-12-01 08:00:00") + u" " +
                u" AND A.T >= " + date(u"2026-12-01 08:00:00") + u" " + u" AND A.T >= " +
                date(u"2026-12-01") + u" AND A.T < " + date(u"2026-12-07") + u" ");
}

TEST(SqlKeyTest, EveryPartIsWrittenEvenEmptyAndANumberIsChecked) {
  EXPECT_EQ(SqlKey()
                .Equals(u"PATIENT_ID", u"O'Brien")
                .Equals(u"EVENT_NO", u"")
                .Number(u"SERIAL", u" 2 ")
                .Number(u"ID", 35L)
                .NumberIn(u"TYPE", u"1, 3")
                .In(u"AREA", std::vector<std::u16string>{u"a'", u""})
                .In(u"AREA", std::vector<std::u16string>{})
                .And(u"STATUS = 1")
                .Where(),
            u" WHERE PATIENT_ID = 'O''Brien' AND EVENT_NO = '' AND SERIAL = 2 AND ID = 35 "
            u"AND TYPE IN (1,3) AND AREA IN ('a''', '') AND AREA IN (NULL) AND STATUS = 1");
  try {
    SqlKey().NumberIn(u"TYPE", u"1").Number(u"SERIAL", u"2 OR 1=1");
    ADD_FAILURE() << "a non-number passed";
  } catch (const CEMRException& e) {
    EXPECT_NE(e.GetText().find(u"SERIAL"), std::u16string::npos);
  }
}

TEST(SqlConditionsTest, AConditionDocumentThatIsNotXmlIsRefused) {
  EXPECT_THROW(SqlConditions(CXmlProperty(std::u16string(u"<root><a></root>"))), CEMRException);
}

}  // namespace
}  // namespace korvalis
