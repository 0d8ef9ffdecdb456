#include "emrdoc/emr_saved_notification.h"

#include <vector>

#include "emrdoc/quality_bodies.h"
#include "foundation/calls/emr_error.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_key.h"
#include "foundation/xml/xml_document.h"
#include "lookups/sys_param.h"
#include "platform/com/scoped_bstr.h"

namespace korvalis::emrdoc {
namespace {

using com::ScopedBstr;

// The EMR type whose records carry content-QC marks (the front sheet).
constexpr char16_t kQcMarkedEmrType[] = u"1";

std::u16string IdentificationDocument(const std::u16string& emr_id, const RecordOwner& owner) {
  CXmlDocument document;
  CXmlNode root = document.GetRootNode();
  root.AppendChild(u"emr_id", emr_id);
  root.AppendChild(u"patient_id", owner.patient_id);
  root.AppendChild(u"event_no", owner.event_no);
  return document.GetXml();
}

std::u16string SavedEventDocument(const std::u16string& emr_id, const RecordOwner& owner,
                                  const std::u16string& now, const std::u16string& user_id,
                                  const std::u16string& user_name) {
  CXmlDocument document;
  CXmlNode root = document.GetRootNode();
  root.AppendChild(u"patient_id", owner.patient_id);
  root.AppendChild(u"event_no", owner.event_no);
  root.AppendChild(u"time", now);
  root.AppendChild(u"register_time", now);
  root.AppendChild(u"type", u"1");
  root.AppendChild(u"code", u"E03");
  root.AppendChild(u"src_sys", u"0");
  CXmlNode extend = root.AppendChild(u"extend", u"");
  extend.AppendChild(u"emr_type", owner.emr_type);
  extend.AppendChild(u"emr_id", emr_id);
  extend.AppendChild(u"user_id", user_id);
  extend.AppendChild(u"user_name", user_name);
  return document.GetXml();
}

}  // namespace

std::optional<RecordOwner> ReadRecordOwner(CSingleDataSource& data_source,
                                           const std::u16string& emr_id) {
  std::vector<std::u16string> values;
  data_source.Query(
      u"SELECT T.PATIENT_ID, T.EVENT_NO, T.EMR_TYPE FROM TELV_EMR_CONTENT T" +
          korvalis::SqlKey().Equals(u"T.ID", emr_id).Where(),
      3, values);
  if (values.size() < 3) return std::nullopt;
  return RecordOwner{values[0], values[1], values[2]};
}

void StoreContentQcMarks(CSingleDataSource& data_source, const std::u16string& emr_id,
                         const RecordOwner& owner, BSTR content) {
  if (owner.emr_type != kQcMarkedEmrType) return;
  ScopedBstr identification(IdentificationDocument(emr_id, owner));
  SaveContentQCInfo(data_source, identification.get(), content);
}

}  // namespace korvalis::emrdoc

int NotifyEmrSaved(CSingleDataSource* pDataSource, const std::u16string& strEmrID, BSTR bstrContent,
                   const std::u16string& strUserID, const std::u16string& strUserName) {
  using korvalis::com::ScopedBstr;
  const auto owner = korvalis::emrdoc::ReadRecordOwner(*pDataSource, strEmrID);
  if (!owner) return 1;
  korvalis::emrdoc::StoreContentQcMarks(*pDataSource, strEmrID, *owner, bstrContent);
  ScopedBstr event(korvalis::emrdoc::SavedEventDocument(
      strEmrID, *owner, GetSystemDateTimeString(pDataSource), strUserID, strUserName));
  ScopedBstr patient(owner->patient_id), event_no(owner->event_no);
  if (korvalis::emrdoc::FireClose(*pDataSource, patient.get(), event_no.get(), event.get()) < 0) {
    std::u16string error = CEMRRemoteError().GetError();
    if (error.empty()) error = kUnknownSystemError;
    throw CEMRException(error);
  }
  return 0;
}
