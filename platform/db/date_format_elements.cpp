#include "platform/db/date_format_elements.h"

#include "platform/db/sql_error.h"
#include "platform/text/ascii.h"

namespace korvalis::db::date_model {
namespace {

[[noreturn]] void NotRecognized(std::string_view format) {
  throw SqlError("ORA-01821: date format not recognized: " + QuotedValue(format));
}

// Elements whose number a suffix may write as an ordinal or in words. Signed elements and
// Y,YYY take none: their sign and comma have no words.
bool TakesSuffix(Element e) {
  switch (e) {
    case Element::kYYYY:
    case Element::kYYY:
    case Element::kYY:
    case Element::kY:
    case Element::kRRRR:
    case Element::kRR:
    case Element::kIYYY:
    case Element::kIYY:
    case Element::kIY:
    case Element::kI:
    case Element::kCC:
    case Element::kQ:
    case Element::kMM:
    case Element::kWW:
    case Element::kIW:
    case Element::kW:
    case Element::kDDD:
    case Element::kDD:
    case Element::kD:
    case Element::kJ:
    case Element::kHH24:
    case Element::kHH12:
    case Element::kMI:
    case Element::kSS:
    case Element::kSSSSS:
      return true;
    default:
      return false;
  }
}

// The suffix that stands at `at`, and its length.
Suffix ReadSuffix(std::string_view f, size_t at, size_t* length) {
  if (StartsWithCi(f, at, "SPTH") || StartsWithCi(f, at, "THSP")) {
    *length = 4;
    return Suffix::kSpTh;
  }
  *length = 2;
  if (StartsWithCi(f, at, "SP")) return Suffix::kSp;
  if (StartsWithCi(f, at, "TH")) return Suffix::kTh;
  *length = 0;
  return Suffix::kNone;
}

constexpr std::array<std::string_view, 20> kSmallNumbers = {
    "ZERO",    "ONE",     "TWO",       "THREE",    "FOUR",     "FIVE",    "SIX",
    "SEVEN",   "EIGHT",   "NINE",      "TEN",      "ELEVEN",   "TWELVE",  "THIRTEEN",
    "FOURTEEN", "FIFTEEN", "SIXTEEN",  "SEVENTEEN", "EIGHTEEN", "NINETEEN"};
constexpr std::array<std::string_view, 10> kTens = {"",      "",      "TWENTY",  "THIRTY", "FORTY",
                                                    "FIFTY", "SIXTY", "SEVENTY", "EIGHTY", "NINETY"};

// 1 to 999 in words, appended after a blank when `out` holds words already.
void AppendBelowThousand(int n, std::string* out) {
  auto word = [&](std::string_view w) {
    if (!out->empty() && out->back() != '-') out->push_back(' ');
    out->append(w);
  };
  if (n >= 100) {
    word(kSmallNumbers[static_cast<size_t>(n / 100)]);
    word("HUNDRED");
  }
  const int rest = n % 100;
  if (rest == 0) return;
  if (rest < 20) return word(kSmallNumbers[static_cast<size_t>(rest)]);
  word(kTens[static_cast<size_t>(rest / 10)]);
  if (rest % 10 != 0) {
    out->push_back('-');
    out->append(kSmallNumbers[static_cast<size_t>(rest % 10)]);
  }
}

// The last word of `words` made an ordinal: ONE is FIRST, TWENTY TWENTIETH, SEVEN SEVENTH.
void MakeOrdinal(std::string* words) {
  struct Irregular {
    std::string_view cardinal, ordinal;
  };
  static constexpr Irregular kIrregular[] = {{"ZERO", "ZEROETH"}, {"ONE", "FIRST"},
                                             {"TWO", "SECOND"},   {"THREE", "THIRD"},
                                             {"FIVE", "FIFTH"},   {"EIGHT", "EIGHTH"},
                                             {"NINE", "NINTH"},   {"TWELVE", "TWELFTH"}};
  const size_t start = words->find_last_of(" -") + 1;  // npos + 1 is 0
  const std::string_view last = std::string_view(*words).substr(start);
  for (const Irregular& i : kIrregular) {
    if (last == i.cardinal) {
      words->replace(start, std::string::npos, i.ordinal);
      return;
    }
  }
  if (last.ends_with('Y')) {
    words->replace(words->size() - 1, 1, "IETH");
  } else {
    words->append("TH");
  }
}

}  // namespace

std::string SpelledNumber(int64_t n, bool ordinal) {
  std::string words;
  if (n == 0) {
    words = "ZERO";
  } else {
    if (n >= 1000000) {
      AppendBelowThousand(static_cast<int>(n / 1000000), &words);
      words.append(" MILLION");
    }
    if (n / 1000 % 1000 != 0) {
      AppendBelowThousand(static_cast<int>(n / 1000 % 1000), &words);
      words.append(" THOUSAND");
    }
    AppendBelowThousand(static_cast<int>(n % 1000), &words);
  }
  if (ordinal) MakeOrdinal(&words);
  return words;
}

std::string SpelledYear(int year) {
  const int century = year / 100, rest = year % 100;
  if (century == 0 || (rest < 10 && century % 10 == 0)) return SpelledNumber(year, false);
  std::string words = SpelledNumber(century, false);
  if (rest < 10) words.append(" HUNDRED");
  if (rest != 0) words.append(" ").append(SpelledNumber(rest, false));
  return words;
}

std::string_view OrdinalSuffix(int64_t n) {
  if (n % 100 >= 11 && n % 100 <= 13) return "TH";
  switch (n % 10) {
    case 1: return "ST";
    case 2: return "ND";
    case 3: return "RD";
    default: return "TH";
  }
}

std::string InLetterCase(std::string_view words, LetterCase letter_case) {
  std::string out(words);
  bool word_start = true;
  for (char& c : out) {
    if (letter_case == LetterCase::kLower || (letter_case == LetterCase::kCapital && !word_start)) {
      c = AsciiLower(c);
    }
    word_start = c == ' ' || c == '-';
  }
  return out;
}

bool StartsWithCi(std::string_view s, size_t at, std::string_view what) {
  return at <= s.size() && StartsWithIgnoringAsciiCase(s.substr(at), what);
}

bool IsSeparator(char c) {
  return c == '-' || c == '/' || c == ',' || c == '.' || c == ';' || c == ':' || c == ' ';
}

std::string_view LocaleDateModel(std::string_view format) {
  if (EqualsIgnoringAsciiCase(format, "DL")) return "fmDay, Month dd, yyyy";
  if (EqualsIgnoringAsciiCase(format, "DS")) return "MM/DD/RRRR";
  return format;
}

FormatToken ReadElement(std::string_view f, size_t at) {
  struct Entry {
    std::string_view name;
    Element element;
  };
  static constexpr Entry kEntries[] = {
      {"YEAR", Element::kYear},   {"SYEAR", Element::kSYear},
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
    size_t suffix_length = 0;
    const Suffix suffix = TakesSuffix(best->element)
                              ? ReadSuffix(f, at + best->name.size(), &suffix_length)
                              : Suffix::kNone;
    return {best->element, "", best->name.size() + suffix_length, letter_case, suffix};
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
