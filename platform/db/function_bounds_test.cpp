// The embedded file's own SQL functions within their statement's bounds: a call that would work
// past Command Timeout stops there with ORA-01013, searches shaped to almost match everywhere
// cost what ordinary ones cost, so that they answer well within it, and a function's texts
// count against the memory bound, refused with ORA-04030 before they pass it.
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/db/connection_pool.h"
#include "platform/db/sql_error.h"
#include "platform/db/statement_deadline.h"
#include "platform/db/testing/db_test_util.h"
#include "platform/db/testing/engine_database.h"
#include "platform/db/testing/function_sweep.h"
#include "platform/sys/testing/resident_memory.h"

namespace korvalis::db {
namespace {

using testing::Scalar;

// 3,276,700 letters 'a'.
constexpr const char* kManyA = "REPLACE(RPAD('a', 32767, 'a'), 'a', RPAD('a', 100, 'a'))";

class FunctionBoundsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    database_.owner().Execute("CREATE TABLE R_ROWS (ID NUMBER(10))");
    database_.owner().Execute("INSERT INTO R_ROWS SELECT LEVEL FROM DUAL CONNECT BY LEVEL <= 3000");
    c_ = OpenConnection(database_.init_string() + ";Command Timeout=1");
  }

  // `expression`'s value, computed once before a scan of 3,000 rows: a call that took longer
  // than the Command Timeout fails the scan that follows it.
  std::string ValueBeforeScan(const std::string& expression) {
    return ValueBeforeScan(*c_, expression);
  }
  static std::string ValueBeforeScan(Connection& c, const std::string& expression) {
    return Scalar(c, "SELECT MAX(" + expression + ") || '/' || COUNT(ID) FROM R_ROWS");
  }

  testing::SharedEmptyDatabase database_{Engine::kSqlite, "function_bounds"};
  std::unique_ptr<Connection> c_;
};

void ExpectCancelled(Connection& c, const std::string& sql) {
  try {
    testing::Query(c, sql);
    ADD_FAILURE() << sql << " was not cancelled";
  } catch (const DbError& e) {
    EXPECT_EQ(e.code(), kBusy) << sql;
    EXPECT_TRUE(IsCommandTimedOut(e)) << sql << ": " << e.what();
    EXPECT_NE(std::string(e.what()).find("Command Timeout of 1 seconds"), std::string::npos);
  }
}

TEST_F(FunctionBoundsTest, RegularExpressionsStopAtTheCommandTimeout) {
  // Every way of matching five runs of 'a' is weighed at each of 400 matches.
  ExpectCancelled(*c_,
                  "SELECT LENGTH(REGEXP_REPLACE(RPAD('x', 32767, RPAD('a', 80, 'a') || 'x'), "
                  "'(b?)(a*)(a*)(a*)(a*)(a*)', '<\\1>')) L FROM DUAL");
  // Patterns that fail only at the text's end, tried at each of its positions.
  ExpectCancelled(*c_, "SELECT REGEXP_COUNT(" + std::string(kManyA) + ", 'a*[bc]') FROM DUAL");
  ExpectCancelled(*c_, "SELECT REGEXP_INSTR(" + std::string(kManyA) +
                           ", '(a*)[bc]', 1, 1, 0, 'c', 1) FROM DUAL");
  // The automaton, at every position, keeps a hundred ways alive to the text's end.
  ExpectCancelled(*c_,
                  "SELECT REGEXP_COUNT(" + std::string(kManyA) + ", 'a*(a?){100}[bc]') FROM DUAL");
  // The connection goes on.
  EXPECT_EQ(Scalar(*c_, "SELECT REGEXP_REPLACE('a1b22', '([0-9]+)', '<\\1>') FROM DUAL"),
            "a<1>b<22>");
}

// The processor time `work` takes on the calling thread, where the embedded engine runs its
// statement: the least of `runs`, so that a first run's warming up is not counted. A loaded
// machine does not stretch it, and a slower build (the sanitizers') stretches two statements of
// the same functions alike, so that bounds are tested as ratios of two such times.
template <class Work>
std::chrono::nanoseconds LeastProcessorTime(int runs, Work work) {
  std::chrono::nanoseconds least = std::chrono::nanoseconds::max();
  for (int i = 0; i < runs; ++i) {
    const std::chrono::nanoseconds start = ThreadProcessorTime();
    work();
    least = std::min(least, ThreadProcessorTime() - start);
  }
  return least;
}

