#include "classes/event_register_class.h"

template class CEventRegisterT<CBEventRegister>;

HRESULT CreateEventRegister(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CEventRegister, korvalis::com::Aggregation::kSupported>(
      outer, riid, ppv);
}
