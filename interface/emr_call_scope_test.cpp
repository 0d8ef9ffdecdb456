#include "interface/emr_call_scope.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <latch>
#include <thread>

#include "db/testing/test_database.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_error.h"
#include "foundation/calls/emr_exception.h"

namespace {

using korvalis::frame::Vote;

// The calls of these tests reach a database of their own through "telv.config.xml" in the
// current directory, as the product's calls do.
class EMRCallScopeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    database_ = new korvalis::schema::TestDatabase;
    std::ofstream("telv.config.xml") << "<config><db><datasource dbtype=\"oracle\">"
                                     << database_->init_string() << "</datasource></db></config>";
    previous_ = korvalis::frame::SetCallScopeRunner(&korvalis::frame::RunEMRCall);
  }
  static void TearDownTestSuite() {
    korvalis::frame::SetCallScopeRunner(previous_);
    std::remove("telv.config.xml");
    delete database_;
  }
  void SetUp() override { database_->Execute("DELETE FROM PEV_RULE"); }

  static korvalis::schema::TestDatabase* database_;
  static korvalis::frame::CallScopeRunner previous_;
};

korvalis::schema::TestDatabase* EMRCallScopeTest::database_ = nullptr;
korvalis::frame::CallScopeRunner EMRCallScopeTest::previous_ = nullptr;

TEST_F(EMRCallScopeTest, ACallWhoseThirdStatementFailsLeavesNoTraceOfTheFirstTwo) {
  const HRESULT hr =
      korvalis::frame::Run(Vote::kYes, "CQCAdmin::InitNewRule", [](CEMRDataSource* source) {
        source->Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (1, 'a')");
        source->Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (2, 'b')");
        source->Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (1, 'again')");
      });
  EXPECT_EQ(hr, E_FAIL);
  EXPECT_EQ(CEMRRemoteError().GetError(), u"数据库错误, 请与系统管理员联系.");
  EXPECT_EQ(database_->Count("PEV_RULE"), 0);
}

TEST_F(EMRCallScopeTest, ABodyFailureRollsBackAndSuccessCommits) {
  EXPECT_EQ(
      korvalis::frame::Run(Vote::kNo, "CQCAdmin::SaveRuleProperty",
                           [](CEMRDataSource* source) {
                             source->Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (1, 'a')");
                             throw CEMRException(std::u16string(u"规则无效"));
                           }),
      E_FAIL);
  EXPECT_EQ(database_->Count("PEV_RULE"), 0);

  std::u16string seen;
  EXPECT_EQ(
      korvalis::frame::Run(Vote::kYes, "CQCAdmin::InitNewRule",
                           [&](CEMRDataSource* source) {
                             source->Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (1, 'a')");
                             // A data source the body makes itself shares the call's transaction.
                             CEMRDataSource own;
                             own.QueryScalar(u"SELECT NAME FROM PEV_RULE WHERE ID = 1", seen);
                           }),
      S_OK);
  EXPECT_EQ(seen, u"a");
  EXPECT_EQ(database_->Count("PEV_RULE"), 1);
}

// Two calls of methods that write without voting: the second commits while the first holds
// what it read and has not written yet. The first call's writing transaction keeps the second
// waiting until the first has written and committed, so neither writes on a stale read and
// both succeed.
TEST_F(EMRCallScopeTest, AMethodThatWritesWithoutAVoteNeverWritesOnAStaleRead) {
  std::latch first_read(1);
  std::promise<void> second_committed;
  std::future<void> second_done = second_committed.get_future();
  HRESULT first_result = E_UNEXPECTED;
  HRESULT second_result = E_UNEXPECTED;
  std::thread first([&] {
    first_result =
        korvalis::frame::Run(Vote::kNo, "CQCTask::DispatchPatient", [&](CEMRDataSource* source) {
          std::u16string id;
          source->QueryScalar(u"SELECT NVL(MAX(ID), 0) + 1 FROM PEV_RULE", id);
          first_read.count_down();
          // In a reading transaction the second call commits meanwhile.
          second_done.wait_for(std::chrono::milliseconds(300));
          source->Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (" + id + u", 'first')");
        });
  });
  std::thread second([&] {
    first_read.wait();
    second_result =
        korvalis::frame::Run(Vote::kNo, "CQCTask::RemovePatient", [](CEMRDataSource* source) {
          source->Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (100, 'second')");
        });
    second_committed.set_value();
  });
  first.join();
  second.join();
  EXPECT_EQ(first_result, S_OK);
  EXPECT_EQ(second_result, S_OK);
  EXPECT_EQ(database_->Count("PEV_RULE"), 2);
}

TEST_F(EMRCallScopeTest, AnAnsweringCallThatFailsRollsBack) {
  // An answering method reports failure as "false" and its writes are rolled back.
  BSTR answer = nullptr;
  EXPECT_EQ(korvalis::frame::RunAnswering(
                [](CEMRDataSource* source) {
                  source->Execute(u"INSERT INTO PEV_RULE (ID, NAME) VALUES (1, 'a')");
                  source->Execute(u"SELECT COUNT(1) FROM (SELEC X)");
                },
                &answer),
            S_OK);
  EXPECT_EQ(korvalis::BstrView(answer), u"false");
  SysFreeString(answer);
  EXPECT_EQ(database_->Count("PEV_RULE"), 0);
}

}  // namespace
