// The register of rescues of critically ill patients (PEV_RESCUE_RECORD): one record per rescue
// of a patient visit, listed with the patient's name, sex, bed and age from the visit view,
// saved (its old row deleted, then the record inserted, one unit with the call) or deleted.
//
// A record's values are inserted by position as quoted texts, so the table's column order is
// part of the register; its dates are texts in the database's default date format
// ("YYYY-MM-DD HH24:MI:SS", the time optional), and a text that is no date fails the save.
#include <string>
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/record_statements.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/row_statements.h"
#include "foundation/xml/xml_property.h"
#include "quality/review/core_registers.h"
#include "quality/review/core_system.h"

namespace {

using korvalis::BstrView;
using korvalis::IdForSave;
using korvalis::PropertyBag;
using korvalis::SqlConditions;
using korvalis::review::ItemList;

// The keys of a saved record, in the table's column order.
constexpr const char16_t* kRecordKeys[] = {u"id",          u"patient_id",    u"event_no",
                                           u"diagnosis",   u"measure",       u"result",
                                           u"rescue_date", u"participant",   u"clinic_change",
                                           u"register_id", u"register_dept", u"register_date",
                                           u"notes"};

// The columns of a record, in the order of kRecordKeys.
constexpr char16_t kRecordColumns[] =
    u"ID, PATIENT_ID, EVENT_NO, DIAGNOSIS, MEASURE, RESULT, RESCUE_DATE, PARTICIPANTS, "
    u"CLINIC_CHANGE, REGISTER_ID, REGISTER_DEPT, REGISTER_DATE, NOTES";

// The attributes of the list, in the order of its columns.
constexpr const char16_t* kListNames[] = {u"id",
                                          u"patient_id",
                                          u"event_no",
                                          u"diagnosis",
                                          u"measure",
                                          u"result",
                                          u"rescue_date",
                                          u"participants",
                                          u"clinic_change",
                                          u"notes",
                                          u"patient_name",
                                          u"patient_sex",
                                          u"bed_no",
                                          u"patient_age",
                                          u"row_num",
                                          u"register_dept",
                                          u"register_id",
                                          u"register_date"};

}  // namespace

long CBCoreSystem::GetRescueRecord(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                   BSTR* pbstrList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  const std::u16string filter =
      SqlConditions(condition)
          .Equals(u"id", u"A.ID")
          .Equals(u"patient_id", u"A.PATIENT_ID")
          .Equals(u"event_no", u"A.EVENT_NO")
          .Equals(u"now_dept_id", u"B.NOW_DEPT_ID")
          .Equals(u"register_dept", u"A.REGISTER_DEPT")
          .Equals(u"register_id", u"A.REGISTER_ID")
          .DateFrom(u"rescue_date_begin", u"A.RESCUE_DATE", u"YYYY-MM-DD")
          .DateUntil(u"rescue_date_end", u"A.RESCUE_DATE", u"YYYY-MM-DD")
          .Sql();

  // ROWNUM numbers the rows in the order of the list: by rescue date, and the record's ID
  // between rescues of one time. The age is rounded to a whole number of years.
  std::vector<std::u16string> values;
  pDataSource->Query(
      u"SELECT ID, PATIENT_ID, EVENT_NO, DIAGNOSIS, MEASURE, RESULT, RESCUE_DATE, PARTICIPANTS, "
      u"CLINIC_CHANGE, NOTES, NAME, SEX, BED_NO, AGE, ROWNUM, REGISTER_DEPT, REGISTER_ID, "
      u"REGISTER_DATE FROM (SELECT A.ID,A.PATIENT_ID,A.EVENT_NO, A.DIAGNOSIS,A.MEASURE,A.RESULT,"
      u"A.RESCUE_DATE ,A.PARTICIPANTS,A.CLINIC_CHANGE,A.NOTES,B.NAME,B.SEX,B.BED_NO , "
      u"CAST((SYSDATE-B.BIRTHDAY)/365+1 AS NUMBER(3,0)) AS AGE, A.REGISTER_DEPT, "
      u"A.REGISTER_ID, A.REGISTER_DATE  FROM PEV_RESCUE_RECORD A,TELV_V_PATIENT_VISIT_RECORD B "
      u"WHERE A.PATIENT_ID = B.PATIENT_ID AND A.EVENT_NO = B.EVENT_NO " +
          filter + u" ORDER BY A.RESCUE_DATE ASC, A.ID)",
      std::size(kListNames), values);
  korvalis::StoreBstrResult(pbstrList, ItemList(values, kListNames));
  return 0;
}

long CBCoreSystem::SetRescueRecord(CEMRDataSource* pDataSource, BSTR bstrList, BSTR* pbstrId) {
  const CXmlProperty record = PropertyBag(bstrList);
  const std::u16string id = IdForSave(*pDataSource, record.GetValue(u"id"), u"PEV_RESCUE_RECORD");
  std::vector<korvalis::RowValue> row = {id};
  for (std::size_t column = 1; column < std::size(kRecordKeys); ++column) {
    row.emplace_back(record.GetValue(kRecordKeys[column]));
  }
  korvalis::InsertRow(*pDataSource, u"PEV_RESCUE_RECORD", kRecordColumns, row);
  korvalis::StoreBstrResult(pbstrId, id);
  return 0;
}

long CBCoreSystem::DelRescueRecord(CEMRDataSource* pDataSource, BSTR bstrCondition) {
  korvalis::review::DeleteRecord(pDataSource, bstrCondition, u"PEV_RESCUE_RECORD");
  return 0;
}
