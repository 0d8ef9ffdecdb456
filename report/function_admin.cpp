// The menus of the suite's applications: groups (a tree per application, TELV_FUNCTION_GROUP),
// configurable items (TELV_FUNCTION_CONFIG) and the placing of items and of the applications'
// fixed functions (TELV_FUNCTION) in groups (TELV_FUNCTION_GROUP_MAP, a place per row). An
// entry whose group is deleted moves to the group "####", which holds the entries of no group.
//
// Every request is a property bag; a request that lacks the keys of every mode does nothing.
// Text values are quoted (quotes doubled); `type` and `sort_code` stand bare in the statements
// and are checked to be numbers before the first statement runs. The inserts name no columns
// and follow the column order of the schema.
#include "report/function_admin.h"

#include <string>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/suite/factory.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_property.h"

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::SqlConditions;
using korvalis::SqlQuoted;
using korvalis::StoreBstrResult;

namespace {

constexpr char16_t kNoGroup[] = u"'####'";

// The entry leaves every group.
void Unlink(CSingleDataSource& data_source, const std::u16string& menu_id) {
  data_source.Execute(u"DELETE TELV_FUNCTION_GROUP_MAP WHERE MENU_ID = " + SqlQuoted(menu_id));
}

// The entry joins the group at `place` (a number).
void Link(CSingleDataSource& data_source, const std::u16string& group_id,
          const std::u16string& menu_id, const std::u16string& place) {
  data_source.Execute(
      u"INSERT INTO TELV_FUNCTION_GROUP_MAP (GROUP_ID, MENU_ID, SORT_CODE) VALUES(" +
      SqlQuoted(group_id) + u", " + SqlQuoted(menu_id) + u", " + place + u" )");
}

// One past the highest value that `max_sql` answers; an empty or non-numeric answer counts as 0.
std::u16string NextPlace(CSingleDataSource& data_source, const std::u16string& max_sql) {
  std::u16string highest;
  data_source.QueryScalar(max_sql, highest);
  return LongToString(static_cast<long>(StringToInt(highest)) + 1);
}

// The entry leaves every group and joins `group_id` at its end.
void MoveToEnd(CSingleDataSource& data_source, const std::u16string& group_id,
               const std::u16string& menu_id) {
  Unlink(data_source, menu_id);
  const std::u16string place = NextPlace(
      data_source,
      u"SELECT MAX(T.SORT_CODE) AS MAXCODE FROM TELV_FUNCTION_GROUP_MAP T WHERE T.GROUP_ID = " +
          SqlQuoted(group_id));
  Link(data_source, group_id, menu_id, place);
}

}  // namespace

long CBFunctionAdmin::GetFunctionConfig(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                        BSTR* pbstrList) {
  const std::u16string conditions =
      SqlConditions(PropertyBag(bstrCondition))
          .Equals(u"id", u"A.ID")
          .Equals(u"name", u"A.NAME")
          .Equals(u"template_id", u"A.TEMPLATE_ID")
          .Equals(u"report_id", u"A.REPORT_ID")
          .Equals(u"type", u"A.TYPE")
          .Equals(u"group_id", u"B.GROUP_ID")
          .Sql();
  pDataSource->QueryElements(
      u"SELECT A.NAME, A.ID, A.TEMPLATE_ID, A.TYPE, A.REMARK, B.GROUP_ID, C.NAME , A.REPORT_ID"
      u" FROM TELV_FUNCTION_CONFIG A, TELV_FUNCTION_GROUP_MAP B,  TELV_FUNCTION_GROUP C"
      u" WHERE A.ID = B.MENU_ID (+)  AND B.GROUP_ID = C.ID (+) " +
          conditions + u" ORDER BY B.SORT_CODE ASC, A.ID, B.GROUP_ID",
      {u"item", u"id", u"template_id", u"type", u"remark", u"group_id", u"group_name",
       u"report_id"},
      pbstrList, {u"id", u"group_id"});
  return 0;
}

