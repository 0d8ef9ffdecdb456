#include "quality/rules/qc_task.h"

#include "foundation/not_available.h"

long CBQCTask::New(CEMRDataSource*, BSTR, BSTR*) { korvalis::ThrowNotAvailable("CBQCTask::New"); }

long CBQCTask::Modify(CEMRDataSource*, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBQCTask::Modify");
}

long CBQCTask::Delete(CEMRDataSource*, BSTR) { korvalis::ThrowNotAvailable("CBQCTask::Delete"); }

long CBQCTask::GetProperty(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCTask::GetProperty");
}

long CBQCTask::GetTaskList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCTask::GetTaskList");
}

long CBQCTask::GetPatientList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCTask::GetPatientList");
}

long CBQCTask::AddPatient(CEMRDataSource*, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBQCTask::AddPatient");
}

long CBQCTask::DispatchPatient(CEMRDataSource*, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBQCTask::DispatchPatient");
}

long CBQCTask::RemovePatient(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCTask::RemovePatient");
}

long CBQCTask::GetTaskId(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCTask::GetTaskId");
}

long CBQCTask::GetDeptQCPatientList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCTask::GetDeptQCPatientList");
}

long CBQCTask::NewDeptQCTask(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCTask::NewDeptQCTask");
}

long CBQCTask::GetQCRectifyList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCTask::GetQCRectifyList");
}

long CBQCTask::SetTaskSummarize(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCTask::SetTaskSummarize");
}

long CBQCTask::GetTaskSummarize(CEMRDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCTask::GetTaskSummarize");
}

long CBQCTask::GetToSummariseTask(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCTask::GetToSummariseTask");
}

long CBQCTask::NewMonthTaskForDept(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCTask::NewMonthTaskForDept");
}
