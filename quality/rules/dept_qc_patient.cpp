#include "quality/rules/dept_qc_patient.h"

#include "foundation/not_available.h"

long CBDeptQCPatient::AddQCPatient(CEMRDataSource*, BSTR, BSTR, BSTR, LONG*) {
  korvalis::ThrowNotAvailable("CBDeptQCPatient::AddQCPatient");
}

long CBDeptQCPatient::RemoveQCPatient(CEMRDataSource*, BSTR, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBDeptQCPatient::RemoveQCPatient");
}

long CBDeptQCPatient::ScorePatient(CEMRDataSource*, BSTR, BSTR, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBDeptQCPatient::ScorePatient");
}

long CBDeptQCPatient::GetPatientScore(CEMRDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBDeptQCPatient::GetPatientScore");
}

long CBDeptQCPatient::GetQCPatient(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBDeptQCPatient::GetQCPatient");
}

long CBDeptQCPatient::VerifyPatientScore(CEMRDataSource*, BSTR, BSTR, VARIANT_BOOL) {
  korvalis::ThrowNotAvailable("CBDeptQCPatient::VerifyPatientScore");
}

long CBDeptQCPatient::GenerateQCReport(CEMRDataSource*, BSTR, BSTR, BSTR, BSTR*, BSTR*) {
  korvalis::ThrowNotAvailable("CBDeptQCPatient::GenerateQCReport");
}
