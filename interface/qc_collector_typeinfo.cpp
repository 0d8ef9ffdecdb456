// The type information of IQCCollector: dispatch identifiers, names, help strings and parameters as
// the type library declares them.
#include "interface/qc_collector_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kGetPatientQCListParams[] = {Param::In(u"bstrPatientID", VT_BSTR),
                                                 Param::In(u"bstrEventNo", VT_BSTR),
                                                 Param::Retval(u"pbstrQCList", VT_BSTR)};
constexpr ParamInfo kGetDeptQCListParams[] = {Param::In(u"bstrDeptParam", VT_BSTR),
                                              Param::Retval(u"pbstrQCList", VT_BSTR)};
constexpr ParamInfo kGetHospitalQCListParams[] = {Param::In(u"bstrHospitalParam", VT_BSTR),
                                                  Param::Retval(u"pbstrQCList", VT_BSTR)};
constexpr ParamInfo kGetQCListParams[] = {Param::In(u"bstrParam", VT_BSTR),
                                          Param::Retval(u"pbstrQCList", VT_BSTR)};
constexpr ParamInfo kGetConditionListParams[] = {Param::In(u"bstrParam", VT_BSTR),
                                                 Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kSaveConditionListParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                  Param::In(u"bstrList", VT_BSTR)};
constexpr ParamInfo kGetQueryTplListParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kSaveQueryTplListParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                 Param::In(u"bstrList", VT_BSTR)};
constexpr ParamInfo kUnameFunGetParams[] = {Param::In(u"bstrParam1", VT_BSTR),
                                            Param::In(u"bstrParam2", VT_BSTR),
                                            Param::Retval(u"pbstrRt", VT_BSTR)};
constexpr ParamInfo kUnameFunSaveParams[] = {Param::In(u"bstrParam1", VT_BSTR),
                                             Param::In(u"bstrParam2", VT_BSTR),
                                             Param::Retval(u"pbstrRt", VT_BSTR)};
