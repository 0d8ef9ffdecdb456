// The load-time refill of a stored record: a page of about 120 KB holding 200 data-set
// elements (150 with stored values, 50 whose nodes take their values from a related domain)
// and 50 domain-bound elements refreshed at load (`live` "1", patient and residence keys),
// for one visit of a database of 200 visits with two stored values per node and visit:
//   - RefillElements: the page loaded into the HTML document, the refill in one reading call
//     (its data source from telv.config.xml, one registry, the value documents, the writes),
//     the outer HTML taken back;
//   - against the same work done directly: the page parsed and serialised by the same HTML
//     engine, and the SQLite statements of one refill, as the embedded provider ran them
//     (captured from its connection, with their values), each prepared, stepped with its
//     columns read as text, and finalized, as statements new to the database are. Goal: within
//     1.5 times.
// The counters give the statements of one refill and their number per element.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/call_and_statement.h"
#include "bench/raw_blobs.h"
#include "bench/record_page.h"
#include "emrdoc/live_data_refresh.h"
#include "foundation/calls/call_scope.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/xml/xhtml_document.h"
#include "platform/com/scoped_bstr.h"
#include "platform/html/document.h"
#include "platform/text/unicode.h"
#include "suite/testing/sibling_doubles.h"

namespace {

using korvalis::bench::CheckSqlite;
using korvalis::bench::Exec;

constexpr int kDataSetElements = 200;
constexpr int kDomainNodes = 50;  // of the data-set elements, those with a related domain
constexpr int kDomainElements = 50;
constexpr int kVisits = 200;
constexpr std::size_t kPageBytes = 120 * 1024;

const char* const kDomainKeys[] = {
    "patient.name",      "patient.sex",       "patient.age",           "patient.birthday",
    "patient.nation",    "patient.marriage",  "patient.career",        "patient.address",
    "residence.in.time", "residence.in.dept", "residence.now.dept",    "residence.now.bed",
    "residence.event",   "residence.serial",  "residence.insurance.no"};
constexpr int kKeyCount = sizeof(kDomainKeys) / sizeof(kDomainKeys[0]);

std::string Node(int i) {
  std::string id = std::to_string(i);
  return "STD_DE_B" + std::string(3 - id.size(), '0') + id;
}

void FillHospital(sqlite3* db) {
  Exec(db,
       "INSERT INTO TELV_PATIENT (ID, NAME, SEX, BIRTHDAY, NATION, MARRIAGE, CAREER, ADDRESS) "
       "VALUES ('P1', '张三', 1, '1970-05-20 00:00:00', '汉族', '1', '职员', '示例市示例路1号')");
  Exec(db,
       "INSERT INTO TELV_VISIT_RECORD (PATIENT_ID, EVENT_NO, SERIAL_NO, IN_TIME, IN_DEPT_ID, "
       "IN_DEPT_NAME, NOW_DEPT_ID, NOW_DEPT_NAME, ROOM, BED_NO, RESIDENCE_FLAG, EMR_STATUS, "
       "INSURANCE_NO) VALUES ('P1', 'E1', 2, '2026-12-01 08:30:00', '0101', '心血管内科', "
       "'0101', '心血管内科', '12病房', '12', 0, 2, 'YB0001')");
  Exec(db,
       "INSERT INTO TELV_STD_DS (ID, NAME, DOC_TYPE, STATUS) VALUES ('DS_BENCH', '入院', '0', 1)");
  for (int k = 0; k < kKeyCount; ++k) {
    Exec(db, "INSERT INTO TELV_EMR_DOMAIN (ID, TYPE, DOMAIN) VALUES (" + std::to_string(k + 1) +
                 ", " + (kDomainKeys[k][0] == 'p' ? "0" : "1") + ", '" + kDomainKeys[k] + "')");
  }
  sqlite3_stmt* value = nullptr;
  CheckSqlite(sqlite3_prepare_v2(db,
                                 "INSERT INTO TELV_STD_PATIENT_INFO_DOMAIN (PATIENT_INFO_NODE_ID, "
                                 "PATIENT_ID, EVENT_NO, INFO_VALUE, INFO_CODE, CREATE_TIME) "
                                 "VALUES (?1, ?2, ?3, ?4, ?5, ?6)",
                                 -1, &value, nullptr),
              db);
  for (int i = 0; i < kDataSetElements; ++i) {
    const std::string node = Node(i);
    const bool domain = i < kDomainNodes;
    Exec(db,
         "INSERT INTO TELV_STD_PATIENT_INFO_NODE (PATIENT_INFO_NODE_ID, NAME, DS_ID, "
         "RELATE_DOMAIN_ID, OLD_DOMAIN_ONCE, STATUS) VALUES ('" +
             node + "', '项目', 'DS_BENCH', " +
             (domain ? std::to_string(i % kKeyCount + 1) : std::string("NULL")) + ", '0', 1)");
    for (int visit = 0; visit < kVisits; ++visit) {
      const std::string patient = visit == 0 ? "P1" : "P" + std::to_string(visit + 1);
      for (const char* time : {"2026-12-01 08:00:00", "2026-12-02 08:00:00"}) {
        const std::string text = "值" + std::to_string(i) + "-" + time;
        sqlite3_bind_text(value, 1, node.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(value, 2, patient.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(value, 3, "E1", -1, SQLITE_STATIC);
        sqlite3_bind_text(value, 4, text.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(value, 5, "C", -1, SQLITE_STATIC);
        sqlite3_bind_text(value, 6, time, -1, SQLITE_STATIC);
        CheckSqlite(sqlite3_step(value), db);
        sqlite3_reset(value);
      }
    }
  }
  sqlite3_finalize(value);
}

const korvalis::bench::BenchDatabase& TheHospital() {
  static const korvalis::bench::BenchDatabase hospital("korvalis-refill", FillHospital);
  return hospital;
}

// The record page: a table of the bound elements among paragraphs of text, about kPageBytes
// of UTF-8.
const std::u16string& ThePage() {
  static const std::u16string page = [] {
    std::string html =
        "<HTML XMLNS:CUSTOMTAG><HEAD><STYLE id=system_default_css>BODY { FONT-SIZE: 10.5pt }"
        "</STYLE><TITLE>入院记录</TITLE></HEAD><BODY><TABLE border=1><TBODY>";
    for (int i = 0; i < kDataSetElements + kDomainElements; ++i) {
      html += "<TR><TD><CUSTOMTAG:LABEL>项目" + std::to_string(i) + "：</CUSTOMTAG:LABEL>";
      if (i < kDataSetElements) {
        html += "<SPAN class=de id=" + Node(i) + " prompt=\"项目/未填\">旧值</SPAN>";
      } else {
        const int k = i % kKeyCount;
        html += std::string("<SPAN class=de id=d") + std::to_string(i) +
                " type=" + (kDomainKeys[k][0] == 'p' ? "0" : "1") + " value=" + kDomainKeys[k] +
                " live=1>旧值</SPAN>";
      }
      html += "<TD>说明</TD></TR>";
    }
    html += "</TBODY></TABLE>";
    korvalis::bench::FinishWithParagraphs(html, kPageBytes);
    return korvalis::FromUtf8(html);
  }();
  return page;
}

// The SQLite statements the embedded provider runs while `capture` is set, with their values.
std::vector<std::string>* capture = nullptr;

int TraceStatement(unsigned, void*, void* statement, void*) {
  if (capture == nullptr) return 0;
  char* sql = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(statement));
  if (sql != nullptr && sql[0] != '-') capture->push_back(sql);  // "--": a trigger's
  sqlite3_free(sql);
  return 0;
}

int TraceConnection(sqlite3* db, const char**, const sqlite3_api_routines*) {
  sqlite3_trace_v2(db, SQLITE_TRACE_STMT, TraceStatement, nullptr);
  return SQLITE_OK;
}

// One load-time refill of the page, as the record store does it in one call.
std::u16string RefillPage() {
  CCallScope call(CCallScope::Mode::kReading);
  std::u16string html;
  {
    CEMRDataSource data_source;
    XHTMLDocument document;
    document.Load(ThePage());
    document.WaitForComplete();
    korvalis::com::ScopedBstr patient(u"P1"), event(u"E1");
    RefillDataElements(&data_source, document, patient.get(), event.get(), false, true, 0);
    document.GetHtml(html);
  }
  call.Commit();
  return html;
}

// The statements of one warm refill (the process-wide tables already filled).
const std::vector<std::string>& RefillStatements() {
  static const std::vector<std::string> statements = [] {
    RefillPage();
    std::vector<std::string> captured;
    capture = &captured;
    RefillPage();
    capture = nullptr;
    return captured;
  }();
  return statements;
}

void BM_RefillElements(benchmark::State& state) {
  TheHospital();
  sqlite3_auto_extension(reinterpret_cast<void (*)()>(TraceConnection));
  korvalis::suite::testing::SiblingDoubles doubles;
  doubles.Answer(IID_IDateTimeService, 7, u"2026-12-07 09:30:00");
  const std::size_t statements = RefillStatements().size();
  std::u16string html = RefillPage();
  if (html.find(u"值199-2026-12-02 08:00:00") == std::u16string::npos ||
      html.find(u"心血管内科") == std::u16string::npos) {
    state.SkipWithError("the page was not refilled");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(RefillPage());
  state.SetItemsProcessed(state.iterations() * (kDataSetElements + kDomainElements));
  state.counters["statements"] = static_cast<double>(statements);
  state.counters["statements_per_element"] =
      static_cast<double>(statements) / (kDataSetElements + kDomainElements);
  state.counters["page_kb"] = static_cast<double>(korvalis::ToUtf8(ThePage()).size()) / 1024;
}

void BM_RefillDirect(benchmark::State& state) {
  TheHospital();
  sqlite3_auto_extension(reinterpret_cast<void (*)()>(TraceConnection));
  std::vector<std::string> statements;
  {
    korvalis::suite::testing::SiblingDoubles doubles;
    doubles.Answer(IID_IDateTimeService, 7, u"2026-12-07 09:30:00");
    statements = RefillStatements();
  }
  sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(TraceConnection));
  sqlite3* db = korvalis::bench::OpenAsProvider(TheHospital().path());
  for (auto _ : state) {
    korvalis::html::Document page;
    page.Load(ThePage());
    for (const std::string& sql : statements) korvalis::bench::StepStatement(db, sql);
    benchmark::DoNotOptimize(page.documentElement()->OuterHtml());
  }
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations() * (kDataSetElements + kDomainElements));
  state.counters["statements"] = static_cast<double>(statements.size());
}

BENCHMARK(BM_RefillElements)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefillDirect)->Unit(benchmark::kMillisecond);

}  // namespace
