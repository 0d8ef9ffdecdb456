#include "platform/com/error_info.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <thread>

namespace {

const IID kOtherIid = {0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Installs a new error object with `description` on the calling thread.
void InstallError(const char16_t* description) {
  ICreateErrorInfo* create = nullptr;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  ASSERT_EQ(create->SetDescription(description), S_OK);
  IErrorInfo* info = nullptr;
  ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
  ASSERT_EQ(SetErrorInfo(0, info), S_OK);
  info->Release();
  create->Release();
}

// Takes the thread's error object and returns its description, or "<none>".
std::u16string TakeDescription() {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK) return u"<none>";
  BSTR text = nullptr;
  EXPECT_EQ(info->GetDescription(&text), S_OK);
  std::u16string result(korvalis::BstrView(text));
  SysFreeString(text);
  info->Release();
  return result;
}

TEST(ErrorInfo, GetHandsOverAndClears) {
  InstallError(u"数据库错误");
  EXPECT_EQ(TakeDescription(), u"数据库错误");
  IErrorInfo* info = reinterpret_cast<IErrorInfo*>(0x1);
  EXPECT_EQ(GetErrorInfo(0, &info), S_FALSE);
  EXPECT_EQ(info, nullptr);
}

TEST(ErrorInfo, SetReplacesAndNullClears) {
  InstallError(u"first");
  InstallError(u"second");
  EXPECT_EQ(TakeDescription(), u"second");
  InstallError(u"third");
  EXPECT_EQ(SetErrorInfo(0, nullptr), S_OK);
  EXPECT_EQ(TakeDescription(), u"<none>");
}

TEST(ErrorInfo, ThreadsDoNotSeeEachOthersErrors) {
  InstallError(u"main thread");
  std::u16string seen_by_other;
  std::thread other([&] {
    seen_by_other = TakeDescription();
    InstallError(u"other thread");
  });
  other.join();
  EXPECT_EQ(seen_by_other, u"<none>");
  EXPECT_EQ(TakeDescription(), u"main thread");
}

TEST(ErrorInfo, UnsetFieldsReadAsNullAndReservedMustBeZero) {
  ICreateErrorInfo* create = nullptr;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  IErrorInfo* info = nullptr;
  ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
  BSTR text = SysAllocString(u"stale");
  SysFreeString(text);
  EXPECT_EQ(info->GetSource(&text), S_OK);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(info->GetDescription(nullptr), E_POINTER);
  GUID guid;
  EXPECT_EQ(info->GetGUID(&guid), S_OK);
  EXPECT_EQ(guid, GUID_NULL);
  void* other = nullptr;
  EXPECT_EQ(info->QueryInterface(kOtherIid, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(SetErrorInfo(1, info), E_INVALIDARG);
  EXPECT_EQ(CreateErrorInfo(nullptr), E_POINTER);
  info->Release();
  create->Release();
}

TEST(ErrorInfo, CopiesInOtherLibrariesShareTheThreadSlot) {
  void* module = dlopen(KORVALIS_ERROR_INFO_COPY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  using SetInOtherCopy = HRESULT (*)(const char16_t*);
  auto set_in_other_copy =
      reinterpret_cast<SetInOtherCopy>(dlsym(module, "SetErrorInOtherCopy"));
  ASSERT_NE(set_in_other_copy, nullptr);
  ASSERT_EQ(set_in_other_copy(u"set by a sibling"), S_OK);
  std::u16string seen_by_other_thread;
  std::thread([&] { seen_by_other_thread = TakeDescription(); }).join();
  EXPECT_EQ(seen_by_other_thread, u"<none>");
  EXPECT_EQ(TakeDescription(), u"set by a sibling");
}

}  // namespace
