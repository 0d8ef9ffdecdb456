// The patient and residence domains, asked through the system's domain registry.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "emrdoc/domain_manager.h"
#include "emrdoc/domain_table.h"
#include "emrdoc/residence_domain.h"
#include "emrdoc/testing/domain_lookup.h"
#include "emrdoc/testing/patient_visit_fixture.h"
#include "foundation/testing/emr_exception_test_util.h"

namespace {

using korvalis::emrdoc::testing::AskRegistry;
using korvalis::emrdoc::testing::kGetInOutInfo;
using korvalis::emrdoc::testing::kGetResidenceNo;
using korvalis::emrdoc::testing::kIsDischarged;
using korvalis::emrdoc::testing::PatientColumns;
using korvalis::emrdoc::testing::PatientVisitTest;
using korvalis::emrdoc::testing::VisitColumns;
using korvalis::testing::FailureOf;
using korvalis::testing::ScopedDatabaseClock;
using Keys = std::map<std::u16string, std::u16string>;

class PatientDomainsTest : public PatientVisitTest {
 protected:
  PatientDomainsTest() { SetToday(u"2009-03-03 10:00:00"); }

  static std::u16string Ask(CBDomainManager& registry, int code, const std::u16string& key,
                            const char16_t* patient = u"P1", const char16_t* event = u"E1") {
    return AskRegistry(registry, code, key, patient, event);
  }

  // The values of `keys` asked of a new registry.
  Keys AskAll(int code, const std::vector<std::u16string>& keys) {
    auto source = Source();
    CBDomainManager registry(&source);
    Keys values;
    for (const std::u16string& key : keys) values[key] = Ask(registry, code, key);
    return values;
  }
  std::u16string AskOne(int code, const std::u16string& key) { return AskAll(code, {key})[key]; }

