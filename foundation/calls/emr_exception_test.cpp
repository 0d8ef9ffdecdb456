#include "foundation/calls/emr_exception.h"

#include <gtest/gtest.h>

namespace {

TEST(EMRException, NarrowAndWideTextsAreUtf8OfEachOther) {
  const CEMRException narrow(std::string("数据库错误, 请与系统管理员联系."));
  EXPECT_EQ(narrow.GetText(), u"数据库错误, 请与系统管理员联系.");
  const CEMRException wide(std::u16string(u"该病历已经被删除"));
  EXPECT_EQ(wide.GetTextA(), "该病历已经被删除");
  EXPECT_EQ(CEMRException(std::string("bad \xff byte")).GetText(), u"bad \uFFFD byte");
}

TEST(EMRException, SurvivesThrowingByValueAndCatchingAsBase) {
  try {
    throw CEMRException(std::u16string(u"无效XML!"));
  } catch (const std::exception& e) {
    const auto* emr = dynamic_cast<const CEMRException*>(&e);
    ASSERT_NE(emr, nullptr);
    EXPECT_EQ(emr->GetText(), u"无效XML!");
  }
}

}  // namespace
