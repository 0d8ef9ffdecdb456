// What the registration script of each of the 24 classes writes: ProgIDs, class identifier,
// script number, threading model and the class key's TypeLib value. Three classes (SysEvent,
// QualityTrigger, QualityRule) name the identifier {F218A471-CFCB-4BD1-BBDE-50D0DADDB6A6} as
// their TypeLib, an identifier of no type library this library registers; clients that read
// the key may rely on it, so it is written as the deployed registrations have it.
//
// Thread-safety: immutable constants.
#pragma once

#include <span>

#include "platform/com/object_map.h"

// The type-library value of the three classes above.
inline constexpr GUID kForeignTypeLibValue =
    korvalis::com::MakeGuid("F218A471-CFCB-4BD1-BBDE-50D0DADDB6A6");

extern const korvalis::com::ClassRegistration kEMRLibraryRegistration;
extern const korvalis::com::ClassRegistration kMyServiceRegistration;
extern const korvalis::com::ClassRegistration kArchiveReportRegistration;
extern const korvalis::com::ClassRegistration kArchivePatientRegistration;
extern const korvalis::com::ClassRegistration kEMRReportRegistration;
extern const korvalis::com::ClassRegistration kEventRegisterRegistration;
extern const korvalis::com::ClassRegistration kEventTriggerRegistration;
extern const korvalis::com::ClassRegistration kQCPatientRegistration;
extern const korvalis::com::ClassRegistration kQCAdminRegistration;
extern const korvalis::com::ClassRegistration kQCTaskRegistration;
extern const korvalis::com::ClassRegistration kTerminalQCPatientRegistration;
extern const korvalis::com::ClassRegistration kQCCollectorRegistration;
extern const korvalis::com::ClassRegistration kDeptQCPatientRegistration;
extern const korvalis::com::ClassRegistration kConfigTaskRegistration;
extern const korvalis::com::ClassRegistration kSysEventRegistration;
extern const korvalis::com::ClassRegistration kQualityTriggerRegistration;
extern const korvalis::com::ClassRegistration kQualityRuleRegistration;
extern const korvalis::com::ClassRegistration kQCGradeSummaryRegistration;
extern const korvalis::com::ClassRegistration kPatientPaperMagRegistration;
extern const korvalis::com::ClassRegistration kEMRDictTRegistration;
extern const korvalis::com::ClassRegistration kMonitorServiceRegistration;
extern const korvalis::com::ClassRegistration kRepositoryRegistration;
extern const korvalis::com::ClassRegistration kFunctionAdminRegistration;
extern const korvalis::com::ClassRegistration kCoreSystemRegistration;

// The 24 registrations in the order of their script numbers (102, 104 to 126).
std::span<const korvalis::com::ClassRegistration* const> ClassRegistrations();
