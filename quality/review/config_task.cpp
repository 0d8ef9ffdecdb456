#include "quality/review/config_task.h"

#include "foundation/not_available.h"

long CBConfigTask::GetQcTaskCountList(CEMRDataSource*, BSTR, BSTR, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBConfigTask::GetQcTaskCountList");
}

long CBConfigTask::GetTaskPatientList(CEMRDataSource*, BSTR, BSTR, LONG, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBConfigTask::GetTaskPatientList");
}

long CBConfigTask::NewTendTask(CEMRDataSource*, BSTR, LONG*) {
  korvalis::ThrowNotAvailable("CBConfigTask::NewTendTask");
}

long CBConfigTask::GetTendTaskList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBConfigTask::GetTendTaskList");
}

long CBConfigTask::UpdateTendTask(CEMRDataSource*, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBConfigTask::UpdateTendTask");
}
