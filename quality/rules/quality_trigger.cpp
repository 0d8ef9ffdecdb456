// The quality trigger: which rules a clinical event reaches, and in which order the engine opens,
// closes, undoes, resumes and removes their instances in the event's visit.
#include "quality/rules/quality_trigger.h"

#include <string>
#include <vector>

#include "foundation/data/emr_data_source.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/xml/xml_property.h"
#include "platform/com/scoped_bstr.h"
#include "quality/rules/quality_rule.h"
#include "quality/rules/rule_documents.h"
#include "quality/rules/rule_instances.h"
#include "quality/rules/sys_event.h"

using korvalis::BstrView;
using korvalis::SqlBareNumber;
using korvalis::SqlKey;
using korvalis::com::ScopedBstr;
using korvalis::rules::ListElementAttributes;
using korvalis::rules::RuleEvent;

namespace {

// The relation of PEV_RULE_DEPEND between an opening rule and the rules whose open instances
// its opening undoes.
constexpr LONG kRuleUndoesRule = 1;

// The quantity of a rule that occurs once per visit.
constexpr char16_t kOncePerVisit[] = u"1";
// The quantity of a rule that occurs without a limit.
constexpr char16_t kWithoutLimit[] = u"0";

std::u16string Scalar(CEMRDataSource* pDataSource, const std::u16string& sql) {
  std::u16string value;
  pDataSource->QueryScalar(sql, value);
  return value;
}

// The property document of the rule whose id `rule_id` reads as a number (0 when it is none).
std::u16string RuleProperty(CEMRDataSource* pDataSource, korvalis::TextRef rule_id) {
  ScopedBstr property;
  CBQualityRule::GetProperty(pDataSource, static_cast<LONG>(StringToLong(rule_id)), property.out());
  return property.text();
}

// True when the rule names an EMR type, in PEV_RULE or in a link row: an event opens no rule
// without one, since no record could ever close it.
bool HasEmrType(CEMRDataSource* pDataSource, LONG rule_id) {
  if (!Scalar(pDataSource,
              u"SELECT EMR_TYPE FROM PEV_RULE" + SqlKey().Number(u"ID", rule_id).Where())
           .empty()) {
    return true;
  }
  return Scalar(pDataSource, u"SELECT COUNT(*) FROM PEV_RULE_EMRTYPE" +
                                 SqlKey().Number(u"RULE_ID", rule_id).Where()) != u"0";
}

// Undoes the open instances in the visit of every rule that the opening rule opposes.
void UndoOpposedRules(CEMRDataSource* pDataSource, BSTR patient_id, BSTR event_no, LONG rule) {
  ScopedBstr related;
  CBQualityRule::GetRelationRuleList(pDataSource, rule, kRuleUndoesRule, related.out());
  for (const std::u16string& id : ListElementAttributes(related.get(), u"rule", u"id")) {
    ScopedBstr opposed(id);
    CBQualityRule::Undo(pDataSource, patient_id, event_no, opposed.get(), nullptr, VARIANT_FALSE);
  }
}

// True while the visit is in hospital: it has a row without discharge time and department.
bool IsInHospital(CEMRDataSource* pDataSource, BSTR patient_id, BSTR event_no) {
  return !Scalar(pDataSource, u"SELECT 1 FROM TELV_VISIT_RECORD" +
                                  SqlKey()
                                      .Equals(u"PATIENT_ID", patient_id)
                                      .Equals(u"EVENT_NO", event_no)
                                      .And(u"OUT_TIME IS NULL AND OUT_DEPT_ID IS NULL")
                                      .Where())
              .empty();
}

// Resumes one suspended instance of each rule that `opening_code` cancels, unless an instance
// that event opened was reopened and is still open: those rules wait until it is closed again.
void ResumeRulesCancelledBy(CEMRDataSource* pDataSource, BSTR patient_id, BSTR event_no,
                            const std::u16string& opening_code) {
  const std::u16string reopened =
      Scalar(pDataSource,
             u"SELECT 1 FROM PEV_TIME_RULE_RECORD" + SqlKey()
                                                         .Equals(u"PATIENT_ID", patient_id)
                                                         .Equals(u"EVENT_NO", event_no)
                                                         .Equals(u"OPEN_EVENT_CODE", opening_code)
                                                         .And(u"STATUS = 1 AND REOPEN = 1")
                                                         .Where());
  if (!reopened.empty()) return;
  for (const std::u16string& id : EventRuleIds(pDataSource, opening_code, kEventCancelsRule)) {
    ResumeSuspendedRuleRecord(pDataSource, patient_id, event_no, id);
  }
}

// Closes the earliest open instance of the rule by the event's record and, while the visit is
// in hospital, carries the rule on: its next instance from the closed one's deadline, one
// suspended instance resumed, and the rules the opening event cancels resumed.
void CloseRuleRecordOnEvent(CEMRDataSource* pDataSource, BSTR patient_id, BSTR event_no,
                            const std::u16string& rule_id, BSTR event) {
  ScopedBstr property(RuleProperty(pDataSource, rule_id));
  ScopedBstr rule(rule_id);
  LONG serial = 0;
  if (CBQualityRule::Close(pDataSource, patient_id, event_no, rule.get(), event, &serial) < 0) {
    return;
  }
  const CXmlProperty rule_property{property.text()};
  const std::u16string quantity = rule_property.GetValue(u"quantity");
  // A rule no longer live has no property document and no next instance.
  const std::u16string live_id = rule_property.GetValue(u"id");
  if (quantity == kOncePerVisit || live_id.empty()) return;
  if (!IsInHospital(pDataSource, patient_id, event_no)) return;

  std::vector<std::u16string> closed;
  pDataSource->Query(u"SELECT OVER_TIME, REOPEN, OPEN_EVENT_CODE FROM PEV_TIME_RULE_RECORD" +
                         SqlKey()
                             .Number(u"SERIAL", serial)
                             .Equals(u"PATIENT_ID", patient_id)
                             .Equals(u"EVENT_NO", event_no)
                             .Number(u"RULE_ID", live_id, u"id")
                             .Where(),
                     3, closed);
  if (closed.size() < 3) return;
  const std::u16string& deadline = closed[0];
  const std::u16string& opening_code = closed[2];

  RuleEvent next(BstrView(event));
  next.SetChild(u"code", opening_code);
  if (!(quantity == kWithoutLimit && closed[1] == u"1")) {
    next.SetChild(u"time", deadline);
    ScopedBstr next_event(next.Xml());
    LONG next_serial = 0;
    CBQualityRule::Open(pDataSource, patient_id, event_no, property.get(), next_event.get(),
                        &next_serial);
  }
  ResumeSuspendedRuleRecord(pDataSource, patient_id, event_no, rule_id);
  ResumeRulesCancelledBy(pDataSource, patient_id, event_no, opening_code);
}

// Removes the instances in the visit of each rule of the list (rule ids): every one for a rule
// of quantity "1", the open and suspended ones otherwise.
void CancelRuleRecordsOfRule(CEMRDataSource* pDataSource, BSTR patient_id, BSTR event_no,
                             const std::vector<std::u16string>& rule_ids, BSTR event) {
  for (const std::u16string& rule_id : rule_ids) {
    const CXmlProperty property{RuleProperty(pDataSource, rule_id)};
    if (property.GetValue(u"quantity") == kOncePerVisit) {
      DeleteRuleRecords(pDataSource, patient_id, event_no, rule_id, BstrView(event));
    } else {
      DeleteActiveRuleRecords(pDataSource, patient_id, event_no, rule_id, BstrView(event));
    }
  }
}

}  // namespace

