// The QC standards catalogue of the QC administration: a tree of catalogues
// (PEV_STANDARD_CATALOG, by PARENT_ID, 0 the top level) and under each catalogue the standard
// items that reviewers and time-limit rules deduct points for (PEV_STANDARD_ITEM), both written
// through their property maps ("pev_standard_catalog", "pev_standard_item"), and the link of a
// QC catalogue to one catalogue of the EMR document tree (PEV_EMRCATA_QCCATA, at most one row
// per QC catalogue).
//
// Items and catalogues are never removed: deleting sets STATUS 0, and the lists show live rows
// only, but for GetStandardListByID and GetStandardCatalogProperty. A catalogue's GRADE_AREA
// is copied to its whole subtree, live or deleted, on every save. Points are read as
// "FM999990.99" without a trailing point (2 as "2", two and a half as "2.5"), but for
// GetAllStandardList, which gives the stored number.
//
// Every value that stands bare in a statement is checked to be a number before the first
// statement runs.
#include <limits>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/property_map.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/xml/xml_parser.h"
#include "foundation/xml/xml_property.h"
#include "foundation/xml/xml_text.h"
#include "platform/text/ascii.h"
#include "quality/rules/qc_admin.h"
#include "quality/rules/rule_documents.h"

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::RowValue;
using korvalis::SqlBareNumber;
using korvalis::SqlConditions;
using korvalis::SqlKey;
using korvalis::StoreBstrResult;

namespace {

constexpr char16_t kEmptyList[] = u"<?xml version='1.0' ?><root></root>";
constexpr char16_t kEmrCatalog[] = u"emr_catalog";

// Takes `emr_catalog` out of the bag: the EMR catalogue that the QC catalogue links to, empty
// when absent, refused when it is given but is no number.
std::u16string TakeEmrCatalog(CXmlProperty::Map& properties) {
  std::u16string emr_catalog;
  auto found = properties.find(kEmrCatalog);
  if (found == properties.end()) return emr_catalog;
  if (!found->second.empty()) emr_catalog = SqlBareNumber(found->second, kEmrCatalog);
  properties.erase(found);
  return emr_catalog;
}

// A bag of the names and the values of one row, in the order of the names.
CXmlProperty::Map BagOf(std::initializer_list<const char16_t*> names,
                        const std::vector<std::u16string>& row) {
  CXmlProperty::Map bag;
  std::size_t column = 0;
  for (const char16_t* name : names) bag[name] = row.at(column++);
  return bag;
}

// The element children of the list's document element, each the id of an item. A blank list
// names none; a list that is not well formed throws "无效XML!".
std::vector<std::u16string> ListedIds(BSTR bstrIDList) {
  std::vector<std::u16string> ids;
  if (BstrView(bstrIDList).empty()) return ids;
  CXmlStringParser parser(bstrIDList);
  const xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr || document->getDocumentElement() == nullptr) {
    throw CEMRException(std::u16string(u"无效XML!"));
  }
  for (const xercesc::DOMElement* child : ElementChildren(document->getDocumentElement())) {
    ids.push_back(SqlBareNumber(TextContent(child), u"id"));
  }
  return ids;
}

}  // namespace

std::u16string CBQCAdmin::GetMaxIdPlusOne(CEMRDataSource* pDataSource,
                                          const std::u16string& table) {
  std::u16string last;
  pDataSource->QueryScalar(u"SELECT MAX(ID) FROM " + table, last);
  const long next = StringToLong(last) + 1;
  if (next > std::numeric_limits<LONG>::max()) {
    throw CEMRException(u"新ID超出范围, 无法新建: " + table);
  }
  return LongToString(next);
}

void CBQCAdmin::SaveEmrCatalogMap(CEMRDataSource* pDataSource, const std::u16string& qc,
                                  const std::u16string& emr) {
  if (qc.empty() || qc == u"0") return;
  const SqlKey of_qc = std::move(SqlKey().Number(u"QC_CATALOG", qc));
  if (emr.empty()) {
    pDataSource->Execute(u"DELETE PEV_EMRCATA_QCCATA" + of_qc.Where());
    return;
  }
  std::u16string linked;
  pDataSource->QueryScalar(u"SELECT EMR_CATALOG FROM PEV_EMRCATA_QCCATA" + of_qc.Where(), linked);
  if (linked.empty()) {
    korvalis::InsertRow(*pDataSource, u"PEV_EMRCATA_QCCATA", u"EMR_CATALOG, QC_CATALOG",
                        {RowValue::Number(emr), RowValue::Number(qc)});
  } else if (linked != emr) {
    korvalis::UpdateRow(*pDataSource, u"PEV_EMRCATA_QCCATA",
                        {{u"EMR_CATALOG", RowValue::Number(emr)}}, of_qc.Sql());
  }
}

