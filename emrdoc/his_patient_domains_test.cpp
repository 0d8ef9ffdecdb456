// The HIS diagnosis, operation and fee domains, asked through the system's domain registry
// with the HIS patient-information component scripted.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "emrdoc/domain_manager.h"
#include "emrdoc/domain_table.h"
#include "emrdoc/testing/domain_lookup.h"
#include "emrdoc/testing/std_data_set_fixture.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::emrdoc::testing::AskKeys;
using korvalis::emrdoc::testing::AskRegistry;
using korvalis::emrdoc::testing::CallSlots;
using korvalis::emrdoc::testing::Indented;
using korvalis::emrdoc::testing::StdDataSetTest;
using korvalis::suite::testing::SiblingDoubles;
using korvalis::testing::FailureOf;
using Keys = std::map<std::u16string, std::u16string>;

constexpr int kGetDiagnosisInfo = 11;
constexpr int kGetOperationInfo = 12;
constexpr int kGetFeeInfo = 13;
constexpr int kGetFeeList = 25;

class HISPatientDomainsTest : public StdDataSetTest {
 protected:
  // The values of `keys` asked of a new registry.
  Keys AskAll(int code, const std::vector<std::u16string>& keys) {
    CBDomainManager registry(&data_source_);
    return AskKeys(registry, code, keys);
  }
  // The keys of `expected` asked of a new registry, which must answer them as expected.
  void ExpectKeys(int code, const Keys& expected) {
    std::vector<std::u16string> keys;
    for (const auto& [key, value] : expected) keys.push_back(key);
    EXPECT_EQ(AskAll(code, keys), expected);
  }
  // The keys of `expected` asked after the component was scripted to answer `reply` in `slot`,
  // compact and indented.
  void ExpectKeysOfReply(int code, int slot, const std::u16string& reply, const Keys& expected) {
    for (const std::u16string& text : {reply, Indented(reply)}) {
      doubles_.Answer(IID_IHISPatientInfo, slot, text);
      SCOPED_TRACE(korvalis::ToUtf8(text));
      ExpectKeys(code, expected);
    }
  }
  std::vector<int> HisSlots() const { return CallSlots(doubles_, IID_IHISPatientInfo); }
};

// Every key of `keys` answers empty.
Keys Empty(const std::vector<std::u16string>& keys) {
  Keys empty;
  for (const std::u16string& key : keys) empty[key] = u"";
  return empty;
}

const std::vector<std::u16string> kDiagnosisKeys = {
    u"his.diag.clinic.doctor",    u"his.diag.clinic.1.name",   u"his.diag.clinic.1.icd",
    u"his.diag.residence.doctor", u"his.diag.residence.issue", u"his.diag.residence.confirm",
    u"his.diag.residence.1.name", u"his.diag.residence.1.icd", u"his.diag.finish.doctor",
    u"his.diag.finish.1.name",    u"his.diag.finish.1.icd",    u"his.diag.finish.1.issue"};

const std::vector<std::u16string> kLastOperationKeys = {
    u"his.operation.name",        u"his.operation.icd",        u"his.operation.date",
    u"his.operation.operator",    u"his.operation.assistant1", u"his.operation.assistant2",
    u"his.operation.anaes",       u"his.operation.open",       u"his.operation.close",
    u"his.operation.anaesdoctor", u"his.operation.open_close"};

