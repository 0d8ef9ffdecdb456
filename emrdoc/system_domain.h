// CBSystemDomain: the domain of code 9, "system.*": values of the hospital and the server that
// are read afresh on every lookup (nothing is kept between calls).
//
//   system.hospital   the `name` of the hospital of the visit's current department: the
//                     department id of the visit, the department's `hospital` from the HIS
//                     department component, that hospital's `name` from the HIS hospital
//                     component. The components' result codes are not examined (an answer
//                     without the element reads as empty). Any failure on the way (a query,
//                     a component that cannot be created, an answer that does not parse)
//                     becomes the description of the thread's error information and the
//                     value is "".
//   system.datetime   the current date and time of the suite; its failure reaches the caller.
//
// Any other key, a key with an upper-case letter included, answers "".
//
// Thread-safety: as every domain, it belongs to the thread of its registry.
#pragma once

#include <string>

#include "emrdoc/emr_domain.h"
#include "platform/com/scoped_bstr.h"

class CBSystemDomain : public CBEMRDomain {
 public:
  // Copies the visit; reads nothing. A null BSTR is the empty text.
  CBSystemDomain(BSTR bstrPatientID, BSTR bstrEventNo);

  std::u16string GetValue(CSingleDataSource* pDataSource, const std::u16string& strKey) override;

 private:
  std::u16string HospitalName(CSingleDataSource* pDataSource);

  korvalis::com::ScopedBstr patient_id_;
  korvalis::com::ScopedBstr event_no_;
};
