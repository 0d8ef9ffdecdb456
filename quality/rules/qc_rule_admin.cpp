// The rule administration of the QC administration: time-limit rules (PEV_RULE, through the
// property map "pev_rule"), the EMR types that close them (PEV_RULE_EMRTYPE), the rules they
// replace or oppose (PEV_RULE_DEPEND), the one event that opens each (PEV_EVENT_RULE) and one
// exception property per rule (PEV_RULE_EXCEPTION).
//
// The QC administration names two facts with columns of its own, and writes the engine's
// columns beside them, so that a rule administered here runs in the engine:
//   - an EMR type goes into EMRTYPE (with its name) and into EMR_TYPE, which the engine reads
//     to close the rule's instances;
//   - an event binding goes into RULE_CODE and into RULE_ID with RELATION_TYPE 1, the event
//     that opens the rule.
// Bindings that the system events write (RULE_ID only) are not this class's: its per-event
// list, its replacing save and the deletion of a rule act on RULE_CODE alone.
//
// A list is read, and each of its numbers checked, before the delete that replaces the old
// list; the call's transaction makes the delete and the inserts one change.
#include <iterator>
#include <string>
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/property_map.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/xml/xml_document.h"
#include "foundation/xml/xml_list.h"
#include "foundation/xml/xml_property.h"
#include "quality/rules/qc_admin.h"
#include "quality/rules/quality_rule.h"
#include "quality/rules/rule_documents.h"

using korvalis::ArgumentText;
using korvalis::PropertyBag;
using korvalis::RowValue;
using korvalis::SqlBareNumber;
using korvalis::SqlKey;
using korvalis::StoreBstrResult;

namespace {

// PEV_RULE_DEPEND.RELATION: the rule opposes, or replaces, SUB_ID.
constexpr LONG kOpposes = 1;
constexpr LONG kReplaces = 2;

}  // namespace

long CBQCAdmin::InitNewRule(CEMRDataSource* pDataSource, BSTR bstrProperty, LONG* plngNewID) {
  CXmlProperty::Map properties = PropertyBag(bstrProperty).GetMap();
  const std::u16string id = GetMaxIdPlusOne(pDataSource, u"PEV_RULE");
  properties[u"id"] = id;
  properties[u"sort_code"] =
      LongToString(StringToLong(GetMaxIdPlusOne(pDataSource, u"PEV_RULE")), u"%05ld");
  properties[u"status"] = u"1";
  pDataSource->Execute(CPropertyMap(u"pev_rule").BuildInsertSql(u"PEV_RULE", properties));
  if (plngNewID != nullptr) *plngNewID = static_cast<LONG>(StringToLong(id));
  return 0;
}

long CBQCAdmin::GetRuleProperty(CEMRDataSource* pDataSource, LONG lngRule, BSTR* pbstrProperty) {
  static constexpr const char16_t* kNames[] = {
      u"name",      u"time_out",  u"quantity", u"point_id", u"owner_type", u"emr_type",
      u"sort_code", u"frequency", u"status",   u"notes",    u"preevent",   u"preevent_time"};
  constexpr unsigned kColumns = std::size(kNames);
  std::vector<std::u16string> row;
  pDataSource->Query(
      u"SELECT NAME, TIME_OUT, QUANTITY, POINT_ID, OWNER_TYPE, EMR_TYPE, SORT_CODE, FREQUENCY, "
      u"STATUS, NOTES, PRE_EVENT_CODE, PRE_EVENT_TIME FROM PEV_RULE" +
          SqlKey().Number(u"ID", lngRule).Where(),
      kColumns, row);
  // A rule that was never created answers as CBQualityRule::GetProperty does.
  if (row.empty()) {
    StoreBstrResult(pbstrProperty, u"<?xml version='1.0' ?><root/>");
    return 0;
  }
  CXmlProperty::Map bag;
  for (unsigned column = 0; column < kColumns; ++column) bag[kNames[column]] = row[column];
  StoreBstrResult(pbstrProperty, CXmlProperty(bag).ToXml());
  return 0;
}

