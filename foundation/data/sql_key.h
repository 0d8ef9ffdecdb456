// SqlKey: the key condition of the rows a statement reads or writes, such as
// "PATIENT_ID = 'P1' AND EVENT_NO = '3' AND SERIAL = 2". Each part always applies, an empty value
// included: an empty text is NULL to the database, so that an empty key matches no row where a
// condition applied only when given (SqlConditions) would leave the rows unfiltered. Values enter
// through sql_text.h as SqlConditions places them: texts quoted with their quotes doubled,
// numbers checked before they stand bare, any other kind (a date) as its RowValue writes it.
// Parts of several columns are ANDed; AnyOf joins whole keys by OR.
// A key is copied to be extended for one statement: SqlKey(visit).And(u"STATUS = 1").Where().

//
//   data_source.Execute(u"DELETE FROM PEV_GRADE_PATIENT" +
//                       SqlKey().Equals(u"PATIENT_ID", patient_id).Number(u"TASK_ID", task).Where());
//
// Thread-safety: one SqlKey belongs to one thread.
#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "foundation/data/row_statements.h"
#include "foundation/text/string_util.h"

namespace korvalis {

class SqlKey {
 public:
  // column = 'value'
  SqlKey& Equals(std::u16string_view column, TextRef value);
  // column = value, the value checked by SqlBareNumber (whose CEMRException names `what`, or
  // the column when `what` is empty).
  SqlKey& Number(std::u16string_view column, TextRef value, std::u16string_view what = {});
  // column = value
  SqlKey& Number(std::u16string_view column, long value);
  // column = the value as its kind writes it (a date, for one).
  SqlKey& Is(std::u16string_view column, const RowValue& value);
  // column <comparison> the value as its kind writes it: "SERIAL <> 3", "A.TASK_ID <> 'x'",
  // "CREATE_TIME > TO_DATE(...)". Precondition: `comparison` is one of =, <>, <, <=, >, >=.
  SqlKey& Compare(std::u16string_view column, std::u16string_view comparison,
                  const RowValue& value);
  // column LIKE '%value%': the value's quotes doubled, its own % and _ left as wildcards.
  SqlKey& Contains(std::u16string_view column, TextRef value);
  // The value is one of the entries of `column`, a list whose entries are joined by `separator`:
  // INSTR(separator || column || separator, separator || value || separator) > 0.
  SqlKey& Listed(std::u16string_view column, TextRef value, std::u16string_view separator);
  // column IN (value), the value a list of numbers checked by SqlNumberList (naming `what`, or
  // the column when `what` is empty).
  SqlKey& NumberIn(std::u16string_view column, TextRef value, std::u16string_view what = {});
  // column IN ('value', ...), each text quoted; column IN (NULL), matching no row, for no text.
  SqlKey& In(std::u16string_view column, std::span<const std::u16string> values);
  // A condition of the body's own ("STATUS = 1", "A.ID = B.ID"), SQL without values.
  SqlKey& And(std::u16string_view condition);
  // (first OR second OR ...): any of the keys matches, each of several parts parenthesised;
  // one key is written as it stands, and no keys match no row (1 = 0).
  SqlKey& AnyOf(std::initializer_list<SqlKey> keys);
  SqlKey& AnyOf(std::span<const SqlKey> keys);

  // The parts joined by " AND ", in the order the calls name them.
  const std::u16string& Sql() const { return sql_; }
  // " WHERE " and the parts.
  std::u16string Where() const { return u" WHERE " + sql_; }

 private:
  std::u16string sql_;
  // The number of parts joined in sql_.
  std::size_t parts_ = 0;
};

}  // namespace korvalis
