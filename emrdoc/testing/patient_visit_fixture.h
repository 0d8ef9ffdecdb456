// Test fixture of the patient and residence documents and domains: a fresh database with the
// real schema, the sibling doubles (HIS patient information, date-time component), and one
// patient row and one visit row written with every column those documents read.
//
//   AddPatient({.sex = "0"});
//   AddVisit({.residence_flag = "1"});
//   doubles_.Answer(IID_IHISPatientInfo, 10, u"<root><in>...</in></root>");
//   std::u16string xml = ResidenceXml();
//
// Every statement of the code under test runs on a data source of its own, opened for the one
// call, so that it sees the rows the test wrote before it.
//
// Thread-safety: one test thread.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "db/testing/test_database.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/testing/test_data_source.h"
#include "platform/com/scoped_bstr.h"
#include "suite/testing/sibling_doubles.h"

namespace korvalis::emrdoc::testing {

// A TELV_VISIT_RECORD row; an empty optional writes NULL.
struct VisitColumns {
  std::string patient_id = "P1";
  std::string event_no = "E1";
  std::optional<std::string> in_time = "2009-03-01 08:30:00";
  std::string in_dept_id = "0101";
  std::string in_dept_name = "心血管内科";
  std::string now_dept_id = "0102";
  std::string now_dept_name = "呼吸内科";
  std::string room = "12病房";
  std::string bed_no = "12";
  std::optional<std::string> out_time{};
  std::optional<std::string> out_dept_id{};
  std::optional<std::string> out_dept_name{};
  std::string serial_no = "2";
  std::string insurance_no = "YB0001";
  std::string insurance_type = "城镇职工";
  std::optional<std::string> residence_flag = "0";
  std::string emr_status = "1";
};

// A TELV_PATIENT row; an empty optional writes NULL.
struct PatientColumns {
  std::string id = "P1";
  std::string name = "张三";
  std::optional<std::string> sex = "1";
  std::optional<std::string> birthday = "1970-05-20 00:00:00";
  std::string birthaddress = "示例省示例市";
  std::string nation = "汉族";
  std::string country = "中国";
  std::optional<std::string> id_card = "110101197005200011";
  std::optional<std::string> marriage = "1";
  std::string career = "职员";
  std::string allergic = "青霉素";
  std::string native_place = "示例省";
  std::string address = "示例市示例路1号";
  std::optional<std::string> work_org = "示例公司";
  std::string home_tel = "010-12345678";
};

// The INSERT statements of the rows.
inline std::string VisitInsertSql(const VisitColumns& v) {
  using schema::SqlDate;
  using schema::SqlText;
  using schema::SqlTextOrNull;
  return "INSERT INTO TELV_VISIT_RECORD (PATIENT_ID, EVENT_NO, SERIAL_NO, IN_TIME, IN_DEPT_ID, "
         "IN_DEPT_NAME, NOW_DEPT_ID, NOW_DEPT_NAME, ROOM, BED_NO, OUT_TIME, OUT_DEPT_ID, "
         "OUT_DEPT_NAME, RESIDENCE_FLAG, EMR_STATUS, INSURANCE_NO, INSURANCE_TYPE) VALUES (" +
         SqlText(v.patient_id) + ", " + SqlText(v.event_no) + ", " + v.serial_no + ", " +
         SqlDate(v.in_time) + ", " + SqlText(v.in_dept_id) + ", " + SqlText(v.in_dept_name) + ", " +
         SqlText(v.now_dept_id) + ", " + SqlText(v.now_dept_name) + ", " + SqlText(v.room) + ", " +
         SqlText(v.bed_no) + ", " + SqlDate(v.out_time) + ", " + SqlTextOrNull(v.out_dept_id) +
         ", " + SqlTextOrNull(v.out_dept_name) + ", " +
         (v.residence_flag ? *v.residence_flag : "NULL") + ", " + v.emr_status + ", " +
         SqlText(v.insurance_no) + ", " + SqlText(v.insurance_type) + ")";
}

inline std::string PatientInsertSql(const PatientColumns& p) {
  using schema::SqlDate;
  using schema::SqlText;
  using schema::SqlTextOrNull;
  return "INSERT INTO TELV_PATIENT (ID, NAME, SEX, BIRTHDAY, BIRTHADDRESS, NATION, COUNTRY, "
         "ID_CARD, MARRIAGE, CAREER, ALLERGIC, NATIVE, ADDRESS, WORK_ORG, HOME_TEL) VALUES (" +
         SqlText(p.id) + ", " + SqlText(p.name) + ", " + (p.sex ? *p.sex : "NULL") + ", " +
         SqlDate(p.birthday) + ", " + SqlText(p.birthaddress) + ", " + SqlText(p.nation) + ", " +
         SqlText(p.country) + ", " + SqlTextOrNull(p.id_card) + ", " + SqlTextOrNull(p.marriage) +
         ", " + SqlText(p.career) + ", " + SqlText(p.allergic) + ", " + SqlText(p.native_place) +
         ", " + SqlText(p.address) + ", " + SqlTextOrNull(p.work_org) + ", " + SqlText(p.home_tel) +
         ")";
}

class PatientVisitTest : public ::testing::Test {
 protected:
  void AddVisit(const VisitColumns& v) { database_.Execute(VisitInsertSql(v)); }
  void AddPatient(const PatientColumns& p) { database_.Execute(PatientInsertSql(p)); }

  // A data source of its own for one call of the code under test.
  korvalis::testing::TestDataSource Source() {
    return korvalis::testing::TestDataSource(database_.init_string());
  }

  // The date-time component's now.
  void SetToday(std::u16string now) { doubles_.Answer(IID_IDateTimeService, 7, std::move(now)); }

  // The calls of the HIS patient-information component, by slot.
  std::vector<int> HisSlots() const {
    std::vector<int> slots;
    for (const auto& call : doubles_.Calls(IID_IHISPatientInfo)) slots.push_back(call.slot);
    return slots;
  }

  schema::TestDatabase database_;
  suite::testing::SiblingDoubles doubles_;
};

// The slots of IHISPatientInfo that the residence document calls.
inline constexpr int kGetResidenceNo = 7;
inline constexpr int kGetInOutInfo = 10;
inline constexpr int kIsDischarged = 14;

}  // namespace korvalis::emrdoc::testing
