// The process-wide reactions to database failures: the clean-up of in-doubt transactions on
// every eighth failing statement, and the watchdog report after a fast run of connection
// failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "db/testing/temp_directory.h"
#include "foundation/data/comm_data_source.h"
#include "foundation/data/connection_failures.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/single_data_source.h"
#include "foundation/testing/data_source_test_util.h"
#include "platform/db/testing/postgres_test_server.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::datasource::testing::CodeBytes;
using korvalis::datasource::testing::EventLogCapture;
using korvalis::datasource::testing::ExpectedWatchdogReport;
using korvalis::datasource::testing::LoopbackListener;
using korvalis::datasource::testing::ScratchDatabase;
using korvalis::datasource::testing::UnusedLoopbackPort;

// The Oracle dialect, observed: its in-doubt transaction query lists the IDs of a table of
// the test, and each forced rollback is recorded in another.
class ObservedOracle : public CDBOracle {
 public:
  std::u16string GetPendingTransactionSql() const override {
    ++pending_queries;
    return u"SELECT TRAN_ID FROM T_PENDING ORDER BY SEQ";
  }
  std::u16string GetRollbackForceSql(std::u16string_view id) const override {
    return u"INSERT INTO T_FORCED VALUES ('" + std::u16string(id) + u"')";
  }
  mutable int pending_queries = 0;
};

class ObservedSource : public CCommDataSource {
 public:
  ObservedSource(const std::u16string& connection_string, ObservedOracle& dialect)
      : CCommDataSource(connection_string, u"oracle"), dialect_(dialect) {}
  CDBType* GetDBType() override { return &dialect_; }

 private:
  ObservedOracle& dialect_;
};

class CleanUpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    database_.Run("CREATE TABLE T_PENDING (SEQ NUMBER(3), TRAN_ID VARCHAR2(20))");
    database_.Run("CREATE TABLE T_FORCED (TRAN_ID VARCHAR2(20))");
    database_.Run("CREATE TABLE T_BLOB (ID NUMBER(3), DATA BLOB)");
    database_.Run("INSERT INTO T_PENDING VALUES (1, '1.2.3')");
    database_.Run("INSERT INTO T_PENDING VALUES (2, NULL)");
    database_.Run("INSERT INTO T_PENDING VALUES (3, '4.5.6')");
  }

  // One failing Execute (or Query); true when it ran the clean-up.
  bool FailOnce(bool query) {
    const int before = dialect_.pending_queries;
    ObservedSource source(database_.connection_string(), dialect_);
    try {
      if (query) {
        std::vector<std::u16string> values;
        source.Query(u"SELECT NOPE FROM T_PENDING", 1, values);
      } else {
        source.Execute(u"UPDATE T_PENDING SET NOPE = 1");
      }
    } catch (const CEMRException& e) {
      EXPECT_EQ(e.GetText(), kDatabaseErrorMessage);
    }
    return dialect_.pending_queries != before;
  }

  ScratchDatabase database_;
  ObservedOracle dialect_;
  EventLogCapture events_;
};

TEST_F(CleanUpTest, EveryEighthFailingStatementRollsBackTheListedTransactions) {
  // Align with the process-wide count, which other tests have moved.
  int failures = 0;
  while (!FailOnce(false)) ASSERT_LT(++failures, 8);
  database_.Run("DELETE FROM T_FORCED");

  // BLOB statements do not count.
  for (int i = 0; i < 9; ++i) {
    ObservedSource source(database_.connection_string(), dialect_);
    BYTE* data = nullptr;
    ULONG length = 0;
    EXPECT_THROW(
        source.ReadBlob(u"SELECT DATA FROM T_BLOB WHERE ID = 1", data, length, 0, 0, false),
        CEMRException);
  }
  for (int i = 1; i <= 7; ++i) EXPECT_FALSE(FailOnce(i % 2 == 0)) << "failure " << i;
  EXPECT_EQ(database_.Scalar("SELECT COUNT(*) FROM T_FORCED"), "0");
  EXPECT_TRUE(FailOnce(true)) << "the eighth failure";
  EXPECT_FALSE(FailOnce(false)) << "the ninth failure";
  // Each listed identifier is rolled back once, empty ones skipped.
  EXPECT_EQ(database_.Scalar("SELECT COUNT(*) FROM T_FORCED"), "2");
  EXPECT_EQ(database_.Scalar("SELECT MIN(TRAN_ID) || ',' || MAX(TRAN_ID) FROM T_FORCED"),
            "1.2.3,4.5.6");
}

