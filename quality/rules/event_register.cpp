// The register of clinical events: the queue TELV_REGISTER_EVENT, one row per event not yet
// handled, and its archive TELV_REGISTER_EVENT_RECORD, into which a handled row is copied whole.
//
//   RegisterEvent ──▶ queued (ID a new GUID, REGIST_TIME the process's local clock)
//                       │  registering the same visit, code, source system and time again
//                       │  replaces the row (new ID, new REGIST_TIME)
//                       ▼
//   UnRegisterEvent (by id, or by those five keys; OnSysEvent once the event is handled)
//                       │
//                       ▼
//                     archived in TELV_REGISTER_EVENT_RECORD, gone from the queue
#include "quality/rules/event_register.h"

#include <cstdio>
#include <string>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/suite/factory.h"
#include "foundation/data/sql_date.h"
#include "foundation/data/sql_text.h"
#include "foundation/xml/xml_property.h"
#include "platform/sys/local_clock.h"
#include "platform/text/unicode.h"
#include "quality/rules/rule_documents.h"

using korvalis::PropertyBag;
using korvalis::SqlBareNumber;
using korvalis::SqlQuoted;
using korvalis::StoreBstrResult;

namespace {

constexpr char16_t kMissingVisitOrTime[] = u"'病人ID'、'住院事件号'、'事件时间'，不能为空";
constexpr char16_t kRegistered[] = u"OK";
constexpr char16_t kFailedReply[] = u"ERROR:";
constexpr char16_t kUnknownFailure[] = u"未知的异常";

// The fields of an event document that the register reads.
struct RegisteredEvent {
  explicit RegisteredEvent(BSTR document) {
    CXmlProperty::Map fields = PropertyBag(document).GetMap();
    code = fields[u"code"];
    src_sys = fields[u"src_sys"];
    patient_id = fields[u"patient_id"];
    event_no = fields[u"event_no"];
    time = fields[u"time"];
    type = fields[u"type"];
    id = fields[u"id"];
    extend = fields[u"extend"];
  }

  std::u16string code, src_sys, patient_id, event_no, time, type, id;
  std::u16string extend;  // the inner XML of `extend`
};

// The process's local time as the dialect's date literal.
std::u16string LocalTimeLiteral(CEMRDataSource* pDataSource) {
  const korvalis::sys::LocalTime now = korvalis::sys::CurrentLocalTime();
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day,
                now.hour, now.minute, now.second);
  return korvalis::SqlDateValue(*pDataSource->GetDBType(), korvalis::FromUtf8(text));
}

// The condition on the five keys that identify an event: its visit, code, source system and
// time. Precondition: `src_sys` is a number (SqlBareNumber).
std::u16string NaturalKeys(CEMRDataSource* pDataSource, const RegisteredEvent& event,
                           const std::u16string& src_sys) {
  return u"PATIENT_ID = " + SqlQuoted(event.patient_id) + u" AND EVENT_NO = " +
         SqlQuoted(event.event_no) + u" AND EVENT_CODE = " + SqlQuoted(event.code) +
         u" AND SRC_SYS = " + src_sys + u" AND CREATE_TIME = " +
         korvalis::SqlDateValue(*pDataSource->GetDBType(), event.time);
}

// Moves the rows that `condition` selects from the queue into the archive.
void ArchiveEvents(CEMRDataSource* pDataSource, const std::u16string& condition) {
  pDataSource->Execute(
      u"insert into telv_register_event_record select * from telv_register_event where " +
      condition);
  pDataSource->Execute(u"DELETE FROM TELV_REGISTER_EVENT WHERE " + condition);
}

long Register(CEMRDataSource* pDataSource, BSTR bstrEventInfo, BSTR* pbstrReturnInfo) {
  const RegisteredEvent event(bstrEventInfo);
  if (event.patient_id.empty() || event.event_no.empty() || event.time.empty()) {
    StoreBstrResult(pbstrReturnInfo, kMissingVisitOrTime);
    return 1;
  }
  const std::u16string type = SqlBareNumber(event.type, u"type");
  const std::u16string src_sys = SqlBareNumber(event.src_sys, u"src_sys");
  const std::u16string time = korvalis::SqlDateValue(*pDataSource->GetDBType(), event.time);
  const std::u16string insert =
      u"INSERT INTO TELV_REGISTER_EVENT (ID, EVENT_CODE, CREATE_TIME, PATIENT_ID,EVENT_NO, "
      u"REGIST_TIME, TYPE, EXTEND_INFO, SRC_SYS) VALUES(" +
      SqlQuoted(CEMRFactory::Instance()->NewGuid()) + u", " + SqlQuoted(event.code) + u", " + time +
      u", " + SqlQuoted(event.patient_id) + u", " + SqlQuoted(event.event_no) + u", " +
      LocalTimeLiteral(pDataSource) + u", " + type + u", " + SqlQuoted(event.extend) + u", " +
      src_sys + u")";
  pDataSource->Execute(u"DELETE FROM TELV_REGISTER_EVENT WHERE " +
                       NaturalKeys(pDataSource, event, src_sys));
  pDataSource->Execute(insert);
  StoreBstrResult(pbstrReturnInfo, kRegistered);
  return 0;
}

}  // namespace

long CBEventRegister::RegisterEvent(CEMRDataSource* pDataSource, BSTR bstrEventInfo,
                                    BSTR* pbstrReturnInfo) {
  try {
    return Register(pDataSource, bstrEventInfo, pbstrReturnInfo);
  } catch (const CEMRException& e) {
    StoreBstrResult(pbstrReturnInfo, kFailedReply + e.GetText());
    throw;
  } catch (...) {
    StoreBstrResult(pbstrReturnInfo, std::u16string(kFailedReply) + kUnknownFailure);
    throw CEMRException(u"注册事件错误：" + std::u16string(kUnknownFailure));
  }
}

long CBEventRegister::GetRegisterEventList(CEMRDataSource* pDataSource, BSTR,
                                           BSTR* pbstrEventList) {
  pDataSource->QueryElements(
      u"SELECT ID, EVENT_CODE, CREATE_TIME, PATIENT_ID, EVENT_NO, REGIST_TIME, EXTEND_INFO, "
      u"SRC_SYS, TYPE FROM TELV_REGISTER_EVENT ORDER BY REGIST_TIME ASC",
      {u"event", u"code", u"create_time", u"patient_id", u"event_no", u"register_time",
       u"extend_info", u"src_sys", u"type"},
      pbstrEventList);
  return 0;
}

long CBEventRegister::UnRegisterEvent(CEMRDataSource* pDataSource, BSTR bstrEventInfo, BSTR*) {
  const RegisteredEvent event(bstrEventInfo);
  if (!event.id.empty()) {
    ArchiveEvents(pDataSource, u"ID = " + SqlQuoted(event.id));
    return 0;
  }
  ArchiveEvents(pDataSource,
                NaturalKeys(pDataSource, event, SqlBareNumber(event.src_sys, u"src_sys")));
  return 0;
}