// Searches shaped to almost match at each of the 3,276,700 places of a text cost what an ordinary
// search of that text costs, not the pattern's length at each place (with a pattern of 32,767
// letters, 10^11 steps): a pattern eight times as long as another costs no more than three
// times as much (measured, 0.7 to 1.5 times, with the sanitizers or without). The Command
// Timeout only ends a search that has gone quadratic.
TEST_F(FunctionBoundsTest, SearchesThatAlmostMatchEverywhereAnswerWithinTheBound) {
  std::unique_ptr<Connection> c = OpenConnection(database_.init_string() + ";Command Timeout=60");
  const std::string a = kManyA;
  // The searches with a pattern (or a set) of `m` letters, and their answers.
  const auto searches = [&a](int m) {
    const std::string almost = "RPAD('a', " + std::to_string(m - 1) + ", 'a') || 'b'";
    const std::string letters = "RPAD('a', " + std::to_string(m) + ", 'a')";
    const std::string set = "RPAD('b', " + std::to_string(m) + ", 'b') || 'a'";
    return std::vector<std::pair<std::string, std::string>>{
        {"LENGTH(REPLACE(" + a + ", " + almost + ", 'x'))", "3276700/3000"},
        {"INSTR(" + a + ", " + almost + ")", "0/3000"},
        {"INSTR(" + a + ", " + almost + ", -1)", "0/3000"},
        // Occurrences overlap: the millionth starts at the millionth letter, counted from either
        // end.
        {"INSTR(" + a + ", " + letters + ", 1, 1000000)", "1000000/3000"},
        {"INSTR(" + a + ", " + letters + ", -1, 1000000)", std::to_string(2276702 - m) + "/3000"},
        {"LENGTH(TRANSLATE(" + a + ", " + set + ", RPAD('c', " + std::to_string(m) +
             ", 'c') || 'd'))",
         "3276700/3000"},
        {"NVL(LENGTH(LTRIM(" + a + ", " + set + ")), 0)", "0/3000"},
        {"NVL(LENGTH(RTRIM(" + a + ", " + set + ")), 0)", "0/3000"},
    };
  };
  const auto shorter = searches(4096);
  const auto longer = searches(32767);
  for (size_t i = 0; i < longer.size(); ++i) {
    const auto spent = [&](const std::pair<std::string, std::string>& search) {
      return LeastProcessorTime(
          2, [&] { EXPECT_EQ(ValueBeforeScan(*c, search.first), search.second) << search.first; });
    };
    const std::chrono::nanoseconds short_pattern = spent(shorter[i]);
    const std::chrono::nanoseconds long_pattern = spent(longer[i]);
    EXPECT_LT(long_pattern, 3 * short_pattern) << longer[i].first;
  }
}

TEST_F(FunctionBoundsTest, LikeAnswersWithinTheBoundOrStopsAtIt) {
  const std::string a = kManyA;
  // The piece after the last '%' is matched at the text's end once; a piece between two is
  // looked for by a linear search.
  EXPECT_EQ(ValueBeforeScan("CASE WHEN " + a +
                            " LIKE '%' || RPAD('a', 4000, 'a') || 'b' "
                            "THEN 1 ELSE 0 END"),
            "0/3000");
  EXPECT_EQ(ValueBeforeScan("CASE WHEN " + a +
                            " LIKE '%' || RPAD('a', 32766, 'a') || 'b%' "
                            "THEN 1 ELSE 0 END"),
            "0/3000");
  // A piece with '_' is tried at every character of the text: 20,000 characters at each of
  // 3,276,700 stop at the deadline.
  ExpectCancelled(*c_, "SELECT COUNT(*) FROM DUAL WHERE " + a +
                           " LIKE '%' || "
                           "RPAD('a_', 40000, 'a_') || 'b%'");
}

// The same functions on both engines: the server's own answers are the reference.
class FunctionAgreementTest : public ::testing::TestWithParam<Engine> {
 protected:
  testing::SharedEmptyDatabase database_{GetParam(), "function_agreement"};
  std::unique_ptr<Connection> c_ = OpenConnection(database_.init_string() + ";Command Timeout=60");
};

