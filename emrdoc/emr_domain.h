// CBEMRDomain: a data domain, which answers dotted keys ("patient.sex", "residence.in.dept.id")
// about one patient visit from a source of its own (the visit tables, the visit's records, the
// HIS components, configured databases). Domains are created and asked by the domain registry
// (emrdoc/domain_manager.h), which gives every call the data source of its request.
//
// CBCachedDomain: the base of the domains that read their source once. Its GetValue runs the
// domain's Load while nothing is stored yet and then answers from the stored keys, entering
// every key it is asked (an unknown key with the empty value), so that:
//   - the source is read at most once in the domain's life, also when it gave no keys;
//   - a Load that throws before storing anything is run again by the next lookup;
//   - a Load that throws after storing some keys keeps them and is not run again.
// Keys are compared exactly, case included.
//
// Thread-safety: a domain belongs to the one thread of the request that owns its registry.
#pragma once

#include <map>
#include <string>

#include "platform/com/bstr.h"
#include "platform/com/scoped_bstr.h"

class CSingleDataSource;

class CBEMRDomain {
 public:
  virtual ~CBEMRDomain() = default;
  CBEMRDomain(const CBEMRDomain&) = delete;
  CBEMRDomain& operator=(const CBEMRDomain&) = delete;

  // The value of `strKey` for the domain's visit; the empty text for a key it does not hold.
  // Failures of the source are CEMRExceptions.
  virtual std::u16string GetValue(CSingleDataSource* pDataSource, const std::u16string& strKey) = 0;

 protected:
  CBEMRDomain() = default;
};

class CBCachedDomain : public CBEMRDomain {
 public:
  // Copies the visit; reads nothing. A null BSTR is the empty text.
  CBCachedDomain(BSTR bstrPatientID, BSTR bstrEventNo);

  std::u16string GetValue(CSingleDataSource* pDataSource, const std::u16string& strKey) final;

 protected:
  // Reads the domain's source and stores what it finds with Store. Runs only while nothing is
  // stored.
  virtual void Load(CSingleDataSource* pDataSource) = 0;

  // Stores a key, replacing its earlier value.
  void Store(const std::u16string& strKey, std::u16string strValue);

  BSTR patient_id() const { return patient_id_.get(); }
  BSTR event_no() const { return event_no_.get(); }

 private:
  korvalis::com::ScopedBstr patient_id_;
  korvalis::com::ScopedBstr event_no_;
  std::map<std::u16string, std::u16string> cache_;
};
