// The time-limit rule engine: opening an instance with its deadline, closing it with its
// lateness, closing it at once by an existing record, undoing and restoring instances, and
// reopening the instances a deleted record had closed. The states and their moves are drawn in
// rule_instances.h.
//
// Times are read as automation dates (foundation/text/automation_date.h) before any statement runs
// and enter the statements in the standard form "YYYY-MM-DD HH:MM:SS".
#include "quality/rules/quality_rule.h"

#include <optional>
#include <utility>
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_date.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/log/event_log_entry.h"
#include "foundation/text/automation_date.h"
#include "foundation/xml/xml_property.h"
#include "lookups/record_library.h"
#include "platform/com/hresult.h"
#include "platform/com/scoped_bstr.h"
#include "quality/rules/rule_documents.h"
#include "quality/rules/rule_instances.h"
#include "quality/rules/sys_event.h"

using korvalis::AutomationDate;
using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::RowValue;
using korvalis::SqlBareNumber;
using korvalis::SqlKey;
using korvalis::TextRef;
using korvalis::com::ScopedBstr;
using korvalis::rules::RuleEvent;
using korvalis::rules::VisitRuleKey;

namespace {

// "病人ID:<p>, 住院事件号:<e>, 事件代码:<c>, <label><time>": the event in a log text.
std::u16string EventContext(TextRef patient_id, TextRef event_no, const std::u16string& code,
                            const char16_t* label, const std::u16string& time) {
  std::u16string text = u"病人ID:";
  text.append(patient_id.view()).append(u", 住院事件号:").append(event_no.view());
  text.append(u", 事件代码:").append(code).append(u", ").append(label).append(time);
  return text;
}

void LogError(const std::u16string& text) { CEventLogEntry(text, CEventLogEntry::kError).Report(); }

RowValue DateValue(CSingleDataSource* pDataSource, const std::u16string& time) {
  return RowValue::Date(*pDataSource->GetDBType(), time);
}

std::u16string Scalar(CSingleDataSource* pDataSource, const std::u16string& sql) {
  std::u16string value;
  pDataSource->QueryScalar(sql, value);
  return value;
}

// The first EMR type of a rule's `emr_type` (";3;7;" gives 3), NULL when it names none.
RowValue FirstEmrType(const std::u16string& emr_types) {
  std::vector<std::u16string> types;
  SplitByChars(emr_types, u";", types);
  return types.empty() ? RowValue::Null() : RowValue::Number(types.front(), u"emr_type");
}

// The lateness of a finish against a deadline in whole hours: the span taken to the nearest
// second, then cut toward zero; 0 when on time.
long LatenessHours(const AutomationDate& finish, const AutomationDate& deadline) {
  constexpr double kHalfSecond = 0.5 / 86400;
  const double span = finish.DaysSince(deadline);
  const long hours = static_cast<long>((span >= 0 ? span + kHalfSecond : span - kHalfSecond) * 24);
  return hours > 0 ? hours : 0;
}

std::u16string RuleQuantity(CSingleDataSource* pDataSource, const std::u16string& rule_id) {
  return Scalar(pDataSource, u"SELECT QUANTITY FROM PEV_RULE" +
                                 SqlKey().And(u"STATUS = 1").Number(u"ID", rule_id).Where());
}

// Suspends the other open instances of the reopened instance's rule in the visit, and one
// open instance of each rule that the reopened instance's opening event cancels, so that they
// wait until it is closed again.
void SuspendWaitingInstances(CEMRDataSource* pDataSource, const std::u16string& patient_id,
                             const std::u16string& event_no, const std::u16string& rule_id,
                             const std::u16string& serial, const std::u16string& opening_code) {
  std::vector<std::u16string> others;
  pDataSource->Query(u"SELECT SERIAL, START_TIME FROM PEV_TIME_RULE_RECORD" +
                         VisitRuleKey(patient_id, event_no, rule_id)
                             .And(u"STATUS = 1")
                             .Compare(u"SERIAL", u"<>", RowValue::Number(serial, u"serial"))
                             .Where(),
                     2, others);
  for (std::size_t row = 0; row + 2 <= others.size(); row += 2) {
    SuspendRuleRecord(pDataSource, patient_id, event_no, rule_id, others[row]);
  }
  for (const std::u16string& id : EventRuleIds(pDataSource, opening_code, kEventCancelsRule)) {
    const std::u16string cancelled_rule = SqlBareNumber(id, u"id");
    const std::u16string open_serial =
        Scalar(pDataSource,
               u"SELECT SERIAL FROM PEV_TIME_RULE_RECORD" +
                   VisitRuleKey(patient_id, event_no, cancelled_rule).And(u"STATUS = 1").Where());
    if (!open_serial.empty()) {
      SuspendRuleRecord(pDataSource, patient_id, event_no, cancelled_rule, open_serial);
    }
  }
}

}  // namespace

