#include "interface/emr_call_scope.h"

#include <gtest/gtest.h>

#include <fstream>

#include "db/testing/test_database.h"
#include "foundation/emr_data_source.h"
#include "foundation/emr_error.h"
#include "foundation/emr_exception.h"

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
