// The menus of the suite's applications: groups (a tree per application, TELV_FUNCTION_GROUP),
// configurable items (TELV_FUNCTION_CONFIG) and the placing of items and of the applications'
// fixed functions (TELV_FUNCTION) in groups (TELV_FUNCTION_GROUP_MAP, a place per row). An
// entry whose group is deleted moves to the group "####", which holds the entries of no group.
//
// Every request is a property bag; a request that lacks the keys of every mode does nothing.
// Text values are quoted (quotes doubled); `type` and `sort_code` stand bare in the statements
// and are checked to be numbers before the first statement runs.
#include "report/function_admin.h"

#include <string>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/suite/factory.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_property.h"

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::SqlConditions;
using korvalis::InsertRow;
using korvalis::RowValue;
using korvalis::SqlKey;
using korvalis::UpdateRow;
using korvalis::StoreBstrResult;

namespace {

constexpr char16_t kNoGroup[] = u"####";

// The entry leaves every group.
void Unlink(CSingleDataSource& data_source, const std::u16string& menu_id) {
  data_source.Execute(u"DELETE TELV_FUNCTION_GROUP_MAP" +
                      SqlKey().Equals(u"MENU_ID", menu_id).Where());
}

// The entry joins the group at `place`.
void Link(CSingleDataSource& data_source, const std::u16string& group_id,
          const std::u16string& menu_id, const RowValue& place) {
  InsertRow(data_source, u"TELV_FUNCTION_GROUP_MAP", u"GROUP_ID, MENU_ID, SORT_CODE",
            {group_id, menu_id, place});
}

// One past the highest value that `max_sql` answers; an empty or non-numeric answer counts as 0.
RowValue NextPlace(CSingleDataSource& data_source, const std::u16string& max_sql) {
  std::u16string highest;
  data_source.QueryScalar(max_sql, highest);
  return RowValue::Number(static_cast<long>(StringToInt(highest)) + 1);
}

// The entry leaves every group and joins `group_id` at its end.
void MoveToEnd(CSingleDataSource& data_source, const std::u16string& group_id,
               const std::u16string& menu_id) {
  Unlink(data_source, menu_id);
  const RowValue place =
      NextPlace(data_source, u"SELECT MAX(T.SORT_CODE) AS MAXCODE FROM TELV_FUNCTION_GROUP_MAP T" +
                                 SqlKey().Equals(u"T.GROUP_ID", group_id).Where());
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
    const RowValue place = RowValue::Number(sort_code, u"sort_code");
    Unlink(*pDataSource, id);
    Link(*pDataSource, group_id, id, place);
    return 0;
  }

  // A fixed function moves, with its dispatched rows, to the end of the group.
  if (item.GetValue(u"group") == u"1") {
    if (id.empty() || group_id.empty()) return 0;
    MoveToEnd(*pDataSource, group_id, id);
    const std::u16string function = SqlKey().Equals(u"FUNCTION_ID", id).Sql();
    UpdateRow(*pDataSource, u"TELV_FUNCTION", {{u"GROUP_ID", group_id}}, function);
    UpdateRow(*pDataSource, u"TELV_FUNCTION_DISPATCHED", {{u"GROUP_ID", group_id}}, function);
    return 0;
  }

  // A configurable item is written, and joins the end of the group it is not yet in.
  const std::u16string name = item.GetValue(u"name");
  const std::u16string type = item.GetValue(u"type");
  if (name.empty() || type.empty() || id.empty()) return 0;
  const RowValue type_number = RowValue::Number(type, u"type");
  const std::u16string template_id = item.GetValue(u"template_id");
  const std::u16string remark = item.GetValue(u"remark");
  const std::u16string report_id = item.GetValue(u"report_id");
  if (!item.GetValue(u"new").empty()) {
    InsertRow(*pDataSource, u"TELV_FUNCTION_CONFIG", u"ID, NAME, TEMPLATE_ID, TYPE, REMARK, REPORT_ID",
              {id, name, template_id, type_number, remark, report_id});
  } else {
    UpdateRow(*pDataSource, u"TELV_FUNCTION_CONFIG T",
              {{u"T.NAME", name},
               {u"T.TEMPLATE_ID", template_id},
               {u"T.TYPE", type_number},
               {u"T.REMARK", remark},
               {u"T.REPORT_ID", report_id}},
              SqlKey().Equals(u"T.ID", id).Sql());
  }
  if (group_id.empty()) return 0;
  std::u16string linked;
  pDataSource->QueryScalar(
      u"SELECT MENU_ID FROM TELV_FUNCTION_GROUP_MAP" +
          SqlKey().Equals(u"MENU_ID", id).Equals(u"GROUP_ID", group_id).Where(),
      linked);
  if (linked.empty()) MoveToEnd(*pDataSource, group_id, id);
  return 0;
}

