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
#include "foundation/calls/emr_exception.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/suite/factory.h"
#include "foundation/xml/xml_property.h"
#include "platform/sys/local_clock.h"
#include "platform/text/unicode.h"
#include "quality/rules/rule_documents.h"

using korvalis::PropertyBag;
using korvalis::RowValue;
using korvalis::SqlBareNumber;
using korvalis::SqlKey;
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

// The process's local time as a date.
RowValue LocalTimeValue(CEMRDataSource* pDataSource) {
  const korvalis::sys::LocalTime now = korvalis::sys::CurrentLocalTime();
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day,
                now.hour, now.minute, now.second);
  return RowValue::Date(*pDataSource->GetDBType(), korvalis::FromUtf8(text));
}

// The five keys that identify an event: its visit, code, source system and time.
// Precondition: `src_sys` is a number (SqlBareNumber).
SqlKey NaturalKeys(CEMRDataSource* pDataSource, const RegisteredEvent& event,
                   const std::u16string& src_sys) {
  SqlKey key;
  key.Equals(u"PATIENT_ID", event.patient_id)
      .Equals(u"EVENT_NO", event.event_no)
      .Equals(u"EVENT_CODE", event.code)
      .Number(u"SRC_SYS", src_sys)
      .Is(u"CREATE_TIME", RowValue::Date(*pDataSource->GetDBType(), event.time));
  return key;
}

// Moves the rows that `key` selects from the queue into the archive.
void ArchiveEvents(CEMRDataSource* pDataSource, const SqlKey& key) {
  pDataSource->Execute(u"insert into telv_register_event_record select * from telv_register_event" +
                       key.Where());
  pDataSource->Execute(u"DELETE FROM TELV_REGISTER_EVENT" + key.Where());
}

long Register(CEMRDataSource* pDataSource, BSTR bstrEventInfo, BSTR* pbstrReturnInfo) {
  const RegisteredEvent event(bstrEventInfo);
  if (event.patient_id.empty() || event.event_no.empty() || event.time.empty()) {
    StoreBstrResult(pbstrReturnInfo, kMissingVisitOrTime);
    return 1;
  }
  const RowValue type = RowValue::Number(event.type, u"type");
  const std::u16string src_sys = SqlBareNumber(event.src_sys, u"src_sys");
  const RowValue time = RowValue::Date(*pDataSource->GetDBType(), event.time);
  const std::u16string id = CEMRFactory::Instance()->NewGuid();
  pDataSource->Execute(u"DELETE FROM TELV_REGISTER_EVENT" +
                       NaturalKeys(pDataSource, event, src_sys).Where());
  korvalis::InsertRow(*pDataSource, u"TELV_REGISTER_EVENT",
                      u"ID, EVENT_CODE, CREATE_TIME, PATIENT_ID, EVENT_NO, REGIST_TIME, TYPE, "
                      u"EXTEND_INFO, SRC_SYS",
                      {id, event.code, time, event.patient_id, event.event_no,
                       LocalTimeValue(pDataSource), type, event.extend, RowValue::Number(src_sys)});
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
    ArchiveEvents(pDataSource, SqlKey().Equals(u"ID", event.id));

    return 0;
  }
  ArchiveEvents(pDataSource,
                NaturalKeys(pDataSource, event, SqlBareNumber(event.src_sys, u"src_sys")));
  return 0;
}
