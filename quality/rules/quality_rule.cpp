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

#include "foundation/text/automation_date.h"
#include "foundation/calls/body_arguments.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/log/event_log_entry.h"
#include "foundation/data/sql_date.h"
#include "foundation/data/sql_text.h"
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
using korvalis::SqlBareNumber;
using korvalis::SqlQuoted;
using korvalis::TextRef;
using korvalis::com::ScopedBstr;
using korvalis::rules::RuleEvent;
using korvalis::rules::VisitRuleCondition;

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

std::u16string DateLiteral(CSingleDataSource* pDataSource, const std::u16string& time) {
  return korvalis::SqlDateValue(*pDataSource->GetDBType(), time);
}

std::u16string Scalar(CSingleDataSource* pDataSource, const std::u16string& sql) {
  std::u16string value;
  pDataSource->QueryScalar(sql, value);
  return value;
}

// The first EMR type of a rule's `emr_type` (";3;7;" gives 3), "NULL" when it names none.
std::u16string FirstEmrType(const std::u16string& emr_types) {
  std::vector<std::u16string> types;
  SplitByChars(emr_types, u";", types);
  return types.empty() ? u"NULL" : SqlBareNumber(types.front(), u"emr_type");
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
  return Scalar(pDataSource, u"SELECT QUANTITY FROM PEV_RULE WHERE STATUS = 1 AND ID = " + rule_id);
}

