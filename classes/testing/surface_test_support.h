// What the tests of the automation classes share: one row per method of the 23 wrapped classes
// with its vote and its departure from the common frame, the classes with their recording and
// library creators and COM shape, the arguments of one call built from a method's table, and
// a call scope that counts the calls' data sources.
//
// Thread-safety: none; tests run on one thread.
#pragma once

#include <array>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "classes/archive_patient_class.h"
#include "classes/archive_report_class.h"
#include "classes/config_task_class.h"
#include "classes/core_system_class.h"
#include "classes/dept_qc_patient_class.h"
#include "classes/emr_dict_t_class.h"
#include "classes/emr_library_class.h"
#include "classes/emr_report_class.h"
#include "classes/event_register_class.h"
#include "classes/event_trigger_class.h"
#include "classes/function_admin_class.h"
#include "classes/monitor_service_class.h"
#include "classes/patient_paper_mag_class.h"
#include "classes/qc_admin_class.h"
#include "classes/qc_collector_class.h"
#include "classes/qc_grade_summary_class.h"
#include "classes/qc_patient_class.h"
#include "classes/qc_task_class.h"
#include "classes/quality_rule_class.h"
#include "classes/quality_trigger_class.h"
#include "classes/testing/recording_body.h"
#include "classes/repository_class.h"
#include "classes/sys_event_class.h"
#include "classes/terminal_qc_patient_class.h"
#include "interface/method_frame.h"
#include "platform/com/bstr.h"
#include "platform/com/class_factory.h"
#include "platform/com/error_info.h"
#include "platform/com/type_info_table.h"
#include "platform/text/unicode.h"

