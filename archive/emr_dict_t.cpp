#include "archive/emr_dict_t.h"

#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/XMLChar.hpp>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/comm_data_source.h"
#include "foundation/data/db_config.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/xml/xml_parser.h"
#include "foundation/xml/xml_property.h"
#include "foundation/xml/xml_text.h"
#include "platform/com/scoped_bstr.h"

namespace {

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::SqlKey;
using korvalis::UpdateRow;
using xercesc::DOMElement;
using xercesc::DOMNodeList;

// The HIS kind whose dictionaries are read through kKeshConfigFileName.
constexpr char16_t kKeshKind[] = u"kesh";
constexpr char16_t kKeshConfigFileName[] = u"kesh.config.xml";
constexpr char16_t kDiduConfigFileName[] = u"didu.config.xml";

const std::vector<std::u16string>& DictNames() {
  static const std::vector<std::u16string>& names =
      *new std::vector<std::u16string>{u"dict", u"remark"};
  return names;
}

[[noreturn]] void ThrowBadDefinition() {
  throw CEMRException(std::u16string(kBadDictDefinitionMessage));
}

// What a definition asks for: the two statements (for a HIS of kind "kesh" and the own
// database, and for a HIS of another kind), whether it reads the HIS, and the fields.
struct DictQuery {
  std::u16string name_sql;
  std::u16string didu_name_sql;
  bool reads_his = false;
  std::vector<std::u16string> fields;
};

DictQuery ReadDefinition(const DOMElement* root) {
  DOMNodeList* tables = root->getElementsByTagName(u"table");
  if (tables == nullptr || tables->getLength() == 0) ThrowBadDefinition();
  const auto* table = static_cast<const DOMElement*>(tables->item(0));

  DictQuery query;
  std::u16string select_list;
  for (const DOMElement* column : DescendantElementsNamed(root, u"column")) {
    std::u16string field = ElementAttribute(column, u"field");
    if (field.empty() || !xercesc::XMLChar1_0::isValidName(field.c_str(), field.size())) {
      ThrowBadDefinition();
    }
    select_list.append(u" ").append(field).append(u",");
    query.fields.push_back(std::move(field));
  }
  if (!select_list.empty()) select_list.pop_back();

  const std::u16string filter = ElementAttribute(table, u"filter");
  const std::u16string where = filter.empty() ? u"" : u" WHERE 1=1 AND " + filter + u" ";
  const auto statement = [&](const std::u16string& from) {
    return u" SELECT " + select_list + u" FROM " + from + u" " + where + u" ";
  };
  query.name_sql = statement(ElementAttribute(table, u"name"));
  query.didu_name_sql = statement(ElementAttribute(table, u"didu_name"));
  const std::u16string source = ElementAttribute(table, u"source");
  query.reads_his = source == u"his" || source == u"kesh";
  return query;
}

}  // namespace

long CBEMRDictT::NewDict(CEMRDataSource* pDataSource, BSTR bstrProperty) {
  const CXmlProperty property = PropertyBag(bstrProperty);
  const std::u16string name = property.GetValue(u"name");
  const std::u16string remark = property.GetValue(u"remark");
  korvalis::InsertRow(*pDataSource, u"TELV_DICT_SOURCE", u"NAME, REMARK", {name, remark});
  return 0;
}

long CBEMRDictT::GetDictByDictName(CEMRDataSource* pDataSource, BSTR bstrDictName,
                                   BSTR* pbstrDictProperty) {
  pDataSource->QueryElements(
      u"SELECT NAME, REMARK FROM TELV_DICT_SOURCE" + SqlKey().Equals(u"NAME", bstrDictName).Where(),
      DictNames(), pbstrDictProperty);
  return 0;
}

long CBEMRDictT::SetDictContent(CEMRDataSource* pDataSource, BSTR bstrDictName,
                                BSTR bstrDictContent) {
  UpdateRow(*pDataSource, u"TELV_DICT_SOURCE A", {{u"A.XML", bstrDictContent}},
            SqlKey().Equals(u"A.NAME", bstrDictName).Sql());
  return 0;
}

