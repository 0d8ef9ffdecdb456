// CBPatientCrisisDomain: the domain of code 13, "crisis.*": the items of the visit's newest
// critical-value report, read once from the pending and the confirmed critical values
// (TELV_CRISIS_T and TELV_CRISIS_RECORD united).
//
//   crisis.<n>.<field>   n = 1, 2, ... in the order the database returns the items; field one
//                        of item_code, item_name, val, ref_low, ref_high, normal_val
//
// The newest report is the one with the latest REPORT_TIME over both tables. A visit without
// critical values, or a list that does not parse, gives no keys (every key answers "").
//
// Thread-safety: as every domain, it belongs to the thread of its registry.
#pragma once

#include "emrdoc/emr_domain.h"

class CBPatientCrisisDomain : public CBCachedDomain {
 public:
  using CBCachedDomain::CBCachedDomain;

 protected:
  void Load(CSingleDataSource* pDataSource) override;
};
