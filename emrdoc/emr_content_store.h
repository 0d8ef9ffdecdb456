// The record store: the rows of TELV_EMR_CONTENT, one per EMR record, holding the record's
// catalogue and visit, its properties, the version stamp of the system that created it and its
// HTML content (emr_content_document.h) in the BLOB CONTENT, stored as UTF-16LE behind a
// byte-order mark, compressed and encrypted by the type numbers kept in COMPRESSION and
// ENCRYPTION. Content enters and leaves in the hand-over form (emr_content_hand_over.h).
//
// A record's status:
//
//   (no row) ──SaveEmrContent──▶ LIVE without content (STATUS 1, COMPRESSION 0, ENCRYPTION 0)
//                                  │
//                                  │ SaveEmrDocument, in the same call: content written with the
//                                  ▼ save's switches, XML cleared, MODIFY_DATE stamped
//                                LIVE ◀─┐ UpdateEmrContent with a plausible content: new content
//                                  │    │ with the update's switches, XML cleared, MODIFY_DATE;
//                                  │  ──┘ an implausible one is refused and changes nothing
//                                  │
//                                  │ STATUS set to anything but 1 (by the record's deletion)
//                                  ▼
//                                DELETED: LoadEmrContent refuses it ("该病历已经被删除")
//
// Nothing here changes STATUS after the insert; the only deletion is the `over_write` request
// of SaveEmrContent, which removes a row of the new record's id before the insert.
//
// Every function takes the calling body's data source first (not null) and fails by throwing
// CEMRException; database failures are thrown as the data source reports them. A function's
// statements are atomic with the call that runs them (the call scope), so a failure anywhere
// leaves no row and no content of it. Record ids, patient ids, visit numbers and names placed
// between quotes are quoted; catalogue and template ids placed bare must be whole numbers
// (SqlIdNumber's message before any statement runs). A null BSTR reads as the empty text.
//
// Thread-safety: the content switches are process-wide and safe for concurrent first writes
// (content_switches.h); everything else works on the caller's data source.
#pragma once

#include <string>

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CSingleDataSource;

inline constexpr char16_t kEmrDeletedMessage[] = u"该病历已经被删除";
inline constexpr char16_t kEmrCatalogMissingMessage[] =
    u"病历的CATALOG_ID不能为空，因此不能保存病历";
inline constexpr char16_t kEmrCatalogFullMessage[] =
    u"该病人的该种类别病历已经达到最高记录限数，不能再新建";
// An update whose content is empty, too short or without a body of some length.
inline constexpr char16_t kEmrContentRefusedMessage[] = u"病历内容不完整，因此不能保存病历";

// The record's content in the hand-over form as a new BSTR stored through `pbstrContent`
// (nothing when it is null): a zero-length BSTR, uncompressed and without any refresh, when the
// record has no content. Fails with "该病历已经被删除" when the record has no row or its STATUS
// is not "1". An order sheet (EMR type 30 or 31) is first rebuilt from its template and stored
// (RegenerateEmrFromTemplate, order_sheet_regeneration.h), whose failures fail the load. The
// content is read with the row's own codecs; the zero character that ends a stored text is not
// part of the text. It is then refreshed by RefreshEmrOnLoad. Returns 0.
long LoadEmrContent(CSingleDataSource* pDataSource, BSTR bstrEmrID, BSTR* pbstrContent);

namespace korvalis::emrdoc {

// The text LoadEmrContent hands over, before it is packed: for readers in the record layer that
// take the page itself. Fails as LoadEmrContent.
std::u16string LoadEmrText(CSingleDataSource& data_source, BSTR emr_id);

}  // namespace korvalis::emrdoc

