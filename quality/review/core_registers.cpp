#include "quality/review/core_registers.h"

#include "foundation/calls/body_arguments.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/record_statements.h"
#include "foundation/xml/xml_document.h"
#include "foundation/xml/xml_property.h"
#include "foundation/xml/xml_text.h"

namespace korvalis::review {

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

void DeleteRecord(CEMRDataSource* data_source, BSTR condition, std::u16string_view table) {
  const std::u16string id = korvalis::PropertyBag(condition).GetValue(u"id");
  if (!id.empty()) DeleteKeyedRows(*data_source, table, u"ID", id);
}

}  // namespace korvalis::review
