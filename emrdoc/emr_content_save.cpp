// The record store's writing side: new records, content updates and a record's properties.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "emrdoc/consultation_extraction.h"
#include "emrdoc/content_switches.h"
#include "emrdoc/emr_catalog_rules.h"
#include "emrdoc/emr_content_hand_over.h"
#include "emrdoc/emr_content_store.h"
#include "emrdoc/emr_saved_notification.h"
#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/calls/client_info.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/database_error.h"
#include "foundation/data/property_map.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/log/event_log_entry.h"
#include "foundation/log/file_log.h"
#include "foundation/suite/factory.h"
#include "foundation/xml/xml_property.h"
#include "lookups/sys_param.h"
#include "platform/com/scoped_bstr.h"

namespace {

using korvalis::ArgumentText;
using korvalis::BstrView;
using korvalis::ColumnValue;
using korvalis::PropertyBag;
using korvalis::RowValue;
using korvalis::SqlKey;
using korvalis::UpdateRow;
using korvalis::emrdoc::ContentCodecs;

// A sort code is written with at least this many digits, zero-padded on the left.
constexpr std::size_t kSortCodeDigits = 5;
// An update's text needs this many UTF-16 units at least...
constexpr std::size_t kMinimumContentUnits = 700;
// ...and its "</BODY" must begin at least this many units after the start of its "<BODY".
constexpr std::size_t kMinimumBodyUnits = 50;

// The value of a property, or the empty text.
std::u16string PropertyValue(const CXmlProperty::Map& properties, const std::u16string& name) {
  const auto found = properties.find(name);
  return found == properties.end() ? std::u16string() : found->second;
}

std::u16string PaddedSortCode(std::u16string number) {
  if (number.size() < kSortCodeDigits) number.insert(0, kSortCodeDigits - number.size(), u'0');
  return number;
}

// Inserts the row of a new record from the caller's properties (SaveEmrContent).
void InsertRecordRow(CSingleDataSource& data_source, korvalis::TextRef patient_id,
                     korvalis::TextRef event_no, CXmlProperty::Map properties,
                     const std::u16string& emr_id) {
  const std::u16string catalog = PropertyValue(properties, u"catalog");
  if (catalog.empty()) throw CEMRException(std::u16string(kEmrCatalogMissingMessage));
  // Both ids stand bare in statements: checked before the first one runs.
  korvalis::SqlIdNumber(catalog, u"catalog");
  const LONG template_id =
      korvalis::SqlIdNumber(PropertyValue(properties, u"template"), u"template");

  const std::u16string filed_under = ResolveEmrCatalogId(&data_source, catalog);
  if (IsCatalogLimitReached(&data_source, patient_id, event_no, filed_under)) {
    throw CEMRException(std::u16string(kEmrCatalogFullMessage));
  }
  const auto over_write = properties.find(u"over_write");
  if (over_write != properties.end() && over_write->second == u"1") {
    data_source.Execute(u"DELETE TELV_EMR_CONTENT" + SqlKey().Equals(u"ID", emr_id).Where());
    properties.erase(over_write);
  }
  properties[u"id"] = emr_id;
  properties[u"patient_id"] = patient_id.view();
  properties[u"event_no"] = event_no.view();
  properties[u"catalog"] = filed_under;
  properties[u"create_date"] = GetSystemDateTimeString(&data_source);
  properties[u"encryption"] = u"0";
  properties[u"compression"] = u"0";
  properties[u"sort"] =
      PaddedSortCode(GetNextSortCode(&data_source, patient_id, event_no, filed_under));
  properties[u"status"] = u"1";
  korvalis::com::ScopedBstr version;
  GetSystemVersion(&data_source, version.out());
  properties[u"version"] = version.text();
  std::u16string emr_type;
  data_source.QueryScalar(
      u"SELECT EMR_TYPE FROM TELV_EMR_TEMPLATE WHERE ID = " + IntToString(template_id), emr_type);
  properties[u"emr_type"] = emr_type.empty() ? u"0" : emr_type;
  CPropertyMap map(u"telv_emr_content");
  data_source.Execute(map.BuildInsertSql(u"TELV_EMR_CONTENT", properties));
}

// Writes a record's content (`units` as they are, behind a byte-order mark, through `codecs`) and
// stamps the row: XML cleared, MODIFIOR = `modifier` when one is known, MODIFY_DATE now and the
// codec types.
void WriteRecordContent(CSingleDataSource& data_source, const std::u16string& emr_id,
                        std::u16string_view units, ContentCodecs codecs,
                        const std::u16string& modifier) {
  const SqlKey record = SqlKey().Equals(u"ID", emr_id);
  data_source.WriteBlob(u"SELECT CONTENT FROM TELV_EMR_CONTENT" + record.Where(),
                        reinterpret_cast<const BYTE*>(units.data()),
                        static_cast<ULONG>(units.size() * sizeof(char16_t)), codecs.compression,
                        codecs.encryption, true);
  const ColumnValue modified{u"MODIFY_DATE", RowValue::Date(*data_source.GetDBType(),
                                                            GetSystemDateTimeString(&data_source))};
  const ColumnValue compression{u"COMPRESSION", RowValue::Number(codecs.compression)};
  const ColumnValue encryption{u"ENCRYPTION", RowValue::Number(codecs.encryption)};
  // A save without a modifier keeps the one stored.
  if (modifier.empty()) {
    UpdateRow(data_source, u"TELV_EMR_CONTENT",
              {{u"XML", RowValue::Null()}, modified, compression, encryption}, record.Sql());
  } else {
    UpdateRow(
        data_source, u"TELV_EMR_CONTENT",
        {{u"XML", RowValue::Null()}, {u"MODIFIOR", modifier}, modified, compression, encryption},
        record.Sql());
  }
}

// Why an update's text is refused, or null when it is plausible. Only lower-case "body" is taken
// for "BODY"; other spellings do not count.
const char16_t* ImplausibleContent(std::u16string_view text) {
  if (text.empty()) return u"内容为空";
  if (text.size() < kMinimumContentUnits) return u"内容少于700个字符";
  std::u16string tags(text);
  ReplaceAll(tags, u"body", u"BODY");
  const std::size_t open = tags.find(u"<BODY");
  const std::size_t close = tags.find(u"</BODY");
  if (open == std::u16string::npos || close == std::u16string::npos ||
      close < open + kMinimumBodyUnits) {
    return u"缺少BODY或其内容少于50个字符";
  }
  return nullptr;
}

// Records the refusal of an update in the file log (a non-empty text, after the record id and
// ":") and in the event log, then fails the call.
[[noreturn]] void RefuseContent(const std::u16string& emr_id, std::u16string_view text,
                                const char16_t* reason) {
  if (!text.empty()) WriteLogFile(emr_id + u":" + std::u16string(text), 1);
  CEventLogEntry(std::u16string(kEmrContentRefusedMessage) + u" 病历ID: " + emr_id + u", 原因: " +
                     reason + u", 长度: " + IntToString(static_cast<int>(text.size())),
                 CEventLogEntry::kError)
      .Report();
  throw CEMRException(std::u16string(kEmrContentRefusedMessage));
}

}  // namespace

