#include "com/event_register.h"

#include "interface/type_library.h"

template class CEventRegisterT<CBEventRegister>;

constexpr korvalis::com::ClassRegistration kEventRegisterRegistration{
    u"EventRegister", CLSID_EventRegister, 108, korvalis::com::ThreadingModel::kApartment,
    LIBID_korvalisLib};

HRESULT CreateEventRegister(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CEventRegister, korvalis::com::Aggregation::kSupported>(
      outer, riid, ppv);
}
