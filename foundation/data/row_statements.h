// Plain row writes of the bodies: a row inserted, or rows updated, each value written as its
// kind asks, decided here in one place (RowValue): a text quoted with its quotes doubled, so
// that a quote in any value is stored as given (an empty text stores NULL, as an empty text is
// NULL to the database); a number checked before it stands bare; a date as the dialect's
// literal or through TO_DATE; the database's time now; NULL.
//
//   InsertRow(data_source, u"PEV_GRADE_PATIENT", u"TASK_ID, PATIENT_ID, STATUS, ADD_DATE",
//             {task_id, patient_id, RowValue::Number(0), RowValue::Now()});
//
// Thread-safety: stateless; each function works on the caller's data source.
#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "foundation/text/string_util.h"

class CDBType;
class CSingleDataSource;

namespace korvalis {

// One value of a row write, as SQL.
class RowValue {
 public:
  // A text, quoted.
  RowValue(const char16_t* text) : RowValue(TextRef(text)) {}
  RowValue(const std::u16string& text) : RowValue(TextRef(text)) {}
  RowValue(std::u16string_view text) : RowValue(TextRef(text)) {}
  RowValue(TextRef text);

  // A number standing bare, checked by SqlBareNumber (whose CEMRException names `what`).
  static RowValue Number(TextRef value, std::u16string_view what = {});
  static RowValue Number(long value);
  // The dialect's date literal of `value` (its default format, date and time).
  static RowValue Date(const CDBType& dialect, TextRef value);
  // TO_DATE('value', 'format').
  static RowValue Date(TextRef value, std::u16string_view format);
  // The database's time now: SYSDATE.
  static RowValue Now();
  // NULL.
  static RowValue Null();

  const std::u16string& Sql() const { return sql_; }

 private:
  struct Bare {};
  RowValue(Bare, std::u16string sql) : sql_(std::move(sql)) {}

  std::u16string sql_;
};

// One column set by UpdateRow: its name and its value.
struct ColumnValue {
  ColumnValue(std::u16string_view column, RowValue value) : column(column), value(std::move(value)) {}

  std::u16string_view column;
  RowValue value;
};

// Runs "INSERT INTO table (columns) VALUES (...)" with `values` in the order of `columns`
// (their names separated by commas).
void InsertRow(CSingleDataSource& data_source, std::u16string_view table,
               std::u16string_view columns, std::initializer_list<RowValue> values);
void InsertRow(CSingleDataSource& data_source, std::u16string_view table,
               std::u16string_view columns, std::span<const RowValue> values);
// The same with every value a text.
void InsertRow(CSingleDataSource& data_source, std::u16string_view table,
               std::u16string_view columns, std::span<const std::u16string_view> values);

// Runs "UPDATE table SET column = value, ... WHERE where". `where` is the key condition of the
// rows (SqlKey::Sql(), or SQL whose values the caller has placed through sql_text.h); it must not
// be empty (no body updates a whole table).
void UpdateRow(CSingleDataSource& data_source, std::u16string_view table,
               std::initializer_list<ColumnValue> values, std::u16string_view where);

}  // namespace korvalis
