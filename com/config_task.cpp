#include "com/config_task.h"

#include "interface/type_library.h"

template class CConfigTaskT<CBConfigTask>;

constexpr korvalis::com::ClassRegistration kConfigTaskRegistration{
    u"ConfigTask", CLSID_ConfigTask, 116, korvalis::com::ThreadingModel::kApartment,
    LIBID_korvalisLib};

HRESULT CreateConfigTask(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CConfigTask, korvalis::com::Aggregation::kSupported>(
      outer, riid, ppv);
}
