// The doubles of the sibling interfaces: every method records its call and answers from the
// script (suite/testing/double_classes.h). Reserved slots answer E_NOTIMPL.
#include "suite/testing/double_classes.h"

#include "foundation/text/string_util.h"
#include "foundation/suite/suite_interfaces.h"
#include "platform/com/com_object.h"
#include "suite/reserved_slots.h"
#include "suite/stand_in.h"

namespace korvalis::suite::testing {
namespace {

std::u16string Text(BSTR value) { return std::u16string(BstrView(value)); }

class RegistryDouble : public StandIn<ISuiteRegistry, IID_ISuiteRegistry> {
 public:
  HRESULT GetInterfaceList(BSTR* out) override {
    return Script().Reply(IID_ISuiteRegistry, 7, {}, out);
  }
};

class DateTimeDouble : public StandIn<IDateTimeService, IID_IDateTimeService> {
 public:
  HRESULT GetDateTime(BSTR* out) override {
    return Script().Reply(IID_IDateTimeService, 7, {}, out);
  }
};

class ServerDateTimeDouble : public StandIn<IServerDateTime, IID_IServerDateTime> {
 public:
  HRESULT GetDateTime(BSTR* out) override {
    return Script().Reply(IID_IServerDateTime, 7, {}, out);
  }
};

class SecurityDouble : public SecurityServiceStandIn {
 public:
  HRESULT GetUserIdByLoginCode(BSTR code, BSTR* out) override {
    return Script().Reply(IID_ISecurityService, 7, {Text(code)}, out);
  }
  HRESULT GetUserProperty(BSTR user, BSTR* out) override {
    return Script().Reply(IID_ISecurityService, 9, {Text(user)}, out);
  }
  HRESULT CheckPassword(BSTR code, BSTR password, VARIANT_BOOL* out) override {
    return Script().ReplyFlag(IID_ISecurityService, 10, {Text(code), Text(password)}, out);
  }
};

class UserPropertyDouble : public StandIn<IUserProperty, IID_IUserProperty> {
 public:
  HRESULT GetUserProperty(BSTR user, BSTR* out) override {
    return Script().Reply(IID_IUserProperty, 7, {Text(user)}, out);
  }
};

class HISDepartmentDouble : public StandIn<IHISDepartment, IID_IHISDepartment> {
 public:
  HRESULT GetDeptInfo(BSTR dept, BSTR* out) override {
    return Script().Reply(IID_IHISDepartment, 7, {Text(dept)}, out);
  }
};

class HISHospitalDouble : public StandIn<IHISHospital, IID_IHISHospital> {
 public:
  HRESULT GetHospitalInfo(BSTR hospital, BSTR* out) override {
    return Script().Reply(IID_IHISHospital, 7, {Text(hospital)}, out);
  }
  HRESULT GetDeptDict(BSTR code, BSTR* out) override {
    return Script().Reply(IID_IHISHospital, 8, {Text(code)}, out);
  }
  HRESULT GetDeptList(BSTR code, BSTR* out) override {
    return Script().Reply(IID_IHISHospital, 9, {Text(code)}, out);
  }
};

class DictionaryDouble : public StandIn<IDictionaryService, IID_IDictionaryService> {
 public:
  HRESULT GetDictionary1(BSTR* out) override { return Reply(7, out); }
  HRESULT GetDictionary2(BSTR* out) override { return Reply(8, out); }
  HRESULT GetDictionary3(BSTR* out) override { return Reply(9, out); }
  HRESULT GetDictionary4(BSTR* out) override { return Reply(10, out); }
  HRESULT GetDictionary5(BSTR* out) override { return Reply(11, out); }
  HRESULT GetDictionary6(BSTR* out) override { return Reply(12, out); }
  HRESULT GetDictionary7(BSTR* out) override { return Reply(13, out); }

 private:
  static HRESULT Reply(int slot, BSTR* out) {
    return Script().Reply(IID_IDictionaryService, slot, {}, out);
  }
};

class HISPatientInfoDouble : public HISPatientInfoStandIn {
 public:
  HRESULT GetResidenceNo(BSTR p, BSTR e, BSTR* out) override { return Reply(7, p, e, out); }
  HRESULT GetInOutInfo(BSTR p, BSTR e, BSTR* out) override { return Reply(10, p, e, out); }
  HRESULT GetDiagnosisInfo(BSTR p, BSTR e, BSTR* out) override { return Reply(11, p, e, out); }
  HRESULT GetOperationInfo(BSTR p, BSTR e, BSTR* out) override { return Reply(12, p, e, out); }
  HRESULT GetFeeInfo(BSTR p, BSTR e, BSTR* out) override { return Reply(13, p, e, out); }
  HRESULT IsDischarged(BSTR p, BSTR e, VARIANT_BOOL* out) override {
    return Script().ReplyFlag(IID_IHISPatientInfo, 14, {Text(p), Text(e)}, out);
  }
  HRESULT GetLongTermOrders(BSTR p, BSTR e, BSTR* out) override { return Reply(15, p, e, out); }
  HRESULT GetTemporaryOrders(BSTR p, BSTR e, BSTR* out) override { return Reply(16, p, e, out); }
  HRESULT GetFeeList(BSTR p, BSTR e, BSTR* out) override { return Reply(25, p, e, out); }

