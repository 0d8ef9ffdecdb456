// Summary generation: the results of grading, for the grade tasks and visits that a condition
// selects, gathered into one summary data document and transformed by a summary template's XSL
// into HTML. Nothing is written.
//
//   condition ─▶ clause ─┬─ head statement ──────▶ head (date, counts)
//                        ├─ comments statement ──▶ comment, suggest (numbered texts)
//                        ├─ error statement ─────▶ error_list (by count, largest first)
//                        ├─ patient statement ───▶ patient per graded visit (by grading date)
//                        └─ item statement ──────▶ grade_item under each patient of its visit
//   data document ─▶ XSL of the template ─▶ HTML
//
// The one clause restricts all five statements, which name the tables by the same aliases.
// Everything lives on the call's stack.
#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/bstr_result.h"
#include "foundation/emr_data_source.h"
#include "foundation/emr_exception.h"
#include "foundation/factory.h"
#include "foundation/sibling_component.h"
#include "foundation/sql_text.h"
#include "foundation/string_util.h"
#include "foundation/suite_interfaces.h"
#include "foundation/xml_property.h"
#include "foundation/xml_text.h"
#include "foundation/xsl_transform.h"
#include "platform/com/scoped_bstr.h"
#include "platform/com/unicode.h"
#include "platform/xml/dom.h"
#include "platform/xml/xslt.h"
#include "report/qc_grade_summary.h"
#include "report/summary_fragments.h"

using korvalis::BstrView;
using korvalis::com::ScopedBstr;
using korvalis::report::Placement;

