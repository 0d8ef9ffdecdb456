#include "lookups/visit_lookups.h"

#include "foundation/calls/bstr_result.h"
#include "foundation/data/single_data_source.h"

namespace {

// The first column of the visit row's `column`; `fallback` without a row.
std::u16string VisitColumn(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                           std::u16string_view column, std::u16string fallback) {
  pDataSource->QueryScalar(u"SELECT " + std::u16string(column) + u" FROM TELV_VISIT_RECORD" +
                               VisitKey(bstrPatientID, bstrEventNo).Where(),
                           fallback);
  return fallback;
}

}  // namespace

korvalis::SqlKey VisitKey(korvalis::TextRef patient_id, korvalis::TextRef event_no) {
  return korvalis::SqlKey().Equals(u"PATIENT_ID", patient_id).Equals(u"EVENT_NO", event_no);
}

long GetNowDeptId(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                  BSTR* pbstrDeptID) {
  korvalis::StoreBstrResult(
      pbstrDeptID, VisitColumn(pDataSource, bstrPatientID, bstrEventNo, u"NOW_DEPT_ID", u""));
  return 0;
}

long GetResidenceState(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                       int* pnState) {
  const std::u16string flag =
      VisitColumn(pDataSource, bstrPatientID, bstrEventNo, u"RESIDENCE_FLAG", u"NULL");
  ResidenceState state = kResidenceUnknown;
  if (flag == kResidenceFlagInHis) {
    state = kResidenceInHis;
  } else if (flag == u"0") {
    state = kResidenceLocal;
  }
  if (pnState != nullptr) *pnState = state;
  return 0;
}

void GetAdmissionTime(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                      BSTR* pbstrTime) {
  korvalis::StoreBstrResult(pbstrTime,
                            VisitColumn(pDataSource, bstrPatientID, bstrEventNo, u"IN_TIME", u""));
}
