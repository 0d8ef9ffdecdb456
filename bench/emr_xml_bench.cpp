// The record XML of a stored page of about 120 KB (UTF-8), compressed (zlib), of a visit whose
// records load as stored (EMR_STATUS "1"), through a frame of 100 `xid`s:
//   - Build: GetEmrXml with an empty cache in one writing call (the row, the template's
//     properties and frame, the load of the record with its inflate, the revision marks' parse
//     and serialisation, the SUP and SUB escapes, the mapping parse, the frame's parse, fill and
//     serialisation, the cache's write), against the same work done directly in one
//     transaction: the BLOB read and inflate on plain SQLite, the same HTML engine's two parses
//     (the first with its revision marks applied and serialised again), the same escapes, the
//     frame parsed, filled and serialised by Xerces, and the BLOB write on plain SQLite. Both
//     sides empty the cache first, untimed, in their transaction, as a content update does;
//   - Cached: GetEmrXml of the built XML (one BLOB read).
// Goal for Build: within 1.3 times.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "bench/call_and_statement.h"
#include "bench/raw_blobs.h"
#include "bench/record_page.h"
#include "db/stored_text.h"
#include "emrdoc/emr_xml.h"
#include "foundation/calls/call_scope.h"
#include "foundation/codec/codec_factory.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_parser.h"
#include "platform/com/scoped_bstr.h"
#include "platform/html/document.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::bench::Exec;
using korvalis::bench::ReadBlob;
using korvalis::bench::Transform;
using korvalis::bench::WriteBlob;
using korvalis::com::ScopedBstr;

constexpr char kRecordId[] = "5e3a9c10-0001-4c6b-9d2e-00000000c001";
constexpr std::size_t kPageBytes = 120 * 1024;
constexpr int kXids = 100;
constexpr int kCompression = 1;  // zlib

// The page: 100 elements that the frame names, with revision marks and superscripts among them,
// in paragraphs of text up to about kPageBytes of UTF-8.
std::string PageUtf8() {
  std::string html =
      "<HTML XMLNS:CUSTOMTAG><HEAD><STYLE id=system_default_css>BODY { FONT-SIZE: 10.5pt }"
      "</STYLE><TITLE>入院记录</TITLE></HEAD><BODY><TABLE border=1><TBODY>";
  for (int i = 0; i < kXids; ++i) {
    const std::string n = std::to_string(i);
    html += "<TR><TD><CUSTOMTAG:LABEL>项目" + n + "：</CUSTOMTAG:LABEL><SPAN xid=x" + n +
            ">记录值" + n + "<SPAN class=DELETE>删去</SPAN><SPAN class=INSERT>补充</SPAN>" +
            " 1.8 m<SUP>2</SUP></SPAN><TD>说明</TD></TR>";
  }
  html += "</TBODY></TABLE>";
  korvalis::bench::FinishWithParagraphs(html, kPageBytes);
  return html;
}

std::string FrameUtf8() {
  std::string frame = "<?xml version=\"1.0\"?><emr>";
  for (int i = 0; i < kXids; ++i) {
    frame += "<item" + std::to_string(i) + " xid=\"x" + std::to_string(i) + "\">框架</item" +
             std::to_string(i) + ">";
  }
  return frame + "</emr>";
}

void FillHospital(sqlite3* db) {
  Exec(db,
       "INSERT INTO TELV_VISIT_RECORD (PATIENT_ID, EVENT_NO, SERIAL_NO, IN_TIME, IN_DEPT_ID, "
       "NOW_DEPT_ID, RESIDENCE_FLAG, EMR_STATUS) VALUES ('P1', 'E1', 1, '2026-12-01 08:30:00', "
       "'0101', '0101', 0, 1)");
  Exec(db,
       "INSERT INTO TELV_EMR_TEMPLATE (ID, NAME, EMR_TYPE, COMPRESSION2) VALUES (2, '入院记录', "
       "2, '0')");
  WriteBlob(db, "UPDATE TELV_EMR_TEMPLATE SET CONTENT2 = ?1 WHERE ID = 2",
            korvalis::schema::StoredText(FrameUtf8()));
  Exec(db,
       "INSERT INTO TELV_EMR_CONTENT (ID, PATIENT_ID, EVENT_NO, CATALOG_ID, TEMPLATE_ID, "
       "EMR_TYPE, SORT_CODE, STATUS, COMPRESSION, ENCRYPTION) VALUES ('" +
           std::string(kRecordId) + "', 'P1', 'E1', 2, 2, 2, '00001', 1, 1, 0)");
  std::string stored = korvalis::schema::StoredText(PageUtf8());
  Transform(stored, [](auto in, auto n, auto& out, auto& out_n) {
    CreateCompression(kCompression)->Compress(in, n, out, out_n);
  });
  WriteBlob(db,
            "UPDATE TELV_EMR_CONTENT SET CONTENT = ?1 WHERE ID = '" + std::string(kRecordId) + "'",
            stored);
}

const korvalis::bench::BenchDatabase& TheHospital() {
  static const korvalis::bench::BenchDatabase hospital("korvalis-emr-xml", FillHospital);
  return hospital;
}

