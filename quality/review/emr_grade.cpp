// The grades of task visits and the visit lookups of CBQCPatient: a visit's grade is saved
// with its deduction items (SaveEmrGrade) and read back (GetEmrGradeInfo), the visits to grade
// are listed (GetQCPatientGradeList) and one visit's patient data is looked up
// (GetPatientProperty).
//
// A grade lives in the visit's row of its task (PEV_GRADE_PATIENT), which a save updates or,
// for a visit not yet in the task, inserts; its items (PEV_GRADE_ITEM) are replaced as a
// whole by a save that carries a "detail" element, numbered 1, 2, 3 in document order, and
// left alone by a save without one. Every value that stands bare in a statement is checked to
// be a number before the first statement runs; the call is one transaction.
#include <array>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_order.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_document.h"
#include "foundation/xml/xml_list.h"
#include "foundation/xml/xml_parser.h"
#include "foundation/xml/xml_property.h"
#include "foundation/xml/xml_text.h"
#include "quality/review/qc_patient.h"

namespace {

using korvalis::ArgumentText;
using korvalis::BstrView;
using korvalis::EveryColumnOrder;
using korvalis::PropertyBag;
using korvalis::InsertRow;
using korvalis::RowValue;
using korvalis::SqlConditions;
using korvalis::SqlKey;
using korvalis::SqlNumber;
using korvalis::UpdateRow;

// One deduction item of a grade, its deduction checked.
struct GradeItem {
  std::u16string standard_id;
  std::u16string deduct;
  std::u16string emr_id;
  std::u16string content;
};

// The `item` elements below the first `detail` element of the grade document, or nothing
// when the document has no `detail`.
std::optional<std::vector<GradeItem>> ReadGradeItems(const std::u16string& grade) {
  CXmlStringParser parser(grade);
  const xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr) return std::nullopt;
  const xercesc::DOMNode* detail = document->getElementsByTagName(u"detail")->item(0);
  if (detail == nullptr) return std::nullopt;
  std::vector<GradeItem> items;
  for (korvalis::ListElement& element :
       korvalis::ReadListElements(detail, u"item", {u"standard_id", u"deduct", u"emr_id"})) {
    std::vector<std::u16string>& a = element.attributes;
    items.push_back(
        {std::move(a[0]), SqlNumber(a[1], u"deduct"), std::move(a[2]), std::move(element.text)});
  }
  return items;
}

// The key of a grade document's visit in its task.
SqlKey GradedVisit(const CXmlProperty& grade) {
  return SqlKey()
      .Equals(u"PATIENT_ID", grade.GetValue(u"patient_id"))
      .Equals(u"EVENT_NO", grade.GetValue(u"event_no"))
      .Equals(u"TASK_ID", grade.GetValue(u"task_id"));
}

// The elements of a grade's header, in the order they are written: four from the condition,
// then the seven that the grade row fills, in the order of its columns.
constexpr std::array<const char16_t*, 11> kGradeHeader = {
    u"task_id", u"patient_id", u"rectify_id",  u"event_no", u"status",    u"score",
    u"class",   u"user_id",    u"executor_id", u"title",    u"grade_date"};
constexpr std::size_t kFirstStoredHeader = 4;
constexpr unsigned kStoredHeaderColumns = 7;

// The keys of the grade list's condition.
constexpr std::array<const char16_t*, 12> kGradeListKeys = {
    u"emr_status", u"patient_status", u"in_time_begin", u"in_time_end",
    u"dept_id",    u"user_id",        u"executor_type", u"task_id",
    u"phase_type", u"standard_id",    u"patient_name",  u"event_no"};

// The columns that both selects of the grade list share from the visit: patient, visit state,
// doctor, department and admission time.
constexpr char16_t kGradeListVisitColumns[] =
    u" A.PATIENT_ID,  XEP.NAME AS PATIENT_NAME,  A.EVENT_NO,  (CASE WHEN A.OUT_TIME IS NULL THEN "
    u"'在院'  ELSE '出院'  END) AS PATIENT_STATUS,  A.EMR_STATUS,  A.DOCTOR_NAME,  "
    u"A.NOW_DEPT_NAME,  TO_CHAR(A.IN_TIME, 'yyyy-MM-dd HH24:MI') AS IN_TIME, ";
// The columns that follow the task's, the same in both selects.
constexpr char16_t kGradeListTailColumns[] =
    u" D.VISISTING_PHYSICIAN, D.DIAGNOSTICIAN_PHYSICIAN, D.CHIEF_PHYSICIAN,  TO_CHAR(A.OUT_TIME, "
    u"'yyyy-MM-dd HH24:MI') AS OUT_TIME,  A.OUT_DEPT_NAME,  A.NOW_DEPT_NAME ";

