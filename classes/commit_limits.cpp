#include "classes/commit_limits.h"

#include <cstdio>
#include <vector>

#include "foundation/text/string_util.h"

namespace korvalis::worklist {
namespace {

using std::chrono::days;
using std::chrono::hours;
using std::chrono::seconds;
using std::chrono::sys_days;

// Reads 1 to `max_digits` decimal digits at `pos`; nullopt when there is none.
std::optional<int> ReadField(std::u16string_view text, size_t& pos, size_t max_digits) {
  size_t start = pos;
  int value = 0;
  while (pos < text.size() && pos - start < max_digits && text[pos] >= u'0' && text[pos] <= u'9') {
    value = value * 10 + (text[pos] - u'0');
    ++pos;
  }
  if (pos == start) return std::nullopt;
  return value;
}

bool Expect(std::u16string_view text, size_t& pos, char16_t c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

}  // namespace

CommitSettings ReadCommitSettings(std::u16string_view discharge_setting,
                                  std::u16string_view rollback_setting) {
  std::vector<std::u16string> pieces;
  SplitByChars(discharge_setting, u";", pieces);
  CommitSettings settings;
  if (!pieces.empty()) settings.discharge_hours = pieces[0];
  settings.skip_weekends = pieces.size() > 1 && pieces[1] == u"1";
  settings.rollback_hours = rollback_setting;
  return settings;
}

std::optional<CivilTime> ParseCivilTime(std::u16string_view text) {
  size_t pos = 0;
  std::optional<int> year = ReadField(text, pos, 4);
  if (!year || pos != 4 || !Expect(text, pos, u'-')) return std::nullopt;
  std::optional<int> month = ReadField(text, pos, 2);
  if (!month || !Expect(text, pos, u'-')) return std::nullopt;
  std::optional<int> day = ReadField(text, pos, 2);
  if (!day) return std::nullopt;
  int hour = 0, minute = 0, second = 0;
  if (pos < text.size()) {
    if (!Expect(text, pos, u' ')) return std::nullopt;
    std::optional<int> h = ReadField(text, pos, 2);
    if (!h || !Expect(text, pos, u':')) return std::nullopt;
    std::optional<int> m = ReadField(text, pos, 2);
    if (!m) return std::nullopt;
    std::optional<int> s = 0;
    if (pos < text.size() && (!Expect(text, pos, u':') || !(s = ReadField(text, pos, 2)))) {
      return std::nullopt;
    }
    hour = *h;
    minute = *m;
    second = *s;
  }
  if (pos != text.size() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
  std::chrono::year_month_day date{std::chrono::year(*year),
                                   std::chrono::month(static_cast<unsigned>(*month)),
                                   std::chrono::day(static_cast<unsigned>(*day))};
  if (!date.ok()) return std::nullopt;
  return CivilTime(sys_days(date)) + hours(hour) + std::chrono::minutes(minute) + seconds(second);
}

std::u16string FormatCivilTime(CivilTime time) {
  sys_days day = std::chrono::floor<days>(time);
  std::chrono::year_month_day date(day);
  std::chrono::hh_mm_ss<seconds> clock(time - day);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  return std::u16string(text, text + std::char_traits<char>::length(text));
}

bool IsWeekend(CivilTime time) {
  std::chrono::weekday day(std::chrono::floor<days>(time));
  return day == std::chrono::Saturday || day == std::chrono::Sunday;
}

std::u16string LimitDate(int hours_after, std::u16string_view now_text, CivilTime now) {
  if (hours_after == 0) return kNoLimitDate;
  if (hours_after <= 24) return std::u16string(now_text);
  CivilTime limit = now - hours(static_cast<long long>(hours_after) - 24);
  if (limit < *ParseCivilTime(kNoLimitDate)) return kNoLimitDate;
  return FormatCivilTime(limit);
}

}  // namespace korvalis::worklist
