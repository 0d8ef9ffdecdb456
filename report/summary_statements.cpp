#include "report/summary_statements.h"

#include <vector>

#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"

namespace korvalis::report {

namespace {

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

// The first main diagnosis (DIAG_TYPE 3) of the graded visit's header: the one of the lowest
// SUB_ID, so that every engine names the same one.
constexpr char16_t kFirstMainDiagnosis[] =
    u"(SELECT D.ICD_NAME FROM TELV_INPATIENT_HEADER_DIAG D WHERE"
    u" D.PATIENT_ID=GRADE_PATIENT.PATIENT_ID AND D.EVENT_NO=GRADE_PATIENT.EVENT_NO"
    u" AND D.DIAG_TYPE=3 AND NVL(D.SUB_ID, 0)=(SELECT MIN(NVL(E.SUB_ID, 0)) FROM"
    u" TELV_INPATIENT_HEADER_DIAG E WHERE E.PATIENT_ID=D.PATIENT_ID AND E.EVENT_NO=D.EVENT_NO"
    u" AND E.DIAG_TYPE=3) AND ROWNUM<=1)";

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
  SqlConditions conditions(condition);
  if (const std::u16string& task_ids = conditions.Value(u"task_id"); !task_ids.empty()) {
    std::vector<std::u16string> tasks;
    SplitString(task_ids, u";", tasks);
    conditions.And(SqlKey().In(u"TASK.ID", tasks).Sql());
  }
  return u" WHERE TASK.VALID=1 " + conditions
                      .Equals(u"dept_id", u"VISIT_RECORD.NOW_DEPT_ID")
                      .DateFrom(u"grade_date_begin", u"GRADE_PATIENT.GRADE_DATE")
                      .DateUntil(u"grade_date_end", u"GRADE_PATIENT.GRADE_DATE")
                      .Number(u"phase_type", u"TASK.PHASE_TYPE")
                      .Sql();
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
         std::u16string(kVisitJoin) + clause + u") ORDER BY GRADE_TASK.ID, SUMMARIZE.USER_ID";
}

std::u16string ErrorsSql(const std::u16string& clause) {
  return u"SELECT T.STANDARD, T.STANDARD_COUNT, T.SERIOUS_FLAG, T.CODE FROM"
         u" (SELECT COUNT(*) AS STANDARD_COUNT, STANDARD_ITEM.STANDARD, STANDARD_ITEM.CODE, " +
         std::u16string(kSeriousFlag) +
         u" AS SERIOUS_FLAG FROM PEV_STANDARD_ITEM STANDARD_ITEM"
         u" LEFT JOIN PEV_GRADE_ITEM GRADE_ITEM ON GRADE_ITEM.STANDARD_ID=STANDARD_ITEM.ID" +
         kItemJoins + clause + u" GROUP BY STANDARD_ITEM.STANDARD, STANDARD_ITEM.CODE, " +
         kSeriousFlag + u") T ORDER BY T.STANDARD_COUNT DESC, T.STANDARD, T.CODE, T.SERIOUS_FLAG";
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
         clause +
         u" ORDER BY GRADE_PATIENT.GRADE_DATE, GRADE_PATIENT.TASK_ID, GRADE_PATIENT.PATIENT_ID,"
         u" GRADE_PATIENT.EVENT_NO";
}

std::u16string ItemsSql(const std::u16string& clause) {
  return u"SELECT GRADE_ITEM.SERIAL || '. ' || GRADE_ITEM.CONTENT, GRADE_ITEM.TASK_ID,"
         u" GRADE_ITEM.PATIENT_ID, GRADE_ITEM.EVENT_NO, STANDARD_ITEM.CODE, GRADE_ITEM.DEDUCT, " +
         std::u16string(kSeriousFlag) +
         u" AS SERIOUS_FLAG FROM PEV_GRADE_ITEM GRADE_ITEM"
         u" LEFT JOIN PEV_STANDARD_ITEM STANDARD_ITEM ON STANDARD_ITEM.ID=GRADE_ITEM.STANDARD_ID" +
         kItemJoins + clause + u" ORDER BY GRADE_ITEM.SERIAL ASC";
}

}  // namespace

SummaryStatements SummaryStatementsOf(const CXmlProperty& condition) {
  const std::u16string clause = ConditionClause(condition);
  return {HeadSql(clause), CommentsSql(clause), ErrorsSql(clause), PatientsSql(clause),
          ItemsSql(clause)};
}

}  // namespace korvalis::report
