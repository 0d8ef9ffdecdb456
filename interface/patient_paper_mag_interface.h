// IPatientPaperMag: the dual interface of the automation class PatientPaperMag, the circulation of
// paper records: search, commit, cancel, return and sign-in.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIPatientPaperMagInfo describes them to late-bound callers. Parameter names are those that
// clients pass as named arguments.
//
// Thread-safety: as the threading model registered for PatientPaperMag ("Both") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IPatientPaperMag =
    korvalis::com::MakeGuid("34D017A2-2976-45A4-8948-987AD2DCE570");
inline constexpr GUID CLSID_PatientPaperMag =
    korvalis::com::MakeGuid("E6F67AC8-8A72-4319-B1C1-C064A1EC2157");

struct IPatientPaperMag : IDispatch {
  virtual HRESULT SearchPatientPMRList(BSTR bstrSearchInfo, BSTR* pbstrPatientList) = 0;
  virtual HRESULT CommitPaperCase(BSTR bstrPMRInfo, BSTR bstrClientInfo) = 0;
  virtual HRESULT CancelCommitPaper(BSTR bstrPMRInfo) = 0;
  virtual HRESULT RollbackPaperCase(BSTR bstrPMRInfo, BSTR bstrClientInfo) = 0;
  virtual HRESULT CheckinPaperCase(BSTR bstrPMRInfo, BSTR bstrClientInfo) = 0;

 protected:
  ~IPatientPaperMag() = default;
};

extern const korvalis::com::InterfaceInfo kIPatientPaperMagInfo;
