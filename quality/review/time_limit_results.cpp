// The time-limit QC results: how the time limits of the quality rules were kept, read from
// the rule instances (PEV_TIME_RULE_RECORD) and the deadlines of superior signatures
// (PEV_SUPERIOR_SIGN_REC), for one visit or for many visits under a condition document, and
// the text of a per-visit summary statement that the caller runs itself.
//
// The lateness of a row, in hours truncated toward zero to one decimal: the stored lateness
// of a closed row (STATUS 2), the hours since the deadline at the database's current time for
// an open row (STATUS 1; negative while the deadline lies ahead), none for any other status,
// so that a suspended instance is neither late nor on time. Undone rows (STATUS 0) are never
// listed, and a signature deadline is listed only with its record.
//
// Nothing here writes. Every value from the client is quoted, or checked to be a list of
// numbers where it stands bare, before the statement is built.
#include <string>
#include <string_view>
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_order.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_property.h"
#include "quality/review/qc_collector.h"
#include "quality/review/time_limit_statements.h"

namespace {

using korvalis::BstrView;
using korvalis::EveryColumnOrder;
using korvalis::PropertyBag;
using korvalis::SqlConditions;

// Hours late, to one decimal toward zero. The hours are rounded to 9 decimals first: the days
// between two dates are a NUMBER of 40 digits, so half an hour times 24 is .49...992 and would
// truncate to .4; a DATE's second is far more than 1e-9 of an hour.
constexpr char16_t kRuleLateness[] =
    u"TRUNC(DECODE(A.STATUS, 2, A.OVER_HOUR, 1, ROUND((SYSDATE - A.OVER_TIME) * 24, 9)), 1)";
constexpr char16_t kSignatureLateness[] =
    u"TRUNC(DECODE(A.STATUS, 2, A.SIGN_OVERTIME, 1, ROUND((SYSDATE - A.SIGN_END_TIME) * 24, 9)), "
    u"1)";

// The visit's admission and discharge times, read per row.
constexpr char16_t kVisitTimes[] =
    u" (SELECT IN_TIME FROM TELV_VISIT_RECORD E WHERE E.PATIENT_ID = A.PATIENT_ID AND "
    u"E.EVENT_NO = A.EVENT_NO) AS IN_TIME,  (SELECT OUT_TIME FROM TELV_VISIT_RECORD E WHERE "
    u"E.PATIENT_ID = A.PATIENT_ID AND E.EVENT_NO = A.EVENT_NO) AS OUT_TIME ";

// The names of GetQCList's columns, in order.
const std::vector<std::u16string>& kQcListNames =
    *new std::vector<std::u16string>{u"patient_name",    u"rule_id",       u"qc",
                                     u"patientid",       u"eventno",       u"sex",
                                     u"bed_no",          u"reg_doctor_id", u"doctor_name",
                                     u"emr_id",          u"over_hour",     u"emr_title",
                                     u"finish_time",     u"deadline",      u"patient_intime",
                                     u"patient_outtime", u"now_dept_id",   u"now_dept_name",
                                     u"emr_catalog",     u"qc_start_time", u"in_dept_name",
                                     u"point",           u"status",        u"serial",
                                     u"emr_type"};
// The names of GetPatientQCList's columns, in order.
const std::vector<std::u16string>& kPatientQcListNames = *new std::vector<std::u16string>{
    u"qc",         u"patientid",   u"eventno",   u"emr_id",      u"status",
    u"start_time", u"over_hour",   u"emr_title", u"finish_time", u"deadline",
    u"point",      u"standard_id", u"standard",  u"in_time",     u"out_time"};

// The two statements of GetQCList, built side by side: the instances and the signature
// deadlines.
struct QcListParts {
  std::u16string rules;
  std::u16string signatures;

