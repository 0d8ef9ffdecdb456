#include "quality/review/core_system.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/testing/test_call.h"
#include "quality/review/testing/collector_test_support.h"

namespace korvalis::review::testing {
namespace {

using korvalis::testing::RunAsCall;

class RefreshRecordTest : public CollectorTest {
 protected:
  // Runs the batch as a method call does; the message of its failure, "" on success.
  std::u16string Refresh(const std::u16string& list) {
    return RunAsCall(db_.init_string(), [&](CEMRDataSource* data_source) {
      ScopedBstr text(list);
      CBCoreSystem::RefreshRecord(data_source, text.get());
    });
  }
  Rows Params() {
    return db_.Query("SELECT NAME, VALUE FROM TELV_SYS_PARAM WHERE NAME LIKE 'cs%' ORDER BY NAME");
  }
};

TEST_F(RefreshRecordTest, TheElementTextsRunInDocumentOrder) {
  EXPECT_EQ(
      Refresh(u"<list>\n  <sql>INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('cs1', '1 &lt; 2')"
              u"</sql>\n  <!-- <sql>DELETE FROM TELV_SYS_PARAM</sql> -->DELETE FROM TELV_SYS_PARAM"
              u"\n  <sql>UPDATE TELV_SYS_PARAM\nSET VALUE = VALUE || ' &amp; 3'\nWHERE NAME = 'cs1'"
              u"</sql>\n  <any><![CDATA[INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('cs2', "
              u"'a<b&c')]]></any></list>"),
      u"");
  EXPECT_EQ(Params(), (Rows{{"cs1", "1 < 2 & 3"}, {"cs2", "a<b&c"}}));
}

TEST_F(RefreshRecordTest, AFailingStatementLeavesNothingOfTheBatch) {
  const std::u16string first =
      u"<sql>INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('cs1', 'x')</sql>";
  for (const char16_t* second : {u"<sql>INSERT INTO NO_SUCH_TABLE VALUES (1)</sql>",
                                 u"<sql>COMMIT</sql>", u"<sql>ROLLBACK</sql>", u"<sql/>"}) {
    EXPECT_EQ(Refresh(u"<root>" + first + second +
                      u"<sql>INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('cs3', 'z')</sql>"
                      u"</root>"),
              kDatabaseErrorMessage)
        << ToUtf8(second);
    EXPECT_TRUE(Params().empty()) << ToUtf8(second);
  }
}

TEST_F(RefreshRecordTest, AListWithoutDocumentElementRunsNothing) {
  for (const char16_t* list : {u"", u"  ", u"<root><sql>x</root>", u"text only"}) {
    EXPECT_EQ(korvalis::testing::RunAsCall(korvalis::testing::kUnreachableDatabase,
                                           [&](CEMRDataSource* data_source) {
                                             ScopedBstr text(list);
                                             CBCoreSystem::RefreshRecord(data_source, text.get());
                                           }),
              u"无效XML!")
        << ToUtf8(list);
  }
  EXPECT_EQ(Refresh(u"<root>\n</root>"), u"");
}

}  // namespace
}  // namespace korvalis::review::testing
