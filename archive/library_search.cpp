// The record library's research search: live documents (TELV_EMR_CONTENT STATUS 1) of patients
// with an archived visit (EMR_STATUS 3), found through the search texts of MOLB_XML_TEXT by
// words, by column conditions and by paths in their XML, page by page; all documents of one
// patient; and values at paths of one document's XML.
//
// The paged searches join the documents to the visits on PATIENT_ID alone: a document is listed
// once for each archived visit of its patient, with that visit's name, times and department, and
// the total counts it so.
#include "archive/library_search.h"

#include <string>
#include <vector>

#include "archive/emr_library.h"
#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_list.h"
#include "foundation/xml/xml_text.h"

namespace {

using korvalis::ArgumentText;
using korvalis::BstrView;
using korvalis::SqlEscaped;

constexpr char16_t kHitColumns[] =
    u"SELECT A.TITLE, A.ID, A.PATIENT_ID, A.EVENT_NO, B.NAME, B.IN_TIME, B.OUT_TIME, "
    u"B.IN_DEPT_NAME ";

// The names of a hit list's elements and attributes; the paged lists add `rownum`.
std::vector<std::u16string> HitNames(bool paged) {
  std::vector<std::u16string> names = {u"emr",          u"id",      u"patient_id", u"event_no",
                                       u"patient_name", u"in_time", u"out_time",   u"in_dept_name"};
  if (paged) names.push_back(u"rownum");
  return names;
}

// Runs the page of `query` into the result.
void StorePage(CEMRDataSource& data_source, const std::u16string& query, LONG start_row,
               LONG end_row, BSTR* result) {
  data_source.QueryElements(
      korvalis::archive::SearchPageSql(*data_source.GetDBType(), query, start_row, end_row),
      HitNames(true), result);
}

}  // namespace

namespace korvalis::archive {

std::u16string FullSearchQuery(std::u16string_view what) {
  return std::u16string(kHitColumns) +
         u"FROM TELV_EMR_CONTENT A, TELV_V_PATIENT_VISIT_RECORD B ,MOLB_XML_TEXT C "
         u"WHERE A.PATIENT_ID = B.PATIENT_ID AND A.STATUS = 1 AND B.EMR_STATUS = 3 "
         u"AND CONTAINS(C.FULL_TEXT, '" +
         SqlEscaped(what) + u"') > 0 AND C.EMR_ID = A.ID";
}

std::u16string SearchPageSql(const CDBType& dialect, std::u16string_view query, LONG start_row,
                             LONG end_row) {
  std::u16string sql = u"SELECT * FROM (SELECT A.*, ROWNUM RN FROM (";
  sql.append(query)
      .append(u" ORDER BY A.ID, B.EVENT_NO) A WHERE ROWNUM <= ")
      .append(LongToString(end_row));
  if (start_row == 1) {
    // The sentinel: its number is the total, counted by the same statement.
    const std::u16string date = dialect.ToDate(u"2007-07-07", false);
    sql.append(u" UNION SELECT '0' TITLE, '0' ID, '0' PATIENT_ID, '0' EVENT_NO, '0' NAME, ")
        .append(date)
        .append(u" IN_TIME, ")
        .append(date)
        .append(u" OUT_TIME, '0' IN_DEPT_NAME, MAX(ROWNUM) RN FROM (")
        .append(query)
        .append(u") A ");
  }
  sql.append(u") WHERE RN >= ").append(LongToString(start_row)).append(u" ORDER BY RN");
  return sql;
}

}  // namespace korvalis::archive

long CBEMRLibrary::FullSearch(CEMRDataSource* pDataSource, BSTR bstrWhat, LONG lngStartRow,
                              LONG lngEndRow, BSTR* pbstrResult) {
  StorePage(*pDataSource, korvalis::archive::FullSearchQuery(BstrView(bstrWhat)), lngStartRow,
            lngEndRow, pbstrResult);
  return 0;
}