long CBQCAdmin::InitNewStandard(CEMRDataSource* pDataSource, BSTR bstrProperty, LONG* plngNewID) {
  CXmlProperty::Map properties = PropertyBag(bstrProperty).GetMap();
  const std::u16string id = GetMaxIdPlusOne(pDataSource, u"PEV_STANDARD_ITEM");
  properties[u"id"] = id;
  properties[u"sort_code"] = id;
  properties[u"status"] = u"1";
  properties[u"type"] = u"0";
  pDataSource->Execute(
      CPropertyMap(u"pev_standard_item").BuildInsertSql(u"PEV_STANDARD_ITEM", properties));
  if (plngNewID != nullptr) *plngNewID = static_cast<LONG>(StringToLong(id));
  return 0;
}

long CBQCAdmin::SaveStandardProperty(CEMRDataSource* pDataSource, LONG lngID, BSTR bstrProperty) {
  pDataSource->Execute(CPropertyMap(u"pev_standard_item")
                           .BuildUpdateSql(u"PEV_STANDARD_ITEM", PropertyBag(bstrProperty).GetMap(),
                                           SqlKey().Number(u"ID", lngID).Where()));
  return 0;
}

long CBQCAdmin::DeleteStandard(CEMRDataSource* pDataSource, LONG lngID) {
  korvalis::UpdateRow(*pDataSource, u"PEV_STANDARD_ITEM", {{u"STATUS", RowValue::Number(0)}},
                      SqlKey().Number(u"ID", lngID).Sql());
  return 0;
}

long CBQCAdmin::InitNewStandardCatalog(CEMRDataSource* pDataSource, BSTR bstrProperty,
                                       LONG* plngNewID) {
  CXmlProperty::Map properties = PropertyBag(bstrProperty).GetMap();
  const std::u16string emr_catalog = TakeEmrCatalog(properties);
  const std::u16string id = GetMaxIdPlusOne(pDataSource, u"PEV_STANDARD_CATALOG");
  properties[u"id"] = id;
  properties[u"sort_code"] = id;
  properties[u"status"] = u"1";
  pDataSource->Execute(
      CPropertyMap(u"pev_standard_catalog").BuildInsertSql(u"PEV_STANDARD_CATALOG", properties));
  if (plngNewID != nullptr) *plngNewID = static_cast<LONG>(StringToLong(id));
  SaveEmrCatalogMap(pDataSource, id, emr_catalog);
  return 0;
}

long CBQCAdmin::SaveStandardCatalogProperty(CEMRDataSource* pDataSource, LONG lngID,
                                            BSTR bstrProperty) {
  CXmlProperty::Map properties = PropertyBag(bstrProperty).GetMap();
  const std::u16string emr_catalog = TakeEmrCatalog(properties);
  const std::u16string id = LongToString(lngID);
  auto grade_area = properties.find(u"grade_area");
  const std::u16string area = grade_area == properties.end() ? u"" : grade_area->second;
  pDataSource->Execute(CPropertyMap(u"pev_standard_catalog")
                           .BuildUpdateSql(u"PEV_STANDARD_CATALOG", properties,
                                           SqlKey().Number(u"ID", lngID).Where()));
  // The catalogue and every catalogue below it, live or deleted, take the grade area.
  korvalis::UpdateRow(*pDataSource, u"PEV_STANDARD_CATALOG", {{u"GRADE_AREA", area}},
                      u"ID IN (SELECT ID FROM PEV_STANDARD_CATALOG CONNECT BY PRIOR ID = "
                      u"PARENT_ID START WITH " +
                          SqlKey().Number(u"ID", lngID).Sql() + u") ");
  SaveEmrCatalogMap(pDataSource, id, emr_catalog);
  return 0;
}