long CBQCAdmin::SaveRuleProperty(CEMRDataSource* pDataSource, LONG lngRule, BSTR bstrProperty) {
  pDataSource->Execute(CPropertyMap(u"pev_rule")
                           .BuildUpdateSql(u"PEV_RULE", PropertyBag(bstrProperty).GetMap(),
                                           SqlKey().Number(u"ID", lngRule).Where()));
  return 0;
}

long CBQCAdmin::DeleteRule(CEMRDataSource* pDataSource, LONG lngRule) {
  const SqlKey open_instances = std::move(SqlKey().Number(u"RULE_ID", lngRule).And(u"STATUS = 1"));
  for (const char16_t* table : {u"PEV_TIME_RULE_RECORD", u"PEV_SUPERIOR_SIGN_REC"}) {
    korvalis::UpdateRow(*pDataSource, table, {{u"STATUS", RowValue::Number(0)}},
                        open_instances.Sql());
  }
  pDataSource->Execute(u"DELETE PEV_EVENT_RULE" + SqlKey().Number(u"RULE_CODE", lngRule).Where());
  pDataSource->Execute(u"DELETE FROM PEV_RULE_DEPEND" +
                       SqlKey().Number(u"RULE_ID", lngRule).Where());
  korvalis::UpdateRow(*pDataSource, u"PEV_RULE", {{u"STATUS", RowValue::Number(0)}},
                      SqlKey().Number(u"ID", lngRule).Sql());
  return 0;
}

long CBQCAdmin::GetEmrTypeList(CEMRDataSource* pDataSource, LONG lngRule, BSTR* pbstrList) {
  pDataSource->QueryElements(u"SELECT EMRTYPE, EMRTYPE_NAME FROM PEV_RULE_EMRTYPE" +
                                 SqlKey().Number(u"RULE_ID", lngRule).Where(),
                             {u"emrtype", u"name"}, pbstrList);
  return 0;
}

long CBQCAdmin::SaveEmrTypeList(CEMRDataSource* pDataSource, LONG lngRule, BSTR bstrList) {
  std::vector<korvalis::ListElement> types =
      korvalis::ReadListElements(bstrList, u"emrtype", {u"name"});
  for (korvalis::ListElement& type : types) type.text = SqlBareNumber(type.text, u"emrtype");
  pDataSource->Execute(u"DELETE FROM PEV_RULE_EMRTYPE" +
                       SqlKey().Number(u"RULE_ID", lngRule).Where());
  for (const korvalis::ListElement& type : types) {
    korvalis::InsertRow(*pDataSource, u"PEV_RULE_EMRTYPE",
                        u"RULE_ID, EMRTYPE, EMRTYPE_NAME, EMR_TYPE",
                        {RowValue::Number(lngRule), RowValue::Number(type.text), type.attributes[0],
                         RowValue::Number(type.text)});
  }
  return 0;
}

long CBQCAdmin::GetReplaceRuleList(CEMRDataSource* pDataSource, LONG lngRule, BSTR* pbstrList) {
  return CBQualityRule::GetRelationRuleList(pDataSource, lngRule, kReplaces, pbstrList);
}

long CBQCAdmin::SaveReplaceRuleList(CEMRDataSource* pDataSource, LONG lngRule, BSTR bstrList) {
  return CBQualityRule::SaveRelationRuleList(pDataSource, lngRule, kReplaces, bstrList);
}

long CBQCAdmin::GetOpposeRuleList(CEMRDataSource* pDataSource, LONG lngRule, BSTR* pbstrList) {
  return CBQualityRule::GetRelationRuleList(pDataSource, lngRule, kOpposes, pbstrList);
}

long CBQCAdmin::SaveOpposeRuleList(CEMRDataSource* pDataSource, LONG lngRule, BSTR bstrList) {
  return CBQualityRule::SaveRelationRuleList(pDataSource, lngRule, kOpposes, bstrList);
}

long CBQCAdmin::GetRuleList(CEMRDataSource* pDataSource, BSTR* pbstrList) {
  pDataSource->QueryElements(u"SELECT ID, NAME FROM PEV_RULE WHERE STATUS = 1 ORDER BY ID",
                             {u"rule", u"name"}, pbstrList);
  return 0;
}

