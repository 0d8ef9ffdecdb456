// The import of a report document (report_document.h) into an existing report: the report keeps
// its identity, name, category and sort key; its texts, note and format come from the document.
//
//   column              version 1                      version 2
//   NEW_FORMAT          0, set first                   1, set last
//   SQL, SQL_PRO        replaced when present          kept
//   MULTI_SQL           kept                           replaced when present
//   SQL_PARAM, XSLT     replaced when present          replaced when present
//   NOTE                the document's note, when its property document holds one
//   LAST_MODIFY_TIME    the server time, when the      the server time, whenever the
//                       property document holds one    document has a property document
//
// An element that is missing leaves its column alone; one without text empties it. The call's
// transaction makes the import all or nothing: a value refused part way undoes the earlier ones.
#include <climits>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <xercesc/dom/DOM.hpp>

#include "foundation/codec/codec_factory.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_parser.h"
#include "foundation/xml/xml_property.h"
#include "platform/com/scoped_bstr.h"
#include "report/emr_report.h"
#include "report/report_document.h"
#include "report/report_store.h"

namespace document = korvalis::report::document;

namespace {

constexpr char16_t kBadDocumentMessage[] = u"导入报表,报表内容格式错误.";

using Setter = long (*)(CEMRDataSource*, LONG, BSTR);

// A value of the document and the method that stores it.
struct ImportedValue {
  const char16_t* name;
  Setter set;
};

struct BstrFree {
  void operator()(BSTR bstr) const { SysFreeString(bstr); }
};
using OwnedBstr = std::unique_ptr<OLECHAR, BstrFree>;

const xercesc::DOMElement* FirstElement(const xercesc::DOMDocument* report, const char16_t* name) {
  return static_cast<const xercesc::DOMElement*>(report->getElementsByTagName(name)->item(0));
}

// The bytes of the first element `name` anywhere in the document; none when there is no such
// element. Version 1 undoes the compression that the element's `compression` names.
std::optional<std::string> ReadValue(const xercesc::DOMDocument* report, const char16_t* name,
                                     bool version1) {
  const xercesc::DOMElement* element = FirstElement(report, name);
  if (element == nullptr) return std::nullopt;
  const std::u16string text = TextContent(element);
  if (text.empty()) return std::string();
  BYTE* decoded = nullptr;
  ULONG length = 0;
  try {
    CBase64Encoder().Decode(text, decoded, length);
  } catch (const CEMRException&) {
    throw CEMRException(kBadDocumentMessage);
  }
  std::unique_ptr<BYTE[]> bytes(decoded);
  if (version1) {
    const long type = StringToLong(ElementAttribute(element, document::kCompression));
    if (type > 0) {
      // A number no compression has is refused as such, however large.
      const auto compression = CreateCompression(type > INT_MAX ? INT_MAX : static_cast<int>(type));
      if (length > 0) {
        BYTE* plain = nullptr;
        compression->Uncompress(bytes.get(), length, plain, length);
        bytes.reset(plain);
      }
    }
  }
  return std::string(reinterpret_cast<const char*>(bytes.get()), length);
}

// The bytes read as UTF-16LE code units.
std::u16string TextOf(const std::string& bytes) {
  std::u16string text(bytes.size() / sizeof(char16_t), u'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * sizeof(char16_t));
  return text;
}

OwnedBstr BstrOf(const std::string& bytes) {
  OwnedBstr bstr(SysAllocStringByteLen(bytes.data(), static_cast<UINT>(bytes.size())));
  if (bstr == nullptr) throw std::bad_alloc();
  return bstr;
}

std::u16string ServerTime(CEMRDataSource* data_source) {
  korvalis::com::ScopedBstr now;
  CBEMRReport::GetCurrTime(data_source, now.out());
  return now.text();
}

// Writes the properties to the report and answers their document.
std::u16string ApplyProperties(CEMRDataSource* data_source, LONG report_id,
                               const CXmlProperty::Map& properties) {
  const std::u16string applied = CXmlProperty(properties).ToXml();
  CBEMRReport::SetReportProperty(data_source, report_id, korvalis::com::ScopedBstr(applied).get());
  return applied;
}

// Stores each value of the document that is present, in the order given.
void StoreValues(const xercesc::DOMDocument* report, CEMRDataSource* data_source, LONG report_id,
                 bool version1, std::initializer_list<ImportedValue> values) {
  for (const ImportedValue& value : values) {
    if (const auto bytes = ReadValue(report, value.name, version1)) {
      value.set(data_source, report_id, BstrOf(*bytes).get());
    }
  }
}

void SetFormat(CEMRDataSource* data_source, LONG report_id, bool new_format) {
  korvalis::UpdateRow(*data_source, u"TELV_REPORT",
                      {{u"NEW_FORMAT", korvalis::RowValue::Number(new_format ? 1 : 0)}},
                      korvalis::SqlKey().Number(u"ID", report_id).Sql());
}

}  // namespace

long CBEMRReport::ImportReport(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrReport,
                               BSTR* pbstrPortion) {
  if (lngReportID < 0 || pbstrPortion == nullptr) {
    throw CEMRException(u"导入报表,报表报表ID不正确.");
  }
  CXmlStringParser parser(bstrReport);
  const xercesc::DOMDocument* report = parser.GetDocument();
  // A blank text is no report document either.
  if (report == nullptr || report->getDocumentElement() == nullptr) {
    throw CEMRException(kBadDocumentMessage);
  }
  std::u16string portion;
  if (FirstElement(report, document::kNewFormat) != nullptr) {
    ImportReportV2(report, pDataSource, lngReportID, &portion);
  } else {
    ImportReportV1(report, pDataSource, lngReportID, &portion);
  }
  if (SysReAllocStringLen(pbstrPortion, portion.data(), static_cast<UINT>(portion.size())) == 0) {
    throw std::bad_alloc();
  }
  return 0;
}

long CBEMRReport::ImportReportV1(const xercesc::DOMDocument* pDocument, CEMRDataSource* pDataSource,
                                 LONG lngReportID, std::u16string* pstrPortion) {
  // SQL_PRO is written only while the report reads as old format.
  SetFormat(pDataSource, lngReportID, /*new_format=*/false);
  if (const auto value = ReadValue(pDocument, document::kProperty, /*version1=*/true)) {
    const CXmlProperty::Map imported = CXmlProperty(TextOf(*value)).GetMap();
    if (imported.empty()) throw CEMRException(u"出错了: 获取报表属性错误.");
    CXmlProperty::Map applied;
    if (imported.count(u"lastmodifytime") != 0)
      applied[u"lastmodifytime"] = ServerTime(pDataSource);
    if (const auto note = imported.find(u"note"); note != imported.end()) {
      applied[u"note"] = note->second;
    }
    *pstrPortion = ApplyProperties(pDataSource, lngReportID, applied);
  }
  StoreValues(pDocument, pDataSource, lngReportID, /*version1=*/true,
              {{document::kSql, &CBEMRReport::SetReportSQL},
               {document::kSqlPro, &CBEMRReport::SetSQLProperty},
               {document::kSqlParam, &CBEMRReport::SetSQLParam},
               {document::kXslt, &CBEMRReport::SetReportXSLT}});
  return 0;
}

long CBEMRReport::ImportReportV2(const xercesc::DOMDocument* pDocument, CEMRDataSource* pDataSource,
                                 LONG lngReportID, std::u16string* pstrPortion) {
  if (const auto value = ReadValue(pDocument, document::kProperty, /*version1=*/false)) {
    const CXmlProperty::Map imported = CXmlProperty(TextOf(*value)).GetMap();
    CXmlProperty::Map applied = {{u"lastmodifytime", ServerTime(pDataSource)}};
    if (const auto note = imported.find(u"note"); note != imported.end()) {
      applied[u"note"] = note->second;
    }
    *pstrPortion = ApplyProperties(pDataSource, lngReportID, applied);
  }
  StoreValues(pDocument, pDataSource, lngReportID, /*version1=*/false,
              {{document::kSql, &CBEMRReport::SetReportSQL2},
               {document::kSqlParam, &CBEMRReport::SetSQLParam},
               {document::kXslt, &CBEMRReport::SetReportXSLT}});
  SetFormat(pDataSource, lngReportID, /*new_format=*/true);
  return 0;
}
