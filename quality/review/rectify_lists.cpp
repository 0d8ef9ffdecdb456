// The lists of rectification notices (CBQCPatient::GetEmrRectifyProperty, GetRectifyInfo and
// GetRectificationPatientList): one notice with its items, the notices of a visit with their
// items, and one entry per notice with its visit for a QC user's or a department's work list.
//
// A notice's receivers (USER_ID) are identifiers joined by ";"; a receiver is found only as
// one whole identifier of that list, so user "12" is not a receiver of a notice to "123".
// An item's CONTENT is a markup fragment: the lists paste it as markup.
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_key.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_document.h"
#include "foundation/xml/xml_property.h"
#include "foundation/xml/xml_text.h"
#include "quality/review/qc_patient.h"

namespace {

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::SqlKey;
using korvalis::XmlEscapedWithQuotes;

// The status that lists notices of every state.
constexpr char16_t kAnyStatus[] = u"99999";

// A notice (column `receivers`) addressed to `receiver` among its ";"-joined list.
SqlKey AddressedTo(std::u16string_view receivers, const std::u16string& receiver) {
  return SqlKey().Listed(receivers, receiver, u";");
}

// The items of a notice in SERIAL order, with the text of their standard (empty when the
// standard is not in the catalogue): the columns named by `columns`, 8 per item.
std::vector<std::u16string> NoticeItems(CEMRDataSource* data_source, std::u16string_view columns,
                                        const std::u16string& notice) {
  std::vector<std::u16string> items;
  data_source->Query(u"SELECT " + std::u16string(columns) +
                         u" FROM PEV_RECTIFY_ITEM A, PEV_STANDARD_ITEM B" +
                         korvalis::SqlKey()
                             .Equals(u"RECTIFY_ID", notice)
                             .And(u"A.STANDARD_ID = B.ID(+)")
                             .Where() +
                         u" ORDER BY A.SERIAL",
                     8, items);
  return items;
}

// Appends ` name='value'` with the value escaped for an attribute.
void AppendAttribute(std::u16string& xml, std::u16string_view separator, std::u16string_view name,
                     const std::u16string& value) {
  xml.append(separator).append(name).append(u"='").append(XmlEscapedWithQuotes(value)).append(u"'");
}

}  // namespace

long CBQCPatient::GetEmrRectifyProperty(CEMRDataSource* pDataSource, BSTR bstrRectifyID,
                                        BSTR* pbstrInfo) {
  const std::u16string id(BstrView(bstrRectifyID));
  std::vector<std::u16string> notice;
  pDataSource->Query(
      u"SELECT TITLE, PATIENT_ID, EVENT_NO, NOTES, PEV_USER_ID, PEV_USER_NAME, USER_ID, "
      u"USER_NAME, USER_TYPE, CREATE_DATE, FEED_TIME, TYPE, STATUS FROM PEV_RECTIFY_INFO" +
          korvalis::SqlKey().Equals(u"ID", id).Where(),
      13, notice);
  if (notice.empty()) {
    korvalis::StoreBstrResult(pbstrInfo, u"<?xml version='1.0' ?><root></root>");
    return 0;
  }
  // The notice's columns in select order, each with the text before its attribute name.
  static constexpr struct {
    const char16_t* separator;
    const char16_t* name;
  } kNoticeAttributes[] = {{u" ", u"title"},       {u" ", u"patient_id"},  {u" \t\t", u"event_no"},
                           {u" ", u"notes"},       {u" ", u"pev_user_id"}, {u" ", u"pev_user_name"},
                           {u" ", u"user_id"},     {u" ", u"user_name"},   {u" \t\t", u"user_type"},
                           {u" ", u"create_date"}, {u" ", u"feed_time"},   {u" ", u"type"},
                           {u" ", u"status"}};
  std::u16string xml = u"<?xml version='1.0' ?><root><rectify";
  AppendAttribute(xml, u" ", u"id", id);
  for (std::size_t i = 0; i < std::size(kNoticeAttributes); ++i) {
    AppendAttribute(xml, kNoticeAttributes[i].separator, kNoticeAttributes[i].name, notice[i]);
  }
  xml.append(u">");

  const std::vector<std::u16string> items = NoticeItems(
      pDataSource,
      u" A.SERIAL, A.STANDARD_ID, B.STANDARD, A.CONTENT, A.EMR_ID, A.EMR_TITLE, A.FEED_BACK, "
      u"A.DEDUCT",
      id);
  for (std::size_t row = 0; row + 8 <= items.size(); row += 8) {
    xml.append(u"<item");
    AppendAttribute(xml, u" ", u"serial", items[row]);
    AppendAttribute(xml, u" ", u"standard_id", items[row + 1]);
    AppendAttribute(xml, u" ", u"standard", items[row + 2]);
    AppendAttribute(xml, u" ", u"emr_id", items[row + 4]);
    AppendAttribute(xml, u" ", u"emr_title", items[row + 5]);
    AppendAttribute(xml, u" \t\t\t\t\t\t ", u"feed_back", items[row + 6]);
    AppendAttribute(xml, u" ", u"deduct", items[row + 7]);
    xml.append(u">").append(items[row + 3]).append(u"</item>");
  }
  korvalis::StoreBstrResult(pbstrInfo, xml.append(u"</rectify></root>"));
  return 0;
}

