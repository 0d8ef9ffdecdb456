// The register of medical-record copies, bodies of CBArchivePatient: an entry saved (a new one
// numbered within its visit, or an existing one updated), deleted, and listed with its patient
// and visit. An entry of a visit the system holds (RECORD_TYPE empty or 0) is listed with the
// visit's data from the visit view; an entry that carries its own patient and visit data
// (RECORD_TYPE 1) with its own columns; other record types are in neither part of the list.
//
// Text values stand between quotes with their quotes doubled; RECORD_TYPE stands bare and must
// be a number, checked before any statement runs.
#include <string>
#include <vector>

#include "archive/archive_patient.h"
#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_date.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_property.h"

namespace {

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::SqlConditions;
using korvalis::RowValue;
using korvalis::SqlKey;

// The texts that follow COPY_DATE in the insert, in the columns' order.
constexpr const char16_t* kInsertedAfterCopyDate[] = {u"reason",
                                                      u"page_num",
                                                      u"copy_use",
                                                      u"handler",
                                                      u"copy_notes",
                                                      u"copy_sum",
                                                      u"name",
                                                      u"admission_dept_name",
                                                      u"discharge_dept_name",
                                                      u"charge_doctor"};

// The entry of the save document `args` with the visit's `serial`, a new row.
void InsertEntry(CEMRDataSource& data_source, const CXmlProperty& args,
                 const std::u16string& serial, const RowValue& record_type) {
  std::vector<RowValue> row = {args.GetValue(u"patient_id"), args.GetValue(u"event_no"), serial,
                               args.GetValue(u"requestor"),  args.GetValue(u"copied_emr"),
                               args.GetValue(u"executor"),   RowValue::Now()};
  for (const char16_t* key : kInsertedAfterCopyDate) row.emplace_back(args.GetValue(key));
  // The admission date's key is spelled as the clients send it.
  row.insert(row.end(), {record_type, args.GetValue(u"admisssion_date"),
                         args.GetValue(u"discharge_date")});
  korvalis::InsertRow(data_source, u"TELV_COPIED_EMR",
                      u"PATIENT_ID, EVENT_NO, SERIAL, REQUESTOR, COPIED_EMR, EXECUTOR, COPY_DATE, "
                      u"COPY_REASON, PAGE_NUM, COPY_USE, HANDLER, COPY_NOTES, COPY_SUM, NAME, "
                      u"ADMISSION_DEPT_NAME, DISCHARGE_DEPT_NAME, CHARGE_DOCTOR, RECORD_TYPE, "
                      u"ADMISSION_DATE, DISCHARGE_DATE",
                      row);
}

// Every column but the key, EXECUTOR and COPY_DATE of the visit's entry `serial`.
void UpdateEntry(CEMRDataSource& data_source, const CXmlProperty& args,
                 const std::u16string& serial, const RowValue& record_type) {
  const auto value = [&args](const char16_t* key) { return args.GetValue(key); };
  korvalis::UpdateRow(data_source, u"TELV_COPIED_EMR T",
                      {{u"T.REQUESTOR", value(u"requestor")},
                       {u"T.COPIED_EMR", value(u"copied_emr")},
                       {u"T.COPY_REASON", value(u"reason")},
                       {u"T.PAGE_NUM", value(u"page_num")},
                       {u"T.COPY_USE", value(u"copy_use")},
                       {u"T.HANDLER", value(u"handler")},
                       {u"T.COPY_NOTES", value(u"copy_notes")},
                       {u"T.COPY_SUM", value(u"copy_sum")},
                       {u"T.ADMISSION_DEPT_NAME", value(u"admission_dept_name")},
                       {u"T.CHARGE_DOCTOR", value(u"charge_doctor")},
                       {u"T.DISCHARGE_DEPT_NAME", value(u"discharge_dept_name")},
                       {u"T.RECORD_TYPE", record_type},
                       {u"T.NAME", value(u"name")},
                       {u"T.ADMISSION_DATE", value(u"admisssion_date")},
                       {u"T.DISCHARGE_DATE", value(u"discharge_date")}},
                      SqlKey()
                          .Equals(u"T.SERIAL", serial)
                          .Equals(u"T.PATIENT_ID", value(u"patient_id"))
                          .Equals(u"T.EVENT_NO", value(u"event_no"))
                          .Sql());
}

}  // namespace

