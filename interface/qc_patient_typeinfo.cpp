// The type information of IQCPatient: dispatch identifiers, names, help strings and parameters as
// the type library declares them.
#include "interface/qc_patient_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kSendRectifyInfoParams[] = {Param::In(u"bstrInfo", VT_BSTR),
                                                Param::In(u"lngRectifyType", VT_I4),
                                                Param::Retval(u"pbstrRectifyID", VT_BSTR)};
constexpr ParamInfo kGetEmrRectifyPropertyParams[] = {Param::In(u"bstrRectifyID", VT_BSTR),
                                                      Param::Retval(u"pbstrInfo", VT_BSTR)};
constexpr ParamInfo kGetRectifyInfoParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                               Param::Retval(u"pbstrInfo", VT_BSTR)};
constexpr ParamInfo kFeedBackRectifyInfoParams[] = {Param::In(u"bstrRectifyID", VT_BSTR),
                                                    Param::In(u"bstrInfo", VT_BSTR)};
constexpr ParamInfo kGetRectificationPatientListParams[] = {
    Param::In(u"bstrFilter", VT_BSTR), Param::Retval(u"pbstrPatientList", VT_BSTR)};
constexpr ParamInfo kGetEmrGradeInfoParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kSaveEmrGradeParams[] = {Param::In(u"bstrList", VT_BSTR)};
constexpr ParamInfo kGetQCPatientGradeListParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                      Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kUpdateRectifyInfoParams[] = {Param::In(u"bstrInfo", VT_BSTR)};
constexpr ParamInfo kGetContentQCInfoParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                 Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kSaveContentQCInfoParams[] = {Param::In(u"bstrList", VT_BSTR)};
constexpr ParamInfo kGetPatientPropertyParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                   Param::Retval(u"pbstrPatientList", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"SendRectifyInfo", u"method SendRectifyInfo", kSendRectifyInfoParams,
     Invoker<&IQCPatient::SendRectifyInfo>, DataAccess::kWrites},
    {2, u"GetEmrRectifyProperty", u"method GetEmrRectifyProperty", kGetEmrRectifyPropertyParams,
     Invoker<&IQCPatient::GetEmrRectifyProperty>},
    {3, u"GetRectifyInfo", u"method GetRectifyInfo", kGetRectifyInfoParams,
     Invoker<&IQCPatient::GetRectifyInfo>},
    {4, u"FeedBackRectifyInfo", u"method FeedBackRectifyInfo", kFeedBackRectifyInfoParams,
     Invoker<&IQCPatient::FeedBackRectifyInfo>},
    {5, u"GetRectificationPatientList", u"method GetRectificationPatientList",
     kGetRectificationPatientListParams, Invoker<&IQCPatient::GetRectificationPatientList>},
    {6, u"GetEmrGradeInfo", u"method GetEmrGradeInfo", kGetEmrGradeInfoParams,
     Invoker<&IQCPatient::GetEmrGradeInfo>},
    {7, u"SaveEmrGrade", u"method SaveEmrGrade", kSaveEmrGradeParams,
     Invoker<&IQCPatient::SaveEmrGrade>, DataAccess::kWrites},
    {8, u"GetQCPatientGradeList", u"method GetQCPatientGradeList", kGetQCPatientGradeListParams,
     Invoker<&IQCPatient::GetQCPatientGradeList>},
    {9, u"UpdateRectifyInfo", u"method UpdateRectifyInfo", kUpdateRectifyInfoParams,
     Invoker<&IQCPatient::UpdateRectifyInfo>, DataAccess::kWrites},
    {10, u"GetContentQCInfo", u"method GetContentQCInfo", kGetContentQCInfoParams,
     Invoker<&IQCPatient::GetContentQCInfo>},
    {11, u"SaveContentQCInfo", u"method SaveContentQCInfo", kSaveContentQCInfoParams,
     Invoker<&IQCPatient::SaveContentQCInfo>, DataAccess::kWrites},
    {12, u"GetPatientProperty", u"method GetPatientProperty", kGetPatientPropertyParams,
     Invoker<&IQCPatient::GetPatientProperty>},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIQCPatientInfo{IID_IQCPatient, u"IQCPatient",
                                                       u"IQCPatient 接口", kMethods};
