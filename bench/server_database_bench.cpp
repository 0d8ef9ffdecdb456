// The PostgreSQL server as the database, on a throwaway server of its own that flushes every
// commit to the disk as a real one does:
//   - ArchivePatient.GetInPatientList's statement over a hospital of 100,000 visits in 60
//     departments (three records each, the last two weeks still in hospital), through the
//     provider (translation from its cache, the statement prepared by its shape, every column
//     read as text), against the same translated statement prepared once on raw libpq with
//     every value read, run alone as the provider runs it outside a call. Goal: within 1.2
//     times. The same statement written natively for the server (its day arithmetic without
//     the Oracle functions) on raw libpq: the translated one within 1.3 times of it.
//   - The whole call through Invoke on the server (the same call on an embedded file of the
//     same hospital is patient_search_bench's: a process keeps the database it first reads from
//     telv.config.xml). Goal: within 4 times the embedded call.
//   - A reading call that reads one patient's name by key, on the server and on the embedded
//     file of the same hospital.
//   - A report's rows as a report run reads them (held to the content bound, in a reading call):
//     300,000 records with their patients' names, on the server and on the embedded file of the
//     same hospital, the record's time as stored and formatted by TO_CHAR. Goal: the server
//     within 2.5 times the file. The same rows run by a connection's Execute, all received
//     before the first is read.
//   - Writing calls per second (a call: MAX(ID) + 1 read, a row written, committed) with 1, 4
//     and 16 clients at once, each in a table of its own and all in one table, on the server
//     and on the embedded file (synchronous commits both).
#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <string>

#include "archive/patient_search.h"
#include "bench/call_and_statement.h"
#include "bench/patient_hospital.h"
#include "classes/archive_patient_class.h"
#include "db/database_file.h"
#include "db/testing/temp_directory.h"
#include "foundation/calls/call_scope.h"
#include "foundation/data/comm_data_source.h"
#include "foundation/data/db_type.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/xml/xml_property.h"
#include "interface/emr_call_scope.h"
#include "platform/db/connection_pool.h"
#include "platform/db/connection_string.h"
#include "platform/db/postgres_database.h"
#include "platform/db/testing/postgres_test_server.h"
#include "platform/text/unicode.h"
#include "report/report_queries.h"

namespace {

using korvalis::db::testing::PostgresTestServer;

// The hospital of the embedded benchmark (patient_search_bench.cpp), written by the server
// itself: patients, visits over 1,070 days of admissions, three records each.
constexpr char kFillHospital[] = R"(
INSERT INTO "TELV_PATIENT" ("ID", "NAME", "SEX", "BIRTHDAY", "CASE_NO")
  SELECT 'P' || i, '病人' || i, i % 2, timestamp '1960-05-01', 'P' || i
  FROM generate_series(0, 99999) AS i;
INSERT INTO "TELV_VISIT_RECORD" ("PATIENT_ID", "EVENT_NO", "SERIAL_NO", "IN_TIME", "IN_DEPT_ID",
  "IN_DEPT_NAME", "NOW_DEPT_ID", "NOW_DEPT_NAME", "BED_NO", "OUT_TIME", "OUT_DEPT_ID",
  "OUT_DEPT_NAME", "DOCTOR_NAME", "REG_DOCTOR_ID", "RESIDENCE_FLAG", "EVENT_STATUS",
  "EMR_STATUS", "FORBID_FLAG", "PAPER_EMR_STATUS", "COMMIT_TIME", "ADMISSION_DEPT_TIME")
  SELECT 'P' || i, 'E' || i, 1, d + interval '9 hours', dept, '内科', dept, '内科',
    (i % 40 + 1)::text,
    CASE WHEN here THEN NULL ELSE d + interval '8 days 10 hours' END,
    CASE WHEN here THEN NULL ELSE dept END, CASE WHEN here THEN NULL ELSE '内科' END,
    '刘静怡', '1002', 2, 1, CASE WHEN here OR i % 10 = 0 THEN 1 ELSE 2 END, '0', 0,
    CASE WHEN here THEN NULL ELSE d + interval '10 days 16 hours' END, d + interval '9 hours'
  FROM (SELECT i, lpad((101 + i % 60)::text, 4, '0') AS dept,
               timestamp '2024-01-01' + (i::bigint * 1070 / 100000) * interval '1 day' AS d,
               i::bigint * 1070 / 100000 >= 1070 - 14 AS here
        FROM generate_series(0, 99999) AS i) AS v;
INSERT INTO "TELV_EMR_CONTENT" ("ID", "PATIENT_ID", "EVENT_NO", "CATALOG_ID", "TEMPLATE_ID",
  "EMR_TYPE", "TITLE", "CREATE_DATE", "STATUS")
  SELECT 'E' || i || '-' || r, 'P' || i, 'E' || i, 2, 2, 2, '病程记录',
    timestamp '2024-01-01' + (i::bigint * 1070 / 100000) * interval '1 day' +
      (11 + r) * interval '1 hour',
    CASE WHEN r = 0 AND i % 3 = 0 THEN 0 ELSE 1 END
  FROM generate_series(0, 99999) AS i, generate_series(0, 2) AS r;
)";

