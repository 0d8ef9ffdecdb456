#include "classes/config_task_class.h"

template class CConfigTaskT<CBConfigTask>;

HRESULT CreateConfigTask(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CConfigTask, korvalis::com::Aggregation::kSupported>(
      outer, riid, ppv);
}
