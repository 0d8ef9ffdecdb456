// The shape of a query: its text with the values of its date literals and of its equality
// keys taken out. A date literal is the text given to TO_DATE together with a format, both
// written as literals (TO_DATE('2026-12-07 09:30:00', 'YYYY-MM-DD HH24:MI:SS')), that the
// format reads as a date (one that it does not stays in the text, whose translation refuses
// it). An equality key is a text literal compared with a name (ID = 'p42', followed by the end
// of the condition) whose value reads neither as a number nor as a date, so that the
// translation passes it through as it passes a marker (a key compared with a date or a number
// is refused by the translation, and its text then as written). Queries that differ only in
// those values (a search stamped with the server time, the bounds of a span, the record asked
// for) share one translation and one prepared statement; the values are bound as parameters
// when it runs, and the rows are those of the text as written.
//
// A value is replaced by a marker literal that the translator passes through as it passes any
// literal; BindMarkers then turns each marker into its parameter. The names of columns written
// as expressions hold the marker where the value stood: ColumnNameWithValues puts the value back.
// Where the translation used a value in any other way, the text must run as it is written.
//
// On the server, a date literal read by the stored form's models (BindsAsDate) is a parameter
// of type timestamp: the translation casts its marker, and the provider binds the date that
// the stored form reads, or runs the text as written when the value is not in that form. One
// marker stands only for values of one kind and model, so that no marker is used both ways.
//
// Thread-safety: pure functions, but for ShapeQuery reading the database clock for a format
// that takes the year or month of today.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvalis::db {

struct StatementShape {
  std::string text;  // the query, each value taken out replaced by its marker
  // The k-th marker stands for values[k - 1], written as literals[k - 1] between the quotes
  // (doubled quotes as written). Equal literals share one marker.
  std::vector<std::string> values;
  std::vector<std::string> literals;
  // The model of the TO_DATE whose value values[k - 1] is, as written; empty for a key.
  std::vector<std::string> formats;
};

// The shape of `oracle_sql` when it is a SELECT holding at least one non-empty date literal
// or equality key; nullopt otherwise (the text runs as it is).
std::optional<StatementShape> ShapeQuery(std::string_view oracle_sql);

// Whether `literal_value` (a literal's value, without its quotes) is a marker of a shape.
bool IsValueMarker(std::string_view literal_value);

// Whether TO_DATE reads `value` by `format` (both as written) as a date: a value that is none
// stays in a shape's text, whose translation refuses it whatever the rows. Reads the database
// clock for a format that takes the year or month of today.
bool ReadsAsDate(std::string_view value, std::string_view format);

// Whether TO_DATE reads a value by `format` (as written) as the stored form reads it, when the
// value is in that form: YYYY-MM-DD HH24:MI:SS, or YYYY-MM-DD for a date alone, in any case.
bool BindsAsDate(std::string_view format);

// The date a value of such a TO_DATE reads as, "YYYY-MM-DD HH:MM:SS", when it is in the stored
// form (blanks around it allowed, a date alone for YYYY-MM-DD) and of the range of dates;
// nullopt otherwise.
std::optional<std::string> BoundDate(std::string_view value, std::string_view format);

// Replaces, in the translation of a shape of `count` values, every marker literal by its
// parameter ?k (SQLite) or $k (PostgreSQL, `parameter` '$'); markers in quoted names stay.
// False when a marker is missing or stands anywhere else.
bool BindMarkers(std::string* sql, std::size_t count, char parameter = '?');

// The name of a column of the shape's rows as the query's own text would have named it.
std::string ColumnNameWithValues(std::string_view name, const std::vector<std::string>& literals);

}  // namespace korvalis::db
