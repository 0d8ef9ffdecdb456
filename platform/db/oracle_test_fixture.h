// A test fixture for the statements of the Oracle front end: a database built from a script
// (in memory, or an empty one of the engine asked for), and the rows of a statement as text.
//
// Thread-safety: a fixture and its database belong to its test's thread.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/db/connection_pool.h"
#include "platform/db/testing/db_test_util.h"
#include "platform/db/script_runner.h"
#include "platform/db/testing/engine_database.h"

namespace korvalis::db::testing {

class OracleFixture : public ::testing::Test {
 protected:
  void Open(std::string_view script, Engine engine = Engine::kSqlite) {
    c_ = OpenEmptyDatabase(engine);
    RunScript(*c_, script);
  }
  // Each row's columns joined by "|", rows joined by ",".
  std::string Rows(std::string_view sql) {
    std::string out;
    for (const auto& row : Query(*c_, sql)) {
      if (!out.empty()) out.push_back(',');
      for (size_t i = 0; i < row.size(); ++i) {
        if (i) out.push_back('|');
        out += row[i];
      }
    }
    return out;
  }
  // The description of the failure of `sql`, or "no error".
  std::string Error(std::string_view sql) {
    try {
      Query(*c_, sql);
    } catch (const DbError& e) {
      return e.what();
    }
    return "no error";
  }
  // The result code and description of the failure of `sql`; {0, "no error"} when it runs.
  std::pair<int32_t, std::string> Failure(std::string_view sql) {
    try {
      Query(*c_, sql);
    } catch (const DbError& e) {
      return {e.code(), e.what()};
    }
    return {0, "no error"};
  }
  // A statement and what it gives: its rows (as Rows writes them), or the Oracle error code
  // ("ORA-...") or "not supported" that it fails with.
  struct Case {
    const char* sql;
    const char* rows;
  };
  void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      const std::string expected = c.rows;
      if (expected.starts_with("ORA-") || expected == "not supported") {
        const std::string error = Error(c.sql);
        EXPECT_NE(error.find(expected), std::string::npos) << c.sql << " -> " << error;
        continue;
      }
      try {
        EXPECT_EQ(Rows(c.sql), expected) << c.sql;
      } catch (const DbError& e) {
        ADD_FAILURE() << c.sql << " -> " << e.what();
      }
    }
  }
  std::unique_ptr<Connection> c_;
};

}  // namespace korvalis::db::testing
