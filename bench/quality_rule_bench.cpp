// The time-limit rule engine over a hospital of 10,000 visits holding 200,000 rule instances
// (20 per visit, of 20 rules, most of them closed):
//   - QualityRule.Open, then QualityRule.Close, of one instance of one visit through
//     IDispatch::Invoke: the whole of both calls (method frame, writing call scope, data source
//     from telv.config.xml, rule and event documents, the gates, the serial, the insert, the
//     earliest open instance, the lateness, the update, the commits), the visit changing on
//     every run;
//   - against the same statements, as the embedded front end translates them, run directly on
//     SQLite: each call's statements in one write transaction, every statement prepared,
//     stepped with its columns read as text, and finalized, as statements new to the database
//     are. Goal: within 1.5 times.
// The label of the raw run shows SQLite's plan of the open-instance gate and of the earliest
// open instance, the statements that find a visit's instances.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "bench/call_and_statement.h"
#include "bench/rule_hospital.h"
#include "classes/quality_rule_class.h"
#include "foundation/xml/xml_property.h"
#include "interface/emr_call_scope.h"
#include "platform/db/catalog.h"
#include "platform/db/oracle_functions.h"
#include "platform/db/sql_translator.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::bench::AddRuleInstances;
using korvalis::bench::CheckSqlite;
using korvalis::bench::EventNoOf;
using korvalis::bench::Minute;
using korvalis::bench::PatientOf;
using korvalis::bench::QueryPlan;
using korvalis::bench::StepStatement;
using korvalis::bench::WithValues;

constexpr int kVisits = 10000;
constexpr int kRulesPerVisit = 20;
constexpr int kBenchRule = 21;  // the rule the runs open and close, without a limit of occurrences

// 20 rules and the bench rule, each of its own EMR type; 20 instances of each visit, one of
// each rule, every fifth open and the others closed.
void FillHospital(sqlite3* db) {
  for (int rule = 1; rule <= kBenchRule; ++rule) {
    const std::string id = std::to_string(rule);
    CheckSqlite(sqlite3_exec(db,
                             ("INSERT INTO PEV_RULE (ID, NAME, OWNER_TYPE, QUANTITY, SORT_CODE, "
                              "TIME_OUT, STATUS) VALUES (" +
                              id + ", '规则" + id + "', '1', '" + (rule == kBenchRule ? "0" : "1") +
                              "', '" + id + "', 24, 1)")
                                 .c_str(),
                             nullptr, nullptr, nullptr),
                db);
    CheckSqlite(sqlite3_exec(db,
                             ("INSERT INTO PEV_RULE_EMRTYPE (RULE_ID, EMR_TYPE, EMRTYPE) VALUES (" +
                              id + ", " + id + ", " + id + ")")
                                 .c_str(),
                             nullptr, nullptr, nullptr),
                db);
  }
  AddRuleInstances(db, kVisits, kRulesPerVisit, 1);
}

// The hospital's database; its directory is the process's current directory.
const korvalis::bench::BenchDatabase& TheHospital() {
  static const korvalis::bench::BenchDatabase hospital("korvalis-rules", FillHospital);
  return hospital;
}

// Runs are numbered across both benchmarks and all their repetitions, so that every run opens
// an instance of its own.
long next_run = 0;

// What one run opens and closes: an instance of the bench rule in visit `run` modulo the
// visits, triggered at a minute of its own and closed by a record of its own an hour later.
struct RunValues {
  std::string patient, event_no, trigger, finish, record;
  explicit RunValues(long run)
      : patient(PatientOf(static_cast<int>(run % kVisits))),
        event_no(EventNoOf(static_cast<int>(run % kVisits))),
        trigger(Minute(run)),
        finish(Minute(run + 60)),
        record("R" + std::to_string(run)) {}
};

std::u16string OpenEvent(const RunValues& v) {
  return korvalis::FromUtf8("<root><code>A01</code><type>0</type><time>" + v.trigger +
                            "</time></root>");
}

