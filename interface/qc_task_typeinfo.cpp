// The type information of IQCTask: dispatch identifiers, names, help strings and parameters as
// the type library declares them.
#include "interface/qc_task_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kNewParams[] = {Param::In(u"bstrProperty", VT_BSTR),
                                    Param::Retval(u"pbstrTaskID", VT_BSTR)};
constexpr ParamInfo kModifyParams[] = {Param::In(u"bstrTaskID", VT_BSTR),
                                       Param::In(u"bstrProperty", VT_BSTR)};
constexpr ParamInfo kDeleteParams[] = {Param::In(u"bstrTaskID", VT_BSTR)};
constexpr ParamInfo kGetPropertyParams[] = {Param::In(u"bstrTaskID", VT_BSTR),
                                            Param::Retval(u"pbstrProperty", VT_BSTR)};
constexpr ParamInfo kGetTaskListParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                            Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetPatientListParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                               Param::Retval(u"pbstrPatientList", VT_BSTR)};
constexpr ParamInfo kAddPatientParams[] = {Param::In(u"bstrTaskID", VT_BSTR),
                                           Param::In(u"bstrPatientList", VT_BSTR)};
constexpr ParamInfo kDispatchPatientParams[] = {Param::In(u"bstrUserID", VT_BSTR),
                                                Param::In(u"bstrPatientList", VT_BSTR)};
constexpr ParamInfo kRemovePatientParams[] = {Param::In(u"bstrCondition", VT_BSTR)};
constexpr ParamInfo kGetTaskIdParams[] = {Param::In(u"bstrOwnerType", VT_BSTR),
                                          Param::Retval(u"pbstrTaskID", VT_BSTR)};
constexpr ParamInfo kGetDeptQCPatientListParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                     Param::Retval(u"pbstrPatientList", VT_BSTR)};
constexpr ParamInfo kNewDeptQCTaskParams[] = {Param::In(u"bstrProperty", VT_BSTR)};
constexpr ParamInfo kGetQCRectifyListParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                 Param::Retval(u"pbstrRectifyList", VT_BSTR)};
constexpr ParamInfo kSetTaskSummarizeParams[] = {Param::In(u"bstrProperty", VT_BSTR)};
constexpr ParamInfo kGetTaskSummarizeParams[] = {Param::In(u"bstrTaskID", VT_BSTR),
                                                 Param::In(u"bstrUserID", VT_BSTR),
                                                 Param::Retval(u"pbstrTaskSummarize", VT_BSTR)};
constexpr ParamInfo kGetToSummariseTaskParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                   Param::Retval(u"pbstrTaskList", VT_BSTR)};
constexpr ParamInfo kNewMonthTaskForDeptParams[] = {Param::In(u"bstrCondition", VT_BSTR)};

// Dispatch identifier 6 is not used; the vtable slots follow one another without a gap.
constexpr MethodInfo kMethods[] = {
    {1, u"New", u"method New", kNewParams, Invoker<&IQCTask::New>, DataAccess::kWrites},
    {2, u"Modify", u"method Modify", kModifyParams, Invoker<&IQCTask::Modify>, DataAccess::kWrites},
    {3, u"Delete", u"method Delete", kDeleteParams, Invoker<&IQCTask::Delete>, DataAccess::kWrites},
    {4, u"GetProperty", u"method GetProperty", kGetPropertyParams, Invoker<&IQCTask::GetProperty>},
    {5, u"GetTaskList", u"method GetTaskList", kGetTaskListParams, Invoker<&IQCTask::GetTaskList>},
    {7, u"GetPatientList", u"method GetPatientList", kGetPatientListParams,
     Invoker<&IQCTask::GetPatientList>},
    {8, u"AddPatient", u"method AddPatient", kAddPatientParams, Invoker<&IQCTask::AddPatient>,
     DataAccess::kWrites},
    {9, u"DispatchPatient", u"method DispatchPatient", kDispatchPatientParams,
     Invoker<&IQCTask::DispatchPatient>, DataAccess::kWrites},
    {10, u"RemovePatient", u"method RemovePatient", kRemovePatientParams,
     Invoker<&IQCTask::RemovePatient>, DataAccess::kWrites},
    {11, u"GetTaskId", u"method GetTaskId", kGetTaskIdParams, Invoker<&IQCTask::GetTaskId>},
    {12, u"GetDeptQCPatientList", u"method GetDeptQCPatientList", kGetDeptQCPatientListParams,
     Invoker<&IQCTask::GetDeptQCPatientList>},
    {13, u"NewDeptQCTask", u"method NewDeptQCTask", kNewDeptQCTaskParams,
     Invoker<&IQCTask::NewDeptQCTask>, DataAccess::kWrites},
    {14, u"GetQCRectifyList", u"method GetQCRectifyList", kGetQCRectifyListParams,
     Invoker<&IQCTask::GetQCRectifyList>},
    {15, u"SetTaskSummarize", u"method SetTaskSummarize", kSetTaskSummarizeParams,
     Invoker<&IQCTask::SetTaskSummarize>, DataAccess::kWrites},
    {16, u"GetTaskSummarize", u"method GetTaskSummarize", kGetTaskSummarizeParams,
     Invoker<&IQCTask::GetTaskSummarize>},
    {17, u"GetToSummariseTask", u"method GetToSummariseTask", kGetToSummariseTaskParams,
     Invoker<&IQCTask::GetToSummariseTask>},
    {18, u"NewMonthTaskForDept", u"method NewMonthTaskForDept", kNewMonthTaskForDeptParams,
     Invoker<&IQCTask::NewMonthTaskForDept>, DataAccess::kWrites},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIQCTaskInfo{IID_IQCTask, u"IQCTask", u"IQCTask Interface",
                                                    kMethods};
