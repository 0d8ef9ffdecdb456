#include "classes/event_trigger_class.h"

template class CEventTriggerT<CBEventTrigger>;

HRESULT CreateEventTrigger(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CEventTrigger, korvalis::com::Aggregation::kSupported>(
      outer, riid, ppv);
}
