// The type information of IConfigTask: dispatch identifiers, names, help strings and parameters as
// the type library declares them.
#include "interface/config_task_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kGetQcTaskCountListParams[] = {
    Param::In(u"strUserId", VT_BSTR), Param::In(u"strDeptId", VT_BSTR),
    Param::In(u"lngUserIdentity", VT_I4), Param::Retval(u"bstrList", VT_BSTR)};
constexpr ParamInfo kGetTaskPatientListParams[] = {
    Param::In(u"strUserId", VT_BSTR), Param::In(u"strDeptId", VT_BSTR),
    Param::In(u"lngUserIdentity", VT_I4), Param::In(u"strTaskId", VT_BSTR),
    Param::Retval(u"bstrList", VT_BSTR)};
constexpr ParamInfo kNewTendTaskParams[] = {Param::In(u"bstrProperty", VT_BSTR),
                                            Param::Retval(u"plngNewTaskId", VT_I4)};
constexpr ParamInfo kGetTendTaskListParams[] = {Param::In(u"strTaskId", VT_BSTR),
                                                Param::Retval(u"bstrList", VT_BSTR)};
constexpr ParamInfo kUpdateTendTaskParams[] = {Param::In(u"bstrProperty", VT_BSTR),
                                               Param::In(u"bstrTaskID", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"GetQcTaskCountList", u"method GetQcTaskCountList", kGetQcTaskCountListParams,
     Invoker<&IConfigTask::GetQcTaskCountList>},
    {2, u"GetTaskPatientList", u"method GetTaskPatientList", kGetTaskPatientListParams,
     Invoker<&IConfigTask::GetTaskPatientList>},
    {3, u"NewTendTask", u"method NewTendTask", kNewTendTaskParams,
     Invoker<&IConfigTask::NewTendTask>, DataAccess::kWrites},
    {4, u"GetTendTaskList", u"method GetTendTaskList", kGetTendTaskListParams,
     Invoker<&IConfigTask::GetTendTaskList>},
    {5, u"UpdateTendTask", u"method UpdateTendTask", kUpdateTendTaskParams,
     Invoker<&IConfigTask::UpdateTendTask>, DataAccess::kWrites},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIConfigTaskInfo{IID_IConfigTask, u"IConfigTask",
                                                        u"IConfigTask 接口", kMethods};