long CBEMRDictT::GetDictContent(CEMRDataSource* pDataSource, BSTR bstrDictName,
                                BSTR* pbstrDictContent) {
  std::vector<std::u16string> xml;
  pDataSource->Query(
      u"SELECT XML FROM TELV_DICT_SOURCE" + SqlKey().Equals(u"NAME", bstrDictName).Where(), 1, xml);
  if (xml.empty()) {
    korvalis::StoreBstrResult(pbstrDictContent, u"");
    throw CEMRException(std::u16string(kNoSuchDictMessage));
  }
  korvalis::StoreBstrResult(pbstrDictContent, xml.front());
  return 0;
}

long CBEMRDictT::GetDataList(CEMRDataSource* pDataSource, BSTR bstrDictName, BSTR* pbstrDataList) {
  korvalis::com::ScopedBstr definition;
  GetDictContent(pDataSource, bstrDictName, definition.out());
  CXmlStringParser parser(definition.get());
  xercesc::DOMDocument* document = parser.GetDocument();
  DOMElement* root = document != nullptr ? document->getDocumentElement() : nullptr;
  if (root == nullptr) ThrowBadDefinition();
  const DictQuery query = ReadDefinition(root);

  const unsigned columns = static_cast<unsigned>(query.fields.size());
  std::vector<std::u16string> values;
  if (query.reads_his) {
    OpenHisDataSource(query.name_sql, query.didu_name_sql, columns, values);
  } else {
    pDataSource->Query(query.name_sql, columns, values);
  }

  DOMElement* items = document->createElement(u"items");
  root->appendChild(items);
  for (std::size_t row = 0; columns != 0 && row + columns <= values.size(); row += columns) {
    DOMElement* item = document->createElement(u"item");
    items->appendChild(item);
    for (unsigned j = 0; j < columns; ++j) {
      korvalis::DomDocumentBuilder::SetAttribute(item, query.fields[j],
                                                 korvalis::XmlCarriable(values[row + j]));
    }
  }
  korvalis::StoreBstrResult(pbstrDataList, korvalis::WriteDomDocument(document));
  return 0;
}

long CBEMRDictT::GetDictList(CEMRDataSource* pDataSource, BSTR* pbstrDictList) {
  pDataSource->QueryElements(u"SELECT NAME, REMARK FROM TELV_DICT_SOURCE", DictNames(),
                             pbstrDictList);
  return 0;
}

long CBEMRDictT::DeleteDictByName(CEMRDataSource* pDataSource, BSTR bstrDictName) {
  pDataSource->Execute(u"DELETE FROM TELV_DICT_SOURCE" +
                       SqlKey().Equals(u"NAME", bstrDictName).Where());
  return 0;
}

long CBEMRDictT::SetDictName(CEMRDataSource* pDataSource, BSTR bstrDictList) {
  const CXmlProperty property = PropertyBag(bstrDictList);
  const std::u16string original_name = property.GetValue(u"original_name");
  const std::u16string new_name = property.GetValue(u"new_name");
  const std::u16string remark = property.GetValue(u"remark");
  if (original_name.empty() || new_name.empty() || remark.empty()) return 0;
  UpdateRow(*pDataSource, u"TELV_DICT_SOURCE A", {{u"A.NAME", new_name}, {u"A.REMARK", remark}},
            SqlKey().Equals(u"A.NAME", original_name).Sql());
  return 0;
}

void CBEMRDictT::OpenHisDataSource(const std::u16string& kesh_sql, const std::u16string& other_sql,
                                   unsigned columns, std::vector<std::u16string>& values) {
  const bool kesh = ReadHisKind(kEMRConfigFileName) == kKeshKind;
  CCommDataSource his(kesh ? kKeshConfigFileName : kDiduConfigFileName, u"", u"");
  his.Query(kesh ? kesh_sql : other_sql, columns, values);
}
