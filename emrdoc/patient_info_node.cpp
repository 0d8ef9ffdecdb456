#include "emrdoc/patient_info_node.h"

#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "emrdoc/diagnosis_tree.h"
#include "emrdoc/domain_manager.h"
#include "emrdoc/std_diagnosis_config.h"
#include "emrdoc/std_doc_types.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/emr_element.h"
#include "foundation/xml/xml_text.h"
#include "platform/com/scoped_bstr.h"

namespace {

using korvalis::SqlQuoted;
using korvalis::com::ScopedBstr;

constexpr char16_t kXmlDeclaration[] = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>";
constexpr char16_t kByteOrderMark = u'\xFEFF';

struct Value {
  std::u16string text;
  std::u16string code;
};

// The value document of a value, `code` before `value`, as the XML library writes it.
std::u16string ValueDocument(const Value& value) {
  std::u16string document = kXmlDeclaration;
  document.append(u"<root>");
  korvalis::AppendXmlTextElement(document, u"code", value.code);
  korvalis::AppendXmlTextElement(document, u"value", value.text);
  document.append(u"</root>");
  return document;
}

// The BLOB as UTF-16 code units, without a leading byte-order mark.
std::u16string BlobText(const BYTE* data, ULONG length) {
  std::u16string text(length / 2, u'\0');
  if (!text.empty()) std::memcpy(text.data(), data, text.size() * sizeof(char16_t));
  if (!text.empty() && text.front() == kByteOrderMark) text.erase(0, 1);
  return text;
}

Value ReadStoredValue(CSingleDataSource* pDataSource, BSTR bstrNodeID, BSTR bstrPatientID,
                      BSTR bstrEventNo, VARIANT_BOOL vbCreating) {
  const bool creating = vbCreating != 0;
  if (!creating && IsDocTypeOne(pDataSource, bstrNodeID)) return {};
  // The newest row of the node for the visit, after the selected column.
  korvalis::SqlKey node_row;
  node_row.Equals(u"PATIENT_INFO_NODE_ID", bstrNodeID)
      .Equals(u"PATIENT_ID", bstrPatientID)
      .Equals(u"EVENT_NO", bstrEventNo);
  if (!creating) node_row.And(u"EMR_ID IS NULL");
  const std::u16string newest_row = u" FROM TELV_STD_PATIENT_INFO_DOMAIN" + node_row.Where() +
                                    u" ORDER BY CREATE_TIME DESC) WHERE ROWNUM = 1";
  std::vector<std::u16string> row;
  pDataSource->Query(
      u"SELECT INFO_VALUE, INFO_CODE FROM (SELECT INFO_VALUE, INFO_CODE " + newest_row, 2, row);
  if (row.size() != 2) return {};
  if (!row[0].empty()) return {std::move(row[0]), std::move(row[1])};
  BYTE* data = nullptr;
  ULONG length = 0;
  pDataSource->ReadBlob(u"SELECT INFO_VALUE_BLOB FROM (SELECT INFO_VALUE_BLOB " + newest_row, data,
                        length, 0, 0, false);
  const std::unique_ptr<BYTE[]> owned(data);
  std::u16string text = BlobText(data, length);
  if (text.empty()) return {};
  return {std::move(text), std::move(row[1])};
}

// True for a domain id that may stand bare in a statement: digits, optionally signed.
bool IsWholeNumber(std::u16string_view id) {
  return korvalis::IsSqlNumber(id) && id.find(u'.') == std::u16string_view::npos;
}

Value DomainValue(CSingleDataSource* pDataSource, CBDomainManager& registry,
                  const std::u16string& domain_id, BSTR bstrPatientID, BSTR bstrEventNo) {
  if (!IsWholeNumber(domain_id)) return {};
  std::vector<std::u16string> row;
  pDataSource->Query(u"SELECT TYPE, DOMAIN FROM TELV_EMR_DOMAIN WHERE ID = " + domain_id, 2, row);
  if (row.size() != 2) return {};
  const ScopedBstr key(row[1]);
  ScopedBstr value;
  registry.GetValue(bstrPatientID, bstrEventNo, StringToInt(row[0]), key.get(), value.out());
  return {value.text(), std::u16string()};
}

// The value of a node by the precedence of its related domain and its stored value.
Value NodeValue(CSingleDataSource* pDataSource, CBDomainManager& registry, BSTR bstrPatientID,
                BSTR bstrEventNo, BSTR bstrNodeID, VARIANT_BOOL vbCreating) {
  std::vector<std::u16string> node;
  pDataSource->Query(u"SELECT RELATE_DOMAIN_ID, OLD_DOMAIN_ONCE FROM TELV_STD_PATIENT_INFO_NODE" +
                         korvalis::SqlKey().Equals(u"PATIENT_INFO_NODE_ID", bstrNodeID).Where(),
                     2, node);
  // The stored value, read at most once: within the call it cannot change.
  std::optional<Value> stored;
  const auto stored_value = [&]() -> Value& {
    if (!stored) {
      stored = ReadStoredValue(pDataSource, bstrNodeID, bstrPatientID, bstrEventNo, vbCreating);
    }
    return *stored;
  };
  if (node.size() == 2 && !node[0].empty()) {
    bool ask_domain = true;
    if (node[1] == u"1") {  // OLD_DOMAIN_ONCE: the stored value goes first
      ask_domain =
          IsDocTypeOne(pDataSource, bstrNodeID) ? vbCreating != 0 : stored_value().text.empty();
    }
    if (ask_domain) {
      Value domain = DomainValue(pDataSource, registry, node[0], bstrPatientID, bstrEventNo);
      if (!domain.text.empty()) return domain;
    }
  }
  return std::move(stored_value());
}

}  // namespace

