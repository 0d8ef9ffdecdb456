#include "emrdoc/record_type_domains.h"

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "emrdoc/emr_xml.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_parser.h"
#include "lookups/record_library.h"
#include "platform/com/scoped_bstr.h"

using korvalis::com::ScopedBstr;

void CBRecordXmlDomain::Load(CSingleDataSource* pDataSource) {
  const ScopedBstr emr_id(FindRecord(pDataSource));
  if (korvalis::BstrView(emr_id.get()).empty()) return;
  ScopedBstr xml;
  GetEmrXml(pDataSource, emr_id.get(), xml.out());
  if (korvalis::BstrView(xml.get()).empty()) return;

  CXmlStringParser parser(xml.get());
  const xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr) return;
  const std::u16string prefix = KeyPrefix();
  for (const xercesc::DOMElement* element : ElementChildren(document->getDocumentElement())) {
    const std::u16string xid = ElementAttribute(element, u"xid");
    if (!xid.empty()) {
      Store(prefix + xid, TextContent(element));
      continue;
    }
    for (const xercesc::DOMElement* child : ElementChildren(element)) {
      const std::u16string child_xid = ElementAttribute(child, u"xid");
      if (!child_xid.empty()) Store(prefix + child_xid, TextContent(child));
    }
  }
}

std::u16string CBResidenceEMRDomain::FindRecord(CSingleDataSource* pDataSource) {
  ScopedBstr emr_id;
  GetResidenceEmrId(pDataSource, patient_id(), event_no(), emr_id.out());
  return emr_id.text();
}

std::u16string CBFirstRecordDomain::FindRecord(CSingleDataSource* pDataSource) {
  ScopedBstr emr_id;
  GetFirstRecordEmrId(pDataSource, patient_id(), event_no(), emr_id.out());
  return emr_id.text();
}

CBEMRTypeDomain::CBEMRTypeDomain(BSTR bstrPatientID, BSTR bstrEventNo, int nEmrType)
    : CBRecordXmlDomain(bstrPatientID, bstrEventNo), emr_type_(nEmrType) {}

std::u16string CBEMRTypeDomain::FindRecord(CSingleDataSource* pDataSource) {
  std::u16string emr_id;
  GetLatestEmrIdOfType(pDataSource, patient_id(), event_no(), emr_type_, emr_id);
  return emr_id;
}

std::u16string CBEMRTypeDomain::KeyPrefix() const {
  return u"emr." + IntToString(emr_type_) + u".";
}
