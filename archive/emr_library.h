// CBEMRLibrary: the bodies behind the automation class EMRLibrary: the record library: full-text
// and path search, browsing, search frames, conditions, operators, users and login check.
//
// The method wrappers of CEMRLibrary call each member with the call's data source first and the
// interface arguments unchanged and in their order, result pointers last. A member returns 0, which
// the wrapper ignores, writes its results only through those pointers and fails by throwing
// CEMRException.
//
// Thread-safety: static members without state of their own; concurrent calls work on
// their own data sources.
#pragma once

#include <string>

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CEMRDataSource;

// The refusals of the record access and the joined browse.
inline constexpr char16_t kUrlPathMessage[] = u"URL路径不正确.";
inline constexpr char16_t kUrlFileMissingMessage[] = u"URL文件不存在.";
inline constexpr char16_t kSealedBrowseMessage[] = u"该病历处于封存状态, 不能联合浏览!";
inline constexpr char16_t kTooManyRecordsMessage[] = u"病人病历数量太多, 请按类别分别联合浏览.";

class CBEMRLibrary {
 public:
  // ---- library_search.cpp ----
  static long FullSearch(CEMRDataSource* pDataSource, BSTR bstrWhat, LONG lngStartRow,
                         LONG lngEndRow, BSTR* pbstrResult);
  static long SingleSearch(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR* pbstrResult);
  static long FullSearch2(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR bstrWhat,
                          LONG lngStartRow, LONG lngEndRow, BSTR* pbstrResult);
  static long PathSearch(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR bstrPathWhat,
                         LONG lngStartRow, LONG lngEndRow, BSTR* pbstrResult);
  static long GetPathValue(CEMRDataSource* pDataSource, BSTR bstrID, BSTR bstrPath,
                           BSTR* pbstrValue);

  // ---- content_access.cpp ----
  static long GetHeaderXml(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                           BSTR* pbstrXml);
  static long GetEMRContent(CEMRDataSource* pDataSource, BSTR bstrEMRID, BSTR* pbstrContent);
  static long GetDictContent(CEMRDataSource* pDataSource, LONG lngID, BSTR* pbstrContent);
  static long GetURLXmlFile(CEMRDataSource* pDataSource, BSTR bstrURL, BSTR* pbstrContent);

  // Replaces the record HTML *pbstrContent (read up to its first zero character) by the outer
  // HTML of its document with every stored picture unpacked: each IMG element's, then the first
  // element "tempimage"'s. A picture's `data` is decoded by the encoder `encode` names,
  // uncompressed by the compression `compress` names (0 when it is missing or no number) and
  // encoded again, and `compress` and `encode` become "0"; an element without `data` or without
  // `encode` is left alone. An empty text gives the outer HTML of the empty document. Fails with
  // "不正确的编码类型", "不正确的压缩类型" or a codec's message for damaged data, leaving
  // *pbstrContent as it was; the old string is freed on success. Returns 0.
  static long UnpackEmrContent(BSTR* pbstrContent);

  // ---- joined_browse.cpp ----
  static long BrowseEMR(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                        LONG lngCatalog, BSTR* pbstrContent);
  static long UnLimitBrowseEMR(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                               LONG lngCatalog, BSTR* pbstrContent);

  // ---- search_dictionaries.cpp ----
  static long GetConditionList(CEMRDataSource* pDataSource, BSTR* pbstrList);
  static long GetOperatorList(CEMRDataSource* pDataSource, BSTR bstrType, BSTR* pbstrList);
  static long GetXmlFrameList(CEMRDataSource* pDataSource, BSTR* pbstrList);
  static long SaveXmlFrameProperty(CEMRDataSource* pDataSource, LONG lngID, BSTR bstrProperty,
                                   LONG* plngID);
  static long GetXmlFrameContent(CEMRDataSource* pDataSource, LONG lngID, BSTR* pbstrContent);
  static long SaveXmlFrameContent(CEMRDataSource* pDataSource, LONG lngID, BSTR bstrContent);
  static long SaveConditionList(CEMRDataSource* pDataSource, BSTR bstrList);
  static long SaveOperatorList(CEMRDataSource* pDataSource, BSTR bstrList);
  static long GetUserList(CEMRDataSource* pDataSource, BSTR* pbstrList);
  static long SaveUserList(CEMRDataSource* pDataSource, BSTR bstrList);
  static long DeleteXmlFrame(CEMRDataSource* pDataSource, LONG lngID);
  static long GetXmlFrameProperty(CEMRDataSource* pDataSource, LONG lngID, BSTR* pbstrProperty);

  // ---- browse_catalog.cpp ----
  static long GetBrowserCatalog(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                                BSTR* pbstrList);

  // ---- login_check.cpp ----
  static long IsPass(CEMRDataSource* pDataSource, BSTR bstrLoginCode, BSTR bstrPassCode,
                     VARIANT_BOOL* pvbPass);

  // ---- emr_library.cpp ----
  static long GetUserProperty(CEMRDataSource* pDataSource, BSTR bstrLoginCode, BSTR* pbstrPro);

  // ---- search_conditions.cpp ----
  // The condition fragments of the searches (search_conditions.cpp): pieces of a WHERE clause
  // over the searches' tables A (TELV_EMR_CONTENT), B (TELV_V_PATIENT_VISIT_RECORD) and
  // C (MOLB_XML_TEXT). Nothing runs on the database; a condition that is not well-formed XML
  // fails with "无效XML!".
  //
  // The column condition: one condition per `clause` element (at any depth, in document
  // order), its text content the column or expression (SQL by contract) and its attributes
  // `type` ("STRING" quotes the value, "DATE" makes it the dialect's date literal, any other
  // type leaves it bare), `relation` ("$" contains, "lt" and "gt" in lower case compare, any
  // other text is the operator), `right` (the value) and `logic` (the word joining it to the
  // next); every part non-empty, or "条件语句除了表名称，其它属性均不能为空！". A run of OR stands
  // in one bracket, closed after the next AND or after the last clause; the trailing logic word
  // is dropped. The data source only lends its dialect.
  static std::u16string BuildConditionClause(CEMRDataSource* pDataSource,
                                             std::u16string strCondition);

  // The path condition: the text of the first `catalogid` element (required; a number, or empty
  // for no catalogue), then one condition per `clause` with the attributes `path` (an XPath of
  // the document's XML), `relation` (">", "<", "=", "lt" and "gt" compare the value found there;
  // anything else searches the text under the path) and `logic`, its text content the value.
  // Path, logic and value non-empty, or "路径条件语句属性均不能为空！", as for a missing
  // `catalogid`; a catalogue that is not a number fails with SqlNumber's message.
  static std::u16string BuildPathConditionClause(std::u16string strPathCondition);

  // The text with every letter that has an upper-case form made upper case (code point by
  // code point, one character for one).
  static std::u16string ToUpper(std::u16string strText);
};
