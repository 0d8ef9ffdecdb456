#include "quality/rules/qc_task.h"

#include "foundation/not_available.h"

long CBQCTask::GetProperty(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCTask::GetProperty");
}

long CBQCTask::GetPatientList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCTask::GetPatientList");
}

long CBQCTask::GetTaskId(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCTask::GetTaskId");
}

long CBQCTask::GetDeptQCPatientList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCTask::GetDeptQCPatientList");
}

long CBQCTask::GetQCRectifyList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCTask::GetQCRectifyList");
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
