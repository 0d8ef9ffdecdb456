#include "archive/archive_patient.h"

#include "foundation/not_available.h"

long CBArchivePatient::GetFreezePatient(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::GetFreezePatient");
}

long CBArchivePatient::GetCheckPatientList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::GetCheckPatientList");
}

long CBArchivePatient::SaveCheckEMR(CEMRDataSource*, BSTR, BSTR, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBArchivePatient::SaveCheckEMR");
}

long CBArchivePatient::GetCheckEMR(CEMRDataSource*, BSTR, BSTR*, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::GetCheckEMR");
}

long CBArchivePatient::SearchCheckinPatient(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::SearchCheckinPatient");
}
