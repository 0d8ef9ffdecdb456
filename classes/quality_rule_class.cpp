#include "classes/quality_rule_class.h"

template class CQualityRuleT<CBQualityRule>;

HRESULT CreateQualityRule(IUnknown* outer, REFIID riid, void** ppv) {
  return korvalis::com::CreateComInstance<CQualityRule, korvalis::com::Aggregation::kRefused>(
      outer, riid, ppv);
}
