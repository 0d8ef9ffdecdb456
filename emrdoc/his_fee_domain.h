// CBHISFeeDomain: the domain of code 4, "his.fee.*": the fees of the visit as the HIS
// patient-information component keeps them, read once from two answers:
//
//   1. the fee summary (IHISPatientInfo::GetFeeInfo): "his.fee." + the name of each element
//      child of the document element, with its text;
//   2. the fee items (IHISPatientInfo::GetFeeList), asked only after the summary succeeded:
//      "his.fee." + the `code` of each `fee` element at any depth, with its text, in document
//      order.
//
// Later entries replace earlier ones: an item whose code is the name of a summary figure wins,
// and of two items of one code the later one. Names and codes are taken as they stand, case
// included. A failed summary stores nothing; failed items keep the summary's keys. An answer
// that does not parse gives no keys of its own (the items are still asked after a summary that
// does not parse). Neither failure is reported. A component that cannot be created raises the
// factory's CEMRException, and the next lookup tries again.
//
// Thread-safety: as every domain, it belongs to the thread of its registry.
#pragma once

#include "emrdoc/emr_domain.h"

class CBHISFeeDomain : public CBCachedDomain {
 public:
  using CBCachedDomain::CBCachedDomain;

 protected:
  // The data source is not used.
  void Load(CSingleDataSource* pDataSource) override;
};
