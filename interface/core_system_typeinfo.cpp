// The type information of ICoreSystem: dispatch identifiers, names, help strings and parameters as
// the type library declares them.
#include "interface/core_system_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kGetDeptActivityParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kSetDeptActivityParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kDelDeptActivityParams[] = {Param::In(u"bstrCondition", VT_BSTR)};
constexpr ParamInfo kGetCoreReportParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                              Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kSetCoreReportParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                              Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kDelCoreReportParams[] = {Param::In(u"bstrCondition", VT_BSTR)};
constexpr ParamInfo kSaveDoctorShiftRecordParams[] = {Param::In(u"bstrCondition", VT_BSTR)};
constexpr ParamInfo kGetDoctorShiftRecordParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                     Param::Retval(u"pbstrProperty", VT_BSTR)};
constexpr ParamInfo kDeleteDoctorShiftRecordParams[] = {Param::In(u"bstrShiftRecordID", VT_BSTR)};
constexpr ParamInfo kDoctorShiftRecordNextParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                      Param::Retval(u"pbstrProperty", VT_BSTR)};
constexpr ParamInfo kDoctorShiftRecordPreviousParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                          Param::Retval(u"pbstrProperty", VT_BSTR)};
constexpr ParamInfo kDeptActivilyRecordNextParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                       Param::Retval(u"pbstrDataList", VT_BSTR)};
constexpr ParamInfo kDeptActivilyRecordPreviousParams[] = {
    Param::In(u"bstrCondition", VT_BSTR), Param::Retval(u"pbstrDataList", VT_BSTR)};
constexpr ParamInfo kRescueRecordNextParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                 Param::Retval(u"pbstrNestRecord", VT_BSTR)};
constexpr ParamInfo kRescueRecordPreviousParams[] = {
    Param::In(u"bstrCondition", VT_BSTR), Param::Retval(u"pbstrPreviousRecord", VT_BSTR)};
constexpr ParamInfo kGetRescueRecordParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kSetRescueRecordParams[] = {Param::In(u"bstrList", VT_BSTR),
                                                Param::Retval(u"pbstrId", VT_BSTR)};
constexpr ParamInfo kDelRescueRecordParams[] = {Param::In(u"bstrCondition", VT_BSTR)};
constexpr ParamInfo kRefreshRecordParams[] = {Param::In(u"bstrRecordList", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"GetDeptActivity", u"method GetDeptActivity", kGetDeptActivityParams,
     Invoker<&ICoreSystem::GetDeptActivity>},
    {2, u"SetDeptActivity", u"method SetDeptActivity", kSetDeptActivityParams,
     Invoker<&ICoreSystem::SetDeptActivity>, DataAccess::kWrites},
    {3, u"DelDeptActivity", u"method DelDeptActivity", kDelDeptActivityParams,
     Invoker<&ICoreSystem::DelDeptActivity>, DataAccess::kWrites},
    {4, u"GetCoreReport", u"method GetCoreReport", kGetCoreReportParams,
     Invoker<&ICoreSystem::GetCoreReport>},
    {5, u"SetCoreReport", u"method SetCoreReport", kSetCoreReportParams,
     Invoker<&ICoreSystem::SetCoreReport>, DataAccess::kWrites},
    {6, u"DelCoreReport", u"method DelCoreReport", kDelCoreReportParams,
     Invoker<&ICoreSystem::DelCoreReport>, DataAccess::kWrites},
    {7, u"SaveDoctorShiftRecord", u"method SaveDoctorShiftRecord", kSaveDoctorShiftRecordParams,
     Invoker<&ICoreSystem::SaveDoctorShiftRecord>},
    {8, u"GetDoctorShiftRecord", u"method GetDoctorShiftRecord", kGetDoctorShiftRecordParams,
     Invoker<&ICoreSystem::GetDoctorShiftRecord>},
    {9, u"DeleteDoctorShiftRecord", u"method DeleteDoctorShiftRecord",
     kDeleteDoctorShiftRecordParams, Invoker<&ICoreSystem::DeleteDoctorShiftRecord>,
     DataAccess::kWrites},
    {10, u"DoctorShiftRecordNext", u"method DoctorShiftRecordNext", kDoctorShiftRecordNextParams,
     Invoker<&ICoreSystem::DoctorShiftRecordNext>},
    {11, u"DoctorShiftRecordPrevious", u"method DoctorShiftRecordPrevious",
     kDoctorShiftRecordPreviousParams, Invoker<&ICoreSystem::DoctorShiftRecordPrevious>},
    {12, u"DeptActivilyRecordNext", u"method DeptActivilyRecordNext", kDeptActivilyRecordNextParams,
     Invoker<&ICoreSystem::DeptActivilyRecordNext>},
    {13, u"DeptActivilyRecordPrevious", u"method DeptActivilyRecordPrevious",
     kDeptActivilyRecordPreviousParams, Invoker<&ICoreSystem::DeptActivilyRecordPrevious>},
    {14, u"RescueRecordNext", u"method RescueRecordNext", kRescueRecordNextParams,
     Invoker<&ICoreSystem::RescueRecordNext>},
    {15, u"RescueRecordPrevious", u"method RescueRecordPrevious", kRescueRecordPreviousParams,
     Invoker<&ICoreSystem::RescueRecordPrevious>},
    {16, u"GetRescueRecord", u"method GetRescueRecord", kGetRescueRecordParams,
     Invoker<&ICoreSystem::GetRescueRecord>},
    {17, u"SetRescueRecord", u"method SetRescueRecord", kSetRescueRecordParams,
     Invoker<&ICoreSystem::SetRescueRecord>, DataAccess::kWrites},
    {18, u"DelRescueRecord", u"method DelRescueRecord", kDelRescueRecordParams,
     Invoker<&ICoreSystem::DelRescueRecord>, DataAccess::kWrites},
    {19, u"RefreshRecord", u"method RefreshRecord", kRefreshRecordParams,
     Invoker<&ICoreSystem::RefreshRecord>, DataAccess::kWrites},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kICoreSystemInfo{IID_ICoreSystem, u"ICoreSystem",
                                                        u"ICoreSystem 接口", kMethods};
