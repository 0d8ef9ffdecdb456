// The rule administration of QualityRule: creating, reading, changing and deleting time-limit
// rules (PEV_RULE, written through the property map "pev_rule") with their EMR types
// (PEV_RULE_EMRTYPE) and the relations between rules (PEV_RULE_DEPEND).
//
// A rule's EMR types travel in its property document as one text, `emr_type`: PEV_RULE.EMR_TYPE
// followed by ";" and each link type followed by ";" (";3;7;" for the link types 3 and 7).
// Saved, they become one link row each, the number written in both of the table's type
// columns (EMR_TYPE, read by the engine, and EMRTYPE, read by the QC administration), and
// PEV_RULE.EMR_TYPE becomes NULL.
//
// Every value is checked, and every statement built, before the first statement that writes.
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/property_map.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/xml/xml_property.h"
#include "platform/text/ascii.h"
#include "quality/rules/quality_rule.h"
#include "quality/rules/rule_documents.h"
#include "quality/rules/rule_instances.h"

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::RowValue;
using korvalis::SqlBareNumber;
using korvalis::SqlKey;
using korvalis::StoreBstrResult;
using korvalis::rules::ListElementTexts;

namespace {

constexpr char16_t kNoRule[] = u"<?xml version='1.0' ?><root/>";
constexpr char16_t kEmrType[] = u"emr_type";

// The EMR types named by the bag's `emr_type`, split at ";" (leading separators skipped, no
// empty last piece). Refuses the whole text, naming it, when a piece is not a number.
std::vector<std::u16string> EmrTypesOf(const CXmlProperty::Map& properties) {
  std::vector<std::u16string> types;
  auto found = properties.find(kEmrType);
  if (found == properties.end()) return types;
  SplitByChars(found->second, u";", types);
  for (std::u16string& type : types) {
    type = std::u16string(korvalis::TrimAsciiSpaces(type));
    if (!korvalis::IsSqlNumber(type)) korvalis::SqlNumber(found->second, kEmrType);
  }
  return types;
}

// Replaces the rule's link rows by one per EMR type.
void WriteEmrTypes(CEMRDataSource* pDataSource, const std::u16string& rule_id,
                   const std::vector<std::u16string>& types) {
  pDataSource->Execute(u"Delete pev_rule_emrtype" + SqlKey().Number(u"rule_id", rule_id).Where());
  for (const std::u16string& type : types) {
    korvalis::InsertRow(
        *pDataSource, u"pev_rule_emrtype", u"rule_id, emr_type, emrtype",
        {RowValue::Number(rule_id), RowValue::Number(type), RowValue::Number(type)});
  }
}

}  // namespace

long CBQualityRule::InitNew(CEMRDataSource* pDataSource, BSTR bstrProperty, LONG* plngNewID) {
  CXmlProperty::Map properties = PropertyBag(bstrProperty).GetMap();
  const std::vector<std::u16string> types = EmrTypesOf(properties);
  const std::u16string id = NextRuleId(pDataSource);
  properties[u"id"] = id;
  properties[u"sort_code"] = LongToString(StringToLong(id), u"%05ld");
  properties[u"status"] = u"1";
  properties[kEmrType] = u"";
  const std::u16string insert = CPropertyMap(u"pev_rule").BuildInsertSql(u"PEV_RULE", properties);
  WriteEmrTypes(pDataSource, id, types);
  pDataSource->Execute(insert);
  if (plngNewID != nullptr) *plngNewID = static_cast<LONG>(StringToLong(id));
  return 0;
}

