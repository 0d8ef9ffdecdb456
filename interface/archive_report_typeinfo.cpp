// The type information of IArchiveReport: dispatch identifiers, names, help strings and parameters
// as the type library declares them.
#include "interface/archive_report_interface.h"

namespace {

using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kInitParams[] = {Param::In(u"bstrSession", VT_BSTR)};
constexpr ParamInfo kGetInDeptListParams[] = {Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetWriterInfoListParams[] = {
    Param::In(u"bstrStartDate", VT_BSTR), Param::In(u"bstrEndDate", VT_BSTR),
    Param::In(u"bstrDeptID", VT_BSTR), Param::In(u"bstrTempID", VT_BSTR),
    Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetTimeOutWriteListParams[] = {Param::In(u"bstrDeptID", VT_BSTR),
                                                    Param::In(u"bstrEMRType", VT_BSTR),
                                                    Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetTimeOutUnwriteListParams[] = {
    Param::In(u"bstrStartDate", VT_BSTR), Param::In(u"bstrEndDate", VT_BSTR),
    Param::In(u"bstrDeptID", VT_BSTR), Param::Retval(u"pbstrList", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"Init", u"method Init", kInitParams, Invoker<&IArchiveReport::Init>},
    {2, u"GetInDeptList", u"method GetInDeptList", kGetInDeptListParams,
     Invoker<&IArchiveReport::GetInDeptList>},
    {3, u"GetWriterInfoList", u"method GetWriterInfoList", kGetWriterInfoListParams,
     Invoker<&IArchiveReport::GetWriterInfoList>},
    {4, u"GetTimeOutWriteList", u"method GetTimeOutWriteList", kGetTimeOutWriteListParams,
     Invoker<&IArchiveReport::GetTimeOutWriteList>},
    {5, u"GetTimeOutUnwriteList", u"method GetTimeOutUnwriteList", kGetTimeOutUnwriteListParams,
     Invoker<&IArchiveReport::GetTimeOutUnwriteList>},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIArchiveReportInfo{IID_IArchiveReport, u"IArchiveReport",
                                                           u"IArchiveReport Interface", kMethods};
