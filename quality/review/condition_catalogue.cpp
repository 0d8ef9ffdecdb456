// The condition catalogue of the QC query builder: condition groups (TELV_CONDITION_GROUP, one
// per database table) and condition items (TELV_CONDITION_POOL, one per column of a group's
// table), and the columns of a table as the database's dictionary views describe them.
//
// Codes are the keys: adding a group or an item replaces the row of its code (a delete, then an
// insert, in the call's transaction). Items are tied to their group by GROUP_CODE alone: they
// survive the deletion or recoding of the group and drop out of the item list until a group of
// their code exists again.
#include <initializer_list>
#include <string>
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/xml/xml_property.h"
#include "quality/review/qc_collector.h"

namespace {

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::InsertRow;
using korvalis::SqlKey;
using korvalis::UpdateRow;

// True when every named key of the bag holds a text.
bool HasAll(const CXmlProperty& bag, std::initializer_list<const char16_t*> keys) {
  for (const char16_t* key : keys) {
    if (bag.GetValue(key).empty()) return false;
  }
  return true;
}

// The keys an item cannot be written without.
bool HasItemKeys(const CXmlProperty& bag) {
  return HasAll(bag, {u"group_code", u"column_name", u"code", u"name", u"type"});
}

}  // namespace

long CBQCCollector::AddConditionGroup(CEMRDataSource* pDataSource, BSTR bstrList) {
  const CXmlProperty bag = PropertyBag(bstrList);
  const std::u16string code = bag.GetValue(u"code");
  pDataSource->Execute(u"DELETE TELV_CONDITION_GROUP" + SqlKey().Equals(u"CODE", code).Where());
  InsertRow(*pDataSource, u"TELV_CONDITION_GROUP", u"CODE, NOTES, TAB",
            {code, bag.GetValue(u"notes"), bag.GetValue(u"tab")});
  return 0;
}

long CBQCCollector::DeleteConditionGroupByCode(CEMRDataSource* pDataSource, BSTR bstrGroupCode) {
  pDataSource->Execute(u"DELETE FROM TELV_CONDITION_GROUP" +
                       SqlKey().Equals(u"CODE", bstrGroupCode).Where());
  return 0;
}

long CBQCCollector::SetConditionGroupContent(CEMRDataSource* pDataSource, BSTR bstrList) {
  const CXmlProperty bag = PropertyBag(bstrList);
  if (!HasAll(bag, {u"original_code", u"notes", u"new_code"})) return 0;
  const auto value = [&bag](const char16_t* key) { return bag.GetValue(key); };
  UpdateRow(*pDataSource, u"TELV_CONDITION_GROUP A",
            {{u"A.CODE", value(u"new_code")},
             {u"A.MASTER_FLAG", value(u"master_flag")},
             {u"A.NOTES", value(u"notes")},
             {u"A.RETRIEVE_FLAG", value(u"retrieve_flag")},
             {u"A.SORT_CODE", value(u"sort_code")},
             {u"A.TAB", value(u"tab")},
             {u"A.TYPE", value(u"type")}},
            SqlKey().Equals(u"A.CODE", value(u"original_code")).Sql());
  return 0;
}

long CBQCCollector::GetConditionGroupList(CEMRDataSource* pDataSource, BSTR* pbstrList) {
  pDataSource->QueryElements(
      u"SELECT NOTES, CODE, TAB, TYPE, MASTER_FLAG, SORT_CODE, RETRIEVE_FLAG  FROM "
      u"TELV_CONDITION_GROUP",
      {u"group_notes", u"group_code", u"group_tab", u"group_type", u"group_master_flag",
       u"group_sort_code", u"group_retrieve_flag"},
      pbstrList);
  return 0;
}

long CBQCCollector::AddConditionItem(CEMRDataSource* pDataSource, BSTR bstrList) {
  const CXmlProperty bag = PropertyBag(bstrList);
  if (!HasItemKeys(bag)) return 0;
  const auto value = [&bag](const char16_t* key) { return bag.GetValue(key); };
  pDataSource->Execute(u"DELETE TELV_CONDITION_POOL" +
                       SqlKey().Equals(u"CODE", value(u"code")).Where());
  InsertRow(*pDataSource, u"TELV_CONDITION_POOL",
            u"GROUP_CODE, COLUMN_NAME, CODE, NAME, TYPE, DISP_WIDTH, SORT_CODE",
            {value(u"group_code"), value(u"column_name"), value(u"code"), value(u"name"),
             value(u"type"), value(u"disp_width"), value(u"sort_code")});
  return 0;
}