long CBArchivePatient::SaveCopiedPatient(CEMRDataSource* pDataSource, BSTR bstrArgs,
                                         BSTR* pbstrRecordId) {
  const CXmlProperty args = PropertyBag(bstrArgs);
  const RowValue record_type =
      RowValue::Number(korvalis::SqlNumber(args.GetValue(u"record_type"), u"record_type"));
  std::u16string serial = args.GetValue(u"serial");
  if (serial.empty()) {
    // The entries of a visit are numbered on from the largest serial it has held.
    std::u16string largest;
    pDataSource->QueryScalar(u"SELECT MAX(SERIAL) FROM TELV_COPIED_EMR T" +
                                 SqlKey()
                                     .Equals(u"T.PATIENT_ID", args.GetValue(u"patient_id"))
                                     .Equals(u"T.EVENT_NO", args.GetValue(u"event_no"))
                                     .Where(),
                             largest);
    serial = LongToString(StringToLong(largest) + 1);
    InsertEntry(*pDataSource, args, serial, record_type);
  } else {
    UpdateEntry(*pDataSource, args, serial, record_type);
  }
  korvalis::StoreBstrResult(pbstrRecordId, serial);
  return 0;
}

long CBArchivePatient::DeleteCopyRecord(CEMRDataSource* pDataSource, BSTR bstrPatientID,
                                        BSTR bstrEventNo, BSTR bstrSerial) {
  pDataSource->Execute(u"DELETE FROM TELV_COPIED_EMR T" + SqlKey()
                                                            .Equals(u"T.SERIAL", bstrSerial)
                                                            .Equals(u"T.PATIENT_ID", bstrPatientID)
                                                            .Equals(u"T.EVENT_NO", bstrEventNo)
                                                            .Where());
  return 0;
}

long CBArchivePatient::GetCopiedPatientList(CEMRDataSource* pDataSource, BSTR bstrArgs,
                                            BSTR* pbstrList) {
  const CXmlProperty args = PropertyBag(bstrArgs);
  CDBType& dialect = *pDataSource->GetDBType();

  // The department is the visit's admission department for a visit's entries, and a fragment
  // of the department name an entry of its own data carries.
  std::u16string sql =
      u"SELECT * FROM(SELECT V.NAME, V.SEX, V.PATIENT_ID, V.EVENT_NO, " +
      dialect.DateToChar(u"V.IN_TIME", true) + u", V.IN_DEPT_NAME, " +
      dialect.DateToChar(u"V.OUT_TIME", true) +
      u", V.OUT_DEPT_NAME, A.REQUESTOR, A.COPIED_EMR, A.EXECUTOR, A.COPY_REASON, A.SERIAL, "
      u"V.DOCTOR_NAME, A.COPY_DATE, A.PAGE_NUM, A.COPY_USE, A.HANDLER, A.COPY_NOTES, A.COPY_SUM "
      u"FROM TELV_COPIED_EMR A, TELV_V_PATIENT_VISIT_RECORD V WHERE A.PATIENT_ID = V.PATIENT_ID"
      u" AND A.EVENT_NO = V.EVENT_NO AND (RECORD_TYPE IS NULL OR RECORD_TYPE = 0) ";
  sql += SqlConditions(args)
             .Contains(u"name", u"V.NAME")
             .Equals(u"filterdept", u"V.IN_DEPT_ID")
             .Equals(u"event_no", u"V.EVENT_NO")
             .SpanBetween(u"emr_copy_time_span", u"A.COPY_DATE", dialect)
             .Sql();
  sql.append(
      u" UNION SELECT NAME, 0, PATIENT_ID, EVENT_NO, ADMISSION_DATE, ADMISSION_DEPT_NAME, "
      u"DISCHARGE_DATE, DISCHARGE_DEPT_NAME, REQUESTOR, COPIED_EMR, EXECUTOR, COPY_REASON, "
      u"SERIAL, CHARGE_DOCTOR, COPY_DATE, PAGE_NUM, COPY_USE, HANDLER, COPY_NOTES, COPY_SUM "
      u"FROM TELV_COPIED_EMR A WHERE RECORD_TYPE = 1 ");
  sql += SqlConditions(args)
             .Contains(u"name", u"NAME")
             .Contains(u"filterdept", u"ADMISSION_DEPT_NAME")
             .Equals(u"event_no", u"EVENT_NO")
             .SpanBetween(u"emr_copy_time_span", u"A.COPY_DATE", dialect)
             .Sql() +
         u") ORDER BY NAME, SERIAL";

  static const std::vector<std::u16string>& kNames = *new std::vector<std::u16string>{
      u"patient",    u"sex",         u"id",         u"event_no",  u"in_date",
      u"in_dept",    u"leave_date",  u"leave_dept", u"requestor", u"copy_emr",
      u"executor",   u"copy_reason", u"serial",     u"doctor",    u"copy_date",
      u"page_count", u"usage",       u"handler",    u"notes",     u"fee"};
  pDataSource->QueryElements(sql, kNames, pbstrList, {u"id", u"event_no", u"serial"});
  return 0;
}
