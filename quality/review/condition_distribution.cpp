// The hand-out of the condition catalogue to users: TELV_CONDITION_DISTRIBUTE gives a user a
// list of condition item codes, TELV_CONDITION_DISTRIBUTE_EX a list of condition groups with a
// role flag and a validity flag. The lists are the client's own texts: stored and answered as
// they come, never split or checked here.
//
// The writing methods take a user list document: its `user` elements, at any depth, in document
// order, each with its text content and attributes (a missing attribute reads as the empty
// text). A user listed twice ends with the values of the later element. A list that is not
// well-formed XML fails with "无效XML!" before any statement; a blank list names nobody.
#include <string>
#include <vector>

#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/xml/xml_list.h"
#include "foundation/xml/xml_text.h"
#include "quality/review/qc_collector.h"
#include "quality/review/security_user_names.h"

namespace {

using korvalis::BstrView;
using korvalis::InsertRow;
using korvalis::SqlKey;
using korvalis::UpdateRow;

// The one list of the user in `table`'s `column`; the empty text for an empty user id or a user
// without a row.
void StoreListOf(CEMRDataSource& data_source, BSTR user_id, const char16_t* column,
                 const char16_t* table, BSTR* result) {
  std::u16string list;
  if (!BstrView(user_id).empty()) {
    data_source.QueryScalar(std::u16string(u"SELECT ") + column + u" FROM " + table +
                                SqlKey().Equals(u"USER_ID", user_id).Where(),
                            list);
  }
  korvalis::StoreBstrResult(result, list);
}

}  // namespace

long CBQCCollector::SaveConditionDistribute(CEMRDataSource* pDataSource, BSTR bstrItemList) {
  for (const korvalis::ListElement& user :
       korvalis::ReadListElements(bstrItemList, u"user", {u"user_id"})) {
    const std::u16string& user_id = user.attributes[0];
    pDataSource->Execute(u"DELETE FROM TELV_CONDITION_DISTRIBUTE" +
                         SqlKey().Equals(u"USER_ID", user_id).Where());
    InsertRow(*pDataSource, u"TELV_CONDITION_DISTRIBUTE", u"USER_ID, CONDITION_CODE_LIST",
              {user_id, user.text});
  }
  return 0;
}

long CBQCCollector::GetConditionDistribute(CEMRDataSource* pDataSource, BSTR pbstrUserID,
                                           BSTR* pbstrConditionList) {
  StoreListOf(*pDataSource, pbstrUserID, u"CONDITION_CODE_LIST", u"TELV_CONDITION_DISTRIBUTE",
              pbstrConditionList);
  return 0;
}

long CBQCCollector::AddConditionDistributeUser(CEMRDataSource* pDataSource, BSTR bstrItemList) {
  // The validity flag is read from `vaild_flag`, as clients write it.
  for (const korvalis::ListElement& user :
       korvalis::ReadListElements(bstrItemList, u"user", {u"id", u"role_flag", u"vaild_flag"})) {
    const std::u16string& user_id = user.attributes[0];
    pDataSource->Execute(u"DELETE FROM TELV_CONDITION_DISTRIBUTE_EX" +
                         SqlKey().Equals(u"USER_ID", user_id).Where());
    InsertRow(*pDataSource, u"TELV_CONDITION_DISTRIBUTE_EX",
              u"USER_ID, CONDITION_GROUP_LIST, ROLE_FLAG, VAILD_FLAG",
              {user_id, user.text, user.attributes[1], user.attributes[2]});
  }
  return 0;
}

long CBQCCollector::DelConditionDistributeUser(CEMRDataSource* pDataSource, BSTR bstrItemList) {
  for (const korvalis::ListElement& user : korvalis::ReadListElements(bstrItemList, u"user", {})) {
    pDataSource->Execute(u"DELETE FROM TELV_CONDITION_DISTRIBUTE_EX" +
                         SqlKey().Equals(u"USER_ID", user.text).Where());
  }
  return 0;
}

long CBQCCollector::SetConditionDistributeEx(CEMRDataSource* pDataSource, BSTR pbstrUserID,
                                             BSTR bstrConditionList) {
  // Only a user with a row is changed; none is made.
  if (BstrView(pbstrUserID).empty()) return 0;
  UpdateRow(*pDataSource, u"TELV_CONDITION_DISTRIBUTE_EX",
            {{u"CONDITION_GROUP_LIST", BstrView(bstrConditionList)}},
            SqlKey().Equals(u"USER_ID", pbstrUserID).Sql());
  return 0;
}

long CBQCCollector::GetConditionDistributeEx(CEMRDataSource* pDataSource, BSTR pbstrUserID,
                                             BSTR* pbstrConditionList) {
  StoreListOf(*pDataSource, pbstrUserID, u"CONDITION_GROUP_LIST", u"TELV_CONDITION_DISTRIBUTE_EX",
              pbstrConditionList);
  return 0;
}

long CBQCCollector::GetConditionDistributeUser(CEMRDataSource* pDataSource, BSTR* pbstrUserList) {
  std::vector<std::u16string> rows;
  pDataSource->Query(
      u"SELECT CONDITION_GROUP_LIST, USER_ID, ROLE_FLAG, VAILD_FLAG FROM "
      u"TELV_CONDITION_DISTRIBUTE_EX",
      4, rows);
  SecurityUserNames names;
  // The list's layout and attribute order are fixed; the output attribute is `valid_flag`.
  std::u16string list = u"<?xml version='1.0' ?><root>";
  for (std::size_t row = 0; row + 4 <= rows.size(); row += 4) {
    const std::u16string& user_id = rows[row + 1];
    list += u"<user id='" + korvalis::XmlEscapedWithQuotes(user_id) + u"' role_flag='" +
            korvalis::XmlEscapedWithQuotes(rows[row + 2]) + u"' valid_flag='" +
            korvalis::XmlEscapedWithQuotes(rows[row + 3]) + u"' name='" +
            korvalis::XmlEscapedWithQuotes(names.NameOf(user_id)) + u"'>" +
            korvalis::XmlEscaped(rows[row]) + u"</user>";
  }
  list += u"</root>";
  korvalis::StoreBstrResult(pbstrUserList, list);
  return 0;
}
