#include "com/sys_event.h"

#include "interface/type_library.h"

template class CSysEventT<CBSysEvent>;

constexpr korvalis::com::ClassRegistration kSysEventRegistration{
    u"SysEvent", CLSID_SysEvent, 117, korvalis::com::ThreadingModel::kBoth,
    kUnregisteredTypeLibValue};

HRESULT CreateSysEvent(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CSysEvent, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