  ScopedDatabaseClock clock_{{2026, 12, 7, 8, 0, 0}};
};

const std::vector<std::u16string> kPatientKeys = {
    u"patient.id",        u"patient.name",         u"patient.sex",      u"patient.sex.header",
    u"patient.birthday",  u"patient.birthaddress", u"patient.nation",   u"patient.country",
    u"patient.idcard",    u"patient.id_card",      u"patient.marriage", u"patient.marriage.header",
    u"patient.career",    u"patient.allergic",     u"patient.native",   u"patient.address",
    u"patient.workorg",   u"patient.work_org",     u"patient.hometel",  u"patient.age",
    u"patient.currentage"};

const std::vector<std::u16string> kResidenceKeys = {
    u"residence.in.time",        u"residence.in.dept",      u"residence.in.dept.id",
    u"residence.in.dept.time",   u"residence.in.room",      u"residence.in.bed",
    u"residence.dayByDeptIn",    u"residence.now.warddept", u"residence.now.warddept.id",
    u"residence.now.dept",       u"residence.now.dept.id",  u"residence.now.room",
    u"residence.now.bed",        u"residence.out.time",     u"residence.out.dept",
    u"residence.out.dept.id",    u"residence.out.room",     u"residence.out.bed",
    u"residence.event",          u"residence.serial",       u"residence.insurance.no",
    u"residence.insurance.type", u"residence.day",          u"residence.archive"};

TEST_F(PatientDomainsTest, PatientKeysOfTheBaseInformation) {
  AddPatient({});
  AddVisit({.residence_flag = "0"});
  EXPECT_EQ(AskAll(kPatientInfoDomainCode, kPatientKeys),
            (Keys{{u"patient.id", u"P1"},
                  {u"patient.name", u"张三"},
                  {u"patient.sex", u"男"},
                  {u"patient.sex.header", u"1"},
                  {u"patient.birthday", u"1970-05-20 "},
                  {u"patient.birthaddress", u"示例省示例市"},
                  {u"patient.nation", u"汉族"},
                  {u"patient.country", u"中国"},
                  {u"patient.idcard", u"110101197005200011"},
                  {u"patient.id_card", u"110101197005200011"},
                  {u"patient.marriage", u"已婚"},
                  {u"patient.marriage.header", u"2"},
                  {u"patient.career", u"职员"},
                  {u"patient.allergic", u"青霉素"},
                  {u"patient.native", u"示例省"},
                  {u"patient.address", u"示例市示例路1号"},
                  {u"patient.workorg", u"示例公司"},
                  {u"patient.work_org", u"示例公司"},
                  {u"patient.hometel", u"010-12345678"},
                  {u"patient.age", u"39岁"},
                  {u"patient.currentage", u"56岁"}}));
  EXPECT_EQ(AskOne(kPatientInfoDomainCode, u"patient.Name"), u"");
  EXPECT_EQ(AskOne(kPatientInfoDomainCode, u"patient.unknown"), u"");
}

TEST_F(PatientDomainsTest, SexAndMarriageTables) {
  AddVisit({.residence_flag = "0"});
  // A stored code, the key's text and the header code.
  struct Row {
    std::optional<std::string> code;
    std::u16string text;
    std::u16string header;
  };
  const std::vector<Row> sexes = {
      {"1", u"男", u"1"}, {"2", u"女", u"2"}, {"0", u"女", u"2"}, {std::nullopt, u"女", u"2"}};
  const std::vector<Row> marriages = {
      {"0", u"未婚", u"1"}, {"1", u"已婚", u"2"}, {"2", u"离婚", u"3"}, {"3", u"丧偶", u"4"},
      {"9", u"其他", u"9"}, {"4", u"", u""},      {"已婚", u"", u""},   {std::nullopt, u"", u""}};
  for (bool sex : {true, false}) {
    const std::u16string key = sex ? u"patient.sex" : u"patient.marriage";
    for (const Row& row : sex ? sexes : marriages) {
      database_.Execute("DELETE FROM TELV_PATIENT");
      AddPatient(sex ? PatientColumns{.sex = row.code} : PatientColumns{.marriage = row.code});
      EXPECT_EQ(AskAll(kPatientInfoDomainCode, {key, key + u".header"}),
                (Keys{{key, row.text}, {key + u".header", row.header}}))
          << korvalis::ToUtf8(key) << " " << row.code.value_or("NULL");
    }
  }
}

TEST_F(PatientDomainsTest, APatientWithoutARowHasNoKeys) {
  AddVisit({.residence_flag = "0"});
  for (const auto& [key, value] : AskAll(kPatientInfoDomainCode, kPatientKeys)) {
    EXPECT_EQ(value, u"") << korvalis::ToUtf8(key);
  }
}

TEST_F(PatientDomainsTest, ResidenceKeysOfAVisitKeptHere) {
  AddVisit({.residence_flag = "0"});
  doubles_.Answer(IID_IHISPatientInfo, kGetResidenceNo, u"Z0001");
  EXPECT_EQ(AskAll(kResidenceDomainCode, kResidenceKeys),
            (Keys{{u"residence.in.time", u"2009-03-01 08:30"},
                  {u"residence.in.dept", u"心血管内科"},
                  {u"residence.in.dept.id", u"0101"},
                  {u"residence.in.dept.time", u""},
                  {u"residence.in.room", u"12病房"},
                  {u"residence.in.bed", u"12"},
                  {u"residence.dayByDeptIn", u""},
                  {u"residence.now.warddept", u""},
                  {u"residence.now.warddept.id", u""},
                  {u"residence.now.dept", u"呼吸内科"},
                  {u"residence.now.dept.id", u"0102"},
                  {u"residence.now.room", u"12病房"},
                  {u"residence.now.bed", u"12"},
                  {u"residence.out.time", u""},
                  {u"residence.out.dept", u""},
                  {u"residence.out.dept.id", u""},
                  {u"residence.out.room", u"12病房"},
                  {u"residence.out.bed", u"12"},
                  {u"residence.event", u"E1"},
                  {u"residence.serial", u"2"},
                  {u"residence.insurance.no", u"YB0001"},
                  {u"residence.insurance.type", u"城镇职工"},
                  {u"residence.day", u"2"},
                  {u"residence.archive", u"Z0001"}}));
  EXPECT_EQ(AskOne(kResidenceDomainCode, u"residence.In.time"), u"");
  EXPECT_EQ(AskOne(kResidenceDomainCode, u"Residence.in.time"), u"");
}

TEST_F(PatientDomainsTest, ResidenceKeysFromTheHis) {
  AddVisit({.residence_flag = "1"});
  doubles_.Answer(IID_IHISPatientInfo, kGetInOutInfo,
                  u"<root><in><dept time=\"2009-03-02 09:00:00\"/></in>"
                  u"<warddept id=\"W1\">一病区</warddept>"
                  u"<out><time>2009-03-03 09:00:00</time><event>HIS-E</event>"
                  u"<note>转院</note></out></root>");
  doubles_.Answer(IID_IHISPatientInfo, kIsDischarged, u"1");
  const Keys keys = AskAll(
      kResidenceDomainCode,
      {u"residence.in.dept.time", u"residence.dayByDeptIn", u"residence.now.warddept",
       u"residence.now.warddept.id", u"residence.out.time", u"residence.out.dept",
       u"residence.out.dept.id", u"residence.out.note", u"residence.out.room", u"residence.event"});
  EXPECT_EQ(keys, (Keys{{u"residence.in.dept.time", u"2009-03-02 09:00:00"},
                        {u"residence.dayByDeptIn", u"1"},
                        {u"residence.now.warddept", u"一病区"},
                        {u"residence.now.warddept.id", u"W1"},
                        {u"residence.out.time", u"2009-03-03 09"},
                        {u"residence.out.dept", u""},
                        {u"residence.out.dept.id", u""},
                        {u"residence.out.note", u"转院"},
                        {u"residence.out.room", u""},
                        // The HIS's `out` stands before the document's own `event`.
                        {u"residence.event", u"HIS-E"}}));
}

TEST_F(PatientDomainsTest, TimesAreShortenedByTheirZeroParts) {
  AddVisit({.out_time = "2009-03-04 09:00:00"});
  const std::vector<std::pair<std::string, std::u16string>> times = {
      {"2009-03-01 00:00:00", u"2009-03-01"},
      {"2009-03-01 08:00:00", u"2009-03-01 08"},
      {"2009-03-01 08:30:00", u"2009-03-01 08:30"},
      {"2009-03-01 08:30:15", u"2009-03-01 08:30:15"},
  };
  for (const auto& [stored, shown] : times) {
    database_.Execute("UPDATE TELV_VISIT_RECORD SET IN_TIME = TO_DATE('" + stored +
                      "', 'YYYY-MM-DD HH24:MI:SS')");
    EXPECT_EQ(AskOne(kResidenceDomainCode, u"residence.in.time"), shown) << stored;
  }
  EXPECT_EQ(AskOne(kResidenceDomainCode, u"residence.out.time"), u"2009-03-04 09");
  EXPECT_EQ(ShortenResidenceTime(u"00"), u"00");
  EXPECT_EQ(ShortenResidenceTime(u":00"), u"");
  EXPECT_EQ(ShortenResidenceTime(u"12:00:00"), u"12");
}

TEST_F(PatientDomainsTest, AVisitWithoutARowHasNoResidenceKeys) {
  for (const auto& [key, value] : AskAll(kResidenceDomainCode, kResidenceKeys)) {
    EXPECT_EQ(value, u"") << korvalis::ToUtf8(key);
  }
  EXPECT_TRUE(doubles_.Calls(IID_IHISPatientInfo).empty());
}

TEST_F(PatientDomainsTest, EachDomainBuildsItsDocumentOnceForAnyNumberOfKeys) {
  AddPatient({.birthday = "2009-03-01 08:00:00"});
  AddVisit({.residence_flag = "1"});
  AddVisit({.patient_id = "P2", .event_no = "E2", .now_dept_name = "骨科", .residence_flag = "0"});
  doubles_.Answer(IID_IHISPatientInfo, kGetInOutInfo,
                  u"<root><in><dept time=\"2009-03-02 09:00:00\"/></in></root>");
  auto source = Source();
  CBDomainManager registry(&source);
  const std::vector<int> one_document = {kGetInOutInfo, kIsDischarged, kGetResidenceNo};

  // The age asks a residence domain of a registry of its own: one residence document.
  for (const std::u16string& key : kPatientKeys) Ask(registry, kPatientInfoDomainCode, key);
  EXPECT_EQ(Ask(registry, kPatientInfoDomainCode, u"patient.age"), u"1天");
  EXPECT_EQ(HisSlots(), one_document);
  // The registry's own residence domain builds the document once more, and only once.
  for (const std::u16string& key : kResidenceKeys) Ask(registry, kResidenceDomainCode, key);
  EXPECT_EQ(Ask(registry, kResidenceDomainCode, u"residence.nothing"), u"");
  EXPECT_EQ(Ask(registry, kPatientInfoDomainCode, u"patient.nothing"), u"");
  // Another visit on the same registry is answered for the first.
  EXPECT_EQ(Ask(registry, kResidenceDomainCode, u"residence.now.dept", u"P2", u"E2"), u"呼吸内科");
  EXPECT_EQ(Ask(registry, kPatientInfoDomainCode, u"patient.id", u"P2", u"E2"), u"P1");
  EXPECT_EQ(HisSlots().size(), 2 * one_document.size());
}

TEST_F(PatientDomainsTest, AFailingBuilderLeavesTheDomainToReadAgain) {
  AddVisit({.residence_flag = "0"});
  auto source = Source();
  CBDomainManager registry(&source);
  doubles_.Fail(IID_IHISPatientInfo, kGetResidenceNo, E_FAIL, u"HIS连接中断");
  EXPECT_EQ(FailureOf([&] { Ask(registry, kResidenceDomainCode, u"residence.event"); }),
            u"HIS连接中断");
  doubles_.Answer(IID_IHISPatientInfo, kGetResidenceNo, u"Z0002");
  EXPECT_EQ(Ask(registry, kResidenceDomainCode, u"residence.event"), u"E1");
  EXPECT_EQ(Ask(registry, kResidenceDomainCode, u"residence.archive"), u"Z0002");
  EXPECT_EQ(HisSlots(), (std::vector<int>{kGetResidenceNo, kGetResidenceNo}));
}

}  // namespace
