#include "quality/review/content_qc_markers.h"

#include <memory>
#include <string>
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/codec/codec_factory.h"
#include "foundation/codec/emr_compression.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_date.h"
#include "foundation/data/sql_text.h"
#include "foundation/xml/xhtml_document.h"
#include "foundation/xml/xml_property.h"
#include "platform/com/scoped_bstr.h"
#include "quality/review/qc_patient.h"

namespace korvalis::review {
namespace {

using com::ScopedBstr;

// What a marker cell leaves in its row.
struct ContentQcMarker {
  std::u16string rule_id;      // `qcid`
  std::u16string element_id;   // `id`, empty when absent
  std::u16string element_xid;  // `xid`, empty when absent
};

// The HTML text of a content in the hand-over form; the empty text for no content.
std::u16string ContentText(BSTR content) {
  if (SysStringByteLen(content) == 0) return {};
  // A single byte is no compressed text at all.
  if (SysStringLen(content) == 0) throw CEMRException(kUncompressFailed);
  BSTR plain = content;
  CreateCompression(-1)->UncompressBstr(plain);
  std::u16string text(BstrView(plain));
  if (plain != content) SysFreeString(plain);  // the content itself stays the caller's
  return text;
}

// The TD cells of the page, in document order, whose `qlevel`, `qcid` and `qinfo` are all
// present and not empty.
std::vector<ContentQcMarker> MarkerCells(const XHTMLDocument& page) {
  std::shared_ptr<IHTMLDocument2> document;
  page.GetDocument(&document);
  std::vector<ContentQcMarker> markers;
  if (!document) return markers;
  for (const IHTMLElement* cell : document->GetElementsByTagName(u"TD")) {
    const std::u16string qcid = cell->GetAttribute(u"qcid");
    if (cell->GetAttribute(u"qlevel").empty() || qcid.empty() ||
        cell->GetAttribute(u"qinfo").empty()) {
      continue;
    }
    markers.push_back({qcid, cell->GetAttribute(u"id"), cell->GetAttribute(u"xid")});
  }
  return markers;
}

}  // namespace

HRESULT LoadContentPage(XHTMLDocument& page, const std::u16string& html) {
  const HRESULT hr = page.Load(html);
  if (SUCCEEDED(hr)) page.WaitForComplete();
  return hr;
}

void SaveContentQcMarkers(CEMRDataSource* data_source, BSTR identification, BSTR content,
                          ContentPageLoader load) {
  CXmlProperty::Map record = korvalis::PropertyBag(identification).GetMap();
  const std::u16string& emr_id = record[u"emr_id"];
  const std::u16string& send_count = record[u"send_count"];
  if (!emr_id.empty() && !send_count.empty()) {
    UpdateRow(*data_source, u"PEV_CONTENT_QUALITY T",
              {{u"T.SEND_COUNT", RowValue::Number(SqlNumber(send_count, u"send_count"))}},
              SqlKey().Equals(u"T.EMR_ID", emr_id).Sql());
    return;
  }

  XHTMLDocument page;
  if (FAILED(load(page, ContentText(content)))) throw CEMRException(kContentPageNotLoaded);
  if (!emr_id.empty()) {
    data_source->Execute(u"DELETE FROM PEV_CONTENT_QUALITY T" +
                         SqlKey().Equals(u"T.EMR_ID", emr_id).Where());
  }
  for (const ContentQcMarker& marker : MarkerCells(page)) {
    InsertRow(*data_source, u"PEV_CONTENT_QUALITY",
              u"PATIENT_ID, EVENT_NO, RULE_ID, ELEMENT_ID, ELEMENT_XID, EMR_ID, SEND_COUNT",
              {record[u"patient_id"], record[u"event_no"], marker.rule_id, marker.element_id,
               marker.element_xid, emr_id, RowValue::Number(0)});
  }
}

}  // namespace korvalis::review

long CBQCPatient::SaveContentQCInfo(CEMRDataSource* pDataSource, BSTR bstrList, BSTR bstrContent) {
  korvalis::review::SaveContentQcMarkers(pDataSource, bstrList, bstrContent,
                                         &korvalis::review::LoadContentPage);
  return 0;
}

long CBQCPatient::GetContentQCInfo(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                   BSTR* pbstrList) {
  const CDBType& dialect = *pDataSource->GetDBType();
  const std::u16string filter =
      korvalis::SqlConditions(korvalis::PropertyBag(bstrCondition))
          .Contains(u"event_no", u"A.EVENT_NO")
          .Equals(u"now_dept", u"C.NOW_DEPT_ID")
          .Equals(u"emr_status", u"C.EMR_STATUS")
          .Equals(u"code_status", u"C.CODE_STATUS")
          .DatesBetween(u"out_date_begin", u"out_date_end", u"C.OUT_TIME", dialect)
          .DatesBetween(u"in_date_begin", u"in_date_end", u"C.IN_TIME", dialect)
          .Equals(u"rule_id", u"A.RULE_ID")
          .Contains(u"patient_name", u"C.NAME")
          .Sql();
  pDataSource->QueryElements(
      u"SELECT B.NAME, C.NAME, A.PATIENT_ID, A.EVENT_NO, C.NOW_DEPT_NAME, A.EMR_ID, D.TITLE, "
      u"A.RULE_ID ,A.ELEMENT_ID, A.ELEMENT_XID, A.DESCRIPTION, C.EMR_STATUS, D.CREATOR_ID, "
      u"D.CREATOR, A.SEND_COUNT FROM PEV_CONTENT_QUALITY A, PEV_CONTENT_RULE B, "
      u"TELV_V_PATIENT_VISIT_RECORD C,  TELV_EMR_CONTENT D WHERE A.PATIENT_ID = C.PATIENT_ID AND "
      u"A.EVENT_NO = C.EVENT_NO AND A.EMR_ID = D.ID AND A.RULE_ID = B.ID AND D.STATUS=1" +
          filter + u" ORDER BY A.EVENT_NO DESC ",
      {u"content", u"patient_name", u"patient_id", u"event_no", u"now_dept", u"emr_id", u"title",
       u"rule_id", u"element_id", u"element_xid", u"description", u"emr_status", u"creator_id",
       u"creator", u"send_count"},
      pbstrList);
  return 0;
}
