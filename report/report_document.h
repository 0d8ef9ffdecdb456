// The report document: a report definition written out as one XML document, to be loaded into a
// report of another database. One version per report format:
//
//   version 1 (old format)                       version 2 (new format)
//   <root>                                       <root>
//     <property compression="0">B64</property>     <new_format>1</new_format>
//     <sql compression="0">B64</sql>               <property>B64</property>
//     <sql_param compression="0">B64</sql_param>   <sql>B64 of MULTI_SQL</sql>
//     <sql_pro compression="0">B64</sql_pro>       <sql_param>B64</sql_param>
//     <xslt compression="0">B64</xslt>             <xslt>B64</xslt>
//   </root>                                      </root>
//
// B64 is the Base64 of a value's bytes (a text's UTF-16LE code units, no byte-order mark, no
// terminator), with or without line feeds; an empty value is an element without text.
// `compression` names the compression applied to the bytes before Base64 (0 or none: none).
// `property` holds the report's property document.
//
// Thread-safety: constants only.
#pragma once

namespace korvalis::report::document {

inline constexpr char16_t kNewFormat[] = u"new_format";
inline constexpr char16_t kProperty[] = u"property";
inline constexpr char16_t kSql[] = u"sql";
inline constexpr char16_t kSqlParam[] = u"sql_param";
inline constexpr char16_t kSqlPro[] = u"sql_pro";
inline constexpr char16_t kXslt[] = u"xslt";
inline constexpr char16_t kCompression[] = u"compression";

}  // namespace korvalis::report::document
