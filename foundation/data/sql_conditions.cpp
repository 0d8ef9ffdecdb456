#include "foundation/data/sql_conditions.h"

#include "foundation/text/automation_date.h"
#include "foundation/data/sql_date.h"
#include "foundation/data/sql_text.h"
#include "foundation/xml/xml_property.h"

namespace korvalis {
namespace {

SqlConditions::Values ValuesOf(const CXmlProperty& bag) {
  const CXmlProperty::Map map = bag.GetMap();
  return SqlConditions::Values(map.begin(), map.end());
}

}  // namespace

SqlConditions::SqlConditions(const CXmlProperty& values) : values_(ValuesOf(values)) {}

SqlConditions::SqlConditions(Values values) : values_(std::move(values)) {}

const std::u16string& SqlConditions::Value(std::u16string_view key) const {
  static const std::u16string& kNone = *new std::u16string;
  const auto found = values_.find(key);
  return found == values_.end() ? kNone : found->second;
}

void SqlConditions::Append(std::u16string_view column, std::u16string_view opening,
                           std::u16string_view value, std::u16string_view closing) {
  sql_.append(u" AND ").append(column).append(opening).append(value).append(closing).append(u" ");
}

SqlConditions& SqlConditions::Equals(std::u16string_view key, std::u16string_view column) {
  if (const std::u16string& value = Value(key); !value.empty()) {
    Append(column, u" = ", SqlQuoted(value), {});
  }
  return *this;
}

SqlConditions& SqlConditions::Contains(std::u16string_view key, std::u16string_view column) {
  if (const std::u16string& value = Value(key); !value.empty()) {
    Append(column, u" LIKE '%", SqlEscaped(value), u"%'");
  }
  return *this;
}

SqlConditions& SqlConditions::Number(std::u16string_view key, std::u16string_view column) {
  if (const std::u16string& value = Value(key); !value.empty()) {
    Append(column, u" = ", SqlBareNumber(value, key), {});
  }
  return *this;
}

SqlConditions& SqlConditions::NumberIn(std::u16string_view key, std::u16string_view column) {
  if (const std::u16string& value = Value(key); !value.empty()) {
    Append(column, u" IN (", SqlNumberList(value, key), u")");
  }
  return *this;
}

SqlConditions& SqlConditions::Date(std::u16string_view key, std::u16string_view column,
                                   std::u16string_view comparison, std::u16string_view format,
                                   std::u16string_view closing) {
  if (const std::u16string& value = Value(key); !value.empty()) {
    Append(column, comparison,
           SqlQuoted(value) + u", " + SqlQuoted(format) + u")" + std::u16string(closing), {});
  }
  return *this;
}

SqlConditions& SqlConditions::DateFrom(std::u16string_view key, std::u16string_view column,
                                       std::u16string_view format) {
  return Date(key, column, u" >= TO_DATE(", format, {});
}

SqlConditions& SqlConditions::DateTo(std::u16string_view key, std::u16string_view column,
                                     std::u16string_view format) {
  return Date(key, column, u" <= TO_DATE(", format, {});
}

SqlConditions& SqlConditions::DateUntil(std::u16string_view key, std::u16string_view column,
                                        std::u16string_view format) {
  // Dates hold whole seconds: up to the day's last second, which 9999-12-31 has too, where the
  // next day's start would pass the last date a DATE holds. A literal, which costs no row
  // anything.
  if (const std::u16string& value = Value(key); !value.empty()) {
    const std::u16string day_format(format);
    Append(column, u" <= TO_DATE(",
           SqlQuoted(value + u" 23:59:59") + u", " + SqlQuoted(day_format + u" HH24:MI:SS") + u")",
           {});
  }
  return *this;
}

SqlConditions& SqlConditions::DateFrom(std::u16string_view key, std::u16string_view column,
                                       const CDBType& dialect) {
  if (const std::u16string& value = Value(key); !value.empty()) {
    Append(column, u" >= ", SqlDateValue(dialect, value), {});
  }
  return *this;
}

SqlConditions& SqlConditions::DateBefore(std::u16string_view key, std::u16string_view column,
                                         const CDBType& dialect) {
  if (const std::u16string& value = Value(key); !value.empty()) {
    Append(column, u" < ", SqlDateValue(dialect, value), {});
  }
  return *this;
}

SqlConditions& SqlConditions::SpanBetween(std::u16string_view key, std::u16string_view column,
                                          const CDBType& dialect) {
  if (const auto ends = TimeSpanEnds(Value(key))) {
    Append(column, u" BETWEEN ", SqlDateValue(dialect, ends->first),
           u" AND " + SqlDateValue(dialect, ends->second));
  }
  return *this;
}

SqlConditions& SqlConditions::HalfOpenSpan(std::u16string_view key, std::u16string_view column,
                                           const CDBType& dialect) {
  if (const auto ends = TimeSpanEnds(Value(key))) {
    Append(column, u" >= ", SqlDateValue(dialect, ends->first),
           u" AND " + std::u16string(column) + u" < " + SqlDateValue(dialect, ends->second));
  }
  return *this;
}

SqlConditions& SqlConditions::DatesBetween(std::u16string_view begin_key,
                                           std::u16string_view end_key,
                                           std::u16string_view column, const CDBType& dialect) {
  const std::u16string& begin = Value(begin_key);
  const std::u16string& end = Value(end_key);
  if (!begin.empty() && !end.empty()) {
    Append(column, u" BETWEEN ", SqlDateValue(dialect, begin), u" AND " + SqlDateValue(dialect, end));
  }
  return *this;
}

SqlConditions& SqlConditions::DaysThrough(std::u16string_view begin_key,
                                          std::u16string_view end_key,
                                          std::u16string_view column, std::u16string_view format) {
  const std::u16string& begin = Value(begin_key);
  const std::u16string& end = Value(end_key);
  if (!begin.empty() && !end.empty()) {
    const std::u16string quoted_format = SqlQuoted(format);
    sql_.append(u" AND (").append(column).append(u" >= TO_DATE(").append(SqlQuoted(begin));
    sql_.append(u", ").append(quoted_format).append(u") AND ").append(column);
    sql_.append(u" <= TO_DATE(").append(SqlQuoted(end)).append(u", ").append(quoted_format);
    sql_.append(u") + 1) ");
  }
  return *this;
}

SqlConditions& SqlConditions::DaySpan(std::u16string_view key, std::u16string_view column,
                                      const CDBType& dialect) {
  if (const auto ends = TimeSpanEnds(Value(key))) {
    const AutomationDate end = AutomationDate::Parse(ends->second).value_or(AutomationDate());
    const std::optional<AutomationDate> next_day = end.PlusDays(1);
    const std::u16string end_day = next_day ? next_day->DayText() : u"9999-12-31 23:59:59";
    Append(column, u" BETWEEN ", SqlDateValue(dialect, ends->first),
           u" AND " + SqlDateValue(dialect, end_day));
  }
  return *this;
}

SqlConditions& SqlConditions::Exists(std::u16string_view key, std::u16string_view select,
                                     std::u16string_view column) {
  if (const std::u16string& value = Value(key); !value.empty()) {
    sql_.append(u" AND EXISTS (").append(select).append(u" AND ").append(column).append(u" = ");
    sql_.append(SqlQuoted(value)).append(u") ");
  }
  return *this;
}

SqlConditions& SqlConditions::MonthUntil(std::u16string_view key, std::u16string_view column) {
  if (const std::u16string& value = Value(key); !value.empty()) {
    const std::u16string month = SqlQuoted(value);
    Append(column, u" < TO_DATE(", month,
           u", 'YYYY-MM') + TO_NUMBER(TO_CHAR(LAST_DAY(TO_DATE(" + month + u",'YYYY-MM')),'DD'))");
  }
  return *this;
}

SqlConditions& SqlConditions::Chosen(
    std::u16string_view key,
    std::initializer_list<std::pair<std::u16string_view, std::u16string_view>> choices) {
  const std::u16string& value = Value(key);
  for (const auto& [choice, condition] : choices) {
    if (value == choice) return And(condition);
  }
  return *this;
}

SqlConditions& SqlConditions::And(std::u16string_view condition) {
  sql_.append(u" AND ").append(condition).append(u" ");
  return *this;
}

}  // namespace korvalis
