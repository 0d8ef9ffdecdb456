#include "quality/rules/rule_instances.h"

#include <vector>

#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_text.h"
#include "foundation/xml/xml_property.h"
#include "quality/rules/rule_documents.h"

using korvalis::SqlBareNumber;
using korvalis::SqlQuoted;
using korvalis::TextRef;
using korvalis::rules::RuleEvent;
using korvalis::rules::VisitRuleCondition;

namespace {

// " AND EMR_ID = '<record>'" when the event names a record under `extend`, else nothing.
std::u16string RecordOfEvent(TextRef event) {
  const std::u16string emr_id = RuleEvent(event).Extend(u"emr_id");
  return emr_id.empty() ? std::u16string() : u" AND EMR_ID = " + SqlQuoted(emr_id);
}

long QueryCount(CSingleDataSource* pDataSource, const std::u16string& sql) {
  std::u16string count;
  pDataSource->QueryScalar(sql, count);
  return StringToLong(count);
}

}  // namespace

namespace korvalis::rules {

std::u16string VisitRuleCondition(TextRef patient_id, TextRef event_no, TextRef rule_id) {
  std::u16string condition = u" WHERE PATIENT_ID = " + SqlQuoted(patient_id);
  condition.append(u" AND EVENT_NO = ").append(SqlQuoted(event_no));
  condition.append(u" AND RULE_ID = ").append(rule_id.view());
  return condition;
}

}  // namespace korvalis::rules

long NextRuleSerial(CSingleDataSource* pDataSource, TextRef patient_id, TextRef event_no) {
  std::u16string last;
  pDataSource->QueryScalar(u"SELECT MAX(SERIAL) FROM PEV_TIME_RULE_RECORD WHERE PATIENT_ID = " +
                               SqlQuoted(patient_id) + u" AND EVENT_NO = " + SqlQuoted(event_no),
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
  std::u16string sql = u"SELECT COUNT(SERIAL) FROM PEV_TIME_RULE_RECORD" +
                       VisitRuleCondition(patient_id, event_no, LongToString(rule_id)) +
                       u" AND FINISH_TIME IS NOT NULL AND STATUS = 2";
  RuleEvent reader(event);
  if (reader.Child(u"code") == u"V03") {
    sql += u" AND EMR_ID = " + SqlQuoted(reader.Extend(u"emr_id"));
  }
  return QueryCount(pDataSource, sql);
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
                                     VisitRuleCondition(patient_id, event_no, rule) +
                                     u" AND EMR_ID = " + SqlQuoted(emr_id) + u" AND STATUS = 2") >=
         1;
}

void SuspendRuleRecord(CSingleDataSource* pDataSource, TextRef patient_id, TextRef event_no,
                       TextRef rule_id, TextRef serial) {
  const std::u16string rule = SqlBareNumber(rule_id, u"rule_id");
  const std::u16string instance = SqlBareNumber(serial, u"serial");
  pDataSource->Execute(u"UPDATE PEV_TIME_RULE_RECORD SET STATUS = 3 " +
                       VisitRuleCondition(patient_id, event_no, rule).substr(1) +
                       u" AND SERIAL = " + instance);
}

void ResumeSuspendedRuleRecord(CSingleDataSource* pDataSource, TextRef patient_id, TextRef event_no,
                               TextRef rule_id) {
  const std::u16string condition =
      VisitRuleCondition(patient_id, event_no, SqlBareNumber(rule_id, u"rule_id"));
  std::u16string serial;
  pDataSource->QueryScalar(
      u"SELECT SERIAL FROM PEV_TIME_RULE_RECORD" + condition + u" AND STATUS = 3", serial);
  if (serial.empty()) return;
  pDataSource->Execute(u"UPDATE PEV_TIME_RULE_RECORD SET STATUS = 1 " + condition.substr(1) +
                       u" AND SERIAL = " + serial);
}

void DeleteActiveRuleRecords(CSingleDataSource* pDataSource, TextRef patient_id, TextRef event_no,
                             TextRef rule_id, TextRef event) {
  const std::u16string rule = SqlBareNumber(rule_id, u"rule_id");
  pDataSource->Execute(u"DELETE FROM PEV_TIME_RULE_RECORD" +
                       VisitRuleCondition(patient_id, event_no, rule) + u" AND STATUS IN (1, 3)" +
                       RecordOfEvent(event));
}

void DeleteRuleRecords(CSingleDataSource* pDataSource, TextRef patient_id, TextRef event_no,
                       TextRef rule_id, TextRef event) {
  const std::u16string rule = SqlBareNumber(rule_id, u"rule_id");
  pDataSource->Execute(u"DELETE FROM PEV_TIME_RULE_RECORD" +
                       VisitRuleCondition(patient_id, event_no, rule) + RecordOfEvent(event));
}
