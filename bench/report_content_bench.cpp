// Raw side: one SQLite connection with the provider's settings, the statement prepared once,
// one transaction a run.
//
// An old-format report over a ward of 10,000 in-hospital patients (one row each: name, visit
// number, bed, doctor, admission time), and over a ward of 20 at one thread and at eight, its
// department filled from the caller's identity and its rows turned into an HTML table by its
// style sheet:
//   - EMRReport.GetReportContent through IDispatch::Invoke, the whole call (method frame, data
//     source from telv.config.xml, the definition's columns, parameters, statement, data
//     document, style sheet, transformation, compressed text form);
//   - the same statement, translated once, stepped on raw SQLite into a libxml2 document,
//     transformed by libxslt with the same style sheet, and the page compressed by zlib in the
//     same form (UTF-16 text with its terminator, then its length), all in the calling process.
//     Goal: the call within 1.5 times of it for the large ward, and for the small one within 2
//     times at one thread and at eight, where the call's transformation runs in the worker.
//     Both sides must answer the same bytes: the first call of each ward checks it.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>
#include <sqlite3.h>
#include <zlib.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "bench/call_and_statement.h"
#include "classes/emr_report_class.h"
#include "foundation/data/emr_data_source.h"
#include "interface/emr_call_scope.h"
#include "platform/com/scoped_bstr.h"
#include "platform/db/catalog.h"
#include "platform/db/sql_translator.h"
#include "platform/text/unicode.h"
#include "report/emr_report.h"

