// The type information of IQCAdmin: dispatch identifiers, names, help strings and parameters as
// the type library declares them.
#include "interface/qc_admin_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kInitNewRuleParams[] = {Param::In(u"bstrProperty", VT_BSTR),
                                            Param::Retval(u"plngNewID", VT_I4)};
constexpr ParamInfo kGetRulePropertyParams[] = {Param::In(u"lngRule", VT_I4),
                                                Param::Retval(u"pbstrProperty", VT_BSTR)};
constexpr ParamInfo kSaveRulePropertyParams[] = {Param::In(u"lngRule", VT_I4),
                                                 Param::In(u"bstrProperty", VT_BSTR)};
constexpr ParamInfo kDeleteRuleParams[] = {Param::In(u"lngRule", VT_I4)};
constexpr ParamInfo kGetEmrTypeListParams[] = {Param::In(u"lngRule", VT_I4),
                                               Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kSaveEmrTypeListParams[] = {Param::In(u"lngRule", VT_I4),
                                                Param::In(u"bstrList", VT_BSTR)};
constexpr ParamInfo kGetReplaceRuleListParams[] = {Param::In(u"lngRule", VT_I4),
                                                   Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kSaveReplaceRuleListParams[] = {Param::In(u"lngRule", VT_I4),
                                                    Param::In(u"bstrList", VT_BSTR)};
constexpr ParamInfo kGetOpposeRuleListParams[] = {Param::In(u"lngRule", VT_I4),
                                                  Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kSaveOpposeRuleListParams[] = {Param::In(u"lngRule", VT_I4),
                                                   Param::In(u"bstrList", VT_BSTR)};
constexpr ParamInfo kGetRuleListParams[] = {Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetEventListParams[] = {Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetEventRuleListParams[] = {Param::In(u"bstrEventCode", VT_BSTR),
                                                 Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kSaveEventRuleParams[] = {Param::In(u"bstrEventCode", VT_BSTR),
                                              Param::In(u"lngRuleID", VT_I4)};
constexpr ParamInfo kGetAllEventRuleParams[] = {Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetAllStandardListParams[] = {Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetStandardCatalogListParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                       Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetStandardListParams[] = {Param::In(u"lngCatalogID", VT_I4),
                                                Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kInitNewStandardParams[] = {Param::In(u"bstrProperty", VT_BSTR),
                                                Param::Retval(u"plngNewID", VT_I4)};
constexpr ParamInfo kSaveStandardPropertyParams[] = {Param::In(u"lngID", VT_I4),
                                                     Param::In(u"bstrProperty", VT_BSTR)};
constexpr ParamInfo kInitNewStandardCatalogParams[] = {Param::In(u"bstrProperty", VT_BSTR),
                                                       Param::Retval(u"plngNewID", VT_I4)};
constexpr ParamInfo kSaveStandardCatalogPropertyParams[] = {Param::In(u"lngID", VT_I4),
                                                            Param::In(u"bstrProperty", VT_BSTR)};
constexpr ParamInfo kGetAllStandardCatalogListParams[] = {Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetStandardPropertyParams[] = {Param::In(u"lngID", VT_I4),
                                                    Param::Retval(u"pbstrProperty", VT_BSTR)};
constexpr ParamInfo kGetStandardCatalogPropertyParams[] = {
    Param::In(u"lngID", VT_I4), Param::Retval(u"pbstrProperty", VT_BSTR)};
constexpr ParamInfo kDeleteStandardParams[] = {Param::In(u"lngID", VT_I4)};
constexpr ParamInfo kDeleteStandardCatalogParams[] = {Param::In(u"lngID", VT_I4)};
constexpr ParamInfo kGetEMRAndQCMapParams[] = {Param::Retval(u"pbstrMapList", VT_BSTR)};
constexpr ParamInfo kSaveEMRAndQCMapParams[] = {Param::In(u"bstrMapList", VT_BSTR)};
constexpr ParamInfo kGetRuleExceptionParams[] = {Param::In(u"bstrRuleId", VT_BSTR),
                                                 Param::Retval(u"pbstrExceptionProperty", VT_BSTR)};
constexpr ParamInfo kSaveRuleExceptionParams[] = {Param::In(u"bstrRuleId", VT_BSTR),
                                                  Param::In(u"bstrExceptionProperty", VT_BSTR)};
constexpr ParamInfo kGetStandardList2Params[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                 Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetStandardListByIDParams[] = {Param::In(u"bstrIDList", VT_BSTR),
                                                    Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kIsStandardCodeExistParams[] = {Param::In(u"bstrID", VT_BSTR),
                                                    Param::In(u"bstrCode", VT_BSTR),
                                                    Param::Retval(u"pbExist", VT_I4)};
constexpr ParamInfo kAddQcEventAdviceMapParams[] = {Param::In(u"bstrProperty", VT_BSTR)};
constexpr ParamInfo kRemoveQcEventMapParams[] = {Param::In(u"bstrQcEventCode", VT_BSTR),
                                                 Param::In(u"bstrAdviceCode", VT_BSTR)};
constexpr ParamInfo kGetQcEventAdviceMapListParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                        Param::Retval(u"pbstrMapList", VT_BSTR)};
constexpr ParamInfo kGetFieldsOfTableParams[] = {Param::In(u"bstrTableName", VT_BSTR),
                                                 Param::Retval(u"pbstrFieldList", VT_BSTR)};
constexpr ParamInfo kTestForSqlParams[] = {Param::In(u"bstrStrSql", VT_BSTR),
                                           Param::Retval(u"pbstrResult", VT_BSTR)};
constexpr ParamInfo kGetDataOfTableParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                               Param::Retval(u"pbstrDataList", VT_BSTR)};
constexpr ParamInfo kGetExistPrimaryParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                Param::Retval(u"pbstrDataList", VT_BSTR)};
constexpr ParamInfo kPostSqlQueryParams[] = {Param::In(u"bstrCondition", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"InitNewRule", u"method InitNewRule", kInitNewRuleParams, Invoker<&IQCAdmin::InitNewRule>,
     DataAccess::kWrites},
    {2, u"GetRuleProperty", u"method GetRuleProperty", kGetRulePropertyParams,
     Invoker<&IQCAdmin::GetRuleProperty>},
    {3, u"SaveRuleProperty", u"method SaveRuleProperty", kSaveRulePropertyParams,
     Invoker<&IQCAdmin::SaveRuleProperty>, DataAccess::kWrites},
    {4, u"DeleteRule", u"method DeleteRule", kDeleteRuleParams, Invoker<&IQCAdmin::DeleteRule>,
     DataAccess::kWrites},
    {5, u"GetEmrTypeList", u"method GetEmrTypeList", kGetEmrTypeListParams,
     Invoker<&IQCAdmin::GetEmrTypeList>},
    {6, u"SaveEmrTypeList", u"method SaveEmrTypeList", kSaveEmrTypeListParams,
     Invoker<&IQCAdmin::SaveEmrTypeList>, DataAccess::kWrites},
    {7, u"GetReplaceRuleList", u"method GetReplaceRuleList", kGetReplaceRuleListParams,
     Invoker<&IQCAdmin::GetReplaceRuleList>},
    {8, u"SaveReplaceRuleList", u"method SaveReplaceRuleList", kSaveReplaceRuleListParams,
     Invoker<&IQCAdmin::SaveReplaceRuleList>, DataAccess::kWrites},
    {9, u"GetOpposeRuleList", u"method GetOpposeRuleList", kGetOpposeRuleListParams,
     Invoker<&IQCAdmin::GetOpposeRuleList>},
    {10, u"SaveOpposeRuleList", u"method SaveOpposeRuleList", kSaveOpposeRuleListParams,
     Invoker<&IQCAdmin::SaveOpposeRuleList>, DataAccess::kWrites},
    {11, u"GetRuleList", u"method GetRuleList", kGetRuleListParams,
     Invoker<&IQCAdmin::GetRuleList>},
    {12, u"GetEventList", u"method GetEventList", kGetEventListParams,
     Invoker<&IQCAdmin::GetEventList>},
    {13, u"GetEventRuleList", u"method GetEventRuleList", kGetEventRuleListParams,
     Invoker<&IQCAdmin::GetEventRuleList>},
    {14, u"SaveEventRule", u"method SaveEventRule", kSaveEventRuleParams,
     Invoker<&IQCAdmin::SaveEventRule>, DataAccess::kWrites},
    {15, u"GetAllEventRule", u"method GetAllEventRule", kGetAllEventRuleParams,
     Invoker<&IQCAdmin::GetAllEventRule>},
    {16, u"GetAllStandardList", u"method GetAllStandardList", kGetAllStandardListParams,
     Invoker<&IQCAdmin::GetAllStandardList>},
    {17, u"GetStandardCatalogList", u"method GetStandardCatalogList", kGetStandardCatalogListParams,
     Invoker<&IQCAdmin::GetStandardCatalogList>},
    {18, u"GetStandardList", u"method GetStandardList", kGetStandardListParams,
     Invoker<&IQCAdmin::GetStandardList>},
    {19, u"InitNewStandard", u"method InitNewStandard", kInitNewStandardParams,
     Invoker<&IQCAdmin::InitNewStandard>, DataAccess::kWrites},
    {20, u"SaveStandardProperty", u"method SaveStandardProperty", kSaveStandardPropertyParams,
     Invoker<&IQCAdmin::SaveStandardProperty>, DataAccess::kWrites},
    {21, u"InitNewStandardCatalog", u"method InitNewStandardCatalog", kInitNewStandardCatalogParams,
     Invoker<&IQCAdmin::InitNewStandardCatalog>, DataAccess::kWrites},
    {22, u"SaveStandardCatalogProperty", u"method SaveStandardCatalogProperty",
     kSaveStandardCatalogPropertyParams, Invoker<&IQCAdmin::SaveStandardCatalogProperty>,
     DataAccess::kWrites},
    {23, u"GetAllStandardCatalogList", u"method GetAllStandardCatalogList",
     kGetAllStandardCatalogListParams, Invoker<&IQCAdmin::GetAllStandardCatalogList>},
    {24, u"GetStandardProperty", u"method GetStandardProperty", kGetStandardPropertyParams,
     Invoker<&IQCAdmin::GetStandardProperty>},
    {25, u"GetStandardCatalogProperty", u"method GetStandardCatalogProperty",
     kGetStandardCatalogPropertyParams, Invoker<&IQCAdmin::GetStandardCatalogProperty>},
    {26, u"DeleteStandard", u"method DeleteStandard", kDeleteStandardParams,
     Invoker<&IQCAdmin::DeleteStandard>, DataAccess::kWrites},
    {27, u"DeleteStandardCatalog", u"method DeleteStandardCatalog", kDeleteStandardCatalogParams,
     Invoker<&IQCAdmin::DeleteStandardCatalog>, DataAccess::kWrites},
    {28, u"GetEMRAndQCMap", u"method GetEMRAndQCMap", kGetEMRAndQCMapParams,
     Invoker<&IQCAdmin::GetEMRAndQCMap>},
    {29, u"SaveEMRAndQCMap", u"method SaveEMRAndQCMap", kSaveEMRAndQCMapParams,
     Invoker<&IQCAdmin::SaveEMRAndQCMap>},
    {30, u"GetRuleException", u"method GetRuleException", kGetRuleExceptionParams,
     Invoker<&IQCAdmin::GetRuleException>},
    {31, u"SaveRuleException", u"method SaveRuleException", kSaveRuleExceptionParams,
     Invoker<&IQCAdmin::SaveRuleException>, DataAccess::kWrites},
    {32, u"GetStandardList2", u"method GetStandardList2", kGetStandardList2Params,
     Invoker<&IQCAdmin::GetStandardList2>},
    {33, u"GetStandardListByID", u"method GetStandardListByID", kGetStandardListByIDParams,
     Invoker<&IQCAdmin::GetStandardListByID>},
    {34, u"IsStandardCodeExist", u"method IsStandardCodeExist", kIsStandardCodeExistParams,
     Invoker<&IQCAdmin::IsStandardCodeExist>},
    {35, u"AddQcEventAdviceMap", u"method AddQcEventAdviceMap", kAddQcEventAdviceMapParams,
     Invoker<&IQCAdmin::AddQcEventAdviceMap>, DataAccess::kWrites},
    {36, u"RemoveQcEventMap", u"method RemoveQcEventMap", kRemoveQcEventMapParams,
     Invoker<&IQCAdmin::RemoveQcEventMap>, DataAccess::kWrites},
    {37, u"GetQcEventAdviceMapList", u"method GetQcEventAdviceMapList",
     kGetQcEventAdviceMapListParams, Invoker<&IQCAdmin::GetQcEventAdviceMapList>},
    {38, u"GetFieldsOfTable", u"method GetFieldsOfTable", kGetFieldsOfTableParams,
     Invoker<&IQCAdmin::GetFieldsOfTable>},
    {39, u"TestForSql", u"method TestForSql", kTestForSqlParams, Invoker<&IQCAdmin::TestForSql>},
    {40, u"GetDataOfTable", u"method GetDataOfTable", kGetDataOfTableParams,
     Invoker<&IQCAdmin::GetDataOfTable>},
    {41, u"GetExistPrimary", u"method GetExistPrimary", kGetExistPrimaryParams,
     Invoker<&IQCAdmin::GetExistPrimary>},
    {42, u"PostSqlQuery", u"method PostSqlQuery", kPostSqlQueryParams,
     Invoker<&IQCAdmin::PostSqlQuery>, DataAccess::kWrites},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIQCAdminInfo{IID_IQCAdmin, u"IQCAdmin", u"IQCAdmin 接口",
                                                     kMethods};
