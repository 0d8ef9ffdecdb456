// The knowledge base's catalogue tree and the items filed in it (VKT_CATALOG, VKT_ITEM), and the
// catalogues distributed to a department. A catalogue points at its parent by PARENT_ID, NULL at
// the top; every row is deleted physically, and a rewrite keeps the identifier that children
// and items point at.
//
// The tree listing reads the catalogues that match the condition with all their descendants,
// each before its children (CONNECT BY), and places every row in the element of its parent by
// walking up from the element placed last; a row whose parent is not listed goes to `root`:
//
//   rows: 内科 (top), 心血管 (of 内科), 冠心病 (of 心血管), 呼吸 (of 内科), 外科 (top)
//
//   root ─┬─ child 内科 ─┬─ child 心血管 ── child 冠心病
//         │             └─ child 呼吸        (walked up from 冠心病 to 内科)
//         └─ child 外科                       (a top catalogue: straight into root)
//
// A catalogue made its own ancestor is a loop in the data: the hierarchical query fails with
// the database error instead of nesting without end, while the flat listing still answers.
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/record_statements.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_key.h"
#include "foundation/xml/xml_property.h"
#include "report/repository.h"
#include "report/repository_rows.h"

using korvalis::ArgumentText;
using korvalis::PropertyBag;
using korvalis::SqlConditions;
using korvalis::SqlKey;
using korvalis::StoreBstrResult;
using korvalis::repository::SaveRecord;
using korvalis::repository::SavedColumn;

namespace {

constexpr char16_t kTrueFlag[] = u"true";
constexpr char16_t kCatalogColumns[] =
    u"SELECT A.ID, A.PARENT_ID, A.NAME, A.REMARK, A.DEF_STRUCTURE_ID FROM VKT_CATALOG A";
// The attributes of a catalogue's element, in the order of kCatalogColumns.
constexpr std::u16string_view kCatalogAttributes[] = {u"id", u"parent_id", u"name", u"remark",
                                                      u"def_structure_id"};

}  // namespace

long CBRepository::SetVktCatalog(CEMRDataSource* pDataSource, BSTR bstrProperty,
                                 BSTR* pbstrCatalogID) {
  static constexpr SavedColumn kColumns[] = {{u"ID", u"id"},
                                             {u"NAME", u"name"},
                                             {u"PARENT_ID", u"parent_id"},
                                             {u"REMARK", u"remark"},
                                             {u"DEF_STRUCTURE_ID", u"def_structure_id"}};
  const CXmlProperty property = PropertyBag(bstrProperty);
  StoreBstrResult(pbstrCatalogID, SaveRecord(*pDataSource, u"VKT_CATALOG", property, kColumns));
  return 0;
}

long CBRepository::DelVktCatalog(CEMRDataSource* pDataSource, BSTR bstrID) {
  const std::u16string id = ArgumentText(bstrID);
  if (!id.empty()) korvalis::DeleteKeyedRows(*pDataSource, u"VKT_CATALOG", u"ID", id);
  return 0;
}

long CBRepository::GetVktCatalogList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                     BSTR* pbstrCatalogList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  std::u16string where = u" 1=1 ";
  where += SqlConditions(condition).Equals(u"id", u"ID").Equals(u"parent_id", u"PARENT_ID").Sql();
  if (condition.GetValue(u"id").empty() && condition.GetValue(u"parent_id").empty()) {
    where += u" AND PARENT_ID IS NULL";
  }
  // Only the exact lower-case flag asks for the tree.
  const bool tree = condition.GetValue(u"recursive_flag") == kTrueFlag;
  const std::u16string sql =
      kCatalogColumns +
      (tree ? u" CONNECT BY PRIOR ID = A.PARENT_ID  START WITH " + where : u" WHERE" + where);
  const std::vector<std::u16string_view> attributes(std::begin(kCatalogAttributes),
                                                    std::end(kCatalogAttributes));
  StoreBstrResult(pbstrCatalogList, pDataSource->QueryTree(sql, u"child", attributes));
  return 0;
}

