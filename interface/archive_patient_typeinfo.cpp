// The type information of IArchivePatient: dispatch identifiers, names, help strings and parameters
// as the type library declares them.
#include "interface/archive_patient_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kGetInPatientListParams[] = {
    Param::In(u"bstrDeptID", VT_BSTR), Param::In(u"bstrStartTime", VT_BSTR),
    Param::In(u"bstrEndTime", VT_BSTR), Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetAllInPatientListParams[] = {Param::In(u"bstrStartTime", VT_BSTR),
                                                    Param::In(u"bstrEndTime", VT_BSTR),
                                                    Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetLeavePatientListParams[] = {
    Param::In(u"bstrDeptID", VT_BSTR), Param::In(u"bstrStartTime", VT_BSTR),
    Param::In(u"bstrEndTime", VT_BSTR), Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetAllLeavePatientListParams[] = {Param::In(u"bstrStartTime", VT_BSTR),
                                                       Param::In(u"bstrEndTime", VT_BSTR),
                                                       Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetToCommitPatientParams[] = {Param::In(u"bstrDeptID", VT_BSTR),
                                                   Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetAllToCommitPatientParams[] = {Param::In(u"bstrStartTime", VT_BSTR),
                                                      Param::In(u"bstrEndTime", VT_BSTR),
                                                      Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetCommitedPatientParams[] = {Param::In(u"bstrArgs", VT_BSTR),
                                                   Param::Retval(u"pbstrList", VT_BSTR)};
// GetAllCommitedPatient: a parameter declared without a direction attribute is an input.
constexpr ParamInfo kGetAllCommitedPatientParams[] = {Param::In(u"bstrStartTime", VT_BSTR),
                                                      Param::In(u"bstrEndTime", VT_BSTR),
                                                      Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetUncodedPatientParams[] = {Param::In(u"bstrDeptID", VT_BSTR),
                                                  Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetAllUncodedPatientParams[] = {Param::In(u"bstrStartTime", VT_BSTR),
                                                     Param::In(u"bstrEndTime", VT_BSTR),
                                                     Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kSearchPatientParams[] = {Param::In(u"bstrSearchInfo", VT_BSTR),
                                              Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetFreezePatientParams[] = {Param::In(u"bstrArgs", VT_BSTR),
                                                 Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetPatientHeaderEmrListParams[] = {Param::In(u"bstrPatientID", VT_BSTR),
                                                        Param::In(u"bstrEventNo", VT_BSTR),
                                                        Param::Retval(u"pbstrIds", VT_BSTR)};
constexpr ParamInfo kSavePatientHeaderRecordParams[] = {Param::In(u"bstrPatientID", VT_BSTR),
                                                        Param::In(u"bstrEventNo", VT_BSTR),
                                                        Param::In(u"bstrList", VT_BSTR)};
constexpr ParamInfo kGetPreCommitPatientParams[] = {Param::In(u"bstrArgs", VT_BSTR),
                                                    Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetAllPreCommitPatientParams[] = {Param::In(u"bstrStartTime", VT_BSTR),
                                                       Param::In(u"bstrEndTime", VT_BSTR),
                                                       Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetEmrBatchPrintCatalogListParams[] = {Param::In(u"bstrPatientID", VT_BSTR),
                                                            Param::In(u"bstrEventNo", VT_BSTR),
                                                            Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kGetEmrBatchPrintListParams[] = {
    Param::In(u"bstrPatientID", VT_BSTR), Param::In(u"bstrEventNo", VT_BSTR),
    Param::In(u"lngCatalogID", VT_I4), Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kSaveCopiedPatientParams[] = {Param::In(u"bstrArgs", VT_BSTR),
                                                  Param::Retval(u"pbstrRecordId", VT_BSTR)};
constexpr ParamInfo kGetCopiedPatientListParams[] = {Param::In(u"bstrArgs", VT_BSTR),
                                                     Param::Retval(u"pbstrList", VT_BSTR)};
constexpr ParamInfo kDeleteCopyRecordParams[] = {Param::In(u"bstrPatientID", VT_BSTR),
                                                 Param::In(u"bstrEventNo", VT_BSTR),
                                                 Param::In(u"bstrSerial", VT_BSTR)};
constexpr ParamInfo kGetCheckPatientListParams[] = {Param::In(u"bstrArgs", VT_BSTR),
                                                    Param::Retval(u"pbstrPatientList", VT_BSTR)};
constexpr ParamInfo kSaveCheckEMRParams[] = {
    Param::In(u"bstrEMRInfo", VT_BSTR), Param::In(u"bstrContent", VT_BSTR),
    Param::In(u"bstrXML", VT_BSTR), Param::In(u"bstrClientInfo", VT_BSTR)};
// GetCheckEMR: the string pointer declared [in] travels by reference; the method leaves it
// unchanged.
constexpr ParamInfo kGetCheckEMRParams[] = {Param::In(u"bstrEMRInfo", VT_BSTR),
                                            Param::InOut(u"pbstrXml", VT_BSTR),
                                            Param::Retval(u"pbstrContent", VT_BSTR)};
constexpr ParamInfo kSearchCheckinPatientParams[] = {Param::In(u"bstrSearchInfo", VT_BSTR),
                                                     Param::Retval(u"bstrPatientList", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"GetInPatientList", u"method GetInPatientList", kGetInPatientListParams,
     Invoker<&IArchivePatient::GetInPatientList>},
    {2, u"GetAllInPatientList", u"method GetAllInPatientList", kGetAllInPatientListParams,
     Invoker<&IArchivePatient::GetAllInPatientList>},
    {3, u"GetLeavePatientList", u"method GetLeavePatientList", kGetLeavePatientListParams,
     Invoker<&IArchivePatient::GetLeavePatientList>},
    {4, u"GetAllLeavePatientList", u"method GetAllLeavePatientList", kGetAllLeavePatientListParams,
     Invoker<&IArchivePatient::GetAllLeavePatientList>},
    {5, u"GetToCommitPatient", u"method GetToCommitPatient", kGetToCommitPatientParams,
     Invoker<&IArchivePatient::GetToCommitPatient>},
    {6, u"GetAllToCommitPatient", u"method GetAllToCommitPatient", kGetAllToCommitPatientParams,
     Invoker<&IArchivePatient::GetAllToCommitPatient>},
    {7, u"GetCommitedPatient", u"method GetCommitedPatient", kGetCommitedPatientParams,
     Invoker<&IArchivePatient::GetCommitedPatient>},
    {8, u"GetAllCommitedPatient", u"method GetAllCommitedPatient", kGetAllCommitedPatientParams,
     Invoker<&IArchivePatient::GetAllCommitedPatient>},
    {9, u"GetUncodedPatient", u"method GetUncodedPatient", kGetUncodedPatientParams,
     Invoker<&IArchivePatient::GetUncodedPatient>},
    {10, u"GetAllUncodedPatient", u"method GetAllUncodedPatient", kGetAllUncodedPatientParams,
     Invoker<&IArchivePatient::GetAllUncodedPatient>},
    {11, u"SearchPatient", u"method SearchPatient", kSearchPatientParams,
     Invoker<&IArchivePatient::SearchPatient>},
    {12, u"GetFreezePatient", u"method GetFreezePatient", kGetFreezePatientParams,
     Invoker<&IArchivePatient::GetFreezePatient>},
    {13, u"GetPatientHeaderEmrList", u"method GetPatientHeaderEmrList",
     kGetPatientHeaderEmrListParams, Invoker<&IArchivePatient::GetPatientHeaderEmrList>},
    {14, u"SavePatientHeaderRecord", u"method SavePatientHeaderRecord",
     kSavePatientHeaderRecordParams, Invoker<&IArchivePatient::SavePatientHeaderRecord>,
     DataAccess::kWrites},
    {15, u"GetPreCommitPatient", u"method GetPreCommitPatient", kGetPreCommitPatientParams,
     Invoker<&IArchivePatient::GetPreCommitPatient>},
    {16, u"GetAllPreCommitPatient", u"method GetAllPreCommitPatient", kGetAllPreCommitPatientParams,
     Invoker<&IArchivePatient::GetAllPreCommitPatient>},
    {17, u"GetEmrBatchPrintCatalogList", u"method GetEmrBatchPrintCatalogList",
     kGetEmrBatchPrintCatalogListParams, Invoker<&IArchivePatient::GetEmrBatchPrintCatalogList>},
    {18, u"GetEmrBatchPrintList", u"method GetEmrBatchPrintList", kGetEmrBatchPrintListParams,
     Invoker<&IArchivePatient::GetEmrBatchPrintList>},
    {19, u"SaveCopiedPatient", u"method SaveCopiedPatient", kSaveCopiedPatientParams,
     Invoker<&IArchivePatient::SaveCopiedPatient>, DataAccess::kWrites},
    {20, u"GetCopiedPatientList", u"method GetCopiedPatientList", kGetCopiedPatientListParams,
     Invoker<&IArchivePatient::GetCopiedPatientList>},
    {21, u"DeleteCopyRecord", u"method DeleteCopyRecord", kDeleteCopyRecordParams,
     Invoker<&IArchivePatient::DeleteCopyRecord>, DataAccess::kWrites},
    {22, u"GetCheckPatientList", u"method GetCheckPatientList", kGetCheckPatientListParams,
     Invoker<&IArchivePatient::GetCheckPatientList>},
    {23, u"SaveCheckEMR", u"method SaveCheckEMR", kSaveCheckEMRParams,
     Invoker<&IArchivePatient::SaveCheckEMR>, DataAccess::kWrites},
    {24, u"GetCheckEMR", u"method GetCheckEMR", kGetCheckEMRParams,
     Invoker<&IArchivePatient::GetCheckEMR>, DataAccess::kWrites},
    {25, u"SearchCheckinPatient", u"method SearchCheckinPatient", kSearchCheckinPatientParams,
     Invoker<&IArchivePatient::SearchCheckinPatient>},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIArchivePatientInfo{IID_IArchivePatient, u"IArchivePatient",
                                                            u"IArchivePatient Interface", kMethods};