std::u16string CloseEvent(const RunValues& v) {
  return korvalis::FromUtf8("<root><code>E03</code><type>1</type><time>" + v.finish +
                            "</time><extend><emr_id>" + v.record +
                            "</emr_id><emr_type>21</emr_type><user_id>1003</user_id>"
                            "<user_name>陈浩然</user_name></extend></root>");
}

VARIANT Text(const std::u16string& text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = korvalis::AllocBstr(text);
  return v;
}

void BM_OpenThenCloseInvoke(benchmark::State& state) {
  TheHospital();
  korvalis::frame::InstallEMRCallScope();
  IDispatch* rule = nullptr;
  if (CreateQualityRule(nullptr, IID_IDispatch, reinterpret_cast<void**>(&rule)) != S_OK) {
    state.SkipWithError("no QualityRule object");
    return;
  }
  const std::u16string document = CXmlProperty(CXmlProperty::Map{{u"id", u"21"},
                                                                 {u"name", u"规则21"},
                                                                 {u"quantity", u"0"},
                                                                 {u"time_out", u"24"},
                                                                 {u"emr_type", u";21;"}})
                                      .ToXml();
  for (auto _ : state) {
    const RunValues values(next_run++);
    // Reversed, as DISPPARAMS holds them; the serial is the result.
    VARIANT open[4] = {Text(OpenEvent(values)), Text(document),
                       Text(korvalis::FromUtf8(values.event_no)),
                       Text(korvalis::FromUtf8(values.patient))};
    VARIANT close[4] = {Text(CloseEvent(values)), Text(u"21"),
                        Text(korvalis::FromUtf8(values.event_no)),
                        Text(korvalis::FromUtf8(values.patient))};
    DISPPARAMS open_params{open, nullptr, 4, 0};
    DISPPARAMS close_params{close, nullptr, 4, 0};
    EXCEPINFO excep{};
    UINT arg_err = 0;
    VARIANT serial;
    VariantInit(&serial);
    const HRESULT opened =
        rule->Invoke(7, IID_NULL, 0, DISPATCH_METHOD, &open_params, &serial, &excep, &arg_err);
    const HRESULT closed =
        rule->Invoke(8, IID_NULL, 0, DISPATCH_METHOD, &close_params, nullptr, &excep, &arg_err);
    for (VARIANT& v : open) VariantClear(&v);
    for (VARIANT& v : close) VariantClear(&v);
    if (opened != S_OK || closed != S_OK || serial.vt != VT_I4 || serial.lVal <= kRulesPerVisit) {
      char codes[64];
      std::snprintf(codes, sizeof codes, " (0x%08X, 0x%08X, serial %d)",
                    static_cast<unsigned>(opened), static_cast<unsigned>(closed),
                    static_cast<int>(serial.lVal));
      state.SkipWithError(("open or close failed: " +
                           korvalis::ToUtf8(korvalis::BstrView(excep.bstrDescription)) + codes)
                              .c_str());
      break;
    }
  }
  rule->Release();
  state.SetItemsProcessed(state.iterations());
}

