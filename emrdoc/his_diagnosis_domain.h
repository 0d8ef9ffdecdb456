// CBHISDiagnosisDomain: the domain of code 2, "his.diag.*": the clinic (out-patient),
// in-hospital and discharge diagnoses of the visit with their doctors, as the HIS
// patient-information component answers them (IHISPatientInfo::GetDiagnosisInfo), asked once.
//
// The answer is read through three elements, each the first of its name at any depth:
//
//   his.diag.clinic.doctor                      `doctor` of `clinic`
//   his.diag.clinic.<n>.name, .icd              text and `icd` of the n-th child of `clinic`
//   his.diag.residence.doctor, .issue, .confirm those attributes of `residence`
//   his.diag.residence.<n>.name, .icd           text and `icd` of the n-th child of `residence`
//   his.diag.finish.doctor                      `doctor` of `finish`
//   his.diag.finish.<n>.name, .icd, .issue      text, `icd` and `issue` of the n-th child of
//                                               `finish`
//
// n counts element children from 1; a missing attribute reads as empty. An answer without one
// of `clinic`, `residence` and `finish` gives no key at all, nor does one that does not parse.
// A failed call gives no keys and no error, and the component is not asked again by this
// domain; a component that cannot be created raises the factory's CEMRException, and the next
// lookup tries again.
//
// Thread-safety: as every domain, it belongs to the thread of its registry.
#pragma once

#include "emrdoc/emr_domain.h"

class CBHISDiagnosisDomain : public CBCachedDomain {
 public:
  using CBCachedDomain::CBCachedDomain;

 protected:
  // The data source is not used.
  void Load(CSingleDataSource* pDataSource) override;
};
