// The date format models of TO_CHAR: each element of the model (date_format_elements.h)
// written in turn. Names of months and days, spelled numbers and ordinal suffixes are English,
// their case taken from the model (MONTH, Month, month; DDSP, Ddsp, ddsp).
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/date_format_elements.h"
#include "platform/db/ora_date.h"
#include "platform/db/sql_error.h"
#include "platform/db/sql_function_support.h"
#include "platform/db/sqlite_statement_bounds.h"
#include "platform/text/ascii.h"

namespace korvalis::db {

using namespace date_model;

namespace {

// Names are padded to the longest of their kind unless FM is on.
constexpr size_t kLongestName = 9;
// The most one element writes (a Julian day spelled out), and the growth of a text below which
// the memory in use is not asked for.
constexpr size_t kLongestElement = 128;
constexpr size_t kCheckedGrowth = size_t{64} << 10;
constexpr size_t kLongestRomanMonth = 4;

int DayOfYear(const DateTime& d) {
  return static_cast<int>(DaysFromCivil(d.year, d.month, d.day) - DaysFromCivil(d.year, 1, 1) + 1);
}

// The ISO 8601 year and week of a date: weeks begin on Monday, and week 1 holds the year's
// first Thursday.
void IsoWeek(const DateTime& d, int* year, int* week) {
  const int64_t days = DaysFromCivil(d.year, d.month, d.day);
  const int64_t monday_based = ((days % 7) + 7 + 3) % 7;
  const int64_t thursday = days - monday_based + 3;
  int month = 0, day = 0;
  CivilFromDays(thursday, year, &month, &day);
  *week = static_cast<int>((thursday - DaysFromCivil(*year, 1, 1)) / 7 + 1);
}

void AppendName(std::string_view name, LetterCase letter_case, size_t width, std::string* out) {
  for (size_t i = 0; i < name.size(); ++i) {
    const bool upper =
        letter_case == LetterCase::kUpper || (letter_case == LetterCase::kCapital && i == 0);
    out->push_back(upper ? name[i] : AsciiLower(name[i]));
  }
  if (name.size() < width) out->append(width - name.size(), ' ');
}

// Writes the formatting of one element; `fill_mode` is FM's state.
class DateFormatter {
 public:
  DateFormatter(const DateTime& d, std::string* out) : d_(d), out_(out) {}

  void Write(const FormatToken& t) {
    if (t.suffix != Suffix::kNone) return WriteWithSuffix(t);
    if (WriteYear(t) || WriteCalendar(t) || WriteTime(t)) return;
    switch (t.element) {
      case Element::kFM:
        fill_mode_ = !fill_mode_;
        break;
      case Element::kFX:
        break;
      case Element::kLiteral:
        out_->append(t.literal);
        break;
      case Element::kEnd:
        break;
      default:
        break;
    }
  }

  // A numeric element's number as an ordinal or in words: its digits as the element alone
  // writes them, then their suffix (07TH) or their words (SEVEN, SEVENTH).
  void WriteWithSuffix(const FormatToken& t) {
    std::string digits;
    std::string* const out = out_;
    out_ = &digits;
    FormatToken plain = t;
    plain.suffix = Suffix::kNone;
    Write(plain);
    out_ = out;
    int64_t n = 0;
    for (char c : digits) {
      // A year before Christ has a sign, which neither words nor suffixes write.
      if (c < '0' || c > '9') TooLong();
      n = n * 10 + (c - '0');
    }
    if (t.suffix == Suffix::kTh) {
      // Oracle has no ordinal suffix for a zero.
      if (n == 0) TooLong();
      out_->append(digits);
      out_->append(InLetterCase(OrdinalSuffix(n), t.letter_case == LetterCase::kUpper
                                                      ? LetterCase::kUpper
                                                      : LetterCase::kLower));
      return;
    }
    out_->append(InLetterCase(SpelledNumber(n, t.suffix == Suffix::kSpTh), t.letter_case));
  }
  [[noreturn]] static void TooLong() {
    throw SqlError("ORA-01877: string is too long for internal buffer", kProviderFailed);
  }

  // Years, ISO years and centuries; false for any other element.
  bool WriteYear(const FormatToken& t) {
    switch (t.element) {
      case Element::kYear:
      case Element::kSYear:
        if (t.element == Element::kSYear) out_->push_back(d_.year < 0 ? '-' : ' ');
        out_->append(InLetterCase(SpelledYear(d_.year < 0 ? -d_.year : d_.year), t.letter_case));
        return true;
      case Element::kYYYY:
      case Element::kRRRR:
        Number(d_.year, 4);
        return true;
      case Element::kSYYYY:
        out_->push_back(d_.year < 0 ? '-' : ' ');
        Number(d_.year < 0 ? -d_.year : d_.year, 4);
        return true;
      case Element::kYCommaYYY:
        AppendDigits(d_.year / 1000, 1, out_);
        out_->push_back(',');
        AppendDigits(d_.year % 1000, 3, out_);
        return true;
      case Element::kYYY:
        AppendDigits(d_.year % 1000, 3, out_);
        return true;
      case Element::kYY:
      case Element::kRR:
        AppendDigits(d_.year % 100, 2, out_);
        return true;
      case Element::kY:
        AppendDigits(d_.year % 10, 1, out_);
        return true;
      case Element::kIYYY:
      case Element::kIYY:
      case Element::kIY:
      case Element::kI:
        IsoYear(t.element);
        return true;
      case Element::kCC:
      case Element::kSCC:
        Century(t.element == Element::kSCC);
        return true;
      default:
        return false;
    }
  }