namespace {

// The key under which the visit-data component answers a visit's first diagnosis, and the data
// domain it belongs to.
constexpr char16_t kFirstDiagnosisKey[] = u"emr.residence.diagnosis.first";
constexpr int32_t kVisitDataDomain = 5;

// The joins of a grade item to its visit, its task and its graded visit.
constexpr char16_t kItemJoins[] =
    u" LEFT JOIN TELV_VISIT_RECORD VISIT_RECORD ON VISIT_RECORD.PATIENT_ID=GRADE_ITEM.PATIENT_ID"
    u" AND VISIT_RECORD.EVENT_NO=GRADE_ITEM.EVENT_NO"
    u" JOIN PEV_GRADE_TASK TASK ON TASK.ID=GRADE_ITEM.TASK_ID"
    u" LEFT JOIN PEV_GRADE_PATIENT GRADE_PATIENT ON GRADE_PATIENT.TASK_ID=GRADE_ITEM.TASK_ID"
    u" AND GRADE_PATIENT.PATIENT_ID=GRADE_ITEM.PATIENT_ID"
    u" AND GRADE_PATIENT.EVENT_NO=GRADE_ITEM.EVENT_NO ";

// The visit of a graded visit.
constexpr char16_t kVisitJoin[] =
    u" TELV_VISIT_RECORD VISIT_RECORD ON VISIT_RECORD.PATIENT_ID=GRADE_PATIENT.PATIENT_ID"
    u" AND VISIT_RECORD.EVENT_NO=GRADE_PATIENT.EVENT_NO ";

// "0" for an ordinary error (TYPE_VETO 1), "1" for a serious one.
constexpr char16_t kSeriousFlag[] = u"(CASE WHEN STANDARD_ITEM.TYPE_VETO=1 THEN '0' ELSE '1' END)";

// The grade items of the graded visit, joined to their standard items, as P and O.
std::u16string VisitItems(const char16_t* what, const char16_t* condition) {
  return std::u16string(u"(SELECT ") + what +
         u" FROM PEV_GRADE_ITEM P, PEV_STANDARD_ITEM O WHERE O.ID=P.STANDARD_ID"
         u" AND P.TASK_ID=GRADE_PATIENT.TASK_ID AND P.PATIENT_ID=GRADE_PATIENT.PATIENT_ID"
         u" AND P.EVENT_NO=GRADE_PATIENT.EVENT_NO AND " +
         condition + u")";
}

// The first main diagnosis (DIAG_TYPE 3) of the graded visit's header.
constexpr char16_t kFirstMainDiagnosis[] =
    u"(SELECT D.ICD_NAME FROM TELV_INPATIENT_HEADER_DIAG D WHERE"
    u" D.PATIENT_ID=GRADE_PATIENT.PATIENT_ID AND D.EVENT_NO=GRADE_PATIENT.EVENT_NO"
    u" AND D.DIAG_TYPE=3 AND ROWNUM<=1)";

// The age in years (days over 365): whole years, or one decimal under half a year.
constexpr char16_t kPatientAge[] =
    u"DECODE(TO_CHAR((SYSDATE-Q.BIRTHDAY)/365, 'fm999999'), '0',"
    u" TO_CHAR((SYSDATE-Q.BIRTHDAY)/365, 'fm9999990.9'),"
    u" TO_CHAR((SYSDATE-Q.BIRTHDAY)/365, 'fm999999'))";

// A physician's name followed by a carriage return and a tab, nothing without a name.
std::u16string Physician(const char16_t* column) {
  return std::u16string(u"(CASE WHEN SPI.") + column + u" IS NOT NULL THEN SPI." + column +
         u"||CHR(13)||CHR(9) END)";
}

// The condition clause of all five statements, the values quoted (the task identifiers each
// with their quotes doubled) or checked to be numbers.
std::u16string ConditionClause(const CXmlProperty& condition) {
  std::u16string clause = u" WHERE TASK.VALID=1 ";
  const std::u16string task_ids = condition.GetValue(u"task_id");
  if (!task_ids.empty()) {
    std::u16string list = korvalis::SqlEscaped(task_ids);
    ReplaceAll(list, u";", u"','");
    clause += u" AND TASK.ID IN ('" + list + u"') ";
  }
  return clause +
         korvalis::report::FragmentsOf(
             condition,
             {
                 {u"dept_id", u" AND VISIT_RECORD.NOW_DEPT_ID=", Placement::kQuoted, u" "},
                 {u"grade_date_begin", u" AND GRADE_PATIENT.GRADE_DATE>=", Placement::kDay, u" "},
                 {u"grade_date_end", u" AND GRADE_PATIENT.GRADE_DATE<", Placement::kDayAfter, u" "},
                 {u"phase_type", u" AND  TASK.PHASE_TYPE=", Placement::kBare, u" "},
             });
}

std::u16string HeadSql(const std::u16string& clause) {
  return u"SELECT TO_CHAR(SYSDATE, 'yyyy')||'年'||TO_CHAR(SYSDATE, 'mm')||'月'||"
         u"TO_CHAR(SYSDATE, 'dd')||'日' AS CREATE_DATE, SUM(T.EMR_COUNT) AS EMR_COUNT,"
         u" SUM(T.FST_COUNT) AS FST_COUNT, SUM(T.SND_COUNT) AS SND_COUNT,"
         u" SUM(T.THD_COUNT) AS THD_COUNT FROM (SELECT 1 AS EMR_COUNT,"
         u" (CASE WHEN GRADE_PATIENT.CLASS=1 THEN 1 ELSE 0 END) AS FST_COUNT,"
         u" (CASE WHEN GRADE_PATIENT.CLASS=2 THEN 1 ELSE 0 END) AS SND_COUNT,"
         u" (CASE WHEN GRADE_PATIENT.CLASS=3 THEN 1 ELSE 0 END) AS THD_COUNT"
         u" FROM PEV_GRADE_PATIENT GRADE_PATIENT"
         u" JOIN PEV_GRADE_TASK TASK ON TASK.ID=GRADE_PATIENT.TASK_ID JOIN" +
         std::u16string(kVisitJoin) + clause + u") T";
}

std::u16string CommentsSql(const std::u16string& clause) {
  return u"SELECT DISTINCT(GRADE_TASK.ID), SUMMARIZE.USER_ID, SUMMARIZE.OPINION,"
         u" SUMMARIZE.SUGGESTION, GRADE_TASK.TITLE FROM PEV_GRADE_TASK GRADE_TASK"
         u" LEFT JOIN PEV_GRADE_TASK_SUMMARIZE SUMMARIZE ON GRADE_TASK.ID = SUMMARIZE.TASK_ID"
         u" WHERE GRADE_TASK.ID IN (SELECT TASK.ID FROM PEV_GRADE_TASK TASK"
         u" LEFT JOIN PEV_GRADE_PATIENT GRADE_PATIENT ON GRADE_PATIENT.TASK_ID=TASK.ID"
         u" LEFT JOIN" +
         std::u16string(kVisitJoin) + clause + u")";
}

std::u16string ErrorsSql(const std::u16string& clause) {
  return u"SELECT T.STANDARD, T.STANDARD_COUNT, T.SERIOUS_FLAG, T.CODE FROM"
         u" (SELECT COUNT(*) AS STANDARD_COUNT, STANDARD_ITEM.STANDARD, STANDARD_ITEM.CODE, " +
         std::u16string(kSeriousFlag) +
         u" AS SERIOUS_FLAG FROM PEV_STANDARD_ITEM STANDARD_ITEM"
         u" LEFT JOIN PEV_GRADE_ITEM GRADE_ITEM ON GRADE_ITEM.STANDARD_ID=STANDARD_ITEM.ID" +
         kItemJoins + clause + u" GROUP BY STANDARD_ITEM.STANDARD, STANDARD_ITEM.CODE, " +
         kSeriousFlag + u") T ORDER BY T.STANDARD_COUNT DESC";
}

std::u16string PatientsSql(const std::u16string& clause) {
  return u"SELECT GRADE_PATIENT.TASK_ID, GRADE_PATIENT.PATIENT_ID, GRADE_PATIENT.EVENT_NO,"
         u" GRADE_PATIENT.SCORE, VISIT_RECORD.DOCTOR_NAME, VISIT_RECORD.NOW_DEPT_NAME,"
         u" (CASE GRADE_PATIENT.CLASS WHEN 1 THEN '甲级' WHEN 2 THEN '乙级' WHEN 3 THEN '丙级'"
         u" ELSE '' END) AS EMR_LEVEL, Q.NAME AS PATIENT_NAME, " +
         VisitItems(u"COUNT(1)", u"O.TYPE_VETO=1") + u" AS NORMAL_ERROR_COUNT, " +
         VisitItems(u"COUNT(1)", u"O.TYPE_VETO IN(2, 3)") + u" AS SERIOUS_ERROR_COUNT, " +
         VisitItems(u"SUM(P.DEDUCT)", u"O.MAIN_GRADE_FLAG='1'") +
         u" AS MAIN_DEDUCT, VISIT_RECORD.BED_NO AS BED, " + kFirstMainDiagnosis +
         u" AS MAIN_DIAGNOSIS, " + Physician(u"CHIEF_PHYSICIAN") + u"||" +
         Physician(u"VISISTING_PHYSICIAN") + u"||" + Physician(u"BOTANIC_PHYSICIAN") +
         u" AS DOCTORS, T.REQUEST_DOCTOR_ID, T.REQUEST_DOCTOR_NAME, T.REQUEST_NOTES,"
         u" (SELECT COUNT(1) FROM TELV_PATIENT_ROLLBACK R WHERE"
         u" R.PATIENT_ID=GRADE_PATIENT.PATIENT_ID AND R.EVENT_NO=GRADE_PATIENT.EVENT_NO)"
         u" AS APPLY_COUNT, " +
         kFirstMainDiagnosis +
         u" AS DIAG_NAME, DECODE(Q.SEX, 0, '女', 1, '男') AS PATIENT_SEX,"
         u" Q.NATION AS PATIENT_NATION, " +
         kPatientAge +
         u" AS PATIENT_AGE, TO_CHAR(GRADE_PATIENT.GRADE_DATE, 'YYYY-MM-DD') GRADE_DATE"
         u" FROM PEV_GRADE_PATIENT GRADE_PATIENT"
         u" LEFT JOIN PEV_GRADE_TASK TASK ON TASK.ID=GRADE_PATIENT.TASK_ID"
         u" LEFT JOIN" +
         kVisitJoin +
         u" LEFT JOIN TELV_PATIENT Q ON Q.ID=GRADE_PATIENT.PATIENT_ID"
         u" LEFT JOIN TELV_INPATIENT_HEADER_DOCTOR SPI ON SPI.PATIENT_ID=GRADE_PATIENT.PATIENT_ID"
         u" AND SPI.EVENT_NO=GRADE_PATIENT.EVENT_NO"
         u" LEFT JOIN (SELECT XAR.PATIENT_ID, XAR.EVENT_NO, XAR.REQUEST_DOCTOR_ID,"
         u" XAR.REQUEST_DOCTOR_NAME, XAR.REQUEST_NOTES FROM TELV_PATIENT_ROLLBACK XAR"
         u" WHERE XAR.REQUEST_DATE=(SELECT MAX(Y.REQUEST_DATE) FROM TELV_PATIENT_ROLLBACK Y"
         u" WHERE Y.PATIENT_ID=XAR.PATIENT_ID AND Y.EVENT_NO=XAR.EVENT_NO)) T"
         u" ON T.PATIENT_ID=GRADE_PATIENT.PATIENT_ID AND T.EVENT_NO=GRADE_PATIENT.EVENT_NO" +
         clause + u" ORDER BY GRADE_PATIENT.GRADE_DATE";
}

std::u16string ItemsSql(const std::u16string& clause) {
  return u"SELECT GRADE_ITEM.SERIAL || '. ' || GRADE_ITEM.CONTENT, GRADE_ITEM.TASK_ID,"
         u" GRADE_ITEM.PATIENT_ID, GRADE_ITEM.EVENT_NO, STANDARD_ITEM.CODE, GRADE_ITEM.DEDUCT, " +
         std::u16string(kSeriousFlag) +
         u" AS SERIOUS_FLAG FROM PEV_GRADE_ITEM GRADE_ITEM"
         u" LEFT JOIN PEV_STANDARD_ITEM STANDARD_ITEM ON STANDARD_ITEM.ID=GRADE_ITEM.STANDARD_ID" +
         kItemJoins + clause + u" ORDER BY GRADE_ITEM.SERIAL ASC";
}

// The summary data document written as text: elements and attributes in the order they are
// added, every value escaped so that it reads back unchanged.
class DataWriter {
 public:
  explicit DataWriter(std::u16string& out) : out_(out) {}