long CBQualityRule::Open(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                         BSTR bstrRulePro, BSTR bstrEventPro, LONG* plngSerial) {
  const CXmlProperty rule = PropertyBag(bstrRulePro);
  const std::u16string rule_id = SqlBareNumber(rule.GetValue(u"id"), u"id");
  const RowValue emr_type = FirstEmrType(rule.GetValue(u"emr_type"));
  RuleEvent event(bstrEventPro);
  const std::u16string time = event.Child(u"time");
  const std::u16string code = event.Child(u"code");

  const std::optional<AutomationDate> trigger = AutomationDate::Parse(time);
  if (!trigger) {
    LogError(u"解析规则触发时间出错," +
             EventContext(bstrPatientID, bstrEventNo, code, u"触发时间:", time));
    return 0;
  }
  const std::u16string time_out = rule.GetValue(u"time_out");
  const long hours = StringToLong(time_out);
  const std::optional<AutomationDate> deadline = trigger->PlusHours(hours);
  if (!deadline) throw CEMRException(u"规则时限超出日期范围: " + time_out);
  // With a negative time-out the deadline lies before the trigger: the instance runs from the
  // deadline to the trigger.
  std::u16string start = trigger->Text();
  std::u16string over = deadline->Text();
  if (hours < 0) std::swap(start, over);

  const SqlKey instances = VisitRuleKey(bstrPatientID, bstrEventNo, rule_id);
  const std::u16string count = u"SELECT COUNT(SERIAL) FROM PEV_TIME_RULE_RECORD";
  SqlKey open_gate = instances;
  open_gate.And(u"STATUS = 1");
  if (rule.GetValue(u"quantity") != u"0")
    open_gate.Is(u"START_TIME", DateValue(pDataSource, start));
  if (Scalar(pDataSource, count + open_gate.Where()) != u"0") return 0;
  if (IsRuleQuantityReached(pDataSource, bstrPatientID, bstrEventNo, rule,
                            BstrView(bstrEventPro))) {
    return 0;
  }
  const SqlKey suspended = std::move(SqlKey(instances).And(u"STATUS = 3"));
  if (Scalar(pDataSource, count + suspended.Where()) != u"0") {
    korvalis::UpdateRow(*pDataSource, u"PEV_TIME_RULE_RECORD", {{u"STATUS", RowValue::Number(1)}},
                        suspended.Sql());
    return 0;
  }

  // SUPERIOR_SIGN_FLAG, EMR_ID, USER_ID, USER_NAME.
  std::vector<RowValue> signature = {RowValue::Number(0), RowValue::Null(), RowValue::Null(),
                                     RowValue::Null()};
  if (event.Child(u"type") == u"3") {
    const std::u16string emr_id = event.Extend(u"emr_id");
    const std::u16string user_id = event.Extend(u"user_id");
    if (emr_id.empty() || user_id.empty()) {
      LogError(u"打开签名规则需要病历ID、上级医生ID, " +
               EventContext(bstrPatientID, bstrEventNo, code, u"触发时间:", time));
      return 0;
    }
    signature = {RowValue::Number(1), emr_id, user_id, event.Extend(u"user_name")};
  }
  const long serial = NextRuleSerial(pDataSource, bstrPatientID, bstrEventNo);
  std::vector<RowValue> values = {bstrPatientID,
                                  bstrEventNo,
                                  RowValue::Number(serial),
                                  RowValue::Number(rule_id),
                                  DateValue(pDataSource, start),
                                  DateValue(pDataSource, over),
                                  RowValue::Number(1),
                                  emr_type,
                                  code};
  values.insert(values.end(), signature.begin(), signature.end());
  korvalis::InsertRow(*pDataSource, u"PEV_TIME_RULE_RECORD",
                      u"PATIENT_ID, EVENT_NO, SERIAL, RULE_ID, START_TIME, OVER_TIME, STATUS, "
                      u"EMR_TYPE, OPEN_EVENT_CODE, SUPERIOR_SIGN_FLAG, EMR_ID, USER_ID, USER_NAME",
                      values);
  if (plngSerial != nullptr) *plngSerial = static_cast<LONG>(serial);
  return 0;
}