// The visits in valid grade tasks, with the grade and the task.
std::u16string GradedVisitsSelect() {
  return std::u16string(u" SELECT  '' AS ITEM, ") + kGradeListVisitColumns +
         u" B.TASK_ID,  TO_CHAR(B.SCORE) AS SCORE,  TO_CHAR(B.GRADE_DATE, 'yyyy-MM-dd HH24:MI') "
         u"AS GRADE_DATE,  TO_CHAR(B.CLASS) AS \"CLASS\",  B.USER_ID,  TO_CHAR(C.EXECUTOR_TYPE) AS "
         u"EXECUTOR_TYPE,  C.TITLE,  TO_CHAR(C.PHASE_TYPE) AS PHASE_TYPE,  TO_CHAR(C.CONTENT_TYPE) "
         u"AS CONTENT_TYPE, " +
         kGradeListTailColumns +
         u" FROM TELV_PATIENT XEP, TELV_VISIT_RECORD A  LEFT JOIN PEV_GRADE_PATIENT B ON "
         u"B.PATIENT_ID = A.PATIENT_ID AND B.EVENT_NO = A.EVENT_NO  LEFT JOIN PEV_GRADE_TASK C ON "
         u"C.ID = B.TASK_ID  LEFT JOIN TELV_PATIENT_CASE_RESIDENCE D ON D.PATIENT_ID = "
         u"A.PATIENT_ID AND D.EVENT_NO = A.EVENT_NO  WHERE C.VALID = 1 AND XEP.ID = A.PATIENT_ID ";
}

// The visits with a time-limit rule closed late, without task data.
std::u16string LateClosedVisitsSelect() {
  return std::u16string(u" SELECT   '' AS ITEM, ") + kGradeListVisitColumns +
         u" '' AS TASK_ID,  '' AS SCORE,  '' AS GRADE_DATE,  '' AS \"CLASS\",  '' AS USER_ID,  "
         u"'3' AS EXECUTOR_TYPE,  '' AS TITLE,  '' AS PHASE_TYPE,  '' AS CONTENT_TYPE, " +
         kGradeListTailColumns +
         u" FROM TELV_PATIENT XEP,(SELECT D.PATIENT_ID, D.EVENT_NO  FROM TELV_VISIT_RECORD E, "
         u"PEV_TIME_RULE_RECORD D  WHERE E.PATIENT_ID = D.PATIENT_ID AND E.EVENT_NO = D.EVENT_NO "
         u"AND D.STATUS = 2 AND D.OVER_HOUR>0  GROUP BY D.PATIENT_ID, D.EVENT_NO) T,  "
         u"TELV_VISIT_RECORD A  LEFT JOIN TELV_PATIENT_CASE_RESIDENCE D ON D.PATIENT_ID = "
         u"A.PATIENT_ID AND D.EVENT_NO = A.EVENT_NO  WHERE A.PATIENT_ID = T.PATIENT_ID AND "
         u"A.EVENT_NO = T.EVENT_NO AND XEP.ID = A.PATIENT_ID ";
}

// The grade list's condition: the root's child elements by name, each the markup of its
// content, a repeated name keeping its last value. Throws "无效XML!" for a text that does not
// load.
SqlConditions::Values ReadGradeListCondition(const std::u16string& text) {
  CXmlDocument document(text, false, true);
  CXmlNode root = document.GetRootNode();
  SqlConditions::Values condition;
  const int children = root.GetChildCount(u"");
  for (int i = 0; i < children; ++i) {
    const CXmlNode child = root.GetChildAt(i);
    const std::u16string name = child.GetName();
    for (const char16_t* key : kGradeListKeys) {
      if (name == key) condition[name] = child.GetInnerXml();
    }
  }
  return condition;
}

}  // namespace