  void Open(const char16_t* name) { out_.append(u"<").append(name); }
  void Attribute(const char16_t* name, const std::u16string& value) {
    out_.append(u" ").append(name).append(u"=\"");
    korvalis::AppendXmlAttributeValue(out_, korvalis::XmlCarriable(value));
    out_.push_back(u'"');
  }
  // Ends the start tag of an element that holds `text`, and the element with it.
  void CloseWithText(const char16_t* name, const std::u16string& text) {
    out_.push_back(u'>');
    korvalis::AppendXmlEscaped(out_, korvalis::XmlCarriable(text));
    out_.append(u"</").append(name).append(u">");
  }
  void CloseEmpty() { out_.append(u"/>"); }

 private:
  std::u16string& out_;
};

// The texts of the column `column` of every row that is not empty, each as "n. text\r\t" with
// its own running number.
std::u16string NumberedTexts(const std::vector<std::u16string>& values, unsigned columns,
                             unsigned column) {
  std::u16string text;
  int number = 0;
  for (std::size_t row = 0; row + columns <= values.size(); row += columns) {
    const std::u16string& value = values[row + column];
    if (value.empty()) continue;
    text += IntToString(++number) + u". " + value + u"\r\t";
  }
  return text;
}

// The first diagnosis of a visit as the visit-data component answers it; the component is
// created on the first question and its result code is not examined.
class VisitDiagnoses {
 public:
  std::u16string FirstDiagnosis(const std::u16string& patient_id, const std::u16string& event_no) {
    if (component_ == nullptr) {
      component_ =
          std::make_unique<korvalis::Sibling<IVisitData>>(*CEMRFactory::Instance(), IID_IVisitData);
    }
    ScopedBstr patient(patient_id), event(event_no), key(kFirstDiagnosisKey), diagnosis;
    (*component_)
        ->GetVisitData(patient.get(), event.get(), kVisitDataDomain, key.get(), diagnosis.out());
    return diagnosis.text();
  }

