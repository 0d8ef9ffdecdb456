// The type information of IEMRReport: dispatch identifiers, names, help strings and parameters as
// the type library declares them.
#include "interface/emr_report_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kInitNewCatalogParams[] = {Param::In(u"bstrParentCode", VT_BSTR),
                                               Param::In(u"bstrProperty", VT_BSTR),
                                               Param::Retval(u"plngCatalogID", VT_I4)};
constexpr ParamInfo kDeleteCatalogParams[] = {Param::In(u"lngCatalogID", VT_I4)};
constexpr ParamInfo kGetCatalogListParams[] = {Param::In(u"lngParentID", VT_I4),
                                               Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetCatalogPropertyParams[] = {Param::In(u"lngCatalogID", VT_I4),
                                                   Param::Retval(u"pbstrProperty", VT_BSTR)};
constexpr ParamInfo kSetCatalogPropertyParams[] = {Param::In(u"lngCatalogID", VT_I4),
                                                   Param::In(u"bstrProperty", VT_BSTR)};
constexpr ParamInfo kInitNewReportParams[] = {Param::In(u"lngCatalogID", VT_I4),
                                              Param::In(u"bstrProperty", VT_BSTR),
                                              Param::Retval(u"plngReportID", VT_I4)};
constexpr ParamInfo kDeleteReportParams[] = {Param::In(u"lngReportID", VT_I4)};
constexpr ParamInfo kGetReportListParams[] = {Param::In(u"lngCatalogID", VT_I4),
                                              Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetReportPropertyParams[] = {Param::In(u"lngReportID", VT_I4),
                                                  Param::Retval(u"pbstrProperty", VT_BSTR)};
constexpr ParamInfo kSetReportPropertyParams[] = {Param::In(u"lngReprotID", VT_I4),
                                                  Param::In(u"bstrProperty", VT_BSTR)};
constexpr ParamInfo kGetReportSQLParams[] = {Param::In(u"lngReportID", VT_I4),
                                             Param::Retval(u"pbstrSQL", VT_BSTR)};
constexpr ParamInfo kSetReportSQLParams[] = {Param::In(u"lngReportID", VT_I4),
                                             Param::In(u"bstrSQL", VT_BSTR)};
constexpr ParamInfo kGetReportXSLTParams[] = {Param::In(u"lngReportID", VT_I4),
                                              Param::Retval(u"pbstrXSLT", VT_BSTR)};
constexpr ParamInfo kSetReportXSLTParams[] = {Param::In(u"lngReportID", VT_I4),
                                              Param::In(u"bstrXSLT", VT_BSTR)};
constexpr ParamInfo kGetSQLPropertyParams[] = {Param::In(u"lngReportID", VT_I4),
                                               Param::Retval(u"pbstrProperty", VT_BSTR)};
constexpr ParamInfo kSetSQLPropertyParams[] = {Param::In(u"lngReportID", VT_I4),
                                               Param::In(u"bstrProperty", VT_BSTR)};
constexpr ParamInfo kGetSQLParamParams[] = {Param::In(u"lngReportID", VT_I4),
                                            Param::Retval(u"pbstrProperty", VT_BSTR)};
constexpr ParamInfo kSetSQLParamParams[] = {Param::In(u"lngReportID", VT_I4),
                                            Param::In(u"bstrParam", VT_BSTR)};
constexpr ParamInfo kExportReportParams[] = {Param::In(u"lngReportID", VT_I4),
                                             Param::Retval(u"pbstrReport", VT_BSTR)};
constexpr ParamInfo kImportReportParams[] = {Param::In(u"lngReportID", VT_I4),
                                             Param::In(u"bstrReport", VT_BSTR),
                                             Param::Retval(u"pbstrPortion", VT_BSTR)};
constexpr ParamInfo kGetUserReportParams[] = {Param::In(u"bstrUserID", VT_BSTR),
                                              Param::In(u"lngCatalogID", VT_I4),
                                              Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kDistributeReportParams[] = {Param::In(u"bstrUserID", VT_BSTR),
                                                 Param::In(u"bstrList", VT_BSTR)};
constexpr ParamInfo kGetReportContentParams[] = {
    Param::In(u"lngReportID", VT_I4), Param::In(u"bstrParam", VT_BSTR),
    Param::In(u"bstrClientInfo", VT_BSTR), Param::Retval(u"pbstrContent", VT_BSTR)};
constexpr ParamInfo kGetUserCatalogParams[] = {Param::In(u"bstrUserID", VT_BSTR),
                                               Param::In(u"lngCatalogID", VT_I4),
                                               Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetReportDictParams[] = {Param::In(u"bstrDictName", VT_BSTR),
                                              Param::Retval(u"pbstrDictList", VT_BSTR)};
constexpr ParamInfo kDistributeReportToUserParams[] = {Param::In(u"bstrReportIDList", VT_BSTR)};
constexpr ParamInfo kGetAllDistributedUserListParams[] = {Param::In(u"lngReportID", VT_I4),
                                                          Param::Retval(u"pbstrUserList", VT_BSTR)};
constexpr ParamInfo kGetReportSQL2Params[] = {Param::In(u"lngReportID", VT_I4),
                                              Param::Retval(u"pbstrSQL", VT_BSTR)};
constexpr ParamInfo kSetReportSQL2Params[] = {Param::In(u"lngReportID", VT_I4),
                                              Param::In(u"bstrSQL", VT_BSTR)};
constexpr ParamInfo kIsNewFormatParams[] = {Param::In(u"lngReportID", VT_I4),
                                            Param::Retval(u"pbNewFormat", VT_BOOL)};
constexpr ParamInfo kGetResultXMLParams[] = {
    Param::In(u"lngReportID", VT_I4), Param::In(u"bstrParam", VT_BSTR),
    Param::In(u"bstrClientInfo", VT_BSTR), Param::Retval(u"pbstrXml", VT_BSTR)};
constexpr ParamInfo kGetReportDataParams[] = {Param::In(u"bstrCatalogID", VT_BSTR),
                                              Param::Retval(u"pbstrProperty", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"InitNewCatalog", u"method InitNewRuleCatalog", kInitNewCatalogParams,
     Invoker<&IEMRReport::InitNewCatalog>, DataAccess::kWrites},
    {2, u"DeleteCatalog", u"method DeleteCatalog", kDeleteCatalogParams,
     Invoker<&IEMRReport::DeleteCatalog>, DataAccess::kWrites},
    {3, u"GetCatalogList", u"method GetCatalogList", kGetCatalogListParams,
     Invoker<&IEMRReport::GetCatalogList>},
    {4, u"GetCatalogProperty", u"method GetCatalogProperty", kGetCatalogPropertyParams,
     Invoker<&IEMRReport::GetCatalogProperty>},
    {5, u"SetCatalogProperty", u"method SetCatalogProperty", kSetCatalogPropertyParams,
     Invoker<&IEMRReport::SetCatalogProperty>, DataAccess::kWrites},
    {6, u"InitNewReport", u"method InitNewReport", kInitNewReportParams,
     Invoker<&IEMRReport::InitNewReport>, DataAccess::kWrites},
    {7, u"DeleteReport", u"method DeleteReport", kDeleteReportParams,
     Invoker<&IEMRReport::DeleteReport>, DataAccess::kWrites},
    {8, u"GetReportList", u"method GetReportList", kGetReportListParams,
     Invoker<&IEMRReport::GetReportList>},
    {9, u"GetReportProperty", u"method GetReportProperty", kGetReportPropertyParams,
     Invoker<&IEMRReport::GetReportProperty>},
    {10, u"SetReportProperty", u"method SetReportProperty", kSetReportPropertyParams,
     Invoker<&IEMRReport::SetReportProperty>, DataAccess::kWrites},
    {11, u"GetReportSQL", u"method GetReportSQL", kGetReportSQLParams,
     Invoker<&IEMRReport::GetReportSQL>},
    {12, u"SetReportSQL", u"method SetReportSQL", kSetReportSQLParams,
     Invoker<&IEMRReport::SetReportSQL>, DataAccess::kWrites},
    {13, u"GetReportXSLT", u"method GetReportXSLT", kGetReportXSLTParams,
     Invoker<&IEMRReport::GetReportXSLT>},
    {14, u"SetReportXSLT", u"method SetReportXSLT", kSetReportXSLTParams,
     Invoker<&IEMRReport::SetReportXSLT>, DataAccess::kWrites},
    {15, u"GetSQLProperty", u"method GetSQLProperty", kGetSQLPropertyParams,
     Invoker<&IEMRReport::GetSQLProperty>},
    {16, u"SetSQLProperty", u"method SetSQLProperty", kSetSQLPropertyParams,
     Invoker<&IEMRReport::SetSQLProperty>, DataAccess::kWrites},
    {17, u"GetSQLParam", u"method GetSQLParam", kGetSQLParamParams,
     Invoker<&IEMRReport::GetSQLParam>},
    {18, u"SetSQLParam", u"method SetSQLParam", kSetSQLParamParams,
     Invoker<&IEMRReport::SetSQLParam>, DataAccess::kWrites},
    {19, u"ExportReport", u"method ExportReport", kExportReportParams,
     Invoker<&IEMRReport::ExportReport>},
    {20, u"ImportReport", u"method ImportReport", kImportReportParams,
     Invoker<&IEMRReport::ImportReport>, DataAccess::kWrites},
    {21, u"GetUserReport", u"method GetUserReport", kGetUserReportParams,
     Invoker<&IEMRReport::GetUserReport>},
    {22, u"DistributeReport", u"method DistributeReport", kDistributeReportParams,
     Invoker<&IEMRReport::DistributeReport>, DataAccess::kWrites},
    {23, u"GetReportContent", u"method GetReportContent", kGetReportContentParams,
     Invoker<&IEMRReport::GetReportContent>},
    {24, u"GetUserCatalog", u"method GetUserCatalog", kGetUserCatalogParams,
     Invoker<&IEMRReport::GetUserCatalog>},
    {25, u"GetReportDict", u"method GetReportDict", kGetReportDictParams,
     Invoker<&IEMRReport::GetReportDict>},
    {26, u"DistributeReportToUser", u"method DistributeReportToUser", kDistributeReportToUserParams,
     Invoker<&IEMRReport::DistributeReportToUser>, DataAccess::kWrites},
    {27, u"GetAllDistributedUserList", u"method GetAllDistributedUserList",
     kGetAllDistributedUserListParams, Invoker<&IEMRReport::GetAllDistributedUserList>},
    {28, u"GetReportSQL2", u"method GetReportSQL2", kGetReportSQL2Params,
     Invoker<&IEMRReport::GetReportSQL2>},
    {29, u"SetReportSQL2", u"method SetReportSQL2", kSetReportSQL2Params,
     Invoker<&IEMRReport::SetReportSQL2>, DataAccess::kWrites},
    {30, u"IsNewFormat", u"method IsNewFormat", kIsNewFormatParams,
     Invoker<&IEMRReport::IsNewFormat>},
    {31, u"GetResultXML", u"method GetResultXML", kGetResultXMLParams,
     Invoker<&IEMRReport::GetResultXML>},
    {32, u"GetReportData", u"method GetReportData", kGetReportDataParams,
     Invoker<&IEMRReport::GetReportData>},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIEMRReportInfo{IID_IEMRReport, u"IEMRReport",
                                                       u"IEMRReport Interface", kMethods};
