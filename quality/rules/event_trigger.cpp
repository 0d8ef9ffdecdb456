#include "quality/rules/event_trigger.h"

#include <string>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/sql_key.h"
#include "foundation/xml/xml_property.h"
#include "platform/com/scoped_bstr.h"
#include "quality/rules/event_register.h"
#include "quality/rules/quality_trigger.h"
#include "quality/rules/rule_documents.h"

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::com::ScopedBstr;

namespace {

// The visit and code of an event, as the failure texts name them.
struct EventVisit {
  explicit EventVisit(BSTR document) {
    const CXmlProperty event = PropertyBag(document);
    patient_id = event.GetValue(u"patient_id");
    event_no = event.GetValue(u"event_no");
    code = event.GetValue(u"code");
    id = event.GetValue(u"id");
    type = event.GetValue(u"type");
  }

  std::u16string patient_id, event_no, code, id, type;
};

}  // namespace

void CBEventTrigger::DispatchEvent(CEMRDataSource* pDataSource, BSTR bstrEventInfo) {
  const EventVisit event(bstrEventInfo);
  std::u16string missing;
  if (event.patient_id.empty()) missing += u"病人ID为空";
  if (event.event_no.empty()) missing += u"住院号为空";
  if (event.code.empty()) missing += u"事件代码为空";
  if (event.id.empty()) missing += u"事件ID为空";
  if (!missing.empty()) throw CEMRException(missing);

  std::u16string registered;
  pDataSource->QueryScalar(
      u"SELECT 1 FROM TELV_REGISTER_EVENT" + korvalis::SqlKey().Equals(u"ID", event.id).Where(),
      registered);

  if (registered.empty()) return;

  ScopedBstr patient_id(event.patient_id), event_no(event.event_no);
  if (event.type == u"1" || event.type == u"4") {
    CBQualityTrigger::FireClose(pDataSource, patient_id.get(), event_no.get(), bstrEventInfo);
  } else if (event.type == u"2") {
    if (korvalis::rules::RuleEvent(BstrView(bstrEventInfo)).Extend(u"emr_id").empty()) {
      throw CEMRException(u"删除病历触发事件缺少病历ID:病人ID:" + event.patient_id +
                          u", 住院事件号:" + event.event_no + u", 事件代码:" + event.code);
    }
    CBQualityTrigger::ReFireOpen(pDataSource, patient_id.get(), event_no.get(), bstrEventInfo);
  } else {
    CBQualityTrigger::FireOpen(pDataSource, patient_id.get(), event_no.get(), bstrEventInfo);
    CancelRulesOfEvent(pDataSource, patient_id.get(), event_no.get(), bstrEventInfo);
  }
}

long CBEventTrigger::OnSysEvent(CEMRDataSource* pDataSource, BSTR bstrEventInfo) {
  try {
    DispatchEvent(pDataSource, bstrEventInfo);
    CBEventRegister::UnRegisterEvent(pDataSource, bstrEventInfo, nullptr);
  } catch (const CEMRException&) {
    throw;
  } catch (...) {
    // The document was read before anything else could fail.
    const EventVisit event(bstrEventInfo);
    throw CEMRException(u"执行时限质控出错:病人ID:" + event.patient_id + u", 住院事件号:" +
                        event.event_no + u", 事件代码:" + event.code);
  }
  return 0;
}
