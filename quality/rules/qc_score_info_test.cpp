#include "quality/rules/qc_score_info.h"

#include <gtest/gtest.h>

#include "foundation/testing/emr_exception_test_util.h"
#include "platform/com/scoped_bstr.h"

namespace korvalis::quality {
namespace {

using com::ScopedBstr;
using korvalis::testing::FailureOf;

QcScoreInfo Read(const std::u16string& text) {
  ScopedBstr score_info(text);
  return ReadQcScoreInfo(score_info.get());
}

TEST(QcScoreInfoTest, ElementsAreFoundAtAnyDepthAndTheFirstOfANameCounts) {
  const QcScoreInfo info = Read(
      u"<score_info><head><score>-1.5</score><dept_internal>12</dept_internal></head>"
      u"<score>99</score><grade>3</grade><grade>1</grade><list>"
      u"<item item_id=\"7\" score=\"0.5\" serial=\"2\" emr_id=\"R1\" item_count=\"two\"/></list>"
      u"<item serial=\"1\" score=\"+3\" item_id=\"8\" note=\"缺&lt;签名&gt;\" emr_title=\"病程\"/>"
      u"</score_info>");
  EXPECT_EQ(info.score, u"-1.5");
  EXPECT_EQ(info.grade, u"3");
  EXPECT_EQ(info.dept_internal, u"12");
  ASSERT_EQ(info.items.size(), 2u);
  EXPECT_EQ(info.items[0].item_id, u"7");
  EXPECT_EQ(info.items[0].score, u"0.5");
  EXPECT_EQ(info.items[0].serial, u"2");
  EXPECT_EQ(info.items[0].note, u"") << "a missing attribute reads as the empty text";
  EXPECT_EQ(info.items[0].item_count, u"two") << "the count is stored quoted, so not checked";
  EXPECT_EQ(info.items[1].item_id, u"8");
  EXPECT_EQ(info.items[1].note, u"缺<签名>");
  EXPECT_EQ(info.items[1].emr_title, u"病程");
  EXPECT_FALSE(Read(u"<root><score>1</score><grade>1</grade></root>").dept_internal);
}

TEST(QcScoreInfoTest, TheFirstValueThatCannotBePlacedBareRefusesTheWholeScore) {
  EXPECT_EQ(FailureOf([] { Read(u""); }), u"评分信息中没有总分(score).");
  EXPECT_EQ(FailureOf([] { Read(u"<root><score>1</score><score>x</score></root>"); }),
            u"评分信息中没有等级(grade).");
  EXPECT_EQ(FailureOf([] { Read(u"<root><score> 1</score><grade>1</grade></root>"); }),
            u"不是有效的数字: ' 1' (score)");
  EXPECT_EQ(FailureOf([] {
              Read(
                  u"<root><score>1</score><grade>1</grade>"
                  u"<item item_id=\"1\" score=\"1e3\" serial=\"1\"/></root>");
            }),
            u"不是有效的数字: '1e3' (score)");
  EXPECT_EQ(FailureOf([] { Read(u"<root><score>1</score>"); }), u"无效XML!");
}

}  // namespace
}  // namespace korvalis::quality