TEST_P(FunctionAgreementTest, SearchesKeepTheirResultsOnOrdinaryTexts) {
  EXPECT_EQ(Scalar(*c_, "SELECT INSTR('ababab', 'aba', 1, 2) FROM DUAL"), "3");
  EXPECT_EQ(Scalar(*c_, "SELECT INSTR('ababab', 'aba', -1, 1) FROM DUAL"), "3");
  EXPECT_EQ(Scalar(*c_, "SELECT INSTR('ababab', 'aba', -2, 2) FROM DUAL"), "1");
  EXPECT_EQ(Scalar(*c_, "SELECT INSTR('ababab', 'aba', -4, 1) FROM DUAL"), "3");
  EXPECT_EQ(Scalar(*c_, "SELECT INSTR('ababab', 'aba', -5, 1) FROM DUAL"), "1");
  // Patterns of over 32 bytes take the search that keeps what it matched.
  EXPECT_EQ(Scalar(*c_,
                   "SELECT INSTR(RPAD('ab', 200, 'ab'), RPAD('ab', 40, 'ab'), 2, 3) || ',' || "
                   "INSTR(RPAD('ab', 200, 'ab'), RPAD('ab', 40, 'ab'), -1, 2) || ',' || "
                   "INSTR(RPAD('ab', 200, 'ab'), RPAD('ab', 40, 'ab'), -42, 2) FROM DUAL"),
            "7,159,157");
  EXPECT_EQ(Scalar(*c_, "SELECT INSTR('病人病人病', '人病', 3) FROM DUAL"), "4");
  // A search from character 0 finds nothing.
  EXPECT_EQ(Scalar(*c_, "SELECT INSTR('abc', 'b', 0, 1) || ',' || INSTR('abc', 'c', 0) FROM DUAL"),
            "0,0");
  EXPECT_EQ(Scalar(*c_, "SELECT INSTR('病人病人病', '人病', -1, 2) FROM DUAL"), "2");
  EXPECT_EQ(Scalar(*c_, "SELECT REPLACE('病人病人', '人', 'x') FROM DUAL"), "病x病x");
  EXPECT_EQ(Scalar(*c_, "SELECT TRANSLATE('病人abc', '人ab病', 'X1') FROM DUAL"), "X1c");
  EXPECT_EQ(Scalar(*c_, "SELECT TRANSLATE('aab', 'aa', 'xy') FROM DUAL"), "xxb");
  EXPECT_EQ(Scalar(*c_, "SELECT LTRIM('病病人x', '病') || '|' || RTRIM('x人人', '人') FROM DUAL"),
            "人x|x");
  EXPECT_EQ(Scalar(*c_, "SELECT SUBSTR('病人abc', -4, 2) || SUBSTR('病人abc', 2) FROM DUAL"),
            "人a人abc");
  EXPECT_EQ(Scalar(*c_, "SELECT LPAD('病人', 5, 'ab') || '|' || RPAD('病人abc', 3) FROM DUAL"),
            "aba病人|病人a");
  EXPECT_EQ(Scalar(*c_, "SELECT NVL(SUBSTR('abc', 4), 'none') FROM DUAL"), "none");
}

