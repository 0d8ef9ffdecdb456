#include "suite/components.h"

#include "foundation/suite/suite_interfaces.h"

namespace korvalis::suite {
namespace {

using com::MakeGuid;

constexpr StandInClass kClasses[] = {
    {u"Registry", CLSID_SuiteRegistry, &IID_ISuiteRegistry, CreateRegistryComponent},
    {u"DateTime", MakeGuid("974ED78B-7627-49AF-B048-54C145BED382"), &IID_IDateTimeService,
     CreateDateTimeComponent},
    {u"Security", MakeGuid("4E91294D-6BFE-40D7-B28F-6B99B68B4AD8"), &IID_ISecurityService,
     CreateSecurityComponent},
    {u"UserProperty", MakeGuid("C180A335-DEF3-4486-BDD8-728671D8BC7C"), &IID_IUserProperty,
     CreateUserPropertyComponent},
    {u"HISDepartment", MakeGuid("300A6948-E4B8-4F78-8CD4-6BA04165BFAF"), &IID_IHISDepartment,
     CreateHISDepartmentComponent},
    {u"HISHospital", MakeGuid("D5B04978-F65F-467B-A7C5-C423F081F3F1"), &IID_IHISHospital,
     CreateHISHospitalComponent},
    {u"Dictionary", MakeGuid("92D111A9-151F-4880-89C2-1061DEE14985"), &IID_IDictionaryService,
     CreateDictionaryComponent},
    {u"HISPatientInfo", MakeGuid("332A016E-C3FC-42AE-8190-A9E337902800"), &IID_IHISPatientInfo,
     CreateHISPatientInfoComponent},
    {u"HISClinicInfo", MakeGuid("B6F18341-812C-4554-AAF4-E6110F9C0EAB"), &IID_IHISClinicInfo,
     CreateHISClinicInfoComponent},
    {u"Notice", MakeGuid("928C6004-8935-46AD-960E-93360E613E49"), &IID_INoticeService,
     CreateNoticeComponent},
    {u"WorkList", MakeGuid("F3DDAEE7-971D-4995-B44F-E119D3088D0E"), &IID_IWorkListService,
     CreateWorkListComponent},
    {u"RecordPlan", MakeGuid("5876E053-4F3D-41FC-A874-C6AED011D37C"), &IID_IRecordPlan,
     CreateRecordPlanComponent},
    {u"ServerDateTime", MakeGuid("F8B95622-2A88-40F2-B806-76C3D8F342D1"), &IID_IServerDateTime,
     CreateServerDateTimeComponent},
    {u"WorkListParam", MakeGuid("99A92145-4D5A-4BBB-96F3-DB329DAAC90A"), &IID_IWorkListParam,
     CreateWorkListParamComponent},
    {u"VisitData", MakeGuid("F13BE30E-BDF5-4FCF-ACC7-9A9D94216CCA"), &IID_IVisitData,
     CreateVisitDataComponent},
};

}  // namespace

std::span<const StandInClass> StandInClasses() { return kClasses; }

}  // namespace korvalis::suite
