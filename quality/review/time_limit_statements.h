// The statement of the time-limit QC list over many visits, as CBQCCollector::GetQCList runs
// it: the rule instances and the superior-signature deadlines of the visits that the condition
// document selects, joined by UNION.
//
// Thread-safety: stateless; the dialect is only read.
#pragma once

#include <string>

class CDBType;
class CXmlProperty;

namespace korvalis::review {

// Throws CEMRException when the condition is not well formed ("解析属性信息错误.") or its
// `rule_id` is not a list of numbers.
std::u16string QcListStatement(const CDBType& dialect, const CXmlProperty& condition);

}  // namespace korvalis::review
