#include "classes/quality_trigger_class.h"

template class CQualityTriggerT<CBQualityTrigger>;

HRESULT CreateQualityTrigger(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CQualityTrigger, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
