// Final QC of discharged visits in tasks: assignment to department records, scoring, the
// completion of a task, the random sample of a period and the lists (see terminal_qc_patient.h).
#include "quality/rules/terminal_qc_patient.h"

#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/calls/client_info.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_date.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/xml/xml_list.h"
#include "foundation/xml/xml_parser.h"
#include "foundation/xml/xml_property.h"
#include "platform/com/scoped_bstr.h"
#include "quality/rules/qc_score_info.h"
#include "quality/rules/qc_score_store.h"
#include "quality/rules/qc_task.h"

namespace {

using korvalis::ArgumentText;
using korvalis::PropertyBag;
using korvalis::RowValue;
using korvalis::SqlKey;
using korvalis::SqlNumber;

constexpr char16_t kInvalidXmlMessage[] = u"无效XML!";

// One `patient` element of a department in the patient list.
struct ListedVisit {
  std::u16string patient_id;
  std::u16string event_no;
  long status;  // 1 assign, 0 take out, anything else ignored (-1 for no number)
};

// One `dept` element of the patient list with its visits.
struct ListedDept {
  std::u16string dept_id;
  std::u16string dept_name;
  std::u16string task_id;  // checked to be a number
  std::vector<ListedVisit> visits;
};

// Reads the whole patient list before any statement runs, so that a list that is not well
// formed or names a task that is no number changes nothing.
std::vector<ListedDept> ReadPatientList(BSTR patient_list) {
  CXmlStringParser parser(patient_list);
  const xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr) throw CEMRException(std::u16string(kInvalidXmlMessage));
  std::vector<ListedDept> depts;
  for (const xercesc::DOMElement* element : DescendantElementsNamed(document, u"dept")) {
    ListedDept dept{.dept_id = element->getAttribute(u"id"),
                    .dept_name = element->getAttribute(u"name"),
                    .task_id = SqlNumber(element->getAttribute(u"task_id"), u"task_id"),
                    .visits = {}};
    for (korvalis::ListElement& patient :
         korvalis::ReadListElements(element, u"patient", {u"id", u"event", u"status"})) {
      std::vector<std::u16string>& a = patient.attributes;
      bool read = false;
      long status = StringToLong(a[2], &read);
      dept.visits.push_back({std::move(a[0]), std::move(a[1]), read ? status : -1});
    }
    depts.push_back(std::move(dept));
  }
  return depts;
}

// Applies the visits of one department to its department record `record_id`: status 0 takes
// the visit out, status 1 assigns it anew (100 points, level 1); its items are left alone.
void AddFinalPatientRecords(CEMRDataSource* data_source, const ListedDept& dept,
                            const std::u16string& record_id, const CClientInfo& client) {
  for (const ListedVisit& visit : dept.visits) {
    if (visit.status != 0 && visit.status != 1) continue;
    data_source->Execute(u"DELETE PEV_FINAL_PATIENT_RECORD" +
                         SqlKey()
                             .Equals(u"PATIENT_ID", visit.patient_id)
                             .Equals(u"EVENT_NO", visit.event_no)
                             .Number(u"ID", record_id)
                             .Where());
    if (visit.status == 1) {
      korvalis::InsertRow(
          *data_source, u"PEV_FINAL_PATIENT_RECORD",
          u"PATIENT_ID, EVENT_NO, ID, QC_USER_ID, QC_USER_NAME, TOTAL_POINT, "
          u"EMR_LEVEL, STATUS",
          {visit.patient_id, visit.event_no, RowValue::Number(record_id), client.GetUserId(),
           client.GetUserName(), RowValue::Number(100), RowValue::Number(1), RowValue::Number(1)});
    }
  }
}

// The text of `values[i]`, or the empty text for a short row.
const std::u16string& At(const std::vector<std::u16string>& values, std::size_t i) {
  static const std::u16string& kEmpty = *new std::u16string;
  return i < values.size() ? values[i] : kEmpty;
}

// Refuses a search date, naming the field and its value.
[[noreturn]] void RefuseSearchDate(std::u16string_view field, const std::u16string& value) {
  throw CEMRException(std::u16string(kSearchDateInvalidMessage) + value + u"' (" +
                      std::u16string(field) + u")");
}

}  // namespace

void CBQCTask::SetTaskRecordStatus2(CEMRDataSource* pDataSource, LONG lngTaskID) {
  korvalis::UpdateRow(*pDataSource, u"PEV_TASK_RECORD", {{u"STATUS", RowValue::Number(2)}},
                      SqlKey().Number(u"ID", lngTaskID).Sql());
}

