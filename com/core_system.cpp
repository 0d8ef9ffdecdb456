#include "com/core_system.h"

template class CCoreSystemT<CBCoreSystem>;

HRESULT CreateCoreSystem(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CCoreSystem, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
