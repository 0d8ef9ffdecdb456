// The visit's live operation records as a document, and CBOperationDomain: the domain of code
// 11, "emr.operation.*", over that document (one `ops` per record, newest first), read once.
//
//   emr.operation.<n>.<field>   the record numbered n, 1 the oldest to N the newest by
//                               CREATE_DATE
//   emr.operation.<field>       the newest record again
//
// The fields are `name` (the text of `ops`) and the attributes code, pre_diagnosis,
// post_diagnosis, doctor, assistant, assistant2, process, date, begin, end, anesthetist,
// anesthesia, anesthesia_begin, anesthesia_end, anesthesia_issue, instrument_nurse,
// roving_nurse, drainage_tampon, sample_sight, complication, registrar and record_time; a
// missing one reads as empty. A record whose XML is empty still takes its number.
//
// A CEMRException while loading is not passed on: its text becomes the description of the
// thread's error information and the keys stored before it are kept (and, once any key is
// stored, not read again).
//
// Thread-safety: as every domain, it belongs to the thread of its registry.
#pragma once

#include <string>
#include <xercesc/util/XercesDefs.hpp>

#include "emrdoc/emr_domain.h"
#include "platform/com/bstr.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMElement;
XERCES_CPP_NAMESPACE_END

// The visit's live operation records (EMR type 5), newest first, as a `root` document of `ops`
// elements: each record's EMR XML field `name` as the element's text and every other field as an
// attribute. A record whose XML is empty or does not parse gives an empty `ops`. Returns 0; fails
// by throwing CEMRException as the data source reports it.
long GetOperationRecordsXml(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                            BSTR* pbstrXml);

class CBOperationDomain : public CBCachedDomain {
 public:
  using CBCachedDomain::CBCachedDomain;

 protected:
  void Load(CSingleDataSource* pDataSource) override;

 private:
  // Stores the 23 fields of one `ops` element under `prefix`.
  void StoreOperation(const std::u16string& prefix, const xercesc::DOMElement* ops);
};
