// The record store's reading side: LoadEmrContent and its load-time refresh.
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "emrdoc/emr_content_hand_over.h"
#include "emrdoc/emr_content_store.h"
#include "emrdoc/emr_from_template.h"
#include "emrdoc/live_data_refresh.h"
#include "emrdoc/order_sheet_regeneration.h"
#include "foundation/codec/blob_text.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_key.h"
#include "foundation/xml/xhtml_document.h"
#include "lookups/visit_lookups.h"
#include "platform/com/scoped_bstr.h"

namespace {

using korvalis::BstrView;
using korvalis::SqlKey;
using korvalis::com::ScopedBstr;

// The columns of a record row that its loading depends on.
struct StoredRecord {
  std::u16string status;
  int compression = 0;
  int encryption = 0;
  long emr_type = 0;
  std::u16string patient_id;
  std::u16string event_no;
};

// The row of the record whose key (" WHERE ID = ...") is `record_key`.
std::optional<StoredRecord> ReadStoredRecord(CSingleDataSource& data_source,
                                             const std::u16string& record_key) {
  std::vector<std::u16string> values;
  data_source.Query(
      u"SELECT STATUS, COMPRESSION, ENCRYPTION, EMR_TYPE, PATIENT_ID, EVENT_NO FROM "
      u"TELV_EMR_CONTENT" +
          record_key,
      6, values);
  if (values.size() < 6) return std::nullopt;
  return StoredRecord{
      values[0], StringToInt(values[1]), StringToInt(values[2]), StringToLong(values[3]), values[4],
      values[5]};
}

// Record states of a visit that freeze its records' content: loaded as stored.
bool IsFrozenVisitState(const std::u16string& emr_status) {
  return emr_status == u"1" || emr_status == u"3";
}

// The load-time refresh of RefreshEmrOnLoad on `text`, in place; false when the visit's state
// keeps the text as it is.
bool RefreshText(CSingleDataSource& data_source, const std::u16string& patient_id,
                 const std::u16string& event_no, BSTR emr_id, std::u16string& text) {
  std::u16string emr_status;
  data_source.QueryScalar(
      u"SELECT EMR_STATUS FROM TELV_VISIT_RECORD" + VisitKey(patient_id, event_no).Where(),
      emr_status);
  if (IsFrozenVisitState(emr_status)) return false;

  XHTMLDocument document;
  // Loading fails only when memory runs out.
  if (FAILED(document.Load(text))) throw std::bad_alloc();
  document.WaitForComplete();
  ScopedBstr patient(patient_id), event(event_no);
  if (!RefreshLiveLinks(&data_source, emr_id, patient.get(), event.get(), document)) {
    std::u16string signatures;
    data_source.QueryScalar(
        u"SELECT COUNT(ID) FROM TELV_EMR_SIGNATURE" + SqlKey().Equals(u"ID", emr_id).Where(),
        signatures);
    RefillDataElements(&data_source, document, patient.get(), event.get(),
                       StringToLong(signatures) > 1, true, 0);
  }
  std::shared_ptr<IHTMLDocument2> html;
  document.GetDocument(&html);
  text = html->documentElement()->OuterHtml();
  return true;
}

// The live record's row; throws "该病历已经被删除" when it has none or is deleted.
StoredRecord ReadLiveRecord(CSingleDataSource& data_source, const std::u16string& record_key) {
  std::optional<StoredRecord> record = ReadStoredRecord(data_source, record_key);
  if (!record || record->status != u"1") throw CEMRException(std::u16string(kEmrDeletedMessage));
  return *record;
}

}  // namespace

namespace korvalis::emrdoc {

std::u16string LoadEmrText(CSingleDataSource& data_source, BSTR emr_id) {
  const std::u16string record_key = SqlKey().Equals(u"ID", emr_id).Where();
  StoredRecord record = ReadLiveRecord(data_source, record_key);
  if (IsOrderSheetType(record.emr_type)) {
    // The rebuilt sheet may be stored with other codecs: the row is read again.
    ScopedBstr patient(record.patient_id), event(record.event_no);
    RegenerateEmrFromTemplate(&data_source, emr_id, patient.get(), event.get(), record.emr_type);
    record = ReadLiveRecord(data_source, record_key);
  }
  std::u16string text = korvalis::ReadBlobText(
      data_source, u"SELECT CONTENT FROM TELV_EMR_CONTENT" + record_key,
      record.compression, record.encryption);
  if (!text.empty()) RefreshText(data_source, record.patient_id, record.event_no, emr_id, text);
  return text;
}

}  // namespace korvalis::emrdoc

long LoadEmrContent(CSingleDataSource* pDataSource, BSTR bstrEmrID, BSTR* pbstrContent) {
  const std::u16string text = korvalis::emrdoc::LoadEmrText(*pDataSource, bstrEmrID);
  BSTR packed = PackEmrContent(text);
  if (pbstrContent == nullptr) {
    SysFreeString(packed);
  } else {
    *pbstrContent = packed;
  }
  return 0;
}

long RefreshEmrOnLoad(CSingleDataSource* pDataSource, const std::u16string& strPatientID,
                      const std::u16string& strEventNo, BSTR bstrEmrID, BSTR* pbstrContent) {
  std::u16string text(BstrView(*pbstrContent));
  if (!RefreshText(*pDataSource, strPatientID, strEventNo, bstrEmrID, text)) return 0;
  BSTR refreshed = korvalis::AllocBstr(text);
  if (refreshed == nullptr) throw std::bad_alloc();
  SysFreeString(*pbstrContent);
  *pbstrContent = refreshed;
  return 0;
}
