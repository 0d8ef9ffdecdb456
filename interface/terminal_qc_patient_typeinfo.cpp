// The type information of ITerminalQCPatient: dispatch identifiers, names, help strings and
// parameters as the type library declares them.
#include "interface/terminal_qc_patient_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kGetDeptListParams[] = {Param::In(u"lngTaskID", VT_I4),
                                            Param::Retval(u"pbstrDeptList", VT_BSTR)};
// GetDeptPatientList: a parameter declared without a direction attribute is an input.
constexpr ParamInfo kGetDeptPatientListParams[] = {Param::In(u"lngTaskID", VT_I4),
                                                   Param::In(u"bstrDeptID", VT_BSTR),
                                                   Param::Retval(u"pbstrPatientList", VT_BSTR)};
constexpr ParamInfo kGetPatientListParams[] = {Param::In(u"lngTaskID", VT_I4),
                                               Param::Retval(u"pbstrPatientList", VT_BSTR)};
constexpr ParamInfo kManagePatientParams[] = {Param::In(u"bstrPatientList", VT_BSTR),
                                              Param::In(u"bstrClientInfo", VT_BSTR)};
constexpr ParamInfo kSearchPatientParams[] = {Param::In(u"bstrWhatInfo", VT_BSTR),
                                              Param::Retval(u"pbstrPatientList", VT_BSTR)};
constexpr ParamInfo kScorePatientParams[] = {
    Param::In(u"bstrPatientID", VT_BSTR), Param::In(u"bstrEventNo", VT_BSTR),
    Param::In(u"bstrScoreInfo", VT_BSTR), Param::In(u"bstrClientInfo", VT_BSTR)};
constexpr ParamInfo kGetPatientScoreParams[] = {
    Param::In(u"lngTaskID", VT_I4), Param::In(u"bstrPatientID", VT_BSTR),
    Param::In(u"bstrEventNo", VT_BSTR), Param::Retval(u"pbstrScore", VT_BSTR)};
constexpr ParamInfo kRemoveAllPatientParams[] = {Param::In(u"lngTaskID", VT_I4)};

constexpr MethodInfo kMethods[] = {
    {1, u"GetDeptList", u"method GetDeptList", kGetDeptListParams,
     Invoker<&ITerminalQCPatient::GetDeptList>},
    {2, u"GetDeptPatientList", u"method GetDeptPatientList", kGetDeptPatientListParams,
     Invoker<&ITerminalQCPatient::GetDeptPatientList>},
    {3, u"GetPatientList", u"method GetPatientList", kGetPatientListParams,
     Invoker<&ITerminalQCPatient::GetPatientList>},
    {4, u"ManagePatient", u"method ManagePatient", kManagePatientParams,
     Invoker<&ITerminalQCPatient::ManagePatient>, DataAccess::kWrites},
    {5, u"SearchPatient", u"method SearchPatient", kSearchPatientParams,
     Invoker<&ITerminalQCPatient::SearchPatient>},
    {6, u"ScorePatient", u"method ScorePatient", kScorePatientParams,
     Invoker<&ITerminalQCPatient::ScorePatient>, DataAccess::kWrites},
    {7, u"GetPatientScore", u"method GetPatientScore", kGetPatientScoreParams,
     Invoker<&ITerminalQCPatient::GetPatientScore>},
    {8, u"RemoveAllPatient", u"method RemoveAllPatient", kRemoveAllPatientParams,
     Invoker<&ITerminalQCPatient::RemoveAllPatient>},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kITerminalQCPatientInfo{
    IID_ITerminalQCPatient, u"ITerminalQCPatient", u"ITerminalQCPatient Interface", kMethods};
