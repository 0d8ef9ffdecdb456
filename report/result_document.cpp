#include "report/result_document.h"

#include <vector>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/XMLChar.hpp>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/client_info.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/query_statements.h"
#include "foundation/data/single_data_source.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_parser.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/ascii.h"
#include "report/report_parameters.h"
#include "report/report_queries.h"
#include "report/report_store.h"

namespace korvalis::report {

namespace {

using xercesc::DOMElement;

constexpr char16_t kNoStatements[] = u"报表未配置SQL语句,请与系统管理员联系.";

// One statement of the multi-SQL document.
struct ReportStatement {
  std::u16string sql;
  std::vector<std::u16string> names;
};

// `name` when it can name an element or attribute; otherwise throws `refusal` + name.
const std::u16string& CheckedName(const std::u16string& name, std::u16string_view refusal) {
  if (name.empty() || !xercesc::XMLChar1_0::isValidName(name.c_str(), name.size())) {
    throw CEMRException(std::u16string(refusal) + name);
  }
  return name;
}

const DOMElement* FirstElementBelow(const DOMElement* scope, const char16_t* tag) {
  const xercesc::DOMNodeList* found = scope->getElementsByTagName(tag);
  return found->getLength() == 0 ? nullptr : static_cast<const DOMElement*>(found->item(0));
}

// The statements of MULTI_SQL, every one checked before any runs: a document that is
// damaged or cut short is refused whole.
std::vector<ReportStatement> ReadStatements(CSingleDataSource& data_source, LONG report_id,
                                            bool content) {
  com::ScopedBstr stored;
  ReadReportColumn(data_source, kMultiSqlColumn, report_id, stored.out());
  CXmlStringParser parser(stored.get());
  const xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr || document->getDocumentElement() == nullptr) {
    throw CEMRException(std::u16string(kNoStatements));
  }
  const std::vector<const DOMElement*> sql_elements =
      DescendantElementsNamed(document->getDocumentElement(), u"sql");
  std::vector<ReportStatement> statements(sql_elements.size());
  for (std::size_t i = 0; i < sql_elements.size(); ++i) {
    const DOMElement* sql = sql_elements[i];
    const DOMElement* gramar = FirstElementBelow(sql, u"gramar");
    const DOMElement* property = FirstElementBelow(sql, u"property");
    if (gramar == nullptr || property == nullptr)
      throw CEMRException(std::u16string(kNoStatements));
    statements[i].sql = TextContent(gramar);
    for (const DOMElement* name : ElementChildren(property)) {
      statements[i].names.push_back(TextContent(name));
    }
    if (content && statements[i].names.empty()) {
      throw CEMRException(std::u16string(kNoStatements));
    }
  }
  return statements;
}

// The element of the statement at index `i`: "result1" for the first.
std::u16string ResultName(std::size_t i) {
  return u"result" + IntToString(static_cast<int>(i + 1));
}

// Appends `clientinfo` with the caller's user and department, and answers the caller's
// automatic values.
AutoReplacements ResolveAutoParams(DomDocumentBuilder& result, BSTR client_info) {
  const CClientInfo client(ArgumentText(client_info));
  DOMElement* info = result.Append(result.root(), u"clientinfo");
  result.SetAttribute(result.Append(info, u"user", client.GetUserName()), u"id",
                      client.GetUserId());
  result.SetAttribute(result.Append(info, u"dept", client.GetDeptName()), u"id",
                      client.GetDeptId());
  return AutoReplacementValues(client);
}

// Appends `clientinfo` and `params`, and answers the request's parameters by code (of two
// with one code, the last stands).
ReportParameters ParseResultParams(DomDocumentBuilder& result, BSTR request, BSTR client_info) {
  const AutoReplacements automatic = ResolveAutoParams(result, client_info);
  DOMElement* params = result.Append(result.root(), u"params");
  ReportParameters parameters;
  for (const ParameterDefinition& parameter : RequestParameters(request, automatic)) {
    result.Append(params, CheckedName(parameter.code, u"报表参数编码无效: "), parameter.value);
    parameters[parameter.code] = {ParameterTypeOf(parameter.type), parameter.value};
  }
  return parameters;
}

}  // namespace

void WriteResultXml(CSingleDataSource& data_source, LONG report_id, BSTR request,
                    BSTR client_info, ReportDataDocument& data) {
  std::u16string head;
  std::vector<ReportStatement> statements;
  {
    DomDocumentBuilder result(u"root");
    const ReportParameters parameters = ParseResultParams(result, request, client_info);
    statements = ReadStatements(data_source, report_id, true);
    // Every statement is completed and checked before the first one runs, so that a refused
    // value or a statement that is no query stops the report before it reads anything.
    for (ReportStatement& statement : statements) {
      statement.sql = PlaceReportParameters(data_source, report_id, statement.sql, parameters);
      CheckQueryStatement(statement.sql, kReportStatementNotAQuery);
    }
    head = result.Write();
  }
  // The document as the writer would write it whole: its head, `clientinfo` and `params`, up
  // to the end of `root` (which holds them, so that it is written "...</root>"); then the rows
  // of each statement, each in its result element.
  constexpr std::u16string_view kRootEnd = u"</root>";
  data.Append(std::u16string_view(head).substr(0, head.size() - kRootEnd.size()));
  for (std::size_t i = 0; i < statements.size(); ++i) {
    data.AppendRows(data_source, statements[i].sql, statements[i].names, ResultName(i));
  }
  data.Append(kRootEnd);
}

std::u16string ResultStructureXml(CSingleDataSource& data_source, LONG report_id, BSTR request,
                                  BSTR client_info) {
  DomDocumentBuilder result(u"root");
  ParseResultParams(result, request, client_info);
  constexpr std::u16string_view kBadName = u"查询元素名称无效: ";
  const std::vector<ReportStatement> statements = ReadStatements(data_source, report_id, false);
  for (std::size_t i = 0; i < statements.size(); ++i) {
    const std::vector<std::u16string>& names = statements[i].names;
    if (names.empty()) continue;
    DOMElement* element = result.Append(result.root(), ResultName(i));
    DOMElement* row = result.Append(element, CheckedName(names[0], kBadName));
    for (std::size_t n = 1; n < names.size(); ++n) {
      const std::u16string name(TrimAsciiSpaces(names[n]));
      result.SetAttribute(row, CheckedName(name, kBadName), u"");
    }
  }
  return result.Write();
}

}  // namespace korvalis::report
