#include "quality/review/core_system.h"

#include "foundation/not_available.h"

long CBCoreSystem::GetDeptActivity(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBCoreSystem::GetDeptActivity");
}

long CBCoreSystem::SetDeptActivity(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBCoreSystem::SetDeptActivity");
}

long CBCoreSystem::DelDeptActivity(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBCoreSystem::DelDeptActivity");
}

long CBCoreSystem::GetCoreReport(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBCoreSystem::GetCoreReport");
}

long CBCoreSystem::SetCoreReport(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBCoreSystem::SetCoreReport");
}

long CBCoreSystem::DelCoreReport(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBCoreSystem::DelCoreReport");
}

long CBCoreSystem::GetDoctorShiftRecord(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBCoreSystem::GetDoctorShiftRecord");
}

long CBCoreSystem::DeleteDoctorShiftRecord(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBCoreSystem::DeleteDoctorShiftRecord");
}

long CBCoreSystem::DoctorShiftRecordNext(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBCoreSystem::DoctorShiftRecordNext");
}

long CBCoreSystem::DoctorShiftRecordPrevious(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBCoreSystem::DoctorShiftRecordPrevious");
}

long CBCoreSystem::GetRescueRecord(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBCoreSystem::GetRescueRecord");
}

long CBCoreSystem::SetRescueRecord(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBCoreSystem::SetRescueRecord");
}

long CBCoreSystem::DelRescueRecord(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBCoreSystem::DelRescueRecord");
}

long CBCoreSystem::RefreshRecord(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBCoreSystem::RefreshRecord");
}
