// Writes inside reading transactions (a SQL shell's run, a data source used outside a call, a
// reading call that writes) while other connections write, on the embedded file and on the
// server: the first write waits for the writers ahead of it and reads the world they left, the
// reads before it keep their one snapshot, and a failing write is undone alone.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include "platform/db/connection_pool.h"
#include "platform/db/script_runner.h"
#include "platform/db/testing/db_test_util.h"
#include "platform/db/testing/engine_database.h"

namespace korvalis::db {
namespace {

using testing::Scalar;
using Mode = Connection::TransactionMode;

constexpr char kAppend[] = "UPDATE T_COUNTER SET VALUE = VALUE || 'x' WHERE NAME = 'counter'";
constexpr char kLockK3[] = "SELECT VAL FROM T_LOCKED WHERE NAME = 'k3' FOR UPDATE";
constexpr char kIncrementK3[] = "UPDATE T_LOCKED SET VAL = VAL + 1 WHERE NAME = 'k3'";
constexpr char kNextSerial[] =
    "INSERT INTO T_SERIAL (SERIAL, WHO) SELECT NVL(MAX(SERIAL), 0) + 1, 'x' FROM T_SERIAL";

class ReadingWritesTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    RunScript(*first_,
              "CREATE TABLE T_COUNTER (NAME VARCHAR2(20) PRIMARY KEY, VALUE VARCHAR2(400), "
              "BODY BLOB);\n"
              "INSERT INTO T_COUNTER (NAME, VALUE) VALUES ('counter', NULL);\n"
              "CREATE TABLE T_SERIAL (SERIAL NUMBER(10), WHO VARCHAR2(10));\n"
              "CREATE TABLE T_UNIQUE (ID NUMBER(10) PRIMARY KEY);\n"
              "CREATE TABLE T_LOCKED (NAME VARCHAR2(20) PRIMARY KEY, VAL NUMBER(10));\n"
              "INSERT INTO T_LOCKED VALUES ('k3', 0);\n");
  }

  // The counter's length and how many serials are given and distinct, as "length:rows:distinct".
  std::string Written() {
    return Scalar(*first_,
                  "SELECT NVL(LENGTH(VALUE), 0) || ':' || (SELECT COUNT(*) || ':' || "
                  "COUNT(DISTINCT SERIAL) FROM T_SERIAL) FROM T_COUNTER");
  }

  // A reading transaction as a SQL shell or a data source outside a call begins it, and as a
  // reading call begins it.
  static void BeginReading(Connection& c, bool subordinate) {
    if (subordinate) {
      c.BeginSubordinate(Mode::kReading);
    } else {
      c.Begin(Mode::kReading);
    }
  }

  testing::SharedEmptyDatabase database_{GetParam(), "reading_writes"};
  const std::string& init_ = database_.init_string();
  Connection* first_ = &database_.owner();
};

TEST_P(ReadingWritesTest, TheFirstWriteAfterReadsReadsWhatOtherWritersCommittedSince) {
  std::unique_ptr<Connection> reader = OpenConnection(init_);
  std::unique_ptr<Connection> other = OpenConnection(init_);
  // Each kind of first write (DML, a MAX + 1, a BLOB written, DDL), with what it appends to
  // the counter and the serials it gives.
  struct FirstWrite {
    std::function<void(Connection&)> run;
    int appends = 0;
    int serials = 0;
  };
  const FirstWrite first_writes[] = {
      {[](Connection& c) { c.Execute(kAppend); }, 1, 0},
      {[](Connection& c) { c.Execute(kNextSerial); }, 0, 1},
      {[](Connection& c) {
         EXPECT_TRUE(c.WriteBlob("SELECT BODY FROM T_COUNTER WHERE NAME = 'counter'", "b"));
       }},
      {[](Connection& c) { c.Execute("TRUNCATE TABLE T_UNIQUE"); }},
  };
  int appended = 0, serials = 0;
  for (bool subordinate : {false, true}) {
    for (const FirstWrite& first_write : first_writes) {
      SCOPED_TRACE(::testing::Message() << "subordinate " << subordinate << ", write "
                                        << (&first_write - first_writes));
      BeginReading(*reader, subordinate);
      EXPECT_EQ(Scalar(*reader, "SELECT COUNT(*) FROM T_SERIAL"), std::to_string(serials));
      other->Execute(kAppend);
      other->Execute(kNextSerial);
      ++appended, ++serials;
      // The reads keep their snapshot until the first write.
      EXPECT_EQ(Scalar(*reader, "SELECT COUNT(*) FROM T_SERIAL"), std::to_string(serials - 1));
      try {
        first_write.run(*reader);
        reader->Execute(kAppend);
        reader->Execute(kNextSerial);
        appended += first_write.appends + 1;
        serials += first_write.serials + 1;
        EXPECT_EQ(Scalar(*reader, "SELECT COUNT(*) FROM T_SERIAL"), std::to_string(serials));
        reader->Commit();
      } catch (const DbError& e) {
        ADD_FAILURE() << e.what();
        reader->Rollback();
      }
      EXPECT_EQ(Written(), std::to_string(appended) + ":" + std::to_string(serials) + ":" +
                               std::to_string(serials));
    }
  }
}