 private:
  std::unique_ptr<korvalis::Sibling<IVisitData>> component_;
};

constexpr unsigned kPatientColumns = 23;
constexpr unsigned kMainDiagnosisColumn = 12;
constexpr const char16_t* kPatientAttributes[kPatientColumns] = {u"task_id",
                                                                 u"patient_id",
                                                                 u"event_no",
                                                                 u"score",
                                                                 u"doctor_name",
                                                                 u"dept",
                                                                 u"level",
                                                                 u"name",
                                                                 u"normal_error_count",
                                                                 u"serious_error_count",
                                                                 u"main_deduction",
                                                                 u"bed",
                                                                 u"main_diagnosis",
                                                                 u"doctors",
                                                                 u"request_doctor_id",
                                                                 u"request_doctor_name",
                                                                 u"request_notes",
                                                                 u"apply_count",
                                                                 u"diag",
                                                                 u"patient_sex",
                                                                 u"patient_nation",
                                                                 u"patient_age",
                                                                 u"grade_date"};

// One `patient` element: its start tag with every attribute, and its grade items.
struct PatientElement {
  std::u16string start;
  std::u16string items;
};

// The graded visits with their items: each item goes to every patient of the same task,
// patient and visit (the texts compared exactly); an item of no listed visit is dropped.
class PatientElements {
 public:
  void Add(const std::u16string* columns, VisitDiagnoses& diagnoses) {
    PatientElement patient;
    DataWriter writer(patient.start);
    writer.Open(u"patient");
    for (unsigned i = 0; i < kPatientColumns; ++i) {
      if (i == kMainDiagnosisColumn && columns[i].empty()) {
        writer.Attribute(kPatientAttributes[i], diagnoses.FirstDiagnosis(columns[1], columns[2]));
      } else {
        writer.Attribute(kPatientAttributes[i], columns[i]);
      }
    }
    index_[{columns[0], columns[1], columns[2]}].push_back(patients_.size());
    patients_.push_back(std::move(patient));
  }

