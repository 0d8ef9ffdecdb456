// The type information of IMonitorService: dispatch identifiers, names, help strings and parameters
// as the type library declares them.
#include "interface/monitor_service_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kAddServiceListParams[] = {Param::In(u"bstrServiceList", VT_BSTR)};
constexpr ParamInfo kGetServiceListParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                               Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kDeleteServiceListParams[] = {Param::In(u"bstrServiceList", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"MonitorService", u"method MonitorService", {}, Invoker<&IMonitorService::MonitorService>},
    {2, u"AddServiceList", u"method AddServiceList", kAddServiceListParams,
     Invoker<&IMonitorService::AddServiceList>, DataAccess::kWrites},
    {3, u"GetServiceList", u"method GetServiceList", kGetServiceListParams,
     Invoker<&IMonitorService::GetServiceList>},
    {4, u"DeleteServiceList", u"method DeleteServiceList", kDeleteServiceListParams,
     Invoker<&IMonitorService::DeleteServiceList>, DataAccess::kWrites},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIMonitorServiceInfo{IID_IMonitorService, u"IMonitorService",
                                                            u"IMonitorService 接口", kMethods};
