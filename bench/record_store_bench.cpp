// Raw side: one SQLite connection with the provider's settings, its statements prepared once,
// each run in one write transaction as the call runs.
//
// The record store on a stored page of about 120 KB (UTF-8), compressed (zlib) and encrypted
// (DES-EDE2), of an open visit (its content is refreshed on load) whose elements carry no
// data-element ids, each against the same work done directly:
//   - Load: LoadEmrContent in one writing call (its row, visit state and signature count, the
//     BLOB through the provider and the codecs, the HTML document with the refill's walk, the
//     hand-over form), against the BLOB read on plain SQLite, DES-EDE2 decryption, inflate, the
//     same HTML engine's parse and serialisation and the deflate into the hand-over form;
//   - Update: UpdateEmrContent of the same page in one writing call (inflate of the hand-over
//     form, the plausibility test, the BLOB write through the codecs, the row's stamps), against
//     inflate, deflate, DES-EDE2 encryption and the BLOB write and the row's update in one
//     transaction on plain SQLite.
// Goal for both: within 1.3 times.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <string>

#include "bench/call_and_statement.h"
#include "bench/raw_blobs.h"
#include "bench/record_page.h"
#include "emrdoc/content_switches.h"
#include "emrdoc/emr_content_hand_over.h"
#include "emrdoc/emr_content_store.h"
#include "foundation/calls/call_scope.h"
#include "foundation/codec/codec_factory.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/suite/suite_interfaces.h"
#include "platform/com/scoped_bstr.h"
#include "platform/html/document.h"
#include "platform/text/unicode.h"
#include "suite/testing/sibling_doubles.h"