long CBQualityRule::GetProperty(CEMRDataSource* pDataSource, LONG lngRule, BSTR* pbstrProperty) {
  const std::u16string rule_id = LongToString(lngRule);
  std::vector<std::u16string> rule;
  pDataSource->Query(
      u"SELECT ID, NAME, OWNER_TYPE, EMR_TYPE, POINT_ID,  QUANTITY, SORT_CODE, TIME_OUT, NOTES "
      u"FROM PEV_RULE" +
          SqlKey().And(u"STATUS = 1").Number(u"ID", lngRule).Where(),
      9, rule);
  if (rule.empty()) {
    StoreBstrResult(pbstrProperty, kNoRule);
    return 0;
  }
  std::vector<std::u16string> links;
  pDataSource->QueryColumn(
      u"select emr_type from pev_rule_emrtype" + SqlKey().Number(u"rule_id", lngRule).Where(),
      links);
  std::u16string emr_types = rule[3] + u";";
  for (const std::u16string& type : links) emr_types.append(type).append(u";");
  const CXmlProperty::Map properties = {
      {u"id", rule[0]},        {u"name", rule[1]},     {u"owner_type", rule[2]},
      {kEmrType, emr_types},   {u"point_id", rule[4]}, {u"quantity", rule[5]},
      {u"sort_code", rule[6]}, {u"time_out", rule[7]}, {u"notes", rule[8]}};
  StoreBstrResult(pbstrProperty, CXmlProperty(properties).ToXml());
  return 0;
}

long CBQualityRule::SaveProperty(CEMRDataSource* pDataSource, LONG lngRule, BSTR bstrProperty) {
  CXmlProperty::Map properties = PropertyBag(bstrProperty).GetMap();
  const std::vector<std::u16string> types = EmrTypesOf(properties);
  const std::u16string rule_id = LongToString(lngRule);
  properties[kEmrType] = u"";
  const std::u16string update =
      CPropertyMap(u"pev_rule")
          .BuildUpdateSql(u"PEV_RULE", properties, SqlKey().Number(u"ID", lngRule).Where());
  WriteEmrTypes(pDataSource, rule_id, types);
  pDataSource->Execute(update);
  return 0;
}

long CBQualityRule::Delete(CEMRDataSource* pDataSource, LONG lngRule) {
  korvalis::UpdateRow(*pDataSource, u"PEV_TIME_RULE_RECORD", {{u"STATUS", RowValue::Number(0)}},
                      SqlKey().Number(u"RULE_ID", lngRule).And(u"STATUS = 1").Sql());
  pDataSource->Execute(u"DELETE FROM PEV_RULE_DEPEND WHERE " +
                       SqlKey().Number(u"RULE_ID", lngRule).Sql() + u" OR " +
                       SqlKey().Number(u"SUB_ID", lngRule).Sql());
  pDataSource->Execute(u"DELETE FROM PEV_EVENT_RULE" +
                       SqlKey().Number(u"RULE_ID", lngRule).Where());
  pDataSource->Execute(u"Delete pev_rule_emrtype" + SqlKey().Number(u"rule_id", lngRule).Where());
  korvalis::UpdateRow(*pDataSource, u"PEV_RULE", {{u"STATUS", RowValue::Number(0)}},
                      SqlKey().Number(u"ID", lngRule).Sql());
  return 0;
}

long CBQualityRule::GetRelationRuleList(CEMRDataSource* pDataSource, LONG lngRule,
                                        LONG lngRelationType, BSTR* pbstrList) {
  pDataSource->QueryElements(u"SELECT B.NAME, A.SUB_ID FROM PEV_RULE_DEPEND A, PEV_RULE B" +
                                 SqlKey()
                                     .Number(u"A.RULE_ID", lngRule)
                                     .And(u"A.SUB_ID = B.ID")
                                     .Number(u"A.RELATION", lngRelationType)
                                     .Where(),
                             {u"rule", u"id"}, pbstrList);
  return 0;
}

long CBQualityRule::SaveRelationRuleList(CEMRDataSource* pDataSource, LONG lngRule,
                                         LONG lngRelationType, BSTR bstrList) {
  std::vector<std::u16string> related = ListElementTexts(bstrList, u"rule");
  for (std::u16string& id : related) id = SqlBareNumber(id, u"rule");
  pDataSource->Execute(
      u"DELETE FROM PEV_RULE_DEPEND" +
      SqlKey().Number(u"RULE_ID", lngRule).Number(u"RELATION", lngRelationType).Where());
  for (const std::u16string& id : related) {
    korvalis::InsertRow(
        *pDataSource, u"PEV_RULE_DEPEND", u"RULE_ID, SUB_ID, RELATION",
        {RowValue::Number(lngRule), RowValue::Number(id), RowValue::Number(lngRelationType)});
  }

  return 0;
}