long CBQualityRule::Close(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                          BSTR bstrRuleId, BSTR bstrEventPro, LONG* plngClosedSerial) {
  const std::u16string rule_id = SqlBareNumber(bstrRuleId, u"bstrRuleId");
  RuleEvent event(bstrEventPro);
  const std::u16string emr_type = SqlBareNumber(event.Extend(u"emr_type"), u"extend/emr_type");
  const std::u16string time = event.Child(u"time");
  const std::u16string code = event.Child(u"code");
  const std::optional<AutomationDate> finish = AutomationDate::Parse(time);
  if (!finish) {
    throw CEMRException(u"解析规则关闭时间出错," +
                        EventContext(bstrPatientID, bstrEventNo, code, u"关闭时间:", time));
  }
  const std::u16string emr_id = event.Extend(u"emr_id");

  const SqlKey instances = VisitRuleKey(bstrPatientID, bstrEventNo, rule_id);
  SqlKey open = instances;
  open.And(u"STATUS = 1");
  if (event.Child(u"type") == u"4") {
    open.And(u"SUPERIOR_SIGN_FLAG = 1").Equals(u"EMR_ID", emr_id);
  } else {
    open.And(u"SUPERIOR_SIGN_FLAG = 0");
  }
  std::vector<std::u16string> earliest;
  pDataSource->Query(
      u"SELECT * FROM (SELECT SERIAL, OVER_TIME ,START_TIME FROM "
      u"PEV_TIME_RULE_RECORD" +
          open.Where() + u" ORDER BY START_TIME, SERIAL) WHERE ROWNUM = 1",
      3, earliest);
  if (earliest.empty()) return E_FAIL;
  if (IsRuleClosedByEmr(pDataSource, bstrPatientID, bstrEventNo, rule_id, BstrView(bstrEventPro))) {
    return E_FAIL;
  }
  const std::u16string& serial = earliest[0];
  const std::optional<AutomationDate> over = AutomationDate::Parse(earliest[1]);
  const std::optional<AutomationDate> start = AutomationDate::Parse(earliest[2]);
  // An instance of a rule without a limit of occurrences is not closed by an event before
  // its start.
  if (start && *start > *finish &&
      Scalar(pDataSource, u"SELECT T.QUANTITY FROM PEV_RULE T" +
                              SqlKey().Number(u"T.ID", rule_id).Where()) == u"0") {
    return E_FAIL;
  }
  const long over_hour = over ? LatenessHours(*finish, *over) : 0;
  korvalis::UpdateRow(*pDataSource, u"PEV_TIME_RULE_RECORD",
                      {{u"FINISH_TIME", DateValue(pDataSource, finish->Text())},
                       {u"EMR_ID", emr_id},
                       {u"EMR_TYPE", RowValue::Number(emr_type)},
                       {u"OVER_HOUR", RowValue::Number(over_hour)},
                       {u"STATUS", RowValue::Number(2)},
                       {u"USER_ID", event.Extend(u"user_id")},
                       {u"USER_NAME", event.Extend(u"user_name")},
                       {u"CLOSE_EVENT_CODE", code}},
                      SqlKey(instances).Number(u"SERIAL", serial).Sql());
  if (plngClosedSerial != nullptr) *plngClosedSerial = static_cast<LONG>(StringToLong(serial));
  return 0;
}

