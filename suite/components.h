// The stand-in components of the suite and their classes: one entry per class, with the
// interface it serves (the registry component serves ISuiteRegistry) and its instance creator.
// Every class is registered in process with the threading model Both and refuses aggregation.
//
// Thread-safety: immutable constants.
#pragma once

#include <span>
#include <string_view>

#include "platform/com/class_factory.h"
#include "platform/com/guid.h"

namespace korvalis::suite {

struct StandInClass {
  std::u16string_view name;  // "DateTime": registered as "korvalis suite DateTime"
  GUID clsid;
  const IID* iid;
  com::InstanceCreator create_instance;
};

// Every stand-in class, the registry component first.
std::span<const StandInClass> StandInClasses();

// The instance creators, one per component file.
HRESULT CreateRegistryComponent(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateDateTimeComponent(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateServerDateTimeComponent(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateSecurityComponent(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateUserPropertyComponent(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateHISDepartmentComponent(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateHISHospitalComponent(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateDictionaryComponent(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateHISPatientInfoComponent(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateHISClinicInfoComponent(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateNoticeComponent(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateWorkListComponent(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateRecordPlanComponent(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateWorkListParamComponent(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateVisitDataComponent(IUnknown* outer, REFIID riid, void** ppv);

}  // namespace korvalis::suite