class ConnectionFailureBase : public ::testing::Test {
 protected:
  void SetUp() override {
    run_.Reset();
    run_.SetClock([this] { return now_; });
  }
  void TearDown() override {
    run_.Reset();
    run_.SetClock([] { return std::chrono::steady_clock::now(); });
    run_.SetWatchdog(ConnectionFailureRun::DefaultWatchdog());
  }
  // One statement on a database that cannot be reached.
  void FailToConnect(const std::u16string& connection_string) {
    CCommDataSource source(connection_string, u"oracle");
    try {
      std::u16string value;
      source.QueryScalar(u"SELECT 1 FROM DUAL", value);
      ADD_FAILURE() << "connected";
    } catch (const CEMRException& e) {
      EXPECT_EQ(e.GetText(), kDatabaseErrorMessage);
    }
  }

  ConnectionFailureRun& run_ = ConnectionFailureRun::Process();
  std::chrono::steady_clock::time_point now_{};
  std::u16string missing_ = u"/nonexistent-korvalis-dir/none.db";
  EventLogCapture events_;
};

// The databases that cannot be reached: a missing embedded file, a server that is not there,
// and a server that refuses the login (it has no such database).
enum class Unreachable { kMissingFile, kServerDown, kLoginRefused };

class ConnectionFailureTest : public ConnectionFailureBase,
                              public ::testing::WithParamInterface<Unreachable> {
 protected:
  std::u16string UnreachableString() const {
    switch (GetParam()) {
      case Unreachable::kMissingFile:
        return u"Provider=SQLite;Data Source=" + missing_ + u";Password=topsecret;Mode=x";
      case Unreachable::kServerDown:
        return u"Provider=PostgreSQL;Host=/nonexistent-korvalis-dir;Port=5999;Database=emr;"
               u"Password=topsecret;Mode=x";
      case Unreachable::kLoginRefused:
        return korvalis::FromUtf8(korvalis::db::testing::PostgresTestServer::Get().InitString(
                   "no_such_database")) +
               u";Password=topsecret;Mode=x";
    }
    return {};
  }
  void FailToConnect() { ConnectionFailureBase::FailToConnect(UnreachableString()); }
};

// The embedded engine's own failures.
class EmbeddedConnectionFailureTest : public ConnectionFailureBase {
 protected:
  void FailToConnect() {
    ConnectionFailureBase::FailToConnect(u"Provider=SQLite;Data Source=" + missing_ +
                                         u";Password=topsecret;Mode=x");
  }
};

TEST_P(ConnectionFailureTest, AFailedConnectionIsLoggedWithTheMaskedString) {
  FailToConnect();
  const auto records = events_.Records();
  ASSERT_EQ(records.size(), 2u);
  const std::u16string reason_prefix = u"连接数据库错误，错误代码: -2147467259，错误原因：";
  EXPECT_EQ(records[0].text.substr(0, reason_prefix.size()), reason_prefix);
  std::u16string masked = u"，连接串:" + UnreachableString();
  masked.replace(masked.find(u"topsecret"), 9, u"******");
  ASSERT_GT(records[0].text.size(), masked.size());
  EXPECT_EQ(records[0].text.substr(records[0].text.size() - masked.size()), masked);
  EXPECT_EQ(records[0].raw, CodeBytes(-2147467259));
  // The statement's own record: the message without the string, raw data 0.
  EXPECT_EQ(records[1].text, records[0].text.substr(0, records[0].text.size() - masked.size()));
  EXPECT_EQ(records[1].raw, CodeBytes(0));
  EXPECT_EQ(run_.count(), 1);
}

