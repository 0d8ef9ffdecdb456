// Report distribution: which users may run which reports.
//
// Two stores, written apart:
//   - TELV_REPORT_DISTRIBUTE_TO_USER (REPORT_NO, USER_ID): the users of each report, rewritten
//     report by report from a distribution list (DistributeReportToUser) and read by the three
//     lists (GetUserReport, GetUserCatalog, GetAllDistributedUserList). Its department
//     counterpart TELV_REPORT_DISTRIBUTE_TO_DEPT is filled only by DistributeReports itself.
//   - TELV_REPORT_USER (USER_ID, REPORT_ID): user-to-report pairs written by DistributeReport
//     and read by nothing here.
//
// The distribution routines log their failures to the event log and answer false; the methods
// then fail with a message of their own, and the call's transaction undoes whatever the routine
// had already written.
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "foundation/calls/body_arguments.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/log/event_log_entry.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_list.h"
#include "foundation/xml/xml_parser.h"
#include "foundation/xml/xml_property.h"
#include "lookups/record_library.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/ascii.h"
#include "report/emr_report.h"
#include "report/report_store.h"

using korvalis::ArgumentText;
using korvalis::BstrView;
using korvalis::InsertRow;
using korvalis::RowValue;
using korvalis::SqlKey;
using korvalis::com::ScopedBstr;
using korvalis::report::StoreText;

namespace {

constexpr char16_t kUserTable[] = u"TELV_REPORT_DISTRIBUTE_TO_USER";
constexpr char16_t kDeptTable[] = u"TELV_REPORT_DISTRIBUTE_TO_DEPT";

// The user list of a report without users.
constexpr char16_t kEmptyUserList[] = u"<?xml version = \"1.0\" ?><root></root>";

constexpr char16_t kEmptyUserIdMessage[] = u"获取报表类别,用户ID不能为空!";
constexpr char16_t kNotXmlMessage[] = u"不是正确的xml格式";

void LogError(const std::u16string& text) { CEventLogEntry(text, CEventLogEntry::kError).Report(); }

// Runs `step`; a failure is logged as `prefix` followed by its message (as `unknown` when it is
// no CEMRException) and answers false.
template <class Step>
bool LoggingFailure(const char16_t* prefix, const char16_t* unknown, Step&& step) {
  try {
    step();
    return true;
  } catch (const CEMRException& e) {
    LogError(prefix + e.GetText());
  } catch (...) {
    LogError(unknown);
  }
  return false;
}

std::u16string NumberText(long number) { return LongToString(number); }

// The report numbers distributed to the user, in the order the database reads them.
std::vector<std::u16string> ReportsOfUser(CSingleDataSource& data_source, BSTR user_id) {
  if (SysStringLen(user_id) == 0) throw CEMRException(kEmptyUserIdMessage);
  std::vector<std::u16string> reports;
  data_source.QueryColumn(
      u"SELECT DISTINCT REPORT_NO FROM TELV_REPORT_DISTRIBUTE_TO_USER" +
          SqlKey().Equals(u"USER_ID", BstrView(user_id)).Where(),
      reports);
  return reports;
}

}  // namespace

long CBEMRReport::GetUserReport(CEMRDataSource* pDataSource, BSTR bstrUserID, LONG lngCatalogID,
                                BSTR* pbstrList) {
  const std::vector<std::u16string> reports = ReportsOfUser(*pDataSource, bstrUserID);
  if (reports.empty()) {
    StoreText(pbstrList, korvalis::report::kEmptyRootDocument);
    return 0;
  }
  SqlKey listed;
  listed.In(u"ID", reports);
  if (lngCatalogID != 0) listed.Equals(u"CATALOG_ID", korvalis::report::IdText(lngCatalogID));
  listed.And(u"STATUS = 1");
  pDataSource->QueryElements(
      u"SELECT NAME, ID, CATALOG_ID, CREATOR, CREATOR_ID, LAST_MODIFY_TIME, SORT, NOTE "
      u"FROM TELV_REPORT" +
          listed.Where() + (lngCatalogID != 0 ? u" ORDER BY SORT, ID" : u""),
      {u"report", u"id", u"catalogid", u"creator", u"creatorid", u"modifytime", u"sort", u"note"},
      pbstrList);
  return 0;
}

