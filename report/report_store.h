// What the bodies of CBEMRReport share: the empty answer of the report readers, the storing of
// results, the allocation of new identifiers, the live category's properties and the report's
// BLOB columns with the stored form of each. Execution, export, import and distribution read and
// write reports through these, as the definition methods do.
//
// Every function fails by throwing CEMRException (the data source's messages for database
// failures) and writes nothing through a null result pointer.
//
// Thread-safety: stateless; concurrent calls work on their own data sources.
#pragma once

#include <string>
#include <string_view>

#include "foundation/xml/xml_property.h"
#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CEMRDataSource;
class CSingleDataSource;

namespace korvalis::report {

// What a report reader answers when there is nothing to read.
inline constexpr char16_t kEmptyRootDocument[] = u"<?xml version='1.0' ?><root/>";

// Stores a new BSTR holding `text` through `result`. Throws std::bad_alloc.
void StoreText(BSTR* result, std::u16string_view text);

// The decimal text of an identifier, as it stands bare in SQL.
std::u16string IdText(LONG id);

// MAX(ID) + 1 from the scalar answer of `max_sql` (an empty answer counts as 0), computed in 64
// bits: the tables hold longer identifiers than the interface's 32-bit long. A result that does
// not fit that long is refused with CEMRException `refusal`, before anything is written.
LONG NextIdentifier(CSingleDataSource& data_source, const std::u16string& max_sql,
                    std::u16string_view refusal);

// The property document of a category or report: the bag of `properties` serialised (children
// of `root` in key order), or kEmptyRootDocument when there are none.
std::u16string PropertyDocument(const CXmlProperty::Map& properties);

// The properties of the live category `catalog_id` ({code, id, name, note, parent}); empty for
// 0. Throws "获取类别属性错误." when no live category has the identifier.
CXmlProperty::Map CatalogProperties(CSingleDataSource& data_source, LONG catalog_id);

// The properties of the live report `report_id` ({catalogid, createtime, creator, creatorid, id,
// lastmodifytime, modifior, name, note, sort}); empty for 0. Throws "获取报表属性错误." when no
// live report has the identifier.
CXmlProperty::Map ReportProperties(CSingleDataSource& data_source, LONG report_id);

// True when the report's NEW_FORMAT is exactly "1"; a report without a row is old format.
bool IsNewFormatReport(CSingleDataSource& data_source, LONG report_id);

// A BLOB column of TELV_REPORT and its stored form. Every column is stored without encryption.
struct ReportColumn {
  const char16_t* select;  // the statement without the report's identifier
  bool compressed;         // with the default compression, else none
  bool text;               // a byte-order mark is stored before the text and dropped on reading
  const char16_t* empty_answer;
};

inline constexpr ReportColumn kSqlColumn = {u"SELECT SQL FROM TELV_REPORT WHERE ID = ", true, false,
                                            u""};
inline constexpr ReportColumn kXsltColumn = {u"SELECT XSLT FROM TELV_REPORT WHERE ID = ", true,
                                             true, u""};
inline constexpr ReportColumn kSqlParamColumn = {u"SELECT SQL_PARAM FROM TELV_REPORT WHERE ID = ",
                                                 true, true, kEmptyRootDocument};
inline constexpr ReportColumn kMultiSqlColumn = {u"SELECT MULTI_SQL FROM TELV_REPORT WHERE ID = ",
                                                 false, false, u""};

// The column's bytes as the BSTR's bytes (an odd count kept), or its empty answer when it holds
// none. A report without a row fails (the data source logs "没有找到数据: " and the statement).
// Deleted reports are read as live ones.
void ReadReportColumn(CSingleDataSource& data_source, const ReportColumn& column, LONG report_id,
                      BSTR* result);
// Stores the bytes of `value` (its byte length, no terminator) in the column; an empty value
// stores NULL. Fails as ReadReportColumn.
void WriteReportColumn(CSingleDataSource& data_source, const ReportColumn& column, LONG report_id,
                       BSTR value);

}  // namespace korvalis::report