 private:
  static HRESULT Reply(int slot, BSTR patient, BSTR event, BSTR* out) {
    return Script().Reply(IID_IHISPatientInfo, slot, {Text(patient), Text(event)}, out);
  }
};

class HISClinicInfoDouble : public HISClinicInfoStandIn {
 public:
  HRESULT GetRegInfo(BSTR p, BSTR e, BSTR* out) override { return Reply(9, p, e, out); }
  HRESULT GetRecipeInfo(BSTR p, BSTR e, BSTR* out) override { return Reply(11, p, e, out); }
  HRESULT GetDiagInfo(BSTR p, BSTR e, BSTR* out) override { return Reply(12, p, e, out); }
  HRESULT GetExamineInfo(BSTR p, BSTR e, BSTR* out) override { return Reply(13, p, e, out); }

 private:
  static HRESULT Reply(int slot, BSTR patient, BSTR event, BSTR* out) {
    return Script().Reply(IID_IHISClinicInfo, slot, {Text(patient), Text(event)}, out);
  }
};

class NoticeDouble : public NoticeServiceStandIn {
 public:
  HRESULT GetNotifyMessage(BSTR dept, BSTR user, BSTR* out) override {
    return Script().Reply(IID_INoticeService, 10, {Text(dept), Text(user)}, out);
  }
};

class WorkListDouble : public StandIn<IWorkListService, IID_IWorkListService> {};

class RecordPlanDouble : public RecordPlanStandIn {
 public:
  HRESULT GetRecordPlan(BSTR patient, BSTR event, BSTR* out) override {
    return Script().Reply(IID_IRecordPlan, 13, {Text(patient), Text(event)}, out);
  }
};

class WorkListParamDouble : public StandIn<IWorkListParam, IID_IWorkListParam> {
 public:
  HRESULT GetParam(BSTR name, BSTR* out) override {
    return Script().Reply(IID_IWorkListParam, 7, {Text(name)}, out);
  }
};

class VisitDataDouble : public StandIn<IVisitData, IID_IVisitData> {
 public:
  HRESULT GetVisitData(BSTR patient, BSTR event, int32_t domain, BSTR key,
                       BSTR* in_out) override {
    return Script().ReplyInOut(IID_IVisitData, 7,
                               {Text(patient), Text(event), IntToString(domain), Text(key)},
                               in_out);
  }
};

template <class T>
HRESULT Create(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateComInstance<T, com::Aggregation::kRefused>(outer, riid, ppv);
}

struct DoubleCreatorEntry {
  const IID* iid;
  com::InstanceCreator create;
};

constexpr DoubleCreatorEntry kCreators[] = {
    {&IID_ISuiteRegistry, Create<RegistryDouble>},
    {&IID_IDateTimeService, Create<DateTimeDouble>},
    {&IID_ISecurityService, Create<SecurityDouble>},
    {&IID_IUserProperty, Create<UserPropertyDouble>},
    {&IID_IHISDepartment, Create<HISDepartmentDouble>},
    {&IID_IHISHospital, Create<HISHospitalDouble>},
    {&IID_IDictionaryService, Create<DictionaryDouble>},
    {&IID_IHISPatientInfo, Create<HISPatientInfoDouble>},
    {&IID_IHISClinicInfo, Create<HISClinicInfoDouble>},
    {&IID_INoticeService, Create<NoticeDouble>},
    {&IID_IWorkListService, Create<WorkListDouble>},
    {&IID_IRecordPlan, Create<RecordPlanDouble>},
    {&IID_IServerDateTime, Create<ServerDateTimeDouble>},
    {&IID_IWorkListParam, Create<WorkListParamDouble>},
    {&IID_IVisitData, Create<VisitDataDouble>},
};

}  // namespace

com::InstanceCreator DoubleCreator(const IID& iid) {
  for (const DoubleCreatorEntry& entry : kCreators) {
    if (*entry.iid == iid) return entry.create;
  }
  return nullptr;
}

}  // namespace korvalis::suite::testing