// The statements of one Open and one Close, translated once with marker values that each run
// replaces by its own.
class RawStatements {
 public:
  explicit RawStatements(sqlite3* db) {
    const auto catalog = korvalis::db::Catalog::Load(db);
    const std::string visit = " WHERE PATIENT_ID = 'P#' AND EVENT_NO = 'E#' AND RULE_ID = 21";
    const std::string count = "SELECT COUNT(SERIAL) FROM PEV_TIME_RULE_RECORD" + visit;
    const auto date = [](const char* marker) {
      return std::string("to_date('") + marker + "', 'YYYY-MM-DD HH24:MI:SS')";
    };
    const auto translate = [&](const std::string& oracle) {
      return korvalis::db::Translate(oracle, *catalog).statements.back();
    };
    open_gate = translate(count + " AND STATUS = 1");
    finished = translate(count + " AND FINISH_TIME IS NOT NULL AND STATUS = 2");
    suspended = translate(count + " AND STATUS = 3");
    last_serial = translate(
        "SELECT MAX(SERIAL) FROM PEV_TIME_RULE_RECORD WHERE PATIENT_ID = 'P#' AND EVENT_NO = 'E#'");
    insert = translate(
        "INSERT INTO PEV_TIME_RULE_RECORD (PATIENT_ID, EVENT_NO, SERIAL, RULE_ID, START_TIME, "
        "OVER_TIME, STATUS, EMR_TYPE, OPEN_EVENT_CODE, SUPERIOR_SIGN_FLAG, EMR_ID, USER_ID, "
        "USER_NAME) VALUES ('P#', 'E#', 987654321, 21, " +
        date("2099-01-01 00:00:01") + ", " + date("2099-01-01 00:00:02") +
        ", 1, 21, 'A01', 0, NULL, NULL, NULL)");
    earliest = translate(
        "SELECT * FROM (SELECT SERIAL, OVER_TIME ,START_TIME FROM "
        "PEV_TIME_RULE_RECORD" +
        visit +
        " AND STATUS = 1 AND SUPERIOR_SIGN_FLAG = 0 ORDER BY START_TIME) "
        "WHERE ROWNUM = 1");
    closed_by_record = translate(count + " AND EMR_ID = '' AND STATUS = 2");
    update =
        translate("UPDATE PEV_TIME_RULE_RECORD SET FINISH_TIME = " + date("2099-01-01 00:00:03") +
                  ", EMR_ID = 'R#', EMR_TYPE = 21, OVER_HOUR = 0, STATUS = 2,  USER_ID = "
                  "'1003', USER_NAME = '陈浩然', CLOSE_EVENT_CODE = 'E03'" +
                  visit + " AND SERIAL = 987654321");
  }

  std::string open_gate, finished, suspended, last_serial, insert, earliest, closed_by_record,
      update;
};

void BM_OpenThenCloseRawSqlite(benchmark::State& state) {
  sqlite3* db = korvalis::bench::OpenAsProvider(TheHospital().path());
  const RawStatements statements(db);
  state.SetLabel(QueryPlan(db, statements.open_gate) + " | " + QueryPlan(db, statements.earliest));
  for (auto _ : state) {
    const long run = next_run++;
    const RunValues v(run);
    const std::vector<std::pair<std::string, std::string>> visit = {
        {"'P#'", "'" + v.patient + "'"}, {"'E#'", "'" + v.event_no + "'"}};
    StepStatement(db, "BEGIN IMMEDIATE");
    StepStatement(db, WithValues(statements.open_gate, visit));
    StepStatement(db, WithValues(statements.finished, visit));
    StepStatement(db, WithValues(statements.suspended, visit));
    const std::string serial = std::to_string(
        std::stol("0" + StepStatement(db, WithValues(statements.last_serial, visit))) + 1);
    auto insert = visit;
    insert.insert(insert.end(), {{"987654321", serial},
                                 {"2099-01-01 00:00:01", v.trigger},
                                 {"2099-01-01 00:00:02", Minute(run + 1440)}});
    StepStatement(db, WithValues(statements.insert, insert));
    StepStatement(db, "COMMIT");

    StepStatement(db, "BEGIN IMMEDIATE");
    const std::string earliest = StepStatement(db, WithValues(statements.earliest, visit));
    StepStatement(db, WithValues(statements.closed_by_record, visit));
    auto update = visit;
    update.insert(update.end(), {{"987654321", earliest},
                                 {"2099-01-01 00:00:03", v.finish},
                                 {"'R#'", "'" + v.record + "'"}});
    StepStatement(db, WithValues(statements.update, update));
    StepStatement(db, "COMMIT");
  }
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_OpenThenCloseInvoke)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenThenCloseRawSqlite)->Unit(benchmark::kMicrosecond);

}  // namespace
