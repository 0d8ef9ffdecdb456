#include "emrdoc/emr_xml.h"

#include <memory>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "emrdoc/emr_content_document.h"
#include "emrdoc/emr_content_store.h"
#include "emrdoc/emr_from_template.h"
#include "emrdoc/emr_template.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/calls/emr_error.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/codec/blob_text.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_key.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/sibling_component.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/xml/xhtml_document.h"
#include "foundation/xml/xml_parser.h"
#include "foundation/xml/xml_property.h"
#include "foundation/xml/xml_text.h"
#include "lookups/visit_lookups.h"
#include "platform/com/scoped_bstr.h"

namespace {

using korvalis::com::ScopedBstr;
using korvalis::html::Node;

// The row state of a record that has no XML.
constexpr char16_t kNoXmlStatus[] = u"3";
// The tags whose pairs stay text in the XML.
constexpr const char16_t* kTextTags[] = {u"SUP", u"SUB"};

std::u16string XmlCacheStatement(korvalis::TextRef id) {
  return u"SELECT XML FROM TELV_EMR_CONTENT" + korvalis::SqlKey().Equals(u"ID", id).Where();
}

// The text of the record's content as the record store hands it out.
std::u16string LoadedContent(CSingleDataSource& data_source, BSTR emr_id) {
  try {
    return korvalis::emrdoc::LoadEmrText(data_source, emr_id);
  } catch (const CEMRException&) {
    throw CEMRException(std::u16string(kEmrContentFailedMessage));
  }
}

// The template's frame filled from the record's content, with its declaration.
std::u16string FilledFrame(CSingleDataSource& data_source, LONG template_id, BSTR emr_id) {
  ScopedBstr frame;
  GetTemplateXmlFrame(&data_source, template_id, frame.out());
  if (korvalis::BstrView(frame.get()).empty()) {
    throw CEMRException(std::u16string(kNoXmlFrameMessage));
  }
  CXmlStringParser parser(frame.get());
  xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr || document->getDocumentElement() == nullptr) {
    throw CEMRException(std::u16string(kInvalidXmlFrameMessage));
  }

  std::u16string html;
  ApplyRevisionMarks(&data_source, LoadedContent(data_source, emr_id), html);
  for (const char16_t* tag : kTextTags) EscapeAngleBrackets(html, tag);
  XHTMLDocument page;
  if (page.Load(html) == E_OUTOFMEMORY) throw std::bad_alloc();
  page.WaitForComplete();
  std::shared_ptr<IHTMLDocument2> loaded;
  page.GetDocument(&loaded);
  XmlFrameValues values;
  XmlFrameCodes codes;
  MapXmlFrameElements(*loaded, values, codes);

  FillXmlFrame(document->getDocumentElement(), values, codes);
  return korvalis::WriteDomDocument(document);
}

// Takes `span` out of the page and puts its content in its place.
void Unwrap(IHTMLElement* span) {
  IHTMLElement* parent = span->parent();
  if (parent == nullptr) return;
  std::size_t index = parent->IndexOf(span);
  const std::vector<Node*> content = span->children();
  span->RemoveChildren(0, content.size());
  span->Remove();
  for (Node* node : content) parent->InsertChild(index++, node);
}

}  // namespace

namespace korvalis::emrdoc {

std::u16string RebuildEmrXml(CSingleDataSource& data_source, BSTR emr_id) {
  try {
    std::vector<std::u16string> row;
    data_source.Query(u"SELECT STATUS, TEMPLATE_ID FROM TELV_EMR_CONTENT" +
                          korvalis::SqlKey().Equals(u"ID", emr_id).Where(),
                      2, row);
    if (row.empty() || row[0] == kNoXmlStatus || row[1] == u"0") return std::u16string();
    ScopedBstr xml;
    ConvertEmrContentToXml(&data_source, StringToInt(row[1]), emr_id, xml.out());
    std::u16string text = xml.text();
    if (!text.empty()) korvalis::WriteBlobText(data_source, XmlCacheStatement(emr_id), text);
    return text;
  } catch (...) {
    // A record that cannot be converted has no XML; it is converted again at the next request.
    return std::u16string();
  }
}

}  // namespace korvalis::emrdoc

