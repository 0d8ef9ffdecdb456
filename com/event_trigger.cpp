#include "com/event_trigger.h"

#include "interface/type_library.h"

template class CEventTriggerT<CBEventTrigger>;

constexpr korvalis::com::ClassRegistration kEventTriggerRegistration{
    u"EventTrigger", CLSID_EventTrigger, 109, korvalis::com::ThreadingModel::kApartment,
    LIBID_korvalisLib};

HRESULT CreateEventTrigger(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CEventTrigger, korvalis::com::Aggregation::kSupported>(
      outer, riid, ppv);
}