long CBQCAdmin::GetEventList(CEMRDataSource* pDataSource, BSTR* pbstrList) {
  pDataSource->QueryElements(
      u"SELECT NAME, CODE, PARENT_CODE, SYN_FLAG, SORT_CODE, NOTES FROM TELV_EVENT WHERE "
      u"PARENT_CODE <> '###' AND QC_DISPATCH = 1 ORDER BY SORT_CODE",
      {u"row", u"id", u"parent_code", u"syn_flag", u"sort_code", u"notes"}, pbstrList);
  return 0;
}

long CBQCAdmin::GetEventRuleList(CEMRDataSource* pDataSource, BSTR bstrEventCode, BSTR* pbstrList) {
  pDataSource->QueryElements(
      u"SELECT A.RULE_CODE ID, B.NAME NAME FROM PEV_EVENT_RULE A, PEV_RULE B" +
          SqlKey().Equals(u"A.EVENT_CODE", bstrEventCode).And(u"A.RULE_CODE = B.ID").Where() +
          u" ORDER BY A.RULE_CODE",
      {u"id", u"name"}, pbstrList);
  return 0;
}

long CBQCAdmin::SaveEventRule(CEMRDataSource* pDataSource, BSTR bstrEventCode, LONG lngRuleID) {
  pDataSource->Execute(u"DELETE PEV_EVENT_RULE" + SqlKey().Number(u"RULE_CODE", lngRuleID).Where());
  korvalis::InsertRow(*pDataSource, u"PEV_EVENT_RULE",
                      u"EVENT_CODE, RULE_CODE, RULE_ID, RELATION_TYPE",
                      {bstrEventCode, RowValue::Number(lngRuleID), RowValue::Number(lngRuleID),
                       RowValue::Number(1)});
  return 0;
}

long CBQCAdmin::GetAllEventRule(CEMRDataSource* pDataSource, BSTR* pbstrList) {
  pDataSource->QueryElements(
      u"SELECT EVENT_CODE, RULE_ID FROM PEV_EVENT_RULE ORDER BY RULE_ID, EVENT_CODE",
      {u"event", u"rule"}, pbstrList);
  return 0;
}

long CBQCAdmin::GetRuleException(CEMRDataSource* pDataSource, BSTR bstrRuleId,
                                 BSTR* pbstrExceptionProperty) {
  std::vector<std::u16string> rows;
  pDataSource->Query(u"SELECT DISTINCT T.TYPE, T.EXCEPTION_PROPERTY FROM PEV_RULE_EXCEPTION T" +
                         SqlKey().Equals(u"T.RULE_CODE", bstrRuleId).Where(),
                     2, rows);
  korvalis::DomDocumentBuilder document(u"root");
  for (std::size_t row = 0; row + 2 <= rows.size(); row += 2) {
    if (rows[row].empty()) continue;
    document.Append(document.root(), u"type", rows[row]);
    document.Append(document.root(), u"property", rows[row + 1]);
  }
  StoreBstrResult(pbstrExceptionProperty, document.Write());
  return 0;
}

long CBQCAdmin::SaveRuleException(CEMRDataSource* pDataSource, BSTR bstrRuleId,
                                  BSTR bstrExceptionProperty) {
  CXmlDocument document(ArgumentText(bstrExceptionProperty), false, false);
  CXmlNode root = document.GetDocumentElement();
  const std::u16string type = root.GetChild(u"type").GetText();
  const std::u16string property = root.GetChild(u"property").GetText();
  const SqlKey rule = std::move(SqlKey().Equals(u"T.RULE_CODE", bstrRuleId));
  std::u16string count;
  pDataSource->QueryScalar(u"SELECT COUNT(*) FROM PEV_RULE_EXCEPTION T" + rule.Where(), count);
  if (count == u"0") {
    korvalis::InsertRow(*pDataSource, u"PEV_RULE_EXCEPTION", u"RULE_CODE, TYPE, EXCEPTION_PROPERTY",
                        {bstrRuleId, type, property});
  } else {
    korvalis::UpdateRow(*pDataSource, u"PEV_RULE_EXCEPTION T",
                        {{u"T.TYPE", type}, {u"T.EXCEPTION_PROPERTY", property}}, rule.Sql());
  }
  return 0;
}