// GetEmrXml in one writing call, as a body makes it.
std::u16string XmlInCall(const ScopedBstr& id) {
  CCallScope call(CCallScope::Mode::kWriting);
  ScopedBstr xml;
  {
    CEMRDataSource data_source;
    GetEmrXml(&data_source, id.get(), xml.out());
  }
  call.Commit();
  return xml.text();
}

// Empties the cache, as the record store does when the content changes.
const std::u16string kClearCache =
    u"UPDATE TELV_EMR_CONTENT SET XML = NULL WHERE ID = '" + korvalis::FromUtf8(kRecordId) + u"'";

void BM_GetEmrXmlBuild(benchmark::State& state) {
  TheHospital();
  const ScopedBstr id(korvalis::FromUtf8(kRecordId));
  const std::u16string first = XmlInCall(id);
  if (first.find(u"记录值99补充 1.8 m&lt;SUP&gt;2&lt;/SUP&gt;") == std::u16string::npos) {
    state.SkipWithError("the XML was not built");
    return;
  }
  for (auto _ : state) {
    CCallScope call(CCallScope::Mode::kWriting);
    {
      CEMRDataSource data_source;
      // The cache is emptied on the same connection, as the content's update empties it.
      state.PauseTiming();
      data_source.Execute(kClearCache);
      state.ResumeTiming();
      ScopedBstr xml;
      GetEmrXml(&data_source, id.get(), xml.out());
    }
    call.Commit();
  }
  state.counters["xml_kb"] = static_cast<double>(first.size() * 2) / 1024;
}

void BM_GetEmrXmlCached(benchmark::State& state) {
  const ScopedBstr id(korvalis::FromUtf8(kRecordId));
  XmlInCall(id);
  for (auto _ : state) benchmark::DoNotOptimize(XmlInCall(id));
}

// The frame filled below and at `node` from the values by `xid`.
void Fill(xercesc::DOMNode* node, const std::map<std::u16string, std::u16string>& values) {
  if (node->getNodeType() != xercesc::DOMNode::ELEMENT_NODE) return;
  auto* element = static_cast<xercesc::DOMElement*>(node);
  const auto value = values.find(element->getAttribute(u"xid"));
  if (value != values.end()) element->setTextContent(value->second.c_str());
  for (xercesc::DOMNode* child = node->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    Fill(child, values);
  }
}

void BM_EmrXmlDirect(benchmark::State& state) {
  sqlite3* db = korvalis::bench::OpenAsProvider(TheHospital().path());
  std::string frame_bytes = korvalis::schema::StoredText(FrameUtf8());
  const std::u16string frame = [&] {
    std::u16string text((frame_bytes.size() - 2) / 2, u'\0');
    std::memcpy(text.data(), frame_bytes.data() + 2, text.size() * 2);
    return text;
  }();
  for (auto _ : state) {
    Exec(db, "BEGIN IMMEDIATE");
    state.PauseTiming();
    Exec(db, korvalis::ToUtf8(kClearCache));
    state.ResumeTiming();
    const std::u16string text = korvalis::bench::RecordText(
        ReadBlob(db, "SELECT CONTENT FROM TELV_EMR_CONTENT WHERE ID = ?1", kRecordId), kCompression,
        0);

    korvalis::html::Document revised;
    revised.Load(text);
    const std::vector<korvalis::html::Element*> spans = revised.GetElementsByTagName(u"SPAN");
    for (auto span = spans.rbegin(); span != spans.rend(); ++span) {
      const std::u16string mark = (*span)->GetAttribute(u"class");
      if (mark.find(u"DELETE") != std::u16string::npos) {
        (*span)->Remove();
      } else if (mark.find(u"INSERT") != std::u16string::npos) {
        korvalis::html::Element* parent = (*span)->parent();
        std::size_t index = parent->IndexOf(*span);
        const std::vector<korvalis::html::Node*> content = (*span)->children();
        (*span)->RemoveChildren(0, content.size());
        (*span)->Remove();
        for (korvalis::html::Node* node : content) parent->InsertChild(index++, node);
      }
    }
    std::u16string html = revised.documentElement()->OuterHtml();
    for (const char16_t* tag : {u"SUP", u"SUB"}) {
      const std::u16string name(tag);
      ReplaceAll(html, u"<" + name + u">", u"&lt;" + name + u"&gt;");
      ReplaceAll(html, u"</" + name + u">", u"&lt;/" + name + u"&gt;");
    }
    korvalis::html::Document page;
    page.Load(html);
    std::map<std::u16string, std::u16string> values;
    for (const korvalis::html::Element* element : page.All()) {
      if (const std::u16string* xid = element->FindAttribute(u"xid")) {
        values.try_emplace(*xid, element->InnerText());
      }
    }
    CXmlStringParser parser(frame);
    xercesc::DOMDocument* document = parser.GetDocument();
    Fill(document->getDocumentElement(), values);
    const std::u16string xml = korvalis::WriteDomDocument(document);

    std::string stored = "\xFF\xFE";
    korvalis::AppendUtf16Le(xml, stored);
    WriteBlob(db,
              "UPDATE TELV_EMR_CONTENT SET XML = ?1 WHERE ID = '" + std::string(kRecordId) + "'",
              stored);
    Exec(db, "COMMIT");
  }
  sqlite3_close(db);
}

BENCHMARK(BM_GetEmrXmlBuild)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EmrXmlDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetEmrXmlCached)->Unit(benchmark::kMillisecond);

}  // namespace
