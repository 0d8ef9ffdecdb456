// The XML form of a record, which the record library's field lists, the record-type domains and
// the consultation extraction read by element name. It is derived from the record's HTML
// through its template's XML frame (content 2, emr_template.h): every frame element whose `xid`
// names an element of the page receives that element's text, and the frame element of the
// page's element "icd.code" also its three codes.
//
// The XML is cached in the column XML of the record's row (UTF-16 behind a byte-order mark, no
// codec), which the record store empties whenever the content changes:
//
//   EMPTY ──GetEmrXml: converted, not empty──▶ BUILT ──content written (record store)──▶ EMPTY
//     ▲  │
//     └──┘ GetEmrXml: no XML for the record, or the conversion failed (converted again next time)
//
// What the conversion gives, by the record's row and its template's EMR type:
//   STATUS "3" or TEMPLATE_ID "0"          nothing
//   20, 21 (nursing records)               nothing
//   30, 31 (order sheets)                  the HIS component's order document as it is, while
//                                          the visit's RESIDENCE_FLAG is "1"; else nothing
//   any other type                         the frame filled from the loaded content with its
//                                          revision marks applied (deleted spans dropped,
//                                          inserted ones unwrapped) and SUP and SUB tags kept
//                                          as text
//
// Thread-safety: stateless; concurrent calls work on their own data sources.
#pragma once

#include <map>
#include <string>
#include <vector>
#include <xercesc/util/XercesDefs.hpp>

#include "platform/com/bstr.h"
#include "platform/com/hresult.h"
#include "platform/com/types.h"
#include "platform/html/document.h"

class CSingleDataSource;

XERCES_CPP_NAMESPACE_BEGIN
class DOMNode;
XERCES_CPP_NAMESPACE_END

inline constexpr char16_t kEmrXmlFailedMessage[] = u"转换病历内容为XML出错!";
inline constexpr char16_t kOrderSheetXmlFailedMessage[] = u"转换长期或者临时医嘱单错误！";
inline constexpr char16_t kNoXmlFrameMessage[] = u"没有得到XML框架。";
inline constexpr char16_t kInvalidXmlFrameMessage[] = u"XML框架不符合规范.";
inline constexpr char16_t kEmrContentFailedMessage[] = u"获取病历内容失败.";

// The EMR types of the nursing records, which have no XML.
inline constexpr long kNursingRecordType = 20;
inline constexpr long kCriticalNursingRecordType = 21;

// The texts of a page's elements by `xid`, and the codes of the element "icd.code" by its
// `xid` (extandcode1, extandcode2, splitcode, in this order); the first element of an `xid`
// in document order wins.
using XmlFrameValues = std::map<std::u16string, std::u16string>;
using XmlFrameCodes = std::map<std::u16string, std::vector<std::u16string>>;

// The record's XML as a new BSTR, converted and cached first when the cache is empty;
// zero-length when the record gives none. A record without a row fails as the data source
// reports a BLOB read without a row ("没有找到数据: " and the statement in the event log).
// Returns 0.
long GetEmrXml(CSingleDataSource* pDataSource, BSTR bstrEmrID, BSTR* pbstrXml);

// Converts the record and caches the XML when it is not empty. Never fails: every failure of
// the conversion leaves the cache as it was. A record without a row is left alone.
void BuildEmrXml(CSingleDataSource* pDataSource, BSTR bstrEmrID);

namespace korvalis::emrdoc {

// Converts the record and caches the XML when it is not empty, whatever the cache held: the
// XML, or the empty text when the record gives none (BuildEmrXml's failures included).
std::u16string RebuildEmrXml(CSingleDataSource& data_source, BSTR emr_id);

}  // namespace korvalis::emrdoc

// The conversion of record `bstrEmrID` made from template `lngTemplateID` (see above). Fails
// with the template readers' messages, with "转换病历内容为XML出错!" for a template without
// properties, "转换长期或者临时医嘱单错误！" for a failed HIS call, "没有得到XML框架。" for an
// empty frame, "XML框架不符合规范." for a frame that is no XML document, and
// "获取病历内容失败." for content that cannot be loaded. Returns 0.
HRESULT ConvertEmrContentToXml(CSingleDataSource* pDataSource, LONG lngTemplateID, BSTR bstrEmrID,
                               BSTR* pbstrXml);

// `html` becomes the outer HTML of the page `content` (plain text) without its deleted
// revision spans and with its inserted ones unwrapped (last to first), with the default style
// sheet.
void ApplyRevisionMarks(CSingleDataSource* pDataSource, const std::u16string& content,
                        std::u16string& html);

// Turns every "<TAG>" and "</TAG>" of `html` (`tag` upper-cased, matched exactly: no attributes,
// with case) into "&lt;TAG&gt;" and "&lt;/TAG&gt;", so that the tags read as text.
void EscapeAngleBrackets(std::u16string& html, const std::u16string& tag);

// Collects the `xid` texts (and the codes of the element "icd.code") of the document's body
// into the tables; entries already in the tables stay.
void MapXmlFrameElements(const IHTMLDocument2& document, XmlFrameValues& values,
                         XmlFrameCodes& codes);

// Fills the frame below and at `node`, depth first: an element whose `xid` the value table
// holds gets that text as its content (and the codes as the attributes extandcode1, extandcode2
// and splitcode when the code table holds the `xid`).
void FillXmlFrame(xercesc::DOMNode* node, const XmlFrameValues& values, const XmlFrameCodes& codes);

// The XML of order sheet `bstrEmrID` of EMR type `lngEmrType` (30 or 31): the HIS component's
// document while the visit's RESIDENCE_FLAG is "1", else zero-length. A component that cannot
// be created fails with the factory's message. Returns the component's result; on a failed
// result `*pbstrXml` is left unset.
HRESULT ConvertOrderSheetToXml(CSingleDataSource* pDataSource, LONG lngEmrType, BSTR bstrEmrID,
                               BSTR* pbstrXml);

// Nursing records have no XML: a zero-length BSTR. Returns 0.
long ConvertNurseSheetToXml(LONG lngEmrType, BSTR bstrEmrID, BSTR* pbstrXml);
