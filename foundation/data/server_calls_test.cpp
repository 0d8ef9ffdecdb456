// Calls of many clients at once on a PostgreSQL server, and calls while the server goes away
// and comes back: every call is all or nothing, MAX(ID) + 1 never allocates twice, a reading
// call never sees half of another call, and calls succeed again once the server is back.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "foundation/calls/call_scope.h"
#include "foundation/data/comm_data_source.h"
#include "foundation/data/connection_failures.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/testing/data_source_test_util.h"
#include "platform/db/testing/postgres_test_server.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::FromUtf8;
using korvalis::datasource::testing::ScratchDatabase;

// One writing call: the next ID of `table` by MAX(ID) + 1, written there and, under the same
// ID, into the table's log. False when the call failed (and so wrote nothing).
bool AllocatingCall(const std::u16string& connection, const std::u16string& table, int client) {
  try {
    CCallScope scope(CCallScope::Mode::kWriting);
    {
      CCommDataSource source(connection, u"oracle");
      std::u16string id;
      source.QueryScalar(u"SELECT NVL(MAX(ID), 0) + 1 FROM " + table, id);
      const std::u16string values =
          u" (ID, CLIENT) VALUES (" + id + u", " + FromUtf8(std::to_string(client)) + u")";
      source.Execute(u"INSERT INTO " + table + values);
      source.Execute(u"INSERT INTO " + table + u"_LOG" + values);
    }
    scope.Commit();
    return true;
  } catch (const CEMRException&) {
    return false;
  }
}

// A reading call: the rows of a table and of its log in one snapshot, as "rows:logged".
std::u16string ReadingCall(const std::u16string& connection, const std::u16string& table) {
  CCallScope scope(CCallScope::Mode::kReading);
  std::u16string counts;
  {
    CCommDataSource source(connection, u"oracle");
    std::u16string rows, logged;
    source.QueryScalar(u"SELECT COUNT(*) FROM " + table, rows);
    source.QueryScalar(u"SELECT COUNT(*) FROM " + table + u"_LOG", logged);
    counts = rows + u":" + logged;
  }
  scope.Commit();
  return counts;
}

class ServerCallsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* table : {"T_SHARED", "T_OWN_1", "T_OWN_2", "T_OWN_3", "T_OWN_4"}) {
      const std::string t = table;
      database_.Run("CREATE TABLE " + t + " (ID NUMBER(10) PRIMARY KEY, CLIENT NUMBER(4))");
      database_.Run("CREATE TABLE " + t + "_LOG (ID NUMBER(10) PRIMARY KEY, CLIENT NUMBER(4))");
    }
  }
  // "rows:distinct IDs:highest ID:logged rows" of a table.
  std::string Summary(const std::string& table) {
    return database_.Scalar(
        "SELECT COUNT(*) || ':' || COUNT(DISTINCT ID) || ':' || MAX(ID) || "
        "':' || (SELECT COUNT(*) FROM " +
        table + "_LOG) FROM " + table);
  }

  ScratchDatabase database_{korvalis::db::Engine::kPostgres};
};

// Calls per client: 16 clients of 625 calls make 10,000; KORVALIS_SERVER_CALLS sets another
// number for a shorter or a longer run.
int CallsPerClient() {
  const char* calls = std::getenv("KORVALIS_SERVER_CALLS");
  return calls ? std::max(1, std::atoi(calls)) : 625;
}

TEST_F(ServerCallsTest, SixteenClientsAllocateWithoutDuplicatesLostRowsOrHalfCalls) {
  const int calls = CallsPerClient();
  const std::u16string connection = database_.connection_string();
  // Four clients are processes of their own, started before this process opens any connection
  // of the pool to the database: two allocate in the shared table, two in their own.
  std::vector<pid_t> processes;
  for (int p = 0; p < 4; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      const std::u16string table = p < 2 ? u"T_SHARED" : (p == 2 ? u"T_OWN_3" : u"T_OWN_4");
      int failed = 0;
      for (int i = 0; i < calls; ++i) failed += AllocatingCall(connection, table, 100 + p) ? 0 : 1;
      ::_exit(failed == 0 ? 0 : 1);  // no destructor of the test process runs in a client
    }
    processes.push_back(pid);
  }
  // Twelve threads: ten in the shared table, two in tables of their own; and a reader that
  // checks every snapshot holds whole calls only.
  std::atomic<int> failures{0};
  std::atomic<bool> writing{true};
  std::vector<std::thread> clients;
  for (int t = 0; t < 12; ++t) {
    const std::u16string table = t < 10 ? u"T_SHARED" : (t == 10 ? u"T_OWN_1" : u"T_OWN_2");
    clients.emplace_back([&, table, t] {
      for (int i = 0; i < calls; ++i) failures += AllocatingCall(connection, table, t) ? 0 : 1;
    });
  }
  std::atomic<int> reads{0}, half_calls{0};
  std::thread reader([&] {
    while (writing) {
      try {
        const std::u16string counts = ReadingCall(connection, u"T_SHARED");
        const size_t colon = counts.find(u':');
        if (counts.substr(0, colon) != counts.substr(colon + 1)) ++half_calls;
        ++reads;
      } catch (const CEMRException&) {
        ++failures;
      }
    }
  });
  for (std::thread& c : clients) c.join();
  for (pid_t pid : processes) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a client process failed";
  }
  writing = false;
  reader.join();

  EXPECT_EQ(failures, 0);
  EXPECT_GT(reads, 0);
  EXPECT_EQ(half_calls, 0);
  const std::string shared = std::to_string(12 * calls);
  EXPECT_EQ(Summary("T_SHARED"), shared + ":" + shared + ":" + shared + ":" + shared);
  const std::string own = std::to_string(calls);
  for (const char* table : {"T_OWN_1", "T_OWN_2", "T_OWN_3", "T_OWN_4"}) {
    EXPECT_EQ(Summary(table), own + ":" + own + ":" + own + ":" + own) << table;
  }
}

TEST_F(ServerCallsTest, CallsFailCleanlyWhileTheServerIsDownAndSucceedOnceItIsBack) {
  auto& server = korvalis::db::testing::PostgresTestServer::Get();
  ConnectionFailureRun& run = ConnectionFailureRun::Process();
  run.Reset();
  run.SetWatchdog({u"127.0.0.1", u"/tennal/tennal.dll?Handler=Default",
                   korvalis::datasource::testing::UnusedLoopbackPort()});
  const std::u16string connection = database_.connection_string();
  std::atomic<int> succeeded{0}, failed{0};
  std::atomic<bool> calling{true};
  std::thread client([&] {
    while (calling) {
      if (AllocatingCall(connection, u"T_SHARED", 1)) {
        ++succeeded;
      } else {
        ++failed;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  // Waits (for a bounded time) until `condition` holds.
  auto await = [](const auto& condition) {
    for (int i = 0; i < 2000 && !condition(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
  };
  EXPECT_TRUE(await([&] { return succeeded > 5; }));
  server.Stop();
  const int failed_before = failed;
  EXPECT_TRUE(await([&] { return failed > failed_before + 5; }));
  server.Start();
  const int succeeded_before_restart = succeeded;
  EXPECT_TRUE(await([&] { return succeeded > succeeded_before_restart + 5; }));
  calling = false;
  client.join();
  run.Reset();
  run.SetWatchdog(ConnectionFailureRun::DefaultWatchdog());

  // Exactly the calls that succeeded are there, each whole; the failed ones left nothing.
  const std::string n = std::to_string(succeeded.load());
  EXPECT_EQ(Summary("T_SHARED"), n + ":" + n + ":" + n + ":" + n);
}

}  // namespace
