#include "foundation/calls/emr_error.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/com/error_info.h"

namespace {

TEST(EMRRemoteError, WithoutErrorInformationReadsUnknownSystemError) {
  SetErrorInfo(0, nullptr);
  EXPECT_EQ(CEMRRemoteError().GetError(), u"系统未知错误.");
}

TEST(EMRRemoteError, SetThenGetReturnsTheTextOnceOnTheSameThread) {
  CEMRRemoteError().SetError(u"函数:'CQCAdmin::SaveRule' 出现异常错误.");
  std::u16string seen_by_other;
  std::thread([&] { seen_by_other = CEMRRemoteError().GetError(); }).join();
  EXPECT_EQ(seen_by_other, u"系统未知错误.");
  EXPECT_EQ(CEMRRemoteError().GetError(), u"函数:'CQCAdmin::SaveRule' 出现异常错误.");
  EXPECT_EQ(CEMRRemoteError().GetError(), u"系统未知错误.");
}

TEST(EMRRemoteError, ErrorObjectWithoutDescriptionReadsEmpty) {
  ICreateErrorInfo* create = nullptr;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  IErrorInfo* info = nullptr;
  ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
  SetErrorInfo(0, info);
  info->Release();
  create->Release();
  EXPECT_EQ(CEMRRemoteError().GetError(), u"");
}

TEST(EMRRemoteError, ReachableThroughTheAbstractBase) {
  CEMRRemoteError remote;
  CEMRError& error = remote;
  error.SetError(u"x");
  EXPECT_EQ(error.GetError(), u"x");
}

}  // namespace
