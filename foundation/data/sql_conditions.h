// SqlConditions: the conditions of a search, written in one vocabulary. A body names, for each
// key of its condition document, the column the key filters and how: equal to the text, holding
// it, a number, a list of numbers, a day from or until. A condition applies only when its key's
// value is given (not empty), and its value enters the statement through sql_text.h in one place:
// texts quoted with their quotes doubled, numbers checked before they stand bare. The body is
// left with its column list. The key of the rows a statement reads or writes, which applies even
// when its value is empty, is a SqlKey (sql_key.h).

//
//   const std::u16string filter = SqlConditions(PropertyBag(bstrCondition))
//                                     .Equals(u"dept_id", u"A.DEPT_ID")
//                                     .Contains(u"name", u"A.NAME")
//                                     .DateFrom(u"begin", u"A.IN_TIME")
//                                     .Sql();
//
// Each condition is written as " AND <condition> ", in the order the calls name them, so that the
// text follows a WHERE clause whatever comes after it.
//
// Thread-safety: one SqlConditions belongs to one thread.
#pragma once

#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <utility>

class CDBType;
class CXmlProperty;

namespace korvalis {

// The TO_DATE format of a day as clients write it: "2026-12-07".
inline constexpr std::u16string_view kDayFormat = u"yyyy-MM-dd";

class SqlConditions {
 public:
  using Values = std::map<std::u16string, std::u16string, std::less<>>;

  // The values of a client's condition document. Throws CEMRException "解析属性信息错误." when
  // the document is not well formed.
  explicit SqlConditions(const CXmlProperty& values);
  // Values the body holds itself, by the keys it names them with.
  explicit SqlConditions(Values values);

  // column = 'value'
  SqlConditions& Equals(std::u16string_view key, std::u16string_view column);
  // column LIKE '%value%': the value's quotes doubled, its own % and _ left as wildcards.
  SqlConditions& Contains(std::u16string_view key, std::u16string_view column);
  // column = value, the value checked by SqlBareNumber (whose CEMRException names the key).
  SqlConditions& Number(std::u16string_view key, std::u16string_view column);
  // column IN (value), the value a list of numbers checked by SqlNumberList.
  SqlConditions& NumberIn(std::u16string_view key, std::u16string_view column);
  // column >= TO_DATE('value', 'format'): from the start of the day (or moment) given.
  SqlConditions& DateFrom(std::u16string_view key, std::u16string_view column,
                          std::u16string_view format = kDayFormat);
  // column <= TO_DATE('value', 'format'): up to the moment given.
  SqlConditions& DateTo(std::u16string_view key, std::u16string_view column,
                        std::u16string_view format = kDayFormat);
  // column <= TO_DATE('value 23:59:59', 'format HH24:MI:SS'): up to the last second of the day
  // given. Precondition: `format` reads a day alone.
  SqlConditions& DateUntil(std::u16string_view key, std::u16string_view column,
                           std::u16string_view format = kDayFormat);
  // column >= the value as the dialect's date literal (its default format, date and time).
  SqlConditions& DateFrom(std::u16string_view key, std::u16string_view column,
                          const CDBType& dialect);
  // column < the value as the dialect's date literal.
  SqlConditions& DateBefore(std::u16string_view key, std::u16string_view column,
                            const CDBType& dialect);
  // column BETWEEN start AND end for a time span "start|end" (sql_date.h says when a span
  // applies), both written as the dialect's date literals; nothing for a span that does not apply.
  SqlConditions& SpanBetween(std::u16string_view key, std::u16string_view column,
                             const CDBType& dialect);
  // column >= start AND column < end for a time span "start|end" (as SpanBetween, the end left
  // out); nothing for a span that does not apply.
  SqlConditions& HalfOpenSpan(std::u16string_view key, std::u16string_view column,
                              const CDBType& dialect);
  // column BETWEEN begin AND end, both written as the dialect's date literals, when both
  // `begin_key` and `end_key` are given; nothing otherwise.
  SqlConditions& DatesBetween(std::u16string_view begin_key, std::u16string_view end_key,
                              std::u16string_view column, const CDBType& dialect);
  // (column >= TO_DATE('begin', 'format') AND column <= TO_DATE('end', 'format') + 1) when both
  // `begin_key` and `end_key` are given, nothing otherwise: whole days from the begin day through
  // the end day, the first moment of the day after it included.
  SqlConditions& DaysThrough(std::u16string_view begin_key, std::u16string_view end_key,
                             std::u16string_view column, std::u16string_view format = kDayFormat);
  // As SpanBetween, the span ending at the start of the day after its end's date, so that it
  // takes the whole end day; an end that is no date ends it on the day after day zero,
  // 1899-12-31, and an end on the last day there is at that day's last second.
  SqlConditions& DaySpan(std::u16string_view key, std::u16string_view column,
                         const CDBType& dialect);
  // EXISTS (select AND column = 'value'): a row of `select` (a SELECT with a WHERE clause,
  // usually tied to the statement's own rows) holds the value.
  SqlConditions& Exists(std::u16string_view key, std::u16string_view select,
                        std::u16string_view column);
  // column before the first day of the month after the month given as "YYYY-MM": up to the end
  // of that month.
  SqlConditions& MonthUntil(std::u16string_view key, std::u16string_view column);
  // The condition that `choices` pairs with the value given; none for any other value.
  SqlConditions& Chosen(
      std::u16string_view key,
      std::initializer_list<std::pair<std::u16string_view, std::u16string_view>> choices);
  // A condition of the body's own, always applied.
  SqlConditions& And(std::u16string_view condition);

  // The value of `key`, or the empty text.
  const std::u16string& Value(std::u16string_view key) const;
  // The conditions written so far.
  const std::u16string& Sql() const { return sql_; }

 private:
  // Appends " AND " `column` `opening` `value` `closing` " ".
  void Append(std::u16string_view column, std::u16string_view opening, std::u16string_view value,
              std::u16string_view closing);
  SqlConditions& Date(std::u16string_view key, std::u16string_view column,
                      std::u16string_view comparison, std::u16string_view format,
                      std::u16string_view closing);

  Values values_;
  std::u16string sql_;
};

}  // namespace korvalis
