// The core-system reports (PEV_CORESYSTEM_REPORT): a header row and two contents, the report's
// map and its HTML, each stored in a BLOB of the row as UTF-16LE text behind a byte-order mark,
// without compression or encryption. A report is listed with both contents, saved (its old row
// deleted, then the row inserted and both contents written, one unit with the call) or deleted.
//
// The catalogue of the list's filter is compared as a number; a filter whose catalogue is not a
// number is refused before any statement.
#include <string>
#include <utility>
#include <vector>

#include "foundation/codec/blob_text.h"
#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/record_statements.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/xml/xml_property.h"
#include "foundation/xml/xml_text.h"
#include "platform/text/unicode.h"
#include "quality/review/core_registers.h"
#include "quality/review/core_system.h"

namespace {

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::SqlConditions;
using korvalis::RowValue;
using korvalis::SqlKey;
using korvalis::XmlCarriable;

constexpr char16_t kTable[] = u"PEV_CORESYSTEM_REPORT";

// The statement that selects one content column of the report `id`.
std::u16string ContentSql(const char16_t* column, const std::u16string& id) {
  return std::u16string(u"SELECT A.") + column + u" FROM PEV_CORESYSTEM_REPORT A" +
         SqlKey().Equals(u"A.ID", id).Where();
}

// The header columns of the list as they are given, before the contents; the catalogue, the
// eighth column read, is not given.
constexpr const char16_t* kHeaderNames[] = {u"id",     u"name",        u"creator", u"create_time",
                                            u"mender", u"modify_time", u"note"};
constexpr unsigned kColumns = 8;

}  // namespace

long CBCoreSystem::GetCoreReport(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  const std::u16string sql =
      u" SELECT T.ID, T.REPORT_NAME, T.CREATOR, T.CREATE_TIME, T.MENDER, T.MODIFY_TIME, T.NOTE, "
      u"T.CATALOG FROM PEV_CORESYSTEM_REPORT T WHERE 1 = 1 " +
      SqlConditions(condition)
          .Number(u"catalog", u"T.CATALOG")
          .Equals(u"id", u"T.ID")
          // Days compare with their midnight: a report of the end day after 00:00:00 is not listed.
          .DateFrom(u"create_time_begin", u"T.CREATE_TIME", u"YYYY-MM-DD")
          .DateTo(u"create_time_end", u"T.CREATE_TIME", u"YYYY-MM-DD")
          .DateFrom(u"modify_time_begin", u"T.MODIFY_TIME", u"YYYY-MM-DD")
          .DateTo(u"modify_time_end", u"T.MODIFY_TIME", u"YYYY-MM-DD")
          .Equals(u"creator", u"T.CREATOR")
          .Equals(u"mender", u"T.MENDER")
          .Equals(u"name", u"T.REPORT_NAME")
          .Sql();

  std::vector<std::u16string> values;
  pDataSource->Query(sql, kColumns, values);
  korvalis::DomDocumentBuilder document(u"root");
  for (std::size_t row = 0; row + kColumns <= values.size(); row += kColumns) {
    xercesc::DOMElement* item = document.Append(document.root(), u"item");
    for (std::size_t column = 0; column < std::size(kHeaderNames); ++column) {
      document.Append(item, kHeaderNames[column], XmlCarriable(values[row + column]));
    }
    const std::u16string& id = values[row];
    for (const auto& [name, column] : {std::pair(u"map_content", u"MAP_CONTENT"),
                                       std::pair(u"html_content", u"HTML_CONTENT")}) {
      document.Append(item, name,
                      XmlCarriable(korvalis::ReadBlobText(*pDataSource, ContentSql(column, id))));
    }
  }
  korvalis::StoreBstrResult(pbstrList, document.Write());
  return 0;
}

long CBCoreSystem::SetCoreReport(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrList) {
  const CXmlProperty report = PropertyBag(bstrCondition);
  const std::u16string id = korvalis::IdForSave(*pDataSource, report.GetValue(u"id"), kTable);
  constexpr char16_t kTimeFormat[] = u"YYYY-MM-DD HH24:MI:SS";
  korvalis::InsertRow(
      *pDataSource, u"PEV_CORESYSTEM_REPORT",
      u"ID, REPORT_NAME, CREATOR, CREATE_TIME, MENDER, MODIFY_TIME, NOTE, CATALOG",
      {id, report.GetValue(u"name"), report.GetValue(u"creator"),
       RowValue::Date(report.GetValue(u"create_time"), kTimeFormat), report.GetValue(u"mender"),
       RowValue::Date(report.GetValue(u"modify_time"), kTimeFormat), report.GetValue(u"note"),
       report.GetValue(u"catalog")});
  korvalis::WriteBlobText(*pDataSource, ContentSql(u"MAP_CONTENT", id),
                          report.GetValue(u"map_content"));
  korvalis::WriteBlobText(*pDataSource, ContentSql(u"HTML_CONTENT", id),
                          report.GetValue(u"html_content"));
  korvalis::StoreBstrResult(pbstrList, id);
  return 0;
}

long CBCoreSystem::DelCoreReport(CEMRDataSource* pDataSource, BSTR bstrCondition) {
  korvalis::review::DeleteRecord(pDataSource, bstrCondition, kTable);
  return 0;
}