TEST_F(HISPatientDomainsTest, ThreeClinicDiagnosesWithEmptyResidenceAndFinish) {
  ExpectKeysOfReply(kHISDiagnosisDomainCode, kGetDiagnosisInfo,
                    u"<root><clinic doctor=\"李四\"><diag icd=\"I10\">高血压病</diag>"
                    u"<diag icd=\"E11.9\">2型糖尿病</diag><diag>胸痛待查</diag></clinic>"
                    u"<residence doctor=\"王五\" issue=\"2026-12-01\" confirm=\"2026-12-02\"/>"
                    u"<finish doctor=\"赵六\"/></root>",
                    {{u"his.diag.clinic.doctor", u"李四"},
                     {u"his.diag.clinic.1.name", u"高血压病"},
                     {u"his.diag.clinic.1.icd", u"I10"},
                     {u"his.diag.clinic.2.name", u"2型糖尿病"},
                     {u"his.diag.clinic.2.icd", u"E11.9"},
                     {u"his.diag.clinic.3.name", u"胸痛待查"},
                     {u"his.diag.clinic.3.icd", u""},  // the child has no `icd`
                     {u"his.diag.clinic.4.name", u""},
                     {u"his.diag.residence.doctor", u"王五"},
                     {u"his.diag.residence.issue", u"2026-12-01"},
                     {u"his.diag.residence.confirm", u"2026-12-02"},
                     {u"his.diag.residence.1.name", u""},
                     {u"his.diag.finish.doctor", u"赵六"},
                     {u"his.diag.finish.1.name", u""},
                     {u"his.diag.clinic.0.name", u""},
                     {u"his.diag.Clinic.doctor", u""}});
}

TEST_F(HISPatientDomainsTest, DiagnosesOfEveryPartFromTheFirstElementOfEachNameAtAnyDepth) {
  ExpectKeysOfReply(
      kHISDiagnosisDomainCode, kGetDiagnosisInfo,
      u"<diagnoses><visit><clinic doctor=\"李四\"><item icd=\"I10\">高<b>血压</b>病</item>"
      u"</clinic></visit>"
      u"<clinic doctor=\"第二个\"><item icd=\"X\">不读</item></clinic>"
      u"<residence doctor=\"王五\" issue=\"1\" confirm=\"2\"><d icd=\"I21.9\">急性心肌梗死</d>"
      u"<d icd=\"I50.9\" issue=\"x\">心力衰竭</d></residence>"
      u"<finish doctor=\"赵六\" issue=\"不读\"><f icd=\"I21.9\" issue=\"治愈\">急性心肌梗死</f>"
      u"<f issue=\"好转\">心力衰竭</f></finish></diagnoses>",
      {{u"his.diag.clinic.doctor", u"李四"},
       {u"his.diag.clinic.1.name", u"高血压病"},
       {u"his.diag.clinic.1.icd", u"I10"},
       {u"his.diag.clinic.2.name", u""},
       {u"his.diag.residence.doctor", u"王五"},
       {u"his.diag.residence.issue", u"1"},
       {u"his.diag.residence.confirm", u"2"},
       {u"his.diag.residence.1.name", u"急性心肌梗死"},
       {u"his.diag.residence.1.icd", u"I21.9"},
       {u"his.diag.residence.2.name", u"心力衰竭"},
       {u"his.diag.residence.2.icd", u"I50.9"},
       {u"his.diag.residence.2.issue", u""},  // no issue in the in-hospital part
       {u"his.diag.finish.doctor", u"赵六"},
       {u"his.diag.finish.issue", u""},
       {u"his.diag.finish.1.name", u"急性心肌梗死"},
       {u"his.diag.finish.1.icd", u"I21.9"},
       {u"his.diag.finish.1.issue", u"治愈"},
       {u"his.diag.finish.2.name", u"心力衰竭"},
       {u"his.diag.finish.2.icd", u""},
       {u"his.diag.finish.2.issue", u"好转"}});
}

TEST_F(HISPatientDomainsTest, ADiagnosisAnswerWithoutAllThreePartsOrThatDoesNotParseGivesNoKey) {
  const std::u16string replies[] = {
      u"<root><clinic doctor=\"李四\"><d icd=\"I10\">高血压病</d></clinic>"
      u"<residence doctor=\"王五\"/></root>",
      u"<root><clinic doctor=\"李四\"/><finish doctor=\"赵六\"/></root>",
      u"<root><residence doctor=\"王五\"/><finish doctor=\"赵六\"/></root>",
      u"<root><clinic doctor=\"李四\"/><residence doctor=\"王五\"/><Finish doctor=\"赵六\"/>"
      u"</root>",
      u"<root><clinic doctor=\"李四\"/><residence doctor=\"王五\"/><finish doctor=\"赵六\">",
      u"",
      u"<?xml version=\"1.0\"?>"};
  for (const std::u16string& reply : replies) {
    doubles_.Answer(IID_IHISPatientInfo, kGetDiagnosisInfo, reply);
    EXPECT_EQ(AskAll(kHISDiagnosisDomainCode, kDiagnosisKeys), Empty(kDiagnosisKeys))
        << korvalis::ToUtf8(reply);
  }
}