// The load-time refresh of a record's plain HTML text `*pbstrContent` for the visit. A visit whose
// EMR_STATUS is "1" or "3" keeps the text as it is. Otherwise the text is loaded as a document:
// with live links, their elements are refreshed (RefreshLiveLinks); without, its data elements
// are refilled at load time, keeping the data-set values when the record has more than one
// signature row (RefillDataElements). The text is then replaced by the document's outer HTML
// (the old BSTR is freed). Returns 0.
long RefreshEmrOnLoad(CSingleDataSource* pDataSource, const std::u16string& strPatientID,
                      const std::u16string& strEventNo, BSTR bstrEmrID, BSTR* pbstrContent);

// Creates a record of the visit from the property document `bstrProperty` (`catalog` and
// `template`, normally `title`, `author`, `authorid` and others the property map
// "telv_emr_content" knows) and its content (hand-over form), and stores the new id through
// `pbstrNewID` once everything succeeded. The row is inserted (SaveEmrContent), the content
// written with the save's switches (the units of the hand-over form as they are, with its byte-
// order mark), XML cleared, MODIFIOR set to `author` when not empty and MODIFY_DATE stamped; then
// a consultation sheet's request is extracted (ExtractConsultation, which never fails) and the
// saved-record notification runs (NotifyEmrSaved), whose failure fails the save.
// `bstrClientInfo` is not consulted. When the patient id, the visit number, the property document
// or the content is empty, nothing is done and a zero-length BSTR is stored. Returns 0.
long SaveEmrDocument(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                     BSTR bstrProperty, BSTR bstrClientInfo, BSTR bstrContent, BSTR* pbstrNewID);

// Inserts the row of record `bstrEmrID` without content: the caller's properties with `id`, the
// visit, `catalog` resolved (ResolveEmrCatalogId), `create_date` now, `compression` and
// `encryption` "0", `sort` (GetNextSortCode, at least five digits, zero-padded), `status` "1",
// `version` (GetSystemVersion) and `emr_type` (the template's EMR_TYPE, "0" when it has none)
// set over them, written through the property map "telv_emr_content". Fails, before anything is
// written, with "病历的CATALOG_ID不能为空，因此不能保存病历" for a missing or empty `catalog` and
// with "该病人的该种类别病历已经达到最高记录限数，不能再新建" when the resolved catalogue's limit
// is reached (IsCatalogLimitReached). `over_write` "1" deletes the row of `bstrEmrID` first and
// is not inserted; any other `over_write`, like any property the map does not know, fails the
// insert with the property map's message. Returns 0.
long SaveEmrContent(CSingleDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                    BSTR bstrProperty, BSTR bstrEmrID);

// Replaces the content of record `bstrEmrID` by `bstrContent` (hand-over form), with the update's
// switches; XML cleared, MODIFY_DATE stamped and, when the client identity names a user, MODIFIOR
// set to that name. A content that is empty, shorter than 700 characters, or without "<BODY" and
// a "</BODY" beginning at least 50 characters after it (lower-case "body" counts as "BODY") is
// refused: nothing is written, the refusal goes to the event log (and a non-empty text, after
// the record id and ":", to the file log), and the call fails with
// "病历内容不完整，因此不能保存病历". With a client identity, a consultation sheet's request is
// then extracted (ExtractConsultation, which never fails) and the QC marks of a record of EMR
// type 1 are stored from the content (CBQCPatient::SaveContentQCInfo). A content that does
// not uncompress fails with "GZIP执行解压缩错误"; a client identity that does not parse with
// "解析属性信息错误.". Returns 0.
long UpdateEmrContent(CSingleDataSource* pDataSource, BSTR bstrEmrID, BSTR bstrContent,
                      BSTR bstrClientInfo);

// The record's properties as a property document: title, authorid, author, template, key,
// catalog, notes, sort, emrtype, confirmstatus, qcstatus, patient_id, event_no, signer (the user
// of its latest signature, empty when unsigned) and, when its template has exactly one row,
// superiorsignflag and printflag; elements in name order. A record without a row fails with
// "没有找到数据: " and the statement. Returns 0.
long GetEmrProperty(CSingleDataSource* pDataSource, BSTR bstrEmrID, BSTR* pbstrProperty);
