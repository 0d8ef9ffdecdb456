// SqlKey: the key condition of the rows a statement reads or writes, such as
// "PATIENT_ID = 'P1' AND EVENT_NO = '3' AND SERIAL = 2". Each part always applies, an empty value
// included: an empty text is NULL to the database, so that an empty key matches no row where a
// condition applied only when given (SqlConditions) would leave the rows unfiltered. Values enter
// through sql_text.h as SqlConditions places them: texts quoted with their quotes doubled,
// numbers checked before they stand bare, any other kind (a date) as its RowValue writes it.
// A key is copied to be extended for one statement: SqlKey(visit).And(u"STATUS = 1").Where().

//
//   data_source.Execute(u"DELETE FROM PEV_GRADE_PATIENT" +
//                       SqlKey().Equals(u"PATIENT_ID", patient_id).Number(u"TASK_ID", task).Where());
//
// Thread-safety: one SqlKey belongs to one thread.
#pragma once

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
  // column IN (value), the value a list of numbers checked by SqlNumberList (naming `what`, or
  // the column when `what` is empty).
  SqlKey& NumberIn(std::u16string_view column, TextRef value, std::u16string_view what = {});
  // column IN ('value', ...), each text quoted; column IN (NULL), matching no row, for no text.
  SqlKey& In(std::u16string_view column, std::span<const std::u16string> values);
  // A condition of the body's own ("STATUS = 1", "A.ID = B.ID"), SQL without values.
  SqlKey& And(std::u16string_view condition);

  // The parts joined by " AND ", in the order the calls name them.
  const std::u16string& Sql() const { return sql_; }
  // " WHERE " and the parts.
  std::u16string Where() const { return u" WHERE " + sql_; }

 private:
  std::u16string sql_;
};

}  // namespace korvalis