long CBEMRLibrary::FullSearch2(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR bstrWhat,
                               LONG lngStartRow, LONG lngEndRow, BSTR* pbstrResult) {
  const std::u16string condition =
      BuildConditionClause(pDataSource, ArgumentText(bstrCondition));
  std::u16string query = std::u16string(kHitColumns) +
                         u" FROM TELV_EMR_CONTENT A, TELV_V_PATIENT_VISIT_RECORD B, "
                         u"MOLB_XML_TEXT C "
                         u" WHERE A.PATIENT_ID = B.PATIENT_ID AND A.STATUS = 1 AND "
                         u"B.EMR_STATUS = 3 AND A.ID = C.EMR_ID ";
  if (!condition.empty()) query += u" AND " + condition;
  if (!BstrView(bstrWhat).empty()) {
    query += u" AND CONTAINS(C.FULL_TEXT, '" + SqlEscaped(BstrView(bstrWhat)) + u"') > 0";
  }
  StorePage(*pDataSource, query, lngStartRow, lngEndRow, pbstrResult);
  return 0;
}

long CBEMRLibrary::PathSearch(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR bstrPathWhat,
                              LONG lngStartRow, LONG lngEndRow, BSTR* pbstrResult) {
  const std::u16string condition =
      BuildConditionClause(pDataSource, ArgumentText(bstrCondition));
  const std::u16string path_condition =
      BuildPathConditionClause(ArgumentText(bstrPathWhat));
  std::u16string query = std::u16string(kHitColumns) +
                         u"FROM TELV_EMR_CONTENT A, TELV_V_PATIENT_VISIT_RECORD B , "
                         u"MOLB_XML_TEXT C "
                         u" WHERE A.ID = C.EMR_ID AND A.PATIENT_ID = B.PATIENT_ID AND "
                         u"A.STATUS = 1 AND B.EMR_STATUS = 3 ";
  if (!condition.empty()) query += u"AND " + condition;
  if (!path_condition.empty()) query += u" AND " + path_condition;
  StorePage(*pDataSource, query, lngStartRow, lngEndRow, pbstrResult);
  return 0;
}

long CBEMRLibrary::SingleSearch(CEMRDataSource* pDataSource, BSTR bstrPatientID,
                                BSTR* pbstrResult) {
  // Joined on the visit as well: each document once, with its own visit. Visits still being
  // written (0) or rolled back (2) are left out.
  pDataSource->QueryElements(
      std::u16string(kHitColumns) +
          u"FROM TELV_EMR_CONTENT A, TELV_V_PATIENT_VISIT_RECORD B "
          u"WHERE A.PATIENT_ID = B.PATIENT_ID AND A.EVENT_NO = B.EVENT_NO AND A.STATUS = 1 "
          u"AND B.EMR_STATUS NOT IN (0, 2) AND " +
          korvalis::SqlKey().Equals(u"A.PATIENT_ID", bstrPatientID).Sql() + u" ORDER BY A.EVENT_NO",
      HitNames(false), pbstrResult);
  return 0;
}

long CBEMRLibrary::GetPathValue(CEMRDataSource* pDataSource, BSTR bstrID, BSTR bstrPath,
                                BSTR* pbstrValue) {
  const std::vector<korvalis::ListElement> paths =
      korvalis::ReadListElements(bstrPath, u"path", {});
  // Each value is the first 420 characters of the markup found at its path. Without any path
  // the select list is empty and the statement fails as the database refuses it.
  std::u16string columns;
  for (const korvalis::ListElement& path : paths) {
    columns += u"SUBSTR(EXTRACT(B.XML_TEXT, '" + SqlEscaped(path.text) + u"'), 0, 420), ";
  }
  if (!columns.empty()) columns.resize(columns.size() - 2);
  std::vector<std::u16string> values;
  pDataSource->Query(u"SELECT " + columns +
                         u" FROM TELV_EMR_CONTENT A,MOLB_XML_TEXT B" +
                         korvalis::SqlKey().And(u"A.ID = B.EMR_ID").Equals(u"A.ID", bstrID).Where(),
                     static_cast<unsigned>(paths.size()), values);
  // A document without a search text row has no values: each path answers an empty one.
  std::u16string document = u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?><root>";
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (i >= values.size() || values[i].empty()) {
      document += u"<value/>";
    } else {
      document += u"<value>" + korvalis::XmlEscaped(values[i]) + u"</value>";
    }
  }
  document += u"</root>";
  korvalis::StoreBstrResult(pbstrValue, document);
  return 0;
}
