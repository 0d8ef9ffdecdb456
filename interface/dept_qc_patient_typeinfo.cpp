// The type information of IDeptQCPatient: dispatch identifiers, names, help strings and parameters
// as the type library declares them.
#include "interface/dept_qc_patient_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kAddQCPatientParams[] = {
    Param::In(u"bstrPatientID", VT_BSTR), Param::In(u"bstrEventNo", VT_BSTR),
    Param::In(u"bstrClientInfo", VT_BSTR), Param::Retval(u"plngStatus", VT_I4)};
constexpr ParamInfo kRemoveQCPatientParams[] = {Param::In(u"bstrPatientID", VT_BSTR),
                                                Param::In(u"bstrEventNo", VT_BSTR),
                                                Param::In(u"bstrClientInfo", VT_BSTR)};
constexpr ParamInfo kScorePatientParams[] = {
    Param::In(u"bstrPatientID", VT_BSTR), Param::In(u"bstrEventNo", VT_BSTR),
    Param::In(u"bstrScoreInfo", VT_BSTR), Param::In(u"bstrClientInfo", VT_BSTR)};
// GetPatientScore: a parameter declared without a direction attribute is an input.
constexpr ParamInfo kGetPatientScoreParams[] = {Param::In(u"bstrPatientID", VT_BSTR),
                                                Param::In(u"bstrEventNo", VT_BSTR),
                                                Param::Retval(u"pbstrScoreInfo", VT_BSTR)};
constexpr ParamInfo kGetQCPatientParams[] = {Param::In(u"bstrDeptID", VT_BSTR),
                                             Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kVerifyPatientScoreParams[] = {Param::In(u"bstrPatientID", VT_BSTR),
                                                   Param::In(u"bstrEventNo", VT_BSTR),
                                                   Param::In(u"varCancel", VT_BOOL)};
constexpr ParamInfo kGenerateQCReportParams[] = {
    Param::In(u"bstrPatientID", VT_BSTR), Param::In(u"bstrEventNo", VT_BSTR),
    Param::In(u"bstrClientInfo", VT_BSTR), Param::InOut(u"pbstrReportID", VT_BSTR),
    Param::Retval(u"pbstrContent", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"AddQCPatient", u"method AddQCPatient", kAddQCPatientParams,
     Invoker<&IDeptQCPatient::AddQCPatient>, DataAccess::kWrites},
    {2, u"RemoveQCPatient", u"method RemoveQCPatient", kRemoveQCPatientParams,
     Invoker<&IDeptQCPatient::RemoveQCPatient>, DataAccess::kWrites},
    {3, u"ScorePatient", u"method ScorePatient", kScorePatientParams,
     Invoker<&IDeptQCPatient::ScorePatient>, DataAccess::kWrites},
    {4, u"GetPatientScore", u"method GetPatientScore", kGetPatientScoreParams,
     Invoker<&IDeptQCPatient::GetPatientScore>},
    {5, u"GetQCPatient", u"method GetQCPatient", kGetQCPatientParams,
     Invoker<&IDeptQCPatient::GetQCPatient>},
    {6, u"VerifyPatientScore", u"method VerifyPatientScore", kVerifyPatientScoreParams,
     Invoker<&IDeptQCPatient::VerifyPatientScore>, DataAccess::kWrites},
    {7, u"GenerateQCReport", u"method GenerateQCReport", kGenerateQCReportParams,
     Invoker<&IDeptQCPatient::GenerateQCReport>, DataAccess::kWrites},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIDeptQCPatientInfo{IID_IDeptQCPatient, u"IDeptQCPatient",
                                                           u"IDeptQCPatient Interface", kMethods};