// Passwords inside quoted values, nested ones included, never reach a log in clear.
TEST_F(EmbeddedConnectionFailureTest, NoPasswordReachesTheLogInClearWhereverItStands) {
  const std::u16string connection_strings[] = {
      u"Provider=MSDASQL;Extended Properties=\"DSN=emr;UID=sa;Password=secret1;\"",
      u"Provider=MSDASQL;Extended Properties='DSN=emr;UID=sa;PWD=secret2'",
      u"Provider=MSDASQL;Extended Properties=\"DSN=emr;Options='UID=sa;pwd = secret3;'\";"
      u"Persist Security Info=False",
      u"Provider=SQLite;Data Source=" + missing_ + u";User ID=emr;Password=\"se;cret4\"",
  };
  for (const std::u16string& connection_string : connection_strings) {
    CCommDataSource source(connection_string, u"oracle");
    std::u16string value;
    EXPECT_THROW(source.QueryScalar(u"SELECT 1 FROM DUAL", value), CEMRException);
  }
  const auto records = events_.Records();
  ASSERT_EQ(records.size(), 8u);
  for (const auto& record : records) {
    EXPECT_EQ(record.text.find(u"secret"), std::u16string::npos) << korvalis::ToUtf8(record.text);
    EXPECT_EQ(record.text.find(u"cret4"), std::u16string::npos) << korvalis::ToUtf8(record.text);
  }
  EXPECT_NE(records[0].text.find(u"Extended Properties=\"DSN=emr;UID=sa;Password=******;\""),
            std::u16string::npos);
  EXPECT_NE(records[2].text.find(u"Extended Properties='DSN=emr;UID=sa;PWD=******'"),
            std::u16string::npos);
  // The file behind the event log holds nothing more than the records.
  std::ifstream file(std::getenv(korvalis::sys::kEventLogFileVariable), std::ios::binary);
  std::stringstream contents;
  contents << file.rdbuf();
  EXPECT_EQ(contents.str().find("secret"), std::string::npos);
  EXPECT_NE(contents.str().find("******"), std::string::npos);
}

TEST_F(EmbeddedConnectionFailureTest, AMissingDatabaseFileIsNamedInTheLogAndNeverCreated) {
  korvalis::testing::TempDirectory scratch("korvalis-missing");
  const std::string path = scratch.path() + "/emr.db";
  missing_ = korvalis::FromUtf8(path);
  FailToConnect();  // the caller reads the generic message
  const auto records = events_.Records();
  ASSERT_FALSE(records.empty());
  EXPECT_NE(records[0].text.find(u"'" + missing_ + u"' does not exist"), std::u16string::npos);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_P(ConnectionFailureTest, TheThirtyThirdFastFailureReportsToTheWatchdog) {
  LoopbackListener watchdog;
  run_.SetWatchdog({u"127.0.0.1", u"/tennal/tennal.dll?Handler=Default", watchdog.port()});
  for (int i = 1; i <= 32; ++i) {
    FailToConnect();
    EXPECT_EQ(run_.count(), i);
    now_ += std::chrono::seconds(10);
  }
  EXPECT_FALSE(watchdog.done());
  FailToConnect();
  EXPECT_EQ(run_.count(), 0);
  EXPECT_EQ(watchdog.Received(), ExpectedWatchdogReport(watchdog.port()));
  // The 34th failure starts a new run.
  now_ += std::chrono::seconds(10);
  FailToConnect();
  EXPECT_EQ(run_.count(), 1);
}

TEST_P(ConnectionFailureTest, ASlowFailureEndsTheRun) {
  FailToConnect();
  now_ += std::chrono::seconds(59);
  FailToConnect();
  EXPECT_EQ(run_.count(), 2);
  now_ += std::chrono::seconds(60);
  FailToConnect();
  EXPECT_EQ(run_.count(), 0);
  FailToConnect();
  EXPECT_EQ(run_.count(), 1);
}

TEST_P(ConnectionFailureTest, AnUndeliveredReportReplacesTheConnectionError) {
  run_.SetWatchdog({u"127.0.0.1", u"/tennal/tennal.dll?Handler=Default", UnusedLoopbackPort()});
  ::unsetenv("SOAPCLIENT_STANDBY_SERVER");
  for (int i = 0; i < 32; ++i) FailToConnect();
  events_.Clear();
  FailToConnect();
  const auto records = events_.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text, u"链接WebService服务器错误.");
  EXPECT_EQ(records[0].raw, CodeBytes(0));
  EXPECT_EQ(run_.count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Databases, ConnectionFailureTest,
                         ::testing::Values(Unreachable::kMissingFile, Unreachable::kServerDown,
                                           Unreachable::kLoginRefused),
                         [](const ::testing::TestParamInfo<Unreachable>& info) {
                           switch (info.param) {
                             case Unreachable::kMissingFile:
                               return std::string("MissingFile");
                             case Unreachable::kServerDown:
                               return std::string("ServerDown");
                             case Unreachable::kLoginRefused:
                               return std::string("LoginRefused");
                           }
                           return std::string();
                         });

}  // namespace
