// The rewrite passes on the syntax tree alone, before and without any printer.
#include "platform/db/rewrite_passes.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "platform/db/sql_error.h"
#include "platform/db/sql_parser.h"

namespace korvalis::db {
namespace {

class RewritePassesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db_, CatalogBootstrapSql(), nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db_,
                           "CREATE TABLE VISIT (PATIENT_ID TEXT, EVENT_NO NUMERIC);"
                           "CREATE TABLE GRADE (PATIENT_ID TEXT, EVENT_NO NUMERIC, SCORE NUMERIC);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    catalog_ = Catalog::Load(db_);
  }
  void TearDown() override { sqlite3_close(db_); }

  std::unique_ptr<sql::Statement> Rewritten(std::string_view sql) {
    std::unique_ptr<sql::Statement> stmt = sql::Parse(sql);
    RunRewritePasses(*stmt, *catalog_);
    return stmt;
  }

  sqlite3* db_ = nullptr;
  std::shared_ptr<const Catalog> catalog_;
};

TEST_F(RewritePassesTest, PassesRunInTheirOrder) {
  std::vector<std::string_view> names;
  for (const RewritePass& pass : RewritePasses()) names.push_back(pass.name);
  EXPECT_EQ(names, (std::vector<std::string_view>{"hierarchy_check", "nested_aggregate_rewrite",
                                                  "outer_join_rewrite", "rownum_rewrite",
                                                  "rownum_limit"}));
}

TEST_F(RewritePassesTest, EveryQueryLevelIsRewrittenBeforePrinting) {
  auto stmt = Rewritten(
      "SELECT V.PATIENT_ID, (SELECT MAX(G.SCORE) FROM GRADE G, VISIT W "
      "WHERE W.PATIENT_ID = G.PATIENT_ID(+) AND ROWNUM <= 1) BEST "
      "FROM VISIT V, GRADE G WHERE V.PATIENT_ID = G.PATIENT_ID(+) AND ROWNUM < 11");
  const sql::SelectCore& outer = stmt->select->cores[0];
  // The (+) condition became a LEFT JOIN, and the ROWNUM bound this level's row limit.
  ASSERT_EQ(outer.from.size(), 1u);
  EXPECT_EQ(outer.from[0].kind, sql::TableRef::kJoin);
  EXPECT_EQ(outer.from[0].join, sql::JoinKind::kLeft);
  EXPECT_EQ(outer.rownum_limit, 10);
  // The scalar subquery was rewritten as well.
  const sql::SelectCore& inner = outer.items[1].expr->subquery->cores[0];
  ASSERT_EQ(inner.from.size(), 1u);
  EXPECT_EQ(inner.from[0].join, sql::JoinKind::kLeft);
  EXPECT_EQ(inner.rownum_limit, 1);
  // ROWNUM read by an aggregate moves into an inline view that numbers the rows.
  auto counted = Rewritten("SELECT MAX(ROWNUM) FROM VISIT WHERE EVENT_NO > 1");
  const sql::SelectCore& level = counted->select->cores[0];
  ASSERT_EQ(level.from.size(), 1u);
  EXPECT_EQ(level.from[0].kind, sql::TableRef::kSubquery);
  EXPECT_FALSE(level.where);
  EXPECT_FALSE(level.rownum_limit.has_value());
}

TEST_F(RewritePassesTest, RefusalsComeFromThePassesWithoutAPrinter) {
  for (const char* sql :
       {"SELECT * FROM VISIT START WITH EVENT_NO = 1 CONNECT BY PRIOR EVENT_NO = CONNECT_BY_ROOT EVENT_NO",
        "SELECT * FROM VISIT V, GRADE G WHERE V.PATIENT_ID = G.PATIENT_ID(+) OR G.SCORE = 1",
        "SELECT * FROM VISIT WHERE ROWNUM + 1 < 3",
        "DELETE FROM VISIT WHERE EVENT_NO IN (SELECT EVENT_NO FROM GRADE WHERE ROWNUM > SCORE)"}) {
    EXPECT_THROW(Rewritten(sql), SqlError) << sql;
  }
}

}  // namespace
}  // namespace korvalis::db
