// CBResidenceDomain: the domain of code 1, "residence.*": the hospital stay of the visit, read
// once from the residence document (emrdoc/residence_document.h).
//
//   residence.in.<child>, residence.now.<child>, residence.out.<child>
//                            the text of each element child of the first `in`, `now`, `out`
//   residence.in.dept.id, residence.in.dept.time, residence.dayByDeptIn
//                            `id` and `time` of `in`/`dept`, the first `dayByDeptIn`
//   residence.now.dept.id, residence.now.warddept.id, residence.out.dept.id
//                            the `id` of these elements
//   residence.event, residence.serial, residence.insurance.no, residence.insurance.type,
//   residence.day, residence.archive
//                            the first `event`, `serial`, `insurance` (and its `type`), `day`
//                            and `archive` anywhere in the document
//
// A missing attribute or element reads as empty. The two times are shortened, when not
// empty, by dropping a final ":00", then another, then a final " 00": "2009-03-01 00:00:00"
// shows "2009-03-01", "… 08:00:00" "… 08", "… 08:30:00" "… 08:30", "… 08:30:15" stays.
// A visit without a row, or a document without `in`, `now` or `out`, gives no keys.
//
// Thread-safety: as every domain, it belongs to the thread of its registry.
#pragma once

#include <string>

#include "emrdoc/emr_domain.h"

class CBResidenceDomain : public CBCachedDomain {
 public:
  using CBCachedDomain::CBCachedDomain;

 protected:
  void Load(CSingleDataSource* pDataSource) override;
};

// A date-time text as the residence keys show it (see above).
std::u16string ShortenResidenceTime(std::u16string time);