long CBQCPatient::SaveEmrGrade(CEMRDataSource* pDataSource, BSTR bstrList) {
  const std::u16string text(BstrView(bstrList));
  const CXmlProperty grade{text};
  for (const char16_t* required :
       {u"task_id", u"patient_id", u"event_no", u"user_id", u"status", u"score", u"class"}) {
    if (grade.GetValue(required).empty()) throw CEMRException(std::u16string(u"信息不完整"));
  }
  const RowValue status = RowValue::Number(SqlNumber(grade.GetValue(u"status"), u"status"));
  const RowValue score = RowValue::Number(SqlNumber(grade.GetValue(u"score"), u"score"));
  const RowValue grade_class = RowValue::Number(SqlNumber(grade.GetValue(u"class"), u"class"));
  const std::optional<std::vector<GradeItem>> items = ReadGradeItems(text);
  const std::u16string task_id = grade.GetValue(u"task_id");
  const std::u16string patient_id = grade.GetValue(u"patient_id");
  const std::u16string event_no = grade.GetValue(u"event_no");
  const std::u16string user_id = grade.GetValue(u"user_id");
  const std::u16string rectify_id = grade.GetValue(u"rectify_id");
  const std::u16string executor_id = grade.GetValue(u"executor_id");
  const SqlKey visit = GradedVisit(grade);

  UpdateRow(*pDataSource, u"PEV_GRADE_PATIENT",
            {{u"STATUS", status},
             {u"SCORE", score},
             {u"CLASS", grade_class},
             {u"USER_ID", user_id},
             {u"GRADE_DATE", RowValue::Now()},
             {u"RECTIFY_ID", rectify_id},
             {u"EXECUTOR_ID", executor_id}},
            visit.Sql());
  std::u16string count;
  pDataSource->QueryScalar(u"SELECT COUNT(*) FROM PEV_GRADE_PATIENT" + visit.Where(), count);
  if (count == u"0") {  // the visit is not in the task yet: the grade adds it
    InsertRow(*pDataSource, u"PEV_GRADE_PATIENT",
              u"TASK_ID, PATIENT_ID, EVENT_NO, STATUS, SCORE, CLASS, USER_ID, GRADE_DATE, "
              u"RECTIFY_ID, EXECUTOR_ID",
              {task_id, patient_id, event_no, status, score, grade_class, user_id,
               RowValue::Now(), rectify_id, executor_id});
  }

  if (!items) return 0;  // no "detail": the stored items stay
  pDataSource->Execute(u"DELETE PEV_GRADE_ITEM" + visit.Where());
  long serial = 0;
  for (const GradeItem& item : *items) {
    InsertRow(*pDataSource, u"PEV_GRADE_ITEM",
              u"TASK_ID, PATIENT_ID, EVENT_NO, STANDARD_ID, CONTENT, DEDUCT, EMR_ID, SERIAL",
              {task_id, patient_id, event_no, item.standard_id, item.content,
               RowValue::Number(item.deduct), item.emr_id, RowValue::Number(++serial)});
  }
  return 0;
}

long CBQCPatient::GetEmrGradeInfo(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                  BSTR* pbstrList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  std::array<std::u16string, kGradeHeader.size()> header;
  for (std::size_t i = 0; i < header.size(); ++i) header[i] = condition.GetValue(kGradeHeader[i]);
  const std::u16string patient_id = condition.GetValue(u"patient_id");
  const std::u16string event_no = condition.GetValue(u"event_no");

  // Without a whole visit the grade is not looked for: the condition alone answers.
  std::vector<std::u16string> items;
  if (!patient_id.empty() && !event_no.empty()) {
    const std::u16string visit = SqlConditions(condition)
                                     .Equals(u"task_id", u"A.TASK_ID")
                                     .Equals(u"patient_id", u"A.PATIENT_ID")
                                     .Equals(u"event_no", u"A.EVENT_NO")
                                     .Sql();
    std::vector<std::u16string> stored;
    pDataSource->Query(
        u"SELECT A.STATUS, A.SCORE ,A.CLASS, A.USER_ID,A.EXECUTOR_ID, B.TITLE, A.GRADE_DATE FROM "
        u" PEV_GRADE_PATIENT A , PEV_GRADE_TASK B WHERE A.TASK_ID = B.ID " +
            visit,
        kStoredHeaderColumns, stored);
    // The first grade row found, if any; without one the condition's values stay.
    for (std::size_t column = 0; column < kStoredHeaderColumns && column < stored.size();
         ++column) {
      header[kFirstStoredHeader + column] = stored[column];
    }
    pDataSource->Query(
        u"SELECT A.CONTENT, A.STANDARD_ID, C.STANDARD, A.EMR_ID, B.TITLE, A.DEDUCT FROM  "
        u"PEV_GRADE_ITEM A, TELV_EMR_CONTENT B, PEV_STANDARD_ITEM C  WHERE A.EMR_ID = B.ID(+) AND "
        u"A.STANDARD_ID = C.ID(+) " +
            visit,
        6, items);
  }

  std::u16string xml = u"<?xml version='1.0' ?><root>";
  for (std::size_t i = 0; i < header.size(); ++i) {
    xml.append(u"<").append(kGradeHeader[i]).append(u">");
    korvalis::AppendXmlEscaped(xml, header[i]);
    xml.append(u"</").append(kGradeHeader[i]).append(u">");
  }
  xml.append(u"<detail>");
  static constexpr const char16_t* kItemAttributes[] = {u"<item content = '", u"' standard = '",
                                                        u"' standard_id = '", u"' emr_id = '",
                                                        u"' emr_title = '",   u"' deduct = '"};
  // The columns in the order of the attributes: content, standard, standard_id, ...
  static constexpr unsigned kItemColumns[] = {0, 2, 1, 3, 4, 5};
  for (std::size_t row = 0; row + 6 <= items.size(); row += 6) {
    for (std::size_t i = 0; i < 6; ++i) {
      xml.append(kItemAttributes[i]);
      korvalis::AppendXmlEscapedWithQuotes(xml, items[row + kItemColumns[i]]);
    }
    xml.append(u"'></item>");
  }
  korvalis::StoreBstrResult(pbstrList, xml.append(u"</detail></root>"));
  return 0;
}