TEST_P(FunctionAgreementTest, LikeMatchesAsOracle) {
  const struct {
    const char* condition;
    const char* matches;
  } kCases[] = {
      {"'abc' LIKE 'abc'", "1"},
      {"'abc' LIKE 'ab'", "0"},
      {"'abc' LIKE 'a%'", "1"},
      {"'abc' LIKE '%c'", "1"},
      {"'abc' LIKE '%b%'", "1"},
      {"'abc' LIKE 'a_c'", "1"},
      {"'abc' LIKE '_'", "0"},
      {"'ABC' LIKE 'abc'", "0"},
      {"'病人x' LIKE '__x'", "1"},
      {"'病人x' LIKE '病%'", "1"},
      {"'病人x' LIKE '_x'", "0"},
      {"'aXbXc' LIKE 'a%b%c'", "1"},
      {"'abab' LIKE '%ab%ab'", "1"},
      {"'aab' LIKE '%ab'", "1"},
      {"'ab' LIKE 'ab%b'", "0"},
      {"'abc' LIKE '%%c'", "1"},
      {"'axbyc' LIKE '%x_y%'", "1"},
      {"'axbbyc' LIKE '%x_y_'", "0"},
      {"'a%b' LIKE 'a\\%b' ESCAPE '\\'", "1"},
      {"'axb' LIKE 'a\\%b' ESCAPE '\\'", "0"},
      {"'a_b' LIKE 'a!_b' ESCAPE '!'", "1"},
      {"'axb' LIKE 'a!_b' ESCAPE '!'", "0"},
      {"'abc' NOT LIKE 'a%'", "0"},
      // A pattern of 60,000 bytes, past what the file's engine matched itself.
      {"'x' LIKE RPAD('病', 20000, '病')", "0"},
      {"RPAD('病', 20000, '病') LIKE RPAD('病', 19999, '病') || '_'", "1"},
  };
  for (const auto& k : kCases) {
    EXPECT_EQ(Scalar(*c_, std::string("SELECT CASE WHEN ") + k.condition +
                              " THEN 1 ELSE 0 END FROM DUAL"),
              k.matches)
        << k.condition;
  }
  EXPECT_EQ(Scalar(*c_,
                   "SELECT NVL(TO_CHAR(CASE WHEN NULL LIKE 'a' THEN 1 WHEN NOT (NULL LIKE "
                   "'a') THEN 0 END), 'null') FROM DUAL"),
            "null");
  // A column's index searched by a pattern's first characters finds what the match finds.
  c_->Execute("CREATE TABLE LIKE_CODES (CODE VARCHAR2(8) PRIMARY KEY)");
  for (const char* code : {"R", "RS", "RS1", "RS病", "RT", "rs1", "QS", "病", "病人", "痘"}) {
    c_->Execute(std::string("INSERT INTO LIKE_CODES VALUES ('") + code + "')");
  }
  const auto matched = [&](const std::string& pattern) {
    return Scalar(*c_,
                  "SELECT LISTAGG(CODE, ',') WITHIN GROUP (ORDER BY CODE) FROM LIKE_CODES "
                  "WHERE CODE LIKE '" +
                      pattern + "'");
  };
  EXPECT_EQ(matched("RS%"), "RS,RS1,RS病");
  EXPECT_EQ(matched("R_%"), "RS,RS1,RS病,RT");
  EXPECT_EQ(matched("病%"), "病,病人");
  EXPECT_EQ(matched("RS_"), "RS1,RS病");
}

TEST_P(FunctionAgreementTest, SearchesThatAlmostMatchEverywhereAnswerAlike) {
  // 327,670 letters 'a', and searches of 1,000 letters 'a' and one 'b'.
  const std::string a = "REPLACE(RPAD('a', 32767, 'a'), 'a', RPAD('a', 10, 'a'))";
  const std::string almost = "RPAD('a', 1000, 'a') || 'b'";
  const std::string around = "'b' || " + a + " || " + almost + " || 'a'";
  EXPECT_EQ(Scalar(*c_, "SELECT LENGTH(REPLACE(" + a + ", " + almost + ", 'x')) || ',' || INSTR(" +
                            a + ", RPAD('a', 1000, 'a'), 2, 3000) || ',' || INSTR(" + a +
                            ", RPAD('a', 1000, 'a'), -2, 3000) || ',' || INSTR(" + a + ", " +
                            almost + ") || ',' || INSTR(" + around + ", " + almost +
                            ", 5) || ',' || "
                            "INSTR(" +
                            around + ", " + almost + ", -1) || ',' || INSTR(" + a + ", " + almost +
                            ", -1) FROM DUAL"),
            "327670,3001,323672,0,327672,327672,0");
  EXPECT_EQ(Scalar(*c_, "SELECT LENGTH(REPLACE(" + a +
                            ", RPAD('a', 1000, 'a'), 'b')) || ',' || "
                            "LENGTH(TRANSLATE(" +
                            a +
                            ", 'ba', 'cd')) || ',' || "
                            "NVL(LENGTH(LTRIM(" +
                            a + ", 'ba')), 0) FROM DUAL"),
            "997,327670,0");
}

// INSTR as Oracle counts it: occurrences may overlap; a negative position counts from the end
// and searches backwards.
int ReferenceInstr(const std::u32string& text, const std::u32string& search, int position,
                   int occurrence) {
  const int n = static_cast<int>(text.size()), m = static_cast<int>(search.size());
  const int step = position > 0 ? 1 : -1;
  int found = 0;
  for (int i = position > 0 ? position : std::min(n + position + 1, n - m + 1);
       i >= 1 && i + m - 1 <= n; i += step) {
    if (text.compare(i - 1, m, search) == 0 && ++found == occurrence) return i;
  }
  return 0;
}

