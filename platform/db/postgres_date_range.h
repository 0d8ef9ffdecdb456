// The range of dates of a PostgreSQL database, part of the runtime of postgres_runtime.h: a
// date a statement makes is of 0001-01-01 to 9999-12-31 23:59:59 in the proleptic Gregorian
// calendar (ora_date.h, IsWithinDateRange); outside them it fails with ORA-01841.
//
//   ora_date_from_year_1             a domain of timestamps: a date checked against the
//                                    range once per value as it is made
//   ora_date_checked(timestamp)      the date, checked against the range
//   ora_date_ahead_from_year_1       the same check of a date moved ahead by ora_date_lead()
//
// Arithmetic by a few days or months at most (700 days, 24 months) works on the date itself,
// whose result the server holds from any date that reads (from the year -4712 to 9999; the
// server's timestamps begin in 4714 BC). Arithmetic by more works on the date moved twenty
// thousand years ahead, 7304850 days: whole 400-year cycles of the calendar and whole weeks, so
// that a date keeps its month, its day and its weekday, and a result far before the range is
// still one the server holds. Moving a date ahead and back adds the seconds of a constant
// interval; a domain's check is two comparisons, so that arithmetic stays one expression the
// planner inlines into the statement, and a constant number of days or months takes its path
// when the statement is planned.
//
// Thread-safety: a constant.
#pragma once

namespace korvalis::db {

const char* PostgresDateRangeSql();

}  // namespace korvalis::db
