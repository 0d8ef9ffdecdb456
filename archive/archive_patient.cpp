#include "archive/archive_patient.h"

#include "foundation/not_available.h"

long CBArchivePatient::GetInPatientList(CEMRDataSource*, BSTR, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::GetInPatientList");
}

long CBArchivePatient::GetAllInPatientList(CEMRDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::GetAllInPatientList");
}

long CBArchivePatient::GetLeavePatientList(CEMRDataSource*, BSTR, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::GetLeavePatientList");
}

long CBArchivePatient::GetAllLeavePatientList(CEMRDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::GetAllLeavePatientList");
}

long CBArchivePatient::GetToCommitPatient(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::GetToCommitPatient");
}

long CBArchivePatient::GetAllToCommitPatient(CEMRDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::GetAllToCommitPatient");
}

long CBArchivePatient::GetCommitedPatient(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::GetCommitedPatient");
}

long CBArchivePatient::GetAllCommitedPatient(CEMRDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::GetAllCommitedPatient");
}

long CBArchivePatient::GetUncodedPatient(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::GetUncodedPatient");
}

long CBArchivePatient::GetAllUncodedPatient(CEMRDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::GetAllUncodedPatient");
}

long CBArchivePatient::SearchPatient(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::SearchPatient");
}

long CBArchivePatient::GetFreezePatient(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::GetFreezePatient");
}

long CBArchivePatient::GetPatientHeaderEmrList(CEMRDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::GetPatientHeaderEmrList");
}

long CBArchivePatient::SavePatientHeaderRecord(CEMRDataSource*, BSTR, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBArchivePatient::SavePatientHeaderRecord");
}

long CBArchivePatient::GetPreCommitPatient(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::GetPreCommitPatient");
}

long CBArchivePatient::GetAllPreCommitPatient(CEMRDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::GetAllPreCommitPatient");
}

long CBArchivePatient::GetEmrBatchPrintCatalogList(CEMRDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::GetEmrBatchPrintCatalogList");
}

long CBArchivePatient::GetEmrBatchPrintList(CEMRDataSource*, BSTR, BSTR, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::GetEmrBatchPrintList");
}

long CBArchivePatient::SaveCopiedPatient(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::SaveCopiedPatient");
}

long CBArchivePatient::GetCopiedPatientList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBArchivePatient::GetCopiedPatientList");
}

long CBArchivePatient::DeleteCopyRecord(CEMRDataSource*, BSTR, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBArchivePatient::DeleteCopyRecord");
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
