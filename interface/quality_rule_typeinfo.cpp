// The type information of IQualityRule: dispatch identifiers, names, help strings and parameters as
// the type library declares them.
#include "interface/quality_rule_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kInitNewParams[] = {Param::In(u"bstrProperty", VT_BSTR),
                                        Param::Retval(u"plngNewID", VT_I4)};
constexpr ParamInfo kGetPropertyParams[] = {Param::In(u"lngRule", VT_I4),
                                            Param::Retval(u"pbstrProperty", VT_BSTR)};
constexpr ParamInfo kSavePropertyParams[] = {Param::In(u"lngRule", VT_I4),
                                             Param::In(u"bstrProperty", VT_BSTR)};
constexpr ParamInfo kDeleteParams[] = {Param::In(u"lngRule", VT_I4)};
constexpr ParamInfo kGetRelationRuleListParams[] = {Param::In(u"lngRule", VT_I4),
                                                    Param::In(u"lngRelationType", VT_I4),
                                                    Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kSaveRelationRuleListParams[] = {Param::In(u"lngRule", VT_I4),
                                                     Param::In(u"lngRelationType", VT_I4),
                                                     Param::In(u"bstrList", VT_BSTR)};
constexpr ParamInfo kOpenParams[] = {
    Param::In(u"bstrPatientID", VT_BSTR), Param::In(u"bstrEventNo", VT_BSTR),
    Param::In(u"bstrRulePro", VT_BSTR), Param::In(u"bstrEventPro", VT_BSTR),
    Param::Retval(u"plngSerial", VT_I4)};
constexpr ParamInfo kCloseParams[] = {
    Param::In(u"bstrPatientID", VT_BSTR), Param::In(u"bstrEventNo", VT_BSTR),
    Param::In(u"bstrRuleId", VT_BSTR), Param::In(u"bstrEventPro", VT_BSTR)};
constexpr ParamInfo kUndoParams[] = {
    Param::In(u"bstrPatientID", VT_BSTR), Param::In(u"bstrEventNo", VT_BSTR),
    Param::In(u"bstrRuleId", VT_BSTR), Param::In(u"bstrEMRID", VT_BSTR),
    Param::In(u"bReserveOutTimeRule", VT_BOOL)};
constexpr ParamInfo kReOpenParams[] = {Param::In(u"bstrEventInfo", VT_BSTR)};
constexpr ParamInfo kReOpenUndoParams[] = {Param::In(u"bstrPatientID", VT_BSTR),
                                           Param::In(u"bstrEventNo", VT_BSTR),
                                           Param::In(u"bstrRuleId", VT_BSTR)};
constexpr ParamInfo kDeleteOpenRuleParams[] = {Param::In(u"bstrPatientID", VT_BSTR),
                                               Param::In(u"bstrEventNo", VT_BSTR),
                                               Param::In(u"bstrRuleId", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"InitNew", u"method InitNew", kInitNewParams, Invoker<&IQualityRule::InitNew>,
     DataAccess::kWrites},
    {2, u"GetProperty", u"method GetProperty", kGetPropertyParams,
     Invoker<&IQualityRule::GetProperty>},
    {3, u"SaveProperty", u"method SaveProperty", kSavePropertyParams,
     Invoker<&IQualityRule::SaveProperty>, DataAccess::kWrites},
    {4, u"Delete", u"method Delete", kDeleteParams, Invoker<&IQualityRule::Delete>,
     DataAccess::kWrites},
    {5, u"GetRelationRuleList", u"method GetRelationRuleList", kGetRelationRuleListParams,
     Invoker<&IQualityRule::GetRelationRuleList>},
    {6, u"SaveRelationRuleList", u"method SaveRelationRuleList", kSaveRelationRuleListParams,
     Invoker<&IQualityRule::SaveRelationRuleList>, DataAccess::kWrites},
    {7, u"Open", u"method Open", kOpenParams, Invoker<&IQualityRule::Open>, DataAccess::kWrites},
    {8, u"Close", u"method Close", kCloseParams, Invoker<&IQualityRule::Close>,
     DataAccess::kWrites},
    {9, u"Undo", u"method Undo", kUndoParams, Invoker<&IQualityRule::Undo>, DataAccess::kWrites},
    {10, u"ReOpen", u"method ReOpen", kReOpenParams, Invoker<&IQualityRule::ReOpen>,
     DataAccess::kWrites},
    {11, u"ReOpenUndo", u"method ReOpenUndo", kReOpenUndoParams, Invoker<&IQualityRule::ReOpenUndo>,
     DataAccess::kWrites},
    {12, u"DeleteOpenRule", u"method DeleteOpenRule", kDeleteOpenRuleParams,
     Invoker<&IQualityRule::DeleteOpenRule>},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIQualityRuleInfo{IID_IQualityRule, u"IQualityRule",
                                                         u"IQualityRule Interface", kMethods};