void CBQCTask::SetTaskRecordStatus3(CEMRDataSource* pDataSource, LONG lngTaskID) {
  korvalis::UpdateRow(*pDataSource, u"PEV_TASK_RECORD", {{u"STATUS", RowValue::Number(3)}},
                      SqlKey().Number(u"ID", lngTaskID).Sql());
}

std::u16string CBTerminalQCPatient::NextFinalDeptRecordId(CEMRDataSource* pDataSource) {
  std::u16string max_id;
  pDataSource->QueryScalar(u"SELECT MAX(ID) FROM PEV_FINAL_DEPT_RECORD", max_id);
  return LongToString(StringToLong(max_id) + 1);
}

void CBTerminalQCPatient::CompleteTaskIfAllVerified(CEMRDataSource* pDataSource,
                                                    const std::u16string& record_id) {
  std::vector<std::u16string> sums;
  pDataSource->Query(
      u"SELECT SUM(TOTAL_COUNT), SUM(VIRIFY_COUNT), QCTASK_ID FROM PEV_FINAL_DEPT_RECORD "
      u"WHERE QCTASK_ID = (SELECT QCTASK_ID FROM PEV_FINAL_DEPT_RECORD" +
          SqlKey().Number(u"ID", record_id).Where() + u") GROUP BY QCTASK_ID",
      3, sums);
  if (sums.size() != 3 || sums[0] != sums[1]) return;
  CBQCTask::SetTaskRecordStatus3(pDataSource, static_cast<LONG>(StringToLong(sums[2])));
}

long CBTerminalQCPatient::ManagePatient(CEMRDataSource* pDataSource, BSTR bstrPatientList,
                                        BSTR bstrClientInfo) {
  const CClientInfo client(ArgumentText(bstrClientInfo));
  const std::vector<ListedDept> depts = ReadPatientList(bstrPatientList);
  for (const ListedDept& dept : depts) {
    const SqlKey department =
        std::move(SqlKey().Number(u"QCTASK_ID", dept.task_id).Equals(u"DEPT_ID", dept.dept_id));
    std::u16string record_id;
    pDataSource->QueryScalar(u"SELECT ID FROM PEV_FINAL_DEPT_RECORD" + department.Where(),
                             record_id);
    if (record_id.empty()) {
      record_id = NextFinalDeptRecordId(pDataSource);
      korvalis::InsertRow(*pDataSource, u"PEV_FINAL_DEPT_RECORD",
                          u"ID, DEPT_ID, DEPT_NAME, QCTASK_ID, QC_USER_ID, QC_USER_NAME, STATUS",
                          {RowValue::Number(record_id), dept.dept_id, dept.dept_name,
                           RowValue::Number(dept.task_id), client.GetUserId(), client.GetUserName(),
                           RowValue::Number(1)});
    }
    AddFinalPatientRecords(pDataSource, dept, record_id, client);
    std::u16string count;
    pDataSource->QueryScalar(u"SELECT COUNT(*) FROM PEV_FINAL_PATIENT_RECORD" +
                                 SqlKey().Equals(u"ID", record_id).Where(),
                             count);
    if (count == u"0") {
      pDataSource->Execute(u"DELETE PEV_FINAL_DEPT_RECORD" + department.Where());
    } else {
      korvalis::UpdateRow(*pDataSource, u"PEV_FINAL_DEPT_RECORD",
                          {{u"TOTAL_COUNT", RowValue::Number(count)}}, department.Sql());
    }
  }
  const long task = depts.empty() ? 0 : StringToLong(depts.back().task_id);
  CBQCTask::SetTaskRecordStatus2(pDataSource, static_cast<LONG>(task));
  return 0;
}

