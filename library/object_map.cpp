#include "library/object_map.h"

#include "com/archive_patient.h"
#include "com/archive_report.h"
#include "com/config_task.h"
#include "com/core_system.h"
#include "com/dept_qc_patient.h"
#include "com/emr_dict_t.h"
#include "com/emr_library.h"
#include "com/emr_report.h"
#include "com/event_register.h"
#include "com/event_trigger.h"
#include "com/function_admin.h"
#include "com/monitor_service.h"
#include "com/my_service.h"
#include "com/patient_paper_mag.h"
#include "com/qc_admin.h"
#include "com/qc_collector.h"
#include "com/qc_grade_summary.h"
#include "com/qc_patient.h"
#include "com/qc_task.h"
#include "com/quality_rule.h"
#include "com/quality_trigger.h"
#include "com/repository.h"
#include "com/sys_event.h"
#include "com/terminal_qc_patient.h"
#include "interface/class_registrations.h"

std::span<const korvalis::com::ObjectMapEntry> ObjectMap() {
  static const korvalis::com::ObjectMapEntry kObjectMap[] = {
      {kArchivePatientRegistration, kIArchivePatientInfo, &CreateArchivePatient},
      {kArchiveReportRegistration, kIArchiveReportInfo, &CreateArchiveReport},
      {kConfigTaskRegistration, kIConfigTaskInfo, &CreateConfigTask},
      {kCoreSystemRegistration, kICoreSystemInfo, &CreateCoreSystem},
      {kDeptQCPatientRegistration, kIDeptQCPatientInfo, &CreateDeptQCPatient},
      {kEMRDictTRegistration, kIEMRDictTInfo, &CreateEMRDictT},
      {kEMRLibraryRegistration, kIEMRLibraryInfo, &CreateEMRLibrary},
      {kEMRReportRegistration, kIEMRReportInfo, &CreateEMRReport},
      {kEventRegisterRegistration, kIEventRegisterInfo, &CreateEventRegister},
      {kEventTriggerRegistration, kIEventTriggerInfo, &CreateEventTrigger},
      {kFunctionAdminRegistration, kIFunctionAdminInfo, &CreateFunctionAdmin},
      {kMonitorServiceRegistration, kIMonitorServiceInfo, &CreateMonitorService},
      {kMyServiceRegistration, kIMyServiceInfo, &CreateMyService},
      {kPatientPaperMagRegistration, kIPatientPaperMagInfo, &CreatePatientPaperMag},
      {kQCAdminRegistration, kIQCAdminInfo, &CreateQCAdmin},
      {kQCCollectorRegistration, kIQCCollectorInfo, &CreateQCCollector},
      {kQCGradeSummaryRegistration, kIQCGradeSummaryInfo, &CreateQCGradeSummary},
      {kQCPatientRegistration, kIQCPatientInfo, &CreateQCPatient},
      {kQCTaskRegistration, kIQCTaskInfo, &CreateQCTask},
      {kQualityRuleRegistration, kIQualityRuleInfo, &CreateQualityRule},
      {kQualityTriggerRegistration, kIQualityTriggerInfo, &CreateQualityTrigger},
      {kRepositoryRegistration, kIRepositoryInfo, &CreateRepository},
      {kSysEventRegistration, kISysEventInfo, &CreateSysEvent},
      {kTerminalQCPatientRegistration, kITerminalQCPatientInfo, &CreateTerminalQCPatient},
  };
  return kObjectMap;
}
