// What the record store tells the quality subsystems about a written record: the saved-record
// notification of a full save, and the content-QC marks of a record of EMR type 1, which the
// notification and a content update both store.
//
// The notification's system event, built with the XML document wrapper (every value escaped):
//
//   root/patient_id, root/event_no    the record's visit
//   root/time, root/register_time     now (one reading of GetSystemDateTimeString)
//   root/type "1", root/code "E03", root/src_sys "0"
//   root/extend/emr_type              EMR_TYPE of the record, as stored
//   root/extend/emr_id, user_id, user_name
//
// The identification document of the QC marks: root/emr_id, root/patient_id, root/event_no.
//
// Thread-safety: stateless; concurrent calls work on their own data sources.
#pragma once

#include <optional>
#include <string>

#include "platform/com/bstr.h"

class CSingleDataSource;

// Tells the quality subsystems that record `strEmrID` was saved by the user: stores its QC marks
// from `bstrContent` (hand-over form) when its EMR type is "1", then sends the system event
// "E03" to the quality trigger (CBQualityTrigger::FireClose). Returns 0, or 1 without doing
// anything when the record has no row. A negative answer of the trigger fails with the thread's
// error description ("系统未知错误." when there is none); the QC marks stored stay in the call.
int NotifyEmrSaved(CSingleDataSource* pDataSource, const std::u16string& strEmrID, BSTR bstrContent,
                   const std::u16string& strUserID, const std::u16string& strUserName);

namespace korvalis::emrdoc {

// The columns of a record that say whom it belongs to and what it is.
struct RecordOwner {
  std::u16string patient_id;
  std::u16string event_no;
  std::u16string emr_type;
};

// The record's PATIENT_ID, EVENT_NO and EMR_TYPE; nullopt when it has no row.
std::optional<RecordOwner> ReadRecordOwner(CSingleDataSource& data_source,
                                           const std::u16string& emr_id);

// Stores the QC marks of `content` (hand-over form) for the record when its EMR type is "1"
// (CBQCPatient::SaveContentQCInfo); does nothing for any other type.
void StoreContentQcMarks(CSingleDataSource& data_source, const std::u16string& emr_id,
                         const RecordOwner& owner, BSTR content);

}  // namespace korvalis::emrdoc