long CBQCPatient::GetQCPatientGradeList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                        BSTR* pbstrList) {
  SqlConditions visit(ReadGradeListCondition(ArgumentText(bstrCondition)));
  visit.Contains(u"event_no", u"A.EVENT_NO")
      .Contains(u"patient_name", u"XEP.NAME")
      .Number(u"emr_status", u"A.EMR_STATUS")
      .Chosen(u"patient_status", {{u"1", u"A.OUT_TIME IS NULL"}, {u"2", u"A.OUT_TIME IS NOT NULL"}})
      .DateFrom(u"in_time_begin", u"A.IN_TIME")
      .DateUntil(u"in_time_end", u"A.IN_TIME")
      .Equals(u"dept_id", u"A.NOW_DEPT_ID");
  SqlConditions graded = visit;  // and the conditions on the grade and its task
  graded.Equals(u"user_id", u"B.USER_ID")
      .Number(u"phase_type", u"C.PHASE_TYPE")
      .Equals(u"task_id", u"B.TASK_ID")
      .Exists(u"standard_id",
              u"SELECT 1 FROM PEV_GRADE_ITEM T WHERE T.TASK_ID = B.TASK_ID AND "
              u"T.PATIENT_ID = A.PATIENT_ID AND T.EVENT_NO = A.EVENT_NO",
              u"T.STANDARD_ID")
      .Chosen(u"executor_type", {{u"0", u"C.EXECUTOR_TYPE = 0"}, {u"1", u"C.EXECUTOR_TYPE = 1"}});
  const std::u16string& executor_type = visit.Value(u"executor_type");
  if (!executor_type.empty()) SqlNumber(executor_type, u"executor_type");
  std::u16string sql;
  if (executor_type == u"0" || executor_type == u"1") {
    sql = GradedVisitsSelect() + graded.Sql();
  } else if (executor_type == u"3") {
    sql = LateClosedVisitsSelect() + visit.Sql();
  } else {
    sql = GradedVisitsSelect() + graded.Sql() + u" UNION " + LateClosedVisitsSelect() + visit.Sql();
  }
  static const std::vector<std::u16string>& kNames =
      *new std::vector<std::u16string>{u"item",
                                       u"patient_id",
                                       u"patient_name",
                                       u"event_no",
                                       u"patient_status",
                                       u"emr_status",
                                       u"reg_doctor_name",
                                       u"in_dept_name",
                                       u"in_time",
                                       u"task_id",
                                       u"score",
                                       u"grade_date",
                                       u"class",
                                       u"user_id",
                                       u"executor_type",
                                       u"title",
                                       u"phase_type",
                                       u"content_type",
                                       u"visiting_physician",
                                       u"diagnostician_physician",
                                       u"chief_physician",
                                       u"out_time",
                                       u"out_dept_name",
                                       u"now_dept_name"};
  // Rows that every column leaves tied are alike, so ordering by every column gives the list
  // one order on every engine.
  pDataSource->QueryElements(sql + EveryColumnOrder(kNames.size()), kNames, pbstrList);
  return 0;
}

long CBQCPatient::GetPatientProperty(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                     BSTR* pbstrPatientList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  pDataSource->QueryElements(
      u"SELECT P.NAME, P.ID, V.EVENT_NO, P.SEX, V.NOW_DEPT_ID, V.NOW_DEPT_NAME, V.IN_TIME FROM "
      u"TELV_VISIT_RECORD V JOIN TELV_PATIENT P ON P.ID=V.PATIENT_ID" +
          SqlKey().Equals(u"V.EVENT_NO", condition.GetValue(u"event_no")).Where() +
          u" ORDER BY V.PATIENT_ID",
      {u"patient", u"patient_id", u"event_no", u"sex", u"now_dept_id", u"now_event_no", u"in_time"},
      pbstrPatientList);
  return 0;
}
