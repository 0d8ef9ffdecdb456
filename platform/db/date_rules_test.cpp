// Oracle's rules for dates, run on both engines: TO_DATE and its format models (the
// leniencies without FX and the exact rules with it), TO_CHAR's numbers in words and ordinals,
// ROUND and TRUNC of dates by every unit, and EXTRACT. Each expected answer is the one Oracle's SQL reference gives.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/db/database_clock.h"
#include "platform/db/testing/db_test_util.h"
#include "platform/db/testing/engine_database.h"

namespace korvalis::db {
namespace {

using testing::Query;

class FixedClock : public DatabaseClock {
 public:
  DateTime Now() const override { return DateTime{2026, 12, 7, 10, 0, 0}; }
};

// `text` as an SQL literal.
std::string SqlText(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

class DateRulesTest : public ::testing::TestWithParam<Engine> {
 protected:
  static void SetUpTestSuite() { SetDatabaseClock(std::make_shared<FixedClock>()); }
  static void TearDownTestSuite() { SetDatabaseClock(nullptr); }
  void SetUp() override { c_ = testing::OpenEmptyDatabase(GetParam()); }

  // The value of `expression` selected from DUAL, or the description of its failure.
  std::string Value(const std::string& expression) {
    try {
      return testing::Scalar(*c_, "SELECT " + expression + " FROM DUAL");
    } catch (const DbError& e) {
      return e.what();
    }
  }
  std::unique_ptr<Connection> c_;
};

struct Case {
  const char* text;
  const char* format;
  const char* expected;  // the date, or the Oracle error the reading fails with
};

void ExpectAnswer(const std::string& answer, const Case& c) {
  const std::string expected = c.expected;
  if (expected.starts_with("ORA-")) {
    EXPECT_TRUE(answer.starts_with(expected)) << c.text << " by " << c.format << " -> " << answer;
  } else {
    EXPECT_EQ(answer, expected) << c.text << " by " << c.format;
  }
}

TEST_P(DateRulesTest, ToDateReadsWhatTheModelGivesAndOnlyTrailingTimeMayBeLeftOut) {
  const Case cases[] = {
      {"2026-12-07", "YYYY-MM-DD", "2026-12-07 00:00:00"},
      {"2026-12-07 09:05:30", "YYYY-MM-DD HH24:MI:SS", "2026-12-07 09:05:30"},
      {"2026-12-07", "YYYY-MM-DD HH24:MI:SS", "2026-12-07 00:00:00"},
      {"2026-12-07 10:30", "YYYY-MM-DD HH24:MI:SS", "2026-12-07 10:30:00"},
      {"2026-12-07 10", "YYYY-MM-DD HH24:MI:SS", "2026-12-07 10:00:00"},
      {"  2026-1-7 8:5:3  ", "YYYY-MM-DD HH24:MI:SS", "2026-01-07 08:05:03"},
      {"03:04 PM 2008-05-07", "HH:MI AM YYYY-MM-DD", "2008-05-07 15:04:00"},
      {"12:30 AM", "HH12:MI AM", "2026-12-01 00:30:00"},
      {"10:30", "HH24:MI", "2026-12-01 10:30:00"},
      {"07-15", "MM-DD", "2026-07-15 00:00:00"},
      {"2008", "YYYY", "2008-12-01 00:00:00"},
      {"2026年12月07日", "YYYY\"年\"MM\"月\"DD\"日\"", "2026-12-07 00:00:00"},
      {"2026-341", "YYYY-DDD", "2026-12-07 00:00:00"},
      {"2461382", "J", "2026-12-07 00:00:00"},
      {"36000", "SSSSS", "2026-12-01 10:00:00"},
      {"Monday 2026-12-07", "DAY YYYY-MM-DD", "2026-12-07 00:00:00"},
      {"VII.2026", "RM.YYYY", "2026-07-01 00:00:00"},
      // The text is shorter than the model, and not only by time fields; longer than it.
      {"2026-12", "YYYY-MM-DD", "ORA-01840"},
      {"2026", "YYYY-MM-DD HH24:MI:SS", "ORA-01840"},
      {"2026-12-05 10:00:00", "YYYY-MM-DD", "ORA-01830"},
      {"2026-12-07x", "YYYY-MM-DD", "ORA-01830"},
      // Fields out of their range, and a day the month does not have.
      {"2026-13-07", "YYYY-MM-DD", "ORA-01843"},
      {"2026-00-07", "YYYY-MM-DD", "ORA-01843"},
      {"2026-12-32", "YYYY-MM-DD", "ORA-01847"},
      {"2026-02-29", "YYYY-MM-DD", "ORA-01839"},
      {"2026-04-31", "YYYY-MM-DD", "ORA-01839"},
      {"0000-01-01", "YYYY-MM-DD", "ORA-01841"},
      {"2026-12-07 24:00", "YYYY-MM-DD HH24:MI", "ORA-01850"},
      {"2026-12-07 13:00", "YYYY-MM-DD HH:MI", "ORA-01849"},
      {"2026-12-07 10:60", "YYYY-MM-DD HH24:MI", "ORA-01851"},
      {"2026-12-07 10:00:60", "YYYY-MM-DD HH24:MI:SS", "ORA-01852"},
      {"2026-367", "YYYY-DDD", "ORA-01848"},
      {"Sunday 2026-12-07", "DAY YYYY-MM-DD", "ORA-01835"},
      {"10:30 XM", "HH:MI AM", "ORA-01855"},
      // Letters where a number stands, and a literal that is not there.
      {"yesterday", "YYYY-MM-DD", "ORA-01858"},
      {"2026-12-ab", "YYYY-MM-DD", "ORA-01858"},
      {"2026-ab-07", "YYYY-MM-DD", "ORA-01843"},
      {"2026x12x07", "YYYY\"x\"MM\"y\"DD", "ORA-01861"},
  };
  for (const Case& c : cases) {
    ExpectAnswer(Value("TO_DATE(" + SqlText(c.text) + ", " + SqlText(c.format) + ")"), c);
  }
}

TEST_P(DateRulesTest, WithoutFxPunctuationIsInterchangeableAndMayBeLeftOut) {
  const Case cases[] = {
      // All digits given: the punctuation may be left out of the text.
      {"20261207", "YYYY-MM-DD", "2026-12-07 00:00:00"},
      {"20261207093000", "YYYY-MM-DD HH24:MI:SS", "2026-12-07 09:30:00"},
      {"2026-1207", "YYYY-MM-DD", "2026-12-07 00:00:00"},
      // Any mark of the text stands for the model's punctuation; blanks are extra.
      {"2026/12/07", "YYYY-MM-DD", "2026-12-07 00:00:00"},
      {"2026.12.07 10.30", "YYYY-MM-DD HH24:MI", "2026-12-07 10:30:00"},
      {"07.12.2026", "DD/MM/YYYY", "2026-12-07 00:00:00"},
      {"15/ JAN /1998", "DD-MON-YYYY", "1998-01-15 00:00:00"},
      {" 15! JAN % /1998", "DD-MON-YYYY", "ORA-01858"},
      // Leading zeros left out, and then the punctuation cannot be.
      {"2026-1-7", "YYYY-MM-DD", "2026-01-07 00:00:00"},
      {"202617", "YYYY-MM-DD", "ORA-01843"},
  };
  for (const Case& c : cases) {
    ExpectAnswer(Value("TO_DATE(" + SqlText(c.text) + ", " + SqlText(c.format) + ")"), c);
  }
}

TEST_P(DateRulesTest, ElementsAcceptTheirDocumentedAlternatives) {
  // The clock stands at 2026-12-07: YY takes the current century, RR the nearest one.
  const Case cases[] = {
      {"10AUGUST2016", "DD-MM-RR", "2016-08-10 00:00:00"},
      {"10AUG2016", "DD-MM-RR", "2016-08-10 00:00:00"},
      {"10AUG2016", "DD-MONTH-RR", "2016-08-10 00:00:00"},
      {"10-august-2016", "DD-MON-YYYY", "2016-08-10 00:00:00"},
      {"10-Aug-2016", "DD-MONTH-YYYY", "2016-08-10 00:00:00"},
      {"10-Aug-2016", "DD-MON-YYYY", "2016-08-10 00:00:00"},
      {"10-Auf-2016", "DD-MON-YYYY", "ORA-01843"},
      {"26-12-07", "YY-MM-DD", "2026-12-07 00:00:00"},
      {"95-12-07", "YY-MM-DD", "2095-12-07 00:00:00"},
      {"2026-12-07", "YY-MM-DD", "2026-12-07 00:00:00"},
      {"261207", "YYMMDD", "2026-12-07 00:00:00"},
      {"95-12-07", "RR-MM-DD", "1995-12-07 00:00:00"},
      {"49-12-07", "RR-MM-DD", "2049-12-07 00:00:00"},
      {"50-12-07", "RR-MM-DD", "1950-12-07 00:00:00"},
      {"1950-12-07", "RR-MM-DD", "1950-12-07 00:00:00"},
      {"95", "RRRR", "1995-12-01 00:00:00"},
      {"1895", "RRRR", "1895-12-01 00:00:00"},
      {"7-12-07", "Y-MM-DD", "2027-12-07 00:00:00"},
      {"001-12-07", "YYY-MM-DD", "2001-12-07 00:00:00"},
      {"2,026-12-07", "Y,YYY-MM-DD", "2026-12-07 00:00:00"},
      {"+2026-12-07", "SYYYY-MM-DD", "2026-12-07 00:00:00"},
  };
  for (const Case& c : cases) {
    ExpectAnswer(Value("TO_DATE(" + SqlText(c.text) + ", " + SqlText(c.format) + ")"), c);
  }
}

TEST_P(DateRulesTest, WithFxTheTextMatchesTheModelExactly) {
  const Case cases[] = {
      {"15-JAN-1998", "FXDD-MON-YYYY", "1998-01-15 00:00:00"},
      {"01-JAN-1998", "FXDD-MON-YYYY", "1998-01-01 00:00:00"},
      {"15/JAN/1998", "FXDD-MON-YYYY", "ORA-01861"},
      {"1-JAN-1998", "FXDD-MON-YYYY", "ORA-01862"},
      {"1-JAN-1998", "FXFMDD-MON-YYYY", "1998-01-01 00:00:00"},
      {"15-JANUARY-1998", "FXDD-MON-YYYY", "ORA-01861"},
      {"15-JANUARY-1998", "FXDD-MONTH-YYYY", "1998-01-15 00:00:00"},
      {"15-jan-1998", "FXDD-MON-YYYY", "1998-01-15 00:00:00"},
      {"10-AUGUST-2016", "FXDD-MM-RR", "ORA-01858"},
      {"10-08-2016", "FXDD-MM-RR", "2016-08-10 00:00:00"},
      {" 15-JAN-1998", "FXDD-MON-YYYY", "ORA-01858"},
      {"15-JAN-1998 ", "FXDD-MON-YYYY", "ORA-01830"},
      {"2026-12-07 10:00", "FXYYYY-MM-DD HH24:MI:SS", "2026-12-07 10:00:00"},
      // FX toggles: exact for the date, lenient again for the time.
      {"2026-12-07 9/5", "FXYYYY-MM-DDFX HH24:MI", "2026-12-07 09:05:00"},
  };
  for (const Case& c : cases) {
    ExpectAnswer(Value("TO_DATE(" + SqlText(c.text) + ", " + SqlText(c.format) + ")"), c);
  }
}

TEST_P(DateRulesTest, ModelsThatCannotReadADateAreRefusedWhatEverTheText) {
  const Case cases[] = {
      {"2026-12-07 10:30", "YYYY-MM-DD HH:MM", "ORA-01810"},
      {"2026 26", "YYYY RR", "ORA-01812"},
      {"12 DEC", "MM MON", "ORA-01816"},
      {"10 10", "HH24 HH", "ORA-01813"},
      {"2 MON", "D DY", "ORA-01817"},
      {"10 AM", "HH24 AM", "ORA-01818"},
      {"2026 AD", "SYYYY AD", "ORA-01819"},
      {"2461382 341", "J DDD", "ORA-01811"},
      {"2026 4", "YYYY Q", "ORA-01820"},
      {"2026 49", "YYYY WW", "ORA-01820"},
      // Suffixes and years in words only format.
      {"2026-12-07TH", "YYYY-MM-DDTH", "ORA-01820"},
      {"2026-12-SEVEN", "YYYY-MM-DDSP", "ORA-01820"},
      {"TWENTY TWENTY-SIX", "YEAR", "ORA-01820"},
      {"2026-12-07", "YYYY-MM-DD \"T", "ORA-01821"},
  };
  for (const Case& c : cases) {
    ExpectAnswer(Value("TO_DATE(" + SqlText(c.text) + ", " + SqlText(c.format) + ")"), c);
  }
  EXPECT_EQ(Value("TO_DATE(NULL, 'YYYY-MM-DD')"), "<null>");
  EXPECT_EQ(Value("TO_DATE('2026-12-07', NULL)"), "<null>");
  EXPECT_EQ(Value("TO_DATE(20261207, 'YYYYMMDD')"), "2026-12-07 00:00:00");
}

// TO_CHAR's suffixes: TH writes the ordinal suffix after the element's digits, SP the number
// in words, SPTH (or THSP) the ordinal in words, each in the case of the element's first two
// letters; YEAR writes the year in words.
TEST_P(DateRulesTest, ToCharWritesOrdinalsAndNumbersInWords) {
  struct Written {
    const char* date;
    const char* format;
    const char* expected;  // the text, or the Oracle error writing it fails with
  };
  const Written cases[] = {
      {"2026-12-01", "DDTH", "01ST"},
      {"2026-12-02", "DDTH", "02ND"},
      {"2026-12-03", "DDTH", "03RD"},
      {"2026-12-04", "DDTH", "04TH"},
      {"2026-12-11", "DDTH", "11TH"},
      {"2026-12-12", "DDTH", "12TH"},
      {"2026-12-13", "DDTH", "13TH"},
      {"2026-12-21", "DDTH", "21ST"},
      {"2026-12-22", "DDTH", "22ND"},
      {"2026-12-23", "DDTH", "23RD"},
      {"2026-12-31", "DDTH", "31ST"},
      {"2026-12-07", "FMDDTH", "7TH"},
      {"2026-03-07", "FMMM-DDTH-MM fmMM", "3-7TH-3 03"},
      {"2026-12-07", "Ddth", "07th"},
      {"2026-12-07", "ddTH", "07th"},
      {"2026-12-07", "DDth", "07TH"},
      {"2026-12-07 13:00:00", "FMHH12TH HH24TH", "1ST 13TH"},
      {"2026-12-07", "DDDTH", "341ST"},
      {"2026-12-07 00:00:00", "SSTH", "ORA-01877"},
      {"2026-12-07", "DDSP", "SEVEN"},
      {"2026-12-07", "Ddsp", "Seven"},
      {"2026-12-07", "ddsp", "seven"},
      {"2026-12-01", "DDSPTH", "FIRST"},
      {"2026-12-12", "DDSPTH", "TWELFTH"},
      {"2026-12-22", "DDSPTH", "TWENTY-SECOND"},
      {"2026-12-23", "Ddspth", "Twenty-Third"},
      {"2026-12-30", "ddthsp", "thirtieth"},
      {"2007-04-03 02:01:01", "FMyyyyTH, mmTH, ddTH, hhTH, miTH, ssTH",
       "2007th, 4th, 3rd, 2nd, 1st, 1st"},
      {"2000-04-03 02:01:00", "mmSPTH, ddTHSP hh24SPTH, miTHSP, ssSPTH",
       "fourth, third second, first, zeroeth"},
      {"2026-12-07 00:00:00", "MMSP MISP SSSPTH", "TWELVE ZERO ZEROETH"},
      {"2026-12-07", "YYYYSP", "TWO THOUSAND TWENTY-SIX"},
      {"2026-12-07", "Jsp",
       "Two Million Four Hundred Sixty-One Thousand Three Hundred Eighty-Two"},
      {"2026-12-07", "fmDdspth \"of\" Month, YYYY", "Seventh of December, 2026"},
      {"2026-12-07", "YEAR", "TWENTY TWENTY-SIX"},
      {"2000-01-01", "Year", "Two Thousand"},
      {"1999-01-01", "year", "nineteen ninety-nine"},
      {"1900-01-01", "YEAR", "NINETEEN HUNDRED"},
      {"2005-01-01", "SYEAR", " TWO THOUSAND FIVE"},
      {"1582-10-15", "YEAR", "FIFTEEN EIGHTY-TWO"},
      // The seconds of the day, and the Roman month capitalised.
      {"2026-12-07 10:00:00", "SSSSS", "36000"},
      {"2026-12-07 00:00:05", "SSSSS FMSSSSS", "00005 5"},
      {"2026-12-07", "Rm;FMRm", "Xii ;Xii"},
      // No suffix on a signed year, Y,YYY or a name.
      {"2026-12-07", "SYYYYSP", "ORA-01821"},
      {"2026-12-07", "DAYTH", "ORA-01821"},
      {"2026-12-07", "MONTHSP", "ORA-01821"},
  };
  for (const Written& c : cases) {
    ExpectAnswer(Value("TO_CHAR(TO_DATE(" + SqlText(c.date) + ", 'YYYY-MM-DD HH24:MI:SS'), " +
                       SqlText(c.format) + ")"),
                 {c.date, c.format, c.expected});
  }
  // A text holding a date is written as the date; one holding a number as the number.
  Query(*c_, "CREATE TABLE DATE_WORDS (T VARCHAR2(20))");
  Query(*c_, "INSERT INTO DATE_WORDS VALUES ('2026-12-07 00:00:00')");
  EXPECT_EQ(Value("(SELECT TO_CHAR(T, 'Ddspth RRRR') FROM DATE_WORDS)"), "Seventh 2026");
  EXPECT_EQ(Value("TO_CHAR('-12', 'S99')"), "-12");
}

// DL and DS write the long and the short date of AMERICAN_AMERICA; TS, whose form the reference
// does not give, and the elements of timestamps and other calendars are refused for a DATE.
TEST_P(DateRulesTest, ToCharWritesTheLocaleDatesAndRefusesTimestampElements) {
  const Case cases[] = {
      {"2026-12-07", "DL", "Monday, December 7, 2026"},
      {"2026-03-05", "dl", "Thursday, March 5, 2026"},
      {"2026-03-05", "DS", "03/05/2026"},
      {"2026-03-05", "DL TS", "ORA-01821"},
      {"2026-03-05", "TS", "ORA-01821"},
      {"2026-03-05", "DS DL", "ORA-01821"},
      {"2026-03-05", "HH24:MI:SS.FF", "ORA-01821"},
      {"2026-03-05", "TZH:TZM", "ORA-01821"},
      {"2026-03-05", "TZR", "ORA-01821"},
      {"2026-03-05", "TZD", "ORA-01821"},
      {"2026-03-05", "E", "ORA-01821"},
      {"2026-03-05", "EE YYYY", "ORA-01821"},
  };
  for (const Case& c : cases) {
    ExpectAnswer(Value("TO_CHAR(DATE '" + std::string(c.text) + "', " + SqlText(c.format) + ")"), c);
  }
}

// A date model computed when the statement runs is read as one written in the statement.
TEST_P(DateRulesTest, ToCharReadsAModelComputedWhenTheStatementRuns) {
  Query(*c_, "CREATE TABLE MODELS (ID NUMBER, FMT VARCHAR2(40))");
  const char* models[] = {"DDSP",  "Ddspth \"of\" Month, YYYY", "DL",   "DS", "Year",
                          "SSSSS", "Rm;FMRm dd",               "FMDDTH Jsp", "HH:MI AM",
                          "DX"};
  for (size_t i = 0; i < std::size(models); ++i) {
    Query(*c_, "INSERT INTO MODELS VALUES (" + std::to_string(i) + ", " + SqlText(models[i]) + ")");
  }
  EXPECT_EQ(Query(*c_, "SELECT TO_CHAR(TO_DATE('2026-12-07 10:00', 'YYYY-MM-DD HH24:MI'), FMT) "
                      "FROM MODELS WHERE ID < 9 ORDER BY ID"),
            (testing::Rows{{"SEVEN"},
                           {"Seventh of December , 2026"},
                           {"Monday, December 7, 2026"},
                           {"12/07/2026"},
                           {"Twenty Twenty-Six"},
                           {"36000"},
                           {"Xii ;Xii 7"},
                           {"7TH Two Million Four Hundred Sixty-One Thousand Three Hundred "
                            "Eighty-Two"},
                           {"10:00 AM"}}));
  EXPECT_TRUE(Value("(SELECT TO_CHAR(DATE '2026-12-07', FMT) FROM MODELS WHERE ID = 9)")
                  .starts_with("ORA-01821"));
  EXPECT_EQ(Value("TO_CHAR(DATE '2026-12-07', DECODE(1, 1, 'DDSP'))"), "SEVEN");
}

TEST_P(DateRulesTest, ToDateOfAColumnReadsEachRowByTheRules) {
  Query(*c_, "CREATE TABLE DATE_TEXTS (ID NUMBER, TXT VARCHAR2(30), FMT VARCHAR2(30))");
  Query(*c_, "INSERT INTO DATE_TEXTS VALUES (1, '20261207', 'YYYY-MM-DD')");
  Query(*c_, "INSERT INTO DATE_TEXTS VALUES (2, '2026-12-07 10:00', 'YYYY-MM-DD HH24:MI:SS')");
  Query(*c_, "INSERT INTO DATE_TEXTS VALUES (3, '7-DEC-26', 'DD-MM-RR')");
  EXPECT_EQ(testing::Scalar(*c_,
                            "SELECT COUNT(*) FROM DATE_TEXTS WHERE TO_DATE(TXT, FMT) = "
                            "TO_DATE('2026-12-07', 'YYYY-MM-DD')"),
            "2");
  Query(*c_, "INSERT INTO DATE_TEXTS VALUES (4, '2026-12', 'YYYY-MM-DD')");
  EXPECT_TRUE(Value("(SELECT MAX(TO_DATE(TXT, FMT)) FROM DATE_TEXTS)").starts_with("ORA-01840"));
}

TEST_P(DateRulesTest, TextMeetingADateIsReadInTheDefaultFormat) {
  Query(*c_, "CREATE TABLE DAYS (ID NUMBER, D DATE)");
  Query(*c_, "INSERT INTO DAYS VALUES (1, '2026-12-07')");
  Query(*c_, "INSERT INTO DAYS VALUES (2, '20261208')");
  Query(*c_, "INSERT INTO DAYS VALUES (3, '2026/12/09 10:30')");
  EXPECT_EQ(testing::Scalar(*c_, "SELECT COUNT(*) FROM DAYS WHERE D >= '2026/12/08'"), "2");
  EXPECT_EQ(testing::Scalar(*c_, "SELECT TO_CHAR(MAX(D), 'YYYY-MM-DD HH24:MI') FROM DAYS"),
            "2026-12-09 10:30");
  // Every row by one model, and by a model of its own.
  EXPECT_EQ(Query(*c_, "SELECT TO_CHAR(D, 'MM/DD HH24:MI'), TO_CHAR(D, DECODE(ID, 2, 'YYYY', "
                      "'DD')) FROM DAYS ORDER BY ID"),
            (testing::Rows{{"12/07 00:00", "07"}, {"12/08 00:00", "2026"}, {"12/09 10:30", "09"}}));
  for (const char* text : {"2026-12", "2026-12-05 10:00:00 x", "yesterday", "2026-02-29"}) {
    try {
      Query(*c_, std::string("INSERT INTO DAYS VALUES (9, ") + SqlText(text) + ")");
      ADD_FAILURE() << text;
    } catch (const DbError& e) {
      EXPECT_TRUE(std::string(e.what()).starts_with("ORA-01861")) << text << ": " << e.what();
    }
  }
}

TEST_P(DateRulesTest, RoundGoesUpFromTheMiddleOfEachUnitAndTruncGoesDown) {
  struct Unit {
    const char* date;
    const char* unit;
    const char* rounded;
    const char* truncated;
  } units[] = {
      {"1992-10-27 00:00:00", "YEAR", "1993-01-01 00:00:00", "1992-01-01 00:00:00"},
      {"2026-06-30 23:59:59", "YYYY", "2026-01-01 00:00:00", "2026-01-01 00:00:00"},
      {"2026-07-01 00:00:00", "SYYYY", "2027-01-01 00:00:00", "2026-01-01 00:00:00"},
      {"2026-11-15 23:59:59", "Q", "2026-10-01 00:00:00", "2026-10-01 00:00:00"},
      {"2026-11-16 00:00:00", "Q", "2027-01-01 00:00:00", "2026-10-01 00:00:00"},
      {"2026-12-15 23:59:59", "MM", "2026-12-01 00:00:00", "2026-12-01 00:00:00"},
      {"2026-12-16 00:00:00", "MONTH", "2027-01-01 00:00:00", "2026-12-01 00:00:00"},
      {"2026-02-16 00:00:00", "MON", "2026-03-01 00:00:00", "2026-02-01 00:00:00"},
      // Weeks: from 1 January's weekday (a Thursday in 2026), from Monday, from the month's
      // first day's weekday, from Sunday; up from three and a half days.
      {"2026-12-06 11:59:59", "WW", "2026-12-03 00:00:00", "2026-12-03 00:00:00"},
      {"2026-12-06 12:00:00", "WW", "2026-12-10 00:00:00", "2026-12-03 00:00:00"},
      {"2026-12-10 11:59:59", "IW", "2026-12-07 00:00:00", "2026-12-07 00:00:00"},
      {"2026-12-10 12:00:00", "IW", "2026-12-14 00:00:00", "2026-12-07 00:00:00"},
      {"2026-12-11 12:00:00", "W", "2026-12-15 00:00:00", "2026-12-08 00:00:00"},
      {"2026-12-09 11:59:59", "DAY", "2026-12-06 00:00:00", "2026-12-06 00:00:00"},
      {"2026-12-09 12:00:00", "D", "2026-12-13 00:00:00", "2026-12-06 00:00:00"},
      {"2026-12-07 11:59:59", "DD", "2026-12-07 00:00:00", "2026-12-07 00:00:00"},
      {"2026-12-31 12:00:00", "J", "2027-01-01 00:00:00", "2026-12-31 00:00:00"},
      {"2026-12-07 10:29:59", "HH", "2026-12-07 10:00:00", "2026-12-07 10:00:00"},
      {"2026-12-07 23:30:00", "HH24", "2026-12-08 00:00:00", "2026-12-07 23:00:00"},
      {"2026-12-07 10:15:29", "MI", "2026-12-07 10:15:00", "2026-12-07 10:15:00"},
      {"2026-12-07 10:59:30", "MI", "2026-12-07 11:00:00", "2026-12-07 10:59:00"},
      {"2050-12-31 00:00:00", "CC", "2001-01-01 00:00:00", "2001-01-01 00:00:00"},
      {"2051-01-01 00:00:00", "SCC", "2101-01-01 00:00:00", "2001-01-01 00:00:00"},
  };
  for (const Unit& u : units) {
    const std::string date = "TO_DATE('" + std::string(u.date) + "', 'YYYY-MM-DD HH24:MI:SS')";
    const std::string unit = SqlText(u.unit);
    EXPECT_EQ(Value("ROUND(" + date + ", " + unit + ")"), u.rounded) << u.date << " " << u.unit;
    EXPECT_EQ(Value("TRUNC(" + date + ", " + unit + ")"), u.truncated) << u.date << " " << u.unit;
  }
  EXPECT_EQ(Value("ROUND(TO_DATE('2026-12-07 12:00', 'YYYY-MM-DD HH24:MI'))"),
            "2026-12-08 00:00:00");
  // The ISO year begins on the Monday of its first week; ROUND by it is refused by name.
  EXPECT_EQ(Value("TRUNC(TO_DATE('2027-01-01', 'YYYY-MM-DD'), 'IYYY')"), "2025-12-29 00:00:00");
  EXPECT_TRUE(Value("ROUND(TO_DATE('2026-12-07', 'YYYY-MM-DD'), 'IYYY')").find("ISO year") !=
              std::string::npos);
  EXPECT_TRUE(Value("ROUND(SYSDATE, 'XX')").starts_with("ORA-01898"));
  EXPECT_TRUE(Value("TRUNC(SYSDATE, 'XX')").starts_with("ORA-01898"));
}

TEST_P(DateRulesTest, ExtractGivesTheDateFieldsOfADateAndTheTimeOfATimestamp) {
  const std::string date = "TO_DATE('2026-12-07 10:20:30', 'YYYY-MM-DD HH24:MI:SS')";
  EXPECT_EQ(Value("EXTRACT(YEAR FROM " + date + ")"), "2026");
  EXPECT_EQ(Value("EXTRACT(MONTH FROM " + date + ")"), "12");
  EXPECT_EQ(Value("EXTRACT(DAY FROM " + date + ") + 1"), "8");
  EXPECT_EQ(Value("EXTRACT(YEAR FROM SYSDATE)"), "2026");
  EXPECT_EQ(Value("EXTRACT(YEAR FROM NULL)"), "<null>");
  // A DATE has no time fields for EXTRACT; a TIMESTAMP has.
  for (const char* field : {"HOUR", "MINUTE", "SECOND", "TIMEZONE_HOUR"}) {
    EXPECT_TRUE(Value(std::string("EXTRACT(") + field + " FROM " + date + ")")
                    .starts_with("ORA-30076"))
        << field;
  }
  EXPECT_EQ(Value("EXTRACT(HOUR FROM CAST(" + date + " AS TIMESTAMP))"), "10");
  EXPECT_EQ(Value("EXTRACT(MINUTE FROM TIMESTAMP '2026-12-07 10:20:30')"), "20");
  EXPECT_EQ(Value("EXTRACT(SECOND FROM TIMESTAMP '2026-12-07 10:20:30')"), "30");
  EXPECT_TRUE(Value("EXTRACT(TIMEZONE_HOUR FROM TIMESTAMP '2026-12-07 10:20:30')")
                  .starts_with("ORA-30076"));
  // A number or a text is no datetime: EXTRACT does not convert it.
  for (const char* source : {"2026", "'2026-12-07'", "TO_CHAR(SYSDATE)", "'2026' || '-12-07'"}) {
    EXPECT_TRUE(Value(std::string("EXTRACT(YEAR FROM ") + source + ")").starts_with("ORA-30076"))
        << source;
  }

  Query(*c_, "CREATE TABLE STAMPS (ID NUMBER, D DATE, T TIMESTAMP)");
  Query(*c_,
        "INSERT INTO STAMPS VALUES (1, '2026-12-07 08:09:10', TIMESTAMP '2026-11-30 23:45:00')");
  EXPECT_EQ(testing::Scalar(*c_,
                            "SELECT EXTRACT(MONTH FROM D) || '/' || EXTRACT(HOUR FROM T) || '/' "
                            "|| EXTRACT(MINUTE FROM X.T) FROM (SELECT D, T FROM STAMPS) X"),
            "12/23/45");
  EXPECT_EQ(testing::Scalar(*c_, "SELECT COUNT(*) FROM STAMPS WHERE EXTRACT(DAY FROM D) = 7"),
            "1");
  EXPECT_TRUE(Value("(SELECT EXTRACT(HOUR FROM D) FROM STAMPS)").starts_with("ORA-30076"));
}

// Both engines read every text alike: texts made from valid ones by dropping, doubling,
// replacing and blanking characters, read by models of every kind, give the same date or
// the same failure on the embedded file and on the server.
TEST(DateReadersTest, BothEnginesReadGeneratedTextsAlike) {
  SetDatabaseClock(std::make_shared<FixedClock>());
  auto embedded = testing::OpenEmptyDatabase(Engine::kSqlite);
  auto server = testing::OpenEmptyDatabase(Engine::kPostgres);
  auto value = [](Connection& c, const std::string& sql) {
    try {
      return testing::Scalar(c, sql);
    } catch (const DbError& e) {
      const std::string what = e.what();
      return what.substr(0, what.find(':'));  // the Oracle error code
    }
  };
  const std::pair<const char*, const char*> seeds[] = {
      {"2026-12-07 09:05:30", "YYYY-MM-DD HH24:MI:SS"},
      {"07/12/26 9:05 PM", "DD/MM/RR HH:MI AM"},
      {"7-Dec-2026", "DD-MON-YYYY"},
      {"December 7, 2026", "Month DD, YYYY"},
      {"2026.341 36000", "YYYY.DDD SSSSS"},
      {"Mon 2026-12-07", "DY YYYY-MM-DD"},
      {"26-XII-07", "YY-RM-DD"},
      {"2026-12-07 09:05", "FXYYYY-MM-DD FMHH24:MI"},
      {"2,026/12/07 a.m.", "Y,YYY/MM/DD A.M."},
      {"2026年12月07日", "YYYY\"年\"MM\"月\"DD\"日\""},
  };
  const std::string marks = "0123456789 -/:.,AZaz";
  std::mt19937 random(20261207);
  for (const auto& [text, format] : seeds) {
    for (int round = 0; round < 60; ++round) {
      std::string mutated = text;
      for (int edits = 1 + static_cast<int>(random() % 3); edits > 0 && !mutated.empty(); --edits) {
        const size_t at = random() % mutated.size();
        if (static_cast<unsigned char>(mutated[at]) >= 0x80) continue;  // whole characters only
        switch (random() % 4) {
          case 0:
            mutated.erase(at, 1);
            break;
          case 1:
            mutated.insert(at, 1, mutated[at]);
            break;
          case 2:
            mutated[at] = marks[random() % marks.size()];
            break;
          default:
            mutated.insert(at, " ");
            break;
        }
      }
      if (round == 0) mutated = text;
      const std::string sql =
          "SELECT TO_DATE(" + SqlText(mutated) + ", " + SqlText(format) + ") FROM DUAL";
      EXPECT_EQ(value(*embedded, sql), value(*server, sql)) << mutated << " by " << format;
    }
  }
  SetDatabaseClock(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Engines, DateRulesTest, testing::kBothEngines, testing::EngineName);

}  // namespace
}  // namespace korvalis::db
