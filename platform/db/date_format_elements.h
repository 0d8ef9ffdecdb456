// The elements of Oracle's date format models, as TO_CHAR (date_writer.cpp) and TO_DATE
// (date_reader.cpp) read them from a model, and the calendar names and numbers both use.
// A model is read element by element, always the longest element name that stands at the
// position, so that DY is never read as D and Y; a letter that starts no element the front
// end does is refused (ORA-01821) rather than read as something else. A numeric element may
// carry a suffix (TH, SP, SPTH or THSP) that writes its number as an ordinal or in words.
//
// Thread-safety: pure functions and constants.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/function_memory.h"
#include "platform/db/ora_date.h"

namespace korvalis::db::date_model {

enum class Element {
  kYear,
  kSYear,
  kYYYY,
  kSYYYY,
  kYCommaYYY,
  kYYY,
  kYY,
  kY,
  kRRRR,
  kRR,
  kIYYY,
  kIYY,
  kIY,
  kI,
  kCC,
  kSCC,
  kQ,
  kMM,
  kMon,
  kMonth,
  kRM,
  kWW,
  kIW,
  kW,
  kDDD,
  kDD,
  kD,
  kDay,
  kDy,
  kJ,
  kHH24,
  kHH12,
  kMI,
  kSS,
  kSSSSS,
  kAM,
  kAMDots,
  kAD,
  kADDots,
  kFM,
  kFX,
  kLiteral,
  kEnd
};

// How a name is written: as the model writes the element's first two letters (its suffix's
// first letter for an element of one letter, so that Jsp is capitalised).
enum class LetterCase { kUpper, kCapital, kLower };

// How a numeric element writes its number: as digits, with an ordinal suffix (7TH), in words
// (SEVEN) or as an ordinal in words (SEVENTH).
enum class Suffix { kNone, kTh, kSp, kSpTh };

struct FormatToken {
  Element element;
  std::string literal;
  size_t length;  // with the suffix
  LetterCase letter_case;
  Suffix suffix = Suffix::kNone;
};

// The elements of a model, held in counted memory (function_memory.h): a model of millions of
// elements is refused at the memory bound instead of taking the process's memory.
using FormatTokens = std::vector<FormatToken, functions::CountedAllocator<FormatToken>>;

// Whether `what` stands at s[at], ignoring ASCII case.
bool StartsWithCi(std::string_view s, size_t at, std::string_view what);
bool IsSeparator(char c);

// The model that DL or DS, given as the whole model, stands for in the AMERICAN_AMERICA
// locale: the long date 'fmDay, Month dd, yyyy' and the short date 'MM/DD/RRRR'; any other
// model is itself. (Their one companion, the short time TS, has no documented form and is
// refused as an unknown element.)
std::string_view LocaleDateModel(std::string_view format);

// Reads the format element at `at`: the longest element name there, a quoted text, or
// punctuation and non-ASCII text, which stand as written. Throws SqlError (ORA-01821) for a
// letter that starts no element.
FormatToken ReadElement(std::string_view f, size_t at);

constexpr std::array<std::string_view, 12> kMonthNames = {
    "JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
    "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
constexpr std::array<std::string_view, 7> kDayNames = {"SUNDAY",   "MONDAY", "TUESDAY", "WEDNESDAY",
                                                       "THURSDAY", "FRIDAY", "SATURDAY"};
constexpr std::array<std::string_view, 12> kRomanMonths = {"I",   "II",   "III", "IV", "V",  "VI",
                                                           "VII", "VIII", "IX",  "X",  "XI", "XII"};

// 0 for Sunday.
int Weekday(const DateTime& d);

// A whole number in English words, upper case: 2026 is TWO THOUSAND TWENTY-SIX; with
// `ordinal`, its last word made an ordinal (TWENTY-SIXTH).
// Precondition: 0 <= n < 10^9.
std::string SpelledNumber(int64_t n, bool ordinal);
// A year in words as it is spoken: 1999 is NINETEEN NINETY-NINE, 2000 TWO THOUSAND, 1900
// NINETEEN HUNDRED. Precondition: 0 < year < 10000.
std::string SpelledYear(int year);
// The ordinal suffix of a number: ST, ND, RD or TH.
std::string_view OrdinalSuffix(int64_t n);
// `words` in the letter case of an element: upper as given, lower, or each word capitalised
// (Twenty-Six).
std::string InLetterCase(std::string_view words, LetterCase letter_case);

// Julian day numbers count from 4713-01-01 BC; 1970-01-01 is day 2440588.
constexpr int64_t kJulianDayOfEpoch = 2440588;

}  // namespace korvalis::db::date_model