TEST_F(HISPatientDomainsTest, OneOperationAnswersTheSameUnderItsNumberAndWithout) {
  const std::u16string reply =
      u"<root><operation icd=\"47.01\" date=\"2026-12-02 09:00:00\" operator=\"周国栋\" "
      u"assistant1=\"吴思远\" assistant2=\"孙丽\" anaes=\"全身麻醉\" open=\"09:10\" "
      u"close=\"10:05\" anaesdoctor=\"钱敏\">腹腔镜阑尾切除术</operation></root>";
  const Keys values = {
      {u"name", u"腹腔镜阑尾切除术"}, {u"icd", u"47.01"},         {u"date", u"2026-12-02 09:00:00"},
      {u"operator", u"周国栋"},       {u"assistant1", u"吴思远"}, {u"assistant2", u"孙丽"},
      {u"anaes", u"全身麻醉"},        {u"open", u"09:10"},        {u"close", u"10:05"},
      {u"anaesdoctor", u"钱敏"}};
  Keys expected = {{u"his.operation.open_close", u"09:10/10:05"},
                   {u"his.operation.1.open_close", u""},
                   {u"his.operation.1.Name", u""},
                   {u"his.operation.2.name", u""},
                   {u"his.operation.0.name", u""}};
  for (const auto& [name, value] : values) {
    expected[u"his.operation.1." + name] = value;
    expected[u"his.operation." + name] = value;
  }
  ExpectKeysOfReply(kHISOperationDomainCode, kGetOperationInfo, reply, expected);
}

TEST_F(HISPatientDomainsTest, TheLastOfSeveralOperationsIsTheUnnumberedOne) {
  ExpectKeysOfReply(
      kHISOperationDomainCode, kGetOperationInfo,
      u"<root><op icd=\"47.01\" operator=\"周国栋\" open=\"09:10\" close=\"10:05\">阑尾切除术</op>"
      u"<op icd=\"54.11\">剖腹探查术</op><second operator=\"吴思远\">腹腔冲洗<i>引流</i>术</second>"
      u"</root>",
      {{u"his.operation.1.name", u"阑尾切除术"},
       {u"his.operation.1.open", u"09:10"},
       {u"his.operation.2.name", u"剖腹探查术"},
       {u"his.operation.2.icd", u"54.11"},
       {u"his.operation.3.name", u"腹腔冲洗引流术"},
       {u"his.operation.3.operator", u"吴思远"},
       {u"his.operation.4.name", u""},
       {u"his.operation.name", u"腹腔冲洗引流术"},
       {u"his.operation.operator", u"吴思远"},
       {u"his.operation.icd", u""},
       {u"his.operation.open", u""},
       // The last operation has neither `open` nor `close`.
       {u"his.operation.open_close", u"/"}});
}

TEST_F(HISPatientDomainsTest, AnEmptyOperationListOrOneThatDoesNotParseGivesNoKey) {
  std::vector<std::u16string> keys = kLastOperationKeys;
  keys.push_back(u"his.operation.1.name");
  for (const std::u16string reply :
       {u"<root/>", u"<root>\n  <!-- 无手术 -->\n</root>", u"<root><op>阑尾切除术</root>", u""}) {
    doubles_.Answer(IID_IHISPatientInfo, kGetOperationInfo, reply);
    EXPECT_EQ(AskAll(kHISOperationDomainCode, keys), Empty(keys)) << korvalis::ToUtf8(reply);
  }
}

