// Test double of the two quality bodies the record store calls (emrdoc/quality_bodies.h): bound
// while the object lives (the bodies bound before come back after), it records every call with
// its arguments as texts and succeeds, or fails as the test asks: FireClose with a negative
// result, with or without error information, the QC-marks store by throwing.
//
//   QualityBodyRecorder quality;
//   quality.FailFireClose(u"规则库不可用");
//   ... SaveEmrDocument ...
//   EXPECT_EQ(quality.FireCloseCalls().size(), 1u);
//
// Thread-safety: the bodies may be called from any thread; one recorder at a time.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "emrdoc/emr_content_hand_over.h"
#include "emrdoc/quality_bodies.h"
#include "foundation/calls/emr_error.h"
#include "foundation/calls/emr_exception.h"

namespace korvalis::emrdoc::testing {

class QualityBodyRecorder {
 public:
  struct FireCloseCall {
    CEMRDataSource* data_source;
    std::u16string patient_id;
    std::u16string event_no;
    std::u16string event_document;
  };
  struct QcMarksCall {
    CEMRDataSource* data_source;
    std::u16string identification;
    std::u16string content;  // the text of the hand-over form received
  };

  QualityBodyRecorder() {
    Current() = this;
    previous_ = BindQualityBodies({&FireCloseBody, &SaveContentQCInfoBody});
  }
  ~QualityBodyRecorder() {
    BindQualityBodies(previous_);
    Current() = nullptr;
  }
  QualityBodyRecorder(const QualityBodyRecorder&) = delete;
  QualityBodyRecorder& operator=(const QualityBodyRecorder&) = delete;

  // From now on FireClose answers -1, leaving `description` as the thread's error information
  // when it is given.
  void FailFireClose(std::optional<std::u16string> description) {
    std::lock_guard<std::mutex> lock(mutex_);
    fire_close_fails_ = true;
    fire_close_error_ = std::move(description);
  }
  // From now on the QC-marks store throws CEMRException `message`.
  void FailQcMarks(std::u16string message) {
    std::lock_guard<std::mutex> lock(mutex_);
    qc_marks_error_ = std::move(message);
  }

  std::vector<FireCloseCall> FireCloseCalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fire_close_calls_;
  }
  std::vector<QcMarksCall> QcMarksCalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return qc_marks_calls_;
  }

 private:
  static QualityBodyRecorder*& Current() {
    static QualityBodyRecorder* current = nullptr;
    return current;
  }

  static long FireCloseBody(CEMRDataSource* data_source, BSTR patient_id, BSTR event_no,
                            BSTR event_document) {
    QualityBodyRecorder& self = *Current();
    std::lock_guard<std::mutex> lock(self.mutex_);
    self.fire_close_calls_.push_back({data_source, std::u16string(BstrView(patient_id)),
                                      std::u16string(BstrView(event_no)),
                                      std::u16string(BstrView(event_document))});
    if (!self.fire_close_fails_) return 0;
    if (self.fire_close_error_) CEMRRemoteError().SetError(*self.fire_close_error_);
    return -1;
  }

  static long SaveContentQCInfoBody(CEMRDataSource* data_source, BSTR identification,
                                    BSTR content) {
    QualityBodyRecorder& self = *Current();
    std::lock_guard<std::mutex> lock(self.mutex_);
    self.qc_marks_calls_.push_back(
        {data_source, std::u16string(BstrView(identification)), UnpackEmrContent(content)});
    if (self.qc_marks_error_) throw CEMRException(*self.qc_marks_error_);
    return 0;
  }

  mutable std::mutex mutex_;
  QualityBodies previous_;
  bool fire_close_fails_ = false;
  std::optional<std::u16string> fire_close_error_;
  std::optional<std::u16string> qc_marks_error_;
  std::vector<FireCloseCall> fire_close_calls_;
  std::vector<QcMarksCall> qc_marks_calls_;
};

}  // namespace korvalis::emrdoc::testing
