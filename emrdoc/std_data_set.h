// The standard data set as a catalogue: the definition of a patient-information node, the
// serial data element of a data set, and the list of a data set's data elements.
//
// The tables:
//   TELV_STD_DS                 data sets (ID, NAME, DOC_TYPE, STATUS 1 active)
//   TELV_STD_DATA_ELEMENT       data elements of a data set, optionally coded by a
//                               TELV_STD_DICT dictionary
//   TELV_STD_PATIENT_INFO_NODE  nodes: a data element, optionally qualified, placed in a data
//                               set and bound to a domain record (RELATE_DOMAIN_ID)
//
// A node id is a data-element id, optionally followed by "|" and one qualifier value per data
// element that its KEY_TYPE_DE lists (separated by "|" there too): "STD_DE_DIAG_NAME|2" is
// the diagnosis name qualified by a diagnosis class.
//
// Texts placed between quotes in the statements go through the quoting helper; a null BSTR is
// the empty text. Database failures are thrown as the data source reports them.
//
// Thread-safety: stateless; concurrent calls work on their own data sources.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "foundation/xml/xml_property.h"
#include "platform/com/bstr.h"

class CSingleDataSource;

// The message of a node whose definition is not exactly one row; the node id follows it.
inline constexpr char16_t kNodeDefinitionFailedMessage[] = u"获取信息元素属性失败:";

namespace korvalis::emrdoc {

// A node joined with its data element and its data set, under the names of the definition
// document: name, inner_name, id, dataset_id, type_de, relate_domain, old_domain_once,
// static_domain, type, notes, dict_id, multi_select, doc_type, status, ext_data_element,
// ds_name, abstract_node.
struct NodeDefinition {
  CXmlProperty::Map properties;

  // The ids of the data elements the node's qualifiers stand for: type_de split at "|"
  // (leading separators skipped, empty ids between two separators kept).
  std::vector<std::u16string> QualifierIds() const;
};

// The definition of the node; nullopt unless exactly one row defines it.
std::optional<NodeDefinition> ReadNodeDefinition(CSingleDataSource& data_source,
                                                 const std::u16string& node_id);

}  // namespace korvalis::emrdoc

// The definition of a node as a property document (CXmlProperty) in a new BSTR. Throws
// CEMRException kNodeDefinitionFailedMessage and the node id unless exactly one row defines it.
// Returns 0.
long GetPatientInfoNodeDefinition(CSingleDataSource* pDataSource, BSTR bstrNodeID,
                                  BSTR* pbstrDefinition);
// The same as a wide text, for callers in C++.
std::u16string GetPatientInfoNodeDefinition(CSingleDataSource& data_source,
                                            const std::u16string& node_id);

// The id of a serial data element of the data set (SERIAL_FLAG 1; the first the database
// returns) in a new BSTR; zero-length when the data set has none.
void GetSerialDataElements(CSingleDataSource* pDataSource, BSTR bstrDataSetID, BSTR* pbstrID);

// The data elements of the data set (of every data set when the id is empty), ordered by data
// set and name, as a `root` of `de` elements: the NAME as text, the other columns as the
// attributes id, ds_id, en_name, dict_id, dict_code, dict_name, dict_version, data_type,
// max_length, precision, default_value, ex_flag, multi_value, negation_flag, serial_flag,
// key_type, describe, notes and status. Returns 0.
long GetDataElementList(CSingleDataSource* pDataSource, BSTR bstrDataSetID, BSTR* pbstrList);
