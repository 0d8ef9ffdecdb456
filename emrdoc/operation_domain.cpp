#include "emrdoc/operation_domain.h"

#include <string>
#include <vector>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNodeList.hpp>

#include "emrdoc/emr_xml.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/calls/emr_error.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_parser.h"
#include "lookups/record_library.h"
#include "platform/com/scoped_bstr.h"

namespace {

using korvalis::com::ScopedBstr;

// The EMR type of an operation record.
constexpr int kOperationRecord = 5;

// The fields after `name`, read from the attributes of `ops`.
constexpr const char16_t* kAttributeFields[] = {u"code",
                                                u"pre_diagnosis",
                                                u"post_diagnosis",
                                                u"doctor",
                                                u"assistant",
                                                u"assistant2",
                                                u"process",
                                                u"date",
                                                u"begin",
                                                u"end",
                                                u"anesthetist",
                                                u"anesthesia",
                                                u"anesthesia_begin",
                                                u"anesthesia_end",
                                                u"anesthesia_issue",
                                                u"instrument_nurse",
                                                u"roving_nurse",
                                                u"drainage_tampon",
                                                u"sample_sight",
                                                u"complication",
                                                u"registrar",
                                                u"record_time"};

}  // namespace

long GetOperationRecordsXml(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                            BSTR* pbstrXml) {
  std::vector<std::u16string> ids;
  GetEmrIdsOfTypeNewestFirst(pDataSource, bstrPatientID, bstrEventNo, kOperationRecord, ids);
  korvalis::DomDocumentBuilder document(u"root");
  for (const std::u16string& id : ids) {
    // Every record gives its `ops`, also one whose XML is empty or does not parse.
    xercesc::DOMElement* ops = document.Append(document.root(), u"ops");
    const ScopedBstr emr_id(id);
    ScopedBstr xml;
    GetEmrXml(pDataSource, emr_id.get(), xml.out());
    if (korvalis::BstrView(xml.get()).empty()) continue;
    CXmlStringParser parser(xml.get());
    const xercesc::DOMDocument* record = parser.GetDocument();
    if (record == nullptr) continue;
    for (const xercesc::DOMElement* field : ElementChildren(record->getDocumentElement())) {
      const std::u16string name = ElementName(field);
      if (name == u"name") {
        korvalis::DomDocumentBuilder::SetText(ops, TextContent(field));
      } else {
        korvalis::DomDocumentBuilder::SetAttribute(ops, name, TextContent(field));
      }
    }
  }
  korvalis::StoreBstrResult(pbstrXml, document.Write());
  return 0;
}

void CBOperationDomain::StoreOperation(const std::u16string& prefix,
                                       const xercesc::DOMElement* ops) {
  Store(prefix + u"name", TextContent(ops));
  for (const char16_t* field : kAttributeFields)
    Store(prefix + field, ElementAttribute(ops, field));
}

void CBOperationDomain::Load(CSingleDataSource* pDataSource) {
  try {
    ScopedBstr records;
    GetOperationRecordsXml(pDataSource, patient_id(), event_no(), records.out());
    CXmlStringParser parser(records.get());
    const xercesc::DOMDocument* document = parser.GetDocument();
    if (document == nullptr) return;
    const xercesc::DOMNodeList* operations =
        document->getElementsByTagName(reinterpret_cast<const XMLCh*>(u"ops"));
    const XMLSize_t count = operations->getLength();
    for (XMLSize_t i = 0; i < count; ++i) {
      const auto* ops = static_cast<const xercesc::DOMElement*>(operations->item(i));
      StoreOperation(u"emr.operation." + LongToString(static_cast<long>(count - i)) + u".", ops);
      if (i == 0) StoreOperation(u"emr.operation.", ops);
    }
  } catch (const CEMRException& e) {
    CEMRRemoteError().SetError(e.GetText());
  }
}
