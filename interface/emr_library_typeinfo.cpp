// The type information of IEMRLibrary: dispatch identifiers, names, help strings and parameters as
// the type library declares them.
#include "interface/emr_library_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kFullSearchParams[] = {
    Param::In(u"bstrWhat", VT_BSTR), Param::In(u"lngStartRow", VT_I4),
    Param::In(u"lngEndRow", VT_I4), Param::Retval(u"pbstrResult", VT_BSTR)};
constexpr ParamInfo kGetHeaderXmlParams[] = {Param::In(u"bstrPatientID", VT_BSTR),
                                             Param::In(u"bstrEventNo", VT_BSTR),
                                             Param::Retval(u"pbstrXml", VT_BSTR)};
constexpr ParamInfo kGetEMRContentParams[] = {Param::In(u"bstrEMRID", VT_BSTR),
                                              Param::Retval(u"pbstrContent", VT_BSTR)};
constexpr ParamInfo kBrowseEMRParams[] = {
    Param::In(u"bstrPatientID", VT_BSTR), Param::In(u"bstrEventNo", VT_BSTR),
    Param::In(u"lngCatalog", VT_I4), Param::Retval(u"pbstrContent", VT_BSTR)};
constexpr ParamInfo kSingleSearchParams[] = {Param::In(u"bstrPatientID", VT_BSTR),
                                             Param::Retval(u"pbstrResult", VT_BSTR)};
constexpr ParamInfo kFullSearch2Params[] = {
    Param::In(u"bstrCondition", VT_BSTR), Param::In(u"bstrWhat", VT_BSTR),
    Param::In(u"lngStartRow", VT_I4), Param::In(u"lngEndRow", VT_I4),
    Param::Retval(u"pbstrResult", VT_BSTR)};
constexpr ParamInfo kPathSearchParams[] = {
    Param::In(u"bstrCondition", VT_BSTR), Param::In(u"bstrPathWhat", VT_BSTR),
    Param::In(u"lngStartRow", VT_I4), Param::In(u"lngEndRow", VT_I4),
    Param::Retval(u"pbstrResult", VT_BSTR)};
