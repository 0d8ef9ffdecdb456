#include "quality/rules/terminal_qc_patient.h"

#include "foundation/not_available.h"

long CBTerminalQCPatient::GetDeptList(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBTerminalQCPatient::GetDeptList");
}

long CBTerminalQCPatient::GetDeptPatientList(CEMRDataSource*, LONG, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBTerminalQCPatient::GetDeptPatientList");
}

long CBTerminalQCPatient::GetPatientList(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBTerminalQCPatient::GetPatientList");
}

long CBTerminalQCPatient::ManagePatient(CEMRDataSource*, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBTerminalQCPatient::ManagePatient");
}

long CBTerminalQCPatient::SearchPatient(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBTerminalQCPatient::SearchPatient");
}

long CBTerminalQCPatient::ScorePatient(CEMRDataSource*, BSTR, BSTR, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBTerminalQCPatient::ScorePatient");
}

long CBTerminalQCPatient::GetPatientScore(CEMRDataSource*, LONG, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBTerminalQCPatient::GetPatientScore");
}

// Does nothing by design: the method is kept for its callers and changes nothing.
long CBTerminalQCPatient::RemoveAllPatient(CEMRDataSource*, LONG) { return 0; }
