// The code table of the domain registry (emrdoc/domain_manager.h): which domain class answers
// which domain code.
//
//   code            class                    keys
//   0               CBPatientInfoDomain      patient.*
//   1               CBResidenceDomain        residence.*
//   2               CBHISDiagnosisDomain     his.diag.*
//   3               CBHISOperationDomain     his.operation.*
//   4               CBHISFeeDomain           his.fee.*
//   5               CBResidenceEMRDomain     emr.residence.*
//   7               CBHisClinicDomain        his.clinic.*
//   8               CBFirstRecordDomain      emr.fmr.*
//   9               CBSystemDomain           system.*
//   11              CBOperationDomain        emr.operation.*
//   12              CBTemperatureDomain      emr.temperature.*
//   13              CBPatientCrisisDomain    crisis.*
//   50              CBExtendDomain           ex.*
//   101 and above   CBEMRTypeDomain of the EMR type code % 100, emr.<type>.*
//
// Every other code (6, 10, the rest of 0 to 100, negative codes) has no domain.
//
// A domain class derives from CBEMRDomain, or from CBCachedDomain when it reads its source once
// (emrdoc/emr_domain.h), with a constructor taking the patient id and the event number as BSTRs
// (the EMR-type domain also takes its EMR type as int) that reads nothing. SystemDomainTable
// (domain_table.cpp) holds its factory in the slot of its code: CreateFixedDomain<TheClass> for
// a fixed code, for code 50 a factory of its own that also hands the domain the EMR id it
// receives, CreateEmrTypeDomain for the codes above 100. A slot without a factory answers as a
// code without a domain.
//
// Thread-safety: the table is constant; factories create a new domain per call.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>

#include "emrdoc/emr_domain.h"
#include "platform/com/bstr.h"

inline constexpr int kPatientInfoDomainCode = 0;
inline constexpr int kResidenceDomainCode = 1;
inline constexpr int kHISDiagnosisDomainCode = 2;
inline constexpr int kHISOperationDomainCode = 3;
inline constexpr int kHISFeeDomainCode = 4;
inline constexpr int kHisClinicDomainCode = 7;
inline constexpr int kExtendDomainCode = 50;
// Codes from this one up name an EMR-type domain of the type code % 100.
inline constexpr int kFirstEmrTypeDomainCode = 101;

// Creates a fixed domain for the visit of the registry's first lookup. `strEmrID` is the EMR
// id of a GetValueForEmr that creates the domain, empty otherwise; only the extension domain
// keeps it.
using FixedDomainFactory = std::unique_ptr<CBEMRDomain> (*)(BSTR bstrPatientID, BSTR bstrEventNo,
                                                            const std::u16string& strEmrID);
// Creates the EMR-type domain of `nEmrType` for the visit.
using EmrTypeDomainFactory = std::unique_ptr<CBEMRDomain> (*)(BSTR bstrPatientID, BSTR bstrEventNo,
                                                              int nEmrType);

struct FixedDomainSlot {
  int code;
  FixedDomainFactory create;  // null: the code has no domain
};

inline constexpr std::size_t kFixedDomainCount = 13;

struct DomainTable {
  // In the registry's member order: the order of creation and of insertion into its index,
  // and the reverse of the order of destruction.
  std::array<FixedDomainSlot, kFixedDomainCount> fixed;
  EmrTypeDomainFactory emr_type;  // null: the codes above 100 have no domain
};

// The system's table.
const DomainTable& SystemDomainTable();

template <class Domain>
std::unique_ptr<CBEMRDomain> CreateFixedDomain(BSTR bstrPatientID, BSTR bstrEventNo,
                                               const std::u16string&) {
  return std::make_unique<Domain>(bstrPatientID, bstrEventNo);
}

template <class Domain>
std::unique_ptr<CBEMRDomain> CreateEmrTypeDomain(BSTR bstrPatientID, BSTR bstrEventNo,
                                                 int nEmrType) {
  return std::make_unique<Domain>(bstrPatientID, bstrEventNo, nEmrType);
}