namespace {

// The records whose XML this thread is building. Building a record's XML refreshes its live
// elements, whose domains may ask for the XML of another record and, through it, for this one
// again; such a request answers as for a record not converted yet, and the outer build stores
// its result as usual.
thread_local std::set<std::u16string> records_being_built;

// Marks a record as being built on this thread for the object's life.
class RecordBeingBuilt {
 public:
  explicit RecordBeingBuilt(std::u16string emr_id) : emr_id_(std::move(emr_id)) {
    records_being_built.insert(emr_id_);
  }
  ~RecordBeingBuilt() { records_being_built.erase(emr_id_); }
  RecordBeingBuilt(const RecordBeingBuilt&) = delete;
  RecordBeingBuilt& operator=(const RecordBeingBuilt&) = delete;

 private:
  std::u16string emr_id_;
};

}  // namespace

long GetEmrXml(CSingleDataSource* pDataSource, BSTR bstrEmrID, BSTR* pbstrXml) {
  std::u16string emr_id(korvalis::BstrView(bstrEmrID));
  if (records_being_built.count(emr_id) != 0) {
    korvalis::StoreBstrResult(pbstrXml, u"");
    return 0;
  }
  std::u16string xml =
      korvalis::ReadBlobText(*pDataSource, XmlCacheStatement(bstrEmrID));
  if (xml.empty()) {
    const RecordBeingBuilt building(std::move(emr_id));
    xml = korvalis::emrdoc::RebuildEmrXml(*pDataSource, bstrEmrID);
  }
  korvalis::StoreBstrResult(pbstrXml, xml);
  return 0;
}

void BuildEmrXml(CSingleDataSource* pDataSource, BSTR bstrEmrID) {
  korvalis::emrdoc::RebuildEmrXml(*pDataSource, bstrEmrID);
}

HRESULT ConvertEmrContentToXml(CSingleDataSource* pDataSource, LONG lngTemplateID, BSTR bstrEmrID,
                               BSTR* pbstrXml) {
  ScopedBstr properties;
  GetTemplateProperty(pDataSource, lngTemplateID, properties.out());
  if (korvalis::BstrView(properties.get()).empty()) {
    korvalis::StoreBstrResult(pbstrXml, u"");
    throw CEMRException(std::u16string(kEmrXmlFailedMessage));
  }
  const long emr_type = StringToLong(CXmlProperty(properties.text()).GetValue(u"emrtype"));
  if (IsOrderSheetType(emr_type)) {
    const HRESULT hr = ConvertOrderSheetToXml(pDataSource, emr_type, bstrEmrID, pbstrXml);
    if (FAILED(hr)) {
      // The component's description is not passed on: taken, so that no later reader sees it.
      CEMRRemoteError().GetError();
      throw CEMRException(std::u16string(kOrderSheetXmlFailedMessage));
    }
    return hr;
  }
  if (emr_type == kNursingRecordType || emr_type == kCriticalNursingRecordType) {
    return ConvertNurseSheetToXml(emr_type, bstrEmrID, pbstrXml);
  }
  korvalis::StoreBstrResult(pbstrXml, FilledFrame(*pDataSource, lngTemplateID, bstrEmrID));
  return 0;
}

void ApplyRevisionMarks(CSingleDataSource* pDataSource, const std::u16string& content,
                        std::u16string& html) {
  XHTMLDocument document;
  if (document.Load(content) == E_OUTOFMEMORY) throw std::bad_alloc();
  document.WaitForComplete();
  std::shared_ptr<IHTMLDocument2> page;
  document.GetDocument(&page);
  const std::vector<IHTMLElement*> spans = page->GetElementsByTagName(u"SPAN");
  for (auto span = spans.rbegin(); span != spans.rend(); ++span) {
    switch (ReadRevisionMark(*span)) {
      case RevisionMark::kDeleted:
        (*span)->Remove();
        break;
      case RevisionMark::kInserted:
        Unwrap(*span);
        break;
      case RevisionMark::kNone:
        break;
    }
  }
  ApplyDefaultCss(pDataSource, document);
  if (FAILED(document.GetHtml(html))) throw std::bad_alloc();
}

