// The record library's content access on a stored page of about 120 KB (UTF-8) holding ten
// pictures (each about 6 KB, stored compressed by zlib and encoded in Base64), the page stored
// compressed (zlib) and encrypted (DES-EDE2), of a visit whose records load as stored
// (EMR_STATUS "1"): EMRLibrary.GetEMRContent through IDispatch::Invoke (the method frame, the data
// source from telv.config.xml, the record's row and visit state, the BLOB through the provider
// and the codecs, the hand-over form packed by the record store and unpacked by the library, the
// HTML document, each picture decoded, inflated and encoded again, the outer HTML), against the
// same work done directly: the BLOB read on plain SQLite, DES-EDE2 decryption, inflate, the same
// HTML engine's parse, the pictures decoded, inflated and encoded, and the serialisation.
// Goal: within 1.5 times.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <memory>
#include <random>
#include <string>

#include "archive/emr_library.h"
#include "bench/call_and_statement.h"
#include "bench/raw_blobs.h"
#include "bench/record_page.h"
#include "classes/emr_library_class.h"
#include "foundation/calls/call_scope.h"
#include "foundation/codec/codec_factory.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/testing/codec_test_util.h"
#include "interface/emr_call_scope.h"
#include "platform/com/scoped_bstr.h"
#include "platform/html/document.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::bench::Exec;
using korvalis::codec::testing::Base64Text;
using korvalis::com::ScopedBstr;

constexpr char kRecordId[] = "5e3a9c10-0001-4c6b-9d2e-00000000d001";
constexpr std::size_t kPageBytes = 120 * 1024;
constexpr int kPictures = 10;
constexpr std::size_t kPictureBytes = 6 * 1024;
constexpr int kCompression = 1;  // zlib
constexpr int kEncryption = 3;   // DES-EDE2
constexpr DISPID kGetEMRContent = 3;

// The bytes of picture `n`: rows of a gradient with noise, as a scanned signature compresses.
std::string PictureBytes(int n) {
  std::minstd_rand noise(static_cast<unsigned>(n + 1));
  std::string bytes(kPictureBytes, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<char>((i % 64) * 4 + (noise() % 8 == 0 ? noise() % 16 : 0));
  }
  return bytes;
}

// The page: ten stored pictures, each in a paragraph of its own, and paragraphs of text.
const std::u16string& ThePage() {
  static const std::u16string page = [] {
    std::string html =
        "<HTML XMLNS:CUSTOMTAG><HEAD><STYLE id=system_default_css>BODY { FONT-SIZE: 10.5pt }"
        "</STYLE><TITLE>入院记录</TITLE></HEAD><BODY>";
    for (int i = 0; i < kPictures; ++i) {
      std::string stored = PictureBytes(i);
      korvalis::bench::Transform(stored, [](auto in, auto n, auto& out, auto& out_n) {
        CreateCompression(1)->Compress(in, n, out, out_n);
      });
      html += "<P><CUSTOMTAG:LABEL>签名" + std::to_string(i) + "：</CUSTOMTAG:LABEL><IMG id=pic" +
              std::to_string(i) + " data=\"" + korvalis::ToUtf8(Base64Text(stored)) +
              "\" encode=\"0\" compress=\"1\"></P>";
    }
    korvalis::bench::FinishWithParagraphs(html, kPageBytes);
    return korvalis::FromUtf8(html);
  }();
  return page;
}

void FillHospital(sqlite3* db) {
  Exec(db,
       "INSERT INTO TELV_VISIT_RECORD (PATIENT_ID, EVENT_NO, SERIAL_NO, IN_TIME, IN_DEPT_ID, "
       "NOW_DEPT_ID, RESIDENCE_FLAG, EMR_STATUS, FORBID_FLAG) VALUES ('P1', 'E1', 1, "
       "'2026-12-01 08:30:00', '0101', '0101', 0, 1, '0')");
  Exec(db,
       "INSERT INTO TELV_EMR_CONTENT (ID, PATIENT_ID, EVENT_NO, CATALOG_ID, TEMPLATE_ID, "
       "EMR_TYPE, SORT_CODE, STATUS, COMPRESSION, ENCRYPTION) VALUES ('" +
           std::string(kRecordId) + "', 'P1', 'E1', 2, 2, 2, '00001', 1, " +
           std::to_string(kCompression) + ", " + std::to_string(kEncryption) + ")");
  korvalis::bench::WriteBlob(
      db, "UPDATE TELV_EMR_CONTENT SET CONTENT = ?1 WHERE ID = ?2",
      korvalis::bench::StoredRecordText(ThePage(), kCompression, kEncryption), kRecordId);
}