long CBQualityTrigger::FireOpen(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                                BSTR bstrEventPro) {
  const std::u16string code = RuleEvent(BstrView(bstrEventPro)).Child(u"code");
  for (const std::u16string& id : EventRuleIds(pDataSource, code, kEventOpensRule)) {
    const LONG rule = static_cast<LONG>(StringToLong(id));
    if (!HasEmrType(pDataSource, rule)) continue;
    ScopedBstr property(RuleProperty(pDataSource, id));
    LONG serial = 0;
    CBQualityRule::Open(pDataSource, bstrPatientID, bstrEventNo, property.get(), bstrEventPro,
                        &serial);
    AutoCloseByExistingEmr(pDataSource, bstrPatientID, bstrEventNo, serial, code);
    UndoOpposedRules(pDataSource, bstrPatientID, bstrEventNo, rule);
  }
  return 0;
}

long CBQualityTrigger::FireClose(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                                 BSTR bstrEventPro) {
  const std::u16string emr_type =
      SqlBareNumber(RuleEvent(BstrView(bstrEventPro)).Extend(u"emr_type"), u"extend/emr_type");
  std::vector<std::u16string> rules;
  pDataSource->QueryColumn(u"SELECT A.ID FROM PEV_RULE A, PEV_TIME_RULE_RECORD B" +
                               SqlKey()
                                   .And(u"A.ID = B.RULE_ID")
                                   .Equals(u"B.PATIENT_ID", bstrPatientID)
                                   .Equals(u"B.EVENT_NO", bstrEventNo)
                                   .And(u"B.STATUS = 1")
                                   .And(u"(" + SqlKey().Number(u"A.EMR_TYPE", emr_type).Sql() +
                                        u" OR  B.RULE_ID IN (SELECT RULE_ID FROM PEV_RULE_EMRTYPE" +
                                        SqlKey().Number(u"EMR_TYPE", emr_type).Where() + u"))")
                                   .Where(),
                           rules);

  for (const std::u16string& rule_id : rules) {
    CloseRuleRecordOnEvent(pDataSource, bstrPatientID, bstrEventNo, rule_id, bstrEventPro);
  }
  return 0;
}

// The patient and visit are read from the event document by CBQualityRule::ReOpen itself.
long CBQualityTrigger::ReFireOpen(CEMRDataSource* pDataSource, BSTR, BSTR, BSTR bstrEventInfo) {
  CBQualityRule::ReOpen(pDataSource, bstrEventInfo);
  return 0;
}

void CancelRulesOfEvent(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                        BSTR bstrEventPro) {
  const std::u16string code = RuleEvent(BstrView(bstrEventPro)).Child(u"code");
  CancelRuleRecordsOfRule(pDataSource, bstrPatientID, bstrEventNo,
                          EventRuleIds(pDataSource, code, kEventCancelsRule), bstrEventPro);
}
