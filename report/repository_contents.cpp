// The knowledge base's item structures (VKT_ITEM_STRUCTURE, a definition text in CONTENT), the
// element contents of the items (VKT_ELEMENT, the bytes of one part of one item in CONTENT),
// the distribution of catalogues to departments with a template (VKT_DEPT_DISTRIBUTE) and the
// reference configuration of each template (VKT_REFERENCE_CONFIGURE).
//
// Both contents are stored behind a byte-order mark without compression or encryption: a
// structure's text as its UTF-16LE units, an element's bytes as the caller sent them in
// Base64, handed back in Base64 again. A row and its content are written in one call, so a
// content that cannot be written leaves no row behind.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "foundation/codec/blob_text.h"
#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/codec/codec_factory.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/record_statements.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/xml/xml_property.h"
#include "foundation/xml/xml_text.h"
#include "report/repository.h"
#include "report/repository_rows.h"

using korvalis::ArgumentText;
using korvalis::DeleteKeyedRows;
using korvalis::InsertRow;
using korvalis::PropertyBag;
using korvalis::SqlConditions;
using korvalis::SqlKey;
using korvalis::StoreBstrResult;
using korvalis::XmlCarriable;
using korvalis::repository::SaveRecord;
using korvalis::repository::SavedColumn;

namespace {

constexpr char16_t kStructureTable[] = u"VKT_ITEM_STRUCTURE";
// The statement that selects the content of the structure `id`.
std::u16string StructureContent(const std::u16string& id) {
  return u"SELECT A.CONTENT FROM VKT_ITEM_STRUCTURE A" + SqlKey().Equals(u"A.ID", id).Where();
}
constexpr char16_t kDistributionTable[] = u"VKT_DEPT_DISTRIBUTE";
constexpr char16_t kConfigurationTable[] = u"VKT_REFERENCE_CONFIGURE";

// The condition that names one element content.
std::u16string ElementKey(const std::u16string& item_id, const std::u16string& structure_xid) {
  return SqlKey().Equals(u"ITEM_ID", item_id).Equals(u"STRUCTURE_XID", structure_xid).Where();
}

}  // namespace

long CBRepository::SetVktStructure(CEMRDataSource* pDataSource, BSTR bstrProperty,
                                   BSTR* pbstrStructureID) {
  static constexpr SavedColumn kColumns[] = {{u"ID", u"id"},
                                             {u"NAME", u"name"},
                                             {u"REMARK", u"remark"},
                                             {u"VAILD_FLAG", u"valid_flag", u"1"}};
  const CXmlProperty property = PropertyBag(bstrProperty);
  const std::u16string id = SaveRecord(*pDataSource, kStructureTable, property, kColumns);
  korvalis::WriteBlobText(*pDataSource, StructureContent(id),
                          property.GetValue(u"content"));
  StoreBstrResult(pbstrStructureID, id);
  return 0;
}

long CBRepository::DelVktStructure(CEMRDataSource* pDataSource, BSTR bstrID) {
  const std::u16string id = ArgumentText(bstrID);
  if (!id.empty()) DeleteKeyedRows(*pDataSource, kStructureTable, u"ID", id);
  return 0;
}

long CBRepository::GetVktStructure(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                   BSTR* pbstrStructure) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  std::u16string sql =
      u"SELECT A.ID, A.NAME, A.REMARK, A.VAILD_FLAG FROM VKT_ITEM_STRUCTURE A WHERE 1=1";
  sql += SqlConditions(condition).Equals(u"id", u"A.ID").Equals(u"vaild_flag", u"A.VAILD_FLAG").Sql();
  constexpr unsigned kColumns = 4;
  constexpr const char16_t* kAttributes[kColumns] = {u"id", u"name", u"remark", u"vaild_flag"};
  std::vector<std::u16string> values;
  pDataSource->Query(sql, kColumns, values);

  korvalis::DomDocumentBuilder document(u"root");
  for (std::size_t row = 0; row + kColumns <= values.size(); row += kColumns) {
    const std::u16string content =
        korvalis::ReadBlobText(*pDataSource, StructureContent(values[row]));
    xercesc::DOMElement* item = document.Append(document.root(), u"item", XmlCarriable(content));
    for (unsigned column = 0; column < kColumns; ++column) {
      document.SetAttribute(item, kAttributes[column], XmlCarriable(values[row + column]));
    }
  }
  StoreBstrResult(pbstrStructure, document.Write());
  return 0;
}

