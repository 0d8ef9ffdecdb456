#include "foundation/calls/call_scope.h"

#include <gtest/gtest.h>

#include <latch>
#include <set>
#include <thread>

#include "foundation/data/comm_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/testing/data_source_test_util.h"
#include "platform/db/testing/engine_database.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::datasource::testing::EventLogCapture;
using korvalis::datasource::testing::ScratchDatabase;

class CallScopeTest : public ::testing::TestWithParam<korvalis::db::Engine> {
 protected:
  CCommDataSource Source() { return CCommDataSource(database_.connection_string(), u"oracle"); }
  int Rules() { return std::stoi(database_.Scalar("SELECT COUNT(*) FROM PEV_RULE")); }

  ScratchDatabase database_{GetParam()};
  EventLogCapture events_;
};

TEST_P(CallScopeTest, ACallThatFailsHalfWayLeavesNoTrace) {
  try {
    CCallScope scope(CCallScope::Mode::kWriting);
    CCommDataSource source = Source();
    source.Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (1, 'a')");
    // A second data source of the same call sees the first one's work.
    {
      CCommDataSource other = Source();
      std::u16string count;
      other.QueryScalar(u"SELECT COUNT(*) FROM PEV_RULE", count);
      EXPECT_EQ(count, u"1");
      other.Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (2, 'b')");
    }
    source.Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (1, 'duplicate')");
    scope.Commit();
    ADD_FAILURE() << "the third statement succeeded";
  } catch (const CEMRException& e) {
    EXPECT_EQ(e.GetText(), kDatabaseErrorMessage);
  }
  EXPECT_EQ(Rules(), 0);
}

TEST_P(CallScopeTest, ASuccessfulCallCommitsEveryStatement) {
  {
    CCallScope scope(CCallScope::Mode::kReading);
    {
      CCommDataSource source = Source();
      source.Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (1, 'a')");
      source.Execute(u"UPDATE PEV_RULE SET NAME = 'b' WHERE ID = 1");
    }
    EXPECT_EQ(Rules(), 0) << "visible before the call commits";
    scope.Commit();
  }
  EXPECT_EQ(database_.Scalar("SELECT NAME FROM PEV_RULE WHERE ID = 1"), "b");
}

TEST_P(CallScopeTest, AFailedNestedCallDoomsTheCallAroundIt) {
  CCallScope outer(CCallScope::Mode::kWriting);
  {
    CCommDataSource source = Source();
    source.Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (1, 'a')");
  }
  {
    CCallScope inner(CCallScope::Mode::kReading);
    EXPECT_EQ(CCallScope::Current(), &inner);
    CCommDataSource source = Source();
    source.Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (2, 'b')");
    // Destroyed without Commit: the nested call failed.
  }
  EXPECT_EQ(CCallScope::Current(), &outer);
  try {
    outer.Commit();
    ADD_FAILURE() << "a doomed call committed";
  } catch (const CEMRException& e) {
    EXPECT_EQ(e.GetText(), u"调用中的事务已被中止, 所做修改均已撤销.");
  }
  EXPECT_EQ(Rules(), 0);
}

TEST_P(CallScopeTest, ConcurrentWritersNeverAllocateTheSameId) {
  constexpr int kCallsPerThread = 20;
  std::atomic<int> failures{0};
  auto writer = [&](const char16_t* name) {
    for (int i = 0; i < kCallsPerThread; ++i) {
      try {
        CCallScope scope(CCallScope::Mode::kWriting);
        {
          CCommDataSource source(database_.connection_string(), u"oracle");
          std::u16string id;
          source.QueryScalar(u"SELECT NVL(MAX(ID), 0) + 1 FROM PEV_RULE", id);
          std::this_thread::yield();
          source.Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (" + id + u", '" + name + u"')");
        }
        scope.Commit();
      } catch (const CEMRException&) {
        ++failures;
      }
    }
  };
  std::thread first(writer, u"first");
  std::thread second(writer, u"second");
  first.join();
  second.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(Rules(), 2 * kCallsPerThread);
  EXPECT_EQ(database_.Scalar("SELECT COUNT(DISTINCT ID) FROM PEV_RULE"),
            std::to_string(2 * kCallsPerThread));
}

