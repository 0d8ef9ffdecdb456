// The record templates and the default style sheet of every record document.
//
// A template is a row of TELV_EMR_TEMPLATE: the record type and the rights of the records made
// from it (25 property columns) and up to five numbered contents, each a BLOB of UTF-16 text
// behind a byte-order mark, compressed by the type number in the matching COMPRESSIONi column
// and never encrypted:
//
//   index  content                                              reader
//   1      first HTML of a new record                           GetTemplateHtml
//   2      XML frame of the record's XML (emr_xml.h); in an     GetTemplateXmlFrame
//          order-sheet template (EMR type 30 or 31) the XSL
//          that lays the HIS orders out as the sheet
//   3, 5   accepted, read by nothing                            GetTemplateContent
//   4      XSL style sheet of reports made from the record      GetTemplateXsl
//
// Template 0 stands for "no template": empty properties (so EMR type 0), the empty document
// as its first HTML and no other content.
//
// The default style sheet is the CSS of the system parameter `system_default_css`, given to
// every record document as the style sheet of id "system_default_css".
//
// Every function takes the calling body's data source first (not null) and fails by throwing
// CEMRException; database failures are thrown as the data source reports them.
//
// Thread-safety: the default style sheet's text is process-wide, kept from its first non-empty
// read and safe for concurrent first reads (kept_sys_param.h); everything else works on the
// caller's data source.
#pragma once

#include <string>

#include "emrdoc/kept_sys_param.h"
#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CSingleDataSource;
class XHTMLDocument;

inline constexpr char16_t kTemplatePropertyFailedMessage[] = u"获取模板属性出错:";
inline constexpr char16_t kTemplateContentIndexMessage[] = u"错误的模版内容序号.";
inline constexpr char16_t kTemplateCompressionMessage[] = u"获取模版内容压缩参数错误:ID=";

// The template's property document (CXmlProperty: `root` with one child per property in name
// order): name, authorid, author, createdate, sex, type, emrtype, readonly, modifior,
// modifydate, sort, emrprivilege, emrrevision, emrreadonly, emrowner, emrmovewrite, catalogid,
// pagesetup, printflag, superiorsignflag, nurserowcount, digitalsignature, parsetype,
// innerparseflag and stdparseflag, each the text of its column (empty for NULL). Template 0
// gives the document of no property. A template without a row fails with
// "获取模板属性出错:" and the id; `*pbstrProperty` then holds a zero-length BSTR. Returns 0.
long GetTemplateProperty(CSingleDataSource* pDataSource, LONG lngTemplateID, BSTR* pbstrProperty);

// Content `lngIndex` (1 to 5) of the template as a new BSTR, zero-length when it is empty or the
// template is 0. An index outside 1 to 5 fails with "错误的模版内容序号." before any statement;
// a template without a row, or without a COMPRESSIONi value, with
// "获取模版内容压缩参数错误:ID=" and the id; a content stored with a compression type that is no
// codec's fails as the data source reports a failed read. Returns 0.
long GetTemplateContent(CSingleDataSource* pDataSource, LONG lngTemplateID, LONG lngIndex,
                        BSTR* pbstrContent);
// Content 1; for template 0 and for an empty content 1 the empty document with the default
// style sheet (BuildEmptyTemplateHtml). Returns 0.
long GetTemplateHtml(CSingleDataSource* pDataSource, LONG lngTemplateID, BSTR* pbstrContent);
// Content 2. Returns 0.
long GetTemplateXmlFrame(CSingleDataSource* pDataSource, LONG lngTemplateID, BSTR* pbstrFrame);
// Content 4. Returns 0.
long GetTemplateXsl(CSingleDataSource* pDataSource, LONG lngTemplateID, BSTR* pbstrXsl);

// The default style sheet's CSS: kept once `system_default_css` read non-empty, read again on
// every call while it is empty (then the empty text).
std::u16string GetDefaultCss(CSingleDataSource* pDataSource);
// Gives the document's style sheet of id "system_default_css" the default CSS: that sheet is
// replaced, or created when the document has none (XHTMLDocument::SetStyleSheet).
// Precondition: the document holds a loaded page.
void ApplyDefaultCss(CSingleDataSource* pDataSource, XHTMLDocument& document);
// The outer HTML of the page "<HTML></HTML>" with the default style sheet. Returns 0.
long BuildEmptyTemplateHtml(CSingleDataSource* pDataSource, BSTR* pbstrContent);

namespace korvalis::emrdoc {

// The template's EMR type: the text of its property `emrtype`, empty for template 0 and for a
// template without one. Fails as GetTemplateProperty.
std::u16string TemplateEmrType(CSingleDataSource& data_source, LONG template_id);

// The process's default style sheet, for tests that change `system_default_css`.
KeptSysParam<std::u16string>& DefaultStyleSheet();

}  // namespace korvalis::emrdoc
