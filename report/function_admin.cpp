#include "report/function_admin.h"

#include "foundation/not_available.h"

long CBFunctionAdmin::GetFunctionConfig(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBFunctionAdmin::GetFunctionConfig");
}

long CBFunctionAdmin::SetFunctionConfig(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBFunctionAdmin::SetFunctionConfig");
}

long CBFunctionAdmin::DelFunctionConfig(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBFunctionAdmin::DelFunctionConfig");
}

long CBFunctionAdmin::SetFunctionGroup(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBFunctionAdmin::SetFunctionGroup");
}

long CBFunctionAdmin::DelFunctionGroup(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBFunctionAdmin::DelFunctionGroup");
}

long CBFunctionAdmin::GetGroupMenu(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBFunctionAdmin::GetGroupMenu");
}