long CBQCAdmin::DeleteStandardCatalog(CEMRDataSource* pDataSource, LONG lngID) {
  korvalis::UpdateRow(*pDataSource, u"PEV_STANDARD_CATALOG", {{u"STATUS", RowValue::Number(0)}},
                      SqlKey().Number(u"ID", lngID).Sql());
  korvalis::UpdateRow(*pDataSource, u"PEV_STANDARD_ITEM", {{u"STATUS", RowValue::Number(0)}},
                      SqlKey().Number(u"POINT_CATALOG_ID", lngID).Sql());
  // The children become top-level catalogues and keep their items.
  korvalis::UpdateRow(*pDataSource, u"PEV_STANDARD_CATALOG", {{u"PARENT_ID", RowValue::Number(0)}},
                      SqlKey().Number(u"PARENT_ID", lngID).Sql());
  return 0;
}

long CBQCAdmin::GetAllStandardList(CEMRDataSource* pDataSource, BSTR* pbstrList) {
  pDataSource->QueryElements(
      u"SELECT A.STANDARD, A.ID, A.POINT, A.TYPE_VETO, A.TYPE_MULTI, A.TYPE_SUBJECTIVE, "
      u"A.MAIN_GRADE_FLAG,  A.NOTES, A.SORT_CODE, A.POINT_CATALOG_ID, B.GRADE_AREA, A.CODE  "
      u"FROM PEV_STANDARD_ITEM A LEFT JOIN PEV_STANDARD_CATALOG B ON A.POINT_CATALOG_ID = B.ID "
      u"WHERE A.STATUS = 1 ORDER BY A.ID",
      {u"standard", u"id", u"point", u"type_veto", u"type_multi_sel", u"type_subjective",
       u"main_grade_flag", u"notes", u"sort_code", u"point_catalog_id", u"grade_area", u"code"},
      pbstrList);
  return 0;
}

long CBQCAdmin::GetStandardList(CEMRDataSource* pDataSource, LONG lngCatalogID, BSTR* pbstrList) {
  pDataSource->QueryElements(
      u"SELECT A.STANDARD, A.ID, RTRIM(TO_CHAR(A.POINT, 'FM999990.99'), '.'), A.TYPE_VETO, "
      u"A.TYPE_MULTI, A.TYPE_SUBJECTIVE, A.NOTES, A.SORT_CODE, A.POINT_CATALOG_ID, "
      u"A.MAIN_GRADE_FLAG, A.CODE FROM PEV_STANDARD_ITEM A , PEV_STANDARD_CATALOG B" +
          SqlKey()
              .And(u"A.POINT_CATALOG_ID = B.ID")
              .Number(u"A.POINT_CATALOG_ID", lngCatalogID)
              .And(u"A.STATUS = 1 AND B.STATUS = 1")
              .Where() +
          u" ORDER BY SORT_CODE",
      {u"standard", u"id", u"point", u"type_veto", u"type_multi_sel", u"type_subjective", u"notes",
       u"sort_code", u"point_catalog_id", u"main_grade_flag", u"code"},
      pbstrList);
  return 0;
}

long CBQCAdmin::GetStandardList2(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  std::u16string sql =
      u"SELECT A.STANDARD, A.ID, RTRIM(TO_CHAR(A.POINT, 'FM999990.99'), '.'), A.TYPE_VETO, "
      u"A.TYPE_MULTI, A.TYPE_SUBJECTIVE, A.NOTES, A.SORT_CODE, A.POINT_CATALOG_ID FROM "
      u"PEV_STANDARD_ITEM A  JOIN PEV_STANDARD_CATALOG B  ON A.POINT_CATALOG_ID = B.ID  LEFT "
      u"JOIN PEV_EMRCATA_QCCATA C  ON A.POINT_CATALOG_ID = C.QC_CATALOG  WHERE A.STATUS = 1 AND "
      u"B.STATUS = 1 ";
  SqlConditions conditions(condition);
  conditions.Number(u"catalog_id", u"A.POINT_CATALOG_ID");
  // Catalogue 0 stands for every EMR catalogue.
  if (korvalis::TrimAsciiSpaces(conditions.Value(u"emr_catalog_id")) != u"0") {
    conditions.Number(u"emr_catalog_id", u"C.EMR_CATALOG");
  }
  sql += conditions.Equals(u"code", u"A.CODE").Sql();
  // Areas 5 and 6 stand alone; any other area also takes the catalogues of areas 0 and 3.
  const std::u16string area = condition.GetValue(u"grade_area");
  if (area == u"5" || area == u"6") {
    sql += u" AND " + SqlKey().In(u"B.GRADE_AREA", std::span(&area, 1)).Sql();
  } else if (!area.empty()) {
    const std::u16string areas[] = {area, u"0", u"3"};
    sql += u" AND " + SqlKey().In(u"B.GRADE_AREA", areas).Sql();
  }
  sql += u" ORDER BY A.POINT_CATALOG_ID, A.SORT_CODE ";
  pDataSource->QueryElements(sql,
                             {u"standard", u"id", u"point", u"type_veto", u"type_multi_sel",
                              u"type_subjective", u"notes", u"sort_code", u"point_catalog_id"},
                             pbstrList);
  return 0;
}

