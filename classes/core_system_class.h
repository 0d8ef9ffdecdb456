// CCoreSystem: the automation class CoreSystem, the records of the hospital's core quality systems:
// department activities, core reports, doctor shift and rescue records. Each method is a wrapper
// that gives the call its own data source (and, for the methods that vote, a vote on the call's
// transaction), hands its arguments unchanged to the body CBCoreSystem::<Method> and turns a
// failure into the thread's error information and E_FAIL.
//
// DeptActivilyRecordNext, DeptActivilyRecordPrevious, RescueRecordNext and RescueRecordPrevious do
// nothing; SaveDoctorShiftRecord runs the whole call and stores nothing.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CCoreSystem is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "interface/core_system_interface.h"
#include "interface/method_frame.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "quality/review/core_system.h"

template <class Body>
class CCoreSystemT : public korvalis::com::ComObjectRoot,
                     public korvalis::com::DispatchImpl<ICoreSystem, kICoreSystemInfo> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CCoreSystemT, ICoreSystem>(IID_ICoreSystem),
        MapEntry<CCoreSystemT, IDispatch>(IID_IDispatch)};
    return kMap;
  }

  HRESULT GetDeptActivity(BSTR bstrCondition, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CCoreSystem::GetDeptActivity",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetDeptActivity(pDataSource, bstrCondition, pbstrList);
                                });
  }

  HRESULT SetDeptActivity(BSTR bstrCondition, BSTR* pbstrList) override {
    return korvalis::frame::Run(kVote, "CCoreSystem::SetDeptActivity",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SetDeptActivity(pDataSource, bstrCondition, pbstrList);
                                });
  }

  HRESULT DelDeptActivity(BSTR bstrCondition) override {
    return korvalis::frame::Run(
        kVote, "CCoreSystem::DelDeptActivity",
        [&](CEMRDataSource* pDataSource) { Body::DelDeptActivity(pDataSource, bstrCondition); });
  }

  HRESULT GetCoreReport(BSTR bstrCondition, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CCoreSystem::GetCoreReport",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetCoreReport(pDataSource, bstrCondition, pbstrList);
                                });
  }

  HRESULT SetCoreReport(BSTR bstrCondition, BSTR* pbstrList) override {
    return korvalis::frame::Run(kVote, "CCoreSystem::SetCoreReport",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SetCoreReport(pDataSource, bstrCondition, pbstrList);
                                });
  }

  HRESULT DelCoreReport(BSTR bstrCondition) override {
    return korvalis::frame::Run(
        kVote, "CCoreSystem::DelCoreReport",
        [&](CEMRDataSource* pDataSource) { Body::DelCoreReport(pDataSource, bstrCondition); });
  }

  HRESULT SaveDoctorShiftRecord(BSTR bstrCondition) override {
    // Kept for its callers: runs the whole call, vote included, and stores nothing.
    return korvalis::frame::Run(kVote, "CCoreSystem::SaveDoctorShiftRecord",
                                [&](CEMRDataSource* pDataSource) {
                                  korvalis::frame::DoNothing(pDataSource, bstrCondition);
                                });
  }

  HRESULT GetDoctorShiftRecord(BSTR bstrCondition, BSTR* pbstrProperty) override {
    return korvalis::frame::Run(
        kNoVote, "CCoreSystem::GetDoctorShiftRecord", [&](CEMRDataSource* pDataSource) {
          Body::GetDoctorShiftRecord(pDataSource, bstrCondition, pbstrProperty);
        });
  }

  HRESULT DeleteDoctorShiftRecord(BSTR bstrShiftRecordID) override {
    return korvalis::frame::Run(kVote, "CCoreSystem::DeleteDoctorShiftRecord",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::DeleteDoctorShiftRecord(pDataSource, bstrShiftRecordID);
                                });
  }

  HRESULT DoctorShiftRecordNext(BSTR bstrCondition, BSTR* pbstrProperty) override {
    return korvalis::frame::Run(
        kNoVote, "CCoreSystem::DoctorShiftRecordNext", [&](CEMRDataSource* pDataSource) {
          Body::DoctorShiftRecordNext(pDataSource, bstrCondition, pbstrProperty);
        });
  }

  HRESULT DoctorShiftRecordPrevious(BSTR bstrCondition, BSTR* pbstrProperty) override {
    return korvalis::frame::Run(
        kNoVote, "CCoreSystem::DoctorShiftRecordPrevious", [&](CEMRDataSource* pDataSource) {
          Body::DoctorShiftRecordPrevious(pDataSource, bstrCondition, pbstrProperty);
        });
  }

  // Present in the interface; does nothing and leaves its results as the caller set them.
  HRESULT DeptActivilyRecordNext(BSTR, BSTR*) override { return S_OK; }

  // Present in the interface; does nothing and leaves its results as the caller set them.
  HRESULT DeptActivilyRecordPrevious(BSTR, BSTR*) override { return S_OK; }

  // Present in the interface; does nothing and leaves its results as the caller set them.
  HRESULT RescueRecordNext(BSTR, BSTR*) override { return S_OK; }

  // Present in the interface; does nothing and leaves its results as the caller set them.
  HRESULT RescueRecordPrevious(BSTR, BSTR*) override { return S_OK; }

  HRESULT GetRescueRecord(BSTR bstrCondition, BSTR* pbstrList) override {
    return korvalis::frame::Run(kVote, "CCoreSystem::GetRescueRecord",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetRescueRecord(pDataSource, bstrCondition, pbstrList);
                                });
  }

  HRESULT SetRescueRecord(BSTR bstrList, BSTR* pbstrId) override {
    return korvalis::frame::Run(kVote, "CCoreSystem::SetRescueRecord",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SetRescueRecord(pDataSource, bstrList, pbstrId);
                                });
  }

  HRESULT DelRescueRecord(BSTR bstrCondition) override {
    return korvalis::frame::Run(
        kVote, "CCoreSystem::DelRescueRecord",
        [&](CEMRDataSource* pDataSource) { Body::DelRescueRecord(pDataSource, bstrCondition); });
  }

  HRESULT RefreshRecord(BSTR bstrRecordList) override {
    return korvalis::frame::Run(
        kVote, "CCoreSystem::RefreshRecord",
        [&](CEMRDataSource* pDataSource) { Body::RefreshRecord(pDataSource, bstrRecordList); });
  }

 protected:
  ~CCoreSystemT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CCoreSystem = CCoreSystemT<CBCoreSystem>;
extern template class CCoreSystemT<CBCoreSystem>;

// Creates one CoreSystem object; refuses an outer object.
HRESULT CreateCoreSystem(IUnknown* outer, REFIID riid, void** ppv);
