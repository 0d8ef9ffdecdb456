#include "quality/rules/event_register.h"

#include "foundation/not_available.h"

long CBEventRegister::RegisterEvent(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEventRegister::RegisterEvent");
}

long CBEventRegister::GetRegisterEventList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEventRegister::GetRegisterEventList");
}

long CBEventRegister::UnRegisterEvent(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEventRegister::UnRegisterEvent");
}
