// The type information of IEventTrigger: dispatch identifiers, names, help strings and parameters
// as the type library declares them.
#include "interface/event_trigger_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kOnSysEventParams[] = {Param::In(u"bstrEventInfo", VT_BSTR)};
constexpr ParamInfo kSaveSysEventPropertyParams[] = {Param::In(u"bstrProperty", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"OnSysEvent", u"方法OnSysEvent", kOnSysEventParams, Invoker<&IEventTrigger::OnSysEvent>,
     DataAccess::kWrites},
    {2, u"SaveSysEventProperty", u"方法SaveSysEventProperty", kSaveSysEventPropertyParams,
     Invoker<&IEventTrigger::SaveSysEventProperty>},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIEventTriggerInfo{IID_IEventTrigger, u"IEventTrigger",
                                                          u"IEventTrigger 接口", kMethods};
