// The type information of IMyService: dispatch identifiers, names, help strings and parameters as
// the type library declares them.
#include "interface/my_service_interface.h"

namespace {

using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kInitParams[] = {Param::In(u"bstrSession", VT_BSTR)};
constexpr ParamInfo kGetToWriteEMRParams[] = {Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetRollbackEMRParams[] = {Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetConsultRequestParams[] = {Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetNotifyMessageParams[] = {Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetToCommitEMRParams[] = {Param::Retval(u"pbstrList", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"Init", u"method Init", kInitParams, Invoker<&IMyService::Init>},
    {2, u"GetToWriteEMR", u"method GetToWriteEMR", kGetToWriteEMRParams,
     Invoker<&IMyService::GetToWriteEMR>},
    {3, u"GetRollbackEMR", u"method GetRollbackEMR", kGetRollbackEMRParams,
     Invoker<&IMyService::GetRollbackEMR>},
    {4, u"GetConsultRequest", u"method GetConsultRequest", kGetConsultRequestParams,
     Invoker<&IMyService::GetConsultRequest>},
    {5, u"GetNotifyMessage", u"method GetNotifyMessage", kGetNotifyMessageParams,
     Invoker<&IMyService::GetNotifyMessage>},
    {6, u"GetToCommitEMR", u"method GetToCommitEMR", kGetToCommitEMRParams,
     Invoker<&IMyService::GetToCommitEMR>},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIMyServiceInfo{IID_IMyService, u"IMyService",
                                                       u"IMyService Interface", kMethods};
