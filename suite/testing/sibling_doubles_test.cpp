#include "suite/testing/sibling_doubles.h"

#include <gtest/gtest.h>

#include "foundation/calls/emr_error.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/suite_interfaces.h"
#include "platform/com/bstr.h"

namespace {

using korvalis::BstrView;
using korvalis::suite::testing::SiblingAnswer;
using korvalis::suite::testing::SiblingDoubles;

template <class Interface>
Interface* Create(CSingleFactory& factory, const IID& iid) {
  Interface* component = nullptr;
  factory.CreateInstance(iid, reinterpret_cast<void**>(&component));
  return component;
}

std::u16string Dictionary(IDictionaryService* dictionary) {
  BSTR text = nullptr;
  HRESULT hr = dictionary->GetDictionary3(&text);
  std::u16string answer = SUCCEEDED(hr) ? std::u16string(BstrView(text)) : u"failed";
  SysFreeString(text);
  return answer;
}

TEST(SiblingDoublesTest, AnswersAreUsedInOrderAndTheLastOneRepeats) {
  SiblingDoubles doubles;
  CSingleFactory factory;
  IDictionaryService* dictionary = Create<IDictionaryService>(factory, IID_IDictionaryService);
  EXPECT_EQ(Dictionary(dictionary), u"");  // unscripted: an empty text
  doubles.Answer(IID_IDictionaryService, 9, u"a");
  doubles.Answer(IID_IDictionaryService, 9, u"b");
  EXPECT_EQ(Dictionary(dictionary), u"a");
  EXPECT_EQ(Dictionary(dictionary), u"b");
  EXPECT_EQ(Dictionary(dictionary), u"b");
  doubles.Answer(IID_IDictionaryService, 9, u"c");
  EXPECT_EQ(Dictionary(dictionary), u"c");
  EXPECT_EQ(doubles.Calls(IID_IDictionaryService).size(), 5u);
  EXPECT_EQ(doubles.Calls(GUID_NULL).size(), 6u);  // with the registry component's list
  dictionary->Release();
}

TEST(SiblingDoublesTest, FailuresSetErrorInformationOnlyWhenGivenOne) {
  SiblingDoubles doubles;
  CSingleFactory factory;
  IDictionaryService* dictionary = Create<IDictionaryService>(factory, IID_IDictionaryService);
  doubles.Fail(IID_IDictionaryService, 9, E_ACCESSDENIED, u"无权访问字典");
  BSTR text = nullptr;
  EXPECT_EQ(dictionary->GetDictionary3(&text), E_ACCESSDENIED);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(CEMRRemoteError().GetError(), u"无权访问字典");

  doubles.Fail(IID_IDictionaryService, 9, E_FAIL);
  EXPECT_EQ(dictionary->GetDictionary3(&text), E_FAIL);
  EXPECT_EQ(CEMRRemoteError().GetError(), kUnknownSystemError);
  dictionary->Release();
}

TEST(SiblingDoublesTest, CallsRecordTheirArgumentsAndFlagsAndInOutValuesFollowTheScript) {
  SiblingDoubles doubles;
  CSingleFactory factory;
  IVisitData* data = Create<IVisitData>(factory, IID_IVisitData);
  ISecurityService* security = Create<ISecurityService>(factory, IID_ISecurityService);
  BSTR patient = korvalis::AllocBstr(u"P1");
  BSTR key = korvalis::AllocBstr(u"emr.residence.diagnosis.first");
  BSTR value = korvalis::AllocBstr(u"kept");

  EXPECT_EQ(data->GetVisitData(patient, nullptr, 5, key, &value), S_OK);
  EXPECT_EQ(BstrView(value), u"kept");  // unscripted: left alone
  doubles.Answer(IID_IVisitData, 7, u"肺炎");
  EXPECT_EQ(data->GetVisitData(patient, nullptr, 5, key, &value), S_OK);
  EXPECT_EQ(BstrView(value), u"肺炎");

  std::vector<korvalis::suite::testing::SiblingCall> calls = doubles.Calls(IID_IVisitData);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].slot, 7);
  EXPECT_EQ(calls[0].args,
            (std::vector<std::u16string>{u"P1", u"", u"5", u"emr.residence.diagnosis.first"}));

  VARIANT_BOOL pass = VARIANT_TRUE;
  EXPECT_EQ(security->CheckPassword(patient, patient, &pass), S_OK);
  EXPECT_EQ(pass, VARIANT_FALSE);  // unscripted: false
  doubles.Answer(IID_ISecurityService, 10, SiblingAnswer{S_OK, u"1", std::nullopt});
  EXPECT_EQ(security->CheckPassword(patient, patient, &pass), S_OK);
  EXPECT_EQ(pass, VARIANT_TRUE);
  EXPECT_EQ(security->Reserved8(), E_NOTIMPL);

  doubles.ClearCalls();
  EXPECT_TRUE(doubles.Calls(GUID_NULL).empty());
  SysFreeString(patient);
  SysFreeString(key);
  SysFreeString(value);
  security->Release();
  data->Release();
}

}  // namespace