TEST_F(HISPatientDomainsTest, AFailedCallAnswersEmptyAndIsNotMadeAgain) {
  struct Case {
    int code;
    int slot;
    std::vector<std::u16string> keys;
  };
  const Case cases[] = {{kHISDiagnosisDomainCode, kGetDiagnosisInfo, kDiagnosisKeys},
                        {kHISOperationDomainCode, kGetOperationInfo, kLastOperationKeys}};
  for (const Case& c : cases) {
    for (bool with_error_information : {true, false}) {
      doubles_.ClearCalls();
      if (with_error_information) {
        doubles_.Fail(IID_IHISPatientInfo, c.slot, E_FAIL, u"HIS连接中断");
      } else {
        doubles_.Fail(IID_IHISPatientInfo, c.slot, E_UNEXPECTED);
      }
      EXPECT_EQ(AskAll(c.code, c.keys), Empty(c.keys)) << c.code;
      EXPECT_EQ(HisSlots(), std::vector<int>{c.slot});
    }
  }
}

TEST_F(HISPatientDomainsTest, AComponentThatCannotBeCreatedIsAskedAgainByTheNextLookup) {
  const std::vector<std::pair<int, std::u16string>> lookups = {
      {kHISDiagnosisDomainCode, u"his.diag.clinic.doctor"},
      {kHISOperationDomainCode, u"his.operation.name"},
      {kHISFeeDomainCode, u"his.fee.total"}};
  doubles_.Answer(IID_IHISPatientInfo, kGetDiagnosisInfo,
                  u"<root><clinic doctor=\"李四\"/><residence/><finish/></root>");
  doubles_.Answer(IID_IHISPatientInfo, kGetOperationInfo, u"<root><op>阑尾切除术</op></root>");
  doubles_.Answer(IID_IHISPatientInfo, kGetFeeInfo, u"<root><total>980.5</total></root>");
  CBDomainManager registry(&data_source_);
  doubles_.Unregister(SiblingDoubles::DoubleClass(IID_IHISPatientInfo));
  for (const auto& [code, key] : lookups) {
    EXPECT_EQ(FailureOf([&, &code = code, &key = key] { AskRegistry(registry, code, key); }),
              kCreateComponentError);
  }
  doubles_.Register(SiblingDoubles::DoubleClass(IID_IHISPatientInfo));
  EXPECT_EQ(AskRegistry(registry, kHISDiagnosisDomainCode, u"his.diag.clinic.doctor"), u"李四");
  EXPECT_EQ(AskRegistry(registry, kHISOperationDomainCode, u"his.operation.name"), u"阑尾切除术");
  EXPECT_EQ(AskRegistry(registry, kHISFeeDomainCode, u"his.fee.total"), u"980.5");
  EXPECT_EQ(HisSlots(),
            (std::vector<int>{kGetDiagnosisInfo, kGetOperationInfo, kGetFeeInfo, kGetFeeList}));
}

TEST_F(HISPatientDomainsTest, EachDomainAsksItsMethodOnceForAnyNumberOfKeys) {
  doubles_.Answer(IID_IHISPatientInfo, kGetDiagnosisInfo,
                  u"<root><clinic doctor=\"李四\"/><residence/><finish/></root>");
  doubles_.Answer(IID_IHISPatientInfo, kGetOperationInfo, u"<root/>");
  CBDomainManager registry(&data_source_);
  // A key the domain does not hold, asked first, still reads the answer once.
  EXPECT_EQ(AskRegistry(registry, kHISDiagnosisDomainCode, u"his.diag.nothing"), u"");
  for (const std::u16string& key : kDiagnosisKeys) {
    AskRegistry(registry, kHISDiagnosisDomainCode, key);
  }
  EXPECT_EQ(AskRegistry(registry, kHISDiagnosisDomainCode, u"his.diag.clinic.doctor"), u"李四");
  // An operation list without operations gives no key, and is not asked again either.
  for (const std::u16string& key : kLastOperationKeys) {
    AskRegistry(registry, kHISOperationDomainCode, key);
  }
  // Another visit on the same registry is answered for the first.
  EXPECT_EQ(AskRegistry(registry, kHISDiagnosisDomainCode, u"his.diag.clinic.doctor", u"P2", u"E2"),
            u"李四");
  EXPECT_EQ(HisSlots(), (std::vector<int>{kGetDiagnosisInfo, kGetOperationInfo}));
  for (const auto& call : doubles_.Calls(IID_IHISPatientInfo)) {
    EXPECT_EQ(call.args, (std::vector<std::u16string>{u"P1", u"E1"}));
  }
}

