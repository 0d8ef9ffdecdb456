#include "foundation/data/row_statements.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "foundation/data/comm_data_source.h"
#include "foundation/testing/data_source_test_util.h"
#include "platform/db/testing/engine_database.h"

namespace korvalis {
namespace {

using datasource::testing::ScratchDatabase;

class RowStatementsTest : public ::testing::TestWithParam<db::Engine> {
 protected:
  void SetUp() override {
    database_ = std::make_unique<ScratchDatabase>(GetParam());
    database_->Run("CREATE TABLE T_ROW (ID VARCHAR2(10), NAME VARCHAR2(40), NOTE VARCHAR2(40))");
  }
  std::vector<std::u16string> Rows(CCommDataSource& source) {
    std::vector<std::u16string> rows;
    source.Query(u"SELECT ID, NAME, NVL(NOTE, 'null') FROM T_ROW ORDER BY ID", 3, rows);
    return rows;
  }

  std::unique_ptr<ScratchDatabase> database_;
};

TEST_P(RowStatementsTest, ValuesAreStoredAsGivenAndAnEmptyOneAsNull) {
  CCommDataSource source(database_->connection_string(), u"oracle");
  InsertRow(source, u"T_ROW", u"ID, NAME, NOTE", {u"1", u"O'Brien'); DELETE T_ROW --", u""});
  InsertRow(source, u"T_ROW", u"ID, NAME, NOTE", {u"2", u"b", u"n"});
  EXPECT_EQ(Rows(source), (std::vector<std::u16string>{u"1", u"O'Brien'); DELETE T_ROW --",
                                                       u"null", u"2", u"b", u"n"}));

  UpdateRow(source, u"T_ROW", {{u"NAME", u"it's"}, {u"NOTE", u""}}, u"ID = '2'");
  EXPECT_EQ(Rows(source), (std::vector<std::u16string>{u"1", u"O'Brien'); DELETE T_ROW --",
                                                       u"null", u"2", u"it's", u"null"}));
}

INSTANTIATE_TEST_SUITE_P(Engines, RowStatementsTest, db::testing::kBothEngines,
                         db::testing::EngineName);

}  // namespace
}  // namespace korvalis