  void AppendToBoth(std::u16string_view text) {
    rules.append(text);
    signatures.append(text);
  }
};

QcListParts BuildQcListParts(const CDBType& dialect, const CXmlProperty& condition) {
  constexpr char16_t kHead[] =
      u"SELECT D.NAME PATIENT_NAME, A.RULE_ID, C.NAME RULE_NAME, A.PATIENT_ID, A.EVENT_NO, "
      u"D.SEX, D.BED_NO, D.REG_DOCTOR_ID,  D.DOCTOR_NAME, A.EMR_ID, ";
  constexpr char16_t kVisitJoin[] =
      u" AND A.PATIENT_ID = D.PATIENT_ID AND A.EVENT_NO = D.EVENT_NO  ";
  QcListParts parts;
  parts.rules = std::u16string(kHead) + kRuleLateness +
                u" OVER_HOUR, B.TITLE,  A.FINISH_TIME, A.OVER_TIME, D.IN_TIME, D.OUT_TIME, "
                u"D.NOW_DEPT_ID, D.NOW_DEPT_NAME, B.CATALOG_ID, A.START_TIME,  D.IN_DEPT_NAME, "
                u"E.POINT, A.STATUS, A.SERIAL, A.EMR_TYPE  FROM PEV_TIME_RULE_RECORD A, "
                u"TELV_EMR_CONTENT B, PEV_RULE C, TELV_V_PATIENT_VISIT_RECORD D, "
                u"PEV_STANDARD_ITEM E  WHERE A.RULE_ID = C.ID AND A.EMR_ID = B.ID(+) AND "
                u"A.STATUS <> 0  AND C.POINT_ID = E.ID(+) " +
                kVisitJoin;
  parts.signatures = std::u16string(kHead) + kSignatureLateness +
                     u" OVER_HOUR, B.TITLE,  A.FINISH_TIME, A.SIGN_END_TIME, D.IN_TIME, "
                     u"D.OUT_TIME, D.NOW_DEPT_ID, D.NOW_DEPT_NAME, B.CATALOG_ID, "
                     u"A.SIGN_START_TIME,  D.IN_DEPT_NAME, E.POINT, A.STATUS, A.SIGN_OVERTIME, "
                     u"C.EMR_TYPE  FROM PEV_SUPERIOR_SIGN_REC A, TELV_EMR_CONTENT B, PEV_RULE C, "
                     u"TELV_V_PATIENT_VISIT_RECORD D, PEV_STANDARD_ITEM E  WHERE A.RULE_ID = "
                     u"C.ID AND A.EMR_ID = B.ID AND A.STATUS <> 0 AND C.POINT_ID = E.ID(+) " +
                     kVisitJoin;

  parts.AppendToBoth(
      SqlConditions(condition)
          .Chosen(u"complete", {{u"0", u"A.FINISH_TIME IS NULL"}, {u"1", u"A.FINISH_TIME IS NOT NULL"}})
          .Equals(u"dept_id", u"D.NOW_DEPT_ID")
          .DaySpan(u"in_time", u"D.IN_TIME", dialect)
          .DaySpan(u"leave_time", u"D.OUT_TIME", dialect)
          .NumberIn(u"rule_id", u"A.RULE_ID")
          .Equals(u"eventno", u"D.EVENT_NO")
          .Equals(u"patient_name", u"D.NAME")
          .Equals(u"doctor_name", u"D.DOCTOR_NAME")
          .Sql());
  const bool only_over_time = condition.GetValue(u"only_over_time") == u"true";
  SqlConditions rules(condition);
  rules.DaySpan(u"expire_time", u"A.OVER_TIME", dialect);
  if (only_over_time) rules.And(std::u16string(kRuleLateness) + u" > 0");
  SqlConditions signatures(condition);
  signatures.DaySpan(u"expire_time", u"A.SIGN_END_TIME", dialect);
  if (only_over_time) signatures.And(std::u16string(kSignatureLateness) + u" > 0");
  parts.rules.append(rules.Sql());
  parts.signatures.append(signatures.Sql());

  for (std::u16string* part : {&parts.rules, &parts.signatures}) {
    *part = u"SELECT * FROM (" + *part + u") WHERE 1 = 1 ";
  }
  const std::u16string timeout = condition.GetValue(u"timeout");
  if (timeout == u"0") {
    parts.AppendToBoth(u" AND OVER_HOUR <= 0 ");
  } else if (timeout == u"1") {
    parts.AppendToBoth(u" AND OVER_HOUR > 0 ");
  }
  return parts;
}

}  // namespace

namespace korvalis::review {

std::u16string QcListStatement(const CDBType& dialect, const CXmlProperty& condition) {
  const QcListParts parts = BuildQcListParts(dialect, condition);
  return parts.rules + u" UNION " + parts.signatures + EveryColumnOrder(kQcListNames.size());
}

}  // namespace korvalis::review