long CBRepository::SetVktElement(CEMRDataSource* pDataSource, BSTR bstrProperty) {
  const CXmlProperty property = PropertyBag(bstrProperty);
  const std::u16string item_id = property.GetValue(u"item_id");
  const std::u16string structure_xid = property.GetValue(u"structure_xid");
  // Decoded first: a content that is not Base64 fails the call before anything is written.
  BYTE* decoded = nullptr;
  ULONG length = 0;
  CreateEncoder(-1)->Decode(property.GetValue(u"content"), decoded, length);
  const std::unique_ptr<BYTE[]> bytes(decoded);
  if (item_id.empty() || structure_xid.empty()) return 0;

  const std::u16string key = ElementKey(item_id, structure_xid);
  pDataSource->Execute(u"DELETE  FROM VKT_ELEMENT" + key);
  InsertRow(*pDataSource, u"VKT_ELEMENT", u"ITEM_ID, STRUCTURE_XID", {item_id, structure_xid});
  pDataSource->WriteBlob(u"SELECT CONTENT FROM VKT_ELEMENT" + key, bytes.get(), length, 0, 0, true);
  return 0;
}

long CBRepository::DelVktElement(CEMRDataSource* pDataSource, BSTR bstrCondition) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  // Without the item nothing is deleted: a part alone would reach every item.
  if (condition.GetValue(u"item_id").empty()) return 0;
  std::u16string sql = u"DELETE  FROM VKT_ELEMENT WHERE 1=1";
  sql += SqlConditions(condition).Equals(u"item_id", u"ITEM_ID").Equals(u"structure_xid", u"STRUCTURE_XID").Sql();
  pDataSource->Execute(sql);
  return 0;
}

long CBRepository::GetVktElementList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                     BSTR* pbstrElemList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  std::u16string filter;
  filter += SqlConditions(condition).Equals(u"item_id", u"ITEM_ID").Equals(u"structure_xid", u"STRUCTURE_XID").Sql();
  // Without a condition the answer is a null string: no list of every content at once.
  if (filter.empty()) {
    if (pbstrElemList != nullptr) *pbstrElemList = nullptr;
    return 0;
  }
  std::vector<std::u16string> values;
  pDataSource->Query(u"SELECT ITEM_ID, STRUCTURE_XID  FROM VKT_ELEMENT WHERE 1=1" + filter, 2,
                     values);

  korvalis::DomDocumentBuilder document(u"root");
  CBase64Encoder base64;
  for (std::size_t row = 0; row + 2 <= values.size(); row += 2) {
    BYTE* data = nullptr;
    ULONG length = 0;
    pDataSource->ReadBlob(
        u"SELECT CONTENT FROM VKT_ELEMENT" + ElementKey(values[row], values[row + 1]), data, length,
        0, 0, true);
    const std::unique_ptr<BYTE[]> owned(data);
    std::u16string content;
    if (length > 0) base64.Encode(data, length, content);
    xercesc::DOMElement* element = document.Append(document.root(), u"element", content);
    document.SetAttribute(element, u"item_id", XmlCarriable(values[row]));
    document.SetAttribute(element, u"structure_xid", XmlCarriable(values[row + 1]));
  }
  StoreBstrResult(pbstrElemList, document.Write());
  return 0;
}

