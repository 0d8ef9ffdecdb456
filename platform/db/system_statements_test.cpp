// The statement forms the system's bodies write, run on the real schema: each translates and
// runs (testdata/system_statements.sql).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/db/connection_pool.h"
#include "platform/db/script_runner.h"
#include "platform/db/testing/engine_database.h"

namespace korvalis::db {
namespace {

std::filesystem::path SourceDir() {
  const char* dir = std::getenv("KORVALIS_SOURCE_DIR");
  return dir ? std::filesystem::path(dir) : std::filesystem::path(KORVALIS_SOURCE_DIR_FALLBACK);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs every .sql file of `folder` in file-name order.
void RunFolder(Connection& c, const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".sql") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty()) << folder;
  for (const auto& f : files) {
    try {
      RunScript(c, ReadFile(f));
    } catch (const DbError& e) {
      FAIL() << f.filename() << ": " << e.what();
    }
  }
}

class SystemStatementsTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    c_ = testing::OpenEmptyDatabase(GetParam());
    RunFolder(*c_, SourceDir() / "db" / "schema");
    RunFolder(*c_, SourceDir() / "db" / "install");
  }
  std::unique_ptr<Connection> c_;
};

TEST_P(SystemStatementsTest, EveryFormRunsOnTheSchema) {
  auto statements =
      SplitScript(ReadFile(SourceDir() / "platform/db/testdata/system_statements.sql"));
  ASSERT_GT(statements.size(), 250u);
  int failures = 0;
  for (const ScriptStatement& s : statements) {
    try {
      auto rows = c_->Execute(s.text);
      while (rows->Next()) {
      }
    } catch (const DbError& e) {
      ++failures;
      ADD_FAILURE() << "line " << s.line << ": " << e.what() << "\n  " << s.text;
    }
  }
  EXPECT_EQ(failures, 0);
}

INSTANTIATE_TEST_SUITE_P(Engines, SystemStatementsTest, testing::kBothEngines, testing::EngineName);

}  // namespace
}  // namespace korvalis::db
