// The type information of IFunctionAdmin: dispatch identifiers, names, help strings and parameters
// as the type library declares them.
#include "interface/function_admin_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kGetFunctionConfigParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                  Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kSetFunctionConfigParams[] = {Param::In(u"bstrCondition", VT_BSTR)};
constexpr ParamInfo kDelFunctionConfigParams[] = {Param::In(u"bstrCondition", VT_BSTR)};
constexpr ParamInfo kSetFunctionGroupParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                 Param::Retval(u"pbstrId", VT_BSTR)};
constexpr ParamInfo kDelFunctionGroupParams[] = {Param::In(u"bstrCondition", VT_BSTR)};
constexpr ParamInfo kGetGroupMenuParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                             Param::Retval(u"pbstrList", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"GetFunctionConfig", u"method GetFunctionConfig", kGetFunctionConfigParams,
     Invoker<&IFunctionAdmin::GetFunctionConfig>},
    {2, u"SetFunctionConfig", u"method SetFunctionConfig", kSetFunctionConfigParams,
     Invoker<&IFunctionAdmin::SetFunctionConfig>, DataAccess::kWrites},
    {3, u"DelFunctionConfig", u"method DelFunctionConfig", kDelFunctionConfigParams,
     Invoker<&IFunctionAdmin::DelFunctionConfig>, DataAccess::kWrites},
    {4, u"SetFunctionGroup", u"method SetFunctionGroup", kSetFunctionGroupParams,
     Invoker<&IFunctionAdmin::SetFunctionGroup>, DataAccess::kWrites},
    {5, u"DelFunctionGroup", u"method DelFunctionGroup", kDelFunctionGroupParams,
     Invoker<&IFunctionAdmin::DelFunctionGroup>, DataAccess::kWrites},
    {6, u"GetGroupMenu", u"method GetGroupMenu", kGetGroupMenuParams,
     Invoker<&IFunctionAdmin::GetGroupMenu>},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIFunctionAdminInfo{IID_IFunctionAdmin, u"IFunctionAdmin",
                                                           u"IFunctionAdmin 接口", kMethods};
