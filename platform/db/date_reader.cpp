// The date format models of TO_DATE: a text read by a model as Oracle reads it.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/date_format_elements.h"
#include "platform/db/ora_date.h"
#include "platform/db/sql_error.h"
#include "platform/text/ascii.h"

namespace korvalis::db {

using namespace date_model;

namespace {

// Reading a text by a format model (TO_DATE), as Oracle reads it:
// - Blanks in the text before an element are skipped; punctuation in the model matches any one
//   ASCII character of the text that is neither a letter, a digit nor a blank, and may be left
//   out of the text (then a numeric element takes as many digits as it can, so "20261207" is
//   read by YYYY-MM-DD when every field has all its digits).
// - A numeric element reads one digit up to its width. MM also reads a month's name or its
//   abbreviation, MON and MONTH read either, and YY and RR read a four-digit year where the
//   text has three or four digits and the model goes on with no number right after.
// - A text that ends before the model may leave out only time fields at the model's end.
// - FX toggles exact matching: punctuation and quoted text as in the model, no extra blanks,
//   numbers with all their digits (unless FM is on too), names only in the model's form.
// - The model is checked whole first: an element twice, elements that exclude each other, and
//   elements that only format (suffixes among them) are refused before any text is read.

bool IsNumeric(Element e) {
  switch (e) {
    case Element::kYYYY:
    case Element::kSYYYY:
    case Element::kYCommaYYY:
    case Element::kYYY:
    case Element::kYY:
    case Element::kY:
    case Element::kRRRR:
    case Element::kRR:
    case Element::kMM:
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

// Elements a text may leave out at the model's end.
bool MayBeLeftOut(Element e) {
  switch (e) {
    case Element::kLiteral:
    case Element::kHH24:
    case Element::kHH12:
    case Element::kMI:
    case Element::kSS:
    case Element::kSSSSS:
    case Element::kFM:
    case Element::kFX:
    case Element::kAM:
    case Element::kAMDots:
      return true;
    default:
      return false;
  }
}

bool OnlyFormats(Element e) {
  switch (e) {
    case Element::kYear:
    case Element::kSYear:
    case Element::kIYYY:
    case Element::kIYY:
    case Element::kIY:
    case Element::kI:
    case Element::kCC:
    case Element::kSCC:
    case Element::kQ:
    case Element::kWW:
    case Element::kIW:
    case Element::kW:
      return true;
    default:
      return false;
  }
}

// The refusal when two elements of one kind stand in an input model; nullptr for elements
// that may stand with any other.
const char* ConflictOf(Element e) {
  switch (e) {
    case Element::kYYYY:
    case Element::kSYYYY:
    case Element::kYCommaYYY:
    case Element::kYYY:
    case Element::kYY:
    case Element::kY:
    case Element::kRRRR:
    case Element::kRR:
      return "ORA-01812: year may only be specified once";
    case Element::kMM:
    case Element::kMon:
    case Element::kMonth:
    case Element::kRM:
      return "ORA-01816: month may only be specified once";
    case Element::kD:
    case Element::kDay:
    case Element::kDy:
      return "ORA-01817: day of week may only be specified once";
    case Element::kHH24:
    case Element::kHH12:
      return "ORA-01813: hour may only be specified once";
    case Element::kAM:
    case Element::kAMDots:
      return "ORA-01814: AM/PM conflicts with use of A.M./P.M.";
    case Element::kAD:
    case Element::kADDots:
      return "ORA-01815: BC/AD conflicts with use of B.C./A.D.";
    default:
      return nullptr;
  }
}

[[noreturn]] void RefuseModel(const char* what, std::string_view format) {
  throw SqlError(std::string(what) + ": " + QuotedValue(format));
}

// The elements of an input model, checked as a whole.
FormatTokens ReadInputModel(std::string_view f) {
  FormatTokens tokens;
  for (size_t at = 0;;) {
    FormatToken t = ReadElement(f, at);
    if (t.element == Element::kEnd) break;
    at += t.length;
    functions::ChargeWork(t.length);
    // A suffix only formats too: a number in words or with its ordinal is never read.
    if (OnlyFormats(t.element) || t.suffix != Suffix::kNone) {
      RefuseModel("ORA-01820: format code cannot appear in date input format", f);
    }
    tokens.push_back(std::move(t));
  }
  auto has = [&](Element e) {
    for (const FormatToken& t : tokens) {
      if (t.element == e) return true;
    }
    return false;
  };
  for (size_t i = 0; i < tokens.size(); ++i) {
    const Element e = tokens[i].element;
    if (e == Element::kLiteral || e == Element::kFM || e == Element::kFX) continue;
    for (size_t j = 0; j < i; ++j) {
      if (tokens[j].element == e) RefuseModel("ORA-01810: format code appears twice", f);
      const char* conflict = ConflictOf(e);
      if (conflict && ConflictOf(tokens[j].element) == conflict) RefuseModel(conflict, f);
    }
  }
  if (has(Element::kHH24) && (has(Element::kAM) || has(Element::kAMDots))) {
    RefuseModel("ORA-01818: 'HH24' precludes use of meridian indicator", f);
  }
  if (has(Element::kSYYYY) && (has(Element::kAD) || has(Element::kADDots))) {
    RefuseModel("ORA-01819: signed year precludes use of BC/AD", f);
  }
  if (has(Element::kJ) && has(Element::kDDD)) {
    RefuseModel("ORA-01811: Julian date precludes use of day of year", f);
  }
  return tokens;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a text by an input model into the fields of a date.
class DateReader {
 public:
  DateReader(std::string_view text, std::string_view format, const DateTime& today)
      : text_(text), tokens_(ReadInputModel(format)), today_year_(today.year) {
    d_.year = today.year;
    d_.month = today.month;
  }

  DateTime Read() {
    for (size_t i = 0; i < tokens_.size(); ++i) {
      const FormatToken& t = tokens_[i];
      if (t.element == Element::kFM) {
        fill_mode_ = !fill_mode_;
        continue;
      }
      if (t.element == Element::kFX) {
        exact_ = !exact_;
        continue;
      }
      if (!exact_) SkipBlanks();
      if (pos_ >= text_.size()) {
        for (size_t rest = i; rest < tokens_.size(); ++rest) {
          if (!MayBeLeftOut(tokens_[rest].element)) {
            Fail("ORA-01840: input value not long enough for date format");
          }
        }
        break;
      }
      number_follows_ = false;
      for (size_t next = i + 1; next < tokens_.size(); ++next) {
        const Element e = tokens_[next].element;
        if (e == Element::kFM || e == Element::kFX) continue;
        number_follows_ = IsNumeric(e);
        break;
      }
      ReadOne(t);
    }
    return Finish();
  }

 private:
  [[noreturn]] void Fail(const char* what) const {
    throw DbError(kConversionFailed, std::string(what) + ": " + QuotedValue(text_));
  }
  [[noreturn]] void NotNumeric() const {
    Fail("ORA-01858: a non-numeric character was found where a numeric was expected");
  }

  void SkipBlanks() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }
  bool DigitHere() const { return pos_ < text_.size() && IsDigit(text_[pos_]); }
  size_t DigitRun() const {
    size_t end = pos_;
    while (end < text_.size() && IsDigit(text_[end])) ++end;
    return end - pos_;
  }

  // One digit up to `width` digits (all of them under FX without FM); no value when the text
  // holds no digit here.
  std::optional<int64_t> ReadDigits(size_t width) {
    if (!DigitHere()) return std::nullopt;
    const size_t start = pos_;
    int64_t value = 0;
    while (pos_ < text_.size() && pos_ - start < width && IsDigit(text_[pos_])) {
      value = value * 10 + (text_[pos_] - '0');
      ++pos_;
    }
    if (exact_ && !fill_mode_ && pos_ - start != width) {
      Fail("ORA-01862: the numeric value does not match the length of the format item");
    }
    return value;
  }
  int64_t Number(size_t width, int64_t low, int64_t high, const char* out_of_range) {
    const std::optional<int64_t> v = ReadDigits(width);
    if (!v) NotNumeric();
    if (*v < low || *v > high) Fail(out_of_range);
    return *v;
  }

  // The index of the name (full, or its first three letters) that stands at the position.
  template <size_t N>
  int ReadName(const std::array<std::string_view, N>& names, bool full, bool abbreviated) {
    for (int pass = 0; pass < 2; ++pass) {
      if ((pass == 0 && !full) || (pass == 1 && !abbreviated)) continue;
      for (size_t i = 0; i < N; ++i) {
        const std::string_view name = pass == 0 ? names[i] : names[i].substr(0, 3);
        if (StartsWithCi(text_, pos_, name)) {
          pos_ += name.size();
          return static_cast<int>(i);
        }
      }
    }
    return -1;
  }
  int ReadRomanMonth() {
    int best = -1;
    size_t best_length = 0;
    for (size_t i = 0; i < kRomanMonths.size(); ++i) {
      if (kRomanMonths[i].size() > best_length && StartsWithCi(text_, pos_, kRomanMonths[i])) {
        best = static_cast<int>(i);
        best_length = kRomanMonths[i].size();
      }
    }
    pos_ += best_length;
    return best;
  }
  bool ReadWord(std::string_view a, std::string_view b, bool* second) {
    *second = StartsWithCi(text_, pos_, b);
    if (!*second && !StartsWithCi(text_, pos_, a)) return false;
    pos_ += *second ? b.size() : a.size();
    return true;
  }

  void ReadYear(Element e) {
    if (e == Element::kYCommaYYY) {
      const std::optional<int64_t> thousands = ReadDigits(1);
      if (!thousands) NotNumeric();
      if (pos_ >= text_.size() || text_[pos_] != ',') {
        Fail("ORA-01861: literal does not match format string");
      }
      ++pos_;
      d_.year = static_cast<int>(*thousands * 1000 + Number(3, 0, 999, ""));
      return;
    }
    bool negative = false;
    if (e == Element::kSYYYY && pos_ < text_.size() && (text_[pos_] == '-' || text_[pos_] == '+')) {
      negative = text_[pos_++] == '-';
    }
    const bool two_digit = e == Element::kYY || e == Element::kRR;
    const size_t run = DigitRun();
    const bool four_digit = !two_digit || ((run == 3 || run == 4) && !number_follows_);
    size_t width = 4;
    if (!four_digit) {
      width = 2;
    } else if (e == Element::kYYY) {
      width = 3;
    } else if (e == Element::kY) {
      width = 1;
    }
    const size_t start = pos_;
    const std::optional<int64_t> v =
        two_digit && four_digit ? ReadFourDigitYear() : ReadDigits(width);
    if (!v) NotNumeric();
    const int read = static_cast<int>(*v);
    const size_t digits = pos_ - start;
    if (e == Element::kYYY || e == Element::kY) {
      // The digits the current year has beyond them stay.
      const int modulus = e == Element::kYYY ? 1000 : 10;
      d_.year = today_year_ - today_year_ % modulus + read;
    } else if ((e == Element::kRR || e == Element::kRRRR) && digits <= 2) {
      d_.year = RoundedYear(read);
    } else if (e == Element::kYY && digits <= 2) {
      d_.year = today_year_ - today_year_ % 100 + read;
    } else {
      d_.year = negative ? -read : read;
    }
  }
  // The four digits a two-digit year element reads in place of two: its width is four, even
  // under FX.
  std::optional<int64_t> ReadFourDigitYear() {
    const bool exact = exact_;
    exact_ = false;
    std::optional<int64_t> v = ReadDigits(4);
    exact_ = exact;
    return v;
  }
  // RR: a year 00-49 is of the current year's century when the current year ends in 00-49 and
  // of the next one otherwise; 50-99 of the previous century when the current year ends in
  // 00-49 and of the current one otherwise.
  int RoundedYear(int two_digits) const {
    const int century = today_year_ - today_year_ % 100;
    const bool current_low = today_year_ % 100 < 50;
    if (two_digits < 50) return current_low ? century + two_digits : century + 100 + two_digits;
    return current_low ? century - 100 + two_digits : century + two_digits;
  }

  void ReadMonth(Element e) {
    int month = -1;
    if (e == Element::kMM) {
      if (DigitHere()) {
        d_.month = static_cast<int>(Number(2, 1, 12, "ORA-01843: not a valid month"));
        return;
      }
      if (exact_) NotNumeric();
      month = ReadName(kMonthNames, true, true);
    } else if (e == Element::kRM) {
      month = ReadRomanMonth();
    } else {
      const bool full = e == Element::kMonth;
      month = ReadName(kMonthNames, full || !exact_, !full || !exact_);
    }
    if (month < 0) Fail("ORA-01843: not a valid month");
    d_.month = month + 1;
  }

  void ReadOne(const FormatToken& t) {
    if (ReadDateElement(t) || ReadTimeElement(t)) return;
    switch (t.element) {
      case Element::kYYYY:
      case Element::kRRRR:
      case Element::kSYYYY:
      case Element::kYCommaYYY:
      case Element::kYY:
      case Element::kRR:
      case Element::kYYY:
      case Element::kY:
        ReadYear(t.element);
        return;
      default:
        ReadLiteral(t.literal);
    }
  }

  // Months, days of the month, year and week, and Julian days; false for others.
  bool ReadDateElement(const FormatToken& t) {
    switch (t.element) {
      case Element::kMM:
      case Element::kMon:
      case Element::kMonth:
      case Element::kRM:
        ReadMonth(t.element);
        return true;
      case Element::kDD:
        d_.day = static_cast<int>(
            Number(2, 1, 31, "ORA-01847: day of month must be between 1 and last day of month"));
        return true;
      case Element::kDDD:
        day_of_year_ = static_cast<int>(Number(
            3, 1, 366, "ORA-01848: day of year must be between 1 and 365 (366 for leap year)"));
        return true;
      case Element::kD:
        weekday_ = static_cast<int>(Number(1, 1, 7, "ORA-01846: not a valid day of the week")) - 1;
        return true;
      case Element::kDay:
      case Element::kDy: {
        const bool full = t.element == Element::kDay;
        weekday_ = ReadName(kDayNames, full || !exact_, !full || !exact_);
        if (weekday_ < 0) Fail("ORA-01846: not a valid day of the week");
        return true;
      }
      case Element::kJ:
        julian_ = Number(7, 1, 5373484, "ORA-01854: julian date must be between 1 and 5373484");
        return true;
      default:
        return false;
    }
  }

  // The time of day, meridians and eras; false for any other element.
  bool ReadTimeElement(const FormatToken& t) {
    bool second = false;
    switch (t.element) {
      case Element::kHH24:
        d_.hour = static_cast<int>(Number(2, 0, 23, "ORA-01850: hour must be between 0 and 23"));
        return true;
      case Element::kHH12:
        d_.hour = static_cast<int>(Number(2, 1, 12, "ORA-01849: hour must be between 1 and 12")) % 12;
        return true;
      case Element::kMI:
        d_.minute = static_cast<int>(Number(2, 0, 59, "ORA-01851: minutes must be between 0 and 59"));
        return true;
      case Element::kSS:
        d_.second = static_cast<int>(Number(2, 0, 59, "ORA-01852: seconds must be between 0 and 59"));
        return true;
      case Element::kSSSSS: {
        const int64_t v =
            Number(5, 0, 86399, "ORA-01853: seconds in day must be between 0 and 86399");
        d_.hour = static_cast<int>(v / 3600);
        d_.minute = static_cast<int>(v / 60 % 60);
        d_.second = static_cast<int>(v % 60);
        return true;
      }
      case Element::kAM:
      case Element::kAMDots: {
        const bool dots = t.element == Element::kAMDots;
        if (!ReadWord(dots ? "A.M." : "AM", dots ? "P.M." : "PM", &second)) {
          Fail("ORA-01855: AM/A.M. or PM/P.M. required");
        }
        pm_ = second;
        return true;
      }
      case Element::kAD:
      case Element::kADDots: {
        const bool dots = t.element == Element::kADDots;
        if (!ReadWord(dots ? "A.D." : "AD", dots ? "B.C." : "BC", &second)) {
          Fail("ORA-01856: BC/B.C. or AD/A.D. required");
        }
        bc_ = second;
        return true;
      }
      default:
        return false;
    }
  }

  // Punctuation stands for any one ASCII mark of the text, or for none (not under FX); other
  // text matches itself, letters in either case.
  void ReadLiteral(const std::string& literal) {
    const bool punctuation = literal.size() == 1 && IsSeparator(literal[0]);
    if (punctuation && !exact_) {
      const unsigned char c = static_cast<unsigned char>(text_[pos_]);
      if (c < 0x80 && c != ' ' && !IsAsciiAlnum(static_cast<char>(c))) {
        ++pos_;
      }
      return;
    }
    if (!StartsWithCi(text_, pos_, literal)) Fail("ORA-01861: literal does not match format string");
    pos_ += literal.size();
  }

  DateTime Finish() {
    if (!exact_) SkipBlanks();
    if (pos_ != text_.size()) {
      Fail("ORA-01830: date format picture ends before converting entire input string");
    }
    if (pm_) d_.hour += 12;
    if (julian_ > 0) CivilFromDays(julian_ - kJulianDayOfEpoch, &d_.year, &d_.month, &d_.day);
    if (d_.year < 1 || bc_) Fail(kDateRangeMessage);
    if (day_of_year_ > 0) {
      const bool leap = DaysInMonth(d_.year, 2) == 29;
      if (day_of_year_ > (leap ? 366 : 365)) {
        Fail("ORA-01848: day of year must be between 1 and 365 (366 for leap year)");
      }
      CivilFromDays(DaysFromCivil(d_.year, 1, 1) + day_of_year_ - 1, &d_.year, &d_.month, &d_.day);
    }
    if (!IsValid(d_)) Fail("ORA-01839: date not valid for month specified");
    if (weekday_ >= 0 && weekday_ != Weekday(d_)) {
      Fail("ORA-01835: day of week conflicts with Julian date");
    }
    return d_;
  }

  std::string_view text_;
  FormatTokens tokens_;
  int today_year_;
  size_t pos_ = 0;
  DateTime d_;
  bool pm_ = false, bc_ = false, exact_ = false, fill_mode_ = false, number_follows_ = false;
  int weekday_ = -1, day_of_year_ = 0;
  int64_t julian_ = 0;
};

}  // namespace

DateTime ParseDateModel(std::string_view text, std::string_view f, const DateTime& today) {
  return DateReader(text, f, today).Read();
}

bool DateModelReadsToday(std::string_view f) {
  bool full_year = false, month = false;
  try {
    for (size_t at = 0;;) {
      const FormatToken t = ReadElement(f, at);
      if (t.element == Element::kEnd) break;
      at += t.length;
      if (t.element == Element::kJ) return false;
      full_year = full_year || t.element == Element::kYYYY || t.element == Element::kSYYYY ||
                  t.element == Element::kYCommaYYY;
      month = month || t.element == Element::kMM || t.element == Element::kMon ||
              t.element == Element::kMonth || t.element == Element::kRM ||
              t.element == Element::kDDD;
    }
  } catch (const SqlError&) {
    return true;
  }
  return !(full_year && month);
}

}  // namespace korvalis::db