long CBQCCollector::DelConditionItem(CEMRDataSource* pDataSource, BSTR bstrCode) {
  pDataSource->Execute(u"DELETE TELV_CONDITION_POOL" + SqlKey().Equals(u"CODE", bstrCode).Where());
  return 0;
}

long CBQCCollector::DelConditionItemByGroupCode(CEMRDataSource* pDataSource, BSTR pbstrGroupCode) {
  pDataSource->Execute(u"DELETE TELV_CONDITION_POOL" +
                       SqlKey().Equals(u"GROUP_CODE", pbstrGroupCode).Where());
  return 0;
}

long CBQCCollector::SetConditionItemContent(CEMRDataSource* pDataSource, BSTR bstrList) {
  const CXmlProperty bag = PropertyBag(bstrList);
  if (!HasItemKeys(bag)) return 0;
  const auto value = [&bag](const char16_t* key) { return bag.GetValue(key); };
  UpdateRow(*pDataSource, u"TELV_CONDITION_POOL A",
            {{u"A.GROUP_CODE", value(u"group_code")},
             {u"A.COLUMN_NAME", value(u"column_name")},
             {u"A.CODE", value(u"code")},
             {u"A.NAME", value(u"name")},
             {u"A.TYPE", value(u"type")},
             {u"A.NOTES", value(u"notes")},
             {u"A.DISP_WIDTH", value(u"disp_width")},
             {u"A.DICT_CODE", value(u"dict_code")},
             {u"A.SORT_CODE", value(u"sort_code")}},
            SqlKey().Equals(u"A.CODE", value(u"original_code")).Sql());
  return 0;
}

long CBQCCollector::GetConditionList(CEMRDataSource* pDataSource, BSTR, BSTR* pbstrList) {
  pDataSource->QueryElements(
      u"SELECT A.NAME,\tA.CODE,\tA.COLUMN_NAME,\tA.DICT_CODE,\tA.DISP_WIDTH,\tB.CODE,\t"
      u"B.MASTER_FLAG,\tB.NOTES,\tB.RETRIEVE_FLAG,\tB.SORT_CODE,\tB.TAB,\tB.TYPE,\tA.NOTES,\t"
      u"A.SORT_CODE,\tA.TYPE FROM TELV_CONDITION_POOL A, TELV_CONDITION_GROUP B "
      u"WHERE A.GROUP_CODE = B.CODE ORDER BY B.SORT_CODE, B.CODE, A.SORT_CODE, A.CODE",
      {u"name", u"code", u"column_name", u"dict_code", u"disp_width", u"group_code",
       u"group_master_flag", u"group_notes", u"group_retrieve_flag", u"group_sort_code",
       u"group_tab", u"group_type", u"notes", u"sort_code", u"type"},
      pbstrList);
  return 0;
}

long CBQCCollector::GetColumnByTabName(CEMRDataSource* pDataSource, BSTR bstrTabName,
                                       BSTR* pbstrList) {
  // The name is compared as given: ordinary tables are listed under their upper-case names.
  pDataSource->QueryElements(
      u"SELECT COLUMN_NAME FROM USER_TAB_COLUMNS A" +
          SqlKey().Equals(u"A.TABLE_NAME", bstrTabName).Where(),
      {u"column_name"}, pbstrList);
  return 0;
}

long CBQCCollector::GetColumnData(CEMRDataSource* pDataSource, BSTR pbstrTabName,
                                  BSTR* pbstrConditionList) {
  if (BstrView(pbstrTabName).empty()) {
    korvalis::StoreBstrResult(pbstrConditionList, u"");
    return 0;
  }
  // The type is NUMBER(precision), DATE(length), or the type name and "()" for any other type.
  // The columns come by name.
  pDataSource->QueryElements(
      u"SELECT B.COMMENTS, B.COLUMN_NAME, A.DATA_TYPE || '(' || DECODE(A.DATA_TYPE, 'NUMBER', "
      u"A.DATA_PRECISION, 'DATE', A.DATA_LENGTH) || ')' XX FROM DBA_TAB_COLS A, "
      u"DBA_COL_COMMENTS B" +
          SqlKey()
              .And(u"A.TABLE_NAME = B.TABLE_NAME AND A.COLUMN_NAME = B.COLUMN_NAME")
              .Equals(u"A.TABLE_NAME", pbstrTabName)
              .Where() +
          u" ORDER BY B.COLUMN_NAME",
      {u"comments", u"column_name", u"xx"}, pbstrConditionList);
  return 0;
}
