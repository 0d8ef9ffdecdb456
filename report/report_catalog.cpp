// The report catalogue: a tree of categories in TELV_REPORT_CATALOG held together by text codes.
// The root "###" has no row; a top-level category has PARENT_CODE "###" and a code of three
// digits, and every child's code is its parent's code followed by three more:
//
//   ### ─┬─ 001 ─┬─ 001001
//        │       └─ 001002 (STATUS 0: deleted, its serial never reused)
//        └─ 002
//
// Serials run from 001 to 999 under one parent and are taken over all children, deleted ones
// included; deletion only sets STATUS 0. New identifiers and codes are read with MAX inside the
// writing call, whose transaction holds the database's write lock from its first statement, so
// concurrent creations never share either.
#include <string>

#include "foundation/calls/body_arguments.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_property.h"
#include "report/emr_report.h"
#include "report/report_store.h"

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::RowValue;
using korvalis::SqlKey;
using korvalis::report::CatalogProperties;
using korvalis::report::StoreText;

namespace {

constexpr char16_t kRootCode[] = u"###";
constexpr long kLastSerial = 999;

// The code of the next child of `parent_code`: the parent's code (none for the root) followed
// by the serial after the highest one taken, three digits wide.
std::u16string NextChildCode(CSingleDataSource& data_source, const std::u16string& parent_code) {
  std::u16string max_code;
  data_source.QueryScalar(
      u"SELECT MAX(CODE) MAX_CODE FROM TELV_REPORT_CATALOG" +
          SqlKey().Equals(u"PARENT_CODE", parent_code).Where(),
      max_code);
  if (max_code.empty()) max_code = u"000";
  const std::size_t digits = max_code.size() < 3 ? max_code.size() : 3;
  const long serial = StringToLong(max_code.substr(max_code.size() - digits)) + 1;
  if (serial > kLastSerial) {
    throw CEMRException(u"该类别下已有999个子类别, 无法再新建子类别. 类别编码: " + parent_code);
  }
  std::u16string code = LongToString(serial, u"%03ld");
  return parent_code == kRootCode ? code : parent_code + code;
}

// The code of the category whose children a list shows: the root for 0.
std::u16string ParentCodeOf(CSingleDataSource& data_source, LONG parent_id) {
  if (parent_id == 0) return kRootCode;
  return CatalogProperties(data_source, parent_id)[u"code"];
}

}  // namespace

long CBEMRReport::InitNewCatalog(CEMRDataSource* pDataSource, BSTR bstrParentCode,
                                 BSTR bstrProperty, LONG* plngCatalogID) {
  std::u16string parent_code(BstrView(bstrParentCode));
  if (parent_code.empty()) parent_code = kRootCode;
  const LONG id = korvalis::report::NextIdentifier(
      *pDataSource, u"SELECT MAX(ID) MAX_ID FROM TELV_REPORT_CATALOG",
      u"报表类别ID已超出范围, 无法新建报表类别.");
  const CXmlProperty property = PropertyBag(bstrProperty);
  const std::u16string name = property.GetValue(u"name");
  const std::u16string note = property.GetValue(u"note");
  const std::u16string code = NextChildCode(*pDataSource, parent_code);
  korvalis::InsertRow(*pDataSource, u"TELV_REPORT_CATALOG",
                      u"ID, NAME, CODE, PARENT_CODE, STATUS, NOTE",
                      {RowValue::Number(id), name, code, parent_code, RowValue::Number(1), note});
  if (plngCatalogID != nullptr) *plngCatalogID = id;
  return 0;
}

long CBEMRReport::DeleteCatalog(CEMRDataSource* pDataSource, LONG lngCatalogID) {
  const CXmlProperty::Map properties = CatalogProperties(*pDataSource, lngCatalogID);
  if (properties.empty()) throw CEMRException(std::u16string(u"获取报表类别属性错误."));
  std::u16string children = u"0";
  pDataSource->QueryScalar(
      u"SELECT COUNT(*) FROM TELV_REPORT_CATALOG" +
          SqlKey().Equals(u"PARENT_CODE", properties.at(u"code")).And(u"STATUS = 1").Where(),
      children);
  if (children != u"0") throw CEMRException(std::u16string(u"请先删除该类别包含的子类别."));
  std::u16string reports = u"0";
  pDataSource->QueryScalar(
      u"SELECT COUNT(*) FROM TELV_REPORT" +
          SqlKey().And(u"STATUS = 1").Number(u"CATALOG_ID", lngCatalogID).Where(),
      reports);
  if (reports != u"0") throw CEMRException(std::u16string(u"请先删除该类别包含的报表."));
  korvalis::UpdateRow(*pDataSource, u"TELV_REPORT_CATALOG", {{u"STATUS", RowValue::Number(0)}},
                      SqlKey().Number(u"ID", lngCatalogID).Sql());
  return 0;
}

long CBEMRReport::GetCatalogList(CEMRDataSource* pDataSource, LONG lngParentID, BSTR* pbstrList) {
  const std::u16string parent_code = ParentCodeOf(*pDataSource, lngParentID);
  pDataSource->QueryElements(
      u"SELECT NAME, ID, CODE, PARENT_CODE, SORT, NOTE FROM TELV_REPORT_CATALOG" +
          SqlKey().Equals(u"PARENT_CODE", parent_code).And(u"STATUS = 1").Where(),
      {u"catalog", u"id", u"code", u"parent", u"sort", u"note"}, pbstrList);
  return 0;
}

long CBEMRReport::GetCatalogProperty(CEMRDataSource* pDataSource, LONG lngCatalogID,
                                     BSTR* pbstrProperty) {
  StoreText(pbstrProperty,
            korvalis::report::PropertyDocument(CatalogProperties(*pDataSource, lngCatalogID)));
  return 0;
}

long CBEMRReport::SetCatalogProperty(CEMRDataSource* pDataSource, LONG lngCatalogID,
                                     BSTR bstrProperty) {
  // An empty document is refused with an empty description, as clients have always seen it.
  if (SysStringLen(bstrProperty) == 0) throw CEMRException(std::u16string());
  const CXmlProperty property = PropertyBag(bstrProperty);
  korvalis::UpdateRow(*pDataSource, u"TELV_REPORT_CATALOG",
                      {{u"NAME", property.GetValue(u"name")}, {u"NOTE", property.GetValue(u"note")}},
                      SqlKey().Number(u"ID", lngCatalogID).Sql());
  return 0;
}
