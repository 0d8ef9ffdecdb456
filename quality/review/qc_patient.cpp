#include "quality/review/qc_patient.h"

#include "foundation/not_available.h"

// Does nothing by design: the method is kept for its callers and changes nothing.
long CBQCPatient::FeedBackRectifyInfo(CEMRDataSource*, BSTR, BSTR) { return 0; }

long CBQCPatient::GetEmrGradeInfo(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCPatient::GetEmrGradeInfo");
}

long CBQCPatient::SaveEmrGrade(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCPatient::SaveEmrGrade");
}

long CBQCPatient::GetQCPatientGradeList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCPatient::GetQCPatientGradeList");
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
