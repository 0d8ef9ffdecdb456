// The reports of TELV_REPORT and their descriptive properties: creation, deletion (STATUS 0;
// rows are never removed), the lists, the property document, the format flag, the old format's
// row names (SQL_PRO) and the server's time.
//
// Properties are written through the property map "telv_report", which names the column of each
// property and how its value is written; a property it does not list fails the call before
// anything is written. Every report created here is of the new format; old-format reports come
// in through import.
#include <string>

#include "foundation/calls/body_arguments.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/property_map.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/xml/xml_property.h"
#include "platform/text/ascii.h"
#include "report/emr_report.h"
#include "report/report_store.h"

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::report::IdText;
using korvalis::report::StoreText;

namespace {

constexpr char16_t kReportTable[] = u"TELV_REPORT";
constexpr char16_t kReportMap[] = u"telv_report";

// Identifiers from this one on are kept apart from the ones new reports are numbered after.
constexpr char16_t kFirstReservedId[] = u"539399500000";

}  // namespace

long CBEMRReport::InitNewReport(CEMRDataSource* pDataSource, LONG lngCatalogID, BSTR bstrProperty,
                                LONG* plngReportID) {
  if (lngCatalogID == 0) throw CEMRException(std::u16string(u"请先确定父类别后新建报表."));
  const LONG id = korvalis::report::NextIdentifier(
      *pDataSource,
      std::u16string(u"SELECT MAX(ID) MAX_ID FROM TELV_REPORT WHERE ID < ") + kFirstReservedId,
      u"报表ID已超出范围, 无法新建报表.");
  CXmlProperty::Map properties = PropertyBag(bstrProperty).GetMap();
  properties[u"id"] = IdText(id);
  properties[u"sort"] = IdText(id);
  properties[u"status"] = u"1";
  properties[u"newformat"] = u"1";
  pDataSource->Execute(CPropertyMap(kReportMap).BuildInsertSql(kReportTable, properties));
  if (plngReportID != nullptr) *plngReportID = id;
  return 0;
}

long CBEMRReport::DeleteReport(CEMRDataSource* pDataSource, LONG lngReportID) {
  korvalis::UpdateRow(*pDataSource, u"TELV_REPORT", {{u"STATUS", korvalis::RowValue::Number(0)}},
                      korvalis::SqlKey().Number(u"ID", lngReportID).Sql());
  return 0;
}

long CBEMRReport::GetReportList(CEMRDataSource* pDataSource, LONG lngCatalogID, BSTR* pbstrList) {
  std::u16string sql =
      u"SELECT NAME, ID, CATALOG_ID, CREATOR, CREATOR_ID, LAST_MODIFY_TIME, SORT, NOTE FROM "
      u"TELV_REPORT WHERE STATUS = 1 ";
  if (lngCatalogID != 0) {
    sql += u"AND " + korvalis::SqlKey().Number(u"CATALOG_ID", lngCatalogID).Sql() +
           u" ORDER BY SORT, ID";
  }
  pDataSource->QueryElements(
      sql,
      {u"report", u"id", u"catalogid", u"creator", u"creatorid", u"modifytime", u"sort", u"note"},
      pbstrList);
  return 0;
}

long CBEMRReport::GetReportProperty(CEMRDataSource* pDataSource, LONG lngReportID,
                                    BSTR* pbstrProperty) {
  StoreText(pbstrProperty, korvalis::report::PropertyDocument(
                               korvalis::report::ReportProperties(*pDataSource, lngReportID)));
  return 0;
}

long CBEMRReport::SetReportProperty(CEMRDataSource* pDataSource, LONG lngReprotID,
                                    BSTR bstrProperty) {
  // An empty document is refused with an empty description, as clients have always seen it.
  if (SysStringLen(bstrProperty) == 0) throw CEMRException(std::u16string());
  CXmlProperty::Map properties = PropertyBag(bstrProperty).GetMap();
  properties.erase(u"id");  // a report keeps its identifier
  pDataSource->Execute(
      CPropertyMap(kReportMap)
          .BuildUpdateSql(kReportTable, properties, u" WHERE ID = " + IdText(lngReprotID)));
  return 0;
}

long CBEMRReport::GetReportData(CEMRDataSource* pDataSource, BSTR bstrCatalogID,
                                BSTR* pbstrProperty) {
  const std::u16string_view catalog = korvalis::TrimAsciiBlanks(BstrView(bstrCatalogID));
  if (catalog.empty()) {
    throw CEMRException(std::u16string(u"获取报表信息，报表类别不能为空！"));
  }
  pDataSource->QueryElements(
      u"SELECT ID, NAME FROM TELV_REPORT" +
          korvalis::SqlKey()
              .Number(u"CATALOG_ID", korvalis::SqlNumber(catalog, u"报表类别"))
              .And(u"STATUS=1")
              .Where(),
      {u"id", u"name"}, pbstrProperty);
  return 0;
}

long CBEMRReport::IsNewFormat(CEMRDataSource* pDataSource, LONG lngReportID,
                              VARIANT_BOOL* pbNewFormat) {
  const bool new_format = korvalis::report::IsNewFormatReport(*pDataSource, lngReportID);
  if (pbNewFormat != nullptr) *pbNewFormat = new_format ? VARIANT_TRUE : VARIANT_FALSE;
  return 0;
}

long CBEMRReport::GetSQLProperty(CEMRDataSource* pDataSource, LONG lngReportID,
                                 BSTR* pbstrProperty) {
  std::u16string names;
  if (!korvalis::report::IsNewFormatReport(*pDataSource, lngReportID)) {
    pDataSource->QueryScalar(
        u"SELECT SQL_PRO FROM TELV_REPORT" + korvalis::SqlKey().Number(u"ID", lngReportID).Where(),
        names);
  }
  StoreText(pbstrProperty, names);
  return 0;
}

long CBEMRReport::SetSQLProperty(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrProperty) {
  if (korvalis::report::IsNewFormatReport(*pDataSource, lngReportID)) return 0;
  korvalis::UpdateRow(*pDataSource, u"TELV_REPORT", {{u"SQL_PRO", BstrView(bstrProperty)}},
                      korvalis::SqlKey().Number(u"ID", lngReportID).Sql());
  return 0;
}

long CBEMRReport::GetCurrTime(CEMRDataSource* pDataSource, BSTR* pbstrTime) {
  std::u16string now;
  pDataSource->QueryScalar(pDataSource->GetDBType()->GetSysDateSql(), now);
  StoreText(pbstrTime, now);
  return 0;
}
