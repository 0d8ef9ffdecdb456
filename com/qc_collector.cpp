#include "com/qc_collector.h"

#include "interface/type_library.h"

template class CQCCollectorT<CBQCCollector>;

constexpr korvalis::com::ClassRegistration kQCCollectorRegistration{
    u"QCCollector", CLSID_QCCollector, 114, korvalis::com::ThreadingModel::kBoth,
    LIBID_korvalisLib};

HRESULT CreateQCCollector(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CQCCollector, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
