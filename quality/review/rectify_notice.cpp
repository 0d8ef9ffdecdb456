// Sending and updating rectification notices (CBQCPatient::SendRectifyInfo and
// UpdateRectifyInfo). A notice (PEV_RECTIFY_INFO) with its items (PEV_RECTIFY_ITEM) goes to
// the people who must correct a visit's records; a notice of a grade task's visit is linked
// to the task (PEV_GRADE_TASK_RECTIFY) and becomes the visit's current notice.
//
// A notice's STATUS is the client's code; two values act here:
//
//   SendRectifyInfo(status s) ──▶ row rewritten, items rewritten unless s = 4,
//                                 stored receivers kept when s = 3
//   UpdateRectifyInfo(4)      ──▶ every notice of the task visit at 4, the visit's grade
//                                 state at 3
//   UpdateRectifyInfo(s ≠ 4)  ──▶ one notice at s, addressed to the visit's signers
//
// Every value that stands bare in a statement is checked to be a number, and every date
// text read, before the first statement runs; the call is one transaction, so a failure
// leaves nothing of it behind.
#include <optional>
#include <string>
#include <utility>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "foundation/text/automation_date.h"
#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/suite/factory.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_list.h"
#include "foundation/xml/xml_parser.h"
#include "foundation/xml/xml_property.h"
#include "platform/text/ascii.h"
#include "quality/review/qc_patient.h"

namespace {

using korvalis::BstrView;
using korvalis::ColumnValue;
using korvalis::InsertRow;
using korvalis::PropertyBag;
using korvalis::RowValue;
using korvalis::SqlKey;
using korvalis::SqlNumber;
using korvalis::UpdateRow;

// A receiver or signer: identifier and name.
using Person = std::pair<std::u16string, std::u16string>;

// The status of a notice whose items a send keeps, and that UpdateRectifyInfo sets for every
// notice of a task visit.
constexpr char16_t kConfirmedStatus[] = u"4";
// The status with which a send keeps the receivers stored with the notice.
constexpr char16_t kKeepReceiversStatus[] = u"3";
// The grade state of a task visit whose notices are all confirmed.
constexpr char16_t kVisitRectifiedState[] = u"3";

// The signers of the visit's records of types 45, 2 and 46, one per identifier and name, in
// the order the database returns them. The row document of Execute names its columns in
// upper case.
std::vector<Person> VisitSigners(CEMRDataSource* data_source, const std::u16string& patient_id,
                                 const std::u16string& event_no) {
  std::u16string rows;
  data_source->Execute(
      u"select a.name name, a.user_id id from telv_emr_signature a, telv_emr_content b where (" +
          SqlKey()
              .And(u"a.id = b.id")
              .Equals(u"b.patient_id", patient_id)
              .Equals(u"b.event_no", event_no)
              .Sql() +
          u") and (b.emr_type = 45 or b.emr_type = 2 or b.emr_type = 46) group by a.name, "
          u"a.user_id",
      &rows);
  std::vector<Person> signers;
  CXmlStringParser parser(rows);
  const xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr) return signers;
  const auto child_text = [](const xercesc::DOMNode* row, const char16_t* name) {
    for (const xercesc::DOMNode* child = row->getFirstChild(); child != nullptr;
         child = child->getNextSibling()) {
      if (child->getNodeType() == xercesc::DOMNode::ELEMENT_NODE &&
          std::u16string_view(child->getNodeName()) == name) {
        const XMLCh* text = child->getTextContent();
        return text == nullptr ? std::u16string() : std::u16string(text);
      }
    }
    return std::u16string();
  };
  for (const xercesc::DOMElement* row : DescendantElementsNamed(document, u"row")) {
    signers.emplace_back(child_text(row, u"ID"), child_text(row, u"NAME"));
  }
  return signers;
}

