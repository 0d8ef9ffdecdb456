#include "foundation/data/property_map.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "foundation/calls/call_scope.h"

#include "foundation/testing/data_source_test_util.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/testing/emr_exception_test_util.h"

namespace {

using korvalis::datasource::testing::EMRDatabase;
using korvalis::testing::FailureOf;

class PropertyMapTest : public ::testing::Test {
 protected:
  // Rows of the test's own mapping, present before the process first loads the mappings.
  static void SetUpTestSuite() {
    auto& database = EMRDatabase();
    database.Execute(
        "INSERT INTO TELV_PROPERTY_MAP VALUES ('zz_test', 'p', 'FIRST', 'string', NULL)");
    database.Execute(
        "INSERT INTO TELV_PROPERTY_MAP VALUES ('zz_test', 'p', 'SECOND', 'number', NULL)");
    database.Execute(
        "INSERT INTO TELV_PROPERTY_MAP VALUES ('zz_test', 'q', 'Q', 'number', 'notes')");
  }
};

// The first test of the process's mappings: they are not loaded yet. A call that loads them
// while another call holds the database's write lock waits for that call, but does not keep it
// from the mappings meanwhile, so the writer loads them too and finishes.
TEST_F(PropertyMapTest, ALoadWaitingForAWriterLetsTheWriterLoadAndFinish) {
  CCallScope writer(CCallScope::Mode::kWriting);
  {
    CEMRDataSource source;
    source.Execute(u"UPDATE TELV_SYS_PARAM SET VALUE = VALUE WHERE 1 = 0");
  }
  std::u16string waiting_failure = u"<not run>";
  std::thread waiting([&waiting_failure] {
    waiting_failure = FailureOf([] {
      CCallScope scope(CCallScope::Mode::kWriting);
      CPropertyMap map(u"telv_report");
      scope.Commit();
    });
  });
  // Time for the other call to reach the write lock; sooner or later, the outcome is the same.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  CPropertyMap map(u"telv_report");
  EXPECT_EQ(map.BuildUpdateSql(u"T", {{u"name", u"x"}}, u" WHERE ID = 1"),
            u"UPDATE T SET NAME = 'x' WHERE ID = 1");
  writer.Commit();
  waiting.join();
  EXPECT_EQ(waiting_failure, u"");
}

TEST_F(PropertyMapTest, InsertWritesEachValueAsItsColumnsTypeSays) {
  CPropertyMap map(u"telv_report");
  EXPECT_EQ(map.BuildInsertSql(u"TELV_REPORT", {{u"createtime", u"2020-01-02 03:04:05"},
                                                {u"name", u"O'Brien"},
                                                {u"sort", u"-2.5"},
                                                {u"note", u""},
                                                {u"id", u"7"}}),
            u"INSERT INTO TELV_REPORT(CREATE_TIME,ID,NAME,NOTE,SORT) VALUES "
            u"(to_date('2020-01-02 03:04:05', 'YYYY-MM-DD HH24:MI:SS'),7,'O''Brien',NULL,-2.5)");
}

TEST_F(PropertyMapTest, UpdateAppendsTheConditionUnchanged) {
  CPropertyMap map(u"telv_report");
  EXPECT_EQ(map.BuildUpdateSql(u"T", {{u"name", u"x"}, {u"note", u""}}, u" WHERE ID = 1"),
            u"UPDATE T SET NAME = 'x',NOTE = NULL WHERE ID = 1");
  EXPECT_EQ(map.BuildUpdateSql(u"T", {{u"createtime", u""}, {u"status", u"1"}}, u" WHERE ID = 2"),
            u"UPDATE T SET CREATE_TIME = NULL,STATUS = 1 WHERE ID = 2");
}

TEST_F(PropertyMapTest, TheStatementsRunAgainstTheSchema) {
  CPropertyMap map(u"telv_report");
  {
    CEMRDataSource source;
    source.Execute(map.BuildInsertSql(
        u"TELV_REPORT",
        {{u"id", u"901"}, {u"name", u"它's"}, {u"createtime", u"2020-01-02 03:04:05"}}));
    source.Execute(map.BuildUpdateSql(u"TELV_REPORT", {{u"note", u"n'1"}}, u" WHERE ID = 901"));
  }
  EXPECT_EQ(EMRDatabase().QueryScalar(
                "SELECT NAME || '|' || NOTE || '|' || "
                "TO_CHAR(CREATE_TIME, 'YYYY-MM-DD HH24:MI:SS') FROM TELV_REPORT WHERE ID = 901"),
            "它's|n'1|2020-01-02 03:04:05");
}

TEST_F(PropertyMapTest, UnsafeOrIncompleteRequestsAreRefused) {
  CPropertyMap map(u"telv_report");
  EXPECT_EQ(FailureOf([&] {
              map.BuildUpdateSql(u"T", {{u"name", u"x"}}, u"");
            }),
            u"更新条件为空, 拒绝更新全表.");
  EXPECT_EQ(FailureOf([&] {
              map.BuildUpdateSql(u"T", {{u"name", u"x"}}, u"  ");
            }),
            u"更新条件为空, 拒绝更新全表.");
  EXPECT_EQ(FailureOf([&] {
              map.BuildInsertSql(u"T", {{u"sort", u"1; DELETE FROM T"}});
            }),
            u"属性值不是数字: sort");
  EXPECT_EQ(FailureOf([&] { map.BuildUpdateSql(u"T", {}, u" WHERE ID = 1"); }),
            u"没有属性列表, 无法生成Update SQL.");
  EXPECT_EQ(FailureOf([&] { map.BuildInsertSql(u"T", {}); }), u"没有属性列表, 无法生成Insert SQL.");
  // One unmapped property fails the whole statement.
  EXPECT_EQ(FailureOf([&] {
              map.BuildInsertSql(u"T", {{u"name", u"x"}, {u"bogus", u"1"}});
            }),
            u"没有找到属性名: bogus");
  CPropertyMap missing(u"no_such_map");
  EXPECT_EQ(FailureOf([&] {
              missing.BuildInsertSql(u"T", {{u"name", u"x"}});
            }),
            u"没有找到映射名: no_such_map");
  // Names are case-sensitive.
  CPropertyMap upper(u"TELV_REPORT");
  EXPECT_EQ(FailureOf([&] {
              upper.BuildInsertSql(u"T", {{u"name", u"x"}});
            }),
            u"没有找到映射名: TELV_REPORT");
}

TEST_F(PropertyMapTest, TheFirstRowOfARepeatedPropertyWins) {
  CPropertyMap map(u"zz_test");
  EXPECT_EQ(map.BuildInsertSql(u"T", {{u"p", u"v"}, {u"q", u"3"}}),
            u"INSERT INTO T(FIRST,Q) VALUES ('v',3)");
  EXPECT_EQ(map.Fields().at(u"q").notes, u"notes");
  // Rows added after the first load are not seen by the running process.
  EMRDatabase().Execute(
      "INSERT INTO TELV_PROPERTY_MAP VALUES ('zz_test', 'r', 'R', 'number', NULL)");
  CPropertyMap again(u"zz_test");
  EXPECT_EQ(FailureOf([&] { again.BuildInsertSql(u"T", {{u"r", u"1"}}); }), u"没有找到属性名: r");
}

}  // namespace
