#include "classes/monitor_service_class.h"

template class CMonitorServiceT<CBMonitorService>;

HRESULT CreateMonitorService(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CMonitorService, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