namespace korvalis::testing {

// How a method leaves the common frame.
enum class Departure {
  kNone,                           // the frame around its body
  kEmptyMethod,                    // S_OK at once: no data source, no vote, results untouched
  kEmptyResult,                    // stores an empty text; no data source
  kNotImplemented,                 // E_NOTIMPL at once
  kEmptyBody,                      // the frame around a body that does nothing
  kAnswer,                         // "true" or "false" instead of a failure, no vote
  kVoteOnly,                       // votes complete; no data source, no body
  kParsesEventInfo,                // reads the visit from its event document first
  kLocalResult,                    // the body gets one more result pointer, of the wrapper's
  kEmptyContent,                   // the body gets one more argument, an empty text
  kNegativeIdRefused,              // E_FAIL and an empty result for an identifier below 0
  kNegativeIdOrNullResultRefused,  // E_FAIL for an identifier below 0 or a null result
  kNullTextRefused,                // E_FAIL for a null list
  kIdBelowOneOrNullResultRefused,  // E_FAIL for an identifier below 1 or a null result
};

struct WrapperRow {
  std::u16string_view class_name;
  int32_t dispid;
  std::u16string_view method;
  bool votes;
  Departure departure;
  std::string_view body;  // "CBClass::Method", empty when the method calls none
};

inline void PrintTo(const WrapperRow& row, std::ostream* os) {
  *os << ToUtf8(row.class_name) << "::" << ToUtf8(row.method) << " (dispid " << row.dispid << ")";
}

inline constexpr WrapperRow kWrapperRows[] = {
    {u"ArchivePatient", 1, u"GetInPatientList", false, Departure::kNone, "CBArchivePatient::GetInPatientList"},
    {u"ArchivePatient", 2, u"GetAllInPatientList", false, Departure::kNone, "CBArchivePatient::GetAllInPatientList"},
    {u"ArchivePatient", 3, u"GetLeavePatientList", false, Departure::kNone, "CBArchivePatient::GetLeavePatientList"},
    {u"ArchivePatient", 4, u"GetAllLeavePatientList", false, Departure::kNone, "CBArchivePatient::GetAllLeavePatientList"},
    {u"ArchivePatient", 5, u"GetToCommitPatient", false, Departure::kNone, "CBArchivePatient::GetToCommitPatient"},
    {u"ArchivePatient", 6, u"GetAllToCommitPatient", false, Departure::kNone, "CBArchivePatient::GetAllToCommitPatient"},
    {u"ArchivePatient", 7, u"GetCommitedPatient", false, Departure::kNone, "CBArchivePatient::GetCommitedPatient"},
    {u"ArchivePatient", 8, u"GetAllCommitedPatient", false, Departure::kNone, "CBArchivePatient::GetAllCommitedPatient"},
    {u"ArchivePatient", 9, u"GetUncodedPatient", false, Departure::kNone, "CBArchivePatient::GetUncodedPatient"},
    {u"ArchivePatient", 10, u"GetAllUncodedPatient", false, Departure::kNone, "CBArchivePatient::GetAllUncodedPatient"},
    {u"ArchivePatient", 11, u"SearchPatient", false, Departure::kNone, "CBArchivePatient::SearchPatient"},
    {u"ArchivePatient", 12, u"GetFreezePatient", false, Departure::kNone, "CBArchivePatient::GetFreezePatient"},
    {u"ArchivePatient", 13, u"GetPatientHeaderEmrList", false, Departure::kNone, "CBArchivePatient::GetPatientHeaderEmrList"},
    {u"ArchivePatient", 14, u"SavePatientHeaderRecord", true, Departure::kNone, "CBArchivePatient::SavePatientHeaderRecord"},
    {u"ArchivePatient", 15, u"GetPreCommitPatient", false, Departure::kNone, "CBArchivePatient::GetPreCommitPatient"},
    {u"ArchivePatient", 16, u"GetAllPreCommitPatient", false, Departure::kNone, "CBArchivePatient::GetAllPreCommitPatient"},
    {u"ArchivePatient", 17, u"GetEmrBatchPrintCatalogList", false, Departure::kNone, "CBArchivePatient::GetEmrBatchPrintCatalogList"},
    {u"ArchivePatient", 18, u"GetEmrBatchPrintList", false, Departure::kNone, "CBArchivePatient::GetEmrBatchPrintList"},
    {u"ArchivePatient", 19, u"SaveCopiedPatient", true, Departure::kNone, "CBArchivePatient::SaveCopiedPatient"},
    {u"ArchivePatient", 20, u"GetCopiedPatientList", false, Departure::kNone, "CBArchivePatient::GetCopiedPatientList"},
    {u"ArchivePatient", 21, u"DeleteCopyRecord", true, Departure::kNone, "CBArchivePatient::DeleteCopyRecord"},
    {u"ArchivePatient", 22, u"GetCheckPatientList", false, Departure::kNone, "CBArchivePatient::GetCheckPatientList"},
    {u"ArchivePatient", 23, u"SaveCheckEMR", true, Departure::kNone, "CBArchivePatient::SaveCheckEMR"},
    {u"ArchivePatient", 24, u"GetCheckEMR", false, Departure::kNone, "CBArchivePatient::GetCheckEMR"},
    {u"ArchivePatient", 25, u"SearchCheckinPatient", false, Departure::kNone, "CBArchivePatient::SearchCheckinPatient"},
    {u"ArchiveReport", 1, u"Init", false, Departure::kEmptyMethod, ""},
    {u"ArchiveReport", 2, u"GetInDeptList", false, Departure::kNone, "CBArchiveReport::GetInDeptList"},
    {u"ArchiveReport", 3, u"GetWriterInfoList", false, Departure::kNone, "CBArchiveReport::GetWriterInfoList"},
    {u"ArchiveReport", 4, u"GetTimeOutWriteList", false, Departure::kEmptyResult, ""},
    {u"ArchiveReport", 5, u"GetTimeOutUnwriteList", false, Departure::kEmptyMethod, ""},
    {u"ConfigTask", 1, u"GetQcTaskCountList", false, Departure::kNone, "CBConfigTask::GetQcTaskCountList"},
    {u"ConfigTask", 2, u"GetTaskPatientList", false, Departure::kNone, "CBConfigTask::GetTaskPatientList"},
    {u"ConfigTask", 3, u"NewTendTask", true, Departure::kNone, "CBConfigTask::NewTendTask"},
    {u"ConfigTask", 4, u"GetTendTaskList", false, Departure::kNone, "CBConfigTask::GetTendTaskList"},
    {u"ConfigTask", 5, u"UpdateTendTask", true, Departure::kNone, "CBConfigTask::UpdateTendTask"},
    {u"CoreSystem", 1, u"GetDeptActivity", false, Departure::kNone, "CBCoreSystem::GetDeptActivity"},
    {u"CoreSystem", 2, u"SetDeptActivity", true, Departure::kNone, "CBCoreSystem::SetDeptActivity"},
    {u"CoreSystem", 3, u"DelDeptActivity", true, Departure::kNone, "CBCoreSystem::DelDeptActivity"},
    {u"CoreSystem", 4, u"GetCoreReport", false, Departure::kNone, "CBCoreSystem::GetCoreReport"},
    {u"CoreSystem", 5, u"SetCoreReport", true, Departure::kNone, "CBCoreSystem::SetCoreReport"},
    {u"CoreSystem", 6, u"DelCoreReport", true, Departure::kNone, "CBCoreSystem::DelCoreReport"},
    {u"CoreSystem", 7, u"SaveDoctorShiftRecord", true, Departure::kEmptyBody, ""},
    {u"CoreSystem", 8, u"GetDoctorShiftRecord", false, Departure::kNone, "CBCoreSystem::GetDoctorShiftRecord"},
    {u"CoreSystem", 9, u"DeleteDoctorShiftRecord", true, Departure::kNone, "CBCoreSystem::DeleteDoctorShiftRecord"},
    {u"CoreSystem", 10, u"DoctorShiftRecordNext", false, Departure::kNone, "CBCoreSystem::DoctorShiftRecordNext"},
    {u"CoreSystem", 11, u"DoctorShiftRecordPrevious", false, Departure::kNone, "CBCoreSystem::DoctorShiftRecordPrevious"},
    {u"CoreSystem", 12, u"DeptActivilyRecordNext", false, Departure::kEmptyMethod, ""},
    {u"CoreSystem", 13, u"DeptActivilyRecordPrevious", false, Departure::kEmptyMethod, ""},
    {u"CoreSystem", 14, u"RescueRecordNext", false, Departure::kEmptyMethod, ""},
    {u"CoreSystem", 15, u"RescueRecordPrevious", false, Departure::kEmptyMethod, ""},
    {u"CoreSystem", 16, u"GetRescueRecord", true, Departure::kNone, "CBCoreSystem::GetRescueRecord"},
    {u"CoreSystem", 17, u"SetRescueRecord", true, Departure::kNone, "CBCoreSystem::SetRescueRecord"},
    {u"CoreSystem", 18, u"DelRescueRecord", true, Departure::kNone, "CBCoreSystem::DelRescueRecord"},
    {u"CoreSystem", 19, u"RefreshRecord", true, Departure::kNone, "CBCoreSystem::RefreshRecord"},
    {u"DeptQCPatient", 1, u"AddQCPatient", true, Departure::kNone, "CBDeptQCPatient::AddQCPatient"},
    {u"DeptQCPatient", 2, u"RemoveQCPatient", true, Departure::kNone, "CBDeptQCPatient::RemoveQCPatient"},
    {u"DeptQCPatient", 3, u"ScorePatient", true, Departure::kNone, "CBDeptQCPatient::ScorePatient"},
    {u"DeptQCPatient", 4, u"GetPatientScore", false, Departure::kNone, "CBDeptQCPatient::GetPatientScore"},
    {u"DeptQCPatient", 5, u"GetQCPatient", false, Departure::kNone, "CBDeptQCPatient::GetQCPatient"},
    {u"DeptQCPatient", 6, u"VerifyPatientScore", true, Departure::kNone, "CBDeptQCPatient::VerifyPatientScore"},
    {u"DeptQCPatient", 7, u"GenerateQCReport", true, Departure::kNone, "CBDeptQCPatient::GenerateQCReport"},
    {u"EMRDictT", 1, u"NewDict", true, Departure::kNone, "CBEMRDictT::NewDict"},
    {u"EMRDictT", 2, u"GetDictByDictName", false, Departure::kNone, "CBEMRDictT::GetDictByDictName"},
    {u"EMRDictT", 3, u"SetDictContent", true, Departure::kNone, "CBEMRDictT::SetDictContent"},
    {u"EMRDictT", 4, u"GetDictContent", false, Departure::kNone, "CBEMRDictT::GetDictContent"},
    {u"EMRDictT", 5, u"GetDataList", false, Departure::kNone, "CBEMRDictT::GetDataList"},
    {u"EMRDictT", 6, u"GetDictList", false, Departure::kNone, "CBEMRDictT::GetDictList"},
    {u"EMRDictT", 7, u"DeleteDictByName", true, Departure::kNone, "CBEMRDictT::DeleteDictByName"},
    {u"EMRDictT", 8, u"SetDictName", true, Departure::kNone, "CBEMRDictT::SetDictName"},
    {u"EMRLibrary", 1, u"FullSearch", false, Departure::kNone, "CBEMRLibrary::FullSearch"},
    {u"EMRLibrary", 2, u"GetHeaderXml", false, Departure::kNone, "CBEMRLibrary::GetHeaderXml"},
    {u"EMRLibrary", 3, u"GetEMRContent", false, Departure::kNone, "CBEMRLibrary::GetEMRContent"},
    {u"EMRLibrary", 4, u"BrowseEMR", false, Departure::kNone, "CBEMRLibrary::BrowseEMR"},
    {u"EMRLibrary", 5, u"SingleSearch", false, Departure::kNone, "CBEMRLibrary::SingleSearch"},
    {u"EMRLibrary", 6, u"FullSearch2", false, Departure::kNone, "CBEMRLibrary::FullSearch2"},
    {u"EMRLibrary", 7, u"PathSearch", false, Departure::kNone, "CBEMRLibrary::PathSearch"},
    {u"EMRLibrary", 8, u"GetConditionList", false, Departure::kNone, "CBEMRLibrary::GetConditionList"},
    {u"EMRLibrary", 9, u"GetOperatorList", false, Departure::kNone, "CBEMRLibrary::GetOperatorList"},
    {u"EMRLibrary", 10, u"GetXmlFrameList", false, Departure::kNone, "CBEMRLibrary::GetXmlFrameList"},
    {u"EMRLibrary", 11, u"SaveXmlFrameProperty", true, Departure::kNone, "CBEMRLibrary::SaveXmlFrameProperty"},
    {u"EMRLibrary", 12, u"GetXmlFrameContent", false, Departure::kNone, "CBEMRLibrary::GetXmlFrameContent"},
    {u"EMRLibrary", 13, u"SaveXmlFrameContent", true, Departure::kNone, "CBEMRLibrary::SaveXmlFrameContent"},
    {u"EMRLibrary", 14, u"GetPathValue", false, Departure::kNone, "CBEMRLibrary::GetPathValue"},
    {u"EMRLibrary", 15, u"GetDictContent", false, Departure::kNone, "CBEMRLibrary::GetDictContent"},
    {u"EMRLibrary", 16, u"GetBrowserCatalog", false, Departure::kNone, "CBEMRLibrary::GetBrowserCatalog"},
    {u"EMRLibrary", 17, u"IsPass", false, Departure::kNone, "CBEMRLibrary::IsPass"},
    {u"EMRLibrary", 18, u"SaveConditionList", true, Departure::kNone, "CBEMRLibrary::SaveConditionList"},
    {u"EMRLibrary", 19, u"SaveOperatorList", true, Departure::kNone, "CBEMRLibrary::SaveOperatorList"},
    {u"EMRLibrary", 20, u"GetUserList", false, Departure::kNone, "CBEMRLibrary::GetUserList"},
    {u"EMRLibrary", 21, u"SaveUserList", true, Departure::kNone, "CBEMRLibrary::SaveUserList"},
    {u"EMRLibrary", 22, u"DeleteXmlFrame", true, Departure::kNone, "CBEMRLibrary::DeleteXmlFrame"},
    {u"EMRLibrary", 23, u"GetUserProperty", false, Departure::kNone, "CBEMRLibrary::GetUserProperty"},
    {u"EMRLibrary", 24, u"GetXmlFrameProperty", false, Departure::kNone, "CBEMRLibrary::GetXmlFrameProperty"},
    {u"EMRLibrary", 25, u"UnLimitBrowseEMR", false, Departure::kNone, "CBEMRLibrary::UnLimitBrowseEMR"},
    {u"EMRLibrary", 26, u"GetURLXmlFile", false, Departure::kNone, "CBEMRLibrary::GetURLXmlFile"},
    {u"EMRReport", 1, u"InitNewCatalog", true, Departure::kNone, "CBEMRReport::InitNewCatalog"},
    {u"EMRReport", 2, u"DeleteCatalog", true, Departure::kNone, "CBEMRReport::DeleteCatalog"},
    {u"EMRReport", 3, u"GetCatalogList", false, Departure::kNone, "CBEMRReport::GetCatalogList"},
    {u"EMRReport", 4, u"GetCatalogProperty", false, Departure::kNone, "CBEMRReport::GetCatalogProperty"},
    {u"EMRReport", 5, u"SetCatalogProperty", true, Departure::kNone, "CBEMRReport::SetCatalogProperty"},
    {u"EMRReport", 6, u"InitNewReport", true, Departure::kNone, "CBEMRReport::InitNewReport"},
    {u"EMRReport", 7, u"DeleteReport", true, Departure::kNone, "CBEMRReport::DeleteReport"},
    {u"EMRReport", 8, u"GetReportList", false, Departure::kNone, "CBEMRReport::GetReportList"},
    {u"EMRReport", 9, u"GetReportProperty", false, Departure::kNone, "CBEMRReport::GetReportProperty"},
    {u"EMRReport", 10, u"SetReportProperty", true, Departure::kNone, "CBEMRReport::SetReportProperty"},
    {u"EMRReport", 11, u"GetReportSQL", false, Departure::kNone, "CBEMRReport::GetReportSQL"},
    {u"EMRReport", 12, u"SetReportSQL", true, Departure::kNone, "CBEMRReport::SetReportSQL"},
    {u"EMRReport", 13, u"GetReportXSLT", false, Departure::kNone, "CBEMRReport::GetReportXSLT"},
    {u"EMRReport", 14, u"SetReportXSLT", true, Departure::kNone, "CBEMRReport::SetReportXSLT"},
    {u"EMRReport", 15, u"GetSQLProperty", false, Departure::kNone, "CBEMRReport::GetSQLProperty"},
    {u"EMRReport", 16, u"SetSQLProperty", false, Departure::kNone, "CBEMRReport::SetSQLProperty"},
    {u"EMRReport", 17, u"GetSQLParam", false, Departure::kNone, "CBEMRReport::GetSQLParam"},
    {u"EMRReport", 18, u"SetSQLParam", true, Departure::kNone, "CBEMRReport::SetSQLParam"},
    {u"EMRReport", 19, u"ExportReport", false, Departure::kNegativeIdRefused, "CBEMRReport::ExportReport"},
    {u"EMRReport", 20, u"ImportReport", true, Departure::kNegativeIdOrNullResultRefused, "CBEMRReport::ImportReport"},
    {u"EMRReport", 21, u"GetUserReport", false, Departure::kNone, "CBEMRReport::GetUserReport"},
    {u"EMRReport", 22, u"DistributeReport", true, Departure::kNone, "CBEMRReport::DistributeReport"},
    {u"EMRReport", 23, u"GetReportContent", false, Departure::kNone, "CBEMRReport::GetReportContent"},
    {u"EMRReport", 24, u"GetUserCatalog", false, Departure::kNone, "CBEMRReport::GetUserCatalog"},
    {u"EMRReport", 25, u"GetReportDict", false, Departure::kNotImplemented, ""},
    {u"EMRReport", 26, u"DistributeReportToUser", true, Departure::kNullTextRefused, "CBEMRReport::DistributeReportToUser"},
    {u"EMRReport", 27, u"GetAllDistributedUserList", false, Departure::kIdBelowOneOrNullResultRefused, "CBEMRReport::GetAllDistributedUserList"},
    {u"EMRReport", 28, u"GetReportSQL2", false, Departure::kNone, "CBEMRReport::GetReportSQL2"},
    {u"EMRReport", 29, u"SetReportSQL2", true, Departure::kNone, "CBEMRReport::SetReportSQL2"},
    {u"EMRReport", 30, u"IsNewFormat", false, Departure::kNone, "CBEMRReport::IsNewFormat"},
    {u"EMRReport", 31, u"GetResultXML", false, Departure::kNone, "CBEMRReport::GetResultXML"},
    {u"EMRReport", 32, u"GetReportData", false, Departure::kNone, "CBEMRReport::GetReportData"},
    {u"EventRegister", 1, u"RegisterEvent", true, Departure::kNone, "CBEventRegister::RegisterEvent"},
    {u"EventRegister", 2, u"GetRegisterEventList", false, Departure::kNone, "CBEventRegister::GetRegisterEventList"},
    {u"EventRegister", 3, u"RegisterEvent2", false, Departure::kNone, "CBEventRegister::RegisterEvent"},
    {u"EventRegister", 4, u"UnRegisterEvent", true, Departure::kNone, "CBEventRegister::UnRegisterEvent"},
    {u"EventTrigger", 1, u"OnSysEvent", true, Departure::kNone, "CBEventTrigger::OnSysEvent"},
    {u"EventTrigger", 2, u"SaveSysEventProperty", false, Departure::kEmptyMethod, ""},
    {u"FunctionAdmin", 1, u"GetFunctionConfig", true, Departure::kNone, "CBFunctionAdmin::GetFunctionConfig"},
    {u"FunctionAdmin", 2, u"SetFunctionConfig", true, Departure::kNone, "CBFunctionAdmin::SetFunctionConfig"},
    {u"FunctionAdmin", 3, u"DelFunctionConfig", true, Departure::kNone, "CBFunctionAdmin::DelFunctionConfig"},
    {u"FunctionAdmin", 4, u"SetFunctionGroup", true, Departure::kNone, "CBFunctionAdmin::SetFunctionGroup"},
    {u"FunctionAdmin", 5, u"DelFunctionGroup", true, Departure::kNone, "CBFunctionAdmin::DelFunctionGroup"},
    {u"FunctionAdmin", 6, u"GetGroupMenu", true, Departure::kNone, "CBFunctionAdmin::GetGroupMenu"},
    {u"MonitorService", 1, u"MonitorService", true, Departure::kNone, "CBMonitorService::MonitorService"},
    {u"MonitorService", 2, u"AddServiceList", true, Departure::kNone, "CBMonitorService::AddServiceList"},
    {u"MonitorService", 3, u"GetServiceList", true, Departure::kNone, "CBMonitorService::GetServiceList"},
    {u"MonitorService", 4, u"DeleteServiceList", true, Departure::kNone, "CBMonitorService::DeleteServiceList"},
    {u"PatientPaperMag", 1, u"SearchPatientPMRList", false, Departure::kNone, "CBPatientPaperMag::SearchPatientPMRList"},
    {u"PatientPaperMag", 2, u"CommitPaperCase", true, Departure::kNone, "CBPatientPaperMag::CommitPaperCase"},
    {u"PatientPaperMag", 3, u"CancelCommitPaper", true, Departure::kNone, "CBPatientPaperMag::CancelCommitPaper"},
    {u"PatientPaperMag", 4, u"RollbackPaperCase", true, Departure::kNone, "CBPatientPaperMag::RollbackPaperCase"},
    {u"PatientPaperMag", 5, u"CheckinPaperCase", true, Departure::kNone, "CBPatientPaperMag::CheckinPaperCase"},
    {u"QCAdmin", 1, u"InitNewRule", true, Departure::kNone, "CBQCAdmin::InitNewRule"},
    {u"QCAdmin", 2, u"GetRuleProperty", false, Departure::kNone, "CBQCAdmin::GetRuleProperty"},
    {u"QCAdmin", 3, u"SaveRuleProperty", true, Departure::kNone, "CBQCAdmin::SaveRuleProperty"},
    {u"QCAdmin", 4, u"DeleteRule", true, Departure::kNone, "CBQCAdmin::DeleteRule"},
    {u"QCAdmin", 5, u"GetEmrTypeList", false, Departure::kNone, "CBQCAdmin::GetEmrTypeList"},
    {u"QCAdmin", 6, u"SaveEmrTypeList", true, Departure::kNone, "CBQCAdmin::SaveEmrTypeList"},
    {u"QCAdmin", 7, u"GetReplaceRuleList", false, Departure::kNone, "CBQCAdmin::GetReplaceRuleList"},
    {u"QCAdmin", 8, u"SaveReplaceRuleList", true, Departure::kNone, "CBQCAdmin::SaveReplaceRuleList"},
    {u"QCAdmin", 9, u"GetOpposeRuleList", false, Departure::kNone, "CBQCAdmin::GetOpposeRuleList"},
    {u"QCAdmin", 10, u"SaveOpposeRuleList", true, Departure::kNone, "CBQCAdmin::SaveOpposeRuleList"},
    {u"QCAdmin", 11, u"GetRuleList", false, Departure::kNone, "CBQCAdmin::GetRuleList"},
    {u"QCAdmin", 12, u"GetEventList", false, Departure::kNone, "CBQCAdmin::GetEventList"},
    {u"QCAdmin", 13, u"GetEventRuleList", false, Departure::kNone, "CBQCAdmin::GetEventRuleList"},
    {u"QCAdmin", 14, u"SaveEventRule", true, Departure::kNone, "CBQCAdmin::SaveEventRule"},
    {u"QCAdmin", 15, u"GetAllEventRule", true, Departure::kNone, "CBQCAdmin::GetAllEventRule"},
    {u"QCAdmin", 16, u"GetAllStandardList", false, Departure::kNone, "CBQCAdmin::GetAllStandardList"},
    {u"QCAdmin", 17, u"GetStandardCatalogList", false, Departure::kNone, "CBQCAdmin::GetStandardCatalogList"},
    {u"QCAdmin", 18, u"GetStandardList", false, Departure::kNone, "CBQCAdmin::GetStandardList"},
    {u"QCAdmin", 19, u"InitNewStandard", true, Departure::kNone, "CBQCAdmin::InitNewStandard"},
    {u"QCAdmin", 20, u"SaveStandardProperty", true, Departure::kNone, "CBQCAdmin::SaveStandardProperty"},
    {u"QCAdmin", 21, u"InitNewStandardCatalog", true, Departure::kNone, "CBQCAdmin::InitNewStandardCatalog"},
    {u"QCAdmin", 22, u"SaveStandardCatalogProperty", true, Departure::kNone, "CBQCAdmin::SaveStandardCatalogProperty"},
    {u"QCAdmin", 23, u"GetAllStandardCatalogList", false, Departure::kNone, "CBQCAdmin::GetAllStandardCatalogList"},
    {u"QCAdmin", 24, u"GetStandardProperty", false, Departure::kNone, "CBQCAdmin::GetStandardProperty"},
    {u"QCAdmin", 25, u"GetStandardCatalogProperty", false, Departure::kNone, "CBQCAdmin::GetStandardCatalogProperty"},
    {u"QCAdmin", 26, u"DeleteStandard", true, Departure::kNone, "CBQCAdmin::DeleteStandard"},
    {u"QCAdmin", 27, u"DeleteStandardCatalog", true, Departure::kNone, "CBQCAdmin::DeleteStandardCatalog"},
    {u"QCAdmin", 28, u"GetEMRAndQCMap", false, Departure::kNone, "CBQCAdmin::GetEMRAndQCMap"},
    {u"QCAdmin", 29, u"SaveEMRAndQCMap", true, Departure::kEmptyBody, ""},
    {u"QCAdmin", 30, u"GetRuleException", false, Departure::kNone, "CBQCAdmin::GetRuleException"},
    {u"QCAdmin", 31, u"SaveRuleException", true, Departure::kNone, "CBQCAdmin::SaveRuleException"},
    {u"QCAdmin", 32, u"GetStandardList2", false, Departure::kNone, "CBQCAdmin::GetStandardList2"},
    {u"QCAdmin", 33, u"GetStandardListByID", false, Departure::kNone, "CBQCAdmin::GetStandardListByID"},
    {u"QCAdmin", 34, u"IsStandardCodeExist", false, Departure::kNone, "CBQCAdmin::IsStandardCodeExist"},
    {u"QCAdmin", 35, u"AddQcEventAdviceMap", true, Departure::kNone, "CBQCAdmin::AddQcEventAdviceMap"},
    {u"QCAdmin", 36, u"RemoveQcEventMap", true, Departure::kNone, "CBQCAdmin::RemoveQcEventMap"},
    {u"QCAdmin", 37, u"GetQcEventAdviceMapList", false, Departure::kNone, "CBQCAdmin::GetQcEventAdviceMapList"},
    {u"QCAdmin", 38, u"GetFieldsOfTable", false, Departure::kNone, "CBQCAdmin::GetFieldsOfTable"},
    {u"QCAdmin", 39, u"TestForSql", false, Departure::kAnswer, "CBQCAdmin::TestForSql"},
    {u"QCAdmin", 40, u"GetDataOfTable", false, Departure::kNone, "CBQCAdmin::GetDataOfTable"},
    {u"QCAdmin", 41, u"GetExistPrimary", false, Departure::kNone, "CBQCAdmin::GetExistPrimary"},
    {u"QCAdmin", 42, u"PostSqlQuery", true, Departure::kNone, "CBQCAdmin::PostSqlQuery"},
    {u"QCCollector", 1, u"GetPatientQCList", false, Departure::kNone, "CBQCCollector::GetPatientQCList"},
    {u"QCCollector", 2, u"GetDeptQCList", false, Departure::kEmptyMethod, ""},
    {u"QCCollector", 3, u"GetHospitalQCList", false, Departure::kEmptyMethod, ""},
    {u"QCCollector", 4, u"GetQCList", false, Departure::kNone, "CBQCCollector::GetQCList"},
    {u"QCCollector", 5, u"GetConditionList", false, Departure::kNone, "CBQCCollector::GetConditionList"},
    {u"QCCollector", 6, u"SaveConditionList", false, Departure::kEmptyMethod, ""},
    {u"QCCollector", 7, u"GetQueryTplList", false, Departure::kNone, "CBQCCollector::GetQueryTplList"},
    {u"QCCollector", 8, u"SaveQueryTplList", true, Departure::kNone, "CBQCCollector::SaveQueryTplList"},
    {u"QCCollector", 9, u"UnameFunGet", false, Departure::kEmptyMethod, ""},
    {u"QCCollector", 10, u"UnameFunSave", false, Departure::kEmptyMethod, ""},
    {u"QCCollector", 11, u"DeleteQueryTplList", true, Departure::kNone, "CBQCCollector::DeleteQueryTplList"},
    {u"QCCollector", 12, u"AddConditionGroup", true, Departure::kNone, "CBQCCollector::AddConditionGroup"},
    {u"QCCollector", 13, u"DeleteConditionGroupByCode", true, Departure::kNone, "CBQCCollector::DeleteConditionGroupByCode"},
    {u"QCCollector", 14, u"SetConditionGroupContent", true, Departure::kNone, "CBQCCollector::SetConditionGroupContent"},
    {u"QCCollector", 15, u"GetConditionGroupList", false, Departure::kNone, "CBQCCollector::GetConditionGroupList"},
    {u"QCCollector", 16, u"AddConditionItem", true, Departure::kNone, "CBQCCollector::AddConditionItem"},
    {u"QCCollector", 17, u"DelConditionItem", true, Departure::kNone, "CBQCCollector::DelConditionItem"},
    {u"QCCollector", 18, u"SetConditionItemContent", true, Departure::kNone, "CBQCCollector::SetConditionItemContent"},
    {u"QCCollector", 19, u"GetColumnByTabName", false, Departure::kNone, "CBQCCollector::GetColumnByTabName"},
    {u"QCCollector", 20, u"GetQCUserList", false, Departure::kNone, "CBQCCollector::GetQCUserList"},
    {u"QCCollector", 21, u"SaveConditionDistribute", true, Departure::kNone, "CBQCCollector::SaveConditionDistribute"},
    {u"QCCollector", 22, u"GetConditionDistribute", false, Departure::kNone, "CBQCCollector::GetConditionDistribute"},
    {u"QCCollector", 23, u"GetColumnData", false, Departure::kNone, "CBQCCollector::GetColumnData"},
    {u"QCCollector", 24, u"DelConditionItemByGroupCode", true, Departure::kNone, "CBQCCollector::DelConditionItemByGroupCode"},
    {u"QCCollector", 25, u"GetQCResultInfo", true, Departure::kNone, "CBQCCollector::GetQCResultInfo"},
    {u"QCCollector", 26, u"DistributeTpList", false, Departure::kNone, "CBQCCollector::DistributeTpList"},
    {u"QCCollector", 27, u"GetDistributeInfo", false, Departure::kNone, "CBQCCollector::GetDistributeInfo"},
    {u"QCCollector", 28, u"GetConditionDistributeEx", false, Departure::kNone, "CBQCCollector::GetConditionDistributeEx"},
    {u"QCCollector", 29, u"SetConditionDistributeEx", true, Departure::kNone, "CBQCCollector::SetConditionDistributeEx"},
    {u"QCCollector", 30, u"DelConditionDistributeUser", true, Departure::kNone, "CBQCCollector::DelConditionDistributeUser"},
    {u"QCCollector", 31, u"AddConditionDistributeUser", true, Departure::kNone, "CBQCCollector::AddConditionDistributeUser"},
    {u"QCCollector", 32, u"GetConditionDistributeUser", true, Departure::kNone, "CBQCCollector::GetConditionDistributeUser"},
    {u"QCCollector", 33, u"GetEmrApplyInfo", true, Departure::kNone, "CBQCCollector::GetEmrApplyInfo"},
    {u"QCCollector", 34, u"SetEmrApplyInfo", true, Departure::kNone, "CBQCCollector::SetEmrApplyInfo"},
    {u"QCCollector", 35, u"SetApplyStatus", true, Departure::kNone, "CBQCCollector::SetApplyStatus"},
    {u"QCCollector", 36, u"GetPatientCrisisInfo", true, Departure::kNone, "CBQCCollector::GetPatientCrisisInfo"},
    {u"QCCollector", 37, u"ConfirmCrisisInfo", true, Departure::kNone, "CBQCCollector::ConfirmCrisisInfo"},
    {u"QCGradeSummary", 1, u"GetXslContent", false, Departure::kNone, "CBQCGradeSummary::GetXslContent"},
    {u"QCGradeSummary", 2, u"GetDetailData", false, Departure::kNone, "CBQCGradeSummary::GetDetailData"},
    {u"QCGradeSummary", 3, u"GenerateSummary", false, Departure::kNone, "CBQCGradeSummary::GenerateSummary"},
    {u"QCGradeSummary", 4, u"SaveContent", true, Departure::kNone, "CBQCGradeSummary::SaveContent"},
    {u"QCGradeSummary", 5, u"SaveXslContent", true, Departure::kNone, "CBQCGradeSummary::SaveXslContent"},
    {u"QCGradeSummary", 6, u"ModifySummary", true, Departure::kNone, "CBQCGradeSummary::ModifySummary"},
    {u"QCGradeSummary", 7, u"ModifySummaryTemplate", true, Departure::kNone, "CBQCGradeSummary::ModifySummaryTemplate"},
    {u"QCGradeSummary", 8, u"NewSummary", true, Departure::kNone, "CBQCGradeSummary::NewSummary"},
    {u"QCGradeSummary", 9, u"NewSummaryTemplate", true, Departure::kNone, "CBQCGradeSummary::NewSummaryTemplate"},
    {u"QCGradeSummary", 10, u"GetHtmlContent", true, Departure::kNone, "CBQCGradeSummary::GetHtmlContent"},
    {u"QCGradeSummary", 11, u"GetSummaryList", false, Departure::kNone, "CBQCGradeSummary::GetSummaryList"},
    {u"QCGradeSummary", 12, u"GetSummaryTemplateList", false, Departure::kNone, "CBQCGradeSummary::GetSummaryTemplateList"},
    {u"QCGradeSummary", 13, u"GenerateSelfGradeTable", false, Departure::kNone, "CBQCGradeSummary::GenerateSelfGradeTable"},
    {u"QCGradeSummary", 14, u"RemoveSummary", true, Departure::kNone, "CBQCGradeSummary::RemoveSummary"},
    {u"QCPatient", 1, u"SendRectifyInfo", true, Departure::kNone, "CBQCPatient::SendRectifyInfo"},
    {u"QCPatient", 2, u"GetEmrRectifyProperty", false, Departure::kNone, "CBQCPatient::GetEmrRectifyProperty"},
    {u"QCPatient", 3, u"GetRectifyInfo", false, Departure::kNone, "CBQCPatient::GetRectifyInfo"},
    {u"QCPatient", 4, u"FeedBackRectifyInfo", true, Departure::kNone, "CBQCPatient::FeedBackRectifyInfo"},
    {u"QCPatient", 5, u"GetRectificationPatientList", false, Departure::kNone, "CBQCPatient::GetRectificationPatientList"},
    {u"QCPatient", 6, u"GetEmrGradeInfo", false, Departure::kNone, "CBQCPatient::GetEmrGradeInfo"},
    {u"QCPatient", 7, u"SaveEmrGrade", true, Departure::kNone, "CBQCPatient::SaveEmrGrade"},
    {u"QCPatient", 8, u"GetQCPatientGradeList", false, Departure::kNone, "CBQCPatient::GetQCPatientGradeList"},
    {u"QCPatient", 9, u"UpdateRectifyInfo", false, Departure::kNone, "CBQCPatient::UpdateRectifyInfo"},
    {u"QCPatient", 10, u"GetContentQCInfo", false, Departure::kNone, "CBQCPatient::GetContentQCInfo"},
    {u"QCPatient", 11, u"SaveContentQCInfo", true, Departure::kEmptyContent, "CBQCPatient::SaveContentQCInfo"},
    {u"QCPatient", 12, u"GetPatientProperty", false, Departure::kNone, "CBQCPatient::GetPatientProperty"},
    {u"QCTask", 1, u"New", true, Departure::kNone, "CBQCTask::New"},
    {u"QCTask", 2, u"Modify", true, Departure::kNone, "CBQCTask::Modify"},
    {u"QCTask", 3, u"Delete", true, Departure::kNone, "CBQCTask::Delete"},
    {u"QCTask", 4, u"GetProperty", false, Departure::kNone, "CBQCTask::GetProperty"},
    {u"QCTask", 5, u"GetTaskList", true, Departure::kNone, "CBQCTask::GetTaskList"},
    {u"QCTask", 7, u"GetPatientList", false, Departure::kNone, "CBQCTask::GetPatientList"},
    {u"QCTask", 8, u"AddPatient", true, Departure::kNone, "CBQCTask::AddPatient"},
    {u"QCTask", 9, u"DispatchPatient", false, Departure::kNone, "CBQCTask::DispatchPatient"},
    {u"QCTask", 10, u"RemovePatient", false, Departure::kNone, "CBQCTask::RemovePatient"},
    {u"QCTask", 11, u"GetTaskId", false, Departure::kNone, "CBQCTask::GetTaskId"},
    {u"QCTask", 12, u"GetDeptQCPatientList", false, Departure::kNone, "CBQCTask::GetDeptQCPatientList"},
    {u"QCTask", 13, u"NewDeptQCTask", true, Departure::kNone, "CBQCTask::NewDeptQCTask"},
    {u"QCTask", 14, u"GetQCRectifyList", false, Departure::kNone, "CBQCTask::GetQCRectifyList"},
    {u"QCTask", 15, u"SetTaskSummarize", true, Departure::kNone, "CBQCTask::SetTaskSummarize"},
    {u"QCTask", 16, u"GetTaskSummarize", false, Departure::kNone, "CBQCTask::GetTaskSummarize"},
    {u"QCTask", 17, u"GetToSummariseTask", false, Departure::kNone, "CBQCTask::GetToSummariseTask"},
    {u"QCTask", 18, u"NewMonthTaskForDept", true, Departure::kNone, "CBQCTask::NewMonthTaskForDept"},
    {u"QualityRule", 1, u"InitNew", true, Departure::kNone, "CBQualityRule::InitNew"},
    {u"QualityRule", 2, u"GetProperty", false, Departure::kNone, "CBQualityRule::GetProperty"},
    {u"QualityRule", 3, u"SaveProperty", true, Departure::kNone, "CBQualityRule::SaveProperty"},
    {u"QualityRule", 4, u"Delete", true, Departure::kNone, "CBQualityRule::Delete"},
    {u"QualityRule", 5, u"GetRelationRuleList", false, Departure::kNone, "CBQualityRule::GetRelationRuleList"},
    {u"QualityRule", 6, u"SaveRelationRuleList", true, Departure::kNone, "CBQualityRule::SaveRelationRuleList"},
    {u"QualityRule", 7, u"Open", true, Departure::kNone, "CBQualityRule::Open"},
    {u"QualityRule", 8, u"Close", true, Departure::kLocalResult, "CBQualityRule::Close"},
    {u"QualityRule", 9, u"Undo", true, Departure::kNone, "CBQualityRule::Undo"},
    {u"QualityRule", 10, u"ReOpen", true, Departure::kNone, "CBQualityRule::ReOpen"},
    {u"QualityRule", 11, u"ReOpenUndo", true, Departure::kNone, "CBQualityRule::ReOpenUndo"},
    {u"QualityRule", 12, u"DeleteOpenRule", false, Departure::kEmptyMethod, ""},
    {u"QualityTrigger", 1, u"FireOpen", true, Departure::kNone, "CBQualityTrigger::FireOpen"},
    {u"QualityTrigger", 2, u"FireClose", true, Departure::kNone, "CBQualityTrigger::FireClose"},
    {u"QualityTrigger", 3, u"Cancel", true, Departure::kVoteOnly, ""},
    {u"QualityTrigger", 4, u"ReFireOpen", true, Departure::kParsesEventInfo, "CBQualityTrigger::ReFireOpen"},
    {u"Repository", 1, u"SetVktCatalog", true, Departure::kNone, "CBRepository::SetVktCatalog"},
    {u"Repository", 2, u"DelVktCatalog", true, Departure::kNone, "CBRepository::DelVktCatalog"},
    {u"Repository", 3, u"GetVktCatalogList", false, Departure::kNone, "CBRepository::GetVktCatalogList"},
    {u"Repository", 4, u"SetVktItem", true, Departure::kNone, "CBRepository::SetVktItem"},
    {u"Repository", 5, u"DelVktItem", true, Departure::kNone, "CBRepository::DelVktItem"},
    {u"Repository", 6, u"GetVktItemList", false, Departure::kNone, "CBRepository::GetVktItemList"},
    {u"Repository", 7, u"SetVktStructure", true, Departure::kNone, "CBRepository::SetVktStructure"},
    {u"Repository", 8, u"DelVktStructure", true, Departure::kNone, "CBRepository::DelVktStructure"},
    {u"Repository", 9, u"GetVktStructure", false, Departure::kNone, "CBRepository::GetVktStructure"},
    {u"Repository", 10, u"SetVktElement", true, Departure::kNone, "CBRepository::SetVktElement"},
    {u"Repository", 11, u"DelVktElement", true, Departure::kNone, "CBRepository::DelVktElement"},
    {u"Repository", 12, u"GetVktElementList", false, Departure::kNone, "CBRepository::GetVktElementList"},
    {u"Repository", 13, u"GetVktDistriCatalog", false, Departure::kNone, "CBRepository::GetVktDistriCatalog"},
    {u"Repository", 14, u"AddVktDistriCatalog", true, Departure::kNone, "CBRepository::AddVktDistriCatalog"},
    {u"Repository", 15, u"DelVktDistriCatalog", true, Departure::kNone, "CBRepository::DelVktDistriCatalog"},
    {u"Repository", 16, u"GetVktRfConfig", false, Departure::kNone, "CBRepository::GetVktRfConfig"},
    {u"Repository", 17, u"SetVktRfConfig", true, Departure::kNone, "CBRepository::SetVktRfConfig"},
    {u"Repository", 18, u"DelVktRfConfig", true, Departure::kNone, "CBRepository::DelVktRfConfig"},
    {u"Repository", 19, u"GetVktCatalogListByDept", false, Departure::kNone, "CBRepository::GetVktCatalogListByDept"},
    {u"SysEvent", 1, u"InitNew", false, Departure::kEmptyMethod, ""},
    {u"SysEvent", 2, u"GetProperty", false, Departure::kEmptyMethod, ""},
    {u"SysEvent", 3, u"SaveProperty", false, Departure::kEmptyMethod, ""},
    {u"SysEvent", 4, u"Delete", false, Departure::kEmptyMethod, ""},
    {u"SysEvent", 5, u"GetEventRuleList", false, Departure::kNone, "CBSysEvent::GetEventRuleList"},
    {u"SysEvent", 6, u"SetEventRuleList", true, Departure::kNone, "CBSysEvent::SetEventRuleList"},
    {u"SysEvent", 7, u"AddEventRule", true, Departure::kNone, "CBSysEvent::AddEventRule"},
    {u"SysEvent", 8, u"DeleteEventRule", true, Departure::kNone, "CBSysEvent::DeleteEventRule"},
    {u"SysEvent", 9, u"GetOpposeEvent", false, Departure::kNone, "CBSysEvent::GetOpposeEvent"},
    {u"TerminalQCPatient", 1, u"GetDeptList", false, Departure::kNone, "CBTerminalQCPatient::GetDeptList"},
    {u"TerminalQCPatient", 2, u"GetDeptPatientList", false, Departure::kNone, "CBTerminalQCPatient::GetDeptPatientList"},
    {u"TerminalQCPatient", 3, u"GetPatientList", false, Departure::kNone, "CBTerminalQCPatient::GetPatientList"},
    {u"TerminalQCPatient", 4, u"ManagePatient", true, Departure::kNone, "CBTerminalQCPatient::ManagePatient"},
    {u"TerminalQCPatient", 5, u"SearchPatient", false, Departure::kNone, "CBTerminalQCPatient::SearchPatient"},
    {u"TerminalQCPatient", 6, u"ScorePatient", true, Departure::kNone, "CBTerminalQCPatient::ScorePatient"},
    {u"TerminalQCPatient", 7, u"GetPatientScore", false, Departure::kNone, "CBTerminalQCPatient::GetPatientScore"},
    {u"TerminalQCPatient", 8, u"RemoveAllPatient", true, Departure::kNone, "CBTerminalQCPatient::RemoveAllPatient"},
};

template <template <class> class Class>
HRESULT CreateRecording(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateComInstance<Class<RecordingBody>, com::Aggregation::kRefused>(outer, riid,
                                                                                  ppv);
}

struct ClassUnderTest {
  std::u16string_view name;
  com::InstanceCreator recording;  // the class over RecordingBody
  com::InstanceCreator library;    // the class the library creates
  const com::InterfaceInfo* info;
  bool supports_error_info;
  bool aggregatable;
  bool accepts_construction;
};

inline const ClassUnderTest kClassesUnderTest[] = {
    {u"ArchivePatient", &CreateRecording<CArchivePatientT>, &CreateArchivePatient, &kIArchivePatientInfo, true, true, false},
    {u"ArchiveReport", &CreateRecording<CArchiveReportT>, &CreateArchiveReport, &kIArchiveReportInfo, false, false, false},
    {u"ConfigTask", &CreateRecording<CConfigTaskT>, &CreateConfigTask, &kIConfigTaskInfo, true, true, false},
    {u"CoreSystem", &CreateRecording<CCoreSystemT>, &CreateCoreSystem, &kICoreSystemInfo, false, false, false},
    {u"DeptQCPatient", &CreateRecording<CDeptQCPatientT>, &CreateDeptQCPatient, &kIDeptQCPatientInfo, false, false, false},
    {u"EMRDictT", &CreateRecording<CEMRDictTT>, &CreateEMRDictT, &kIEMRDictTInfo, false, false, false},
    {u"EMRLibrary", &CreateRecording<CEMRLibraryT>, &CreateEMRLibrary, &kIEMRLibraryInfo, true, false, false},
    {u"EMRReport", &CreateRecording<CEMRReportT>, &CreateEMRReport, &kIEMRReportInfo, true, true, false},
    {u"EventRegister", &CreateRecording<CEventRegisterT>, &CreateEventRegister, &kIEventRegisterInfo, true, true, false},
    {u"EventTrigger", &CreateRecording<CEventTriggerT>, &CreateEventTrigger, &kIEventTriggerInfo, true, true, false},
    {u"FunctionAdmin", &CreateRecording<CFunctionAdminT>, &CreateFunctionAdmin, &kIFunctionAdminInfo, false, false, false},
    {u"MonitorService", &CreateRecording<CMonitorServiceT>, &CreateMonitorService, &kIMonitorServiceInfo, false, false, false},
    {u"PatientPaperMag", &CreateRecording<CPatientPaperMagT>, &CreatePatientPaperMag, &kIPatientPaperMagInfo, false, false, false},
    {u"QCAdmin", &CreateRecording<CQCAdminT>, &CreateQCAdmin, &kIQCAdminInfo, true, true, false},
    {u"QCCollector", &CreateRecording<CQCCollectorT>, &CreateQCCollector, &kIQCCollectorInfo, false, false, false},
    {u"QCGradeSummary", &CreateRecording<CQCGradeSummaryT>, &CreateQCGradeSummary, &kIQCGradeSummaryInfo, false, false, false},
    {u"QCPatient", &CreateRecording<CQCPatientT>, &CreateQCPatient, &kIQCPatientInfo, true, true, false},
    {u"QCTask", &CreateRecording<CQCTaskT>, &CreateQCTask, &kIQCTaskInfo, false, false, false},
    {u"QualityRule", &CreateRecording<CQualityRuleT>, &CreateQualityRule, &kIQualityRuleInfo, true, false, true},
    {u"QualityTrigger", &CreateRecording<CQualityTriggerT>, &CreateQualityTrigger, &kIQualityTriggerInfo, true, false, true},
    {u"Repository", &CreateRecording<CRepositoryT>, &CreateRepository, &kIRepositoryInfo, false, false, false},
    {u"SysEvent", &CreateRecording<CSysEventT>, &CreateSysEvent, &kISysEventInfo, true, false, false},
    {u"TerminalQCPatient", &CreateRecording<CTerminalQCPatientT>, &CreateTerminalQCPatient, &kITerminalQCPatientInfo, false, false, false},
};

inline const ClassUnderTest& FindClass(std::u16string_view name) {
  for (const ClassUnderTest& c : kClassesUnderTest) {
    if (c.name == name) return c;
  }
  throw std::logic_error("no class under test");
}

// Creates an object of `creator` and returns its IDispatch (one reference).
inline IDispatch* CreateDispatch(com::InstanceCreator creator) {
  void* object = nullptr;
  if (FAILED(creator(nullptr, IID_IDispatch, &object))) throw std::logic_error("no object");
  return static_cast<IDispatch*>(object);
}

// The arguments of one call of `method`: a distinct text per string ("参数0", "参数1", ...), the
// number 100 + position per long, VARIANT_TRUE per boolean; results point to values preset to
// "预设" + position, -7 and 5.
class CallArguments {
 public:
  explicit CallArguments(const com::MethodInfo& method) : params_(method.params) {
    for (size_t i = 0; i < params_.size(); ++i) {
      const com::ParamInfo& p = params_[i];
      bool by_reference = p.direction != com::ParamDirection::kIn;
      com::DispatchArgument a{};
      if (p.type == VT_BSTR) {
        strings_[i] = AllocBstr((by_reference ? u"预设" : u"参数") + std::u16string(1, u'0' + i));
        presets_[i] = strings_[i];
        if (by_reference) {
          a.pbstr = &strings_[i];
        } else {
          a.bstr = strings_[i];
        }
      } else if (p.type == VT_I4) {
        longs_[i] = by_reference ? -7 : static_cast<LONG>(100 + i);
        if (by_reference) {
          a.pi4 = &longs_[i];
        } else {
          a.i4 = longs_[i];
        }
      } else {
        shorts_[i] = by_reference ? 5 : VARIANT_TRUE;
        if (by_reference) {
          a.pi2 = &shorts_[i];
        } else {
          a.i2 = shorts_[i];
        }
      }
      arguments_.push_back(a);
    }
  }
  ~CallArguments() {
    for (size_t i = 0; i < params_.size(); ++i) {
      if (strings_[i] != presets_[i]) SysFreeString(strings_[i]);
      SysFreeString(presets_[i]);
    }
  }
  CallArguments(const CallArguments&) = delete;
  CallArguments& operator=(const CallArguments&) = delete;

