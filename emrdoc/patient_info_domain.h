// CBPatientInfoDomain: the domain of code 0, "patient.*": the patient of the visit, read once
// from the patient base-information document (emrdoc/patient_base_info.h). Every element of
// the document gives "patient." + its name with its text; sex and marriage are shown as texts
// with their header codes:
//
//   stored SEX   patient.sex  patient.sex.header    stored MARRIAGE  patient.marriage  .header
//   "1"          男           1                     "0"              未婚              1
//   any other,   女           2                     "1"              已婚              2
//   empty too                                       "2"              离婚              3
//                                                   "3"              丧偶              4
//                                                   "9"              其他              9
//                                                   any other        (empty)           (empty)
//
// A patient without a TELV_PATIENT row gives no keys: every key answers empty.
//
// Thread-safety: as every domain, it belongs to the thread of its registry.
#pragma once

#include "emrdoc/emr_domain.h"

class CBPatientInfoDomain : public CBCachedDomain {
 public:
  using CBCachedDomain::CBCachedDomain;

 protected:
  void Load(CSingleDataSource* pDataSource) override;
};
