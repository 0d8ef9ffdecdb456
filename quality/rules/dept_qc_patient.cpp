// The department QC of one visit: its row and status, its scoring with deductions, the
// verification, the score document and the department's list (see dept_qc_patient.h).
#include "quality/rules/dept_qc_patient.h"

#include <string>
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/calls/client_info.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_date.h"
#include "foundation/data/sql_key.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_property.h"
#include "quality/rules/qc_score_info.h"
#include "quality/rules/qc_score_store.h"

namespace {

using korvalis::ArgumentText;
using korvalis::PropertyBag;
using korvalis::RowValue;
using korvalis::SqlKey;

// The key of the visit's rows: PATIENT_ID and EVENT_NO.
SqlKey VisitKey(BSTR patient_id, BSTR event_no, std::u16string_view alias = u"") {
  SqlKey key;
  key.Equals(std::u16string(alias) + u"PATIENT_ID", patient_id)
      .Equals(std::u16string(alias) + u"EVENT_NO", event_no);
  return key;
}

// The visit's STATUS as text; empty when it has no row.
std::u16string VisitStatus(CEMRDataSource* data_source, BSTR patient_id, BSTR event_no) {
  std::u16string status;
  data_source->QueryScalar(
      u"SELECT STATUS FROM PEV_DEPT_PATIENT_RECORD" + VisitKey(patient_id, event_no).Where(),
      status);
  return status;
}

}  // namespace

long CBDeptQCPatient::AddQCPatient(CEMRDataSource* pDataSource, BSTR bstrPatientID,
                                   BSTR bstrEventNo, BSTR bstrClientInfo, LONG* plngStatus) {
  const CClientInfo client(ArgumentText(bstrClientInfo));
  const std::u16string status = VisitStatus(pDataSource, bstrPatientID, bstrEventNo);
  if (status != u"1" && status != u"2" && status != u"3") {
    if (status == u"0") {
      pDataSource->Execute(u"DELETE PEV_DEPT_PATIENT_RECORD" +
                           VisitKey(bstrPatientID, bstrEventNo).Where());
    }
    korvalis::InsertRow(*pDataSource, u"PEV_DEPT_PATIENT_RECORD",
                        u"PATIENT_ID, EVENT_NO, TOTAL_POINT, DEPT_NAME, DEPT_ID, EMR_LEVEL, "
                        u"QC_USER_ID, QC_USER_NAME, NOTES, STATUS, QC_DATE",
                        {bstrPatientID, bstrEventNo, RowValue::Number(100), client.GetDeptName(),
                         client.GetDeptId(), RowValue::Number(1), client.GetUserId(),
                         client.GetUserName(), u"", RowValue::Number(1), RowValue::Now()});
  }
  if (plngStatus != nullptr) *plngStatus = static_cast<LONG>(StringToLong(status));
  return 0;
}

long CBDeptQCPatient::RemoveQCPatient(CEMRDataSource* pDataSource, BSTR bstrPatientID,
                                      BSTR bstrEventNo, BSTR) {
  korvalis::UpdateRow(*pDataSource, u"PEV_DEPT_PATIENT_RECORD", {{u"STATUS", RowValue::Number(0)}},
                      VisitKey(bstrPatientID, bstrEventNo).Sql());
  return 0;
}

long CBDeptQCPatient::ScorePatient(CEMRDataSource* pDataSource, BSTR bstrPatientID,
                                   BSTR bstrEventNo, BSTR bstrScoreInfo, BSTR bstrClientInfo) {
  const CClientInfo client(ArgumentText(bstrClientInfo));
  const korvalis::quality::QcScoreInfo score = korvalis::quality::ReadQcScoreInfo(bstrScoreInfo);
  korvalis::quality::StoreQcScore(
      *pDataSource,
      {u"PEV_DEPT_ITEM_RECORD", u"PEV_DEPT_PATIENT_RECORD", bstrPatientID, bstrEventNo,
       VisitKey(bstrPatientID, bstrEventNo), u""},
      score, client);
  return 0;
}