long CBQCCollector::GetPatientQCList(CEMRDataSource* pDataSource, BSTR bstrPatientID,
                                     BSTR bstrEventNo, BSTR* pbstrQCList) {
  const std::u16string visit = u" AND " + korvalis::SqlKey()
                                               .Equals(u"A.PATIENT_ID", bstrPatientID)
                                               .Equals(u"A.EVENT_NO", bstrEventNo)
                                               .And(u"A.STATUS <> 0")
                                               .Sql();
  const std::u16string sql =
      u"SELECT C.NAME, A.PATIENT_ID, A.EVENT_NO, A.EMR_ID, A.STATUS, A.START_TIME," +
      std::u16string(kRuleLateness) +
      u", B.TITLE, A.FINISH_TIME, A.OVER_TIME, D.POINT,  D.ID AS STANDARD_ID, D.STANDARD, " +
      kVisitTimes +
      u" FROM PEV_TIME_RULE_RECORD A, TELV_EMR_CONTENT B, PEV_RULE C, PEV_STANDARD_ITEM D  WHERE "
      u"A.RULE_ID = C.ID AND A.EMR_ID = B.ID(+) AND C.POINT_ID = D.ID(+)" +
      visit +
      u" UNION SELECT C.NAME, A.PATIENT_ID, A.EVENT_NO, A.EMR_ID, A.STATUS, A.SIGN_START_TIME, " +
      kSignatureLateness +
      u", B.TITLE, A.FINISH_TIME, A.SIGN_END_TIME, D.POINT, D.ID AS STANDARD_ID, D.STANDARD, " +
      kVisitTimes +
      u" FROM PEV_SUPERIOR_SIGN_REC A, TELV_EMR_CONTENT B, PEV_RULE C, PEV_STANDARD_ITEM D  "
      u"WHERE A.RULE_ID = C.ID AND A.EMR_ID = B.ID AND C.POINT_ID = D.ID(+)" +
      visit + EveryColumnOrder(kPatientQcListNames.size());
  pDataSource->QueryElements(sql, kPatientQcListNames, pbstrQCList);
  return 0;
}

long CBQCCollector::GetQCList(CEMRDataSource* pDataSource, BSTR bstrParam, BSTR* pbstrQCList) {
  const CXmlProperty condition = PropertyBag(bstrParam);
  pDataSource->QueryElements(
      korvalis::review::QcListStatement(*pDataSource->GetDBType(), condition), kQcListNames,
      pbstrQCList);
  return 0;
}

long CBQCCollector::GetQCResultInfo(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                    BSTR* bstrList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  const CDBType& dialect = *pDataSource->GetDBType();
  std::u16string sql =
      u"SELECT E.NAME, D.PATIENT_ID, D.EVENT_NO, A.OVERNUM, B.COMPLETENUM, C.UNWRITE, E.SEX,"
      u"E.BED_NO, E.REG_DOCTOR_ID, E.DOCTOR_NAME, E.NOW_DEPT_NAME, E.IN_TIME, E.OUT_TIME  FROM "
      u"(SELECT T.PATIENT_ID, T.EVENT_NO, COUNT(*) OVERNUM FROM (SELECT A.PATIENT_ID,A.EVENT_NO, " +
      std::u16string(kRuleLateness) +
      u" OVERHOUR FROM PEV_TIME_RULE_RECORD A) T  WHERE T.OVERHOUR > 0 GROUP BY T.PATIENT_ID, "
      u"T.EVENT_NO ) A, (SELECT H.PATIENT_ID, H.EVENT_NO, COUNT(*) COMPLETENUM FROM "
      u"PEV_TIME_RULE_RECORD G, TELV_EMR_CONTENT H WHERE G.PATIENT_ID = H.PATIENT_ID AND "
      u"G.EVENT_NO = H.EVENT_NO AND H.STATUS = 1 GROUP BY H.PATIENT_ID, H.EVENT_NO) B, (SELECT "
      u"T.PATIENT_ID, T.EVENT_NO, COUNT(*) UNWRITE FROM PEV_TIME_RULE_RECORD T WHERE  T.EMR_ID IS "
      u"NULL GROUP BY T.PATIENT_ID, T.EVENT_NO) C, PEV_TIME_RULE_RECORD D, "
      u"TELV_V_PATIENT_VISIT_RECORD E  WHERE D.EVENT_NO = A.EVENT_NO(+)  AND D.PATIENT_ID = "
      u"A.PATIENT_ID(+) AND D.EVENT_NO = B.EVENT_NO(+)  AND D.PATIENT_ID = B.PATIENT_ID (+) AND "
      u"D.EVENT_NO = C.EVENT_NO(+) AND D.PATIENT_ID = C.PATIENT_ID(+) AND D.EVENT_NO = "
      u"E.EVENT_NO(+) AND D.PATIENT_ID = E.PATIENT_ID(+) ";
  sql += SqlConditions(condition)
             .Equals(u"indept", u"E.NOW_DEPT_ID")
             .DaySpan(u"intime_span", u"E.IN_TIME", dialect)
             .DaySpan(u"leavetime_span", u"E.OUT_TIME", dialect)
             .Contains(u"eventno", u"E.EVENT_NO")
             .Contains(u"name", u"E.NAME")
             .Sql();
  sql +=
      u"GROUP BY E.NAME, D.PATIENT_ID, D.EVENT_NO, A.OVERNUM, B.COMPLETENUM, C.UNWRITE, "
      u"E.SEX,E.BED_NO,E.REG_DOCTOR_ID,E.DOCTOR_NAME, E.NOW_DEPT_NAME,E.IN_TIME,E.OUT_TIME ";
  korvalis::StoreBstrResult(bstrList, sql);
  return 0;
}