TEST_P(FunctionAgreementTest, InstrAgreesWithOraclesCountingOnShapedTexts) {
  // Texts of 'a', 'b' and '病', so that search texts that overlap themselves and ones that
  // cannot both occur, at positions from either end.
  const std::u32string letters = U"ab病";
  unsigned seed = 7;
  auto next = [&seed](unsigned bound) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % bound;
  };
  auto word = [&](unsigned length) {
    std::u32string w;
    for (unsigned i = 0; i < length; ++i) w += letters[next(3)];
    return w;
  };
  auto utf8 = [](const std::u32string& w) {
    std::string out;
    for (char32_t c : w) out += c == U'病' ? "\xE7\x97\x85" : std::string(1, static_cast<char>(c));
    return out;
  };
  std::string select = "SELECT ''", expected;
  for (int i = 0; i < 150; ++i) {
    const std::u32string text = word(1 + next(14)), search = word(1 + next(3));
    const int position = static_cast<int>(next(17)) - 8, occurrence = 1 + next(3);
    if (position == 0) continue;
    select += " || ',' || INSTR('" + utf8(text) + "', '" + utf8(search) + "', " +
              std::to_string(position) + ", " + std::to_string(occurrence) + ")";
    expected += "," + std::to_string(ReferenceInstr(text, search, position, occurrence));
  }
  EXPECT_EQ(Scalar(*c_, select + " FROM DUAL"), expected);

  // Past 1 MiB of text, the occurrences near 209,716 lying around the first MiB of either end.
  std::u32string long_text;
  for (int i = 0; i < 400000; ++i) long_text += U"ab病";
  select = "SELECT ''";
  expected.clear();
  for (const std::u32string search : {U"b", U"病a", U"b病a"}) {
    for (const int position : {2, -3}) {
      for (const int occurrence : {209715, 209716, 209717, 399999}) {
        select += " || ',' || INSTR(REPLACE(RPAD('x', 20000, 'x'), 'x', RPAD('ab病', 60, 'ab病')), '" +
                  utf8(search) + "', " + std::to_string(position) + ", " +
                  std::to_string(occurrence) + ")";
        expected +=
            "," + std::to_string(ReferenceInstr(long_text, search, position, occurrence));
      }
    }
  }
  EXPECT_EQ(Scalar(*c_, select + " FROM DUAL"), expected);
}

INSTANTIATE_TEST_SUITE_P(Engines, FunctionAgreementTest, testing::kBothEngines,
                         testing::EngineName);

// The automaton that finds a match's end reads a text of any length whole: past ten million
// characters it used to give up ("match limit exceeded").
TEST_F(FunctionBoundsTest, ARegularExpressionReadsALongTextWhole) {
  std::unique_ptr<Connection> c = OpenConnection(database_.init_string() + ";Command Timeout=0");
  const std::string long_text = "REPLACE(RPAD('x', 32767, 'x'), 'x', RPAD('x', 400, 'x'))";
  EXPECT_EQ(Scalar(*c, "SELECT REGEXP_INSTR(" + long_text + ", 'x$') || ',' || REGEXP_COUNT(" +
                           long_text + ", 'y') FROM DUAL"),
            "13106800,0");
}

using sys::testing::ResetPeak;
using sys::testing::ResidentBytes;