long CBQCAdmin::GetStandardListByID(CEMRDataSource* pDataSource, BSTR bstrIDList, BSTR* pbstrList) {
  const std::vector<std::u16string> ids = ListedIds(bstrIDList);
  std::u16string condition = u" AND 1=2";
  if (!ids.empty()) {
    std::u16string list;
    for (const std::u16string& id : ids) list.append(list.empty() ? u"" : u",").append(id);
    condition = u" AND " + SqlKey().NumberIn(u"ID", list, u"id").Sql();
  }
  constexpr unsigned kColumns = 10;
  std::vector<std::u16string> rows;
  pDataSource->Query(
      u"SELECT STANDARD, ID, RTRIM(TO_CHAR(POINT, 'FM999990.99'), '.'),  TYPE_VETO, TYPE_MULTI, "
      u"TYPE_SUBJECTIVE, NOTES, SORT_CODE, POINT_CATALOG_ID, MAIN_GRADE_FLAG  FROM "
      u"PEV_STANDARD_ITEM   WHERE 1 = 1 " +
          condition + u" ",
      kColumns, rows);
  if (rows.empty()) {
    StoreBstrResult(pbstrList, kEmptyList);
    return 0;
  }
  static constexpr const char16_t* kOpenings[kColumns] = {u"<item standard='",
                                                          u"' id='",
                                                          u"' point='",
                                                          u"' type_veto='",
                                                          u"' type_multi_sel='",
                                                          u"' type_subjective='",
                                                          u"' notes='",
                                                          u"' sort_code='",
                                                          u"'  point_catalog_id='",
                                                          u"' main_grade_flag='"};
  std::u16string list = u"<?xml version='1.0' ?><root>";
  for (std::size_t row = 0; row + kColumns <= rows.size(); row += kColumns) {
    for (unsigned column = 0; column < kColumns; ++column) {
      list.append(kOpenings[column]);
      korvalis::AppendXmlEscapedWithQuotes(list, rows[row + column]);
    }
    list.append(u"' ></item>");
  }
  StoreBstrResult(pbstrList, list + u"</root>");
  return 0;
}

long CBQCAdmin::GetStandardProperty(CEMRDataSource* pDataSource, LONG lngID, BSTR* pbstrProperty) {
  std::vector<std::u16string> row;
  pDataSource->Query(
      u"SELECT STANDARD, ID, RTRIM(TO_CHAR(POINT, 'FM999990.99'), '.'),  TYPE_VETO, TYPE_MULTI, "
      u"TYPE_SUBJECTIVE, NOTES, SORT_CODE, POINT_CATALOG_ID, MAIN_GRADE_FLAG, CODE FROM "
      u"PEV_STANDARD_ITEM" +
          SqlKey().Number(u"ID", lngID).And(u"STATUS = 1").Where(),
      11, row);
  if (row.empty()) {
    StoreBstrResult(pbstrProperty, kEmptyList);
    return 0;
  }
  const CXmlProperty bag(
      BagOf({u"standard", u"id", u"point", u"type_veto", u"type_multi_sel", u"type_subjective",
             u"notes", u"sort_code", u"point_catalog_id", u"main_grade_flag", u"code"},
            row));
  StoreBstrResult(pbstrProperty, bag.ToXml());
  return 0;
}

long CBQCAdmin::GetAllStandardCatalogList(CEMRDataSource* pDataSource, BSTR* pbstrList) {
  pDataSource->QueryElements(
      u"SELECT NAME, ID, EMR_TYPE_LIST, PARENT_ID, SORT_CODE, TOTAL_POINT, NOTES FROM "
      u"PEV_STANDARD_CATALOG WHERE STATUS = 1 ORDER BY ID",
      {u"name", u"id", u"emr_type", u"parent_id", u"sort_code", u"total_point", u"notes"},
      pbstrList);
  return 0;
}