// The receivers of a task visit's notice: the doctors of the visit's current department, then
// the signers of its records of types 45, 2 and 46, each identifier once. Throws when there
// is none.
std::vector<Person> VisitReceivers(CEMRDataSource* data_source, const std::u16string& patient_id,
                                   const std::u16string& event_no) {
  std::vector<std::u16string> doctors;
  data_source->Query(
      u"SELECT DISTINCT DOCTOR_GROUP.DOCTOR_ID, DOCTOR_GROUP.DOCTOR_NAME   FROM PEV_DOCTOR_GROUP "
      u"DOCTOR_GROUP  JOIN TELV_VISIT_RECORD VISIT_RECORD ON VISIT_RECORD.NOW_DEPT_ID = "
      u"DOCTOR_GROUP.DEPT_ID" +
          SqlKey()
              .Equals(u"VISIT_RECORD.PATIENT_ID", patient_id)
              .Equals(u"VISIT_RECORD.EVENT_NO", event_no)
              .Where(),
      2, doctors);
  std::vector<Person> receivers;
  const auto add = [&receivers](Person person) {
    for (const Person& known : receivers) {
      if (known.first == person.first) return;
    }
    receivers.push_back(std::move(person));
  };
  for (std::size_t row = 0; row + 1 < doctors.size(); row += 2) {
    add({doctors[row], doctors[row + 1]});
  }
  for (Person& signer : VisitSigners(data_source, patient_id, event_no)) add(std::move(signer));
  if (receivers.empty()) {
    throw CEMRException(u"住院号: " + event_no + u" 所属未指定整改接收人!");
  }
  return receivers;
}

// The identifiers and the names of `people`, each joined with ";".
Person JoinPeople(const std::vector<Person>& people) {
  Person joined;
  for (std::size_t i = 0; i < people.size(); ++i) {
    if (i > 0) {
      joined.first.append(u";");
      joined.second.append(u";");
    }
    joined.first.append(people[i].first);
    joined.second.append(people[i].second);
  }
  return joined;
}

// One item of a notice, its numbers checked.
struct NoticeItem {
  std::u16string standard_id;
  std::u16string serial;
  std::u16string emr_id;
  std::u16string emr_title;
  std::u16string feed_back;
  std::u16string deduct;
  std::u16string content;
};

// The `item` elements below the first `rectify` element of the notice document; none when it
// has no such element.
std::vector<NoticeItem> ReadNoticeItems(const std::u16string& notice) {
  std::vector<NoticeItem> items;
  CXmlStringParser parser(notice);
  const xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr) return items;
  const xercesc::DOMNode* rectify = document->getElementsByTagName(u"rectify")->item(0);
  for (korvalis::ListElement& element : korvalis::ReadListElements(
           rectify, u"item",
           {u"standard_id", u"serial", u"emr_id", u"emr_title", u"feed_back", u"deduct"})) {
    std::vector<std::u16string>& a = element.attributes;
    // An item without a standard names standard 0.
    if (a[0].empty()) a[0] = u"0";
    items.push_back({SqlNumber(a[0], u"standard_id"), SqlNumber(a[1], u"serial"), std::move(a[2]),
                     std::move(a[3]), std::move(a[4]), SqlNumber(a[5], u"deduct"),
                     std::move(element.text)});
  }
  return items;
}

// The date a notice's state change stamps: the word sysdate (given in any case), or the
// dialect's date literal of a date text (year-month-day, with or without a time).
RowValue StampDate(const CDBType& dialect, const std::u16string& text) {
  if (korvalis::EqualsIgnoringAsciiCase(text, u"sysdate")) return RowValue::Now();
  // A date part is required: a time alone names no day of the notice.
  if (text.find_first_of(u"-/.年") != std::u16string::npos) {
    if (std::optional<korvalis::AutomationDate> date = korvalis::AutomationDate::Parse(text)) {
      return RowValue::Date(dialect, date->Text());
    }
  }
  throw CEMRException(u"不是有效的日期: '" + text + u"' (create_date)");
}

// Whom the notice `id` goes to: the receivers it names; for a grade task's visit that names
// none, the visit's own receivers; with the status that keeps them, those stored with it.
Person NoticeReceivers(CEMRDataSource* pDataSource, const CXmlProperty& notice,
                       const std::u16string& id) {
  const std::u16string status = notice.GetValue(u"status");
  if (status == kKeepReceiversStatus) {
    std::vector<std::u16string> stored;
    pDataSource->Query(
        u"SELECT USER_ID, USER_NAME FROM PEV_RECTIFY_INFO" + SqlKey().Equals(u"ID", id).Where(), 2,
        stored);
    if (stored.size() >= 2) return {stored[0], stored[1]};
  }
  Person receivers{notice.GetValue(u"user_id"), notice.GetValue(u"user_name")};
  if (!notice.GetValue(u"task_id").empty() && receivers.first.empty() &&
      receivers.second.empty() && status != kKeepReceiversStatus) {
    receivers = JoinPeople(VisitReceivers(pDataSource, notice.GetValue(u"patient_id"),
                                          notice.GetValue(u"event_no")));
  }
  return receivers;
}

