#include "emrdoc/quality_bodies.h"

#include <mutex>
#include <optional>
#include <string_view>

#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/calls/not_available.h"
#include "platform/text/unicode.h"

namespace korvalis::emrdoc {
namespace {

std::mutex bodies_mutex;
QualityBodies bound_bodies;

QualityBodies Bound() {
  std::lock_guard<std::mutex> lock(bodies_mutex);
  return bound_bodies;
}

[[noreturn]] void ThrowUnbound(std::string_view body) {
  throw CEMRException(FromUtf8(NotAvailableText(body)));
}

// Runs `call` with the caller's data source as the CEMRDataSource the quality bodies take. Every
// data source of a call is one, so the other branch only serves callers outside the system's
// calls: a CEMRDataSource of their own, which inside a call shares the call's connection.
template <class Call>
long OnEmrDataSource(CSingleDataSource& data_source, Call call) {
  if (auto* emr = dynamic_cast<CEMRDataSource*>(&data_source)) return call(emr);
  CEMRDataSource own;
  return call(&own);
}

}  // namespace

QualityBodies BindQualityBodies(const QualityBodies& bodies) {
  std::lock_guard<std::mutex> lock(bodies_mutex);
  QualityBodies before = bound_bodies;
  bound_bodies = bodies;
  return before;
}

long FireClose(CSingleDataSource& data_source, BSTR patient_id, BSTR event_no,
               BSTR event_document) {
  const auto fire_close = Bound().fire_close;
  if (fire_close == nullptr) ThrowUnbound("CBQualityTrigger::FireClose");
  return OnEmrDataSource(data_source, [&](CEMRDataSource* emr) {
    return fire_close(emr, patient_id, event_no, event_document);
  });
}

long SaveContentQCInfo(CSingleDataSource& data_source, BSTR identification, BSTR content) {
  const auto save = Bound().save_content_qc_info;
  if (save == nullptr) ThrowUnbound("CBQCPatient::SaveContentQCInfo");
  return OnEmrDataSource(data_source,
                         [&](CEMRDataSource* emr) { return save(emr, identification, content); });
}

}  // namespace korvalis::emrdoc
