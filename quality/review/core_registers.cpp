#include "quality/review/core_registers.h"

#include "foundation/emr_data_source.h"
#include "foundation/factory.h"
#include "foundation/sql_text.h"
#include "foundation/xml_document.h"
#include "foundation/xml_property.h"
#include "foundation/xml_text.h"

namespace korvalis::review {

namespace {

void DeleteRow(CEMRDataSource* data_source, const std::u16string& id, std::u16string_view table) {
  data_source->Execute(u"DELETE FROM " + std::u16string(table) + u" T WHERE T.ID = " +
                       SqlQuoted(id));
}

}  // namespace

std::u16string ItemList(const std::vector<std::u16string>& values,
                        std::span<const char16_t* const> names) {
  CXmlDocument document;
  CXmlNode root = document.GetRootNode();
  for (std::size_t row = 0; row + names.size() <= values.size(); row += names.size()) {
    CXmlNode item = root.AppendChild(u"item", u"");
    for (std::size_t column = 0; column < names.size(); ++column) {
      item.SetAttribute(names[column], XmlCarriable(values[row + column]));
    }
  }
  return document.GetXml();
}

void AppendFilter(std::u16string& filter, const CXmlProperty& condition, const char16_t* key,
                  std::u16string_view head, std::u16string_view tail) {
  const std::u16string value = condition.GetValue(key);
  if (!value.empty()) filter.append(head).append(SqlQuoted(value)).append(tail);
}

std::u16string IdForSave(CEMRDataSource* data_source, std::u16string id,
                         std::u16string_view table) {
  if (id.empty()) return CEMRFactory::Instance()->NewGuid();
  DeleteRow(data_source, id, table);
  return id;
}

void DeleteRecord(CEMRDataSource* data_source, BSTR condition, std::u16string_view table) {
  const std::u16string id = CXmlProperty(std::u16string(BstrView(condition))).GetValue(u"id");
  if (!id.empty()) DeleteRow(data_source, id, table);
}

}  // namespace korvalis::review