long CBFunctionAdmin::SetFunctionConfig(CEMRDataSource* pDataSource, BSTR bstrCondition) {
  const CXmlProperty item = PropertyBag(bstrCondition);
  const std::u16string id = item.GetValue(u"id");
  const std::u16string group_id = item.GetValue(u"group_id");
  const std::u16string sort_code = item.GetValue(u"sort_code");

  // Placing: the entry moves to the given place of the group; the item itself is not written.
  if (!sort_code.empty() && !id.empty() && !group_id.empty()) {
    const std::u16string place = korvalis::SqlBareNumber(sort_code, u"sort_code");
    Unlink(*pDataSource, id);
    Link(*pDataSource, group_id, id, place);
    return 0;
  }

  // A fixed function moves, with its dispatched rows, to the end of the group.
  if (item.GetValue(u"group") == u"1") {
    if (id.empty() || group_id.empty()) return 0;
    MoveToEnd(*pDataSource, group_id, id);
    pDataSource->Execute(u"UPDATE TELV_FUNCTION SET GROUP_ID = " + SqlQuoted(group_id) +
                         u" WHERE FUNCTION_ID =" + SqlQuoted(id));
    pDataSource->Execute(u"UPDATE TELV_FUNCTION_DISPATCHED SET GROUP_ID = " + SqlQuoted(group_id) +
                         u" WHERE FUNCTION_ID =" + SqlQuoted(id));
    return 0;
  }

  // A configurable item is written, and joins the end of the group it is not yet in.
  const std::u16string name = item.GetValue(u"name");
  const std::u16string type = item.GetValue(u"type");
  if (name.empty() || type.empty() || id.empty()) return 0;
  const std::u16string type_number = korvalis::SqlBareNumber(type, u"type");
  const std::u16string template_id = SqlQuoted(item.GetValue(u"template_id"));
  const std::u16string remark = SqlQuoted(item.GetValue(u"remark"));
  const std::u16string report_id = SqlQuoted(item.GetValue(u"report_id"));
  if (!item.GetValue(u"new").empty()) {
    pDataSource->Execute(u"INSERT INTO TELV_FUNCTION_CONFIG VALUES(" + SqlQuoted(id) + u", " +
                         SqlQuoted(name) + u", " + template_id + u", " + type_number + u", " +
                         remark + u", " + report_id + u")");
  } else {
    pDataSource->Execute(u"UPDATE TELV_FUNCTION_CONFIG T SET T.NAME = " + SqlQuoted(name) +
                         u", T.TEMPLATE_ID = " + template_id + u", T.TYPE = " + type_number +
                         u", T.REMARK = " + remark + u", T.REPORT_ID = " + report_id +
                         u" WHERE T.ID = " + SqlQuoted(id));
  }
  if (group_id.empty()) return 0;
  std::u16string linked;
  pDataSource->QueryScalar(u"SELECT MENU_ID FROM TELV_FUNCTION_GROUP_MAP WHERE MENU_ID = " +
                               SqlQuoted(id) + u" AND GROUP_ID = " + SqlQuoted(group_id),
                           linked);
  if (linked.empty()) MoveToEnd(*pDataSource, group_id, id);
  return 0;
}

long CBFunctionAdmin::DelFunctionConfig(CEMRDataSource* pDataSource, BSTR bstrCondition) {
  const std::u16string id = PropertyBag(bstrCondition).GetValue(u"id");
  if (id.empty()) return 0;
  pDataSource->Execute(u"DELETE TELV_FUNCTION_CONFIG WHERE ID = " + SqlQuoted(id));
  Unlink(*pDataSource, id);
  pDataSource->Execute(u"DELETE TELV_FUNCTION_DISPATCHED WHERE FUNCTION_ID = " + SqlQuoted(id));
  return 0;
}

