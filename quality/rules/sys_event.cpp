// The bindings of event codes to time-limit rules (PEV_EVENT_RULE: relation 1, the event opens
// the rule; 3, the event cancels the rule's instances) and the events that oppose an event
// (TELV_EVENT_OPPOSE, one row for both directions).
#include "quality/rules/sys_event.h"

#include <vector>

#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "platform/com/scoped_bstr.h"
#include "quality/rules/rule_documents.h"

using korvalis::RowValue;
using korvalis::SqlBareNumber;
using korvalis::SqlKey;
using korvalis::StoreBstrResult;
using korvalis::rules::ListElementTexts;

namespace {

void InsertBinding(CEMRDataSource* data_source, BSTR bstrEventCode, const std::u16string& rule_id,
                   LONG relation) {
  korvalis::InsertRow(*data_source, u"PEV_EVENT_RULE", u"EVENT_CODE, RULE_ID, RELATION_TYPE",
                      {bstrEventCode, RowValue::Number(rule_id), RowValue::Number(relation)});
}

}  // namespace

long CBSysEvent::GetEventRuleList(CEMRDataSource* pDataSource, BSTR bstrEventCode,
                                  LONG lngOwnerType, BSTR* pbstrList) {
  // By rule: the trigger opens and closes the rules in this order, on every engine alike.
  pDataSource->QueryElements(u"SELECT A.ID, A.NAME FROM PEV_RULE A, PEV_EVENT_RULE B" +
                                 SqlKey()
                                     .Equals(u"B.EVENT_CODE", bstrEventCode)
                                     .And(u"A.ID = B.RULE_ID")
                                     .Number(u"B.RELATION_TYPE", lngOwnerType)
                                     .And(u"A.STATUS = 1")
                                     .Where() +
                                 u" ORDER BY A.ID",
                             {u"id", u"name"}, pbstrList);
  return 0;
}

long CBSysEvent::SetEventRuleList(CEMRDataSource* pDataSource, BSTR bstrEventCode,
                                  LONG lngOwnerType, BSTR bstrList) {
  std::vector<std::u16string> rules = ListElementTexts(bstrList, u"id");
  for (std::u16string& id : rules) id = SqlBareNumber(id, u"id");
  for (const std::u16string& id : rules) {
    InsertBinding(pDataSource, bstrEventCode, id, lngOwnerType);
  }
  return 0;
}

long CBSysEvent::AddEventRule(CEMRDataSource* pDataSource, BSTR bstrEventCode, LONG lngRuleID,
                              LONG lngOwnerType) {
  pDataSource->Execute(
      u"DELETE FROM PEV_EVENT_RULE" +
      SqlKey().Equals(u"EVENT_CODE", bstrEventCode).Number(u"RULE_ID", lngRuleID).Where());
  InsertBinding(pDataSource, bstrEventCode, LongToString(lngRuleID), lngOwnerType);
  return 0;
}

long CBSysEvent::DeleteEventRule(CEMRDataSource* pDataSource, BSTR bstrEventCode, LONG lngRuleID,
                                 LONG lngOwnerType) {
  pDataSource->Execute(u"DELETE FROM PEV_EVENT_RULE" + SqlKey()
                                                           .Equals(u"EVENT_CODE", bstrEventCode)
                                                           .Number(u"RULE_ID", lngRuleID)
                                                           .Number(u"RELATION_TYPE", lngOwnerType)
                                                           .Where());
  return 0;
}

long CBSysEvent::GetOpposeEvent(CEMRDataSource* pDataSource, BSTR bstrEventCode, BSTR* pbstrCode) {
  std::u16string opposing;
  pDataSource->QueryScalar(u"SELECT EVENT_CODE FROM TELV_EVENT_OPPOSE" +
                               SqlKey().Equals(u"OPPOSE_EVENT_CODE", bstrEventCode).Where() +
                               u" UNION SELECT OPPOSE_EVENT_CODE FROM TELV_EVENT_OPPOSE" +
                               SqlKey().Equals(u"EVENT_CODE", bstrEventCode).Where(),
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