long CBEMRReport::GetUserCatalog(CEMRDataSource* pDataSource, BSTR bstrUserID, LONG lngCatalogID,
                                 BSTR* pbstrList) {
  const std::vector<std::u16string> reports = ReportsOfUser(*pDataSource, bstrUserID);
  // The categories of the user's live reports, each once.
  std::vector<std::u16string> categories;
  if (!reports.empty()) {
    pDataSource->QueryColumn(
        u"SELECT DISTINCT CATALOG_ID FROM TELV_REPORT" +
            SqlKey().In(u"ID", reports).And(u"STATUS = '1' AND CATALOG_ID IS NOT NULL").Where(),
        categories);
  }
  // The category asked for must be live, also for a user without reports.
  const std::u16string parent_code =
      lngCatalogID == 0
          ? std::u16string(u"###")
          : korvalis::report::CatalogProperties(*pDataSource, lngCatalogID).at(u"code");
  if (categories.empty()) {
    StoreText(pbstrList, korvalis::report::kEmptyRootDocument);
    return 0;
  }
  pDataSource->QueryElements(
      u"SELECT NAME, ID, CODE, PARENT_CODE, SORT, NOTE FROM TELV_REPORT_CATALOG" +
          SqlKey()
              .In(u"ID", categories)
              .Equals(u"PARENT_CODE", parent_code)
              .And(u"STATUS = 1")
              .Where(),
      {u"catalog", u"id", u"code", u"parent", u"sort", u"note"}, pbstrList);
  return 0;
}

long CBEMRReport::DistributeReport(CEMRDataSource* pDataSource, BSTR bstrUserID, BSTR bstrList) {
  CXmlStringParser parser(bstrList);
  const xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr) throw CEMRException(kNotXmlMessage);
  // Every number is checked before the first statement runs.
  std::vector<std::u16string> reports;
  for (const korvalis::ListElement& report :
       korvalis::ReadListElements(document, u"report", {u"id"})) {
    reports.push_back(
        korvalis::SqlNumber(korvalis::TrimAsciiBlanks(report.attributes[0]), u"报表ID"));
  }
  const std::u16string user = ArgumentText(bstrUserID);
  for (const std::u16string& report : reports) {
    pDataSource->Execute(u"DELETE TELV_REPORT_USER" +
                         SqlKey().Equals(u"USER_ID", user).Number(u"REPORT_ID", report).Where());
    InsertRow(*pDataSource, u"TELV_REPORT_USER", u"USER_ID, REPORT_ID",
              {user, RowValue::Number(report)});
  }
  return 0;
}

long CBEMRReport::DistributeReportToUser(CEMRDataSource* pDataSource, BSTR bstrReportIDList) {
  if (!DistributeReports(pDataSource, ArgumentText(bstrReportIDList), kUserTable)) {
    throw CEMRException(u"报表分发到用户过程中出现错误.");
  }
  return 0;
}

long CBEMRReport::GetAllDistributedUserList(CEMRDataSource* pDataSource, LONG lngReportID,
                                            BSTR* pbstrUserList) {
  std::u16string users;
  if (!BuildDistributedUserList(pDataSource, lngReportID, &users)) {
    throw CEMRException(u"获取报表已分发的用户时出现错误");
  }
  StoreText(pbstrUserList, users);
  return 0;
}