long SaveEmrDocument(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                     BSTR bstrProperty, BSTR /*bstrClientInfo*/, BSTR bstrContent,
                     BSTR* pbstrNewID) {
  if (BstrView(bstrPatientID).empty() || BstrView(bstrEventNo).empty() ||
      BstrView(bstrProperty).empty() || SysStringByteLen(bstrContent) == 0) {
    korvalis::StoreBstrResult(pbstrNewID, u"");
    return 0;
  }
  const std::u16string units = UnpackEmrContentUnits(bstrContent);
  CXmlProperty::Map properties = PropertyBag(bstrProperty).GetMap();
  const std::u16string author = PropertyValue(properties, u"author");
  const std::u16string author_id = PropertyValue(properties, u"authorid");

  const std::u16string emr_id = CEMRFactory::Instance()->NewGuid();
  InsertRecordRow(*pDataSource, bstrPatientID, bstrEventNo, std::move(properties), emr_id);
  WriteRecordContent(*pDataSource, emr_id, units,
                     korvalis::emrdoc::SaveDocumentSwitches().Get(*pDataSource), author);
  ExtractConsultation(pDataSource, korvalis::com::ScopedBstr(emr_id).get());
  NotifyEmrSaved(pDataSource, emr_id, bstrContent, author_id, author);
  korvalis::StoreBstrResult(pbstrNewID, emr_id);
  return 0;
}

