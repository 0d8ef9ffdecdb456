// The record keeping of grade summaries and their templates: creating, changing, removing and
// listing the rows, and storing and reading the summary HTML and the template XSL.
//
// A summary is created with STATUS 1 and an empty CONTENT; a new summary replaces the one of the
// same title and task. Rows whose STATUS is changed away from 1 drop out of the lists but stay
// readable by identifier; summaries are deleted physically, templates are never deleted.
#include "report/qc_grade_summary.h"

#include <string>
#include <vector>

#include "foundation/codec/blob_text.h"
#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_key.h"
#include "foundation/suite/factory.h"
#include "foundation/data/sql_text.h"
#include "foundation/xml/xml_property.h"

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::SqlBareNumber;
using korvalis::SqlQuoted;
using korvalis::RowValue;
using korvalis::SqlConditions;
using korvalis::SqlKey;

namespace {

// A column that an update sets when the document gives its key: `before`, the value quoted (or,
// when `bare`, checked by SqlBareNumber, whose CEMRException names the key), then `after`.
struct GivenColumn {
  const char16_t* key;
  const char16_t* before;
  bool bare;
  const char16_t* after;
};

// Runs "UPDATE <table> A SET <columns given> <where>" when the document holds `id` and at least
// one of the columns' keys.
void UpdateGivenColumns(CEMRDataSource* data_source, BSTR document, const char16_t* table,
                        std::initializer_list<GivenColumn> columns,
                        std::u16string (*where)(const std::u16string& id)) {
  const CXmlProperty property = PropertyBag(document);
  const std::u16string id = property.GetValue(u"id");
  if (id.empty()) return;
  std::u16string set;
  for (const GivenColumn& column : columns) {
    const std::u16string value = property.GetValue(column.key);
    if (value.empty()) continue;
    if (!set.empty()) set += u",";
    set.append(column.before)
        .append(column.bare ? SqlBareNumber(value, column.key) : SqlQuoted(value))
        .append(column.after);
  }
  if (set.empty()) return;
  data_source->Execute(std::u16string(u"UPDATE ") + table + u" A SET " + set + u" " + where(id));
}

// The text of a content BLOB through `result`; nothing when the BLOB holds no text.
void ReadContent(CEMRDataSource* data_source, const std::u16string& sql, BSTR* result) {
  const std::u16string text = korvalis::ReadBlobText(*data_source, sql);
  if (!text.empty()) korvalis::StoreBstrResult(result, text);
}

// The statement that selects a template's XSL; the identifier stands bare.
std::u16string TemplateContentSql(BSTR id) {
  return u"SELECT A.CONTENT2 FROM PEV_SUMMARY_TEMPLATE A" +
         SqlKey().Number(u"A.ID", id, u"ID").Where();
}

std::u16string SummaryContentSql(BSTR id) {
  return u"SELECT A.CONTENT FROM PEV_SUMMARY A" + SqlKey().Equals(u"A.ID", id).Where();
}

// The text of `task_id` split at ";": summaries whose TASK_ID contains any of the pieces.
std::u16string TaskIdCondition(const std::u16string& task_ids) {
  std::vector<std::u16string> pieces;
  SplitString(task_ids, u";", pieces);
  std::vector<SqlKey> holding;
  for (const std::u16string& piece : pieces) holding.push_back(SqlKey().Contains(u"A.TASK_ID", piece));
  return u" AND " + SqlKey().AnyOf(holding).Sql() + u" ";
}

}  // namespace

long CBQCGradeSummary::GetXslContent(CEMRDataSource* pDataSource, BSTR bstrID,
                                     BSTR* pbstrXslContent) {
  ReadContent(pDataSource, TemplateContentSql(bstrID), pbstrXslContent);
  return 0;
}

// Does nothing by design: the method is kept for its callers and changes nothing.
long CBQCGradeSummary::GetDetailData(CEMRDataSource*, BSTR, BSTR*) { return 0; }

long CBQCGradeSummary::SaveContent(CEMRDataSource* pDataSource, BSTR bstrID, BSTR strProperty) {
  if (SysStringLen(bstrID) == 0) return 0;
  korvalis::WriteBlobText(*pDataSource,
                          u"SELECT CONTENT FROM PEV_SUMMARY A" +
                              SqlKey().Equals(u"A.ID", bstrID).Where(),
                          BstrView(strProperty));
  return 0;
}

long CBQCGradeSummary::SaveXslContent(CEMRDataSource* pDataSource, BSTR bstrID, BSTR bstrProperty) {
  if (SysStringLen(bstrID) == 0) return 0;
  korvalis::WriteBlobText(*pDataSource, TemplateContentSql(bstrID), BstrView(bstrProperty));
  return 0;
}