long CBRepository::GetVktDistriCatalog(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                       BSTR* pbstrCatalogList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  std::u16string sql =
      u"SELECT  CATALOG_ID, DEPT_CODE, TEMPLATE_ID FROM VKT_DEPT_DISTRIBUTE WHERE 1=1 ";
  sql += SqlConditions(condition).Equals(u"dept_code", u"DEPT_CODE").Equals(u"template_id", u"TEMPLATE_ID").Sql();
  sql += u" ORDER BY DEPT_CODE, CATALOG_ID, TEMPLATE_ID";
  pDataSource->QueryElements(sql, {u"catalog_id", u"dept_code", u"template_id"}, pbstrCatalogList,
                             {u"catalog_id", u"dept_code", u"template_id"});
  return 0;
}

long CBRepository::AddVktDistriCatalog(CEMRDataSource* pDataSource, BSTR bstrCondition) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  const std::u16string dept_code = condition.GetValue(u"dept_code");
  const std::u16string template_id = condition.GetValue(u"template_id");
  const std::u16string catalog_id = condition.GetValue(u"catalog_id");
  // An empty value is NULL, which the delete never matches: such a triple is added every time.
  pDataSource->Execute(u"DELETE VKT_DEPT_DISTRIBUTE" + SqlKey()
                                                       .Equals(u"CATALOG_ID", catalog_id)
                                                       .Equals(u"DEPT_CODE", dept_code)
                                                       .Equals(u"TEMPLATE_ID", template_id)
                                                       .Where());
  InsertRow(*pDataSource, kDistributionTable, u"DEPT_CODE, CATALOG_ID, TEMPLATE_ID",
            {dept_code, catalog_id, template_id});
  return 0;
}

long CBRepository::DelVktDistriCatalog(CEMRDataSource* pDataSource, BSTR bstrCondition) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  // One key only, the first given of the template, the department and the catalogue; without
  // any of them nothing is deleted, never every distribution.
  constexpr std::pair<const char16_t*, const char16_t*> kKeys[] = {{u"template_id", u"TEMPLATE_ID"},
                                                                   {u"dept_code", u"DEPT_CODE"},
                                                                   {u"catalog_id", u"CATALOG_ID"}};
  for (const auto& [key, column] : kKeys) {
    const std::u16string value = condition.GetValue(key);
    if (value.empty()) continue;
    DeleteKeyedRows(*pDataSource, kDistributionTable, column, value);
    break;
  }
  return 0;
}

long CBRepository::GetVktRfConfig(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                  BSTR* pbstrElemList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  std::u16string sql =
      u"SELECT TEMPLATE_ID, TEMPLATE_NAME, GROUP_ID, STRUCTURE_XID, VALID FROM "
      u"VKT_REFERENCE_CONFIGURE WHERE 1=1";
  sql += SqlConditions(condition).Equals(u"template_id", u"TEMPLATE_ID").Sql();
  pDataSource->QueryElements(sql, {u"template_id", u"template_name", u"group", u"xid", u"valid"},
                             pbstrElemList, {u"template_id"});
  return 0;
}

long CBRepository::SetVktRfConfig(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                  BSTR* pbstrTemplateID) {
  static constexpr SavedColumn kColumns[] = {{u"TEMPLATE_ID", u"template_id"},
                                             {u"TEMPLATE_NAME", u"template_name"},
                                             {u"GROUP_ID", u"group"},
                                             {u"STRUCTURE_XID", u"xid"},
                                             {u"VALID", u"valid"}};
  const CXmlProperty condition = PropertyBag(bstrCondition);
  StoreBstrResult(pbstrTemplateID,
                  SaveRecord(*pDataSource, kConfigurationTable, condition, kColumns));
  return 0;
}

long CBRepository::DelVktRfConfig(CEMRDataSource* pDataSource, BSTR bstrCondition) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  // Run also for an empty template, which as NULL matches no row.
  DeleteKeyedRows(*pDataSource, kConfigurationTable, u"TEMPLATE_ID",
                  condition.GetValue(u"template_id"));
  return 0;
}
