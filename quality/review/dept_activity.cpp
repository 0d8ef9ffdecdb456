// The register of department quality activities (PEV_DEPT_ACTIVITY): one record per department
// and month, with the month's ratios of compliant records, work amounts, analysis and
// improvement targets. A record is listed, saved (its old row deleted, then the record
// inserted, one unit with the call) or deleted.
//
// Two keys of a saved record are spelled otherwise than the list's attributes:
// "ratio_presription_standard" and "result_evalution". A record without them is read under the
// list's spelling, so that a listed record sent back keeps those two values.
#include <array>
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
using korvalis::RowValue;
using korvalis::review::ItemList;

// One value of a record: its column, the key a save reads it from, and the attribute under
// which the list gives it (the key a save reads when the first is absent).
struct ActivityField {
  const char16_t* column;
  const char16_t* key;
  const char16_t* listed;
};

// In column order; the first two (ID and CREATE_TIME) are written by hand.
constexpr ActivityField kFields[] = {
    {u"ID", u"id", u"id"},
    {u"CREATE_TIME", u"create_time", u"create_time"},
    {u"MANAGER", u"manager", u"manager"},
    {u"PARTICIPANT", u"participant", u"participant"},
    {u"RECORDER", u"recorder", u"recorder"},
    {u"PERFORMANCE_STATUS", u"performance_status", u"performance_status"},
    {u"INPATIENT_NUM", u"inpatient_num", u"inpatient_num"},
    {u"LEAVER_NUM", u"leaver_num", u"leaver_num"},
    {u"INCOME", u"income", u"income"},
    {u"INPATIENT_INCREASE", u"inpatient_increase", u"inpatient_increase"},
    {u"LEAVER_INCREASE", u"leaver_increase", u"leaver_increase"},
    {u"INCOME_INCREASE", u"income_increase", u"income_increase"},
    {u"WORK_AMOUNT", u"work_amount", u"work_amount"},
    {u"RATIO_EMR_CLASS_A", u"ratio_emr_class_a", u"ratio_emr_class_a"},
    {u"RATIO_FORM_STANDARD", u"ratio_form_standard", u"ratio_form_standard"},
    {u"RATIO_PRESCRIPTION_STANDARD", u"ratio_presription_standard", u"ratio_prescription_standard"},
    {u"RATIO_EMR_STANDARD", u"ratio_emr_standard", u"ratio_emr_standard"},
    {u"RATIO_OTHER_INDICATORS", u"ratio_other_indicators", u"ratio_other_indicators"},
    {u"INSTITUTION_EXECUTE_STATUS", u"institution_execute_status", u"institution_execute_status"},
    {u"PATIENT_SATISFACTION", u"patient_satisfaction", u"patient_satisfaction"},
    {u"MEDICAL_TANGLE_NUM", u"medical_tangle_num", u"medical_tangle_num"},
    {u"ABRUPT_CHANGE", u"abrupt_change", u"abrupt_change"},
    {u"TESTING_CONTENT", u"testing_content", u"testing_content"},
    {u"QUALITY_ANALYSIS", u"quality_analysis", u"quality_analysis"},
    {u"IMPROVE_TARGET", u"improve_target", u"improve_target"},
    {u"RESULT_EVALUATION", u"result_evalution", u"result_evaluation"},
    {u"DEPT_ID", u"dept_id", u"dept_id"},
    {u"DEPT_NAME", u"dept_name", u"dept_name"},
    {u"RECORDER_ID", u"recorder_id", u"recorder_id"},
};
constexpr unsigned kColumns = std::size(kFields);

// The list's attribute names, in column order.
constexpr auto kListNames = [] {
  std::array<const char16_t*, kColumns> names{};
  for (unsigned column = 0; column < kColumns; ++column) names[column] = kFields[column].listed;
  return names;
}();

std::u16string ColumnList(std::u16string_view prefix) {
  std::u16string columns;
  for (const ActivityField& field : kFields) {
    if (!columns.empty()) columns.append(u", ");
    columns.append(prefix).append(field.column);
  }
  return columns;
}

}  // namespace

long CBCoreSystem::GetDeptActivity(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                   BSTR* pbstrList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  const std::u16string filter = u" WHERE 1=1 " + SqlConditions(condition)
                                                    .Equals(u"id", u"T.ID")
                                                    .DateFrom(u"create_begin_time", u"T.CREATE_TIME", u"YYYY-MM")
                                                    .MonthUntil(u"create_end_time", u"T.CREATE_TIME")
                                                    .Equals(u"manager", u"T.MANAGER")
                                                    .Equals(u"participant", u"T.PARTICIPANT")
                                                    .Equals(u"recorder", u"T.RECORDER")
                                                    .Equals(u"performance_status", u"T.PERFORMANCE_STATUS")
                                                    .Equals(u"dept_id", u"T.DEPT_ID")
                                                    .Equals(u"recorder_id", u"T.RECORDER_ID")
                                                    .Sql();

  std::vector<std::u16string> values;
  pDataSource->Query(u"SELECT " + ColumnList(u"T.") + u" FROM PEV_DEPT_ACTIVITY T " + filter,
                     kColumns, values);
  korvalis::StoreBstrResult(pbstrList, ItemList(values, kListNames));
  return 0;
}

long CBCoreSystem::SetDeptActivity(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                   BSTR* pbstrList) {
  const CXmlProperty record = PropertyBag(bstrCondition);
  const CXmlProperty::Map values = record.GetMap();
  const auto value_of = [&](const ActivityField& field) {
    auto found = values.find(field.key);
    if (found == values.end()) found = values.find(field.listed);
    return found == values.end() ? std::u16string() : found->second;
  };

  const std::u16string id = IdForSave(*pDataSource, record.GetValue(u"id"), u"PEV_DEPT_ACTIVITY");
  std::vector<RowValue> row = {id, RowValue::Date(value_of(kFields[1]), u"YYYY-MM-DD")};
  for (unsigned column = 2; column < kColumns; ++column) row.emplace_back(value_of(kFields[column]));
  korvalis::InsertRow(*pDataSource, u"PEV_DEPT_ACTIVITY", ColumnList(u""), row);
  korvalis::StoreBstrResult(pbstrList, id);
  return 0;
}

long CBCoreSystem::DelDeptActivity(CEMRDataSource* pDataSource, BSTR bstrCondition) {
  korvalis::review::DeleteRecord(pDataSource, bstrCondition, u"PEV_DEPT_ACTIVITY");
  return 0;
}