  com::DispatchArgument* data() { return arguments_.data(); }
  com::DispatchArgument& at(size_t i) { return arguments_[i]; }

  // The arguments as the body must receive them: the same strings and result pointers, the
  // same numbers.
  std::vector<RecordedArgument> Expected() const {
    std::vector<RecordedArgument> expected;
    for (size_t i = 0; i < params_.size(); ++i) {
      const com::ParamInfo& p = params_[i];
      bool by_reference = p.direction != com::ParamDirection::kIn;
      if (p.type == VT_BSTR) {
        expected.push_back(by_reference ? Record(&strings_[i]) : Record(presets_[i]));
      } else if (p.type == VT_I4) {
        expected.push_back(by_reference ? Record(&longs_[i]) : Record(longs_[i]));
      } else {
        expected.push_back(by_reference ? Record(&shorts_[i]) : Record(shorts_[i]));
      }
    }
    return expected;
  }

  // The string parameter i now holds (its preset unless the call replaced it).
  BSTR string(size_t i) const { return strings_[i]; }
  bool untouched() const {
    for (size_t i = 0; i < params_.size(); ++i) {
      if (strings_[i] != presets_[i]) return false;
      if (params_[i].type == VT_I4 && params_[i].direction != com::ParamDirection::kIn &&
          longs_[i] != -7) {
        return false;
      }
      if (params_[i].type != VT_I4 && params_[i].type != VT_BSTR &&
          params_[i].direction != com::ParamDirection::kIn && shorts_[i] != 5) {
        return false;
      }
    }
    return true;
  }

