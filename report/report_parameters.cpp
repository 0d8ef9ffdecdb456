#include "report/report_parameters.h"

#include <xercesc/dom/DOM.hpp>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/client_info.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/xml/xml_list.h"
#include "foundation/xml/xml_parser.h"
#include "foundation/xml/xml_property.h"
#include "platform/com/scoped_bstr.h"
#include "report/report_store.h"

namespace korvalis::report {

namespace {

constexpr char16_t kUnparsableProperties[] = u"解析属性信息错误.";

// The `param` elements below `scope`, in document order.
std::vector<ParameterDefinition> ParamElements(const xercesc::DOMNode* scope) {
  std::vector<ParameterDefinition> definitions;
  for (ListElement& element :
       ReadListElements(scope, u"param", {u"code", u"type", u"autoreplace"})) {
    definitions.push_back({std::move(element.attributes[0]), std::move(element.attributes[1]),
                           std::move(element.attributes[2]), std::move(element.text)});
  }
  return definitions;
}

// True when `text` holds no element, only what may stand before one (an XML declaration,
// comments, processing instructions): it is well formed once an element follows.
bool IsPrologOnly(BSTR text) {
  const std::u16string completed = ArgumentText(text) + u"<x/>";
  CXmlStringParser parser(completed);
  return parser.GetDocument() != nullptr;
}

// The definitions of SQL_PARAM by code; of two with one code, the last one stands.
std::map<std::u16string, ParameterDefinition> GetReportParams(CSingleDataSource& data_source,
                                                              LONG report_id) {
  com::ScopedBstr stored;
  ReadReportColumn(data_source, kSqlParamColumn, report_id, stored.out());
  CXmlStringParser parser(stored.get());
  const xercesc::DOMDocument* document = parser.GetDocument();
  // A damaged definition is refused whole rather than read up to the damage.
  if (document == nullptr) throw CEMRException(std::u16string(u"装载XML内容错误."));
  std::map<std::u16string, ParameterDefinition> definitions;
  for (ParameterDefinition& definition : ParamElements(document)) {
    std::u16string code = definition.code;
    definitions.insert_or_assign(std::move(code), std::move(definition));
  }
  return definitions;
}

// The value a definition takes: the automatic value of its kind, else `value`.
const std::u16string& ValueOf(const ParameterDefinition& definition, const std::u16string& value,
                              const AutoReplacements& automatic) {
  const auto found = automatic.find(definition.autoreplace);
  return found == automatic.end() ? value : found->second;
}

}  // namespace

AutoReplacements AutoReplacementValues(const CClientInfo& client) {
  return {{u"1", client.GetUserId()}, {u"2", client.GetDeptId()}};
}

ReportParameters SubstituteParams(CSingleDataSource& data_source, LONG report_id, BSTR values,
                                  BSTR client_info) {
  CXmlProperty::Map sent;
  if (SysStringLen(values) != 0) sent = korvalis::PropertyBag(values).GetMap();
  const std::map<std::u16string, ParameterDefinition> definitions =
      GetReportParams(data_source, report_id);
  const AutoReplacements automatic =
      AutoReplacementValues(CClientInfo(ArgumentText(client_info)));
  ReportParameters parameters;
  for (const auto& [code, definition] : definitions) {
    const auto value = sent.find(code);
    parameters[code] = {
        ParameterTypeOf(definition.type),
        ValueOf(definition, value == sent.end() ? definition.value : value->second, automatic)};
  }
  return parameters;
}

std::vector<ParameterDefinition> RequestParameters(BSTR request,
                                                   const AutoReplacements& automatic) {
  CXmlStringParser parser(request);
  const xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr) {
    if (IsPrologOnly(request)) return {};
    throw CEMRException(WithEntitiesCause(kUnparsableProperties, parser.EntityRefusal()));
  }
  // A request without a document element has no parameters.
  std::vector<ParameterDefinition> parameters = ParamElements(document->getDocumentElement());
  for (ParameterDefinition& parameter : parameters) {
    parameter.value = ValueOf(parameter, parameter.value, automatic);
  }
  return parameters;
}

}  // namespace korvalis::report