void GetPatientInfoValue(CSingleDataSource* pDataSource, BSTR bstrNodeID, BSTR bstrPatientID,
                         BSTR bstrEventNo, VARIANT_BOOL vbCreating, BSTR* pbstrAnswer) {
  korvalis::StoreBstrResult(pbstrAnswer,
                            ValueDocument(ReadStoredValue(pDataSource, bstrNodeID, bstrPatientID,
                                                          bstrEventNo, vbCreating)));
}

bool GetPatientInfoNodeValue(CSingleDataSource* pDataSource, CBDomainManager* pRegistry,
                             BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrNodeID,
                             VARIANT_BOOL vbCreating, BSTR* pbstrAnswer, int nDiagnosis) {
  if (nDiagnosis != 0 && IsDiagnosisPartId(bstrNodeID)) {
    GetDiagnosisTree(pDataSource, bstrPatientID, bstrEventNo, bstrNodeID, pbstrAnswer);
    return true;
  }
  korvalis::StoreBstrResult(
      pbstrAnswer, ValueDocument(NodeValue(pDataSource, *pRegistry, bstrPatientID, bstrEventNo,
                                           bstrNodeID, vbCreating)));
  return true;
}

bool GetDataElementValueXml(CSingleDataSource* pDataSource, CBDomainManager* pRegistry,
                            BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrNodeID,
                            VARIANT_BOOL vbCreating, BSTR* pbstrAnswer, int nDiagnosis) {
  const std::u16string id(korvalis::BstrView(bstrNodeID));
  if (id.empty() || !IsDataElementId(id)) {
    korvalis::StoreBstrResult(pbstrAnswer, kEmptyValueDocument);
    return false;
  }
  return GetPatientInfoNodeValue(pDataSource, pRegistry, bstrPatientID, bstrEventNo, bstrNodeID,
                                 vbCreating, pbstrAnswer, nDiagnosis);
}

void GetDomainValueById(CSingleDataSource* pDataSource, CBDomainManager& registry,
                        const std::u16string& strDomainID, BSTR bstrPatientID, BSTR bstrEventNo,
                        BSTR* pbstrAnswer) {
  korvalis::StoreBstrResult(
      pbstrAnswer,
      ValueDocument(DomainValue(pDataSource, registry, strDomainID, bstrPatientID, bstrEventNo)));
}