bool CBEMRReport::DistributeReports(CEMRDataSource* pDataSource, const std::u16string& strList,
                                    const std::u16string& strTable) {
  if (strList.empty() || strTable.empty()) return false;
  const std::u16string child = strTable == kDeptTable ? u"dept" : u"user";
  return LoggingFailure(u"报表分发过程出现错误 ---- ", u"报表分发过程出现未知错误.", [&] {
    CXmlStringParser parser(strList);
    const xercesc::DOMDocument* document = parser.GetDocument();
    if (document == nullptr) throw CEMRException(kNotXmlMessage);
    for (const xercesc::DOMElement* report : DescendantElementsNamed(document, u"report")) {
      const std::u16string id = ElementAttribute(report, u"id");
      if (id.empty()) continue;
      // The report's number is the id's leading integer: "12abc" is report 12.
      const long number = StringToLong(id);
      std::u16string count = u"0";
      pDataSource->QueryScalar(
          u"SELECT COUNT(*) FROM " + strTable + SqlKey().Number(u"REPORT_NO", number).Where(),
          count);
      if (StringToInt(count, nullptr, -1) > 0) {
        pDataSource->Execute(u"DELETE FROM " + strTable +
                             SqlKey().Number(u"REPORT_NO", number).Where());
      }
      for (const korvalis::ListElement& member :
           korvalis::ReadListElements(report, child, {u"id"})) {
        const std::u16string& member_id = member.attributes[0];
        if (member_id.empty()) continue;
        if (!SaveDistributionRow(pDataSource, number, member_id, strTable)) {
          throw CEMRException(u"插入或者更改数据时出错.");
        }
      }
    }
  });
}

bool CBEMRReport::SaveDistributionRow(CEMRDataSource* pDataSource, long lngReportNo,
                                      const std::u16string& strId, const std::u16string& strTable) {
  if (lngReportNo < 1 || strId.empty() || strTable.empty()) return false;
  const std::u16string key = strTable == kDeptTable ? u"DEPT_ID" : u"USER_ID";
  return LoggingFailure(u"插入或者修改报表出现错误 ---- ", u"插入或者修改报表出现未知错误.", [&] {
    std::u16string count;
    pDataSource->QueryScalar(
        u"SELECT COUNT(*) CNT FROM " + strTable +
            SqlKey().Number(u"REPORT_NO", lngReportNo).Equals(key, strId).Where(),
        count);
    // A row that is there already is not added again.
    if (StringToInt(count, nullptr, 1) < 1) {
      InsertRow(*pDataSource, strTable, u"REPORT_NO, " + key,
                {RowValue::Number(lngReportNo), strId});
    }
  });
}

bool CBEMRReport::BuildDistributedUserList(CEMRDataSource* pDataSource, long lngReportID,
                                           std::u16string* pstrUserList) {
  if (lngReportID <= 0 || pstrUserList == nullptr) return false;
  return LoggingFailure(u"获取分发的用户时出现错误 ---- ", u"获取分发的用户时出现未知错误.", [&] {
    std::vector<std::u16string> users;
    pDataSource->QueryColumn(
        u"SELECT TRIM(USER_ID) USER_ID_T FROM TELV_REPORT_DISTRIBUTE_TO_USER WHERE REPORT_NO = " +
            NumberText(lngReportID),
        users);
    if (users.empty()) {
      *pstrUserList = kEmptyUserList;
      return;
    }
    korvalis::DomDocumentBuilder list(u"root");
    for (const std::u16string& user : users) {
      const ScopedBstr user_id(user);
      ScopedBstr answer;
      GetUserPropertyById(pDataSource, user_id.get(), answer.out());
      if (SysStringLen(answer.get()) == 0) continue;
      CXmlProperty::Map properties = CXmlProperty(answer.text()).GetMap();
      if (properties.empty()) continue;
      // Attributes in name order, as every list of the system writes them.
      xercesc::DOMElement* element = list.Append(list.root(), u"user", properties[u"name"]);
      list.SetAttribute(element, u"id", user);
      for (const char16_t* name : {u"py", u"sex", u"wb"}) {
        list.SetAttribute(element, name, properties[name]);
      }
    }
    *pstrUserList = list.Write();
  });
}