long CBTerminalQCPatient::ScorePatient(CEMRDataSource* pDataSource, BSTR bstrPatientID,
                                       BSTR bstrEventNo, BSTR bstrScoreInfo, BSTR bstrClientInfo) {
  const CClientInfo client(ArgumentText(bstrClientInfo));
  const korvalis::quality::QcScoreInfo score = korvalis::quality::ReadQcScoreInfo(bstrScoreInfo);
  if (!score.dept_internal) throw CEMRException(std::u16string(kDeptInternalMissingMessage));
  const std::u16string record_id = SqlNumber(*score.dept_internal, u"dept_internal");
  std::u16string visits;
  const SqlKey of_record = std::move(SqlKey().Number(u"ID", record_id));
  pDataSource->QueryScalar(u"SELECT COUNT(*) FROM PEV_FINAL_PATIENT_RECORD" + of_record.Where(),
                           visits);
  if (visits.empty() || visits == u"0") {
    throw CEMRException(kDeptRecordEmptyMessage + record_id);
  }

  korvalis::quality::StoreQcScore(
      *pDataSource,
      {u"PEV_FINAL_ITEM_RECORD", u"PEV_FINAL_PATIENT_RECORD", bstrPatientID, bstrEventNo,
       std::move(SqlKey()
                     .Equals(u"PATIENT_ID", bstrPatientID)
                     .Equals(u"EVENT_NO", bstrEventNo)
                     .Number(u"ID", record_id)),
       record_id},
      score, client);

  std::vector<std::u16string> counts;
  pDataSource->Query(
      u"SELECT SUM(DECODE(EMR_LEVEL, 1, 1, 0)), SUM(DECODE(EMR_LEVEL, 2, 1, 0)), "
      u"SUM(DECODE(EMR_LEVEL, 3, 1, 0)), SUM(DECODE(STATUS, 2, 1, 0)) "
      u"FROM PEV_FINAL_PATIENT_RECORD" +
          of_record.Where(),
      4, counts);
  korvalis::UpdateRow(*pDataSource, u"PEV_FINAL_DEPT_RECORD",
                      {{u"VIRIFY_COUNT", RowValue::Number(At(counts, 3))},
                       {u"LEVEL_FIRST_COUNT", RowValue::Number(At(counts, 0))},
                       {u"LEVEL_SECOND_COUNT", RowValue::Number(At(counts, 1))},
                       {u"LEVEL_THIRD_COUNT", RowValue::Number(At(counts, 2))}},
                      of_record.Sql());
  CompleteTaskIfAllVerified(pDataSource, record_id);
  return 0;
}

long CBTerminalQCPatient::GetDeptList(CEMRDataSource* pDataSource, LONG lngTaskID,
                                      BSTR* pbstrDeptList) {
  pDataSource->QueryElements(
      u"SELECT DEPT_NAME, DEPT_ID, ID, TATOL_COUNT, VERIFY_COUNT, LEVEL_FIRST_COUNT, "
      u"LEVEL_SECOND_COUNT, LEVEL_THIRD_COUNT FROM PEV_FINAL_DEPT_RECORD" +
          SqlKey().Number(u"QCTASK_ID", lngTaskID).Where() + u" ORDER BY ID",
      {u"dept", u"id", u"internal", u"count", u"score", u"grade_a", u"grade_b", u"grade_c"},
      pbstrDeptList, {u"internal"});
  return 0;
}

long CBTerminalQCPatient::GetDeptPatientList(CEMRDataSource* pDataSource, LONG lngTaskID,
                                             BSTR bstrDeptID, BSTR* pbstrPatientList) {
  pDataSource->QueryElements(
      u"SELECT A.NAME, B.PATIENT_ID, B.EVNET_NO, B.EMR_LEVEL, B.TOTAL_POINT "
      u"FROM TELV_PATIENT A, PEV_FINAL_PATIENT_RECORD B, PEV_FINAL_DEPT_RECORD C" +
          SqlKey()
              .Number(u"C.TASK_ID", lngTaskID)
              .Equals(u"C.DEPT_ID", bstrDeptID)
              .And(u"B.ID = C.ID AND A.ID = B.PATIENT_ID")
              .Where() +
          u" ORDER BY B.PATIENT_ID, B.EVNET_NO",
      {u"patient", u"id", u"event", u"grade", u"score"}, pbstrPatientList, {u"id", u"event"});
  return 0;
}

