// The type information of IQCGradeSummary: dispatch identifiers, names, help strings and parameters
// as the type library declares them.
#include "interface/qc_grade_summary_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kGetXslContentParams[] = {Param::In(u"bstrID", VT_BSTR),
                                              Param::Retval(u"pbstrXslContent", VT_BSTR)};
constexpr ParamInfo kGetDetailDataParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                              Param::Retval(u"pbstrDetailDataList", VT_BSTR)};
constexpr ParamInfo kGenerateSummaryParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                Param::In(u"bstrTemplageID", VT_BSTR),
                                                Param::Retval(u"pbstrSummaryHtml", VT_BSTR)};
constexpr ParamInfo kSaveContentParams[] = {Param::In(u"bstrID", VT_BSTR),
                                            Param::In(u"strProperty", VT_BSTR)};
constexpr ParamInfo kSaveXslContentParams[] = {Param::In(u"bstrID", VT_BSTR),
                                               Param::In(u"bstrProperty", VT_BSTR)};
constexpr ParamInfo kModifySummaryParams[] = {Param::In(u"bstrProperty", VT_BSTR)};
constexpr ParamInfo kModifySummaryTemplateParams[] = {Param::In(u"bstrProperty", VT_BSTR)};
constexpr ParamInfo kNewSummaryParams[] = {Param::In(u"bstrProperty", VT_BSTR),
                                           Param::Retval(u"pbstrNewID", VT_BSTR)};
constexpr ParamInfo kNewSummaryTemplateParams[] = {Param::In(u"bstrProperty", VT_BSTR),
                                                   Param::Retval(u"pbstrNewID", VT_BSTR)};
constexpr ParamInfo kGetHtmlContentParams[] = {Param::In(u"bstrID", VT_BSTR),
                                               Param::Retval(u"pbstrHtmlContent", VT_BSTR)};
constexpr ParamInfo kGetSummaryListParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                               Param::Retval(u"pbstrSummaryList", VT_BSTR)};
constexpr ParamInfo kGetSummaryTemplateListParams[] = {
    Param::In(u"bstrCondition", VT_BSTR), Param::Retval(u"pbstrSummaryTemplateList", VT_BSTR)};
constexpr ParamInfo kGenerateSelfGradeTableParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                       Param::In(u"lngTemplageID", VT_I4),
                                                       Param::Retval(u"pbstrSummaryHtml", VT_BSTR)};
constexpr ParamInfo kRemoveSummaryParams[] = {Param::In(u"bstrProperty", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"GetXslContent", u"method GetXslContent", kGetXslContentParams,
     Invoker<&IQCGradeSummary::GetXslContent>},
    {2, u"GetDetailData", u"method GetDetailData", kGetDetailDataParams,
     Invoker<&IQCGradeSummary::GetDetailData>},
    {3, u"GenerateSummary", u"method GenerateSummary", kGenerateSummaryParams,
     Invoker<&IQCGradeSummary::GenerateSummary>},
    {4, u"SaveContent", u"method SaveContent", kSaveContentParams,
     Invoker<&IQCGradeSummary::SaveContent>, DataAccess::kWrites},
    {5, u"SaveXslContent", u"method SaveXslContent", kSaveXslContentParams,
     Invoker<&IQCGradeSummary::SaveXslContent>, DataAccess::kWrites},
    {6, u"ModifySummary", u"method ModifySummary", kModifySummaryParams,
     Invoker<&IQCGradeSummary::ModifySummary>, DataAccess::kWrites},
    {7, u"ModifySummaryTemplate", u"method ModifySummaryTemplate", kModifySummaryTemplateParams,
     Invoker<&IQCGradeSummary::ModifySummaryTemplate>, DataAccess::kWrites},
    {8, u"NewSummary", u"method NewSummary", kNewSummaryParams,
     Invoker<&IQCGradeSummary::NewSummary>, DataAccess::kWrites},
    {9, u"NewSummaryTemplate", u"method NewSummaryTemplate", kNewSummaryTemplateParams,
     Invoker<&IQCGradeSummary::NewSummaryTemplate>, DataAccess::kWrites},
    {10, u"GetHtmlContent", u"mehtod GetHtmlContent", kGetHtmlContentParams,
     Invoker<&IQCGradeSummary::GetHtmlContent>},
    {11, u"GetSummaryList", u"method GetSummaryList", kGetSummaryListParams,
     Invoker<&IQCGradeSummary::GetSummaryList>},
    {12, u"GetSummaryTemplateList", u"method GetSummaryTemplateList", kGetSummaryTemplateListParams,
     Invoker<&IQCGradeSummary::GetSummaryTemplateList>},
    {13, u"GenerateSelfGradeTable", u"method GenerateSelfGradeTable", kGenerateSelfGradeTableParams,
     Invoker<&IQCGradeSummary::GenerateSelfGradeTable>, DataAccess::kWrites},
    {14, u"RemoveSummary", u"method RemoveSummary", kRemoveSummaryParams,
     Invoker<&IQCGradeSummary::RemoveSummary>, DataAccess::kWrites},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIQCGradeSummaryInfo{IID_IQCGradeSummary, u"IQCGradeSummary",
                                                            u"IQCGradeSummary Interface", kMethods};