// Makes the notice `id` the current notice of the grade task's visit.
void LinkToGradeTask(CEMRDataSource* pDataSource, const std::u16string& task_id,
                     const std::u16string& patient_id, const std::u16string& event_no,
                     const std::u16string& id) {
  pDataSource->Execute(u"DELETE PEV_GRADE_TASK_RECTIFY" +
                       SqlKey().Equals(u"RECTIFY_ID", id).Where());
  InsertRow(*pDataSource, u"PEV_GRADE_TASK_RECTIFY", u"TASK_ID, PATIENT_ID, EVENT_NO, RECTIFY_ID",
            {task_id, patient_id, event_no, id});
  UpdateRow(*pDataSource, u"PEV_GRADE_PATIENT", {{u"RECTIFY_ID", id}},
            SqlKey()
                .Equals(u"TASK_ID", task_id)
                .Equals(u"PATIENT_ID", patient_id)
                .Equals(u"EVENT_NO", event_no)
                .Sql());
}

// Replaces the items of the notice `id` by `items`.
void RewriteNoticeItems(CEMRDataSource* pDataSource, const std::u16string& id,
                        const std::vector<NoticeItem>& items) {
  pDataSource->Execute(u"DELETE FROM PEV_RECTIFY_ITEM" +
                       SqlKey().Equals(u"RECTIFY_ID", id).Where());
  for (const NoticeItem& item : items) {
    // The record's own title, when the record exists, names it.
    std::u16string emr_title = item.emr_title;
    if (!item.emr_id.empty()) {
      pDataSource->QueryScalar(
          u"SELECT TITLE FROM TELV_EMR_CONTENT T" + SqlKey().Equals(u"T.ID", item.emr_id).Where(),
          emr_title);
    }
    InsertRow(*pDataSource, u"PEV_RECTIFY_ITEM",
              u"RECTIFY_ID, STANDARD_ID, SERIAL, CONTENT, EMR_ID, EMR_TITLE, FEED_BACK, DEDUCT",
              {id, RowValue::Number(item.standard_id), RowValue::Number(item.serial),
               item.content, item.emr_id, emr_title, item.feed_back,
               RowValue::Number(item.deduct)});
  }
}

}  // namespace

long CBQCPatient::SendRectifyInfo(CEMRDataSource* pDataSource, BSTR bstrInfo, LONG,
                                  BSTR* pbstrRectifyID) {
  const std::u16string text(BstrView(bstrInfo));
  const CXmlProperty notice{text};
  for (const char16_t* required :
       {u"title", u"patient_id", u"event_no", u"pev_user_id", u"pev_user_name", u"type"}) {
    if (notice.GetValue(required).empty()) throw CEMRException(std::u16string(u"信息不完整"));
  }
  const std::u16string patient_id = notice.GetValue(u"patient_id");
  const std::u16string event_no = notice.GetValue(u"event_no");
  const std::u16string task_id = notice.GetValue(u"task_id");
  const std::u16string status = notice.GetValue(u"status");
  const RowValue user_type =
      RowValue::Number(SqlNumber(notice.GetValue(u"user_type"), u"user_type"));
  const RowValue type = RowValue::Number(SqlNumber(notice.GetValue(u"type"), u"type"));
  const RowValue status_value = RowValue::Number(SqlNumber(status, u"status"));
  const bool keeps_items = status == kConfirmedStatus;
  const std::vector<NoticeItem> items =
      keeps_items ? std::vector<NoticeItem>() : ReadNoticeItems(text);
  CDBType& dialect = *pDataSource->GetDBType();
  const std::u16string create_date = notice.GetValue(u"create_date");
  const std::u16string feed_time = notice.GetValue(u"feed_time");

  std::u16string id = notice.GetValue(u"id");
  if (id.empty()) id = CEMRFactory::Instance()->NewGuid();
  const Person receivers = NoticeReceivers(pDataSource, notice, id);
  if (!task_id.empty()) LinkToGradeTask(pDataSource, task_id, patient_id, event_no, id);
  pDataSource->Execute(u"DELETE PEV_RECTIFY_INFO" + SqlKey().Equals(u"ID", id).Where());
  const RowValue created =
      create_date.empty() ? RowValue::Now() : RowValue::Date(dialect, create_date);
  const RowValue fed = feed_time.empty()         ? RowValue::Null()
                       : feed_time == u"sysdate" ? RowValue::Now()
                                                 : RowValue::Date(dialect, feed_time);
  InsertRow(*pDataSource, u"PEV_RECTIFY_INFO",
            u"ID, TITLE, PATIENT_ID, EVENT_NO, NOTES, PEV_USER_ID, PEV_USER_NAME, USER_ID, "
            u"USER_NAME, USER_TYPE, CREATE_DATE, FEED_TIME, EMR_ID, EMR_TITLE, TYPE, STATUS",
            {id, notice.GetValue(u"title"), patient_id, event_no, notice.GetValue(u"notes"),
             notice.GetValue(u"pev_user_id"), notice.GetValue(u"pev_user_name"), receivers.first,
             receivers.second, user_type, created, fed, notice.GetValue(u"emr_id"),
             notice.GetValue(u"emr_title"), type, status_value});

  if (!keeps_items) RewriteNoticeItems(pDataSource, id, items);
  korvalis::StoreBstrResult(pbstrRectifyID, id);
  return 0;
}