bool AutoCloseByExistingEmr(CSingleDataSource* pDataSource, TextRef patient_id, TextRef event_no,
                            long serial, TextRef event_code) {
  const std::u16string_view code = event_code.view();
  if (code == u"V03" || code == u"V04" || code == u"V05") return false;
  const SqlKey visit =
      std::move(SqlKey().Equals(u"PATIENT_ID", patient_id).Equals(u"EVENT_NO", event_no));
  const SqlKey instance = std::move(SqlKey(visit).Number(u"SERIAL", serial));
  std::vector<std::u16string> row;
  pDataSource->Query(u"SELECT START_TIME, OVER_TIME, RULE_ID, EMR_TYPE FROM PEV_TIME_RULE_RECORD" +
                         instance.Where(),
                     4, row);
  if (row.empty() || !korvalis::IsSqlNumber(row[2])) return false;
  const std::u16string& rule_id = row[2];
  if (RuleQuantity(pDataSource, rule_id) == u"0") return false;

  // Live records of the visit of the rule's types that closed no instance of the rule yet; the
  // one written first closes the instance, the same record on every engine.
  std::vector<std::u16string> record;
  pDataSource->Query(
      u"SELECT ID, CREATOR_ID, CREATOR, NVL(CONTENT_VERIFICATION_TIME, CREATE_DATE) "
      u"CONFIRM_TIME, EMR_TYPE  FROM TELV_EMR_CONTENT" +
          SqlKey(visit)
              .And(u"STATUS = 1")
              .And(u"(EMR_TYPE IN (SELECT EMR_TYPE FROM PEV_RULE_EMRTYPE" +
                   SqlKey().Number(u"RULE_ID", rule_id).Where() +
                   u")  OR EMR_TYPE = (SELECT EMR_TYPE FROM PEV_RULE" +
                   SqlKey().Number(u"ID", rule_id).Where() + u"))")
              .And(u"ID NOT IN (SELECT EMR_ID FROM PEV_TIME_RULE_RECORD" +
                   VisitRuleKey(patient_id, event_no, rule_id)
                       .And(u"STATUS = 2 AND EMR_ID IS NOT NULL")
                       .Where() +
                   u")")
              .Where() +
          u" ORDER BY CREATE_DATE, ID",
      5, record);
  if (record.empty()) return false;
  korvalis::UpdateRow(*pDataSource, u"PEV_TIME_RULE_RECORD",
                      {{u"STATUS", RowValue::Number(2)},
                       {u"OVER_HOUR", RowValue::Number(0)},
                       {u"FINISH_TIME", DateValue(pDataSource, record[3])},
                       {u"EMR_ID", record[0]},
                       {u"EMR_TYPE", RowValue::Number(record[4], u"EMR_TYPE")},
                       {u"USER_ID", record[1]},
                       {u"USER_NAME", record[2]}},
                      instance.Sql());
  return true;
}

