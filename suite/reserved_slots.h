// The stand-in bases of the sibling interfaces that keep reserved slots: every reserved slot
// answers E_NOTIMPL, since the system never calls it. The suite's components and the test
// doubles of the same interfaces derive from these and write only the methods in use.
//
// Thread-safety: as StandIn; the bases hold no state.
#pragma once

#include "foundation/suite/suite_interfaces.h"
#include "suite/stand_in.h"

namespace korvalis::suite {

class SecurityServiceStandIn : public StandIn<ISecurityService, IID_ISecurityService> {
 public:
  HRESULT Reserved8() override { return E_NOTIMPL; }
};

class HISPatientInfoStandIn : public StandIn<IHISPatientInfo, IID_IHISPatientInfo> {
 public:
  HRESULT Reserved8() override { return E_NOTIMPL; }
  HRESULT Reserved9() override { return E_NOTIMPL; }
  HRESULT Reserved17() override { return E_NOTIMPL; }
  HRESULT Reserved18() override { return E_NOTIMPL; }
  HRESULT Reserved19() override { return E_NOTIMPL; }
  HRESULT Reserved20() override { return E_NOTIMPL; }
  HRESULT Reserved21() override { return E_NOTIMPL; }
  HRESULT Reserved22() override { return E_NOTIMPL; }
  HRESULT Reserved23() override { return E_NOTIMPL; }
  HRESULT Reserved24() override { return E_NOTIMPL; }
};

class HISClinicInfoStandIn : public StandIn<IHISClinicInfo, IID_IHISClinicInfo> {
 public:
  HRESULT Reserved7() override { return E_NOTIMPL; }
  HRESULT Reserved8() override { return E_NOTIMPL; }
  HRESULT Reserved10() override { return E_NOTIMPL; }
};

class NoticeServiceStandIn : public StandIn<INoticeService, IID_INoticeService> {
 public:
  HRESULT Reserved7() override { return E_NOTIMPL; }
  HRESULT Reserved8() override { return E_NOTIMPL; }
  HRESULT Reserved9() override { return E_NOTIMPL; }
};

class RecordPlanStandIn : public StandIn<IRecordPlan, IID_IRecordPlan> {
 public:
  HRESULT Reserved7() override { return E_NOTIMPL; }
  HRESULT Reserved8() override { return E_NOTIMPL; }
  HRESULT Reserved9() override { return E_NOTIMPL; }
  HRESULT Reserved10() override { return E_NOTIMPL; }
  HRESULT Reserved11() override { return E_NOTIMPL; }
  HRESULT Reserved12() override { return E_NOTIMPL; }
};

}  // namespace korvalis::suite
