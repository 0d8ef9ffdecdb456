// The grade task list of CBQCTask: the tasks that match a condition, newest first, each as
// an `item` with fifteen child elements.
#include <string>
#include <vector>
#include <xercesc/util/XMLChar.hpp>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/xml/xml_property.h"
#include "foundation/xml/xml_text.h"
#include "quality/rules/grade_task_statements.h"
#include "quality/rules/qc_task.h"

namespace {

using korvalis::PropertyBag;
using korvalis::quality::kTaskListColumns;

// The child elements of a listed task, one per column of the list's statement.
constexpr const char16_t* kTaskListElements[kTaskListColumns] = {u"id",
                                                                 u"title",
                                                                 u"create_date",
                                                                 u"creator_id",
                                                                 u"creator",
                                                                 u"phase_type",
                                                                 u"content_type",
                                                                 u"owner_type",
                                                                 u"status",
                                                                 u"valid",
                                                                 u"executor_type",
                                                                 u"content",
                                                                 u"patient_count",
                                                                 u"user_patient_count",
                                                                 u"receiver_patient_count"};

// True when every character of the text may stand in an XML document.
bool XmlCanCarry(const std::u16string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0x20 && unit < 0xD800) continue;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() &&
        xercesc::XMLChar1_0::isXMLChar(unit, text[i + 1])) {
      ++i;
      continue;
    }
    if (!xercesc::XMLChar1_0::isXMLChar(unit)) return false;
  }
  return true;
}

}  // namespace

long CBQCTask::GetTaskList(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  std::vector<std::u16string> values;
  pDataSource->Query(korvalis::quality::TaskListStatement(*pDataSource->GetDBType(), condition),
                     kTaskListColumns, values);
  if (values.empty()) {
    korvalis::StoreBstrResult(pbstrList, u"<?xml version='1.0' ?><root/>");
    return 0;
  }
  // The document as the XML library's DOM writer serialises it, written straight from the
  // values: an element per column, empty for an empty value.
  std::size_t size = 128;
  for (const std::u16string& value : values) {
    if (!XmlCanCarry(value)) throw CEMRException(std::u16string(u"查询结果含有XML不允许的字符."));
    size += value.size() + 48;
  }
  std::u16string list;
  list.reserve(size);
  list.append(u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?><root>");
  for (std::size_t row = 0; row + kTaskListColumns <= values.size(); row += kTaskListColumns) {
    list.append(u"<item>");
    for (unsigned column = 0; column < kTaskListColumns; ++column) {
      korvalis::AppendXmlTextElement(list, kTaskListElements[column], values[row + column]);
    }
    list.append(u"</item>");
  }
  korvalis::StoreBstrResult(pbstrList, list.append(u"</root>"));
  return 0;
}
