#include "com/quality_rule.h"

#include "interface/type_library.h"

template class CQualityRuleT<CBQualityRule>;

constexpr korvalis::com::ClassRegistration kQualityRuleRegistration{
    u"QualityRule", CLSID_QualityRule, 119, korvalis::com::ThreadingModel::kNeutral,
    kUnregisteredTypeLibValue};

HRESULT CreateQualityRule(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CQualityRule, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
