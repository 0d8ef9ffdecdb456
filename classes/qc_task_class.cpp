#include "classes/qc_task_class.h"

template class CQCTaskT<CBQCTask>;

HRESULT CreateQCTask(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CQCTask, korvalis::com::Aggregation::kRefused>(outer,
                                                                                         riid, ppv);
}