long CBDeptQCPatient::VerifyPatientScore(CEMRDataSource* pDataSource, BSTR bstrPatientID,
                                         BSTR bstrEventNo, VARIANT_BOOL varCancel) {
  const std::u16string status = VisitStatus(pDataSource, bstrPatientID, bstrEventNo);
  long new_status;
  if (varCancel != 0) {
    if (status != u"3") throw CEMRException(std::u16string(kCancelUnverifiedMessage));
    new_status = 2;
  } else {
    if (status == u"3") return 0;  // verified already
    if (status != u"2") throw CEMRException(std::u16string(kVerifyUnscoredMessage));
    new_status = 3;
  }
  korvalis::UpdateRow(*pDataSource, u"PEV_DEPT_PATIENT_RECORD",
                      {{u"STATUS", RowValue::Number(new_status)}},
                      VisitKey(bstrPatientID, bstrEventNo).Sql());
  return 0;
}

long CBDeptQCPatient::GetPatientScore(CEMRDataSource* pDataSource, BSTR bstrPatientID,
                                      BSTR bstrEventNo, BSTR* pbstrScoreInfo) {
  std::vector<std::u16string> visit;
  pDataSource->Query(u"SELECT A.TOTAL_POINT, A.EMR_LEVEL, A.STATUS, A.QC_USER_NAME, " +
                         pDataSource->GetDBType()->DateToChar(u"A.QC_DATE", true) +
                         u" FROM PEV_DEPT_PATIENT_RECORD A" +
                         VisitKey(bstrPatientID, bstrEventNo, u"A.").Where(),
                     5, visit);
  if (visit.size() != 5) throw CEMRException(std::u16string(kDeptQcVisitMissingMessage));

  korvalis::StoreBstrResult(
      pbstrScoreInfo,
      korvalis::quality::ScoreDocument(
          *pDataSource,
          u"SELECT DECODE(A.TYPE, 4, B.NOTES, A.STANDARD) ITEM, B.POINT_ITEM_ID, "
          u"RTRIM(TO_CHAR(B.SCORE, 'FM990.99'), '.'), B.NOTES, B.SERIAL, B.EMR_ID, B.EMR_TITLE, "
          u"A.POINT_CATALOG_ID, C.NAME, A.TYPE, B.ITEM_COUNT, "
          u"RTRIM(TO_CHAR(A.POINT, 'FM999990.99'), '.') "
          u"FROM PEV_STANDARD_ITEM A, PEV_DEPT_ITEM_RECORD B, PEV_STANDARD_CATALOG C" +
              VisitKey(bstrPatientID, bstrEventNo, u"B.")
                  .And(u"A.ID = B.POINT_ITEM_ID AND A.POINT_CATALOG_ID = C.ID")
                  .Where(),
          {u"item", u"item_id", u"score", u"note", u"serial", u"emr_id", u"emr_title",
           u"item_catalog", u"catalog_name", u"item_type", u"item_count", u"item_point"},
          {{u"score", visit[0]},
           {u"grade", visit[1]},
           {u"status", visit[2]},
           {u"qc_user", visit[3]},
           {u"qc_date", visit[4]}}));
  return 0;
}

long CBDeptQCPatient::GetQCPatient(CEMRDataSource* pDataSource, BSTR bstrDeptID, BSTR* pbstrList) {
  const CXmlProperty condition = PropertyBag(bstrDeptID);
  std::u16string sql =
      u"SELECT B.NAME, A.PATIENT_ID, A.EVENT_NO, A.DEPT_NAME, A.DEPT_ID, A.TOTAL_POINT, "
      u"A.EMR_LEVEL, A.QC_USER_NAME, A.QC_USER_ID, B.DOCTOR_NAME, B.SEX, A.STATUS "
      u"FROM PEV_DEPT_PATIENT_RECORD A, TELV_V_PATIENT_VISIT_RECORD B" +
      SqlKey()
          .And(u"A.PATIENT_ID = B.PATIENT_ID AND A.EVENT_NO = B.EVENT_NO")
          .Equals(u"A.DEPT_ID", condition.GetValue(u"dept"))
          .NumberIn(u"A.STATUS", condition.GetValue(u"status"), u"status")
          .Where();
  sql += korvalis::SqlConditions(condition)
             .DatesBetween(u"qc_date_begin", u"qc_date_end", u"QC_DATE", *pDataSource->GetDBType())
             .Sql() +
         u" ORDER BY A.DEPT_ID, A.STATUS, A.PATIENT_ID, A.EVENT_NO";
  pDataSource->QueryElements(
      sql,
      {u"patient", u"id", u"event", u"dept_name", u"dept_id", u"score", u"grade", u"qc_user_name",
       u"qc_user_id", u"doctor_name", u"sex", u"status"},
      pbstrList, {u"id", u"event"});
  return 0;
}
