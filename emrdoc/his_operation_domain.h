// CBHISOperationDomain: the domain of code 3, "his.operation.*": the operations of the visit
// with their staff and times, as the HIS patient-information component answers them
// (IHISPatientInfo::GetOperationInfo), asked once. Every element child of the answer's
// document element is one operation, whatever its name:
//
//   his.operation.<n>.name                 the n-th operation's text
//   his.operation.<n>.<a>                  its attribute <a>, for each of icd, date, operator,
//                                          assistant1, assistant2, anaes, open, close and
//                                          anaesdoctor
//   his.operation.name, his.operation.<a>  the same ten values of the last operation
//   his.operation.open_close               the last operation's `open`, "/", its `close`
//
// n counts element children from 1; a missing attribute reads as empty. An answer without
// operations, or one that does not parse, gives no keys (his.operation.open_close included).
// Failures as the diagnosis domain (his_diagnosis_domain.h): a failed call gives no keys and
// no error; a component that cannot be created raises, and the next lookup tries again.
//
// Thread-safety: as every domain, it belongs to the thread of its registry.
#pragma once

#include "emrdoc/emr_domain.h"

class CBHISOperationDomain : public CBCachedDomain {
 public:
  using CBCachedDomain::CBCachedDomain;

 protected:
  // The data source is not used.
  void Load(CSingleDataSource* pDataSource) override;
};
