#include "foundation/suite/factory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>
#include <vector>

#include "foundation/calls/emr_error.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/text/string_util.h"
#include "foundation/suite/suite_interfaces.h"
#include "platform/com/bstr.h"
#include "platform/com/error_info.h"
#include "suite/testing/sibling_doubles.h"

namespace {

using korvalis::suite::testing::SiblingAnswer;
using korvalis::suite::testing::SiblingDoubles;
using korvalis::testing::FailureOf;

std::u16string Upper(const GUID& guid) { return ToUpperAscii(korvalis::GuidToString(guid)); }

std::u16string Entry(std::u16string iid, std::u16string clsid) {
  return u"<interface iid=\"" + iid + u"\" clsid=\"" + clsid + u"\"/>";
}

std::u16string DateTimeClass() { return Upper(SiblingDoubles::DoubleClass(IID_IDateTimeService)); }

// Creates the date-time component through `factory` and asks it for the time.
std::u16string AskDateTime(CSingleFactory& factory, const CLSID* clsid = nullptr) {
  IDateTimeService* component = nullptr;
  factory.CreateInstance(IID_IDateTimeService, reinterpret_cast<void**>(&component), clsid);
  BSTR text = nullptr;
  HRESULT hr = component->GetDateTime(&text);
  component->Release();
  std::u16string answer(korvalis::BstrView(text));
  SysFreeString(text);
  CheckSiblingCall(hr);
  return answer;
}

class FactoryTest : public ::testing::Test {
 protected:
  size_t RegistryCalls() const { return doubles_.Calls(IID_ISuiteRegistry).size(); }