long SaveEmrContent(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                    BSTR bstrProperty, BSTR bstrEmrID) {
  InsertRecordRow(*pDataSource, bstrPatientID, bstrEventNo, PropertyBag(bstrProperty).GetMap(),
                  ArgumentText(bstrEmrID));
  return 0;
}

long UpdateEmrContent(CSingleDataSource* pDataSource, BSTR bstrEmrID, BSTR bstrContent,
                      BSTR bstrClientInfo) {
  std::optional<CClientInfo> client;
  if (!BstrView(bstrClientInfo).empty()) client.emplace(ArgumentText(bstrClientInfo));
  const std::u16string emr_id(BstrView(bstrEmrID));
  const std::u16string units = UnpackEmrContentUnits(bstrContent);
  std::u16string_view text = units;
  if (!text.empty() && text.back() == u'\0') text.remove_suffix(1);
  if (const char16_t* reason = ImplausibleContent(text)) RefuseContent(emr_id, text, reason);

  WriteRecordContent(*pDataSource, emr_id, units,
                     korvalis::emrdoc::UpdateContentSwitches().Get(*pDataSource),
                     client ? client->GetUserName() : std::u16string());
  if (!client) return 0;
  ExtractConsultation(pDataSource, bstrEmrID);
  if (const auto owner = korvalis::emrdoc::ReadRecordOwner(*pDataSource, emr_id)) {
    korvalis::emrdoc::StoreContentQcMarks(*pDataSource, emr_id, *owner, bstrContent);
  }
  return 0;
}

long GetEmrProperty(CSingleDataSource* pDataSource, BSTR bstrEmrID, BSTR* pbstrProperty) {
  static const char16_t* const kNames[] = {
      u"title", u"authorid", u"author",        u"template", u"key",        u"catalog", u"notes",
      u"sort",  u"emrtype",  u"confirmstatus", u"qcstatus", u"patient_id", u"event_no"};
  const SqlKey record = SqlKey().Equals(u"ID", bstrEmrID);
  std::u16string signer;
  pDataSource->QueryScalar(
      u"SELECT USER_ID FROM TELV_EMR_SIGNATURE" +
          SqlKey(record)
              .And(u"SUB_ID = (SELECT MAX(SUB_ID) FROM TELV_EMR_SIGNATURE" + record.Where() + u")")
              .Where(),
      signer);
  const std::u16string sql =
      u"SELECT TITLE, CREATOR_ID,  CREATOR, TEMPLATE_ID, KEYWORD, CATALOG_ID, NOTES, SORT_CODE, "
      u"EMR_TYPE, CONTENT_VERIFICATION_STATUS, QC_VERIFICATION_STATUS, PATIENT_ID, EVENT_NO "
      u"FROM TELV_EMR_CONTENT" +
      record.Where();
  std::vector<std::u16string> values;
  pDataSource->Query(sql, std::size(kNames), values);
  if (values.size() < std::size(kNames))
    throw CEMRException(kNoDataFoundMessage + korvalis::datasource::QuotedStatement(sql));
  CXmlProperty::Map properties;
  for (std::size_t i = 0; i < std::size(kNames); ++i) properties[kNames[i]] = values[i];
  properties[u"signer"] = signer;
  const std::u16string& template_id = values[3];
  if (!template_id.empty()) {
    std::vector<std::u16string> flags;
    pDataSource->Query(u"SELECT SUPERIOR_SIGN_FLAG, PRINT_FLAG FROM TELV_EMR_TEMPLATE WHERE ID=" +
                           korvalis::SqlNumber(template_id, u"template"),
                       2, flags);
    if (flags.size() == 2) {
      properties[u"superiorsignflag"] = flags[0];
      properties[u"printflag"] = flags[1];
    }
  }
  korvalis::StoreBstrResult(pbstrProperty, CXmlProperty(properties).ToXml());
  return 0;
}
