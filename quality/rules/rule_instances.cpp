#include "quality/rules/rule_instances.h"

#include <vector>

#include "foundation/data/row_statements.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_text.h"
#include "foundation/xml/xml_property.h"
#include "quality/rules/rule_documents.h"

using korvalis::RowValue;
using korvalis::SqlBareNumber;
using korvalis::SqlKey;
using korvalis::TextRef;
using korvalis::rules::RuleEvent;
using korvalis::rules::VisitRuleKey;

namespace {

// `key` of the event's record (EMR_ID) when the event names one under `extend`.
SqlKey& OfEventRecord(SqlKey& key, TextRef event) {
  const std::u16string emr_id = RuleEvent(event).Extend(u"emr_id");
  return emr_id.empty() ? key : key.Equals(u"EMR_ID", emr_id);
}

long QueryCount(CSingleDataSource* pDataSource, const std::u16string& sql) {
  std::u16string count;
  pDataSource->QueryScalar(sql, count);
  return StringToLong(count);
}

}  // namespace

namespace korvalis::rules {

SqlKey VisitRuleKey(TextRef patient_id, TextRef event_no, TextRef rule_id) {
  SqlKey key;
  key.Equals(u"PATIENT_ID", patient_id).Equals(u"EVENT_NO", event_no).Number(u"RULE_ID", rule_id);
  return key;
}

}  // namespace korvalis::rules

long NextRuleSerial(CSingleDataSource* pDataSource, TextRef patient_id, TextRef event_no) {
  std::u16string last;
  pDataSource->QueryScalar(
      u"SELECT MAX(SERIAL) FROM PEV_TIME_RULE_RECORD" +
          SqlKey().Equals(u"PATIENT_ID", patient_id).Equals(u"EVENT_NO", event_no).Where(),
      last);
  return StringToLong(last) + 1;
}

std::u16string NextRuleId(CSingleDataSource* pDataSource) {
  std::u16string last;
  pDataSource->QueryScalar(u"SELECT MAX(ID) FROM PEV_RULE", last);
  return LongToString(StringToLong(last) + 1);
}

long CountFinishedRuleRecords(CSingleDataSource* pDataSource, TextRef patient_id, TextRef event_no,
                              long rule_id, TextRef event) {
  SqlKey finished = VisitRuleKey(patient_id, event_no, LongToString(rule_id));
  finished.And(u"FINISH_TIME IS NOT NULL AND STATUS = 2");
  RuleEvent reader(event);
  if (reader.Child(u"code") == u"V03") finished.Equals(u"EMR_ID", reader.Extend(u"emr_id"));
  return QueryCount(pDataSource,
                    u"SELECT COUNT(SERIAL) FROM PEV_TIME_RULE_RECORD" + finished.Where());
}

bool IsRuleQuantityReached(CSingleDataSource* pDataSource, TextRef patient_id, TextRef event_no,
                           const CXmlProperty& rule, TextRef event) {
  const long quantity = StringToLong(rule.GetValue(u"quantity"));
  const long rule_id = StringToLong(rule.GetValue(u"id"));
  const long finished = CountFinishedRuleRecords(pDataSource, patient_id, event_no, rule_id, event);
  return quantity != 0 && finished != 0 && finished % quantity == 0;
}

bool IsRuleClosedByEmr(CSingleDataSource* pDataSource, TextRef patient_id, TextRef event_no,
                       TextRef rule_id, TextRef event) {
  const std::u16string rule = SqlBareNumber(rule_id, u"rule_id");
  const std::u16string emr_id = CXmlProperty(std::u16string(event.view())).GetValue(u"emr_id");
  return QueryCount(pDataSource, u"SELECT COUNT(SERIAL) FROM PEV_TIME_RULE_RECORD" +
                                     VisitRuleKey(patient_id, event_no, rule)
                                         .Equals(u"EMR_ID", emr_id)
                                         .And(u"STATUS = 2")
                                         .Where()) >= 1;
}

void SuspendRuleRecord(CSingleDataSource* pDataSource, TextRef patient_id, TextRef event_no,
                       TextRef rule_id, TextRef serial) {
  const std::u16string rule = SqlBareNumber(rule_id, u"rule_id");
  const std::u16string instance = SqlBareNumber(serial, u"serial");
  korvalis::UpdateRow(*pDataSource, u"PEV_TIME_RULE_RECORD", {{u"STATUS", RowValue::Number(3)}},
                      VisitRuleKey(patient_id, event_no, rule).Number(u"SERIAL", instance).Sql());
}

void ResumeSuspendedRuleRecord(CSingleDataSource* pDataSource, TextRef patient_id, TextRef event_no,
                               TextRef rule_id) {
  const SqlKey instances = VisitRuleKey(patient_id, event_no, SqlBareNumber(rule_id, u"rule_id"));
  // The instance suspended first (the lowest serial) is resumed, on every engine the same one.
  std::u16string serial;
  pDataSource->QueryScalar(u"SELECT SERIAL FROM PEV_TIME_RULE_RECORD" +
                               SqlKey(instances).And(u"STATUS = 3").Where() + u" ORDER BY SERIAL",
                           serial);
  if (serial.empty()) return;
  korvalis::UpdateRow(*pDataSource, u"PEV_TIME_RULE_RECORD", {{u"STATUS", RowValue::Number(1)}},
                      SqlKey(instances).Number(u"SERIAL", serial).Sql());
}

void DeleteActiveRuleRecords(CSingleDataSource* pDataSource, TextRef patient_id, TextRef event_no,
                             TextRef rule_id, TextRef event) {
  const std::u16string rule = SqlBareNumber(rule_id, u"rule_id");
  SqlKey active = VisitRuleKey(patient_id, event_no, rule);
  active.And(u"STATUS IN (1, 3)");
  pDataSource->Execute(u"DELETE FROM PEV_TIME_RULE_RECORD" + OfEventRecord(active, event).Where());
}

void DeleteRuleRecords(CSingleDataSource* pDataSource, TextRef patient_id, TextRef event_no,
                       TextRef rule_id, TextRef event) {
  const std::u16string rule = SqlBareNumber(rule_id, u"rule_id");
  SqlKey instances = VisitRuleKey(patient_id, event_no, rule);
  pDataSource->Execute(u"DELETE FROM PEV_TIME_RULE_RECORD" +
                       OfEventRecord(instances, event).Where());
}