long CBQCGradeSummary::ModifySummary(CEMRDataSource* pDataSource, BSTR bstrProperty) {
  UpdateGivenColumns(
      pDataSource, bstrProperty, u"PEV_SUMMARY",
      {
          {u"title", u" A.TITLE=", false, u""},
          {u"template_id", u" A.TEMPLATE_ID=", false, u""},
          {u"create_date", u" A.CREATE_DATE=TO_DATE(", false, u",'yyyy-MM-dd')"},
          {u"creator_id", u" A.CREATOR_ID=", false, u""},
          {u"creator", u" A.CREATOR=", false, u""},
          {u"modify_date", u" A.MODIFY_DATE=TO_DATE(", false, u",'yyyy-MM-dd')"},
          {u"modifior", u" A.MODIFIOR=", false, u""},
          {u"modifior_id", u" A.MODIFIOR_ID=", false, u""},
          {u"xml", u" A.XML=", false, u""},
          {u"status", u" A.STATUS=", true, u""},
          {u"report_status", u" A.REPORT_STATUS = ", true, u""},
          {u"type", u" A.TYPE=", true, u""},
          {u"dept_id", u" A.DEPT_ID=", false, u""},
          {u"task_id", u" A.TASK_ID=", false, u""},
      },
      [](const std::u16string& id) { return SqlKey().Equals(u"A.ID", id).Where(); });
  return 0;
}

long CBQCGradeSummary::ModifySummaryTemplate(CEMRDataSource* pDataSource, BSTR bstrProperty) {
  // The identifier is compared as a text with a blank after it, which the numeric column
  // converts; the creation date is a text in the database's own date format.
  UpdateGivenColumns(
      pDataSource, bstrProperty, u"PEV_SUMMARY_TEMPLATE",
      {
          {u"name", u" A.NAME=", false, u""},
          {u"creator", u" A.CREATOR=", false, u""},
          {u"create_date", u" A.CREATE_DATE=", false, u""},
          {u"sort_code", u" A.SORT_CODE=", false, u""},
          {u"status", u" A.STATUS=", false, u""},
          {u"type", u" A.TYPE=", false, u""},
      },
      [](const std::u16string& id) { return SqlKey().Equals(u"A.ID", id + u" ").Where(); });
  return 0;
}

long CBQCGradeSummary::NewSummary(CEMRDataSource* pDataSource, BSTR bstrProperty,
                                  BSTR* pbstrNewID) {
  const CXmlProperty property = PropertyBag(bstrProperty);
  const std::u16string title = property.GetValue(u"title");
  const std::u16string task_id = property.GetValue(u"task_id");
  const RowValue template_id = RowValue::Number(property.GetValue(u"template_id"), u"template_id");
  const RowValue type = RowValue::Number(property.GetValue(u"type"), u"type");
  // A summary of the same title and task is replaced; an empty title or task is NULL and
  // matches nothing.
  pDataSource->Execute(u"DELETE PEV_SUMMARY" +
                       SqlKey().Equals(u"TITLE", title).Equals(u"TASK_ID", task_id).Where());
  const std::u16string id = CEMRFactory::Instance()->NewGuid();
  korvalis::InsertRow(*pDataSource, u"PEV_SUMMARY",
                      u"ID, TITLE, TEMPLATE_ID, CREATE_DATE, CREATOR, CREATOR_ID, STATUS, NOTES, "
                      u"TYPE, DEPT_ID, TASK_ID",
                      {id, title, template_id, RowValue::Now(), property.GetValue(u"creator"),
                       property.GetValue(u"creator_id"), RowValue::Number(1),
                       property.GetValue(u"notes"), type, property.GetValue(u"dept_id"), task_id});
  korvalis::StoreBstrResult(pbstrNewID, id);
  return 0;
}

void CBQCGradeSummary::GetNewTemplateId(CEMRDataSource* pDataSource, std::u16string& strNewID) {
  strNewID = u"0";
  pDataSource->QueryScalar(u"SELECT NVL(MAX(ID), 0)+1 AS NEW_ID FROM PEV_SUMMARY_TEMPLATE",
                           strNewID);
}

long CBQCGradeSummary::NewSummaryTemplate(CEMRDataSource* pDataSource, BSTR bstrProperty,
                                          BSTR* pbstrNewID) {
  const CXmlProperty property = PropertyBag(bstrProperty);
  const RowValue type = RowValue::Number(property.GetValue(u"type"), u"type");
  std::u16string id;
  GetNewTemplateId(pDataSource, id);
  korvalis::InsertRow(
      *pDataSource, u"PEV_SUMMARY_TEMPLATE",
      u"ID, NAME, CREATOR, CREATE_DATE, SORT_CODE, STATUS, TYPE",
      {RowValue::Number(id), property.GetValue(u"name"), property.GetValue(u"creator"),
       RowValue::Date(property.GetValue(u"create_date"), u"yyyy-mm-dd hh24:mi:ss"),
       property.GetValue(u"sort_code"), RowValue::Number(1), type});
  korvalis::StoreBstrResult(pbstrNewID, id);
  return 0;
}

