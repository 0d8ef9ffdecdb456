// A body double for the automation classes' tests: RecordingBody stands in for every business
// class (each class template is instantiated with it), records each call with its arguments as
// the wrapper passed them, and behaves as the test scripts it: return, throw CEMRException,
// throw something else, or write the result and then throw.
//
// Thread-safety: none; tests call it from one thread.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/calls/emr_exception.h"
#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CEMRDataSource;

namespace korvalis::testing {

// One argument as the body received it: the pointer for strings and result pointers, the
// value for numbers, and the text of a string or of the string a pointer points to (tests
// preset every result) at the moment of the call.
struct RecordedArgument {
  enum Kind { kBstr, kLong, kShort, kBstrPointer, kLongPointer, kShortPointer } kind;
  const void* pointer;
  int32_t value;
  std::u16string text;
  bool null_text = false;  // the string, or the string pointed to, was null
};

struct RecordedCall {
  std::string body;  // "GetInPatientList": the member name, the class is the test's
  CEMRDataSource* data_source;
  std::vector<RecordedArgument> arguments;
};

enum class BodyAction {
  kReturn,         // returns 0
  kThrowEmr,       // throws CEMRException(kBodyFailure)
  kThrowOther,     // throws std::runtime_error
  kWriteAndThrow,  // stores kPartialResult through every string pointer, then throws
};

inline constexpr char16_t kBodyFailure[] = u"病历测试失败.";
inline constexpr char16_t kPartialResult[] = u"partial";

struct BodyScript {
  BodyAction action = BodyAction::kReturn;
  std::vector<RecordedCall> calls;
};

inline BodyScript& Script() {
  static BodyScript script;
  return script;
}

inline RecordedArgument Record(BSTR a) {
  return {RecordedArgument::kBstr, a, 0, std::u16string(BstrView(a)), a == nullptr};
}
inline RecordedArgument Record(LONG a) { return {RecordedArgument::kLong, nullptr, a, {}}; }
inline RecordedArgument Record(VARIANT_BOOL a) {
  return {RecordedArgument::kShort, nullptr, a, {}};
}
inline RecordedArgument Record(BSTR* a) {
  BSTR target = a == nullptr ? nullptr : *a;
  return {RecordedArgument::kBstrPointer, a, 0, std::u16string(BstrView(target)),
          target == nullptr};
}
inline RecordedArgument Record(LONG* a) { return {RecordedArgument::kLongPointer, a, 0, {}}; }
inline RecordedArgument Record(VARIANT_BOOL* a) {
  return {RecordedArgument::kShortPointer, a, 0, {}};
}

inline void StorePartial(BSTR* out) {
  if (out != nullptr) *out = AllocBstr(kPartialResult);
}
template <class T>
void StorePartial(T) {}

template <class... Args>
long RecordCall(const char* body, CEMRDataSource* data_source, Args... args) {
  Script().calls.push_back({body, data_source, {Record(args)...}});
  switch (Script().action) {
    case BodyAction::kReturn:
      return 0;
    case BodyAction::kThrowEmr:
      throw CEMRException(std::u16string(kBodyFailure));
    case BodyAction::kThrowOther:
      throw std::runtime_error("unexpected");
    case BodyAction::kWriteAndThrow:
      (StorePartial(args), ...);
      throw CEMRException(std::u16string(kBodyFailure));
  }
  return 0;
}

#define KORVALIS_RECORD_BODY(name)                                      \
  template <class... Args>                                              \
  static long name(CEMRDataSource* data_source, Args... args) {         \
    return ::korvalis::testing::RecordCall(#name, data_source, args...); \
  }

// Has a member of every body name of the business classes.
struct RecordingBody {
  KORVALIS_RECORD_BODY(AddConditionDistributeUser)
  KORVALIS_RECORD_BODY(AddConditionGroup)
  KORVALIS_RECORD_BODY(AddConditionItem)
  KORVALIS_RECORD_BODY(AddEventRule)
  KORVALIS_RECORD_BODY(AddPatient)
  KORVALIS_RECORD_BODY(AddQCPatient)
  KORVALIS_RECORD_BODY(AddQcEventAdviceMap)
  KORVALIS_RECORD_BODY(AddServiceList)
  KORVALIS_RECORD_BODY(AddVktDistriCatalog)
  KORVALIS_RECORD_BODY(BrowseEMR)
  KORVALIS_RECORD_BODY(CancelCommitPaper)
  KORVALIS_RECORD_BODY(CheckinPaperCase)
  KORVALIS_RECORD_BODY(Close)
  KORVALIS_RECORD_BODY(CommitPaperCase)
  KORVALIS_RECORD_BODY(ConfirmCrisisInfo)
  KORVALIS_RECORD_BODY(DelConditionDistributeUser)
  KORVALIS_RECORD_BODY(DelConditionItem)
  KORVALIS_RECORD_BODY(DelConditionItemByGroupCode)
  KORVALIS_RECORD_BODY(DelCoreReport)
  KORVALIS_RECORD_BODY(DelDeptActivity)
  KORVALIS_RECORD_BODY(DelFunctionConfig)
  KORVALIS_RECORD_BODY(DelFunctionGroup)
  KORVALIS_RECORD_BODY(DelRescueRecord)
  KORVALIS_RECORD_BODY(DelVktCatalog)
  KORVALIS_RECORD_BODY(DelVktDistriCatalog)
  KORVALIS_RECORD_BODY(DelVktElement)
  KORVALIS_RECORD_BODY(DelVktItem)
  KORVALIS_RECORD_BODY(DelVktRfConfig)
  KORVALIS_RECORD_BODY(DelVktStructure)
  KORVALIS_RECORD_BODY(Delete)
  KORVALIS_RECORD_BODY(DeleteCatalog)
  KORVALIS_RECORD_BODY(DeleteConditionGroupByCode)
  KORVALIS_RECORD_BODY(DeleteCopyRecord)
  KORVALIS_RECORD_BODY(DeleteDictByName)
  KORVALIS_RECORD_BODY(DeleteDoctorShiftRecord)
  KORVALIS_RECORD_BODY(DeleteEventRule)
  KORVALIS_RECORD_BODY(DeleteQueryTplList)
  KORVALIS_RECORD_BODY(DeleteReport)
  KORVALIS_RECORD_BODY(DeleteRule)
  KORVALIS_RECORD_BODY(DeleteServiceList)
  KORVALIS_RECORD_BODY(DeleteStandard)
  KORVALIS_RECORD_BODY(DeleteStandardCatalog)
  KORVALIS_RECORD_BODY(DeleteXmlFrame)
  KORVALIS_RECORD_BODY(DispatchPatient)
  KORVALIS_RECORD_BODY(DistributeReport)
  KORVALIS_RECORD_BODY(DistributeReportToUser)
  KORVALIS_RECORD_BODY(DistributeTpList)
  KORVALIS_RECORD_BODY(DoctorShiftRecordNext)
  KORVALIS_RECORD_BODY(DoctorShiftRecordPrevious)
  KORVALIS_RECORD_BODY(ExportReport)
  KORVALIS_RECORD_BODY(FeedBackRectifyInfo)
  KORVALIS_RECORD_BODY(FireClose)
  KORVALIS_RECORD_BODY(FireOpen)
  KORVALIS_RECORD_BODY(FullSearch)
  KORVALIS_RECORD_BODY(FullSearch2)
  KORVALIS_RECORD_BODY(GenerateQCReport)
  KORVALIS_RECORD_BODY(GenerateSelfGradeTable)
  KORVALIS_RECORD_BODY(GenerateSummary)
  KORVALIS_RECORD_BODY(GetAllCommitedPatient)
  KORVALIS_RECORD_BODY(GetAllDistributedUserList)
  KORVALIS_RECORD_BODY(GetAllEventRule)
  KORVALIS_RECORD_BODY(GetAllInPatientList)
  KORVALIS_RECORD_BODY(GetAllLeavePatientList)
  KORVALIS_RECORD_BODY(GetAllPreCommitPatient)
  KORVALIS_RECORD_BODY(GetAllStandardCatalogList)
  KORVALIS_RECORD_BODY(GetAllStandardList)
  KORVALIS_RECORD_BODY(GetAllToCommitPatient)
  KORVALIS_RECORD_BODY(GetAllUncodedPatient)
  KORVALIS_RECORD_BODY(GetBrowserCatalog)
  KORVALIS_RECORD_BODY(GetCatalogList)
  KORVALIS_RECORD_BODY(GetCatalogProperty)
  KORVALIS_RECORD_BODY(GetCheckEMR)
  KORVALIS_RECORD_BODY(GetCheckPatientList)
  KORVALIS_RECORD_BODY(GetColumnByTabName)
  KORVALIS_RECORD_BODY(GetColumnData)
  KORVALIS_RECORD_BODY(GetCommitedPatient)
  KORVALIS_RECORD_BODY(GetConditionDistribute)
  KORVALIS_RECORD_BODY(GetConditionDistributeEx)
  KORVALIS_RECORD_BODY(GetConditionDistributeUser)
  KORVALIS_RECORD_BODY(GetConditionGroupList)
  KORVALIS_RECORD_BODY(GetConditionList)
  KORVALIS_RECORD_BODY(GetContentQCInfo)
  KORVALIS_RECORD_BODY(GetCopiedPatientList)
  KORVALIS_RECORD_BODY(GetCoreReport)
  KORVALIS_RECORD_BODY(GetCurrTime)
  KORVALIS_RECORD_BODY(GetDataList)
  KORVALIS_RECORD_BODY(GetDataOfTable)
  KORVALIS_RECORD_BODY(GetDeptActivity)
  KORVALIS_RECORD_BODY(GetDeptList)
  KORVALIS_RECORD_BODY(GetDeptPatientList)
  KORVALIS_RECORD_BODY(GetDeptQCPatientList)
  KORVALIS_RECORD_BODY(GetDetailData)
  KORVALIS_RECORD_BODY(GetDictByDictName)
  KORVALIS_RECORD_BODY(GetDictContent)
  KORVALIS_RECORD_BODY(GetDictList)
  KORVALIS_RECORD_BODY(GetDistributeInfo)
  KORVALIS_RECORD_BODY(GetDoctorShiftRecord)
  KORVALIS_RECORD_BODY(GetEMRAndQCMap)
  KORVALIS_RECORD_BODY(GetEMRContent)
  KORVALIS_RECORD_BODY(GetEmrApplyInfo)
  KORVALIS_RECORD_BODY(GetEmrBatchPrintCatalogList)
  KORVALIS_RECORD_BODY(GetEmrBatchPrintList)
  KORVALIS_RECORD_BODY(GetEmrGradeInfo)
  KORVALIS_RECORD_BODY(GetEmrRectifyProperty)
  KORVALIS_RECORD_BODY(GetEmrTypeList)
  KORVALIS_RECORD_BODY(GetEventList)
  KORVALIS_RECORD_BODY(GetEventRuleList)
  KORVALIS_RECORD_BODY(GetExistPrimary)
  KORVALIS_RECORD_BODY(GetFieldsOfTable)
  KORVALIS_RECORD_BODY(GetFreezePatient)
  KORVALIS_RECORD_BODY(GetFunctionConfig)
  KORVALIS_RECORD_BODY(GetGroupMenu)
  KORVALIS_RECORD_BODY(GetHeaderXml)
  KORVALIS_RECORD_BODY(GetHtmlContent)
  KORVALIS_RECORD_BODY(GetInDeptList)
  KORVALIS_RECORD_BODY(GetInPatientList)
  KORVALIS_RECORD_BODY(GetLeavePatientList)
  KORVALIS_RECORD_BODY(GetOperatorList)
  KORVALIS_RECORD_BODY(GetOpposeEvent)
  KORVALIS_RECORD_BODY(GetOpposeRuleList)
  KORVALIS_RECORD_BODY(GetPathValue)
  KORVALIS_RECORD_BODY(GetPatientCrisisInfo)
  KORVALIS_RECORD_BODY(GetPatientHeaderEmrList)
  KORVALIS_RECORD_BODY(GetPatientList)
  KORVALIS_RECORD_BODY(GetPatientProperty)
  KORVALIS_RECORD_BODY(GetPatientQCList)
  KORVALIS_RECORD_BODY(GetPatientScore)
  KORVALIS_RECORD_BODY(GetPreCommitPatient)
  KORVALIS_RECORD_BODY(GetProperty)
  KORVALIS_RECORD_BODY(GetQCList)
  KORVALIS_RECORD_BODY(GetQCPatient)
  KORVALIS_RECORD_BODY(GetQCPatientGradeList)
  KORVALIS_RECORD_BODY(GetQCRectifyList)
  KORVALIS_RECORD_BODY(GetQCResultInfo)
  KORVALIS_RECORD_BODY(GetQCUserList)
  KORVALIS_RECORD_BODY(GetQcEventAdviceMapList)
  KORVALIS_RECORD_BODY(GetQcTaskCountList)
  KORVALIS_RECORD_BODY(GetQueryTplList)
  KORVALIS_RECORD_BODY(GetRectificationPatientList)
  KORVALIS_RECORD_BODY(GetRectifyInfo)
  KORVALIS_RECORD_BODY(GetRegisterEventList)
  KORVALIS_RECORD_BODY(GetRelationRuleList)
  KORVALIS_RECORD_BODY(GetReplaceRuleList)
  KORVALIS_RECORD_BODY(GetReportContent)
  KORVALIS_RECORD_BODY(GetReportData)
  KORVALIS_RECORD_BODY(GetReportList)
  KORVALIS_RECORD_BODY(GetReportProperty)
  KORVALIS_RECORD_BODY(GetReportSQL)
  KORVALIS_RECORD_BODY(GetReportSQL2)
  KORVALIS_RECORD_BODY(GetReportXSLT)
  KORVALIS_RECORD_BODY(GetRescueRecord)
  KORVALIS_RECORD_BODY(GetResultXML)
  KORVALIS_RECORD_BODY(GetRuleException)
  KORVALIS_RECORD_BODY(GetRuleList)
  KORVALIS_RECORD_BODY(GetRuleProperty)
  KORVALIS_RECORD_BODY(GetSQLParam)
  KORVALIS_RECORD_BODY(GetSQLProperty)
  KORVALIS_RECORD_BODY(GetServiceList)
  KORVALIS_RECORD_BODY(GetStandardCatalogList)
  KORVALIS_RECORD_BODY(GetStandardCatalogProperty)
  KORVALIS_RECORD_BODY(GetStandardList)
  KORVALIS_RECORD_BODY(GetStandardList2)
  KORVALIS_RECORD_BODY(GetStandardListByID)
  KORVALIS_RECORD_BODY(GetStandardProperty)
  KORVALIS_RECORD_BODY(GetSummaryList)
  KORVALIS_RECORD_BODY(GetSummaryTemplateList)
  KORVALIS_RECORD_BODY(GetTaskId)
  KORVALIS_RECORD_BODY(GetTaskList)
  KORVALIS_RECORD_BODY(GetTaskPatientList)
  KORVALIS_RECORD_BODY(GetTaskSummarize)
  KORVALIS_RECORD_BODY(GetTendTaskList)
  KORVALIS_RECORD_BODY(GetToCommitPatient)
  KORVALIS_RECORD_BODY(GetToSummariseTask)
  KORVALIS_RECORD_BODY(GetURLXmlFile)
  KORVALIS_RECORD_BODY(GetUncodedPatient)
  KORVALIS_RECORD_BODY(GetUserCatalog)
  KORVALIS_RECORD_BODY(GetUserList)
  KORVALIS_RECORD_BODY(GetUserProperty)
  KORVALIS_RECORD_BODY(GetUserReport)
  KORVALIS_RECORD_BODY(GetVktCatalogList)
  KORVALIS_RECORD_BODY(GetVktCatalogListByDept)
  KORVALIS_RECORD_BODY(GetVktDistriCatalog)
  KORVALIS_RECORD_BODY(GetVktElementList)
  KORVALIS_RECORD_BODY(GetVktItemList)
  KORVALIS_RECORD_BODY(GetVktRfConfig)
  KORVALIS_RECORD_BODY(GetVktStructure)
  KORVALIS_RECORD_BODY(GetWriterInfoList)
  KORVALIS_RECORD_BODY(GetXmlFrameContent)
  KORVALIS_RECORD_BODY(GetXmlFrameList)
  KORVALIS_RECORD_BODY(GetXmlFrameProperty)
  KORVALIS_RECORD_BODY(GetXslContent)
  KORVALIS_RECORD_BODY(ImportReport)
  KORVALIS_RECORD_BODY(InitNew)
  KORVALIS_RECORD_BODY(InitNewCatalog)
  KORVALIS_RECORD_BODY(InitNewReport)
  KORVALIS_RECORD_BODY(InitNewRule)
  KORVALIS_RECORD_BODY(InitNewStandard)
  KORVALIS_RECORD_BODY(InitNewStandardCatalog)
  KORVALIS_RECORD_BODY(IsNewFormat)
  KORVALIS_RECORD_BODY(IsPass)
  KORVALIS_RECORD_BODY(IsStandardCodeExist)
  KORVALIS_RECORD_BODY(ManagePatient)
  KORVALIS_RECORD_BODY(Modify)
  KORVALIS_RECORD_BODY(ModifySummary)
  KORVALIS_RECORD_BODY(ModifySummaryTemplate)
  KORVALIS_RECORD_BODY(MonitorService)
  KORVALIS_RECORD_BODY(New)
  KORVALIS_RECORD_BODY(NewDeptQCTask)
  KORVALIS_RECORD_BODY(NewDict)
  KORVALIS_RECORD_BODY(NewMonthTaskForDept)
  KORVALIS_RECORD_BODY(NewSummary)
  KORVALIS_RECORD_BODY(NewSummaryTemplate)
  KORVALIS_RECORD_BODY(NewTendTask)
  KORVALIS_RECORD_BODY(OnSysEvent)
  KORVALIS_RECORD_BODY(Open)
  KORVALIS_RECORD_BODY(PathSearch)
  KORVALIS_RECORD_BODY(PostSqlQuery)
  KORVALIS_RECORD_BODY(ReFireOpen)
  KORVALIS_RECORD_BODY(ReOpen)
  KORVALIS_RECORD_BODY(ReOpenUndo)
  KORVALIS_RECORD_BODY(RefreshRecord)
  KORVALIS_RECORD_BODY(RegisterEvent)
  KORVALIS_RECORD_BODY(RemoveAllPatient)
  KORVALIS_RECORD_BODY(RemovePatient)
  KORVALIS_RECORD_BODY(RemoveQCPatient)
  KORVALIS_RECORD_BODY(RemoveQcEventMap)
  KORVALIS_RECORD_BODY(RemoveSummary)
  KORVALIS_RECORD_BODY(RollbackPaperCase)
  KORVALIS_RECORD_BODY(SaveCheckEMR)
  KORVALIS_RECORD_BODY(SaveConditionDistribute)
  KORVALIS_RECORD_BODY(SaveConditionList)
  KORVALIS_RECORD_BODY(SaveContent)
  KORVALIS_RECORD_BODY(SaveContentQCInfo)
  KORVALIS_RECORD_BODY(SaveCopiedPatient)
  KORVALIS_RECORD_BODY(SaveEmrGrade)
  KORVALIS_RECORD_BODY(SaveEmrTypeList)
  KORVALIS_RECORD_BODY(SaveEventRule)
  KORVALIS_RECORD_BODY(SaveOperatorList)
  KORVALIS_RECORD_BODY(SaveOpposeRuleList)
  KORVALIS_RECORD_BODY(SavePatientHeaderRecord)
  KORVALIS_RECORD_BODY(SaveProperty)
  KORVALIS_RECORD_BODY(SaveQueryTplList)
  KORVALIS_RECORD_BODY(SaveRelationRuleList)
  KORVALIS_RECORD_BODY(SaveReplaceRuleList)
  KORVALIS_RECORD_BODY(SaveRuleException)
  KORVALIS_RECORD_BODY(SaveRuleProperty)
  KORVALIS_RECORD_BODY(SaveStandardCatalogProperty)
  KORVALIS_RECORD_BODY(SaveStandardProperty)
  KORVALIS_RECORD_BODY(SaveUserList)
  KORVALIS_RECORD_BODY(SaveXmlFrameContent)
  KORVALIS_RECORD_BODY(SaveXmlFrameProperty)
  KORVALIS_RECORD_BODY(SaveXslContent)
  KORVALIS_RECORD_BODY(ScorePatient)
  KORVALIS_RECORD_BODY(SearchCheckinPatient)
  KORVALIS_RECORD_BODY(SearchPatient)
  KORVALIS_RECORD_BODY(SearchPatientPMRList)
  KORVALIS_RECORD_BODY(SendRectifyInfo)
  KORVALIS_RECORD_BODY(SetApplyStatus)
  KORVALIS_RECORD_BODY(SetCatalogProperty)
  KORVALIS_RECORD_BODY(SetConditionDistributeEx)
  KORVALIS_RECORD_BODY(SetConditionGroupContent)
  KORVALIS_RECORD_BODY(SetConditionItemContent)
  KORVALIS_RECORD_BODY(SetCoreReport)
  KORVALIS_RECORD_BODY(SetDeptActivity)
  KORVALIS_RECORD_BODY(SetDictContent)
  KORVALIS_RECORD_BODY(SetDictName)
  KORVALIS_RECORD_BODY(SetEmrApplyInfo)
  KORVALIS_RECORD_BODY(SetEventRuleList)
  KORVALIS_RECORD_BODY(SetFunctionConfig)
  KORVALIS_RECORD_BODY(SetFunctionGroup)
  KORVALIS_RECORD_BODY(SetReportProperty)
  KORVALIS_RECORD_BODY(SetReportSQL)
  KORVALIS_RECORD_BODY(SetReportSQL2)
  KORVALIS_RECORD_BODY(SetReportXSLT)
  KORVALIS_RECORD_BODY(SetRescueRecord)
  KORVALIS_RECORD_BODY(SetSQLParam)
  KORVALIS_RECORD_BODY(SetSQLProperty)
  KORVALIS_RECORD_BODY(SetTaskSummarize)
  KORVALIS_RECORD_BODY(SetVktCatalog)
  KORVALIS_RECORD_BODY(SetVktElement)
  KORVALIS_RECORD_BODY(SetVktItem)
  KORVALIS_RECORD_BODY(SetVktRfConfig)
  KORVALIS_RECORD_BODY(SetVktStructure)
  KORVALIS_RECORD_BODY(SingleSearch)
  KORVALIS_RECORD_BODY(TestForSql)
  KORVALIS_RECORD_BODY(UnLimitBrowseEMR)
  KORVALIS_RECORD_BODY(UnRegisterEvent)
  KORVALIS_RECORD_BODY(Undo)
  KORVALIS_RECORD_BODY(UpdateRectifyInfo)
  KORVALIS_RECORD_BODY(UpdateTendTask)
  KORVALIS_RECORD_BODY(VerifyPatientScore)
};

#undef KORVALIS_RECORD_BODY

}  // namespace korvalis::testing
