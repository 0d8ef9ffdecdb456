#include "emrdoc/age_text.h"

#include <optional>

#include "foundation/text/automation_date.h"
#include "foundation/text/date_format.h"
#include "foundation/text/string_util.h"
#include "lookups/sys_param.h"

namespace {

// Half a second in days: the span of two times is rounded to the second before it is cut to
// whole days or hours.
constexpr double kHalfSecond = 0.5 / 86400;

struct AgeFormat {
  long low_months = 1;     // L: from here up to a year, months and days
  long high_months = 168;  // H: from here on, years only
  long year_rule = 0;      // Y: 0 counts calendar years, any other whole years of months
};

AgeFormat ReadAgeFormat(CSingleDataSource& data_source) {
  std::vector<long> numbers;
  SplitToLongs(GetSysParam(data_source, u"system_age_format"), u";", numbers);
  AgeFormat format;
  if (numbers.size() == 3 && numbers[0] < numbers[1]) {
    format = {numbers[0], numbers[1], numbers[2]};
  }
  return format;
}

// A date text read as both its calendar fields and its point in time.
struct AgeTime {
  DateTimeParts fields;
  korvalis::AutomationDate point;
};

std::optional<AgeTime> ReadAgeTime(const std::u16string& text) {
  AgeTime time;
  std::optional<korvalis::AutomationDate> point = korvalis::AutomationDate::Parse(text);
  if (!point || !ParseDateTimeText(text, time.fields)) return std::nullopt;
  time.point = *point;
  return time;
}

std::u16string Number(long value) { return LongToString(value); }

}  // namespace

std::u16string FormatAge(CSingleDataSource* pDataSource, BSTR bstrReferenceTime,
                         std::u16string strBirthday) {
  if (strBirthday.empty()) return kUnknownAge;
  const AgeFormat format = ReadAgeFormat(*pDataSource);
  const std::optional<AgeTime> reference =
      ReadAgeTime(std::u16string(korvalis::BstrView(bstrReferenceTime)));
  const std::optional<AgeTime> birth = ReadAgeTime(strBirthday);
  if (!reference || !birth || reference->point < birth->point) return kUnknownAge;

  const DateTimeParts& r = reference->fields;
  const DateTimeParts& b = birth->fields;
  const long months = (r.year - b.year) * 12L + r.month - b.month - (r.day < b.day ? 1 : 0);
  const double span = reference->point.DaysSince(birth->point) + kHalfSecond;
  const long days = static_cast<long>(span);
  const long hours = static_cast<long>(span * 24);

  if (months >= format.high_months) {
    return Number(format.year_rule == 0 ? r.year - b.year : months / 12) + u"岁";
  }
  const long years = months / 12;
  if (years >= 1) {
    const long rest = months - 12 * years;
    return Number(years) + u"岁" + (rest == 0 ? u"" : Number(rest) + u"个月");
  }
  if (format.low_months <= months && months < 12) {
    const int day_difference = r.day - b.day;
    if (day_difference == 0) return Number(months) + u"个月";
    return Number(months) + u"个月零" +
           Number(day_difference > 0 ? day_difference : day_difference + 30) + u"天";
  }
  if (days > 0) return Number(days) + u"天";
  if (hours > 0) return Number(hours) + u"小时";
  return u"1小时以内";
}

void SplitToLongs(const std::u16string& strText, const std::u16string& strDelimiters,
                  std::vector<long>& values) {
  std::vector<std::u16string> pieces;
  SplitByChars(strText, strDelimiters, pieces);
  for (const std::u16string& piece : pieces) values.push_back(StringToLong(piece));
}
