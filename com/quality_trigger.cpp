#include "com/quality_trigger.h"

#include "interface/type_library.h"

template class CQualityTriggerT<CBQualityTrigger>;

constexpr korvalis::com::ClassRegistration kQualityTriggerRegistration{
    u"QualityTrigger", CLSID_QualityTrigger, 118, korvalis::com::ThreadingModel::kNeutral,
    kUnregisteredTypeLibValue};

HRESULT CreateQualityTrigger(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CQualityTrigger, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
