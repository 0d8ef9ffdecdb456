#include "emrdoc/domain_manager.h"

#include <new>

#include "emrdoc/emr_domain.h"

CBDomainManager::CBDomainManager(CSingleDataSource* pDataSource)
    : CBDomainManager(pDataSource, SystemDomainTable()) {}

CBDomainManager::CBDomainManager(CSingleDataSource* pDataSource, const DomainTable& table)
    : data_source_(pDataSource), table_(table) {}

CBDomainManager::~CBDomainManager() {
  emr_type_domains_.clear();
  for (auto domain = fixed_domains_.rbegin(); domain != fixed_domains_.rend(); ++domain) {
    domain->reset();
  }
}

long CBDomainManager::GetValue(BSTR bstrPatientID, BSTR bstrEventNo, int nCode, BSTR bstrKey,
                               BSTR* pbstrValue) {
  CBEMRDomain* domain = FindDomain(bstrPatientID, bstrEventNo, nCode);
  std::u16string value;
  if (domain != nullptr) {
    value = domain->GetValue(data_source_, std::u16string(korvalis::BstrView(bstrKey)));
  }
  if (pbstrValue != nullptr) {
    *pbstrValue = korvalis::AllocBstr(value);
    if (*pbstrValue == nullptr) throw std::bad_alloc();
  }
  return 0;
}

long CBDomainManager::GetValueForEmr(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrEmrID,
                                     int nCode, BSTR bstrKey, BSTR* pbstrValue) {
  for (std::size_t i = 0; i < kFixedDomainCount; ++i) {
    const FixedDomainSlot& slot = table_.fixed[i];
    if (slot.code != kExtendDomainCode || slot.create == nullptr || fixed_domains_[i]) continue;
    fixed_domains_[i] =
        slot.create(bstrPatientID, bstrEventNo, std::u16string(korvalis::BstrView(bstrEmrID)));
  }
  return GetValue(bstrPatientID, bstrEventNo, nCode, bstrKey, pbstrValue);
}

void CBDomainManager::CreateFixedDomains(BSTR bstrPatientID, BSTR bstrEventNo) {
  for (std::size_t i = 0; i < kFixedDomainCount; ++i) {
    const FixedDomainSlot& slot = table_.fixed[i];
    if (!fixed_domains_[i] && slot.create != nullptr) {
      fixed_domains_[i] = slot.create(bstrPatientID, bstrEventNo, std::u16string());
    }
    // A code already indexed keeps its domain.
    if (fixed_domains_[i]) fixed_index_.emplace(slot.code, fixed_domains_[i].get());
  }
}

CBEMRDomain* CBDomainManager::FindDomain(BSTR bstrPatientID, BSTR bstrEventNo, int nCode) {
  CreateFixedDomains(bstrPatientID, bstrEventNo);
  if (nCode < kFirstEmrTypeDomainCode) {
    auto found = fixed_index_.find(nCode);
    return found == fixed_index_.end() ? nullptr : found->second;
  }
  auto found = emr_type_domains_.find(nCode);
  if (found != emr_type_domains_.end()) return found->second.get();
  if (table_.emr_type == nullptr) return nullptr;
  std::unique_ptr<CBEMRDomain> domain = table_.emr_type(bstrPatientID, bstrEventNo, nCode % 100);
  CBEMRDomain* created = domain.get();
  emr_type_domains_.emplace(nCode, std::move(domain));
  return created;
}
