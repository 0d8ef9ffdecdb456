#include "com/qc_task.h"

#include "interface/type_library.h"

template class CQCTaskT<CBQCTask>;

constexpr korvalis::com::ClassRegistration kQCTaskRegistration{
    u"QCTask", CLSID_QCTask, 112, korvalis::com::ThreadingModel::kBoth, LIBID_korvalisLib};

HRESULT CreateQCTask(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CQCTask, korvalis::com::Aggregation::kRefused>(outer,
                                                                                         riid, ppv);
}
