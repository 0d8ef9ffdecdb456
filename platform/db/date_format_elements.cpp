#include "platform/db/date_format_elements.h"

#include "platform/db/sql_error.h"
#include "platform/text/ascii.h"

namespace korvalis::db::date_model {
namespace {

[[noreturn]] void NotRecognized(std::string_view format) {
  throw SqlError("ORA-01821: date format not recognized: '" + std::string(format) + "'");
}

}  // namespace

bool StartsWithCi(std::string_view s, size_t at, std::string_view what) {
  return at <= s.size() && StartsWithIgnoringAsciiCase(s.substr(at), what);
}

bool IsSeparator(char c) {
  return c == '-' || c == '/' || c == ',' || c == '.' || c == ';' || c == ':' || c == ' ';
}

FormatToken ReadElement(std::string_view f, size_t at) {
  struct Entry {
    std::string_view name;
    Element element;
  };
  static constexpr Entry kEntries[] = {
      {"YYYY", Element::kYYYY},   {"SYYYY", Element::kSYYYY}, {"Y,YYY", Element::kYCommaYYY},
      {"YYY", Element::kYYY},     {"YY", Element::kYY},       {"Y", Element::kY},
      {"RRRR", Element::kRRRR},   {"RR", Element::kRR},       {"IYYY", Element::kIYYY},
      {"IYY", Element::kIYY},     {"IY", Element::kIY},       {"I", Element::kI},
      {"CC", Element::kCC},       {"SCC", Element::kSCC},     {"Q", Element::kQ},
      {"MM", Element::kMM},       {"MON", Element::kMon},     {"MONTH", Element::kMonth},
      {"RM", Element::kRM},       {"WW", Element::kWW},       {"IW", Element::kIW},
      {"W", Element::kW},         {"DDD", Element::kDDD},     {"DD", Element::kDD},
      {"D", Element::kD},         {"DAY", Element::kDay},     {"DY", Element::kDy},
      {"J", Element::kJ},         {"HH24", Element::kHH24},   {"HH12", Element::kHH12},
      {"HH", Element::kHH12},     {"MI", Element::kMI},       {"SS", Element::kSS},
      {"SSSSS", Element::kSSSSS}, {"AM", Element::kAM},       {"PM", Element::kAM},
      {"A.M.", Element::kAMDots}, {"P.M.", Element::kAMDots}, {"AD", Element::kAD},
      {"BC", Element::kAD},       {"A.D.", Element::kADDots}, {"B.C.", Element::kADDots},
      {"FM", Element::kFM},       {"FX", Element::kFX}};
  if (at >= f.size()) return {Element::kEnd, "", 0, LetterCase::kUpper};
  const Entry* best = nullptr;
  for (const Entry& e : kEntries) {
    if (StartsWithCi(f, at, e.name) && (!best || e.name.size() > best->name.size())) best = &e;
  }
  if (best) {
    LetterCase letter_case = LetterCase::kUpper;
    if (IsAsciiLower(f[at])) {
      letter_case = LetterCase::kLower;
    } else if (at + 1 < f.size() && IsAsciiLower(f[at + 1])) {
      letter_case = LetterCase::kCapital;
    }
    return {best->element, "", best->name.size(), letter_case};
  }
  const char c = f[at];
  if (c == '"') {
    const size_t close = f.find('"', at + 1);
    if (close == std::string_view::npos) NotRecognized(f);
    return {Element::kLiteral, std::string(f.substr(at + 1, close - at - 1)), close - at + 1,
            LetterCase::kUpper};
  }
  if (IsSeparator(c) || static_cast<unsigned char>(c) >= 0x80) {
    // Punctuation, blanks and non-ASCII text (年, 月, 日 ...) stand as written.
    size_t len = 1;
    if (static_cast<unsigned char>(c) >= 0x80) {
      while (at + len < f.size() && (static_cast<unsigned char>(f[at + len]) & 0xC0) == 0x80) ++len;
    }
    return {Element::kLiteral, std::string(f.substr(at, len)), len, LetterCase::kUpper};
  }
  NotRecognized(f);
}

int Weekday(const DateTime& d) {
  const int64_t days = DaysFromCivil(d.year, d.month, d.day);  // 1970-01-01 was a Thursday
  return static_cast<int>(((days % 7) + 7 + 4) % 7);
}

}  // namespace korvalis::db::date_model