long CBFunctionAdmin::DelFunctionConfig(CEMRDataSource* pDataSource, BSTR bstrCondition) {
  const std::u16string id = PropertyBag(bstrCondition).GetValue(u"id");
  if (id.empty()) return 0;
  pDataSource->Execute(u"DELETE TELV_FUNCTION_CONFIG" + SqlKey().Equals(u"ID", id).Where());
  Unlink(*pDataSource, id);
  pDataSource->Execute(u"DELETE TELV_FUNCTION_DISPATCHED" +
                       SqlKey().Equals(u"FUNCTION_ID", id).Where());
  return 0;
}

long CBFunctionAdmin::SetFunctionGroup(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                       BSTR* pbstrId) {
  const CXmlProperty group = PropertyBag(bstrCondition);
  const std::u16string id = group.GetValue(u"id");
  const std::u16string sort_code = group.GetValue(u"sort_code");

  // Reordering: the group gets a new place; no identifier is answered.
  if (!sort_code.empty() && !id.empty()) {
    const RowValue place = RowValue::Number(sort_code, u"sort_code");
    StoreBstrResult(pbstrId, u"");
    UpdateRow(*pDataSource, u"TELV_FUNCTION_GROUP T", {{u"T.SORT_CODE", place}},
              SqlKey().Equals(u"T.ID", id).Sql());
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
    UpdateRow(*pDataSource, u"TELV_FUNCTION_GROUP T",
              {{u"T.NAME", name},
               {u"T.PARENT_ID", parent_id},
               {u"T.APP_ID", app_id},
               {u"T.APP_NAME", app_name}},
              SqlKey().Equals(u"T.ID", id).Sql());
    return 0;
  }
  // A new group takes the next place among the groups of its application.
  const std::u16string new_id = CEMRFactory::Instance()->NewGuid();
  const RowValue place =
      NextPlace(*pDataSource, u"SELECT MAX(T.SORT_CODE) AS MAXCODE FROM TELV_FUNCTION_GROUP T" +
                                  SqlKey().Equals(u"T.APP_NAME", app_name).Where());
  StoreBstrResult(pbstrId, new_id);
  InsertRow(*pDataSource, u"TELV_FUNCTION_GROUP", u"ID, NAME, PARENT_ID, APP_ID, APP_NAME, SORT_CODE",
            {new_id, name, parent_id, app_id, app_name, place});
  return 0;
}

long CBFunctionAdmin::DelFunctionGroup(CEMRDataSource* pDataSource, BSTR bstrCondition) {
  const std::u16string id = PropertyBag(bstrCondition).GetValue(u"id");
  if (id.empty()) return 0;
  // The group's entries move to "####"; its child groups keep their parent.
  const std::u16string in_group = SqlKey().Equals(u"GROUP_ID", id).Sql();
  for (const char16_t* table :
       {u"TELV_FUNCTION_GROUP_MAP", u"TELV_FUNCTION_DISPATCHED", u"TELV_FUNCTION"}) {
    UpdateRow(*pDataSource, table, {{u"GROUP_ID", kNoGroup}}, in_group);
  }
  pDataSource->Execute(u"DELETE FROM TELV_FUNCTION_GROUP T" + SqlKey().Equals(u"T.ID", id).Where());
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
