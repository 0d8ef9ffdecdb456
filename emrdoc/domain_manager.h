// CBDomainManager: the domain registry of one request and one patient visit. A data element
// bound to a data domain (a domain code and a dotted key, emrdoc/emr_content_document.h) asks
// the registry, which picks the domain of the code (emrdoc/domain_table.h), creates it on first
// use and asks it for the key with the request's data source.
//
// The registry belongs to one visit: the first lookup creates every fixed domain with its
// patient id and event number (creating reads nothing), and later lookups, whatever visit they
// name, are answered by those domains. Codes above 100 get one EMR-type domain per full code
// (102 and 202 are two domains of EMR type 2, each with its own cache), created by the first
// lookup of that code.
//
// Both lookups return 0 and write a new BSTR (zero-length, never null, for a code without a
// domain or a key that its domain does not hold); a null out-parameter receives nothing, and a
// null key is the empty text. A domain's CEMRException passes through unchanged, and the
// registry and its domains stay usable.
//
// Destruction deletes the EMR-type domains, then the fixed domains in the reverse of the
// table's order. The data source is not the registry's: it is only handed on.
//
// Thread-safety: none; a registry and its domains belong to the thread of their request.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>

#include "emrdoc/domain_table.h"
#include "platform/com/bstr.h"

class CBEMRDomain;
class CSingleDataSource;

class CBDomainManager {
 public:
  // A registry of the system's domains. `pDataSource` may be null; it must outlive the registry.
  explicit CBDomainManager(CSingleDataSource* pDataSource);
  // A registry of the domains of `table`, which must outlive it.
  CBDomainManager(CSingleDataSource* pDataSource, const DomainTable& table);
  ~CBDomainManager();
  CBDomainManager(const CBDomainManager&) = delete;
  CBDomainManager& operator=(const CBDomainManager&) = delete;

  // The value of `bstrKey` in the domain of `nCode` for the visit.
  long GetValue(BSTR bstrPatientID, BSTR bstrEventNo, int nCode, BSTR bstrKey, BSTR* pbstrValue);

  // As GetValue, on behalf of one record: when the extension domain does not exist yet it is
  // created with `bstrEmrID`, which its queries read; an existing one keeps its EMR id.
  long GetValueForEmr(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrEmrID, int nCode, BSTR bstrKey,
                      BSTR* pbstrValue);

 private:
  // Creates the fixed domains that do not exist yet and indexes them by code.
  void CreateFixedDomains(BSTR bstrPatientID, BSTR bstrEventNo);
  // The domain of the code, or null when the code has none.
  CBEMRDomain* FindDomain(BSTR bstrPatientID, BSTR bstrEventNo, int nCode);

  CSingleDataSource* data_source_;
  const DomainTable& table_;
  std::map<int, CBEMRDomain*> fixed_index_;
  std::array<std::unique_ptr<CBEMRDomain>, kFixedDomainCount> fixed_domains_;
  std::map<int, std::unique_ptr<CBEMRDomain>> emr_type_domains_;
};
