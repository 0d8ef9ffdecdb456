#include "foundation/data/row_statements.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "foundation/calls/emr_exception.h"
#include "foundation/data/comm_data_source.h"
#include "foundation/data/sql_key.h"
#include "foundation/testing/data_source_test_util.h"
#include "platform/db/testing/engine_database.h"

namespace korvalis {
namespace {

using datasource::testing::ScratchDatabase;

constexpr std::u16string_view kDayFormatForTest = u"yyyy-MM-dd";

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

TEST_P(RowStatementsTest, EachKindOfValueIsStoredAndAnEmptyKeyMatchesNoRow) {
  database_->Run("CREATE TABLE T_KINDS (ID NUMBER, DAY DATE, AT DATE, NOW DATE, NOTE VARCHAR2(9))");
  CCommDataSource source(database_->connection_string(), u"oracle");
  InsertRow(source, u"T_KINDS", u"ID, DAY, AT, NOW, NOTE",
            {RowValue::Number(u" 7 "), RowValue::Date(*source.GetDBType(), u"2026-12-07 08:30:00"),
             RowValue::Date(u"2026-12-08", kDayFormatForTest), RowValue::Now(), RowValue::Null()});
  std::vector<std::u16string> row;
  const std::u16string select =
      u"SELECT ID, TO_CHAR(DAY, 'YYYY-MM-DD HH24:MI:SS'), TO_CHAR(AT, 'YYYY-MM-DD'), "
      u"CASE WHEN NOW IS NULL THEN 'no time' ELSE 'time' END, NVL(NOTE, 'null') FROM T_KINDS";
  source.Query(select, 5, row);
  EXPECT_EQ(row, (std::vector<std::u16string>{u"7", u"2026-12-07 08:30:00", u"2026-12-08",
                                               u"time", u"null"}));
  EXPECT_THROW(RowValue::Number(u"7 OR 1=1", u"id"), CEMRException);
  // Values gathered column by column are written in their order.
  const std::vector<RowValue> gathered = {RowValue::Number(9), u"it's"};
  InsertRow(source, u"T_KINDS", u"ID, NOTE", gathered);
  row.clear();
  source.Query(u"SELECT NOTE FROM T_KINDS" + SqlKey().Number(u"ID", 9).Where(), 1, row);
  EXPECT_EQ(row, std::vector<std::u16string>{u"it's"});
  source.Execute(u"DELETE FROM T_KINDS" + SqlKey().Number(u"ID", 9).Where());

  // A key part with an empty value is still written: it matches no row instead of every row.
  InsertRow(source, u"T_ROW", u"ID, NAME", {u"3", u"c"});
  UpdateRow(source, u"T_ROW", {{u"NAME", u"x"}}, SqlKey().Equals(u"ID", u"").Sql());
  UpdateRow(source, u"T_KINDS", {{u"NOTE", u"n"}, {u"ID", RowValue::Number(8)}},
            SqlKey()
                .Number(u"ID", 7)
                .Equals(u"TO_CHAR(AT, 'YYYY-MM-DD')", u"2026-12-08")
                .Is(u"DAY", RowValue::Date(*source.GetDBType(), u"2026-12-07 08:30:00"))
                .Sql());

  row.clear();
  source.Query(u"SELECT NOTE, ID FROM T_KINDS" + SqlKey().Number(u"ID", u"8").Where() +
                   u" UNION ALL SELECT NAME, 0 FROM T_ROW" + SqlKey().Equals(u"ID", u"3").Where(),
               2, row);
  EXPECT_EQ(row, (std::vector<std::u16string>{u"n", u"8", u"c", u"0"}));
}

TEST_P(RowStatementsTest, KeyComparisonsListsAndAlternativesSelectTheirRows) {
  CCommDataSource source(database_->connection_string(), u"oracle");
  InsertRow(source, u"T_ROW", u"ID, NAME, NOTE", {u"1", u"a;b", u"it's 50%"});
  InsertRow(source, u"T_ROW", u"ID, NAME, NOTE", {u"2", u"ab", u"x_y"});
  InsertRow(source, u"T_ROW", u"ID, NAME, NOTE", {u"3", u"b", u""});
  const auto ids = [&](const SqlKey& key) {
    std::vector<std::u16string> rows;
    source.Query(u"SELECT ID FROM T_ROW" + key.Where() + u" ORDER BY ID", 1, rows);
    return rows;
  };
  using Ids = std::vector<std::u16string>;
  EXPECT_EQ(ids(SqlKey().Compare(u"ID", u"<>", u"2")), (Ids{u"1", u"3"}));
  EXPECT_EQ(ids(SqlKey().Compare(u"TO_NUMBER(ID)", u">", RowValue::Number(1))), (Ids{u"2", u"3"}));
  EXPECT_EQ(ids(SqlKey().Contains(u"NOTE", u"it's")), Ids{u"1"});
  // The value's own wildcards stay wildcards.
  EXPECT_EQ(ids(SqlKey().Contains(u"NOTE", u"_")), (Ids{u"1", u"2"}));
  // A whole entry of the list, not a part of one.
  EXPECT_EQ(ids(SqlKey().Listed(u"NAME", u"b", u";")), (Ids{u"1", u"3"}));
  EXPECT_EQ(ids(SqlKey().Listed(u"NAME", u"a';", u";")), Ids{});
  // Several parts of one alternative stay together; the alternatives are ANDed with the rest.
  EXPECT_EQ(ids(SqlKey()
                    .AnyOf({SqlKey().Equals(u"ID", u"1").Equals(u"NAME", u"b"),
                            SqlKey().Equals(u"NAME", u"b"), SqlKey().Equals(u"ID", u"2")})
                    .Compare(u"ID", u"<>", u"3")),
            Ids{u"2"});
  EXPECT_EQ(ids(SqlKey().AnyOf(std::span<const SqlKey>())), Ids{});
}

INSTANTIATE_TEST_SUITE_P(Engines, RowStatementsTest, db::testing::kBothEngines,
                         db::testing::EngineName);

}  // namespace
}  // namespace korvalis