long CBQCAdmin::GetStandardCatalogList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                       BSTR* pbstrList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  std::u16string sql =
      u"SELECT A.NAME, \t\tA.ID, \t\tA.EMR_TYPE_LIST, \t\tA.PARENT_ID, \t\tA.SORT_CODE, "
      u"\t\tA.TOTAL_POINT, \t\tA.NOTES, \t\tB.EMR_CATALOG, \t\tA.GRADE_AREA \t\tFROM "
      u"PEV_STANDARD_CATALOG A \t\tLEFT JOIN PEV_EMRCATA_QCCATA B ON  A.ID = B.QC_CATALOG "
      u"\t\tWHERE A.STATUS = 1";
  sql += SqlConditions(condition)
             .Number(u"parent_id", u"A.PARENT_ID")
             .Contains(u"emr_type", u"A.EMR_TYPE")
             .Number(u"emr_catalog_id", u"B.EMR_CATALOG")
             .Sql();
  const std::u16string area = condition.GetValue(u"grade_area");
  if (!area.empty()) {
    std::vector<std::u16string> areas;
    SplitByChars(area, u",", areas);
    // Only commas: no area to match.
    sql += u"AND " + SqlKey().In(u"A.GRADE_AREA", areas).Sql() + u" ";
  }
  sql += u" ORDER BY A.SORT_CODE";
  pDataSource->QueryElements(sql,
                             {u"name", u"id", u"emr_type", u"parent_id", u"sort_code",
                              u"total_point", u"notes", u"emr_catalog", u"grade_area"},
                             pbstrList);
  return 0;
}

long CBQCAdmin::GetStandardCatalogProperty(CEMRDataSource* pDataSource, LONG lngID,
                                           BSTR* pbstrProperty) {
  std::vector<std::u16string> row;
  pDataSource->Query(
      u"SELECT A.NAME, A.ID, A.EMR_TYPE_LIST, A.PARENT_ID, A.SORT_CODE, A.TOTAL_POINT, A.NOTES, "
      u"B.NAME, A.GRADE_AREA  FROM PEV_STANDARD_CATALOG A LEFT JOIN PEV_STANDARD_CATALOG B ON "
      u"A.PARENT_ID = B.ID" +
          SqlKey().Number(u"A.ID", lngID).Where(),
      9, row);
  if (row.empty()) {
    StoreBstrResult(pbstrProperty, u"<?xml version='1.0' ?><root/>");
    return 0;
  }
  CXmlProperty::Map bag = BagOf({u"name", u"id", u"emr_type", u"parent_id", u"sort_code",
                                 u"total_point", u"notes", u"parent_name", u"grade_area"},
                                row);
  std::vector<std::u16string> link;
  pDataSource->Query(
      u"SELECT A.ID, A.NAME FROM TELV_EMR_CATALOG A, PEV_EMRCATA_QCCATA B" +
          SqlKey().And(u"A.ID = B.EMR_CATALOG").Number(u"B.QC_CATALOG", lngID).Where(),
      2, link);
  if (!link.empty()) {
    bag[kEmrCatalog] = link[0];
    bag[u"emr_catalog_name"] = link[1];
  }
  StoreBstrResult(pbstrProperty, CXmlProperty(bag).ToXml());
  return 0;
}

long CBQCAdmin::IsStandardCodeExist(CEMRDataSource* pDataSource, BSTR bstrID, BSTR bstrCode,
                                    LONG* pbExist) {
  std::u16string count;
  pDataSource->QueryScalar(u"SELECT COUNT(*) AS ITEM_COUNT FROM PEV_STANDARD_ITEM ITEM" +
                               SqlKey()
                                   .Compare(u"ID", u"<>", RowValue::Number(bstrID, u"bstrID"))
                                   .Equals(u"CODE", bstrCode)
                                   .And(u"STATUS='1'")
                                   .Where(),
                           count);
  if (pbExist != nullptr) *pbExist = StringToLong(count) > 0 ? 1 : 0;
  return 0;
}

long CBQCAdmin::GetEMRAndQCMap(CEMRDataSource* pDataSource, BSTR* pbstrMapList) {
  pDataSource->QueryElements(u"SELECT EMR_CATALOG, QC_CATALOG FROM PEV_EMRCATA_QCCATA",
                             {u"emr", u"qc"}, pbstrMapList);
  return 0;
}
