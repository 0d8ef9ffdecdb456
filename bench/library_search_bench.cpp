// Raw side: the statement the call runs, translated once, prepared once on raw SQLite with the
// provider's settings and text-search functions, one transaction a run, every column read as text.
//
// The record library's full-text search over 10,000 archived documents of about 20 KB each
// (Chinese clinical text with Latin drug names and abbreviations; 500 patients, one archived
// visit and 20 documents each): the first page (hits 1 to 20 with the total in the sentinel)
// of EMRLibrary.FullSearch through IDispatch::Invoke, the whole call (method frame, data source
// from telv.config.xml, statement, text search, result document), against the same statement,
// translated once, on raw SQLite with the same text-search functions. Goal: within 1.2 times.
//   - a query of a diagnosis and a drug (about one document in 80);
//   - a word of every document, where the total counts all 10,000.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <random>
#include <string>

#include "archive/library_search.h"
#include "bench/call_and_statement.h"
#include "classes/emr_library_class.h"
#include "foundation/data/db_type.h"
#include "interface/emr_call_scope.h"
#include "platform/db/catalog.h"
#include "platform/db/sql_translator.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::bench::CheckSqlite;

constexpr int kPatients = 500;
constexpr int kDocumentsPerPatient = 20;
constexpr size_t kDocumentBytes = 20 * 1024;

const char* const kDiagnoses[] = {
    "社区获得性肺炎", "急性支气管炎", "慢性阻塞性肺疾病", "支气管哮喘", "肺结核",
    "冠心病",         "心房颤动",     "高血压病",         "2型糖尿病",  "急性胃肠炎"};
const char* const kDrugs[] = {"ceftriaxone", "amoxicillin", "azithromycin", "levofloxacin",
                              "metformin",   "aspirin",     "atorvastatin", "omeprazole"};
// Sentences of every kind of record; none names a diagnosis or a drug.
const char* const kSentences[] = {"患者神志清楚, 精神可, 饮食睡眠尚可。",
                                  "今日查房, 患者一般情况好, 无明显不适。",
                                  "查体: T 36.8℃, P 78次/分, R 18次/分, BP 126/78mmHg。",
                                  "双肺呼吸音清, 未闻及干湿啰音。",
                                  "心律齐, 各瓣膜听诊区未闻及病理性杂音。",
                                  "腹软, 无压痛及反跳痛, 肝脾肋下未触及。",
                                  "复查血常规: WBC 6.2×10^9/L, CRP 4 mg/L。",
                                  "上级医师查房后指示: 继续当前治疗, 注意观察病情变化。",
                                  "向患者及家属交代病情, 表示理解。",
                                  "ECG: 窦性心律, 大致正常心电图。",
                                  "胸部 CT 未见明显异常。",
                                  "嘱患者注意休息, 清淡饮食, 适当活动。"};

// Deterministic text: the same documents on every machine. The head names the document's
// diagnosis and drug; the rest is sentences of every record.
std::string Document(std::mt19937& random, int number) {
  std::string text = std::string("诊断: ") + kDiagnoses[number % 10] + "。予 " +
                     kDrugs[number / 10 % 8] + " 治疗。";
  std::uniform_int_distribution<size_t> sentence(0, std::size(kSentences) - 1);
  while (text.size() < kDocumentBytes) text += kSentences[sentence(random)];
  return text;
}

