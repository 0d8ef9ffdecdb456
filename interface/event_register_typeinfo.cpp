// The type information of IEventRegister: dispatch identifiers, names, help strings and parameters
// as the type library declares them.
#include "interface/event_register_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kRegisterEventParams[] = {Param::In(u"bstrEventInfo", VT_BSTR),
                                              Param::Retval(u"pbstrReturnInfo", VT_BSTR)};
constexpr ParamInfo kGetRegisterEventListParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                     Param::Retval(u"pbstrEventList", VT_BSTR)};
constexpr ParamInfo kRegisterEvent2Params[] = {Param::In(u"bstrEventInfo", VT_BSTR),
                                               Param::Retval(u"pbstrReturnInfo", VT_BSTR)};
constexpr ParamInfo kUnRegisterEventParams[] = {Param::In(u"bstrEventInfo", VT_BSTR),
                                                Param::Retval(u"pbstrReturnInfo", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"RegisterEvent", u"方法RegisterEvent", kRegisterEventParams,
     Invoker<&IEventRegister::RegisterEvent>, DataAccess::kWrites},
    {2, u"GetRegisterEventList", u"方法GetRegisterEventList", kGetRegisterEventListParams,
     Invoker<&IEventRegister::GetRegisterEventList>},
    {3, u"RegisterEvent2", u"方法 RegisterEvent", kRegisterEvent2Params,
     Invoker<&IEventRegister::RegisterEvent2>, DataAccess::kWrites},
    {4, u"UnRegisterEvent", u"method UnRegisterEvent", kUnRegisterEventParams,
     Invoker<&IEventRegister::UnRegisterEvent>, DataAccess::kWrites},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIEventRegisterInfo{IID_IEventRegister, u"IEventRegister",
                                                           u"IEventRegister 接口", kMethods};
