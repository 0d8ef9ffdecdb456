// Critical values: result items waiting in TELV_CRISIS_T for a doctor's response, and their
// confirmation, which moves the pending items of one report into TELV_CRISIS_RECORD with the
// confirming doctor and the time of the response.
//
//   pending (TELV_CRISIS_T) ──ConfirmCrisisInfo (per patient, visit and report)──▶ confirmed
//                                                                   (TELV_CRISIS_RECORD)
//
// There is no way back. Only items whose visit the patient-visit view shows are listed, and so
// only they are confirmed: an item of a visit missing from the view stays pending.
#include <string>
#include <utility>
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_key.h"
#include "foundation/xml/xml_property.h"
#include "quality/review/qc_collector.h"

namespace {

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::InsertRow;
using korvalis::RowValue;
using korvalis::SqlConditions;
using korvalis::SqlKey;

// The columns of the list, in the order of its element names.
constexpr unsigned kListColumns = 21;
// The columns of a confirmed item, the list's from PATIENT_ID on with the confirmation's response.
constexpr char16_t kRecordColumns[] =
    u"PATIENT_ID, EVENT_NO, SERIAL_NO, PATIENT_TYPE, TYPE, SUB_TYPE, PRESCRIBE_NUMBER, "
    u"APPLY_NUMBER, REPORT_ID, REPORT_TIME, ITEM_CODE, ITEM_NAME, VAL, REF_LOW, REF_HIGH, "
    u"RESPONE_TIME, ACCEPTER, ACCEPTER_ID, NORMAL_VAL";
// Positions in a row of the list.
enum ListColumn : unsigned {
  kPatientId = 3,
  kReportId = 11,
  kReportTime = 12,
  kItemCode = 13,
  kRefHigh = 17,
  kNormalVal = 20,
};

// Pending items joined to their visit, filtered by the condition's keys.
std::u16string PendingItemsSql(const CXmlProperty& condition) {
  std::u16string sql =
      u"SELECT  A.NAME, A.SEX,A.BED_NO, T.PATIENT_ID, T.EVENT_NO, T.SERIAL_NO, T.PATIENT_TYPE, "
      u"T.TYPE, T.SUB_TYPE, T.PRESCRIBE_NUMBER, T.APPLY_NUMBER, T.REPORT_ID, T.REPORT_TIME, "
      u"T.ITEM_CODE, T.ITEM_NAME,T.VAL,T.REF_LOW,T.REF_HIGH,T.RESPONE_TIME,T.ACCEPTER,"
      u"T.NORMAL_VAL FROM TELV_CRISIS_T T, TELV_V_PATIENT_VISIT_RECORD A WHERE T.PATIENT_ID = "
      u"A.PATIENT_ID AND T.EVENT_NO = A.EVENT_NO ";
  sql += SqlConditions(condition)
             .Equals(u"patient_id", u"T.PATIENT_ID")
             .Equals(u"event_no", u"T.EVENT_NO")
             .Equals(u"dept_id", u"A.NOW_DEPT_ID")
             .Equals(u"serial_no", u"T.SERIAL_NO")
             .Equals(u"patient_type", u"T.PATIENT_TYPE")
             .Equals(u"type", u"T.TYPE")
             .Equals(u"sub_type", u"T.SUB_TYPE")
             .Equals(u"prescribe_number", u"T.PRESCRIBE_NUMBER")
             .Equals(u"apply_number", u"T.APPLY_NUMBER")
             .Equals(u"report_id", u"T.REPORT_ID")
             .Equals(u"accepter_id", u"T.ACCEPTER_ID")
             // Spans of whole days, the end day included; only with both of their ends.
             .DaysThrough(u"report_time_begin", u"report_time_end", u"T.REPORT_TIME")
             .DaysThrough(u"respone_time_begin", u"respone_time_end", u"T.RESPONE_TIME")
             .Sql();
  return sql;
}

}  // namespace

long CBQCCollector::GetPatientCrisisInfo(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                         BSTR* pbstrList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  pDataSource->QueryElements(
      PendingItemsSql(condition),
      {u"patient_name", u"sex",          u"bed_no",      u"patient_id",   u"event_no",
       u"serial_no",    u"patient_type", u"type",        u"sub_type",     u"prescribe_number",
       u"apply_number", u"report_id",    u"report_time", u"item_code",    u"item_name",
       u"val",          u"ref_low",      u"ref_high",    u"respone_time", u"accepter",
       u"normal_val"},
      pbstrList);
  return 0;
}

long CBQCCollector::ConfirmCrisisInfo(CEMRDataSource* pDataSource, BSTR bstrCondition) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  const std::u16string patient_id = condition.GetValue(u"patient_id");
  const std::u16string event_no = condition.GetValue(u"event_no");
  const std::u16string report_id = condition.GetValue(u"report_id");
  const std::u16string accepter_id = condition.GetValue(u"accepter_id");
  if (patient_id.empty() || event_no.empty() || report_id.empty() || accepter_id.empty()) {
    return 0;
  }

  const CXmlProperty report(CXmlProperty::Map{
      {u"patient_id", patient_id}, {u"event_no", event_no}, {u"report_id", report_id}});
  std::vector<std::u16string> items;
  pDataSource->Query(PendingItemsSql(report), kListColumns, items);

  // Exactly the listed items leave TELV_CRISIS_T: the delete joins the visit view as the list
  // does. The deletes and inserts are one unit with the call.
  pDataSource->Execute(u"DELETE FROM TELV_CRISIS_T T" +
                       SqlKey()
                           .Equals(u"T.PATIENT_ID", patient_id)
                           .Equals(u"T.EVENT_NO", event_no)
                           .Equals(u"T.REPORT_ID", report_id)
                           .And(u"EXISTS (SELECT 1 FROM TELV_V_PATIENT_VISIT_RECORD A WHERE "
                                u"T.PATIENT_ID = A.PATIENT_ID AND T.EVENT_NO = A.EVENT_NO)")
                           .Where());

  // The item's own response data gives way to the confirmation's. The list renders the report
  // time as "YYYY-MM-DD HH:MM:SS", so it is taken back to the second.
  constexpr char16_t kTimeFormat[] = u"yyyy-mm-dd HH24:MI:SS";
  const RowValue response_time = RowValue::Date(condition.GetValue(u"respone_time"), kTimeFormat);
  const std::u16string accepter = condition.GetValue(u"accepter");
  for (std::size_t row = 0; row + kListColumns <= items.size(); row += kListColumns) {
    std::vector<RowValue> values(items.begin() + row + kPatientId,
                                 items.begin() + row + kReportId + 1);
    values.push_back(RowValue::Date(items[row + kReportTime], kTimeFormat));
    values.insert(values.end(), items.begin() + row + kItemCode, items.begin() + row + kRefHigh + 1);
    values.insert(values.end(), {response_time, accepter, accepter_id, items[row + kNormalVal]});
    InsertRow(*pDataSource, u"TELV_CRISIS_RECORD", kRecordColumns, values);
  }
  return 0;
}
