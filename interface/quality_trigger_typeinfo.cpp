// The type information of IQualityTrigger: dispatch identifiers, names, help strings and parameters
// as the type library declares them.
#include "interface/quality_trigger_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kFireOpenParams[] = {Param::In(u"bstrPatientID", VT_BSTR),
                                         Param::In(u"bstrEventNo", VT_BSTR),
                                         Param::In(u"bstrEventPro", VT_BSTR)};
constexpr ParamInfo kFireCloseParams[] = {Param::In(u"bstrPatientID", VT_BSTR),
                                          Param::In(u"bstrEventNo", VT_BSTR),
                                          Param::In(u"bstrEventPro", VT_BSTR)};
constexpr ParamInfo kCancelParams[] = {Param::In(u"bstrPatientID", VT_BSTR),
                                       Param::In(u"bstrEventNo", VT_BSTR),
                                       Param::In(u"lngTrigger", VT_I4)};
constexpr ParamInfo kReFireOpenParams[] = {Param::In(u"bstrEventInfo", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"FireOpen", u"method FireOpen", kFireOpenParams, Invoker<&IQualityTrigger::FireOpen>,
     DataAccess::kWrites},
    {2, u"FireClose", u"method FireClose", kFireCloseParams, Invoker<&IQualityTrigger::FireClose>,
     DataAccess::kWrites},
    {3, u"Cancel", u"method Cancel", kCancelParams, Invoker<&IQualityTrigger::Cancel>},
    {4, u"ReFireOpen", u"method ReFire", kReFireOpenParams, Invoker<&IQualityTrigger::ReFireOpen>,
     DataAccess::kWrites},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIQualityTriggerInfo{IID_IQualityTrigger, u"IQualityTrigger",
                                                            u"IQualityTrigger Interface", kMethods};
