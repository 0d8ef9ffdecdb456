#include "platform/db/statement_cache.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

namespace korvalis::db {
namespace {

class StatementCacheTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK); }
  void TearDown() override { sqlite3_close_v2(db_); }
  sqlite3_stmt* Prepare(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK);
    return stmt;
  }
  sqlite3* db_ = nullptr;
};

TEST_F(StatementCacheTest, StatementsAreCurrentForTheirGenerationAndWhileFree) {
  StatementCache cache(4);
  StatementCache::Entry* one = cache.Keep("SELECT 1", Prepare("SELECT 1"), 7);
  EXPECT_EQ(cache.Current("SELECT 1", 7), one);
  EXPECT_EQ(cache.Current("SELECT 1", 8), nullptr);  // the schema changed since
  EXPECT_EQ(cache.Current("SELECT 2", 7), nullptr);
  StatementCache::Lease(one);
  EXPECT_EQ(sqlite3_step(one->stmt), SQLITE_ROW);
  EXPECT_EQ(cache.Current("SELECT 1", 7), nullptr);  // a nested reader of the text needs its own
  EXPECT_EQ(cache.Find("SELECT 1"), one);
  StatementCache::Return(one);
  EXPECT_EQ(cache.Current("SELECT 1", 7), one);
  // Returned statements start again from their first row.
  EXPECT_EQ(sqlite3_step(one->stmt), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(one->stmt, 0), 1);
  sqlite3_reset(one->stmt);
  // A stale statement is replaced in place.
  EXPECT_EQ(cache.Keep("SELECT 1", Prepare("SELECT 1"), 8), one);
  EXPECT_EQ(cache.Current("SELECT 1", 8), one);
}

TEST_F(StatementCacheTest, AFullCacheEvictsItsFreeStatementsButNeverALeasedOne) {
  StatementCache cache(3);
  StatementCache::Entry* leased = cache.Keep("SELECT 0", Prepare("SELECT 0"), 1);
  StatementCache::Lease(leased);
  for (int i = 1; i <= 2; ++i) {
    const std::string sql = "SELECT " + std::to_string(i);
    cache.Keep(sql, Prepare(sql), 1);
  }
  cache.Keep("SELECT 3", Prepare("SELECT 3"), 1);
  EXPECT_EQ(cache.Find("SELECT 1"), nullptr);
  EXPECT_EQ(cache.Find("SELECT 2"), nullptr);
  EXPECT_EQ(cache.Find("SELECT 0"), leased);
  EXPECT_NE(cache.Current("SELECT 3", 1), nullptr);
  StatementCache::Return(leased);
  // Every statement is finalised with the cache: closing the database then finds none open.
}

TEST_F(StatementCacheTest, TheCacheFinalisesItsStatements) {
  {
    StatementCache cache(2);
    cache.Keep("SELECT 1", Prepare("SELECT 1"), 1);
    cache.Keep("SELECT 2", Prepare("SELECT 2"), 1);
  }
  EXPECT_EQ(sqlite3_next_stmt(db_, nullptr), nullptr);
}

}  // namespace
}  // namespace korvalis::db
