#include "com/core_system.h"

#include "interface/type_library.h"

template class CCoreSystemT<CBCoreSystem>;

constexpr korvalis::com::ClassRegistration kCoreSystemRegistration{
    u"CoreSystem", CLSID_CoreSystem, 126, korvalis::com::ThreadingModel::kBoth, LIBID_korvalisLib};

HRESULT CreateCoreSystem(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CCoreSystem, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
