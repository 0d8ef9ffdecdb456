#include "emrdoc/emr_template.h"

#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "emrdoc/emr_content_document.h"
#include "foundation/codec/blob_text.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/single_data_source.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xhtml_document.h"
#include "foundation/xml/xml_property.h"
#include "platform/com/scoped_bstr.h"

namespace {

// The property columns of a template, in the order they are read, with their keys.
constexpr struct {
  const char16_t* column;
  const char16_t* key;
} kTemplateProperties[] = {
    {u"NAME", u"name"},
    {u"CREATOR_ID", u"authorid"},
    {u"CREATOR", u"author"},
    {u"CREATE_DATE", u"createdate"},
    {u"SEX", u"sex"},
    {u"TYPE", u"type"},
    {u"EMR_TYPE", u"emrtype"},
    {u"READ_ONLY", u"readonly"},
    {u"MODIFIOR", u"modifior"},
    {u"MODIFY_DATE", u"modifydate"},
    {u"SORT_CODE", u"sort"},
    {u"EMR_PRIVILEGE", u"emrprivilege"},
    {u"EMR_REVISION", u"emrrevision"},
    {u"EMR_READONLY", u"emrreadonly"},
    {u"EMR_OWNER", u"emrowner"},
    {u"EMR_MOVEWRITE", u"emrmovewrite"},
    {u"CATALOG_ID", u"catalogid"},
    {u"PAGE_SETUP", u"pagesetup"},
    {u"PRINT_FLAG", u"printflag"},
    {u"SUPERIOR_SIGN_FLAG", u"superiorsignflag"},
    {u"NURSE_ROW_COUNT", u"nurserowcount"},
    {u"DIGITAL_SIGNATURE", u"digitalsignature"},
    {u"PARSE_TYPE", u"parsetype"},
    {u"INNER_PARSE_FLAG", u"innerparseflag"},
    {u"STD_PARSE_FLAG", u"stdparseflag"},
};

// The indexes of the contents that have a reader of their own.
constexpr LONG kHtmlContent = 1;
constexpr LONG kFrameContent = 2;
constexpr LONG kXslContent = 4;
constexpr LONG kLastContent = 5;

// The page the empty document is made from.
constexpr char kEmptyPage[] = "<HTML></HTML>";

std::optional<std::u16string> NonEmptyText(const std::u16string& text) {
  if (text.empty()) return std::nullopt;
  return text;
}

std::u16string TemplateContent(CSingleDataSource& data_source, LONG template_id, LONG index) {
  if (template_id == 0) return std::u16string();
  if (index < kHtmlContent || index > kLastContent) {
    throw CEMRException(std::u16string(kTemplateContentIndexMessage));
  }
  const std::u16string id = IntToString(template_id), number = IntToString(index);
  std::u16string compression;
  data_source.QueryScalar(
      u"SELECT COMPRESSION" + number + u" FROM TELV_EMR_TEMPLATE WHERE ID = " + id, compression);
  if (compression.empty()) throw CEMRException(kTemplateCompressionMessage + id);
  return korvalis::ReadBlobText(
      data_source, u"SELECT CONTENT" + number + u" FROM TELV_EMR_TEMPLATE WHERE ID = " + id,
      StringToInt(compression), 0);
}

std::u16string EmptyTemplateHtml(CSingleDataSource& data_source) {
  XHTMLDocument document;
  // Loading fails only when memory runs out.
  if (FAILED(document.Load(std::string(kEmptyPage)))) throw std::bad_alloc();
  document.WaitForComplete();
  ApplyDefaultCss(&data_source, document);
  std::u16string html;
  if (FAILED(document.GetHtml(html))) throw std::bad_alloc();
  return html;
}

}  // namespace

namespace korvalis::emrdoc {

std::u16string TemplateEmrType(CSingleDataSource& data_source, LONG template_id) {
  korvalis::com::ScopedBstr properties;
  GetTemplateProperty(&data_source, template_id, properties.out());
  return CXmlProperty(properties.text()).GetValue(u"emrtype");
}

KeptSysParam<std::u16string>& DefaultStyleSheet() {
  static KeptSysParam<std::u16string>& sheet =
      *new KeptSysParam<std::u16string>(u"system_default_css", NonEmptyText);
  return sheet;
}

}  // namespace korvalis::emrdoc

long GetTemplateProperty(CSingleDataSource* pDataSource, LONG lngTemplateID, BSTR* pbstrProperty) {
  CXmlProperty::Map properties;
  if (lngTemplateID != 0) {
    std::u16string sql = u"SELECT ";
    for (const auto& property : kTemplateProperties) {
      if (&property != kTemplateProperties) sql += u", ";
      sql += property.column;
    }
    sql += u" FROM TELV_EMR_TEMPLATE WHERE ID = " + IntToString(lngTemplateID);
    std::vector<std::u16string> values;
    pDataSource->Query(sql, std::size(kTemplateProperties), values);
    if (values.empty()) {
      korvalis::StoreBstrResult(pbstrProperty, u"");
      throw CEMRException(kTemplatePropertyFailedMessage + IntToString(lngTemplateID));
    }
    for (std::size_t i = 0; i < std::size(kTemplateProperties); ++i) {
      properties[kTemplateProperties[i].key] = values[i];
    }
  }
  korvalis::StoreBstrResult(pbstrProperty, CXmlProperty(properties).ToXml());
  return 0;
}

long GetTemplateContent(CSingleDataSource* pDataSource, LONG lngTemplateID, LONG lngIndex,
                        BSTR* pbstrContent) {
  korvalis::StoreBstrResult(pbstrContent, TemplateContent(*pDataSource, lngTemplateID, lngIndex));
  return 0;
}

long GetTemplateHtml(CSingleDataSource* pDataSource, LONG lngTemplateID, BSTR* pbstrContent) {
  std::u16string html = TemplateContent(*pDataSource, lngTemplateID, kHtmlContent);
  if (html.empty()) html = EmptyTemplateHtml(*pDataSource);
  korvalis::StoreBstrResult(pbstrContent, html);
  return 0;
}

long GetTemplateXmlFrame(CSingleDataSource* pDataSource, LONG lngTemplateID, BSTR* pbstrFrame) {
  return GetTemplateContent(pDataSource, lngTemplateID, kFrameContent, pbstrFrame);
}

long GetTemplateXsl(CSingleDataSource* pDataSource, LONG lngTemplateID, BSTR* pbstrXsl) {
  return GetTemplateContent(pDataSource, lngTemplateID, kXslContent, pbstrXsl);
}

std::u16string GetDefaultCss(CSingleDataSource* pDataSource) {
  return korvalis::emrdoc::DefaultStyleSheet().Get(*pDataSource).value_or(std::u16string());
}

void ApplyDefaultCss(CSingleDataSource* pDataSource, XHTMLDocument& document) {
  document.SetStyleSheet(kDefaultStyleSheetId, GetDefaultCss(pDataSource));
}

long BuildEmptyTemplateHtml(CSingleDataSource* pDataSource, BSTR* pbstrContent) {
  korvalis::StoreBstrResult(pbstrContent, EmptyTemplateHtml(*pDataSource));
  return 0;
}
