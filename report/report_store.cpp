#include "report/report_store.h"

#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "foundation/codec/codec_factory.h"
#include "foundation/codec/emr_compression.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_key.h"
#include "foundation/text/string_util.h"

namespace korvalis::report {

namespace {

void StoreBytes(BSTR* result, const void* bytes, ULONG length) {
  if (result == nullptr) return;
  *result = SysAllocStringByteLen(static_cast<const char*>(bytes), length);
  if (*result == nullptr) throw std::bad_alloc();
}

// The type number of the compression that -1 selects.
int DefaultCompressionType() { return CreateCompression(-1)->GetType(); }

int CompressionOf(const ReportColumn& column) {
  return column.compressed ? DefaultCompressionType() : 0;
}

}  // namespace

void StoreText(BSTR* result, std::u16string_view text) {
  StoreBytes(result, text.data(), static_cast<ULONG>(text.size() * sizeof(char16_t)));
}

std::u16string IdText(LONG id) { return IntToString(id); }

LONG NextIdentifier(CSingleDataSource& data_source, const std::u16string& max_sql,
                    std::u16string_view refusal) {
  static_assert(sizeof(long) >= sizeof(std::int64_t), "identifiers are read in 64 bits");
  std::u16string max_id;
  data_source.QueryScalar(max_sql, max_id);
  const long next = StringToLong(max_id) + 1;
  if (next > std::numeric_limits<LONG>::max() || next < std::numeric_limits<LONG>::min()) {
    throw CEMRException(std::u16string(refusal));
  }
  return static_cast<LONG>(next);
}

std::u16string PropertyDocument(const CXmlProperty::Map& properties) {
  return properties.empty() ? std::u16string(kEmptyRootDocument) : CXmlProperty(properties).ToXml();
}

CXmlProperty::Map CatalogProperties(CSingleDataSource& data_source, LONG catalog_id) {
  if (catalog_id == 0) return {};
  std::vector<std::u16string> values;
  data_source.Query(
      u"SELECT NAME, ID, CODE, PARENT_CODE, NOTE FROM TELV_REPORT_CATALOG" +
          SqlKey().Number(u"ID", catalog_id).And(u"STATUS = 1").Where(),
      5, values);
  if (values.size() != 5) throw CEMRException(std::u16string(u"获取类别属性错误."));
  return {{u"name", values[0]},
          {u"id", values[1]},
          {u"code", values[2]},
          {u"parent", values[3]},
          {u"note", values[4]}};
}

CXmlProperty::Map ReportProperties(CSingleDataSource& data_source, LONG report_id) {
  if (report_id == 0) return {};
  static const char16_t* const kNames[] = {
      u"name",       u"id",       u"catalogid",      u"creator", u"creatorid",
      u"createtime", u"modifior", u"lastmodifytime", u"sort",    u"note"};
  std::vector<std::u16string> values;
  data_source.Query(
      u"SELECT NAME, ID, CATALOG_ID, CREATOR, CREATOR_ID, CREATE_TIME, MODIFIOR, "
      u"LAST_MODIFY_TIME, SORT, NOTE FROM TELV_REPORT" +
          SqlKey().Number(u"ID", report_id).And(u"STATUS = 1").Where(),
      std::size(kNames), values);
  if (values.size() != std::size(kNames)) throw CEMRException(std::u16string(u"获取报表属性错误."));
  CXmlProperty::Map properties;
  for (std::size_t i = 0; i < values.size(); ++i) properties[kNames[i]] = values[i];
  return properties;
}

bool IsNewFormatReport(CSingleDataSource& data_source, LONG report_id) {
  std::u16string new_format;
  data_source.QueryScalar(
      u"SELECT NEW_FORMAT FROM TELV_REPORT" + SqlKey().Number(u"ID", report_id).Where(), new_format);
  return new_format == u"1";
}

void ReadReportColumn(CSingleDataSource& data_source, const ReportColumn& column, LONG report_id,
                      BSTR* result) {
  BYTE* data = nullptr;
  ULONG length = 0;
  data_source.ReadBlob(column.select + IdText(report_id), data, length, CompressionOf(column), 0,
                       column.text);
  std::unique_ptr<BYTE[]> owned(data);
  if (length == 0) {
    StoreText(result, column.empty_answer);
  } else {
    StoreBytes(result, owned.get(), length);
  }
}

void WriteReportColumn(CSingleDataSource& data_source, const ReportColumn& column, LONG report_id,
                       BSTR value) {
  data_source.WriteBlob(column.select + IdText(report_id), reinterpret_cast<const BYTE*>(value),
                        SysStringByteLen(value), CompressionOf(column), 0, column.text);
}

}  // namespace korvalis::report
