#include "classes/core_system_class.h"

template class CCoreSystemT<CBCoreSystem>;

HRESULT CreateCoreSystem(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CCoreSystem, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