namespace {

using korvalis::bench::CheckSqlite;

// The wards by their department: 10,000 patients in 0101, 20 in 0102.
constexpr int kPatients = 10000;
constexpr int kSmallWard = 20;
constexpr LONG kReportId = 1;
constexpr DISPID kGetReportContent = 23;

constexpr char16_t kStatement[] =
    u"SELECT B.NAME, V.EVENT_NO, V.BED_NO, V.DOCTOR_NAME, TO_CHAR(V.IN_TIME, 'YYYY-MM-DD "
    u"HH24:MI') FROM TELV_VISIT_RECORD V, TELV_PATIENT B WHERE V.PATIENT_ID = B.ID AND "
    u"V.OUT_TIME IS NULL AND V.NOW_DEPT_ID = {dept} ORDER BY V.BED_NO";
constexpr char16_t kRowNames[] = u"patient,event_no,bed,doctor,in_time";
constexpr char16_t kParameters[] =
    u"<?xml version='1.0' ?><root><param code=\"dept\" type=\"STRING\" autoreplace=\"2\">0101"
    u"</param></root>";
constexpr char kStyleSheet[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n"
    "<xsl:output method=\"html\" encoding=\"UTF-8\"/>\n"
    "<xsl:template match=\"/root\">\n"
    "<HTML><BODY>\n<H2>科室在院病人一览</H2>\n<TABLE border=\"1\">\n"
    "<TR><TH>姓名</TH><TH>住院号</TH><TH>床号</TH><TH>主管医生</TH><TH>入院时间</TH></TR>\n"
    "<xsl:for-each select=\"patient\">\n"
    "<TR><TD><xsl:value-of select=\".\"/></TD><TD><xsl:value-of select=\"@event_no\"/></TD>"
    "<TD><xsl:value-of select=\"@bed\"/></TD><TD><xsl:value-of select=\"@doctor\"/></TD>"
    "<TD><xsl:value-of select=\"@in_time\"/></TD></TR>\n"
    "</xsl:for-each>\n</TABLE>\n</BODY></HTML>\n</xsl:template>\n</xsl:stylesheet>\n";
// The caller, of the ward of `rows` patients.
std::u16string Client(int rows) {
  return rows == kPatients
             ? u"<root><user id='1002'>刘静怡</user><dept id='0101'>心血管内科</dept></root>"
             : u"<root><user id='1002'>刘静怡</user><dept id='0102'>心内二科</dept></root>";
}

// `count` patients of the department `dept`, their identifiers starting with `prefix`.
void FillWard(sqlite3* db, const std::string& prefix, int count, const std::string& dept) {
  sqlite3_stmt* patient = nullptr;
  sqlite3_stmt* visit = nullptr;
  CheckSqlite(sqlite3_prepare_v2(db,
                                 "INSERT INTO TELV_PATIENT (ID, NAME, SEX, BIRTHDAY, CASE_NO) "
                                 "VALUES (?1, ?2, 1, '1960-05-01 00:00:00', ?1)",
                                 -1, &patient, nullptr),
              db);
  CheckSqlite(sqlite3_prepare_v2(
                  db,
                  "INSERT INTO TELV_VISIT_RECORD (PATIENT_ID, EVENT_NO, SERIAL_NO, IN_TIME, "
                  "IN_DEPT_ID, IN_DEPT_NAME, NOW_DEPT_ID, NOW_DEPT_NAME, BED_NO, DOCTOR_NAME, "
                  "REG_DOCTOR_ID, RESIDENCE_FLAG, EVENT_STATUS, EMR_STATUS, FORBID_FLAG, "
                  "PAPER_EMR_STATUS) VALUES (?1, ?2, 1, ?3, ?5, '心血管内科', ?5, "
                  "'心血管内科', ?4, '刘静怡', '1002', 2, 1, 1, '0', 0)",
                  -1, &visit, nullptr),
              db);
  for (int i = 0; i < count; ++i) {
    const std::string id = prefix + std::to_string(i);
    const std::string name = "病人" + std::to_string(i);
    char in_time[32], bed[16];
    std::snprintf(in_time, sizeof in_time, "2026-%02d-%02d 09:00:00", 1 + i % 12, 1 + i % 28);
    std::snprintf(bed, sizeof bed, "%05d", i);
    sqlite3_bind_text(patient, 1, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(patient, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    CheckSqlite(sqlite3_step(patient), db);
    sqlite3_reset(patient);
    sqlite3_bind_text(visit, 1, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(visit, 2, ("E" + std::to_string(i)).c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(visit, 3, in_time, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(visit, 4, bed, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(visit, 5, dept.c_str(), -1, SQLITE_TRANSIENT);
    CheckSqlite(sqlite3_step(visit), db);
    sqlite3_reset(visit);
  }
  sqlite3_finalize(patient);
  sqlite3_finalize(visit);
}

void FillWards(sqlite3* db) {
  FillWard(db, "P", kPatients, "0101");
  FillWard(db, "S", kSmallWard, "0102");
  CheckSqlite(sqlite3_exec(db,
                           "INSERT INTO TELV_REPORT (ID, NAME, CATALOG_ID, SORT, STATUS, "
                           "NEW_FORMAT, SQL_PRO) VALUES (1, '科室在院病人一览', 1, 1, 1, 0, "
                           "'patient,event_no,bed,doctor,in_time')",
                           nullptr, nullptr, nullptr),
              db);
}

// The ward's database, the report's columns stored in their forms by the report's own setters;
// its directory is the process's current directory.
const korvalis::bench::BenchDatabase& TheWard() {
  static const korvalis::bench::BenchDatabase* ward = [] {
    auto* database = new korvalis::bench::BenchDatabase("korvalis-report", FillWards);
    CEMRDataSource data_source;
    korvalis::com::ScopedBstr sql(kStatement), parameters(kParameters),
        style(korvalis::FromUtf8(kStyleSheet));
    CBEMRReport::SetReportSQL(&data_source, kReportId, sql.get());
    CBEMRReport::SetSQLParam(&data_source, kReportId, parameters.get());
    CBEMRReport::SetReportXSLT(&data_source, kReportId, style.get());
    return database;
  }();
  return *ward;
}

std::string Bytes(BSTR bstr) {
  return std::string(reinterpret_cast<const char*>(bstr), SysStringByteLen(bstr));
}

// The page in the compressed text form, from raw SQLite, libxml2, libxslt and zlib.
std::string RawReportContent(sqlite3_stmt* stmt) {
  xmlDocPtr data = xmlNewDoc(BAD_CAST "1.0");
  data->dict = xmlDictCreate();  // names interned once, as a parser does
  xmlNodePtr root = xmlNewDocNode(data, nullptr, BAD_CAST "root", nullptr);
  xmlDocSetRootElement(data, root);
  static const char* const kAttributes[] = {"bed", "doctor", "event_no", "in_time"};
  static const int kColumns[] = {2, 3, 1, 4};  // by attribute name, as the system writes them
  const auto column_text = [stmt](int column) {
    const unsigned char* value = sqlite3_column_text(stmt, column);
    return value == nullptr ? BAD_CAST "" : value;
  };
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    xmlNodePtr row = xmlNewTextChild(root, nullptr, BAD_CAST "patient", column_text(0));
    for (int a = 0; a < 4; ++a) xmlNewProp(row, BAD_CAST kAttributes[a], column_text(kColumns[a]));
  }
  sqlite3_reset(stmt);

  xmlDocPtr style_document = xmlReadMemory(kStyleSheet, static_cast<int>(std::strlen(kStyleSheet)),
                                           nullptr, nullptr, XML_PARSE_NOBLANKS | XML_PARSE_NONET);
  xsltStylesheetPtr style = xsltParseStylesheetDoc(style_document);
  xmlDocPtr result = xsltApplyStylesheet(style, data, nullptr);
  xmlChar* page = nullptr;
  int page_length = 0;
  xsltSaveResultToString(&page, &page_length, result, style);
  std::u16string text = korvalis::FromUtf8(
      std::string_view(reinterpret_cast<const char*>(page), static_cast<std::size_t>(page_length)));
  xmlFree(page);
  xmlFreeDoc(result);
  xsltFreeStylesheet(style);
  xmlFreeDoc(data);

  const uLong plain = static_cast<uLong>((text.size() + 1) * sizeof(char16_t));
  std::string packed(compressBound(plain) + 4, '\0');
  uLongf packed_length = compressBound(plain);
  compress(reinterpret_cast<Bytef*>(packed.data()), &packed_length,
           reinterpret_cast<const Bytef*>(text.c_str()), plain);
  for (int i = 0; i < 4; ++i) packed[packed_length + i] = static_cast<char>(plain >> (8 * i));
  packed.resize(packed_length + 4);
  return packed;
}

std::string TranslatedStatement(sqlite3* db, int rows) {
  std::u16string sql = kStatement;
  sql.replace(sql.find(u"{dept}"), 6, rows == kPatients ? u"'0101'" : u"'0102'");
  return korvalis::db::Translate(korvalis::ToUtf8(sql), *korvalis::db::Catalog::Load(db))
      .statements.back();
}

// Whether the call's answer for the ward of `rows` equals the raw pipeline's.
bool SameAsRaw(BSTR answer, int rows) {
  sqlite3* db = korvalis::bench::OpenAsProvider(TheWard().path());
  bool same;
  {
    const korvalis::bench::PreparedStatements sql(db, {TranslatedStatement(db, rows)});
    same = Bytes(answer) == RawReportContent(sql[0]);
  }
  sqlite3_close(db);
  return same;
}

// range(0): the ward's patients. Each thread calls through an object of its own.
void BM_GetReportContentInvoke(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  static std::once_flag started;
  std::call_once(started, [] {
    TheWard();
    korvalis::frame::InstallEMRCallScope();
  });
  IDispatch* report = nullptr;
  if (CreateEMRReport(nullptr, IID_IDispatch, reinterpret_cast<void**>(&report)) != S_OK) {
    state.SkipWithError("no EMRReport object");
    return;
  }
  VARIANT arguments[3];  // reversed, as DISPPARAMS holds them
  for (VARIANT& argument : arguments) VariantInit(&argument);
  arguments[0].vt = arguments[1].vt = VT_BSTR;
  arguments[0].bstrVal = korvalis::AllocBstr(Client(rows));
  arguments[1].bstrVal = korvalis::AllocBstr(u"");
  arguments[2].vt = VT_I4;
  arguments[2].lVal = kReportId;
  static std::atomic<bool> checked[2];  // once a process for each ward
  for (auto _ : state) {
    VARIANT result;
    if (!korvalis::bench::InvokeMethod(state, report, kGetReportContent, arguments, 3, &result))
      break;
    if (state.thread_index() == 0 && !checked[rows == kPatients].exchange(true)) {
      state.PauseTiming();
      if (!SameAsRaw(result.bstrVal, rows)) {
        state.SkipWithError("the call and the raw pipeline answer different bytes");
      }
      state.ResumeTiming();
    }
    state.counters["bytes"] = static_cast<double>(SysStringByteLen(result.bstrVal));
    VariantClear(&result);
  }
  for (VARIANT& argument : arguments) VariantClear(&argument);
  report->Release();
  state.SetItemsProcessed(static_cast<int64_t>(rows) * state.iterations());
}

// The baseline, all in the calling thread: each thread reads through a connection of its own.
void BM_GetReportContentRaw(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  static std::once_flag started;
  std::call_once(started, [] { TheWard(); });
  sqlite3* db = korvalis::bench::OpenAsProvider(TheWard().path());
  {
    const korvalis::bench::PreparedStatements sql(db, {TranslatedStatement(db, rows)});
    for (auto _ : state) {
      const std::string packed = RawReportContent(sql[0]);
      state.counters["bytes"] = static_cast<double>(packed.size());
    }
  }
  sqlite3_close(db);
  state.SetItemsProcessed(static_cast<int64_t>(rows) * state.iterations());
}

// The large ward at one thread; the small one at one and at eight.
void Wards(benchmark::internal::Benchmark* benchmark) {
  benchmark->Arg(kPatients)->Unit(benchmark::kMillisecond);
}
void SmallWard(benchmark::internal::Benchmark* benchmark) {
  benchmark->Arg(kSmallWard)->Threads(1)->Threads(8)->UseRealTime()->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_GetReportContentInvoke)->Apply(Wards);
BENCHMARK(BM_GetReportContentRaw)->Apply(Wards);
BENCHMARK(BM_GetReportContentInvoke)->Apply(SmallWard);
BENCHMARK(BM_GetReportContentRaw)->Apply(SmallWard);

}  // namespace
