// The consultation requests of the work lists. A consultation sheet is a record of EMR type 4;
// when it is saved, or its content updated with a client identity, the consultation its XML
// (emr_xml.h) describes becomes the record's row of TELV_CONSULTATION_EMR:
//
//   XML element        column                 note
//   request/doctor     REQUEST_DOCTOR         as written; blanks only: refused
//   request/dept       REQUEST_DEPT           as written; blanks only: refused
//   consult/doctor     CONSULT_DOCTOR         leading and trailing blanks trimmed
//   consult/dept       CONSULT_DEPT           leading and trailing blanks trimmed
//   consult/time       CONSULT_DATE, END_DATE both the time plus the timeout hours: the
//                                             work list shows a request until its deadline
//   consult/notes      NOTES
//   (now)              REQUEST_DATE           the suite's date and time
//
// The XML holds exactly one `request` and one `consult`, anywhere in the document; of their
// children of one name the last counts. The time is a date with an optional time of day as
// ParseDateTimeText reads it (foundation/text/date_format.h). The timeout is the system parameter
// `system_consultation_timeout` in whole hours; while it is missing or no whole number, the
// deadline is the consultation time itself, a warning names the parameter, and the parameter is
// read again at the next extraction.
//
// The extraction never fails a save: a sheet that cannot be read leaves its previous row as it
// was and writes a warning to the event log, whose text is the failure's message. The row is
// replaced only when the new one is built.
//
// Thread-safety: the timeout is process-wide, kept from its first usable read and safe for
// concurrent first reads (kept_sys_param.h); everything else works on the caller's data source.
#pragma once

#include "emrdoc/kept_sys_param.h"
#include "platform/com/bstr.h"

class CSingleDataSource;

inline constexpr char16_t kConsultationSheetFailedMessage[] = u"获取会诊单内容错误.";
inline constexpr char16_t kConsultationRequestFailedMessage[] = u"获取会诊单会诊申请信息错误.";
inline constexpr char16_t kConsultationFailedMessage[] = u"获取会诊单会诊信息错误.";
inline constexpr char16_t kConsultationTimeFailedMessage[] = u"获取会诊时间错误.";
// The warning of a timeout that is not set as a whole number of hours.
inline constexpr char16_t kConsultationTimeoutMissingMessage[] =
    u"系统参数 system_consultation_timeout 未设置或不是整数小时数, 会诊时限按0小时计算.";

// Replaces the consultation row of record `bstrEmrID` when the record is a consultation sheet
// (see above); a record of any other type is left alone. Lets no exception escape.
void ExtractConsultation(CSingleDataSource* pDataSource, BSTR bstrEmrID);

namespace korvalis::emrdoc {

// The process's consultation timeout in hours, for tests that change the parameter.
KeptSysParam<long>& ConsultationTimeout();

}  // namespace korvalis::emrdoc
