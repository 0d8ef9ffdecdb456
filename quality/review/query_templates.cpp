// Query templates of the QC query builder (TELV_QUERY_TEMPLATE: a title, a content text only
// the client reads, a type and its creator), the departments they are handed to
// (TELV_QUERY_TEMPLATE_DISTRIBUTE), and the users who hold a QC identity.
//
// A template of type 3 may be handed to a department only once: distributing one with type "3"
// first takes every other type-3 template away from each of its departments.
#include <string>
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/suite/factory.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_key.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_property.h"
#include "foundation/xml/xml_text.h"
#include "quality/review/qc_collector.h"
#include "quality/review/security_user_names.h"

namespace {

using korvalis::BstrView;
using korvalis::InsertRow;
using korvalis::PropertyBag;
using korvalis::SqlConditions;
using korvalis::SqlKey;
using korvalis::UpdateRow;

// Replaces the departments of a template by those of `depts` (separated by ";", an empty piece
// between two separators being a department with an empty id). Nothing unless both are given.
void DistributeTemplate(CEMRDataSource& data_source, const std::u16string& template_id,
                        const std::u16string& depts, const std::u16string& type) {
  if (template_id.empty() || depts.empty()) return;
  data_source.Execute(u" DELETE FROM TELV_QUERY_TEMPLATE_DISTRIBUTE" +
                      SqlKey().Equals(u"TEMPLATE_ID", template_id).Where());
  std::vector<std::u16string> pieces;
  SplitByChars(depts, u";", pieces);
  for (const std::u16string& dept : pieces) {
    if (type == u"3") {
      data_source.Execute(
          u" DELETE FROM TELV_QUERY_TEMPLATE_DISTRIBUTE T" +
          SqlKey()
              .Equals(u"T.DEPT_ID", dept)
              .And(u"T.TEMPLATE_ID IN (SELECT A.ID FROM TELV_QUERY_TEMPLATE A WHERE A.TYPE = 3)")
              .Where());
    }
    InsertRow(data_source, u"TELV_QUERY_TEMPLATE_DISTRIBUTE", u"TEMPLATE_ID, DEPT_ID",
              {template_id, dept});
  }
}

// The label of a QC identity code; null for any other identity.
const char16_t* QcIdentityLabel(const std::u16string& identity) {
  if (identity == u"43") return u"质控科管理员";
  if (identity == u"40") return u"科室质控员";
  if (identity == u"41") return u"质控科质控员";
  return nullptr;
}

}  // namespace

long CBQCCollector::GetQueryTplList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                    BSTR* pbstrList) {
  const CXmlProperty bag = PropertyBag(bstrCondition);
  const std::u16string filters = SqlConditions(bag)
                                    .Equals(u"id", u"T.ID")
                                    .Equals(u"title", u"T.TITLE")
                                    .Equals(u"creator_id", u"T.CREATOR_ID")
                                    .Equals(u"type", u"T.TYPE")
                                    .Equals(u"dept_id", u"A.DEPT_ID")
                                    .Sql();
  // With a department only the templates handed to it are listed.
  const std::u16string source = bag.GetValue(u"dept_id").empty()
                                    ? u"FROM TELV_QUERY_TEMPLATE T  WHERE 1=1 "
                                    : u"FROM TELV_QUERY_TEMPLATE T, TELV_QUERY_TEMPLATE_DISTRIBUTE "
                                      u"A WHERE 1=1 AND T.ID = A.TEMPLATE_ID ";
  pDataSource->QueryElements(
      u"SELECT T.CONTENT, T.ID, T.TITLE, T.TYPE, T.CREATOR_ID " + source + filters,
      {u"content", u"id", u"title", u"type", u"creator_id"}, pbstrList);
  return 0;
}

long CBQCCollector::SaveQueryTplList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                     BSTR bstrList) {
  const CXmlProperty bag = PropertyBag(bstrCondition);
  const std::u16string content = korvalis::ArgumentText(bstrList);
  const std::u16string id = bag.GetValue(u"id");
  if (!id.empty()) {
    // An existing template keeps its title, type and departments.
    UpdateRow(*pDataSource, u"TELV_QUERY_TEMPLATE",
              {{u"CONTENT", content}, {u"CREATOR_ID", bag.GetValue(u"creator_id")}},
              SqlKey().Equals(u"ID", id).Sql());
    return 0;
  }
  const std::u16string new_id = CEMRFactory::Instance()->NewGuid();
  InsertRow(*pDataSource, u"TELV_QUERY_TEMPLATE", u"ID, TITLE, CONTENT, TYPE, CREATOR_ID",
            {new_id, bag.GetValue(u"title"), content, bag.GetValue(u"type"),
             bag.GetValue(u"creator_id")});
  // The new template's departments are handed out without the type-3 rule.
  DistributeTemplate(*pDataSource, new_id, bag.GetValue(u"dept"), std::u16string());
  return 0;
}

long CBQCCollector::DeleteQueryTplList(CEMRDataSource* pDataSource, BSTR bstrCondition) {
  const CXmlProperty bag = PropertyBag(bstrCondition);
  // Only a named template is deleted; its department rows stay.
  if (bag.GetValue(u"id").empty()) return 0;
  pDataSource->Execute(u"DELETE FROM TELV_QUERY_TEMPLATE T WHERE 1 = 1 " +
                       SqlConditions(bag)
                           .Equals(u"id", u"T.ID")
                           .Equals(u"title", u"T.TITLE")
                           .Equals(u"creator_id", u"T.CREATOR_ID")
                           .Sql());
  return 0;
}

long CBQCCollector::DistributeTpList(CEMRDataSource* pDataSource, BSTR bstrDistrbuteInfo) {
  const CXmlProperty bag = PropertyBag(bstrDistrbuteInfo);
  DistributeTemplate(*pDataSource, bag.GetValue(u"template_id"), bag.GetValue(u"dept"),
                     bag.GetValue(u"type"));
  return 0;
}

long CBQCCollector::GetDistributeInfo(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                      BSTR* pbstrList) {
  const CXmlProperty bag = PropertyBag(bstrCondition);
  pDataSource->QueryElements(
      u"SELECT T.DEPT_ID FROM TELV_QUERY_TEMPLATE_DISTRIBUTE T WHERE 1=1 " +
          SqlConditions(bag).Equals(u"template_id", u"T.TEMPLATE_ID").Equals(u"dept_id", u"T.DEPT_ID").Sql(),
      {u"dept_id"}, pbstrList);
  return 0;
}

long CBQCCollector::GetQCUserList(CEMRDataSource* pDataSource, BSTR* pbstrQCUserList) {
  SecurityUserNames names;
  std::vector<std::u16string> users;
  pDataSource->Query(u"SELECT ID, IDENTITY FROM TELV_USER ORDER BY ID", 2, users);
  std::u16string list = u"<?xml version='1.0' ?><root>";
  for (std::size_t row = 0; row + 2 <= users.size(); row += 2) {
    // Every user's name is asked for, whatever the identity.
    const std::u16string name = names.NameOf(users[row]);
    const char16_t* label = QcIdentityLabel(users[row + 1]);
    if (label == nullptr) continue;
    list += u"<user id='" + korvalis::XmlEscapedWithQuotes(users[row]) + u"' name='" +
            korvalis::XmlEscapedWithQuotes(name) + u"' identity='" + label + u"' />";
  }
  list += u"</root>";
  korvalis::StoreBstrResult(pbstrQCUserList, list);
  return 0;
}
