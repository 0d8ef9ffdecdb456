// Raw side: one SQLite connection with the provider's settings, the five statements prepared
// once and run in one transaction a call, as the call runs them.
//
// The summary of one grade task with 2,000 graded visits and 20,000 deductions (ten a visit,
// against five standard items), its graders' opinions, and a style sheet that writes the head,
// the errors and every visit with its deductions as an HTML page:
//   - QCGradeSummary.GenerateSummary through IDispatch::Invoke, the whole call (method frame,
//     data source from telv.config.xml, the template's XSL, the five statements, the summary
//     data document, the transformation);
//   - the same five statements, translated once, stepped on raw SQLite into a libxml2 document
//     built node by node (each deduction put under its visit through a map), transformed by
//     libxslt with the same style sheet. Goal: the call within 1.5 times of it. Both sides must
//     answer the same page: the first call checks it.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>
#include <sqlite3.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/call_and_statement.h"
#include "classes/qc_grade_summary_class.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/xml/xml_property.h"
#include "interface/emr_call_scope.h"
#include "platform/com/scoped_bstr.h"
#include "platform/db/catalog.h"
#include "platform/db/sql_translator.h"
#include "platform/text/unicode.h"
#include "report/qc_grade_summary.h"
#include "report/summary_statements.h"

namespace {

using korvalis::bench::CheckSqlite;

constexpr int kVisits = 2000;
constexpr int kItemsPerVisit = 10;
constexpr DISPID kGenerateSummary = 3;
constexpr char kTaskId[] = "7f1d2c3b-0001-4a5b-8c6d-000000000001";
constexpr char16_t kCondition[] =
    u"<root><task_id>7f1d2c3b-0001-4a5b-8c6d-000000000001</task_id></root>";

constexpr char kStyleSheet[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n"
    "<xsl:output method=\"html\" encoding=\"UTF-8\"/>\n"
    "<xsl:template match=\"/root\">\n"
    "<HTML><BODY>\n<H2><xsl:value-of select=\"head/@date\"/>环节质控总结</H2>\n"
    "<P>抽查病历 <xsl:value-of select=\"head/@emr_count\"/> 份: 甲级 "
    "<xsl:value-of select=\"head/@fst_count\"/> 份, 乙级 <xsl:value-of select=\"head/@snd_count\"/>"
    " 份, 丙级 <xsl:value-of select=\"head/@thd_count\"/> 份。</P>\n"
    "<P><xsl:value-of select=\"comment\"/></P><P><xsl:value-of select=\"suggest\"/></P>\n"
    "<TABLE border=\"1\"><xsl:for-each select=\"error_list/error_item\">"
    "<TR><TD><xsl:value-of select=\"@code\"/></TD><TD><xsl:value-of select=\".\"/></TD>"
    "<TD><xsl:value-of select=\"@standard_count\"/></TD></TR></xsl:for-each></TABLE>\n"
    "<TABLE border=\"1\"><xsl:for-each select=\"patient\">"
    "<TR><TD><xsl:value-of select=\"@name\"/></TD><TD><xsl:value-of select=\"@event_no\"/></TD>"
    "<TD><xsl:value-of select=\"@score\"/></TD><TD><xsl:value-of select=\"@level\"/></TD>"
    "<TD><xsl:value-of select=\"@main_diagnosis\"/></TD><TD><xsl:value-of select=\"@doctors\"/>"
    "</TD><TD><xsl:value-of select=\"@patient_age\"/></TD><TD><xsl:value-of "
    "select=\"@grade_date\"/>"
    "</TD><TD><xsl:for-each select=\"grade_item\"><P><xsl:value-of select=\"@code\"/> "
    "<xsl:value-of select=\"@deduct\"/> <xsl:value-of select=\".\"/></P></xsl:for-each></TD></TR>"
    "</xsl:for-each></TABLE>\n</BODY></HTML>\n</xsl:template>\n</xsl:stylesheet>\n";

void Run(sqlite3* db, const std::string& sql) {
  CheckSqlite(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db);
}

void FillTask(sqlite3* db) {
  Run(db, std::string("INSERT INTO PEV_GRADE_TASK (ID, TITLE, PHASE_TYPE, VALID) VALUES ('") +
              kTaskId + "', '心血管内科环节质控', 1, 1)");
  Run(db, std::string("INSERT INTO PEV_GRADE_TASK_SUMMARIZE (TASK_ID, USER_ID, OPINION, "
                      "SUGGESTION) VALUES ('") +
              kTaskId + "', '9002', '书写基本及时', '加强时限管理')");
  for (int s = 1; s <= 5; ++s) {
    Run(db,
        "INSERT INTO PEV_STANDARD_ITEM (ID, STANDARD, TYPE_VETO, MAIN_GRADE_FLAG, CODE) "
        "VALUES (" +
            std::to_string(s) + ", '评分标准" + std::to_string(s) + "', " + (s == 5 ? "3" : "1") +
            ", '" + (s % 2 == 0 ? "1" : "0") + "', 'SX00" + std::to_string(s) + "')");
  }
  const char* const statements[] = {
      "INSERT INTO TELV_PATIENT (ID, NAME, SEX, BIRTHDAY, NATION) VALUES (?1, ?2, ?3, "
      "'1970-03-01 00:00:00', '汉族')",
      "INSERT INTO TELV_VISIT_RECORD (PATIENT_ID, EVENT_NO, SERIAL_NO, NOW_DEPT_ID, "
      "NOW_DEPT_NAME, BED_NO, DOCTOR_NAME) VALUES (?1, ?2, 1, '0101', '心血管内科', ?4, '刘静怡')",
      "INSERT INTO PEV_GRADE_PATIENT (TASK_ID, PATIENT_ID, EVENT_NO, STATUS, SCORE, CLASS, "
      "GRADE_DATE) VALUES ('7f1d2c3b-0001-4a5b-8c6d-000000000001', ?1, ?2, 2, 90, ?3, ?5)",
      "INSERT INTO TELV_INPATIENT_HEADER_DIAG (PATIENT_ID, EVENT_NO, DIAG_TYPE, SUB_ID, ICD_NAME) "
      "VALUES (?1, ?2, 3, 1, '急性心肌梗死')",
      "INSERT INTO TELV_INPATIENT_HEADER_DOCTOR (PATIENT_ID, EVENT_NO, CHIEF_PHYSICIAN, "
      "VISISTING_PHYSICIAN) VALUES (?1, ?2, '王主任', '刘静怡')"};
  std::vector<sqlite3_stmt*> inserts;
  for (const char* sql : statements) {
    sqlite3_stmt* stmt = nullptr;
    CheckSqlite(sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr), db);
    inserts.push_back(stmt);
  }
  sqlite3_stmt* item = nullptr;
  CheckSqlite(
      sqlite3_prepare_v2(db,
                         "INSERT INTO PEV_GRADE_ITEM (TASK_ID, PATIENT_ID, EVENT_NO, "
                         "STANDARD_ID, CONTENT, DEDUCT, SERIAL) VALUES "
                         "('7f1d2c3b-0001-4a5b-8c6d-000000000001', ?1, ?2, ?3, ?4, 0.5, ?5)",
                         -1, &item, nullptr),
      db);
  for (int v = 0; v < kVisits; ++v) {
    const std::string patient = "P" + std::to_string(v), event = "E" + std::to_string(v);
    const std::string name = "病人" + std::to_string(v);
    char bed[16], graded[32];
    std::snprintf(bed, sizeof bed, "%04d", v);
    std::snprintf(graded, sizeof graded, "2026-12-%02d %02d:%02d:00", 1 + v % 28, v % 24, v % 60);
    for (sqlite3_stmt* stmt : inserts) {
      sqlite3_bind_text(stmt, 1, patient.c_str(), -1, SQLITE_TRANSIENT);
      if (sqlite3_bind_parameter_count(stmt) >= 2) {
        sqlite3_bind_text(stmt, 2, stmt == inserts[0] ? name.c_str() : event.c_str(), -1,
                          SQLITE_TRANSIENT);
      }
      if (sqlite3_bind_parameter_count(stmt) >= 3) sqlite3_bind_int(stmt, 3, 1 + v % 3);
      if (sqlite3_bind_parameter_count(stmt) >= 4) {
        sqlite3_bind_text(stmt, 4, bed, -1, SQLITE_TRANSIENT);
      }
      if (sqlite3_bind_parameter_count(stmt) >= 5) {
        sqlite3_bind_text(stmt, 5, graded, -1, SQLITE_TRANSIENT);
      }
      CheckSqlite(sqlite3_step(stmt), db);
      sqlite3_reset(stmt);
      sqlite3_clear_bindings(stmt);
    }
    for (int i = 1; i <= kItemsPerVisit; ++i) {
      const std::string standard = std::to_string(1 + (v + i) % 5);
      const std::string content = "第" + std::to_string(i) + "处书写缺陷";
      sqlite3_bind_text(item, 1, patient.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(item, 2, event.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(item, 3, standard.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(item, 4, content.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(item, 5, i);
      CheckSqlite(sqlite3_step(item), db);
      sqlite3_reset(item);
    }
  }
  for (sqlite3_stmt* stmt : inserts) sqlite3_finalize(stmt);
  sqlite3_finalize(item);
  Run(db, "INSERT INTO PEV_SUMMARY_TEMPLATE (ID, NAME, STATUS, TYPE) VALUES (1, '环节', 1, 1)");
}

// The task's database with the template's XSL stored by its own setter; its directory is the
// process's current directory.
const korvalis::bench::BenchDatabase& TheTask() {
  static const korvalis::bench::BenchDatabase* task = [] {
    auto* database = new korvalis::bench::BenchDatabase("korvalis-summary", FillTask);
    CEMRDataSource data_source;
    korvalis::com::ScopedBstr id(u"1"), style(korvalis::FromUtf8(kStyleSheet));
    CBQCGradeSummary::SaveXslContent(&data_source, id.get(), style.get());
    return database;
  }();
  return *task;
}

// The five statements of the condition, each translated for plain SQLite.
std::vector<std::string> TranslatedStatements(sqlite3* db) {
  const korvalis::report::SummaryStatements statements =
      korvalis::report::SummaryStatementsOf(CXmlProperty(std::u16string(kCondition)));
  const auto catalog = korvalis::db::Catalog::Load(db);
  std::vector<std::string> translated;
  for (const std::u16string* sql : {&statements.head, &statements.comments, &statements.errors,
                                    &statements.patients, &statements.items}) {
    translated.push_back(
        korvalis::db::Translate(korvalis::ToUtf8(*sql), *catalog).statements.back());
  }
  return translated;
}

// Steps the prepared statement and calls `row` with it for every row.
template <class Row>
void EachRow(sqlite3_stmt* stmt, Row&& row) {
  while (sqlite3_step(stmt) == SQLITE_ROW) row(stmt);
  sqlite3_reset(stmt);
}

const xmlChar* Text(sqlite3_stmt* stmt, int column) {
  const unsigned char* value = sqlite3_column_text(stmt, column);
  return value == nullptr ? BAD_CAST "" : value;
}

// The page from raw SQLite, libxml2 and libxslt.
std::string RawSummary(const korvalis::bench::PreparedStatements& sql) {
  xmlDocPtr data = xmlNewDoc(BAD_CAST "1.0");
  data->dict = xmlDictCreate();
  xmlNodePtr root = xmlNewDocNode(data, nullptr, BAD_CAST "root", nullptr);
  xmlDocSetRootElement(data, root);

  xmlNodePtr head = xmlNewChild(root, nullptr, BAD_CAST "head", nullptr);
  EachRow(sql[0], [&](sqlite3_stmt* row) {
    xmlNewProp(head, BAD_CAST "dept", BAD_CAST "");
    xmlNewProp(head, BAD_CAST "user_name", BAD_CAST "");
    xmlNewProp(head, BAD_CAST "date", Text(row, 0));
    xmlNewProp(head, BAD_CAST "emr_count", Text(row, 1));
    xmlNewProp(head, BAD_CAST "fst_count", Text(row, 2));
    xmlNewProp(head, BAD_CAST "snd_count", Text(row, 3));
    xmlNewProp(head, BAD_CAST "thd_count", Text(row, 4));
    xmlNewProp(head, BAD_CAST "refity_measure", BAD_CAST "");
  });

  std::string comment, suggest;
  int opinions = 0, suggestions = 0;
  EachRow(sql[1], [&](sqlite3_stmt* row) {
    const std::string opinion = reinterpret_cast<const char*>(Text(row, 2));
    const std::string suggestion = reinterpret_cast<const char*>(Text(row, 3));
    if (!opinion.empty()) comment += std::to_string(++opinions) + ". " + opinion + "\r\t";
    if (!suggestion.empty()) suggest += std::to_string(++suggestions) + ". " + suggestion + "\r\t";
  });
  xmlNodeAddContent(xmlNewChild(root, nullptr, BAD_CAST "comment", nullptr),
                    BAD_CAST comment.c_str());
  xmlNodeAddContent(xmlNewChild(root, nullptr, BAD_CAST "suggest", nullptr),
                    BAD_CAST suggest.c_str());

  xmlNodePtr errors = xmlNewChild(root, nullptr, BAD_CAST "error_list", nullptr);
  EachRow(sql[2], [&](sqlite3_stmt* row) {
    xmlNodePtr item = xmlNewTextChild(errors, nullptr, BAD_CAST "error_item", Text(row, 0));
    xmlNewProp(item, BAD_CAST "serious_flag", Text(row, 2));
    xmlNewProp(item, BAD_CAST "standard_count", Text(row, 1));
    xmlNewProp(item, BAD_CAST "code", Text(row, 3));
  });

  static const std::vector<std::string> kPatientAttributes = [] {
    std::vector<std::string> names;
    for (const char16_t* name : korvalis::report::kPatientAttributes) {
      names.push_back(korvalis::ToUtf8(name));
    }
    return names;
  }();
  std::map<std::array<std::string, 3>, std::vector<xmlNodePtr>> visits;
  EachRow(sql[3], [&](sqlite3_stmt* row) {
    xmlNodePtr patient = xmlNewChild(root, nullptr, BAD_CAST "patient", nullptr);
    for (unsigned i = 0; i < korvalis::report::kPatientColumns; ++i)
      xmlNewProp(patient, BAD_CAST kPatientAttributes[i].c_str(), Text(row, i));
    visits[{reinterpret_cast<const char*>(Text(row, 0)),
            reinterpret_cast<const char*>(Text(row, 1)),
            reinterpret_cast<const char*>(Text(row, 2))}]
        .push_back(patient);
  });
  EachRow(sql[4], [&](sqlite3_stmt* row) {
    auto found = visits.find({reinterpret_cast<const char*>(Text(row, 1)),
                              reinterpret_cast<const char*>(Text(row, 2)),
                              reinterpret_cast<const char*>(Text(row, 3))});
    if (found == visits.end()) return;
    for (xmlNodePtr patient : found->second) {
      xmlNodePtr item = xmlNewTextChild(patient, nullptr, BAD_CAST "grade_item", Text(row, 0));
      xmlNewProp(item, BAD_CAST "deduct", Text(row, 5));
      xmlNewProp(item, BAD_CAST "code", Text(row, 4));
      xmlNewProp(item, BAD_CAST "serious", Text(row, 6));
    }
  });

  xmlDocPtr style_document = xmlReadMemory(kStyleSheet, static_cast<int>(std::strlen(kStyleSheet)),
                                           nullptr, nullptr, XML_PARSE_NOBLANKS | XML_PARSE_NONET);
  xsltStylesheetPtr style = xsltParseStylesheetDoc(style_document);
  xmlDocPtr result = xsltApplyStylesheet(style, data, nullptr);
  xmlChar* page = nullptr;
  int page_length = 0;
  xsltSaveResultToString(&page, &page_length, result, style);
  std::string text(reinterpret_cast<const char*>(page), static_cast<std::size_t>(page_length));
  xmlFree(page);
  xmlFreeDoc(result);
  xsltFreeStylesheet(style);
  xmlFreeDoc(data);
  return text;
}

void BM_GenerateSummaryInvoke(benchmark::State& state) {
  TheTask();
  korvalis::frame::InstallEMRCallScope();
  IDispatch* summary = nullptr;
  if (CreateQCGradeSummary(nullptr, IID_IDispatch, reinterpret_cast<void**>(&summary)) != S_OK) {
    state.SkipWithError("no QCGradeSummary object");
    return;
  }
  VARIANT arguments[2];  // reversed, as DISPPARAMS holds them
  for (VARIANT& argument : arguments) VariantInit(&argument);
  arguments[0].vt = arguments[1].vt = VT_BSTR;
  arguments[0].bstrVal = korvalis::AllocBstr(u"1");
  arguments[1].bstrVal = korvalis::AllocBstr(kCondition);
  static bool checked = false;  // once a process
  for (auto _ : state) {
    VARIANT result;
    if (!korvalis::bench::InvokeMethod(state, summary, kGenerateSummary, arguments, 2, &result))
      break;
    if (!checked) {
      state.PauseTiming();
      sqlite3* db = korvalis::bench::OpenAsProvider(TheTask().path());
      bool same;
      {
        const korvalis::bench::PreparedStatements sql(db, TranslatedStatements(db));
        same = korvalis::ToUtf8(korvalis::BstrView(result.bstrVal)) == RawSummary(sql);
      }
      sqlite3_close(db);
      if (!same) state.SkipWithError("the call and the raw pipeline answer different pages");
      checked = true;
      state.ResumeTiming();
    }
    VariantClear(&result);
  }
  for (VARIANT& argument : arguments) VariantClear(&argument);
  summary->Release();
  state.SetItemsProcessed(static_cast<int64_t>(kVisits) * state.iterations());
}

void BM_GenerateSummaryRaw(benchmark::State& state) {
  sqlite3* db = korvalis::bench::OpenAsProvider(TheTask().path());
  {
    const korvalis::bench::PreparedStatements sql(db, TranslatedStatements(db));
    for (auto _ : state) {
      korvalis::bench::StepStatement(db, "BEGIN");
      benchmark::DoNotOptimize(RawSummary(sql));
      korvalis::bench::StepStatement(db, "COMMIT");
    }
  }
  sqlite3_close(db);
  state.SetItemsProcessed(static_cast<int64_t>(kVisits) * state.iterations());
}

BENCHMARK(BM_GenerateSummaryInvoke)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GenerateSummaryRaw)->Unit(benchmark::kMillisecond);

}  // namespace
