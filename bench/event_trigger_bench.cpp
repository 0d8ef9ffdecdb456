// A clinical event handled over a hospital of 10,000 visits holding 200,000 rule instances (20
// per visit, of 20 rules, most of them closed), the event's code bound to 10 rules of their own:
//   - EventTrigger.OnSysEvent through IDispatch::Invoke: the whole call (method frame, writing
//     call scope, data source from telv.config.xml, the event document, the queue lookup, per
//     bound rule its EMR types, its property document, the gates, the serial, the insert, the
//     search for a record that closes it at once and its opposed rules, then the cancelling
//     rules and the move of the event into the archive, the commit), the visit changing on
//     every run;
//   - against the same statements, as the embedded front end translates them, run directly on
//     SQLite in one write transaction, every statement prepared, stepped with its columns read
//     as text, and finalized, as statements new to the database are. Goal: within 1.5 times.
// Each run handles an event queued for it when the hospital was filled.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/call_and_statement.h"
#include "bench/rule_hospital.h"
#include "classes/event_trigger_class.h"
#include "interface/emr_call_scope.h"
#include "platform/db/catalog.h"
#include "platform/db/sql_translator.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::bench::AddRuleInstances;
using korvalis::bench::CheckSqlite;
using korvalis::bench::EventNoOf;
using korvalis::bench::Minute;
using korvalis::bench::PatientOf;
using korvalis::bench::StepStatement;
using korvalis::bench::WithValues;

constexpr int kVisits = 10000;
constexpr int kInstancesPerVisit = 20;
constexpr int kBoundRules = 10;        // rules 1 to 10, opened by the event code B01
constexpr int kOtherRuleBase = 100;    // rules 101 to 120 hold the hospital's instances
constexpr long kQueuedEvents = 60000;  // events queued for the runs of both benchmarks

std::string EventIdOf(long run) { return "EV" + std::to_string(run); }

void Exec(sqlite3* db, const std::string& sql) {
  CheckSqlite(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db);
}