long CBRepository::SetVktItem(CEMRDataSource* pDataSource, BSTR bstrProperty, BSTR* pbstrItemID) {
  // Written from `valid_flag`; the listing filters by `vaild_flag`, the column's spelling.
  static constexpr SavedColumn kColumns[] = {{u"ID", u"id"},
                                             {u"CATALOG_ID", u"catalog_id"},
                                             {u"NAME", u"name"},
                                             {u"STRUCTURE_ID", u"structure_id"},
                                             {u"SPELL_CODE", u"spell_code"},
                                             {u"REMARK", u"remark"},
                                             {u"VAILD_FLAG", u"valid_flag", u"1"}};
  const CXmlProperty property = PropertyBag(bstrProperty);
  StoreBstrResult(pbstrItemID, SaveRecord(*pDataSource, u"VKT_ITEM", property, kColumns));
  return 0;
}

long CBRepository::DelVktItem(CEMRDataSource* pDataSource, BSTR bstrCondition) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  std::u16string filter;
  filter += SqlConditions(condition).Equals(u"id", u"A.ID").Equals(u"catalog_id", u"A.CATALOG_ID").Sql();
  // Without a key nothing is deleted, never the whole table.
  if (filter.empty()) return 0;
  pDataSource->Execute(u" DELETE  FROM VKT_ITEM A WHERE 1=1 " + filter);
  return 0;
}

long CBRepository::GetVktItemList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                  BSTR* pbstrItemList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  const std::u16string catalog_id = condition.GetValue(u"catalog_id");
  const bool subtree = condition.GetValue(u"recursive_flag") == kTrueFlag;
  SqlConditions conditions(condition);
  conditions.Equals(u"id", u"A.ID");
  if (!subtree) conditions.Equals(u"catalog_id", u"A.CATALOG_ID");
  const std::u16string filter = conditions.Equals(u"vaild_flag", u"A.VAILD_FLAG").Sql();
  constexpr char16_t kItemColumns[] =
      u" SELECT A.NAME, A.ID, A.CATALOG_ID, A.STRUCTURE_ID, A.VAILD_FLAG, A.SPELL_CODE, A.REMARK "
      u" FROM VKT_ITEM A WHERE ";
  const std::u16string sql =
      subtree && !catalog_id.empty()
          ? kItemColumns +
                (u"A.CATALOG_ID IN ( SELECT B.ID FROM VKT_CATALOG B CONNECT BY PRIOR B.ID = "
                 u"B.PARENT_ID  START WITH " +
                 SqlKey().Equals(u"B.ID", catalog_id).Sql() + u") " + filter)
          : kItemColumns + (u"1=1 " + filter);
  pDataSource->QueryElements(
      sql,
      {u"item", u"id", u"catalog_id", u"structure_id", u"vaild_flag", u"spell_code", u"remark"},
      pbstrItemList, {u"id"});
  return 0;
}

long CBRepository::GetVktCatalogListByDept(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                           BSTR* pbstrCatalogList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  std::u16string sql =
      u"SELECT A.TEMPLATE_ID, A.DEPT_CODE, A.CATALOG_ID, B.TEMPLATE_NAME, B.STRUCTURE_XID, "
      u"B.VALID FROM VKT_DEPT_DISTRIBUTE A LEFT JOIN VKT_REFERENCE_CONFIGURE B ON A.TEMPLATE_ID = "
      u"B.TEMPLATE_ID WHERE 1=1";
  // A validity asked for leaves out the distributions without a reference configuration.
  sql += SqlConditions(condition).Equals(u"dept_code", u"A.DEPT_CODE").Equals(u"valid", u"B.VALID").Sql();
  sql += u" ORDER BY A.DEPT_CODE, A.CATALOG_ID, A.TEMPLATE_ID";
  pDataSource->QueryElements(
      sql, {u"template_id", u"dept_code", u"catalog_id", u"template_name", u"xid", u"valid"},
      pbstrCatalogList, {u"template_id", u"dept_code", u"catalog_id"});
  return 0;
}
