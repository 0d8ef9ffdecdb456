#include "report/monitor_service.h"

#include "foundation/not_available.h"

long CBMonitorService::MonitorService(CEMRDataSource*) {
  korvalis::ThrowNotAvailable("CBMonitorService::MonitorService");
}

long CBMonitorService::AddServiceList(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBMonitorService::AddServiceList");
}

long CBMonitorService::GetServiceList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBMonitorService::GetServiceList");
}

long CBMonitorService::DeleteServiceList(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBMonitorService::DeleteServiceList");
}
