#include "quality/review/qc_patient.h"

#include "foundation/not_available.h"

// Does nothing by design: the method is kept for its callers and changes nothing.
long CBQCPatient::FeedBackRectifyInfo(CEMRDataSource*, BSTR, BSTR) { return 0; }

long CBQCPatient::GetContentQCInfo(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCPatient::GetContentQCInfo");
}

long CBQCPatient::SaveContentQCInfo(CEMRDataSource*, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBQCPatient::SaveContentQCInfo");
}
