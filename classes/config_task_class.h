// CConfigTask: the automation class ConfigTask, the QC task configurations and the task counts and
// patient lists that remind QC users of their work. Each method is a wrapper that gives the call
// its own data source (and, for the methods that vote, a vote on the call's transaction), hands its
// arguments unchanged to the body CBConfigTask::<Method> and turns a failure into the thread's
// error information and E_FAIL.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CConfigTask is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "interface/config_task_interface.h"
#include "interface/method_frame.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "platform/com/support_error_info.h"
#include "quality/review/config_task.h"

template <class Body>
class CConfigTaskT : public korvalis::com::ComObjectRoot,
                     public korvalis::com::DispatchImpl<IConfigTask, kIConfigTaskInfo>,
                     public korvalis::com::SupportErrorInfoImpl<IID_IConfigTask> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CConfigTaskT, IConfigTask>(IID_IConfigTask),
        MapEntry<CConfigTaskT, IDispatch>(IID_IDispatch),
        MapEntry<CConfigTaskT, ISupportErrorInfo>(IID_ISupportErrorInfo)};
    return kMap;
  }

  HRESULT GetQcTaskCountList(BSTR strUserId, BSTR strDeptId, LONG lngUserIdentity,
                             BSTR* bstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CConfigTask::GetQcTaskCountList", [&](CEMRDataSource* pDataSource) {
          Body::GetQcTaskCountList(pDataSource, strUserId, strDeptId, lngUserIdentity, bstrList);
        });
  }

  HRESULT GetTaskPatientList(BSTR strUserId, BSTR strDeptId, LONG lngUserIdentity, BSTR strTaskId,
                             BSTR* bstrList) override {
    return korvalis::frame::Run(kNoVote, "CConfigTask::GetTaskPatientList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetTaskPatientList(pDataSource, strUserId, strDeptId,
                                                           lngUserIdentity, strTaskId, bstrList);
                                });
  }

  HRESULT NewTendTask(BSTR bstrProperty, LONG* plngNewTaskId) override {
    return korvalis::frame::Run(kVote, "CConfigTask::NewTendTask",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::NewTendTask(pDataSource, bstrProperty, plngNewTaskId);
                                });
  }

  HRESULT GetTendTaskList(BSTR strTaskId, BSTR* bstrList) override {
    return korvalis::frame::Run(kNoVote, "CConfigTask::GetTendTaskList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetTendTaskList(pDataSource, strTaskId, bstrList);
                                });
  }

  HRESULT UpdateTendTask(BSTR bstrProperty, BSTR bstrTaskID) override {
    return korvalis::frame::Run(kVote, "CConfigTask::UpdateTendTask",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::UpdateTendTask(pDataSource, bstrProperty, bstrTaskID);
                                });
  }

 protected:
  ~CConfigTaskT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CConfigTask = CConfigTaskT<CBConfigTask>;
extern template class CConfigTaskT<CBConfigTask>;

// Creates one ConfigTask object; accepts an outer object that asks for IUnknown.
HRESULT CreateConfigTask(IUnknown* outer, REFIID riid, void** ppv);