long CBQCPatient::GetRectifyInfo(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrInfo) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  const std::u16string patient_id = condition.GetValue(u"patient_id");
  const std::u16string event_no = condition.GetValue(u"event_no");
  if (patient_id.empty() || event_no.empty()) {
    throw CEMRException(std::u16string(u"查询整改信息错误：未指定病人ID、住院号"));
  }
  std::u16string sql =
      u"SELECT A.ID, A.TITLE, A.NOTES, A.PEV_USER_ID, A.PEV_USER_NAME, A.USER_ID, A.USER_NAME, "
      u"A.USER_TYPE, A.CREATE_DATE, A.FEED_TIME, A.TYPE, A.STATUS FROM PEV_RECTIFY_INFO A , "
      u"PEV_GRADE_TASK_RECTIFY B " +
      korvalis::SqlKey()
          .And(u"A.ID = B.RECTIFY_ID (+)")
          .Equals(u"A.PATIENT_ID", patient_id)
          .Equals(u"A.EVENT_NO", event_no)
          .Where() +
      korvalis::SqlConditions(condition)
          .Equals(u"task_id", u"B.TASK_ID")
          .Number(u"status", u"A.STATUS")
          .Sql();
  if (std::u16string user_id = condition.GetValue(u"user_id"); !user_id.empty()) {
    sql.append(u" AND ").append(AddressedTo(u"A.USER_ID", user_id).Sql());
  }
  sql.append(u" ORDER BY CREATE_DATE DESC");
  constexpr unsigned kColumns = 12;
  std::vector<std::u16string> notices;
  pDataSource->Query(sql, kColumns, notices);
  if (notices.empty()) {
    korvalis::StoreBstrResult(pbstrInfo, u"");
    return 0;
  }

  static constexpr const char16_t* kNoticeAttributes[kColumns] = {
      u"id",        u"title",     u"notes",       u"pev_user_id", u"pev_user_name", u"user_id",
      u"user_name", u"user_type", u"create_date", u"feed_time",   u"type",          u"status"};
  // The item's columns but CONTENT (column 2), in select order.
  static constexpr std::pair<unsigned, const char16_t*> kItemAttributes[] = {
      {0, u"standard_id"}, {1, u"standard"},  {3, u"serial"}, {4, u"emr_id"},
      {5, u"emr_title"},   {6, u"feed_back"}, {7, u"deduct"}};
  CXmlDocument document;
  CXmlNode root = document.GetRootNode();
  for (std::size_t row = 0; row + kColumns <= notices.size(); row += kColumns) {
    CXmlNode rectify = root.AppendChild(u"rectify", u"");
    for (unsigned column = 0; column < kColumns; ++column) {
      rectify.SetAttribute(kNoticeAttributes[column], notices[row + column]);
    }
    const std::vector<std::u16string> items = NoticeItems(
        pDataSource,
        u"A.STANDARD_ID, B.STANDARD, A.CONTENT, A.SERIAL, A.EMR_ID, A.EMR_TITLE, A.FEED_BACK, "
        u"A.DEDUCT",
        notices[row]);
    for (std::size_t at = 0; at + 8 <= items.size(); at += 8) {
      CXmlNode item = rectify.AppendChild(u"item", u"");
      for (const auto& [column, name] : kItemAttributes) {
        item.SetAttribute(name, items[at + column]);
        // The content, a fragment of markup, is pasted after the standard.
        if (column == 1) item.AppendXml(items[at + 2]);
      }
    }
  }
  korvalis::StoreBstrResult(pbstrInfo, document.GetXml());
  return 0;
}

long CBQCPatient::GetRectificationPatientList(CEMRDataSource* pDataSource, BSTR bstrFilter,
                                              BSTR* pbstrPatientList) {
  const CXmlProperty filter = PropertyBag(bstrFilter);
  std::u16string sql =
      u"SELECT T.NAME, T.SEX, T.PATIENT_ID, T.EVENT_NO, T.IN_TIME, T.OUT_TIME, T.NOW_DEPT_ID, "
      u"T.NOW_DEPT_NAME, T.DOCTOR_NAME, S.STATUS, S.TITLE, S.ID, S.CREATE_DATE, S.FEED_TIME, "
      u"S.USER_ID, S.USER_NAME, T.EMR_STATUS, T.OUT_TIME, T.BED_NO FROM "
      u"TELV_V_PATIENT_VISIT_RECORD T, PEV_RECTIFY_INFO S WHERE T.PATIENT_ID = S.PATIENT_ID AND "
      u"T.EVENT_NO = S.EVENT_NO ";
  korvalis::SqlConditions conditions(filter);
  if (conditions.Value(u"rectification_status") != kAnyStatus) {
    conditions.Equals(u"rectification_status", u"S.STATUS");
  }
  sql += conditions
             .SpanBetween(u"rectification_sent_date_span", u"S.CREATE_DATE",
                          *pDataSource->GetDBType())
             .Sql();
  const std::u16string user_id = filter.GetValue(u"user_id");
  const std::u16string dept_id = filter.GetValue(u"dept_id");
  std::vector<SqlKey> addressees;
  if (!user_id.empty()) addressees.push_back(AddressedTo(u"S.USER_ID", user_id).And(u"S.USER_TYPE=0"));
  if (!dept_id.empty()) addressees.push_back(AddressedTo(u"S.USER_ID", dept_id).And(u"S.USER_TYPE=1"));
  if (!addressees.empty()) sql.append(u" AND ").append(SqlKey().AnyOf(addressees).Sql());
  sql.append(u" ORDER BY S.CREATE_DATE, S.ID");
  pDataSource->QueryElements(
      sql,
      {u"patient", u"sex", u"patient_id", u"event_no", u"in_time", u"leave_time", u"cur_dept_id",
       u"cur_dept", u"manager_doctor", u"rectification_status", u"rectification_title",
       u"rectification_id", u"rectification_sent_time", u"rectification_feedback_time", u"user_id",
       u"user_name", u"emr_status", u"out_time", u"bed_no"},
      pbstrPatientList);
  return 0;
}