// The bound rules (each of its own EMR type, once per visit, 24 hours) and the others; 20
// instances of each visit, one of each other rule; the queued events.
void FillHospital(sqlite3* db) {
  const auto add_rule = [db](int id) {
    const std::string rule = std::to_string(id);
    Exec(db,
         "INSERT INTO PEV_RULE (ID, NAME, OWNER_TYPE, QUANTITY, SORT_CODE, TIME_OUT, STATUS) "
         "VALUES (" +
             rule + ", '规则" + rule + "', '1', '1', '" + rule + "', 24, 1)");
    Exec(db, "INSERT INTO PEV_RULE_EMRTYPE (RULE_ID, EMR_TYPE, EMRTYPE) VALUES (" + rule + ", " +
                 rule + ", " + rule + ")");
  };
  for (int rule = 1; rule <= kBoundRules; ++rule) {
    add_rule(rule);
    Exec(db, "INSERT INTO PEV_EVENT_RULE (EVENT_CODE, RULE_ID, RELATION_TYPE) VALUES ('B01', " +
                 std::to_string(rule) + ", 1)");
  }
  for (int rule = 1; rule <= kInstancesPerVisit; ++rule) add_rule(kOtherRuleBase + rule);

  AddRuleInstances(db, kVisits, kInstancesPerVisit, kOtherRuleBase + 1);

  sqlite3_stmt* event = nullptr;
  CheckSqlite(sqlite3_prepare_v2(db,
                                 "INSERT INTO TELV_REGISTER_EVENT (ID, EVENT_CODE, CREATE_TIME, "
                                 "PATIENT_ID, EVENT_NO, REGIST_TIME, TYPE, EXTEND_INFO, SRC_SYS) "
                                 "VALUES (?1, 'B01', ?2, ?3, ?4, ?2, 0, NULL, 1)",
                                 -1, &event, nullptr),
              db);
  for (long run = 0; run < kQueuedEvents; ++run) {
    sqlite3_bind_text(event, 1, EventIdOf(run).c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(event, 2, Minute(run).c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(event, 3, PatientOf(run % kVisits).c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(event, 4, EventNoOf(run % kVisits).c_str(), -1, SQLITE_TRANSIENT);
    CheckSqlite(sqlite3_step(event), db);
    sqlite3_reset(event);
  }
  sqlite3_finalize(event);
}

const korvalis::bench::BenchDatabase& TheHospital() {
  static const korvalis::bench::BenchDatabase hospital("korvalis-events", FillHospital);
  return hospital;
}

// Runs are numbered across both benchmarks and all their repetitions: each handles its own
// queued event.
long next_run = 0;

std::u16string EventDocument(long run) {
  return korvalis::FromUtf8(
      "<root><id>" + EventIdOf(run) + "</id><code>B01</code><src_sys>1</src_sys><patient_id>" +
      PatientOf(run % kVisits) + "</patient_id><event_no>" + EventNoOf(run % kVisits) +
      "</event_no><time>" + Minute(run) + "</time><type>0</type></root>");
}

// The instances of the bound rules per archived event so far, read on a connection of its own:
// 10 when every handled event opened each of its rules.
double InstancesPerHandledEvent() {
  sqlite3* db = korvalis::bench::OpenAsProvider(TheHospital().path());
  const double instances = std::stod(
      "0" + StepStatement(db, "SELECT COUNT(*) FROM PEV_TIME_RULE_RECORD WHERE RULE_ID <= " +
                                  std::to_string(kBoundRules)));
  const double events =
      std::stod("0" + StepStatement(db, "SELECT COUNT(*) FROM TELV_REGISTER_EVENT_RECORD"));
  sqlite3_close(db);
  return events == 0 ? 0 : instances / events;
}

void BM_OnSysEventInvoke(benchmark::State& state) {
  TheHospital();
  korvalis::frame::InstallEMRCallScope();
  IDispatch* trigger = nullptr;
  if (CreateEventTrigger(nullptr, IID_IDispatch, reinterpret_cast<void**>(&trigger)) != S_OK) {
    state.SkipWithError("no EventTrigger object");
    return;
  }
  for (auto _ : state) {
    const long run = next_run++;
    if (run >= kQueuedEvents) {
      state.SkipWithError("no queued event left");
      break;
    }
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_BSTR;
    argument.bstrVal = korvalis::AllocBstr(EventDocument(run));
    DISPPARAMS params{&argument, nullptr, 1, 0};
    EXCEPINFO excep{};
    UINT arg_err = 0;
    const HRESULT hr =
        trigger->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, &excep, &arg_err);
    VariantClear(&argument);
    if (hr != S_OK) {
      state.SkipWithError(
          ("OnSysEvent failed: " + korvalis::ToUtf8(korvalis::BstrView(excep.bstrDescription)))
              .c_str());
      break;
    }
  }
  trigger->Release();
  state.SetItemsProcessed(state.iterations());
  state.counters["instances_per_event"] = InstancesPerHandledEvent();
}

// The statements of one OnSysEvent, translated once with marker values that each run replaces
// by its own: the visit 'P#' 'E#', the event 'X#', the rule 424242, the serial 987654321, the
// trigger and deadline dates.
class RawStatements {
 public:
  explicit RawStatements(sqlite3* db) {
    const auto catalog = korvalis::db::Catalog::Load(db);
    const auto translate = [&](const std::string& oracle) {
      return korvalis::db::Translate(oracle, *catalog).statements.back();
    };
    const auto date = [](const char* marker) {
      return std::string("to_date('") + marker + "', 'YYYY-MM-DD HH24:MI:SS')";
    };
    const std::string visit = " WHERE PATIENT_ID = 'P#' AND EVENT_NO = 'E#'";
    const std::string rule = visit + " AND RULE_ID = 424242";
    const std::string count = "SELECT COUNT(SERIAL) FROM PEV_TIME_RULE_RECORD" + rule;
    const std::string bindings =
        "SELECT A.ID, A.NAME FROM PEV_RULE A, PEV_EVENT_RULE B  WHERE  B.EVENT_CODE = 'B01' AND "
        "A.ID = B.RULE_ID AND B.RELATION_TYPE = ";
    registered = translate("SELECT 1 FROM TELV_REGISTER_EVENT WHERE ID = 'X#'");
    opening_rules = translate(bindings + "1 AND A.STATUS = 1");
    per_rule = {
        translate("SELECT EMR_TYPE FROM PEV_RULE WHERE ID=424242"),
        translate("SELECT COUNT(*) FROM PEV_RULE_EMRTYPE WHERE RULE_ID=424242"),
        translate("SELECT ID, NAME, OWNER_TYPE, EMR_TYPE, POINT_ID,  QUANTITY, SORT_CODE, "
                  "TIME_OUT, NOTES FROM PEV_RULE WHERE STATUS = 1 AND ID = 424242"),
        translate("select emr_type from pev_rule_emrtype where rule_id=424242"),
        translate(count + " AND STATUS = 1 AND START_TIME = " + date("2099-01-01 00:00:01")),
        translate(count + " AND FINISH_TIME IS NOT NULL AND STATUS = 2"),
        translate(count + " AND STATUS = 3"),
    };
    last_serial = translate("SELECT MAX(SERIAL) FROM PEV_TIME_RULE_RECORD" + visit);
    insert = translate(
        "INSERT INTO PEV_TIME_RULE_RECORD (PATIENT_ID, EVENT_NO, SERIAL, RULE_ID, START_TIME, "
        "OVER_TIME, STATUS, EMR_TYPE, OPEN_EVENT_CODE, SUPERIOR_SIGN_FLAG, EMR_ID, USER_ID, "
        "USER_NAME) VALUES ('P#', 'E#', 987654321, 424242, " +
        date("2099-01-01 00:00:01") + ", " + date("2099-01-01 00:00:02") +
        ", 1, 424242, 'B01', 0, NULL, NULL, NULL)");
    after_insert = {
        translate("SELECT START_TIME, OVER_TIME, RULE_ID, EMR_TYPE FROM PEV_TIME_RULE_RECORD" +
                  visit + " AND SERIAL = 987654321"),
        translate("SELECT QUANTITY FROM PEV_RULE WHERE STATUS = 1 AND ID = 424242"),
        translate("SELECT ID, CREATOR_ID, CREATOR, NVL(CONTENT_VERIFICATION_TIME, CREATE_DATE) "
                  "CONFIRM_TIME, EMR_TYPE  FROM TELV_EMR_CONTENT" +
                  visit +
                  " AND STATUS = 1  AND (EMR_TYPE IN (SELECT EMR_TYPE FROM PEV_RULE_EMRTYPE "
                  "WHERE RULE_ID = 424242)  OR EMR_TYPE = (SELECT EMR_TYPE FROM PEV_RULE WHERE "
                  "ID =424242))  AND ID NOT IN (SELECT EMR_ID FROM PEV_TIME_RULE_RECORD" +
                  rule + " AND STATUS = 2 AND EMR_ID IS NOT NULL)"),
        translate("SELECT B.NAME, A.SUB_ID FROM PEV_RULE_DEPEND A, PEV_RULE B WHERE A.RULE_ID = "
                  "424242 AND A.SUB_ID = B.ID AND A.RELATION = 1"),
    };
    cancelling_rules = translate(bindings + "3 AND A.STATUS = 1");
    archive = translate(
        "insert into telv_register_event_record select * from telv_register_event where ID = "
        "'X#'");
    unqueue = translate("DELETE FROM TELV_REGISTER_EVENT WHERE ID = 'X#'");
  }

  std::string registered, opening_rules, last_serial, insert, cancelling_rules, archive, unqueue;
  std::vector<std::string> per_rule, after_insert;
};

void BM_OnSysEventRawSqlite(benchmark::State& state) {
  sqlite3* db = korvalis::bench::OpenAsProvider(TheHospital().path());
  const RawStatements statements(db);
  for (auto _ : state) {
    const long run = next_run++;
    if (run >= kQueuedEvents) {
      state.SkipWithError("no queued event left");
      break;
    }
    const std::vector<std::pair<std::string, std::string>> event = {
        {"'P#'", "'" + PatientOf(run % kVisits) + "'"},
        {"'E#'", "'" + EventNoOf(run % kVisits) + "'"},
        {"'X#'", "'" + EventIdOf(run) + "'"},
        {"2099-01-01 00:00:01", Minute(run)},
        {"2099-01-01 00:00:02", Minute(run + 1440)}};
    StepStatement(db, "BEGIN IMMEDIATE");
    StepStatement(db, WithValues(statements.registered, event));
    StepStatement(db, statements.opening_rules);
    for (int rule = 1; rule <= kBoundRules; ++rule) {
      auto values = event;
      values.emplace_back("424242", std::to_string(rule));
      for (const std::string& sql : statements.per_rule) StepStatement(db, WithValues(sql, values));
      values.emplace_back(
          "987654321",
          std::to_string(
              std::stol("0" + StepStatement(db, WithValues(statements.last_serial, values))) + 1));
      StepStatement(db, WithValues(statements.insert, values));
      for (const std::string& sql : statements.after_insert)
        StepStatement(db, WithValues(sql, values));
    }
    StepStatement(db, statements.cancelling_rules);
    StepStatement(db, WithValues(statements.archive, event));
    StepStatement(db, WithValues(statements.unqueue, event));
    StepStatement(db, "COMMIT");
  }
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations());
  state.counters["instances_per_event"] = InstancesPerHandledEvent();
}

BENCHMARK(BM_OnSysEventInvoke)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OnSysEventRawSqlite)->Unit(benchmark::kMillisecond);

}  // namespace