long CBQualityRule::Undo(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                         BSTR bstrRuleId, BSTR bstrEMRID, VARIANT_BOOL bReserveOutTimeRule) {
  const std::u16string rule_id = SqlBareNumber(bstrRuleId, u"bstrRuleId");
  SqlKey open = VisitRuleKey(bstrPatientID, bstrEventNo, rule_id);
  open.And(u"STATUS = 1");
  // Keeping overdue instances: only those whose deadline is still ahead are undone.
  if (bReserveOutTimeRule != VARIANT_FALSE) {
    ScopedBstr now;
    GetSystemDateTime(pDataSource, now.out());
    open.And(u"OVER_TIME > " + DateValue(pDataSource, now.text()).Sql());
  }
  if (SysStringLen(bstrEMRID) != 0) open.Equals(u"EMR_ID", bstrEMRID);
  korvalis::UpdateRow(*pDataSource, u"PEV_TIME_RULE_RECORD", {{u"STATUS", RowValue::Number(0)}},
                      open.Sql());
  return 0;
}

long CBQualityRule::ReOpenUndo(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                               BSTR bstrRuleId) {
  const std::u16string rule_id = SqlBareNumber(bstrRuleId, u"bstrRuleId");
  korvalis::UpdateRow(*pDataSource, u"PEV_TIME_RULE_RECORD", {{u"STATUS", RowValue::Number(1)}},
                      VisitRuleKey(bstrPatientID, bstrEventNo, rule_id).And(u"STATUS = 0").Sql());
  return 0;
}

long CBQualityRule::ReOpen(CEMRDataSource* pDataSource, BSTR bstrEventInfo) {
  RuleEvent event(bstrEventInfo);
  const std::u16string code = event.Child(u"code");
  const std::u16string emr_id = event.Extend(u"emr_id");
  pDataSource->Execute(u"DELETE FROM PEV_TIME_RULE_RECORD" +
                       SqlKey().Equals(u"EMR_ID", emr_id).And(u"SUPERIOR_SIGN_FLAG = 1").Where());

  // Each instance the record closed is reopened in its own visit, whatever visit the event
  // names.
  constexpr unsigned kColumns = 8;
  std::vector<std::u16string> closed;
  pDataSource->Query(
      u"SELECT RULE_ID, START_TIME, OVER_TIME, SERIAL, FINISH_TIME, OPEN_EVENT_CODE, PATIENT_ID, "
      u"EVENT_NO  FROM PEV_TIME_RULE_RECORD" +
          SqlKey().Equals(u"EMR_ID", emr_id).And(u"SUPERIOR_SIGN_FLAG = 0 AND STATUS = 2").Where(),
      kColumns, closed);
  for (std::size_t row = 0; row + kColumns <= closed.size(); row += kColumns) {
    const std::u16string& patient_id = closed[row + 6];
    const std::u16string& event_no = closed[row + 7];
    const long serial = StringToLong(closed[row + 3]);
    korvalis::UpdateRow(*pDataSource, u"PEV_TIME_RULE_RECORD",
                        {{u"STATUS", RowValue::Number(1)},
                         {u"OVER_HOUR", RowValue::Number(0)},
                         {u"FINISH_TIME", RowValue::Null()},
                         {u"USER_ID", RowValue::Null()},
                         {u"USER_NAME", RowValue::Null()},
                         {u"EMR_ID", RowValue::Null()},
                         {u"REOPEN", RowValue::Number(1)}},
                        SqlKey()
                            .Equals(u"PATIENT_ID", patient_id)
                            .Equals(u"EVENT_NO", event_no)
                            .Number(u"SERIAL", serial)
                            .Sql());

    if (!korvalis::IsSqlNumber(closed[row])) continue;  // an instance of no rule
    const std::u16string& rule_id = closed[row];
    if (RuleQuantity(pDataSource, rule_id) == u"1") {
      AutoCloseByExistingEmr(pDataSource, patient_id, event_no, serial, code);
    } else {
      SuspendWaitingInstances(pDataSource, patient_id, event_no, rule_id, LongToString(serial),
                              closed[row + 5]);
    }
  }
  return 0;
}
