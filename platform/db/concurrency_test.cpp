// Connections of one database used from several threads at once while another changes the
// schema: translations, catalogs and prepared statements must stay consistent.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/db/connection_pool.h"
#include "platform/db/testing/db_test_util.h"
#include "platform/db/script_runner.h"

namespace korvalis::db {
namespace {

using testing::Scalar;

TEST(ConcurrencyTest, QueriesRunWhileTheSchemaChanges) {
  const std::string file = (std::filesystem::temp_directory_path() /
                            ("korvalis_concurrency_" + std::to_string(::getpid()) + ".db")).string();
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(file + suffix);
  const std::string init = "Provider=SQLite;Data Source=" + file;
  {
    std::unique_ptr<Connection> c = CreateDatabase(init);
    RunScript(*c, R"(
CREATE TABLE P (ID NUMBER PRIMARY KEY, NAME VARCHAR2(20), BORN DATE);
INSERT INTO P VALUES (1, 'a', '2000-01-31');
INSERT INTO P VALUES (2, 'b', '2001-02-28');
INSERT INTO P VALUES (3, 'c', NULL);
)");
  }
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0}, failures{0}, runs{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&, t] {
      while (!stop) {
        try {
          PooledConnection c = ConnectionPools::Acquire(init);
          // A repeated text, and texts with a new literal each time.
          if (Scalar(*c, "SELECT COUNT(*) FROM P WHERE NAME IS NOT NULL") != "3") ++wrong;
          const int id = runs.fetch_add(1) % 3 + 1;
          std::string born = Scalar(*c, "SELECT NVL(TO_CHAR(ADD_MONTHS(BORN, " + std::to_string(t) +
                                            "), 'YYYY-MM-DD'), '-') FROM P WHERE ID = " + std::to_string(id));
          const char* expected[4][3] = {{"2000-01-31", "2001-02-28", "-"},
                                        {"2000-02-29", "2001-03-31", "-"},
                                        {"2000-03-31", "2001-04-30", "-"},
                                        {"2000-04-30", "2001-05-31", "-"}};
          if (born != expected[t][id - 1]) ++wrong;
        } catch (const DbError& e) {
          if (failures++ == 0) ADD_FAILURE() << "reader: " << e.what();
        }
      }
    });
  }
  // Views come and go; every reader keeps seeing the table as it is.
  for (int i = 0; i < 30; ++i) {
    try {
      PooledConnection c = ConnectionPools::Acquire(init);
      c->Execute("CREATE OR REPLACE VIEW V_P AS SELECT ID, NAME || '" + std::to_string(i) + "' N FROM P");
      EXPECT_EQ(Scalar(*c, "SELECT N FROM V_P WHERE ID = 1"), "a" + std::to_string(i));
      if (i % 3 == 0) c->Execute("DROP VIEW V_P");
    } catch (const DbError& e) {
      ADD_FAILURE() << "round " << i << ": " << e.what();
    }
  }
  stop = true;
  for (auto& r : readers) r.join();
  EXPECT_GT(runs.load(), 0);
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(failures.load(), 0);
  ConnectionPools::Close(init);
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(file + suffix);
}

}  // namespace
}  // namespace korvalis::db
