#include "classes/sys_event_class.h"

template class CSysEventT<CBSysEvent>;

HRESULT CreateSysEvent(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CSysEvent, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