 private:
  std::span<const com::ParamInfo> params_;
  std::vector<com::DispatchArgument> arguments_;
  mutable std::array<BSTR, com::kMaxDispatchParams> strings_{};
  std::array<BSTR, com::kMaxDispatchParams> presets_{};
  mutable std::array<LONG, com::kMaxDispatchParams> longs_{};
  mutable std::array<VARIANT_BOOL, com::kMaxDispatchParams> shorts_{};
};

// The call scope of the tests: counts the calls that got a data source and hands every body
// the same stand-in pointer, which no body of RecordingBody dereferences.
struct CountingCallScope {
  static int& scopes() {
    static int count = 0;
    return count;
  }
  static CEMRDataSource* data_source() {
    static char tag;
    return reinterpret_cast<CEMRDataSource*>(&tag);
  }
  // The transaction of the last call that got a data source.
  static frame::Transaction& transaction() {
    static frame::Transaction last = frame::Transaction::kReading;
    return last;
  }
  static void Run(frame::Transaction transaction, frame::CallBody body, void* context) {
    ++scopes();
    CountingCallScope::transaction() = transaction;
    body(context, data_source());
  }
};

// For its lifetime, calls run in CountingCallScope, whose count starts at zero; the bodies'
// script and the thread's error information start empty. The call scope runner before it
// comes back at its end.
class CountingCallScopeInstalled {
 public:
  CountingCallScopeInstalled() : previous_(frame::SetCallScopeRunner(&CountingCallScope::Run)) {
    CountingCallScope::scopes() = 0;
    CountingCallScope::transaction() = frame::Transaction::kReading;
    Script() = {};
    SetErrorInfo(0, nullptr);
  }
  ~CountingCallScopeInstalled() { frame::SetCallScopeRunner(previous_); }
  CountingCallScopeInstalled(const CountingCallScopeInstalled&) = delete;
  CountingCallScopeInstalled& operator=(const CountingCallScopeInstalled&) = delete;

 private:
  frame::CallScopeRunner previous_;
};

inline bool SameArguments(const std::vector<RecordedArgument>& a,
                          const std::vector<RecordedArgument>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].kind != b[i].kind || a[i].pointer != b[i].pointer || a[i].value != b[i].value ||
        a[i].text != b[i].text) {
      return false;
    }
  }
  return true;
}

}  // namespace korvalis::testing
