// Applications to write an EMR document for a time-limit rule (PEV_EMR_WRITE_APPLY) and their
// audit. An application is keyed by patient, visit, EMR type, rule and serial; saving one
// replaces the application of its key.
//
// The dates (APPLY_DATE, AUDIT_DATE) are written as quoted texts that the database reads in
// its default date format: a date alone or with a time; an empty text is NULL, and a text
// that is no date fails the call with nothing written.
#include <string>

#include "foundation/calls/body_arguments.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/xml/xml_property.h"
#include "quality/review/qc_collector.h"

namespace {

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::SqlConditions;
using korvalis::InsertRow;
using korvalis::SqlKey;
using korvalis::UpdateRow;

// The key of one application.
std::u16string KeyCondition(const CXmlProperty& bag) {
  return SqlKey()
      .Equals(u"T.PATIENT_ID", bag.GetValue(u"patient_id"))
      .Equals(u"T.EVENT_NO", bag.GetValue(u"event_no"))
      .Equals(u"T.EMR_TYPE", bag.GetValue(u"emr_type"))
      .Equals(u"T.RULE_ID", bag.GetValue(u"rule_id"))
      .Equals(u"T.SERIAL", bag.GetValue(u"serial"))
      .Sql();
}

// The key and the status: an application cannot be written without them.
bool HasKeyAndStatus(const CXmlProperty& bag) {
  for (const char16_t* key :
       {u"patient_id", u"event_no", u"emr_type", u"rule_id", u"serial", u"status"}) {
    if (bag.GetValue(key).empty()) return false;
  }
  return true;
}

}  // namespace

long CBQCCollector::GetEmrApplyInfo(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                    BSTR* bstrList) {
  const CXmlProperty bag = PropertyBag(bstrCondition);
  // Names match where they contain the value (its "%" and "_" stay wildcards).
  const std::u16string filters = SqlConditions(bag)
                                     .Equals(u"patient_id", u"T.PATIENT_ID")
                                     .Equals(u"event_no", u"T.EVENT_NO")
                                     .Equals(u"emr_type", u"T.EMR_TYPE")
                                     .Equals(u"rule_id", u"T.RULE_ID")
                                     .Equals(u"applyer_id", u"T.APPLYER_ID")
                                     .Contains(u"applyer_name", u"T.APPLYER_NAME")
                                     .Equals(u"apply_date", u"TO_CHAR(T.APPLY_DATE, 'YYYY-MM-DD')")
                                     .Contains(u"audit_name", u"T.AUDIT_NAME")
                                     .Equals(u"status", u"T.STATUS")
                                     .Equals(u"serial", u"T.SERIAL")
                                     .Equals(u"apply_dept", u"B.NOW_DEPT_ID")
                                     .Sql();
  // Applications whose rule or visit is missing are not listed.
  pDataSource->QueryElements(
      u" SELECT T.PATIENT_ID,T.EVENT_NO,T.EMR_TYPE,T.RULE_ID,T.SERIAL, "
      u"T.APPLYER_NAME,T.APPLY_DATE,T.AUDIT_NAME,T.AUDIT_DATE,T.STATUS,A.NAME,B.NAME "
      u",B.NOW_DEPT_NAME FROM PEV_EMR_WRITE_APPLY T,PEV_RULE A, TELV_V_PATIENT_VISIT_RECORD B "
      u" WHERE T.RULE_ID = A.ID AND T.PATIENT_ID = B.PATIENT_ID AND T.EVENT_NO = B.EVENT_NO " +
          filters,
      {u"patient_id", u"event_no", u"emr_type", u"rule_id", u"serial", u"applyer_name",
       u"applyer_date", u"audit_name", u"audit_date", u"status", u"rule_name", u"patient_name",
       u"now_dept_name"},
      bstrList);
  return 0;
}

long CBQCCollector::SetEmrApplyInfo(CEMRDataSource* pDataSource, BSTR bstrCondition) {
  const CXmlProperty bag = PropertyBag(bstrCondition);
  if (!HasKeyAndStatus(bag)) return 0;
  // The old application goes in the same transaction as the new one comes, so a new one that
  // fails (a date that is no date) leaves the old one as it was.
  pDataSource->Execute(u"DELETE FROM PEV_EMR_WRITE_APPLY T WHERE " + KeyCondition(bag));
  const auto value = [&bag](const char16_t* key) { return bag.GetValue(key); };
  InsertRow(*pDataSource, u"PEV_EMR_WRITE_APPLY",
            u"PATIENT_ID, EVENT_NO, EMR_TYPE, RULE_ID, SERIAL, APPLYER_ID, APPLYER_NAME, "
            u"APPLY_DATE, STATUS, AUDIT_NAME, AUDIT_DATE",
            {value(u"patient_id"), value(u"event_no"), value(u"emr_type"), value(u"rule_id"),
             value(u"serial"), value(u"applyer_id"), value(u"applyer_name"), value(u"apply_date"),
             value(u"status"), value(u"audit_name"), value(u"audit_date")});
  return 0;
}

long CBQCCollector::SetApplyStatus(CEMRDataSource* pDataSource, BSTR bstrCondition) {
  const CXmlProperty bag = PropertyBag(bstrCondition);
  if (!HasKeyAndStatus(bag)) return 0;
  // A key without an application changes nothing: none is made.
  UpdateRow(*pDataSource, u"PEV_EMR_WRITE_APPLY T",
            {{u"T.STATUS", bag.GetValue(u"status")},
             {u"T.AUDIT_NAME", bag.GetValue(u"audit_name")},
             {u"T.AUDIT_DATE", bag.GetValue(u"audit_date")}},
            KeyCondition(bag));
  return 0;
}
