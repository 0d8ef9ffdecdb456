// The type information of IPatientPaperMag: dispatch identifiers, names, help strings and
// parameters as the type library declares them.
#include "interface/patient_paper_mag_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kSearchPatientPMRListParams[] = {Param::In(u"bstrSearchInfo", VT_BSTR),
                                                     Param::Retval(u"pbstrPatientList", VT_BSTR)};
constexpr ParamInfo kCommitPaperCaseParams[] = {Param::In(u"bstrPMRInfo", VT_BSTR),
                                                Param::In(u"bstrClientInfo", VT_BSTR)};
constexpr ParamInfo kCancelCommitPaperParams[] = {Param::In(u"bstrPMRInfo", VT_BSTR)};
constexpr ParamInfo kRollbackPaperCaseParams[] = {Param::In(u"bstrPMRInfo", VT_BSTR),
                                                  Param::In(u"bstrClientInfo", VT_BSTR)};
constexpr ParamInfo kCheckinPaperCaseParams[] = {Param::In(u"bstrPMRInfo", VT_BSTR),
                                                 Param::In(u"bstrClientInfo", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"SearchPatientPMRList", u"method SearchPatientPMRList", kSearchPatientPMRListParams,
     Invoker<&IPatientPaperMag::SearchPatientPMRList>},
    {2, u"CommitPaperCase", u"method CommitPaperCase", kCommitPaperCaseParams,
     Invoker<&IPatientPaperMag::CommitPaperCase>, DataAccess::kWrites},
    {3, u"CancelCommitPaper", u"method CancelCommitPaper", kCancelCommitPaperParams,
     Invoker<&IPatientPaperMag::CancelCommitPaper>, DataAccess::kWrites},
    {4, u"RollbackPaperCase", u"method RollbackPaperCase", kRollbackPaperCaseParams,
     Invoker<&IPatientPaperMag::RollbackPaperCase>, DataAccess::kWrites},
    {5, u"CheckinPaperCase", u"method CheckinPaperCase", kCheckinPaperCaseParams,
     Invoker<&IPatientPaperMag::CheckinPaperCase>, DataAccess::kWrites},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIPatientPaperMagInfo{
    IID_IPatientPaperMag, u"IPatientPaperMag", u"IPatientPaperMag 接口", kMethods};
