#include "com/monitor_service.h"

#include "interface/type_library.h"

template class CMonitorServiceT<CBMonitorService>;

constexpr korvalis::com::ClassRegistration kMonitorServiceRegistration{
    u"MonitorService", CLSID_MonitorService, 123, korvalis::com::ThreadingModel::kBoth,
    LIBID_korvalisLib};

HRESULT CreateMonitorService(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CMonitorService, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
