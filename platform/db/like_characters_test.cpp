// LIKE reads every character of a text as itself: U+FFFE, U+FFFF and U+FFFD on both engines, and
// on the embedded file a NUL and a lone surrogate, each stand for themselves, on an indexed column
// and an unindexed one, whichever way the file matches the pattern (the engine's GLOB, a range of
// the index, the system's own matcher).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/db/like_pattern.h"
#include "platform/db/oracle_test_fixture.h"

namespace korvalis::db {
namespace {

constexpr const char* kFffe = "\xEF\xBF\xBE";
constexpr const char* kFfff = "\xEF\xBF\xBF";
constexpr const char* kFffd = "\xEF\xBF\xBD";

// Rows 1 to 6; the server's text holds neither a NUL nor a surrogate, rows 3 and 5.
class LikeCharactersTest : public testing::OracleFixture,
                           public ::testing::WithParamInterface<Engine> {
 protected:
  void SetUp() override {
    Open(R"(
CREATE TABLE MARK (ID NUMBER, U VARCHAR2(20), V VARCHAR2(20));
CREATE INDEX IX_MARK_U ON MARK (U);
INSERT INTO MARK SELECT 1, 'x' || CHR(65534), 'x' || CHR(65534) FROM DUAL;
INSERT INTO MARK SELECT 2, 'x' || CHR(65535), 'x' || CHR(65535) FROM DUAL;
INSERT INTO MARK SELECT 4, 'x' || CHR(65533), 'x' || CHR(65533) FROM DUAL;
INSERT INTO MARK SELECT 6, 'ab', 'ab' FROM DUAL;
)",
         GetParam());
    if (GetParam() == Engine::kSqlite) {
      RunScript(*c_, R"(
INSERT INTO MARK SELECT 3, 'x' || CHR(55296), 'x' || CHR(55296) FROM DUAL;
INSERT INTO MARK SELECT 5, 'ab' || CHR(0) || 'c', 'ab' || CHR(0) || 'c' FROM DUAL;
)");
    }
  }

  // The IDs among `ids` ("1,2") of the rows the table holds, in order, or of those it holds
  // but `ids` (`others`).
  std::string Held(const std::string& ids, bool others = false) const {
    std::string held;
    for (const char id : std::string_view(GetParam() == Engine::kSqlite ? "123456" : "1246")) {
      if ((ids.find(id) != std::string::npos) == others) continue;
      if (!held.empty()) held += ',';
      held += id;
    }
    return held;
  }

  // The IDs of the rows whose column matches `pattern` (or does not, `negated`), by the statement.
  std::string Matched(const std::string& column, const std::string& pattern, bool negated) {
    return Rows("SELECT ID FROM MARK WHERE " + column + (negated ? " NOT LIKE " : " LIKE ") +
                pattern + " ORDER BY ID");
  }
};

TEST_P(LikeCharactersTest, EachCharacterStandsForItself) {
  const struct {
    std::string pattern;
    std::string ids;
  } kCases[] = {
      {"'x" + std::string(kFfff) + "%'", "2"},
      {"'x" + std::string(kFffe) + "'", "1"},
      {"'x" + std::string(kFffd) + "%'", "4"},
      {"'%" + std::string(kFfff) + "'", "2"},
      {"'_" + std::string(kFffe) + "%'", "1"},
      {"'x' || CHR(55296) || '%'", "3"},
      {"'x_'", "1,2,3,4"},
      {"'x%'", "1,2,3,4"},
      {"'ab_c'", "5"},
      {"'ab__'", "5"},
      {"'ab%c'", "5"},
      {"'%c'", "5"},
      {"'ab%'", "5,6"},
      {"'ab'", "6"},
      {"'ab' || CHR(0) || '%'", "5"},
  };
  for (const auto& c : kCases) {
    // What reads a NUL or a surrogate is the file's alone.
    if (GetParam() == Engine::kPostgres && c.pattern.find("CHR(") != std::string::npos) continue;
    for (const std::string column : {"U", "V"}) {
      EXPECT_EQ(Matched(column, c.pattern, false), Held(c.ids)) << column << " LIKE " << c.pattern;
      EXPECT_EQ(Matched(column, c.pattern, true), Held(c.ids, true))
          << column << " NOT LIKE " << c.pattern;
    }
  }
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM MARK WHERE U LIKE 'x!%%' ESCAPE '!'"), "0");
  if (GetParam() == Engine::kSqlite) {
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM DUAL WHERE 'ab' || CHR(0) || 'c' LIKE 'ab_c'"), "1");
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM DUAL WHERE 'ab' || CHR(0) || 'c' LIKE 'ab__'"), "1");
  }
}

// Random patterns of those characters, ASCII and wildcards, a third of them with an escape:
// every statement answers as the system's own matcher does on the stored texts.
TEST_P(LikeCharactersTest, RandomPatternsAnswerAsTheMatcher) {
  std::vector<std::pair<std::string, std::string>> rows;  // ID, text
  for (const auto& row : testing::Query(*c_, "SELECT ID, U FROM MARK ORDER BY ID")) {
    rows.emplace_back(row[0], row[1]);
  }
  if (GetParam() == Engine::kSqlite) {
    ASSERT_EQ(rows[4].second, std::string("ab\0c", 4));
  }
  const std::string kUnits[] = {"x", "a", "b", "c", kFffe, kFfff, kFffd, "%", "_", "*", "[", "!%"};
  std::mt19937 random(102);
  for (int i = 0; i < 400; ++i) {
    const bool escaped = i % 3 == 0;
    std::string pattern;
    for (size_t n = 1 + random() % 4; n > 0; --n) pattern += kUnits[random() % (escaped ? 12 : 11)];
    if (random() % 2 == 0) pattern += '%';
    const functions::LikePattern matcher(pattern, escaped ? "!" : "");
    const std::string written = "'" + pattern + "'" + (escaped ? " ESCAPE '!'" : "");
    for (const bool negated : {false, true}) {
      std::string expected;
      for (const auto& [id, text] : rows) {
        if (matcher.Matches(text) == negated) continue;
        if (!expected.empty()) expected += ',';
        expected += id;
      }
      for (const std::string column : {"U", "V"}) {
        ASSERT_EQ(Matched(column, written, negated), expected)
            << column << (negated ? " NOT LIKE " : " LIKE ") << written;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, LikeCharactersTest, testing::kBothEngines, testing::EngineName);

}  // namespace
}  // namespace korvalis::db