long CBTerminalQCPatient::GetPatientList(CEMRDataSource* pDataSource, LONG lngTaskID,
                                         BSTR* pbstrPatientList) {
  constexpr unsigned kColumns = 10;
  std::vector<std::u16string> rows;
  // The deductions are counted in the visit's own department record only, so that a visit of
  // two tasks shows as scored only where it was scored.
  pDataSource->Query(
      u"SELECT A.NAME, B.PATIENT_ID, B.EVENT_NO, B.EMR_LEVEL, B.TOTAL_POINT, C.DEPT_NAME, "
      u"C.DEPT_ID, B.STATUS, A.SEX, COUNT(D.POINT_ITEM_ID) FROM TELV_PATIENT A "
      u"JOIN PEV_FINAL_PATIENT_RECORD B ON A.ID = B.PATIENT_ID "
      u"JOIN PEV_FINAL_DEPT_RECORD C ON B.ID = C.ID LEFT JOIN PEV_FINAL_ITEM_RECORD D ON "
      u"B.PATIENT_ID = D.PATIENT_ID AND B.EVENT_NO = D.EVENT_NO AND B.ID = D.ID "
      u"WHERE " +
          SqlKey().Number(u"C.QCTASK_ID", lngTaskID).Sql() +
          u" GROUP BY A.NAME, B.PATIENT_ID, B.EVENT_NO, B.EMR_LEVEL, B.TOTAL_POINT, C.DEPT_NAME, "
          u"C.DEPT_ID, B.STATUS, A.SEX ORDER BY C.DEPT_NAME",
      kColumns, rows);

  // Written straight as the DOM writer writes the document: a `dept` per run of rows of one
  // department holding their patients, attributes in name order.
  std::u16string xml(korvalis::kDomDeclaration);
  xml.append(rows.empty() ? u"<root/>" : u"<root>");
  xml.reserve(xml.size() + rows.size() * 16);
  const std::u16string* dept_id = nullptr;
  const auto attribute = [&xml](std::u16string_view name, std::u16string_view value) {
    xml.append(u" ").append(name).append(u"=\"");
    korvalis::AppendDomAttributeValue(xml, value);
    xml.push_back(u'"');
  };
  for (std::size_t row = 0; row + kColumns <= rows.size(); row += kColumns) {
    const std::u16string* v = &rows[row];
    if (dept_id == nullptr || v[6] != *dept_id) {
      if (dept_id != nullptr) xml.append(u"</dept>");
      xml.append(u"<dept");
      attribute(u"id", v[6]);
      attribute(u"name", v[5]);
      xml.push_back(u'>');
      dept_id = &v[6];
    }
    xml.append(u"<patient");
    attribute(u"event", v[2]);
    attribute(u"grade", v[3]);
    attribute(u"id", v[1]);
    attribute(u"score", v[4]);
    attribute(u"scored", StringToLong(v[9]) > 0 ? u"1" : u"0");
    attribute(u"sex", v[8]);
    attribute(u"status", v[7]);
    if (v[0].empty()) {
      xml.append(u"/>");
    } else {
      xml.push_back(u'>');
      korvalis::AppendDomText(xml, v[0]);
      xml.append(u"</patient>");
    }
  }
  if (dept_id != nullptr) xml.append(u"</dept></root>");
  korvalis::StoreBstrResult(pbstrPatientList, xml);
  return 0;
}

long CBTerminalQCPatient::GetPatientScore(CEMRDataSource* pDataSource, LONG lngTaskID,
                                          BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrScore) {
  std::vector<std::u16string> visit;
  pDataSource->Query(
      u"SELECT A.ID, A.TOTAL_POINT, A.EMR_LEVEL FROM PEV_FINAL_PATIENT_RECORD A, "
      u"PEV_TASK_RECORD B, PEV_FINAL_DEPT_RECORD C" +
          SqlKey()
              .Equals(u"A.PATIENT_ID", bstrPatientID)
              .Equals(u"A.EVENT_NO", bstrEventNo)
              .And(u"A.ID = C.ID AND B.ID = C.QCTASK_ID")
              .Number(u"B.ID", lngTaskID)
              .Where(),
      3, visit);
  if (visit.size() != 3) throw CEMRException(std::u16string(kFinalQcVisitMissingMessage));

  korvalis::StoreBstrResult(
      pbstrScore,
      korvalis::quality::ScoreDocument(
          *pDataSource,
          u"SELECT DECODE(A.TYPE, 4, B.NOTES, A.STANDARD) ITEM, B.POINT_ITEM_ID, "
          u"RTRIM(TO_CHAR(B.SCORE, 'FM990.99'), '.'), B.NOTES, B.SERIAL, B.EMR_ID, B.EMR_TITLE, "
          u"A.POINT_CATALOG_ID, C.NAME, A.TYPE_VETO, A.TYPE_MULTI, A.TYPE_SUBJECTIVE, "
          u"B.ITEM_COUNT, RTRIM(TO_CHAR(A.POINT, 'FM999990.99'), '.') "
          u"FROM PEV_STANDARD_ITEM A, PEV_FINAL_ITEM_RECORD B, PEV_STANDARD_CATALOG C" +
              SqlKey()
                  .Equals(u"B.PATIENT_ID", bstrPatientID)
                  .Equals(u"B.EVENT_NO", bstrEventNo)
                  .And(u"A.ID = B.POINT_ITEM_ID AND A.POINT_CATALOG_ID = C.ID")
                  .Number(u"B.ID", visit[0], u"dept_internal")
                  .Where(),
          {u"item", u"item_id", u"score", u"note", u"serial", u"emr_id", u"emr_title",
           u"item_catalog", u"catalog_name", u"type_veto", u"type_multi_sel", u"type_subjective",
           u"item_count", u"item_point"},
          {{u"dept_internal", visit[0]}, {u"score", visit[1]}, {u"grade", visit[2]}}));
  return 0;
}