long CBFunctionAdmin::SetFunctionGroup(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                       BSTR* pbstrId) {
  const CXmlProperty group = PropertyBag(bstrCondition);
  const std::u16string id = group.GetValue(u"id");
  const std::u16string sort_code = group.GetValue(u"sort_code");

  // Reordering: the group gets a new place; no identifier is answered.
  if (!sort_code.empty() && !id.empty()) {
    const std::u16string place = korvalis::SqlBareNumber(sort_code, u"sort_code");
    StoreBstrResult(pbstrId, u"");
    pDataSource->Execute(u"UPDATE TELV_FUNCTION_GROUP T SET T.SORT_CODE = " + place +
                         u"  WHERE T.ID = " + SqlQuoted(id));
    return 0;
  }

  const std::u16string name = group.GetValue(u"name");
  const std::u16string parent_id = group.GetValue(u"parent_id");
  const std::u16string app_id = group.GetValue(u"app_id");
  const std::u16string app_name = group.GetValue(u"app_name");
  if (name.empty() || parent_id.empty() || app_id.empty() || app_name.empty()) {
    StoreBstrResult(pbstrId, u"");
    return 0;
  }
  if (!id.empty()) {
    StoreBstrResult(pbstrId, id);
    pDataSource->Execute(u"UPDATE TELV_FUNCTION_GROUP T SET T.NAME = " + SqlQuoted(name) +
                         u", T.PARENT_ID =" + SqlQuoted(parent_id) + u", T.APP_ID =" +
                         SqlQuoted(app_id) + u", T.APP_NAME = " + SqlQuoted(app_name) +
                         u"  WHERE T.ID = " + SqlQuoted(id));
    return 0;
  }
  // A new group takes the next place among the groups of its application.
  const std::u16string new_id = CEMRFactory::Instance()->NewGuid();
  const std::u16string place = NextPlace(
      *pDataSource,
      u"SELECT MAX(T.SORT_CODE) AS MAXCODE FROM TELV_FUNCTION_GROUP T WHERE T.APP_NAME = " +
          SqlQuoted(app_name));
  StoreBstrResult(pbstrId, new_id);
  pDataSource->Execute(u"INSERT INTO TELV_FUNCTION_GROUP T VALUES(" + SqlQuoted(new_id) + u", " +
                       SqlQuoted(name) + u", " + SqlQuoted(parent_id) + u" ," + SqlQuoted(app_id) +
                       u", " + SqlQuoted(app_name) + u", " + place + u" )");
  return 0;
}

long CBFunctionAdmin::DelFunctionGroup(CEMRDataSource* pDataSource, BSTR bstrCondition) {
  const std::u16string id = PropertyBag(bstrCondition).GetValue(u"id");
  if (id.empty()) return 0;
  // The group's entries move to "####"; its child groups keep their parent.
  const std::u16string group = SqlQuoted(id);
  pDataSource->Execute(u"UPDATE TELV_FUNCTION_GROUP_MAP SET GROUP_ID = " +
                       std::u16string(kNoGroup) + u" WHERE GROUP_ID = " + group);
  pDataSource->Execute(u"UPDATE TELV_FUNCTION_DISPATCHED SET GROUP_ID = " +
                       std::u16string(kNoGroup) + u" WHERE GROUP_ID = " + group);
  pDataSource->Execute(u"UPDATE TELV_FUNCTION SET GROUP_ID = " + std::u16string(kNoGroup) +
                       u" WHERE GROUP_ID = " + group);
  pDataSource->Execute(u"DELETE FROM TELV_FUNCTION_GROUP T WHERE T.ID = " + group);
  return 0;
}

long CBFunctionAdmin::GetGroupMenu(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                   BSTR* pbstrList) {
  const std::u16string condition =
      SqlConditions(PropertyBag(bstrCondition)).Equals(u"group_id", u"A.GROUP_ID").Sql();
  pDataSource->QueryElements(
      u"SELECT A.GROUP_ID, A.MENU_ID, B.NAME AS DYNAMIC_NAME, C.FUNCTION_NAME AS FIXED_NAME,"
      u" B.TYPE, B.TEMPLATE_ID,B.REPORT_ID, D.NAME, C.NOTES "
      u" FROM TELV_FUNCTION_GROUP_MAP A, TELV_FUNCTION_CONFIG B, TELV_FUNCTION C, "
      u"TELV_FUNCTION_GROUP D "
      u" WHERE A.MENU_ID = B.ID(+)  AND A.MENU_ID = C.FUNCTION_ID(+) AND A.GROUP_ID = D.ID(+) " +
          condition + u"  ORDER BY A.SORT_CODE ASC, A.GROUP_ID, A.MENU_ID",
      {u"group_id", u"menu_id", u"dynamic_name", u"fixed_name", u"type", u"template_id",
       u"report_id", u"group_name", u"notes"},
      pbstrList, {u"group_id", u"menu_id"});
  return 0;
}