constexpr ParamInfo kDeleteQueryTplListParams[] = {Param::In(u"bstrCondition", VT_BSTR)};
constexpr ParamInfo kAddConditionGroupParams[] = {Param::In(u"bstrList", VT_BSTR)};
constexpr ParamInfo kDeleteConditionGroupByCodeParams[] = {Param::In(u"bstrGroupCode", VT_BSTR)};
constexpr ParamInfo kSetConditionGroupContentParams[] = {Param::In(u"bstrList", VT_BSTR)};
constexpr ParamInfo kGetConditionGroupListParams[] = {Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kAddConditionItemParams[] = {Param::In(u"bstrList", VT_BSTR)};
constexpr ParamInfo kDelConditionItemParams[] = {Param::In(u"bstrCode", VT_BSTR)};
constexpr ParamInfo kSetConditionItemContentParams[] = {Param::In(u"bstrList", VT_BSTR)};
constexpr ParamInfo kGetColumnByTabNameParams[] = {Param::In(u"bstrTabName", VT_BSTR),
                                                   Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetQCUserListParams[] = {Param::Retval(u"pbstrQCUserList", VT_BSTR)};
constexpr ParamInfo kSaveConditionDistributeParams[] = {Param::In(u"bstrItemList", VT_BSTR)};
constexpr ParamInfo kGetConditionDistributeParams[] = {
    Param::In(u"pbstrUserID", VT_BSTR), Param::Retval(u"pbstrConditionList", VT_BSTR)};
constexpr ParamInfo kGetColumnDataParams[] = {Param::In(u"pbstrTabName", VT_BSTR),
                                              Param::Retval(u"pbstrConditionList", VT_BSTR)};
constexpr ParamInfo kDelConditionItemByGroupCodeParams[] = {Param::In(u"pbstrGroupCode", VT_BSTR)};
constexpr ParamInfo kGetQCResultInfoParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                Param::Retval(u"bstrList", VT_BSTR)};
constexpr ParamInfo kDistributeTpListParams[] = {Param::In(u"bstrDistrbuteInfo", VT_BSTR)};
constexpr ParamInfo kGetDistributeInfoParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                  Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetConditionDistributeExParams[] = {
    Param::In(u"pbstrUserID", VT_BSTR), Param::Retval(u"pbstrConditionList", VT_BSTR)};
constexpr ParamInfo kSetConditionDistributeExParams[] = {Param::In(u"pbstrUserID", VT_BSTR),
                                                         Param::In(u"bstrConditionList", VT_BSTR)};
constexpr ParamInfo kDelConditionDistributeUserParams[] = {Param::In(u"bstrItemList", VT_BSTR)};
constexpr ParamInfo kAddConditionDistributeUserParams[] = {Param::In(u"bstrItemList", VT_BSTR)};
constexpr ParamInfo kGetConditionDistributeUserParams[] = {
    Param::Retval(u"pbstrUserList", VT_BSTR)};
constexpr ParamInfo kGetEmrApplyInfoParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                Param::Retval(u"bstrList", VT_BSTR)};
constexpr ParamInfo kSetEmrApplyInfoParams[] = {Param::In(u"bstrCondition", VT_BSTR)};
constexpr ParamInfo kSetApplyStatusParams[] = {Param::In(u"bstrCondition", VT_BSTR)};
constexpr ParamInfo kGetPatientCrisisInfoParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                     Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kConfirmCrisisInfoParams[] = {Param::In(u"bstrCondition", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"GetPatientQCList", u"method GetPatientQCList", kGetPatientQCListParams,
     Invoker<&IQCCollector::GetPatientQCList>},
    {2, u"GetDeptQCList", u"method GetDeptQCList", kGetDeptQCListParams,
     Invoker<&IQCCollector::GetDeptQCList>},
    {3, u"GetHospitalQCList", u"method GetHospitalQCList", kGetHospitalQCListParams,
     Invoker<&IQCCollector::GetHospitalQCList>},
    {4, u"GetQCList", u"method GetQCList", kGetQCListParams, Invoker<&IQCCollector::GetQCList>},
    {5, u"GetConditionList", u"method GetConditionList", kGetConditionListParams,
     Invoker<&IQCCollector::GetConditionList>},
    {6, u"SaveConditionList", u"method SaveConditionList", kSaveConditionListParams,
     Invoker<&IQCCollector::SaveConditionList>},
    {7, u"GetQueryTplList", u"method GetQueryTplList", kGetQueryTplListParams,
     Invoker<&IQCCollector::GetQueryTplList>},
    {8, u"SaveQueryTplList", u"method SaveQueryTplList", kSaveQueryTplListParams,
     Invoker<&IQCCollector::SaveQueryTplList>, DataAccess::kWrites},
    {9, u"UnameFunGet", u"method UnameFunGet", kUnameFunGetParams,
     Invoker<&IQCCollector::UnameFunGet>},
    {10, u"UnameFunSave", u"method UnameFunSave", kUnameFunSaveParams,
     Invoker<&IQCCollector::UnameFunSave>},
    {11, u"DeleteQueryTplList", u"method DeleteQueryTplList", kDeleteQueryTplListParams,
     Invoker<&IQCCollector::DeleteQueryTplList>, DataAccess::kWrites},
    {12, u"AddConditionGroup", u"method AddConditionGroup", kAddConditionGroupParams,
     Invoker<&IQCCollector::AddConditionGroup>, DataAccess::kWrites},
    {13, u"DeleteConditionGroupByCode", u"method DeleteConditionGroupByCode",
     kDeleteConditionGroupByCodeParams, Invoker<&IQCCollector::DeleteConditionGroupByCode>,
     DataAccess::kWrites},
    {14, u"SetConditionGroupContent", u"method SetConditionGroupContent",
     kSetConditionGroupContentParams, Invoker<&IQCCollector::SetConditionGroupContent>,
     DataAccess::kWrites},
    {15, u"GetConditionGroupList", u"method GetConditionGroupList", kGetConditionGroupListParams,
     Invoker<&IQCCollector::GetConditionGroupList>},
    {16, u"AddConditionItem", u"method AddConditionItem", kAddConditionItemParams,
     Invoker<&IQCCollector::AddConditionItem>, DataAccess::kWrites},
    {17, u"DelConditionItem", u"method DelConditionItem", kDelConditionItemParams,
     Invoker<&IQCCollector::DelConditionItem>, DataAccess::kWrites},
    {18, u"SetConditionItemContent", u"method SetConditionItemContent",
     kSetConditionItemContentParams, Invoker<&IQCCollector::SetConditionItemContent>,
     DataAccess::kWrites},
    {19, u"GetColumnByTabName", u"method GetColumnByTabName", kGetColumnByTabNameParams,
     Invoker<&IQCCollector::GetColumnByTabName>},
    {20, u"GetQCUserList", u"method GetQCUserList", kGetQCUserListParams,
     Invoker<&IQCCollector::GetQCUserList>},
    {21, u"SaveConditionDistribute", u"method SaveConditionDistribute",
     kSaveConditionDistributeParams, Invoker<&IQCCollector::SaveConditionDistribute>,
     DataAccess::kWrites},
    {22, u"GetConditionDistribute", u"method GetConditionDistribute", kGetConditionDistributeParams,
     Invoker<&IQCCollector::GetConditionDistribute>},
    {23, u"GetColumnData", u"method GetColumnData", kGetColumnDataParams,
     Invoker<&IQCCollector::GetColumnData>},
    {24, u"DelConditionItemByGroupCode", u"method DelConditionItemByGroupCode",
     kDelConditionItemByGroupCodeParams, Invoker<&IQCCollector::DelConditionItemByGroupCode>,
     DataAccess::kWrites},
    {25, u"GetQCResultInfo", u"method GetQCResultInfo", kGetQCResultInfoParams,
     Invoker<&IQCCollector::GetQCResultInfo>},
    {26, u"DistributeTpList", u"method DistributeTpList", kDistributeTpListParams,
     Invoker<&IQCCollector::DistributeTpList>, DataAccess::kWrites},
    {27, u"GetDistributeInfo", u"method GetDistributeInfo", kGetDistributeInfoParams,
     Invoker<&IQCCollector::GetDistributeInfo>},
    {28, u"GetConditionDistributeEx", u"method GetConditionDistributeEx",
     kGetConditionDistributeExParams, Invoker<&IQCCollector::GetConditionDistributeEx>},
    {29, u"SetConditionDistributeEx", u"method SetConditionDistributeEx",
     kSetConditionDistributeExParams, Invoker<&IQCCollector::SetConditionDistributeEx>,
     DataAccess::kWrites},
    {30, u"DelConditionDistributeUser", u"method DelConditionDistributeUser",
     kDelConditionDistributeUserParams, Invoker<&IQCCollector::DelConditionDistributeUser>,
     DataAccess::kWrites},
    {31, u"AddConditionDistributeUser", u"method AddConditionDistributeUser",
     kAddConditionDistributeUserParams, Invoker<&IQCCollector::AddConditionDistributeUser>,
     DataAccess::kWrites},
    {32, u"GetConditionDistributeUser", u"method GetConditionDistributeUser",
     kGetConditionDistributeUserParams, Invoker<&IQCCollector::GetConditionDistributeUser>},
    {33, u"GetEmrApplyInfo", u"method GetEmrApplyInfo", kGetEmrApplyInfoParams,
     Invoker<&IQCCollector::GetEmrApplyInfo>},
    {34, u"SetEmrApplyInfo", u"method SetEmrApplyInfo", kSetEmrApplyInfoParams,
     Invoker<&IQCCollector::SetEmrApplyInfo>, DataAccess::kWrites},
    {35, u"SetApplyStatus", u"method SetApplyStatus", kSetApplyStatusParams,
     Invoker<&IQCCollector::SetApplyStatus>, DataAccess::kWrites},
    {36, u"GetPatientCrisisInfo", u"method GetPatientCrisisInfo", kGetPatientCrisisInfoParams,
     Invoker<&IQCCollector::GetPatientCrisisInfo>},
    {37, u"ConfirmCrisisInfo", u"method ConfirmCrisisInfo", kConfirmCrisisInfoParams,
     Invoker<&IQCCollector::ConfirmCrisisInfo>, DataAccess::kWrites},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIQCCollectorInfo{IID_IQCCollector, u"IQCCollector",
                                                         u"IQCCollector Interface", kMethods};
