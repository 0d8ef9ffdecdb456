// The bindings of event codes to time-limit rules (PEV_EVENT_RULE: relation 1, the event opens
// the rule; 3, the event cancels the rule's instances) and the events that oppose an event
// (TELV_EVENT_OPPOSE, one row for both directions).
#include "quality/rules/sys_event.h"

#include <vector>

#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/sql_text.h"
#include "platform/com/scoped_bstr.h"
#include "quality/rules/rule_documents.h"

using korvalis::SqlBareNumber;
using korvalis::SqlQuoted;
using korvalis::StoreBstrResult;
using korvalis::rules::ListElementTexts;

namespace {

std::u16string InsertBinding(BSTR bstrEventCode, const std::u16string& rule_id, LONG relation) {
  return u"INSERT INTO PEV_EVENT_RULE  (EVENT_CODE, RULE_ID, RELATION_TYPE) VALUES (" +
         SqlQuoted(bstrEventCode) + u", " + rule_id + u", " + LongToString(relation) + u")";
}

}  // namespace

long CBSysEvent::GetEventRuleList(CEMRDataSource* pDataSource, BSTR bstrEventCode,
                                  LONG lngOwnerType, BSTR* pbstrList) {
  pDataSource->QueryElements(
      u"SELECT A.ID, A.NAME FROM PEV_RULE A, PEV_EVENT_RULE B  WHERE  B.EVENT_CODE = " +
          SqlQuoted(bstrEventCode) + u" AND A.ID = B.RULE_ID AND B.RELATION_TYPE = " +
          LongToString(lngOwnerType) + u" AND A.STATUS = 1",
      {u"id", u"name"}, pbstrList);
  return 0;
}

long CBSysEvent::SetEventRuleList(CEMRDataSource* pDataSource, BSTR bstrEventCode,
                                  LONG lngOwnerType, BSTR bstrList) {
  std::vector<std::u16string> rules = ListElementTexts(bstrList, u"id");
  for (std::u16string& id : rules) id = SqlBareNumber(id, u"id");
  for (const std::u16string& id : rules) {
    pDataSource->Execute(InsertBinding(bstrEventCode, id, lngOwnerType));
  }
  return 0;
}

long CBSysEvent::AddEventRule(CEMRDataSource* pDataSource, BSTR bstrEventCode, LONG lngRuleID,
                              LONG lngOwnerType) {
  const std::u16string rule_id = LongToString(lngRuleID);
  pDataSource->Execute(u"DELETE FROM PEV_EVENT_RULE WHERE EVENT_CODE = " +
                       SqlQuoted(bstrEventCode) + u" AND RULE_ID = " + rule_id);
  pDataSource->Execute(InsertBinding(bstrEventCode, rule_id, lngOwnerType));
  return 0;
}

long CBSysEvent::DeleteEventRule(CEMRDataSource* pDataSource, BSTR bstrEventCode, LONG lngRuleID,
                                 LONG lngOwnerType) {
  pDataSource->Execute(u"DELETE FROM PEV_EVENT_RULE WHERE EVENT_CODE = " +
                       SqlQuoted(bstrEventCode) + u" AND RULE_ID = " + LongToString(lngRuleID) +
                       u" AND RELATION_TYPE =  " + LongToString(lngOwnerType));
  return 0;
}

long CBSysEvent::GetOpposeEvent(CEMRDataSource* pDataSource, BSTR bstrEventCode, BSTR* pbstrCode) {
  const std::u16string code = SqlQuoted(bstrEventCode);
  std::u16string opposing;
  pDataSource->QueryScalar(
      u"SELECT EVENT_CODE FROM TELV_EVENT_OPPOSE WHERE OPPOSE_EVENT_CODE = " + code +
          u" UNION SELECT OPPOSE_EVENT_CODE FROM TELV_EVENT_OPPOSE WHERE EVENT_CODE =" + code,
      opposing);
  StoreBstrResult(pbstrCode, opposing);
  return 0;
}

std::vector<std::u16string> EventRuleIds(CEMRDataSource* pDataSource, korvalis::TextRef event_code,
                                         LONG relation) {
  korvalis::com::ScopedBstr code(event_code.view());
  korvalis::com::ScopedBstr rules;
  CBSysEvent::GetEventRuleList(pDataSource, code.get(), relation, rules.out());
  return ListElementTexts(rules.get(), u"id");
}