// The hospital's database on the server, and telv.config.xml naming it in the process's
// current directory (a directory of its own).
struct ServerHospital {
  ServerHospital() : scratch("korvalis-server-bench") {
    PostgresTestServer& server = PostgresTestServer::Get(/*durable=*/true);
    init = server.CreateDatabase();
    korvalis::schema::BuildServerDatabase(init, korvalis::schema::DatabaseContents::kInstallation);
    server.RunSql(init, kFillHospital);
    // Vacuumed, analysed and on the disk now, so that no background work of the server's on
    // the new rows runs while the benchmarks measure.
    server.RunSql(init, "VACUUM (ANALYZE)");
    server.RunSql(init, "CHECKPOINT");
    korvalis::schema::WriteDatabaseConfig(scratch.path(), init);
    if (::chdir(scratch.path().c_str()) != 0) std::abort();
  }
  korvalis::testing::TempDirectory scratch;
  std::string init;
};

const ServerHospital& TheHospital() {
  static const ServerHospital hospital;
  return hospital;
}

// The initialisation string of the same hospital in an embedded file.
std::string EmbeddedHospital() {
  static const korvalis::testing::TempDirectory scratch("korvalis-server-bench-embedded");
  static const std::string init = [] {
    const std::string path = scratch.path() + "/hospital.db";
    std::string made = korvalis::schema::CreateDatabaseFile(
        path, korvalis::schema::DatabaseContents::kInstallation);
    korvalis::db::ConnectionPools::Close(made);
    sqlite3* db = nullptr;
    korvalis::bench::CheckSqlite(sqlite3_open(path.c_str(), &db), db);
    korvalis::bench::CheckSqlite(korvalis::db::RegisterOracleFunctions(db), db);
    korvalis::bench::CheckSqlite(korvalis::db::RegisterTextSearch(db), db);
    korvalis::bench::CheckSqlite(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    korvalis::bench::FillPatientHospital(db, 100000);
    korvalis::bench::CheckSqlite(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
    return made;
  }();
  return init;
}

const CXmlProperty::Map kInPatientCondition = {{u"nowdept", u"0101"},
                                               {u"intime_span", u"2026-11-01|2027-01-01"},
                                               {u"leavetime_span", u"is null"},
                                               {u"patienttype", u"2"},
                                               {u"emrtype", u"1"}};

// The list's Oracle statement as GetInPatientList writes it now.
std::string InPatientSql() {
  char now[24];
  std::time_t t = std::time(nullptr);
  std::strftime(now, sizeof now, "%Y-%m-%d %H:%M:%S", std::localtime(&t));
  CDBOracle oracle;
  return korvalis::ToUtf8(
      korvalis::archive::PatientSearchSql(oracle, korvalis::FromUtf8(now), kInPatientCondition));
}

void BM_GetInPatientListServerProvider(benchmark::State& state) {
  const std::string sql = InPatientSql();
  std::unique_ptr<korvalis::db::Connection> c = korvalis::db::OpenConnection(TheHospital().init);
  std::size_t rows = 0, bytes = 0;
  for (auto _ : state) {
    std::unique_ptr<korvalis::db::Rowset> r = c->Execute(sql);
    while (r->Next()) {
      ++rows;
      for (int i = 0; i < r->ColumnCount(); ++i) bytes += r->Text(i).size();
    }
  }
  benchmark::DoNotOptimize(bytes);
  state.counters["patients"] =
      static_cast<double>(rows) / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
}

// The translated statement written natively: a literal date as a timestamp, TRUNC of a
// difference of dates as the whole days of the interval's seconds.
std::string WrittenNatively(const std::string& translated) {
  static const std::regex kDate(R"(ora_to_date\('([^']*)', 'YYYY-MM-DD(?: HH24:MI:SS)?'\))");
  static const std::regex kWholeDays(
      R"(ora_trunc_date_diff\(((?:[^(),]|\([^()]*\))+), ("[A-Z_]+")\))");
  std::string native = std::regex_replace(translated, kDate, "timestamp '$1'");
  native = std::regex_replace(native, kWholeDays, "trunc(extract(epoch FROM $1 - $2) / 86400)");
  if (native.find("ora_") != std::string::npos) {
    std::fprintf(stderr, "Oracle functions left in the native statement: %s\n", native.c_str());
    std::abort();
  }
  return native;
}

// The list's statement prepared once on raw libpq (as translated, or written natively), every
// value of every row read.
void RawLibpqList(benchmark::State& state, bool native) {
  const std::string sql = InPatientSql();
  korvalis::db::PostgresDatabase database(
      korvalis::db::ConnectionString::Parse(TheHospital().init));
  PGconn* c = database.Connect();
  const auto query = [c](const char* sql) {
    PGresult* r = PQexec(c, sql);
    if (PQresultStatus(r) == PGRES_TUPLES_OK) return r;
    PQclear(r);
    throw korvalis::db::DbError(korvalis::db::kProviderFailed, PQerrorMessage(c));
  };
  std::string translated = database.Translate(sql, query)->statements.back();
  if (native) translated = WrittenNatively(translated);
  PGresult* prepared = PQprepare(c, "list", translated.c_str(), 0, nullptr);
  if (PQresultStatus(prepared) != PGRES_COMMAND_OK) {
    state.SkipWithError(PQerrorMessage(c));
    PQclear(prepared);
    PQfinish(c);
    return;
  }
  PQclear(prepared);
  std::size_t rows = 0, bytes = 0;
  for (auto _ : state) {
    PGresult* r = PQexecPrepared(c, "list", 0, nullptr, nullptr, nullptr, 0);
    const int n = PQntuples(r), columns = PQnfields(r);
    for (int row = 0; row < n; ++row) {
      for (int column = 0; column < columns; ++column) {
        benchmark::DoNotOptimize(PQgetvalue(r, row, column));
        bytes += static_cast<std::size_t>(PQgetlength(r, row, column));
      }
    }
    rows += static_cast<std::size_t>(n);
    PQclear(r);
  }
  PQfinish(c);
  benchmark::DoNotOptimize(bytes);
  state.counters["patients"] =
      static_cast<double>(rows) / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
}

void BM_GetInPatientListServerRawLibpq(benchmark::State& state) { RawLibpqList(state, false); }
void BM_GetInPatientListServerNativeLibpq(benchmark::State& state) { RawLibpqList(state, true); }

void BM_GetInPatientListServerInvoke(benchmark::State& state) {
  TheHospital();
  korvalis::frame::InstallEMRCallScope();
  IDispatch* list = nullptr;
  if (CreateArchivePatient(nullptr, IID_IDispatch, reinterpret_cast<void**>(&list)) != S_OK) {
    state.SkipWithError("no ArchivePatient object");
    return;
  }
  korvalis::bench::InvokeList(state, list, 1, {u"0101", u"2026-11-01", u"2027-01-01"}, u"<patient ",
                              "patients");
  list->Release();
}

// One reading call per iteration: a patient's name by key.
void ReadingCalls(benchmark::State& state, const std::string& init) {
  const std::u16string connection = korvalis::FromUtf8(init);
  std::u16string name;
  for (auto _ : state) {
    CCallScope scope(CCallScope::Mode::kReading);
    {
      CCommDataSource source(connection, u"oracle");
      source.QueryScalar(u"SELECT NAME FROM TELV_PATIENT WHERE ID = 'P4242'", name);
    }
    scope.Commit();
  }
  if (name != u"病人4242") state.SkipWithError("the patient's name was not read");
}

void BM_ReadingCallServer(benchmark::State& state) { ReadingCalls(state, TheHospital().init); }
void BM_ReadingCallEmbedded(benchmark::State& state) { ReadingCalls(state, EmbeddedHospital()); }

// ---- a report's rows

constexpr int kRecords = 300000;
constexpr char16_t kReportRowsSql[] =
    u"SELECT B.NAME, C.ID, C.CREATE_DATE, V.NOW_DEPT_NAME "
    u"FROM TELV_EMR_CONTENT C, TELV_VISIT_RECORD V, TELV_PATIENT B "
    u"WHERE V.PATIENT_ID = C.PATIENT_ID AND V.EVENT_NO = C.EVENT_NO AND B.ID = C.PATIENT_ID";
constexpr char16_t kFormattedReportRowsSql[] =
    u"SELECT B.NAME, C.ID, TO_CHAR(C.CREATE_DATE, 'YYYY-MM-DD HH24:MI'), V.NOW_DEPT_NAME "
    u"FROM TELV_EMR_CONTENT C, TELV_VISIT_RECORD V, TELV_PATIENT B "
    u"WHERE V.PATIENT_ID = C.PATIENT_ID AND V.EVENT_NO = C.EVENT_NO AND B.ID = C.PATIENT_ID";

// One reading call per iteration that reads the report's rows as their document's text.
void ReportRows(benchmark::State& state, const std::string& init, const char16_t* sql) {
  const std::u16string connection = korvalis::FromUtf8(init);
  std::size_t units = 0;
  for (auto _ : state) {
    CCallScope scope(CCallScope::Mode::kReading);
    {
      CCommDataSource source(connection, u"oracle");
      units = source
                  .StreamElementsWithin(sql, {u"record", u"id", u"created", u"dept"},
                                        korvalis::report::kMaxReportRowUnits, u"root",
                                        [](std::u16string_view) {})
                  .value_or(0);
    }
    scope.Commit();
  }
  state.counters["units"] = static_cast<double>(units);
  state.SetItemsProcessed(static_cast<int64_t>(kRecords) * state.iterations());
}

// The report's 300,000 rows run by a connection's Execute, every value read as text: all of
// them received before the first is read.
void BM_ExecuteRowsServer(benchmark::State& state) {
  std::unique_ptr<korvalis::db::Connection> c = korvalis::db::OpenConnection(TheHospital().init);
  const std::string sql = korvalis::ToUtf8(kReportRowsSql);
  std::size_t rows = 0;
  for (auto _ : state) {
    std::unique_ptr<korvalis::db::Rowset> read = c->Execute(sql);
    for (rows = 0; read->Next(); ++rows) {
      for (int column = 0; column < read->ColumnCount(); ++column) {
        benchmark::DoNotOptimize(read->Text(column));
      }
    }
  }
  if (rows != kRecords) state.SkipWithError("the rows were not all read");
  state.SetItemsProcessed(static_cast<int64_t>(rows) * state.iterations());
}

void BM_ReportRowsServer(benchmark::State& state) {
  ReportRows(state, TheHospital().init, kReportRowsSql);
}
void BM_ReportRowsEmbedded(benchmark::State& state) {
  ReportRows(state, EmbeddedHospital(), kReportRowsSql);
}
void BM_FormattedReportRowsServer(benchmark::State& state) {
  ReportRows(state, TheHospital().init, kFormattedReportRowsSql);
}
void BM_FormattedReportRowsEmbedded(benchmark::State& state) {
  ReportRows(state, EmbeddedHospital(), kFormattedReportRowsSql);
}

// ---- writing calls with many clients

// The databases the writing calls run on: each has one table per client and a shared one.
constexpr int kMaxClients = 16;

void CreateWritingTables(const std::string& init) {
  std::unique_ptr<korvalis::db::Connection> c = korvalis::db::OpenConnection(init);
  for (int i = 0; i <= kMaxClients; ++i) {
    c->Execute("CREATE TABLE T_WRITE_" + std::to_string(i) +
               " (ID NUMBER(10) PRIMARY KEY, CLIENT NUMBER(4), NOTE VARCHAR2(40))");
  }
}

const std::string& ServerWriting() {
  static const std::string init = [] {
    TheHospital();
    std::string made = PostgresTestServer::Get(true).CreateDatabase();
    korvalis::schema::BuildServerDatabase(made, korvalis::schema::DatabaseContents::kInstallation);
    CreateWritingTables(made);
    return made;
  }();
  return init;
}

const std::string& EmbeddedWriting() {
  static korvalis::testing::TempDirectory scratch("korvalis-writing-bench");
  static const std::string init = [] {
    std::string made = korvalis::schema::CreateDatabaseFile(
        scratch.path() + "/writing.db", korvalis::schema::DatabaseContents::kInstallation);
    CreateWritingTables(made);
    korvalis::db::ConnectionPools::Close(made);
    return made;
  }();
  return init;
}

// One writing call per iteration of each client (thread): the next ID by MAX(ID) + 1 in the
// client's own table, or in the shared one.
void WritingCalls(benchmark::State& state, const std::string& init, bool shared) {
  const std::u16string connection = korvalis::FromUtf8(init);
  const std::u16string table =
      u"T_WRITE_" + korvalis::FromUtf8(std::to_string(shared ? 0 : state.thread_index() + 1));
  const std::u16string client = korvalis::FromUtf8(std::to_string(state.thread_index()));
  int64_t failed = 0;
  for (auto _ : state) {
    try {
      CCallScope scope(CCallScope::Mode::kWriting);
      {
        CCommDataSource source(connection, u"oracle");
        std::u16string id;
        source.QueryScalar(u"SELECT NVL(MAX(ID), 0) + 1 FROM " + table, id);
        source.Execute(u"INSERT INTO " + table + u" (ID, CLIENT, NOTE) VALUES (" + id + u", " +
                       client + u", 'written by a benchmark call')");
      }
      scope.Commit();
    } catch (const CEMRException&) {
      ++failed;
    }
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["failed"] = static_cast<double>(failed);
}

void BM_WritingCallsServerOwnTables(benchmark::State& state) {
  WritingCalls(state, ServerWriting(), false);
}
void BM_WritingCallsServerSharedTable(benchmark::State& state) {
  WritingCalls(state, ServerWriting(), true);
}
void BM_WritingCallsEmbeddedOwnTables(benchmark::State& state) {
  WritingCalls(state, EmbeddedWriting(), false);
}
void BM_WritingCallsEmbeddedSharedTable(benchmark::State& state) {
  WritingCalls(state, EmbeddedWriting(), true);
}

BENCHMARK(BM_GetInPatientListServerProvider)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetInPatientListServerRawLibpq)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetInPatientListServerNativeLibpq)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetInPatientListServerInvoke)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadingCallServer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadingCallEmbedded)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExecuteRowsServer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReportRowsServer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReportRowsEmbedded)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FormattedReportRowsServer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FormattedReportRowsEmbedded)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WritingCallsServerOwnTables)->Threads(1)->Threads(4)->Threads(16)->UseRealTime();
BENCHMARK(BM_WritingCallsEmbeddedOwnTables)->Threads(1)->Threads(4)->Threads(16)->UseRealTime();
BENCHMARK(BM_WritingCallsServerSharedTable)->Threads(1)->Threads(4)->Threads(16)->UseRealTime();
BENCHMARK(BM_WritingCallsEmbeddedSharedTable)->Threads(1)->Threads(4)->Threads(16)->UseRealTime();

}  // namespace
