#include "quality/review/qc_patient.h"

#include "foundation/not_available.h"

long CBQCPatient::SendRectifyInfo(CEMRDataSource*, BSTR, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCPatient::SendRectifyInfo");
}

long CBQCPatient::GetEmrRectifyProperty(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCPatient::GetEmrRectifyProperty");
}

long CBQCPatient::GetRectifyInfo(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCPatient::GetRectifyInfo");
}

// Does nothing by design: the method is kept for its callers and changes nothing.
long CBQCPatient::FeedBackRectifyInfo(CEMRDataSource*, BSTR, BSTR) { return 0; }

long CBQCPatient::GetRectificationPatientList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCPatient::GetRectificationPatientList");
}

long CBQCPatient::GetEmrGradeInfo(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCPatient::GetEmrGradeInfo");
}

long CBQCPatient::SaveEmrGrade(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCPatient::SaveEmrGrade");
}

long CBQCPatient::GetQCPatientGradeList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCPatient::GetQCPatientGradeList");
}

long CBQCPatient::UpdateRectifyInfo(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCPatient::UpdateRectifyInfo");
}

long CBQCPatient::GetContentQCInfo(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCPatient::GetContentQCInfo");
}

long CBQCPatient::SaveContentQCInfo(CEMRDataSource*, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBQCPatient::SaveContentQCInfo");
}

long CBQCPatient::GetPatientProperty(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCPatient::GetPatientProperty");
}