long CBQCPatient::UpdateRectifyInfo(CEMRDataSource* pDataSource, BSTR bstrInfo) {
  const CXmlProperty state = PropertyBag(bstrInfo);
  const std::u16string status = state.GetValue(u"status");
  const std::u16string patient_id = state.GetValue(u"patient_id");
  const std::u16string event_no = state.GetValue(u"event_no");
  const ColumnValue qc_user_id{u"T.PEV_USER_ID", state.GetValue(u"pev_user_id")};
  const ColumnValue qc_user_name{u"T.PEV_USER_NAME", state.GetValue(u"pev_user_name")};

  if (StringToLong(status) == 4) {
    // Every notice of the task visit is confirmed, and so is the visit's grading.
    const RowValue confirmed = RowValue::Number(SqlNumber(status, u"status"));
    const std::u16string visit = SqlKey()
                                     .Equals(u"T.PATIENT_ID", patient_id)
                                     .Equals(u"T.EVENT_NO", event_no)
                                     .Equals(u"T.TASK_ID", state.GetValue(u"task_id"))
                                     .Sql();
    std::vector<std::u16string> notices;
    pDataSource->QueryColumn(u"SELECT T.RECTIFY_ID FROM PEV_GRADE_TASK_RECTIFY T WHERE " + visit,
                             notices);
    for (const std::u16string& notice : notices) {
      UpdateRow(*pDataSource, u"PEV_RECTIFY_INFO T",
                {{u"T.STATUS", confirmed}, qc_user_id, qc_user_name},
                SqlKey().Equals(u"T.ID", notice).Sql());
    }
    UpdateRow(*pDataSource, u"PEV_GRADE_PATIENT T",
              {{u"T.STATUS", RowValue::Number(kVisitRectifiedState)}}, visit);
    return 0;
  }

  const std::u16string id = state.GetValue(u"id");
  if (id.empty()) return 0;
  const RowValue new_status = RowValue::Number(SqlNumber(status, u"status"));
  const RowValue stamp = StampDate(*pDataSource->GetDBType(), state.GetValue(u"create_date"));
  const SqlKey notice = SqlKey().Equals(u"T.ID", id);
  // The notice goes to the visit's signers; without any it keeps the receivers it has.
  const std::vector<Person> signers = VisitSigners(pDataSource, patient_id, event_no);
  if (signers.empty()) {
    UpdateRow(*pDataSource, u"PEV_RECTIFY_INFO T",
              {{u"T.STATUS", new_status}, qc_user_id, qc_user_name, {u"T.CREATE_DATE", stamp}},
              notice.Sql());
  } else {
    const Person joined = JoinPeople(signers);
    UpdateRow(*pDataSource, u"PEV_RECTIFY_INFO T",
              {{u"T.STATUS", new_status},
               {u"T.USER_ID", joined.first},
               {u"T.USER_NAME", joined.second},
               qc_user_id,
               qc_user_name,
               {u"T.CREATE_DATE", stamp}},
              notice.Sql());
  }
  return 0;
}
