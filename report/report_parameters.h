// Where the parameter values of a report run come from. An old-format report defines its
// parameters in its SQL_PARAM document and the caller sends values by code; a new-format
// request carries each parameter whole (code, type, value). Either way a parameter may ask for
// an automatic value from the caller's identity (its auto-replacement kind), which wins over
// any value sent.
//
//   SQL_PARAM:       <root><param code="dept" type="STRING" autoreplace="2">0101</param></root>
//   old-format run:  <root><dept>0102</dept></root>              (a property bag)
//   new-format run:  <root><param code="dept" type="STRING" autoreplace="2">0102</param></root>
//
// Every `param` element counts, at any depth. The caller's identity is parsed on every run,
// whether or not a parameter asks for it.
//
// Thread-safety: stateless functions; concurrent calls work on their own data sources.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/com/bstr.h"
#include "platform/com/types.h"
#include "report/parameter_placement.h"

class CClientInfo;
class CSingleDataSource;

namespace korvalis::report {

// The automatic values of a caller by auto-replacement kind: "1" the user's ID, "2" the
// department's ID (the kinds of kUserOrDepartmentList).
using AutoReplacements = std::map<std::u16string, std::u16string>;
AutoReplacements AutoReplacementValues(const CClientInfo& client);

// A parameter as SQL_PARAM defines it or a new-format request sends it.
struct ParameterDefinition {
  std::u16string code;
  std::u16string type;
  std::u16string autoreplace;
  std::u16string value;  // the default value, or the value sent
};

// The parameters of an old-format report by code: its definitions, each value taken from
// `values` (a property bag of code to value; values of codes not defined are ignored), then
// from the caller's identity where the definition asks for it. Throws "解析属性信息错误." when
// `values` or `client_info` does not parse, and "装载XML内容错误." when the stored SQL_PARAM is not
// well formed; a report without a row fails on reading SQL_PARAM.
ReportParameters SubstituteParams(CSingleDataSource& data_source, LONG report_id, BSTR values,
                                  BSTR client_info);

// The `param` elements of a new-format request in document order, each value replaced by the
// automatic value its kind asks for. A request that is empty or has no document element has
// none; one that does not parse throws "解析属性信息错误.".
std::vector<ParameterDefinition> RequestParameters(BSTR request, const AutoReplacements& automatic);

}  // namespace korvalis::report
