// The type information of ISysEvent: dispatch identifiers, names, help strings and parameters as
// the type library declares them.
#include "interface/sys_event_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kInitNewParams[] = {Param::In(u"bstrProperty", VT_BSTR),
                                        Param::Retval(u"pbstrNewCode", VT_BSTR)};
constexpr ParamInfo kGetPropertyParams[] = {Param::In(u"bstrEventCode", VT_BSTR),
                                            Param::Retval(u"pbstrProperty", VT_BSTR)};
constexpr ParamInfo kSavePropertyParams[] = {Param::In(u"bstrEventCode", VT_BSTR),
                                             Param::In(u"bstrProperty", VT_BSTR)};
constexpr ParamInfo kDeleteParams[] = {Param::In(u"bstrEventCode", VT_BSTR)};
constexpr ParamInfo kGetEventRuleListParams[] = {Param::In(u"bstrEventCode", VT_BSTR),
                                                 Param::In(u"lngOwnerType", VT_I4),
                                                 Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kSetEventRuleListParams[] = {Param::In(u"bstrEventCode", VT_BSTR),
                                                 Param::In(u"lngOwnerType", VT_I4),
                                                 Param::In(u"bstrList", VT_BSTR)};
constexpr ParamInfo kAddEventRuleParams[] = {Param::In(u"bstrEventCode", VT_BSTR),
                                             Param::In(u"lngRuleID", VT_I4),
                                             Param::In(u"lngOwnerType", VT_I4)};
constexpr ParamInfo kDeleteEventRuleParams[] = {Param::In(u"bstrEventCode", VT_BSTR),
                                                Param::In(u"lngRuleID", VT_I4),
                                                Param::In(u"lngOwnerType", VT_I4)};
constexpr ParamInfo kGetOpposeEventParams[] = {Param::In(u"bstrEventCode", VT_BSTR),
                                               Param::Retval(u"pbstrCode", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"InitNew", u"method InitNew", kInitNewParams, Invoker<&ISysEvent::InitNew>},
    {2, u"GetProperty", u"method GetProperty", kGetPropertyParams,
     Invoker<&ISysEvent::GetProperty>},
    {3, u"SaveProperty", u"method SaveProperty", kSavePropertyParams,
     Invoker<&ISysEvent::SaveProperty>},
    {4, u"Delete", u"method Delete", kDeleteParams, Invoker<&ISysEvent::Delete>},
    {5, u"GetEventRuleList", u"method GetEventRuleList", kGetEventRuleListParams,
     Invoker<&ISysEvent::GetEventRuleList>},
    {6, u"SetEventRuleList", u"method SetEventRuleList", kSetEventRuleListParams,
     Invoker<&ISysEvent::SetEventRuleList>, DataAccess::kWrites},
    {7, u"AddEventRule", u"method AddEventRule", kAddEventRuleParams,
     Invoker<&ISysEvent::AddEventRule>, DataAccess::kWrites},
    {8, u"DeleteEventRule", u"method DeleteEventRule", kDeleteEventRuleParams,
     Invoker<&ISysEvent::DeleteEventRule>, DataAccess::kWrites},
    {9, u"GetOpposeEvent", u"method GetOpposeEvent", kGetOpposeEventParams,
     Invoker<&ISysEvent::GetOpposeEvent>},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kISysEventInfo{IID_ISysEvent, u"ISysEvent",
                                                      u"ISysEvent Interface", kMethods};