long CBQCGradeSummary::GetHtmlContent(CEMRDataSource* pDataSource, BSTR bstrID,
                                      BSTR* pbstrHtmlContent) {
  ReadContent(pDataSource, SummaryContentSql(bstrID), pbstrHtmlContent);
  return 0;
}

long CBQCGradeSummary::GetSummaryList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                      BSTR* pbstrSummaryList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  std::u16string sql =
      u"SELECT  A.NOTES, A.ID, A.TEMPLATE_ID, A.TITLE, A.TASK_ID, A.DEPT_ID, "
      u"TO_CHAR(A.CREATE_DATE, 'yyyy-mm-dd') AS CREATE_DATE, A.CREATOR,  A.CREATOR_ID, "
      u"TO_CHAR(A.MODIFY_DATE, 'yyyy-mm-dd') AS MODIFY_DATE, A.MODIFIOR, A.MODIFIOR_ID, A.TYPE  "
      u"FROM PEV_SUMMARY A  WHERE A.STATUS=1" +
      SqlConditions(condition)
          .Equals(u"title", u"A.TITLE")
          .Equals(u"id", u"A.ID")
          .Number(u"template_id", u"A.TEMPLATE_ID")
          .DateFrom(u"create_date_beign", u"A.CREATE_DATE")
          .DateUntil(u"create_date_end", u"A.CREATE_DATE")
          .Equals(u"creator", u"A.CREATOR")
          .Equals(u"creator_id", u"A.CREATOR_ID")
          .DateFrom(u"modify_date_beign", u"A.MODIFY_DATE")
          .DateUntil(u"modify_date_end", u"A.MODIFY_DATE")
          .Equals(u"modifior", u"A.MODIFIOR")
          .Equals(u"modifior_id", u"A.MODIFIOR_ID")
          .Equals(u"dept_id", u"A.DEPT_ID")
          .Number(u"type", u"A.TYPE")
          .Number(u"report_status", u"A.REPORT_STATUS")
          .Sql();
  const std::u16string task_ids = condition.GetValue(u"task_id");
  if (!task_ids.empty()) sql += TaskIdCondition(task_ids);
  pDataSource->QueryElements(
      sql,
      {u"item", u"id", u"template_id", u"title", u"task_id", u"dept_id", u"create_date", u"creator",
       u"creator_id", u"modify_date", u"modifior", u"modifior_id", u"type"},
      pbstrSummaryList, {u"id"});
  return 0;
}

long CBQCGradeSummary::GetSummaryTemplateList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                              BSTR* pbstrSummaryTemplateList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  // The filter `creator_id` compares the CREATOR column, which the list names creator_id.
  const std::u16string sql =
      u"SELECT A.NAME, A.ID, A.CREATOR, TO_CHAR(A.CREATE_DATE, 'yyyy-mm-dd') AS CREATE_DATE, "
      u"A.SORT_CODE, A.TYPE  FROM PEV_SUMMARY_TEMPLATE A  WHERE A.STATUS=1 " +
      SqlConditions(condition)
          .Number(u"id", u"A.ID")
          .Equals(u"name", u"A.NAME")
          .DateFrom(u"create_date_beign", u"A.CREATE_DATE")
          .DateUntil(u"create_date_end", u"A.CREATE_DATE")
          .Equals(u"creator_id", u"A.CREATOR")
          .Equals(u"sort_code", u"A.SORT_CODE")
          .Equals(u"type", u"A.TYPE")
          .Sql() +
      u" ORDER BY SORT_CODE ASC ";
  pDataSource->QueryElements(sql,
                             {u"item", u"id", u"creator_id", u"create_date", u"sort_code", u"type"},
                             pbstrSummaryTemplateList, {u"id"});
  return 0;
}

long CBQCGradeSummary::RemoveSummary(CEMRDataSource* pDataSource, BSTR bstrProperty) {
  const CXmlProperty property = PropertyBag(bstrProperty);
  // Only the first key given selects what is deleted.
  struct Key {
    const char16_t* name;
    const char16_t* column;
    bool number;
  };
  for (const Key& key : {Key{u"id", u"ID", false}, Key{u"template_id", u"TEMPLATE_ID", true},
                         Key{u"creator_id", u"CREATOR_ID", false}, Key{u"type", u"TYPE", true},
                         Key{u"dept_id", u"DEPT_ID", false}, Key{u"task_id", u"TASK_ID", false},
                         Key{u"report_status", u"REPORT_STATUS", true}}) {
    if (property.GetValue(key.name).empty()) continue;
    SqlConditions condition(property);
    if (key.number) {
      condition.Number(key.name, key.column);
    } else {
      condition.Equals(key.name, key.column);
    }
    pDataSource->Execute(u"DELETE PEV_SUMMARY WHERE 1=1 " + condition.Sql());
    return 0;
  }
  return 0;
}