std::u16string korvalis::quality::FinalQcSearchStatement(const CDBType& dialect,
                                                         const CXmlProperty& condition) {
  const std::u16string begin = condition.GetValue(u"begin_date");
  const std::u16string end = condition.GetValue(u"end_date");
  if (begin.empty() || end.empty()) {
    throw CEMRException(std::u16string(kSearchDateMissingMessage));
  }
  // The end is a day, covered to its end: with a time in it the end of day makes no date.
  if (!korvalis::IsSqlDate(begin)) RefuseSearchDate(u"begin_date", begin);
  if (!korvalis::IsSqlDate(end + u" 23:59:59")) RefuseSearchDate(u"end_date", end);
  const std::u16string period = u" (B.OUT_TIME BETWEEN " + korvalis::SqlDateValue(dialect, begin) +
                                u" AND " + korvalis::SqlDateValue(dialect, end + u" 23:59:59") +
                                u")";
  const std::u16string task = condition.GetValue(u"task_id");
  if (task.empty()) throw CEMRException(std::u16string(kSearchTaskMissingMessage));
  const std::u16string dept_list = condition.GetValue(u"dept_id");
  std::u16string per_dept = condition.GetValue(u"patient_per_dept");
  if (!per_dept.empty()) per_dept = SqlNumber(per_dept, u"patient_per_dept");

  const std::u16string base =
      u"SELECT /*+RULE*/ A.NAME, B.PATIENT_ID, B.EVENT_NO, B.NOW_DEPT_ID NOW_DPET_ID, "
      u"B.NOW_DEPT_NAME, B.DOCTOR_NAME, V.ID  FROM TELV_VISIT_RECORD B "
      u"LEFT JOIN TELV_PATIENT A ON B.PATIENT_ID = A.ID "
      u"LEFT JOIN (SELECT U.PATIENT_ID, U.EVENT_NO, S.TITLE, S.ID FROM PEV_TASK_RECORD S, "
      u"PEV_FINAL_DEPT_RECORD T, PEV_FINAL_PATIENT_RECORD U" +
      SqlKey().And(u"T.QCTASK_ID = S.ID").Equals(u"S.ID", task).And(u"U.ID = T.ID").Where() +
      u") V ON B.PATIENT_ID = V.PATIENT_ID AND B.EVENT_NO = V.EVENT_NO "
      u"WHERE " +
      period;

  // Per department of the list (an empty piece between two commas stays, matching no visit):
  // its visits, or a random draw of `per_dept` of them; without a list the first `per_dept` in
  // the order of the visits' keys.
  std::u16string body;
  if (dept_list.empty()) {
    body = per_dept.empty()
               ? base
               : u"SELECT * FROM (" + base +
                     u" ORDER BY B.PATIENT_ID, B.EVENT_NO) WHERE ROWNUM <= " + per_dept;
  } else {
    std::vector<std::u16string> depts;
    SplitByChars(dept_list, u",", depts);
    for (const std::u16string& dept : depts) {
      if (!body.empty()) body += u" UNION ";
      const std::u16string of_dept =
          base + u" AND " + SqlKey().Equals(u"B.NOW_DEPT_ID", dept).Sql();
      body += per_dept.empty() ? of_dept
                               : u"SELECT * FROM (" + of_dept +
                                     u" ORDER BY DBMS_RANDOM.VALUE ) WHERE ROWNUM <= " + per_dept;
    }
  }
  return u"SELECT * FROM (" + body + u") ORDER BY NOW_DPET_ID";
}

long CBTerminalQCPatient::SearchPatient(CEMRDataSource* pDataSource, BSTR bstrWhatInfo,
                                        BSTR* pbstrPatientList) {
  const CXmlProperty condition = PropertyBag(bstrWhatInfo);
  pDataSource->QueryElements(
      korvalis::quality::FinalQcSearchStatement(*pDataSource->GetDBType(), condition),
      {u"patient", u"id", u"event", u"dept_id", u"dept_name", u"doctor", u"task_id"},
      pbstrPatientList, {u"id", u"event"});
  return 0;
}

long CBTerminalQCPatient::RemoveAllPatient(CEMRDataSource*, LONG) { return 0; }