TEST_P(ReadingWritesTest, TheFirstWriteAfterReadsWaitsForTheWriterAhead) {
  std::unique_ptr<Connection> writer = OpenConnection(init_);
  std::unique_ptr<Connection> reader = OpenConnection(init_);
  for (bool subordinate : {false, true}) {
    SCOPED_TRACE(subordinate ? "subordinate" : "own");
    writer->Begin(Mode::kWriting);
    writer->Execute(kAppend);
    BeginReading(*reader, subordinate);
    const std::string before = Scalar(*reader, "SELECT COUNT(*) FROM T_SERIAL");
    std::future<void> written = std::async(std::launch::async, [&] {
      reader->Execute(kAppend);
      reader->Execute(kNextSerial);
      reader->Commit();
    });
    EXPECT_EQ(written.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    writer->Execute(kNextSerial);
    writer->Commit();
    try {
      written.get();
    } catch (const DbError& e) {
      ADD_FAILURE() << e.what();
      reader->Rollback();
    }
    const int serials = std::stoi(before) + 2;
    EXPECT_EQ(Written(), std::to_string(serials) + ":" + std::to_string(serials) + ":" +
                             std::to_string(serials));
  }
}

// The first write fails: it is undone alone and the transaction goes on reading; a COMMIT
// written as a statement begins a reading transaction again, which holds no writer back. A
// first write may come while a query's rows are still being read.
TEST_P(ReadingWritesTest, AFailingFirstWriteIsUndoneAloneAndACommitStatementReadsAgain) {
  first_->Execute("INSERT INTO T_UNIQUE VALUES (1)");
  std::unique_ptr<Connection> reader = OpenConnection(init_);
  std::unique_ptr<Connection> other = OpenConnection(init_);
  reader->Begin(Mode::kReading);
  EXPECT_EQ(Scalar(*reader, "SELECT COUNT(*) FROM T_UNIQUE"), "1");
  EXPECT_THROW(reader->Execute("INSERT INTO T_UNIQUE VALUES (1)"), DbError);
  EXPECT_TRUE(reader->InTransaction());
  reader->Execute("INSERT INTO T_UNIQUE VALUES (2)");
  reader->Execute("COMMIT");
  EXPECT_TRUE(reader->InTransaction());
  EXPECT_EQ(Scalar(*reader, "SELECT COUNT(*) FROM T_UNIQUE"), "2");
  // Were the writers' turn still held, this writer would wait for it and fail.
  std::future<void> other_written =
      std::async(std::launch::async, [&] { other->Execute("INSERT INTO T_UNIQUE VALUES (3)"); });
  EXPECT_EQ(other_written.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  other_written.get();
  reader->Execute("INSERT INTO T_UNIQUE VALUES (4)");
  reader->Commit();
  // A first write while a query's rows are still being read.
  reader->Begin(Mode::kReading);
  std::unique_ptr<Rowset> rows = reader->Execute("SELECT ID FROM T_UNIQUE ORDER BY ID");
  ASSERT_TRUE(rows->Next());
  reader->Execute("INSERT INTO T_UNIQUE VALUES (5)");
  EXPECT_TRUE(rows->Next());
  rows.reset();
  reader->Commit();
  EXPECT_EQ(Scalar(*first_, "SELECT COUNT(*) || ':' || SUM(ID) FROM T_UNIQUE"), "5:15");
}

// A query FOR UPDATE in a reading transaction (a SQL shell's, a call's, a report's streamed
// query) takes the writers' turn as a first write does: it reads what the writers before it
// committed, and a writer after it waits until its transaction ends, so that no change is lost
// between the value read and the value written back. The same when the lock comes while a
// query's rows are still being read, and when the same text runs again (kept prepared).
TEST_P(ReadingWritesTest, ForUpdateKeepsItsRowsFromChangingUntilItsTransactionEnds) {
  std::unique_ptr<Connection> locker = OpenConnection(init_);
  std::unique_ptr<Connection> other = OpenConnection(init_);
  for (int round = 0; round < 6; ++round) {
    const bool subordinate = round % 2 == 1, streamed = round / 2 == 1, reading = round / 2 == 2;
    SCOPED_TRACE(::testing::Message() << "subordinate " << subordinate << ", streamed "
                                      << streamed << ", while reading " << reading);
    first_->Execute("UPDATE T_LOCKED SET VAL = 0 WHERE NAME = 'k3'");
    BeginReading(*locker, subordinate);
    EXPECT_EQ(Scalar(*locker, "SELECT VAL FROM T_LOCKED WHERE NAME = 'k3'"), "0");
    std::unique_ptr<Rowset> being_read;
    if (reading) {
      being_read = locker->ExecuteStreamed("SELECT NAME FROM T_LOCKED");
      ASSERT_TRUE(being_read->Next());
    } else {
      first_->Execute("UPDATE T_LOCKED SET VAL = 998 WHERE NAME = 'k3'");
    }
    std::unique_ptr<Rowset> rows =
        streamed ? locker->ExecuteStreamed(kLockK3) : locker->Execute(kLockK3);
    ASSERT_TRUE(rows->Next());
    EXPECT_EQ(rows->Text(0), reading ? "0" : "998");
    rows.reset();
    being_read.reset();
    std::future<void> incremented =
        std::async(std::launch::async, [&] { other->Execute(kIncrementK3); });
    EXPECT_EQ(incremented.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    try {
      locker->Execute("UPDATE T_LOCKED SET VAL = 999 WHERE NAME = 'k3'");
      locker->Commit();
      incremented.get();
    } catch (const DbError& e) {
      ADD_FAILURE() << e.what();
      if (locker->InTransaction()) locker->Rollback();
      if (incremented.valid()) incremented.wait();
    }
    EXPECT_EQ(Scalar(*first_, "SELECT VAL FROM T_LOCKED WHERE NAME = 'k3'"), "1000");
  }
}

// NOWAIT fails at once with ORA-00054 while another transaction holds the writers' turn, WAIT n
// fails with ORA-30006 after n seconds, in a transaction (which goes on reading as it was) and
// outside one; WAIT n takes the turn when it comes within n seconds, and a transaction that
// holds the turn waits for nothing.
TEST_P(ReadingWritesTest, ForUpdateNowaitFailsAtOnceAndWaitWaitsItsSeconds) {
  using Clock = std::chrono::steady_clock;
  std::unique_ptr<Connection> writer = OpenConnection(init_);
  std::unique_ptr<Connection> reader = OpenConnection(init_);
  std::unique_ptr<Connection> outside = OpenConnection(init_);
  writer->Begin(Mode::kWriting);
  writer->Execute("UPDATE T_LOCKED SET VAL = 5 WHERE NAME = 'k3'");
  // The failure of `sql` on `c` (a BLOB written through it where `blob` says so), and the
  // seconds it took.
  auto failure = [](Connection& c, const std::string& sql, double* seconds, bool blob = false) {
    const Clock::time_point start = Clock::now();
    std::string message = "no failure";
    try {
      if (blob) {
        c.WriteBlob(sql, "b");
      } else {
        c.Execute(sql);
      }
    } catch (const DbError& e) {
      message = e.what();
    }
    *seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return message;
  };
  reader->BeginSubordinate(Mode::kReading);
  double seconds = 0;
  for (Connection* c : {reader.get(), outside.get()}) {
    SCOPED_TRACE(c == reader.get() ? "in a reading transaction" : "outside a transaction");
    EXPECT_TRUE(failure(*c, std::string(kLockK3) + " NOWAIT", &seconds)
                    .starts_with("ORA-00054: resource busy and acquire with NOWAIT specified"));
    EXPECT_LT(seconds, 10);
    EXPECT_TRUE(failure(*c, std::string(kLockK3) + " WAIT 0", &seconds)
                    .starts_with("ORA-30006: resource busy; acquire with WAIT timeout expired"));
    EXPECT_LT(seconds, 10);
    EXPECT_TRUE(failure(*c, std::string(kLockK3) + " WAIT 1", &seconds)
                    .starts_with("ORA-30006: resource busy; acquire with WAIT timeout expired"));
    EXPECT_GE(seconds, 0.9);
    EXPECT_LT(seconds, 10);
    EXPECT_TRUE(failure(*c, "SELECT BODY FROM T_COUNTER WHERE NAME = 'counter' FOR UPDATE NOWAIT",
                        &seconds, true)
                    .starts_with("ORA-00054: resource busy and acquire with NOWAIT specified"));
    EXPECT_LT(seconds, 10);
  }
  EXPECT_TRUE(reader->InTransaction());
  EXPECT_EQ(Scalar(*reader, "SELECT VAL FROM T_LOCKED WHERE NAME = 'k3'"), "0");
  EXPECT_EQ(Scalar(*writer, std::string(kLockK3) + " NOWAIT"), "5");
  std::future<void> committed = std::async(std::launch::async, [&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    writer->Commit();
  });
  EXPECT_EQ(Scalar(*reader, std::string(kLockK3) + " WAIT 20"), "5");
  committed.get();
  EXPECT_EQ(Scalar(*reader, std::string(kLockK3) + " NOWAIT"), "5");
  EXPECT_TRUE(failure(*outside, std::string(kLockK3) + " NOWAIT", &seconds).starts_with("ORA-00054"));
  reader->Execute(kIncrementK3);
  reader->Commit();
  EXPECT_EQ(Scalar(*outside, std::string(kLockK3) + " NOWAIT"), "6");
  // The longest wait the engines count is one they accept.
  reader->Begin(Mode::kReading);
  EXPECT_EQ(Scalar(*reader, std::string(kLockK3) + " WAIT 99999999999"), "6");
  reader->Commit();
}

INSTANTIATE_TEST_SUITE_P(Engines, ReadingWritesTest, testing::kBothEngines, testing::EngineName);

}  // namespace
}  // namespace korvalis::db
