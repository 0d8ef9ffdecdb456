#include "interface/type_library.h"

#include <string>
#include <unordered_map>

#include "interface/archive_patient_interface.h"
#include "interface/archive_report_interface.h"
#include "interface/config_task_interface.h"
#include "interface/core_system_interface.h"
#include "interface/dept_qc_patient_interface.h"
#include "interface/emr_dict_t_interface.h"
#include "interface/emr_library_interface.h"
#include "interface/emr_report_interface.h"
#include "interface/event_register_interface.h"
#include "interface/event_trigger_interface.h"
#include "interface/function_admin_interface.h"
#include "interface/monitor_service_interface.h"
#include "interface/my_service_interface.h"
#include "interface/patient_paper_mag_interface.h"
#include "interface/qc_admin_interface.h"
#include "interface/qc_collector_interface.h"
#include "interface/qc_grade_summary_interface.h"
#include "interface/qc_patient_interface.h"
#include "interface/qc_task_interface.h"
#include "interface/quality_rule_interface.h"
#include "interface/quality_trigger_interface.h"
#include "interface/repository_interface.h"
#include "interface/sys_event_interface.h"
#include "interface/terminal_qc_patient_interface.h"
#include "platform/text/unicode.h"

namespace {

constexpr korvalis::com::CoClassInfo kCoClasses[] = {
    {u"EMRLibrary", CLSID_EMRLibrary, u"EMRLibrary Class", &kIEMRLibraryInfo},
    {u"MyService", CLSID_MyService, u"MyService Class", &kIMyServiceInfo},
    {u"ArchiveReport", CLSID_ArchiveReport, u"ArchiveReport Class", &kIArchiveReportInfo},
    {u"ArchivePatient", CLSID_ArchivePatient, u"ArchivePatient Class", &kIArchivePatientInfo},
    {u"EMRReport", CLSID_EMRReport, u"EMRReport Class", &kIEMRReportInfo},
    {u"EventRegister", CLSID_EventRegister, u"EventRegister Class", &kIEventRegisterInfo},
    {u"EventTrigger", CLSID_EventTrigger, u"EventTrigger Class", &kIEventTriggerInfo},
    {u"QCPatient", CLSID_QCPatient, u"QCPatient Class", &kIQCPatientInfo},
    {u"QCAdmin", CLSID_QCAdmin, u"QCAdmin Class", &kIQCAdminInfo},
    {u"QCTask", CLSID_QCTask, u"QCTask Class", &kIQCTaskInfo},
    {u"TerminalQCPatient", CLSID_TerminalQCPatient, u"TerminalQCPatient Class",
     &kITerminalQCPatientInfo},
    {u"QCCollector", CLSID_QCCollector, u"QCCollector Class", &kIQCCollectorInfo},
    {u"DeptQCPatient", CLSID_DeptQCPatient, u"DeptQCPatient Class", &kIDeptQCPatientInfo},
    {u"ConfigTask", CLSID_ConfigTask, u"ConfigTask Class", &kIConfigTaskInfo},
    {u"SysEvent", CLSID_SysEvent, u"SysEvent Class", &kISysEventInfo},
    {u"QualityTrigger", CLSID_QualityTrigger, u"QualityTrigger Class", &kIQualityTriggerInfo},
    {u"QualityRule", CLSID_QualityRule, u"QualityRule Class", &kIQualityRuleInfo},
    {u"QCGradeSummary", CLSID_QCGradeSummary, u"QCGradeSummary Class", &kIQCGradeSummaryInfo},
    {u"PatientPaperMag", CLSID_PatientPaperMag, u"PatientPaperMag Class", &kIPatientPaperMagInfo},
    {u"EMRDictT", CLSID_EMRDictT, u"EMRDictT Class", &kIEMRDictTInfo},
    {u"MonitorService", CLSID_MonitorService, u"MonitorService Class", &kIMonitorServiceInfo},
    {u"Repository", CLSID_Repository, u"Repository Class", &kIRepositoryInfo},
    {u"FunctionAdmin", CLSID_FunctionAdmin, u"FunctionAdmin Class", &kIFunctionAdminInfo},
    {u"CoreSystem", CLSID_CoreSystem, u"CoreSystem Class", &kICoreSystemInfo},
};

}  // namespace

constexpr korvalis::com::TypeLibraryInfo kKorvalisTypeLibrary{
    LIBID_korvalisLib, u"korvalisLib", 1, 0, u"korvalis 1.0 Type Library", kCoClasses};

namespace {

struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view name) const noexcept {
    return std::hash<std::string_view>()(name);
  }
};

using WrapperIndex =
    std::unordered_map<std::string, const korvalis::com::MethodInfo*, NameHash, std::equal_to<>>;

WrapperIndex BuildWrapperIndex() {
  WrapperIndex index;
  for (const korvalis::com::CoClassInfo& coclass : kKorvalisTypeLibrary.coclasses) {
    const std::string prefix = "C" + korvalis::ToUtf8(coclass.name) + "::";
    for (const korvalis::com::MethodInfo& method : coclass.interface->methods) {
      index.emplace(prefix + korvalis::ToUtf8(method.name), &method);
    }
  }
  return index;
}

}  // namespace

const korvalis::com::MethodInfo* FindWrappedMethod(std::string_view wrapper_name) {
  static const WrapperIndex& index = *new WrapperIndex(BuildWrapperIndex());
  const auto found = index.find(wrapper_name);
  return found == index.end() ? nullptr : found->second;
}
