#include "library/library_object_map.h"

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
#include "classes/my_service_class.h"
#include "classes/patient_paper_mag_class.h"
#include "classes/qc_admin_class.h"
#include "classes/qc_collector_class.h"
#include "classes/qc_grade_summary_class.h"
#include "classes/qc_patient_class.h"
#include "classes/qc_task_class.h"
#include "classes/quality_rule_class.h"
#include "classes/quality_trigger_class.h"
#include "classes/repository_class.h"
#include "classes/sys_event_class.h"
#include "classes/terminal_qc_patient_class.h"
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
