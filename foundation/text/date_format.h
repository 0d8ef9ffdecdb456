// CDateFormat shows a date text in one of the known patterns: 20 built in, extended by the
// `format` elements of the system parameter `system_datetime_format`. Tokens: yyyy (year),
// yy (year modulo 100, unpadded), mm (month), dd (day), hh (hour, 0-23), MM (minute), ss
// (second), the last five padded to two digits; other characters pass unchanged. A pattern
// outside the table gives the standard form "YYYY-MM-DD HH:MM:SS".
//
// The pattern table is process-wide: filled once on first use, the configured formats read
// through a CEMRDataSource (a database or XML failure leaves the built-in patterns only).
//
// Thread-safety: the table's filling is guarded; a CDateFormat (with the date it parsed)
// belongs to one thread.
#pragma once

#include <functional>
#include <map>
#include <string>

// A calendar date and time as the system parses it.
struct DateTimeParts {
  int year = -1;
  int month = -1;
  int day = -1;
  int hour = -1;
  int minute = -1;
  int second = -1;
};

// Parses a date text: a date "Y-M-D", "Y/M/D", "Y.M.D" or "Y年M月D日" (year of four digits,
// month and day of one or two), optionally followed by blanks (or "T") and a time "H:M" or
// "H:M:S"; or a time alone, which falls on 1899-12-30. Surrounding blanks are ignored.
// Returns false for anything else, and for dates and times that do not exist.
bool ParseDateTimeText(const std::u16string& text, DateTimeParts& parts);

class CDateFormat {
 public:
  CDateFormat();
  virtual ~CDateFormat();

  // Parses `date` and, when it parses, sets `out` to it in `pattern` and returns true;
  // otherwise returns false and leaves `out` unchanged.
  bool Format(const std::u16string& date, const std::u16string& pattern, std::u16string& out);
  // Parses into this object's date; false (and the date invalid) when the text does not parse.
  bool ParseDate(const std::u16string& date);
  // The parsed date in `pattern` (parts of an invalid date read "-1").
  std::u16string FormatParsed(const std::u16string& pattern);
  // Fills the process-wide pattern table when it is empty.
  void InitPatterns();
  // Adds the configured formats to the pattern table; failures are dropped.
  virtual void LoadConfiguredFormats();
  // `text` right-aligned in `width`, filled with "0".
  static std::u16string PadNumber(const std::u16string& text, std::size_t width);

 protected:
  // Adds one pattern to the process-wide table.
  static void AddPattern(const std::u16string& pattern);

 private:
  bool valid_ = false;
  DateTimeParts parsed_;
  std::map<std::u16string, std::u16string, std::greater<std::u16string>> token_values_;
};
