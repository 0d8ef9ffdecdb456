// The doctors' shift handovers of a department: a shift record (PEV_DT_SHIFT_RECORD, one per
// handover) and its detail rows (PEV_DT_SHIFT_DETAIL, one per patient handed over), filled by
// the handover system. The details are listed by record, department, receiving doctor or
// shift days; paging moves from a record to the next or previous valid one of its department
// by creation time. A record is deleted logically, its details are kept.
//
//   valid (VAILD_FLAG 1) ──DeleteDoctorShiftRecord──▶ deleted (VAILD_FLAG 0)
//
// Paging reads the record's validity under the name VAILD_FALG, which the schema computes
// from VAILD_FLAG, so a deleted record is neither a reference nor a target of paging.
#include <string>
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_key.h"
#include "foundation/xml/xml_property.h"
#include "quality/review/core_registers.h"
#include "quality/review/core_system.h"

namespace {

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::RowValue;
using korvalis::SqlConditions;
using korvalis::SqlKey;

constexpr char16_t kEmptyList[] = u"<?xml version='1.0' ?><root></root>";

constexpr const char16_t* kDetailNames[] = {
    u"id",          u"patient_id", u"event_no",      u"patient_type", u"diagnosis",
    u"note",        u"shift_type", u"bed_no",        u"patient_name", u"patient_sex",
    u"patient_age", u"shiftor_id", u"shiftor",       u"acceptor_id",  u"acceptor",
    u"shift_time",  u"dept_id",    u"dept_name",     u"creator_id",   u"creator",
    u"modifier_id", u"modifier",   u"modified_time", u"vaild_flag"};

// The valid details that `condition` selects, ordered by shift time, as the list of the
// register; the empty list without a query when the condition selects by nothing.
std::u16string DetailList(CEMRDataSource* data_source, const CXmlProperty& condition) {
  const std::u16string filter = SqlConditions(condition)
                                   .Equals(u"id", u"A.ID")
                                   .Equals(u"dept_id", u"A.DEPT_ID")
                                   .Equals(u"acceptor_id", u"A.ACCEPTOR_ID")
                                   .DateFrom(u"shift_begin_date", u"A.SHIFT_TIME", u"YYYY-MM-DD")
                                   .DateUntil(u"shift_end_date", u"A.SHIFT_TIME", u"YYYY-MM-DD")
                                   .Sql();
  if (filter.empty()) return kEmptyList;

  std::vector<std::u16string> values;
  data_source->Query(
      u"SELECT A.ID, A.PATIENT_ID, A.EVENT_NO, A.PATIENT_TYPE, A.DIAGNOSIS, A.NOTE, "
      u"A.SHIFT_TYPE, C.BED_NO, D.NAME, (CASE WHEN D.SEX=1 THEN '男' WHEN D.SEX=0 THEN '女' "
      u"ELSE '' END) AS SEX, TRUNC((SYSDATE-D.BIRTHDAY)/365)+1 AS AGE, A.SHIFTOR_ID, A.SHIFTOR, "
      u"A.ACCEPTOR_ID, A.ACCEPTOR, TO_CHAR(A.SHIFT_TIME, 'YYYY-MM-DD HH24:MI'), A.DEPT_ID, "
      u"A.DEPT_NAME, A.CREATOR_ID, A.CREATOR, A.MODIFIER_ID, A.MODIFIER, A.MODIFIED_TIME, "
      u"A.VAILD_FLAG FROM PEV_DT_SHIFT_DETAIL A LEFT JOIN TELV_VISIT_RECORD C ON "
      u"C.PATIENT_ID=A.PATIENT_ID AND C.EVENT_NO=A.EVENT_NO LEFT JOIN TELV_PATIENT D ON "
      u"D.ID=A.PATIENT_ID WHERE VAILD_FLAG=1 " +
          filter + u" ORDER BY SHIFT_TIME",
      std::size(kDetailNames), values);
  return korvalis::review::ItemList(values, kDetailNames);
}

enum class Direction { kNext, kPrevious };

// The detail list of the valid record of the department that follows (or precedes) the
// condition's record `id` by creation time; without a valid record `id`, the department's
// first (or last) record. The empty list when there is none.
std::u16string PagedDetailList(CEMRDataSource* data_source, BSTR condition_text,
                               Direction direction) {
  const CXmlProperty condition = PropertyBag(condition_text);
  const std::u16string id = condition.GetValue(u"id");
  std::u16string dept_id = condition.GetValue(u"dept_id");
  std::u16string reference_time;
  if (!id.empty()) {
    std::vector<std::u16string> reference;
    data_source->Query(u"SELECT DEPT_ID, CREATE_TIME FROM PEV_DT_SHIFT_RECORD" +
                           SqlKey().Equals(u"ID", id).And(u"VAILD_FALG=1").Where(),
                       2, reference);
    if (reference.size() == 2) {
      dept_id = reference[0];
      reference_time = reference[1];
    }
  }

  const bool next = direction == Direction::kNext;
  std::u16string target;
  if (!reference_time.empty() || !dept_id.empty()) {
    SqlKey shift;
    shift.Equals(u"DEPT_ID", dept_id).And(u"VAILD_FALG=1");
    if (!reference_time.empty()) {
      shift.Compare(u"CREATE_TIME", next ? u">" : u"<",
                    RowValue::Date(reference_time, u"YYYY-MM-DD HH24:MI:SS"));
    }
    data_source->QueryScalar(u"SELECT ID FROM PEV_DT_SHIFT_RECORD" + shift.Where() +
                                 (next ? u" ORDER BY CREATE_TIME ASC" : u" ORDER BY CREATE_TIME DESC"),
                             target);
  }
  if (target.empty()) return kEmptyList;
  return DetailList(data_source, CXmlProperty(CXmlProperty::Map{{u"id", target}}));
}

}  // namespace

long CBCoreSystem::GetDoctorShiftRecord(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                        BSTR* pbstrProperty) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  korvalis::StoreBstrResult(pbstrProperty, DetailList(pDataSource, condition));
  return 0;
}

long CBCoreSystem::DeleteDoctorShiftRecord(CEMRDataSource* pDataSource, BSTR bstrShiftRecordID) {
  const std::u16string id(BstrView(bstrShiftRecordID));
  if (!id.empty()) {
    korvalis::UpdateRow(*pDataSource, u"PEV_DT_SHIFT_RECORD",
                        {{u"VAILD_FLAG", RowValue::Number(0)}},
                        SqlKey().Equals(u"ID", id).Sql());
  }
  return 0;
}

long CBCoreSystem::DoctorShiftRecordNext(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                         BSTR* pbstrProperty) {
  korvalis::StoreBstrResult(pbstrProperty,
                            PagedDetailList(pDataSource, bstrCondition, Direction::kNext));
  return 0;
}

long CBCoreSystem::DoctorShiftRecordPrevious(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                             BSTR* pbstrProperty) {
  korvalis::StoreBstrResult(pbstrProperty,
                            PagedDetailList(pDataSource, bstrCondition, Direction::kPrevious));
  return 0;
}