namespace {

using korvalis::bench::CheckSqlite;
using korvalis::bench::Exec;
using korvalis::bench::ReadBlob;
using korvalis::bench::Transform;
using korvalis::bench::WriteBlob;
using korvalis::com::ScopedBstr;

constexpr char kRecordId[] = "5e3a9c10-0001-4c6b-9d2e-00000000b001";
constexpr std::size_t kPageBytes = 120 * 1024;
constexpr int kCompression = 1;  // zlib
constexpr int kEncryption = 3;   // DES-EDE2

// The record page: a table of labelled values among paragraphs of text, about kPageBytes of
// UTF-8; its elements have ids, none of them a data element's.
const std::u16string& ThePage() {
  static const std::u16string page = [] {
    std::string html =
        "<HTML XMLNS:CUSTOMTAG><HEAD><STYLE id=system_default_css>BODY { FONT-SIZE: 10.5pt }"
        "</STYLE><TITLE>入院记录</TITLE></HEAD><BODY><TABLE border=1><TBODY>";
    for (int i = 0; i < 250; ++i) {
      html += "<TR><TD><CUSTOMTAG:LABEL>项目" + std::to_string(i) +
              "：</CUSTOMTAG:LABEL><SPAN class=de id=item" + std::to_string(i) +
              ">记录值</SPAN><TD>说明</TD></TR>";
    }
    html += "</TBODY></TABLE>";
    korvalis::bench::FinishWithParagraphs(html, kPageBytes);
    return korvalis::FromUtf8(html);
  }();
  return page;
}

// Writes `bytes` into the record's CONTENT.
void WriteContent(sqlite3* db, const std::string& bytes) {
  WriteBlob(db, "UPDATE TELV_EMR_CONTENT SET CONTENT = ?1 WHERE ID = ?2", bytes, kRecordId);
}

void FillHospital(sqlite3* db) {
  Exec(db,
       "INSERT INTO TELV_VISIT_RECORD (PATIENT_ID, EVENT_NO, SERIAL_NO, IN_TIME, IN_DEPT_ID, "
       "NOW_DEPT_ID, RESIDENCE_FLAG, EMR_STATUS) VALUES ('P1', 'E1', 1, '2026-12-01 08:30:00', "
       "'0101', '0101', 0, 2)");
  Exec(db,
       "INSERT INTO TELV_EMR_CONTENT (ID, PATIENT_ID, EVENT_NO, CATALOG_ID, TEMPLATE_ID, "
       "EMR_TYPE, SORT_CODE, STATUS, COMPRESSION, ENCRYPTION) VALUES ('" +
           std::string(kRecordId) + "', 'P1', 'E1', 2, 2, 2, '00001', 1, 1, 3)");
  Exec(db, "INSERT INTO TELV_EMR_SIGNATURE (ID, SUB_ID, USER_ID) VALUES ('" +
               std::string(kRecordId) + "', 1, 'D01')");
  Exec(db,
       "UPDATE TELV_SYS_PARAM SET VALUE = '1' WHERE NAME IN ('emr_content_compression', "
       "'emr_content_encryption')");
  WriteContent(db, korvalis::bench::StoredRecordText(ThePage(), kCompression, kEncryption));
}

const korvalis::bench::BenchDatabase& TheHospital() {
  static const korvalis::bench::BenchDatabase hospital("korvalis-record-store", FillHospital);
  return hospital;
}

// LoadEmrContent in one call, as a body makes it: the hand-over form, which the caller frees.
BSTR LoadInCall(const ScopedBstr& id) {
  CCallScope call(CCallScope::Mode::kWriting);
  BSTR content = nullptr;
  {
    CEMRDataSource data_source;
    LoadEmrContent(&data_source, id.get(), &content);
  }
  call.Commit();
  return content;
}

void BM_LoadEmrContent(benchmark::State& state) {
  TheHospital();
  const ScopedBstr id(korvalis::FromUtf8(kRecordId));
  {
    ScopedBstr first;
    *first.out() = LoadInCall(id);
    if (UnpackEmrContent(first.get()).find(u"记录值") == std::u16string::npos) {
      state.SkipWithError("the page did not load");
      return;
    }
  }
  for (auto _ : state) {
    BSTR content = LoadInCall(id);
    benchmark::DoNotOptimize(content);
    SysFreeString(content);
  }
  state.counters["page_kb"] = static_cast<double>(korvalis::ToUtf8(ThePage()).size()) / 1024;
}

void BM_LoadDirect(benchmark::State& state) {
  sqlite3* db = korvalis::bench::OpenAsProvider(TheHospital().path());
  {
    const korvalis::bench::PreparedStatements sql(
        db, {"BEGIN IMMEDIATE", "COMMIT", "SELECT CONTENT FROM TELV_EMR_CONTENT WHERE ID = ?1"});
    for (auto _ : state) {
      CheckSqlite(sqlite3_step(sql[0]), db);
      sqlite3_reset(sql[0]);
      const std::u16string text =
          korvalis::bench::RecordText(ReadBlob(sql[2], kRecordId), kCompression, kEncryption);
      CheckSqlite(sqlite3_step(sql[1]), db);
      sqlite3_reset(sql[1]);
      korvalis::html::Document page;
      page.Load(text);
      BSTR packed = PackEmrContent(page.documentElement()->OuterHtml());
      benchmark::DoNotOptimize(packed);
      SysFreeString(packed);
    }
  }
  sqlite3_close(db);
}

void BM_UpdateEmrContent(benchmark::State& state) {
  TheHospital();
  korvalis::suite::testing::SiblingDoubles doubles;
  doubles.Answer(IID_IDateTimeService, 7, u"2026-12-07 09:30:00");
  korvalis::emrdoc::UpdateContentSwitches().Clear();
  const ScopedBstr id(korvalis::FromUtf8(kRecordId));
  ScopedBstr content;
  *content.out() = PackEmrContent(ThePage());
  for (auto _ : state) {
    CCallScope call(CCallScope::Mode::kWriting);
    {
      CEMRDataSource data_source;
      UpdateEmrContent(&data_source, id.get(), content.get(), nullptr);
    }
    call.Commit();
  }
}

void BM_UpdateDirect(benchmark::State& state) {
  sqlite3* db = korvalis::bench::OpenAsProvider(TheHospital().path());
  ScopedBstr content;
  *content.out() = PackEmrContent(ThePage());
  {
    const korvalis::bench::PreparedStatements sql(
        db, {"BEGIN IMMEDIATE", "COMMIT", "UPDATE TELV_EMR_CONTENT SET CONTENT = ?1 WHERE ID = ?2",
             "UPDATE TELV_EMR_CONTENT SET XML = NULL, MODIFY_DATE = ?1, COMPRESSION = 1, "
             "ENCRYPTION = 3 WHERE ID = ?2"});
    for (auto _ : state) {
      std::string bytes(reinterpret_cast<const char*>(content.get()),
                        SysStringByteLen(content.get()));
      Transform(bytes, [](auto in, auto n, auto& out, auto& out_n) {
        CreateCompression(-1)->Uncompress(in, n, out, out_n);
      });
      bytes.insert(0, "\xFF\xFE");
      Transform(bytes, [](auto in, auto n, auto& out, auto& out_n) {
        CreateCompression(kCompression)->Compress(in, n, out, out_n);
      });
      Transform(bytes, [](auto in, auto n, auto& out, auto& out_n) {
        CreateEncryption(kEncryption)->Encrypt(in, n, out, out_n);
      });
      CheckSqlite(sqlite3_step(sql[0]), db);
      sqlite3_reset(sql[0]);
      WriteBlob(sql[2], bytes, kRecordId);
      sqlite3_bind_text(sql[3], 1, "2026-12-07 09:30:00", -1, SQLITE_STATIC);
      sqlite3_bind_text(sql[3], 2, kRecordId, -1, SQLITE_STATIC);
      CheckSqlite(sqlite3_step(sql[3]), db);
      sqlite3_reset(sql[3]);
      CheckSqlite(sqlite3_step(sql[1]), db);
      sqlite3_reset(sql[1]);
    }
  }
  sqlite3_close(db);
}

BENCHMARK(BM_LoadEmrContent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateEmrContent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateDirect)->Unit(benchmark::kMillisecond);

}  // namespace
