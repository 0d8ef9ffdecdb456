#include "emrdoc/std_data_set.h"

#include <iterator>

#include "emrdoc/emr_content_document.h"
#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"

namespace korvalis::emrdoc {

namespace {

// The names of the definition's columns, in select order.
constexpr const char16_t* kDefinitionNames[] = {u"name",
                                                u"inner_name",
                                                u"id",
                                                u"dataset_id",
                                                u"type_de",
                                                u"relate_domain",
                                                u"old_domain_once",
                                                u"static_domain",
                                                u"type",
                                                u"notes",
                                                u"dict_id",
                                                u"multi_select",
                                                u"doc_type",
                                                u"status",
                                                u"ext_data_element",
                                                u"ds_name",
                                                u"abstract_node"};
constexpr unsigned kDefinitionColumns = std::size(kDefinitionNames);

}  // namespace

std::vector<std::u16string> NodeDefinition::QualifierIds() const {
  std::vector<std::u16string> ids;
  const auto type_de = properties.find(u"type_de");
  if (type_de != properties.end()) SplitByChars(type_de->second, kSerialSeparator, ids);
  return ids;
}

std::optional<NodeDefinition> ReadNodeDefinition(CSingleDataSource& data_source,
                                                 const std::u16string& node_id) {
  // The node's data element is the part of its id before the first "|".
  const std::u16string sql =
      u"SELECT S.NAME, S.INNER_NAME, S.PATIENT_INFO_NODE_ID, S.DS_ID, S.KEY_TYPE_DE, "
      u"S.RELATE_DOMAIN_ID, S.OLD_DOMAIN_ONCE, S.STATIC_FLAG, S.TYPE, S.NOTES, T.DICT_ID, "
      u"T.MULTI_VALUE, B.DOC_TYPE, S.STATUS, T.EX_FLAG,  B.NAME, S.ABSTRACT_FLAG "
      u"FROM TELV_STD_PATIENT_INFO_NODE S, TELV_STD_DATA_ELEMENT T,  TELV_STD_DS B WHERE "
      u"SUBSTR(S.PATIENT_INFO_NODE_ID, 1, DECODE(INSTR(S.PATIENT_INFO_NODE_ID, '|') - 1, -1, "
      u"LENGTH(S.PATIENT_INFO_NODE_ID), INSTR(S.PATIENT_INFO_NODE_ID, '|') - 1)) = T.ID AND "
      u"S.DS_ID = B.ID AND " +
      korvalis::SqlKey().Equals(u"S.PATIENT_INFO_NODE_ID", node_id).And(u"B.ID = S.DS_ID").Sql();
  std::vector<std::u16string> values;
  data_source.Query(sql, kDefinitionColumns, values);
  if (values.size() != kDefinitionColumns) return std::nullopt;
  NodeDefinition definition;
  for (unsigned i = 0; i < kDefinitionColumns; ++i) {
    definition.properties[kDefinitionNames[i]] = std::move(values[i]);
  }
  return definition;
}

}  // namespace korvalis::emrdoc

long GetPatientInfoNodeDefinition(CSingleDataSource* pDataSource, BSTR bstrNodeID,
                                  BSTR* pbstrDefinition) {
  korvalis::StoreBstrResult(
      pbstrDefinition,
      GetPatientInfoNodeDefinition(*pDataSource, std::u16string(korvalis::BstrView(bstrNodeID))));
  return 0;
}

std::u16string GetPatientInfoNodeDefinition(CSingleDataSource& data_source,
                                            const std::u16string& node_id) {
  const std::optional<korvalis::emrdoc::NodeDefinition> definition =
      korvalis::emrdoc::ReadNodeDefinition(data_source, node_id);
  if (!definition) throw CEMRException(kNodeDefinitionFailedMessage + node_id);
  return CXmlProperty(definition->properties).ToXml();
}

void GetSerialDataElements(CSingleDataSource* pDataSource, BSTR bstrDataSetID, BSTR* pbstrID) {
  std::u16string id;
  pDataSource->QueryScalar(
      u"SELECT ID FROM TELV_STD_DATA_ELEMENT T" +
          korvalis::SqlKey().Equals(u"DS_ID", bstrDataSetID).And(u"SERIAL_FLAG = 1").Where(),
      id);
  korvalis::StoreBstrResult(pbstrID, id);
}

long GetDataElementList(CSingleDataSource* pDataSource, BSTR bstrDataSetID, BSTR* pbstrList) {
  std::u16string sql =
      u"SELECT T.NAME, T.ID, T.DS_ID, T.EN_NAME, T.DICT_ID, S.CODE_SYSTEM, S.NAME, "
      u"T.DICT_VERSION, T.DATA_TYPE,T.MAX_LENGTH, T.PRECISION, T.DEFAULT_VALUE, T.EX_FLAG, "
      u"T.MULTI_VALUE, T.NEGATION_FLAG, T.SERIAL_FLAG, T.KEY_TYPE, T.DESCRIBE,T.NOTES, T.STATUS "
      u"FROM TELV_STD_DATA_ELEMENT T LEFT JOIN TELV_STD_DICT S ON T.DICT_ID = S.ID WHERE 1 = 1 ";
  sql += korvalis::SqlConditions({{u"ds_id", korvalis::ArgumentText(bstrDataSetID)}})
             .Equals(u"ds_id", u"T.DS_ID")
             .Sql();
  sql += u" ORDER BY T.DS_ID, T.NAME";
  pDataSource->QueryElements(sql, {u"de",        u"id",          u"ds_id",         u"en_name",
                                   u"dict_id",   u"dict_code",   u"dict_name",     u"dict_version",
                                   u"data_type", u"max_length",  u"precision",     u"default_value",
                                   u"ex_flag",   u"multi_value", u"negation_flag", u"serial_flag",
                                   u"key_type",  u"describe",    u"notes",         u"status"},
                             pbstrList, {u"id"});
  return 0;
}
