// The self-grade list: the visits a user manages (TELV_MANAGE_PATIENT), each with the state of
// its self-grade. Self-grades are rows of PEV_GRADE_PATIENT under the reserved task id
// kSelfGradeTaskId, which has no row of its own in PEV_GRADE_TASK. The list is no method of
// its own: the task's patient list (CBQCTask::GetPatientList) hands a condition that names the
// self-grade task over to it.
//
// Thread-safety: stateless; concurrent calls work on their own data sources.
#pragma once

#include "platform/com/bstr.h"

class CEMRDataSource;

namespace korvalis::quality {

// The task id under which the self-grades are stored.
inline constexpr char16_t kSelfGradeTaskId[] = u"0000-self-grade-0000";

// The managed visits of the condition's "user_id", ungraded ones first and then the newest
// grade first, as "<?xml version='1.0' ?><root>" with one `item` element per visit and
// "</root>", stored through `pbstrPatientList`. An empty user manages no visit. Returns 0;
// throws CEMRException "解析属性信息错误." for a condition that is not well-formed XML, and
// what the data source throws.
long GetSelfGradePatientList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                             BSTR* pbstrPatientList);

}  // namespace korvalis::quality
