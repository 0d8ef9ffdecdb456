// The visits of a grade task: AddPatient puts visits into a task, DispatchPatient hands them
// to a QC user or withdraws them, RemovePatient takes them out with everything the grading
// and the rectification attached to them. Each reads its visits from the `item` elements of a
// patient list; a list that is not well-formed XML fails the call before any statement.
//
// A visit of a task (PEV_GRADE_PATIENT.STATUS):
//
//   (absent) ──AddPatient──▶ 0 added ──DispatchPatient(user)──▶ 1 dispatched
//                              ▲                                   │
//                              └──────DispatchPatient("")──────────┘
//   0 or 1 ──grading and rectification (QC patient review)──▶ further codes
//   any ──RemovePatient──▶ (absent, with its grade items, rectification links and notices)
//
// USER_ID follows the executor type of each dispatched item: "0" the receiving user, "1"
// none, any other the value the item before it left.
#include <string>
#include <vector>

#include "foundation/data/emr_data_source.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_list.h"
#include "quality/rules/qc_task.h"

namespace {

using korvalis::BstrView;
using korvalis::ReadListElements;
using korvalis::RowValue;
using korvalis::SqlKey;

// The key of a visit in a task: PATIENT_ID, EVENT_NO and TASK_ID.
SqlKey VisitInTask(const std::u16string& patient_id, const std::u16string& event_no,
                   const std::u16string& task_id) {
  SqlKey key;
  key.Equals(u"PATIENT_ID", patient_id).Equals(u"EVENT_NO", event_no).Equals(u"TASK_ID", task_id);
  return key;
}

}  // namespace

long CBQCTask::AddPatient(CEMRDataSource* pDataSource, BSTR bstrTaskID, BSTR bstrPatientList) {
  const std::u16string task_id(BstrView(bstrTaskID));
  for (const auto& item :
       ReadListElements(bstrPatientList, u"item", {u"patient_id", u"event_no"})) {
    const std::u16string& patient_id = item.attributes[0];
    const std::u16string& event_no = item.attributes[1];
    if (patient_id.empty() || event_no.empty()) continue;
    std::u16string count;
    pDataSource->QueryScalar(u"SELECT COUNT(*) FROM PEV_GRADE_PATIENT" +
                                 VisitInTask(patient_id, event_no, task_id).Where(),
                             count);
    if (StringToLong(count) > 0) continue;  // already in the task: left as it is
    korvalis::InsertRow(*pDataSource, u"PEV_GRADE_PATIENT",
                        u"TASK_ID, PATIENT_ID, EVENT_NO, STATUS, ADD_DATE",
                        {task_id, patient_id, event_no, RowValue::Number(0), RowValue::Now()});
  }
  return 0;
}

long CBQCTask::DispatchPatient(CEMRDataSource* pDataSource, BSTR bstrUserID, BSTR bstrPatientList) {
  const std::u16string receiver(BstrView(bstrUserID));
  const char16_t* status = receiver.empty() ? u"0" : u"1";
  std::u16string user;  // carried from item to item for other executor types
  for (const auto& item : ReadListElements(
           bstrPatientList, u"item", {u"patient_id", u"event_no", u"task_id", u"executor_type"})) {
    const std::u16string& executor_type = item.attributes[3];
    if (executor_type == u"0") {
      user = receiver;
    } else if (executor_type == u"1") {
      user.clear();
    }
    // An item whose visit is not in the named task, or that misses a key, changes no row.
    korvalis::UpdateRow(
        *pDataSource, u"PEV_GRADE_PATIENT",
        {{u"status", status}, {u"executor_id", receiver}, {u"USER_ID", user}},
        VisitInTask(item.attributes[0], item.attributes[1], item.attributes[2]).Sql());
  }
  return 0;
}

long CBQCTask::RemovePatient(CEMRDataSource* pDataSource, BSTR bstrCondition) {
  for (const auto& item :
       ReadListElements(bstrCondition, u"item", {u"patient_id", u"event_no", u"task_id"})) {
    const std::u16string& patient_id = item.attributes[0];
    const std::u16string& event_no = item.attributes[1];
    const std::u16string& task_id = item.attributes[2];
    if (patient_id.empty() || event_no.empty() || task_id.empty()) continue;
    const std::u16string condition = VisitInTask(patient_id, event_no, task_id).Where();
    // Every notice linked to the visit in this task goes with it, each with its items.
    std::vector<std::u16string> notices;
    pDataSource->QueryColumn(u"SELECT DISTINCT RECTIFY_ID FROM PEV_GRADE_TASK_RECTIFY " + condition,
                             notices);
    pDataSource->Execute(u"DELETE FROM PEV_GRADE_PATIENT " + condition);
    pDataSource->Execute(u"DELETE FROM PEV_GRADE_TASK_RECTIFY " + condition);
    pDataSource->Execute(u"DELETE FROM PEV_GRADE_ITEM " + condition);
    for (const std::u16string& notice : notices) {
      if (notice.empty()) continue;
      pDataSource->Execute(u"DELETE FROM PEV_RECTIFY_INFO" +
                           SqlKey().Equals(u"ID", notice).Where());
      pDataSource->Execute(u"DELETE FROM  PEV_RECTIFY_ITEM" +
                           SqlKey().Equals(u"RECTIFY_ID", notice).Where());
    }
  }
  return 0;
}
