#include "emrdoc/emr_from_template.h"

#include <memory>
#include <new>
#include <string>
#include <vector>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "emrdoc/emr_content_document.h"
#include "emrdoc/emr_content_hand_over.h"
#include "emrdoc/emr_template.h"
#include "emrdoc/live_data_refresh.h"
#include "emrdoc/std_data_set.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/sibling_component.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/xml/emr_element.h"
#include "foundation/xml/xhtml_document.h"
#include "foundation/xml/xml_parser.h"
#include "foundation/xml/xsl_transform.h"
#include "lookups/visit_lookups.h"
#include "platform/com/scoped_bstr.h"

namespace {

using korvalis::BstrView;
using korvalis::com::ScopedBstr;

// The content of an order-sheet template that holds the XSL of its orders.
constexpr LONG kOrderSheetXslContent = 2;
// The serial_flag of the data elements that keep their ids when a data set is numbered.
constexpr char16_t kSerialDataElementFlag[] = u"1";

// Stores `packed` through `result`, or frees it when there is nowhere to store it.
void HandOver(BSTR packed, BSTR* result) {
  if (result == nullptr) {
    SysFreeString(packed);
  } else {
    *result = packed;
  }
}

// The HIS orders of the visit for a sheet of `emr_type`; empty for another type.
std::u16string ReadOrders(IHISPatientInfo* his, long emr_type, BSTR patient_id, BSTR event_no) {
  ScopedBstr orders;
  if (emr_type == kLongTermOrderSheetType) {
    CheckSiblingCall(his->GetLongTermOrders(patient_id, event_no, orders.out()));
  } else if (emr_type == kTemporaryOrderSheetType) {
    CheckSiblingCall(his->GetTemporaryOrders(patient_id, event_no, orders.out()));
  }
  return orders.text();
}

}  // namespace

long CreateEmrFromTemplate(CSingleDataSource* pDataSource, LONG lngTemplateID, BSTR bstrPatientID,
                           BSTR bstrEventNo, BSTR* pbstrContent) {
  const long emr_type =
      StringToLong(korvalis::emrdoc::TemplateEmrType(*pDataSource, lngTemplateID));
  ScopedBstr content;
  if (IsOrderSheetType(emr_type)) {
    BuildOrderSheetContent(pDataSource, lngTemplateID, emr_type, bstrPatientID, bstrEventNo,
                           content.out());
  } else {
    GetTemplateHtml(pDataSource, lngTemplateID, content.out());
  }
  XHTMLDocument document;
  if (document.Load(content.text()) == E_OUTOFMEMORY) throw std::bad_alloc();
  document.WaitForComplete();
  FillDataElements(pDataSource, lngTemplateID, document, bstrPatientID, bstrEventNo);
  RefillDataElementsForVisit(pDataSource, document, bstrPatientID, bstrEventNo);
  ApplyDefaultCss(pDataSource, document);
  std::u16string html;
  if (FAILED(document.GetHtml(html))) throw std::bad_alloc();
  HandOver(PackEmrContent(html), pbstrContent);
  return 0;
}

long BuildOrderSheetContent(CSingleDataSource* pDataSource, LONG lngTemplateID, LONG lngEmrType,
                            BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrContent) {
  std::u16string residence_flag;
  pDataSource->QueryScalar(u"SELECT RESIDENCE_FLAG FROM TELV_VISIT_RECORD" +
                               VisitKey(bstrPatientID, bstrEventNo).Where(),
                           residence_flag);
  std::u16string sheet;
  if (residence_flag != u"0") {
    korvalis::Sibling<IHISPatientInfo> his(*DIDUFactory::Instance(), IID_IHISPatientInfo);
    ScopedBstr xsl;
    GetTemplateContent(pDataSource, lngTemplateID, kOrderSheetXslContent, xsl.out());
    const ScopedBstr orders(ReadOrders(his.get(), lngEmrType, bstrPatientID, bstrEventNo));
    if (!BstrView(orders.get()).empty() && !BstrView(xsl.get()).empty()) {
      ScopedBstr transformed;
      try {
        XslTransform(orders.get(), xsl.get(), transformed.out());
      } catch (const CEMRException& failure) {
        // Orders laid out from a document that did not load would be an empty sheet, which a
        // load would store over the sheet the ward has: the layout fails instead.
        if (failure.GetText() != kXslTransformFailedMessage) throw;
        throw CEMRException(std::u16string(kOrderSheetLayoutFailedMessage));
      }
      sheet = transformed.text();
    }
  }
  korvalis::StoreBstrResult(pbstrContent, sheet);
  return 0;
}

void FillDataElements(CSingleDataSource* pDataSource, LONG lngTemplateID, XHTMLDocument& document,
                      BSTR bstrPatientID, BSTR bstrEventNo) {
  std::shared_ptr<IHTMLDocument2> html;
  document.GetDocument(&html);
  IHTMLElement* body = html == nullptr ? nullptr : html->body();
  if (body == nullptr) return;
  const std::u16string data_set = GetElementAttribute(body, kAttrAutoSerial);
  const long serial = GetNextEmrSerial(pDataSource, lngTemplateID, bstrPatientID, bstrEventNo);
  if (data_set.empty() || serial == 0) return;

  const ScopedBstr data_set_id(data_set);
  ScopedBstr serial_element, list;
  GetSerialDataElements(pDataSource, data_set_id.get(), serial_element.out());
  if (BstrView(serial_element.get()).empty()) return;
  GetDataElementList(pDataSource, data_set_id.get(), list.out());
  CXmlStringParser parser(list.get());
  const xercesc::DOMDocument* elements = parser.GetDocument();
  if (elements == nullptr) return;
  for (const xercesc::DOMElement* de : ElementChildren(elements->getDocumentElement())) {
    if (ElementName(de) != u"de") continue;
    if (ElementAttribute(de, u"serial_flag") == kSerialDataElementFlag) continue;
    const std::u16string id = ElementAttribute(de, u"id");
    if (id.empty()) continue;
    const std::vector<IHTMLElement*> named = html->GetElementsByName(id);
    for (auto element = named.rbegin(); element != named.rend(); ++element) {
      SetElementAttribute(*element, u"id", NumberedId(id, serial));
    }
  }
  SetElementAttribute(body, kAttrAutoSerial, NumberedId(data_set, serial));
}

long GetNextEmrSerial(CSingleDataSource* pDataSource, LONG lngTemplateID, BSTR bstrPatientID,
                      BSTR bstrEventNo) {
  const std::u16string emr_type = korvalis::emrdoc::TemplateEmrType(*pDataSource, lngTemplateID);
  std::u16string count;
  pDataSource->QueryScalar(u" SELECT COUNT(A.ID) FROM TELV_EMR_CONTENT A, TELV_EMR_TEMPLATE B" +
                               korvalis::SqlKey()
                                   .And(u"A.TEMPLATE_ID = B.ID")
                                   .Equals(u"B.EMR_TYPE", emr_type)
                                   .Equals(u"A.PATIENT_ID", bstrPatientID)
                                   .Equals(u"A.EVENT_NO", bstrEventNo)
                                   .And(u"A.STATUS = 1")
                                   .Where(),
                           count);
  return StringToLong(count) + 1;
}
