// The export of a report as its report document (report_document.h): version 1 for an
// old-format report, version 2 for a new-format one. Each value is read with the definition
// method that clients read it with, so the document holds what they see (the parameter
// definitions of an empty SQL_PARAM, for one, as the empty `root` document).
#include <initializer_list>
#include <map>
#include <string>

#include "foundation/xml/dom_builder.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/codec/emr_encoder.h"
#include "platform/com/scoped_bstr.h"
#include "report/emr_report.h"
#include "report/report_document.h"
#include "report/report_store.h"

namespace document = korvalis::report::document;

namespace {

using Getter = long (*)(CEMRDataSource*, LONG, BSTR*);

// A value of the document and the method that reads it.
struct ExportedValue {
  const char16_t* name;
  Getter get;
};

std::u16string Base64Of(BSTR value) {
  std::u16string text;
  CBase64Encoder().Encode(reinterpret_cast<const BYTE*>(value), SysStringByteLen(value), text);
  return text;
}

// Reads the values in the order given, then writes the document: `new_format` first for
// version 2, then one element per value in name order, each marked uncompressed in version 1.
std::u16string ReportDocument(CEMRDataSource* data_source, LONG report_id, bool version2,
                              std::initializer_list<ExportedValue> values) {
  std::map<std::u16string, std::u16string> encoded;
  for (const ExportedValue& value : values) {
    korvalis::com::ScopedBstr read;
    value.get(data_source, report_id, read.out());
    encoded[value.name] = Base64Of(read.get());
  }
  korvalis::DomDocumentBuilder report(u"root");
  if (version2) report.Append(report.root(), document::kNewFormat, u"1");
  for (const auto& [name, text] : encoded) {
    xercesc::DOMElement* element = report.Append(report.root(), name, text);
    if (!version2) report.SetAttribute(element, document::kCompression, u"0");
  }
  return report.Write();
}

}  // namespace

long CBEMRReport::ExportReport(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrReport) {
  if (korvalis::report::IsNewFormatReport(*pDataSource, lngReportID)) {
    return ExportReportV2(pDataSource, lngReportID, pbstrReport);
  }
  return ExportReportV1(pDataSource, lngReportID, pbstrReport);
}

long CBEMRReport::ExportReportV1(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrReport) {
  korvalis::report::StoreText(
      pbstrReport, ReportDocument(pDataSource, lngReportID, /*version2=*/false,
                                  {{document::kProperty, &CBEMRReport::GetReportProperty},
                                   {document::kSql, &CBEMRReport::GetReportSQL},
                                   {document::kSqlPro, &CBEMRReport::GetSQLProperty},
                                   {document::kSqlParam, &CBEMRReport::GetSQLParam},
                                   {document::kXslt, &CBEMRReport::GetReportXSLT}}));
  return 0;
}

long CBEMRReport::ExportReportV2(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrReport) {
  korvalis::report::StoreText(
      pbstrReport, ReportDocument(pDataSource, lngReportID, /*version2=*/true,
                                  {{document::kProperty, &CBEMRReport::GetReportProperty},
                                   {document::kSql, &CBEMRReport::GetReportSQL2},
                                   {document::kSqlParam, &CBEMRReport::GetSQLParam},
                                   {document::kXslt, &CBEMRReport::GetReportXSLT}}));
  return 0;
}