TEST_F(FunctionBoundsTest, AFunctionReadsAHugeTextInPlace) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's own bookkeeping grows with every allocation";
#endif
  if (!ResetPeak()) GTEST_SKIP() << "the peak of resident memory cannot be reset here";
  // 32,767,000 characters: held by the engine, and read where they are, with no index of
  // their characters beside them.
  const size_t text_bytes = size_t{32767} * 1000;
  const std::string huge = "REPLACE(RPAD('x', 32767, 'x'), 'x', RPAD('x', 1000, 'x'))";
  // Its subject is memory, not time: no bound in time, which a loaded machine could pass.
  const std::unique_ptr<Connection> c =
      OpenConnection(database_.init_string() + ";Command Timeout=0");
  const size_t before = ResidentBytes("VmRSS:");
  EXPECT_EQ(Scalar(*c, "SELECT SUBSTR(" + huge + ", 2, 3) FROM DUAL"), "xxx");
  EXPECT_EQ(Scalar(*c, "SELECT SUBSTR(" + huge + ", -32766999, 2) FROM DUAL"), "xx");
  EXPECT_EQ(Scalar(*c, "SELECT INSTR(" + huge + ", 'x', -1, 32767000) FROM DUAL"), "1");
  EXPECT_EQ(Scalar(*c, "SELECT LENGTH(" + huge + ") FROM DUAL"), "32767000");
  EXPECT_EQ(Scalar(*c, "SELECT LENGTH(TRANSLATE(" + huge + ", 'x', 'y')) FROM DUAL"), "32767000");
  EXPECT_EQ(Scalar(*c, "SELECT REGEXP_INSTR(" + huge + ", 'y') FROM DUAL"), "0");
  const size_t peak = ResidentBytes("VmHWM:") - before;
  EXPECT_LT(peak, 3 * text_bytes) << peak << " bytes at the peak for a text of " << text_bytes;
}

TEST_F(FunctionBoundsTest, ATextPastTheMemoryBoundIsRefusedBeforeItIsBuilt) {
  // 1 GB by one REPLACE, by nested doubling, by a regular expression and by concatenation.
  const std::string quarter = "REPLACE(RPAD('x', 32767, 'x'), 'x', RPAD('x', 4096, 'x'))";
  const std::string kRunaways[] = {
      "SELECT LENGTH(REPLACE(RPAD('x', 32767, 'x'), 'x', RPAD('x', 32767, 'x'))) FROM DUAL",
      "SELECT LENGTH(REPLACE(REPLACE(REPLACE(" + quarter +
          ", RPAD('x', 1024, 'x'), RPAD('x', 2048, 'x')), RPAD('x', 1024, 'x'), "
          "RPAD('x', 2048, 'x')), RPAD('x', 1024, 'x'), RPAD('x', 2048, 'x'))) FROM DUAL",
      "SELECT LENGTH(REGEXP_REPLACE(" + quarter + ", '(x{250})', '\\1\\1\\1\\1\\1')) FROM DUAL",
      "SELECT LENGTH(UPPER(" + quarter + " || " + quarter + " || " + quarter + " || " + quarter +
          " || " + quarter + ")) FROM DUAL",
  };
  // No bound in time, which a loaded machine could pass before the memory bound.
  std::unique_ptr<Connection> c = OpenConnection(database_.init_string() + ";Command Timeout=0");
  ResetPeak();
  for (const std::string& sql : kRunaways) {
    try {
      testing::Query(*c, sql);
      ADD_FAILURE() << "not refused: " << sql;
    } catch (const DbError& e) {
      EXPECT_TRUE(std::string_view(e.what()).starts_with("ORA-04030: ")) << sql << ": " << e.what();
    }
  }
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(ResidentBytes("VmHWM:"), size_t{1200} << 20);
#endif
  EXPECT_EQ(Scalar(*c, "SELECT LENGTH(" + quarter + ") FROM DUAL"), "134213632");
}

// The rewrite of a path's comparisons is linear: 128,000 chained comparisons took 28-48 s before
// any deadline was read. They are past libxml2's depth, as written too, and refused so, in
// processor time that grows with the chain as its length does: a chain eight times as long
// costs less than 32 times as much (a rewrite that compared each comparison with those before
// it would cost 64 times; measured, 12 to 15, and 6 to 9 under the sanitizers). The Command
// Timeout only ends a rewrite gone quadratic.
TEST_F(FunctionBoundsTest, XmlPathChainsAreReadWithinTheCommandTimeout) {
  std::unique_ptr<Connection> c = OpenConnection(database_.init_string() + ";Command Timeout=60");
  const auto refused = [&](int links) {
    try {
      testing::Query(*c, "SELECT EXTRACTVALUE('<r/>', '/r' || REPLACE(RPAD('x', " +
                             std::to_string(links) + ", 'x'), 'x', '=/r=/r=/r=/r')) FROM DUAL");
      ADD_FAILURE() << "a chain past libxml2's depth was answered";
    } catch (const DbError& e) {
      EXPECT_TRUE(std::string_view(e.what()).starts_with("ORA-31013")) << e.what();
    }
  };
  const std::chrono::nanoseconds eighth = LeastProcessorTime(3, [&] { refused(4000); });
  const std::chrono::nanoseconds whole = LeastProcessorTime(3, [&] { refused(32000); });
  EXPECT_LT(whole, 32 * eighth);
}