  SiblingDoubles doubles_;
  CSingleFactory factory_;
};

TEST_F(FactoryTest, CreatesTheListedClassAndReadsTheListOnce) {
  doubles_.Answer(IID_IDateTimeService, 7, u"2026-12-07 09:30:00");
  EXPECT_EQ(AskDateTime(factory_), u"2026-12-07 09:30:00");
  EXPECT_EQ(AskDateTime(factory_), u"2026-12-07 09:30:00");
  EXPECT_EQ(RegistryCalls(), 1u);
  EXPECT_EQ(doubles_.Calls(IID_IDateTimeService).size(), 2u);
}

TEST_F(FactoryTest, LowerCaseInterfaceIdsAreFoundBracedOnesNever) {
  doubles_.SetInterfaceList(
      u"<list>\n  <!-- white space and comments carry no entry -->\n  " +
      Entry(korvalis::GuidToString(IID_IDateTimeService), DateTimeClass()) + u"\n  " +
      Entry(u"{" + Upper(IID_ISecurityService) + u"}",
            Upper(SiblingDoubles::DoubleClass(IID_ISecurityService))) +
      u"\n</list>");
  doubles_.Answer(IID_IDateTimeService, 7, u"now");
  EXPECT_EQ(AskDateTime(factory_), u"now");

  void* security = nullptr;
  EXPECT_EQ(FailureOf([&] { factory_.CreateInstance(IID_ISecurityService, &security); }),
            kNoImplementingClass);
  EXPECT_EQ(security, nullptr);
}

TEST_F(FactoryTest, TheFirstOfDuplicateEntriesWins) {
  const std::u16string unregistered = u"00000000-0000-0000-0000-0000000000AA";
  doubles_.SetInterfaceList(u"<list>" + Entry(Upper(IID_IDateTimeService), DateTimeClass()) +
                            Entry(Upper(IID_IDateTimeService), unregistered) + u"</list>");
  EXPECT_EQ(AskDateTime(factory_), u"");

  CSingleFactory reversed;
  doubles_.SetInterfaceList(u"<list>" + Entry(Upper(IID_IDateTimeService), unregistered) +
                            Entry(Upper(IID_IDateTimeService), DateTimeClass()) + u"</list>");
  EXPECT_EQ(FailureOf([&] { AskDateTime(reversed); }), kCreateComponentError);
}

TEST_F(FactoryTest, AClassIdWithBracesOrOfAnotherFormFails) {
  doubles_.SetInterfaceList(u"<list>" +
                            Entry(Upper(IID_IDateTimeService), u"{" + DateTimeClass() + u"}") +
                            Entry(Upper(IID_IServerDateTime), u"not a class") + u"</list>");
  EXPECT_EQ(FailureOf([&] { AskDateTime(factory_); }), kClassIdError);
  void* server_time = nullptr;
  EXPECT_EQ(FailureOf([&] { factory_.CreateInstance(IID_IServerDateTime, &server_time); }),
            kClassIdError);
}

TEST_F(FactoryTest, AnEmptyListIsAskedForAgainOnEveryRequest) {
  doubles_.SetInterfaceList(u"<list/>");
  EXPECT_EQ(FailureOf([&] { AskDateTime(factory_); }), kNoImplementingClass);
  EXPECT_EQ(FailureOf([&] { AskDateTime(factory_); }), kNoImplementingClass);
  EXPECT_EQ(RegistryCalls(), 2u);

  doubles_.SetInterfaceList(SiblingDoubles::DefaultInterfaceList());
  EXPECT_EQ(AskDateTime(factory_), u"");
  EXPECT_EQ(RegistryCalls(), 3u);
}

TEST_F(FactoryTest, ARegistryComponentThatCannotBeCreatedIsTriedAgainNextTime) {
  doubles_.Unregister(CLSID_SuiteRegistry);
  EXPECT_EQ(FailureOf([&] { AskDateTime(factory_); }), kCreateComponentError);
  EXPECT_EQ(FailureOf([&] { AskDateTime(factory_); }), kCreateComponentError);
  EXPECT_EQ(RegistryCalls(), 0u);

  doubles_.Register(CLSID_SuiteRegistry);
  EXPECT_EQ(AskDateTime(factory_), u"");
  EXPECT_EQ(RegistryCalls(), 1u);
}

TEST_F(FactoryTest, AFailingListCarriesTheComponentsDescriptionAndLeavesTheMapEmpty) {
  doubles_.Fail(IID_ISuiteRegistry, 7, E_FAIL, u"注册组件不可用");
  EXPECT_EQ(FailureOf([&] { AskDateTime(factory_); }), u"注册组件不可用");

  CSingleFactory other;
  doubles_.Fail(IID_ISuiteRegistry, 7, E_ACCESSDENIED);
  EXPECT_EQ(FailureOf([&] { AskDateTime(other); }), kUnknownSystemError);

  // The scripted failure is the last one queued, so it repeats until the script changes.
  EXPECT_EQ(RegistryCalls(), 2u);
}

TEST_F(FactoryTest, AListThatIsNotXmlFailsAndIsReadAgain) {
  doubles_.SetInterfaceList(u"<list><interface iid=");
  EXPECT_EQ(FailureOf([&] { AskDateTime(factory_); }), kInterfaceListError);
  doubles_.SetInterfaceList(SiblingDoubles::DefaultInterfaceList());
  EXPECT_EQ(AskDateTime(factory_), u"");
}

TEST_F(FactoryTest, AnExplicitClassIdBypassesTheRegistryComponent) {
  doubles_.Answer(IID_IDateTimeService, 7, u"direct");
  const CLSID clsid = SiblingDoubles::DoubleClass(IID_IDateTimeService);
  EXPECT_EQ(AskDateTime(factory_, &clsid), u"direct");
  EXPECT_EQ(RegistryCalls(), 0u);

  const CLSID unknown = GUID_NULL;
  EXPECT_EQ(FailureOf([&] { AskDateTime(factory_, &unknown); }), kCreateComponentError);
}

TEST_F(FactoryTest, AClassThatDoesNotServeTheInterfaceFailsCreation) {
  doubles_.SetInterfaceList(u"<list>" +
                            Entry(Upper(IID_IDateTimeService),
                                  Upper(SiblingDoubles::DoubleClass(IID_ISecurityService))) +
                            u"</list>");
  EXPECT_EQ(FailureOf([&] { AskDateTime(factory_); }), kCreateComponentError);
}

TEST_F(FactoryTest, ProcessWideFactoriesAreDistinctAndKeepTheirOwnLists) {
  CEMRFactory* emr = CEMRFactory::Instance();
  DIDUFactory* didu = DIDUFactory::Instance();
  EXPECT_EQ(emr, CEMRFactory::Instance());
  EXPECT_EQ(didu, DIDUFactory::Instance());
  EXPECT_NE(static_cast<CSingleFactory*>(emr), static_cast<CSingleFactory*>(didu));

  // Separate copies: the first factory keeps the list it read when the published one changes.
  CSingleFactory first;
  CSingleFactory second;
  EXPECT_EQ(AskDateTime(first), u"");
  doubles_.SetInterfaceList(u"<list/>");
  EXPECT_EQ(AskDateTime(first), u"");
  EXPECT_EQ(FailureOf([&] { AskDateTime(second); }), kNoImplementingClass);
}

TEST_F(FactoryTest, AFailedSiblingCallBecomesAnExceptionWithItsDescription) {
  doubles_.Fail(IID_IDateTimeService, 7, E_FAIL, u"时钟不可用");
  EXPECT_EQ(FailureOf([&] { AskDateTime(factory_); }), u"时钟不可用");

  doubles_.Fail(IID_IDateTimeService, 7, E_FAIL);
  EXPECT_EQ(FailureOf([&] { AskDateTime(factory_); }), kUnknownSystemError);

  EXPECT_EQ(FailureOf([] { CheckSiblingCall(S_FALSE); }), u"");
}

TEST(NewGuidTest, FormatIsPlainLowerCaseHexWithHyphens) {
  for (int i = 0; i < 100; ++i) {
    std::u16string guid = CEMRFactory::Instance()->NewGuid();
    ASSERT_EQ(guid.size(), 36u);
    for (size_t pos = 0; pos < guid.size(); ++pos) {
      char16_t c = guid[pos];
      if (pos == 8 || pos == 13 || pos == 18 || pos == 23) {
        EXPECT_EQ(c, u'-') << pos;
      } else {
        EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')) << pos;
      }
    }
  }
}

TEST(NewGuidTest, EveryValueIsNewAcrossEightThreads) {
  constexpr int kThreads = 8;
  constexpr int kPerThread = 2000;
  std::vector<std::vector<std::u16string>> made(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&made, t] {
      for (int i = 0; i < kPerThread; ++i) made[t].push_back(CEMRFactory::Instance()->NewGuid());
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::set<std::u16string> distinct;
  for (const auto& list : made) distinct.insert(list.begin(), list.end());
  EXPECT_EQ(distinct.size(), static_cast<size_t>(kThreads * kPerThread));
}

TEST_F(FactoryTest, ConcurrentFirstRequestsReadTheListOnce) {
  std::vector<std::thread> threads;
  std::vector<std::u16string> failures(8);
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] { failures[t] = FailureOf([&] { AskDateTime(factory_); }); });
  }
  for (std::thread& thread : threads) thread.join();
  for (const std::u16string& failure : failures) EXPECT_EQ(failure, u"");
  EXPECT_EQ(RegistryCalls(), 1u);
}

}  // namespace
