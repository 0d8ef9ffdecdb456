#include <gtest/gtest.h>

#include "foundation/calls/emr_error.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/suite_interfaces.h"
#include "lookups/record_library.h"
#include "suite/testing/sibling_doubles.h"

namespace {

using korvalis::suite::testing::SiblingDoubles;

std::u16string FailureOf(BSTR* result) {
  try {
    GetSystemDateTime(nullptr, result);
  } catch (const CEMRException& e) {
    return e.GetText();
  }
  return u"";
}

TEST(GetSystemDateTimeTest, AnswersTheDateTimeComponentsTextOnEveryCall) {
  SiblingDoubles doubles;
  doubles.Answer(IID_IDateTimeService, 7, u"2026-12-07 09:30:00");
  doubles.Answer(IID_IDateTimeService, 7, u"2026-12-07 09:30:01");
  BSTR first = nullptr;
  BSTR second = nullptr;
  EXPECT_EQ(GetSystemDateTime(nullptr, &first), 0);
  EXPECT_EQ(GetSystemDateTime(nullptr, &second), 0);
  EXPECT_EQ(korvalis::BstrView(first), u"2026-12-07 09:30:00");
  EXPECT_EQ(korvalis::BstrView(second), u"2026-12-07 09:30:01");
  SysFreeString(first);
  SysFreeString(second);

  // A null result pointer still asks the component but writes nothing.
  EXPECT_EQ(FailureOf(nullptr), u"");
  EXPECT_EQ(doubles.Calls(IID_IDateTimeService).size(), 3u);
}

TEST(GetSystemDateTimeTest, AFailingComponentGivesItsDescriptionOrTheUnknownError) {
  SiblingDoubles doubles;
  BSTR result = nullptr;
  doubles.Fail(IID_IDateTimeService, 7, E_FAIL, u"时间服务器不可用");
  EXPECT_EQ(FailureOf(&result), u"时间服务器不可用");
  doubles.Fail(IID_IDateTimeService, 7, E_UNEXPECTED);
  EXPECT_EQ(FailureOf(&result), kUnknownSystemError);
  EXPECT_EQ(result, nullptr);
}

TEST(GetSystemDateTimeTest, AComponentThatCannotBeCreatedFailsWithTheFactorysMessage) {
  SiblingDoubles doubles;
  doubles.Unregister(SiblingDoubles::DoubleClass(IID_IDateTimeService));
  BSTR result = nullptr;
  EXPECT_EQ(FailureOf(&result), kCreateComponentError);
  doubles.Register(SiblingDoubles::DoubleClass(IID_IDateTimeService));
  EXPECT_EQ(FailureOf(&result), u"");
  SysFreeString(result);
}

}  // namespace