  // The item of `columns`: its text, task, patient, visit, code, deduction and flag.
  void AddItem(const std::u16string* columns) {
    auto found = index_.find({columns[1], columns[2], columns[3]});
    if (found == index_.end()) return;
    std::u16string item;
    DataWriter writer(item);
    writer.Open(u"grade_item");
    writer.Attribute(u"deduct", columns[5]);
    writer.Attribute(u"code", columns[4]);
    writer.Attribute(u"serious", columns[6]);
    writer.CloseWithText(u"grade_item", columns[0]);
    for (std::size_t patient : found->second) patients_[patient].items += item;
  }

  void AppendTo(std::u16string& out) const {
    for (const PatientElement& patient : patients_) {
      out += patient.start;
      if (patient.items.empty()) {
        out += u"/>";
      } else {
        out.append(u">").append(patient.items).append(u"</patient>");
      }
    }
  }

 private:
  std::vector<PatientElement> patients_;
  std::map<std::array<std::u16string, 3>, std::vector<std::size_t>> index_;
};

}  // namespace

void CBQCGradeSummary::BuildSummaryData(CEMRDataSource* pDataSource,
                                        const std::u16string& condition_xml, std::u16string& data) {
  const CXmlProperty condition(condition_xml);
  const std::u16string clause = ConditionClause(condition);
  std::u16string out = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><root>";
  DataWriter writer(out);
  std::vector<std::u16string> values;

  pDataSource->Query(HeadSql(clause), 5, values);
  writer.Open(u"head");
  if (values.size() >= 5) {
    writer.Attribute(u"dept", condition.GetValue(u"dept_name"));
    writer.Attribute(u"user_name", condition.GetValue(u"user_name"));
    writer.Attribute(u"date", values[0]);
    writer.Attribute(u"emr_count", values[1]);
    writer.Attribute(u"fst_count", values[2]);
    writer.Attribute(u"snd_count", values[3]);
    writer.Attribute(u"thd_count", values[4]);
    writer.Attribute(u"refity_measure", condition.GetValue(u"refity_measure"));
  }
  writer.CloseEmpty();

  pDataSource->Query(CommentsSql(clause), 5, values);
  writer.Open(u"comment");
  writer.CloseWithText(u"comment", NumberedTexts(values, 5, 2));
  writer.Open(u"suggest");
  writer.CloseWithText(u"suggest", NumberedTexts(values, 5, 3));

  pDataSource->Query(ErrorsSql(clause), 4, values);
  out += u"<error_list>";
  for (std::size_t row = 0; row + 4 <= values.size(); row += 4) {
    writer.Open(u"error_item");
    writer.Attribute(u"serious_flag", values[row + 2]);
    writer.Attribute(u"standard_count", values[row + 1]);
    writer.Attribute(u"code", values[row + 3]);
    writer.CloseWithText(u"error_item", values[row]);
  }
  out += u"</error_list>";

  PatientElements patients;
  VisitDiagnoses diagnoses;
  pDataSource->Query(PatientsSql(clause), kPatientColumns, values);
  for (std::size_t row = 0; row + kPatientColumns <= values.size(); row += kPatientColumns) {
    patients.Add(&values[row], diagnoses);
  }
  pDataSource->Query(ItemsSql(clause), 7, values);
  for (std::size_t row = 0; row + 7 <= values.size(); row += 7) patients.AddItem(&values[row]);
  patients.AppendTo(out);

  out += u"</root>";
  data = std::move(out);
}

long CBQCGradeSummary::GenerateSummary(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                       BSTR bstrTemplageID, BSTR* pbstrSummaryHtml) {
  ScopedBstr xsl;
  GetXslContent(pDataSource, bstrTemplageID, xsl.out());
  std::u16string data;
  BuildSummaryData(pDataSource, std::u16string(BstrView(bstrCondition)), data);

  korvalis::xml::Document source = NewTransformDocument();
  korvalis::xml::Document stylesheet = NewTransformDocument();
  if (!source.LoadXml(korvalis::ToUtf8(data))) {
    throw CEMRException(std::u16string(u"加载病历xml内容错误."));
  }
  if (!stylesheet.LoadXml(korvalis::ToUtf8(xsl.text()))) {
    throw CEMRException(std::u16string(u"加载模板Xsl内容错误."));
  }
  std::string html;
  if (!korvalis::xml::TransformToText(source, stylesheet, html)) {
    throw CEMRException(std::u16string(u"转换病历xml错误."));
  }
  korvalis::StoreBstrResult(pbstrSummaryHtml, korvalis::FromUtf8(html));
  return 0;
}