void FillLibrary(sqlite3* db) {
  sqlite3_stmt* patient = nullptr;
  sqlite3_stmt* visit = nullptr;
  sqlite3_stmt* record = nullptr;
  sqlite3_stmt* text = nullptr;
  CheckSqlite(sqlite3_prepare_v2(db,
                                 "INSERT INTO TELV_PATIENT (ID, NAME, SEX, BIRTHDAY, CASE_NO) "
                                 "VALUES (?1, ?2, 1, '1960-05-01 00:00:00', ?1)",
                                 -1, &patient, nullptr),
              db);
  CheckSqlite(sqlite3_prepare_v2(
                  db,
                  "INSERT INTO TELV_VISIT_RECORD (PATIENT_ID, EVENT_NO, SERIAL_NO, IN_TIME, "
                  "IN_DEPT_ID, IN_DEPT_NAME, NOW_DEPT_ID, NOW_DEPT_NAME, OUT_TIME, OUT_DEPT_ID, "
                  "OUT_DEPT_NAME, RESIDENCE_FLAG, EVENT_STATUS, EMR_STATUS, FORBID_FLAG) VALUES "
                  "(?1, ?2, 1, '2026-03-01 09:00:00', '0102', '呼吸内科', '0102', '呼吸内科', "
                  "'2026-03-10 10:00:00', '0102', '呼吸内科', 2, 1, 3, '0')",
                  -1, &visit, nullptr),
              db);
  CheckSqlite(sqlite3_prepare_v2(db,
                                 "INSERT INTO TELV_EMR_CONTENT (ID, PATIENT_ID, EVENT_NO, "
                                 "CATALOG_ID, TEMPLATE_ID, EMR_TYPE, TITLE, CREATE_DATE, STATUS) "
                                 "VALUES (?1, ?2, ?3, 2, 2, 2, '病程记录', "
                                 "'2026-03-02 10:00:00', 1)",
                                 -1, &record, nullptr),
              db);
  CheckSqlite(
      sqlite3_prepare_v2(db, "INSERT INTO MOLB_XML_TEXT (EMR_ID, FULL_TEXT) VALUES (?1, ?2)", -1,
                         &text, nullptr),
      db);
  std::mt19937 random(20091231);
  for (int p = 0; p < kPatients; ++p) {
    const std::string id = "P" + std::to_string(p);
    const std::string event_no = "E" + std::to_string(p);
    const std::string name = "病人" + std::to_string(p);
    sqlite3_bind_text(patient, 1, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(patient, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    CheckSqlite(sqlite3_step(patient), db);
    sqlite3_reset(patient);
    sqlite3_bind_text(visit, 1, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(visit, 2, event_no.c_str(), -1, SQLITE_TRANSIENT);
    CheckSqlite(sqlite3_step(visit), db);
    sqlite3_reset(visit);
    for (int d = 0; d < kDocumentsPerPatient; ++d) {
      const int number = p * kDocumentsPerPatient + d;
      const std::string emr_id = "R" + std::to_string(number);
      sqlite3_bind_text(record, 1, emr_id.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(record, 2, id.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(record, 3, event_no.c_str(), -1, SQLITE_TRANSIENT);
      CheckSqlite(sqlite3_step(record), db);
      sqlite3_reset(record);
      const std::string document = Document(random, number);
      sqlite3_bind_text(text, 1, emr_id.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(text, 2, document.c_str(), -1, SQLITE_TRANSIENT);
      CheckSqlite(sqlite3_step(text), db);
      sqlite3_reset(text);
    }
  }
  for (sqlite3_stmt* statement : {patient, visit, record, text}) sqlite3_finalize(statement);
}

// The library's database; its directory is the process's current directory.
const korvalis::bench::BenchDatabase& TheLibrary() {
  static const korvalis::bench::BenchDatabase library("korvalis-library", FillLibrary);
  return library;
}

constexpr char16_t kDiagnosisAndDrug[] = u"肺炎 & ceftriaxone";
constexpr char16_t kEveryDocument[] = u"查房";

void FirstPageInvoke(benchmark::State& state, const std::u16string& what) {
  TheLibrary();
  korvalis::frame::InstallEMRCallScope();
  IDispatch* library = nullptr;
  if (CreateEMRLibrary(nullptr, IID_IDispatch, reinterpret_cast<void**>(&library)) != S_OK) {
    state.SkipWithError("no EMRLibrary object");
    return;
  }
  korvalis::bench::InvokeList(state, library, 1, {what, u"1", u"20"}, u"<emr ", "rows");
  library->Release();
}

void FirstPageRawSqlite(benchmark::State& state, const std::u16string& what) {
  korvalis::bench::RunRawStatement(
      state, TheLibrary().path(),
      [&what](sqlite3* db) {
        CDBOracle oracle;
        const std::u16string statement = korvalis::archive::SearchPageSql(
            oracle, korvalis::archive::FullSearchQuery(what), 1, 20);
        return korvalis::db::Translate(korvalis::ToUtf8(statement),
                                       *korvalis::db::Catalog::Load(db))
            .statements.back();
      },
      true, "rows");
}

void BM_FullSearchDiagnosisAndDrugInvoke(benchmark::State& state) {
  FirstPageInvoke(state, kDiagnosisAndDrug);
}
void BM_FullSearchDiagnosisAndDrugRawSqlite(benchmark::State& state) {
  FirstPageRawSqlite(state, kDiagnosisAndDrug);
}
void BM_FullSearchEveryDocumentInvoke(benchmark::State& state) {
  FirstPageInvoke(state, kEveryDocument);
}
void BM_FullSearchEveryDocumentRawSqlite(benchmark::State& state) {
  FirstPageRawSqlite(state, kEveryDocument);
}

BENCHMARK(BM_FullSearchDiagnosisAndDrugInvoke)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullSearchDiagnosisAndDrugRawSqlite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullSearchEveryDocumentInvoke)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullSearchEveryDocumentRawSqlite)->Unit(benchmark::kMillisecond);

}  // namespace
