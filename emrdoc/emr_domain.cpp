#include "emrdoc/emr_domain.h"

CBCachedDomain::CBCachedDomain(BSTR bstrPatientID, BSTR bstrEventNo)
    : patient_id_(korvalis::BstrView(bstrPatientID)), event_no_(korvalis::BstrView(bstrEventNo)) {}

std::u16string CBCachedDomain::GetValue(CSingleDataSource* pDataSource,
                                        const std::u16string& strKey) {
  if (cache_.empty()) Load(pDataSource);
  return cache_[strKey];
}

void CBCachedDomain::Store(const std::u16string& strKey, std::u16string strValue) {
  cache_[strKey] = std::move(strValue);
}
