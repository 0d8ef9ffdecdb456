// The type information of IEMRDictT: dispatch identifiers, names, help strings and parameters as
// the type library declares them.
#include "interface/emr_dict_t_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kNewDictParams[] = {Param::In(u"bstrProperty", VT_BSTR)};
constexpr ParamInfo kGetDictByDictNameParams[] = {Param::In(u"bstrDictName", VT_BSTR),
                                                  Param::Retval(u"pbstrDictProperty", VT_BSTR)};
constexpr ParamInfo kSetDictContentParams[] = {Param::In(u"bstrDictName", VT_BSTR),
                                               Param::In(u"bstrDictContent", VT_BSTR)};
constexpr ParamInfo kGetDictContentParams[] = {Param::In(u"bstrDictName", VT_BSTR),
                                               Param::Retval(u"pbstrDictContent", VT_BSTR)};
constexpr ParamInfo kGetDataListParams[] = {Param::In(u"bstrDictName", VT_BSTR),
                                            Param::Retval(u"pbstrDataList", VT_BSTR)};
constexpr ParamInfo kGetDictListParams[] = {Param::Retval(u"pbstrDictList", VT_BSTR)};
constexpr ParamInfo kDeleteDictByNameParams[] = {Param::In(u"bstrDictName", VT_BSTR)};
constexpr ParamInfo kSetDictNameParams[] = {Param::In(u"bstrDictList", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"NewDict", u"method NewDict", kNewDictParams, Invoker<&IEMRDictT::NewDict>,
     DataAccess::kWrites},
    {2, u"GetDictByDictName", u"method GetDictByDictName", kGetDictByDictNameParams,
     Invoker<&IEMRDictT::GetDictByDictName>},
    {3, u"SetDictContent", u"method SetDictContent", kSetDictContentParams,
     Invoker<&IEMRDictT::SetDictContent>, DataAccess::kWrites},
    {4, u"GetDictContent", u"method GetDictContent", kGetDictContentParams,
     Invoker<&IEMRDictT::GetDictContent>},
    {5, u"GetDataList", u"method GetDataList", kGetDataListParams,
     Invoker<&IEMRDictT::GetDataList>},
    {6, u"GetDictList", u"method GetDictList", kGetDictListParams,
     Invoker<&IEMRDictT::GetDictList>},
    {7, u"DeleteDictByName", u"method DeleteDictByName", kDeleteDictByNameParams,
     Invoker<&IEMRDictT::DeleteDictByName>, DataAccess::kWrites},
    {8, u"SetDictName", u"method SetDictName", kSetDictNameParams, Invoker<&IEMRDictT::SetDictName>,
     DataAccess::kWrites},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIEMRDictTInfo{IID_IEMRDictT, u"IEMRDictT",
                                                      u"IEMRDictT Interface", kMethods};
