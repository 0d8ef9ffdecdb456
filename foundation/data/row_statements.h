// Plain row writes of the bodies: a row inserted, or rows updated, with every value written
// as a quoted text (its quotes doubled through SqlQuoted), so that a quote in any value is
// stored as given. An empty value stores NULL, as an empty text is NULL to the database.
// Values that must stand bare (numbers, dates, SYSDATE) are not row values: such statements
// are written by their bodies.
//
// Thread-safety: stateless; each function works on the caller's data source.
#pragma once

#include <initializer_list>
#include <span>
#include <string_view>
#include <utility>

class CSingleDataSource;

namespace korvalis {

// One column set by UpdateRow: its name and its value.
using ColumnValue = std::pair<std::u16string_view, std::u16string_view>;

// Runs "INSERT INTO table (columns) VALUES (...)" with `values` quoted, in the order of
// `columns` (their names separated by commas).
void InsertRow(CSingleDataSource& data_source, std::u16string_view table,
               std::u16string_view columns, std::span<const std::u16string_view> values);
void InsertRow(CSingleDataSource& data_source, std::u16string_view table,
               std::u16string_view columns, std::initializer_list<std::u16string_view> values);

// Runs "UPDATE table SET column = 'value', ... WHERE where". `where` is the key condition of
// the rows, SQL whose values the caller has placed through sql_text.h; it must not be empty
// (no body updates a whole table).
void UpdateRow(CSingleDataSource& data_source, std::u16string_view table,
               std::initializer_list<ColumnValue> values, std::u16string_view where);

}  // namespace korvalis
