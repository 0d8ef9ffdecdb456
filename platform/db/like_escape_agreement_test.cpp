// LIKE's escape character on both engines, as Oracle reads it: it stands before '%', '_' or
// itself, and a pattern that ends with it or has it before any other character fails with
// ORA-01424, however the pattern is written and whichever rows it meets; an escape of more than
// one character fails with ORA-01425.
#include <gtest/gtest.h>

#include "platform/db/oracle_test_fixture.h"

namespace korvalis::db {
namespace {

class LikeEscapeAgreementTest : public testing::OracleFixture,
                                public ::testing::WithParamInterface<Engine> {
 protected:
  void SetUp() override {
    Open(R"(
CREATE TABLE CODE (C VARCHAR2(10), P VARCHAR2(10));
INSERT INTO CODE VALUES ('a_b', 'a\_b');
INSERT INTO CODE VALUES ('a%b', 'a\%%');
INSERT INTO CODE VALUES ('a\b', 'a\\b');
)",
         GetParam());
  }
};

TEST_P(LikeEscapeAgreementTest, AnEscapeStandsBeforeAWildcardOrItself) {
  Check({
      {"SELECT COUNT(*) FROM CODE WHERE C LIKE 'a\\_b' ESCAPE '\\'", "1"},
      {"SELECT COUNT(*) FROM CODE WHERE C LIKE 'a\\%%' ESCAPE '\\'", "1"},
      {"SELECT COUNT(*) FROM CODE WHERE C LIKE '%\\\\%' ESCAPE '\\'", "1"},
      {"SELECT COUNT(*) FROM CODE WHERE C LIKE P ESCAPE '\\'", "3"},
      {"SELECT COUNT(*) FROM CODE WHERE C NOT LIKE P || '%' ESCAPE '\\'", "0"},
      {"SELECT COUNT(*) FROM CODE WHERE C LIKE 'a!_b' ESCAPE '!'", "1"},
      {"SELECT COUNT(*) FROM CODE WHERE C LIKE 'a\\_b' ESCAPE NULL", "0"},
  });
}

TEST_P(LikeEscapeAgreementTest, AWrongEscapeFails) {
  Check({
      {"SELECT COUNT(*) FROM DUAL WHERE 'a' LIKE 'a\\' ESCAPE '\\'", "ORA-01424"},
      {"SELECT COUNT(*) FROM DUAL WHERE 'a' NOT LIKE 'a\\' ESCAPE '\\'", "ORA-01424"},
      {"SELECT COUNT(*) FROM DUAL WHERE 'a' LIKE '\\a' ESCAPE '\\'", "ORA-01424"},
      {"SELECT COUNT(*) FROM DUAL WHERE 'x' LIKE '%\\\\\\a' ESCAPE '\\'", "ORA-01424"},
      {"SELECT COUNT(*) FROM CODE WHERE C LIKE P || '\\' ESCAPE '\\'", "ORA-01424"},
      {"SELECT COUNT(*) FROM CODE WHERE C LIKE SUBSTR(P, 1, 2) ESCAPE '\\'", "ORA-01424"},
      {"SELECT COUNT(*) FROM DUAL WHERE 'a' LIKE 'a' ESCAPE 'xy'", "ORA-01425"},
      {"SELECT COUNT(*) FROM CODE WHERE C LIKE P ESCAPE C", "ORA-01425"},
  });
}

INSTANTIATE_TEST_SUITE_P(Engines, LikeEscapeAgreementTest, testing::kBothEngines,
                         testing::EngineName);

}  // namespace
}  // namespace korvalis::db
