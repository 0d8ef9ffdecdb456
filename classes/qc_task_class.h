// CQCTask: the automation class QCTask, the QC grade tasks, their patients, rectification notices
// and summaries. Each method is a wrapper that gives the call its own data source (and, for the
// methods that vote, a vote on the call's transaction), hands its arguments unchanged to the body
// CBQCTask::<Method> and turns a failure into the thread's error information and E_FAIL.
//
// GetTaskList votes although it only reads; DispatchPatient and RemovePatient write without a vote.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CQCTask is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "interface/method_frame.h"
#include "interface/qc_task_interface.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "quality/rules/qc_task.h"

template <class Body>
class CQCTaskT : public korvalis::com::ComObjectRoot,
                 public korvalis::com::DispatchImpl<IQCTask, kIQCTaskInfo> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CQCTaskT, IQCTask>(IID_IQCTask), MapEntry<CQCTaskT, IDispatch>(IID_IDispatch)};
    return kMap;
  }

  HRESULT New(BSTR bstrProperty, BSTR* pbstrTaskID) override {
    return korvalis::frame::Run(kVote, "CQCTask::New", [&](CEMRDataSource* pDataSource) {
      Body::New(pDataSource, bstrProperty, pbstrTaskID);
    });
  }

  HRESULT Modify(BSTR bstrTaskID, BSTR bstrProperty) override {
    return korvalis::frame::Run(kVote, "CQCTask::Modify", [&](CEMRDataSource* pDataSource) {
      Body::Modify(pDataSource, bstrTaskID, bstrProperty);
    });
  }

  HRESULT Delete(BSTR bstrTaskID) override {
    return korvalis::frame::Run(kVote, "CQCTask::Delete", [&](CEMRDataSource* pDataSource) {
      Body::Delete(pDataSource, bstrTaskID);
    });
  }

  HRESULT GetProperty(BSTR bstrTaskID, BSTR* pbstrProperty) override {
    return korvalis::frame::Run(kNoVote, "CQCTask::GetProperty", [&](CEMRDataSource* pDataSource) {
      Body::GetProperty(pDataSource, bstrTaskID, pbstrProperty);
    });
  }

  HRESULT GetTaskList(BSTR bstrCondition, BSTR* pbstrList) override {
    return korvalis::frame::Run(kVote, "CQCTask::GetTaskList", [&](CEMRDataSource* pDataSource) {
      Body::GetTaskList(pDataSource, bstrCondition, pbstrList);
    });
  }

  HRESULT GetPatientList(BSTR bstrCondition, BSTR* pbstrPatientList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCTask::GetPatientList", [&](CEMRDataSource* pDataSource) {
          Body::GetPatientList(pDataSource, bstrCondition, pbstrPatientList);
        });
  }

  HRESULT AddPatient(BSTR bstrTaskID, BSTR bstrPatientList) override {
    return korvalis::frame::Run(kVote, "CQCTask::AddPatient", [&](CEMRDataSource* pDataSource) {
      Body::AddPatient(pDataSource, bstrTaskID, bstrPatientList);
    });
  }

  HRESULT DispatchPatient(BSTR bstrUserID, BSTR bstrPatientList) override {
    return korvalis::frame::Run(kNoVote, "CQCTask::DispatchPatient",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::DispatchPatient(pDataSource, bstrUserID, bstrPatientList);
                                });
  }

  HRESULT RemovePatient(BSTR bstrCondition) override {
    return korvalis::frame::Run(
        kNoVote, "CQCTask::RemovePatient",
        [&](CEMRDataSource* pDataSource) { Body::RemovePatient(pDataSource, bstrCondition); });
  }

  HRESULT GetTaskId(BSTR bstrOwnerType, BSTR* pbstrTaskID) override {
    return korvalis::frame::Run(kNoVote, "CQCTask::GetTaskId", [&](CEMRDataSource* pDataSource) {
      Body::GetTaskId(pDataSource, bstrOwnerType, pbstrTaskID);
    });
  }

  HRESULT GetDeptQCPatientList(BSTR bstrCondition, BSTR* pbstrPatientList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCTask::GetDeptQCPatientList", [&](CEMRDataSource* pDataSource) {
          Body::GetDeptQCPatientList(pDataSource, bstrCondition, pbstrPatientList);
        });
  }

  HRESULT NewDeptQCTask(BSTR bstrProperty) override {
    return korvalis::frame::Run(kVote, "CQCTask::NewDeptQCTask", [&](CEMRDataSource* pDataSource) {
      Body::NewDeptQCTask(pDataSource, bstrProperty);
    });
  }

  HRESULT GetQCRectifyList(BSTR bstrCondition, BSTR* pbstrRectifyList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCTask::GetQCRectifyList", [&](CEMRDataSource* pDataSource) {
          Body::GetQCRectifyList(pDataSource, bstrCondition, pbstrRectifyList);
        });
  }

  HRESULT SetTaskSummarize(BSTR bstrProperty) override {
    return korvalis::frame::Run(
        kVote, "CQCTask::SetTaskSummarize",
        [&](CEMRDataSource* pDataSource) { Body::SetTaskSummarize(pDataSource, bstrProperty); });
  }

  HRESULT GetTaskSummarize(BSTR bstrTaskID, BSTR bstrUserID, BSTR* pbstrTaskSummarize) override {
    return korvalis::frame::Run(
        kNoVote, "CQCTask::GetTaskSummarize", [&](CEMRDataSource* pDataSource) {
          Body::GetTaskSummarize(pDataSource, bstrTaskID, bstrUserID, pbstrTaskSummarize);
        });
  }

  HRESULT GetToSummariseTask(BSTR bstrCondition, BSTR* pbstrTaskList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCTask::GetToSummariseTask", [&](CEMRDataSource* pDataSource) {
          Body::GetToSummariseTask(pDataSource, bstrCondition, pbstrTaskList);
        });
  }

  HRESULT NewMonthTaskForDept(BSTR bstrCondition) override {
    return korvalis::frame::Run(kVote, "CQCTask::NewMonthTaskForDept",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::NewMonthTaskForDept(pDataSource, bstrCondition);
                                });
  }

 protected:
  ~CQCTaskT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CQCTask = CQCTaskT<CBQCTask>;
extern template class CQCTaskT<CBQCTask>;

// Creates one QCTask object; refuses an outer object.
HRESULT CreateQCTask(IUnknown* outer, REFIID riid, void** ppv);
