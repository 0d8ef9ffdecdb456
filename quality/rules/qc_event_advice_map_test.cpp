#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/testing/test_database.h"
#include "foundation/testing/test_call.h"
#include "platform/com/scoped_bstr.h"
#include "quality/rules/qc_admin.h"

namespace korvalis::rules {
namespace {

using com::ScopedBstr;
using Rows = std::vector<std::vector<std::string>>;

constexpr char16_t kEmptyMessage[] = u"质控事件代码与医嘱代码不能为空.";

class QcEventAdviceMapTest : public ::testing::Test {
 protected:
  std::u16string Add(const std::u16string& property) {
    ScopedBstr text(property);
    return korvalis::testing::RunAsCall(db_.init_string(), [&](CEMRDataSource* ds) {
      CBQCAdmin::AddQcEventAdviceMap(ds, text.get());
    });
  }
  std::u16string Remove(const std::u16string& event_code, const std::u16string& advice_code) {
    ScopedBstr event(event_code), advice(advice_code);
    return korvalis::testing::RunAsCall(db_.init_string(), [&](CEMRDataSource* ds) {
      CBQCAdmin::RemoveQcEventMap(ds, event.get(), advice.get());
    });
  }
  std::u16string List(const std::u16string& condition) {
    ScopedBstr text(condition), result;
    EXPECT_EQ(korvalis::testing::RunAsCall(db_.init_string(),
                                           [&](CEMRDataSource* ds) {
                                             CBQCAdmin::GetQcEventAdviceMapList(ds, text.get(),
                                                                                result.out());
                                           }),
              u"");
    return result.text();
  }
  Rows Pairs() {
    return db_.Query(
        "SELECT QC_EVENT_ID, ADVICE_ID, QC_EVENT_NAME, ADVICE_NAME, ADVICE_TYPE FROM "
        "TELV_QC_ADVICE_EVENT_MAP ORDER BY QC_EVENT_ID, ADVICE_ID");
  }

  schema::TestDatabase db_;
};

TEST_F(QcEventAdviceMapTest, AddingAPairAgainReplacesItsNames) {
  EXPECT_EQ(List(u"<root/>"), u"<?xml version='1.0' ?><root></root>");
  EXPECT_EQ(Add(u"<root><event_code>A01</event_code><advice_code>Y1</advice_code>"
                u"<event_name>入院</event_name><advice_name>旧</advice_name></root>"),
            u"");
  EXPECT_EQ(Add(u"<root><event_code>A01</event_code><advice_code>Y1</advice_code>"
                u"<event_name>入院</event_name><advice_name>新</advice_name>"
                u"<advice_type>1</advice_type></root>"),
            u"");
  EXPECT_EQ(Pairs(), (Rows{{"A01", "Y1", "入院", "新", "1"}}));
}

TEST_F(QcEventAdviceMapTest, EmptyCodesAreRefusedAndChangeNothing) {
  ASSERT_EQ(Add(u"<root><event_code>A01</event_code><advice_code>Y1</advice_code></root>"), u"");
  EXPECT_EQ(Add(u"<root><event_code>A01</event_code><advice_name>x</advice_name></root>"),
            u"CBQCAdmin::AddQcEventAdviceMap: " + std::u16string(kEmptyMessage));
  EXPECT_EQ(Remove(u"", u"Y1"), u"CBQCAdmin::RemoveQcEventMap: " + std::u16string(kEmptyMessage));
  EXPECT_EQ(Pairs(), (Rows{{"A01", "Y1", "", "", ""}}));
  // Removing a pair that does not exist succeeds and changes nothing; an existing one goes.
  EXPECT_EQ(Remove(u"A01", u"Y2"), u"");
  EXPECT_EQ(Pairs().size(), 1u);
  EXPECT_EQ(Remove(u"A01", u"Y1"), u"");
  EXPECT_TRUE(Pairs().empty());
}

TEST_F(QcEventAdviceMapTest, ValuesHoldingQuotesAndMarkupStayValues) {
  ASSERT_EQ(Add(u"<root><event_code>A'01</event_code><advice_code>Y&lt;1</advice_code>"
                u"<event_name>入'院</event_name><advice_name>&lt;b&gt; &amp; \"c\"</advice_name>"
                u"</root>"),
            u"");
  ASSERT_EQ(Add(u"<root><event_code>B01</event_code><advice_code>Y2</advice_code></root>"), u"");
  EXPECT_EQ(List(u"<root><event_code>A'01</event_code></root>"),
            u"<?xml version='1.0' ?><root><item event_code='A&apos;01' advice_code='Y&lt;1' "
            u"event_name='入&apos;院' advice_name='&lt;b&gt; &amp; &quot;c&quot;' advice_type='' />"
            u"</root>");
  EXPECT_EQ(Remove(u"A'01", u"Y<1"), u"");
  EXPECT_EQ(Pairs(), (Rows{{"B01", "Y2", "", "", ""}}));
}

}  // namespace
}  // namespace korvalis::rules
