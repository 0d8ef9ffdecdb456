// Translation of a typical statement of the system by the Oracle front end: uncached (parse,
// rewrite, print) and cached (looked up by its text).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include "platform/db/embedded_database.h"
#include "platform/db/script_runner.h"
#include "platform/db/sql_translator.h"

namespace {

using namespace korvalis::db;

constexpr char kSchema[] = R"(
CREATE TABLE TELV_PATIENT (ID VARCHAR2(20) PRIMARY KEY, NAME VARCHAR2(40), SEX VARCHAR2(2),
  BIRTHDAY DATE, CASE_NO VARCHAR2(20));
CREATE TABLE TELV_VISIT_RECORD (PATIENT_ID VARCHAR2(20), EVENT_NO VARCHAR2(20), IN_TIME DATE,
  OUT_TIME DATE, IN_DEPT_NAME VARCHAR2(40), NOW_DEPT_ID VARCHAR2(10), NOW_DEPT_NAME VARCHAR2(40),
  OUT_DEPT_NAME VARCHAR2(40), EMR_STATUS NUMBER(2), COMMIT_TIME DATE, ROLLBACK_TIME DATE,
  ARCHIVE_TIME DATE, FORBID_FLAG VARCHAR2(1), BED_NO VARCHAR2(10), DOCTOR_NAME VARCHAR2(40),
  REG_DOCTOR_ID VARCHAR2(20), CODE_STATUS NUMBER(2), CODE_DATE DATE, ROLLBACK_NOTES VARCHAR2(200),
  ARCHIVER VARCHAR2(40), ARCHIVE_NOTES VARCHAR2(200), EVENT_STATUS NUMBER(2),
  ROLLBACKER VARCHAR2(40), RECTIFY_STATUS NUMBER(2), COMMITER VARCHAR2(40),
  COMMIT_NOTES VARCHAR2(200), ADMISSION_DEPT_TIME DATE, PAPER_EMR_STATUS VARCHAR2(2));
CREATE TABLE TELV_EMR_CONTENT (ID VARCHAR2(40) PRIMARY KEY, PATIENT_ID VARCHAR2(20),
  EVENT_NO VARCHAR2(20), STATUS NUMBER(2));
)";

// A patient search as the archive bodies write it: 30 lines once laid out.
constexpr char kStatement[] =
    "SELECT/*+rule*/ NAME, SEX, PATIENT_ID, EVENT_NO, BIRTHDAY, IN_TIME, OUT_TIME, IN_DEPT_NAME, "
    "NOW_DEPT_NAME, OUT_DEPT_NAME, EMR_STATUS, COMMIT_TIME, ROLLBACK_TIME, ARCHIVE_TIME, "
    "FORBID_FLAG, BED_NO, DOCTOR_NAME, REG_DOCTOR_ID, CODE_STATUS, CODE_DATE, ROLLBACK_NOTES, "
    "TRUNC(to_date('2009-01-05 10:00:00', 'YYYY-MM-DD HH24:MI:SS') - OUT_TIME), "
    "TRUNC(to_date('2009-01-05 10:00:00', 'YYYY-MM-DD HH24:MI:SS') - COMMIT_TIME), "
    "TRUNC(ARCHIVE_TIME - OUT_TIME), ARCHIVER, ARCHIVE_NOTES, EVENT_STATUS, "
    "DECODE(V.ROLLBACKER, NULL, 1, 2) COMMIT_TIMES, RECTIFY_STATUS, V.COMMITER, V.COMMIT_NOTES, "
    "(SELECT 1 FROM TELV_EMR_CONTENT A WHERE A.PATIENT_ID = V.PATIENT_ID AND A.EVENT_NO = "
    "V.EVENT_NO AND A.STATUS = 1 AND ROWNUM = 1), ADMISSION_DEPT_TIME, CASE_NO "
    "FROM TELV_VISIT_RECORD V, TELV_PATIENT W WHERE V.PATIENT_ID = W.ID AND "
    "NOW_DEPT_ID = '0101' AND IN_TIME >= to_date('2008-01-01', 'YYYY-MM-DD HH24:MI:SS') AND "
    "IN_TIME <= to_date('2009-01-01', 'YYYY-MM-DD HH24:MI:SS') AND OUT_TIME is null AND "
    "EMR_STATUS IN (0, 1) AND PAPER_EMR_STATUS = '1' AND  1=1 ORDER BY COMMIT_TIME,BED_NO";

// The catalog of kSchema, built on a raw handle that the caller closes.
std::shared_ptr<const Catalog> SchemaCatalog(sqlite3** db) {
  sqlite3_open(":memory:", db);
  sqlite3_exec(*db, CatalogBootstrapSql(), nullptr, nullptr, nullptr);
  auto bare = Catalog::Load(*db);
  for (const auto& s : SplitScript(kSchema)) {
    for (const auto& stmt : Translate(s.text, *bare).statements) {
      sqlite3_exec(*db, stmt.c_str(), nullptr, nullptr, nullptr);
    }
  }
  return Catalog::Load(*db);
}

void BM_TranslateUncached(benchmark::State& state) {
  sqlite3* db = nullptr;
  auto catalog = SchemaCatalog(&db);
  for (auto _ : state) {
    Translation t = Translate(kStatement, *catalog);
    benchmark::DoNotOptimize(t.statements.data());
  }
  sqlite3_close(db);
}
BENCHMARK(BM_TranslateUncached);

// A script of two statements with a run of `state.range(0)` blank lines between them.
void BM_SplitScriptBlankLines(benchmark::State& state) {
  const std::string script =
      "SELECT 1 FROM DUAL;\n" + std::string(static_cast<size_t>(state.range(0)), '\n') +
      "SELECT 2 FROM DUAL;\n";
  for (auto _ : state) benchmark::DoNotOptimize(SplitScript(script).size());
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SplitScriptBlankLines)->RangeMultiplier(8)->Range(1 << 14, 1 << 17)->Complexity();

void BM_TranslateCached(benchmark::State& state) {
  sqlite3* db = nullptr;
  SchemaCatalog(&db);
  EmbeddedDatabase database(":memory:");
  database.Translate(kStatement, db);
  for (auto _ : state) {
    auto t = database.Translate(kStatement, db);
    benchmark::DoNotOptimize(t.get());
  }
  sqlite3_close(db);
}
BENCHMARK(BM_TranslateCached);

}  // namespace
