// The content QC markers of a record page of about 120 KB (UTF-8) holding 200 marker cells
// among its other cells:
//   - SaveContentQCInfo in one writing call, as the record store calls it on a save (the
//     identification document, inflate of the hand-over form, the HTML document, the TD cells
//     and their attributes, the delete of the record's markers and one insert per marker, the
//     commit);
//   - against inflate, the same HTML engine's parse and walk of the TD cells, and the delete and
//     the inserts, as the embedded front end translates them, stepped on plain SQLite in one
//     transaction, each prepared and finalized as a statement new to the database.
// Goal: within 1.3 times.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstring>
#include <string>

#include "bench/call_and_statement.h"
#include "bench/record_page.h"
#include "emrdoc/emr_content_hand_over.h"
#include "foundation/calls/call_scope.h"
#include "foundation/codec/codec_factory.h"
#include "foundation/data/emr_data_source.h"
#include "platform/com/scoped_bstr.h"
#include "platform/db/catalog.h"
#include "platform/db/sql_translator.h"
#include "platform/html/document.h"
#include "platform/text/unicode.h"
#include "quality/review/qc_patient.h"

namespace {

using korvalis::bench::StepStatement;
using korvalis::com::ScopedBstr;

constexpr std::size_t kPageBytes = 120 * 1024;
constexpr int kMarkers = 200;
constexpr char16_t kRecord[] =
    u"<?xml version='1.0' ?><root><emr_id>5e3a9c10-0001-4c6b-9d2e-00000000c001</emr_id>"
    u"<patient_id>P1</patient_id><event_no>E1</event_no></root>";

// The front sheet: a table whose every other row holds a marker cell, then paragraphs.
const std::u16string& ThePage() {
  static const std::u16string page = [] {
    std::string html =
        "<HTML XMLNS:CUSTOMTAG><HEAD><TITLE>病案首页</TITLE></HEAD><BODY><TABLE border=1><TBODY>";
    for (int i = 0; i < 2 * kMarkers; ++i) {
      const std::string n = std::to_string(i);
      html += "<TR><TD>项目" + n + "</TD>";
      html += i % 2 == 0 ? "<TD id=STD_DE_" + n + " xid=" + n + "-1 qlevel=1 qcid=CR" +
                               std::to_string(i % 7) + " qinfo=填写不规范>记录值</TD>"
                         : "<TD id=item" + n + ">记录值</TD>";
      html += "</TR>";
    }
    html += "</TBODY></TABLE>";
    korvalis::bench::FinishWithParagraphs(html, kPageBytes);
    return korvalis::FromUtf8(html);
  }();
  return page;
}

const korvalis::bench::BenchDatabase& TheHospital() {
  static const korvalis::bench::BenchDatabase hospital("korvalis-content-qc", [](sqlite3*) {});
  return hospital;
}

void BM_SaveContentQCInfo(benchmark::State& state) {
  TheHospital();
  ScopedBstr record(kRecord), content;
  *content.out() = PackEmrContent(ThePage());
  for (auto _ : state) {
    CCallScope call(CCallScope::Mode::kWriting);
    {
      CEMRDataSource data_source;
      CBQCPatient::SaveContentQCInfo(&data_source, record.get(), content.get());
    }
    call.Commit();
  }
  sqlite3* db = korvalis::bench::OpenAsProvider(TheHospital().path());
  state.counters["markers"] =
      std::stod("0" + StepStatement(db, "SELECT COUNT(*) FROM PEV_CONTENT_QUALITY"));
  sqlite3_close(db);
  state.counters["page_kb"] = static_cast<double>(korvalis::ToUtf8(ThePage()).size()) / 1024;
}

void BM_SaveContentQCDirect(benchmark::State& state) {
  sqlite3* db = korvalis::bench::OpenAsProvider(TheHospital().path());
  const auto catalog = korvalis::db::Catalog::Load(db);
  const auto translate = [&](const std::string& oracle) {
    return korvalis::db::Translate(oracle, *catalog).statements.back();
  };
  const std::string remove = translate(
      "DELETE FROM PEV_CONTENT_QUALITY T WHERE T.EMR_ID = "
      "'5e3a9c10-0001-4c6b-9d2e-00000000c001'");
  const std::string insert = translate(
      "INSERT INTO PEV_CONTENT_QUALITY (PATIENT_ID, EVENT_NO, RULE_ID, ELEMENT_ID, ELEMENT_XID, "
      "EMR_ID, SEND_COUNT) VALUES('P1', 'E1', '#RULE', '#ID', '#XID', "
      "'5e3a9c10-0001-4c6b-9d2e-00000000c001', 0)");
  ScopedBstr content;
  *content.out() = PackEmrContent(ThePage());
  std::size_t markers = 0;
  for (auto _ : state) {
    BYTE* plain = nullptr;
    ULONG length = 0;
    CreateCompression(-1)->Uncompress(reinterpret_cast<const BYTE*>(content.get()),
                                      SysStringByteLen(content.get()), plain, length);
    std::u16string text(length / 2, u'\0');
    std::memcpy(text.data(), plain, text.size() * 2);
    delete[] plain;
    korvalis::html::Document page;
    page.Load(text);
    StepStatement(db, "BEGIN IMMEDIATE");
    StepStatement(db, remove);
    markers = 0;
    for (const korvalis::html::Element* cell : page.GetElementsByTagName(u"TD")) {
      const std::u16string qcid = cell->GetAttribute(u"qcid");
      if (cell->GetAttribute(u"qlevel").empty() || qcid.empty() ||
          cell->GetAttribute(u"qinfo").empty()) {
        continue;
      }
      std::string sql = insert;
      for (const auto& [marker, value] : {std::pair<const char*, std::u16string>{"#RULE", qcid},
                                          {"#XID", cell->GetAttribute(u"xid")},
                                          {"#ID", cell->GetAttribute(u"id")}}) {
        sql.replace(sql.find(marker), std::strlen(marker), korvalis::ToUtf8(value));
      }
      StepStatement(db, sql);
      ++markers;
    }
    StepStatement(db, "COMMIT");
  }
  sqlite3_close(db);
  state.counters["markers"] = static_cast<double>(markers);
}

BENCHMARK(BM_SaveContentQCInfo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveContentQCDirect)->Unit(benchmark::kMillisecond);

}  // namespace