// Suspends the other open instances of the reopened instance's rule in the visit, and one
// open instance of each rule that the reopened instance's opening event cancels, so that they
// wait until it is closed again.
void SuspendWaitingInstances(CEMRDataSource* pDataSource, const std::u16string& patient_id,
                             const std::u16string& event_no, const std::u16string& rule_id,
                             const std::u16string& serial, const std::u16string& opening_code) {
  std::vector<std::u16string> others;
  pDataSource->Query(u"SELECT SERIAL, START_TIME FROM PEV_TIME_RULE_RECORD" +
                         VisitRuleCondition(patient_id, event_no, rule_id) +
                         u" AND STATUS = 1 AND SERIAL <> " + serial,
                     2, others);
  for (std::size_t row = 0; row + 2 <= others.size(); row += 2) {
    SuspendRuleRecord(pDataSource, patient_id, event_no, rule_id, others[row]);
  }
  for (const std::u16string& id : EventRuleIds(pDataSource, opening_code, kEventCancelsRule)) {
    const std::u16string cancelled_rule = SqlBareNumber(id, u"id");
    const std::u16string open_serial =
        Scalar(pDataSource, u"SELECT SERIAL FROM PEV_TIME_RULE_RECORD" +
                                VisitRuleCondition(patient_id, event_no, cancelled_rule) +
                                u" AND STATUS = 1");
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
  const std::u16string emr_type = FirstEmrType(rule.GetValue(u"emr_type"));
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

  const std::u16string condition = VisitRuleCondition(bstrPatientID, bstrEventNo, rule_id);
  const std::u16string count = u"SELECT COUNT(SERIAL) FROM PEV_TIME_RULE_RECORD" + condition;
  std::u16string open_gate = count + u" AND STATUS = 1";
  if (rule.GetValue(u"quantity") != u"0") {
    open_gate += u" AND START_TIME = " + DateLiteral(pDataSource, start);
  }
  if (Scalar(pDataSource, open_gate) != u"0") return 0;
  if (IsRuleQuantityReached(pDataSource, bstrPatientID, bstrEventNo, rule,
                            BstrView(bstrEventPro))) {
    return 0;
  }
  if (Scalar(pDataSource, count + u" AND STATUS = 3") != u"0") {
    pDataSource->Execute(u"UPDATE PEV_TIME_RULE_RECORD SET STATUS = 1 " + condition.substr(1) +
                         u" AND STATUS = 3");
    return 0;
  }

  std::u16string signature = u"0, NULL, NULL, NULL)";
  if (event.Child(u"type") == u"3") {
    const std::u16string emr_id = event.Extend(u"emr_id");
    const std::u16string user_id = event.Extend(u"user_id");
    if (emr_id.empty() || user_id.empty()) {
      LogError(u"打开签名规则需要病历ID、上级医生ID, " +
               EventContext(bstrPatientID, bstrEventNo, code, u"触发时间:", time));
      return 0;
    }
    signature = u"1, " + SqlQuoted(emr_id) + u", " + SqlQuoted(user_id) + u", " +
                SqlQuoted(event.Extend(u"user_name")) + u")";
  }
  const long serial = NextRuleSerial(pDataSource, bstrPatientID, bstrEventNo);
  pDataSource->Execute(
      u"INSERT INTO PEV_TIME_RULE_RECORD (PATIENT_ID, EVENT_NO, SERIAL, RULE_ID, START_TIME, "
      u"OVER_TIME, STATUS, EMR_TYPE, OPEN_EVENT_CODE, SUPERIOR_SIGN_FLAG, EMR_ID, USER_ID, "
      u"USER_NAME) VALUES (" +
      SqlQuoted(bstrPatientID) + u", " + SqlQuoted(bstrEventNo) + u", " + LongToString(serial) +
      u", " + rule_id + u", " + DateLiteral(pDataSource, start) + u", " +
      DateLiteral(pDataSource, over) + u", 1, " + emr_type + u", " + SqlQuoted(code) + u", " +
      signature);
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

  const std::u16string condition = VisitRuleCondition(bstrPatientID, bstrEventNo, rule_id);
  std::u16string open = u"SELECT SERIAL, OVER_TIME ,START_TIME FROM PEV_TIME_RULE_RECORD" +
                        condition + u" AND STATUS = 1";
  open += event.Child(u"type") == u"4"
              ? u" AND SUPERIOR_SIGN_FLAG = 1 AND EMR_ID = " + SqlQuoted(emr_id)
              : std::u16string(u" AND SUPERIOR_SIGN_FLAG = 0");
  std::vector<std::u16string> earliest;
  pDataSource->Query(u"SELECT * FROM (" + open + u" ORDER BY START_TIME, SERIAL) WHERE ROWNUM = 1",
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
      Scalar(pDataSource, u"SELECT T.QUANTITY FROM PEV_RULE T WHERE T.ID = " + rule_id) == u"0") {
    return E_FAIL;
  }
  const long over_hour = over ? LatenessHours(*finish, *over) : 0;
  pDataSource->Execute(
      u"UPDATE PEV_TIME_RULE_RECORD SET FINISH_TIME = " + DateLiteral(pDataSource, finish->Text()) +
      u", EMR_ID = " + SqlQuoted(emr_id) + u", EMR_TYPE = " + emr_type + u", OVER_HOUR = " +
      LongToString(over_hour) + u", STATUS = 2,  USER_ID = " + SqlQuoted(event.Extend(u"user_id")) +
      u", USER_NAME = " + SqlQuoted(event.Extend(u"user_name")) + u", CLOSE_EVENT_CODE = " +
      SqlQuoted(code) + condition + u" AND SERIAL = " + SqlBareNumber(serial, u"SERIAL"));
  if (plngClosedSerial != nullptr) *plngClosedSerial = static_cast<LONG>(StringToLong(serial));
  return 0;
}

bool AutoCloseByExistingEmr(CSingleDataSource* pDataSource, TextRef patient_id, TextRef event_no,
                            long serial, TextRef event_code) {
  const std::u16string_view code = event_code.view();
  if (code == u"V03" || code == u"V04" || code == u"V05") return false;
  const std::u16string visit =
      u" WHERE PATIENT_ID = " + SqlQuoted(patient_id) + u" AND EVENT_NO = " + SqlQuoted(event_no);
  const std::u16string instance = visit + u" AND SERIAL = " + LongToString(serial);
  std::vector<std::u16string> row;
  pDataSource->Query(
      u"SELECT START_TIME, OVER_TIME, RULE_ID, EMR_TYPE FROM PEV_TIME_RULE_RECORD" + instance, 4,
      row);
  if (row.empty() || !korvalis::IsSqlNumber(row[2])) return false;
  const std::u16string& rule_id = row[2];
  if (RuleQuantity(pDataSource, rule_id) == u"0") return false;

  // Live records of the visit of the rule's types that closed no instance of the rule yet.
  std::vector<std::u16string> record;
  pDataSource->Query(
      u"SELECT ID, CREATOR_ID, CREATOR, NVL(CONTENT_VERIFICATION_TIME, CREATE_DATE) "
      u"CONFIRM_TIME, EMR_TYPE  FROM TELV_EMR_CONTENT" +
          visit +
          u" AND STATUS = 1  AND (EMR_TYPE IN (SELECT EMR_TYPE FROM PEV_RULE_EMRTYPE WHERE "
          u"RULE_ID = " +
          rule_id + u")  OR EMR_TYPE = (SELECT EMR_TYPE FROM PEV_RULE WHERE ID =" + rule_id +
          u"))  AND ID NOT IN (SELECT EMR_ID FROM PEV_TIME_RULE_RECORD" +
          VisitRuleCondition(patient_id, event_no, rule_id) +
          u" AND STATUS = 2 AND EMR_ID IS NOT NULL)",
      5, record);
  if (record.empty()) return false;
  pDataSource->Execute(u"UPDATE PEV_TIME_RULE_RECORD SET STATUS = 2, OVER_HOUR = 0, FINISH_TIME= " +
                       DateLiteral(pDataSource, record[3]) + u", EMR_ID= " + SqlQuoted(record[0]) +
                       u", EMR_TYPE=" + SqlBareNumber(record[4], u"EMR_TYPE") + u", USER_ID = " +
                       SqlQuoted(record[1]) + u", USER_NAME = " + SqlQuoted(record[2]) + instance);
  return true;
}

long CBQualityRule::Undo(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                         BSTR bstrRuleId, BSTR bstrEMRID, VARIANT_BOOL bReserveOutTimeRule) {
  const std::u16string rule_id = SqlBareNumber(bstrRuleId, u"bstrRuleId");
  std::u16string sql = u"UPDATE PEV_TIME_RULE_RECORD SET STATUS = 0 " +
                       VisitRuleCondition(bstrPatientID, bstrEventNo, rule_id).substr(1) +
                       u" AND STATUS = 1";
  // Keeping overdue instances: only those whose deadline is still ahead are undone.
  if (bReserveOutTimeRule != VARIANT_FALSE) {
    ScopedBstr now;
    GetSystemDateTime(pDataSource, now.out());
    sql += u" AND OVER_TIME > " + DateLiteral(pDataSource, now.text());
  }
  if (SysStringLen(bstrEMRID) != 0) sql += u" AND EMR_ID = " + SqlQuoted(bstrEMRID);
  pDataSource->Execute(sql);
  return 0;
}

long CBQualityRule::ReOpenUndo(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                               BSTR bstrRuleId) {
  const std::u16string rule_id = SqlBareNumber(bstrRuleId, u"bstrRuleId");
  pDataSource->Execute(u"UPDATE PEV_TIME_RULE_RECORD SET STATUS = 1 " +
                       VisitRuleCondition(bstrPatientID, bstrEventNo, rule_id).substr(1) +
                       u" AND STATUS = 0");
  return 0;
}

long CBQualityRule::ReOpen(CEMRDataSource* pDataSource, BSTR bstrEventInfo) {
  RuleEvent event(bstrEventInfo);
  const std::u16string code = event.Child(u"code");
  const std::u16string emr_id = SqlQuoted(event.Extend(u"emr_id"));
  pDataSource->Execute(u"DELETE FROM PEV_TIME_RULE_RECORD WHERE EMR_ID=" + emr_id +
                       u" AND SUPERIOR_SIGN_FLAG = 1");

  // Each instance the record closed is reopened in its own visit, whatever visit the event
  // names.
  constexpr unsigned kColumns = 8;
  std::vector<std::u16string> closed;
  pDataSource->Query(
      u"SELECT RULE_ID, START_TIME, OVER_TIME, SERIAL, FINISH_TIME, OPEN_EVENT_CODE, PATIENT_ID, "
      u"EVENT_NO  FROM PEV_TIME_RULE_RECORD WHERE EMR_ID =" +
          emr_id + u" AND SUPERIOR_SIGN_FLAG = 0 AND STATUS = 2",
      kColumns, closed);
  for (std::size_t row = 0; row + kColumns <= closed.size(); row += kColumns) {
    const std::u16string& patient_id = closed[row + 6];
    const std::u16string& event_no = closed[row + 7];
    const long serial = StringToLong(closed[row + 3]);
    pDataSource->Execute(
        u"UPDATE PEV_TIME_RULE_RECORD SET STATUS = 1, OVER_HOUR = 0, FINISH_TIME= NULL, USER_ID = "
        u"NULL, USER_NAME = NULL, EMR_ID = NULL, REOPEN = 1 WHERE PATIENT_ID = " +
        SqlQuoted(patient_id) + u" AND EVENT_NO = " + SqlQuoted(event_no) + u" AND SERIAL = " +
        LongToString(serial));
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
