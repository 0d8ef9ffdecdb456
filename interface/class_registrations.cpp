#include "interface/class_registrations.h"

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
#include "interface/type_library.h"

using korvalis::com::ClassRegistration;
using korvalis::com::ThreadingModel;

const ClassRegistration kEMRLibraryRegistration{u"EMRLibrary", CLSID_EMRLibrary, 102,
                                                ThreadingModel::kBoth, LIBID_korvalisLib};
const ClassRegistration kMyServiceRegistration{u"MyService", CLSID_MyService, 104,
                                               ThreadingModel::kBoth, LIBID_korvalisLib};
const ClassRegistration kArchiveReportRegistration{u"ArchiveReport", CLSID_ArchiveReport, 105,
                                                   ThreadingModel::kApartment, LIBID_korvalisLib};
const ClassRegistration kArchivePatientRegistration{u"ArchivePatient", CLSID_ArchivePatient, 106,
                                                    ThreadingModel::kApartment, LIBID_korvalisLib};
const ClassRegistration kEMRReportRegistration{u"EMRReport", CLSID_EMRReport, 107,
                                               ThreadingModel::kApartment, LIBID_korvalisLib};
const ClassRegistration kEventRegisterRegistration{u"EventRegister", CLSID_EventRegister, 108,
                                                   ThreadingModel::kApartment, LIBID_korvalisLib};
const ClassRegistration kEventTriggerRegistration{u"EventTrigger", CLSID_EventTrigger, 109,
                                                  ThreadingModel::kApartment, LIBID_korvalisLib};
const ClassRegistration kQCPatientRegistration{u"QCPatient", CLSID_QCPatient, 110,
                                               ThreadingModel::kApartment, LIBID_korvalisLib};
const ClassRegistration kQCAdminRegistration{u"QCAdmin", CLSID_QCAdmin, 111,
                                             ThreadingModel::kApartment, LIBID_korvalisLib};
const ClassRegistration kQCTaskRegistration{u"QCTask", CLSID_QCTask, 112, ThreadingModel::kBoth,
                                            LIBID_korvalisLib};
const ClassRegistration kTerminalQCPatientRegistration{
    u"TerminalQCPatient", CLSID_TerminalQCPatient, 113, ThreadingModel::kBoth, LIBID_korvalisLib};
const ClassRegistration kQCCollectorRegistration{u"QCCollector", CLSID_QCCollector, 114,
                                                 ThreadingModel::kBoth, LIBID_korvalisLib};
const ClassRegistration kDeptQCPatientRegistration{u"DeptQCPatient", CLSID_DeptQCPatient, 115,
                                                   ThreadingModel::kBoth, LIBID_korvalisLib};
const ClassRegistration kConfigTaskRegistration{u"ConfigTask", CLSID_ConfigTask, 116,
                                                ThreadingModel::kApartment, LIBID_korvalisLib};
const ClassRegistration kSysEventRegistration{u"SysEvent", CLSID_SysEvent, 117,
                                              ThreadingModel::kBoth, kForeignTypeLibValue};
const ClassRegistration kQualityTriggerRegistration{u"QualityTrigger", CLSID_QualityTrigger, 118,
                                                    ThreadingModel::kNeutral, kForeignTypeLibValue};
const ClassRegistration kQualityRuleRegistration{u"QualityRule", CLSID_QualityRule, 119,
                                                 ThreadingModel::kNeutral, kForeignTypeLibValue};
const ClassRegistration kQCGradeSummaryRegistration{u"QCGradeSummary", CLSID_QCGradeSummary, 120,
                                                    ThreadingModel::kBoth, LIBID_korvalisLib};
const ClassRegistration kPatientPaperMagRegistration{u"PatientPaperMag", CLSID_PatientPaperMag, 121,
                                                     ThreadingModel::kBoth, LIBID_korvalisLib};
const ClassRegistration kEMRDictTRegistration{u"EMRDictT", CLSID_EMRDictT, 122,
                                              ThreadingModel::kBoth, LIBID_korvalisLib};
const ClassRegistration kMonitorServiceRegistration{u"MonitorService", CLSID_MonitorService, 123,
                                                    ThreadingModel::kBoth, LIBID_korvalisLib};
const ClassRegistration kRepositoryRegistration{u"Repository", CLSID_Repository, 124,
                                                ThreadingModel::kBoth, LIBID_korvalisLib};
const ClassRegistration kFunctionAdminRegistration{u"FunctionAdmin", CLSID_FunctionAdmin, 125,
                                                   ThreadingModel::kBoth, LIBID_korvalisLib};
const ClassRegistration kCoreSystemRegistration{u"CoreSystem", CLSID_CoreSystem, 126,
                                                ThreadingModel::kBoth, LIBID_korvalisLib};

std::span<const ClassRegistration* const> ClassRegistrations() {
  static const ClassRegistration* const kRegistrations[] = {
      &kEMRLibraryRegistration,      &kMyServiceRegistration,         &kArchiveReportRegistration,
      &kArchivePatientRegistration,  &kEMRReportRegistration,         &kEventRegisterRegistration,
      &kEventTriggerRegistration,    &kQCPatientRegistration,         &kQCAdminRegistration,
      &kQCTaskRegistration,          &kTerminalQCPatientRegistration, &kQCCollectorRegistration,
      &kDeptQCPatientRegistration,   &kConfigTaskRegistration,        &kSysEventRegistration,
      &kQualityTriggerRegistration,  &kQualityRuleRegistration,       &kQCGradeSummaryRegistration,
      &kPatientPaperMagRegistration, &kEMRDictTRegistration,          &kMonitorServiceRegistration,
      &kRepositoryRegistration,      &kFunctionAdminRegistration,     &kCoreSystemRegistration,
  };
  return kRegistrations;
}
