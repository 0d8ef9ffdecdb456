// The system and critical-value domains, asked through the system's domain registry.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "emrdoc/domain_manager.h"
#include "emrdoc/testing/domain_lookup.h"
#include "emrdoc/testing/patient_visit_fixture.h"
#include "foundation/calls/emr_error.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/suite/factory.h"

namespace {

using korvalis::com::ScopedBstr;
using korvalis::emrdoc::testing::PatientVisitTest;
using korvalis::emrdoc::testing::VisitColumns;
using korvalis::suite::testing::SiblingDoubles;

constexpr int kSystemDomainCode = 9;
constexpr int kPatientCrisisDomainCode = 13;

class SystemDomainsTest : public PatientVisitTest {
 protected:
  static std::u16string Ask(CBDomainManager& registry, int code, const std::u16string& key) {
    return korvalis::emrdoc::testing::AskRegistry(registry, code, key);
  }
  std::u16string AskOne(int code, const std::u16string& key) {
    auto source = Source();
    CBDomainManager registry(&source);
    return Ask(registry, code, key);
  }

  void AddCrisis(const std::string& table, const std::string& report_id,
                 const std::string& report_time, const std::string& item_code,
                 const std::string& val, const std::string& event_no = "E1") {
    database_.Execute("INSERT INTO " + table +
                      " (PATIENT_ID, EVENT_NO, REPORT_ID, REPORT_TIME, ITEM_CODE, ITEM_NAME, VAL, "
                      "REF_LOW, REF_HIGH, NORMAL_VAL) VALUES ('P1', '" +
                      event_no + "', '" + report_id + "', " +
                      korvalis::schema::SqlDate(report_time) + ", '" + item_code + "', '" +
                      item_code + "名', '" + val + "', '1', '9', '1-9')");
  }
};

TEST_F(SystemDomainsTest, HospitalOfTheCurrentDepartmentThroughTheHisComponents) {
  AddVisit({.now_dept_id = "0102"});
  doubles_.Answer(IID_IHISDepartment, 7,
                  u"<root><name>呼吸内科</name><hospital>H1</hospital></root>");
  doubles_.Answer(IID_IHISHospital, 7, u"<root><name>示例医院</name></root>");

  EXPECT_EQ(AskOne(kSystemDomainCode, u"system.hospital"), u"示例医院");
  ASSERT_EQ(doubles_.Calls(IID_IHISDepartment).size(), 1u);
  EXPECT_EQ(doubles_.Calls(IID_IHISDepartment)[0].args, std::vector<std::u16string>{u"0102"});
  ASSERT_EQ(doubles_.Calls(IID_IHISHospital).size(), 1u);
  EXPECT_EQ(doubles_.Calls(IID_IHISHospital)[0].args, std::vector<std::u16string>{u"H1"});
}

TEST_F(SystemDomainsTest, HospitalAnswersEveryLookupAfresh) {
  AddVisit({});
  doubles_.Answer(IID_IHISDepartment, 7, u"<root><hospital>H1</hospital></root>");
  doubles_.Answer(IID_IHISHospital, 7, u"<root><name>甲</name></root>");
  auto source = Source();
  CBDomainManager registry(&source);
  EXPECT_EQ(Ask(registry, kSystemDomainCode, u"system.hospital"), u"甲");
  doubles_.Answer(IID_IHISHospital, 7, u"<root><name>乙</name></root>");
  EXPECT_EQ(Ask(registry, kSystemDomainCode, u"system.hospital"), u"乙");
}

TEST_F(SystemDomainsTest, HospitalFailuresBecomeTheErrorDescription) {
  AddVisit({});
  doubles_.Unregister(SiblingDoubles::DoubleClass(IID_IHISDepartment));
  EXPECT_EQ(AskOne(kSystemDomainCode, u"system.hospital"), u"");
  EXPECT_EQ(CEMRRemoteError().GetError(), kCreateComponentError);
  EXPECT_TRUE(doubles_.Calls(IID_IHISHospital).empty());

  doubles_.Register(SiblingDoubles::DoubleClass(IID_IHISDepartment));
  doubles_.Answer(IID_IHISDepartment, 7, u"<root><hospital>");  // does not parse
  EXPECT_EQ(AskOne(kSystemDomainCode, u"system.hospital"), u"");
  EXPECT_EQ(CEMRRemoteError().GetError(), u"解析属性信息错误.");
}

TEST_F(SystemDomainsTest, AnAnswerWithoutHospitalGivesAnEmptyName) {
  AddVisit({});
  doubles_.Answer(IID_IHISDepartment, 7, u"<root><name>呼吸内科</name></root>");
  doubles_.Answer(IID_IHISHospital, 7, u"<root/>");
  EXPECT_EQ(AskOne(kSystemDomainCode, u"system.hospital"), u"");
  ASSERT_EQ(doubles_.Calls(IID_IHISHospital).size(), 1u);
  EXPECT_EQ(doubles_.Calls(IID_IHISHospital)[0].args, std::vector<std::u16string>{u""});
}

TEST_F(SystemDomainsTest, DateTimeFromTheClockAndOtherKeysEmpty) {
  AddVisit({});
  SetToday(u"2026-12-07 09:30:00");
  doubles_.Answer(IID_IHISDepartment, 7, u"<root><hospital>H1</hospital></root>");
  doubles_.Answer(IID_IHISHospital, 7, u"<root><name>示例医院</name></root>");
  EXPECT_EQ(AskOne(kSystemDomainCode, u"system.datetime"), u"2026-12-07 09:30:00");
  EXPECT_EQ(AskOne(kSystemDomainCode, u"System.hospital"), u"");
  EXPECT_EQ(AskOne(kSystemDomainCode, u"system.DateTime"), u"");
  EXPECT_EQ(AskOne(kSystemDomainCode, u"system.other"), u"");
  EXPECT_TRUE(doubles_.Calls(IID_IHISDepartment).empty());
}

TEST_F(SystemDomainsTest, ClockFailureReachesTheCaller) {
  AddVisit({});
  doubles_.Fail(IID_IDateTimeService, 7, E_FAIL, u"时钟不可用");
  auto source = Source();
  CBDomainManager registry(&source);
  ScopedBstr patient_id(u"P1"), event_no(u"E1"), key(u"system.datetime"), value;
  EXPECT_THROW(registry.GetValue(patient_id.get(), event_no.get(), kSystemDomainCode, key.get(),
                                 value.out()),
               CEMRException);
}

TEST_F(SystemDomainsTest, VisitWithoutCriticalValuesAnswersEmpty) {
  AddVisit({});
  AddCrisis("TELV_CRISIS_T", "R9", "2009-03-02 10:00:00", "K", "6.8", "E2");
  EXPECT_EQ(AskOne(kPatientCrisisDomainCode, u"crisis.1.val"), u"");
  EXPECT_EQ(AskOne(kPatientCrisisDomainCode, u"crisis.1.item_code"), u"");
}

TEST_F(SystemDomainsTest, OnlyTheNewestReportOverBothTablesIsAnswered) {
  AddVisit({});
  AddCrisis("TELV_CRISIS_RECORD", "R1", "2009-03-01 10:00:00", "NA", "120");
  AddCrisis("TELV_CRISIS_T", "R2", "2009-03-02 10:00:00", "K", "6.8");
  AddCrisis("TELV_CRISIS_RECORD", "R2", "2009-03-02 10:00:00", "K", "6.8");  // confirmed twin
  auto source = Source();
  CBDomainManager registry(&source);
  EXPECT_EQ(Ask(registry, kPatientCrisisDomainCode, u"crisis.1.val"), u"6.8");
  EXPECT_EQ(Ask(registry, kPatientCrisisDomainCode, u"crisis.1.item_code"), u"K");
  EXPECT_EQ(Ask(registry, kPatientCrisisDomainCode, u"crisis.1.item_name"), u"K名");
  EXPECT_EQ(Ask(registry, kPatientCrisisDomainCode, u"crisis.1.ref_low"), u"1");
  EXPECT_EQ(Ask(registry, kPatientCrisisDomainCode, u"crisis.1.ref_high"), u"9");
  EXPECT_EQ(Ask(registry, kPatientCrisisDomainCode, u"crisis.1.normal_val"), u"1-9");
  EXPECT_EQ(Ask(registry, kPatientCrisisDomainCode, u"crisis.2.val"), u"");  // union: one item

  // Read once: a newer report is not seen by the same registry.
  AddCrisis("TELV_CRISIS_T", "R3", "2009-03-03 10:00:00", "CA", "1.2");
  EXPECT_EQ(Ask(registry, kPatientCrisisDomainCode, u"crisis.1.val"), u"6.8");
  EXPECT_EQ(AskOne(kPatientCrisisDomainCode, u"crisis.1.val"), u"1.2");
}

TEST_F(SystemDomainsTest, ItemsOfTheReportNumberedInOrder) {
  AddVisit({});
  AddCrisis("TELV_CRISIS_T", "R1", "2009-03-01 10:00:00", "K", "6.8");
  AddCrisis("TELV_CRISIS_RECORD", "R1", "2009-03-01 10:00:00", "NA", "120");
  auto source = Source();
  CBDomainManager registry(&source);
  const std::u16string first = Ask(registry, kPatientCrisisDomainCode, u"crisis.1.item_code");
  const std::u16string second = Ask(registry, kPatientCrisisDomainCode, u"crisis.2.item_code");
  EXPECT_EQ((std::set<std::u16string>{first, second}), (std::set<std::u16string>{u"K", u"NA"}));
  EXPECT_EQ(Ask(registry, kPatientCrisisDomainCode, u"crisis.3.item_code"), u"");
}

TEST_F(SystemDomainsTest, QuotesInTheVisitAreEscaped) {
  AddVisit({.patient_id = "P'1"});
  database_.Execute(
      "INSERT INTO TELV_CRISIS_T (PATIENT_ID, EVENT_NO, REPORT_ID, REPORT_TIME, ITEM_CODE, VAL) "
      "VALUES ('P''1', 'E1', 'R1', " +
      korvalis::schema::SqlDate("2009-03-01 10:00:00") + ", 'K', '6.8')");
  auto source = Source();
  CBDomainManager registry(&source);
  ScopedBstr patient_id(u"P'1"), event_no(u"E1"), key(u"crisis.1.val"), value;
  EXPECT_EQ(registry.GetValue(patient_id.get(), event_no.get(), kPatientCrisisDomainCode, key.get(),
                              value.out()),
            0);
  EXPECT_EQ(value.text(), u"6.8");
}

}  // namespace
