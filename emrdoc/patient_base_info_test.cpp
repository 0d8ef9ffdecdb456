#include "emrdoc/patient_base_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include <xercesc/dom/DOMElement.hpp>

#include "emrdoc/his_answer.h"
#include "emrdoc/testing/patient_visit_fixture.h"
#include "foundation/data/db_type.h"
#include "foundation/xml/dom_elements.h"
#include "platform/db/testing/engine_database.h"

namespace {

using korvalis::com::ScopedBstr;
using korvalis::emrdoc::testing::kGetInOutInfo;
using korvalis::emrdoc::testing::kGetResidenceNo;
using korvalis::emrdoc::testing::kIsDischarged;
using korvalis::emrdoc::testing::PatientColumns;
using korvalis::emrdoc::testing::PatientInsertSql;
using korvalis::emrdoc::testing::PatientVisitTest;
using korvalis::emrdoc::testing::VisitColumns;
using korvalis::testing::ScopedDatabaseClock;

class PatientBaseInfoTest : public PatientVisitTest {
 protected:
  std::u16string BaseInfoXml(const char16_t* patient = u"P1", const char16_t* event = u"E1") {
    auto source = Source();
    ScopedBstr patient_id(patient), event_no(event), xml;
    EXPECT_EQ(BuildPatientBaseInfoXml(&source, patient_id.get(), event_no.get(), xml.out()), 0);
    return xml.text();
  }
  // The text of one element of the document.
  std::u16string Element(const char16_t* name) {
    return TextContent(CHISAnswer(BaseInfoXml()).FindFirst(name));
  }

