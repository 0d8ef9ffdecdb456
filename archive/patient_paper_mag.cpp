#include "archive/patient_paper_mag.h"

#include "foundation/not_available.h"

long CBPatientPaperMag::SearchPatientPMRList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBPatientPaperMag::SearchPatientPMRList");
}

long CBPatientPaperMag::CommitPaperCase(CEMRDataSource*, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBPatientPaperMag::CommitPaperCase");
}

long CBPatientPaperMag::CancelCommitPaper(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBPatientPaperMag::CancelCommitPaper");
}

long CBPatientPaperMag::RollbackPaperCase(CEMRDataSource*, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBPatientPaperMag::RollbackPaperCase");
}

long CBPatientPaperMag::CheckinPaperCase(CEMRDataSource*, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBPatientPaperMag::CheckinPaperCase");
}
