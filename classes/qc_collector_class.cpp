#include "classes/qc_collector_class.h"

template class CQCCollectorT<CBQCCollector>;

HRESULT CreateQCCollector(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CQCCollector, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