// Each of 131,072 elements reads every child of the root again: 17 billion of libxml2's steps,
// evaluated in tries that end by the deadline (one ran 314 s at a Command Timeout of 300).
TEST_F(FunctionBoundsTest, AQuadraticPathEndsByTheCommandTimeout) {
  const auto start = std::chrono::steady_clock::now();
  ExpectCancelled(*c_,
                  "SELECT EXTRACTVALUE('<r>' || REPLACE(RPAD('x', 16384, 'x'), 'x', "
                  "'<a>1</a><a>1</a><a>1</a><a>1</a><a>1</a><a>1</a><a>1</a><a>1</a>') || '</r>', "
                  "'count(/r/a[. = /r/c])') FROM DUAL");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1 + 2));
}

TEST_F(FunctionBoundsTest, XmlPathsStopAtTheCommandTimeoutAndDocumentsAtTheMemoryBound) {
  // Every one of 60,000 elements counts those before it.
  const std::string wide = "'<a>' || REPLACE(RPAD('x', 30000, 'x'), 'x', '<b/><b/>') || '</a>'";
  ExpectCancelled(
      *c_, "SELECT EXTRACTVALUE(" + wide + ", 'count(//b[count(preceding::b) >= 0])') FROM DUAL");
  // Every element reads the root's string value, and every one of 250 nested elements the
  // string value of its 40 MB of text: their building is charged.
  ExpectCancelled(*c_,
                  "SELECT EXTRACTVALUE(" + wide + ", 'count(//b[string(/) = \"x\"])') FROM DUAL");
  ExpectCancelled(*c_,
                  "SELECT EXTRACTVALUE(RPAD('<b>', 750, '<b>') || REPLACE(RPAD('x', 32767, "
                  "'x'), 'x', RPAD('y', 1220, 'y')) || RPAD('</b>', 1000, '</b>'), "
                  "'count(//*[contains(., \"x\")])') FROM DUAL");
  // Comparisons of node sets build their string values too: the root's at each element, and
  // the 40 MB under each of 250 nested elements, read as a number.
  ExpectCancelled(*c_, "SELECT EXTRACTVALUE(" + wide + ", 'count(//b[/ = \"x\"])') FROM DUAL");
  const auto nested_around = [](const char* piece) {
    return std::string(
               "RPAD('<b>', 750, '<b>') || REPLACE(RPAD('y', 32767, 'y'), 'y', RPAD('y', ") +
           piece + ", 'y') || '<c/>') || RPAD('</b>', 1000, '</b>')";
  };
  ExpectCancelled(
      *c_, "SELECT EXTRACTVALUE(" + nested_around("1220") + ", 'count(//*[. = 1])') FROM DUAL");
  const std::string deep = nested_around("609");
  // A value compared with a text is read no further than the text, where the values' first
  // letters are the text's; two node sets in time that grows with their nodes, not pairs (which
  // took 9 s). Parsing 20 MB takes a busy machine's share of a second: three seconds here.
  std::unique_ptr<Connection> roomy =
      OpenConnection(database_.init_string() + ";Command Timeout=3");
  EXPECT_EQ(ValueBeforeScan(*roomy, "EXTRACTVALUE(" + deep + ", 'count(//*[. = \"yy\"])')"),
            "0/3000");
  EXPECT_EQ(ValueBeforeScan(*roomy, "EXTRACTVALUE(" + wide + ", 'boolean(//b != //b)')"),
            "false/3000");
  // A path that needs no more than its document answers at once.
  EXPECT_EQ(ValueBeforeScan("EXTRACTVALUE(" + wide + ", 'count(//b)')"), "60000/3000");
  // 8,387,584 elements of four characters would take over a gigabyte once parsed. No bound in
  // time, which a loaded machine could pass before the memory bound.
  std::unique_ptr<Connection> c = OpenConnection(database_.init_string() + ";Command Timeout=0");
  try {
    testing::Query(*c,
                   "SELECT EXTRACTVALUE('<a>' || REPLACE(REPLACE(RPAD('x', 32767, 'x'), 'x', "
                   "RPAD('y', 256, 'y')), 'y', '<b/>') || '</a>', 'count(/a/b)') FROM DUAL");
    ADD_FAILURE() << "a document of 8 million elements was parsed";
  } catch (const DbError& e) {
    EXPECT_TRUE(std::string_view(e.what()).starts_with("ORA-04030: ")) << e.what();
  }
  // 200 nested elements around 4 MB of text: their markup repeats it 200 times.
  ResetPeak();
  const std::string nested =
      "RPAD('<b>', 600, '<b>') || REPLACE(RPAD('x', 4096, 'x'), 'x', "
      "RPAD('y', 1024, 'y')) || RPAD('</b>', 800, '</b>')";
  try {
    testing::Query(*c, "SELECT LENGTH(EXTRACT(" + nested + ", '//b')) FROM DUAL");
    ADD_FAILURE() << "800 MB of markup was built";
  } catch (const DbError& e) {
    EXPECT_TRUE(std::string_view(e.what()).starts_with("ORA-04030: ")) << e.what();
  }
#if !defined(__SANITIZE_ADDRESS__)
  // The markup stops at the bound, about 512 MiB, where a copy of it beside would double it.
  EXPECT_LT(ResidentBytes("VmHWM:"), size_t{800} << 20);
#endif
}