constexpr ParamInfo kGetConditionListParams[] = {Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetOperatorListParams[] = {Param::In(u"bstrType", VT_BSTR),
                                                Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetXmlFrameListParams[] = {Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kSaveXmlFramePropertyParams[] = {Param::In(u"lngID", VT_I4),
                                                     Param::In(u"bstrProperty", VT_BSTR),
                                                     Param::Retval(u"plngID", VT_I4)};
constexpr ParamInfo kGetXmlFrameContentParams[] = {Param::In(u"lngID", VT_I4),
                                                   Param::Retval(u"pbstrContent", VT_BSTR)};
constexpr ParamInfo kSaveXmlFrameContentParams[] = {Param::In(u"lngID", VT_I4),
                                                    Param::In(u"bstrContent", VT_BSTR)};
constexpr ParamInfo kGetPathValueParams[] = {Param::In(u"bstrID", VT_BSTR),
                                             Param::In(u"bstrPath", VT_BSTR),
                                             Param::Retval(u"pbstrValue", VT_BSTR)};
constexpr ParamInfo kGetDictContentParams[] = {Param::In(u"lngID", VT_I4),
                                               Param::Retval(u"pbstrContent", VT_BSTR)};
constexpr ParamInfo kGetBrowserCatalogParams[] = {Param::In(u"bstrPatientID", VT_BSTR),
                                                  Param::In(u"bstrEventNo", VT_BSTR),
                                                  Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kIsPassParams[] = {Param::In(u"bstrLoginCode", VT_BSTR),
                                       Param::In(u"bstrPassCode", VT_BSTR),
                                       Param::Retval(u"pvbPass", VT_BOOL)};
constexpr ParamInfo kSaveConditionListParams[] = {Param::In(u"bstrList", VT_BSTR)};
constexpr ParamInfo kSaveOperatorListParams[] = {Param::In(u"bstrList", VT_BSTR)};
constexpr ParamInfo kGetUserListParams[] = {Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kSaveUserListParams[] = {Param::In(u"bstrList", VT_BSTR)};
constexpr ParamInfo kDeleteXmlFrameParams[] = {Param::In(u"lngID", VT_I4)};
constexpr ParamInfo kGetUserPropertyParams[] = {Param::In(u"bstrLoginCode", VT_BSTR),
                                                Param::Retval(u"pbstrPro", VT_BSTR)};
constexpr ParamInfo kGetXmlFramePropertyParams[] = {Param::In(u"lngID", VT_I4),
                                                    Param::Retval(u"pbstrProperty", VT_BSTR)};
constexpr ParamInfo kUnLimitBrowseEMRParams[] = {
    Param::In(u"bstrPatientID", VT_BSTR), Param::In(u"bstrEventNo", VT_BSTR),
    Param::In(u"lngCatalog", VT_I4), Param::Retval(u"pbstrContent", VT_BSTR)};
constexpr ParamInfo kGetURLXmlFileParams[] = {Param::In(u"bstrURL", VT_BSTR),
                                              Param::Retval(u"pbstrContent", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"FullSearch", u"method FullSearch", kFullSearchParams, Invoker<&IEMRLibrary::FullSearch>},
    {2, u"GetHeaderXml", u"method GetHeaderXml", kGetHeaderXmlParams,
     Invoker<&IEMRLibrary::GetHeaderXml>, DataAccess::kWrites},
    {3, u"GetEMRContent", u"method GetEMRContent", kGetEMRContentParams,
     Invoker<&IEMRLibrary::GetEMRContent>, DataAccess::kWrites},
    {4, u"BrowseEMR", u"method BrowseEMR", kBrowseEMRParams, Invoker<&IEMRLibrary::BrowseEMR>,
     DataAccess::kWrites},
    {5, u"SingleSearch", u"method SingleSearch", kSingleSearchParams,
     Invoker<&IEMRLibrary::SingleSearch>},
    {6, u"FullSearch2", u"method FullSearch2", kFullSearch2Params,
     Invoker<&IEMRLibrary::FullSearch2>},
    {7, u"PathSearch", u"method PathSearch", kPathSearchParams, Invoker<&IEMRLibrary::PathSearch>},
    {8, u"GetConditionList", u"method GetConditionList", kGetConditionListParams,
     Invoker<&IEMRLibrary::GetConditionList>},
    {9, u"GetOperatorList", u"method GetOperatorList", kGetOperatorListParams,
     Invoker<&IEMRLibrary::GetOperatorList>},
    {10, u"GetXmlFrameList", u"method GetXmlFrameList", kGetXmlFrameListParams,
     Invoker<&IEMRLibrary::GetXmlFrameList>},
    {11, u"SaveXmlFrameProperty", u"method SaveXmlFrameProperty", kSaveXmlFramePropertyParams,
     Invoker<&IEMRLibrary::SaveXmlFrameProperty>, DataAccess::kWrites},
    {12, u"GetXmlFrameContent", u"method GetXmlFrameContent", kGetXmlFrameContentParams,
     Invoker<&IEMRLibrary::GetXmlFrameContent>},
    {13, u"SaveXmlFrameContent", u"method SaveXmlFrameContent", kSaveXmlFrameContentParams,
     Invoker<&IEMRLibrary::SaveXmlFrameContent>, DataAccess::kWrites},
    {14, u"GetPathValue", u"method GetPathValue", kGetPathValueParams,
     Invoker<&IEMRLibrary::GetPathValue>},
    {15, u"GetDictContent", u"method GetDictContent", kGetDictContentParams,
     Invoker<&IEMRLibrary::GetDictContent>},
    {16, u"GetBrowserCatalog", u"method GetBrowserCatalog", kGetBrowserCatalogParams,
     Invoker<&IEMRLibrary::GetBrowserCatalog>},
    {17, u"IsPass", u"method IsPass", kIsPassParams, Invoker<&IEMRLibrary::IsPass>},
    {18, u"SaveConditionList", u"method SaveConditionList", kSaveConditionListParams,
     Invoker<&IEMRLibrary::SaveConditionList>, DataAccess::kWrites},
    {19, u"SaveOperatorList", u"method SaveOperatorList", kSaveOperatorListParams,
     Invoker<&IEMRLibrary::SaveOperatorList>, DataAccess::kWrites},
    {20, u"GetUserList", u"method GetUserList", kGetUserListParams,
     Invoker<&IEMRLibrary::GetUserList>},
    {21, u"SaveUserList", u"method SaveUserList", kSaveUserListParams,
     Invoker<&IEMRLibrary::SaveUserList>, DataAccess::kWrites},
    {22, u"DeleteXmlFrame", u"method DeleteXmlFrame", kDeleteXmlFrameParams,
     Invoker<&IEMRLibrary::DeleteXmlFrame>, DataAccess::kWrites},
    {23, u"GetUserProperty", u"method GetUserProperty", kGetUserPropertyParams,
     Invoker<&IEMRLibrary::GetUserProperty>},
    {24, u"GetXmlFrameProperty", u"method GetXmlFrameProperty", kGetXmlFramePropertyParams,
     Invoker<&IEMRLibrary::GetXmlFrameProperty>},
    {25, u"UnLimitBrowseEMR", u"method UnLimitBrowseEMR", kUnLimitBrowseEMRParams,
     Invoker<&IEMRLibrary::UnLimitBrowseEMR>, DataAccess::kWrites},
    {26, u"GetURLXmlFile", u"method GetURLXmlFile", kGetURLXmlFileParams,
     Invoker<&IEMRLibrary::GetURLXmlFile>},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIEMRLibraryInfo{IID_IEMRLibrary, u"IEMRLibrary",
                                                        u"IEMRLibrary Interface", kMethods};