  ScopedDatabaseClock clock_{{2026, 12, 7, 8, 0, 0}};
};

TEST_F(PatientBaseInfoTest, DocumentOfThePatientRowWithBothAges) {
  AddPatient({});
  AddVisit({.residence_flag = "0"});
  EXPECT_EQ(BaseInfoXml(),
            u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?>"
            u"<root><id>P1</id><name>张三</name><sex>1</sex><birthday>1970-05-20 </birthday>"
            u"<birthaddress>示例省示例市</birthaddress><nation>汉族</nation><country>中国</country>"
            u"<idcard>110101197005200011</idcard><id_card>110101197005200011</id_card>"
            u"<marriage>1</marriage><career>职员</career><allergic>青霉素</allergic>"
            u"<native>示例省</native><address>示例市示例路1号</address>"
            u"<workorg>示例公司</workorg><work_org>示例公司</work_org>"
            u"<hometel>010-12345678</hometel><age>39岁</age><currentage>56岁</currentage>"
            u"</root>");
  // A visit kept here takes its admission as the reference and never asks the HIS.
  EXPECT_TRUE(doubles_.Calls(IID_IHISPatientInfo).empty());
}

TEST_F(PatientBaseInfoTest, InHospitalTheHisInDepartmentTimeIsTheReference) {
  AddPatient({.birthday = "2009-03-01 08:00:00"});
  AddVisit({.residence_flag = "1"});
  doubles_.Answer(IID_IHISPatientInfo, kGetInOutInfo,
                  u"<root><in><dept time=\"2009-03-03 09:00:00\"/></in></root>");
  EXPECT_EQ(Element(u"age"), u"2天");
  EXPECT_EQ(HisSlots(), (std::vector<int>{kGetInOutInfo, kIsDischarged, kGetResidenceNo}));

  // No in-department time from the HIS: no reference.
  doubles_.Answer(IID_IHISPatientInfo, kGetInOutInfo, u"<root><in/></root>");
  EXPECT_EQ(Element(u"age"), u"未知");

  // An EMR_STATUS of "3" leaves no reference, and the HIS is not asked.
  database_.Execute("UPDATE TELV_VISIT_RECORD SET EMR_STATUS = 3");
  doubles_.ClearCalls();
  EXPECT_EQ(Element(u"age"), u"未知");
  EXPECT_TRUE(doubles_.Calls(IID_IHISPatientInfo).empty());
}

TEST_F(PatientBaseInfoTest, OtherwiseTheAdmissionTimeIsTheReference) {
  AddPatient({.birthday = "2009-03-01 08:00:00"});
  AddVisit({.in_time = "2009-03-01 08:40:00", .residence_flag = "2", .emr_status = "3"});
  EXPECT_EQ(Element(u"age"), u"1小时以内");
  database_.Execute("UPDATE TELV_VISIT_RECORD SET RESIDENCE_FLAG = NULL");
  EXPECT_EQ(Element(u"age"), u"1小时以内");
  database_.Execute("DELETE FROM TELV_VISIT_RECORD");
  EXPECT_EQ(Element(u"age"), u"未知");
  EXPECT_TRUE(doubles_.Calls(IID_IHISPatientInfo).empty());
}

TEST_F(PatientBaseInfoTest, EmptyColumnsAndAMissingPatient) {
  AddPatient({.id = "P'1",
              .sex = std::nullopt,
              .birthday = std::nullopt,
              .id_card = std::nullopt,
              .marriage = std::nullopt,
              .work_org = std::nullopt});
  AddVisit({.patient_id = "P'1", .residence_flag = "0"});
  CHISAnswer document(BaseInfoXml(u"P'1"));
  for (const char16_t* name :
       {u"sex", u"birthday", u"idcard", u"id_card", u"marriage", u"workorg", u"work_org"}) {
    const xercesc::DOMElement* element = document.FindFirst(name);
    ASSERT_NE(element, nullptr) << korvalis::ToUtf8(name);
    EXPECT_EQ(TextContent(element), u"") << korvalis::ToUtf8(name);
  }
  EXPECT_EQ(TextContent(document.FindFirst(u"id")), u"P'1");
  EXPECT_EQ(TextContent(document.FindFirst(u"age")), u"未知");
  EXPECT_EQ(TextContent(document.FindFirst(u"currentage")), u"岁");

  auto source = Source();
  ScopedBstr patient_id(u"P2"), event_no(u"E1");
  BSTR untouched = patient_id.get();
  EXPECT_EQ(BuildPatientBaseInfoXml(&source, patient_id.get(), event_no.get(), &untouched), -1);
  EXPECT_EQ(untouched, patient_id.get());
}

TEST_F(PatientBaseInfoTest, CurrentAgeIsTheDatabasesTextAtItsClock) {
  AddVisit({.residence_flag = "0"});
  const std::vector<std::pair<std::string, std::u16string>> ages = {
      {"2026-12-04 03:00:00", u"3天5小时"},  // newborn
      {"2026-08-20 00:00:00", u"3个月18天"},  // infant
      {"2020-03-15 00:00:00", u"6岁8个月"},   // child
      {"1970-05-20 00:00:00", u"56岁"},       // adult
  };
  for (const auto& [birthday, age] : ages) {
    database_.Execute("DELETE FROM TELV_PATIENT");
    AddPatient({.birthday = birthday});
    EXPECT_EQ(Element(u"currentage"), age) << birthday;
  }
}

// The current age on both engines, at exact boundaries where a NUMBER's last digit would floor a
// whole hour, day or month away (3 days 5 hours: the fraction times 24 is 4.99...992).
class CurrentAgeTextTest : public ::testing::TestWithParam<korvalis::db::Engine> {
 protected:
  korvalis::schema::TestDatabase database_{korvalis::schema::DatabaseContents::kInstallation,
                                           GetParam()};
  ScopedDatabaseClock clock_{{2026, 12, 7, 8, 0, 0}};
};

TEST_P(CurrentAgeTextTest, CountsWholeUnitsAtExactBoundaries) {
  const std::pair<std::string, std::u16string> ages[] = {
      {"2026-12-07 03:00:00", u"0天5小时"},  {"2026-12-04 03:00:00", u"3天5小时"},
      {"2026-11-27 03:00:00", u"10天5小时"}, {"2026-12-06 07:00:00", u"1天1小时"},
      {"2026-12-07 06:00:00", u"0天2小时"},  {"2026-12-07 07:59:59", u"0天0小时"},
      {"2026-12-07 08:00:01", u"-1天23小时"}, {"2026-10-07 08:00:00", u"2个月0天"},
      {"2026-10-02 08:00:00", u"2个月5天"},  {"2025-11-07 08:00:00", u"1岁1个月"},
      {"2024-11-07 08:00:00", u"2岁1个月"},  {"2020-05-07 08:00:00", u"6岁7个月"},
      {"2020-05-07 08:00:01", u"6岁7个月"},  {"2025-12-07 08:00:01", u"1岁0个月"},
  };
  for (const auto& [birthday, age] : ages) {
    database_.Execute("DELETE FROM TELV_PATIENT");
    database_.Execute(PatientInsertSql({.birthday = birthday}));
    korvalis::testing::TestDataSource source(database_.init_string());
    ScopedBstr patient_id(u"P1");
    std::u16string text;
    source.QueryScalar(CurrentAgeSql(CDBOracle(), patient_id.get()), text);
    EXPECT_EQ(text, age) << birthday;
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, CurrentAgeTextTest, korvalis::db::testing::kBothEngines,
                         korvalis::db::testing::EngineName);

TEST(CurrentAgeSqlTest, JoinsWithTheDialectsConcatenationOperator) {
  korvalis::com::ScopedBstr patient_id(u"P'1");
  const std::u16string oracle = CurrentAgeSql(CDBOracle(), patient_id.get());
  const std::u16string server = CurrentAgeSql(CDBSQLServer(), patient_id.get());
  EXPECT_NE(oracle.find(u"FLOOR(SYSDATE - BIRTHDAY)||'天'||"), std::u16string::npos);
  EXPECT_NE(server.find(u"FLOOR(SYSDATE - BIRTHDAY)+'天'+"), std::u16string::npos);
  EXPECT_EQ(server.find(u"||"), std::u16string::npos);
  EXPECT_TRUE(oracle.ends_with(u"WHERE ID = 'P''1'"));
}

}  // namespace