// The functions that read string values, whose values the file builds itself, answer as XPath
// defines them.
TEST_F(FunctionBoundsTest, XmlPathFunctionsReadStringValuesAsDefined) {
  const std::string doc =
      "'<a><b>1</b><b>2<c>3</c></b><!--x--><d v=\"w\"> t  u </d>"
      "<e><![CDATA[<z>]]></e></a>'";
  const struct {
    const char* path;
    const char* value;
  } kPaths[] = {
      {"string(/a/b)", "1"},
      {"string(/a/b[2])", "23"},
      {"string-length(/a)", "12"},
      {"concat(/a/b[2], \"-\", /a/d/@v, /a/e)", "23-w<z>"},
      {"contains(/a, \"3 t\")", "true"},
      {"starts-with(/a/b[2], \"2\")", "true"},
      {"substring(/a/d, /a/b, /a/b[1] + 1)", " t"},
      {"substring-before(/a, \"3\")", "12"},
      {"substring-after(/a/b[2], \"2\")", "3"},
      {"translate(/a/b[2], \"23\", \"xy\")", "xy"},
      {"normalize-space(/a/d)", "t u"},
      {"number(/a/b[2])", "23"},
      {"sum(/a/b)", "24"},
      {"count(/a/b[string() = \"23\"])", "1"},
      {"count(/a/b[string-length() = 2][normalize-space() = \"23\"][number() = 23])", "1"},
      {"count(id(/a/b))", "0"},
  };
  for (const auto& p : kPaths) {
    EXPECT_EQ(Scalar(*c_, "SELECT EXTRACTVALUE(" + doc + ", '" + p.path + "') FROM DUAL"), p.value)
        << p.path;
  }
}

TEST_F(FunctionBoundsTest, FormatModelsAreReadAndWrittenWithinTheMemoryBound) {
  // Models of 98,301,000 and 9,830,100 elements, each written as seven digits.
  const std::string models[] = {
      "REPLACE(RPAD('J', 32767, 'J'), 'J', RPAD('J', 3000, 'J'))",
      "REPLACE(RPAD('J', 32767, 'J'), 'J', RPAD('J', 300, 'J'))",
  };
  std::unique_ptr<Connection> c = OpenConnection(database_.init_string() + ";Command Timeout=0");
  ResetPeak();
  for (const std::string& model : models) {
    for (const std::string& sql : {"SELECT LENGTH(TO_CHAR(SYSDATE, " + model + ")) FROM DUAL",
                                   "SELECT TO_DATE('2451545', " + model + ") FROM DUAL"}) {
      try {
        testing::Query(*c, sql);
        ADD_FAILURE() << "not refused: " << sql;
      } catch (const DbError& e) {
        EXPECT_TRUE(std::string_view(e.what()).starts_with("ORA-04030: ")) << e.what();
      }
    }
  }
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(ResidentBytes("VmHWM:"), size_t{1200} << 20);
#endif
  EXPECT_EQ(Scalar(*c, "SELECT TO_CHAR(TO_DATE('2000-01-01', 'YYYY-MM-DD'), 'J') FROM DUAL"),
            "2451545");
}

}  // namespace
}  // namespace korvalis::db