void EscapeAngleBrackets(std::u16string& html, const std::u16string& tag) {
  const std::u16string name = ToUpperAscii(tag);
  ReplaceAll(html, u"<" + name + u">", u"&lt;" + name + u"&gt;");
  ReplaceAll(html, u"</" + name + u">", u"&lt;/" + name + u"&gt;");
}

void MapXmlFrameElements(const IHTMLDocument2& document, XmlFrameValues& values,
                         XmlFrameCodes& codes) {
  // The elements below the body in document order, walked without recursion.
  std::vector<const Node*> pending(document.body()->children().rbegin(),
                                   document.body()->children().rend());
  while (!pending.empty()) {
    const Node* node = pending.back();
    pending.pop_back();
    if (!node->IsElement()) continue;
    const auto* element = static_cast<const IHTMLElement*>(node);
    pending.insert(pending.end(), element->children().rbegin(), element->children().rend());
    const std::u16string* xid = element->FindAttribute(kAttrXid);
    if (xid == nullptr) continue;
    values.try_emplace(*xid, element->InnerText());
    if (element->id() == kIcdCodeElementId) {
      codes.try_emplace(*xid, std::vector<std::u16string>{element->GetAttribute(kAttrExtandCode1),
                                                          element->GetAttribute(kAttrExtandCode2),
                                                          element->GetAttribute(kAttrSplitCode)});
    }
  }
}

void FillXmlFrame(xercesc::DOMNode* node, const XmlFrameValues& values,
                  const XmlFrameCodes& codes) {
  if (node == nullptr || node->getNodeType() != xercesc::DOMNode::ELEMENT_NODE) return;
  auto* element = static_cast<xercesc::DOMElement*>(node);
  const std::u16string xid(element->getAttribute(kAttrXid));
  const auto value = xid.empty() ? values.end() : values.find(xid);
  if (value != values.end()) {
    const auto code = codes.find(xid);
    if (code != codes.end()) {
      const char16_t* const kCodeAttributes[] = {kAttrExtandCode1, kAttrExtandCode2,
                                                 kAttrSplitCode};
      for (std::size_t i = 0; i < std::size(kCodeAttributes); ++i) {
        element->setAttribute(kCodeAttributes[i], korvalis::XmlCarriable(code->second[i]).c_str());
      }
    }
    // A character XML cannot carry would cost the record its whole XML.
    element->setTextContent(korvalis::XmlCarriable(value->second).c_str());
  }
  for (xercesc::DOMNode* child = node->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    FillXmlFrame(child, values, codes);
  }
}

HRESULT ConvertOrderSheetToXml(CSingleDataSource* pDataSource, LONG lngEmrType, BSTR bstrEmrID,
                               BSTR* pbstrXml) {
  std::vector<std::u16string> visit;
  pDataSource->Query(
      u"SELECT A.RESIDENCE_FLAG, A.PATIENT_ID, A.EVENT_NO FROM TELV_VISIT_RECORD A, "
      u"TELV_EMR_CONTENT B" +
          korvalis::SqlKey()
              .And(u"A.PATIENT_ID = B.PATIENT_ID AND A.EVENT_NO = B.EVENT_NO")
              .Equals(u"B.ID", bstrEmrID)
              .Where(),
      3, visit);
  if (visit.empty() || visit[0] != kResidenceFlagInHis) {
    korvalis::StoreBstrResult(pbstrXml, u"");
    return S_OK;
  }
  korvalis::Sibling<IHISPatientInfo> his(*DIDUFactory::Instance(), IID_IHISPatientInfo);
  const ScopedBstr patient_id(visit[1]), event_no(visit[2]);
  ScopedBstr orders;
  const HRESULT hr = lngEmrType == kLongTermOrderSheetType
                         ? his->GetLongTermOrders(patient_id.get(), event_no.get(), orders.out())
                         : his->GetTemporaryOrders(patient_id.get(), event_no.get(), orders.out());
  if (SUCCEEDED(hr)) korvalis::StoreBstrResult(pbstrXml, korvalis::BstrView(orders.get()));
  return hr;
}

long ConvertNurseSheetToXml(LONG /*lngEmrType*/, BSTR /*bstrEmrID*/, BSTR* pbstrXml) {
  korvalis::StoreBstrResult(pbstrXml, u"");
  return 0;
}
