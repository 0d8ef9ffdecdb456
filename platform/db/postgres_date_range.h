// The range of dates of a PostgreSQL database, part of the runtime of postgres_runtime.h: a
// date a statement makes is of 1582-10-15, the first day of the Gregorian calendar, to
// 9999-12-31 23:59:59 (ora_date.h, IsWithinDateRange); outside them it fails with ORA-01841.
//
//   ora_date_ahead                   a domain of timestamps: a date moved ahead by
//                                    ora_date_lead(), checked once per value as it is made
//   ora_date_checked(timestamp)      the date, checked against the range
//
// Date arithmetic works on the date moved twenty thousand years ahead, 7304850 days: whole
// 400-year cycles of the calendar and whole weeks, so that a date keeps its month, its day and
// its weekday, and a result that falls before the range is still one the server's timestamps
// hold (they begin in 4714 BC). Moving a date ahead and back adds the seconds of a constant
// interval; the domain's check is two comparisons, so that arithmetic stays one expression
// the planner inlines into the statement.
//
// Thread-safety: a constant.
#pragma once

namespace korvalis::db {

const char* PostgresDateRangeSql();

}  // namespace korvalis::db