TEST_F(HISPatientDomainsTest, FeesOfTheSummaryAndTheItems) {
  doubles_.Answer(IID_IHISPatientInfo, kGetFeeInfo,
                  Indented(u"<root><total>980.5</total><bed>120</bed><drug> 860.5 </drug>"
                           u"<Drug>1</Drug><exam/></root>"));
  doubles_.Answer(IID_IHISPatientInfo, kGetFeeList,
                  Indented(u"<root><fee code=\"01\">120</fee><group><fee code=\"02\">860.5</fee>"
                           u"<fee code=\"02\">870.5</fee></group><fee code=\"bed\">125</fee>"
                           u"<fee>无编码</fee><Fee code=\"03\">9</Fee></root>"));
  ExpectKeys(kHISFeeDomainCode, {{u"his.fee.total", u"980.5"},
                                 {u"his.fee.bed", u"125"},  // the item wins over the summary
                                 {u"his.fee.drug", u" 860.5 "},
                                 {u"his.fee.Drug", u"1"},
                                 {u"his.fee.DRUG", u""},
                                 {u"his.fee.exam", u""},
                                 {u"his.fee.01", u"120"},
                                 {u"his.fee.02", u"870.5"},  // the later item of one code
                                 {u"his.fee.", u"无编码"},
                                 {u"his.fee.03", u""},
                                 {u"his.fee.Fee", u""}});
  EXPECT_EQ(HisSlots(), (std::vector<int>{kGetFeeInfo, kGetFeeList}));
}

TEST_F(HISPatientDomainsTest, AFailedFeeSummaryStoresNothingAndDoesNotAskForTheItems) {
  doubles_.Fail(IID_IHISPatientInfo, kGetFeeInfo, E_FAIL, u"HIS连接中断");
  doubles_.Answer(IID_IHISPatientInfo, kGetFeeList, u"<root><fee code=\"01\">120</fee></root>");
  ExpectKeys(kHISFeeDomainCode, {{u"his.fee.total", u""}, {u"his.fee.01", u""}});
  EXPECT_EQ(HisSlots(), std::vector<int>{kGetFeeInfo});
}

TEST_F(HISPatientDomainsTest, FailedFeeItemsKeepTheSummary) {
  doubles_.Answer(IID_IHISPatientInfo, kGetFeeInfo, u"<root><total>980.5</total></root>");
  doubles_.Fail(IID_IHISPatientInfo, kGetFeeList, E_FAIL);
  ExpectKeys(kHISFeeDomainCode, {{u"his.fee.total", u"980.5"}, {u"his.fee.01", u""}});
  EXPECT_EQ(HisSlots(), (std::vector<int>{kGetFeeInfo, kGetFeeList}));
}

TEST_F(HISPatientDomainsTest, AFeeAnswerThatDoesNotParseGivesNoKeysOfItsOwn) {
  doubles_.Answer(IID_IHISPatientInfo, kGetFeeInfo, u"<root><total>980.5</total>");
  doubles_.Answer(IID_IHISPatientInfo, kGetFeeList, u"<root><fee code=\"01\">120</fee></root>");
  ExpectKeys(kHISFeeDomainCode, {{u"his.fee.total", u""}, {u"his.fee.01", u"120"}});
  doubles_.Answer(IID_IHISPatientInfo, kGetFeeInfo, u"<root><total>980.5</total></root>");
  doubles_.Answer(IID_IHISPatientInfo, kGetFeeList, u"<root><fee code=\"01\">120</fee>");
  ExpectKeys(kHISFeeDomainCode, {{u"his.fee.total", u"980.5"}, {u"his.fee.01", u""}});
  EXPECT_EQ(HisSlots(), (std::vector<int>{kGetFeeInfo, kGetFeeList, kGetFeeInfo, kGetFeeList}));
}

}  // namespace