const korvalis::bench::BenchDatabase& TheHospital() {
  static const korvalis::bench::BenchDatabase hospital("korvalis-record-content", FillHospital);
  return hospital;
}

// True when `html` holds every picture unpacked.
bool HoldsPlainPictures(const std::u16string& html) {
  korvalis::html::Document page;
  page.Load(html);
  for (int i = 0; i < kPictures; ++i) {
    const korvalis::html::Element* picture =
        page.GetElementById(u"pic" + korvalis::FromUtf8(std::to_string(i)));
    if (picture == nullptr || picture->GetAttribute(u"data") != Base64Text(PictureBytes(i)) ||
        picture->GetAttribute(u"compress") != u"0") {
      return false;
    }
  }
  return true;
}

void BM_GetEMRContentInvoke(benchmark::State& state) {
  TheHospital();
  korvalis::frame::InstallEMRCallScope();
  {
    CCallScope call(CCallScope::Mode::kReading);
    CEMRDataSource data_source;
    ScopedBstr id(korvalis::FromUtf8(kRecordId)), content;
    CBEMRLibrary::GetEMRContent(&data_source, id.get(), content.out());
    if (!HoldsPlainPictures(content.text())) {
      state.SkipWithError("the pictures were not unpacked");
      return;
    }
  }
  IDispatch* library = nullptr;
  if (CreateEMRLibrary(nullptr, IID_IDispatch, reinterpret_cast<void**>(&library)) != S_OK) {
    state.SkipWithError("no EMRLibrary object");
    return;
  }
  korvalis::bench::InvokeList(state, library, kGetEMRContent, {korvalis::FromUtf8(kRecordId)},
                              u"<IMG ", "pictures");
  library->Release();
  state.counters["page_kb"] = static_cast<double>(korvalis::ToUtf8(ThePage()).size()) / 1024;
}

// Replaces the stored picture of `image` by its plain bytes in Base64.
void UnpackPicture(korvalis::html::Element& image) {
  const std::unique_ptr<CEMREncoder> encoder = CreateEncoder(0);
  BYTE* packed = nullptr;
  ULONG packed_length = 0;
  encoder->Decode(image.GetAttribute(u"data"), packed, packed_length);
  std::string bytes(reinterpret_cast<const char*>(packed), packed_length);
  delete[] packed;
  korvalis::bench::Transform(bytes, [](auto in, auto n, auto& out, auto& out_n) {
    CreateCompression(1)->Uncompress(in, n, out, out_n);
  });
  std::u16string plain;
  encoder->Encode(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<ULONG>(bytes.size()),
                  plain);
  image.SetAttribute(u"data", plain);
  image.SetAttribute(u"compress", u"0");
  image.SetAttribute(u"encode", u"0");
}

void BM_GetEMRContentDirect(benchmark::State& state) {
  sqlite3* db = korvalis::bench::OpenAsProvider(TheHospital().path());
  std::u16string first;
  for (auto _ : state) {
    const std::u16string text = korvalis::bench::RecordText(
        korvalis::bench::ReadBlob(db, "SELECT CONTENT FROM TELV_EMR_CONTENT WHERE ID = ?1",
                                  kRecordId),
        kCompression, kEncryption);
    korvalis::html::Document page;
    page.Load(text);
    for (korvalis::html::Element* image : page.GetElementsByTagName(u"IMG")) UnpackPicture(*image);
    std::u16string html = page.documentElement()->OuterHtml();
    if (first.empty()) first = html;
    benchmark::DoNotOptimize(html);
  }
  sqlite3_close(db);
  if (!HoldsPlainPictures(first)) state.SkipWithError("the pictures were not unpacked");
}

BENCHMARK(BM_GetEMRContentInvoke)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetEMRContentDirect)->Unit(benchmark::kMillisecond);

}  // namespace
