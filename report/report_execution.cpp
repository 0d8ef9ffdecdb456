// Running a report: its stored queries completed with the caller's parameters, run, shaped into
// XML, transformed by the report's style sheet (XSLT) and handed back compressed; and, for a
// new-format report, the shape of its result document without running anything.
//
//   old format: SQL_PARAM + values + identity ─▶ parameters ─▶ SQL with placeholders placed
//               ─▶ rows named by SQL_PRO ─┐
//   new format: request + identity ─▶ result document (result_document.h) ─┤
//                                        XSLT ─▶ content ─▶ compressed text form
//
// The rows go straight to the transformation that the style sheet makes of them, in the
// transformation's worker (report_queries.h). Nothing outlives the call.
#include <string>
#include <vector>

#include "emrdoc/emr_content_hand_over.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/query_statements.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/dom_builder.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
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

// The data document of a run, to be transformed by the report's style sheet (empty when the
// report has none: the run is refused once its rows were read).
korvalis::report::ReportDataDocument ReportData(CSingleDataSource& data_source, LONG report_id) {
  ScopedBstr xslt;
  korvalis::report::ReadReportColumn(data_source, korvalis::report::kXsltColumn, report_id,
                                     xslt.out());
  return korvalis::report::ReportDataDocument(BstrView(xslt.get()));
}

// The old format's page: the statement's rows shaped by the names of SQL_PRO (the first names
// each row's element, the others its attributes), transformed. Names that are only commas run
// nothing.
std::u16string TransformReportSql(CEMRDataSource* data_source, LONG report_id,
                                  const std::u16string& statement) {
  ScopedBstr row_names;
  CBEMRReport::GetSQLProperty(data_source, report_id, row_names.out());
  if (SysStringLen(row_names.get()) == 0) {
    throw CEMRException(std::u16string(u"报表SQL属性错误,无法生成报表"));
  }
  std::vector<std::u16string> names;
  SplitString(row_names.get(), u",", names);
  korvalis::report::ReportDataDocument data = ReportData(*data_source, report_id);
  if (names.empty()) {
    data.Append(kEmptyOldFormatData);
  } else {
    korvalis::CheckQueryStatement(statement, korvalis::report::kReportStatementNotAQuery);
    data.Append(korvalis::kDomDeclaration);
    data.AppendRows(*data_source, statement, names, u"root");
  }
  return data.Transform();
}

// The content of a new-format report: its result document transformed.
std::u16string GetNewFormatContent(CEMRDataSource* data_source, LONG report_id, BSTR request,
                                   BSTR client_info) {
  korvalis::report::ReportDataDocument data = ReportData(*data_source, report_id);
  korvalis::report::WriteResultXml(*data_source, report_id, request, client_info, data);
  return data.Transform();
}

// The content of an old-format report: the rows of its statement transformed.
std::u16string GetOldFormatContent(CEMRDataSource* data_source, LONG report_id, BSTR values,
                                   BSTR client_info) {
  const korvalis::report::ReportParameters parameters =
      korvalis::report::SubstituteParams(*data_source, report_id, values, client_info);
  const std::u16string statement = GetReportSqlText(*data_source, report_id, parameters);
  return TransformReportSql(data_source, report_id, statement);
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