  // Quarters, months, weeks and days; false for any other element.
  bool WriteCalendar(const FormatToken& t) {
    switch (t.element) {
      case Element::kQ:
        AppendDigits((d_.month - 1) / 3 + 1, 1, out_);
        return true;
      case Element::kMM:
        Number(d_.month, 2);
        return true;
      case Element::kMon:
        AppendName(kMonthNames[d_.month - 1].substr(0, 3), t.letter_case, 0, out_);
        return true;
      case Element::kMonth:
        Name(kMonthNames[d_.month - 1], t.letter_case, kLongestName);
        return true;
      case Element::kRM:
        Name(kRomanMonths[d_.month - 1], t.letter_case, kLongestRomanMonth);
        return true;
      case Element::kWW:
        Number((DayOfYear(d_) - 1) / 7 + 1, 2);
        return true;
      case Element::kIW: {
        int year = 0, week = 0;
        IsoWeek(d_, &year, &week);
        Number(week, 2);
        return true;
      }
      case Element::kW:
        AppendDigits((d_.day - 1) / 7 + 1, 1, out_);
        return true;
      case Element::kDDD:
        Number(DayOfYear(d_), 3);
        return true;
      case Element::kDD:
        Number(d_.day, 2);
        return true;
      case Element::kD:
        AppendDigits(Weekday(d_) + 1, 1, out_);
        return true;
      case Element::kDay:
        Name(kDayNames[Weekday(d_)], t.letter_case, kLongestName);
        return true;
      case Element::kDy:
        AppendName(kDayNames[Weekday(d_)].substr(0, 3), t.letter_case, 0, out_);
        return true;
      case Element::kJ:
        out_->append(std::to_string(DaysFromCivil(d_.year, d_.month, d_.day) + kJulianDayOfEpoch));
        return true;
      default:
        return false;
    }
  }

  // The time of day, meridians and eras; false for any other element.
  bool WriteTime(const FormatToken& t) {
    switch (t.element) {
      case Element::kHH24:
        Number(d_.hour, 2);
        return true;
      case Element::kHH12:
        Number(d_.hour % 12 == 0 ? 12 : d_.hour % 12, 2);
        return true;
      case Element::kMI:
        Number(d_.minute, 2);
        return true;
      case Element::kSS:
        Number(d_.second, 2);
        return true;
      case Element::kSSSSS:
        Number(d_.hour * 3600 + d_.minute * 60 + d_.second, 5);
        return true;
      case Element::kAM:
        AppendName(d_.hour < 12 ? "AM" : "PM", t.letter_case, 0, out_);
        return true;
      case Element::kAMDots:
        AppendName(d_.hour < 12 ? "A.M." : "P.M.", t.letter_case, 0, out_);
        return true;
      case Element::kAD:
        AppendName(d_.year > 0 ? "AD" : "BC", t.letter_case, 0, out_);
        return true;
      case Element::kADDots:
        AppendName(d_.year > 0 ? "A.D." : "B.C.", t.letter_case, 0, out_);
        return true;
      default:
        return false;
    }
  }

 private:
  void Number(int v, int width) {
    if (fill_mode_) {
      out_->append(std::to_string(v));
    } else {
      AppendDigits(v, width, out_);
    }
  }
  void Name(std::string_view name, LetterCase letter_case, size_t width) {
    AppendName(name, letter_case, fill_mode_ ? 0 : width, out_);
  }
  void IsoYear(Element e) {
    int year = 0, week = 0;
    IsoWeek(d_, &year, &week);
    const int digits = e == Element::kIYYY ? 4 : e == Element::kIYY ? 3 : e == Element::kIY ? 2 : 1;
    int modulus = 1;
    for (int i = 0; i < digits; ++i) modulus *= 10;
    AppendDigits(digits == 4 ? year : year % modulus, digits, out_);
  }
  void Century(bool signed_form) {
    const int year = d_.year < 0 ? -d_.year : d_.year;
    const int century = (year - 1) / 100 + 1;
    if (signed_form) out_->push_back(d_.year < 0 ? '-' : ' ');
    Number(d_.year < 0 && !signed_form ? -century : century, 2);
  }

  const DateTime& d_;
  std::string* out_;
  bool fill_mode_ = false;
};

}  // namespace

std::string FormatDateModel(const DateTime& d, std::string_view f) {
  return DateFormatModel(f).Format(d);
}

struct DateFormatModel::Elements {
  FormatTokens tokens;
};

DateFormatModel::DateFormatModel(std::string_view written) : elements_(new Elements) {
  const std::string_view format = LocaleDateModel(written);
  for (size_t at = 0;;) {
    FormatToken t = ReadElement(format, at);
    if (t.element == Element::kEnd) break;
    at += t.length;
    functions::ChargeWork(t.length);
    elements_->tokens.push_back(std::move(t));
  }
}

DateFormatModel::~DateFormatModel() = default;

// The text grows by doubling, each time within the memory bound, and every element is charged
// to the running call.
std::string DateFormatModel::Format(const DateTime& d) const {
  std::string out;
  DateFormatter formatter(d, &out);
  for (const FormatToken& t : elements_->tokens) {
    if (out.capacity() - out.size() < kLongestElement + t.literal.size()) {
      const size_t room = 2 * out.capacity() + kLongestElement + t.literal.size();
      if (room >= kCheckedGrowth && static_cast<uint64_t>(sqlite3_memory_used()) + room >
                                        static_cast<uint64_t>(kEmbeddedMemoryBound)) {
        throw OutOfStatementMemory();
      }
      out.reserve(room);
    }
    functions::ChargeWork(1 + t.literal.size());
    formatter.Write(t);
  }
  return out;
}

}  // namespace korvalis::db
