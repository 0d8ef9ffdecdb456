// The two quality bodies the record store calls: the quality trigger's close of time-limit rule
// instances when a record is saved, and the content-QC store of a record's QC marks. The quality
// folders use the record store, so the record store does not link them: it calls the bodies
// through this binding, which the product library fills with the real bodies when it loads
// (tests bind recorders). A body that is not bound fails its call as a body not yet available.
//
// Thread-safety: binding and calling may happen on any thread; a call uses the bodies bound
// when it starts.
#pragma once

#include "platform/com/bstr.h"

class CEMRDataSource;
class CSingleDataSource;

namespace korvalis::emrdoc {

struct QualityBodies {
  // CBQualityTrigger::FireClose: closes the visit's open rule instances that the system-event
  // document's record type matches. A negative result is a failure whose description is the
  // thread's error information.
  long (*fire_close)(CEMRDataSource* data_source, BSTR patient_id, BSTR event_no,
                     BSTR event_document) = nullptr;
  // CBQCPatient::SaveContentQCInfo: stores the QC marks of the record named by the
  // identification document from its content (hand-over form). Fails by throwing.
  long (*save_content_qc_info)(CEMRDataSource* data_source, BSTR identification,
                               BSTR content) = nullptr;
};

// Replaces the bound bodies and answers the ones bound before.
QualityBodies BindQualityBodies(const QualityBodies& bodies);

// Calls the bound body on the caller's data source (its transaction, when it is the call's; a
// data source of another kind is replaced by a CEMRDataSource of the call). Throws CEMRException
// "函数:'<body>' 尚不可用." when no body is bound.
long FireClose(CSingleDataSource& data_source, BSTR patient_id, BSTR event_no, BSTR event_document);
long SaveContentQCInfo(CSingleDataSource& data_source, BSTR identification, BSTR content);

}  // namespace korvalis::emrdoc