// A reading call that writes after another call wrote since it read fails instead of writing
// on a stale read.
TEST_P(CallScopeTest, AReadingCallNeverWritesOnAStaleRead) {
  std::latch both_read(2);
  std::latch first_committed(1);
  auto allocate = [&](bool first) {
    try {
      CCallScope scope(CCallScope::Mode::kReading);
      {
        CCommDataSource source(database_.connection_string(), u"oracle");
        std::u16string id;
        source.QueryScalar(u"SELECT NVL(MAX(ID), 0) + 1 FROM PEV_RULE", id);
        both_read.arrive_and_wait();
        if (!first) first_committed.wait();
        source.Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (" + id + u", 'x')");
      }
      scope.Commit();
    } catch (const CEMRException& e) {
      EXPECT_FALSE(first);
      EXPECT_EQ(e.GetText(), kDatabaseErrorMessage);
    }
    if (first) first_committed.count_down();
  };
  std::thread first(allocate, true);
  std::thread second(allocate, false);
  first.join();
  second.join();
  EXPECT_EQ(Rules(), 1);
}

// A COMMIT or ROLLBACK statement (report SQL may carry one) cannot end the call's shared
// transaction: it fails, and the call keeps its all-or-nothing fate.
TEST_P(CallScopeTest, CommitAndRollbackStatementsCannotSplitACall) {
  for (const bool call_succeeds : {false, true}) {
    SCOPED_TRACE(call_succeeds ? "the call succeeds" : "the call fails");
    {
      CCallScope scope(CCallScope::Mode::kWriting);
      CCommDataSource source = Source();
      source.Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (1, 'a')");
      for (const char16_t* statement : {u"ROLLBACK", u"COMMIT", u"commit work"}) {
        try {
          source.Execute(statement);
          ADD_FAILURE() << korvalis::ToUtf8(statement) << " ran inside the call";
        } catch (const CEMRException& e) {
          EXPECT_EQ(e.GetText(), kDatabaseErrorMessage);
        }
      }
      {
        // A second data source of the call shares the transaction and its refusal.
        CCommDataSource other = Source();
        EXPECT_THROW(other.Execute(u"ROLLBACK"), CEMRException);
        other.Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (2, 'b')");
      }
      if (call_succeeds) scope.Commit();
    }
    EXPECT_EQ(Rules(), call_succeeds ? 2 : 0);
  }
  const auto records = events_.Records();
  ASSERT_FALSE(records.empty());
  EXPECT_NE(records.front().text.find(u"ORA-02089"), std::u16string::npos);
  // Outside a call, a data source's own transaction still takes them.
  {
    CCommDataSource source = Source();
    source.Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (3, 'c')");
    source.Execute(u"ROLLBACK");
    source.Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (4, 'd')");
    source.Execute(u"COMMIT");
  }
  EXPECT_EQ(database_.Scalar("SELECT MAX(ID) || ':' || COUNT(*) FROM PEV_RULE"), "4:3");
}

TEST_P(CallScopeTest, OutsideACallEachDataSourceCommitsUnlessUnwinding) {
  {
    CCommDataSource source = Source();
    source.Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (1, 'kept')");
  }
  EXPECT_EQ(Rules(), 1);
  try {
    CCommDataSource source = Source();
    source.Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (2, 'dropped')");
    throw CEMRException(std::u16string(u"body failed"));
  } catch (const CEMRException&) {
  }
  EXPECT_EQ(Rules(), 1);
}

INSTANTIATE_TEST_SUITE_P(Engines, CallScopeTest, korvalis::db::testing::kBothEngines,
                         korvalis::db::testing::EngineName);

}  // namespace
