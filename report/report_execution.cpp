// Running a report: its stored queries completed with the caller's parameters, run, shaped into
// XML, transformed by the report's style sheet (XSLT) and handed back compressed; and, for a
// new-format report, the shape of its result document without running anything.
//
//   old format: SQL_PARAM + values + identity ─▶ parameters ─▶ SQL with placeholders placed
//               ─▶ rows named by SQL_PRO ─┐
//   new format: request + identity ─▶ result document (result_document.h) ─┤
//                                        XSLT ─▶ content ─▶ compressed text form
//
// The rows are read straight into the data document that the style sheet reads
// (report_queries.h). Nothing outlives the call: documents and maps live on its stack.
#include <string>
#include <vector>

#include "emrdoc/emr_content_hand_over.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/query_statements.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/xml/xsl_transform.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
#include "platform/xml/dom.h"
#include "report/emr_report.h"
#include "report/parameter_placement.h"
#include "report/report_parameters.h"
#include "report/report_queries.h"
#include "report/report_store.h"
#include "report/result_document.h"

using korvalis::BstrView;
using korvalis::com::ScopedBstr;

namespace {

// The data document of an old-format report whose SQL_PRO names nothing.
constexpr char16_t kEmptyOldFormatData[] = u"<?xml version = '1.0' ?><root/>";

// The old format's statement: the SQL column with its placeholders placed.
std::u16string GetReportSqlText(CSingleDataSource& data_source, LONG report_id,
                                const korvalis::report::ReportParameters& parameters) {
  ScopedBstr sql;
  korvalis::report::ReadReportColumn(data_source, korvalis::report::kSqlColumn, report_id,
                                     sql.out());
  if (SysStringLen(sql.get()) == 0) {
    throw CEMRException(std::u16string(u"报表SQL语句为空,无法生成报表"));
  }
  return korvalis::report::PlaceReportParameters(data_source, report_id, BstrView(sql.get()),
                                                 parameters);
}

// The old format's data document: the statement's rows shaped by the names of SQL_PRO (the
// first names each row's element, the others its attributes). Names that are only commas run
// nothing.
korvalis::xml::Document RunReportSql(CEMRDataSource* data_source, LONG report_id,
                                     const std::u16string& statement) {
  ScopedBstr row_names;
  CBEMRReport::GetSQLProperty(data_source, report_id, row_names.out());
  if (SysStringLen(row_names.get()) == 0) {
    throw CEMRException(std::u16string(u"报表SQL属性错误,无法生成报表"));
  }
  std::vector<std::u16string> names;
  SplitString(row_names.get(), u",", names);
  korvalis::report::ReportDataDocument data;
  if (names.empty()) {
    data.Append(kEmptyOldFormatData);
  } else {
    korvalis::CheckQueryStatement(statement, korvalis::report::kReportStatementNotAQuery);
    data.Append(korvalis::kDomDeclaration);
    data.AppendRows(*data_source, statement, names, u"root");
  }
  return data.Finish();
}

// The data document transformed by the report's style sheet.
std::u16string TransformReport(CSingleDataSource& data_source, LONG report_id,
                               const korvalis::xml::Document& source) {
  korvalis::xml::Document stylesheet = NewTransformDocument();
  ScopedBstr xslt;
  korvalis::report::ReadReportColumn(data_source, korvalis::report::kXsltColumn, report_id,
                                     xslt.out());
  if (SysStringLen(xslt.get()) == 0) {
    throw CEMRException(std::u16string(u"报表未配置XSLT内容,请与系统管理员联系.."));
  }
  const std::u16string failed = u"转换报表内容错误.";
  // A style sheet that does not load cannot transform anything.
  if (!stylesheet.LoadXml(korvalis::ToUtf8(BstrView(xslt.get())))) throw CEMRException(failed);
  return TransformToContent(source, stylesheet, failed);
}

// The content of a new-format report: its result document transformed.
std::u16string GetNewFormatContent(CEMRDataSource* data_source, LONG report_id, BSTR request,
                                   BSTR client_info) {
  return TransformReport(
      *data_source, report_id,
      korvalis::report::BuildResultXml(*data_source, report_id, request, client_info));
}

// The content of an old-format report: the rows of its statement transformed.
std::u16string GetOldFormatContent(CEMRDataSource* data_source, LONG report_id, BSTR values,
                                   BSTR client_info) {
  const korvalis::report::ReportParameters parameters =
      korvalis::report::SubstituteParams(*data_source, report_id, values, client_info);
  const std::u16string statement = GetReportSqlText(*data_source, report_id, parameters);
  return TransformReport(*data_source, report_id, RunReportSql(data_source, report_id, statement));
}

}  // namespace

long CBEMRReport::GetReportContent(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrParam,
                                   BSTR bstrClientInfo, BSTR* pbstrContent) {
  const std::u16string content =
      korvalis::report::IsNewFormatReport(*pDataSource, lngReportID)
          ? GetNewFormatContent(pDataSource, lngReportID, bstrParam, bstrClientInfo)
          : GetOldFormatContent(pDataSource, lngReportID, bstrParam, bstrClientInfo);
  if (pbstrContent != nullptr) *pbstrContent = PackEmrContent(content);
  return 0;
}

long CBEMRReport::GetResultXML(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrParam,
                               BSTR bstrClientInfo, BSTR* pbstrXml) {
  korvalis::StoreBstrResult(pbstrXml, korvalis::report::ResultStructureXml(
                                          *pDataSource, lngReportID, bstrParam, bstrClientInfo));
  return 0;
}
